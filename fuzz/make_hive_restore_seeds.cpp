// Writes the seed corpus of the hive restore target into a folder: hive
// files saved by RegSaveKeyA from registries laid out as the console and the
// agents lay them out (exported profiles with their lists, exported custom
// reports with and without the server marker in their definitions, a whole
// product key as an archive, with a value long enough to be kept as big
// data, Latin-1 names and a deep subtree), an empty hive and a cut one. The
// byte that the target replaces by the checksum chooses each seed's load.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/world_builder.h"

namespace {

constexpr size_t kLoadByte = 0x1FC;  // replaced by the base block's checksum in the target
enum Load : uint8_t { kImportProfiles = 0, kImportReports = 1, kRestoreArchive = 2 };

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

std::string dword(uint32_t v) {
  return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

HKEY g_root;

HKEY make_key(const std::string& path, const std::vector<Value>& values) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(g_root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  for (const Value& v : values)
    RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                   static_cast<DWORD>(v.data.size()));
  return key;
}

void enable_privileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES state{1, {{{}, SE_PRIVILEGE_ENABLED}}};
    if (LookupPrivilegeValueA(nullptr, name, &state.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr);
  }
  CloseHandle(token);
}

// A report definition: the server field 24 bytes after the marker, or no marker.
std::string definition(size_t marker_at, size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i % 97 + 1);
  if (marker_at + 4 <= size) data.replace(marker_at, 4, "\x02\x02\x02\x02");
  return data;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hive_restore_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  support::WorldBuilder w("", "CONSOLE");
  w.open();
  enable_privileges();
  if (RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &g_root) != ERROR_SUCCESS) return 1;
  int failures = 0, number = 0;
  auto save = [&](HKEY key, const std::string& name, Load load, size_t keep = SIZE_MAX) {
    std::string file = "C:\\seed" + std::to_string(number++) + ".hiv";
    std::string bytes;
    if (RegSaveKeyA(key, file.c_str(), nullptr) == ERROR_SUCCESS) {
      std::ifstream in(w.machine_dir("CONSOLE") + "/shares/C$/" + file.substr(3), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      bytes = text.str();
    }
    if (bytes.size() <= kLoadByte) {
      std::fprintf(stderr, "make_hive_restore_seeds: %s was not saved\n", name.c_str());
      ++failures;
      return;
    }
    bytes[kLoadByte] = static_cast<char>(load);
    if (keep < bytes.size()) bytes.resize(keep);
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out << bytes;
    if (!out) {
      std::perror((folder + "/" + name).c_str());
      ++failures;
    }
  };

  // Exported profiles: each one a subkey of the staging key, with its type, flags and lists.
  const std::string profiles = "SOFTWARE\\Export\\Profiles";
  for (int i = 0; i < 3; ++i) {
    std::string name = profiles + "\\Finance " + std::to_string(i);
    make_key(name, {{"ProfileType", REG_DWORD, dword(256 + 16 * i)},
                    {"Disabled", REG_DWORD, dword(i == 1)},
                    {"Keyword", REG_SZ, std::string("VNX_FS_TRACK") + '\0'},
                    {"Paths", REG_MULTI_SZ, std::string("D:\\Finance\0E:\\Payroll\0\0", 24)},
                    {"Filter", REG_BINARY, std::string("\x01\x00\xFF\x7F", 4)}});
    make_key(name + "\\Users", {{"0", REG_SZ, std::string("BRIGHTMERE\\jsmith") + '\0'},
                                {"1", REG_SZ, std::string("BRIGHTMERE\\Domain Admins") + '\0'}});
  }
  save(make_key(profiles, {}), "profiles", kImportProfiles);
  // Key names up to the registry's 255 characters.
  const std::string long_names = "SOFTWARE\\Export\\Long";
  make_key(long_names + "\\" + std::string(150, 'P') + "\\" + std::string(255, 'L'),
           {{"ProfileType", REG_DWORD, dword(288)}});
  save(make_key(long_names, {}), "long_names", kImportProfiles);

  // Exported custom reports: the marker at the start, near the end of the data, and missing.
  const std::string reports = "SOFTWARE\\Export\\Reports";
  make_key(reports + "\\Monthly",
           {{"Definition", REG_BINARY, definition(0, 600)}, {"Created", REG_DWORD, dword(1796515200)}});
  make_key(reports + "\\Cut short", {{"Definition", REG_BINARY, definition(300, 310)}});
  make_key(reports + "\\Unmarked", {{"definition", REG_BINARY, definition(1000, 200)}});
  make_key(reports + "\\Graphs\\Weekly", {{"Definition", REG_BINARY, definition(40, 120)}});
  save(make_key(reports, {}), "reports", kImportReports);

  // A registry archive: the whole product key, with a big value, Latin-1 names and a deep subtree.
  const std::string product = "SOFTWARE\\Archive\\VORNIX";
  make_key(product, {{"ReportPath", REG_SZ, std::string("D$\\VORNIX") + '\0'},
                     {"IPv4PortAlertConsoles", REG_DWORD, dword(4060)},
                     {"LargeList", REG_BINARY, std::string(20000, '\x5A')},
                     {std::string("Caf\xE9"), REG_EXPAND_SZ, std::string("%SystemRoot%\\caf\xE9") + '\0'}});
  make_key(product + "\\Profiles\\\xC9t\xE9", {{"ProfileType", REG_DWORD, dword(272)}});
  make_key(product + "\\Reports\\Daily", {{"Definition", REG_BINARY, definition(8, 64)}});
  std::string deep = product + "\\Configuration";
  for (int i = 0; i < 12; ++i) deep += "\\Level" + std::to_string(i);
  make_key(deep, {{"", REG_SZ, std::string("default value") + '\0'}});
  HKEY archive = make_key(product, {});
  save(archive, "archive", kRestoreArchive);
  save(archive, "archive_cut", kRestoreArchive, 0x1800);
  save(make_key("SOFTWARE\\Empty", {}), "empty_import", kImportProfiles);
  save(make_key("SOFTWARE\\Empty", {}), "empty_archive", kRestoreArchive);
  return failures ? 1 : 0;
}
