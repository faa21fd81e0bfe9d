// Arbitrary agent statistics, as they reach the console: the reply of the
// VORNIXW pipe to a forced refresh (480 bytes kept), the reply of the QVAWKQ
// pipe (448 bytes kept), or the values the scout agent leaves in the local
// registry for a server (a 490-byte STATS block, its time, the department).
// A pipe server of the world answers the call with the input's bytes; the
// statistics kept then go into the server's status record and its version
// text, as the status display takes them.
//
// Input: the source (first byte: VORNIXW pipe, QVAWKQ pipe, scout agent),
// then the pipe's reply; for the scout agent, STATS_TIME (4 bytes), the
// length of STATS (2 bytes), STATS, and the department text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/registry.h"
#include "deploy/server_status.h"
#include "fuzz/fuzz_folder.h"
#include "fuzz/pipe_server.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/agent_stats.h"
#include "win32/pipes.h"
#include "world/world.h"

namespace {

constexpr char kServer[] = "SRV01";
constexpr char kPipes[2][10] = {"vornixw01", "qvawkq01"};
enum Source { kAgentPipe = 0, kSiblingPipe = 1, kScout = 2 };

std::string g_world;

uint32_t le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// The scout agent's values for the server, from the input.
void leave_scout_values(const uint8_t* data, size_t size) {
  HKEY key;
  std::string path = std::string(kScoutStatusKey) + "\\" + kServer;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    std::abort();
  uint8_t head[6] = {};
  std::memcpy(head, data, std::min<size_t>(size, sizeof head));
  size_t at = std::min<size_t>(size, sizeof head);
  DWORD time = le(head, 4);
  size_t stats = std::min<size_t>(le(head + 4, 2), size - at);
  std::string department(reinterpret_cast<const char*>(data + at + stats), size - at - stats);
  department.push_back('\0');
  RegSetValueExA(key, "STATS_TIME", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&time), sizeof time);
  RegSetValueExA(key, "STATS", 0, REG_BINARY, data + at, static_cast<DWORD>(stats));
  RegSetValueExA(key, "DepartmentHosted", 0, REG_SZ, reinterpret_cast<const BYTE*>(department.data()),
                 static_cast<DWORD>(department.size()));
  RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_world = make_fuzz_folder("stats");
  write_file(g_world + "/world.ini",
             "[world]\nlocal = CONSOLE\ndomain = BRIGHTMERE\nclock = virtual\nstart = 1796515200\nregistry = memory\n");
  for (const char* machine : {"CONSOLE", kServer}) {
    std::string dir = g_world + "/machines/" + machine;
    for (const std::string& made : {dir + "/registry", dir + "/shares/C$", g_world + "/pipes/" + machine})
      std::filesystem::create_directories(made);
    write_file(dir + "/machine.ini",
               std::string("[machine]\nproduct = Windows Server 2012 R2 Standard\nipv4 = 127.0.0.") +
                   (std::string(machine) == kServer ? "2" : "1") + "\nreachable = yes\naccess = full\n");
  }
  write_file(
      g_world + "/machines/SRV01/registry/HKLM.reg",
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n\"ReportPath\"=\"D$\\\\VORNIX\"\r\n\r\n");
  write_file(g_world + "/machines/CONSOLE/services.ini",
             "[vornixwscoutagent]\nname = VORNIXWScoutAgent\ntype = 16\nstart = 2\nstate = running\n");
  if (!world::open(g_world)) std::abort();
  g_library.quiet_mode = 1;
  start_pipe_server({platform::pipe_socket_path(kServer, kPipes[0]), platform::pipe_socket_path(kServer, kPipes[1])});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static BYTE record[kListItemBytes];
  const Source source = static_cast<Source>(data[0] % 3);
  set_pipe_reply(data + 1, size - 1);
  BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
  build_pipe_request(request);
  set_item_word(record, kItemWordRefreshTime, 0);
  record[kItemStatusReply] = 0;
  DWORD kept = 0;
  switch (source) {
    case kAgentPipe:
      kept = ForceAgentStats(kServer, nullptr, 0, record, request, reply);
      break;
    case kSiblingPipe:
      kept = RefreshSiblingStats(kServer, record, nullptr, 0);
      break;
    case kScout:
      leave_scout_values(data + 1, size - 1);
      kept = RefreshAgentStats(kServer, record, request, reply);
      break;
  }
  const AgentStatistics* stats = AgentStatisticsFor(kServer);
  if (stats == nullptr) std::abort();
  // A pipe's block is the reply as far as it went, then zeros.
  if (kept && source != kScout) {
    size_t expected = source == kAgentPipe ? kAgentStatsKept : kSiblingStatsKept;
    if (stats->block_bytes != expected) std::abort();
    for (size_t i = 0; i < expected; ++i)
      if (stats->block[i] != (i + 1 < size ? data[i + 1] : 0)) std::abort();
  }
  if (TakeAgentStatusReply(*stats, record)) {
    set_item_word(record, kItemWordRefreshTime, 1);  // read: the version text takes the record as it is
    char version[40];
    if (!AgentVersionText(kServer, record, version, sizeof version) ||
        strnlen(version, sizeof version) >= sizeof version)
      std::abort();
  }
  if (strnlen(reinterpret_cast<const char*>(record + kItemDepartment), kItemDepartmentBytes) >= kItemDepartmentBytes ||
      strnlen(StatsConfiguredText(record), kStatsTextBytes) >= kStatsTextBytes)
    std::abort();
  // The block the refresh gave the record goes with the record's row, as the host deletes it.
  free_block(owned_block(record, kOwnedStatsText));
  set_owned_block(record, kOwnedStatsText, nullptr);
  return 0;
}
