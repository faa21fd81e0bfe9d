// vornix-console menu: a list's context menu as the host shows it, and one entry
// of it run, by the library's code in-process. Returns the exit code.
#pragma once
#include <string>
#include <vector>

namespace console {

int menu_command(std::vector<std::string> args);

}  // namespace console
