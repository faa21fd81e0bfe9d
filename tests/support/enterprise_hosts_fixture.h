// The loaded library on a world whose SRV01 takes QVAWKQ requests on a port of its own, started
// with the enterprise hosts screen made, as the host console shows it.
#pragma once
#include <cstdint>

#include "host/host.h"
#include "host/list_item.h"
#include "sim/fake_agents.h"
#include "tests/support/library_fixture.h"

namespace support {

constexpr uint16_t kQvawkqPort = 4075;
constexpr uint16_t kEnterpriseHostsScreen = 40;

class EnterpriseHostsTest : public LibraryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", process_loopback(2));
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ]\r\n"
                             "\"IPv4PortKQRequests\"=dword:00000feb\r\n\r\n");  // kQvawkqPort
    LibraryTest::SetUp();
    screen_ = host::create_screen(kEnterpriseHostsScreen, "Enterprise hosts");
    start();
  }

  uint8_t records_[2][kListItemBytes] = {};  // for the rows of the server list a test adds
  HWND screen_ = nullptr;
};

}  // namespace support
