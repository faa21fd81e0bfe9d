// The largest report there is: a scheduled quick report of an unattended run,
// started by its list event, over more records than its 2,048,000-row maximum.
// It stops at the maximum with the row that says so as the last of its list,
// and the run still ends as every unattended run does.
//
//   ctest --preset soak      (the ASan build; outside the default runs)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/linked_library.h"
#include "config/registry.h"
#include "host/host_services.h"
#include "config/unattended_run.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "reports/report_views.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/soak_world.h"
#include "sim/whole_file.h"

namespace {

TEST(Soak, AScheduledQuickReportStopsAtItsMaximumWithTheRowThatSaysSo) {
  setenv("TZ", "UTC", 1);
  tzset();
  support::WorldBuilder world;
  uint64_t file_bytes = 0;
  support::make_soak_world(world, world.folder() + "/soak-files", &file_bytes);
  host::ServiceTable table;
  support::start_in_process(world, &table);
  table[kHostInsertItem] = reinterpret_cast<uintptr_t>(&support::keep_soak_row);
  table[kHostRequest] = reinterpret_cast<uintptr_t>(&support::lend_no_memory_pair);
  ASSERT_EQ(establish_tables(6, table.data()), 1u);
  std::memset(&g_quick_report, 0, sizeof g_quick_report);

  HWND servers_screen = host::create_screen(2, "Servers");
  HWND servers = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
  support::insert_list_rows(servers, {{"SRV01", nullptr}});
  ui::click_row(servers, 0);
  g_library.main_server_list = servers;
  HWND screen = host::create_screen(3, "Unattended");
  HWND lists[kQuickListCount] = {};
  for (int i = 0; i < kQuickListCount; ++i) {
    lists[i] = host::add_control(screen, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
    build_report_view(lists[i], report_view_of_list(kQuickListControls[i]));
  }
  const std::string log_path = world.folder() + "/run.log";
  host::unattended_log_file() = CreateFileA(log_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);

  EXPECT_EQ(host::send_list_event(host::in_process_library(), lists[kQuickListLogon], kUnattendedRunList), 1u);
  CloseHandle(host::unattended_log_file());
  host::unattended_log_file() = nullptr;

  // The count is compared after each row: one row past the maximum, then the row that says so.
  const std::vector<support::ListRow> rows = support::list_rows(lists[kQuickListFileSystem]);
  ASSERT_EQ(rows.size(), support::kSoakScheduledMaximum + 2u);
  EXPECT_EQ(rows.back().text, "_MAXIMUM RECORD COUNT [2048000] REACHED, REPORT STOPPED");
  // The rows before it are activity rows, each with its file record's item; the last has none.
  void* item = nullptr;
  EXPECT_EQ(row_item(rows[rows.size() - 2].record, &item), kLogFamilyFile);
  EXPECT_NE(item, nullptr);
  EXPECT_EQ(row_item(rows.back().record, &item), kLogFamilyNone);
  for (HWND list : {lists[kQuickListLogon], lists[kQuickListDirectory], lists[kQuickListGpo]})
    EXPECT_TRUE(support::list_rows(list).empty());
  // The quick report was made and its mail tried; the run ended as every run does.
  EXPECT_NE(support::read_whole_file(log_path).find("QRPT_SRV01("), std::string::npos);
  EXPECT_EQ(g_library.store_frozen, 1u) << "the run ended";
  EXPECT_EQ(g_quick_report.state, kQuickReportIdle);

  g_library.store_frozen = 0;  // so that the rows' records are freed
  g_library.main_server_list = nullptr;
  for (HWND list : lists) support::release_list_rows(list, true);
  free_quick_report_files();
  release_registry_connections();
  support::end_in_process();
}

}  // namespace
