// What a simulated SQL Server keeps in the world: its databases, its logins
// with their server roles, and the tables of each database with their sizes.
// The project's "SQL Server" ODBC driver reads and writes it; tests set it up
// and compare it. Settings that are no data of the server itself live in the
// machine's machine.ini, section [sqlserver]:
//
//   running = yes            a SQL Server answers on the machine (else no connection)
//   console_login = sysadmin the console user's login: sysadmin, public (may
//                            connect, may not create) or none (login fails)
//   trusts = DOM1, DOM2      domains besides its own whose accounts it resolves
//
// and section [sqlserver failures]: "statement beginning = native error", a
// statement that begins so (case ignored) fails with that error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct SqlLogin {
  std::string name;
  std::vector<std::string> roles;  // server roles, such as sysadmin
};

struct SqlTable {
  std::string database;
  std::string name;
  uint64_t rows = 0;
  uint64_t data_kb = 0;
};

struct SqlServerState {
  std::vector<std::string> databases{"master"};
  std::vector<SqlLogin> logins;
  std::vector<SqlTable> tables;
};

// machines/<NAME>/sqlserver/ of a machine folder.
std::string sql_server_folder(const std::string& machine_dir);
// The state file's text: one record a line, fields separated by tabs
// ("database\tNAME", "login\tNAME\tROLE,ROLE", "table\tDATABASE\tNAME\tROWS\tDATA_KB").
std::string sql_state_text(const SqlServerState& state);
SqlServerState read_sql_state(const std::string& machine_dir);
bool write_sql_state(const std::string& machine_dir, const SqlServerState& state);

// Every statement the server received, in order. The driver appends each as
// "LENGTH:TEXT\n" to statements.log, so that any text reads back whole.
bool record_sql_statement(const std::string& machine_dir, const std::string& statement);
std::vector<std::string> recorded_sql_statements(const std::string& machine_dir);

}  // namespace support
