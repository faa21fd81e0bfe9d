// The SQL commands as a user runs them on the demo network, and a real
// driver's connection failure (FreeTDS against a closed port) and a missing
// driver reaching the error box.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "sim/sql_server.h"
#include "tests/console/console_fixture.h"

namespace {

class SqlCommands : public support::DemoConsoleTest {
 protected:
  // The console on the demo network with its ODBC drivers registered as given.
  support::ProgramRun console(support::OdbcRegistration drivers, const std::string& arguments) {
    const std::string registered = support::odbc_registration_folder(drivers);
    return support::run_program("/usr/bin/env", "ODBCSYSINI='" + registered + "' '" + VORNIX_CONSOLE_PATH + "' " +
                                                    arguments + " --world '" + world_ + "'");
  }
};

// A loopback port that nothing listens on: bound once, then closed.
int closed_port() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

TEST_F(SqlCommands, TheDemoNetworkIsSetUpOnceAndItsTablesListed) {
  // Before the setup there is no database: the sizes say what to run, not the driver's words about 'master'.
  support::ProgramRun early = console(support::OdbcRegistration::kProjectDriver, "sql-sizes --server SRV01");
  EXPECT_EQ(early.exit_code, 1);
  EXPECT_EQ(early.output, "vornix-console: SRV01: the VORNIX_for_Windows database is not set up on its SQL Server "
                          "(vornix-console sql-setup --server SRV01 sets it up)\n");
  support::ProgramRun first = console(support::OdbcRegistration::kProjectDriver, "sql-setup --server SRV01");
  ASSERT_EQ(first.exit_code, 0) << first.output;
  EXPECT_NE(first.output.find("0021: SRV01 | Successfully Created Table GPO_Active_Directory_Profiles"), std::string::npos)
      << first.output;
  // Each step shows once: a step begun is followed by its outcome row, which alone is kept.
  for (const char* table : {"File_System_Profiles", "Active_Directory_Profiles", "GPO_Active_Directory_Profiles"}) {
    size_t rows = 0;
    for (size_t at = first.output.find(std::string(" Table ") + table + " |"); at != std::string::npos;
         at = first.output.find(std::string(" Table ") + table + " |", at + 1))
      ++rows;
    EXPECT_EQ(rows, 1u) << table << "\n" << first.output;
  }
  support::ProgramRun sizes = console(support::OdbcRegistration::kProjectDriver, "sql-sizes --server SRV01");
  ASSERT_EQ(sizes.exit_code, 0) << sizes.output;
  EXPECT_EQ(sizes.output,
            "Tables of VORNIX_for_Windows on the SQL Server of SRV01:\n"
            "  table                                      rows         data\n"
            "  File_System_Profiles                       0            0 KB\n"
            "  Logon_Logoff_and_Failed_Logon_Profiles     0            0 KB\n"
            "  Active_Directory_Profiles                  0            0 KB\n"
            "  GPO_File_System_Profiles                   0            0 KB\n"
            "  GPO_Active_Directory_Profiles              0            0 KB\n");
  // Both servers at once on the SQL Server given: SRV01's tables are found, SRV02 gets its login.
  support::ProgramRun again = console(support::OdbcRegistration::kProjectDriver,
                                      "sql-setup --server SRV01 --server SRV02 --sql-server SQL01");
  ASSERT_EQ(again.exit_code, 0) << again.output;
  EXPECT_EQ(again.output.find("Successfully created"), std::string::npos) << again.output;
  EXPECT_NE(again.output.find("Table Already Exists:  GPO_File_System_Profiles"), std::string::npos);
  EXPECT_NE(again.output.find("Successfully added Login for  [BRIGHTMERE\\SRV02$]"), std::string::npos);
}

TEST_F(SqlCommands, ARealDriversFailureAndAMissingDriverReachTheErrorBox) {
  const std::string server = "127.0.0.1," + std::to_string(closed_port());
  support::ProgramRun tds =
      console(support::OdbcRegistration::kFreeTds, "sql-setup --server SRV01 --sql-server " + server);
  EXPECT_NE(tds.exit_code, 0);
  EXPECT_NE(tds.output.find("  [message box] VORNIX message from QVMR0007.DLL: SQL Driver Operation failed "
                            "[-1][ffffffff]  native Err[0] State[S1000] Msg[[FreeTDS][SQL Server]Unable to connect "
                            "to data source]  Command Attempted [DRIVER=SQL Server;Trusted_Connection=Yes;SERVER=" +
                            server + "]"),
            std::string::npos)
      << tds.output;
  EXPECT_NE(tds.output.find("0004: SRV01 | A B O R T I N G"), std::string::npos) << tds.output;

  support::ProgramRun none = console(support::OdbcRegistration::kNone, "sql-setup --server SRV01");
  EXPECT_NE(none.exit_code, 0);
  EXPECT_NE(none.output.find("Msg[[unixODBC][Driver Manager]Can't open lib 'SQL Server' : file not found]"),
            std::string::npos)
      << none.output;
  EXPECT_NE(none.output.find("0002: SRV01 | Error Connecting to SQL Server"), std::string::npos) << none.output;
}

}  // namespace
