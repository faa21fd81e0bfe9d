#include "win32/modules.h"

#include <chartdir51.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "mail/smtp_email.h"
#include "win32/kernel_objects.h"
#include "world/world.h"

extern "C" {
LONG WINAPI RegDeleteKeyExA(HKEY key, LPCSTR sub_key, REGSAM access, DWORD reserved);
HRESULT WINAPI SetWindowTheme(HWND window, LPCWSTR app_name, LPCWSTR id_list);
}

namespace {

struct SystemModule {
  const char* name;  // lower case, without ".dll"
  std::map<std::string, FARPROC> exports;
};

struct LoadedModule {
  std::string file_name;
  std::string resource_script;
  std::string resource_header;
};

struct ModuleState {
  std::mutex lock;
  std::map<std::string, SystemModule> system;  // by lower-case name
  std::map<HINSTANCE, LoadedModule> loaded;
  std::set<std::string> hidden;  // "module!export"
  std::set<std::string> hidden_modules;
  std::map<std::string, std::string> resource_files;  // by the path in the resource script
};

std::string module_key(const char* name) {
  std::string key;
  for (const char* p = name; *p; ++p) key += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
  return key;
}

template <typename Fn>
FARPROC as_farproc(Fn fn) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fn));
}

ModuleState& modules() {
  static ModuleState& state = *new ModuleState;
  static std::once_flag filled;
  std::call_once(filled, [] {
    state.system["advapi32"] = {"advapi32", {{"RegDeleteKeyExA", as_farproc(&RegDeleteKeyExA)}}};
    state.system["kernel32"] = {"kernel32", {{"GetComputerNameExW", as_farproc(&GetComputerNameExW)}}};
    state.system["uxtheme"] = {"uxtheme", {{"SetWindowTheme", as_farproc(&SetWindowTheme)}}};
    state.system["ntdll"] = {"ntdll", {}};  // only for its message table (FormatMessageA)
    // The mail library, a real SMTP client (platform/mail).
    state.system["zovuruve"] = {"zovuruve", {{"qvmr_smtp_email", as_farproc(&qvmr_smtp_email)}}};
    // The charting library, drawn with cairo and pango (platform/chartdir).
    SystemModule& charts = state.system["chartdir51"];
    charts.name = "chartdir51";
#define CHARTDIR_EXPORT(result, name, parameters) charts.exports[#name] = as_farproc(&name);
    CHARTDIR_FUNCTIONS(CHARTDIR_EXPORT)
#undef CHARTDIR_EXPORT
  });
  return state;
}

}  // namespace

namespace platform {

const std::string* module_resource_script(HINSTANCE instance) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = m.loaded.find(instance);
  return it == m.loaded.end() ? nullptr : &it->second.resource_script;
}

const std::string* module_resource_header(HINSTANCE instance) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = m.loaded.find(instance);
  return it == m.loaded.end() ? nullptr : &it->second.resource_header;
}

std::string module_path(HMODULE module) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  auto loaded = m.loaded.find(module);
  if (loaded != m.loaded.end()) {
    std::string program = world::console_program();
    return program.substr(0, program.rfind('\\') + 1) + loaded->second.file_name;
  }
  for (const auto& [key, system] : m.system)
    if (reinterpret_cast<HMODULE>(const_cast<SystemModule*>(&system)) == module)
      return "C:\\Windows\\system32\\" + key + ".dll";
  return "";
}

const std::string* resource_file(const std::string& path) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = m.resource_files.find(path);
  return it == m.resource_files.end() ? nullptr : &it->second;
}

}  // namespace platform

extern "C" {

void qvmr_register_resource_file(const char* path, const unsigned char* bytes, size_t size) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  m.resource_files[path].assign(reinterpret_cast<const char*>(bytes), size);
}

HINSTANCE qvmr_register_module(const char* file_name, const char* resource_script,
                               const char* resource_header) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  static int next = 1;
  // Instance handles are small distinct values that no other handle uses.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000000 + 0x10000 * next++));
  m.loaded[instance] = {file_name, resource_script ? resource_script : "",
                        resource_header ? resource_header : ""};
  return instance;
}

void qvmr_unregister_module(HINSTANCE instance) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  m.loaded.erase(instance);
}

void qvmr_hide_export(const char* module, const char* name) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  if (module == nullptr || name == nullptr) {
    m.hidden.clear();
    return;
  }
  m.hidden.insert(module_key(module) + "!" + name);
}

void qvmr_hide_module(const char* module) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  if (module == nullptr) m.hidden_modules.clear();
  else m.hidden_modules.insert(module_key(module));
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = m.system.find(module_key(name));
  if (it == m.system.end() || m.hidden_modules.count(it->first)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(&it->second);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) { return LoadLibraryA(name); }

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  ModuleState& m = modules();
  std::lock_guard<std::mutex> guard(m.lock);
  for (auto& [key, system] : m.system) {
    if (reinterpret_cast<HMODULE>(&system) != module) continue;
    if (name == nullptr || IS_INTRESOURCE(name)) break;
    auto e = system.exports.find(name);
    if (e == system.exports.end() || m.hidden.count(key + "!" + name)) break;
    return e->second;
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE module) { return module != nullptr; }

}  // extern "C"

namespace {

// NTDLL's message table: the few NT status codes whose texts the library shows.
struct NtStatusMessage {
  DWORD status;
  const char* text;
};
const NtStatusMessage kNtStatusMessages[] = {
    {0xC0000022, "{Access Denied}\r\nA process has requested access to an object, but has not been granted "
                 "those access rights.\r\n"},
    {0xC0000034, "Object Name not found.\r\n"},
    {0xC0000043, "A file cannot be opened because the share access flags are incompatible.\r\n"},
    {0xC0000056, "A non close operation has been requested of a file object with a delete pending.\r\n"},
};

// The system's message table: the texts of the Windows errors that the programs here show.
const NtStatusMessage kSystemMessages[] = {
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {53, "The network path was not found.\r\n"},
    {67, "The network name cannot be found.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {1009, "The configuration registry database is corrupt.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1355, "The specified domain either does not exist or could not be contacted.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1726, "The remote procedure call failed.\r\n"},
    {10060, "A connection attempt failed because the connected party did not properly respond after a period of "
            "time, or established connection failed because connected host has failed to respond.\r\n"},
    {10061, "No connection could be made because the target machine actively refused it.\r\n"},
    {11001, "No such host is known.\r\n"},
};

}  // namespace

extern "C" DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD message_id, DWORD, LPSTR buffer,
                                       DWORD size, va_list*) {
  const DWORD supported = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  bool from_ntdll = (flags & FORMAT_MESSAGE_FROM_HMODULE) && source != nullptr && source == LoadLibraryA("ntdll");
  bool from_system = (flags & (FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM)) == FORMAT_MESSAGE_FROM_SYSTEM;
  if ((flags & ~supported) != 0 || (!from_ntdll && !from_system) || !(flags & FORMAT_MESSAGE_IGNORE_INSERTS) ||
      buffer == nullptr) {
    std::fprintf(stderr, "FormatMessageA: unsupported call (flags %#x, message %#x)\n", static_cast<unsigned>(flags),
                 static_cast<unsigned>(message_id));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  const NtStatusMessage* first = from_system ? std::begin(kSystemMessages) : std::begin(kNtStatusMessages);
  const NtStatusMessage* last = from_system ? std::end(kSystemMessages) : std::end(kNtStatusMessages);
  for (const NtStatusMessage* entry = first; entry != last; ++entry) {
    const NtStatusMessage& m = *entry;
    if (m.status != message_id) continue;
    size_t n = std::strlen(m.text);
    if (n + 1 > size) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, m.text, n + 1);
    return static_cast<DWORD>(n);
  }
  std::fprintf(stderr, "FormatMessageA: no text for message %#x\n", static_cast<unsigned>(message_id));
  SetLastError(ERROR_MR_MID_NOT_FOUND);
  return 0;
}
