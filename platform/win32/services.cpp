// advapi32 service control manager over each world machine's services.ini.
//
// services.ini holds one [section] per service or driver: name, display,
// type, start, error_control, image, state (stopped, start_pending,
// stop_pending, running) and, for a pending state, settles_at (clock
// milliseconds) and settles_to. Settings a world may give a service:
// start_delay_ms and stop_delay_ms (how long the pending states last),
// ignores_stop = yes (a stop ends in running again: a service in debug mode),
// open_fault, start_fault and stop_fault (a Windows error those calls fail
// with; stop_fault_times = N fails only the first N stops). machine.ini
// [faults] scm_open = CODE (scm_open_failures = N: the first N opens only) and
// scm_create = CODE (scm_create_service = NAME: only that service). Creation
// and deletion are mirrored under HKLM\SYSTEM\CurrentControlSet\Services as
// Windows keeps them. A service marked for deletion goes when it is stopped
// and no handle to it is open.
//
// One mutex guards handles, counters and the files; it is never held while
// calling into the world, which calls services_forget_all() under its own lock.
#include "win32/services.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "win32/registry_machine.h"
#include "world/world.h"

namespace {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kScoutService[] = "VORNIXWScoutAgent";
constexpr DWORD kManagerReadRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
constexpr DWORD kServiceReadRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                     SERVICE_INTERROGATE;
constexpr DWORD kStandardRights = 0x001F0000;
constexpr DWORD kReadControl = 0x00020000;
constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kGenericExecute = 0x20000000;

struct Service {
  std::string name, display, image;
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  DWORD start_type = SERVICE_DEMAND_START;
  DWORD error_control = SERVICE_ERROR_NORMAL;
  DWORD state = SERVICE_STOPPED;
  uint64_t settles_at = 0;  // when a pending state ends (clock milliseconds)
  DWORD settles_to = SERVICE_STOPPED;
  DWORD start_delay_ms = 0, stop_delay_ms = 0;
  DWORD open_fault = 0, start_fault = 0, stop_fault = 0;
  DWORD stop_fault_times = 0;  // 0: every stop fails
  bool ignores_stop = false;
  bool marked = false;
};
using Database = std::map<std::string, Service>;  // by lower-case name

struct Handle {
  bool manager = false;
  world::Machine machine;
  std::string service;  // lower-case name
  DWORD access = 0;
  uint64_t generation = 0;
};

struct Manager {
  std::mutex lock;
  uint64_t generation = 1;
  std::map<SC_HANDLE, std::unique_ptr<Handle>> handles;
  std::map<std::string, DWORD> attempts;  // calls seen by injected failures
};

Manager& manager() {
  static Manager& instance = *new Manager;
  return instance;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

SC_HANDLE fail_handle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

DWORD unsupported(const char* function, const std::string& what, DWORD error) {
  std::fprintf(stderr, "qvmr7 services: %s: %s not supported\n", function, what.c_str());
  return error;
}

const char* const kStateNames[] = {"", "stopped", "start_pending", "stop_pending", "running"};

DWORD state_of(const std::string& text, const std::string& where) {
  for (DWORD s = SERVICE_STOPPED; s <= SERVICE_RUNNING; ++s)
    if (text == kStateNames[s]) return s;
  if (!text.empty()) std::fprintf(stderr, "qvmr7 services: %s: unknown state '%s', taken as stopped\n", where.c_str(), text.c_str());
  return SERVICE_STOPPED;
}

DWORD number(const world::IniSection& section, const char* key, DWORD fallback = 0) {
  auto it = section.find(key);
  return it == section.end() || it->second.empty() ? fallback : static_cast<DWORD>(std::strtoul(it->second.c_str(), nullptr, 0));
}

std::string text(const world::IniSection& section, const char* key) {
  auto it = section.find(key);
  return it == section.end() ? "" : it->second;
}

std::string database_path(const world::Machine& machine) { return world::machine_path(machine, "services.ini"); }

Database load(const world::Machine& machine) {
  Database db;
  const std::string path = database_path(machine);
  for (const auto& [key, section] : world::read_ini(path)) {
    if (key.empty()) continue;
    Service s;
    s.name = text(section, "name").empty() ? key : text(section, "name");
    s.display = text(section, "display");
    s.image = text(section, "image");
    s.type = number(section, "type", SERVICE_WIN32_OWN_PROCESS);
    s.start_type = number(section, "start", SERVICE_DEMAND_START);
    s.error_control = number(section, "error_control", SERVICE_ERROR_NORMAL);
    s.state = state_of(text(section, "state"), path + " [" + key + "]");
    s.settles_at = std::strtoull(text(section, "settles_at").c_str(), nullptr, 10);
    s.settles_to = state_of(text(section, "settles_to"), path + " [" + key + "]");
    s.start_delay_ms = number(section, "start_delay_ms");
    s.stop_delay_ms = number(section, "stop_delay_ms");
    s.open_fault = number(section, "open_fault");
    s.start_fault = number(section, "start_fault");
    s.stop_fault = number(section, "stop_fault");
    s.stop_fault_times = number(section, "stop_fault_times");
    s.ignores_stop = lower(text(section, "ignores_stop")) == "yes";
    s.marked = lower(text(section, "marked")) == "yes";
    db[lower(s.name)] = s;
  }
  return db;
}

void save(const world::Machine& machine, const Database& db) {
  world::IniFile ini;
  for (const auto& [key, s] : db) {
    world::IniSection& out = ini[key];
    out["name"] = s.name;
    out["display"] = s.display;
    out["image"] = s.image;
    out["type"] = std::to_string(s.type);
    out["start"] = std::to_string(s.start_type);
    out["error_control"] = std::to_string(s.error_control);
    out["state"] = kStateNames[s.state];
    if (s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING) {
      out["settles_at"] = std::to_string(s.settles_at);
      out["settles_to"] = kStateNames[s.settles_to];
    }
    auto keep = [&](const char* name, DWORD value) {
      if (value) out[name] = std::to_string(value);
    };
    keep("start_delay_ms", s.start_delay_ms);
    keep("stop_delay_ms", s.stop_delay_ms);
    keep("open_fault", s.open_fault);
    keep("start_fault", s.start_fault);
    keep("stop_fault", s.stop_fault);
    keep("stop_fault_times", s.stop_fault_times);
    if (s.ignores_stop) out["ignores_stop"] = "yes";
    if (s.marked) out["marked"] = "yes";
  }
  if (!world::write_ini(database_path(machine), ini))
    std::fprintf(stderr, "qvmr7 services: cannot write %s\n", database_path(machine).c_str());
}

int open_handles(const Manager& m, const world::Machine& machine, const std::string& service) {
  int count = 0;
  for (const auto& [value, h] : m.handles)
    if (!h->manager && h->generation == m.generation && h->machine.name == machine.name && h->service == service)
      ++count;
  return count;
}

// Ends the pending states whose time has come, and removes the services marked
// for deletion that are stopped with no handle open. True when anything changed.
bool settle(const Manager& m, const world::Machine& machine, Database& db) {
  const uint64_t now = world::clock_now_ms();
  bool changed = false;
  for (auto it = db.begin(); it != db.end();) {
    Service& s = it->second;
    if ((s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING) && now >= s.settles_at) {
      s.state = s.settles_to;
      changed = true;
    }
    if (s.marked && s.state == SERVICE_STOPPED && open_handles(m, machine, it->first) == 0) {
      win32::registry_delete_machine_key(machine, kServicesKey + s.name);
      it = db.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  return changed;
}

// The database with its pending states settled (and written back when that changed anything).
Database current(const Manager& m, const world::Machine& machine) {
  Database db = load(machine);
  if (settle(m, machine, db)) save(machine, db);
  return db;
}

// Appends one component to a folder, finding an existing entry in any case, as Windows does.
std::string join_ignoring_case(const std::string& folder, const std::string& name) {
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (strcasecmp(entry->d_name, name.c_str()) == 0) {
        std::string found = folder + "/" + entry->d_name;
        ::closedir(dir);
        return found;
      }
    }
    ::closedir(dir);
  }
  return folder + "/" + name;
}

// A service's program as a path of this computer: %SystemRoot% (the machine's
// own) expanded, a path without a drive taken below the system root, quotes
// and arguments dropped. Empty when it names no file of the machine's shares.
std::string image_local_path(const world::Machine& machine, std::string image) {
  if (!image.empty() && image[0] == '"') {
    image = image.substr(1, image.find('"', 1) - 1);
  } else {
    for (const char* ending : {".exe ", ".EXE ", ".sys ", ".SYS "}) {
      size_t at = image.find(ending);
      if (at != std::string::npos) image.resize(at + 4);
    }
  }
  const std::string root = win32::registry_machine_text(machine, kCurrentVersionKey, "SystemRoot", "C:\\Windows");
  const std::string variable = "%systemroot%";
  if (lower(image.substr(0, variable.size())) == variable) image = root + image.substr(variable.size());
  if (image.size() < 2 || image[1] != ':') image = root + "\\" + image;
  std::string path = join_ignoring_case(world::machine_path(machine, "shares"), std::string(1, image[0]) + "$");
  std::string part;
  for (size_t i = 2; i <= image.size(); ++i) {
    if (i == image.size() || image[i] == '\\') {
      if (!part.empty()) path = join_ignoring_case(path, part);
      part.clear();
    } else {
      part += image[i];
    }
  }
  return path;
}

bool is_file(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

SC_HANDLE new_handle(Manager& m, const world::Machine& machine, bool is_manager, const std::string& service,
                     DWORD access) {
  auto handle = std::make_unique<Handle>();
  handle->manager = is_manager;
  handle->machine = machine;
  handle->service = service;
  handle->access = access;
  handle->generation = m.generation;
  auto value = reinterpret_cast<SC_HANDLE>(handle.get());
  m.handles[value] = std::move(handle);
  return value;
}

Handle* find_handle(Manager& m, SC_HANDLE value, bool is_manager) {
  auto it = m.handles.find(value);
  if (it == m.handles.end() || it->second->manager != is_manager || it->second->generation != m.generation)
    return nullptr;
  return it->second.get();
}

// The rights asked for as specific rights; false for bits this manager does not know.
bool map_rights(DWORD requested, DWORD all, DWORD read, DWORD* out) {
  if (requested & ~(all | kStandardRights | GENERIC_READ | GENERIC_WRITE | kGenericExecute | kGenericAll)) return false;
  *out = requested & (all | kStandardRights);
  if (requested & (GENERIC_READ | kGenericExecute)) *out |= read | kReadControl;
  if (requested & (GENERIC_WRITE | kGenericAll)) *out |= all;
  return true;
}

// The rights the console user has on the machine's manager (machine.ini [machine] access).
DWORD allowed_rights(const world::Machine& machine, DWORD all, DWORD read) {
  return lower(machine.setting("machine", "access", "full")) == "read" ? read | kReadControl : all;
}

// An injected failure that fails the first `times` calls (every call when times is 0).
bool fault_applies(Manager& m, const std::string& key, DWORD times) {
  DWORD attempt = ++m.attempts[key];
  return times == 0 || attempt <= times;
}

void fill_status(const Service& s, LPSERVICE_STATUS status) {
  if (status == nullptr) return;
  *status = SERVICE_STATUS{};
  status->dwServiceType = s.type;
  status->dwCurrentState = s.state;
  status->dwControlsAccepted = s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  bool pending = s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING;
  status->dwWaitHint = pending ? static_cast<DWORD>(s.settles_at - std::min(s.settles_at, world::clock_now_ms())) : 0;
  status->dwCheckPoint = pending ? 1 : 0;
}

// A service reached through a handle with the rights it needs; the manager's lock is held.
struct Reached {
  std::unique_lock<std::mutex> guard;
  Handle* handle = nullptr;
  Database db;
  Service* service = nullptr;
};

DWORD reach(SC_HANDLE value, DWORD right, Reached* r) {
  Manager& m = manager();
  r->guard = std::unique_lock<std::mutex>(m.lock);
  r->handle = find_handle(m, value, false);
  if (r->handle == nullptr) return ERROR_INVALID_HANDLE;
  if ((r->handle->access & right) != right) return ERROR_ACCESS_DENIED;
  r->db = current(m, r->handle->machine);
  auto it = r->db.find(r->handle->service);
  if (it == r->db.end()) return ERROR_SERVICE_DOES_NOT_EXIST;  // removed by another manager's files
  r->service = &it->second;
  return 0;
}

// Registers a service in a machine's database and its registry mirror; the manager's lock is held.
DWORD create_service(Manager& m, const world::Machine& machine, const Service& service) {
  Database db = current(m, machine);
  auto existing = db.find(lower(service.name));
  if (existing != db.end()) return existing->second.marked ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
  for (const auto& [key, other] : db)
    if (strcasecmp(other.display.c_str(), service.display.c_str()) == 0 || key == lower(service.display))
      return ERROR_DUPLICATE_SERVICE_NAME;
  db[lower(service.name)] = service;
  save(machine, db);
  std::vector<win32::MachineValue> values = {
      {"Type", REG_DWORD, "", service.type},
      {"Start", REG_DWORD, "", service.start_type},
      {"ErrorControl", REG_DWORD, "", service.error_control},
      {"ImagePath", REG_EXPAND_SZ, service.image, 0},
      {"DisplayName", REG_SZ, service.display, 0},
  };
  if (service.type & (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS))
    values.push_back({"ObjectName", REG_SZ, "LocalSystem", 0});
  win32::registry_write_machine_key(machine, kServicesKey + service.name, values);
  return 0;
}

// The world machine a name stands for (null or "" and leading backslashes as the functions take them).
bool machine_named(const char* name, world::Machine* out) {
  std::string wanted = name ? name : "";
  while (!wanted.empty() && wanted.front() == '\\') wanted.erase(0, 1);
  if (wanted.empty()) wanted = world::console_machine();
  const world::Machine* found = world::find_machine(wanted);
  if (found == nullptr) return false;
  *out = *found;
  return true;
}

}  // namespace

namespace platform {

std::vector<ServiceInfo> machine_services(const std::string& name) {
  std::vector<ServiceInfo> out;
  world::Machine machine;
  if (!machine_named(name.c_str(), &machine)) return out;
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  for (const auto& [key, s] : current(m, machine))
    out.push_back({s.name, s.display, s.image, s.type, s.start_type, s.state, s.marked});
  return out;
}

bool held_as_service_image(const std::string& local_path) {
  const std::string machines = world::folder() + "/machines/";
  if (world::folder().empty() || local_path.compare(0, machines.size(), machines) != 0) return false;
  size_t end = local_path.find('/', machines.size());
  world::Machine machine;
  if (!machine_named(local_path.substr(machines.size(), end - machines.size()).c_str(), &machine)) return false;
  std::vector<std::string> images;
  {
    Manager& m = manager();
    std::lock_guard<std::mutex> guard(m.lock);
    if (!is_file(database_path(machine))) return false;
    for (const auto& [key, s] : current(m, machine))
      if ((s.type & (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)) && s.state != SERVICE_STOPPED)
        images.push_back(s.image);
  }
  std::error_code ec;
  for (const std::string& image : images)
    if (std::filesystem::weakly_canonical(image_local_path(machine, image), ec).string() == local_path) return true;
  return false;
}

DWORD scout_program(const StartedProcess& started) {
  std::string arguments = started.command_line;
  if (!arguments.empty() && arguments[0] == '"') arguments = arguments.substr(arguments.find('"', 1) + 1);
  else arguments = arguments.find(' ') == std::string::npos ? "" : arguments.substr(arguments.find(' '));
  while (!arguments.empty() && arguments.front() == ' ') arguments.erase(0, 1);
  if (lower(arguments) != "-install")
    return unsupported("vnxscout.exe", "the command line '" + started.command_line + "'", ERROR_INVALID_PARAMETER);
  world::Machine machine;
  if (!machine_named(nullptr, &machine)) return ERROR_BAD_NETPATH;
  Service scout;
  scout.name = kScoutService;
  scout.display = "VORNIX Agent Scout";
  scout.image = started.program;
  scout.start_type = SERVICE_AUTO_START;
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  return create_service(m, machine, scout);
}

}  // namespace platform

namespace win32 {

void services_forget_all() {
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  ++m.generation;
  m.attempts.clear();
}

}  // namespace win32

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine_name, LPCSTR database, DWORD access) {
  static const char* function = "OpenSCManagerA";
  if (database != nullptr && strcasecmp(database, SERVICES_ACTIVE_DATABASEA) != 0)
    return fail_handle(unsupported(function, std::string("the database ") + database, ERROR_INVALID_PARAMETER));
  world::Machine machine;
  if (!machine_named(machine_name, &machine) || lower(machine.setting("machine", "reachable", "yes")) == "no")
    return fail_handle(RPC_S_SERVER_UNAVAILABLE);
  if (lower(machine.setting("machine", "access", "full")) == "none") return fail_handle(ERROR_ACCESS_DENIED);
  DWORD rights = 0;
  if (!map_rights(access, SC_MANAGER_ALL_ACCESS, kManagerReadRights, &rights))
    return fail_handle(unsupported(function, "access mask " + std::to_string(access), ERROR_INVALID_PARAMETER));
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  std::string fault = machine.setting("faults", "scm_open");
  if (!fault.empty()) {
    DWORD times = static_cast<DWORD>(std::strtoul(machine.setting("faults", "scm_open_failures", "0").c_str(), nullptr, 10));
    if (fault_applies(m, "open " + machine.name, times)) return fail_handle(std::strtoul(fault.c_str(), nullptr, 10));
  }
  if (rights & ~allowed_rights(machine, SC_MANAGER_ALL_ACCESS, kManagerReadRights))
    return fail_handle(ERROR_ACCESS_DENIED);
  return new_handle(m, machine, true, "", rights);
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager_handle, LPCSTR name, DWORD access) {
  if (name == nullptr || *name == '\0') return fail_handle(ERROR_INVALID_NAME);
  DWORD rights = 0;
  if (!map_rights(access, SERVICE_ALL_ACCESS, kServiceReadRights, &rights))
    return fail_handle(unsupported("OpenServiceA", "access mask " + std::to_string(access), ERROR_INVALID_PARAMETER));
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  Handle* h = find_handle(m, manager_handle, true);
  if (h == nullptr) return fail_handle(ERROR_INVALID_HANDLE);
  world::Machine machine = h->machine;
  Database db = current(m, machine);
  auto it = db.find(lower(name));
  if (it == db.end()) return fail_handle(ERROR_SERVICE_DOES_NOT_EXIST);
  if (it->second.open_fault) return fail_handle(it->second.open_fault);
  if (rights & ~allowed_rights(machine, SERVICE_ALL_ACCESS, kServiceReadRights)) return fail_handle(ERROR_ACCESS_DENIED);
  return new_handle(m, machine, false, it->first, rights);
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager_handle, LPCSTR name, LPCSTR display_name, DWORD access, DWORD type,
                                DWORD start_type, DWORD error_control, LPCSTR binary_path, LPCSTR load_order_group,
                                LPDWORD tag, LPCSTR dependencies, LPCSTR start_name, LPCSTR password) {
  static const char* function = "CreateServiceA";
  if ((load_order_group && *load_order_group) || tag || (dependencies && *dependencies) || password ||
      (start_name && strcasecmp(start_name, "LocalSystem") != 0))
    return fail_handle(unsupported(function, "groups, tags, dependencies and accounts other than LocalSystem",
                                   ERROR_INVALID_PARAMETER));
  bool driver = type == SERVICE_KERNEL_DRIVER || type == SERVICE_FILE_SYSTEM_DRIVER;
  if ((!driver && type != SERVICE_WIN32_OWN_PROCESS && type != SERVICE_WIN32_SHARE_PROCESS) ||
      start_type > SERVICE_DISABLED || (!driver && start_type < SERVICE_AUTO_START) ||
      error_control > SERVICE_ERROR_CRITICAL)
    return fail_handle(ERROR_INVALID_PARAMETER);
  if (name == nullptr || *name == '\0' || binary_path == nullptr || *binary_path == '\0')
    return fail_handle(ERROR_INVALID_PARAMETER);
  DWORD rights = 0;
  if (!map_rights(access, SERVICE_ALL_ACCESS, kServiceReadRights, &rights))
    return fail_handle(unsupported(function, "access mask " + std::to_string(access), ERROR_INVALID_PARAMETER));
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  Handle* h = find_handle(m, manager_handle, true);
  if (h == nullptr) return fail_handle(ERROR_INVALID_HANDLE);
  if (!(h->access & SC_MANAGER_CREATE_SERVICE)) return fail_handle(ERROR_ACCESS_DENIED);
  world::Machine machine = h->machine;
  std::string fault = machine.setting("faults", "scm_create");
  std::string only = machine.setting("faults", "scm_create_service");
  if (!fault.empty() && (only.empty() || strcasecmp(only.c_str(), name) == 0))
    return fail_handle(std::strtoul(fault.c_str(), nullptr, 10));
  Service s;
  s.name = name;
  s.display = display_name && *display_name ? display_name : name;
  s.image = binary_path;
  s.type = type;
  s.start_type = start_type;
  s.error_control = error_control;
  if (DWORD error = create_service(m, machine, s)) return fail_handle(error);
  return new_handle(m, machine, false, lower(name), rights);
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  if (status == nullptr) return fail(ERROR_INVALID_PARAMETER);
  Reached r;
  if (DWORD error = reach(service, SERVICE_QUERY_STATUS, &r)) return fail(error);
  fill_status(*r.service, status);
  return TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  if (control != SERVICE_CONTROL_STOP)
    return fail(unsupported("ControlService", "control " + std::to_string(control), ERROR_INVALID_SERVICE_CONTROL));
  Reached r;
  if (DWORD error = reach(service, SERVICE_STOP, &r)) return fail(error);
  Service& s = *r.service;
  fill_status(s, status);
  if (s.stop_fault && fault_applies(manager(), "stop " + r.handle->machine.name + " " + r.handle->service,
                                    s.stop_fault_times))
    return fail(s.stop_fault);
  if (s.state == SERVICE_STOPPED) return fail(ERROR_SERVICE_NOT_ACTIVE);
  if (s.state != SERVICE_RUNNING) return fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  s.state = SERVICE_STOP_PENDING;
  s.settles_at = world::clock_now_ms() + s.stop_delay_ms;
  s.settles_to = s.ignores_stop ? SERVICE_RUNNING : SERVICE_STOPPED;
  save(r.handle->machine, r.db);
  fill_status(s, status);
  return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD argument_count, LPCSTR* arguments) {
  if (argument_count != 0 || arguments != nullptr)
    return fail(unsupported("StartServiceA", "start arguments", ERROR_INVALID_PARAMETER));
  Reached r;
  if (DWORD error = reach(service, SERVICE_START, &r)) return fail(error);
  Service& s = *r.service;
  if (s.marked) return fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  if (s.start_type == SERVICE_DISABLED) return fail(ERROR_SERVICE_DISABLED);
  if (s.state != SERVICE_STOPPED) return fail(ERROR_SERVICE_ALREADY_RUNNING);
  if (s.start_fault) return fail(s.start_fault);
  if (!is_file(image_local_path(r.handle->machine, s.image))) return fail(ERROR_FILE_NOT_FOUND);
  s.state = SERVICE_START_PENDING;
  s.settles_at = world::clock_now_ms() + s.start_delay_ms;
  s.settles_to = SERVICE_RUNNING;
  save(r.handle->machine, r.db);
  return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE service) {
  Reached r;
  if (DWORD error = reach(service, DELETE, &r)) return fail(error);
  if (r.service->marked) return fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  r.service->marked = true;
  save(r.handle->machine, r.db);
  return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE value) {
  Manager& m = manager();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = m.handles.find(value);
  if (it == m.handles.end()) return fail(ERROR_INVALID_HANDLE);
  std::unique_ptr<Handle> handle = std::move(it->second);
  m.handles.erase(it);
  // The last handle of a service marked for deletion lets it go once it is stopped.
  if (!handle->manager && handle->generation == m.generation) current(m, handle->machine);
  return TRUE;
}

}  // extern "C"
