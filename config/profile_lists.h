// The lists of a tracking profile (and the server-wide ones under the product
// key when the profile name is empty): Kerberos failure codes, logon names,
// alert e-mail addresses and their account filters, IPv4 ranges and excluded
// accounts. Each list is edited in a host list control and saved whole.
//
// Rows are written as they are listed; only a row that is not a range at all
// stops an IP range save before anything is written. The values of the key
// being changed are kept before the first write; when a write fails part-way
// they are put back, so a list is never left half-saved.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/list_item.h"
#include "host/win32.h"

// Feature data of a row lives in the record's key area, after the duplicate mark.
constexpr size_t kRowDataOffset = kListItemHeaderBytes + 4;
constexpr size_t kRowDataLimit = kOwnedSlotsOffset;

// Starts a row record from the list event's record, or from the list's own descriptor.
void start_row_record(BYTE* record, HWND list, const BYTE* event_record);
// Adds a row through host_insert_item; icon counts from the base image index.
// false when the host offers no such service.
bool insert_list_row(HWND list, const char* text, int icon, const BYTE* record);
// Row n of a host list through host_get_list_row: its text and record (null when
// it has none); false past the last row.
bool read_list_row(HWND list, int row, char* text, size_t size, const BYTE** record);

// Moves the selected rows of one list to the other (rows whose text the target
// has already are dropped). The number moved.
DWORD MovePairedRows(HWND from, HWND to);

// ---- Kerberos failure codes (KErrors) -------------------------------------------
constexpr int kKerberosCodeLimit = 80;
// The code's text, or null for a code that is never listed.
const char* kerberos_code_text(int code);
DWORD ListKerberosCodes(HWND list, const BYTE* event_record);
DWORD ListTrackedKerberosCodes(const char* server, const char* profile, HWND list, const BYTE* event_record);
DWORD SaveKerberosCodes(HWND list, const char* server, const char* profile);

// ---- Logon names and alert e-mail addresses ----------------------------------------
constexpr DWORD kListClearAll = 134;
constexpr DWORD kListRemove = 0;
constexpr DWORD kListWrite = 1;
constexpr size_t kLogonNameChars = 256;
constexpr size_t kEmailChars = 254;
// Only what a value name and a row cannot hold is refused (nothing typed, too long,
// a control character): false after telling the user.
bool CheckLogonName(HWND owner, const char* name);
bool CheckEmailAddress(HWND owner, const char* address);
DWORD ListLogonNames(const char* server, const char* profile, HWND list, const BYTE* event_record);
DWORD ListAlertEmails(const char* server, const char* profile, HWND list, const BYTE* event_record);
// Adds a row after the checks; 0 for a refused or duplicate name.
DWORD AddLogonName(HWND list, const char* name, DWORD marker, const BYTE* event_record);
DWORD AddAlertEmail(HWND list, const char* address, const BYTE* event_record);
DWORD UpdateLogonName(const char* name, const char* server, const char* profile, DWORD operation, DWORD marker);
DWORD UpdateAlertEmail(const char* name, const char* server, const char* profile, DWORD operation);
DWORD SaveLogonNames(HWND list, const char* server, const char* profile, DWORD merge);
DWORD SaveAlertEmails(HWND list, const char* server, const char* profile, DWORD merge);
// The marker flag of a logon name row.
DWORD logon_row_marker(const BYTE* record);

// ---- Alert account filters -------------------------------------------------------
constexpr DWORD kAlertAccountsQuery = 0;
constexpr DWORD kAlertAccountsSet = 1;
constexpr size_t kAlertAccountsBytes = 6000;
// Query fills both buffers (kAlertAccountsBytes + 1 each) with at most the first 6000 bytes of
// each text; set writes or deletes both, whatever their length. 0 or the Windows error (only a
// failed connection is shown).
DWORD SetEmailAlertAccounts(DWORD query_or_set, const char* server, const char* profile, char* not_accounts,
                            char* ok_accounts);
// The EMAIL_ALERTS_POPTS dialog: shows both filters and saves them on OK. IDOK, or IDCANCEL
// when cancelled or when the save failed.
INT_PTR EditEmailAlertAccounts(HWND owner, const char* server, const char* profile);

// ---- IPv4 ranges (IP_Ranges) ----------------------------------------------------
struct IpRange {
  BYTE from[4];  // octets in dotted order
  BYTE to[4];
  BYTE flag;
};
// Checks the eight dialog fields (four octets of each address); false after the message.
bool CheckIpRange(HWND owner, const char* const fields[8], IpRange* range);
// 16 lower-case hex digits: the start octets, then the end octets.
void ip_range_value_name(const IpRange& range, char* out, size_t size);
void ip_range_text(const IpRange& range, char* out, size_t size);
DWORD AddIpRange(HWND list, const IpRange& range, const BYTE* event_record);
DWORD ListIpRanges(const char* server, const char* profile, HWND list, const BYTE* event_record);
DWORD SaveIpRanges(HWND list, const char* server, const char* profile);
// The same on the IP_Ranges subkey of a key the caller opened (a profile's, or the sibling key);
// a save writes the rows that hold a range, with the removal failure titled as given.
DWORD ListIpRangesOf(HKEY owner, HWND list, const BYTE* event_record);
DWORD SaveIpRangesOf(HKEY owner, HWND list, const char* removal_title);

// ---- Excluded accounts (Excluded) ------------------------------------------------
constexpr size_t kSidTextBytes = 200;
DWORD ListExcluded(const char* server, const char* profile, HWND list, const BYTE* event_record);
// Looks the account up on the server and adds its row; 0 when refused.
DWORD AddExcludedAccount(HWND list, const char* server, const char* account, DWORD word, const BYTE* event_record);
DWORD SaveExcluded(HWND list, const char* server, const char* profile);

// ---- Directory objects, classes and attributes to track; group policy objects ----------
// Each entry of ObjTrack, ObjClassTrack and AttrTrack is its text followed by
// its option word as "%08X": a directory row's DN or name and its option, or
// a row's text and the word its record keeps.
constexpr DWORD kAttributeExclude = 0x40000;
DWORD SaveObjTrack(HWND list, const char* server, const char* profile);
DWORD SaveObjClassTrack(HWND list, const char* server, const char* profile);
DWORD SaveAttrTrack(HWND list, const char* server, const char* profile);
// Lists the three values' entries into the lists given (null: not listed); the number listed.
DWORD GetDirectoryTrackingDetails(const char* server, const char* profile, HWND objects, HWND classes,
                                  HWND attributes);
// The option word a listed tracking row keeps.
DWORD tracking_row_option(const BYTE* record);
// GPOsTracked: value name the row's text, data the policy object's path; only the
// policy objects the domain still has are listed.
DWORD ListGposTracked(const char* server, const char* profile, HWND list);
DWORD SaveGposTracked(HWND list, const char* server, const char* profile);
