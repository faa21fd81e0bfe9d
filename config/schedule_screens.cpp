// The report screens' schedule and saved-report controls: the schedule screens
// of scheduled activity profiles and of scheduled graphical activities (their
// schedule list, run times chosen from the day and time lists, the reports and
// addresses a schedule has, Save), the lists of saved custom reports and saved
// graphical report definitions with their run, designer and delete buttons, and
// the graph screen's chart tree saved as a graphical report definition.
//
// Identifiers the families leave open, chosen here:
//   0x60440014  list    scheduled activity profiles of the current server; filled when empty, else the
//                       selected one is opened on the screen
//   0x6044092E  list    scheduled graphical activities, the same (the list of the rename button 0x6041092E)
//   0x6044092A  list    saved graphical report definitions of the current server
//   0x60440D21  list    saved custom reports, as 0x60440010 (the list whose menu imports and exports them)
//   0x60440024  list    a schedule's run times
//   0x60440026  list    the reports (or graphical report definitions) a schedule runs
//   0x60440027  list    the addresses a scheduled graphical activity mails
//   0x60410016  check   the schedule is disabled
//   0x60410929  check   the graphical schedule also uses the e-mail addresses of the server configuration
//   0x6041092A  check   the graphical schedule's report period counts hours (unchecked: days)
//   0x60480928  edit    the graphical schedule's name; 0x60480929 the one the screen was opened on
//   0x6048092C  edit    the graphical schedule's report period, a number of days or hours
//   0x60480924  edit    the address the add button puts into the schedule's address list
//   0x60480921  edit    the name a chart tree is saved under
//   0x60410021  button  adds to its companion list: the chosen day and time to the run times, the selected
//                       saved reports (or definitions) to the schedule's reports, the typed address to its
//                       addresses; 0x60410023 removes the companion's selected rows
//   0x60410027  button  runs the companion's selected saved custom report; 0x60410028 deletes its selected
//                       saved report, definition or schedule, at once (the schedules lose a deleted report)
//   0x6041092D  button  Save of the graphical schedule screen (0x60410015 that of the activity profile's)
//   0x6031010B  button  runs, as the saved custom report of that name on the current server, the report
//                       definition selected in its companion list (the definitions list 0x6034010F)
//   0x60410924  button  saves the companion chart tree as a graphical report definition named in 0x60480921;
//                       0x60410925 saves it as the server's default graphical report definition
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/multi_string.h"
#include "config/profile_lists.h"
#include "config/schedules.h"
#include "config/server_settings.h"
#include "graphs/charts.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_definitions.h"

namespace {

constexpr uint32_t kDayList = 0x60440020;
constexpr uint32_t kTimeList = 0x60440022;
constexpr uint32_t kAddToList = 0x60410021;
constexpr uint32_t kRemoveFromList = 0x60410023;
constexpr uint32_t kNewReport = 0x60410012;
constexpr uint32_t kEditReport = 0x60410018;
constexpr uint32_t kSaveSchedule = 0x60410015;
constexpr uint32_t kRunReport = 0x60410027;
constexpr uint32_t kDeleteSelected = 0x60410028;
constexpr uint32_t kSaveGraphicalSchedule = 0x6041092D;
constexpr uint32_t kSaveChartDefinition = 0x60410924;
constexpr uint32_t kSaveDefaultDefinition = 0x60410925;
constexpr uint32_t kRunDefinition = 0x6031010B;

constexpr uint32_t kScheduleList = 0x60440014;
constexpr uint32_t kGraphicalScheduleList = 0x6044092E;
constexpr uint32_t kSavedReportList = 0x60440010;
constexpr uint32_t kCustomReportList = 0x60440D21;
constexpr uint32_t kSavedGraphList = 0x6044092A;
constexpr uint32_t kRunTimeList = 0x60440024;
constexpr uint32_t kScheduleReportList = 0x60440026;
constexpr uint32_t kScheduleEmailList = 0x60440027;

constexpr uint32_t kScheduleNameField = 0x6048032C;
constexpr uint32_t kEditedScheduleField = 0x60480332;
constexpr uint32_t kGraphicalNameField = 0x60480928;
constexpr uint32_t kEditedGraphicalField = 0x60480929;
constexpr uint32_t kPeriodField = 0x6048092C;
constexpr uint32_t kEmailField = 0x60480924;
constexpr uint32_t kDefinitionNameField = 0x60480921;
constexpr uint32_t kDisableScheduleBox = 0x60410016;
constexpr uint32_t kCentralEmailBox = 0x60410929;
constexpr uint32_t kPeriodInHoursBox = 0x6041092A;

constexpr DWORD kScheduleFieldBytes = 4001;  // 4000 characters and the terminator
constexpr uint32_t kChoiceRowMark = 0x43484F49;  // "IOHC": a row of the day or time list
constexpr int kMinutesApart = 15;                 // the time list's step
constexpr int kIconChoice = 20;
constexpr int kIconReportName = 19;
constexpr int kIconEmail = 10;
constexpr size_t kMostCharts = 64;  // "group,selection,kind" entries of one definition

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void write_u32(BYTE* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

HWND screen_control(HWND screen, uint32_t id) {
  int item = find_control_item(screen, kModuleNumber, id);
  return item ? GetDlgItem(screen, item) : nullptr;
}

uint32_t list_identifier(HWND list) {
  const uintptr_t* d = list ? control_descriptor_of(list) : nullptr;
  return d ? descriptor_identifier(d) : 0;
}

int row_count(HWND list) { return list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0; }

int selected_row(HWND list) {
  return list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

// ---- Day, time and run-time lists ------------------------------------------------------

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
  HWND list = screen_control(screen, id);
  const BYTE* record = nullptr;
  int row = selected_row(list);
  if (row < 0 || !read_list_row(list, row, nullptr, 0, &record) || record == nullptr ||
      read_u32(record + kRowDataOffset) != kChoiceRowMark)
    return false;
  *value = read_u32(record + kRowDataOffset + 4);
  return true;
}

// Adds the chosen day and time as a run-time row of the list, once; without both chosen nothing is added.
DWORD add_run_time(HWND screen, HWND list) {
  uint32_t day = 0, time = 0;
  if (!chosen_value(screen, kDayList, &day) || !chosen_value(screen, kTimeList, &time)) return 0;
  uint32_t word = run_time_word(day, time >> 8, time & 0xFF);
  const BYTE* record = nullptr;
  for (int row = 0; read_list_row(list, row, nullptr, 0, &record); ++row) {
    uint32_t listed = 0;
    if (run_time_row(record, &listed) && listed == word) return 1;
  }
  AddRunTimeRow(list, word);
  return 1;
}

// ---- A schedule's reports and addresses --------------------------------------------------

bool row_listed(HWND list, const char* text) {
  char shown[kHostRowTextBytes];
  const BYTE* record = nullptr;
  for (int row = 0; read_list_row(list, row, shown, sizeof shown, &record); ++row)
    if (equal_ignoring_case(shown, text)) return true;
  return false;
}

// A name row of a schedule's list, unless one of that name is there.
void add_name_row(HWND list, const char* name, int icon) {
  if (name[0] == '\0' || row_listed(list, name)) return;
  BYTE record[kListItemBytes];
  start_row_record(record, list, nullptr);
  insert_list_row(list, name, icon, record);
}

// The saved list the schedule's reports come from: the graphical definitions on a graphical schedule's screen.
HWND saved_list_of(HWND screen) {
  if (HWND graphs = screen_control(screen, kSavedGraphList)) return graphs;
  return screen_control(screen, kSavedReportList);
}

DWORD add_selected_reports(HWND screen, HWND list) {
  HWND saved = saved_list_of(screen);
  char name[kHostRowTextBytes];
  const BYTE* record = nullptr;
  for (int row = selected_row(saved); row >= 0;
       row = static_cast<int>(SendMessageA(saved, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
    if (read_list_row(saved, row, name, sizeof name, &record)) add_name_row(list, name, kIconReportName);
  return 1;
}

// The typed address joins the list after the checks every alert address passes; the field is then emptied.
DWORD add_typed_email(HWND screen, HWND list) {
  char address[kEmailChars + 2] = {};
  read_screen_field(screen, kEmailField, address, sizeof address);
  if (!CheckEmailAddress(screen, address)) return 0;
  add_name_row(list, address, kIconEmail);
  if (HWND field = screen_control(screen, kEmailField)) SetWindowTextA(field, "");
  return 1;
}

DWORD add_to_list(HWND screen, HWND list) {
  switch (list_identifier(list)) {
    case kScheduleReportList: return add_selected_reports(screen, list);
    case kScheduleEmailList: return add_typed_email(screen, list);
    default: return list ? add_run_time(screen, list) : 0;
  }
}

DWORD remove_selected_rows(HWND list) {
  if (list == nullptr) return 0;
  for (int row = row_count(list) - 1; row >= 0; --row)
    if (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED)
      SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return 1;
}

// ---- Saved reports, definitions and schedules ------------------------------------------

// The selected row of a list of saved reports or schedules; -1 when none is (the buttons then do nothing).
int selected_report(HWND list, ScheduleRow* report) {
  int row = selected_row(list);
  const BYTE* record = nullptr;
  if (row < 0 || !read_list_row(list, row, nullptr, 0, &record) || !schedule_row(record, report, nullptr)) return -1;
  return row;
}

bool is_graphical(const ScheduleRow& row) {
  return row.kind == ReportListKind::kGraphicalSchedules || row.kind == ReportListKind::kSavedGraphs;
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
  if (selected_report(list, &report) < 0 || report.kind != ReportListKind::kSavedReports) return 0;
  return RunCustomReport(screen, report.server, report.name, nullptr) == 0 ? 1 : 0;
}

// The definition's name names the saved custom report run on the current server.
DWORD run_selected_definition(HWND screen, HWND list) {
  int row = selected_row(list);
  const auto* record = reinterpret_cast<const BYTE*>(row >= 0 ? list_row_param(list, row) : 0);
  const char* name = record ? definition_row_name(record) : nullptr;
  if (name == nullptr) return 0;
  return RunCustomReport(screen, current_server().name, name, nullptr) == 0 ? 1 : 0;
}

// The row goes at once, and out of every schedule that ran it.
DWORD delete_selected(HWND list) {
  ScheduleRow report;
  int row = selected_report(list, &report);
  if (row < 0) return 0;
  DWORD deleted = is_graphical(report) ? DeleteGraphicalReport(report.name, report.server)
                                       : DeleteReport(report.name, report.server);
  if (!deleted) return 0;
  SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return 1;
}

// ---- Opening a schedule on its screen -------------------------------------------------------

void show_text(HWND screen, uint32_t id, const char* text) {
  if (HWND field = screen_control(screen, id)) SetWindowTextA(field, text);
}

void show_check(HWND screen, uint32_t id, bool checked) {
  if (HWND box = screen_control(screen, id)) SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A detail list of the screen emptied and filled with that part of the schedule.
void show_details(HWND screen, uint32_t id, const ScheduleRow& schedule, DWORD part, bool graphical) {
  HWND list = screen_control(screen, id);
  if (list == nullptr) return;
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  ListScheduleDetails(schedule.server, schedule.name, part, list, graphical);
}

// The selected schedule shown on its screen, to be edited and saved again (under its name or a new one).
DWORD open_schedule(HWND screen, const ScheduleRow& schedule) {
  const bool graphical = schedule.kind == ReportListKind::kGraphicalSchedules;
  DWORD disabled = 0;
  GetScheduleValue(schedule.server, schedule.name, "DisableFlag", &disabled, graphical);
  show_text(screen, graphical ? kGraphicalNameField : kScheduleNameField, schedule.name);
  show_text(screen, graphical ? kEditedGraphicalField : kEditedScheduleField, schedule.name);
  show_check(screen, kDisableScheduleBox, disabled != 0);
  show_details(screen, kRunTimeList, schedule, kScheduleRunTimes, graphical);
  show_details(screen, kScheduleReportList, schedule, kScheduleReports, graphical);
  if (!graphical) return 1;
  show_details(screen, kScheduleEmailList, schedule, kScheduleEmails, true);
  GraphicalScheduleDetails details = {};
  GetGraphicalScheduleDetails(schedule.server, schedule.name, &details);
  char period[16] = "";
  if (details.days || details.hours) std::snprintf(period, sizeof period, "%u", static_cast<unsigned>(details.days ? details.days : details.hours));
  show_text(screen, kPeriodField, period);
  show_check(screen, kPeriodInHoursBox, details.days == 0 && details.hours != 0);
  show_check(screen, kCentralEmailBox, details.central != 0);
  return 1;
}

// A schedule list: filled when empty, else its selected schedule is opened on the screen.
DWORD schedule_list_event(HWND list, ReportListKind kind) {
  if (row_count(list) == 0) {
    ListSchedules(current_server().name, list, kind);
    return 1;
  }
  ScheduleRow schedule;
  return selected_report(list, &schedule) < 0 ? 1 : open_schedule(GetParent(list), schedule);
}

// ---- Saving a schedule screen -------------------------------------------------------------

// The texts of every row of the screen's list; none when the screen has no such list.
std::vector<std::string> row_texts(HWND screen, uint32_t id) {
  std::vector<std::string> texts;
  HWND list = screen_control(screen, id);
  char text[kHostRowTextBytes];
  const BYTE* record = nullptr;
  for (int row = 0; list && read_list_row(list, row, text, sizeof text, &record); ++row) texts.emplace_back(text);
  return texts;
}

std::vector<uint32_t> run_times_of(HWND screen) {
  std::vector<uint32_t> words;
  HWND list = screen_control(screen, kRunTimeList);
  const BYTE* record = nullptr;
  for (int row = 0; list && read_list_row(list, row, nullptr, 0, &record); ++row) {
    uint32_t word = 0;
    if (run_time_row(record, &word)) words.push_back(word);
  }
  return words;
}

std::vector<const char*> pointers(const std::vector<std::string>& texts) {
  std::vector<const char*> out;
  for (const std::string& t : texts) out.push_back(t.c_str());
  return out;
}

DWORD checked(HWND screen, uint32_t id) {
  DWORD value = 0;
  read_screen_value(screen, id, &value);
  return value == BST_CHECKED ? 1 : 0;
}

// Saves the schedule the screen shows on the current server: its name, its boxes and every row of its lists.
DWORD save_schedule_screen(HWND screen, bool graphical) {
  char name[kScheduleFieldBytes], previous[kScheduleFieldBytes], period[kScheduleFieldBytes] = {};
  read_screen_field(screen, graphical ? kGraphicalNameField : kScheduleNameField, name, sizeof name);
  read_screen_field(screen, graphical ? kEditedGraphicalField : kEditedScheduleField, previous, sizeof previous);
  std::vector<uint32_t> run_times = run_times_of(screen);
  std::vector<std::string> reports = row_texts(screen, kScheduleReportList);
  std::vector<std::string> emails = row_texts(screen, kScheduleEmailList);
  std::vector<const char*> report_names = pointers(reports), addresses = pointers(emails);
  ScheduleForm form = {};
  form.name = name;
  form.previous = previous;
  form.disabled = checked(screen, kDisableScheduleBox);
  form.run_times = run_times.data();
  form.run_time_count = run_times.size();
  form.reports = report_names.data();
  form.report_count = report_names.size();
  if (!graphical) return SaveSchedule(screen, current_server().name, form);
  read_screen_field(screen, kPeriodField, period, sizeof period);
  form.emails = addresses.data();
  form.email_count = addresses.size();
  form.central_email = checked(screen, kCentralEmailBox);
  form.period_in_hours = checked(screen, kPeriodInHoursBox) != 0;
  form.period = period;
  return SaveGraphicalSchedule(screen, current_server().name, form);
}

// ---- A chart tree as a graphical report definition ---------------------------------------------

// The charts of the tree's top-level items, one "group,selection,kind" name each; false when it has none.
bool chart_tree_definition(HWND tree, MultiString* definition) {
  if (!multi_string_start(definition, kScheduleListBytes)) return false;
  size_t charts = 0;
  auto item = reinterpret_cast<HTREEITEM>(tree ? SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0) : 0);
  for (; item != nullptr && charts < kMostCharts;
       item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) || tv.lParam == 0) continue;
    const auto* view = reinterpret_cast<const ChartView*>(tv.lParam);
    char entry[40];
    std::snprintf(entry, sizeof entry, "%u,%u,%u", view->group, view->selection, view->kind);
    if (multi_string_add(definition, entry, kScheduleListBytes)) ++charts;
  }
  if (charts > 0) return true;
  show_message(nullptr, "No reports included, unable to create report that has a blank definition",
               "Graphical Report Save Problem", MB_ICONERROR);
  multi_string_free(definition);
  return false;
}

// Saves the tree on the current server under the name typed on the screen, or as its default definition.
// The dates of a named definition are those of the quick report whose rows the charts count.
DWORD save_chart_tree(HWND screen, HWND tree, bool as_default) {
  char name[kScheduleNameBytes] = {};
  if (!as_default) {
    read_screen_field(screen, kDefinitionNameField, name, sizeof name);
    if (name[0] == '\0') {
      show_message(screen, "To continue, please enter a name for the Graphical Report Definition.", nullptr,
                   MB_ICONEXCLAMATION);
      return 0;
    }
  }
  MultiString definition;
  if (!chart_tree_definition(tree, &definition)) return 0;
  const BYTE* data = reinterpret_cast<const BYTE*>(definition.data);
  const DWORD dates[3] = {g_quick_report.window_start, g_quick_report.window_end, g_quick_report.maximum_rows};
  const CurrentServer server = current_server();
  DWORD rc = as_default ? SaveDefaultGraphicalDefinition(server.name, data, multi_string_bytes(definition))
                        : SaveGraphicalReport(server.name, name, data, multi_string_bytes(definition), dates);
  multi_string_free(&definition);
  return rc == 0 ? 1 : 0;
}

}  // namespace

DWORD ScheduleScreenButton(HWND screen, uint32_t id, HWND companion) {
  switch (id) {
    case kAddToList: return add_to_list(screen, companion);
    case kRemoveFromList: return remove_selected_rows(companion);
    case kNewReport: NewCustomReport(screen, nullptr); return 1;
    case kEditReport: return edit_selected_report(screen, companion);
    case kSaveSchedule: return save_schedule_screen(screen, false);
    case kSaveGraphicalSchedule: return save_schedule_screen(screen, true);
    case kRunReport: return run_selected_report(screen, companion);
    case kRunDefinition: return run_selected_definition(screen, companion);
    case kDeleteSelected: return delete_selected(companion);
    case kSaveChartDefinition: return save_chart_tree(screen, companion, false);
    case kSaveDefaultDefinition: return save_chart_tree(screen, companion, true);
    default: return kResultNotHandled;
  }
}

DWORD ScheduleScreenList(HWND control, uint32_t id, const BYTE* event_record) {
  switch (id) {
    case kDayList: list_days(control, event_record); return 1;
    case kTimeList: list_times(control, event_record); return 1;
    case kScheduleList: return schedule_list_event(control, ReportListKind::kSchedules);
    case kGraphicalScheduleList: return schedule_list_event(control, ReportListKind::kGraphicalSchedules);
    case kSavedGraphList: ListSchedules(current_server().name, control, ReportListKind::kSavedGraphs); return 1;
    case kSavedReportList:
    case kCustomReportList: ListSchedules(current_server().name, control, ReportListKind::kSavedReports); return 1;
    default: return kResultNotHandled;
  }
}
