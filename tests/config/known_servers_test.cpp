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
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(rows.size()));
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
  std::vector<ui::JournalEntry> shown = ui::journal();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, "Welcome to VORNIX");
  EXPECT_EQ(shown[0].text.rfind("On the following screen you will select the Windows Server to install VORNIX.", 0), 0u);
  EXPECT_NE(shown[0].thread, GetCurrentThreadId());
}

// UpdateKnownServer runs on the library's code linked into the test.
class KnownServerUpdates : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.sibling_mode = 0;
  }
  void TearDown() override { release_registry_connections(); }

  // The 4 bytes stored for a server; empty when there is no value.
  std::vector<BYTE> stored(const char* server, const char* product = "VORNIX") {
    std::string path = std::string("SOFTWARE\\Brightmere Software, Inc.\\") + product + "\\MY_SERVERS";
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    BYTE data[16];
    DWORD size = sizeof data, type = 0;
    LONG rc = RegQueryValueExA(key, server, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return {};
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    return std::vector<BYTE>(data, data + size);
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

TEST_F(KnownServerUpdates, AddStoreAndDeleteKeepTheUsersEntryWhenALookUpFails) {
  BYTE resolved[4] = {};
  ASSERT_EQ(UpdateKnownServer("SRV01", kKnownServerResolve, resolved), 0u);
  EXPECT_EQ(std::vector<BYTE>(resolved, resolved + 4), (std::vector<BYTE>{127, 0, 0, 2}));
  EXPECT_EQ(stored("SRV01"), (std::vector<BYTE>{127, 0, 0, 2}));

  BYTE typed[4] = {10, 1, 2, 3};
  ASSERT_EQ(UpdateKnownServer("SRV09", kKnownServerStore, typed), 0u);
  EXPECT_EQ(UpdateKnownServer("SRV09", kKnownServerResolve, resolved), static_cast<DWORD>(WSAHOST_NOT_FOUND));
  EXPECT_EQ(stored("SRV09"), (std::vector<BYTE>{10, 1, 2, 3}));
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].text, "Unable to find the IPv4 address of SRV09, err=11001");

  ASSERT_EQ(UpdateKnownServer("SRV09", kKnownServerDelete, nullptr), 0u);
  EXPECT_TRUE(stored("SRV09").empty());
  EXPECT_EQ(UpdateKnownServer("SRV09", 7, nullptr), 0u) << "deleting a missing entry is no error";
  EXPECT_EQ(stored("SRV01").size(), 4u);

  g_library.sibling_mode = 1;
  ASSERT_EQ(UpdateKnownServer("SRV01", kKnownServerStore, typed), 0u);
  EXPECT_EQ(stored("SRV01", "QVAWKQ"), (std::vector<BYTE>{10, 1, 2, 3}));
  EXPECT_EQ(stored("SRV01"), (std::vector<BYTE>{127, 0, 0, 2}));
}

}  // namespace
