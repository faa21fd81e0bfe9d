// Files over the world's shares: path mapping, sharing rules, enumeration,
// attributes, copies, moves and deletions, with the errors Windows gives.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/world_builder.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_machine("DOWN01", "127.0.0.3");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.add_machine("LOCKED01", "127.0.0.4");
    world_.set_machine_setting("LOCKED01", "machine", "access", "none");
    std::string logs = world_.machine_dir("SRV01") + "/shares/VnxLogs$/vnxlogs";
    std::filesystem::create_directories(logs + "/archived_logs");
    write(logs + "/vnxfs_SRV01f_November302026.vnx", "abc");
    write(logs + "/vnxlogon_SRV01f_December012026.vnx", "defg");
    write(logs + "/notes.txt", "x");
    world_.open();
  }

  static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  static HANDLE open(const char* path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // The error a call left behind, or 0 when it succeeded.
  static long error_of(bool ok) { return ok ? 0 : static_cast<long>(GetLastError()); }

  support::WorldBuilder world_;
};

TEST_F(Files, SharePathsEnumerationAndShareModesAsWindowsHasThem) {
  HANDLE file = open("\\\\srv01\\VNXLOGS$\\VnxLogs\\VNXFS_SRV01F_NOVEMBER302026.VNX", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  char text[8] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(file, text, sizeof text, &got, nullptr));
  EXPECT_EQ(std::string(text, got), "abc");
  CloseHandle(file);

  struct { const char* path; long error; } failures[] = {
      {"\\\\NOSUCH\\C$\\x", ERROR_BAD_NETPATH}, {"\\\\DOWN01\\C$\\x", ERROR_BAD_NETPATH},
      {"\\\\LOCKED01\\C$\\x", ERROR_ACCESS_DENIED}, {"\\\\SRV01\\NOSHARE\\x", ERROR_BAD_NET_NAME},
      {"\\\\SRV01\\C$\\missing.txt", ERROR_FILE_NOT_FOUND},
      {"\\\\SRV01\\C$\\no\\such\\folder.txt", ERROR_PATH_NOT_FOUND}};
  for (const auto& f : failures)
    EXPECT_EQ(error_of(open(f.path, GENERIC_READ, FILE_SHARE_READ) != INVALID_HANDLE_VALUE), f.error) << f.path;

  // A drive path is the console machine's own administrative share.
  HANDLE created = open("C:\\report.csv", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  EXPECT_TRUE(std::filesystem::exists(world_.machine_dir("CONSOLE01") + "/shares/C$/report.csv"));

  // Enumeration matches long and short names and skips nothing: "." and ".." first, then
  // the rest (sorted here), folders marked with a slash, other than normal attributes with '!'.
  auto found = [](const char* pattern, bool short_names = false) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return std::vector<std::string>{"error " + std::to_string(GetLastError())};
    std::vector<std::string> out;
    do {
      const DWORD attributes = data.dwFileAttributes;
      out.push_back(data.cFileName + std::string(attributes & FILE_ATTRIBUTE_DIRECTORY ? "/"
                                                 : attributes == FILE_ATTRIBUTE_NORMAL ? "" : "!") +
                    (short_names ? std::string(" ") + data.cAlternateFileName : ""));
    } while (FindNextFileA(search, &data) && out.size() < 10);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(search);
    std::sort(out.begin() + (out.size() > 1 && out[0] == "./" && out[1] == "../" ? 2 : 0), out.end());
    return out;
  };
  const std::vector<std::string> logs = {"vnxfs_SRV01f_November302026.vnx VNXFS_~1.VNX",
                                         "vnxlogon_SRV01f_December012026.vnx VNXLOG~1.VNX"};
  EXPECT_EQ(found("\\\\SRV01\\VNXLOGS$\\vnxlogs\\*.vnx", true), logs);
  EXPECT_EQ(found("\\\\SRV01\\VNXLOGS$\\vnxlogs\\*"),
            (std::vector<std::string>{"./", "../", "archived_logs/", "notes.txt", "vnxfs_SRV01f_November302026.vnx",
                                      "vnxlogon_SRV01f_December012026.vnx"}));
  EXPECT_EQ(found("\\\\SRV01\\VNXLOGS$\\vnxlogs\\*.none"), std::vector<std::string>{"error 2"});

  // Open files refuse what their share mode does not allow.
  const char* path = "\\\\SRV01\\VNXLOGS$\\vnxlogs\\notes.txt";
  HANDLE writer = open(path, GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  HANDLE reader = open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "reading is shared";
  EXPECT_EQ(error_of(open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE) != INVALID_HANDLE_VALUE),
            ERROR_SHARING_VIOLATION);
  EXPECT_EQ(error_of(DeleteFileA(path)), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(error_of(MoveFileExA(path, "\\\\SRV01\\VNXLOGS$\\vnxlogs\\moved.txt", 0)), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  CloseHandle(writer);
  EXPECT_TRUE(DeleteFileA(path));
  EXPECT_EQ(error_of(DeleteFileA(path)), ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, AttributesGuardUntilResetAndCopiesAndMovesRespectExistingTargets) {
  const char* folder = "\\\\SRV01\\VNXLOGS$\\vnxlogs\\archived_logs";
  std::string file = std::string(folder) + "\\old.vnx";
  HANDLE created = open(file.c_str(), GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(error_of(DeleteFileA(file.c_str())), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open(file.c_str(), GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(error_of(RemoveDirectoryA(folder)), ERROR_DIR_NOT_EMPTY);

  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA(file.c_str()));
  EXPECT_TRUE(RemoveDirectoryA(folder));
  EXPECT_EQ(GetFileAttributesA(folder), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(CreateDirectoryA(folder, nullptr));
  EXPECT_EQ(error_of(CreateDirectoryA(folder, nullptr)), ERROR_ALREADY_EXISTS);

  // Copies and moves respect existing targets.
  const char* a = "\\\\SRV01\\VNXLOGS$\\vnxlogs\\vnxfs_SRV01f_November302026.vnx";
  const char* b = "\\\\SRV01\\VNXLOGS$\\vnxlogs\\vnxlogon_SRV01f_December012026.vnx";
  const char* copy = "\\\\SRV01\\VNXLOGS$\\vnxlogs\\archived_logs\\copy.vnx";
  EXPECT_TRUE(CopyFileA(a, copy, TRUE));
  EXPECT_EQ(error_of(CopyFileA(b, copy, TRUE)), ERROR_FILE_EXISTS);
  EXPECT_EQ(error_of(MoveFileExA(b, copy, 0)), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(MoveFileExA(b, copy, MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetFileAttributesA(b), INVALID_FILE_ATTRIBUTES);
  HANDLE moved = open(copy, GENERIC_READ, FILE_SHARE_READ);
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(moved, &size));
  EXPECT_EQ(size.QuadPart, 4);
  CloseHandle(moved);
}

}  // namespace
