// The install run on the library's code linked into the test: each platform's
// file set and places, the rows of a first installation and of updates, the
// copy retries on a held file, and the faults that end a run.
#include <fstream>

#include "tests/deploy/deploy_fixture.h"

namespace deploy_test {
namespace {

using Install = DeployTest;
using Rows = std::vector<std::string>;

const std::string kSource = "C:\\Program Files\\Brightmere\\VORNIX\\64W\\";

Rows with_prefix(const std::string& prefix, const Rows& names) {
  Rows out;
  for (const std::string& name : names) out.push_back(prefix + name);
  return out;
}

TEST_F(Install, EachPlatformGetsItsFileSetInItsPlaces) {
  support::add_agent_server(world_, "WIN10", "127.0.0.4", "Windows 10 Pro", true);  // no listed word: 32-bit
  support::add_agent_server(world_, world_.console(), "127.0.0.1", "Windows Server 2016 Standard", true);
  support::add_agent_server(world_, "LIB64", "127.0.0.5", "Windows Server 2012 R2 Standard", true);
  start();
  const Rows x64_files = {"SysWOW64/VORNIXW.EXE",
                          "SysWOW64/chartdir51.dll",
                          "SysWOW64/drivers/vornix/vnxwk646.cat",
                          "SysWOW64/drivers/vornix/vnxwk646.cer",
                          "SysWOW64/drivers/vornix/vnxwk646.inf",
                          "SysWOW64/qvmr0007.dll",
                          "SysWOW64/vnx_sa2.dll",
                          "SysWOW64/vnx_x64a.exe",
                          "SysWOW64/vnx_x64b.NEW",
                          "SysWOW64/vnxlwa32.NEW",
                          "SysWOW64/vnxlwa64.NEW",
                          "SysWOW64/vnxsqlxf.exe",
                          "SysWOW64/vnxwccr.exe",
                          "SysWOW64/zovuruve.dll"};
  const Rows x86_files =
      with_prefix("System32/drivers/", {"VNXW_K32.SYS", "VORNIXW.EXE", "chartdir51.dll", "qvmr0007.dll", "vnx_sa2.dll",
                                        "vnx_x32a.dll", "vnxlwa32.NEW", "vnxsqlxf.exe", "vnxwccr.exe", "zovuruve.dll"});
  Rows remote_x64 = x64_files, local_x64 = x64_files, without_libraries = x64_files;
  for (const char* driver : {"VNXWK646.SYS", "VNXW_K64.SYS"}) {
    remote_x64.push_back(std::string("System32/drivers/") + driver);
    local_x64.push_back(std::string("sysnative/drivers/") + driver);  // this computer: not through the share
  }
  without_libraries.erase(without_libraries.begin() + 9, without_libraries.begin() + 11);
  without_libraries.push_back("System32/drivers/VNXWK646.SYS");
  without_libraries.push_back("System32/drivers/VNXW_K64.SYS");
  const std::string x64_agent = "VORNIXWService 16 2 %SystemRoot%\\sysWOW64\\vornixw.exe ";
  const std::string x64_driver = "VNXW_K64 1 3 %SystemRoot%\\system32\\drivers\\vnxw_k64.sys 1";
  const std::string x86_agent = "VORNIXWService 16 2 %SystemRoot%\\system32\\drivers\\vornixw.exe 4";
  const std::string x86_driver = "VNXW_K32 1 3 %SystemRoot%\\system32\\drivers\\vnxw_k32.sys 1";
  const struct {
    std::string server;
    int mode;
    Rows files;
    Rows services;
  } cases[] = {
      {"SRV64", kModeInstallAndStart, remote_x64, {x64_driver, x64_agent + "4"}},
      {"SRV32", kModeInstallAndStart, x86_files, {x86_driver, x86_agent}},
      {"WIN10", kModeInstallAndStart, x86_files, {x86_driver, x86_agent}},
      {world_.console(), kModeInstallAndStart, local_x64, {x64_driver, x64_agent + "4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    EXPECT_EQ(run(c.mode, c.server.c_str()).back(), c.server + " | Installation Complete | <done> (1)");
    Rows found = files(c.server);
    std::sort(found.begin(), found.end());
    Rows expected = c.files;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(services(c.server), c.services);
  }
  // Without the VNXLWA libraries, and without starting the agent.
  EXPECT_EQ(run(162, "LIB64").back(), "LIB64 | Installation Complete | <done> (1)");
  Rows found = files("LIB64");
  std::sort(found.begin(), found.end());
  std::sort(without_libraries.begin(), without_libraries.end());
  EXPECT_EQ(found, without_libraries);
  EXPECT_EQ(services("LIB64"), (Rows{x64_driver, x64_agent + "1"}));
  // The copies are the source's bytes.
  std::ifstream copied(world_.machine_dir("LIB64") + "/shares/C$/Windows/SysWOW64/VORNIXW.EXE");
  std::string content((std::istreambuf_iterator<char>(copied)), {});
  EXPECT_EQ(content, "stand-in for 64W\\VORNIXW.EXE\n");
}

TEST_F(Install, AFirstInstallationAndTheUpdatesAfterItReportEveryStep) {
  start();
  EXPECT_EQ(run(kModeInstallAndStart, "SRV64", "VNXLOGS$"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV64 | Copying Agent Files | ... (246)",
                  "SRV64 | processing... | VORNIX Server Agent files successfully copied (5)",
                  "SRV64 | Installing VORNIX Service | ... (5)",
                  "SRV64 | processing... | VORNIXW Service 1 of 2 INSTALLED OK (5)",
                  "SRV64 | processing... | VORNIXW Service 2 of 2 INSTALLED OK (5)",
                  "SRV64 | Starting VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXW Service Started (5)",
                  "SRV64 | Installation Complete | <done> (1)"}));
  EXPECT_EQ(registry("SRV64", "SYSTEM\\CurrentControlSet\\Services\\VORNIXWService")[4],
            "VORNIXWService:ImagePath=2:%SystemRoot%\\sysWOW64\\vornixw.exe|");
  EXPECT_EQ(registry("SRV64", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX"),
            (Rows{"VORNIX", "VORNIX:LastUpdateDate=4:1796551201", "VORNIX:OriginalInstallDate=4:1796551201",
                  "VORNIX:ReportPath=1:VNXLOGS$|", "VORNIX\\Enterprise", "VORNIX\\Profiles", "VORNIX\\Reports"}));

  // An update stops the running agent first; the services are there, the copy points them at the new program.
  EXPECT_EQ(run(kModeInstallAndStart, "SRV64"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXW Stopped (5)",
                  "SRV64 | Copying Agent Files | ... (246)",
                  "SRV64 | processing... | VORNIX Server Agent files successfully copied (5)",
                  "SRV64 | Installing VORNIX Service | ... (5)",
                  "SRV64 | processing... | VORNIX Service already installed (5)",
                  "SRV64 | Starting VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXW Service Started (5)",
                  "SRV64 | Installation Complete | <done> (1)"}));
  EXPECT_EQ(registry("SRV64", "SYSTEM\\CurrentControlSet\\Services\\VORNIXWService")[4],
            "VORNIXWService:ImagePath=2:%SystemRoot%\\SYSwow64\\vornixw.exe|");

  // Mode 8 leaves a running agent alone.
  EXPECT_EQ(run(kModeUpdateIfStopped, "SRV64"),
            (Rows{"SRV64 | Connecting to Registry | ... (58)",
                  "SRV64 | Connecting to Service Control Manager | ... (58)",
                  "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                  "SRV64 | processing... | VORNIXWService is running - do not update (5)",
                  "SRV64 | Copying Agent Files | ... (246)",
                  "SRV64 | processing... | File Copy Aborted (5)",
                  "SRV64 | Installation Complete | [2][3]Errors encountered, not installed (67)"}));
}

TEST_F(Install, ACopyHeldOpenIsTriedFifteenTimesTwoSecondsApartWhileItsSourceIsThere) {
  // A program of another service that ends within five seconds, a library held open by another
  // process, a replace-on-restart library held open, and two sources missing.
  const std::string windows = world_.machine_dir("SRV64") + "/shares/C$/Windows/SysWOW64/";
  for (const char* file : {"vnxwccr.exe", "qvmr0007.dll", "vnxlwa32.NEW"}) std::ofstream(windows + file) << "old";
  std::ofstream(world_.machine_dir("SRV64") + "/services.ini")
      << "[reporter]\nname = Reporter\nimage = %SystemRoot%\\syswow64\\vnxwccr.exe\nstate = stop_pending\n"
         "settles_at = 1796551205000\nsettles_to = stopped\n";
  const std::string product = world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX/64W/";
  std::filesystem::remove(product + "chartdir51.dll");
  std::filesystem::remove(product + "vnxlwa64.dll");
  start();
  const std::string share = "\\\\SRV64\\C$\\Windows\\";
  HANDLE held = CreateFileA((share + "SysWOW64\\qvmr0007.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE held_library =
      CreateFileA((share + "SysWOW64\\vnxlwa32.NEW").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD before = GetTickCount();
  const Rows rows = run(kModeInstallNoStart, "SRV64");
  // 3 tries for the stopping program's file, 15 for each held file; new keys pause 250 ms after each step.
  EXPECT_EQ(GetTickCount() - before, 3 * 2000u + 2 * 15 * 2000u + 250 + 250 + 3 * (200 + 250));
  CloseHandle(held);
  CloseHandle(held_library);
  EXPECT_EQ(rows, (Rows{"SRV64 | Connecting to Registry | ... (58)",
                        "SRV64 | Connecting to Service Control Manager | ... (58)",
                        "SRV64 | Stopping VORNIX Server Agent | ... (5)",
                        "SRV64 | Copying Agent Files | ... (246)",
                        "SRV64 | processing... | [R3]Error [32] setting file attributes for [" + share +
                            "syswow64\\qvmr0007.dll]. (67)",
                        "SRV64 | processing... | FAILURE to copy " + kSource + "qvmr0007.dll, file [" + share +
                            "syswow64\\qvmr0007.dll] is currently in-use (67)",
                        "SRV64 | processing... | FAILURE to copy " + kSource +
                            "chartdir51.dll - Path Not Found, please run this Administration Tool from the Product "
                            "Installation Directory. (67)",
                        "SRV64 | processing... | FAILURE to copy " + kSource +
                            "vnxlwa64.dll - Path Not Found, please run this Administration Tool from the Product "
                            "Installation Directory. (67)",
                        "SRV64 | processing... | VORNIX Server Agent files successfully copied (5)",
                        "SRV64 | Installing VORNIX Service | ... (5)",
                        "SRV64 | processing... | VORNIXW Service 1 of 2 INSTALLED OK (5)",
                        "SRV64 | processing... | VORNIXW Service 2 of 2 INSTALLED OK (5)",
                        "SRV64 | Installation Complete | <done> (1)"}));
  std::ifstream copied(windows + "vnxwccr.exe");
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(copied)), {}), "stand-in for 64W\\vnxwccr.exe\n");
}

TEST_F(Install, FaultsEndTheRunWithTheRowThatSaysWhy) {
  world_.add_machine("LOCKED01", "127.0.0.5");
  world_.set_machine_setting("LOCKED01", "machine", "access", "none");
  support::add_agent_server(world_, "BUSY01", "127.0.0.6", "Windows Server 2012 R2 Standard", true);
  world_.set_machine_setting("BUSY01", "faults", "scm_open", "1726");
  support::add_agent_server(world_, "FLAKY01", "127.0.0.7", "Windows Server 2012 R2 Standard", true);
  world_.set_machine_setting("FLAKY01", "faults", "scm_open", "1726");
  world_.set_machine_setting("FLAKY01", "faults", "scm_open_failures", "2");
  support::add_agent_server(world_, "NODRV01", "127.0.0.8", "Windows Server 2012 R2 Standard", true);
  world_.set_machine_setting("NODRV01", "faults", "scm_create", "5");
  world_.set_machine_setting("NODRV01", "faults", "scm_create_service", "VNXW_K64");
  support::add_agent_server(world_, "HALF01", "127.0.0.9", "Windows Server 2012 R2 Standard", true);
  std::ofstream(world_.machine_dir("HALF01") + "/services.ini")
      << "[vornixwservice]\nname = VORNIXWService\nimage = %SystemRoot%\\sysWOW64\\vornixw.exe\nstate = stopped\n";
  support::add_agent_server(world_, "ODD01", "127.0.0.10", "Windows Server 2012 R2 Standard", true);
  world_.add_registry_text("ODD01", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                           "\"SystemRoot\"=\"\\\\Windows\"\r\n\r\n");
  start();
  const std::string begin = " | Connecting to Registry | ... (58)";
  const std::string manager = " | Connecting to Service Control Manager | ... (58)";
  const std::string stop = " | Stopping VORNIX Server Agent | ... (5)";
  const std::string copy = " | Copying Agent Files | ... (246)";
  const std::string copied = " | processing... | VORNIX Server Agent files successfully copied (5)";
  const std::string creating = " | Installing VORNIX Service | ... (5)";
  const std::string not_installed = " | Installation Complete | [%s][3]Errors encountered, not installed (67)";
  auto failed = [&](const char* state) {
    std::string row = not_installed;
    return row.replace(row.find("%s"), 2, state);
  };
  const struct {
    std::string server;
    DWORD waited_ms;
    Rows rows;
  } cases[] = {
      {"NOSUCH", 500,
       {"NOSUCH" + begin,
        "NOSUCH | Stopping VORNIX Server Agent | Unable to connect to Registry - machine name not found on network (67)",
        "NOSUCH" + failed("3")}},
      {"LOCKED01", 500,
       {"LOCKED01" + begin, "LOCKED01 | Stopping VORNIX Server Agent | Unable to connect to Registry, err=5 (67)",
        "LOCKED01" + failed("3")}},
      {"BUSY01", 15 * 500,
       {"BUSY01" + begin, "BUSY01" + manager,
        "BUSY01 | Open Service Control Manager | FAILED to open ServiceCtrlMgr[1726] (67)", "BUSY01" + failed("3")}},
      {"FLAKY01", 2 * 500 + 1850,
       {"FLAKY01" + begin, "FLAKY01" + manager, "FLAKY01" + stop, "FLAKY01" + copy, "FLAKY01" + copied,
        "FLAKY01" + creating, "FLAKY01 | processing... | VORNIXW Service 1 of 2 INSTALLED OK (5)",
        "FLAKY01 | processing... | VORNIXW Service 2 of 2 INSTALLED OK (5)",
        "FLAKY01 | Installation Complete | <done> (1)"}},
      // The agent's service stays, and the rows say so.
      {"NODRV01", 0,
       {"NODRV01" + begin, "NODRV01" + manager, "NODRV01" + stop, "NODRV01" + copy, "NODRV01" + copied,
        "NODRV01" + creating, "NODRV01 | processing... | VORNIXW Service 1 of 2 INSTALLED OK (5)",
        "NODRV01 | processing... | VORNIXW Service 2 of 2 FAILED to INSTALL [5] (67)", "NODRV01" + failed("54")}},
      {"HALF01", 1850,
       {"HALF01" + begin, "HALF01" + manager, "HALF01" + stop, "HALF01" + copy, "HALF01" + copied, "HALF01" + creating,
        "HALF01 | processing... | VORNIXW Service 1 of 2 PREVIOUSLY INSTALLED (5)",
        "HALF01 | Installation Complete | <done> (1)"}},
      {"ODD01", 0,
       {"ODD01" + begin, "ODD01" + manager, "ODD01" + stop, "ODD01" + copy,
        "ODD01 | processing... | VORNIX SystemRoot found [\\Windows] is unworkable, please contact "
        "support@brightmere.com for assistance (5)",
        "ODD01" + failed("2c")}},
      {"", 0, {"?server? | Server Name unspecified? |  (67)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    const DWORD before = GetTickCount();
    EXPECT_EQ(run(kModeInstallNoStart, c.server.c_str()), c.rows);
    EXPECT_EQ(GetTickCount() - before, c.waited_ms);
  }
  EXPECT_EQ(services("NODRV01"), Rows{"VORNIXWService 16 2 %SystemRoot%\\sysWOW64\\vornixw.exe 1"});
}

}  // namespace
}  // namespace deploy_test
