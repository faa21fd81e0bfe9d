// Reads arbitrary bytes as a registry hive file, loaded the two ways the
// console loads one: as an export file imported into a server's Profiles or
// Reports (RegRestoreKeyA into a staging key under the console user's key,
// then every subkey copied on with its report definitions re-targeted), and
// as a registry archive restored over a server's product key. The staging
// key is gone after every import, and what each load left in a registry
// would read back from the registry's file.
//
// The base block's checksum is made right before the file is written, so that
// changes to the header reach the reader; the byte it replaces chooses the
// load: import of profiles, import of reports, or archive restore. Between
// inputs the destination keys are emptied, so that every input starts from
// the same registries. The world keeps its registries in memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "config/definition_copy.h"
#include "fuzz/fuzz_folder.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "host/host.h"
#include "win32/registry_store.h"
#include "win32/registry_tree.h"
#include "world/world.h"

namespace {

constexpr size_t kBaseBlockBytes = 0x1000;
constexpr size_t kChecksumOffset = 0x1FC;
constexpr char kConsole[] = "CONSOLE";
constexpr char kImportServer[] = "SRV01";
constexpr char kRestoreServer[] = "SRV02";
constexpr char kProfilesPath[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";

std::string g_world;
std::string g_file;
HKEY g_profiles, g_reports;  // on the import server
HKEY g_product;              // on the restore server

void add_machine(const std::string& name, const std::string& ipv4, const std::string& hklm) {
  std::string dir = g_world + "/machines/" + name;
  for (const char* sub : {"/registry", "/shares/C$", "/shares/ADMIN$"}) std::filesystem::create_directories(dir + sub);
  write_file(dir + "/machine.ini", "[machine]\nproduct = Windows Server 2012 R2 Standard\nipv4 = " + ipv4 +
                                       "\nreachable = yes\naccess = full\n");
  write_file(dir + "/registry/HKLM.reg",
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
             "\"ProductName\"=\"Windows Server 2012 R2 Standard\"\r\n\r\n" +
                 hklm);
}

// The tree as a key of the registry's store. Data other than strings is cut to its first bytes: its
// text is hex however long it is, and reading long hex back would take most of the target's time.
void add_tree(win32::registry::Key* key, const win32::RegistryTree& tree) {
  constexpr size_t kDataKept = 64;
  for (const win32::registry::Value& v : tree.values) {
    std::vector<uint8_t> data = v.data;
    if (!win32::registry::is_string_type(v.type) && data.size() > kDataKept) data.resize(kDataKept);
    key->set_value(v.name, v.type, std::move(data));
  }
  for (const win32::RegistryTree& child : tree.children) add_tree(key->add_child(child.name, 0), child);
}

// What a load left under a key reads back whole from the text its hive file would hold.
void check_renders(HKEY key) {
  win32::RegistryTree tree;
  std::string machine;
  if (win32::registry_read_tree(key, "fuzz", &tree, &machine) != ERROR_SUCCESS) std::abort();
  auto root = std::make_shared<win32::registry::Key>();
  add_tree(root.get(), tree);
  size_t bad_line = 0;
  win32::registry::parse_reg(win32::registry::render_reg(*root, "HKEY_LOCAL_MACHINE"), "HKEY_LOCAL_MACHINE", "fuzz", 0,
                             &bad_line);
  if (bad_line != 0) std::abort();
}

// The console user's product key holds no staging key after an import.
void check_no_staging() {
  HKEY console;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &console) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  LONG rc = RegQueryInfoKeyA(console, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
  RegCloseKey(console);
  if (rc != ERROR_SUCCESS || subkeys != 0) std::abort();
}

void open_destinations() {
  HKEY import, restore;
  if (RegConnectRegistryA("\\\\SRV01", HKEY_LOCAL_MACHINE, &import) != ERROR_SUCCESS ||
      RegOpenKeyExA(import, kProfilesPath, 0, KEY_ALL_ACCESS, &g_profiles) != ERROR_SUCCESS ||
      RegOpenKeyExA(import, kReportsKey, 0, KEY_ALL_ACCESS, &g_reports) != ERROR_SUCCESS ||
      RegConnectRegistryA("\\\\SRV02", HKEY_LOCAL_MACHINE, &restore) != ERROR_SUCCESS ||
      RegOpenKeyExA(restore, kProductKey, 0, KEY_ALL_ACCESS, &g_product) != ERROR_SUCCESS)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_world = make_fuzz_folder("hive");
  g_file = g_world + "/input.exportkey";
  write_file(g_world + "/world.ini",
             "[world]\nlocal = CONSOLE\ndomain = BRIGHTMERE\nclock = virtual\nstart = 1796515200\nregistry = memory\n");
  const std::string product =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports]\r\n\r\n";
  add_machine(kConsole, "127.0.0.1", "");
  add_machine(kImportServer, "127.0.0.2", product);
  add_machine(kRestoreServer, "127.0.0.3", product);
  if (!world::open(g_world)) std::abort();
  g_library.quiet_mode = 1;
  open_destinations();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> hive(data, data + size);
  int load = 0;
  if (hive.size() >= kBaseBlockBytes) {
    load = hive[kChecksumOffset] % 3;
    uint32_t checksum = 0;
    for (size_t at = 0; at < kChecksumOffset; at += 4)
      checksum ^= hive[at] | hive[at + 1] << 8 | hive[at + 2] << 16 | static_cast<uint32_t>(hive[at + 3]) << 24;
    for (int i = 0; i < 4; ++i) hive[kChecksumOffset + i] = static_cast<uint8_t>(checksum >> (8 * i));
  }
  std::FILE* out = std::fopen(g_file.c_str(), "wb");
  if (out == nullptr || std::fwrite(hive.data(), 1, hive.size(), out) != hive.size() || std::fclose(out) != 0)
    std::abort();

  if (load == 2) {
    restore_registry_archive(nullptr, kRestoreServer, g_file.c_str());
    check_renders(g_product);
    if (win32::registry_replace_tree(g_product, "fuzz", {}) != ERROR_SUCCESS) std::abort();
    return 0;
  }
  ImportFile(kImportServer, load == 0 ? kImportProfiles : kImportReports, 0, g_file.c_str());
  check_no_staging();
  HKEY destination = load == 0 ? g_profiles : g_reports;
  check_renders(destination);
  if (win32::registry_replace_tree(destination, "fuzz", {}) != ERROR_SUCCESS) std::abort();
  return 0;
}
