// Log file lists: the current, archived and sibling-product log files of a
// server listed into a host list, and the delete, archive and restore
// commands on the rows selected there.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/list_item.h"
#include "host/win32.h"
#include "reports/log_format.h"

// Row context of a log file row (a list item record). The full path is a
// 1024-byte block in owned slot 1; the server name lies where report rows keep it.
constexpr int kLogRowPathSlot = kOwnedBlock1;
constexpr size_t kLogRowPathBytes = 1024;
constexpr size_t kLogRowWriteTimeOffset = 100;    // u32: local last-write time, seconds since 1970
constexpr size_t kLogRowSizeMbOffset = 104;       // u32: whole megabytes, 0 below 1 MB
constexpr size_t kLogRowNominalTimeOffset = 108;  // u32: nominal time, 1 when the name gives none
constexpr size_t kLogRowPrefixOffset = 384;       // text: profile prefix
constexpr size_t kLogRowDateOffset = kLogRowPrefixOffset + kLogNameBytes;  // text: date part of the name
constexpr size_t kLogRowDateBytes = 24;
static_assert(kLogRowDateOffset + kLogRowDateBytes <= kOwnedSlotsOffset, "log row fields before the slots");

// The date part of an agent's file name as its row shows it: after the last underscore, up to ".vnx";
// empty when parse_log_file_name found no date in the name.
void log_name_date(const char* name, const LogFileName& parsed, char* out, size_t size);

// Null when the row has no path.
const char* log_row_path(const BYTE* context);

constexpr int kLogRowIcon = 6;  // report icon position of a log file row
constexpr uint32_t kLogRowUpdated = 88;  // list-row call value: the row's file was handled

enum LogListing : int {
  kListCurrentLogs = 0,
  kListArchivedLogs = 1,
  kListSiblingLogsWl = 2,  // the sibling product's qvawwl folder
  kListSiblingLogsKq = 3,  // its qvawkq folder
};

// Where the rows go.
struct LogListTarget {
  HWND list;
  const BYTE* context_template;  // kListItemBytes, or null for an empty one
};

// Lists one folder's "*.vnx" (sibling: "*.csv") files, one row each. 0 or
// the Windows error of an enumeration that could not start (shown to the user).
DWORD list_log_folder(const LogListTarget* target, const char* folder, BOOL sibling, DWORD* listed);
// Connects to the server's registry and lists the chosen folder. 0 (also when
// the share value is missing: nothing listed) or the Windows error, shown.
DWORD ListLogFiles(const LogListTarget* target, const char* server, LogListing listing, DWORD* listed);

// The server's current log folder "\\server\ReportPath\vnxlogs\" and its archive
// folder (either may be null), read from its registry. 0 or the Windows error;
// a failed connection is shown under error_title.
DWORD read_log_folders(const char* server, const char* error_title, char* current, char* archive, size_t size);

// Moves a log file into a folder: nothing when it is already there (under any
// spelling of its path), appended in 64 KB blocks to a file of the same name
// that exists there (the source is deleted only when every byte arrived;
// otherwise the destination is cut back), else moved, and then, when asked,
// given the current time as its last-write time. Each step is tried once. 0 or
// the Windows error; *reported is set when the failure was already shown.
DWORD ArchiveLogFile(HWND owner, const char* source, const char* folder, BOOL* reported, BOOL set_write_time);

enum LogFileCommandKind : int {
  kDeleteLogFiles = 0,
  kArchiveLogFiles = 1,
  kRestoreLogFiles = 2,
  kDeleteListedLogFiles = 3,  // deletion from a log file list's context menu
};

// Delete, archive or restore the files of the rows selected in a log file
// list, after the user confirms. button may be null. The number of files handled.
DWORD LogFileCommand(HWND screen, HWND button, HWND list, const char* server, LogFileCommandKind kind);
// Puts the full path of a log file row on the clipboard as text.
BOOL CopyLogRowPath(HWND owner, const BYTE* record);
