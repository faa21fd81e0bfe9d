// The picker's lists filled from the directory: the schema's attribute and
// class names, one directory search per list (containers, users, contacts,
// groups, any object, policies) and the domain's group policy objects.
#include "directory/directory.h"

#include <dsgetdc.h>
#include <lm.h>

#include <cstdio>
#include <cstring>

#include "directory/ads_calls.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr const char* kOpenRootDseText =
    "Error opening [%s] [%x]\n\nThis can be caused by running this executable from a remote device/server.  "
    "Suggestion: Copy this executable and its DLL files to a drive hosted on a server in the selected Domain.";
constexpr const char* kDnsProblemText =
    "Possible Workstation Configuration Problem:\n\nPlease confirm the DNS Server Addresses defined are correct.\n\n"
    "If no DNS server addresses are defined, interaction with Active Directory will not function.";
constexpr HRESULT kServerNotOperational = static_cast<HRESULT>(0x8007203A);
constexpr HRESULT kNoSuchDomain = static_cast<HRESULT>(0x8007054B);

struct SchemaSelector {
  DWORD selector;
  const char* filter;
};
constexpr SchemaSelector kSchemaSelectors[] = {
    {1, "(&(objectCategory=attributeSchema)(ldapDisplayName=*))"},
    {44, "(&(objectCategory=attributeSchema)(ldapDisplayName=*))"},
    {2, "(&(objectCategory=classSchema)(ldapDisplayName=*))"},
    {3,
     "(| (&(objectCategory=attributeSchema)(ldapDisplayName=*path)) "
     "(&(objectCategory=attributeSchema)(ldapDisplayName=*directory)) )"},
    {4, "(&(objectCategory=attributeSchema)(isSingleValued=TRUE))"},
    {41, "(&(objectCategory=attributeSchema)(isSingleValued=FALSE))"},
    {42, "(&(objectCategory=attributeSchema)(attributeSyntax=2.5.5.9))"},
};

constexpr const char* kContainersFilter = "(|(objectClass=container)(objectClass=organizationalunit))";
constexpr const char* kUsersFilter = "(&(objectCategory=person)(objectClass=user)(sAMAccountType=805306368))";
constexpr const char* kGposFilter = "(&(objectClass=groupPolicyContainer))";

// Clears the running mark when the search ends, however it ends.
struct OneSearch {
  OneSearch() { g_directory.search_running = 1; }
  OneSearch(const OneSearch&) = delete;
  OneSearch& operator=(const OneSearch&) = delete;
  ~OneSearch() { g_directory.search_running = 0; }
};

void add_row(HWND list, const char* text, int image, DWORD kind, DWORD option, const char* path) {
  BYTE record[kListItemBytes];
  if (!start_directory_row(record, list, kind, option, path)) return;
  insert_directory_row(list, text, image, record);
}

}  // namespace

const DirectoryRowEntry* row_directory_entry(const BYTE* record) {
  return record ? static_cast<const DirectoryRowEntry*>(owned_block(record, kOwnedLastFeature)) : nullptr;
}

bool start_directory_row(BYTE* record, HWND list, DWORD kind, DWORD option, const char* path) {
  std::memset(record, 0, kListItemBytes);
  set_item_word(record, kItemWordModule, kModuleNumber);
  const uintptr_t* d = list ? control_descriptor_of(list) : nullptr;
  set_item_word(record, kItemWordControlId, d ? descriptor_identifier(d) : 0);
  set_item_word(record, kItemWordDialogItem, list ? static_cast<uint32_t>(GetDlgCtrlID(list)) : 0);
  auto* entry = static_cast<DirectoryRowEntry*>(allocate_block(GMEM_ZEROINIT, sizeof(DirectoryRowEntry)));
  if (entry == nullptr) return false;
  entry->kind = kind;
  entry->option = option;
  copy_text(entry->path, sizeof entry->path, path);
  set_owned_block(record, kOwnedLastFeature, entry);
  return true;
}

void free_directory_row_entry(BYTE* record) {
  free_block(owned_block(record, kOwnedLastFeature));
  set_owned_block(record, kOwnedLastFeature, nullptr);
}

void insert_directory_row(HWND list, const char* text, int image, BYTE* record) {
  if (!insert_host_item(list, nullptr, RowPosition::Sorted, text, image, record))
    free_directory_row_entry(record);  // no row takes it
}

const char* directory_kind_filter(DWORD kind) {
  switch (kind) {
    case kListContainers: return kContainersFilter;
    case kListUsers:
    case kListUsersOneLevel: return kUsersFilter;
    case kListContacts: return "(&(objectClass=contact))";
    case kListGroups: return "(&(objectCategory=group))";
    case kListGpos: return kGposFilter;
    default: return "(&(objectCategory=*))";
  }
}

DWORD FillSchemaList(HWND list, DWORD selector, int image_offset, DWORD) {
  const char* filter = nullptr;
  for (const SchemaSelector& s : kSchemaSelectors)
    if (s.selector == selector) filter = s.filter;
  if (filter == nullptr) return 0;
  WaitCursor waiting;
  Held<IADs> root;
  HRESULT hr = open_directory_object("LDAP://RootDSE", IID_IADs, root.out());
  char text[kDirectoryPathBytes + 400];
  if (FAILED(hr)) {
    std::snprintf(text, sizeof text, kOpenRootDseText, "LDAP://RootDSE", static_cast<unsigned>(hr));
    show_message(nullptr, text, "VORNIX Error OC,AD", MB_ICONERROR);
    return 0;
  }
  char schema[kDirectoryPathBytes] = {};
  hr = read_text_property(root.p, "schemaNamingContext", schema, sizeof schema);
  char path[kDirectoryPathBytes + 16];
  ldap_path(nullptr, schema, path, sizeof path);
  Held<IDirectorySearch> search;
  if (FAILED(hr) || FAILED(hr = open_directory_object(path, IID_IDirectorySearch, search.out()))) {
    std::snprintf(text, sizeof text, kOpenRootDseText, path, static_cast<unsigned>(hr));
    show_message(nullptr, text, "VORNIX Error OC,AD", MB_ICONERROR);
    return 0;
  }
  DWORD rows = 0;
  int image = g_library.base_image_index + image_offset;
  if (selector == 2) {
    add_row(list, "*Any Object Class*", image, kListSchema, 0, "*");
    ++rows;
  }
  static const char* const kColumns[] = {"ldapDisplayName", "systemFlags", "attributeSyntax"};
  SearchRun run;
  if (FAILED(run_search(search.p, ADS_SCOPE_ONELEVEL, 1000, -1, filter, kColumns, 3, &run))) return rows;
  for (hr = search->GetFirstRow(run.handle); hr == S_OK; hr = search->GetNextRow(run.handle)) {
    char display[256];
    if (!column_text(run, "lDAPDisplayName", display, sizeof display)) continue;
    add_row(list, display, image, kListSchema, 0, display);
    ++rows;
  }
  return rows;
}

void show_picker_kind(HWND list, DWORD kind) {
  if (list == nullptr || g_directory.picker == nullptr || GetParent(list) != g_directory.picker) return;
  const char* name = nullptr;
  switch (kind) {
    case kListUsersOneLevel:
    case kListUsers: name = "ad_user"; break;
    case kListContacts: name = "ad_contact"; break;
    case kListGroups: name = "ad_universalgroup"; break;
    case kListSearch:
    case kListSearchOneLevel: name = "ad_search"; break;
    default: break;  // kinds without an icon of their own take the last one away
  }
  if (name == g_directory.picker_icon) return;
  g_directory.picker_icon = name;
  HICON icon = name ? LoadIconA(g_library.instance, name) : nullptr;
  SendMessageA(g_directory.picker, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

DWORD FillDirectoryList(HWND list, DWORD kind, const char* base_path, const char* filter, int image_offset, DWORD) {
  if (g_directory.search_running) return 0;
  OneSearch one;
  WaitCursor waiting;
  g_library.search_cancel = 0;
  show_picker_kind(list, kind);
  char path[kDirectoryPathBytes + 16];
  copy_text(path, sizeof path, base_path);
  Held<IDirectorySearch> search;
  HRESULT hr = E_FAIL;
  for (int attempt = 0; attempt < 2; ++attempt) {
    hr = open_directory_object(path, IID_IDirectorySearch, search.out());
    if (hr != kServerNotOperational || std::strchr(path, '=') != nullptr) break;
    // "LDAP://brightmere.local" names the domain by its DNS name: try its DN.
    const char* name = std::strstr(path, "//");
    char dn[kDirectoryPathBytes];
    dns_name_to_dn(name ? name + 2 : path, dn, sizeof dn);
    ldap_path(nullptr, dn, path, sizeof path);
  }
  char text[kDirectoryPathBytes + 100];
  if (FAILED(hr)) {
    if (hr == kNoSuchDomain || hr == kServerNotOperational)
      show_message(nullptr, kDnsProblemText, library_title(), MB_ICONWARNING);
    std::snprintf(text, sizeof text, "LAC:Could not bind to [%s], code [%x]", path, static_cast<unsigned>(hr));
    add_row(list, text, kHostErrorImage, kind, 0, path);
    return 0;
  }
  bool subtree = kind == kListUsers || kind == kListGroups || kind == kListSearch;
  const char* columns[6] = {"name", "distinguishedName"};
  size_t column_count = 2;
  if (kind == kListUsers || kind == kListUsersOneLevel) {
    columns[column_count++] = "userAccountControl";
    columns[column_count++] = "userPrincipalName";
  } else if (kind == kListGroups) {
    columns[column_count++] = "groupType";
  } else if (kind == kListSearch || kind == kListSearchOneLevel) {
    columns[column_count++] = "usncreated";
    columns[column_count++] = "adspath";
  } else if (kind == kListGpos) {
    columns[column_count++] = "displayName";
    columns[column_count++] = "gPCFileSysPath";
  }
  SearchRun run;
  if (FAILED(run_search(search.p, subtree ? ADS_SCOPE_SUBTREE : ADS_SCOPE_ONELEVEL, 10000, 0, filter, columns,
                        column_count, &run)))
    return 0;
  DWORD rows = 0;
  int image = g_library.base_image_index + image_offset;
  for (hr = search->GetFirstRow(run.handle); hr == S_OK; hr = search->GetNextRow(run.handle)) {
    if (g_library.search_cancel == kSearchCancelStop) break;
    char label[512], kept[kDirectoryPathBytes];
    bool gpo = kind == kListGpos;
    if (!column_text(run, gpo ? "displayName" : "name", label, sizeof label)) column_text(run, "name", label, sizeof label);
    const char* kept_column = gpo ? "gPCFileSysPath" : kind == kListSearch ? "adsPath" : "distinguishedName";
    if (!column_text(run, kept_column, kept, sizeof kept)) column_text(run, "distinguishedName", kept, sizeof kept);
    add_row(list, label, image, kind, 0, kept);
    ++rows;
  }
  if (g_library.search_cancel == kSearchCancelStop) search->AbandonSearch(run.handle);
  return rows;
}

namespace {

// Hands visit the path of the policy container of each primary domain of a server ("LDAP://CN=Policies,
// CN=System,DC=..."; server null or empty: the console's own domain). A server whose domain is not
// found has none, and nothing is shown: the caller's list stays as it is.
template <typename Visit>
void visit_policy_containers(const char* server, Visit visit) {
  char name[300] = {};
  if (server && *server) std::snprintf(name, sizeof name, "\\\\%s", server);
  PDS_DOMAIN_TRUSTSA domains = nullptr;
  ULONG count = 0;
  if (DsEnumerateDomainTrustsA(name[0] ? name : nullptr, DS_DOMAIN_PRIMARY, &domains, &count) != ERROR_SUCCESS) return;
  for (ULONG i = 0; i < count; ++i) {
    char slashed[300], dn[kDirectoryPathBytes], policies[kDirectoryPathBytes + 32], path[kDirectoryPathBytes + 64];
    std::snprintf(slashed, sizeof slashed, "//%s", domains[i].DnsDomainName ? domains[i].DnsDomainName : "");
    dns_name_to_dn(slashed, dn, sizeof dn);
    std::snprintf(policies, sizeof policies, "CN=Policies,CN=System,%s", dn);
    ldap_path(nullptr, policies, path, sizeof path);
    if (!visit(path)) break;
  }
  NetApiBufferFree(domains);
}

}  // namespace

DWORD FillGpoList(HWND list, const char* server) {
  DWORD rows = 0;
  visit_policy_containers(server, [&](const char* path) {
    rows += FillDirectoryList(list, kListGpos, path, kGposFilter, kIconGpo, 0);
    return true;
  });
  return rows;
}

bool GpoPathExists(const char* server, const char* file_system_path) {
  WaitCursor waiting;
  char value[kDirectoryPathBytes * 3], filter[kDirectoryPathBytes * 3 + 64];
  escape_filter_value(file_system_path, value, sizeof value);
  std::snprintf(filter, sizeof filter, "(&(objectClass=groupPolicyContainer)(gPCFileSysPath=%s))", value);
  bool found = false;
  visit_policy_containers(server, [&](const char* path) {
    Held<IDirectorySearch> search;
    if (FAILED(open_directory_object(path, IID_IDirectorySearch, search.out()))) return true;
    static const char* const kColumns[] = {"distinguishedName"};
    SearchRun run;
    found = SUCCEEDED(run_search(search.p, ADS_SCOPE_ONELEVEL, 1000, -1, filter, kColumns, 1, &run)) &&
            search->GetFirstRow(run.handle) == S_OK;
    return !found;
  });
  return found;
}
