// The removal run: stop the agent and delete its service entry, delete its
// files in a fixed order, then, as the user chose, its log folders and the
// server's product keys. The kernel driver's service is left alone.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "deploy/deploy_steps.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_folders.h"
#include "reports/results_window.h"

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr size_t kPathBytes = 1024;
constexpr int kManagerRetries = 15;

struct RemovedFile {
  const char* name;
  PlacementClass placement;
};
// Deleted in this order, the removal stopping at the first that stays.
constexpr RemovedFile kRequiredFiles[] = {{"vnxwccr.exe", kProgramFile},    {"qvmr0007.dll", kProgramFile},
                                          {"chartdir51.dll", kProgramFile}, {"zovuruve.dll", kProgramFile},
                                          {"vnxsqlxf.exe", kProgramFile}};
// Then these, whatever becomes of them.
constexpr RemovedFile k64BitFiles[] = {{"VNXWK646.SYS", kDriverFile},
                                       {"vnxwk646.inf", kDriverPackageFile},
                                       {"vnxwk646.cat", kDriverPackageFile},
                                       {"vnxwk646.cer", kDriverPackageFile}};
constexpr RemovedFile kOptionalFiles[] = {{"vnx_x32a.dll", kProgramFile}, {"vnx_x64a.exe", kProgramFile},
                                          {"vnx_x64b.dll", kProgramFile}, {"vnxlwa32.dll", kProgramFile},
                                          {"vnxlwa64.dll", kProgramFile}};
constexpr const char* kSiblingFiles[] = {"QVAWKQ.EXE", "qvawkq.dll"};

// Deletes one file; true when it is gone (or was never there) or is a replace-on-restart library.
// Only a file missing from its folder (2) is absent: a missing folder (3) leaves the files where they are.
bool delete_agent_file(const char* root, const RemovedFile& file) {
  char path[kPathBytes];
  agent_file_path(file.placement, root, g_deploy.server, file.name, path, sizeof path);
  const bool restart_file = replaced_on_restart(file.name);
  if (!SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && !restart_file)
      step_status(nullptr, 0, text("The file [%s] is in use.  Unable to reset file attributes.", path).s);
    else if (error != ERROR_FILE_NOT_FOUND && !restart_file)
      step_status(nullptr, 0, text("Error [%d] setting files attributes for [%s].", static_cast<int>(error), path).s);
  }
  if (DeleteFileA(path) || restart_file) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return true;
  step_status(nullptr, 0, text("Error [%d] removing file [%s]", static_cast<int>(error), path).s);
  return false;
}

void delete_agent_files(HKEY server, int* state) {
  if (*state == kStateNotInstalled) return;
  char root[kPathBytes];
  if (!destination_root(server, g_deploy.server, root, sizeof root)) return;
  if (g_library.sibling_mode) {
    for (const char* name : kSiblingFiles)
      if (!delete_agent_file(root, {name, kProgramFile})) return;
    step_status(nullptr, 0, "QVAWKQ *deleted");
    *state = kStateFilesRemoved;
    return;
  }
  const bool wide = g_deploy.facts.is_64bit;
  if (!delete_agent_file(root, {"VORNIXW.EXE", kAgentProgram}) ||
      !delete_agent_file(root, {wide ? "VNXW_K64.SYS" : "VNXW_K32.SYS", kDriverFile}))
    return;
  for (const RemovedFile& file : kRequiredFiles)
    if (!delete_agent_file(root, file)) return;
  if (wide)
    for (const RemovedFile& file : k64BitFiles) delete_agent_file(root, file);
  for (const RemovedFile& file : kOptionalFiles) delete_agent_file(root, file);
  if (delete_agent_file(root, {"vnx_sa2.dll", kProgramFile})) {
    step_status(nullptr, 0, "VNX *deleted");
    *state = kStateFilesRemoved;
  }
}

// The agent's staging folder and the shared log folder of the server, each
// below the server's name; empty when not found.
void find_log_folders(char* staging, char* shared, size_t size) {
  staging[0] = shared[0] = '\0';
  const bool sibling = g_library.sibling_mode != 0;
  HKEY server = nullptr;
  ConnectServerRegistry(g_deploy.server, &server, "UNABLE TO CONTINUE", 0);
  if (server == nullptr) return;
  probe_platform(server, &g_deploy.facts);
  char root[kPathBytes] = {};
  HKEY key;
  if (RegOpenKeyExA(server, kCurrentVersionKey, 0, KEY_READ | g_deploy.facts.view, &key) == ERROR_SUCCESS) {
    DWORD bytes = sizeof root - 1;
    if (RegQueryValueExA(key, "SystemRoot", nullptr, nullptr, reinterpret_cast<BYTE*>(root), &bytes) != ERROR_SUCCESS)
      root[0] = '\0';
    RegCloseKey(key);
  }
  if (char* colon = std::strchr(root, ':')) {
    *colon = '$';
    const char* folder = !sibling ? "\\system32\\drivers\\vornix"
                         : g_deploy.facts.is_64bit ? "\\sysWow64\\drivers\\qvawkq"
                                                   : "\\system32\\drivers\\qvawkq";
    std::snprintf(staging, size, "\\\\%s\\%s%s", g_deploy.server, root, folder);
  } else {
    add_row(kStepError, "Retrieve SystemRoot",
            text("%sSystemRoot found [%s] is unworkable, please contact %s for assistance", sibling ? "[U49]" : "[U44]",
                 root, kVendorSupportAddress).s);
  }
  char path[kPathBytes] = {};
  if (!sibling) {
    ReadReportPath(server, KEY_ALL_ACCESS | g_deploy.facts.view, path, sizeof path);
  } else if (RegOpenKeyExA(server, kSiblingKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    DWORD bytes = sizeof path - 1;
    if (RegQueryValueExA(key, "LogSharePath", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &bytes) != ERROR_SUCCESS)
      path[0] = '\0';
    RegCloseKey(key);
  }
  if (path[0] != '\0')
    std::snprintf(shared, size, "\\\\%s\\%s%s", g_deploy.server, path, sibling ? "\\qvawkq" : "\\vnxlogs");
}

// The removal options the user checked, after the agent itself is gone.
void remove_what_was_chosen(HWND owner) {
  const DWORD options = g_deploy.removal_options;
  if (options == 0) return;
  char staging[kPathBytes], shared[kPathBytes];
  find_log_folders(staging, shared, sizeof staging);
  // The deletion reports to the results window only when it has an owner.
  HWND reporter = owner ? owner : g_results.window;
  if (options & kRemoveStagingLogs) {
    if (staging[0]) DeleteFolderTree(nullptr, reporter, staging, g_deploy.server, 1);
    else add_row(kStepError, "Delete log files from staging area", "unable to connect to server");
  }
  if (options & kRemoveSharedLogs) {
    if (shared[0]) DeleteFolderTree(nullptr, reporter, shared, g_deploy.server, 1);
    else add_row(kStepError, "Delete log files from shared location", "unable to connect to server -or- already removed");
  }
  if (options & kRemoveRegistryKeys) {
    if (staging[0]) RemoveProductKey(g_deploy.server, 0);
    else add_row(kStepError, text("Remove %s Registry Keys", agent_product().product).s, "unable to connect to server");
  }
}

}  // namespace

void run_removal(HWND owner) {
  const AgentProduct& product = agent_product();
  int state = kStateInitial;
  HKEY server = nullptr;
  add_row(kStepConnecting, "Connecting to Registry", "...");
  ConnectServerRegistry(g_deploy.server, &server, "UNABLE TO CONTINUE", 0);
  probe_platform(server, &g_deploy.facts);
  add_row(kStepConnecting, "Connecting to Service Control Manager", "...");
  DWORD error = 0;
  SC_HANDLE manager = open_service_manager(g_deploy.server, SC_MANAGER_ALL_ACCESS, kManagerRetries, &error);
  // Without the manager nothing is stopped or deleted: no file goes from under a service that may still run.
  if (manager != nullptr) {
    state = kStateRemoval;
    add_row(kStepProgress, text("Stopping %s Server Agent", product.product).s, "...");
    run_stop_step(manager, &state);
    add_row(kStepDeleting, text("Deleting %s Server Agent Files", product.product).s, "...");
    delete_agent_files(server, &state);
    CloseServiceHandle(manager);
  } else {
    add_row(kStepError, "Open Service Control Manager", text("FAILED to open ServiceCtrlMgr.[%d]", static_cast<int>(error)).s);
  }
  add_row(kStepProgress, "About Removal of Agent",
          state == kStateFilesRemoved
              ? "Final Removal will occur after next reboot, agent files removed"
              : text("[%x][%x]Agent Files were NOT removed", static_cast<unsigned>(state), kSecondCode).s);
  remove_what_was_chosen(owner);
}
