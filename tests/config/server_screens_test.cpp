// The server configuration forms as the host drives them: their Save buttons,
// and the unsaved-changes guard whose Save reaches the routed button.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/server_settings.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "win32/gdi_objects.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

namespace {

constexpr uint16_t kScreenKey = 30;
const char kProduct[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
const char kSibling[] = "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";

class ServerScreens : public support::LibraryTest {
 protected:
  void SetUp() override {
    for (const char* name : {"SRV01", "SRV02"}) {
      world_.add_machine(name, name[4] == '1' ? "127.0.0.2" : "127.0.0.3");
      world_.add_registry_text(name, "HKLM",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                               "\"ReportPath\"=\"VnxLogs$\"\r\n\"DepartmentsReportTo\"=hex(7):48,00,52,00,00,00,00,00\r\n\r\n");
    }
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Server configuration");
    start();
    servers_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}, {"SRV02", records_[1]}});
    path_ = field(1200, 0x603800C9);
    frequency_ = field(1201, 0x603800CB);
    retain_ = host::add_control(screen_, 1202, "Button", "", host::ControlSpec{0x603800CC, kDescriptorCheckBox});
    departments_ = host::add_control(screen_, 1203, WC_LISTVIEWA, "", host::ControlSpec{0x603400AB, kDescriptorListView});
    save_ = button(1100, 0x603100D5);
    save_too_ = button(1101, 0x60312101);
    ui::clear_journal();
  }
  void TearDown() override {
    support::release_list_rows(departments_, true, alloc(), release());
    for (HWND l : filled_) support::release_list_rows(l, true, alloc(), release());
    LibraryTest::TearDown();
  }

  support::AllocRecordFn alloc() {
    return reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
  }
  support::DeleteRecordFn release() {
    return reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
  }

  HWND field(int item, uint32_t id) {
    return host::add_control(screen_, item, "Edit", "", host::ControlSpec{id, kDescriptorEditField});
  }
  HWND button(int item, uint32_t id) {
    return host::add_control(screen_, item, "Button", "", host::ControlSpec{id, kDescriptorPushButton});
  }

  static std::string text_of(HWND control) {
    char text[300] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
  }

  // The values of a key of a server, "name=type:data".
  static std::vector<std::string> values(const char* server, const char* path = kProduct) {
    HKEY root = nullptr;
    EXPECT_EQ(RegConnectRegistryA((std::string("\\\\") + server).c_str(), HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, true);
    RegCloseKey(root);
    return out;
  }

  // A list of the form, whose rows go back to the library at the end.
  HWND list(int item, uint32_t id) {
    filled_.push_back(host::add_control(screen_, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView}));
    return filled_.back();
  }
  // A button working on the list at the dialog item companion.
  HWND list_button(int item, uint32_t id, int companion) {
    return host::add_control(screen_, item, "Button", "", host::ControlSpec{id, kDescriptorPushButton, kScreenKey,
                                                                         static_cast<uint16_t>(companion)});
  }
  DWORD press(HWND button) { return library_.entry_point_button_services(screen_, 0, host::descriptor_of(button)); }
  static void select_only(HWND l, const std::string& text) {
    std::vector<std::string> rows = support::list_column(l);
    for (size_t r = 0; r < rows.size(); ++r) support::set_row_selected(l, r, rows[r] == text);
  }
  // A value's bytes as stored.
  static std::vector<BYTE> bytes(const char* server, const char* path, const char* name) {
    HKEY root = nullptr, key = nullptr;
    std::vector<BYTE> data(600);
    DWORD size = static_cast<DWORD>(data.size());
    EXPECT_EQ(RegConnectRegistryA((std::string("\\\\") + server).c_str(), HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS ||
        RegQueryValueExA(key, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS)
      size = 0;
    if (key) RegCloseKey(key);
    RegCloseKey(root);
    data.resize(size);
    return data;
  }

  std::vector<HWND> filled_;
  uint8_t records_[2][kListItemBytes] = {};
  HWND screen_ = nullptr, servers_ = nullptr, path_ = nullptr, frequency_ = nullptr, retain_ = nullptr, departments_ = nullptr;
  HWND save_ = nullptr, save_too_ = nullptr;
};

TEST_F(ServerScreens, EachSaveButtonWritesWhatTheFormHoldsAndAFailureEndsTheSave) {
  ASSERT_TRUE(ui::click_row(servers_, 0));
  support::insert_list_rows(departments_, {{"HR", nullptr}});
  SetWindowTextA(path_, "Logs2$");
  SetWindowTextA(frequency_, "5 minutes");
  SendMessageA(retain_, BM_SETCHECK, BST_CHECKED, 0);
  set_item_word(records_[0], kItemWordUnsavedMark, kUnsavedChanges);
  SendMessageA(save_too_, BM_CLICK, 0, 0);
  EXPECT_TRUE(ui::journal().empty());
  // The form keeps what the user typed; the server holds it.
  EXPECT_EQ((std::vector<std::string>{text_of(path_), text_of(frequency_)}),
            (std::vector<std::string>{"Logs2$", "5 minutes"}));
  const std::vector<std::string> saved = {"[]", "ReportPath=1:Logs2$|", "DepartmentsReportTo=7:HR||",
                                          "LogTransferFrequency=4:15", "RetainLogFiles=4:1"};
  EXPECT_EQ(values("SRV01"), saved);
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);
  EXPECT_EQ(host::descriptor_of(path_)[kDescWordEditCounter], 101u);
  EXPECT_EQ(values("SRV02")[1], "ReportPath=1:VnxLogs$|");

  // A write failing part-way: the values before it stay written, the ones after it are not tried, and the
  // user is told which value failed.
  SetWindowTextA(path_, "Other$");
  SetWindowTextA(frequency_, "60");
  SendMessageA(retain_, BM_SETCHECK, BST_UNCHECKED, 0);
  host::unload_library(&library_);
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "2");
  world_.open();
  load();
  start();
  servers_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}, {"SRV02", records_[1]}});
  ASSERT_TRUE(ui::click_row(servers_, 0));
  ui::clear_journal();
  SendMessageA(save_, BM_CLICK, 0, 0);
  EXPECT_EQ(support::journal_lines(), std::vector<std::string>{
                                          "QVMR0007.DLL | [603800cb]Error 5 occurred setting server configuration "
                                          "values (SRV01)"});
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:Other$|", "DepartmentsReportTo=7:HR||",
                                                       "LogTransferFrequency=4:15", "RetainLogFiles=4:1"}));
}

TEST_F(ServerScreens, TheGuardsSaveSavesTheServerBeingLeftAndSaveNeedsASelectedServer) {
  SendMessageA(save_, BM_CLICK, 0, 0);
  EXPECT_EQ(support::journal_lines(),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to Save, no current server selected!"});
  ui::clear_journal();

  ASSERT_TRUE(ui::click_row(servers_, 0));
  // The form as it shows SRV01, with one value changed.
  SetWindowTextA(path_, "VnxLogs$");
  support::insert_list_rows(departments_, {{"HR", nullptr}});
  SetWindowTextA(frequency_, "45");
  set_item_word(records_[0], kItemWordUnsavedMark, kUnsavedChanges);
  ui::script({"_A_MSG_BOX", 0, "Save", {}});
  ASSERT_TRUE(ui::click_row(servers_, 1));
  EXPECT_EQ(ui::journal().size(), 1u) << "the prompt only";
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|", "DepartmentsReportTo=7:HR||",
                                                       "LogTransferFrequency=4:45", "RetainLogFiles=4:0"}));
  EXPECT_EQ(values("SRV02").size(), 3u) << "the server chosen next is not written";
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);
}

TEST_F(ServerScreens, TheSiblingFormWorksOnTheSelectedSiblingServer) {
  HWND siblings = host::add_control(screen_, 1300, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  support::remember_sibling_server("SRV02", {127, 0, 0, 3});
  host::send_list_event(library_, siblings);
  HWND port = field(1301, 0x60F8002F);
  HWND password = field(1302, 0x60F8003F);
  HWND save = button(1303, 0x60F12021);
  SetWindowTextA(port, "1024");
  SendMessageA(save, BM_CLICK, 0, 0);
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"QVAWKQ message from QVMR0007.DLL | Unable to Save, no current server selected!"});

  ASSERT_TRUE(ui::click_row(siblings, 0));
  SendMessageA(save, BM_CLICK, 0, 0);
  EXPECT_EQ(support::journal_lines(), std::vector<std::string>{"IP PORT OUT OF RANGE | Minimum Port Value is 49152, "
                                                               "automatically resetting to be 49152."});
  // An empty password field leaves the stored password alone.
  EXPECT_EQ(values("SRV02", kSibling), (std::vector<std::string>{"[]", "IPv4PortKQRequests=4:49152"}));
  // The second Save button saves too, and the form keeps what it holds.
  SetWindowTextA(port, "50000");
  SetWindowTextA(password, "pw");
  SendMessageA(button(1304, 0x60F12022), BM_CLICK, 0, 0);
  EXPECT_EQ((std::vector<std::string>{text_of(port), text_of(password)}), (std::vector<std::string>{"50000", "pw"}));
  const std::vector<std::string> stored = values("SRV02", kSibling);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[1], "IPv4PortKQRequests=4:50000");
  EXPECT_EQ(stored[2].rfind("ADLogonAcctPwd=3:", 0), 0u);
}

TEST_F(ServerScreens, PasswordBlocksGetNewFillerEvenFromALoadStartedAtTheSameMoment) {
  const std::string password = "S3cret!";
  HWND siblings = host::add_control(screen_, 1300, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  HWND password_field = field(1301, 0x60F8003F);
  HWND save_sibling = button(1302, 0x60F12021);
  HWND email = button(1303, 0x603100B3);
  support::remember_sibling_server("SRV02", {127, 0, 0, 3});
  {
    // The sibling key is there before either save, so that neither save waits while it is made.
    HKEY root = nullptr, key = nullptr;
    ASSERT_EQ(RegConnectRegistryA("\\\\SRV02", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(root, kSibling, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(root);
  }
  // The block of a value, taken away after it is read so that the next save starts from nothing.
  auto take_block = [](const char* server, const char* path, const char* name) {
    HKEY root = nullptr, key = nullptr;
    EXPECT_EQ(RegConnectRegistryA((std::string("\\\\") + server).c_str(), HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::vector<BYTE> block(600);
    DWORD size = static_cast<DWORD>(block.size());
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, block.data(), &size), ERROR_SUCCESS) << name;
    block.resize(size);
    RegDeleteValueA(key, name);
    RegCloseKey(key);
    RegCloseKey(root);
    return block;
  };
  // One load of the library saves the password to both blocks: the sibling form's and the e-mail settings'.
  auto save_both = [&] {
    host::send_list_event(library_, siblings);
    EXPECT_TRUE(ui::click_row(siblings, 0));
    SetWindowTextA(password_field, password.c_str());
    SendMessageA(save_sibling, BM_CLICK, 0, 0);
    EXPECT_TRUE(ui::click_row(servers_, 0));
    ui::script({"EMAIL_02", IDOK, "", {{IDC_EMAIL_SMTP_SERVER, "MAILHOST"}, {IDC_EMAIL_PORT, "25"},
                                       {IDC_EMAIL_SEND_AS, "alerts@brightmere.local"}, {IDC_EMAIL_PASSWORD, password}}});
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    SendMessageA(email, BM_CLICK, 0, 0);
    ui::clear_script();
    return std::make_pair(take_block("SRV02", kSibling, "ADLogonAcctPwd"), take_block("SRV01", kProduct, "SMTP Password"));
  };
  // What the agent reads back from each block.
  auto sibling_password = [](const std::vector<BYTE>& block) {
    std::string text;
    for (size_t at = password_start(block.at(0)); at < block.size() && password_char(block[at]) != 0; at += 2)
      text += static_cast<char>(password_char(block[at]));
    return text;
  };
  auto smtp_password = [](const std::vector<BYTE>& block) {
    char text[kSmtpPasswordBlockBytes] = {};
    decode_smtp_password(block.data(), text, sizeof text);
    return std::string(text);
  };

  // Each save from a fresh load of the library on a world opened anew, as a console started twice within
  // one second: the clock reads the same at both saves.
  auto fresh_load = [&] {
    host::unload_library(&library_);
    world_.open();
    load();
    start();
    servers_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}, {"SRV02", records_[1]}});
  };
  fresh_load();
  const auto first = save_both();
  fresh_load();
  const auto second = save_both();

  ASSERT_EQ((std::vector<size_t>{first.first.size(), second.first.size(), first.second.size(), second.second.size()}),
            (std::vector<size_t>{256, 256, 512, 512}));
  EXPECT_NE(first.first, second.first) << "the sibling block's filler";
  EXPECT_NE(first.second, second.second) << "the e-mail block's filler";
  EXPECT_EQ((std::vector<std::string>{sibling_password(first.first), sibling_password(second.first),
                                      smtp_password(first.second), smtp_password(second.second)}),
            std::vector<std::string>(4, password));
}


TEST_F(ServerScreens, ListingTheFormsListFillsTheFormAndTheDepartmentButtonsChangeTheMembershipAtOnce) {
  HWND hosted = field(1204, 0x603800C8);
  HWND add = list_button(1110, 0x60312110, 1203), leave = list_button(1111, 0x60312111, 1203),
       host_it = list_button(1112, 0x60312112, 1203);
  // Without a server selected the buttons change nothing.
  EXPECT_EQ(press(add), 0u);
  EXPECT_EQ(support::journal_lines("|", true),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL|To continue, please select a server."});

  ASSERT_TRUE(ui::click_row(servers_, 0));
  SetWindowTextA(frequency_, "typed before");
  EXPECT_EQ(host::send_list_event(library_, departments_), 1u);
  // Every field and list of the form shows SRV01 (a missing refresh cycle as its default), refreshed.
  EXPECT_EQ((std::vector<std::string>{text_of(path_), text_of(frequency_), text_of(hosted)}),
            (std::vector<std::string>{"VnxLogs$", "15", ""}));
  EXPECT_EQ(support::list_column(departments_), std::vector<std::string>{"HR"});
  EXPECT_EQ(host::descriptor_of(frequency_)[kDescWordEditCounter], 101u);

  ui::script({"ADD_DEPARTMENT", IDOK, "", {{IDC_TEXT_FIELD, "Sales"}}});
  EXPECT_EQ(press(add), 1u);
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].title, "Add Department to deliver log files");
  EXPECT_EQ(ui::journal()[0].text, "Department Name:\nThe Department name is a name of your choice.  For proper "
                                   "operations the name specified must match the Department Host.");
  // The department operation keeps the list under the type of a single text.
  EXPECT_EQ(values("SRV01")[2], "DepartmentsReportTo=1:HR|Sales||");
  EXPECT_EQ(support::list_column(departments_), (std::vector<std::string>{"HR", "Sales"}));

  select_only(departments_, "Sales");
  EXPECT_EQ(press(host_it), 1u);
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|", "DepartmentsReportTo=1:HR||",
                                                       "DepartmentHosted=1:Sales|"}));
  EXPECT_EQ(support::list_column(departments_), std::vector<std::string>{"HR"});
  EXPECT_EQ(text_of(hosted), "Sales");

  select_only(departments_, "HR");
  EXPECT_EQ(press(leave), 1u);
  EXPECT_EQ(values("SRV01")[2], "DepartmentsReportTo=1:|");
  EXPECT_TRUE(support::list_column(departments_).empty());
  // Cancelling the entry dialog writes nothing.
  ui::script({"ADD_DEPARTMENT", IDCANCEL, "", {{IDC_TEXT_FIELD, "Ops"}}});
  EXPECT_EQ(press(add), 0u);
  EXPECT_EQ(values("SRV01")[2], "DepartmentsReportTo=1:|");
  EXPECT_EQ(values("SRV02")[2], "DepartmentsReportTo=7:HR||");
}

TEST_F(ServerScreens, EnterpriseHostsJoinTheFormOrTheConsolesListAndTheScansListEveryKnownServer) {
  HWND hosts = list(1205, 0x603400AA);
  HWND included = list(1206, 0x603400D1);
  HWND known = list(1207, 0x603400D0);
  ASSERT_TRUE(ui::click_row(servers_, 0));
  host::send_list_event(library_, hosts);
  ui::script({"ADD_ENT_HOST_REPORT_TO", IDOK, "", {{IDC_TEXT_FIELD, "ENT09"}}});
  EXPECT_EQ(press(list_button(1113, 0x60312113, 1205)), 1u);
  EXPECT_EQ(ui::journal().back().title, "Add Enterprise Host to report to");
  EXPECT_EQ(support::list_column(hosts), std::vector<std::string>{"ENT09"});
  // Written with the form: until its Save the server is marked unsaved.
  EXPECT_EQ(values("SRV01").size(), 3u);
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), kUnsavedChanges);
  SendMessageA(save_, BM_CLICK, 0, 0);
  const std::vector<std::string> saved = values("SRV01");
  EXPECT_NE(std::find(saved.begin(), saved.end(), "EnterpriseHostsReportTo=7:ENT09||"), saved.end());
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);

  ui::script({"ADD_ENT_HOST_INCLUDE", IDOK, "", {{IDC_TEXT_FIELD, "ENT07"}}});
  EXPECT_EQ(press(list_button(1114, 0x60312114, 1206)), 1u);
  EXPECT_EQ(ui::journal().back().title, "Add Enterprise Host to include");
  std::vector<std::string> scanned;
  support::dump_registry(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\ENTSCAN", "", scanned, true);
  EXPECT_EQ(scanned, (std::vector<std::string>{"[]", "ENT07=3:||||"}));
  // Listed again: the hosts the console recorded, then those its servers report to (recorded too).
  EXPECT_EQ(host::send_list_event(library_, included), 1u);
  EXPECT_EQ(support::list_column(included), (std::vector<std::string>{"ENT07", "ENT09"}));
  scanned.clear();
  support::dump_registry(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\ENTSCAN", "", scanned, true);
  EXPECT_EQ(scanned.size(), 3u);

  // SRV02 hosts Audit: its row keeps the hosting server and its log share.
  HKEY root = nullptr, product = nullptr;
  ASSERT_EQ(RegConnectRegistryA("\\\\SRV02", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(root, kProduct, 0, KEY_ALL_ACCESS, &product), ERROR_SUCCESS);
  RegSetValueExA(product, "DepartmentHosted", 0, REG_SZ, reinterpret_cast<const BYTE*>("Audit"), 6);
  RegCloseKey(product);
  RegCloseKey(root);
  EXPECT_EQ(host::send_list_event(library_, known), 1u);
  std::vector<support::ListRow> rows = support::list_rows(known);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].text + "," + rows[1].text, "HR,Audit");
  DepartmentHostRow hosting = {};
  ASSERT_TRUE(department_host_row(rows[1].record, &hosting));
  EXPECT_EQ(std::string(hosting.server) + " " + hosting.report_path, "SRV02 VnxLogs$");
  EXPECT_FALSE(department_host_row(rows[0].record, &hosting));
}


TEST_F(ServerScreens, TheSiblingFormLoadsItsListsAndGridAndTheGridDialogSavesWhatItsClicksLeave) {
  {
    HKEY root = nullptr, key = nullptr;
    ASSERT_EQ(RegConnectRegistryA("\\\\SRV02", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(root, kSibling, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, "CanUseKQGroup", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("Help Desk\0"), 11);
    const BYTE version[4] = {5, 0, 0, 0};
    RegSetValueExA(key, "AllowedVersions", 0, REG_BINARY, version, 4);
    BYTE monday_eight[kValidHoursGridBytes] = {};
    monday_eight[4] = 0x01;
    RegSetValueExA(key, "ValidHoursGrid", 0, REG_BINARY, monday_eight, sizeof monday_eight);
    RegCloseKey(key);
    RegCloseKey(root);
  }
  HWND siblings = host::add_control(screen_, 1300, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  support::remember_sibling_server("SRV02", {127, 0, 0, 3});
  host::send_list_event(library_, siblings);
  HWND allowed = list(1310, 0x60F4002B), excluded = list(1311, 0x60F40027), versions = list(1312, 0x60F40030),
       ranges = list(1313, 0x60F40035);
  HWND hours = list_button(1320, 0x60F10070, 1310);
  EXPECT_EQ(press(hours), 0u);
  EXPECT_EQ(support::journal_lines("|", true),
            std::vector<std::string>{"QVAWKQ message from QVMR0007.DLL|To continue, please select a server."});

  ASSERT_TRUE(ui::click_row(siblings, 0));
  EXPECT_EQ(host::send_list_event(library_, versions), 1u);
  EXPECT_EQ((std::vector<std::vector<std::string>>{support::list_column(allowed), support::list_column(excluded),
                                                   support::list_column(versions), support::list_column(ranges)}),
            (std::vector<std::vector<std::string>>{{"Help Desk"}, {}, {"5"}, {}}));

  // The grid as the form loaded it. Monday's heading permits the whole day; a cell; "noon" permits its
  // row, and a second click on it, the row being all permitted, forbids it.
  constexpr int kCell = IDC_HOURS_FIRST_CELL;
  for (int item : {IDC_HOURS_FIRST_DAY + 1, kCell + 2 * 24 + 9, IDC_HOURS_FIRST_HOUR + 12, IDC_HOURS_FIRST_HOUR + 12, IDOK})
    ui::script({"VALID_HOURS", item, "", {}});
  EXPECT_EQ(press(hours), 1u);
  ASSERT_EQ(ui::journal().size(), 1u);
  const ui::JournalEntry shown = ui::journal()[0];
  EXPECT_EQ(shown.title, "Valid Hours for QVAWKQ Requests");
  EXPECT_EQ(shown.text, "Sun\nMon\nTue\nWed\nThu\nFri\nSat\nmidn\n1am\n2am\n3am\n4am\n5am\n6am\n7am\n8am\n9am\n10am\n"
                        "11am\nnoon\n1pm\n2pm\n3pm\n4pm\n5pm\n6pm\n7pm\n8pm\n9pm\n10pm\n11pm\n"
                        "Click on labels above to select entire row or column.");
  EXPECT_EQ(shown.checked, std::vector<int>{kCell + 24 + 8});
  std::vector<int> monday_and_tuesday_nine;
  for (int hour = 0; hour < 24; ++hour)
    if (hour != 12) monday_and_tuesday_nine.push_back(kCell + 24 + hour);
  monday_and_tuesday_nine.push_back(kCell + 2 * 24 + 9);
  EXPECT_EQ(shown.checked_at_end, monday_and_tuesday_nine);
  // The headings and labels in 11-point (15 pixels at 96 per inch) bold Courier.
  std::vector<std::string> fonts;
  for (const QvmrDrawnText& drawn : shown.drawn) {
    if (std::string(drawn.text) != "Sun" && std::string(drawn.text) != "noon") continue;
    platform::FontDescription font;
    ASSERT_TRUE(platform::describe_font(drawn.font, &font)) << drawn.text;
    fonts.push_back(std::string(drawn.text) + " " + font.face + " " + std::to_string(font.height) + " " +
                    std::to_string(font.weight));
  }
  EXPECT_EQ(fonts, (std::vector<std::string>{"Sun Courier 15 700", "noon Courier 15 700"}));
  std::vector<BYTE> expected(kValidHoursGridBytes, 0);
  expected[3] = 0xFF;
  expected[4] = 0xEF;  // Monday noon is bit 36
  expected[5] = 0xFF;
  expected[7] = 0x02;  // Tuesday 09:00 is bit 57
  EXPECT_EQ(bytes("SRV02", kSibling, "ValidHoursGrid"), expected);
  // Opened again it shows what was saved; cancelled, it writes nothing.
  ui::clear_journal();
  ui::script({"VALID_HOURS", IDC_HOURS_FIRST_DAY, "", {}});
  ui::script({"VALID_HOURS", IDCANCEL, "", {}});
  EXPECT_EQ(press(hours), 0u);
  EXPECT_EQ(ui::journal().at(0).checked, monday_and_tuesday_nine);
  EXPECT_EQ(bytes("SRV02", kSibling, "ValidHoursGrid"), expected);
}

TEST_F(ServerScreens, TheSiblingListsTakeTheirEntriesFromTheFieldsAndTheSaveWritesThem) {
  HWND siblings = host::add_control(screen_, 1300, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  support::remember_sibling_server("SRV02", {127, 0, 0, 3});
  host::send_list_event(library_, siblings);
  ASSERT_TRUE(ui::click_row(siblings, 0));
  HWND allowed = list(1310, 0x60F4002B), excluded = list(1311, 0x60F40027), versions = list(1312, 0x60F40030),
       ranges = list(1313, 0x60F40035);
  host::send_list_event(library_, allowed);
  HWND entry = field(1330, 0x60F80062);
  std::vector<HWND> octets;
  for (uint32_t i = 0; i < 8; ++i) octets.push_back(field(1331 + static_cast<int>(i), 0x60F80033 + i));
  auto add_entry = [&](int list_item, const char* text) {
    SetWindowTextA(entry, text);
    return press(list_button(1340 + list_item % 10, 0x60F10071, list_item));
  };
  EXPECT_EQ(add_entry(1310, "Auditors"), 1u);
  EXPECT_EQ(text_of(entry), "") << "the field is emptied for the next entry";
  EXPECT_EQ(add_entry(1311, "Domain Admins"), 1u);
  EXPECT_EQ(add_entry(1312, "v7"), 0u);
  EXPECT_EQ(add_entry(1312, "4294967296"), 0u);
  EXPECT_EQ(support::journal_lines("|", true),
            std::vector<std::string>(2, "QVAWKQ message from QVMR0007.DLL|A version must be a whole number from 0 to 4294967295."));
  EXPECT_EQ(add_entry(1312, "7"), 1u);
  EXPECT_EQ(add_entry(1312, ""), 0u);
  const char* addresses[] = {"10", "0", "0", "1", "10", "0", "0", "9"};
  for (size_t i = 0; i < 8; ++i) SetWindowTextA(octets[i], addresses[i]);
  HWND add_range = list_button(1350, 0x60F10072, 1313);
  EXPECT_EQ(press(add_range), 1u);
  SetWindowTextA(octets[0], "240");
  EXPECT_EQ(press(add_range), 0u);
  EXPECT_EQ(support::list_column(ranges), std::vector<std::string>{"10.0.0.1 through 10.0.0.9"});
  select_only(allowed, "Auditors");
  EXPECT_EQ(press(list_button(1351, 0x60F10073, 1310)), 1u);
  EXPECT_TRUE(support::list_column(allowed).empty());
  ui::clear_journal();
  SendMessageA(button(1360, 0x60F12021), BM_CLICK, 0, 0);
  EXPECT_TRUE(ui::journal().empty()) << support::journal_lines()[0];
  EXPECT_EQ(values("SRV02", kSibling),
            (std::vector<std::string>{"[]", "CanUseKQGroup=7:|", "DisallowModGroup=7:Domain Admins||",
                                      "AllowedVersions=3:||||", "[\\IP_Ranges]", "0a0000010a000009=3:|||||||||"}));
  EXPECT_EQ(bytes("SRV02", kSibling, "AllowedVersions"), (std::vector<BYTE>{7, 0, 0, 0}));
  // Listed again, the form shows what was saved.
  host::send_list_event(library_, excluded);
  EXPECT_EQ((std::vector<std::vector<std::string>>{support::list_column(allowed), support::list_column(excluded),
                                                   support::list_column(versions), support::list_column(ranges)}),
            (std::vector<std::vector<std::string>>{{}, {"Domain Admins"}, {"7"}, {"10.0.0.1 through 10.0.0.9"}}));
}

}  // namespace
