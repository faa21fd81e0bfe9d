// A Windows error as the console shows it: its code and the system's text for it.
#pragma once
#include <windows.h>

#include <string>

namespace console {

// "Windows error 2: The system cannot find the file specified." (the code alone when the system has no text).
std::string windows_error(DWORD code);
// Whether an output file can be written where it is named (its folder there and open to writing): checked
// before the work starts, so that a bad path fails at once. False after the one-line error.
bool output_path_ready(const std::string& option, const std::string& path);

}  // namespace console
