// The registry tree of one hive and its REGEDIT5 file.
//
// Names are kept as the 8-bit bytes the A functions see (each byte stands for
// the UTF-16 code unit of the same value). Value data is kept as Windows keeps
// it: string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as UTF-16LE bytes
// with their terminators, everything else as the bytes given.
//
// Not thread-safe: registry.cpp serialises all access.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace win32::registry {

// Key and value names compare ignoring case (ASCII and Latin-1 letters).
std::string fold_name(std::string_view name);

struct Value {
  std::string name;  // "" is the default value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct Key : std::enable_shared_from_this<Key> {
  std::string name;  // as first spelled
  Key* parent = nullptr;
  bool deleted = false;  // removed from the tree; open handles see ERROR_KEY_DELETED
  uint64_t last_write_ms = 0;
  std::vector<std::shared_ptr<Key>> children;  // by name in capitals, as Windows enumerates them
  std::map<std::string, Key*> by_name;         // folded name -> child
  std::vector<Value> values;                   // in creation order

  Key* child(std::string_view name) const;
  // The existing child of that name, or a new one.
  Key* add_child(std::string_view name, uint64_t now_ms, bool* created = nullptr);
  // Removes a child (which must have no children of its own).
  void remove_child(Key* child);
  Value* value(std::string_view name);
  const Value* value(std::string_view name) const;
  void set_value(std::string_view name, uint32_t type, std::vector<uint8_t> data);
  bool remove_value(std::string_view name);
};

// Strings between the two forms: 8-bit bytes <-> UTF-16LE, byte b <-> unit b.
std::vector<uint8_t> widen(const uint8_t* bytes, size_t count);
// Units above 255 become '?'. A trailing odd byte is dropped.
std::vector<uint8_t> narrow(const uint8_t* utf16le, size_t bytes);
inline bool is_string_type(uint32_t type) { return type == 1 || type == 2 || type == 7; }

struct Hive {
  std::string root_name;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"
  std::string path;       // .../registry/HKLM.reg
  std::shared_ptr<Key> root;
  // A file that could not be read whole is refused: every access fails and
  // the file is never written over.
  bool refused = false;
};

// Parses REGEDIT5 text into a fresh tree under root_name. Sections naming the
// same key more than once are merged. Lines that cannot be read are reported
// on stderr (prefixed by `where`) and skipped; the first one's number (1-based)
// goes to *bad_line, which stays 0 when every line was read.
std::shared_ptr<Key> parse_reg(std::string_view text, const std::string& root_name,
                               const std::string& where, uint64_t now_ms,
                               size_t* bad_line = nullptr);
// REGEDIT5 text of a tree: every key below the root gets a section (the root
// only when it has values), keys in enumeration order, values in creation
// order, CRLF lines.
std::string render_reg(const Key& root, const std::string& root_name);

// Loads a hive file; a missing file is an empty hive, a malformed or unreadable
// one a refused hive (reported on stderr with the line).
std::unique_ptr<Hive> load_hive(const std::string& path, const std::string& root_name,
                                uint64_t now_ms);
// Writes the hive: a temporary file in the same folder, then a rename over the
// old one, so that the file is always either the old or the new tree.
// False (with a line on stderr) when it could not be written.
bool save_hive(const Hive& hive);

}  // namespace win32::registry
