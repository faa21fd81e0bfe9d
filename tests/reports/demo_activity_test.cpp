// The demo servers' generated activity, found as the library finds it: the
// ReportPath value of the server's registry names the share, the log folder
// is listed over the network path, and every file is read by the log reader
// into the rows that were written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "tests/support/demo_activity.h"
#include "tests/support/list_rows.h"
#include "tests/support/time_zone.h"
#include "tests/support/world_builder.h"
#include "win32/ui_script.h"

namespace {

constexpr uint64_t kNow = 1796551200;  // 2026-12-06 10:00 UTC, 05:00 in New York

using Row = support::ListRow;

class DemoActivity : public ::testing::Test {
 protected:
  support::TimeZone zone_{"EST5EDT,M3.2.0,M11.1.0"};  // local dates differ from UTC dates

  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    activity_ = support::add_demo_activity(world_, "SRV01", kNow);
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.search_cancel = 0;
    g_report_run = ReportRunState{};
    std::memset(&g_quick_report, 0, sizeof g_quick_report);
    screen_ = CreateWindowExA(0, "VornixScreen", "Report", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    list_ = make_list(1);
    std::memset(context_, 0, sizeof context_);
    set_row_server_name(context_, "SRV01");
    ui::clear_journal();
  }

  void TearDown() override {
    release_rows(list_);
    for (HWND l : g_quick_report.lists)
      if (l) release_rows(l);
    release_registry_connections();
  }

  HWND make_list(int id) {
    return CreateWindowExA(0, "SysListView32", "", WS_CHILD, 0, 0, 100, 100, screen_,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }

  std::vector<Row> rows(HWND list) { return support::list_rows(list); }
  void release_rows(HWND list) { support::release_list_rows(list); }

  // The log folder as the library forms it from the server's ReportPath.
  std::string log_folder() {
    char folder[kLogFolderBytes] = {};
    EXPECT_EQ(read_log_folders("SRV01", "UNABLE TO GET REPORT SHARE", folder, nullptr, sizeof folder), 0u);
    return folder;
  }

  std::vector<std::string> list_folder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + kLogFilePattern).c_str(), &found);
    EXPECT_NE(search, INVALID_HANDLE_VALUE) << folder;
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  // The summary of a file of the activity, by its name.
  const support::DemoLogFile* written(const std::string& name) {
    for (const support::DemoLogFile& f : activity_.files)
      if (f.path == activity_.folder + "/" + name) return &f;
    return nullptr;
  }

  support::WorldBuilder world_;
  support::DemoActivity activity_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr, list_ = nullptr;
  BYTE context_[kRowContextBytes];
};

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

TEST_F(DemoActivity, EveryDayAndProfileIsAFileInTheLogShareThatDecodesIntoTheRowsWritten) {
  std::string folder = log_folder();
  EXPECT_EQ(folder, "\\\\SRV01\\VNXLOGS$\\vnxlogs\\");
  std::vector<std::string> names = list_folder(folder);
  ASSERT_EQ(names.size(), activity_.files.size());

  std::map<std::string, std::set<uint32_t>> days_by_profile;
  std::set<std::string> activities;
  size_t total_rows = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    LogFileName parsed;
    ASSERT_TRUE(parse_log_file_name(name.c_str(), &parsed));
    EXPECT_STREQ(parsed.server, "SRV01");
    days_by_profile[parsed.prefix].insert(parsed.nominal_time);
    const support::DemoLogFile* file = written(name);
    ASSERT_NE(file, nullptr);

    std::string path = folder + name;
    LogReadRequest request = {list_, 0, path.c_str(), context_, {0, 0}, nullptr};
    read_activity_log(&request);
    std::vector<Row> got = rows(list_);
    ASSERT_EQ(got.size(), file->row_times.size());
    // Each row carries the event time written, within the file's local day and never after now.
    for (size_t i = 0; i < got.size(); ++i) {
      void* item = nullptr;
      LogFamily family = row_item(got[i].record, &item);
      ASSERT_NE(item, nullptr);
      uint32_t t = row_item_event_time(family, item);
      EXPECT_EQ(t, file->row_times[i]);
      EXPECT_LE(t, kNow);
      EXPECT_GT(t + 22 * 3600 + 1, parsed.nominal_time);  // not before the local midnight of its date
      EXPECT_LT(t, parsed.nominal_time + 2 * 3600);        // nor after its end
      activities.insert(got[i].text);
    }
    total_rows += got.size();
    release_rows(list_);
  }
  EXPECT_EQ(total_rows, activity_.rows());
  EXPECT_TRUE(ui::journal().empty());  // no damage, nothing to report

  // Five profiles, each with a file for each of the last four local dates.
  std::set<uint32_t> want_days;
  for (int back = 0; back < support::kDemoActivityDays; ++back) want_days.insert(nominal_time(back));
  ASSERT_EQ(days_by_profile.size(), 5u);
  for (support::DemoProfile profile : support::kDemoProfiles)
    EXPECT_EQ(days_by_profile[support::demo_profile_name(profile)], want_days) << support::demo_profile_name(profile);
  // Varied events: logons and failures of several kinds, file actions, directory and policy changes.
  EXPECT_GE(activities.size(), 20u);
}

TEST_F(DemoActivity, AQuickReportOverTheLastHoursFindsTodaysLatestEvents) {
  for (int i = 0; i < kQuickListCount; ++i) g_quick_report.lists[i] = make_list(kQuickListControls[i]);
  copy_text(g_quick_report.server_name, sizeof g_quick_report.server_name, "SRV01");
  g_quick_report.state = kQuickReportRunning;
  g_quick_report.maximum_rows = 100000;
  g_quick_report.window_start = static_cast<uint32_t>(kNow - 2 * 3600);
  g_quick_report.window_end = static_cast<uint32_t>(kNow + 86400);
  size_t want = 0, want_per_list[kQuickListCount] = {};
  std::string folder = log_folder();
  for (const std::string& name : list_folder(folder)) {
    const support::DemoLogFile* file = written(name);
    ASSERT_NE(file, nullptr);
    for (uint32_t t : file->row_times) {
      if (t <= g_quick_report.window_start || t > g_quick_report.window_end) continue;
      ++want;
      switch (file->profile) {
        case support::DemoProfile::Logons:
        case support::DemoProfile::FailedLogons: want_per_list[kQuickListLogon]++; break;
        case support::DemoProfile::Shares: want_per_list[kQuickListFileSystem]++; break;
        case support::DemoProfile::DirectoryChanges: want_per_list[kQuickListDirectory]++; break;
        case support::DemoProfile::GroupPolicy: want_per_list[kQuickListGpo]++; break;
      }
    }
    std::string path = folder + name;
    LogReadRequest request = {nullptr, 0, path.c_str(), nullptr, {0, 0}, nullptr};
    read_activity_log(&request);
  }
  // Every profile logged within the last hour.
  EXPECT_GE(want, 3u * 5u);
  EXPECT_EQ(g_quick_report.row_count, want);
  for (int i = 0; i < kQuickListCount; ++i) {
    std::vector<Row> got = rows(g_quick_report.lists[i]);
    EXPECT_EQ(got.size(), want_per_list[i]) << kQuickListControls[i];
    for (const Row& row : got) EXPECT_STREQ(row_server_name(row.record), "SRV01");
  }
}

}  // namespace
