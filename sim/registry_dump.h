// Every key below a registry key with its values, one line each, in registry order:
// shared by the tests that compare what the library wrote to a registry.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace support {

// Keys as "[key]" and values as "name=type:data" when bracketed, else as "key" and
// "key:name=type:data". Data is a DWORD's number or the bytes, '|' for each unprintable one.
inline void dump_registry(HKEY parent, const std::string& path, const std::string& shown_as,
                          std::vector<std::string>& out, bool bracketed) {
  HKEY key;
  if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out.push_back(bracketed ? "[" + shown_as + "]" : shown_as);
  for (DWORD i = 0;; ++i) {
    char name[300];
    BYTE data[600];
    DWORD name_size = sizeof name, type = 0, size = sizeof data;
    if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text = (bracketed ? "" : shown_as + ":") + name + "=" + std::to_string(type) + ":";
    if (type == REG_DWORD) {
      DWORD n;
      std::memcpy(&n, data, 4);
      text += std::to_string(n);
    } else {
      for (DWORD b = 0; b < size; ++b) text += data[b] >= 0x20 && data[b] < 0x7F ? static_cast<char>(data[b]) : '|';
    }
    out.push_back(text);
  }
  for (DWORD i = 0;; ++i) {
    char name[300];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    dump_registry(key, name, shown_as + "\\" + name, out, bracketed);
  }
  RegCloseKey(key);
}

}  // namespace support
