// vornix-console quick-report and custom-report: a server's activity logs
// read by the library into the quick-report lists (or the custom report's list)
// and written as comma-delimited files, one per record family. The quick
// report's screen and run are shared with the chart commands.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/substitute_host.h"

namespace console {

// Both run on the world already opened; args hold the command's options.
// The exit code: 0 when a report was made, 1 with a one-line error otherwise.
int quick_report(std::vector<std::string> args);
int custom_report(std::vector<std::string> args);

// "OUT" with the family before its ".csv" ending: report.csv -> report-logon.csv.
std::string family_csv_path(const std::string& out, const std::string& family);

// The library as the console drives it: loaded beside the program, reached through its exports.
struct Library {
  host::Library library;
  host::ServiceTable table;
  DWORD(WINAPI* text)(HWND, uintptr_t*, uintptr_t, uintptr_t, uintptr_t, DWORD, char*, LONG*, uintptr_t, uintptr_t,
                      uintptr_t, DWORD, DWORD) = nullptr;
  bool print_status_lines = false;  // the host's status line printed among the library's messages
};
// Loads and starts the library beside the program with the host's services; false after a one-line error.
bool start(Library* l);

// The quick report's window and row maximum: --hours N | --days N | --from DATE --to DATE, --max N.
struct WindowOptions {
  std::string hours, from_text, to_text;
  DWORD count = 1;
  SYSTEMTIME from = {}, to = {};  // local; wYear 0 when no dates were given
  DWORD maximum = 0;
};
// Takes the window options out of args; false with the reason when one is wrong.
bool take_window_options(std::vector<std::string>& args, WindowOptions* window, std::string* error);

// The host's quick-report views: the four lists by their dialog items (file system, logon, directory, GPO).
constexpr int kQuickViews = 4;
struct QuickView {
  int item;          // the list's dialog item, which names its view's columns
  const char* name;  // as the console names its rows ("file system")
  const char* tag;   // in the names of its CSV files ("filesystem")
};
extern const QuickView kQuickViewLists[kQuickViews];
// The identifier whose event gives a report list the columns of the view its dialog item names.
constexpr uint32_t kReportViewList = 0x60240001;
// The host page of the graphical analysis, which the quick report's lists name for their menu's entry.
constexpr uint16_t kAnalysisPage = 0x2200;

// The view of a report row, as its cells show it (the GPO, logon, directory or file-system columns that
// answer for it); -1 for a row without a record item (a stop or error row).
int row_view(const Library& l, HWND screen, LPARAM record);

// The report lists of the four views on a screen (dialog items kQuickViewLists), each given its view's columns
// by its event; their menu names the analysis page.
void add_view_lists(const Library& l, HWND screen, HWND lists[kQuickViews]);
// Moves a row (its text, icon and record) to the end of another list of a screen; the host keeps one copy of
// the record, now behind the new row.
void move_row(HWND from, int row, HWND to);

// A quick report run through the quick-report button, its rows left in the four lists.
struct QuickReportScreen {
  HWND screen = nullptr;
  HWND lists[kQuickViews] = {};  // file system, logon, directory, GPO
  std::string last_message;  // what the library showed last
};
// Runs the quick report of the server with a progress line (Ctrl-C stops it); false after
// a one-line error when the server is not known.
bool run_quick_report(Library& l, const std::string& server, const WindowOptions& window, QuickReportScreen* out);
// Writes a list as the host's list-to-file service writes it (its column titles, then its rows'
// cells), standard output's file delivered there; false after a one-line error.
bool write_list_csv(const Library& l, HWND list, const OutputFile& out);

}  // namespace console
