// Server configuration values: the one get/set operation that maps each
// identifier of the server property views to its value under the product key
// (root 1) or the sibling key (root 2), with the value's type, default, clamp
// and messages; the property forms filled from and saved to a server; and
// the list-valued settings with their own operations.
#pragma once
#include <cstddef>
#include <cstdint>

#include "config/registry.h"
#include "host/win32.h"

constexpr DWORD kProductRoot = 1;
constexpr DWORD kSiblingRoot = 2;

// A setting's text as shown: values are read into an area this large (terminator included).
constexpr size_t kSettingTextBytes = 2250;
// The password block: start offset at most 143, two bytes per character and the terminator.
constexpr size_t kPasswordBlockBytes = 256;
constexpr size_t kPasswordMostChars = 56;
constexpr size_t kValidHoursGridBytes = 21;  // 7 days of 24 hours, one bit each

// The title of a failed connection while reading or writing a setting.
constexpr char kServerSettingTitle[] = "UNABLE TO GET SERVER CONFIG DATA";

// What a setting does with a value on writing and on reading.
enum class SettingRule : uint8_t {
  kText,          // REG_SZ; an empty text deletes the value
  kTextAlways,    // REG_SZ written also when empty; shown empty: the console user's directory name
  kArchivePath,   // text; no backslash in either of its first two characters: treated as empty
  kFirstLabel,    // text cut at its first "."
  kNumber,        // REG_DWORD as given; missing reads 0
  kRefreshCycle,  // clamped to 15..1440 on writing and reading
  kPurgeOption,   // 1 to 6 become 7 on writing and reading
  kPurgeDays,     // below 7 becomes 7 on writing
  kPort,          // 0 or 49152..65535: clamped with a message on writing, silently on reading (written back)
  kZeroDeletes,   // REG_DWORD; 0 deletes the value
  kAlwaysZero,    // REG_DWORD written as 0 whatever is given
  kRawBytes,      // read only: the first 4 bytes of the value
  kPassword,      // the 256-byte password block; never read back
};

struct ServerSettingInfo {
  uint32_t id;
  DWORD root;
  const char* value;
  SettingRule rule;
  bool read_only;
};

// Every identifier ServerSetting serves, product key first, in the order of the property views.
struct ServerSettingTable {
  const ServerSettingInfo* settings;
  size_t count;
};
ServerSettingTable server_settings();
// The setting of an identifier; null for one that is not a setting.
const ServerSettingInfo* server_setting(uint32_t id);
// The first setting of a value name (as the registry spells it, case ignored) on either root.
const ServerSettingInfo* server_setting_named(const char* value_name);
// Whether the setting holds a number (its text is shown and given as "%d").
bool is_number_setting(const ServerSettingInfo& setting);

// Opens the root key of the settings on a server's HKEY_LOCAL_MACHINE: the product key (root 1) as it
// is, never made; the sibling key (any other root), made when missing. 0 or the Windows error.
LONG open_settings_root(HKEY machine, const char* server, DWORD root, REGSAM rights, HKEY* key);

// A decimal number as an edit field gives it: leading blanks and a sign, then the leading
// digits; text without digits is 0.
LONG decimal_value(const char* text);

// Reads (set 0) the value of an identifier into text (kSettingTextBytes), numbers as "%d", or
// writes it (set 1) from number (number kinds) or text (text kinds). Root 1 opens the product
// key, any other root the sibling key, made when missing. server_key is the server's
// HKEY_LOCAL_MACHINE, or null to connect by name. A server record that marks the server
// offline or without permission gives its text and reads nothing. An unknown identifier
// does nothing. 0 or the Windows error (shown to the user).
DWORD ServerSetting(DWORD root, HKEY server_key, const char* server, uint32_t id, char* text, LONG number,
                    HWND owner, const BYTE* server_record, DWORD set);

// The password block for a password of at most kPasswordMostChars characters: filler bytes
// (new ones each time), the start offset from the first byte, each character of the password
// and its terminator transformed at start + 2 i. false for a longer password.
bool BuildPasswordBlock(const char* password, BYTE block[kPasswordBlockBytes]);
// The transform the agent undoes, and its inverse.
BYTE password_byte(BYTE c);
BYTE password_char(BYTE stored);
// Filler for the password blocks: every call gives a new run of bytes, in this load of the
// library and in any other.
void password_filler(BYTE* bytes, size_t count);
// Where the first character lies in a block with this first byte.
size_t password_start(BYTE first);

// The property forms: every edit field and check box of the screen whose identifier is a
// setting of the root (and, on the product form, its report-to lists) is read from the server
// (Fill) or written to it (Save, which stops at the first value that fails). The change
// counters are refreshed after a fill and after a whole save. 0 or the Windows error.
DWORD FillServerSettingsForm(HWND screen, const char* server, DWORD root, const BYTE* server_record);
DWORD SaveServerSettingsForm(HWND screen, const char* server, DWORD root);

// ---- List-valued settings ----------------------------------------------------------

// Requests of ListReportTo that read DepartmentsReportTo; any other reads EnterpriseHostsReportTo.
constexpr uint32_t kReportToDepartmentsRequest = 0x603400CF;
constexpr uint32_t kReportToDepartmentsList = 0x60340093;
constexpr DWORD kSaveDepartments = 1;  // SaveReportTo: 1 departments, any other enterprise hosts
constexpr uint32_t kExcludedGroupsRequest = 0x60F40027;
constexpr DWORD kSaveExcludedGroups = 1;   // SaveGroups: 1 DisallowModGroup, any other CanUseKQGroup

// Adds every non-empty name of the list value not yet in the host list; the number added.
DWORD ListReportTo(HWND list, const char* server, uint32_t request);
DWORD SaveReportTo(HWND list, const char* server, DWORD which);
DWORD ListGroups(HWND list, const char* server, uint32_t request);
DWORD SaveGroups(HWND list, const char* server, DWORD which);

// Every known server is asked for the departments it hosts or reports to (a hosted one's row keeps
// the server and its ReportPath), or for the enterprise hosts it reports to (each new one is also
// kept in the console's ENTSCAN); one row per name. A server that cannot be reached is skipped
// after its connection message. The number of rows added.
DWORD ScanDepartments(HWND list);
DWORD ScanEnterpriseHosts(HWND list);

// What the row of a hosted department keeps, from the row data offset.
struct DepartmentHostRow {
  char server[kCachedServerNameBytes];
  char report_path[260];
};
bool department_host_row(const BYTE* record, DepartmentHostRow* row);

constexpr DWORD kDepartmentRemove = 1;
constexpr DWORD kDepartmentReportTo = 2;
constexpr DWORD kDepartmentHost = 3;
DWORD SetDepartment(const char* server, const char* department, DWORD mode);

DWORD ListSiblingIpRanges(HWND list, const char* server);
DWORD SaveSiblingIpRanges(HWND list, const char* server);

// AllowedVersions: one 32-bit number per row (the row's text read as a decimal number).
DWORD ListAllowedVersions(HWND list, const char* server);
DWORD SaveAllowedVersions(HWND list, const char* server);

// IPv4PortKQRequests of the sibling key as stored; 0 when it is not set or cannot be read.
DWORD ReadSiblingRequestPort(const char* server);

// The permitted hours: hour h of day d (0 Sunday) is bit d * 24 + h, least significant first.
bool valid_hour(const BYTE grid[kValidHoursGridBytes], int day, int hour);
void set_valid_hour(BYTE grid[kValidHoursGridBytes], int day, int hour, bool permitted);
DWORD SaveValidHoursGrid(const char* server, const BYTE grid[kValidHoursGridBytes]);
// A grid that is not stored reads all zero.
DWORD GetValidHoursGrid(const char* server, BYTE grid[kValidHoursGridBytes]);

DWORD ListLocalLogonContainers(HWND list, const char* server);
// Deletes every container; unless keep is 0, then writes one value per row.
DWORD SaveLocalLogonContainers(HWND list, const char* server, DWORD keep);

// Adds a row for the name unless the list holds one already, with the icon of the list's kind
// (departments, enterprise hosts, groups, versions, containers); 1 when added.
DWORD add_list_name(HWND list, const char* name);

// The console's own list of enterprise hosts (ENTSCAN): one row per host recorded there; a host
// included by hand is recorded with four zero bytes, as a scan records one.
DWORD ListIncludedEnterpriseHosts(HWND list);
DWORD IncludeEnterpriseHost(const char* host);

// ---- The configuration screens -----------------------------------------------------

// The lists of the product's configuration form (listed and saved with the form).
constexpr uint32_t kFormEnterpriseHostsList = 0x603400AA;
constexpr uint32_t kFormDepartmentsList = 0x603400AB;
constexpr uint32_t kFormReportToHostsList = 0x603400A9;
constexpr uint32_t kFormContainersList = 0x603400B0;
// The sibling product's form.
constexpr uint32_t kAllowedGroupsList = 0x60F4002B;
constexpr uint32_t kAllowedVersionsList = 0x60F40030;
constexpr uint32_t kSiblingIpRangesList = 0x60F40035;
// Lists of the server configuration screen filled from every known server.
constexpr uint32_t kKnownDepartmentsList = 0x603400D0;
constexpr uint32_t kIncludedEnterpriseHostsList = 0x603400D1;
// Buttons of the server configuration screen, each working on its companion list.
constexpr uint32_t kAddDepartmentButton = 0x60312110;
constexpr uint32_t kRemoveDepartmentButton = 0x60312111;
constexpr uint32_t kHostDepartmentButton = 0x60312112;
constexpr uint32_t kAddReportToHostButton = 0x60312113;
constexpr uint32_t kIncludeEnterpriseHostButton = 0x60312114;
constexpr uint32_t kRemoveServerListRowsButton = 0x60312115;
// Buttons of the sibling product's screen: the grid, and the entries of its companion list.
constexpr uint32_t kValidHoursButton = 0x60F10070;
constexpr uint32_t kAddSiblingEntryButton = 0x60F10071;
constexpr uint32_t kAddSiblingIpRangeButton = 0x60F10072;
constexpr uint32_t kRemoveSiblingRowsButton = 0x60F10073;
// The field whose text the entry button adds (a group's name, a version number).
constexpr uint32_t kSiblingEntryField = 0x60F80062;
// The octet fields of a sibling IP range: four of the start address, then four of the end address.
constexpr uint32_t kSiblingIpOctetFields = 0x60F80033;

// The events of the configuration screens: the Save buttons, the lists of the forms and the
// buttons beside them, and the sibling server list.
DWORD ServerSettingsButton(HWND screen, uint32_t id);
DWORD ServerFormList(HWND list, uint32_t id);
DWORD ServerScanList(HWND list, uint32_t id);
DWORD ServerListButton(HWND screen, uint32_t id, HWND companion);
void note_sibling_server_list(HWND list);
// The sibling server: the selected row of the sibling product's server list; empty when none.
void sibling_server(char* name, size_t size);

// The grid of the sibling form: kept when the form is filled for a server, edited in the dialog
// "Valid Hours for QVAWKQ Requests" and saved to the server on its OK. 1 when saved.
void keep_sibling_form_grid(const char* server, const BYTE grid[kValidHoursGridBytes]);
DWORD EditValidHoursGrid(HWND owner, const char* server);
// The grid dialog's font goes at process detach.
void release_valid_hours_font();
