// The connection cache, the product key tree, tree deletion and the scout
// status, run on the library's code linked into the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/registry_test_api.h"
#include "win32/ui_script.h"

namespace {

const char kProductSection[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

class ServerRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_service_calls();
    world_.add_machine("SRV01", "127.0.0.2");
  }

  void TearDown() override { release_registry_connections(); }

  void start() {
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.sibling_mode = 0;
    g_library.quiet_mode = 0;
    host::clear_service_calls();
  }

  HKEY connect(const char* server, DWORD expected = 0) {
    HKEY key = nullptr;
    EXPECT_EQ(ConnectServerRegistry(server, &key, "TEST TITLE", 0), expected) << server;
    return key;
  }

  std::vector<std::string> shown() { return support::journal_lines(); }

  std::vector<std::string> status_lines() {
    std::vector<std::string> lines;
    for (const std::string& call : host::service_calls())
      if (call.rfind("host_show_status_line", 0) == 0) lines.push_back(call);
    return lines;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

std::vector<std::string> product_tree(HKEY server) {
  std::vector<std::string> out;
  support::dump_registry(server, kVendorKey, "B", out, false);
  return out;
}

TEST_F(ServerRegistry, ConnectionsAreCachedRetriedAndEachFailingServerIsReportedOnce) {
  world_.add_machine("FLAKY01", "127.0.0.3");
  world_.set_machine_setting("FLAKY01", "faults", "registry_connect", "1722");
  world_.set_machine_setting("FLAKY01", "faults", "registry_connect_failures", "2");
  world_.add_machine("DOWN01", "127.0.0.4");
  world_.set_machine_setting("DOWN01", "faults", "registry_connect", "1722");
  world_.add_machine("DOWN02", "127.0.0.5");
  world_.set_machine_setting("DOWN02", "faults", "registry_connect", "1726");
  const std::string long_name = "srv01-records-and-archives.eu-west-building-7.audit.brightmere-example.local";
  world_.add_machine(long_name, "127.0.0.6");
  start();

  // This computer by any of its names, and a server in either case, are connected once.
  HKEY local = connect("LOCAL_MACHINE");
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(connect("local_machine"), local);
  EXPECT_EQ(connect("CONSOLE01"), local);
  HKEY first = connect("SRV01");
  ASSERT_NE(first, nullptr);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(connect(i % 2 ? "srv01" : "SRV01"), first);

  // Two retries, after 150 and 350 ms; a failure is not cached.
  DWORD before = GetTickCount();
  EXPECT_NE(connect("FLAKY01"), nullptr);
  EXPECT_EQ(GetTickCount() - before, 150u + 350u);
  EXPECT_EQ(qvmr_registry_connect_count("FLAKY01"), 3);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(connect("DOWN01", 1722), nullptr);
  connect("DOWN01", 1722);
  EXPECT_EQ(qvmr_registry_connect_count("DOWN01"), 6);
  connect("DOWN02", 1726);
  connect("DOWN01", 1722);  // the last failure was another server's
  connect("NOSUCH", 53);
  // "none found" is no server; every other name is tried as it is, a long DNS name too.
  EXPECT_EQ(connect("<None Found>"), nullptr);
  connect("SRV01/x", 53);
  HKEY far = connect(long_name.c_str());
  ASSERT_NE(far, nullptr);
  EXPECT_EQ(connect(long_name.c_str()), far);
  const std::string refused = "TEST TITLE | Unable to connect to ";
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         refused + "DOWN01's Registry, err=1722", refused + "DOWN02's Registry, err=1726",
                         refused + "DOWN01's Registry, err=1722",
                         refused + "Registry - machine NOSUCH not found on network",
                         refused + "Registry - machine SRV01/x not found on network"}));

  // Reporting to the host: a status line instead of a message box.
  ui::clear_journal();
  HKEY key = nullptr;
  EXPECT_EQ(ConnectServerRegistry("GONE01", &key, "TEST TITLE", 1), 53u);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(status_lines(), (std::vector<std::string>{
                                "host_show_status_line line=25 colour=000000 text=Connecting to Registry: "
                                "connecting... GONE01",
                                "host_show_status_line line=25 colour=0000FF text=Connecting to Registry: Unable to "
                                "connect to Registry - machine GONE01 not found on network"}));

  std::vector<std::string> cached;
  for (RegistryConnection* c = g_registry.connections; c; c = c->next) cached.push_back(c->server);
  EXPECT_EQ(cached, (std::vector<std::string>{"CONSOLE01", "SRV01", "FLAKY01", long_name}));
  EXPECT_EQ((std::vector<int>{qvmr_registry_connect_count("CONSOLE01"), qvmr_registry_connect_count("SRV01"),
                              qvmr_registry_connect_count(long_name.c_str())}),
            (std::vector<int>{1, 1, 1}));
}

TEST_F(ServerRegistry, EstablishingBuildsTheWholeTreeOrOnlyAddsWhatIsMissing) {
  world_.add_machine("OLD2000", "127.0.0.6", "Microsoft Windows 2000 Server");
  world_.add_machine("SRV02", "127.0.0.3");
  world_.add_registry_text("SRV02", "HKLM",
                           std::string(kProductSection) + "]\r\n\"OriginalInstallDate\"=dword:00000001\r\n"
                           "\"LastUpdateDate\"=dword:00000002\r\n\"ReportPath\"=\"E:\\\\Old\"\r\n\r\n" +
                           kProductSection + "\\Profiles\\Weekly]\r\n\"ProfileType\"=dword:00000110\r\n\r\n");
  start();
  DWORD before = GetTickCount();
  ASSERT_EQ(EstablishServerKey(nullptr, "SRV01", "D:\\Logs", "DEPT01", "ENT01"), 0u);
  // A new key: a pause before and after each subkey.
  EXPECT_EQ(GetTickCount() - before, 250u + 250u + 3 * (200u + 250u));
  EXPECT_EQ(qvmr_registry_last_access("SRV01"), static_cast<unsigned long>(KEY_ALL_ACCESS | KEY_WOW64_64KEY));
  const std::string written = "=4:" + std::to_string(1796551200 + 1);  // the world's clock after those pauses
  EXPECT_EQ(product_tree(connect("SRV01")),
            (std::vector<std::string>{
                "B", "B\\VORNIX", "B\\VORNIX:LastUpdateDate" + written, "B\\VORNIX:OriginalInstallDate" + written,
                "B\\VORNIX:DepartmentsReportTo=7:DEPT01||", "B\\VORNIX:EnterpriseHostsReportTo=7:ENT01||",
                "B\\VORNIX:ReportPath=1:D:\\Logs|", "B\\VORNIX\\Enterprise", "B\\VORNIX\\Profiles",
                "B\\VORNIX\\Reports"}));
  // A server of the 2000 family is reached without the 64-bit view.
  ASSERT_EQ(EstablishServerKey(connect("OLD2000"), "OLD2000", "", "", ""), 0u);
  EXPECT_EQ(qvmr_registry_last_access("OLD2000"), static_cast<unsigned long>(KEY_ALL_ACCESS));
  EXPECT_EQ(product_tree(connect("OLD2000")).size(), 7u);

  // An existing key: only the missing subkeys, and only the texts given; the dates stay.
  HKEY server = connect("SRV02");
  before = GetTickCount();
  ASSERT_EQ(EstablishServerKey(server, "SRV02", "", "", ""), 0u);
  EXPECT_EQ(GetTickCount() - before, 200u + 2 * 250u) << "two keys made";
  before = GetTickCount();
  ASSERT_EQ(EstablishServerKey(nullptr, "srv02", "F:\\New", "", "ENT02"), 0u);
  EXPECT_EQ(GetTickCount(), before) << "nothing left to make";
  EXPECT_EQ(product_tree(server),
            (std::vector<std::string>{
                "B", "B\\VORNIX", "B\\VORNIX:OriginalInstallDate=4:1", "B\\VORNIX:LastUpdateDate=4:2",
                "B\\VORNIX:ReportPath=1:F:\\New|", "B\\VORNIX:EnterpriseHostsReportTo=7:ENT02||", "B\\VORNIX\\Enterprise",
                "B\\VORNIX\\Profiles", "B\\VORNIX\\Profiles\\Weekly", "B\\VORNIX\\Profiles\\Weekly:ProfileType=4:272",
                "B\\VORNIX\\Reports"}));

  // The sibling key holds only its report path.
  g_library.sibling_mode = 1;
  ASSERT_EQ(EstablishServerKey(server, "SRV02", "G:\\Kq", "DEPT", "ENT"), 0u);
  std::vector<std::string> sibling;
  support::dump_registry(server, kSiblingKey, "Q", sibling, false);
  EXPECT_EQ(sibling, (std::vector<std::string>{"Q", "Q:ReportPath=1:G:\\Kq|"}));
}

TEST_F(ServerRegistry, TheAllowListIsExtendedOnlyWhenItLacksTheProductEntry) {
  // A multi-string: each entry with its zero, then the list's zero.
  auto list_of = [](std::initializer_list<std::string> entries) {
    std::u16string list;
    for (const std::string& e : entries) list += std::u16string(e.begin(), e.end()) + u'\0';
    return list + u'\0';
  };
  const std::u16string admitted = list_of({"System\\CurrentControlSet", "SOFTWARE\\BRIGHTMERE SOFTWARE, INC."});
  const std::u16string huge = list_of({std::string(27020, 'x')});  // 54044 bytes
  // Server, its address when it is not the fixture's, the list stored and the list kept.
  const std::vector<std::tuple<const char*, const char*, std::u16string, std::u16string>> cases = {
      {"SRV01", nullptr, admitted, admitted},
      {"SRV02", "127.0.0.3", list_of({"System\\A", "Software\\Other"}),
       list_of({"System\\A", "Software\\Other", "Software\\Brightmere Software, Inc."})},
      {"SRV03", "127.0.0.4", huge, huge}};
  const char kPaths[] = "SYSTEM\\CurrentControlSet\\Control\\SecurePipeServers\\winreg\\AllowedPaths";
  for (const auto& [server, address, stored, kept] : cases) {
    if (address) world_.add_machine(server, address);
    std::string text = std::string("[HKEY_LOCAL_MACHINE\\") + kPaths + "]\r\n\"Machine\"=hex(7):";
    char byte[8];
    for (char16_t ch : stored) {
      std::snprintf(byte, sizeof byte, "%02x,%02x,", ch & 0xFF, ch >> 8);
      text += byte;
    }
    world_.add_registry_text(server, "HKLM", text.substr(0, text.size() - 1) + "\r\n\r\n");
  }
  start();
  for (const auto& [server, address, stored, kept] : cases) {
    HKEY paths;
    ASSERT_EQ(RegOpenKeyExA(connect(server), kPaths, 0, KEY_READ, &paths), ERROR_SUCCESS);
    std::u16string list(40000, u'\0');
    DWORD size = static_cast<DWORD>(list.size() * 2), type = 0;
    EXPECT_EQ(RegQueryValueExW(paths, u"Machine", nullptr, &type, reinterpret_cast<BYTE*>(&list[0]), &size),
              ERROR_SUCCESS);
    RegCloseKey(paths);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(list.substr(0, size / 2), kept) << server;
  }
}

TEST_F(ServerRegistry, TreesAreDeletedDeepestFirstAndTheProductKeyItselfStays) {
  world_.add_registry_text("SRV01", "HKLM",
                           std::string(kProductSection) + "]\r\n\"ReportPath\"=\"E:\\\\Old\"\r\n\r\n" +
                           kProductSection + "\\Profiles\\A\\A1\\A11]\r\n\r\n" + kProductSection +
                           "\\Profiles\\B]\r\n\"ProfileType\"=dword:00000100\r\n\r\n" + kProductSection +
                           "\\Reports\\Graphs]\r\n\r\n");
  world_.add_machine("BARE01", "127.0.0.7");
  start();
  ASSERT_EQ(RemoveProductKey("SRV01", 1), 0u);
  std::vector<std::string> deleted;
  for (const std::string& line : status_lines()) {
    size_t at = line.find("Delete Registry Key: ");
    if (at == std::string::npos) continue;
    std::string rest = line.substr(at + 21);
    EXPECT_NE(rest.find(": deleted (0)"), std::string::npos) << rest;
    deleted.push_back(rest.substr(0, rest.find(" on SRV01")));
  }
  EXPECT_EQ(deleted, (std::vector<std::string>{
                         "Reports\\Graphs", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports", "Profiles\\B",
                         "A1\\A11", "A\\A1", "Profiles\\A", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles"}));
  EXPECT_EQ(product_tree(connect("SRV01")),
            (std::vector<std::string>{"B", "B\\VORNIX", "B\\VORNIX:ReportPath=1:E:\\Old|"}));
  EXPECT_TRUE(ui::journal().empty());

  // A missing product key goes to the host's status, whether or not the caller reports there;
  // a missing key of a tree deletion is shown in a message box.
  for (DWORD report_to_host : {1u, 0u}) {
    host::clear_service_calls();
    EXPECT_EQ(RemoveProductKey("BARE01", report_to_host), 2u);
    ASSERT_FALSE(status_lines().empty());
    EXPECT_NE(status_lines().back().find("text=Open Registry Key: Error["), std::string::npos);
    EXPECT_NE(status_lines().back().find("][2] opening VORNIX key (may already be removed)"), std::string::npos);
    EXPECT_TRUE(ui::journal().empty());
  }
  EXPECT_EQ(DeleteKeyTree(connect("BARE01"), "SOFTWARE\\Nothing", "BARE01", 0), 2u);
  EXPECT_EQ(shown(), std::vector<std::string>{"ERROR OPENING KEY | [dk]Error Opening [SOFTWARE\\Nothing] [2]"});
}

TEST_F(ServerRegistry, ScoutStatusIsReadWithinItsBoundsAndMissingGives255) {
  const std::string section =
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent\\MYSERVERS\\";
  std::string oversized = "\"STATS\"=hex:05";
  for (int i = 1; i < 600; ++i) oversized += ",00";
  world_.add_registry_text("CONSOLE01", "HKLM",
                           section + "SRV01]\r\n\"STATS_TIME\"=dword:6aac4100\r\n\"STATS\"=hex:01,02,03\r\n"
                           "\"DepartmentHosted\"=\"Sales\"\r\n\"SQLServerForTransfer\"=\"SQL01\"\r\n"
                           "\"PerformSQLServerTransfer\"=\"1\"\r\n\"InvalidNDISBinding\"=hex:07,00\r\n"
                           "\"EmailConfigured\"=dword:00000000\r\n\r\n" +
                           section + "SRV02]\r\n" + oversized + "\r\n\"EmailConfigured\"=hex:01\r\n\r\n");
  start();
  DWORD time = 0;
  BYTE statistics[kScoutStatisticsBytes + 1];
  std::memset(statistics, 0xEE, sizeof statistics);
  ScoutServerStatus status;
  ASSERT_EQ(ReadScoutServerStatus("SRV01", &time, statistics, &status), 0u);
  EXPECT_EQ(std::vector<BYTE>(statistics, statistics + 4), (std::vector<BYTE>{1, 2, 3, 0}));
  EXPECT_STREQ(status.department, "Sales");
  // The time; nothing written past the block; the transfer server named and switched on, the
  // binding warning, e-mail not configured.
  EXPECT_EQ((std::vector<DWORD>{time, statistics[kScoutStatisticsBytes], status.transfer_server_set,
                                status.transfer_on, status.binding_warning, status.email_configured}),
            (std::vector<DWORD>{0x6aac4100u, 0xEE, 1, 1, 7, 0}));

  // A block longer than its room is treated as missing.
  ASSERT_EQ(ReadScoutServerStatus("SRV02", &time, statistics, &status), 0u);
  EXPECT_EQ((std::vector<DWORD>{statistics[0], statistics[kScoutStatisticsBytes], status.email_configured,
                                status.transfer_server_set}),
            (std::vector<DWORD>{0, 0xEE, 1, 0}));
  EXPECT_EQ(ReadScoutServerStatus("SRV03", &time, statistics, &status), kScoutStatusMissing);
}

TEST_F(ServerRegistry, TheQuickReportDialogIsRememberedAndItsEmptyFieldsLeaveNoValue) {
  start();
  auto remembered = [] {
    std::vector<std::string> out;
    support::dump_registry(HKEY_CURRENT_USER, std::string(kProductKey) + "\\QUICKRPT", "", out, false);
    return out;
  };
  auto window = [](uint32_t now) {
    uint32_t start = 0, end = 0, maximum = 0;
    read_quick_report_settings(now, &start, &end, &maximum);
    return std::vector<uint32_t>{start, end, maximum};
  };
  QuickReportSettings six_hours = {};
  six_hours.by_last_hours = 1;
  six_hours.last_hours = 6;
  six_hours.stop_at_records = 1;
  six_hours.stop_records = 500;
  six_hours.type_fs = 1;
  std::strcpy(six_hours.search, "payroll");
  ASSERT_EQ(SaveQuickReportSettings(six_hours), 0u);
  EXPECT_EQ(remembered(), (std::vector<std::string>{"", ":LASTXHOURS=4:6", ":STOPXRECS=4:500", ":TYPE_FS=4:1",
                                                    ":_LASTXHOURS=4:1", ":_STOPXRECS=4:1", ":SEARCH001=1:payroll|"}));
  // The next quick report runs over what the dialog was saved with.
  EXPECT_EQ(window(1800000000), (std::vector<uint32_t>{1800000000 - 6 * 3600, 1800000000 + 86400, 500}));

  // Saved again with all dates and nothing else: the fields now empty leave no value behind.
  QuickReportSettings all = {};
  all.all_dates = 1;
  ASSERT_EQ(SaveQuickReportSettings(all), 0u);
  EXPECT_EQ(remembered(), (std::vector<std::string>{"", ":_ALLDATES=4:1"}));
  EXPECT_EQ(window(1800000000), (std::vector<uint32_t>{0, 0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST_F(ServerRegistry, ReportPathIsOneTextForEveryReaderWhateverItsTextType) {
  world_.add_machine("SRV02", "127.0.0.3");
  std::filesystem::create_directories(world_.machine_dir("SRV01") + "/shares/Logs$/vnxlogs");
  std::ofstream(world_.machine_dir("SRV01") + "/shares/Logs$/vnxlogs/Logons_SRV01.vnx") << "x";
  start();
  HKEY srv01 = connect("SRV01"), srv02 = connect("SRV02"), product;
  ASSERT_EQ(RegCreateKeyExA(srv01, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr), 0);
  auto put = [&](DWORD type, const std::string& data) {
    RegSetValueExA(product, "ReportPath", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
  };
  auto read = [&](HKEY machine) {
    char path[300];
    std::memset(path, 'x', sizeof path);
    DWORD rc = ReadReportPath(machine, KEY_READ, path, sizeof path);
    return std::to_string(rc) + " " + path;
  };
  // An expandable text is the same share as a plain one, as stored; no text, or another type, is none.
  put(REG_EXPAND_SZ, std::string("Logs$", 6));
  EXPECT_EQ(read(srv01), "0 Logs$");
  put(REG_SZ, std::string("Logs$", 6));
  EXPECT_EQ(read(srv01), "0 Logs$");
  put(REG_SZ, std::string(254, 'L') + '\0');
  EXPECT_EQ(read(srv01), "0 " + std::string(254, 'L'));
  put(REG_SZ, std::string(255, 'L') + '\0');
  EXPECT_EQ(read(srv01), "234 ");
  put(REG_SZ, std::string(1, '\0'));
  EXPECT_EQ(read(srv01), "2 ");
  put(REG_BINARY, std::string("Logs$", 6));
  EXPECT_EQ(read(srv01), "2 ");
  EXPECT_EQ(read(srv02), "2 ");

  // The quick report finds the logs of a server whose path is expandable, as the log listings do.
  g_quick_report.window_start = 0;
  g_quick_report.window_end = 0xFFFFFFFF;
  BOOL failed = TRUE;
  EXPECT_EQ(ChooseQuickReportFiles("SRV01", &failed), 0u);
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         "SRV01 | Unable to determine ReportPath, unable to generate Quick Report"}));
  put(REG_EXPAND_SZ, std::string("Logs$", 6));
  ui::clear_journal();
  EXPECT_EQ(ChooseQuickReportFiles("SRV01", &failed), 1u);
  EXPECT_FALSE(failed);
  EXPECT_TRUE(shown().empty());
  char current[300] = {};
  EXPECT_EQ(read_log_folders("SRV01", "T", current, nullptr, sizeof current), 0u);
  EXPECT_STREQ(current, "\\\\SRV01\\Logs$\\vnxlogs\\");
  free_quick_report_files();
  RegCloseKey(product);
}

}  // namespace
