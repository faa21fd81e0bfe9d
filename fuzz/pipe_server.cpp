// The fuzz targets' pipe server (see pipe_server.h), on plain sockets.
#include "fuzz/pipe_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "win32/pipes.h"

namespace {

std::mutex g_lock;
std::vector<uint8_t> g_reply;

int listen_on(const std::string& path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) std::abort();
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0)
    std::abort();
  return fd;
}

void serve(int listener) {
  int connection = accept(listener, nullptr, nullptr);
  if (connection < 0) return;
  std::vector<uint8_t> reply;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    reply = g_reply;
  }
  char ready = platform::kPipeReady;
  send(connection, &ready, 1, MSG_NOSIGNAL);
  char request[64];
  while (recv(connection, request, sizeof request, 0) > 0) {
  }
  for (size_t sent = 0; sent < reply.size();) {
    ssize_t n = send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  close(connection);
}

}  // namespace

void start_pipe_server(const std::vector<std::string>& socket_paths) {
  std::vector<pollfd> waiting;
  for (const std::string& path : socket_paths) waiting.push_back({listen_on(path), POLLIN, 0});
  std::thread([waiting]() mutable {
    for (;;) {
      if (poll(waiting.data(), waiting.size(), -1) <= 0) continue;
      for (const pollfd& p : waiting)
        if (p.revents & POLLIN) serve(p.fd);
    }
  }).detach();
}

void set_pipe_reply(const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_reply.assign(data, data + size);
}
