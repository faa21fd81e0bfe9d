// Report generation: which log files a report reads and in which order, the
// quick report (file list on the UI thread, reading on a worker thread, four
// fixed lists, progress bars, stop by state 86), custom reports by profile
// name pattern with the record maximum and the modeless progress window, and
// hand-picked log files. Rows are made by the log reader (log_reader.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/subsystems.h"
#include "host/win32.h"
#include "reports/log_format.h"

constexpr uint32_t kQuickReportButton = 0x60410D1D;
// The list twin of the button: the same run, and the host is told when it ends.
constexpr uint32_t kQuickReportList = 0x60440D1D;
constexpr size_t kReportFilePathBytes = 1024;

// The quick-report screen (the button's screen): its four lists are
// kQuickListControls (log_reader.h); its control kQuickProgressControl holds
// the progress bars, found by their window texts; then its status text.
constexpr uint32_t kQuickProgressControl = 0x60420D20;
// A run ends by hiding "the four progress bars": read as the bars BAR1 to BAR4
// of the progress control, all shown when the run starts; it drives BAR1 and BAR2.
constexpr int kQuickBarCount = 4;
constexpr const char* kQuickBarNames[kQuickBarCount] = {"BAR1", "BAR2", "BAR3", "BAR4"};
constexpr int kQuickFilesBar = 0;  // files done of the file list
constexpr int kQuickFileBar = 1;   // bytes done of the current file
constexpr int kQuickStatusItem = 1913;  // the file being read, then how the run ended

// Largest file whose size still fits a progress bar's range; larger ones run 0..1000.
constexpr uint64_t kProgressDirectRangeLimit = 2147483647;
constexpr uint32_t kProgressScaledRange = 1000;

// Quick-report file list: sorted by nominal time, newest first.
struct QuickReportFile {
  QuickReportFile* next;
  char* path;  // kReportFilePathBytes
  uint64_t size;
  uint32_t nominal_time;     // 0 when the name gives none
  uint32_t last_write_time;  // local time as seconds since 1970
  char profile[kLogNameBytes];
  char server[kLogServerNameBytes];
};

// Custom-report file list: folder enumeration order.
struct CustomReportFile {
  CustomReportFile* next;
  char* path;  // kReportFilePathBytes
  char server[kLogServerNameBytes];
  uint32_t nominal_time;
  uint64_t size;
};

struct QuickReportRun {
  QuickReportFile* files;
  DWORD file_count;
  HWND screen;
  HWND button;
  HWND bars[kQuickBarCount];  // by kQuickBarNames; null where the screen has none
  HWND status;
  HANDLE worker;
  volatile BOOL notify_host;  // the run was started from the list: the host is told when it ends
};
extern QuickReportRun g_quick_run;

// ---- Quick report ------------------------------------------------------------

// The quick report's button, captioned by the run's state, and the control that
// holds its progress bars BAR1 and BAR2 (made on its first drawing).
DWORD DrawQuickReportButton(const DrawEvent& e);
DWORD DrawQuickReportProgress(const DrawEvent& e);

// The window (start exclusive, end inclusive) and row maximum remembered under
// the console's QUICKRPT key: all dates, the last hours or days up to a day
// ahead of now, or a from/to pair; no maximum unless STOPXRECS is switched on.
void read_quick_report_settings(uint32_t now, uint32_t* start, uint32_t* end, uint32_t* maximum);
// Remembers the quick report's fields of a screen under QUICKRPT, as saving its dialog does; a screen
// without any of them leaves the remembered settings alone. 0 or the Windows error of writing them.
DWORD SaveQuickReportScreen(HWND screen);
// A scheduled quick report's window: the last days (when set) or hours, up to a
// day ahead of now, and at most 2048000 rows.
void scheduled_quick_report_window(uint32_t now, DWORD days, DWORD hours, uint32_t* start, uint32_t* end,
                                   uint32_t* maximum);

// Builds the quick-report file list of the server's log folder for the window
// in g_quick_report. The number of files; 0 after a message when there is none
// or the folder cannot be read (*failed set for the latter).
DWORD ChooseQuickReportFiles(const char* server, BOOL* failed);
void free_quick_report_files();
// Process detach: the file list and the worker's handle, unless a run still reads.
void release_quick_report();

// The quick-report button (0x60410D1D): starts a run on the selected server of
// the server list (the button's companion list, else the main server list), or
// offers to stop the running one. Returns 1.
DWORD QuickReportButton(HWND screen, uintptr_t* descriptor, HWND companion);

// The quick-report list event (0x60440D1D): the button's start or stop offer on
// the list's screen (its parent), the server from the list's companion; a run
// started here ends by sending the parent of the logon list its own command
// (WM_COMMAND, BN_CLICKED, the logon list). Returns 1.
DWORD QuickReportListEvent(HWND list, const uintptr_t* descriptor);

// Reads the file list into the four lists; the worker thread's body, also
// callable on the caller's thread. Ends with the state at 0.
DWORD WINAPI quick_report_worker(LPVOID);

// A scheduled quick report for an unattended run, on the caller's thread: the server's log files of the
// last days (when set) or hours read into the four quick-report lists of the screen. Its texts go
// through the unattended message function. The number of rows; 0 when nothing was read, with
// *failed set when the report could not be made at all (after saying why).
DWORD RunScheduledQuickReport(HWND screen, const char* server, DWORD days, DWORD hours, BOOL* failed);

// ---- Custom reports ------------------------------------------------------------

// A profile name pattern: equality ignoring case, else the wildcard match
// ('*' any run, the empty one first; '?' one character; others ignoring case).
BOOL profile_pattern_matches(const char* pattern, const char* profile);

// The files of the server's log folder whose profile prefix matches a pattern,
// in enumeration order. The number of files (0 with *out null when none);
// *failed after a message when there is no pattern or no ReportPath.
DWORD ChooseCustomReportFiles(const char* server, const char* const* patterns, DWORD pattern_count,
                              CustomReportFile** out, BOOL* failed);
void free_custom_report_files(CustomReportFile* files);

// The record maximum of a custom report: 0 with output to a file; 120000 (after
// the warning) when the files add up to more than 671016888 bytes; else 0.
constexpr uint64_t kLargeCustomReportBytes = 671016888;  // 0x27FEE7B8
constexpr uint32_t kListViewRecordMaximum = 120000;
uint32_t custom_report_maximum(uint64_t total_size, BOOL output_to_file);

struct CustomReportRequest {
  const char* server;
  const char* const* patterns;
  DWORD pattern_count;
  BOOL output_to_file;
  HWND owner;                    // owner of the progress window
  HWND target;                   // the report list
  uintptr_t parent;              // first host parameter of the row insertions
  const BYTE* context_template;  // kRowContextBytes, or null
  uintptr_t pass_through[2];
};
// Runs a custom report on the caller's thread with the modeless progress
// window PWLOG, whose stop button sets the stop request 17. The number of
// files read.
DWORD GenerateCustomReport(const CustomReportRequest* request);
// The progress window of the running custom report; null when none.
HWND custom_report_progress_window();

// ---- Hand-picked files ---------------------------------------------------------

// Reads the files in the order given, each in report mode into the target list
// with the row template as it is (its reporting server name included); stops
// at the stop request or the record maximum. The number read.
DWORD ReadPickedLogFiles(HWND target, uintptr_t parent, const char* const* paths, DWORD count,
                         const BYTE* context_template);

// "View Log File Data" (list events 0x60440800 and 0x60F40050): the rows
// selected in the log file list, read in list order into the report list that
// the event's descriptor names as companion, with no record maximum; every row
// carries the list event's record as its template. 1.
DWORD ViewLogFileData(HWND files_list, const uintptr_t* descriptor, const BYTE* event_record);
