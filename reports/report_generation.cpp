// Report generation: choosing the log files of a report and running quick
// reports, custom reports and hand-picked files through the log reader.
#include "reports/report_generation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "config/registry.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_items.h"
#include "resources/resource.h"

QuickReportRun g_quick_run;

namespace {

constexpr char kQuickCaption[] = "Unable to generate Quick Report";
constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kScheduledMaximum = 2048000;
constexpr uint32_t kNoMaximum = 0xFFFFFFFF;

HWND g_custom_progress;  // the open PWLOG window
bool g_unattended_choice;  // the file list of an unattended run: its texts go to the host's log file

// A text of the file list: a box, or a line of the host's log file during an unattended run.
void quick_message(const char* text, const char* caption, UINT flags) {
  if (g_unattended_choice) show_unattended_message(nullptr, text, caption, flags);
  else show_message(nullptr, text, caption, flags);
}

uint32_t clamp_add(uint32_t a, uint32_t b) { return a > 0xFFFFFFFFu - b ? 0xFFFFFFFFu : a + b; }
uint32_t clamp_sub(uint32_t a, uint64_t b) { return a < b ? 0 : static_cast<uint32_t>(a - b); }

// ReportPath of the server's product key; FALSE when it cannot be read.
BOOL read_report_path(const char* server, char* out, size_t size, const char* error_title) {
  copy_text(out, size, "");
  HKEY machine = nullptr;
  if (ConnectServerRegistry(server, &machine, error_title, 0) != 0 || machine == nullptr) return FALSE;
  return ReadReportPath(machine, remote_access(KEY_READ), out, size) == 0;
}

const char* found_name(const WIN32_FIND_DATAA& found) {
  return found.cFileName[0] ? found.cFileName : found.cAlternateFileName;
}

bool form_path(char* out, size_t size, const char* folder, const char* name) {
  int n = std::snprintf(out, size, "%s%s", folder, name);
  return n > 0 && static_cast<size_t>(n) < size;
}

void set_text_item(HWND window, int item, const char* format, uint64_t number) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(number));
  if (auto format_number = host_service<void(WINAPI*)(char*)>(kHostFormatNumber)) format_number(digits);
  char text[96];
  std::snprintf(text, sizeof text, format, digits);
  SetDlgItemTextA(window, item, text);
}

void pump_host_messages() {
  if (auto pump = host_service<HostPumpMessagesFn>(kHostPumpMessages)) pump();
}

// ---- Quick report: the run -------------------------------------------------

// The selected server of a list: its text, FALSE when no row is selected.
BOOL selected_server(HWND list, char* name, size_t size, BYTE** record) {
  *record = nullptr;
  if (!IsWindow(list)) return FALSE;
  int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0) return FALSE;
  LPARAM param;
  if (!read_list_row(list, row, name, static_cast<int>(size), &param)) return FALSE;
  *record = reinterpret_cast<BYTE*>(param);
  return name[0] != '\0';
}

bool is_list_view(HWND window) {
  char name[32] = {};
  return window && GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, "SysListView32") == 0;
}

// A progress bar inside the screen's progress bar control, by its window text; null when there is none.
HWND find_progress_bar(HWND screen, const char* name) {
  int item = find_control_item(screen, kModuleNumber, kQuickProgressControl);
  HWND holder = item ? GetDlgItem(screen, item) : nullptr;
  return holder ? FindWindowExA(holder, nullptr, PROGRESS_CLASSA, name) : nullptr;
}

void show_bars(int command) {
  for (HWND bar : g_quick_run.bars)
    if (bar) ShowWindow(bar, command);
}

void set_file_bar(uint64_t size) {
  HWND bar = g_quick_run.bars[kQuickFileBar];
  if (size < kProgressDirectRangeLimit) {
    g_report_run.progress_scale = 0;
    if (bar) SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(size));
  } else {
    g_report_run.progress_scale = size;
    if (bar) SendMessageA(bar, PBM_SETRANGE32, 0, kProgressScaledRange);
  }
  if (bar) {
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
  }
}

}  // namespace

// ---- Quick report: settings and file list ------------------------------------

void read_quick_report_settings(uint32_t now, uint32_t* start, uint32_t* end, uint32_t* maximum) {
  *start = clamp_sub(now, kSecondsPerDay);
  *end = clamp_add(now, kSecondsPerDay);
  *maximum = kNoMaximum;
  QuickReportSettings remembered;
  if (ReadQuickReportSettings(&remembered) != 0) return;
  // A number the dialog left empty takes its field's default.
  auto or_default = [](DWORD value, DWORD fallback) { return value ? value : fallback; };
  if (remembered.all_dates) {
    *start = 0;
    *end = 0xFFFFFFFF;
  } else if (remembered.by_last_hours) {
    *start = clamp_sub(now, uint64_t{or_default(remembered.last_hours, 24)} * 3600);
  } else if (remembered.by_last_days) {
    *start = clamp_sub(now, uint64_t{or_default(remembered.last_days, 1)} * kSecondsPerDay);
  } else if (remembered.by_from_to_date) {
    *start = or_default(remembered.from_date, *start);
    *end = or_default(remembered.to_date, *end);
  }
  if (remembered.stop_at_records) *maximum = or_default(remembered.stop_records, kNoMaximum);
}

namespace {

// The quick report's fields on its screen, whose values are remembered when a run starts (the dialog is
// saved). Chosen from their kinds: a number field beside the radio button of its window (days 0x60480D0D
// with 0x60410D0E, records 0x60480D0F with 0x60410D10, hours 0x60480D11 with 0x60410D12), the from and to
// date fields 0x60480D13 and 0x60480D14 (a from date that is not "none" is the from-to window), the record
// families' check boxes 0x60410D15 to 0x60410D18 (logon, file system, directory, GPO), the row maximum
// 0x60480D19 with its check box 0x60480D1A, the search text 0x60480D1B with its check box 0x60480D1C, and the
// all-dates option button 0x60410D0A.
struct QuickReportField {
  uint32_t id;
  DWORD QuickReportSettings::*field;
};
constexpr QuickReportField kQuickNumberFields[] = {
    {0x60480D0D, &QuickReportSettings::last_days},
    {0x60480D0F, &QuickReportSettings::last_records},
    {0x60480D11, &QuickReportSettings::last_hours},
    {0x60480D19, &QuickReportSettings::stop_records},
};
constexpr QuickReportField kQuickStateFields[] = {
    {0x60410D0A, &QuickReportSettings::all_dates},       {0x60410D0E, &QuickReportSettings::by_last_days},
    {0x60410D10, &QuickReportSettings::by_last_records}, {0x60410D12, &QuickReportSettings::by_last_hours},
    {0x60410D15, &QuickReportSettings::type_ll},         {0x60410D16, &QuickReportSettings::type_fs},
    {0x60410D17, &QuickReportSettings::type_ad},         {0x60410D18, &QuickReportSettings::type_gp},
    {0x60480D1A, &QuickReportSettings::stop_at_records}, {0x60480D1C, &QuickReportSettings::search_on},
};
constexpr QuickReportField kQuickDateFields[] = {
    {0x60480D13, &QuickReportSettings::from_date},
    {0x60480D14, &QuickReportSettings::to_date},
};
constexpr uint32_t kQuickSearchField = 0x60480D1B;

// A date field's date and time, local, as seconds since 1970; FALSE for a field without one ("none") or a
// control that is no date field.
BOOL read_date_field(HWND screen, uint32_t id, uint32_t* seconds) {
  int item = find_control_item(screen, kModuleNumber, id);
  HWND field = item ? GetDlgItem(screen, item) : nullptr;
  char class_name[32] = {};
  if (field == nullptr || !GetClassNameA(field, class_name, sizeof class_name) ||
      !equal_ignoring_case(class_name, DATETIMEPICK_CLASSA))
    return FALSE;
  SYSTEMTIME picked = {};
  if (SendMessageA(field, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) != GDT_VALID) return FALSE;
  std::tm local = {};
  local.tm_year = picked.wYear - 1900;
  local.tm_mon = picked.wMonth - 1;
  local.tm_mday = picked.wDay;
  local.tm_hour = picked.wHour;
  local.tm_min = picked.wMinute;
  local.tm_sec = picked.wSecond;
  local.tm_isdst = -1;
  std::time_t t = std::mktime(&local);
  if (t <= 0 || static_cast<uint64_t>(t) > 0xFFFFFFFFull) return FALSE;
  *seconds = static_cast<uint32_t>(t);
  return TRUE;
}

}  // namespace

DWORD SaveQuickReportScreen(HWND screen) {
  QuickReportSettings settings = {};
  bool any = false;
  for (const QuickReportField& f : kQuickNumberFields) {
    char text[32] = {};
    if (read_screen_field(screen, f.id, text, sizeof text) == 0) continue;
    any = true;
    settings.*f.field = static_cast<DWORD>(std::strtoul(text, nullptr, 10));  // not a number: empty
  }
  for (const QuickReportField& f : kQuickStateFields) {
    DWORD checked = 0;
    if (!read_screen_value(screen, f.id, &checked)) continue;
    any = true;
    settings.*f.field = checked != 0;
  }
  for (const QuickReportField& f : kQuickDateFields) {
    any = any || find_control_item(screen, kModuleNumber, f.id) != 0;
    uint32_t seconds = 0;
    if (read_date_field(screen, f.id, &seconds)) settings.*f.field = seconds;
  }
  settings.by_from_to_date = settings.from_date != 0;
  any = read_screen_field(screen, kQuickSearchField, settings.search, sizeof settings.search) != 0 || any;
  // A screen without the dialog's fields leaves what was remembered as it is.
  return any ? SaveQuickReportSettings(settings) : 0;
}

void scheduled_quick_report_window(uint32_t now, DWORD days, DWORD hours, uint32_t* start, uint32_t* end,
                                   uint32_t* maximum) {
  *start = days ? clamp_sub(now, uint64_t{days} * kSecondsPerDay) : clamp_sub(now, uint64_t{hours} * 3600);
  *end = clamp_add(now, kSecondsPerDay);
  *maximum = kScheduledMaximum;
}

void free_quick_report_files() {
  for (QuickReportFile* f = g_quick_run.files; f != nullptr;) {
    QuickReportFile* next = f->next;
    free_block(f->path);
    free_block(f);
    f = next;
  }
  g_quick_run.files = nullptr;
  g_quick_run.file_count = 0;
}

void release_quick_report() {
  if (g_quick_report.state != kQuickReportIdle) return;  // the worker still walks the list
  free_quick_report_files();
  if (g_quick_run.worker) CloseHandle(g_quick_run.worker);
  g_quick_run.worker = nullptr;
}

DWORD ChooseQuickReportFiles(const char* server, BOOL* failed) {
  *failed = FALSE;
  char share[kReportPathBytes];
  char folder[kLogFolderBytes];
  if (!read_report_path(server, share, sizeof share, kQuickCaption) ||
      !format_current_log_folder(folder, sizeof folder, server, share)) {
    quick_message("Unable to determine ReportPath, unable to generate Quick Report", server,
                 MB_OK | MB_ICONERROR);
    *failed = TRUE;
    return 0;
  }
  free_quick_report_files();
  copy_text(g_quick_report.server_name, sizeof g_quick_report.server_name, server);

  char pattern[kLogFolderBytes + 8];
  std::snprintf(pattern, sizeof pattern, "%s%s", folder, kLogFilePattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    char text[kLogFolderBytes + 96];
    if (error == ERROR_ACCESS_DENIED)
      std::snprintf(text, sizeof text, "Access Denied (insufficient permissions) to access path %s", folder);
    else
      std::snprintf(text, sizeof text, "Error %d occurred accessing %s", static_cast<int>(error), folder);
    quick_message(text, kQuickCaption, MB_OK | MB_ICONERROR);
    *failed = TRUE;
    return 0;
  }
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const char* name = found_name(found);
    LogFileName parsed;
    parse_log_file_name(name, &parsed);  // a name not of the agent's form reports its server as "<unknown>"
    uint32_t nominal = parsed.has_nominal_time ? parsed.nominal_time : 0;
    uint32_t written = local_file_time_seconds(found.ftLastWriteTime);
    bool included = (parsed.has_nominal_time && in_quick_report_window(nominal)) || in_quick_report_window(written);
    if (!included) continue;
    auto* entry = static_cast<QuickReportFile*>(allocate_block(GMEM_ZEROINIT, sizeof(QuickReportFile)));
    char* path = entry ? static_cast<char*>(allocate_block(GMEM_ZEROINIT, kReportFilePathBytes)) : nullptr;
    if (path == nullptr) {
      free_block(entry);
      FindClose(search);
      quick_message("ERROR ALLOCATING MEMORY Y75", kQuickCaption, MB_OK | MB_ICONERROR);
      *failed = TRUE;
      return 0;
    }
    if (!form_path(path, kReportFilePathBytes, folder, name)) {  // cannot be opened anyway
      free_block(path);
      free_block(entry);
      continue;
    }
    entry->path = path;
    entry->size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entry->nominal_time = nominal;
    entry->last_write_time = written;
    copy_text(entry->profile, sizeof entry->profile, parsed.prefix);
    copy_text(entry->server, sizeof entry->server, parsed.server);
    // Before the first entry with a smaller nominal time: equal times keep their order.
    QuickReportFile** at = &g_quick_run.files;
    while (*at != nullptr && (*at)->nominal_time >= nominal) at = &(*at)->next;
    entry->next = *at;
    *at = entry;
    g_quick_run.file_count++;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  // An unattended run names its own window when nothing was found.
  if (g_quick_run.file_count == 0 && !g_unattended_choice)
    quick_message("No Activity found in Log Files during the selected Date Range", "Nothing to report",
                 MB_OK | MB_ICONINFORMATION);
  return g_quick_run.file_count;
}

// ---- Quick report: UI thread and worker ----------------------------------------

namespace {

void set_status_line(const char* text) {
  if (g_quick_run.status) SetWindowTextA(g_quick_run.status, text);
}

void show_reading_status(DWORD number, const char* path) {
  const char* slash = std::strrchr(path, '\\');
  char text[kReportFilePathBytes + 64];
  std::snprintf(text, sizeof text, "Reading file %d of %d: %s", static_cast<int>(number),
                static_cast<int>(g_quick_run.file_count), slash ? slash + 1 : path);
  set_status_line(text);
}

// How the run ended: the stop or limit text, or the rows kept.
void show_final_status() {
  if (g_quick_report.state == kQuickReportStop && g_quick_report.status_text[0] != '\0') {
    set_status_line(g_quick_report.status_text);
    return;
  }
  char text[80];
  std::snprintf(text, sizeof text,
                g_quick_report.state == kQuickReportStop ? "Quick Report stopped: %d rows"
                                                         : "Quick Report complete: %d rows",
                static_cast<int>(g_quick_report.row_count));
  set_status_line(text);
}

// The host that started the run from the list learns its end: the parent of
// the logon list receives its own command, the logon list as sender.
void tell_host_run_ended(HWND logon_list) {
  HWND parent = logon_list ? GetParent(logon_list) : nullptr;
  if (parent == nullptr) return;
  int id = GetDlgCtrlID(parent);
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(logon_list));
}

}  // namespace

DWORD WINAPI quick_report_worker(LPVOID) {
  DWORD number = 0;
  for (QuickReportFile* f = g_quick_run.files; f != nullptr; f = f->next) {
    if (g_quick_report.state == kQuickReportStop) break;
    show_reading_status(++number, f->path);
    set_file_bar(f->size);
    copy_text(g_quick_report.server_name, sizeof g_quick_report.server_name, f->server);
    LogReadRequest request = {};
    request.path = f->path;
    request.progress = g_quick_run.bars[kQuickFileBar];
    read_activity_log(&request);
    if (HWND files_bar = g_quick_run.bars[kQuickFilesBar]) SendMessageA(files_bar, PBM_STEPIT, 0, 0);
  }
  show_final_status();
  if (g_quick_report.state == kQuickReportStop)
    show_message(nullptr, g_quick_report.status_text, "QUICK REPORT STATUS", MB_OK | MB_ICONINFORMATION);
  g_report_run.progress_scale = 0;
  // Taken before the state goes idle, so that a run started at once keeps its own flag and lists.
  BOOL notify = g_quick_run.notify_host;
  g_quick_run.notify_host = FALSE;
  HWND logon_list = g_quick_report.lists[kQuickListLogon];
  g_quick_report.state = kQuickReportIdle;
  if (g_quick_run.button) InvalidateRect(g_quick_run.button, nullptr, TRUE);
  show_bars(SW_HIDE);
  if (notify) tell_host_run_ended(logon_list);
  return 0;
}

namespace {

// The screen's four quick-report lists, emptied, their rows from the server. false when one is missing.
bool take_screen_lists(HWND screen, const char* server) {
  ++g_quick_report.run_number;
  bool all = true;
  for (int i = 0; i < kQuickListCount; ++i) {
    HWND list = GetDlgItem(screen, kQuickListControls[i]);
    g_quick_report.lists[i] = list;
    all = all && list != nullptr;
    if (list) SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    std::memset(g_quick_report.contexts[i], 0, kRowContextBytes);
    set_row_server_name(g_quick_report.contexts[i], server);
  }
  return all;
}

// The run on the screen's lists, or the offer to stop the running one; the
// button and the list event differ only in how they find the button and
// whether the host is told at the end.
DWORD start_quick_report(HWND screen, HWND button, HWND companion, BOOL notify_host) {
  uint32_t state = g_quick_report.state;
  if (state == kQuickReportStop) return 1;
  if (state == kQuickReportPreparing || state == kQuickReportRunning) {
    if (ask_confirmation(nullptr, "Click OK to Stop Quick Report", "Confirm Report Cancellation",
                         MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
      g_quick_report.state = kQuickReportStop;
    return 1;
  }
  char server[101] = {};
  BYTE* record = nullptr;
  HWND servers = is_list_view(companion) ? companion : g_library.main_server_list;
  if (!selected_server(servers, server, sizeof server, &record)) {
    show_message(nullptr, "To continue, please select a server.", kQuickCaption, MB_OK | MB_ICONINFORMATION);
    return 1;
  }
  char text[300];
  if (record != nullptr && record[kItemByteReachability] == kUnreachable) {
    std::snprintf(text, sizeof text,
                  "Server %s is currently offline, unable to generate Quick Report at this time.", server);
    show_message(nullptr, text, "Unable to create report", MB_OK | MB_ICONERROR);
    return 1;
  }
  HKEY machine = nullptr;
  if (ConnectServerRegistry(server, &machine, kQuickCaption, 0) != 0) {
    std::snprintf(text, sizeof text,
                  "Unable to connect to Server %s.  Perhaps your current logon credentials to that server lack "
                  "sufficient permissions to connect.",
                  server);
    show_message(nullptr, text, "Unable to create report", MB_OK | MB_ICONERROR);
    return 1;
  }

  SaveQuickReportScreen(screen);
  g_quick_report.state = kQuickReportPreparing;
  g_quick_report.row_count = 0;
  read_quick_report_settings(current_seconds(), &g_quick_report.window_start, &g_quick_report.window_end,
                             &g_quick_report.maximum_rows);
  g_report_run.stopped = 0;
  g_quick_report.status_text[0] = '\0';
  refresh_time_zone();
  BOOL failed = FALSE;
  if (ChooseQuickReportFiles(server, &failed) == 0) {
    g_quick_report.state = kQuickReportIdle;
    return 1;
  }

  // The previous worker has ended (the state was idle); release its handle.
  if (g_quick_run.worker) CloseHandle(g_quick_run.worker);
  g_quick_run.worker = nullptr;
  g_quick_run.screen = screen;
  g_quick_run.button = button;
  for (int i = 0; i < kQuickBarCount; ++i) g_quick_run.bars[i] = find_progress_bar(screen, kQuickBarNames[i]);
  g_quick_run.status = GetDlgItem(screen, kQuickStatusItem);
  take_screen_lists(screen, server);
  g_quick_report.state = kQuickReportRunning;
  show_bars(SW_SHOW);
  if (HWND files_bar = g_quick_run.bars[kQuickFilesBar]) {
    SendMessageA(files_bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(g_quick_run.file_count));
    SendMessageA(files_bar, PBM_SETSTEP, 1, 0);
    SendMessageA(files_bar, PBM_SETPOS, 0, 0);
  }
  if (g_quick_run.button) InvalidateRect(g_quick_run.button, nullptr, TRUE);
  g_quick_run.notify_host = notify_host;
  DWORD thread_id = 0;
  g_quick_run.worker = CreateThread(nullptr, 0, quick_report_worker, nullptr, 0, &thread_id);
  if (g_quick_run.worker == nullptr) {
    std::snprintf(text, sizeof text, "Error %d starting the Quick Report", static_cast<int>(GetLastError()));
    show_message(nullptr, text, kQuickCaption, MB_OK | MB_ICONERROR);
    g_quick_run.notify_host = FALSE;
    g_quick_report.state = kQuickReportIdle;
    show_bars(SW_HIDE);
    // The host asked to be told of the run's end; this run ends here.
    if (notify_host) tell_host_run_ended(g_quick_report.lists[kQuickListLogon]);
  }
  return 1;
}

}  // namespace

DWORD RunScheduledQuickReport(HWND screen, const char* server, DWORD days, DWORD hours, BOOL* failed) {
  *failed = TRUE;
  if (g_quick_report.state != kQuickReportIdle) {
    show_unattended_message(nullptr, "A Quick Report is running, unable to generate the scheduled report", server,
                            MB_OK | MB_ICONERROR);
    return 0;
  }
  if (!take_screen_lists(screen, server)) {
    show_unattended_message(nullptr, kQuickCaption, server, MB_OK | MB_ICONERROR);
    return 0;
  }
  SaveQuickReportScreen(screen);
  g_quick_report.state = kQuickReportPreparing;
  g_quick_report.row_count = 0;
  scheduled_quick_report_window(current_seconds(), days, hours, &g_quick_report.window_start,
                                &g_quick_report.window_end, &g_quick_report.maximum_rows);
  g_report_run.stopped = 0;
  g_quick_report.status_text[0] = '\0';
  refresh_time_zone();
  g_unattended_choice = true;
  DWORD files = ChooseQuickReportFiles(server, failed);
  g_unattended_choice = false;
  if (files == 0) {
    g_quick_report.state = kQuickReportIdle;
    return 0;
  }
  // No screen of progress: the reading runs here, to its end.
  g_quick_run.screen = screen;
  g_quick_run.button = nullptr;
  for (HWND& bar : g_quick_run.bars) bar = nullptr;
  g_quick_run.status = nullptr;
  g_quick_run.notify_host = FALSE;
  g_quick_report.state = kQuickReportRunning;
  quick_report_worker(nullptr);
  return g_quick_report.row_count;
}

DWORD QuickReportButton(HWND screen, uintptr_t* descriptor, HWND companion) {
  int button_item = descriptor ? static_cast<int>(descriptor_half(descriptor, kDescHalfDialogItem)) : 0;
  return start_quick_report(screen, button_item ? GetDlgItem(screen, button_item) : nullptr, companion, FALSE);
}

DWORD QuickReportListEvent(HWND list, const uintptr_t* descriptor) {
  HWND screen = GetParent(list);
  int button_item = find_button_item(screen, kModuleNumber, kQuickReportButton);
  return start_quick_report(screen, button_item ? GetDlgItem(screen, button_item) : nullptr,
                            companion_window(descriptor), TRUE);
}

// ---- Custom reports ------------------------------------------------------------

BOOL profile_pattern_matches(const char* pattern, const char* profile) {
  if (equal_ignoring_case(pattern, profile)) return TRUE;
  // The backtracking walk: a '*' first matches the empty run, then one more
  // character each time the rest fails.
  const char* p = pattern;
  const char* t = profile;
  const char* star = nullptr;
  const char* resume = nullptr;
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  while (*t) {
    if (*p == '*') {
      star = p++;
      resume = t;
    } else if (*p && (*p == '?' || lower(*p) == lower(*t))) {
      ++p;
      ++t;
    } else if (star) {
      p = star + 1;
      t = ++resume;
    } else {
      return FALSE;
    }
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

void free_custom_report_files(CustomReportFile* files) {
  while (files != nullptr) {
    CustomReportFile* next = files->next;
    free_block(files->path);
    free_block(files);
    files = next;
  }
}

DWORD ChooseCustomReportFiles(const char* server, const char* const* patterns, DWORD pattern_count,
                              CustomReportFile** out, BOOL* failed) {
  *out = nullptr;
  *failed = TRUE;
  bool any_pattern = false;
  for (DWORD i = 0; i < pattern_count; ++i) any_pattern = any_pattern || (patterns[i] && patterns[i][0]);
  if (!any_pattern) {
    show_message(nullptr, "No Profiles Defined - Unable to continue Custom Report.", nullptr, MB_OK | MB_ICONERROR);
    return 0;
  }
  char share[kReportPathBytes];
  char folder[kLogFolderBytes];
  if (!read_report_path(server, share, sizeof share, "UNABLE TO RUN CUSTOM REPORT") ||
      !format_current_log_folder(folder, sizeof folder, server, share)) {
    char missing[kLogFolderBytes];
    format_current_log_folder(missing, sizeof missing, server, "???");
    char text[kLogFolderBytes + 200];
    std::snprintf(text, sizeof text,
                  "Cannot find VNX Log Path [%s] on Selected Server [%s]\n\nUnable to continue Custom Report",
                  missing, server);
    show_message(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
    return 0;
  }
  *failed = FALSE;
  char pattern[kLogFolderBytes + 8];
  std::snprintf(pattern, sizeof pattern, "%s%s", folder, kLogFilePattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  DWORD count = 0;
  CustomReportFile** tail = out;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const char* name = found_name(found);
    LogFileName parsed;
    parse_log_file_name(name, &parsed);  // a name not of the agent's form reports its server as "<unknown>"
    bool kept = false;
    for (DWORD i = 0; i < pattern_count && !kept; ++i)
      kept = patterns[i] && patterns[i][0] && profile_pattern_matches(patterns[i], parsed.prefix);
    if (!kept) continue;
    auto* entry = static_cast<CustomReportFile*>(allocate_block(GMEM_ZEROINIT, sizeof(CustomReportFile)));
    char* path = entry ? static_cast<char*>(allocate_block(GMEM_ZEROINIT, kReportFilePathBytes)) : nullptr;
    if (path == nullptr) {
      free_block(entry);
      show_message(nullptr, "Out of memory CCR3", nullptr, MB_OK | MB_ICONERROR);
      break;
    }
    if (!form_path(path, kReportFilePathBytes, folder, name)) {
      free_block(path);
      free_block(entry);
      continue;
    }
    entry->path = path;
    copy_text(entry->server, sizeof entry->server, parsed.server);
    entry->nominal_time = parsed.has_nominal_time ? parsed.nominal_time : 0;
    entry->size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    *tail = entry;
    tail = &entry->next;
    ++count;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

uint32_t custom_report_maximum(uint64_t total_size, BOOL output_to_file) {
  if (output_to_file || total_size <= kLargeCustomReportBytes) return 0;
  show_message(nullptr,
               "WARNING, results will be limited to first 120,000 records due to native abilities of Windows's "
               "ListView.\n\nTo received full results, please use OTF option.",
               "RESULTS MAY BE LIMITED", MB_OK | MB_ICONWARNING);
  return kListViewRecordMaximum;
}

namespace {

INT_PTR CALLBACK progress_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDC_PWLOG_STOP || LOWORD(wparam) == IDCANCEL)) {
    g_library.search_cancel = kSearchCancelStop;
    SetDlgItemTextA(window, IDC_PWLOG_STOP, "Stopping...");
    return TRUE;
  }
  return FALSE;
}

bool report_run_ended() {
  return g_library.search_cancel == kSearchCancelStop ||
         (g_report_run.maximum_records != 0 && g_report_run.record_count > g_report_run.maximum_records);
}

// Reads one file in report mode: the row template with the reporting server, when one is given, put in.
void read_report_file(HWND target, uintptr_t parent, const char* path, const char* server, const BYTE* context,
                      const uintptr_t* pass_through) {
  BYTE row_context[kRowContextBytes] = {};
  if (context) std::memcpy(row_context, context, kRowContextBytes);
  if (server) set_row_server_name(row_context, server);
  LogReadRequest request = {};
  request.target = target;
  request.parent = parent;
  request.path = path;
  request.context_template = row_context;
  if (pass_through) {
    request.pass_through[0] = pass_through[0];
    request.pass_through[1] = pass_through[1];
  }
  read_activity_log(&request);
}

}  // namespace

HWND custom_report_progress_window() { return g_custom_progress; }

DWORD GenerateCustomReport(const CustomReportRequest* r) {
  CustomReportFile* files = nullptr;
  BOOL failed = FALSE;
  DWORD count = ChooseCustomReportFiles(r->server, r->patterns, r->pattern_count, &files, &failed);
  if (failed) return 0;
  uint64_t total = 0;
  for (CustomReportFile* f = files; f; f = f->next) total += f->size;
  g_report_run.record_count = 0;
  g_report_run.stopped = 0;
  g_report_run.progress_scale = 0;
  g_report_run.maximum_records = custom_report_maximum(total, r->output_to_file);

  g_library.search_cancel = 0;
  g_custom_progress = count ? CreateDialogParamA(g_library.instance, "PWLOG", r->owner, progress_window_proc, 0)
                            : nullptr;
  if (g_custom_progress) set_text_item(g_custom_progress, IDC_PWLOG_OVERALL, "Overall Size: %s bytes", total);
  DWORD read = 0;
  uint64_t done = 0;
  for (CustomReportFile* f = files; f != nullptr && !report_run_ended(); f = f->next) {
    if (g_custom_progress) {
      const char* slash = std::strrchr(f->path, '\\');
      SetDlgItemTextA(g_custom_progress, IDC_PWLOG_FILE, slash ? slash + 1 : f->path);
      set_text_item(g_custom_progress, IDC_PWLOG_FILE_SIZE, "File size: %s bytes", f->size);
      set_text_item(g_custom_progress, IDC_PWLOG_REMAINING, "Bytes Remaining: %s", total - done);
    }
    read_report_file(r->target, r->parent, f->path, f->server, r->context_template, r->pass_through);
    done += f->size;
    ++read;
    pump_host_messages();
  }
  if (g_custom_progress) DestroyWindow(g_custom_progress);
  g_custom_progress = nullptr;
  free_custom_report_files(files);
  if (read == 0)
    show_message(nullptr, "Custom Report Complete - no matching log files found", "VORNIX Custom Report",
                 MB_OK | MB_ICONINFORMATION);
  return read;
}

// ---- Hand-picked files -----------------------------------------------------------

DWORD ReadPickedLogFiles(HWND target, uintptr_t parent, const char* const* paths, DWORD count,
                         const BYTE* context_template) {
  if (count == 0) {
    show_message(nullptr, "To continue, please select at least one Log File.", "View Log File Data",
                 MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  g_report_run.record_count = 0;
  g_report_run.stopped = 0;
  g_report_run.progress_scale = 0;
  DWORD read = 0;
  for (DWORD i = 0; i < count && !report_run_ended(); ++i) {
    read_report_file(target, parent, paths[i], nullptr, context_template, nullptr);
    ++read;
  }
  return read;
}

DWORD ViewLogFileData(HWND files_list, const uintptr_t* descriptor, const BYTE* event_record) {
  constexpr DWORD kMostFiles = 4096;
  static const char* paths[kMostFiles];  // UI thread only
  DWORD count = 0;
  for (int row = -1; count < kMostFiles;) {
    row = static_cast<int>(SendMessageA(files_list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
    if (row < 0) break;
    auto* context = reinterpret_cast<const BYTE*>(list_row_param(files_list, row));
    if (context == nullptr) continue;
    const char* path = log_row_path(context);
    if (path != nullptr && path[0] != '\0') paths[count++] = path;
  }
  HWND target = companion_window(descriptor);
  if (count > 0 && target == nullptr) {
    show_message(nullptr, "No report list to show the Log File Data in.", "View Log File Data", MB_OK | MB_ICONERROR);
    return 1;
  }
  g_library.search_cancel = 0;
  g_report_run.maximum_records = 0;
  ReadPickedLogFiles(target, 0, paths, count, event_record);
  return 1;
}
