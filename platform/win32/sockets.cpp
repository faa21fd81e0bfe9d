// Windows Sockets: start-up and name look-up from the world.
#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "world/world.h"

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
  HostEntryStorage& h = t_host;
  h = HostEntryStorage{};
  std::strncpy(h.name, machine->name.c_str(), sizeof h.name - 1);
  std::memcpy(h.address, parsed, 4);
  h.addresses[0] = reinterpret_cast<char*>(h.address);
  h.entry.h_name = h.name;
  h.entry.h_aliases = h.aliases;
  h.entry.h_addrtype = AF_INET;
  h.entry.h_length = 4;
  h.entry.h_addr_list = h.addresses;
  return &h.entry;
}

}  // extern "C"
