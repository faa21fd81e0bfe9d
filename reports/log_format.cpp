// Activity log files: folders, names, record splitting, body restoring and decoding.
#include "reports/log_format.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/text.h"

// ---------------------------------------------------------------------------
// Log folders.

BOOL format_current_log_folder(char* out, size_t size, const char* server, const char* report_path) {
  if (size == 0) return FALSE;
  int n = std::snprintf(out, size, "\\\\%s\\%s\\vnxlogs\\", server ? server : "",
                        report_path ? report_path : "");
  if (n < 0 || static_cast<size_t>(n) >= size) {
    out[0] = '\0';
    return FALSE;
  }
  return TRUE;
}

BOOL format_archive_log_folder(char* out, size_t size, const char* server, const char* report_path,
                               DWORD auto_archive, const char* auto_archive_path) {
  if (size == 0) return FALSE;
  int n;
  if (auto_archive != 0) {
    const char* base = auto_archive_path ? auto_archive_path : "";
    size_t length = std::strlen(base);
    const char* separator = (length > 0 && base[length - 1] == '\\') ? "" : "\\";
    n = std::snprintf(out, size, "%s%svnx_archived_logs\\", base, separator);
  } else {
    n = std::snprintf(out, size, "\\\\%s\\%s\\vnxlogs\\archived_logs\\", server ? server : "",
                      report_path ? report_path : "");
  }
  if (n < 0 || static_cast<size_t>(n) >= size) {
    out[0] = '\0';
    return FALSE;
  }
  return TRUE;
}

// ---------------------------------------------------------------------------
// File names.

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

bool read_digits(const char* text, int count, int* value) {
  int v = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  *value = v;
  return true;
}

int days_in_month(int year, int month) {  // month 1..12
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "March072016.vnx" -> year, month, day; the whole rest of the name must match.
bool parse_log_date(const char* text, int* year, int* month, int* day) {
  for (int m = 0; m < 12; ++m) {
    size_t length = std::strlen(kMonthNames[m]);
    char word[10];
    copy_text(word, sizeof word, text);
    word[length < sizeof word ? length : sizeof word - 1] = '\0';
    if (std::strlen(word) != length || !equal_ignoring_case(word, kMonthNames[m])) continue;
    const char* rest = text + length;
    if (!read_digits(rest, 2, day) || !read_digits(rest + 2, 4, year)) return false;
    if (!equal_ignoring_case(rest + 6, ".vnx")) return false;
    *month = m + 1;
    return *day >= 1 && *day <= days_in_month(*year, *month);
  }
  return false;
}

void set_unknown_name(LogFileName* out) {
  std::memset(out, 0, sizeof *out);
  copy_text(out->prefix, sizeof out->prefix, kUnknownLogName);
  copy_text(out->server, sizeof out->server, kUnknownLogName);
}

}  // namespace

BOOL parse_log_file_name(const char* name, LogFileName* out) {
  set_unknown_name(out);
  if (name == nullptr) return FALSE;
  const char* slash = std::strrchr(name, '\\');
  if (slash) name = slash + 1;
  size_t length = strnlen(name, kLogNameBytes);
  if (length < kLogNameShortest || length >= kLogNameBytes) return FALSE;

  const char* last_underscore = std::strrchr(name, '_');
  if (last_underscore == nullptr || last_underscore - name < 2) return FALSE;
  char letter = last_underscore[-1];
  if (letter < 'a' || letter > 'z') return FALSE;
  size_t server_length = static_cast<size_t>(letter - 'a');
  size_t letter_at = static_cast<size_t>(last_underscore - name) - 1;
  // The server name and the underscore before it.
  if (letter_at < server_length + 1) return FALSE;
  size_t server_at = letter_at - server_length;
  if (name[server_at - 1] != '_') return FALSE;

  int year, month, day;
  if (!parse_log_date(last_underscore + 1, &year, &month, &day)) return FALSE;
  std::tm local = {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = kLogNominalHour;
  local.tm_isdst = -1;  // the C runtime decides whether daylight saving applies that night
  std::time_t nominal = std::mktime(&local);
  if (nominal == static_cast<std::time_t>(-1) || nominal < 0 ||
      static_cast<uint64_t>(nominal) > 0xFFFFFFFFull)
    return FALSE;

  size_t prefix_length = server_at - 1;
  if (prefix_length >= sizeof out->prefix) return FALSE;
  std::memcpy(out->prefix, name, prefix_length);
  out->prefix[prefix_length] = '\0';
  std::memcpy(out->server, name + server_at, server_length);
  out->server[server_length] = '\0';
  out->has_nominal_time = 1;
  out->nominal_time = static_cast<uint32_t>(nominal);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Type codes.

const LogRecordType kLogRecordTypes[kLogRecordTypeCount] = {
    {0xFF330001, kLogFamilyFile, kFileRestoredBytes, kLogRowsOne},
    {0xFF330002, kLogFamilyFile, kFileRestoredBytes, kLogRowsOne},
    {0xE4001001, kLogFamilyGpoFile, 0, kLogRowsOne},
    {0xE4081001, kLogFamilyGpoFile, 0, kLogRowsOne},
    {0xE4002000, kLogFamilyGpoFileChange, 0, kLogRowsPerChangeEntry},
    {0xE4004000, kLogFamilyGpoFileChange, 0, kLogRowsPerChangeEntry},
    {0xE4082000, kLogFamilyGpoFileChange, 0, kLogRowsPerChangeEntry},
    {0xFACC0011, kLogFamilyDirectory, kDirRestoredBytes, kLogRowsOne},
    {0xE8001000, kLogFamilyGpoDirectory, 0, kLogRowsOne},
    {0xE8002000, kLogFamilyGpoDirectory, 0, kLogRowsOne},
    {0xE8004000, kLogFamilyGpoDirectoryValue, 0, kLogRowsPerValueEntry},
    {0x81000001, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000002, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000011, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000012, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000021, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000022, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000033, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000044, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000054, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000055, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000056, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000071, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x81000072, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000001, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000002, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000011, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000012, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000021, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000022, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000033, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000044, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000050, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000051, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000053, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
    {0x82000055, kLogFamilyLogon, kLogonRestoredBytes, kLogRowsOne},
};

namespace {

// Top bytes of the valid codes, so that scanning a damaged stretch rejects
// almost every position with one table look-up.
constexpr std::array<bool, 256> kTypeTopBytes = [] {
  std::array<bool, 256> table{};
  for (BYTE top : {0xFF, 0xE4, 0xFA, 0xE8, 0x81, 0x82}) table[top] = true;
  return table;
}();
bool is_type_top_byte(BYTE top) { return kTypeTopBytes[top]; }

}  // namespace

const LogRecordType* find_log_record_type(uint32_t code) {
  if (!is_type_top_byte(static_cast<BYTE>(code >> 24))) return nullptr;
  // The file, directory and GPO codes by their table entry; the logon codes in the rest of the table.
  switch (code) {
    case 0xFF330001: return &kLogRecordTypes[0];
    case 0xFF330002: return &kLogRecordTypes[1];
    case 0xE4001001: return &kLogRecordTypes[2];
    case 0xE4081001: return &kLogRecordTypes[3];
    case 0xE4002000: return &kLogRecordTypes[4];
    case 0xE4004000: return &kLogRecordTypes[5];
    case 0xE4082000: return &kLogRecordTypes[6];
    case 0xFACC0011: return &kLogRecordTypes[7];
    case 0xE8001000: return &kLogRecordTypes[8];
    case 0xE8002000: return &kLogRecordTypes[9];
    case 0xE8004000: return &kLogRecordTypes[10];
    default: break;
  }
  if ((code & 0xFCFFFF00u) != 0x80000000u) return nullptr;  // 0x81000000 and 0x82000000 logon codes
  for (size_t i = 11; i < kLogRecordTypeCount; ++i)
    if (kLogRecordTypes[i].code == code) return &kLogRecordTypes[i];
  return nullptr;
}

LogHeader decode_log_header(const BYTE* header) {
  LogHeader result;
  result.type = load_le32(header + kLogHeaderTypeOffset);
  result.body_length = load_le32(header + kLogHeaderLengthOffset);
  return result;
}

// ---------------------------------------------------------------------------
// Restoring bodies.

// restore_log_body lives in log_unscramble.cpp, with its vector forms.

size_t restore_log_record_body(uint32_t type, BYTE* body, size_t body_length) {
  const LogRecordType* entry = find_log_record_type(type);
  if (entry == nullptr) return 0;
  size_t count = entry->restored_bytes == 0 || entry->restored_bytes > body_length ? body_length
                                                                                   : entry->restored_bytes;
  restore_log_body(body, count);
  return count;
}

// ---------------------------------------------------------------------------
// Decoding. Offsets are record offsets; the body starts at offset 8, and bytes
// beyond the body read as zero.

namespace {

struct Body {
  const BYTE* bytes;
  size_t length;
};

// How many of `size` bytes at record offset `offset` the body holds.
size_t held_bytes(const Body& body, size_t offset, size_t size) {
  if (offset < kLogHeaderBytes) return 0;
  size_t at = offset - kLogHeaderBytes;
  if (at >= body.length) return 0;
  size_t left = body.length - at;
  return left < size ? left : size;
}

void copy_field_bytes(const Body& body, LogField field, BYTE* out) {
  size_t n = held_bytes(body, field.offset, field.size);
  if (n) std::memcpy(out, body.bytes + field.offset - kLogHeaderBytes, n);
  std::memset(out + n, 0, field.size - n);
}

uint32_t field_u32(const Body& body, size_t offset) {
  if (offset >= kLogHeaderBytes && offset - kLogHeaderBytes + 4 <= body.length)
    return load_le32(body.bytes + offset - kLogHeaderBytes);
  BYTE bytes[4] = {0, 0, 0, 0};
  size_t n = held_bytes(body, offset, 4);
  if (n) std::memcpy(bytes, body.bytes + offset - kLogHeaderBytes, n);
  return load_le32(bytes);
}

BYTE field_byte(const Body& body, LogField field) {
  return held_bytes(body, field.offset, 1) ? body.bytes[field.offset - kLogHeaderBytes] : 0;
}

// Copies the text of a field of `width` bytes at `offset` into out (out_size
// bytes), up to its NUL, the field's end, the body's end or out's room.
void copy_field_text(const Body& body, size_t offset, size_t width, char* out, size_t out_size) {
  size_t n = held_bytes(body, offset, width);
  if (n >= out_size) n = out_size - 1;
  const char* text = reinterpret_cast<const char*>(body.bytes + (n ? offset - kLogHeaderBytes : 0));
  n = n ? strnlen(text, n) : 0;
  if (n) std::memcpy(out, text, n);
  out[n] = '\0';
}

template <size_t N>
void field_text(const Body& body, LogField field, char (&out)[N]) {
  copy_field_text(body, field.offset, field.size, out, N);
}

// A text that runs to the end of the record.
template <size_t N>
void tail_text(const Body& body, size_t offset, char (&out)[N]) {
  copy_field_text(body, offset, body.length + kLogHeaderBytes, out, N);
}

void decode_values(const Body& body, LogField field, uint32_t* values) {
  for (size_t i = 0; i < kLogValueCount; ++i) values[i] = field_u32(body, field.offset + 4 * i);
}

void decode_gpo_file_head(uint32_t type, const Body& body, GpoFileHead* out) {
  out->type = type;
  out->body_length = static_cast<uint32_t>(body.length);
  field_text(body, kLogProfile, out->profile);
  out->action = field_u32(body, kLogAction.offset);
  out->event_time = field_u32(body, kLogEventTime.offset);
  field_text(body, kGpoFileText1, out->gpo_text1);
  field_text(body, kGpoFileText2, out->gpo_text2);
  field_text(body, kGpoFileWorkstation, out->workstation);
  field_text(body, kGpoFileWtsAddress, out->wts_address);
  copy_field_bytes(body, kGpoFileIpv4, out->ipv4);
  copy_field_bytes(body, kGpoFileIpv6, out->ipv6);
  field_text(body, kGpoFileAccount, out->account);
  field_text(body, kGpoFileSid, out->sid);
  field_text(body, kGpoFileAccountFqdn, out->account_fqdn);
  out->folder = field_byte(body, kGpoFileFolderFlag);
  out->core = field_byte(body, kGpoFileCoreFlag);
  field_text(body, kGpoFileFullPath, out->full_path);
}

void decode_gpo_directory_head(uint32_t type, const Body& body, GpoDirectoryHead* out) {
  out->type = type;
  out->body_length = static_cast<uint32_t>(body.length);
  field_text(body, kLogProfile, out->profile);
  out->action = field_u32(body, kLogAction.offset);
  out->event_time = field_u32(body, kLogEventTime.offset);
  field_text(body, kGpoDirText1, out->gpo_text1);
  field_text(body, kGpoDirText2, out->gpo_text2);
  field_text(body, kGpoDirWorkstation, out->workstation);
  copy_field_bytes(body, kGpoDirIpv4, out->ipv4);
  copy_field_bytes(body, kGpoDirIpv6, out->ipv6);
  field_text(body, kGpoDirObjectClass, out->object_class);
  field_text(body, kGpoDirObjectDn, out->object_dn);
  field_text(body, kGpoDirAttribute, out->attribute);
  decode_values(body, kGpoDirValues, out->values);
  field_text(body, kGpoDirRequesterSam, out->requester_sam);
  if (out->requester_sam[0] != '\0') field_text(body, kGpoDirRequesterFqdn, out->requester_fqdn);
}

}  // namespace

void decode_file_record(uint32_t type, const BYTE* bytes, size_t body_length, FileLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  out->type = type;
  out->body_length = static_cast<uint32_t>(body_length);
  field_text(body, kLogProfile, out->profile);
  out->action = field_u32(body, kLogAction.offset);
  out->event_time = field_u32(body, kLogEventTime.offset);
  field_text(body, kFileAccount, out->account);
  field_text(body, kFileAccountFqdn, out->account_fqdn);
  field_text(body, kFileWorkstation, out->workstation);
  if (type == 0xFF330002) field_text(body, kFileWtsAddress, out->wts_address);
  field_text(body, kFileSid, out->sid);
  copy_field_bytes(body, kFileIpv4, out->ipv4);
  copy_field_bytes(body, kFileIpv6, out->ipv6);
  out->folder = field_byte(body, kFileFolderFlag);
  out->blocked = field_byte(body, kFileBlockedFlag);
  out->ace_type = field_byte(body, kFileAceType);
  field_text(body, kFileFolderPath, out->folder_path);
  field_text(body, kFileShare, out->share);
  field_text(body, kFileName, out->file_name);
  field_text(body, kFileNewName, out->new_name);
  field_text(body, kFileTrusteeSid, out->trustee_sid);
  field_text(body, kFileUnusedText, out->unused_text);
  field_text(body, kFileTrusteeDomain, out->trustee_domain);
  field_text(body, kFileTrusteeName, out->trustee_name);
  out->access_mask = field_u32(body, kFileAccessMask.offset);
  out->inheritance = field_u32(body, kFileInheritance.offset);
  out->final_value = field_u32(body, kFileFinalValue.offset);
}

void decode_gpo_file_record(uint32_t type, const BYTE* bytes, size_t body_length, GpoFileLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  decode_gpo_file_head(type, body, &out->head);
  field_text(body, kGpoFileShare, out->share);
  tail_text(body, kGpoFileNewNameOffset, out->new_name);
}

void decode_gpo_file_change_record(uint32_t type, const BYTE* bytes, size_t body_length,
                                   GpoFileChangeLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  decode_gpo_file_head(type, body, &out->head);
  field_text(body, kGpoChangeTextA, out->text_a);
  field_text(body, kGpoChangeTextB, out->text_b);
  field_text(body, kGpoChangeShare, out->share);
  out->entry_count = field_u32(body, kGpoChangeCount.offset);
}

void decode_directory_record(uint32_t type, const BYTE* bytes, size_t body_length, DirectoryLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  out->type = type;
  out->body_length = static_cast<uint32_t>(body_length);
  field_text(body, kLogProfile, out->profile);
  out->action = field_u32(body, kLogAction.offset);
  out->event_time = field_u32(body, kLogEventTime.offset);
  field_text(body, kDirObjectClass, out->object_class);
  field_text(body, kDirObjectDn, out->object_dn);
  field_text(body, kDirNewLocation, out->new_location);
  field_text(body, kDirExtraText, out->extra_text);
  field_text(body, kDirAttribute, out->attribute);
  decode_values(body, kDirValues, out->values);
  field_text(body, kDirNewValue, out->new_value);
  field_text(body, kDirOldValue, out->old_value);
  field_text(body, kDirRequesterSam, out->requester_sam);
  if (out->requester_sam[0] != '\0') field_text(body, kDirRequesterFqdn, out->requester_fqdn);
  field_text(body, kDirWorkstation, out->workstation);
  copy_field_bytes(body, kDirIpv4, out->ipv4);
  copy_field_bytes(body, kDirIpv6, out->ipv6);
}

void decode_gpo_directory_record(uint32_t type, const BYTE* bytes, size_t body_length,
                                 GpoDirectoryLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  decode_gpo_directory_head(type, body, &out->head);
  field_text(body, kGpoDirNewLocation, out->new_location);
  if (type == 0xE8002000) {
    field_text(body, kGpoDirNewValue, out->new_value);
    tail_text(body, kGpoDirOldValueOffset, out->old_value);
  }
}

void decode_gpo_directory_value_record(uint32_t type, const BYTE* bytes, size_t body_length,
                                       GpoDirectoryValueLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  decode_gpo_directory_head(type, body, &out->head);
  out->entry_count = field_u32(body, kGpoValueCount.offset);
}

void decode_logon_record(uint32_t type, const BYTE* bytes, size_t body_length, LogonLogRecord* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  bool local = is_local_logon_type(type);
  out->type = type;
  out->body_length = static_cast<uint32_t>(body_length);
  field_text(body, kLogProfile, out->profile);
  out->action = field_u32(body, kLogAction.offset);
  out->secondary_code = field_u32(body, kLogonSecondaryCode.offset);
  copy_field_bytes(body, kLogonIpv4, out->ipv4);
  copy_field_bytes(body, kLogonIpv6, out->ipv6);
  copy_field_bytes(body, kLogonBlock, out->block);
  BYTE time[16];
  copy_field_bytes(body, kLogonTime, time);
  out->logon_time.wYear = load_le16(time + 0);
  out->logon_time.wMonth = load_le16(time + 2);
  out->logon_time.wDayOfWeek = load_le16(time + 4);
  out->logon_time.wDay = load_le16(time + 6);
  out->logon_time.wHour = load_le16(time + 8);
  out->logon_time.wMinute = load_le16(time + 10);
  out->logon_time.wSecond = load_le16(time + 12);
  out->logon_time.wMilliseconds = load_le16(time + 14);
  copy_field_bytes(body, kLogonTimingHead, out->timing_head);
  out->event_time = field_u32(body, kLogonEventTime.offset);
  out->logoff_time = field_u32(body, kLogonLogoffTime.offset);
  copy_field_bytes(body, kLogonTimingTail, out->timing_tail);
  out->total_seconds = field_u32(body, kLogonTotalSeconds.offset);
  field_text(body, kLogonAccount, out->account);
  field_text(body, kLogonAccountFqdn, out->account_fqdn);
  field_text(body, kLogonSid, out->sid);
  if (local) field_text(body, kLogonLocalText, out->local_text);
  field_text(body, kLogonStation, out->station);
  if (local) {
    field_text(body, kLogonSession, out->session);
    field_text(body, kLogonWtsAddress, out->wts_address);
    field_text(body, kLogonDomain, out->logon_domain);
  }
  field_text(body, kLogonWorkstation, out->workstation);
}

BOOL decode_log_record(uint32_t type, const BYTE* body, size_t body_length, DecodedLogRecord* out) {
  const LogRecordType* entry = find_log_record_type(type);
  out->family = entry ? entry->family : kLogFamilyNone;
  switch (out->family) {
    case kLogFamilyFile: decode_file_record(type, body, body_length, &out->file); break;
    case kLogFamilyLogon: decode_logon_record(type, body, body_length, &out->logon); break;
    case kLogFamilyDirectory: decode_directory_record(type, body, body_length, &out->directory); break;
    case kLogFamilyGpoFile: decode_gpo_file_record(type, body, body_length, &out->gpo_file); break;
    case kLogFamilyGpoFileChange:
      decode_gpo_file_change_record(type, body, body_length, &out->gpo_file_change);
      break;
    case kLogFamilyGpoDirectory: decode_gpo_directory_record(type, body, body_length, &out->gpo_directory); break;
    case kLogFamilyGpoDirectoryValue:
      decode_gpo_directory_value_record(type, body, body_length, &out->gpo_directory_value);
      break;
    case kLogFamilyNone: return FALSE;
  }
  return TRUE;
}

namespace {

// The length of a NUL-terminated text at record offset `offset`, and whether
// its NUL lies inside the body.
size_t entry_text_length(const Body& body, size_t offset, bool* terminated) {
  size_t n = held_bytes(body, offset, body.length);
  size_t length = n ? strnlen(reinterpret_cast<const char*>(body.bytes + offset - kLogHeaderBytes), n) : 0;
  *terminated = length < n;
  return length;
}

}  // namespace

BOOL read_gpo_change_entry(const BYTE* bytes, size_t body_length, size_t* record_offset, GpoChangeEntry* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  size_t at = *record_offset;
  // The fixed part and at least the first byte of the final text must be present.
  if (held_bytes(body, at, kChangeEntryText4Offset + 1) != kChangeEntryText4Offset + 1) return FALSE;
  out->section = field_u32(body, at + kChangeEntrySection.offset);
  out->kind = field_u32(body, at + kChangeEntryKind.offset);
  copy_field_text(body, at + kChangeEntryText1.offset, kChangeEntryText1.size, out->text1, sizeof out->text1);
  copy_field_text(body, at + kChangeEntryText2.offset, kChangeEntryText2.size, out->text2, sizeof out->text2);
  out->value1 = field_u32(body, at + kChangeEntryValue1.offset);
  out->value2 = field_u32(body, at + kChangeEntryValue2.offset);
  copy_field_text(body, at + kChangeEntryText3.offset, kChangeEntryText3.size, out->text3, sizeof out->text3);
  bool terminated;
  size_t length = entry_text_length(body, at + kChangeEntryText4Offset, &terminated);
  copy_field_text(body, at + kChangeEntryText4Offset, length, out->text4, sizeof out->text4);
  *record_offset = at + kChangeEntryText4Offset + length + (terminated ? 1 : 0);
  return TRUE;
}

BOOL read_gpo_value_entry(const BYTE* bytes, size_t body_length, size_t* record_offset, GpoValueEntry* out) {
  std::memset(out, 0, sizeof *out);
  Body body = {bytes, body_length};
  size_t at = *record_offset;
  if (held_bytes(body, at, kValueEntryTextOffset + 1) != kValueEntryTextOffset + 1) return FALSE;
  out->section = field_u32(body, at + kValueEntrySection.offset);
  out->kind = field_u32(body, at + kValueEntryKind.offset);
  bool terminated;
  size_t length = entry_text_length(body, at + kValueEntryTextOffset, &terminated);
  copy_field_text(body, at + kValueEntryTextOffset, length, out->text, sizeof out->text);
  *record_offset = at + kValueEntryTextOffset + length + (terminated ? 1 : 0);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Splitting.

namespace {

// Makes the bytes [position, position + need) available in the buffer as far
// as the range holds them; *have is how many are. FALSE after a failed read.
bool hold_bytes(LogSplitter* s, uint64_t position, size_t need, size_t* have) {
  uint64_t held_end = s->held_start + s->held;
  if (position < s->held_start || position > held_end) {
    s->held_start = position;
    s->held = 0;
  } else if (position + need > held_end && position > s->held_start) {
    // Keep what is already read from `position` on, and read after it.
    size_t keep = static_cast<size_t>(held_end - position);
    std::memmove(s->buffer, s->buffer + (position - s->held_start), keep);
    s->held_start = position;
    s->held = keep;
  }
  while (s->held_start + s->held < position + need) {
    uint64_t at = s->held_start + s->held;
    if (at >= s->end) break;
    uint64_t room = s->buffer_size - s->held;
    uint64_t left = s->end - at;
    DWORD want = static_cast<DWORD>(room < left ? room : left);
    DWORD got = 0;
    s->read_result = s->read(s->context, at, s->buffer + s->held, want, &got);
    if (!s->read_result) {
      // The read ahead may have met a bad stretch beyond the bytes asked for:
      // read just those before giving up, so every readable record comes back.
      uint64_t needed = position + need - at;
      if (needed < want) s->read_result = s->read(s->context, at, s->buffer + s->held, static_cast<DWORD>(needed), &got);
      if (!s->read_result) {
        s->read_error = GetLastError();
        s->bytes_read = got;
        return false;
      }
    }
    s->bytes_read = got;
    if (got == 0 || got > want) {
      s->end = at;  // the data ends before the range does
      break;
    }
    s->held += got;
  }
  uint64_t available = s->held_start + s->held - position;
  *have = static_cast<size_t>(available < need ? available : need);
  return true;
}

LogSplitEvent finish(LogSplitter* s, LogSplitItem* item, LogSplitEnd reason, uint64_t position) {
  s->end_reason = reason;
  item->event = kLogSplitEnd;
  item->end_reason = reason;
  item->position = position;
  return kLogSplitEnd;
}

// Scans from `from` for the next valid type code, window by window; *found is
// where it starts, or the end of the range when there is none. FALSE when a
// window cannot be read.
bool find_next_record(LogSplitter* s, uint64_t from, uint64_t* found) {
  for (uint64_t window = from;; window += kLogWindowBytes - kLogWindowOverlap) {
    size_t have = 0;
    if (window < s->end) {
      uint64_t left = s->end - window;
      size_t want = left < kLogWindowBytes ? static_cast<size_t>(left) : kLogWindowBytes;
      if (!hold_bytes(s, window, want, &have)) {
        s->scan_read_result = FALSE;
        s->scan_bytes_read = s->bytes_read;
        return false;
      }
    }
    s->scan_read_result = TRUE;  // a window at the end reads zero bytes
    s->scan_bytes_read = static_cast<uint32_t>(have);
    if (have == 0) break;
    const BYTE* bytes = s->buffer + (window - s->held_start);
    for (size_t offset = 0; offset + kLogWindowTail <= have; ++offset) {
      if (!is_type_top_byte(bytes[offset + 3])) continue;
      if (find_log_record_type(load_le32(bytes + offset))) {
        *found = window + offset;
        return true;
      }
    }
    if (have < kLogWindowBytes) break;
  }
  *found = s->end;
  return true;
}

}  // namespace

BOOL begin_log_split(LogSplitter* splitter, LogReadFn read, void* context, BYTE* buffer, size_t buffer_size,
                     uint64_t start, uint64_t end) {
  std::memset(splitter, 0, sizeof *splitter);
  if (read == nullptr || buffer == nullptr || buffer_size < kLogSplitBufferBytes) {
    splitter->end_reason = kLogEndReadFailed;
    splitter->read_error = ERROR_INVALID_PARAMETER;
    return FALSE;
  }
  splitter->read = read;
  splitter->context = context;
  splitter->buffer = buffer;
  splitter->buffer_size = buffer_size;
  splitter->position = start;
  splitter->end = end > start ? end : start;
  splitter->held_start = start;
  return TRUE;
}

LogSplitEvent next_log_split(LogSplitter* s, LogSplitItem* item) {
  std::memset(item, 0, sizeof *item);
  uint64_t p = s->position;
  if (s->end_reason != kLogEndNone) {
    item->event = kLogSplitEnd;
    item->end_reason = s->end_reason;
    item->position = p;
    return kLogSplitEnd;
  }
  if (p >= s->end) return finish(s, item, kLogEndClean, p);

  size_t have;
  if (!hold_bytes(s, p, kLogHeaderBytes, &have)) return finish(s, item, kLogEndReadFailed, p);
  if (have < kLogHeaderBytes) {
    item->skipped = have;
    return finish(s, item, have == 0 ? kLogEndClean : kLogEndInsideHeader, p);
  }
  LogHeader header = decode_log_header(s->buffer + (p - s->held_start));
  item->type = header.type;

  if (!is_log_record_type(header.type)) {
    // A damaged stretch: the scan for the next valid type code starts just after the bad header.
    // A window that cannot be read fails the scan as one without a record does.
    uint64_t found;
    if (!find_next_record(s, p + kLogHeaderBytes, &found)) found = s->end;
    item->event = kLogSplitDamage;
    item->position = p;
    item->skipped = found - p;
    s->damaged_stretches++;
    s->skipped_bytes += found - p;
    s->position = found;
    if (found >= s->end) s->end_reason = kLogEndNoRecordFound;
    return kLogSplitDamage;
  }

  s->last_valid_type = header.type;
  if (header.body_length >= kLogEndOfFileLength) {
    item->body_length = header.body_length;
    return finish(s, item, kLogEndOverlongLength, p);
  }
  size_t record_bytes = kLogHeaderBytes + header.body_length;
  if (!hold_bytes(s, p, record_bytes, &have)) return finish(s, item, kLogEndReadFailed, p);
  if (have < record_bytes) {
    item->body_length = header.body_length;
    item->skipped = have;
    return finish(s, item, kLogEndCutRecord, p);
  }
  item->event = kLogSplitRecord;
  item->position = p;
  item->body_length = header.body_length;
  item->body = s->buffer + (p - s->held_start) + kLogHeaderBytes;
  s->position = p + record_bytes;
  s->records++;
  return kLogSplitRecord;
}

// ---------------------------------------------------------------------------
// Read functions.

BOOL read_log_file_at(void* file_handle, uint64_t position, BYTE* out, DWORD count, DWORD* got) {
  *got = 0;
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(static_cast<HANDLE>(file_handle), distance, nullptr, FILE_BEGIN)) return FALSE;
  DWORD total = 0;
  BOOL ok = TRUE;
  while (total < count) {
    DWORD read = 0;
    ok = ReadFile(static_cast<HANDLE>(file_handle), out + total, count - total, &read, nullptr);
    if (!ok || read == 0) break;
    total += read;
  }
  *got = total;  // also what a failed read delivered before it failed
  return ok;
}

BOOL log_file_size(HANDLE file, uint64_t* size) {
  LARGE_INTEGER zero, end;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(file, zero, &end, FILE_END)) return FALSE;
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return FALSE;
  *size = static_cast<uint64_t>(end.QuadPart);
  return TRUE;
}

BOOL read_log_memory_at(void* log_memory, uint64_t position, BYTE* out, DWORD count, DWORD* got) {
  const LogMemory* memory = static_cast<const LogMemory*>(log_memory);
  *got = 0;
  if (position >= memory->size) return TRUE;
  uint64_t left = memory->size - position;
  DWORD n = left < count ? static_cast<DWORD>(left) : count;
  std::memcpy(out, memory->bytes + position, n);
  *got = n;
  return TRUE;
}
