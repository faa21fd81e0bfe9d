// The log reader: one activity log file into report rows.
#include "reports/log_reader.h"

#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"

QuickReportState g_quick_report;
ReportRunState g_report_run;

bool in_quick_report_window(uint32_t t) {
  return g_quick_report.window_start < t && t <= g_quick_report.window_end;
}

namespace {

constexpr char kStopRequestedText[] = "USER REQUESTED REPORT GENERATION TO BE STOPPED";
constexpr char kQuickCancelledText[] = "_USER REQUESTED REPORT GENERATION CANCELLED";
constexpr char kMaximumReachedText[] = "_MAXIMUM RECORD COUNT [%d] REACHED, REPORT STOPPED";
constexpr char kOpenErrorText[] = "Error [%d] opening file";
constexpr DWORD kNtStatusTextChars = 256;

const char* object_word(BYTE folder) { return folder ? "Folder" : "File"; }

const FileActionEntry* find_file_action(uint32_t code, bool gpo) {
  for (const FileActionEntry& e : kFileActions)
    if (e.code == code && !(gpo && e.file_record_only)) return &e;
  return nullptr;
}

// ---- Reading state -----------------------------------------------------------

enum class ReadEnd { kGoOn, kStop };

struct Reading {
  const LogReadRequest* request;
  bool quick;
  HANDLE file;
  uint64_t file_size;
  uint64_t position;
  uint32_t last_valid_type;
  RowActivity activity;
  uint32_t type;    // of the record being decoded
  uint32_t action;
  BYTE context[kRowContextBytes];  // report mode: the row context of every row
  DecodedLogRecord record;
  GpoChangeEntry change_entry;
  GpoValueEntry value_entry;
};

// A message box in interactive use, a line in the host's run log when it runs unattended.
void show_diagnostic(const char* text, const char* caption) {
  show_unattended_message(nullptr, text, caption, MB_OK);
}

void update_progress(const Reading& r, uint64_t position) {
  if (r.request->progress == nullptr) return;
  uint64_t scale = g_report_run.progress_scale;
  uint64_t value = scale == 0 ? position : position * 1000 / scale;
  SendMessageA(r.request->progress, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

// Hands one row to the host; the inserted row owns the context's item from then on.
void insert_row(HWND window, uintptr_t parent, const char* text, int icon, const uintptr_t (&pass)[2],
                BYTE* context) {
  auto insert = host_service<HostInsertReportRowFn>(kHostInsertReportRow);
  DWORD flag = 0;
  void* item;
  LogFamily family = row_item(context, &item);
  if (insert != nullptr) {
    insert(window, parent, kReportRowPosition, text, resolve_icon(icon), 1, pass[0], pass[1], context, &flag);
  } else {
    free_report_row_item(family, item);  // no host list to own it
  }
  set_row_item(context, kLogFamilyNone, nullptr);
}

void insert_report_text_row(Reading& r, const char* text) {
  set_row_item(r.context, kLogFamilyNone, nullptr);
  insert_row(r.request->target, r.request->parent, text, kErrorRowIcon, r.request->pass_through, r.context);
}

void close_file(Reading& r) {
  if (r.file != INVALID_HANDLE_VALUE) CloseHandle(r.file);
  r.file = INVALID_HANDLE_VALUE;
}

// The full report's stop request (17), before each header and after each body.
ReadEnd check_stop_request(Reading& r) {
  if (g_library.search_cancel != kSearchCancelStop) return ReadEnd::kGoOn;
  close_file(r);
  copy_text(r.activity.text, sizeof r.activity.text, kStopRequestedText);
  g_report_run.stopped = 1;
  if (r.quick) {
    for (BYTE* context : g_quick_report.contexts) set_row_u32(context, kRowStoppedOffset, 1);
  } else {
    set_row_u32(r.context, kRowStoppedOffset, 1);
    insert_report_text_row(r, kStopRequestedText);
  }
  return ReadEnd::kStop;
}

// ---- Rows ------------------------------------------------------------------

// Report mode: count, insert, then the maximum record count.
ReadEnd add_report_row(Reading& r, LogFamily family, void* item) {
  set_row_item(r.context, family, item);
  g_report_run.record_count++;
  insert_row(r.request->target, r.request->parent, r.activity.text, r.activity.icon, r.request->pass_through,
             r.context);
  if (g_report_run.maximum_records != 0 && g_report_run.record_count > g_report_run.maximum_records) {
    close_file(r);
    set_row_u32(r.context, kRowStoppedOffset, 1);
    char text[128];
    std::snprintf(text, sizeof text, kMaximumReachedText, static_cast<int>(g_report_run.maximum_records));
    insert_report_text_row(r, text);
    return ReadEnd::kStop;
  }
  return ReadEnd::kGoOn;
}

void quick_stop_row(QuickReportList list, const char* text) {
  BYTE* context = g_quick_report.contexts[list];
  set_row_item(context, kLogFamilyNone, nullptr);
  set_row_u32(context, kRowStoppedOffset, 1);
  insert_row(g_quick_report.lists[list], kQuickReportParent, text, kErrorRowIcon, g_quick_report.pass_through,
             context);
}

// Quick-report mode: the stop value, then the window filter.
ReadEnd add_quick_row(Reading& r, LogFamily family, void* item) {
  QuickReportList list = quick_list_of(family);
  if (g_quick_report.state == kQuickReportStop) {
    free_report_row_item(family, item);
    close_file(r);
    copy_text(r.activity.text, sizeof r.activity.text, kQuickCancelledText);
    if (g_quick_report.status_text[0] == '\0')
      copy_text(g_quick_report.status_text, sizeof g_quick_report.status_text, kQuickCancelledText);
    g_report_run.stopped = 1;
    quick_stop_row(list, kQuickCancelledText);
    return ReadEnd::kStop;
  }
  uint32_t t = item ? row_item_event_time(family, item) : 0;
  if (item == nullptr || !in_quick_report_window(t)) {
    free_report_row_item(family, item);
    return ReadEnd::kGoOn;
  }
  BYTE* context = g_quick_report.contexts[list];
  set_row_u32(context, kRowTypeOffset, r.type);
  set_row_u32(context, kRowActionOffset, r.action);
  set_row_item(context, family, item);
  insert_row(g_quick_report.lists[list], kQuickReportParent, r.activity.text, r.activity.icon,
             g_quick_report.pass_through, context);
  g_quick_report.row_count++;
  return ReadEnd::kGoOn;
}

ReadEnd add_row(Reading& r, LogFamily family, void* item) {
  return r.quick ? add_quick_row(r, family, item) : add_report_row(r, family, item);
}

// After each record of a quick report: the maximum row count.
ReadEnd check_quick_maximum(Reading& r, LogFamily family) {
  if (g_quick_report.row_count <= g_quick_report.maximum_rows) return ReadEnd::kGoOn;
  close_file(r);
  char text[128];
  std::snprintf(text, sizeof text, kMaximumReachedText, static_cast<int>(g_quick_report.maximum_rows));
  copy_text(g_quick_report.status_text, sizeof g_quick_report.status_text, text);
  quick_stop_row(quick_list_of(family), text);
  g_quick_report.state = kQuickReportStop;
  return ReadEnd::kStop;
}

// The time a quick report's window tests, as the row item would hold it.
uint32_t record_event_time(const DecodedLogRecord& d) {
  switch (d.family) {
    case kLogFamilyFile: return d.file.event_time;
    case kLogFamilyLogon: return d.logon.event_time;
    case kLogFamilyDirectory: return d.directory.event_time;
    case kLogFamilyGpoFile: return d.gpo_file.head.event_time;
    case kLogFamilyGpoFileChange: return d.gpo_file_change.head.event_time;
    case kLogFamilyGpoDirectory: return d.gpo_directory.head.event_time;
    case kLogFamilyGpoDirectoryValue: return d.gpo_directory_value.head.event_time;
    case kLogFamilyNone: break;
  }
  return 0;
}

// A quick report drops every row of a record outside its window, so such a
// record gets no activity text and no items; a stop still ends the run at it.
bool outside_quick_window(const Reading& r, uint32_t t) {
  return r.quick && g_quick_report.state != kQuickReportStop && !in_quick_report_window(t);
}

// Restores, decodes and inserts the row or rows of one record.
ReadEnd decode_and_insert(Reading& r, uint32_t type, BYTE* body, uint32_t body_length) {
  restore_log_record_body(type, body, body_length);
  DecodedLogRecord& d = r.record;
  if (!decode_log_record(type, body, body_length, &d)) return ReadEnd::kGoOn;  // the type check rules this out
  // Every plain record begins with its type code and action code at the same place.
  uint32_t action = 0;
  switch (d.family) {
    case kLogFamilyFile: action = d.file.action; break;
    case kLogFamilyLogon: action = d.logon.action; break;
    case kLogFamilyDirectory: action = d.directory.action; break;
    case kLogFamilyGpoFile: action = d.gpo_file.head.action; break;
    case kLogFamilyGpoFileChange: action = d.gpo_file_change.head.action; break;
    case kLogFamilyGpoDirectory: action = d.gpo_directory.head.action; break;
    case kLogFamilyGpoDirectoryValue: action = d.gpo_directory_value.head.action; break;
    case kLogFamilyNone: break;
  }
  r.type = type;
  r.action = action;
  if (outside_quick_window(r, record_event_time(d))) return check_quick_maximum(r, d.family);
  if (!r.quick) {
    set_row_u32(r.context, kRowTypeOffset, type);
    set_row_u32(r.context, kRowActionOffset, action);
  }

  ReadEnd end = ReadEnd::kGoOn;
  switch (d.family) {
    case kLogFamilyFile:
      file_activity(d.file, &r.activity);
      end = add_row(r, d.family, make_file_row_item(d.file, r.activity.keep_new_name));
      break;
    case kLogFamilyGpoFile:
      gpo_file_activity(d.gpo_file, &r.activity);
      end = add_row(r, d.family, make_gpo_file_row_item(d.gpo_file, r.activity.keep_new_name));
      break;
    case kLogFamilyDirectory:
      directory_activity(type, action, false, &r.activity);
      end = add_row(r, d.family, make_directory_row_item(d.directory));
      break;
    case kLogFamilyGpoDirectory:
      directory_activity(type, action, true, &r.activity);
      end = add_row(r, d.family, make_gpo_directory_row_item(d.gpo_directory));
      break;
    case kLogFamilyLogon:
      logon_activity(d.logon, &r.activity);
      end = add_row(r, d.family, make_logon_row_item(d.logon));
      break;
    case kLogFamilyGpoFileChange: {
      copy_text(r.activity.text, sizeof r.activity.text, kGpoFileChangeText);
      r.activity.icon = base_icon(97);
      r.activity.keep_new_name = TRUE;
      size_t at = kGpoChangeFirstEntry;
      GpoChangeEntry& entry = r.change_entry;
      for (uint32_t n = 0; n < d.gpo_file_change.entry_count && end == ReadEnd::kGoOn &&
                           read_gpo_change_entry(body, body_length, &at, &entry);
           ++n)
        end = add_row(r, d.family, make_gpo_file_change_row_item(d.gpo_file_change, entry));
      break;
    }
    case kLogFamilyGpoDirectoryValue: {
      size_t at = kGpoValueFirstEntry;
      GpoValueEntry& entry = r.value_entry;
      for (uint32_t n = 0; n < d.gpo_directory_value.entry_count && end == ReadEnd::kGoOn &&
                           read_gpo_value_entry(body, body_length, &at, &entry);
           ++n) {
        gpo_value_activity(entry, &r.activity);
        end = add_row(r, d.family, make_gpo_directory_value_row_item(d.gpo_directory_value, entry));
      }
      break;
    }
    case kLogFamilyNone: break;
  }
  if (end == ReadEnd::kGoOn && r.quick) end = check_quick_maximum(r, d.family);
  return end;
}

void report_open_failure(const LogReadRequest* request, DWORD error) {
  char text[64];
  std::snprintf(text, sizeof text, kOpenErrorText, static_cast<int>(error));
  if (request->target == nullptr) {
    show_message(nullptr, text, "ERROR 23", MB_OK | MB_ICONERROR);
    return;
  }
  show_diagnostic(text, "Error 23");
  BYTE context[kRowContextBytes] = {};
  if (request->context_template != nullptr) std::memcpy(context, request->context_template, kRowContextBytes);
  set_row_item(context, kLogFamilyNone, nullptr);
  insert_row(request->target, request->parent, text, kErrorRowIcon, request->pass_through, context);
}

// The split loop over one open file.
void read_records(Reading& r, LogSplitter* splitter) {
  LogSplitItem item;
  for (;;) {
    if (check_stop_request(r) == ReadEnd::kStop) return;
    LogSplitEvent event = next_log_split(splitter, &item);
    if (event == kLogSplitDamage) {
      r.position = splitter->position;
      if (splitter->end_reason == kLogEndNoRecordFound) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "ReadFile[%d] WWA6[%lld] EOFf6[%lld] BR[%d]\n\noriginalRT[%X] lastValidRecord RT[%X]",
                      splitter->scan_read_result, static_cast<long long>(item.position + kLogHeaderBytes),
                      static_cast<long long>(r.file_size), static_cast<int>(splitter->scan_bytes_read), item.type,
                      r.last_valid_type);
        show_diagnostic(text, "READ FAILED! (Unable to find next record)");
        show_diagnostic(r.request->path, "READ FAILED HERE");
        return;
      }
      continue;
    }
    if (event == kLogSplitEnd) {
      if (item.end_reason == kLogEndCutRecord && item.skipped == kLogHeaderBytes) {
        show_diagnostic("READ ZERO BYTES!", "READ ZERO BYTES!");
      } else if (item.end_reason == kLogEndReadFailed && item.type != 0) {
        char text[160];
        std::snprintf(text, sizeof text, "ReadFile[%d] WWA[%lld] EOFf[%lld] BR[%d]", splitter->read_result,
                      static_cast<long long>(item.position + kLogHeaderBytes),
                      static_cast<long long>(r.file_size), static_cast<int>(splitter->bytes_read));
        show_diagnostic(text, "[6]READ FAILED!");
      }
      return;
    }
    r.last_valid_type = item.type;
    update_progress(r, item.position + kLogHeaderBytes);
    if (item.body_length == 0) {
      // The header and what follows it in the buffer, as far as the buffer holds it.
      const BYTE* at = item.body - kLogHeaderBytes;
      uint32_t words[4] = {};
      for (int w = 0; w < 4; ++w)
        if (at + 4 * w + 4 <= splitter->buffer + splitter->buffer_size) words[w] = load_le32(at + 4 * w);
      char text[200];
      std::snprintf(text, sizeof text, "Zero length record at [%lld] length[%u]\n[%X][%X][%X][%X]",
                    static_cast<long long>(item.position), item.body_length, words[0], words[1], words[2],
                    words[3]);
      show_diagnostic(text, "RPT 1");
    }
    if (check_stop_request(r) == ReadEnd::kStop) return;
    r.position = item.position + kLogHeaderBytes + item.body_length;
    update_progress(r, r.position);
    if (decode_and_insert(r, item.type, item.body, item.body_length) == ReadEnd::kStop) return;
  }
}

}  // namespace

int resolve_icon(int icon) {
  return (icon & kBaseIcon) ? g_library.base_image_index + (icon & 0xFFFF) : icon;
}

QuickReportList quick_list_of(LogFamily family) {
  switch (family) {
    case kLogFamilyFile: return kQuickListFileSystem;
    case kLogFamilyLogon: return kQuickListLogon;
    case kLogFamilyDirectory: return kQuickListDirectory;
    default: return kQuickListGpo;
  }
}

void nt_status_text(uint32_t status, char* out, size_t size) {
  copy_text(out, size, "");
  char text[kNtStatusTextChars + 1] = {};
  HMODULE ntdll = LoadLibraryA("NTDLL.DLL");
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           ntdll, status, 0, text, kNtStatusTextChars, nullptr);
  if (ntdll) FreeLibrary(ntdll);
  if (n == 0) return;
  text[kNtStatusTextChars] = '\0';
  size_t length = std::strlen(text);
  if (length >= 3) text[length - 2] = '\0';  // its final line break
  copy_text(out, size, text);
}

void file_activity(const FileLogRecord& r, RowActivity* out) {
  const FileActionEntry* e = find_file_action(r.action, false);
  const char* object = object_word(r.folder);
  out->keep_new_name = e && e->keep_new_name;
  if (e == nullptr) {
    std::snprintf(out->text, sizeof out->text, kUnknownFileAction, r.type, r.action);
    out->icon = kUnknownActionIcon;
    return;
  }
  out->icon = r.folder ? e->folder_icon : e->file_icon;
  if (e->code == kActionDenyOpen) {
    char status[kNtStatusTextChars + 1];
    nt_status_text(r.access_mask, status, sizeof status);
    std::snprintf(out->text, sizeof out->text, e->text, r.access_mask, status);
    return;
  }
  if ((e->code == kActionDelete || e->code == kActionDeleteConfirmed) && r.blocked) {
    std::snprintf(out->text, sizeof out->text, kBlockedDeleteText, object);
    out->icon = kBlockedDeleteIcon;
    return;
  }
  if (e->code == kActionRename && r.blocked) out->icon = kBlockedRenameIcon;
  std::snprintf(out->text, sizeof out->text, e->text, object);
}

void gpo_file_activity(const GpoFileLogRecord& r, RowActivity* out) {
  const FileActionEntry* e = find_file_action(r.head.action, true);
  out->keep_new_name = e && e->keep_new_name;
  if (e == nullptr) {
    std::snprintf(out->text, sizeof out->text, kUnknownGpoFileAction, r.head.action);
    out->icon = kUnknownActionIcon;
    return;
  }
  out->icon = r.head.folder ? e->folder_icon : e->file_icon;
  if (e->code == kActionCreate) out->icon = kGpoCreateIcon;
  std::snprintf(out->text, sizeof out->text, e->text, object_word(r.head.folder));
}

void directory_activity(uint32_t type, uint32_t action, bool gpo, RowActivity* out) {
  out->keep_new_name = FALSE;
  for (const DirectoryActionEntry& e : kDirectoryActions) {
    if (e.code != action) continue;
    copy_text(out->text, sizeof out->text, e.text);
    out->icon = gpo ? e.gpo_icon : e.icon;
    return;
  }
  std::snprintf(out->text, sizeof out->text, kUnknownDirectoryAction, type, action);
  out->icon = kUnknownActionIcon;
}

void gpo_value_activity(const GpoValueEntry& entry, RowActivity* out) {
  out->keep_new_name = FALSE;
  for (const GpoValueSectionEntry& e : kGpoValueSections) {
    if (e.section != entry.section) continue;
    std::snprintf(out->text, sizeof out->text, e.text, entry.kind ? "Added" : "Removed");
    out->icon = e.icons[entry.kind > 1 ? 2 : entry.kind];
    return;
  }
  std::snprintf(out->text, sizeof out->text, kUnknownGpoValueSection, entry.section);
  out->icon = kUnknownGpoValueIcon;
}

void logon_activity(const LogonLogRecord& r, RowActivity* out) {
  out->keep_new_name = FALSE;
  uint32_t event = r.type | r.action;
  for (const LogonEventEntry& e : kLogonEvents) {
    if (e.event != event) continue;
    copy_text(out->text, sizeof out->text, e.text);
    out->icon = e.icon;
    return;
  }
  std::snprintf(out->text, sizeof out->text, kUnknownLogonEvent, r.type, r.action, r.secondary_code);
  out->icon = kUnknownActionIcon;
}

void read_log_source(const LogReadRequest* request, const LogSource* source, BYTE* buffer) {
  // The reading state lives for the one log.
  auto* reading = static_cast<Reading*>(allocate_block(GMEM_ZEROINIT, sizeof(Reading)));
  if (reading == nullptr) {
    show_message(nullptr, "Out of memory reading log file", request->path, MB_OK | MB_ICONERROR);
    if (source->file != INVALID_HANDLE_VALUE) CloseHandle(source->file);
    return;
  }
  Reading& r = *reading;
  r.request = request;
  r.quick = request->target == nullptr;
  r.file = source->file;
  r.file_size = source->size;
  if (r.quick) {
    for (BYTE* context : g_quick_report.contexts) set_row_server_name(context, g_quick_report.server_name);
  } else if (request->context_template != nullptr) {
    std::memcpy(r.context, request->context_template, kRowContextBytes);
  }
  LogSplitter splitter;
  if (begin_log_split(&splitter, source->read, source->context, buffer, kLogSplitBufferBytes, 0, r.file_size))
    read_records(r, &splitter);
  close_file(r);
  free_block(reading);
}

void read_activity_log(const LogReadRequest* request) {
  HANDLE file = CreateFileA(request->path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    report_open_failure(request, GetLastError());
    return;
  }
  // The record buffer lives for the one file.
  LogSource source = {read_log_file_at, file, 0, file};
  BYTE* buffer = nullptr;
  if (log_file_size(file, &source.size)) {
    buffer = static_cast<BYTE*>(allocate_block(0, kLogSplitBufferBytes));
    if (buffer == nullptr) show_message(nullptr, "Out of memory reading log file", request->path, MB_OK | MB_ICONERROR);
  }
  if (buffer == nullptr) {
    CloseHandle(file);
    return;
  }
  read_log_source(request, &source, buffer);  // closes the file
  free_block(buffer);
}
