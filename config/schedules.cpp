// Scheduled activity profiles and saved reports under a server's Reports key.
#include "config/schedules.h"

#include <cstdio>
#include <cstring>

#include "config/multi_string.h"
#include "config/profile_lists.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr int kIconSavedReport = 19;
constexpr int kIconSchedule = 20;
constexpr int kIconDisabledSchedule = 21;
constexpr int kIconSavedGraph = 117;
constexpr int kIconRunTime = 6;
constexpr int kIconReportName = 19;
constexpr int kIconEmail = 10;
constexpr uint32_t kScheduleRowMark = 0x53434852;  // "RHCS"
constexpr uint32_t kRunTimeRowMark = 0x54545552;   // "RUTT"
constexpr char kGraphsMarker[] = "GraphicalReports";  // the default value of Reports\Graphs, stored without terminator

constexpr const char* kWeekdays[] = {"Sundays", "Mondays", "Tuesdays", "Wednesdays", "Thursdays", "Fridays", "Saturdays"};

uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void write_u32(BYTE* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

void show_text(const char* text, const char* title, UINT icon) { show_message(nullptr, text, title, icon); }

DWORD connect(const char* server, const char* title, HKEY* machine) {
  DWORD rc = ConnectServerRegistry(server, machine, title, 0);
  return rc == 0 && *machine == nullptr ? ERROR_BAD_NETPATH : rc;
}

LONG open_key(HKEY parent, const char* path, REGSAM rights, HKEY* key) {
  return RegOpenKeyExA(parent, path, 0, remote_access(rights), key);
}

LONG create_key(HKEY parent, const char* path, HKEY* key) {
  DWORD disposition = 0;
  return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS), nullptr,
                         key, &disposition);
}

bool has_value(HKEY key, const char* name, DWORD* size = nullptr) {
  DWORD bytes = 0;
  bool present = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS;
  if (size) *size = present ? bytes : 0;
  return present;
}

DWORD read_dword(HKEY key, const char* name) {
  BYTE data[4] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS) return 0;
  return read_u32(data);
}

LONG write_dword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Whether the subkey of parent is of the kind a listing asks for.
bool subkey_is(HKEY parent, const char* name, ReportListKind kind) {
  HKEY key;
  if (open_key(parent, name, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool wanted = false;
  DWORD size = 0;
  switch (kind) {
    case ReportListKind::kSchedules:
    case ReportListKind::kGraphicalSchedules: wanted = has_value(key, "DisableFlag"); break;
    case ReportListKind::kSavedGraphs: wanted = has_value(key, "Graphs"); break;
    case ReportListKind::kSavedReports: {
      // Reports\Graphs holds a Definition too; its default value tells it apart: the 16 characters, and
      // the terminator that Windows stores after them when the written text is followed by one.
      char marker[sizeof kGraphsMarker] = {};
      DWORD marker_size = sizeof marker;
      bool graphs = RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(marker), &marker_size) ==
                        ERROR_SUCCESS &&
                    marker_size >= sizeof kGraphsMarker - 1 &&
                    std::memcmp(marker, kGraphsMarker, sizeof kGraphsMarker) == 0;
      wanted = !graphs && has_value(key, "Definition", &size) && size > 0;
      break;
    }
  }
  RegCloseKey(key);
  return wanted;
}

// Each subkey name of a key, in registry order, until visit returns false.
template <typename Visit>
void for_each_subkey(HKEY parent, Visit visit) {
  for (DWORD index = 0;; ++index) {
    char name[kScheduleNameBytes];
    DWORD size = sizeof name;
    LONG rc = RegEnumKeyExA(parent, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS || (rc == ERROR_SUCCESS && !visit(name))) return;
  }
}

void start_schedule_record(BYTE* record, HWND list, const char* server, const char* name, HKEY key,
                           ReportListKind kind) {
  start_row_record(record, list, nullptr);
  write_u32(record + kRowDataOffset, kScheduleRowMark);
  ScheduleRow row = {};
  row.kind = kind;
  copy_text(row.server, sizeof row.server, server);
  copy_text(row.name, sizeof row.name, name);
  if (key != nullptr) {
    row.disabled = read_dword(key, "DisableFlag");
    row.last_run = read_dword(key, "LastRun");
    DWORD size = sizeof row.last_run_st;
    if (RegQueryValueExA(key, "LastRunST", nullptr, nullptr, row.last_run_st, &size) != ERROR_SUCCESS)
      std::memset(row.last_run_st, 0, sizeof row.last_run_st);
    char error[kLastErrorBytes + 1] = {};
    size = kLastErrorBytes;
    if (RegQueryValueExA(key, "LastErr", nullptr, nullptr, reinterpret_cast<BYTE*>(error), &size) == ERROR_SUCCESS &&
        error[0] != '\0') {
      auto* block = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, kLastErrorBytes + 1));
      if (block != nullptr) copy_text(block, kLastErrorBytes + 1, error);
      set_owned_block(record, kScheduleRowErrorSlot, block);
    }
  }
  std::memcpy(record + kRowDataOffset + 4, &row, sizeof row);
}

struct ListingOf {
  const char* parent;
  const char* title;  // a failed connection
};

ListingOf listing_of(ReportListKind kind) {
  switch (kind) {
    case ReportListKind::kSchedules: return {kReportsKey, "UNABLE TO GET SCHEDULED ACTIVITY PROFILES"};
    case ReportListKind::kGraphicalSchedules: return {kGraphsKey, "UNABLE TO GET SCHEDULED GRAPHICAL ACTIVITIES"};
    case ReportListKind::kSavedReports: return {kReportsKey, "UNABLE TO GET REPORTS - 1"};
    default: return {kGraphsKey, "UNABLE TO GET SAVED GRAPHICAL REPORT DEFINTIONS"};
  }
}

}  // namespace

static_assert(kRowDataOffset + 4 + sizeof(ScheduleRow) <= kRowDataLimit, "a schedule row fits the record");

// ---- Run times ------------------------------------------------------------------------

bool DayText(uint32_t day, char* out, size_t size) {
  if (day >= 1 && day <= 31) {
    const char* suffix = day == 1 || day == 21 || day == 31 ? "st" : day == 2 || day == 22 ? "nd"
                         : day == 3 || day == 23                ? "rd"
                                                                : "th";
    std::snprintf(out, size, "%u%s of the current month", static_cast<unsigned>(day), suffix);
    return true;
  }
  if (day >= kEverySunday && day <= kEverySaturday) {
    copy_text(out, size, kWeekdays[day - kEverySunday]);
    return true;
  }
  if (day == kEveryDay) {
    copy_text(out, size, "Everyday");
    return true;
  }
  copy_text(out, size, "");
  return false;
}

bool is_run_time_word(uint32_t word) {
  char day[40];
  return DayText(run_time_day(word), day, sizeof day) && (word & 0x00FF0000) == 0 && run_time_hour(word) <= 23 &&
         run_time_minute(word) <= 59;
}

bool RunTimeText(uint32_t word, char* out, size_t size) {
  char day[40];
  // A day code outside the table has no day text; its row still stands, so that a save keeps the word.
  bool known = DayText(run_time_day(word), day, sizeof day);
  std::snprintf(out, size, "%s at %02u:%02u", day, static_cast<unsigned>(run_time_hour(word)),
                static_cast<unsigned>(run_time_minute(word)));
  return known;
}

// ---- Listing --------------------------------------------------------------------------

bool schedule_row(const BYTE* record, ScheduleRow* row, const char** last_error) {
  if (record == nullptr || item_word(record, kItemWordModule) != kModuleNumber ||
      read_u32(record + kRowDataOffset) != kScheduleRowMark)
    return false;
  std::memcpy(row, record + kRowDataOffset + 4, sizeof *row);
  if (last_error) {
    auto* text = static_cast<const char*>(owned_block(record, kScheduleRowErrorSlot));
    *last_error = text ? text : "";
  }
  return true;
}

bool run_time_row(const BYTE* record, uint32_t* word) {
  if (record == nullptr || item_word(record, kItemWordModule) != kModuleNumber ||
      read_u32(record + kRowDataOffset) != kRunTimeRowMark)
    return false;
  *word = read_u32(record + kRowDataOffset + 4);
  return true;
}

DWORD AddRunTimeRow(HWND list, uint32_t word) {
  char text[80];
  RunTimeText(word, text, sizeof text);
  BYTE record[kListItemBytes];
  start_row_record(record, list, nullptr);
  write_u32(record + kRowDataOffset, kRunTimeRowMark);
  write_u32(record + kRowDataOffset + 4, word);
  return insert_list_row(list, text, kIconRunTime, record) ? 1 : 0;
}

DWORD ListSchedules(const char* server, HWND list, ReportListKind kind) {
  ListingOf of = listing_of(kind);
  HKEY machine, parent;
  if (connect(server, of.title, &machine) != 0) return 0;
  if (open_key(machine, of.parent, KEY_READ, &parent) != ERROR_SUCCESS) return 0;
  bool schedules = kind == ReportListKind::kSchedules || kind == ReportListKind::kGraphicalSchedules;
  DWORD listed = 0;
  for_each_subkey(parent, [&](const char* name) {
    HKEY key = nullptr;
    if (!subkey_is(parent, name, kind) || (schedules && open_key(parent, name, KEY_READ, &key) != ERROR_SUCCESS))
      return true;
    BYTE record[kListItemBytes];
    start_schedule_record(record, list, server, name, key, kind);
    int icon = !schedules ? (kind == ReportListKind::kSavedGraphs ? kIconSavedGraph : kIconSavedReport)
               : read_dword(key, "DisableFlag") ? kIconDisabledSchedule
                                                : kIconSchedule;
    if (key) RegCloseKey(key);
    if (insert_list_row(list, name, icon, record)) ++listed;
    else free_block(owned_block(record, kScheduleRowErrorSlot));
    return true;
  });
  RegCloseKey(parent);
  return listed;
}

namespace {

bool row_listed(HWND list, const char* text) {
  char row_text[kHostRowTextBytes];
  const BYTE* record = nullptr;
  for (int row = 0; read_list_row(list, row, row_text, sizeof row_text, &record); ++row)
    if (equal_ignoring_case(row_text, text)) return true;
  return false;
}

// Opens Reports\<schedule> (or Reports\Graphs\<schedule>) after connecting under the title.
DWORD open_schedule(const char* server, const char* schedule, bool graphical, REGSAM rights, const char* title,
                    HKEY* key) {
  HKEY machine;
  if (DWORD rc = connect(server, title, &machine)) return rc;
  char path[600];
  std::snprintf(path, sizeof path, "%s\\%.255s", graphical ? kGraphsKey : kReportsKey, schedule);
  return static_cast<DWORD>(open_key(machine, path, rights, key));
}

}  // namespace

DWORD ListScheduleDetails(const char* server, const char* schedule, DWORD part, HWND list, bool graphical) {
  HKEY key;
  if (open_schedule(server, schedule, graphical, KEY_READ, "UNABLE TO RETREIEVE SCHEDULED ACTIVITY PROFILE DATA", &key) !=
      0)
    return 0;
  const char* value = part == kScheduleRunTimes ? "RunTimes"
                      : part == kScheduleEmails ? "Emails"
                      : graphical               ? "GReports"
                                                : "CReports";
  DWORD size = 0;
  LONG rc = 0;
  BYTE* data = read_value_block(key, value, &size, nullptr, &rc);
  RegCloseKey(key);
  DWORD listed = 0;
  BYTE record[kListItemBytes];
  if (part == kScheduleRunTimes) {
    for (DWORD at = 0; data != nullptr && at + 4 <= size; at += 4) {
      listed += AddRunTimeRow(list, read_u32(data + at));
    }
  } else {
    for_each_name(data, size, [&](const char* name) {
      if (row_listed(list, name)) return true;
      start_row_record(record, list, nullptr);
      if (insert_list_row(list, name, part == kScheduleEmails ? kIconEmail : kIconReportName, record)) ++listed;
      return true;
    });
  }
  free_block(data);
  return listed;
}

DWORD GetGraphicalScheduleDetails(const char* server, const char* schedule, GraphicalScheduleDetails* d) {
  d->days = d->hours = d->central = 0;
  d->name_count = d->address_count = 0;
  HKEY key;
  if (DWORD rc = open_schedule(server, schedule, true, KEY_READ, "UNABLE TO GET SCHEDULED REPORT DETAILS", &key))
    return rc;
  d->days = read_dword(key, "LastXDays");
  d->hours = read_dword(key, "LastXHours");
  d->central = read_dword(key, "CentralEmail");
  auto copy_names = [&](const char* value, char (*slots)[kScheduleSlotBytes], size_t capacity, size_t* count) {
    DWORD size = 0;
    LONG rc = 0;
    BYTE* data = read_value_block(key, value, &size, nullptr, &rc);
    for_each_name(data, size, [&](const char* name) {
      if (*count >= capacity || slots == nullptr) return false;
      copy_text(slots[(*count)++], kScheduleSlotBytes, name);
      return true;
    });
    free_block(data);
  };
  copy_names("Emails", d->addresses, d->address_capacity, &d->address_count);
  copy_names("GReports", d->names, d->name_capacity, &d->name_count);
  RegCloseKey(key);
  return 0;
}

bool FirstEnabledGraphicalSchedule(const char* server, char* name, size_t size) {
  copy_text(name, size, "");
  HKEY machine, graphs;
  if (connect(server, "UNABLE TO GET SCHEDULED REPORT DETAILS", &machine) != 0 ||
      open_key(machine, kGraphsKey, KEY_READ, &graphs) != ERROR_SUCCESS)
    return false;
  for_each_subkey(graphs, [&](const char* subkey) {
    HKEY key;
    if (open_key(graphs, subkey, KEY_READ, &key) != ERROR_SUCCESS) return true;
    bool enabled = has_value(key, "DisableFlag") && read_dword(key, "DisableFlag") == 0;
    RegCloseKey(key);
    if (enabled) copy_text(name, size, subkey);
    return !enabled;
  });
  RegCloseKey(graphs);
  return name[0] != '\0';
}

DWORD GetScheduleValue(const char* server, const char* schedule, const char* value, DWORD* number, bool graphical) {
  *number = 0;
  HKEY key;
  if (DWORD rc = open_schedule(server, schedule, graphical, KEY_READ, "UNABLE TO GET SCHEDULED REPORT DETAILS", &key))
    return rc;
  *number = read_dword(key, value);
  RegCloseKey(key);
  return 0;
}

DWORD SetGraphicalScheduleValue(const char* server, const char* schedule, const char* value, const BYTE* data,
                                DWORD type, DWORD length) {
  HKEY key;
  if (DWORD rc = open_schedule(server, schedule, true, KEY_ALL_ACCESS, "UNABLE TO SET SCHEDULED REPORT DETAILS", &key))
    return rc;
  LONG rc = RegSetValueExA(key, value, 0, type, data, length);
  RegCloseKey(key);
  return static_cast<DWORD>(rc);
}

// ---- Saving a schedule ------------------------------------------------------------------

namespace {

struct ScheduleKind {
  bool graphical;
  const char* connect_title;
  const char* conflict_value;  // the value that makes a subkey a saved report of this key
  const char* conflict_text;
  const char* question;
  const char* question_title;
  const char* list_value;
  const char* list_cut;
  const char* rename_failure;
  const char* final_failure;
};

constexpr ScheduleKind kActivitySchedule = {
    false,
    "UNABLE TO CREATE / UPDATE SCHEDULE ACTIVITY PROFILE",
    "Definition",
    "A Custom Report with the same name exists - unable to create / update Scheduled Activity Profile with the same "
    "name",
    "A Scheduled Activity Profile with the same name already exists.\n\nWould you like to replace this exising "
    "profile?  Click OK to replace.",
    "Replace Scheduled Activity Profile?",
    "CReports",
    "Unable to save all Custom Reports selected - Please report code C24 to support.",
    "Error %d removing previous Scheduled Activity Profile name [%s]",
    "Unable to create / update scheduled activity profile - error S33",
};

constexpr ScheduleKind kGraphicalSchedule = {
    true,
    "UNABLE TO CREATE / UPDATE SCHEDULE GRAPHICAL ACTIVITY PROFILE",
    "Graphs",
    "A Saved Graphical Report Definition with the same name exists - unable to create / update Scheduled Graphical "
    "Activity Profile with the same name",
    "A Scheduled Graphical Activity Profile with the same name already exists.\n\nWould you like to replace this "
    "exising profile?  Click OK to replace.",
    "Replace Scheduled Graphical Activity Profile?",
    "GReports",
    "Unable to save all Saved Graphical Report Definitions selected - Please report code G24 to support.",
    "Error %d removing previous Scheduled Graphical Activity Profile name [%s]",
    "Unable to create / update scheduled graphical activity profile - error G33",
};

constexpr char kUnableToCreate[] = "Unable to create scheduled activity profile.\n\n";

bool has_text(const char* text) { return text != nullptr && text[0] != '\0'; }

size_t count_names(const char* const* names, size_t count) {
  size_t named = 0;
  for (size_t i = 0; i < count; ++i) named += has_text(names[i]);
  return named;
}

// The dialog's checks in their order; false after the message of the first that fails.
bool form_complete(const ScheduleKind& kind, const ScheduleForm& f) {
  const char* missing = nullptr;
  if (!kind.graphical) {
    if (!has_text(f.name) || f.run_time_count == 0 || count_names(f.reports, f.report_count) == 0)
      missing =
          "Unable to create scheduled activity profile.\n\nThe following must be defined:\n\n1. Activity Profile Name"
          "\n\n2. At least one scheduled time\n\n3. At least one custom report";
  } else if (!has_text(f.name)) {
    missing = "The Scheduled Activity Profile Name is required.";
  } else if (f.run_time_count == 0) {
    missing = "At least one Scheduled Time to Run is required.";
  } else if (count_names(f.reports, f.report_count) == 0) {
    missing = "At least one Graphical Report Definition must be included.";
  } else if (count_names(f.emails, f.email_count) == 0 && f.central_email == 0) {
    missing = "At least one email address must be included or the checkbox to use emails defined on the server "
              "configuration must be checked.";
  } else if (decimal_value(f.period) <= 0) {
    missing = "Time value must entered for Report Time Period (either number of day or number of hours).";
  }
  if (missing == nullptr) return true;
  char text[600];
  std::snprintf(text, sizeof text, "%s%s", kind.graphical ? kUnableToCreate : "", missing);
  show_text(text, nullptr, MB_ICONERROR);
  return false;
}

// The last-run values of a schedule being replaced.
struct LastRunValues {
  BYTE last_run_st[16];
  DWORD last_run_st_size;
  BYTE last_run[4];
  DWORD last_run_size;
  char last_error[kLastErrorBytes + 1];
  DWORD last_error_size, last_error_type;
};

void keep_last_run(HKEY key, LastRunValues* kept) {
  std::memset(kept, 0, sizeof *kept);
  kept->last_run_st_size = sizeof kept->last_run_st;
  if (RegQueryValueExA(key, "LastRunST", nullptr, nullptr, kept->last_run_st, &kept->last_run_st_size) != ERROR_SUCCESS)
    kept->last_run_st_size = 0;
  kept->last_run_size = sizeof kept->last_run;
  if (RegQueryValueExA(key, "LastRun", nullptr, nullptr, kept->last_run, &kept->last_run_size) != ERROR_SUCCESS)
    kept->last_run_size = 0;
  kept->last_error_size = kLastErrorBytes;
  if (RegQueryValueExA(key, "LastErr", nullptr, &kept->last_error_type, reinterpret_cast<BYTE*>(kept->last_error),
                       &kept->last_error_size) != ERROR_SUCCESS)
    kept->last_error_size = 0;
}

LONG write_last_run(HKEY key, const LastRunValues& kept) {
  LONG rc = ERROR_SUCCESS;
  if (kept.last_run_size > 0) rc = RegSetValueExA(key, "LastRun", 0, REG_BINARY, kept.last_run, kept.last_run_size);
  if (rc == ERROR_SUCCESS && kept.last_run_st_size > 0)
    rc = RegSetValueExA(key, "LastRunST", 0, REG_BINARY, kept.last_run_st, kept.last_run_st_size);
  if (rc == ERROR_SUCCESS && kept.last_error_size > 0)
    rc = RegSetValueExA(key, "LastErr", 0, kept.last_error_type, reinterpret_cast<const BYTE*>(kept.last_error),
                        kept.last_error_size);
  return rc;
}

// A list value cut to 3700 bytes, with its warning when names were left out.
LONG write_name_list(HKEY key, const char* value, const char* const* names, size_t count, const char* cut) {
  MultiString list;
  if (!multi_string_start(&list, kScheduleListBytes)) return ERROR_NOT_ENOUGH_MEMORY;
  bool complete = true;
  for (size_t i = 0; i < count && complete; ++i)
    complete = multi_string_add(&list, names[i] ? names[i] : "", kScheduleListBytes);
  if (!complete) show_text(cut, nullptr, MB_ICONWARNING);
  LONG rc = RegSetValueExA(key, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data),
                           multi_string_bytes(list));
  multi_string_free(&list);
  return rc;
}

LONG write_schedule_values(const ScheduleKind& kind, HKEY key, const ScheduleForm& f, const LastRunValues& kept) {
  LONG rc = write_dword(key, "DisableFlag", f.disabled);
  if (rc == ERROR_SUCCESS && kind.graphical) {
    rc = write_dword(key, "CentralEmail", f.central_email);
    const char* period = f.period_in_hours ? "LastXHours" : "LastXDays";
    const char* other = f.period_in_hours ? "LastXDays" : "LastXHours";
    if (rc == ERROR_SUCCESS) rc = write_dword(key, period, static_cast<DWORD>(decimal_value(f.period)));
    if (rc == ERROR_SUCCESS && RegDeleteValueA(key, other) != ERROR_SUCCESS) rc = ERROR_SUCCESS;  // seldom there
  }
  if (rc == ERROR_SUCCESS) {
    auto* words = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, 4 * f.run_time_count + 4));
    if (words == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    for (size_t i = 0; i < f.run_time_count; ++i) write_u32(words + 4 * i, f.run_times[i]);
    rc = RegSetValueExA(key, "RunTimes", 0, REG_BINARY, words, static_cast<DWORD>(4 * f.run_time_count));
    free_block(words);
  }
  if (rc == ERROR_SUCCESS && kind.graphical)
    rc = write_name_list(key, "Emails", f.emails, f.email_count,
                         "Unable to save all Emails entered - Please report code G25 to support.");
  if (rc == ERROR_SUCCESS) rc = write_last_run(key, kept);
  if (rc == ERROR_SUCCESS) rc = write_name_list(key, kind.list_value, f.reports, f.report_count, kind.list_cut);
  return rc;
}

// Opens Reports, or Reports\Graphs made when missing.
LONG open_schedules_parent(const ScheduleKind& kind, HKEY machine, HKEY* parent) {
  if (!kind.graphical) return open_key(machine, kReportsKey, KEY_ALL_ACCESS, parent);
  LONG rc = create_key(machine, kGraphsKey, parent);
  if (rc != ERROR_SUCCESS) {
    char text[200];
    std::snprintf(text, sizeof text, "Error %d opening Graphs RKey.\n\nUnable to save graphical report definition.",
                  static_cast<int>(rc));
    show_text(text, nullptr, MB_ICONERROR);
  }
  return rc;
}

DWORD save_schedule(const ScheduleKind& kind, HWND window, const char* server, const ScheduleForm& f) {
  if (!form_complete(kind, f)) return 0;
  HKEY machine, parent;
  if (connect(server, kind.connect_title, &machine) != 0) return 0;
  if (open_schedules_parent(kind, machine, &parent) != ERROR_SUCCESS) {
    if (!kind.graphical) show_text(kind.final_failure, nullptr, MB_ICONERROR);
    return 0;
  }
  // An existing subkey of the name: a saved report stops the save; a schedule is replaced, after
  // asking unless the dialog edits this very schedule, keeping its last-run values.
  LastRunValues kept = {};
  HKEY old;
  if (open_key(parent, f.name, KEY_READ, &old) == ERROR_SUCCESS) {
    DWORD size = 0;
    bool conflict = has_value(old, kind.conflict_value, &size) && (kind.graphical || size > 0);
    bool editing_this = has_text(f.previous) && equal_ignoring_case(f.previous, f.name);
    bool replace = !conflict && (editing_this || ask_confirmation(window, kind.question, kind.question_title,
                                                                  MB_OKCANCEL | MB_ICONQUESTION) == IDOK);
    keep_last_run(old, &kept);
    RegCloseKey(old);
    if (conflict) show_text(kind.conflict_text, nullptr, MB_ICONERROR);
    bool deleted = replace && DeleteRegistryKey(parent, f.name) == ERROR_SUCCESS;
    if (!deleted) {
      if (replace) show_text(kind.final_failure, nullptr, MB_ICONERROR);
      RegCloseKey(parent);
      return 0;
    }
  }
  HKEY key;
  LONG rc = create_key(parent, f.name, &key);
  if (rc != ERROR_SUCCESS) {
    char text[400];
    std::snprintf(text, sizeof text, "Error %d creating %.300s", static_cast<int>(rc), f.name);
    show_text(text, nullptr, MB_ICONERROR);
  } else {
    rc = write_schedule_values(kind, key, f, kept);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) show_text(kind.final_failure, nullptr, MB_ICONERROR);
  }
  if (rc == ERROR_SUCCESS && has_text(f.previous) && !equal_ignoring_case(f.previous, f.name)) {
    LONG removed = DeleteRegistryKey(parent, f.previous);
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
      char text[400];
      std::snprintf(text, sizeof text, kind.rename_failure, static_cast<int>(removed), f.previous);
      show_text(text, nullptr, MB_ICONWARNING);
    }
  }
  RegCloseKey(parent);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

DWORD SaveSchedule(HWND window, const char* server, const ScheduleForm& form) {
  return save_schedule(kActivitySchedule, window, server, form);
}

DWORD SaveGraphicalSchedule(HWND window, const char* server, const ScheduleForm& form) {
  return save_schedule(kGraphicalSchedule, window, server, form);
}

// ---- Saved reports ----------------------------------------------------------------------

DWORD SaveGraphicalReport(const char* server, const char* name, const BYTE* definition, DWORD length,
                          const DWORD dates_type[3]) {
  const char* title = "UNABLE TO CREATE/SAVE GRAPHICAL REPORT)";
  HKEY machine, graphs, key;
  if (DWORD rc = connect(server, title, &machine)) return rc;
  char text[400];
  LONG rc = create_key(machine, kGraphsKey, &graphs);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening Graphs RKey.\n\nUnable to save graphical report definition.",
                  static_cast<int>(rc));
    show_text(text, title, MB_ICONERROR);
    return static_cast<DWORD>(rc);
  }
  DeleteRegistryKey(graphs, name);
  rc = create_key(graphs, name, &key);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d creating \"%.200s\" Graphs Key.\n\nUnable to save graphical report definition.",
                  static_cast<int>(rc), name);
    show_text(text, title, MB_ICONERROR);
    RegCloseKey(graphs);
    return static_cast<DWORD>(rc);
  }
  BYTE dates[12];
  for (int i = 0; i < 3; ++i) write_u32(dates + 4 * i, dates_type[i]);
  rc = RegSetValueExA(key, "DatesType", 0, REG_BINARY, dates, sizeof dates);
  if (rc == ERROR_SUCCESS) rc = RegSetValueExA(key, "Graphs", 0, REG_MULTI_SZ, definition, length);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) DeleteRegistryKey(graphs, name);  // no half-saved definition stays
  RegCloseKey(graphs);
  return static_cast<DWORD>(rc);
}

DWORD SaveDefaultGraphicalDefinition(const char* server, const BYTE* definition, DWORD length) {
  const char* title = "UNABLE TO SAVE DEFAULT CCR SGR 4";
  HKEY machine, graphs;
  if (DWORD rc = connect(server, title, &machine)) return rc;
  LONG rc = create_key(machine, kGraphsKey, &graphs);
  if (rc != ERROR_SUCCESS) {
    char text[200];
    std::snprintf(text, sizeof text, "Error %d opening Graphs RKey.\n\nUnable to save default ccr sgr 4.",
                  static_cast<int>(rc));
    show_text(text, title, MB_ICONERROR);
    return static_cast<DWORD>(rc);
  }
  rc = RegSetValueExA(graphs, "Definition", 0, REG_BINARY, definition, length);
  if (rc == ERROR_SUCCESS) {
    // Windows stores a terminator it finds right after the counted text: the 16 characters go from a
    // buffer with none there, so that exactly they are stored.
    char marker[sizeof kGraphsMarker];
    std::memcpy(marker, kGraphsMarker, sizeof kGraphsMarker - 1);
    marker[sizeof kGraphsMarker - 1] = ' ';
    rc = RegSetValueExA(graphs, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(marker), sizeof kGraphsMarker - 1);
  }
  RegCloseKey(graphs);
  return static_cast<DWORD>(rc);
}

BYTE* RecallGraphicalReport(const char* server, const char* name, DWORD* length) {
  *length = 0;
  const char* title = "Unable to Recall Definition";
  HKEY machine, key;
  if (connect(server, "UNABLE TO RECALL SAVED GRAPHICAL REPORT DEFINTION", &machine) != 0) return nullptr;
  char path[600], text[400];
  std::snprintf(path, sizeof path, "%s\\%.255s", kGraphsKey, name);
  LONG rc = open_key(machine, path, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    std::snprintf(text, sizeof text, "Error %d opening GR[%.200s]", static_cast<int>(rc), name);
    show_text(text, title, MB_ICONERROR);
    return nullptr;
  }
  LONG read = 0;
  BYTE* data = read_value_block(key, "Graphs", length, nullptr, &read);
  RegCloseKey(key);
  if (data == nullptr) {
    std::snprintf(text, sizeof text, "Error %d reading GR[%.200s]", static_cast<int>(read), name);
    show_text(text, title, MB_ICONERROR);
  }
  return data;
}

namespace {

DWORD delete_saved(const char* parent_path, const char* name, const char* server) {
  if (equal_ignoring_case(name, "Graphs")) return 0;
  HKEY machine, parent;
  if (connect(server, "UNABLE TO DELETE REPORT(S)", &machine) != 0) return 0;
  if (open_key(machine, parent_path, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS) return 0;
  bool deleted = DeleteRegistryKey(parent, name) == ERROR_SUCCESS;
  if (deleted) ReplaceReportInSchedules(parent, name, "", 1);
  RegCloseKey(parent);
  return deleted ? 1 : 0;
}

}  // namespace

DWORD DeleteReport(const char* name, const char* server) { return delete_saved(kReportsKey, name, server); }

DWORD DeleteGraphicalReport(const char* name, const char* server) { return delete_saved(kGraphsKey, name, server); }

DWORD ReplaceReportInSchedules(HKEY reports, const char* old_name, const char* new_name, DWORD remove) {
  DWORD changed = 0;
  for_each_subkey(reports, [&](const char* name) {
    HKEY key;
    if (open_key(reports, name, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return true;
    const char* value = has_value(key, "CReports") ? "CReports" : "GReports";
    DWORD bytes = 0;
    LONG read = 0;
    BYTE* data = has_value(key, "DisableFlag") ? read_value_block(key, value, &bytes, nullptr, &read) : nullptr;
    bool named = false;
    for_each_name(data, bytes, [&](const char* n) {
      named = named || equal_ignoring_case(n, old_name);
      return !named;
    });
    MultiString list = {nullptr, 0, 0};
    if (named && multi_string_start(&list, bytes + static_cast<DWORD>(std::strlen(new_name)) + 2)) {
      for_each_name(data, bytes, [&](const char* n) {
        bool old = equal_ignoring_case(n, old_name);
        if (!old || !remove) multi_string_add(&list, old ? new_name : n, bytes + std::strlen(new_name));
        return true;
      });
      if (RegSetValueExA(key, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data),
                         multi_string_bytes(list)) == ERROR_SUCCESS)
        ++changed;
      multi_string_free(&list);
    }
    free_block(data);
    RegCloseKey(key);
    return true;
  });
  return changed;
}
