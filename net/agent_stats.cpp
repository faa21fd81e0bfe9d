// Agent statistics: the scout agent's registry, the agent's named pipe, and
// the QVAWKQ status request with its pipe as fallback.
#include "net/agent_stats.h"

#include <cstdio>
#include <cstring>

#include "config/server_settings.h"
#include "deploy/deploy.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/server_access.h"
#include "net/tcp_requests.h"

namespace {

constexpr char kAgentPipe[] = "vornixw01";
constexpr char kSiblingPipe[] = "qvawkq01";
constexpr DWORD kPipeTimeoutMs = 1;
constexpr uint32_t kReportPathField = 0x6038008B;
constexpr uint32_t kSiblingLogShareField = 0x60F80023;
constexpr size_t kPipeNameUnits = 300;

struct StatisticsNode {
  StatisticsNode* next;
  AgentStatistics stats;
};

// Every server's statistics, newest first; used on the UI thread only.
StatisticsNode* g_statistics = nullptr;

uint32_t le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

StatisticsNode* find_node(const char* server) {
  for (StatisticsNode* n = g_statistics; n; n = n->next)
    if (equal_ignoring_case(n->stats.server, server)) return n;
  return nullptr;
}

// The server's statistics, made on first use; null when no memory is left.
AgentStatistics* statistics_of(const char* server) {
  if (StatisticsNode* n = find_node(server)) return &n->stats;
  auto* n = static_cast<StatisticsNode*>(allocate_block(GPTR, sizeof(StatisticsNode)));
  if (n == nullptr) return nullptr;
  copy_text(n->stats.server, sizeof n->stats.server, server);
  n->next = g_statistics;
  g_statistics = n;
  return &n->stats;
}

// A zero start time in the agent's block clears the one the status display shows.
void take_start_marker(const AgentStatistics& stats, BYTE* record) {
  if (record != nullptr && le32(stats.block + kStatsStartTimeOffset) == 0)
    set_item_word(record, kItemWordAgentStartTime, 0);
}

// One call of the server's pipe; true when a whole reply came back.
bool call_agent_pipe(const char* server, const char* pipe, const BYTE* request, BYTE* reply) {
  WCHAR name[kPipeNameUnits];
  char text[kPipeNameUnits];
  std::snprintf(text, sizeof text, "\\\\%s\\pipe\\%s", server, pipe);
  to_wide(text, name, kPipeNameUnits);
  std::memset(reply, 0, kPipeReplyBytes);
  DWORD read = 0;
  return CallNamedPipeW(name, const_cast<BYTE*>(request), kPipeRequestBytes, reply, kPipeReplyBytes, &read,
                        kPipeTimeoutMs) != 0;
}

void keep_block(AgentStatistics* stats, const BYTE* from, size_t bytes) {
  std::memset(stats->block, 0, sizeof stats->block);
  std::memcpy(stats->block, from, bytes);
  stats->block_bytes = static_cast<DWORD>(bytes);
}

// Chosen: the value bound to 0x6038008B is ReportPath, so it gets a text of its own and the
// department the status display shows stays the department.
void read_configured_text(const char* server, DWORD root, uint32_t field, BYTE* record) {
  if (record == nullptr) return;
  auto* kept = static_cast<char*>(owned_block(record, kOwnedStatsText));
  if (kept == nullptr) {
    kept = static_cast<char*>(allocate_block(GPTR, kStatsTextBytes));
    if (kept == nullptr) return;
    set_owned_block(record, kOwnedStatsText, kept);
  }
  char text[kSettingTextBytes] = {};
  ServerSetting(root, nullptr, server, field, text, 0, nullptr, record, 0);
  copy_text(kept, kStatsTextBytes, text);
}

// What the scout agent left for the server besides its statistics. The record's department
// text is 512 bytes: a longer name is cut to fit; an empty one means no department is hosted.
void keep_scout_values(const ScoutServerStatus& scout, BYTE* record) {
  if (record == nullptr) return;
  copy_text(reinterpret_cast<char*>(record + kItemDepartment), kItemDepartmentBytes, scout.department);
  record[kItemSqlServerNamed] = scout.transfer_server_set != 0;
  record[kItemSqlTransferOn] = scout.transfer_on != 0;
  record[kItemNetworkBinding] = scout.binding_warning;
  record[kItemEmailConfigured] = scout.email_configured != 0;
}

void refresh_row(HWND list, int row, BYTE* record) {
  if (list == nullptr) return;
  if (auto changed = host_service<HostItemRecordChangedFn>(kHostItemRecordChanged))
    changed(list, static_cast<uintptr_t>(row), record);
}

// A DWORD of the server's QVAWKQ key; 0 when it is missing.
DWORD sibling_port(HKEY sibling, const char* value) {
  DWORD port = 0, size = sizeof port, type = 0;
  if (RegQueryValueExA(sibling, value, nullptr, &type, reinterpret_cast<BYTE*>(&port), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return port;
}

// The QVAWKQ status request on one port; true when it answered with status 1.
bool sibling_status_on(const char* server, BYTE* record, DWORD port, AgentStatistics* stats) {
  BYTE scratch[kListItemBytes] = {};
  BYTE* target = record ? record : scratch;
  // A status left by an earlier request would hide this one's outcome.
  set_item_word(target, kItemWordRequestStatus, 0);
  BYTE reply[kStatusReplyBytes] = {};
  RequestSiblingHostStatus(server, target, static_cast<WORD>(port), reply, sizeof reply);
  if (item_word(target, kItemWordRequestStatus) != kRequestAnswered) return false;
  keep_block(stats, reply + kSiblingStatusStats, kSiblingStatsKept);
  ++stats->sibling_answers;
  return true;
}

}  // namespace

const AgentStatistics* AgentStatisticsFor(const char* server) {
  if (server == nullptr) return nullptr;
  StatisticsNode* n = find_node(server);
  return n ? &n->stats : nullptr;
}

void release_agent_statistics() {
  while (StatisticsNode* n = g_statistics) {
    g_statistics = n->next;
    free_block(n);
  }
}

BOOL TakeAgentStatusReply(const AgentStatistics& stats, BYTE* record) {
  const bool agent_block = stats.block_bytes == kAgentStatsKept || stats.block_bytes == kScoutStatisticsBytes;
  if (record == nullptr || !agent_block) return FALSE;
  set_item_word(record, kItemWordAgentStartTime, le32(stats.block + kStatsStartTimeOffset));
  record[kItemStatusReply] = 1;
  std::memcpy(record + kItemAgentVersion, stats.block + kStatsAgentVersionOffset, 3);
  std::memcpy(record + kItemDriverVersion, stats.block + kStatsDriverVersionOffset, 3);
  record[kItemDriverFlags] = stats.block[kStatsDriverFlagsOffset];
  return TRUE;
}

const char* StatsConfiguredText(const BYTE* record) {
  const auto* text = record ? static_cast<const char*>(owned_block(record, kOwnedStatsText)) : nullptr;
  return text ? text : "";
}

void build_pipe_request(BYTE request[kPipeRequestBytes]) {
  std::memset(request, 0, kPipeRequestBytes);
  request[0] = kPipeRequestFirst;
  request[1] = kPipeRequestSecond;
}

DWORD RefreshAgentStats(const char* server, BYTE* record, BYTE* request, BYTE* reply) {
  AgentStatistics* stats = server && server[0] ? statistics_of(server) : nullptr;
  if (stats == nullptr) return 0;
  ++stats->polls;
  stats->source = 0;
  if (ScoutStatus() == kScoutActive) {
    BYTE block[kScoutStatisticsBytes];
    DWORD time = 0;
    ScoutServerStatus scout;
    const bool found = ReadScoutServerStatus(server, &time, block, &scout) == 0;
    if (found) keep_scout_values(scout, record);
    // A STATS_TIME of 0 counts as not read: the scout never stamps statistics with 1970.
    if (found && time != 0) {
      keep_block(stats, block, kScoutStatisticsBytes);
      stats->time = time;
      take_start_marker(*stats, record);
      stats->source = kStatsFromScout;
      return 1;
    }
  }
  stats->block_bytes = 0;
  if (!CheckServerAccess(server)) return 0;
  if (!call_agent_pipe(server, kAgentPipe, request, reply)) return 0;
  keep_block(stats, reply, kAgentStatsKept);
  stats->time = current_seconds();
  take_start_marker(*stats, record);
  return 1;
}

DWORD ForceAgentStats(const char* server, HWND list, int row, BYTE* record, BYTE* request, BYTE* reply) {
  AgentStatistics* stats = server && server[0] ? statistics_of(server) : nullptr;
  if (stats == nullptr) return 0;
  ++stats->polls;
  stats->block_bytes = 0;
  stats->time = 0;
  DWORD kept = 0;
  if (call_agent_pipe(server, kAgentPipe, request, reply)) {
    keep_block(stats, reply, kAgentStatsKept);
    take_start_marker(*stats, record);
    kept = 1;
  }
  read_configured_text(server, kProductRoot, kReportPathField, record);
  refresh_row(list, row, record);
  return kept;
}

DWORD RefreshSiblingStats(const char* server, BYTE* record, HWND list, int row) {
  AgentStatistics* stats = server && server[0] ? statistics_of(server) : nullptr;
  if (stats == nullptr) return 0;
  stats->block_bytes = 0;
  DWORD first = 0, second = 0;
  HKEY key = nullptr, sibling = nullptr;
  if (ConnectServerRegistry(server, &key, nullptr, 0) == 0 && key &&
      RegOpenKeyExA(key, kSiblingKey, 0, remote_access(KEY_READ), &sibling) == ERROR_SUCCESS) {
    first = sibling_port(sibling, "IPv4PortKQRequests");
    second = sibling_port(sibling, "IPv4PortWstnLogs");
    RegCloseKey(sibling);
  }
  bool kept = first != 0 && sibling_status_on(server, record, first, stats);
  if (!kept && first != 0 && second != 0 && second != first) kept = sibling_status_on(server, record, second, stats);
  if (!kept) {
    BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
    build_pipe_request(request);
    if (call_agent_pipe(server, kSiblingPipe, request, reply)) {
      keep_block(stats, reply, kSiblingStatsKept);
      kept = true;
    }
  }
  read_configured_text(server, kSiblingRoot, kSiblingLogShareField, record);
  refresh_row(list, row, record);
  return kept ? 1 : 0;
}
