// vornix-console ad as a user runs it, on a world whose domain controller's
// directory the test runs: what it lists against ldapsearch, and a recorded
// change rolled back and read back undone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/directory_server.h"
#include "tests/support/logwriter.h"
#include "tests/support/program_runner.h"
#include "tests/support/world_builder.h"

namespace {

using support::run_program;
const std::string kJane = std::string("CN=Jane Smith,OU=Finance,") + support::kDemoDomainDn;

std::string console(const support::WorldBuilder& world, const std::string& arguments, int* exit_code) {
  support::ProgramRun run = run_program(VORNIX_CONSOLE_PATH, arguments + " --world '" + world.folder() + "'");
  *exit_code = run.exit_code;
  return run.output;
}

// The recorded addition of Jane's second telephone number, in SRV01's log share.
void record_phone_added(support::WorldBuilder& world) {
  DirectoryLogRecord r = support::sample_directory_record(0xFACC0011, 3);
  r.action = 0x00010400;
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
                          "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
}

TEST(DirectoryCommands, UsersAreListedAsLdapsearchFindsThemAndARecordedChangeIsRolledBack) {
  support::WorldBuilder world;
  world.add_machine("SRV01", "127.0.0.2");
  support::DirectoryServer directory(world);
  record_phone_added(world);
  ASSERT_EQ(directory.modify("dn: " + kJane + "\nchangetype: modify\nadd: otherTelephone\notherTelephone: 555-0101\n-\n"),
            0);
  int code = -1;
  std::string users = console(world, "ad objects --kind users", &code);
  EXPECT_EQ(code, 0) << users;
  std::string ldif = directory.search(directory.base(), "sub",
                                      "(&(objectCategory=person)(objectClass=user)(sAMAccountType=805306368))", {"1.1"});
  std::istringstream entries(ldif);
  size_t found = 0;
  for (std::string line; std::getline(entries, line);) {
    if (line.rfind("dn: ", 0) != 0) continue;
    ++found;
    EXPECT_NE(users.find(" " + line.substr(4) + "\n"), std::string::npos) << line;
  }
  EXPECT_NE(users.find("users: " + std::to_string(found) + "\n"), std::string::npos) << users;

  std::string refused = console(world, "ad rollback --server SRV01 --row 2", &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(refused.find("--row 2 is not one of the rows listed (1 to 1)"), std::string::npos) << refused;
  std::string cancelled = console(world, "ad rollback --server SRV01 --answer cancel", &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(cancelled.find("rolled back: 0 of 1"), std::string::npos) << cancelled;
  EXPECT_EQ(directory.values(kJane, "otherTelephone"), std::vector<std::string>{"555-0101"});
  std::string rolled = console(world, "ad rollback --server SRV01 --row 1", &code);
  EXPECT_EQ(code, 0) << rolled;
  EXPECT_NE(rolled.find("[message box] Rollback AD Modification on this object: Please confirm:"), std::string::npos)
      << rolled;
  EXPECT_NE(rolled.find("rolled back: 1 of 1"), std::string::npos) << rolled;
  EXPECT_TRUE(directory.values(kJane, "otherTelephone").empty());
}

TEST(DirectoryCommands, WithoutADomainOrAServerTheCommandsSayWhy) {
  support::WorldBuilder world;
  int code = -1;
  std::string dn = console(world, "ad dn", &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(dn.find("no domain controller of the console's domain answered (Windows error 1355)"), std::string::npos)
      << dn;
  world.add_machine("SRV01", "127.0.0.2");
  support::DirectoryServer directory(world);
  directory.stop();
  world.set_world_setting("directory", "controller", "SRV09");  // a controller the network does not have
  std::string users = console(world, "ad objects --kind users --base OU=Sales,DC=brightmere,DC=local", &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(users.find("LAC:Could not bind to [LDAP://OU=Sales,DC=brightmere,DC=local], code [8007203a]"),
            std::string::npos)
      << users;
  EXPECT_NE(users.find("users: the directory could not be searched"), std::string::npos) << users;
}

}  // namespace
