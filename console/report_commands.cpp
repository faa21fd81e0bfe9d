#include "console/windows_error.h"
#include "console/report_commands.h"

#include "console/command_line.h"
#include "console/console_output.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <thread>
#include <tuple>

#include "console/list_view.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host_services.h"
#include "resources/resource.h"
#include "win32/ui_script.h"

namespace console {

const QuickView kQuickViewLists[kQuickViews] = {
    {1901, "file system", "filesystem"}, {1902, "logon", "logon"}, {1906, "directory", "directory"}, {1907, "GPO", "gpo"}};

namespace {

constexpr uint16_t kReportScreenKey = 3;
constexpr int kQuickButtonItem = 1900;
constexpr int kQuickProgressItem = 1910;
constexpr int kQuickStatusItem = 1913;  // the run's status text: the file being read, then how it ended
constexpr uint32_t kQuickReportButton = 0x60410D1D;
constexpr uint32_t kQuickReportList = 0x60440D1D;   // the button's list twin: the screen learns the run's end
constexpr uint32_t kQuickProgressControl = 0x60420D20;
constexpr const char* kQuickBarNames[] = {"BAR1", "BAR2", "BAR3", "BAR4"};
constexpr int kFilesBar = 0, kFileBar = 1;
constexpr DWORD kLongestWindowDays = 36500;
constexpr uint16_t kCustomScreenKey = 8;
constexpr uint32_t kCustomReportServers = 0x6044001A;
constexpr uint32_t kCustomReportPatterns = 0x6044001B;
constexpr char kUnknownCell[] = "<unknown>";

// The quick report dialog's fields on its screen, as the library remembers them when a run starts.
constexpr uint32_t kDaysField = 0x60480D0D, kDaysChoice = 0x60410D0E;
constexpr uint32_t kHoursField = 0x60480D11, kHoursChoice = 0x60410D12;
constexpr uint32_t kFromDate = 0x60480D13, kToDate = 0x60480D14;
constexpr uint32_t kFirstFamilyBox = 0x60410D15, kLastFamilyBox = 0x60410D18;
constexpr uint32_t kMaximumField = 0x60480D19, kMaximumBox = 0x60480D1A;
constexpr uint32_t kAllDatesChoice = 0x60410D0A;

DWORD WINAPI print_status_line(HWND, DWORD, DWORD, const char* text, COLORREF, COLORREF) {
  std::printf("  %s\n", text ? text : "");
  return 1;
}

volatile std::sig_atomic_t g_interrupted = 0;
void on_interrupt(int) { g_interrupted = 1; }

bool parse_count(const std::string& text, DWORD limit, DWORD* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long value = std::stoul(text);
  if (value == 0 || value > limit) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

// YYYY-MM-DD: the day's first second, or its last when end_of_day, as a date field holds it.
bool parse_date(const std::string& text, bool end_of_day, SYSTEMTIME* out) {
  int y = 0, m = 0, d = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) != 3 || y < 1971 || y > 2105 || m < 1 ||
      m > 12 || d < 1 || d > 31)
    return false;
  std::tm t = {};
  t.tm_year = y - 1900;
  t.tm_mon = m - 1;
  t.tm_mday = d;
  t.tm_isdst = -1;
  if (std::mktime(&t) <= 0 || t.tm_mday != d) return false;  // 2026-02-30 and the like
  *out = {static_cast<WORD>(y), static_cast<WORD>(m), 0, static_cast<WORD>(d), static_cast<WORD>(end_of_day ? 23 : 0),
          static_cast<WORD>(end_of_day ? 59 : 0), static_cast<WORD>(end_of_day ? 59 : 0), 0};
  return true;
}

bool later(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return std::make_tuple(a.wYear, a.wMonth, a.wDay) > std::make_tuple(b.wYear, b.wMonth, b.wDay);
}

std::string grouped(unsigned long long n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The terminal's progress line: files and bytes done, counted from the
// library's own progress bar messages.
struct Progress {
  std::atomic<uint32_t> files_total{0}, files_done{0};
  std::atomic<uint64_t> completed_bytes{0}, current_bytes{0};
  WNDPROC files_proc = nullptr, file_proc = nullptr;
};
Progress g_progress;

LRESULT CALLBACK files_bar_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == PBM_SETRANGE32) g_progress.files_total = static_cast<uint32_t>(lp);
  if (m == PBM_STEPIT) {
    g_progress.files_done++;
    g_progress.completed_bytes += g_progress.current_bytes.exchange(0);
  }
  return CallWindowProcA(g_progress.files_proc, w, m, wp, lp);
}

LRESULT CALLBACK file_bar_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == PBM_SETPOS) g_progress.current_bytes = static_cast<uint64_t>(wp);
  return CallWindowProcA(g_progress.file_proc, w, m, wp, lp);
}

// The end of a run: the library sends the quick-report screen its command, the logon list as sender.
std::atomic<bool> g_run_ended{false};
HWND g_logon_list;
WNDPROC g_screen_proc;

LRESULT CALLBACK screen_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND && reinterpret_cast<HWND>(lp) == g_logon_list) g_run_ended = true;
  return CallWindowProcA(g_screen_proc, w, m, wp, lp);
}

void print_progress(bool final_line) {
  char line[120];
  std::snprintf(line, sizeof line, "  files %u of %u, %s bytes read", g_progress.files_done.load(),
                g_progress.files_total.load(), grouped(g_progress.completed_bytes + g_progress.current_bytes).c_str());
  if (final_line) end_progress(line);
  else show_progress(line);
}

HWND add_field(HWND screen, int item, uint32_t id, const char* class_name, const std::string& text,
               uint32_t kind = kDescriptorEditField) {
  return host::add_control(screen, item, class_name, text.c_str(), host::ControlSpec{id, kind});
}

HWND add_box(HWND screen, int item, uint32_t id, bool checked) {
  HWND box = add_field(screen, item, id, "Button", "", kDescriptorCheckBox);
  SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}

// The quick report dialog filled in as the options say: the last days (the last day when none is given), the
// last hours or the dates from and to, every record family, and the row maximum when one is given.
void fill_quick_report_dialog(HWND screen, const WindowOptions& w) {
  bool by_dates = w.from.wYear != 0, by_hours = !w.hours.empty();
  int item = 1920;
  add_field(screen, item++, kDaysField, "Edit", by_hours || by_dates ? "" : std::to_string(w.count));
  add_box(screen, item++, kDaysChoice, !by_hours && !by_dates);
  add_field(screen, item++, kHoursField, "Edit", by_hours ? std::to_string(w.count) : "");
  add_box(screen, item++, kHoursChoice, by_hours);
  for (uint32_t id : {kFromDate, kToDate}) {
    HWND date = add_field(screen, item++, id, DATETIMEPICK_CLASSA, "");
    SetWindowLongA(date, GWL_STYLE, GetWindowLongA(date, GWL_STYLE) | DTS_SHOWNONE);
    const SYSTEMTIME& when = id == kFromDate ? w.from : w.to;
    if (by_dates) SendMessageA(date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&when));
    else SendMessageA(date, DTM_SETSYSTEMTIME, GDT_NONE, 0);
  }
  for (uint32_t id = kFirstFamilyBox; id <= kLastFamilyBox; ++id) add_box(screen, item++, id, true);
  add_field(screen, item++, kMaximumField, "Edit", w.maximum ? std::to_string(w.maximum) : "");
  add_box(screen, item++, kMaximumBox, w.maximum != 0);
  add_box(screen, item++, kAllDatesChoice, false);
}

}  // namespace

void add_view_lists(const Library& l, HWND screen, HWND lists[kQuickViews]) {
  for (int i = 0; i < kQuickViews; ++i) {
    host::ControlSpec layout{kReportViewList, kDescriptorListView};
    layout.page = kAnalysisPage;
    lists[i] = host::add_control(screen, kQuickViewLists[i].item, WC_LISTVIEWA, "", layout);
    host::send_list_event(l.library, lists[i]);
  }
}

namespace {

// A cell of a report row as the library's text entry point gives it.
std::string cell(const Library& l, HWND screen, LPARAM record, uint32_t column) {
  char text[2048] = {};
  LONG value = 0;
  if (l.text(screen, nullptr, static_cast<uintptr_t>(record), 0, 0, 1, text, &value, 0, 0, 0, column, kModuleNumber) != 0)
    return kUnknownCell;
  return text;
}

}  // namespace

void move_row(HWND from, int row, HWND to) {
  support::ListRow moved = support::read_row(from, row);
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = row_count(to);
  item.pszText = moved.text.data();
  item.iImage = moved.image;
  item.lParam = reinterpret_cast<LPARAM>(moved.record);
  int at = static_cast<int>(SendMessageA(to, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  // The other cells are asked of the screen when they are read.
  LVCOLUMNA column = {};
  for (int c = 1; SendMessageA(to, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column)); ++c) {
    LVITEMA other = {};
    other.iSubItem = c;
    other.pszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(to, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&other));
  }
}


int row_view(const Library& l, HWND screen, LPARAM record) {
  // Columns that only some families answer: a GPO text, the logon type, the directory object, and the folder
  // flag of file records; the others show "<unknown>" there.
  if (record == 0) return -1;
  if (cell(l, screen, record, 0x60420900) != kUnknownCell) return 3;
  if (cell(l, screen, record, 0x60420E01) != kUnknownCell) return 1;
  if (cell(l, screen, record, 0x60420D01) != kUnknownCell) return 2;
  if (cell(l, screen, record, 0x60420F0B) != kUnknownCell) return 0;
  return -1;
}

bool start(Library* l) {
  std::string error;
  if (!host::load_library(host::library_beside_program(), &l->library, &error)) {
    fail(error);
    return false;
  }
  DWORD id[4];
  l->library.introduction_in(&id[0], &id[1], &id[2], &id[3]);
  l->table = host::make_service_table();
  if (l->print_status_lines) l->table[kHostShowStatusLine] = reinterpret_cast<uintptr_t>(&print_status_line);
  if (l->library.establish_tables(6, l->table.data()) != 1) {
    fail("the library refused the host services table");
    host::unload_library(&l->library);
    return false;
  }
  host::insert_list_images(l->library);
  l->text = l->library.entry_point_text_services;
  return true;
}

std::string family_csv_path(const std::string& out, const std::string& family) {
  if (out == "-") return out;  // every list after the other on standard output, each with its header line
  size_t slash = out.find_last_of('/');
  size_t dot = out.rfind('.');
  bool has_ending = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return has_ending ? out.substr(0, dot) + "-" + family + out.substr(dot) : out + "-" + family + ".csv";
}

bool take_window_options(std::vector<std::string>& args, WindowOptions* w, std::string* error) {
  bool missing = false;
  w->hours = take_option(args, "--hours", &missing);
  std::string days = take_option(args, "--days", &missing);
  w->from_text = take_option(args, "--from", &missing);
  w->to_text = take_option(args, "--to", &missing);
  std::string max_text = take_option(args, "--max", &missing);
  *error = "";
  if (missing) return *error = "--hours, --days, --from, --to and --max each need a value", false;
  int windows = !w->hours.empty() + !days.empty() + (!w->from_text.empty() || !w->to_text.empty());
  if (windows > 1) return *error = "give one window: --hours, --days or --from with --to", false;
  if (!w->hours.empty() && !parse_count(w->hours, kLongestWindowDays * 24, &w->count))
    return *error = "--hours needs a whole number of hours from 1 to " + std::to_string(kLongestWindowDays * 24), false;
  if (!days.empty() && !parse_count(days, kLongestWindowDays, &w->count))
    return *error = "--days needs a whole number of days from 1 to " + std::to_string(kLongestWindowDays), false;
  if (!w->from_text.empty() || !w->to_text.empty()) {
    if (!parse_date(w->from_text, false, &w->from) || !parse_date(w->to_text, true, &w->to))
      return *error = "--from and --to need dates as YYYY-MM-DD (local time), both of them", false;
    if (later(w->from, w->to))
      return *error = "--to " + w->to_text + " lies before --from " + w->from_text + "; nothing to report", false;
  }
  if (!max_text.empty() && !parse_count(max_text, 0x7FFFFFFF, &w->maximum))
    return *error = "--max needs a whole number of rows from 1 up", false;
  return true;
}

bool run_quick_report(Library& l, const std::string& server, const WindowOptions& w, QuickReportScreen* out) {
  forget_last_message();
  // The server screen: the known servers, one of them selected.
  HWND servers = make_server_list(l);
  if (!select_server(servers, server)) return false;

  // The quick report screen: the dialog's fields, the button, its four lists, the control with the progress
  // bars and the status text.
  HWND screen = host::create_screen(kReportScreenKey, "Quick Report");
  fill_quick_report_dialog(screen, w);
  HWND button = add_button(screen, kQuickButtonItem, kQuickReportButton, kServerScreenKey, kServerListItem);
  add_view_lists(l, screen, out->lists);
  out->screen = screen;
  host::ProgressBars bars = host::add_progress_bars(screen, kQuickProgressItem, kQuickProgressControl,
                                                    {std::begin(kQuickBarNames), std::end(kQuickBarNames)});
  HWND status_text = host::add_control(screen, kQuickStatusItem, "Static", "", host::ControlSpec{});
  g_run_ended = false;
  g_progress.files_total = 0;
  g_progress.files_done = 0;
  g_progress.completed_bytes = 0;
  g_progress.current_bytes = 0;
  g_logon_list = out->lists[1];
  g_screen_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&screen_proc)));
  g_progress.files_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(bars.bars[kFilesBar], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&files_bar_proc)));
  g_progress.file_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(bars.bars[kFileBar], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&file_bar_proc)));

  g_interrupted = 0;
  auto previous = std::signal(SIGINT, on_interrupt);
  std::printf("Quick report of %s", server.c_str());
  if (!w.hours.empty()) std::printf(", last %u hour%s", w.count, w.count == 1 ? "" : "s");
  else if (w.from.wYear) std::printf(", %s to %s", w.from_text.c_str(), w.to_text.c_str());
  else std::printf(", last %u day%s", w.count, w.count == 1 ? "" : "s");
  if (w.maximum) std::printf(", at most %u rows", w.maximum);
  std::printf(" (Ctrl-C stops it)\n");
  std::fflush(stdout);  // also through a pipe: from here on Ctrl-C stops the run
  // Started through the button's list twin, so that the library tells the screen when the run has ended.
  host::send_list_event(l.library, out->lists[1], kQuickReportList);
  // A run that starts sets the file-count bar's range before the call returns.
  bool ran = g_progress.files_total != 0;
  bool stop_sent = false;
  while (ran && !g_run_ended) {
    if (g_interrupted && !stop_sent) {
      // The user's stop command: the button again, answered OK.
      ui::Answer answer;
      answer.match = "Confirm Report Cancellation";
      answer.button = IDOK;
      ui::script(answer);
      press(l, screen, button);
      stop_sent = true;
      progress_note("  stopping...");
    }
    print_progress(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::signal(SIGINT, previous);
  if (ran) print_progress(true);
  out->last_message = console::last_message();
  char ended[512] = {};
  GetWindowTextA(status_text, ended, sizeof ended);
  if (ran && out->last_message.find(ended) == std::string::npos) std::printf("  %s\n", ended);
  return true;
}

bool write_list_csv(const Library& l, HWND list, const OutputFile& out) {
  HANDLE file = CreateFileA(out.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return fail(out.path + ": cannot be created (" + windows_error(GetLastError()) + ")"), false;
  reinterpret_cast<HostLoadFileIntoFn>(l.table[kHostLoadFileInto])(file, list);
  CloseHandle(file);
  if (!deliver_output(out)) return fail(out.path + ": cannot be read back for standard output"), false;
  return true;
}

namespace {

// Each list that has rows: counted, or written to OUT with its family in the name; the rows go back to the
// library. The number of rows; *status 1 when a file could not be written.
size_t write_views(const Library& l, HWND lists[kQuickViews], const std::string& named, const char* stem,
                   int* status) {
  const std::string csv = named.empty() ? named : output_file(named, std::string(stem) + ".csv").path;
  size_t total = 0;
  for (int i = 0; i < kQuickViews; ++i) {
    int n = row_count(lists[i]);
    if (n > 0) {
      total += static_cast<size_t>(n);
      const char* rows = n == 1 ? "row" : "rows";
      if (csv.empty()) {
        std::printf("  %s: %d %s\n", kQuickViewLists[i].name, n, rows);
      } else {
        OutputFile out = output_file(named, std::string(stem) + "-" + kQuickViewLists[i].tag + ".csv");
        if (!out.to_stdout) out.path = family_csv_path(csv, kQuickViewLists[i].tag);
        if (write_list_csv(l, lists[i], out))
          say_written(out, std::string("  ") + kQuickViewLists[i].name + ": " + std::to_string(n) + " " + rows +
                               " written to " + (out.to_stdout ? "standard output" : out.path));
        else *status = 1;
      }
    }
    release_rows(l, lists[i]);
  }
  return total;
}

}  // namespace

int quick_report(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string csv = take_option(args, "--csv", &missing);
  const char* usage = "quick-report takes --server NAME [--hours N | --days N | --from YYYY-MM-DD --to YYYY-MM-DD] "
                      "[--max N] [--csv OUT]";
  WindowOptions window;
  std::string error;
  bool window_given = take_window_options(args, &window, &error);
  if (missing || !args.empty() || server.empty()) return usage_error(usage);
  if (!window_given) return usage_error(error);
  if (!output_path_ready("--csv", csv)) return 1;

  Library l;
  if (!start(&l)) return 1;
  QuickReportScreen run;
  if (!run_quick_report(l, server, window, &run)) {
    host::unload_library(&l.library);
    return 1;
  }
  int status = 0;
  size_t total_rows = write_views(l, run.lists, csv, "quick-report", &status);
  if (total_rows == 0) {
    status = fail(server + ": nothing reported" + (run.last_message.empty() ? "" : " (" + run.last_message + ")"));
  } else if (csv.empty()) {
    std::printf("  (--csv OUT writes the rows, one file per list)\n");
  }
  host::unload_library(&l.library);
  return status;
}

int custom_report(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string csv = take_option(args, "--csv", &missing);
  std::vector<std::string> patterns = take_options(args, "--profile", &missing);
  if (missing || !args.empty() || server.empty() || patterns.empty())
    return usage_error("custom-report takes --server NAME --profile PATTERN... [--csv OUT]");
  if (!output_path_ready("--csv", csv)) return 1;
  Library l;
  if (!start(&l)) return 1;
  forget_last_message();
  // The custom report screen: its server and its patterns (each list as its menu entries add rows), the report
  // list the patterns' event reads into, and the four views its rows are shown in, each by its family.
  HWND screen = host::create_screen(kCustomScreenKey, "Custom Report");
  HWND servers = host::add_control(screen, 1801, WC_LISTVIEWA, "",
                                   host::ControlSpec{kCustomReportServers, kDescriptorListView});
  support::append_row(servers, server.c_str());
  ui::click_row(servers, 0);
  HWND report = host::add_control(screen, 1803, WC_LISTVIEWA, "", host::ControlSpec{});
  host::ControlSpec pattern_layout{kCustomReportPatterns, kDescriptorListView, kCustomScreenKey, 1803};
  HWND pattern_list = host::add_control(screen, 1802, WC_LISTVIEWA, "", pattern_layout);
  for (const std::string& p : patterns) support::append_row(pattern_list, p.c_str());
  HWND lists[kQuickViews];
  add_view_lists(l, screen, lists);

  // Ctrl-C presses the progress window's stop button.
  g_interrupted = 0;
  auto previous = std::signal(SIGINT, on_interrupt);
  std::printf("Custom report of %s (Ctrl-C stops it)\n", server.c_str());
  std::fflush(stdout);  // also through a pipe: from here on Ctrl-C stops the run
  std::atomic<bool> done{false};
  // The progress line repeats the progress window's file and bytes remaining.
  std::thread watcher([&] {
    while (!done) {
      HWND window = nullptr;
      for (const ui::JournalEntry& e : ui::journal())
        if (e.template_name == "PWLOG" && IsWindow(e.window)) window = e.window;
      if (g_interrupted && window) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PWLOG_STOP, BN_CLICKED), 0);
        g_interrupted = 0;
      }
      char file[MAX_PATH] = "", remaining[100] = "";
      if (window && GetDlgItemTextA(window, IDC_PWLOG_FILE, file, sizeof file) &&
          GetDlgItemTextA(window, IDC_PWLOG_REMAINING, remaining, sizeof remaining))
        show_progress(std::string("  ") + file + ", " + remaining);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  host::send_list_event(l.library, pattern_list);
  done = true;
  watcher.join();
  std::signal(SIGINT, previous);
  std::string last_message = console::last_message();
  end_progress("  " + std::to_string(row_count(report)) + " rows read");

  // Each row to the view of its family; a row without one (an error or the stop) goes with the rows before it,
  // and before any family's it has nowhere to go.
  int current = -1;
  for (int row = 0; row < row_count(report); ++row) {
    int view = row_view(l, screen, row_param(report, row));
    if (view >= 0) current = view;
    else std::fprintf(stderr, "vornix-console: %s\n", row_text(report, row).c_str());
    if (current >= 0) move_row(report, row, lists[current]);
    else give_back_record(l, row_param(report, row));
  }
  SendMessageA(report, LVM_DELETEALLITEMS, 0, 0);
  int status = 0;
  size_t total = write_views(l, lists, csv, "custom-report", &status);
  if (total == 0) status = fail(server + ": nothing reported" + (last_message.empty() ? "" : " (" + last_message + ")"));
  host::unload_library(&l.library);
  return status;
}

}  // namespace console
