// The console's listings for scripts and for people on a demo network: JSON that parses with the rows the
// table shows, CSV with a header line and as many rows, tables within 100 columns.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/program_runner.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"

namespace {

class ConsoleListings : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = scratch_.folder() + "/demo";
    ASSERT_EQ(support::run_program(VORNIX_CONSOLE_PATH, "demo '" + world_ + "'").exit_code, 0);
  }

  // What a script reads: standard output alone (standard error is shown when the command fails).
  std::string ok(const std::string& arguments) {
    const std::string errors = scratch_.folder() + "/errors";
    support::ProgramRun r =
        support::run_program(VORNIX_CONSOLE_PATH, arguments + " --world '" + world_ + "'", errors);
    EXPECT_EQ(r.exit_code, 0) << arguments << "\n" << r.output << support::read_whole_file(errors);
    return r.output;
  }

  // The command's listing in all three forms, checked against each other; its JSON rows.
  // `not_rows` counts the table's indented lines that are no rows (column headings).
  nlohmann::json listed(const std::string& command, size_t not_rows) {
    std::string table = ok(command);
    size_t indented = 0;
    for (size_t at = 0, end; at < table.size(); at = end + 1) {
      end = table.find('\n', at);
      std::string line = table.substr(at, end - at);
      size_t columns = 0;
      for (unsigned char c : line) columns += (c & 0xC0) != 0x80;
      EXPECT_LE(columns, 100u) << command << "\n" << line;
      indented += line.rfind("  ", 0) == 0 && line != "  (none)";
    }
    nlohmann::json json = nlohmann::json::parse(ok(command + " --format json"), nullptr, false);
    EXPECT_TRUE(json.is_array()) << command;
    if (!json.is_array()) return nlohmann::json::array();
    EXPECT_EQ(indented - std::min(indented, not_rows), json.size()) << command << "\n" << table;
    std::string csv = ok(command + " --format csv");
    size_t lines = 0;
    for (size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2)) ++lines;
    EXPECT_EQ(lines, json.size() + 1) << "a header line and the rows\n" << csv;
    if (!json.empty()) {
      std::string header = csv.substr(0, csv.find("\r\n"));
      EXPECT_EQ(static_cast<size_t>(std::count(header.begin(), header.end(), ',')) + 1, json[0].size()) << header;
    }
    return json;
  }

  // A listing for scripts, parsed.
  nlohmann::json script(const std::string& arguments) {
    std::string output = ok(arguments + " --format json");
    nlohmann::json json = nlohmann::json::parse(output, nullptr, false);
    EXPECT_TRUE(json.is_array()) << arguments << "\n" << output;
    return json;
  }

  static std::vector<std::string> column(const nlohmann::json& rows, const char* key) {
    std::vector<std::string> values;
    for (const auto& row : rows) values.push_back(row.at(key));
    return values;
  }

  support::WorldBuilder scratch_;
  std::string world_;
};

TEST_F(ConsoleListings, ProfilesAndSettingsOfAServer) {
  nlohmann::json profiles = listed("profiles --server SRV01", 1);
  ASSERT_EQ(profiles.size(), 5u);
  auto logons = std::find_if(profiles.begin(), profiles.end(), [](const auto& p) { return p.at("name") == "Logons"; });
  ASSERT_NE(logons, profiles.end());
  EXPECT_EQ((*logons)["type"], "Logon / Logoff Activity");
  EXPECT_EQ((*logons)["state"], "enabled");
  EXPECT_EQ((*logons)["created by"], "demo on CONSOLE01");
  // Whole cells with --wide: the type no longer cut.
  EXPECT_NE(ok("profiles --server SRV01 --wide").find(" Active Directory Activity "), std::string::npos);

  nlohmann::json settings = listed("settings --server SRV01", 0);
  auto path = std::find_if(settings.begin(), settings.end(), [](const auto& s) { return s.at("name") == "ReportPath"; });
  ASSERT_NE(path, settings.end());
  EXPECT_EQ((*path)["key"], "VORNIX");
  EXPECT_EQ((*path)["field"], "0x6038008B");
  EXPECT_EQ((*path)["value"], "VNXLOGS$");
  support::ProgramRun yaml =
      support::run_program(VORNIX_CONSOLE_PATH, "settings --server SRV01 --format yaml --world '" + world_ + "'");
  EXPECT_EQ(yaml.exit_code, 2);
  EXPECT_EQ(yaml.output.find("VNXLOGS"), std::string::npos) << yaml.output;
}

TEST_F(ConsoleListings, SchedulesAndSavedReports) {
  nlohmann::json schedules = listed("schedules --server SRV01", 1);
  ASSERT_EQ(schedules.size(), 2u);
  EXPECT_EQ(column(schedules, "name"), (std::vector<std::string>{"Month end", "Morning summary"}));
  EXPECT_EQ(schedules[1]["runs"], "Everyday at 07:00");
  EXPECT_EQ(schedules[1]["reports"], "Weekly file activity, Failed logons by user");
  nlohmann::json graphical = listed("schedules --graphical --server SRV01", 1);
  ASSERT_EQ(graphical.size(), 1u);
  EXPECT_EQ(graphical[0]["e-mails"], "audit@demo.test");
  EXPECT_EQ(graphical[0]["period"], "last 7 days");

  nlohmann::json saved = listed("saved-reports --server SRV01", 0);
  EXPECT_EQ(column(saved, "name"),
            (std::vector<std::string>{"Failed logons by user", "Weekly file activity", "Logons by hour"}));
  EXPECT_EQ(saved[2]["kind"], "graphical report definition");
}

TEST_F(ConsoleListings, EnterpriseListsAndAgentStatistics) {
  nlohmann::json known = listed("servers-known --host SRV01", 0);
  std::vector<std::string> names = column(known, "server");
  EXPECT_EQ(names.size(), 3u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(known[0]["state"], "reporting to SRV01");
  nlohmann::json alerts = listed("alert-agents --server SRV01", 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]["agent"], "SRV01-ALERTS");

  nlohmann::json stats = listed("agent-stats --force --server SRV01", 1);
  ASSERT_EQ(stats.size(), 1u);
  EXPECT_EQ(stats[0]["agent version"], "7.02b");
  EXPECT_EQ(stats[0]["driver version"], "6.10c");
  EXPECT_EQ(stats[0]["report path"], "VNXLOGS$");
}

TEST_F(ConsoleListings, DepartmentsAndEnterpriseHostsOfTheConfigurationForm) {
  EXPECT_EQ(listed("departments --server SRV01", 0), nlohmann::json::parse(R"([
      {"department": "Audit", "relation": "reports to"}, {"department": "Finance", "relation": "hosts"}])"));
  // A change asked for with a listing for scripts is made, and the listing alone is on standard output.
  EXPECT_EQ(script("departments --server SRV01 --add Sales --leave Audit"), nlohmann::json::parse(R"([
      {"department": "Sales", "relation": "reports to"}, {"department": "Finance", "relation": "hosts"}])"));
  EXPECT_EQ(column(listed("departments --known", 0), "department"), (std::vector<std::string>{"Finance", "Sales"}));

  EXPECT_EQ(column(script("enterprise-hosts --include ENT07"), "host"), std::vector<std::string>{"ENT07"});
  EXPECT_EQ(column(listed("enterprise-hosts", 0), "host"), std::vector<std::string>{"ENT07"});
}

TEST_F(ConsoleListings, AProfilesKerberosCodesTrackedAndOnOffer) {
  const std::string command = "profile-list kerberos --profile 'Failed Logons' --server SRV01";
  const std::string bad_password = "024:[Bad Password:Password is incorrect]";
  nlohmann::json before = listed(command + " --available", 0);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(std::count(before.begin(), before.end(), nlohmann::json{{"list", "offered"}, {"entry", bad_password}}), 1);
  EXPECT_EQ(std::count_if(before.begin(), before.end(), [](const auto& row) { return row.at("list") != "offered"; }), 0);

  EXPECT_EQ(script(command + " --add 24"), nlohmann::json::parse(R"([{"list": "kerberos", "entry": ")" + bad_password +
                                                                 R"("}])"));
  nlohmann::json after = listed(command + " --available", 0);
  EXPECT_EQ(after[0], (nlohmann::json{{"list", "kerberos"}, {"entry", bad_password}}));
  EXPECT_EQ(std::count_if(after.begin(), after.end(), [](const auto& row) { return row.at("list") != "offered"; }), 1);
}

TEST_F(ConsoleListings, ArchivesDatabaseTablesAndReportDefinitions) {
  const std::string archives = world_ + "/machines/SRV02/shares/C$/Windows/system32/drivers/vornix";
  std::filesystem::create_directories(archives);
  std::ofstream(archives + "/vornixw_07_Dec_2026.savekey") << "hive";
  nlohmann::json archived = listed("archives --server SRV02", 0);
  ASSERT_EQ(archived.size(), 1u);
  EXPECT_EQ(archived[0]["archive"], "\\\\SRV02\\C$\\Windows\\system32\\drivers\\vornix\\vornixw_07_Dec_2026.savekey");
  EXPECT_EQ(archived[0]["date"], "07 Dec 2026");

  ok("sql-setup --server SRV01");
  nlohmann::json tables = listed("sql-sizes --server SRV01", 1);
  ASSERT_EQ(tables.size(), 5u);
  EXPECT_EQ(tables[1], (nlohmann::json{{"table", "Logon_Logoff_and_Failed_Logon_Profiles"}, {"rows", "0"}, {"data", "0 KB"}}));

  const std::string program = world_ + "/machines/CONSOLE01/shares/C$/Program Files/Brightmere/VORNIX";
  std::filesystem::create_directories(program);
  std::ofstream(program + "/MERIDAXW_FS_REPORT_DEFINITIONS.INI", std::ios::binary)
      << "[Shares]\r\nREPORT_TYPE=basic\r\nEMAIL_LIST=a@demo.test, b@demo.test\r\n\r\n[Audit]\r\nREPORT_TYPE=AccessEnum\r\n";
  nlohmann::json definitions = listed("report-definitions list --tiles '" + scratch_.folder() + "'", 1);
  EXPECT_EQ(column(definitions, "name"), (std::vector<std::string>{"Shares", "Audit"}));
  EXPECT_EQ(column(definitions, "tile"),
            (std::vector<std::string>{scratch_.folder() + "/tile-1.png", scratch_.folder() + "/tile-2.png"}));
  EXPECT_EQ(definitions[0]["e-mail"], "a@demo.test, b@demo.test");
}

TEST_F(ConsoleListings, ServersFoundInAnAddressRange) {
  auto by_server = [](nlohmann::json rows) {
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.at("server") < b.at("server"); });
    return rows;
  };
  nlohmann::json added = by_server(script("scan-range 127.0.0 1 10"));
  ASSERT_EQ(added.size(), 5u);
  EXPECT_EQ(column(added, "server"), (std::vector<std::string>{"CONSOLE01", "MAIL01", "SQL01", "SRV01", "SRV02"}));
  EXPECT_EQ(added[3], (nlohmann::json{{"server", "SRV01"}, {"address", "127.0.0.2"}, {"state", "added"}}));
  // Scanned again: each one listed before, and no address made up for it.
  nlohmann::json again = by_server(listed("scan-range 127.0.0 1 10", 0));
  EXPECT_EQ(column(again, "server"), column(added, "server"));
  EXPECT_EQ(column(again, "state"), std::vector<std::string>(5, "listed before"));
  for (const std::string& address : column(again, "address")) EXPECT_NE(address, "0.0.0.0");
}

}  // namespace
