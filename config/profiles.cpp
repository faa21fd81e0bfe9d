// Tracking profiles on a server's registry: create, list, enable, disable,
// delete, the single values, file tracking entries and pattern alerting.
#include "config/profiles.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "config/profile_lists.h"
#include "config/registry.h"
#include "directory/directory.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr char kCreateTitle[] =
    ">>>UNABLE TO CREATE PROFILE - ENSURE VORNIXW HAS BEEN INSTALLED ON THE SELECTED SERVER";
constexpr char kNamingTitle[] = "Profile Naming Warning";
constexpr char kItemTitle[] = "UNABLE TO SET PROFILE ITEM DETAILS";

LONG set_number(HKEY key, const char* name, DWORD number) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

LONG delete_value(HKEY key, const char* name) {
  LONG rc = RegDeleteValueA(key, name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

bool read_number(HKEY key, const char* name, DWORD* out) {
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      size != sizeof value)
    return false;
  *out = value;
  return true;
}

bool value_exists(HKEY key, const char* name) {
  DWORD size = 0;
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

bool subkey_has_values(HKEY parent, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) return false;
  DWORD values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  RegCloseKey(key);
  return values > 0;
}

void show_error(HWND owner, const char* title, const char* format, DWORD code, const char* a,
                const char* b = "") {
  char text[700];
  std::snprintf(text, sizeof text, format, static_cast<int>(code), a, b);
  show_message(owner, text, title, MB_ICONERROR);
}

// Connects and opens the profile's key. A failed connection is shown under title; a failed open only
// with show_open (most single-value operations show the connection failure alone and return the rest).
DWORD open_for(const char* server, const char* profile, REGSAM rights, const char* title, HKEY* key,
               bool show_open) {
  *key = nullptr;
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, title, 0);
  if (rc != 0) return rc;
  if (root == nullptr) return ERROR_BAD_NETPATH;
  LONG opened = open_profile_key(root, profile, rights, key);
  if (opened != ERROR_SUCCESS && show_open) {
    char path[400];
    profile_key_path(profile, path, sizeof path);
    show_error(nullptr, title, "Error [%d] occurred while opening\n\n%s\n\non Server %s.", opened, path, server);
  }
  return static_cast<DWORD>(opened);
}

constexpr bool kShowOpenFailure = true;
constexpr bool kConnectionFailureOnly = false;

struct GpoItem {
  uint32_t identifier;
  const char* value;
};

constexpr GpoItem kGpoItems[] = {
    {0x602800DB, "TrackAllGPOs"},          {0x602800DC, "TrackGPLINK"},
    {0x602800DD, "TrackGPCreate"},         {0x602800DE, "TrackGPDelete"},
    {0x602800DF, "TrackGPVersionChangeAD"}, {0x602800E0, "TrackGPStatusChangeAD"},
    {0x602800E1, "TrackGPDefsChangeAD"},   {0x602800E2, "TrackGPDefsChangeSV"},
    {0x602800E3, "TrackGPNondefsChangeSV"}, {0x602800E4, "TrackGPSavePreviousSVFile"},
    {0x602800EE, "TrackGPChangeADOnly"},   {0x602800EF, "TrackGPCoreChangeSV"},
    {0x602100E5, "BaselineFlags"},         {0x602100E6, "BaselineFlags"},
};
constexpr GpoItem kReadOnlyItems[] = {
    {0x6028002D, "ConsoleAlert"},
    {0x6028003D, "CentralAlert"},
    {0x602800F4, "FilterByKerberosErrors"},
    {0x602800F8, "IncludeLocalLogons"},
};
constexpr uint32_t kBaselinePathItem = 0x602800E8;

const char* gpo_value_name(uint32_t identifier, bool reading) {
  for (const GpoItem& item : kGpoItems)
    if (item.identifier == identifier) return item.value;
  if (reading)
    for (const GpoItem& item : kReadOnlyItems)
      if (item.identifier == identifier) return item.value;
  return nullptr;
}
}  // namespace

const char* profile_item_value_name(uint32_t identifier) {
  return identifier == kBaselinePathItem ? "BaselinePath" : gpo_value_name(identifier, true);
}

namespace {

uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void write_u32(BYTE* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

DWORD clamp(DWORD value, DWORD zero_becomes, DWORD most) {
  if (value == 0) return zero_becomes;
  return value > most ? most : value;
}

// The creator: "user on computer" with the account the console runs under (else the user recorded at
// start-up), or "<unknown>" when neither is known.
// PatternTracking as stored, with the reading limits applied; off when the value is missing or not a record.
void read_pattern(HKEY key, PatternSettings* out) {
  *out = {};
  BYTE pattern[kPatternBytes] = {};
  DWORD size = sizeof pattern;
  if (RegQueryValueExA(key, "PatternTracking", nullptr, nullptr, pattern, &size) != ERROR_SUCCESS ||
      size != kPatternBytes)
    return;
  out->on = 1;
  out->mask = read_u32(pattern + 20);
  out->count = read_u32(pattern + 40) > 500000 ? 500000 : read_u32(pattern + 40);
  out->first = clamp(read_u32(pattern + 44), 1, 60);
  out->second = clamp(read_u32(pattern + 48), 1, 60);
  out->mode = read_u32(pattern + 52);
}

void profile_creator(char* out, size_t size) {
  // The console user's distinguished name, as the directory-information object knows it.
  IADsADSystemInfo* info = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ADSystemInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IADsADSystemInfo,
                                 reinterpret_cast<void**>(&info)))) {
    BSTR name = nullptr;
    HRESULT hr = info->get_UserName(&name);
    info->Release();
    if (SUCCEEDED(hr) && name != nullptr) from_wide(name, out, size);
    SysFreeString(name);
    if (SUCCEEDED(hr) && out[0]) return;
  }
  char user[257] = {};  // an account name and its terminator
  DWORD length = sizeof user;
  if (!GetUserNameA(user, &length)) copy_text(user, sizeof user, g_library.console_user);
  if (user[0]) std::snprintf(out, size, "%.200s on %.90s", user, g_library.computer_name);
  else copy_text(out, size, "<unknown>");
}

static_assert(kRowDataOffset + sizeof(ProfileRow) <= kRowDataLimit, "profile row fits the key area");

}  // namespace

const ProfileType kProfileTypes[5] = {
    {kProfileFileSystem, "VNX_FS_TRACK", "File System Activity",
     "This Type of Profile allows you to track every file activity that occurs on your Server hosted shares "
     "where VORNIX is loaded.\r\n\r\nYou can even selectively block file Create, Write and Delete Activity."
     "\r\n\r\nYou can define tracking for an entire share down to a specific file.\r\n\r\nThis profile "
     "type's activity tracking options allow you to focus your auditing as you require.\r\n\r\nUse this "
     "profile type to block creation of any file type such as MP3 or WMV.\r\n\r\nOptionally you can select "
     "to receive email alerts upon any file activity you define.",
     1, 82},
    {kProfileLogon, "VNX_LOGIN_TRACK", "Logon / Logoff Activity",
     "This Type of Profile allows you to specify Logon and Logoff activity to track at each Server where "
     "VORNIX is loaded.\r\n\r\nLogons tracked include local, Remote Desktop, terminal services, NTLM, "
     "NTLMSSP, Kerberos and FTP.\r\n\r\nLogoff records indicate total time logged on.\r\n\r\nWhen using the "
     "MERIDAX.Collector the following activity occurring local to each PC where installed will include:\r\n"
     " * Local Logon\r\n * Local Lock + Unlock Activity\r\n * Local Logoff\r\n * Local Successful Password "
     "Change\r\n",
     2, 83},
    {kProfileFailedLogon, "VNX_FAILED_LOGIN", "Failed Logon Activity",
     "This Type of Profile allows you to track Failed Logon Attempts on Servers where VORNIX is loaded.\r\n"
     "\r\nActivity recorded includes IP address of failed logon attempt.\r\n\r\nWhen using the "
     "MERIDAX.Collector the following activity occurring local to each PC where installed will include:\r\n"
     " * Local Logon Failure\r\n * Local Failed Password Change (when incorrect previous password used)\r\n",
     0, 81},
    {kProfileDirectory, "VNX_AD_EVENT", "Active Directory Activity",
     "This Type of Profile allows you to track Active Directory changes including new objects, deleted "
     "objects and modified objects revealing prior and new attribute value(s) on Servers where VORNIX is "
     "loaded.\r\n\r\nOptionally you can select to receive email alerts upon any activity you define.",
     49, 80},
    {kProfileGroupPolicy, "VNX_GPO_EVENT", "GPO Change Activity",
     "This Type of Profile allows you to track Group Policy Object (GPO) changes including new policies, "
     "deleted policies and modified policies revealing prior and new value(s) on Servers where VORNIX is "
     "loaded.\r\n\r\nOptionally you can select to receive email alerts upon any activity you define.",
     89, 90},
};

const ProfileType* profile_type_by_code(DWORD code) {
  for (const ProfileType& t : kProfileTypes)
    if (t.code == code) return &t;
  return nullptr;
}

const ProfileType* profile_type_by_keyword(const char* keyword) {
  for (const ProfileType& t : kProfileTypes)
    if (keyword && equal_ignoring_case(t.keyword, keyword)) return &t;
  return nullptr;
}

bool CheckProfileName(HWND owner, const char* typed, char* out, size_t out_size) {
  // The name field holds 127 characters: a longer name given otherwise is cut there, as the field would.
  char name[kProfileNameBytes];
  copy_text(name, sizeof name, typed ? typed : "");
  out[0] = '\0';
  if (std::strchr(name, '\\') || std::strchr(name, '/')) {
    show_message(owner, "Profile Name cannot contain a slash, please revise.", kNamingTitle, MB_ICONWARNING);
    return false;
  }
  const char* kept = name;
  while (*kept == '.') ++kept;
  if (std::strchr(kept, '.')) {
    show_message(owner, "Profile Name name may not contain a \"dot\" or a slash", kNamingTitle, MB_ICONWARNING);
    return false;
  }
  // Only dots were typed: an empty name would be the Profiles key itself, so the user is asked for one.
  if (kept[0] == '\0') {
    show_message(owner, "Please enter a name for the new Profile.", kNamingTitle, MB_ICONWARNING);
    return false;
  }
  copy_text(out, out_size, kept);
  return true;
}

DWORD CreateProfile(HWND window, const char* server, const char* profile, DWORD type, DWORD* created) {
  if (created) *created = 0;
  char name[kProfileNameBytes];
  if (!CheckProfileName(window, profile, name, sizeof name)) return ERROR_INVALID_NAME;
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, kCreateTitle, 0);
  if (rc != 0 || root == nullptr) return rc ? rc : static_cast<DWORD>(ERROR_BAD_NETPATH);
  // Every creation completes the server's key first, so that Profiles, Reports and Enterprise exist.
  EstablishServerKey(root, server, "", "", "");
  HKEY profiles;
  LONG opened = RegOpenKeyExA(root, kProfilesKey, 0, remote_access(KEY_ALL_ACCESS), &profiles);
  if (opened != ERROR_SUCCESS) {
    show_error(window, kCreateTitle, "Error %d opening VORNIX Profiles Key on server %s.", opened, server);
    return static_cast<DWORD>(opened);
  }
  HKEY key;
  DWORD disposition = 0;
  LONG made = RegCreateKeyExA(profiles, name, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS),
                              nullptr, &key, &disposition);
  RegCloseKey(profiles);
  if (made != ERROR_SUCCESS) {
    show_error(window, "ERROR ON CREATE PROFILE", "Error %d creating %s", made, name);
    return static_cast<DWORD>(made);
  }
  // An existing profile keeps its values aside: a re-creation that fails part-way puts them back.
  KeptValues before = {nullptr, 0};
  if (disposition != REG_CREATED_NEW_KEY && !keep_values(key, &before)) {
    RegCloseKey(key);
    show_message(window, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  char creator[300] = {};
  profile_creator(creator, sizeof creator - 1);
  DWORD now = current_seconds();
  LONG written = set_number(key, "LastUpdateDate", now);
  if (written == ERROR_SUCCESS) written = set_number(key, "CreateDate", now);
  if (written == ERROR_SUCCESS) written = set_number(key, "ProfileType", type);
  // The text is written with one extra zero byte.
  if (written == ERROR_SUCCESS)
    written = RegSetValueExA(key, "CreatedBy", 0, REG_SZ, reinterpret_cast<const BYTE*>(creator),
                             static_cast<DWORD>(std::strlen(creator) + 2));
  if (written != ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) put_back_values(key, before);
  release_kept_values(&before);
  RegCloseKey(key);
  if (written != ERROR_SUCCESS) {
    // A new profile that could not be completed is taken away again.
    if (disposition == REG_CREATED_NEW_KEY) DeleteProfile(nullptr, name, server);
    show_error(window, "ERROR ON CREATE PROFILE", "Error %d creating %s", written, name);
    return static_cast<DWORD>(written);
  }
  if (created) *created = 1;
  return 0;
}

DWORD DeleteProfile(HWND window, const char* profile, const char* server) {
  // No name, or one with a backslash, names no single profile: its tree would be the Profiles key or a
  // key inside a profile, so nothing is deleted.
  if (profile == nullptr || profile[0] == '\0' || std::strchr(profile, '\\')) return 0;
  HKEY root;
  if (ConnectServerRegistry(server, &root, "UNABLE TO DELETE PROFILE", 0) != 0 || root == nullptr) return 0;
  HKEY profiles;
  LONG rc = RegOpenKeyExA(root, kProfilesKey, 0, remote_access(KEY_ALL_ACCESS), &profiles);
  if (rc != ERROR_SUCCESS) {
    show_error(window, "UNABLE TO DELETE PROFILE", "Error %d opening VORNIX Profiles Key on server %s.", rc, server);
    return 0;
  }
  HKEY existing;
  rc = RegOpenKeyExA(profiles, profile, 0, remote_access(KEY_READ), &existing);
  if (rc == ERROR_SUCCESS) {
    RegCloseKey(existing);
    DeleteKeyTree(profiles, profile, server, 0);
    rc = DeleteRegistryKey(profiles, profile);
  }
  RegCloseKey(profiles);
  if (rc != ERROR_SUCCESS) {
    show_error(window, "ERROR ON DELETE PROFILE", "Error %d deleting %s on %s", rc, profile, server);
    return 0;
  }
  return 1;
}

DWORD ReadProfiles(const char* server, ProfileSummary* out, DWORD capacity, DWORD* count) {
  *count = 0;
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, "UNABLE TO GET PROFILES", 0);
  if (rc != 0 || root == nullptr) return rc ? rc : static_cast<DWORD>(ERROR_BAD_NETPATH);
  HKEY profiles;
  // Only a failed connection is shown: a server without profiles lists none.
  LONG opened = RegOpenKeyExA(root, kProfilesKey, 0, remote_access(KEY_READ), &profiles);
  if (opened != ERROR_SUCCESS) return static_cast<DWORD>(opened);
  for (DWORD index = 0; *count < capacity; ++index) {
    ProfileSummary& p = out[*count];
    std::memset(&p, 0, sizeof p);
    DWORD size = sizeof p.name;
    LONG e = RegEnumKeyExA(profiles, index, p.name, &size, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS) continue;  // a name longer than the dialog allows is not the console's
    HKEY key;
    if (RegOpenKeyExA(profiles, p.name, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) continue;
    p.disabled = value_exists(key, "Disabled");
    read_number(key, "ProfileType", &p.type);
    if (p.type == kProfileGroupPolicy) read_number(key, "BaselineFlags", &p.baseline_flags);
    read_number(key, "ConsoleAlert", &p.console_alert);
    read_number(key, "CentralAlert", &p.central_alert);
    p.has_alert_email = subkey_has_values(key, "AlertEmails");
    p.alert_count = p.central_alert + p.console_alert + p.has_alert_email;
    PatternSettings pattern;
    read_pattern(key, &pattern);
    p.pattern_on = pattern.on;
    p.pattern_mask = pattern.mask;
    p.pattern_count = pattern.count;
    p.pattern_first = pattern.first;
    p.pattern_second = pattern.second;
    p.pattern_mode = pattern.mode;
    char creator[sizeof p.created_by + 2] = {};
    DWORD creator_size = sizeof creator - 1;
    if (RegQueryValueExA(key, "CreatedBy", nullptr, nullptr, reinterpret_cast<BYTE*>(creator), &creator_size) ==
        ERROR_SUCCESS)
      copy_text(p.created_by, sizeof p.created_by, creator);
    read_number(key, "CreateDate", &p.create_date);
    p.excluded = subkey_has_values(key, "Excluded");
    RegCloseKey(key);
    ++*count;
  }
  RegCloseKey(profiles);
  return 0;
}

DWORD ListProfiles(const char* server, HWND list, BYTE* event_record) {
  auto* profiles = static_cast<ProfileSummary*>(
      allocate_block(GMEM_FIXED | GMEM_ZEROINIT, kMostProfilesListed * sizeof(ProfileSummary)));
  if (profiles == nullptr) {
    show_message(nullptr, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    return 0;
  }
  DWORD count = 0;
  ReadProfiles(server, profiles, kMostProfilesListed, &count);
  for (DWORD i = 0; i < count; ++i) {
    const ProfileSummary& p = profiles[i];
    const ProfileType* kind = profile_type_by_code(p.type);
    BYTE record[kListItemBytes];
    start_row_record(record, list, event_record);
    ProfileRow row = {};
    row.type = p.type;
    row.disabled = p.disabled;
    row.alert_count = p.alert_count;
    row.excluded = p.excluded;
    row.pattern_on = p.pattern_on;
    row.pattern_mask = p.pattern_mask;
    row.pattern_count = p.pattern_count;
    row.pattern_first = p.pattern_first;
    row.pattern_second = p.pattern_second;
    row.pattern_mode = p.pattern_mode;
    row.create_date = p.create_date;
    copy_text(row.created_by, sizeof row.created_by, p.created_by);
    copy_text(row.server, sizeof row.server, server);
    copy_text(row.name, sizeof row.name, p.name);
    std::memcpy(record + kRowDataOffset, &row, sizeof row);
    int icon = kind ? (p.disabled ? kind->disabled_icon : kind->icon) : 6;
    insert_list_row(list, p.name, icon, record);
  }
  free_block(profiles);
  return count;
}

bool profile_row(const BYTE* record, ProfileRow* row) {
  if (record == nullptr || item_word(record, kItemWordModule) != kModuleNumber) return false;
  if (!is_profile_list(item_word(record, kItemWordControlId))) return false;
  std::memcpy(row, record + kRowDataOffset, sizeof *row);
  row->server[sizeof row->server - 1] = '\0';
  row->name[sizeof row->name - 1] = '\0';
  return row->server[0] != '\0';
}

bool profile_row_server(const BYTE* record, char* server, size_t size) {
  ProfileRow row;
  if (!profile_row(record, &row)) return false;
  copy_text(server, size, row.server);
  return true;
}

// Enabling, disabling and the single values show a failed connection only; any other failure is returned.
DWORD SetProfileEnabled(HWND, HWND list, int row, DWORD type, const char* server, const char* profile,
                        DWORD disable) {
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_ALL_ACCESS, "UNABLE TO ENABLE/DISABLE PROFILE", &key, kConnectionFailureOnly);
  if (rc != 0) return rc;
  LONG written = disable ? RegSetValueExA(key, "Disabled", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 1)
                         : delete_value(key, "Disabled");
  RegCloseKey(key);
  if (written != ERROR_SUCCESS) return static_cast<DWORD>(written);
  const ProfileType* kind = profile_type_by_code(type);
  // The row's record keeps the new state too, for the fields that describe the selected profile.
  auto* record = list && row >= 0 ? reinterpret_cast<BYTE*>(list_row_param(list, row)) : nullptr;
  ProfileRow shown;
  if (profile_row(record, &shown)) {
    const DWORD disabled = disable != 0;
    std::memcpy(record + kRowDataOffset + offsetof(ProfileRow, disabled), &disabled, sizeof disabled);
  }
  if (list && kind && row >= 0) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = g_library.base_image_index + (disable ? kind->disabled_icon : kind->icon);
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  return 0;
}

namespace {

DWORD write_numbers(const char* server, const char* profile, const char* title, const char* first, DWORD a,
                    const char* second, DWORD b) {
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_ALL_ACCESS, title, &key, kConnectionFailureOnly);
  if (rc != 0) return rc;
  // The first value is put back when the second cannot be written.
  DWORD old = 0;
  bool had = read_number(key, first, &old);
  LONG written = set_number(key, first, a);
  if (written == ERROR_SUCCESS && second) {
    written = set_number(key, second, b);
    if (written != ERROR_SUCCESS) {
      if (had) set_number(key, first, old);
      else delete_value(key, first);
    }
  }
  RegCloseKey(key);
  return static_cast<DWORD>(written);
}

// Writes one value (set) or deletes it (!set).
DWORD write_or_delete(const char* server, const char* profile, const char* title, const char* name, bool set,
                      DWORD type, const BYTE* data, DWORD size) {
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_ALL_ACCESS, title, &key, kConnectionFailureOnly);
  if (rc != 0) return rc;
  LONG written = set ? RegSetValueExA(key, name, 0, type, data, size) : delete_value(key, name);
  RegCloseKey(key);
  return static_cast<DWORD>(written);
}

}  // namespace

DWORD SetProfileAlerts(const char* server, const char* profile, DWORD central, DWORD console) {
  return write_numbers(server, profile, kItemTitle, "CentralAlert", central, "ConsoleAlert", console);
}

DWORD SetFilterByKerberosErrors(const char* server, const char* profile, DWORD value) {
  return write_numbers(server, profile, kItemTitle, "FilterByKerberosErrors", value, nullptr, 0);
}

DWORD SetIncludeLocalLogons(const char* server, const char* profile, DWORD value) {
  return write_or_delete(server, profile, "UNABLE TO SET PROFILE LOCAL LOGON TRACKING OPTION", "IncludeLocalLogons",
                         value != 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

DWORD SetGpoProfileItem(HWND window, const char* server, const char* profile, uint32_t identifier, DWORD value,
                        const char* path) {
  const char* title = "UNABLE TO SET GPO PROFILE ITEM DETAILS";
  const char* name = gpo_value_name(identifier, false);
  if (name == nullptr && identifier != kBaselinePathItem) {
    char text[80];
    std::snprintf(text, sizeof text, "Unknown CODE %X - GPO set", static_cast<unsigned>(identifier));
    show_message(window, text, library_title(), MB_ICONWARNING);
    return ERROR_INVALID_PARAMETER;
  }
  if (name) return write_numbers(server, profile, title, name, value, nullptr, 0);
  bool given = path && path[0];
  return write_or_delete(server, profile, title, "BaselinePath", given, REG_SZ, reinterpret_cast<const BYTE*>(path),
                         given ? static_cast<DWORD>(strnlen(path, 4095) + 1) : 0);
}

DWORD GetProfileItem(const char* server, const char* profile, uint32_t identifier, DWORD* value, char* path) {
  if (value) *value = 0;
  if (path) path[0] = '\0';
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_READ, "UNABLE TO GET PROFILE ITEM DETAILS", &key, kConnectionFailureOnly);
  if (rc != 0) return rc;
  if (identifier == kBaselinePathItem) {
    if (path) {
      DWORD size = 4096;
      if (RegQueryValueExA(key, "BaselinePath", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS)
        path[0] = '\0';
      path[size < 4096 ? size : 4096] = '\0';
    }
  } else if (const char* name = gpo_value_name(identifier, true)) {
    if (value) read_number(key, name, value);
  }
  RegCloseKey(key);
  return 0;
}

void BuildPatternRecord(DWORD mask, DWORD count, DWORD first, DWORD second, DWORD mode, BYTE* record) {
  std::memset(record, 0, kPatternBytes);
  write_u32(record + 20, mask & 7);
  write_u32(record + 40, clamp(count, 10, 500000));
  write_u32(record + 44, clamp(first, 1, 60));
  write_u32(record + 48, clamp(second, 10, 60));
  write_u32(record + 52, mode);
}

DWORD GetPatternTracking(const char* server, const char* profile, PatternSettings* out) {
  *out = {};
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_READ, "UNABLE TO GET PROFILE ITEM DETAILS", &key, kConnectionFailureOnly);
  if (rc != 0) return rc;
  read_pattern(key, out);
  RegCloseKey(key);
  return 0;
}

DWORD SetPatternTracking(const char* server, const char* profile, const BYTE* record) {
  return write_or_delete(server, profile, "UNABLE TO SET PROFILE PATTERN ALERT DETAILS", "PatternTracking",
                         record != nullptr, REG_BINARY, record, kPatternBytes);
}

// ---- File tracking entries -----------------------------------------------------

int CheckFileTrackingEntry(HWND owner, DWORD flags, const char* path, char* file, size_t file_size) {
  if ((flags & kFileEntryExtensionOnly) && file[0] == '\0') {
    int answer = ask_confirmation(
        owner,
        "You have specified to track by extension only but no extension was provided.\n\nAre you wanting to "
        "track files that have no extension?\n\nIf so, click OK, otherwise click CANCEL and you will be "
        "returned to the Add screen so you can modify the file extension to track.",
        "Track files with no extension?", MB_OKCANCEL | MB_ICONQUESTION);
    if (answer != IDOK) return 0;
    copy_text(file, file_size, ".");
  }
  if ((flags & 0xFFFFFF38u) == 0) {
    show_message(owner,
                 "No actions to track/block have been selected.\n\nYou must choose at least one action to "
                 "track/block.",
                 "Tracking Option must be selected", MB_ICONEXCLAMATION);
    return 0;
  }
  if (path == nullptr || path[0] == '\0') {
    int answer = ask_confirmation(
        owner,
        "No Share Path has been provided.\n\nThis indicates you want to track / block across every share on "
        "the selected server.\n\nTo confirm click OK, otherwise, click CANCEL and you will be returned to the "
        "Add screen so you can modify the Share path to track.",
        "Track every share on selected server?", MB_OKCANCEL | MB_ICONQUESTION);
    if (answer != IDOK) return 0;
  }
  return 1;
}

void FileEntryText(DWORD flags, const char* path, const char* file, char* out, size_t size) {
  copy_text(out, size, path && path[0] ? path : "\\(any path)\\");
  size_t length = std::strlen(out);
  if (length == 0 || out[length - 1] != '\\') append_text(out, size, "\\");
  append_text(out, size, file && file[0] ? file : "(all *.*)");
  if (flags & kFileEntryExtensionOnly) append_text(out, size, " (extension only)");
}

namespace {

constexpr size_t kFileEntryPathOffset = 24;
constexpr size_t kFileEntryFileOffset = 24 + kFileEntryPathBytes;

BYTE* file_row_entry(const BYTE* record) {
  if (record == nullptr || item_word(record, kItemWordModule) != kModuleNumber) return nullptr;
  return static_cast<BYTE*>(owned_block(record, kFileRowEntrySlot));
}

// The entry's fields, each terminated (a stored field may fill all 512 bytes).
struct FileEntryFields {
  DWORD flags;
  char path[kFileEntryPathBytes + 1];
  char file[kFileEntryPathBytes + 1];
};

void read_entry_fields(const BYTE* entry, FileEntryFields* fields) {
  fields->flags = read_u32(entry);
  std::memcpy(fields->path, entry + kFileEntryPathOffset, kFileEntryPathBytes);
  fields->path[kFileEntryPathBytes] = '\0';
  std::memcpy(fields->file, entry + kFileEntryFileOffset, kFileEntryPathBytes);
  fields->file[kFileEntryPathBytes] = '\0';
}

bool file_row(const BYTE* record, FileEntryFields* fields) {
  const BYTE* entry = file_row_entry(record);
  if (entry == nullptr) return false;
  read_entry_fields(entry, fields);
  return true;
}

// A typed entry must fit the record's fields.
bool file_entry_fits(const char* path, const char* file) {
  if (std::strlen(path) < kFileEntryPathBytes && std::strlen(file) < kFileEntryPathBytes) return true;
  show_message(nullptr, "The Share Path and File Name are too long to track, please shorten them.",
               "ERROR ADDING NEW ENTRY *", MB_ICONERROR);
  return false;
}

// The row that holds the same entry (path and file part ignoring case, same flags), or -1.
int listed_entry(HWND list, DWORD flags, const char* path, const char* file, int except) {
  char text[512];
  for (int row = 0;; ++row) {
    const BYTE* record = nullptr;
    if (!read_list_row(list, row, text, sizeof text, &record)) return -1;
    FileEntryFields listed;
    if (row != except && file_row(record, &listed) && listed.flags == flags && equal_ignoring_case(listed.path, path) &&
        equal_ignoring_case(listed.file, file))
      return row;
  }
}

// Flags and both fields of an entry; the reserved bytes are left as they are.
void write_entry_fields(BYTE* entry, DWORD flags, const char* path, const char* file) {
  write_u32(entry, flags);
  std::memset(entry + kFileEntryPathOffset, 0, 2 * kFileEntryPathBytes);
  copy_text(reinterpret_cast<char*>(entry + kFileEntryPathOffset), kFileEntryPathBytes, path);
  copy_text(reinterpret_cast<char*>(entry + kFileEntryFileOffset), kFileEntryPathBytes, file);
}

int file_entry_icon(DWORD flags) { return (flags & kFileEntryNotTracked) ? 3 : 1; }

// Adds a row that owns a copy of the 1048-byte entry. 0 when no memory is left or no
// host list takes the row.
DWORD insert_file_row(HWND list, const BYTE* entry, BYTE* event_record) {
  auto* owned = static_cast<BYTE*>(allocate_block(GMEM_FIXED, kFileEntryBytes));
  if (owned == nullptr) {
    show_message(nullptr, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    return 0;
  }
  std::memcpy(owned, entry, kFileEntryBytes);
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  set_owned_block(record, kFileRowEntrySlot, owned);
  FileEntryFields fields;
  read_entry_fields(owned, &fields);
  char text[512];
  FileEntryText(fields.flags, fields.path, fields.file, text, sizeof text);
  if (insert_list_row(list, text, file_entry_icon(fields.flags), record)) return 1;
  free_block(owned);  // no host list took the row
  return 0;
}

}  // namespace

DWORD AddFileTrackingEntry(HWND list, DWORD flags, const char* path, const char* file, BYTE* event_record) {
  if (!path) path = "";
  if (!file) file = "";
  if (!file_entry_fits(path, file) || listed_entry(list, flags, path, file, -1) >= 0) return 0;
  BYTE entry[kFileEntryBytes] = {};
  write_entry_fields(entry, flags, path, file);
  return insert_file_row(list, entry, event_record);
}

DWORD ChangeFileTrackingEntry(HWND list, int row, DWORD flags, const char* path, const char* file) {
  if (!path) path = "";
  if (!file) file = "";
  char text[512];
  const BYTE* record = nullptr;
  if (!read_list_row(list, row, text, sizeof text, &record)) return 0;
  // The host keeps the row's record and its entry block; the entry is rewritten in it.
  BYTE* entry = file_row_entry(record);
  if (entry == nullptr || !file_entry_fits(path, file)) return 0;
  // A change into an entry that another row holds is not taken, as such an addition is not.
  if (listed_entry(list, flags, path, file, row) >= 0) return 0;
  write_entry_fields(entry, flags, path, file);
  FileEntryText(flags, path, file, text, sizeof text);
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = row;
  item.pszText = text;
  item.iImage = g_library.base_image_index + file_entry_icon(flags);
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return 1;
}

DWORD ListFileTrackingEntries(const char* server, const char* profile, HWND list, BYTE* event_record) {
  HKEY key;
  if (open_for(server, profile, KEY_READ, "UNABLE TO GET PROFILE ITEM DETAILS", &key, kShowOpenFailure) != 0) return 0;
  DWORD size = 0, listed = 0;
  if (RegQueryValueExA(key, "Paths", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size >= kFileEntryBytes) {
    auto* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, size));
    if (data && RegQueryValueExA(key, "Paths", nullptr, nullptr, data, &size) == ERROR_SUCCESS) {
      // Every stored record is listed as it is, duplicates included: the checks are for typed entries.
      for (DWORD at = 0; at + kFileEntryBytes <= size; at += kFileEntryBytes)
        listed += insert_file_row(list, data + at, event_record);
    }
    free_block(data);
  }
  RegCloseKey(key);
  return listed;
}

DWORD SaveFileTrackingEntries(HWND list, const char* server, const char* profile) {
  const char* title = "UNABLE TO UPDATE FILE TRACKING ENTRIES";
  int rows = 0;
  char text[512];
  for (const BYTE* record = nullptr; read_list_row(list, rows, text, sizeof text, &record);) ++rows;
  auto* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, rows * kFileEntryBytes + 1));
  if (data == nullptr) {
    show_message(nullptr, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  DWORD entries = 0;
  for (int row = 0; row < rows; ++row) {
    const BYTE* record = nullptr;
    if (!read_list_row(list, row, text, sizeof text, &record)) continue;
    const BYTE* entry = file_row_entry(record);
    if (entry == nullptr) continue;
    std::memcpy(data + entries * kFileEntryBytes, entry, kFileEntryBytes);
    ++entries;
  }
  HKEY key;
  DWORD rc = open_for(server, profile, KEY_ALL_ACCESS, title, &key, kShowOpenFailure);
  if (rc == 0) {
    // One write: the stored entries are replaced whole or not at all.
    LONG written = RegSetValueExA(key, "Paths", 0, REG_BINARY, data, entries * kFileEntryBytes);
    RegCloseKey(key);
    if (written == ERROR_ACCESS_DENIED) {
      char message[600];
      std::snprintf(message, sizeof message,
                    "Access Denied while updating %.150s on server %.100s.  Please verify your account has "
                    "sufficient permissions to update the registry on this server.",
                    profile, server);
      show_message(nullptr, message, "ERROR ADDING NEW ENTRY *", MB_ICONERROR);
    } else if (written != ERROR_SUCCESS)
      show_error(nullptr, "ERROR ADDING NEW ENTRY *", "Error [%d] occurred while updating %s on server %s.", written,
                 profile, server);
    rc = static_cast<DWORD>(written);
  }
  free_block(data);
  return rc;
}
