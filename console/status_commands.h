// vornix-console server-status and draw: the owner-draw export asked as the
// host console asks it, for the status lines of the console's server list and
// for one drawn control, painted into a bitmap and written as a PNG file.
#pragma once
#include <string>
#include <vector>

namespace console {

int server_status_command(std::vector<std::string> args);
int draw_command(std::vector<std::string> args);

}  // namespace console
