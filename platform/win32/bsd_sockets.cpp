// BSD sockets for the Winsock subset: TCP to the machines of the world on
// their 127.0.0.N addresses, and ICMP echo with a raw socket where permitted.
// Nothing outside the loopback network is ever dialled.
#include "win32/bsd_sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "world/world.h"

namespace platform {
namespace bsd {
namespace {

// Simulated ICMP sockets: our end of a datagram socket pair, and the peer
// into which the echo replies are written.
std::mutex g_lock;
std::map<int, int>& g_simulated_icmp = *new std::map<int, int>;
std::map<int, bool>& g_sockets = *new std::map<int, bool>;  // every socket this layer opened

int windows_error(int code) {
  switch (code) {
    case EINTR: return 10004;
    case EBADF: return 10038;
    case EACCES:
    case EPERM: return 10013;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case ENOTSOCK: return 10038;
    case EMSGSIZE: return 10040;
    case EPROTONOSUPPORT: return 10043;
    case EAFNOSUPPORT: return 10047;
    case EADDRNOTAVAIL: return 10049;
    case ENETUNREACH: return 10051;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    default: return 10022;
  }
}

int fail(int* error, int code) {
  *error = code;
  return -1;
}

int fail_errno(int* error) { return fail(error, windows_error(errno)); }

std::string dotted(uint32_t address) {
  unsigned char b[4];
  std::memcpy(b, &address, 4);
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

bool is_loopback(uint32_t address) {
  unsigned char first;
  std::memcpy(&first, &address, 1);
  return first == 127;
}

// The world machine at this address that answers on the network; null when
// the address is no machine's or the machine is marked unreachable.
const world::Machine* reachable_machine(uint32_t address) {
  if (!is_loopback(address) || !world::ensure_open()) return nullptr;
  const world::Machine* machine = world::find_machine(dotted(address));
  if (machine == nullptr) return nullptr;
  std::string reachable = machine->setting("machine", "reachable", "yes");
  if (reachable == "no" || reachable == "false" || reachable == "0") return nullptr;
  return machine;
}

bool is_simulated_icmp(int fd, int* peer) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_simulated_icmp.find(fd);
  if (it == g_simulated_icmp.end()) return false;
  if (peer) *peer = it->second;
  return true;
}

void remember(int fd) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_sockets[fd] = true;
}

uint16_t internet_checksum(const unsigned char* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length % 2) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// The reply a reachable machine gives to an echo request: an IPv4 header from
// the machine to the console, then the request turned into an echo reply.
void answer_echo(int peer, const char* request, int length, uint32_t from) {
  if (length < 8 || static_cast<unsigned char>(request[0]) != 8 || length > 1400) return;
  unsigned char packet[1500] = {};
  const size_t total = 20 + static_cast<size_t>(length);
  packet[0] = 0x45;
  packet[2] = static_cast<unsigned char>(total >> 8);
  packet[3] = static_cast<unsigned char>(total);
  packet[8] = 128;
  packet[9] = 1;
  std::memcpy(packet + 12, &from, 4);
  uint32_t console = htonl(INADDR_LOOPBACK);
  std::memcpy(packet + 16, &console, 4);
  uint16_t header_sum = internet_checksum(packet, 20);
  packet[10] = static_cast<unsigned char>(header_sum >> 8);
  packet[11] = static_cast<unsigned char>(header_sum);
  unsigned char* icmp = packet + 20;
  std::memcpy(icmp, request, static_cast<size_t>(length));
  icmp[0] = 0;
  icmp[2] = icmp[3] = 0;
  uint16_t sum = internet_checksum(icmp, static_cast<size_t>(length));
  icmp[2] = static_cast<unsigned char>(sum >> 8);
  icmp[3] = static_cast<unsigned char>(sum);
  ssize_t written = ::send(peer, packet, total, MSG_DONTWAIT | MSG_NOSIGNAL);
  (void)written;
}

}  // namespace

int tcp_socket(int* error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return fail_errno(error);
  remember(fd);
  return fd;
}

int icmp_socket(int* error) {
  int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    // Only echo replies: Linux also hands a raw socket the loopback request it sent.
    struct icmp_filter filter = {~(1u << ICMP_ECHOREPLY)};
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    remember(fd);
    return fd;
  }
  if (errno != EPERM && errno != EACCES) return fail_errno(error);
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) return fail_errno(error);
  std::lock_guard<std::mutex> guard(g_lock);
  g_simulated_icmp[pair[0]] = pair[1];
  g_sockets[pair[0]] = true;
  return pair[0];
}

int connect_ipv4(int fd, uint32_t address, uint16_t port, int* error) {
  // A machine that is not on the network never answers: the connect times out.
  bool dialable = is_loopback(address) && (!world::ensure_open() || reachable_machine(address) != nullptr);
  if (!dialable) return fail(error, 10060);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return fail_errno(error);
  return 0;
}

int send_bytes(int fd, const char* buffer, int length, int* error) {
  if (length < 0) return fail(error, 10022);
  ssize_t n = ::send(fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (n < 0) return fail_errno(error);
  return static_cast<int>(n);
}

int receive_bytes(int fd, char* buffer, int length, int* error) {
  if (length < 0) return fail(error, 10022);
  ssize_t n;
  do n = ::recv(fd, buffer, static_cast<size_t>(length), 0);
  while (n < 0 && errno == EINTR);
  if (n < 0) return fail_errno(error);
  return static_cast<int>(n);
}

int send_to(int fd, const char* buffer, int length, uint32_t address, int* error) {
  if (length < 0) return fail(error, 10022);
  int peer = -1;
  bool simulated = is_simulated_icmp(fd, &peer);
  // A request to an address that no reachable machine holds goes nowhere.
  if (reachable_machine(address) == nullptr) return length;
  if (simulated) {
    answer_echo(peer, buffer, length, address);
    return length;
  }
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  ssize_t n = ::sendto(fd, buffer, static_cast<size_t>(length), MSG_NOSIGNAL,
                       reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (n < 0) return fail_errno(error);
  return static_cast<int>(n);
}

int receive_from(int fd, char* buffer, int length, uint32_t* from, int* error) {
  if (length < 0) return fail(error, 10022);
  if (is_simulated_icmp(fd, nullptr)) {
    ssize_t n = ::recv(fd, buffer, static_cast<size_t>(length), 0);
    if (n < 0) return fail_errno(error);
    if (from && n >= 16) std::memcpy(from, buffer + 12, 4);
    return static_cast<int>(n);
  }
  sockaddr_in source = {};
  socklen_t size = sizeof source;
  ssize_t n = ::recvfrom(fd, buffer, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&source), &size);
  if (n < 0) return fail_errno(error);
  if (from) *from = source.sin_addr.s_addr;
  return static_cast<int>(n);
}

int wait_ready(const int* fds, const int* wanted, int* ready, int count, int64_t timeout_ms, int* error) {
  if (count < 0 || count > 64) return fail(error, 10022);
  pollfd polls[64] = {};
  for (int i = 0; i < count; ++i) {
    polls[i].fd = fds[i];
    polls[i].events = static_cast<short>(((wanted[i] & 1) ? POLLIN : 0) | ((wanted[i] & 2) ? POLLOUT : 0));
  }
  int timeout = timeout_ms < 0 ? -1 : timeout_ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout_ms);
  int n;
  do n = ::poll(polls, static_cast<nfds_t>(count), timeout);
  while (n < 0 && errno == EINTR);
  if (n < 0) return fail_errno(error);
  int ready_count = 0;
  for (int i = 0; i < count; ++i) {
    if (polls[i].revents & POLLNVAL) return fail(error, 10038);
    ready[i] = 0;
    if ((wanted[i] & 1) && (polls[i].revents & (POLLIN | POLLHUP | POLLERR))) ready[i] |= 1;
    if ((wanted[i] & 2) && (polls[i].revents & (POLLOUT | POLLERR))) ready[i] |= 2;
    if (ready[i]) ++ready_count;
  }
  return ready_count;
}

int shutdown_socket(int fd, int how, int* error) {
  if (is_simulated_icmp(fd, nullptr)) return 0;
  int mode = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  if (::shutdown(fd, mode) != 0) return fail_errno(error);
  return 0;
}

int close_socket(int fd, int* error) {
  int peer = -1;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_sockets.erase(fd) == 0) return fail(error, 10038);
    auto it = g_simulated_icmp.find(fd);
    if (it != g_simulated_icmp.end()) {
      peer = it->second;
      g_simulated_icmp.erase(it);
    }
  }
  if (peer >= 0) ::close(peer);
  if (::close(fd) != 0) return fail_errno(error);
  return 0;
}

bool is_socket(int fd) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_sockets.count(fd) != 0;
}

}  // namespace bsd
}  // namespace platform
