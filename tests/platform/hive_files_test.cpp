// Keys saved to and restored from real registry hive files: read and written by
// hivex's own tools, the token's privileges asked for, and bad files refused
// with the destination untouched.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sim/program_runner.h"
#include "sim/registry_dump.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"

namespace {

// Enables both privileges a hive file needs; the last error AdjustTokenPrivileges leaves.
DWORD enable_backup_privileges() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  DWORD last = ERROR_SUCCESS;
  for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES state{1, {{{}, SE_PRIVILEGE_ENABLED}}};
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, name, &state.Privileges[0].Luid) &&
                AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr))
        << name;
    if (GetLastError() != ERROR_SUCCESS) last = GetLastError();
  }
  CloseHandle(token);
  return last;
}

std::vector<std::string> dump(HKEY key) {
  std::vector<std::string> out;
  support::dump_registry(key, "", "", out, false);
  return out;
}

uint32_t le32(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// Each value of a hive file whose data sits in cells: its data, and the sizes of the cells it was read
// from. A hive of format 1.4 or later keeps data over 16,344 bytes through a "db" cell and its segments.
struct StoredValue {
  std::string data;
  std::vector<uint32_t> cells;
};
std::vector<StoredValue> stored_values(const std::string& hive) {
  const size_t base = 0x1000, end = base + le32(hive, 0x28);
  const bool big_data = le32(hive, 0x18) >= 4;
  auto cell = [&](uint32_t offset) {  // the data of the cell at a hive offset, and its size
    const uint32_t size = 0u - le32(hive, base + offset);
    EXPECT_LT(int32_t(le32(hive, base + offset)), 0) << "a free cell at " << offset;
    return std::make_pair(hive.substr(base + offset + 4, size - 4), size);
  };
  std::vector<StoredValue> values;
  for (size_t bin = base; bin < end; bin += le32(hive, bin + 8))
    for (size_t at = bin + 0x20; at < bin + le32(hive, bin + 8); at += uint32_t(std::abs(int32_t(le32(hive, at))))) {
      const uint32_t length = le32(hive, at + 8);
      if (int32_t(le32(hive, at)) > 0 || hive.compare(at + 4, 2, "vk") != 0 || (length & 0x80000000u) != 0) continue;
      StoredValue v;
      auto [data, size] = cell(le32(hive, at + 12));
      if (big_data && length > 16344 && data.compare(0, 2, "db") == 0) {
        const uint32_t segments = uint8_t(data[2]) | uint8_t(data[3]) << 8;
        const std::string list = cell(le32(data, 4)).first;
        for (uint32_t i = 0; i < segments; ++i) {
          auto [segment, segment_size] = cell(le32(list, 4 * i));
          v.data += segment.substr(0, std::min<size_t>(16344, length - v.data.size()));
          v.cells.push_back(segment_size);
        }
      } else {
        v.data = data.substr(0, length);
        v.cells.push_back(size);
      }
      EXPECT_EQ(v.data.size(), length);
      values.push_back(v);
    }
  return values;
}

// The bytes of a binary value in the text that hivexregedit exports.
std::string exported_binary(const std::string& text, const std::string& name) {
  size_t at = text.find("\"" + name + "\"=hex(3):");
  std::string bytes;
  if (at == std::string::npos) return bytes;
  for (at = text.find(':', at) + 1; at < text.size() && text[at] != '\n'; ++at) {
    if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\n') at += 1;
    else if (std::isxdigit(uint8_t(text[at])) && at + 1 < text.size() && std::isxdigit(uint8_t(text[at + 1])))
      bytes += char(std::stoi(text.substr(at, 2), nullptr, 16)), at += 1;
  }
  return bytes;
}

class HiveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    w.add_machine("SRV01", "127.0.0.2");
    w.add_machine("SRV02", "127.0.0.3");
    w.open();
  }
  // A key of a machine's HKEY_LOCAL_MACHINE, made when missing.
  HKEY key(const char* machine, const std::string& path) {
    HKEY remote = nullptr, made = nullptr;
    EXPECT_EQ(RegConnectRegistryA(machine, HKEY_LOCAL_MACHINE, &remote), 0) << machine;
    EXPECT_EQ(RegCreateKeyExA(remote, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr), 0) << path;
    RegCloseKey(remote);
    return made;
  }
  // Values of several types (strings with their terminator), a Latin-1 name and subkeys two deep.
  HKEY filled(const char* machine) {
    const std::string path = "SOFTWARE\\Vornix\\Profiles";
    const struct { std::string key, name; DWORD type; std::string data; } values[] = {
        {"", "Comment", REG_SZ, std::string("Caf\xE9 files", 11)}, {"", "Flags", REG_DWORD, "\x44\x33\x22\x11"},
        {"", "Blob", REG_BINARY, std::string("\0\1\2\xFE\xFF", 5)},
        {"\\Payroll\\Folders", "Path", REG_SZ, std::string("D:\\Payroll", 11)}};
    for (const auto& v : values) {
      HKEY k = key(machine, path + v.key);
      RegSetValueExA(k, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()), DWORD(v.data.size()));
      RegCloseKey(k);
    }
    RegCloseKey(key(machine, path + "\\\xC9t\xE9"));
    return key(machine, path);
  }
  std::string file(const char* machine, const char* name) { return w.machine_dir(machine) + "/shares/C$/" + name; }
  support::WorldBuilder w;
};

TEST_F(HiveFiles, SavedTreeReadsInHivexTakesItsEditsAndRestoresOverAnotherKeyAsItWas) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY source = filled("SRV01");
  ASSERT_EQ(RegSaveKeyA(source, "C:\\profiles.hiv", nullptr), ERROR_SUCCESS);
  // A second save to the same file is refused and leaves the file as it was.
  const std::string saved = support::read_whole_file(file("SRV01", "profiles.hiv"));
  EXPECT_EQ(saved.substr(0, 4), "regf");
  EXPECT_EQ(RegSaveKeyA(source, "C:\\profiles.hiv", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(support::read_whole_file(file("SRV01", "profiles.hiv")), saved);
  EXPECT_EQ(RegSaveKeyA(source, "C:\\no such folder\\p.hiv", nullptr), ERROR_PATH_NOT_FOUND);
  support::ProgramRun run = support::run_program("hivexregedit", "--export '" + file("SRV01", "profiles.hiv") + "' '\\'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  // Strings are stored as Windows stores them, UTF-16LE with their terminator.
  for (const char* line : {"\"Flags\"=dword:11223344", "\"Blob\"=hex(3):00,01,02,fe,ff", "[\\Payroll\\Folders]",
                           "\"Path\"=hex(1):44,00,3a,00,5c,00,50,00,61,00,79,00,72,00,6f,00,6c,00,6c,00,00,00",
                           "[\\\xC9t\xE9]"})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

  // Keys that hivex's tool adds to the file, and the file restored on another machine over a key that
  // had something else: the saved tree and the additions, nothing more. A UNC path reaches the file too.
  std::ofstream(file("SRV01", "add.reg")) << "Windows Registry Editor Version 5.00\n\n[\\Imported]\n\"Server\"=\"SRV09\"\n"
                                             "\"Port\"=dword:00000019\n\n[\\Imported\\Inner]\n\"Empty\"=hex:\n";
  run = support::run_program("hivexregedit",
                             "--merge '" + file("SRV01", "profiles.hiv") + "' '" + file("SRV01", "add.reg") + "'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  HKEY target = key("SRV02", "SOFTWARE\\Vornix\\Profiles\\Old profile");
  ASSERT_EQ(RegRestoreKeyA(target, "\\\\SRV01\\C$\\profiles.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  std::vector<std::string> restored = dump(target), added;
  for (auto line = restored.begin(); line != restored.end();)
    if (line->rfind("\\Imported", 0) == 0) added.push_back(*line), line = restored.erase(line);
    else ++line;
  EXPECT_EQ(restored, dump(source));
  EXPECT_EQ(added, (std::vector<std::string>{"\\Imported", "\\Imported:Server=1:SRV09|", "\\Imported:Port=4:25",
                                             "\\Imported\\Inner", "\\Imported\\Inner:Empty=3:"}));
  for (HKEY k : {source, target}) RegCloseKey(k);
}

TEST_F(HiveFiles, NoPrivilegeOrNoWholeHiveRefusesAndLeavesTheKeyUntouched) {
  HKEY key = filled("SRV01");
  const std::vector<std::string> before = dump(key);
  // Held by the console user but not yet enabled.
  EXPECT_EQ(RegSaveKeyA(key, "C:\\a.hiv", nullptr), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_FALSE(std::ifstream(file("SRV01", "a.hiv")).good());
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  ASSERT_EQ(RegSaveKeyA(key, "C:\\whole.hiv", nullptr), ERROR_SUCCESS);
  const std::string whole = support::read_whole_file(file("SRV01", "whole.hiv"));
  const std::pair<const char*, std::string> bad[] = {{"cut", whole.substr(0, whole.size() - 100)},
                                                     {"text", "Windows Registry Editor Version 5.00\r\n"},
                                                     {"header", whole.substr(0, 0x1000)}};
  for (const auto& [name, bytes] : bad) {
    std::ofstream(file("SRV01", name), std::ios::binary) << bytes;
    EXPECT_EQ(RegRestoreKeyA(key, (std::string("C:\\") + name).c_str(), REG_FORCE_RESTORE), ERROR_BADDB) << name;
  }
  EXPECT_EQ(RegRestoreKeyA(key, "C:\\missing.hiv", REG_FORCE_RESTORE), ERROR_FILE_NOT_FOUND);
  // A console user holding only the backup privilege: the restore half is not assigned.
  w.set_world_setting("world", "privileges", "SeBackupPrivilege");
  w.open();
  key = filled("SRV01");
  EXPECT_EQ(enable_backup_privileges(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_EQ(RegRestoreKeyA(key, "C:\\whole.hiv", REG_FORCE_RESTORE), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_EQ(dump(key), before);
  RegCloseKey(key);
}

TEST_F(HiveFiles, ValueTypesWithoutANameOfTheirOwnAreSavedAndRestored) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY source = key("SRV01", "SOFTWARE\\Vornix\\Odd types");
  for (DWORD type : {37u, 0x12345678u, 0xFFFFFFFFu})
    ASSERT_EQ(RegSetValueExA(source, std::to_string(type).c_str(), 0, type, reinterpret_cast<const BYTE*>("ab"), 2),
              ERROR_SUCCESS);
  ASSERT_EQ(RegSaveKeyA(source, "C:\\odd.hiv", nullptr), ERROR_SUCCESS);
  HKEY target = key("SRV02", "SOFTWARE\\Vornix\\Restored");
  ASSERT_EQ(RegRestoreKeyA(target, "\\\\SRV01\\C$\\odd.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  EXPECT_EQ(dump(target),
            (std::vector<std::string>{"", ":37=37:ab", ":305419896=305419896:ab", ":4294967295=4294967295:ab"}));
  for (HKEY k : {source, target}) RegCloseKey(k);
}

TEST_F(HiveFiles, AHiveWithAKeyOrValueNameTheRegistryCannotHoldIsRefusedAndChangesNothing) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY source = key("SRV01", "SOFTWARE\\Vornix\\Names");
  RegCloseKey(key("SRV01", "SOFTWARE\\Vornix\\Names\\Finance\\EMPTYNAME"));
  RegCloseKey(key("SRV01", "SOFTWARE\\Vornix\\Names\\A_B"));
  RegSetValueExA(source, "LINE_BREAK", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\1\0\0\0"), 4);
  ASSERT_EQ(RegSaveKeyA(source, "C:\\names.hiv", nullptr), ERROR_SUCCESS);
  const std::string saved = support::read_whole_file(file("SRV01", "names.hiv"));
  // Names are kept as ASCII in the key's or value's cell, the key name's length 4 bytes before it.
  auto patched = [&](const std::string& name, const std::string& into, bool empty) {
    std::string bytes = saved;
    size_t at = bytes.find(name);
    EXPECT_NE(at, std::string::npos) << name;
    bytes.replace(at, into.size(), into);
    if (empty) bytes[at - 4] = bytes[at - 3] = '\0';
    return bytes;
  };
  HKEY target = key("SRV02", "SOFTWARE\\Vornix\\Kept");
  RegSetValueExA(target, "Old", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\7\0\0\0"), 4);
  const std::vector<std::string> before = dump(target);
  const std::pair<std::string, LONG> bad[] = {{patched("EMPTYNAME", "EMPTYNAME", true), ERROR_BADDB},
                                              {patched("A_B", "A\\B", false), ERROR_BADDB},
                                              {patched("A_B", "A\nB", false), ERROR_INVALID_PARAMETER},
                                              {patched("LINE_BREAK", "LINE\rBREAK", false), ERROR_INVALID_PARAMETER}};
  for (const auto& [bytes, error] : bad) {
    std::ofstream(file("SRV01", "bad.hiv"), std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(RegRestoreKeyA(target, "\\\\SRV01\\C$\\bad.hiv", REG_FORCE_RESTORE), error);
    EXPECT_EQ(dump(target), before);
  }
  for (HKEY k : {source, target}) RegCloseKey(k);
}

TEST_F(HiveFiles, AHiveWhoseKeysLoopOrShareACellOrNestTooDeepIsRefusedAndChangesNothing) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  HKEY source = key("SRV01", "SOFTWARE\\Vornix\\Tree");
  for (const char* path : {"FIRSTKEY\\FIRSTGRAND", "SECONDKEY\\SECONDGRAND"})
    RegCloseKey(key("SRV01", std::string("SOFTWARE\\Vornix\\Tree\\") + path));
  ASSERT_EQ(RegSaveKeyA(source, "C:\\tree.hiv", nullptr), ERROR_SUCCESS);
  const std::string saved = support::read_whole_file(file("SRV01", "tree.hiv"));
  // A key's cell holds its name (ASCII) 0x50 bytes in and its subkey list's offset 0x20 bytes in; the
  // list's first entry is 8 bytes into the list. Offsets count from the first bin, 0x1000 into the file.
  auto cell = [&](const char* name) { return saved.find(name) - 0x50; };
  auto pointed = [&](size_t key_cell, size_t target_cell) {
    std::string bytes = saved;
    const size_t entry = 0x1000 + le32(bytes, key_cell + 0x20) + 8;
    for (int i = 0; i < 4; ++i) bytes[entry + i] = char((target_cell - 0x1000) >> (8 * i));
    return bytes;
  };
  HKEY deep = key("SRV01", "SOFTWARE\\Vornix\\Deep");
  for (int level = 0; level < 513; ++level) {
    HKEY next = nullptr;
    ASSERT_EQ(RegCreateKeyExA(deep, "L", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr), 0) << level;
    RegCloseKey(deep);
    deep = next;
  }
  RegCloseKey(deep);
  HKEY deep_root = key("SRV01", "SOFTWARE\\Vornix\\Deep");
  ASSERT_EQ(RegSaveKeyA(deep_root, "C:\\deep.hiv", nullptr), ERROR_SUCCESS);
  HKEY target = key("SRV02", "SOFTWARE\\Vornix\\Kept");
  RegSetValueExA(target, "Old", 0, REG_DWORD, reinterpret_cast<const BYTE*>("\7\0\0\0"), 4);
  const std::vector<std::string> before = dump(target);
  const std::string bad[] = {pointed(cell("FIRSTKEY"), cell("FIRSTKEY")),  // below itself
                             pointed(cell("SECONDKEY"), cell("FIRSTGRAND")),  // below two keys
                             support::read_whole_file(file("SRV01", "deep.hiv"))};
  for (const std::string& bytes : bad) {
    std::ofstream(file("SRV01", "bad.hiv"), std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(RegRestoreKeyA(target, "\\\\SRV01\\C$\\bad.hiv", REG_FORCE_RESTORE), ERROR_BADDB);
    EXPECT_EQ(dump(target), before);
  }
  for (HKEY k : {source, deep_root, target}) RegCloseKey(k);
}

// Report definitions reach 64,000 bytes: such a value is kept as the hive's format requires, with a
// value of exactly one segment still in one cell; hivex's tool and a restore read every byte back.
TEST_F(HiveFiles, ALongValueIsKeptAsBigDataThatHivexAndARestoreReadWhole) {
  ASSERT_EQ(enable_backup_privileges(), ERROR_SUCCESS);
  std::string definition(64000, '\0'), segment(16344, '\0');
  for (size_t i = 0; i < definition.size(); ++i) definition[i] = char(i * 7 % 251);
  for (size_t i = 0; i < segment.size(); ++i) segment[i] = char(i % 13 + 'a');
  HKEY source = key("SRV01", "SOFTWARE\\Vornix\\Reports\\Monthly");
  for (const auto& [name, data] : {std::pair<const char*, const std::string&>{"Definition", definition}, {"Part", segment}})
    ASSERT_EQ(RegSetValueExA(source, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size())),
              ERROR_SUCCESS);
  ASSERT_EQ(RegSaveKeyA(source, "C:\\monthly.hiv", nullptr), ERROR_SUCCESS);

  const std::string hive = support::read_whole_file(file("SRV01", "monthly.hiv"));
  std::vector<StoredValue> values = stored_values(hive);
  ASSERT_EQ(values.size(), 2u);
  if (values[0].data.size() != definition.size()) std::swap(values[0], values[1]);
  EXPECT_TRUE(values[0].data == definition);
  EXPECT_TRUE(values[1].data == segment);
  EXPECT_EQ(values[1].cells.size(), 1u);
  // A Windows loader of this format reads no single cell of more than one segment.
  for (uint32_t size : values[0].cells) EXPECT_LE(size, 4u + 16344u + 4u);
  EXPECT_EQ(values[0].cells.size(), 4u);

  support::ProgramRun run = support::run_program("hivexregedit", "--export '" + file("SRV01", "monthly.hiv") + "' '\\'");
  ASSERT_EQ(run.exit_code, 0) << run.output.substr(0, 500);
  EXPECT_TRUE(exported_binary(run.output, "Definition") == definition);
  EXPECT_TRUE(exported_binary(run.output, "Part") == segment);

  HKEY target = key("SRV02", "SOFTWARE\\Vornix\\Reports\\Monthly");
  ASSERT_EQ(RegRestoreKeyA(target, "\\\\SRV01\\C$\\monthly.hiv", REG_FORCE_RESTORE), ERROR_SUCCESS);
  std::string restored(70000, '\0');
  DWORD type = 0, size = DWORD(restored.size());
  ASSERT_EQ(RegQueryValueExA(target, "Definition", nullptr, &type, reinterpret_cast<BYTE*>(&restored[0]), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_TRUE(restored.substr(0, size) == definition);
  for (HKEY k : {source, target}) RegCloseKey(k);
}

}  // namespace
