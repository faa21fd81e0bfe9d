// vornix-console servers, add-server, server-status and draw: the console's
// server list as the library fills it, a server added from its context menu,
// and the owner-draw export asked as the host console asks it, for the status
// lines of that list and for one drawn control, painted into a bitmap and
// written as a PNG file.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace console {

int servers_command(std::vector<std::string> args);
int add_server_command(std::vector<std::string> args);
int server_status_command(std::vector<std::string> args);
int draw_command(std::vector<std::string> args);
// Writes the status line of each row of the console's server list (rows: every row when empty) into the open
// file, as the owner-draw export writes them; the rows' records are read from their servers when never read.
struct Library;
void write_status_lines(const Library& l, HWND list, const std::vector<int>& rows, HANDLE file);

}  // namespace console
