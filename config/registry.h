// Server configuration store: the remote registry connection cache, the
// product key tree on each server, the console's known servers and the
// deletion of key trees.
#pragma once
#include <cstdint>

#include "host/win32.h"

constexpr char kVendorKey[] = "SOFTWARE\\Brightmere Software, Inc.";
constexpr char kProductKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
constexpr char kProfilesKey[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
constexpr char kSiblingKey[] = "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";
constexpr char kScoutStatusKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent\\MYSERVERS";
constexpr char kLocalMachineName[] = "LOCAL_MACHINE";
constexpr char kNoneFoundName[] = "<none found>";

// UpdateKnownServer operations; any other number deletes the server.
constexpr DWORD kKnownServerResolve = 1;
constexpr DWORD kKnownServerStore = 18;
constexpr DWORD kKnownServerDelete = 0;

constexpr size_t kCachedServerNameBytes = 64;
// The longest server name a connection takes: a DNS name of up to 255 characters and its terminator.
constexpr size_t kServerNameMostBytes = 256;
constexpr DWORD kScoutStatusMissing = 255;
constexpr size_t kScoutStatisticsBytes = 490;

// One cached connection; nodes come from the memory pair and live until detach. The name holds any
// DNS name, so that a long one is found again rather than connected anew at every call.
struct RegistryConnection {
  RegistryConnection* next;
  char server[kServerNameMostBytes];
  HKEY key;
};

struct RegistryState {
  RegistryConnection* connections;  // oldest first; appended at the tail
  char last_failed_server[260];     // so a server that stays down is reported once
  DWORD remote_view;                // 0 or KEY_WOW64_64KEY, set by the last connection made
  HANDLE welcome_thread;            // greets the user of a console with no servers
};

extern RegistryState g_registry;

// What the scout agent left for one server on the console machine.
struct ScoutServerStatus {
  char department[1501];      // empty when the server hosts no department
  DWORD transfer_server_set;  // 1 when a SQL transfer server is named
  DWORD transfer_on;          // 1 when the SQL transfer is switched on
  BYTE binding_warning;       // the network-binding problem code, 0 when none
  DWORD email_configured;     // 1 when e-mail alerts are configured
};

// Access masks for keys on a server and under the console key.
REGSAM remote_access(REGSAM rights);
// "SOFTWARE\...\VORNIX\Profiles\<profile>", or the product key for an empty name.
void profile_key_path(const char* profile, char* out, size_t size);
// Opens the profile's key (the product key for an empty name); never creates it.
LONG open_profile_key(HKEY server, const char* profile, REGSAM rights, HKEY* key);
REGSAM local_access(REGSAM rights);

// 0 and the server's HKEY_LOCAL_MACHINE (never to be closed), or the Windows
// error. "LOCAL_MACHINE" is this computer; a name containing "none found"
// gives a null handle and 0. With report_to_host set, progress and failures go
// to the host's status line instead of message boxes.
// One line of the host's status area (line 25): "heading: text", or the heading
// alone when text is null; a failure in red.
void report_status(const char* heading, const char* text, bool failure = false);

// The computer a server name stands for: this computer's name for "LOCAL_MACHINE", else the name itself.
const char* server_machine_name(const char* server);

DWORD ConnectServerRegistry(const char* server, HKEY* key, const char* error_title,
                            DWORD report_to_host);
// Creates or completes the product key (the sibling key in sibling mode).
// Empty texts are not written. 0 or the Windows error.
DWORD EstablishServerKey(HKEY key, const char* server, const char* report_path,
                         const char* departments_report_to, const char* enterprise_hosts_report_to);
DWORD EstablishSiblingKey(HKEY key, const char* server, const char* report_path);
// Adds (operation 1, by a host-name look-up), stores (18, the 4 bytes given)
// or deletes the server's entry in MY_SERVERS. 0 or the Windows error.
DWORD UpdateKnownServer(const char* server, DWORD operation, BYTE* address);
// The names of the known servers (of the sibling product in sibling mode), at most capacity; the number given.
DWORD KnownServerNames(char (*names)[kCachedServerNameBytes], DWORD capacity);
// The address kept for a known server, in network order; false when it has none.
bool KnownServerAddress(const char* server, BYTE address[4]);
// Hands each known server to the host's list as one value row; the number listed.
DWORD ListKnownServers(uint32_t request, HWND list, DWORD window_key);
// Deletes every subkey below parent\name, deepest first; the key itself stays.
DWORD DeleteKeyTree(HKEY parent, const char* name, const char* server, DWORD report_to_host);
// Deletes a key that has no subkeys: plainly, then in the 32-bit and the 64-bit view.
LONG DeleteRegistryKey(HKEY parent, const char* name);
// The values of a key kept aside, so that an operation failing part-way can put them back:
// one after another, name length, name and terminator, type, size, data.
struct KeptValues {
  BYTE* data;  // from the memory pair
  DWORD used;
};
// false when the values could not be read or no memory was left (nothing is kept then).
bool keep_values(HKEY key, KeptValues* kept);
// Deletes every value of the key and writes the kept ones again.
void put_back_values(HKEY key, const KeptValues& kept);
void release_kept_values(KeptValues* kept);
// Deletes every value of a key. ERROR_SUCCESS or the first failure.
LONG delete_all_values(HKEY key);

// The share that holds a server's log folder: ReportPath of its product key, opened on the server's
// HKEY_LOCAL_MACHINE with the access given (rights and view flag). A text of at most 255 bytes, its
// terminator included, in a REG_SZ or REG_EXPAND_SZ value. 0, or the Windows error (ERROR_FILE_NOT_FOUND
// also for an empty text or a value of another type); out is empty unless 0.
constexpr DWORD kReportPathMostBytes = 255;
DWORD ReadReportPath(HKEY machine, REGSAM access, char* out, size_t size);

// The quick report dialog's settings, remembered under the console key's QUICKRPT when the dialog
// is saved: its numbers, its search text, and the states of its check boxes and radio buttons (0
// unchecked). A number field holding 0 counts as empty: no window or count of the dialog means anything at 0.
constexpr size_t kQuickSearchBytes = 1024;
struct QuickReportSettings {
  DWORD last_days, last_records, last_hours, from_date, to_date, stop_records;
  char search[kQuickSearchBytes];
  DWORD type_ll, type_fs, type_ad, type_gp;
  DWORD all_dates, by_last_days, by_last_records, by_last_hours, by_from_to_date, stop_at_records, search_on;
};
// Writes each value (numbers and states as REG_DWORD, the search as REG_SZ) and deletes those of an
// empty field or an unchecked box. 0 or the first Windows error.
DWORD SaveQuickReportSettings(const QuickReportSettings& settings);
// Reads them back: a value that is missing, or not of its type, reads as 0 (the search as empty). 0 or the
// Windows error of opening the key (ERROR_FILE_NOT_FOUND when the dialog was never saved).
DWORD ReadQuickReportSettings(QuickReportSettings* settings);

// Deletes every subkey of the product key (the sibling key in sibling mode).
DWORD RemoveProductKey(const char* server, DWORD report_to_host);
// 0, or kScoutStatusMissing when the scout agent keeps nothing for the server.
// statistics has room for kScoutStatisticsBytes.
DWORD ReadScoutServerStatus(const char* server, DWORD* time, BYTE* statistics,
                            ScoutServerStatus* status);

// Closes the welcome thread's handle and the cached connections and frees
// the cache (process detach).
void release_registry_connections();
