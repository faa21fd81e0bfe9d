#include "sim/sql_server/sql_engine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "sim/sql_server/sql_server_state.h"

namespace sqlsim {
namespace {

constexpr char kServerPrefix[] = "[Microsoft][ODBC SQL Server Driver][SQL Server]";
constexpr char kNetworkPrefix[] = "[Microsoft][ODBC SQL Server Driver][DBNETLIB]";
const char* const kFixedServerRoles[] = {"sysadmin",     "securityadmin", "serveradmin", "setupadmin",
                                         "processadmin", "diskadmin",     "dbcreator",   "bulkadmin"};
const char* const kKnownTypes[] = {"uniqueidentifier", "varchar", "smalldatetime", "int", "nvarchar", "datetime"};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool same(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

bool is_yes(const std::string& value) { return same(value, "yes") || same(value, "true") || value == "1"; }

std::string format(const char* pattern, const std::string& a, const std::string& b = "") {
  char text[4096];
  std::snprintf(text, sizeof text, pattern, a.c_str(), b.c_str());
  return text;
}

// ---- Tokens ----------------------------------------------------------------------

enum class Kind { kWord, kName, kString, kNumber, kSymbol, kEnd };

struct Token {
  Kind kind;
  std::string text;  // the value: a bracketed name or a string without its quotes and with its escapes undone
  size_t begin, end;  // in the batch text
};

struct SyntaxError {
  int32_t native;
  std::string message;
};

// Reads a quoted run ([...] or '...'), a doubled closing character standing for itself.
std::optional<std::string> quoted(const std::string& text, size_t* at, char close) {
  std::string value;
  for (size_t i = *at + 1; i < text.size(); ++i) {
    if (text[i] != close) {
      value += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == close) {
      value += close;
      ++i;
    } else {
      *at = i + 1;
      return value;
    }
  }
  return std::nullopt;
}

bool tokenize(const std::string& text, std::vector<Token>* tokens, SyntaxError* error) {
  auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$'; };
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (text.compare(i, 2, "--") == 0) {
      i = text.find('\n', i);
      if (i == std::string::npos) i = text.size();
    } else if (text.compare(i, 2, "/*") == 0) {
      size_t close = text.find("*/", i + 2);
      i = close == std::string::npos ? text.size() : close + 2;
    } else if (c == '[' || c == '\'' || ((c == 'N' || c == 'n') && i + 1 < text.size() && text[i + 1] == '\'')) {
      size_t begin = i;
      if (c != '[' && c != '\'') ++i;
      std::optional<std::string> value = quoted(text, &i, c == '[' ? ']' : '\'');
      if (!value) {
        *error = {105, format("Unclosed quotation mark after the character string '%s'.", text.substr(begin + 1))};
        return false;
      }
      tokens->push_back({c == '[' ? Kind::kName : Kind::kString, *value, begin, i});
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t begin = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      tokens->push_back({Kind::kNumber, text.substr(begin, i - begin), begin, i});
    } else if (word_char(c)) {
      size_t begin = i;
      while (i < text.size() && word_char(text[i])) ++i;
      tokens->push_back({Kind::kWord, text.substr(begin, i - begin), begin, i});
    } else {
      tokens->push_back({Kind::kSymbol, std::string(1, c), i, i + 1});
      ++i;
    }
  }
  tokens->push_back({Kind::kEnd, "", text.size(), text.size()});
  return true;
}

// ---- Statements ------------------------------------------------------------------

enum class Verb { kUse, kCreateDatabase, kCreateLogin, kCreateTable, kAddRoleMember, kSpaceUsed };

struct Statement {
  Verb verb;
  std::string text;  // its own text in the batch
  std::vector<std::string> names;  // the names it acts on, by verb (see Parser::statement)
  std::vector<std::string> types;  // CREATE TABLE: the column types, in order
  std::vector<std::string> keys;   // CREATE TABLE: the primary key's columns
};

class Parser {
 public:
  Parser(const std::string& text, const std::vector<Token>& tokens) : text_(text), t_(tokens) {}

  bool batch(std::vector<Statement>* statements, SyntaxError* error) {
    for (;;) {
      while (symbol(";")) {
      }
      if (peek().kind == Kind::kEnd) return true;
      size_t begin = peek().begin;
      Statement s;
      if (!statement(&s)) {
        const Token& near = peek();
        *error = {102, near.kind == Kind::kEnd ? std::string("Incorrect syntax near the end of the batch.")
                                               : format("Incorrect syntax near '%s'.", near.text)};
        return false;
      }
      s.text = text_.substr(begin, t_[at_ - 1].end - begin);
      statements->push_back(s);
    }
  }

 private:
  const Token& peek() const { return t_[at_]; }
  bool keyword(const char* word) {
    if (peek().kind != Kind::kWord || !same(peek().text, word)) return false;
    ++at_;
    return true;
  }
  bool symbol(const char* s) {
    if (peek().kind != Kind::kSymbol || peek().text != s) return false;
    ++at_;
    return true;
  }
  bool name(std::string* out) {
    if (peek().kind != Kind::kWord && peek().kind != Kind::kName) return false;
    *out = t_[at_++].text;
    return true;
  }
  bool string(std::string* out) {
    if (peek().kind != Kind::kString) return false;
    *out = t_[at_++].text;
    return true;
  }

  // names: USE, CREATE DATABASE: the database; CREATE LOGIN: the login;
  // CREATE TABLE: schema, table, then its columns; sp_addsrvrolemember: login,
  // role; sp_spaceused: the table.
  bool statement(Statement* s) {
    std::string a, b;
    if (keyword("USE")) {
      s->verb = Verb::kUse;
      if (!name(&a)) return false;
      s->names = {a};
      return true;
    }
    if (keyword("EXEC") || keyword("EXECUTE")) return procedure(s);
    if (!keyword("CREATE")) return false;
    if (keyword("DATABASE")) {
      s->verb = Verb::kCreateDatabase;
      if (!name(&a)) return false;
      s->names = {a};
      return true;
    }
    if (keyword("LOGIN")) {
      s->verb = Verb::kCreateLogin;
      if (!name(&a) || !keyword("FROM") || !keyword("WINDOWS")) return false;
      s->names = {a};
      if (!keyword("WITH")) return true;
      do {
        if (!name(&a) || !symbol("=") || !name(&b)) return false;
      } while (symbol(","));
      return true;
    }
    if (keyword("TABLE")) return table(s);
    return false;
  }

  bool procedure(Statement* s) {
    std::string procedure, first, second;
    if (!name(&procedure)) return false;
    if (same(procedure, "sp_addsrvrolemember")) {
      s->verb = Verb::kAddRoleMember;
      if (!string(&first) || !symbol(",") || !string(&second)) return false;
      s->names = {first, second};
      return true;
    }
    if (same(procedure, "sp_spaceused")) {
      s->verb = Verb::kSpaceUsed;
      if (!string(&first)) return false;
      s->names = {first};
      return true;
    }
    return false;
  }

  bool table(Statement* s) {
    s->verb = Verb::kCreateTable;
    std::string schema = "dbo", table;
    if (!name(&table)) return false;
    if (symbol(".")) {
      schema = table;
      if (!name(&table)) return false;
    }
    s->names = {schema, table};
    if (!symbol("(")) return false;
    do {
      if (keyword("CONSTRAINT")) {
        if (!primary_key(s)) return false;
      } else if (!column(s)) {
        return false;
      }
    } while (symbol(","));
    if (!symbol(")")) return false;
    std::string filegroup;
    return !keyword("ON") || name(&filegroup);
  }

  // [name] [type][(length)] {NOT NULL | NULL | DEFAULT function()}
  bool column(Statement* s) {
    std::string column, type, function;
    if (!name(&column) || !name(&type)) return false;
    if (symbol("(")) {
      if (peek().kind != Kind::kNumber) return false;
      ++at_;
      if (!symbol(")")) return false;
    }
    for (;;) {
      if (keyword("NOT")) {
        if (!keyword("NULL")) return false;
      } else if (keyword("NULL")) {
      } else if (keyword("DEFAULT")) {
        if (!name(&function) || !symbol("(") || !symbol(")")) return false;
      } else {
        break;
      }
    }
    s->names.push_back(column);
    s->types.push_back(type);
    return true;
  }

  // CONSTRAINT [name] PRIMARY KEY CLUSTERED (column ASC, ...) [WITH (option = value, ...)] [ON [filegroup]]
  bool primary_key(Statement* s) {
    std::string constraint, column, option, value;
    if (!name(&constraint) || !keyword("PRIMARY") || !keyword("KEY")) return false;
    keyword("CLUSTERED") || keyword("NONCLUSTERED");
    if (!symbol("(")) return false;
    do {
      if (!name(&column)) return false;
      s->keys.push_back(column);
      keyword("ASC") || keyword("DESC");
    } while (symbol(","));
    if (!symbol(")")) return false;
    if (keyword("WITH")) {
      if (!symbol("(")) return false;
      do {
        if (!name(&option) || !symbol("=") || !name(&value)) return false;
      } while (symbol(","));
      if (!symbol(")")) return false;
    }
    return !keyword("ON") || name(&value);
  }

  const std::string& text_;
  const std::vector<Token>& t_;
  size_t at_ = 0;
};

// ---- Execution -------------------------------------------------------------------

Diagnostic server_error(int32_t native, const std::string& message, const char* state = "42000") {
  return {state, native, kServerPrefix + message};
}

bool has_role(const support::SqlLogin& login, const std::string& role) {
  return std::any_of(login.roles.begin(), login.roles.end(), [&](const std::string& r) { return same(r, role); });
}

// Accounts that CREATE LOGIN ... FROM WINDOWS finds: the local system, and
// accounts of the server's own domain or of a domain it trusts; a machine
// account DOMAIN\NAME$ only when NAME is a machine of that domain.
bool windows_account_known(const world::Machine& server, const std::string& account) {
  if (same(account, "NT AUTHORITY\\SYSTEM")) return true;
  size_t slash = account.find('\\');
  if (slash == std::string::npos) return false;
  std::string domain = account.substr(0, slash), user = account.substr(slash + 1);
  bool trusted = same(domain, world::machine_domain(server));
  std::string trusts = server.setting("sqlserver", "trusts");
  for (size_t at = 0; !trusted && at <= trusts.size();) {
    size_t comma = std::min(trusts.find(',', at), trusts.size());
    std::string entry = trusts.substr(at, comma - at);
    entry.erase(0, entry.find_first_not_of(' '));
    entry.erase(entry.find_last_not_of(' ') + 1);
    trusted = !entry.empty() && same(entry, domain);
    at = comma + 1;
  }
  if (!trusted || user.empty()) return false;
  if (user.back() != '$') return true;
  const world::Machine* machine = world::find_machine(user.substr(0, user.size() - 1));
  return machine != nullptr && same(machine->name + "$", user) && same(world::machine_domain(*machine), domain);
}

// An injected failure ([sqlserver failures] "statement beginning = native"), or 0.
int32_t injected_failure(const world::Machine& server, const std::string& statement) {
  auto section = server.ini.find("sqlserver failures");
  if (section == server.ini.end()) return 0;
  for (const auto& [beginning, native] : section->second)
    if (lower(statement).compare(0, beginning.size(), beginning) == 0) return std::atoi(native.c_str());
  return 0;
}

struct Execution {
  Session* session;
  support::SqlServerState state;
  bool changed = false;
  bool may_create;  // the console's login is sysadmin
};

template <typename Item, typename Name>
Item* find_named(std::vector<Item>& items, const std::string& wanted, Name name) {
  for (Item& item : items)
    if (same(name(item), wanted)) return &item;
  return nullptr;
}

support::SqlTable* find_table(Execution& x, const std::string& name) {
  std::string table = name;
  if (size_t dot = table.rfind('.'); dot != std::string::npos) table = table.substr(dot + 1);
  for (support::SqlTable& t : x.state.tables)
    if (same(t.database, x.session->database) && same(t.name, table)) return &t;
  return nullptr;
}

std::string padded(const std::string& text, size_t width) { return text + std::string(width > text.size() ? width - text.size() : 0, ' '); }

bool run(Execution& x, const Statement& s, std::vector<Diagnostic>* diagnostics, ResultSet* result) {
  auto fail = [&](Diagnostic d) {
    diagnostics->push_back(d);
    return false;
  };
  if (int32_t native = injected_failure(x.session->machine, s.text))
    return fail(server_error(native, "Statement failed with error " + std::to_string(native) + "."));
  const std::string& first = s.names.empty() ? std::string() : s.names[0];
  switch (s.verb) {
    case Verb::kUse: {
      std::string* database = find_named(x.state.databases, first, [](const std::string& d) { return d; });
      if (database == nullptr)
        return fail(server_error(911, format("Database '%s' does not exist. Make sure that the name is entered correctly.", first), "08004"));
      x.session->database = *database;
      diagnostics->push_back(server_error(5701, format("Changed database context to '%s'.", *database), "01000"));
      return true;
    }
    case Verb::kCreateDatabase:
      if (!x.may_create) return fail(server_error(262, "CREATE DATABASE permission denied in database 'master'."));
      if (find_named(x.state.databases, first, [](const std::string& d) { return d; }))
        return fail(server_error(1801, format("Database '%s' already exists. Choose a different database name.", first)));
      x.state.databases.push_back(first);
      x.changed = true;
      return true;
    case Verb::kCreateLogin:
      if (!x.may_create) return fail(server_error(15247, "User does not have permission to perform this action."));
      if (first.find_first_of("\t\r\n") != std::string::npos)
        return fail(server_error(15006, format("'%s' is not a valid name because it contains invalid characters.", first)));
      if (find_named(x.state.logins, first, [](const support::SqlLogin& l) { return l.name; }))
        return fail(server_error(15025, format("The server principal '%s' already exists.", first)));
      if (!windows_account_known(x.session->machine, first))
        return fail(server_error(15401, format("Windows NT user or group '%s' not found. Check the name again.", first)));
      x.state.logins.push_back({first, {}});
      x.changed = true;
      return true;
    case Verb::kAddRoleMember: {
      if (!x.may_create) return fail(server_error(15247, "User does not have permission to perform this action."));
      support::SqlLogin* login = find_named(x.state.logins, first, [](const support::SqlLogin& l) { return l.name; });
      if (login == nullptr)
        return fail(server_error(15007, format("'%s' is not a valid login or you do not have permission.", first)));
      const std::string& role = s.names[1];
      if (std::none_of(std::begin(kFixedServerRoles), std::end(kFixedServerRoles), [&](const char* r) { return same(r, role); }))
        return fail(server_error(15402, format("'%s' is not a fixed server role.", role)));
      if (!has_role(*login, role)) login->roles.push_back(lower(role));
      x.changed = true;
      return true;
    }
    case Verb::kSpaceUsed: {
      support::SqlTable* table = find_table(x, first);
      if (table == nullptr)
        return fail(server_error(15009, format("The object '%s' does not exist in database '%s' or is invalid for this operation.",
                                               first, x.session->database)));
      std::string data = std::to_string(table->data_kb) + " KB";
      *result = {{"name", "rows", "reserved", "data", "index_size", "unused"},
                 {{table->name, padded(std::to_string(table->rows), 20), data, data, "0 KB", "0 KB"}}};
      return true;
    }
    case Verb::kCreateTable: {
      const std::string& table = s.names[1];
      if (!x.may_create) return fail(server_error(262, format("CREATE TABLE permission denied in database '%s'.", x.session->database)));
      if (!same(first, "dbo"))
        return fail(server_error(2760, format("The specified schema name \"%s\" either does not exist or you do not have permission to use it.", first)));
      if (find_table(x, table)) return fail(server_error(2714, format("There is already an object named '%s' in the database.", table), "42S01"));
      std::vector<std::string> columns(s.names.begin() + 2, s.names.end());
      for (size_t i = 0; i < columns.size(); ++i) {
        if (std::none_of(std::begin(kKnownTypes), std::end(kKnownTypes), [&](const char* t) { return same(t, s.types[i]); }))
          return fail(server_error(2715, "Column, parameter, or variable #" + std::to_string(i + 1) + ": Cannot find data type " + s.types[i] + "."));
        if (std::count_if(columns.begin(), columns.end(), [&](const std::string& c) { return same(c, columns[i]); }) > 1)
          return fail(server_error(2705, format("Column names in each table must be unique. Column name '%s' in table '%s' is specified more than once.", columns[i], table)));
      }
      for (const std::string& key : s.keys)
        if (std::none_of(columns.begin(), columns.end(), [&](const std::string& c) { return same(c, key); }))
          return fail(server_error(1911, format("Column name '%s' does not exist in the target table or view.", key)));
      x.state.tables.push_back({x.session->database, table, 0, 0});
      x.changed = true;
      return true;
    }
  }
  return false;
}

}  // namespace

Outcome connect_session(const std::string& server, bool trusted, Session* session, std::vector<Diagnostic>* diagnostics) {
  const world::Machine* machine = world::find_machine(server);
  bool answers = machine != nullptr && !same(machine->setting("machine", "reachable", "yes"), "no") &&
                 is_yes(machine->setting("sqlserver", "running"));
  if (!answers) {
    diagnostics->push_back({"08001", 17, std::string(kNetworkPrefix) + "SQL Server does not exist or access denied."});
    diagnostics->push_back({"01000", 53, std::string(kNetworkPrefix) + "ConnectionOpen (Connect())."});
    return Outcome::kError;
  }
  std::string user = trusted ? world::domain() + "\\" + world::console_user() : "";
  if (!trusted || same(machine->setting("sqlserver", "console_login", "sysadmin"), "none")) {
    diagnostics->push_back(server_error(18456, format("Login failed for user '%s'.", user), "28000"));
    return Outcome::kError;
  }
  session->machine = *machine;
  session->database = "master";
  diagnostics->push_back(server_error(5701, "Changed database context to 'master'.", "01000"));
  diagnostics->push_back(server_error(5703, "Changed language setting to us_english.", "01000"));
  return Outcome::kSuccessWithInfo;
}

Outcome execute_batch(Session* session, const std::string& text, std::vector<Diagnostic>* diagnostics, ResultSet* result) {
  const std::string drop = session->machine.setting("sqlserver", "drop_after_batches");
  if (!drop.empty() && ++session->batches > std::atoi(drop.c_str())) session->dropped = true;
  if (session->dropped) {
    diagnostics->push_back({"08S01", 10054, std::string(kNetworkPrefix) + "ConnectionWrite (send())."});
    diagnostics->push_back({"08S01", 11, std::string(kNetworkPrefix) + "General network error. Check your network documentation."});
    return Outcome::kError;
  }
  std::vector<Token> tokens;
  SyntaxError syntax;
  std::vector<Statement> statements;
  Parser parser(text, tokens);
  if (!tokenize(text, &tokens, &syntax) || !parser.batch(&statements, &syntax)) {
    diagnostics->push_back(server_error(syntax.native, syntax.message));
    return Outcome::kError;
  }
  Execution x{session, support::read_sql_state(session->machine.dir), false,
              same(session->machine.setting("sqlserver", "console_login", "sysadmin"), "sysadmin")};
  bool ok = true;
  for (const Statement& s : statements)
    if (!(ok = run(x, s, diagnostics, result))) break;
  if (x.changed) support::write_sql_state(session->machine.dir, x.state);
  if (!ok) return Outcome::kError;
  return diagnostics->empty() ? Outcome::kSuccess : Outcome::kSuccessWithInfo;
}

}  // namespace sqlsim
