// advapi32 registry functions over the hives of the simulated network.
//
// Each machine's hives live in machines/<NAME>/registry/HKLM.reg (and HKCU.reg
// on the console machine). A hive is read on first use and written back after
// every change. One mutex guards hives, handles and counters; it is never held
// while calling into the world, which calls registry_forget_all() under its
// own lock.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "win32/registry_hook.h"
#include "win32/registry_machine.h"
#include "win32/registry_store.h"
#include "win32/registry_test_api.h"
#include "win32/registry_tree.h"
#include "world/world.h"

using namespace win32::registry;

namespace {

constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kStandardRights = 0x001F0000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kKeyRights = 0x3F;

struct Handle {
  std::shared_ptr<Hive> hive;
  std::shared_ptr<Key> key;
  REGSAM access = 0;  // what this handle may do
  REGSAM limit = 0;   // what the console user may do on this machine
  uint64_t generation = 0;
};

struct State {
  std::mutex lock;
  std::atomic<uint64_t> generation{1};
  std::map<std::string, std::shared_ptr<Hive>> hives;  // by file path
  std::unordered_map<HKEY, std::unique_ptr<Handle>> handles;
  std::map<std::string, int> connects;        // folded machine name -> calls
  std::map<std::string, int> fault_attempts;  // folded machine name -> calls seen by faults
  std::map<std::string, REGSAM> last_access;  // hive file -> mask of its latest open or create
  // Injected value-write failure per remote hive file: the write number that fails once, and its code.
  std::map<std::string, std::pair<int, LONG>> write_faults;
  std::map<std::string, int> writes;  // hive file -> value writes through remote handles
  bool in_memory = false;             // changes are never written back to the hive files
};

State& state() {
  static State& instance = *new State;
  return instance;
}

// A hive whose file could not be read whole answers as a corrupt registry does.
LONG refused(const char* function, const Hive& hive) {
  std::fprintf(stderr, "qvmr7 registry: %s: %s was refused when loading\n", function, hive.path.c_str());
  return ERROR_BADDB;
}

LONG unsupported(const char* function, const std::string& what, LONG code) {
  std::fprintf(stderr, "qvmr7 registry: %s: %s not supported\n", function, what.c_str());
  return code;
}

bool is_predefined(HKEY key) {
  auto value = reinterpret_cast<ULONG_PTR>(key);
  return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) &&
         value <= reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_CONFIG);
}

bool is_no(const std::string& text) {
  std::string t = fold_name(text);
  return t == "no" || t == "false" || t == "0" || t == "off";
}

// Where a hive lives, found in the world before the registry lock is taken.
struct Target {
  std::string path;
  std::string root_name;
};

std::string hive_file(const world::Machine& machine, bool user) {
  return world::machine_path(machine, user ? "registry/HKCU.reg" : "registry/HKLM.reg");
}

LONG resolve_predefined(HKEY key, const char* function, Target& target) {
  bool user = key == HKEY_CURRENT_USER;
  if (!user && key != HKEY_LOCAL_MACHINE) {
    char what[64];
    std::snprintf(what, sizeof what, "predefined key 0x%lx",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(key) & 0xFFFFFFFFu));
    return unsupported(function, what, ERROR_INVALID_HANDLE);
  }
  const world::Machine* machine = world::find_machine(world::console_machine());
  if (machine == nullptr) {
    std::fprintf(stderr, "qvmr7 registry: %s: no world open or no console machine in it\n",
                 function);
    return ERROR_INVALID_HANDLE;
  }
  target.path = hive_file(*machine, user);
  target.root_name = user ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
  return ERROR_SUCCESS;
}

std::shared_ptr<Hive> hive_for(State& s, const Target& target) {
  auto it = s.hives.find(target.path);
  if (it != s.hives.end()) return it->second;
  std::shared_ptr<Hive> hive = load_hive(target.path, target.root_name, world::clock_now_ms());
  s.hives[target.path] = hive;
  return hive;
}

// A key reached through a handle, with the registry lock held.
struct Access {
  std::unique_lock<std::mutex> guard;
  std::shared_ptr<Hive> hive;
  Key* key = nullptr;
  REGSAM access = 0;
  REGSAM limit = 0;
};

LONG acquire(HKEY h, const char* function, Access& a) {
  State& s = state();
  for (;;) {
    uint64_t generation = s.generation.load();
    Target target;
    bool predefined = is_predefined(h);
    if (predefined) {
      LONG rc = resolve_predefined(h, function, target);
      if (rc != ERROR_SUCCESS) return rc;
    }
    a.guard = std::unique_lock<std::mutex>(s.lock);
    if (predefined) {
      if (generation != s.generation.load()) {  // the world changed meanwhile
        a.guard.unlock();
        continue;
      }
      a.hive = hive_for(s, target);
      if (a.hive->refused) return refused(function, *a.hive);
      a.key = a.hive->root.get();
      a.access = a.limit = KEY_ALL_ACCESS;
      return ERROR_SUCCESS;
    }
    auto it = s.handles.find(h);
    if (it == s.handles.end()) return ERROR_INVALID_HANDLE;
    Handle& handle = *it->second;
    if (handle.generation != s.generation.load()) {
      std::fprintf(stderr, "qvmr7 registry: %s: handle from a world that was closed\n", function);
      return ERROR_INVALID_HANDLE;
    }
    if (handle.key->deleted) return ERROR_KEY_DELETED;
    a.hive = handle.hive;
    a.key = handle.key.get();
    a.access = handle.access;
    a.limit = handle.limit;
    return ERROR_SUCCESS;
  }
}

HKEY new_handle(State& s, const std::shared_ptr<Hive>& hive, Key* key, REGSAM access,
                REGSAM limit) {
  auto handle = std::make_unique<Handle>();
  handle->hive = hive;
  handle->key = key->shared_from_this();
  handle->access = access;
  handle->limit = limit;
  handle->generation = s.generation.load();
  HKEY value = reinterpret_cast<HKEY>(handle.get());
  s.handles[value] = std::move(handle);
  return value;
}

// The rights a handle asks for, as key rights; false for bits we do not know.
bool map_access(REGSAM requested, REGSAM limit, REGSAM& out) {
  REGSAM known = kStandardRights | kKeyRights | KEY_WOW64_RES | kMaximumAllowed | kGenericRead |
                 kGenericWrite | kGenericExecute | kGenericAll;
  if ((requested & ~known) != 0) return false;
  out = requested & (kStandardRights | kKeyRights);
  if (requested & (kGenericRead | kGenericExecute)) out |= KEY_READ;
  if (requested & kGenericWrite) out |= KEY_WRITE;
  if (requested & (kGenericAll | kMaximumAllowed)) out |= limit;
  return true;
}

LONG check_access(const char* function, REGSAM requested, REGSAM limit, REGSAM& granted) {
  if (!map_access(requested, limit, granted)) {
    char what[48];
    std::snprintf(what, sizeof what, "access mask 0x%x", requested);
    return unsupported(function, what, ERROR_INVALID_PARAMETER);
  }
  return (granted & ~limit) != 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

bool has_line_break(std::string_view name) {
  return name.find('\r') != std::string_view::npos || name.find('\n') != std::string_view::npos;
}

// Splits "A\B\C" into names. A leading backslash or an empty name in the
// middle is a bad path; trailing backslashes are ignored.
LONG split_path(const char* sub_key, std::vector<std::string_view>& parts) {
  parts.clear();
  std::string_view path = sub_key == nullptr ? std::string_view() : std::string_view(sub_key);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return ERROR_SUCCESS;
  if (path.front() == '\\') return ERROR_BAD_PATHNAME;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('\\', start);
    std::string_view part =
        path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    parts.push_back(part);
    if (slash == std::string_view::npos) return ERROR_SUCCESS;
    start = slash + 1;
  }
}

LONG walk(Key* from, const char* sub_key, Key** out) {
  std::vector<std::string_view> parts;
  LONG rc = split_path(sub_key, parts);
  if (rc != ERROR_SUCCESS) return rc;
  Key* key = from;
  for (std::string_view part : parts) {
    key = key->child(part);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  }
  *out = key;
  return ERROR_SUCCESS;
}

// Writes a changed hive back to its file, unless the world keeps its registries in memory.
bool write_back(const Hive& hive) { return state().in_memory || save_hive(hive); }

LONG save(const Access& a) { return write_back(*a.hive) ? ERROR_SUCCESS : ERROR_WRITE_FAULT; }

// Value data as the caller sees it, into the caller's buffer.
LONG copy_out(const std::vector<uint8_t>& bytes, DWORD type, LPDWORD type_out, LPBYTE data,
              LPDWORD size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (type_out != nullptr) *type_out = type;
  if (size == nullptr) return ERROR_SUCCESS;
  auto needed = static_cast<DWORD>(bytes.size());
  if (data == nullptr) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed != 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

std::vector<uint8_t> as_ansi(const Value& v) {
  return is_string_type(v.type) ? narrow(v.data.data(), v.data.size()) : v.data;
}

// A wide name as the 8-bit name it stands for; false for units above 255.
bool wide_name(LPCWSTR name, std::string& out) {
  out.clear();
  if (name == nullptr) return true;
  for (; *name != 0; ++name) {
    if (*name > 0xFF) return false;
    out += static_cast<char>(*name);
  }
  return true;
}

LONG query_value(const char* function, HKEY key, const std::string& name, LPDWORD reserved,
                 LPDWORD type, LPBYTE data, LPDWORD size, bool ansi) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const Value* v = a.key->value(name);
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  return copy_out(ansi ? as_ansi(*v) : v->data, v->type, type, data, size);
}

LONG set_value(const char* function, HKEY key, const std::string& name, DWORD reserved,
               DWORD type, const BYTE* data, DWORD size, bool ansi) {
  if (reserved != 0) return unsupported(function, "a non-zero reserved argument", ERROR_INVALID_PARAMETER);
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  if (has_line_break(name)) return unsupported(function, "a line break in a value name", ERROR_INVALID_PARAMETER);
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  auto fault = state().write_faults.find(a.hive->path);
  if (fault != state().write_faults.end() && ++state().writes[a.hive->path] == fault->second.first)
    return fault->second.second;
  std::vector<uint8_t> bytes;
  if (ansi && is_string_type(type)) {
    // As Windows does: a text whose terminator follows its counted length gets the terminator counted.
    if (size != 0 && data[size - 1] != 0 && data[size] == 0) ++size;
    bytes = widen(data, size);
  } else if (size != 0) {
    bytes.assign(data, data + size);
  }
  a.key->set_value(name, type, std::move(bytes));
  a.key->last_write_ms = world::clock_now_ms();
  return save(a);
}

void to_filetime(uint64_t unix_ms, PFILETIME out) {
  uint64_t ticks = (unix_ms + 11644473600000ULL) * 10000ULL;
  out->dwLowDateTime = static_cast<DWORD>(ticks);
  out->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

// Copies a name into a buffer of *size characters; *size becomes its length.
LONG copy_name(const std::string& name, LPSTR buffer, LPDWORD size) {
  if (buffer == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
  if (*size < name.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

LONG delete_key(const char* function, HKEY key, LPCSTR sub_key) {
  if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  Key* target = nullptr;
  rc = walk(a.key, sub_key, &target);
  if (rc != ERROR_SUCCESS) return rc;
  if (target->parent == nullptr || !target->children.empty() || (a.limit & kDelete) == 0) {
    return ERROR_ACCESS_DENIED;
  }
  Key* parent = target->parent;
  parent->remove_child(target);
  parent->last_write_ms = world::clock_now_ms();
  return save(a);
}

}  // namespace

namespace win32 {

void registry_forget_all() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  ++s.generation;
  s.hives.clear();
  s.connects.clear();
  s.fault_attempts.clear();
  s.last_access.clear();
  s.write_faults.clear();
  s.writes.clear();
}

void registry_keep_in_memory(bool in_memory) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.in_memory = in_memory;
}

// Removes a key and its subtree, deepest first, so that open handles see ERROR_KEY_DELETED.
static void remove_tree(Key* key) {
  while (!key->children.empty()) remove_tree(key->children.back().get());
  key->parent->remove_child(key);
}

void registry_write_machine_key(const world::Machine& machine, const std::string& path,
                                const std::vector<MachineValue>& values) {
  Target target{hive_file(machine, false), "HKEY_LOCAL_MACHINE"};
  std::vector<std::string_view> parts;
  if (split_path(path.c_str(), parts) != ERROR_SUCCESS) return;
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  std::shared_ptr<Hive> hive = hive_for(s, target);
  if (hive->refused) return;
  uint64_t now = world::clock_now_ms();
  Key* key = hive->root.get();
  for (std::string_view part : parts) key = key->add_child(part, now);
  for (const MachineValue& v : values) {
    std::vector<uint8_t> bytes;
    if (is_string_type(v.type)) {
      std::string text = v.text + '\0';
      bytes = widen(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    } else {
      bytes.resize(4);
      std::memcpy(bytes.data(), &v.number, 4);
    }
    key->set_value(v.name, v.type, std::move(bytes));
  }
  key->last_write_ms = now;
  write_back(*hive);
}

void registry_delete_machine_key(const world::Machine& machine, const std::string& path) {
  Target target{hive_file(machine, false), "HKEY_LOCAL_MACHINE"};
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  std::shared_ptr<Hive> hive = hive_for(s, target);
  Key* key = nullptr;
  if (hive->refused || walk(hive->root.get(), path.c_str(), &key) != ERROR_SUCCESS || key->parent == nullptr) return;
  Key* parent = key->parent;
  remove_tree(key);
  parent->last_write_ms = world::clock_now_ms();
  write_back(*hive);
}

// The machine of a hive file: machines/<NAME>/registry/<hive>.reg.
static std::string hive_machine(const Hive& hive) {
  size_t registry = hive.path.rfind("/registry/");
  size_t start = registry == std::string::npos ? std::string::npos : hive.path.rfind('/', registry - 1);
  return start == std::string::npos ? std::string() : hive.path.substr(start + 1, registry - start - 1);
}

static void read_tree(const Key& key, RegistryTree* tree) {
  tree->name = key.name;
  tree->values = key.values;
  tree->children.resize(key.children.size());
  for (size_t i = 0; i < key.children.size(); ++i) read_tree(*key.children[i], &tree->children[i]);
}

static void add_tree(Key* key, const RegistryTree& tree, uint64_t now) {
  for (const registry::Value& v : tree.values) key->set_value(v.name, v.type, v.data);
  for (const RegistryTree& child : tree.children) add_tree(key->add_child(child.name, now), child, now);
  key->last_write_ms = now;
}

LONG registry_handle_machine(HKEY key, const char* function, std::string* machine) {
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc == ERROR_SUCCESS) *machine = hive_machine(*a.hive);
  return rc;
}

LONG registry_read_tree(HKEY key, const char* function, RegistryTree* tree, std::string* machine) {
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.limit & KEY_READ) != KEY_READ) return ERROR_ACCESS_DENIED;
  read_tree(*a.key, tree);
  *machine = hive_machine(*a.hive);
  return ERROR_SUCCESS;
}

LONG registry_replace_tree(HKEY key, const char* function, const RegistryTree& tree) {
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.limit & KEY_WRITE) != KEY_WRITE) return ERROR_ACCESS_DENIED;
  while (!a.key->children.empty()) remove_tree(a.key->children.back().get());
  a.key->values.clear();
  add_tree(a.key, tree, world::clock_now_ms());
  return save(a);
}

std::string registry_machine_text(const world::Machine& machine, const std::string& path, const std::string& name,
                                  const std::string& fallback) {
  Target target{hive_file(machine, false), "HKEY_LOCAL_MACHINE"};
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  std::shared_ptr<Hive> hive = hive_for(s, target);
  Key* key = nullptr;
  if (hive->refused || walk(hive->root.get(), path.c_str(), &key) != ERROR_SUCCESS) return fallback;
  const Value* v = key->value(name);
  if (v == nullptr || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return fallback;
  std::vector<uint8_t> bytes = as_ansi(*v);
  std::string text(bytes.begin(), bytes.end());
  return text.substr(0, text.find('\0'));
}

}  // namespace win32

extern "C" {

int qvmr_registry_connect_count(const char* machine) {
  std::string name = machine == nullptr ? "" : machine;
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  if (name.empty()) name = world::console_machine();
  if (const world::Machine* m = world::find_machine(name)) name = m->name;
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.connects.find(fold_name(name));
  return it == s.connects.end() ? 0 : it->second;
}

unsigned long qvmr_registry_last_access(const char* machine) {
  std::string name = machine == nullptr ? "" : machine;
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  if (name.empty()) name = world::console_machine();
  const world::Machine* m = world::find_machine(name);
  if (m == nullptr) return 0;
  std::string path = hive_file(*m, false);
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.last_access.find(path);
  return it == s.last_access.end() ? 0 : it->second;
}

void qvmr_registry_reset_counts(void) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.connects.clear();
}

LONG WINAPI RegConnectRegistryA(LPCSTR machine, HKEY key, PHKEY result) {
  static const char* function = "RegConnectRegistryA";
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  State& s = state();
  for (;;) {
    uint64_t generation = s.generation.load();
    std::string name = machine == nullptr ? "" : machine;
    while (!name.empty() && name.front() == '\\') name.erase(0, 1);
    std::string console = world::console_machine();
    if (name.empty()) name = console;
    // Copy what we need: the world's records may go when it is reopened.
    const world::Machine* found = world::find_machine(name);
    bool exists = found != nullptr;
    world::Machine m;
    if (exists) m = *found;
    if (exists) name = m.name;
    bool local = fold_name(name) == fold_name(console);

    std::unique_lock<std::mutex> guard(s.lock);
    if (generation != s.generation.load()) continue;
    std::string id = fold_name(name);
    ++s.connects[id];
    if (!exists || is_no(m.setting("machine", "reachable", "yes"))) return ERROR_BAD_NETPATH;
    std::string fault = m.setting("faults", "registry_connect");
    if (!fault.empty()) {
      char* end = nullptr;
      long code = std::strtol(fault.c_str(), &end, 10);
      if (end == fault.c_str() || *end != '\0' || code <= 0) {
        return unsupported(function, "fault code '" + fault + "' in " + m.name + "'s machine.ini",
                           ERROR_INVALID_PARAMETER);
      }
      std::string failures = m.setting("faults", "registry_connect_failures");
      int attempt = ++s.fault_attempts[id];
      if (failures.empty() || attempt <= std::atoi(failures.c_str())) return code;
    }
    std::string rights = fold_name(m.setting("machine", "access", "full"));
    REGSAM limit = KEY_ALL_ACCESS;
    if (rights == "none") return ERROR_ACCESS_DENIED;
    if (rights == "read") {
      limit = KEY_READ;
    } else if (rights != "full") {
      return unsupported(function, "access '" + rights + "' in " + m.name + "'s machine.ini",
                         ERROR_ACCESS_DENIED);
    }
    Target target;
    if (key == HKEY_LOCAL_MACHINE) {
      target = {hive_file(m, false), "HKEY_LOCAL_MACHINE"};
    } else if (key == HKEY_CURRENT_USER) {
      if (!local) return ERROR_INVALID_HANDLE;  // as Windows: no remote HKCU
      target = {hive_file(m, true), "HKEY_CURRENT_USER"};
    } else {
      return unsupported(function, "a hive other than HKLM and HKCU", ERROR_INVALID_HANDLE);
    }
    std::shared_ptr<Hive> hive = hive_for(s, target);
    if (hive->refused) return refused(function, *hive);
    // [faults] registry_write = CODE, registry_write_number = N: the Nth value write fails once.
    std::string write_fault = m.setting("faults", "registry_write");
    if (!write_fault.empty() && s.write_faults.count(target.path) == 0)
      s.write_faults[target.path] = {std::atoi(m.setting("faults", "registry_write_number", "1").c_str()),
                                     std::atol(write_fault.c_str())};
    *result = new_handle(s, hive, hive->root.get(), limit, limit);
    return ERROR_SUCCESS;
  }
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
  static const char* function = "RegOpenKeyExA";
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  if (options != 0) return unsupported(function, "options other than 0", ERROR_INVALID_PARAMETER);
  if (is_predefined(key) && (sub_key == nullptr || *sub_key == '\0')) {
    Access a;
    LONG rc = acquire(key, function, a);
    if (rc == ERROR_SUCCESS) *result = key;
    return rc;
  }
  Access a;
  LONG rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  Key* target = nullptr;
  rc = walk(a.key, sub_key, &target);
  if (rc != ERROR_SUCCESS) return rc;
  REGSAM granted = 0;
  state().last_access[a.hive->path] = access;
  rc = check_access(function, access, a.limit, granted);
  if (rc != ERROR_SUCCESS) return rc;
  *result = new_handle(state(), a.hive, target, granted, a.limit);
  return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name,
                            DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition) {
  static const char* function = "RegCreateKeyExA";
  if (result == nullptr || sub_key == nullptr) return ERROR_INVALID_PARAMETER;
  if (reserved != 0) return unsupported(function, "a non-zero reserved argument", ERROR_INVALID_PARAMETER);
  if (class_name != nullptr && *class_name != '\0') return unsupported(function, "a key class", ERROR_INVALID_PARAMETER);
  if (options != REG_OPTION_NON_VOLATILE) return unsupported(function, "options other than 0", ERROR_INVALID_PARAMETER);
  if (security != nullptr && security->lpSecurityDescriptor != nullptr) {
    return unsupported(function, "a security descriptor", ERROR_INVALID_PARAMETER);
  }
  if (has_line_break(sub_key)) return unsupported(function, "a line break in a key name", ERROR_INVALID_PARAMETER);
  std::vector<std::string_view> parts;
  LONG rc = split_path(sub_key, parts);
  if (rc != ERROR_SUCCESS) return rc;
  Access a;
  rc = acquire(key, function, a);
  if (rc != ERROR_SUCCESS) return rc;
  REGSAM granted = 0;
  state().last_access[a.hive->path] = access;
  rc = check_access(function, access, a.limit, granted);
  if (rc != ERROR_SUCCESS) return rc;
  // Creating needs the right to create subkeys; opening what exists does not.
  Key* existing = a.key;
  size_t found = 0;
  while (found < parts.size() && existing->child(parts[found]) != nullptr) {
    existing = existing->child(parts[found++]);
  }
  bool creates = found < parts.size();
  if (creates && ((a.access & KEY_CREATE_SUB_KEY) == 0 || (a.limit & KEY_CREATE_SUB_KEY) == 0)) {
    return ERROR_ACCESS_DENIED;
  }
  Key* target = existing;
  uint64_t now = world::clock_now_ms();
  for (size_t i = found; i < parts.size(); ++i) target = target->add_child(parts[i], now);
  if (creates) {
    rc = save(a);
    if (rc != ERROR_SUCCESS) return rc;
  }
  if (disposition != nullptr) *disposition = creates ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = new_handle(state(), a.hive, target, granted, a.limit);
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
  return query_value("RegQueryValueExA", key, name == nullptr ? "" : name, reserved, type, data,
                     size, true);
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
  std::string narrow_name;
  if (!wide_name(name, narrow_name)) return ERROR_FILE_NOT_FOUND;  // no such name can be stored
  return query_value("RegQueryValueExW", key, narrow_name, reserved, type, data, size, false);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  return set_value("RegSetValueExA", key, name == nullptr ? "" : name, reserved, type, data, size,
                   true);
}

LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  std::string narrow_name;
  if (!wide_name(name, narrow_name)) {
    return unsupported("RegSetValueExW", "a value name beyond Latin-1", ERROR_INVALID_PARAMETER);
  }
  return set_value("RegSetValueExW", key, narrow_name, reserved, type, data, size, false);
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
  Access a;
  LONG rc = acquire(key, "RegDeleteValueA", a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (!a.key->remove_value(name == nullptr ? "" : name)) return ERROR_FILE_NOT_FOUND;
  a.key->last_write_ms = world::clock_now_ms();
  return save(a);
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
  return delete_key("RegDeleteKeyA", key, sub_key);
}

LONG WINAPI RegDeleteKeyExA(HKEY key, LPCSTR sub_key, REGSAM access, DWORD reserved) {
  static const char* function = "RegDeleteKeyExA";
  if (reserved != 0) return unsupported(function, "a non-zero reserved argument", ERROR_INVALID_PARAMETER);
  if ((access & ~static_cast<REGSAM>(KEY_WOW64_RES)) != 0) {
    return unsupported(function, "access bits other than the WOW64 view", ERROR_INVALID_PARAMETER);
  }
  return delete_key(function, key, sub_key);
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPSTR class_name, LPDWORD class_size, PFILETIME last_write) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (class_name != nullptr && class_size == nullptr) return ERROR_INVALID_PARAMETER;
  Access a;
  LONG rc = acquire(key, "RegEnumKeyExA", a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (index >= a.key->children.size()) return ERROR_NO_MORE_ITEMS;
  const Key& child = *a.key->children[index];
  rc = copy_name(child.name, name, name_size);
  if (rc != ERROR_SUCCESS) return rc;
  if (class_name != nullptr) {
    if (*class_size < 1) return ERROR_MORE_DATA;
    *class_name = '\0';
    *class_size = 0;
  }
  if (last_write != nullptr) to_filetime(child.last_write_ms, last_write);
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size,
                          LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  Access a;
  LONG rc = acquire(key, "RegEnumValueA", a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (index >= a.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& v = a.key->values[index];
  rc = copy_name(v.name, name, name_size);
  if (rc != ERROR_SUCCESS) return rc;
  return copy_out(as_ansi(v), v.type, type, data, data_size);
}

LONG WINAPI RegQueryInfoKeyA(HKEY key, LPSTR class_name, LPDWORD class_size, LPDWORD reserved,
                             LPDWORD sub_keys, LPDWORD max_sub_key_len, LPDWORD max_class_len,
                             LPDWORD values, LPDWORD max_value_name_len, LPDWORD max_value_len,
                             LPDWORD security_descriptor_size, PFILETIME last_write) {
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (class_name != nullptr && class_size == nullptr) return ERROR_INVALID_PARAMETER;
  Access a;
  LONG rc = acquire(key, "RegQueryInfoKeyA", a);
  if (rc != ERROR_SUCCESS) return rc;
  if ((a.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const Key& k = *a.key;
  if (class_name != nullptr) {
    if (*class_size < 1) return ERROR_MORE_DATA;
    *class_name = '\0';
  }
  if (class_size != nullptr) *class_size = 0;
  DWORD longest_key = 0, longest_name = 0, largest_data = 0;
  for (const auto& child : k.children) {
    longest_key = std::max<DWORD>(longest_key, static_cast<DWORD>(child->name.size()));
  }
  // Data sizes as stored (UTF-16 for strings), as Windows reports them to A callers too.
  for (const Value& v : k.values) {
    longest_name = std::max<DWORD>(longest_name, static_cast<DWORD>(v.name.size()));
    largest_data = std::max<DWORD>(largest_data, static_cast<DWORD>(v.data.size()));
  }
  if (sub_keys != nullptr) *sub_keys = static_cast<DWORD>(k.children.size());
  if (max_sub_key_len != nullptr) *max_sub_key_len = longest_key;
  if (max_class_len != nullptr) *max_class_len = 0;
  if (values != nullptr) *values = static_cast<DWORD>(k.values.size());
  if (max_value_name_len != nullptr) *max_value_name_len = longest_name;
  if (max_value_len != nullptr) *max_value_len = largest_data;
  if (security_descriptor_size != nullptr) *security_descriptor_size = 0;
  if (last_write != nullptr) to_filetime(k.last_write_ms, last_write);
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  if (is_predefined(key)) return ERROR_SUCCESS;
  State& s = state();
  std::unique_ptr<Handle> handle;  // freed after the lock is released
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.handles.find(key);
  if (it == s.handles.end()) return ERROR_INVALID_HANDLE;
  handle = std::move(it->second);
  s.handles.erase(it);
  return ERROR_SUCCESS;
}

}  // extern "C"
