#include "console/screen_controls.h"

#include <commctrl.h>
#include <strings.h>

#include "console/console_output.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "win32/ui_script.h"

namespace console {

HWND add_list(HWND screen, int item, uint32_t id, int columns) {
  HWND list = host::add_control(screen, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  // A list view keeps a cell only in a column it has.
  for (int i = 0; i < columns; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 300;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

HWND add_button(HWND screen, uint16_t screen_key, int item, uint32_t id, int companion_item) {
  return host::add_control(screen, item, "Button", "",
                           host::ControlSpec{id, kDescriptorPushButton, static_cast<uint16_t>(companion_item ? screen_key : 0),
                                             static_cast<uint16_t>(companion_item)});
}

HWND add_field(HWND screen, int item, uint32_t id, const std::string& text) {
  return host::add_control(screen, item, "Edit", text.c_str(), host::ControlSpec{id, kDescriptorEditField});
}

HWND add_check_box(HWND screen, int item, uint32_t id) {
  return host::add_control(screen, item, "Button", "", host::ControlSpec{id, kDescriptorCheckBox});
}

int row_count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string row_text(HWND list, int row, int column) {
  char text[1300] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

std::vector<std::string> row_texts(HWND list) {
  std::vector<std::string> texts;
  for (int row = 0; row < row_count(list); ++row) texts.push_back(row_text(list, row));
  return texts;
}

int find_row(HWND list, const std::string& name) {
  for (int row = 0; row < row_count(list); ++row)
    if (strcasecmp(row_text(list, row).c_str(), name.c_str()) == 0) return row;
  return -1;
}

bool click_named_row(HWND list, const std::string& name) {
  int row = find_row(list, name);
  return row >= 0 && ui::click_row(list, row);
}

void add_to_selection(HWND list, int row) {
  LVITEMA state = {};
  state.stateMask = state.state = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

void* row_record(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return reinterpret_cast<void*>(item.lParam);
}

DWORD press(const Library& l, HWND screen, HWND button) {
  return l.library.entry_point_button_services(screen, 0, host::descriptor_of(button));
}

bool select_server(const Library& l, HWND screen, int item, const std::string& server) {
  HWND servers = add_list(screen, item, kConsoleServerList);
  host::send_list_event(l.library, servers);
  if (click_named_row(servers, server)) return true;
  fail(server + " is not a known server of this console (vornix-console servers lists them)");
  return false;
}

}  // namespace console
