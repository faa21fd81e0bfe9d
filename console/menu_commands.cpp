#include "console/menu_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/report_commands.h"
#include "console/status_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kMenuScreenKey = 12;
constexpr int kMenuListItem = 400;
constexpr DWORD kHostsOwnEntry = 4061;  // the library leaves the entry to the host

// The host's lists that have a context menu, as its screens name them.
struct MenuList {
  const char* ids;
  const char* name;
};
constexpr MenuList kMenuLists[] = {
    {"0x60240001", "My Server View"},
    {"0x602400C1", "the servers of this console"},
    {"0x60F40001", "the QVAWKQ servers"},
    {"0x602400A0", "the quick reports' servers"},
    {"0x602400A1", "the custom reports' servers"},
    {"0x60240018, 0x60240080", "the directory's server lists"},
    {"0x6024000A, 0x602400CB", "the profiles"},
    {"0x6034010F", "the report definitions"},
    {"0x60440D1E", "the quick report's results"},
    {"0x60440800", "a log file's data"},
    {"0x60440D21", "the custom reports"},
    {"0x6044001A", "a custom report's servers"},
    {"0x6044001B", "a custom report's profile patterns"},
    {"0x60F40049, 0x60F4004A", "the log files"},
    {"0x1014001C, 0x10140061, 0x10140062", "a group's members"},
    {"0x10140147", "the directory entries found"},
};

// The row with this text (case ignored), with a record of the host's (this module, the list's identifier) behind
// it when the list gave it none, and selected as the right-click leaves it; null when the list has no such row.
BYTE* row_record(const Library& l, HWND list, uint32_t id, const std::string& name) {
  int row = find_row(list, name);
  if (row < 0) return nullptr;
  auto* record = reinterpret_cast<BYTE*>(row_param(list, row));
  if (record == nullptr) record = static_cast<BYTE*>(host::attach_row_record(l.library, list, row, id));
  select_rows(list, {row});
  return record;
}

// A server row's state as the host's status display reads it: its status line written (to a scratch file).
void read_server_state(const Library& l, HWND list, int row) {
  std::string scratch = (std::filesystem::temp_directory_path() /
                         ("vornix-menu-" + std::to_string(GetCurrentProcessId()) + ".csv")).string();
  HANDLE file = CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  write_status_lines(l, list, {row}, file);
  CloseHandle(file);
  std::filesystem::remove(scratch);
}

}  // namespace

int menu_command(std::vector<std::string> args) {
  if (take_flag(args, "--list-controls")) {
    if (!args.empty()) return usage_error("menu --list-controls takes nothing else");
    std::printf("Lists with a context menu (--list 0xID):\n");
    for (const MenuList& list : kMenuLists) std::printf("  %-36s %s\n", list.ids, list.name);
    return 0;
  }
  bool missing = false;
  std::string list_text = take_option(args, "--list", &missing);
  std::string row_name = take_option(args, "--row", &missing);
  std::string choose = take_option(args, "--choose", &missing);
  std::vector<std::string> answers = take_options(args, "--answer", &missing);
  uint32_t id = 0;
  char* end = nullptr;
  long position = choose.empty() ? -1 : std::strtol(choose.c_str(), &end, 10);
  if (missing || !parse_identifier(list_text, &id) || !args.empty() ||
      (!choose.empty() && (*end != '\0' || position < 0 || position >= static_cast<long>(host::MenuEntries().size()))))
    return usage_error("menu takes --list 0xID, and may take --row NAME, --choose N (0 to 8) and --answer TEXT");
  Library l;
  if (!start(&l)) return 1;
  struct Unload {
    Library& l;
    HWND list = nullptr;
    ~Unload() {
      if (list) release_rows(l, list);
      close_results_windows();
      host::unload_library(&l.library);
    }
  } unload{l};
  HWND screen = host::create_screen(kMenuScreenKey, "Menu");
  HWND list = host::add_control(screen, kMenuListItem, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  unload.list = list;
  // The list as the host shows it: filled by the library's list event when it has one.
  host::send_list_event(l.library, list);
  BYTE* record = nullptr;
  if (!row_name.empty()) {
    record = row_record(l, list, id, row_name);
    if (record == nullptr) return fail("the list has no row " + row_name);
    if (id == kConsoleServerList) read_server_state(l, list, find_row(list, row_name));
  }
  host::MenuEntries entries;
  DWORD result = host::request_menu(l.library, list, id, record, kDescriptorListView, &entries);
  if (result != 0) return fail("the library offers no menu for this list (" + std::to_string(result) + ")");
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i][0] != '\0') std::printf("%zu  %s\n", i, entries[i].data());
  if (position < 0) return 0;
  if (entries[position][0] == '\0') return fail("the menu has no entry " + choose);
  // Each answer is typed into the next dialog's text field before OK.
  for (const std::string& answer : answers) ui::script({"", IDOK, "", {{IDC_TEXT_FIELD, answer}}});
  result = host::choose_menu_entry(l.library, id, record, static_cast<int>(position), screen);
  ui::clear_script();
  std::printf("chose %ld: %s\n", position, entries[position].data());
  if (result == kHostsOwnEntry) return fail("the host carries out this entry itself");
  if (result != 1) return fail("the entry did not complete (see the messages above)");
  return 0;
}

}  // namespace console
