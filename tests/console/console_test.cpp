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

// Commands on one demo network, made once for the tests below.
class ConsoleOnDemo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ = new support::WorldBuilder;
    Outcome demo = run_program(VORNIX_CONSOLE_PATH, "demo '" + world() + "'");
    ASSERT_EQ(demo.exit_code, 0) << demo.output;
  }
  static void TearDownTestSuite() {
    delete scratch_;
    scratch_ = nullptr;
  }
  static std::string world() { return scratch_->folder() + "/demo"; }
  // The arguments with this world's folder put in for WORLD.
  static std::string on_world(std::string arguments) {
    for (size_t at = arguments.find("WORLD"); at != std::string::npos; at = arguments.find("WORLD"))
      arguments.replace(at, 5, "'" + world() + "'");
    return arguments;
  }
  static Outcome console(const std::string& arguments) { return run_program(VORNIX_CONSOLE_PATH, on_world(arguments)); }

  static support::WorldBuilder* scratch_;
};
support::WorldBuilder* ConsoleOnDemo::scratch_ = nullptr;

// What the library showed comes out where it happened: before the summary
// that follows it and before the console's error line.
TEST_F(ConsoleOnDemo, MessagesAndSummaryComeOutInTheOrderTheyHappened) {
  struct Case {
    const char* arguments;
    const char* output;
  };
  const Case cases[] = {
      {"enterprise-status --server NOSUCH --world WORLD",
       "  [message box] VORNIX message from QVMR0007.DLL: Unable to connect to [NOSUCH], please verify the "
       "name/address.  If the value provided is a valid Windows server name, you may need to use that server's IPv4 "
       "address instead to connect.\n"
       "Enterprise host NOSUCH: NOT FOUND - unable to determine server's IP address\n"
       "  reported state: 0\n"
       "vornix-console: NOSUCH: no computer of that name on the network\n"},
      {"gpo-baseline --server SRV02 --path 'C$\\base' --world WORLD",
       "  [message box] UNABLE TO DETERMINE SYSVOL LOCATION FOR SERVER: Error 2 opening server's Netlogon Key, unable "
       "to continue.\n"
       "vornix-console: SRV02: no baseline was made (Windows error 2)\n"},
      {"quick-report --server SRV01 --from 2020-01-01 --to 2020-01-02 --world WORLD",
       "Quick report of SRV01, 2020-01-01 to 2020-01-02 (Ctrl-C stops it)\n"
       "  [message box] Nothing to report: No Activity found in Log Files during the selected Date Range\n"
       "vornix-console: SRV01: nothing reported (Nothing to report: No Activity found in Log Files during the "
       "selected Date Range)\n"},
  };
  for (const Case& c : cases) {
    Outcome r = console(c.arguments);
    EXPECT_EQ(r.exit_code, 1) << c.arguments;
    EXPECT_EQ(r.output, c.output) << c.arguments;
  }
}

}  // namespace
