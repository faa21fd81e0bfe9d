// Log folder deletion: two passes per folder (reset and delete the files,
// then remove the subfolders by the same procedure), then the folder itself.
#include "reports/log_folders.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"
#include "reports/results_window.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kStartColour = 0xFF8000;
constexpr COLORREF kCheckingColour = 0x008000;
constexpr COLORREF kErasingColour = 0x0000FF;
constexpr char kResetAction[] = "Setting files to NORMAL ACCESS prior to Delete";
constexpr char kSummaryAction[] = "Deletion Summary";
constexpr char kDeleteAction[] = "Delete File";
constexpr char kRemoveAction[] = "Remove Directory";
constexpr size_t kMessageBytes = 2 * kFolderPathBytes;

const char* const kLogFolderNames[] = {"vnxlogs", "archived_logs", "vnx_archived_logs", "vornix", "qvawwl", "qvawkq"};

struct TreeRun {
  HWND status;
  HWND owner;
  const char* server;
  DWORD results;
  bool aborted;  // a file could not be deleted: everything stops
};

bool reporting(const TreeRun& run) { return run.status != nullptr || run.owner != nullptr; }

DWORD unattended_state() {
  auto* state = reinterpret_cast<const DWORD*>(g_host_services[kHostUnattendedState]);
  return state ? *state : 0;
}

bool unattended_log_open() {
  auto* file = reinterpret_cast<const HANDLE*>(g_host_services[kHostUnattendedLogFile]);
  return file != nullptr && *file != nullptr && *file != INVALID_HANDLE_VALUE;
}

void status_line(const TreeRun& run, const char* text, COLORREF colour) {
  if (run.status == nullptr) return;
  if (auto show = host_service<HostShowStatusLineFn>(kHostShowStatusLine)) show(run.status, 0, kStatusLine, text, colour, kWhite);
}

void progress_row(const TreeRun& run, const char* action) {
  if (run.results && reporting(run)) add_results_row(g_results.window, kStepImage, run.server, action, "...", "");
}

// A failure: a results row under the action, or the unattended message function.
void report_failure(const TreeRun& run, const char* action, const char* text) {
  if (!reporting(run)) return;
  if (run.results) add_results_row(g_results.window, kStepError, run.server, action, text, "");
  else show_unattended_message(run.owner, text, library_title(), MB_OK | MB_ICONEXCLAMATION);
}

// Calls with names in the OEM code page while a deletion runs.
DWORD set_attributes(const char* path, DWORD attributes) {
  SetFileApisToOEM();
  DWORD error = SetFileAttributesA(path, attributes) ? 0 : GetLastError();
  SetFileApisToANSI();
  return error;
}

DWORD delete_file(const char* path) {
  SetFileApisToOEM();
  DWORD error = DeleteFileA(path) ? 0 : GetLastError();
  SetFileApisToANSI();
  return error;
}

DWORD remove_folder(const char* path) {
  SetFileApisToOEM();
  DWORD error = RemoveDirectoryA(path) ? 0 : GetLastError();
  SetFileApisToANSI();
  return error;
}

HANDLE find_first(const char* pattern, WIN32_FIND_DATAA* data) {
  SetFileApisToOEM();
  HANDLE search = FindFirstFileA(pattern, data);
  SetFileApisToANSI();
  return search;
}

BOOL find_next(HANDLE search, WIN32_FIND_DATAA* data) {
  SetFileApisToOEM();
  BOOL found = FindNextFileA(search, data);
  SetFileApisToANSI();
  return found;
}

// folder + separator + name; false when it does not fit.
bool child_path(char* out, const char* folder, const char* separator, const char* name) {
  int n = std::snprintf(out, kFolderPathBytes, "%s%s%s", folder, separator, name);
  return n >= 0 && static_cast<size_t>(n) < kFolderPathBytes;
}

// First pass: every file reset and deleted, every subfolder reset. The number of failures.
DWORD reset_and_delete_files(TreeRun* run, const char* folder, const char* separator) {
  char pattern[kFolderPathBytes];
  std::snprintf(pattern, sizeof pattern, "%s%s*", folder, separator);
  DWORD failures = 0;
  WIN32_FIND_DATAA entry;
  HANDLE search = find_first(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  char path[kFolderPathBytes];
  char text[kMessageBytes];
  do {
    if (g_library.search_cancel == kSearchCancelStop) break;
    if (unattended_log_open() && unattended_state() == kUnattendedAbort) break;
    if (is_dot_entry(entry.cFileName)) continue;
    bool is_folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    DWORD error = child_path(path, folder, separator, entry.cFileName) ? 0 : ERROR_FILENAME_EXCED_RANGE;
    if (error == 0) error = set_attributes(path, FILE_ATTRIBUTE_NORMAL);
    if (error != 0) {
      ++failures;
      const char* shown = error == ERROR_FILENAME_EXCED_RANGE ? entry.cFileName : path;
      if (is_folder)
        std::snprintf(text, sizeof text, "Error %u, unable to set the directory [%s] to normal access.",
                      static_cast<unsigned>(error), shown);
      else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_SHARING_VIOLATION)
        std::snprintf(text, sizeof text, "Unable to set the file [%s] to normal access.  The file may be in use.", shown);
      else
        std::snprintf(text, sizeof text, "Error %u, unable to set the file [%s] to normal access.",
                      static_cast<unsigned>(error), shown);
      report_failure(*run, kResetAction, text);
      continue;
    }
    if (is_folder) continue;
    error = delete_file(path);
    if (error != 0) {
      std::snprintf(text, sizeof text, "Unexpected Error [%x] on DELETE FILE\n\n[%s]", static_cast<unsigned>(error), path);
      report_failure(*run, kDeleteAction, text);
      run->aborted = true;
      break;
    }
  } while (find_next(search, &entry));
  FindClose(search);
  if (unattended_log_open() && unattended_state() == kUnattendedAbort) {
    if (HWND main = reinterpret_cast<HWND>(g_host_services[kHostMainWindow])) SetWindowTextA(main, "Aborting...");
  }
  return failures;
}

const char* removal_message(DWORD error) {
  switch (error) {
    case ERROR_PATH_NOT_FOUND: return "Unable to remove directory [%s], contains special high ASCII codes, please remove manually.";
    case ERROR_ACCESS_DENIED: return "Unable to remove directory [%s], unable to delete all files or access denied.";
    case ERROR_SHARING_VIOLATION: return "Unable to remove directory [%s], sharing violation - directory is in use.";
    case ERROR_DIR_NOT_EMPTY: return "Unable to remove directory [%s], directory is NOT empty.";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return "Network path not found - unable to connect to [%s].";
    default: return nullptr;
  }
}

DWORD delete_tree(TreeRun* run, const char* folder) {
  size_t length = std::strlen(folder);
  const char* separator = length > 0 && folder[length - 1] == '\\' ? "" : "\\";
  char text[kMessageBytes];

  std::snprintf(text, sizeof text, "Setting Files to NORMAL access and DELETING on [%s]", folder);
  status_line(*run, "                                                                                ", kStartColour);
  status_line(*run, text, kStartColour);
  progress_row(*run, kResetAction);

  DWORD failures = reset_and_delete_files(run, folder, separator);
  if (run->aborted) return 1;
  if (failures != 0) {
    std::snprintf(text, sizeof text, "There %s %u file%s that could not be set to normal access.",
                  failures == 1 ? "was" : "were", static_cast<unsigned>(failures), failures == 1 ? "" : "s");
    report_failure(*run, kSummaryAction, text);
    return failures;
  }

  std::snprintf(text, sizeof text, "Checking for subdirectories of [%s]", folder);
  status_line(*run, text, kCheckingColour);
  progress_row(*run, text);
  DWORD total = 0;
  char pattern[kFolderPathBytes];
  std::snprintf(pattern, sizeof pattern, "%s%s*.*", folder, separator);
  WIN32_FIND_DATAA entry;
  HANDLE search = find_first(pattern, &entry);
  if (search != INVALID_HANDLE_VALUE) {
    char child[kFolderPathBytes];
    do {
      if (unattended_state() != 0) break;
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || is_dot_entry(entry.cFileName)) continue;
      if (auto pump = host_service<HostPumpMessagesFn>(kHostPumpMessages)) pump();
      // The short name reaches a folder whose long name the OEM code page cannot express.
      const char* name = entry.cAlternateFileName[0] != '\0' && std::strcmp(entry.cAlternateFileName, entry.cFileName) != 0
                             ? entry.cAlternateFileName
                             : entry.cFileName;
      if (!child_path(child, folder, separator, name)) {
        ++total;
        std::snprintf(text, sizeof text, "Error %u, unable to set the directory [%s] to normal access.",
                      static_cast<unsigned>(ERROR_FILENAME_EXCED_RANGE), name);
        report_failure(*run, kResetAction, text);
        continue;
      }
      total += delete_tree(run, child);
      if (run->aborted) break;
    } while (find_next(search, &entry));
    FindClose(search);
  }
  if (run->aborted) return 1;

  std::snprintf(text, sizeof text, "ERASING SUBDIRECTORY [%s]", folder);
  status_line(*run, text, kErasingColour);
  progress_row(*run, text);
  set_attributes(folder, FILE_ATTRIBUTE_NORMAL);
  DWORD error = remove_folder(folder);
  if (error != 0) {
    if (const char* format = removal_message(error)) std::snprintf(text, sizeof text, format, folder);
    else std::snprintf(text, sizeof text, "Unexpected Error [%u] on REMOVE DIRECTORY\n\n[%s]", static_cast<unsigned>(error), folder);
    report_failure(*run, kRemoveAction, text);
  }
  return total + error;
}

}  // namespace

BOOL is_log_folder_path(const char* path) {
  if (path == nullptr) return FALSE;
  size_t length = strnlen(path, kFolderPathBytes);
  if (length == 0 || length >= kFolderPathBytes) return FALSE;
  // Components below the root: after \\server\share, or after a drive's "X:".
  const char* p;
  if (path[0] == '\\' && path[1] == '\\') {
    p = path + 2;
    for (int skipped = 0; skipped < 2; ++skipped) {
      const char* slash = std::strchr(p, '\\');
      if (slash == nullptr || slash == p) return FALSE;
      p = slash + 1;
    }
  } else if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') {
    p = path + 3;
  } else {
    return FALSE;
  }
  BOOL named = FALSE;
  char component[kFolderPathBytes];
  while (*p != '\0') {
    const char* end = std::strchr(p, '\\');
    size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
    if (n > 0) {
      std::memcpy(component, p, n);
      component[n] = '\0';
      if (std::strcmp(component, ".") == 0 || std::strcmp(component, "..") == 0) return FALSE;
      if (std::strchr(component, '/') != nullptr) return FALSE;
      for (const char* name : kLogFolderNames)
        if (equal_ignoring_case(component, name)) named = TRUE;
    }
    if (end == nullptr) break;
    p = end + 1;
  }
  return named;
}

DWORD DeleteFolderTree(HWND status, HWND owner, const char* folder, const char* server_text, DWORD results) {
  TreeRun run = {status, owner, server_text ? server_text : "", results, false};
  if (!is_log_folder_path(folder)) {
    char text[kMessageBytes];
    std::snprintf(text, sizeof text, "[%s] is not a log folder; nothing was deleted.", folder ? folder : "");
    report_failure(run, kRemoveAction, text);
    return ERROR_INVALID_NAME;
  }
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  DWORD total = delete_tree(&run, folder);
  SetCursor(previous);
  SetFileApisToANSI();
  return total;
}
