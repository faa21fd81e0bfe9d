// Activity log files as the agents write them, and damaged on purpose.
#include "sim/logwriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace support {

namespace {

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};

uint8_t rotate_right(uint8_t value, unsigned bits) {
  return static_cast<uint8_t>((value >> bits) | (value << (8 - bits)));
}

// A body of `size` bytes whose offsets are record offsets (the body starts at 8).
struct BodyWriter {
  std::vector<uint8_t> bytes;
  explicit BodyWriter(size_t size) : bytes(size, 0) {}
  uint8_t* at(size_t record_offset) { return bytes.data() + record_offset - kLogHeaderBytes; }
  void text(LogField field, const char* value) { text_at(field.offset, field.size, value); }
  // Copies up to `width` bytes of the text; a text as long as its field fills it without a NUL.
  void text_at(size_t record_offset, size_t width, const char* value) {
    size_t n = strnlen(value, width);
    std::memcpy(at(record_offset), value, n);
  }
  void u32(size_t record_offset, uint32_t value) { store_le32(at(record_offset), value); }
  void raw(LogField field, const uint8_t* value) { std::memcpy(at(field.offset), value, field.size); }
  void byte(LogField field, uint8_t value) { *at(field.offset) = value; }
  // A NUL-terminated text at the end of the body: grows the body to hold it.
  void tail(size_t record_offset, const char* value) {
    size_t n = std::strlen(value);
    bytes.resize(record_offset - kLogHeaderBytes + n + 1, 0);
    std::memcpy(at(record_offset), value, n);
  }
};

std::vector<uint8_t> finish(uint32_t type, std::vector<uint8_t> body) {
  scramble_log_body(body.data(), body.size());
  std::vector<uint8_t> record(kLogHeaderBytes + body.size());
  store_le32(record.data(), type);
  store_le32(record.data() + 4, static_cast<uint32_t>(body.size()));
  if (!body.empty()) std::memcpy(record.data() + kLogHeaderBytes, body.data(), body.size());
  return record;
}

void write_head(BodyWriter& w, const char* profile, uint32_t action, uint32_t time_or_code) {
  w.text(kLogProfile, profile);
  w.u32(kLogAction.offset, action);
  w.u32(kLogEventTime.offset, time_or_code);
}

void write_gpo_file_head(BodyWriter& w, const GpoFileHead& h) {
  write_head(w, h.profile, h.action, h.event_time);
  w.text(kGpoFileText1, h.gpo_text1);
  w.text(kGpoFileText2, h.gpo_text2);
  w.text(kGpoFileWorkstation, h.workstation);
  w.text(kGpoFileWtsAddress, h.wts_address);
  w.raw(kGpoFileIpv4, h.ipv4);
  w.raw(kGpoFileIpv6, h.ipv6);
  w.text(kGpoFileAccount, h.account);
  w.text(kGpoFileSid, h.sid);
  w.text(kGpoFileAccountFqdn, h.account_fqdn);
  w.byte(kGpoFileFolderFlag, h.folder);
  w.byte(kGpoFileCoreFlag, h.core);
  w.text(kGpoFileFullPath, h.full_path);
}

void write_gpo_directory_head(BodyWriter& w, const GpoDirectoryHead& h) {
  write_head(w, h.profile, h.action, h.event_time);
  w.text(kGpoDirText1, h.gpo_text1);
  w.text(kGpoDirText2, h.gpo_text2);
  w.text(kGpoDirWorkstation, h.workstation);
  w.raw(kGpoDirIpv4, h.ipv4);
  w.raw(kGpoDirIpv6, h.ipv6);
  w.text(kGpoDirObjectClass, h.object_class);
  w.text(kGpoDirObjectDn, h.object_dn);
  w.text(kGpoDirAttribute, h.attribute);
  for (size_t i = 0; i < kLogValueCount; ++i) w.u32(kGpoDirValues.offset + 4 * i, h.values[i]);
  w.text(kGpoDirRequesterSam, h.requester_sam);
  w.text(kGpoDirRequesterFqdn, h.requester_fqdn);
}

// Sample texts: "<field>-<seed>" padded with a letter pattern to a length that
// depends on the seed, never beyond the buffer.
template <size_t N>
void sample_text(char (&out)[N], const char* field, uint32_t seed, size_t length = 0) {
  std::memset(out, 0, N);
  int n = std::snprintf(out, N, "%s-%u", field, seed);
  size_t used = n < 0 ? 0 : static_cast<size_t>(n) < N ? static_cast<size_t>(n) : N - 1;
  size_t want = length ? length : used + seed % 7;
  for (size_t i = used; i < want && i + 1 < N; ++i) out[i] = static_cast<char>('a' + (i + seed) % 26);
}

void sample_address(uint8_t* ipv4, uint8_t* ipv6, uint32_t seed) {
  ipv4[0] = 10;
  ipv4[1] = static_cast<uint8_t>(seed);
  ipv4[2] = static_cast<uint8_t>(seed >> 8);
  ipv4[3] = static_cast<uint8_t>(200 + seed % 50);
  for (int i = 0; i < 16; ++i) ipv6[i] = static_cast<uint8_t>(0x20 + i * 3 + seed);
}

void sample_gpo_file_head(GpoFileHead& h, uint32_t type, uint32_t seed) {
  h.type = type;
  sample_text(h.profile, "gpo-file-profile", seed);
  h.action = 0x40000000;
  h.event_time = 1457388000u + seed * 61;
  sample_text(h.gpo_text1, "policy", seed);
  sample_text(h.gpo_text2, "guid", seed, kGpoFileText2.size);  // fills its field
  sample_text(h.workstation, "WS", seed);
  sample_text(h.wts_address, "192.0.2.", seed);
  sample_address(h.ipv4, h.ipv6, seed);
  sample_text(h.account, "BRIGHTMERE\\gpouser", seed);
  sample_text(h.sid, "S-1-5-21-3-", seed);
  sample_text(h.account_fqdn, "CN=gpouser,DC=brightmere,DC=example", seed);
  h.folder = static_cast<BYTE>(seed & 1);
  h.core = static_cast<BYTE>((seed >> 1) & 1);
  sample_text(h.full_path, "\\\\DC1\\SYSVOL\\Policies\\file", seed);
}

void sample_gpo_directory_head(GpoDirectoryHead& h, uint32_t type, uint32_t seed) {
  h.type = type;
  sample_text(h.profile, "gpo-dir-profile", seed);
  h.action = 0x00000400;
  h.event_time = 1457390000u + seed * 59;
  sample_text(h.gpo_text1, "policy-dir", seed);
  sample_text(h.gpo_text2, "guid-dir", seed);
  sample_text(h.workstation, "ADMIN-WS", seed, kGpoDirWorkstation.size);  // fills its field
  sample_address(h.ipv4, h.ipv6, seed + 1);
  sample_text(h.object_class, "groupPolicyContainer", seed);
  sample_text(h.object_dn, "CN={POLICY},CN=Policies,CN=System,DC=brightmere", seed);
  sample_text(h.attribute, "gPCMachineExtensionNames", seed);
  for (size_t i = 0; i < kLogValueCount; ++i) h.values[i] = seed * 10 + static_cast<uint32_t>(i);
  sample_text(h.requester_sam, "BRIGHTMERE\\admin", seed);
  sample_text(h.requester_fqdn, "CN=admin,CN=Users,DC=brightmere", seed);
}

}  // namespace

std::string log_file_name(const std::string& prefix, const std::string& server, int year, int month, int day) {
  char date[32];
  std::snprintf(date, sizeof date, "%s%02d%04d", kMonths[(month - 1) % 12], day, year);
  std::string letter(1, static_cast<char>('a' + server.size()));
  return prefix + "_" + server + letter + "_" + date + ".vnx";
}

void scramble_log_body(uint8_t* body, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (i % 7 == 0)
      body[i] = rotate_right(body[i], 2);  // restored by a left rotation of 2
    else if ((i & 2) == 0)
      body[i] = rotate_right(body[i], 5);  // restored by a right rotation of 3
    else
      body[i] = rotate_right(body[i], 4);
  }
}

std::vector<uint8_t> encode_log_record(const FileLogRecord& r) {
  BodyWriter w(kFileRecordBytes - kLogHeaderBytes);
  write_head(w, r.profile, r.action, r.event_time);
  w.text(kFileAccount, r.account);
  w.text(kFileAccountFqdn, r.account_fqdn);
  w.text(kFileWorkstation, r.workstation);
  w.text(kFileWtsAddress, r.wts_address);
  w.text(kFileSid, r.sid);
  w.raw(kFileIpv4, r.ipv4);
  w.raw(kFileIpv6, r.ipv6);
  w.byte(kFileFolderFlag, r.folder);
  w.byte(kFileBlockedFlag, r.blocked);
  w.byte(kFileAceType, r.ace_type);
  w.text(kFileFolderPath, r.folder_path);
  w.text(kFileShare, r.share);
  w.text(kFileName, r.file_name);
  w.text(kFileNewName, r.new_name);
  w.text(kFileTrusteeSid, r.trustee_sid);
  w.text(kFileUnusedText, r.unused_text);
  w.text(kFileTrusteeDomain, r.trustee_domain);
  w.text(kFileTrusteeName, r.trustee_name);
  w.u32(kFileAccessMask.offset, r.access_mask);
  w.u32(kFileInheritance.offset, r.inheritance);
  w.u32(kFileFinalValue.offset, r.final_value);
  return finish(r.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const LogonLogRecord& r) {
  BodyWriter w(kLogonRecordBytes - kLogHeaderBytes);
  write_head(w, r.profile, r.action, r.secondary_code);
  w.raw(kLogonIpv4, r.ipv4);
  w.raw(kLogonIpv6, r.ipv6);
  w.raw(kLogonBlock, r.block);
  const WORD parts[8] = {r.logon_time.wYear,   r.logon_time.wMonth,  r.logon_time.wDayOfWeek,
                         r.logon_time.wDay,    r.logon_time.wHour,   r.logon_time.wMinute,
                         r.logon_time.wSecond, r.logon_time.wMilliseconds};
  for (int i = 0; i < 8; ++i) store_le16(w.at(kLogonTime.offset + 2 * i), parts[i]);
  w.raw(kLogonTimingHead, r.timing_head);
  w.u32(kLogonEventTime.offset, r.event_time);
  w.u32(kLogonLogoffTime.offset, r.logoff_time);
  w.raw(kLogonTimingTail, r.timing_tail);
  w.u32(kLogonTotalSeconds.offset, r.total_seconds);
  w.text(kLogonAccount, r.account);
  w.text(kLogonAccountFqdn, r.account_fqdn);
  w.text(kLogonSid, r.sid);
  w.text(kLogonLocalText, r.local_text);
  w.text(kLogonStation, r.station);
  w.text(kLogonSession, r.session);
  w.text(kLogonWtsAddress, r.wts_address);
  w.text(kLogonDomain, r.logon_domain);
  w.text(kLogonWorkstation, r.workstation);
  return finish(r.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const DirectoryLogRecord& r) {
  BodyWriter w(kDirRecordBytes - kLogHeaderBytes);
  write_head(w, r.profile, r.action, r.event_time);
  w.text(kDirObjectClass, r.object_class);
  w.text(kDirObjectDn, r.object_dn);
  w.text(kDirNewLocation, r.new_location);
  w.text(kDirExtraText, r.extra_text);
  w.text(kDirAttribute, r.attribute);
  for (size_t i = 0; i < kLogValueCount; ++i) w.u32(kDirValues.offset + 4 * i, r.values[i]);
  w.text(kDirNewValue, r.new_value);
  w.text(kDirOldValue, r.old_value);
  w.text(kDirRequesterSam, r.requester_sam);
  w.text(kDirRequesterFqdn, r.requester_fqdn);
  w.text(kDirWorkstation, r.workstation);
  w.raw(kDirIpv4, r.ipv4);
  w.raw(kDirIpv6, r.ipv6);
  return finish(r.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const GpoFileLogRecord& r) {
  BodyWriter w(kGpoFileNewNameOffset - kLogHeaderBytes);
  write_gpo_file_head(w, r.head);
  w.text(kGpoFileShare, r.share);
  w.tail(kGpoFileNewNameOffset, r.new_name);
  return finish(r.head.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const GpoFileChangeLogRecord& r, const std::vector<GpoChangeEntry>& entries) {
  BodyWriter w(kGpoChangeFirstEntry - kLogHeaderBytes);
  write_gpo_file_head(w, r.head);
  w.text(kGpoChangeTextA, r.text_a);
  w.text(kGpoChangeTextB, r.text_b);
  w.text(kGpoChangeShare, r.share);
  w.u32(kGpoChangeCount.offset, static_cast<uint32_t>(entries.size()));
  size_t at = kGpoChangeFirstEntry;
  for (const GpoChangeEntry& e : entries) {
    w.bytes.resize(at + kChangeEntryText4Offset - kLogHeaderBytes, 0);
    w.u32(at + kChangeEntrySection.offset, e.section);
    w.u32(at + kChangeEntryKind.offset, e.kind);
    w.text_at(at + kChangeEntryText1.offset, kChangeEntryText1.size, e.text1);
    w.text_at(at + kChangeEntryText2.offset, kChangeEntryText2.size, e.text2);
    w.u32(at + kChangeEntryValue1.offset, e.value1);
    w.u32(at + kChangeEntryValue2.offset, e.value2);
    w.text_at(at + kChangeEntryText3.offset, kChangeEntryText3.size, e.text3);
    w.tail(at + kChangeEntryText4Offset, e.text4);
    at = w.bytes.size() + kLogHeaderBytes;
  }
  return finish(r.head.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const GpoDirectoryLogRecord& r) {
  BodyWriter w(kGpoDirSharedBytes - kLogHeaderBytes);
  write_gpo_directory_head(w, r.head);
  w.text(kGpoDirNewLocation, r.new_location);
  if (r.head.type == 0xE8002000) {
    w.bytes.resize(kGpoDirOldValueOffset - kLogHeaderBytes, 0);
    w.text(kGpoDirNewValue, r.new_value);
    w.tail(kGpoDirOldValueOffset, r.old_value);
  }
  return finish(r.head.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_log_record(const GpoDirectoryValueLogRecord& r,
                                       const std::vector<GpoValueEntry>& entries) {
  BodyWriter w(kGpoValueFirstEntry - kLogHeaderBytes);
  write_gpo_directory_head(w, r.head);
  w.u32(kGpoValueCount.offset, static_cast<uint32_t>(entries.size()));
  for (const GpoValueEntry& e : entries) {
    size_t at = w.bytes.size() + kLogHeaderBytes;
    w.bytes.resize(at + kValueEntryTextOffset - kLogHeaderBytes, 0);
    w.u32(at + kValueEntrySection.offset, e.section);
    w.u32(at + kValueEntryKind.offset, e.kind);
    w.tail(at + kValueEntryTextOffset, e.text);
  }
  return finish(r.head.type, std::move(w.bytes));
}

std::vector<uint8_t> encode_raw_record(uint32_t type, const std::vector<uint8_t>& restored_body) {
  return finish(type, restored_body);
}

FileLogRecord sample_file_record(uint32_t type, uint32_t seed) {
  FileLogRecord r{};
  r.type = type;
  r.body_length = kFileRecordBytes - kLogHeaderBytes;
  sample_text(r.profile, "file-profile", seed);
  r.action = 0x80000000;
  r.event_time = 1457385000u + seed * 67;
  sample_text(r.account, "BRIGHTMERE\\user", seed);
  sample_text(r.account_fqdn, "CN=user,CN=Users,DC=brightmere,DC=example", seed);
  sample_text(r.workstation, "WKS", seed);
  if (type == 0xFF330002) sample_text(r.wts_address, "198.51.100.", seed);
  sample_text(r.sid, "S-1-5-21-1-", seed);
  sample_address(r.ipv4, r.ipv6, seed);
  r.folder = static_cast<BYTE>(seed & 1);
  r.blocked = static_cast<BYTE>((seed >> 1) & 1);
  r.ace_type = static_cast<BYTE>(seed % 5);
  sample_text(r.folder_path, "D:\\Shares\\Finance\\Reports", seed);
  sample_text(r.share, "Finance", seed);
  sample_text(r.file_name, "budget.xlsx", seed);
  sample_text(r.new_name, "budget-final.xlsx", seed);
  sample_text(r.trustee_sid, "S-1-5-21-2-", seed);
  sample_text(r.unused_text, "carried", seed);
  sample_text(r.trustee_domain, "BRIGHTMERE", seed, kFileTrusteeDomain.size);  // fills its field
  sample_text(r.trustee_name, "Accounting", seed);
  r.access_mask = 0x001F01FF ^ seed;
  r.inheritance = seed % 12;
  r.final_value = 0xA5000000u | seed;
  return r;
}

LogonLogRecord sample_logon_record(uint32_t type, uint32_t seed) {
  LogonLogRecord r{};
  bool local = (type >> 24) == 0x81;
  r.type = type;
  r.body_length = kLogonRecordBytes - kLogHeaderBytes;
  sample_text(r.profile, "logon-profile", seed);
  r.action = type & 0xFF;
  r.secondary_code = seed % 3 == 0 ? 0 : 0xC000006A;
  sample_address(r.ipv4, r.ipv6, seed + 2);
  for (int i = 0; i < 8; ++i) r.block[i] = static_cast<uint8_t>(seed + i);
  r.logon_time =
      SYSTEMTIME{static_cast<WORD>(2016 + seed % 5), static_cast<WORD>(1 + seed % 12), static_cast<WORD>(seed % 7),
                 static_cast<WORD>(1 + seed % 28),   static_cast<WORD>(seed % 24),     static_cast<WORD>(seed % 60),
                 static_cast<WORD>((seed * 7) % 60), static_cast<WORD>(seed % 1000)};
  for (int i = 0; i < 8; ++i) r.timing_head[i] = static_cast<uint8_t>(0x40 + i);
  r.event_time = 1457380000u + seed * 71;
  r.logoff_time = r.event_time + 3600 + seed;
  for (int i = 0; i < 4; ++i) r.timing_tail[i] = static_cast<uint8_t>(0x70 + i);
  r.total_seconds = 3600 + seed;
  sample_text(r.account, "BRIGHTMERE\\logon", seed);
  sample_text(r.account_fqdn, "CN=logon,CN=Users,DC=brightmere", seed);
  sample_text(r.sid, "S-1-5-21-4-", seed);
  sample_text(r.station, local ? "RDP-Tcp#" : "CLIENT-PC", seed);
  sample_text(r.workstation, "CLIENT-WS", seed, kLogonWorkstation.size);  // fills its field
  if (local) {
    sample_text(r.local_text, "local-carried", seed);
    sample_text(r.session, "Console", seed);
    sample_text(r.wts_address, "203.0.113.", seed);
    sample_text(r.logon_domain, "BRIGHTMERE", seed);
  }
  return r;
}

DirectoryLogRecord sample_directory_record(uint32_t type, uint32_t seed) {
  DirectoryLogRecord r{};
  r.type = type;
  r.body_length = kDirRecordBytes - kLogHeaderBytes;
  sample_text(r.profile, "ad-profile", seed);
  r.action = 0x00080400;
  r.event_time = 1457386000u + seed * 73;
  sample_text(r.object_class, "user", seed);
  sample_text(r.object_dn, "CN=Jane Doe,OU=Staff,DC=brightmere,DC=example", seed);
  sample_text(r.new_location, "OU=Former,DC=brightmere,DC=example", seed);
  sample_text(r.extra_text, "extra", seed);
  sample_text(r.attribute, "userAccountControl", seed);
  for (size_t i = 0; i < kLogValueCount; ++i) r.values[i] = seed + static_cast<uint32_t>(i) * 3;
  sample_text(r.new_value, "514", seed);
  sample_text(r.old_value, "512", seed);
  sample_text(r.requester_sam, "BRIGHTMERE\\helpdesk", seed);
  sample_text(r.requester_fqdn, "CN=helpdesk,CN=Users,DC=brightmere", seed);
  sample_text(r.workstation, "HELPDESK-PC", seed, kDirWorkstation.size);  // fills its field
  sample_address(r.ipv4, r.ipv6, seed + 3);
  return r;
}

GpoFileLogRecord sample_gpo_file_record(uint32_t type, uint32_t seed) {
  GpoFileLogRecord r{};
  sample_gpo_file_head(r.head, type, seed);
  sample_text(r.share, "SYSVOL", seed);
  sample_text(r.new_name, "GptTmpl-renamed.inf", seed);
  r.head.body_length = static_cast<uint32_t>(kGpoFileNewNameOffset - kLogHeaderBytes + std::strlen(r.new_name) + 1);
  return r;
}

GpoFileChangeLogRecord sample_gpo_file_change_record(uint32_t type, uint32_t seed) {
  GpoFileChangeLogRecord r{};
  sample_gpo_file_head(r.head, type, seed);
  r.head.action = 0x20000000;
  sample_text(r.text_a, "Machine\\Microsoft\\Windows NT\\SecEdit", seed);
  sample_text(r.text_b, "GptTmpl.inf", seed);
  sample_text(r.share, "SYSVOL", seed);
  return r;
}

GpoDirectoryLogRecord sample_gpo_directory_record(uint32_t type, uint32_t seed) {
  GpoDirectoryLogRecord r{};
  sample_gpo_directory_head(r.head, type, seed);
  sample_text(r.new_location, "CN={MOVED},CN=Policies", seed);
  size_t length = kGpoDirSharedBytes - kLogHeaderBytes;
  if (type == 0xE8002000) {
    sample_text(r.new_value, "[{new-extension}]", seed);
    sample_text(r.old_value, "[{old-extension}]", seed);
    length = kGpoDirOldValueOffset - kLogHeaderBytes + std::strlen(r.old_value) + 1;
  }
  r.head.body_length = static_cast<uint32_t>(length);
  return r;
}

GpoDirectoryValueLogRecord sample_gpo_directory_value_record(uint32_t type, uint32_t seed) {
  GpoDirectoryValueLogRecord r{};
  sample_gpo_directory_head(r.head, type, seed);
  return r;
}

std::vector<GpoChangeEntry> sample_change_entries(size_t count, uint32_t seed) {
  std::vector<GpoChangeEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    GpoChangeEntry& e = entries[i];
    uint32_t s = seed * 100 + static_cast<uint32_t>(i);
    e.section = static_cast<uint32_t>(1 + i % 10);
    e.kind = static_cast<uint32_t>(i & 1);
    sample_text(e.text1, "MACHINE\\Software\\Policies", s);
    sample_text(e.text2, "ValueName", s);
    e.value1 = static_cast<uint32_t>(i % 12);
    e.value2 = s;
    sample_text(e.text3, "value-data", s);
    sample_text(e.text4, "fourth-text", s, i == 1 ? 700 : 0);  // one longer than the fixed texts
  }
  return entries;
}

std::vector<GpoValueEntry> sample_value_entries(size_t count, uint32_t seed) {
  std::vector<GpoValueEntry> entries(count);
  const uint32_t sections[] = {0x60A00000, 0x50500000, 0x60700000, 0x60800000, 0x60900000};
  for (size_t i = 0; i < count; ++i) {
    entries[i].section = sections[i % 5];
    entries[i].kind = static_cast<uint32_t>(i % 3);
    sample_text(entries[i].text, "[LDAP://cn={GUID},cn=policies];0", seed * 100 + static_cast<uint32_t>(i));
  }
  return entries;
}

std::vector<uint8_t> sample_encoded_record(uint32_t type, uint32_t seed) {
  switch (type >> 24) {
    case 0xFF: return encode_log_record(sample_file_record(type, seed));
    case 0xFA: return encode_log_record(sample_directory_record(type, seed));
    case 0x81:
    case 0x82: return encode_log_record(sample_logon_record(type, seed));
    default: break;
  }
  switch (type) {
    case 0xE4001001:
    case 0xE4081001: return encode_log_record(sample_gpo_file_record(type, seed));
    case 0xE4002000:
    case 0xE4004000:
    case 0xE4082000:
      return encode_log_record(sample_gpo_file_change_record(type, seed), sample_change_entries(2, seed));
    case 0xE8001000:
    case 0xE8002000: return encode_log_record(sample_gpo_directory_record(type, seed));
    case 0xE8004000:
      return encode_log_record(sample_gpo_directory_value_record(type, seed), sample_value_entries(2, seed));
    default: return {};
  }
}

size_t LogWriter::append(const std::vector<uint8_t>& bytes) {
  size_t at = bytes_.size();
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return at;
}

size_t LogWriter::add_cut(const std::vector<uint8_t>& record, size_t keep) {
  size_t n = keep < record.size() ? keep : record.size();
  return append(std::vector<uint8_t>(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n)));
}

size_t LogWriter::add_garbage(size_t count, uint32_t seed) {
  std::vector<uint8_t> garbage(count);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    garbage[i] = static_cast<uint8_t>((state >> 16) & 0x7F);
  }
  return append(garbage);
}

size_t LogWriter::add_overlong(uint32_t type, uint32_t body_length) {
  std::vector<uint8_t> header(kLogHeaderBytes);
  store_le32(header.data(), type);
  store_le32(header.data() + 4, body_length);
  return append(header);
}

size_t LogWriter::add_partial_header(uint32_t type, size_t keep) {
  std::vector<uint8_t> header(kLogHeaderBytes);
  store_le32(header.data(), type);
  store_le32(header.data() + 4, kFileRecordBytes - kLogHeaderBytes);
  header.resize(keep < kLogHeaderBytes ? keep : kLogHeaderBytes - 1);
  return append(header);
}

bool LogWriter::save(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  // An empty file is written by creating it: fwrite takes no null buffer, even for no bytes.
  bool ok = bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
  int saved = errno;
  if (std::fclose(file) != 0) ok = false;
  if (!ok && errno == 0) errno = saved;
  return ok;
}

}  // namespace support
