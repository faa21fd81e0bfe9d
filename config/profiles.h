// Tracking profiles: one subkey of Profiles under a server's product key per
// profile, of five types; their creation, listing, enabling and deletion, the
// single values, the file tracking entries and the pattern alerting record.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/list_item.h"
#include "host/win32.h"

constexpr DWORD kProfileLogon = 256;         // VNX_LOGIN_TRACK
constexpr DWORD kProfileFileSystem = 272;    // VNX_FS_TRACK
constexpr DWORD kProfileFailedLogon = 288;   // VNX_FAILED_LOGIN
constexpr DWORD kProfileDirectory = 304;     // VNX_AD_EVENT
constexpr DWORD kProfileGroupPolicy = 320;   // VNX_GPO_EVENT

constexpr size_t kProfileNameChars = 127;    // the name field of the creation dialog
constexpr size_t kProfileNameBytes = kProfileNameChars + 1;
constexpr size_t kServerNameBytes = 101;

struct ProfileType {
  DWORD code;
  const char* keyword;
  const char* label;
  const char* description;
  int icon;           // position in the library's icon table (from the base image index)
  int disabled_icon;
};

// In the order of the creation dialog's list.
extern const ProfileType kProfileTypes[5];
const ProfileType* profile_type_by_code(DWORD code);
const ProfileType* profile_type_by_keyword(const char* keyword);


// The creation dialog's name rules on a name cut to the field's 127 characters: true with
// the name (leading dots removed) in out; false after telling the user why.
bool CheckProfileName(HWND owner, const char* typed, char* out, size_t out_size);

// Creates Profiles\<profile> with its creation values; *created is 1 on success.
// 0 or the Windows error (reported to the user).
DWORD CreateProfile(HWND window, const char* server, const char* profile, DWORD type, DWORD* created);
// 1 when the profile and everything below it is gone; 0 (nothing deleted) for an empty name
// or one with a backslash.
DWORD DeleteProfile(HWND window, const char* profile, const char* server);

// What the profile list shows of one profile.
// The most profiles of one server that a list shows.
constexpr DWORD kMostProfilesListed = 500;

struct ProfileSummary {
  char name[kProfileNameBytes];
  DWORD type;
  DWORD disabled;
  DWORD console_alert;
  DWORD central_alert;
  DWORD has_alert_email;
  DWORD alert_count;        // central + console + 1 with an alert e-mail
  DWORD excluded;           // 1 when Excluded has a value
  DWORD pattern_on;
  DWORD pattern_mask, pattern_count, pattern_first, pattern_second, pattern_mode;
  DWORD baseline_flags;     // group policy profiles
  DWORD create_date;
  char created_by[260];
};

// Reads up to capacity profiles of a server; *count receives how many. 0 or the Windows error.
DWORD ReadProfiles(const char* server, ProfileSummary* out, DWORD capacity, DWORD* count);
// One host list item per profile, with its icon by type and state. The number listed.
DWORD ListProfiles(const char* server, HWND list, BYTE* event_record);
// Writes (disable) or deletes Disabled and gives the list row the icon of the new state.
DWORD SetProfileEnabled(HWND window, HWND list, int row, DWORD type, const char* server,
                        const char* profile, DWORD disable);
DWORD SetProfileAlerts(const char* server, const char* profile, DWORD central, DWORD console);
DWORD SetIncludeLocalLogons(const char* server, const char* profile, DWORD value);
DWORD SetFilterByKerberosErrors(const char* server, const char* profile, DWORD value);
// Writes the value that belongs to a group policy control identifier; path for BaselinePath.
DWORD SetGpoProfileItem(HWND window, const char* server, const char* profile, uint32_t identifier,
                        DWORD value, const char* path);
// Reads one value by control identifier; a missing value leaves *value at 0.
// path (4097 bytes) receives BaselinePath.
DWORD GetProfileItem(const char* server, const char* profile, uint32_t identifier, DWORD* value, char* path);
// The value that GetProfileItem reads for an identifier; null for one it does not know.
const char* profile_item_value_name(uint32_t identifier);
// Copies the policy definition files of the server's SYSVOL tree into "sysvol.vornix.baseline"
// below the share path baseline_path on the same server, after erasing the files of the last copy.
// Progress goes to the host's status line. 0 or the Windows error (reported to the user).
DWORD CreateGpoBaseline(const char* server, const char* baseline_path);

// Pattern alerting: the 100-byte record with its defaults and limits applied.
constexpr size_t kPatternBytes = 100;
void BuildPatternRecord(DWORD mask, DWORD count, DWORD first, DWORD second, DWORD mode, BYTE* record);
// Writes the record, or deletes the value when record is null.
DWORD SetPatternTracking(const char* server, const char* profile, const BYTE* record);
// Pattern alerting as stored, with the reading limits applied; all 0 when it is off.
struct PatternSettings {
  DWORD on, mask, count, first, second, mode;
};
// 0 or the Windows error (only a failed connection is shown).
DWORD GetPatternTracking(const char* server, const char* profile, PatternSettings* out);

// File tracking entries (Paths): 1048-byte records.
constexpr size_t kFileEntryBytes = 1048;
constexpr size_t kFileEntryPathBytes = 512;
constexpr DWORD kFileEntryExtensionOnly = 0x80;
constexpr DWORD kFileEntryNotTracked = 0x40;  // an excluded entry; listed with the not-tracked icon
// A row of the entries' list owns its entry: the whole 1048-byte record in this slot, so that a
// listed entry goes back into Paths exactly as it was read.
constexpr int kFileRowEntrySlot = kOwnedBlock1;
// The checks before an entry is taken: 1 to take it (file may become "."), 0 to go back to the dialog.
int CheckFileTrackingEntry(HWND owner, DWORD flags, const char* path, char* file, size_t file_size);
// "path\file (extension only)" as the list shows it.
void FileEntryText(DWORD flags, const char* path, const char* file, char* out, size_t size);
// 1 when added; 0 when the same entry is listed already.
DWORD AddFileTrackingEntry(HWND list, DWORD flags, const char* path, const char* file, BYTE* event_record);
// Gives row `row` of the list the entry's values, text and icon in place (its position
// in Paths stays). 1 when changed; 0 when another row holds the same entry or the row is not one.
DWORD ChangeFileTrackingEntry(HWND list, int row, DWORD flags, const char* path, const char* file);
DWORD ListFileTrackingEntries(const char* server, const char* profile, HWND list, BYTE* event_record);
DWORD SaveFileTrackingEntries(HWND list, const char* server, const char* profile);

// The two lists of profiles of the host's screens.
constexpr bool is_profile_list(uint32_t id) { return id == 0x6024000A || id == 0x602400CB; }
// What ListProfiles keeps of a profile in its row's list item record, from kRowDataOffset.
struct ProfileRow {
  DWORD type, disabled, alert_count, excluded, pattern_on, create_date;
  DWORD pattern_mask, pattern_count, pattern_first, pattern_second, pattern_mode;  // as ReadProfiles reads them
  char created_by[260];
  char server[kServerNameBytes];
  char name[kProfileNameBytes];
};
// What a profile list row keeps of its profile (ListProfiles writes it); false for other rows.
bool profile_row(const BYTE* record, ProfileRow* row);
// The server a profile list row belongs to; false for other rows.
bool profile_row_server(const BYTE* record, char* server, size_t size);

// The profile list (0x6024000A or 0x602400CB) that the host last had the library fill.
extern HWND g_profile_list;
// The profile the form lists and buttons work on: the selected row of that list, on the server its
// row names (else the current server); no list or no selection: the server-wide lists (empty name).
struct CurrentProfile {
  char server[kServerNameBytes];
  char name[kProfileNameBytes];
};
CurrentProfile current_profile();

// The selected row of that list as ListProfiles wrote it; false when none is selected.
bool selected_profile_row(ProfileRow* row);

// The single settings of a profile form (alerts, Kerberos filter, local logons, group policy items,
// baseline, pattern alerting): Fill shows the stored values in the form's check boxes and fields;
// Save writes each one the form has, going on past a failure (said with its value and error), and
// returns 1 when all were written. Both do nothing on the server's form or with no profile shown.
void FillProfileFormSettings(HWND screen, const CurrentProfile& shown, bool server_form);
DWORD SaveProfileFormSettings(HWND screen, const CurrentProfile& shown, bool server_form);
// The pattern alerting controls, which sit on a profile's form although they are numbered as the
// server screens' controls.
bool is_profile_pattern_control(uint32_t id);

// The display fields 0x6022000B to 0x60220012 describe the selected profile: name, type, disabled,
// alert count, excluded accounts, pattern alerting, creator, creation date. The text (empty with no
// selection); true when it is a number.
constexpr uint32_t kProfileDetailFirst = 0x6022000B;
constexpr uint32_t kProfileDetailLast = 0x60220012;
bool ProfileDetailText(uint32_t id, char* out, size_t size);

// The creation dialog (ADD_PROFILE) for one server; request 0x602100CC names the
// server in the title. IDOK once a profile was created.
INT_PTR AddProfileDialog(HWND owner, const char* server, uint32_t request, DWORD type);

// The apply action of a property form: saves each list of the form, in tab order, onto the profile the
// form shows, or onto the product key of the current server when the form is the server's (its report-to
// lists always onto the current server), then the single settings of the profile shown. Every list is
// saved, also after one that failed; 1 when all were saved, 0 when any failed (each said so).
DWORD SaveProfileForm(HWND screen, const char* server, const CurrentProfile& shown);

// Events of the profile screens, routed by the dispatching entry points.
DWORD ProfileScreenButton(HWND screen, const uintptr_t* descriptor, HWND companion, int selected_row);
DWORD ProfileScreenList(HWND control, uint32_t id, BYTE* record, HWND companion);
