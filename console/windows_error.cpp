#include "console/windows_error.h"

#include <unistd.h>

#include <filesystem>

#include "console/console_output.h"

namespace console {

std::string windows_error(DWORD code) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
    text[--length] = '\0';
  std::string shown = "Windows error " + std::to_string(code);
  return length > 0 ? shown + ": " + text : shown;
}

bool output_path_ready(const std::string& option, const std::string& path) {
  if (path.empty()) return true;
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  DWORD error = !std::filesystem::is_directory(folder, ec)    ? ERROR_PATH_NOT_FOUND
                : access(folder.c_str(), W_OK | X_OK) != 0 ? ERROR_ACCESS_DENIED
                                                            : 0;
  if (error == 0) return true;
  fail(option + " " + path + ": cannot be written (" + windows_error(error) + "); nothing was done");
  return false;
}

}  // namespace console
