// The console's agent commands on a demo network: SRV02 gets the agent, shows
// it running and loses it again only when the removal is confirmed; runs that
// end in errors fail with the rows that say why.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

using ConsoleAgents = support::DemoConsoleTest;

TEST_F(ConsoleAgents, AnAgentIsInstalledShownRunningAndRemovedOnlyWhenConfirmed) {
  // The output of a command that must fail.
  auto fails = [&](const std::string& arguments) {
    support::ProgramRun r = run(arguments);
    EXPECT_EQ(r.exit_code, 1) << arguments << "\n" << r.output;
    return r.output;
  };

  EXPECT_EQ(ok("services --server SRV02"), "Services of SRV02:\n  (none)\n");
  std::string installed = ok("install-agent --server SRV02");
  EXPECT_NE(installed.find("  0001: SRV02 | Connecting to Registry | ...\n"), std::string::npos) << installed;
  EXPECT_NE(installed.find("  0011: SRV02 | Installation Complete | <done>\nSRV02: the agent is installed and started\n"),
            std::string::npos)
      << installed;
  EXPECT_EQ(ok("services --server SRV02"),
            "Services of SRV02:\n"
            "  VNXW_K64             stopped   kernel driver  %SystemRoot%\\system32\\drivers\\vnxw_k64.sys\n"
            "  VORNIXWService       running   own process    %SystemRoot%\\sysWOW64\\vornixw.exe\n");

  // Installing again is refused before anything is done; an update ending in errors fails.
  std::string again = fails("install-agent --server SRV02");
  EXPECT_NE(again.find("[message box] Unable to continue: It appears that the VORNIX Service is already installed on "
                       "server SRV02.  The VORNIX Service is currently running."),
            std::string::npos)
      << again;
  std::string skipped = fails("update-agent --server SRV02 --skip-if-running");
  EXPECT_NE(skipped.find("SRV02 | processing... | VORNIXWService is running - do not update\n"), std::string::npos);
  EXPECT_NE(skipped.find("vornix-console: 1 of 1 server(s) not updated"), std::string::npos) << skipped;

  // Without --yes the warning is answered Cancel and nothing goes.
  std::string kept = fails("remove-agent --server SRV02 --verbose");
  EXPECT_NE(kept.find("[dialog] **WARNING**: **WARNING** You are about to remove the VORNIX Server Agent from SRV02."),
            std::string::npos)
      << kept;
  EXPECT_NE(ok("services --server SRV02").find("VORNIXWService       running"), std::string::npos);
  std::string removed = ok("remove-agent --server SRV02 --yes");
  EXPECT_NE(removed.find("SRV02 | About Removal of Agent | Final Removal will occur after next reboot, agent files "
                         "removed\nSRV02: the agent is removed\n"),
            std::string::npos)
      << removed;
  EXPECT_EQ(ok("services --server SRV02"),
            "Services of SRV02:\n"
            "  VNXW_K64             stopped   kernel driver  %SystemRoot%\\system32\\drivers\\vnxw_k64.sys\n");
  EXPECT_FALSE(std::filesystem::exists(world_ + "/machines/SRV02/shares/C$/Windows/SysWOW64/VORNIXW.EXE"));
  fails("agent start --server SRV02");
}

// The scout agent on the console machine: installed from beside the console program, then updated in a
// results window, its state as this computer's service manager answers it.
TEST_F(ConsoleAgents, TheScoutIsInstalledThenUpdated) {
  support::ProgramRun status = run("scout status");
  EXPECT_EQ(status.exit_code, 0) << status.output;
  EXPECT_NE(status.output.find("Scout agent (VORNIXWScoutAgent) on CONSOLE01: not installed\n"), std::string::npos)
      << status.output;
  support::ProgramRun installed = run("scout install");
  EXPECT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_NE(installed.output.find(": running\n"), std::string::npos) << installed.output;
  support::ProgramRun updated = run("scout update");
  EXPECT_EQ(updated.exit_code, 0) << updated.output;
  EXPECT_NE(updated.output.find("VORNIXWScoutAgent | Agent started | Update Complete\n"), std::string::npos)
      << updated.output;
}

}  // namespace
