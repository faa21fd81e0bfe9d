// The central database's setup on the library's code linked into the test, through the real ODBC
// driver manager and the project's "SQL Server" driver: SRV01 and the SQL Server SQL01 on a fresh
// world, the statements SQL01 received, the state it keeps and the message boxes shown.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/results_window.h"
#include "sim/sql_server.h"
#include "sim/world_builder.h"
#include "sql/sql_database.h"
#include "tests/support/in_process_library.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace support {

class SqlSetupTest : public ::testing::Test {
 protected:
  // The test's SetUp adds the servers' registry keys after this.
  void SetUp() override {
    use_project_sql_driver();
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    add_sql_server(world_, "SQL01", "127.0.0.9");
  }

  void TearDown() override {
    close_results_window();
    release_registry_connections();
    if (g_library.instance) qvmr_unregister_module(g_library.instance);
    g_library.instance = nullptr;
  }

  // Opens the world as the test left it and starts the library's code.
  void start() {
    world_.open();
    start_library(&table_);
    g_sql.error_count = 0;
    ui::clear_journal();
  }

  // The message boxes shown, "title | text" (the results window is no message).
  static std::vector<std::string> boxes() {
    std::vector<std::string> out;
    for (const ui::JournalEntry& e : ui::journal())
      if (e.kind == "message box") out.push_back(e.title + " | " + e.text);
    return out;
  }

  std::vector<std::string> statements() const { return recorded_sql_statements(world_.machine_dir("SQL01")); }
  SqlServerState state() const { return read_sql_state(world_.machine_dir("SQL01")); }

  WorldBuilder world_;
  host::ServiceTable table_{};
};

}  // namespace support
