// How fields are presented when a screen is built, and how the user's changes
// mark the current server unsaved, through the exports as the host calls them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

using DisplayFn = DWORD(WINAPI*)(uintptr_t, DWORD, HWND, DWORD, void*);
using ChangeFn = DWORD(WINAPI*)(uintptr_t, DWORD, uintptr_t, uintptr_t*);

class EditFields : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    screen_ = host::create_screen(30, "Server configuration");
    start();
  }

  HWND add(int item, const char* class_name, const char* text, uint32_t id, uint32_t kind) {
    return host::add_control(screen_, item, class_name, text, host::ControlSpec{id, kind});
  }
  static std::string text_of(HWND control) {
    char text[300] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
  }
  template <typename Fn>
  Fn exported(const char* name) {
    return reinterpret_cast<Fn>(host::export_address(library_, name));
  }

  HWND screen_ = nullptr;
};

TEST_F(EditFields, EachFieldIsPresentedByItsRule) {
  HWND area = add(1, "Edit", "old", 0x60380116, kDescriptorEditField);
  HWND include = add(3, "Button", "", 0x602800BC, kDescriptorCheckBox);
  HWND retain = add(4, "Button", "", 0x6038008F, kDescriptorCheckBox);
  HWND log_path = add(5, "Edit", "old", 0x6038008B, kDescriptorEditField);
  HWND hidden_emptied = add(6, "Edit", "old", 0x60280057, kDescriptorEditField);
  HWND hidden = add(7, "Edit", "old", 0x60280058, kDescriptorEditField);
  HWND kept = add(8, "Edit", "old", 0x60280053, kDescriptorEditField);
  HWND unknown = add(10, "Edit", "old", 0x60380999, kDescriptorEditField);
  add(11, "Edit", "SQL01", 0x603800DA, kDescriptorEditField);
  HWND summary = CreateWindowExA(0, "VornixScreen", "Summary", WS_CHILD, 0, 0, 300, 200, screen_, nullptr, nullptr,
                                 nullptr);
  HWND sql_server = host::add_control(summary, 1, "Edit", "", host::ControlSpec{0x603200E1, kDescriptorEditField});
  SendMessageA(retain, BM_SETCHECK, BST_CHECKED, 0);
  MoveWindow(hidden_emptied, 0, 0, 100, 20, TRUE);
  MoveWindow(hidden, 0, 0, 100, 20, TRUE);

  auto display = exported<DisplayFn>("check_if_text_to_be_displayed");
  uint8_t record[kListItemBytes] = {};
  struct Case {
    HWND field;
    DWORD result;
  };
  for (const Case& c : {Case{area, 1}, {include, 1}, {retain, 3}, {log_path, 3}, {hidden_emptied, 1}, {hidden, 4061},
                        {kept, 1}, {unknown, 4061}}) {
    EXPECT_EQ(display(0, descriptor_identifier(host::descriptor_of(c.field)), screen_, GetDlgCtrlID(c.field), record),
              c.result)
        << std::hex << descriptor_identifier(host::descriptor_of(c.field));
  }
  EXPECT_EQ(display(0, 0x603200E1, summary, 1, record), 1u);

  EXPECT_EQ(SendMessageA(area, EM_GETLIMITTEXT, 0, 0), 30);
  EXPECT_EQ(SendMessageA(include, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(retain, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ((std::vector<std::string>{text_of(log_path), text_of(hidden_emptied), text_of(hidden), text_of(kept),
                                      text_of(unknown), text_of(sql_server)}),
            (std::vector<std::string>{"", "", "old", "old", "old", "SQL01"}));
  for (HWND field : {hidden_emptied, hidden}) {
    RECT size = {};
    GetClientRect(field, &size);
    EXPECT_EQ(size.right * size.bottom, 0);
  }
  EXPECT_EQ(item_word(record, 7), 0u);
  EXPECT_EQ(display(0, 0x602200AE, screen_, 99, record), 3u);
  EXPECT_EQ(item_word(record, 7), 0x101400A3u) << "the record of 0x602200AE names the shared list";
}

TEST_F(EditFields, ChangesMarkTheCurrentServerFromTheirThresholdAndRepaintSave) {
  uint8_t records[2][kListItemBytes] = {};
  HWND servers = support::add_server_list(library_, screen_, {{"SRV01", records[0]}, {"SRV02", records[1]}});
  HWND save = add(20, "Button", "Save", 0x603100D5, kDescriptorPushButton);
  HWND path = add(21, "Edit", "", 0x603800C9, kDescriptorEditField);
  HWND cycle = add(22, "Edit", "", 0x603800EF, kDescriptorEditField);
  HWND retain = add(23, "Button", "", 0x603800CC, kDescriptorCheckBox);
  auto edit_changed = exported<DWORD(WINAPI*)(uintptr_t, DWORD, HWND, uintptr_t*)>("QVA_process_changes_for_edit_text");
  auto box_changed = exported<ChangeFn>("QVA_process_changes_for_checkbox");
  auto changed = [&](HWND field) {
    uintptr_t* d = host::descriptor_of(field);
    return descriptor_kind(d) == kDescriptorCheckBox ? box_changed(0, descriptor_identifier(d), 0, d)
                                                     : edit_changed(0, descriptor_identifier(d), screen_, d);
  };
  auto counter = [](HWND field, int word) { return host::descriptor_of(field)[word]; };
  auto mark = [&] { return item_word(records[0], kItemWordUnsavedMark); };

  ASSERT_TRUE(ui::click_row(servers, 0));
  host::descriptor_of(path)[kDescWordEditCounter] = 100;
  host::descriptor_of(retain)[kDescWordCheckBoxCounter] = 99;
  host::descriptor_of(cycle)[kDescWordEditCounter] = 101;
  EXPECT_EQ(changed(path), 1u);
  EXPECT_EQ(changed(retain), 1u);
  EXPECT_EQ(changed(cycle), 1u);
  EXPECT_EQ(counter(cycle, kDescWordEditCounter), 101u) << "the refresh cycle field is never counted";
  EXPECT_EQ(mark(), 0u) << "101 is below an edit field's threshold, 100 below a check box's";

  int repaints = ui::invalidate_count(save);
  EXPECT_EQ(changed(retain), 1u);
  EXPECT_EQ(mark(), 2u) << "a check box marks at 101";
  EXPECT_EQ(ui::invalidate_count(save), repaints + 1);
  set_item_word(records[0], kItemWordUnsavedMark, 0);
  EXPECT_EQ(changed(path), 1u);
  EXPECT_EQ(counter(path, kDescWordEditCounter), 102u);
  EXPECT_EQ(mark(), 2u) << "an edit field marks at 102";
  set_item_word(records[0], kItemWordUnsavedMark, 0);
  host::descriptor_of(cycle)[kDescWordEditCounter] = 102;
  EXPECT_EQ(changed(cycle), 1u);
  EXPECT_EQ(mark(), 2u) << "the uncounted field still marks";
  EXPECT_EQ(item_word(records[1], kItemWordUnsavedMark), 0u);

  // The name pair joined into its display field; the copied field.
  HWND first = add(30, "Edit", "Ann", 0x10180165, kDescriptorEditField);
  add(31, "Edit", "Lee", 0x10180166, kDescriptorEditField);
  EXPECT_EQ(changed(first), 1u) << "no display field on the screen";
  HWND joined = add(32, "Edit", "", 0x101800BB, kDescriptorEditField);
  HWND copied = add(33, "Edit", "C:\\Audit", 0x10180168, kDescriptorEditField);
  HWND copy = add(34, "Edit", "", 0x101800BD, kDescriptorEditField);
  EXPECT_EQ(changed(first), 1u);
  EXPECT_EQ(changed(copied), 1u);
  EXPECT_EQ((std::vector<std::string>{text_of(joined), text_of(copy)}),
            (std::vector<std::string>{"Ann Lee", "C:\\Audit"}));
}

}  // namespace
