// Temporary files on the console machine: its user's temporary folder, and
// names in it made by Windows' rule (the first three characters of the prefix,
// a hexadecimal number, ".tmp").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "world/world.h"

namespace {

constexpr size_t kMostFolderChars = MAX_PATH - 14;  // room left for "\pre" + "FFFF.tmp"

}  // namespace

extern "C" {

// The folder with its final backslash. On a real machine the user's temporary folder is
// always there; in the world it is made, with the profile folders above it, when missing.
DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) {
  std::string text;
  if (world::ensure_open()) {
    std::string folder = world::console_temp_folder();
    for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1))
      CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    text = folder + "\\";
  } else {
    const char* tmp = std::getenv("TMPDIR");
    text = std::string(tmp && *tmp ? tmp : "/tmp") + "/";
  }
  if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

// path + "\" + up to three prefix characters + the number in hexadecimal + ".tmp". A
// number given is used as it is (its low 16 bits) and nothing is created; 0 asks for a
// number from the clock, raised by one while that name exists, and the file is created.
UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name) {
  if (path == nullptr || name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string base = path;
  if (base.size() > kMostFolderChars) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  if (base.empty() || base.back() != '\\') base += '\\';
  base += std::string(prefix ? prefix : "").substr(0, 3);
  auto name_for = [&](UINT number) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", number);
    return base + digits + ".tmp";
  };
  unique &= 0xFFFF;
  if (unique != 0) {
    std::string made = name_for(unique);
    std::memcpy(name, made.c_str(), made.size() + 1);
    return unique;
  }
  UINT number = GetTickCount() & 0xFFFF;
  for (int tries = 0; tries < 0xFFFF; ++tries, number = (number + 1) & 0xFFFF) {
    if (number == 0) number = 1;
    std::string made = name_for(number);
    HANDLE file = CreateFileA(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      std::memcpy(name, made.c_str(), made.size() + 1);
      return number;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    // A folder that is not there is reported as not being a folder, as Windows does.
    SetLastError(error == ERROR_PATH_NOT_FOUND ? ERROR_DIRECTORY : error);
    return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

}  // extern "C"
