// vornix-console sql-setup and sql-sizes: the central SQL Server database
// prepared for the agents' record transfer, and its tables' sizes, each from
// its button on the server screens.
#pragma once
#include <string>
#include <vector>

#include "console/console_output.h"

namespace console {

// With --sql-server: the setup of the servers chosen in a server list, the SQL Server typed in the screen's
// field. Without: the setup of each server in turn as the current server, with the SQL Server its settings
// name. Prints the results rows; 0 when rows were written and none failed.
int sql_setup(const std::vector<std::string>& servers, const std::string& sql_server);
// Lists each table of the database on the SQL Server that the server's settings name, with its rows and
// data size; a listing step that failed is an error line.
int sql_sizes(const std::string& server, Format format);

}  // namespace console
