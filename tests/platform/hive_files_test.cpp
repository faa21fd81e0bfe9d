// Keys saved to and restored from real registry hive files: read by hivex's own
// tools, the token's privileges asked for, and bad files refused with the
// destination untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/program_runner.h"
#include "tests/support/registry_dump.h"
#include "tests/support/whole_file.h"
#include "tests/support/world_builder.h"

namespace fs = std::filesystem;

namespace {

// Enables (or tries to) both privileges a hive file needs; the error AdjustTokenPrivileges leaves.
DWORD enable_backup_privileges() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  DWORD last = ERROR_SUCCESS;
  for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES state{};
    state.PrivilegeCount = 1;
    state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, name, &state.Privileges[0].Luid)) << name;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr)) << name;
    if (GetLastError() != ERROR_SUCCESS) last = GetLastError();
  }
  CloseHandle(token);
  return last;
}

HKEY create_key(HKEY parent, const char* path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS)
      << path;
  return key;
}

// A key on a machine's registry, made when missing.
HKEY open_key(HKEY root, const char* machine, const char* path) {
  HKEY remote = nullptr;
  EXPECT_EQ(RegConnectRegistryA(machine, root, &remote), ERROR_SUCCESS) << machine;
  HKEY key = create_key(remote, path);
  RegCloseKey(remote);
  return key;
}

std::vector<std::string> dump(HKEY key) {
  std::vector<std::string> out;
  support::dump_registry(key, "", "", out, false);
  return out;
}

void set_text(HKEY key, const char* name, const char* text) {
  ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1)),
            ERROR_SUCCESS);
}

class HiveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    w.add_machine("SRV01", "127.0.0.2");
    w.add_machine("SRV02", "127.0.0.3");
    w.open();
  }
  // A product key with values of several types, a Latin-1 name and subkeys two deep.
  HKEY filled_key(const char* machine) {
    HKEY key = open_key(HKEY_LOCAL_MACHINE, machine, "SOFTWARE\\Vornix\\Profiles");
    set_text(key, "Comment", "Caf\xE9 files");
    DWORD flags = 0x11223344;
    RegSetValueExA(key, "Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags);
    const BYTE blob[] = {0, 1, 2, 0xFE, 0xFF};
    RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob);
    HKEY child = create_key(key, "Payroll\\Folders");
    set_text(child, "Path", "D:\\Payroll");
    RegCloseKey(child);
    RegCloseKey(create_key(key, "\xC9t\xE9"));
    return key;
  }
  std::string srv_file(const char* machine, const char* name) {
    return w.machine_dir(machine) + "/shares/C$/" + name;
  }
  support::WorldBuilder w;
};

TEST_F(HiveFiles, SavedTreeReadsInHivexAndRestoresElsewhereAsItWas) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY source = filled_key("SRV01");
  ASSERT_EQ(RegSaveKeyA(source, "C:\\profiles.hiv", nullptr), ERROR_SUCCESS);
  // A second save to the same file is refused and leaves the file as it was.
  const std::string saved = support::read_whole_file(srv_file("SRV01", "profiles.hiv"));
  EXPECT_EQ(saved.substr(0, 4), "regf");
  EXPECT_EQ(RegSaveKeyA(source, "C:\\profiles.hiv", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(support::read_whole_file(srv_file("SRV01", "profiles.hiv")), saved);
  EXPECT_EQ(RegSaveKeyA(source, "C:\\no such folder\\p.hiv", nullptr), ERROR_PATH_NOT_FOUND);

  support::ProgramRun run =
      support::run_program("hivexregedit", "--export '" + srv_file("SRV01", "profiles.hiv") + "' '\\'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  // Strings are stored as Windows stores them, UTF-16LE with their terminator.
  for (const char* line : {"\"Flags\"=dword:11223344", "\"Blob\"=hex(3):00,01,02,fe,ff", "[\\Payroll\\Folders]",
                           "\"Path\"=hex(1):44,00,3a,00,5c,00,50,00,61,00,79,00,72,00,6f,00,6c,00,6c,00,00,00",
                           "[\\\xC9t\xE9]"})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

  // Restored over a key on another machine that already had something: the same tree, nothing else.
  fs::copy_file(srv_file("SRV01", "profiles.hiv"), srv_file("SRV02", "in.hiv"));
  HKEY target = open_key(HKEY_LOCAL_MACHINE, "SRV02", "SOFTWARE\\Vornix\\Profiles");
  set_text(target, "Old", "gone after the restore");
  RegCloseKey(create_key(target, "Old profile"));
  ASSERT_EQ(RegRestoreKeyA(target, "C:\\in.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  EXPECT_EQ(dump(target), dump(source));
  // A UNC path reaches the file over the network from the key's machine.
  HKEY console = create_key(HKEY_CURRENT_USER, "Software\\Vornix\\Staging");
  ASSERT_EQ(RegRestoreKeyA(console, "\\\\SRV01\\C$\\profiles.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  EXPECT_EQ(dump(console), dump(source));
  for (HKEY k : {source, target, console}) RegCloseKey(k);
}

TEST_F(HiveFiles, HiveWrittenByHivexToolsRestores) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY empty = open_key(HKEY_LOCAL_MACHINE, "SRV01", "SOFTWARE\\Empty");
  ASSERT_EQ(RegSaveKeyA(empty, "C:\\base.hiv", nullptr), ERROR_SUCCESS);
  const std::string reg = srv_file("SRV01", "add.reg");
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n[\\Imported]\n\"Server\"=\"SRV09\"\n"
                        "\"Port\"=dword:00000019\n\n[\\Imported\\Inner]\n\"Empty\"=hex:\n";
  support::ProgramRun run =
      support::run_program("hivexregedit", "--merge '" + srv_file("SRV01", "base.hiv") + "' '" + reg + "'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  HKEY target = open_key(HKEY_LOCAL_MACHINE, "SRV01", "SOFTWARE\\Target");
  ASSERT_EQ(RegRestoreKeyA(target, "C:\\base.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  EXPECT_EQ(dump(target), (std::vector<std::string>{"", "\\Imported", "\\Imported:Server=1:SRV09|",
                                                    "\\Imported:Port=4:25", "\\Imported\\Inner",
                                                    "\\Imported\\Inner:Empty=3:"}));
  RegCloseKey(empty);
  RegCloseKey(target);
}

TEST_F(HiveFiles, PrivilegesNotHeldOrNotEnabledRefuseBothWays) {
  HKEY key = filled_key("SRV01");
  // Held by the console user but not yet enabled.
  EXPECT_EQ(RegSaveKeyA(key, "C:\\a.hiv", nullptr), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_FALSE(fs::exists(srv_file("SRV01", "a.hiv")));
  // A console user holding only the backup privilege: the restore half is not assigned.
  w.set_world_setting("world", "privileges", "SeBackupPrivilege");
  w.open();
  EXPECT_EQ(enable_backup_privileges(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  key = filled_key("SRV01");
  const std::vector<std::string> before = dump(key);
  ASSERT_EQ(RegSaveKeyA(key, "C:\\a.hiv", nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegRestoreKeyA(key, "C:\\a.hiv", REG_FORCE_RESTORE), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_EQ(dump(key), before);
  RegCloseKey(key);
}

TEST_F(HiveFiles, FileThatIsNoWholeHiveLeavesTheKeyUntouched) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY key = filled_key("SRV01");
  ASSERT_EQ(RegSaveKeyA(key, "C:\\whole.hiv", nullptr), ERROR_SUCCESS);
  const std::string whole = support::read_whole_file(srv_file("SRV01", "whole.hiv"));
  std::ofstream(srv_file("SRV01", "cut.hiv"), std::ios::binary) << whole.substr(0, whole.size() - 100);
  std::ofstream(srv_file("SRV01", "text.hiv"), std::ios::binary) << "Windows Registry Editor Version 5.00\r\n";
  std::ofstream(srv_file("SRV01", "header.hiv"), std::ios::binary) << whole.substr(0, 0x1000);
  HKEY target = open_key(HKEY_LOCAL_MACHINE, "SRV01", "SOFTWARE\\Vornix\\Reports");
  set_text(target, "Kept", "yes");
  const std::vector<std::string> before = dump(target);
  for (const char* file : {"C:\\cut.hiv", "C:\\text.hiv", "C:\\header.hiv"})
    EXPECT_EQ(RegRestoreKeyA(target, file, REG_FORCE_RESTORE), ERROR_BADDB) << file;
  EXPECT_EQ(RegRestoreKeyA(target, "C:\\missing.hiv", REG_FORCE_RESTORE), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(dump(target), before);
  RegCloseKey(key);
  RegCloseKey(target);
}

}  // namespace
