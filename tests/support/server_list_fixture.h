// The library's code linked into the test and started on a world the test built: the console's server
// list, whose status lines the owner-draw export writes into a file as the host asks for them.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/drawing.h"
#include "host/exports.h"
#include "host/host.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "tests/support/time_zone.h"
#include "win32/ui_script.h"

namespace support {

class ServerListTest : public ::testing::Test {
 protected:
  // The test builds its world after this, then starts.
  void SetUp() override {
    ui::reset();
    host::clear_screens();
  }

  void TearDown() override { release_main_server_list(), release_registry_connections(), release_drawing_resources(); }

  // Opens the world as the test built it and completes the handshake with a fresh host table.
  void start() {
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
  }

  // Writes the status line of each row in order into one file and returns the file's text.
  std::string status_lines(HWND list, int rows) {
    const std::string path = world_.folder() + "/status.csv";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    for (int row = 0; row < rows; ++row) {
      uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(file), static_cast<uintptr_t>(row)};
      EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(list), 0x71717171,
                                         reinterpret_cast<uintptr_t>(pair), 0, 0x602400C1),
                1u);
    }
    CloseHandle(file);
    return read_whole_file(path);
  }

  TimeZone utc_{"UTC"};
  WorldBuilder world_;
  host::ServiceTable table_{};
};

}  // namespace support
