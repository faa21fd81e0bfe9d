// The statements a simulated SQL Server understands, executed on the state it
// keeps in the world (sql_server_state.h): USE, CREATE DATABASE, CREATE LOGIN
// ... FROM WINDOWS, CREATE TABLE and EXEC of sp_addsrvrolemember and
// sp_spaceused, in batches of one or more statements. Names are read as
// Transact-SQL reads them ([...] with ]] for ], '...' with '' for '), so a
// batch holds whatever statements its text spells out. Answers carry the
// native errors, states and texts of SQL Server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

namespace sqlsim {

struct Diagnostic {
  std::string state;  // ODBC 3 SQLSTATE
  int32_t native = 0;
  std::string message;
};

struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

enum class Outcome { kSuccess, kSuccessWithInfo, kError };

// A connection: the server's machine and the database in use.
struct Session {
  world::Machine machine;
  std::string database = "master";
  int batches = 0;       // batches received on this connection
  bool dropped = false;  // the connection was lost: every later batch fails
};

// Connects to the SQL Server on the machine that the SERVER attribute names.
Outcome connect_session(const std::string& server, bool trusted, Session* session, std::vector<Diagnostic>* diagnostics);
// Runs a batch. The statements run in order until one fails; a batch that is
// no valid Transact-SQL runs nothing. The last result set is kept. With
// [sqlserver] drop_after_batches = N in machine.ini the connection is lost
// after its Nth batch: that batch and every later one fail unsent (08S01).
Outcome execute_batch(Session* session, const std::string& text, std::vector<Diagnostic>* diagnostics, ResultSet* result);

}  // namespace sqlsim
