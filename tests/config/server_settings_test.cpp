// Server configuration values and the list-valued settings on a server's
// registry, run on the library's code linked into the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "config/profile_lists.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace {

const char kProductSection[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n";

class ServerSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM", std::string(kProductSection) + "\"ReportPath\"=\"VnxLogs$\"\r\n\r\n");
    world_.add_machine("BARE01", "127.0.0.3");  // no product key
    world_.add_machine("READ01", "127.0.0.5");  // no product key, and the console user may only read
    world_.set_machine_setting("READ01", "machine", "access", "read");
    world_.add_machine("DOWN01", "127.0.0.4");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.set_console_user("auditor");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.quiet_mode = 0;
    g_library.base_image_index = 0;
    screen_ = host::create_screen(30, "Server configuration");
  }
  void TearDown() override {
    for (HWND l : lists_) support::release_list_rows(l, true);
    release_registry_connections();
  }

  // Every value of a key of SRV01 (and the keys below it) as "name=type:data".
  std::vector<std::string> values(const char* path = kProductKey, const char* server = "SRV01") {
    HKEY root;
    EXPECT_EQ(ConnectServerRegistry(server, &root, "T", 0), 0u);
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, true);
    return out;
  }

  // The line of one value, or "" when it is not there.
  std::string value(const char* name, const char* path = kProductKey) {
    for (const std::string& line : values(path))
      if (line.rfind(std::string(name) + "=", 0) == 0) return line;
    return "";
  }

  DWORD set(uint32_t id, LONG number, const char* text = "", const char* server = "SRV01") {
    const ServerSettingInfo* s = server_setting(id);
    return ServerSetting(s ? s->root : kProductRoot, nullptr, server, id, const_cast<char*>(text), number, nullptr,
                         nullptr, 1);
  }

  std::string get(uint32_t id, const BYTE* record = nullptr, const char* server = "SRV01") {
    char text[kSettingTextBytes];
    std::memset(text, 'x', sizeof text);
    const ServerSettingInfo* s = server_setting(id);
    DWORD rc = ServerSetting(s ? s->root : kProductRoot, nullptr, server, id, text, 0, nullptr, record, 0);
    return rc ? "error " + std::to_string(rc) : std::string(text);
  }

  void put_number(const char* name, DWORD number, const char* path = kProductKey) {
    HKEY root, key;
    ASSERT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);
  }

  HWND list(uint32_t id) {
    lists_.push_back(host::add_control(screen_, 2000 + static_cast<int>(lists_.size()), WC_LISTVIEWA, "",
                                       host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }
  HWND list_of(uint32_t id, std::initializer_list<const char*> rows) {
    HWND l = list(id);
    for (const char* text : rows) {
      BYTE record[kListItemBytes];
      start_row_record(record, l, nullptr);
      insert_list_row(l, text, 0, record);
    }
    return l;
  }

  void fail_write(const char* server, const char* code, int number) {
    release_registry_connections();
    world_.set_machine_setting(server, "faults", "registry_write", code);
    world_.set_machine_setting(server, "faults", "registry_write_number", std::to_string(number));
    world_.open();
  }

  std::vector<std::string> shown() { return support::journal_lines(" | ", true); }

  // The bytes of a binary value of SRV01; empty when it is not there.
  std::vector<BYTE> binary(const char* path, const char* name) {
    HKEY root, key;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::vector<BYTE> data(400);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return {};
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << name;
    data.resize(size);
    return data;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr;
  std::vector<HWND> lists_;
};

TEST_F(ServerSettings, NumbersAreClampedAtAndBeyondEachBoundWithThePortMessages) {
  const std::string minimum = "IP PORT OUT OF RANGE | Minimum Port Value is 49152, automatically resetting to be 49152.";
  const std::string maximum = "IP PORT OUT OF RANGE | Maximum Port Value is 65535, automatically resetting to be 65535.";
  // Identifier, number given, value stored, message shown.
  const std::vector<std::tuple<uint32_t, LONG, std::string, std::string>> cases = {
      {0x603800CB, 5, "LogTransferFrequency=4:15", ""},      {0x603800CB, 14, "LogTransferFrequency=4:15", ""},
      {0x603800CB, 15, "LogTransferFrequency=4:15", ""},     {0x603800CB, 1440, "LogTransferFrequency=4:1440", ""},
      {0x6038008E, 2000, "LogTransferFrequency=4:1440", ""}, {0x6038008E, -3, "LogTransferFrequency=4:15", ""},
      {0x603800EF, 1441, "EnterpriseHostRefreshCycle=4:1440", ""},
      {0x603800A7, 0, "LogPurgeOption=4:0", ""},             {0x603800CE, 1, "LogPurgeOption=4:7", ""},
      {0x603800CE, 3, "LogPurgeOption=4:7", ""},             {0x603800CE, 6, "LogPurgeOption=4:7", ""},
      {0x603800CE, 8, "LogPurgeOption=4:8", ""},
      {0x60F8001D, 6, "PurgeDays=4:7", ""},                  {0x60F8001D, -1, "PurgeDays=4:7", ""},
      {0x60F8001D, 30, "PurgeDays=4:30", ""},
      {0x60F8002F, 0, "IPv4PortKQRequests=4:0", ""},         {0x60F8002F, 1024, "IPv4PortKQRequests=4:49152", minimum},
      {0x60F80030, 49151, "IPv4PortWstnLogs=4:49152", minimum}, {0x60F80030, 49152, "IPv4PortWstnLogs=4:49152", ""},
      {0x60F80031, 65535, "IPv4PortAlertConsoles=4:65535", ""}, {0x60F80031, 65536, "IPv4PortAlertConsoles=4:65535", maximum},
      {0x60480007, 5, "AlertRPTMGTSize=4:5", ""},            {0x60480007, 0, "", ""},
      {0x60410007, 9, "AlertRPTMGTResend=4:9", ""},          {0x60410008, 9, "AlertRPTMGTResend=4:0", ""},
      {0x6038011C, 1, "AutoArchiveLogFiles=4:1", ""},
  };
  EXPECT_EQ(get(0x603800EF), "15") << "missing";
  for (const auto& [id, given, stored, message] : cases) {
    ASSERT_EQ(set(id, given), 0u) << std::hex << id << " " << std::dec << given;
    const ServerSettingInfo* s = server_setting(id);
    std::string line = value(s->value, s->root == kProductRoot ? kProductKey : kSiblingKey);
    EXPECT_EQ(line, stored) << std::hex << id << " " << std::dec << given;
    EXPECT_EQ(shown(), message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message}) << given;
  }

  // Reading: a missing or stored 0 cycle shows 15, 1 to 6 purge options show 7, a missing number 0;
  // a port outside its range reads clamped and is written back clamped, without a message.
  put_number("LogTransferFrequency", 0);
  put_number("LogPurgeOption", 4);
  EXPECT_EQ((std::vector<std::string>{get(0x603800CB), get(0x6038008E), get(0x603800A7), get(0x6038008F)}),
            (std::vector<std::string>{"15", "15", "7", "0"}));
  put_number("IPv4PortKQRequests", 70000, kSiblingKey);
  put_number("IPv4PortWstnLogs", 80, kSiblingKey);
  put_number("IPv4PortAlertConsoles", 0, kSiblingKey);
  EXPECT_EQ((std::vector<std::string>{get(0x60F8002F), get(0x60F80030), get(0x60F80031)}),
            (std::vector<std::string>{"65535", "49152", "0"}));
  EXPECT_EQ((std::vector<std::string>{value("IPv4PortKQRequests", kSiblingKey), value("IPv4PortWstnLogs", kSiblingKey)}),
            (std::vector<std::string>{"IPv4PortKQRequests=4:65535", "IPv4PortWstnLogs=4:49152"}));
  EXPECT_TRUE(shown().empty());
  // A number from a field's text: its leading digits, none reading 0 (which a cycle clamps to 15).
  EXPECT_EQ((std::vector<LONG>{decimal_value("120"), decimal_value(" 45min"), decimal_value("abc"), decimal_value("-8")}),
            (std::vector<LONG>{120, 45, 0, -8}));
  ASSERT_EQ(set(0x603800CB, decimal_value("abc")), 0u);
  EXPECT_EQ(value("LogTransferFrequency"), "LogTransferFrequency=4:15");
}

TEST_F(ServerSettings, TextsAreStoredWithTheirTerminatorAndEachTextRuleApplies) {
  // Text, then the line stored (empty: the value is gone).
  const std::vector<std::tuple<uint32_t, std::string, std::string>> cases = {
      {0x603800C8, "Sales", "DepartmentHosted=1:Sales|"},
      {0x6038008A, "", ""},  // an empty text deletes, and deleting a missing value is no error
      {0x6038008A, "", ""},
      {0xFFD05562, "File %o changed by %r.", "EMailAlert_FS_Body=1:File %o changed by %r.|"},
      {0x6038011D, "\\\\NAS01\\Archive", "AutoArchivePath=1:\\\\NAS01\\Archive|"},
      {0x6038011D, "D:\\Archive", ""},  // a drive path is no archive path
      {0x6038011D, "\\Archive", "AutoArchivePath=1:\\Archive|"},
      {0x6038011D, "x", ""},
      {0x60F8005B, "dc1.brightmere.local", "ADPreferredDC=1:dc1|"},
      {0x60F8003E, "", "ADLogonAcct=1:|"},  // written also when empty
  };
  for (const auto& [id, text, stored] : cases) {
    ASSERT_EQ(set(id, 0, text.c_str()), 0u) << text;
    const ServerSettingInfo* s = server_setting(id);
    EXPECT_EQ(value(s->value, s->root == kProductRoot ? kProductKey : kSiblingKey), stored) << text;
  }
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(get(0xFFD05562), "File %o changed by %r.");
  EXPECT_EQ(get(0x60F2005C), "dc1");
  EXPECT_EQ(set(0x60F2005C, 0, "other"), 0u) << "read only";
  EXPECT_EQ(value("ADPreferredDC", kSiblingKey), "ADPreferredDC=1:dc1|");

  // An empty logon account offers the console user's directory name when it reads like one.
  EXPECT_EQ(get(0x60F8003E), "CN=auditor,CN=Users,DC=BRIGHTMERE");
  ASSERT_EQ(set(0x60F8003E, 0, "svc-vornix"), 0u);
  EXPECT_EQ(get(0x60F8003E), "svc-vornix");
  ASSERT_EQ(set(0x60F8003E, 0, ""), 0u);
  {
    std::FILE* ini = std::fopen((world_.folder() + "/world.ini").c_str(), "a");
    std::fputs("user_dn = auditor@brightmere\n", ini);
    std::fclose(ini);
  }
  release_registry_connections();
  world::open(world_.folder());
  EXPECT_EQ(get(0x60F8003E), "");

  // The raw bytes of the binding warning, zero when missing, and never written; reading clears 5 bytes.
  char raw[kSettingTextBytes] = "abcdef";
  ASSERT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0xFFCC188E, raw, 0, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(std::vector<char>(raw, raw + 6), (std::vector<char>{0, 0, 0, 0, 0, 'f'}));
  HKEY root, key;
  ASSERT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
  ASSERT_EQ(RegOpenKeyExA(root, kProductKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const BYTE binding[6] = {7, 0, 0, 1, 9, 9};
  RegSetValueExA(key, "InvalidNDISBinding", 0, REG_BINARY, binding, sizeof binding);
  RegCloseKey(key);
  ASSERT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0xFFCC188E, raw, 0, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(std::vector<char>(raw, raw + 6), (std::vector<char>{7, 0, 0, 1, 0, 'f'}));
  EXPECT_EQ(set(0xFFCC188E, 0), 0u);
  EXPECT_EQ(value("InvalidNDISBinding"), "InvalidNDISBinding=3:||||||");
}

TEST_F(ServerSettings, ThePasswordBlockHoldsEachCharacterAtItsPlaceAndALongerPasswordIsRefused) {
  // The start offset from the block's first byte, at each bound of its three ranges.
  EXPECT_EQ((std::vector<size_t>{password_start(0), password_start(15), password_start(16), password_start(128),
                                 password_start(129), password_start(255)}),
            (std::vector<size_t>{85, 100, 16, 128, 17, 143}));
  auto stored_block = [&] {
    HKEY root, key;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, kSiblingKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<BYTE> block(300);
    DWORD size = static_cast<DWORD>(block.size()), type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "ADLogonAcctPwd", nullptr, &type, block.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    block.resize(size);
    return block;
  };
  // What the agent reads back: each character two bytes apart from the start, up to the terminator.
  auto decoded = [](const std::vector<BYTE>& block) {
    std::string text;
    for (size_t at = password_start(block[0]); at < block.size(); at += 2) {
      char c = static_cast<char>(password_char(block[at]));
      if (c == '\0') return text;
      text += c;
    }
    return text + "<no terminator>";
  };
  ASSERT_EQ(set(0x60F8003F, 0, "S3cret!"), 0u);
  std::vector<BYTE> first = stored_block();
  ASSERT_EQ(first.size(), 256u);
  EXPECT_EQ(decoded(first), "S3cret!");
  ASSERT_EQ(set(0x60F8003F, 0, "S3cret!"), 0u);
  EXPECT_NE(stored_block(), first) << "every save has new filler";
  // Every first byte keeps the longest password inside the block.
  const std::string longest(kPasswordMostChars, 'p');
  for (int save = 0; save < 40; ++save) {
    ASSERT_EQ(set(0x60F8003F, 0, longest.c_str()), 0u);
    ASSERT_EQ(decoded(stored_block()), longest);
  }
  // Never read back; a longer password changes nothing and says why.
  EXPECT_EQ(get(0x60F8003F), "");
  const std::vector<BYTE> before = stored_block();
  EXPECT_EQ(set(0x60F8003F, 0, (longest + "q").c_str()), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(shown(), std::vector<std::string>{"PASSWORD TOO LONG | The password is longer than 56 characters and cannot "
                                              "be stored; the stored password was not changed."});
  EXPECT_EQ(stored_block(), before);
}

TEST_F(ServerSettings, OfflineServersFailedConnectionsKeysAndWritesAreReportedAndChangeNothing) {
  BYTE record[kListItemBytes] = {};
  record[kItemByteReachability] = kUnreachable;
  EXPECT_EQ(get(0x603800C9, record), "<server offline, cannot retrieve>");
  record[kItemByteReachability] = 0;
  set_item_word(record, kItemWordAgentState, kAgentPermissionError);
  EXPECT_EQ(get(0x603800C9, record), "<permissions error connecting, cannot retrieve>");
  EXPECT_EQ(get(0x603800C9), "VnxLogs$");
  EXPECT_TRUE(shown().empty());

  EXPECT_EQ(get(0x603800C9, nullptr, "DOWN01"), "error 53");
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "UNABLE TO GET SERVER CONFIG DATA | Unable to connect to Registry - machine DOWN01 not found on network"});
  g_registry.last_failed_server[0] = '\0';
  EXPECT_EQ(set(0x603800C9, 0, "x", "DOWN01"), 53u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "UNABLE TO GET SERVER CONFIG DATA | Unable to connect to Registry - machine DOWN01 not found on network"})
      << "one title for every connection of a setting";
  // The product key is opened, never made; the sibling key is made when missing.
  EXPECT_EQ(set(0x603800C9, 0, "x", "BARE01"), 2u);
  EXPECT_EQ(shown(), std::vector<std::string>{"QVMR0007.DLL | Error [2] occurred obtaining root key handle {1} for Set"});
  EXPECT_EQ(get(0x603800C9, nullptr, "BARE01"), "error 2");
  EXPECT_EQ(set(0x60F80023, 0, "QvLogs", "BARE01"), 0u);
  EXPECT_EQ(values(kSiblingKey, "BARE01"), (std::vector<std::string>{"[]", "LogSharePath=1:QvLogs|"}));

  fail_write("SRV01", "5", 1);
  EXPECT_EQ(set(0x603800CB, 30), 5u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "QVMR0007.DLL | [603800cb]Error 5 occurred setting server configuration values (SRV01)"});
  EXPECT_EQ(value("LogTransferFrequency"), "");
  // An identifier that is no setting, or a setting asked of the other key, does nothing.
  const std::vector<std::string> before = values();
  EXPECT_EQ(set(0x60380001, 5), 0u);
  EXPECT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0x60F8001D, const_cast<char*>(""), 3, nullptr, nullptr, 1), 0u);
  EXPECT_EQ(values(), before);
  EXPECT_TRUE(shown().empty());
}

TEST_F(ServerSettings, AFormIsFilledFromItsServerAndAnOfflineServerShowsWhy) {
  auto control = [&](int item, const char* kind, uint32_t id, uint32_t descriptor_kind) {
    return host::add_control(screen_, item, kind, "", host::ControlSpec{id, descriptor_kind});
  };
  HWND path = control(1200, "Edit", 0x603800C9, kDescriptorEditField);
  HWND frequency = control(1201, "Edit", 0x603800CB, kDescriptorEditField);
  HWND retain = control(1202, "Button", 0x603800CC, kDescriptorCheckBox);
  HWND departments = list(0x603400AB);
  auto text = [](HWND field) {
    char shown_text[100] = {};
    GetWindowTextA(field, shown_text, sizeof shown_text);
    return std::string(shown_text);
  };
  put_number("RetainLogFiles", 1);
  ASSERT_EQ(SetDepartment("SRV01", "HR", kDepartmentReportTo), 0u);
  ASSERT_EQ(FillServerSettingsForm(screen_, "SRV01", kProductRoot, nullptr), 0u);
  EXPECT_EQ((std::vector<std::string>{text(path), text(frequency)}),
            (std::vector<std::string>{"VnxLogs$", "15"}));
  EXPECT_EQ(SendMessageA(retain, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(support::list_column(departments), std::vector<std::string>{"HR"});
  EXPECT_EQ(host::descriptor_of(path)[kDescWordEditCounter], 101u);
  BYTE record[kListItemBytes] = {};
  record[kItemByteReachability] = kUnreachable;
  ASSERT_EQ(FillServerSettingsForm(screen_, "SRV01", kProductRoot, record), 0u);
  EXPECT_EQ(text(path), "<server offline, cannot retrieve>");
  EXPECT_TRUE(shown().empty());
}

TEST_F(ServerSettings, ReportToListsAndGroupsAreSavedAsMultiStringsAndListedOnce) {
  const std::string long_name(300, 'd');
  HWND departments = list_of(0x603400AB, {"Sales", "", long_name.c_str(), "HR"});
  ASSERT_EQ(SaveReportTo(departments, "SRV01", kSaveDepartments), 0u);
  EXPECT_EQ(value("DepartmentsReportTo"), "DepartmentsReportTo=7:Sales|" + std::string(254, 'd') + "|HR||");
  HWND hosts = list_of(0x603400AA, {"ENT01"});
  ASSERT_EQ(SaveReportTo(hosts, "SRV01", 0), 0u);
  EXPECT_EQ(value("EnterpriseHostsReportTo"), "EnterpriseHostsReportTo=7:ENT01||");

  // Listing adds the names not listed yet, with their icons; the request picks the value.
  HWND shown_list = list_of(0x603400AB, {"hr"});
  EXPECT_EQ(ListReportTo(shown_list, "SRV01", 0x60340093), 2u);
  EXPECT_EQ(ListReportTo(shown_list, "SRV01", 0x60340092), 1u);
  std::vector<std::string> rows;
  for (const support::ListRow& r : support::list_rows(shown_list))
    rows.push_back(r.text.substr(0, 8) + " " + std::to_string(r.image));
  EXPECT_EQ(rows, (std::vector<std::string>{"hr 0", "Sales 8", "dddddddd 8", "ENT01 7"}));

  // The groups live under the sibling key.
  ASSERT_EQ(set(0x60F80023, 0, "QvLogs"), 0u);  // makes the sibling key
  ASSERT_EQ(SaveGroups(list_of(0x60F4002B, {"Help Desk", "Auditors"}), "SRV01", 0), 0u);
  ASSERT_EQ(SaveGroups(list_of(0x60F40027, {"Domain Admins"}), "SRV01", kSaveExcludedGroups), 0u);
  EXPECT_EQ(values(kSiblingKey), (std::vector<std::string>{"[]", "LogSharePath=1:QvLogs|",
                                                           "CanUseKQGroup=7:Help Desk|Auditors||",
                                                           "DisallowModGroup=7:Domain Admins||"}));
  HWND groups = list(0x60F40027);
  EXPECT_EQ(ListGroups(groups, "SRV01", 0x60F40027), 1u);
  EXPECT_EQ(support::list_column(groups), std::vector<std::string>{"Domain Admins"});

  // A server without the sibling key gets it, as every sibling setting does.
  EXPECT_EQ(SaveGroups(groups, "BARE01", 0), 0u);
  EXPECT_EQ(values(kSiblingKey, "BARE01"), (std::vector<std::string>{"[]", "CanUseKQGroup=7:Domain Admins||"}));

  // Failures: the connection under the operation's title, the key and the write each with their own.
  g_registry.last_failed_server[0] = '\0';
  EXPECT_EQ(SaveReportTo(hosts, "DOWN01", 0), 53u);
  EXPECT_EQ(SaveGroups(groups, "READ01", 0), 5u);
  EXPECT_EQ(ListGroups(list(0x60F4002B), "READ01", 0x60F4002B), 0u);
  fail_write("SRV01", "5", 1);
  EXPECT_EQ(SaveReportTo(departments, "SRV01", kSaveDepartments), 5u);
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         "UNABLE TO UPDATE ENTERPRISE HOSTS TO REPORT TO | Unable to connect to Registry - machine DOWN01 "
                         "not found on network",
                         "UNABLE TO UPDATE GROUPS | Error 5 opening registry key on server READ01.",
                         "ERROR ON GROUP KEY | Error 5 opening SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ",
                         "ERROR ON SERVER CONFIGURATION UPDATE | Error 5 adding DepartmentsReportTo"}));
  EXPECT_EQ(value("DepartmentsReportTo"), "DepartmentsReportTo=7:Sales|" + std::string(254, 'd') + "|HR||");
}

TEST_F(ServerSettings, DepartmentMembershipKeepsOneEntryPerDepartmentAndWritesItAsASingleTextType) {
  ASSERT_EQ(SetDepartment("SRV01", "Sales", kDepartmentReportTo), 0u);
  EXPECT_EQ(value("DepartmentsReportTo"), "DepartmentsReportTo=1:Sales||");
  ASSERT_EQ(SetDepartment("SRV01", "HR", kDepartmentReportTo), 0u);
  ASSERT_EQ(SetDepartment("SRV01", "sales", kDepartmentReportTo), 0u);
  EXPECT_EQ(value("DepartmentsReportTo"), "DepartmentsReportTo=1:Sales|HR||");
  // Hosting a department takes it off the report-to list; reporting to the hosted one stops hosting it.
  ASSERT_EQ(SetDepartment("SRV01", "Sales", kDepartmentHost), 0u);
  EXPECT_EQ((std::vector<std::string>{value("DepartmentsReportTo"), value("DepartmentHosted")}),
            (std::vector<std::string>{"DepartmentsReportTo=1:HR||", "DepartmentHosted=1:Sales|"}));
  ASSERT_EQ(SetDepartment("SRV01", "SALES", kDepartmentReportTo), 0u);
  EXPECT_EQ((std::vector<std::string>{value("DepartmentsReportTo"), value("DepartmentHosted")}),
            (std::vector<std::string>{"DepartmentsReportTo=1:HR|SALES||", ""}));
  ASSERT_EQ(SetDepartment("SRV01", "HR", kDepartmentHost), 0u);
  ASSERT_EQ(SetDepartment("SRV01", "hr", kDepartmentRemove), 0u);
  EXPECT_EQ((std::vector<std::string>{value("DepartmentsReportTo"), value("DepartmentHosted")}),
            (std::vector<std::string>{"DepartmentsReportTo=1:SALES||", ""}));

  // Any department text is taken, an empty one too.
  ASSERT_EQ(SetDepartment("SRV01", "", kDepartmentHost), 0u);
  EXPECT_EQ(value("DepartmentHosted"), "DepartmentHosted=1:|");
  EXPECT_TRUE(shown().empty());

  // A step that fails says so and ends the change; the steps before it stay done.
  ASSERT_EQ(SetDepartment("SRV01", "Ops", kDepartmentReportTo), 0u);
  fail_write("SRV01", "5", 2);
  EXPECT_EQ(SetDepartment("SRV01", "Ops", kDepartmentHost), 5u);
  EXPECT_EQ(shown(), std::vector<std::string>{"ERROR ON DEPARTMENT HOST SET | SH:Error 5 setting DepartmentHosted=Ops"});
  EXPECT_EQ((std::vector<std::string>{value("DepartmentsReportTo"), value("DepartmentHosted")}),
            (std::vector<std::string>{"DepartmentsReportTo=1:SALES||", "DepartmentHosted=1:|"}));
  EXPECT_EQ(SetDepartment("BARE01", "Ops", kDepartmentHost), 2u);
  EXPECT_EQ(shown(), std::vector<std::string>{"Unable to set department value | Error 2 opening VORNIX key on server BARE01"});
}

TEST_F(ServerSettings, ScansAskEveryKnownServerAndListEachNameOnce) {
  HKEY known;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &known, nullptr),
            ERROR_SUCCESS);
  const BYTE address[4] = {};
  for (const char* server : {"DOWN01", "SRV01", "BARE01"}) RegSetValueExA(known, server, 0, REG_BINARY, address, 4);
  RegCloseKey(known);
  ASSERT_EQ(set(0x603800C8, 0, "Finance"), 0u);
  ASSERT_EQ(SaveReportTo(list_of(0x603400AB, {"Audit", "finance"}), "SRV01", kSaveDepartments), 0u);
  ASSERT_EQ(SaveReportTo(list_of(0x603400AA, {"ENT01"}), "SRV01", 0), 0u);

  HWND departments = list(0x602400A4), hosts = list(0x602400A5);
  EXPECT_EQ(ScanDepartments(departments), 2u);
  EXPECT_EQ(support::list_column(departments), (std::vector<std::string>{"Finance", "Audit"}));
  DepartmentHostRow host;
  ASSERT_TRUE(department_host_row(support::list_rows(departments)[0].record, &host));
  EXPECT_EQ(std::string(host.server) + " " + host.report_path, "SRV01 VnxLogs$");
  EXPECT_FALSE(department_host_row(support::list_rows(departments)[1].record, &host));
  EXPECT_EQ(ScanEnterpriseHosts(hosts), 1u);
  EXPECT_EQ(support::list_column(hosts), std::vector<std::string>{"ENT01"});
  HKEY found;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\ENTSCAN", 0, KEY_READ, &found),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(found, "ENT01", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(found);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "UNABLE TO CHECK FOR DEPARTMENTS | Unable to connect to Registry - machine DOWN01 not found on "
                         "network"})
      << "a server that stays down is told once";
}

TEST_F(ServerSettings, SiblingListsTheGridAndLocalLogonContainersRoundTrip) {
  ASSERT_EQ(set(0x60F80023, 0, "QvLogs"), 0u);
  // Allowed versions: 32-bit numbers in list order; an empty list deletes the value.
  ASSERT_EQ(SaveAllowedVersions(list_of(0x60F40030, {"5", "70000"}), "SRV01"), 0u);
  const std::vector<BYTE> five_and_70000 = {5, 0, 0, 0, 0x70, 0x11, 1, 0};
  EXPECT_EQ(binary(kSiblingKey, "AllowedVersions"), five_and_70000);
  HWND versions = list(0x60F40030);
  EXPECT_EQ(ListAllowedVersions(versions, "SRV01"), 2u);
  EXPECT_EQ(support::list_column(versions), (std::vector<std::string>{"5", "70000"}));
  // A row is read as a field's number is: its leading digits, none reading 0.
  ASSERT_EQ(SaveAllowedVersions(list_of(0x60F40030, {"6", "v7", "8.1"}), "SRV01"), 0u);
  EXPECT_EQ(binary(kSiblingKey, "AllowedVersions"), (std::vector<BYTE>{6, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0}));
  EXPECT_TRUE(shown().empty());
  // The old list is deleted first: a write that then fails leaves none.
  fail_write("SRV01", "5", 1);
  EXPECT_EQ(SaveAllowedVersions(list_of(0x60F40030, {"6"}), "SRV01"), 5u);
  EXPECT_EQ(shown(), std::vector<std::string>{"ERROR ON LOCAL LOGON CONFIGURATION UPDATE | Error 5 adding AllowedVersions"});
  EXPECT_EQ(value("AllowedVersions", kSiblingKey), "");
  ASSERT_EQ(SaveAllowedVersions(list(0x60F40030), "SRV01"), 0u);
  EXPECT_EQ(value("AllowedVersions", kSiblingKey), "");
  shown();

  // The grid: Monday 08:00 alone is bit 32, byte 4; Saturday 23:00 is the last bit.
  BYTE grid[kValidHoursGridBytes] = {};
  set_valid_hour(grid, 1, 8, true);
  ASSERT_EQ(SaveValidHoursGrid("SRV01", grid), 0u);
  std::vector<BYTE> monday_eight(21, 0);
  monday_eight[4] = 0x01;
  EXPECT_EQ(binary(kSiblingKey, "ValidHoursGrid"), monday_eight);
  BYTE read[kValidHoursGridBytes];
  set_valid_hour(grid, 6, 23, true);
  set_valid_hour(grid, 0, 0, true);
  ASSERT_EQ(SaveValidHoursGrid("SRV01", grid), 0u);
  ASSERT_EQ(GetValidHoursGrid("SRV01", read), 0u);
  EXPECT_EQ(std::vector<BYTE>(read, read + 21),
            (std::vector<BYTE>{1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_TRUE(valid_hour(read, 1, 8) && valid_hour(read, 6, 23) && !valid_hour(read, 1, 9));
  // A server without the sibling key: made on the first use, with nothing in it yet.
  ASSERT_EQ(GetValidHoursGrid("BARE01", read), 0u);
  EXPECT_EQ(std::count(read, read + 21, 0), 21);
  EXPECT_EQ(ListAllowedVersions(list(0x60F40030), "BARE01"), 0u);
  EXPECT_EQ(values(kSiblingKey, "BARE01"), (std::vector<std::string>{"[]"}));
  EXPECT_TRUE(shown().empty());

  // IP ranges of the sibling key, as a profile's.
  IpRange range = {{10, 0, 0, 1}, {10, 0, 0, 200}, 0};
  HWND ranges = list(0x60F40035);
  AddIpRange(ranges, range, nullptr);
  ASSERT_EQ(SaveSiblingIpRanges(ranges, "SRV01"), 0u);
  EXPECT_EQ(values((std::string(kSiblingKey) + "\\IP_Ranges").c_str()),
            (std::vector<std::string>{"[]", "0a0000010a0000c8=3:|||||||||"}));
  HWND listed = list(0x60F40035);
  EXPECT_EQ(ListSiblingIpRanges(listed, "SRV01"), 1u);
  EXPECT_EQ(support::list_column(listed), std::vector<std::string>{"10.0.0.1 through 10.0.0.200"});

  // Local logon containers: one value per container; keep 0 empties the key.
  const char* ou = "OU=Kiosks,DC=brightmere,DC=local";
  ASSERT_EQ(SaveLocalLogonContainers(list_of(0x603400B0, {ou, "OU=Labs"}), "SRV01", 1), 0u);
  EXPECT_EQ(values((std::string(kProductKey) + "\\LLOUTracked").c_str()),
            (std::vector<std::string>{"[]", std::string(ou) + "=1:" + ou + "|", "OU=Labs=1:OU=Labs|"}));
  HWND containers = list(0x603400B0);
  EXPECT_EQ(ListLocalLogonContainers(containers, "SRV01"), 2u);
  fail_write("SRV01", "5", 2);
  EXPECT_EQ(SaveLocalLogonContainers(list_of(0x603400B0, {"OU=A", "OU=B"}), "SRV01", 1), 5u);
  EXPECT_EQ(shown(), std::vector<std::string>{"ERROR ON LOCAL LOGON CONFIGURATION UPDATE | Error 5 adding OU=B"});
  EXPECT_EQ(values((std::string(kProductKey) + "\\LLOUTracked").c_str()),
            (std::vector<std::string>{"[]", "OU=A=1:OU=A|"}))
      << "the containers written before the failure stay";
  ASSERT_EQ(SaveLocalLogonContainers(containers, "SRV01", 0), 0u);
  EXPECT_EQ(values((std::string(kProductKey) + "\\LLOUTracked").c_str()), std::vector<std::string>{"[]"});
}

}  // namespace
