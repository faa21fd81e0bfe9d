#include "world/world.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <pwd.h>
#include <unistd.h>

#include "win32/privileges.h"
#include "win32/registry_hook.h"
#include "win32/services.h"

namespace fs = std::filesystem;

namespace world {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

struct WorldState {
  std::recursive_mutex lock;
  bool open = false;
  std::string folder;
  IniFile ini;
  std::map<std::string, Machine> machines;  // by lower-case name
};

WorldState& state() {
  static WorldState& instance = *new WorldState;
  return instance;
}

struct ClockState {
  std::atomic<bool> is_virtual{false};
  std::atomic<uint64_t> virtual_ms{0};
  std::atomic<uint64_t> virtual_start_ms{0};
  std::chrono::steady_clock::time_point real_start = std::chrono::steady_clock::now();
};

ClockState& clock_state() {
  static ClockState instance;
  return instance;
}

std::string_view strip_backslashes(std::string_view name) {
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  return name;
}

}  // namespace

IniFile read_ini(const std::string& path) {
  IniFile ini;
  std::ifstream in(path);
  std::string line, section;
  while (std::getline(in, line)) {
    std::string text = trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text.front() == '[' && text.back() == ']') {
      section = lower(trim(text.substr(1, text.size() - 2)));
      ini[section];
      continue;
    }
    size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    ini[section][lower(trim(text.substr(0, eq)))] = trim(text.substr(eq + 1));
  }
  return ini;
}

bool write_ini(const std::string& path, const IniFile& ini) {
  std::ofstream out(path, std::ios::trunc);
  if (!out) return false;
  for (const auto& [name, section] : ini) {
    out << '[' << name << "]\n";
    for (const auto& [key, value] : section) out << key << " = " << value << '\n';
    out << '\n';
  }
  return static_cast<bool>(out);
}

std::string Machine::setting(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
  auto s = ini.find(lower(section));
  if (s == ini.end()) return std::string(fallback);
  auto v = s->second.find(lower(key));
  return v == s->second.end() ? std::string(fallback) : v->second;
}

// Forgets the open world: its machines, settings and loaded registries. The caller holds the lock.
static void forget(WorldState& w) {
  w.open = false;
  win32::registry_forget_all();
  win32::services_forget_all();
  win32::privileges_forget_all();
  w.machines.clear();
  w.ini.clear();
  w.folder.clear();
}

bool open(const std::string& folder) {
  WorldState& w = state();
  std::lock_guard<std::recursive_mutex> guard(w.lock);
  forget(w);
  w.folder = folder;
  std::error_code ec;
  if (!fs::is_regular_file(folder + "/world.ini", ec)) {
    std::fprintf(stderr, "qvmr7 world: no world.ini in %s\n", folder.c_str());
    return false;
  }
  w.ini = read_ini(folder + "/world.ini");
  for (const auto& entry : fs::directory_iterator(folder + "/machines", ec)) {
    if (!entry.is_directory()) continue;
    Machine m;
    m.name = entry.path().filename().string();
    m.dir = entry.path().string();
    m.ini = read_ini(m.dir + "/machine.ini");
    w.machines[lower(m.name)] = std::move(m);
  }
  const IniSection& main = w.ini["world"];
  auto registry = main.find("registry");
  win32::registry_keep_in_memory(registry != main.end() && lower(registry->second) == "memory");
  auto clock = main.find("clock");
  if (clock != main.end() && lower(clock->second) == "virtual") {
    auto start = main.find("start");
    uint64_t start_s = start == main.end() ? 0 : std::strtoull(start->second.c_str(), nullptr, 10);
    clock_set_virtual(start_s * 1000);
  } else {
    clock_state().is_virtual = false;
  }
  w.open = true;
  return true;
}

bool ensure_open() {
  WorldState& w = state();
  std::lock_guard<std::recursive_mutex> guard(w.lock);
  if (w.open) return true;
  const char* env = std::getenv("QVMR7_WORLD");
  if (env == nullptr || *env == '\0') return false;
  return open(env);
}

void close() {
  WorldState& w = state();
  std::lock_guard<std::recursive_mutex> guard(w.lock);
  forget(w);
}

std::string folder() {
  ensure_open();
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  return state().folder;
}

// A value of world.ini's [world] section, or the fallback.
static std::string world_setting(const char* key, const char* fallback) {
  if (!ensure_open()) return fallback;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  auto& main = state().ini["world"];
  auto it = main.find(key);
  return it == main.end() ? fallback : it->second;
}

std::string console_machine() { return world_setting("local", "LOCALHOST"); }

Directory directory() {
  Directory d;
  if (!ensure_open()) return d;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  auto s = state().ini.find("directory");
  if (s == state().ini.end()) return d;
  auto get = [&](const char* key) {
    auto it = s->second.find(key);
    return it == s->second.end() ? std::string() : it->second;
  };
  d.dns_domain = get("domain");
  d.controller = get("controller");
  d.port = std::atoi(get("port").c_str());
  d.user_dn = get("user");
  d.password = get("password");
  return d;
}

std::string domain() { return world_setting("domain", ""); }

uint32_t reverse_lookup_delay_ms() {
  if (!ensure_open()) return 0;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  auto s = state().ini.find("names");
  if (s == state().ini.end()) return 0;
  auto it = s->second.find("reverse_delay_ms");
  return it == s->second.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
}

std::string console_user() {
  const passwd* account = getpwuid(geteuid());
  return world_setting("user", account && account->pw_name ? account->pw_name : "");
}

bool console_holds_privilege(std::string_view privilege) {
  if (!ensure_open()) return false;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  auto& main = state().ini["world"];
  auto it = main.find("privileges");
  if (it == main.end()) return true;
  std::string wanted = lower(privilege);
  for (size_t start = 0; start <= it->second.size();) {
    size_t comma = it->second.find(',', start);
    if (comma == std::string::npos) comma = it->second.size();
    if (lower(trim(std::string_view(it->second).substr(start, comma - start))) == wanted) return true;
    start = comma + 1;
  }
  return false;
}

std::string console_user_dn() { return world_setting("user_dn", ""); }

std::string console_program() {
  return world_setting("program", "C:\\Program Files\\Brightmere\\VORNIX\\VORNIXCON.EXE");
}

std::string console_temp_folder() {
  return world_setting("temp", ("C:\\Users\\" + console_user() + "\\AppData\\Local\\Temp").c_str());
}

const Machine* find_machine(std::string_view name) {
  if (!ensure_open()) return nullptr;
  WorldState& w = state();
  std::lock_guard<std::recursive_mutex> guard(w.lock);
  std::string key = lower(strip_backslashes(name));
  auto it = w.machines.find(key);
  if (it != w.machines.end()) return &it->second;
  for (const auto& [k, machine] : w.machines) {
    if (!key.empty() && machine.setting("machine", "ipv4") == key) return &machine;
  }
  return nullptr;
}

std::vector<const Machine*> machines() {
  std::vector<const Machine*> out;
  if (!ensure_open()) return out;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  for (const auto& [k, machine] : state().machines) out.push_back(&machine);
  return out;
}

std::string machine_domain(const Machine& machine) {
  std::string own = machine.setting("machine", "domain");
  return own.empty() ? domain() : own;
}

std::string machine_path(const Machine& machine, std::string_view relative) {
  return machine.dir + "/" + std::string(relative);
}

bool clock_is_virtual() { return clock_state().is_virtual; }

uint64_t clock_now_ms() {
  ClockState& c = clock_state();
  if (c.is_virtual) return c.virtual_ms;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

uint64_t clock_ticks_ms() {
  ClockState& c = clock_state();
  if (c.is_virtual) return c.virtual_ms - c.virtual_start_ms;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - c.real_start)
                                   .count());
}

void clock_sleep(uint32_t milliseconds) {
  ClockState& c = clock_state();
  if (c.is_virtual) {
    c.virtual_ms += milliseconds;
    // Let other threads run, so that polling loops still see their progress.
    std::this_thread::sleep_for(std::chrono::microseconds(milliseconds == 0 ? 0 : 200));
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void clock_set_virtual(uint64_t unix_ms) {
  ClockState& c = clock_state();
  c.virtual_ms = unix_ms;
  c.virtual_start_ms = unix_ms;
  c.is_virtual = true;
}

}  // namespace world
