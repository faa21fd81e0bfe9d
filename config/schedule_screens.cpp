// The report screens' schedule and saved-report controls: the day and time
// lists of a schedule's run times, the run-time rows built from them, the list
// of saved custom reports, and the designer started on a new or a saved report.
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/profile_lists.h"
#include "config/schedules.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr uint32_t kDayList = 0x60440020;
constexpr uint32_t kTimeList = 0x60440022;
constexpr uint32_t kAddRunTime = 0x60410021;
constexpr uint32_t kRemoveRunTimes = 0x60410023;
constexpr uint32_t kNewReport = 0x60410012;
constexpr uint32_t kEditReport = 0x60410018;
constexpr uint32_t kSaveSchedule = 0x60410015;
// Chosen: the two buttons beside the saved custom reports run the selected report now and delete it.
constexpr uint32_t kRunReport = 0x60410027;
constexpr uint32_t kDeleteReport = 0x60410028;
// The schedule screen: its name, the name of the schedule it was opened on (empty for a new one), its
// disable check box, its run-time rows and the saved custom reports whose selected rows the schedule runs.
constexpr uint32_t kScheduleNameField = 0x6048032C;
constexpr uint32_t kEditedScheduleField = 0x60480332;
constexpr uint32_t kDisableScheduleBox = 0x60410016;  // chosen: the screen's check box beside its Save button
constexpr uint32_t kRunTimeList = 0x60440024;           // chosen: the list the add and remove buttons fill
constexpr uint32_t kSavedReportList = 0x60440010;
constexpr DWORD kScheduleFieldBytes = 4001;  // 4000 characters and the terminator
constexpr uint32_t kChoiceRowMark = 0x43484F49;  // "IOHC": a row of the day or time list
constexpr int kMinutesApart = 15;                 // the time list's step
constexpr int kIconChoice = 20;

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void write_u32(BYTE* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void add_choice(HWND list, const char* text, uint32_t value, const BYTE* event_record) {
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  write_u32(record + kRowDataOffset, kChoiceRowMark);
  write_u32(record + kRowDataOffset + 4, value);
  insert_list_row(list, text, kIconChoice, record);
}

// The day list: every day, each weekday, each day of the month; a row keeps its day code.
void list_days(HWND list, const BYTE* event_record) {
  add_choice(list, "Everyday", kEveryDay, event_record);
  for (uint32_t d = 0; d < 7; ++d) add_choice(list, kDayNames[d], kEverySunday + d, event_record);
  for (uint32_t day = 1; day <= 31; ++day) {
    char text[40];
    DayText(day, text, sizeof text);
    if (char* of = std::strstr(text, " of the current month")) *of = '\0';
    add_choice(list, text, day, event_record);
  }
}

// The time list: "%02d:%02d" every 15 minutes; a row keeps hour << 8 | minute.
void list_times(HWND list, const BYTE* event_record) {
  for (int minutes = 0; minutes < 24 * 60; minutes += kMinutesApart) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60, minutes % 60);
    add_choice(list, text, static_cast<uint32_t>((minutes / 60) << 8 | minutes % 60), event_record);
  }
}

// The value kept by the selected row of the screen's list with this identifier; false when none is selected.
bool chosen_value(HWND screen, uint32_t id, uint32_t* value) {
  int item = find_control_item(screen, kModuleNumber, id);
  HWND list = item ? GetDlgItem(screen, item) : nullptr;
  int row = list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  const BYTE* record = nullptr;
  if (row < 0 || !read_list_row(list, row, nullptr, 0, &record) || record == nullptr ||
      read_u32(record + kRowDataOffset) != kChoiceRowMark)
    return false;
  *value = read_u32(record + kRowDataOffset + 4);
  return true;
}

// Adds the chosen day and time as a run-time row of the list, once; without both chosen nothing is added.
DWORD add_run_time(HWND screen, HWND list) {
  uint32_t day = 0, time = 0;
  if (list == nullptr || !chosen_value(screen, kDayList, &day) || !chosen_value(screen, kTimeList, &time)) return 0;
  uint32_t word = run_time_word(day, time >> 8, time & 0xFF);
  const BYTE* record = nullptr;
  for (int row = 0; read_list_row(list, row, nullptr, 0, &record); ++row) {
    uint32_t listed = 0;
    if (run_time_row(record, &listed) && listed == word) return 1;
  }
  AddRunTimeRow(list, word);
  return 1;
}

DWORD remove_run_times(HWND list) {
  if (list == nullptr) return 0;
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row)
    if (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED)
      SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return 1;
}

// The selected saved report of the list; -1 when none is (the buttons then do nothing).
int selected_report(HWND list, ScheduleRow* report) {
  int row = list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  const BYTE* record = nullptr;
  if (row < 0 || !read_list_row(list, row, nullptr, 0, &record) || !schedule_row(record, report, nullptr)) return -1;
  return row;
}

// The designer on the selected saved report of the list (on the server its row names).
DWORD edit_selected_report(HWND screen, HWND list) {
  ScheduleRow report;
  if (selected_report(list, &report) < 0) return 0;
  EditCustomReport(screen, report.server, report.name, nullptr);
  return 1;
}

DWORD run_selected_report(HWND screen, HWND list) {
  ScheduleRow report;
  if (selected_report(list, &report) < 0) return 0;
  return RunCustomReport(screen, report.server, report.name, nullptr) == 0 ? 1 : 0;
}

// The report goes at once, and out of every schedule that ran it.
DWORD delete_selected_report(HWND list) {
  ScheduleRow report;
  int row = selected_report(list, &report);
  if (row < 0 || !DeleteReport(report.name, report.server)) return 0;
  SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return 1;
}

HWND screen_list(HWND screen, uint32_t id) {
  int item = find_control_item(screen, kModuleNumber, id);
  return item ? GetDlgItem(screen, item) : nullptr;
}

// Saves the schedule the screen shows on the current server: every run-time row, the selected saved reports.
DWORD save_schedule_screen(HWND screen) {
  char name[kScheduleFieldBytes], previous[kScheduleFieldBytes];
  read_screen_field(screen, kScheduleNameField, name, sizeof name);
  read_screen_field(screen, kEditedScheduleField, previous, sizeof previous);
  DWORD disabled = 0;
  read_screen_value(screen, kDisableScheduleBox, &disabled);

  std::vector<uint32_t> run_times;
  const BYTE* record = nullptr;
  HWND times = screen_list(screen, kRunTimeList);
  for (int row = 0; times != nullptr && read_list_row(times, row, nullptr, 0, &record); ++row) {
    uint32_t word = 0;
    if (run_time_row(record, &word)) run_times.push_back(word);
  }
  std::vector<ScheduleRow> chosen;
  HWND reports = screen_list(screen, kSavedReportList);
  for (int row = -1; reports != nullptr;) {
    row = static_cast<int>(SendMessageA(reports, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
    if (row < 0) break;
    ScheduleRow report;
    if (read_list_row(reports, row, nullptr, 0, &record) && schedule_row(record, &report, nullptr))
      chosen.push_back(report);
  }
  std::vector<const char*> report_names;
  for (const ScheduleRow& report : chosen) report_names.push_back(report.name);

  ScheduleForm form = {};
  form.name = name;
  form.previous = previous;
  form.disabled = disabled ? 1 : 0;
  form.run_times = run_times.data();
  form.run_time_count = run_times.size();
  form.reports = report_names.data();
  form.report_count = report_names.size();
  return SaveSchedule(screen, current_server().name, form);
}

}  // namespace

DWORD ScheduleScreenButton(HWND screen, uint32_t id, HWND companion) {
  switch (id) {
    case kAddRunTime: return add_run_time(screen, companion);
    case kRemoveRunTimes: return remove_run_times(companion);
    case kNewReport: NewCustomReport(screen, nullptr); return 1;
    case kEditReport: return edit_selected_report(screen, companion);
    case kSaveSchedule: return save_schedule_screen(screen);
    case kRunReport: return run_selected_report(screen, companion);
    case kDeleteReport: return delete_selected_report(companion);
    default: return kResultNotHandled;
  }
}

DWORD ScheduleScreenList(HWND control, uint32_t id, const BYTE* event_record) {
  if (id == kDayList) list_days(control, event_record);
  else if (id == kTimeList) list_times(control, event_record);
  else ListSchedules(current_server().name, control, ReportListKind::kSavedReports);
  return 1;
}
