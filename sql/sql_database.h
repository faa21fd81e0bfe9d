// Central database preparation: the SQL Server database VORNIX_for_Windows,
// its five activity tables, and the logins with the sysadmin role that the
// agents' record transfer needs, prepared over ODBC with the console user's
// Windows credentials. Every step is a row of the results window.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

#include <sql.h>
#include <sqlext.h>

constexpr char kSqlDatabase[] = "VORNIX_for_Windows";
// A SQL Server name as a server setting is read (the settings read area).
constexpr size_t kSqlSettingBytes = 2250;

// One button of each of the three jobs (all eight in sql/sql_subsystem.cpp).
constexpr uint32_t kSqlSetupCurrentServerButton = 0x603100B8;
constexpr uint32_t kSqlSetupSelectedServersButton = 0x603100B9;
constexpr uint32_t kSqlTableSizesButton = 0x60314000;
// The edit field of the multi-server screen that holds the SQL Server name (SQLServerForTransfer).
constexpr uint32_t kSqlServerNameField = 0x603800DA;

// A list row of the table sizes: the row count and the data size, as sp_spaceused gives them.
constexpr size_t kItemSqlRows = 112;
constexpr size_t kItemSqlRowsBytes = 11;
constexpr size_t kItemSqlData = 124;
constexpr size_t kItemSqlDataBytes = 18;
// A step of the listing that failed: its outcome ("FAIL", "Unable to continue"); empty on table rows.
constexpr size_t kItemSqlOutcome = 144;
constexpr size_t kItemSqlOutcomeBytes = 64;

// A native error value that no diagnostic carries: nothing accepted, nothing preset.
constexpr SQLINTEGER kNoNativeError = -1;

struct SqlState {
  // Failed setup steps since the library started: allocations, connections,
  // database creation and use, table creation. The multi-server setup reads it.
  volatile LONG error_count;
};
extern SqlState g_sql;

// Full preparation for the first agent server: connects, creates the database
// when missing, adds the logins and roles for NT AUTHORITY\SYSTEM and
// DOMAIN\SERVER$, then the five tables. 0 when a connection was made
// (whatever happened later), 1 when the ODBC handles could not be allocated.
DWORD SetupSqlDatabase(const char* sql_server, const char* domain, const char* server);
// Adds only the agent server's login and role (the second and later servers).
DWORD AddAgentSqlLogin(const char* sql_server, const char* domain, const char* server);
// Adds one row per table to the list: the table name, with its row count and
// data size in the row's record (kItemSqlRows, kItemSqlData); a failed
// allocation or connection is a row of its own (kItemSqlOutcome).
DWORD ReportSqlTableSizes(const char* sql_server, HWND list, HWND owner, BYTE* record);
// Reads diagnostic record 1 of the handle. A native error equal to the accepted
// one or to the one preset in *native is stored and passes silently; any other
// is shown (unless quiet) with the return code, state, message and command.
// Returns the native error, also stored in *native when given.
SQLINTEGER ReportSqlError(SQLSMALLINT handle_type, SQLRETURN rc, SQLHANDLE handle, const char* command,
                          SQLINTEGER* native, SQLINTEGER accepted, BOOL quiet);

// The setup for one server with its checks: the server's status record (may
// be null) must not mark it offline or refused, its configuration must name a
// SQL Server and its domain must be readable. 1 when the setup ran.
DWORD SetupSqlForServer(HWND owner, const char* server, const BYTE* record);
// The setup for several servers: each server's domain, the full preparation
// for the first one processed and the login for the others, then the server's
// SQL options in its registry. 1 when the servers were processed.
DWORD SetupSqlForServers(HWND owner, const char* sql_server, const char* const* servers, int count);
// The SQL Server that a server's configuration names (SQLServerForTransfer); empty when none.
void read_sql_server_setting(const char* server, char* out, size_t size);
