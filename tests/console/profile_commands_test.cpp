// The console's profile commands on a demo network, run from an ordinary shell.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <string>

#include "tests/support/program_runner.h"
#include "tests/support/world_builder.h"

namespace {

TEST(ConsoleProfiles, ACreatedProfileIsEchoedAndListedAsStoredWithTheShellsUserAsCreator) {
  support::WorldBuilder scratch;
  const std::string world = scratch.folder() + "/demo";
  ASSERT_EQ(support::run_program(VORNIX_CONSOLE_PATH, "demo '" + world + "'").exit_code, 0);
  const std::string on = " --server SRV01 --world '" + world + "'";

  // Leading dots are not part of the stored name, so the echo leaves them out too.
  support::ProgramRun created =
      support::run_program(VORNIX_CONSOLE_PATH, "profile create ..Night --type VNX_LOGIN_TRACK" + on);
  ASSERT_EQ(created.exit_code, 0) << created.output;
  EXPECT_NE(created.output.find("SRV01: profile Night (VNX_LOGIN_TRACK) created\n"), std::string::npos)
      << created.output;

  // The world names no console user: the creator is the account the shell runs under.
  const passwd* login = getpwuid(geteuid());
  ASSERT_NE(login, nullptr);
  support::ProgramRun listed = support::run_program(VORNIX_CONSOLE_PATH, "profiles" + on);
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  const size_t row = listed.output.find("\n  Night ");
  ASSERT_NE(row, std::string::npos) << listed.output;
  const std::string line = listed.output.substr(row + 1, listed.output.find('\n', row + 1) - row - 1);
  EXPECT_NE(line.find(std::string("created by ") + login->pw_name + " on CONSOLE01"), std::string::npos) << line;
}

}  // namespace
