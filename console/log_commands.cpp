#include "console/log_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "config/registry.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "reports/log_files.h"
#include "reports/log_folders.h"
#include "reports/log_reader.h"
#include "win32/ui_script.h"

namespace console {
namespace {

std::string windows_error(DWORD code) { return "(Windows error " + std::to_string(code) + ")"; }

const BYTE* row_context(HWND list, int row) { return reinterpret_cast<const BYTE*>(list_row_param(list, row)); }

int row_count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// The host gives every row's record back to the library when the list goes.
void release_rows(HWND list) {
  for (int row = 0; row < row_count(list); ++row) {
    auto* record = reinterpret_cast<BYTE*>(alloc_memory_for_list());
    if (record == nullptr) continue;
    std::memcpy(record, row_context(list, row), kListItemBytes);
    delete_list_item(0, 0, record);
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

std::string file_name(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void print_rows(HWND list) {
  for (int row = 0; row < row_count(list); ++row) {
    const BYTE* c = row_context(list, row);
    const char* path = log_row_path(c);
    if (path == nullptr) continue;
    uint32_t size = load_le32(c + kLogRowSizeMbOffset);
    std::string when = view_time_text(load_le32(c + kLogRowWriteTimeOffset));
    std::string size_text = size ? std::to_string(size) + " MB" : "Less than 1MB";
    std::printf("  %-48s %-14s %s  profile %s, server %s\n", file_name(path).c_str(), size_text.c_str(), when.c_str(),
                reinterpret_cast<const char*>(c + kLogRowPrefixOffset), row_server_name(c));
  }
  if (row_count(list) == 0) std::printf("  (none)\n");
}

}  // namespace

int logs_command(std::vector<std::string> args, const std::string& server) {
  bool archived = take_flag(args, "--archived");
  std::string action = args.empty() ? "" : args[0];
  if (action != "list" && action != "delete" && action != "archive" && action != "restore")
    return fail("logs takes an action: list, delete, archive or restore");
  args.erase(args.begin());
  archived = archived || action == "restore";
  if (action == "list" && !args.empty()) return fail("logs list takes no file names");
  if (action != "list" && args.empty()) return fail("logs " + action + " takes one or more log file names");
  if (action == "archive" && archived) return fail("archived log files are restored, not archived again");

  HWND screen = CreateWindowExA(0, "VornixScreen", "Report Log Files", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 700, 500, screen, nullptr, nullptr, nullptr);
  LogListTarget target = {list, nullptr};
  DWORD listed = 0;
  hold_messages();
  DWORD error = ListLogFiles(&target, server.c_str(), archived ? kListArchivedLogs : kListCurrentLogs, &listed);
  // No file in the folder (2), or no archive folder made yet (3): nothing to list, and the library's
  // message about it is no failure.
  bool nothing_yet = error == ERROR_FILE_NOT_FOUND || (archived && error == ERROR_PATH_NOT_FOUND);
  release_messages(!nothing_yet);
  if (nothing_yet) error = 0;
  if (error != 0) {
    release_rows(list);
    return fail(server + ": the " + (archived ? "archived" : "current") + " log files cannot be listed " +
                windows_error(error));
  }
  if (action == "list") {
    std::printf("%s log files of %s: %u\n", archived ? "Archived" : "Current", server.c_str(), static_cast<unsigned>(listed));
    print_rows(list);
    release_rows(list);
    return 0;
  }

  int status = 0;
  int selected = 0;
  for (const std::string& wanted : args) {
    bool found = false;
    for (int row = 0; row < row_count(list); ++row) {
      const char* path = log_row_path(row_context(list, row));
      if (path == nullptr || !(same_name(path, wanted) || same_name(file_name(path), file_name(wanted)))) continue;
      LVITEMA state = {};
      state.state = state.stateMask = LVIS_SELECTED;
      SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
      found = true;
    }
    if (found) ++selected;
    else status = fail(server + ": no " + (archived ? "archived " : "") + "log file " + wanted);
  }
  if (selected == 0) {
    release_rows(list);
    return 1;
  }
  LogFileCommandKind kind = action == "delete" ? kDeleteLogFiles : action == "archive" ? kArchiveLogFiles : kRestoreLogFiles;
  DWORD handled = LogFileCommand(screen, nullptr, list, server.c_str(), kind);
  const char* done = kind == kDeleteLogFiles ? "deleted" : kind == kArchiveLogFiles ? "archived" : "restored";
  std::printf("%s: %u of %d log file(s) %s\n", server.c_str(), static_cast<unsigned>(handled), selected, done);
  if (handled < static_cast<DWORD>(selected))
    status = fail(server + ": " + std::to_string(selected - static_cast<int>(handled)) + " log file(s) not " + done +
                  "; the messages above say why");
  release_rows(list);
  return status;
}

namespace {

// The agent's staging folder: SystemRoot with its colon as the administrative share, then system32\drivers\vornix.
std::string staging_folder(const std::string& server) {
  HKEY hklm = nullptr, key = nullptr;
  if (ConnectServerRegistry(server.c_str(), &hklm, "UNABLE TO CONTINUE", 0) != 0 || hklm == nullptr) return "";
  if (RegOpenKeyExA(hklm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, remote_access(KEY_READ), &key) != 0)
    return "";
  char root[260] = {};
  DWORD type = 0, size = sizeof root - 1;
  LONG rc = RegQueryValueExA(key, "SystemRoot", nullptr, &type, reinterpret_cast<BYTE*>(root), &size);
  RegCloseKey(key);
  std::string text = rc == 0 ? std::string(root) : "";
  size_t colon = text.find(':');
  if (colon == std::string::npos) return "";
  text[colon] = '$';
  return "\\\\" + server + "\\" + text + "\\system32\\drivers\\vornix";
}

std::string without_backslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

int delete_log_folders(const std::vector<std::string>& given, const std::string& server) {
  std::vector<std::string> folders = given;
  if (folders.empty()) {
    char current[kLogFolderBytes] = "", archive[kLogFolderBytes] = "";
    DWORD error = read_log_folders(server.c_str(), "UNABLE TO CONTINUE", current, archive, sizeof current);
    if (error != 0 && error != ERROR_FILE_NOT_FOUND)
      return fail(server + ": its log folders cannot be read from its registry " + windows_error(error));
    std::string staging = staging_folder(server);
    if (!staging.empty()) folders.push_back(staging);
    if (current[0]) folders.push_back(without_backslash(current));
    // An archive folder inside the log folder goes with it.
    if (archive[0] && (!current[0] || std::strncmp(archive, current, std::strlen(current)) != 0))
      folders.push_back(without_backslash(archive));
    if (folders.empty()) return fail(server + ": it names no log folders (no ReportPath, no SystemRoot)");
  }
  HWND owner = CreateWindowExA(0, "VornixScreen", "Log folders", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  int status = 0;
  for (const std::string& folder : folders) {
    if (!is_log_folder_path(folder.c_str())) {
      status = fail(folder + " is not a log folder; nothing was deleted");
      continue;
    }
    DWORD attributes = GetFileAttributesA(folder.c_str());
    DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      std::printf("%s: not present\n", folder.c_str());
      continue;
    }
    DWORD problems = DeleteFolderTree(nullptr, owner, folder.c_str(), server.c_str(), 0);
    if (problems == 0) {
      std::printf("%s: removed\n", folder.c_str());
    } else if (error != 0) {
      status = fail(folder + ": cannot be reached " + windows_error(error) + "; nothing was deleted");
    } else {
      status = fail(folder + ": not removed, problem total " + std::to_string(problems) +
                    " (entries left plus Windows error codes of folder removals)");
    }
  }
  return status;
}

}  // namespace console
