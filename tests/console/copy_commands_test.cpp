// The console's copy, rename, export, import and archive commands on a demo network, run from an ordinary
// shell and checked in the servers' registry files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

using ConsoleCopy = support::DemoConsoleTest;

// The line of the profile listing that shows the profile.
std::string profile_line(const std::string& listing, const std::string& profile) {
  size_t at = listing.find("\n  " + profile + " ");
  return at == std::string::npos ? "" : listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
}

TEST_F(ConsoleCopy, AnExportedHiveReadsInHivexImportsOntoSrv02AndADropKeepsWhatIsThere) {
  const std::string exported_file = builder_.folder() + "/night.exportkey";
  ASSERT_EQ(run("profile create Night --type VNX_FS_TRACK --server SRV01").exit_code, 0);

  support::ProgramRun exported = run("export --out '" + exported_file + "' SRV01:Night SRV01:Logons");
  ASSERT_EQ(exported.exit_code, 0) << exported.output;
  support::ProgramRun read = support::run_program("hivexregedit", "--export '" + exported_file + "' '\\'");
  ASSERT_EQ(read.exit_code, 0) << read.output;
  for (const char* key : {"[\\Night]", "[\\Logons]", "\"ProfileType\"=dword:00000110"})
    EXPECT_NE(read.output.find(key), std::string::npos) << key << read.output;

  // The import's question is answered Cancel without --yes: nothing reaches SRV02.
  const std::string untouched = run("profiles --server SRV02").output;
  support::ProgramRun cancelled = run("import '" + exported_file + "' --server SRV02");
  EXPECT_EQ(cancelled.exit_code, 1) << cancelled.output;
  EXPECT_NE(cancelled.output.find("asked: VORNIX message from QVMR0007.DLL: Confirm IMPORT of PROFILES"), std::string::npos) << cancelled.output;
  EXPECT_EQ(run("profiles --server SRV02").output, untouched);
  support::ProgramRun imported = run("import '" + exported_file + "' --yes --server SRV02");
  ASSERT_EQ(imported.exit_code, 0) << imported.output;
  const std::string srv01 = run("profiles --server SRV01").output;
  const std::string srv02 = run("profiles --server SRV02").output;
  EXPECT_FALSE(profile_line(srv01, "Night").empty()) << srv01;
  EXPECT_EQ(profile_line(srv02, "Night"), profile_line(srv01, "Night")) << srv02;

  // Dropped onto SRV02 again without overwrite: the results say so and nothing changes there.
  support::ProgramRun dropped = run("copy-profiles --from SRV01 --profile Night --to SRV02 --to SRV01");
  EXPECT_NE(dropped.output.find("Night already exists, will not overwrite"), std::string::npos) << dropped.output;
  // A file that is no hive: the import's error, and SRV02 as it was.
  support::ProgramRun refused = run("import '" + world_ + "/world.ini' --yes --server SRV02");
  EXPECT_NE(refused.exit_code, 0);
  EXPECT_NE(refused.output.find("REGISTRY KEY IMPORT FAILED!"), std::string::npos) << refused.output;
  EXPECT_NE(refused.output.find("(Windows error 1009: The configuration registry database is corrupt.)"),
            std::string::npos)
      << refused.output;
  support::ProgramRun absent = run("import '" + world_ + "/none' --yes --server SRV02");
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_NE(absent.output.find("none: cannot be read (Windows error 2: The system cannot find the file specified.)"),
            std::string::npos)
      << absent.output;
  EXPECT_EQ(run("profiles --server SRV02").output, srv02);
}

TEST_F(ConsoleCopy, CopiesAndRenamesReachTheServersAndAnArchiveReplacesTheProductKeyOnceConfirmed) {
  const std::string exported_file = builder_.folder() + "/night.exportkey";
  auto hive = [&](const char* server) { return file(std::string("machines/") + server + "/registry/HKLM.reg"); };
  const std::string product = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
  ASSERT_EQ(run("profile create Night --type VNX_FS_TRACK --server SRV01").exit_code, 0);

  support::ProgramRun copied = run("copy-profile Night --from SRV01 --to SRV02");
  EXPECT_EQ(copied.exit_code, 0) << copied.output;
  EXPECT_NE(hive("SRV02").find(product + "\\Profiles\\Night]"), std::string::npos);
  EXPECT_NE(copied.output.find("SRV02: Night copied\n"), std::string::npos) << copied.output;
  EXPECT_EQ(run("copy-profile Night --from SRV01 --to SRV09").exit_code, 1) << "SRV09 is no known server";
  copied = run("copy-report 'Weekly file activity' --from SRV01 --to SRV02");
  EXPECT_EQ(copied.exit_code, 0) << copied.output;
  // Copied again, each definition is kept where it is: nothing was copied, and the command says so.
  for (const char* again : {"copy-profile Night", "copy-report 'Weekly file activity'"}) {
    support::ProgramRun kept = run(std::string(again) + " --from SRV01 --to SRV02");
    EXPECT_EQ(kept.exit_code, 1) << kept.output;
    EXPECT_NE(kept.output.find(" kept: it is already there"), std::string::npos) << kept.output;
    EXPECT_EQ(kept.output.find("copies made"), std::string::npos) << kept.output;
  }
  EXPECT_NE(hive("SRV02").find(product + "\\Reports\\Weekly file activity]"), std::string::npos);

  // A renamed report is renamed in the schedule that runs it; a scheduled graphical activity by its own button.
  EXPECT_EQ(run("rename report 'Weekly file activity' Weekly --server SRV01").exit_code, 0);
  EXPECT_EQ(run("rename schedule 'Nightly activity' Nights --server SRV01").exit_code, 0);
  const std::string srv01 = hive("SRV01");
  EXPECT_EQ(srv01.find(product + "\\Reports\\Weekly file activity]"), std::string::npos);
  EXPECT_NE(srv01.find(product + "\\Reports\\Graphs\\Nights]"), std::string::npos);
  const size_t schedule = srv01.find(product + "\\Reports\\Morning summary]");
  ASSERT_NE(schedule, std::string::npos);
  // "Weekly" then "Failed...", in UTF-16: the first name is the new one.
  EXPECT_NE(srv01.find("\"CReports\"=hex(7):57,00,65,00,65,00,6b,00,6c,00,79,00,00,00,46,00", schedule), std::string::npos)
      << srv01.substr(schedule, 400);

  // The agent's archive: a hive of SRV01's Night profile, where SRV02's agent keeps its archives.
  ASSERT_EQ(run("export --out '" + exported_file + "' SRV01:Night").exit_code, 0);
  const std::string folder = world_ + "/machines/SRV02/shares/C$/Windows/system32/drivers/vornix";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(exported_file, folder + "/vornixw_07_Dec_2026.savekey");
  support::ProgramRun listed = run("archives --server SRV02");
  EXPECT_EQ(listed.exit_code, 0) << listed.output;
  EXPECT_NE(listed.output.find("\\\\SRV02\\C$\\Windows\\system32\\drivers\\vornix\\vornixw_07_Dec_2026.savekey"),
            std::string::npos)
      << listed.output;
  EXPECT_NE(listed.output.find(" 07 Dec 2026\n"), std::string::npos) << listed.output;
  const std::string before = hive("SRV02");
  EXPECT_EQ(run("restore-archive vornixw_07_Dec_2026.savekey --server SRV02").exit_code, 1);
  EXPECT_EQ(hive("SRV02"), before);
  support::ProgramRun restored = run("restore-archive vornixw_07_Dec_2026.savekey --server SRV02 --yes");
  EXPECT_EQ(restored.exit_code, 0) << restored.output;
  EXPECT_NE(restored.output.find("REGISTRY IMPORT COMPLETE"), std::string::npos) << restored.output;
  const std::string after = hive("SRV02");
  EXPECT_NE(after.find(product + "\\Night]"), std::string::npos);
  EXPECT_EQ(after.find(product + "\\Profiles]"), std::string::npos);
}

}  // namespace
