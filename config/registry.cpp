// The remote registry connection cache, the product key tree on each server,
// the console's known servers and the deletion of key trees.
#include "config/registry.h"

#include <cstdio>
#include <cstring>

#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"

RegistryState g_registry;

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kAllowedPathsKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\SecurePipeServers\\winreg\\AllowedPaths";
constexpr char kAllowedProductEntry[] = "Software\\Brightmere Software, Inc.";
constexpr DWORD kAllowListLimit = 54027;  // a list this long is left alone
constexpr DWORD kProductNameBytes = 228;
constexpr char kInitialTitle[] = "UNABLE TO INITIALLY ESTABLISH SERVER REG KEY";
constexpr char kProductSubkeys[3][12] = {"Profiles", "Reports", "Enterprise"};
constexpr DWORD kStatusLine = 25;
constexpr COLORREF kStatusText = 0x000000;
constexpr COLORREF kStatusFailure = 0x0000FF;
constexpr COLORREF kStatusBackground = 0xFFFFFF;


// A failure goes to the host's status line when reporting, else to a message box.
void report_failure(DWORD report_to_host, const char* heading, const char* text, const char* title) {
  if (report_to_host) report_status(heading, text, true);
  else show_message(nullptr, text, title, MB_ICONERROR);
}

bool key_exists(HKEY parent, const char* name, REGSAM access) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, access, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

LONG create_key(HKEY parent, const char* name, REGSAM access, HKEY* key) {
  DWORD disposition = 0;
  return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key,
                         &disposition);
}

LONG set_text(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

// A multi-string of one name: the name, its terminator and the list's.
LONG set_single_multi_text(HKEY key, const char* name, const char* text) {
  char list[514] = {};
  copy_text(list, sizeof list - 1, text);
  return RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                        static_cast<DWORD>(std::strlen(list) + 2));
}

LONG set_number(HKEY key, const char* name, DWORD number) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

bool has_text(const char* text) { return text != nullptr && text[0] != '\0'; }

void write_report_values(HKEY product, const char* report_path, const char* departments,
                         const char* enterprise_hosts) {
  if (has_text(departments)) set_single_multi_text(product, "DepartmentsReportTo", departments);
  if (has_text(enterprise_hosts))
    set_single_multi_text(product, "EnterpriseHostsReportTo", enterprise_hosts);
  if (has_text(report_path)) set_text(product, "ReportPath", report_path);
}

// Creates the missing standard subkeys, pausing between the remote creations:
// before the first only when the product key was there, before each when it is new.
void complete_product_subkeys(HKEY product, REGSAM access, bool new_key) {
  bool first = true;
  for (const char* name : kProductSubkeys) {
    if (key_exists(product, name, access)) continue;
    if (first || new_key) Sleep(200);
    first = false;
    HKEY sub;
    if (create_key(product, name, access, &sub) == ERROR_SUCCESS) RegCloseKey(sub);
    Sleep(250);
  }
}

// Opens or creates SOFTWARE\Brightmere Software, Inc.\<leaf>, pausing between the steps.
LONG create_vendor_key(HKEY root, const char* leaf, REGSAM access, HKEY* out) {
  HKEY software, vendor;
  LONG rc = RegOpenKeyExA(root, "SOFTWARE", 0, access, &software);
  if (rc != ERROR_SUCCESS) return rc;
  rc = create_key(software, "Brightmere Software, Inc.", access, &vendor);
  RegCloseKey(software);
  if (rc != ERROR_SUCCESS) return rc;
  Sleep(250);
  rc = create_key(vendor, leaf, access, out);
  RegCloseKey(vendor);
  Sleep(250);
  return rc;
}

// Reads ProductName of the server and sets the remote view flag from it.
void set_remote_view(HKEY server) {
  HKEY version;
  if (RegOpenKeyExA(server, kCurrentVersionKey, 0, KEY_READ | KEY_WOW64_64KEY, &version) != ERROR_SUCCESS &&
      RegOpenKeyExA(server, kCurrentVersionKey, 0, KEY_READ, &version) != ERROR_SUCCESS)
    return;
  char product[kProductNameBytes + 1] = {};
  DWORD size = kProductNameBytes;
  DWORD type = 0;
  if (RegQueryValueExA(version, "ProductName", nullptr, &type, reinterpret_cast<BYTE*>(product),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    product[0] = '\0';
  g_registry.remote_view = contains_ignoring_case(product, "2000") ? 0 : KEY_WOW64_64KEY;
  RegCloseKey(version);
}

bool wide_entry_is_product(const WCHAR* entry, size_t units) {
  char narrow[sizeof kAllowedProductEntry] = {};
  if (units != sizeof kAllowedProductEntry - 1) return false;
  for (size_t i = 0; i < units; ++i) {
    if (entry[i] > 0xFF) return false;
    narrow[i] = static_cast<char>(entry[i]);
  }
  return equal_ignoring_case(narrow, kAllowedProductEntry);
}

// Makes the server's remote-registry allow list admit the product's keys.
void admit_product_keys(HKEY server) {
  static const WCHAR kMachine[] = {'M', 'a', 'c', 'h', 'i', 'n', 'e', 0};
  HKEY paths;
  if (RegOpenKeyExA(server, kAllowedPathsKey, 0, remote_access(KEY_ALL_ACCESS), &paths) != ERROR_SUCCESS)
    return;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(paths, kMachine, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      size >= kAllowListLimit) {
    RegCloseKey(paths);
    return;
  }
  const size_t entry_units = sizeof kAllowedProductEntry - 1;
  size_t capacity = size + (entry_units + 3) * sizeof(WCHAR);
  auto* list = static_cast<WCHAR*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, capacity));
  if (list == nullptr) {
    RegCloseKey(paths);
    return;
  }
  DWORD read = size;
  if (RegQueryValueExW(paths, kMachine, nullptr, &type, reinterpret_cast<BYTE*>(list), &read) ==
          ERROR_SUCCESS &&
      read <= size) {
    size_t units = read / sizeof(WCHAR);
    bool admitted = false;
    for (size_t start = 0; start < units && !admitted;) {
      size_t end = start;
      while (end < units && list[end] != 0) ++end;
      admitted = wide_entry_is_product(list + start, end - start);
      start = end + 1;
    }
    if (!admitted) {
      while (units > 0 && list[units - 1] == 0) --units;  // drop the list's terminators
      if (units > 0) list[units++] = 0;
      for (size_t i = 0; i < entry_units; ++i)
        list[units++] = static_cast<unsigned char>(kAllowedProductEntry[i]);
      list[units++] = 0;
      list[units++] = 0;
      RegSetValueExW(paths, kMachine, 0, type, reinterpret_cast<const BYTE*>(list),
                     static_cast<DWORD>(units * sizeof(WCHAR)));
    }
  }
  free_block(list);
  RegCloseKey(paths);
}

void append_connection(const char* server, HKEY key) {
  auto* node = static_cast<RegistryConnection*>(
      allocate_block(GMEM_FIXED | GMEM_ZEROINIT, sizeof(RegistryConnection)));
  if (node == nullptr) return;  // the connection works, it is only not kept
  node->next = nullptr;
  copy_text(node->server, sizeof node->server, server);
  node->key = key;
  RegistryConnection** tail = &g_registry.connections;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
}

// Shows a connection failure unless it is the same server as the last failure.
void report_connect_failure(const char* server, const char* text, const char* title,
                            DWORD report_to_host) {
  if (equal_ignoring_case(g_registry.last_failed_server, server)) return;
  copy_text(g_registry.last_failed_server, sizeof g_registry.last_failed_server, server);
  report_failure(report_to_host, "Connecting to Registry", text, title);
}

REGSAM product_access(REGSAM rights) {
  return g_library.sibling_mode ? rights : remote_access(rights);
}

const char* console_key() { return g_library.sibling_mode ? kSiblingKey : kProductKey; }

void known_servers_path(bool sibling, char* path, size_t size) {
  std::snprintf(path, size, "%s\\MY_SERVERS", sibling ? kSiblingKey : kProductKey);
}

// Reads the first byte of a value of any type and size; false when it is missing.
bool read_first_byte(HKEY key, const char* name, BYTE* first) {
  DWORD size = 0;
  *first = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  if (size == 0) return true;
  auto* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, size));
  if (data == nullptr) return true;
  DWORD read = size;
  if (RegQueryValueExA(key, name, nullptr, nullptr, data, &read) == ERROR_SUCCESS && read > 0)
    *first = data[0];
  free_block(data);
  return true;
}

// Waits 1.5 seconds before greeting, in short steps that end at the shutdown
// flag: detach does not wait for this thread beyond its one-second pause, which
// outlasts a step. A greeting already on screen stays until it is answered.
DWORD WINAPI show_welcome(LPVOID) {
  for (int waited = 0; waited < 1500 && !g_library.shutdown; waited += 100) Sleep(100);
  if (!g_library.shutdown)
    show_greeting(reinterpret_cast<HWND>(g_host_services[kHostMainWindow]),
                  "On the following screen you will select the Windows Server to install VORNIX.",
                  "Welcome to VORNIX", MB_ICONINFORMATION);
  return 0;
}

void start_welcome() {
  if (g_registry.welcome_thread) {
    if (WaitForSingleObject(g_registry.welcome_thread, 0) != WAIT_OBJECT_0) return;  // still greeting
    CloseHandle(g_registry.welcome_thread);
  }
  g_registry.welcome_thread = CreateThread(nullptr, 0, show_welcome, nullptr, 0, nullptr);
}

}  // namespace

void report_status(const char* heading, const char* text, bool failure) {
  auto show = host_service<HostShowStatusLineFn>(kHostShowStatusLine);
  if (show == nullptr) return;
  char line[700];
  if (text) std::snprintf(line, sizeof line, "%s: %s", heading, text);
  else copy_text(line, sizeof line, heading);
  show(nullptr, 0, kStatusLine, line, failure ? kStatusFailure : kStatusText, kStatusBackground);
}

REGSAM remote_access(REGSAM rights) { return rights | g_registry.remote_view; }
REGSAM local_access(REGSAM rights) { return rights | g_library.registry_view; }

const char* server_machine_name(const char* server) {
  return equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server;
}

DWORD ConnectServerRegistry(const char* server, HKEY* key, const char* error_title,
                            DWORD report_to_host) {
  *key = nullptr;
  if (server == nullptr) server = "";
  if (contains_ignoring_case(server, "none found")) return 0;
  const char* name = server_machine_name(server);
  if (report_to_host) {
    char text[160];
    std::snprintf(text, sizeof text, "connecting... %.100s", name);
    report_status("Connecting to Registry", text, false);
  }
  for (RegistryConnection* c = g_registry.connections; c; c = c->next) {
    if (equal_ignoring_case(c->server, name)) {
      *key = c->key;
      return 0;
    }
  }

  char text[300];
  char unc[kServerNameMostBytes + 2] = "\\\\";
  append_text(unc, sizeof unc, name);
  HKEY remote = nullptr;
  LONG rc = RegConnectRegistryA(unc, HKEY_LOCAL_MACHINE, &remote);
  if (rc != ERROR_SUCCESS) {
    Sleep(150);
    rc = RegConnectRegistryA(unc, HKEY_LOCAL_MACHINE, &remote);
  }
  if (rc != ERROR_SUCCESS) {
    Sleep(350);
    rc = RegConnectRegistryA(unc, HKEY_LOCAL_MACHINE, &remote);
  }
  if (rc != ERROR_SUCCESS) {
    if (rc == ERROR_BAD_NETPATH || rc == ERROR_BAD_NET_NAME)
      std::snprintf(text, sizeof text, "Unable to connect to Registry - machine %.100s not found on network", name);
    else
      std::snprintf(text, sizeof text, "Unable to connect to %.100s's Registry, err=%d", name, static_cast<int>(rc));
    report_connect_failure(name, text, error_title, report_to_host);
    return static_cast<DWORD>(rc);
  }
  append_connection(name, remote);
  *key = remote;
  set_remote_view(remote);
  admit_product_keys(remote);
  return 0;
}

DWORD EstablishServerKey(HKEY key, const char* server, const char* report_path,
                         const char* departments_report_to, const char* enterprise_hosts_report_to) {
  if (g_library.sibling_mode) return EstablishSiblingKey(key, server, report_path);
  if (key == nullptr) {
    DWORD rc = ConnectServerRegistry(server, &key, kInitialTitle, 0);
    if (rc != 0 || key == nullptr) return rc;
  }
  REGSAM access = remote_access(KEY_ALL_ACCESS);
  HKEY product;
  if (RegOpenKeyExA(key, kProductKey, 0, access, &product) == ERROR_SUCCESS) {
    write_report_values(product, report_path, departments_report_to, enterprise_hosts_report_to);
    complete_product_subkeys(product, access, false);
    RegCloseKey(product);
    return 0;
  }
  LONG rc = create_vendor_key(key, "VORNIX", access, &product);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  complete_product_subkeys(product, access, true);
  DWORD now = current_seconds();
  set_number(product, "LastUpdateDate", now);
  DWORD size = 0;
  if (RegQueryValueExA(product, "OriginalInstallDate", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    set_number(product, "OriginalInstallDate", now);
  write_report_values(product, report_path, departments_report_to, enterprise_hosts_report_to);
  RegCloseKey(product);
  return 0;
}

DWORD EstablishSiblingKey(HKEY key, const char* server, const char* report_path) {
  if (key == nullptr) {
    DWORD rc = ConnectServerRegistry(server, &key, kInitialTitle, 0);
    if (rc != 0 || key == nullptr) return rc;
  }
  HKEY sibling;
  if (RegOpenKeyExA(key, kSiblingKey, 0, KEY_ALL_ACCESS, &sibling) != ERROR_SUCCESS) {
    LONG rc = create_vendor_key(key, "QVAWKQ", KEY_ALL_ACCESS, &sibling);
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  }
  if (has_text(report_path)) set_text(sibling, "ReportPath", report_path);
  RegCloseKey(sibling);
  return 0;
}

DWORD UpdateKnownServer(const char* server, DWORD operation, BYTE* address) {
  if (!has_text(server)) return ERROR_INVALID_NAME;
  char path[200];
  known_servers_path(g_library.sibling_mode != 0, path, sizeof path);
  REGSAM access = g_library.sibling_mode ? KEY_ALL_ACCESS : local_access(KEY_ALL_ACCESS);
  HKEY known;
  LONG rc = create_key(HKEY_CURRENT_USER, path, access, &known);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);

  if (operation == kKnownServerResolve) {
    BYTE resolved[4] = {};
    WSADATA data;
    int started = WSAStartup(MAKEWORD(1, 1), &data);
    hostent* host = started == 0 ? gethostbyname(server) : nullptr;
    int error = host ? 0 : started != 0 ? started : WSAGetLastError();
    if (host && host->h_addr_list && host->h_addr_list[0]) std::memcpy(resolved, host->h_addr_list[0], 4);
    if (started == 0) WSACleanup();
    if (host == nullptr) {
      // Nothing is stored: an entry the user made stays as it was.
      char text[200];
      std::snprintf(text, sizeof text, "Unable to find the IPv4 address of %.100s, err=%d", server, error);
      show_message(nullptr, text, nullptr, MB_ICONERROR);
      RegCloseKey(known);
      return static_cast<DWORD>(error);
    }
    rc = RegSetValueExA(known, server, 0, REG_BINARY, resolved, sizeof resolved);
    if (rc == ERROR_SUCCESS && address) std::memcpy(address, resolved, sizeof resolved);
  } else if (operation == kKnownServerStore) {
    rc = address ? RegSetValueExA(known, server, 0, REG_BINARY, address, 4) : ERROR_INVALID_PARAMETER;
  } else {
    rc = RegDeleteValueA(known, server);
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;  // already gone
  }
  RegCloseKey(known);
  return static_cast<DWORD>(rc);
}

DWORD KnownServerNames(char (*names)[kCachedServerNameBytes], DWORD capacity) {
  char path[200];
  known_servers_path(g_library.sibling_mode != 0, path, sizeof path);
  HKEY known;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, g_library.sibling_mode ? KEY_ALL_ACCESS : local_access(KEY_READ),
                    &known) != ERROR_SUCCESS)
    return 0;
  DWORD count = 0;
  for (DWORD index = 0; count < capacity; ++index) {
    DWORD size = kCachedServerNameBytes;
    LONG rc = RegEnumValueA(known, index, names[count], &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS && names[count][0] != '\0') ++count;
  }
  RegCloseKey(known);
  return count;
}

bool KnownServerAddress(const char* server, BYTE address[4]) {
  char path[200];
  known_servers_path(g_library.sibling_mode != 0, path, sizeof path);
  HKEY known;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, local_access(KEY_READ), &known) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 4;
  LONG rc = RegQueryValueExA(known, server, nullptr, &type, address, &size);
  RegCloseKey(known);
  return rc == ERROR_SUCCESS && type == REG_BINARY && size == 4;
}

DWORD ListKnownServers(uint32_t request, HWND list, DWORD window_key) {
  auto add_row = host_service<HostAddValueRowFn>(kHostAddValueRow);
  if (add_row == nullptr) return 0;
  bool sibling = g_library.sibling_mode || request == kSiblingServerList;
  char path[200];
  known_servers_path(sibling, path, sizeof path);
  DWORD listed = 0;
  HKEY known;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, sibling ? KEY_ALL_ACCESS : local_access(KEY_READ),
                    &known) == ERROR_SUCCESS) {
    for (DWORD index = 0;; ++index) {
      char name[260] = {};
      DWORD name_size = sizeof name;
      BYTE data[4] = {};
      DWORD data_size = sizeof data;
      DWORD type = 0;
      LONG rc = RegEnumValueA(known, index, name, &name_size, nullptr, &type, data, &data_size);
      if (rc == ERROR_MORE_DATA) {
        // Data that is not a 4-byte address counts as no address.
        name_size = sizeof name;
        std::memset(data, 0, sizeof data);
        data_size = 0;
        rc = RegEnumValueA(known, index, name, &name_size, nullptr, &type, nullptr, nullptr);
      }
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS || name[0] == '\0') continue;
      if (type != REG_BINARY || data_size != 4) std::memset(data, 0, sizeof data);
      uint32_t value;
      std::memcpy(&value, data, sizeof value);
      add_row(list, window_key, name, value, 1);
      ++listed;
    }
    RegCloseKey(known);
  }
  if (request == kCustomReportServerList) {
    add_row(list, window_key, kLocalMachineName, 0, 1);
    ++listed;
  }
  if (listed == 0 && request == kConsoleServerList) start_welcome();
  else if (listed == 0) add_row(list, window_key, kNoneFoundName, 0, 1);
  return listed;
}

DWORD ReadReportPath(HKEY machine, REGSAM access, char* out, size_t size) {
  out[0] = '\0';
  HKEY product;
  LONG rc = RegOpenKeyExA(machine, kProductKey, 0, access, &product);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  DWORD type = 0, bytes = size - 1 < kReportPathMostBytes ? static_cast<DWORD>(size - 1) : kReportPathMostBytes;
  rc = RegQueryValueExA(product, "ReportPath", nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
  RegCloseKey(product);
  // An expandable text is taken as stored: its variables would be the server's, which the console has not.
  if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
    out[bytes] = '\0';
    if (out[0] != '\0') return 0;
  }
  out[0] = '\0';
  return static_cast<DWORD>(rc == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : rc);
}

namespace {

constexpr char kQuickReportKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT";

struct QuickReportNumber {
  const char* value;
  DWORD QuickReportSettings::*field;
};
constexpr QuickReportNumber kQuickReportNumbers[] = {
    {"LASTXDAYS", &QuickReportSettings::last_days},        {"LASTXRECS", &QuickReportSettings::last_records},
    {"LASTXHOURS", &QuickReportSettings::last_hours},      {"FROMDATE", &QuickReportSettings::from_date},
    {"TODATE", &QuickReportSettings::to_date},             {"STOPXRECS", &QuickReportSettings::stop_records},
    {"TYPE_LL", &QuickReportSettings::type_ll},            {"TYPE_FS", &QuickReportSettings::type_fs},
    {"TYPE_AD", &QuickReportSettings::type_ad},            {"TYPE_GP", &QuickReportSettings::type_gp},
    {"_ALLDATES", &QuickReportSettings::all_dates},        {"_LASTXDAYS", &QuickReportSettings::by_last_days},
    {"_LASTXRECS", &QuickReportSettings::by_last_records}, {"_LASTXHOURS", &QuickReportSettings::by_last_hours},
    {"_FROMTODATE", &QuickReportSettings::by_from_to_date}, {"_STOPXRECS", &QuickReportSettings::stop_at_records},
    {"_SEARCH001", &QuickReportSettings::search_on},
};

LONG delete_if_present(HKEY key, const char* name) {
  LONG rc = RegDeleteValueA(key, name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

}  // namespace

DWORD SaveQuickReportSettings(const QuickReportSettings& settings) {
  HKEY key;
  LONG rc = create_key(HKEY_CURRENT_USER, kQuickReportKey, local_access(KEY_ALL_ACCESS), &key);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  LONG first = ERROR_SUCCESS;
  for (const QuickReportNumber& n : kQuickReportNumbers) {
    DWORD number = settings.*n.field;
    rc = number ? set_number(key, n.value, number) : delete_if_present(key, n.value);
    if (first == ERROR_SUCCESS) first = rc;
  }
  char search[kQuickSearchBytes];
  copy_text(search, sizeof search, settings.search);
  rc = search[0] ? set_text(key, "SEARCH001", search) : delete_if_present(key, "SEARCH001");
  if (first == ERROR_SUCCESS) first = rc;
  RegCloseKey(key);
  return static_cast<DWORD>(first);
}

DWORD ReadQuickReportSettings(QuickReportSettings* settings) {
  *settings = {};
  HKEY key;
  LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, kQuickReportKey, 0, local_access(KEY_READ), &key);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  for (const QuickReportNumber& n : kQuickReportNumbers) {
    DWORD number = 0, type = 0, bytes = sizeof number;
    if (RegQueryValueExA(key, n.value, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) == ERROR_SUCCESS &&
        type == REG_DWORD)
      settings->*n.field = number;
  }
  DWORD type = 0, bytes = sizeof settings->search - 1;
  if (RegQueryValueExA(key, "SEARCH001", nullptr, &type, reinterpret_cast<BYTE*>(settings->search), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    settings->search[0] = '\0';
  settings->search[sizeof settings->search - 1] = '\0';
  RegCloseKey(key);
  return 0;
}

LONG DeleteRegistryKey(HKEY parent, const char* name) {
  LONG rc = RegDeleteKeyA(parent, name);
  if (rc != ERROR_SUCCESS && g_library.reg_delete_key_ex) {
    rc = g_library.reg_delete_key_ex(parent, name, KEY_WOW64_32KEY, 0);
    if (rc != ERROR_SUCCESS) rc = g_library.reg_delete_key_ex(parent, name, KEY_WOW64_64KEY, 0);
  }
  return rc;
}

DWORD DeleteKeyTree(HKEY parent, const char* name, const char* server, DWORD report_to_host) {
  HKEY key;
  LONG rc = RegOpenKeyExA(parent, name, 0, product_access(KEY_ALL_ACCESS), &key);
  if (rc != ERROR_SUCCESS) {
    char text[400];
    std::snprintf(text, sizeof text, "[dk]Error Opening [%.300s] [%d]", name, static_cast<int>(rc));
    report_failure(report_to_host, "Open Registry Key", text, "ERROR OPENING KEY");
    return static_cast<DWORD>(rc);
  }
  DWORD count = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  for (DWORD index = count; index-- > 0;) {
    char sub[101] = {};
    DWORD size = sizeof sub;
    if (RegEnumKeyExA(key, index, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      continue;
    DeleteKeyTree(key, sub, server, report_to_host);
    LONG deleted = DeleteRegistryKey(key, sub);
    if (report_to_host) {
      char text[400];
      std::snprintf(text, sizeof text, "%.100s\\%s on %.100s: %s (%d)", name, sub, server ? server : "",
                    deleted == ERROR_SUCCESS ? "deleted" : "not deleted", static_cast<int>(deleted));
      report_status("Delete Registry Key", text, deleted != ERROR_SUCCESS);
    }
  }
  RegCloseKey(key);
  return 0;
}

DWORD RemoveProductKey(const char* server, DWORD report_to_host) {
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, nullptr, report_to_host);
  if (rc != 0 || root == nullptr) return rc;
  const char* path = console_key();
  HKEY product;
  LONG opened = RegOpenKeyExA(root, path, 0, product_access(KEY_ALL_ACCESS), &product);
  if (opened != ERROR_SUCCESS) {
    char text[200];
    std::snprintf(text, sizeof text, "Error[%d][%d] opening %s key (may already be removed)",
                  static_cast<int>(GetLastError()), static_cast<int>(opened),
                  g_library.sibling_mode ? "QVAWKQ" : "VORNIX");
    report_status("Open Registry Key", text, true);  // to the host whoever asked
    return static_cast<DWORD>(opened);
  }
  RegCloseKey(product);
  return DeleteKeyTree(root, path, server, report_to_host);
}

DWORD ReadScoutServerStatus(const char* server, DWORD* time, BYTE* statistics,
                            ScoutServerStatus* status) {
  std::memset(status, 0, sizeof *status);
  char path[400];
  std::snprintf(path, sizeof path, "%s\\%s", kScoutStatusKey, server ? server : "");
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, local_access(KEY_READ), &key) != ERROR_SUCCESS)
    return kScoutStatusMissing;

  DWORD number = 0, size = sizeof number, type = 0;
  if (RegQueryValueExA(key, "STATS_TIME", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof number && time)
    *time = number;
  if (statistics) {
    std::memset(statistics, 0, kScoutStatisticsBytes);
    size = kScoutStatisticsBytes;
    if (RegQueryValueExA(key, "STATS", nullptr, nullptr, statistics, &size) != ERROR_SUCCESS)
      std::memset(statistics, 0, kScoutStatisticsBytes);
  }
  char department[1513] = {};
  size = sizeof department - 1;
  if (RegQueryValueExA(key, "DepartmentHosted", nullptr, &type, reinterpret_cast<BYTE*>(department),
                       &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ))
    copy_text(status->department, sizeof status->department, department);
  size = 0;
  status->transfer_server_set =
      RegQueryValueExA(key, "SQLServerForTransfer", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
  BYTE first = 0;
  read_first_byte(key, "PerformSQLServerTransfer", &first);
  status->transfer_on = first != 0;
  read_first_byte(key, "InvalidNDISBinding", &status->binding_warning);
  read_first_byte(key, "EmailConfigured", &first);
  status->email_configured = first != 0;
  RegCloseKey(key);
  return 0;
}

void release_registry_connections() {
  if (g_registry.welcome_thread) {
    CloseHandle(g_registry.welcome_thread);
    g_registry.welcome_thread = nullptr;
  }
  RegistryConnection* c = g_registry.connections;
  g_registry.connections = nullptr;
  while (c) {
    RegistryConnection* next = c->next;
    if (c->key) RegCloseKey(c->key);
    free_block(c);
    c = next;
  }
  g_registry.last_failed_server[0] = '\0';
}

// ---- Values kept for a failure part-way -------------------------------------------

bool keep_values(HKEY key, KeptValues* kept) {
  kept->data = nullptr;
  kept->used = 0;
  DWORD count = 0, longest_name = 0, longest_data = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest_name,
                       &longest_data, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  const size_t entry_most = 13 + longest_name + longest_data;
  kept->data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, count * entry_most + 1));
  auto* name = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, longest_name + 1));
  auto* value = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, longest_data + 1));
  bool ok = kept->data && name && value;
  for (DWORD index = 0; ok && index < count; ++index) {
    DWORD name_size = longest_name + 1, type = 0, size = longest_data;
    if (RegEnumValueA(key, index, name, &name_size, nullptr, &type, value, &size) != ERROR_SUCCESS) {
      ok = false;
      break;
    }
    BYTE* at = kept->data + kept->used;
    std::memcpy(at, &name_size, 4);
    std::memcpy(at + 4, name, name_size + 1);
    std::memcpy(at + 5 + name_size, &type, 4);
    std::memcpy(at + 9 + name_size, &size, 4);
    std::memcpy(at + 13 + name_size, value, size);
    kept->used += 13 + name_size + size;
  }
  free_block(name);
  free_block(value);
  if (!ok) release_kept_values(kept);
  return ok;
}

LONG delete_all_values(HKEY key) {
  for (;;) {
    char name[16384];
    DWORD size = sizeof name;
    LONG rc = RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteValueA(key, name);
    if (rc != ERROR_SUCCESS) return rc;
  }
}

void put_back_values(HKEY key, const KeptValues& kept) {
  delete_all_values(key);
  for (DWORD at = 0; at < kept.used;) {
    DWORD name_size, type, size;
    std::memcpy(&name_size, kept.data + at, 4);
    const char* name = reinterpret_cast<const char*>(kept.data + at + 4);
    std::memcpy(&type, kept.data + at + 5 + name_size, 4);
    std::memcpy(&size, kept.data + at + 9 + name_size, 4);
    RegSetValueExA(key, name, 0, type, kept.data + at + 13 + name_size, size);
    at += 13 + name_size + size;
  }
}

void release_kept_values(KeptValues* kept) {
  free_block(kept->data);
  kept->data = nullptr;
  kept->used = 0;
}

void profile_key_path(const char* profile, char* out, size_t size) {
  if (profile == nullptr || profile[0] == '\0') copy_text(out, size, kProductKey);
  else std::snprintf(out, size, "%s\\%s", kProfilesKey, profile);
}

LONG open_profile_key(HKEY server, const char* profile, REGSAM rights, HKEY* key) {
  char path[400];
  profile_key_path(profile, path, sizeof path);
  return RegOpenKeyExA(server, path, 0, remote_access(rights), key);
}
