// Finding controls on the host's screens: companions, selected rows, the
// control lookup walk and the current server.
#include <algorithm>
#include <initializer_list>

#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"

namespace {

// Visits the controls of a screen in tab order, each once; stops when visit says so.
template <typename Visit>
void walk_controls(HWND screen, Visit visit) {
  SetLastError(0);
  HWND first = GetNextDlgTabItem(screen, nullptr, FALSE);
  if (first == nullptr || GetLastError() != 0) return;
  HWND control = first;
  do {
    if (!visit(control)) return;
    SetLastError(0);
    control = GetNextDlgTabItem(screen, control, FALSE);
  } while (control != nullptr && control != first && GetLastError() == 0);
}

}  // namespace

HWND companion_window(const uintptr_t* descriptor) {
  if (descriptor == nullptr) return nullptr;
  int key_half, item_half;
  switch (descriptor_kind(descriptor)) {
    case kDescriptorPushButton:
    case kDescriptorKind4:
      key_half = kDescHalfCompanionKey;
      item_half = kDescHalfCompanionItem;
      break;
    case kDescriptorListView:
      key_half = kDescHalfListCompanionKey;
      item_half = kDescHalfListCompanionItem;
      break;
    default:
      return nullptr;
  }
  auto screen_window = host_service<HostScreenWindowFn>(kHostScreenWindow);
  if (screen_window == nullptr) return nullptr;
  HWND screen = screen_window(descriptor_half(descriptor, key_half));
  return screen ? GetDlgItem(screen, descriptor_half(descriptor, item_half)) : nullptr;
}

uint16_t screen_key_of(HWND screen) {
  auto screen_window = host_service<HostScreenWindowFn>(kHostScreenWindow);
  uint16_t found = 0;
  if (screen == nullptr || screen_window == nullptr) return 0;
  walk_controls(screen, [&](HWND control) {
    const uintptr_t* d = control_descriptor_of(control);
    if (d == nullptr) return true;
    uint32_t kind = descriptor_kind(d);
    int key_half = kind == kDescriptorListView ? kDescHalfListCompanionKey
                   : kind == kDescriptorPushButton || kind == kDescriptorKind4 ? kDescHalfCompanionKey
                                                                              : -1;
    uint16_t key = key_half < 0 ? 0 : descriptor_half(d, key_half);
    if (key != 0 && screen_window(key) == screen) found = key;
    return found == 0;
  });
  return found;
}

int selected_row_number(HWND list) {
  char class_name[32] = {};
  if (list == nullptr || GetClassNameA(list, class_name, sizeof class_name) == 0 ||
      !equal_ignoring_case(class_name, "SysListView32"))
    return 0;
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) + 1;
}

LPARAM list_row_param(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

BOOL read_list_row(HWND list, int row, char* text, int size, LPARAM* param) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = text;
  item.cchTextMax = size;
  BOOL found = SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
  *param = found ? item.lParam : 0;
  return found;
}

int row_of_record(HWND list, const void* record, char* text, int size) {
  if (record == nullptr) return -1;
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    LPARAM param = 0;
    if (read_list_row(list, row, text, size, &param) && reinterpret_cast<const void*>(param) == record) return row;
  }
  if (size > 0) text[0] = '\0';
  return -1;
}

int selected_row_count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

namespace {

// The dialog item number of the first control of the screen with this module and
// identifier whose descriptor kind is one of kinds; 0 when none.
int find_item_of_kinds(HWND screen, uint32_t module, uint32_t control_id, std::initializer_list<uint32_t> kinds) {
  int found = 0;
  walk_controls(screen, [&](HWND control) {
    const uintptr_t* d = control_descriptor_of(control);
    if (d == nullptr || std::find(kinds.begin(), kinds.end(), descriptor_kind(d)) == kinds.end() ||
        descriptor_module(d) != module || descriptor_identifier(d) != control_id)
      return true;
    found = GetDlgCtrlID(control);
    return false;
  });
  return found;
}

}  // namespace

int find_button_item(HWND screen, uint32_t module, uint32_t control_id) {
  return find_item_of_kinds(screen, module, control_id, {kDescriptorPushButton, kDescriptorCheckBox});
}

int find_control_item(HWND screen, uint32_t module, uint32_t control_id) {
  return find_item_of_kinds(screen, module, control_id,
                            {kDescriptorList, kDescriptorPushButton, kDescriptorKind3, kDescriptorKind4,
                             kDescriptorEditField, kDescriptorListView, kDescriptorCheckBox});
}

int find_list_item(HWND screen, uint32_t module, uint32_t control_id,
                   bool (*visit_row)(int row, const char* text, BYTE* record, void* context), void* context) {
  int item = find_item_of_kinds(screen, module, control_id, {kDescriptorList, kDescriptorKind4, kDescriptorListView});
  auto get_row = host_service<HostGetListRowFn>(kHostGetListRow);
  if (item == 0 || get_row == nullptr) return item;
  HWND list = GetDlgItem(screen, item);
  for (int row = 0;; ++row) {
    uintptr_t param = 0, image = 0, state = 0;
    char text[kHostRowTextBytes + 1] = {};
    if (!get_row(list, row, &param, &image, &state, text, 0, 0, -1)) break;
    if (!visit_row(row, text, reinterpret_cast<BYTE*>(param), context)) break;
  }
  return item;
}

DWORD read_screen_field(HWND screen, uint32_t control_id, char* buffer, DWORD size) {
  buffer[0] = '\0';
  DWORD item = 0;
  if (auto get = host_service<HostGetFieldFn>(kHostGetField))
    get(screen, kModuleNumber, control_id, buffer, size, 0, 0, 0, &item, 0);
  buffer[size - 1] = '\0';
  return item;
}

bool read_screen_value(HWND screen, uint32_t control_id, DWORD* value) {
  *value = 0;
  auto get = host_service<HostGetFieldValueFn>(kHostGetFieldValue);
  return get && get(screen, kModuleNumber, control_id, value) != 0;
}

void walk_screen_controls(HWND screen, bool (*visit)(HWND control, void* context), void* context) {
  walk_controls(screen, [&](HWND control) { return visit(control, context); });
}

void reset_change_counters(HWND screen) {
  walk_controls(screen, [](HWND control) {
    uintptr_t* d = control_descriptor_of(control);
    if (d == nullptr) return true;
    if (descriptor_kind(d) == kDescriptorEditField)
      set_descriptor_word(d, kDescWordEditCounter, kChangeCounterRefresh);
    else if (descriptor_kind(d) == kDescriptorCheckBox)
      set_descriptor_word(d, kDescWordCheckBoxCounter, kChangeCounterRefresh);
    return true;
  });
}

CurrentServer current_server() {
  CurrentServer server = {};
  HWND list = g_library.main_server_list;
  int row = IsWindow(list) ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  LPARAM record = 0;
  if (row >= 0 && read_list_row(list, row, server.name, 100, &record)) {
    server.record = reinterpret_cast<BYTE*>(record);
    return server;
  }
  copy_text(server.name, sizeof server.name, g_library.computer_name);
  return server;
}
