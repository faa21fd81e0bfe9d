// The context menus of the library's lists, asked for and chosen through the two
// exports as the host console does: the entries of each list with a row and
// without one, the conditional entries, the bound of the host's buffers, and
// what the chosen entries do to the world.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/list_item.h"
#include "sim/agent_world.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "console/list_view.h"
#include "sim/registry_dump.h"
#include "win32/clipboard.h"
#include "win32/processes.h"

namespace {

using Entries = std::vector<std::string>;
constexpr uint16_t kScreenKey = 41;
constexpr char kKnownServers[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS";
constexpr char kProductKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

// A key of this computer's registry (machine empty) or a server's, with its values, as one text.
std::string dump(const std::string& machine, HKEY hive, const char* path) {
  HKEY root = hive;
  if (!machine.empty() && RegConnectRegistryA(("\\\\" + machine).c_str(), hive, &root) != ERROR_SUCCESS) return "";
  std::vector<std::string> lines;
  support::dump_registry(root, path, path, lines, false);
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class ContextMenus : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Menus");
    start();
  }

  // A list of the library with rows of this module, every row selected.
  HWND add_list(uint32_t id, std::vector<std::string> rows = {}, DWORD kind = kDescriptorListView) {
    HWND list = host::add_control(screen_, next_item_++, WC_LISTVIEWA, "", host::ControlSpec{id, kind});
    for (const std::string& text : rows) {
      records_.emplace_back(kListItemBytes);
      BYTE* record = records_.back().data();
      set_item_word(record, kItemWordModule, kModuleNumber);
      set_item_word(record, kItemWordControlId, id);
      support::insert_list_rows(list, {{text.c_str(), record}});
      support::set_row_selected(list, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) - 1);
    }
    return list;
  }

  BYTE* record_of(HWND list, int row) { return support::list_rows(list).at(row).record; }

  // The entries shown, as "position: text"; the export's result in *result.
  Entries menu(HWND list, uint32_t id, const BYTE* record, DWORD* result = nullptr,
               DWORD kind = kDescriptorListView) {
    host::MenuEntries entries;
    DWORD rc = host::request_menu(library_, list, id, record, kind, &entries);
    if (result) *result = rc;
    Entries shown;
    for (size_t position = 0; position < entries.size(); ++position)
      if (entries[position][0] != '\0') shown.push_back(std::to_string(position) + ": " + entries[position].data());
    return shown;
  }

  HWND screen_ = nullptr;
  int next_item_ = 1001;
  std::vector<std::vector<BYTE>> records_;
};

TEST_F(ContextMenus, EachListOffersItsEntriesAndRowEntriesOnlyWithARow) {
  struct Case {
    uint32_t id;
    Entries without_row, with_row;
  };
  const Case cases[] = {
      {0x6034010F, {"0: Change Report Type"}, {"0: Change Report Type"}},
      {0x6024000A,
       {"0: DISABLE selected Profiles", "1: ENABLE selected Profiles", "2: IMPORT Profiles from previously Exported File"},
       {"0: DISABLE selected Profiles", "1: ENABLE selected Profiles", "2: IMPORT Profiles from previously Exported File",
        "3: EXPORT 2 selected Profiles to file", "4: Alert \"performed by\" Filter Options for selected Profile"}},
      {0x60440D21,
       {"0: IMPORT Custom Reports from previously Exported File"},
       {"0: IMPORT Custom Reports from previously Exported File", "1: EXPORT 2 selected Custom Reports to file"}},
      {0x60240080, {}, {"0: Add selected Server to My Server View"}},
      {0x6044001B,
       {"0: Add pattern to match Profiles for Custom Report", "1: Retreive list of Profiles from selected Server"},
       {"0: Add pattern to match Profiles for Custom Report", "1: Retreive list of Profiles from selected Server"}},
      {0x602400A0, {"0: Add New Server to Quick Reports and My Server View"},
       {"0: Add New Server to Quick Reports and My Server View"}},
      {0x60240001,
       {"0: Add New Server to My Server View"},
       {"0: Add New Server to My Server View", "1: Remove Server from My Server View", "2: Start VORNIX Server Agent",
        "3: Stop VORNIX Server Agent", "5: Run GetVNXConfigPS.bat", "6: Manage IP Address used by Server Agent"}},
      {0x60F40001,
       {"0: Add New Server to Manage"},
       {"0: Add New Server to Manage", "1: Remove Server from List", "2: Start QVAWKQ Server Agent",
        "3: Stop QVAWKQ Server Agent", "4: Write INI File for Applets", "5: View Error Log"}},
      {0x60F40049, {}, {"0: Delete selected Log File(s)", "1: Copy full file path to paste buffer"}},
      {0x10140147, {"0: Erase All Entries"}, {"0: Erase All Entries"}},
      {0x60440D1E, {"0: View report in new window", "1: View Graphical Analysis"},
       {"0: View report in new window", "1: View Graphical Analysis"}},
      {0x60440800, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.id);
    HWND list = add_list(c.id, {"first", "second"});
    DWORD result = 1;
    EXPECT_EQ(menu(list, c.id, nullptr, &result), c.without_row);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(menu(list, c.id, record_of(list, 0)), c.with_row);
  }
  // One selected profile is named in the singular.
  HWND profiles = add_list(0x602400CB, {"only"});
  EXPECT_EQ(menu(profiles, 0x602400CB, record_of(profiles, 0))[3], "3: EXPORT 1 selected Profile to file");

  // Lists without a menu, another module, and a library not started.
  host::MenuEntries entries;
  EXPECT_EQ(host::request_menu(library_, profiles, 0x60240002, nullptr, kDescriptorListView, &entries), 4061u);
  using PopupFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                 uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
  auto popup = reinterpret_cast<PopupFn>(host::export_address(library_, "treeview_right_click_popupmenu"));
  EXPECT_EQ(popup(6, 0x6034010F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7), 4061u);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x602400A0, nullptr, 0, screen_), 4061u);  // the host's own entry
}

TEST_F(ContextMenus, ServerRowsOfferRetryWhenUnreachableAndTheScoutByItsState) {
  world_.add_machine("SRV01", "127.0.0.2");
  world_.open();
  HWND list = add_list(0x602400C1, {"SRV01"});
  BYTE* row = record_of(list, 0);
  Entries reachable = menu(list, 0x602400C1, row);
  EXPECT_EQ(reachable, (Entries{"0: Add New Server to this Console", "1: Remove Server from this Console",
                                "2: Start VORNIX Server Agent", "3: Stop VORNIX Server Agent",
                                "5: Run GetVNXConfigPS.bat", "6: Manage IP Address used by Server Agent"}));
  row[kItemByteReachability] = kUnreachable;
  EXPECT_EQ(menu(list, 0x602400C1, row)[4], "4: Retry connecting to server");
  // The retry reads the server's state again: it answers now.
  EXPECT_EQ(host::choose_menu_entry(library_, 0x602400C1, row, 4, screen_), 1u);
  EXPECT_NE(row[kItemByteReachability], kUnreachable);
  EXPECT_NE(item_word(row, kItemWordRefreshTime), 0u);
  EXPECT_EQ(menu(list, 0x602400C1, row).size(), 6u) << "no retry for a server that answers";

  // The scout: offered for installation once VNXSCOUT.EXE is beside the console program; installed, for management.
  support::add_agent_file_sets(world_);
  const std::string& console = world_.console();
  EXPECT_EQ(menu(list, 0x602400C1, row).back(), "7: Install Agent Scout on Local Machine [" + console + "]");
  EXPECT_EQ(host::choose_menu_entry(library_, 0x602400C1, row, 7, screen_), 1u);
  EXPECT_EQ(menu(list, 0x602400C1, row).back(), "7: Manage Agent Scout on Local Machine [" + console + "]");
  // Managing it updates it: stopped, copied again from beside the console program, started, in a results window.
  const std::string installed = world_.machine_dir(console) + "/shares/C$/Windows/System32/drivers/vnxscout.exe";
  std::filesystem::resize_file(installed, 3);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x602400C1, row, 7, screen_), 1u);
  EXPECT_NE(std::filesystem::file_size(installed), 3u) << "the program was copied again";
  std::vector<std::string> results;
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.template_name != "ReportAction" || !IsWindow(e.window)) continue;
    results = support::list_column(GetDlgItem(e.window, 1001), 2);
    // The user closes the results window; its thread ends before the library goes.
    PostMessageA(e.window, WM_COMMAND, IDOK, 0);
    while (IsWindow(e.window)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(results.empty());
  EXPECT_EQ(results.back(), "Update Complete");
}

// "View Graphical Analysis" opens the host's analysis page that the results list names, as a button names its page.
TEST_F(ContextMenus, GraphicalAnalysisOfAQuickReportOpensTheHostsPageTheListNames) {
  host::add_page(0x2200, "Graphical Analysis");
  HWND unnamed = add_list(0x60440D1E, {"AD Create Object"});
  menu(unnamed, 0x60440D1E, record_of(unnamed, 0));
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60440D1E, record_of(unnamed, 0), 1, screen_), 0u);
  EXPECT_FALSE(service_called("page opened"));
  HWND results = host::add_control(screen_, next_item_++, WC_LISTVIEWA, "",
                                   host::ControlSpec{0x60440D1E, kDescriptorListView, 0, 0, 7, 0x2200});
  EXPECT_EQ(menu(results, 0x60440D1E, nullptr)[1], "1: View Graphical Analysis");
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60440D1E, nullptr, 1, screen_), 1u);
  EXPECT_TRUE(service_called("page opened Graphical Analysis"));
}

TEST_F(ContextMenus, MemberMenusNameTheGroupOfTheCompanionRowWithinTheHostsBuffer) {
  HWND groups = add_list(0x10140060, {"CN=Admins,OU=Groups,DC=brightmere,DC=test"});
  host::ControlSpec members_spec{0x10140061, kDescriptorListView, kScreenKey, static_cast<uint16_t>(next_item_ - 1)};
  HWND members = host::add_control(screen_, next_item_++, WC_LISTVIEWA, "", members_spec);
  records_.emplace_back(kListItemBytes);
  BYTE* member = records_.back().data();
  support::insert_list_rows(members, {{"alice", member}, {"bob", member}});
  support::set_row_selected(members, 0);
  EXPECT_EQ(menu(members, 0x10140061, nullptr), Entries{});
  EXPECT_EQ(menu(members, 0x10140061, member), Entries{"0: Remove selected member from [Admins]"});
  support::set_row_selected(members, 1);
  EXPECT_EQ(menu(members, 0x10140061, member), Entries{"0: Removed selected members from [Admins]"});
  support::set_row_selected(members, 1, false);

  // A group row without a distinguished name, or of another module: no group, no entry.
  SendMessageA(groups, LVM_DELETEALLITEMS, 0, 0);
  for (const char* text : {"Admins", "CN=Admins"}) {
    support::insert_list_rows(groups, {{text, records_.front().data()}});
    support::set_row_selected(groups, 0);
    DWORD result = 0;
    EXPECT_EQ(menu(members, 0x10140061, member, &result), text[2] == '=' ? Entries{"0: Remove selected member from [Admins]"}
                                                                         : Entries{});
    EXPECT_EQ(result, text[2] == '=' ? 0u : 4061u) << text;
    SendMessageA(groups, LVM_DELETEALLITEMS, 0, 0);
  }
  set_item_word(records_.front().data(), kItemWordModule, 6);
  support::insert_list_rows(groups, {{"CN=Admins,OU=Groups", records_.front().data()}});
  support::set_row_selected(groups, 0);
  DWORD result = 0;
  EXPECT_EQ(menu(members, 0x10140061, member, &result), Entries{});
  EXPECT_EQ(result, 4061u);

  // A group name longer than the host's buffer fills it to its last byte and no further.
  set_item_word(records_.front().data(), kItemWordModule, kModuleNumber);
  std::string long_group = "CN=" + std::string(2 * kMenuEntryBytes, 'g') + ",OU=Groups";
  SendMessageA(groups, LVM_DELETEALLITEMS, 0, 0);
  support::insert_list_rows(groups, {{long_group.c_str(), records_.front().data()}});
  support::set_row_selected(groups, 0);
  host::MenuEntries entries;
  for (auto& entry : entries) entry.fill('x');
  ASSERT_EQ(host::request_menu(library_, members, 0x10140061, member, kDescriptorListView, &entries), 0u);
  EXPECT_EQ(std::strlen(entries[0].data()), kMenuEntryBytes - 1);
  for (size_t position = 1; position < entries.size(); ++position) EXPECT_EQ(entries[position][0], '\0');
}

TEST_F(ContextMenus, ServerEntriesAddRemoveAndOverrideTheAgentAddress) {
  world_.add_machine("SRV07", "127.0.0.7");
  world_.add_registry_text("SRV07", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\2]\n"
                           "\"ServiceName\"=\"{A1}\"\n\"Description\"=\"Fast Ethernet\"\n"
                           "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{A1}]\n"
                           "\"IPAddress\"=hex(7):31,00,30,00,2e,00,30,00,2e,00,30,00,2e,00,37,00,00,00,31,00,30,00,"
                           "2e,00,30,00,2e,00,30,00,2e,00,38,00,00,00,00,00\n");
  world_.open();
  HWND list = add_list(0x60240001);
  ui::script({"ADD_SERVER", IDOK, "", {{1601, "SRV07"}}});
  EXPECT_EQ(menu(list, 0x60240001, nullptr).size(), 1u);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60240001, nullptr, 0, screen_), 1u);
  EXPECT_NE(dump("", HKEY_CURRENT_USER, kKnownServers).find("SRV07"), std::string::npos);
  EXPECT_NE(dump("SRV07", HKEY_LOCAL_MACHINE, kProductKey), "");

  support::insert_list_rows(list, {{"SRV07", records_.emplace_back(kListItemBytes).data()}});
  BYTE* row = records_.back().data();
  menu(list, 0x60240001, row);
  ui::script({"SETSERVERIPOVERRIDE", IDOK, "", {{1601, "10.0.0.8"}}});
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60240001, row, 6, screen_), 1u);
  ASSERT_FALSE(ui::journal().empty());
  EXPECT_EQ(ui::journal().back().rows, (std::vector<std::string>{"10.0.0.7", "10.0.0.8"}));
  EXPECT_NE(dump("SRV07", HKEY_LOCAL_MACHINE, kProductKey).find("10.0.0.8"),
            std::string::npos);
  EXPECT_EQ(row[kItemIPv4Address], 10);

  EXPECT_EQ(host::choose_menu_entry(library_, 0x60240001, row, 1, screen_), 1u);
  EXPECT_EQ(dump("", HKEY_CURRENT_USER, kKnownServers).find("SRV07"), std::string::npos);
}

TEST_F(ContextMenus, TheSiblingProductsAddDialogScansAnAddressRangeForItsServers) {
  world_.add_machine("SRV07", "127.0.0.7");
  world_.open();
  HWND list = add_list(0x60F40001);
  host::send_list_event(library_, list);  // its first event switches sibling mode on
  ASSERT_EQ(support::list_column(list), std::vector<std::string>{"<none found>"});
  ui::script({"ADD_SERVER_QVAWKQ", 1604, "", {}});  // Scan IP Range...
  ui::script({"DKQ_SCAN_IP", IDOK, "", {{1501, "127"}, {1502, "0"}, {1503, "0"}, {1504, "6"}, {1505, "8"}}});
  ui::script({"DKQ_SCAN_IP", IDCANCEL, "", {}});
  menu(list, 0x60F40001, nullptr);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60F40001, nullptr, 0, screen_), 1u);
  EXPECT_EQ(support::list_column(list), std::vector<std::string>{"SRV07"});
  EXPECT_EQ(ui::script_left(), 0u);
}

TEST_F(ContextMenus, ProfileEntriesDisableAndEnableTheSelectedProfilesOnTheirServerAndExportThem) {
  const std::string profiles = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
  world_.add_registry_text(world_.console(), "HKLM",
                           profiles + "]\r\n\r\n" + profiles + "\\Payroll]\r\n\"ProfileType\"=dword:00000002\r\n\r\n" +
                               profiles + "\\Logons]\r\n\"ProfileType\"=dword:00000005\r\n\r\n");
  support::add_agent_file_sets(world_);  // the console program's folder, where exports are written
  world_.open();
  // The profile list as the library fills it: the console machine is the current server.
  HWND list = add_list(0x6024000A);
  ASSERT_EQ(host::send_list_event(library_, list), 1u);
  ASSERT_EQ(support::list_column(list), (std::vector<std::string>{"Logons", "Payroll"}));
  support::set_row_selected(list, 1);
  BYTE* payroll = record_of(list, 1);
  const std::string payroll_key = std::string(kProductKey) + "\\Profiles\\Payroll";
  EXPECT_EQ(menu(list, 0x6024000A, payroll)[3], "3: EXPORT 1 selected Profile to file");
  EXPECT_EQ(host::choose_menu_entry(library_, 0x6024000A, payroll, 0, screen_), 1u);
  EXPECT_NE(dump("", HKEY_LOCAL_MACHINE, payroll_key.c_str()).find("Disabled=1:0"), std::string::npos);
  EXPECT_EQ(dump("", HKEY_LOCAL_MACHINE, (std::string(kProductKey) + "\\Profiles\\Logons").c_str()).find("Disabled"),
            std::string::npos);
  EXPECT_EQ(host::choose_menu_entry(library_, 0x6024000A, payroll, 1, screen_), 1u);
  EXPECT_EQ(dump("", HKEY_LOCAL_MACHINE, payroll_key.c_str()).find("Disabled"), std::string::npos);

  // Import asks first; cancelled, nothing is read.
  ui::script({"Confirm IMPORT of PROFILES", IDCANCEL, "", {}});
  ui::clear_journal();
  EXPECT_EQ(host::choose_menu_entry(library_, 0x6024000A, payroll, 2, screen_), 0u);
  EXPECT_EQ(ui::script_left(), 0u);
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Confirm IMPORT of PROFILES"}));
  EXPECT_EQ(host::choose_menu_entry(library_, 0x6024000A, payroll, 3, screen_), 1u);
  EXPECT_TRUE(support::journal_has("EXPORT FILE", "C:\\Program Files\\Brightmere\\VORNIX\\VORNIX_PROFILES["));
  support::release_list_rows(list, false,
                             reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list")),
                             reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item")));
}

TEST_F(ContextMenus, LogFileEntriesCopyThePathAndDeleteAfterConfirmation) {
  char path[1024] = "C:\\qvawkq_SRV01e_20261201.csv";
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  HWND list = add_list(0x60F4004A, {"qvawkq_SRV01e_20261201.csv"});
  BYTE* row = record_of(list, 0);
  set_owned_block(row, kOwnedBlock1, path);
  ASSERT_EQ(menu(list, 0x60F4004A, row).size(), 2u);

  EXPECT_EQ(host::choose_menu_entry(library_, 0x60F4004A, row, 1, screen_), 1u);
  EXPECT_EQ(platform::clipboard_text(), path);

  ui::script({"DELETE LOG FILE(S)?", IDCANCEL, "", {}});
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60F4004A, row, 0, screen_), 0u);
  EXPECT_NE(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
  ui::script({"DELETE LOG FILE(S)?", IDOK, "", {}});
  EXPECT_EQ(host::choose_menu_entry(library_, 0x60F4004A, row, 0, screen_), 1u);
  EXPECT_TRUE(support::journal_has("DELETE LOG FILE(S)?", "Confirm Deletion of selected log file(s)?"));
  EXPECT_EQ(GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
  set_owned_block(row, kOwnedBlock1, nullptr);
}

}  // namespace
