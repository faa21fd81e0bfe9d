// CallNamedPipeW over the world's pipe sockets (see pipes.h), with the errors
// a real call gives: 2 no such pipe, 53 machine unreachable, 5 access denied,
// 231 no free instance, 121 no reply in time, 109 closed without a reply,
// 234 a reply longer than the buffer (the buffer is filled all the same).
#include "win32/pipes.h"

#include <windows.h>

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "win32/code_page.h"
#include "win32/kernel_objects.h"
#include "world/world.h"

namespace {

// Closes the descriptor on every way out.
struct SocketGuard {
  int fd;
  ~SocketGuard() {
    if (fd >= 0) close(fd);
  }
};

// "\\SERVER\pipe\NAME" into server and pipe name; false for any other form.
bool split_pipe_name(LPCWSTR name, std::string* server, std::string* pipe) {
  std::string text = platform::code_page_text(name);
  if (text.rfind("\\\\", 0) != 0) return false;
  size_t slash = text.find('\\', 2);
  if (slash == std::string::npos || strncasecmp(text.c_str() + slash, "\\pipe\\", 6) != 0) return false;
  *server = text.substr(2, slash - 2);
  *pipe = text.substr(slash + 6);
  return !server->empty() && !pipe->empty() && pipe->find('\\') == std::string::npos;
}

bool readable_within(int fd, int milliseconds) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, milliseconds) > 0;
}

// Reads until the peer closes or `size` bytes are in; -1 when the wait runs out.
ssize_t read_reply(int fd, char* out, size_t size) {
  size_t total = 0;
  while (total < size) {
    if (!readable_within(fd, platform::kPipeReplyWaitMs)) return -1;
    ssize_t n = recv(fd, out + total, size - total, 0);
    if (n <= 0) break;
    total += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(total);
}

bool fails(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

namespace platform {

std::string pipe_socket_path(const std::string& machine, const std::string& pipe) {
  const world::Machine* m = world::find_machine(machine);
  if (m == nullptr) return "";
  return world::folder() + "/pipes/" + m->name + "/" + pipe;
}

}  // namespace platform

extern "C" {

BOOL WINAPI CallNamedPipeW(LPCWSTR name, LPVOID in, DWORD in_size, LPVOID out, DWORD out_size, LPDWORD read,
                           DWORD) {
  if (read) *read = 0;
  std::string server, pipe;
  if (!split_pipe_name(name, &server, &pipe)) return fails(ERROR_INVALID_NAME);
  const world::Machine* machine = world::find_machine(server);
  if (machine == nullptr || strcasecmp(machine->setting("machine", "reachable", "yes").c_str(), "no") == 0)
    return fails(ERROR_BAD_NETPATH);
  if (strcasecmp(machine->setting("machine", "access", "full").c_str(), "none") == 0)
    return fails(ERROR_ACCESS_DENIED);

  std::string path = platform::pipe_socket_path(machine->name, pipe);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    platform::unsupported("CallNamedPipeW", "a world folder whose pipe paths exceed a socket path");
    return fails(ERROR_FILENAME_EXCED_RANGE);
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  SocketGuard s{socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  if (s.fd < 0) return fails(ERROR_NOT_ENOUGH_MEMORY);
  if (connect(s.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return fails(ERROR_FILE_NOT_FOUND);

  char first = 0;
  if (!readable_within(s.fd, platform::kPipeReplyWaitMs)) return fails(ERROR_SEM_TIMEOUT);
  if (recv(s.fd, &first, 1, 0) != 1) return fails(ERROR_BROKEN_PIPE);
  if (first == platform::kPipeBusy) return fails(ERROR_PIPE_BUSY);

  const char* request = static_cast<const char*>(in);
  for (DWORD sent = 0; sent < in_size;) {
    ssize_t n = send(s.fd, request + sent, in_size - sent, MSG_NOSIGNAL);
    if (n <= 0) return fails(ERROR_BROKEN_PIPE);
    sent += static_cast<DWORD>(n);
  }
  shutdown(s.fd, SHUT_WR);

  ssize_t got = read_reply(s.fd, static_cast<char*>(out), out_size);
  if (got < 0) return fails(ERROR_SEM_TIMEOUT);
  if (got == 0) return fails(ERROR_BROKEN_PIPE);
  if (read) *read = static_cast<DWORD>(got);
  char more;
  if (static_cast<DWORD>(got) == out_size && readable_within(s.fd, platform::kPipeReplyWaitMs) &&
      recv(s.fd, &more, 1, 0) == 1)
    return fails(ERROR_MORE_DATA);
  return TRUE;
}

}  // extern "C"
