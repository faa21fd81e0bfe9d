#include "console/net_commands.h"

#include <windows.h>
#include <algorithm>
#include <commctrl.h>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/status_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "sim/fake_agents.h"
#include "sim/fake_pipe_agent.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr uint16_t kNetScreenKey = 14;
constexpr int kHostListItem = 1401, kSiblingListItem = 1402, kButtonItem = 1410;
constexpr uint32_t kGetServerStatusButton = 0x603100A4;
constexpr uint32_t kRegisteredServersButton = 0x6021007D;
constexpr uint32_t kAlertAgentsButton = 0x60210095;
constexpr uint32_t kRefreshButton = 0x30110EE7;
constexpr uint32_t kRequestStatusField = 0x6022007D, kRequestValueField = 0x6022007E;
constexpr int kAddServerEntry = 0, kAgentAddressEntry = 6;
constexpr char kNoneFound[] = "<none found>";

std::string utc_text(uint32_t seconds) {
  std::time_t t = seconds;
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&t));
  return text;
}

std::string dotted(const BYTE* address) {
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
  return text;
}

// Three octets "A.B.C", each a whole number.
bool parse_prefix(const std::string& text, int octets[3]) {
  char tail;
  return std::sscanf(text.c_str(), "%d.%d.%d%c", &octets[0], &octets[1], &octets[2], &tail) == 3;
}

bool parse_number(const std::string& text, int* value) {
  char* end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end) return false;
  *value = static_cast<int>(n);
  return true;
}

// A field of the screen as the library's text entry point gives it.
std::string field_text(const Library& l, HWND screen, uint32_t field) {
  char text[2048] = {};
  LONG value = 0;
  l.text(screen, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, field, kModuleNumber);
  return text;
}

// The enterprise hosts of the world ([agent] enterprise = yes), answering in
// this process while a command runs.
std::vector<std::unique_ptr<support::FakeAgent>> start_enterprise_hosts() {
  support::AgentScript script;
  script.reported_state = 66;
  script.gather.label = "Demo enterprise";
  script.gather.text = "collects the state of the demo servers";
  std::vector<std::unique_ptr<support::FakeAgent>> hosts;
  for (const world::Machine* m : world::machines()) {
    if (m->setting("agent", "enterprise") != "yes") continue;
    script.gather.host_name = m->name;
    script.known.clear();
    script.gather.members.clear();
    for (const world::Machine* other : world::machines()) {
      if (other == m || other->name == world::console_machine()) continue;
      support::KnownServerEntry entry;
      entry.name = other->name;
      entry.value = 66;
      entry.text = "reporting to " + m->name;
      script.known.push_back(entry);
      script.gather.members.push_back(other->name);
    }
    support::AlertAgentEntry alert;
    alert.name = m->name + "-ALERTS";
    alert.text = "logon and file alerts";
    script.alerts = {alert};
    hosts.push_back(std::make_unique<support::FakeAgent>(m->setting("machine", "ipv4"), script));
  }
  return hosts;
}

// A request that failed, in plain words, from the request status its row's record carries.
std::string request_failure(const std::string& server, const BYTE* record) {
  switch (item_word(record, kItemWordRequestStatus)) {
    case 0x31: return server + ": could not connect to its agent port 4060, the agent is probably not running";
    case 0x33: return server + ": the reply could not be read";
    case 0x34: return server + ": no reply within 10 seconds";
    case 0x44: return server + ": no computer of that name on the network";
    case 0x22: return server + ": it answered with an unexpected reply";
    default: return server + ": the request failed";
  }
}

// A host's row of its own in a list of the enterprise screen, selected, with a record of the host's.
HWND host_list(const Library& l, HWND screen, const std::string& name, BYTE** record) {
  HWND list = host::add_control(screen, kHostListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  support::append_row(list, name.c_str());
  *record = static_cast<BYTE*>(host::attach_row_record(l.library, list, 0, 0));
  select_rows(list, {0});
  return list;
}

// The rows the library added to the host's list beside the host's own, each with the text its record holds,
// by name.
void list_added_rows(HWND list, const BYTE* host_record, size_t text_offset, Listing* listing) {
  for (int row = 0; row < row_count(list); ++row) {
    const auto* record = reinterpret_cast<const BYTE*>(row_param(list, row));
    if (record == host_record) continue;
    listing->rows.push_back({row_text(list, row), record ? reinterpret_cast<const char*>(record + text_offset) : ""});
  }
  std::sort(listing->rows.begin(), listing->rows.end());
}

// Runs one listing request from its button, the host's row of the name its companion.
int listing_command(std::vector<std::string> args, const char* flag, const char* command, uint32_t button,
                    const char* heading, size_t text_offset, std::vector<std::string> columns) {
  bool missing = false;
  std::string name = take_option(args, flag, &missing);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || name.empty() || !args.empty()) return usage_error(std::string(command) + " takes " + flag + " NAME (and --world DIR)");
  Library l;
  if (!start(&l)) return 1;
  auto hosts = start_enterprise_hosts();
  HWND screen = host::create_screen(kNetScreenKey, "Enterprise hosts");
  BYTE* record = nullptr;
  HWND list = host_list(l, screen, name, &record);
  DWORD done = press(l, screen, add_button(screen, kButtonItem, button, kNetScreenKey, kHostListItem));
  hosts.clear();
  Listing listing{std::string(heading) + " " + row_text(list, 0) + ":", std::move(columns), {}, "(none)", {24}};
  list_added_rows(list, record, text_offset, &listing);
  print_listing(listing, format);
  int status = done == 1 ? 0 : fail(request_failure(name, record));
  release_rows(l, list);
  host::unload_library(&l.library);
  return status;
}

// What a record carries of its server's agent statistics, as one row.
std::vector<std::string> statistics_row(const std::string& server, const BYTE* record) {
  uint32_t started = item_word(record, kItemWordAgentStartTime);
  auto version = [](const BYTE* v) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d%c", v[0], v[1], v[2] + 96);
    return std::string(text);
  };
  return {server, started ? utc_text(started) : "(not reported)", version(record + kItemAgentVersion),
          version(record + kItemDriverVersion)};
}

// The text a forced refresh read from the server's settings (its report path, or its QVAWKQ log share).
std::string configured_text(const BYTE* record) {
  const char* text = static_cast<const char*>(owned_block(record, kOwnedBlocksFirst));
  return text ? text : "";
}

// The QVAWKQ server list, filled by its event (which switches the library to the sibling product), each row
// with a record of the host's.
HWND sibling_list(const Library& l, HWND screen) {
  HWND list = host::add_control(screen, kSiblingListItem, WC_LISTVIEWA, "",
                                host::ControlSpec{kSiblingServerList, kDescriptorListView});
  host::send_list_event(l.library, list);
  for (int row = 0; row < row_count(list); ++row)
    if (row_param(list, row) == 0) host::attach_row_record(l.library, list, row, kSiblingServerList);
  return list;
}

}  // namespace

std::vector<std::unique_ptr<support::FakePipeAgent>> start_agent_pipes() {
  std::vector<std::unique_ptr<support::FakePipeAgent>> pipes;
  support::PipeScript script;
  script.start_time = static_cast<uint32_t>(std::time(nullptr)) - 86400;
  for (const world::Machine* m : world::machines()) {
    std::string pipe = m->setting("agent", "pipe");
    if (!pipe.empty()) pipes.push_back(std::make_unique<support::FakePipeAgent>(m->name, pipe, script));
  }
  return pipes;
}

int enterprise_status_command(std::vector<std::string> args) {
  bool missing = false;
  std::string name = take_option(args, "--server", &missing);
  if (missing || name.empty() || !args.empty()) return usage_error("enterprise-status takes --server NAME (and --world DIR)");
  Library l;
  if (!start(&l)) return 1;
  auto hosts = start_enterprise_hosts();
  HWND servers = make_server_list(l);
  if (!select_server(servers, name)) return host::unload_library(&l.library), 1;
  // The server screen's Get button asks the current server; its two status fields show the answer.
  HWND screen = GetParent(servers);
  DWORD done = press(l, screen, add_button(screen, kButtonItem, kGetServerStatusButton));
  hosts.clear();
  std::string status_text = field_text(l, screen, kRequestStatusField);
  std::printf("Enterprise host %s: %s\n  reported state: %s\n", name.c_str(), status_text.c_str(),
              field_text(l, screen, kRequestValueField).c_str());
  int status = done == 1 ? 0 : fail(name + ": " + status_text);
  host::unload_library(&l.library);
  return status;
}

int servers_known_command(std::vector<std::string> args) {
  return listing_command(std::move(args), "--host", "servers-known", kRegisteredServersButton,
                         "Servers known to enterprise host", kItemKnownText, {"server", "state"});
}

int alert_agents_command(std::vector<std::string> args) {
  return listing_command(std::move(args), "--server", "alert-agents", kAlertAgentsButton, "Active Alert agents of",
                         kItemAlertText, {"agent", "alerts"});
}

int agent_stats_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  bool force = take_flag(args, "--force");
  bool sibling = take_flag(args, "--sibling");
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || server.empty() || !args.empty() || (force && sibling))
    return usage_error("agent-stats takes --server NAME and either --force or --sibling (and --world DIR)");
  Library l;
  if (!start(&l)) return 1;
  auto pipes = start_agent_pipes();
  struct Unload {
    Library& l;
    ~Unload() { host::unload_library(&l.library); }
  } unload{l};
  HWND list = nullptr;
  if (sibling) {
    list = sibling_list(l, host::create_screen(kNetScreenKey, "QVAWKQ servers"));
    int row = find_row(list, server);
    if (row < 0) return fail(server + " is not a QVAWKQ server of this console");
    select_rows(list, {row});
  } else {
    list = make_server_list(l);
    if (!select_server(list, server)) return 1;
  }
  HWND screen = GetParent(list);
  const auto* record = reinterpret_cast<const BYTE*>(row_param(list, find_row(list, server)));
  if (sibling || force) {
    // The refresh button beside the list: the selected server's agent is asked at once.
    press(l, screen, add_button(screen, kButtonItem, kRefreshButton, static_cast<uint16_t>(sibling ? kNetScreenKey : kServerScreenKey),
                                sibling ? kSiblingListItem : kServerListItem));
  } else {
    // The periodic refresh: the server's status line, as the host shows it, reads the statistics.
    std::string scratch = (std::filesystem::temp_directory_path() /
                           ("vornix-stats-" + std::to_string(GetCurrentProcessId()) + ".csv")).string();
    HANDLE file = CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    write_status_lines(l, list, {find_row(list, server)}, file);
    CloseHandle(file);
    std::filesystem::remove(scratch);
  }
  pipes.clear();
  std::string configured = configured_text(record);
  if (sibling) {
    Listing asked{"QVAWKQ agent statistics of " + server + " asked for", {"server", "log share"}, {{server, configured}}};
    asked.heading = true;
    print_listing(asked, format);
    return 0;
  }
  if (record[kItemStatusReply] == 0) return fail(server + ": no statistics (no agent pipe answered, or access was denied)");
  // The report path is read only by a forced refresh; the periodic one leaves it empty.
  Listing stats{"Agent statistics of " + server,
                {"server", "agent started", "agent version", "driver version", "report path"},
                {statistics_row(server, record)}};
  stats.rows[0].push_back(configured);
  stats.heading = true;
  print_listing(stats, format);
  return 0;
}

int scan_range_command(std::vector<std::string> args) {
  int octets[3], first = 0, last = 0;
  Format format;
  if (!take_format(args, &format)) return 1;
  if (args.size() != 3 || !parse_prefix(args[0], octets) || !parse_number(args[1], &first) ||
      !parse_number(args[2], &last))
    return usage_error("scan-range takes A.B.C FIRST LAST (and --world DIR), for example 127.0.0 1 20");
  Library l;
  if (!start(&l)) return 1;
  // The QVAWKQ server list's "Add New Server to Manage", its dialog's scan button, the scan dialog's fields
  // typed and its OK pressed, then the dialog closed.
  HWND screen = host::create_screen(kNetScreenKey, "QVAWKQ servers");
  HWND list = sibling_list(l, screen);
  std::vector<std::string> before;
  for (int row = 0; row < row_count(list); ++row) before.push_back(row_text(list, row));
  std::vector<std::pair<int, std::string>> fields = {
      {IDC_SCAN_OCTET_A, std::to_string(octets[0])}, {IDC_SCAN_OCTET_B, std::to_string(octets[1])},
      {IDC_SCAN_OCTET_C, std::to_string(octets[2])}, {IDC_SCAN_FIRST, args[1]}, {IDC_SCAN_LAST, args[2]}};
  ui::script({"ADD_SERVER_QVAWKQ", IDC_SCAN_RANGE, "", {}});
  ui::script({"DKQ_SCAN_IP", IDOK, "", fields});
  ui::script({"DKQ_SCAN_IP", IDCANCEL, "", {}});
  host::MenuEntries entries;
  if (host::request_menu(l.library, list, kSiblingServerList, nullptr, kDescriptorListView, &entries) == 0)
    host::choose_menu_entry(l.library, kSiblingServerList, nullptr, kAddServerEntry, screen);
  ui::clear_script();
  // Each row of the QVAWKQ server list, the ones this scan added marked so.
  const std::string prefix =
      std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." + std::to_string(octets[2]) + ".";
  Listing servers{"QVAWKQ server list after scanning " + prefix + std::to_string(first) + " to " + prefix +
                      std::to_string(last) + ":",
                  {"server", "address", "state"}, {}, "(none)", {24, 15}};
  int added = 0;
  for (int row = 0; row < row_count(list); ++row) {
    const auto* record = reinterpret_cast<const BYTE*>(row_param(list, row));
    std::string name = row_text(list, row);
    if (name == kNoneFound || record == nullptr) continue;
    bool is_new = std::find(before.begin(), before.end(), name) == before.end();
    added += is_new;
    // A server listed before has no address in its row until its status is read: none is shown.
    bool addressed = std::any_of(record + kItemIPv4Address, record + kItemIPv4Address + 4, [](BYTE b) { return b != 0; });
    servers.rows.push_back({name, addressed ? dotted(record + kItemIPv4Address) : "", is_new ? "added" : "listed before"});
  }
  int status = 0;
  std::string refused;
  for (const ui::JournalEntry& e : ui::journal())
    if (e.kind == "message box" && e.title == "Error during scan") refused = e.text;
  if (!refused.empty()) {
    status = fail("nothing was scanned: " + refused);
  } else {
    print_listing(servers, format);
    if (format == Format::kTable)
      std::printf("%d addresses scanned: %d server(s) added to the QVAWKQ server list, which now has %zu\n"
                  "(the console's own servers, which servers lists, are not changed)\n",
                  last - first + 1, added, servers.rows.size());
  }
  release_rows(l, list);
  host::unload_library(&l.library);
  return status;
}

int agent_ip_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string address = take_option(args, "--set", &missing);
  bool reset = take_flag(args, "--reset");
  if (missing || server.empty() || !args.empty() || (reset && !address.empty()))
    return usage_error("agent-ip takes --server NAME and either --set A.B.C.D or --reset (and --world DIR)");
  Library l;
  if (!start(&l)) return 1;
  HWND list = make_server_list(l);
  if (!select_server(list, server)) return host::unload_library(&l.library), 1;
  // "Manage IP Address used by Server Agent" of the server's row, its dialog answered as the options say.
  if (!address.empty()) ui::script({"SETSERVERIPOVERRIDE", IDOK, "", {{IDC_TEXT_FIELD, address}}});
  if (reset) ui::script({"SETSERVERIPOVERRIDE", IDC_ADDRESS_RESET, "", {}});
  if (reset) ui::script({"SETSERVERIPOVERRIDE", IDOK, "", {}});
  ui::script({"SETSERVERIPOVERRIDE", IDCANCEL, "", {}});  // a refused address leaves the dialog open
  void* record = reinterpret_cast<void*>(row_param(list, find_row(list, server)));
  host::MenuEntries entries;
  DWORD done = host::request_menu(l.library, list, kConsoleServerList, record, kDescriptorListView, &entries) == 0
                   ? host::choose_menu_entry(l.library, kConsoleServerList, record, kAgentAddressEntry, GetParent(list))
                   : 0;
  ui::clear_script();
  std::vector<std::string> addresses;
  for (const ui::JournalEntry& e : ui::journal())
    if (e.template_name == "SETSERVERIPOVERRIDE") addresses = e.rows;
  bool changed = !address.empty() || reset;
  int status = 0;
  if (changed && done != 1) {
    status = fail(server + ": the agent address was not changed" +
                  (last_message().empty() ? "" : " (" + last_message() + ")"));
  } else {
    for (const std::string& row : addresses) std::printf("  network address: %s\n", row.c_str());
    // The address the console now keeps for the server is the one it reaches the agent's port at.
    HWND known = host::add_control(GetParent(list), 1, WC_LISTVIEWA, "",
                                   host::ControlSpec{kCustomReportServerList, kDescriptorListView});
    host::send_list_event(l.library, known);
    for (const host::ValueRow& row : host::value_rows(known)) {
      if (strcasecmp(row.text.c_str(), server.c_str()) != 0) continue;
      BYTE a[4];
      uint32_t v = static_cast<uint32_t>(row.value);
      std::memcpy(a, &v, 4);
      std::printf("%s: the console reaches its agent at %s\n", server.c_str(), dotted(a).c_str());
    }
  }
  host::unload_library(&l.library);
  return status;
}

}  // namespace console
