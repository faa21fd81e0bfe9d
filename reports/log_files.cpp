// Log file lists and the delete, archive and restore commands on their rows.
#include "reports/log_files.h"

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"
#include "reports/log_folders.h"
#include "reports/log_reader.h"

void log_name_date(const char* name, const LogFileName& parsed, char* out, size_t size) {
  out[0] = '\0';
  if (!parsed.has_nominal_time) return;
  const char* underscore = std::strrchr(name, '_');
  if (underscore == nullptr) return;
  copy_text(out, size, underscore + 1);
  if (char* dot = std::strrchr(out, '.')) *dot = '\0';
}

namespace {

constexpr size_t kArchiveBlockBytes = 64 * 1024;
constexpr uint64_t kMegabyte = 1048576;
constexpr size_t kMessageBytes = 1400;
constexpr char kSiblingLogShareValue[] = "LogSharePath";

// The sibling product names its logs <name>.csv.
BOOL sibling_log_name(const char* name) {
  size_t length = std::strlen(name);
  return length > 4 && equal_ignoring_case(name + length - 4, ".csv");
}

DWORD read_text_value(HKEY server_key, const char* key_name, const char* value, char* out, DWORD size) {
  out[0] = '\0';
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(server_key, key_name, 0, remote_access(KEY_READ), &key);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  DWORD type = 0, bytes = size - 1;
  rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    out[0] = '\0';
    return static_cast<DWORD>(rc);
  }
  out[bytes < size ? bytes : size - 1] = '\0';
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    out[0] = '\0';
    return ERROR_FILE_NOT_FOUND;
  }
  return out[0] == '\0' ? ERROR_FILE_NOT_FOUND : 0;
}

DWORD read_dword_value(HKEY server_key, const char* key_name, const char* value, DWORD* out) {
  *out = 0;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(server_key, key_name, 0, remote_access(KEY_READ), &key);
  if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
  DWORD type = 0, bytes = sizeof *out;
  rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD) *out = 0;
  return static_cast<DWORD>(rc);
}

// The folders of a server whose registry is connected; 0 or the error for the current folder.
DWORD form_log_folders(HKEY server_key, const char* server, char* current, char* archive, size_t size) {
  char report_path[kReportPathBytes];
  char auto_path[kAutoArchivePathBytes];
  if (current) current[0] = '\0';
  if (archive) archive[0] = '\0';
  DWORD error = ReadReportPath(server_key, remote_access(KEY_READ), report_path, sizeof report_path);
  DWORD auto_archive = 0;
  read_dword_value(server_key, kProductKey, "AutoArchiveLogFiles", &auto_archive);
  read_text_value(server_key, kProductKey, "AutoArchivePath", auto_path, sizeof auto_path);
  bool automatic = auto_archive != 0 && auto_path[0] != '\0';
  if (current && error == 0 && !format_current_log_folder(current, size, server, report_path))
    error = ERROR_FILENAME_EXCED_RANGE;
  if (archive && (automatic || error == 0) &&
      !format_archive_log_folder(archive, size, server, report_path, automatic ? 1 : 0, auto_path))
    archive[0] = '\0';
  return error;
}

void show_enumeration_failure(DWORD error, const char* folder) {
  char text[kMessageBytes];
  if (error == ERROR_ACCESS_DENIED)
    std::snprintf(text, sizeof text, "Access Denied (insufficient permissions) to access path %s", folder);
  else
    std::snprintf(text, sizeof text, "Error %u occurred accessing %s", static_cast<unsigned>(error), folder);
  show_message(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
}

BOOL insert_log_row(const LogListTarget* target, const char* folder, const WIN32_FIND_DATAA& entry) {
  const char* name = entry.cFileName[0] != '\0' ? entry.cFileName : entry.cAlternateFileName;
  BYTE context[kListItemBytes];
  if (target->context_template) std::memcpy(context, target->context_template, sizeof context);
  else std::memset(context, 0, sizeof context);
  // The row owns its own blocks only.
  for (int slot = 0; slot < static_cast<int>(kOwnedSlots); ++slot) set_owned_block(context, slot, nullptr);
  auto* path = static_cast<char*>(allocate_block(GPTR, kLogRowPathBytes));
  if (path == nullptr) return FALSE;
  std::snprintf(path, kLogRowPathBytes, "%s%s", folder, name);
  set_owned_block(context, kLogRowPathSlot, path);

  uint64_t size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
  store_le32(context + kLogRowWriteTimeOffset, local_file_time_seconds(entry.ftLastWriteTime));
  store_le32(context + kLogRowSizeMbOffset, size >= kMegabyte ? static_cast<uint32_t>(size / kMegabyte) : 0);
  LogFileName parsed;
  parse_log_file_name(name, &parsed);
  store_le32(context + kLogRowNominalTimeOffset, parsed.has_nominal_time ? parsed.nominal_time : 1);
  copy_text(reinterpret_cast<char*>(context + kLogRowPrefixOffset), kLogNameBytes, parsed.prefix);
  log_name_date(name, parsed, reinterpret_cast<char*>(context + kLogRowDateOffset), kLogRowDateBytes);
  set_row_server_name(context, parsed.server);

  if (!insert_host_item(target->list, nullptr, RowPosition::First, name, resolve_icon(base_icon(kLogRowIcon)),
                        context)) {
    free_block(path);
    return FALSE;
  }
  return TRUE;
}

// Rows of a list that are selected, in list order.
int selected_rows(HWND list, int* rows, int most) {
  int count = 0;
  for (LRESULT row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
       row >= 0 && count < most;
       row = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))
    rows[count++] = static_cast<int>(row);
  return count;
}

const BYTE* row_context(HWND list, int row) { return reinterpret_cast<const BYTE*>(list_row_param(list, row)); }

DWORD delete_log_file(const char* path) { return DeleteFileA(path) ? 0 : GetLastError(); }

HANDLE open_existing(const char* path, DWORD access, DWORD share, DWORD* error) {
  HANDLE file = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  return file;
}

// Two paths name one file as Windows tells it: the same text ignoring case, or one file of one volume
// reached by another spelling (another share, a short name, other separators or server name forms).
bool same_file(const char* a, const char* b) {
  if (equal_ignoring_case(a, b)) return true;
  BY_HANDLE_FILE_INFORMATION first, second;
  auto identify = [](const char* path, BY_HANDLE_FILE_INFORMATION* out) {
    DWORD error = 0;  // opened for no reading or writing: an agent holding the file does not stop it
    HANDLE file = open_existing(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &error);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL known = GetFileInformationByHandle(file, out);
    CloseHandle(file);
    return known != FALSE;
  };
  return identify(a, &first) && identify(b, &second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Gives a file the current time as its last-write time.
DWORD set_written_now(const char* path) {
  DWORD error = 0;
  HANDLE file = open_existing(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, &error);
  if (file == INVALID_HANDLE_VALUE) return error;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  if (!SetFileTime(file, nullptr, nullptr, &now)) error = GetLastError();
  CloseHandle(file);
  return error;
}

// Cuts the destination back to the length it had before the append.
void cut_back(HANDLE destination, LARGE_INTEGER length) {
  SetFilePointerEx(destination, length, nullptr, FILE_BEGIN);
  SetEndOfFile(destination);
}

// Appends the source to the existing destination, then deletes the source.
DWORD append_log_file(HWND owner, const char* source, const char* destination, BOOL* reported) {
  DWORD error = 0;
  // Writers are kept out while the bytes are copied, so none can be added and lost.
  HANDLE in = open_existing(source, GENERIC_READ, FILE_SHARE_READ, &error);
  if (in == INVALID_HANDLE_VALUE) return error;
  HANDLE out = open_existing(destination, GENERIC_WRITE, 0, &error);
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(in);
    return error;
  }
  LARGE_INTEGER original = {}, zero = {};
  BYTE* buffer = static_cast<BYTE*>(allocate_block(GMEM_FIXED, kArchiveBlockBytes));
  if (buffer == nullptr) {
    show_message(owner, "Error allocating memory for Archive append - aborting", nullptr, MB_OK | MB_ICONERROR);
    *reported = TRUE;
    CloseHandle(in);
    CloseHandle(out);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!GetFileSizeEx(out, &original) || !SetFilePointerEx(out, zero, nullptr, FILE_END)) error = GetLastError();
  while (error == 0) {
    DWORD got = 0, written = 0;
    if (!ReadFile(in, buffer, static_cast<DWORD>(kArchiveBlockBytes), &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0) break;
    if (!WriteFile(out, buffer, got, &written, nullptr) || written != got) {
      error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
      show_message(owner, "Write error during Archive append", nullptr, MB_OK | MB_ICONERROR);
      *reported = TRUE;
    }
  }
  free_block(buffer);
  CloseHandle(in);
  // The source goes only once its bytes are all in the destination; else the destination is as it was.
  if (error == 0) error = delete_log_file(source);
  if (error != 0) cut_back(out, original);
  CloseHandle(out);
  return error;
}

DWORD create_folder(const char* folder) {
  if (CreateDirectoryA(folder, nullptr)) return 0;
  DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

struct CommandTexts {
  const char* question;
  const char* title;
  const char* progress;
  const char* button;
};
constexpr CommandTexts kCommandTexts[] = {
    {"Please click OK to confirm deletion of Selected Report Log Files", "DELETE REPORT LOG(S)?",
     "Deleting selected Report Log Files", "Deleting..."},
    {"Please click OK to confirm archival of selected Report Log Files", "ARCHIVE REPORT LOG(S)?",
     "Archiving selected Report Log Files", "Archiving..."},
    {"Please click OK to confirm restoration of selected Archived Report Log Files", "RESTORE REPORT LOG(S)?",
     "Restoring selected Archived Report Log Files", "Restoring..."},
    {"Confirm Deletion of selected log file(s)?", "DELETE LOG FILE(S)?", "Deleting selected Log Files", "Deleting..."},
};

void show_file_failure(HWND owner, LogFileCommandKind kind, DWORD error) {
  char text[200];
  if (kind == kDeleteLogFiles || kind == kDeleteListedLogFiles)
    std::snprintf(text, sizeof text, "Error [%u] deleting selected log file", static_cast<unsigned>(error));
  else if (kind == kRestoreLogFiles)
    std::snprintf(text, sizeof text, "Error [%u] restoring selected log file", static_cast<unsigned>(error));
  else if (error == ERROR_BAD_NETPATH)
    copy_text(text, sizeof text, "Unable to archive selected file(s), destination path not reachable.");
  else if (error == ERROR_ACCESS_DENIED)
    copy_text(text, sizeof text, "Unable to archive selected file(s), insufficient permissions to destination path and/or share.");
  else
    std::snprintf(text, sizeof text, "Error [%u] archiving selected log file", static_cast<unsigned>(error));
  show_message(owner, text, library_title(), MB_OK | MB_ICONERROR);
}

// The archive folder without its trailing backslash, created; empty when the
// server names none. FALSE after its message when it cannot be created.
BOOL prepare_archive_folder(HWND owner, const char* server, char* folder, size_t size) {
  char current[kLogFolderBytes];
  HKEY key = nullptr;
  folder[0] = '\0';
  if (ConnectServerRegistry(server, &key, "UNABLE TO GET ARCHIVED REPORT PATH", 0) != 0) return TRUE;
  form_log_folders(key, server, current, folder, size);
  size_t length = std::strlen(folder);
  if (length == 0) return TRUE;
  if (folder[length - 1] == '\\') folder[length - 1] = '\0';
  DWORD error = create_folder(folder);
  if (error == 0) return TRUE;
  char caption[120];
  if (error == ERROR_BAD_NETPATH) copy_text(caption, sizeof caption, "Error creating archive folder, destination unreachable.");
  else std::snprintf(caption, sizeof caption, "Error %u creating archive folder path", static_cast<unsigned>(error));
  show_message(owner, folder, caption, MB_OK | MB_ICONERROR);
  return FALSE;
}

}  // namespace

const char* log_row_path(const BYTE* context) {
  if (context == nullptr) return nullptr;
  auto* path = static_cast<const char*>(owned_block(context, kLogRowPathSlot));
  return path != nullptr && path[0] != '\0' ? path : nullptr;
}

DWORD read_log_folders(const char* server, const char* error_title, char* current, char* archive, size_t size) {
  HKEY key = nullptr;
  if (current) current[0] = '\0';
  if (archive) archive[0] = '\0';
  if (DWORD error = ConnectServerRegistry(server, &key, error_title, 0)) return error;
  if (key == nullptr) return ERROR_BAD_NETPATH;
  return form_log_folders(key, server, current, archive, size);
}

DWORD list_log_folder(const LogListTarget* target, const char* folder, BOOL sibling, DWORD* listed) {
  char pattern[kLogFolderBytes + 8];
  if (listed) *listed = 0;
  std::snprintf(pattern, sizeof pattern, "%s%s", folder, sibling ? "*.csv" : kLogFilePattern);
  refresh_time_zone();  // rows hold local last-write times
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) {
    // Also a folder without a matching file: the enumeration cannot start (2).
    DWORD error = GetLastError();
    show_enumeration_failure(error, folder);
    return error;
  }
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const char* name = entry.cFileName[0] != '\0' ? entry.cFileName : entry.cAlternateFileName;
    if (sibling && !sibling_log_name(name)) continue;
    if (!insert_log_row(target, folder, entry)) {
      show_message(nullptr, "Out of memory listing log files", nullptr, MB_OK | MB_ICONERROR);
      break;
    }
    if (listed) ++*listed;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return 0;
}

DWORD ListLogFiles(const LogListTarget* target, const char* server, LogListing listing, DWORD* listed) {
  if (listed) *listed = 0;
  if (listing < kListCurrentLogs || listing > kListSiblingLogsKq) return ERROR_INVALID_PARAMETER;
  static const char* const kTitles[] = {"UNABLE TO GET REPORT SHARE", "UNABLE TO GET ARCHIVED REPORT PATH",
                                        "UNABLE TO GET REPORT SHARE", "UNABLE TO GET REPORT SHARE"};
  HKEY key = nullptr;
  if (DWORD error = ConnectServerRegistry(server, &key, kTitles[listing], 0)) return error;
  if (key == nullptr) return 0;
  char current[kLogFolderBytes], archive[kLogFolderBytes];
  if (listing == kListSiblingLogsWl || listing == kListSiblingLogsKq) {
    char share[kReportPathBytes];
    if (read_text_value(key, kSiblingKey, kSiblingLogShareValue, share, sizeof share) != 0) return 0;
    int n = std::snprintf(current, sizeof current, "\\\\%s\\%s\\%s\\", server, share,
                          listing == kListSiblingLogsWl ? "qvawwl" : "qvawkq");
    if (n < 0 || static_cast<size_t>(n) >= sizeof current) return ERROR_FILENAME_EXCED_RANGE;
    return list_log_folder(target, current, TRUE, listed);
  }
  DWORD error = form_log_folders(key, server, current, archive, sizeof current);
  if (listing == kListCurrentLogs) return error == 0 ? list_log_folder(target, current, FALSE, listed) : 0;
  if (archive[0] == '\0' || GetFileAttributesA(archive) == INVALID_FILE_ATTRIBUTES) {
    error = archive[0] == '\0' ? ERROR_PATH_NOT_FOUND : GetLastError();
    show_message(nullptr, archive, "Archive Path not found or no permissions", MB_OK | MB_ICONERROR);
    return error;
  }
  return list_log_folder(target, archive, FALSE, listed);
}

DWORD ArchiveLogFile(HWND owner, const char* source, const char* folder, BOOL* reported, BOOL set_write_time) {
  BOOL ignored = FALSE;
  if (reported == nullptr) reported = &ignored;
  *reported = FALSE;
  const char* slash = std::strrchr(source, '\\');
  const char* name = slash ? slash + 1 : source;
  char own_folder[kLogRowPathBytes];
  if (folder == nullptr || folder[0] == '\0') {
    // Without an archive folder the file's own folder gets one.
    size_t length = slash ? static_cast<size_t>(slash - source) : 0;
    if (length + sizeof "\\archived_logs" > sizeof own_folder) return ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(own_folder, source, length);
    std::memcpy(own_folder + length, "\\archived_logs", sizeof "\\archived_logs");
    if (DWORD error = create_folder(own_folder)) {
      char caption[80];
      std::snprintf(caption, sizeof caption, "Error %u creating folder", static_cast<unsigned>(error));
      show_message(owner, own_folder, caption, MB_OK | MB_ICONERROR);
      *reported = TRUE;
      return error;
    }
    folder = own_folder;
  }
  char destination[kLogRowPathBytes];
  int n = std::snprintf(destination, sizeof destination, "%s\\%s", folder, name);
  if (n < 0 || static_cast<size_t>(n) >= sizeof destination) return ERROR_FILENAME_EXCED_RANGE;
  if (GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES)
    return same_file(source, destination) ? 0 : append_log_file(owner, source, destination, reported);
  if (!MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return GetLastError();
  return set_write_time ? set_written_now(destination) : 0;
}

DWORD LogFileCommand(HWND screen, HWND button, HWND list, const char* server, LogFileCommandKind kind) {
  static int rows[32768];  // UI thread only
  int count = selected_rows(list, rows, static_cast<int>(sizeof rows / sizeof rows[0]));
  if (count == 0) return 0;
  const CommandTexts& texts = kCommandTexts[kind];
  if (ask_confirmation(screen, texts.question, texts.title, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 0;

  char folder[kLogFolderBytes] = "";
  DWORD folder_error = 0;
  if (kind == kArchiveLogFiles && !prepare_archive_folder(screen, server, folder, sizeof folder)) return 0;
  if (kind == kRestoreLogFiles) {
    folder_error = read_log_folders(server, "UNABLE TO GET REPORT SHARE", folder, nullptr, sizeof folder);
    size_t length = std::strlen(folder);
    if (length > 0 && folder[length - 1] == '\\') folder[length - 1] = '\0';
  }

  char button_text[64] = "";
  if (count > 1) {
    if (auto show = host_service<HostShowStatusLineFn>(kHostShowStatusLine))
      show(nullptr, 0, kStatusLine, texts.progress, 0, 0xFFFFFF);
    if (button) {
      GetWindowTextA(button, button_text, sizeof button_text);
      SetWindowTextA(button, texts.button);
    }
  }
  auto list_row = host_service<HostGetListRowFn>(kHostGetListRow);
  DWORD handled = 0;
  // Last row first, so that rows the host drops do not move the ones still to do.
  for (int i = count - 1; i >= 0; --i) {
    const char* path = log_row_path(row_context(list, rows[i]));
    if (path == nullptr) continue;
    char source[kLogRowPathBytes];
    copy_text(source, sizeof source, path);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    DWORD error = 0;
    BOOL reported = FALSE;
    if (kind == kDeleteLogFiles || kind == kDeleteListedLogFiles) error = delete_log_file(source);
    else if (kind == kRestoreLogFiles && folder_error != 0) error = folder_error;
    // Chosen: restoring is what asks for the current last-write time; a log brought back counts as new there.
    else error = ArchiveLogFile(screen, source, folder, &reported, kind == kRestoreLogFiles);
    SetCursor(previous);
    // A file that no longer exists needs nothing more; its row is updated as if handled.
    bool gone = error == ERROR_FILE_NOT_FOUND && GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES;
    if (error == 0 || gone) {
      ++handled;
      if (list_row) {
        uintptr_t param = 0, image = 0, state = 0;
        char text[1024];
        list_row(list, rows[i], &param, &image, &state, text, 0, kLogRowUpdated, -1);
      }
    } else if (!reported) {
      show_file_failure(screen, kind, error);
    }
  }
  if (button && button_text[0] != '\0') SetWindowTextA(button, button_text);
  SetFocus(list);
  InvalidateRect(list, nullptr, TRUE);
  UpdateWindow(list);
  return handled;
}

BOOL CopyLogRowPath(HWND owner, const BYTE* record) {
  const char* path = log_row_path(record);
  if (path == nullptr) return FALSE;
  size_t bytes = std::strlen(path) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) return FALSE;
  std::memcpy(GlobalLock(block), path, bytes);
  GlobalUnlock(block);
  if (!OpenClipboard(owner)) {
    GlobalFree(block);
    return FALSE;
  }
  EmptyClipboard();
  // The clipboard owns the block once it takes it.
  BOOL taken = SetClipboardData(CF_TEXT, block) != nullptr;
  if (!taken) GlobalFree(block);
  CloseClipboard();
  return taken;
}
