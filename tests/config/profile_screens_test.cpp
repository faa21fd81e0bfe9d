// The profile screens through the exports: the creation dialog, the alert
// filter dialog, form lists and paired-list moves, as the host drives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "tests/support/library_fixture.h"

namespace {

constexpr uint16_t kScreenKey = 31;

class ProfileScreens : public support::LibraryTest {
 protected:
  void SetUp() override {
    // The console machine is the current server when no server row is selected.
    world_.add_registry_text(world_.console(), "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles]\r\n\r\n");
    support::LibraryTest::SetUp();
    start();
    screen_ = host::create_screen(kScreenKey, "Profiles");
    list_ = add_list(0x60240001, 100);
  }

  HWND add_list(uint32_t id, int item) {
    host::ControlSpec layout;
    layout.control_id = id;
    layout.kind = kDescriptorListView;
    return host::add_control(screen_, item, WC_LISTVIEWA, "", layout);
  }

  DWORD press(uint32_t id, int companion_item = 100, int second_item = 0) {
    host::ControlSpec layout;
    layout.control_id = id;
    layout.kind = kDescriptorPushButton;
    layout.companion_key = kScreenKey;
    layout.companion_item = static_cast<uint16_t>(companion_item);
    HWND button = host::add_control(screen_, 3000 + static_cast<int>(id & 0xFF), "Button", "", layout);
    uintptr_t* d = host::descriptor_of(button);
    d[6] = static_cast<uintptr_t>(kScreenKey) | static_cast<uintptr_t>(second_item) << 16;  // second companion
    return library_.entry_point_button_services(screen_, 0, d);
  }

  std::vector<std::string> rows(HWND list) {
    std::vector<std::string> out;
    for (int r = 0; r < SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++r) {
      char text[300] = {};
      LVITEMA item = {};
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
      out.push_back(text);
    }
    return out;
  }

  std::string product_value(const char* subkey, const char* name) {
    std::string path = std::string("SOFTWARE\\Brightmere Software, Inc.\\VORNIX") + subkey;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char data[300] = {};
    DWORD size = sizeof data - 1;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(data, size) : "<none>";
  }

  HWND screen_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(ProfileScreens, TheCreationDialogNamesTheServerAndRefusesABadNameUntilRevised) {
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "bad\\name"}}});
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, ".Night Logons"}}});
  EXPECT_EQ(press(0x602100CC), 1u);
  std::vector<ui::JournalEntry> shown = ui::journal();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Profile Name cannot contain a slash, please revise.");
  EXPECT_EQ(shown[1].template_name, "ADD_PROFILE");
  EXPECT_EQ(shown[1].title, "Add VORNIX Tracking Profile on Server CONSOLE01");
  EXPECT_NE(shown[1].text.find("Select Profile Type to create:"), std::string::npos);
  EXPECT_EQ(shown[1].result, IDOK);
  EXPECT_EQ(product_value("\\Profiles\\Night Logons", "CreatedBy").rfind("<unknown>", 0) == 0 ||
                product_value("\\Profiles\\Night Logons", "CreatedBy").find(" on CONSOLE01") != std::string::npos,
            true);
  EXPECT_TRUE(service_called("host_refresh_control"));

  // Cancel leaves everything as it was.
  ui::clear_journal();
  ui::script({"ADD_PROFILE", IDCANCEL, "", {{1103, "Other"}}});
  EXPECT_EQ(press(0x60210027), 1u);
  EXPECT_EQ(product_value("\\Profiles\\Other", "ProfileType"), "<no key>");
}

TEST_F(ProfileScreens, DeletingAskForEachSelectedProfile) {
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "Keep"}}});
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "Drop"}}});
  press(0x6021002A);
  press(0x6021002A);
  EXPECT_EQ(press(0x60210028), 0u) << "nothing selected";
  LVITEMA row = {};
  row.mask = LVIF_TEXT | LVIF_STATE;
  row.pszText = const_cast<char*>("Drop");
  row.state = row.stateMask = LVIS_SELECTED;
  SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
  ui::clear_journal();
  EXPECT_EQ(press(0x60210028), 1u);
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].title, "CONFIRM PROFILE DELETE");
  EXPECT_EQ(product_value("\\Profiles\\Drop", "ProfileType"), "<no key>");
  EXPECT_NE(product_value("\\Profiles\\Keep", "ProfileType"), "<no key>");
}

TEST_F(ProfileScreens, ServerWideFiltersIpRangesAndPairedMoves) {
  ui::script({"EMAIL_ALERTS_POPTS", IDOK, "", {{1111, "svc_;backup"}, {1112, "admin"}}});
  EXPECT_EQ(press(0x6021003E), 1u);
  EXPECT_EQ(product_value("", "EmailAlertsNotAccounts"), "svc_;backup");
  EXPECT_EQ(product_value("", "EmailAlertsOKAccounts"), "admin");
  ui::script({"EMAIL_ALERTS_POPTS", IDOK, "", {{1112, "adm?"}}});
  ui::script({"EMAIL_ALERTS_POPTS", IDCANCEL, "", {}});
  EXPECT_EQ(press(0x6021003E), 1u);
  EXPECT_EQ(product_value("", "EmailAlertsOKAccounts"), "admin");

  // The eight octet fields of the range dialog, then the button that takes the range.
  HWND ranges = add_list(0x6024002B, 101);
  const char* octets[8] = {"10", "0", "0", "1", "10", "0", "0", "9"};
  for (int i = 0; i < 8; ++i) {
    host::ControlSpec layout;
    layout.control_id = 0x6028002F + static_cast<uint32_t>(i);
    layout.kind = kDescriptorEditField;
    host::add_control(screen_, 500 + i, "Edit", octets[i], layout);
  }
  EXPECT_EQ(press(0x60210037, 101), 1u);
  EXPECT_EQ(rows(ranges), (std::vector<std::string>{"10.0.0.1 through 10.0.0.9"}));

  // A selected row moves to the paired list; a text already there is not doubled.
  HWND other = add_list(0x6024002D, 102);
  LVITEMA row = {};
  row.mask = LVIF_STATE;
  row.state = row.stateMask = LVIS_SELECTED;
  SendMessageA(ranges, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(press(0x60210105, 101, 102), 1u);
  EXPECT_TRUE(rows(ranges).empty());
  EXPECT_EQ(rows(other), (std::vector<std::string>{"10.0.0.1 through 10.0.0.9"}));

  // The server-wide list event fills the list from the product key.
  HWND emails = add_list(0x603400AC, 103);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\AlertEmails", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            0);
  DWORD when = 1;
  RegSetValueExA(key, "ops@brightmere.com", 0, REG_DWORD, reinterpret_cast<BYTE*>(&when), 4);
  RegCloseKey(key);
  EXPECT_EQ(host::send_list_event(library_, emails), 1u);
  EXPECT_EQ(rows(emails), (std::vector<std::string>{"ops@brightmere.com"}));
}

}  // namespace
