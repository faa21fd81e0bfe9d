// netapi32 over the world: workstation information (name and domain), the shares of a machine and user
// enumeration over a machine's users.ini: one [section]
// per account (its name as spelled in `name`, else the section name), with
// privilege (guest, user, admin), comment, disabled = yes, and kind (normal,
// temp, interdomain, workstation, server). A machine without users.ini has
// the two accounts every Windows installation starts with. machine.ini
// [faults] netuserenum = CODE makes every call fail with that code.
#include <lm.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "win32/code_page.h"
#include "win32/kernel_objects.h"
#include "win32/netapi.h"
#include "world/world.h"

namespace {

struct Account {
  std::string name, comment;
  DWORD privilege = USER_PRIV_USER;
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
};

struct KindFlag {
  const char* kind;
  DWORD filter;
  DWORD flag;
};
constexpr KindFlag kKinds[] = {
    {"normal", FILTER_NORMAL_ACCOUNT, UF_NORMAL_ACCOUNT},
    {"temp", FILTER_TEMP_DUPLICATE_ACCOUNT, UF_TEMP_DUPLICATE_ACCOUNT},
    {"interdomain", FILTER_INTERDOMAIN_TRUST_ACCOUNT, UF_INTERDOMAIN_TRUST_ACCOUNT},
    {"workstation", FILTER_WORKSTATION_TRUST_ACCOUNT, UF_WORKSTATION_TRUST_ACCOUNT},
    {"server", FILTER_SERVER_TRUST_ACCOUNT, UF_SERVER_TRUST_ACCOUNT},
};
constexpr DWORD kKnownFilters = 0x3B;

std::string value(const world::IniSection& section, const char* key) {
  auto it = section.find(key);
  return it == section.end() ? "" : it->second;
}

std::vector<Account> accounts_of(const world::Machine& machine) {
  std::vector<Account> out;
  world::IniFile ini = world::read_ini(world::machine_path(machine, "users.ini"));
  if (ini.empty()) {
    out.push_back({"Administrator", "Built-in account for administering the computer/domain", USER_PRIV_ADMIN,
                   UF_SCRIPT | UF_NORMAL_ACCOUNT});
    out.push_back({"Guest", "Built-in account for guest access to the computer/domain", USER_PRIV_GUEST,
                   UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_ACCOUNTDISABLE});
    return out;
  }
  for (const auto& [key, section] : ini) {
    if (key.empty()) continue;
    Account a;
    a.name = value(section, "name").empty() ? key : value(section, "name");
    a.comment = value(section, "comment");
    std::string privilege = value(section, "privilege");
    a.privilege = privilege == "admin" ? USER_PRIV_ADMIN : privilege == "guest" ? USER_PRIV_GUEST : USER_PRIV_USER;
    std::string kind = value(section, "kind").empty() ? "normal" : value(section, "kind");
    a.flags = UF_SCRIPT;
    for (const KindFlag& k : kKinds)
      if (kind == k.kind) a.flags |= k.flag;
    if (strcasecmp(value(section, "disabled").c_str(), "yes") == 0) a.flags |= UF_ACCOUNTDISABLE;
    out.push_back(a);
  }
  return out;
}

bool passes(const Account& a, DWORD filter) {
  if (filter == 0) return true;
  for (const KindFlag& k : kKinds)
    if ((filter & k.filter) && (a.flags & k.flag)) return true;
  return false;
}

size_t wide_bytes(const std::string& text) { return (text.size() + 1) * sizeof(WCHAR); }

// Bytes an entry takes in the buffer: its record and its strings.
size_t entry_bytes(const Account& a, DWORD level) {
  return level == 0 ? sizeof(USER_INFO_0) + wide_bytes(a.name)
                    : sizeof(USER_INFO_1) + wide_bytes(a.name) + wide_bytes(a.comment) + 2 * wide_bytes("");
}

// Copies text as UTF-16 into the string area and returns where it went.
LPWSTR put_wide(BYTE*& strings, const std::string& text) {
  auto* out = reinterpret_cast<WCHAR*>(strings);
  platform::wide_text(text, out);
  strings += wide_bytes(text);
  return out;
}

// Room for the text, terminated, at `at`; returns the next free byte.
WCHAR* put_wide(WCHAR* at, const std::string& text) {
  platform::wide_text(text, at);
  return at + text.size() + 1;
}

// One page of an enumeration: as many entries from first as the caller's preferred length holds,
// and at least one; their bytes in *bytes.
template <typename Entry, typename BytesOf>
size_t entries_that_fit(const std::vector<Entry>& all, DWORD first, DWORD preferred_length, BytesOf bytes_of,
                        size_t* bytes) {
  size_t count = 0;
  *bytes = 0;
  while (first + count < all.size()) {
    size_t more = bytes_of(all[first + count]);
    if (count > 0 && preferred_length != MAX_PREFERRED_LENGTH && *bytes + more > preferred_length) break;
    *bytes += more;
    ++count;
  }
  return count;
}

}  // namespace

namespace platform {

void* net_api_buffer(size_t bytes) { return std::calloc(1, bytes); }

}  // namespace platform

extern "C" {

NET_API_STATUS NET_API_FUNCTION NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                                            DWORD preferred_length, LPDWORD entries_read, LPDWORD total_entries,
                                            LPDWORD resume_handle) {
  if (buffer == nullptr || entries_read == nullptr || total_entries == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entries_read = *total_entries = 0;
  if (level > 1) {
    std::fprintf(stderr, "qvmr7 netapi: NetUserEnum: level %u not supported\n", static_cast<unsigned>(level));
    return ERROR_INVALID_LEVEL;
  }
  if (filter & ~kKnownFilters) {
    std::fprintf(stderr, "qvmr7 netapi: NetUserEnum: filter 0x%x not supported\n", static_cast<unsigned>(filter));
    return ERROR_INVALID_PARAMETER;
  }
  std::string name = platform::code_page_text(server);
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  if (name.empty()) name = world::console_machine();
  const world::Machine* machine = world::find_machine(name);
  if (machine == nullptr || strcasecmp(machine->setting("machine", "reachable", "yes").c_str(), "no") == 0)
    return ERROR_BAD_NETPATH;
  if (strcasecmp(machine->setting("machine", "access", "full").c_str(), "none") == 0) return ERROR_ACCESS_DENIED;
  std::string fault = machine->setting("faults", "netuserenum");
  if (!fault.empty()) return static_cast<NET_API_STATUS>(std::strtoul(fault.c_str(), nullptr, 10));

  std::vector<Account> all;
  for (const Account& a : accounts_of(*machine))
    if (passes(a, filter)) all.push_back(a);
  DWORD first = resume_handle ? *resume_handle : 0;
  size_t bytes = 0;
  size_t count = entries_that_fit(all, first, preferred_length,
                                  [level](const Account& a) { return entry_bytes(a, level); }, &bytes);
  *total_entries = static_cast<DWORD>(all.size());
  if (count == 0) return NERR_Success;
  auto* block = static_cast<BYTE*>(platform::net_api_buffer(bytes));
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  size_t record = level == 0 ? sizeof(USER_INFO_0) : sizeof(USER_INFO_1);
  BYTE* strings = block + count * record;
  for (size_t i = 0; i < count; ++i) {
    const Account& a = all[first + i];
    if (level == 0) {
      reinterpret_cast<USER_INFO_0*>(block)[i].usri0_name = put_wide(strings, a.name);
      continue;
    }
    USER_INFO_1& u = reinterpret_cast<USER_INFO_1*>(block)[i];
    u.usri1_name = put_wide(strings, a.name);
    u.usri1_password = nullptr;
    u.usri1_password_age = 0;
    u.usri1_priv = a.privilege;
    u.usri1_home_dir = put_wide(strings, "");
    u.usri1_comment = put_wide(strings, a.comment);
    u.usri1_flags = a.flags;
    u.usri1_script_path = put_wide(strings, "");
  }
  *buffer = block;
  *entries_read = static_cast<DWORD>(count);
  bool more = first + count < all.size();
  if (resume_handle) *resume_handle = more ? static_cast<DWORD>(first + count) : 0;
  return more ? ERROR_MORE_DATA : NERR_Success;
}

NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID buffer) {
  std::free(buffer);
  return NERR_Success;
}

}  // extern "C"

// [faults] workstation_info = CODE makes the call fail with that code; an
// unreachable or unknown machine gives 53, no access 5, as from Windows.
extern "C" NET_API_STATUS WINAPI NetWkstaGetInfo(LMSTR server_name, DWORD level, LPBYTE* buffer) {
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (level != 100) {
    platform::unsupported("NetWkstaGetInfo", "a level other than 100");
    return ERROR_INVALID_LEVEL;
  }
  std::string name = platform::code_page_text(server_name);
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


// The shares of a machine are the folders of its shares/; the console user sees them all, also those
// machine.ini [shares] marks as without access. IPC$ is always there, as on every Windows machine.
// [faults] netshareenum = CODE makes every call fail with that code.
namespace {

struct Share {
  std::string name, remark;
  DWORD type;
};

bool is_drive_share(const std::string& name) {
  return name.size() == 2 && name[1] == '$' && std::isalpha(static_cast<unsigned char>(name[0]));
}

std::vector<Share> shares_of(const world::Machine& machine) {
  std::vector<Share> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(world::machine_path(machine, "shares"), ec)) {
    if (!entry.is_directory(ec)) continue;
    std::string name = entry.path().filename().string();
    if (strcasecmp(name.c_str(), "ADMIN$") == 0) out.push_back({name, "Remote Admin", STYPE_DISKTREE | STYPE_SPECIAL});
    else if (is_drive_share(name)) out.push_back({name, "Default share", STYPE_DISKTREE | STYPE_SPECIAL});
    else out.push_back({name, "", STYPE_DISKTREE});
  }
  out.push_back({"IPC$", "Remote IPC", STYPE_IPC | STYPE_SPECIAL});
  std::sort(out.begin(), out.end(),
            [](const Share& a, const Share& b) { return strcasecmp(a.name.c_str(), b.name.c_str()) < 0; });
  return out;
}

}  // namespace

extern "C" NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR server_name, DWORD level, LPBYTE* buffer,
                                                        DWORD preferred_length, LPDWORD entries_read,
                                                        LPDWORD total_entries, LPDWORD resume_handle) {
  if (buffer == nullptr || entries_read == nullptr || total_entries == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  *entries_read = *total_entries = 0;
  if (level != 1) {
    platform::unsupported("NetShareEnum", "a level other than 1");
    return ERROR_INVALID_LEVEL;
  }
  std::string name = platform::code_page_text(server_name);
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  const world::Machine* found = world::find_machine(name.empty() ? world::console_machine() : name);
  if (found == nullptr) return ERROR_BAD_NETPATH;
  world::Machine m = *found;  // the world's records may go when it is reopened
  if (strcasecmp(m.setting("machine", "reachable", "yes").c_str(), "no") == 0) return ERROR_BAD_NETPATH;
  if (strcasecmp(m.setting("machine", "access", "full").c_str(), "none") == 0) return ERROR_ACCESS_DENIED;
  std::string fault = m.setting("faults", "netshareenum");
  if (!fault.empty()) return static_cast<NET_API_STATUS>(std::strtoul(fault.c_str(), nullptr, 10));

  std::vector<Share> all = shares_of(m);
  DWORD first = resume_handle ? *resume_handle : 0;
  size_t bytes = 0;
  size_t count = entries_that_fit(
      all, first, preferred_length,
      [](const Share& s) { return sizeof(SHARE_INFO_1) + wide_bytes(s.name) + wide_bytes(s.remark); }, &bytes);
  *total_entries = static_cast<DWORD>(all.size());
  if (count == 0) return NERR_Success;
  auto* block = static_cast<BYTE*>(platform::net_api_buffer(bytes));
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  BYTE* strings = block + count * sizeof(SHARE_INFO_1);
  for (size_t i = 0; i < count; ++i) {
    SHARE_INFO_1& info = reinterpret_cast<SHARE_INFO_1*>(block)[i];
    info.shi1_netname = put_wide(strings, all[first + i].name);
    info.shi1_type = all[first + i].type;
    info.shi1_remark = put_wide(strings, all[first + i].remark);
  }
  *buffer = block;
  *entries_read = static_cast<DWORD>(count);
  bool more = first + count < all.size();
  if (resume_handle) *resume_handle = more ? static_cast<DWORD>(first + count) : 0;
  return more ? ERROR_MORE_DATA : NERR_Success;
}
