// advapi32 RegSaveKeyA and RegRestoreKeyA: a key's tree written to and read
// from a real registry hive file (regf) through libhivex, so that a saved key
// opens in any tool that reads hives and a hive made elsewhere can be restored.
//
// A drive path ("C:\...") is on the machine whose registry the key belongs to,
// as the registry service of that machine opens it; a UNC path is reached over
// the network from there, which the world maps as from the console.
#include <windows.h>

#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "win32/paths.h"
#include "win32/privileges.h"
#include "win32/registry_tree.h"
#include "world/world.h"

namespace {

constexpr size_t kBaseBlockBytes = 0x1000;
constexpr size_t kBinBytes = 0x1000;
constexpr size_t kHeaderDataSizeOffset = 0x28;
constexpr size_t kChecksumOffset = 0x1FC;
constexpr size_t kBinHeaderBytes = 0x20;
constexpr size_t kValueCellBytes = 4 + 0x14;  // a "vk" cell without its name
constexpr uint32_t kDataInCell = 0x80000000;   // a value's length bit: up to four bytes kept in the "vk" itself
constexpr uint32_t kBigDataSegment = 16344;
constexpr uint64_t kFileTimeEpochOffset = 116444736000000000ull;
constexpr int kMostKeyLevels = 512;

static_assert(sizeof(hive_type) == sizeof(uint32_t), "hivex keeps a value's type in 32 bits");

struct HiveCloser {
  void operator()(hive_h* h) const { hivex_close(h); }
};
using HiveHandle = std::unique_ptr<hive_h, HiveCloser>;

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

uint64_t file_time_now() { return world::clock_now_ms() * 10000 + kFileTimeEpochOffset; }

// The base block's checksum: the XOR of its first 127 words, never 0 or all ones.
void seal_base_block(std::vector<uint8_t>& b) {
  uint32_t checksum = 0;
  for (size_t at = 0; at < kChecksumOffset; at += 4) checksum ^= get32(&b[at]);
  if (checksum == 0) checksum = 1;
  if (checksum == 0xFFFFFFFF) checksum = 0xFFFFFFFE;
  put32(b, kChecksumOffset, checksum);
}

uint32_t cell_span(size_t data_bytes) { return static_cast<uint32_t>((4 + data_bytes + 7) & ~size_t{7}); }

// A new allocated cell of `data_bytes` at `*next` of the file, which moves on past it; its offset in the hive.
uint32_t allocate_cell(std::vector<uint8_t>& b, size_t* next, size_t data_bytes) {
  const size_t cell = *next;
  put32(b, cell, static_cast<uint32_t>(-static_cast<int32_t>(cell_span(data_bytes))));
  *next += cell_span(data_bytes);
  return static_cast<uint32_t>(cell - kBaseBlockBytes);
}

// A hive of format 1.4 or later (this one is 1.5) keeps a value longer than one segment as big data: a
// "db" cell pointing at a list of segment cells of 16,344 bytes each (the last one shorter), and its
// loader reads such a value's cell as that "db" cell. libhivex writes one cell, so each such value moves
// here into a bin of its own at the end of the file, and its single cell is freed. False when the file
// is not a hive.
bool split_big_values(std::vector<uint8_t>& b) {
  if (b.size() < kBaseBlockBytes) return false;
  const size_t end = kBaseBlockBytes + size_t{get32(&b[kHeaderDataSizeOffset])};
  if (end > b.size()) return false;
  b.resize(end);
  std::vector<size_t> big_values;  // the file offsets of their "vk" cells
  for (size_t bin = kBaseBlockBytes; bin < end;) {
    if (end - bin < kBinHeaderBytes || std::memcmp(&b[bin], "hbin", 4) != 0) return false;
    const size_t bin_end = bin + get32(&b[bin + 8]);
    if (bin_end <= bin + kBinHeaderBytes || bin_end > end) return false;
    for (size_t cell = bin + kBinHeaderBytes; cell < bin_end;) {
      if (bin_end - cell < 8) return false;
      const int32_t size = static_cast<int32_t>(get32(&b[cell]));
      const size_t span = size < 0 ? 0 - static_cast<size_t>(size) : static_cast<size_t>(size);
      if (span < 8 || span > bin_end - cell) return false;
      if (size < 0 && span >= kValueCellBytes && std::memcmp(&b[cell + 4], "vk", 2) == 0) {
        const uint32_t length = get32(&b[cell + 8]);
        if ((length & kDataInCell) == 0 && length > kBigDataSegment) big_values.push_back(cell);
      }
      cell += span;
    }
    bin = bin_end;
  }
  for (size_t value : big_values) {
    const uint32_t length = get32(&b[value + 8]);
    const size_t data = kBaseBlockBytes + size_t{get32(&b[value + 12])};
    if (data > end - 4) return false;
    const uint32_t data_size = get32(&b[data]), data_span = 0u - data_size;  // allocated: a negative size
    if (static_cast<int32_t>(data_size) >= 0 || size_t{4} + length > data_span || data_span > end - data) return false;
    const uint32_t segments = (length + kBigDataSegment - 1) / kBigDataSegment;
    size_t used = kBinHeaderBytes + cell_span(8) + cell_span(4 * size_t{segments});
    for (uint32_t i = 0; i < segments; ++i) used += cell_span(std::min(kBigDataSegment, length - i * kBigDataSegment));
    const size_t bin = b.size(), bin_size = (used + kBinBytes - 1) / kBinBytes * kBinBytes;
    b.resize(bin + bin_size, 0);
    std::memcpy(&b[bin], "hbin", 4);
    put32(b, bin + 4, static_cast<uint32_t>(bin - kBaseBlockBytes));
    put32(b, bin + 8, static_cast<uint32_t>(bin_size));
    size_t next = bin + kBinHeaderBytes;
    const uint32_t big = allocate_cell(b, &next, 8);
    const uint32_t list = allocate_cell(b, &next, 4 * size_t{segments});
    std::memcpy(&b[kBaseBlockBytes + big + 4], "db", 2);
    put16(b, kBaseBlockBytes + big + 6, static_cast<uint16_t>(segments));
    put32(b, kBaseBlockBytes + big + 8, list);
    for (uint32_t i = 0; i < segments; ++i) {
      const uint32_t bytes = std::min(kBigDataSegment, length - i * kBigDataSegment);
      const uint32_t segment = allocate_cell(b, &next, bytes);
      std::memcpy(&b[kBaseBlockBytes + segment + 4], &b[data + 4 + size_t{i} * kBigDataSegment], bytes);
      put32(b, kBaseBlockBytes + list + 4 + 4 * size_t{i}, segment);
    }
    if (next < bin + bin_size) put32(b, next, static_cast<uint32_t>(bin + bin_size - next));  // the rest is free
    put32(b, data, data_span);  // the single cell, now free
    put32(b, value + 12, big);
  }
  put32(b, kHeaderDataSizeOffset, static_cast<uint32_t>(b.size() - kBaseBlockBytes));
  seal_base_block(b);
  return true;
}

// A hive with nothing but its root key (named `root_name`, ASCII) and the root's security cell:
// the base block, then one bin holding the root key, the security cell and a free cell.
std::vector<uint8_t> empty_hive(const std::string& root_name) {
  std::vector<uint8_t> b(kBaseBlockBytes + kBinBytes, 0);
  const uint64_t now = file_time_now();
  const size_t bin = kBaseBlockBytes;
  const uint32_t root_cell = 0x20;  // offsets of cells count from the first bin
  std::string name = root_name.substr(0, 255);
  const uint32_t root_size = static_cast<uint32_t>((4 + 0x4C + name.size() + 7) & ~size_t{7});
  const uint32_t security_cell = root_cell + root_size;
  const uint8_t descriptor[20] = {1, 0, 0x00, 0x80};  // revision 1, self-relative, no owner, group or lists
  const uint32_t security_size = static_cast<uint32_t>((4 + 0x14 + sizeof descriptor + 7) & ~size_t{7});

  std::memcpy(&b[0], "regf", 4);
  put32(b, 0x04, 1);  // primary and secondary sequence numbers: a clean hive
  put32(b, 0x08, 1);
  put64(b, 0x0C, now);
  put32(b, 0x14, 1);  // format 1.5
  put32(b, 0x18, 5);
  put32(b, 0x1C, 0);  // primary file
  put32(b, 0x20, 1);  // direct memory load
  put32(b, 0x24, root_cell);
  put32(b, kHeaderDataSizeOffset, kBinBytes);
  put32(b, 0x2C, 1);
  seal_base_block(b);

  std::memcpy(&b[bin], "hbin", 4);
  put32(b, bin + 0x04, 0);
  put32(b, bin + 0x08, kBinBytes);
  put64(b, bin + 0x14, now);

  size_t nk = bin + root_cell;
  put32(b, nk, static_cast<uint32_t>(-static_cast<int32_t>(root_size)));
  std::memcpy(&b[nk + 4], "nk", 2);
  put16(b, nk + 6, 0x2C);  // the hive's root, not to be deleted, ASCII name
  put64(b, nk + 8, now);
  put32(b, nk + 4 + 0x1C, 0xFFFFFFFF);  // no subkey lists
  put32(b, nk + 4 + 0x20, 0xFFFFFFFF);
  put32(b, nk + 4 + 0x28, 0xFFFFFFFF);  // no value list
  put32(b, nk + 4 + 0x2C, security_cell);
  put32(b, nk + 4 + 0x30, 0xFFFFFFFF);  // no class name
  put16(b, nk + 4 + 0x48, static_cast<uint16_t>(name.size()));
  std::memcpy(&b[nk + 4 + 0x4C], name.data(), name.size());

  size_t sk = bin + security_cell;
  put32(b, sk, static_cast<uint32_t>(-static_cast<int32_t>(security_size)));
  std::memcpy(&b[sk + 4], "sk", 2);
  put32(b, sk + 4 + 0x04, security_cell);  // the only security cell: its own neighbours
  put32(b, sk + 4 + 0x08, security_cell);
  put32(b, sk + 4 + 0x0C, 1);
  put32(b, sk + 4 + 0x10, sizeof descriptor);
  std::memcpy(&b[sk + 4 + 0x14], descriptor, sizeof descriptor);

  uint32_t free_cell = security_cell + security_size;
  put32(b, bin + free_cell, static_cast<uint32_t>(kBinBytes - free_cell));
  return b;
}

// Names are kept as 8-bit bytes standing for the code units 0..255 (Latin-1); hivex speaks UTF-8.
std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string utf8_to_latin1(const char* text) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
    uint32_t unit = *p++;
    int more = unit >= 0xF0 ? 3 : unit >= 0xE0 ? 2 : unit >= 0xC0 ? 1 : 0;
    if (more) unit &= 0x3F >> more;
    for (; more > 0 && (*p & 0xC0) == 0x80; --more) unit = unit << 6 | (*p++ & 0x3F);
    out += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return out;
}

bool add_to_hive(hive_h* h, hive_node_h node, const win32::RegistryTree& tree) {
  std::vector<std::string> keys;
  keys.reserve(tree.values.size());
  std::vector<hive_set_value> values(tree.values.size());
  for (size_t i = 0; i < tree.values.size(); ++i) {
    const win32::registry::Value& v = tree.values[i];
    keys.push_back(latin1_to_utf8(v.name));
    values[i].key = keys.back().data();
    std::memcpy(&values[i].t, &v.type, sizeof v.type);  // any type, also one hivex does not name
    values[i].len = v.data.size();
    values[i].value = const_cast<char*>(reinterpret_cast<const char*>(v.data.data()));
  }
  if (hivex_node_set_values(h, node, values.size(), values.data(), 0) != 0) return false;
  for (const win32::RegistryTree& child : tree.children) {
    hive_node_h added = hivex_node_add_child(h, node, latin1_to_utf8(child.name).c_str());
    if (added == 0 || !add_to_hive(h, added, child)) return false;
  }
  return true;
}

// The whole tree below a hive node; false when the hive does not read as one, also when a key is listed
// below two keys or below itself, or keys are nested deeper than Windows' 512 levels.
bool read_from_hive(hive_h* h, hive_node_h node, win32::RegistryTree* tree, std::unordered_set<hive_node_h>* seen,
                    int level) {
  if (level > kMostKeyLevels || !seen->insert(node).second) return false;
  std::unique_ptr<hive_value_h, decltype(&std::free)> values(hivex_node_values(h, node), &std::free);
  if (!values) return false;
  for (const hive_value_h* v = values.get(); *v; ++v) {
    std::unique_ptr<char, decltype(&std::free)> key(hivex_value_key(h, *v), &std::free);
    // Any 32-bit number is a value type to Windows, beyond the ones hivex names: read as that number.
    uint32_t type = 0;
    size_t length = 0;
    std::unique_ptr<char, decltype(&std::free)> data(
        hivex_value_value(h, *v, reinterpret_cast<hive_type*>(&type), &length), &std::free);
    if (!key || !data) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.get());
    tree->values.push_back({utf8_to_latin1(key.get()), type, {bytes, bytes + length}});
  }
  std::unique_ptr<hive_node_h, decltype(&std::free)> children(hivex_node_children(h, node), &std::free);
  if (!children) return false;
  for (const hive_node_h* c = children.get(); *c; ++c) {
    std::unique_ptr<char, decltype(&std::free)> name(hivex_node_name(h, *c), &std::free);
    if (!name) return false;
    tree->children.emplace_back();
    tree->children.back().name = utf8_to_latin1(name.get());
    if (!read_from_hive(h, *c, &tree->children.back(), seen, level + 1)) return false;
  }
  return true;
}

// The file as the key's machine reaches it: a drive path on that machine, a UNC path over the network.
LONG file_on_machine(const std::string& machine, const char* file, std::string* local) {
  if (file == nullptr || *file == '\0') return ERROR_INVALID_PARAMETER;
  std::string path = file;
  if (path.size() >= 2 && path[1] == ':') path = "\\\\" + machine + "\\" + path[0] + "$" + path.substr(2);
  return static_cast<LONG>(platform::map_path(path.c_str(), local));
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool folder_exists(const std::string& path) {
  struct stat st;
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

LONG write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return ERROR_ACCESS_DENIED;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// The file libhivex committed, rewritten with its long values as big data.
LONG with_big_values_split(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return ERROR_WRITE_FAULT;
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(in);
  return split_big_values(bytes) ? write_bytes(path, bytes) : ERROR_WRITE_FAULT;
}

LONG write_hive(const std::string& target, const win32::RegistryTree& tree) {
  std::string empty = target + ".empty";
  LONG rc = write_bytes(empty, empty_hive(tree.name.empty() ? "ROOT" : latin1_to_utf8(tree.name)));
  HiveHandle h(rc == ERROR_SUCCESS ? hivex_open(empty.c_str(), HIVEX_OPEN_WRITE) : nullptr);
  if (rc == ERROR_SUCCESS)
    rc = h && add_to_hive(h.get(), hivex_root(h.get()), tree) && hivex_commit(h.get(), target.c_str(), 0) == 0
             ? ERROR_SUCCESS
             : ERROR_WRITE_FAULT;
  h.reset();
  if (rc == ERROR_SUCCESS) rc = with_big_values_split(target);
  ::unlink(empty.c_str());
  if (rc != ERROR_SUCCESS) ::unlink(target.c_str());
  return rc;
}

// A file whose bins end past its end was cut short; hivex would read what is left of it.
bool hive_is_whole(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  uint8_t header[kHeaderDataSizeOffset + 4];
  bool read = std::fread(header, 1, sizeof header, in) == sizeof header;
  std::fseek(in, 0, SEEK_END);
  long size = std::ftell(in);
  std::fclose(in);
  return read && size >= 0 &&
         static_cast<uint64_t>(size) >= kBaseBlockBytes + uint64_t{get32(header + kHeaderDataSizeOffset)};
}

LONG read_hive(const std::string& path, win32::RegistryTree* tree) {
  if (!hive_is_whole(path)) return ERROR_BADDB;
  HiveHandle h(hivex_open(path.c_str(), 0));
  if (!h) return ERROR_BADDB;
  std::unordered_set<hive_node_h> seen;
  return read_from_hive(h.get(), hivex_root(h.get()), tree, &seen, 0) ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG unsupported(const char* function, const char* what) {
  std::fprintf(stderr, "qvmr7 hive files: %s: %s not supported\n", function, what);
  return ERROR_INVALID_PARAMETER;
}

bool has_line_break(const std::string& name) { return name.find_first_of("\r\n") != std::string::npos; }

// Whether a restored tree's names can all be held: a key below the root that no path can name (an empty
// name, or one with a backslash) makes the hive corrupt, as Windows' check of a hive takes it; a line
// break in a name is refused as the layer's RegCreateKeyExA and RegSetValueExA refuse it.
LONG check_names(const win32::RegistryTree& tree, bool root, const char* function) {
  if (!root && (tree.name.empty() || tree.name.find('\\') != std::string::npos)) return ERROR_BADDB;
  if (!root && has_line_break(tree.name)) return unsupported(function, "a line break in a key name");
  for (const win32::registry::Value& v : tree.values)
    if (has_line_break(v.name)) return unsupported(function, "a line break in a value name");
  for (const win32::RegistryTree& child : tree.children)
    if (LONG rc = check_names(child, false, function)) return rc;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegSaveKeyA(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES security) {
  static const char* function = "RegSaveKeyA";
  if (security != nullptr) return unsupported(function, "a security descriptor for the file");
  if (!win32::privilege_enabled(SE_BACKUP_NAME)) return ERROR_PRIVILEGE_NOT_HELD;
  win32::RegistryTree tree;
  std::string machine, target;
  LONG rc = win32::registry_read_tree(key, function, &tree, &machine);
  if (rc == ERROR_SUCCESS) rc = file_on_machine(machine, file, &target);
  if (rc != ERROR_SUCCESS) return rc;
  if (exists(target)) return ERROR_ALREADY_EXISTS;
  if (!folder_exists(target)) return ERROR_PATH_NOT_FOUND;
  return write_hive(target, tree);
}

LONG WINAPI RegRestoreKeyA(HKEY key, LPCSTR file, DWORD flags) {
  static const char* function = "RegRestoreKeyA";
  if (flags != REG_FORCE_RESTORE) return unsupported(function, "flags other than REG_FORCE_RESTORE");
  if (!win32::privilege_enabled(SE_RESTORE_NAME)) return ERROR_PRIVILEGE_NOT_HELD;
  std::string machine, source;
  LONG rc = win32::registry_handle_machine(key, function, &machine);
  if (rc == ERROR_SUCCESS) rc = file_on_machine(machine, file, &source);
  if (rc != ERROR_SUCCESS) return rc;
  if (!exists(source)) return ERROR_FILE_NOT_FOUND;
  win32::RegistryTree tree;
  rc = read_hive(source, &tree);
  if (rc == ERROR_SUCCESS) rc = check_names(tree, true, function);
  return rc == ERROR_SUCCESS ? win32::registry_replace_tree(key, function, tree) : rc;
}

}  // extern "C"
