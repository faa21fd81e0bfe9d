// Temporary files on the console machine: the user's temporary folder and the
// names GetTempFileNameA makes there, by Windows' rule.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "sim/world_builder.h"

namespace {

class TempFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.set_console_user("auditor");
    world_.open();
  }

  std::string local(const std::string& relative) { return world_.machine_dir(world_.console()) + "/shares/C$/" + relative; }

  // The name made, or "error N".
  static std::string temp_name(const char* folder, const char* prefix, UINT unique, UINT* result = nullptr) {
    char name[MAX_PATH] = {};
    UINT got = GetTempFileNameA(folder, prefix, unique, name);
    if (result) *result = got;
    return got ? name : "error " + std::to_string(GetLastError());
  }

  support::WorldBuilder world_;
};

TEST_F(TempFiles, TheUsersFolderIsMadeWhenMissingAndTooSmallABufferGetsTheSizeNeeded) {
  const std::string folder = "C:\\Users\\auditor\\AppData\\Local\\Temp\\";
  char small[10];
  EXPECT_EQ(GetTempPathA(sizeof small, small), folder.size() + 1);
  char path[MAX_PATH];
  ASSERT_EQ(GetTempPathA(sizeof path, path), folder.size());
  EXPECT_EQ(path, folder);
  EXPECT_TRUE(std::filesystem::is_directory(local("Users/auditor/AppData/Local/Temp")));
}

TEST_F(TempFiles, NamesTakeThreePrefixCharactersAndAHexNumberAndOnlyAMadeNumberCreatesTheFile) {
  char folder[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof folder, folder), 0u);

  // A number given is used as it is, its low 16 bits, and no file is made.
  UINT result = 0;
  EXPECT_EQ(temp_name(folder, "~CRR", 0x12ABC, &result), std::string(folder) + "~CR2ABC.tmp");
  EXPECT_EQ(result, 0x2ABCu);
  EXPECT_FALSE(std::filesystem::exists(local("Users/auditor/AppData/Local/Temp/~CR2ABC.tmp")));
  // The folder without its final backslash gets one; a short prefix is taken whole.
  EXPECT_EQ(temp_name("C:\\Work", "a", 0x10), "C:\\Work\\a10.tmp");

  // Number 0: the clock's low 16 bits; an existing name moves the number on, past 0 after FFFF.
  Sleep(static_cast<DWORD>(0xFFFF - (GetTickCount() & 0xFFFF)));
  ASSERT_EQ(GetTickCount() & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(temp_name(folder, "~CCR", 0, &result), std::string(folder) + "~CCFFFF.tmp");
  EXPECT_EQ(result, 0xFFFFu);
  EXPECT_EQ(temp_name(folder, "~CCR", 0, &result), std::string(folder) + "~CC1.tmp");
  EXPECT_EQ(result, 1u);
  EXPECT_TRUE(std::filesystem::is_regular_file(local("Users/auditor/AppData/Local/Temp/~CCFFFF.tmp")));
  EXPECT_EQ(std::filesystem::file_size(local("Users/auditor/AppData/Local/Temp/~CC1.tmp")), 0u);

  // A folder that is not there, and one too long for a name to follow.
  EXPECT_EQ(temp_name("C:\\No\\Such\\Folder", "~CR", 0), "error " + std::to_string(ERROR_DIRECTORY));
  EXPECT_EQ(temp_name(("C:\\" + std::string(MAX_PATH - 16, 'x')).c_str(), "~CR", 0),
            "error " + std::to_string(ERROR_BUFFER_OVERFLOW));
}

}  // namespace
