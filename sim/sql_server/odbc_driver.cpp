// The project's "SQL Server" ODBC driver for tests and the demo: an ODBC 3
// driver that the unixODBC driver manager loads as it would any other. It
// connects to the simulated SQL Server of a machine of the world, records
// every statement it is given and answers as SQL Server's own driver does:
// "success with info" on connect and USE, native errors with their states,
// result sets, and bound text cut to its buffer with 01004.
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/sql_server/sql_engine.h"
#include "sim/sql_server/sql_server_state.h"

namespace {

constexpr char kDriverPrefix[] = "[Microsoft][ODBC SQL Server Driver]";

enum class HandleKind { kEnvironment, kConnection, kStatement };

struct Handle {
  explicit Handle(HandleKind k) : kind(k) {}
  HandleKind kind;
  std::vector<sqlsim::Diagnostic> diagnostics;  // of the last call on the handle
};

struct Environment : Handle {
  Environment() : Handle(HandleKind::kEnvironment) {}
};

struct Connection : Handle {
  Connection() : Handle(HandleKind::kConnection) {}
  bool connected = false;
  sqlsim::Session session;
};

struct Binding {
  SQLUSMALLINT column;
  SQLSMALLINT type;
  SQLPOINTER target;
  SQLLEN size;
  SQLLEN* indicator;
};

struct Statement : Handle {
  explicit Statement(Connection* c) : Handle(HandleKind::kStatement), connection(c) {}
  Connection* connection;
  sqlsim::ResultSet result;
  size_t next_row = 0;
  std::vector<Binding> bindings;
};

template <typename T>
T* as(SQLHANDLE handle, HandleKind kind) {
  auto* h = static_cast<Handle*>(handle);
  return h != nullptr && h->kind == kind ? static_cast<T*>(h) : nullptr;
}

SQLRETURN outcome(sqlsim::Outcome o) {
  switch (o) {
    case sqlsim::Outcome::kSuccess: return SQL_SUCCESS;
    case sqlsim::Outcome::kSuccessWithInfo: return SQL_SUCCESS_WITH_INFO;
    default: return SQL_ERROR;
  }
}

// Copies text into an ODBC output buffer of `size` bytes; true when it fit.
bool put_text(const std::string& text, SQLCHAR* out, SQLLEN size) {
  if (out == nullptr || size <= 0) return text.empty();
  size_t n = text.size() < static_cast<size_t>(size) ? text.size() : static_cast<size_t>(size) - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return n == text.size();
}

// The value of one attribute of a connection string ("KEY=value;..." or
// "KEY={value}"); empty when absent.
std::string attribute(const std::string& text, const char* key) {
  size_t at = 0;
  while (at < text.size()) {
    size_t eq = text.find('=', at);
    if (eq == std::string::npos) break;
    std::string name = text.substr(at, eq - at);
    size_t end;
    std::string value;
    if (eq + 1 < text.size() && text[eq + 1] == '{') {
      end = text.find('}', eq + 2);
      if (end == std::string::npos) end = text.size();
      value = text.substr(eq + 2, end - eq - 2);
      end = text.find(';', end);
    } else {
      end = text.find(';', eq);
      value = text.substr(eq + 1, (end == std::string::npos ? text.size() : end) - eq - 1);
    }
    if (strcasecmp(name.c_str(), key) == 0) return value;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "";
}

std::string text_of(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return "";
  const char* chars = reinterpret_cast<const char*>(text);
  return length == SQL_NTS ? std::string(chars) : std::string(chars, static_cast<size_t>(length));
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = SQL_NULL_HANDLE;
  switch (type) {
    case SQL_HANDLE_ENV: *output = new Environment; return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      if (!as<Environment>(input, HandleKind::kEnvironment)) return SQL_INVALID_HANDLE;
      *output = new Connection;
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT: {
      auto* connection = as<Connection>(input, HandleKind::kConnection);
      if (connection == nullptr) return SQL_INVALID_HANDLE;
      if (!connection->connected) {
        connection->diagnostics = {{"08003", 0, std::string(kDriverPrefix) + "Connection not open"}};
        return SQL_ERROR;
      }
      *output = new Statement(connection);
      return SQL_SUCCESS;
    }
    default: return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  switch (type) {
    case SQL_HANDLE_ENV: delete as<Environment>(h, HandleKind::kEnvironment); return SQL_SUCCESS;
    case SQL_HANDLE_DBC: delete as<Connection>(h, HandleKind::kConnection); return SQL_SUCCESS;
    case SQL_HANDLE_STMT: delete as<Statement>(h, HandleKind::kStatement); return SQL_SUCCESS;
    default: return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out,
                                   SQLSMALLINT out_size, SQLSMALLINT* out_length, SQLUSMALLINT) {
  auto* c = as<Connection>(handle, HandleKind::kConnection);
  if (c == nullptr) return SQL_INVALID_HANDLE;
  c->diagnostics.clear();
  std::string text = text_of(in, in_length);
  bool trusted = strcasecmp(attribute(text, "Trusted_Connection").c_str(), "Yes") == 0;
  sqlsim::Outcome o = sqlsim::connect_session(attribute(text, "SERVER"), trusted, &c->session, &c->diagnostics);
  c->connected = o != sqlsim::Outcome::kError;
  if (c->connected) {
    put_text(text, out, out_size);
    if (out_length) *out_length = static_cast<SQLSMALLINT>(text.size());
  }
  return outcome(o);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  auto* c = as<Connection>(handle, HandleKind::kConnection);
  if (c == nullptr) return SQL_INVALID_HANDLE;
  c->connected = false;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  s->diagnostics.clear();
  s->result = {};
  s->next_row = 0;
  std::string batch = text_of(text, length);
  sqlsim::Outcome o = sqlsim::execute_batch(&s->connection->session, batch, &s->diagnostics, &s->result);
  // A batch sent on a lost connection never reaches the server.
  if (!s->connection->session.dropped) support::record_sql_statement(s->connection->session.machine.dir, batch);
  return outcome(o);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  if (count) *count = static_cast<SQLSMALLINT>(s->result.columns.size());
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  if (count) *count = -1;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER target, SQLLEN size,
                             SQLLEN* indicator) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  s->diagnostics.clear();
  if (type != SQL_C_CHAR) {
    s->diagnostics = {{"HYC00", 0, std::string(kDriverPrefix) + "Optional feature not implemented"}};
    return SQL_ERROR;
  }
  s->bindings.push_back({column, type, target, size, indicator});
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  s->diagnostics.clear();
  if (s->result.columns.empty()) {
    s->diagnostics = {{"24000", 0, std::string(kDriverPrefix) + "Invalid cursor state"}};
    return SQL_ERROR;
  }
  if (s->next_row >= s->result.rows.size()) return SQL_NO_DATA;
  const std::vector<std::string>& row = s->result.rows[s->next_row++];
  bool truncated = false;
  for (const Binding& b : s->bindings) {
    if (b.column == 0 || b.column > row.size()) continue;
    const std::string& value = row[b.column - 1];
    if (!put_text(value, static_cast<SQLCHAR*>(b.target), b.size)) truncated = true;
    if (b.indicator) *b.indicator = static_cast<SQLLEN>(value.size());
  }
  if (!truncated) return SQL_SUCCESS;
  s->diagnostics = {{"01004", 0, std::string(kDriverPrefix) + "String data, right truncation"}};
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
  auto* s = as<Statement>(handle, HandleKind::kStatement);
  if (s == nullptr) return SQL_INVALID_HANDLE;
  switch (option) {
    case SQL_CLOSE:
      s->result = {};
      s->next_row = 0;
      return SQL_SUCCESS;
    case SQL_UNBIND: s->bindings.clear(); return SQL_SUCCESS;
    case SQL_RESET_PARAMS: return SQL_SUCCESS;
    case SQL_DROP: delete s; return SQL_SUCCESS;
    default: return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length) {
  auto* h = static_cast<Handle*>(handle);
  (void)type;
  if (h == nullptr) return SQL_INVALID_HANDLE;
  if (record < 1 || static_cast<size_t>(record) > h->diagnostics.size()) return SQL_NO_DATA;
  const sqlsim::Diagnostic& d = h->diagnostics[static_cast<size_t>(record) - 1];
  put_text(d.state, state, 6);
  if (native) *native = d.native;
  if (length) *length = static_cast<SQLSMALLINT>(d.message.size());
  return put_text(d.message, message, size) ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT* length) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  if (field == SQL_DIAG_NUMBER) {
    if (value) *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(h->diagnostics.size());
    return SQL_SUCCESS;
  }
  if (record < 1 || static_cast<size_t>(record) > h->diagnostics.size()) return SQL_NO_DATA;
  const sqlsim::Diagnostic& d = h->diagnostics[static_cast<size_t>(record) - 1];
  std::string text;
  switch (field) {
    case SQL_DIAG_NATIVE:
      if (value) *static_cast<SQLINTEGER*>(value) = d.native;
      return SQL_SUCCESS;
    case SQL_DIAG_SQLSTATE: text = d.state; break;
    case SQL_DIAG_MESSAGE_TEXT: text = d.message; break;
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN: text = d.state.compare(0, 2, "IM") == 0 ? "ODBC 3.0" : "ISO 9075"; break;
    case SQL_DIAG_CONNECTION_NAME: break;
    case SQL_DIAG_SERVER_NAME: text = "SQL Server"; break;
    default: return SQL_ERROR;
  }
  if (length) *length = static_cast<SQLSMALLINT>(text.size());
  return put_text(text, static_cast<SQLCHAR*>(value), size) ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT* length) {
  auto* c = as<Connection>(handle, HandleKind::kConnection);
  if (c == nullptr) return SQL_INVALID_HANDLE;
  std::string text;
  switch (type) {
    case SQL_DRIVER_ODBC_VER: text = "03.50"; break;
    case SQL_DBMS_NAME: text = "Microsoft SQL Server"; break;
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR:
      if (value) *static_cast<SQLUSMALLINT*>(value) = SQL_CB_CLOSE;
      return SQL_SUCCESS;
    default:
      c->diagnostics = {{"HY096", 0, std::string(kDriverPrefix) + "Information type out of range"}};
      return SQL_ERROR;
  }
  if (length) *length = static_cast<SQLSMALLINT>(text.size());
  return put_text(text, static_cast<SQLCHAR*>(value), size) ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

}  // extern "C"
