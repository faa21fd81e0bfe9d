#include "console/host_screens.h"

#include <commctrl.h>

#include <strings.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "console/console_output.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/list_item.h"
#include "win32/ui_script.h"

namespace console {

HWND make_server_list(const Library& l) {
  HWND screen = host::create_screen(kServerScreenKey, "Servers");
  HWND list = host::add_control(screen, kServerListItem, WC_LISTVIEWA, "",
                                host::ControlSpec{kConsoleServerList, kDescriptorListView});
  host::send_list_event(l.library, list);
  for (int row = 0; row < row_count(list); ++row) host::attach_row_record(l.library, list, row, kConsoleServerList);
  return list;
}

int find_row(HWND list, const std::string& text) {
  for (int row = 0; row < row_count(list); ++row)
    if (strcasecmp(row_text(list, row).c_str(), text.c_str()) == 0) return row;
  return -1;
}

bool select_server(HWND list, const std::string& server) {
  int row = find_row(list, server);
  if (row < 0) return fail(server + " is not a known server of this console (vornix-console servers lists them)"), false;
  ui::click_row(list, row);
  return true;
}

bool select_server(const Library& l, HWND screen, int item, const std::string& server) {
  HWND servers = add_list(screen, item, kConsoleServerList);
  host::send_list_event(l.library, servers);
  return select_server(servers, server);
}

HWND add_list(HWND screen, int item, uint32_t id, int columns) {
  HWND list = host::add_control(screen, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  for (int i = 0; i < columns; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 300;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

HWND add_field(HWND screen, int item, uint32_t id, const std::string& text) {
  return host::add_control(screen, item, "Edit", text.c_str(), host::ControlSpec{id, kDescriptorEditField});
}

HWND add_check_box(HWND screen, int item, uint32_t id) {
  return host::add_control(screen, item, "Button", "", host::ControlSpec{id, kDescriptorCheckBox});
}

std::string row_text(HWND list, int row, int column) { return support::read_row(list, row, column).text; }

LPARAM row_param(HWND list, int row) { return reinterpret_cast<LPARAM>(support::read_row(list, row).record); }

int row_count(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::string> row_texts(HWND list) {
  std::vector<std::string> texts;
  for (int row = 0; row < row_count(list); ++row) texts.push_back(row_text(list, row));
  return texts;
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

void select_rows(HWND list, const std::vector<int>& rows) {
  for (int row = 0; row < row_count(list); ++row) {
    bool chosen = false;
    for (int r : rows) chosen = chosen || r == row;
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = chosen ? LVIS_SELECTED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  }
}

void give_back_record(const Library& l, LPARAM record) {
  host::give_back_record(l.library, reinterpret_cast<void*>(record));
}

void release_rows(const Library& l, HWND list) {
  for (int row = 0; row < row_count(list); ++row) give_back_record(l, row_param(list, row));
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

HWND add_button(HWND screen, int item, uint32_t id, uint16_t companion_key, int companion_item) {
  return host::add_control(screen, item, "Button", "",
                           host::ControlSpec{id, kDescriptorPushButton, companion_key,
                                             static_cast<uint16_t>(companion_item)});
}

DWORD press(const Library& l, HWND screen, HWND button) {
  return l.library.entry_point_button_services(screen, 0, host::descriptor_of(button));
}

void close_results_windows() {
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.template_name != "ReportAction" || !IsWindow(e.window)) continue;
    PostMessageA(e.window, WM_COMMAND, IDOK, 0);
    while (IsWindow(e.window)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Its thread leaves the library's code right after the window goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool parse_identifier(const std::string& text, uint32_t* id) {
  if (text.size() < 3 || text.size() > 10 || (text.compare(0, 2, "0x") != 0 && text.compare(0, 2, "0X") != 0))
    return false;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str() + 2, &end, 16);
  if (end == nullptr || *end != '\0' || value == 0) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

uint32_t record_u32(const void* record, size_t offset) {
  const auto* p = static_cast<const uint8_t*>(record) + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace console
