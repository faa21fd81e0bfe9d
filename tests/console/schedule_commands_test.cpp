// The console's schedule, saved-report and graphical definition commands on a demo network, run
// from an ordinary shell and checked in SRV01's registry file: schedules replaced with their run
// history, renamed and deleted on their screens, a saved report handed to the runner, a scheduled
// graphical activity saved with its period and addresses, and chart definitions saved and deleted.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "sim/demo_reports.h"
#include "tests/console/console_fixture.h"

namespace {

class ConsoleSchedules : public support::DemoConsoleTest {
 protected:
  ConsoleSchedules() { server_ = "SRV01"; }

  // A multi-string as the registry file writes it.
  static std::string multi_string(const std::string& names) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "hex(7):";
    for (unsigned char c : names + std::string(1, '\0'))
      out += std::string{digits[c >> 4], digits[c & 15]} + ",00,";
    return out.substr(0, out.size() - 1);
  }
  // A schedule as the listing gives it to scripts: its cells after the name, joined by " | ".
  std::string schedule(const std::string& name, bool graphical = false) {
    nlohmann::json rows = nlohmann::json::parse(ok(graphical ? "schedules --graphical --format json" : "schedules --format json"));
    for (const auto& row : rows) {
      if (row.at("name") != name) continue;
      std::string cells = row.at("state").get<std::string>() + " | " + row.at("runs").get<std::string>() + " | " +
                          row.at("reports").get<std::string>();
      if (graphical) cells += " | " + row.at("e-mails").get<std::string>() + " | " + row.at("period").get<std::string>();
      return cells;
    }
    return "<no schedule " + name + ">";
  }
};

TEST_F(ConsoleSchedules, SchedulesAreReplacedRenamedAndDeletedOnTheirScreenAndASavedReportGoesToTheRunner) {
  std::string listed = ok("schedules");
  EXPECT_TRUE(has(listed, "Scheduled activity profiles on SRV01: 2\n")) << listed;
  EXPECT_EQ(schedule("Morning summary"), "enabled | Everyday at 07:00 | Weekly file activity, Failed logons by user");
  EXPECT_EQ(schedule("Month end"), "enabled | 1st of the current month at 23:30 | Failed logons by user");

  // Without --replace an existing schedule stays; with it, the new one keeps the last run.
  const std::string at = " --at 'Fridays at 17:45' --report 'Failed logons by user'";
  const std::string before = key("Reports\\Morning summary");
  support::ProgramRun kept = run("schedule save 'Morning summary'" + at);
  EXPECT_EQ(kept.exit_code, 1);
  EXPECT_TRUE(has(kept.output, "Morning summary was not saved (it exists; --replace replaces it)")) << kept.output;
  EXPECT_EQ(key("Reports\\Morning summary"), before);
  ok("schedule save 'Morning summary' --disabled --replace" + at);
  const std::string replaced = key("Reports\\Morning summary");
  const size_t last_run = before.find("\"LastRun\"=");
  ASSERT_NE(last_run, std::string::npos) << before;
  // Fridays at 17:45 is the word 0x3700112D.
  for (const std::string& value : {std::string("\"DisableFlag\"=dword:00000001\r\n"),
                                   std::string("\"RunTimes\"=hex:2d,11,00,37\r\n"),
                                   before.substr(last_run, before.find("\r\n", last_run) + 2 - last_run),
                                   "\"CReports\"=" + multi_string(std::string("Failed logons by user") + '\0') + "\r\n"})
    EXPECT_TRUE(has(replaced, value)) << value << replaced;
  EXPECT_EQ(schedule("Morning summary"), "disabled | Fridays at 17:45 | Failed logons by user");

  // A time the screen's time list does not offer saves nothing.
  support::ProgramRun refused = run("schedule save Other --at 'Fridays 17:50' --report 'Failed logons by user'");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(has(refused.output, "not 17:50; nothing was saved")) << refused.output;
  EXPECT_EQ(key("Reports\\Other"), "");

  const std::string month_end = key("Reports\\Month end");
  ok("schedule rename 'Month end' 'Month close'");
  EXPECT_EQ(key("Reports\\Month end"), "");
  EXPECT_EQ(key("Reports\\Month close"), month_end);
  ok("schedule delete 'Month close'");
  EXPECT_EQ(key("Reports\\Month close"), "");
  EXPECT_EQ(run("schedule delete 'Month close'").exit_code, 1);

  std::string out = ok(std::string("run-saved-report '") + support::kDemoWeeklyReport + "'");
  const std::string written = "definition of Weekly file activity written to C:\\Users\\";
  ASSERT_TRUE(has(out, written)) << out;
  const size_t path_at = out.find(written) + written.size() - std::string("C:\\Users\\").size();
  const std::string path = out.substr(path_at, out.find('\n', path_at) - path_at);
  EXPECT_TRUE(has(out, "  started: C:\\Program Files\\Brightmere\\VORNIX\\VNXWCCR.EXE " + path + "\n")) << out;
  std::string relative = "machines/CONSOLE01/shares/C$/" + path.substr(3);
  for (char& c : relative)
    if (c == '\\') c = '/';
  EXPECT_EQ(file(relative), support::demo_report_definition(support::kDemoWeeklyReport));
}

TEST_F(ConsoleSchedules, AGraphicalScheduleAndChartDefinitionsAreSavedAndADeletedDefinitionLeavesTheSchedules) {
  ok("schedule save Hourly --graphical --at 'Everyday 06:00' --definition 'Logons by hour' --email ops@x.test "
     "--hours 12");
  const std::string hourly = key("Reports\\Graphs\\Hourly");
  for (const std::string& value :
       {std::string("\"CentralEmail\"=dword:00000000\r\n\"LastXHours\"=dword:0000000c\r\n"
                    "\"RunTimes\"=hex:00,06,00,63\r\n"),
        "\"Emails\"=" + multi_string(std::string("ops@x.test") + '\0') + "\r\n",
        "\"GReports\"=" + multi_string(std::string("Logons by hour") + '\0') + "\r\n"})
    EXPECT_TRUE(has(hourly, value)) << value << hourly;
  EXPECT_EQ(schedule("Hourly", true), "enabled | Everyday at 06:00 | Logons by hour | ops@x.test | last 12 hours");
  // Neither a number of days nor of hours: refused as the screen's checks refuse it.
  support::ProgramRun refused = run("schedule save Daily --graphical --at 'Everyday 06:00' --definition 'Logons by "
                                    "hour' --server-emails");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(has(refused.output, "Time value must entered for Report Time Period")) << refused.output;
  EXPECT_EQ(key("Reports\\Graphs\\Daily"), "");

  ok("graph-definition save 'Two charts' --chart 1800:1:6 --chart 1800:2:0");
  EXPECT_TRUE(has(key("Reports\\Graphs\\Two charts"),
                  "\"Graphs\"=" + multi_string(std::string("1800,1,6") + '\0' + "1800,2,0" + '\0') + "\r\n"))
      << key("Reports\\Graphs\\Two charts");
  ok("graph-definition default --chart 1800:8:1");
  EXPECT_TRUE(has(key("Reports\\Graphs"), "\"Definition\"=hex:31,38,30,30,2c,38,2c,31,00,00\r\n"))
      << key("Reports\\Graphs");
  support::ProgramRun no_chart = run("graph-definition save Bad --chart 1:1:0");
  EXPECT_EQ(no_chart.exit_code, 1);
  EXPECT_TRUE(has(no_chart.output, "1:1 names no chart")) << no_chart.output;
  EXPECT_EQ(key("Reports\\Graphs\\Bad"), "");

  ok("graph-definition delete 'Logons by hour'");
  EXPECT_EQ(key("Reports\\Graphs\\Logons by hour"), "");
  for (const char* schedule : {"Reports\\Graphs\\Hourly", "Reports\\Graphs\\Nightly activity"})
    EXPECT_TRUE(has(key(schedule), "\"GReports\"=hex(7):00,00\r\n")) << schedule << key(schedule);
  EXPECT_TRUE(has(ok("saved-reports"), "Saved graphical report definitions on SRV01: 1\n  Two charts\n"));
}

}  // namespace
