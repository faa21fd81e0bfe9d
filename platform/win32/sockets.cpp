// Windows Sockets: start-up and name look-up from the world.
#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <chrono>

#include "world/world.h"
#include "win32/bsd_sockets.h"
#include "win32/kernel_objects.h"

namespace {

thread_local int t_wsa_error = 0;
std::atomic<int> g_startups{0};

// The answer of gethostbyname lives per thread until the next call, as on Windows.
struct HostEntryStorage {
  hostent entry{};
  char name[256]{};
  char* aliases[1]{};
  unsigned char address[4]{};
  char* addresses[2]{};
};
thread_local HostEntryStorage t_host;

// Parses dotted IPv4 text "a.b.c.d" into four bytes.
bool parse_ipv4(const std::string& text, unsigned char out[4]) {
  int parts[4];
  char tail;
  if (std::sscanf(text.c_str(), "%d.%d.%d.%d%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &tail) != 4)
    return false;
  for (int i = 0; i < 4; ++i) {
    if (parts[i] < 0 || parts[i] > 255) return false;
    out[i] = static_cast<unsigned char>(parts[i]);
  }
  return true;
}

// Sockets are the layer's file descriptors; INVALID_SOCKET is never one.
int descriptor(SOCKET s) {
  if (s == INVALID_SOCKET || s > 0x7FFFFFFF || !platform::bsd::is_socket(static_cast<int>(s))) return -1;
  return static_cast<int>(s);
}

bool started() {
  if (g_startups.load() > 0) return true;
  t_wsa_error = WSANOTINITIALISED;
  return false;
}

// Runs a BSD call; a failure leaves its Windows Sockets code for WSAGetLastError.
template <typename Call>
int checked(Call call) {
  int error = 0;
  int result = call(&error);
  if (result < 0) t_wsa_error = error;
  return result < 0 ? SOCKET_ERROR : result;
}

bool ipv4_of(const struct sockaddr* address, int length, uint32_t* ipv4, uint16_t* port) {
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return false;
  sockaddr_in in;
  std::memcpy(&in, address, sizeof in);
  if (in.sin_family != AF_INET) return false;
  *ipv4 = in.sin_addr.s_addr;
  *port = static_cast<uint16_t>((in.sin_port & 0xFF) << 8 | in.sin_port >> 8);
  return true;
}

// Fills this thread's answer of a host look-up with a machine's name and address.
struct hostent* host_entry(const world::Machine& machine, const unsigned char address[4]) {
  HostEntryStorage& h = t_host;
  h = HostEntryStorage{};
  std::strncpy(h.name, machine.name.c_str(), sizeof h.name - 1);
  std::memcpy(h.address, address, 4);
  h.addresses[0] = reinterpret_cast<char*>(h.address);
  h.entry.h_name = h.name;
  h.entry.h_aliases = h.aliases;
  h.entry.h_addrtype = AF_INET;
  h.entry.h_length = 4;
  h.entry.h_addr_list = h.addresses;
  return &h.entry;
}

}  // namespace

extern "C" {

int WINAPI WSAStartup(WORD version, LPWSADATA data) {
  if (data == nullptr) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  data->wVersion = version;
  data->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  ++g_startups;
  return 0;
}

int WINAPI WSACleanup(void) {
  if (g_startups.load() <= 0) {
    t_wsa_error = WSANOTINITIALISED;
    return -1;
  }
  --g_startups;
  return 0;
}

int WINAPI WSAGetLastError(void) { return t_wsa_error; }

void WINAPI WSASetLastError(int error) { t_wsa_error = error; }

int WINAPI qvmr_ws_gethostname(char* name, int size) {
  if (g_startups.load() <= 0) {
    t_wsa_error = WSANOTINITIALISED;
    return -1;
  }
  std::string host = world::console_machine();
  if (name == nullptr || size <= static_cast<int>(host.size())) {
    t_wsa_error = WSAEFAULT;
    return -1;
  }
  std::memcpy(name, host.c_str(), host.size() + 1);
  return 0;
}

struct hostent* WINAPI qvmr_ws_gethostbyname(const char* name) {
  if (g_startups.load() <= 0) {
    t_wsa_error = WSANOTINITIALISED;
    return nullptr;
  }
  const world::Machine* machine = name ? world::find_machine(name) : nullptr;
  std::string ipv4 = machine ? machine->setting("machine", "ipv4") : "";
  unsigned char parsed[4];
  if (machine == nullptr || !parse_ipv4(ipv4, parsed)) {
    t_wsa_error = WSAHOST_NOT_FOUND;
    return nullptr;
  }
  return host_entry(*machine, parsed);
}

struct hostent* WINAPI qvmr_ws_gethostbyaddr(const char* address, int length, int type) {
  if (!started()) return nullptr;
  if (address == nullptr || length != 4 || type != AF_INET) {
    t_wsa_error = WSAEFAULT;
    return nullptr;
  }
  char text[20];
  const unsigned char* b = reinterpret_cast<const unsigned char*>(address);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  if (uint32_t delay = world::reverse_lookup_delay_ms())
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  const world::Machine* machine = world::find_machine(text);
  if (machine == nullptr || machine->setting("machine", "ipv4") != text) {
    t_wsa_error = WSAHOST_NOT_FOUND;
    return nullptr;
  }
  return host_entry(*machine, b);
}

SOCKET WINAPI qvmr_ws_socket(int family, int type, int protocol) {
  if (!started()) return INVALID_SOCKET;
  int fd;
  if (family == AF_INET && type == SOCK_STREAM && (protocol == IPPROTO_TCP || protocol == 0))
    fd = checked([](int* e) { return platform::bsd::tcp_socket(e); });
  else if (family == AF_INET && type == SOCK_RAW && protocol == IPPROTO_ICMP)
    fd = checked([](int* e) { return platform::bsd::icmp_socket(e); });
  else {
    platform::unsupported("socket", "sockets other than IPv4 TCP and raw ICMP");
    t_wsa_error = WSAESOCKTNOSUPPORT;
    return INVALID_SOCKET;
  }
  return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd);
}

int WINAPI qvmr_ws_connect(SOCKET s, const struct sockaddr* address, int length) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  uint32_t ipv4;
  uint16_t port;
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  if (!ipv4_of(address, length, &ipv4, &port)) return t_wsa_error = WSAEFAULT, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::connect_ipv4(fd, ipv4, port, e); });
}

int WINAPI qvmr_ws_send(SOCKET s, const char* buffer, int length, int) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::send_bytes(fd, buffer, length, e); });
}

int WINAPI qvmr_ws_recv(SOCKET s, char* buffer, int length, int) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::receive_bytes(fd, buffer, length, e); });
}

int WINAPI qvmr_ws_sendto(SOCKET s, const char* buffer, int length, int, const struct sockaddr* to,
                          int to_length) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  uint32_t ipv4;
  uint16_t port;
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  if (!ipv4_of(to, to_length, &ipv4, &port)) return t_wsa_error = WSAEFAULT, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::send_to(fd, buffer, length, ipv4, e); });
}

int WINAPI qvmr_ws_recvfrom(SOCKET s, char* buffer, int length, int, struct sockaddr* from,
                            int* from_length) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  uint32_t source = 0;
  int n = checked([&](int* e) { return platform::bsd::receive_from(fd, buffer, length, &source, e); });
  if (n >= 0 && from && from_length && *from_length >= static_cast<int>(sizeof(sockaddr_in))) {
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = source;
    std::memcpy(from, &in, sizeof in);
    *from_length = sizeof in;
  }
  return n;
}

int WINAPI qvmr_ws_fd_isset(SOCKET s, fd_set* set) {
  if (set == nullptr) return 0;
  for (u_int i = 0; i < set->fd_count && i < FD_SETSIZE; ++i)
    if (set->fd_array[i] == s) return 1;
  return 0;
}

int WINAPI qvmr_ws_select(int, fd_set* read, fd_set* write, fd_set* except,
                          const struct qvmr_ws_timeval* timeout) {
  if (!started()) return SOCKET_ERROR;
  int fds[FD_SETSIZE], wanted[FD_SETSIZE], ready[FD_SETSIZE] = {};
  SOCKET sockets[FD_SETSIZE];
  int count = 0;
  auto add = [&](fd_set* set, int bit) {
    if (set == nullptr) return true;
    for (u_int i = 0; i < set->fd_count && i < FD_SETSIZE; ++i) {
      int fd = descriptor(set->fd_array[i]);
      if (fd < 0) return false;
      int k = 0;
      while (k < count && fds[k] != fd) ++k;
      if (k == count) {
        if (count == FD_SETSIZE) return false;
        fds[count] = fd;
        sockets[count] = set->fd_array[i];
        wanted[count++] = 0;
      }
      wanted[k] |= bit;
    }
    return true;
  };
  if (!add(read, 1) || !add(write, 2)) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  if (count == 0) return t_wsa_error = WSAEINVAL, SOCKET_ERROR;
  int64_t timeout_ms = timeout ? int64_t{timeout->tv_sec} * 1000 + timeout->tv_usec / 1000 : -1;
  int n = checked([&](int* e) { return platform::bsd::wait_ready(fds, wanted, ready, count, timeout_ms, e); });
  if (n < 0) return SOCKET_ERROR;
  int total = 0;
  auto keep = [&](fd_set* set, int bit) {
    if (set == nullptr) return;
    u_int kept = 0;
    for (int k = 0; k < count; ++k)
      if ((wanted[k] & bit) && (ready[k] & bit)) {
        set->fd_array[kept++] = sockets[k];
        ++total;
      }
    set->fd_count = kept;
  };
  keep(read, 1);
  keep(write, 2);
  if (except) except->fd_count = 0;
  return total;
}

int WINAPI qvmr_ws_shutdown(SOCKET s, int how) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::shutdown_socket(fd, how, e); });
}

int WINAPI qvmr_ws_closesocket(SOCKET s) {
  if (!started()) return SOCKET_ERROR;
  int fd = descriptor(s);
  if (fd < 0) return t_wsa_error = WSAENOTSOCK, SOCKET_ERROR;
  return checked([&](int* e) { return platform::bsd::close_socket(fd, e); });
}

ULONG WINAPI qvmr_ws_inet_addr(const char* text) {
  unsigned char parsed[4];
  if (text == nullptr || !parse_ipv4(text, parsed)) return INADDR_NONE;
  ULONG value;
  std::memcpy(&value, parsed, 4);
  return value;
}

u_short WINAPI qvmr_ws_htons(u_short value) { return static_cast<u_short>((value & 0xFF) << 8 | value >> 8); }
u_short WINAPI qvmr_ws_ntohs(u_short value) { return qvmr_ws_htons(value); }
u_long WINAPI qvmr_ws_htonl(u_long value) {
  return (value & 0xFF) << 24 | (value & 0xFF00) << 8 | (value >> 8 & 0xFF00) | value >> 24;
}
u_long WINAPI qvmr_ws_ntohl(u_long value) { return qvmr_ws_htonl(value); }

}  // extern "C"
