// The profile screens through the exports: the creation dialog, the alert
// filter dialog, form lists and paired-list moves, as the host drives them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/profile_lists.h"
#include "config/profiles.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/whole_file.h"

namespace {

constexpr uint16_t kScreenKey = 31;
constexpr char kAliceSid[] = "S-1-5-21-1004336348-1177238915-682003330-1105";

class ProfileScreens : public support::LibraryTest {
 protected:
  void SetUp() override {
    // The console machine is the current server when no server row is selected.
    world_.add_registry_text(world_.console(), "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles]\r\n\r\n");
    // A server with two profiles, one named as one of the console's, and a server that is down.
    world_.add_machine("SRV01", "127.0.0.2");
    const std::string profiles = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\";
    for (const char* profile : {"Remote", "Shared"})
      world_.add_registry_text("SRV01", "HKLM", profiles + profile + "]\r\n\"ProfileType\"=dword:00000110\r\n\r\n");
    world_.add_machine("DOWN01", "127.0.0.3");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    support::LibraryTest::SetUp();
    start();
    screen_ = host::create_screen(kScreenKey, "Profiles");
    list_ = add_list(0x60240001, 100);
  }

  // The host hands the file tracking rows' records back to the library, which frees the entry each owns.
  void TearDown() override {
    auto alloc = reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
    auto release = reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
    for (HWND list : file_entry_lists_) support::release_list_rows(list, false, alloc, release);
    support::LibraryTest::TearDown();
  }

  HWND add_list(uint32_t id, int item, HWND on = nullptr) {
    HWND list =
        host::add_control(on ? on : screen_, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
    if (id == 0x60240042) file_entry_lists_.push_back(list);
    return list;
  }

  DWORD press(uint32_t id, int companion_item = 100, int second_item = 0, HWND on = nullptr) {
    HWND screen = on ? on : screen_;
    HWND button = host::add_control(
        screen, 3000 + static_cast<int>(id & 0xFF), "Button", "",
        host::ControlSpec{id, kDescriptorPushButton, kScreenKey, static_cast<uint16_t>(companion_item)});
    uintptr_t* d = host::descriptor_of(button);
    d[6] = static_cast<uintptr_t>(kScreenKey) | static_cast<uintptr_t>(second_item) << 16;  // second companion
    return library_.entry_point_button_services(screen, 0, d);
  }

  std::vector<std::string> rows(HWND list) { return support::list_column(list); }

  // A value below the product key of the console machine, or of the machine named.
  std::string product_value(const char* subkey, const char* name, const char* machine = nullptr) {
    std::string path = std::string("SOFTWARE\\Brightmere Software, Inc.\\VORNIX") + subkey;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (machine && RegConnectRegistryA(machine, HKEY_LOCAL_MACHINE, &root) != ERROR_SUCCESS) return "<no machine>";
    HKEY key;
    LONG opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (machine) RegCloseKey(root);
    if (opened != ERROR_SUCCESS) return "<no key>";
    char data[kFileEntryBytes + 1] = {};
    DWORD size = sizeof data - 1;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(data, size) : "<none>";
  }

  HWND add_field(uint32_t id, int item, uint32_t kind, const char* text = "") {
    return host::add_control(screen_, item, kind == kDescriptorCheckBox ? "Button" : "Edit", text,
                             host::ControlSpec{id, kind});
  }

  void select_only(HWND list, const std::string& text) {
    std::vector<std::string> texts = rows(list);
    for (size_t r = 0; r < texts.size(); ++r) support::set_row_selected(list, r, texts[r] == text);
  }

  // A file tracking list's rows: text, the flags of the entry the row's record owns, icon.
  std::vector<std::string> entry_rows(HWND list) {
    std::vector<std::string> out;
    for (const support::ListRow& row : support::list_rows(list)) {
      DWORD flags = 0;
      std::memcpy(&flags, owned_block(row.record, kFileRowEntrySlot), 4);
      char shown[32];
      std::snprintf(shown, sizeof shown, " %08X %d", static_cast<unsigned>(flags), row.image);
      out.push_back(row.text + shown);
    }
    return out;
  }

  std::vector<std::string> said() { return support::journal_lines(" | ", true); }

  // A profile of the console machine with these DWORD values, selected in a profile list of the screen.
  void select_new_profile(const char* name, DWORD type, std::initializer_list<std::pair<const char*, DWORD>> values) {
    HKEY key;
    const std::string path = std::string("SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\") + name;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ProfileType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), 4);
    for (const auto& [value, data] : values)
      RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), 4);
    RegCloseKey(key);
    HWND profiles = add_list(0x6024000A, 105);
    ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
    select_only(profiles, name);
  }

  static std::string dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
  static uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

  bool checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void check(HWND box, bool on) { SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
  std::string text(HWND field) {
    char buffer[300] = {};
    GetWindowTextA(field, buffer, sizeof buffer);
    return buffer;
  }

  HWND screen_ = nullptr;
  HWND list_ = nullptr;
  std::vector<HWND> file_entry_lists_;
};

TEST_F(ProfileScreens, TheCreationDialogNamesTheServerDescribesTheTypeAndRefusesABadNameUntilRevised) {
  host::insert_list_images(library_);
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "bad\\name"}}});
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, ".Night Logons"}}});
  EXPECT_EQ(press(0x602100CC), 1u);
  std::vector<ui::JournalEntry> shown = ui::journal();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Profile Name cannot contain a slash, please revise.");
  EXPECT_EQ(shown[1].template_name, "ADD_PROFILE");
  EXPECT_EQ(shown[1].title, "Add VORNIX Tracking Profile on Server CONSOLE01");
  EXPECT_EQ(product_value("\\Profiles\\Night Logons", "ProfileType"), std::string("\x10\x01\0\0", 4)) << "first type";
  EXPECT_TRUE(service_called("host_refresh_control"));

  // Cancel leaves everything as it was.
  ui::clear_journal();
  ui::script({"ADD_PROFILE", IDCANCEL, "", {{1103, "Other"}}});
  EXPECT_EQ(press(0x60210027), 1u);
  EXPECT_EQ(product_value("\\Profiles\\Other", "ProfileType"), "<no key>");

  // The dialog describes the selected type; OK does nothing while the name is empty, also after a
  // name was typed and wiped.
  ui::clear_journal();
  ui::script({"ADD_PROFILE", IDOK, "", {{1101, "VNX_AD_EVENT"}, {1103, "x"}, {1103, ""}}});
  // Answered only once the description is the directory type's; the name stops at 127 characters.
  ui::script({"track Active Directory changes", IDOK, "", {{1103, std::string(140, 'n')}}});
  EXPECT_EQ(press(0x60210027), 1u);
  EXPECT_EQ(ui::script_left(), 0u);
  shown = ui::journal();
  ASSERT_EQ(shown.size(), 1u) << "no message about the name";
  EXPECT_NE(shown[0].text.find("every file activity"), std::string::npos) << "first shown: the first type's";
  EXPECT_EQ(shown[0].rows, (std::vector<std::string>{
                               "VNX_FS_TRACK\tFile System Activity [vnx_fs_track]",
                               "VNX_LOGIN_TRACK\tLogon / Logoff Activity [vnx_login_track]",
                               "VNX_FAILED_LOGIN\tFailed Logon Activity [vnx_failed_login]",
                               "VNX_AD_EVENT\tActive Directory Activity [VNX_AD_EVENT]",
                               "VNX_GPO_EVENT\tGPO Change Activity [VNX_GPO_EVENT]"}));
  const std::string name = "\\Profiles\\" + std::string(kProfileNameChars, 'n');
  EXPECT_EQ(product_value(name.c_str(), "ProfileType"), std::string("\x30\x01\0\0", 4));
}

TEST_F(ProfileScreens, DeletingActsOnTheServerThatEachSelectedRowNames) {
  for (const char* name : {"Keep", "Shared"}) {
    ui::script({"ADD_PROFILE", IDOK, "", {{1103, name}}});
    press(0x6021002A);
  }
  // One profile list holds the console's profiles, then SRV01's (listed while SRV01 was the
  // selected server), a row of DOWN01, which cannot be reached, and a row that names no server.
  HWND profiles = add_list(0x6024000A, 105);
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  HWND servers = support::add_server_list(library_, screen_, {{"SRV01", nullptr}});
  select_only(servers, "SRV01");
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  select_only(servers, "");
  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "Drop"}}});
  press(0x6021002A);
  BYTE lost[kListItemBytes] = {};
  set_item_word(lost, kItemWordModule, 7);
  set_item_word(lost, kItemWordControlId, 0x6024000A);
  ProfileRow lost_row = {};
  std::strcpy(lost_row.server, "DOWN01");
  std::memcpy(lost + kRowDataOffset, &lost_row, sizeof lost_row);
  support::insert_list_rows(profiles, {{"Lost", lost}, {"Drop", nullptr}});
  ASSERT_EQ(rows(profiles), (std::vector<std::string>{"Keep", "Shared", "Remote", "Shared", "Lost", "Drop"}));

  // Delete the console's Keep, SRV01's Shared, DOWN01's Lost and the row without a server.
  ui::clear_journal();
  EXPECT_EQ(press(0x60210028), 0u) << "nothing selected";
  for (size_t r : {0, 3, 4, 5}) support::set_row_selected(profiles, r);
  EXPECT_EQ(press(0x602100CD, 105), 1u);
  const std::string confirm = "CONFIRM PROFILE DELETE | Delete Profile ";
  EXPECT_EQ(said(), (std::vector<std::string>{
                        "UNABLE TO DELETE PROFILE | Please select a Profile to delete.",
                        confirm + "Drop on server CONSOLE01?", confirm + "Lost on server DOWN01?",
                        "UNABLE TO DELETE PROFILE | Unable to connect to Registry - machine DOWN01 not found on network",
                        confirm + "Shared on server SRV01?", confirm + "Keep on server CONSOLE01?"}));
  for (const char* gone : {"\\Profiles\\Keep", "\\Profiles\\Drop"})
    EXPECT_EQ(product_value(gone, "ProfileType"), "<no key>");
  EXPECT_NE(product_value("\\Profiles\\Shared", "ProfileType"), "<no key>");
  EXPECT_EQ(product_value("\\Profiles\\Shared", "ProfileType", "\\\\SRV01"), "<no key>");
  EXPECT_NE(product_value("\\Profiles\\Remote", "ProfileType", "\\\\SRV01"), "<no key>");
  EXPECT_EQ(rows(profiles), (std::vector<std::string>{"Shared", "Remote", "Lost"}));
}

TEST_F(ProfileScreens, AFormsRangeFieldsMakeARowThatMovesToThePairedList) {
  // The eight octet fields of the range dialog, then the button that takes the range.
  HWND ranges = add_list(0x6024002B, 101);
  const char* octets[8] = {"10", "0", "0", "1", "10", "0", "0", "9"};
  for (int i = 0; i < 8; ++i) add_field(0x6028002F + static_cast<uint32_t>(i), 500 + i, kDescriptorEditField, octets[i]);
  EXPECT_EQ(press(0x60210037, 101), 1u);
  EXPECT_EQ(rows(ranges), (std::vector<std::string>{"10.0.0.1 through 10.0.0.9"}));

  // A selected row moves to the list the button names second.
  HWND other = add_list(0x6024002D, 102);
  support::set_row_selected(ranges, 0);
  EXPECT_EQ(press(0x60210105, 101, 102), 1u);
  EXPECT_TRUE(rows(ranges).empty());
  EXPECT_EQ(rows(other), (std::vector<std::string>{"10.0.0.1 through 10.0.0.9"}));
}

TEST_F(ProfileScreens, FileTrackingEntriesAreCheckedInOrderThenAddedOrChangedInPlace) {
  constexpr uint32_t kAdd = 0x60210052, kChange = 0x602100B1, kAddShare = 0x60212078, kAddExcluded = 0x60212079;
  HWND entries = add_list(0x60240042, 104);
  // Extension only (0x80), write (0x10), not tracked (0x40) and the top action (0x80000000).
  const uint32_t box_ids[4] = {0x60280059, 0x60280063, 0x60280053, 0x6028006B};
  HWND boxes[4];
  for (int i = 0; i < 4; ++i) boxes[i] = add_field(box_ids[i], 600 + i, kDescriptorCheckBox);
  HWND path = add_field(0x6028005B, 700, kDescriptorEditField), file = add_field(0x602800FB, 701, kDescriptorEditField);
  auto form = [&](std::vector<bool> ticked, const char* share, const char* name) {
    for (size_t i = 0; i < 4; ++i) SendMessageA(boxes[i], BM_SETCHECK, ticked[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowTextA(path, share);
    SetWindowTextA(file, name);
  };
  const std::string no_extension = "Track files with no extension?";
  const std::string every_share = "Track every share on selected server?";
  auto answer = [](const std::string& title, int button) { ui::script({title, button, "", {}}); };
  // The journal since the last look, each entry cut to the length of the expected one.
  auto heads = [&](std::vector<std::string> expected) {
    std::vector<std::string> got = said();
    for (size_t i = 0; i < got.size() && i < expected.size(); ++i) got[i] = got[i].substr(0, expected[i].size());
    return got == expected;
  };
  const std::string asked_extension = no_extension + " | You have specified to track by extension only",
                    asked_share = every_share + " | No Share Path has been provided.",
                    no_action = "Tracking Option must be selected | No actions to track/block have been selected.";

  // Extension only without an extension: Cancel goes back; OK takes "." and then wants an action (0x40 is none).
  form({true, false, true, false}, "", "");
  answer(no_extension, IDCANCEL);
  EXPECT_EQ(press(kAdd, 104), 0u);
  answer(no_extension, IDOK);
  EXPECT_EQ(press(kAdd, 104), 0u);
  EXPECT_TRUE(heads({asked_extension, asked_extension, no_action}));
  // With an action and no share path, the last question decides.
  form({true, true, true, false}, "", "");
  answer(no_extension, IDOK);
  answer(every_share, IDCANCEL);
  EXPECT_EQ(press(kAdd, 104), 0u);
  EXPECT_TRUE(rows(entries).empty());
  answer(no_extension, IDOK);
  answer(every_share, IDOK);
  EXPECT_EQ(press(kAdd, 104), 1u);
  EXPECT_TRUE(heads({asked_extension, asked_share, asked_extension, asked_share}));
  EXPECT_EQ(entry_rows(entries), (std::vector<std::string>{"\\(any path)\\. (extension only) 000000D0 3"}))
      << "bit 0x40 gives the second icon";

  // A path and file with other flags.
  form({false, true, false, true}, "DATA\\Finance", "*.mp3");
  EXPECT_EQ(press(kAdd, 104), 1u);
  EXPECT_TRUE(said().empty());
  const std::vector<std::string> two = entry_rows(entries);
  EXPECT_EQ(two.at(1), "DATA\\Finance\\*.mp3 80000010 1");

  // Changing needs a selected row, keeps its place, and does not make a copy of another row (as adding
  // one does not).
  select_only(entries, "");
  EXPECT_EQ(press(kChange, 104), 0u);
  select_only(entries, "\\(any path)\\. (extension only)");
  EXPECT_EQ(press(kChange, 104), 0u);
  EXPECT_EQ(said(), (std::vector<std::string>{
                        "VORNIX message from QVMR0007.DLL | Please select the file tracking entry to change."}));
  EXPECT_EQ(entry_rows(entries), two);
  form({false, true, false, true}, "PUBLIC\\", "");
  EXPECT_EQ(press(kChange, 104), 1u);
  EXPECT_EQ(entry_rows(entries), (std::vector<std::string>{"PUBLIC\\(all *.*) 80000010 1", two.at(1)}));

  // A share takes every file of its path: neither the file part nor extension-only is taken.
  // An excluded file is the dialog's entry marked not tracked.
  form({true, true, false, true}, "DATA", "*.tmp");
  EXPECT_EQ(press(kAddShare, 104), 1u);
  EXPECT_EQ(press(kAddExcluded, 104), 1u);
  EXPECT_TRUE(said().empty());
  const std::vector<std::string> four = {"PUBLIC\\(all *.*) 80000010 1", two.at(1), "DATA\\(all *.*) 80000010 1",
                                         "DATA\\*.tmp (extension only) 800000D0 3"};
  EXPECT_EQ(entry_rows(entries), four);
  // Both pass the checks of every entry: a share drops extension-only before them, 0x40 is no action.
  form({true, true, false, false}, "", "");
  answer(every_share, IDCANCEL);
  EXPECT_EQ(press(kAddShare, 104), 0u);
  form({false, false, false, false}, "DATA", "*.tmp");
  EXPECT_EQ(press(kAddExcluded, 104), 0u);
  EXPECT_TRUE(heads({asked_share, no_action}));
  EXPECT_EQ(entry_rows(entries), four);

  // The option groups want one of their three choices.
  EXPECT_EQ(press(0x602100B6), 0u);
  EXPECT_EQ(press(0x602100B8), 0u);
  EXPECT_EQ(said(), (std::vector<std::string>{
                        "VORNIX Error Message | Please select an option to continue (Track Creations, Deletions or "
                        "Modifications)",
                        "VORNIX Error Message | Please select an option to continue (Track Additions or Track Deletions "
                        "or Do Not Track)"}));
  SendMessageA(add_field(0x602800B5, 610, kDescriptorCheckBox), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(add_field(0x602800B7, 611, kDescriptorCheckBox), BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(press(0x602100B6), 1u);
  EXPECT_EQ(press(0x602100B8), 1u);
  EXPECT_TRUE(said().empty());
}

TEST_F(ProfileScreens, FormsListFilterAndSaveOntoTheSelectedProfileOrTheServersProductKey) {
  // A profile form's lists, in tab order.
  add_list(0x60240042, 110);
  support::insert_list_rows(add_list(0x602400F5, 111), {{"006:[Bad Account Name]", nullptr}, {"024:[Bad]", nullptr}});
  support::insert_list_rows(add_list(0x6024002B, 112), {{"10.0.0.1 through 10.0.0.9", nullptr}});
  support::insert_list_rows(add_list(0x6024002C, 113), {{"ops@brightmere.com", nullptr}});
  SendMessageA(add_field(0x60280063, 600, kDescriptorCheckBox), BM_SETCHECK, BST_CHECKED, 0);
  add_field(0x6028005B, 700, kDescriptorEditField, "DATA");
  add_field(0x602800FB, 701, kDescriptorEditField, "*.doc");
  ASSERT_EQ(press(0x60210052, 110), 1u);

  // No profile shown: the lists go where an empty profile name leads every list operation, the product key.
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_TRUE(said().empty());
  std::string kerrors(80, '\0');
  kerrors[6] = kerrors[24] = 1;
  EXPECT_EQ(product_value("", "KErrors"), kerrors);
  EXPECT_EQ(product_value("\\AlertEmails", "ops@brightmere.com").size(), 4u);

  ui::script({"ADD_PROFILE", IDOK, "", {{1103, "Shares"}}});
  ASSERT_EQ(press(0x6021002A), 1u);
  HWND profiles = add_list(0x6024000A, 105);
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  select_only(profiles, "Shares");
  said();
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(product_value("\\Profiles\\Shares", "KErrors"), kerrors);
  EXPECT_EQ(product_value("\\Profiles\\Shares\\IP_Ranges", "0a0000010a000009"),
            std::string("\x01\x00\x00\x0a\x09\x00\x00\x0a\x00", 9));
  EXPECT_EQ(product_value("\\Profiles\\Shares\\AlertEmails", "ops@brightmere.com").size(), 4u);

  // The form lists and the alert filters follow the selected row; none selected: the server-wide ones.
  HWND server_wide = add_list(0x60240042, 106), entries = add_list(0x60240042, 107);
  select_only(profiles, "");
  EXPECT_EQ(host::send_list_event(library_, server_wide), 1u);
  EXPECT_EQ(rows(server_wide), (std::vector<std::string>{"DATA\\*.doc"})) << "as the first apply stored them";
  select_only(profiles, "Shares");
  EXPECT_EQ(host::send_list_event(library_, entries), 1u);
  EXPECT_EQ(rows(entries), (std::vector<std::string>{"DATA\\*.doc"}));
  // Each filter field holds 6000 characters, what a filter is read back as; the dialog saves on OK.
  ui::script({"EMAIL_ALERTS_POPTS", IDOK, "", {{1111, "svc_;backup"}, {1112, "adm*"}}});
  EXPECT_EQ(press(0x6021003E), 1u);
  EXPECT_EQ(ui::script_left(), 0u);
  EXPECT_EQ(product_value("\\Profiles\\Shares", "EmailAlertsNotAccounts"), std::string("svc_;backup") + '\0');
  EXPECT_EQ(product_value("\\Profiles\\Shares", "EmailAlertsOKAccounts"), std::string("adm*") + '\0');
  EXPECT_EQ(product_value("", "EmailAlertsNotAccounts"), "<none>");

  // The server's form saves onto the product key, even with a profile selected.
  HWND form = host::create_screen(32, "Server");
  support::insert_list_rows(add_list(0x603400AC, 120, form), {{"all@brightmere.com", nullptr}});
  support::insert_list_rows(add_list(0x602400F0, 121, form), {{"alice", nullptr}});
  EXPECT_EQ(press(0x60A12002, 120, 0, form), 1u);
  EXPECT_EQ(product_value("\\AlertEmails", "all@brightmere.com").size(), 4u);
  EXPECT_EQ(product_value("\\LogonNamesToTrack", "alice").size(), 4u);
  EXPECT_EQ(product_value("\\Profiles\\Shares\\AlertEmails", "all@brightmere.com"), "<none>");

  // Listed again with the profile still selected, the server's form shows the server-wide
  // entries, not the profile's, so an apply keeps them.
  ASSERT_EQ(UpdateLogonName("bob", world_.console().c_str(), "Shares", 1, 0), 0u);
  HWND again = host::create_screen(33, "Server");
  HWND emails_again = add_list(0x603400AC, 122, again), names_again = add_list(0x602400F0, 123, again);
  ASSERT_EQ(host::send_list_event(library_, emails_again), 1u);
  ASSERT_EQ(host::send_list_event(library_, names_again), 1u);
  EXPECT_EQ(rows(emails_again), std::vector<std::string>{"all@brightmere.com"});
  EXPECT_EQ(rows(names_again), std::vector<std::string>{"alice"});
  EXPECT_EQ(press(0x60A12002, 122, 0, again), 1u);
  EXPECT_EQ(product_value("\\LogonNamesToTrack", "alice").size(), 4u);
  EXPECT_EQ(product_value("\\LogonNamesToTrack", "bob"), "<none>");
}

TEST_F(ProfileScreens, EveryListOfAFormIsSavedAlsoAfterOneThatFails) {
  // The second value write on SRV01 fails once with access denied.
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "2");
  world_.open();
  HWND servers = support::add_server_list(library_, screen_, {{"SRV01", nullptr}});
  select_only(servers, "SRV01");
  HWND profiles = add_list(0x6024000A, 105);
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  select_only(profiles, "Remote");
  // Saved in tab order: e-mails, ranges (the failing write), Kerberos codes, then the local logons box.
  support::insert_list_rows(add_list(0x6024002C, 111), {{"ops@brightmere.com", nullptr}});
  support::insert_list_rows(add_list(0x6024002B, 112), {{"10.0.0.1 through 10.0.0.9", nullptr}});
  support::insert_list_rows(add_list(0x602400F5, 113), {{"024:[Bad]", nullptr}});
  SendMessageA(add_field(0x602800F8, 600, kDescriptorCheckBox), BM_SETCHECK, BST_CHECKED, 0);
  said();
  EXPECT_EQ(press(0x60A12002), 0u);
  EXPECT_EQ(said(), (std::vector<std::string>{"ERROR ON IP RANGES KEY | Error 5 creating 0a0000010a000009"}));
  EXPECT_EQ(product_value("\\Profiles\\Remote\\AlertEmails", "ops@brightmere.com", "\\\\SRV01").size(), 4u);
  EXPECT_EQ(product_value("\\Profiles\\Remote\\IP_Ranges", "0a0000010a000009", "\\\\SRV01"), "<none>");
  std::string kerrors(80, '\0');
  kerrors[24] = 1;
  EXPECT_EQ(product_value("\\Profiles\\Remote", "KErrors", "\\\\SRV01"), kerrors);
  EXPECT_EQ(product_value("\\Profiles\\Remote", "IncludeLocalLogons", "\\\\SRV01"), std::string("\1\0\0\0", 4));
}

TEST_F(ProfileScreens, TheServersFormListsAndSavesItsReportToLists) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char departments[] = "Sales\0HR\0";
  RegSetValueExA(key, "DepartmentsReportTo", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(departments),
                 sizeof departments);
  RegCloseKey(key);
  HWND form = host::create_screen(35, "Server");
  HWND listed = add_list(0x60340093, 120, form), hosts = add_list(0x60340092, 121, form);
  ASSERT_EQ(host::send_list_event(library_, listed), 1u);
  ASSERT_EQ(host::send_list_event(library_, hosts), 1u);
  EXPECT_EQ(rows(listed), (std::vector<std::string>{"Sales", "HR"}));
  EXPECT_TRUE(rows(hosts).empty());
  support::insert_list_rows(listed, {{"Audit", nullptr}});
  support::insert_list_rows(hosts, {{"ENT01", nullptr}});
  EXPECT_EQ(press(0x60A12002, 120, 0, form), 1u);
  EXPECT_EQ(product_value("", "DepartmentsReportTo"), std::string("Sales\0HR\0Audit\0\0", 16));
  EXPECT_EQ(product_value("", "EnterpriseHostsReportTo"), std::string("ENT01\0\0", 7));
}

// The baseline button copies the selected group policy profile's SYSVOL definition files below the
// BaselinePath the profile has saved; without a profile or a saved path it says what is missing.
TEST_F(ProfileScreens, TheBaselineButtonCopiesBelowTheSelectedProfilesSavedPath) {
  const std::string share = world_.machine_dir(world_.console()) + "/shares/C$";
  std::filesystem::create_directories(share + "/Windows/SYSVOL/sysvol/Policies");
  std::ofstream(share + "/Windows/SYSVOL/sysvol/Policies/registry.pol") << "PReg";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Netlogon\\Parameters", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char sysvol[] = "C:\\Windows\\SYSVOL\\sysvol";
  RegSetValueExA(key, "Sysvol", 0, REG_SZ, reinterpret_cast<const BYTE*>(sysvol), sizeof sysvol);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Policies", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD group_policy = kProfileGroupPolicy;
  RegSetValueExA(key, "ProfileType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&group_policy), 4);

  HWND profiles = add_list(0x6024000A, 105);
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  EXPECT_EQ(press(0x602100E9), 0u);
  select_only(profiles, "Policies");
  EXPECT_EQ(press(0x602100E9), 0u);
  EXPECT_EQ(said(), (std::vector<std::string>{
                        "UNABLE TO CREATE GPO BASELINE | Please select a Group Policy Profile first.",
                        "UNABLE TO CREATE GPO BASELINE | Profile Policies has no Baseline Path saved; enter one and "
                        "apply it first."}));
  EXPECT_FALSE(std::filesystem::exists(share + "/Baselines"));

  const char baseline_path[] = "C$\\Baselines";
  RegSetValueExA(key, "BaselinePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(baseline_path), sizeof baseline_path);
  RegCloseKey(key);
  EXPECT_EQ(press(0x602100E9), 1u);
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(support::read_whole_file(share + "/Baselines/sysvol.vornix.baseline/Policies/registry.pol"), "PReg");
}

// A form shows the selected profile's single settings when its lists are listed, and its apply writes
// each one it has: alerts, the Kerberos filter, local logons and pattern alerting.
TEST_F(ProfileScreens, AFormShowsItsProfilesSettingsAndItsApplyWritesEachOne) {
  BYTE pattern[kPatternBytes];
  BuildPatternRecord(2, 40, 5, 20, 32, pattern);
  select_new_profile("Failures", kProfileFailedLogon, {{"ConsoleAlert", 1}, {"FilterByKerberosErrors", 1}});
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Failures", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  RegSetValueExA(key, "PatternTracking", 0, REG_BINARY, pattern, kPatternBytes);
  RegCloseKey(key);
  HWND emails = add_list(0x6024002C, 110);
  auto box = [&](uint32_t id, int item) { return add_field(id, item, kDescriptorCheckBox); };
  HWND console = box(0x6028002D, 600), central = box(0x6028003D, 601);
  HWND filter = box(0x602800F4, 602), local = box(0x602800F8, 603);
  HWND on = box(0x603800FF, 610);
  auto field = [&](uint32_t id, int item) { return add_field(id, item, kDescriptorEditField); };
  HWND count = field(0x60380100, 611), first = field(0x60380101, 612), second = field(0x60380105, 613);
  HWND activity[3], mode[3];
  for (int i = 0; i < 3; ++i) {
    activity[i] = box(0x60380102 + static_cast<uint32_t>(i), 620 + i);
    mode[i] = box(0x60310106 + static_cast<uint32_t>(i), 630 + i);
  }
  check(central, true);
  check(local, true);
  ASSERT_EQ(host::send_list_event(library_, emails), 1u);
  EXPECT_TRUE(checked(console) && checked(filter) && checked(on));
  EXPECT_FALSE(checked(central) || checked(local)) << "as stored: missing values are off";
  EXPECT_EQ(text(count) + " " + text(first) + " " + text(second), "40 5 20");
  EXPECT_EQ(std::vector<bool>({checked(activity[0]), checked(activity[1]), checked(activity[2]), checked(mode[0]),
                               checked(mode[1]), checked(mode[2])}),
            std::vector<bool>({false, true, false, false, true, false}));

  // Changed and applied: counts of 0 (or none) take their defaults, too large ones their limits. The pattern
  // controls, numbered as server controls, leave the form a profile's: the address goes to the profile.
  check(console, false);
  check(central, true);
  check(filter, false);
  check(local, true);
  SetWindowTextA(count, "0");
  SetWindowTextA(first, "");
  SetWindowTextA(second, "75");
  check(activity[0], true);
  check(activity[2], true);
  check(mode[1], false);
  check(mode[2], true);
  support::insert_list_rows(emails, {{"ops@brightmere.com", nullptr}});
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_TRUE(said().empty());
  const char* profile = "\\Profiles\\Failures";
  EXPECT_EQ(product_value(profile, "CentralAlert"), dword(1));
  EXPECT_EQ(product_value(profile, "ConsoleAlert"), dword(0));
  EXPECT_EQ(product_value(profile, "FilterByKerberosErrors"), dword(0));
  EXPECT_EQ(product_value(profile, "IncludeLocalLogons"), dword(1));
  BuildPatternRecord(7, 10, 1, 60, 64, pattern);
  EXPECT_EQ(product_value(profile, "PatternTracking"), std::string(reinterpret_cast<char*>(pattern), kPatternBytes));
  EXPECT_EQ(read_u32(pattern + 40), 10u);
  EXPECT_EQ(product_value("\\Profiles\\Failures\\AlertEmails", "ops@brightmere.com").size(), 4u);
  EXPECT_EQ(product_value("\\AlertEmails", "ops@brightmere.com"), "<no key>");

  // Switched off, local logons and pattern alerting are deleted.
  check(local, false);
  check(on, false);
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(product_value(profile, "IncludeLocalLogons"), "<none>");
  EXPECT_EQ(product_value(profile, "PatternTracking"), "<none>");
}

TEST_F(ProfileScreens, AGroupPolicyFormShowsAndWritesItsItemsBaselineFlagsAndPath) {
  select_new_profile("Policies", kProfileGroupPolicy, {{"TrackGPCreate", 1}, {"BaselineFlags", 0x80000000}});
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Policies", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const char stored_path[] = "C$\\Baselines";
  RegSetValueExA(key, "BaselinePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored_path), sizeof stored_path);
  RegCloseKey(key);
  HWND emails = add_list(0x6024002C, 110);
  auto box = [&](uint32_t id, int item) { return add_field(id, item, kDescriptorCheckBox); };
  HWND create = box(0x602800DD, 600), remove = box(0x602800DE, 601), ad_only = box(0x602800EE, 602);
  HWND baseline_on = box(0x602100E5, 603), baseline_off = box(0x602100E6, 604);
  HWND path = add_field(0x602800E8, 605, kDescriptorEditField);
  ASSERT_EQ(host::send_list_event(library_, emails), 1u);
  EXPECT_EQ(std::vector<bool>({checked(create), checked(remove), checked(ad_only), checked(baseline_on),
                               checked(baseline_off)}),
            std::vector<bool>({true, false, false, true, false}));
  EXPECT_EQ(text(path), "C$\\Baselines");

  check(create, false);
  check(remove, true);
  check(baseline_on, false);
  check(baseline_off, true);
  SetWindowTextA(path, "");
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_TRUE(said().empty());
  const char* profile = "\\Profiles\\Policies";
  EXPECT_EQ(product_value(profile, "TrackGPCreate"), dword(0));
  EXPECT_EQ(product_value(profile, "TrackGPDelete"), dword(1));
  EXPECT_EQ(product_value(profile, "TrackGPChangeADOnly"), dword(0));
  EXPECT_EQ(product_value(profile, "BaselineFlags"), dword(0));
  EXPECT_EQ(product_value(profile, "BaselinePath"), "<none>") << "no path given: deleted";

  // Neither baseline button pressed: the flags stay; a path is stored with its terminator.
  check(baseline_off, false);
  SetWindowTextA(path, "D$\\Copies");
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(product_value(profile, "BaselineFlags"), dword(0));
  EXPECT_EQ(product_value(profile, "BaselinePath"), std::string("D$\\Copies", 10));
  check(baseline_on, true);
  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_EQ(product_value(profile, "BaselineFlags"), dword(0x80000000));
}

// The add buttons take the entry typed into their second companion field; the remove buttons take the
// selected rows away, logon names and alert e-mail addresses from the stored list at once.
TEST_F(ProfileScreens, NameListsTakeTypedEntriesAndRemovedNamesLeaveTheStoredListAtOnce) {
  std::FILE* users = std::fopen((world_.machine_dir(world_.console()) + "/users.ini").c_str(), "w");
  std::fprintf(users, "[%s]\nname = alice\ndomain = BRIGHTMERE\ntype = user\n", kAliceSid);
  std::fclose(users);
  select_new_profile("Logons", kProfileLogon, {});
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Logons\\LogonNamesToTrack", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD added = 0x6A000000;
  RegSetValueExA(key, "bob", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&added), 4);
  RegCloseKey(key);
  HWND names = add_list(0x602400F0, 110), excluded = add_list(0x60240097, 111);
  HWND typed = add_field(0x60280078, 700, kDescriptorEditField);
  ASSERT_EQ(host::send_list_event(library_, names), 1u);
  ASSERT_EQ(rows(names), std::vector<std::string>{"bob"});

  SetWindowTextA(typed, "alice");
  EXPECT_EQ(press(0x602100D0, 110, 700), 1u);
  SetWindowTextA(typed, "");
  EXPECT_EQ(press(0x602100D2, 110, 700), 0u);
  SetWindowTextA(typed, "BRIGHTMERE\\alice");
  EXPECT_EQ(press(0x602100D4, 111, 700), 1u);
  EXPECT_EQ(press(0x602100D6, 105, 700), 4061u) << "the profile list takes no typed entries";
  EXPECT_EQ(said(), std::vector<std::string>{"INVALID LOGON NAME | Please enter a logon name."});
  EXPECT_EQ(rows(names), (std::vector<std::string>{"bob", "alice"}));
  EXPECT_EQ(rows(excluded), std::vector<std::string>{"BRIGHTMERE\\alice"});
  EXPECT_EQ(product_value("\\Profiles\\Logons\\LogonNamesToTrack", "alice"), "<none>") << "stored by the apply";

  select_only(names, "bob");
  EXPECT_EQ(press(0x602100D1, 110), 1u);
  EXPECT_EQ(press(0x602100D3, 110), 0u) << "nothing selected";
  EXPECT_EQ(rows(names), std::vector<std::string>{"alice"});
  EXPECT_EQ(product_value("\\Profiles\\Logons\\LogonNamesToTrack", "bob"), "<none>");

  EXPECT_EQ(press(0x60A12002), 1u);
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(product_value("\\Profiles\\Logons\\LogonNamesToTrack", "alice").size(), 4u);
  EXPECT_EQ(product_value("\\Profiles\\Logons\\Excluded", kAliceSid), dword(0));

  // An alert address removed after the confirmation leaves the profile at once; cancelled, it stays.
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Logons\\AlertEmails", 0, nullptr,
                            0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "ops@brightmere.com", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&added), 4);
  RegCloseKey(key);
  HWND emails = add_list(0x6024002C, 112);
  ASSERT_EQ(host::send_list_event(library_, emails), 1u);
  select_only(emails, "ops@brightmere.com");
  ui::script({"Remove Alert Email Address from Profile", IDCANCEL, "", {}});
  EXPECT_EQ(press(0x6021003B, 112), 0u);
  EXPECT_EQ(product_value("\\Profiles\\Logons\\AlertEmails", "ops@brightmere.com").size(), 4u);
  ui::script({"Remove Alert Email Address from Profile", IDOK, "", {}});
  EXPECT_EQ(press(0x6021003B, 112), 1u);
  EXPECT_TRUE(rows(emails).empty());
  EXPECT_EQ(product_value("\\Profiles\\Logons\\AlertEmails", "ops@brightmere.com"), "<none>");
}

TEST_F(ProfileScreens, TheKerberosListsCompanionOffersEveryCodeOnceToMoveIn) {
  select_new_profile("Failures", kProfileFailedLogon, {});
  HWND offered = add_list(0x602400F6, 111);
  HWND tracked = host::add_control(screen_, 110, WC_LISTVIEWA, "",
                                   host::ControlSpec{0x602400F5, kDescriptorListView, kScreenKey, 111});
  ASSERT_EQ(host::send_list_event(library_, tracked), 1u);
  ASSERT_EQ(host::send_list_event(library_, tracked), 1u);
  std::vector<std::string> codes = rows(offered);
  EXPECT_EQ(codes.size(), 63u) << "each code with a text, once";
  EXPECT_EQ(codes.front(), "001:[Client's entry in database expired]");
  EXPECT_EQ(codes.back(), "076:[KDC names do not match]");
  select_only(offered, "024:[Bad Password:Password is incorrect]");
  EXPECT_EQ(press(0x6021010D, 111, 110), 1u);
  EXPECT_EQ(rows(tracked), std::vector<std::string>{"024:[Bad Password:Password is incorrect]"});
  EXPECT_EQ(press(0x60A12002), 1u);
  std::string kerrors(80, '\0');
  kerrors[24] = 1;
  EXPECT_EQ(product_value("\\Profiles\\Failures", "KErrors"), kerrors);
}

// The eight display fields of the profile screens describe the profile selected in the profile list.
TEST_F(ProfileScreens, TheDisplayFieldsDescribeTheSelectedProfile) {
  auto shown = [&](uint32_t id) {
    char buffer[2048] = "unchanged";
    LONG value = 0;
    EXPECT_EQ(library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, buffer, &value, 0, 0, 0, id, 7), 0u);
    return std::string(buffer);
  };
  EXPECT_EQ(shown(0x6022000B), "") << "no profile selected";
  select_new_profile("Shares", kProfileFileSystem, {{"ConsoleAlert", 1}, {"CentralAlert", 1}, {"CreateDate", 0}});
  HWND profiles = add_list(0x6024000A, 106);
  ASSERT_EQ(host::send_list_event(library_, profiles), 1u);
  select_only(profiles, "Shares");
  // Disabled from the list's menu: the state shown follows.
  host::MenuEntries entries;
  ASSERT_EQ(host::request_menu(library_, profiles, 0x6024000A, support::list_rows(profiles)[0].record,
                               kDescriptorListView, &entries),
            0u);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x6024000A, support::list_rows(profiles)[0].record, 0, screen_), 1u);
  std::vector<std::string> texts;
  for (uint32_t id = 0x6022000B; id <= 0x60220012; ++id) texts.push_back(shown(id));
  EXPECT_EQ(texts, (std::vector<std::string>{"Shares", "File System Activity", "TRUE", "2", "FALSE", "FALSE",
                                             "<unknown>", "<invalid date>"}));
}

// Presenting the share path field makes it the companion of its command buttons, which then add their
// entry from its text to the entries' list of the screen.
TEST_F(ProfileScreens, TheSharePathFieldIsAttachedToItsCommandButtons) {
  using PresentFn = DWORD(WINAPI*)(uintptr_t, DWORD, HWND, DWORD, void*);
  auto present = reinterpret_cast<PresentFn>(host::export_address(library_, "check_if_text_to_be_displayed"));
  ASSERT_NE(present, nullptr);
  HWND entries = add_list(0x60240042, 104);
  SendMessageA(add_field(0x60280063, 600, kDescriptorCheckBox), BM_SETCHECK, BST_CHECKED, 0);
  HWND path = add_field(0x6028005B, 700, kDescriptorEditField, "old");
  add_field(0x602800FB, 701, kDescriptorEditField, "*.doc");
  auto button = [&](int item, uint32_t id, uint16_t key, uint16_t companion) {
    return host::add_control(screen_, item, "Button", "", host::ControlSpec{id, kDescriptorPushButton, key, companion});
  };
  HWND share = button(800, 0x60212078, kScreenKey, 104), excluded = button(801, 0x60212079, 0, 0);
  HWND other = button(802, 0x60210052, kScreenKey, 104);
  EXPECT_EQ(present(0, 0x6028005B, screen_, 700, nullptr), 1u);
  EXPECT_EQ(text(path), "") << "emptied as before";
  for (HWND button : {share, excluded}) {
    EXPECT_EQ(descriptor_half(host::descriptor_of(button), kDescHalfCompanionKey), kScreenKey);
    EXPECT_EQ(descriptor_half(host::descriptor_of(button), kDescHalfCompanionItem), 700u);
  }
  EXPECT_EQ(descriptor_half(host::descriptor_of(other), kDescHalfCompanionItem), 104u);
  SetWindowTextA(path, "DATA");
  EXPECT_EQ(library_.entry_point_button_services(screen_, 0, host::descriptor_of(share)), 1u);
  EXPECT_EQ(library_.entry_point_button_services(screen_, 0, host::descriptor_of(excluded)), 1u);
  EXPECT_EQ(entry_rows(entries), (std::vector<std::string>{"DATA\\(all *.*) 00000010 1", "DATA\\*.doc 00000050 3"}));
}

}  // namespace
