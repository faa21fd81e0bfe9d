// The service control manager of the world machines (states, delays, deletion,
// the registry mirror, a running program held open, injected failures), user
// enumeration, and the scout agent's program registering its service.
#include <gtest/gtest.h>

#include <lm.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/processes.h"
#include "win32/services.h"
#include "world/world.h"

namespace {

class Services : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_machine("SRV02", "127.0.0.3");
    world_.add_machine("DOWN01", "127.0.0.4");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    program_ = world_.machine_dir("SRV01") + "/shares/C$/Windows/sysWOW64/vornixw.exe";
    std::filesystem::create_directories(std::filesystem::path(program_).parent_path());
    std::ofstream(program_) << "MZ agent";
  }

  // The state a fresh query reports.
  static DWORD state_of(SC_HANDLE service) {
    SERVICE_STATUS status = {};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    return status.dwCurrentState;
  }

  // The error of a failed call (0 when it succeeded).
  static DWORD error_of(BOOL ok) { return ok ? 0 : GetLastError(); }

  static std::vector<std::string> listed(const std::string& machine) {
    std::vector<std::string> out;
    for (const platform::ServiceInfo& s : platform::machine_services(machine))
      out.push_back(s.name + " " + std::to_string(s.state) + (s.marked ? " marked" : ""));
    return out;
  }

  support::WorldBuilder world_;
  std::string program_;
};

TEST_F(Services, AServiceStartsStopsAndIsDeletedAsWindowsDoesIt) {
  world_.open();
  SC_HANDLE scm = OpenSCManagerA("\\\\SRV01", nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  SC_HANDLE agent = CreateServiceA(scm, "VORNIXWService", "VORNIXW Service", SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                   "%SystemRoot%\\sysWOW64\\vornixw.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(CreateServiceA(scm, "vornixwservice", "Other", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, "x.exe", nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));

  // The registry mirror, as Windows keeps the service's configuration.
  HKEY hklm;
  ASSERT_EQ(RegConnectRegistryA("\\\\SRV01", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
  std::vector<std::string> mirror;
  support::dump_registry(hklm, "SYSTEM\\CurrentControlSet\\Services", "S", mirror, false);
  EXPECT_EQ(mirror, (std::vector<std::string>{"S", "S\\VORNIXWService", "S\\VORNIXWService:Type=4:16",
                                              "S\\VORNIXWService:Start=4:2", "S\\VORNIXWService:ErrorControl=4:1",
                                              "S\\VORNIXWService:ImagePath=2:%SystemRoot%\\sysWOW64\\vornixw.exe|",
                                              "S\\VORNIXWService:DisplayName=1:VORNIXW Service|",
                                              "S\\VORNIXWService:ObjectName=1:LocalSystem|"}));

  // Start and stop take the delays of services.ini; the program is held open while it runs.
  CloseServiceHandle(agent);
  world::IniFile ini = world::read_ini(world_.machine_dir("SRV01") + "/services.ini");
  ini["vornixwservice"]["start_delay_ms"] = "3000";
  ini["vornixwservice"]["stop_delay_ms"] = "5000";
  world::write_ini(world_.machine_dir("SRV01") + "/services.ini", ini);
  agent = OpenServiceA(scm, "VORNIXWSERVICE", SERVICE_ALL_ACCESS);
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(error_of(ControlService(agent, SERVICE_CONTROL_STOP, nullptr)), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
  const std::string target = "\\\\SRV01\\C$\\Windows\\SysWOW64\\VORNIXW.EXE";
  const std::string source = "\\\\SRV02\\C$\\new.exe";
  std::ofstream(world_.machine_dir("SRV02") + "/shares/C$/new.exe") << "MZ new";
  EXPECT_TRUE(StartServiceA(agent, 0, nullptr));
  EXPECT_EQ(state_of(agent), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(error_of(CopyFileA(source.c_str(), target.c_str(), FALSE)), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  Sleep(3000);
  EXPECT_EQ(state_of(agent), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(error_of(StartServiceA(agent, 0, nullptr)), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
  EXPECT_EQ(error_of(DeleteFileA(target.c_str())), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SERVICE_STATUS status = {};
  EXPECT_TRUE(ControlService(agent, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  Sleep(4999);
  EXPECT_EQ(state_of(agent), static_cast<DWORD>(SERVICE_STOP_PENDING));
  Sleep(1);
  EXPECT_EQ(state_of(agent), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE));

  // Deleted while running: marked, still there until it stops and its last handle is closed.
  EXPECT_TRUE(StartServiceA(agent, 0, nullptr));
  Sleep(3000);
  EXPECT_TRUE(DeleteService(agent));
  EXPECT_EQ(error_of(DeleteService(agent)), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
  EXPECT_EQ(listed("SRV01"), std::vector<std::string>{"VORNIXWService 4 marked"});
  EXPECT_EQ(CreateServiceA(scm, "VORNIXWService", "VORNIXW Service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, "x.exe", nullptr, nullptr, nullptr, nullptr,
                           nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
  EXPECT_TRUE(ControlService(agent, SERVICE_CONTROL_STOP, nullptr));
  Sleep(5000);
  EXPECT_EQ(listed("SRV01"), std::vector<std::string>{"VORNIXWService 1 marked"}) << "a handle is still open";
  EXPECT_TRUE(CloseServiceHandle(agent));
  EXPECT_TRUE(listed("SRV01").empty());
  mirror.clear();
  support::dump_registry(hklm, "SYSTEM\\CurrentControlSet\\Services", "S", mirror, false);
  EXPECT_EQ(mirror, std::vector<std::string>{"S"});
  EXPECT_EQ(OpenServiceA(scm, "VORNIXWService", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

  // A disabled service, and one whose program is missing, do not start.
  SC_HANDLE off = CreateServiceA(scm, "Off", "Off", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED,
                                 SERVICE_ERROR_NORMAL, "%SystemRoot%\\sysWOW64\\vornixw.exe", nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
  EXPECT_EQ(error_of(StartServiceA(off, 0, nullptr)), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
  SC_HANDLE lost = CreateServiceA(scm, "Lost", "Lost", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\nowhere\\lost.exe", nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
  EXPECT_EQ(error_of(StartServiceA(lost, 0, nullptr)), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  for (SC_HANDLE h : {off, lost, scm}) EXPECT_TRUE(CloseServiceHandle(h));
  EXPECT_EQ(error_of(CloseServiceHandle(scm)), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Services, ManagersFailAsConfiguredAndServicesAsInjected) {
  world_.set_machine_setting("SRV02", "faults", "scm_open", "1726");
  world_.set_machine_setting("SRV02", "faults", "scm_open_failures", "2");
  world_.set_machine_setting("SRV02", "faults", "scm_create", "5");
  world_.set_machine_setting("SRV02", "faults", "scm_create_service", "VNXW_K64");
  world_.add_machine("LOCKED01", "127.0.0.5");
  world_.set_machine_setting("LOCKED01", "machine", "access", "none");
  std::ofstream(world_.machine_dir("SRV01") + "/services.ini")
      << "[debug]\nname = Debug\nimage = %SystemRoot%\\sysWOW64\\vornixw.exe\nstate = running\n"
         "ignores_stop = yes\nstop_delay_ms = 2000\n"
         "[flaky]\nname = Flaky\nimage = %SystemRoot%\\sysWOW64\\vornixw.exe\nstate = running\n"
         "stop_fault = 109\nstop_fault_times = 1\nstart_fault = 1053\n";
  world_.open();

  auto open_error = [](const char* machine, DWORD access = SC_MANAGER_ALL_ACCESS) {
    SC_HANDLE scm = OpenSCManagerA(machine, nullptr, access);
    DWORD error = scm ? 0 : GetLastError();
    if (scm) CloseServiceHandle(scm);
    return error;
  };
  EXPECT_EQ((std::vector<DWORD>{open_error("\\\\DOWN01"), open_error("NOSUCH"), open_error("\\\\LOCKED01"),
                                open_error("\\\\SRV02"), open_error("\\\\SRV02"), open_error("\\\\SRV02"),
                                open_error(nullptr)}),
            (std::vector<DWORD>{RPC_S_SERVER_UNAVAILABLE, RPC_S_SERVER_UNAVAILABLE, ERROR_ACCESS_DENIED,
                                RPC_S_CALL_FAILED, RPC_S_CALL_FAILED, 0, 0}));

  // Creation fails only for the service named.
  SC_HANDLE scm2 = OpenSCManagerA("\\\\SRV02", nullptr, SC_MANAGER_ALL_ACCESS);
  auto create = [&](const char* name, DWORD type, DWORD start) {
    SC_HANDLE s = CreateServiceA(scm2, name, name, SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL,
                                 "system32\\drivers\\x.sys", nullptr, nullptr, nullptr, nullptr, nullptr);
    DWORD error = s ? 0 : GetLastError();
    if (s) CloseServiceHandle(s);
    return error;
  };
  EXPECT_EQ(create("VNXW_K64", SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(create("VNXW_K32", SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START), 0u);
  EXPECT_EQ(create("Boot", SERVICE_WIN32_OWN_PROCESS, SERVICE_BOOT_START), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseServiceHandle(scm2);

  SC_HANDLE scm = OpenSCManagerA("\\\\SRV01", nullptr, SC_MANAGER_ALL_ACCESS);
  // In debug mode a stop ends in running again.
  SC_HANDLE debug = OpenServiceA(scm, "Debug", SERVICE_ALL_ACCESS);
  EXPECT_TRUE(ControlService(debug, SERVICE_CONTROL_STOP, nullptr));
  EXPECT_EQ(state_of(debug), static_cast<DWORD>(SERVICE_STOP_PENDING));
  Sleep(2000);
  EXPECT_EQ(state_of(debug), static_cast<DWORD>(SERVICE_RUNNING));
  // The first stop fails with the injected error, the second works; starting times out.
  SC_HANDLE flaky = OpenServiceA(scm, "Flaky", SERVICE_ALL_ACCESS);
  EXPECT_EQ(error_of(ControlService(flaky, SERVICE_CONTROL_STOP, nullptr)), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_TRUE(ControlService(flaky, SERVICE_CONTROL_STOP, nullptr));
  EXPECT_EQ(state_of(flaky), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(error_of(StartServiceA(flaky, 0, nullptr)), static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
  EXPECT_EQ(state_of(flaky), static_cast<DWORD>(SERVICE_STOPPED));
  // A handle opened for reading may not stop the service; other controls are not supported.
  SC_HANDLE reader = OpenServiceA(scm, "Debug", GENERIC_READ);
  EXPECT_EQ(error_of(ControlService(reader, SERVICE_CONTROL_STOP, nullptr)), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(error_of(ControlService(debug, 2, nullptr)), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
  for (SC_HANDLE h : {debug, flaky, reader, scm}) CloseServiceHandle(h);
}

TEST_F(Services, UsersAreEnumeratedPageByPage) {
  std::ofstream(world_.machine_dir("SRV01") + "/users.ini")
      << "[admin]\nname = Admin\nprivilege = admin\ncomment = runs the server\n"
         "[bob]\nname = Bob\n[ws01$]\nname = WS01$\nkind = workstation\n[temp]\nname = Temp\nkind = temp\n";
  world_.set_machine_setting("SRV02", "faults", "netuserenum", "1722");
  world_.add_machine("LOCKED01", "127.0.0.5");
  world_.set_machine_setting("LOCKED01", "machine", "access", "none");
  world_.open();
  auto wide = [](const std::string& text) {
    std::u16string out(text.begin(), text.end());
    return out;
  };
  auto names = [](const BYTE* buffer, DWORD count) {
    std::vector<std::string> out;
    for (DWORD i = 0; i < count; ++i) {
      const USER_INFO_1& u = reinterpret_cast<const USER_INFO_1*>(buffer)[i];
      std::string name(u.usri1_name, u.usri1_name + std::char_traits<char16_t>::length(u.usri1_name));
      out.push_back(name + "/" + std::to_string(u.usri1_priv) + "/" + std::to_string(u.usri1_flags));
    }
    return out;
  };
  const std::u16string srv01 = wide("\\\\SRV01");
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  // One small page at a time: more data until the last; the filter leaves the temporary account out.
  EXPECT_EQ(NetUserEnum(srv01.c_str(), 1, 0x32, &buffer, 100, &read, &total, &resume),
            static_cast<NET_API_STATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(names(buffer, read), std::vector<std::string>{"Admin/2/513"});
  EXPECT_EQ(total, 3u);
  EXPECT_EQ(NetApiBufferFree(buffer), static_cast<NET_API_STATUS>(NERR_Success));
  std::vector<std::string> rest;
  NET_API_STATUS status;
  do {
    status = NetUserEnum(srv01.c_str(), 1, 0x32, &buffer, 100, &read, &total, &resume);
    for (const std::string& n : names(buffer, read)) rest.push_back(n);
    NetApiBufferFree(buffer);
  } while (status == ERROR_MORE_DATA);
  EXPECT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(rest, (std::vector<std::string>{"Bob/1/513", "WS01$/1/4097"}));
  // Without users.ini a machine has the two accounts Windows starts with.
  EXPECT_EQ(NetUserEnum(nullptr, 1, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(names(buffer, read), (std::vector<std::string>{"Administrator/2/513", "Guest/0/515"}));
  NetApiBufferFree(buffer);

  auto error = [&](const std::string& server, DWORD level = 1) {
    const std::u16string name = wide(server);
    NET_API_STATUS rc = NetUserEnum(name.c_str(), level, 0, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    NetApiBufferFree(buffer);
    return rc;
  };
  EXPECT_EQ((std::vector<NET_API_STATUS>{error("\\\\DOWN01"), error("\\\\NOSUCH"), error("\\\\LOCKED01"),
                                         error("\\\\SRV02"), error("\\\\SRV01", 2)}),
            (std::vector<NET_API_STATUS>{ERROR_BAD_NETPATH, ERROR_BAD_NETPATH, ERROR_ACCESS_DENIED,
                                         RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL}));
}

TEST_F(Services, TheScoutProgramRegistersItsServiceWhenInstalling) {
  const std::string scout = world_.machine_dir(world_.console()) + "/shares/C$/Windows/system32/drivers/vnxscout.exe";
  std::filesystem::create_directories(std::filesystem::path(scout).parent_path());
  std::ofstream(scout) << "MZ scout";
  world_.open();
  auto start = [](std::string line) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD exit_code = 0xFFFF;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return GetLastError();
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exit_code;
  };
  EXPECT_EQ(start("C:\\Windows\\system32\\drivers\\vnxscout.exe -remove"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(platform::machine_services(world_.console()).empty());
  EXPECT_EQ(start("C:\\Windows\\system32\\drivers\\vnxscout.exe -install"), 0u);
  EXPECT_EQ(start("\"C:\\Windows\\system32\\drivers\\vnxscout.exe\" -install"),
            static_cast<DWORD>(ERROR_SERVICE_EXISTS));
  std::vector<platform::ServiceInfo> services = platform::machine_services(world_.console());
  ASSERT_EQ(services.size(), 1u);
  EXPECT_EQ(services[0].name + "|" + services[0].image + "|" + std::to_string(services[0].start_type),
            "VORNIXWScoutAgent|C:\\Windows\\system32\\drivers\\vnxscout.exe|2");
  // It starts, and holds its program while it runs.
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceA(scm, "VORNIXWScoutAgent", SERVICE_ALL_ACCESS);
  EXPECT_TRUE(StartServiceA(service, 0, nullptr));
  EXPECT_FALSE(CopyFileA("C:\\Windows\\system32\\drivers\\vnxscout.exe", "C:\\Windows\\system32\\drivers\\vnxscout.exe",
                         FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseServiceHandle(service);
  CloseServiceHandle(scm);
}

}  // namespace
