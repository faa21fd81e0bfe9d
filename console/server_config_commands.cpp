#include "console/server_config_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/directory_commands.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "win32/ui_script.h"

namespace console {
namespace {

// ---- The host's configuration screens ---------------------------------------------------

// The product's form: its lists, its Save button and the buttons beside its lists.
constexpr uint32_t kFormDepartments = 0x603400AB;
constexpr uint32_t kFormEnterpriseHosts = 0x603400AA;
constexpr uint32_t kFormContainers = 0x603400B0;
constexpr uint32_t kKnownDepartments = 0x603400D0;
constexpr uint32_t kIncludedHosts = 0x603400D1;
constexpr uint32_t kDomainContainers = 0x602400AF;
constexpr uint32_t kSave = 0x603100D5;
constexpr uint32_t kAddDepartment = 0x60312110;
constexpr uint32_t kLeaveDepartment = 0x60312111;
constexpr uint32_t kHostDepartment = 0x60312112;
constexpr uint32_t kAddReportTo = 0x60312113;
constexpr uint32_t kIncludeHost = 0x60312114;
constexpr uint32_t kRemoveRows = 0x60312115;
constexpr uint32_t kMoveRows = 0x6021010D;
constexpr uint32_t kDepartmentHosted = 0x6038008A;
// The QVAWKQ form.
constexpr uint32_t kAllowedGroups = 0x60F4002B;
constexpr uint32_t kExcludedGroups = 0x60F40027;
constexpr uint32_t kAllowedVersions = 0x60F40030;
constexpr uint32_t kSiblingRanges = 0x60F40035;
constexpr uint32_t kSaveSibling = 0x60F12021;
constexpr uint32_t kValidHours = 0x60F10070;
constexpr uint32_t kAddEntry = 0x60F10071;
constexpr uint32_t kAddRange = 0x60F10072;
constexpr uint32_t kRemoveSiblingRows = 0x60F10073;
constexpr uint32_t kEntryField = 0x60F80062;
constexpr uint32_t kFirstOctetField = 0x60F80033;

// The fields of the forms: the value each shows, its identifiers (the first is the one the forms carry).
struct Setting {
  const char* name;
  uint32_t ids[2];
  bool sibling;
  bool number;
  bool password;
};
constexpr Setting kSettings[] = {
    {"DepartmentHosted", {0x6038008A, 0x603800C8}, false, false, false},
    {"ReportPath", {0x6038008B, 0x603800C9}, false, false, false},
    {"EnterpriseHostRefreshCycle", {0x6038008D, 0x603800EF}, false, true, false},
    {"LogTransferFrequency", {0x6038008E, 0x603800CB}, false, true, false},
    {"RetainLogFiles", {0x6038008F, 0x603800CC}, false, true, false},
    {"AllowAlertConsoles", {0x60380090, 0x603800CD}, false, true, false},
    {"BackupProfilesToENT", {0x603800A0, 0}, false, true, false},
    {"LogPurgeOption", {0x603800A7, 0x603800CE}, false, true, false},
    {"EmailReturnAddressForAlerts", {0x603800AD, 0}, false, false, false},
    {"PerformSQLServerTransfer", {0x603800B4, 0x603800D9}, false, true, false},
    {"SQLServerForTransfer", {0x603800B5, 0x603800DA}, false, false, false},
    {"GpoTempPath", {0x603800EC, 0}, false, false, false},
    {"AutoArchiveLogFiles", {0x6038011C, 0}, false, true, false},
    {"AutoArchivePath", {0x6038011D, 0}, false, false, false},
    {"AlertRPTMGTResend", {0x60410007, 0x60410008}, false, true, false},
    {"AlertRPTMGTSize", {0x60480007, 0}, false, true, false},
    {"AlertRPTMGTEnable", {0x60480008, 0}, false, true, false},
    {"AlertRPTMGTHours", {0x60480009, 0}, false, true, false},
    {"PurgeDays", {0x60F8001D, 0}, true, true, false},
    {"LogSharePath", {0x60F80023, 0}, true, false, false},
    {"BlockAdminInName", {0x60F80025, 0}, true, true, false},
    {"BlockDirectAdminMember", {0x60F80026, 0}, true, true, false},
    {"IPv4PortKQRequests", {0x60F8002F, 0}, true, true, false},
    {"IPv4PortWstnLogs", {0x60F80030, 0}, true, true, false},
    {"IPv4PortAlertConsoles", {0x60F80031, 0}, true, true, false},
    {"ADLogonAcct", {0x60F8003E, 0}, true, false, false},
    {"ADLogonAcctPwd", {0x60F8003F, 0}, true, false, true},
    {"ADPreferredDC", {0x60F8005B, 0x60F2005C}, true, false, false},
};

constexpr DWORD kNotHandled = 4061;  // an identifier the library leaves to the host

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string id_text(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

bool same(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// A setting by the name of its value or by one of its identifiers ("0x603800CB"); the identifier in *id.
const Setting* setting_named(const std::string& name, uint32_t* id) {
  char* end = nullptr;
  bool by_id = name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X');
  unsigned long number = by_id ? std::strtoul(name.c_str() + 2, &end, 16) : 0;
  if (by_id && *end != '\0') return nullptr;
  for (const Setting& s : kSettings) {
    for (uint32_t each : s.ids) {
      if (each == 0 || !(by_id ? each == number : same(name, s.name))) continue;
      *id = each;
      return &s;
    }
  }
  return nullptr;
}

// One host screen of the command, with the controls it adds; the rows of the lists that the library
// filled go back to it when the command ends.
struct Screen {
  Library* l = nullptr;
  HWND window = nullptr;
  uint16_t key = 0;
  int next_item = 1100;
  std::vector<HWND> lists;
  std::vector<HWND> server_lists;  // their rows carry the host's server status records
};

uint16_t g_next_key = 31;

Screen open_screen(Library& l, const char* title) {
  Screen s;
  s.l = &l;
  s.key = g_next_key++;
  s.window = host::create_screen(s.key, title);
  return s;
}

void close_screen(Screen& s) {
  for (HWND list : s.lists) release_rows(*s.l, list);
  for (HWND list : s.server_lists) release_rows(*s.l, list);
  s.lists.clear();
  s.server_lists.clear();
}

// The console's server list (or the QVAWKQ one) listed by the library, each row given its server status
// record, which the host keeps behind the row.
HWND add_server_list(Screen& s, uint32_t id) {
  HWND list = host::add_control(s.window, s.next_item++, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  s.server_lists.push_back(list);
  host::send_list_event(s.l->library, list);
  for (int row = 0; row < row_count(list); ++row) host::attach_row_record(s.l->library, list, row, 0);
  return list;
}

HWND add_list(Screen& s, uint32_t id) {
  s.lists.push_back(host::add_control(s.window, s.next_item++, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView}));
  return s.lists.back();
}

HWND add_field(Screen& s, uint32_t id, const std::string& text = "") {
  return host::add_control(s.window, s.next_item++, "Edit", text.c_str(), host::ControlSpec{id, kDescriptorEditField});
}

// A button that works on the companion list (and the second companion, for a move between two lists).
HWND add_button(Screen& s, uint32_t id, HWND companion = nullptr, HWND second = nullptr) {
  uint16_t item = companion ? static_cast<uint16_t>(GetDlgCtrlID(companion)) : 0;
  HWND button = host::add_control(s.window, s.next_item++, "Button", "",
                                  host::ControlSpec{id, kDescriptorPushButton, companion ? s.key : uint16_t{0}, item});
  if (second) host::descriptor_of(button)[6] = static_cast<uintptr_t>(s.key) | static_cast<uintptr_t>(GetDlgCtrlID(second)) << 16;
  return button;
}

// The records behind the rows of the lists the library fills.
std::vector<LPARAM> row_records(const Screen& s) {
  std::vector<LPARAM> records;
  for (HWND list : s.lists) {
    for (int row = 0; row < row_count(list); ++row)
      if (LPARAM record = row_param(list, row)) records.push_back(record);
  }
  return records;
}

// Runs a step of the user's, then gives back the records of the rows the library deleted, as the host
// does for every row that leaves its lists.
template <typename Step>
DWORD giving_back_deleted_rows(Screen& s, Step step) {
  std::vector<LPARAM> before = row_records(s);
  DWORD result = step();
  std::vector<LPARAM> after = row_records(s);
  for (LPARAM record : before) {
    if (std::find(after.begin(), after.end(), record) == after.end())
      host::give_back_record(s.l->library, reinterpret_cast<void*>(record));
  }
  return result;
}

// The user presses the button: what the library answers (1 done, 0 refused or failed).
DWORD press(Screen& s, HWND button) {
  return giving_back_deleted_rows(
      s, [&] { return s.l->library.entry_point_button_services(s.window, 0, host::descriptor_of(button)); });
}

std::string text_of(HWND control) {
  char text[2300] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

std::string joined(const std::vector<std::string>& rows, const char* between = ", ") {
  std::string out;
  for (const std::string& row : rows) out += (out.empty() ? "" : between) + row;
  return out.empty() ? "(none)" : out;
}

// Selects the row of the name only (case ignored), as a click does; false when the list has none.
bool select_only(HWND list, const std::string& name) {
  std::vector<std::string> rows = row_texts(list);
  for (size_t row = 0; row < rows.size(); ++row)
    if (same(rows[row], name)) return ui::click_row(list, static_cast<int>(row));
  return false;
}

// The server selected in the console's server list (the QVAWKQ server list for the QVAWKQ forms).
bool select_server(Screen& s, const std::string& server, bool sibling) {
  HWND list = add_server_list(s, sibling ? kSiblingServerList : kConsoleServerList);
  if (select_only(list, server)) return true;
  if (sibling)
    fail(server + " is not one of the console's QVAWKQ servers (vornix-console menu --list 0x60F40001 --choose 0 "
                  "--answer " + server + " adds it)");
  else
    fail(server + " is not a known server of this console (vornix-console servers lists them)");
  return false;
}

// Lists the form's list as the host does when it builds the form, which fills the form; false when the
// library said it could not (its message is printed).
bool fill_form(Screen& s, HWND list) {
  size_t shown = ui::journal().size();
  giving_back_deleted_rows(s, [&] { return host::send_list_event(s.l->library, list); });
  return ui::journal().size() == shown;
}

// Runs a command's job on the loaded library with the --server option taken out (required when asked).
template <typename Job>
int with_library(std::vector<std::string>& args, const char* usage, bool needs_server, Job job) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || (needs_server && server.empty())) return usage_error(usage);
  Library l;
  if (!start(&l)) return 1;
  int status = job(l, server);
  host::unload_library(&l.library);
  return status;
}

// ---- settings, setting, set ----------------------------------------------------------

// The form of one key with every field of it, and its lists; filled. False after the failure.
bool read_form(Library& l, const std::string& server, bool sibling, std::vector<std::pair<const Setting*, HWND>>* fields,
               std::vector<std::pair<const char*, HWND>>* lists, Screen* s) {
  *s = open_screen(l, sibling ? "QVAWKQ Server Configuration" : "Server Configuration");
  if (!select_server(*s, server, sibling)) return false;
  for (const Setting& setting : kSettings)
    if (setting.sibling == sibling) fields->push_back({&setting, add_field(*s, setting.ids[0])});
  if (sibling) {
    *lists = {{"CanUseKQGroup", add_list(*s, kAllowedGroups)},
              {"DisallowModGroup", add_list(*s, kExcludedGroups)},
              {"AllowedVersions", add_list(*s, kAllowedVersions)},
              {"IP_Ranges", add_list(*s, kSiblingRanges)}};
  } else {
    *lists = {{"DepartmentsReportTo", add_list(*s, kFormDepartments)},
              {"EnterpriseHostsReportTo", add_list(*s, kFormEnterpriseHosts)},
              {"LLOUTracked", add_list(*s, kFormContainers)}};
  }
  if (fill_form(*s, lists->front().second)) return true;
  fail(server + ": its settings could not be read (the message above says why)");
  return false;
}

std::string shown_value(const Setting& setting, HWND field) {
  if (setting.password) return "(never read back)";
  std::string text = text_of(field);
  return text.empty() ? "(empty)" : text;
}

// The permitted hours as the grid dialog shows them: its checked cells, "Mon 08 09; Tue 10".
std::string hours_text(const std::vector<int>& checked) {
  std::string out;
  for (int day = 0; day < 7; ++day) {
    std::string hours;
    for (int hour = 0; hour < 24; ++hour) {
      if (std::find(checked.begin(), checked.end(), IDC_HOURS_FIRST_CELL + day * 24 + hour) == checked.end()) continue;
      char h[4];
      std::snprintf(h, sizeof h, " %02d", hour);
      hours += h;
    }
    if (!hours.empty()) out += (out.empty() ? "" : "; ") + std::string(kDays[day]) + hours;
  }
  return out.empty() ? "(no hour permitted)" : out;
}

// The grid dialog opened from the QVAWKQ form, the user's clicks given, then OK (or Cancel when there
// are none): the dialog as it ended. False when the library showed none.
bool run_grid_dialog(Screen& s, const std::vector<int>& clicks, ui::JournalEntry* shown, DWORD* result) {
  for (int item : clicks) ui::script({"VALID_HOURS", item, "", {}});
  ui::script({"VALID_HOURS", clicks.empty() ? IDCANCEL : IDOK, "", {}});
  ui::clear_journal();
  hold_messages();
  *result = press(s, add_button(s, kValidHours));
  ui::clear_script();
  bool found = false;
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.template_name == "VALID_HOURS") {
      *shown = e;
      found = true;
    } else {
      std::printf("  [%s] %s: %s\n", e.kind.c_str(), e.title.c_str(), e.text.c_str());
    }
  }
  release_messages(false);
  return found;
}

// Every field and list of one form as rows of name, field identifier and value; false after the failure.
bool form_rows(Library& l, const std::string& server, bool sibling, std::vector<std::vector<std::string>>* rows) {
  Screen s;
  std::vector<std::pair<const Setting*, HWND>> fields;
  std::vector<std::pair<const char*, HWND>> lists;
  if (!read_form(l, server, sibling, &fields, &lists, &s)) {
    close_screen(s);
    return false;
  }
  for (const auto& [setting, field] : fields) rows->push_back({setting->name, id_text(setting->ids[0]), shown_value(*setting, field)});
  for (const auto& [name, list] : lists)
    rows->push_back({name, std::strcmp(name, "LLOUTracked") == 0 || std::strcmp(name, "IP_Ranges") == 0 ? "(key)" : "(list)",
                     joined(row_texts(list))});
  if (sibling) {
    ui::JournalEntry grid;
    DWORD unused = 0;
    if (run_grid_dialog(s, {}, &grid, &unused)) rows->push_back({"ValidHoursGrid", "(grid)", hours_text(grid.checked)});
  }
  close_screen(s);
  return true;
}

}  // namespace

int settings_command(std::vector<std::string> args) {
  Format format;
  if (!take_format(args, &format)) return 1;
  return with_library(args, "settings takes --server NAME", true, [&](Library& l, const std::string& server) {
    if (!args.empty()) return usage_error("settings takes only --server NAME");
    // People get each form under its key; scripts one list whose rows name their key.
    Listing all{"", {"key", "name", "field", "value"}, {}};
    auto add = [&](const char* key, bool sibling) {
      Listing form{std::string(sibling ? "QVAWKQ settings" : "Settings") + " of " + server +
                       " (SOFTWARE\\Brightmere Software, Inc.\\" + key + "):",
                   {"name", "field", "value"}, {}, "(none)", {28, 11}};
      if (!form_rows(l, server, sibling, &form.rows)) return false;
      for (const auto& row : form.rows) {
        all.rows.push_back({key});
        all.rows.back().insert(all.rows.back().end(), row.begin(), row.end());
      }
      if (format == Format::kTable) print_listing(form, format);
      return true;
    };
    if (!add("VORNIX", false)) return 1;
    // The QVAWKQ form exists for the console's QVAWKQ servers only.
    Screen s = open_screen(l, "QVAWKQ Servers");
    HWND siblings = add_server_list(s, kSiblingServerList);
    bool known = select_only(siblings, server);
    close_screen(s);
    if (!known) {
      if (format == Format::kTable)
        std::printf("QVAWKQ settings of %s: none (not one of the console's QVAWKQ servers)\n", server.c_str());
    } else if (!add("QVAWKQ", true)) {
      return 1;
    }
    if (format != Format::kTable) print_listing(all, format);
    return 0;
  });
}

namespace {

bool is_whole_number(const std::string& text) {
  size_t at = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (at >= text.size() || text.size() > 11) return false;
  for (; at < text.size(); ++at)
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return false;
  return true;
}

// The field of one setting on its form, filled from the server; empty after the failure.
bool read_one(Library& l, const std::string& server, const Setting& setting, uint32_t id, std::string* shown) {
  Screen s = open_screen(l, "Server Configuration");
  bool read = select_server(s, server, setting.sibling);
  if (read) {
    HWND field = add_field(s, id);
    read = fill_form(s, add_list(s, setting.sibling ? kAllowedGroups : kFormDepartments));
    if (!read) fail(server + ": " + setting.name + " could not be read (the message above says why)");
    *shown = shown_value(setting, field);
  }
  close_screen(s);
  return read;
}

}  // namespace

int setting_command(std::vector<std::string> args) {
  const char* usage = "setting takes get NAME, or set NAME VALUE, and --server NAME (NAME as the registry spells it, "
                      "or 0xID)";
  return with_library(args, usage, true, [&](Library& l, const std::string& server) {
    std::string action = args.empty() ? "" : args[0];
    if ((action != "get" || args.size() != 2) && (action != "set" || args.size() != 3)) return usage_error(usage);
    uint32_t id = 0;
    const Setting* setting = setting_named(args[1], &id);
    if (setting == nullptr) return fail("no setting named " + args[1] + " (settings --server " + server + " lists them)");
    std::string label = std::string(setting->name) + " (" + id_text(id) + ")";
    if (action == "set") {
      const std::string& value = args[2];
      if (setting->number && !is_whole_number(value))
        return usage_error(label + " takes a whole number, not '" + value + "'; nothing was written");
      // The form with the one field: the user types the value and presses Save.
      Screen s = open_screen(l, "Server Configuration");
      if (!select_server(s, server, setting->sibling)) {
        close_screen(s);
        return 1;
      }
      add_field(s, id, value);
      DWORD saved = press(s, add_button(s, setting->sibling ? kSaveSibling : kSave));
      close_screen(s);
      if (saved != 1) return fail(server + ": " + label + " was not written (the message above says why)");
    }
    std::string shown;
    if (!read_one(l, server, *setting, id, &shown)) return 1;
    // A number the form brought into its range is stored as the form shows it, and the user is told so.
    const bool clamped = action == "set" && setting->number && shown != args[2];
    std::printf("%s: %s %s %s%s\n", server.c_str(), label.c_str(), action == "set" ? "now reads" : "reads", shown.c_str(),
                clamped ? (" (" + args[2] + " was typed; the form keeps the value in its range)").c_str() : "");
    return 0;
  });
}

int set_field_command(std::vector<std::string> args) {
  if (take_flag(args, "--list-controls")) {
    if (!args.empty()) return usage_error("set --list-controls takes nothing else");
    // The fields whose value set reads back from each server, as setting names them; others go to the library as given.
    std::printf("Fields set reads back (--field 0xID; setting takes the ID or the name):\n");
    for (const Setting& setting : kSettings) {
      std::string ids = id_text(setting.ids[0]) + (setting.ids[1] ? ", " + id_text(setting.ids[1]) : "");
      std::printf("  %-23s %-28s %s, %s form\n", ids.c_str(), setting.name,
                  setting.number ? "number" : setting.password ? "password" : "text",
                  setting.sibling ? "QVAWKQ" : "server");
    }
    return 0;
  }
  // An empty --value is a value (it empties the field), so its presence is looked for first.
  bool has_value = std::any_of(args.begin(), args.end(),
                               [](const std::string& a) { return a == "--value" || a.rfind("--value=", 0) == 0; });
  bool missing = false;
  std::vector<std::string> servers = take_options(args, "--server", &missing);
  std::string field_text = take_option(args, "--field", &missing);
  std::string value = take_option(args, "--value", &missing);
  char* end = nullptr;
  unsigned long id = std::strtoul(field_text.c_str(), &end, 16);
  if (missing || servers.empty() || !has_value || field_text.rfind("0x", 0) != 0 || *end != '\0' || id == 0 ||
      id > 0xFFFFFFFFul || !args.empty())
    return usage_error("set takes --server NAME (repeatable), --field 0xID and --value TEXT");
  uint32_t field = static_cast<uint32_t>(id);
  Library l;
  if (!start(&l)) return 1;
  // The console's server list with the named servers selected, and the field, as the host's screen has them.
  Screen s = open_screen(l, "Server configuration");
  HWND list = add_server_list(s, kConsoleServerList);
  std::vector<std::string> listed = row_texts(list);
  for (const std::string& server : servers) {
    int row = -1;
    for (size_t r = 0; r < listed.size() && row < 0; ++r)
      if (same(listed[r], server)) row = static_cast<int>(r);
    if (row < 0) {
      row = support::append_row(list, server.c_str());
      listed.push_back(server);
    }
    LVITEMA state = {};
    state.state = state.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  }
  HWND edit = add_field(s, field, value);
  auto edit_services = reinterpret_cast<DWORD(WINAPI*)(const char*, HWND, uintptr_t*, const char*, BYTE*, uintptr_t,
                                                       uintptr_t, uintptr_t, uintptr_t, HWND, uintptr_t, uintptr_t,
                                                       DWORD)>(host::export_address(l.library, "entry_point_edit_services"));
  BYTE record[kListItemBytes] = {};
  size_t shown = ui::journal().size();
  // The user leaves the field: the host hands its text to the library.
  DWORD result = edit_services(value.c_str(), s.window, host::descriptor_of(edit), servers[0].c_str(), record, 0, 0,
                               0, 0, s.window, 0, 0, field);
  bool refused = result == 1 && ui::journal().size() > shown;
  const char* meaning = result == 0            ? "applied"
                        : refused              ? "refused"
                        : result == 1          ? "accepted without being written"
                        : result == kNotHandled ? "not a field the library applies"
                                               : "not handled";
  std::printf("%s: result %u (%s)\n", id_text(field).c_str(), static_cast<unsigned>(result), meaning);
  close_screen(s);
  // What each server now holds, as its form shows it.
  uint32_t unused = 0;
  const Setting* setting = result == 0 ? setting_named(id_text(field), &unused) : nullptr;
  for (size_t i = 0; setting != nullptr && i < servers.size(); ++i) {
    std::string now;
    if (read_one(l, servers[i], *setting, field, &now))
      std::printf("  %s: %s = %s\n", servers[i].c_str(), setting->name, now.c_str());
  }
  host::unload_library(&l.library);
  if (result == kNotHandled) return fail(id_text(field) + " is not a field whose value the library applies");
  return refused ? 1 : 0;
}

// ---- The lists beside the forms ----------------------------------------------------------

namespace {

// The rows of the form's list once the form is listed again from the server.
std::vector<std::string> listed_again(Screen& s, HWND list) {
  fill_form(s, list);
  return row_texts(list);
}

// The user selects the row and presses the button that removes it; false after the reason.
bool remove_row(Screen& s, HWND list, HWND button, const std::string& name, const std::string& where) {
  if (!select_only(list, name)) {
    fail(name + " is not among " + where);
    return false;
  }
  if (press(s, button) == 1) return true;
  fail(name + " was not removed (the message above says why)");
  return false;
}

// An entry dialog of the form answered with the text typed, then the button that opens it pressed.
bool answer_entry_dialog(Screen& s, HWND button, const char* dialog, const std::string& text) {
  ui::script({dialog, IDOK, "", {{IDC_TEXT_FIELD, text}}});
  DWORD result = press(s, button);
  ui::clear_script();
  if (result == 1) return true;
  fail(text + " was not added (the message above says why)");
  return false;
}

bool save_form(Screen& s, uint32_t save) {
  if (press(s, add_button(s, save)) == 1) return true;
  fail("the form was not saved (the message above says why)");
  return false;
}

// A list of a configuration form as the user edits it.
struct ListEdit {
  const char* screen;         // the title of the host screen that shows it
  uint32_t list;
  const char* rows;           // what its rows are: "SRV01: its departments could not be read"
  const char* where;          // where a row to remove is looked for, %s the server: "the departments %s reports to"
  uint32_t add;               // the button that adds a row through its entry dialog, or moves it over from source
  const char* dialog;         // that entry dialog (none: a move)
  uint32_t source;            // the list a row is moved over from
  const char* not_in_source;  // said of a row the source lacks: "Sales is not a container of the domain"
  uint32_t remove;            // the button that removes the rows selected
  uint32_t field;             // a field of the form that shows beside the list (0: none)
  bool saved;                 // the form's Save writes the list; else each change is written at once
};

constexpr ListEdit kDepartmentsEdit = {"Server Configuration", kFormDepartments, "departments",
                                       "the departments %s reports to", kAddDepartment, "ADD_DEPARTMENT", 0, nullptr,
                                       kLeaveDepartment, kDepartmentHosted, false};
constexpr ListEdit kKnownDepartmentsEdit = {"Server Configuration", kKnownDepartments, "departments", "", 0, nullptr, 0,
                                            nullptr, 0, 0, false};
constexpr ListEdit kReportToEdit = {"Server Configuration", kFormEnterpriseHosts, "enterprise hosts",
                                    "the enterprise hosts %s reports to", kAddReportTo, "ADD_ENT_HOST_REPORT_TO", 0,
                                    nullptr, kRemoveRows, 0, true};
constexpr ListEdit kIncludedHostsEdit = {"Server Configuration", kIncludedHosts, "enterprise hosts", "", kIncludeHost,
                                         "ADD_ENT_HOST_INCLUDE", 0, nullptr, 0, 0, false};
constexpr ListEdit kContainersEdit = {"Local Logon Activity Configuration", kFormContainers, "containers",
                                      "the containers %s tracks", kMoveRows, nullptr, kDomainContainers,
                                      " is not a container of the domain", kRemoveRows, 0, true};

// A list's text with the server's name in place of its %s.
std::string naming(const char* text, const std::string& server) {
  std::string out = text;
  size_t at = out.find("%s");
  return at == std::string::npos ? out : out.replace(at, 2, server);
}

// The list after the edit: its rows listed again from the server, and the field's text.
struct Edited {
  bool listed = false;  // false when the server was not selected
  std::vector<std::string> rows;
  std::string field;
};

// Each row added: typed into the entry dialog of the add button, or selected in the source and moved over.
int add_rows(Screen& s, HWND list, const ListEdit& e, const std::vector<std::string>& added) {
  HWND source = e.dialog ? nullptr : add_list(s, e.source);
  if (source) host::send_list_event(s.l->library, source);
  HWND add = source ? add_button(s, e.add, source, list) : add_button(s, e.add, list);
  for (const std::string& row : added) {
    if (source && !select_only(source, row)) return fail(row + e.not_in_source);
    if (source) press(s, add);
    else if (!answer_entry_dialog(s, add, e.dialog, row)) return 1;
  }
  return 0;
}

// The list of the server's form (no server: a list of the console's own, listed once edited) as the user
// edits it: the rows added, the rows removed, `more` done, and the form saved when the list changed. The exit
// status, and the list as it then is in *after.
int edit_list(Library& l, const std::string& server, const ListEdit& e, const std::vector<std::string>& added,
              const std::vector<std::string>& removed, Edited* after,
              const std::function<int(Screen&, HWND)>& more = nullptr) {
  Screen s = open_screen(l, e.screen);
  if (!server.empty() && !select_server(s, server, false)) {
    close_screen(s);
    return 1;
  }
  HWND list = add_list(s, e.list);
  HWND field = e.field ? add_field(s, e.field) : nullptr;
  int status = 0;
  if (!server.empty() && !fill_form(s, list)) status = fail(server + ": its " + e.rows + " could not be read");
  if (status == 0 && !added.empty()) status = add_rows(s, list, e, added);
  HWND remove = removed.empty() ? nullptr : add_button(s, e.remove, list);
  for (size_t i = 0; status == 0 && i < removed.size(); ++i)
    if (!remove_row(s, list, remove, removed[i], naming(e.where, server))) status = 1;
  if (status == 0 && more) status = more(s, list);
  if (status == 0 && e.saved && !(added.empty() && removed.empty()) && !save_form(s, kSave)) status = 1;
  after->listed = true;
  after->rows = listed_again(s, list);
  if (field) after->field = text_of(field);
  close_screen(s);
  return status;
}

// The department the server is to host selected and its button pressed: one the server reports to, else one
// a known server has. The exit status.
int host_department(Screen& s, HWND list, const std::string& server, const std::string& hosted) {
  HWND from = list;
  if (!select_only(list, hosted)) {
    from = add_list(s, kKnownDepartments);
    host::send_list_event(s.l->library, from);
    if (!select_only(from, hosted))
      return fail(hosted + " is neither a department " + server + " reports to nor one of the known servers' "
                  "(add it first, or departments --known lists them)");
  }
  if (press(s, add_button(s, kHostDepartment, from)) == 1) return 0;
  return fail(server + " does not host " + hosted + " (the message above says why)");
}

// A listing of one column under its title.
Listing one_column(const std::string& title, const char* column, const std::vector<std::string>& rows) {
  Listing listing{title, {column}, {}};
  for (const std::string& row : rows) listing.rows.push_back({row});
  return listing;
}

// A list of the server's form that --add and --remove change, then printed on one line after its heading
// (%s: the server).
int add_remove_command(std::vector<std::string>& args, const char* usage, const ListEdit& e, const char* heading) {
  bool missing = false;
  std::vector<std::string> added = take_options(args, "--add", &missing);
  std::vector<std::string> removed = take_options(args, "--remove", &missing);
  if (missing) return usage_error(usage);
  // The domain's containers come from the directory, and the saved containers are published to it.
  if (e.list == kFormContainers && !start_directory_of_world()) return 1;
  return with_library(args, usage, true, [&](Library& l, const std::string& server) {
    if (!args.empty()) return usage_error(usage);
    Edited after;
    int status = edit_list(l, server, e, added, removed, &after);
    if (after.listed) std::printf("%s: %s\n", naming(heading, server).c_str(), joined(after.rows).c_str());
    return status;
  });
}

}  // namespace

int departments_command(std::vector<std::string> args) {
  const char* usage = "departments takes --server NAME [--add DEPARTMENT]... [--leave DEPARTMENT]... "
                      "[--host DEPARTMENT], or --known";
  bool missing = false;
  bool known = take_flag(args, "--known");
  std::vector<std::string> added = take_options(args, "--add", &missing);
  std::vector<std::string> left = take_options(args, "--leave", &missing);
  std::string hosted = take_option(args, "--host", &missing);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing) return usage_error(usage);
  return with_library(args, usage, !known, [&](Library& l, const std::string& server) {
    if (!args.empty() || (known && (!server.empty() || !added.empty() || !left.empty() || !hosted.empty())))
      return usage_error(usage);
    Edited after;
    if (known) {
      // Every known server is asked for the departments it hosts or reports to.
      int status = edit_list(l, "", kKnownDepartmentsEdit, {}, {}, &after);
      print_listing(one_column("Departments of the known servers:", "department", after.rows), format);
      return status;
    }
    int status = edit_list(l, server, kDepartmentsEdit, added, left, &after, [&](Screen& s, HWND list) {
      return hosted.empty() ? 0 : host_department(s, list, server, hosted);
    });
    if (!after.listed) return status;
    // Each department with what the server is to it: one it reports to, or the one it hosts.
    Listing departments{"Departments " + server + " reports to or hosts:", {"department", "relation"}, {}};
    for (const std::string& row : after.rows) departments.rows.push_back({row, "reports to"});
    if (!after.field.empty()) departments.rows.push_back({after.field, "hosts"});
    print_listing(departments, format);
    return status;
  });
}

int report_to_command(std::vector<std::string> args) {
  return add_remove_command(args, "report-to takes --server NAME [--add HOST]... [--remove HOST]...", kReportToEdit,
                            "Enterprise hosts %s reports to");
}

int enterprise_hosts_command(std::vector<std::string> args) {
  const char* usage = "enterprise-hosts takes [--include HOST]...";
  bool missing = false;
  std::vector<std::string> included = take_options(args, "--include", &missing);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || !args.empty()) return usage_error(usage);
  return with_library(args, usage, false, [&](Library& l, const std::string&) {
    // Listed: the hosts the console keeps, then those its known servers report to.
    Edited after;
    int status = edit_list(l, "", kIncludedHostsEdit, included, {}, &after);
    print_listing(one_column("Enterprise hosts of this console:", "host", after.rows), format);
    return status;
  });
}

int logon_containers_command(std::vector<std::string> args) {
  return add_remove_command(args, "logon-containers takes --server NAME [--add CONTAINER]... [--remove CONTAINER]...",
                            kContainersEdit, "Containers whose local logons %s tracks");
}

namespace {

// A list of the QVAWKQ form and the entries typed in and added to it.
struct SiblingList {
  const char* label;
  uint32_t id;
  std::vector<std::string> added;
};

// Types an entry into the field (or a range into the octet fields) and presses the add button.
bool add_sibling_entry(Screen& s, HWND list, HWND field, const std::vector<HWND>& octets, const std::string& entry) {
  HWND add;
  if (octets.empty()) {
    SetWindowTextA(field, entry.c_str());
    add = add_button(s, kAddEntry, list);
  } else {
    unsigned a[8];
    char tail = 0;
    if (std::sscanf(entry.c_str(), "%u.%u.%u.%u-%u.%u.%u.%u%c", &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &a[7],
                    &tail) != 8) {
      usage_error("'" + entry + "' is no range: give it as A.B.C.D-E.F.G.H");
      return false;
    }
    for (size_t i = 0; i < 8; ++i) SetWindowTextA(octets[i], std::to_string(a[i]).c_str());
    add = add_button(s, kAddRange, list);
  }
  if (press(s, add) == 1) return true;
  fail(entry + " was not added (the message above says why)");
  return false;
}

// "10.0.0.1-10.0.0.9" as its row shows it.
std::string range_row(const std::string& entry) {
  size_t dash = entry.find('-');
  return dash == std::string::npos ? entry : entry.substr(0, dash) + " through " + entry.substr(dash + 1);
}

// The lists after the entries were added and the named rows removed (each from the list that has it), and
// the form saved.
int edit_sibling_lists(std::vector<std::string>& args, const char* usage, const std::vector<SiblingList>& lists,
                       const std::vector<std::string>& removed, bool ranges) {
  return with_library(args, usage, true, [&](Library& l, const std::string& server) {
    if (!args.empty()) return usage_error(usage);
    Screen s = open_screen(l, "QVAWKQ Server Configuration");
    if (!select_server(s, server, true)) {
      close_screen(s);
      return 1;
    }
    std::vector<HWND> windows;
    for (const SiblingList& list : lists) windows.push_back(add_list(s, list.id));
    HWND field = ranges ? nullptr : add_field(s, kEntryField);
    std::vector<HWND> octets;
    for (uint32_t i = 0; ranges && i < 8; ++i) octets.push_back(add_field(s, kFirstOctetField + i));
    int status = fill_form(s, windows[0]) ? 0 : fail(server + ": its QVAWKQ lists could not be read");
    for (size_t n = 0; n < lists.size(); ++n)
      for (size_t i = 0; status == 0 && i < lists[n].added.size(); ++i)
        status = add_sibling_entry(s, windows[n], field, octets, lists[n].added[i]) ? 0 : 1;
    for (size_t i = 0; status == 0 && i < removed.size(); ++i) {
      const std::string name = ranges ? range_row(removed[i]) : removed[i];
      size_t n = 0;
      while (n + 1 < lists.size() && !select_only(windows[n], name)) ++n;
      status = remove_row(s, windows[n], add_button(s, kRemoveSiblingRows, windows[n]), name,
                          std::string("the ") + lists[n].label + " of " + server) ? 0 : 1;
    }
    bool changed = !removed.empty();
    for (const SiblingList& list : lists) changed = changed || !list.added.empty();
    if (status == 0 && changed && !save_form(s, kSaveSibling)) status = 1;
    fill_form(s, windows[0]);
    for (size_t n = 0; n < lists.size(); ++n)
      std::printf("%s of %s: %s\n", lists[n].label, server.c_str(), joined(row_texts(windows[n])).c_str());
    close_screen(s);
    return status;
  });
}

// A QVAWKQ form list edited by --add and --remove alone.
int edit_one_sibling_list(std::vector<std::string>& args, const char* usage, const char* label, uint32_t id,
                          bool ranges) {
  bool missing = false;
  SiblingList list = {label, id, take_options(args, "--add", &missing)};
  std::vector<std::string> removed = take_options(args, "--remove", &missing);
  if (missing) return usage_error(usage);
  return edit_sibling_lists(args, usage, {list}, removed, ranges);
}

}  // namespace

int qvawkq_groups_command(std::vector<std::string> args) {
  const char* usage = "qvawkq-groups takes --server NAME [--allow GROUP]... [--exclude GROUP]... [--remove GROUP]...";
  bool missing = false;
  SiblingList allowed = {"Allowed groups", kAllowedGroups, take_options(args, "--allow", &missing)};
  SiblingList excluded = {"Excluded groups", kExcludedGroups, take_options(args, "--exclude", &missing)};
  std::vector<std::string> removed = take_options(args, "--remove", &missing);
  if (missing) return usage_error(usage);
  return edit_sibling_lists(args, usage, {allowed, excluded}, removed, false);
}

int qvawkq_versions_command(std::vector<std::string> args) {
  return edit_one_sibling_list(args, "qvawkq-versions takes --server NAME [--add VERSION]... [--remove VERSION]...",
                               "Allowed versions", kAllowedVersions, false);
}

int qvawkq_ranges_command(std::vector<std::string> args) {
  return edit_one_sibling_list(
      args, "qvawkq-ranges takes --server NAME [--add A.B.C.D-E.F.G.H]... [--remove A.B.C.D-E.F.G.H]...", "IP ranges",
      kSiblingRanges, true);
}

namespace {

int day_named(const std::string& name) {
  for (int day = 0; day < 7; ++day)
    if (same(name, kDays[day])) return day;
  return -1;
}

// "Mon-Fri 08-17; Sat 09": the cells of those days and hours; false for anything else.
bool parse_hours(const std::string& hours, std::vector<int>* cells) {
  std::string rest = hours;
  while (!rest.empty()) {
    size_t end = rest.find(';');
    std::string part = rest.substr(0, end);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    char first_day[8] = {}, last_day[8] = {};
    unsigned first = 0, last = 0;
    char tail = 0;
    int n = std::sscanf(part.c_str(), " %3[A-Za-z]-%3[A-Za-z] %u-%u %c", first_day, last_day, &first, &last, &tail);
    if (n == 3) last = first;
    if (n < 3) {
      last_day[0] = '\0';
      n = std::sscanf(part.c_str(), " %3[A-Za-z] %u-%u %c", first_day, &first, &last, &tail);
      if (n == 2) last = first;
      else if (n != 3) return false;
    } else if (n != 4) {
      return false;
    }
    int from = day_named(first_day), to = last_day[0] ? day_named(last_day) : from;
    if (from < 0 || to < from || first > last || last > 23) return false;
    for (int day = from; day <= to; ++day)
      for (unsigned hour = first; hour <= last; ++hour) cells->push_back(IDC_HOURS_FIRST_CELL + day * 24 + static_cast<int>(hour));
  }
  return true;
}

// A heading or hour label as the dialog shows it: its dialog item; 0 when there is none.
int label_item(const std::string& label) {
  if (int day = day_named(label); day >= 0) return IDC_HOURS_FIRST_DAY + day;
  for (int hour = 0; hour < 24; ++hour) {
    std::string shown = hour == 0 ? "midn" : hour == 12 ? "noon" : std::to_string(hour % 12) + (hour < 12 ? "am" : "pm");
    if (same(label, shown)) return IDC_HOURS_FIRST_HOUR + hour;
  }
  return 0;
}

}  // namespace

int qvawkq_hours_command(std::vector<std::string> args) {
  const char* usage = "qvawkq-hours takes --server NAME and --set \"DAYS HOURS; ...\" (Mon-Fri 08-17) or --click "
                      "LABEL... (Sun to Sat, midn, 1am to 11pm, noon), not both";
  bool missing = false;
  bool has_set = std::any_of(args.begin(), args.end(),
                             [](const std::string& a) { return a == "--set" || a.rfind("--set=", 0) == 0; });
  std::string wanted_hours = take_option(args, "--set", &missing);
  std::vector<std::string> labels = take_options(args, "--click", &missing);
  std::vector<int> wanted, clicks;
  if (missing || (has_set && !labels.empty())) return usage_error(usage);
  if (has_set && wanted_hours != "none" && !parse_hours(wanted_hours, &wanted))
    return usage_error("'" + wanted_hours + "' is no set of hours (DAYS HOURS; ... as Mon-Fri 08-17; Sat 09, or none)");
  for (const std::string& label : labels) {
    int item = label_item(label);
    if (item == 0) return usage_error("'" + label + "' is no heading or hour label of the grid");
    clicks.push_back(item);
  }
  return with_library(args, usage, true, [&](Library& l, const std::string& server) {
    if (!args.empty()) return usage_error(usage);
    Screen s = open_screen(l, "QVAWKQ Server Configuration");
    if (!select_server(s, server, true)) {
      close_screen(s);
      return 1;
    }
    ui::JournalEntry grid;
    DWORD result = 0;
    int status = 0;
    if (!run_grid_dialog(s, {}, &grid, &result)) status = fail(server + ": the grid could not be read");
    if (status == 0 && has_set) {
      // The user clicks every cell that differs from the hours wanted.
      std::sort(wanted.begin(), wanted.end());
      for (int day = 0; day < 7; ++day)
        for (int hour = 0; hour < 24; ++hour) {
          int cell = IDC_HOURS_FIRST_CELL + day * 24 + hour;
          bool now = std::find(grid.checked.begin(), grid.checked.end(), cell) != grid.checked.end();
          if (now != std::binary_search(wanted.begin(), wanted.end(), cell)) clicks.push_back(cell);
        }
    }
    if (status == 0 && !clicks.empty()) {
      if (!run_grid_dialog(s, clicks, &grid, &result)) status = fail(server + ": the grid dialog did not open");
      else if (result != 1) status = fail(server + ": the grid was not saved (the message above says why)");
    }
    if (status == 0)
      std::printf("Permitted hours of %s: %s\n", server.c_str(),
                  hours_text(clicks.empty() ? grid.checked : grid.checked_at_end).c_str());
    close_screen(s);
    return status;
  });
}

}  // namespace console
