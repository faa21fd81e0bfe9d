// The status line of each server of the console's server list, written through
// the owner-draw export and read back by a CSV reader from outside; the server
// tile's texts and pixels; the scout agent's rows.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "console/linked_library.h"
#include "host/list_item.h"
#include "sim/agent_world.h"
#include "sim/fake_pipe_agent.h"
#include "sim/program_runner.h"
#include "tests/support/drawn_control.h"
#include "tests/support/list_rows.h"
#include "tests/support/server_list_fixture.h"

namespace {

constexpr uint32_t k2007End = 1199145540;    // 2007-12-31 23:59 UTC
constexpr uint32_t k2016Start = 1457165220;  // 2016-03-05 08:07 UTC
constexpr uint32_t kRefreshed = 1796551200;  // 2026-12-06 10:00 UTC
using Record = std::vector<BYTE>;

// A record as a refresh leaves it for a running agent, with its status reply when versions are given.
Record running(BYTE last_octet, uint32_t started, std::vector<BYTE> versions = {}) {
  Record r(kListItemBytes);
  for (auto [word, value] : {std::pair{kItemWordRefreshTime, kRefreshed}, {kItemWordAgentState, kAgentRunning},
                             {kItemWordAgentStartTime, started}})
    set_item_word(r.data(), word, value);
  r[kItemIPv4Address] = 10, r[kItemIPv4Address + 3] = last_octet;
  r[kItemStatusReply] = !versions.empty();
  std::copy(versions.begin(), versions.end(), r.begin() + kItemAgentVersion);
  return r;
}

class ServerStatus : public support::ServerListTest {
 protected:
  void SetUp() override {
    ServerListTest::SetUp();
    for (int i = 1; i <= 5; ++i)
      support::add_agent_server(world_, "SRV0" + std::to_string(i), "127.0.0." + std::to_string(i + 1),
                                "Windows Server 2012 R2 Standard", true);
    world_.set_machine_setting("SRV01", "machine", "reachable", "no");
    world_.set_machine_setting("SRV02", "machine", "access", "none");
    // SRV03 has no agent; its settings name a department, a SQL transfer and an SMTP server.
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n";
    world_.add_registry_text("SRV03", "HKLM",
                             key + "\"DepartmentHosted\"=\"Sales \\\"East\\\", 2nd floor\"\r\n"
                                   "\"PerformSQLServerTransfer\"=dword:00000001\r\n\"SQLServerForTransfer\"=\"SQL01\"\r\n"
                                   "\"SMTP Server\"=\"mail.brightmere.com\"\r\n\r\n");
    // SRV04's agent is installed and stopped, its SQL transfer on without a server; SRV05's answers its pipe.
    for (const char* name : {"SRV04", "SRV05"}) support::add_installed_agent(world_, name);
    std::string services = support::read_whole_file(world_.machine_dir("SRV04") + "/services.ini");
    services.replace(services.find("state = running"), 15, "state = stopped");
    std::ofstream(world_.machine_dir("SRV04") + "/services.ini", std::ios::binary) << services;
    world_.add_registry_text("SRV04", "HKLM", key + "\"PerformSQLServerTransfer\"=dword:00000001\r\n\r\n");
    start();
  }
};

TEST_F(ServerStatus, EachServerStateWritesOneLineOfQuotedFields) {
  Record offline(kListItemBytes), no_access(kListItemBytes), no_agent(kListItemBytes), stopped(kListItemBytes),
      piped(kListItemBytes);
  Record old = running(5, k2007End, {6, 10, 3, 6, 10, 3, 1});  // flag bit of value 1: no ".6" line
  Record recent = running(6, k2016Start, {7, 2, 1, 7, 2, 2, 2});
  recent[kItemSqlTransferOn] = recent[kItemSqlServerNamed] = recent[kItemEmailConfigured] = 1;
  support::PipeScript script;
  script.start_time = k2016Start;
  support::FakePipeAgent pipe("SRV05", "vornixw01", script);
  HWND list = support::add_server_list(host::in_process_library(), host::create_screen(2, "Servers"),
      {{"SRV01", offline.data()}, {"SRV02", no_access.data()}, {"SRV03", no_agent.data()}, {"SRV04", stopped.data()},
       {"SRV05", piped.data()}, {"SRV06", old.data()}, {"SRV07", recent.data()}, {"SRV08", nullptr}});
  const std::string text = status_lines(list, 8);
  const std::string rest = "\"SQL NOT Enabled\",\"Email NOT Configured\",\"No Department Hosted\",\r\n";
  EXPECT_EQ(text,
            "\"IPv4 127.0.0.2\",\"Server OFFLINE, unable to collect data\",\r\n"
            "\"IPv4 127.0.0.3\",\"Permissions ERROR, unable to collect data\",\r\n"
            "\"IPv4 127.0.0.4\",\"Agent NOT INSTALLED\",\"SQL Enabled\",\"Email Configured\","
            "\"Department Hosted (Sales \"\"East\"\", 2nd floor)\",\r\n"
            "\"IPv4 127.0.0.5\",\"Agent Stopped\"," + rest +
            "\"IPv4 127.0.0.6\",\"Agent Started March 5, 2016  8:07\",\"Version 7.02b | 6.10c.6\"," + rest +
            "\"IPv4 10.0.0.5\",\"Agent Started Invalid Start Time\",\"Version 6.10c | 6.10c\"," + rest +
            "\"IPv4 10.0.0.6\",\"Agent Started March 5, 2016  8:07\",\"Version 7.02a | 7.02b.6\",\"SQL Enabled\","
            "\"Email Configured\",\"No Department Hosted\",\r\n");
  support::ProgramRun csv = support::run_program("python3", "-c 'import csv,sys\nprint(*(len(r) for r in csv.reader("
      "open(sys.argv[1], newline=\"\"))))' " + world_.folder() + "/status.csv");
  EXPECT_EQ(csv.output, "3 3 6 6 7 7 7\n") << "one record a line, the department's quotes and comma inside it";
  // The agent's pipe filled the reply; the servers read keep what was read, and are not read again.
  EXPECT_EQ(Record(piped.begin() + kItemStatusReply, piped.begin() + kItemDriverFlags + 1),
            (Record{1, 7, 2, 2, 6, 10, 3, 2}));
  EXPECT_EQ(item_word(piped.data(), kItemWordAgentStartTime), k2016Start);
  EXPECT_EQ(offline[kItemByteReachability], kUnreachable);
  EXPECT_EQ(item_word(no_access.data(), kItemWordAgentState), kAgentPermissionError);
  world_.set_machine_setting("SRV03", "machine", "reachable", "no");
  EXPECT_EQ(status_lines(list, 3), text.substr(0, text.find("\r\n\"IPv4 127.0.0.5")) + "\r\n");
}

// With the scout agent running, a server's line comes from what the scout left for it: its
// statistics block (490 bytes) and its department, SQL transfer and e-mail values; the server's
// own registry names none of them and its pipe is not asked.
TEST_F(ServerStatus, AServerTheScoutReportsShowsTheScoutsStatisticsAndValues) {
  support::add_agent_server(world_, "SRV06", "127.0.0.7", "Windows Server 2012 R2 Standard", true);
  support::add_installed_agent(world_, "SRV06");
  support::PipeScript script;
  script.start_time = k2016Start;
  std::vector<uint8_t> block = support::pipe_statistics(script);
  block.resize(490, 0x5A);
  std::string hex;
  for (uint8_t b : block) {
    char two[4];
    std::snprintf(two, sizeof two, "%02x,", b);
    hex += two;
  }
  hex.pop_back();
  world_.add_registry_text(world_.console(), "HKLM",
                           "[HKEY_LOCAL_MACHINE\\" + std::string(kScoutStatusKey) + "\\SRV06]\r\n"
                           "\"STATS_TIME\"=dword:6b15b000\r\n\"STATS\"=hex:" + hex + "\r\n"
                           "\"DepartmentHosted\"=\"Finance\"\r\n\"SQLServerForTransfer\"=\"SQL01\"\r\n"
                           "\"PerformSQLServerTransfer\"=dword:00000001\r\n\"InvalidNDISBinding\"=hex:02\r\n"
                           "\"EmailConfigured\"=hex:01\r\n\r\n");
  std::ofstream(world_.machine_dir(world_.console()) + "/services.ini")
      << "[vornixwscoutagent]\nname = VORNIXWScoutAgent\nimage = C:\\Windows\\vnxscout.exe\nstate = running\n";
  release_registry_connections();
  ASSERT_NO_FATAL_FAILURE(start());
  support::FakePipeAgent pipe("SRV06", "vornixw01", support::PipeScript{});

  Record scouted(kListItemBytes);
  HWND list = support::add_server_list(host::in_process_library(), host::create_screen(2, "Servers"),
                                       {{"SRV06", scouted.data()}});
  EXPECT_EQ(status_lines(list, 1),
            "\"IPv4 127.0.0.7\",\"Agent Started March 5, 2016  8:07\",\"Version 7.02b | 6.10c.6\",\"SQL Enabled\","
            "\"Email Configured\",\"Department Hosted (Finance)\",\r\n");
  EXPECT_EQ(scouted[kItemNetworkBinding], 2);
  EXPECT_TRUE(pipe.requests().empty());
}

TEST_F(ServerStatus, TilesShowTheSelectedServersStateInEitherStyleAndScoutRowsTheScoutsState) {
  Record offline(kListItemBytes), no_agent(kListItemBytes);
  Record old = running(6, k2007End), recent = running(6, k2016Start, {7, 2, 1, 7, 2, 2, 2});
  set_item_word(no_agent.data(), kItemWordRefreshTime, kRefreshed);
  set_item_word(no_agent.data(), kItemWordAgentState, kAgentNotInstalled);  // no address known
  HWND list = support::add_server_list(host::in_process_library(), host::create_screen(2, "Servers"),
      {{"SRV01", offline.data()}, {"SRV03", no_agent.data()}, {"SRV05", old.data()}, {"SRV06", recent.data()}});
  const std::string at = "December 6, 2026 10:00 (Last Tile Refresh)";
  const struct {
    uint32_t tile;
    std::vector<std::string> texts;
  } tiles[] = {
      {0x602220C8, {"SRV01", at, "127.0.0.2", "Unable to connect", "<right click> to retry"}},
      {0x603200E1, {"SRV03", at, "ADAPTER BINDING FAILED", "0nline", "Agent NOT Installed!"}},
      {0x602220C8, {"SRV05", at, "10.0.0.6", "Online", "Started: <Invalid Start Time>"}},
      {0x603200E1, {"SRV06", at, "10.0.0.6", "0nline", "Started: March 5, 2016 08:07", "Version: 7.02a | 7.02b"}}};
  for (int row = 0; row < 4; ++row) {
    ui::click_row(list, row);
    EXPECT_EQ(support::draw_control(tiles[row].tile, nullptr, 0, 360, 200).texts, tiles[row].texts);
  }
  // On a bitmap: the white face, and the name's heading in the title band's colour at its top left.
  support::DrawnControl tile = support::draw_control(0x603200E1, nullptr, 0, 360, 200);
  EXPECT_EQ(tile.at(359, 199), 0xFFFFFFu);
  int heading_pixels = 0;
  for (int y = 6; y < 34; ++y)
    for (int x = 6; x < 120; ++x) heading_pixels += tile.at(x, y) == 0x3172B6;
  EXPECT_GT(heading_pixels, 20) << "the server's name in 0xB67231 (red 0x31, blue 0xB6)";

  // Without a record behind the selected row nothing is drawn.
  support::add_server_list(host::in_process_library(), host::create_screen(3, "Servers"), {});
  EXPECT_TRUE(support::draw_control(0x602220C8).texts.empty());
  EXPECT_EQ(support::draw_control(0x60280070).texts, std::vector<std::string>{"Not Installed"}) << "no scout here";
}

// The option buttons of a server feature read the current server at each paint: the caption,
// then "Enabled" or "NOT Enabled" on a second line; the list's record keeps what it had.
TEST_F(ServerStatus, FeatureButtonsShowTheCurrentServersSqlTransferAndEmailAsTheyAreNow) {
  Record record(kListItemBytes);
  HWND screen = host::create_screen(2, "Servers");
  HWND list = support::add_server_list(host::in_process_library(), screen, {{"SRV04", record.data()}});
  ui::click_row(list, 0);
  auto button = [&](int item, uint32_t id, const char* caption) {
    return host::add_control(screen, item, "Button", caption, host::ControlSpec{id, kDescriptorPushButton});
  };
  HWND sql = button(20, 0x603100E2, "SQL Transfer"), mail = button(21, 0x603100D2, "Email Server Config");
  HWND plain = button(22, 0x602100CA, "Requires Confirmation");
  using Texts = std::vector<std::string>;
  auto texts = [](uint32_t id, HWND window) { return support::draw_control(id, window, 0, 200, 48).texts; };
  // SRV04's transfer is switched on without a transfer server, and it names no SMTP server.
  EXPECT_EQ(texts(0x603100E2, sql), (Texts{"SQL Transfer", "NOT Enabled"}));
  EXPECT_EQ(texts(0x603100D2, mail), (Texts{"Email Server Config", "NOT Enabled"}));
  EXPECT_EQ(texts(0x602100CA, plain), Texts{"Requires Confirmation"}) << "a button of no feature: its caption";

  HKEY hklm, product;
  ASSERT_EQ(RegConnectRegistryA("\\SRV04", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(hklm, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX", 0, KEY_ALL_ACCESS, &product), ERROR_SUCCESS);
  for (auto [name, value] : {std::pair{"SQLServerForTransfer", "SQL01"}, {"SMTP Server", "mail.brightmere.com"}})
    RegSetValueExA(product, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  EXPECT_EQ(texts(0x603100E2, sql), (Texts{"SQL Transfer", "Enabled"}));
  EXPECT_EQ(texts(0x603100D2, mail), (Texts{"Email Server Config", "Enabled"}));
  DWORD off = 0;
  RegSetValueExA(product, "PerformSQLServerTransfer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
  EXPECT_EQ(texts(0x603100E2, sql), (Texts{"SQL Transfer", "NOT Enabled"})) << "switched off again";
  RegCloseKey(product);
  RegCloseKey(hklm);
  EXPECT_EQ(record[kItemSqlTransferOn] + record[kItemSqlServerNamed] + record[kItemEmailConfigured], 0);
}

}  // namespace
