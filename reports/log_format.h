// Activity log files: the folders that hold them, their names, and the byte
// layout of every record kind the agents write; splitting a file into records
// (with resynchronisation over damaged stretches), restoring the scrambled
// bodies and decoding them into plain records.
//
// A log file has no header: it is a sequence of unaligned records, each an
// 8-byte header (type code u32, body length u32, little-endian) and a body
// stored with a per-byte bit rotation. All field offsets below count from the
// first byte of the record (the type code), so the body starts at offset 8.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

// ---------------------------------------------------------------------------
// Little-endian fields.

inline uint16_t load_le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t load_le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void store_le16(BYTE* p, uint16_t value) {
  p[0] = static_cast<BYTE>(value);
  p[1] = static_cast<BYTE>(value >> 8);
}
inline void store_le32(BYTE* p, uint32_t value) {
  p[0] = static_cast<BYTE>(value);
  p[1] = static_cast<BYTE>(value >> 8);
  p[2] = static_cast<BYTE>(value >> 16);
  p[3] = static_cast<BYTE>(value >> 24);
}

// ---------------------------------------------------------------------------
// Log folders, from the server's registry values (read by the caller).

constexpr size_t kReportPathBytes = 256;       // ReportPath: the log share, at most 255 bytes
constexpr size_t kAutoArchivePathBytes = 456;  // AutoArchivePath: at most 455 bytes
constexpr size_t kLogFolderBytes = 600;        // room for either folder form
constexpr char kLogFilePattern[] = "*.vnx";

// "\\server\ReportPath\vnxlogs\". FALSE (and an empty text) when it does not fit.
BOOL format_current_log_folder(char* out, size_t size, const char* server, const char* report_path);
// With AutoArchiveLogFiles non-zero: AutoArchivePath, a backslash unless it ends
// with one, "vnx_archived_logs\"; otherwise "\\server\ReportPath\vnxlogs\archived_logs\".
BOOL format_archive_log_folder(char* out, size_t size, const char* server, const char* report_path,
                               DWORD auto_archive, const char* auto_archive_path);

// ---------------------------------------------------------------------------
// File names: <prefix>_<server><length letter>_<Month><DD><YYYY>.vnx, the
// letter being 'a' + the length of the server name.

constexpr size_t kLogNameBytes = MAX_PATH;
constexpr size_t kLogServerNameBytes = 26;  // the letter encodes 0 to 25 characters
constexpr size_t kLogNameShortest = 20;     // shorter names are not of the agent's form
constexpr int kLogNominalHour = 22;         // a file stands for 22:00 local time of its date
constexpr char kUnknownLogName[] = "<unknown>";

struct LogFileName {
  char prefix[kLogNameBytes];
  char server[kLogServerNameBytes];
  DWORD has_nominal_time;
  uint32_t nominal_time;  // seconds since 1970 UTC of 22:00 local time on the file's date
};

// Splits a file name (a folder part before the last backslash is ignored).
// Names not of the agent's form give prefix and server "<unknown>" and no
// nominal time, and return FALSE. The local time follows the C runtime's time zone.
BOOL parse_log_file_name(const char* name, LogFileName* out);

// ---------------------------------------------------------------------------
// Record header, type codes and families.

constexpr size_t kLogHeaderBytes = 8;
constexpr size_t kLogHeaderTypeOffset = 0;
constexpr size_t kLogHeaderLengthOffset = 4;
constexpr uint32_t kLogEndOfFileLength = 180000;  // a body length this large ends the file

struct LogHeader {
  uint32_t type;
  uint32_t body_length;
};
LogHeader decode_log_header(const BYTE* header);  // 8 bytes

// In the order of the item slots of a report row.
enum LogFamily : uint32_t {
  kLogFamilyNone = 0,
  kLogFamilyFile = 1,
  kLogFamilyLogon = 2,
  kLogFamilyDirectory = 3,
  kLogFamilyGpoFile = 4,
  kLogFamilyGpoFileChange = 5,
  kLogFamilyGpoDirectory = 6,
  kLogFamilyGpoDirectoryValue = 7,
};

enum LogRowRule : uint32_t {
  kLogRowsOne = 1,
  kLogRowsPerChangeEntry = 2,  // one row per GPO file-change entry
  kLogRowsPerValueEntry = 3,   // one row per GPO directory value entry
};

struct LogRecordType {
  uint32_t code;
  LogFamily family;
  uint32_t restored_bytes;  // bytes of the body to restore; 0 means the whole body
  LogRowRule rows;
};

constexpr size_t kLogRecordTypeCount = 36;
extern const LogRecordType kLogRecordTypes[kLogRecordTypeCount];

// The table entry of a valid type code, else null (a damaged position).
const LogRecordType* find_log_record_type(uint32_t code);
inline BOOL is_log_record_type(uint32_t code) { return find_log_record_type(code) != nullptr; }
// Logon types with top byte 0x81 are the server's own (local); 0x82 network.
inline BOOL is_local_logon_type(uint32_t code) { return (code >> 24) == 0x81; }

// ---------------------------------------------------------------------------
// Body scrambling. Restoring byte i (counted from the first body byte):
// i % 7 == 0 rotate left 2; else bit 1 of i clear rotate right 3; else right 4.
// The pattern repeats every 28 bytes.

constexpr size_t kLogScramblePeriod = 28;

void restore_log_body(BYTE* body, size_t count);
// The same with a chosen method; FALSE (nothing restored) when this processor lacks it.
enum RestoreMethod { kRestoreBytewise, kRestoreSse2, kRestoreAvx2, kRestoreGfni };
BOOL restore_log_body_using(RestoreMethod method, BYTE* body, size_t count);
// Restores as much of a body as its type says (the fixed count or the whole
// body, never more than the body holds); returns the bytes restored.
size_t restore_log_record_body(uint32_t type, BYTE* body, size_t body_length);

// ---------------------------------------------------------------------------
// Body layouts. Texts are 8-bit, NUL-terminated inside their field; a plain
// record keeps each text in a buffer one byte wider than its field, so even a
// field filled to its last byte survives, and nothing longer can.

struct LogField {
  uint32_t offset;  // from the first byte of the record
  uint32_t size;
};
constexpr uint32_t field_end(LogField f) { return f.offset + f.size; }

// Common head of every body.
constexpr LogField kLogProfile = {8, 128};
constexpr LogField kLogAction = {136, 4};
constexpr LogField kLogEventTime = {140, 4};  // logon records: the secondary code
static_assert(field_end(kLogProfile) == kLogAction.offset && field_end(kLogAction) == kLogEventTime.offset,
              "common head");

// File record (0xFF330001, 0xFF330002): 8 + 5581 bytes.
constexpr LogField kFileAccount = {144, 512};
constexpr LogField kFileAccountFqdn = {656, 512};
constexpr LogField kFileWorkstation = {1168, 32};
constexpr LogField kFileWtsAddress = {1200, 32};  // only in 0xFF330002
constexpr LogField kFileSid = {1232, 88};
constexpr LogField kFileIpv4 = {1320, 4};
constexpr LogField kFileIpv6 = {1340, 32};        // 16 unused bytes before it
constexpr LogField kFileFolderFlag = {1372, 1};
constexpr LogField kFileBlockedFlag = {1373, 1};
constexpr LogField kFileAceType = {1374, 1};
constexpr LogField kFileFolderPath = {1375, 1200};
constexpr LogField kFileShare = {2575, 128};
constexpr LogField kFileName = {2703, 512};
constexpr LogField kFileNewName = {3215, 1200};   // or the ACL trustee's FQDN
constexpr LogField kFileTrusteeSid = {4415, 88};
constexpr LogField kFileUnusedText = {4503, 512};
constexpr LogField kFileTrusteeDomain = {5015, 50};
constexpr LogField kFileTrusteeName = {5065, 512};
constexpr LogField kFileAccessMask = {5577, 4};   // or the NT status of a denied open
constexpr LogField kFileInheritance = {5581, 4};
constexpr LogField kFileFinalValue = {5585, 4};
constexpr uint32_t kFileRecordBytes = 5589;
constexpr uint32_t kFileRestoredBytes = kFileRecordBytes - kLogHeaderBytes;
static_assert(field_end(kFileAccount) == kFileAccountFqdn.offset &&
              field_end(kFileAccountFqdn) == kFileWorkstation.offset &&
              field_end(kFileWorkstation) == kFileWtsAddress.offset &&
              field_end(kFileWtsAddress) == kFileSid.offset && field_end(kFileSid) == kFileIpv4.offset &&
              field_end(kFileIpv4) + 16 == kFileIpv6.offset &&
              field_end(kFileIpv6) == kFileFolderFlag.offset &&
              field_end(kFileAceType) == kFileFolderPath.offset &&
              field_end(kFileFolderPath) == kFileShare.offset && field_end(kFileShare) == kFileName.offset &&
              field_end(kFileName) == kFileNewName.offset &&
              field_end(kFileNewName) == kFileTrusteeSid.offset &&
              field_end(kFileTrusteeSid) == kFileUnusedText.offset &&
              field_end(kFileUnusedText) == kFileTrusteeDomain.offset &&
              field_end(kFileTrusteeDomain) == kFileTrusteeName.offset &&
              field_end(kFileTrusteeName) == kFileAccessMask.offset &&
              field_end(kFileFinalValue) == kFileRecordBytes && kFileRestoredBytes == 5581,
              "file record layout");

// GPO file record (0xE4001001, 0xE4081001) and GPO file-change record
// (0xE4002000, 0xE4004000, 0xE4082000): a shared part up to 2180.
constexpr LogField kGpoFileText1 = {144, 256};
constexpr LogField kGpoFileText2 = {400, 50};
constexpr LogField kGpoFileWorkstation = {450, 32};
constexpr LogField kGpoFileWtsAddress = {482, 32};
constexpr LogField kGpoFileIpv4 = {514, 4};
constexpr LogField kGpoFileIpv6 = {534, 32};      // 16 unused bytes before it
constexpr LogField kGpoFileAccount = {566, 256};
constexpr LogField kGpoFileSid = {822, 88};
constexpr LogField kGpoFileAccountFqdn = {910, 512};
constexpr LogField kGpoFileFolderFlag = {1422, 1};
constexpr LogField kGpoFileCoreFlag = {1423, 1};
constexpr LogField kGpoFileFullPath = {1424, 756};
constexpr uint32_t kGpoFileSharedBytes = 2180;
// GPO file record.
constexpr LogField kGpoFileShare = {2180, 128};
constexpr uint32_t kGpoFileNewNameOffset = 2308;  // text to the end of the record
constexpr size_t kGpoFileNewNameBytes = 1200;     // kept of it, at most
// GPO file-change record.
constexpr LogField kGpoChangeTextA = {2180, 256};
constexpr LogField kGpoChangeTextB = {2436, 128};
constexpr LogField kGpoChangeShare = {2564, 128};
constexpr LogField kGpoChangeCount = {2692, 4};
constexpr uint32_t kGpoChangeFirstEntry = 2704;   // 8 unused bytes before it
// A change entry, offsets within the entry.
constexpr LogField kChangeEntrySection = {0, 4};
constexpr LogField kChangeEntryKind = {4, 4};
constexpr LogField kChangeEntryText1 = {8, 128};
constexpr LogField kChangeEntryText2 = {136, 128};
constexpr LogField kChangeEntryValue1 = {264, 4};
constexpr LogField kChangeEntryValue2 = {268, 4};
constexpr LogField kChangeEntryText3 = {272, 256};
constexpr uint32_t kChangeEntryText4Offset = 528;  // NUL-terminated: the entry is 529 + its length
constexpr size_t kChangeEntryText4Bytes = 2048;    // kept of it, at most
static_assert(field_end(kGpoFileText1) == kGpoFileText2.offset &&
              field_end(kGpoFileText2) == kGpoFileWorkstation.offset &&
              field_end(kGpoFileWorkstation) == kGpoFileWtsAddress.offset &&
              field_end(kGpoFileWtsAddress) == kGpoFileIpv4.offset &&
              field_end(kGpoFileIpv4) + 16 == kGpoFileIpv6.offset &&
              field_end(kGpoFileIpv6) == kGpoFileAccount.offset &&
              field_end(kGpoFileAccount) == kGpoFileSid.offset &&
              field_end(kGpoFileSid) == kGpoFileAccountFqdn.offset &&
              field_end(kGpoFileAccountFqdn) == kGpoFileFolderFlag.offset &&
              field_end(kGpoFileCoreFlag) == kGpoFileFullPath.offset &&
              field_end(kGpoFileFullPath) == kGpoFileSharedBytes &&
              field_end(kGpoFileShare) == kGpoFileNewNameOffset &&
              field_end(kGpoChangeTextA) == kGpoChangeTextB.offset &&
              field_end(kGpoChangeTextB) == kGpoChangeShare.offset &&
              field_end(kGpoChangeShare) == kGpoChangeCount.offset &&
              field_end(kGpoChangeCount) + 8 == kGpoChangeFirstEntry &&
              field_end(kChangeEntryText2) == kChangeEntryValue1.offset &&
              field_end(kChangeEntryValue2) == kChangeEntryText3.offset &&
              field_end(kChangeEntryText3) == kChangeEntryText4Offset,
              "GPO file record layouts");

// Directory record (0xFACC0011): 8 + 5581 bytes.
constexpr LogField kDirObjectClass = {144, 128};
constexpr LogField kDirObjectDn = {272, 1024};
constexpr LogField kDirNewLocation = {1296, 800};
constexpr LogField kDirExtraText = {2096, 224};
constexpr LogField kDirAttribute = {2320, 128};
constexpr LogField kDirValues = {2448, 20};       // five u32
constexpr LogField kDirNewValue = {2468, 1024};
constexpr LogField kDirOldValue = {3492, 1024};
constexpr LogField kDirRequesterSam = {4516, 250};
constexpr LogField kDirRequesterFqdn = {4766, 707};  // read only when the SAM form is present
constexpr LogField kDirWorkstation = {5473, 64};
constexpr LogField kDirIpv4 = {5537, 4};
constexpr LogField kDirIpv6 = {5557, 32};          // 16 unused bytes before it
constexpr uint32_t kDirRecordBytes = 5589;
constexpr uint32_t kDirRestoredBytes = kDirRecordBytes - kLogHeaderBytes;
constexpr size_t kLogValueCount = 5;
static_assert(field_end(kDirObjectClass) == kDirObjectDn.offset &&
              field_end(kDirObjectDn) == kDirNewLocation.offset &&
              field_end(kDirNewLocation) == kDirExtraText.offset &&
              field_end(kDirExtraText) == kDirAttribute.offset &&
              field_end(kDirAttribute) == kDirValues.offset && field_end(kDirValues) == kDirNewValue.offset &&
              field_end(kDirNewValue) == kDirOldValue.offset &&
              field_end(kDirOldValue) == kDirRequesterSam.offset &&
              field_end(kDirRequesterSam) == kDirRequesterFqdn.offset &&
              field_end(kDirRequesterFqdn) == kDirWorkstation.offset &&
              field_end(kDirWorkstation) == kDirIpv4.offset && field_end(kDirIpv4) + 16 == kDirIpv6.offset &&
              field_end(kDirIpv6) == kDirRecordBytes && kDirValues.size == 4 * kLogValueCount,
              "directory record layout");

// GPO directory record (0xE8001000, 0xE8002000) and GPO directory value
// record (0xE8004000): a shared part up to 3847.
constexpr LogField kGpoDirText1 = {144, 256};
constexpr LogField kGpoDirText2 = {400, 50};
constexpr LogField kGpoDirWorkstation = {450, 64};
constexpr LogField kGpoDirIpv4 = {514, 4};
constexpr LogField kGpoDirIpv6 = {534, 32};        // 16 unused bytes before it
constexpr LogField kGpoDirObjectClass = {566, 128};
constexpr LogField kGpoDirObjectDn = {694, 1024};
constexpr LogField kGpoDirNewLocation = {1718, 1024};  // GPO directory record only
constexpr LogField kGpoDirAttribute = {2742, 128};
constexpr LogField kGpoDirValues = {2870, 20};
constexpr LogField kGpoDirRequesterSam = {2890, 250};
constexpr LogField kGpoDirRequesterFqdn = {3140, 707};
constexpr uint32_t kGpoDirSharedBytes = 3847;
// 0xE8002000 only.
constexpr LogField kGpoDirNewValue = {3847, 1024};
constexpr uint32_t kGpoDirOldValueOffset = 4871;   // text to the end of the record
constexpr size_t kGpoDirOldValueBytes = 1024;      // kept of it, at most
// GPO directory value record.
constexpr LogField kGpoValueCount = {3847, 4};
constexpr uint32_t kGpoValueFirstEntry = 3855;     // 4 unused bytes before it
// A value entry: section u32, change kind u32, NUL-terminated text; 9 + its length.
constexpr LogField kValueEntrySection = {0, 4};
constexpr LogField kValueEntryKind = {4, 4};
constexpr uint32_t kValueEntryTextOffset = 8;
constexpr size_t kValueEntryTextBytes = 2048;      // kept of it, at most
static_assert(field_end(kGpoDirText1) == kGpoDirText2.offset &&
              field_end(kGpoDirText2) == kGpoDirWorkstation.offset &&
              field_end(kGpoDirWorkstation) == kGpoDirIpv4.offset &&
              field_end(kGpoDirIpv4) + 16 == kGpoDirIpv6.offset &&
              field_end(kGpoDirIpv6) == kGpoDirObjectClass.offset &&
              field_end(kGpoDirObjectClass) == kGpoDirObjectDn.offset &&
              field_end(kGpoDirObjectDn) == kGpoDirNewLocation.offset &&
              field_end(kGpoDirNewLocation) == kGpoDirAttribute.offset &&
              field_end(kGpoDirAttribute) == kGpoDirValues.offset &&
              field_end(kGpoDirValues) == kGpoDirRequesterSam.offset &&
              field_end(kGpoDirRequesterSam) == kGpoDirRequesterFqdn.offset &&
              field_end(kGpoDirRequesterFqdn) == kGpoDirSharedBytes &&
              field_end(kGpoDirNewValue) == kGpoDirOldValueOffset &&
              field_end(kGpoValueCount) + 4 == kGpoValueFirstEntry,
              "GPO directory record layouts");

// Logon record (0x81xxxxxx local, 0x82xxxxxx network): 8 + 2612 bytes.
constexpr LogField kLogonSecondaryCode = {140, 4};
constexpr LogField kLogonIpv4 = {144, 4};          // local: dotted order; network: u32, first number on top
constexpr LogField kLogonIpv6 = {148, 32};
constexpr LogField kLogonBlock = {180, 8};
constexpr LogField kLogonTime = {188, 16};         // SYSTEMTIME: eight u16
constexpr LogField kLogonTimingHead = {204, 8};
constexpr LogField kLogonEventTime = {212, 4};
constexpr LogField kLogonLogoffTime = {216, 4};
constexpr LogField kLogonTimingTail = {220, 4};
constexpr LogField kLogonTotalSeconds = {224, 4};  // or the failure status of a local failed logon
constexpr LogField kLogonAccount = {228, 512};
constexpr LogField kLogonAccountFqdn = {740, 512};
constexpr LogField kLogonSid = {1252, 88};
constexpr LogField kLogonLocalText = {1340, 512};  // local
constexpr LogField kLogonStation = {1852, 98};
constexpr LogField kLogonSession = {1950, 34};     // local
constexpr LogField kLogonWtsAddress = {2364, 128}; // local
constexpr LogField kLogonDomain = {2492, 64};      // local
constexpr LogField kLogonWorkstation = {2556, 64};
constexpr uint32_t kLogonRecordBytes = 2620;
constexpr uint32_t kLogonRestoredBytes = kLogonRecordBytes - kLogHeaderBytes;
static_assert(field_end(kLogonSecondaryCode) == kLogonIpv4.offset &&
              field_end(kLogonIpv4) == kLogonIpv6.offset && field_end(kLogonIpv6) == kLogonBlock.offset &&
              field_end(kLogonBlock) == kLogonTime.offset && field_end(kLogonTime) == kLogonTimingHead.offset &&
              field_end(kLogonTimingHead) == kLogonEventTime.offset &&
              field_end(kLogonEventTime) == kLogonLogoffTime.offset &&
              field_end(kLogonLogoffTime) == kLogonTimingTail.offset &&
              field_end(kLogonTimingTail) == kLogonTotalSeconds.offset &&
              field_end(kLogonTotalSeconds) == kLogonAccount.offset &&
              field_end(kLogonAccount) == kLogonAccountFqdn.offset &&
              field_end(kLogonAccountFqdn) == kLogonSid.offset &&
              field_end(kLogonSid) == kLogonLocalText.offset &&
              field_end(kLogonLocalText) == kLogonStation.offset &&
              field_end(kLogonStation) == kLogonSession.offset &&
              field_end(kLogonWtsAddress) == kLogonDomain.offset &&
              field_end(kLogonDomain) == kLogonWorkstation.offset &&
              field_end(kLogonWorkstation) == kLogonRecordBytes && kLogonRestoredBytes == 2612,
              "logon record layout");

// ---------------------------------------------------------------------------
// Plain records, decoded from restored bodies.

struct FileLogRecord {
  uint32_t type;
  uint32_t body_length;
  char profile[kLogProfile.size + 1];
  uint32_t action;
  uint32_t event_time;
  char account[kFileAccount.size + 1];
  char account_fqdn[kFileAccountFqdn.size + 1];
  char workstation[kFileWorkstation.size + 1];
  char wts_address[kFileWtsAddress.size + 1];  // empty for 0xFF330001
  char sid[kFileSid.size + 1];
  BYTE ipv4[4];   // as stored: the first byte is the first number
  BYTE ipv6[32];  // the address in its first 16 bytes
  BYTE folder;
  BYTE blocked;
  BYTE ace_type;
  char folder_path[kFileFolderPath.size + 1];
  char share[kFileShare.size + 1];
  char file_name[kFileName.size + 1];
  char new_name[kFileNewName.size + 1];
  char trustee_sid[kFileTrusteeSid.size + 1];
  char unused_text[kFileUnusedText.size + 1];
  char trustee_domain[kFileTrusteeDomain.size + 1];
  char trustee_name[kFileTrusteeName.size + 1];
  uint32_t access_mask;
  uint32_t inheritance;
  uint32_t final_value;
};

// The part that GPO file and GPO file-change records share.
struct GpoFileHead {
  uint32_t type;
  uint32_t body_length;
  char profile[kLogProfile.size + 1];
  uint32_t action;
  uint32_t event_time;
  char gpo_text1[kGpoFileText1.size + 1];
  char gpo_text2[kGpoFileText2.size + 1];
  char workstation[kGpoFileWorkstation.size + 1];
  char wts_address[kGpoFileWtsAddress.size + 1];
  BYTE ipv4[4];
  BYTE ipv6[32];
  char account[kGpoFileAccount.size + 1];
  char sid[kGpoFileSid.size + 1];
  char account_fqdn[kGpoFileAccountFqdn.size + 1];
  BYTE folder;
  BYTE core;
  char full_path[kGpoFileFullPath.size + 1];
};

struct GpoFileLogRecord {
  GpoFileHead head;
  char share[kGpoFileShare.size + 1];
  char new_name[kGpoFileNewNameBytes + 1];
};

struct GpoFileChangeLogRecord {
  GpoFileHead head;
  char text_a[kGpoChangeTextA.size + 1];
  char text_b[kGpoChangeTextB.size + 1];
  char share[kGpoChangeShare.size + 1];
  uint32_t entry_count;  // as stored; the entries actually present may be fewer
};

struct GpoChangeEntry {
  uint32_t section;
  uint32_t kind;
  char text1[kChangeEntryText1.size + 1];
  char text2[kChangeEntryText2.size + 1];
  uint32_t value1;
  uint32_t value2;
  char text3[kChangeEntryText3.size + 1];
  char text4[kChangeEntryText4Bytes + 1];
};

struct DirectoryLogRecord {
  uint32_t type;
  uint32_t body_length;
  char profile[kLogProfile.size + 1];
  uint32_t action;
  uint32_t event_time;
  char object_class[kDirObjectClass.size + 1];
  char object_dn[kDirObjectDn.size + 1];
  char new_location[kDirNewLocation.size + 1];
  char extra_text[kDirExtraText.size + 1];
  char attribute[kDirAttribute.size + 1];
  uint32_t values[kLogValueCount];
  char new_value[kDirNewValue.size + 1];
  char old_value[kDirOldValue.size + 1];
  char requester_sam[kDirRequesterSam.size + 1];
  char requester_fqdn[kDirRequesterFqdn.size + 1];  // empty when the SAM form is
  char workstation[kDirWorkstation.size + 1];
  BYTE ipv4[4];
  BYTE ipv6[32];
};

// The part that GPO directory and GPO directory value records share.
struct GpoDirectoryHead {
  uint32_t type;
  uint32_t body_length;
  char profile[kLogProfile.size + 1];
  uint32_t action;
  uint32_t event_time;
  char gpo_text1[kGpoDirText1.size + 1];
  char gpo_text2[kGpoDirText2.size + 1];
  char workstation[kGpoDirWorkstation.size + 1];
  BYTE ipv4[4];
  BYTE ipv6[32];
  char object_class[kGpoDirObjectClass.size + 1];
  char object_dn[kGpoDirObjectDn.size + 1];
  char attribute[kGpoDirAttribute.size + 1];
  uint32_t values[kLogValueCount];
  char requester_sam[kGpoDirRequesterSam.size + 1];
  char requester_fqdn[kGpoDirRequesterFqdn.size + 1];  // empty when the SAM form is
};

struct GpoDirectoryLogRecord {
  GpoDirectoryHead head;
  char new_location[kGpoDirNewLocation.size + 1];
  char new_value[kGpoDirNewValue.size + 1];  // 0xE8002000 only
  char old_value[kGpoDirOldValueBytes + 1];  // 0xE8002000 only
};

struct GpoDirectoryValueLogRecord {
  GpoDirectoryHead head;
  uint32_t entry_count;  // as stored; the entries actually present may be fewer
};

struct GpoValueEntry {
  uint32_t section;
  uint32_t kind;  // 0 removed, 1 added, else changed
  char text[kValueEntryTextBytes + 1];
};

struct LogonLogRecord {
  uint32_t type;
  uint32_t body_length;
  char profile[kLogProfile.size + 1];
  uint32_t action;
  uint32_t secondary_code;
  BYTE ipv4[4];  // as stored; see kLogonIpv4
  BYTE ipv6[32];
  BYTE block[8];
  SYSTEMTIME logon_time;
  BYTE timing_head[8];
  uint32_t event_time;
  uint32_t logoff_time;
  BYTE timing_tail[4];
  uint32_t total_seconds;  // or the failure status of a local failed logon
  char account[kLogonAccount.size + 1];
  char account_fqdn[kLogonAccountFqdn.size + 1];
  char sid[kLogonSid.size + 1];
  char local_text[kLogonLocalText.size + 1];  // local types only
  char station[kLogonStation.size + 1];
  char session[kLogonSession.size + 1];        // local types only
  char wts_address[kLogonWtsAddress.size + 1]; // local types only
  char logon_domain[kLogonDomain.size + 1];    // local types only
  char workstation[kLogonWorkstation.size + 1];
};

struct DecodedLogRecord {
  LogFamily family;
  union {
    FileLogRecord file;
    LogonLogRecord logon;
    DirectoryLogRecord directory;
    GpoFileLogRecord gpo_file;
    GpoFileChangeLogRecord gpo_file_change;
    GpoDirectoryLogRecord gpo_directory;
    GpoDirectoryValueLogRecord gpo_directory_value;
  };
};

// Each decoder takes a restored body and its length. Bytes that the body does
// not hold read as zero, so a short body gives empty fields, never a read
// beyond it. The output is cleared first.
void decode_file_record(uint32_t type, const BYTE* body, size_t body_length, FileLogRecord* out);
void decode_gpo_file_record(uint32_t type, const BYTE* body, size_t body_length, GpoFileLogRecord* out);
void decode_gpo_file_change_record(uint32_t type, const BYTE* body, size_t body_length,
                                   GpoFileChangeLogRecord* out);
void decode_directory_record(uint32_t type, const BYTE* body, size_t body_length, DirectoryLogRecord* out);
void decode_gpo_directory_record(uint32_t type, const BYTE* body, size_t body_length,
                                 GpoDirectoryLogRecord* out);
void decode_gpo_directory_value_record(uint32_t type, const BYTE* body, size_t body_length,
                                       GpoDirectoryValueLogRecord* out);
void decode_logon_record(uint32_t type, const BYTE* body, size_t body_length, LogonLogRecord* out);
// By family; FALSE (family none) for a type that is not valid.
BOOL decode_log_record(uint32_t type, const BYTE* body, size_t body_length, DecodedLogRecord* out);

// Entry walks: *record_offset starts at kGpoChangeFirstEntry / kGpoValueFirstEntry
// and moves past each entry read. FALSE when no further entry fits in the body
// (an entry whose final text has no NUL ends at the body's end).
BOOL read_gpo_change_entry(const BYTE* body, size_t body_length, size_t* record_offset, GpoChangeEntry* out);
BOOL read_gpo_value_entry(const BYTE* body, size_t body_length, size_t* record_offset, GpoValueEntry* out);

// ---------------------------------------------------------------------------
// Splitting a byte range of a log file into records.
//
// The splitter reads through a positional read function into a buffer of its
// caller, returns each record's header and body in place, skips damaged
// stretches by scanning forward, from just after the bad 8-byte header, for
// the next valid type code in windows of 170000 bytes that overlap by 100 (so
// a garbage run shorter than a header also hides the record that follows it),
// and stops at the end of the range, at a
// record cut short, or at a body length of 180000 or more.

// Reads up to `count` bytes at `position`; *got is 0 at the end of the data.
// FALSE on a read failure, with the Win32 error code set and *got the bytes
// delivered before it.
typedef BOOL (*LogReadFn)(void* context, uint64_t position, BYTE* out, DWORD count, DWORD* got);

constexpr uint32_t kLogWindowBytes = 170000;
constexpr uint32_t kLogWindowOverlap = 100;
constexpr uint32_t kLogWindowTail = 11;  // a type code is taken only with this many bytes from it to the window's end
constexpr size_t kLogSplitBufferBytes = 262144;
static_assert(kLogSplitBufferBytes >= kLogHeaderBytes + kLogEndOfFileLength &&
                  kLogSplitBufferBytes >= kLogWindowBytes,
              "the buffer holds the largest record and a whole window");

enum LogSplitEvent : uint32_t {
  kLogSplitRecord = 1,  // a record: type, body and body length
  kLogSplitDamage = 2,  // a damaged stretch skipped: position, skipped bytes, the bad type code
  kLogSplitEnd = 3,     // no more records: the reason
};

enum LogSplitEnd : uint32_t {
  kLogEndNone = 0,
  kLogEndClean = 1,             // the range ends after a whole record
  kLogEndInsideHeader = 2,      // fewer than 8 bytes left
  kLogEndCutRecord = 3,         // the last record is cut short
  kLogEndOverlongLength = 4,    // a body length of 180000 or more
  kLogEndNoRecordFound = 5,     // damage that runs to the end, or a scan window that cannot be read
                                //   (reported as damage first)
  kLogEndReadFailed = 6,        // the read function failed (read_error holds its code)
};

struct LogSplitter {
  LogReadFn read;
  void* context;
  BYTE* buffer;
  size_t buffer_size;
  uint64_t end;              // the range ends here (a short read brings it forward)
  uint64_t position;         // where the next record header is expected
  uint64_t held_start;       // the buffer holds [held_start, held_start + held)
  size_t held;
  uint32_t last_valid_type;  // for diagnostics
  BOOL scan_read_result;     // the last scan window's read: TRUE, or FALSE when it failed
  uint32_t scan_bytes_read;  // and the bytes it read
  BOOL read_result;          // the last call of the read function: its result
  DWORD bytes_read;          // and the bytes it delivered
  LogSplitEnd end_reason;    // kLogEndNone while records may follow
  DWORD read_error;
  uint64_t records;
  uint64_t damaged_stretches;
  uint64_t skipped_bytes;
};

struct LogSplitItem {
  LogSplitEvent event;
  uint64_t position;     // record start, damaged stretch start, or where the end was met
  uint32_t type;         // record type; damage: the bad code at its start; end: the header's type, if read
  uint32_t body_length;  // record: body bytes; overlong end: the length field
  BYTE* body;            // record: the scrambled body in the splitter's buffer, until the next call
  uint64_t skipped;      // damage: bytes skipped; cut record or header: the bytes present
  LogSplitEnd end_reason;
};

// The buffer must hold kLogSplitBufferBytes; FALSE otherwise.
BOOL begin_log_split(LogSplitter* splitter, LogReadFn read, void* context, BYTE* buffer,
                     size_t buffer_size, uint64_t start, uint64_t end);
// The next event; after the end, the end again.
LogSplitEvent next_log_split(LogSplitter* splitter, LogSplitItem* item);

// Read functions: a file handle (64-bit positioning with SetFilePointerEx), or bytes in memory.
BOOL read_log_file_at(void* file_handle, uint64_t position, BYTE* out, DWORD count, DWORD* got);
// The size of an open file, found by seeking to its end; the file position is left at 0.
BOOL log_file_size(HANDLE file, uint64_t* size);

struct LogMemory {
  const BYTE* bytes;
  size_t size;
};
BOOL read_log_memory_at(void* log_memory, uint64_t position, BYTE* out, DWORD count, DWORD* got);
