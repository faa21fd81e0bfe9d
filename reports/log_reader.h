// The log reader: reads one activity log file record by record, turns every
// event into a report row (activity text, icon, row item) and hands it to the
// host's insert-report-row service, in report mode (rows to the caller's list)
// or quick-report mode (rows to the four quick-report lists, filtered by the
// quick-report window). Also the report-run globals that both modes share and
// the column texts of report rows.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"
#include "reports/log_format.h"
#include "reports/report_items.h"

// ---------------------------------------------------------------------------
// Icons: a host image number, or a position among the library's report icons.

constexpr int kBaseIcon = 0x10000;
constexpr int host_icon(int n) { return n; }
constexpr int base_icon(int n) { return kBaseIcon | n; }
// The host list image index of an icon value.
int resolve_icon(int icon);
constexpr int kErrorRowIcon = host_icon(67);

// ---------------------------------------------------------------------------
// Action-code tables.

// File and GPO file records. %s stands for "Folder" or "File".
struct FileActionEntry {
  uint32_t code;
  const char* text;
  int folder_icon;
  int file_icon;
  bool keep_new_name;
  bool file_record_only;  // not a code of the GPO file record
};
constexpr uint32_t kActionDenyOpen = 0x00010000;
constexpr uint32_t kActionDelete = 0x10000000;
constexpr uint32_t kActionDeleteConfirmed = 0x10020000;
constexpr uint32_t kActionCreate = 0x40000000;
constexpr uint32_t kActionRename = 0x80000000;
constexpr FileActionEntry kFileActions[] = {
    {0x00000010, "Block Delete on %s", host_icon(267), host_icon(267), false, false},
    {0x00000020, "Block Write on File", host_icon(68), host_icon(68), false, false},
    {0x000000FF, "Open %s", host_icon(250), host_icon(250), false, true},
    {0x01000000, "Open %s", host_icon(250), host_icon(250), false, false},
    {kActionDenyOpen, "Deny Open File or Folder, code[%08X][%s]", base_icon(116), base_icon(116), false, true},
    {0x00020000, "Delete Confirmed for %s", base_icon(119), base_icon(120), false, true},
    {0x00100010, "ACL Add ACE on %s", host_icon(155), host_icon(155), true, false},
    {0x00100014, "ACL Add ACE on Share", base_icon(88), base_icon(88), true, false},
    {0x00100100, "ACL Modify ACE on %s", host_icon(152), host_icon(152), true, false},
    {0x00101000, "ACL Remove ACE on %s", host_icon(153), host_icon(153), true, false},
    {0x00101004, "ACL Remove ACE on Share", base_icon(87), base_icon(87), true, false},
    {0x00110000, "ACL Set Owner on %s", host_icon(221), host_icon(221), false, false},
    {0x00200010, "ACL Tree Add ACE on %s", base_icon(79), base_icon(79), true, false},
    {0x00200100, "ACL Tree Modify ACE on %s", base_icon(78), base_icon(78), true, false},
    {0x00201000, "ACL Tree Remove ACE on %s", base_icon(77), base_icon(77), true, false},
    {0x00210000, "ACL Tree Set Owner on %s", base_icon(76), base_icon(76), false, false},
    {0x04000000, "Local Copy File", base_icon(84), base_icon(84), true, false},
    {kActionDelete, "Delete %s", base_icon(12), host_icon(243), false, false},
    {kActionDeleteConfirmed, "Delete %s", base_icon(12), host_icon(243), false, true},
    {0x10000004, "Delete Share", base_icon(85), base_icon(85), false, false},
    {0x20000000, "Write File", host_icon(68), host_icon(68), false, false},
    {kActionCreate, "Create %s", host_icon(244), host_icon(244), false, false},
    {0x40000004, "Create Share", base_icon(86), base_icon(86), false, false},
    {kActionRename, "Rename %s", base_icon(11), host_icon(246), true, false},
    {0x80000004, "Rename Share", host_icon(36), host_icon(36), true, false},
};
constexpr char kBlockedDeleteText[] = "Block Delete %s";
constexpr int kBlockedDeleteIcon = host_icon(267);
constexpr int kBlockedRenameIcon = base_icon(17);
constexpr int kGpoCreateIcon = base_icon(113);
constexpr char kUnknownFileAction[] = "?01code = %X|%x?";
constexpr char kUnknownGpoFileAction[] = "?02code = %x?";
constexpr int kUnknownActionIcon = host_icon(36);

// Directory and GPO directory records.
struct DirectoryActionEntry {
  uint32_t code;
  const char* text;
  int icon;
  int gpo_icon;
};
constexpr DirectoryActionEntry kDirectoryActions[] = {
    {0x00000100, "AD Create Object", base_icon(67), base_icon(95)},
    {0x00000200, "AD Delete Object", base_icon(68), base_icon(96)},
    {0x00000400, "AD Modify Object", base_icon(69), base_icon(97)},
    {0x00000800, "AD Rename Object", base_icon(74), base_icon(93)},
    {0x00001000, "AD Move Object", base_icon(75), base_icon(94)},
    {0x00010400, "AD Add Attribute Value", base_icon(72), base_icon(101)},
    {0x00020400, "AD Delete Attribute Value", base_icon(73), base_icon(100)},
    {0x00040400, "AD Remove Attribute", base_icon(70), base_icon(98)},
    {0x00080400, "AD Change Attribute", base_icon(71), base_icon(99)},
};
constexpr char kUnknownDirectoryAction[] = "?unknown?[%x,%x]ADLog";
constexpr char kGpoFileChangeText[] = "GPO Policy File Change Details";

// GPO directory value entries, by section code. Icons by change kind 0, 1, other.
struct GpoValueSectionEntry {
  uint32_t section;
  const char* text;
  int icons[3];
};
constexpr GpoValueSectionEntry kGpoValueSections[] = {
    {0x60A00000, "GPO Policy AD CSE Valued Attribute %s", {base_icon(111), base_icon(112), base_icon(112)}},
    {0x50500000, "GPO Policy AD XML Valued Attribute", {base_icon(102), base_icon(103), base_icon(104)}},
    {0x60700000, "GPO Link Options", {base_icon(105), base_icon(106), base_icon(107)}},
    {0x60800000, "GPO Inheritance Option", {base_icon(108), base_icon(109), base_icon(110)}},
    {0x60900000, "GPO Policy AD Value Change Details", {base_icon(97), base_icon(97), base_icon(97)}},
};
constexpr char kUnknownGpoValueSection[] = "?%X? section";
constexpr int kUnknownGpoValueIcon = base_icon(97);

// Logon records, by type code OR action code.
struct LogonEventEntry {
  uint32_t event;
  const char* text;
  int icon;
};
constexpr LogonEventEntry kLogonEvents[] = {
    {0x81000001, "LOGON (local/wts)", base_icon(4)},
    {0x81000002, "LOGOFF (local/wts)", base_icon(5)},
    {0x81000033, "LOGON FAILED (local)", base_icon(0)},
    {0x81000054, "SUCCESSFUL PASSWORD SELF-CHANGE (local)", base_icon(125)},
    {0x81000055, "FAILED PASSWORD CHANGE (local)", base_icon(124)},
    {0x81000056, "SUCCESSFUL PASSWORD OTHER-CHANGE (local)", base_icon(125)},
    {0x81000071, "LOCK (local)", base_icon(122)},
    {0x81000072, "UNLOCK (local)", base_icon(123)},
    {0x82000011, "LOGON (Kerberos)", base_icon(4)},
    {0x82000012, "LOGON FAILED (Kerberos)", host_icon(151)},
    {0x82000021, "LOGON (NTLM)", base_icon(4)},
    {0x82000022, "LOGON FAILED (NTLM)", host_icon(151)},
    {0x82000044, "LOGOFF (remote)", base_icon(5)},
    {0x82000050, "LOGON (FTP)", base_icon(48)},
    {0x82000051, "LOGOFF (FTP)", base_icon(45)},
    {0x82000053, "LOGOFF (FTP timeout)", base_icon(46)},
    {0x82000055, "LOGON FAILED (FTP; bad name or bad password)", base_icon(47)},
};
constexpr char kUnknownLogonEvent[] = "?unknown?[%x,%x] {%x}Log";

constexpr size_t kActivityTextBytes = 1201;

// The activity text, icon value and keep-new-name flag of a record.
struct RowActivity {
  char text[kActivityTextBytes];
  int icon;
  BOOL keep_new_name;
};
void file_activity(const FileLogRecord& r, RowActivity* out);
void gpo_file_activity(const GpoFileLogRecord& r, RowActivity* out);
void directory_activity(uint32_t type, uint32_t action, bool gpo, RowActivity* out);
void gpo_value_activity(const GpoValueEntry& entry, RowActivity* out);
void logon_activity(const LogonLogRecord& r, RowActivity* out);
// The system's text of an NT status code (NTDLL's message table), without its
// final line break; empty when the system has none.
void nt_status_text(uint32_t status, char* out, size_t size);

// ---------------------------------------------------------------------------
// Report-run globals.

constexpr uint32_t kQuickReportIdle = 0;
constexpr uint32_t kQuickReportPreparing = 1;
constexpr uint32_t kQuickReportRunning = 5;
constexpr uint32_t kQuickReportStop = 86;

// Host list parameters of the insert-report-row service.
constexpr uintptr_t kQuickReportParent = 0xFFFF0000;
constexpr uintptr_t kReportRowPosition = 0xFFFF0003;

enum QuickReportList : int {
  kQuickListFileSystem = 0,  // list 1901
  kQuickListLogon = 1,       // 1902
  kQuickListDirectory = 2,   // 1906
  kQuickListGpo = 3,         // 1907
  kQuickListCount = 4,
};
constexpr int kQuickListControls[kQuickListCount] = {1901, 1902, 1906, 1907};
QuickReportList quick_list_of(LogFamily family);

constexpr size_t kQuickStatusBytes = 2560;  // up to 10 lines

struct QuickReportState {
  volatile uint32_t state;  // idle, preparing, running, stop (86)
  uint32_t run_number;      // one more for each run that empties the lists: what was drawn before is stale
  uint32_t window_start;    // exclusive
  uint32_t window_end;      // inclusive
  uint32_t maximum_rows;
  uint32_t row_count;
  char server_name[kRowServerNameBytes];
  char status_text[kQuickStatusBytes];
  HWND lists[kQuickListCount];
  uintptr_t pass_through[2];  // handed to the insert-report-row service unchanged
  BYTE contexts[kQuickListCount][kRowContextBytes];
};
extern QuickReportState g_quick_report;

// The quick report's window: start exclusive, end inclusive.
bool in_quick_report_window(uint32_t t);

struct ReportRunState {
  uint32_t record_count;    // full and custom reports
  uint32_t maximum_records; // 0: no maximum
  volatile uint32_t stopped;
  uint64_t progress_scale;  // 0, or the file size when the bar runs 0..1000
  uint32_t time_format;     // 0..10, the report's time format code
  uint32_t show_utc;        // times in UTC instead of local time
};
extern ReportRunState g_report_run;

// ---------------------------------------------------------------------------
// Reading.

struct LogReadRequest {
  HWND target;                     // report list; null for a quick report
  uintptr_t parent;                // first host parameter of the row insertions (report mode)
  const char* path;                // the log file
  const BYTE* context_template;    // the row context (kRowContextBytes); null for a quick report
  uintptr_t pass_through[2];       // handed to the insert-report-row service unchanged
  HWND progress;                   // progress bar of the file, or null
};

void read_activity_log(const LogReadRequest* request);

// The bytes of one log as the reader walks them: the opened file through
// read_log_file_at, or bytes in memory through read_log_memory_at.
struct LogSource {
  LogReadFn read;
  void* context;
  uint64_t size;
  HANDLE file;  // closed by the reader as soon as it stops; INVALID_HANDLE_VALUE for memory
};
// What read_activity_log does once the file is open, into a record buffer of
// kLogSplitBufferBytes that the caller keeps for the log.
void read_log_source(const LogReadRequest* request, const LogSource* source, BYTE* buffer);

// ---------------------------------------------------------------------------
// Column texts.

constexpr size_t kColumnTextBytes = 2048;
constexpr uint32_t kFirstReportColumn = 0x60420801;
constexpr uint32_t kLastReportColumn = 0x60420F16;
// The runs of that range that name report columns: the text entry point
// routes these identifiers to report_column_text.
struct ReportColumnRun {
  uint32_t first, last;
};
constexpr ReportColumnRun kReportColumnRuns[] = {{0x60420801, 0x60420811}, {0x60420900, 0x60420915},
                                                 {0x60420D01, 0x60420D09}, {0x60420E01, 0x60420E0A},
                                                 {0x60420F0A, 0x60420F16}};

// The text of one column of a report row. 4061 and nothing written when there
// is no row context; otherwise 0 and the text (the time sort key is written
// into the context when the column shows the row's time).
DWORD report_column_text(BYTE* context, uint32_t column, char* out, size_t size);
