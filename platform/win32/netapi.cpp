// Network management: workstation information of a machine of the world.
#include <lm.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/kernel_objects.h"
#include "world/world.h"

namespace {

// A wide name as 8-bit text (names of the world are plain text).
std::string narrow(const WCHAR* wide) {
  std::string out;
  for (; wide != nullptr && *wide != 0; ++wide) out += static_cast<char>(*wide < 0x100 ? *wide : '?');
  return out;
}

// Room for the text, terminated, at `at`; returns the next free byte.
WCHAR* put_wide(WCHAR* at, const std::string& text) {
  for (char c : text) *at++ = static_cast<unsigned char>(c);
  *at++ = 0;
  return at;
}

}  // namespace

// [faults] workstation_info = CODE makes the call fail with that code; an
// unreachable or unknown machine gives 53, no access 5, as from Windows.
extern "C" NET_API_STATUS WINAPI NetWkstaGetInfo(LMSTR server_name, DWORD level, LPBYTE* buffer) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (level != 100) {
    platform::unsupported("NetWkstaGetInfo", "a level other than 100");
    return ERROR_INVALID_LEVEL;
  }
  std::string name = narrow(server_name);
  const world::Machine* found = world::find_machine(name.empty() ? world::console_machine() : name);
  if (found == nullptr) return ERROR_BAD_NETPATH;
  world::Machine m = *found;  // the world's records may go when it is reopened
  std::string reachable = m.setting("machine", "reachable", "yes");
  if (reachable == "no" || reachable == "false" || reachable == "0") return ERROR_BAD_NETPATH;
  if (m.setting("machine", "access", "full") == "none") return ERROR_ACCESS_DENIED;
  std::string fault = m.setting("faults", "workstation_info");
  if (!fault.empty()) return static_cast<NET_API_STATUS>(std::strtoul(fault.c_str(), nullptr, 10));
  std::string domain = world::machine_domain(m);
  size_t bytes = sizeof(WKSTA_INFO_100) + (m.name.size() + domain.size() + 2) * sizeof(WCHAR);
  auto* info = static_cast<WKSTA_INFO_100*>(std::calloc(1, bytes));
  if (info == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  auto* text = reinterpret_cast<WCHAR*>(info + 1);
  info->wki100_platform_id = PLATFORM_ID_NT;
  info->wki100_computername = text;
  info->wki100_langroup = put_wide(text, m.name);
  put_wide(info->wki100_langroup, domain);
  info->wki100_ver_major = 6;
  info->wki100_ver_minor = 3;
  *buffer = reinterpret_cast<LPBYTE>(info);
  return NERR_Success;
}

extern "C" NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
  std::free(buffer);
  return NERR_Success;
}
