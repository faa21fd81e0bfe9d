// The console's copy, export and import commands on a demo network, run from an ordinary shell.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/program_runner.h"
#include "tests/support/world_builder.h"

namespace {

// The line of the profile listing that shows the profile.
std::string profile_line(const std::string& listing, const std::string& profile) {
  size_t at = listing.find("\n  " + profile + " ");
  return at == std::string::npos ? "" : listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
}

TEST(ConsoleCopy, AnExportedHiveReadsInHivexImportsOntoSrv02AndADropKeepsWhatIsThere) {
  support::WorldBuilder scratch;
  const std::string world = scratch.folder() + "/demo", file = scratch.folder() + "/night.exportkey";
  ASSERT_EQ(support::run_program(VORNIX_CONSOLE_PATH, "demo '" + world + "'").exit_code, 0);
  const std::string in = " --world '" + world + "'";
  ASSERT_EQ(support::run_program(VORNIX_CONSOLE_PATH, "profile create Night --type VNX_FS_TRACK --server SRV01" + in)
                .exit_code,
            0);

  support::ProgramRun exported =
      support::run_program(VORNIX_CONSOLE_PATH, "export --out '" + file + "' SRV01:Night SRV01:Logons" + in);
  ASSERT_EQ(exported.exit_code, 0) << exported.output;
  support::ProgramRun read = support::run_program("hivexregedit", "--export '" + file + "' '\\'");
  ASSERT_EQ(read.exit_code, 0) << read.output;
  for (const char* key : {"[\\Night]", "[\\Logons]", "\"ProfileType\"=dword:00000110"})
    EXPECT_NE(read.output.find(key), std::string::npos) << key << read.output;

  support::ProgramRun imported = support::run_program(VORNIX_CONSOLE_PATH, "import '" + file + "' --server SRV02" + in);
  ASSERT_EQ(imported.exit_code, 0) << imported.output;
  const std::string srv01 = support::run_program(VORNIX_CONSOLE_PATH, "profiles --server SRV01" + in).output;
  const std::string srv02 = support::run_program(VORNIX_CONSOLE_PATH, "profiles --server SRV02" + in).output;
  EXPECT_FALSE(profile_line(srv01, "Night").empty()) << srv01;
  EXPECT_EQ(profile_line(srv02, "Night"), profile_line(srv01, "Night")) << srv02;

  // Dropped onto SRV02 again without overwrite: the results say so and nothing changes there.
  support::ProgramRun dropped = support::run_program(
      VORNIX_CONSOLE_PATH, "copy-profiles --from SRV01 --profile Night --to SRV02 --to SRV01" + in);
  EXPECT_NE(dropped.output.find("Night already exists, will not overwrite"), std::string::npos) << dropped.output;
  // A file that is no hive: the import's error, and SRV02 as it was.
  support::ProgramRun refused = support::run_program(VORNIX_CONSOLE_PATH, "import '" + world + "/world.ini' --server SRV02" + in);
  EXPECT_NE(refused.exit_code, 0);
  EXPECT_NE(refused.output.find("REGISTRY KEY IMPORT FAILED!"), std::string::npos) << refused.output;
  EXPECT_EQ(support::run_program(VORNIX_CONSOLE_PATH, "profiles --server SRV02" + in).output, srv02);
}

}  // namespace
