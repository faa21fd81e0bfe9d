// The list-valued server settings: departments and enterprise hosts reported
// to, the sibling product's groups, IP ranges and allowed versions, the
// permitted-hours grid and the containers whose local logons are tracked.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/multi_string.h"
#include "config/profile_lists.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "directory/directory.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"

namespace {

constexpr int kIconEnterpriseHost = 7;
constexpr int kIconDepartment = 8;
constexpr int kIconAllowedGroup = 23;
constexpr int kIconExcludedGroup = 24;
constexpr int kIconVersion = 6;
constexpr int kIconContainer = 121;
constexpr size_t kListNameChars = 254;
constexpr size_t kRowText = 512;  // the host copies this much of a row's text
constexpr char kContainersKey[] = "LLOUTracked";

void show_error(const char* title, const char* format, long code, const char* a, const char* b = "") {
  char text[800];
  std::snprintf(text, sizeof text, format, static_cast<int>(code), a, b);
  show_message(nullptr, text, title, MB_ICONERROR);
}

const char* root_path(DWORD root) { return root == kProductRoot ? kProductKey : kSiblingKey; }

// The server's registry; a failed connection is shown under the title (once per failing server).
DWORD connect_server(const char* server, const char* title, HKEY* machine) {
  DWORD rc = ConnectServerRegistry(server, machine, title, 0);
  return rc == 0 && *machine == nullptr ? ERROR_BAD_NETPATH : rc;
}

// Connects and opens the root key; only a failed connection is shown.
DWORD open_root_key(const char* server, DWORD root, REGSAM rights, const char* title, HKEY* key) {
  HKEY machine;
  DWORD rc = connect_server(server, title, &machine);
  return rc ? rc : static_cast<DWORD>(open_settings_root(machine, server, root, rights, key));
}

bool list_has(HWND list, const char* text) {
  char row_text[kRowText];
  const BYTE* record = nullptr;
  for (int row = 0; read_list_row(list, row, row_text, sizeof row_text, &record); ++row)
    if (equal_ignoring_case(row_text, text)) return true;
  return false;
}

// One row per name not listed yet.
DWORD add_names(HWND list, const BYTE* data, DWORD size, int icon) {
  DWORD added = 0;
  for_each_name(data, size, [&](const char* name) {
    if (list_has(list, name)) return true;
    BYTE record[kListItemBytes];
    start_row_record(record, list, nullptr);
    if (insert_list_row(list, name, icon, record)) ++added;
    return true;
  });
  return added;
}

// The rows of a list as a multi-string: names cut to 254 characters, empty rows left out.
bool rows_as_multi_string(HWND list, MultiString* names) {
  int rows = 0;
  char text[kRowText];
  const BYTE* record = nullptr;
  while (read_list_row(list, rows, text, sizeof text, &record)) ++rows;
  if (!multi_string_start(names, static_cast<DWORD>(rows) * (kListNameChars + 1) + 1)) return false;
  for (int row = 0; row < rows && read_list_row(list, row, text, sizeof text, &record); ++row)
    multi_string_add(names, text, kListNameChars);
  return true;
}

// A list value of names and the titles of its operations.
struct NameList {
  DWORD root;
  const char* value;
  int icon;
  const char* list_title;       // a failed connection while listing
  const char* list_open_title;  // a key that will not open while listing; null: nothing is said
  const char* save_title;       // a failed connection while saving
  const char* save_open_title;
  const char* save_write_title;
};

constexpr NameList kDepartments = {kProductRoot, "DepartmentsReportTo", kIconDepartment,
                                   "UNABLE TO GET SERVER CONFIGURATION DETAILS #1", nullptr,
                                   "UNABLE TO UPDATE DEPARTMENTS TO REPORT TO", "UNABLE TO UPDATE SERVER CONFIGURATION",
                                   "ERROR ON SERVER CONFIGURATION UPDATE"};
constexpr NameList kEnterpriseHosts = {kProductRoot, "EnterpriseHostsReportTo", kIconEnterpriseHost,
                                       "UNABLE TO GET SERVER CONFIGURATION DETAILS #1", nullptr,
                                       "UNABLE TO UPDATE ENTERPRISE HOSTS TO REPORT TO",
                                       "UNABLE TO UPDATE SERVER CONFIGURATION", "ERROR ON SERVER CONFIGURATION UPDATE"};
constexpr NameList kExcludedGroups = {kSiblingRoot, "DisallowModGroup", kIconExcludedGroup,
                                      "UNABLE TO GET GROUP DETAILS", "ERROR ON GROUP KEY",
                                      "UNABLE TO UPDATE EXCLUDED GROUPS", "UNABLE TO UPDATE GROUPS",
                                      "ERROR ON GROUP UPDATE"};
constexpr NameList kAllowedGroups = {kSiblingRoot, "CanUseKQGroup", kIconAllowedGroup, "UNABLE TO GET GROUP DETAILS",
                                     "ERROR ON GROUP KEY", "UNABLE TO UPDATE GROUPS OK TO USE KQ",
                                     "UNABLE TO UPDATE GROUPS", "ERROR ON GROUP UPDATE"};

DWORD list_names(const NameList& kind, HWND list, const char* server) {
  HKEY machine, key;
  if (connect_server(server, kind.list_title, &machine) != 0) return 0;
  LONG rc = open_settings_root(machine, server, kind.root, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    if (kind.list_open_title) show_error(kind.list_open_title, "Error %d opening %s", rc, root_path(kind.root));
    return 0;
  }
  DWORD size = 0;
  LONG read = 0;
  BYTE* data = read_value_block(key, kind.value, &size, nullptr, &read);
  RegCloseKey(key);
  DWORD added = add_names(list, data, size, kind.icon);
  free_block(data);
  return added;
}

DWORD save_names(const NameList& kind, HWND list, const char* server) {
  MultiString names;
  if (!rows_as_multi_string(list, &names)) return ERROR_NOT_ENOUGH_MEMORY;
  HKEY machine, key = nullptr;
  DWORD rc = connect_server(server, kind.save_title, &machine);
  if (rc == 0) {
    rc = static_cast<DWORD>(open_settings_root(machine, server, kind.root, KEY_ALL_ACCESS, &key));
    if (rc != 0) show_error(kind.save_open_title, "Error %d opening registry key on server %s.", static_cast<long>(rc), server);
  }
  if (rc == 0) {
    rc = static_cast<DWORD>(RegSetValueExA(key, kind.value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(names.data),
                                           multi_string_bytes(names)));
    if (rc != 0) show_error(kind.save_write_title, "Error %d adding %s", static_cast<long>(rc), kind.value);
    RegCloseKey(key);
  }
  multi_string_free(&names);
  return rc;
}

// A version row's number: its text read as a decimal number, as an edit field's is (no digits read 0).
uint32_t row_number(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 10)); }

}  // namespace

DWORD ListReportTo(HWND list, const char* server, uint32_t request) {
  bool departments = request == kReportToDepartmentsRequest || request == kReportToDepartmentsList;
  return list_names(departments ? kDepartments : kEnterpriseHosts, list, server);
}

DWORD SaveReportTo(HWND list, const char* server, DWORD which) {
  return save_names(which == kSaveDepartments ? kDepartments : kEnterpriseHosts, list, server);
}

DWORD ListGroups(HWND list, const char* server, uint32_t request) {
  return list_names(request == kExcludedGroupsRequest ? kExcludedGroups : kAllowedGroups, list, server);
}

DWORD SaveGroups(HWND list, const char* server, DWORD which) {
  return save_names(which == kSaveExcludedGroups ? kExcludedGroups : kAllowedGroups, list, server);
}

// ---- Departments and enterprise hosts of every known server ---------------------------------

namespace {

constexpr DWORD kMostKnownServers = 500;
constexpr uint32_t kDepartmentHostRowMark = 0x54534F48;  // "HOST"
constexpr char kEnterpriseScanKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\ENTSCAN";

// A text value of the server's product key; empty when missing.
void read_product_text(HKEY product, const char* name, char* out, DWORD size) {
  out[0] = '\0';
  DWORD read = size - 1;
  if (RegQueryValueExA(product, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &read) != ERROR_SUCCESS) read = 0;
  out[read] = '\0';
}

// Adds a row for the name unless one is listed; the record keeps the hosting server when given.
DWORD add_scanned(HWND list, const char* name, int icon, const char* host_server, const char* report_path) {
  if (name[0] == '\0' || list_has(list, name)) return 0;
  BYTE record[kListItemBytes];
  start_row_record(record, list, nullptr);
  if (host_server != nullptr) {
    DepartmentHostRow row = {};
    copy_text(row.server, sizeof row.server, host_server);
    copy_text(row.report_path, sizeof row.report_path, report_path);
    std::memcpy(record + kRowDataOffset, &kDepartmentHostRowMark, 4);
    std::memcpy(record + kRowDataOffset + 4, &row, sizeof row);
  }
  return insert_list_row(list, name, icon, record) ? 1 : 0;
}

// Asks every known server that can be reached; visit gets its registry and its open product key.
template <typename Visit>
void for_each_known_product_key(const char* title, Visit visit) {
  static char names[kMostKnownServers][kCachedServerNameBytes];
  DWORD count = KnownServerNames(names, kMostKnownServers);
  for (DWORD i = 0; i < count; ++i) {
    HKEY machine, product;
    if (connect_server(names[i], title, &machine) != 0 ||
        open_settings_root(machine, names[i], kProductRoot, KEY_READ, &product) != 0)
      continue;
    visit(names[i], machine, product);
    RegCloseKey(product);
  }
}

}  // namespace

static_assert(kRowDataOffset + 4 + sizeof(DepartmentHostRow) <= kRowDataLimit, "a department row fits the record");

bool department_host_row(const BYTE* record, DepartmentHostRow* row) {
  uint32_t mark = 0;
  if (record == nullptr) return false;
  std::memcpy(&mark, record + kRowDataOffset, 4);
  if (mark != kDepartmentHostRowMark) return false;
  std::memcpy(row, record + kRowDataOffset + 4, sizeof *row);
  return true;
}

DWORD ScanDepartments(HWND list) {
  DWORD added = 0;
  for_each_known_product_key("UNABLE TO CHECK FOR DEPARTMENTS", [&](const char* server, HKEY machine, HKEY product) {
    char hosted[kSettingTextBytes], report_path[260];
    read_product_text(product, "DepartmentHosted", hosted, sizeof hosted);
    ReadReportPath(machine, remote_access(KEY_READ), report_path, sizeof report_path);
    added += add_scanned(list, hosted, kIconDepartment, server, report_path);
    DWORD size = 0;
    LONG rc = 0;
    BYTE* data = read_value_block(product, "DepartmentsReportTo", &size, nullptr, &rc);
    for_each_name(data, size, [&](const char* name) {
      added += add_scanned(list, name, kIconDepartment, nullptr, nullptr);
      return true;
    });
    free_block(data);
  });
  return added;
}

DWORD ScanEnterpriseHosts(HWND list) {
  HKEY found = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kEnterpriseScanKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      local_access(KEY_ALL_ACCESS), nullptr, &found, &disposition) != ERROR_SUCCESS)
    found = nullptr;
  DWORD added = 0;
  for_each_known_product_key("UNABLE TO CHECK FOR ENTERPRISE HOSTS", [&](const char*, HKEY, HKEY product) {
    DWORD size = 0;
    LONG rc = 0;
    BYTE* data = read_value_block(product, "EnterpriseHostsReportTo", &size, nullptr, &rc);
    for_each_name(data, size, [&](const char* name) {
      added += add_scanned(list, name, kIconEnterpriseHost, nullptr, nullptr);
      const BYTE none[4] = {};
      if (found != nullptr && RegQueryValueExA(found, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        RegSetValueExA(found, name, 0, REG_BINARY, none, sizeof none);
      return true;
    });
    free_block(data);
  });
  if (found != nullptr) RegCloseKey(found);
  return added;
}

DWORD add_list_name(HWND list, const char* name) {
  const uintptr_t* d = control_descriptor_of(list);
  uint32_t id = d ? descriptor_identifier(d) : 0;
  int icon = kIconEnterpriseHost;
  if (id == kFormDepartmentsList || id == kKnownDepartmentsList) icon = kIconDepartment;
  else if (id == kAllowedGroupsList) icon = kIconAllowedGroup;
  else if (id == kExcludedGroupsRequest) icon = kIconExcludedGroup;
  else if (id == kAllowedVersionsList) icon = kIconVersion;
  else if (id == kFormContainersList) icon = kIconContainer;
  return add_scanned(list, name, icon, nullptr, nullptr);
}

DWORD ListIncludedEnterpriseHosts(HWND list) {
  HKEY found = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kEnterpriseScanKey, 0, local_access(KEY_READ), &found) != ERROR_SUCCESS)
    return 0;  // no host recorded yet
  DWORD added = 0;
  for (DWORD index = 0;; ++index) {
    char name[kRowText];
    DWORD size = sizeof name;
    LONG e = RegEnumValueA(found, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e == ERROR_SUCCESS) added += add_scanned(list, name, kIconEnterpriseHost, nullptr, nullptr);
  }
  RegCloseKey(found);
  return added;
}

DWORD IncludeEnterpriseHost(const char* host) {
  HKEY found = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, kEnterpriseScanKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            local_access(KEY_ALL_ACCESS), nullptr, &found, &disposition);
  if (rc == ERROR_SUCCESS) {
    const BYTE none[4] = {};
    rc = RegSetValueExA(found, host, 0, REG_BINARY, none, sizeof none);
    RegCloseKey(found);
  }
  if (rc != ERROR_SUCCESS) show_error("UNABLE TO INCLUDE ENTERPRISE HOST", "Error %d adding %s", rc, host);
  return static_cast<DWORD>(rc);
}

// ---- Department membership ----------------------------------------------------------

namespace {

constexpr char kDepartmentTitle[] = "UNABLE TO SET DEPARTMENT VALUE(S)";

// The departments reported to without (remove) or with the department appended (add).
// *changed tells whether the list differs from the stored one.
LONG edit_departments(HKEY product, const char* department, bool add, bool* changed) {
  *changed = false;
  DWORD size = 0;
  LONG rc = ERROR_SUCCESS;
  BYTE* data = read_value_block(product, "DepartmentsReportTo", &size, nullptr, &rc);
  if (data == nullptr && rc != ERROR_FILE_NOT_FOUND) return rc;
  MultiString names;
  if (!multi_string_start(&names, size + static_cast<DWORD>(kListNameChars) + 3)) {
    free_block(data);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  bool listed = false;
  for_each_name(data, size, [&](const char* name) {
    bool same = equal_ignoring_case(name, department);
    listed = listed || same;
    if (!same || add) multi_string_add(&names, name, size);
    *changed = *changed || (same && !add);
    return true;
  });
  free_block(data);
  if (add && !listed) {
    multi_string_add(&names, department, kListNameChars);
    *changed = true;
  }
  // The department operations keep the multi-string under the type of a single text.
  if (*changed)
    rc = RegSetValueExA(product, "DepartmentsReportTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(names.data),
                        multi_string_bytes(names));
  multi_string_free(&names);
  return *changed ? rc : ERROR_SUCCESS;
}

}  // namespace

DWORD SetDepartment(const char* server, const char* department, DWORD mode) {
  if (department == nullptr) department = "";
  HKEY machine, product;
  if (DWORD rc = connect_server(server, kDepartmentTitle, &machine)) return rc;
  LONG result = open_settings_root(machine, server, kProductRoot, KEY_ALL_ACCESS, &product);
  if (result != ERROR_SUCCESS) {
    show_error("Unable to set department value", "Error %d opening VORNIX key on server %s", result, server);
    return static_cast<DWORD>(result);
  }
  // The steps run in turn; the first that fails says so and ends the change.
  bool changed = false;
  if (mode == kDepartmentRemove || mode == kDepartmentHost) {
    result = edit_departments(product, department, false, &changed);
    if (result != ERROR_SUCCESS)
      show_error("ERROR ON DEPARTMENT HOST REMOVAL", "RH0:Error %d removing %s=%s", result, "DepartmentsReportTo",
                 department);
  }
  if (result == ERROR_SUCCESS && (mode == kDepartmentRemove || mode == kDepartmentReportTo)) {
    char hosted[kSettingTextBytes] = {};
    DWORD size = sizeof hosted - 1;
    if (RegQueryValueExA(product, "DepartmentHosted", nullptr, nullptr, reinterpret_cast<BYTE*>(hosted), &size) ==
            ERROR_SUCCESS &&
        equal_ignoring_case(hosted, department)) {
      result = RegDeleteValueA(product, "DepartmentHosted");
      if (result != ERROR_SUCCESS)
        show_error("ERROR ON DEPARTMENT HOST REMOVAL", "RH:Error %d removing %s=%s", result, "DepartmentHosted",
                   department);
    }
  }
  if (result == ERROR_SUCCESS && mode == kDepartmentHost) {
    result = RegSetValueExA(product, "DepartmentHosted", 0, REG_SZ, reinterpret_cast<const BYTE*>(department),
                            static_cast<DWORD>(std::strlen(department) + 1));
    if (result != ERROR_SUCCESS)
      show_error("ERROR ON DEPARTMENT HOST SET", "SH:Error %d setting %s=%s", result, "DepartmentHosted", department);
  }
  if (result == ERROR_SUCCESS && mode == kDepartmentReportTo) {
    result = edit_departments(product, department, true, &changed);
    if (result != ERROR_SUCCESS)
      show_error("ERROR ON DEPARTMENT HOST ADDITION", "RH3:Error %d adding %s=%s", result, "DepartmentsReportTo",
                 department);
  }
  RegCloseKey(product);
  return static_cast<DWORD>(result);
}

// ---- The sibling key's IP ranges ----------------------------------------------------

namespace {

constexpr char kIpRangesKeyTitle[] = "ERROR ON IP RANGES KEY";

DWORD open_sibling_owner(const char* server, const char* title, HKEY* key) {
  HKEY machine;
  if (DWORD rc = connect_server(server, title, &machine)) return rc;
  LONG rc = open_settings_root(machine, server, kSiblingRoot, KEY_ALL_ACCESS, key);
  if (rc != ERROR_SUCCESS) show_error(kIpRangesKeyTitle, "Error %d opening %s", rc, kSiblingKey);
  return static_cast<DWORD>(rc);
}

}  // namespace

DWORD ListSiblingIpRanges(HWND list, const char* server) {
  HKEY owner;
  if (open_sibling_owner(server, "UNABLE TO GET IP RANGE DETAILS", &owner) != 0) return 0;
  DWORD listed = ListIpRangesOf(owner, list, nullptr);
  RegCloseKey(owner);
  return listed;
}

DWORD SaveSiblingIpRanges(HWND list, const char* server) {
  HKEY owner;
  DWORD rc = open_sibling_owner(server, "UNABLE TO SAVE IP RANGES", &owner);
  if (rc != 0) return rc;
  rc = SaveIpRangesOf(owner, list, "ERROR ON IP RANGE REMOVAL");
  RegCloseKey(owner);
  return rc;
}

// ---- Allowed versions -----------------------------------------------------------------

DWORD ListAllowedVersions(HWND list, const char* server) {
  HKEY key;
  if (open_root_key(server, kSiblingRoot, KEY_READ, "UNABLE TO GET ALLOWED VERSIONS", &key) != 0) return 0;
  DWORD size = 0;
  LONG rc = 0;
  BYTE* data = read_value_block(key, "AllowedVersions", &size, nullptr, &rc);
  RegCloseKey(key);
  DWORD listed = 0;
  for (DWORD at = 0; data != nullptr && at + 4 <= size; at += 4) {
    char text[16];
    std::snprintf(text, sizeof text, "%u",
                  static_cast<unsigned>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
                                        static_cast<uint32_t>(data[at + 3]) << 24));
    BYTE record[kListItemBytes];
    start_row_record(record, list, nullptr);
    if (insert_list_row(list, text, kIconVersion, record)) ++listed;
  }
  free_block(data);
  return listed;
}

DWORD SaveAllowedVersions(HWND list, const char* server) {
  int rows = 0;
  char text[kRowText];
  const BYTE* record = nullptr;
  while (read_list_row(list, rows, text, sizeof text, &record)) ++rows;
  HKEY machine, key;
  if (DWORD rc = connect_server(server, "UNABLE TO UPDATE ALLOWED VERSIONS", &machine)) return rc;
  if (LONG rc = open_settings_root(machine, server, kSiblingRoot, KEY_ALL_ACCESS, &key)) {
    show_error("UNABLE TO UPDATE LIST OF ALLOWED VERSIONS",
               "Error [%d] occurred while opening\n\nQVAWKQ Key\n\non Server %s.", rc, server);
    return static_cast<DWORD>(rc);
  }
  auto* numbers = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, 4 * static_cast<size_t>(rows) + 4));
  if (numbers == nullptr) {
    RegCloseKey(key);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  for (int row = 0; row < rows && read_list_row(list, row, text, sizeof text, &record); ++row) {
    uint32_t number = row_number(text);
    for (int b = 0; b < 4; ++b) numbers[4 * row + b] = static_cast<BYTE>(number >> (8 * b));
  }
  LONG result = RegDeleteValueA(key, "AllowedVersions");
  if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  if (result == ERROR_SUCCESS && rows > 0)
    result = RegSetValueExA(key, "AllowedVersions", 0, REG_BINARY, numbers, 4 * static_cast<DWORD>(rows));
  if (result != ERROR_SUCCESS)
    show_error("ERROR ON LOCAL LOGON CONFIGURATION UPDATE", "Error %d adding %s", result, "AllowedVersions");
  free_block(numbers);
  RegCloseKey(key);
  return static_cast<DWORD>(result);
}

// ---- The sibling product's request port --------------------------------------------------

DWORD ReadSiblingRequestPort(const char* server) {
  HKEY machine, key;
  if (connect_server(server, kServerSettingTitle, &machine) != 0) return 0;
  // Read only: asking for the port makes no sibling key on a server without one.
  if (RegOpenKeyExA(machine, kSiblingKey, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) return 0;
  DWORD port = 0, type = 0, size = sizeof port;
  LONG rc = RegQueryValueExA(key, "IPv4PortKQRequests", nullptr, &type, reinterpret_cast<BYTE*>(&port), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? port : 0;
}

// ---- The permitted-hours grid ---------------------------------------------------------

bool valid_hour(const BYTE grid[kValidHoursGridBytes], int day, int hour) {
  int bit = day * 24 + hour;
  return (grid[bit / 8] >> (bit % 8)) & 1;
}

void set_valid_hour(BYTE grid[kValidHoursGridBytes], int day, int hour, bool permitted) {
  int bit = day * 24 + hour;
  if (permitted) grid[bit / 8] = static_cast<BYTE>(grid[bit / 8] | 1 << (bit % 8));
  else grid[bit / 8] = static_cast<BYTE>(grid[bit / 8] & ~(1 << (bit % 8)));
}

DWORD SaveValidHoursGrid(const char* server, const BYTE grid[kValidHoursGridBytes]) {
  HKEY key;
  DWORD rc = open_root_key(server, kSiblingRoot, KEY_ALL_ACCESS, "UNABLE TO SET VALID HOURS GRID", &key);
  if (rc != 0) return rc;  // a key that will not open is left alone
  rc = static_cast<DWORD>(RegSetValueExA(key, "ValidHoursGrid", 0, REG_BINARY, grid, kValidHoursGridBytes));
  RegCloseKey(key);
  return rc;
}

DWORD GetValidHoursGrid(const char* server, BYTE grid[kValidHoursGridBytes]) {
  std::memset(grid, 0, kValidHoursGridBytes);
  HKEY key;
  DWORD rc = open_root_key(server, kSiblingRoot, KEY_READ, "UNABLE TO GET VALID HOURS GRID", &key);
  if (rc != 0) return rc;
  BYTE stored[50] = {};
  DWORD size = sizeof stored;
  rc = static_cast<DWORD>(RegQueryValueExA(key, "ValidHoursGrid", nullptr, nullptr, stored, &size));
  RegCloseKey(key);
  if (rc == ERROR_FILE_NOT_FOUND) return 0;
  if (rc == 0) std::memcpy(grid, stored, kValidHoursGridBytes);
  return rc;
}

// ---- Containers whose local logons are tracked ----------------------------------------

DWORD ListLocalLogonContainers(HWND list, const char* server) {
  HKEY product;
  if (open_root_key(server, kProductRoot, KEY_READ, "UNABLE TO GET LOCAL LOGON CONTAINER CONFIGURED LIST", &product) != 0)
    return 0;
  HKEY key;
  LONG rc = RegOpenKeyExA(product, kContainersKey, 0, remote_access(KEY_READ), &key);
  RegCloseKey(product);
  // A server that never had a container saved has no key yet: nothing to list.
  if (rc == ERROR_FILE_NOT_FOUND) return 0;
  if (rc != ERROR_SUCCESS) {
    show_error("ERROR OPENING LLOUTRACKED", "Error %d opening LLOUTracked", rc, "");
    return 0;
  }
  DWORD listed = 0;
  for (DWORD index = 0;; ++index) {
    char name[kRowText];
    DWORD size = sizeof name;
    LONG e = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS || list_has(list, name)) continue;
    BYTE record[kListItemBytes];
    start_row_record(record, list, nullptr);
    if (insert_list_row(list, name, kIconContainer, record)) ++listed;
  }
  RegCloseKey(key);
  return listed;
}

DWORD SaveLocalLogonContainers(HWND list, const char* server, DWORD keep) {
  const char* title = "UNABLE TO UPDATE LOCAL LOGON CONFIGURATION";
  HKEY machine, product;
  if (DWORD rc = connect_server(server, title, &machine)) return rc;
  if (LONG rc = open_settings_root(machine, server, kProductRoot, KEY_ALL_ACCESS, &product)) {
    show_error(title, "Error [%d] occurred while opening\n\n%s\n\non Server %s.", rc, kProductKey, server);
    return static_cast<DWORD>(rc);
  }
  HKEY key;
  DWORD disposition = 0;
  LONG result = RegCreateKeyExA(product, kContainersKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                remote_access(KEY_ALL_ACCESS), nullptr, &key, &disposition);
  RegCloseKey(product);
  if (result != ERROR_SUCCESS) {
    show_error(title, "Error %d opening LLOUTracked Key on server %s.", result, server);
    return static_cast<DWORD>(result);
  }
  result = delete_all_values(key);
  char text[kDirectoryPathBytes] = {};
  // The setting published to the agents' service connection points: the saved containers, separated by ";".
  char setting[1025] = {};
  const BYTE* record = nullptr;
  for (int row = 0; keep != 0 && result == ERROR_SUCCESS && read_list_row(list, row, text, sizeof text, &record);
       ++row) {
    // A container chosen from the domain's stands for its distinguished name.
    const DirectoryRowEntry* entry = record && item_word(record, kItemWordModule) == kModuleNumber
                                         ? row_directory_entry(record) : nullptr;
    if (entry != nullptr && entry->path[0] != '\0') copy_text(text, sizeof text, entry->path);
    if (text[0] == '\0') continue;
    result = RegSetValueExA(key, text, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(std::strlen(text) + 1));
    if (setting[0]) append_text(setting, sizeof setting, ";");
    append_text(setting, sizeof setting, text);
  }
  if (result != ERROR_SUCCESS)
    show_error("ERROR ON LOCAL LOGON CONFIGURATION UPDATE", "Error %d adding %s", result, text);
  RegCloseKey(key);
  if (result == ERROR_SUCCESS) PublishToForestServicePoints(setting);
  return static_cast<DWORD>(result);
}
