// The scout agent on the console's own machine: its status, its installation
// from the console program's folder, and its update in the results window.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "deploy/deploy_steps.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/results_window.h"

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr int kRegistrationChecks = 15;
constexpr DWORD kRegistrationCheckMs = 1555;
constexpr size_t kPathBytes = MAX_PATH + 64;

void report_copy_failure(HWND owner, const char* source, const char* installed, const char* title) {
  show_message(owner,
               text("Error %d copying\n\n%s\n\nTO\n\n%s", static_cast<int>(GetLastError()), source, installed).s, title,
               MB_ICONERROR);
}

// Stops the scout and waits while it reports stopping.
void stop_scout(SC_HANDLE service) {
  SERVICE_STATUS status = {};
  ControlService(service, SERVICE_CONTROL_STOP, &status);
  Sleep(1000);
  while (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOP_PENDING) Sleep(1000);
}

}  // namespace

void scout_program_paths(char* source, char* installed, size_t size) {
  char module[kPathBytes] = {};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (char* slash = std::strrchr(module, '\\')) *slash = '\0';
  std::snprintf(source, size, "%s\\VNXSCOUT.EXE", module);
  char root[kPathBytes] = {};
  HKEY version;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, local_access(KEY_READ), &version) == ERROR_SUCCESS) {
    DWORD bytes = sizeof root - 1;
    if (RegQueryValueExA(version, "SystemRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(root), &bytes) !=
        ERROR_SUCCESS)
      root[0] = '\0';
    RegCloseKey(version);
  }
  std::snprintf(installed, size, "%s\\system32\\drivers\\vnxscout.exe", root);
}

DWORD ScoutStatus() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return kScoutMissing;
  DWORD result = kScoutMissing;
  if (SC_HANDLE service = OpenServiceA(manager, kScoutService, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    result = service_is_active(status.dwCurrentState) ? kScoutActive : kScoutInstalled;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return result;
}

DWORD InstallScout(HWND owner) {
  char source[kPathBytes], installed[kPathBytes];
  scout_program_paths(source, installed, sizeof source);
  if (!CopyFileA(source, installed, FALSE)) {
    report_copy_failure(owner, source, installed, "ERROR INSTALLING SCOUT");
    return 0;
  }
  // The scout registers its own service; the console does not wait for it to end.
  char command[kPathBytes + 16];
  std::snprintf(command, sizeof command, "%s -install", installed);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = nullptr;
  for (int check = 0; manager && !service && check < kRegistrationChecks && !g_library.shutdown; ++check) {
    Sleep(kRegistrationCheckMs);
    service = OpenServiceA(manager, kScoutService, SERVICE_ALL_ACCESS);
  }
  DWORD started = 0;
  if (service == nullptr) {
    show_message(owner, "Unable to start VORNIX Agent Scout Service.\n\nPlease open services.msc and manually start.",
                 "ERROR STARTING SCOUT", MB_ICONERROR);
  } else if (!StartServiceA(service, 0, nullptr)) {
    show_message(owner, text("Error %d starting %s", static_cast<int>(GetLastError()), kScoutService).s,
                 "ERROR STARTING", MB_ICONERROR);
  } else {
    started = 1;
  }
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return started;
}

DWORD UpdateScout(HWND owner) {
  copy_text(g_deploy.server, sizeof g_deploy.server, kScoutService);
  char source[kPathBytes], installed[kPathBytes];
  scout_program_paths(source, installed, sizeof source);
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager ? OpenServiceA(manager, kScoutService, SERVICE_ALL_ACCESS) : nullptr;
  if (service == nullptr) {
    // Nothing to update: the scout is not installed (or the manager cannot be reached).
    add_row(kStepError, "Opening...", text("Error %d opening %s", static_cast<int>(GetLastError()), kScoutService).s);
    if (manager) CloseServiceHandle(manager);
    return 0;
  }
  SERVICE_STATUS status = {};
  QueryServiceStatus(service, &status);
  if (status.dwCurrentState != SERVICE_STOPPED) {
    add_row(kStepProgress, "Stopping...", "...");
    stop_scout(service);
  }
  QueryServiceStatus(service, &status);
  DWORD result = 0;
  if (service_is_active(status.dwCurrentState)) {
    add_row(kStepError, "Agent is not stopping", "");
    result = kScoutActive;
  } else {
    add_row(kStepCopying, "Copying...", "...");
    if (!CopyFileA(source, installed, FALSE)) {
      report_copy_failure(owner, source, installed, "ERROR UPDATING SCOUT");
    } else {
      add_row(kStepProgress, "Starting...", "...");
      if (!StartServiceA(service, 0, nullptr)) {
        add_row(kStepError, text("Error %d starting %s", static_cast<int>(GetLastError()), kScoutService).s, "");
      } else {
        add_row(kStepSuccess, "Agent started", "Update Complete");
        result = 1;
      }
    }
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return result;
}
