#include "sim/fake_agents.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace support {
namespace {

constexpr uint32_t kStatusMagic = 0x11221122;
constexpr uint32_t kKnownMagic = 0x77889900;
constexpr uint32_t kAlertMagic = 0x22222222;
constexpr uint32_t kNotAllowedMagic = 0xFCFCFCFC;
constexpr size_t kKnownEntries = 90, kKnownEntryBytes = 1067;
constexpr size_t kAlertEntries = 12, kAlertEntryBytes = 636;
constexpr size_t kGatherMembers = 1083;

void put32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
  if (out.size() < offset + 4) out.resize(offset + 4);
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Text into a field of `size` bytes, always leaving a terminator.
void put_text(std::vector<uint8_t>& out, size_t offset, const std::string& text, size_t size) {
  if (out.size() < offset + size) out.resize(offset + size);
  std::memcpy(out.data() + offset, text.data(), std::min(text.size(), size - 1));
}

// The entries from `cursor` on, at most `size` of them: one reply's page.
template <typename Entry>
std::vector<Entry> page_of(const std::vector<Entry>& all, uint32_t cursor, size_t size) {
  size_t from = std::min<size_t>(cursor, all.size());
  size_t take = std::min(size, all.size() - from);
  return std::vector<Entry>(all.begin() + static_cast<long>(from), all.begin() + static_cast<long>(from + take));
}

bool send_all(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> status_reply(uint32_t state, size_t magic_offset) {
  std::vector<uint8_t> out(64, 0);
  put32(out, magic_offset, kStatusMagic);
  put32(out, magic_offset + 4, state);
  return out;
}

std::vector<uint8_t> known_reply(const std::vector<KnownServerEntry>& entries, uint32_t count) {
  std::vector<uint8_t> out(kKnownEntries + entries.size() * kKnownEntryBytes, 0);
  put32(out, 0, kKnownMagic);
  put32(out, 8, count);
  for (size_t i = 0; i < entries.size(); ++i) {
    const KnownServerEntry& e = entries[i];
    size_t at = kKnownEntries + i * kKnownEntryBytes;
    put_text(out, at, e.name, 78);
    put32(out, at + 78, e.value);
    put_text(out, at + 82, e.text, 512);
    put32(out, at + 743, e.second_value);
    std::memcpy(out.data() + at + 756, e.first_triple, 3);
    std::memcpy(out.data() + at + 760, e.second_triple, 3);
    out[at + 769] = e.first_byte;
    out[at + 770] = e.second_byte;
    put32(out, at + 771, e.third_value);
  }
  return out;
}

std::vector<uint8_t> alert_reply(const std::vector<AlertAgentEntry>& entries, uint32_t limit_value) {
  std::vector<uint8_t> out(kAlertEntries + entries.size() * kAlertEntryBytes, 0);
  put32(out, 0, kAlertMagic);
  put32(out, 4, limit_value);
  put32(out, 8, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const AlertAgentEntry& e = entries[i];
    size_t at = kAlertEntries + i * kAlertEntryBytes;
    put_text(out, at + 4, e.name, 64);
    put_text(out, at + 68, e.text, 512);
    std::memcpy(out.data() + at + 580, e.bytes, 4);
    for (int v = 0; v < 3; ++v) put32(out, at + 600 + 4 * v, e.values[v]);
  }
  return out;
}

std::vector<uint8_t> gather_reply(const GatherBlock& block) {
  std::vector<uint8_t> out(kGatherMembers, 0);
  put_text(out, 8, block.label, 82);
  put_text(out, 90, block.host_name, 256);
  put_text(out, 346, block.text, 405);
  put32(out, 751, block.values[0]);
  for (int v = 1; v < 10; ++v) put32(out, 1039 + 4 * (v - 1), block.values[v]);
  put32(out, 1079, static_cast<uint32_t>(block.members.size()));
  for (const std::string& member : block.members) {
    out.insert(out.end(), member.begin(), member.end());
    out.push_back(0);
  }
  return out;
}

std::string process_loopback(int n) {
  unsigned pid = static_cast<unsigned>(getpid());
  return "127." + std::to_string(10 + pid % 240) + "." + std::to_string(pid / 240 % 250) + "." + std::to_string(n);
}

FakeAgent::FakeAgent(std::string ipv4, AgentScript script, uint16_t port)
    : ipv4_(std::move(ipv4)), script_(std::move(script)) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (inet_pton(AF_INET, ipv4_.c_str(), &at.sin_addr) != 1 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, 4) != 0) {
    error_ = "cannot listen on " + ipv4_ + ":" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(listener);
    return;
  }
  listening_ = true;
  listener_.start(listener, [this](int connection) { serve(connection); });
}

FakeAgent::~FakeAgent() { listener_.stop(); }

std::vector<ReceivedRequest> FakeAgent::requests() const {
  listener_.wait_until_served();
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

// Answers requests on one connection until the console closes it. After each
// reply the agent closes its sending side: the console reads until closed.
void FakeAgent::serve(int connection) {
  bool answered = false;
  uint8_t request[20];
  size_t have = 0;
  while (!listener_.stopping()) {
    pollfd p = {connection, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    ssize_t n = ::recv(connection, request + have, sizeof request - have, 0);
    if (n <= 0) break;
    have += static_cast<size_t>(n);
    if (have < sizeof request) continue;
    have = 0;
    ReceivedRequest r;
    static_assert(sizeof r == sizeof request, "the five request words, in order");
    std::memcpy(&r, request, sizeof r);
    {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back(r);
    }
    if (answered) continue;  // the sending side is closed already
    answered = true;
    Misbehaviour m = script_.misbehaviour;
    if (m == Misbehaviour::NoAnswer) continue;
    if (m == Misbehaviour::Reset) {
      linger hard = {1, 0};
      setsockopt(connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      break;
    }
    std::vector<uint8_t> reply = reply_for(r);
    if (m == Misbehaviour::ResetMidReply) {
      // The bytes sent reach the console before the reset does.
      send_all(connection, reply.data(), reply.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      linger hard = {1, 0};
      setsockopt(connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      break;
    }
    if (m == Misbehaviour::SkippedFirst) {
      const uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
      send_all(connection, ones, 4);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Slow pieces: 100 bytes at a time, 20 ms apart; otherwise the whole reply at once.
    size_t piece = m == Misbehaviour::SlowPieces ? 100 : std::max<size_t>(reply.size(), 1);
    for (size_t at = 0; at < reply.size(); at += piece) {
      send_all(connection, reply.data() + at, std::min(piece, reply.size() - at));
      if (m == Misbehaviour::SlowPieces) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::shutdown(connection, SHUT_WR);
  }
}

std::vector<uint8_t> FakeAgent::reply_for(const ReceivedRequest& r) {
  const Misbehaviour m = script_.misbehaviour;
  std::vector<uint8_t> reply;
  size_t cut = 0;  // where CutMidEntry ends the reply
  if (r.code_b == 0x374 || (r.code_a == 0x11AC && r.code_b == 0x873)) {
    reply = status_reply(script_.reported_state, r.code_a == 0x11AC ? 12 : 0);
    if (r.code_a == 0x11AC && !script_.sibling_statistics.empty()) {
      reply.resize(100);
      reply.insert(reply.end(), script_.sibling_statistics.begin(), script_.sibling_statistics.end());
    }
    cut = reply.size() / 2;
  } else if (r.code_a == 0x8008 && r.code_b == 0x377) {
    std::vector<KnownServerEntry> page = page_of(script_.known, r.known_cursor, script_.page_size);
    if (m == Misbehaviour::TooManyEntries) {
      KnownServerEntry extra;
      extra.name = "EXTRA";
      page.resize(56, page.empty() ? extra : page[0]);
    }
    reply = known_reply(page, static_cast<uint32_t>(page.size()));
    cut = reply.size() - kKnownEntryBytes / 2;
  } else if ((r.code_a == 0x8008 && r.code_b == 0x899) || (r.code_a == 0x2299 && r.code_b == 0x4721)) {
    if (m == Misbehaviour::NotAllowed) {
      reply.assign(12, 0);
      put32(reply, 0, kNotAllowedMagic);
      return reply;
    }
    std::vector<AlertAgentEntry> page = page_of(script_.alerts, r.alert_cursor, script_.page_size);
    uint32_t limit = m == Misbehaviour::LimitAbove100 ? 101 : static_cast<uint32_t>(script_.alerts.size());
    reply = alert_reply(page, limit);
    cut = reply.size() - kAlertEntryBytes / 2;
  } else if (r.code_a == 0x8008 && r.code_b == 0x355) {
    reply = gather_reply(script_.gather);
    cut = reply.size() - 2;  // the last member name loses its end and terminator
  } else {
    return reply;  // an unknown request gets no reply
  }
  if (m == Misbehaviour::WrongMagic) put32(reply, r.code_a == 0x11AC ? 12 : 0, 0x12345678);
  if (m == Misbehaviour::ShortReply) reply.resize(r.code_b == 0x355 ? 1000 : 6);
  if (m == Misbehaviour::CutMidEntry || m == Misbehaviour::ResetMidReply) reply.resize(cut);
  return reply;
}

}  // namespace support
