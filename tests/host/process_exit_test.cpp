// A host that returns from main without unloading the library: the library's
// detach then runs after every exit-time destructor of the program and of the
// Win32 layer, and must find what it releases still there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/demo_activity.h"
#include "sim/program_runner.h"
#include "sim/world_builder.h"

namespace {

TEST(ProcessExit, AHostThatReturnsFromMainWithoutUnloadingEndsWithStatusZero) {
  support::WorldBuilder world;
  world.add_machine("SRV01", "127.0.0.2");
  support::add_demo_activity(world, "SRV01", 1796551200);
  // Every read waits, so that the quick report is still reading when the host returns.
  world.set_machine_setting("SRV01", "machine", "read_delay_ms", "200");
  setenv("QVMR7_WORLD", world.folder().c_str(), 1);

  struct Case {
    const char* mode;
    const char* output;
  };
  const Case cases[] = {
      {"load", "loaded\n"},
      {"start", "started\n"},
      {"report", "started\nreading\n"},
  };
  for (const Case& c : cases) {
    support::ProgramRun run =
        support::run_program(EXIT_PROBE_PATH, std::string(c.mode) + " '" + QVMR7_LIBRARY_PATH + "'");
    EXPECT_EQ(run.exit_code, 0) << c.mode << ": " << run.output;
    EXPECT_EQ(run.output, c.output) << c.mode;
  }
  unsetenv("QVMR7_WORLD");
}

}  // namespace
