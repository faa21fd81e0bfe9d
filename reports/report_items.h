// Report rows: the row context that travels with every report row (it is the
// list item record the host keeps for the row) and the report row items, one
// per row, that copy a log record's fields. Items and their texts come from
// the memory pair; once a row is inserted the host's record owns its item,
// and the list item store frees it through free_report_row_item.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/list_item.h"
#include "host/win32.h"
#include "reports/log_format.h"

// ---------------------------------------------------------------------------
// Row context: a list item record (kListItemBytes). The header's three words
// are the host's; these fields lie in the key area.

constexpr size_t kRowContextBytes = kListItemBytes;
constexpr size_t kRowStoppedOffset = 84;       // u32: 1 on a row that announces a stop
constexpr size_t kRowTypeOffset = 88;          // u32: type code of the record behind the row
constexpr size_t kRowActionOffset = 92;        // u32: its action code
constexpr size_t kRowTimeSortKeyOffset = 96;   // u32: written when the row's time is formatted
constexpr size_t kRowServerNameOffset = 128;   // text: the reporting server
constexpr size_t kRowServerNameBytes = 256;
static_assert(kRowServerNameOffset + kRowServerNameBytes <= kOwnedSlotsOffset, "context fields before the slots");

// The seven item slots are the record's seven feature-structure slots, in family order.
inline int row_item_slot(LogFamily family) { return kOwnedFeatureFirst + static_cast<int>(family) - 1; }
static_assert(kOwnedFeatureStructures == 7 && kLogFamilyGpoDirectoryValue == 7, "one slot per family");

inline uint32_t row_u32(const BYTE* context, size_t offset) { return load_le32(context + offset); }
inline void set_row_u32(BYTE* context, size_t offset, uint32_t value) { store_le32(context + offset, value); }
const char* row_server_name(const BYTE* context);  // always terminated inside its field
void set_row_server_name(BYTE* context, const char* name);
// The family whose slot holds an item (the first such slot) and the item; none and null when empty.
LogFamily row_item(const BYTE* context, void** item);
void set_row_item(BYTE* context, LogFamily family, void* item);  // clears the other six slots

// ---------------------------------------------------------------------------
// Report row items. Text fields point to their own allocation (length + 2
// bytes, + 5 for change-entry texts); an empty field is a null pointer.

struct FileRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  uint32_t action;
  uint32_t event_time;
  char* account;
  char* account_fqdn;
  char* workstation;
  char* wts_address;  // 0xFF330002 only
  char* sid;
  BYTE ipv4[4];
  BYTE zero[16];
  BYTE ipv6[32];
  BYTE folder;
  BYTE blocked;
  BYTE ace_type;
  char* folder_path;
  char* share;
  char* file_name;
  char* new_name;  // or the ACL trustee's FQDN; emptied when the action does not keep it
  char* trustee_sid;
  char* unused_text;
  char* trustee_domain;
  char* trustee_name;
  uint32_t access_mask;  // or the NT status of a denied open
  uint32_t inheritance;
  uint32_t final_value;
};

struct GpoFileRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  char* gpo_text1;
  char* gpo_text2;
  uint32_t action;
  uint32_t event_time;
  char* account;
  char* account_fqdn;
  char* workstation;
  char* wts_address;
  char* sid;
  BYTE ipv4[4];
  BYTE zero[16];
  BYTE ipv6[32];
  BYTE folder;
  BYTE core;
  char* full_path;
  char* share;
  char* file_name;  // after the full path's last backslash; files only
  char* new_name;
};

struct GpoFileChangeRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  char* gpo_text1;
  char* gpo_text2;
  uint32_t action;
  uint32_t event_time;
  char* account;
  char* account_fqdn;
  char* workstation;
  char* wts_address;
  char* sid;
  BYTE ipv4[4];
  BYTE zero[16];
  BYTE ipv6[32];
  BYTE folder;
  BYTE core;
  char* full_path;
  char* text_a;
  char* text_b;
  char* share;
  uint32_t section;  // the row's change entry
  uint32_t kind;
  char* change_text1;
  char* change_text2;
  uint32_t value1;
  uint32_t value2;
  char* change_text3;
  char* change_text4;
};

struct DirectoryRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  uint32_t action;
  uint32_t event_time;
  uint32_t values[kLogValueCount];
  char* object_dn;
  char* extra_text;
  char object_class[kDirObjectClass.size + 1];
  char attribute[kDirAttribute.size + 1];
  char* new_value;  // the new location or name for Rename and Move
  char* old_value;
  BYTE ipv4[4];
  BYTE ipv6[32];
  char* requester_sam;
  char* requester_fqdn;
  char* workstation;
  char* attribute_comment;
};

// GPO directory record and GPO directory value record.
struct GpoDirectoryRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  char* gpo_text1;
  char* gpo_text2;
  uint32_t action;
  uint32_t event_time;
  uint32_t values[kLogValueCount];
  char* object_dn;
  char object_class[kGpoDirObjectClass.size + 1];
  char attribute[kGpoDirAttribute.size + 1];
  char* new_value;  // 0xE8002000, or the new location or name for Rename and Move
  char* old_value;  // 0xE8002000
  BYTE ipv4[4];
  BYTE ipv6[32];
  char* requester_sam;
  char* requester_fqdn;
  char* workstation;
  uint32_t section;  // value item: the row's value entry
  uint32_t kind;
  char* entry_text;
};

struct LogonRowItem {
  uint32_t type;
  uint32_t body_length;
  char* profile;
  uint32_t action;
  uint32_t secondary_code;
  BYTE ipv4[4];
  BYTE ipv6[32];
  BYTE block[8];
  SYSTEMTIME logon_time;
  BYTE timing[20];  // event time at its byte 8, logoff time at 12
  uint32_t total_seconds;  // or the failure status of a local failed logon
  char* account;
  char* account_fqdn;
  char* sid;
  char* local_text;
  char* station_session;  // 132 bytes: station name, session name 98 bytes in
  char* wts_address;
  char* logon_domain;
  char* workstation;
};

constexpr size_t kStationSessionBytes = 132;
constexpr size_t kSessionOffset = 98;
constexpr size_t kLogonTimingEventOffset = 8;
constexpr size_t kLogonTimingLogoffOffset = 12;

uint32_t logon_event_time(const LogonRowItem* item);
uint32_t logon_logoff_time(const LogonRowItem* item);
inline const char* logon_station(const LogonRowItem* item) {
  return item->station_session ? item->station_session : nullptr;
}
inline const char* logon_session(const LogonRowItem* item) {
  return item->station_session ? item->station_session + kSessionOffset : nullptr;
}

// Items from decoded records; null when memory runs out (nothing is kept then).
// keep_new_name FALSE empties the new-name field.
FileRowItem* make_file_row_item(const FileLogRecord& r, BOOL keep_new_name);
GpoFileRowItem* make_gpo_file_row_item(const GpoFileLogRecord& r, BOOL keep_new_name);
GpoFileChangeRowItem* make_gpo_file_change_row_item(const GpoFileChangeLogRecord& r, const GpoChangeEntry& entry);
DirectoryRowItem* make_directory_row_item(const DirectoryLogRecord& r);
GpoDirectoryRowItem* make_gpo_directory_row_item(const GpoDirectoryLogRecord& r);
GpoDirectoryRowItem* make_gpo_directory_value_row_item(const GpoDirectoryValueLogRecord& r,
                                                       const GpoValueEntry& entry);
LogonRowItem* make_logon_row_item(const LogonLogRecord& r);

// Frees an item of the family with all its texts (null is fine).
void free_report_row_item(LogFamily family, void* item);
// The seven report row items a list item record owns, in their slots.
void free_report_row_items(BYTE* record);
// The event time of any item (the logon record's time at 212).
uint32_t row_item_event_time(LogFamily family, const void* item);

// The attribute comment of a directory change: for useraccountcontrol the
// flags added and removed, for lastLogon the new value as a local time; else empty.
void format_attribute_comment(const char* attribute, const char* new_value, const char* old_value, char* out,
                              size_t size);
