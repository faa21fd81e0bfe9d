// The deployment screens: what each button asks of the user before a run,
// which servers the run is for, and the results window it reports into.
#include "deploy/deploy_screens.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "deploy/deploy_steps.h"
#include "deploy/server_status.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/server_access.h"
#include "net/tcp_requests.h"
#include "reports/results_window.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kFieldBytes = 512;
constexpr int kProbeRetries = 7;
constexpr DWORD kProgressWindowValue = 85;

// The server a button works on: a list row, or the current server.
struct Target {
  char name[kDeployServerBytes];
  BYTE* record;  // its server status record; null when none
};

// The companion list's selected row, else the current server (this computer when none is selected).
Target target_of(const ButtonEvent& e) {
  Target t = {};
  LPARAM record = 0;
  if (e.companion && e.selected_row > 0 && read_list_row(e.companion, e.selected_row - 1, t.name, sizeof t.name, &record)) {
    t.record = reinterpret_cast<BYTE*>(record);
    return t;
  }
  CurrentServer current = current_server();
  copy_text(t.name, sizeof t.name, current.name);
  t.record = current.record;
  return t;
}

// The mode without the VNXLWA libraries.
int without_libraries(int mode) {
  for (const auto& alias : kModeWithoutLibraries)
    if (alias[1] == mode) return alias[0];
  return mode;
}

HWND open_results(const char* title) {
  HWND window = open_results_window(title);
  if (window == nullptr) show_message(nullptr, "Error starting report view", nullptr, MB_ICONERROR);
  return window;
}

// The first part of the two-minute refusals: "Server Agent on %s last started less than 2 minutes ago."
void refuse_recent_start(HWND owner, const char* server, const char* operation, const char* title) {
  show_message(owner,
               text("Server Agent on %s last started less than 2 minutes ago.\n\nUnable to stop/%s - please retry "
                    "after 2 minutes.",
                    server, operation).s,
               title, MB_ICONERROR);
}

// ---- Dialogs ------------------------------------------------------------------

struct UpdateChoice {
  int mode;
};

INT_PTR CALLBACK update_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    SendMessageA(GetDlgItem(dialog, IDC_UPDATE_RESTART), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(GetDlgItem(dialog, IDC_UPDATE_LIBRARIES), BM_SETCHECK, BST_CHECKED, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  int id = LOWORD(wparam);
  if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (id != IDOK && id != IDC_UPDATE_MULTIPLE) return FALSE;
  auto* choice = reinterpret_cast<UpdateChoice*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  auto checked = [&](int item) { return SendMessageA(GetDlgItem(dialog, item), BM_GETCHECK, 0, 0) == BST_CHECKED; };
  // The third choice is the dialog's 3, which the run takes as mode 8.
  choice->mode = checked(IDC_UPDATE_SKIP) ? kModeUpdateIfStopped
                 : checked(IDC_UPDATE_NO_RESTART) ? kModeInstallNoStart
                                                  : kModeInstallAndStart;
  HWND libraries = GetDlgItem(dialog, IDC_UPDATE_LIBRARIES);
  if (libraries && !checked(IDC_UPDATE_LIBRARIES)) choice->mode = without_libraries(choice->mode);
  EndDialog(dialog, id);
  return TRUE;
}

INT_PTR CALLBACK removal_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    return TRUE;
  }
  if (message != WM_COMMAND || (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL)) return FALSE;
  auto* options = reinterpret_cast<DWORD*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  const struct {
    int item;
    DWORD option;
  } boxes[] = {{IDC_REMOVE_STAGING_LOGS, kRemoveStagingLogs},
               {IDC_REMOVE_SHARED_LOGS, kRemoveSharedLogs},
               {IDC_REMOVE_REGISTRY_KEYS, kRemoveRegistryKeys}};
  *options = 0;
  for (const auto& box : boxes)
    if (SendMessageA(GetDlgItem(dialog, box.item), BM_GETCHECK, 0, 0) == BST_CHECKED) *options |= box.option;
  EndDialog(dialog, LOWORD(wparam));
  return TRUE;
}

// Updates one server of an update request, unless its agent started less than two minutes ago.
void update_one(HWND owner, const Target& t, int mode, uint32_t id) {
  if (agent_started_recently(t.record)) {
    copy_text(g_deploy.server, sizeof g_deploy.server, t.name);
    add_row(kStepError, "Server Agent last started less than 2 minutes ago", "unable to update - please retry after 2 minutes");
    return;
  }
  InstallAgentRun(owner, mode, t.name, "", "", "", id, 1);
}

// The selected rows of a server list, in list order.
int selected_servers(HWND list, Target* out, int most) {
  int count = 0;
  for (int row = -1; count < most;) {
    row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
    if (row < 0) break;
    LPARAM record = 0;
    if (!read_list_row(list, row, out[count].name, sizeof out[count].name, &record)) break;
    out[count++].record = reinterpret_cast<BYTE*>(record);
  }
  return count;
}

}  // namespace

bool agent_started_recently(const BYTE* record) {
  if (record == nullptr) return false;
  uint32_t started = item_word(record, kItemWordAgentStartTime);
  return started != 0 && started + kAgentRestartSeconds > current_seconds();
}

DWORD CheckNewInstallation(HWND owner, const char* server) {
  const AgentProduct& product = agent_product();
  HWND progress = nullptr;
  if (auto open = host_service<HostOpenProgressWindowFn>(kHostOpenProgressWindow)) {
    progress = open(owner, kProgressWindowValue);
    if (progress) SetWindowTextA(progress, text("Checking %s...", server).s);
  }
  DWORD result = kProbeNoAccess;
  DWORD error = 0;
  SC_HANDLE manager = CheckServerAccess(server)
                          ? open_service_manager(server, GENERIC_READ, kProbeRetries, &error)
                          : nullptr;
  if (manager != nullptr) {
    SC_HANDLE service = OpenServiceA(manager, product.service, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    // A service that cannot be opened for another reason cannot be probed either.
    if (service == nullptr) result = GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? kProbeNotInstalled : kProbeNoAccess;
    else result = QueryServiceStatus(service, &status) && service_is_active(status.dwCurrentState) ? kProbeRunning
                                                                                                  : kProbeStopped;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  if (progress) SendMessageA(progress, WM_CLOSE, 0, 0);
  const char* title = g_library.sibling_mode ? "QVAWKQ Installation" : "Unable to continue";
  if (result > 44)
    show_message(owner,
                 text("Either server %s is unreachable or it appears your current logon credentials are insufficient "
                      "to install the %s Service.",
                      server, product.product).s,
                 title, MB_ICONERROR);
  else if (result <= kProbeRunning)
    show_message(owner,
                 text("It appears that the %s Service is already installed on server %s.  The %s Service is "
                      "%scurrently running.",
                      product.product, server, product.product, result == kProbeStopped ? "NOT " : "").s,
                 title, MB_ICONEXCLAMATION);
  return result;
}

namespace {

static_assert(kLibrariesBox == kFirstRememberedInstallBox && kStartNowBox == kFirstRememberedInstallBox + 1,
              "the boxes remembered in their order");

// The installation fields and boxes as the user left them, offered again when the screen is next
// built; a box the screen does not have counts as clear.
void remember_install_fields(HWND screen) {
  for (int i = 0; i < kRememberedInstallFields; ++i)
    read_screen_field(screen, kFirstRememberedInstallField + i, g_library.remembered_install[i], kRememberedInstallBytes);
  for (int i = 0; i < kRememberedInstallBoxes; ++i) {
    DWORD& checked = g_library.remembered_install_boxes[i];
    if (!read_screen_value(screen, kFirstRememberedInstallBox + i, &checked)) checked = 0;
  }
}

}  // namespace

DWORD DeployInstallButton(const ButtonEvent& e) {
  const uint32_t id = descriptor_identifier(e.descriptor);
  char server[kDeployServerBytes];
  DWORD item = read_screen_field(e.screen, kServerNameField, server, sizeof server);
  if (server[0] == '\0') {
    if (id == kInstallScreenButton || id == kInstallWithoutStartButton || id == kAddNewServerButton)
      show_message(e.screen, "To continue, please enter a Windows Server for VORNIX Installation.",
                   "Server Name Required", MB_ICONINFORMATION);
    else
      show_message(e.screen, "Server to Install is undefined, unable to continue installation.",
                   "VORNIX Error Message", MB_ICONERROR);
    return 0;
  }
  NormaliseServerName(server, sizeof server, 0);
  if (item) SetDlgItemTextA(e.screen, static_cast<int>(item), server);
  if (CheckNewInstallation(e.screen, server) != kProbeNotInstalled) return 1;
  char report_path[kFieldBytes], departments[kFieldBytes], enterprise[kFieldBytes];
  read_screen_field(e.screen, kReportPathField, report_path, sizeof report_path);
  read_screen_field(e.screen, kDepartmentsHostField, departments, sizeof departments);
  read_screen_field(e.screen, kEnterpriseHostField, enterprise, sizeof enterprise);
  if (departments[0]) NormaliseServerName(departments, sizeof departments, 0);
  if (enterprise[0]) NormaliseServerName(enterprise, sizeof enterprise, 0);
  remember_install_fields(e.screen);
  int mode = id == kInstallWithoutStartButton ? kModeInstallNoStart : kModeInstallAndStart;
  DWORD libraries = 0;
  if (read_screen_value(e.screen, kLibrariesBox, &libraries) && !libraries) mode = without_libraries(mode);
  if (!open_results(text("%s Add New Server Results", agent_product().product).s)) return 1;
  InstallAgentRun(e.screen, mode, server, report_path, departments, enterprise, id, 1);
  return 1;
}

DWORD DeployUpdateButton(const ButtonEvent& e) {
  const AgentProduct& product = agent_product();
  const uint32_t id = descriptor_identifier(e.descriptor);
  Target t = target_of(e);
  if (agent_started_recently(t.record)) {
    refuse_recent_start(e.screen, t.name, "update", "UPDATE AGENT ERROR");
    return 0;
  }
  UpdateChoice choice = {kModeInstallAndStart};
  INT_PTR pressed = DialogBoxParamA(g_library.instance, g_library.sibling_mode ? "UPDATE_AGENTKQ" : "UPDATE_AGENT_NEW",
                                    e.screen, update_dialog_proc, reinterpret_cast<LPARAM>(&choice));
  if (pressed == IDOK) {
    if (open_results(product.update_results_title)) update_one(e.screen, t, choice.mode, id);
    return 1;
  }
  if (pressed != IDC_UPDATE_MULTIPLE) return 1;
  // Every selected row of the server list, in list order.
  HWND list = e.companion && IsWindow(e.companion) ? e.companion : g_library.main_server_list;
  static Target servers[1000];
  int count = list ? selected_servers(list, servers, 1000) : 0;
  if (count == 0) {
    show_message(e.screen, "To continue, please select at least one Server.", "No Servers Selected", MB_ICONINFORMATION);
    return 1;
  }
  if (!open_results(text("Multiple %s Server Agent Update Results", product.product).s)) return 1;
  for (int i = 0; i < count; ++i) update_one(e.screen, servers[i], choice.mode, id);
  return 1;
}

DWORD DeployRemoveButton(const ButtonEvent& e) {
  const AgentProduct& product = agent_product();
  Target t = target_of(e);
  if (agent_started_recently(t.record)) {
    refuse_recent_start(e.screen, t.name, "remove", "REMOVE AGENT ERROR");
    return 0;
  }
  const Text warning =
      text("You are about to remove the %s Server Agent from %s.\n\nTo re-install the agent, use Update instead of "
           "removing it: uninstalling does not repair a configuration problem.\n\nFor assistance, contact "
           "Brightmere Software, Inc. at %s.",
           product.product, t.name, kVendorSupportAddress);
  if (ask_with_buttons(e.screen, warning.s, "**WARNING**", "Continue", "Cancel") != 1) return 1;
  DWORD options = 0;
  if (DialogBoxParamA(g_library.instance, "REMOVE_AGENT_NEW", e.screen, removal_dialog_proc,
                      reinterpret_cast<LPARAM>(&options)) != IDOK)
    return 1;
  if (!open_results(product.removal_results_title)) return 1;
  g_deploy.removal_options = options;
  InstallAgentRun(e.screen, kModeRemove, t.name, "", "", "", descriptor_identifier(e.descriptor), 1);
  return 1;
}

DWORD StartOrStopAgent(HWND owner, const char* server, const BYTE* record, bool start) {
  if (start) {
    StartAgentService(nullptr, nullptr, server, nullptr, 0);
    return 1;
  }
  if (agent_started_recently(record)) {
    show_message(owner,
                 text("Unable to Stop %s Server Agent - it has been less than 2 minutes since it was last started."
                      "\n\nRetry after 2 minutes has elapsed.",
                      agent_product().product).s,
                 nullptr, MB_ICONERROR);
    return 0;
  }
  StopAgentService(nullptr, server, nullptr, 0);
  return 1;
}

DWORD DeployServiceButton(const ButtonEvent& e) {
  Target t = target_of(e);
  return StartOrStopAgent(e.screen, t.name, t.record, descriptor_identifier(e.descriptor) == kStartSelectedAgentButton);
}

DWORD DeployScoutButton(const ButtonEvent& e) {
  if (descriptor_identifier(e.descriptor) == kInstallScoutButton) {
    // An installed scout is managed on the host's own screen.
    if (ScoutStatus() != kScoutMissing) return kResultNotHandled;
    InstallScout(e.screen);
    return 1;
  }
  return ManageScout(e.screen);
}

DWORD ManageScout(HWND owner) {
  char source[MAX_PATH + 64], installed[MAX_PATH + 64];
  scout_program_paths(source, installed, sizeof source);
  if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) {
    show_message(owner, text("File not present, unable to update\n\n%s", source).s, nullptr, MB_ICONERROR);
    return 0;
  }
  if (open_results("VORNIX Agent Scout Update Results")) UpdateScout(owner);
  return 1;
}

DWORD DeploySummaryText(const TextEvent& e, TextResult* result) {
  DWORD checked = 0;
  if (e.id >= kReportPathSummary) {
    result->text[0] = '\0';
    read_screen_field(e.screen, kReportPathField + (e.id - kReportPathSummary), result->text, sizeof result->text);
    if (result->text[0] == '\0') copy_text(result->text, sizeof result->text, "<not set>");
  } else if (e.id == kLibrariesSummary) {
    read_screen_value(e.screen, kLibrariesBox, &checked);
    copy_text(result->text, sizeof result->text, checked ? "WILL INSTALL" : "DO NOT INSTALL");
  } else {
    read_screen_value(e.screen, kStartNowBox, &checked);
    copy_text(result->text, sizeof result->text, checked ? "WILL START NOW" : "WILL NOT START");
  }
  return 0;
}

DWORD WriteAppletsIni(HWND owner, const char* server, const BYTE* record) {
  char file[MAX_PATH] = "QVAWKQ.INI";
  OPENFILENAMEA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = owner;
  chooser.lpstrFilter = "INI file (*.INI)\0*.INI\0";
  chooser.lpstrFile = file;
  chooser.nMaxFile = sizeof file;
  chooser.lpstrTitle = "Select Path and Filename for INI file";
  chooser.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&chooser)) return 0;
  const BYTE* a = record + kItemIPv4Address;
  char address[16];
  std::snprintf(address, sizeof address, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
  if (WritePrivateProfileStringA("QVAWKQ", "Server", server, file) &&
      WritePrivateProfileStringA("QVAWKQ", "IPv4", address, file))
    return 1;
  char text[MAX_PATH + 64];
  std::snprintf(text, sizeof text, "Failed to write [%s], code [%d].", file, static_cast<int>(GetLastError()));
  show_message(owner, text, nullptr, MB_ICONERROR);
  return 0;
}

// Both need a server row with its status record: the INI file names its address.
DWORD DeployAppletsIniButton(const ButtonEvent& e) {
  Target t = target_of(e);
  if (t.record == nullptr) {
    show_message(e.screen, "To continue, please select a server.", "No Servers Selected", MB_ICONINFORMATION);
    return 0;
  }
  return WriteAppletsIni(e.screen, t.name, t.record);
}

// Chosen: the version entry shows the agent's version as the server's status line has it.
DWORD DeployAgentVersionButton(const ButtonEvent& e) {
  Target t = target_of(e);
  if (t.record == nullptr) {
    show_message(e.screen, "To continue, please select a server.", "No Servers Selected", MB_ICONINFORMATION);
    return 0;
  }
  const char* product = agent_product().product;
  char version[80], message[kDeployServerBytes + 160];
  if (AgentVersionText(t.name, t.record, version, sizeof version))
    std::snprintf(message, sizeof message, "%s Server Agent on %s: %s", product, t.name, version);
  else
    std::snprintf(message, sizeof message, "The %s Server Agent on %s reported no version.", product, t.name);
  show_message(e.screen, message, "Server Agent Version", MB_ICONINFORMATION);
  return 1;
}
