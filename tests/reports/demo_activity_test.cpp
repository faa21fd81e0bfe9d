// The demo servers' generated activity, found as the library finds it: the
// ReportPath value of the server's registry names the share, the log folder
// is listed over the network path, and every file is read by the log reader
// into the rows that were written.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "sim/demo_activity.h"
#include "tests/support/list_rows.h"
#include "tests/support/time_zone.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

constexpr uint32_t kNow = 1796551200;  // 2026-12-06 10:00 UTC, 05:00 in New York

// 22:00 local time `back` days before the local date of kNow.
uint32_t nominal_time(int back) {
  time_t t = static_cast<time_t>(kNow);
  struct tm local;
  localtime_r(&t, &local);
  local.tm_mday -= back;
  local.tm_hour = 22;
  local.tm_min = local.tm_sec = 0;
  local.tm_isdst = -1;
  return static_cast<uint32_t>(mktime(&local));
}

class DemoActivity : public ::testing::Test {
 protected:
  void TearDown() override {
    support::release_list_rows(list_);
    release_registry_connections();
  }

  support::TimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};  // local dates differ from UTC dates
  HWND list_ = nullptr;
};

TEST_F(DemoActivity, EveryDayAndProfileIsAFileInTheLogShareThatDecodesIntoTheRowsWritten) {
  ui::reset();
  host::clear_screens();
  support::WorldBuilder world;
  world.add_machine("SRV01", "127.0.0.2");
  support::DemoActivity activity = support::add_demo_activity(world, "SRV01", kNow);
  world.open();
  host::ServiceTable table = host::make_service_table();
  ASSERT_EQ(establish_tables(6, table.data()), 1u);
  g_library.search_cancel = 0;
  g_report_run = ReportRunState{};
  HWND screen = CreateWindowExA(0, "VornixScreen", "Report", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  list_ = CreateWindowExA(0, "SysListView32", "", WS_CHILD, 0, 0, 100, 100, screen, reinterpret_cast<HMENU>(1),
                          nullptr, nullptr);
  BYTE context[kRowContextBytes] = {};
  set_row_server_name(context, "SRV01");
  ui::clear_journal();

  char folder[kLogFolderBytes] = {};
  ASSERT_EQ(read_log_folders("SRV01", "UNABLE TO GET REPORT SHARE", folder, nullptr, sizeof folder), 0u);
  EXPECT_STREQ(folder, "\\\\SRV01\\VNXLOGS$\\vnxlogs\\");
  std::map<std::string, std::set<uint32_t>> days_by_profile;
  std::map<std::string, int> last_hour_by_profile;
  std::set<std::string> activities;
  size_t files = 0, total_rows = 0, renames = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(folder) + kLogFilePattern).c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    const std::string name = found.cFileName;
    SCOPED_TRACE(name);
    LogFileName parsed;
    ASSERT_TRUE(parse_log_file_name(name.c_str(), &parsed));
    EXPECT_STREQ(parsed.server, "SRV01");
    days_by_profile[parsed.prefix].insert(parsed.nominal_time);
    auto file = std::find_if(activity.files.begin(), activity.files.end(),
                             [&](const support::DemoLogFile& f) { return f.path == activity.folder + "/" + name; });
    ASSERT_NE(file, activity.files.end());

    const std::string path = folder + name;
    LogReadRequest request = {list_, 0, path.c_str(), context, {0, 0}, nullptr};
    read_activity_log(&request);
    std::vector<uint32_t> times;
    for (const support::ListRow& row : support::list_rows(list_)) {
      void* item = nullptr;
      LogFamily family = row_item(row.record, &item);
      ASSERT_NE(item, nullptr);
      times.push_back(row_item_event_time(family, item));
      activities.insert(row.text);
      if (row.text == "AD Rename Object") {
        // The view's New Value column shows the new name: the object's own name marked as a leaver's.
        std::string dn = static_cast<const DirectoryRowItem*>(item)->object_dn;
        size_t comma = dn.find(',');
        char new_value[kColumnTextBytes] = {};
        EXPECT_EQ(report_column_text(row.record, 0x60420D04, new_value, sizeof new_value), 0u);
        EXPECT_EQ(new_value, dn.substr(0, comma) + " (leaver)" + dn.substr(comma));
        ++renames;
      }
    }
    EXPECT_EQ(times, file->row_times);
    // Within the file's local day (22:00 is its nominal time) and never after now.
    ASSERT_FALSE(times.empty());
    auto [first, last] = std::minmax_element(times.begin(), times.end());
    EXPECT_GE(*first, parsed.nominal_time - 22 * 3600);
    EXPECT_LT(*last, parsed.nominal_time + 2 * 3600);
    EXPECT_LE(*last, kNow);
    last_hour_by_profile[parsed.prefix] += static_cast<int>(std::count_if(
        times.begin(), times.end(), [](uint32_t t) { return t > kNow - 3600; }));
    ++files;
    total_rows += times.size();
    support::release_list_rows(list_);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  EXPECT_EQ(files, activity.files.size());
  EXPECT_EQ(total_rows, activity.rows());
  EXPECT_GT(renames, 0u);
  EXPECT_TRUE(ui::journal().empty());  // no damage, nothing to report

  // Five profiles, each with a file for each of the last four local dates and
  // some events in the last hour, so that a quick report over recent hours finds them.
  std::set<uint32_t> want_days;
  for (int back = 0; back < support::kDemoActivityDays; ++back) want_days.insert(nominal_time(back));
  ASSERT_EQ(days_by_profile.size(), 5u);
  for (support::DemoProfile profile : support::kDemoProfiles) {
    const char* name = support::demo_profile_name(profile);
    EXPECT_EQ(days_by_profile[name], want_days) << name;
    EXPECT_GE(last_hour_by_profile[name], 3) << name;
  }
  // Varied events: logons and failures of several kinds, file actions, directory and policy changes.
  EXPECT_GE(activities.size(), 20u);
}

}  // namespace
