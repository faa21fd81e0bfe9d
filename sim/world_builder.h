// Builds a simulated Windows network in a fresh temporary folder.
//
//   WorldBuilder w;                       // console machine "CONSOLE01"
//   w.add_machine("SRV01", "127.0.0.2");  // an audited server
//   w.open();                             // the Win32 layer now acts on it
//
// The folder is deleted when the builder goes out of scope.
#pragma once

#include <cstdint>
#include <string>

#include "world/world.h"

namespace support {

class WorldBuilder {
 public:
  // An empty folder means a new temporary one, deleted with the builder.
  explicit WorldBuilder(std::string folder = "", std::string console = "CONSOLE01", std::string domain = "BRIGHTMERE");
  WorldBuilder(const WorldBuilder&) = delete;
  WorldBuilder& operator=(const WorldBuilder&) = delete;
  ~WorldBuilder();

  // Adds a machine with machine.ini and a registry that knows its product name.
  void add_machine(const std::string& name, const std::string& ipv4,
                   const std::string& product = "Windows Server 2012 R2 Standard");
  // Sets one "key = value" of a machine's machine.ini.
  void set_machine_setting(const std::string& name, const std::string& section, const std::string& key,
                           const std::string& value);
  // Appends REGEDIT5 text (without the header line) to a machine's hive file, hive "HKLM" or "HKCU".
  void add_registry_text(const std::string& name, const std::string& hive, const std::string& text);
  // The clock of the world: virtual, starting at this time (seconds since 1970 UTC).
  void set_clock_start(uint64_t unix_seconds);
  // The account the console runs under (GetUserNameA); without one, the process's login name.
  void set_console_user(const std::string& user);
  void use_real_clock();
  // Sets one "key = value" of world.ini outside its [world] section (the [directory] section).
  void set_world_setting(const std::string& section, const std::string& key, const std::string& value);

  // Opens the world in the Win32 layer (closing any other one).
  void open();

  const std::string& folder() const { return folder_; }
  const std::string& console() const { return console_; }
  std::string machine_dir(const std::string& name) const;

 private:
  void write_world_ini();
  std::string folder_;
  std::string console_;
  std::string domain_;
  std::string user_;
  uint64_t clock_start_ = 1796551200;  // 2026-12-06 10:00:00 UTC
  bool virtual_clock_ = true;
  bool keep_ = false;
  world::IniFile extra_;
};

}  // namespace support
