// The SQL Server connection lost between two statements of the database setup,
// driven by the setup button as the host presses it: the rows say where it
// stopped, the server holds no more than the statements it received, and the
// next press on a sound connection finishes the job.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "tests/support/list_rows.h"
#include "tests/support/sql_fixture.h"

namespace {

class SqlConnectionFault : public support::SqlSetupTest {
 protected:
  void SetUp() override {
    SqlSetupTest::SetUp();
    world_.add_registry_text("SRV01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n\r\n");
  }

  // The library's code started, and the setup screen with SRV01 selected, SQL01 named and the setup button.
  void start() {
    ASSERT_NO_FATAL_FAILURE(SqlSetupTest::start());
    HWND screen = host::create_screen(61, "SQL");
    HWND servers = host::add_control(screen, 1001, WC_LISTVIEWA, "", host::ControlSpec{});
    support::insert_list_rows(servers, {{"SRV01", nullptr}});
    support::set_row_selected(servers, 0);
    host::add_control(screen, 1002, "Edit", "SQL01", host::ControlSpec{0x603800DA, kDescriptorEditField});
    button_ = host::add_control(screen, 1100, "Button", "",
                                host::ControlSpec{0x603100DC, kDescriptorPushButton, 61, 1001});
    screen_ = screen;
  }

  DWORD press() {
    close_results_window();
    ui::clear_journal();
    return entry_point_button_services(screen_, 0, host::descriptor_of(button_));
  }

  // The results rows from the first table on, "action | result".
  std::vector<std::string> table_rows() {
    HWND list = GetDlgItem(g_results.window, kResultsListItem);
    std::vector<std::string> actions = support::list_column(list, 1), results = support::list_column(list, 2);
    std::vector<std::string> out;
    bool tables = false;
    for (size_t i = 0; i < actions.size(); ++i) {
      tables = tables || actions[i].rfind("Creating Table ", 0) == 0;
      if (tables) out.push_back(actions[i] + " | " + results[i]);
    }
    return out;
  }

  std::vector<std::string> tables() {
    std::vector<std::string> out;
    for (const support::SqlTable& t : state().tables) out.push_back(t.name);
    return out;
  }

  HWND screen_ = nullptr;
  HWND button_ = nullptr;
};

TEST_F(SqlConnectionFault, ALinkLostAfterTheFirstTableEndsTheTablesAndTheNextRunFinishesThem) {
  // Six batches make the database and the logins, two the first table: the ninth is never received.
  world_.set_machine_setting("SQL01", "sqlserver", "drop_after_batches", "8");
  start();
  press();
  EXPECT_EQ(tables(), std::vector<std::string>{"File_System_Profiles"});
  const std::vector<std::string> rows = table_rows();
  // The tables after the lost one are not attempted, and the run ends there.
  EXPECT_EQ(rows, (std::vector<std::string>{"Creating Table File_System_Profiles | ...",
                                            "Successfully Created Table File_System_Profiles | OK",
                                            "Error Using VORNIX Database | Unable to continue",
                                            "A B O R T I N G | CRITICAL FAILURE OCCURRED, UNABLE TO CONINUE"}));
  EXPECT_GE(g_sql.error_count, 1);
  EXPECT_EQ(statements().size(), 8u);

  // The link is sound again: the same button creates the four tables left and finds the first.
  world_.set_machine_setting("SQL01", "sqlserver", "drop_after_batches", "");
  release_registry_connections();
  world_.open();
  EXPECT_EQ(press(), 1u);
  EXPECT_EQ(tables().size(), 5u);
  EXPECT_EQ(statements().size(), 8u + 15u);
  const std::vector<std::string> again = table_rows();
  ASSERT_GE(again.size(), 10u);
  EXPECT_EQ(again[1], "Table Already Exists:  File_System_Profiles | OK");
  EXPECT_EQ(again[9], "Successfully Created Table GPO_Active_Directory_Profiles | OK");
  EXPECT_EQ(boxes(), std::vector<std::string>{});
}

TEST_F(SqlConnectionFault, ALinkLostBeforeTheDatabaseIsMadeIsReportedWithTheDriversWords) {
  // The USE that finds no database is received; the CREATE DATABASE after it is not.
  world_.set_machine_setting("SQL01", "sqlserver", "drop_after_batches", "1");
  start();
  press();
  const std::vector<std::string> shown = boxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("VORNIX message from QVMR0007.DLL | SQL Driver Operation failed [-1][ffffffff]\n native "
                           "Err[10054] State[08S01]\nMsg[[Microsoft][ODBC SQL Server Driver][DBNETLIB]ConnectionWrite "
                           "(send()).]\n\nCommand Attempted [CREATE DATABASE VORNIX_for_Windows;]",
                           0),
            0u)
      << shown[0];
  HWND list = GetDlgItem(g_results.window, kResultsListItem);
  const std::vector<std::string> actions = support::list_column(list, 1);
  ASSERT_GE(actions.size(), 2u);
  ASSERT_GE(actions.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(actions.end() - 3, actions.end()),
            (std::vector<std::string>{"Error Creating VORNIX Database",
                                      "Error(s) occurred, cancelling attempt to add Tables", "A B O R T I N G"}));
  EXPECT_EQ(state().databases, std::vector<std::string>{"master"});
  EXPECT_EQ(statements(), std::vector<std::string>{"USE VORNIX_for_Windows;"});
}

}  // namespace
