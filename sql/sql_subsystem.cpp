// The central database screens' routes: SQL setup for the current server or
// for the selected servers, and the tables' sizes.
#include <vector>

#include "host/control_id.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/subsystems.h"
#include "sql/sql_database.h"

namespace {

constexpr int kServerNameBytes = 101;

DWORD with_wait_cursor(DWORD (*job)(const ButtonEvent&), const ButtonEvent& e) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  DWORD result = job(e);
  SetCursor(previous);
  return result;
}

DWORD setup_current_server(const ButtonEvent& e) {
  return with_wait_cursor([](const ButtonEvent& event) {
    CurrentServer server = current_server();
    return SetupSqlForServer(event.screen, server.name, server.record);
  }, e);
}

// The selected rows of the companion list are the servers; the screen's SQL Server field names the database server.
DWORD setup_selected_servers(const ButtonEvent& e) {
  return with_wait_cursor([](const ButtonEvent& event) {
    char sql_server[kSqlSettingBytes] = {};
    read_screen_field(event.screen, kSqlServerNameField, sql_server, sizeof sql_server);
    std::vector<std::vector<char>> names;
    for (int row = -1; event.companion != nullptr;) {
      row = static_cast<int>(SendMessageA(event.companion, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
      if (row < 0) break;
      std::vector<char> name(kServerNameBytes, '\0');
      LPARAM param = 0;
      if (read_list_row(event.companion, row, name.data(), kServerNameBytes, &param) && name[0]) names.push_back(name);
    }
    std::vector<const char*> servers;
    for (const std::vector<char>& name : names) servers.push_back(name.data());
    return SetupSqlForServers(event.screen, sql_server, servers.data(), static_cast<int>(servers.size()));
  }, e);
}

// The current server's SQL Server, its tables listed in the companion list.
DWORD table_sizes(const ButtonEvent& e) {
  return with_wait_cursor([](const ButtonEvent& event) -> DWORD {
    char sql_server[kSqlSettingBytes];
    read_sql_server_setting(current_server().name, sql_server, sizeof sql_server);
    if (sql_server[0] == '\0') {
      show_message(event.screen, "No SQL Server Name defined, unable to continue.", "UNABLE TO CONTINUE",
                   MB_OK | MB_ICONEXCLAMATION);
      return 0;
    }
    BYTE record[kListItemBytes] = {};
    set_item_word(record, kItemWordModule, kModuleNumber);
    set_item_word(record, kItemWordControlId, kSqlTableSizesButton);
    ReportSqlTableSizes(sql_server, event.companion, event.screen, record);
    return 1;
  }, e);
}

constexpr ButtonRoute kButtons[] = {
    // Which button does which job (each works as the host's screen lays it out):
    //   0x603100B8, 0x603100DB, 0x603100E2  SQL setup for the current server, after its checks
    //   0x603100B9, 0x603100DC, 0x603140C6  SQL setup for the servers selected in the companion list,
    //                                       with the SQL Server named in the field 0x603800DA
    //   0x60314000, 0x603140D0              sizes of the current server's SQL tables into the companion list
    {0x603100B8, 0x603100B8, setup_current_server},
    {0x603100B9, 0x603100B9, setup_selected_servers},
    {0x603100DB, 0x603100DB, setup_current_server},
    {0x603100DC, 0x603100DC, setup_selected_servers},
    {0x603100E2, 0x603100E2, setup_current_server},
    {0x60314000, 0x60314000, table_sizes},
    {0x603140C6, 0x603140C6, setup_selected_servers},
    {0x603140D0, 0x603140D0, table_sizes},
};

}  // namespace

extern const Subsystem kSqlSubsystem = {"sql", route_table(kButtons), {}, {}, nullptr, nullptr};
