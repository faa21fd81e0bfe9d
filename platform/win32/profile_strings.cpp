// kernel32's private-profile functions: INI files read and written with
// Windows' rules. Section and key names are found without regard to case and
// with the blanks around them ignored; values lose their surrounding blanks
// and one pair of matching quotes; of sections or keys with the same name the
// first is the one read and written; a null key deletes the whole section, a
// null value one key. A write changes only its own line and keeps every other
// line as it was, and replaces the file whole, so that a failed write leaves
// the old file.
#include <windows.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win32/paths.h"

namespace {

std::string_view trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Each byte with the letters A to Z taken as a to z: names are compared without regard to case.
constexpr std::array<unsigned char, 256> kLower = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  return table;
}();
unsigned char lower(char c) { return kLower[static_cast<unsigned char>(c)]; }

// A name as it is looked up: trimmed, in lower case.
std::string folded(std::string_view name) {
  std::string out(trimmed(name));
  for (char& c : out) c = static_cast<char>(lower(c));
  return out;
}
using SectionLines = std::map<std::string, int, std::less<>>;  // by folded name

bool same_name(const std::string& a, const char* b) {
  std::string_view other = trimmed(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(other[i])) return false;
  return true;
}

struct Line {
  std::string text;  // as in the file, without its line end; kept for a write only
  enum Kind { Other, Section, Key } kind = Other;
  std::string name;  // section or key name, trimmed
  std::string value;  // a key's value, trimmed and unquoted
};

// A line "[name]" names a section (a missing "]" ends the name at the line's end); a
// line "key=value" in a section is a key; blank lines, comments (";") and lines
// without "=" are kept but mean nothing. A line is read up to its first NUL, where
// the names and values given back would end anyway.
Line parse_line(std::string_view text, bool in_section) {
  Line line;
  std::string_view t = trimmed(text.substr(0, text.find('\0')));
  if (!t.empty() && t[0] == '[') {
    line.kind = Line::Section;
    line.name = trimmed(t.substr(1, t.find(']') - 1));
    return line;
  }
  size_t equals = t.find('=');
  if (!in_section || t.empty() || t[0] == ';' || equals == std::string_view::npos) return line;
  line.kind = Line::Key;
  line.name = trimmed(t.substr(0, equals));
  std::string_view value = trimmed(t.substr(equals + 1));
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  line.value = value;
  return line;
}

// A line as a write keeps it: parsed, with its text.
Line written_line(std::string text, bool in_section) {
  Line line = parse_line(text, in_section);
  line.text = std::move(text);
  return line;
}

struct IniFile {
  const char* windows_path = nullptr;  // as the caller gave it; for a write
  std::string path;  // on this computer; for a write
  std::shared_ptr<std::vector<Line>> lines;  // once loaded; none for a file that does not exist
  // The line of each section name's first section, as read; none once the lines change.
  std::shared_ptr<SectionLines> sections;
};

// The last file read, parsed, as Windows keeps it: a definition's numbered keys are read
// one call each, and each call need not read the file again while it is unchanged.
// inotify tells whether it changed (written, renamed, or removed or replaced, which
// changes its link count), so that a call costs no lookup of the whole path; where
// inotify cannot watch, the file's size and time decide. A folder above it that is
// renamed is not seen.
struct ParsedFile {
  std::string path;
  std::string asked;  // the path a read asks for, mapped into the same buffer each time
  int watch = -1;  // the inotify watch of the file; -1 when size and time decide
  struct timespec modified = {};
  off_t size = -1;
  std::shared_ptr<std::vector<Line>> lines;
  std::shared_ptr<SectionLines> sections;
};
std::mutex& parsed_lock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}
ParsedFile& parsed() {
  static ParsedFile& file = *new ParsedFile;
  return file;
}

// The process's inotify queue of changes to the last file parsed; -1 where there is none.
int change_queue() {
  static const int queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  return queue;
}

// Empties the queue; true when a change to the watched file was in it.
bool read_changes(const ParsedFile& last) {
  alignas(struct inotify_event) char events[4096];
  bool changed = false;
  for (;;) {
    ssize_t n = ::read(change_queue(), events, sizeof events);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return changed || errno != EAGAIN;
    if (n == 0) return changed;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const struct inotify_event*>(events + at);
      at += static_cast<ssize_t>(sizeof *event + event->len);
      changed = changed || event->wd == last.watch || event->wd < 0;  // < 0: events were lost
    }
  }
}

// Moves the watch to the file at `path`; called before the file is read, so that a change
// made while it is read is seen at the next call.
void watch(ParsedFile* last, const std::string& path) {
  if (change_queue() < 0) return;
  if (last->watch >= 0) inotify_rm_watch(change_queue(), last->watch);
  read_changes(*last);
  last->watch = inotify_add_watch(change_queue(), path.c_str(),
                                  IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF);
}

// Reads and parses the file at `path` into the lines of `ini`, with their texts for a write;
// false, with the Windows error set, when there is no such file.
bool parse(const std::string& path, IniFile* ini, struct stat* st, bool for_write) {
  ini->lines = std::make_shared<std::vector<Line>>();
  int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool exists = file >= 0 && ::fstat(file, st) == 0 && S_ISREG(st->st_mode);
  std::string content;
  if (exists) {
    // Read whole in one go; one byte more than its size tells that the end was reached.
    content.resize(static_cast<size_t>(st->st_size) + 1);
    size_t got = 0;
    for (ssize_t n; (n = ::read(file, &content[got], content.size() - got)) > 0;)
      if ((got += static_cast<size_t>(n)) == content.size()) content.resize(2 * content.size());
    content.resize(got);
  }
  if (file >= 0) ::close(file);
  if (!exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  bool in_section = false;
  ini->sections = std::make_shared<SectionLines>();
  for (size_t at = 0; at < content.size();) {
    size_t end = std::min(content.find('\n', at), content.size());
    std::string_view text(content.data() + at, end - at);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    (*ini->lines).push_back(for_write ? written_line(std::string(text), in_section) : parse_line(text, in_section));
    const Line& line = (*ini->lines).back();
    if (line.kind == Line::Section)
      ini->sections->emplace(folded(line.name), static_cast<int>((*ini->lines).size() - 1));
    in_section = in_section || line.kind == Line::Section;
    at = end + 1;
  }
  return true;
}

// For a read: the file at a Windows path, as last parsed while it is unchanged; false with
// the Windows error set when the path does not map. A read that finds the file unchanged
// allocates nothing.
bool load(const char* windows_path, IniFile* ini) {
  if (windows_path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::lock_guard<std::mutex> guard(parsed_lock());
  ParsedFile& last = parsed();
  if (DWORD error = platform::map_path(windows_path, &last.asked)) {
    SetLastError(error);
    return false;
  }
  struct stat st;
  if (last.lines && last.path == last.asked) {
    bool unchanged = last.watch >= 0
                         ? !read_changes(last)
                         : ::stat(last.path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && last.size == st.st_size &&
                               last.modified.tv_sec == st.st_mtim.tv_sec && last.modified.tv_nsec == st.st_mtim.tv_nsec;
    if (unchanged) {
      ini->lines = last.lines;
      ini->sections = last.sections;
      return true;
    }
  }
  last.lines.reset();
  last.sections.reset();
  watch(&last, last.asked);
  if (!parse(last.asked, ini, &st, false)) return true;
  last.path = last.asked;
  last.modified = st.st_mtim;
  last.size = st.st_size;
  last.lines = ini->lines;
  last.sections = ini->sections;
  return true;
}

// For a write: the file as it is now, in lines of the write's own; the parse kept for reads
// is dropped, as the write changes the file.
bool load_for_write(const char* windows_path, IniFile* ini) {
  if (windows_path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  ini->windows_path = windows_path;
  if (DWORD error = platform::map_path(windows_path, &ini->path)) {
    SetLastError(error);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(parsed_lock());
    parsed().lines.reset();
    parsed().sections.reset();
  }
  struct stat st;
  parse(ini->path, ini, &st, true);
  ini->sections.reset();  // the lines are about to change
  return true;
}

// The line of the first section of that name; -1 when there is none.
int find_section(const IniFile& ini, const char* name) {
  if (ini.sections) {
    // Folded on the stack where it fits, so that a read of a key allocates nothing.
    std::string_view wanted = trimmed(name);
    std::array<char, 256> lowered;
    auto found = ini.sections->end();
    if (wanted.size() <= lowered.size()) {
      std::transform(wanted.begin(), wanted.end(), lowered.begin(), [](char c) { return static_cast<char>(lower(c)); });
      found = ini.sections->find(std::string_view(lowered.data(), wanted.size()));
    } else {
      found = ini.sections->find(folded(name));
    }
    return found == ini.sections->end() ? -1 : found->second;
  }
  for (size_t i = 0; i < (*ini.lines).size(); ++i)
    if ((*ini.lines)[i].kind == Line::Section && same_name((*ini.lines)[i].name, name)) return static_cast<int>(i);
  return -1;
}

// The line just past a section's last line.
size_t section_end(const IniFile& ini, int section) {
  size_t i = static_cast<size_t>(section) + 1;
  while (i < (*ini.lines).size() && (*ini.lines)[i].kind != Line::Section) ++i;
  return i;
}

int find_key(const IniFile& ini, int section, const char* key) {
  for (size_t i = static_cast<size_t>(section) + 1, end = section_end(ini, section); i < end; ++i)
    if ((*ini.lines)[i].kind == Line::Key && same_name((*ini.lines)[i].name, key)) return static_cast<int>(i);
  return -1;
}

// Copies a list of names, each ended by a NUL, and a final NUL; cut to the buffer as Windows
// cuts it (the result is then size - 2).
DWORD copy_names(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) return buffer[0] = '\0', 0;
  DWORD used = 0;
  for (const std::string& name : names) {
    if (used + name.size() + 2 > size) {
      size_t room = size - used - 2;
      std::memcpy(buffer + used, name.data(), room);
      buffer[size - 2] = '\0';
      buffer[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buffer + used, name.c_str(), name.size() + 1);
    used += static_cast<DWORD>(name.size() + 1);
  }
  buffer[used] = '\0';
  if (used == 0) buffer[1 < size ? 1 : 0] = '\0';
  return used;
}

DWORD copy_value(const std::string& value, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  size_t n = std::min<size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// The first section of each name, in the file's order, of a file as read.
std::vector<std::string> section_names(const IniFile& ini) {
  std::vector<int> first;
  if (ini.sections)
    for (const auto& [name, line] : *ini.sections) first.push_back(line);
  std::sort(first.begin(), first.end());
  std::vector<std::string> names;
  for (int line : first) names.push_back((*ini.lines)[static_cast<size_t>(line)].name);
  return names;
}

// Writes the lines to a new file beside the old one and puts it in the old one's place.
BOOL save(const IniFile& ini) {
  DWORD attributes = GetFileAttributesA(ini.windows_path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::string temporary = ini.path + ".writing";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
      return FALSE;
    }
    for (const Line& line : (*ini.lines)) out << line.text << "\r\n";
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      SetLastError(ERROR_WRITE_FAULT);
      return FALSE;
    }
  }
  if (std::rename(temporary.c_str(), ini.path.c_str()) != 0) {
    std::remove(temporary.c_str());
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) {
  IniFile ini;
  if (!load(file, &ini)) return copy_names({}, buffer, size);
  return copy_names(section_names(ini), buffer, size);
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                                      LPCSTR file) {
  IniFile ini;
  bool loaded = load(file, &ini);
  if (section == nullptr) return copy_names(loaded ? section_names(ini) : std::vector<std::string>{}, buffer, size);
  int at = loaded ? find_section(ini, section) : -1;
  if (key == nullptr) {
    std::vector<std::string> keys;
    size_t end = at < 0 ? 0 : section_end(ini, at);
    for (size_t i = at < 0 ? 0 : static_cast<size_t>(at) + 1; i < end; ++i)
      if ((*ini.lines)[i].kind == Line::Key && find_key(ini, at, (*ini.lines)[i].name.c_str()) == static_cast<int>(i))
        keys.push_back((*ini.lines)[i].name);
    return copy_names(keys, buffer, size);
  }
  int line = at < 0 ? -1 : find_key(ini, at, key);
  if (line >= 0) return copy_value((*ini.lines)[static_cast<size_t>(line)].value, buffer, size);
  // The default loses its trailing blanks, as Windows cuts them.
  std::string text = fallback ? fallback : "";
  text.erase(text.find_last_not_of(' ') + 1);
  return copy_value(text, buffer, size);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (section == nullptr && key == nullptr && value == nullptr) return TRUE;  // a flush: nothing is cached here
  if (section == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  IniFile ini;
  if (!load_for_write(file, &ini)) return FALSE;
  int at = find_section(ini, section);
  if (key == nullptr) {
    // Every section of that name goes, lines and all, so that none of them is read again.
    if (at < 0) return TRUE;
    while ((at = find_section(ini, section)) >= 0)
      (*ini.lines).erase((*ini.lines).begin() + at, (*ini.lines).begin() + static_cast<long>(section_end(ini, at)));
    return save(ini);
  }
  int line = at < 0 ? -1 : find_key(ini, at, key);
  if (value == nullptr) {
    if (line < 0) return TRUE;
    (*ini.lines).erase((*ini.lines).begin() + line);
    return save(ini);
  }
  std::string text = std::string(trimmed(key)) + "=" + value;
  if (line >= 0) {
    (*ini.lines)[static_cast<size_t>(line)] = written_line(text, true);
  } else if (at >= 0) {
    // After the section's last line that is not blank.
    size_t end = section_end(ini, at);
    while (end > static_cast<size_t>(at) + 1 && trimmed((*ini.lines)[end - 1].text).empty()) --end;
    (*ini.lines).insert((*ini.lines).begin() + static_cast<long>(end), written_line(text, true));
  } else {
    if (!(*ini.lines).empty() && !trimmed((*ini.lines).back().text).empty())
      (*ini.lines).push_back(written_line("", true));
    (*ini.lines).push_back(written_line("[" + std::string(trimmed(section)) + "]", false));
    (*ini.lines).push_back(written_line(text, true));
  }
  return save(ini);
}

}  // extern "C"
