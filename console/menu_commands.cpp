#include "console/menu_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "config/registry.h"
#include "console/command_line.h"
#include "console/in_process.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "deploy/server_status.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "resources/resource.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kMenuScreenKey = 12;
constexpr int kMenuListItem = 400;

bool parse_identifier(const std::string& text, uint32_t* id) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (text.rfind("0x", 0) != 0 || *end != '\0' || value == 0 || value > 0xFFFFFFFFul) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

// The row with this text (case ignored), with a fresh record of this module behind it when the
// list gave it none; a server row's record is read from the server as the host's list keeps it.
BYTE* row_record(HWND list, uint32_t id, const std::string& name, bool* found) {
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int row = -1;
  for (int i = 0; i < rows && row < 0; ++i) {
    char text[kHostRowTextBytes] = {};
    LPARAM none = 0;
    if (read_list_row(list, i, text, sizeof text, &none) && equal_ignoring_case(text, name.c_str())) row = i;
  }
  *found = row >= 0;
  if (row < 0) return nullptr;
  auto* record = reinterpret_cast<BYTE*>(list_row_param(list, row));
  if (record == nullptr) {
    record = reinterpret_cast<BYTE*>(alloc_memory_for_list());
    set_item_word(record, kItemWordModule, kModuleNumber);
    set_item_word(record, kItemWordControlId, id);
    LVITEMA item = {};
    item.iItem = row;
    item.mask = LVIF_PARAM;
    item.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (id == kConsoleServerList || id == kMyServerView || id == kSiblingServerList)
      RefreshServerStatus(name.c_str(), record);
  }
  // The right-clicked row is the selected one, as a click leaves it.
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  return record;
}

void release_rows(HWND list) {
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < rows; ++i)
    if (LPARAM record = list_row_param(list, i)) delete_list_item(0, 0, reinterpret_cast<void*>(record));
}

}  // namespace

int menu_command(std::vector<std::string> args) {
  bool missing = false;
  std::string list_text = take_option(args, "--list", &missing);
  std::string row_name = take_option(args, "--row", &missing);
  std::string choose = take_option(args, "--choose", &missing);
  std::vector<std::string> answers;
  for (std::string answer; !(answer = take_option(args, "--answer", &missing)).empty();) answers.push_back(answer);
  uint32_t id = 0;
  char* end = nullptr;
  long position = choose.empty() ? -1 : std::strtol(choose.c_str(), &end, 10);
  if (missing || !parse_identifier(list_text, &id) || !args.empty() ||
      (!choose.empty() && (*end != '\0' || position < 0 || position >= kMenuPositions)))
    return fail("menu takes --list 0xID, and may take --row NAME, --choose N (0 to 8) and --answer TEXT");
  if (!start_in_process_library({false, true})) return fail("the library refused the host services table");
  host::clear_screens();
  HWND screen = host::create_screen(kMenuScreenKey, "Menu");
  HWND list = host::add_control(screen, kMenuListItem, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  // The list as the host shows it: filled by the library's list event when it has one.
  host::send_list_event(host::in_process_library(), list);
  BYTE* record = nullptr;
  if (!row_name.empty()) {
    bool found = false;
    record = row_record(list, id, row_name, &found);
    if (!found) {
      release_rows(list);
      return fail("the list has no row " + row_name);
    }
  }
  host::MenuEntries entries;
  DWORD result = host::request_menu(host::in_process_library(), list, id, record, kDescriptorListView, &entries);
  if (result != 0) {
    release_rows(list);
    release_registry_connections();
    return fail("the library offers no menu for this list (" + std::to_string(result) + ")");
  }
  for (int i = 0; i < kMenuPositions; ++i)
    if (entries[i][0] != '\0') std::printf("%d  %s\n", i, entries[i].data());
  int status = 0;
  if (position >= 0) {
    if (entries[position][0] == '\0') {
      status = fail("the menu has no entry " + choose);
    } else {
      // Each answer is typed into the next dialog's text field before OK.
      for (const std::string& answer : answers) ui::script({"", IDOK, "", {{IDC_TEXT_FIELD, answer}}});
      result = host::choose_menu_entry(host::in_process_library(), id, record, static_cast<int>(position), screen);
      std::printf("chose %ld: %s\n", position, entries[position].data());
      if (result == kResultNotHandled) status = fail("the host carries out this entry itself");
      else if (result != 1) status = fail("the entry did not complete (see the messages above)");
    }
  }
  release_rows(list);
  release_registry_connections();
  return status;
}

}  // namespace console
