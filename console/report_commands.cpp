#include "console/report_commands.h"

#include "console/command_line.h"
#include "console/in_process.h"
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

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/csv.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "reports/report_views.h"
#include "resources/resource.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace console {
namespace {

constexpr uint16_t kServerScreenKey = 2;
constexpr uint16_t kReportScreenKey = 3;
constexpr int kServerListItem = 200;
constexpr int kQuickButtonItem = 1900;
constexpr int kQuickProgressItem = 1910;
constexpr uint32_t kReportViewEvent = 0x60240001;
constexpr DWORD kLongestWindowDays = 36500;

volatile std::sig_atomic_t g_interrupted = 0;
void on_interrupt(int) { g_interrupted = 1; }

bool parse_count(const std::string& text, DWORD limit, DWORD* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long value = std::stoul(text);
  if (value == 0 || value > limit) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

// YYYY-MM-DD in local time: its first second, or its last when end_of_day.
bool parse_date(const std::string& text, bool end_of_day, uint32_t* out) {
  int y = 0, m = 0, d = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) != 3 || y < 1971 || y > 2105 || m < 1 ||
      m > 12 || d < 1 || d > 31)
    return false;
  std::tm t = {};
  t.tm_year = y - 1900;
  t.tm_mon = m - 1;
  t.tm_mday = d;
  t.tm_hour = end_of_day ? 23 : 0;
  t.tm_min = end_of_day ? 59 : 0;
  t.tm_sec = end_of_day ? 59 : 0;
  t.tm_isdst = -1;
  std::time_t seconds = std::mktime(&t);
  if (seconds <= 0 || t.tm_mday != d) return false;  // 2026-02-30 and the like
  *out = static_cast<uint32_t>(seconds);
  return true;
}

std::string family_tag(const ReportView& view) {
  std::string tag;
  for (const char* c = view.name; *c; ++c)
    if (*c != ' ') tag += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  return tag;
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

// The quick report dialog of this console is the command's options: saved as the dialog is.
bool write_quick_settings(const std::string& hours, DWORD count, uint32_t from, uint32_t to, DWORD maximum) {
  QuickReportSettings settings = {};
  bool by_hours = !hours.empty();
  bool by_dates = from != 0;
  settings.by_last_hours = by_hours;
  settings.last_hours = by_hours ? count : 0;
  settings.by_last_days = !by_hours && !by_dates;
  settings.last_days = !by_hours && !by_dates ? count : 0;
  settings.by_from_to_date = by_dates;
  settings.from_date = from;
  settings.to_date = to;
  settings.stop_at_records = maximum != 0;
  settings.stop_records = maximum;
  return SaveQuickReportSettings(settings) == 0;
}

// Rows that announce a stop or a failure carry no record item: their other cells stay empty.
bool has_item(BYTE* record) {
  void* item = nullptr;
  return row_item(record, &item) != kLogFamilyNone;
}

// A list row's activity text and its record (null for a row without one).
BYTE* row_text_and_record(HWND list, int row, char* activity, int size) {
  LPARAM record;
  read_list_row(list, row, activity, size, &record);
  return reinterpret_cast<BYTE*>(record);
}

// Rows of one list as CSV with its view's columns; the rows go back to the library.
bool write_list(const Library& l, HWND screen, HWND list, const ReportView& view, const std::string& path,
                size_t* rows_written) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fail(path + ": cannot be created (Windows error " + std::to_string(GetLastError()) + ")");
    return false;
  }
  CsvWriter writer;
  csv_begin(&writer, file);
  for (size_t c = 0; c < view.count; ++c) csv_cell(&writer, view.columns[c].title);
  csv_end_line(&writer);
  std::vector<char> text(kColumnTextBytes);
  for (int row = 0; row < count; ++row) {
    char activity[kActivityTextBytes] = {};
    auto* record = row_text_and_record(list, row, activity, sizeof activity);
    for (size_t c = 0; c < view.count; ++c) {
      text[0] = '\0';
      if (view.columns[c].id == kActivityColumn) {
        copy_text(text.data(), text.size(), activity);
      } else if (record && has_item(record)) {
        LONG value = 0;
        l.text(screen, nullptr, reinterpret_cast<uintptr_t>(record), 0, 0, 1, text.data(), &value, 0, 0, 0,
               view.columns[c].id, 7);
      }
      csv_cell(&writer, text.data());
    }
    csv_end_line(&writer);
  }
  DWORD error = csv_finish(&writer);
  CloseHandle(file);
  *rows_written = static_cast<size_t>(count);
  if (error != 0) fail(path + ": could not be written whole (Windows error " + std::to_string(error) + ")");
  return error == 0;
}

}  // namespace

bool start(Library* l, bool in_process) {
  std::string error;
  if (in_process) {
    // The library's code linked in: its state can be read directly, and its resources are its own.
    l->library = host::in_process_library();
    if (g_library.instance == nullptr)
      g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  } else if (!host::load_library(host::library_beside_program(), &l->library, &error)) {
    fail(error);
    return false;
  }
  DWORD id[4];
  l->library.introduction_in(&id[0], &id[1], &id[2], &id[3]);
  l->table = host::make_service_table();
  if (l->library.establish_tables(6, l->table.data()) != 1) {
    fail("the library refused the host services table");
    host::unload_library(&l->library);
    return false;
  }
  host::insert_list_images(l->library);
  l->text = l->library.entry_point_text_services;
  l->alloc_record = reinterpret_cast<decltype(l->alloc_record)>(host::export_address(l->library, "alloc_memory_for_list"));
  l->delete_record = reinterpret_cast<decltype(l->delete_record)>(host::export_address(l->library, "delete_list_item"));
  return true;
}

std::string family_csv_path(const std::string& out, const std::string& family) {
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
    if (w->to < w->from) return *error = "--to " + w->to_text + " lies before --from " + w->from_text + "; nothing to report", false;
  }
  if (!max_text.empty() && !parse_count(max_text, 0x7FFFFFFF, &w->maximum))
    return *error = "--max needs a whole number of rows from 1 up", false;
  return true;
}

static_assert(sizeof QuickReportScreen::lists / sizeof(HWND) == kQuickListCount, "one list per family");

bool run_quick_report(Library& l, const std::string& server, const WindowOptions& w, QuickReportScreen* out) {
  forget_last_message();
  // The server screen: the known servers, one of them selected.
  HWND servers_screen = host::create_screen(kServerScreenKey, "Servers");
  host::ControlSpec server_spec;
  server_spec.control_id = kConsoleServerList;
  server_spec.kind = kDescriptorListView;
  HWND servers = host::add_control(servers_screen, kServerListItem, WC_LISTVIEWA, "", server_spec);
  host::send_list_event(l.library, servers);
  int row = -1, rows = static_cast<int>(SendMessageA(servers, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < rows && row < 0; ++i) {
    char text[260] = {};
    LVITEMA item = {};
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(servers, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    if (equal_ignoring_case(text, server.c_str())) row = i;
  }
  if (row < 0) return fail(server + " is not a known server of this console (vornix-console servers lists them)"), false;
  ui::click_row(servers, row);
  if (!write_quick_settings(w.hours, w.count, w.from, w.to, w.maximum))
    return fail("the quick report settings could not be saved in the console's registry"), false;

  // The quick report screen: the button, its four lists, the control with the four progress bars and the status text.
  HWND screen = host::create_screen(kReportScreenKey, "Quick Report");
  host::ControlSpec button_spec;
  button_spec.control_id = kQuickReportButton;
  button_spec.kind = kDescriptorPushButton;
  button_spec.companion_key = kServerScreenKey;
  button_spec.companion_item = kServerListItem;
  HWND button = host::add_control(screen, kQuickButtonItem, "Button", "Run Quick Report Now", button_spec);
  for (int i = 0; i < kQuickListCount; ++i) {
    host::ControlSpec layout;
    layout.control_id = kReportViewEvent;
    layout.kind = kDescriptorListView;
    out->lists[i] = host::add_control(screen, kQuickListControls[i], WC_LISTVIEWA, "", layout);
    host::send_list_event(l.library, out->lists[i]);  // the library puts the view's columns in
  }
  out->screen = screen;
  host::ProgressBars bars = host::add_progress_bars(
      screen, kQuickProgressItem, kQuickProgressControl, {std::begin(kQuickBarNames), std::end(kQuickBarNames)});
  HWND status_text = host::add_control(screen, kQuickStatusItem, "Static", "", host::ControlSpec{});
  g_run_ended = false;
  g_progress.files_total = 0;
  g_progress.files_done = 0;
  g_progress.completed_bytes = 0;
  g_progress.current_bytes = 0;
  g_logon_list = out->lists[kQuickListLogon];
  g_screen_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&screen_proc)));
  g_progress.files_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(bars.bars[kQuickFilesBar], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&files_bar_proc)));
  g_progress.file_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(bars.bars[kQuickFileBar], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&file_bar_proc)));

  g_interrupted = 0;
  auto previous = std::signal(SIGINT, on_interrupt);
  std::printf("Quick report of %s", server.c_str());
  if (!w.hours.empty()) std::printf(", last %u hour%s", w.count, w.count == 1 ? "" : "s");
  else if (w.from) std::printf(", %s to %s", w.from_text.c_str(), w.to_text.c_str());
  else std::printf(", last %u day%s", w.count, w.count == 1 ? "" : "s");
  if (w.maximum) std::printf(", at most %u rows", w.maximum);
  std::printf(" (Ctrl-C stops it)\n");
  std::fflush(stdout);  // also through a pipe: from here on Ctrl-C stops the run
  // Started through the button's list twin, so that the library tells the screen when the run has ended.
  host::send_list_event(l.library, out->lists[kQuickListLogon], kQuickReportList);
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
      l.library.entry_point_button_services(screen, 0, host::descriptor_of(button));
      stop_sent = true;
      progress_note("  stopping...");
    }
    print_progress(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::signal(SIGINT, previous);
  if (ran) print_progress(true);
  out->last_message = console::last_message();
  char ended[kQuickStatusBytes] = {};
  GetWindowTextA(status_text, ended, sizeof ended);
  if (ran && out->last_message.find(ended) == std::string::npos) std::printf("  %s\n", ended);
  return true;
}

void release_rows(const Library& l, HWND list) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    LPARAM record = list_row_param(list, row);
    if (record == 0) continue;
    auto* copy = reinterpret_cast<void*>(l.alloc_record());
    std::memcpy(copy, reinterpret_cast<void*>(record), kListItemBytes);
    l.delete_record(0, 0, copy);
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

int quick_report(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string csv = take_option(args, "--csv", &missing);
  const char* usage = "quick-report takes --server NAME [--hours N | --days N | --from YYYY-MM-DD --to YYYY-MM-DD] "
                      "[--max N] [--csv OUT]";
  WindowOptions window;
  std::string error;
  bool window_given = take_window_options(args, &window, &error);
  if (missing || !args.empty() || server.empty()) return fail(usage);
  if (!window_given) return fail(error);

  Library l;
  if (!start(&l, false)) return 1;
  QuickReportScreen run;
  if (!run_quick_report(l, server, window, &run)) {
    host::unload_library(&l.library);
    return 1;
  }
  int status = 0;
  size_t total_rows = 0;
  for (int i = 0; i < kQuickListCount; ++i) {
    const ReportView* view = report_view_of_list(kQuickListControls[i]);
    int n = static_cast<int>(SendMessageA(run.lists[i], LVM_GETITEMCOUNT, 0, 0));
    if (n == 0 || view == nullptr) continue;
    total_rows += static_cast<size_t>(n);
    if (csv.empty()) {
      std::printf("  %s: %d row%s\n", view->name, n, n == 1 ? "" : "s");
    } else {
      std::string path = family_csv_path(csv, family_tag(*view));
      size_t written = 0;
      if (write_list(l, run.screen, run.lists[i], *view, path, &written))
        std::printf("  %s: %zu row%s written to %s\n", view->name, written, written == 1 ? "" : "s", path.c_str());
      else
        status = 1;
    }
    release_rows(l, run.lists[i]);
  }
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
    return fail("custom-report takes --server NAME --profile PATTERN... [--csv OUT]");

  // The custom report is not reached through an export: its code runs in-process.
  if (!start_in_process_library()) return fail("the library refused the host services table");
  forget_last_message();
  g_library.quiet_mode = 0;
  // Times as the quick report shows them: local, in the C library's fixed form. The cells are read
  // here, not through the text export, so the time-zone refresh that the export makes is made here.
  g_report_run.time_format = 0;
  g_report_run.show_utc = 0;
  refresh_time_zone();
  HWND screen = host::create_screen(kReportScreenKey, "Custom Report");
  HWND list = host::add_control(screen, 1, WC_LISTVIEWA, "", host::ControlSpec{});
  std::vector<const char*> pattern_texts;
  for (const std::string& p : patterns) pattern_texts.push_back(p.c_str());

  // Ctrl-C presses the progress window's stop button.
  g_interrupted = 0;
  auto previous = std::signal(SIGINT, on_interrupt);
  std::printf("Custom report of %s (Ctrl-C stops it)\n", server.c_str());
  std::fflush(stdout);  // also through a pipe: from here on Ctrl-C stops the run
  std::atomic<bool> done{false};
  // The progress line repeats the progress window's file and bytes remaining.
  std::thread watcher([&] {
    while (!done) {
      HWND window = custom_report_progress_window();
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
  CustomReportRequest request = {};
  request.server = server.c_str();
  request.patterns = pattern_texts.data();
  request.pattern_count = static_cast<DWORD>(pattern_texts.size());
  request.target = list;
  request.parent = kQuickReportParent;
  DWORD files = GenerateCustomReport(&request);
  done = true;
  watcher.join();
  std::signal(SIGINT, previous);
  std::string last_message = console::last_message();
  end_progress("  " + std::to_string(files) + (files == 1 ? " file" : " files") + " read");

  // One CSV per family; rows without a record (errors, stops) go with the family read before them.
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  struct Output {
    std::vector<std::vector<std::string>> rows;
  };
  Output outputs[kQuickListCount];
  int current = -1;
  std::vector<char> text(kColumnTextBytes);
  for (int row = 0; row < count; ++row) {
    char activity[kActivityTextBytes] = {};
    auto* record = row_text_and_record(list, row, activity, sizeof activity);
    void* row_item_block = nullptr;
    LogFamily family = record ? row_item(record, &row_item_block) : kLogFamilyNone;
    if (family != kLogFamilyNone) current = quick_list_of(family);
    if (family == kLogFamilyNone) std::fprintf(stderr, "vornix-console: %s\n", activity);
    if (current < 0) continue;
    const ReportView* view = report_view_of_list(kQuickListControls[current]);
    std::vector<std::string> cells;
    for (size_t c = 0; c < view->count; ++c) {
      text[0] = '\0';
      if (family != kLogFamilyNone || view->columns[c].id == kActivityColumn)
        report_cell_text(record, activity, view->columns[c].id, text.data(), text.size());
      cells.emplace_back(text.data());
    }
    outputs[current].rows.push_back(std::move(cells));
    if (record) {
      auto* copy = reinterpret_cast<BYTE*>(alloc_memory_for_list());
      std::memcpy(copy, record, kListItemBytes);
      delete_list_item(0, 0, copy);
    }
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  int status = 0;
  size_t total = 0;
  for (int i = 0; i < kQuickListCount; ++i) {
    const ReportView* view = report_view_of_list(kQuickListControls[i]);
    const auto& rows = outputs[i].rows;
    if (rows.empty()) continue;
    total += rows.size();
    if (csv.empty()) {
      std::printf("  %s: %zu row%s\n", view->name, rows.size(), rows.size() == 1 ? "" : "s");
      continue;
    }
    std::string path = family_csv_path(csv, family_tag(*view));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      status = fail(path + ": cannot be created (Windows error " + std::to_string(GetLastError()) + ")");
      continue;
    }
    CsvWriter writer;
    csv_begin(&writer, file);
    for (size_t c = 0; c < view->count; ++c) csv_cell(&writer, view->columns[c].title);
    csv_end_line(&writer);
    for (const auto& cells : rows) {
      for (const std::string& cell : cells) csv_cell(&writer, cell.c_str());
      csv_end_line(&writer);
    }
    DWORD error = csv_finish(&writer);
    CloseHandle(file);
    if (error) status = fail(path + ": could not be written whole (Windows error " + std::to_string(error) + ")");
    else std::printf("  %s: %zu row%s written to %s\n", view->name, rows.size(), rows.size() == 1 ? "" : "s", path.c_str());
  }
  if (total == 0) status = fail(server + ": nothing reported" + (last_message.empty() ? "" : " (" + last_message + ")"));
  return status;
}

}  // namespace console
