// The console program as a user runs it: its commands, their output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/console/console_fixture.h"

namespace fs = std::filesystem;

namespace {

using Outcome = support::ProgramRun;
using support::run_program;

long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The commands the general help lists, in its order: each "  NAME ARGUMENTS" line below an area's heading.
std::vector<std::string> listed_commands(const std::string& help) {
  std::vector<std::string> commands;
  bool listed = false;
  for (const std::string& line : split_lines(help)) {
    if (line == "Reports:") listed = true;
    if (line == "Other options:") listed = false;
    if (listed && line.size() > 2 && line.compare(0, 2, "  ") == 0 && std::isalpha(static_cast<unsigned char>(line[2])) &&
        line.rfind("  example: ", 0) != 0) {
      std::string name = line.substr(2, line.find(' ', 2) - 2);
      if (commands.empty() || commands.back() != name) commands.push_back(name);
    }
  }
  return commands;
}

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
    support::make_demo_network(world());
  }
  static void TearDownTestSuite() {
    delete scratch_;
    scratch_ = nullptr;
  }
  static std::string world() { return scratch_->folder() + "/demo"; }
  static std::string logs_of(const std::string& server) {
    return world() + "/machines/" + server + "/shares/VNXLOGS$/vnxlogs";
  }
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

using ConsoleOnOwnDemo = support::DemoConsoleTest;

// Options stand before or after the command word, in any order, also as --name=value.
TEST_F(ConsoleOnDemo, OptionsGoBeforeOrAfterTheCommandInAnyOrder) {
  // The shell expands the pattern after the quoted folder.
  const std::string files = "'" + logs_of("SRV02") + "'/Logons_*.vnx";
  const std::string csv = world() + "/logons.csv";
  struct Case {
    const char* usual;
    std::vector<const char*> reordered;
  };
  const Case cases[] = {
      {"servers --world WORLD", {"--world=WORLD servers"}},
      {"profiles --server SRV01 --world WORLD", {"--server SRV01 --world WORLD profiles", "--world=WORLD profiles --server=SRV01"}},
      {"logs list --archived --server SRV02 --world WORLD",
       {"logs --archived --server SRV02 list --world WORLD", "--server SRV02 --world WORLD logs --archived list"}},
      {"quick-report --server SRV02 --hours 2 --world WORLD", {"--hours 2 --world WORLD quick-report --server SRV02"}},
      {"demo WORLD", {"--world WORLD demo"}},
      {"view-log --server SRV02 --csv CSV FILES --world WORLD", {"--csv=CSV --world WORLD view-log FILES --server=SRV02"}},
  };
  auto with_files = [&](std::string arguments) {
    arguments.replace(arguments.find("FILES"), 5, files);
    return arguments.replace(arguments.find("CSV"), 3, "'" + csv + "'");
  };
  for (const Case& c : cases) {
    const bool view_log = std::string(c.usual).find("FILES") != std::string::npos;
    Outcome usual = console(view_log ? with_files(c.usual) : c.usual);
    EXPECT_EQ(usual.exit_code, 0) << c.usual << "\n" << usual.output;
    for (const char* reordered : c.reordered) {
      Outcome r = console(view_log ? with_files(reordered) : reordered);
      EXPECT_EQ(r.exit_code, usual.exit_code) << reordered;
      EXPECT_EQ(r.output, usual.output) << reordered;
    }
  }
}

// Every command the general help lists has a help of its own, which does
// nothing but show it: no world is opened, nothing is changed or removed.
TEST_F(ConsoleOnDemo, EveryCommandHasItsOwnHelpThatDoesNothingElse) {
  Outcome general = console("--help");
  ASSERT_EQ(general.exit_code, 0);
  std::vector<std::string> commands = listed_commands(general.output);
  EXPECT_EQ(commands, (std::vector<std::string>{"view-log", "quick-report", "custom-report", "chart",
                                                "graphical-report", "charts", "report-definitions", "logs",
                                                "saved-reports", "run-saved-report", "graph-definition",
                                                "demo", "servers", "add-server", "enterprise-status", "servers-known",
                                                "alert-agents", "agent-stats", "scan-range", "agent-ip",
                                                "install-agent", "update-agent", "agent", "remove-agent", "scout",
                                                "services", "server-status",
                                                "profiles", "profile", "profile-settings", "profile-list",
                                                "gpo-baseline", "copy-profile", "copy-profiles", "rename",
                                                "settings", "setting", "set", "departments", "report-to",
                                                "enterprise-hosts", "logon-containers", "qvawkq-groups",
                                                "qvawkq-versions", "qvawkq-ranges", "qvawkq-hours", "schedules",
                                                "schedule",
                                                "copy-report", "export", "import", "archives", "restore-archive",
                                                "email-config", "test-email", "unattended-run",
                                                "sql-setup", "sql-sizes", "ad", "menu", "draw"}));

  // Each file's size and modification time: the directory's database is a sparse file of a gibibyte.
  auto snapshot = [] {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(world()))
      if (entry.is_regular_file()) files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
    return files;
  };
  const auto before = snapshot();
  for (const std::string& command : commands) {
    // With arguments that would otherwise act, and the help flag last.
    for (const std::string& arguments :
         {command + " --help", "--world WORLD " + command + " SRV03 --server SRV01 --folder C:\\\\x -h"}) {
      Outcome help = console(arguments);
      EXPECT_EQ(help.exit_code, 0) << arguments << "\n" << help.output;
      EXPECT_EQ(help.output.rfind("usage: vornix-console " + command + " ", 0), 0u) << help.output;
      EXPECT_EQ(help.output.find("vornix-console: "), std::string::npos) << help.output;
    }
  }
  EXPECT_TRUE(snapshot() == before) << "a help changed the world";
}

// On a demo network of its own (a scan writes keys): SRV01's statistics over its
// pipe, and a scan of the demo's addresses that lists each machine once.
TEST_F(ConsoleOnOwnDemo, AgentStatisticsComeOverThePipeAndAScanListsEveryDemoMachineOnce) {
  Outcome stats = run("agent-stats --server SRV01");
  EXPECT_EQ(stats.exit_code, 0) << stats.output;
  EXPECT_EQ(stats.output.rfind("Agent statistics of SRV01\n  server agent started ", 0), 0u) << stats.output;
  EXPECT_NE(stats.output.find(" UTC 7.02b         6.10c\n"), std::string::npos) << stats.output;
  Outcome forced = run("agent-stats --force --server SRV01");
  EXPECT_EQ(forced.exit_code, 0) << forced.output;
  EXPECT_NE(forced.output.find(" 6.10c          VNXLOGS$\n"), std::string::npos) << forced.output;
  Outcome silent = run("agent-stats --force --server SRV02");
  EXPECT_EQ(silent.exit_code, 1) << "SRV02's agent has no pipe: " << silent.output;

  Outcome scan = run("scan-range 127.0.0 1 10");
  EXPECT_EQ(scan.exit_code, 0) << scan.output;
  std::vector<std::string> lines;
  for (const std::string& line : split_lines(scan.output))
    if (line.rfind("  [dialog] ", 0) != 0) lines.push_back(line);  // the add and scan dialogs, as they were shown
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"  CONSOLE01                127.0.0.1       added",
                                             "  MAIL01                   127.0.0.5       added",
                                             "  SQL01                    127.0.0.4       added",
                                             "  SRV01                    127.0.0.2       added",
                                             "  SRV02                    127.0.0.3       added",
                                             "(the console's own servers, which servers lists, are not changed)",
                                             "10 addresses scanned: 5 server(s) added to the QVAWKQ server list, which "
                                             "now has 5",
                                             "QVAWKQ server list after scanning 127.0.0.1 to 127.0.0.10:"}));
  // Scanned again, the servers are there already: none is counted as added.
  Outcome again = run("scan-range 127.0.0 1 10");
  EXPECT_NE(again.output.find("10 addresses scanned: 0 server(s) added to the QVAWKQ server list, which now has 5"),
            std::string::npos)
      << again.output;
  for (const char* machine : {"CONSOLE01", "SRV01", "SRV02", "SQL01", "MAIL01"})
    EXPECT_NE(file(std::string("machines/") + machine + "/registry/HKLM.reg")
                  .find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ]"),
              std::string::npos)
        << machine;
  Outcome backwards = run("scan-range 127.0.0 9 3");
  EXPECT_EQ(backwards.exit_code, 1);
  EXPECT_NE(backwards.output.find("Error during scan: The \"search through\" address octet"), std::string::npos);
}

// Every name that servers lists is taken by the quick report, which picks its
// server from the known ones: the console's own name too once it is known.
TEST_F(ConsoleOnDemo, EveryServerListedIsAcceptedByTheServerCommands) {
  ASSERT_EQ(console("add-server CONSOLE01 --world WORLD").exit_code, 0);
  Outcome servers = console("servers --world WORLD");
  ASSERT_EQ(servers.exit_code, 0) << servers.output;
  std::vector<std::string> names;
  bool listed = false;
  for (const std::string& line : split_lines(servers.output)) {
    if (listed) names.push_back(line.substr(2, line.find(' ', 2) - 2));
    listed = listed || line == "Known servers of CONSOLE01:";
  }
  EXPECT_EQ(names, (std::vector<std::string>{"SRV01", "SRV02", "CONSOLE01"})) << servers.output;
  for (const std::string& name : names) {
    Outcome r = console("quick-report --hours 1 --server " + name + " --world WORLD");
    EXPECT_EQ(r.output.find("not a known server"), std::string::npos) << name << "\n" << r.output;
    // The console itself has no log folder: its report finds nothing, and says so.
    EXPECT_EQ(r.exit_code, name == "CONSOLE01" ? 1 : 0) << name << "\n" << r.output;
  }
}

// The general help lists the commands by area, each area with an example that works on the demo network;
// it and every command's own help fit 80 columns.
TEST_F(ConsoleOnDemo, HelpIsGroupedByAreaWithWorkingExamplesAndFitsEightyColumns) {
  Outcome general = console("--help");
  ASSERT_EQ(general.exit_code, 0);
  auto wide_lines = [](const std::string& text) {
    std::vector<std::string> wide;
    for (const std::string& line : split_lines(text))
      if (line.size() > 80) wide.push_back(line);
    return wide;
  };
  EXPECT_EQ(wide_lines(general.output), std::vector<std::string>{});
  for (const std::string& command : listed_commands(general.output))
    EXPECT_EQ(wide_lines(console("help " + command).output), std::vector<std::string>{}) << command;

  const std::vector<std::string> help = split_lines(general.output);
  size_t at = 0;
  for (const char* heading : {"Reports:", "Servers and agents:", "Profiles:", "Settings and schedules:",
                              "Export and mail:", "Database:", "Directory:", "Drawing and menus:"}) {
    auto found = std::find(help.begin() + static_cast<long>(at), help.end(), heading);
    ASSERT_NE(found, help.end()) << heading << " (in this order)\n" << general.output;
    at = static_cast<size_t>(found - help.begin()) + 1;
    // The example stands right below its heading.
    const std::string example_prefix = "  example: vornix-console ";
    ASSERT_LT(at, help.size());
    ASSERT_EQ(help[at].rfind(example_prefix, 0), 0u) << heading << ": " << help[at];
    Outcome example = console(help[at].substr(example_prefix.size()) + " --world WORLD");
    EXPECT_EQ(example.exit_code, 0) << help[at] << "\n" << example.output;
  }
  // The directory example started the demo's directory server: it is stopped with the world.
  std::ifstream pid_file(world() + "/machines/SRV01/directory/slapd.pid");
  pid_t slapd = 0;
  if (pid_file >> slapd && slapd > 0) kill(slapd, SIGTERM);
}

// An option the command does not take is named with the command's nearest option; nothing else is done.
TEST_F(ConsoleOnDemo, MistypedOptionsAreNamedWithTheCommandsNearestOption) {
  struct Case {
    const char* arguments;
    const char* output;
  };
  const Case cases[] = {
      {"profiles --sever SRV01 --world WORLD", "vornix-console: unknown option '--sever' (did you mean --server?)\n"},
      {"servers --wrold WORLD", "vornix-console: unknown option '--wrold' (did you mean --world?)\n"},
      {"draw --control 0x602220C8 --chekced --png x.png --world WORLD",
       "vornix-console: unknown option '--chekced' (did you mean --checked?)\n"},
      {"profiles --server=SRV01 --profle=Logons --world WORLD",
       "vornix-console: unknown option '--profle' (vornix-console help profiles shows its options)\n"},
      {"servers --frobnicate --world WORLD",
       "vornix-console: unknown option '--frobnicate' (vornix-console help servers shows its options)\n"},
  };
  for (const Case& c : cases) {
    Outcome r = console(c.arguments);
    EXPECT_EQ(r.exit_code, 2) << c.arguments;
    EXPECT_EQ(r.output, c.output) << c.arguments;
  }
  // A value that looks like an option is the value of the option before it.
  Outcome value = console("set --server SRV01 --field 0x60180001 --value --x --world WORLD");
  EXPECT_EQ(value.output.find("unknown option"), std::string::npos) << value.output;
  EXPECT_NE(value.output.find("0x60180001: result "), std::string::npos) << value.output;
}

// The demo's enterprise host SRV01 answers the server screen's Get button and its two listing buttons.
TEST_F(ConsoleOnDemo, TheEnterpriseHostAnswersItsStatusItsServersAndItsAlertAgents) {
  Outcome status = console("enterprise-status --server SRV01 --world WORLD");
  EXPECT_EQ(status.exit_code, 0) << status.output;
  EXPECT_EQ(status.output, "Enterprise host SRV01: YES\n  reported state: 66\n");
  Outcome known = console("servers-known --host SRV01 --world WORLD");
  EXPECT_EQ(known.exit_code, 0) << known.output;
  EXPECT_NE(known.output.find("Servers known to enterprise host SRV01:\n"), std::string::npos) << known.output;
  EXPECT_NE(known.output.find("  SRV02                    reporting to SRV01\n"), std::string::npos) << known.output;
  Outcome alerts = console("alert-agents --server SRV01 --world WORLD");
  EXPECT_EQ(alerts.exit_code, 0) << alerts.output;
  EXPECT_EQ(alerts.output, "Active Alert agents of SRV01:\n  SRV01-ALERTS             logon and file alerts\n");
  // SRV02 runs no enterprise host: its agent port does not answer.
  Outcome none = console("enterprise-status --server SRV02 --world WORLD");
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_NE(none.output.find("vornix-console: SRV02: NO - failed to connect, agent probably not running"),
            std::string::npos) << none.output;
}

// A mistyped command is named with the nearest one; help COMMAND is the command's own help.
TEST_F(ConsoleOnDemo, MistypedCommandsAreNamedWithTheNearestOneAndHelpNamesACommand) {
  Outcome typo = console("profils --world WORLD");
  EXPECT_EQ(typo.exit_code, 2);
  EXPECT_EQ(typo.output, "vornix-console: unknown command 'profils' (did you mean profiles?)\n");
  Outcome far = console("frobnicate");
  EXPECT_EQ(far.output.find("did you mean"), std::string::npos) << far.output;
  EXPECT_EQ(console("help servers").output, console("servers --help").output);
  EXPECT_EQ(console("help").output, console("--help").output);
  Outcome version = console("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(lines(version.output), 1) << version.output;
  EXPECT_EQ(version.output.rfind("vornix-console commit ", 0), 0u) << version.output;
}

// Standard output carries only results: message boxes go to standard error,
// the start-up line and dialogs there too, only with --verbose (standard
// error here is a file, not a terminal).
TEST_F(ConsoleOnDemo, StandardOutputCarriesOnlyResults) {
  const std::string errors = world() + "/../stderr.txt";
  auto run = [&](const std::string& arguments) {
    Outcome r = run_program(VORNIX_CONSOLE_PATH, on_world(arguments), errors);
    return std::make_pair(r, support::read_whole_file(errors));
  };
  const std::string started = "Library QVMR0007.DLL started: module ";
  auto [demo, demo_errors] = run("demo WORLD");
  EXPECT_EQ(demo.exit_code, 0);
  EXPECT_EQ(demo.output.find(started), std::string::npos) << demo.output;
  EXPECT_EQ(demo_errors, "");
  auto [verbose, verbose_errors] = run("demo WORLD --verbose");
  EXPECT_EQ(verbose.output, demo.output);
  EXPECT_EQ(verbose_errors.rfind(started, 0), 0u) << verbose_errors;

  auto [unknown, unknown_errors] = run("servers-known --host NOSUCH --world WORLD");
  EXPECT_EQ(unknown.output, "Servers known to enterprise host NOSUCH:\n  (none)\n");
  EXPECT_EQ(unknown_errors.rfind("  [message box] VORNIX message from QVMR0007.DLL: Unable to connect to [NOSUCH]", 0),
            0u) << unknown_errors;

  const std::string dialog = "  [dialog] Manage IP Address used by Server Agent";
  auto [quiet, quiet_errors] = run("agent-ip --server SRV01 --world WORLD");
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.output.find("[dialog]"), std::string::npos) << quiet.output;
  EXPECT_EQ(quiet_errors, "");
  auto [told, told_errors] = run("agent-ip --server SRV01 --world WORLD --verbose");
  EXPECT_EQ(told.output, quiet.output);
  EXPECT_NE(told_errors.find("  [dialog] "), std::string::npos) << told_errors;
}

// What the library showed comes out where it happened: before the summary
// that follows it and before the console's error line.
TEST_F(ConsoleOnDemo, MessagesAndSummaryComeOutInTheOrderTheyHappened) {
  struct Case {
    const char* arguments;
    const char* output;
  };
  const Case cases[] = {
      {"servers-known --host NOSUCH --world WORLD",
       "  [message box] VORNIX message from QVMR0007.DLL: Unable to connect to [NOSUCH], please verify the "
       "name/address.  If the value provided is a valid Windows server name, you may need to use that server's IPv4 "
       "address instead to connect.\n"
       "Servers known to enterprise host NOSUCH:\n"
       "  (none)\n"
       "vornix-console: NOSUCH: no computer of that name on the network\n"},
      {"gpo-baseline --server SRV02 --profile 'Group Policy' --path 'C$\\base' --world WORLD",
       "  [message box] UNABLE TO DETERMINE SYSVOL LOCATION FOR SERVER: Error 2 opening server's Netlogon Key, unable "
       "to continue.\n"
       "vornix-console: SRV02: no baseline was made (see the messages above)\n"},
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
