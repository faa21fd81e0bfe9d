// The quick report's dialog as the host shows it: pressing the run button
// remembers its fields under the console user's QUICKRPT key, and the run reads
// its window back from there.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "host/control_descriptor.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "sim/demo_activity.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "tests/support/time_zone.h"

namespace {

constexpr uint64_t kNow = 1796551200;
constexpr uint16_t kServerKey = 50, kReportKey = 51;
constexpr char kQuickReportKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT";

class QuickReportSettings : public support::LibraryTest {
 protected:
  void SetUp() override {
    activity_ = support::add_known_demo_server(world_, kNow);
    world_.set_clock_start(kNow);
    LibraryTest::SetUp();
    start();
    HWND servers_screen = host::create_screen(kServerKey, "Servers");
    servers_ = support::add_server_list(library_, servers_screen, {});
    screen_ = host::create_screen(kReportKey, "Quick Report");
    button_ = host::add_control(screen_, 1900, "Button", "",
                                host::ControlSpec{kQuickReportButton, kDescriptorPushButton, kServerKey, 1001});
    for (int i = 0; i < kQuickListCount; ++i)
      lists_[i] = host::add_control(screen_, kQuickListControls[i], WC_LISTVIEWA, "",
                                    host::ControlSpec{0x60240001, kDescriptorListView});
    status_ = host::add_control(screen_, kQuickStatusItem, "Static", "", host::ControlSpec{});
  }

  HWND field(uint32_t id, const char* class_name, const std::string& text = "", DWORD style = 0) {
    HWND control = host::add_control(screen_, next_item_++, class_name, text.c_str(),
                                     host::ControlSpec{id, kDescriptorEditField});
    if (style) SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | style);
    return control;
  }
  HWND box(uint32_t id, bool checked) {
    HWND control = host::add_control(screen_, next_item_++, "Button", "", host::ControlSpec{id, kDescriptorCheckBox});
    SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return control;
  }

  // Presses the run button for SRV01 and waits until the run has said how it ended; the rows read.
  size_t run() {
    ui::click_row(servers_, 0);
    SetWindowTextA(status_, "");
    EXPECT_EQ(library_.entry_point_button_services(screen_, 0, host::descriptor_of(button_)), 1u);
    std::string ended;
    for (int i = 0; i < 1000 && (ended.empty() || ended.rfind("Reading file", 0) == 0); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      char text[300] = {};
      GetWindowTextA(status_, text, sizeof text);
      ended = text;
    }
    EXPECT_EQ(ended.rfind("Reading file", 0), std::string::npos) << "the run did not end";
    // The worker goes idle right after it says how the run ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    size_t rows = 0;
    for (HWND list : lists_) {
      rows += static_cast<size_t>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
      support::release_list_rows(list, true, export_of<support::AllocRecordFn>("alloc_memory_for_list"),
                                 export_of<support::DeleteRecordFn>("delete_list_item"));
    }
    return rows;
  }

  template <typename Fn>
  Fn export_of(const char* name) {
    return reinterpret_cast<Fn>(host::export_address(library_, name));
  }

  static std::vector<std::string> remembered() {
    std::vector<std::string> out;
    support::dump_registry(HKEY_CURRENT_USER, kQuickReportKey, "", out, false);
    return out;
  }

  support::DemoActivity activity_;
  HWND servers_ = nullptr, screen_ = nullptr, button_ = nullptr, status_ = nullptr;
  HWND lists_[kQuickListCount] = {};
  int next_item_ = 2000;
};

TEST_F(QuickReportSettings, TheRunButtonRemembersTheDialogAndTheRunReadsItsWindowBack) {
  // A screen without the dialog's fields leaves what was remembered.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kQuickReportKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD on = 1;
  RegSetValueExA(key, "_ALLDATES", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  RegCloseKey(key);
  ASSERT_GT(activity_.rows(), 0u);
  EXPECT_EQ(run(), activity_.rows()) << "all dates: every row";
  EXPECT_EQ(remembered(), (std::vector<std::string>{"", ":_ALLDATES=4:1"}));

  // The dialog: the last two days, at most 10 rows, the file system and logon families, a search text
  // switched off; the other number fields and boxes empty, the dates "none".
  field(0x60480D0D, "Edit", "2");
  HWND days = box(0x60410D0E, true);
  field(0x60480D0F, "Edit", "");
  box(0x60410D10, false);
  field(0x60480D11, "Edit", "junk");
  box(0x60410D12, false);
  HWND from_field = field(0x60480D13, DATETIMEPICK_CLASSA, "", DTS_SHOWNONE);
  HWND to_field = field(0x60480D14, DATETIMEPICK_CLASSA, "", DTS_SHOWNONE);
  for (HWND date : {from_field, to_field}) EXPECT_EQ(SendMessageA(date, DTM_SETSYSTEMTIME, GDT_NONE, 0), TRUE);
  box(0x60410D15, true);
  box(0x60410D16, true);
  box(0x60410D17, false);
  box(0x60410D18, false);
  field(0x60480D19, "Edit", "10");
  HWND stop = box(0x60480D1A, true);
  field(0x60480D1B, "Edit", "payroll");
  box(0x60480D1C, false);
  HWND all_dates = box(0x60410D0A, false);
  size_t limited = run();
  EXPECT_EQ(remembered(), (std::vector<std::string>{"", ":LASTXDAYS=4:2", ":STOPXRECS=4:10", ":TYPE_LL=4:1",
                                                    ":TYPE_FS=4:1", ":_LASTXDAYS=4:1", ":_STOPXRECS=4:1",
                                                    ":SEARCH001=1:payroll|"}));
  EXPECT_GE(limited, 11u) << "the row that passes the maximum, then the limit row";
  EXPECT_LT(limited, 16u);

  // Without the maximum: the rows of the last two days, fewer than all of them.
  SendMessageA(stop, BM_SETCHECK, BST_UNCHECKED, 0);
  size_t two_days = run();
  EXPECT_GT(two_days, limited);
  EXPECT_LT(two_days, activity_.rows());

  // From and to dates: the window is theirs, written as the local times they hold.
  SendMessageA(days, BM_SETCHECK, BST_UNCHECKED, 0);
  support::TimeZone utc("UTC0");
  SYSTEMTIME from = {2026, 12, 0, 1, 0, 0, 0, 0}, to = {2026, 12, 0, 31, 23, 59, 59, 0};
  SendMessageA(from_field, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&from));
  SendMessageA(to_field, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(run(), activity_.rows());
  std::vector<std::string> dates = remembered();
  EXPECT_NE(std::find(dates.begin(), dates.end(), ":FROMDATE=4:" + std::to_string(1796083200)), dates.end());
  EXPECT_NE(std::find(dates.begin(), dates.end(), ":TODATE=4:" + std::to_string(1798761599)), dates.end());
  EXPECT_NE(std::find(dates.begin(), dates.end(), ":_FROMTODATE=4:1"), dates.end());
  EXPECT_EQ(std::find(dates.begin(), dates.end(), ":_LASTXDAYS=4:1"), dates.end());

  SendMessageA(all_dates, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(run(), activity_.rows());
}

}  // namespace
