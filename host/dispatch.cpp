// The dispatching entry points: each runs its frame (initialisation test,
// module test, selected row, time-zone refresh) and routes the event on its
// control identifier. Identifiers that no handler claims answer 4061, and the
// host applies its own default.
#include <cstring>

#include "config/profiles.h"
#include "config/registry.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/enterprise_screens.h"
#include "net/tcp_requests.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_views.h"

namespace {

// ---- Button events -----------------------------------------------------------

struct ButtonEvent {
  HWND screen;
  uintptr_t* descriptor;
  HWND companion;
  int selected_row;  // 1-based; 0 when none
};


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

DWORD profile_screen_button(const ButtonEvent& e) {
  return ProfileScreenButton(e.screen, e.descriptor, e.companion, e.selected_row);
}

// The quick report: runs on the selected server, or offers to stop the running one.
DWORD quick_report_button(const ButtonEvent& e) { return QuickReportButton(e.screen, e.descriptor, e.companion); }

// Delete, archive or restore the files of the rows selected in the companion log file list.
DWORD log_file_button(const ButtonEvent& e) {
  uint32_t id = descriptor_identifier(e.descriptor);
  LogFileCommandKind kind = id == 0x6041000A ? kDeleteLogFiles : id == 0x6041000B ? kArchiveLogFiles : kRestoreLogFiles;
  HWND button = GetDlgItem(e.screen, descriptor_half(e.descriptor, kDescHalfDialogItem));
  LogFileCommand(e.screen, button, e.companion, current_server().name, kind);
  return 1;
}

DWORD enterprise_host_button(const ButtonEvent& e) { return EnterpriseHostButton(e.screen, e.descriptor, e.companion); }

struct ButtonRoute {
  uint32_t first, last;
  DWORD (*handler)(const ButtonEvent&);
};

constexpr ButtonRoute kButtonRoutes[] = {
    {kSelectAllRowsButton, kSelectAllRowsButton, select_all_rows},
    {kRefreshCompanionButton, kRefreshCompanionButton, refresh_companion},
    {0x6041000A, 0x6041000B, log_file_button},
    {0x60410934, 0x60410934, log_file_button},
    {kQuickReportButton, kQuickReportButton, quick_report_button},
    // Profile screens: add, delete, IP ranges, alert e-mails and filters, paired-list moves.
    {0x60210027, 0x6021002A, profile_screen_button},
    {0x60210037, 0x60210038, profile_screen_button},
    {0x6021003A, 0x6021003B, profile_screen_button},
    {0x6021003E, 0x6021003E, profile_screen_button},
    {0x60210105, 0x6021010E, profile_screen_button},
    {0x602100CC, 0x602100CD, profile_screen_button},
    {0x602100CF, 0x602100CF, profile_screen_button},
    // File tracking entries (add, change, add a share, add an excluded file) and the two option groups.
    {0x60210052, 0x60210052, profile_screen_button},
    {0x602100B1, 0x602100B1, profile_screen_button},
    {0x60212078, 0x60212079, profile_screen_button},
    {0x602100B6, 0x602100B6, profile_screen_button},
    {0x602100B8, 0x602100B8, profile_screen_button},
    // The shared apply button of the property forms: saves the form's lists.
    {0x60A12002, 0x60A12002, profile_screen_button},
    // Enterprise hosts, each on the button's companion tree or list:
    //   0x6021007A  add the host typed in the edit field 0x6028007A (gather)
    //   0x6021007B  scan: gather the selected host again
    //   0x6021007C  status of the selected host into its row's record
    //   0x6021007D  registered servers: the servers the selected host knows
    //   0x6021007E  remove the selected host, after a confirmation
    //   0x6021007F  status of every row in turn
    //   0x60210095  Active Alert agents of the selected server
    //   0x603100A4  Get: status of the current server (server screen)
    {0x6021007A, 0x6021007F, enterprise_host_button},
    {0x60210095, 0x60210095, enterprise_host_button},
    {0x603100A4, 0x603100A4, enterprise_host_button},
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

// The console's server list is the main server list: its selection is the
// current server, guarded against unsaved changes.
DWORD note_main_server_list(const ListEvent& e) {
  watch_main_server_list(e.control);
  return list_known_servers(e);
}

DWORD profile_screen_list(const ListEvent& e) { return ProfileScreenList(e.control, e.id, e.record); }

// Report views: columns and sort keys, then the host fills and sorts the list.
DWORD report_view_list(const ListEvent& e) { return ReportViewListEvent(e.control); }

// View Log File Data: the selected log files read into the companion report list.
DWORD view_log_file_data(const ListEvent& e) { return ViewLogFileData(e.control, e.descriptor); }

// The quick report started from a list of its screen: the screen is told when the run ends.
DWORD quick_report_list(const ListEvent& e) { return QuickReportListEvent(e.control, e.descriptor); }

// Alert agent users of QVAWKQ servers: the current server's Active Alert agents,
// asked on its QVAWKQ request port, each a row of this list.
DWORD sibling_alert_agents(const ListEvent& e) {
  CurrentServer server = current_server();
  RequestSiblingAlertAgents(server.name, server.record, e.control, nullptr, 0);
  return 1;
}

struct ListRoute {
  uint32_t first, last;
  DWORD (*handler)(const ListEvent&);
};

constexpr ListRoute kListRoutes[] = {
    {kFirstNavigationNode, kLastNavigationNode, insert_navigation_node},
    {kConsoleServerList, kConsoleServerList, note_main_server_list},
    {kCustomReportServerList, kCustomReportServerList, list_known_servers},
    {kSiblingServerList, kSiblingServerList, enter_sibling_mode},
    {kQuietModeSwitch, kQuietModeSwitch, switch_on_quiet_mode},
    {0x60440800, 0x60440800, view_log_file_data},
    {0x60F40050, 0x60F40050, view_log_file_data},
    {kQuickReportList, kQuickReportList, quick_report_list},
    {0x60240001, 0x60240001, report_view_list},
    {0x6034010F, 0x6034010F, report_view_list},
    {0x60340098, 0x60340098, sibling_alert_agents},
    {0x60F4000C, 0x60F4000C, sibling_alert_agents},
    // The profile lists, and the lists of a profile form.
    {0x6024000A, 0x6024000A, profile_screen_list},
    {0x602400CB, 0x602400CB, profile_screen_list},
    {0x6024002B, 0x6024002C, profile_screen_list},
    {0x60240042, 0x60240042, profile_screen_list},
    {0x60240097, 0x60240097, profile_screen_list},
    {0x602400F0, 0x602400F0, profile_screen_list},
    {0x602400F5, 0x602400F5, profile_screen_list},
    {0x603400AC, 0x603400AC, profile_screen_list},
};

template <typename Route, size_t N>
const Route* find_route(const Route (&routes)[N], uint32_t id) {
  for (const Route& r : routes)
    if (id >= r.first && id <= r.last) return &r;
  return nullptr;
}

// ---- Text events -------------------------------------------------------------

struct TextEvent {
  HWND screen;
  uintptr_t* descriptor;
  uint32_t id;
  uintptr_t args[14];  // the entry point's arguments by position; 0 unused
};

struct TextResult {
  char text[kColumnTextBytes];
  LONG value;    // for the out value; -3 unless the handler sets another
  bool numeric;  // passed through host_format_number
};

// The host's text buffer holds a whole column text.
constexpr size_t kHostTextBufferBytes = kColumnTextBytes;

// Report columns: the host passes the row's list item record (its row context) as the third argument.
DWORD report_column(const TextEvent& e, TextResult* result) {
  return report_column_text(reinterpret_cast<BYTE*>(e.args[3]), e.id, result->text, sizeof result->text);
}

// Enterprise host screens: the request status of the current server's status record (the selected main server row).
DWORD request_status(const TextEvent& e, TextResult* result) {
  RequestStatusText(e.id, current_server().record, result->text, sizeof result->text);
  return 0;
}

struct TextRoute {
  uint32_t first, last;
  DWORD (*handler)(const TextEvent&, TextResult*);
};

constexpr TextRoute kTextRoutes[] = {
    {0x60420801, 0x60420811, report_column}, {0x60420900, 0x60420915, report_column},
    {0x60420D01, 0x60420D09, report_column}, {0x60420E01, 0x60420E0A, report_column},
    {0x60420F0A, 0x60420F16, report_column}, {kRequestStatusField, kRequestValueField, request_status},
};

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

  // Styled screens: every list event brings its descriptor, so lists are styled here on first sight.
  style_list_control(control, descriptor);
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

QVMR_EXPORT DWORD WINAPI entry_point_text_services(HWND screen, uintptr_t* descriptor,
                                                   uintptr_t a3, uintptr_t a4, uintptr_t a5,
                                                   DWORD into_buffer, char* text, LONG* out_value,
                                                   uintptr_t a9, uintptr_t a10, uintptr_t a11,
                                                   DWORD control_id, DWORD module_number) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  refresh_time_zone();
  if (module_number != kModuleNumber) return kResultNotHandled;
  if (into_buffer == 0 && descriptor != nullptr && g_library.styled_dialog_mode && g_library.medium_font) {
    HWND control = GetDlgItem(screen, descriptor_half(descriptor, kDescHalfDialogItem));
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_library.medium_font), TRUE);
  }
  if (control_id == kNoTextIdentifier) return 0;
  const TextRoute* route = find_route(kTextRoutes, control_id);
  if (route == nullptr) return kResultNotHandled;
  TextEvent e = {screen, descriptor, control_id,
                 {0, reinterpret_cast<uintptr_t>(screen), reinterpret_cast<uintptr_t>(descriptor), a3, a4, a5,
                  into_buffer, reinterpret_cast<uintptr_t>(text), reinterpret_cast<uintptr_t>(out_value), a9, a10,
                  a11, control_id, module_number}};
  static TextResult result;  // UI thread only
  result.text[0] = '\0';
  result.value = -3;
  result.numeric = false;
  DWORD handled = route->handler(e, &result);
  if (handled == kResultNotHandled) return handled;
  // Common end: numbers grouped by the host, the text to the buffer or the control.
  if (result.numeric) {
    if (auto format = host_service<void(WINAPI*)(char*)>(kHostFormatNumber)) format(result.text);
  }
  if (into_buffer) {
    if (text != nullptr) copy_text(text, kHostTextBufferBytes, result.text);
  } else if (descriptor != nullptr) {
    SetDlgItemTextA(screen, descriptor_half(descriptor, kDescHalfDialogItem), result.text);
  }
  if (out_value != nullptr) *out_value = result.value;
  return 0;
}
