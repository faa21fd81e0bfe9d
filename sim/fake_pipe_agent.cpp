#include "sim/fake_pipe_agent.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <iterator>

#include "win32/pipes.h"

namespace support {

namespace {

void put_u32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool readable(int fd, int milliseconds) {
  pollfd p = {fd, POLLIN, 0};
  return ::poll(&p, 1, milliseconds) > 0;
}

}  // namespace

std::vector<uint8_t> pipe_statistics(const PipeScript& script) {
  std::vector<uint8_t> out(kPipeStatisticsBytes);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i % 251);
  put_u32(out, 0, script.events);
  put_u32(out, kPipeStartTimeOffset, script.start_time);
  std::copy(std::begin(script.versions), std::end(script.versions), out.begin() + kPipeVersionsOffset);
  return out;
}

FakePipeAgent::FakePipeAgent(const std::string& machine, const std::string& pipe, PipeScript script)
    : path_(platform::pipe_socket_path(machine, pipe)), script_(script) {
  sockaddr_un at = {};
  at.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof at.sun_path) {
    error_ = "no pipe path for " + machine + " in this world";
    return;
  }
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  std::filesystem::remove(path_, ignored);
  std::memcpy(at.sun_path, path_.c_str(), path_.size() + 1);
  int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, 64) != 0) {
    error_ = "cannot serve " + path_ + ": " + std::strerror(errno);
    ::close(listener);
    return;
  }
  serving_ = true;
  listener_.start(listener, [this](int connection) { serve(connection); });
}

FakePipeAgent::~FakePipeAgent() {
  listener_.stop();
  if (serving_) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
}

std::vector<std::vector<uint8_t>> FakePipeAgent::requests() const {
  listener_.wait_until_served();
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

// One client: the first byte, the request up to the client's end of sending, the reply.
void FakePipeAgent::serve(int connection) {
  const char first = script_.misbehaviour == PipeMisbehaviour::Busy ? platform::kPipeBusy : platform::kPipeReady;
  if (::send(connection, &first, 1, MSG_NOSIGNAL) != 1 || first == platform::kPipeBusy) return;
  std::vector<uint8_t> request;
  uint8_t chunk[64];
  while (!listener_.stopping()) {
    if (!readable(connection, 20)) continue;
    ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    request.insert(request.end(), chunk, chunk + n);
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
  }
  std::vector<uint8_t> reply = pipe_statistics(script_);
  switch (script_.misbehaviour) {
    case PipeMisbehaviour::Silent:
      // Holds the connection until the client gives up and closes it.
      while (!listener_.stopping()) {
        pollfd p = {connection, 0, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & (POLLHUP | POLLERR))) break;
      }
      return;
    case PipeMisbehaviour::Short: reply.resize(60); break;
    case PipeMisbehaviour::DiesMidReply: reply.resize(40); break;
    case PipeMisbehaviour::Long: reply.resize(700, 0xEE); break;
    case PipeMisbehaviour::WrongMarker: put_u32(reply, kPipeStartTimeOffset, 0); break;
    default: break;
  }
  for (size_t sent = 0; sent < reply.size();) {
    ssize_t n = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace support
