// The registry of the simulated network: hive files, value sizes, key rules,
// connects and their injected failures.
#include <windows.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/registry_test_api.h"

namespace fs = std::filesystem;

namespace {

std::vector<BYTE> bytes(const void* data, size_t size) {
  auto p = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(p, p + size);
}

std::vector<BYTE> dword_bytes(DWORD value) { return bytes(&value, sizeof value); }

// A UTF-16 literal's bytes, its terminator included.
template <size_t N>
std::vector<BYTE> wsz(const char16_t (&text)[N]) {
  return bytes(text, N * sizeof(char16_t));
}

std::u16string to_u16(const char* text) {
  std::u16string out;
  for (; *text != '\0'; ++text) out += static_cast<char16_t>(static_cast<unsigned char>(*text));
  return out;
}

HKEY create(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS) << path;
  return key;
}

HKEY open_key(HKEY parent, const char* path, REGSAM access = KEY_READ) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(parent, path, 0, access, &key), ERROR_SUCCESS) << path;
  return key;
}

HKEY connect_to(const char* machine, HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key = nullptr;
  EXPECT_EQ(RegConnectRegistryA(machine, root, &key), ERROR_SUCCESS) << (machine ? machine : "local");
  return key;
}

LONG set_a(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

DWORD value_count(HKEY key) {
  DWORD count = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  return count;
}

// The stored bytes of a value, as the A or the W function returns them: size first, then data.
template <typename Char>
std::vector<BYTE> query(LONG (*fn)(HKEY, const Char*, DWORD*, DWORD*, BYTE*, DWORD*), HKEY key, const Char* name,
                        DWORD* type) {
  DWORD size = 0;
  EXPECT_EQ(fn(key, name, nullptr, type, nullptr, &size), ERROR_SUCCESS);
  std::vector<BYTE> data(size);
  EXPECT_EQ(fn(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS);
  return data;
}
std::vector<BYTE> query_w(HKEY key, const char16_t* name, DWORD* type) { return query(RegQueryValueExW, key, name, type); }
std::vector<BYTE> query_a(HKEY key, const char* name, DWORD* type) { return query(RegQueryValueExA, key, name, type); }

// A machine's product name, or another text its CurrentVersion key holds.
std::string product(HKEY root, const char* value = "ProductName") {
  HKEY version = open_key(root, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  DWORD type = 0;
  std::vector<BYTE> name = query_a(version, value, &type);
  RegCloseKey(version);
  return std::string(name.begin(), std::find(name.begin(), name.end(), '\0'));
}

struct Stored { const char* name; DWORD type; std::vector<BYTE> data; };

TEST(Registry, HiveFileRoundTripKeepsEveryTypeAndAwkwardName) {
  support::WorldBuilder w;
  w.open();
  const std::string hive = w.machine_dir(w.console()) + "/registry/HKLM.reg";
  const char16_t wide_text[] = u"Zürich \u20AC";  // the euro sign does not fit 8 bits
  std::vector<BYTE> binary(100);
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<BYTE>(0x5A + i * 7);
  const uint64_t qword = 0x0102030405060708ULL;
  std::vector<Stored> values = {
      {"", REG_SZ, wsz(u"default")}, {"back\\slash \"quoted\" a=b \xE9t\xE9", REG_SZ, wsz(u"C:\\Temp\\\"x\" \u00E9")},
      {"Expand", REG_EXPAND_SZ, wsz(u"%SystemRoot%\\Logs")}, {"Multi", REG_MULTI_SZ, wsz(u"one\0two\0")},
      {"Dword", REG_DWORD, dword_bytes(0xDEADBEEF)}, {"Qword", REG_QWORD, bytes(&qword, 8)},
      {"Binary", REG_BINARY, binary}, {"None", REG_NONE, {}}, {"Wide", REG_SZ, wsz(wide_text)},
      {"Unterminated", REG_SZ, bytes(u"ab", 4)}, {"Two lines", REG_SZ, wsz(u"a\r\nb")},
      {"Short dword", REG_DWORD, {1, 2, 3}}, {"Odd type", 0x2A, {9, 8}}};
  HKEY key = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Odd]Key [1]");
  for (const Stored& v : values)
    ASSERT_EQ(RegSetValueExW(key, to_u16(v.name).c_str(), 0, v.type, v.data.data(), DWORD(v.data.size())), ERROR_SUCCESS)
        << v.name;
  RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Empty"));
  RegCloseKey(key);
  const std::string saved = support::read_whole_file(hive);
  // REGEDIT5 text in the forms regedit writes.
  EXPECT_EQ(saved.rfind("Windows Registry Editor Version 5.00\r\n\r\n", 0), 0u);
  for (const char* line : {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix\\Odd]Key [1]]\r\n@=\"default\"\r\n",
                           "\"back\\\\slash \\\"quoted\\\" a=b \xE9t\xE9\"=\"C:\\\\Temp\\\\\\\"x\\\" \xE9\"\r\n",
                           "\"Dword\"=dword:deadbeef\r\n", "\"Qword\"=hex(b):08,07,06,05,04,03,02,01\r\n",
                           "\"Multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\r\n",
                           ",\\\r\n  ",  // long binary data continues
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix\\Empty]\r\n\r\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line;

  // Read back from the file in a fresh load: same values, same bytes.
  w.open();
  key = open_key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Odd]Key [1]");
  EXPECT_EQ(value_count(key), values.size());
  for (const Stored& v : values) {
    DWORD type = 0;
    EXPECT_EQ(query_w(key, to_u16(v.name).c_str(), &type), v.data) << v.name;
    EXPECT_EQ(type, v.type) << v.name;
  }
  RegCloseKey(key);

  // Saving the loaded tree again writes the same file.
  ASSERT_EQ(set_a(HKEY_LOCAL_MACHINE, "scratch", REG_DWORD, "abcd", 4), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(HKEY_LOCAL_MACHINE, "scratch"), ERROR_SUCCESS);
  EXPECT_EQ(support::read_whole_file(hive), saved);
}

TEST(Registry, LoadsWrittenTextAndReplacesTheFileWhole) {
  support::WorldBuilder w;
  w.add_machine("SRV01", "127.0.0.2");
  w.add_registry_text("SRV01", "HKLM",
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n"
                      "\"Path\"=hex(2):43,00,3a,00,5c,00,\\\r\n"
                      "  00,00\r\n"
                      "\"Port\"=dword:00001f90\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                      "\"CSDVersion\"=\"Service Pack 1\"\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n"
                      "\"Port\"=dword:00000050\r\n\r\n");
  const std::string dir = w.machine_dir("SRV01") + "/registry/";
  // Left behind by a writer that died before its rename.
  std::ofstream(dir + "HKLM.reg.99999.tmp") << "Windows Registry Editor Version 5.00\r\n[HKEY_LO";
  w.open();

  HKEY srv = connect_to("\\\\SRV01");
  HKEY key = open_key(srv, "SOFTWARE\\Vornix", KEY_ALL_ACCESS);
  DWORD type = 0;
  EXPECT_EQ(query_a(key, "Path", &type), bytes("C:\\", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  // The repeated section is merged; its later value wins.
  EXPECT_EQ(query_a(key, "Port", &type), dword_bytes(80));
  // The written section adds to the machine's own CurrentVersion key.
  EXPECT_EQ(product(srv), "Windows Server 2012 R2 Standard");
  EXPECT_EQ(product(srv, "CSDVersion"), "Service Pack 1");

  // A save leaves the hive and nothing of its own beside it.
  ASSERT_EQ(set_a(key, "Mode", REG_SZ, "audit", 6), ERROR_SUCCESS);
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"HKLM.reg", "HKLM.reg.99999.tmp"}));
  const std::string before = support::read_whole_file(dir + "HKLM.reg");
  EXPECT_NE(before.find("\"Mode\"=\"audit\""), std::string::npos);

  // When the new file cannot be written, the old one stays whole.
  const std::string temp = dir + "HKLM.reg." + std::to_string(getpid()) + ".tmp";
  fs::create_directory(temp);
  EXPECT_EQ(set_a(key, "Mode", REG_SZ, "repair", 7), ERROR_WRITE_FAULT);
  EXPECT_EQ(support::read_whole_file(dir + "HKLM.reg"), before);
  fs::remove(temp);

  // Reopening the world drops the cached hive: an edit made to the file shows,
  // and handles from before are good only for closing.
  w.add_registry_text("SRV01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n\"Port\"=dword:00000051\r\n");
  w.open();
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Port", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(srv), ERROR_SUCCESS);
  EXPECT_EQ(query_a(open_key(connect_to("SRV01"), "SOFTWARE\\Vornix"), "Port", &type), dword_bytes(0x51));
}

TEST(Registry, AWorldKeepingItsRegistriesInMemoryReadsTheFilesAndNeverWritesThem) {
  support::WorldBuilder w;
  w.add_machine("SRV01", "127.0.0.2");
  w.add_registry_text("SRV01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n\"Port\"=dword:00000050\r\n\r\n");
  w.set_world_setting("world", "registry", "memory");
  w.open();
  const std::string file = w.machine_dir("SRV01") + "/registry/HKLM.reg";
  const std::string before = support::read_whole_file(file);
  HKEY key = open_key(connect_to("SRV01"), "SOFTWARE\\Vornix", KEY_ALL_ACCESS);
  DWORD type = 0;
  EXPECT_EQ(query_a(key, "Port", &type), dword_bytes(80));
  ASSERT_EQ(set_a(key, "Mode", REG_SZ, "audit", 6), ERROR_SUCCESS);
  EXPECT_EQ(query_a(key, "Mode", &type), bytes("audit", 6));
  EXPECT_EQ(support::read_whole_file(file), before);
  // Opened again without the setting, the world reads the file as it was and writes its changes.
  w.set_world_setting("world", "registry", "file");
  w.open();
  key = open_key(connect_to("SRV01"), "SOFTWARE\\Vornix", KEY_ALL_ACCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Mode", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(set_a(key, "Mode", REG_SZ, "audit", 6), ERROR_SUCCESS);
  EXPECT_NE(support::read_whole_file(file).find("\"Mode\"=\"audit\""), std::string::npos);
}

TEST(Registry, ValueSizesCountTerminatorsAndKeysIgnoreCaseAndRefuseToDieWithChildren) {
  support::WorldBuilder w;
  w.open();
  HKEY key = create(HKEY_CURRENT_USER, "Software\\Vornix");
  ASSERT_EQ(set_a(key, "Name", REG_SZ, "abc", 4), ERROR_SUCCESS);
  ASSERT_EQ(set_a(key, "List", REG_MULTI_SZ, "a\0bc\0", 6), ERROR_SUCCESS);

  DWORD type = 0, size = 3;
  char text[16] = {};
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(query_a(key, "name", &type), bytes("abc", 4));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), nullptr),
            ERROR_INVALID_PARAMETER);

  // The W side sees UTF-16 with a two-byte terminator.
  size = 7;
  char16_t wide[8] = {};
  EXPECT_EQ(RegQueryValueExW(key, u"NAME", nullptr, nullptr, reinterpret_cast<BYTE*>(wide), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(query_w(key, u"NAME", &type), wsz(u"abc"));
  EXPECT_EQ(query_w(key, u"List", &type), wsz(u"a\0bc\0"));
  EXPECT_EQ(query_a(key, "List", &type), bytes("a\0bc\0", 6));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

  // W strings come out of the A side as bytes, '?' where they do not fit.
  const char16_t price[] = u"5\u00A3 6\u20AC";
  ASSERT_EQ(RegSetValueExW(key, u"Price", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(price), sizeof price),
            ERROR_SUCCESS);
  EXPECT_EQ(query_a(key, "Price", &type), bytes("5\xA3 6?", 6));

  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "Missing"), ERROR_FILE_NOT_FOUND);

  // Enumeration reports A sizes too, in the order the values were made.
  char name[32];
  DWORD name_size = sizeof name;
  size = 0;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &name_size, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::make_tuple(std::string(name), name_size, size), std::make_tuple(std::string("List"), 4u, 6u));
  name_size = 4;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &name_size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  name_size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 3, name, &name_size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  DWORD values = 0, longest_name = 0, largest = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longest_name,
                             &largest, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(std::make_tuple(values, longest_name, largest), std::make_tuple(3u, 5u, DWORD{sizeof price}));
  RegCloseKey(key);

  // Keys ignore case, keep their spelling and refuse to die with children.
  HKEY agents = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Agents");
  RegCloseKey(create(HKEY_LOCAL_MACHINE, "software\\VORNIX\\Zeta"));
  RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\alpha"));
  RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Agents_Old"));
  RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\AgentsB"));
  DWORD disposition = 0;
  HKEY again = nullptr, sub = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\vornix\\AGENTS\\", 0, nullptr, 0,
                            KEY_READ | KEY_WOW64_64KEY, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

  HKEY vornix = open_key(HKEY_LOCAL_MACHINE, "software\\VORNIX", KEY_READ | KEY_WOW64_32KEY);
  std::vector<std::string> names;
  DWORD rc;
  for (DWORD i = 0; size = sizeof name, (rc = RegEnumKeyExA(vornix, i, name, &size, nullptr, nullptr, nullptr,
                                                          nullptr)) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  EXPECT_EQ(rc, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  // As Windows enumerates subkeys: by name in capitals, so "_" comes after the letters.
  EXPECT_EQ(names, (std::vector<std::string>{"Agents", "AgentsB", "Agents_Old", "alpha", "Zeta"}));
  size = 6;  // "Agents" needs room for its terminator
  EXPECT_EQ(RegEnumKeyExA(vornix, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

  // The read-only handle may look but not change.
  EXPECT_EQ(set_a(vornix, "x", REG_SZ, "", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(vornix, "New", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &sub), ERROR_BAD_PATHNAME);

  RegCloseKey(create(agents, "SRV01"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Agents"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyExA(vornix, "agents\\srv01", KEY_WOW64_64KEY, 0), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(vornix, "Agents\\SRV01"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(vornix, "Agents"), ERROR_SUCCESS);
  // Handles to a deleted key see it gone; so does a fresh open.
  EXPECT_EQ(set_a(agents, "x", REG_SZ, "", 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vornix\\Agents", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegCloseKey(agents), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(agents), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(agents, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  RegCloseKey(again);
  RegCloseKey(vornix);
}

TEST(Registry, ConnectsFailAsConfiguredAndAreCounted) {
  support::WorldBuilder w;
  w.add_machine("SRV01", "127.0.0.2", "Windows Server 2016 Standard");
  auto machine = [&](const char* name, const char* ip, const char* section, const char* key, const char* value) {
    w.add_machine(name, ip), w.set_machine_setting(name, section, key, value);
  };
  machine("DOWN01", "127.0.0.3", "machine", "reachable", "no");
  machine("LOCKED01", "127.0.0.4", "machine", "access", "none");
  machine("READER01", "127.0.0.5", "machine", "access", "read");
  machine("FLAKY01", "127.0.0.6", "faults", "registry_connect", "1722");
  w.set_machine_setting("FLAKY01", "faults", "registry_connect_failures", "2");
  machine("BROKEN01", "127.0.0.7", "faults", "registry_connect", "1726");
  w.open();

  HKEY key = nullptr;
  EXPECT_EQ(RegConnectRegistryA("\\\\NOSUCH", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
  EXPECT_EQ(RegConnectRegistryA("\\\\DOWN01", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
  EXPECT_EQ(RegConnectRegistryA("\\\\LOCKED01", HKEY_LOCAL_MACHINE, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegConnectRegistryA("\\\\SRV01", HKEY_CURRENT_USER, &key), ERROR_INVALID_HANDLE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RegConnectRegistryA("\\\\BROKEN01", HKEY_LOCAL_MACHINE, &key), 1726);
  EXPECT_EQ(RegConnectRegistryA("\\\\FLAKY01", HKEY_LOCAL_MACHINE, &key), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(RegConnectRegistryA("\\\\flaky01", HKEY_LOCAL_MACHINE, &key), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(RegCloseKey(connect_to("\\\\FLAKY01")), ERROR_SUCCESS);

  // A read-only machine answers reads and refuses writes.
  key = connect_to("\\\\READER01");
  HKEY sub = nullptr;
  EXPECT_EQ(RegOpenKeyExA(key, "SOFTWARE", 0, KEY_ALL_ACCESS, &sub), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(key, "SOFTWARE\\Vornix", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(key, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"), ERROR_ACCESS_DENIED);
  RegCloseKey(key);

  // Each connect reaches its own machine's hive; the console's is also HKLM itself.
  key = connect_to("127.0.0.2");
  EXPECT_EQ(product(key), "Windows Server 2016 Standard");
  RegCloseKey(key);
  key = connect_to(nullptr);
  EXPECT_EQ(product(key), "Windows 10 Pro");
  EXPECT_EQ(product(HKEY_LOCAL_MACHINE), "Windows 10 Pro");
  RegCloseKey(key);
  RegCloseKey(connect_to("", HKEY_CURRENT_USER));

  // SRV01: by name for HKCU, by address.
  const std::pair<const char*, int> counts[] = {{"FLAKY01", 3}, {"\\\\broken01", 3}, {"SRV01", 2},
                                                {"NOSUCH", 1},  {nullptr, 2},          {"CONSOLE01", 2}};
  for (const auto& [machine, count] : counts) EXPECT_EQ(qvmr_registry_connect_count(machine), count) << machine;
  qvmr_registry_reset_counts();
  EXPECT_EQ(qvmr_registry_connect_count("FLAKY01"), 0);
  // Used-up failures stay used up until the world is reopened.
  RegCloseKey(connect_to("\\\\FLAKY01"));
  w.open();
  EXPECT_EQ(qvmr_registry_connect_count("FLAKY01"), 0);
  EXPECT_EQ(RegConnectRegistryA("\\\\FLAKY01", HKEY_LOCAL_MACHINE, &key), RPC_S_SERVER_UNAVAILABLE);
}

TEST(Registry, ConcurrentWritersAllLand) {
  support::WorldBuilder w;
  w.add_machine("SRV01", "127.0.0.2");
  w.open();
  auto load_key = [](DWORD t) { return "SOFTWARE\\Load\\T" + std::to_string(t); };
  std::vector<std::thread> threads;
  for (DWORD t = 0; t < 4; ++t) {
    threads.emplace_back([t, load_key] {
      HKEY root = connect_to("\\\\SRV01"), key = create(root, load_key(t).c_str());
      for (DWORD i = 0; i < 50; ++i) set_a(key, ("v" + std::to_string(i)).c_str(), REG_DWORD, &i, sizeof i);
      RegCloseKey(key), RegCloseKey(root);
    });
  }
  for (auto& thread : threads) thread.join();
  w.open();  // from the saved file
  HKEY root = connect_to("\\\\SRV01");
  for (DWORD t = 0; t < 4; ++t) EXPECT_EQ(value_count(open_key(root, load_key(t).c_str())), 50u) << t;
}

}  // namespace

TEST(Registry, AMalformedOrCutHiveIsRefusedAndNeverWrittenOver) {
  support::WorldBuilder w;
  w.add_machine("BAD01", "127.0.0.2");
  w.add_registry_text("BAD01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n\"Port\"=dword:1f90\r\n");
  w.add_machine("CUT01", "127.0.0.3");
  w.add_registry_text("CUT01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vornix]\r\n\"Data\"=hex:01,02,\\\r\n");
  w.add_registry_text(w.console(), "HKCU", "[HKEY_CURRENT_USER\\SOFTWARE\r\n");
  const std::string bad = w.machine_dir("BAD01") + "/registry/HKLM.reg";
  const std::string cut = w.machine_dir("CUT01") + "/registry/HKLM.reg";
  const std::string console = w.machine_dir(w.console()) + "/registry/HKCU.reg";
  std::vector<std::pair<std::string, std::string>> files;  // path, text as written
  for (const std::string& path : {bad, cut, console}) files.emplace_back(path, support::read_whole_file(path));
  w.open();

  HKEY key = nullptr;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RegConnectRegistryA("\\\\BAD01", HKEY_LOCAL_MACHINE, &key), ERROR_BADDB);
  EXPECT_EQ(RegConnectRegistryA("\\\\CUT01", HKEY_LOCAL_MACHINE, &key), ERROR_BADDB);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_BADDB);
  std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(bad + " line 7: bad dword value"), std::string::npos) << said;
  EXPECT_NE(said.find(cut + " is refused at line 7"), std::string::npos) << said;
  EXPECT_NE(said.find(console + " is refused at line 3"), std::string::npos) << said;
  for (const auto& [path, text] : files) EXPECT_EQ(support::read_whole_file(path), text) << path;
  // The console's own machine is still reachable; only the refused hive is not.
  RegCloseKey(open_key(HKEY_LOCAL_MACHINE, "SOFTWARE"));
}
