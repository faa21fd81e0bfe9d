// The central database prepared through the platform's ODBC (under Wine its
// odbc32, which hands the calls to the Linux driver manager) and the
// project's "SQL Server" driver, answering for the simulated SQL01 of the
// Linux side's world: the rows of a first and a second run, and the table
// sizes.
#include <string>
#include <vector>

#include "host/list_item.h"
#include "reports/results_window.h"
#include "sql/sql_database.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {
namespace {

constexpr char kSqlServer[] = "SQL01";
constexpr char kDomain[] = "BRIGHTMERE";

// A connection made by hand, as the setup makes it: the return code, and the first diagnostic's state on a failure.
std::string connection_to(const char* server) {
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) return "no environment";
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
  std::string text = std::string("DRIVER=SQL Server;Trusted_Connection=Yes;SERVER=") + server;
  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  SQLRETURN rc = SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]), SQL_NTS, out, sizeof out,
                                  &out_length, SQL_DRIVER_NOPROMPT);
  std::string result = std::string(server) + ": " + std::to_string(rc);
  SQLCHAR state[6] = "";
  SQLINTEGER native = 0;
  SQLCHAR message[512];
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(rc) &&
      SQL_SUCCEEDED(SQLGetDiagRecA(SQL_HANDLE_DBC, connection, 1, state, &native, message, sizeof message, &length)))
    result += std::string(" state ") + reinterpret_cast<char*>(state) + " native " + std::to_string(native);
  if (SQL_SUCCEEDED(rc)) SQLDisconnect(connection);
  SQLFreeHandle(SQL_HANDLE_DBC, connection);
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
  return result;
}

std::vector<std::string> setup_rows(const std::string& server) {
  leave_open("Results");
  open_results_window("VORNIX SQL Setup Results");
  std::string result = std::to_string(SetupSqlDatabase(kSqlServer, kDomain, server.c_str()));
  std::vector<std::string> rows = results_rows();
  close_results_window();
  rows.insert(rows.begin(), "setup: " + result);
  return rows;
}

}  // namespace

void sql_group(const Place& place) {
  shown();
  if (begin_section("the driver manager hands a connection to the \"SQL Server\" driver")) {
    say(connection_to(kSqlServer));
    say(connection_to("NOSUCH"));
  }
  if (begin_section("a first setup creates the database, the logins and the five tables")) {
    say(setup_rows(place.computer));
    say(shown());
  }
  if (begin_section("a second setup finds everything")) {
    say(setup_rows(place.computer));
    say(shown());
  }
  if (begin_section("the table sizes")) {
    HWND screen = CreateWindowExA(0, "Static", "SQL", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 100, 100, screen, nullptr, nullptr, nullptr);
    BYTE record[kListItemBytes] = {};
    say("listed: " + std::to_string(ReportSqlTableSizes(kSqlServer, list, screen, record)));
    for (const support::ListRow& r : support::list_rows(list))
      say(r.text + " | " + reinterpret_cast<const char*>(r.record + kItemSqlRows) + " | " +
          reinterpret_cast<const char*>(r.record + kItemSqlData));
    say(shown());
    release_rows(list);
    DestroyWindow(screen);
  }
}

}  // namespace wintest
