#include "console/sql_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "config/registry.h"
#include "console/console_output.h"
#include "console/in_process.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "reports/results_window.h"
#include "sql/sql_database.h"
#include "tests/support/sql_server.h"
#include "win32/modules.h"

namespace console {
namespace {

constexpr uint16_t kSqlScreenKey = 6;

// The demo's SQL Servers answer through the project's driver, unless ODBCSYSINI names other drivers.
bool start_library() {
  support::use_project_sql_driver();
  return start_in_process_library();
}

std::string cell(HWND list, int row, int column) {
  char text[1100] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

// The results window's rows as printed lines; true when one of them is an error step.
bool print_results() {
  HWND list = g_results.window ? GetDlgItem(g_results.window, kResultsListItem) : nullptr;
  int count = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  bool failed = false;
  for (int row = 0; row < count; ++row) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    failed = failed || item.iImage == kStepError;
    std::printf("%s  %-70s %s\n", cell(list, row, 0).c_str(), cell(list, row, 1).c_str(), cell(list, row, 2).c_str());
  }
  return failed || count == 0;
}

}  // namespace

int sql_setup(const std::vector<std::string>& servers, const std::string& sql_server) {
  if (!start_library()) return fail("the library refused the host services table");
  int status = 0;
  if (servers.size() == 1 && sql_server.empty()) {
    SetupSqlForServer(nullptr, servers[0].c_str(), nullptr);
  } else {
    char named[kSqlSettingBytes] = {};
    if (sql_server.empty()) read_sql_server_setting(servers[0].c_str(), named, sizeof named);
    std::vector<const char*> names;
    for (const std::string& s : servers) names.push_back(s.c_str());
    SetupSqlForServers(nullptr, sql_server.empty() ? named : sql_server.c_str(), names.data(),
                       static_cast<int>(names.size()));
  }
  if (print_results()) status = fail("the SQL setup did not complete (see the steps and messages above)");
  close_results_window();
  release_registry_connections();
  return status;
}

int sql_sizes(const std::string& sql_server) {
  if (!start_library()) return fail("the library refused the host services table");
  HWND screen = host::create_screen(kSqlScreenKey, "SQL tables");
  HWND list = host::add_control(screen, 1, WC_LISTVIEWA, "", host::ControlSpec{});
  BYTE record[kListItemBytes] = {};
  ReportSqlTableSizes(sql_server.c_str(), list, screen, record);
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::printf("Tables of %s on %s:\n", kSqlDatabase, sql_server.c_str());
  bool listed = false;
  for (int row = 0; row < count; ++row) {
    char label[260] = {};
    LPARAM param = 0;
    read_list_row(list, row, label, sizeof label, &param);
    const auto* r = reinterpret_cast<const BYTE*>(param);
    if (r == nullptr) continue;
    const char* outcome = reinterpret_cast<const char*>(r + kItemSqlOutcome);
    if (outcome[0] != '\0') {  // a step that failed
      std::printf("  %s: %s\n", label, outcome);
      continue;
    }
    listed = true;
    std::printf("  %-42s rows %-12s data %s\n", label, reinterpret_cast<const char*>(r + kItemSqlRows),
                reinterpret_cast<const char*>(r + kItemSqlData));
  }
  if (!listed) return fail("no table sizes were listed for " + sql_server);
  return 0;
}

}  // namespace console
