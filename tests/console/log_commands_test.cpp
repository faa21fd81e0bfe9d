// The console's log file commands on a demo network: list, archive, restore
// and delete named files, and refuse what cannot be done.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/console/console_fixture.h"
#include "tests/support/time_zone.h"

namespace fs = std::filesystem;

namespace {

using ConsoleLogs = support::DemoConsoleTest;

TEST_F(ConsoleLogs, FilesAreListedArchivedRestoredAndDeletedByName) {
  std::string logs = world_ + "/machines/SRV01/shares/VNXLOGS$/vnxlogs";
  ASSERT_TRUE(fs::exists(logs)) << logs;
  std::string name;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(logs))
    if (entry.path().extension() == ".vnx") ++count, name = entry.path().filename().string();

  // Last written 2026-12-06 10:00 UTC, listed in local time nine hours ahead, as the report views show times.
  support::TimeZone tokyo("JST-9");
  const utimbuf written = {1796551200, 1796551200};
  ASSERT_EQ(utime((logs + "/" + name).c_str(), &written), 0);
  std::string listed = ok("logs list --server SRV01 --wide");
  EXPECT_NE(listed.find("Current log files of SRV01: " + std::to_string(count)), std::string::npos) << listed;
  EXPECT_NE(listed.find(" Sun Dec  6 19:00:00 2026 "), std::string::npos) << listed;
  EXPECT_NE(listed.find(name), std::string::npos);

  // For people: within 100 columns ("…" one of them), by profile, each profile's files oldest first.
  std::string table = ok("logs list --server SRV01");
  std::vector<std::string> rows;
  for (size_t at = table.find('\n') + 1, end; at < table.size(); at = end + 1) {
    end = table.find('\n', at);
    rows.push_back(table.substr(at, end - at));
    size_t columns = 0;
    for (unsigned char c : rows.back()) columns += (c & 0xC0) != 0x80;
    EXPECT_LE(columns, 100u) << rows.back();
  }
  EXPECT_EQ(rows.size(), count);
  EXPECT_NE(table.find("\xE2\x80\xA6 "), std::string::npos) << "the long names are cut\n" << table;
  // For scripts: whole cells, as CSV and as JSON, in the table's order.
  std::string csv = ok("logs list --server SRV01 --format csv");
  EXPECT_EQ(csv.rfind("file,size,last written,profile,server\r\n", 0), 0u) << csv;
  nlohmann::json json = nlohmann::json::parse(ok("logs list --server SRV01 --format json"));
  ASSERT_EQ(json.size(), count);
  std::vector<std::pair<std::string, std::string>> order;
  for (const auto& file : json) {
    std::string whole = file.at("file");
    EXPECT_NE(csv.find("\r\n" + whole + ","), std::string::npos) << whole;
    EXPECT_EQ(whole.rfind(file.at("profile").get<std::string>(), 0), 0u) << whole;
    order.push_back({file.at("profile"), whole});
  }
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));
  EXPECT_EQ(run("logs list --server SRV01 --format yaml").exit_code, 2);

  // No archive folder yet, and later an empty one: nothing to list, which is no failure.
  const std::string no_archived = "Archived log files of SRV01: 0\n  (none)\n";
  EXPECT_EQ(ok("logs list --archived --server SRV01"), no_archived);
  ok("logs archive '" + name + "' --server SRV01");
  EXPECT_TRUE(fs::exists(logs + "/archived_logs/" + name));
  EXPECT_FALSE(fs::exists(logs + "/" + name));
  ok("logs restore '" + name + "' --server SRV01");
  EXPECT_TRUE(fs::exists(logs + "/" + name));
  EXPECT_EQ(ok("logs list --archived --server SRV01"), no_archived);

  // Nothing that could be done: one line and a failing exit code each.
  for (const char* arguments : {"logs delete nosuch.vnx --server SRV01", "logs list --server NOSUCH"}) {
    support::ProgramRun refused = run(arguments);
    EXPECT_NE(refused.exit_code, 0) << arguments;
    EXPECT_NE(refused.output.find("vornix-console: "), std::string::npos) << refused.output;
  }
  // A known server whose share the console cannot reach: the library's message, and the failure.
  fs::rename(world_ + "/machines/SRV02/shares/VNXLOGS$", world_ + "/machines/SRV02/shares/MOVED$");
  support::ProgramRun unreachable = run("logs list --server SRV02");
  EXPECT_EQ(unreachable.exit_code, 1);
  EXPECT_NE(unreachable.output.find("vornix-console: SRV02: the current log files cannot be listed (VORNIX message "
                                    "from QVMR0007.DLL: Error "),
            std::string::npos)
      << unreachable.output;

  // Deleting is answered Cancel without --yes: the file stays.
  support::ProgramRun kept = run("logs delete '" + name + "' --server SRV01");
  EXPECT_EQ(kept.exit_code, 1) << kept.output;
  EXPECT_NE(kept.output.find("asked: DELETE REPORT LOG(S)?"), std::string::npos) << kept.output;
  EXPECT_TRUE(fs::exists(logs + "/" + name));
  ok("logs delete '" + name + "' --yes --server SRV01");
  EXPECT_FALSE(fs::exists(logs + "/" + name));
  EXPECT_EQ(ok("logs list --server SRV01 --wide").find(name), std::string::npos);
}

}  // namespace
