// INI files through the private-profile functions, with Windows' rules: read
// back as Windows reads them, and written so that only the line changed differs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/paths.h"

namespace {

class ProfileStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.open();
    CreateDirectoryA("C:\\Reports", nullptr);
  }
  std::string local() {
    std::string path;
    platform::map_path(kFile, &path);
    return path;
  }
  void write(const std::string& text) { std::ofstream(local(), std::ios::binary) << text; }
  std::string get(const char* section, const char* key, const char* fallback = "DEF") {
    char value[64];
    GetPrivateProfileStringA(section, key, fallback, value, sizeof value, kFile);
    return value;
  }
  // A list of names ended by two NULs, as one string per name.
  static std::vector<std::string> names(const char* buffer) {
    std::vector<std::string> out;
    for (const char* p = buffer; *p; p += std::strlen(p) + 1) out.emplace_back(p);
    return out;
  }

  static constexpr const char* kFile = "C:\\Reports\\DEFS.INI";
  support::WorldBuilder world_;
};

TEST_F(ProfileStrings, ValuesAreReadWithoutCaseBlanksOrQuotesAndTheFirstOfDuplicatesWins) {
  write("orphan=before any section\r\n"
        "[Weekly]\r\n"
        "  Author_Sam =  jsmith  \r\n"
        "REPORT_TYPE=\"Vertical\"\r\n"
        "quoted='single'\r\n"
        "half=\"open\r\n"
        "; comment=not a key\r\n"
        "no equals sign\r\n"
        "REPORT_TYPE=second\r\n"
        "empty=\r\n"
        "[ weekly ]\r\n"
        "other=from the duplicate\r\n"
        "[Daily\r\n"
        "k=v\n");
  struct Case {
    const char *section, *key, *value;
  } cases[] = {
      {"WEEKLY", "author_sam", "jsmith"},     {"Weekly", "report_type", "Vertical"},
      {"Weekly", "quoted", "single"},         {"Weekly", "half", "\"open"},
      {"Weekly", "; comment", "DEF"},         {"Weekly", "no equals sign", "DEF"},
      {"Weekly", "empty", ""},                {"Weekly", "other", "DEF"},
      {"Weekly", "orphan", "DEF"},            {"Daily", "k", "v"},
      {"Missing", "k", "DEF"},
  };
  for (const Case& c : cases) EXPECT_EQ(get(c.section, c.key), c.value) << c.section << "/" << c.key;
  EXPECT_EQ(get("Missing", "k", "trailing   "), "trailing");  // the default loses its trailing blanks

  char buffer[200];
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kFile), 13u);
  EXPECT_EQ(names(buffer), (std::vector<std::string>{"Weekly", "Daily"}));
  GetPrivateProfileStringA("weekly", nullptr, "", buffer, sizeof buffer, kFile);
  EXPECT_EQ(names(buffer), (std::vector<std::string>{"Author_Sam", "REPORT_TYPE", "quoted", "half", "empty"}));
  // A buffer too small for the names: cut, ended by two NULs, size - 2 returned.
  char small[9];
  EXPECT_EQ(GetPrivateProfileSectionNamesA(small, sizeof small, kFile), 7u);
  EXPECT_EQ(std::string(small, 9), std::string("Weekly\0\0\0", 9));
  // A value longer than the buffer is cut to it.
  char three[4];
  EXPECT_EQ(GetPrivateProfileStringA("Weekly", "Author_Sam", "", three, sizeof three, kFile), 3u);
  EXPECT_STREQ(three, "jsm");

  // A name with a NUL in it is the name before the NUL, for listing and lookup alike.
  write(std::string("[Sp]\r\nk=first\r\n[sp\0tail]\r\nk=second\r\n[Other\0]\r\nk=third\r\n", 55));
  GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kFile);
  EXPECT_EQ(names(buffer), (std::vector<std::string>{"Sp", "Other"}));
  EXPECT_EQ(get("SP", "k"), "first");
  EXPECT_EQ(get("Other", "k"), "third");
  // Names of any length are found without regard to case.
  const std::string long_name(300, 'n');
  write("[" + long_name + "x]\r\nk=longer\r\n[" + long_name + "]\r\nk=long\r\n");
  EXPECT_EQ(get(std::string(300, 'N').c_str(), "k"), "long");

  DeleteFileA(kFile);
  EXPECT_EQ(get("Weekly", "Author_Sam"), "DEF");
  EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kFile), 0u);
  EXPECT_EQ(buffer[0], '\0');
}

// Each read sees the file as it is: rewritten in place with the same size at once, replaced
// by another file renamed over it, removed, or another file read in between.
TEST_F(ProfileStrings, ChangesMadeOutsideAreSeenAtTheNextRead) {
  write("[Weekly]\r\nREPORT_TYPE=basic\r\n");
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "basic");
  write("[Weekly]\r\nREPORT_TYPE=BASIC\r\n");
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "BASIC");
  {
    std::fstream in_place(local(), std::ios::binary | std::ios::in | std::ios::out);
    in_place.seekp(22);  // the value's first letter
    in_place << "ba";
  }
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "baSIC");

  std::ofstream(local() + ".new", std::ios::binary) << "[Weekly]\r\nREPORT_TYPE=vertical\r\n";
  ASSERT_EQ(std::rename((local() + ".new").c_str(), local().c_str()), 0);
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "vertical");

  const std::string other = local() + ".other";
  std::ofstream(other, std::ios::binary) << "[Weekly]\r\nREPORT_TYPE=other\r\n";
  char value[16];
  GetPrivateProfileStringA("Weekly", "REPORT_TYPE", "", value, sizeof value, other.c_str());
  EXPECT_STREQ(value, "other");
  std::remove(other.c_str());
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "vertical");

  std::remove(local().c_str());
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "DEF");
  write("[Weekly]\r\nREPORT_TYPE=access\r\n");
  EXPECT_EQ(get("Weekly", "REPORT_TYPE"), "access");
}

TEST_F(ProfileStrings, WritesChangeOnlyTheirLineAndAFailedWriteLeavesTheFile) {
  const std::string before = "; saved definitions\r\n"
                             "[Weekly]\r\n"
                             "AUTHOR_SAM=jsmith\r\n"
                             "REPORT_TYPE = basic ; kept as written\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "FS_PATH00000000=C:\\data\r\n"
                             "[weekly]\r\n"
                             "duplicate=yes\r\n";
  struct Case {
    const char *section, *key, *value, *after;
  } cases[] = {
      {"WEEKLY", "report_type", "VERTICAL",
       "; saved definitions\r\n[Weekly]\r\nAUTHOR_SAM=jsmith\r\nreport_type=VERTICAL\r\n\r\n[Other]\r\n"
       "FS_PATH00000000=C:\\data\r\n[weekly]\r\nduplicate=yes\r\n"},
      {"Weekly", "OUTPUT_TYPE", "CSV",
       "; saved definitions\r\n[Weekly]\r\nAUTHOR_SAM=jsmith\r\nREPORT_TYPE = basic ; kept as written\r\n"
       "OUTPUT_TYPE=CSV\r\n\r\n[Other]\r\nFS_PATH00000000=C:\\data\r\n[weekly]\r\nduplicate=yes\r\n"},
      {"New One", "A", "1", nullptr},
      {"Weekly", "AUTHOR_SAM", nullptr,
       "; saved definitions\r\n[Weekly]\r\nREPORT_TYPE = basic ; kept as written\r\n\r\n[Other]\r\n"
       "FS_PATH00000000=C:\\data\r\n[weekly]\r\nduplicate=yes\r\n"},
      {"weekly", nullptr, nullptr, "; saved definitions\r\n[Other]\r\nFS_PATH00000000=C:\\data\r\n"},
  };
  for (const Case& c : cases) {
    write(before);
    ASSERT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, kFile)) << c.section;
    std::string expected = c.after ? c.after : before + "\r\n[New One]\r\nA=1\r\n";
    EXPECT_EQ(support::read_whole_file(local()), expected) << c.section << "/" << (c.key ? c.key : "(section)");
  }
  // What was written reads back.
  write(before);
  ASSERT_TRUE(WritePrivateProfileStringA("Weekly", "REPORT_TYPE", "  \"Access Enum\"  ", kFile));
  EXPECT_EQ(get("weekly", "Report_Type"), "Access Enum");

  write(before);
  SetFileAttributesA(kFile, FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(WritePrivateProfileStringA("Weekly", "REPORT_TYPE", "vertical", kFile));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(support::read_whole_file(local()), before);
  SetFileAttributesA(kFile, FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(WritePrivateProfileStringA("Weekly", "REPORT_TYPE", "vertical", "C:\\No Such Folder\\DEFS.INI"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
