// The status line of each server of the console's server list, written
// through the owner-draw export and read back by a CSV reader from outside,
// and the server tile's texts and pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "chartdir/memory_dc.h"
#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "tests/support/agent_world.h"
#include "tests/support/list_rows.h"
#include "tests/support/program_runner.h"
#include "tests/support/time_zone.h"
#include "tests/support/whole_file.h"
#include "tests/support/world_builder.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

namespace {

constexpr uintptr_t kStatusLineMode = 0x71717171;
constexpr uint32_t kServerList = 0x602400C1;
constexpr uint32_t kFirstStyleTile = 0x602220C8;
constexpr uint32_t kSecondStyleTile = 0x603200E1;
constexpr uint32_t k2007End = 1199145540;    // 2007-12-31 23:59 UTC
constexpr uint32_t k2016Start = 1457165220;  // 2016-03-05 08:07 UTC
constexpr uint32_t kRefreshed = 1796551200;  // 2026-12-06 10:00 UTC

using Record = std::vector<BYTE>;

// A record as the agent's named pipe leaves it for a running agent: read, with a start time.
Record running_record(const BYTE address[4], uint32_t started) {
  Record r(kListItemBytes);
  set_item_word(r.data(), kItemWordRefreshTime, kRefreshed);
  set_item_word(r.data(), kItemWordAgentState, kAgentRunning);
  set_item_word(r.data(), kItemWordAgentStartTime, started);
  std::memcpy(r.data() + kItemIPv4Address, address, 4);
  return r;
}

void set_reply(Record* r, std::initializer_list<BYTE> agent, std::initializer_list<BYTE> driver, BYTE flags) {
  (*r)[kItemStatusReply] = 1;
  std::copy(agent.begin(), agent.end(), r->begin() + kItemAgentVersion);
  std::copy(driver.begin(), driver.end(), r->begin() + kItemDriverVersion);
  (*r)[kItemDriverFlags] = flags;
}

class ServerStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    support::add_agent_server(world_, "SRV01", "127.0.0.2", "Windows Server 2012 R2 Standard", true);
    world_.set_machine_setting("SRV01", "machine", "reachable", "no");
    support::add_agent_server(world_, "SRV02", "127.0.0.3", "Windows Server 2012 R2 Standard", true);
    world_.set_machine_setting("SRV02", "machine", "access", "none");
    // SRV03 has no agent; its settings name a department, a SQL transfer and an SMTP server.
    support::add_agent_server(world_, "SRV03", "127.0.0.4", "Windows Server 2012 R2 Standard", true);
    world_.add_registry_text("SRV03", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"DepartmentHosted\"=\"Sales \\\"East\\\", 2nd floor\"\r\n"
                             "\"PerformSQLServerTransfer\"=dword:00000001\r\n"
                             "\"SQLServerForTransfer\"=\"SQL01\"\r\n\"SMTP Server\"=\"mail.brightmere.com\"\r\n\r\n");
    // SRV04's agent is installed and stopped; its SQL transfer is on without a server to send to.
    support::add_agent_server(world_, "SRV04", "127.0.0.5", "Windows Server 2012 R2 Standard", true);
    support::add_installed_agent(world_, "SRV04");
    std::string services = support::read_whole_file(world_.machine_dir("SRV04") + "/services.ini");
    services.replace(services.find("state = running"), 15, "state = stopped");
    std::ofstream(world_.machine_dir("SRV04") + "/services.ini", std::ios::binary) << services;
    world_.add_registry_text("SRV04", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"PerformSQLServerTransfer\"=dword:00000001\r\n\r\n");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
  }

  void TearDown() override {
    release_main_server_list();
    release_registry_connections();
    release_drawing_resources();
  }

  // Writes the status line of each row in order into one file and returns the file's text.
  std::string status_lines(HWND list, int rows) {
    const std::string path = world_.folder() + "/status.csv";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    for (int row = 0; row < rows; ++row) {
      uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(file), static_cast<uintptr_t>(row)};
      EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(list), kStatusLineMode,
                                         reinterpret_cast<uintptr_t>(pair), 0, kServerList),
                1u);
    }
    CloseHandle(file);
    return support::read_whole_file(path);
  }

  // The file's records as Python's csv module reads them, one line each, fields joined by " | ".
  std::string read_as_csv(const std::string& path) {
    support::ProgramRun run = support::run_program(
        "python3", "-c 'import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline=\"\")): print(\" | \".join(r))' " +
                       path);
    EXPECT_EQ(run.exit_code, 0) << run.output;
    return run.output;
  }

  support::TimeZone utc_{"UTC"};
  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

TEST_F(ServerStatus, EachServerStateWritesOneLineOfQuotedFields) {
  const BYTE old_address[4] = {10, 0, 0, 5}, new_address[4] = {10, 0, 0, 6};
  Record offline(kListItemBytes), no_access(kListItemBytes), no_agent(kListItemBytes), stopped(kListItemBytes);
  Record started_2007 = running_record(old_address, k2007End);
  Record started_2016 = running_record(new_address, k2016Start);
  set_reply(&started_2007, {6, 10, 3}, {6, 10, 3}, 1);  // flag bit of value 1: no ".6" line
  set_reply(&started_2016, {7, 2, 1}, {7, 2, 2}, 2);
  started_2016[kItemSqlTransferOn] = started_2016[kItemSqlServerNamed] = started_2016[kItemEmailConfigured] = 1;
  HWND screen = host::create_screen(2, "Servers");
  HWND list = support::add_server_list(
      host::in_process_library(), screen,
      {{"SRV01", offline.data()}, {"SRV02", no_access.data()}, {"SRV03", no_agent.data()}, {"SRV04", stopped.data()},
       {"SRV05", started_2007.data()}, {"SRV06", started_2016.data()}, {"SRV07", nullptr}});
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 7);

  const std::string text = status_lines(list, 7);
  EXPECT_EQ(text,
            "\"IPv4 127.0.0.2\",\"Server OFFLINE, unable to collect data\",\r\n"
            "\"IPv4 127.0.0.3\",\"Permissions ERROR, unable to collect data\",\r\n"
            "\"IPv4 127.0.0.4\",\"Agent NOT INSTALLED\",\"SQL Enabled\",\"Email Configured\","
            "\"Department Hosted (Sales \"\"East\"\", 2nd floor)\",\r\n"
            "\"IPv4 127.0.0.5\",\"Agent Stopped\",\"SQL NOT Enabled\",\"Email NOT Configured\",\"No Department Hosted\",\r\n"
            "\"IPv4 10.0.0.5\",\"Agent Started Invalid Start Time\",\"Version 6.10c | 6.10c\",\"SQL NOT Enabled\","
            "\"Email NOT Configured\",\"No Department Hosted\",\r\n"
            "\"IPv4 10.0.0.6\",\"Agent Started March 5, 2016  8:07\",\"Version 7.02a | 7.02b.6\",\"SQL Enabled\","
            "\"Email Configured\",\"No Department Hosted\",\r\n");
  EXPECT_EQ(read_as_csv(world_.folder() + "/status.csv"),
            "IPv4 127.0.0.2 | Server OFFLINE, unable to collect data | \n"
            "IPv4 127.0.0.3 | Permissions ERROR, unable to collect data | \n"
            "IPv4 127.0.0.4 | Agent NOT INSTALLED | SQL Enabled | Email Configured | "
            "Department Hosted (Sales \"East\", 2nd floor) | \n"
            "IPv4 127.0.0.5 | Agent Stopped | SQL NOT Enabled | Email NOT Configured | No Department Hosted | \n"
            "IPv4 10.0.0.5 | Agent Started Invalid Start Time | Version 6.10c | 6.10c | SQL NOT Enabled | "
            "Email NOT Configured | No Department Hosted | \n"
            "IPv4 10.0.0.6 | Agent Started March 5, 2016  8:07 | Version 7.02a | 7.02b.6 | SQL Enabled | "
            "Email Configured | No Department Hosted | \n");

  // The servers read for their lines keep what was read, and are not read again.
  for (const Record* r : {&offline, &no_access, &no_agent, &stopped})
    EXPECT_GE(item_word(r->data(), kItemWordRefreshTime), kRefreshed);
  EXPECT_EQ(offline[kItemByteReachability], kUnreachable);
  EXPECT_EQ(item_word(no_access.data(), kItemWordAgentState), kAgentPermissionError);
  world_.set_machine_setting("SRV03", "machine", "reachable", "no");
  EXPECT_EQ(status_lines(list, 3), text.substr(0, text.find("\r\n\"IPv4 127.0.0.5")) + "\r\n");
}

// The tile's texts, drawn on a device context that records them, for one server in each tile style.
std::vector<std::string> tile_texts(HWND list, int row, uint32_t tile) {
  ui::click_row(list, row);
  HDC dc = qvmr_paint_create_dc();
  DRAWITEMSTRUCT item = {};
  item.hDC = dc;
  item.rcItem = {0, 0, 360, 200};
  EXPECT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&item), 0, tile), 1u);
  std::vector<std::string> texts;
  for (int i = 0; i < qvmr_paint_drawn_texts(dc); ++i) {
    QvmrDrawnText drawn;
    qvmr_paint_drawn_text(dc, i, &drawn);
    texts.push_back(drawn.text);
  }
  qvmr_paint_delete_dc(dc);
  return texts;
}

TEST_F(ServerStatus, TilesShowTheSelectedServersStateInEitherStyle) {
  const BYTE address[4] = {10, 0, 0, 6};
  Record offline(kListItemBytes), no_agent(kListItemBytes);
  Record started_2007 = running_record(address, k2007End), started_2016 = running_record(address, k2016Start);
  set_reply(&started_2016, {7, 2, 1}, {7, 2, 2}, 2);
  set_item_word(no_agent.data(), kItemWordRefreshTime, kRefreshed);
  set_item_word(no_agent.data(), kItemWordAgentState, kAgentNotInstalled);  // no address known
  HWND screen = host::create_screen(2, "Servers");
  HWND list = support::add_server_list(host::in_process_library(), screen,
                                       {{"SRV01", offline.data()}, {"SRV03", no_agent.data()},
                                        {"SRV05", started_2007.data()}, {"SRV06", started_2016.data()}});
  const std::string refreshed = "December 6, 2026 10:00 (Last Tile Refresh)";
  EXPECT_EQ(tile_texts(list, 0, kFirstStyleTile),
            (std::vector<std::string>{"SRV01", refreshed, "127.0.0.2", "Unable to connect", "<right click> to retry"}));
  EXPECT_EQ(tile_texts(list, 1, kSecondStyleTile),
            (std::vector<std::string>{"SRV03", refreshed, "ADAPTER BINDING FAILED", "0nline", "Agent NOT Installed!"}));
  EXPECT_EQ(tile_texts(list, 2, kFirstStyleTile),
            (std::vector<std::string>{"SRV05", refreshed, "10.0.0.6", "Online", "Started: <Invalid Start Time>"}));
  EXPECT_EQ(tile_texts(list, 3, kSecondStyleTile),
            (std::vector<std::string>{"SRV06", refreshed, "10.0.0.6", "0nline", "Started: March 5, 2016 08:07",
                                      "Version: 7.02a | 7.02b"}));

  // On a bitmap: the white face, and the name's heading in the title band's colour at its top left.
  HDC dc = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 360, 200);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item = {};
  item.hDC = dc;
  item.rcItem = {0, 0, 360, 200};
  ASSERT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&item), 0, kFirstStyleTile), 1u);
  auto picture = platform::bitmap_part(bitmap, 0, 360, 200);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->pixels[199 * 360 + 359] & 0xFFFFFF, 0xFFFFFFu);
  int heading_pixels = 0;
  for (int y = 6; y < 34; ++y)
    for (int x = 6; x < 120; ++x) heading_pixels += (picture->pixels[y * 360 + x] & 0xFFFFFF) == 0x3172B6;
  EXPECT_GT(heading_pixels, 20) << "the server's name in 0xB67231 (red 0x31, blue 0xB6)";
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);

  // Without a record behind the selected row nothing is drawn.
  HWND bare = support::add_server_list(host::in_process_library(), host::create_screen(3, "Servers"), {});
  EXPECT_TRUE(tile_texts(bare, 0, kFirstStyleTile).empty());
}

}  // namespace
