// The steps that the install, removal and service control runs share: the product's names and texts,
// results rows, the platform probe, the service manager connection, the stop step and the agent's file places.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "deploy/deploy_steps.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/results_window.h"

DeployState g_deploy;

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kHalKey[] = "SYSTEM\\CurrentControlSet\\Enum\\Root\\ACPI_HAL\\0000";
constexpr DWORD kDeviceDescriptionBytes = 128;
constexpr DWORD kReadWith64BitView = 0x20119;
constexpr size_t kPathBytes = 1024;

constexpr AgentProduct kAgent = {"VORNIX", "VORNIXW", "VORNIXWService", "VORNIX Agent Removal Results",
                                 "VORNIX Agent Update Results", "VORNIX Stop Service Message",
                                 "VORNIX Start Service Message", nullptr};
constexpr AgentProduct kSibling = {"QVAWKQ", "QVAWKQ", "QVAWKQService", "QVAWKQ Agent Removal Results",
                                   "QVAWKQ Agent Update Results", "QVAWKQ Stop Service Message",
                                   "QVAWKQ Start Service Message", "UNABLE TO UPDATE INSTALLATION"};

// Words of the product names whose systems may be 64-bit; any other is taken as 32-bit.
constexpr const char* kMaybe64BitWords[] = {"XP", "Windows 7", "Vista", "2008", "201", "2003"};
constexpr const char* kSiblingMaybe64BitWords[] = {"2008", "XP", "Vista", "201", "2003"};

}  // namespace

const AgentProduct& agent_product() { return g_library.sibling_mode ? kSibling : kAgent; }

Text text(const char* format, ...) {
  Text out;
  va_list args;
  va_start(args, format);
  std::vsnprintf(out.s, sizeof out.s, format, args);
  va_end(args);
  return out;
}

void add_row(int image, const char* title, const char* detail) {
  HWND window = g_results.window;
  if (window != nullptr) add_results_row(window, image, g_deploy.server, title, detail, nullptr);
}

void step_status(HWND list, int item, const char* message) { report_step_status(list, item, message); }

bool is_console_machine(const char* server) { return equal_ignoring_case(server, g_library.computer_name); }

bool replaced_on_restart(const char* file) {
  const char* base = std::strrchr(file, '\\');
  base = base ? base + 1 : file;
  return equal_ignoring_case(base, "VNXLWA32.DLL") || equal_ignoring_case(base, "VNXLWA64.DLL") ||
         equal_ignoring_case(base, "VNX_X64B.DLL");
}

void probe_platform(HKEY server, PlatformFacts* facts) {
  std::memset(facts, 0, sizeof *facts);
  facts->view = KEY_WOW64_64KEY;
  HKEY version = nullptr;
  bool opened = (!g_library.sibling_mode &&
                 RegOpenKeyExA(server, kCurrentVersionKey, 0, kReadWith64BitView, &version) == ERROR_SUCCESS) ||
                RegOpenKeyExA(server, kCurrentVersionKey, 0, KEY_READ, &version) == ERROR_SUCCESS;
  if (!opened) return;
  DWORD size = sizeof facts->product - 8;  // room for "(64bit)"
  if (RegQueryValueExA(version, "ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(facts->product), &size) !=
      ERROR_SUCCESS)
    facts->product[0] = '\0';
  RegCloseKey(version);
  const char* name = facts->product;
  facts->vista = contains_ignoring_case(name, "Vista");
  facts->later_than_2008 = contains_ignoring_case(name, "2008") || contains_ignoring_case(name, "201");
  facts->view = contains_ignoring_case(name, "2000") ? 0 : KEY_WOW64_64KEY;
  bool may_be_64bit = false;
  if (g_library.sibling_mode) {
    for (const char* word : kSiblingMaybe64BitWords) may_be_64bit = may_be_64bit || contains_ignoring_case(name, word);
  } else {
    for (const char* word : kMaybe64BitWords) may_be_64bit = may_be_64bit || contains_ignoring_case(name, word);
  }
  HKEY hal;
  if (!may_be_64bit || RegOpenKeyExA(server, kHalKey, 0, KEY_READ | facts->view, &hal) != ERROR_SUCCESS) return;
  char description[kDeviceDescriptionBytes + 1] = {};
  size = kDeviceDescriptionBytes;
  if (RegQueryValueExA(hal, "DeviceDesc", nullptr, nullptr, reinterpret_cast<BYTE*>(description), &size) ==
          ERROR_SUCCESS &&
      std::strstr(description, "64") != nullptr) {
    append_text(facts->product, sizeof facts->product, "(64bit)");
    facts->is_64bit = true;
  }
  RegCloseKey(hal);
}

SC_HANDLE open_service_manager(const char* server, DWORD access, int retries, DWORD* error) {
  char machine[kDeployServerBytes + 2] = "\\\\";
  append_text(machine, sizeof machine, server);
  SC_HANDLE manager = OpenSCManagerA(machine, nullptr, access);
  *error = manager ? 0 : GetLastError();
  for (int retry = 0; manager == nullptr && *error == RPC_S_CALL_FAILED && retry < retries; ++retry) {
    Sleep(500);
    manager = OpenSCManagerA(machine, nullptr, SC_MANAGER_ALL_ACCESS);
    *error = manager ? 0 : GetLastError();
  }
  return manager;
}

void run_stop_step(SC_HANDLE manager, int* state) {
  const AgentProduct& product = agent_product();
  const bool removal = *state == kStateRemoval;
  if (*state == kStateInitial) return;
  SC_HANDLE service = OpenServiceA(manager, product.service, SERVICE_ALL_ACCESS);
  if (service == nullptr) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_DOES_NOT_EXIST) {
      step_status(nullptr, 0, text("*Error [%d] attempting to STOP the %s", static_cast<int>(error), product.service).s);
      return;
    }
    *state = kStateNoService;
    if (removal) {
      step_status(nullptr, 0, text("%s not installed on this machine", product.agent).s);
      *state = kStateNotInstalled;
    }
    return;
  }
  SERVICE_STATUS status = {};
  QueryServiceStatus(service, &status);
  if (!service_is_active(status.dwCurrentState)) {
    *state = kStateNotRunning;
  } else if (*state == kStateWantsStop || *state == kStateRemoval) {
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
      Sleep(1000);
      while (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOP_PENDING) Sleep(1000);
      if (status.dwCurrentState == SERVICE_STOPPED) {
        *state = kStateStoppedByRun;
        step_status(nullptr, 0, text("%s Stopped", product.agent).s);
      } else {
        step_status(nullptr, 0, text("Unable to STOP %s Service - could be in DEBUG mode", product.agent).s);
      }
    } else if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
      *state = kStateWasNotActive;
    } else {
      add_row(kStepProgress, "About Stopping Agent",
              text("Error [%d] attempting to STOP the %s Service", static_cast<int>(GetLastError()), product.agent).s);
    }
  } else if (*state == kStateLeaveRunning) {
    step_status(nullptr, 0, text("%s is running - do not update", product.service).s);
  }
  if (removal) {
    if (DeleteService(service))
      step_status(nullptr, 0, text("%s set to be deleted", product.service).s);
    else if (GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE)
      step_status(nullptr, 0, text("%s marked for deletion", product.service).s);
    else
      step_status(nullptr, 0,
                  text("Error [%d] attempting to DELETE %s", static_cast<int>(GetLastError()), product.service).s);
  }
  CloseServiceHandle(service);
}

bool destination_root(HKEY server, const char* name, char* root, size_t size) {
  root[0] = '\0';
  HKEY version;
  if (RegOpenKeyExA(server, kCurrentVersionKey, 0, KEY_READ | g_deploy.facts.view, &version) == ERROR_SUCCESS) {
    DWORD bytes = static_cast<DWORD>(size - 1);
    if (RegQueryValueExA(version, "SystemRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(root), &bytes) !=
        ERROR_SUCCESS)
      root[0] = '\0';
    root[size - 1] = '\0';
    RegCloseKey(version);
  }
  if (root[0] == '\0') {
    step_status(nullptr, 0, "Error obtaining SystemRoot Information");
    return false;
  }
  // The sibling's files always go over the administrative share.
  if (is_console_machine(name) && !g_library.sibling_mode) return true;
  char* colon = std::strchr(root, ':');
  if (colon == nullptr) {
    step_status(nullptr, 0,
                text("%s SystemRoot found [%s] is unworkable, please contact %s for assistance",
                     agent_product().product, root, kVendorSupportAddress).s);
    return false;
  }
  *colon = '$';
  char share_form[kPathBytes + kDeployServerBytes];
  std::snprintf(share_form, sizeof share_form, "\\\\%s\\%s", name, root);
  copy_text(root, size, share_form);
  return true;
}

void agent_file_path(PlacementClass placement, const char* root, const char* server, const char* file, char* out,
                     size_t size) {
  const bool wide = g_deploy.facts.is_64bit;
  const char* folder = "\\system32\\drivers\\";
  if (g_library.sibling_mode) folder = wide ? "\\sysWow64\\drivers\\" : "\\system32\\drivers\\";
  else if (placement == kAgentProgram) folder = wide ? "\\sysWOW64\\" : "\\system32\\drivers\\";
  else if (placement == kDriverFile && wide && is_console_machine(server)) folder = "\\sysnative\\drivers\\";
  else if (placement == kProgramFile && wide) folder = "\\syswow64\\";
  else if (placement == kDriverPackageFile) folder = "\\syswow64\\drivers\\vornix\\";
  std::snprintf(out, size, "%s%s%s", root, folder, file);
}

