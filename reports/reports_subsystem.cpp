// The report screens' routes: the quick report, the log file lists and their
// commands, the report views and the texts of their columns, and the report
// definitions. Of the definitions buttons 0x6031010B (run), 0x6031010E and
// 0x6031410A (open the result), 0x6031010E deletes the selected definition;
// the others run saved reports and are routed with them.
#include "host/control_id.h"
#include "host/host.h"
#include "host/subsystems.h"
#include "host/text.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_definitions.h"
#include "reports/report_generation.h"
#include "reports/report_views.h"

namespace {

static_assert(kColumnTextBytes <= kTextResultBytes, "a column text fits the host's text buffer");

constexpr uint32_t kLogFileListFirst = 0x60F40049;
constexpr uint32_t kCustomReportServers = 0x6044001A;
constexpr uint32_t kCustomReportPatterns = 0x6044001B;
constexpr uint32_t kLogFileListSecond = 0x60F4004A;

// The quick report: runs on the selected server, or offers to stop the running one.
DWORD quick_report_button(const ButtonEvent& e) { return QuickReportButton(e.screen, e.descriptor, e.companion); }

// Delete, archive or restore the files of the rows selected in the companion log file list.
DWORD log_file_button(const ButtonEvent& e) {
  uint32_t id = descriptor_identifier(e.descriptor);
  LogFileCommandKind kind = id == 0x6041000A ? kDeleteLogFiles : id == 0x6041000B ? kArchiveLogFiles : kRestoreLogFiles;
  HWND button = GetDlgItem(e.screen, descriptor_half(e.descriptor, kDescHalfDialogItem));
  LogFileCommand(e.screen, button, e.companion, current_server().name, kind);
  return 1;
}

// The log file lists: each one's event lists the current server's log files into it, 0x60F40049 the current and
// 0x60F4004A the archived ones; in sibling mode the QVAWKQ folders qvawwl and qvawkq, by the list that asks.
// Chosen: these lists of the log retrieval screens, on whose rows the delete, archive and restore buttons and
// their context menu act.
DWORD log_file_list(const ListEvent& e) {
  bool second = e.id == kLogFileListSecond;
  LogListing listing = g_library.sibling_mode ? (second ? kListSiblingLogsKq : kListSiblingLogsWl)
                                              : (second ? kListArchivedLogs : kListCurrentLogs);
  LogListTarget target = {e.control, e.record};
  DWORD listed = 0;
  ListLogFiles(&target, current_server().name, listing, &listed);
  return 1;
}

// The custom report's profile patterns (0x6044001B): the list's event runs the custom report of the patterns it
// lists on the server selected in the screen's custom report server list (0x6044001A), else on the current
// server, into the list's companion report list. Chosen: the host sends it when the user runs the custom report,
// as the quick report's list twin runs the quick report.
DWORD custom_report_patterns(const ListEvent& e) {
  constexpr int kMostPatterns = 256;
  static char texts[kMostPatterns][kHostRowTextBytes];  // UI thread only
  const char* patterns[kMostPatterns];
  DWORD count = 0;
  int rows = static_cast<int>(SendMessageA(e.control, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows && count < kMostPatterns; ++row) {
    LPARAM ignored = 0;
    if (read_list_row(e.control, row, texts[count], kHostRowTextBytes, &ignored) && texts[count][0] != '\0')
      patterns[count] = texts[count], ++count;
  }
  char server[kHostRowTextBytes];
  copy_text(server, sizeof server, current_server().name);
  HWND screen = GetParent(e.control);
  int servers_item = screen ? find_control_item(screen, kModuleNumber, kCustomReportServers) : 0;
  HWND servers = servers_item ? GetDlgItem(screen, servers_item) : nullptr;
  int selected = servers ? static_cast<int>(SendMessageA(servers, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                         LVNI_SELECTED))
                         : -1;
  LPARAM ignored = 0;
  if (selected >= 0) read_list_row(servers, selected, server, sizeof server, &ignored);
  HWND target = companion_window(e.descriptor);
  if (target == nullptr) {
    show_message(nullptr, "No report list to show the Custom Report in.", "VORNIX Custom Report", MB_OK | MB_ICONERROR);
    return 1;
  }
  CustomReportRequest request = {};
  request.server = server;
  request.patterns = patterns;
  request.pattern_count = count;
  request.owner = screen;
  request.target = target;
  GenerateCustomReport(&request);
  return 1;
}

// Report views: columns and sort keys, then the host fills and sorts the list.
DWORD report_view_list(const ListEvent& e) { return ReportViewListEvent(e.control); }

// View Log File Data: the selected log files read into the companion report list, each row made from the
// event's record.
DWORD view_log_file_data(const ListEvent& e) { return ViewLogFileData(e.control, e.descriptor, e.record); }

// The quick report started from a list of its screen: the screen is told when the run ends.
DWORD quick_report_list(const ListEvent& e) { return QuickReportListEvent(e.control, e.descriptor); }

// The definitions list: the report definitions as tiles (a report view's list gets its columns).
DWORD report_definitions_list(const ListEvent& e) { return ReportDefinitionsListEvent(e.control, e.record); }

DWORD delete_definition(const ButtonEvent& e) { return DeleteDefinitionButton(e.screen, e.companion); }

void release_reports() {
  release_quick_report();
  release_definition_tiles();
}

// Report columns: the host passes the row's list item record (its row context) as the third argument.
DWORD report_column(const TextEvent& e, TextResult* result) {
  return report_column_text(reinterpret_cast<BYTE*>(e.args[3]), e.id, result->text, sizeof result->text);
}

// Context menus: a definition's report type; a log file row deleted or its path copied.
DWORD fill_definitions_menu(const MenuRequest& request) {
  set_menu_entry(request, 0, "Change Report Type");
  return 0;
}

DWORD act_on_definitions_menu(const MenuChoice& choice) {
  return choice.position == 0 && ChangeReportDefinitionType(choice.owner, choice.list);
}

DWORD fill_log_file_menu(const MenuRequest& request) {
  if (request.record == nullptr) return 0;
  set_menu_entry(request, 0, "Delete selected Log File(s)");
  set_menu_entry(request, 1, "Copy full file path to paste buffer");
  return 0;
}

DWORD act_on_log_file_menu(const MenuChoice& choice) {
  if (choice.position == 0)
    return LogFileCommand(choice.owner, nullptr, choice.list, current_server().name, kDeleteListedLogFiles) != 0;
  return choice.position == 1 && CopyLogRowPath(choice.owner, choice.record);
}

constexpr ButtonRoute kButtons[] = {
    {kDeleteDefinitionButton, kDeleteDefinitionButton, delete_definition},
    {0x6041000A, 0x6041000B, log_file_button},
    {0x60410934, 0x60410934, log_file_button},
    {kQuickReportButton, kQuickReportButton, quick_report_button},
};

constexpr MenuRoute kMenus[] = {
    {kReportDefinitionsList, kReportDefinitionsList, fill_definitions_menu, act_on_definitions_menu},
    {kLogFileListFirst, kLogFileListSecond, fill_log_file_menu, act_on_log_file_menu},
};

constexpr ListRoute kLists[] = {
    {kLogFileListFirst, kLogFileListSecond, log_file_list},
    {kCustomReportPatterns, kCustomReportPatterns, custom_report_patterns},
    {0x60440800, 0x60440800, view_log_file_data},
    {0x60F40050, 0x60F40050, view_log_file_data},
    {kQuickReportList, kQuickReportList, quick_report_list},
    {0x60240001, 0x60240001, report_view_list},
    {kReportDefinitionsList, kReportDefinitionsList, report_definitions_list},
};

// The runs of column identifiers the report views bind.
constexpr TextRoute kTexts[] = {
    {kReportColumnRuns[0].first, kReportColumnRuns[0].last, report_column},
    {kReportColumnRuns[1].first, kReportColumnRuns[1].last, report_column},
    {kReportColumnRuns[2].first, kReportColumnRuns[2].last, report_column},
    {kReportColumnRuns[3].first, kReportColumnRuns[3].last, report_column},
    {kReportColumnRuns[4].first, kReportColumnRuns[4].last, report_column},
};
static_assert(sizeof kReportColumnRuns / sizeof kReportColumnRuns[0] == 5, "one route per run of columns");

constexpr DrawRoute kDraws[] = {
    {kQuickReportButton, kQuickReportButton, DrawQuickReportButton},
    {kQuickProgressControl, kQuickProgressControl, DrawQuickReportProgress},
};

}  // namespace

// At detach the quick report's file list and the tiles' fonts go; a row's record owns its report row item.
extern const Subsystem kReportsSubsystem = {"reports",           route_table(kButtons), route_table(kLists),
                                            route_table(kTexts), release_reports,       free_report_row_items,
                                            route_table(kDraws), nullptr,               route_table(kMenus)};
