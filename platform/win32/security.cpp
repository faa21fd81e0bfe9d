// advapi32 security: binary SIDs and their text form, the console user's name, the system's random
// bytes, and account look-ups on a machine of the world from its users.ini:
//
//   ; one section per account, named by the account's string SID
//   [S-1-5-21-1004336348-1177238915-682003330-1105]
//   name = alice
//   domain = BRIGHTMERE
//   type = user            ; user, group, alias, well-known group, computer
#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <security.h>
#include <sys/random.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "win32/kernel_objects.h"
#include "world/world.h"

namespace {

constexpr int kMaxSubAuthorities = 15;

// A SID as bytes: revision 1, count, 6-byte big-endian authority, count little-endian words.
bool parse_sid(const char* text, std::vector<BYTE>* out) {
  if (text == nullptr || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return false;
  const char* p = text + 2;
  std::vector<uint64_t> parts;
  while (true) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(p, &end, 10);
    if (errno != 0) return false;
    parts.push_back(value);
    p = end;
    if (*p == '\0') break;
    if (*p != '-') return false;
    ++p;
  }
  // revision, authority, then 1..15 sub-authorities
  if (parts.size() < 3 || parts.size() > 2 + kMaxSubAuthorities || parts[0] != 1) return false;
  if (parts[1] > 0xFFFFFFFFFFFFull) return false;
  out->assign(8 + 4 * (parts.size() - 2), 0);
  (*out)[0] = 1;
  (*out)[1] = static_cast<BYTE>(parts.size() - 2);
  for (int i = 0; i < 6; ++i) (*out)[2 + i] = static_cast<BYTE>(parts[1] >> (8 * (5 - i)));
  for (size_t i = 2; i < parts.size(); ++i) {
    if (parts[i] > 0xFFFFFFFFull) return false;
    for (int b = 0; b < 4; ++b) (*out)[8 + 4 * (i - 2) + b] = static_cast<BYTE>(parts[i] >> (8 * b));
  }
  return true;
}

bool valid_sid(const BYTE* sid) {
  return sid != nullptr && sid[0] == 1 && sid[1] >= 1 && sid[1] <= kMaxSubAuthorities;
}

size_t sid_length(const BYTE* sid) { return 8 + 4 * static_cast<size_t>(sid[1]); }

std::string sid_text(const BYTE* sid) {
  uint64_t authority = 0;
  for (int i = 0; i < 6; ++i) authority = (authority << 8) | sid[2 + i];
  std::string text = "S-1-" + std::to_string(authority);
  for (int i = 0; i < sid[1]; ++i) {
    uint32_t word = 0;
    for (int b = 3; b >= 0; --b) word = (word << 8) | sid[8 + 4 * i + b];
    text += "-" + std::to_string(word);
  }
  return text;
}

struct Account {
  std::vector<BYTE> sid;
  std::string name, domain;
  SID_NAME_USE use = SidTypeUser;
};

SID_NAME_USE use_of(const std::string& type) {
  std::string t;
  for (char c : type) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t == "group") return SidTypeGroup;
  if (t == "alias") return SidTypeAlias;
  if (t == "well-known group") return SidTypeWellKnownGroup;
  if (t == "computer") return SidTypeComputer;
  return SidTypeUser;
}

// The machine a look-up goes to; 0 or the error a remote call to it gives.
DWORD find_system(LPCSTR system, const world::Machine** out) {
  *out = nullptr;
  if (!world::ensure_open()) return RPC_S_SERVER_UNAVAILABLE;
  std::string name = system && *system ? system : world::console_machine();
  const world::Machine* m = world::find_machine(name);
  if (m == nullptr) return RPC_S_SERVER_UNAVAILABLE;
  std::string reachable = m->setting("machine", "reachable", "yes");
  if (reachable == "no" || reachable == "false" || reachable == "0") return RPC_S_SERVER_UNAVAILABLE;
  *out = m;
  return 0;
}

std::vector<Account> accounts_of(const world::Machine& m) {
  std::vector<Account> accounts;
  for (const auto& entry : world::read_ini(world::machine_path(m, "users.ini"))) {
    const std::string& section = entry.first;
    const world::IniSection& keys = entry.second;
    Account a;
    if (!parse_sid(section.c_str(), &a.sid)) {
      std::fprintf(stderr, "qvmr7 win32: %s/users.ini: [%s] is not a string SID\n", m.name.c_str(),
                   section.c_str());
      continue;
    }
    auto get = [&](const char* key) {
      auto it = keys.find(key);
      return it == keys.end() ? std::string() : it->second;
    };
    a.name = get("name");
    a.domain = get("domain");
    a.use = use_of(get("type"));
    if (!a.name.empty()) accounts.push_back(std::move(a));
  }
  return accounts;
}

bool equal_folded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Copies text the way the look-ups do: the length without terminator on
// success; the size needed with terminator when the buffer is short.
bool copy_name(const std::string& text, LPSTR buffer, LPDWORD size) {
  if (buffer == nullptr || *size <= text.size()) {
    *size = static_cast<DWORD>(text.size() + 1);
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<DWORD>(text.size());
  return true;
}

BOOL fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace

extern "C" {

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  if ((flags & ~static_cast<UINT>(LMEM_ZEROINIT)) != 0) {
    platform::unsupported("LocalAlloc", "movable blocks");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* block = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL block) {
  std::free(block);
  return nullptr;
}

BOOL WINAPI IsValidSid(PSID sid) { return valid_sid(static_cast<const BYTE*>(sid)); }

DWORD WINAPI GetLengthSid(PSID sid) {
  return valid_sid(static_cast<const BYTE*>(sid)) ? static_cast<DWORD>(sid_length(static_cast<const BYTE*>(sid))) : 0;
}

BOOL WINAPI ConvertStringSidToSidA(LPCSTR string_sid, PSID* sid) {
  if (sid == nullptr || string_sid == nullptr) return fail(ERROR_INVALID_PARAMETER);
  *sid = nullptr;
  std::vector<BYTE> bytes;
  if (!parse_sid(string_sid, &bytes)) return fail(ERROR_INVALID_SID);
  void* block = LocalAlloc(LMEM_FIXED, bytes.size());
  if (block == nullptr) return FALSE;
  std::memcpy(block, bytes.data(), bytes.size());
  *sid = block;
  return TRUE;
}

BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* string_sid) {
  if (string_sid == nullptr) return fail(ERROR_INVALID_PARAMETER);
  *string_sid = nullptr;
  if (!valid_sid(static_cast<const BYTE*>(sid))) return fail(ERROR_INVALID_SID);
  std::string text = sid_text(static_cast<const BYTE*>(sid));
  auto* block = static_cast<char*>(LocalAlloc(LMEM_FIXED, text.size() + 1));
  if (block == nullptr) return FALSE;
  std::memcpy(block, text.c_str(), text.size() + 1);
  *string_sid = block;
  return TRUE;
}

BOOL WINAPI ConvertSidToStringSidW(PSID sid, LPWSTR* string_sid) {
  if (string_sid == nullptr) return fail(ERROR_INVALID_PARAMETER);
  *string_sid = nullptr;
  if (!valid_sid(static_cast<const BYTE*>(sid))) return fail(ERROR_INVALID_SID);
  std::string text = sid_text(static_cast<const BYTE*>(sid));
  auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(WCHAR)));
  if (block == nullptr) return FALSE;
  for (size_t i = 0; i <= text.size(); ++i) block[i] = static_cast<unsigned char>(text[i]);
  *string_sid = block;
  return TRUE;
}

BOOL WINAPI LookupAccountSidA(LPCSTR system, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain,
                              LPDWORD domain_size, PSID_NAME_USE use) {
  if (name_size == nullptr || domain_size == nullptr || use == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const auto* bytes = static_cast<const BYTE*>(sid);
  if (!valid_sid(bytes)) return fail(ERROR_INVALID_SID);
  const world::Machine* m = nullptr;
  if (DWORD rc = find_system(system, &m)) return fail(rc);
  for (const Account& a : accounts_of(*m)) {
    if (a.sid.size() != sid_length(bytes) || std::memcmp(a.sid.data(), bytes, a.sid.size()) != 0) continue;
    bool name_fits = copy_name(a.name, name, name_size);
    bool domain_fits = copy_name(a.domain, domain, domain_size);
    if (!name_fits || !domain_fits) {
      // Both sizes report what is needed, as Windows does.
      if (name_fits) *name_size = static_cast<DWORD>(a.name.size() + 1);
      if (domain_fits) *domain_size = static_cast<DWORD>(a.domain.size() + 1);
      return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    *use = a.use;
    return TRUE;
  }
  return fail(ERROR_NONE_MAPPED);
}

BOOL WINAPI LookupAccountNameA(LPCSTR system, LPCSTR account, PSID sid, LPDWORD sid_size, LPSTR domain,
                               LPDWORD domain_size, PSID_NAME_USE use) {
  if (account == nullptr || sid_size == nullptr || domain_size == nullptr || use == nullptr)
    return fail(ERROR_INVALID_PARAMETER);
  const world::Machine* m = nullptr;
  if (DWORD rc = find_system(system, &m)) return fail(rc);
  std::string wanted = account, wanted_domain;
  size_t slash = wanted.find('\\');
  if (slash != std::string::npos) {
    wanted_domain = wanted.substr(0, slash);
    wanted = wanted.substr(slash + 1);
  }
  for (const Account& a : accounts_of(*m)) {
    if (!equal_folded(a.name, wanted) || (!wanted_domain.empty() && !equal_folded(a.domain, wanted_domain)))
      continue;
    bool sid_fits = sid != nullptr && *sid_size >= a.sid.size();
    bool domain_fits = copy_name(a.domain, domain, domain_size);
    if (!sid_fits || !domain_fits) {
      *sid_size = static_cast<DWORD>(a.sid.size());
      if (domain_fits) *domain_size = static_cast<DWORD>(a.domain.size() + 1);
      return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(sid, a.sid.data(), a.sid.size());
    *sid_size = static_cast<DWORD>(a.sid.size());
    *use = a.use;
    return TRUE;
  }
  return fail(ERROR_NONE_MAPPED);
}

BOOL WINAPI GetUserNameA(LPSTR buffer, LPDWORD size) {
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::string user = world::console_user();
  if (user.empty()) return fail(ERROR_NONE_MAPPED);
  if (!copy_name(user, buffer, size)) return fail(ERROR_INSUFFICIENT_BUFFER);
  ++*size;  // unlike the look-ups, the count includes the terminator
  return TRUE;
}

// The directory name of the console user: world.ini user_dn, else made from the world's domain
// ("CN=user,CN=Users,DC=label,..."); without a domain the account is local and has none.
BOOLEAN WINAPI GetUserNameExA(EXTENDED_NAME_FORMAT format, LPSTR buffer, ULONG* size) {
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::string user = world::console_user();
  if (format != NameFullyQualifiedDN) {
    platform::unsupported("GetUserNameExA", "a name format other than the directory name");
    return fail(ERROR_INVALID_PARAMETER);
  }
  std::string name = world::console_user_dn();
  std::string domain = world::domain();
  if (name.empty() && !domain.empty()) {
    name = "CN=" + user + ",CN=Users";
    for (size_t start = 0;;) {
      size_t dot = domain.find('.', start);
      name += ",DC=" + domain.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      if (dot == std::string::npos) break;
      start = dot + 1;
    }
  }
  if (user.empty() || name.empty()) return fail(ERROR_NONE_MAPPED);
  DWORD room = *size;
  bool fits = copy_name(name, buffer, &room);
  *size = room;
  return fits ? TRUE : fail(ERROR_MORE_DATA);
}

// The system's random bytes (the kernel's source); FALSE when it does not give them all.
BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (ULONG got = 0; got < length;) {
    ssize_t n = getrandom(bytes + got, length - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::fprintf(stderr, "SystemFunction036: no random bytes from the system (errno %d)\n", errno);
      return fail(ERROR_GEN_FAILURE);
    }
    got += static_cast<ULONG>(n);
  }
  return TRUE;
}

}  // extern "C"
