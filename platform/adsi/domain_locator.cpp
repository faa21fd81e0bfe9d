// The domain locator (netapi32) answered from the world's directory: its
// domain controller, and a server's primary domain. The world's domain is a
// forest of one domain; a machine belongs to it unless its machine.ini names
// another domain or workgroup.
#include <dsgetdc.h>
#include <lmapibuf.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adsi/directory_connection.h"
#include "win32/netapi.h"
#include "world/world.h"

namespace {

// One block: the record, then its texts; NetApiBufferFree frees it whole.
template <typename Record, typename Char>
Record* new_record(const std::vector<std::basic_string<Char>>& texts, std::vector<Char*>* placed) {
  size_t bytes = sizeof(Record);
  for (const auto& t : texts) bytes += (t.size() + 1) * sizeof(Char);
  auto* block = static_cast<char*>(platform::net_api_buffer(bytes));
  if (block == nullptr) return nullptr;
  char* at = block + sizeof(Record);
  for (const auto& t : texts) {
    auto* text = reinterpret_cast<Char*>(at);
    std::memcpy(text, t.c_str(), (t.size() + 1) * sizeof(Char));
    placed->push_back(text);
    at += (t.size() + 1) * sizeof(Char);
  }
  return reinterpret_cast<Record*>(block);
}

// The world's domain controller as the locator names it; an error code when there is none.
DWORD find_controller(const std::string& domain, std::vector<std::string>* texts) {
  world::Directory d = world::directory();
  if (d.dns_domain.empty()) return ERROR_NO_SUCH_DOMAIN;
  if (!domain.empty() && !adsi::equal_ignoring_case(domain, d.dns_domain) &&
      !adsi::equal_ignoring_case(domain, world::domain()))
    return ERROR_NO_SUCH_DOMAIN;
  const world::Machine* controller = world::find_machine(d.controller);
  if (controller == nullptr || controller->setting("machine", "reachable", "yes") == "no") return ERROR_NO_SUCH_DOMAIN;
  const char* site = "Default-First-Site-Name";
  *texts = {"\\\\" + controller->name + "." + d.dns_domain, "\\\\" + controller->setting("machine", "ipv4"),
            d.dns_domain, d.dns_domain, site, site};
  return ERROR_SUCCESS;
}

// The computer that is asked: none for this one, else a machine of the world that answers.
DWORD check_computer(const std::string& computer) {
  if (computer.empty()) return ERROR_SUCCESS;
  const world::Machine* m = world::find_machine(computer);
  if (m == nullptr || m->setting("machine", "reachable", "yes") == "no") return RPC_S_SERVER_UNAVAILABLE;
  return ERROR_SUCCESS;
}

// Whether the computer asked (this one when none is named) is a member of the world's domain.
bool in_world_domain(const std::string& computer) {
  const world::Machine* m = world::find_machine(computer.empty() ? world::console_machine() : computer);
  return m == nullptr || adsi::equal_ignoring_case(world::machine_domain(*m), world::domain());
}

std::string narrow(LPCWSTR text) { return text ? adsi::utf8(text) : ""; }

}  // namespace

extern "C" {

DWORD WINAPI DsGetDcNameA(LPCSTR computer, LPCSTR domain, GUID*, LPCSTR, ULONG, PDOMAIN_CONTROLLER_INFOA* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  *info = nullptr;
  if (DWORD rc = check_computer(computer ? computer : "")) return rc;
  // Without a domain name the computer's own domain is meant: a computer outside the domain has none.
  if ((domain == nullptr || *domain == '\0') && !in_world_domain(computer ? computer : "")) return ERROR_NO_SUCH_DOMAIN;
  std::vector<std::string> texts;
  if (DWORD rc = find_controller(domain ? domain : "", &texts)) return rc;
  std::vector<char*> t;
  auto* record = new_record<DOMAIN_CONTROLLER_INFOA>(texts, &t);
  if (record == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *record = {t[0], t[1], DS_INET_ADDRESS, {}, t[2], t[3], 0, t[4], t[5]};
  *info = record;
  return ERROR_SUCCESS;
}

DWORD WINAPI DsGetDcNameW(LPCWSTR computer, LPCWSTR domain, GUID*, LPCWSTR, ULONG, PDOMAIN_CONTROLLER_INFOW* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  *info = nullptr;
  if (DWORD rc = check_computer(narrow(computer))) return rc;
  if (narrow(domain).empty() && !in_world_domain(narrow(computer))) return ERROR_NO_SUCH_DOMAIN;
  std::vector<std::string> texts;
  if (DWORD rc = find_controller(narrow(domain), &texts)) return rc;
  std::vector<std::u16string> wide_texts;
  for (const std::string& s : texts) wide_texts.push_back(adsi::wide(s));
  std::vector<WCHAR*> t;
  auto* record = new_record<DOMAIN_CONTROLLER_INFOW>(wide_texts, &t);
  if (record == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  *record = {t[0], t[1], DS_INET_ADDRESS, {}, t[2], t[3], 0, t[4], t[5]};
  *info = record;
  return ERROR_SUCCESS;
}

DWORD WINAPI DsEnumerateDomainTrustsA(LPSTR server, ULONG, PDS_DOMAIN_TRUSTSA* domains, PULONG count) {
  if (domains == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  *domains = nullptr;
  *count = 0;
  if (DWORD rc = check_computer(server ? server : "")) return rc;
  world::Directory d = world::directory();
  if (d.dns_domain.empty() || !in_world_domain(server ? server : "")) return ERROR_NO_SUCH_DOMAIN;
  std::vector<char*> t;
  auto* record = new_record<DS_DOMAIN_TRUSTSA>(std::vector<std::string>{world::domain(), d.dns_domain}, &t);
  if (record == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  // The one domain is the primary domain and the root of its forest.
  *record = {t[0], t[1], DS_DOMAIN_PRIMARY | DS_DOMAIN_IN_FOREST | 0x4 /* DS_DOMAIN_TREE_ROOT */, 0, 2, 0, nullptr, {}};
  *domains = record;
  *count = 1;
  return ERROR_SUCCESS;
}

}  // extern "C"
