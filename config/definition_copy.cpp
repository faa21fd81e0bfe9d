// Copying, renaming, importing and restoring definitions between servers.
#include "config/definition_copy.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "host/host.h"
#include "host/text.h"

DefinitionCopyState g_definition_copy;

namespace {

constexpr DWORD kValueDataBytes = 64000;
constexpr DWORD kValueNameChars = 128;
constexpr DWORD kSubkeyNameChars = 100;
constexpr BYTE kServerMarker[4] = {0x02, 0x02, 0x02, 0x02};
constexpr DWORD kServerFieldOffset = 24;
constexpr char kProfilesPath[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
constexpr char kMessageTitle[] = "VORNIX message from QVMR0007.DLL";
constexpr char kImportFailed[] = "Error [%d] occurred during registry import.\n\nImport File:\n\n%s";
constexpr DWORD kOpenFileOptions = OFN_EXPLORER | OFN_NOVALIDATE | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;

// A counted failure: to the host's status line when reporting, else in a message box.
void copy_failure(DWORD report_to_host, const char* heading, const char* text) {
  ++g_definition_copy.errors;
  if (report_to_host) report_status(heading, text, true);
  else show_message(nullptr, text, kMessageTitle, MB_ICONERROR);
}

void copy_values(HKEY source, HKEY dest, DWORD report_to_host, const char* dest_server) {
  BYTE* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED, kValueDataBytes));
  if (data == nullptr) {
    copy_failure(report_to_host, "Set Value", "out of memory copying values");
    return;
  }
  for (DWORD index = 0;; ++index) {
    char name[kValueNameChars + 1] = {};
    DWORD name_size = sizeof name, type = 0, size = kValueDataBytes;
    LONG rc = RegEnumValueA(source, index, name, &name_size, nullptr, &type, data, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    char text[300];
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
      // The key can no longer be read: every later index would fail the same way.
      std::snprintf(text, sizeof text, "value %u [%d]", static_cast<unsigned>(index), static_cast<int>(rc));
      copy_failure(report_to_host, "Set Value", text);
      break;
    }
    if (rc == ERROR_SUCCESS) {
      if (equal_ignoring_case(name, "Definition")) retarget_definition(data, size, dest_server);
      rc = RegSetValueExA(dest, name, 0, type, data, size);
    }
    // A value too long to copy or refused by the destination counts and the copy goes on.
    std::snprintf(text, sizeof text, "%s [%d]", name, static_cast<int>(rc));
    if (rc != ERROR_SUCCESS) copy_failure(report_to_host, "Set Value", text);
    else if (report_to_host) report_status("Set Value", name);
  }
  free_block(data);
}

// Opens the parent key of a definition kind on the source server and makes it on the destination,
// with the messages of a server without the product or without access. 0 or the Windows error.
LONG open_parents(const char* path, const char* source_server, const char* dest_server, const char* title,
                  const char* what, HKEY* source, HKEY* dest) {
  *source = *dest = nullptr;
  HKEY source_root, dest_root;
  if (ConnectServerRegistry(source_server, &source_root, title, 0) != 0 || source_root == nullptr)
    return ERROR_BAD_NETPATH;
  if (ConnectServerRegistry(dest_server, &dest_root, title, 0) != 0 || dest_root == nullptr)
    return ERROR_BAD_NETPATH;
  LONG rc = RegOpenKeyExA(source_root, path, 0, remote_access(KEY_ALL_ACCESS), source);
  const char* failed_server = source_server;
  if (rc == ERROR_SUCCESS) {
    failed_server = dest_server;
    rc = RegCreateKeyExA(dest_root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS),
                         nullptr, dest, nullptr);
  }
  if (rc == ERROR_SUCCESS) return rc;
  char text[400];
  if (rc == ERROR_ACCESS_DENIED)
    std::snprintf(text, sizeof text, "Permission denied opening VORNIX key on server [%.100s]", failed_server);
  else if (rc == ERROR_FILE_NOT_FOUND)
    std::snprintf(text, sizeof text,
                  "VORNIX has not yet been installed on server [%.100s].  VORNIX must be installed prior to "
                  "copying of %s.",
                  failed_server, what);
  else
    std::snprintf(text, sizeof text, "Error [%d] occurred when attempting to open VORNIX Registry Key on server [%.100s]",
                  static_cast<int>(rc), failed_server);
  show_message(nullptr, text, title, MB_ICONERROR);
  if (*source) RegCloseKey(*source);
  *source = nullptr;
  return rc;
}

// The staging key's name: the current time in seconds as eight hexadecimal digits.
void staging_name(char* out, size_t size) { std::snprintf(out, size, "%08X", current_seconds()); }

void delete_staging(HKEY console, const char* tag) {
  DeleteKeyTree(console, tag, kLocalMachineName, 0);
  DeleteRegistryKey(console, tag);
}

// Enables the backup and then the restore privilege in the process token; with warn, a failure of
// either is shown (the operation that asked goes on regardless).
void enable_backup_privileges(bool warn) {
  const char* names[] = {SE_BACKUP_NAME, SE_RESTORE_NAME};
  const char* failures[] = {"Error Upgrading Registry permissions for local machine [%d]",
                            "Error Upgrading Registry permissions Level 2 for local machine [%d]"};
  HANDLE token = nullptr;
  bool opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
  for (int i = 0; i < 2; ++i) {
    TOKEN_PRIVILEGES state = {};
    state.PrivilegeCount = 1;
    state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // AdjustTokenPrivileges succeeds when a privilege is not held: its last error tells.
    bool enabled = opened && LookupPrivilegeValueA(nullptr, names[i], &state.Privileges[0].Luid) &&
                   AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr) &&
                   GetLastError() == ERROR_SUCCESS;
    if (!enabled && warn) {
      char text[120];
      std::snprintf(text, sizeof text, failures[i], static_cast<int>(GetLastError()));
      show_message(nullptr, text, kMessageTitle, MB_ICONWARNING);
    }
  }
  if (opened) CloseHandle(token);
}

}  // namespace

bool retarget_definition(BYTE* data, DWORD size, const char* server) {
  BYTE* end = data + size;
  BYTE* marker = std::search(data, end, std::begin(kServerMarker), std::end(kServerMarker));
  if (marker == end) return false;
  DWORD at = static_cast<DWORD>(marker - data) + kServerFieldOffset;
  // A marker this near the end leaves no room: what fits is written, never past the value.
  if (at < size) std::memcpy(data + at, server, std::min<size_t>(std::strlen(server) + 1, size - at));
  return true;
}

DWORD CopyKeyTree(HKEY source_parent, const char* source_name, HKEY dest_parent, const char* dest_name,
                  DWORD report_to_host, const char* dest_server, const char* source_server, DWORD overwrite) {
  const char* target = dest_name ? dest_name : source_name;
  char text[400];
  HKEY source;
  LONG rc = RegOpenKeyExA(source_parent, source_name, 0, remote_access(KEY_READ), &source);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error subkey [%.300s] [%d] during rename/copy", source_name, static_cast<int>(rc));
    copy_failure(report_to_host, "Copy Tree Open", text);
    return g_definition_copy.errors;
  }
  HKEY dest;
  if (!overwrite && RegOpenKeyExA(dest_parent, target, 0, remote_access(KEY_READ), &dest) == ERROR_SUCCESS) {
    RegCloseKey(dest);
    RegCloseKey(source);
    std::snprintf(text, sizeof text, "%.300s already exists, will not overwrite", target);
    if (report_to_host) report_status("Profile already exists", text, true);
    return g_definition_copy.errors;
  }
  rc = RegCreateKeyExA(dest_parent, target, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS), nullptr,
                       &dest, nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error Creating subkey [%.300s] [%d]", target, static_cast<int>(rc));
    copy_failure(report_to_host, "Copy Tree Create", text);
    RegCloseKey(source);
    return g_definition_copy.errors;
  }
  if (report_to_host) report_status("Create Key", target);
  copy_values(source, dest, report_to_host, dest_server);

  DWORD count = 0;
  rc = RegQueryInfoKeyA(source, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error subkey [%.300s] [%d] during rename/copy", source_name, static_cast<int>(rc));
    copy_failure(report_to_host, "Copy Tree Open", text);
  }
  for (DWORD index = count; rc == ERROR_SUCCESS && index-- > 0;) {
    char sub[kSubkeyNameChars + 1] = {};
    DWORD size = sizeof sub;
    LONG listed = RegEnumKeyExA(source, index, sub, &size, nullptr, nullptr, nullptr, nullptr);
    if (listed != ERROR_SUCCESS) {
      std::snprintf(text, sizeof text, "Error subkey [%.300s] [%d] during rename/copy", source_name,
                    static_cast<int>(listed));
      copy_failure(report_to_host, "Copy Tree Open", text);
      continue;
    }
    CopyKeyTree(source, sub, dest, nullptr, report_to_host, dest_server, source_server, overwrite);
  }
  RegCloseKey(dest);
  RegCloseKey(source);
  return g_definition_copy.errors;
}

void EnableBackupPrivileges() { enable_backup_privileges(true); }

DWORD RenameDefinition(HWND window, const char* old_name, const char* new_name, const char* source_server,
                       const char* dest_server, DWORD kind) {
  g_definition_copy.errors = 0;
  const bool profile = kind != kRenameReport && kind != kRenameGraphicalSchedule;
  const char* title = kind == kRenameGraphicalSchedule ? "UNABLE TO RENAME SCHEDULED ACTIVITY"
                      : profile                        ? "UNABLE TO RENAME PROFILE"
                                                       : "UNABLE TO RENAME REPORT";
  const char* path = kind == kRenameGraphicalSchedule ? kGraphsKey : profile ? kProfilesPath : kReportsKey;
  HKEY source, dest;
  if (open_parents(path, source_server, dest_server, title, profile ? "profiles" : "custom reports", &source, &dest) !=
      ERROR_SUCCESS)
    return ++g_definition_copy.errors;
  CopyKeyTree(source, old_name, dest, new_name, 0, dest_server, source_server, 1);
  RegCloseKey(dest);
  if (g_definition_copy.errors != 0) {
    // The partial new key stays; the old one is kept so nothing is lost.
    show_message(window, "Error during Rename - did not delete original", title, MB_ICONERROR);
    RegCloseKey(source);
    return g_definition_copy.errors;
  }
  if (profile) {
    RegCloseKey(source);
    DeleteProfile(window, old_name, source_server);
    return g_definition_copy.errors;
  }
  DeleteKeyTree(source, old_name, source_server, 0);
  if (DeleteRegistryKey(source, old_name) == ERROR_SUCCESS) ReplaceReportInSchedules(source, old_name, new_name, 0);
  RegCloseKey(source);
  return g_definition_copy.errors;
}

DWORD ExportSelected(HWND list, DWORD kind, const char* current_server) {
  const bool reports = kind == kImportReports;
  const char* path = reports ? kReportsKey : kProfilesPath;
  HKEY console, staging;
  char tag[16];
  staging_name(tag, sizeof tag);
  char text[700];
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            local_access(KEY_ALL_ACCESS), nullptr, &console, nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening TEMP EXPORT KEY on local machine", static_cast<int>(rc));
    show_message(nullptr, text, "UNABLE TO DELETE TEMP KEY", MB_ICONERROR);
    return 0;
  }
  rc = RegCreateKeyExA(console, tag, 0, nullptr, REG_OPTION_NON_VOLATILE, local_access(KEY_ALL_ACCESS), nullptr,
                       &staging, nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error [%d] creating the export key %s on local machine", static_cast<int>(rc), tag);
    show_message(nullptr, text, "UNABLE TO LOCAL OPEN DEST FOR EXPORT COPY", MB_ICONERROR);
    RegCloseKey(console);
    return 0;
  }
  DWORD exported = 0;
  const int rows = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  for (int row = 0; row < rows; ++row) {
    if ((SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    char name[kSubkeyNameChars + 1] = {};
    const BYTE* record = nullptr;
    read_list_row(list, row, name, sizeof name, &record);
    char server[kCachedServerNameBytes];
    if (reports || !profile_row_server(record, server, sizeof server)) copy_text(server, sizeof server, current_server);
    HKEY root, parent;
    if (ConnectServerRegistry(server, &root, reports ? "UNABLE TO EXPORT CUSTOM REPORTS" : "UNABLE TO EXPORT PROFILES",
                              0) != 0 ||
        root == nullptr)
      continue;
    rc = RegOpenKeyExA(root, path, 0, remote_access(KEY_READ), &parent);
    if (rc != ERROR_SUCCESS) {
      std::snprintf(text, sizeof text, "Error %d opening %s on server %.100s.", static_cast<int>(rc), path, server);
      show_message(nullptr, text, "UNABLE TO OPEN EXISTING EXPORT ITEM", MB_ICONERROR);
      continue;
    }
    // The definition keeps its own server in the file; an import points it at the server it lands on.
    g_definition_copy.errors = 0;
    if (CopyKeyTree(parent, name, staging, nullptr, 0, server, server, 1) == 0) ++exported;
    RegCloseKey(parent);
  }
  if (exported) {
    EnableBackupPrivileges();
    char program[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
    char* slash = n > 0 && n < sizeof program ? std::strrchr(program, '\\') : nullptr;
    if (slash) slash[1] = '\0';
    else program[0] = '\0';
    char file[MAX_PATH + 64];
    std::snprintf(file, sizeof file, "%sVORNIX_%s[%s].exportkey", program, reports ? "REPORTS" : "PROFILES", tag);
    rc = RegSaveKeyA(staging, file, nullptr);
    if (rc == ERROR_SUCCESS) {
      show_message(nullptr, file, "EXPORT FILE", MB_ICONINFORMATION);
    } else {
      std::snprintf(text, sizeof text, "Error [%d] occurred while writing the export file\n\n%s", static_cast<int>(rc),
                    file);
      show_message(nullptr, text, "EXPORT FILE", MB_ICONERROR);
      exported = 0;
    }
  }
  RegCloseKey(staging);
  delete_staging(console, tag);
  RegCloseKey(console);
  return exported;
}

DWORD ImportFile(const char* server, DWORD kind, DWORD report_to_host, const char* file) {
  char chosen[MAX_PATH] = {};
  if (file == nullptr) {
    char title[200];
    std::snprintf(title, sizeof title, "Select VORNIX Export File (*.exportkey) to IMPORT to %.100s", server);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "VORNIX EXPORT (*.exportkey)\0*.exportkey\0";
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = sizeof chosen;
    dialog.lpstrTitle = title;
    dialog.Flags = kOpenFileOptions;
    if (!GetOpenFileNameA(&dialog)) return 0;
    file = chosen;
  }
  if (report_to_host) report_status(kind == kImportReports ? "Importing Reports" : "Importing Profiles", file);
  const char* path = kind == kImportReports ? kReportsKey : kProfilesPath;
  HKEY root, dest;
  if (ConnectServerRegistry(server, &root, "UNABLE TO DEST SERVER FOR IMPORT", report_to_host) != 0 || root == nullptr)
    return 0;
  char text[700];
  LONG rc = RegOpenKeyExA(root, path, 0, remote_access(KEY_ALL_ACCESS), &dest);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening %s on server %.100s.", static_cast<int>(rc), path, server);
    if (report_to_host) report_status("processing...", text, true);
    else show_message(nullptr, text, "UNABLE TO OPEN EXISTING IMPORT KEY", MB_ICONERROR);
    return 0;
  }
  HKEY console, staging;
  rc = RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                       local_access(KEY_ALL_ACCESS), nullptr, &console, nullptr);
  if (rc != ERROR_SUCCESS) {
    RegCloseKey(dest);
    return 0;
  }
  char tag[16];
  staging_name(tag, sizeof tag);
  rc = RegCreateKeyExA(console, tag, 0, nullptr, REG_OPTION_NON_VOLATILE, local_access(KEY_ALL_ACCESS), nullptr,
                       &staging, nullptr);
  DWORD copied = 0;
  if (rc == ERROR_SUCCESS) {
    EnableBackupPrivileges();
    rc = RegRestoreKeyA(staging, file, REG_FORCE_RESTORE);
    DWORD count = 0;
    if (rc != ERROR_SUCCESS) {
      std::snprintf(text, sizeof text, kImportFailed, static_cast<int>(rc), file);
      show_message(nullptr, text, "REGISTRY KEY IMPORT FAILED!", MB_ICONERROR);
    } else if ((rc = RegQueryInfoKeyA(staging, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr)) != ERROR_SUCCESS) {
      std::snprintf(text, sizeof text, "Error %d, Import did not find any items.", static_cast<int>(rc));
      show_message(nullptr, text, kMessageTitle, MB_ICONERROR);
    }
    for (DWORD index = count; index-- > 0;) {
      char sub[kSubkeyNameChars + 1] = {};
      DWORD size = sizeof sub;
      if (RegEnumKeyExA(staging, index, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
      CopyKeyTree(staging, sub, dest, nullptr, report_to_host, server, kLocalMachineName, 1);
      ++copied;
    }
    RegCloseKey(staging);
    delete_staging(console, tag);
  }
  RegCloseKey(console);
  RegCloseKey(dest);
  return copied ? 1 : 0;
}

DWORD RestoreRegistryArchive(HWND window, const char* server, const char* file) {
  if (ask_confirmation(window,
                       "Please confirm that you want to import the selected registry archive.\n\nThis will COMPLETELY "
                       "REPLACE the existing VORNIXW registry data (Profiles and Configuration).\n\nAny Log Files on "
                       "the selected server will remain intact and will not be affected in any way by this function.",
                       "REGISTRY IMPORT CONFIRMATION", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return 0;
  HKEY root, product;
  if (ConnectServerRegistry(server, &root, "UNABLE TO CONNECT TO SERVER REGISTRY - IMPORT ABANDONED", 0) != 0 ||
      root == nullptr)
    return 0;
  enable_backup_privileges(false);
  char text[700];
  const char* aborted = "REGISTRY IMPORT ABORTED - ERROR ACCESS SERVER REGISTRY";
  LONG rc = RegOpenKeyExA(root, kProductKey, 0, remote_access(KEY_ALL_ACCESS), &product);
  if (rc == ERROR_FILE_NOT_FOUND) {
    show_message(window,
                 "No VORNIX Key found - unable to import VORNIX Registry Archive - VORNIX must already be installed "
                 "to use this import function.",
                 aborted, MB_ICONERROR);
    return 0;
  }
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error [%d] occurred while accessing VORNIX Registry Key on server %.100s",
                  static_cast<int>(rc), server);
    show_message(window, text, aborted, MB_ICONERROR);
    return 0;
  }
  rc = RegRestoreKeyA(product, file, REG_FORCE_RESTORE);
  RegCloseKey(product);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, kImportFailed, static_cast<int>(rc), file);
    show_message(window, text, "REGISTRY IMPORT FAILED!", MB_ICONERROR);
    return 0;
  }
  show_message(window, "SUCCESS: VORNIX Registry Key has been replaced with the contents of the archive.",
               "REGISTRY IMPORT COMPLETE", MB_ICONINFORMATION);
  return 1;
}
