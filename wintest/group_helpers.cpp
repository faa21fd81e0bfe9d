// What the groups share: the list of groups and the ways they read what the
// library left behind (registry keys, list rows, result rows, folders), in
// plain Win32 that both builds run alike.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/definition_copy.h"
#include "config/registry.h"
#include "host/exports.h"
#include "reports/results_window.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {

std::string Place::agent(const std::string& role) const {
  for (const auto& [name, address] : agents)
    if (name == role) return address;
  return "";
}

const std::vector<Group>& groups() {
  static const std::vector<Group> all = {
      {"registry", registry_group}, {"network", network_group}, {"services", services_group},
      {"sql", sql_group},           {"controls", controls_group}, {"reports", reports_group},
  };
  return all;
}

namespace {

std::string lower_case(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A value's data: a number, text with '|' for each unprintable byte, or the bytes of a binary value
// (long ones by their size and sum, password blocks by their size only: their filler is new each time).
std::string data_text(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  if (type == REG_DWORD && size == 4) return std::to_string(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24u);
  if (type == REG_BINARY && (name.find("Pwd") != std::string::npos || name.find("Password") != std::string::npos))
    return "<" + std::to_string(size) + "-byte block>";
  if (type == REG_BINARY && size > 48) {
    unsigned long long sum = 0;
    for (DWORD i = 0; i < size; ++i) sum = sum * 31 + data[i];
    return "<" + std::to_string(size) + " bytes, sum " + hex_text(sum) + ">";
  }
  std::string out;
  if (type == REG_BINARY) {
    for (DWORD i = 0; i < size; ++i) out += (i ? " " : "") + hex_text(data[i]).substr(2);
    return out;
  }
  for (DWORD i = 0; i < size; ++i) out += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '|';
  return out;
}

void add_registry_lines(HKEY parent, const std::string& path, const std::string& shown_as,
                        std::vector<std::string>* out) {
  HKEY key;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out->push_back(shown_as);
  // Values by name: in which order a registry enumerates them is its own business (Wine's by name).
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<BYTE> data(70000);
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD name_size = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    values.push_back({lower_case(name), shown_as + ":" + name + "=" + std::to_string(type) + ":" +
                                            data_text(name, type, data.data(), size)});
  }
  std::sort(values.begin(), values.end());
  for (const auto& value : values) out->push_back(value.second);
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    add_registry_lines(key, name, shown_as + "\\" + name, out);
  }
  RegCloseKey(key);
}

}  // namespace

std::vector<std::string> registry_lines(HKEY root, const std::string& path, const std::string& shown_as) {
  std::vector<std::string> lines;
  add_registry_lines(root, path, shown_as, &lines);
  return lines;
}

std::vector<std::string> row_lines(HWND list, int columns) {
  std::vector<std::string> out;
  std::vector<support::ListRow> rows = support::list_rows(list);
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string line = rows[i].text + " (" + std::to_string(rows[i].image) + ")";
    for (int c = 1; c < columns; ++c) line += " | " + support::list_column(list, c).at(i);
    out.push_back(line);
  }
  return out;
}

void release_rows(HWND list) { support::return_row_records(list, alloc_memory_for_list, delete_list_item); }

std::vector<std::string> row_texts(HWND list) { return support::list_column(list, 0); }

std::vector<std::string> without_captions(const std::vector<std::string>& lines,
                                          const std::vector<std::string>& matches) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::string caption = line.substr(0, line.find(" | "));
    bool left_out = false;
    for (const std::string& match : matches) left_out |= caption.find(match) != std::string::npos;
    if (!left_out) out.push_back(line);
  }
  return out;
}

std::vector<std::string> results_rows() {
  std::vector<std::string> out;
  if (g_results.window == nullptr) return {"(no results window)"};
  HWND list = GetDlgItem(g_results.window, kResultsListItem);
  std::vector<support::ListRow> rows = support::list_rows(list);
  std::vector<std::string> actions = support::list_column(list, 1), results = support::list_column(list, 2);
  for (size_t i = 0; i < rows.size(); ++i)
    out.push_back(rows[i].text + " | " + actions[i] + " | " + results[i] + " (" + std::to_string(rows[i].image) +
                  ")");
  return out;
}

std::string number_text(unsigned long long value) { return std::to_string(value); }

std::string hex_text(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}

uint32_t now_seconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<uint32_t>(((static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
                                116444736000000000ull) / 10000000ull);
}

std::string time_text(uint32_t value, uint32_t from, uint32_t to) {
  return value >= from && value <= to ? "<now>" : std::to_string(value);
}

// Stored times of [from, to] read as "<now>", also with their top four bits cleared.
std::vector<std::string> with_times(std::vector<std::string> lines, uint32_t from, uint32_t to) {
  for (std::string& line : lines) {
    size_t at = line.rfind("=4:");
    if (at == std::string::npos) continue;
    uint32_t value = static_cast<uint32_t>(std::stoul(line.substr(at + 3)));
    if (value >= from && value <= to) line = line.substr(0, at + 3) + "<now>";
    else if (value >= (from & 0x0FFFFFFF) && value <= (to & 0x0FFFFFFF))
      line = line.substr(0, at + 3) + "<now, top bits cleared>";
  }
  return lines;
}

bool restores_keys() {
  constexpr char kScratch[] = "SOFTWARE\\Brightmere Software, Inc.\\wintest probe";
  char folder[MAX_PATH] = {}, file[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, "wtp", 0, file);
  DeleteFileA(file);
  EnableBackupPrivileges();
  HKEY saved = nullptr, restored = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\saved").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &saved, nullptr);
  RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\restored").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &restored, nullptr);
  DWORD one = 1;
  RegSetValueExA(saved, "Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  bool restores = RegSaveKeyA(saved, file, nullptr) == ERROR_SUCCESS &&
                  RegRestoreKeyA(restored, file, REG_FORCE_RESTORE) == ERROR_SUCCESS &&
                  RegQueryValueExA(restored, "Probe", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(saved);
  RegCloseKey(restored);
  DeleteFileA(file);
  remove_key(HKEY_CURRENT_USER, kScratch);
  return restores;
}

void remove_key(HKEY root, const std::string& path) {
  size_t cut = path.rfind('\\');
  HKEY parent, key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  RegCloseKey(key);
  if (RegOpenKeyExA(root, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return;
  std::string name = path.substr(cut + 1);
  DeleteKeyTree(parent, name.c_str(), kLocalMachineName, 0);
  DeleteRegistryKey(parent, name.c_str());
  RegCloseKey(parent);
}

namespace {

void add_folder_lines(const std::string& folder, const std::string& below, std::vector<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->push_back(below + name + "\\");
      add_folder_lines(folder + "\\" + name, below + name + "\\", out);
    } else {
      out->push_back(below + name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

std::vector<std::string> folder_lines(const std::string& folder) {
  std::vector<std::string> out;
  add_folder_lines(folder, "", &out);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace wintest
