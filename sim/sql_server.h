// Simulated SQL Servers in a world, reached through the real ODBC driver
// manager and the project's "SQL Server" driver (sim/sql_server/).
#pragma once

#include <string>
#include <vector>

#include "sim/sql_server/sql_server_state.h"
#include "sim/world_builder.h"

namespace support {

// Driver registrations for ODBCSYSINI: the project's driver as "SQL Server",
// FreeTDS as "SQL Server", or no "SQL Server" at all.
enum class OdbcRegistration { kProjectDriver, kFreeTds, kNone };
std::string odbc_registration_folder(OdbcRegistration registration);

// Makes this process find the project's driver as "SQL Server", unless
// ODBCSYSINI already names a folder. The driver manager reads the
// registration once per process, so this comes before the first connection.
void use_project_sql_driver();

// Adds a machine that runs a SQL Server holding this state.
void add_sql_server(WorldBuilder& world, const std::string& name, const std::string& ipv4,
                    const SqlServerState& state = {});

}  // namespace support
