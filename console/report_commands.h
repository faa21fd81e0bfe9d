// vornix-console quick-report and custom-report: a server's activity logs
// read by the library into the quick-report lists (or one custom report list)
// and written as comma-delimited files, one per record family. The quick
// report's screen and run are shared with the chart commands.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "console/substitute_host.h"

namespace console {

// Both run on the world already opened; args hold the command's options.
// The exit code: 0 when a report was made, 1 with a one-line error otherwise.
int quick_report(std::vector<std::string> args);
int custom_report(std::vector<std::string> args);

// "OUT" with the family before its ".csv" ending: report.csv -> report-logon.csv.
std::string family_csv_path(const std::string& out, const std::string& family);

// The library as the console drives it: loaded, or linked in (its state then read directly).
struct Library {
  host::Library library;
  host::ServiceTable table;
  DWORD(WINAPI* text)(HWND, uintptr_t*, uintptr_t, uintptr_t, uintptr_t, DWORD, char*, LONG*, uintptr_t, uintptr_t,
                      uintptr_t, DWORD, DWORD) = nullptr;
  DWORD_PTR(WINAPI* alloc_record)() = nullptr;
  DWORD(WINAPI* delete_record)(uintptr_t, uintptr_t, void*) = nullptr;
};
// Starts the library with the host's services; false after a one-line error.
bool start(Library* l, bool in_process);

// The quick report's window and row maximum: --hours N | --days N | --from DATE --to DATE, --max N.
struct WindowOptions {
  std::string hours, from_text, to_text;
  DWORD count = 1;
  uint32_t from = 0, to = 0;
  DWORD maximum = 0;
};
// Takes the window options out of args; false with the reason when one is wrong.
bool take_window_options(std::vector<std::string>& args, WindowOptions* window, std::string* error);

// A quick report run through the quick-report button's list twin, its rows left in the four lists.
struct QuickReportScreen {
  HWND screen = nullptr;
  HWND lists[4] = {};  // file system, logon, directory, GPO (kQuickListControls)
  std::string last_message;  // what the library showed last
};
// Runs the quick report of the server with a progress line (Ctrl-C stops it); false after
// a one-line error when the server is not known or the settings cannot be saved.
bool run_quick_report(Library& l, const std::string& server, const WindowOptions& window, QuickReportScreen* out);
// Gives the rows of a list back to the library and empties the list.
void release_rows(const Library& l, HWND list);

}  // namespace console
