#include "win32/registry_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace win32::registry {
namespace {

constexpr uint32_t kSz = 1;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
// Hex data lines are wrapped once they pass this column, as regedit does.
constexpr size_t kHexWrapColumn = 76;

unsigned char fold_byte(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7) ? b + 0x20 : b;
}

// Windows keeps a key's subkeys sorted by their names in capitals, and enumerates them in that order.
unsigned char upper_byte(unsigned char b) {
  return (b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7) ? b - 0x20 : b;
}

bool sorts_before(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return upper_byte(static_cast<unsigned char>(x)) < upper_byte(static_cast<unsigned char>(y));
  });
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold_byte(static_cast<unsigned char>(a[i])) != fold_byte(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Reads a quoted string starting at text[pos] == '"' with \\ and \" escapes;
// pos ends just past the closing quote. False when the quote is not closed.
bool read_quoted(std::string_view text, size_t& pos, std::string& out) {
  out.clear();
  ++pos;
  while (pos < text.size()) {
    char c = text[pos++];
    if (c == '"') return true;
    if (c == '\\' && pos < text.size() && (text[pos] == '\\' || text[pos] == '"')) {
      out += text[pos++];
      continue;
    }
    out += c;
  }
  return false;
}

void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "aa,bb, cc" -> bytes; false on anything else.
bool parse_hex_bytes(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  size_t pos = 0;
  auto skip_space = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  skip_space();
  if (pos == text.size()) return true;
  for (;;) {
    skip_space();
    if (pos + 2 > text.size()) return false;
    int hi = hex_digit(text[pos]), lo = hex_digit(text[pos + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    pos += 2;
    skip_space();
    if (pos == text.size()) return true;
    if (text[pos] != ',') return false;
    ++pos;
  }
}

bool parse_hex_number(std::string_view text, uint64_t& out) {
  if (text.empty() || text.size() > 16) return false;
  out = 0;
  for (char c : text) {
    int d = hex_digit(c);
    if (d < 0) return false;
    out = out * 16 + static_cast<uint64_t>(d);
  }
  return true;
}

// A REG_SZ that the quoted form can carry: one terminating null unit, no other
// nulls, no units above 255 and no line breaks.
bool fits_quoted(const std::vector<uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  size_t units = data.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    unsigned unit = data[2 * i] | (data[2 * i + 1] << 8);
    bool last = i + 1 == units;
    if (last != (unit == 0)) return false;
    if (unit > 0xFF || unit == '\r' || unit == '\n') return false;
  }
  return true;
}

void append_value(std::string& out, const Value& v) {
  size_t line_start = out.size();
  if (v.name.empty()) {
    out += '@';
  } else {
    append_quoted(out, v.name);
  }
  out += '=';
  if (v.type == kSz && fits_quoted(v.data)) {
    std::vector<uint8_t> text = narrow(v.data.data(), v.data.size() - 2);
    append_quoted(out, std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    out += "\r\n";
    return;
  }
  char buf[32];
  if (v.type == kDword && v.data.size() == 4) {
    uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                 (static_cast<uint32_t>(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x\r\n", n);
    out += buf;
    return;
  }
  if (v.type == kBinary) {
    out += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    out += buf;
  }
  size_t column = out.size() - line_start;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < v.data.size(); ++i) {
    out += kDigits[v.data[i] >> 4];
    out += kDigits[v.data[i] & 15];
    column += 2;
    if (i + 1 == v.data.size()) break;
    out += ',';
    ++column;
    if (column >= kHexWrapColumn) {
      out += "\\\r\n  ";
      column = 2;
    }
  }
  out += "\r\n";
}

void append_key(std::string& out, const Key& key, const std::string& path, bool is_root) {
  if (!is_root || !key.values.empty()) {
    out += '[';
    out += path;
    out += "]\r\n";
    for (const Value& v : key.values) append_value(out, v);
    out += "\r\n";
  }
  for (const auto& child : key.children) append_key(out, *child, path + "\\" + child->name, false);
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view trim_spaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string fold_name(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(fold_byte(static_cast<unsigned char>(c)));
  return out;
}

Key* Key::child(std::string_view name) const {
  auto it = by_name.find(fold_name(name));
  return it == by_name.end() ? nullptr : it->second;
}

Key* Key::add_child(std::string_view name, uint64_t now_ms, bool* created) {
  std::string folded = fold_name(name);
  auto it = by_name.find(folded);
  if (created != nullptr) *created = it == by_name.end();
  if (it != by_name.end()) return it->second;
  auto key = std::make_shared<Key>();
  key->name = std::string(name);
  key->parent = this;
  key->last_write_ms = now_ms;
  auto place = std::find_if(children.begin(), children.end(),
                            [&](const std::shared_ptr<Key>& k) { return sorts_before(key->name, k->name); });
  children.insert(place, key);
  by_name[folded] = key.get();
  last_write_ms = now_ms;
  return key.get();
}

void Key::remove_child(Key* key) {
  by_name.erase(fold_name(key->name));
  key->deleted = true;
  key->parent = nullptr;
  children.erase(std::remove_if(children.begin(), children.end(),
                                [key](const std::shared_ptr<Key>& k) { return k.get() == key; }),
                 children.end());
}

Value* Key::value(std::string_view name) {
  for (Value& v : values) {
    if (same_name(v.name, name)) return &v;
  }
  return nullptr;
}

const Value* Key::value(std::string_view name) const {
  return const_cast<Key*>(this)->value(name);
}

void Key::set_value(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
  Value* v = value(name);
  if (v == nullptr) {
    values.push_back(Value{std::string(name), type, std::move(data)});
    return;
  }
  v->type = type;
  v->data = std::move(data);
}

bool Key::remove_value(std::string_view name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (same_name(it->name, name)) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<uint8_t> widen(const uint8_t* bytes, size_t count) {
  std::vector<uint8_t> out;
  out.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    out.push_back(bytes[i]);
    out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> narrow(const uint8_t* utf16le, size_t bytes) {
  std::vector<uint8_t> out;
  out.reserve(bytes / 2);
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    unsigned unit = utf16le[i] | (utf16le[i + 1] << 8);
    out.push_back(unit > 0xFF ? '?' : static_cast<uint8_t>(unit));
  }
  return out;
}

std::shared_ptr<Key> parse_reg(std::string_view text, const std::string& root_name,
                               const std::string& where, uint64_t now_ms, size_t* bad_line) {
  if (bad_line != nullptr) *bad_line = 0;
  auto root = std::make_shared<Key>();
  root->name = root_name;
  root->last_write_ms = now_ms;
  std::vector<std::string_view> lines = split_lines(text);
  Key* current = nullptr;
  bool header_seen = false;
  auto complain = [&](size_t line_no, const char* why) {
    std::fprintf(stderr, "qvmr7 registry: %s line %zu: %s\n", where.c_str(), line_no + 1, why);
    if (bad_line != nullptr && *bad_line == 0) *bad_line = line_no + 1;
  };
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string_view line = lines[n];
    std::string_view trimmed = trim_spaces(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (!header_seen) {
      header_seen = true;
      if (trimmed == kHeader) continue;
      complain(n, "no REGEDIT5 header");
    }
    if (trimmed.front() == '[') {
      current = nullptr;
      if (trimmed.back() != ']') {
        complain(n, "section without closing bracket");
        continue;
      }
      std::string_view path = trimmed.substr(1, trimmed.size() - 2);
      if (!path.empty() && path.front() == '-') {
        complain(n, "key deletion sections are not supported");
        continue;
      }
      std::vector<std::string_view> parts;
      size_t start = 0;
      for (;;) {
        size_t slash = path.find('\\', start);
        parts.push_back(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
      }
      if (!same_name(parts[0], root_name)) {
        complain(n, "section outside this hive");
        continue;
      }
      if (std::any_of(parts.begin() + 1, parts.end(), [](std::string_view p) { return p.empty(); })) {
        complain(n, "empty key name in section");
        continue;
      }
      current = root.get();
      for (size_t i = 1; i < parts.size(); ++i) current = current->add_child(parts[i], now_ms);
      continue;
    }
    if (trimmed.front() != '"' && trimmed.front() != '@') {
      complain(n, "not a section or value");
      continue;
    }
    // A value line; hex data may continue over lines ending in a backslash.
    std::string name;
    size_t pos = 0;
    if (trimmed.front() == '@') {
      pos = 1;
    } else if (!read_quoted(trimmed, pos, name)) {
      complain(n, "value name not closed");
      continue;
    }
    std::string_view rest = trim_spaces(trimmed.substr(pos));
    if (rest.empty() || rest.front() != '=') {
      complain(n, "no '=' after the value name");
      continue;
    }
    rest = trim_spaces(rest.substr(1));
    size_t first_line = n;
    std::string joined;
    if (rest.substr(0, 3) == "hex") {
      joined = std::string(rest);
      while (!joined.empty() && joined.back() == '\\' && n + 1 < lines.size()) {
        joined.pop_back();
        joined += trim_spaces(lines[++n]);
      }
      rest = joined;
    }
    if (current == nullptr) {
      complain(first_line, "value outside any section");
      continue;
    }
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!rest.empty() && rest.front() == '"') {
      std::string body;
      size_t p = 0;
      if (!read_quoted(rest, p, body) || p != rest.size()) {
        complain(first_line, "bad string value");
        continue;
      }
      type = kSz;
      data = widen(reinterpret_cast<const uint8_t*>(body.data()), body.size());
      data.push_back(0);
      data.push_back(0);
    } else if (rest.substr(0, 6) == "dword:") {
      uint64_t number = 0;
      std::string_view digits = rest.substr(6);
      if (digits.size() != 8 || !parse_hex_number(digits, number)) {
        complain(first_line, "bad dword value");
        continue;
      }
      type = kDword;
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    } else if (rest.substr(0, 4) == "hex:" || rest.substr(0, 4) == "hex(") {
      size_t colon = rest.find(':');
      uint64_t number = kBinary;
      if (rest[3] == '(') {
        size_t close = rest.find(')');
        if (close == std::string_view::npos || close + 1 != colon ||
            !parse_hex_number(rest.substr(4, close - 4), number) || number > 0xFFFFFFFFu) {
          complain(first_line, "bad hex type");
          continue;
        }
      }
      if (!parse_hex_bytes(rest.substr(colon + 1), data)) {
        complain(first_line, "bad hex data");
        continue;
      }
      type = static_cast<uint32_t>(number);
    } else if (rest == "-") {
      complain(first_line, "value deletion is not supported");
      continue;
    } else {
      complain(first_line, "unknown value form");
      continue;
    }
    current->set_value(name, type, std::move(data));
  }
  return root;
}

std::string render_reg(const Key& root, const std::string& root_name) {
  std::string out = kHeader;
  out += "\r\n\r\n";
  append_key(out, root, root_name, true);
  return out;
}

std::unique_ptr<Hive> load_hive(const std::string& path, const std::string& root_name,
                                uint64_t now_ms) {
  auto hive = std::make_unique<Hive>();
  hive->root_name = root_name;
  hive->path = path;
  std::error_code ec;
  bool exists = fs::exists(path, ec);
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) {
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
  }
  size_t bad_line = 0;
  hive->root = parse_reg(text, root_name, path, now_ms, &bad_line);
  if ((exists && !in) || bad_line != 0) {
    if (bad_line != 0)
      std::fprintf(stderr, "qvmr7 registry: %s is refused at line %zu; the file is left as it is\n",
                   path.c_str(), bad_line);
    else
      std::fprintf(stderr, "qvmr7 registry: %s cannot be read; the file is left as it is\n", path.c_str());
    hive->refused = true;
    hive->root = parse_reg("", root_name, path, now_ms);
  }
  return hive;
}

bool save_hive(const Hive& hive) {
  if (hive.refused) return false;
  std::string text = render_reg(*hive.root, hive.root_name);
  std::error_code ec;
  fs::create_directories(fs::path(hive.path).parent_path(), ec);
  std::string temp = hive.path + "." + std::to_string(getpid()) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), hive.path.c_str()) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "qvmr7 registry: cannot write %s: %s\n", hive.path.c_str(),
                 std::strerror(errno));
    ::unlink(temp.c_str());
  }
  return ok;
}

}  // namespace win32::registry
