// advapi32 access tokens: the process token of the console user, its
// privileges held (world.ini [world] privileges) and enabled.
#include "win32/privileges.h"

#include <strings.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "win32/kernel_objects.h"
#include "world/world.h"

namespace {

// The privileges the layer knows, with the LUIDs Windows gives them.
struct Privilege {
  const char* name;
  DWORD luid;
};
constexpr Privilege kPrivileges[] = {
    {"SeSecurityPrivilege", 8}, {"SeTakeOwnershipPrivilege", 9}, {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18}, {"SeShutdownPrivilege", 19},     {"SeDebugPrivilege", 20},
};

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

struct TokenState {
  std::mutex lock;
  std::set<DWORD> enabled;  // by LUID
};

TokenState& token_state() {
  static TokenState& state = *new TokenState;
  return state;
}

const Privilege* privilege_by_name(const char* name) {
  for (const Privilege& p : kPrivileges)
    if (name && strcasecmp(p.name, name) == 0) return &p;
  return nullptr;
}

const Privilege* privilege_by_luid(const LUID& luid) {
  for (const Privilege& p : kPrivileges)
    if (luid.HighPart == 0 && luid.LowPart == p.luid) return &p;
  return nullptr;
}

BOOL fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace

namespace win32 {

bool privilege_enabled(const char* name) {
  const Privilege* p = privilege_by_name(name);
  if (p == nullptr) return false;
  TokenState& t = token_state();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.enabled.count(p->luid) != 0;
}

void privileges_forget_all() {
  TokenState& t = token_state();
  std::lock_guard<std::mutex> guard(t.lock);
  t.enabled.clear();
}

}  // namespace win32

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  if (process != kCurrentProcess || token == nullptr) return fail(ERROR_INVALID_HANDLE);
  if ((access & ~static_cast<DWORD>(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES)) != 0) {
    platform::unsupported("OpenProcessToken", "access other than query and adjust privileges");
    return fail(ERROR_INVALID_PARAMETER);
  }
  auto object = std::make_shared<platform::KernelObject>();
  object->kind = platform::KernelObject::Token;
  object->access = access;
  *token = platform::register_object(object);
  return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
  if (system != nullptr && *system != '\0') {
    platform::unsupported("LookupPrivilegeValueA", "a system other than this computer");
    return fail(ERROR_INVALID_PARAMETER);
  }
  const Privilege* p = privilege_by_name(name);
  if (p == nullptr || luid == nullptr) return fail(ERROR_NO_SUCH_PRIVILEGE);
  luid->LowPart = p->luid;
  luid->HighPart = 0;
  return TRUE;
}

// As Windows: TRUE when the call was made, with ERROR_NOT_ALL_ASSIGNED when a privilege named
// is not held (the ones that are held are still changed).
BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES state, DWORD, PTOKEN_PRIVILEGES previous,
                                  LPDWORD) {
  auto object = platform::find_object(token);
  if (!object || object->kind != platform::KernelObject::Token) return fail(ERROR_INVALID_HANDLE);
  if ((object->access & TOKEN_ADJUST_PRIVILEGES) == 0) return fail(ERROR_ACCESS_DENIED);
  if (disable_all || previous != nullptr || state == nullptr) {
    platform::unsupported("AdjustTokenPrivileges", "disabling all, the previous state, or no new state");
    return fail(ERROR_INVALID_PARAMETER);
  }
  DWORD result = ERROR_SUCCESS;
  TokenState& t = token_state();
  std::lock_guard<std::mutex> guard(t.lock);
  for (DWORD i = 0; i < state->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& entry = state->Privileges[i];
    const Privilege* p = privilege_by_luid(entry.Luid);
    if (p == nullptr) return fail(ERROR_NO_SUCH_PRIVILEGE);
    if (!world::console_holds_privilege(p->name)) {
      result = ERROR_NOT_ALL_ASSIGNED;
      continue;
    }
    if (entry.Attributes & SE_PRIVILEGE_ENABLED) t.enabled.insert(p->luid);
    else t.enabled.erase(p->luid);
  }
  SetLastError(result);
  return TRUE;
}

}  // extern "C"
