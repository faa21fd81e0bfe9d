// Files and folders: opening with sharing rules, enumeration with long and
// short names, attributes, copies, moves and deletions, over the world's shares.
#include <windows.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "win32/kernel_objects.h"
#include "win32/paths.h"
#include "win32/services.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kFileTimeEpochOffset = 116444736000000000ull;

bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string short_name(const std::string& name);

// Appends one component to a folder, preferring an existing entry of any case,
// else the entry whose short (8.3) name it is.
std::string join_component(const std::string& folder, const std::string& name) {
  std::string exact = folder + "/" + name;
  struct stat st;
  if (::lstat(exact.c_str(), &st) == 0 || name == "." || name == "..") return exact;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string alternate = entry->d_name[0] == '.' ? "" : short_name(entry->d_name);
      if (same_ignoring_case(entry->d_name, name) || (!alternate.empty() && same_ignoring_case(alternate, name))) {
        std::string found = folder + "/" + entry->d_name;
        ::closedir(dir);
        return found;
      }
    }
    ::closedir(dir);
  }
  return exact;
}

std::vector<std::string> split_components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

DWORD errno_to_error(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EISDIR: return ERROR_ACCESS_DENIED;
    default: return ERROR_ACCESS_DENIED;
  }
}

// The error for a missing path: 3 when its folder is missing too, else 2.
DWORD missing_error(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/'));
  struct stat st;
  return folder.empty() || ::stat(folder.c_str(), &st) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Read-only, hidden, system and archive bits, kept here: the host file system
// has no such bits, and its permissions do not stop a process running as root.
struct AttributeStore {
  std::mutex lock;
  std::map<std::string, DWORD> extra;  // by canonical path
};

AttributeStore& attribute_store() {
  static AttributeStore& store = *new AttributeStore;
  return store;
}

std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(path, ec);
  return ec ? path : p.string();
}

DWORD attributes_of(const std::string& path, const struct stat& st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
  {
    AttributeStore& store = attribute_store();
    std::lock_guard<std::mutex> guard(store.lock);
    auto it = store.extra.find(canonical(path));
    if (it != store.extra.end()) attributes |= it->second;
  }
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool is_read_only(const std::string& path) {
  AttributeStore& store = attribute_store();
  std::lock_guard<std::mutex> guard(store.lock);
  auto it = store.extra.find(canonical(path));
  return it != store.extra.end() && (it->second & FILE_ATTRIBUTE_READONLY);
}

// Forgets the attributes of a path that is gone.
void forget_attributes(const std::string& path) {
  AttributeStore& store = attribute_store();
  std::lock_guard<std::mutex> guard(store.lock);
  store.extra.erase(canonical(path));
}

// A moved file keeps its attributes under its new name.
void move_attributes(const std::string& from, const std::string& to) {
  AttributeStore& store = attribute_store();
  std::lock_guard<std::mutex> guard(store.lock);
  auto it = store.extra.find(from);
  DWORD bits = it == store.extra.end() ? 0 : it->second;
  if (it != store.extra.end()) store.extra.erase(it);
  if (bits) store.extra[canonical(to)] = bits;
  else store.extra.erase(canonical(to));
}

FILETIME to_file_time(const struct timespec& t) {
  uint64_t value = static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100 +
                   kFileTimeEpochOffset;
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// Whether an open of `path` with this access and share mode conflicts with the handles already open.
bool sharing_conflict(const std::string& path, DWORD access, DWORD share) {
  // A running service holds its program open for reading only.
  if ((access & (GENERIC_WRITE | DELETE)) && platform::held_as_service_image(path)) return true;
  std::lock_guard<std::mutex> guard(platform::object_table_lock());
  for (const auto& [handle, object] : platform::object_table()) {
    if (object->kind != platform::KernelObject::File || object->path != path) continue;
    if ((access & GENERIC_READ) && !(object->share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(object->share & FILE_SHARE_WRITE)) return true;
    if ((access & DELETE) && !(object->share & FILE_SHARE_DELETE)) return true;
    if ((object->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((object->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    if ((object->access & DELETE) && !(share & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

bool exclusively_open(const std::string& path) {
  std::lock_guard<std::mutex> guard(platform::object_table_lock());
  for (const auto& [handle, object] : platform::object_table())
    if (object->kind == platform::KernelObject::File && object->path == path && object->share == 0) return true;
  return false;
}

// A DOS 8.3 name for a long name, or empty when the name already is one.
std::string short_name(const std::string& name) {
  std::string base = name, ext;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) {
    base = name.substr(0, dot);
    ext = name.substr(dot + 1);
  }
  auto plain = [](const std::string& s, size_t most) {
    if (s.empty() || s.size() > most) return false;
    for (char c : s)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '$' && c != '~') return false;
    return true;
  };
  bool upper = true;
  for (char c : name) upper = upper && !std::islower(static_cast<unsigned char>(c));
  if (plain(base, 8) && (ext.empty() || plain(ext, 3)) && upper && name.find('.') == name.rfind('.')) return "";
  auto squeeze = [](const std::string& s, size_t most) {
    std::string out;
    for (char c : s) {
      if (out.size() == most) break;
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '$')
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
  };
  std::string result = squeeze(base, 6) + "~1";
  std::string short_ext = squeeze(ext, 3);
  return short_ext.empty() ? result : result + "." + short_ext;
}

bool wildcard_match(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') return wildcard_match(pattern + 1, name) || (*name && wildcard_match(pattern, name + 1));
  if (*name == '\0') return false;
  if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) != std::tolower(static_cast<unsigned char>(*name)))
    return false;
  return wildcard_match(pattern + 1, name + 1);
}

struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

struct SearchTable {
  std::mutex lock;
  std::map<Search*, std::unique_ptr<Search>> open;
};

SearchTable& searches() {
  static SearchTable& table = *new SearchTable;
  return table;
}

bool fill_find_data(const std::string& folder, const char* name, WIN32_FIND_DATAA* out) {
  std::string path = folder + "/" + name;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  std::memset(out, 0, sizeof *out);
  out->dwFileAttributes = attributes_of(path, st);
  out->ftCreationTime = to_file_time(st.st_ctim);
  out->ftLastAccessTime = to_file_time(st.st_atim);
  out->ftLastWriteTime = to_file_time(st.st_mtim);
  uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  out->nFileSizeLow = static_cast<DWORD>(size);
  std::snprintf(out->cFileName, sizeof out->cFileName, "%s", name);
  std::string alternate = std::strcmp(name, ".") && std::strcmp(name, "..") ? short_name(name) : "";
  std::snprintf(out->cAlternateFileName, sizeof out->cAlternateFileName, "%s", alternate.c_str());
  return true;
}

}  // namespace

namespace platform {

DWORD map_path(const char* windows_path, std::string* local_path, DWORD* read_delay_ms, std::string* share_root) {
  std::string_view given = windows_path ? windows_path : "";
  const bool unc = given.size() > 2 && given[0] == '\\' && given[1] == '\\';
  const bool drive = !unc && given.size() >= 2 && std::isalpha(static_cast<unsigned char>(given[0])) && given[1] == ':';
  if (!unc && !drive) {
    local_path->assign(given);
    for (size_t at = local_path->find('\\'); at != std::string::npos; at = local_path->find('\\', at + 1))
      (*local_path)[at] = '/';
    return 0;
  }
  std::string path(given);
  std::vector<std::string> parts = split_components(path);
  std::string base;
  size_t first = 0;
  if (unc) {
    if (parts.size() < 2) return ERROR_BAD_NETPATH;
    const world::Machine* machine = world::find_machine(parts[0]);
    if (machine == nullptr || machine->setting("machine", "reachable", "yes") == "no") return ERROR_BAD_NETPATH;
    if (machine->setting("machine", "access", "full") == "none") return ERROR_ACCESS_DENIED;
    // machine.ini [shares] NAME = none (no access for the console user) or offline (its server gone).
    std::string share_state = machine->setting("shares", parts[1], "");
    if (share_state == "none") return ERROR_ACCESS_DENIED;
    if (share_state == "offline") return ERROR_BAD_NETPATH;
    if (read_delay_ms) {
      std::string delay = machine->setting("machine", "read_delay_ms", "0");
      *read_delay_ms = static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10));
    }
    std::string shares = world::machine_path(*machine, "shares");
    base = join_component(shares, parts[1]);
    struct stat st;
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_BAD_NET_NAME;
    if (share_root) *share_root = base;
    first = 2;
  } else {
    const world::Machine* machine = world::find_machine(world::console_machine());
    if (machine == nullptr) return ERROR_PATH_NOT_FOUND;
    base = join_component(world::machine_path(*machine, "shares"), std::string(1, path[0]) + "$");
    first = 1;
  }
  for (size_t i = first; i < parts.size(); ++i) base = join_component(base, parts[i]);
  *local_path = base;
  return 0;
}

}  // namespace platform

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
  std::string path, share_root;
  DWORD read_delay_ms = 0;
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (DWORD error = platform::map_path(name, &path, &read_delay_ms, &share_root)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  int mode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: mode |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: mode |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: mode |= O_CREAT; break;
    case TRUNCATE_EXISTING: mode |= O_TRUNC; break;
    default:
      platform::unsupported("CreateFileA", "creation disposition");
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (exists && (access & GENERIC_WRITE) && is_read_only(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (exists && sharing_conflict(canonical(path), access, share)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  int fd = ::open(path.c_str(), mode | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(errno == ENOENT ? missing_error(path) : errno_to_error(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto object = std::make_shared<platform::KernelObject>();
  object->kind = platform::KernelObject::File;
  object->fd = fd;
  object->path = canonical(path);
  object->access = access;
  object->share = share;
  object->read_delay_ms = read_delay_ms;
  object->share_root = share_root;
  return platform::register_object(object);
}

BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write) {
  auto object = platform::find_object(file);
  struct stat st;
  if (!object || object->fd < 0 || ::fstat(object->fd, &st) != 0) return fail(ERROR_INVALID_HANDLE);
  if (creation) *creation = to_file_time(st.st_ctim);
  if (access) *access = to_file_time(st.st_atim);
  if (write) *write = to_file_time(st.st_mtim);
  return TRUE;
}

// Last-access and last-write times; a null time or one of 0 leaves that time as it is. A creation time
// (the host file system keeps none) and the value that stops further updates are not supported.
BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access, const FILETIME* write) {
  auto object = platform::find_object(file);
  if (!object || object->kind != platform::KernelObject::File || object->fd < 0) return fail(ERROR_INVALID_HANDLE);
  if (!(object->access & (GENERIC_WRITE | FILE_WRITE_ATTRIBUTES))) return fail(ERROR_ACCESS_DENIED);
  auto given = [](const FILETIME* t) { return t != nullptr && (t->dwLowDateTime != 0 || t->dwHighDateTime != 0); };
  auto stops_updates = [](const FILETIME* t) {
    return t != nullptr && t->dwLowDateTime == 0xFFFFFFFFu && t->dwHighDateTime == 0xFFFFFFFFu;
  };
  if (given(creation) || stops_updates(access) || stops_updates(write)) {
    platform::unsupported("SetFileTime", "a creation time, or the value that stops updates");
    return fail(ERROR_INVALID_PARAMETER);
  }
  auto to_timespec = [&](const FILETIME* t) {
    struct timespec out = {0, UTIME_OMIT};
    if (!given(t)) return out;
    uint64_t value = (static_cast<uint64_t>(t->dwHighDateTime) << 32 | t->dwLowDateTime);
    if (value < kFileTimeEpochOffset) value = kFileTimeEpochOffset;  // the host file system starts at 1970
    value -= kFileTimeEpochOffset;
    out.tv_sec = static_cast<time_t>(value / 10000000ull);
    out.tv_nsec = static_cast<long>(value % 10000000ull * 100);
    return out;
  };
  const struct timespec times[2] = {to_timespec(access), to_timespec(write)};
  if (::futimens(object->fd, times) != 0) return fail(errno_to_error(errno));
  return TRUE;
}

// The volume serial number and file index name the file: two handles of one file give the same pair,
// whatever path each was opened by.
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  auto object = platform::find_object(file);
  struct stat st;
  if (!object || object->kind != platform::KernelObject::File || object->fd < 0 || ::fstat(object->fd, &st) != 0)
    return fail(ERROR_INVALID_HANDLE);
  if (information == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::memset(information, 0, sizeof *information);
  information->dwFileAttributes = attributes_of(object->path, st);
  information->ftCreationTime = to_file_time(st.st_ctim);
  information->ftLastAccessTime = to_file_time(st.st_atim);
  information->ftLastWriteTime = to_file_time(st.st_mtim);
  information->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  uint64_t size = static_cast<uint64_t>(st.st_size);
  information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  information->nFileSizeLow = static_cast<DWORD>(size);
  information->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  uint64_t index = static_cast<uint64_t>(st.st_ino);
  information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  information->nFileIndexLow = static_cast<DWORD>(index);
  return TRUE;
}

BOOL WINAPI GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  auto object = platform::find_object(file);
  struct stat st;
  if (!object || object->fd < 0 || ::fstat(object->fd, &st) != 0) return fail(ERROR_INVALID_HANDLE);
  if (size) size->QuadPart = st.st_size;
  return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string text = pattern;
  size_t slash = text.find_last_of("\\/");
  std::string folder_text = slash == std::string::npos ? "." : text.substr(0, slash);
  std::string wanted = slash == std::string::npos ? text : text.substr(slash + 1);
  std::string folder;
  if (DWORD error = platform::map_path(folder_text.empty() ? "\\" : folder_text.c_str(), &folder)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_unique<Search>();
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) names.push_back(entry->d_name);
  ::closedir(dir);
  // Enumeration order is the folder's own; "." and ".." come first as on NTFS.
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    return rank(a) < rank(b);
  });
  for (const std::string& name : names) {
    WIN32_FIND_DATAA found;
    std::string alternate = name == "." || name == ".." ? "" : short_name(name);
    // As on Windows, a final ".*" also matches names without an extension ("*.*" is every name).
    std::string bare = wanted.size() > 2 && wanted.compare(wanted.size() - 2, 2, ".*") == 0
                           ? wanted.substr(0, wanted.size() - 2) : "";
    bool matches = wildcard_match(wanted.c_str(), name.c_str()) ||
                   (!alternate.empty() && wildcard_match(wanted.c_str(), alternate.c_str())) ||
                   (!bare.empty() && name.find('.') == std::string::npos && wildcard_match(bare.c_str(), name.c_str()));
    if (matches && fill_find_data(folder, name.c_str(), &found)) search->entries.push_back(found);
  }
  if (search->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = search->entries[search->next++];
  SearchTable& table = searches();
  std::lock_guard<std::mutex> guard(table.lock);
  Search* handle = search.get();
  table.open[handle] = std::move(search);
  return handle;
}

BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  SearchTable& table = searches();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.open.find(static_cast<Search*>(handle));
  if (it == table.open.end() || data == nullptr) return fail(ERROR_INVALID_HANDLE);
  Search& search = *it->second;
  if (search.next >= search.entries.size()) return fail(ERROR_NO_MORE_FILES);
  *data = search.entries[search.next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE handle) {
  SearchTable& table = searches();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.open.erase(static_cast<Search*>(handle)) != 0 ? TRUE : fail(ERROR_INVALID_HANDLE);
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
  std::string path;
  if (DWORD error = platform::map_path(name, &path)) return fail(error), INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(missing_error(path)), INVALID_FILE_ATTRIBUTES;
  return attributes_of(path, st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes) {
  std::string path;
  if (DWORD error = platform::map_path(name, &path)) return fail(error);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(missing_error(path));
  // A file that another process opened for its exclusive use cannot be changed.
  if (exclusively_open(canonical(path))) return fail(ERROR_SHARING_VIOLATION);
  AttributeStore& store = attribute_store();
  std::lock_guard<std::mutex> guard(store.lock);
  DWORD extra = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE);
  if (extra) store.extra[canonical(path)] = extra;
  else store.extra.erase(canonical(path));
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
  std::string path;
  if (DWORD error = platform::map_path(name, &path)) return fail(error);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(missing_error(path));
  if (S_ISDIR(st.st_mode) || is_read_only(path)) return fail(ERROR_ACCESS_DENIED);
  if (sharing_conflict(canonical(path), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
    return fail(ERROR_SHARING_VIOLATION);
  forget_attributes(path);
  if (::unlink(path.c_str()) != 0) return fail(errno_to_error(errno));
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES) {
  std::string path;
  if (DWORD error = platform::map_path(name, &path)) return fail(error);
  if (::mkdir(path.c_str(), 0755) != 0)
    return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errno == ENOENT ? ERROR_PATH_NOT_FOUND : errno_to_error(errno));
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR name) {
  std::string path;
  if (DWORD error = platform::map_path(name, &path)) return fail(error);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(missing_error(path));
  if (!S_ISDIR(st.st_mode)) return fail(ERROR_DIRECTORY);
  if (is_read_only(path)) return fail(ERROR_ACCESS_DENIED);
  if (::rmdir(path.c_str()) != 0) return fail(errno_to_error(errno));
  forget_attributes(path);
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR from, LPCSTR to, BOOL fail_if_exists) {
  std::string source, target;
  if (DWORD error = platform::map_path(from, &source)) return fail(error);
  if (DWORD error = platform::map_path(to, &target)) return fail(error);
  struct stat st;
  if (::stat(source.c_str(), &st) != 0) return fail(missing_error(source));
  if (sharing_conflict(canonical(source), GENERIC_READ, FILE_SHARE_READ)) return fail(ERROR_SHARING_VIOLATION);
  struct stat existing;
  if (::stat(target.c_str(), &existing) == 0) {
    if (fail_if_exists) return fail(ERROR_FILE_EXISTS);
    if (is_read_only(target)) return fail(ERROR_ACCESS_DENIED);
    if (sharing_conflict(canonical(target), GENERIC_WRITE, 0)) return fail(ERROR_SHARING_VIOLATION);
  }
  std::error_code ec;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
  if (ec) return fail(ec.value() == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
  return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  std::string source, target;
  if (DWORD error = platform::map_path(from, &source)) return fail(error);
  if (DWORD error = platform::map_path(to, &target)) return fail(error);
  struct stat st;
  if (::stat(source.c_str(), &st) != 0) return fail(missing_error(source));
  if (sharing_conflict(canonical(source), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
    return fail(ERROR_SHARING_VIOLATION);
  struct stat existing;
  if (::stat(target.c_str(), &existing) == 0) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return fail(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(existing.st_mode) || is_read_only(target)) return fail(ERROR_ACCESS_DENIED);
  }
  std::string moved_from = canonical(source);
  if (::rename(source.c_str(), target.c_str()) == 0) {
    move_attributes(moved_from, target);
    return TRUE;
  }
  if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED)) return fail(errno_to_error(errno));
  std::error_code ec;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
  if (ec || ::unlink(source.c_str()) != 0) return fail(ERROR_ACCESS_DENIED);
  return TRUE;
}

}  // extern "C"
