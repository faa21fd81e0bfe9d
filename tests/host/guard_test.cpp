// The unsaved-changes guard of the main server list, the console's server list.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

constexpr uint16_t kScreenKey = 30;
constexpr int kSaveItem = 1100;

// What reached the server screen's own procedure.
std::vector<UINT> g_screen_messages;
std::vector<int> g_commands;

LRESULT CALLBACK screen_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  g_screen_messages.push_back(message);
  if (message == WM_COMMAND) g_commands.push_back(LOWORD(wparam));
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Guard : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    g_commands.clear();
    screen_ = host::create_screen(kScreenKey, "Server configuration");
    SetWindowLongPtrA(screen_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(screen_proc));
    start();
    list_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}, {"SRV02", records_[1]}});
    save_ =
        host::add_control(screen_, kSaveItem, "Button", "Save", host::ControlSpec{0x603100D5, kDescriptorPushButton});
    edit_ = host::add_control(screen_, 1200, "Edit", "logs", host::ControlSpec{0x603800C9, kDescriptorEditField});
    check_ = host::add_control(screen_, 1201, "Button", "", host::ControlSpec{0x603800CC, kDescriptorCheckBox});

    ASSERT_TRUE(ui::click_row(list_, 0));
    ui::clear_journal();
    g_screen_messages.clear();
    host::descriptor_of(edit_)[kDescWordEditCounter] = 150;
    host::descriptor_of(check_)[kDescWordCheckBoxCounter] = 120;
  }

  void mark_unsaved() { set_item_word(records_[0], kItemWordUnsavedMark, kUnsavedChanges); }

  void expect_counters_refreshed() {
    EXPECT_EQ(host::descriptor_of(edit_)[kDescWordEditCounter], 101u);
    EXPECT_EQ(host::descriptor_of(check_)[kDescWordCheckBoxCounter], 101u);
  }

  uint8_t records_[2][kListItemBytes] = {};
  HWND screen_ = nullptr, list_ = nullptr, save_ = nullptr, edit_ = nullptr, check_ = nullptr;
};

TEST_F(Guard, UnsavedChangesAreSavedWhenTheUserChoosesSave) {
  mark_unsaved();
  ui::script({"_A_MSG_BOX", 0, "Save", {}});
  ASSERT_TRUE(ui::click_row(list_, 1));

  auto shown = ui::journal();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].template_name, "_A_MSG_BOX");
  EXPECT_NE(shown[0].text.find("Changes for current server have not yet been saved.\nTo continue, please click Save or "
                               "Discard"), std::string::npos);
  EXPECT_NE(shown[0].thread, GetCurrentThreadId()) << "the prompt runs on a thread of its own";
  EXPECT_EQ(g_commands, std::vector<int>{kSaveItem});
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);
  expect_counters_refreshed();
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
}

TEST_F(Guard, WithoutUnsavedChangesNothingIsAskedAndTheScreenStillHearsOfTheChange) {
  ASSERT_TRUE(ui::click_row(list_, 1));
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(std::count(g_screen_messages.begin(), g_screen_messages.end(), static_cast<UINT>(WM_NOTIFY)), 4);
  expect_counters_refreshed();
}

TEST_F(Guard, TheCustomReportListIsNotGuardedDiscardClearsTheMarkAndUnloadingUnhooks) {
  static uint8_t unsaved[kListItemBytes];
  set_item_word(unsaved, kItemWordUnsavedMark, kUnsavedChanges);
  HWND reports_screen = host::create_screen(kScreenKey + 1, "Custom reports");
  HWND reports = host::add_control(reports_screen, 1001, WC_LISTVIEWA, "",
                                   host::ControlSpec{0x602400A1, kDescriptorListView});
  support::insert_list_rows(reports, {{"SRV01", unsaved}, {"SRV02", nullptr}});
  EXPECT_EQ(host::send_list_event(library_, reports, 0x602400A1), 4061u);
  ASSERT_TRUE(ui::click_row(reports, 0));
  ASSERT_TRUE(ui::click_row(reports, 1));
  EXPECT_TRUE(ui::journal().empty()) << "leaving a custom report row asks nothing";

  // The console's server list is still the one guarded; Discard clears the mark and repaints Save.
  mark_unsaved();
  ui::script({"_A_MSG_BOX", 0, "Discard", {}});
  int repaints = ui::invalidate_count(save_);
  ASSERT_TRUE(ui::click_row(list_, 1));
  EXPECT_EQ(ui::journal().size(), 1u);
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(ui::invalidate_count(save_), repaints + 1);
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);
  expect_counters_refreshed();

  // Unloading gives the screen its procedure back.
  host::unload_library(&library_);
  ui::clear_journal();
  set_item_word(records_[1], kItemWordUnsavedMark, kUnsavedChanges);
  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(GetWindowLongPtrA(screen_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(screen_proc));
}

}  // namespace
