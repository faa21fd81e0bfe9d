// Report screens as the host shows them: each log file list's event fills it
// with the current server's current or archived log files, and the archive and
// restore buttons move the files of the rows selected there; the custom report's
// pattern list runs the report of its patterns on the selected server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "sim/demo_activity.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kNow = 1796551200;
constexpr uint16_t kScreenKey = 52;
constexpr uint32_t kCurrentLogs = 0x60F40049, kArchivedLogs = 0x60F4004A;

class ReportScreens : public support::LibraryTest {
 protected:
  void SetUp() override {
    activity_ = support::add_known_demo_server(world_, kNow);
    LibraryTest::SetUp();
    start();
    screen_ = host::create_screen(kScreenKey, "Log Files");
    HWND servers = support::add_server_list(library_, screen_, {});
    ui::click_row(servers, 0);
  }

  HWND list(uint32_t id, int item) {
    return host::add_control(screen_, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  }
  // The list emptied (its records back to the library) and filled again by its event.
  std::vector<std::string> listed(HWND files) {
    support::release_list_rows(files, false,
                               reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list")),
                               reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item")));
    EXPECT_EQ(host::send_list_event(library_, files), 1u);
    return support::list_column(files);
  }
  DWORD press(uint32_t id, int companion) {
    HWND button = host::add_control(screen_, 1600 + (id & 0xFF), "Button", "",
                                    host::ControlSpec{id, kDescriptorPushButton, kScreenKey,
                                                      static_cast<uint16_t>(companion)});
    return library_.entry_point_button_services(screen_, 0, host::descriptor_of(button));
  }

  support::DemoActivity activity_;
  HWND screen_ = nullptr;
};

TEST_F(ReportScreens, EachListShowsItsFolderAndTheButtonsMoveTheSelectedFiles) {
  HWND current = list(kCurrentLogs, 1101), archived = list(kArchivedLogs, 1102);
  std::vector<std::string> names = listed(current);
  ASSERT_EQ(names.size(), activity_.files.size());
  for (const support::DemoLogFile& f : activity_.files)
    EXPECT_NE(std::find(names.begin(), names.end(), fs::path(f.path).filename().string()), names.end()) << f.path;
  // No archive folder yet: said, and nothing listed.
  EXPECT_TRUE(listed(archived).empty());
  EXPECT_TRUE(support::journal_has("Archive Path not found or no permissions"));

  const std::string name = names.front();
  support::set_row_selected(current, 0);
  ui::script({"ARCHIVE REPORT LOG(S)?", IDOK, "", {}});
  EXPECT_EQ(press(0x6041000B, 1101), 1u);
  EXPECT_TRUE(fs::exists(activity_.folder + "/archived_logs/" + name));
  EXPECT_EQ(listed(archived), std::vector<std::string>{name});
  EXPECT_EQ(listed(current).size(), names.size() - 1);

  support::set_row_selected(archived, 0);
  ui::script({"RESTORE REPORT LOG(S)?", IDOK, "", {}});
  EXPECT_EQ(press(0x60410934, 1102), 1u);
  EXPECT_TRUE(fs::exists(activity_.folder + "/" + name));
  EXPECT_TRUE(listed(archived).empty());
  listed(current);
  support::release_list_rows(current, false,
                             reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list")),
                             reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item")));
}

TEST_F(ReportScreens, TheCustomReportPatternsRunOnTheSelectedServerIntoTheirCompanion) {
  size_t logon_rows = 0;
  for (const support::DemoLogFile& f : activity_.files)
    if (f.profile == support::DemoProfile::Logons || f.profile == support::DemoProfile::FailedLogons)
      logon_rows += f.row_times.size();
  ASSERT_GT(logon_rows, 0u);
  HWND servers = list(0x6044001A, 1201);
  HWND report = list(0x60240001, 1902);
  HWND patterns = host::add_control(screen_, 1203, WC_LISTVIEWA, "",
                                    host::ControlSpec{0x6044001B, kDescriptorListView, kScreenKey, 1902});
  host::send_list_event(library_, report);  // the logon view's columns
  support::insert_list_rows(servers, {{"SRV01", nullptr}});
  support::set_row_selected(servers, 0);
  EXPECT_EQ(host::send_list_event(library_, patterns), 1u);
  EXPECT_TRUE(support::journal_has("VORNIX message from QVMR0007.DLL", "No Profiles Defined - Unable to continue Custom Report."));
  EXPECT_EQ(SendMessageA(report, LVM_GETITEMCOUNT, 0, 0), 0);

  support::insert_list_rows(patterns, {{"LOGON*", nullptr}, {"*ed?Logons", nullptr}});
  EXPECT_EQ(host::send_list_event(library_, patterns), 1u);
  EXPECT_EQ(static_cast<size_t>(SendMessageA(report, LVM_GETITEMCOUNT, 0, 0)), logon_rows);
  support::release_list_rows(report, false,
                             reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list")),
                             reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item")));
}

}  // namespace
