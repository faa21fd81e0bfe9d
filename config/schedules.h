// Scheduled activity profiles and saved reports: subkeys of Reports (saved
// custom reports and their schedules) and of Reports\Graphs (saved graphical
// report definitions and their schedules) under a server's product key, told
// apart by the values they hold; the run times; running and editing a saved
// custom report through the report runner and the report designer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

constexpr char kReportsKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports";
constexpr char kGraphsKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports\\Graphs";

constexpr size_t kScheduleNameBytes = 256;   // a registry key name and its terminator
constexpr size_t kLastErrorBytes = 1024;
constexpr DWORD kScheduleListBytes = 3700;   // CReports, GReports and Emails are cut to this size
constexpr size_t kScheduleSlotBytes = 256;   // one name or address of GetGraphicalScheduleDetails

// ---- Run times -------------------------------------------------------------------------

// Day codes: 1 to 31 a day of the month, 50 (Sunday) to 56 (Saturday) every such weekday, 99 every day.
constexpr uint32_t kEverySunday = 50;
constexpr uint32_t kEverySaturday = 56;
constexpr uint32_t kEveryDay = 99;

constexpr uint32_t run_time_word(uint32_t day, uint32_t hour, uint32_t minute) {
  return day << 24 | (hour & 0xFF) << 8 | (minute & 0xFF);
}
constexpr uint32_t run_time_day(uint32_t word) { return word >> 24; }
constexpr uint32_t run_time_hour(uint32_t word) { return (word >> 8) & 0xFF; }
constexpr uint32_t run_time_minute(uint32_t word) { return word & 0xFF; }
// A day code that is one of the codes above, an hour 0..23, a minute 0..59 and zero bits 16..23.
bool is_run_time_word(uint32_t word);
// "Mondays", "21st of the current month", "Everyday"; false for a code that is none.
bool DayText(uint32_t day, char* out, size_t size);
// The day and " at %02d:%02d": "Mondays at 08:05".
bool RunTimeText(uint32_t word, char* out, size_t size);

// ---- Listing ---------------------------------------------------------------------------

enum class ReportListKind : uint8_t {
  kSchedules,           // Reports: subkeys with a DisableFlag
  kGraphicalSchedules,  // Reports\Graphs: subkeys with a DisableFlag
  kSavedReports,        // Reports: subkeys with a non-empty Definition
  kSavedGraphs,         // Reports\Graphs: subkeys with a Graphs value
};

// What a schedule's row keeps in its list item record, from the row data offset; its LastErr
// text (up to 1024 bytes) is a block of its own (owned slot 1).
struct ScheduleRow {
  ReportListKind kind;     // the listing the row comes from
  DWORD disabled;
  DWORD last_run;          // seconds since 1970; 0 when never run
  BYTE last_run_st[16];    // SYSTEMTIME as stored; zero when missing
  char server[101];
  char name[kScheduleNameBytes];
};
constexpr int kScheduleRowErrorSlot = 1;
// The schedule a row stands for; false for a row of any other list.
bool schedule_row(const BYTE* record, ScheduleRow* row, const char** last_error);

// One host list row per subkey of the kind, in registry order. The number listed.
DWORD ListSchedules(const char* server, HWND list, ReportListKind kind);

// Part 1 run times (one row per word, its text; the row keeps the word), part 2 the report
// names, part 4 the e-mail addresses. Empty names and names listed already are left out.
constexpr DWORD kScheduleRunTimes = 1;
constexpr DWORD kScheduleReports = 2;
constexpr DWORD kScheduleEmails = 4;
DWORD ListScheduleDetails(const char* server, const char* schedule, DWORD part, HWND list, bool graphical);
// The run-time word a part-1 row keeps; false for another row.
bool run_time_row(const BYTE* record, uint32_t* word);
// Adds a run-time row (its text, the word kept in its record); 1 when added.
DWORD AddRunTimeRow(HWND list, uint32_t word);

// LastXDays, LastXHours, CentralEmail, and the Emails and GReports names, each in a
// kScheduleSlotBytes slot of the caller's arrays (at most the capacities given).
struct GraphicalScheduleDetails {
  DWORD days, hours, central;
  char (*names)[kScheduleSlotBytes];
  size_t name_capacity, name_count;
  char (*addresses)[kScheduleSlotBytes];
  size_t address_capacity, address_count;
};
DWORD GetGraphicalScheduleDetails(const char* server, const char* schedule, GraphicalScheduleDetails* details);
// The first scheduled graphical activity profile in registry order whose DisableFlag is 0; false when none.
bool FirstEnabledGraphicalSchedule(const char* server, char* name, size_t size);
// One REG_DWORD of a schedule (0 when missing); one value of a graphical schedule as given.
DWORD GetScheduleValue(const char* server, const char* schedule, const char* value, DWORD* number, bool graphical);
DWORD SetGraphicalScheduleValue(const char* server, const char* schedule, const char* value, const BYTE* data,
                                DWORD type, DWORD length);

// ---- Saving a schedule ------------------------------------------------------------------

// What a schedule dialog holds.
struct ScheduleForm {
  const char* name;
  const char* previous;  // the schedule the dialog edits; empty for a new one
  DWORD disabled;
  const uint32_t* run_times;
  size_t run_time_count;
  const char* const* reports;  // custom reports, or graphical report definitions
  size_t report_count;
  // Graphical schedules only.
  const char* const* emails;
  size_t email_count;
  DWORD central_email;     // also "use the e-mail addresses of the server configuration"
  bool period_in_hours;    // LastXHours, else LastXDays
  const char* period;      // the number of hours or days as typed
};

// Creates or replaces the schedule after the dialog's checks. A schedule of that name is replaced
// (after asking, unless the dialog edits it) keeping its LastRun, LastRunST and LastErr; a saved
// report of that name stops the save. 1 when saved; 0 after telling the user why not; a failure
// part-way leaves the old schedule as it was.
DWORD SaveSchedule(HWND window, const char* server, const ScheduleForm& form);
DWORD SaveGraphicalSchedule(HWND window, const char* server, const ScheduleForm& form);

// ---- Saved reports ----------------------------------------------------------------------

// Reports\Graphs\<name> anew: DatesType (three words) and Graphs (the definition). 0 or the error.
DWORD SaveGraphicalReport(const char* server, const char* name, const BYTE* definition, DWORD length,
                          const DWORD dates_type[3]);
// Definition and the default value "GraphicalReports" of Reports\Graphs itself.
DWORD SaveDefaultGraphicalDefinition(const char* server, const BYTE* definition, DWORD length);
// A saved graphical report definition in a block of the memory pair (free_block); null after
// telling the user.
BYTE* RecallGraphicalReport(const char* server, const char* name, DWORD* length);

// Deletes the saved report (Reports\<name>, or Reports\Graphs\<name>) and takes its name out of
// every schedule. "Graphs" is refused. 1 when deleted, else 0.
DWORD DeleteReport(const char* name, const char* server);
DWORD DeleteGraphicalReport(const char* name, const char* server);
// In every schedule under the key whose CReports (or, without one, GReports) names the old
// report: the old name is dropped (remove) or becomes the new one. The number of schedules changed.
DWORD ReplaceReportInSchedules(HKEY reports, const char* old_name, const char* new_name, DWORD remove);

// ---- Running and editing a saved custom report --------------------------------------------

// Step codes of RunCustomReport besides 0 (the runner was started).
constexpr DWORD kRunReportKeyClosed = 1;
constexpr DWORD kRunNothingDefined = 2;
constexpr DWORD kRunOutOfMemory = 3;
constexpr DWORD kRunNoTemporaryName = 4;
constexpr DWORD kRunTemporaryNotCreated = 5;
constexpr DWORD kRunTemporaryNotWritten = 6;
constexpr DWORD kRunRunnerNotStarted = 7;  // the definition file was written, the runner did not start
constexpr DWORD kRunNoProductKey = 211;
constexpr DWORD kRunHostTableRefused = 819;
constexpr DWORD kLeastDefinitionBytes = 500;

// Writes the report's Definition to a new temporary file and starts VNXWCCR.EXE with it.
// definition_file (MAX_PATH, may be null) receives the file's path once it is written.
DWORD RunCustomReport(HWND window, const char* server, const char* report, char* definition_file);
// Starts the runner of the console's folder on the file; 0 or the Windows error (shown).
DWORD StartCustomReportRunner(const char* file);

// Editing writes the definition the same way (prefix "~CCR") and starts the designer vnxwdes on
// it; a new report starts it on an empty file. 999 when the designer was started, else 0.
constexpr DWORD kDesignerStarted = 999;
DWORD EditCustomReport(HWND window, const char* server, const char* report, char* definition_file);
DWORD NewCustomReport(HWND window, char* definition_file);
DWORD StartReportDesigner(const char* file);

// The report screens' controls (schedule_screens.cpp lists them): the schedule screens of scheduled
// activity profiles and of scheduled graphical activities, the saved custom reports and saved graphical
// report definitions, and a chart tree saved as a graphical report definition.
DWORD ScheduleScreenButton(HWND screen, uint32_t id, HWND companion);
DWORD ScheduleScreenList(HWND control, uint32_t id, const BYTE* event_record);
