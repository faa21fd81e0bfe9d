#include "console/log_commands.h"

#include <algorithm>

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/report_commands.h"
#include "host/control_descriptor.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kLogScreenKey = 11;
constexpr int kLogListItem = 1960;
constexpr uint32_t kCurrentLogFiles = 0x60F40049, kArchivedLogFiles = 0x60F4004A;
constexpr uint32_t kReportingServerColumn = 0x60420801;
// A log file row's record as the host's log file list keeps it: the local last-write time, the size in whole
// megabytes and the profile prefix of its name.
constexpr size_t kRowWriteTimeOffset = 100;
constexpr size_t kRowSizeMbOffset = 104;
constexpr size_t kRowPrefixOffset = 384;

struct LogCommand {
  const char* action;
  uint32_t button;
  const char* question;  // the confirmation's title
  const char* done;
};
constexpr LogCommand kCommands[] = {
    {"delete", 0x6041000A, "DELETE REPORT LOG(S)?", "deleted"},
    {"archive", 0x6041000B, "ARCHIVE REPORT LOG(S)?", "archived"},
    {"restore", 0x60410934, "RESTORE REPORT LOG(S)?", "restored"},
};

std::string file_name(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder a listing message names, when it is the text of its own ("Archive Path not found ...: PATH") or
// follows "accessing "; empty otherwise.
std::string folder_named(const std::string& message) {
  const std::string accessing = " occurred accessing ";
  size_t at = message.find(accessing);
  if (at != std::string::npos) return message.substr(at + accessing.size());
  const std::string archive = "Archive Path not found or no permissions: ";
  return message.rfind(archive, 0) == 0 ? message.substr(archive.size()) : "";
}

// Fills the list through its event. A folder that does not exist yet, or holds no log file, lists nothing and
// is no failure (its message is dropped); any other message with nothing listed is one.
bool list_files(const Library& l, HWND list, uint32_t listing, const std::string& server) {
  release_rows(l, list);
  forget_last_message();
  hold_messages();
  host::send_list_event(l.library, list, listing);
  std::string message = last_message();
  std::string folder = folder_named(message);
  DWORD attributes = folder.empty() ? 0 : GetFileAttributesA(folder.c_str());
  DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
  bool nothing_yet = !folder.empty() &&
                     (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                      (error == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0));
  release_messages(!nothing_yet);
  if (row_count(list) == 0 && !message.empty() && !nothing_yet)
    return fail(server + ": the " + (listing == kArchivedLogFiles ? "archived" : "current") +
                " log files cannot be listed (" + message + ")"), false;
  return true;
}

// The files by name, each name's dates in order (the file names end in their day).
void print_rows(const Library& l, HWND screen, HWND list, Listing listing, Format format) {
  std::vector<std::pair<std::pair<std::string, uint32_t>, std::vector<std::string>>> sorted;
  for (int row = 0; row < row_count(list); ++row) {
    const auto* record = reinterpret_cast<const BYTE*>(row_param(list, row));
    if (record == nullptr) continue;
    uint32_t size = record_u32(record, kRowSizeMbOffset);
    std::string size_text = size ? std::to_string(size) + " MB" : "Less than 1MB";
    char server[300] = {};
    LONG value = 0;
    l.text(screen, nullptr, reinterpret_cast<uintptr_t>(record), 0, 0, 1, server, &value, 0, 0, 0,
           kReportingServerColumn, 7);
    std::string name = row_text(list, row);
    uint32_t written = record_u32(record, kRowWriteTimeOffset);
    // The profile part of the name sorts; the day it holds goes by its write time.
    std::string profile = reinterpret_cast<const char*>(record + kRowPrefixOffset);
    sorted.push_back({{profile, written},
                      {name, size_text, view_time_text(written), profile, server}});
  }
  std::sort(sorted.begin(), sorted.end());
  for (auto& entry : sorted) listing.rows.push_back(std::move(entry.second));
  print_listing(listing, format);
}

}  // namespace

int logs_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  bool archived = take_flag(args, "--archived");
  Format format;
  if (!take_format(args, &format)) return 1;
  const bool confirmed = take_confirmation(args);
  std::string action = args.empty() ? "" : args[0];
  if (missing || server.empty() || (action != "list" && action != "delete" && action != "archive" && action != "restore"))
    return usage_error("logs takes an action (list, delete, archive or restore) and --server NAME; delete, archive and "
                       "restore also take the names of the log files");
  args.erase(args.begin());
  archived = archived || action == "restore";
  if (action == "list" && !args.empty()) return usage_error("logs list takes no file names");
  if (action != "list" && args.empty()) return usage_error("logs " + action + " takes one or more log file names");
  if (action == "archive" && archived) return fail("archived log files are restored, not archived again");

  Library l;
  if (!start(&l)) return 1;
  struct Unload {
    Library& l;
    ~Unload() { host::unload_library(&l.library); }
  } unload{l};
  HWND servers = make_server_list(l);
  if (!select_server(servers, server)) return 1;
  HWND screen = host::create_screen(kLogScreenKey, "Report Log Files");
  HWND list = host::add_control(screen, kLogListItem, WC_LISTVIEWA, "",
                                host::ControlSpec{archived ? kArchivedLogFiles : kCurrentLogFiles, kDescriptorListView});
  uint32_t listing = archived ? kArchivedLogFiles : kCurrentLogFiles;
  if (!list_files(l, list, listing, server)) return 1;
  if (action == "list") {
    print_rows(l, screen, list,
               Listing{std::string(archived ? "Archived" : "Current") + " log files of " + server + ": " +
                           std::to_string(row_count(list)),
                       {"file", "size", "last written", "profile", "server"}, {}, "(none)", {0, 14}},
               format);
    release_rows(l, list);
    return 0;
  }

  int status = 0;
  std::vector<int> chosen;
  std::vector<std::string> names;
  for (const std::string& wanted : args) {
    int row = find_row(list, file_name(wanted));
    if (row < 0) {
      status = fail(server + ": no " + (archived ? "archived " : "") + "log file " + wanted);
      continue;
    }
    chosen.push_back(row);
    names.push_back(row_text(list, row));
  }
  if (chosen.empty()) {
    release_rows(l, list);
    return 1;
  }
  const LogCommand* command = nullptr;
  for (const LogCommand& c : kCommands)
    if (action == c.action) command = &c;
  select_rows(list, chosen);
  // Archiving and restoring move the files and are answered OK; deleting them needs --yes.
  const bool deletes = action == "delete";
  forget_last_message();
  ui::script({command->question, deletes ? confirmation_answer(confirmed, IDOK, IDCANCEL) : IDOK, "", {}});
  press(l, screen, add_button(screen, kLogListItem + 1, command->button, kLogScreenKey, kLogListItem));
  ui::clear_script();
  if (deletes && !confirmed) {
    release_rows(l, list);
    return not_confirmed(server + ": no log file was deleted");
  }
  // Listed again: the files handled are gone from this list.
  if (!list_files(l, list, listing, server)) return 1;
  int left = 0;
  for (const std::string& name : names) left += find_row(list, name) >= 0;
  int handled = static_cast<int>(names.size()) - left;
  std::printf("%s: %d of %zu log file(s) %s\n", server.c_str(), handled, names.size(), command->done);
  if (left != 0)
    status = fail(server + ": " + std::to_string(left) + " log file(s) not " + command->done +
                  "; the messages above say why");
  release_rows(l, list);
  return status;
}

}  // namespace console
