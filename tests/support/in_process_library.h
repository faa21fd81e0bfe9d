// The library's code linked into the test, started on a fresh world as the
// host starts it: what a test of a feature's functions needs first.
#pragma once
#include <gtest/gtest.h>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace support {

// Hands the library the host's table and registers its resources, on a world already open;
// end_in_process lets the resources go.
inline void start_library(host::ServiceTable* table) {
  *table = host::make_service_table();
  ASSERT_EQ(establish_tables(6, table->data()), 1u);
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  g_library.quiet_mode = 0;
  g_library.styled_dialog_mode = 0;  // as a fresh load: a styled button drawn in a test before turned it on
}

// Opens the world with no dialogs scripted and no screens, and starts the library on it.
inline void start_in_process(WorldBuilder& world, host::ServiceTable* table) {
  ui::reset();
  host::clear_screens();
  world.open();
  start_library(table);
}

inline void end_in_process() { qvmr_unregister_module(g_library.instance); }

}  // namespace support
