#include "console/settings_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/profile_lists.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "win32/ui_script.h"

namespace console {
namespace {

// A list view that the library fills in-process; its rows' records go back to the library with it.
class ListWindow {
 public:
  ListWindow() {
    screen_ = CreateWindowExA(0, "VornixScreen", "Settings", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 700, 500, screen_, nullptr, nullptr, nullptr);
  }
  ~ListWindow() {
    for (int row = 0; row < count(); ++row) {
      auto* copy = reinterpret_cast<BYTE*>(alloc_memory_for_list());
      if (copy == nullptr || record(row) == nullptr) continue;
      std::memcpy(copy, record(row), kListItemBytes);
      delete_list_item(0, 0, copy);
    }
    DestroyWindow(screen_);
  }
  ListWindow(const ListWindow&) = delete;
  ListWindow& operator=(const ListWindow&) = delete;

  HWND list() const { return list_; }
  int count() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
  const BYTE* record(int row) const { return reinterpret_cast<const BYTE*>(list_row_param(list_, row)); }
  std::string text(int row) const {
    char text[600] = {};
    LPARAM param;
    read_list_row(list_, row, text, sizeof text, &param);
    return text;
  }
  // The rows' texts joined, or "(none)".
  std::string joined(const char* between) const {
    std::string out;
    for (int row = 0; row < count(); ++row) out += (row ? between : "") + text(row);
    return out.empty() ? "(none)" : out;
  }

 private:
  HWND screen_ = nullptr;
  HWND list_ = nullptr;
};

constexpr uint16_t kSetFieldScreenKey = 30;

// The row of a list view whose text is the name, ignoring case; -1 when none.
int find_row(HWND list, const std::string& name) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    char text[sizeof CurrentServer::name] = {};
    LPARAM param;
    if (read_list_row(list, row, text, sizeof text, &param) && equal_ignoring_case(text, name.c_str())) return row;
  }
  return -1;
}

std::string windows_error(DWORD code) { return "(Windows error " + std::to_string(code) + ")"; }

bool key_exists(const std::string& server, const char* path) {
  HKEY machine = nullptr, key = nullptr;
  if (ConnectServerRegistry(server.c_str(), &machine, "UNABLE TO GET SERVER CONFIG DATA", 0) != 0 || machine == nullptr)
    return false;
  if (RegOpenKeyExA(machine, path, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A setting's text as the screens show it; the bytes of the binding warning in hexadecimal.
std::string shown_text(const ServerSettingInfo& s, const char* text) {
  if (s.rule == SettingRule::kPassword) return "(never read back)";
  if (s.rule == SettingRule::kRawBytes) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02x %02x %02x %02x", static_cast<BYTE>(text[0]), static_cast<BYTE>(text[1]),
                  static_cast<BYTE>(text[2]), static_cast<BYTE>(text[3]));
    return hex;
  }
  return text[0] ? text : "(empty)";
}

// Reads one setting; false (with the error) when it cannot be read.
bool read_setting(const std::string& server, const ServerSettingInfo& s, std::string* shown, DWORD* error) {
  char text[kSettingTextBytes] = {};
  *error = ServerSetting(s.root, nullptr, server.c_str(), s.id, text, 0, nullptr, nullptr, 0);
  *shown = shown_text(s, text);
  return *error == 0;
}

void print_line(const char* name, const std::string& id, const std::string& text) {
  std::printf("  %-28s %-11s %s\n", name, id.c_str(), text.c_str());
}

std::string id_text(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

// The permitted hours of each day, as "Mon 08 09 10".
std::string grid_text(const BYTE grid[kValidHoursGridBytes]) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::string out;
  for (int day = 0; day < 7; ++day) {
    std::string hours;
    for (int hour = 0; hour < 24; ++hour) {
      char h[4];
      std::snprintf(h, sizeof h, " %02d", hour);
      if (valid_hour(grid, day, hour)) hours += h;
    }
    if (!hours.empty()) out += (out.empty() ? "" : "; ") + std::string(kDays[day]) + hours;
  }
  return out.empty() ? "(no hour permitted)" : out;
}

// Every setting of one key: each value once, under the first identifier that serves it.
int print_settings(const std::string& server, DWORD root) {
  int status = 0;
  ServerSettingTable table = server_settings();
  for (size_t i = 0; i < table.count; ++i) {
    const ServerSettingInfo& s = table.settings[i];
    bool first = true;
    for (size_t j = 0; j < i && first; ++j)
      first = !(table.settings[j].root == s.root && std::strcmp(table.settings[j].value, s.value) == 0);
    if (s.root != root || !first) continue;
    std::string shown;
    DWORD error = 0;
    if (!read_setting(server, s, &shown, &error)) {
      status = fail(server + ": " + s.value + " cannot be read " + windows_error(error));
      break;
    }
    print_line(s.value, id_text(s.id), shown);
  }
  return status;
}

}  // namespace

int settings_command(const std::string& server) {
  if (!key_exists(server, kProductKey))
    return fail(server + ": no product key " + kProductKey + " (is the server known and reachable?)");
  std::printf("Settings of %s (%s):\n", server.c_str(), kProductKey);
  if (int status = print_settings(server, kProductRoot)) return status;
  {
    ListWindow departments, hosts, containers;
    ListReportTo(departments.list(), server.c_str(), kReportToDepartmentsList);
    ListReportTo(hosts.list(), server.c_str(), 0x60340092);
    ListLocalLogonContainers(containers.list(), server.c_str());
    print_line("DepartmentsReportTo", "(list)", departments.joined(", "));
    print_line("EnterpriseHostsReportTo", "(list)", hosts.joined(", "));
    print_line("LLOUTracked", "(key)", containers.joined(", "));
  }
  // Reading the sibling product's settings would make its key; a server without one has none.
  if (!key_exists(server, kSiblingKey)) {
    std::printf("QVAWKQ settings of %s: none (no %s)\n", server.c_str(), kSiblingKey);
    return 0;
  }
  std::printf("QVAWKQ settings of %s (%s):\n", server.c_str(), kSiblingKey);
  if (int status = print_settings(server, kSiblingRoot)) return status;
  ListWindow allowed, excluded, versions, ranges;
  ListGroups(allowed.list(), server.c_str(), 0x60F4002B);
  ListGroups(excluded.list(), server.c_str(), kExcludedGroupsRequest);
  ListAllowedVersions(versions.list(), server.c_str());
  ListSiblingIpRanges(ranges.list(), server.c_str());
  BYTE grid[kValidHoursGridBytes];
  GetValidHoursGrid(server.c_str(), grid);
  print_line("CanUseKQGroup", "(list)", allowed.joined(", "));
  print_line("DisallowModGroup", "(list)", excluded.joined(", "));
  print_line("AllowedVersions", "(list)", versions.joined(", "));
  print_line("ValidHoursGrid", "(grid)", grid_text(grid));
  print_line("IP_Ranges", "(key)", ranges.joined(", "));
  return 0;
}

namespace {

// A setting by its identifier ("0x603800CB") or by its value's name.
const ServerSettingInfo* setting_of(const std::string& name) {
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
    char* end = nullptr;
    unsigned long id = std::strtoul(name.c_str() + 2, &end, 16);
    return *end == '\0' ? server_setting(static_cast<uint32_t>(id)) : nullptr;
  }
  return server_setting_named(name.c_str());
}

bool is_whole_number(const std::string& text) {
  size_t at = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (at >= text.size() || text.size() > 11) return false;
  for (; at < text.size(); ++at)
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return false;
  return true;
}

}  // namespace

int setting_command(std::vector<std::string> args, const std::string& server) {
  std::string action = args.empty() ? "" : args[0];
  if ((action != "get" || args.size() != 2) && (action != "set" || args.size() != 3))
    return fail("setting takes get NAME, or set NAME VALUE (NAME as the registry spells it, or 0xID)");
  const ServerSettingInfo* s = setting_of(args[1]);
  if (s == nullptr) return fail("no setting named " + args[1] + " (settings --server " + server + " lists them)");
  std::string label = std::string(s->value) + " (" + id_text(s->id) + ")";
  if (action == "set") {
    const std::string& value = args[2];
    if (s->read_only) return fail(label + " is read only; nothing was written");
    if (is_number_setting(*s) && !is_whole_number(value))
      return fail(label + " takes a whole number, not '" + value + "'; nothing was written");
    DWORD error = ServerSetting(s->root, nullptr, server.c_str(), s->id, const_cast<char*>(value.c_str()),
                                decimal_value(value.c_str()), nullptr, nullptr, 1);
    if (error != 0) return fail(server + ": " + label + " was not written " + windows_error(error));
  }
  std::string shown;
  DWORD error = 0;
  if (!read_setting(server, *s, &shown, &error)) return fail(server + ": " + label + " cannot be read " + windows_error(error));
  std::printf("%s: %s %s %s\n", server.c_str(), label.c_str(), action == "set" ? "now reads" : "reads", shown.c_str());
  return 0;
}

int set_field_command(const std::vector<std::string>& servers, uint32_t field, const std::string& value) {
  // The console's server list with the named servers selected, and the field, as the host's screen has them.
  HWND screen = host::create_screen(kSetFieldScreenKey, "Server configuration");
  HWND list = host::add_control(screen, 1001, WC_LISTVIEWA, "",
                                host::ControlSpec{kConsoleServerList, kDescriptorListView});
  host::send_list_event(host::in_process_library(), list, kConsoleServerList);
  for (const std::string& server : servers) {
    int row = find_row(list, server);
    if (row < 0) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
      item.pszText = const_cast<char*>(server.c_str());
      row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    LVITEMA state = {};
    state.state = state.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  }
  HWND edit = host::add_control(screen, 1200, "Edit", value.c_str(), host::ControlSpec{field, kDescriptorEditField});
  BYTE record[kListItemBytes] = {};
  size_t shown = ui::journal().size();
  DWORD result = entry_point_edit_services(value.c_str(), screen, host::descriptor_of(edit), servers[0].c_str(), record,
                                           0, 0, 0, 0, screen, 0, 0, field);
  bool refused = result == 1 && ui::journal().size() > shown;
  const char* meaning = result == 0                   ? "applied"
                        : refused                     ? "refused"
                        : result == 1                 ? "accepted without being written"
                        : result == kResultNotHandled ? "not a field the library applies"
                                                      : "not handled";
  std::printf("%s: result %u (%s)\n", id_text(field).c_str(), static_cast<unsigned>(result), meaning);
  // What each server now holds.
  const ServerSettingInfo* s = result == 0 ? server_setting(field) : nullptr;
  for (size_t i = 0; s != nullptr && i < servers.size(); ++i) {
    std::string text;
    DWORD error = 0;
    if (read_setting(servers[i], *s, &text, &error))
      std::printf("  %s: %s = %s\n", servers[i].c_str(), s->value, text.c_str());
  }
  if (result == kResultNotHandled) return fail(id_text(field) + " is not a field whose value the library applies");
  return refused ? 1 : 0;
}

}  // namespace console
