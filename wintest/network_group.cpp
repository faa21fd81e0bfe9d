// Requests to agents over TCP, through the platform's sockets to fake agents
// that the Linux side serves on loopback addresses (one agent per way of
// answering), and the agent's statistics over its named pipe.
#include <cstring>
#include <string>
#include <vector>

#include "config/registry.h"
#include "config/server_settings.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/agent_stats.h"
#include "net/tcp_requests.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {
namespace {

std::string text_at(const BYTE* record, size_t offset) { return reinterpret_cast<const char*>(record + offset); }

uint32_t u32_at(const BYTE* record, size_t offset) {
  uint32_t value;
  std::memcpy(&value, record + offset, 4);
  return value;
}

std::string bytes_at(const BYTE* record, size_t offset, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += (i ? " " : "") + std::to_string(record[offset + i]);
  return out;
}

HWND g_screen;

HWND make(const char* class_name) {
  return CreateWindowExA(0, class_name, "", WS_CHILD, 0, 0, 10, 10, g_screen, nullptr, nullptr, nullptr);
}

std::string status_of(const BYTE* record) {
  return "status " + hex_text(item_word(record, kItemWordRequestStatus)) + ", state " +
         std::to_string(item_word(record, kItemWordReportedState));
}

// The rows of servers known: name, image, the host that reported them and each field copied from the entry.
std::vector<std::string> known_rows(HWND list) {
  std::vector<std::string> out;
  for (const support::ListRow& row : support::list_rows(list)) {
    const BYTE* r = row.record;
    out.push_back(row.text + " (" + std::to_string(row.image) + ") from " + text_at(r, kItemEnterpriseHost) + ": " +
                  std::to_string(u32_at(r, kItemKnownValue)) + " " + hex_text(u32_at(r, kItemKnownSecondValue)) +
                  " " + hex_text(u32_at(r, kItemKnownThirdValue)) + " [" + bytes_at(r, kItemKnownFirstTriple, 8) +
                  "] " + std::to_string(text_at(r, kItemKnownText).size()) + " characters: " +
                  text_at(r, kItemKnownText).substr(0, 24));
  }
  return out;
}

std::vector<std::string> alert_rows(HWND list) {
  std::vector<std::string> out;
  for (const support::ListRow& row : support::list_rows(list)) {
    const BYTE* r = row.record;
    out.push_back(row.text + " (" + std::to_string(row.image) + "): " + text_at(r, kItemAlertText) + " [" +
                  bytes_at(r, kItemAlertBytes, 4) + "] " + std::to_string(u32_at(r, kItemAlertFirstValue)) + " " +
                  std::to_string(u32_at(r, kItemAlertFirstValue + 4)) + " " +
                  std::to_string(u32_at(r, kItemAlertFirstValue + 8)));
  }
  return out;
}

// The gather's tree: each host with its record's texts and values, and its members below it.
std::vector<std::string> gather_rows(HWND tree) {
  std::vector<std::string> out;
  for (const support::TreeRow& host : support::tree_rows(tree)) {
    const auto* block = static_cast<const BYTE*>(owned_block(host.record, kOwnedBlock1));
    std::string line = host.text + " (" + std::to_string(host.image) + ")";
    if (block != nullptr) {
      line += ": " + text_at(block, kHostRecordLabel) + " | " + text_at(block, kHostRecordName) + " | " +
              text_at(block, kHostRecordText) + " |";
      for (int i = 0; i < kHostRecordValueCount; ++i)
        line += " " + std::to_string(u32_at(block, kHostRecordValues + 4 * i));
    }
    out.push_back(line);
    for (const support::TreeRow& member : support::tree_rows(tree, host.item))
      out.push_back("  " + member.text + " (" + std::to_string(member.image) + ")");
  }
  return out;
}

void free_gather(HWND tree) {
  for (const support::TreeRow& host : support::tree_rows(tree)) free_block(owned_block(host.record, kOwnedBlock1));
}

// Every request kind of one agent, into fresh lists.
void ask_everything(const std::string& host) {
  BYTE record[kListItemBytes] = {};
  int asked = RequestEnterpriseStatus(host.c_str(), record);
  say("status: " + std::to_string(asked) + ", " + status_of(record));
  BYTE reply[64] = {};
  std::memset(record, 0, sizeof record);
  int sibling = RequestSiblingHostStatus(host.c_str(), record, kAgentPort, reply, sizeof reply);
  say("sibling status: " + std::to_string(sibling) + ", " + status_of(record) + ", magic at 12 " +
      hex_text(u32_at(reply, 12)));
  std::memset(record, 0, sizeof record);
  int second = RequestSiblingHostStatusSecond(host.c_str(), record, kAgentPort);
  say("sibling status, second form: " + std::to_string(second) + ", " + status_of(record));
  HWND known = make(WC_LISTVIEWA);
  std::memset(record, 0, sizeof record);
  asked = RequestServersKnown(host.c_str(), record, known);
  say("servers known: " + std::to_string(asked) + ", " + status_of(record));
  say(known_rows(known));
  asked = RequestServersKnown(host.c_str(), record, known);
  say("asked again: " + std::to_string(asked) + ", " + std::to_string(support::list_rows(known).size()) + " rows");
  HWND alerts = make(WC_LISTVIEWA);
  char label[101] = "HOST1";
  std::memset(record, 0, sizeof record);
  asked = RequestAlertAgents(host.c_str(), record, alerts, label, sizeof label);
  say("alert agents: " + std::to_string(asked) + ", " + status_of(record) + ", label " + label);
  say(alert_rows(alerts));
  HWND tree = make(WC_TREEVIEWA);
  std::memset(record, 0, sizeof record);
  asked = RequestEnterpriseGather(host.c_str(), record, tree);
  say("gather: " + std::to_string(asked) + ", " + status_of(record));
  say(gather_rows(tree));
  say(shown());
  free_gather(tree);
  for (HWND list : {known, alerts}) release_rows(list);
  for (HWND window : {known, alerts, tree}) DestroyWindow(window);
}

void tcp_requests(const Place& place) {
  for (const char* role : {"well", "paged", "slow", "skipped first", "cut", "wrong magic", "short", "too many",
                           "limit above 100", "not allowed", "reset"}) {
    if (!begin_section(std::string("an agent that answers ") + role)) continue;
    ask_everything(place.agent(role));
  }
  if (begin_section("a status already set, then a reset connection")) {
    BYTE record[kListItemBytes] = {};
    set_item_word(record, kItemWordRequestStatus, kRequestUnexpectedReply);
    int asked = RequestEnterpriseStatus(place.agent("reset").c_str(), record);
    say("status: " + std::to_string(asked) + ", " + status_of(record));
  }
  if (begin_section("nobody listening, and a name that does not resolve")) {
    BYTE record[kListItemBytes] = {};
    int asked = RequestServersKnown(place.agent("nobody").c_str(), record, nullptr);
    say("servers known: " + std::to_string(asked) + ", " + status_of(record));
    say("gather: " + std::to_string(RequestEnterpriseGather(place.agent("nobody").c_str(), record, nullptr)));
    std::memset(record, 0, sizeof record);
    asked = RequestEnterpriseStatus("nosuch.invalid", record);
    say("status: " + std::to_string(asked) + ", " + status_of(record));
    say(shown());
  }
  if (begin_section("an agent that never answers")) {
    BYTE record[kListItemBytes] = {};
    int result = RequestEnterpriseStatus(place.agent("silent").c_str(), record);
    say("status: " + std::to_string(result) + ", " + status_of(record));
    say(shown());
  }
  if (begin_section("server names")) {
    for (const char* name : {"\\\\server1.example.lan", "\\\\SRV02", "10.1.2.3", "srv9.example", "1234567890.12345"}) {
      char text[100];
      std::snprintf(text, sizeof text, "%s", name);
      NormaliseServerName(text, sizeof text, 1);
      say(std::string(name) + " -> " + text);
    }
    char text[32];
    FormatIPv4(0x0302010A, text, sizeof text);
    say(std::string("0x0302010A -> ") + text);
  }
}

std::string pipe_name(const Place& place) { return "\\\\" + place.computer + "\\pipe\\vornixw01"; }

DWORD call_pipe(const std::string& name) {
  std::basic_string<WCHAR> wide(name.begin(), name.end());
  BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
  build_pipe_request(request);
  DWORD read = 0;
  if (CallNamedPipeW(wide.c_str(), request, sizeof request, reply, sizeof reply, &read, 1000)) return 0;
  return GetLastError() == ERROR_MORE_DATA ? 0 : GetLastError();
}

// What the platform lacks when the pipe served on this computer answers as \\.\pipe\vornixw01 but not
// by the computer's name, as the library calls it (Wine reaches no pipe through a \\SERVER name).
std::string pipe_names_missing(const Place& place) {
  DWORD error = call_pipe(pipe_name(place));
  if (error == 0 || call_pipe("\\\\.\\pipe\\vornixw01") != 0) return "";
  return "CallNamedPipeW of " + pipe_name(place) + " (error " + std::to_string(error) + ")";
}

void pipe_statistics(const Place& place) {
  const std::pair<PipeWay, const char*> ways[] = {{PipeWay::kWell, "answers well"},
                                                 {PipeWay::kShort, "answers 60 bytes"},
                                                 {PipeWay::kLong, "answers 700 bytes"},
                                                 {PipeWay::kWrongMarker, "has no start time"}};
  for (const auto& [way, what] : ways) {
    std::string title = std::string("the agent's pipe ") + what;
    if (!start_pipe_agent(place, way)) {
      begin_section(title);
      say("the pipe agent did not start");
      continue;
    }
    if (begin_section(title, pipe_names_missing(place))) {
      BYTE record[kListItemBytes] = {};
      set_item_word(record, kItemWordAgentStartTime, 1796500000);
      HWND list = make(WC_LISTVIEWA);
      support::insert_list_rows(list, {{place.computer.c_str(), record}});
      BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
      build_pipe_request(request);
      DWORD kept = ForceAgentStats(place.computer.c_str(), list, 0, record, request, reply);
      const AgentStatistics* stats = AgentStatisticsFor(place.computer.c_str());
      say("kept: " + std::to_string(kept) + ", " + (stats ? std::to_string(stats->block_bytes) : "no") +
          " bytes of statistics, polls " + (stats ? std::to_string(stats->polls) : "-"));
      if (stats != nullptr && stats->block_bytes != 0)
        say("events " + std::to_string(u32_at(stats->block, 0)) + ", started " +
            std::to_string(u32_at(stats->block, kStatsStartTimeOffset)) + ", versions " +
            bytes_at(stats->block, kStatsAgentVersionOffset, 7) + ", byte 200 " + std::to_string(stats->block[200]) +
            ", byte 479 " + std::to_string(stats->block[479]));
      say("record: start time " + std::to_string(item_word(record, kItemWordAgentStartTime)) +
          ", configured text \"" + StatsConfiguredText(record) + "\"");
      say(shown());
      free_block(owned_block(record, kOwnedStatsText));
      DestroyWindow(list);
    }
    stop_pipe_agent();
  }
}

}  // namespace

void network_group(const Place& place) {
  shown();
  g_library.base_image_index = 100;
  HKEY product = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr);
  RegSetValueExA(product, "ReportPath", 0, REG_SZ, reinterpret_cast<const BYTE*>("VnxLogs$"), 9);
  RegCloseKey(product);
  g_screen = host::create_screen(40, "Enterprise hosts");
  tcp_requests(place);
  pipe_statistics(place);
  DestroyWindow(g_screen);
  release_registry_connections();
}

}  // namespace wintest
