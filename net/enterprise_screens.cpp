// The enterprise host buttons. Each works on the control the button names as
// its companion: the enterprise host tree or a server list. A row's label is
// the server name that the request goes to, its item data the server status
// record that receives the request status.
#include "net/enterprise_screens.h"

#include <cstdio>
#include <cstring>

#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"
#include "net/tcp_requests.h"

namespace {

constexpr DWORD kHostFieldBytes = 2000;
constexpr size_t kServerNameBytes = 101;
// A label that has learnt its server allows no Active Alert agents is longer than a name.
constexpr size_t kLabelBytes = kServerNameBytes + sizeof kNotAllowingAlertAgents;
// Long loops let the host process its window messages every fifth step.
constexpr int kPumpEvery = 5;

// A row of a list view (item: its row number) or of a tree view (item: the tree item).
struct HostRow {
  uintptr_t item;
  char name[kServerNameBytes];  // the label without a " <not allowing Active Alert Agents>" it learnt
  BYTE* record;
};

bool is_tree(HWND control) {
  char class_name[32] = {};
  return GetClassNameA(control, class_name, sizeof class_name) != 0 && equal_ignoring_case(class_name, WC_TREEVIEWA);
}

// Reads the row's label and item data; false when the control has no such row.
bool read_row(HWND control, uintptr_t item, HostRow* row) {
  char label[kLabelBytes] = {};
  row->item = item;
  row->record = nullptr;
  if (is_tree(control)) {
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_PARAM;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = label;
    tv.cchTextMax = sizeof label;
    if (!SendMessageA(control, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return false;
    row->record = reinterpret_cast<BYTE*>(tv.lParam);
  } else {
    LPARAM record;
    if (!read_list_row(control, static_cast<int>(item), label, sizeof label, &record)) return false;
    row->record = reinterpret_cast<BYTE*>(record);
  }
  size_t length = std::strlen(label), suffix = std::strlen(kNotAllowingAlertAgents);
  if (length >= suffix && equal_ignoring_case(label + length - suffix, kNotAllowingAlertAgents))
    label[length - suffix] = '\0';
  copy_text(row->name, sizeof row->name, label);
  return true;
}

// The selected row of a list view, or the selected item of a tree view.
bool selected_row(HWND control, HostRow* row) {
  if (control == nullptr || !IsWindow(control)) return false;
  if (is_tree(control)) {
    LRESULT item = SendMessageA(control, TVM_GETNEXTITEM, TVGN_CARET, 0);
    return item != 0 && read_row(control, static_cast<uintptr_t>(item), row);
  }
  LRESULT index = SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  return index >= 0 && read_row(control, static_cast<uintptr_t>(index), row);
}

// The selected row, or the user is asked to select one.
bool need_selected_row(HWND control, HostRow* row) {
  if (selected_row(control, row)) return true;
  show_message(nullptr, "To continue, please select a server.", nullptr, MB_OK | MB_ICONINFORMATION);
  return false;
}

void set_row_label(HWND control, uintptr_t item, const char* label) {
  if (is_tree(control)) {
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = reinterpret_cast<HTREEITEM>(item);
    tv.pszText = const_cast<char*>(label);
    SendMessageA(control, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  } else {
    LVITEMA lv = {};
    lv.pszText = const_cast<char*>(label);
    SendMessageA(control, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
  }
}

void delete_row(HWND control, uintptr_t item) {
  if (is_tree(control)) SendMessageA(control, TVM_DELETEITEM, 0, static_cast<LPARAM>(item));
  else SendMessageA(control, LVM_DELETEITEM, static_cast<WPARAM>(item), 0);
}

// The host redraws what shows the record, the status fields among them.
void record_changed(HWND control, const HostRow& row) {
  if (auto changed = host_service<HostItemRecordChangedFn>(kHostItemRecordChanged))
    changed(control, row.item, row.record);
}

DWORD request_result(int result) { return result == kRequestDone ? 1 : 0; }

// The typed host, without backslashes and cut to its first label, is gathered
// with its members into the tree; an IP address is kept as typed.
DWORD add_host(HWND screen, HWND companion) {
  char name[kHostFieldBytes] = {};
  read_screen_field(screen, kEnterpriseHostNameField, name, sizeof name);
  NormaliseServerName(name, sizeof name, 1);
  if (name[0] == '\0') {
    show_message(nullptr, "To continue, please enter an Enterprise Host name or IPv4 address.",
                 "UNABLE TO ADD ENTERPRISE HOST", MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  return request_result(RequestEnterpriseGather(name, nullptr, companion));
}

DWORD host_status(HWND control, const HostRow& row) {
  int result = RequestEnterpriseStatus(row.name, row.record);
  record_changed(control, row);
  return request_result(result);
}

// Every row in order: a list's rows, or a tree's enterprise hosts (its top items).
DWORD every_host_status(HWND companion) {
  if (companion == nullptr || !IsWindow(companion)) return 1;
  bool tree = is_tree(companion);
  uintptr_t item = tree ? static_cast<uintptr_t>(SendMessageA(companion, TVM_GETNEXTITEM, TVGN_ROOT, 0)) : 0;
  DWORD result = 1;
  HostRow row;
  for (int step = 1; (!tree || item != 0) && read_row(companion, item, &row); ++step) {
    if (host_status(companion, row) == 0) result = 0;
    if (step % kPumpEvery == 0) {
      if (auto pump = host_service<HostPumpMessagesFn>(kHostPumpMessages)) pump();
    }
    item = tree ? static_cast<uintptr_t>(SendMessageA(companion, TVM_GETNEXTITEM, TVGN_NEXT, static_cast<LPARAM>(item)))
                : item + 1;
  }
  return result;
}

DWORD remove_host(HWND companion, const HostRow& row) {
  char question[200];
  std::snprintf(question, sizeof question, "Remove %s from the list of Enterprise Hosts?", row.name);
  if (ask_confirmation(nullptr, question, "Remove Enterprise Host", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 0;
  delete_row(companion, row.item);
  return 1;
}

// The agents become rows of the companion; a server that allows none says so in its label.
DWORD alert_agents(HWND companion, const HostRow& row) {
  char label[kLabelBytes];
  copy_text(label, sizeof label, row.name);
  int result = RequestAlertAgents(row.name, row.record, companion, label, sizeof label);
  // Only a refusal changes the label, and a refusal adds no rows that could have moved this one.
  if (std::strcmp(label, row.name) != 0) set_row_label(companion, row.item, label);
  return request_result(result);
}

}  // namespace

DWORD EnterpriseHostButton(HWND screen, const uintptr_t* descriptor, HWND companion) {
  uint32_t id = descriptor_identifier(descriptor);
  if (id == kAddEnterpriseHostButton) return add_host(screen, companion);
  if (id == kEveryHostStatusButton) return every_host_status(companion);
  HostRow row;
  switch (id) {
    case kScanEnterpriseHostButton:
      if (!need_selected_row(companion, &row)) return 0;
      return request_result(RequestEnterpriseGather(row.name, row.record, companion));
    case kEnterpriseHostStatusButton:
      return need_selected_row(companion, &row) ? host_status(companion, row) : 0;
    case kRegisteredServersButton:
      if (!need_selected_row(companion, &row)) return 0;
      return request_result(RequestServersKnown(row.name, row.record, companion));
    case kRemoveEnterpriseHostButton:
      return need_selected_row(companion, &row) ? remove_host(companion, row) : 0;
    case kAlertAgentsButton:
      return need_selected_row(companion, &row) ? alert_agents(companion, row) : 0;
    case kGetServerStatusButton:
      // The current server: the selected row of the main server list.
      return need_selected_row(g_library.main_server_list, &row) ? host_status(g_library.main_server_list, row) : 0;
    default:
      return kResultNotHandled;
  }
}
