// Agent statistics for the server list: from the local scout agent's registry,
// from the agent's named pipe, or for QVAWKQ from its TCP status request with
// the pipe as fallback. Each server's statistics are kept in one plain record
// that the status display reads through AgentStatisticsFor.
#pragma once
#include <cstddef>
#include <cstdint>

#include "config/registry.h"
#include "host/list_item.h"
#include "host/win32.h"

// The pipe request: 01 'T' and eight zero bytes.
constexpr size_t kPipeRequestBytes = 10;
constexpr BYTE kPipeRequestFirst = 1;
constexpr BYTE kPipeRequestSecond = 0x54;
// The reply buffer, and how much of it is the statistics block.
constexpr size_t kPipeReplyBytes = 580;
constexpr size_t kAgentStatsKept = 480;     // VORNIXW
constexpr size_t kSiblingStatsKept = 448;   // QVAWKQ
constexpr size_t kAgentStatsBuffer = 491;   // the record's room for the block
constexpr size_t kSiblingStatsBuffer = 459;
constexpr size_t kSiblingStatusStats = 100;  // where the block starts in a QVAWKQ status reply
// u32 of the VORNIXW block: when the agent started; 0 clears the record's start time.
constexpr size_t kStatsStartTimeOffset = 49;
// Bytes of the VORNIXW block behind the start time: the agent's version (major, minor,
// letter number), the driver's version (the same three) and the driver's flags.
constexpr size_t kStatsAgentVersionOffset = 53;
constexpr size_t kStatsDriverVersionOffset = 56;
constexpr size_t kStatsDriverFlagsOffset = 59;
constexpr DWORD kStatsFromScout = 0x8080;
constexpr size_t kStatsTextBytes = 512;
// Server status record: the 512-byte text a refresh reads from the server's settings, ReportPath
// (VORNIXW) or LogSharePath (QVAWKQ), in a block the record owns.
constexpr int kOwnedStatsText = kOwnedBlocksFirst;

// One server's statistics.
struct AgentStatistics {
  char server[kCachedServerNameBytes];
  DWORD polls;             // refreshes asked for
  DWORD source;            // kStatsFromScout when the scout agent gave them, else 0
  DWORD time;              // seconds since 1970; 0 when not stamped (a forced refresh)
  DWORD block_bytes;       // 0: no statistics; else kAgentStatsKept or kSiblingStatsKept
  BYTE block[kAgentStatsBuffer];
  DWORD sibling_answers;   // QVAWKQ status requests answered
};

// The statistics kept for a server; null when none were ever asked for.
const AgentStatistics* AgentStatisticsFor(const char* server);
// Frees every server's statistics (process detach).
void release_agent_statistics();

// Copies the agent's status out of its VORNIXW statistics (the pipe's or the scout
// agent's) into the server status record: the start time, the agent and driver versions
// and the driver flags, with the mark that a status reply exists. FALSE, and nothing
// written, without a block.
BOOL TakeAgentStatusReply(const AgentStatistics& stats, BYTE* record);
// The record's configured text; empty when none was read.
const char* StatsConfiguredText(const BYTE* record);

// Builds the 10-byte pipe request.
void build_pipe_request(BYTE request[kPipeRequestBytes]);

// The periodic refresh: the scout agent's values when it runs and has them,
// else the agent's pipe after the access check. record is the server's status
// record (may be null); the scout's department, SQL transfer, network-binding
// and e-mail values go into it. 1 when statistics are now kept, else 0.
DWORD RefreshAgentStats(const char* server, BYTE* record, BYTE* request, BYTE* reply);
// The refresh after a user action: always the pipe; then the configured report
// path and the row refreshed. 1 when statistics are now kept, else 0.
DWORD ForceAgentStats(const char* server, HWND list, int row, BYTE* record, BYTE* request, BYTE* reply);
// QVAWKQ: the status request on IPv4PortKQRequests, then on IPv4PortWstnLogs,
// then the qvawkq01 pipe. 1 when statistics are now kept, else 0.
DWORD RefreshSiblingStats(const char* server, BYTE* record, HWND list, int row);
