// Simulated enterprise host and Active Alert agent: a TCP listener on a
// machine's 127.0.0.N address that answers each 20-byte request kind in a
// thread of its own, well or with one chosen kind of misbehaviour.
//
//   support::AgentScript script;
//   script.known = {{"SRV02"}, {"SRV03"}};
//   support::FakeAgent agent("127.0.0.2", script);   // listens at once
//   ... the library's request ...
//   agent.requests();                                 // what it was asked
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/listener_thread.h"

namespace support {

enum class Misbehaviour {
  None,
  WrongMagic,      // the first word is 0x12345678
  ShortReply,      // only the first 6 bytes (1000 of a gather block)
  CutMidEntry,     // the last entry (or member name) cut in its middle
  TooManyEntries,  // 56 servers known in one reply
  LimitAbove100,   // the alert reply's value at offset 4 is 101
  NotAllowed,      // the alert reply is the magic 0xFCFCFCFC
  NoAnswer,        // reads the request and never answers
  Reset,           // reads the request and resets the connection
  ResetMidReply,   // sends the reply up to the middle of its last entry, then resets the connection
  SlowPieces,      // the reply in pieces of 100 bytes, 20 ms apart
  SkippedFirst,    // an all-ones word first, then the reply
};

struct KnownServerEntry {
  std::string name;
  uint32_t value = 0;            // entry offset 78
  std::string text;              // entry offset 82
  uint32_t second_value = 0;     // 743
  uint8_t first_triple[3] = {};  // 756
  uint8_t second_triple[3] = {}; // 760
  uint8_t first_byte = 0;        // 769
  uint8_t second_byte = 0;       // 770
  uint32_t third_value = 0;      // 771
};

struct AlertAgentEntry {
  std::string name;          // entry offset 4
  std::string text;          // 68
  uint8_t bytes[4] = {};     // 580
  uint32_t values[3] = {};   // 600, 604, 608
};

struct GatherBlock {
  std::string label;         // offset 8
  std::string host_name;     // 90
  std::string text;          // 346
  uint32_t values[10] = {};  // 751, then 1039..1071
  std::vector<std::string> members;
};

struct AgentScript {
  uint32_t reported_state = 66;
  std::vector<KnownServerEntry> known;
  std::vector<AlertAgentEntry> alerts;
  GatherBlock gather;
  size_t page_size = 55;  // entries per servers-known or alert reply
  Misbehaviour misbehaviour = Misbehaviour::None;
  // QVAWKQ host status: the agent's statistics from offset 100 of the reply (none when empty).
  std::vector<uint8_t> sibling_statistics;
};

// One request as received: the five u32 fields.
struct ReceivedRequest {
  uint32_t code_a = 0, code_b = 0, known_cursor = 0, zero = 0, alert_cursor = 0;
};

// The replies, byte for byte, as a well-behaved agent sends them.
std::vector<uint8_t> status_reply(uint32_t state, size_t magic_offset);
std::vector<uint8_t> known_reply(const std::vector<KnownServerEntry>& entries, uint32_t count);
std::vector<uint8_t> alert_reply(const std::vector<AlertAgentEntry>& entries, uint32_t limit_value);
std::vector<uint8_t> gather_reply(const GatherBlock& block);

// A loopback address of its own for this process: 127.X.Y.n, so that test
// programs running side by side never listen on the same address.
std::string process_loopback(int n);

class FakeAgent {
 public:
  FakeAgent(std::string ipv4, AgentScript script, uint16_t port = 4060);
  ~FakeAgent();  // not copyable: the thread, the lock and the counters are its own

  // False (and why) when the address could not be bound.
  bool listening() const { return listening_; }
  const std::string& error() const { return error_; }
  // Every request so far, once the connections made have been served (waits up to 2 s).
  std::vector<ReceivedRequest> requests() const;
  int connections() const { return listener_.connections(); }

 private:
  void serve(int connection);
  std::vector<uint8_t> reply_for(const ReceivedRequest& request);

  std::string ipv4_;
  AgentScript script_;
  bool listening_ = false;
  std::string error_;
  mutable std::mutex lock_;
  std::vector<ReceivedRequest> requests_;
  ListenerThread listener_;  // last: its thread stops before the members it uses go
};

}  // namespace support
