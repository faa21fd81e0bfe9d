// The simulated Windows network that the Win32 layer acts on.
//
// A world is a folder (see ARCHITECTURE.md): world.ini names the console
// machine, the clock mode and the domain; machines/<NAME>/ holds each
// machine's machine.ini, registry files and shares. The folder named by the
// environment variable QVMR7_WORLD is opened on first use; tests and the
// console may open another one explicitly.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace world {

// One [section] of an INI file: keys are kept lower case.
using IniSection = std::map<std::string, std::string>;
// All sections of an INI file, by lower-case section name.
using IniFile = std::map<std::string, IniSection>;

// Reads "key = value" lines under "[section]" headers; ';' and '#' start comments.
IniFile read_ini(const std::string& path);
bool write_ini(const std::string& path, const IniFile& ini);

struct Machine {
  std::string name;       // as spelled in the folder name
  std::string dir;        // machines/<NAME>
  IniFile ini;            // machine.ini
  std::string setting(std::string_view section, std::string_view key,
                      std::string_view fallback = "") const;
};

// Opens a world folder; drops everything cached from the previous one.
// Returns false (and prints why on stderr) when world.ini is missing.
bool open(const std::string& folder);
// Opens $QVMR7_WORLD when no world is open yet; true when one is open.
bool ensure_open();
void close();
std::string folder();

// The machine that runs the console ("local" in world.ini).
std::string console_machine();
std::string domain();
// The account the console runs under (world.ini: user = NAME); without one,
// the login name of the process, so an ordinary shell still has a user.
std::string console_user();
// Whether the console user holds the privilege ("SeBackupPrivilege"): world.ini privileges = a comma
// list of the privileges held; every privilege when the world names none.
bool console_holds_privilege(std::string_view privilege);
// The console user's directory name (world.ini: user_dn = CN=...); empty when the world names none.
std::string console_user_dn();
// The console program's path on the console machine (world.ini: program = C:\...\VORNIXCON.EXE):
// its folder is the console's current directory and holds the library and its companion programs.
std::string console_program();
// The world's directory (world.ini [directory]): the domain's DNS name, its
// domain controller (a machine of the world) and the LDAP port the controller's
// directory server listens on at the machine's address, and the console user's
// logon session in it (distinguished name and password). Empty without a domain.
struct Directory {
  std::string dns_domain;  // "brightmere.local"
  std::string controller;  // "SRV01"
  int port = 0;
  std::string user_dn;
  std::string password;
};
Directory directory();
// The console user's temporary folder on the console machine, without a final backslash
// (world.ini: temp = C:\...); by default the user's profile's AppData\Local\Temp.
std::string console_temp_folder();
// How long the world's name service takes to answer a reverse look-up, in real
// milliseconds (world.ini [names] reverse_delay_ms; 0 by default), as a name
// server across a network does.
uint32_t reverse_lookup_delay_ms();
// Looks a machine up by name, ignoring case and leading backslashes.
// Also accepts the machine's IPv4 text. Null when the world has no such machine.
const Machine* find_machine(std::string_view name);
std::vector<const Machine*> machines();
// The domain (LAN group) a machine belongs to: its machine.ini [machine] domain, else the world's.
std::string machine_domain(const Machine& machine);

// Paths of a machine's files.
std::string machine_path(const Machine& machine, std::string_view relative);

// The clock: real in the console, virtual in tests (world.ini: clock = virtual,
// start = seconds since 1970 UTC). A virtual Sleep advances it at once.
bool clock_is_virtual();
// Milliseconds since 1970-01-01 UTC.
uint64_t clock_now_ms();
// Milliseconds since the clock started (GetTickCount).
uint64_t clock_ticks_ms();
void clock_sleep(uint32_t milliseconds);
// Tests: switch to a virtual clock at the given time.
void clock_set_virtual(uint64_t unix_ms);

}  // namespace world
