// The context menus of the server lists: My Server View (0x60240001), the
// console's own servers (0x602400C1) and the sibling product's servers
// (0x60F40001). A server row's name is the text of the menu list's row whose
// item data is the right-clicked record.
#include "deploy/server_menus.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "deploy/deploy.h"
#include "deploy/server_status.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/address_scan.h"
#include "resources/resource.h"

namespace {

enum ServerMenuPosition : int {
  kAddServer = 0,
  kRemoveServer = 1,
  kStartAgent = 2,
  kStopAgent = 3,
  kRetryOrIniFile = 4,
  kConfigurationScriptOrErrorLog = 5,
  kAgentAddress = 6,
  kScoutEntry = 7,
};

// Which scout entry the console's server list offered last: 1 install, 2 manage, 0 none.
constexpr DWORD kScoutMenuInstall = 1;
constexpr DWORD kScoutMenuManage = 2;
DWORD g_scout_menu_mode;

struct ServerMenuTexts {
  uint32_t id;
  const char* add;
  const char* remove;
  const char* start;
  const char* stop;
};
constexpr ServerMenuTexts kServerMenus[] = {
    {kMyServerView, "Add New Server to My Server View", "Remove Server from My Server View",
     "Start VORNIX Server Agent", "Stop VORNIX Server Agent"},
    {kConsoleServerList, "Add New Server to this Console", "Remove Server from this Console",
     "Start VORNIX Server Agent", "Stop VORNIX Server Agent"},
    {kSiblingServerList, "Add New Server to Manage", "Remove Server from List", "Start QVAWKQ Server Agent",
     "Stop QVAWKQ Server Agent"},
};

const ServerMenuTexts& texts_of(uint32_t id) {
  for (const ServerMenuTexts& texts : kServerMenus)
    if (texts.id == id) return texts;
  return kServerMenus[0];
}

// The scout entry: offered to install when its service is missing and VNXSCOUT.EXE is beside the
// console program, to manage when the service is installed.
void offer_scout_entry(const MenuRequest& request) {
  char source[MAX_PATH + 64], installed[MAX_PATH + 64];
  scout_program_paths(source, installed, sizeof source);
  g_scout_menu_mode = 0;
  if (ScoutStatus() != kScoutMissing) {
    g_scout_menu_mode = kScoutMenuManage;
    set_menu_entry(request, kScoutEntry, "Manage Agent Scout on Local Machine [%s]", g_library.computer_name);
  } else if (GetFileAttributesA(source) != INVALID_FILE_ATTRIBUTES) {
    g_scout_menu_mode = kScoutMenuInstall;
    set_menu_entry(request, kScoutEntry, "Install Agent Scout on Local Machine [%s]", g_library.computer_name);
  }
}

void refresh_list(HWND list) {
  if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh(list, 0, 0);
}

// A new server: known to the console, with the product's (or the sibling product's) key prepared.
DWORD add_server(const MenuChoice& choice) {
  const char* dialog = g_library.sibling_mode ? "ADD_SERVER_QVAWKQ"
                       : choice.id == kConsoleServerList ? "ADD_SERVER_NEW"
                                                         : "ADD_SERVER";
  char server[kCachedServerNameBytes];
  INT_PTR pressed = ask_text(choice.owner, dialog, server, sizeof server);
  // The sibling product's dialog also offers a scan of an address range for its servers.
  if (pressed == IDC_SCAN_RANGE) return ScanAddressRangeDialog(choice.owner, choice.list) != 0;
  if (pressed != IDOK) return 0;
  DWORD rc = UpdateKnownServer(server, kKnownServerResolve, nullptr);
  if (rc == 0) rc = g_library.sibling_mode ? EstablishSiblingKey(nullptr, server, "")
                                           : EstablishServerKey(nullptr, server, "", "", "");
  refresh_list(choice.list);
  return rc == 0;
}

// Marks the server unread and reads it again, as when it was first listed.
DWORD retry_server(BYTE* record, const char* server) {
  record[kItemByteReachability] = 0;
  set_item_word(record, kItemWordAgentState, 0);
  CurrentServer current = current_server();
  if (current.record != nullptr) set_item_word(current.record, kItemWordUnsavedMark, 0);
  HWND screen = g_library.main_server_screen;
  if (int item = screen ? find_button_item(screen, kModuleNumber, kSaveServerConfigurationButton) : 0) {
    HWND save = GetDlgItem(screen, item);
    InvalidateRect(save, nullptr, TRUE);
    UpdateWindow(save);
  }
  RefreshServerStatus(server, record);
  return 1;
}

}  // namespace

namespace {

DWORD run_configuration_script(HWND owner) {
  auto result = reinterpret_cast<uintptr_t>(ShellExecuteA(owner, "open", "GetVNXConfigPS.bat", nullptr, nullptr,
                                                          SW_SHOWNORMAL));
  if (result > 32) return 1;
  char text[120];
  std::snprintf(text, sizeof text, "Unable to run GetVNXConfigPS.bat, error %u.", static_cast<unsigned>(result));
  show_message(owner, text, nullptr, MB_ICONERROR);
  return 0;
}

}  // namespace

DWORD FillServerMenu(const MenuRequest& request) {
  const ServerMenuTexts& texts = texts_of(request.id);
  set_menu_entry(request, kAddServer, "%s", texts.add);
  if (request.record == nullptr) return 0;
  set_menu_entry(request, kRemoveServer, "%s", texts.remove);
  set_menu_entry(request, kStartAgent, "%s", texts.start);
  set_menu_entry(request, kStopAgent, "%s", texts.stop);
  if (request.id == kSiblingServerList) {
    set_menu_entry(request, kRetryOrIniFile, "Write INI File for Applets");
    set_menu_entry(request, kConfigurationScriptOrErrorLog, "View Error Log");
    return 0;
  }
  if (request.record[kItemByteReachability] == kUnreachable)
    set_menu_entry(request, kRetryOrIniFile, "Retry connecting to server");
  set_menu_entry(request, kConfigurationScriptOrErrorLog, "Run GetVNXConfigPS.bat");
  set_menu_entry(request, kAgentAddress, "Manage IP Address used by Server Agent");
  if (request.id == kConsoleServerList) offer_scout_entry(request);
  return 0;
}

DWORD ActOnServerMenu(const MenuChoice& choice) {
  if (choice.position == kAddServer) return add_server(choice);
  if (choice.position == kScoutEntry && choice.id == kConsoleServerList) {
    if (g_scout_menu_mode == kScoutMenuInstall) return InstallScout(choice.owner);
    // Managing the installed scout is its update, as the management screen's update button runs it.
    return g_scout_menu_mode == kScoutMenuManage ? ManageScout(choice.owner) : 0;
  }
  char server[kCachedServerNameBytes];
  if (row_of_record(choice.list, choice.record, server, sizeof server) < 0) return 0;
  switch (choice.position) {
    case kRemoveServer:
      UpdateKnownServer(server, kKnownServerDelete, nullptr);
      refresh_list(choice.list);
      return 1;
    case kStartAgent:
    case kStopAgent:
      return StartOrStopAgent(choice.owner, server, choice.record, choice.position == kStartAgent);
    case kRetryOrIniFile:
      if (choice.id == kSiblingServerList) return WriteAppletsIni(choice.owner, server, choice.record);
      // My Server View offers the same retry as the console's list, under the same text.
      return retry_server(choice.record, server);
    case kConfigurationScriptOrErrorLog:
      // Where the sibling agent keeps an error log is not known to the console: the entry does nothing.
      if (choice.id == kSiblingServerList) return 0;
      return run_configuration_script(choice.owner);
    case kAgentAddress:
      if (choice.id == kSiblingServerList) return 0;
      return ManageAgentAddress(choice.owner, server, choice.record);
  }
  return 0;
}

