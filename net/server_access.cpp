// The access check: a cached 1 passes at once, a failure younger than five
// minutes fails at once; otherwise the server is asked for one page of its
// accounts, and success (or more data waiting) is remembered as 1, a failure
// as its time.
#include "net/server_access.h"

#include <lm.h>

#include <cstdio>

#include "config/registry.h"
#include "host/host.h"

namespace {

constexpr DWORD kAccountFilter = FILTER_NORMAL_ACCOUNT | FILTER_WORKSTATION_TRUST_ACCOUNT | FILTER_SERVER_TRUST_ACCOUNT;
constexpr DWORD kPageBytes = 100;
constexpr DWORD kReachable = 1;
constexpr size_t kWideNameUnits = 300;

}  // namespace

DWORD CheckServerAccess(const char* server) {
  if (server == nullptr || server[0] == '\0') return 0;
  char path[200];
  std::snprintf(path, sizeof path, "%s\\S_CRED", kProductKey);
  HKEY cache = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, local_access(KEY_ALL_ACCESS), nullptr,
                  &cache, nullptr);
  DWORD remembered = 0, size = sizeof remembered;
  if (cache && RegQueryValueExA(cache, server, nullptr, nullptr, reinterpret_cast<BYTE*>(&remembered), &size) ==
                   ERROR_SUCCESS && size == sizeof remembered) {
    if (remembered == kReachable || current_seconds() - remembered < kAccessRetrySeconds) {
      RegCloseKey(cache);
      return remembered == kReachable ? 1 : 0;
    }
  }
  char unc[kWideNameUnits];
  std::snprintf(unc, sizeof unc, "\\\\%s", server);
  WCHAR name[kWideNameUnits];
  to_wide(unc, name, kWideNameUnits);
  LPBYTE page = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  NET_API_STATUS status = NetUserEnum(name, 1, kAccountFilter, &page, kPageBytes, &read, &total, &resume);
  if (page) NetApiBufferFree(page);
  const bool reachable = status == NERR_Success || status == ERROR_MORE_DATA;
  DWORD value = reachable ? kReachable : current_seconds();
  if (cache) {
    RegSetValueExA(cache, server, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(cache);
  }
  return reachable ? 1 : 0;
}
