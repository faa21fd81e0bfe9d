// Server configuration values: ServerSetting and the property forms built on it.
#include "config/server_settings.h"

#define SECURITY_WIN32
#include <ntsecapi.h>
#include <security.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/registry.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

using R = SettingRule;

constexpr ServerSettingInfo kSettings[] = {
    {0x6038008A, kProductRoot, "DepartmentHosted", R::kText, false},
    {0x603800C8, kProductRoot, "DepartmentHosted", R::kText, false},
    {0x6038008B, kProductRoot, "ReportPath", R::kText, false},
    {0x603800C9, kProductRoot, "ReportPath", R::kText, false},
    {0x6038008D, kProductRoot, "EnterpriseHostRefreshCycle", R::kRefreshCycle, false},
    {0x603800EF, kProductRoot, "EnterpriseHostRefreshCycle", R::kRefreshCycle, false},
    {0x6038008E, kProductRoot, "LogTransferFrequency", R::kRefreshCycle, false},
    {0x603800CB, kProductRoot, "LogTransferFrequency", R::kRefreshCycle, false},
    {0x6038008F, kProductRoot, "RetainLogFiles", R::kNumber, false},
    {0x603800CC, kProductRoot, "RetainLogFiles", R::kNumber, false},
    {0x60380090, kProductRoot, "AllowAlertConsoles", R::kNumber, false},
    {0x603800CD, kProductRoot, "AllowAlertConsoles", R::kNumber, false},
    {0x603800A0, kProductRoot, "BackupProfilesToENT", R::kNumber, false},
    {0x603800A7, kProductRoot, "LogPurgeOption", R::kPurgeOption, false},
    {0x603800CE, kProductRoot, "LogPurgeOption", R::kPurgeOption, false},
    {0x603800AD, kProductRoot, "EmailReturnAddressForAlerts", R::kText, false},
    {0x603800B4, kProductRoot, "PerformSQLServerTransfer", R::kNumber, false},
    {0x603800D9, kProductRoot, "PerformSQLServerTransfer", R::kNumber, false},
    {0x603800B5, kProductRoot, "SQLServerForTransfer", R::kText, false},
    {0x603800DA, kProductRoot, "SQLServerForTransfer", R::kText, false},
    {0x603800EC, kProductRoot, "GpoTempPath", R::kText, false},
    {0x6038011C, kProductRoot, "AutoArchiveLogFiles", R::kNumber, false},
    {0x6038011D, kProductRoot, "AutoArchivePath", R::kArchivePath, false},
    {0x60410007, kProductRoot, "AlertRPTMGTResend", R::kNumber, false},
    {0x60410008, kProductRoot, "AlertRPTMGTResend", R::kAlwaysZero, false},
    {0x60480007, kProductRoot, "AlertRPTMGTSize", R::kZeroDeletes, false},
    {0x60480008, kProductRoot, "AlertRPTMGTEnable", R::kNumber, false},
    {0x60480009, kProductRoot, "AlertRPTMGTHours", R::kNumber, false},
    {0xFFCC188E, kProductRoot, "InvalidNDISBinding", R::kRawBytes, true},
    {0xFFD05551, kProductRoot, "EMailAlert_AD_Subject", R::kText, false},
    {0xFFD05552, kProductRoot, "EMailAlert_AD_Body", R::kText, false},
    {0xFFD05561, kProductRoot, "EMailAlert_FS_Subject", R::kText, false},
    {0xFFD05562, kProductRoot, "EMailAlert_FS_Body", R::kText, false},
    {0xFFD05571, kProductRoot, "EMailAlert_GP_Subject", R::kText, false},
    {0xFFD05572, kProductRoot, "EMailAlert_GP_Body", R::kText, false},
    {0xFFD05581, kProductRoot, "EMailAlert_LL_Subject", R::kText, false},
    {0xFFD05582, kProductRoot, "EMailAlert_LL_Body", R::kText, false},
    {0xFFD05591, kProductRoot, "EMailAlert_LF_Subject", R::kText, false},
    {0xFFD05592, kProductRoot, "EMailAlert_LF_Body", R::kText, false},
    {0x60F8001D, kSiblingRoot, "PurgeDays", R::kPurgeDays, false},
    {0x60F80023, kSiblingRoot, "LogSharePath", R::kText, false},
    {0x60F80025, kSiblingRoot, "BlockAdminInName", R::kNumber, false},
    {0x60F80026, kSiblingRoot, "BlockDirectAdminMember", R::kNumber, false},
    {0x60F8002F, kSiblingRoot, "IPv4PortKQRequests", R::kPort, false},
    {0x60F80030, kSiblingRoot, "IPv4PortWstnLogs", R::kPort, false},
    {0x60F80031, kSiblingRoot, "IPv4PortAlertConsoles", R::kPort, false},
    {0x60F8003E, kSiblingRoot, "ADLogonAcct", R::kTextAlways, false},
    {0x60F8003F, kSiblingRoot, "ADLogonAcctPwd", R::kPassword, false},
    {0x60F8005B, kSiblingRoot, "ADPreferredDC", R::kFirstLabel, false},
    {0x60F2005C, kSiblingRoot, "ADPreferredDC", R::kFirstLabel, true},
};

constexpr LONG kCycleLeast = 15, kCycleMost = 1440;
constexpr LONG kPortLeast = 49152, kPortMost = 65535;
constexpr LONG kPurgeLeast = 7;
constexpr char kFailureTitle[] = "QVMR0007.DLL";
constexpr char kOffline[] = "<server offline, cannot retrieve>";
constexpr char kNoPermission[] = "<permissions error connecting, cannot retrieve>";

struct SettingsState {
  uint32_t filler;  // the password blocks' filler generator
};
SettingsState g_settings;

bool is_sibling(DWORD root) { return root != kProductRoot; }

LONG delete_value(HKEY key, const char* name) {
  LONG rc = RegDeleteValueA(key, name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG write_text(HKEY key, const char* name, const char* text, bool keep_empty) {
  if (text[0] == '\0' && !keep_empty) return delete_value(key, name);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

LONG write_number(HKEY key, const char* name, LONG number) {
  DWORD value = static_cast<DWORD>(number);
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG clamp(LONG value, LONG least, LONG most) { return value < least ? least : value > most ? most : value; }

// The number a rule keeps of a number read or given; ports are clamped by their own rule.
LONG apply_number_rule(SettingRule rule, LONG number, bool writing) {
  switch (rule) {
    case R::kRefreshCycle: return clamp(number, kCycleLeast, kCycleMost);
    case R::kPurgeOption: return number >= 1 && number <= 6 ? 7 : number;
    case R::kPurgeDays: return writing && number < kPurgeLeast ? kPurgeLeast : number;
    case R::kAlwaysZero: return writing ? 0 : number;
    case R::kPort: return number == 0 ? 0 : clamp(number, kPortLeast, kPortMost);
    default: return number;
  }
}

// Reads a value into the area (terminated; a longer value is cut). 0 or the Windows error.
LONG read_area(HKEY key, const char* name, char* area, DWORD* size) {
  DWORD read = kSettingTextBytes - 1;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(area), &read);
  if (rc == ERROR_MORE_DATA) {
    DWORD whole = 0;
    RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &whole);
    auto* block = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, whole + 1));
    if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(block), &whole);
    read = whole < kSettingTextBytes - 1 ? whole : kSettingTextBytes - 1;
    std::memcpy(area, block, read);
    free_block(block);
  }
  area[rc == ERROR_SUCCESS ? read : 0] = '\0';
  *size = rc == ERROR_SUCCESS ? read : 0;
  return rc;
}

void show_set_failure(uint32_t id, LONG error, const char* server) {
  char text[300];
  std::snprintf(text, sizeof text, "[%x]Error %d occurred setting server configuration values (%.200s)",
                static_cast<unsigned>(id), static_cast<int>(error), server);
  show_message(nullptr, text, kFailureTitle, MB_ICONERROR);
}

LONG write_setting(HKEY key, const ServerSettingInfo& s, const char* text, LONG number, HWND owner) {
  char kept[kSettingTextBytes];
  switch (s.rule) {
    case R::kText: return write_text(key, s.value, text, false);
    case R::kTextAlways: return write_text(key, s.value, text, true);
    case R::kArchivePath:
      // Only a text with a backslash as its first or second character is kept ("\\server\share").
      return write_text(key, s.value, text[0] == '\\' || (text[0] != '\0' && text[1] == '\\') ? text : "", false);
    case R::kFirstLabel:
      copy_text(kept, sizeof kept, text);
      if (char* dot = std::strchr(kept, '.')) *dot = '\0';
      return write_text(key, s.value, kept, false);
    case R::kPort:
      if (number > kPortMost)
        show_message(owner, "Maximum Port Value is 65535, automatically resetting to be 65535.", "IP PORT OUT OF RANGE",
                     MB_ICONINFORMATION);
      else if (number != 0 && number < kPortLeast)
        show_message(owner, "Minimum Port Value is 49152, automatically resetting to be 49152.", "IP PORT OUT OF RANGE",
                     MB_ICONINFORMATION);
      return write_number(key, s.value, apply_number_rule(s.rule, number, true));
    case R::kZeroDeletes: return number == 0 ? delete_value(key, s.value) : write_number(key, s.value, number);
    case R::kPassword: {
      BYTE block[kPasswordBlockBytes];
      if (!BuildPasswordBlock(text, block)) return ERROR_INVALID_PARAMETER;  // refused before anything was opened
      return RegSetValueExA(key, s.value, 0, REG_BINARY, block, sizeof block);
    }
    case R::kRawBytes: return ERROR_SUCCESS;
    default: return write_number(key, s.value, apply_number_rule(s.rule, number, true));
  }
}

// The console user's directory name, offered for an empty logon account when it looks like one.
void offer_directory_name(char* text) {
  char name[kSettingTextBytes] = {};
  ULONG size = sizeof name;
  if (GetUserNameExA(NameFullyQualifiedDN, name, &size) && std::strlen(name) > 2 && name[2] == '=')
    copy_text(text, kSettingTextBytes, name);
}

LONG read_setting(HKEY key, const ServerSettingInfo& s, char* text) {
  char area[kSettingTextBytes];
  DWORD size = 0;
  LONG rc = read_area(key, s.value, area, &size);
  bool missing = rc == ERROR_FILE_NOT_FOUND;
  if (rc != ERROR_SUCCESS && !missing) return rc;
  switch (s.rule) {
    case R::kPassword: std::memset(text, 0, kSettingTextBytes); return ERROR_SUCCESS;
    case R::kRawBytes:
      std::memset(text, 0, 4);
      if (!missing) std::memcpy(text, area, size < 4 ? size : 4);
      return ERROR_SUCCESS;
    case R::kText:
    case R::kArchivePath:
    case R::kFirstLabel:
      copy_text(text, kSettingTextBytes, area);
      return ERROR_SUCCESS;
    case R::kTextAlways:
      copy_text(text, kSettingTextBytes, area);
      if (text[0] == '\0') offer_directory_name(text);
      return ERROR_SUCCESS;
    default: {
      DWORD stored = 0;
      std::memcpy(&stored, area, size < 4 ? size : 4);
      LONG number = apply_number_rule(s.rule, static_cast<LONG>(stored), false);
      // A port outside its range is put right on the server as it is read.
      if (s.rule == R::kPort && number != static_cast<LONG>(stored)) write_number(key, s.value, number);
      std::snprintf(text, kSettingTextBytes, "%d", static_cast<int>(number));
      return ERROR_SUCCESS;
    }
  }
}

}  // namespace

ServerSettingTable server_settings() { return {kSettings, sizeof kSettings / sizeof kSettings[0]}; }

const ServerSettingInfo* server_setting(uint32_t id) {
  for (const ServerSettingInfo& s : kSettings)
    if (s.id == id) return &s;
  return nullptr;
}

const ServerSettingInfo* server_setting_named(const char* value_name) {
  for (const ServerSettingInfo& s : kSettings)
    if (equal_ignoring_case(s.value, value_name)) return &s;
  return nullptr;
}

bool is_number_setting(const ServerSettingInfo& s) {
  switch (s.rule) {
    case R::kText:
    case R::kTextAlways:
    case R::kArchivePath:
    case R::kFirstLabel:
    case R::kRawBytes:
    case R::kPassword: return false;
    default: return true;
  }
}

LONG open_settings_root(HKEY machine, const char* server, DWORD root, REGSAM rights, HKEY* key) {
  if (!is_sibling(root)) return RegOpenKeyExA(machine, kProductKey, 0, remote_access(rights), key);
  LONG rc = RegOpenKeyExA(machine, kSiblingKey, 0, remote_access(rights), key);
  if (rc != ERROR_FILE_NOT_FOUND) return rc;
  rc = static_cast<LONG>(EstablishSiblingKey(machine, server, nullptr));
  return rc ? rc : RegOpenKeyExA(machine, kSiblingKey, 0, remote_access(rights), key);
}

LONG decimal_value(const char* text) { return static_cast<LONG>(std::strtol(text ? text : "", nullptr, 10)); }

DWORD ServerSetting(DWORD root, HKEY server_key, const char* server, uint32_t id, char* text, LONG number,
                    HWND owner, const BYTE* server_record, DWORD set) {
  const ServerSettingInfo* s = server_setting(id);
  if (s == nullptr || is_sibling(s->root) != is_sibling(root)) return 0;
  if (set && s->read_only) return 0;
  if (set && s->rule == R::kPassword && strnlen(text ? text : "", kPasswordMostChars + 1) > kPasswordMostChars) {
    char refusal[200];
    std::snprintf(refusal, sizeof refusal,
                  "The password is longer than %d characters and cannot be stored; the stored password was not "
                  "changed.",
                  static_cast<int>(kPasswordMostChars));
    show_message(owner, refusal, "PASSWORD TOO LONG", MB_ICONEXCLAMATION);
    return ERROR_INVALID_PARAMETER;
  }
  if (!set) {
    std::memset(text, 0, 5);
    if (server_record != nullptr && server_record[kItemByteReachability] == kUnreachable) {
      copy_text(text, kSettingTextBytes, kOffline);
      return 0;
    }
    if (server_record != nullptr && item_word(server_record, kItemWordAgentState) == kAgentPermissionError) {
      copy_text(text, kSettingTextBytes, kNoPermission);
      return 0;
    }
  }
  if (server_key == nullptr) {
    DWORD rc = ConnectServerRegistry(server, &server_key, kServerSettingTitle, 0);
    if (rc != 0) return rc;
    if (server_key == nullptr) return ERROR_BAD_NETPATH;
  }
  HKEY key;
  LONG rc = open_settings_root(server_key, server, root, set || s->rule == R::kPort ? KEY_ALL_ACCESS : KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    if (set) {
      char message[200];
      std::snprintf(message, sizeof message, "Error [%d] occurred obtaining root key handle {%d} for Set",
                    static_cast<int>(rc), static_cast<int>(root));
      show_message(nullptr, message, kFailureTitle, MB_ICONERROR);
    }
    return static_cast<DWORD>(rc);
  }
  rc = set ? write_setting(key, *s, text ? text : "", number, owner) : read_setting(key, *s, text);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS && set) show_set_failure(id, rc, server);
  return static_cast<DWORD>(rc);
}

// ---- The password block -------------------------------------------------------------

void password_filler(BYTE* bytes, size_t count) {
  // Seeded from the system's random source, so that a library loaded at the same moment as another
  // (the clock alone would give both one seed) still writes filler of its own.
  if (g_settings.filler == 0) {
    uint32_t seed = 0;
    if (!RtlGenRandom(&seed, sizeof seed)) seed = GetTickCount() ^ GetCurrentProcessId() << 16;
    g_settings.filler = seed | 1;
  }
  uint32_t x = g_settings.filler;
  for (size_t i = 0; i < count; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<BYTE>(x >> 24);
  }
  g_settings.filler = x;
}

BYTE password_byte(BYTE c) { return static_cast<BYTE>(((c << 3) | (c >> 5)) ^ 0x5A); }

BYTE password_char(BYTE stored) {
  BYTE x = static_cast<BYTE>(stored ^ 0x5A);
  return static_cast<BYTE>((x >> 3) | (x << 5));
}

size_t password_start(BYTE first) { return first > 128 ? first - 112 : first < 16 ? first + 85 : first; }

bool BuildPasswordBlock(const char* password, BYTE block[kPasswordBlockBytes]) {
  size_t length = strnlen(password, kPasswordMostChars + 1);
  if (length > kPasswordMostChars) return false;
  password_filler(block, kPasswordBlockBytes);
  size_t start = password_start(block[0]);
  for (size_t i = 0; i <= length; ++i) block[start + 2 * i] = password_byte(static_cast<BYTE>(password[i]));
  return true;
}
