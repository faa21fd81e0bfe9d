// The request status display fields of the enterprise host screens, asked of
// the text entry point as the host asks: they follow the selected row of the
// main server list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "net/tcp_requests.h"
#include "tests/support/library_fixture.h"

namespace {

constexpr uint16_t kScreenKey = 40;
constexpr int kStatusItem = 1300;
constexpr char kPrompt[] = "<Use 'Get' Button to retrieve>";

class RequestStatusField : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Enterprise hosts");
    host::ControlSpec list;
    list.control_id = 0x602400A1;
    list.kind = kDescriptorListView;
    list_ = host::add_control(screen_, 1001, WC_LISTVIEWA, "", list);
    for (int i = 0; i < 2; ++i) {
      std::memset(records_[i], 0, sizeof records_[i]);
      LVITEMA row = {};
      row.mask = LVIF_TEXT | LVIF_PARAM;
      row.iItem = i;
      row.pszText = const_cast<char*>(i == 0 ? "SRV01" : "SRV02");
      row.lParam = reinterpret_cast<LPARAM>(records_[i]);
      SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
    host::ControlSpec field;
    field.control_id = kRequestStatusField;
    field.kind = kDescriptorKind3;
    status_ = host::add_control(screen_, kStatusItem, "Static", "before", field);
    start();
    host::send_list_event(library_, list_, 0x602400A1);
  }

  // Into the host's buffer, as for a list cell.
  std::string field_text(uint32_t field, LONG* value = nullptr) {
    char text[2048] = "untouched";
    LONG out = 0;
    EXPECT_EQ(library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, &out, 0, 0, 0, field, 7), 0u);
    if (value) *value = out;
    return text;
  }

  void set_status(int row, DWORD status, DWORD reported) {
    set_item_word(records_[row], kItemWordRequestStatus, status);
    set_item_word(records_[row], kItemWordReportedState, reported);
  }

  uint8_t records_[2][kListItemBytes];
  HWND screen_ = nullptr, list_ = nullptr, status_ = nullptr;
};

TEST_F(RequestStatusField, BothFieldsFollowTheSelectedServerRow) {
  set_status(0, kRequestConnectFailed, 7);
  set_status(1, kRequestAnswered, 66);
  // No row selected: no record, so no request made yet.
  EXPECT_EQ(field_text(kRequestStatusField), kPrompt);
  EXPECT_EQ(field_text(kRequestValueField), kPrompt);

  ASSERT_TRUE(ui::click_row(list_, 0));
  LONG value = 0;
  EXPECT_EQ(field_text(kRequestStatusField, &value), "NO - failed to connect, agent probably not running");
  EXPECT_EQ(value, -3);
  EXPECT_EQ(field_text(kRequestValueField), "7");

  ASSERT_TRUE(ui::click_row(list_, 1));
  EXPECT_EQ(field_text(kRequestStatusField), "YES");
  EXPECT_EQ(field_text(kRequestValueField), "66");

  // A status the table does not name, then a record with no request made yet.
  set_status(1, 0x5A, 3);
  EXPECT_EQ(field_text(kRequestStatusField), "Error [5a] occurred in response");
  set_status(1, 0, 3);
  EXPECT_EQ(field_text(kRequestValueField), kPrompt);
}

TEST_F(RequestStatusField, WithoutTheBufferFlagTheTextGoesToTheControlAndOtherModulesAreNotServed) {
  set_status(0, kRequestNameUnresolved, 0);
  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_EQ(library_.entry_point_text_services(screen_, host::descriptor_of(status_), 0, 0, 0, 0, nullptr, nullptr,
                                               0, 0, 0, kRequestStatusField, 7),
            0u);
  char shown[200] = {};
  GetWindowTextA(status_, shown, sizeof shown);
  EXPECT_STREQ(shown, "NOT FOUND - unable to determine server's IP address");

  char text[2048] = "untouched";
  EXPECT_EQ(library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, nullptr, 0, 0, 0,
                                               kRequestStatusField, 8),
            4061u);
  EXPECT_STREQ(text, "untouched");
}

}  // namespace
