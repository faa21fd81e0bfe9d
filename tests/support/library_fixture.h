// A fixture that gives each test a fresh world, a fresh copy of the library
// and the substitute host's services, as the host console would.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "console/substitute_host.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace support {

// The console user's known servers of the sibling product: one more, at this IPv4 address.
inline void remember_sibling_server(const char* name, const BYTE (&address)[4]) {
  HKEY known;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ\\MY_SERVERS", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &known, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(known, name, 0, REG_BINARY, address, sizeof address);
  RegCloseKey(known);
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    host::clear_service_calls();
    host::unattended_log_file() = nullptr;
    world_.open();
    load();
  }

  void TearDown() override { host::unload_library(&library_); }

  void load() {
    std::string error;
    ASSERT_TRUE(host::load_library(QVMR7_LIBRARY_PATH, &library_, &error)) << error;
  }

  // Completes the handshake with the host's table as it stands.
  void start() {
    table_ = host::make_service_table();
    ASSERT_EQ(library_.establish_tables(6, table_.data()), 1u);
    host::clear_service_calls();
  }

  bool service_called(const std::string& prefix) const {
    for (const std::string& call : host::service_calls())
      if (call.rfind(prefix, 0) == 0) return true;
    return false;
  }

  WorldBuilder world_;
  host::Library library_;
  host::ServiceTable table_{};
};

}  // namespace support
