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
#include "host/list_item.h"
#include "host/text.h"
#include "reports/results_window.h"

DefinitionCopyState g_definition_copy;

namespace {

constexpr DWORD kValueDataBytes = 64000;
constexpr DWORD kValueNameChars = 128;
constexpr DWORD kSubkeyNameChars = 100;
constexpr DWORD kKeyNameChars = 255;  // the registry's longest key name
constexpr BYTE kServerMarker[4] = {0x02, 0x02, 0x02, 0x02};
constexpr DWORD kServerFieldOffset = 24;
constexpr char kProfilesPath[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
constexpr char kMessageTitle[] = "VORNIX message from QVMR0007.DLL";
constexpr char kImportFailed[] = "Error [%d] occurred during registry import.\n\nImport File:\n\n%s";
constexpr DWORD kOpenFileOptions = OFN_EXPLORER | OFN_NOVALIDATE | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;

// A step reported to the host: a row of the open results window (the server column names the
// destination), else a line of the host's status area.
void report_step(const char* server, const char* heading, const char* text, bool failure, int image = kStepProgress) {
  HWND results = g_results.window;
  if (results) add_results_row(results, failure ? kStepError : image, server, heading, text, nullptr);
  else report_status(heading, text, failure);
}

// A counted failure: reported to the host when asked, else in a message box.
void copy_failure(DWORD report_to_host, const char* server, const char* heading, const char* text) {
  ++g_definition_copy.errors;
  if (report_to_host) report_step(server, heading, text, true);
  else show_message(nullptr, text, kMessageTitle, MB_ICONERROR);
}

void copy_values(HKEY source, HKEY dest, DWORD report_to_host, const char* dest_server) {
  BYTE* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED, kValueDataBytes));
  if (data == nullptr) {
    copy_failure(report_to_host, dest_server, "Set Value", "out of memory copying values");
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
      copy_failure(report_to_host, dest_server, "Set Value", text);
      break;
    }
    if (rc == ERROR_SUCCESS) {
      if (equal_ignoring_case(name, "Definition")) retarget_definition(data, size, dest_server);
      rc = RegSetValueExA(dest, name, 0, type, data, size);
    }
    // A value too long to copy or refused by the destination counts and the copy goes on.
    std::snprintf(text, sizeof text, "%s [%d]", name, static_cast<int>(rc));
    if (rc != ERROR_SUCCESS) copy_failure(report_to_host, dest_server, "Set Value", text);
    else if (report_to_host) report_step(dest_server, "Set Value", name, false);
  }
  free_block(data);
}

// What a copy between servers works on: the parent key and its messages.
struct CopyKind {
  const char* path;
  const char* what;           // in the text of a server without the product
  const char* source_title;   // connecting to the source server
  const char* open_title;     // opening the definition on it
  const char* dest_title;     // connecting to and opening a destination
  const char* initiating;
};
constexpr CopyKind kProfileCopy = {kProfilesPath,
                                   "profiles",
                                   "UNABLE TO OPEN EXISTING PROFILE",
                                   "UNABLE TO OPEN EXISTING PROFILE",
                                   "UNABLE TO OPEN DEST FOR COPY PROFILE",
                                   "initiating profile copy..."};
constexpr CopyKind kReportCopy = {kReportsKey,
                                  "custom reports",
                                  "UNABLE TO COPY CUSTOM REPORTS",
                                  "UNABLE TO OPEN EXISTING CUSTOM REPORT",
                                  "UNABLE TO OPEN DEST FOR COPY CUSTOM REPORT",
                                  "initiating custom report copy..."};

// Why a server's product key could not be opened: no access, no product, or another error.
void describe_open_failure(LONG rc, const char* server, const char* what, char* text, size_t size) {
  if (rc == ERROR_ACCESS_DENIED)
    std::snprintf(text, size, "Permission denied opening VORNIX key on server [%.100s]", server);
  else if (rc == ERROR_FILE_NOT_FOUND)
    std::snprintf(text, size,
                  "VORNIX has not yet been installed on server [%.100s].  VORNIX must be installed prior to "
                  "copying of %s.",
                  server, what);
  else
    std::snprintf(text, size, "Error [%d] occurred when attempting to open VORNIX Registry Key on server [%.100s]",
                  static_cast<int>(rc), server);
}

// Opens the parent key of a definition kind on the source server and makes it on the destination,
// with the messages of a server without the product or without access. *same_registry tells whether
// both names reached one registry connection. 0 or the Windows error.
LONG open_parents(const char* path, const char* source_server, const char* dest_server, const char* title,
                  const char* what, HKEY* source, HKEY* dest, bool* same_registry) {
  *source = *dest = nullptr;
  HKEY source_root, dest_root;
  if (ConnectServerRegistry(source_server, &source_root, title, 0) != 0 || source_root == nullptr)
    return ERROR_BAD_NETPATH;
  if (ConnectServerRegistry(dest_server, &dest_root, title, 0) != 0 || dest_root == nullptr)
    return ERROR_BAD_NETPATH;
  *same_registry = source_root == dest_root;
  LONG rc = RegOpenKeyExA(source_root, path, 0, remote_access(KEY_ALL_ACCESS), source);
  const char* failed_server = source_server;
  if (rc == ERROR_SUCCESS) {
    failed_server = dest_server;
    rc = RegCreateKeyExA(dest_root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS),
                         nullptr, dest, nullptr);
  }
  if (rc == ERROR_SUCCESS) return rc;
  char text[400];
  describe_open_failure(rc, failed_server, what, text, sizeof text);
  show_message(nullptr, text, title, MB_ICONERROR);
  if (*source) RegCloseKey(*source);
  *source = nullptr;
  return rc;
}

// The console key and, below it, a new staging key named by the current time in seconds as eight
// hexadecimal digits. 0 or the Windows error; *console is open when only the staging key failed.
LONG create_staging(HKEY* console, HKEY* staging, char (&tag)[16]) {
  *console = *staging = nullptr;
  std::snprintf(tag, sizeof tag, "%08X", current_seconds());
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            local_access(KEY_ALL_ACCESS), nullptr, console, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  return RegCreateKeyExA(*console, tag, 0, nullptr, REG_OPTION_NON_VOLATILE, local_access(KEY_ALL_ACCESS), nullptr,
                         staging, nullptr);
}

// The staging key and its tree, subkeys first. A loaded file's key names reach the registry's 255
// characters, past the 100 that DeleteKeyTree reads: the staging key goes whatever they are.
void delete_staging(HKEY parent, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, local_access(KEY_ALL_ACCESS), &key) != ERROR_SUCCESS) return;
  DWORD count = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  for (DWORD index = count; index-- > 0;) {
    char sub[kKeyNameChars + 1] = {};
    DWORD size = sizeof sub;
    if (RegEnumKeyExA(key, index, sub, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      delete_staging(key, sub);
  }
  RegCloseKey(key);
  DeleteRegistryKey(parent, name);
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
    copy_failure(report_to_host, dest_server, "Copy Tree Open", text);
    return g_definition_copy.errors;
  }
  HKEY dest;
  if (!overwrite && RegOpenKeyExA(dest_parent, target, 0, remote_access(KEY_READ), &dest) == ERROR_SUCCESS) {
    RegCloseKey(dest);
    RegCloseKey(source);
    std::snprintf(text, sizeof text, "%.300s already exists, will not overwrite", target);
    if (report_to_host) report_step(dest_server, "Profile already exists", text, true);
    return g_definition_copy.errors;
  }
  rc = RegCreateKeyExA(dest_parent, target, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS), nullptr,
                       &dest, nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error Creating subkey [%.300s] [%d]", target, static_cast<int>(rc));
    copy_failure(report_to_host, dest_server, "Copy Tree Create", text);
    RegCloseKey(source);
    return g_definition_copy.errors;
  }
  if (report_to_host) report_step(dest_server, "Create Key", target, false, kStepCopying);
  copy_values(source, dest, report_to_host, dest_server);

  DWORD count = 0;
  rc = RegQueryInfoKeyA(source, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error subkey [%.300s] [%d] during rename/copy", source_name, static_cast<int>(rc));
    copy_failure(report_to_host, dest_server, "Copy Tree Open", text);
  }
  for (DWORD index = count; rc == ERROR_SUCCESS && index-- > 0;) {
    char sub[kSubkeyNameChars + 1] = {};
    DWORD size = sizeof sub;
    LONG listed = RegEnumKeyExA(source, index, sub, &size, nullptr, nullptr, nullptr, nullptr);
    if (listed != ERROR_SUCCESS) {
      std::snprintf(text, sizeof text, "Error subkey [%.300s] [%d] during rename/copy", source_name,
                    static_cast<int>(listed));
      copy_failure(report_to_host, dest_server, "Copy Tree Open", text);
      continue;
    }
    CopyKeyTree(source, sub, dest, nullptr, report_to_host, dest_server, source_server, overwrite);
  }
  RegCloseKey(dest);
  RegCloseKey(source);
  return g_definition_copy.errors;
}

namespace {

// A definition open for copying: its parent key on the source server, and the image of its rows.
struct CopySource {
  const CopyKind* kind;
  const char* name;
  const char* server;
  HKEY parent;
  int image;
  DWORD report_to_host;
  DWORD overwrite;
};

// Opens the definition on its server, reporting a failure. false when it cannot be copied.
bool open_copy_source(CopySource* source) {
  const CopyKind& kind = *source->kind;
  HKEY root, definition;
  source->parent = nullptr;
  if (ConnectServerRegistry(source->server, &root, kind.source_title, source->report_to_host) != 0 || root == nullptr)
    return false;
  char path[400], text[600];
  std::snprintf(path, sizeof path, "%s\\%.200s", kind.path, source->name);
  LONG rc = RegOpenKeyExA(root, path, 0, remote_access(KEY_READ), &definition);
  if (rc == ERROR_SUCCESS && (rc = RegOpenKeyExA(root, kind.path, 0, remote_access(KEY_READ), &source->parent)) != 0)
    RegCloseKey(definition);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening %s on server %.100s.", static_cast<int>(rc), path, source->server);
    if (source->report_to_host) report_step(source->server, "processing...", text, true);
    else show_message(nullptr, text, kind.open_title, MB_ICONERROR);
    return false;
  }
  source->image = kStepCopying;
  if (&kind == &kProfileCopy) {
    // The profile's own icon, by its type and state.
    DWORD type = 0, disabled = 0, size = sizeof type;
    RegQueryValueExA(definition, "ProfileType", nullptr, nullptr, reinterpret_cast<BYTE*>(&type), &size);
    size = sizeof disabled;
    RegQueryValueExA(definition, "Disabled", nullptr, nullptr, reinterpret_cast<BYTE*>(&disabled), &size);
    if (const ProfileType* t = profile_type_by_code(type))
      source->image = g_library.base_image_index + (disabled ? t->disabled_icon : t->icon);
  }
  RegCloseKey(definition);
  return true;
}

// Copies the open definition to one server, unless it is the source. true when a copy was made.
bool copy_to_server(const CopySource& source, const char* dest_server) {
  const CopyKind& kind = *source.kind;
  const char* from = server_machine_name(source.server);
  const char* to = server_machine_name(dest_server);
  if (dest_server[0] == '\0' || equal_ignoring_case(from, to)) return false;
  HKEY root, dest;
  if (ConnectServerRegistry(dest_server, &root, kind.dest_title, source.report_to_host) != 0 || root == nullptr)
    return false;
  LONG rc = RegOpenKeyExA(root, kind.path, 0, remote_access(KEY_ALL_ACCESS), &dest);
  if (rc != ERROR_SUCCESS) {
    char text[400];
    describe_open_failure(rc, dest_server, kind.what, text, sizeof text);
    if (source.report_to_host) report_step(dest_server, "open VORNIX registry key", text, true);
    else show_message(nullptr, text, kind.dest_title, MB_ICONERROR);
    return false;
  }
  g_definition_copy.errors = 0;
  if (source.report_to_host) report_step(dest_server, kind.initiating, source.name, false, source.image);
  ++g_definition_copy.copies;
  CopyKeyTree(source.parent, source.name, dest, nullptr, source.report_to_host, dest_server, source.server,
              source.overwrite);
  RegCloseKey(dest);
  return true;
}

// Copies the definition to the selected rows of a server list, or to its row `only` when that is 0 or more.
DWORD copy_to_list(CopySource source, HWND list, int only) {
  if (!open_copy_source(&source)) return 0;
  DWORD copied = 0;
  const int rows = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  const int first = only >= 0 ? only : 0, end = only >= 0 ? std::min(only + 1, rows) : rows;
  for (int row = first; row < end; ++row) {
    if (only < 0 && (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0)
      continue;
    char server[kCachedServerNameBytes] = {};
    LPARAM record;
    if (read_list_row(list, row, server, sizeof server, &record) && copy_to_server(source, server)) ++copied;
  }
  RegCloseKey(source.parent);
  return copied;
}

}  // namespace

DWORD CopyProfileToSelectedServers(HWND, const char* profile, const char* source_server, HWND server_list,
                                   DWORD report_to_host, DWORD overwrite) {
  return copy_to_list({&kProfileCopy, profile, source_server, nullptr, 0, report_to_host, overwrite}, server_list, -1);
}

DWORD CopyProfileToServer(HWND, const char* profile, const char* source_server, HWND server_list, int item,
                          DWORD report_to_host, DWORD overwrite) {
  if (item < 0) return 0;
  return copy_to_list({&kProfileCopy, profile, source_server, nullptr, 0, report_to_host, overwrite}, server_list, item);
}

DWORD CopyCustomReport(const char* report, const char* source_server, HWND dest_list, DWORD report_to_host,
                       DWORD overwrite) {
  return copy_to_list({&kReportCopy, report, source_server, nullptr, 0, report_to_host, overwrite}, dest_list, -1);
}

void EnableBackupPrivileges() { enable_backup_privileges(true); }

namespace {

// Deletes the old key of a rename: a profile by the profile deletion, a report or graphical schedule
// by the key deletion, which, once it is gone, also renames it in every schedule's report list.
void delete_renamed(HWND window, HKEY parent, bool profile, const char* old_name, const char* new_name,
                    const char* server) {
  if (profile) {
    DeleteProfile(window, old_name, server);
    return;
  }
  DeleteKeyTree(parent, old_name, server, 0);
  if (DeleteRegistryKey(parent, old_name) == ERROR_SUCCESS) ReplaceReportInSchedules(parent, old_name, new_name, 0);
}

// A new spelling of the same key: the registry takes both names for one key, so a copy would land on
// the source itself. The key goes through a staging key of the console: copied there under the new
// name, deleted, and copied back. When the copy back fails the staging key stays and the user is told.
void rename_spelling(HWND window, HKEY parent, bool profile, const char* old_name, const char* new_name,
                     const char* server, const char* title) {
  HKEY console, staging;
  char tag[16];
  LONG rc = create_staging(&console, &staging, tag);
  if (rc != ERROR_SUCCESS) {
    ++g_definition_copy.errors;
    show_message(window, "Error during Rename - did not delete original", title, MB_ICONERROR);
    if (console) RegCloseKey(console);
    return;
  }
  CopyKeyTree(parent, old_name, staging, new_name, 0, server, server, 1);
  if (g_definition_copy.errors == 0) {
    // A failed deletion may have taken subkeys: the copy back puts them on the old key again.
    delete_renamed(window, parent, profile, old_name, new_name, server);
    CopyKeyTree(staging, new_name, parent, nullptr, 0, server, server, 1);
    if (g_definition_copy.errors != 0) {
      // The rename's own texts have none for this: without it the user would not know where the definition is.
      char text[300];
      std::snprintf(text, sizeof text, "Error during Rename - a copy of %.100s is kept under HKEY_CURRENT_USER\\%s\\%s",
                    old_name, kProductKey, tag);
      show_message(window, text, title, MB_ICONERROR);
      RegCloseKey(staging);
      RegCloseKey(console);
      return;
    }
  } else {
    show_message(window, "Error during Rename - did not delete original", title, MB_ICONERROR);
  }
  RegCloseKey(staging);
  delete_staging(console, tag);
  RegCloseKey(console);
}

}  // namespace

DWORD RenameDefinition(HWND window, const char* old_name, const char* new_name, const char* source_server,
                       const char* dest_server, DWORD kind) {
  g_definition_copy.errors = 0;
  const bool profile = kind != kRenameReport && kind != kRenameGraphicalSchedule;
  const char* title = kind == kRenameGraphicalSchedule ? "UNABLE TO RENAME SCHEDULED ACTIVITY"
                      : profile                        ? "UNABLE TO RENAME PROFILE"
                                                       : "UNABLE TO RENAME REPORT";
  const char* path = kind == kRenameGraphicalSchedule ? kGraphsKey : profile ? kProfilesPath : kReportsKey;
  HKEY source, dest;
  bool same_registry = false;
  if (open_parents(path, source_server, dest_server, title, profile ? "profiles" : "custom reports", &source, &dest,
                   &same_registry) != ERROR_SUCCESS)
    return ++g_definition_copy.errors;
  if (same_registry && equal_ignoring_case(old_name, new_name)) {
    RegCloseKey(dest);
    // The same name is nothing to do; another spelling of it is the same key.
    if (std::strcmp(old_name, new_name) != 0)
      rename_spelling(window, source, profile, old_name, new_name, source_server, title);
    RegCloseKey(source);
    return g_definition_copy.errors;
  }
  CopyKeyTree(source, old_name, dest, new_name, 0, dest_server, source_server, 1);
  RegCloseKey(dest);
  if (g_definition_copy.errors != 0) {
    // The partial new key stays; the old one is kept so nothing is lost.
    show_message(window, "Error during Rename - did not delete original", title, MB_ICONERROR);
    RegCloseKey(source);
    return g_definition_copy.errors;
  }
  delete_renamed(window, source, profile, old_name, new_name, source_server);
  RegCloseKey(source);
  return g_definition_copy.errors;
}

bool definition_row_server(const BYTE* record, char* server, size_t size) {
  ScheduleRow report;
  if (profile_row_server(record, server, size)) return true;
  if (!schedule_row(record, &report, nullptr)) return false;
  copy_text(server, size, report.server);
  return true;
}

DWORD ExportSelected(HWND list, DWORD kind, const char* current_server) {
  const bool reports = kind == kImportReports;
  const char* path = reports ? kReportsKey : kProfilesPath;
  HKEY console, staging;
  char tag[16];
  char text[700];
  LONG rc = create_staging(&console, &staging, tag);
  if (console == nullptr) {
    std::snprintf(text, sizeof text, "Error %d opening TEMP EXPORT KEY on local machine", static_cast<int>(rc));
    show_message(nullptr, text, "UNABLE TO DELETE TEMP KEY", MB_ICONERROR);
    return 0;
  }
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
    if (!definition_row_server(record, server, sizeof server)) copy_text(server, sizeof server, current_server);
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
    const char* machine = server_machine_name(server);
    if (CopyKeyTree(parent, name, staging, nullptr, 0, machine, machine, 1) == 0) ++exported;
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
  if (report_to_host) report_step(server, kind == kImportReports ? "Importing Reports" : "Importing Profiles", file, false);
  const char* path = kind == kImportReports ? kReportsKey : kProfilesPath;
  HKEY root, dest;
  if (ConnectServerRegistry(server, &root, "UNABLE TO DEST SERVER FOR IMPORT", report_to_host) != 0 || root == nullptr)
    return 0;
  char text[700];
  LONG rc = RegOpenKeyExA(root, path, 0, remote_access(KEY_ALL_ACCESS), &dest);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening %s on server %.100s.", static_cast<int>(rc), path, server);
    if (report_to_host) report_step(server, "processing...", text, true);
    else show_message(nullptr, text, "UNABLE TO OPEN EXISTING IMPORT KEY", MB_ICONERROR);
    return 0;
  }
  HKEY console, staging;
  char tag[16];
  rc = create_staging(&console, &staging, tag);
  if (console == nullptr) {
    RegCloseKey(dest);
    return 0;
  }
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
  return restore_registry_archive(window, server, file);
}

DWORD restore_registry_archive(HWND window, const char* server, const char* file) {
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

bool registry_archive_folder(const char* server, char* out, size_t size) {
  HKEY root, version;
  if (ConnectServerRegistry(server, &root, kMessageTitle, 0) != 0 || root == nullptr) return false;
  if (RegOpenKeyExA(root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, remote_access(KEY_READ), &version) !=
      ERROR_SUCCESS)
    return false;
  char system_root[MAX_PATH] = {};
  DWORD bytes = sizeof system_root - 1;
  LONG rc = RegQueryValueExA(version, "SystemRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(system_root), &bytes);
  RegCloseKey(version);
  if (rc != ERROR_SUCCESS || system_root[0] == '\0') return false;
  // "C:\Windows" on the server is "C$\Windows" on its administrative share.
  if (char* colon = std::strchr(system_root, ':')) *colon = '$';
  const char* name = server_machine_name(server);
  std::snprintf(out, size, "\\\\%.100s\\%s\\system32\\drivers\\vornix\\", name, system_root);
  return true;
}

void archive_date(const char* file, char* out, size_t size) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char name[MAX_PATH];
  copy_text(name, sizeof name, file);
  if (char* dot = std::strrchr(name, '.')) *dot = '\0';
  const char* parts[16] = {};
  int count = 0;
  for (char* part = name; part && count < 16; ++count) {
    parts[count] = part;
    part = std::strchr(part, '_');
    if (part) *part++ = '\0';
  }
  out[0] = '\0';
  for (int i = 0; i < count; ++i) {
    if (std::none_of(std::begin(kMonths), std::end(kMonths), [&](const char* m) { return equal_ignoring_case(parts[i], m); }))
      continue;
    std::snprintf(out, size, "%s%s%s %s", i > 0 ? parts[i - 1] : "", i > 0 ? " " : "", parts[i],
                  i + 1 < count ? parts[i + 1] : "");
    return;
  }
}

DWORD ListRegistryArchives(const char* server, HWND list) {
  char folder[MAX_PATH + 120], pattern[MAX_PATH + 140];
  if (!registry_archive_folder(server, folder, sizeof folder)) return 0;
  std::snprintf(pattern, sizeof pattern, "%s*.savekey", folder);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  DWORD listed = 0;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char path[sizeof folder + MAX_PATH], date[80];
    std::snprintf(path, sizeof path, "%s%s", folder, entry.cFileName);
    archive_date(entry.cFileName, date, sizeof date);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = path;
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    item.iSubItem = 1;
    item.pszText = date;
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    ++listed;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return listed;
}
