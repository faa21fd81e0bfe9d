// Registry keys saved to hive files and restored on the local machine through
// the real advapi32: a key of the console user's saved with its subkeys, a second
// save onto the same file refused, the file restored over another key, and the
// same file imported into the local machine's profiles by the library. Wine's
// RegRestoreKeyA is a stub that restores nothing, and its RegSaveKeyA writes over
// an existing file: under Wine those checks are reported as skipped.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "config/definition_copy.h"
#include "config/registry.h"
#include "sim/registry_dump.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr char kConsoleKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
constexpr char kSaved[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\wintest saved";
constexpr char kRestored[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\wintest restored";
constexpr char kProfiles[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";

HKEY create(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void set_values(HKEY key, DWORD type, const char* text) {
  RegSetValueExA(key, "ProfileType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type);
  RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
}

std::vector<std::string> tree(HKEY root, const std::string& path) {
  std::vector<std::string> out;
  support::dump_registry(root, path, "", out, false);
  return out;
}

// The subkeys of the console key named by eight hexadecimal digits, as an import's staging key is.
std::vector<std::string> staging_keys() {
  std::vector<std::string> out;
  HKEY console;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kConsoleKey, 0, KEY_READ, &console) != ERROR_SUCCESS) return out;
  char name[256];
  for (DWORD i = 0, size = sizeof name; RegEnumKeyExA(console, i, name, &size, nullptr, nullptr, nullptr, nullptr) == 0;
       ++i, size = sizeof name) {
    std::string key = name;
    if (key.size() == 8 && std::all_of(key.begin(), key.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
      out.push_back(key);
  }
  RegCloseKey(console);
  return out;
}

void remove_tree(HKEY root, const std::string& path) {
  std::string parent = path.substr(0, path.rfind('\\')), name = path.substr(path.rfind('\\') + 1);
  HKEY key;
  if (RegOpenKeyExA(root, parent.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  DeleteKeyTree(key, name.c_str(), kLocalMachineName, 0);
  DeleteRegistryKey(key, name.c_str());
  RegCloseKey(key);
}

bool under_wine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

void key_save_case(Session*) {
  begin_case("key save");
  const std::string file = program_folder() + "wintest-saved.exportkey";
  DeleteFileA(file.c_str());
  // One profile-like subkey with a subkey of its own, as an export holds them.
  HKEY night = create(HKEY_CURRENT_USER, std::string(kSaved) + "\\Night");
  set_values(night, 272, "D:\\Payroll");
  HKEY files = create(night, "Files");
  set_values(files, 1, "E:\\Shares");
  RegCloseKey(files);
  RegCloseKey(night);

  EnableBackupPrivileges();
  HKEY saved = create(HKEY_CURRENT_USER, kSaved);
  check_equal(0ull, static_cast<unsigned long long>(RegSaveKeyA(saved, file.c_str(), nullptr)), "the key is saved");
  check(GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES, "the hive file is there");
  if (under_wine()) {
    RegCloseKey(saved);
    skip("a second save onto the same file",
         "skipped: RegSaveKeyA's refusal of an existing file is not implemented by Wine");
    skip("the file restored over another key", "skipped: RegRestoreKeyA is not implemented by Wine");
    skip("the file imported by the library", "skipped: RegRestoreKeyA is not implemented by Wine");
    remove_tree(HKEY_CURRENT_USER, kSaved);
    DeleteFileA(file.c_str());
    return;
  }
  check_equal(static_cast<unsigned long long>(ERROR_ALREADY_EXISTS),
              static_cast<unsigned long long>(RegSaveKeyA(saved, file.c_str(), nullptr)),
              "a second save onto the same file");
  RegCloseKey(saved);

  HKEY restored = create(HKEY_CURRENT_USER, kRestored);
  HKEY stale = create(restored, "Stale");
  RegCloseKey(stale);
  check_equal(0ull, static_cast<unsigned long long>(RegRestoreKeyA(restored, file.c_str(), REG_FORCE_RESTORE)),
              "the file is restored");
  RegCloseKey(restored);
  check_equal(tree(HKEY_CURRENT_USER, kSaved), tree(HKEY_CURRENT_USER, kRestored),
              "the restored key replaces what was there by the saved tree");

  // The library's import of the same file into the local machine's profiles.
  HKEY profiles = create(HKEY_LOCAL_MACHINE, kProfiles);
  RegCloseKey(profiles);
  check_equal(1ull, ImportFile("LOCAL_MACHINE", kImportProfiles, 0, file.c_str()), "the file is imported");
  check_equal(tree(HKEY_CURRENT_USER, std::string(kSaved) + "\\Night"),
              tree(HKEY_LOCAL_MACHINE, std::string(kProfiles) + "\\Night"), "the imported profile");
  check_equal(std::vector<std::string>{}, staging_keys(), "staging keys left under the console key");

  for (const char* path : {kSaved, kRestored}) remove_tree(HKEY_CURRENT_USER, path);
  remove_tree(HKEY_LOCAL_MACHINE, std::string(kProfiles) + "\\Night");
  DeleteFileA(file.c_str());
}

}  // namespace wintest
