// A server's agent status as the console shows it: one line of quoted,
// comma-delimited fields per server written into a file, and the server tile
// drawn for the current server. Both read the server status record behind the
// row of the console's server list, and read the server first when the record
// was never refreshed.
#include "deploy/server_status.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "config/registry.h"
#include "config/server_settings.h"
#include "deploy/deploy_steps.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/agent_stats.h"
#include "net/tcp_requests.h"

namespace {

constexpr uint32_t kDepartmentSetting = 0x6038008A;
constexpr uint32_t kSqlTransferSetting = 0x603800B4;
constexpr uint32_t kSqlServerSetting = 0x603800B5;
constexpr char kSmtpServerValue[] = "SMTP Server";
constexpr int kServiceManagerRetries = 1;
constexpr int kLastInvalidStartYear = 2007;
constexpr BYTE kDriverSixLine = 2;  // "bit 1" of the driver flags: the bit of value 2
constexpr COLORREF kTileTextColour = 0xB67231;
constexpr COLORREF kTileWarningColour = 0x0000FF;
constexpr int kTileMargin = 6;

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

// A time of the record (seconds since 1970, UTC) as the console user's calendar time.
bool local_calendar(uint32_t seconds, std::tm* out) {
  if (seconds == 0) return false;
  std::time_t local = static_cast<std::time_t>(seconds) - g_library.utc_offset;
  // The C runtime's shared result is copied at once: status lines and tiles run on the UI thread only.
  const std::tm* calendar = std::gmtime(&local);
  if (calendar == nullptr) return false;
  *out = *calendar;
  return true;
}

// "%s %d, %d " then the clock in the given format; false for a time of 2007 or earlier.
bool format_time(uint32_t seconds, const char* clock_format, char* out, size_t size) {
  std::tm t = {};
  if (!local_calendar(seconds, &t) || t.tm_year + 1900 <= kLastInvalidStartYear) return false;
  int used = std::snprintf(out, size, "%s %d, %d ", kMonthNames[t.tm_mon], t.tm_mday, t.tm_year + 1900);
  if (used > 0 && static_cast<size_t>(used) < size)
    std::snprintf(out + used, size - static_cast<size_t>(used), clock_format, t.tm_hour, t.tm_min);
  return true;
}

char version_letter(BYTE number) { return static_cast<char>(number + 96); }

void format_version(const BYTE* v, char* out, size_t size) {
  std::snprintf(out, size, "%d.%02d%c", v[0], v[1], version_letter(v[2]));
}

// One field: the text in double quotes and a comma; a double quote inside is doubled so
// that the line stays one record of comma-delimited fields.
void write_field(HANDLE file, const char* field) {
  char quoted[2 * kItemDepartmentBytes + 64];
  size_t n = 0;
  quoted[n++] = '"';
  for (const char* c = field; *c != '\0' && n + 4 < sizeof quoted; ++c) {
    if (*c == '"') quoted[n++] = '"';
    quoted[n++] = *c;
  }
  quoted[n++] = '"';
  quoted[n++] = ',';
  DWORD written = 0;
  WriteFile(file, quoted, static_cast<DWORD>(n), &written, nullptr);
}

bool unreachable(const BYTE* record) { return record[kItemByteReachability] == kUnreachable; }
DWORD agent_state(const BYTE* record) { return item_word(record, kItemWordAgentState); }

// The agent service's state when its status cannot be asked: running, not installed,
// stopped (0), or a permission error when the service manager cannot be read.
DWORD read_service_state(const char* server) {
  DWORD error = 0;
  SC_HANDLE manager = open_service_manager(server, GENERIC_READ, kServiceManagerRetries, &error);
  if (manager == nullptr) return kAgentPermissionError;
  DWORD state = kAgentPermissionError;
  if (SC_HANDLE service = OpenServiceA(manager, agent_product().service, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState == SERVICE_RUNNING ? kAgentRunning : 0;
    CloseServiceHandle(service);
  } else if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
    state = kAgentNotInstalled;
  }
  CloseServiceHandle(manager);
  return state;
}

// The department, SQL transfer and e-mail settings of a server that answers.
void read_settings(const char* server, BYTE* record) {
  HKEY hklm = nullptr;
  if (ConnectServerRegistry(server, &hklm, nullptr, 1) != 0 || hklm == nullptr) return;
  char text[kSettingTextBytes];
  if (ServerSetting(kProductRoot, hklm, server, kDepartmentSetting, text, 0, nullptr, record, 0) == 0)
    copy_text(reinterpret_cast<char*>(record + kItemDepartment), kItemDepartmentBytes, text);
  if (ServerSetting(kProductRoot, hklm, server, kSqlTransferSetting, text, 0, nullptr, record, 0) == 0)
    record[kItemSqlTransferOn] = decimal_value(text) != 0;
  if (ServerSetting(kProductRoot, hklm, server, kSqlServerSetting, text, 0, nullptr, record, 0) == 0)
    record[kItemSqlServerNamed] = text[0] != '\0';
  HKEY product;
  if (RegOpenKeyExA(hklm, kProductKey, 0, remote_access(KEY_READ), &product) == ERROR_SUCCESS) {
    char smtp[512] = {};
    DWORD size = sizeof smtp - 1;
    record[kItemEmailConfigured] =
        RegQueryValueExA(product, kSmtpServerValue, nullptr, nullptr, reinterpret_cast<BYTE*>(smtp), &size) ==
            ERROR_SUCCESS &&
        smtp[0] != '\0';
    RegCloseKey(product);
  }
}

// The agent's status over its named pipe, into the record; an agent that answers runs.
bool ask_agent_status(const char* server, BYTE* record) {
  BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
  build_pipe_request(request);
  if (!RefreshAgentStats(server, record, request, reply)) return false;
  const AgentStatistics* stats = AgentStatisticsFor(server);
  if (stats == nullptr || !TakeAgentStatusReply(*stats, record)) return false;
  set_item_word(record, kItemWordAgentState, kAgentRunning);
  return true;
}

// Reads the server's state into a record that was never refreshed. The agent's own
// status reply comes over its named pipe; without it the service's state stands in.
void refresh_if_never_read(const char* server, BYTE* record) {
  if (item_word(record, kItemWordRefreshTime) != 0) return;
  ULONG address;
  std::memcpy(&address, record + kItemIPv4Address, sizeof address);
  if (address == 0) {
    address = ResolveIPv4(server);
    std::memcpy(record + kItemIPv4Address, &address, sizeof address);
  }
  if (address == 0 || !ProbeReachable(address)) {
    record[kItemByteReachability] = kUnreachable;
  } else {
    if (!ask_agent_status(server, record) && record[kItemStatusReply] == 0)
      set_item_word(record, kItemWordAgentState, read_service_state(server));
    // The scout agent read the server's settings with its statistics: they stand as it left them.
    const AgentStatistics* stats = AgentStatisticsFor(server);
    if (stats == nullptr || stats->source != kStatsFromScout) read_settings(server, record);
  }
  set_item_word(record, kItemWordRefreshTime, current_seconds());
}

// The agent field of a reachable server with access. A running agent whose start time
// is missing or too old is "Agent Started Invalid Start Time", the same field with the
// time's place taken, as the tile shows "Started: <Invalid Start Time>".
void agent_field(const BYTE* record, char* out, size_t size) {
  DWORD state = agent_state(record);
  if (state == kAgentNotInstalled) return copy_text(out, size, "Agent NOT INSTALLED");
  if (state != kAgentRunning) return copy_text(out, size, "Agent Stopped");
  char started[64];
  if (!format_time(item_word(record, kItemWordAgentStartTime), "%2d:%02d", started, sizeof started))
    copy_text(started, sizeof started, "Invalid Start Time");
  std::snprintf(out, size, "Agent Started %s", started);
}

void versions(const BYTE* record, const char* agent_prefix, bool six_line, char* out, size_t size) {
  char agent[32], driver[32];
  format_version(record + kItemAgentVersion, agent, sizeof agent);
  format_version(record + kItemDriverVersion, driver, sizeof driver);
  bool six = six_line && (record[kItemDriverFlags] & kDriverSixLine) != 0;
  std::snprintf(out, size, "%s%s | %s%s", agent_prefix, agent, driver, six ? ".6" : "");
}

void write_status_line(HANDLE file, const BYTE* record) {
  char field[2 * kItemDepartmentBytes];
  const BYTE* a = record + kItemIPv4Address;
  std::snprintf(field, sizeof field, "IPv4 %d.%d.%d.%d", a[0], a[1], a[2], a[3]);
  write_field(file, field);
  if (agent_state(record) == kAgentPermissionError) {
    write_field(file, "Permissions ERROR, unable to collect data");
  } else if (unreachable(record)) {
    write_field(file, "Server OFFLINE, unable to collect data");
  } else {
    agent_field(record, field, sizeof field);
    write_field(file, field);
    if (record[kItemStatusReply] != 0) {
      versions(record, "Version ", true, field, sizeof field);
      write_field(file, field);
    }
    write_field(file, record[kItemSqlTransferOn] && record[kItemSqlServerNamed] ? "SQL Enabled" : "SQL NOT Enabled");
    write_field(file, record[kItemEmailConfigured] ? "Email Configured" : "Email NOT Configured");
    const char* department = reinterpret_cast<const char*>(record + kItemDepartment);
    if (department[0] != '\0') std::snprintf(field, sizeof field, "Department Hosted (%s)", department);
    write_field(file, department[0] != '\0' ? field : "No Department Hosted");
  }
  // Each server's line ends with CRLF, so that the lines of several servers stay apart.
  DWORD written = 0;
  WriteFile(file, "\r\n", 2, &written, nullptr);
}

// The data pair of a status line request: the file, then the row of the server list.
DWORD status_line(const DrawEvent& e) {
  if (e.data == 0) return 1;
  const auto* pair = reinterpret_cast<const uintptr_t*>(e.data);
  HANDLE file = reinterpret_cast<HANDLE>(pair[0]);
  int row = static_cast<int>(pair[1]);
  SendMessageA(e.window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  char server[260] = {};
  LPARAM param = 0;
  if (!read_list_row(e.window, row, server, sizeof server, &param) || param == 0) return 1;
  auto* record = reinterpret_cast<BYTE*>(param);
  refresh_if_never_read(server, record);
  write_status_line(file, record);
  return 1;
}

struct TileLines {
  char lines[7][160];
  bool warning[7];
  int count;
};

void add_line(TileLines* t, bool warning, const char* format, ...) __attribute__((format(printf, 3, 4)));
void add_line(TileLines* t, bool warning, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(t->lines[t->count], sizeof t->lines[t->count], format, args);
  va_end(args);
  t->warning[t->count++] = warning;
}

// The tile's lines below the server's name. The second style (the tiles of the server
// screens, group 3) writes "0nline" with a zero.
void tile_lines(const BYTE* record, bool second_style, TileLines* t) {
  char when[64];
  if (format_time(item_word(record, kItemWordRefreshTime), "%02d:%02d", when, sizeof when))
    add_line(t, false, "%s (Last Tile Refresh)", when);
  const BYTE* a = record + kItemIPv4Address;
  if (a[0] || a[1] || a[2] || a[3]) add_line(t, false, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
  else add_line(t, true, "ADAPTER BINDING FAILED");
  if (unreachable(record)) {
    add_line(t, true, "Unable to connect");
    add_line(t, true, "<right click> to retry");
    return;
  }
  add_line(t, false, second_style ? "0nline" : "Online");
  DWORD state = agent_state(record);
  if (state == kAgentPermissionError) add_line(t, true, "<unknown status, could be permissions error>");
  else if (state == kAgentNotInstalled) add_line(t, true, "Agent NOT Installed!");
  else if (state != kAgentRunning) add_line(t, true, "Agent Stopped!");
  else if (format_time(item_word(record, kItemWordAgentStartTime), "%02d:%02d", when, sizeof when))
    add_line(t, false, "Started: %s", when);
  else add_line(t, true, "Started: <Invalid Start Time>");
  if (record[kItemStatusReply] != 0) {
    char line[80];
    versions(record, "Version: ", false, line, sizeof line);
    add_line(t, false, "%s", line);
  }
}

// The tile of the current server; nothing is drawn without a record behind its row.
DWORD server_tile(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  CurrentServer current = current_server();
  if (current.record == nullptr) return 1;
  refresh_if_never_read(current.name, current.record);
  create_drawing_resources();
  const DrawingResources& r = g_library.drawing;
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, r.brushes[kBrushWhite]);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, kTileTextColour);
  HGDIOBJ previous = SelectObject(item->hDC, r.fonts[kFontHeadingBold]);
  RECT line = {area.left + kTileMargin, area.top + kTileMargin, area.right - kTileMargin, area.top + kTileMargin + 28};
  DrawTextA(item->hDC, current.name, -1, &line, DT_LEFT | DT_SINGLELINE);
  SelectObject(item->hDC, r.fonts[kFontNormal]);
  TileLines lines = {};
  tile_lines(current.record, (e.id & 0x00F00000) == 0x00300000, &lines);
  for (int i = 0; i < lines.count; ++i) {
    line.top = line.bottom;
    line.bottom = line.top + 20;
    SetTextColor(item->hDC, lines.warning[i] ? kTileWarningColour : kTileTextColour);
    DrawTextA(item->hDC, lines.lines[i], -1, &line, DT_LEFT | DT_SINGLELINE);
  }
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

}  // namespace

DWORD WriteServerStatusLine(const DrawEvent& e) {
  return e.mode == kDrawModeStatusLine ? status_line(e) : kResultNotHandled;
}

DWORD DrawServerTile(const DrawEvent& e) { return e.mode == kDrawModeStatusLine ? kResultNotHandled : server_tile(e); }

bool AgentVersionText(const char* server, BYTE* record, char* out, size_t size) {
  refresh_if_never_read(server, record);
  if (record[kItemStatusReply] == 0) return false;
  versions(record, "Version ", true, out, size);
  return true;
}

// Read again at each paint, from the server itself, so a change made elsewhere shows on the
// next paint; a copy of the row's record is read into, so the list keeps what it showed.
DWORD DrawServerFeatureButton(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  CurrentServer current = current_server();
  BYTE record[kListItemBytes] = {};
  if (current.record != nullptr) std::memcpy(record, current.record, sizeof record);
  record[kItemSqlTransferOn] = record[kItemSqlServerNamed] = record[kItemEmailConfigured] = 0;
  read_settings(current.name, record);
  bool enabled = e.id == kEmailConfigButton ? record[kItemEmailConfigured] != 0
                                            : record[kItemSqlTransferOn] && record[kItemSqlServerNamed];
  return draw_option_button(item, enabled ? "Enabled" : "NOT Enabled");
}

void RefreshServerStatus(const char* server, BYTE* record) {
  set_item_word(record, kItemWordRefreshTime, 0);
  refresh_if_never_read(server, record);
}
