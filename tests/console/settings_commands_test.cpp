// The console's configuration commands on a demo network: the settings as the
// forms show them, a clamped value in the registry file, and a field applied
// to the servers selected.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

class ConsoleSettings : public support::DemoConsoleTest {
 protected:
  ConsoleSettings() { server_ = "SRV01"; }
};

TEST_F(ConsoleSettings, EverySettingIsListedAndAClampedValueIsWhatTheRegistryFileHolds) {
  std::string listed = ok("settings");
  for (const char* line : {"  LogTransferFrequency         0x6038008E  60\n", "  DepartmentHosted             0x6038008A  Finance\n",
                           "  AutoArchivePath              0x6038011D  (empty)\n",
                           "  DepartmentsReportTo          (list)      Audit\n",
                           "QVAWKQ settings of SRV01: none (not one of the console's QVAWKQ servers)\n"})
    EXPECT_TRUE(has(listed, line)) << line << listed;

  const std::string hive = "machines/SRV01/registry/HKLM.reg";
  EXPECT_EQ(ok("setting set LogTransferFrequency 2000"),
            "SRV01: LogTransferFrequency (0x6038008E) now reads 1440 (2000 was typed; the form keeps the value in its "
            "range)\n");
  EXPECT_TRUE(has(file(hive), "\"LogTransferFrequency\"=dword:000005a0")) << file(hive);
  // Text that is no number is refused before anything is written; so is an unknown name.
  const std::string before = file(hive);
  support::ProgramRun refused = run("setting set 0x603800CB 12abc");
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_TRUE(has(refused.output, "LogTransferFrequency (0x603800CB) takes a whole number, not '12abc'; nothing was "
                                  "written"))
      << refused.output;
  EXPECT_EQ(run("setting get NoSuchValue").exit_code, 1);
  EXPECT_EQ(file(hive), before);
  // A port below the range, on SRV01 as one of the console's QVAWKQ servers: the library's message, then
  // the clamped value read back.
  EXPECT_EQ(run("setting set IPv4PortAlertConsoles 1024").exit_code, 1);
  ASSERT_EQ(run_without_server("menu --list 0x60F40001 --choose 0 --answer SRV01").exit_code, 0);
  EXPECT_EQ(ok("setting set IPv4PortAlertConsoles 1024"),
            "  [message box] IP PORT OUT OF RANGE: Minimum Port Value is 49152, automatically resetting to be 49152.\n"
            "SRV01: IPv4PortAlertConsoles (0x60F80031) now reads 49152 (1024 was typed; the form keeps the value in "
            "its range)\n");
}

TEST_F(ConsoleSettings, SetAppliesAFieldToTheSelectedServersOrRefusesItWithTheBox) {
  auto set = [&](const std::string& arguments) {
    return run_without_server("set " + arguments);
  };
  const std::string hives[] = {"machines/SRV01/registry/HKLM.reg", "machines/SRV02/registry/HKLM.reg"};
  const std::string before[] = {file(hives[0]), file(hives[1])};
  support::ProgramRun refused = set("--server SRV01 --server SRV02 --field 0x6038008B --value 'D:\\Logs'");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.output, "  [message box] Update Log File Path to continue.: The Log File Path must be a share on "
                            "the selected server. This share will be used to store report-ready log files.\n"
                            "0x6038008B: result 1 (refused)\n");
  EXPECT_EQ(file(hives[0]), before[0]);
  EXPECT_EQ(file(hives[1]), before[1]);

  support::ProgramRun applied = set("--server SRV02 --server SRV01 --field 0x6038008B --value Audit$");
  EXPECT_EQ(applied.exit_code, 0) << applied.output;
  EXPECT_EQ(applied.output, "0x6038008B: result 0 (applied)\n  SRV02: ReportPath = Audit$\n  SRV01: ReportPath = Audit$\n");
  for (const std::string& hive : hives) EXPECT_TRUE(has(file(hive), "\"ReportPath\"=\"Audit$\"")) << file(hive);

  EXPECT_EQ(set("--server SRV01 --field 0x6038011D --value 'C:\\Archive'").exit_code, 1);
  EXPECT_EQ(set("--server SRV01 --field 0x60180001 --value SRV09").output,
            "0x60180001: result 1 (accepted without being written)\n");
  EXPECT_EQ(set("--server SRV01 --field 0x1234 --value x").exit_code, 1);
  EXPECT_EQ(set("--server SRV01 --field 6038008B --value x").exit_code, 2) << "the field is given as 0xID";

  // The fields set reads back, listed with both identifiers and their names; those of the server form appear
  // with the same name and identifier in what settings shows.
  support::ProgramRun controls = set("--list-controls");
  EXPECT_EQ(controls.exit_code, 0) << controls.output;
  EXPECT_TRUE(has(controls.output, "  0x6038008E, 0x603800CB  LogTransferFrequency ")) << controls.output;
  const std::string shown = ok("settings");
  std::istringstream lines(controls.output);
  int server_fields = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  0x", 0) != 0 || !has(line, "server form")) continue;
    ++server_fields;
    std::istringstream words(line.substr(25));
    std::string name;
    words >> name;
    size_t at = shown.find("\n  " + name + " ");
    ASSERT_NE(at, std::string::npos) << line << "\n" << shown;
    EXPECT_NE(shown.substr(at, shown.find('\n', at + 1) - at).find(line.substr(2, 10)), std::string::npos)
        << line << "\n" << shown;
  }
  EXPECT_GT(server_fields, 0) << controls.output;
}

}  // namespace
