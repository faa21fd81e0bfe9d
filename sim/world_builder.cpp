#include "sim/world_builder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "world/world.h"

namespace fs = std::filesystem;

namespace support {
namespace {

void append_file(const std::string& path, const std::string& text) {
  bool fresh = !fs::exists(path);
  std::ofstream out(path, std::ios::app | std::ios::binary);
  if (!out) throw std::runtime_error("cannot write " + path);
  if (fresh) out << "Windows Registry Editor Version 5.00\r\n\r\n";
  out << text;
}

}  // namespace

WorldBuilder::WorldBuilder(std::string folder, std::string console, std::string domain)
    : folder_(std::move(folder)), console_(std::move(console)), domain_(std::move(domain)) {
  if (folder_.empty()) {
    std::string pattern = (fs::temp_directory_path() / "qvmr7-world-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
  } else {
    keep_ = true;
    fs::create_directories(folder_);
  }
  fs::create_directories(folder_ + "/machines");
  fs::create_directories(folder_ + "/pipes");
  write_world_ini();
  add_machine(console_, "127.0.0.1", "Windows 10 Pro");
  add_registry_text(console_, "HKLM",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                    "\"SystemRoot\"=\"C:\\\\Windows\"\r\n\r\n");
}

WorldBuilder::~WorldBuilder() {
  if (keep_) return;
  if (world::folder() == folder_) world::close();
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void WorldBuilder::write_world_ini() {
  world::IniFile ini = extra_;
  ini["world"]["local"] = console_;
  ini["world"]["domain"] = domain_;
  ini["world"]["clock"] = virtual_clock_ ? "virtual" : "real";
  ini["world"]["start"] = std::to_string(clock_start_);
  if (!user_.empty()) ini["world"]["user"] = user_;
  world::write_ini(folder_ + "/world.ini", ini);
}

std::string WorldBuilder::machine_dir(const std::string& name) const { return folder_ + "/machines/" + name; }

void WorldBuilder::add_machine(const std::string& name, const std::string& ipv4, const std::string& product) {
  std::string dir = machine_dir(name);
  fs::create_directories(dir + "/registry");
  fs::create_directories(dir + "/shares/ADMIN$");
  fs::create_directories(dir + "/shares/C$");
  world::IniFile ini;
  ini["machine"]["product"] = product;
  ini["machine"]["ipv4"] = ipv4;
  ini["machine"]["reachable"] = "yes";
  ini["machine"]["access"] = "full";
  world::write_ini(dir + "/machine.ini", ini);
  add_registry_text(name, "HKLM",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                    "\"ProductName\"=\"" + product + "\"\r\n\r\n");
}

void WorldBuilder::set_machine_setting(const std::string& name, const std::string& section, const std::string& key,
                                       const std::string& value) {
  std::string path = machine_dir(name) + "/machine.ini";
  world::IniFile ini = world::read_ini(path);
  ini[section][key] = value;
  world::write_ini(path, ini);
}

void WorldBuilder::add_registry_text(const std::string& name, const std::string& hive, const std::string& text) {
  append_file(machine_dir(name) + "/registry/" + hive + ".reg", text);
}

void WorldBuilder::set_clock_start(uint64_t unix_seconds) {
  clock_start_ = unix_seconds;
  virtual_clock_ = true;
  write_world_ini();
}

void WorldBuilder::set_console_user(const std::string& user) {
  user_ = user;
  write_world_ini();
}

void WorldBuilder::set_world_setting(const std::string& section, const std::string& key, const std::string& value) {
  extra_[section][key] = value;
  write_world_ini();
}

void WorldBuilder::use_real_clock() {
  virtual_clock_ = false;
  write_world_ini();
}

void WorldBuilder::open() {
  if (!world::open(folder_)) throw std::runtime_error("cannot open world " + folder_);
}

}  // namespace support
