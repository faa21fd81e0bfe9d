// The central database prepared through the real ODBC driver manager and the
// project's "SQL Server" driver, on the library's code linked into the test:
// the statements the server receives, the results rows, the boxes, and the
// state the server keeps, on a first and a second run and on each failure.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/list_item.h"
#include "sim/registry_dump.h"
#include "tests/support/list_rows.h"
#include "tests/support/sql_fixture.h"
#include "world/world.h"

namespace {

const std::string kUse = "USE VORNIX_for_Windows;";
const std::string kLocalLogin =
    "CREATE LOGIN [NT AUTHORITY\\SYSTEM] FROM WINDOWS WITH DEFAULT_DATABASE=[VORNIX_for_windows], "
    "DEFAULT_LANGUAGE=[us_english];";
const std::string kLocalRole = "EXEC sp_addsrvrolemember 'NT AUTHORITY\\SYSTEM', 'sysadmin';";
const std::string kKeyWith =
    "WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, "
    "ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]) ON [PRIMARY]";
const std::string kSix =
    "[GUID] [uniqueIdentifier] NOT NULL DEFAULT NEWSEQUENTIALID(),[FromServer] [varchar](128) NOT NULL,"
    "[RecType] [varchar](64) NOT NULL,[ProfileName] [varchar](128) NOT NULL,[Action] [varchar](64) NOT NULL,"
    "[TimeOccurred] [smalldatetime] NOT NULL,";
const std::string kSixDirectory =
    "[GUID] [uniqueIdentifier] NOT NULL DEFAULT NEWSEQUENTIALID(),[FromServer] [varchar](128)NOT NULL,"
    "[RecType] [varchar](64) NOT NULL,[ProfileName] [varchar](128) NOT NULL,[Action] [varchar](64) NOT NULL,"
    "[TimeOccurred] [smalldatetime] NOT NULL,";

// The five CREATE TABLE texts as the server must receive them.
const std::vector<std::string> kCreateTables = {
    "CREATE TABLE [dbo].[File_System_Profiles](" + kSix +
        "[UserName] [varchar](512) NULL,[UserLDAPName] [varchar](512) NULL,[TSStation] [varchar](32) NULL,"
        "[TSRemoteAddr] [varchar](32) NULL,[UserSID] [varchar](88) NULL,[IPv4From] [varchar](20) NULL,"
        "[IPv6From] [varchar](64) NULL,[isDirectory] [varchar](16) NULL,[wasBlocked] [varchar](16) NULL,"
        "[ACEtype] [varchar](10) NULL,[FullFilePath] [varchar](1200) NULL,[ShareName] [varchar](128) NULL,"
        "[FileNameOnly] [varchar](512) NULL,[NewPathName] [varchar](1200) NULL,[SIDOfNewOwner] [varchar](88) NULL,"
        "[ACLObjectLDAPName] [varchar](512) NULL,[ACLObjectDomain] [varchar](50) NULL,"
        "[ACLObjectName] [varchar](512) NULL,[ACLMask] [varchar](512) NULL,[ACLFlags] [varchar](64) NULL,"
        "[ACLObjectType] [varchar](32) NULL,CONSTRAINT [VORNIX_FSP_PK_DATE_SERVER_GUID] PRIMARY KEY CLUSTERED "
        "([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC,[GUID] ASC)" + kKeyWith,
    "CREATE TABLE [dbo].[Logon_Logoff_and_Failed_Logon_Profiles](" + kSix +
        "[FailCodeValue] [int] NULL,[FailCodeText] [varchar](128) NULL,[IPv4From] [varchar](20) NULL,"
        "[IPv6From] [varchar](64) NULL,[LogonTime] [smalldatetime]  NULL,[LogoffTime] [smalldatetime]  NULL,"
        "[NumberOfSecondsLoggedOn] [int] NULL,[UserName] [varchar](512) NULL,[UserLDAPName] [varchar](512) NULL,"
        "[UserSID] [varchar](88) NULL,[TSUserName] [varchar](512) NULL,[TSStation] [varchar](32) NULL,"
        "[TSRemoteAddr] [varchar](32) NULL,[TSSessionName] [varchar](64) NULL,[LogonDomain] [varchar](64) NULL,"
        "[LogonZone] [varchar](64) NULL,CONSTRAINT [VORNIX_LLFLP_PK_DATE_SERVER_GUID] PRIMARY KEY CLUSTERED "
        "([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC, [GUID] ASC)" + kKeyWith,
    "CREATE TABLE [dbo].[Active_Directory_Profiles](" + kSixDirectory +
        "[ObjectClass] [varchar](128) NOT NULL,[ObjectAffected] [varchar](1024) NOT NULL,"
        "[ObjectNewName] [varchar](1024) NULL,[AttributeAffected] [varchar](128) NULL,"
        "[WasAttributeRemoved] [varchar](20) NULL,[AttributeValueAdded] [varchar](1024) NULL,"
        "[AdditionalDetailRegardingSelectedAttributes] [varchar](4024) NULL,[AttributeValueRemoved] [varchar](1024) NULL,"
        "[PerformedByUserName] [varchar](1024) NULL,[TSStation] [varchar](32) NULL,[TSRemoteAddr] [varchar](32) NULL,"
        "[IPv4From] [varchar](20) NULL,[IPv6From] [varchar](64) NULL,CONSTRAINT [VORNIX_ADP_PK_DATE_SERVER_GUID] "
        "PRIMARY KEY CLUSTERED ([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC, [GUID] ASC)" + kKeyWith,
    "CREATE TABLE [dbo].[GPO_File_System_Profiles](" + kSix +
        "[UserName] [varchar](512) NULL,[UserLDAPName] [varchar](512) NULL,[TSStation] [varchar](32) NULL,"
        "[TSRemoteAddr] [varchar](32) NULL,[UserSID] [varchar](88) NULL,[IPv4From] [varchar](20) NULL,"
        "[IPv6From] [varchar](64) NULL,[GPODisplayName] [varchar](256) NULL,[GPOGuid] [varchar](88) NULL,"
        "[isDirectory] [varchar](16) NULL,[isGPOCoreFile] [varchar](16) NULL,[GPOPolicyFilePath] [varchar](256) NULL,"
        "[GPOFullLocalFilePath] [varchar](756) NULL,[GPOPolicyFileName] [varchar](128) NULL,"
        "[NewFilePathName] [varchar](756) NULL,[GPOChangeDescription] [varchar](1024) NULL,"
        "[ShareName] [varchar](128) NULL,[GPOFileSectionName] [varchar](64) NULL,"
        "[GPOFileChangeAction] [varchar](16) NULL,[GPOFileSectionParameterName] [varchar](128) NULL,"
        "[GPOFileSectionOther] [varchar](128) NULL,[GPOFileSectionValue01] [varchar](128) NULL,"
        "[GPOFileSectionValue02] [varchar](64) NULL,[GPOFileSectionString] [varchar](128) NULL,"
        "[GPOFileSectionStringSubValue] [varchar](2048) NULL,CONSTRAINT [VORNIX_GPO_FSP_PK_DATE_SERVER_GUID] "
        "PRIMARY KEY CLUSTERED ([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC, [GUID] ASC)" + kKeyWith,
    "CREATE TABLE [dbo].[GPO_Active_Directory_Profiles](" + kSixDirectory +
        "[GPODisplayName] [varchar](256) NULL,[GPOGuid] [varchar](88) NULL,[ObjectClass] [varchar](128) NOT NULL,"
        "[ObjectAffected] [varchar](1024) NOT NULL,[ObjectNewName] [varchar](1024) NULL,"
        "[AttributeAffected] [varchar](128) NULL,[WasAttributeRemoved] [varchar](20) NULL,"
        "[AttributeValueAdded] [varchar](1024) NULL,[AdditionalDetailRegardingSelectedAttributes] [varchar](4024) NULL,"
        "[AttributeValueRemoved] [varchar](1024) NULL,[PerformedByUserName] [varchar](1024) NULL,"
        "[TSStation] [varchar](32) NULL,[TSRemoteAddr] [varchar](32) NULL,[IPv4From] [varchar](20) NULL,"
        "[IPv6From] [varchar](64) NULL,[GPOADSectionName] [varchar](128) NULL,[GPOADChangeAction] [varchar](16) NULL,"
        "[GPOADChangeDetails] [varchar](4096) NULL,CONSTRAINT [VORNIX_GPO_AD_PK_DATE_SERVER_GUID] PRIMARY KEY "
        "CLUSTERED ([TimeOccurred] ASC,[FromServer] ASC,[RecType] ASC, [GUID] ASC)" + kKeyWith,
};
const std::vector<std::string> kTableNames = {"File_System_Profiles", "Logon_Logoff_and_Failed_Logon_Profiles",
                                              "Active_Directory_Profiles", "GPO_File_System_Profiles",
                                              "GPO_Active_Directory_Profiles"};

std::string login(const std::string& account) {
  return "CREATE LOGIN [" + account +
         "] FROM WINDOWS WITH DEFAULT_DATABASE=[VORNIX_for_windows], DEFAULT_LANGUAGE=[us_english];";
}
std::string role(const std::string& account) { return "EXEC sp_addsrvrolemember '" + account + "', 'sysadmin';"; }

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Rows "server | action | result" of the steps an agent server's login gives.
std::vector<std::string> agent_login_rows(const std::string& server, const std::string& done) {
  const std::string account = "BRIGHTMERE\\" + server + "$";
  return {server + " | Add Login for Remote Name of VORNIX Server Agent [" + account + "] | ...",
          server + " | " + done + " | " + (done.rfind("Already", 0) == 0 ? "..." : "OK"),
          server + " | Add ROLE sysadmin for [" + account + "] | ...",
          server + " | Successfully added ROLE sysadmin for [" + account + "] | OK"};
}

class SqlSetup : public support::SqlSetupTest {
 protected:
  void SetUp() override {
    SqlSetupTest::SetUp();
    world_.add_machine("SRV02", "127.0.0.3");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"SQLServerForTransfer\"=\"SQL01\"\r\n\r\n");
    world_.add_registry_text("SRV02", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n\r\n");
  }

  void open_window() {
    g_results.step = 0;
    ASSERT_NE(open_results_window("SQL"), nullptr);
  }

  // The results rows without their step numbers, "server | action | result".
  std::vector<std::string> rows() {
    HWND list = GetDlgItem(g_results.window, kResultsListItem);
    std::vector<std::string> out = support::list_column(list, 0);
    for (int column = 1; column < 3; ++column) {
      std::vector<std::string> cells = support::list_column(list, column);
      for (size_t row = 0; row < out.size(); ++row) out[row] += " | " + cells[row];
    }
    for (std::string& r : out) r = r.substr(r.find(": ") + 2);
    return out;
  }

  std::string title() {
    char text[100] = {};
    GetWindowTextA(g_results.window, text, sizeof text);
    return text;
  }
};

// Database, logins and tables for two servers on an empty SQL Server; then the
// same again on what the first run left, which only finds what is there.
TEST_F(SqlSetup, AFirstRunCreatesEverythingAndASecondFindsIt) {
  start();
  const char* servers[] = {"SRV01", "SRV02"};
  EXPECT_EQ(SetupSqlForServers(nullptr, "SQL01", servers, 2), 1u);
  std::vector<std::string> creates;
  std::vector<std::string> created_rows;
  for (size_t i = 0; i < kTableNames.size(); ++i) {
    creates = creates + std::vector<std::string>{kUse, kCreateTables[i]};
    created_rows = created_rows + std::vector<std::string>{"SRV01 | Creating Table " + kTableNames[i] + " | ...",
                                                           "SRV01 | Successfully Created Table " + kTableNames[i] + " | OK"};
  }
  EXPECT_EQ(statements(), (std::vector<std::string>{kUse, "CREATE DATABASE VORNIX_for_Windows;", kLocalLogin, kLocalRole,
                                                    login("BRIGHTMERE\\SRV01$"), role("BRIGHTMERE\\SRV01$")} +
                           creates + std::vector<std::string>{login("BRIGHTMERE\\SRV02$"), role("BRIGHTMERE\\SRV02$")}));
  const std::vector<std::string> local_rows = {
      "SRV01 | Add Login for local [NT AUTHORITY\\SYSTEM] | ...",
      "SRV01 | Successfully added Login for local [NT AUTHORITY\\SYSTEM] | OK",
      "SRV01 | Add ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | ...",
      "SRV01 | Successfully added ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | OK"};
  const std::vector<std::string> registry_rows = {"SRV01 | Setting SQL Options in server registry | ...",
                                                  "SRV01 | Server processed | OK"};
  auto second_server = std::vector<std::string>{"SRV02 | Domain Found, processing server... | BRIGHTMERE",
                                                "SRV02 | Connecting to SQL Server | ..."} +
                       agent_login_rows("SRV02", "Successfully added Login for  [BRIGHTMERE\\SRV02$]") +
                       std::vector<std::string>{"SRV02 | Setting SQL Options in server registry | ...",
                                                "SRV02 | Server processed | OK"};
  EXPECT_EQ(rows(), (std::vector<std::string>{"SRV01 | Domain Found, processing server... | BRIGHTMERE",
                                              "SRV01 | Connecting to SQL Server | ...",
                                              "SRV01 | Creating VORNIX_for_Windows Database | ...",
                                              "SRV01 | Successfully created VORNIX_for_Windows Database | OK"} +
                     local_rows + agent_login_rows("SRV01", "Successfully added Login for  [BRIGHTMERE\\SRV01$]") +
                     created_rows + registry_rows + second_server));
  EXPECT_EQ(title(), "VORNIX SQL Multiple Server Setup Results");
  EXPECT_EQ(support::sql_state_text(state()),
            "database\tmaster\ndatabase\tVORNIX_for_Windows\nlogin\tNT AUTHORITY\\SYSTEM\tsysadmin\n"
            "login\tBRIGHTMERE\\SRV01$\tsysadmin\nlogin\tBRIGHTMERE\\SRV02$\tsysadmin\n"
            "table\tVORNIX_for_Windows\tFile_System_Profiles\t0\t0\n"
            "table\tVORNIX_for_Windows\tLogon_Logoff_and_Failed_Logon_Profiles\t0\t0\n"
            "table\tVORNIX_for_Windows\tActive_Directory_Profiles\t0\t0\n"
            "table\tVORNIX_for_Windows\tGPO_File_System_Profiles\t0\t0\n"
            "table\tVORNIX_for_Windows\tGPO_Active_Directory_Profiles\t0\t0\n");
  for (const char* server : {"\\\\SRV01", "\\\\SRV02"}) {
    HKEY hklm = nullptr;
    ASSERT_EQ(RegConnectRegistryA(server, HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
    std::vector<std::string> values;
    support::dump_registry(hklm, kProductKey, "VORNIX", values, true);
    RegCloseKey(hklm);
    EXPECT_EQ(values, (std::vector<std::string>{"[VORNIX]", "SQLServerForTransfer=1:SQL01|", "PerformSQLServerTransfer=4:1"}))
        << server;
  }
  EXPECT_EQ(boxes(), std::vector<std::string>{});

  // The second run, for SRV01 alone (its settings name SQL01), creates nothing twice.
  const std::string before = support::sql_state_text(state());
  const size_t sent = statements().size();
  close_results_window();
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV01", nullptr), 1u);
  EXPECT_EQ(support::sql_state_text(state()), before);
  std::vector<std::string> all = statements();
  std::vector<std::string> again(all.begin() + static_cast<long>(sent), all.end());
  EXPECT_EQ(again, (std::vector<std::string>{kUse, kLocalLogin, kLocalRole, login("BRIGHTMERE\\SRV01$"),
                                             role("BRIGHTMERE\\SRV01$")} + creates));
  std::vector<std::string> found_rows;
  for (size_t i = 0; i < kTableNames.size(); ++i)
    found_rows = found_rows + std::vector<std::string>{"SRV01 | Creating Table " + kTableNames[i] + " | ...",
                                                       "SRV01 | Table Already Exists:" + std::string(i == 0 || i == 3 ? "  " : " ") +
                                                           kTableNames[i] + " | OK"};
  EXPECT_EQ(rows(), (std::vector<std::string>{"SRV01 | Connecting to SQL Server | ...",
                                              "SRV01 | Found Existing VORNIX_for_Windows Database (already defined) | OK",
                                              "SRV01 | Add Login for local [NT AUTHORITY\\SYSTEM] | ...",
                                              "SRV01 | Already Exists: Login for [NT AUTHORITY\\SYSTEM] | OK",
                                              "SRV01 | Add ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | ...",
                                              "SRV01 | Successfully added ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | OK"} +
                     agent_login_rows("SRV01", "Already Exists: Login for [BRIGHTMERE\\SRV01$]") + found_rows));
  EXPECT_EQ(title(), "VORNIX SQL Setup Results");
  EXPECT_EQ(g_sql.error_count, 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{});
}

struct FailureCase {
  const char* name;
  std::function<void(support::WorldBuilder&)> arrange;
  std::vector<std::string> last_rows;  // the rows from "Connecting to SQL Server" on
  std::vector<std::string> boxes;      // the boxes shown, "title | text"
  LONG failures;                       // counted failed steps
  size_t tables;                       // tables the server holds afterwards
};

// Each failure ends the run (or the table step) where it should, with its rows,
// its box, its count of failed steps.
TEST_F(SqlSetup, EachFailureStopsWhereItShould) {
  start();
  const std::string cancelled = "SRV01 | Error(s) occurred, cancelling attempt to add Tables | FAIL";
  const std::string box_start = "VORNIX message from QVMR0007.DLL | SQL Driver Operation failed [-1][ffffffff]\n native Err[";
  const std::vector<std::string> created_database = {"SRV01 | Creating VORNIX_for_Windows Database | ...",
                                                     "SRV01 | Successfully created VORNIX_for_Windows Database | OK"};
  const std::vector<std::string> local = {
      "SRV01 | Add Login for local [NT AUTHORITY\\SYSTEM] | ...",
      "SRV01 | Successfully added Login for local [NT AUTHORITY\\SYSTEM] | OK",
      "SRV01 | Add ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | ...",
      "SRV01 | Successfully added ROLE sysadmin for local [NT AUTHORITY\\SYSTEM] | OK"};
  const auto logins = created_database + local + agent_login_rows("SRV01", "Successfully added Login for  [BRIGHTMERE\\SRV01$]");
  auto tables_until = [](size_t failing) {
    std::vector<std::string> out;
    for (size_t i = 0; i < failing; ++i)
      out = out + std::vector<std::string>{"SRV01 | Creating Table " + kTableNames[i] + " | ...",
                                           "SRV01 | Successfully Created Table " + kTableNames[i] + " | OK"};
    return out + std::vector<std::string>{"SRV01 | Creating Table " + kTableNames[failing] + " | ..."};
  };
  const std::vector<FailureCase> cases = {
      {"no SQL Server answers",
       [](support::WorldBuilder& w) { w.set_machine_setting("SQL01", "sqlserver", "running", "no"); },
       {"SRV01 | Error Connecting to SQL Server | Unable to continue"},
       {box_start + "17] State[08001]\nMsg[[Microsoft][ODBC SQL Server Driver][DBNETLIB]SQL Server does not exist or "
                   "access denied.]\n\nCommand Attempted [DRIVER=SQL Server;Trusted_Connection=Yes;SERVER=SQL01]"},
       1, 0},
      {"the console user may not create a database",
       [](support::WorldBuilder& w) { w.set_machine_setting("SQL01", "sqlserver", "console_login", "public"); },
       {"SRV01 | Creating VORNIX_for_Windows Database | ...", "SRV01 | Error Creating VORNIX Database | Unable to continue",
        cancelled},
       {box_start + "262] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]CREATE DATABASE permission "
                   "denied in database 'master'.]\n\nCommand Attempted [CREATE DATABASE VORNIX_for_Windows;]"},
       1, 0},
      {"the agent server's domain is not trusted",
       [](support::WorldBuilder& w) { w.set_machine_setting("SRV01", "machine", "domain", "FARAWAY"); },
       {"SRV01 | Creating VORNIX_for_Windows Database | ...",
        "SRV01 | Successfully created VORNIX_for_Windows Database | OK", local[0], local[1], local[2], local[3],
        "SRV01 | Add Login for Remote Name of VORNIX Server Agent [FARAWAY\\SRV01$] | ...",
        "SRV01 | Error, VORNIX Server [FARAWAY\\SRV01$] is UNKNOWN to SQL Server Host, if different domains check "
        "'Domain Trust' | FAIL",
        cancelled},
       {}, 0, 0},
      {"the agent's login fails otherwise: its role is still tried",
       [](support::WorldBuilder& w) { w.set_machine_setting("SQL01", "sqlserver failures", "CREATE LOGIN [BRIGHTMERE", "1105"); },
       created_database + local +
           std::vector<std::string>{"SRV01 | Add Login for Remote Name of VORNIX Server Agent [BRIGHTMERE\\SRV01$] | ...",
                                    "SRV01 | Error Creating remote VORNIX login | Unable to continue",
                                    "SRV01 | Add ROLE sysadmin for [BRIGHTMERE\\SRV01$] | ...",
                                    "SRV01 | Error Adding remote sysadmin ROLE | Unable to continue", cancelled},
       {box_start + "1105] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]Statement failed with "
                    "error 1105.]\n\nCommand Attempted [" + login("BRIGHTMERE\\SRV01$") + "]",
        box_start + "15007] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]'BRIGHTMERE\\SRV01$' is "
                   "not a valid login or you do not have permission.]\n\nCommand Attempted [" + role("BRIGHTMERE\\SRV01$") + "]"},
       0, 0},
      {"the second table fails: the later ones are not tried",
       [](support::WorldBuilder& w) { w.set_machine_setting("SQL01", "sqlserver failures", "CREATE TABLE [dbo].[Logon", "1105"); },
       logins + tables_until(1) + std::vector<std::string>{"SRV01 | Error Creating Login Tracking Table | Unable to continue"},
       {box_start + "1105] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]Statement failed with "
                    "error 1105.]\n\nCommand Attempted []"},
       1, 1},
      {"the last table fails",
       [](support::WorldBuilder& w) { w.set_machine_setting("SQL01", "sqlserver failures", "CREATE TABLE [dbo].[GPO_Active", "1105"); },
       logins + tables_until(4) +
           std::vector<std::string>{"SRV01 | Error Creating GPO_Active Directory Table | Unable to continue",
                                    "SRV01 | Error(s) occurred while adding Tables to VORNIX_for_Windows Database | FAIL"},
       {box_start + "1105] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]Statement failed with "
                    "error 1105.]\n\nCommand Attempted []"},
       1, 4},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    support::WorldBuilder world;
    world.add_machine("SRV01", "127.0.0.2");
    support::add_sql_server(world, "SQL01", "127.0.0.9");
    c.arrange(world);
    world.open();
    g_sql.error_count = 0;
    ui::clear_journal();
    open_window();
    EXPECT_EQ(SetupSqlDatabase("SQL01", world::machine_domain(*world::find_machine("SRV01")).c_str(), "SRV01"), 0u);
    std::vector<std::string> all = rows();
    ASSERT_GE(all.size(), 1u);
    EXPECT_EQ(all[0], "SRV01 | Connecting to SQL Server | ...");
    EXPECT_EQ(std::vector<std::string>(all.begin() + 1, all.end()), c.last_rows);
    EXPECT_EQ(boxes(), c.boxes);
    EXPECT_EQ(g_sql.error_count, c.failures);
    EXPECT_EQ(support::read_sql_state(world.machine_dir("SQL01")).tables.size(), c.tables);
    close_results_window();
  }
}

// A name built to close its quotes and add statements stays one name: the
// server receives the statements it was meant to, and grants nothing else.
TEST_F(SqlSetup, NamesAreQuotedNotTrusted) {
  const std::string bracket = "SRV09$] FROM WINDOWS; CREATE LOGIN [BRIGHTMERE\\mallory] FROM WINDOWS; --";
  const std::string quote = "SRV08', 'sysadmin'; EXEC sp_addsrvrolemember 'BRIGHTMERE\\mallory', 'sysadmin'; --";
  support::SqlServerState given;
  given.databases.push_back("VORNIX_for_Windows");
  given.logins = {{"BRIGHTMERE\\mallory", {}}, {"BRIGHTMERE\\" + quote + "$", {}}};
  support::write_sql_state(world_.machine_dir("SQL01"), given);
  start();
  open_window();
  EXPECT_EQ(AddAgentSqlLogin("SQL01", "BRIGHTMERE", bracket.c_str()), 0u);
  EXPECT_EQ(AddAgentSqlLogin("SQL01", "BRIGHTMERE", quote.c_str()), 0u);
  const std::string doubled = "SRV09$]] FROM WINDOWS; CREATE LOGIN [BRIGHTMERE\\mallory]] FROM WINDOWS; --";
  const std::string quoted = "SRV08'', ''sysadmin''; EXEC sp_addsrvrolemember ''BRIGHTMERE\\mallory'', ''sysadmin''; --";
  EXPECT_EQ(statements(), (std::vector<std::string>{login("BRIGHTMERE\\" + doubled + "$"), login("BRIGHTMERE\\" + quote + "$"),
                                                    role("BRIGHTMERE\\" + quoted + "$")}));
  // The first is no Windows account; the second exists and alone gets the role.
  EXPECT_EQ(rows()[2], bracket + " | Error, VORNIX Server [BRIGHTMERE\\" + bracket +
                           "$] is UNKNOWN to SQL Server Host, if different domains check 'Domain Trust' | FAIL");
  support::SqlServerState after = state();
  ASSERT_EQ(after.logins.size(), 2u);
  EXPECT_EQ(after.logins[0].roles, std::vector<std::string>{});
  EXPECT_EQ(after.logins[1].roles, std::vector<std::string>{"sysadmin"});
  EXPECT_EQ(boxes(), std::vector<std::string>{});

  // A SQL Server name that would add attributes to the connection string is refused; nothing is sent.
  ui::clear_journal();
  const size_t sent = statements().size();
  EXPECT_EQ(SetupSqlDatabase("SQL01;Database=master", "BRIGHTMERE", "SRV01"), 0u);
  EXPECT_EQ(statements().size(), sent);
  EXPECT_EQ(boxes(), std::vector<std::string>{"UNABLE TO CONTINUE | The SQL Server name [SQL01;Database=master] holds "
                                              "';', '{' or '}', or is too long, and cannot be put into a connection "
                                              "string.\n\nNothing was sent to it."});
  EXPECT_EQ(rows().back(), "SRV01 | Error Connecting to SQL Server | Unable to continue");
  EXPECT_EQ(g_sql.error_count, 1);
}

// Each table's rows and data size as sp_spaceused gives them, cut to the bound
// widths; a missing table is left out, except the first and the fourth, whose
// failure ends the listing with a box.
TEST_F(SqlSetup, TableSizesAreListedAsTheServerGivesThem) {
  support::SqlServerState given;
  given.databases.push_back("VORNIX_for_Windows");
  given.tables = {{"VORNIX_for_Windows", "File_System_Profiles", 1234, 5678},
                  {"VORNIX_for_Windows", "Active_Directory_Profiles", 12345678901234ull, 123456789012345ull},
                  {"VORNIX_for_Windows", "GPO_File_System_Profiles", 0, 0}};
  support::write_sql_state(world_.machine_dir("SQL01"), given);
  start();
  HWND screen = CreateWindowExA(0, "VornixScreen", "SQL", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, "SysListView32", "", WS_CHILD, 0, 0, 100, 100, screen, nullptr, nullptr, nullptr);
  auto listed = [&] {
    std::vector<std::string> out;
    for (const support::ListRow& r : support::list_rows(list))
      out.push_back(r.text + " | " + reinterpret_cast<const char*>(r.record + kItemSqlRows) + " | " +
                    reinterpret_cast<const char*>(r.record + kItemSqlData));
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    return out;
  };
  BYTE record[kListItemBytes] = {};
  EXPECT_EQ(ReportSqlTableSizes("SQL01", list, screen, record), 0u);
  // rows is char(20), blank-padded, so it is always cut to 10 characters; data to 17.
  EXPECT_EQ(listed(), (std::vector<std::string>{"File_System_Profiles | 1234       | 5678 KB",
                                                "Active_Directory_Profiles | 1234567890 | 123456789012345 K",
                                                "GPO_File_System_Profiles | 0          | 0 KB"}));
  EXPECT_EQ(boxes(), std::vector<std::string>{});
  std::vector<std::string> sent = statements();
  EXPECT_EQ(sent, (std::vector<std::string>{kUse, "EXEC sp_spaceused 'File_System_Profiles';",
                                            "EXEC sp_spaceused 'Logon_Logoff_and_Failed_Logon_Profiles';",
                                            "EXEC sp_spaceused 'Active_Directory_Profiles';",
                                            "EXEC sp_spaceused 'GPO_File_System_Profiles';",
                                            "EXEC sp_spaceused 'GPO_Active_Directory_Profiles';"}));

  // Without the fourth table the listing ends there, with its error shown.
  given.tables.pop_back();
  support::write_sql_state(world_.machine_dir("SQL01"), given);
  EXPECT_EQ(ReportSqlTableSizes("SQL01", list, screen, record), 0u);
  EXPECT_EQ(listed().size(), 2u);
  EXPECT_EQ(boxes(), std::vector<std::string>{
                         "VORNIX message from QVMR0007.DLL | SQL Driver Operation failed [-1][ffffffff]\n native "
                         "Err[15009] State[37000]\nMsg[[Microsoft][ODBC SQL Server Driver][SQL Server]The object "
                         "'GPO_File_System_Profiles' does not exist in database 'VORNIX_for_Windows' or is invalid for "
                         "this operation.]\n\nCommand Attempted [EXEC sp_spaceused 'GPO_File_System_Profiles';]"});

  // A SQL Server that does not answer gives its row, silently.
  ui::clear_journal();
  EXPECT_EQ(ReportSqlTableSizes("NOSUCH", list, screen, record), 0u);
  std::vector<support::ListRow> failure = support::list_rows(list);
  ASSERT_EQ(failure.size(), 1u);
  EXPECT_EQ(failure[0].text, "Error Connecting to SQL Server");
  EXPECT_STREQ(reinterpret_cast<const char*>(failure[0].record + kItemSqlOutcome), "Unable to continue");
  EXPECT_EQ(boxes(), std::vector<std::string>{});
}

// The checks before the setup of one server, each with its box and no results window.
TEST_F(SqlSetup, ChecksBeforeTheSetupOfOneServer) {
  world_.add_machine("SRV03", "127.0.0.4");
  world_.add_registry_text("SRV03", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                           "\"SQLServerForTransfer\"=\"<server offline, cannot retrieve>\"\r\n\r\n");
  world_.set_machine_setting("SRV01", "faults", "workstation_info", "5");
  start();
  BYTE offline[kListItemBytes] = {}, refused[kListItemBytes] = {};
  offline[kItemByteReachability] = kUnreachable;
  set_item_word(refused, kItemWordAgentState, kAgentPermissionError);
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV01", offline), 0u);
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV01", refused), 0u);
  g_library.styled_dialog_mode = 1;
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV01", refused), 0u);
  g_library.styled_dialog_mode = 0;
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV02", nullptr), 0u);  // names no SQL Server
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV03", nullptr), 0u);  // holds the placeholder
  EXPECT_EQ(SetupSqlForServer(nullptr, "SRV01", nullptr), 0u);  // its domain cannot be read
  const char* one[] = {"SRV01"};
  EXPECT_EQ(SetupSqlForServers(nullptr, "SQL01", one, 1), 0u);
  const std::string refusal = "Unable to connect to Server SRV01 to perform SQL setup.  Perhaps your current logon "
                              "credentials to that server lack sufficient permissions to connect to its Registry.";
  std::vector<std::string> shown;
  for (const ui::JournalEntry& e : ui::journal()) shown.push_back(e.title + " | " + e.text);
  EXPECT_EQ(shown, (std::vector<std::string>{
                       "SERVER OFFLINE | Server SRV01 is currently offline, unable to perform SQL setup.",
                       "SERVER OFFLINE | " + refusal, "ACCESS DENIED TO SERVER | ACCESS DENIED TO SERVER\n" + refusal,
                       "UNABLE TO CONTINUE | No SQL Server Name defined, unable to continue.",
                       "UNABLE TO CONTINUE | No SQL Server Name defined, unable to continue.",
                       "UNABLE TO CONTINUE | Unable to get domain for server [SRV01], unable to continue.",
                       "UNABLE TO CONTINUE | Unable to get domain for server, unable to continue"}));
  EXPECT_EQ(g_results.window, nullptr);
  EXPECT_EQ(statements(), std::vector<std::string>{});

  // Among several servers, one whose domain cannot be read is skipped; the next gets the full preparation.
  ui::clear_journal();
  const char* two[] = {"SRV01", "SRV02"};
  EXPECT_EQ(SetupSqlForServers(nullptr, "SQL01", two, 2), 1u);
  std::vector<std::string> all = rows();
  EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 3),
            (std::vector<std::string>{"SRV01 | Unable to process server | Unable to determine domain for server SRV01",
                                      "SRV02 | Domain Found, processing server... | BRIGHTMERE",
                                      "SRV02 | Connecting to SQL Server | ..."}));
  EXPECT_EQ(all.back(), "SRV02 | Server processed | OK");
  EXPECT_EQ(state().tables.size(), 5u);
}

// The buttons as the host presses them: the setup of the companion list's selected servers with the screen's
// SQL Server field, and the two jobs of the current server (here the console itself, which names no SQL Server).
TEST_F(SqlSetup, TheButtonsReachTheirJobs) {
  start();
  HWND screen = host::create_screen(61, "SQL");
  HWND servers = host::add_control(screen, 1001, WC_LISTVIEWA, "", host::ControlSpec{});
  support::insert_list_rows(servers, {{"SRV01", nullptr}, {"SRV02", nullptr}, {"SRV03", nullptr}});
  LVITEMA selected = {};
  selected.stateMask = LVIS_SELECTED;
  selected.state = LVIS_SELECTED;
  for (WPARAM row : {0, 1}) SendMessageA(servers, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
  host::add_control(screen, 1002, "Edit", "SQL01", host::ControlSpec{0x603800DA, kDescriptorEditField});
  auto press = [&](uint32_t id, int item) {
    HWND button = host::add_control(screen, item, "Button", "", host::ControlSpec{id, kDescriptorPushButton, 61, 1001});
    return entry_point_button_services(screen, 0, host::descriptor_of(button));
  };
  EXPECT_EQ(press(0x603100DC, 1100), 1u);
  EXPECT_EQ(state().tables.size(), 5u);
  const std::string made = support::sql_state_text(state());
  for (const char* login : {"login\tBRIGHTMERE\\SRV01$\tsysadmin", "login\tBRIGHTMERE\\SRV02$\tsysadmin"})
    EXPECT_NE(made.find(login), std::string::npos) << login;
  EXPECT_EQ(made.find("SRV03"), std::string::npos);
  close_results_window();
  ui::clear_journal();
  EXPECT_EQ(press(0x603100E2, 1101), 0u);
  EXPECT_EQ(press(0x603140D0, 1102), 0u);
  EXPECT_EQ(boxes(), (std::vector<std::string>{"UNABLE TO CONTINUE | No SQL Server Name defined, unable to continue.",
                                               "UNABLE TO CONTINUE | No SQL Server Name defined, unable to continue."}));
}

}  // namespace
