// The DLL entry routine, the start-up handshake and process detach.
#include <cstdio>
#include <cstring>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/subsystems.h"
#include "host/text.h"

LibraryState g_library;
uintptr_t g_host_services[kHostTableSlots];

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

void read_local_ipv4() {
  copy_text(g_library.ipv4_text, sizeof g_library.ipv4_text, "???.???.???.???");
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return;
  char host_name[100] = {};
  if (gethostname(host_name, 99) == 0) {
    hostent* host = gethostbyname(host_name);
    if (host && host->h_addr_list && host->h_addr_list[0]) {
      const unsigned char* a = reinterpret_cast<const unsigned char*>(host->h_addr_list[0]);
      std::snprintf(g_library.ipv4_text, sizeof g_library.ipv4_text, "%d.%d.%d.%d", a[0], a[1],
                    a[2], a[3]);
    }
  }
  WSACleanup();
}

void read_system_directory() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  char root[400] = {};
  DWORD size = sizeof root - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, "SystemRoot", nullptr, &type, reinterpret_cast<BYTE*>(root), &size) ==
      ERROR_SUCCESS) {
    std::snprintf(g_library.system_directory, sizeof g_library.system_directory, "%s\\system32",
                  root);
    if (g_library.system_directory[0] == '%') g_library.system_directory[0] = '\\';
  }
  RegCloseKey(key);
}

void read_registry_view() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
          ERROR_SUCCESS &&
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  char product[266] = {};
  DWORD size = sizeof product - 1;
  if (RegQueryValueExA(key, "ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(product),
                       &size) == ERROR_SUCCESS)
    g_library.registry_view = contains_ignoring_case(product, "2000") ? 0 : KEY_WOW64_64KEY;
  RegCloseKey(key);
}

void resolve_optional_functions() {
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  if (advapi)
    g_library.reg_delete_key_ex =
        reinterpret_cast<RegDeleteKeyExAFn>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")));
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  if (kernel)
    g_library.get_computer_name_ex =
        reinterpret_cast<GetComputerNameExWFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetComputerNameExW")));
}

void resolve_window_theme() {
  HMODULE uxtheme = LoadLibraryA("UXTHEME");
  if (uxtheme)
    g_library.set_window_theme =
        reinterpret_cast<SetWindowThemeFn>(reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
}

// Takes the host's memory pair when it lends one.
void request_memory_pair() {
  g_library.allocate = GlobalAlloc;
  g_library.free_block = GlobalFree;
  auto request = host_service<HostRequestFn>(kHostRequest);
  if (request == nullptr) return;
  uintptr_t* block = nullptr;
  request(kHostRequestMagic, 0, &block, 0, kHostRequestTables, kHostTablesMemoryPair);
  if (block && block[0] == kMemoryPairMarker && block[1] && block[2]) {
    g_library.allocate = reinterpret_cast<MemoryAllocateFn>(block[1]);
    g_library.free_block = reinterpret_cast<MemoryFreeFn>(block[2]);
  }
}

void read_console_user() {
  char domain[512] = {};
  char user[512] = {};
  GetEnvironmentVariableA("USERDOMAIN", domain, sizeof domain);
  GetEnvironmentVariableA("USERNAME", user, sizeof user);
  copy_text(g_library.console_user, sizeof g_library.console_user, domain);
  if (domain[0] != '\0') append_text(g_library.console_user, sizeof g_library.console_user, "\\");
  append_text(g_library.console_user, sizeof g_library.console_user, user);
}

void keep_host_program_name() {
  const char* path = reinterpret_cast<const char*>(g_host_services[kHostProgramPath]);
  if (path == nullptr) return;
  const char* slash = std::strrchr(path, '\\');
  copy_text(g_library.host_program, sizeof g_library.host_program, slash ? slash + 1 : path);
}

void detach() {
  g_library.shutdown = 1;
  Sleep(1000);
  if (g_library.com_initialised) {
    CoUninitialize();
    g_library.com_initialised = 0;
  }
  release_subsystems();  // the registry connection cache first, then the report lists
  release_main_server_list();
  release_styled_lists();
  release_drawing_resources();
}

}  // namespace

void* allocate_block(UINT flags, SIZE_T bytes) {
  MemoryAllocateFn allocate = g_library.allocate ? g_library.allocate : GlobalAlloc;
  HGLOBAL handle = allocate(flags, bytes);
  return handle ? GlobalLock(handle) : nullptr;
}

void free_block(void* block) {
  if (block == nullptr) return;
  MemoryFreeFn release = g_library.free_block ? g_library.free_block : GlobalFree;
  release(block);
}

int call_get_computer_name_ex(COMPUTER_NAME_FORMAT format, LPWSTR buffer, LPDWORD size) {
  if (g_library.get_computer_name_ex == nullptr) {
    MessageBoxA(nullptr, "SCP Error 0xA", library_title(), MB_ICONERROR);
    return 255;
  }
  return g_library.get_computer_name_ex(format, buffer, size);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) detach();
  else g_library.instance = instance;
  return TRUE;
}

QVMR_EXPORT DWORD WINAPI introduction_in(DWORD* identity1, DWORD* identity2, DWORD* identity3,
                                         DWORD* module_number) {
  if (identity1) *identity1 = 0xA3310000;
  if (identity2) *identity2 = 0x00006999;
  if (identity3) *identity3 = 0x03112189;
  if (module_number) *module_number = kModuleNumber;
  return 1;
}

QVMR_EXPORT DWORD WINAPI establish_tables(DWORD version, const uintptr_t* table) {
  if (version != kInterfaceVersion || table == nullptr) {
    g_library.initialised = 0;
    show_message(nullptr, "UNABLE TO LOAD DLL\n\nVERSION MISMATCH WITH RARODO BASE",
                 "VORNIX message from QVMR0007.DLL", MB_ICONERROR);
    return 0;
  }
  for (int entry = 1; entry < kHostTableSlots; ++entry)
    if (entry != 5) g_host_services[entry] = table[entry];
  g_library.initialised = 1;

  if (GetTimeZoneInformation(&g_library.time_zone) != TIME_ZONE_ID_DAYLIGHT)
    g_library.time_zone.DaylightBias = 0;
  g_library.daylight_bias_seconds = 65535;
  g_library.daylight_rule = 65535;

  CoInitialize(nullptr);
  g_library.com_initialised = 1;

  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
  InitCommonControlsEx(&controls);

  read_local_ipv4();
  keep_host_program_name();

  DWORD size = sizeof g_library.computer_name;
  std::memset(g_library.computer_name, 0, sizeof g_library.computer_name);
  GetComputerNameA(g_library.computer_name, &size);

  read_system_directory();
  read_registry_view();
  resolve_optional_functions();

  copy_text(g_library.current_item_name, sizeof g_library.current_item_name, "<unknown>");
  GetCurrentDirectoryA(sizeof g_library.start_directory, g_library.start_directory);

  request_memory_pair();
  read_console_user();
  resolve_window_theme();
  return g_library.initialised;
}
