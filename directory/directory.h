// Directory services: the choice lists of directory and group policy
// tracking profiles filled from the directory (schema names, containers,
// users, contacts, groups, policies), the agents' service connection points
// and the settings published to them, and the rollback of a recorded
// attribute change. The console works through ADSI with the rights of the
// console user; wide text is converted explicitly where it meets 8-bit text.
#pragma once
#include "host/win32.h"

#include <activeds.h>

#include <cstddef>
#include <cstdint>

// ---- Process-global state ----------------------------------------------------

constexpr size_t kDirectoryPathBytes = 1024;
constexpr size_t kMaxServicePoints = 256;

// A service connection point of an agent: its entry and the type read from
// its keyword "VNXLLType=N" (0: settings are never published to it).
struct ServicePoint {
  char dn[kDirectoryPathBytes];
  DWORD type;
};

struct DirectoryState {
  volatile DWORD search_running;  // one directory search at a time
  char bound_server[256];         // the server the console binds to; empty: the console's domain
  ServicePoint points[kMaxServicePoints];
  DWORD point_count;
  HWND picker;              // the open picker dialog, whose icon follows the kind it lists
  const char* picker_icon;  // the name of the icon it shows; null: none
};
extern DirectoryState g_directory;

// ---- Rows of directory lists ---------------------------------------------------

// The eighth feature structure of a row's record: what the row stands for in
// the directory, and the option word it carries into the tracking lists.
struct DirectoryRowEntry {
  DWORD kind;    // the list kind (kListUsers, ...) or kListSchema, kListTracked, kListServicePoints
  DWORD option;  // option word of a tracking list entry (0x40000: exclude)
  char path[kDirectoryPathBytes];  // distinguished name, adsPath, gPCFileSysPath or schema name
};
// The row's entry, or null when its record has none.
const DirectoryRowEntry* row_directory_entry(const BYTE* record);
// Starts a row record for a list (as the list frame does) carrying an entry; false without memory.
bool start_directory_row(BYTE* record, HWND list, DWORD kind, DWORD option, const char* path);
// Frees the entry a row's record owns (delete_list_item).
void free_directory_row_entry(BYTE* record);
// Adds a row through host_insert_item with a host image number.
void insert_directory_row(HWND list, const char* text, int image, BYTE* record);

// ---- Names, paths and filters ---------------------------------------------------

// A value placed in an LDAP filter, escaped as RFC 4515 says (\2a \28 \29 \5c \00).
void escape_filter_value(const char* value, char* out, size_t size);
// Whether a name may be an attribute's LDAP display name (letters, digits, hyphens; a letter first).
bool is_attribute_name(const char* name);
// "LDAP://" (and the server and "/" when one is given) followed by the DN with "/" escaped as "\/".
void ldap_path(const char* server, const char* dn, char* out, size_t size);
// "DC=a,DC=b" of the DNS name "a.b" (leading slashes ignored).
void dns_name_to_dn(const char* dns_name, char* out, size_t size);
// The domain's distinguished name: the part after ",DC=" (any capitalisation) of a
// text that holds one, else from the DNS name of the console's domain controller.
// Both outputs may be null. False when the locator does not answer.
bool DomainDnFromName(const char* text, char* dn, size_t dn_size, WCHAR* wide_dn, size_t wide_units);
// The DNS name of the console's forest, as its domain controller gives it; false when the locator does not answer.
bool console_forest_name(char* out, size_t size);

// ---- Lists of the picker ---------------------------------------------------------

// List kinds: the search scope and the attributes read follow from them.
constexpr DWORD kListUsersOneLevel = 9;
constexpr DWORD kListContainers = 10;
constexpr DWORD kListContacts = 11;
constexpr DWORD kListUsers = 0x3DF;
constexpr DWORD kListGroups = 0x3E0;
constexpr DWORD kListSearch = 0x3E5;
constexpr DWORD kListGpos = 0x3E6;
constexpr DWORD kListSearchOneLevel = 0x3E7;
constexpr DWORD kListSchema = 0x4000;
constexpr DWORD kListTracked = 0x4001;
constexpr DWORD kListServicePoints = 0x4002;

// The filter of a list kind (containers, users, contacts, groups, any object, policies).
const char* directory_kind_filter(DWORD kind);
// Host image of the error row and the icon positions of the directory rows.
constexpr int kHostErrorImage = 67;
constexpr int kIconAdUser = 50;
constexpr int kIconAdContainer = 51;
constexpr int kIconAdContact = 52;
constexpr int kIconAdGroup = 31;
constexpr int kIconTrackObject = 64;
constexpr int kIconTrackClass = 65;
constexpr int kIconTrackAttribute = 66;
constexpr int kIconGpo = 89;
constexpr int kIconServicePoint = 9;

// Fills a list with the schema's attribute or class names; the number of rows.
DWORD FillSchemaList(HWND list, DWORD selector, int image_offset, DWORD row_options);
// One directory search into a list; the number of rows (0 at once while another search runs).
DWORD FillDirectoryList(HWND list, DWORD kind, const char* base_path, const char* filter, int image_offset,
                        DWORD row_options);
// The group policy objects of a server's domain (server null or empty: the console's domain).
DWORD FillGpoList(HWND list, const char* server);
// Whether a group policy object with this gPCFileSysPath is in the server's domain (server null or
// empty: the console's domain).
bool GpoPathExists(const char* server, const char* file_system_path);

// ---- The picker dialog -------------------------------------------------------------

// Option word of an attribute entry excluded from tracking.
constexpr DWORD kEntryExcluded = 0x40000;
// Lets the user choose directory entries for a tracking list of a profile form (objects, classes,
// attributes or group policy objects, by the list's identifier) and adds the chosen ones that the
// list does not hold yet; the number added.
DWORD PickTrackingEntries(HWND owner, HWND tracking_list);
// The picker's window icon follows the kind of directory entries listed into its list.
void show_picker_kind(HWND list, DWORD kind);

// ---- Service connection points ----------------------------------------------------

// Lists the agents' points of a forest or domain into the list (each found or added
// by its server's name) and keeps them in the console's table; the number found.
DWORD ListServicePoints(HWND list, const char* forest);
// Publishes "VNXLL=<setting>" to every point of the table: removed from types 1 to 3,
// appended to types 4 and above. The number of points changed.
DWORD PublishServicePointSetting(const char* setting);
// Lists the points of the console's forest into the table, then publishes the setting to them;
// the number of points changed (0 for a console outside a domain).
DWORD PublishToForestServicePoints(const char* setting);

// ---- Attribute values and rollback --------------------------------------------------

constexpr DWORD kSyntaxNotFound = 255;
constexpr DWORD kSyntaxLookUp = 199;
constexpr LONG kParseValueText = -3;
constexpr DWORD kModifyDone = 0;
constexpr DWORD kModifySyntaxUnknown = 39313;
constexpr DWORD kModifyOutOfMemory = 65327;
constexpr DWORD kModifyNoDirectoryInterface = 65343;
constexpr DWORD kModifyRefused = 39202;
constexpr DWORD kModifyCountWrong = 39185;
constexpr DWORD kModifyNoObject = 511;

// The value type of an attribute by the schema's attributeSyntax; 255 when the
// schema has no such attribute. server: a server or domain, null or empty for the default.
DWORD LookupAttributeSyntax(const char* server, const char* attribute, DWORD* single_valued);
// Applies one change; mode 1 clears first, mode 2 only clears.
DWORD ModifyAttribute(BOOL delete_value, const char* dn, const char* attribute, const char* value, DWORD type,
                      DWORD mode, LONG integer_value, LONGLONG large_value, DWORD single_valued);
// The number of the attribute's current values equal (ignoring case) to the text; its type.
DWORD CountMatchingValues(const char* dn, const char* attribute, const char* text, DWORD* type);
// Whether one of an attribute's values equals (ignoring case) a recorded value text: objectClass
// values as they are shown, others by their string form.
bool ads_value_matches(const char* attribute, DWORD type, const ADSVALUE& value, const char* text);
// The display text of one value.
void FormatAdsValue(char* out, size_t size, const char* attribute, DWORD type, const ADSVALUE& value);
// Rolls back the recorded changes of the selected rows of a directory report list.
// The number of rows whose change was written.
DWORD RollbackDirectoryChanges(HWND owner, HWND report_list);
// A report row of a directory change that adds or removes a value: one that can be rolled back.
bool is_rollback_row(const BYTE* record);
