// The server configuration forms as the host drives them: their Save buttons,
// and the unsaved-changes guard whose Save reaches the routed button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/server_settings.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "tests/support/registry_dump.h"

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

}  // namespace
