// The console program as a user runs it: its commands, their output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/program_runner.h"
#include "tests/support/world_builder.h"

namespace fs = std::filesystem;

namespace {

using Outcome = support::ProgramRun;
using support::run_program;

long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(Console, DemoPrintsTheNavigationTreeAndMistakesGetOneLineAndAFailingExitCode) {
  support::WorldBuilder scratch;  // a temporary folder for the demo network
  const std::string folder = scratch.folder() + "/demo";
  Outcome demo = run_program(VORNIX_CONSOLE_PATH, "demo '" + folder + "'");
  ASSERT_EQ(demo.exit_code, 0) << demo.output;
  // The first and the last node; the library's tests check every node of the tree.
  for (const char* label : {"VORNIX for Windows", "<<List Servers in Group>>"})
    EXPECT_NE(demo.output.find(label), std::string::npos) << label;
  EXPECT_TRUE(fs::exists(folder + "/world.ini"));

  // Mistakes get one line and a failing exit code.
  Outcome unknown = run_program(VORNIX_CONSOLE_PATH, "frobnicate");
  EXPECT_NE(unknown.exit_code, 0);
  EXPECT_EQ(lines(unknown.output), 1) << unknown.output;
  EXPECT_NE(unknown.output.find("frobnicate"), std::string::npos);

  std::string not_a_world = scratch.folder() + "/machines";  // exists, holds no world.ini
  Outcome bad_world = run_program(VORNIX_CONSOLE_PATH, "demo '" + not_a_world + "'");
  EXPECT_NE(bad_world.exit_code, 0);
  EXPECT_EQ(lines(bad_world.output), 1) << bad_world.output;

  // A console without its library beside it.
  std::string lonely = scratch.folder() + "/vornix-console";
  fs::copy_file(VORNIX_CONSOLE_PATH, lonely);
  Outcome no_library = run_program(lonely, "demo '" + scratch.folder() + "/other'");
  EXPECT_NE(no_library.exit_code, 0);
  EXPECT_NE(no_library.output.find("libqvmr7.so"), std::string::npos) << no_library.output;
  EXPECT_EQ(lines(no_library.output), 2) << "the network line, then the one error line";
}

}  // namespace
