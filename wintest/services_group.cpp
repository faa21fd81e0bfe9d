// The agent installed, started, stopped and removed on the local machine
// through the platform's service control manager: the rows of each run, the
// two services as the manager keeps them, the files in the system folders,
// and the product key the installation initialises.
#include <cstdio>
#include <string>
#include <vector>

#include "config/registry.h"
#include "deploy/deploy.h"
#include "host/host.h"
#include "reports/results_window.h"
#include "wintest/groups.h"

#include <lm.h>
#include <lmapibuf.h>

namespace wintest {
namespace {

constexpr char kAgentService[] = "VORNIXWService";
constexpr char kDriverService[] = "VNXW_K32";
constexpr char kProductFolder[] = "C:\\Program Files\\Brightmere\\VORNIX";
// Where the 32-bit installation puts its files on the console's own machine.
constexpr const char* kInstalledFiles[] = {"VORNIXW.EXE", "VNXW_K32.SYS", "vnxwccr.exe", "qvmr0007.dll",
                                           "chartdir51.dll", "zovuruve.dll", "vnxsqlxf.exe", "vnx_sa2.dll",
                                           "vnxlwa32.NEW", "vnxlwa32.dll", "vnx_x32a.dll"};

std::string g_computer;

// A service as its manager keeps it in the registry: type, start, error control, image path, display name.
// Texts without their value type: Wine's manager stores the image path as REG_SZ, Windows' as REG_EXPAND_SZ.
std::string service_line(const char* name) {
  std::string line = std::string(name) + ":";
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string("SYSTEM\\CurrentControlSet\\Services\\") + name).c_str(), 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return line + " none";
  for (const char* value : {"Type", "Start", "ErrorControl", "ImagePath", "DisplayName"}) {
    BYTE data[1024] = {};
    DWORD type = 0, size = sizeof data - 1;
    if (RegQueryValueExA(key, value, nullptr, &type, data, &size) != ERROR_SUCCESS)
      line += " " + std::string(value) + " -";
    else if (type == REG_DWORD) line += " " + std::string(value) + " " + std::to_string(data[0] | data[1] << 8);
    else line += " " + std::string(value) + " \"" + reinterpret_cast<char*>(data) + "\"";
  }
  RegCloseKey(key);
  return line;
}

// The agent service's state once it has settled (a start or stop under way is waited for).
std::string settled_state() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceA(manager, kAgentService, SERVICE_QUERY_STATUS) : nullptr;
  std::string text = "no service";
  SERVICE_STATUS status = {};
  for (int tries = 0; service && tries < 100; ++tries) {
    if (!QueryServiceStatus(service, &status)) break;
    text = "state " + std::to_string(status.dwCurrentState);
    if (status.dwCurrentState != SERVICE_START_PENDING && status.dwCurrentState != SERVICE_STOP_PENDING) break;
    Sleep(100);
  }
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return text;
}

std::string drivers_folder() {
  char root[MAX_PATH] = "";
  HKEY version;
  DWORD size = sizeof root;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &version) ==
      ERROR_SUCCESS) {
    RegQueryValueExA(version, "SystemRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(root), &size);
    RegCloseKey(version);
  }
  return std::string(root) + "\\system32\\drivers\\";
}

std::vector<std::string> installed_files() {
  std::vector<std::string> out;
  for (const char* file : kInstalledFiles)
    if (GetFileAttributesA((drivers_folder() + file).c_str()) != INVALID_FILE_ATTRIBUTES)
      out.push_back("system32\\drivers\\" + std::string(file));
  return out;
}

// No agent on the machine: neither service, none of its files, no product key.
void forget_agent() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  for (const char* name : {kAgentService, kDriverService}) {
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_ALL_ACCESS) : nullptr;
    if (service == nullptr) continue;
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    DeleteService(service);
    CloseServiceHandle(service);
  }
  if (manager) CloseServiceHandle(manager);
  for (const char* file : kInstalledFiles) DeleteFileA((drivers_folder() + file).c_str());
  remove_key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.");
}

// A run of the install entry point in a fresh results window: its rows.
std::vector<std::string> run(int mode, const char* report_path = "") {
  leave_open("Results");
  open_results_window("VORNIX Agent Update Results");
  InstallAgentRun(nullptr, mode, g_computer.c_str(), report_path, "", "", 0x603100D3, 1);
  std::vector<std::string> rows = results_rows();
  close_results_window();
  return rows;
}

// What NetUserEnum lacks when it cannot list one page of the local accounts at level 1.
std::string account_listing_missing() {
  std::basic_string<WCHAR> server;
  for (char c : "\\\\" + g_computer) server += static_cast<WCHAR>(c);
  BYTE* buffer = nullptr;
  DWORD read = 0, total = 0;
  NET_API_STATUS status = NetUserEnum(server.c_str(), 1, FILTER_NORMAL_ACCOUNT, &buffer, 100, &read, &total, nullptr);
  if (buffer) NetApiBufferFree(buffer);
  return status == ERROR_INVALID_LEVEL ? "NetUserEnum at level 1" : "";
}

void checks_before_installing() {
  if (!begin_section("the checks before a new installation", account_listing_missing())) return;
  say("probe: " + std::to_string(CheckNewInstallation(nullptr, g_computer.c_str())));
  say(shown());
}

void installation(uint32_t from) {
  if (!begin_section("an installation that does not start the agent")) return;
  say(run(kModeInstallNoStart, "VnxLogs$"));
  say(service_line(kAgentService));
  say(service_line(kDriverService));
  say(settled_state());
  say(installed_files());
  say(with_times(registry_lines(HKEY_LOCAL_MACHINE, kProductKey, "VORNIX"), from, now_seconds()));
  say(shown());
}

void start_and_stop() {
  if (!begin_section("the agent started, left running by an update, and stopped")) return;
  say("started: " + std::to_string(StartAgentService(nullptr, nullptr, g_computer.c_str(), nullptr, 0)));
  say(settled_state());
  say("again: " + std::to_string(StartAgentService(nullptr, nullptr, g_computer.c_str(), nullptr, 0)));
  say(run(kModeUpdateIfStopped));
  StopAgentService(nullptr, g_computer.c_str(), nullptr, 0);
  say(settled_state());
  StopAgentService(nullptr, g_computer.c_str(), nullptr, 0);
  say(shown());
}

void update_and_removal() {
  if (!begin_section("an update that starts the agent, then the removal")) return;
  say(run(kModeInstallAndStart));
  say(settled_state());
  g_deploy.removal_options = 0;
  say(run(kModeRemove));
  say(service_line(kAgentService));
  say(service_line(kDriverService));
  say(installed_files());
  say(run(kModeRemove));
  say(shown());
}

}  // namespace

void services_group(const Place& place) {
  g_computer = place.computer;
  shown();
  forget_agent();
  // The console starts in its program folder, where the agent's file sets lie.
  std::snprintf(g_library.start_directory, sizeof g_library.start_directory, "%s", kProductFolder);
  uint32_t from = now_seconds();
  checks_before_installing();
  installation(from);
  start_and_stop();
  update_and_removal();
  forget_agent();
  release_registry_connections();
}

}  // namespace wintest
