// vornix-console sql-setup and sql-sizes: the central SQL Server database
// prepared for the agents' record transfer, and its tables' sizes, run by the
// library's code in-process.
#pragma once
#include <string>
#include <vector>

namespace console {

// One server without a SQL Server name: the setup for that server with its
// checks (the name from its settings). Otherwise the setup for all of them
// with the SQL Server given, or else the one the first server's settings
// name. Prints the results rows; 0 when rows were written and none failed.
int sql_setup(const std::vector<std::string>& servers, const std::string& sql_server);

// Prints each table of the SQL Server's database with its rows and data size.
int sql_sizes(const std::string& sql_server);

}  // namespace console
