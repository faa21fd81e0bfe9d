// A key's whole tree taken out of the registry or put in place of another,
// for the hive files (RegSaveKeyA, RegRestoreKeyA). Each call takes the
// registry's lock once, so a tree is read or replaced in one step.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win32/registry_store.h"

namespace win32 {

struct RegistryTree {
  std::string name;
  std::vector<registry::Value> values;  // in creation order; strings as UTF-16LE, as stored
  std::vector<RegistryTree> children;   // in enumeration order
};

// The tree of the key behind the handle, and the machine whose registry it is. The console user
// must be allowed to read that registry. 0 or the Windows error.
LONG registry_read_tree(HKEY key, const char* function, RegistryTree* tree, std::string* machine);
// The machine whose registry the handle reaches; 0 or the Windows error.
LONG registry_handle_machine(HKEY key, const char* function, std::string* machine);
// Replaces the values and subkeys of the key behind the handle by the tree's (the key keeps its
// name and handle; handles below it see ERROR_KEY_DELETED). The console user must be allowed to
// write that registry. 0 or the Windows error.
LONG registry_replace_tree(HKEY key, const char* function, const RegistryTree& tree);

}  // namespace win32
