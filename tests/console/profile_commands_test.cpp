// The console's profile commands on a demo network, run from an ordinary shell: what they print, and
// what the library left in the audited server's registry.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

class ConsoleProfiles : public support::DemoConsoleTest {
 protected:
  ConsoleProfiles() { server_ = "SRV01"; }
};

TEST_F(ConsoleProfiles, ACreatedProfileIsEchoedAndListedAsStoredWithTheShellsUserAsCreator) {
  // Leading dots are not part of the stored name, so the echo leaves them out too.
  support::ProgramRun created = run("profile create ..Night --type VNX_LOGIN_TRACK");
  ASSERT_EQ(created.exit_code, 0) << created.output;
  EXPECT_NE(created.output.find("SRV01: profile Night (VNX_LOGIN_TRACK) created\n"), std::string::npos)
      << created.output;

  // The world names no console user: the creator is the account the shell runs under.
  const passwd* login = getpwuid(geteuid());
  ASSERT_NE(login, nullptr);
  support::ProgramRun listed = run("profiles --wide");
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  const size_t row = listed.output.find("\n  Night ");
  ASSERT_NE(row, std::string::npos) << listed.output;
  const std::string line = listed.output.substr(row + 1, listed.output.find('\n', row + 1) - row - 1);
  EXPECT_NE(line.find("Logon / Logoff Activity"), std::string::npos) << line;
  EXPECT_NE(line.find(std::string(" ") + login->pw_name + " on CONSOLE01 "), std::string::npos) << line;

  // A refused name says why and makes nothing.
  support::ProgramRun refused = run("profile create a/b --type VNX_FS_TRACK");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.output.find("Profile Name cannot contain a slash, please revise."), std::string::npos)
      << refused.output;
  EXPECT_EQ(key("Profiles\\a"), "");
}

TEST_F(ConsoleProfiles, AProfileIsDisabledFromTheListsMenuAndDeletedAfterTheConfirmation) {
  support::ProgramRun disabled = run("profile disable Shares");
  ASSERT_EQ(disabled.exit_code, 0) << disabled.output;
  EXPECT_NE(key("Profiles\\Shares").find("\"Disabled\"="), std::string::npos);
  EXPECT_NE(run("profiles --wide").output.find("File System Activity      disabled"), std::string::npos);
  ASSERT_EQ(run("profile enable shares").exit_code, 0);
  EXPECT_EQ(key("Profiles\\Shares").find("\"Disabled\""), std::string::npos);

  // Without --yes the library's question is answered Cancel: the question is repeated with the refusal.
  const std::string before = key("Profiles\\Shares");
  support::ProgramRun kept = run("profile delete Shares");
  EXPECT_EQ(kept.exit_code, 1) << kept.output;
  EXPECT_NE(kept.output.find("asked: CONFIRM PROFILE DELETE: Delete Profile Shares on server SRV01?"), std::string::npos)
      << kept.output;
  EXPECT_EQ(key("Profiles\\Shares"), before);
  // Made again as another type only with --yes: the profile keeps its type until then.
  support::ProgramRun retyped = run("profile create Shares --type VNX_LOGIN_TRACK");
  EXPECT_EQ(retyped.exit_code, 1) << retyped.output;
  EXPECT_EQ(key("Profiles\\Shares"), before);

  support::ProgramRun deleted = run("profile delete Shares --yes");
  ASSERT_EQ(deleted.exit_code, 0) << deleted.output;
  EXPECT_NE(deleted.output.find("[message box] CONFIRM PROFILE DELETE: Delete Profile Shares on server SRV01?"),
            std::string::npos)
      << deleted.output;
  EXPECT_EQ(key("Profiles\\Shares"), "");
  support::ProgramRun missing = run("profile delete Shares --yes");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.output.find("SRV01 has no profile Shares"), std::string::npos) << missing.output;
}

TEST_F(ConsoleProfiles, SettingsAreShownChangedOnTheFormAndStored) {
  support::ProgramRun changed =
      run("profile-settings --profile 'Failed Logons' --console-alert on --kerberos-filter on --pattern 0/0/90 "
          "--pattern-activity 5 --pattern-mode 64");
  ASSERT_EQ(changed.exit_code, 0) << changed.output;
  EXPECT_NE(changed.output.find("pattern                    10 in 1/60 min, activity 5, mode 64"), std::string::npos)
      << changed.output;
  std::string stored = key("Profiles\\Failed Logons");
  EXPECT_NE(stored.find("\"ConsoleAlert\"=dword:00000001"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"CentralAlert\"=dword:00000000"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"FilterByKerberosErrors\"=dword:00000001"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"PatternTracking\"=hex:"), std::string::npos) << stored;
  EXPECT_EQ(stored.find("TrackGP"), std::string::npos) << "a failed-logon profile's form has no policy items";

  // A setting the profile's form does not have is refused before anything changes.
  support::ProgramRun refused = run("profile-settings --profile 'Failed Logons' --pattern off --local-logons on");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.output.find("has no local-logons setting; nothing was changed"), std::string::npos)
      << refused.output;
  EXPECT_NE(key("Profiles\\Failed Logons").find("PatternTracking"), std::string::npos);
  ASSERT_EQ(run("profile-settings --profile 'Failed Logons' --pattern off").exit_code, 0);
  EXPECT_EQ(key("Profiles\\Failed Logons").find("PatternTracking"), std::string::npos);

  // A group policy profile: its items, the baseline flags and path, and the baseline copied below that path.
  ASSERT_EQ(run("profile-settings --profile 'Group Policy' --gpo create=on --baseline on").exit_code, 0);
  stored = key("Profiles\\Group Policy");
  EXPECT_NE(stored.find("\"TrackGPCreate\"=dword:00000001"), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"BaselineFlags\"=dword:80000000"), std::string::npos) << stored;
  support::ProgramRun copied = run("gpo-baseline --profile 'Group Policy' --path 'C$\\Baselines'");
  ASSERT_EQ(copied.exit_code, 0) << copied.output;
  EXPECT_NE(copied.output.find("Baseline Created:Copied"), std::string::npos) << copied.output;
  EXPECT_NE(key("Profiles\\Group Policy").find("\"BaselinePath\"=\"C$\\\\Baselines\""), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(world_ + "/machines/SRV01/shares/C$/Baselines/sysvol.vornix.baseline"));
}

TEST_F(ConsoleProfiles, ListEntriesAreAddedAndRemovedOnTheFormAndStored) {
  std::ofstream(world_ + "/machines/SRV01/users.ini")
      << "[S-1-5-21-1004336348-1177238915-682003330-1105]\nname = alice\ndomain = BRIGHTMERE\ntype = user\n";
  support::ProgramRun codes = run("profile-list kerberos --profile 'Failed Logons' --add 24 --add 006");
  ASSERT_EQ(codes.exit_code, 0) << codes.output;
  EXPECT_NE(codes.output.find("kerberos of profile Failed Logons on SRV01: 2\n"), std::string::npos) << codes.output;
  EXPECT_NE(key("Profiles\\Failed Logons").find("\"KErrors\"=hex:00,00,00,00,00,00,01,"), std::string::npos);

  ASSERT_EQ(run("profile-list logon-names --profile Logons --add alice --add bob").exit_code, 0);
  ASSERT_EQ(run("profile-list logon-names --profile Logons --remove ALICE").exit_code, 0);
  std::string names = key("Profiles\\Logons\\LogonNamesToTrack");
  EXPECT_EQ(names.find("\"alice\""), std::string::npos) << names;
  EXPECT_NE(names.find("\"bob\"=dword:"), std::string::npos) << names;
  ASSERT_EQ(run("profile-list logon-names --add carol").exit_code, 0);
  EXPECT_NE(key("LogonNamesToTrack").find("\"carol\"=dword:"), std::string::npos) << "without a profile";

  ASSERT_EQ(run("profile-list excluded --profile Shares --add 'BRIGHTMERE\\alice'").exit_code, 0);
  EXPECT_NE(key("Profiles\\Shares\\Excluded").find("\"S-1-5-21-1004336348-1177238915-682003330-1105\"=dword:0"),
            std::string::npos);
  support::ProgramRun unknown = run("profile-list excluded --profile Shares --add nobody --remove alice");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.output.find("Unable to find the account nobody on server SRV01"), std::string::npos)
      << unknown.output;
  EXPECT_NE(key("Profiles\\Shares\\Excluded").find("S-1-5-21"), std::string::npos) << "not applied after a refusal";

  ASSERT_EQ(run("profile-list alert-emails --profile Shares --add ops@brightmere.com").exit_code, 0);
  EXPECT_NE(key("Profiles\\Shares\\AlertEmails").find("\"ops@brightmere.com\"=dword:"), std::string::npos);
  support::ProgramRun removed = run("profile-list alert-emails --profile Shares --remove ops@brightmere.com");
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  EXPECT_EQ(key("Profiles\\Shares\\AlertEmails").find("ops@"), std::string::npos);
  support::ProgramRun absent = run("profile-list alert-emails --profile Shares --remove ops@brightmere.com");
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_NE(absent.output.find("alert-emails of profile Shares has no ops@brightmere.com"), std::string::npos)
      << absent.output;
}

}  // namespace
