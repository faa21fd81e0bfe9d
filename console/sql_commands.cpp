#include "console/sql_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "sim/sql_server.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kSqlScreenKey = 6;
constexpr int kSqlListItem = 601, kSqlFieldItem = 602, kSqlButtonItem = 603;
constexpr uint32_t kSetupCurrentServerButton = 0x603100B8;
constexpr uint32_t kSetupSelectedServersButton = 0x603100B9;
constexpr uint32_t kTableSizesButton = 0x60314000;
constexpr uint32_t kSqlServerNameField = 0x603800DA;
constexpr int kErrorImage = 67;  // the results row of a step that failed
constexpr char kDatabase[] = "VORNIX_for_Windows";
// A row of the table sizes as its record holds it: the row count, the data size, and the outcome of a
// listing step that failed (empty on table rows).
constexpr size_t kRowsOffset = 112, kDataOffset = 124, kOutcomeOffset = 144;

// The demo's SQL Servers answer through the project's driver, unless ODBCSYSINI names other drivers.
bool start_library(Library* l) {
  support::use_project_sql_driver();
  return start(l);
}

// A text of a row's record without the blanks the server pads its columns with.
std::string record_text(const BYTE* record, size_t offset) {
  std::string text = reinterpret_cast<const char*>(record + offset);
  return text.erase(text.find_last_not_of(' ') + 1);
}

// True when a results window's row is an error step, or no row was written at all.
bool results_failed() {
  bool failed = false, any = false;
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.template_name != "ReportAction" || !IsWindow(e.window)) continue;
    HWND list = GetDlgItem(e.window, 1001);
    for (int row = 0; row < row_count(list); ++row) {
      failed = failed || support::read_row(list, row).image == kErrorImage;
      any = true;
    }
  }
  return failed || !any;
}

}  // namespace

int sql_setup(const std::vector<std::string>& servers, const std::string& sql_server) {
  Library l;
  if (!start_library(&l)) return 1;
  HWND list = make_server_list(l);
  HWND screen = GetParent(list);
  for (const std::string& s : servers)
    if (find_row(list, s) < 0) return host::unload_library(&l.library), fail(s + " is not a known server of this console");
  if (sql_server.empty()) {
    for (const std::string& s : servers) {
      select_server(list, s);
      press(l, screen, add_button(screen, kSqlButtonItem, kSetupCurrentServerButton));
    }
  } else {
    std::vector<int> rows;
    for (const std::string& s : servers) rows.push_back(find_row(list, s));
    select_rows(list, rows);
    host::add_control(screen, kSqlFieldItem, "Edit", sql_server.c_str(),
                      host::ControlSpec{kSqlServerNameField, kDescriptorEditField});
    press(l, screen, add_button(screen, kSqlButtonItem, kSetupSelectedServersButton, kServerScreenKey, kServerListItem));
  }
  int status = results_failed() ? fail("the SQL setup did not complete (see the steps and messages above)") : 0;
  close_results_windows();
  host::unload_library(&l.library);
  return status;
}

int sql_sizes(const std::string& server, Format format) {
  Library l;
  if (!start_library(&l)) return 1;
  HWND servers = make_server_list(l);
  if (!select_server(servers, server)) return host::unload_library(&l.library), 1;
  HWND screen = host::create_screen(kSqlScreenKey, "SQL tables");
  HWND list = host::add_control(screen, kSqlListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  // Without the database the login lands in 'master', where the driver finds none of the tables: that error
  // means the database is not set up yet, and says so instead of the driver's words.
  forget_last_message();
  hold_messages();
  press(l, screen, add_button(screen, kSqlButtonItem, kTableSizesButton, kSqlScreenKey, kSqlListItem));
  const bool no_database = last_message().find("in database 'master'") != std::string::npos;
  release_messages(!no_database);
  if (no_database) {
    release_rows(l, list);
    host::unload_library(&l.library);
    return fail(server + ": the " + kDatabase + " database is not set up on its SQL Server (vornix-console sql-setup "
                "--server " + server + " sets it up)");
  }
  Listing tables{std::string("Tables of ") + kDatabase + " on the SQL Server of " + server + ":", {"table", "rows", "data"},
                 {}, "(none)", {42, 12}};
  tables.heading = true;
  std::vector<std::string> failed;  // the steps of the listing that failed, each with its outcome
  for (int row = 0; row < row_count(list); ++row) {
    const auto* r = reinterpret_cast<const BYTE*>(row_param(list, row));
    if (r == nullptr) continue;
    const char* outcome = reinterpret_cast<const char*>(r + kOutcomeOffset);
    if (outcome[0] != '\0') failed.push_back(row_text(list, row) + ": " + outcome);
    else tables.rows.push_back({row_text(list, row), record_text(r, kRowsOffset), record_text(r, kDataOffset)});
  }
  print_listing(tables, format);
  for (const std::string& step : failed) fail(server + ": " + step);
  const bool listed = !tables.rows.empty();
  release_rows(l, list);
  host::unload_library(&l.library);
  if (!listed) return fail("no table sizes were listed for " + server);
  return 0;
}

}  // namespace console
