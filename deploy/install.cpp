// The install run: connect to the server's registry and service control
// manager, stop a running agent, copy the agent's file set over the
// administrative share, create its services, establish the product key and
// start the agent, each step a row of the results window.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "deploy/deploy_steps.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/results_window.h"

namespace {

constexpr char kServicesKey[] = "System\\CurrentControlSet\\Services\\";
constexpr size_t kPathBytes = 1024;
constexpr size_t kFolderBytes = 900;  // a folder, with room left in a path for what goes below it
constexpr int kCopyRetries = 15;
constexpr DWORD kCopyRetryMs = 2000;
constexpr int kManagerRetries = 15;
constexpr DWORD kStartPauseMs = 150;

// The agent's files after the program, in table order: when each is copied and where it goes.
enum FileWhen { kAlways, kOnly32Bit, kOnly64Bit };
struct AgentFile {
  const char* name;
  FileWhen when;
  PlacementClass placement;
  bool library;  // a VNXLWA library, left out when the run excludes them
};
constexpr AgentFile kFurtherFiles[] = {
    {"VNXWK646.SYS", kOnly64Bit, kDriverFile, false},      {"vnxwccr.exe", kAlways, kProgramFile, false},
    {"qvmr0007.dll", kAlways, kProgramFile, false},        {"chartdir51.dll", kAlways, kProgramFile, false},
    {"zovuruve.dll", kAlways, kProgramFile, false},        {"vnxsqlxf.exe", kAlways, kProgramFile, false},
    {"vnxwk646.inf", kOnly64Bit, kDriverPackageFile, false}, {"vnxwk646.cat", kOnly64Bit, kDriverPackageFile, false},
    {"vnxwk646.cer", kOnly64Bit, kDriverPackageFile, false}, {"vnx_sa2.dll", kAlways, kProgramFile, false},
    {"vnxlwa32.dll", kAlways, kProgramFile, true},         {"vnx_x32a.dll", kOnly32Bit, kProgramFile, false},
    {"vnx_x64a.exe", kOnly64Bit, kProgramFile, false},     {"vnx_x64b.dll", kOnly64Bit, kProgramFile, false},
    {"vnxlwa64.dll", kOnly64Bit, kProgramFile, true},
};
constexpr const char* kSiblingFiles[] = {"QVAWKQ.EXE", "qvawkq.dll"};

bool file_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The agent's source folder: the console's start directory (else the current
// directory), a backslash, and the folder of the server's platform.
void source_folder(char* out, size_t size) {
  char start[kFolderBytes] = {};
  copy_text(start, sizeof start, g_library.start_directory);
  if (start[0] == '\0') GetCurrentDirectoryA(512, start);
  size_t length = std::strlen(start);
  if (length == 0 || start[length - 1] != '\\') append_text(start, sizeof start, "\\");
  const char* folder = g_library.sibling_mode ? "AGENT\\" : g_deploy.facts.is_64bit ? "64W\\" : "32W\\";
  std::snprintf(out, size, "%s%s", start, folder);
}

// How a copy ended: 0, or the error of its last attempt. A copy blocked by a
// sharing violation is tried again while its source exists.
DWORD copy_with_retries(const char* source, const char* destination, bool retry) {
  if (CopyFileA(source, destination, FALSE)) return 0;
  DWORD error = GetLastError();
  for (int attempt = 0; retry && attempt < kCopyRetries && error == ERROR_SHARING_VIOLATION && file_exists(source);
       ++attempt) {
    Sleep(kCopyRetryMs);
    if (CopyFileA(source, destination, FALSE)) return 0;
    error = GetLastError();
  }
  return error;
}

// Copies one file of the further set (or the sibling's), counting a success.
void copy_one_file(const char* folder, const char* root, const char* file, PlacementClass placement, int* copied,
                   bool retry) {
  char source[kPathBytes], destination[kPathBytes];
  std::snprintf(source, sizeof source, "%s%s", folder, file);
  agent_file_path(placement, root, g_deploy.server, file, destination, sizeof destination);
  if (placement == kDriverPackageFile) {
    char package[kPathBytes];
    std::snprintf(package, sizeof package, "%s\\syswow64\\drivers\\vornix", root);
    if (!CreateDirectoryA(package, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      step_status(nullptr, 0,
                  text(is_console_machine(g_deploy.server) ? "[6B]Error %d creating [%s]" : "[6A]Error %d creating [%s]",
                       static_cast<int>(GetLastError()), package).s);
  }
  bool restart_file = replaced_on_restart(file);
  if (restart_file) {
    size_t length = std::strlen(destination);
    if (length >= 3) copy_text(destination + length - 3, 4, "NEW");
  }
  if (!SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL) && !restart_file) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED)
      step_status(nullptr, 0, text("[R3]The file [%s] is in use.  Unable to reset file attributes.", destination).s);
    else if (error != ERROR_FILE_NOT_FOUND)
      step_status(nullptr, 0,
                  text("[R3]Error [%d] setting file attributes for [%s].", static_cast<int>(error), destination).s);
  }
  DWORD error = copy_with_retries(source, destination, retry);
  if (error == 0 || (restart_file && file_exists(source))) {
    ++*copied;
    return;
  }
  if (!file_exists(source))
    step_status(nullptr, 0,
                text("FAILURE to copy %s - Path Not Found, please run this Administration Tool from the Product "
                     "Installation Directory.",
                     source).s);
  else if (error == ERROR_SHARING_VIOLATION)
    step_status(nullptr, 0, text("FAILURE to copy %s, file [%s] is currently in-use", source, destination).s);
  else
    step_status(nullptr, 0,
                text("FAILURE to copy to %s, code [%d].\n\nPath Used [%s], From Path [%s]", g_deploy.server,
                     static_cast<int>(error), destination, source).s);
}

// The agent program (file 1), with its own messages.
void copy_agent_program(const char* folder, const char* root, int* copied) {
  char source[kPathBytes], destination[kPathBytes];
  std::snprintf(source, sizeof source, "%sVORNIXW.EXE", folder);
  agent_file_path(kAgentProgram, root, g_deploy.server, "VORNIXW.EXE", destination, sizeof destination);
  if (!SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL)) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED)
      step_status(nullptr, 0, text("file [%s] is in use.  Unable to reset file attributes.", destination).s);
    else if (error != ERROR_FILE_NOT_FOUND)
      step_status(nullptr, 0, text("Error [%d] setting file attributes for [%s].", static_cast<int>(error), destination).s);
  }
  DWORD error = copy_with_retries(source, destination, true);
  if (error == 0) {
    ++*copied;
  } else if (!file_exists(source)) {
    step_status(nullptr, 0,
                text("FAILURE to copy %s-Path Not Found-be sure you run this Administration Tool from the Product "
                     "Installation Directory.",
                     source).s);
  } else if (error == ERROR_SHARING_VIOLATION) {
    step_status(nullptr, 0, text("FAILURE to copy %s->destination file [%s] is currently in-use.", source, destination).s);
  } else {
    step_status(nullptr, 0, text("FAILURE to copy %s err=%d (to: %s)", source, static_cast<int>(error), destination).s);
  }
}

// Points the existing agent service at the program just copied; a missing key is left to the creation.
void write_image_path(HKEY server) {
  const AgentProduct& product = agent_product();
  char key_name[200], image[200];
  std::snprintf(key_name, sizeof key_name, "%s%s", kServicesKey, product.service);
  if (g_library.sibling_mode)
    copy_text(image, sizeof image, g_deploy.facts.is_64bit ? "%SystemRoot%\\sysWow64\\drivers\\qvawkq.exe"
                                                           : "%SystemRoot%\\system32\\drivers\\qvawkq.exe");
  else
    copy_text(image, sizeof image, g_deploy.facts.is_64bit ? "%SystemRoot%\\SYSwow64\\vornixw.exe"
                                                           : "%SystemRoot%\\system32\\drivers\\vornixw.exe");
  HKEY key;
  LONG rc = RegOpenKeyExA(server, key_name, 0, KEY_ALL_ACCESS | g_deploy.facts.view, &key);
  if (rc != ERROR_SUCCESS) {
    if (rc != ERROR_FILE_NOT_FOUND)
      step_status(nullptr, 0, text("Error %d(#) updating CImagePath after copy", static_cast<int>(rc)).s);
    return;
  }
  rc = RegSetValueExA(key, "ImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(image),
                      static_cast<DWORD>(std::strlen(image) + 1));
  if (rc != ERROR_SUCCESS) step_status(nullptr, 0, text("Error %d updating ImagePath after copy", static_cast<int>(rc)).s);
  RegCloseKey(key);
}

void copy_agent_files(HKEY server, int* state) {
  if (*state <= 40) {
    step_status(nullptr, 0, "File Copy Aborted");
    return;
  }
  char folder[kFolderBytes], root[kFolderBytes];
  source_folder(folder, sizeof folder);
  if (!destination_root(server, g_deploy.server, root, sizeof root)) return;
  int copied = 0;
  if (g_library.sibling_mode) {
    // Both files count, always over the administrative share, and without retries.
    for (const char* file : kSiblingFiles) copy_one_file(folder, root, file, kProgramFile, &copied, false);
    if (copied == 2) {
      step_status(nullptr, 0, "QVAWKQ Server Agent files successfully copied");
      *state = kStateFilesCopied;
    }
  } else {
    copy_agent_program(folder, root, &copied);
    copy_one_file(folder, root, g_deploy.facts.is_64bit ? "VNXW_K64.SYS" : "VNXW_K32.SYS", kDriverFile, &copied, true);
    int further = 0;  // the further files do not decide the run
    for (const AgentFile& f : kFurtherFiles) {
      if ((f.when == kOnly32Bit && g_deploy.facts.is_64bit) || (f.when == kOnly64Bit && !g_deploy.facts.is_64bit) ||
          (f.library && g_deploy.exclude_libraries))
        continue;
      copy_one_file(folder, root, f.name, f.placement, &further, true);
    }
    if (copied == 2) {
      step_status(nullptr, 0, "VORNIX Server Agent files successfully copied");
      *state = kStateFilesCopied;
    }
  }
  if (*state > 54) write_image_path(server);
}

// The service entries: local system, no group, tag or dependencies.
SC_HANDLE create_service(SC_HANDLE manager, const char* name, const char* display, DWORD type, DWORD start,
                         const char* image) {
  return CreateServiceA(manager, name, display, SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_NORMAL, image, nullptr,
                        nullptr, nullptr, nullptr, nullptr);
}

void create_agent_services(SC_HANDLE manager, HKEY server, int* state) {
  const bool wide = g_deploy.facts.is_64bit;
  if (g_library.sibling_mode) {
    add_row(kStepProgress, "Installing QVAWKQ Service", "...");
    if (manager == nullptr) {
      step_status(nullptr, 0, text("QVAWKQ Service FAILED to open SC[%d]", static_cast<int>(GetLastError())).s);
      return;
    }
    SC_HANDLE service = create_service(manager, "QVAWKQService", "QVAWKQ Service", SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_AUTO_START,
                                       wide ? "%SystemRoot%\\sysWow64\\drivers\\qvawkq.exe"
                                            : "%SystemRoot%\\system32\\drivers\\qvawkq.exe");
    DWORD error = service ? 0 : GetLastError();
    if (service) {
      step_status(nullptr, 0, "QVAWKQ Service 1 of 1 INSTALLED OK");
      *state = kStateBothCreated;
      CloseServiceHandle(service);
    } else if (error == ERROR_SERVICE_EXISTS) {
      step_status(nullptr, 0, "QVAWKQ Service 1 of 1 PREVIOUSLY INSTALLED");
      *state = kStateAgentExisted;
    } else {
      step_status(nullptr, 0, text("QVAWKQ Service 1 of 1 FAILED to INSTALL [%d]", static_cast<int>(error)).s);
      *state = kStateAgentCreateFailed;
    }
    HKEY key;
    if (*state > 90 && RegOpenKeyExA(server, "SYSTEM\\CurrentControlSet\\Services\\QVAWKQService", 0, KEY_ALL_ACCESS,
                                     &key) == ERROR_SUCCESS) {
      static const char kDescription[] = "QVAWKQ agent: guards the accounts and groups of this server";
      RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDescription), sizeof kDescription);
      RegCloseKey(key);
    }
    return;
  }
  add_row(kStepProgress, "Installing VORNIX Service", "...");
  if (manager == nullptr) {
    step_status(nullptr, 0, text("VORNIXW Service FAILED to open SC[%d]", static_cast<int>(GetLastError())).s);
    return;
  }
  const char* driver = wide ? "VNXW_K64" : "VNXW_K32";
  if (SC_HANDLE existing = OpenServiceA(manager, driver, SERVICE_QUERY_STATUS)) {
    CloseServiceHandle(existing);
    *state = kStateAlreadyInstalled;
    step_status(nullptr, 0, "VORNIX Service already installed");
    return;
  }
  SC_HANDLE agent = create_service(manager, "VORNIXWService", "VORNIXW Service", SERVICE_WIN32_OWN_PROCESS,
                                   SERVICE_AUTO_START,
                                   wide ? "%SystemRoot%\\sysWOW64\\vornixw.exe"
                                        : "%SystemRoot%\\system32\\drivers\\vornixw.exe");
  if (agent == nullptr) {
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_EXISTS) {
      step_status(nullptr, 0, "VORNIXW Service 1 of 2 PREVIOUSLY INSTALLED");
      *state = kStateAgentExisted;
    } else {
      step_status(nullptr, 0, text("VORNIXW Service 1 of 2 FAILED to INSTALL [%d]", static_cast<int>(error)).s);
      *state = kStateAgentCreateFailed;
    }
    return;
  }
  CloseServiceHandle(agent);
  step_status(nullptr, 0, "VORNIXW Service 1 of 2 INSTALLED OK");
  *state = kStateAgentCreated;
  SC_HANDLE kernel = create_service(manager, driver,
                                    wide ? "VORNIXW 64bit Kernel Driver" : "VORNIXW 32bit Kernel Driver",
                                    SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                    wide ? "%SystemRoot%\\system32\\drivers\\vnxw_k64.sys"
                                         : "%SystemRoot%\\system32\\drivers\\vnxw_k32.sys");
  DWORD error = kernel ? 0 : GetLastError();
  if (kernel) {
    CloseServiceHandle(kernel);
    step_status(nullptr, 0, "VORNIXW Service 2 of 2 INSTALLED OK");
    *state = kStateBothCreated;
  } else if (error == ERROR_SERVICE_EXISTS) {
    step_status(nullptr, 0, "VORNIXW Service 2 of 2 PREVIOUSLY INSTALLED");
    *state = kStateDriverExisted;
  } else {
    step_status(nullptr, 0, text("VORNIXW Service 2 of 2 FAILED to INSTALL [%d]", static_cast<int>(error)).s);
    *state = kStateDriverCreateFailed;
  }
}

void run_install(int mode, const char* report_path, const char* departments, const char* enterprise_hosts) {
  const AgentProduct& product = agent_product();
  int state = kStateInitial;
  HKEY server = nullptr;
  SC_HANDLE manager = nullptr;
  add_row(kStepConnecting, "Connecting to Registry", "...");
  DWORD rc = ConnectServerRegistry(g_deploy.server, &server, product.install_connect_title,
                                   product.install_connect_title == nullptr);
  if (server == nullptr && rc != 0) {
    add_row(kStepError, text("Stopping %s Server Agent", product.product).s,
            rc == ERROR_BAD_NETPATH || rc == ERROR_BAD_NET_NAME
                ? "Unable to connect to Registry - machine name not found on network"
                : text("Unable to connect to Registry, err=%d", static_cast<int>(rc)).s);
  } else {
    probe_platform(server, &g_deploy.facts);
    add_row(kStepConnecting, "Connecting to Service Control Manager", "...");
    DWORD error = 0;
    manager = open_service_manager(g_deploy.server, SC_MANAGER_ALL_ACCESS, kManagerRetries, &error);
    if (manager == nullptr) {
      add_row(kStepError, "Open Service Control Manager", text("FAILED to open ServiceCtrlMgr[%d]", static_cast<int>(error)).s);
    } else {
      state = mode == kModeUpdateIfStopped ? kStateLeaveRunning : kStateWantsStop;
      add_row(kStepProgress, text("Stopping %s Server Agent", product.product).s, "...");
      run_stop_step(manager, &state);
      add_row(kStepCopying, "Copying Agent Files", "...");
      copy_agent_files(server, &state);
      if (state > 54) create_agent_services(manager, server, &state);
      if (state > 90) EstablishServerKey(server, g_deploy.server, report_path, departments, enterprise_hosts);
      if (mode == kModeInstallAndStart) {
        Sleep(kStartPauseMs);
        add_row(kStepProgress, text("Starting %s Server Agent", product.product).s, "...");
        if (StartAgentService(server, manager, g_deploy.server, nullptr, 0))
          step_status(nullptr, 0, text("%s Service Started", product.agent).s);
      }
      CloseServiceHandle(manager);
    }
  }
  if (state <= 90)
    add_row(kStepError, "Installation Complete",
            text("[%x][%x]Errors encountered, not installed", static_cast<unsigned>(state), kSecondCode).s);
  else
    add_row(kStepSuccess, "Installation Complete", "<done>");
}

}  // namespace

// ---- The run -------------------------------------------------------------------------

void InstallAgentRun(HWND owner, int mode, const char* server, const char* report_path, const char* departments,
                     const char* enterprise_hosts, uint32_t status_id, DWORD) {
  g_deploy.exclude_libraries = false;
  for (const auto& alias : kModeWithoutLibraries) {
    if (mode != alias[0]) continue;
    mode = alias[1];
    g_deploy.exclude_libraries = true;
  }
  HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  g_deploy.status_id = status_id;
  copy_text(g_deploy.server, sizeof g_deploy.server, server);
  set_step_server(g_deploy.server);
  if (g_deploy.server[0] == '\0') {
    if (g_results.window) add_results_row(g_results.window, kStepError, "?server?", "Server Name unspecified?", "", nullptr);
  } else if (mode == kModeRemove) {
    run_removal(owner);
  } else {
    run_install(mode, report_path ? report_path : "", departments ? departments : "",
                enterprise_hosts ? enterprise_hosts : "");
  }
  SetCursor(cursor);
}
