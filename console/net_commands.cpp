#include "console/net_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "config/registry.h"
#include "console/command_line.h"
#include "console/in_process.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/address_scan.h"
#include "net/agent_stats.h"
#include "net/tcp_requests.h"
#include "tests/support/fake_pipe_agent.h"
#include "tests/support/list_view.h"
#include "world/world.h"

namespace console {
namespace {

std::string utc_text(uint32_t seconds) {
  std::time_t t = seconds;
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&t));
  return text;
}

uint32_t le32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

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

}  // namespace

// The pipes of the world's agents ([agent] pipe = NAME in machine.ini), served while a command runs.
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

int agent_stats_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  bool force = take_flag(args, "--force");
  bool sibling = take_flag(args, "--sibling");
  if (missing || server.empty() || !args.empty() || (force && sibling))
    return fail("agent-stats takes --server NAME and either --force or --sibling (and --world DIR)");
  begin_output();
  if (!start_in_process_library()) return fail("the library refused the host services table");
  auto pipes = start_agent_pipes();
  BYTE record[kListItemBytes] = {};
  BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
  build_pipe_request(request);
  DWORD kept = sibling ? RefreshSiblingStats(server.c_str(), record, nullptr, 0)
               : force ? ForceAgentStats(server.c_str(), nullptr, 0, record, request, reply)
                       : RefreshAgentStats(server.c_str(), record, request, reply);
  pipes.clear();
  release_registry_connections();
  const std::string configured = StatsConfiguredText(record);
  free_block(owned_block(record, kOwnedStatsText));
  const AgentStatistics* s = AgentStatisticsFor(server.c_str());
  if (!kept || s == nullptr) return fail(server + ": no statistics (no agent pipe answered, or access was denied)");
  const char* source = s->source == kStatsFromScout ? "the scout agent" : sibling && s->sibling_answers ? "the QVAWKQ status request" : "the agent's pipe";
  std::printf("Agent statistics of %s from %s (%u bytes)\n", server.c_str(), source, static_cast<unsigned>(s->block_bytes));
  std::printf("  taken:         %s\n", s->time ? utc_text(s->time).c_str() : "(not stamped)");
  if (!sibling) {
    uint32_t started = le32(s->block + kStatsStartTimeOffset);
    std::printf("  agent started: %s\n", started ? utc_text(started).c_str() : "(not reported)");
  }
  if (!configured.empty()) std::printf("  %s: %s\n", sibling ? "log share" : "report path", configured.c_str());
  return 0;
}

int scan_range_command(std::vector<std::string> args) {
  int octets[3], first = 0, last = 0;
  if (args.size() != 3 || !parse_prefix(args[0], octets) || !parse_number(args[1], &first) ||
      !parse_number(args[2], &last))
    return fail("scan-range takes A.B.C FIRST LAST (and --world DIR), for example 127.0.0 1 20");
  begin_output();
  if (!start_in_process_library()) return fail("the library refused the host services table");
  HWND screen = host::create_screen(7, "Scan for QVAWKQ Servers in IP Range + Port");
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 400, 300, screen, nullptr, nullptr, nullptr);
  support::add_columns(list, 1);
  // The QVAWKQ server list with its placeholder, as the host shows it before a scan.
  switch_on_sibling_mode(list);
  BYTE placeholder[kListItemBytes] = {};
  set_item_word(placeholder, kItemWordModule, kModuleNumber);
  host_service<HostInsertItemFn>(kHostInsertItem)(list, nullptr, TVI_SORT, kNoneFoundName, 0, 1, 0, nullptr,
                                                   placeholder, 0);
  DWORD scanned = ScanAddressRange(screen, list, octets[0], octets[1], octets[2], first, last);
  release_registry_connections();
  if (scanned == 0) return 1;
  for (const support::ListRow& row : support::list_rows(list)) {
    if (row.text == kNoneFoundName) continue;
    ULONG address = 0;
    std::memcpy(&address, row.record + kItemIPv4Address, 4);
    char text[20];
    FormatIPv4(address, text, sizeof text);
    std::printf("  %-24s %s\n", row.text.c_str(), text);
  }
  std::printf("%u addresses scanned, %u servers added\n", static_cast<unsigned>(scanned),
              static_cast<unsigned>(ScanAddedCount()));
  return 0;
}

int agent_ip_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string address = take_option(args, "--set", &missing);
  bool reset = take_flag(args, "--reset");
  if (missing || server.empty() || !args.empty() || (reset && !address.empty()))
    return fail("agent-ip takes --server NAME and either --set A.B.C.D or --reset (and --world DIR)");
  begin_output();
  if (!start_in_process_library()) return fail("the library refused the host services table");
  DWORD rc = 0;
  if (!address.empty()) rc = SetAgentAddress(server.c_str(), address.c_str(), nullptr);
  if (reset) rc = ResetAgentAddress(server.c_str());
  char current[64] = {};
  if (rc == 0) rc = ReadAgentAddress(server.c_str(), current, sizeof current);
  release_registry_connections();
  if (rc != 0) return fail(server + ": the agent address was not changed (Windows error " + std::to_string(rc) + ")");
  std::printf("%s: the agent is reached at %s\n", server.c_str(), current[0] ? current : "its own address (no override)");
  return 0;
}

}  // namespace console
