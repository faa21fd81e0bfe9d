// The console's known servers: kept by UpdateKnownServer, listed through the
// list events of the server lists.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "config/registry.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/library_fixture.h"

namespace {

const char kKnown[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS]\r\n";
const char kSiblingKnown[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ\\MY_SERVERS]\r\n";

using Rows = std::vector<std::pair<std::string, uintptr_t>>;

// A row's value for an IPv4 address: its four bytes in memory order.
uintptr_t address(BYTE a, BYTE b, BYTE c, BYTE d) { return a | b << 8 | c << 16 | static_cast<uintptr_t>(d) << 24; }

class KnownServers : public support::LibraryTest {
 protected:
  HWND server_list(uint32_t id) {
    HWND screen = host::create_screen(40, "Servers");
    return host::add_control(screen, 1001, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  }

  Rows listed(uint32_t id) {
    HWND list = server_list(id);
    EXPECT_EQ(host::send_list_event(library_, list, id), 4061u);
    Rows rows;
    for (const host::ValueRow& row : host::value_rows(list)) rows.emplace_back(row.text, row.value);
    return rows;
  }
};

TEST_F(KnownServers, ServerListsShowTheKnownServersWithTheirAddresses) {
  world_.add_registry_text(world_.console(), "HKCU",
                           std::string(kKnown) + "\"SRV01\"=hex:7f,00,00,02\r\n\"ODD01\"=hex:01,02,03,04,05,06\r\n"
                           "\"SHORT01\"=hex:0a,00\r\n\"TEXT01\"=\"10.0.0.1\"\r\n\r\n" + kSiblingKnown +
                           "\"KQ01\"=hex:0a,00,00,07\r\n\r\n");
  world_.open();
  start();
  const Rows known = {{"SRV01", address(127, 0, 0, 2)}, {"ODD01", 0}, {"SHORT01", 0}, {"TEXT01", 0}};
  Rows with_this_computer = known;
  with_this_computer.emplace_back("LOCAL_MACHINE", 0);
  EXPECT_EQ(listed(0x602400A1), with_this_computer);
  EXPECT_EQ(listed(0x602400C1), known);
  EXPECT_EQ(listed(0x60F40001), (Rows{{"KQ01", address(10, 0, 0, 7)}}));
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(KnownServers, WithoutServersTheListsSayNoneFoundAndTheConsolesListGreets) {
  world_.use_real_clock();  // the greeting's thread ends within the unload's real one-second pause
  world_.open();
  start();
  ImageList_Destroy(host::insert_list_images(library_));  // list events need not wait for the host's images
  EXPECT_EQ(listed(0x602400A1), (Rows{{"LOCAL_MACHINE", 0}}));
  EXPECT_EQ(listed(0x60F40001), (Rows{{"<none found>", 0}}));
  EXPECT_EQ(listed(0x602400C1), Rows{});
  for (int i = 0; i < 200 && ui::journal().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].title, "Welcome to VORNIX");
  EXPECT_NE(ui::journal()[0].thread, GetCurrentThreadId());
}

TEST_F(KnownServers, UpdatesAddStoreAndDeleteAndKeepTheUsersEntryWhenALookUpFails) {
  world_.add_machine("SRV01", "127.0.0.2");
  world_.open();
  start();
  // UpdateKnownServer runs on the library's code linked into the test; the loaded copy lists the servers.
  BYTE resolved[4] = {}, typed[4] = {10, 1, 2, 3};
  ASSERT_EQ(UpdateKnownServer("SRV01", kKnownServerResolve, resolved), 0u);
  EXPECT_EQ(std::vector<BYTE>(resolved, resolved + 4), (std::vector<BYTE>{127, 0, 0, 2}));
  ASSERT_EQ(UpdateKnownServer("SRV09", kKnownServerStore, typed), 0u);
  EXPECT_EQ(UpdateKnownServer("SRV09", kKnownServerResolve, resolved), static_cast<DWORD>(WSAHOST_NOT_FOUND));
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].text, "Unable to find the IPv4 address of SRV09, err=11001");
  EXPECT_EQ(listed(0x602400C1), (Rows{{"SRV01", address(127, 0, 0, 2)}, {"SRV09", address(10, 1, 2, 3)}}));

  ASSERT_EQ(UpdateKnownServer("SRV09", kKnownServerDelete, nullptr), 0u);
  EXPECT_EQ(UpdateKnownServer("SRV09", 7, nullptr), 0u) << "deleting a missing entry is no error";
  g_library.sibling_mode = 1;
  ASSERT_EQ(UpdateKnownServer("SRV01", kKnownServerStore, typed), 0u);
  g_library.sibling_mode = 0;
  EXPECT_EQ(listed(0x602400C1), (Rows{{"SRV01", address(127, 0, 0, 2)}}));
  EXPECT_EQ(listed(0x60F40001), (Rows{{"SRV01", address(10, 1, 2, 3)}}));
}

}  // namespace
