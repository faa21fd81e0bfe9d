// The removal run: what it takes from a server and what it leaves, a server
// without the agent, an agent that will not stop, and the sibling product's
// install and removal.
#include <fstream>

#include "tests/deploy/deploy_fixture.h"

namespace deploy_test {
namespace {

using Removal = DeployTest;
using Rows = std::vector<std::string>;

void write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << text;
}

TEST_F(Removal, InstallThenRemoveLeavesTheServerAsBeforeSaveWhatTheRemovalKeeps) {
  start();
  const Rows files_before = files("SRV64", "");
  ASSERT_EQ(run(kModeInstallAndStart, "SRV64", "VNXLOGS$").back(), "SRV64 | Installation Complete | <done> (1)");
  // The agent's logs, staged and shared; vnx_sa2.dll already gone.
  write(world_.machine_dir("SRV64") + "/shares/C$/Windows/System32/drivers/vornix/staged.vnx", "log");
  write(world_.machine_dir("SRV64") + "/shares/VNXLOGS$/vnxlogs/archived_logs/old.vnx", "log");
  std::filesystem::remove(world_.machine_dir("SRV64") + "/shares/C$/Windows/SysWOW64/vnx_sa2.dll");
  g_deploy.removal_options = kRemoveStagingLogs | kRemoveSharedLogs | kRemoveRegistryKeys;
  const std::string staging = "\\\\SRV64\\C$\\Windows\\system32\\drivers\\vornix";
  const std::string shared = "\\\\SRV64\\VNXLOGS$\\vnxlogs";
  EXPECT_EQ(run(kModeRemove, "SRV64"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXW Stopped (5)",
                  "SRV64 | processing... | VORNIXWService set to be deleted (5)",
                  "SRV64 | Deleting VORNIX Server Agent Files | ... (243)",
                  "SRV64 | processing... | VNX *deleted (5)",
                  "SRV64 | About Removal of Agent | Final Removal will occur after next reboot, agent files removed (5)",
                  "SRV64 | Setting files to NORMAL ACCESS prior to Delete | ... (255)",
                  "SRV64 | Checking for subdirectories of [" + staging + "] | ... (255)",
                  "SRV64 | ERASING SUBDIRECTORY [" + staging + "] | ... (255)",
                  "SRV64 | Setting files to NORMAL ACCESS prior to Delete | ... (255)",
                  "SRV64 | Checking for subdirectories of [" + shared + "] | ... (255)",
                  "SRV64 | Setting files to NORMAL ACCESS prior to Delete | ... (255)",
                  "SRV64 | Checking for subdirectories of [" + shared + "\\ARCHIV~1] | ... (255)",
                  "SRV64 | ERASING SUBDIRECTORY [" + shared + "\\ARCHIV~1] | ... (255)",
                  "SRV64 | ERASING SUBDIRECTORY [" + shared + "] | ... (255)"}));
  // Left: the replace-on-restart copies (the agent renames them when the server restarts), the
  // kernel driver's service, and the product key without its subkeys.
  Rows expected = files_before;
  for (const char* file : {"vnx_x64b.NEW", "vnxlwa32.NEW", "vnxlwa64.NEW"})
    expected.push_back(std::string("Windows/SysWOW64/") + file);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files("SRV64", ""), expected);
  EXPECT_EQ(services("SRV64"), Rows{"VNXW_K64 1 3 %SystemRoot%\\system32\\drivers\\vnxw_k64.sys 1"});
  EXPECT_EQ(registry("SRV64", "SYSTEM\\CurrentControlSet\\Services"),
            (Rows{"Services", "Services\\VNXW_K64", "Services\\VNXW_K64:Type=4:1", "Services\\VNXW_K64:Start=4:3",
                  "Services\\VNXW_K64:ErrorControl=4:1",
                  "Services\\VNXW_K64:ImagePath=2:%SystemRoot%\\system32\\drivers\\vnxw_k64.sys|",
                  "Services\\VNXW_K64:DisplayName=1:VORNIXW 64bit Kernel Driver|"}));
  EXPECT_EQ(registry("SRV64", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX"),
            (Rows{"VORNIX", "VORNIX:LastUpdateDate=4:1796551201", "VORNIX:OriginalInstallDate=4:1796551201",
                  "VORNIX:ReportPath=1:VNXLOGS$|"}));

  // Again: nothing is installed, nothing is deleted; the logs are gone already.
  g_deploy.removal_options = kRemoveSharedLogs;
  EXPECT_EQ(run(kModeRemove, "SRV64"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXW not installed on this machine (5)",
                  "SRV64 | Deleting VORNIX Server Agent Files | ... (243)",
                  "SRV64 | About Removal of Agent | [144][3]Agent Files were NOT removed (5)",
                  "SRV64 | Setting files to NORMAL ACCESS prior to Delete | ... (255)",
                  "SRV64 | Checking for subdirectories of [" + shared + "] | ... (255)",
                  "SRV64 | ERASING SUBDIRECTORY [" + shared + "] | ... (255)",
                  "SRV64 | Remove Directory | Unexpected Error [2] on REMOVE DIRECTORY\n\n[" + shared + "] (67)"}));
}

TEST_F(Removal, FilesThatCannotBeDeletedStayAndTheRunEndsWithTheirError) {
  support::add_agent_server(world_, "SRV01", "127.0.0.5", "Windows Server 2012 R2 Standard", true);
  support::add_installed_agent(world_, "SRV01");
  support::add_agent_server(world_, "OFF01", "127.0.0.6", "Windows Server 2012 R2 Standard", true);
  world_.set_machine_setting("OFF01", "faults", "scm_open", "1722");
  support::add_agent_server(world_, "NT01", "127.0.0.7", "Windows Server 2012 R2 Standard", true);
  support::add_installed_agent(world_, "NT01");
  world_.add_registry_text("NT01", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                           "\"SystemRoot\"=\"C:\\\\WINNT\"\r\n\r\n");
  start();
  set_service("SRV01", "vornixwservice", "ignores_stop", "yes");
  const std::string program = "\\\\SRV01\\C$\\Windows\\sysWOW64\\VORNIXW.EXE";
  g_deploy.removal_options = kRemoveRegistryKeys;
  EXPECT_EQ(run(kModeRemove, "SRV01"),
            (Rows{"SRV01 | Connecting to Registry | ... (58)",
                  "SRV01 | Connecting to Service Control Manager | ... (58)",
                  "SRV01 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV01 | processing... | Unable to STOP VORNIXW Service - could be in DEBUG mode (67)",
                  "SRV01 | processing... | VORNIXWService set to be deleted (5)",
                  "SRV01 | Deleting VORNIX Server Agent Files | ... (243)",
                  "SRV01 | processing... | Error [32] removing file [" + program + "] (67)",
                  "SRV01 | About Removal of Agent | [86][3]Agent Files were NOT removed (5)"}));
  EXPECT_EQ(services("SRV01"), (Rows{"VNXW_K64 1 3 %SystemRoot%\\system32\\drivers\\vnxw_k64.sys 1",
                                     "VORNIXWService 16 2 %SystemRoot%\\sysWOW64\\vornixw.exe 4 marked"}));
  EXPECT_EQ(files("SRV01").size(), support::agent_file_set("64W").size());
  EXPECT_EQ(registry("SRV01", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX").size(), 3u) << "subkeys removed";

  // A system root whose folder the share does not have: every file stays, and the run says so.
  const Rows installed = files("NT01");
  const std::string moved = "\\\\NT01\\C$\\WINNT\\sysWOW64\\VORNIXW.EXE";
  EXPECT_EQ(run(kModeRemove, "NT01"),
            (Rows{"NT01 | Connecting to Registry | ... (58)",
                  "NT01 | Connecting to Service Control Manager | ... (58)",
                  "NT01 | Stopping VORNIX Server Agent | ... (5)",
                  "NT01 | processing... | VORNIXW Stopped (5)",
                  "NT01 | processing... | VORNIXWService set to be deleted (5)",
                  "NT01 | Deleting VORNIX Server Agent Files | ... (243)",
                  "NT01 | processing... | Error [3] setting files attributes for [" + moved + "]. (67)",
                  "NT01 | processing... | Error [3] removing file [" + moved + "] (67)",
                  "NT01 | About Removal of Agent | [2e][3]Agent Files were NOT removed (5)"}));
  EXPECT_EQ(files("NT01"), installed);

  // Without the service control manager nothing is stopped or deleted.
  EXPECT_EQ(run(kModeRemove, "OFF01"),
            (Rows{"OFF01 | Connecting to Registry | ... (58)",
                  "OFF01 | Connecting to Service Control Manager | ... (58)",
                  "OFF01 | Open Service Control Manager | FAILED to open ServiceCtrlMgr.[1722] (67)",
                  "OFF01 | About Removal of Agent | [3][3]Agent Files were NOT removed (5)"}));
}

TEST_F(Removal, TheSiblingProductInstallsAndRemovesItsOneService) {
  start();
  g_library.sibling_mode = 1;
  EXPECT_EQ(run(kModeInstallAndStart, "SRV64", "QVLOGS"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping QVAWKQ Server Agent | ... (5)",
                  "SRV64 | Copying Agent Files | ... (246)",
                  "SRV64 | processing... | QVAWKQ Server Agent files successfully copied (5)",
                  "SRV64 | Installing QVAWKQ Service | ... (5)",
                  "SRV64 | processing... | QVAWKQ Service 1 of 1 INSTALLED OK (5)",
                  "SRV64 | Starting QVAWKQ Server Agent | ... (5)",
                  "SRV64 | processing... | QVAWKQ Service Started (5)",
                  "SRV64 | Installation Complete | <done> (1)"}));
  EXPECT_EQ(files("SRV64"), (Rows{"SysWOW64/drivers/QVAWKQ.EXE", "SysWOW64/drivers/qvawkq.dll"}));
  EXPECT_EQ(services("SRV64"), Rows{"QVAWKQService 16 2 %SystemRoot%\\sysWow64\\drivers\\qvawkq.exe 4"});
  EXPECT_EQ(registry("SRV64", "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ"),
            (Rows{"QVAWKQ", "QVAWKQ:ReportPath=1:QVLOGS|"}));
  EXPECT_EQ(registry("SRV64", "SYSTEM\\CurrentControlSet\\Services\\QVAWKQService").back(),
            "QVAWKQService:Description=1:QVAWKQ agent: guards the accounts and groups of this server|");
  // A folder that is not there is no absent file: the files are not counted as removed.
  const std::filesystem::path drivers = world_.machine_dir("SRV64") + "/shares/C$/Windows/SysWOW64/drivers";
  std::filesystem::rename(drivers, drivers.parent_path() / "moved");
  const std::string program = "\\\\SRV64\\C$\\Windows\\sysWow64\\drivers\\QVAWKQ.EXE";
  EXPECT_EQ(run(kModeRemove, "SRV64"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping QVAWKQ Server Agent | ... (5)",
                  "SRV64 | processing... | QVAWKQ Stopped (5)",
                  "SRV64 | processing... | QVAWKQService set to be deleted (5)",
                  "SRV64 | Deleting QVAWKQ Server Agent Files | ... (243)",
                  "SRV64 | processing... | Error [3] setting files attributes for [" + program + "]. (67)",
                  "SRV64 | processing... | Error [3] removing file [" + program + "] (67)",
                  "SRV64 | About Removal of Agent | [2e][3]Agent Files were NOT removed (5)"}));
  EXPECT_TRUE(services("SRV64").empty());
  EXPECT_EQ(files("SRV64"), (Rows{"SysWOW64/moved/QVAWKQ.EXE", "SysWOW64/moved/qvawkq.dll"}));
}

}  // namespace
}  // namespace deploy_test
