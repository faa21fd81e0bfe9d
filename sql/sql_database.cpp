// The database, its logins and its tables, step by step over ODBC: one
// environment and one connection per call, one statement handle per step
// group, every step a row of the results window.
#include "sql/sql_database.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/results_window.h"

SqlState g_sql;

namespace {

constexpr char kConnectionFormat[] = "DRIVER=SQL Server;Trusted_Connection=Yes;SERVER=%s";
constexpr size_t kConnectionBytes = 1024;  // also the driver's output buffer
constexpr SQLSMALLINT kDiagnosticStateBytes = 6;
constexpr SQLSMALLINT kDiagnosticMessageBytes = 1400;
constexpr char kUseDatabase[] = "USE VORNIX_for_Windows;";
constexpr char kCreateDatabase[] = "CREATE DATABASE VORNIX_for_Windows;";
constexpr char kCreateLocalLogin[] =
    "CREATE LOGIN [NT AUTHORITY\\SYSTEM] FROM WINDOWS WITH DEFAULT_DATABASE=[VORNIX_for_windows], "
    "DEFAULT_LANGUAGE=[us_english];";
constexpr char kAddLocalRole[] = "EXEC sp_addsrvrolemember 'NT AUTHORITY\\SYSTEM', 'sysadmin';";
constexpr char kCancelled[] = "Error(s) occurred, cancelling attempt to add Tables";
constexpr char kUnableToContinue[] = "Unable to continue";
constexpr SQLINTEGER kObjectExists = 2714;
constexpr SQLINTEGER kLoginExists = 15025;
constexpr SQLINTEGER kWindowsAccountNotFound = 15401;
constexpr SQLLEN kRowsBytes = static_cast<SQLLEN>(kItemSqlRowsBytes);
constexpr SQLLEN kDataBytes = static_cast<SQLLEN>(kItemSqlDataBytes);
constexpr int kTableSizeImage = kStepSuccess;  // the host's image of a table row

// ---- The five activity tables ---------------------------------------------------

// Every table starts with these six columns. The two directory tables write
// their FromServer clause without the blank before NOT NULL.
constexpr char kGuidColumn[] = "[GUID] [uniqueIdentifier] NOT NULL DEFAULT NEWSEQUENTIALID(),";
constexpr char kFromServerColumn[] = "[FromServer] [varchar](128) NOT NULL,";
constexpr char kDirectoryFromServerColumn[] = "[FromServer] [varchar](128)NOT NULL,";
constexpr char kCommonColumns[] =
    "[RecType] [varchar](64) NOT NULL,"
    "[ProfileName] [varchar](128) NOT NULL,"
    "[Action] [varchar](64) NOT NULL,"
    "[TimeOccurred] [smalldatetime] NOT NULL,";
// The clauses follow one another with nothing between them, the key clause
// included ("...NULL,CONSTRAINT [...] ... ASC)WITH (...").
constexpr char kKeyColumns[] = "([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC, [GUID] ASC)";
constexpr char kFileKeyColumns[] = "([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC,[GUID] ASC)";
constexpr char kKeyOptions[] =
    "WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, "
    "ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]) ON [PRIMARY]";

struct ActivityTable {
  const char* name;
  const char* key;              // the primary key's name
  const char* from_server;      // the FromServer clause
  const char* key_columns;
  const char* columns;          // the columns after the common six
  const char* exists_row;       // 2714: the table is already there
  const char* error_row;        // any other failure of its CREATE TABLE
  const char* handle_row;       // its statement handle could not be allocated
};

// "Table Already Exists:" takes two blanks before the two file tables' names, one before the others'.
constexpr ActivityTable kTables[] = {
    {"File_System_Profiles", "VORNIX_FSP_PK_DATE_SERVER_GUID", kFromServerColumn, kFileKeyColumns,
     "[UserName] [varchar](512) NULL,"
     "[UserLDAPName] [varchar](512) NULL,"
     "[TSStation] [varchar](32) NULL,"
     "[TSRemoteAddr] [varchar](32) NULL,"
     "[UserSID] [varchar](88) NULL,"
     "[IPv4From] [varchar](20) NULL,"
     "[IPv6From] [varchar](64) NULL,"
     "[isDirectory] [varchar](16) NULL,"
     "[wasBlocked] [varchar](16) NULL,"
     "[ACEtype] [varchar](10) NULL,"
     "[FullFilePath] [varchar](1200) NULL,"
     "[ShareName] [varchar](128) NULL,"
     "[FileNameOnly] [varchar](512) NULL,"
     "[NewPathName] [varchar](1200) NULL,"
     "[SIDOfNewOwner] [varchar](88) NULL,"
     "[ACLObjectLDAPName] [varchar](512) NULL,"
     "[ACLObjectDomain] [varchar](50) NULL,"
     "[ACLObjectName] [varchar](512) NULL,"
     "[ACLMask] [varchar](512) NULL,"
     "[ACLFlags] [varchar](64) NULL,"
     "[ACLObjectType] [varchar](32) NULL,",
     "Table Already Exists:  File_System_Profiles", "Error Creating File Tracking Table",
     "Error Allocating FSP memory"},
    {"Logon_Logoff_and_Failed_Logon_Profiles", "VORNIX_LLFLP_PK_DATE_SERVER_GUID", kFromServerColumn, kKeyColumns,
     "[FailCodeValue] [int] NULL,"
     "[FailCodeText] [varchar](128) NULL,"
     "[IPv4From] [varchar](20) NULL,"
     "[IPv6From] [varchar](64) NULL,"
     "[LogonTime] [smalldatetime]  NULL,"
     "[LogoffTime] [smalldatetime]  NULL,"
     "[NumberOfSecondsLoggedOn] [int] NULL,"
     "[UserName] [varchar](512) NULL,"
     "[UserLDAPName] [varchar](512) NULL,"
     "[UserSID] [varchar](88) NULL,"
     "[TSUserName] [varchar](512) NULL,"
     "[TSStation] [varchar](32) NULL,"
     "[TSRemoteAddr] [varchar](32) NULL,"
     "[TSSessionName] [varchar](64) NULL,"
     "[LogonDomain] [varchar](64) NULL,"
     "[LogonZone] [varchar](64) NULL,",
     "Table Already Exists: Logon_Logoff_and_Failed_Logon_Profiles", "Error Creating Login Tracking Table",
     "Error Allocating LLP Handle"},
    {"Active_Directory_Profiles", "VORNIX_ADP_PK_DATE_SERVER_GUID", kDirectoryFromServerColumn, kKeyColumns,
     "[ObjectClass] [varchar](128) NOT NULL,"
     "[ObjectAffected] [varchar](1024) NOT NULL,"
     "[ObjectNewName] [varchar](1024) NULL,"
     "[AttributeAffected] [varchar](128) NULL,"
     "[WasAttributeRemoved] [varchar](20) NULL,"
     "[AttributeValueAdded] [varchar](1024) NULL,"
     "[AdditionalDetailRegardingSelectedAttributes] [varchar](4024) NULL,"
     "[AttributeValueRemoved] [varchar](1024) NULL,"
     "[PerformedByUserName] [varchar](1024) NULL,"
     "[TSStation] [varchar](32) NULL,"
     "[TSRemoteAddr] [varchar](32) NULL,"
     "[IPv4From] [varchar](20) NULL,"
     "[IPv6From] [varchar](64) NULL,",
     "Table Already Exists: Active_Directory_Profiles", "Error Creating Active Directory Table",
     "Error Allocating AD Handle"},
    {"GPO_File_System_Profiles", "VORNIX_GPO_FSP_PK_DATE_SERVER_GUID", kFromServerColumn, kKeyColumns,
     "[UserName] [varchar](512) NULL,"
     "[UserLDAPName] [varchar](512) NULL,"
     "[TSStation] [varchar](32) NULL,"
     "[TSRemoteAddr] [varchar](32) NULL,"
     "[UserSID] [varchar](88) NULL,"
     "[IPv4From] [varchar](20) NULL,"
     "[IPv6From] [varchar](64) NULL,"
     "[GPODisplayName] [varchar](256) NULL,"
     "[GPOGuid] [varchar](88) NULL,"
     "[isDirectory] [varchar](16) NULL,"
     "[isGPOCoreFile] [varchar](16) NULL,"
     "[GPOPolicyFilePath] [varchar](256) NULL,"
     "[GPOFullLocalFilePath] [varchar](756) NULL,"
     "[GPOPolicyFileName] [varchar](128) NULL,"
     "[NewFilePathName] [varchar](756) NULL,"
     "[GPOChangeDescription] [varchar](1024) NULL,"
     "[ShareName] [varchar](128) NULL,"
     "[GPOFileSectionName] [varchar](64) NULL,"
     "[GPOFileChangeAction] [varchar](16) NULL,"
     "[GPOFileSectionParameterName] [varchar](128) NULL,"
     "[GPOFileSectionOther] [varchar](128) NULL,"
     "[GPOFileSectionValue01] [varchar](128) NULL,"
     "[GPOFileSectionValue02] [varchar](64) NULL,"
     "[GPOFileSectionString] [varchar](128) NULL,"
     "[GPOFileSectionStringSubValue] [varchar](2048) NULL,",
     // The two-blank form names the table itself, as the other four rows do.
     "Table Already Exists:  GPO_File_System_Profiles", "Error Creating GPO File Tracking Table",
     "Error Allocating FSP memory"},
    {"GPO_Active_Directory_Profiles", "VORNIX_GPO_AD_PK_DATE_SERVER_GUID", kDirectoryFromServerColumn, kKeyColumns,
     "[GPODisplayName] [varchar](256) NULL,"
     "[GPOGuid] [varchar](88) NULL,"
     "[ObjectClass] [varchar](128) NOT NULL,"
     "[ObjectAffected] [varchar](1024) NOT NULL,"
     "[ObjectNewName] [varchar](1024) NULL,"
     "[AttributeAffected] [varchar](128) NULL,"
     "[WasAttributeRemoved] [varchar](20) NULL,"
     "[AttributeValueAdded] [varchar](1024) NULL,"
     "[AdditionalDetailRegardingSelectedAttributes] [varchar](4024) NULL,"
     "[AttributeValueRemoved] [varchar](1024) NULL,"
     "[PerformedByUserName] [varchar](1024) NULL,"
     "[TSStation] [varchar](32) NULL,"
     "[TSRemoteAddr] [varchar](32) NULL,"
     "[IPv4From] [varchar](20) NULL,"
     "[IPv6From] [varchar](64) NULL,"
     "[GPOADSectionName] [varchar](128) NULL,"
     "[GPOADChangeAction] [varchar](16) NULL,"
     "[GPOADChangeDetails] [varchar](4096) NULL,",
     "Table Already Exists: GPO_Active_Directory_Profiles", "Error Creating GPO_Active Directory Table",
     "Error Allocating AD Handle"},
};
constexpr size_t kTableCount = sizeof kTables / sizeof kTables[0];

std::string create_table_statement(const ActivityTable& t) {
  return std::string("CREATE TABLE [dbo].[") + t.name + "](" + kGuidColumn + t.from_server + kCommonColumns +
         t.columns + "CONSTRAINT [" + t.key + "] PRIMARY KEY CLUSTERED " + t.key_columns + kKeyOptions;
}

// ---- Names in statements -----------------------------------------------------------

// A name between [ and ] with each ] doubled, or between quotes with each '
// doubled: Transact-SQL reads it back as the one name it is.
std::string quoted_name(const char* name, char closing) {
  std::string out;
  for (const char* c = name; *c; ++c) {
    out += *c;
    if (*c == closing) out += closing;
  }
  return out;
}

// The agent server's machine account as rows show it: DOMAIN\SERVER$.
std::string machine_account(const char* domain, const char* server) {
  return std::string(domain) + "\\" + server + "$";
}

// ---- Rows ------------------------------------------------------------------------

bool failed(SQLRETURN rc) { return rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO; }

// ReportSqlError with the owner of its box: the results window, or the sizes list's screen.
SQLINTEGER report_sql_error(SQLSMALLINT handle_type, SQLRETURN rc, SQLHANDLE handle, const char* command,
                            SQLINTEGER* native, SQLINTEGER accepted, BOOL quiet, HWND owner);

void count_failure() { g_sql.error_count = g_sql.error_count + 1; }

void row(const char* server, int image, const std::string& action, const char* result) {
  add_results_row(g_results.window, image, server, action.c_str(), result, nullptr);
}

void progress_row(const char* server, const std::string& action) { row(server, kStepProgress, action, "..."); }
void success_row(const char* server, const std::string& action, const char* result = "OK") {
  row(server, kStepSuccess, action, result);
}
void error_row(const char* server, const std::string& action, const char* result = kUnableToContinue) {
  row(server, kStepError, action, result);
}

// ---- The connection --------------------------------------------------------------

// The environment and connection of one call, disconnected and freed when it ends.
struct Link {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;
  char connection[kConnectionBytes] = {};
  Link() = default;
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;
  ~Link() {
    if (connected) SQLDisconnect(dbc);
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// A statement handle of a connection, freed when it ends.
struct StatementHandle {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  explicit StatementHandle(SQLHDBC dbc) {
    if (failed(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle))) handle = SQL_NULL_HSTMT;
  }
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;
  ~StatementHandle() {
    if (handle != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle);
  }
};

SQLRETURN execute(SQLHSTMT statement, const std::string& text) {
  return SQLExecDirectA(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
}

enum class Allocation { kAllocated, kNoEnvironment, kNoConnection };

Allocation allocate(Link* link) {
  if (failed(SQLAllocEnv(&link->env))) {
    link->env = SQL_NULL_HENV;
    return Allocation::kNoEnvironment;
  }
  if (failed(SQLAllocHandle(SQL_HANDLE_DBC, link->env, &link->dbc))) {
    link->dbc = SQL_NULL_HDBC;
    return Allocation::kNoConnection;
  }
  return Allocation::kAllocated;
}

// The SQL Server name goes into the connection string as it is: a name that
// holds ';', '{' or '}' would change the string's attributes, and no SQL
// Server is so named, so it is refused (after a message) and nothing is sent.
bool connection_name_allowed(const char* sql_server) {
  if (std::strpbrk(sql_server, ";{}") == nullptr && std::strlen(sql_server) < kConnectionBytes - sizeof kConnectionFormat)
    return true;
  char text[kConnectionBytes + 200];
  std::snprintf(text, sizeof text,
                "The SQL Server name [%s] holds ';', '{' or '}', or is too long, and cannot be put into a "
                "connection string.\n\nNothing was sent to it.",
                sql_server);
  show_message(g_results.window, text, "UNABLE TO CONTINUE", MB_OK | MB_ICONEXCLAMATION);
  return false;
}

// Connects with the console user's Windows credentials. refused: the name was
// not allowed (and no diagnostic exists).
SQLRETURN connect(Link* link, const char* sql_server, bool* refused) {
  *refused = !connection_name_allowed(sql_server);
  if (*refused) return SQL_ERROR;
  std::snprintf(link->connection, sizeof link->connection, kConnectionFormat, sql_server);
  SQLCHAR completed[kConnectionBytes];
  SQLSMALLINT completed_length = 0;
  SQLRETURN rc = SQLDriverConnect(link->dbc, nullptr, reinterpret_cast<SQLCHAR*>(link->connection), SQL_NTS,
                                  completed, sizeof completed, &completed_length, SQL_DRIVER_NOPROMPT);
  link->connected = !failed(rc);
  return rc;
}

// Allocation and connection of the setup and login calls, with their rows.
// report: connection failures are also shown. false when the run ends here.
bool open_for_setup(Link* link, const char* sql_server, const char* server, bool report, DWORD* result) {
  switch (allocate(link)) {
    case Allocation::kNoEnvironment:
      error_row(server, "Error, unable to AllocEnv, cancelling attempt to add Tables", "FAIL");
      count_failure();
      *result = 1;
      return false;
    case Allocation::kNoConnection:
      error_row(server, "Error, unable to AllocDBC, cancelling attempt to add Tables", "FAIL");
      count_failure();
      *result = 1;
      return false;
    case Allocation::kAllocated: break;
  }
  row(server, kStepConnecting, "Connecting to SQL Server", "...");
  bool refused = false;
  SQLRETURN rc = connect(link, sql_server, &refused);
  *result = 0;
  if (!failed(rc)) return true;
  error_row(server, "Error Connecting to SQL Server");
  if (report && !refused) {
    SQLINTEGER native = kNoNativeError;
    ReportSqlError(SQL_HANDLE_DBC, rc, link->dbc, link->connection, &native, kNoNativeError, FALSE);
  }
  count_failure();
  return false;
}

// ---- Steps -----------------------------------------------------------------------

// The database: found, or created. false when the run stops.
bool make_database(SQLHSTMT statement, const char* server) {
  if (!failed(execute(statement, kUseDatabase))) {
    success_row(server, "Found Existing VORNIX_for_Windows Database (already defined)");
  } else {
    progress_row(server, "Creating VORNIX_for_Windows Database");
    SQLRETURN rc = execute(statement, kCreateDatabase);
    if (failed(rc)) {
      error_row(server, "Error Creating VORNIX Database");
      SQLINTEGER native = kNoNativeError;
      ReportSqlError(SQL_HANDLE_STMT, rc, statement, kCreateDatabase, &native, kNoNativeError, FALSE);
      count_failure();
      return false;
    }
    success_row(server, "Successfully created VORNIX_for_Windows Database");
  }
  SQLFreeStmt(statement, SQL_CLOSE);
  return true;
}

// NT AUTHORITY\SYSTEM: its login and the sysadmin role. false when the run stops.
bool add_local_login(SQLHSTMT statement, const char* server) {
  progress_row(server, "Add Login for local [NT AUTHORITY\\SYSTEM]");
  SQLRETURN rc = execute(statement, kCreateLocalLogin);
  if (!failed(rc)) {
    success_row(server, "Successfully added Login for local [NT AUTHORITY\\SYSTEM]");
  } else {
    SQLINTEGER native = kNoNativeError;
    if (ReportSqlError(SQL_HANDLE_STMT, rc, statement, kCreateLocalLogin, &native, kLoginExists, FALSE) != kLoginExists) {
      error_row(server, "Error Creating VORNIX Local Login");
      return false;
    }
    success_row(server, "Already Exists: Login for [NT AUTHORITY\\SYSTEM]");
  }
  progress_row(server, "Add ROLE sysadmin for local [NT AUTHORITY\\SYSTEM]");
  rc = execute(statement, kAddLocalRole);
  if (failed(rc)) {
    error_row(server, "Error Adding local sysadmin ROLE");
    SQLINTEGER native = kNoNativeError;
    ReportSqlError(SQL_HANDLE_STMT, rc, statement, kAddLocalRole, &native, kNoNativeError, FALSE);
    return false;
  }
  success_row(server, "Successfully added ROLE sysadmin for local [NT AUTHORITY\\SYSTEM]");
  return true;
}

// DOMAIN\SERVER$: its login and the sysadmin role. report: failures are also
// shown (the full preparation); the login-only call shows none. false when the run stops.
bool add_agent_login(SQLHSTMT statement, const char* domain, const char* server, bool report) {
  const std::string account = machine_account(domain, server);
  progress_row(server, "Add Login for Remote Name of VORNIX Server Agent [" + account + "]");
  const std::string login = "CREATE LOGIN [" + quoted_name(domain, ']') + "\\" + quoted_name(server, ']') +
                            "$] FROM WINDOWS WITH DEFAULT_DATABASE=[VORNIX_for_windows], DEFAULT_LANGUAGE=[us_english];";
  SQLRETURN rc = execute(statement, login);
  if (!failed(rc)) {
    success_row(server, "Successfully added Login for  [" + account + "]");
  } else {
    SQLINTEGER native = kWindowsAccountNotFound;
    native = ReportSqlError(SQL_HANDLE_STMT, rc, statement, login.c_str(), &native, kLoginExists, report ? FALSE : TRUE);
    if (native == kLoginExists) {
      success_row(server, "Already Exists: Login for [" + account + "]", "...");
    } else if (native == kWindowsAccountNotFound) {
      error_row(server,
                "Error, VORNIX Server [" + account +
                    "] is UNKNOWN to SQL Server Host, if different domains check 'Domain Trust'",
                "FAIL");
      return false;
    } else {
      error_row(server, "Error Creating remote VORNIX login");  // the role is still tried
    }
  }
  progress_row(server, "Add ROLE sysadmin for [" + account + "]");
  const std::string role =
      "EXEC sp_addsrvrolemember '" + quoted_name(domain, '\'') + "\\" + quoted_name(server, '\'') + "$', 'sysadmin';";
  rc = execute(statement, role);
  if (failed(rc)) {
    error_row(server, "Error Adding remote sysadmin ROLE");
    if (report) {
      SQLINTEGER native = kNoNativeError;
      ReportSqlError(SQL_HANDLE_STMT, rc, statement, role.c_str(), &native, kNoNativeError, FALSE);
    }
    return false;
  }
  success_row(server, "Successfully added ROLE sysadmin for [" + account + "]");
  return true;
}

// One table: USE, then its CREATE TABLE. false when it failed.
bool create_table(SQLHDBC dbc, const ActivityTable& table, const char* server) {
  StatementHandle statement(dbc);
  if (statement.handle == SQL_NULL_HSTMT) {
    error_row(server, table.handle_row);
    count_failure();
    return false;
  }
  if (failed(execute(statement.handle, kUseDatabase))) {
    error_row(server, "Error Using VORNIX Database");
    count_failure();
    return false;
  }
  progress_row(server, std::string("Creating Table ") + table.name);
  SQLRETURN rc = execute(statement.handle, create_table_statement(table));
  if (!failed(rc)) {
    success_row(server, std::string("Successfully Created Table ") + table.name);
    return true;
  }
  SQLINTEGER native = kNoNativeError;
  if (ReportSqlError(SQL_HANDLE_STMT, rc, statement.handle, "", &native, kObjectExists, FALSE) == kObjectExists) {
    success_row(server, table.exists_row);
    return true;
  }
  error_row(server, table.error_row);
  count_failure();
  return false;
}

}  // namespace

DWORD SetupSqlDatabase(const char* sql_server, const char* domain, const char* server) {
  Link link;
  DWORD result = 0;
  if (!open_for_setup(&link, sql_server, server, true, &result)) return result;
  {
    StatementHandle statement(link.dbc);
    if (statement.handle == SQL_NULL_HSTMT) {
      error_row(server, "Error Allocating Handle");
      count_failure();
      return 0;
    }
    // Every stop of this step ends with the cancelling row, the unknown
    // agent account (15401) included: no table is attempted after it.
    if (!make_database(statement.handle, server) || !add_local_login(statement.handle, server) ||
        !add_agent_login(statement.handle, domain, server, true)) {
      error_row(server, kCancelled, "FAIL");
      return 0;
    }
  }
  size_t created = 0;
  while (created < kTableCount && create_table(link.dbc, kTables[created], server)) ++created;
  if (created == kTableCount - 1)
    error_row(server, "Error(s) occurred while adding Tables to VORNIX_for_Windows Database", "FAIL");
  return 0;
}

DWORD AddAgentSqlLogin(const char* sql_server, const char* domain, const char* server) {
  Link link;
  DWORD result = 0;
  if (!open_for_setup(&link, sql_server, server, false, &result)) return result;
  StatementHandle statement(link.dbc);
  if (statement.handle == SQL_NULL_HSTMT) {
    error_row(server, "Error Allocating Handle");
    count_failure();
    return 0;
  }
  add_agent_login(statement.handle, domain, server, false);
  return 0;
}

namespace {

// A row of the sizes list: the label, then the row count and data size texts
// in its record, or the outcome of a step that failed.
void insert_size_row(HWND list, BYTE* record, const char* label, const char* rows, const char* data,
                     const char* outcome = "") {
  copy_text(reinterpret_cast<char*>(record + kItemSqlRows), kItemSqlRowsBytes, rows);
  copy_text(reinterpret_cast<char*>(record + kItemSqlData), kItemSqlDataBytes, data);
  copy_text(reinterpret_cast<char*>(record + kItemSqlOutcome), kItemSqlOutcomeBytes, outcome);
  insert_host_item(list, nullptr, RowPosition::Sorted, label, kTableSizeImage, record);
}

}  // namespace

// The sizes list takes the failure rows too (label: the step, with its
// outcome): it is the one window this call reports into. Of the five
// sp_spaceused statements, a failure of the first or the fourth ends the
// listing and is shown; a failure of the others leaves that table out.
DWORD ReportSqlTableSizes(const char* sql_server, HWND list, HWND owner, BYTE* record) {
  Link link;
  switch (allocate(&link)) {
    case Allocation::kNoEnvironment:
      insert_size_row(list, record, "Error, unable to AllocEnv", "", "", "FAIL");
      return 1;
    case Allocation::kNoConnection:
      insert_size_row(list, record, "Error, unable to AllocDBC", "", "", "FAIL");
      return 1;
    case Allocation::kAllocated: break;
  }
  bool refused = false;
  if (failed(connect(&link, sql_server, &refused))) {
    insert_size_row(list, record, "Error Connecting to SQL Server", "", "", kUnableToContinue);
    return 0;
  }
  StatementHandle statement(link.dbc);
  if (statement.handle == SQL_NULL_HSTMT) return 0;
  execute(statement.handle, kUseDatabase);
  SQLFreeStmt(statement.handle, SQL_CLOSE);
  for (size_t i = 0; i < kTableCount; ++i) {
    const std::string text = std::string("EXEC sp_spaceused '") + kTables[i].name + "';";
    SQLRETURN rc = execute(statement.handle, text);
    if (failed(rc)) {
      if (i != 0 && i != 3) continue;
      report_sql_error(SQL_HANDLE_STMT, rc, statement.handle, text.c_str(), nullptr, kNoNativeError, FALSE, owner);
      return 0;
    }
    char rows[kItemSqlRowsBytes] = {}, data[kItemSqlDataBytes] = {};
    SQLLEN rows_length = 0, data_length = 0;
    SQLBindCol(statement.handle, 2, SQL_C_CHAR, rows, kRowsBytes, &rows_length);
    SQLBindCol(statement.handle, 4, SQL_C_CHAR, data, kDataBytes, &data_length);
    if (!failed(SQLFetch(statement.handle))) insert_size_row(list, record, kTables[i].name, rows, data);
    SQLFreeStmt(statement.handle, SQL_CLOSE);
    SQLFreeStmt(statement.handle, SQL_UNBIND);
  }
  return 0;
}

namespace {

SQLINTEGER report_sql_error(SQLSMALLINT handle_type, SQLRETURN rc, SQLHANDLE handle, const char* command,
                            SQLINTEGER* native, SQLINTEGER accepted, BOOL quiet, HWND owner) {
  SQLCHAR state[kDiagnosticStateBytes] = {};
  SQLCHAR message[kDiagnosticMessageBytes] = {};
  SQLINTEGER error = 0;
  SQLSMALLINT length = 0;
  if (failed(SQLGetDiagRecA(handle_type, handle, 1, state, &error, message, sizeof message, &length))) {
    state[0] = '\0';
    message[0] = '\0';
  }
  bool expected = error == accepted || (native != nullptr && error == *native);
  if (native != nullptr) *native = error;
  if (expected || quiet) return error;
  char text[kDiagnosticMessageBytes + kConnectionBytes + 256];
  std::snprintf(text, sizeof text,
                "SQL Driver Operation failed [%d][%x]\n native Err[%d] State[%s]\nMsg[%s]\n\nCommand Attempted [%s]",
                static_cast<int>(rc), static_cast<unsigned>(static_cast<int>(rc)), static_cast<int>(error),
                reinterpret_cast<const char*>(state), reinterpret_cast<const char*>(message), command ? command : "");
  show_message(owner, text, g_library.styled_dialog_mode ? "SQL OPERATION" : nullptr, MB_OK | MB_ICONEXCLAMATION);
  return error;
}

}  // namespace

SQLINTEGER ReportSqlError(SQLSMALLINT handle_type, SQLRETURN rc, SQLHANDLE handle, const char* command,
                          SQLINTEGER* native, SQLINTEGER accepted, BOOL quiet) {
  return report_sql_error(handle_type, rc, handle, command, native, accepted, quiet, g_results.window);
}
