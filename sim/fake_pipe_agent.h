// Simulated agent pipe: a server of \\MACHINE\pipe\NAME in the open world that
// answers each request with the agent's statistics, well or with one chosen
// misbehaviour, in a thread of its own.
//
//   support::PipeScript script;
//   script.start_time = 1796550000;
//   support::FakePipeAgent pipe("SRV01", "vornixw01", script);   // serving at once
//   ... the library's CallNamedPipeW ...
//   pipe.requests();                                            // the bytes it was sent
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/listener_thread.h"

namespace support {

enum class PipeMisbehaviour {
  None,
  Busy,         // every instance busy: the call fails with 231
  Silent,       // reads the request and never answers
  Short,        // answers only the first 60 bytes
  Long,         // answers 700 bytes, more than the console's 580-byte buffer
  WrongMarker,  // the value at offset 49 is 0 instead of the agent's start time
  DiesMidReply, // sends its first 40 bytes (before the start time) and is gone
};

constexpr size_t kPipeStatisticsBytes = 580;  // the reply of a well-behaved agent
constexpr size_t kPipeStartTimeOffset = 49;   // u32: when the agent started, seconds since 1970
constexpr size_t kPipeVersionsOffset = 53;    // agent version, driver version (3 bytes each), driver flags

struct PipeScript {
  uint32_t start_time = 1796540000;  // 2026-12-06 06:53:20 UTC
  uint32_t events = 1234;            // at offset 0: events recorded since the start
  // Agent 7.02b, driver 6.10c of the ".6" line (flag bit of value 2).
  uint8_t versions[7] = {7, 2, 2, 6, 10, 3, 2};
  PipeMisbehaviour misbehaviour = PipeMisbehaviour::None;
};

// The reply of a well-behaved agent: the events count at 0, the start time at 49,
// the versions at 53, and every other byte its offset modulo 251 so that a shifted copy shows.
std::vector<uint8_t> pipe_statistics(const PipeScript& script);

class FakePipeAgent {
 public:
  FakePipeAgent(const std::string& machine, const std::string& pipe, PipeScript script);
  ~FakePipeAgent();  // not copyable: the thread, the lock and the socket are its own

  bool serving() const { return serving_; }
  const std::string& error() const { return error_; }
  // The bytes of each request so far, once the connections made have been served (waits up to 2 s).
  std::vector<std::vector<uint8_t>> requests() const;

 private:
  void serve(int connection);

  std::string path_;
  PipeScript script_;
  bool serving_ = false;
  std::string error_;
  mutable std::mutex lock_;
  std::vector<std::vector<uint8_t>> requests_;
  ListenerThread listener_;  // last: its thread stops before the members it uses go
};

}  // namespace support
