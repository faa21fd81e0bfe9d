// Reports over the local machine's log share (\\COMPUTER\VnxLogs$\vnxlogs,
// a folder of the prefix under Wine): the quick report through its button
// with its rows in the four lists, the file-system rows as comma-delimited
// text, a custom report by profile pattern, and the deletion of a log folder
// tree with a file held open in it.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/csv.h"
#include "reports/log_folders.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "reports/report_views.h"
#include "reports/results_window.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {
namespace {

constexpr uint16_t kServersKey = 61, kQuickKey = 62;
constexpr int kServerListItem = 200;
constexpr char kShare[] = "VnxLogs$";

std::string g_computer;
HWND g_quick_lists[kQuickListCount];

std::string logs_folder() { return "\\\\" + g_computer + "\\" + kShare + "\\vnxlogs"; }

// A row of a report list: its text, icon and the event time of the record it shows.
std::string report_row(const support::ListRow& row) {
  void* item = nullptr;
  LogFamily family = row_item(row.record, &item);
  uint32_t time = item ? row_item_event_time(family, item) : 0;
  return row.text + " (" + std::to_string(row.image) + ") " + std::to_string(time) + " " + row_server_name(row.record);
}

// "code[XXXXXXXX][text]" as "code[XXXXXXXX][<the system's text>]" when text is the platform's own text for
// the status (Wine's ntdll has none: its text is empty).
std::string with_system_texts(std::string text) {
  for (size_t at = 0; (at = text.find("code[", at)) != std::string::npos; ++at) {
    if (at + 15 > text.size() || text.compare(at + 13, 2, "][") != 0) continue;
    uint32_t status = static_cast<uint32_t>(std::stoul(text.substr(at + 5, 8), nullptr, 16));
    char system[600] = {};
    HMODULE ntdll = LoadLibraryA("NTDLL.DLL");
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             ntdll, status, 0, system, sizeof system - 1, nullptr);
    if (ntdll) FreeLibrary(ntdll);
    std::string own(system, n);
    if (own.size() >= 2 && own.compare(own.size() - 2, 2, "\r\n") == 0) own.resize(own.size() - 2);
    if (text.compare(at + 15, own.size() + 1, own + "]") == 0)
      text.replace(at + 15, own.size(), "<the system's text>");
  }
  return text;
}

std::vector<std::string> report_rows(HWND list) {
  std::vector<std::string> out;
  for (const support::ListRow& row : support::list_rows(list)) out.push_back(with_system_texts(report_row(row)));
  return out;
}

void set_quick_window(uint32_t start, uint32_t end) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (const auto& [name, value] : std::vector<std::pair<const char*, DWORD>>{
           {"_FROMTODATE", 1}, {"FROMDATE", start}, {"TODATE", end}, {"_STOPXRECS", 0}, {"STOPXRECS", 0}})
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

std::string window_text(HWND window) {
  char text[kQuickStatusBytes] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

void quick_report() {
  if (!begin_section("a quick report over the local machine's log share")) return;
  constexpr uint32_t kDec3 = 1796335200;  // 2026-12-03 22:00 UTC
  set_quick_window(kDec3, kDec3 + 3 * 86400);
  HWND servers_screen = host::create_screen(kServersKey, "Servers");
  HWND servers = host::add_control(servers_screen, kServerListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  support::insert_list_rows(servers, {{g_computer.c_str(), nullptr}});
  support::set_row_selected(servers, 0);
  HWND screen = host::create_screen(kQuickKey, "Quick Report");
  HWND button = host::add_control(screen, 1900, "Button", "Run Quick Report Now",
                                  host::ControlSpec{kQuickReportButton, kDescriptorPushButton, kServersKey,
                                                    kServerListItem});
  for (int i = 0; i < kQuickListCount; ++i)
    g_quick_lists[i] = host::add_control(screen, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
  host::add_progress_bars(screen, 1910, kQuickProgressControl, {std::begin(kQuickBarNames), std::end(kQuickBarNames)});
  HWND status = host::add_control(screen, kQuickStatusItem, "Static", "", host::ControlSpec{});
  say("pressed: " + std::to_string(entry_point_button_services(screen, 0, host::descriptor_of(button))));
  // The worker sends its rows and progress to this thread's windows: this thread keeps serving them, as the
  // host's does, until the worker ends.
  while (g_quick_run.worker && WaitForSingleObject(g_quick_run.worker, 20) == WAIT_TIMEOUT) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  say("state " + std::to_string(g_quick_report.state) + ", " + window_text(status));
  for (int i = 0; i < kQuickListCount; ++i) {
    say("list " + std::to_string(kQuickListControls[i]) + ":");
    say(report_rows(g_quick_lists[i]));
  }
  say(shown());
}

// Every cell of the file-system rows, as the host asks the library for them, written by the CSV writer.
void quick_report_as_csv() {
  if (!begin_section("the quick report's file-system rows as comma-delimited text")) return;
  const ReportView* view = report_view_of_list(kQuickListControls[kQuickListFileSystem]);
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  std::string path = std::string(folder) + "wintest-quick.csv";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  CsvWriter writer;
  csv_begin(&writer, file);
  std::vector<char> text(kColumnTextBytes);
  for (const support::ListRow& row : support::list_rows(g_quick_lists[kQuickListFileSystem])) {
    csv_cell(&writer, row.text.c_str());
    for (size_t c = 1; c < view->count; ++c) {
      text[0] = '\0';
      LONG value = 0;
      entry_point_text_services(nullptr, nullptr, reinterpret_cast<uintptr_t>(row.record), 0, 0, 1, text.data(),
                                &value, 0, 0, 0, view->columns[c].id, 7);
      csv_cell(&writer, text.data());
    }
    csv_end_line(&writer);
  }
  say("written: " + std::to_string(csv_finish(&writer)));
  CloseHandle(file);
  file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string bytes(1 << 20, '\0');
  DWORD read = 0;
  ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  DeleteFileA(path.c_str());
  bytes.resize(read);
  bytes = with_system_texts(bytes);
  say(std::to_string(bytes.size()) + " bytes with the system's texts marked, each line ending in CR LF:");
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) {
      say("(unended) " + bytes.substr(at));
      break;
    }
    say(bytes.substr(at, end - at));
    at = end + 2;
  }
}

void custom_report() {
  if (!begin_section("a custom report by profile pattern")) return;
  HWND screen = host::create_screen(63, "Custom Report");
  HWND report = host::add_control(screen, 1, WC_LISTVIEWA, "", host::ControlSpec{});
  const char* patterns[] = {"shares", "fail*"};
  CustomReportRequest request = {g_computer.c_str(), patterns, 2, FALSE, nullptr, report, 0, nullptr, {}};
  leave_open("VORNIX Custom Report");
  say("files read: " + std::to_string(GenerateCustomReport(&request)));
  // Files are read in the order the folder lists them, which is the file system's own.
  std::vector<std::string> rows = report_rows(report);
  std::sort(rows.begin(), rows.end());
  say(rows);
  say(shown());
  release_rows(report);
}

// A path component that is a short name ("ARCHIV~1") as "<short name>": each file system makes its own.
std::string without_short_names(std::string line) {
  for (size_t tilde; (tilde = line.find('~')) != std::string::npos;) {
    size_t from = line.find_last_of("\\[", tilde) + 1, to = line.find_first_of("\\]", tilde);
    line.replace(from, (to == std::string::npos ? line.size() : to) - from, "<short name>");
  }
  return line;
}

void write_file(const std::string& path, const char* text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

void folder_deletion() {
  if (!begin_section("a log folder deleted with a file held open in it, then whole")) return;
  const std::string archive = logs_folder() + "\\archived_logs";
  for (const std::string& folder : {archive, archive + "\\2026", archive + "\\2026\\Q4", archive + "\\2026\\Q4\\DEEP"})
    CreateDirectoryA(folder.c_str(), nullptr);
  write_file(archive + "\\2026\\Q4\\level.vnx", "log");
  write_file(archive + "\\2026\\Q4\\DEEP\\level.vnx", "log");
  write_file(archive + "\\2026\\old.vnx", "log");
  SetFileAttributesA((archive + "\\2026\\old.vnx").c_str(), FILE_ATTRIBUTE_READONLY);
  say("outside a log folder: " + std::to_string(DeleteFolderTree(nullptr, nullptr, ("\\\\" + g_computer + "\\" +
                                                                                     kShare).c_str(),
                                                                 g_computer.c_str(), 0)));
  // Held open for reading as an agent's reader holds it: its attributes can be reset, it cannot be deleted.
  HANDLE held = CreateFileA((archive + "\\2026\\Q4\\level.vnx").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  HWND screen = host::create_screen(64, "Log Files");
  say("held: " + std::to_string(DeleteFolderTree(nullptr, screen, archive.c_str(), g_computer.c_str(), 0)));
  for (const std::string& line : shown()) say(without_short_names(line));
  say(folder_lines(archive));
  CloseHandle(held);
  leave_open("Results");
  open_results_window("VORNIX Log Folder Deletion Results");
  say("whole: " + std::to_string(DeleteFolderTree(nullptr, screen, archive.c_str(), g_computer.c_str(), 1)));
  for (const std::string& line : results_rows()) say(without_short_names(line));
  close_results_window();
  say(std::string("the folder is gone: ") +
      (GetFileAttributesA(archive.c_str()) == INVALID_FILE_ATTRIBUTES ? "yes" : "no"));
  for (const std::string& line : shown()) say(without_short_names(line));
}

}  // namespace

void reports_group(const Place& place) {
  g_computer = place.computer;
  shown();
  remove_key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.");
  remove_key(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.");
  HKEY product = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr);
  RegSetValueExA(product, "ReportPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(kShare), sizeof kShare);
  RegCloseKey(product);
  quick_report();
  quick_report_as_csv();
  custom_report();
  folder_deletion();
  for (HWND list : g_quick_lists) release_rows(list);
  free_quick_report_files();
  release_registry_connections();
}

}  // namespace wintest
