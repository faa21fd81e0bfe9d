// vornix-console ad as a user runs it, on a world whose domain controller's
// directory the test runs: what the picker lists against ldapsearch, entries
// picked into a profile's tracking list and read back from the registry, and
// a recorded change rolled back from the quick report and read back undone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sim/directory_server.h"
#include "sim/logwriter.h"
#include "tests/console/console_fixture.h"

namespace {

const std::string kJane = std::string("CN=Jane Smith,OU=Finance,") + support::kDemoDomainDn;
using DirectoryCommands = support::ConsoleTest;

// The recorded addition of Jane's second telephone number, in SRV01's log share.
void record_phone_added(support::WorldBuilder& world) {
  DirectoryLogRecord r = support::sample_directory_record(0xFACC0011, 3);
  r.action = 0x00010400;
  r.event_time = 1796544000;  // two hours before the world's clock: in the quick report's last day
  std::memset(r.values, 0, sizeof r.values);
  std::snprintf(r.object_dn, sizeof r.object_dn, "%s", kJane.c_str());
  std::snprintf(r.attribute, sizeof r.attribute, "otherTelephone");
  std::snprintf(r.new_value, sizeof r.new_value, "555-0101");
  r.old_value[0] = '\0';
  support::LogWriter log;
  log.add(r);
  std::string folder = world.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(log.save(folder + "/" + support::log_file_name("Directory Changes", "SRV01", 2026, 12, 6)));
  world.add_registry_text("SRV01", "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                          "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Directory Changes]\r\n"
                          "\"ProfileType\"=dword:00000130\r\n\r\n");
  world.add_registry_text(world.console(), "HKCU",
                          "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS]\r\n"
                          "\"SRV01\"=hex:7f,00,00,02\r\n\r\n");
}

TEST_F(DirectoryCommands, UsersAreListedAsLdapsearchFindsThemAndARecordedChangeIsRolledBack) {
  builder_.add_machine("SRV01", "127.0.0.2");
  support::DirectoryServer directory(builder_);
  record_phone_added(builder_);
  ASSERT_EQ(directory.modify("dn: " + kJane + "\nchangetype: modify\nadd: otherTelephone\notherTelephone: 555-0101\n-\n"),
            0);
  support::ProgramRun users = run("ad objects --kind users");
  EXPECT_EQ(users.exit_code, 0) << users.output;
  std::string ldif = directory.search(directory.base(), "sub",
                                      "(&(objectCategory=person)(objectClass=user)(sAMAccountType=805306368))", {"cn"});
  std::istringstream entries(ldif);
  size_t found = 0;
  for (std::string line; std::getline(entries, line);) {
    if (line.rfind("cn: ", 0) != 0) continue;
    ++found;
    EXPECT_NE(users.output.find("\n  " + line.substr(4) + "\n"), std::string::npos) << line;
  }
  EXPECT_NE(users.output.find("users: " + std::to_string(found) + "\n"), std::string::npos) << users.output;

  // Jane picked into the profile's objects to track; a name the picker does not list is reported.
  support::ProgramRun picked = run("ad pick --server SRV01 --profile 'Directory Changes' --list objects --kind users "
                                   "--choose 'Jane Smith' --choose Nobody");
  EXPECT_EQ(picked.exit_code, 1);
  EXPECT_NE(picked.output.find("Nobody: no entry the picker listed begins with it"), std::string::npos) << picked.output;
  EXPECT_NE(picked.output.find("objects of Directory Changes: 1 added\n  Jane Smith\nsaved"), std::string::npos)
      << picked.output;
  std::string registry = file("machines/SRV01/registry/HKLM.reg");
  EXPECT_NE(registry.find("\"ObjTrack\"=hex(7):63,00,6e,00,3d,00,4a,00,61,00,6e,00"), std::string::npos)
      << "cn=Jane... as the multi-string's first entry";

  support::ProgramRun refused = run("ad rollback --server SRV01 --row 2");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.output.find("--row 2 is not one of the rows listed (1 to 1)"), std::string::npos) << refused.output;
  // Without --yes each confirmation is answered Cancel.
  support::ProgramRun cancelled = run("ad rollback --server SRV01");
  EXPECT_EQ(cancelled.exit_code, 1);
  EXPECT_NE(cancelled.output.find("nothing rolled back"), std::string::npos) << cancelled.output;
  EXPECT_EQ(directory.values(kJane, "otherTelephone"), std::vector<std::string>{"555-0101"});
  support::ProgramRun rolled = run("ad rollback --server SRV01 --row 1 --yes");
  EXPECT_EQ(rolled.exit_code, 0) << rolled.output;
  EXPECT_NE(rolled.output.find("[message box] Rollback AD Modification on this object: Please confirm:"),
            std::string::npos)
      << rolled.output;
  EXPECT_NE(rolled.output.find("\nrolled back\n"), std::string::npos) << rolled.output;
  EXPECT_TRUE(directory.values(kJane, "otherTelephone").empty());
}

TEST_F(DirectoryCommands, WithoutADomainOrAServerTheCommandsSayWhy) {
  support::ProgramRun dn = run("ad dn");
  EXPECT_EQ(dn.exit_code, 1);
  EXPECT_NE(dn.output.find("no domain controller of the console's domain answered (Windows error 1355: The specified "
                           "domain either does not exist or could not be contacted.)"),
            std::string::npos)
      << dn.output;
  builder_.add_machine("SRV01", "127.0.0.2");
  support::DirectoryServer directory(builder_);
  directory.stop();
  builder_.set_world_setting("directory", "controller", "SRV09");  // a controller the network does not have
  support::ProgramRun users = run("ad objects --kind users --base OU=Sales,DC=brightmere,DC=local");
  EXPECT_EQ(users.exit_code, 1);
  EXPECT_NE(users.output.find("LAC:Could not bind to [LDAP://OU=Sales,DC=brightmere,DC=local], code [8007203a]"),
            std::string::npos)
      << users.output;
  EXPECT_NE(users.output.find("users: the directory could not be searched"), std::string::npos) << users.output;
}

}  // namespace
