#include "sim/sql_server/sql_server_state.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace support {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, separator)) fields.push_back(field);
  return fields;
}

std::string joined(const std::vector<std::string>& items, char separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : std::string(1, separator)) + item;
  return out;
}

std::string state_path(const std::string& machine_dir) { return sql_server_folder(machine_dir) + "/state.txt"; }
std::string log_path(const std::string& machine_dir) { return sql_server_folder(machine_dir) + "/statements.log"; }

}  // namespace

std::string sql_server_folder(const std::string& machine_dir) { return machine_dir + "/sqlserver"; }

std::string sql_state_text(const SqlServerState& state) {
  std::string text;
  for (const std::string& database : state.databases) text += "database\t" + database + "\n";
  for (const SqlLogin& login : state.logins) text += "login\t" + login.name + "\t" + joined(login.roles, ',') + "\n";
  for (const SqlTable& t : state.tables)
    text += "table\t" + t.database + "\t" + t.name + "\t" + std::to_string(t.rows) + "\t" + std::to_string(t.data_kb) + "\n";
  return text;
}

SqlServerState read_sql_state(const std::string& machine_dir) {
  SqlServerState state;
  std::ifstream in(state_path(machine_dir));
  if (!in) return state;  // a server nobody wrote to holds master only
  state.databases.clear();
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f = split(line, '\t');
    if (f.size() == 2 && f[0] == "database") state.databases.push_back(f[1]);
    if (f.size() >= 2 && f[0] == "login") state.logins.push_back({f[1], f.size() > 2 ? split(f[2], ',') : std::vector<std::string>{}});
    if (f.size() == 5 && f[0] == "table")
      state.tables.push_back({f[1], f[2], std::strtoull(f[3].c_str(), nullptr, 10), std::strtoull(f[4].c_str(), nullptr, 10)});
  }
  return state;
}

bool write_sql_state(const std::string& machine_dir, const SqlServerState& state) {
  std::error_code ec;
  std::filesystem::create_directories(sql_server_folder(machine_dir), ec);
  std::ofstream out(state_path(machine_dir), std::ios::trunc | std::ios::binary);
  out << sql_state_text(state);
  return static_cast<bool>(out);
}

bool record_sql_statement(const std::string& machine_dir, const std::string& statement) {
  std::error_code ec;
  std::filesystem::create_directories(sql_server_folder(machine_dir), ec);
  std::ofstream out(log_path(machine_dir), std::ios::app | std::ios::binary);
  out << statement.size() << ':' << statement << '\n';
  return static_cast<bool>(out);
}

std::vector<std::string> recorded_sql_statements(const std::string& machine_dir) {
  std::ifstream in(log_path(machine_dir), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> statements;
  for (size_t at = 0; at < text.size();) {
    size_t colon = text.find(':', at);
    if (colon == std::string::npos) break;
    size_t length = std::strtoull(text.c_str() + at, nullptr, 10);
    if (colon + 1 + length > text.size()) break;
    statements.push_back(text.substr(colon + 1, length));
    at = colon + 1 + length + 1;  // past the newline
  }
  return statements;
}

}  // namespace support
