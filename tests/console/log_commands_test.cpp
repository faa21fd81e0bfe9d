// The console's log file commands on a demo network: list, archive, restore
// and delete named files, and refuse what cannot be done.
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <string>

#include "sim/program_runner.h"
#include "tests/support/time_zone.h"
#include "sim/world_builder.h"

namespace fs = std::filesystem;

namespace {

support::ProgramRun console(const std::string& arguments) {
  return support::run_program(VORNIX_CONSOLE_PATH, arguments);
}

TEST(ConsoleLogs, FilesAreListedArchivedRestoredAndDeletedByName) {
  support::WorldBuilder scratch;
  std::string world = scratch.folder() + "/demo";
  ASSERT_EQ(console("demo '" + world + "'").exit_code, 0);
  std::string on = " --world '" + world + "'";
  std::string logs = world + "/machines/SRV01/shares/VNXLOGS$/vnxlogs";
  ASSERT_TRUE(fs::exists(logs)) << logs;
  std::string name;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(logs))
    if (entry.path().extension() == ".vnx") ++count, name = entry.path().filename().string();

  // A command that must succeed; its output.
  auto ok = [&](const std::string& arguments) {
    support::ProgramRun r = console(arguments + on);
    EXPECT_EQ(r.exit_code, 0) << arguments << "\n" << r.output;
    return r.output;
  };
  // Last written 2026-12-06 10:00 UTC, listed in local time nine hours ahead, as the report views show times.
  support::TimeZone tokyo("JST-9");
  const utimbuf written = {1796551200, 1796551200};
  ASSERT_EQ(utime((logs + "/" + name).c_str(), &written), 0);
  std::string listed = ok("logs list --server SRV01");
  EXPECT_NE(listed.find("Current log files of SRV01: " + std::to_string(count)), std::string::npos) << listed;
  EXPECT_NE(listed.find("  Sun Dec  6 19:00:00 2026  profile "), std::string::npos) << listed;
  EXPECT_NE(listed.find(name), std::string::npos);

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
    support::ProgramRun refused = console(std::string(arguments) + on);
    EXPECT_NE(refused.exit_code, 0) << arguments;
    EXPECT_NE(refused.output.find("vornix-console: "), std::string::npos) << refused.output;
  }
  // A known server whose share the console cannot reach: the library's message, and the failure.
  fs::rename(world + "/machines/SRV02/shares/VNXLOGS$", world + "/machines/SRV02/shares/MOVED$");
  support::ProgramRun unreachable = console("logs list --server SRV02" + on);
  EXPECT_EQ(unreachable.exit_code, 1);
  EXPECT_NE(unreachable.output.find("vornix-console: SRV02: the current log files cannot be listed (VORNIX message "
                                    "from QVMR0007.DLL: Error "),
            std::string::npos)
      << unreachable.output;

  // Deleting is answered Cancel without --yes: the file stays.
  support::ProgramRun kept = console("logs delete '" + name + "' --server SRV01" + on);
  EXPECT_EQ(kept.exit_code, 1) << kept.output;
  EXPECT_NE(kept.output.find("asked: DELETE REPORT LOG(S)?"), std::string::npos) << kept.output;
  EXPECT_TRUE(fs::exists(logs + "/" + name));
  ok("logs delete '" + name + "' --yes --server SRV01");
  EXPECT_FALSE(fs::exists(logs + "/" + name));
  EXPECT_EQ(ok("logs list --server SRV01").find(name), std::string::npos);
}

}  // namespace
