// The console's server configuration commands on a demo network, each driving
// the loaded library's forms, buttons and dialogs: what they print, their exit
// codes, and what the servers' and the console's registry files hold after.
#include <gtest/gtest.h>

#include <string>

#include "tests/console/console_fixture.h"

namespace {

class ConsoleServerConfig : public support::DemoConsoleTest {
 protected:
  // A value of a registry file as written there ("hex:ff,..." with its continuation lines joined); empty when
  // the key or value is missing.
  std::string value(const std::string& machine, const std::string& hive, const std::string& key,
                    const std::string& name) {
    const std::string text = file("machines/" + machine + "/registry/" + hive + ".reg");
    size_t at = text.find("[" + key + "]\r\n");
    size_t end = at == std::string::npos ? at : text.find("\r\n\r\n", at);
    size_t found = at == std::string::npos ? at : text.find("\"" + name + "\"=", at);
    if (found == std::string::npos || found > end) return "";
    std::string data;
    for (size_t from = found + name.size() + 3;;) {
      size_t line_end = text.find("\r\n", from);
      std::string line = text.substr(from, line_end - from);
      bool continued = !line.empty() && line.back() == '\\';
      data += continued ? line.substr(0, line.size() - 1) : line;
      if (!continued) return data;
      from = text.find_first_not_of(' ', line_end + 2);
    }
  }
  const std::string kProduct = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
  const std::string kSibling = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";
};

TEST_F(ConsoleServerConfig, DepartmentsAndEnterpriseHostsGoThroughTheirDialogsIntoTheRegistry) {
  std::string out = ok("departments --server SRV01 --add Sales --leave Audit --verbose");
  EXPECT_TRUE(has(out, "  [dialog] Add Department to deliver log files: Department Name: The Department name is a "
                       "name of your choice."))
      << out;
  EXPECT_TRUE(has(out, "Departments SRV01 reports to or hosts:\n  Sales   reports to\n  Finance hosts\n")) << out;
  // The department operations keep the list under the type of a single text.
  EXPECT_EQ(value("SRV01", "HKLM", kProduct, "DepartmentsReportTo"), "hex(1):53,00,61,00,6c,00,65,00,73,00,00,00,00,00");
  EXPECT_EQ(ok("departments --server SRV01 --host Sales"), "Departments SRV01 reports to or hosts:\n  Sales hosts\n");
  EXPECT_EQ(value("SRV01", "HKLM", kProduct, "DepartmentHosted"), "\"Sales\"");
  EXPECT_EQ(ok("departments --known"), "Departments of the known servers:\n  Sales\n");
  support::ProgramRun unknown = run("departments --server SRV02 --leave Nowhere");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_TRUE(has(unknown.output, "Nowhere is not among the departments SRV02 reports to")) << unknown.output;
  EXPECT_EQ(run("departments --server SRV09").exit_code, 1);

  out = ok("report-to --server SRV01 --add ENT09 --add 10.1.1.7");
  EXPECT_TRUE(has(out, "Enterprise hosts SRV01 reports to: ENT09, 10.1.1.7\n")) << out;
  EXPECT_EQ(value("SRV01", "HKLM", kProduct, "EnterpriseHostsReportTo").substr(0, 10), "hex(7):45,");
  EXPECT_EQ(ok("report-to --server SRV01 --remove ENT09"), "Enterprise hosts SRV01 reports to: 10.1.1.7\n");
  out = ok("enterprise-hosts --include ENT07");
  EXPECT_TRUE(has(out, "Enterprise hosts of this console:\n  ENT07\n  10.1.1.7\n")) << out;
  EXPECT_EQ(value("CONSOLE01", "HKCU", "HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\ENTSCAN", "ENT07"),
            "hex:00,00,00,00");
}

TEST_F(ConsoleServerConfig, TheQvawkqListsAndHoursOfAQvawkqServer) {
  support::ProgramRun not_yet = run("qvawkq-hours --server SRV01");
  EXPECT_EQ(not_yet.exit_code, 1);
  EXPECT_TRUE(has(not_yet.output, "SRV01 is not one of the console's QVAWKQ servers")) << not_yet.output;
  ok("menu --list 0x60F40001 --choose 0 --answer SRV01");

  EXPECT_EQ(ok("qvawkq-hours --server SRV01 --set 'Mon-Fri 08-09; Sat 12'"),
            "Permitted hours of SRV01: Mon 08 09; Tue 08 09; Wed 08 09; Thu 08 09; Fri 08 09; Sat 12\n");
  EXPECT_EQ(value("SRV01", "HKLM", kSibling, "ValidHoursGrid"),
            "hex:00,00,00,00,03,00,00,03,00,00,03,00,00,03,00,00,03,00,00,10,00");
  // "noon" permits its row; "Sat", not all permitted, the whole day.
  EXPECT_EQ(ok("qvawkq-hours --server SRV01 --click noon --click Sat"),
            "Permitted hours of SRV01: Sun 12; Mon 08 09 12; Tue 08 09 12; Wed 08 09 12; Thu 08 09 12; Fri 08 09 12; "
            "Sat 00 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23\n");
  EXPECT_EQ(run("qvawkq-hours --server SRV01 --set 'Mon 25'").exit_code, 2);
  EXPECT_EQ(run("qvawkq-hours --server SRV01 --click 13pm").exit_code, 2);

  EXPECT_EQ(ok("qvawkq-groups --server SRV01 --allow 'Help Desk' --exclude 'Domain Admins'"),
            "Allowed groups of SRV01: Help Desk\nExcluded groups of SRV01: Domain Admins\n");
  EXPECT_EQ(ok("qvawkq-groups --server SRV01 --remove 'Domain Admins'"),
            "Allowed groups of SRV01: Help Desk\nExcluded groups of SRV01: (none)\n");
  EXPECT_EQ(value("SRV01", "HKLM", kSibling, "CanUseKQGroup").substr(0, 10), "hex(7):48,");

  // A version that is no whole number is refused, and nothing of that run is written.
  support::ProgramRun refused = run("qvawkq-versions --server SRV01 --add 7 --add 7b");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(has(refused.output, "A version must be a whole number from 0 to 4294967295.")) << refused.output;
  EXPECT_EQ(value("SRV01", "HKLM", kSibling, "AllowedVersions"), "");
  EXPECT_EQ(ok("qvawkq-versions --server SRV01 --add 7 --add 258"), "Allowed versions of SRV01: 7, 258\n");
  EXPECT_EQ(value("SRV01", "HKLM", kSibling, "AllowedVersions"), "hex:07,00,00,00,02,01,00,00");

  EXPECT_EQ(ok("qvawkq-ranges --server SRV01 --add 10.0.0.1-10.0.0.9"),
            "IP ranges of SRV01: 10.0.0.1 through 10.0.0.9\n");
  EXPECT_EQ(value("SRV01", "HKLM", kSibling + "\\IP_Ranges", "0a0000010a000009").substr(0, 4), "hex:");
  EXPECT_EQ(run("qvawkq-ranges --server SRV01 --add 10.0.0.9-10.0.0.1").exit_code, 1);
  EXPECT_EQ(ok("qvawkq-ranges --server SRV01 --remove 10.0.0.1-10.0.0.9"), "IP ranges of SRV01: (none)\n");
  EXPECT_EQ(value("SRV01", "HKLM", kSibling + "\\IP_Ranges", "0a0000010a000009"), "");

  std::string settings = ok("settings --server SRV01");
  EXPECT_TRUE(has(settings, "  CanUseKQGroup                (list)      Help Desk\n")) << settings;
  EXPECT_TRUE(has(settings, "  ValidHoursGrid               (grid)      Sun 12; Mon 08 09 12;")) << settings;
}

TEST_F(ConsoleServerConfig, LogonContainersAreMovedOverFromTheDomainAndSavedByTheirNames) {
  std::string out = ok("logon-containers --server SRV01 --add Sales");
  EXPECT_TRUE(has(out, "Containers whose local logons SRV01 tracks: OU=Kiosks,DC=brightmere,DC=local, "
                       "ou=Sales,dc=brightmere,dc=local\n"))
      << out;
  const std::string key = kProduct + "\\LLOUTracked";
  EXPECT_EQ(value("SRV01", "HKLM", key, "ou=Sales,dc=brightmere,dc=local"), "\"ou=Sales,dc=brightmere,dc=local\"");
  EXPECT_EQ(run("logon-containers --server SRV01 --add Nowhere").exit_code, 1);
  ok("logon-containers --server SRV01 --remove ou=Sales,dc=brightmere,dc=local");
  EXPECT_EQ(value("SRV01", "HKLM", key, "ou=Sales,dc=brightmere,dc=local"), "");
  EXPECT_NE(value("SRV01", "HKLM", key, "OU=Kiosks,DC=brightmere,DC=local"), "");
}

}  // namespace
