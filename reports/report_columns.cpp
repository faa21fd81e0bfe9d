// Column texts of report rows: each column identifier bound to the fields of
// the row item of each family.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"
#include "reports/log_reader.h"

namespace {

constexpr char kUnknownText[] = "<unknown>";
constexpr char kUndefinedTime[] = "<undefined>";
constexpr char kInvalidRecordTime[] = "<invalid record time>";
constexpr char kInvalidLogoffTime[] = "<invalid logoff time>";

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char* text_or_empty(const char* text) { return text ? text : ""; }
const char* true_false(uint32_t value) { return value ? "TRUE" : "FALSE"; }

// ---- Times -------------------------------------------------------------------

// Seconds since 1970 into a broken-down UTC calendar time.
void break_down(int64_t seconds, struct tm* out) {
  std::memset(out, 0, sizeof *out);
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  out->tm_hour = static_cast<int>(rest / 3600);
  out->tm_min = static_cast<int>(rest % 3600 / 60);
  out->tm_sec = static_cast<int>(rest % 60);
  out->tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  // Days to civil date (proleptic Gregorian).
  int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  out->tm_mday = static_cast<int>(day);
  out->tm_mon = static_cast<int>(month - 1);
  out->tm_year = static_cast<int>(year - 1900);
}

// The C library's fixed 24-character form, without its line break.
void fixed_form(const struct tm& t, char* out, size_t size) {
  std::snprintf(out, size, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kWeekdays[t.tm_wday], kMonths[t.tm_mon], t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec, 1900 + t.tm_year);
}

constexpr const char* kTimeFormats[] = {nullptr,    nullptr,       "%m/%d/%y",   "%m/%d/%y %H:%M:%S",
                                        "%d/%m/%y", "%d/%m/%y %H:%M:%S", "%a %b %d, %Y", "%b %d, %Y",
                                        "%B %d, %Y", "%d.%m.%y",    "%d.%m.%y %H:%M:%S"};

bool time_defined(uint32_t t) { return !(t == 0 || t == 0xFFFFFFFD || t < 0x10000000); }

// A record time in the report's time format, local (with the daylight
// correction of the time-zone refresh) or UTC as the report says.
void format_time(uint32_t t, char* out, size_t size) {
  if (!time_defined(t)) {
    copy_text(out, size, kUndefinedTime);
    return;
  }
  int64_t seconds = static_cast<int64_t>(t);
  if (!g_report_run.show_utc) seconds -= g_library.utc_offset;
  struct tm broken;
  break_down(seconds, &broken);
  uint32_t code = g_report_run.time_format;
  if (code >= sizeof kTimeFormats / sizeof kTimeFormats[0] || kTimeFormats[code] == nullptr) {
    if (code > 1) show_message(nullptr, "Unknown time format.\n\nCode GQ3.", nullptr, MB_OK);
    fixed_form(broken, out, size);
    return;
  }
  if (std::strftime(out, size, kTimeFormats[code], &broken) == 0) std::snprintf(out, size, "Error in Time [%x]", t);
}

bool systemtime_valid(const SYSTEMTIME& st) {
  return st.wMonth >= 1 && st.wMonth <= 12 && st.wDayOfWeek <= 6 && st.wDay >= 1 && st.wDay <= 31;
}

void format_systemtime(SYSTEMTIME st, char* out, size_t size) {
  if (!systemtime_valid(st)) {
    copy_text(out, size, kInvalidRecordTime);
    return;
  }
  int year = st.wYear < 2000 ? st.wYear + 100 : st.wYear;
  const char* weekday = kWeekdays[st.wDayOfWeek];
  const char* month = kMonths[st.wMonth - 1];
  int d = st.wDay, m = st.wMonth, h = st.wHour, mi = st.wMinute, s = st.wSecond;
  switch (g_report_run.time_format) {
    case 0:
    case 1: std::snprintf(out, size, "%s %s %d %d:%02d:%02d %d", weekday, month, d, h, mi, s, year); break;
    case 2: std::snprintf(out, size, "%d/%d/%d", m, d, year); break;
    case 3: std::snprintf(out, size, "%d/%d/%d %d:%02d:%02d", m, d, year, h, mi, s); break;
    case 4: std::snprintf(out, size, "%d/%d/%d", d, m, year); break;
    case 5: std::snprintf(out, size, "%d/%d/%d %d:%02d:%02d", d, m, year, h, mi, s); break;
    case 6: std::snprintf(out, size, "%s %s %d, %d", weekday, month, d, year); break;
    case 7:
    case 8: std::snprintf(out, size, "%s %d, %d", month, d, year); break;
    case 9: std::snprintf(out, size, "%d.%d.%d", d, m, year); break;
    case 10: std::snprintf(out, size, "%d.%d.%d %d:%02d:%02d", d, m, year, h, mi, s); break;
    default:
      show_message(nullptr, "Unknown time format.\n\nCode G3Q3.", nullptr, MB_OK);
      std::snprintf(out, size, "%s %s %d %d:%02d:%02d %d", weekday, month, d, h, mi, s, year);
      break;
  }
}

// ---- Addresses ---------------------------------------------------------------

void format_ipv6(const BYTE* v6, char* out, size_t size) {
  if (load_le32(v6) == 0 && load_le32(v6 + 4) == 0 && load_le32(v6 + 12) == 0) {
    copy_text(out, size, "");
    return;
  }
  std::snprintf(out, size, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", v6[0], v6[1],
                v6[2], v6[3], v6[4], v6[5], v6[6], v6[7], v6[8], v6[9], v6[10], v6[11], v6[12], v6[13], v6[14],
                v6[15]);
}

// A terminal-services address text when present, else the IPv4 bytes, else IPv6.
void format_address(const char* wts, const BYTE* v4, bool last_byte_first, const BYTE* v6, char* out,
                    size_t size) {
  if (wts && wts[0]) {
    copy_text(out, size, wts);
  } else if (load_le32(v4) != 0) {
    if (last_byte_first) std::snprintf(out, size, "%d.%d.%d.%d", v4[3], v4[2], v4[1], v4[0]);
    else std::snprintf(out, size, "%d.%d.%d.%d", v4[0], v4[1], v4[2], v4[3]);
  } else {
    format_ipv6(v6, out, size);
  }
}

// ---- File record rules -------------------------------------------------------

bool is_acl_action(uint32_t action) {
  switch (action) {
    case 0x100010: case 0x100014: case 0x100100: case 0x101000: case 0x101004:
    case 0x110000: case 0x200010: case 0x200100: case 0x201000: case 0x210000: return true;
    default: return false;
  }
}
bool is_ace_action(uint32_t action) { return is_acl_action(action) && action != 0x110000 && action != 0x210000; }
bool is_share_ace_action(uint32_t action) { return action == 0x100014 || action == 0x101004; }

void path_text(const FileRowItem* i, char* out, size_t size) {
  copy_text(out, size, text_or_empty(i->folder_path));
  if (i->file_name == nullptr) return;
  size_t n = std::strlen(out);
  if (i->share && i->share[0] == '<') {
    append_text(out, size, "\\");
  } else if (!i->folder || n == 0) {  // an empty folder path always gets the name
    if (n == 0 || out[n - 1] != '\\') append_text(out, size, "\\");
  } else {
    return;
  }
  append_text(out, size, i->file_name);
}

void ace_type_text(BYTE type, char* out, size_t size) {
  switch (type) {
    case 0: case 0x30: copy_text(out, size, "ALLOW"); break;
    case 1: case 0x33: copy_text(out, size, "DENY"); break;
    case 4: copy_text(out, size, "ALLOW(Compound)"); break;
    default: std::snprintf(out, size, "? %x ?", type); break;
  }
}

void inheritance_text(uint32_t flags, BYTE folder, char* out, size_t size) {
  switch (flags & 0xB) {
    case 0: copy_text(out, size, folder ? "This folder only" : "This file only"); break;
    case 1: copy_text(out, size, "This folder and files"); break;
    case 2: copy_text(out, size, "This folder and subfolders"); break;
    case 3: copy_text(out, size, "This folder, subfolders and files"); break;
    case 9: copy_text(out, size, "Files only"); break;
    case 10: copy_text(out, size, "Subfolders only"); break;
    case 11: copy_text(out, size, "Subfolders and files only"); break;
    default: std::snprintf(out, size, "? %x ?", flags); break;
  }
}

struct MaskBit {
  uint32_t bit;
  const char* folder_text;
  const char* file_text;
};
constexpr MaskBit kSpecificRights[] = {
    {0x1, "List,", "Read,"},         {0x2, "Create Files,", "Write,"},     {0x4, "Create Folders,", "Append,"},
    {0x8, "ReadEA,", "ReadEA,"},     {0x10, "WriteEA,", "WriteEA,"},       {0x20, "Traverse,", "Execute,"},
    {0x40, "DeleteChild,", "DeleteChild,"}, {0x80, "Read Attributes,", "Read Attributes,"},
    {0x100, "Write Attributes,", "Write Attributes,"},
};
constexpr MaskBit kStandardRights[] = {
    {0x10000, "Delete,", "Delete,"},
    {0x20000, "Read[dacl],", "Read[dacl],"},
    {0x40000, "Write[dacl],", "Write[dacl],"},
    {0x80000, "WriteOwner[dacl],", "WriteOwner[dacl],"},
    {0x100000, "SynchronizeAccess[dacl],", "SynchronizeAccess[dacl],"},
};

void access_mask_text(uint32_t mask, BYTE folder, bool share, char* out, size_t size) {
  if (share) {
    copy_text(out, size, (mask & 0x1F01FF) == 0x1F01FF ? "Full Control" : (mask & 0x2) ? "Change" : "Read");
    return;
  }
  copy_text(out, size, "");
  if ((mask & 0x1F01FF) == 0x1F01FF) {
    append_text(out, size, "Full Control,");
  } else {
    for (const MaskBit& b : kSpecificRights)
      if (mask & b.bit) append_text(out, size, folder ? b.folder_text : b.file_text);
  }
  if ((mask & 0x1F0000) == 0x1F0000) {
    append_text(out, size, "[AllAccess to dacl],");
  } else {
    for (const MaskBit& b : kStandardRights)
      if (mask & b.bit) append_text(out, size, b.file_text);
  }
  if (mask & 0x10000000) {
    copy_text(out, size, "Full Control");
    return;
  }
  if (mask & 0x20000000) append_text(out, size, "Generic Execute,");
  if (mask & 0x40000000) append_text(out, size, "Generic Write,");
  if (mask & 0x80000000) append_text(out, size, "Generic Read");
}

// ---- GPO change rules --------------------------------------------------------

struct SectionName {
  uint32_t code;
  const char* name;
};
constexpr SectionName kSectionNames[] = {
    {1, "Registry Values"},   {2, "Privilege Rights"},  {3, "System Access"},   {4, "Kerberos Policy"},
    {5, "System Log"},        {6, "Event Audit"},       {7, "Registry Keys"},   {8, "General Setting"},
    {9, "File Security"},     {10, "Group Membership"}, {100, "General"},       {101, "FDeploy"},
    {102, "OSC Choice"},      {103, "Application Log"}, {104, "Security Log"},  {200, "Comment"},
    {300, "Registry Policy"}, {400, "Install"},         {500, "XML Preferences (Top)"},
    {501, "XML Preferences"}, {0x50500000, "XML-based AD Attribute"},           {0x60700000, "gpLink Attribute"},
    {0x60800000, "gpOption Attribute"}, {0x60900000, "Modified Attribute"},    {0x60A00000, "CSE-based AD Attribute"},
};

void section_name(uint32_t code, char* out, size_t size) {
  for (const SectionName& s : kSectionNames) {
    if (s.code != code) continue;
    std::snprintf(out, size, "%s Section:", s.name);
    return;
  }
  std::snprintf(out, size, "?%d? section Section:", static_cast<int>(code));
}

constexpr const char* kRegistryTypes[] = {"",
                                          "REG_SZ",
                                          "REG_EXPAND_SZ",
                                          "REG_BINARY",
                                          "REG_DWORD",
                                          "REG_DWORD (big endian)",
                                          "REG_LINK",
                                          "REG_MULTI_SZ",
                                          "REG_RESOURCE_LIST",
                                          "REG_FULL_RESOURCE_DESCRIPTOR",
                                          "REG_RESOURCE_REQUIREMENTS_LIST",
                                          "REG_QWORD"};

void change_summary(const GpoFileChangeRowItem* i, char* out, size_t size) {
  section_name(i->section, out, size);
  append_text(out, size, i->kind ? " ADD ITEM " : " REMOVE ITEM ");
  for (const char* t : {i->change_text1, i->change_text2, i->change_text3}) {
    if (t == nullptr) continue;
    append_text(out, size, t);
    append_text(out, size, " ");
  }
  if (i->change_text4) append_text(out, size, i->change_text4);
}

// ---- Logon rules -------------------------------------------------------------

struct LogonTypeName {
  uint32_t event;
  const char* name;
};
constexpr LogonTypeName kLogonTypeNames[] = {
    {0x81000001, "Local Logon"},
    {0x81000002, "Local Logoff"},
    {0x81000033, "Local Logon Failed"},
    {0x81000055, "Local Password Change Failed"},
    {0x81000071, "Local Lock"},
    {0x81000072, "Local Unlock"},
    {0x81000054, "Local Password Change OK"},
    {0x81000056, "Local Password Change OK"},
    {0x82000011, "Kerberos Logon"},
    {0x82000012, "Kerberos Failed Logon"},
    {0x82000021, "NTLM Logon"},
    {0x82000022, "NTLM Failed Logon"},
    {0x82000044, "Remote LOGOFF (Kerberos or NTLM)"},
    {0x82000050, "LOGON (FTP)"},
    {0x82000051, "LOGOFF (FTP)"},
    {0x82000053, "LOGOFF (FTP timeout)"},
    {0x82000055, "LOGON FAILED (FTP; bad name or bad password)"},
};

// Kerberos error codes 1 to 76; null where no code is assigned.
constexpr const char* kKerberosErrors[77] = {
    nullptr,
    "[Client's entry in database has expired]",
    "[Server's entry in database has expired]",
    "[Requested protocol version number not supported]",
    "[Client's key encrypted in old master key]",
    "[Server's key encrypted in old master key]",
    "[Bad Account Name:Client not found in Kerberos database]",
    "[Server not found in Kerberos database]",
    "[Multiple principal entries in database]",
    "[The client or server has a null key]",
    "[Ticket not eligible for postdating]",
    "[Requested starttime is later than end time]",
    "[KDC policy rejects request]",
    "[KDC cannot accommodate requested option]",
    "[KDC has no support for encryption type]",
    "[KDC has no support for checksum type]",
    "[KDC has no support for padata type]",
    "[KDC has no support for transited type]",
    "[Account Disabled/Locked/Expired:Client's credentials have been revoked]",
    "[Credentials for server have been revoked]",
    "[TGT has been revoked]",
    "[Client not yet valid; try again later]",
    "[Server not yet valid; try again later]",
    "[Password has expired - change password to reset]",
    "[Bad Password:Password is incorrect]",
    "[Additional pre-authentication required]",
    "[Requested server and ticket don't match]",
    "[Server principal valid for user2user only]",
    "[KDC Policy rejects transited path]",
    "[A service is not available]",
    nullptr,
    "[Integrity check on decrypted field failed]",
    "[Ticket expired]",
    "[Ticket not yet valid]",
    "[Request is a replay]",
    "[The ticket isn't for us]",
    "[Ticket and authenticator don't match]",
    "[Clock skew too great]",
    "[Incorrect net address]",
    "[Protocol version mismatch]",
    "[Invalid msg type]",
    "[Message stream modified]",
    "[Message out of order]",
    nullptr,
    "[Specified version of key is not available]",
    "[Service key not available]",
    "[Mutual authentication failed]",
    "[Incorrect message direction]",
    "[Alternative authentication method required]",
    "[Incorrect sequence number in message]",
    "[Inappropriate type of checksum in message]",
    "[Policy rejects transited path]",
    "[Response too big for UDP; retry with TCP]",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "[Generic Error]",
    "[Field is too long for this implementation]",
    "[Client not trusted]",
    "[KDC not trusted]",
    "[Invalid signature]",
    "[Key parameters not accepted]",
    "[Certificate mismatch]",
    "[No TGT available to validate USER-TO-USER]",
    "[Wrong realm]",
    "[Ticket must be for USER-TO-USER]",
    "[Can't verify certificate]",
    "[Invalid certificate]",
    "[Revoked certificate]",
    "[Revocation status unknown]",
    "[Revocation status unavailable]",
    "[Client name mismatch]",
    "[KDC names do not match]",
};

struct StatusName {
  uint32_t status;
  const char* text;
};
constexpr StatusName kLogonStatusNames[] = {
    {0x8009030C, "[Invalid Username and/or Password]"},
    {0xC000005E, "[No Logon Servers Available to Process Request]"},
    {0xC000005F, "[No Such Logon Session]"},
    {0xC0000060, "[No Such Privilege]"},
    {0xC0000061, "[Privilege Not Held]"},
    {0xC0000062, "[Invalid Account Name]"},
    {0xC0000017, "[System could not perform logon, low on non-paged pool memory]"},
    {0xC000006A, "[Wrong Password]"},
    {0xC000006B, "[Ill Formed Password]"},
    {0xC000006C, "[Password Restriction]"},
    {0xC000006D, "[Bad Password / Bad Account Name]"},
    {0xC000006E, "[Account Restriction]"},
    {0xC000006F, "[Invalid Logon Hours]"},
    {0xC0000070, "[Invalid Workstation]"},
    {0xC0000071, "[Password Expired]"},
    {0xC0000072, "[Account Disabled]"},
};

uint32_t logon_event(const LogonRowItem* i) { return i->type | i->action; }

void failure_text(const LogonRowItem* i, char* out, size_t size) {
  uint32_t status = logon_event(i) == 0x81000033 ? i->total_seconds : i->secondary_code;
  if (status >= 1 && status <= 76 && kKerberosErrors[status] != nullptr) {
    copy_text(out, size, kKerberosErrors[status]);
    return;
  }
  for (const StatusName& s : kLogonStatusNames) {
    if (s.status != status) continue;
    copy_text(out, size, s.text);
    return;
  }
  std::snprintf(out, size, "[UNKNOWN FAILURE CODE %d | %x]", static_cast<int>(status), status);
}

bool has_total_time(const LogonRowItem* i) {
  switch (i->type) {
    case 0x81000002: case 0x81000072: case 0x82000044: case 0x82000051: case 0x82000053:
      return i->secondary_code == 0;
    default: return false;
  }
}

const char* plural(uint32_t n) { return n == 1 ? "" : "s"; }

void split_duration(uint32_t total, char* out, size_t size) {
  uint32_t d = total / 86400, h = total % 86400 / 3600, m = total % 3600 / 60, s = total % 60;
  if (d) std::snprintf(out, size, "%u day%s, %u hour%s, %u minute%s, %u second%s", d, plural(d), h, plural(h), m,
                       plural(m), s, plural(s));
  else if (h) std::snprintf(out, size, "%u hour%s, %u minute%s, %u second%s", h, plural(h), m, plural(m), s, plural(s));
  else if (m) std::snprintf(out, size, "%u minute%s, %u second%s", m, plural(m), s, plural(s));
  else std::snprintf(out, size, "%u second%s", s, plural(s));
}

void logon_text(BYTE* context, const LogonRowItem* i, uint32_t column, char* out, size_t size) {
  bool local = (i->type & 0x81000000) == 0x81000000;
  switch (column) {
    case 0x60420802: copy_text(out, size, text_or_empty(i->profile)); break;
    case 0x60420803: {
      uint32_t t = logon_event_time(i);
      set_row_u32(context, kRowTimeSortKeyOffset, t);
      if (time_defined(t)) format_time(t, out, size);
      else format_systemtime(i->logon_time, out, size);
      break;
    }
    case 0x60420804:
      copy_text(out, size, i->workstation && i->workstation[0] != '<' ? i->workstation
                                                                       : text_or_empty(logon_station(i)));
      break;
    case 0x60420805: format_address(nullptr, i->ipv4, !local, i->ipv6, out, size); break;
    case 0x60420807: copy_text(out, size, text_or_empty(i->account)); break;
    case 0x60420808: copy_text(out, size, text_or_empty(i->account_fqdn)); break;
    case 0x60420809: copy_text(out, size, text_or_empty(i->sid)); break;
    case 0x6042080B: copy_text(out, size, true_false(local)); break;
    case 0x6042080C: copy_text(out, size, text_or_empty(logon_station(i))); break;
    case 0x6042080D: copy_text(out, size, text_or_empty(i->wts_address)); break;
    case 0x60420811: copy_text(out, size, text_or_empty(logon_session(i))); break;
    case 0x60420E01: {
      copy_text(out, size, "");
      for (const LogonTypeName& n : kLogonTypeNames)
        if (n.event == logon_event(i)) copy_text(out, size, n.name);
      if (out[0] == '\0') std::snprintf(out, size, kUnknownLogonEvent, i->type, i->action, i->secondary_code);
      break;
    }
    case 0x60420E02:
    case 0x60420E09:
    case 0x60420E0A:
      copy_text(out, size, "");
      if (!has_total_time(i)) break;
      if (column == 0x60420E0A) {
        split_duration(i->total_seconds, out, size);
        break;
      }
      std::snprintf(out, size, "%u", i->total_seconds);
      if (column == 0x60420E09) break;
      if (auto format = host_service<void(WINAPI*)(char*)>(kHostFormatNumber)) format(out);
      append_text(out, size, " seconds");
      break;
    case 0x60420E03: failure_text(i, out, size); break;
    case 0x60420E05: format_systemtime(i->logon_time, out, size); break;
    case 0x60420E06: {
      uint32_t t = logon_logoff_time(i);
      if (time_defined(t)) format_time(t, out, size);
      else copy_text(out, size, kInvalidLogoffTime);
      break;
    }
    case 0x60420E07: copy_text(out, size, text_or_empty(i->workstation)); break;
    case 0x60420E08: copy_text(out, size, text_or_empty(i->logon_domain)); break;
    default: break;
  }
}

// The columns that file, GPO file and GPO file-change items fill from fields of
// the same names. FALSE for another column.
template <typename Item>
bool account_head_text(BYTE* context, const Item* i, uint32_t column, char* out, size_t size) {
  switch (column) {
    case 0x60420802: copy_text(out, size, text_or_empty(i->profile)); break;
    case 0x60420803:
      set_row_u32(context, kRowTimeSortKeyOffset, i->event_time);
      format_time(i->event_time, out, size);
      break;
    case 0x60420804:
    case 0x6042080C: copy_text(out, size, text_or_empty(i->workstation)); break;
    case 0x60420805: format_address(i->wts_address, i->ipv4, false, i->ipv6, out, size); break;
    case 0x60420807: copy_text(out, size, text_or_empty(i->account)); break;
    case 0x60420808: copy_text(out, size, text_or_empty(i->account_fqdn)); break;
    case 0x60420809: copy_text(out, size, text_or_empty(i->sid)); break;
    case 0x6042080D: copy_text(out, size, text_or_empty(i->wts_address)); break;
    default: return false;
  }
  return true;
}

void file_text(BYTE* context, const FileRowItem* i, uint32_t column, char* out, size_t size) {
  if (account_head_text(context, i, column, out, size)) return;
  switch (column) {
    case 0x6042080B: copy_text(out, size, "TRUE"); break;
    case 0x60420F0A: path_text(i, out, size); break;
    case 0x60420F0B: copy_text(out, size, true_false(i->folder)); break;
    case 0x60420F0C: copy_text(out, size, true_false(i->blocked)); break;
    case 0x60420F0D: if (!is_acl_action(i->action)) copy_text(out, size, text_or_empty(i->new_name)); break;
    case 0x60420F0E: if (is_acl_action(i->action)) copy_text(out, size, text_or_empty(i->trustee_sid)); break;
    case 0x60420F0F: if (is_acl_action(i->action)) copy_text(out, size, text_or_empty(i->new_name)); break;
    case 0x60420F10:
      if (is_ace_action(i->action))
        access_mask_text(i->access_mask, i->folder, is_share_ace_action(i->action), out, size);
      break;
    case 0x60420F12: if (is_ace_action(i->action)) inheritance_text(i->inheritance, i->folder, out, size); break;
    case 0x60420F14: copy_text(out, size, text_or_empty(i->share)); break;
    case 0x60420F15:
      if (!is_acl_action(i->action)) break;
      copy_text(out, size, text_or_empty(i->trustee_domain));
      if (i->trustee_domain) append_text(out, size, "\\");
      append_text(out, size, text_or_empty(i->trustee_name));
      break;
    case 0x60420F16: if (is_ace_action(i->action)) ace_type_text(i->ace_type, out, size); break;
    default: break;
  }
}

// GPO file and GPO file-change items share their first fields' names.
template <typename Item>
void gpo_file_text(BYTE* context, const Item* i, uint32_t column, char* out, size_t size) {
  if (account_head_text(context, i, column, out, size)) return;
  switch (column) {
    case 0x6042080B: copy_text(out, size, "FALSE"); break;
    case 0x60420900: copy_text(out, size, text_or_empty(i->gpo_text1)); break;
    case 0x60420901: copy_text(out, size, text_or_empty(i->gpo_text2)); break;
    case 0x60420902: copy_text(out, size, i->core ? "CORE" : "NON-CORE"); break;
    case 0x60420903: copy_text(out, size, true_false(i->core)); break;
    case 0x60420F0A: copy_text(out, size, text_or_empty(i->full_path)); break;
    case 0x60420F0B: copy_text(out, size, true_false(i->folder)); break;
    case 0x60420F14: copy_text(out, size, text_or_empty(i->share)); break;
    default: break;
  }
}

void gpo_change_text(const GpoFileChangeRowItem* i, uint32_t column, char* out, size_t size) {
  switch (column) {
    case 0x60420905: copy_text(out, size, text_or_empty(i->text_a)); break;
    case 0x60420906:
    case 0x60420914: copy_text(out, size, text_or_empty(i->text_b)); break;
    case 0x60420907: change_summary(i, out, size); break;
    case 0x60420908: section_name(i->section, out, size); break;
    case 0x60420909: copy_text(out, size, i->kind ? "ADD ITEM" : "REMOVE ITEM"); break;
    case 0x6042090A: copy_text(out, size, text_or_empty(i->change_text1)); break;
    case 0x6042090B: copy_text(out, size, text_or_empty(i->change_text2)); break;
    case 0x6042090C:
      if (i->value1 < sizeof kRegistryTypes / sizeof kRegistryTypes[0]) copy_text(out, size, kRegistryTypes[i->value1]);
      else std::snprintf(out, size, "?%d registry type?", static_cast<int>(i->value1));
      break;
    case 0x6042090D: std::snprintf(out, size, "%u", i->value2); break;
    case 0x6042090E: copy_text(out, size, text_or_empty(i->change_text3)); break;
    case 0x6042090F: copy_text(out, size, text_or_empty(i->change_text4)); break;
    case 0x60420915: std::snprintf(out, size, "%u", i->section); break;
    default: break;
  }
}

template <typename Item>
void directory_common_text(BYTE* context, const Item* i, uint32_t column, char* out, size_t size) {
  switch (column) {
    case 0x60420802: copy_text(out, size, text_or_empty(i->profile)); break;
    case 0x60420803:
      set_row_u32(context, kRowTimeSortKeyOffset, i->event_time);
      format_time(i->event_time, out, size);
      break;
    case 0x60420804:
    case 0x6042080C: copy_text(out, size, text_or_empty(i->workstation)); break;
    case 0x60420805: format_address(nullptr, i->ipv4, false, i->ipv6, out, size); break;
    case 0x60420807: copy_text(out, size, text_or_empty(i->requester_sam)); break;
    case 0x60420808: copy_text(out, size, text_or_empty(i->requester_fqdn)); break;
    case 0x6042080B: copy_text(out, size, "FALSE"); break;
    case 0x60420D01: copy_text(out, size, text_or_empty(i->object_dn)); break;
    case 0x60420D02: copy_text(out, size, i->object_class); break;
    case 0x60420D03: copy_text(out, size, i->attribute); break;
    case 0x60420D06: copy_text(out, size, true_false(i->values[1])); break;
    case 0x60420D07: copy_text(out, size, true_false(i->values[2])); break;
    default: break;
  }
}

void directory_text(BYTE* context, const DirectoryRowItem* i, uint32_t column, char* out, size_t size) {
  directory_common_text(context, i, column, out, size);
  switch (column) {
    case 0x60420D04: copy_text(out, size, text_or_empty(i->new_value)); break;
    case 0x60420D05: copy_text(out, size, text_or_empty(i->old_value)); break;
    case 0x60420D08: copy_text(out, size, text_or_empty(i->attribute_comment)); break;
    case 0x60420D09: copy_text(out, size, text_or_empty(i->extra_text)); break;
    default: break;
  }
}

void gpo_directory_text(BYTE* context, const GpoDirectoryRowItem* i, bool value_item, uint32_t column, char* out,
                        size_t size) {
  directory_common_text(context, i, column, out, size);
  switch (column) {
    case 0x60420900: copy_text(out, size, text_or_empty(i->gpo_text1)); break;
    case 0x60420901: copy_text(out, size, text_or_empty(i->gpo_text2)); break;
    default: break;
  }
  if (!value_item) {
    if (column == 0x60420D04) copy_text(out, size, text_or_empty(i->new_value));
    if (column == 0x60420D05) copy_text(out, size, text_or_empty(i->old_value));
    return;
  }
  switch (column) {
    case 0x60420908: section_name(i->section, out, size); break;
    case 0x60420909:
      copy_text(out, size, i->kind == 0 ? "ITEM REMOVED" : i->kind == 1 ? "ITEM ADDED" : "ITEM CHANGED");
      break;
    case 0x6042090F: copy_text(out, size, text_or_empty(i->entry_text)); break;
    case 0x60420915: std::snprintf(out, size, "%u", i->section); break;
    default: break;
  }
}

bool starts_empty(uint32_t column) {
  switch (column) {
    case 0x60420F0D: case 0x60420F0E: case 0x60420F0F: case 0x60420F10:
    case 0x60420F12: case 0x60420F15: case 0x60420F16: return true;
    default: return false;
  }
}

}  // namespace

DWORD report_column_text(BYTE* context, uint32_t column, char* out, size_t size) {
  if (context == nullptr) return kResultNotHandled;
  copy_text(out, size, starts_empty(column) ? "" : kUnknownText);
  if (column == 0x60420801) {
    copy_text(out, size, row_server_name(context));
    return 0;
  }
  if (column == 0x60420907) copy_text(out, size, "");  // only change entries have a summary
  void* item;
  LogFamily family = row_item(context, &item);
  switch (family) {
    case kLogFamilyFile: file_text(context, static_cast<FileRowItem*>(item), column, out, size); break;
    case kLogFamilyLogon: logon_text(context, static_cast<LogonRowItem*>(item), column, out, size); break;
    case kLogFamilyDirectory: directory_text(context, static_cast<DirectoryRowItem*>(item), column, out, size); break;
    case kLogFamilyGpoFile: gpo_file_text(context, static_cast<GpoFileRowItem*>(item), column, out, size);
      if (column == 0x60420F0D) copy_text(out, size, text_or_empty(static_cast<GpoFileRowItem*>(item)->new_name));
      break;
    case kLogFamilyGpoFileChange: {
      auto* i = static_cast<GpoFileChangeRowItem*>(item);
      gpo_file_text(context, i, column, out, size);
      gpo_change_text(i, column, out, size);
      break;
    }
    case kLogFamilyGpoDirectory:
    case kLogFamilyGpoDirectoryValue:
      gpo_directory_text(context, static_cast<GpoDirectoryRowItem*>(item), family == kLogFamilyGpoDirectoryValue,
                         column, out, size);
      break;
    case kLogFamilyNone: break;
  }
  return 0;
}
