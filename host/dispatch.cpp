// The dispatching entry points: each runs its frame (initialisation test,
// module test, selected row, time-zone refresh) and routes the event on its
// control identifier. Identifiers that no handler claims answer 4061, and the
// host applies its own default.
#include <cstring>

#include "config/registry.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"

namespace {

// ---- Button events -----------------------------------------------------------

struct ButtonEvent {
  HWND screen;
  uintptr_t* descriptor;
  HWND companion;
  int selected_row;  // 1-based; 0 when none
};

// Per-call work area, cleared before each button event is routed.
BYTE g_button_work_area[4504];

DWORD select_all_rows(const ButtonEvent& e) {
  if (e.selected_row > 0) {
    LVITEMA state = {};
    state.state = LVIS_SELECTED;
    state.stateMask = 0xF;
    SendMessageA(e.companion, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  }
  return 1;
}

DWORD refresh_companion(const ButtonEvent& e) {
  if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh(e.companion, 0, 0);
  return 1;
}

struct ButtonRoute {
  uint32_t first, last;
  DWORD (*handler)(const ButtonEvent&);
};

constexpr ButtonRoute kButtonRoutes[] = {
    {kSelectAllRowsButton, kSelectAllRowsButton, select_all_rows},
    {kRefreshCompanionButton, kRefreshCompanionButton, refresh_companion},
};

// ---- List events -------------------------------------------------------------

struct ListEvent {
  HWND control;
  uint32_t id;
  uintptr_t* descriptor;
  uintptr_t args[15];  // the entry point's arguments by position; 0 unused
  BYTE* record;        // the per-call list item record
};

struct NavigationNode {
  const char* label;
  int image;
};

constexpr NavigationNode kNavigationNodes[] = {
    {"VORNIX for Windows", 22},  {"Quick Start", 61},
    {"<<Server Groups>>", 65},   {"Profiles", 38},
    {"Reports", 29},             {"Configuration", 71},
    {"Servers", 58},             {"<<List Profiles>>", 65},
    {"<<List Reports>>", 65},    {"<<List Configuration Details>>", 65},
    {"<<List Servers in Group>>", 65},
};
static_assert(sizeof kNavigationNodes / sizeof kNavigationNodes[0] ==
                  kLastNavigationNode - kFirstNavigationNode + 1,
              "one label per navigation node");

// Inserts the node as the first child of the parent item that the host passes,
// then lets the host go on with its own default.
DWORD insert_navigation_node(const ListEvent& e) {
  const NavigationNode& node = kNavigationNodes[e.id - kFirstNavigationNode];
  if (auto insert = host_service<HostInsertItemFn>(kHostInsertItem))
    insert(e.control, reinterpret_cast<HTREEITEM>(e.args[10]), TVI_FIRST, node.label, node.image, 1,
           e.args[12], e.descriptor, e.record, e.args[14]);
  return kResultNotHandled;
}

DWORD switch_on_quiet_mode(const ListEvent&) {
  g_library.quiet_mode = 1;
  return 1;
}

void apply_explorer_theme(HWND control) {
  static const WCHAR kExplorer[] = {'e', 'x', 'p', 'l', 'o', 'r', 'e', 'r', 0};
  if (g_library.set_window_theme == nullptr) return;
  g_library.set_window_theme(GetParent(control), kExplorer, nullptr);
  g_library.set_window_theme(control, kExplorer, nullptr);
}

// Server lists are filled with the known servers; the host then goes on with its default.
DWORD list_known_servers(const ListEvent& e) {
  DWORD key = e.descriptor ? descriptor_half(e.descriptor, kDescHalfListCompanionKey) : 0;
  ListKnownServers(e.id, e.control, key);
  return kResultNotHandled;
}

// The first event of the sibling product's server list switches sibling mode on.
DWORD enter_sibling_mode(const ListEvent& e) {
  if (!g_library.sibling_mode) {
    g_library.sibling_mode = 1;
    apply_explorer_theme(e.control);
  }
  return list_known_servers(e);
}

// The known-server list of the server screens is the main server list: its
// selection is the current server, guarded against unsaved changes.
DWORD note_main_server_list(const ListEvent& e) {
  watch_main_server_list(e.control);
  return list_known_servers(e);
}

struct ListRoute {
  uint32_t first, last;
  DWORD (*handler)(const ListEvent&);
};

constexpr ListRoute kListRoutes[] = {
    {kFirstNavigationNode, kLastNavigationNode, insert_navigation_node},
    {kKnownServerList, kKnownServerList, note_main_server_list},
    {kSiblingServerList, kSiblingServerList, enter_sibling_mode},
    {kInstallServerList, kInstallServerList, list_known_servers},
    {kQuietModeSwitch, kQuietModeSwitch, switch_on_quiet_mode},
};

template <typename Route, size_t N>
const Route* find_route(const Route (&routes)[N], uint32_t id) {
  for (const Route& r : routes)
    if (id >= r.first && id <= r.last) return &r;
  return nullptr;
}

// List events wait, up to about five seconds, for the host to fill the image lists.
void wait_for_image_lists() {
  for (int tries = 0; tries < 101 && !g_library.image_list_ready; ++tries) Sleep(50);
}

}  // namespace

QVMR_EXPORT DWORD WINAPI entry_point_button_services(HWND screen, DWORD, uintptr_t* event) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (descriptor_module(event) != kModuleNumber) return kResultNotHandled;
  ButtonEvent e = {screen, event, companion_window(event), 0};
  e.selected_row = selected_row_number(e.companion);
  std::memset(g_button_work_area, 0, sizeof g_button_work_area);
  const ButtonRoute* route = find_route(kButtonRoutes, descriptor_identifier(event));
  return route ? route->handler(e) : kResultNotHandled;
}

QVMR_EXPORT DWORD WINAPI entry_point_list_services(HWND control, uintptr_t a2, uintptr_t a3,
                                                   DWORD control_id, uintptr_t a5, uintptr_t a6,
                                                   uintptr_t* descriptor, uintptr_t a8,
                                                   uintptr_t a9, uintptr_t a10, uintptr_t a11,
                                                   uintptr_t a12, uintptr_t a13, uintptr_t a14) {
  wait_for_image_lists();
  refresh_time_zone();
  if (g_library.initialised != 1) return kResultNotInitialised;

  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordModule, kModuleNumber);
  set_item_word(record, kItemWordControlId, control_id);
  set_item_word(record, kItemWordDialogItem, static_cast<uint32_t>(GetDlgCtrlID(control)));
  ListEvent e = {control, control_id, descriptor,
                 {0, reinterpret_cast<uintptr_t>(control), a2, a3, control_id, a5, a6,
                  reinterpret_cast<uintptr_t>(descriptor), a8, a9, a10, a11, a12, a13, a14},
                 record};

  // Styled screens leave a server that cannot be read alone.
  if (g_library.styled_dialog_mode && IsWindow(g_library.main_server_list)) {
    CurrentServer server = current_server();
    if (server.record != nullptr && (item_word(server.record, kItemWordAgentState) == kAgentPermissionError ||
                                     server.record[kItemByteReachability] == kUnreachable))
      return 1;
  }
  if (g_library.sibling_mode) apply_explorer_theme(control);
  const ListRoute* route = find_route(kListRoutes, control_id);
  return route ? route->handler(e) : kResultNotHandled;
}

QVMR_EXPORT DWORD WINAPI entry_point_text_services(HWND screen, uintptr_t* descriptor, uintptr_t,
                                                   uintptr_t, uintptr_t, DWORD into_buffer, char*,
                                                   LONG*, uintptr_t, uintptr_t, uintptr_t,
                                                   DWORD control_id, DWORD module_number) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  refresh_time_zone();
  if (module_number != kModuleNumber) return kResultNotHandled;
  if (into_buffer == 0 && descriptor != nullptr && g_library.styled_dialog_mode && g_library.medium_font) {
    HWND control = GetDlgItem(screen, descriptor_half(descriptor, kDescHalfDialogItem));
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_library.medium_font), TRUE);
  }
  if (control_id == kNoTextIdentifier) return 0;
  return kResultNotHandled;
}
