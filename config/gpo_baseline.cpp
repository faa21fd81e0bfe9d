// The group policy baseline: a copy of the policy definition files of a
// server's SYSVOL tree, kept below a share path of the same server (the
// BaselinePath of its group policy profiles).
#include "config/profiles.h"

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"

namespace {

constexpr char kBaselineTitle[] = "UNABLE TO DETERMINE SYSVOL LOCATION FOR SERVER";
constexpr char kNetlogonKey[] = "SYSTEM\\CurrentControlSet\\Services\\Netlogon\\Parameters";
constexpr char kBaselineFolder[] = "\\sysvol.vornix.baseline";
constexpr char kAttributesFailure[] = "Error %d determining file attributes for path:\n\n%s";

// Names of the files that define a group policy; any other file is left out.
const char* const kDefinitionFiles[] = {"registry.pol", "fdeploy", ".inf", ".ini",
                                        ".cmtx", ".cmt", "install.ins", ".xml"};

// The state of one walk over a folder tree: the two paths grow and shrink in
// place as the walk descends and returns.
struct BaselineWalk {
  char source[MAX_PATH];
  char target[MAX_PATH];
  char destination[MAX_PATH];  // the baseline folder itself
  DWORD folders;
  DWORD files;
  long long bytes;
};

void show_failure(const char* format, DWORD code, const char* path) {
  char text[3 * MAX_PATH + 100];
  std::snprintf(text, sizeof text, format, static_cast<int>(code), path);
  show_message(nullptr, text, kBaselineTitle, MB_ICONERROR);
}

// folder\name followed by tail does not fit a path buffer: shown with the Windows error for an
// overlong name.
DWORD path_too_long(const char* folder, const char* name, const char* tail = "") {
  char shown[3 * MAX_PATH];
  std::snprintf(shown, sizeof shown, "%s\\%s%s", folder, name, tail);
  show_failure(kAttributesFailure, ERROR_FILENAME_EXCED_RANGE, shown);
  return ERROR_FILENAME_EXCED_RANGE;
}

// Appends "\name" to a path of MAX_PATH bytes; false, with the path unchanged, when it does not fit.
bool append_component(char* path, const char* name) {
  size_t used = std::strlen(path);
  size_t length = std::strlen(name);
  if (used + 1 + length >= MAX_PATH) return false;
  path[used] = '\\';
  std::memcpy(path + used + 1, name, length + 1);
  return true;
}

bool is_definition_file(const char* name) {
  for (const char* piece : kDefinitionFiles)
    if (contains_ignoring_case(name, piece)) return true;
  return false;
}

long long file_bytes(const WIN32_FIND_DATAA& entry) {
  return static_cast<long long>((static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
}

// Starts listing a folder. INVALID_HANDLE_VALUE with *error 0 when the folder is empty,
// else with the Windows error (already shown).
HANDLE first_entry(const char* folder, WIN32_FIND_DATAA* entry, DWORD* error) {
  *error = 0;
  char pattern[MAX_PATH];
  copy_text(pattern, sizeof pattern, folder);
  if (!append_component(pattern, "*")) {
    *error = path_too_long(folder, "*");
    return INVALID_HANDLE_VALUE;
  }
  HANDLE search = FindFirstFileA(pattern, entry);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND) {
      show_failure(kAttributesFailure, code, folder);
      *error = code;
    }
  }
  return search;
}

// Makes every file below walk->target writable and deletes it; the folders stay.
// Counts the folders seen and the files deleted. 0 or the Windows error (shown).
DWORD erase_folder(BaselineWalk* walk) {
  WIN32_FIND_DATAA entry;
  DWORD error = 0;
  HANDLE search = first_entry(walk->target, &entry, &error);
  if (search == INVALID_HANDLE_VALUE) return error;
  size_t length = std::strlen(walk->target);
  do {
    if (is_dot_entry(entry.cFileName)) continue;
    if (!append_component(walk->target, entry.cFileName)) {
      error = path_too_long(walk->target, entry.cFileName);
      break;
    }
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ++walk->folders;
      error = erase_folder(walk);
    } else if (SetFileAttributesA(walk->target, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(walk->target)) {
      ++walk->files;
      walk->bytes += file_bytes(entry);
    } else {
      // A file left behind is overwritten by the copy that follows.
      char text[MAX_PATH + 40];
      std::snprintf(text, sizeof text, "Error %d deleting %s", static_cast<int>(GetLastError()), walk->target);
      report_status("Erasing all on destination path", text, true);
    }
    walk->target[length] = '\0';
  } while (error == 0 && FindNextFileA(search, &entry));
  FindClose(search);
  return error;
}

// Copies the definition files of walk->source into walk->target and descends into
// the subfolders, recreating them, except the replication service's private folders
// and the baseline folder itself when it lies inside the tree.
// 0 or the Windows error (shown); the first failure ends the walk.
DWORD copy_folder(BaselineWalk* walk) {
  WIN32_FIND_DATAA entry;
  DWORD error = 0;
  HANDLE search = first_entry(walk->source, &entry, &error);
  if (search == INVALID_HANDLE_VALUE) return error;
  size_t source_length = std::strlen(walk->source);
  size_t target_length = std::strlen(walk->target);
  do {
    if (is_dot_entry(entry.cFileName)) continue;
    bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!append_component(walk->source, entry.cFileName)) {
      error = path_too_long(walk->source, entry.cFileName);
      break;
    }
    if (folder && (contains_ignoring_case(walk->source, "dfsrprivate") ||
                   equal_ignoring_case(walk->source, walk->destination))) {
      walk->source[source_length] = '\0';
      continue;
    }
    if (!folder && !is_definition_file(entry.cFileName)) {
      report_status("Skipping non-GPO Definition File", walk->source);
      walk->source[source_length] = '\0';
      continue;
    }
    if (!append_component(walk->target, entry.cFileName)) {
      error = path_too_long(walk->target, entry.cFileName);
      break;
    }
    if (folder) {
      if (!CreateDirectoryA(walk->target, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = GetLastError();
        show_failure("Failure %d to create folder!", error, walk->target);
      } else {
        report_status("Created Baseline Folder", walk->target);
        ++walk->folders;
        error = copy_folder(walk);
      }
    } else {
      report_status("Copying GPO Definition File for baseline", walk->source);
      if (CopyFileA(walk->source, walk->target, FALSE)) {
        ++walk->files;
        walk->bytes += file_bytes(entry);
      } else {
        error = GetLastError();
        show_failure("Error %d during CopyFile", error, walk->source);
      }
    }
    walk->source[source_length] = '\0';
    walk->target[target_length] = '\0';
  } while (error == 0 && FindNextFileA(search, &entry));
  FindClose(search);
  return error;
}

// The SYSVOL folder of the server on its administrative share ("C:\..." becomes
// "\\server\C$\..."). 0 or the Windows error (shown).
DWORD find_sysvol(const char* server, const char* unc, char* out) {
  HKEY root = nullptr;
  DWORD rc = ConnectServerRegistry(server, &root, kBaselineTitle, 0);
  if (rc != 0) return rc;
  if (root == nullptr) return ERROR_BAD_NETPATH;
  HKEY netlogon;
  LONG opened = RegOpenKeyExA(root, kNetlogonKey, 0, remote_access(KEY_READ), &netlogon);
  if (opened != ERROR_SUCCESS) {
    show_failure("Error %d opening server's Netlogon Key, unable to continue.", static_cast<DWORD>(opened), "");
    return static_cast<DWORD>(opened);
  }
  char sysvol[MAX_PATH] = {};
  DWORD size = sizeof sysvol - 1;
  DWORD type = 0;
  LONG read = RegQueryValueExA(netlogon, "Sysvol", nullptr, &type, reinterpret_cast<BYTE*>(sysvol), &size);
  RegCloseKey(netlogon);
  if (read == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) read = ERROR_INVALID_DATATYPE;
  if (read != ERROR_SUCCESS) {
    show_failure("Error %d obtaining Server SYSVOL Path Location, unable to continue.", static_cast<DWORD>(read), "");
    return static_cast<DWORD>(read);
  }
  if (sysvol[0] == '\0' || sysvol[1] != ':') {
    char text[MAX_PATH + 80];
    std::snprintf(text, sizeof text, "Unknown Path for SYSVOL, unable to continue, error P83 [%s]", sysvol);
    show_message(nullptr, text, kBaselineTitle, MB_ICONERROR);
    return ERROR_INVALID_DATA;
  }
  sysvol[1] = '$';
  int written = std::snprintf(out, MAX_PATH, "%s\\%s", unc, sysvol);
  if (written < 0 || written >= MAX_PATH) return path_too_long(unc, sysvol);
  return 0;
}

// Makes the baseline folder and the folders above it on the share. 0 or the Windows error (shown).
DWORD make_destination(char* destination) {
  DWORD attributes = GetFileAttributesA(destination);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    show_failure("Error %d creating destination path", ERROR_ALREADY_EXISTS, destination);
    return ERROR_ALREADY_EXISTS;
  }
  DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    show_failure(kAttributesFailure, error, destination);
    return error;
  }
  // Past "\\server\share\": each folder in turn, the last one being the baseline folder.
  char* part = destination + 2;
  for (int separators = 0; *part && separators < 2; ++part)
    if (*part == '\\') ++separators;
  for (;; ++part) {
    if (*part != '\\' && *part != '\0') continue;
    char kept = *part;
    *part = '\0';
    BOOL made = CreateDirectoryA(destination, nullptr);
    error = made ? 0 : GetLastError();
    *part = kept;
    if (error != 0 && error != ERROR_ALREADY_EXISTS) {
      show_failure("Error %d creating destination path", error, destination);
      return error;
    }
    if (kept == '\0') return 0;
  }
}

}  // namespace

DWORD CreateGpoBaseline(const char* server, const char* baseline_path) {
  if (baseline_path == nullptr || baseline_path[0] == '\0') {
    show_message(nullptr, "Error, Destination Path Missing", kBaselineTitle, MB_ICONERROR);
    return ERROR_INVALID_PARAMETER;
  }
  if (server == nullptr) server = "";
  char unc[MAX_PATH];
  const char* name = equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server;
  std::snprintf(unc, sizeof unc, "\\\\%s", name);
  auto* walk = static_cast<BaselineWalk*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, sizeof(BaselineWalk)));
  if (walk == nullptr) {
    show_message(nullptr, "ERROR B77 allocating memory", kBaselineTitle, MB_ICONERROR);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  DWORD error = find_sysvol(server, unc, walk->source);
  if (error == 0) {
    DWORD attributes = GetFileAttributesA(walk->source);
    if (attributes == INVALID_FILE_ATTRIBUTES) error = GetLastError();
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) error = ERROR_DIRECTORY;
    if (error != 0) show_failure(kAttributesFailure, error, walk->source);
  }
  if (error == 0) {
    int written = std::snprintf(walk->destination, sizeof walk->destination, "%s\\%s%s", unc, baseline_path,
                                kBaselineFolder);
    if (written < 0 || static_cast<size_t>(written) >= sizeof walk->destination)
      error = path_too_long(unc, baseline_path, kBaselineFolder);
  }
  if (error == 0) error = make_destination(walk->destination);
  if (error == 0) {
    report_status("Path Created/Exists", walk->destination);
    report_status("Erasing all on destination path", walk->destination);
    copy_text(walk->target, sizeof walk->target, walk->destination);
    error = erase_folder(walk);
  }
  if (error == 0) {
    char text[200];
    if (walk->folders == 0 && walk->files == 0)
      copy_text(text, sizeof text, "no folders/files found");
    else
      std::snprintf(text, sizeof text, "Removed %d folders, %d files copied, byte count = [%lld]",
                    static_cast<int>(walk->folders), static_cast<int>(walk->files), walk->bytes);
    report_status(text, nullptr);
    walk->folders = 0;
    walk->files = 0;
    walk->bytes = 0;
    error = copy_folder(walk);
  }
  if (error == 0) {
    char text[200];
    if (walk->folders == 0 && walk->files == 0)
      copy_text(text, sizeof text, "no folders/files found to copy, baseline empty");
    else
      std::snprintf(text, sizeof text, "Baseline Created:Copied %d folders, %d files copied, byte count = [%lld]",
                    static_cast<int>(walk->folders), static_cast<int>(walk->files), walk->bytes);
    report_status(text, nullptr);
  }
  free_block(walk);
  return error;
}
