// What other parts of the Win32 layer do to a machine's HKEY_LOCAL_MACHINE
// directly, as Windows' own services do (the service control manager keeps
// its database under SYSTEM\CurrentControlSet\Services): no remote connection,
// no access checks, no injected faults. Each call takes the registry's lock
// and never calls into the world while holding it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

namespace win32 {

struct MachineValue {
  std::string name;
  uint32_t type;      // REG_SZ, REG_EXPAND_SZ, REG_DWORD
  std::string text;   // string types
  uint32_t number;    // REG_DWORD
};

// Creates the key (and its parents) when missing and sets the values.
void registry_write_machine_key(const world::Machine& machine, const std::string& path,
                                const std::vector<MachineValue>& values);
// Deletes the key and everything below it; a missing key is no error.
void registry_delete_machine_key(const world::Machine& machine, const std::string& path);
// A string value of a key; the fallback when the key or value is missing or not a string.
std::string registry_machine_text(const world::Machine& machine, const std::string& path, const std::string& name,
                                  const std::string& fallback);

}  // namespace win32
