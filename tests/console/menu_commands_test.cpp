// The console's menu command on the demo network: a list's right-click menu as
// the host shows it, and one entry run with the answer typed into its dialog.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

using ConsoleMenu = support::DemoConsoleTest;

TEST_F(ConsoleMenu, TheServerListsMenuIsShownAndAnEntryRunsItsDialog) {
  const std::string entries =
      "0  Add New Server to this Console\n1  Remove Server from this Console\n2  Start VORNIX Server Agent\n"
      "3  Stop VORNIX Server Agent\n5  Run GetVNXConfigPS.bat\n6  Manage IP Address used by Server Agent\n";
  support::ProgramRun shown = run("menu --list 0x602400C1 --row SRV01");
  EXPECT_EQ(shown.exit_code, 0) << shown.output;
  EXPECT_EQ(shown.output.substr(0, entries.size()), entries);
  EXPECT_EQ(run("menu --list 0x602400C1").output, "0  Add New Server to this Console\n");

  support::ProgramRun chosen = run("menu --list 0x602400C1 --row SRV01 --choose 6 --answer 127.0.0.9");
  EXPECT_EQ(chosen.exit_code, 0) << chosen.output;
  EXPECT_NE(chosen.output.find("chose 6: Manage IP Address used by Server Agent\n"), std::string::npos);
  // The address dialog shows the address now set, and the console keeps it for the server's agent port.
  support::ProgramRun address = run("agent-ip --server SRV01 --verbose");
  EXPECT_EQ(address.exit_code, 0) << address.output;
  EXPECT_NE(address.output.find("Usage: IPv4 address the console uses for the agent's port 4060: 127.0.0.9 "),
            std::string::npos) << address.output;
  EXPECT_NE(address.output.find("SRV01: the console reaches its agent at 127.0.0.9\n"), std::string::npos);
  address = run("agent-ip --server SRV01 --reset");
  EXPECT_NE(address.output.find("SRV01: the console reaches its agent at 127.0.0.2\n"), std::string::npos)
      << address.output;

  struct Refused {
    std::string arguments, message;
    int exit_code;  // 2 for a command line the command cannot take
  };
  for (const Refused& r : {Refused{"menu --list 0x602400C1 --row SRV09", "the list has no row SRV09", 1},
                           Refused{"menu --list 0x60240002", "the library offers no menu for this list (4061)", 1},
                           Refused{"menu --list 0x602400A0 --choose 0", "the host carries out this entry itself", 1},
                           Refused{"menu --list 0x602400C1 --choose 4", "the menu has no entry 4", 1},
                           Refused{"menu --list 602400C1", "menu takes --list 0xID", 2}}) {
    support::ProgramRun refused = run(r.arguments);
    EXPECT_EQ(refused.exit_code, r.exit_code) << r.arguments;
    EXPECT_NE(refused.output.find(r.message), std::string::npos) << r.arguments << ": " << refused.output;
  }
}

// Every list that menu --list-controls names has a menu of the library's, and every control draw --list-controls
// names is drawn by the library (the first of each line, with a server selected for the tiles).
TEST_F(ConsoleMenu, TheListedListsHaveMenusAndTheListedControlsAreDrawn) {
  const std::regex identifier("0x[0-9A-F]{8}");

  support::ProgramRun lists = support::run_program(VORNIX_CONSOLE_PATH, "menu --list-controls");
  ASSERT_EQ(lists.exit_code, 0) << lists.output;
  int asked = 0;
  for (std::sregex_iterator i(lists.output.begin(), lists.output.end(), identifier), end; i != end; ++i, ++asked) {
    support::ProgramRun menu = run("menu --list " + i->str());
    EXPECT_EQ(menu.output.find("offers no menu"), std::string::npos) << i->str() << ": " << menu.output;
  }
  EXPECT_GE(asked, 20);

  support::ProgramRun controls = support::run_program(VORNIX_CONSOLE_PATH, "draw --list-controls");
  ASSERT_EQ(controls.exit_code, 0) << controls.output;
  const std::string png = builder_.folder() + "/control.png";
  size_t line_start = 0;
  int drawn = 0;
  while ((line_start = controls.output.find("\n  0x", line_start)) != std::string::npos) {
    const std::string id = controls.output.substr(line_start + 3, 10);
    line_start += 3;
    support::ProgramRun draw = run("draw --control " + id + " --server SRV01 --text Shown --png '" + png + "'");
    EXPECT_EQ(draw.exit_code, 0) << id << ": " << draw.output;
    ++drawn;
  }
  EXPECT_GE(drawn, 10);
}

}  // namespace
