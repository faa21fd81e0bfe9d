// Profile lists and alert filters, saved whole from the host's list controls.
#include "config/profile_lists.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/multi_string.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "directory/directory.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

constexpr int kIconEmail = 10;
constexpr int kIconLogonName = 13;
constexpr int kIconMarkedLogonName = 14;
constexpr int kIconExcluded = 15;
constexpr int kIconKerberos = 115;
constexpr int kIconIpRange = 7;
constexpr DWORD kMarkerMask = 0x0FFFFFFF;
constexpr size_t kRowTextBytes512 = 512;

uint32_t read_u32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void write_u32(BYTE* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

bool own_record(const BYTE* record) {
  return record != nullptr && item_word(record, kItemWordModule) == kModuleNumber;
}

void show_error(HWND owner, const char* title, const char* format, long code, const char* a, const char* b = "") {
  char text[700];
  std::snprintf(text, sizeof text, format, static_cast<int>(code), a, b);
  show_message(owner, text, title, MB_ICONERROR);
}

void show_refusal2(const char* title, const char* format, const char* a, const char* b) {
  char text[700];
  std::snprintf(text, sizeof text, format, a, b);
  show_message(nullptr, text, title, MB_ICONERROR);
}

void show_refusal(HWND owner, const char* title, const char* format, const char* a) {
  char text[600];
  std::snprintf(text, sizeof text, format, a);
  show_message(owner, text, title, MB_ICONEXCLAMATION);
}

// Connects and opens the profile key (the product key for no profile).
DWORD open_list_owner(const char* server, const char* profile, REGSAM rights, const char* title,
                      const char* open_format, HKEY* key, const char* open_title = nullptr) {
  *key = nullptr;
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, title, 0);
  if (rc != 0) return rc;
  if (root == nullptr) return ERROR_BAD_NETPATH;
  LONG opened = open_profile_key(root, profile, rights, key);
  if (opened != ERROR_SUCCESS && open_format) {
    char path[400];
    profile_key_path(profile, path, sizeof path);
    show_error(nullptr, open_title ? open_title : title, open_format, opened, path, server);
  }
  return static_cast<DWORD>(opened);
}

LONG create_subkey(HKEY parent, const char* name, HKEY* key) {
  DWORD disposition = 0;
  return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, remote_access(KEY_ALL_ACCESS), nullptr,
                         key, &disposition);
}

// Keeps the values of owner\name aside (none when the key is not there). false when no memory was left.
bool keep_subkey_values(HKEY owner, const char* name, KeptValues* kept) {
  *kept = {nullptr, 0};
  HKEY key;
  if (RegOpenKeyExA(owner, name, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) return true;
  bool ok = keep_values(key, kept);
  RegCloseKey(key);
  return ok;
}

// Deletes owner\name with everything below it; a key that is not there is gone already.
LONG delete_subkey(HKEY owner, const char* name, const char* server) {
  HKEY key;
  LONG rc = RegOpenKeyExA(owner, name, 0, remote_access(KEY_READ), &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  DeleteKeyTree(owner, name, server, 0);
  rc = DeleteRegistryKey(owner, name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// After a failure part-way: owner\name holds the kept values again (the key is made when it went).
void put_back_subkey(HKEY owner, const char* name, HKEY* key, const KeptValues& kept) {
  if (*key == nullptr && create_subkey(owner, name, key) != ERROR_SUCCESS) *key = nullptr;
  if (*key) put_back_values(*key, kept);
}

bool row_text_listed(HWND list, const char* text) {
  char row_text[kRowTextBytes512];
  for (int row = 0;; ++row) {
    const BYTE* record = nullptr;
    if (!read_list_row(list, row, row_text, sizeof row_text, &record)) return false;
    if (equal_ignoring_case(row_text, text)) return true;
  }
}

}  // namespace

void start_row_record(BYTE* record, HWND list, const BYTE* event_record) {
  std::memset(record, 0, kListItemBytes);
  if (event_record) {
    std::memcpy(record, event_record, kListItemHeaderBytes);
    return;
  }
  set_item_word(record, kItemWordModule, kModuleNumber);
  const uintptr_t* d = list ? control_descriptor_of(list) : nullptr;
  set_item_word(record, kItemWordControlId, d ? descriptor_identifier(d) : 0);
  set_item_word(record, kItemWordDialogItem, list ? static_cast<uint32_t>(GetDlgCtrlID(list)) : 0);
}

bool insert_list_row(HWND list, const char* text, int icon, const BYTE* record) {
  return insert_host_item(list, nullptr, RowPosition::Sorted, text, g_library.base_image_index + icon,
                          const_cast<BYTE*>(record));
}

bool read_list_row(HWND list, int row, char* text, size_t size, const BYTE** record) {
  auto get = host_service<HostGetListRowFn>(kHostGetListRow);
  *record = nullptr;
  if (text && size) text[0] = '\0';
  if (get == nullptr || list == nullptr) return false;
  // The host copies up to 512 bytes of row text.
  char buffer[kRowTextBytes512 + 1] = {};
  uintptr_t param = 0, image = 0, state = 0;
  if (!get(list, row, &param, &image, &state, buffer, 0, 0, -1)) return false;
  *record = reinterpret_cast<const BYTE*>(param);
  if (text) copy_text(text, size, buffer);
  return true;
}

DWORD MovePairedRows(HWND from, HWND to) {
  if (from == nullptr || to == nullptr) return 0;
  // The rows join the other list in the order they have here, then leave this one.
  int rows = static_cast<int>(SendMessageA(from, LVM_GETITEMCOUNT, 0, 0));
  DWORD moved = 0;
  for (int row = 0; row < rows; ++row) {
    if ((SendMessageA(from, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    char text[kRowTextBytes512];
    const BYTE* record = nullptr;
    if (!read_list_row(from, row, text, sizeof text, &record)) continue;
    ++moved;
    if (row_text_listed(to, text)) continue;
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(from, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    // The row keeps its data and now belongs to the other list; a directory row takes a copy of its
    // entry (path and option word), never the block the old row owns.
    BYTE copy[kListItemBytes];
    const DirectoryRowEntry* entry = own_record(record) ? row_directory_entry(record) : nullptr;
    if (entry == nullptr) start_row_record(copy, to, nullptr);
    else if (!start_directory_row(copy, to, entry->kind, entry->option, entry->path)) {
      LVITEMA keep = {};  // without memory for the copy the row stays where it is
      keep.stateMask = LVIS_SELECTED;
      SendMessageA(from, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&keep));
      continue;
    }
    if (own_record(record))
      std::memcpy(copy + kListItemHeaderBytes, record + kListItemHeaderBytes, kRowDataLimit - kListItemHeaderBytes);
    if (!insert_list_row(to, text, item.iImage - g_library.base_image_index, copy) && entry != nullptr)
      free_directory_row_entry(copy);
  }
  for (int row = rows - 1; row >= 0; --row)
    if (SendMessageA(from, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED)
      SendMessageA(from, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  return moved;
}

// ---- Kerberos failure codes ---------------------------------------------------

namespace {

struct KerberosCode {
  int code;
  const char* text;
};

constexpr KerberosCode kKerberosCodes[] = {
    {1, "[Client's entry in database expired]"},
    {2, "[Server's entry in database has expired]"},
    {3, "[Requested protocol version number not supported]"},
    {4, "[Client's key encrypted in old master key]"},
    {5, "[Server's key encrypted in old master key]"},
    {6, "[Bad Account Name:Client not found in Kerberos database]"},
    {8, "[NOT UNIQUE - Multiple principal entries in database]"},
    {9, "[The client or server has a null key]"},
    {10, "[Ticket not eligible for postdating]"},
    {11, "[Requested start time is later than end time]"},
    {12, "[KDC policy rejects request]"},
    {14, "[KDC has no support for encryption type]"},
    {15, "[KDC has no support for checksum type]"},
    {16, "[KDC has no support for padata type]"},
    {17, "[KDC has no support for transitedEncoding type]"},
    {18, "[Account Disabled/Locked/Expired:Client's credentials have been revoked]"},
    {19, "[Credentials for server have been revoked]"},
    {20, "[TGT has been revoked]"},
    {21, "[Client not yet valid - try again later]"},
    {22, "[Server not yet valid - try again later]"},
    {23, "[Password has expired - change password to reset]"},
    {24, "[Bad Password:Password is incorrect]"},
    {25, "[Additional pre-authentication required]"},
    {26, "[Requested server and ticket don't match]"},
    {27, "[Server valid for user2user only]"},
    {28, "[KDC Policy rejects transitedEncoding path]"},
    {29, "[A service is not available]"},
    {31, "[Integrity check on decrypted field failed]"},
    {32, "[Ticket expired]"},
    {33, "[Ticket not yet valid]"},
    {34, "[Request is a replay]"},
    {35, "[The ticket isn't for us]"},
    {36, "[Ticket and authenticator don't match]"},
    {37, "[Clock skew too great]"},
    {38, "[Incorrect net address]"},
    {39, "[Protocol version mismatch]"},
    {40, "[Invalid msg type]"},
    {41, "[Message stream modified]"},
    {42, "[Message out of order]"},
    {44, "[Specified version of key is not available]"},
    {45, "[Service key not available]"},
    {46, "[Mutual authentication failed]"},
    {47, "[Incorrect message direction]"},
    {48, "[Alternative authentication method required]"},
    {49, "[Incorrect sequence number in message]"},
    {50, "[Inappropriate type of checksum in message]"},
    {60, "[Generic Error]"},
    {61, "[Field is too long for this implementation]"},
    {62, "[Client is not trusted]"},
    {63, "[KDC is not trusted]"},
    {64, "[Signature is invalid]"},
    {65, "[Key too weak]"},
    {66, "[Certificates do not match]"},
    {67, "[No tgt for user-to-user authentication]"},
    {68, "[Wrong realm(domain)]"},
    {69, "[User-to-user authentication required]"},
    {70, "[Can't verify certificate]"},
    {71, "[Invalid certificate]"},
    {72, "[Revoked certificate]"},
    {73, "[Revocation status unknown]"},
    {74, "[Revocation status unavailable]"},
    {75, "[Client names do not match]"},
    {76, "[KDC names do not match]"},
};

// A code without a text shows its number alone ("007:").
void add_kerberos_row(HWND list, int code, const BYTE* event_record) {
  const char* meaning = kerberos_code_text(code);
  char text[120];
  std::snprintf(text, sizeof text, "%03d:%s", code, meaning ? meaning : "");
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  insert_list_row(list, text, kIconKerberos, record);
}

}  // namespace

const char* kerberos_code_text(int code) {
  for (const KerberosCode& k : kKerberosCodes)
    if (k.code == code) return k.text;
  return nullptr;
}

DWORD ListKerberosCodes(HWND list, const BYTE* event_record) {
  DWORD listed = 0;
  for (int code = 1; code <= kKerberosCodeLimit; ++code) {
    if (kerberos_code_text(code) == nullptr) continue;
    add_kerberos_row(list, code, event_record);
    ++listed;
  }
  return listed;
}

namespace {

// The key that holds KErrors: the profile's, or the product key for an empty profile name.
DWORD open_kerberos_owner(const char* server, const char* profile, REGSAM rights, HKEY* key) {
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, "UNABLE TO UPDATE KERBEROS FAILURE CODES TO TRACKS", 0);
  if (rc != 0 || root == nullptr) return rc ? rc : static_cast<DWORD>(ERROR_BAD_NETPATH);
  LONG opened = open_profile_key(root, profile, rights, key);
  if (opened != ERROR_SUCCESS)
    show_error(nullptr, "UNABLE TO KERBEROS FAILURE CODES", "Error %d opening registry key on server %s.", opened,
               server);
  return static_cast<DWORD>(opened);
}

}  // namespace

DWORD ListTrackedKerberosCodes(const char* server, const char* profile, HWND list, const BYTE* event_record) {
  HKEY key;
  if (open_kerberos_owner(server, profile, KEY_READ, &key) != 0) return 0;
  DWORD size = 0, listed = 0;
  // Every stored byte after the unused first one that is not zero is a tracked code, with a text or not.
  if (RegQueryValueExA(key, "KErrors", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 1) {
    auto* codes = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, size));
    if (codes && RegQueryValueExA(key, "KErrors", nullptr, nullptr, codes, &size) == ERROR_SUCCESS) {
      for (DWORD code = 1; code < size; ++code) {
        if (codes[code] == 0) continue;
        add_kerberos_row(list, static_cast<int>(code), event_record);
        ++listed;
      }
    }
    free_block(codes);
  }
  RegCloseKey(key);
  return listed;
}

DWORD SaveKerberosCodes(HWND list, const char* server, const char* profile) {
  BYTE codes[kKerberosCodeLimit] = {};
  int rows = 0;
  char text[kRowTextBytes512];
  for (const BYTE* record = nullptr; read_list_row(list, rows, text, sizeof text, &record); ++rows) {
    // The number before the first ":"; 1 to 79 are stored.
    long code = std::strtol(text, nullptr, 10);
    if (code >= 1 && code < kKerberosCodeLimit) codes[code] = 1;
  }
  HKEY key;
  DWORD rc = open_kerberos_owner(server, profile, KEY_ALL_ACCESS, &key);
  if (rc != 0) return rc;
  LONG written;
  if (rows == 0) {
    written = RegDeleteValueA(key, "KErrors");
    if (written == ERROR_FILE_NOT_FOUND) written = ERROR_SUCCESS;
  } else {
    written = RegSetValueExA(key, "KErrors", 0, REG_BINARY, codes, sizeof codes);
  }
  RegCloseKey(key);
  if (written != ERROR_SUCCESS)
    show_error(nullptr, "ERROR ON KERBEROS FAILURES TO TRACK", "Error %d updating kerror list", written, "");
  return static_cast<DWORD>(written);
}

// ---- Logon names and alert e-mail addresses --------------------------------------

namespace {

struct NameList {
  const char* subkey;
  const char* title;             // connection failure
  const char* open_title;
  const char* open_format;       // "[M]Error %d opening %s Key on server %s."
  const char* subkey_format;     // "[M]Error %d opening AlertEmails Key on server %s."
  const char* clear_title;
  const char* remove_title;
  const char* add_title;
  bool logon;
  // What a typed name is refused for: nothing typed, too long, a control character.
  const char* check_title;
  const char* empty_text;
  const char* long_format;
  size_t longest;
  const char* control_text;
};

constexpr NameList kLogonNames = {
    "LogonNamesToTrack", "UNABLE TO UPDATE LOGON NAMES TO TRACK FROM PROFILE", "UNABLE TO UPDATE LOGON NAMES TO TRACK",
    "[LO]Error %d opening %s Key on server %s.", "[LO]Error %d opening LogonNamesToTrack Key on server %s.",
    "ERROR ON CLEARING LOGON NAMES TO TRACK", "ERROR ON LOGON NAMES TO TRACK REMOVAL",
    "ERROR ON LOGON NAMES TO TRACK UPDATE", true, "INVALID LOGON NAME", "Please enter a logon name.",
    "The logon name %.40s... is longer than 256 characters.", kLogonNameChars,
    "A logon name cannot contain control characters."};
constexpr NameList kAlertEmails = {
    "AlertEmails", "UNABLE TO UPDATE EMAIL ADDRESS FROM PROFILE", "UNABLE TO UPDATE EMAIL ADDRRESS",
    "[M]Error %d opening %s Key on server %s.", "[M]Error %d opening AlertEmails Key on server %s.",
    "ERROR ON CLEARING EMAIL ADDRESSES", "ERROR ON EMAIL ADDRESS REMOVAL", "ERROR ON EMAIL ADDRESS UPDATE", false,
    "INVALID EMAIL ADDRESS", "Please enter an e-mail address.",
    "The e-mail address %.40s... is longer than 254 characters.", kEmailChars,
    "An e-mail address cannot contain control characters."};

// Only what keeps the value name and the row buffers sound is refused; any other text is taken as typed.
bool check_name(const NameList& kind, HWND owner, const char* name) {
  if (name == nullptr || name[0] == '\0') {
    show_message(owner, kind.empty_text, kind.check_title, MB_ICONEXCLAMATION);
    return false;
  }
  if (std::strlen(name) > kind.longest) {
    show_refusal(owner, kind.check_title, kind.long_format, name);
    return false;
  }
  for (const char* p = name; *p; ++p) {
    if (static_cast<unsigned char>(*p) < 0x20) {
      show_message(owner, kind.control_text, kind.check_title, MB_ICONEXCLAMATION);
      return false;
    }
  }
  return true;
}

DWORD list_names(const NameList& kind, const char* server, const char* profile, HWND list, const BYTE* event_record) {
  HKEY owner;
  if (open_list_owner(server, profile, KEY_ALL_ACCESS, kind.title, kind.open_format, &owner, kind.open_title) != 0) return 0;
  HKEY key;
  LONG rc = create_subkey(owner, kind.subkey, &key);
  RegCloseKey(owner);
  if (rc != ERROR_SUCCESS) {
    show_error(nullptr, "ERROR ON ALERT EMAILS KEY", "Error %d creating %s", rc, kind.subkey);
    return 0;
  }
  DWORD listed = 0;
  for (DWORD index = 0;; ++index) {
    char name[kLogonNameChars + 2] = {};
    DWORD name_size = sizeof name, type = 0, value = 0, size = sizeof value;
    LONG e = RegEnumValueA(key, index, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS && e != ERROR_MORE_DATA) continue;
    if (name[0] == '\0' || row_text_listed(list, name)) continue;
    BYTE record[kListItemBytes];
    start_row_record(record, list, event_record);
    int icon = kIconEmail;
    if (kind.logon) {
      DWORD marker = e == ERROR_SUCCESS && size == 4 && value == (value & kMarkerMask);
      write_u32(record + kRowDataOffset, marker);
      icon = marker ? kIconMarkedLogonName : kIconLogonName;
    }
    insert_list_row(list, name, icon, record);
    ++listed;
  }
  RegCloseKey(key);
  return listed;
}

DWORD add_name(const NameList& kind, HWND list, const char* name, DWORD marker, const BYTE* event_record) {
  if (!check_name(kind, nullptr, name)) return 0;
  // A name the list holds already is not added again (listing adds each name once too).
  if (row_text_listed(list, name)) return 0;
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  write_u32(record + kRowDataOffset, kind.logon ? marker : 0);
  insert_list_row(list, name, kind.logon ? (marker ? kIconMarkedLogonName : kIconLogonName) : kIconEmail, record);
  return 1;
}

DWORD update_name(const NameList& kind, const char* name, const char* server, const char* profile, DWORD operation,
                  DWORD marker) {
  // Only a name being added is checked: one being removed may be anything that was stored.
  if (operation != kListClearAll && operation != kListRemove && !check_name(kind, nullptr, name))
    return ERROR_INVALID_NAME;
  HKEY owner;
  DWORD rc = open_list_owner(server, profile, KEY_ALL_ACCESS, kind.title, kind.open_format, &owner, kind.open_title);
  if (rc != 0) return rc;
  LONG result = ERROR_SUCCESS;
  if (operation == kListClearAll) {
    result = delete_subkey(owner, kind.subkey, server);
    if (result != ERROR_SUCCESS) show_error(nullptr, kind.clear_title, "Error %d completely removing %s", result, kind.subkey);
  } else {
    HKEY key;
    result = create_subkey(owner, kind.subkey, &key);
    if (result != ERROR_SUCCESS) {
      show_error(nullptr, kind.open_title, kind.subkey_format, result, server);
    } else if (operation == kListRemove) {
      result = RegDeleteValueA(key, name);
      if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
      if (result != ERROR_SUCCESS) show_error(nullptr, kind.remove_title, "Error %d removing %s", result, name);
      RegCloseKey(key);
    } else {
      DWORD now = current_seconds();
      if (kind.logon && marker) now &= kMarkerMask;
      result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&now), sizeof now);
      if (result != ERROR_SUCCESS) show_error(nullptr, kind.add_title, "Error %d adding %s", result, name);
      RegCloseKey(key);
    }
  }
  RegCloseKey(owner);
  return static_cast<DWORD>(result);
}

DWORD save_names(const NameList& kind, HWND list, const char* server, const char* profile, DWORD merge) {
  HKEY owner;
  DWORD rc = open_list_owner(server, profile, KEY_ALL_ACCESS, kind.title, kind.open_format, &owner, kind.open_title);
  if (rc != 0) return rc;
  KeptValues before;
  if (!keep_subkey_values(owner, kind.subkey, &before)) {
    show_message(nullptr, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    RegCloseKey(owner);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  char failed_title[100] = {}, failed_text[700] = {};
  LONG result = ERROR_SUCCESS;
  // Without merge the whole subkey goes first; its values stay kept for a failure.
  if (!merge) {
    result = delete_subkey(owner, kind.subkey, server);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, kind.clear_title);
      std::snprintf(failed_text, sizeof failed_text, "Error %d completely removing %s", static_cast<int>(result),
                    kind.subkey);
    }
  }
  HKEY key = nullptr;
  if (result == ERROR_SUCCESS) {
    result = create_subkey(owner, kind.subkey, &key);
    if (result != ERROR_SUCCESS) {
      key = nullptr;
      copy_text(failed_title, sizeof failed_title, kind.open_title);
      std::snprintf(failed_text, sizeof failed_text, kind.subkey_format, static_cast<int>(result), server);
    }
  }
  // Rows were checked when they were typed in, or were listed from what is stored: each is written as it
  // is, so a name listed twice is written twice into its one value.
  DWORD now = current_seconds();
  char text[kRowTextBytes512];
  const BYTE* record = nullptr;
  for (int row = 0; result == ERROR_SUCCESS && read_list_row(list, row, text, sizeof text, &record); ++row) {
    DWORD stamp = now;
    if (kind.logon && own_record(record) && read_u32(record + kRowDataOffset)) stamp &= kMarkerMask;
    result = RegSetValueExA(key, text, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stamp), sizeof stamp);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, kind.add_title);
      std::snprintf(failed_text, sizeof failed_text, "Error %d adding %.500s", static_cast<int>(result), text);
    }
  }
  // Stored names that the list no longer holds go; the walk restarts after each removal.
  for (DWORD index = 0; result == ERROR_SUCCESS;) {
    char name[16384];
    DWORD size = sizeof name;
    LONG e = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS || row_text_listed(list, name)) {
      ++index;
      continue;
    }
    result = RegDeleteValueA(key, name);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, kind.remove_title);
      std::snprintf(failed_text, sizeof failed_text, "*1*Error %d removing %.500s", static_cast<int>(result), name);
    }
    index = 0;
  }
  if (result != ERROR_SUCCESS) {
    put_back_subkey(owner, kind.subkey, &key, before);
    show_message(nullptr, failed_text, failed_title, MB_ICONERROR);
  }
  release_kept_values(&before);
  if (key) RegCloseKey(key);
  RegCloseKey(owner);
  return static_cast<DWORD>(result);
}

}  // namespace

bool CheckLogonName(HWND owner, const char* name) { return check_name(kLogonNames, owner, name); }
bool CheckEmailAddress(HWND owner, const char* address) { return check_name(kAlertEmails, owner, address); }

DWORD logon_row_marker(const BYTE* record) { return own_record(record) ? read_u32(record + kRowDataOffset) : 0; }

DWORD ListLogonNames(const char* server, const char* profile, HWND list, const BYTE* event_record) {
  return list_names(kLogonNames, server, profile, list, event_record);
}
DWORD ListAlertEmails(const char* server, const char* profile, HWND list, const BYTE* event_record) {
  return list_names(kAlertEmails, server, profile, list, event_record);
}
DWORD AddLogonName(HWND list, const char* name, DWORD marker, const BYTE* event_record) {
  return add_name(kLogonNames, list, name, marker, event_record);
}
DWORD AddAlertEmail(HWND list, const char* address, const BYTE* event_record) {
  return add_name(kAlertEmails, list, address, 0, event_record);
}
DWORD UpdateLogonName(const char* name, const char* server, const char* profile, DWORD operation, DWORD marker) {
  return update_name(kLogonNames, name, server, profile, operation, marker);
}
DWORD UpdateAlertEmail(const char* name, const char* server, const char* profile, DWORD operation) {
  return update_name(kAlertEmails, name, server, profile, operation, 0);
}
DWORD SaveLogonNames(HWND list, const char* server, const char* profile, DWORD merge) {
  return save_names(kLogonNames, list, server, profile, merge);
}
DWORD SaveAlertEmails(HWND list, const char* server, const char* profile, DWORD merge) {
  return save_names(kAlertEmails, list, server, profile, merge);
}

// ---- Alert account filters -----------------------------------------------------

DWORD SetEmailAlertAccounts(DWORD query_or_set, const char* server, const char* profile, char* not_accounts,
                            char* ok_accounts) {
  const char* title = "UNABLE TO QUERY/SET EMAIL ALERT OPTIONS FOR SELECTED PROFILE";
  static const char* const kNames[2] = {"EmailAlertsNotAccounts", "EmailAlertsOKAccounts"};
  char* texts[2] = {not_accounts, ok_accounts};
  HKEY key;
  // Only a failed connection is shown; other failures are returned.
  DWORD rc = open_list_owner(server, profile, query_or_set == kAlertAccountsSet ? KEY_ALL_ACCESS : KEY_READ, title,
                             nullptr, &key);
  if (rc != 0) return rc;
  LONG result = ERROR_SUCCESS;
  if (query_or_set != kAlertAccountsSet) {
    for (int i = 0; i < 2; ++i) {
      if (texts[i] == nullptr) continue;
      // At most the first 6000 bytes of a longer text are read.
      DWORD size = 0;
      LONG read = ERROR_SUCCESS;
      BYTE* stored = read_value_block(key, kNames[i], &size, nullptr, &read);
      size = size < kAlertAccountsBytes ? size : static_cast<DWORD>(kAlertAccountsBytes);
      if (stored) std::memcpy(texts[i], stored, size);
      texts[i][size] = '\0';
      free_block(stored);
    }
  } else {
    KeptValues before;
    if (!keep_values(key, &before)) {
      RegCloseKey(key);
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    for (int i = 0; i < 2 && result == ERROR_SUCCESS; ++i) {
      const char* text = texts[i] ? texts[i] : "";
      if (text[0]) {
        result = RegSetValueExA(key, kNames[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text)));
      } else {
        result = RegDeleteValueA(key, kNames[i]);
        if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
      }
    }
    if (result != ERROR_SUCCESS) put_back_values(key, before);
    release_kept_values(&before);
  }
  RegCloseKey(key);
  return static_cast<DWORD>(result);
}

namespace {

struct AlertAccountsDialog {
  const char* server;
  const char* profile;
  char not_accounts[kAlertAccountsBytes + 1];
  char ok_accounts[kAlertAccountsBytes + 1];
};

INT_PTR CALLBACK alert_accounts_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* d = reinterpret_cast<AlertAccountsDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    d = reinterpret_cast<AlertAccountsDialog*>(lparam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    // Each field takes what its text is read back as: 6000 characters.
    SendMessageA(GetDlgItem(dialog, IDC_ALERT_NOT_ACCOUNTS), EM_LIMITTEXT, kAlertAccountsBytes, 0);
    SendMessageA(GetDlgItem(dialog, IDC_ALERT_OK_ACCOUNTS), EM_LIMITTEXT, kAlertAccountsBytes, 0);
    SetDlgItemTextA(dialog, IDC_ALERT_NOT_ACCOUNTS, d->not_accounts);
    SetDlgItemTextA(dialog, IDC_ALERT_OK_ACCOUNTS, d->ok_accounts);
    return TRUE;
  }
  if (message != WM_COMMAND || d == nullptr) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  GetDlgItemTextA(dialog, IDC_ALERT_NOT_ACCOUNTS, d->not_accounts, sizeof d->not_accounts);
  GetDlgItemTextA(dialog, IDC_ALERT_OK_ACCOUNTS, d->ok_accounts, sizeof d->ok_accounts);
  DWORD saved = SetEmailAlertAccounts(kAlertAccountsSet, d->server, d->profile, d->not_accounts, d->ok_accounts);
  EndDialog(dialog, saved == 0 ? IDOK : IDCANCEL);
  return TRUE;
}

}  // namespace

INT_PTR EditEmailAlertAccounts(HWND owner, const char* server, const char* profile) {
  auto* d = static_cast<AlertAccountsDialog*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, sizeof(AlertAccountsDialog)));
  if (d == nullptr) return IDCANCEL;
  d->server = server;
  d->profile = profile;
  INT_PTR result = IDCANCEL;
  if (SetEmailAlertAccounts(kAlertAccountsQuery, server, profile, d->not_accounts, d->ok_accounts) == 0)
    result = DialogBoxParamA(g_library.instance, "EMAIL_ALERTS_POPTS", owner, alert_accounts_proc,
                             reinterpret_cast<LPARAM>(d));
  free_block(d);
  return result;
}

// ---- IPv4 ranges ---------------------------------------------------------------

namespace {

// The range kept in a row: 9 bytes as stored, after a word that marks it present.
constexpr uint32_t kRangeRowMark = 0x49505234;  // "4RPI"

void range_value(const IpRange& r, BYTE* data) {
  for (int i = 0; i < 4; ++i) {
    data[i] = r.from[3 - i];
    data[4 + i] = r.to[3 - i];
  }
  data[8] = r.flag;
}

IpRange range_of_value(const BYTE* data) {
  IpRange r = {};
  for (int i = 0; i < 4; ++i) {
    r.from[3 - i] = data[i];
    r.to[3 - i] = data[4 + i];
  }
  r.flag = data[8];
  return r;
}

// The range of a row: from its record, else from its text.
bool row_range(const char* text, const BYTE* record, IpRange* r) {
  if (own_record(record) && read_u32(record + kRowDataOffset) == kRangeRowMark) {
    *r = range_of_value(record + kRowDataOffset + 4);
    return true;
  }
  unsigned a[8];
  char tail;
  if (std::sscanf(text, "%u.%u.%u.%u through %u.%u.%u.%u%c", &a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &a[7],
                  &tail) != 8)
    return false;
  for (int i = 0; i < 8; ++i)
    if (a[i] > 255) return false;
  for (int i = 0; i < 4; ++i) {
    r->from[i] = static_cast<BYTE>(a[i]);
    r->to[i] = static_cast<BYTE>(a[4 + i]);
  }
  r->flag = 0;
  return true;
}

uint32_t packed(const BYTE* octets) {
  return static_cast<uint32_t>(octets[0]) << 24 | octets[1] << 16 | octets[2] << 8 | octets[3];
}

}  // namespace

bool CheckIpRange(HWND owner, const char* const fields[8], IpRange* range) {
  static const char* const kOrdinal[4] = {"first", "second", "third", "fourth"};
  std::memset(range, 0, sizeof *range);
  for (int i = 0; i < 8; ++i) {
    // A decimal number from the leading digits (after blanks and a sign); no digits read as 0.
    // A negative number is refused like one above the limit.
    long value = std::strtol(fields[i] ? fields[i] : "", nullptr, 10);
    long most = i % 4 == 0 ? 239 : 255;
    if (value < 0 || value > most) {
      char message[120];
      std::snprintf(message, sizeof message, "The %s \"%s\" octet must start with a number between 0 and %ld",
                    kOrdinal[i % 4], i < 4 ? "from" : "to", most);
      show_message(owner, message, "EDIT IP ADDRESS", MB_ICONEXCLAMATION);
      return false;
    }
    if (i < 4) range->from[i] = static_cast<BYTE>(value);
    else range->to[i - 4] = static_cast<BYTE>(value);
  }
  if (packed(range->from) > packed(range->to)) {
    show_message(owner, "The \"From\" IP Address must be a \"smaller\" Address than the \"To\" IP Address.",
                 "INVALID IP ADDRESS RANGE", MB_ICONEXCLAMATION);
    return false;
  }
  return true;
}

void ip_range_value_name(const IpRange& r, char* out, size_t size) {
  std::snprintf(out, size, "%02x%02x%02x%02x%02x%02x%02x%02x", r.from[0], r.from[1], r.from[2], r.from[3], r.to[0],
                r.to[1], r.to[2], r.to[3]);
}

void ip_range_text(const IpRange& r, char* out, size_t size) {
  std::snprintf(out, size, "%d.%d.%d.%d through %d.%d.%d.%d", r.from[0], r.from[1], r.from[2], r.from[3], r.to[0],
                r.to[1], r.to[2], r.to[3]);
}

DWORD AddIpRange(HWND list, const IpRange& range, const BYTE* event_record) {
  char text[80];
  ip_range_text(range, text, sizeof text);
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  write_u32(record + kRowDataOffset, kRangeRowMark);
  range_value(range, record + kRowDataOffset + 4);
  insert_list_row(list, text, kIconIpRange, record);
  return 1;
}

DWORD ListIpRanges(const char* server, const char* profile, HWND list, const BYTE* event_record) {
  HKEY owner;
  if (open_list_owner(server, profile, KEY_ALL_ACCESS, "UNABLE TO GET IP RANGE DETAILS",
                      "Error %d opening %s on server %s.", &owner) != 0)
    return 0;
  DWORD listed = ListIpRangesOf(owner, list, event_record);
  RegCloseKey(owner);
  return listed;
}

DWORD ListIpRangesOf(HKEY owner, HWND list, const BYTE* event_record) {
  HKEY key;
  LONG rc = create_subkey(owner, "IP_Ranges", &key);
  if (rc != ERROR_SUCCESS) {
    show_error(nullptr, "ERROR ON IP RANGES KEY", "Error %d creating %s", rc, "IP_Ranges");
    return 0;
  }
  DWORD listed = 0;
  for (DWORD index = 0;; ++index) {
    char name[64];
    BYTE data[16];
    DWORD name_size = sizeof name, size = sizeof data, type = 0;
    LONG e = RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS || size != 9) continue;  // not a range the console wrote
    listed += AddIpRange(list, range_of_value(data), event_record);
  }
  RegCloseKey(key);
  return listed;
}

DWORD SaveIpRanges(HWND list, const char* server, const char* profile) {
  HKEY owner;
  DWORD rc = open_list_owner(server, profile, KEY_ALL_ACCESS, "UNABLE TO SET IP RANGES",
                             "Error %d opening %s on server %s.", &owner);
  if (rc != 0) return rc;
  rc = SaveIpRangesOf(owner, list, "ERROR ON IP RANGES REMOVAL");
  RegCloseKey(owner);
  return rc;
}

DWORD SaveIpRangesOf(HKEY owner, HWND list, const char* removal_title) {
  char text[kRowTextBytes512];
  int rows = 0;
  for (const BYTE* record = nullptr; read_list_row(list, rows, text, sizeof text, &record);) ++rows;
  HKEY key;
  LONG result = create_subkey(owner, "IP_Ranges", &key);
  if (result != ERROR_SUCCESS) {
    show_error(nullptr, "ERROR ON IP RANGES KEY", "Error %d creating %s", result, "IP_Ranges");
    return static_cast<DWORD>(result);
  }
  KeptValues before;
  if (!keep_values(key, &before)) {
    RegCloseKey(key);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  char failed_title[60] = {}, failed_text[300] = {};
  // Ranges no longer listed go first.
  for (DWORD index = 0; result == ERROR_SUCCESS;) {
    char name[16384];
    DWORD size = sizeof name;
    LONG e = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    bool listed = false;
    for (int row = 0; row < rows && !listed && e == ERROR_SUCCESS; ++row) {
      const BYTE* record = nullptr;
      IpRange r;
      char value_name[20];
      if (read_list_row(list, row, text, sizeof text, &record) && row_range(text, record, &r)) {
        ip_range_value_name(r, value_name, sizeof value_name);
        listed = equal_ignoring_case(value_name, name);
      }
    }
    if (e != ERROR_SUCCESS || listed) {
      ++index;
      continue;
    }
    result = RegDeleteValueA(key, name);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, removal_title);
      std::snprintf(failed_text, sizeof failed_text, "*2*Error %d removing %.200s", static_cast<int>(result), name);
    }
    index = 0;
  }
  // One value per row that holds a range; a later row with the same start and end replaces an earlier one.
  for (int row = 0; result == ERROR_SUCCESS && row < rows; ++row) {
    const BYTE* record = nullptr;
    IpRange r;
    if (!read_list_row(list, row, text, sizeof text, &record) || !row_range(text, record, &r)) continue;
    char name[20];
    BYTE data[9];
    ip_range_value_name(r, name, sizeof name);
    range_value(r, data);
    result = RegSetValueExA(key, name, 0, REG_BINARY, data, sizeof data);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, "ERROR ON IP RANGES KEY");
      std::snprintf(failed_text, sizeof failed_text, "Error %d creating %s", static_cast<int>(result), name);
    }
  }
  if (result != ERROR_SUCCESS) {
    put_back_values(key, before);
    show_message(nullptr, failed_text, failed_title, MB_ICONERROR);
  }
  release_kept_values(&before);
  RegCloseKey(key);
  return static_cast<DWORD>(result);
}

// ---- Excluded accounts ---------------------------------------------------------

namespace {

// "DOMAIN\name" as the server resolves the SID, else the SID text itself.
void excluded_text(const char* server, const char* sid_text, char* out, size_t size) {
  copy_text(out, size, sid_text);
  PSID sid = nullptr;
  if (!ConvertStringSidToSidA(sid_text, &sid)) return;
  char name[256] = {}, domain[256] = {};
  DWORD name_size = sizeof name, domain_size = sizeof domain;
  SID_NAME_USE use;
  char system[kServerNameBytes + 2] = "\\\\";
  append_text(system, sizeof system, equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server);
  if (LookupAccountSidA(system, sid, name, &name_size, domain, &domain_size, &use))
    std::snprintf(out, size, "%s\\%s", domain, name);
  LocalFree(sid);
}

void add_excluded_row(HWND list, const char* server, const char* sid_text, DWORD word, const BYTE* event_record) {
  char text[kRowTextBytes512];
  excluded_text(server, sid_text, text, sizeof text);
  BYTE record[kListItemBytes];
  start_row_record(record, list, event_record);
  write_u32(record + kRowDataOffset, word);
  copy_text(reinterpret_cast<char*>(record + kRowDataOffset + 4), kSidTextBytes, sid_text);
  insert_list_row(list, text, kIconExcluded, record);
}

const char* row_sid(const BYTE* record) {
  if (!own_record(record)) return nullptr;
  const char* sid = reinterpret_cast<const char*>(record + kRowDataOffset + 4);
  return (sid[0] == 'S' || sid[0] == 's') && sid[1] == '-' ? sid : nullptr;
}

}  // namespace

DWORD ListExcluded(const char* server, const char* profile, HWND list, const BYTE* event_record) {
  HKEY owner;
  if (open_list_owner(server, profile, KEY_READ, "UNABLE TO UPDATE LIST OF EXCLUDED USERS",
                      "Error %d opening %s on server %s.", &owner) != 0)
    return 0;
  HKEY key;
  LONG rc = RegOpenKeyExA(owner, "Excluded", 0, remote_access(KEY_READ), &key);
  RegCloseKey(owner);
  if (rc != ERROR_SUCCESS) {
    if (rc != ERROR_FILE_NOT_FOUND)
      show_error(nullptr, "ERROR OPENING EXCLUDED", "Error %d opening %s for Profile %s", rc, "Excluded", profile);
    return 0;
  }
  DWORD listed = 0;
  for (DWORD index = 0;; ++index) {
    char name[kSidTextBytes];
    DWORD name_size = sizeof name, word = 0, size = sizeof word;
    LONG e = RegEnumValueA(key, index, name, &name_size, nullptr, nullptr, reinterpret_cast<BYTE*>(&word), &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS && e != ERROR_MORE_DATA) continue;
    add_excluded_row(list, server, name, size == 4 ? word : 0, event_record);
    ++listed;
  }
  RegCloseKey(key);
  return listed;
}

DWORD AddExcludedAccount(HWND list, const char* server, const char* account, DWORD word, const BYTE* event_record) {
  const char* title = "UNABLE TO UPDATE LIST OF EXCLUDED USERS";
  BYTE sid[80];
  char domain[256];
  DWORD sid_size = sizeof sid, domain_size = sizeof domain;
  SID_NAME_USE use;
  char system[kServerNameBytes + 2] = "\\\\";
  append_text(system, sizeof system, equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server);
  if (account == nullptr || account[0] == '\0' ||
      !LookupAccountNameA(system, account, sid, &sid_size, domain, &domain_size, &use)) {
    char text[400];
    std::snprintf(text, sizeof text, "Unable to find the account %.100s on server %.100s, error %d",
                  account ? account : "", server, static_cast<int>(GetLastError()));
    show_message(nullptr, text, title, MB_ICONEXCLAMATION);
    return 0;
  }
  char* sid_text = nullptr;
  if (!ConvertSidToStringSidA(sid, &sid_text)) return 0;
  char text[kRowTextBytes512];
  for (int row = 0;; ++row) {
    const BYTE* record = nullptr;
    if (!read_list_row(list, row, text, sizeof text, &record)) break;
    const char* listed = row_sid(record);
    // An account the list holds already is not added again.
    if (listed && equal_ignoring_case(listed, sid_text)) {
      LocalFree(sid_text);
      return 0;
    }
  }
  add_excluded_row(list, server, sid_text, word, event_record);
  LocalFree(sid_text);
  return 1;
}

DWORD SaveExcluded(HWND list, const char* server, const char* profile) {
  const char* title = "UNABLE TO UPDATE LIST OF EXCLUDED USERS";
  HKEY root;
  DWORD rc = ConnectServerRegistry(server, &root, title, 0);
  if (rc != 0 || root == nullptr) return rc ? rc : static_cast<DWORD>(ERROR_BAD_NETPATH);
  HKEY owner;
  LONG result = open_profile_key(root, profile, KEY_ALL_ACCESS, &owner);
  if (result != ERROR_SUCCESS) {
    show_error(nullptr, "UNABLE TO UPDATE PROFILE", "Error %d opening VORNIX Profiles Key on server %s.", result, server);
    return static_cast<DWORD>(result);
  }
  // The stored accounts are kept aside, the key is made anew, and put back on a failure.
  KeptValues before;
  if (!keep_subkey_values(owner, "Excluded", &before)) {
    RegCloseKey(owner);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  char failed_title[80] = {}, failed_text[400] = {};
  result = delete_subkey(owner, "Excluded", server);
  if (result == 1745) result = ERROR_SUCCESS;
  if (result != ERROR_SUCCESS) {
    copy_text(failed_title, sizeof failed_title, "ERROR ON DELETING EXCLUDED KEY FOR PROFILE");
    std::snprintf(failed_text, sizeof failed_text, "EX:Error %d removing %.100s=%s", static_cast<int>(result),
                  profile, "Excluded");
  }
  HKEY key = nullptr;
  if (result == ERROR_SUCCESS) {
    result = create_subkey(owner, "Excluded", &key);
    if (result != ERROR_SUCCESS) {
      key = nullptr;
      copy_text(failed_title, sizeof failed_title, "ERROR UPDATING PROFILE");
      std::snprintf(failed_text, sizeof failed_text, "Error %d creating %s", static_cast<int>(result), "Excluded");
    }
  }
  char text[kRowTextBytes512];
  for (int row = 0; result == ERROR_SUCCESS; ++row) {
    const BYTE* record = nullptr;
    if (!read_list_row(list, row, text, sizeof text, &record)) break;
    const char* sid = row_sid(record);
    if (sid == nullptr) continue;
    DWORD word = read_u32(record + kRowDataOffset);
    result = RegSetValueExA(key, sid, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word);
    if (result != ERROR_SUCCESS) {
      copy_text(failed_title, sizeof failed_title, "ERROR UPDATING PROFILE");
      std::snprintf(failed_text, sizeof failed_text, "Error %d creating %s", static_cast<int>(result), sid);
    }
  }
  if (result != ERROR_SUCCESS) {
    put_back_subkey(owner, "Excluded", &key, before);
    // The removal's failure belongs to the window in front, the others to the library.
    bool removal = std::strncmp(failed_text, "EX:", 3) == 0;
    show_message(removal ? GetForegroundWindow() : nullptr, failed_text, failed_title, MB_ICONERROR);
  }
  if (key) RegCloseKey(key);
  release_kept_values(&before);
  RegCloseKey(owner);
  return static_cast<DWORD>(result);
}

// ---- Directory tracking lists and group policy objects ------------------------------

namespace {

constexpr size_t kTrackingLimit = 62500;
// The attribute list is built in a buffer of its own; it holds this much less 1500 bytes.
constexpr size_t kAttributeBufferBytes = kTrackingLimit + 1500;
constexpr size_t kTrackingEntryChars = 1024;
constexpr const char* kBusyAttributes[] = {"dnsRecord", "dsCorePropagationData", "lastLogon",
                                           "logonCount", "uSNChanged", "whenChanged"};

struct TrackingList {
  const char* value;
  int icon;
  const char* title;        // connection and open failures
  const char* write_title;
  const char* denied_format;
  const char* error_format;
  const char* overflow_code;
  bool attributes;
};

constexpr TrackingList kTrackingLists[] = {
    {"ObjTrack", 64, "UNABLE TO UPDATE ACTIVE DIRECTORY OBJECTS TO TRACK ENTRIES", "ERROR SETTING OBJECTS TO TRACK *",
     "Access Denied while updating %s on server %s.  Please verify your account has sufficient permissions to update "
     "the registry on this server.",
     "Error [%d] occurred while updating %s on server %s.", "C29", false},
    {"ObjClassTrack", 65, "UNABLE TO UPDATE ACTIVE DIRECTORY OBJECT CLASSES TO TRACK ENTRIES",
     "ERROR SETTING OBJECT CLASSES TO TRACK *",
     "Access Denied while updating %s on server %s.  Please verify your account has sufficient permissions to update "
     "the registry on this server.",
     "Error [%d] occurred while updating %s on server %s.", "C31", false},
    {"AttrTrack", 66, "UNABLE TO UPDATE ACTIVE DIRECTORY ATTRIBUTES TO TRACK ENTRIES", "ERROR SETTING ATTRIBUTES TO TRACK *",
     "Access Denied while updating Profile %s on server %s.  Please verify your account has sufficient permissions "
     "to update the registry on this server.",
     "Error [%d] occurred while updating Profile %s on server %s.", "C32.1", true},
};

void warn_overflow(const char* start, const char* code) {
  char text[300];
  std::snprintf(text, sizeof text, "%s - Please report code %s to %s.", start, code, kVendorSupportAddress);
  show_message(nullptr, text, library_title(), MB_ICONWARNING);
}

// A row's entry text and option word: what a directory row stands for, else its text and stored word.
void tracking_entry(const char* text, const BYTE* record, char* out, size_t size, DWORD* option) {
  *option = 0;
  copy_text(out, size, text);
  if (const DirectoryRowEntry* entry = row_directory_entry(record)) {
    copy_text(out, size, entry->path[0] ? entry->path : text);
    *option = entry->option;
  } else if (own_record(record)) {
    *option = read_u32(record + kRowDataOffset);
  }
}

// Appends "text%08X" and its terminator; false (nothing appended) when it would pass the limit.
bool append_tracking_entry(char* buffer, size_t* used, size_t limit, const char* text, DWORD option, bool attributes) {
  char entry[kTrackingEntryChars + 16];
  // An excluded attribute is written with the exclude bit alone.
  if (attributes && (option & kAttributeExclude)) option = kAttributeExclude;
  int length = std::snprintf(entry, sizeof entry, "%s%08X", text, static_cast<unsigned>(option));
  if (length < 0 || *used + static_cast<size_t>(length) + 2 > limit) return false;
  std::memcpy(buffer + *used, entry, static_cast<size_t>(length) + 1);
  *used += static_cast<size_t>(length) + 1;
  return true;
}

DWORD save_tracking(const TrackingList& kind, HWND list, const char* server, const char* profile) {
  size_t capacity = kind.attributes ? kAttributeBufferBytes : kTrackingLimit;
  size_t limit = kind.attributes ? kAttributeBufferBytes - 1500 : kTrackingLimit;
  auto* buffer = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, capacity));
  if (buffer == nullptr) {
    if (kind.attributes)
      warn_overflow("Unable to alloc memory to save all attributes to track selected", "C32.4");
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  size_t used = 0;
  int rows = 0;
  char text[kRowTextBytes512];
  for (const BYTE* record = nullptr; read_list_row(list, rows, text, sizeof text, &record); ++rows) {
    char entry[kTrackingEntryChars];
    DWORD option = 0;
    tracking_entry(text, record, entry, sizeof entry, &option);
    if (!append_tracking_entry(buffer, &used, limit, entry, option, kind.attributes)) {
      // The three lists share the objects' text; the code tells them apart.
      warn_overflow("Unable to save all objects to track selected", kind.overflow_code);
      break;
    }
  }
  if (kind.attributes && rows == 0 &&
      ask_confirmation(nullptr,
                       "Because no specific attributes have been selected to track, *all* attributes will be "
                       "tracked.\n\nWould you like to exclude the following common \"busy\" attributes:\n\n"
                       "dnsRecord\ndsCorePropagationData\nlastLogon\nlogonCount\nuSNChanged\nwhenChanged\n\nAfter "
                       "adding these attributes you can edit each as required.",
                       "Automatically exclude tracking of busy attributes?", MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
    for (const char* name : kBusyAttributes) append_tracking_entry(buffer, &used, limit, name, kAttributeExclude, true);
  }
  HKEY key;
  DWORD rc = open_list_owner(server, profile, KEY_ALL_ACCESS, kind.title,
                             "Error [%d] occurred while opening\n\n%s\n\non Server %s.", &key);
  if (rc != 0) {
    free_block(buffer);
    return rc;
  }
  LONG written;
  if (used == 0) {
    written = RegDeleteValueA(key, kind.value);
    if (written == ERROR_FILE_NOT_FOUND) written = ERROR_SUCCESS;
  } else {
    buffer[used] = '\0';  // the extra terminator
    written = RegSetValueExA(key, kind.value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(buffer),
                             static_cast<DWORD>(used + 1));
  }
  RegCloseKey(key);
  free_block(buffer);
  if (written != ERROR_SUCCESS) {
    const char* named = kind.attributes ? profile : kind.value;
    if (written == ERROR_ACCESS_DENIED) show_refusal2(kind.write_title, kind.denied_format, named, server);
    else show_error(nullptr, kind.write_title, kind.error_format, written, named, server);
  }
  return static_cast<DWORD>(written);
}

// Lists one multi-string: each entry's text with the option word that ends it.
DWORD list_tracking(const TrackingList& kind, HKEY key, HWND list) {
  if (list == nullptr) return 0;
  DWORD size = 0, type = 0;
  if (RegQueryValueExA(key, kind.value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return 0;
  auto* data = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, size + 2));
  DWORD listed = 0;
  if (data && RegQueryValueExA(key, kind.value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
    for (const char* entry = data; entry < data + size && *entry; entry += std::strlen(entry) + 1) {
      size_t length = std::strlen(entry);
      if (length < 8) continue;  // not an entry this console wrote
      char text[kTrackingEntryChars];
      copy_text(text, sizeof text, entry);
      text[length - 8 < sizeof text ? length - 8 : sizeof text - 1] = '\0';
      DWORD option = static_cast<DWORD>(std::strtoul(entry + length - 8, nullptr, 16));
      BYTE record[kListItemBytes];
      start_row_record(record, list, nullptr);
      write_u32(record + kRowDataOffset, option);
      insert_list_row(list, text, kind.icon, record);
      ++listed;
    }
  }
  free_block(data);
  return listed;
}

}  // namespace

DWORD SaveObjTrack(HWND list, const char* server, const char* profile) {
  return save_tracking(kTrackingLists[0], list, server, profile);
}
DWORD SaveObjClassTrack(HWND list, const char* server, const char* profile) {
  return save_tracking(kTrackingLists[1], list, server, profile);
}
DWORD SaveAttrTrack(HWND list, const char* server, const char* profile) {
  return save_tracking(kTrackingLists[2], list, server, profile);
}

DWORD tracking_row_option(const BYTE* record) { return own_record(record) ? read_u32(record + kRowDataOffset) : 0; }

DWORD GetDirectoryTrackingDetails(const char* server, const char* profile, HWND objects, HWND classes,
                                  HWND attributes) {
  HKEY key;
  if (open_list_owner(server, profile, KEY_READ, kTrackingLists[0].title,
                      "Error [%d] occurred while opening\n\n%s\n\non Server %s.", &key) != 0)
    return 0;
  DWORD listed = list_tracking(kTrackingLists[0], key, objects) + list_tracking(kTrackingLists[1], key, classes) +
                 list_tracking(kTrackingLists[2], key, attributes);
  RegCloseKey(key);
  return listed;
}

DWORD ListGposTracked(const char* server, const char* profile, HWND list) {
  HKEY owner;
  if (open_list_owner(server, profile, KEY_READ, "UNABLE TO UPDATE GROUP POLICY OBJECTS TO TRACK ENTRIES",
                      "Error [%d] occurred while opening\n\n%s\n\non Server %s.", &owner) != 0)
    return 0;
  HKEY key;
  LONG rc = RegOpenKeyExA(owner, "GPOsTracked", 0, remote_access(KEY_READ), &key);
  RegCloseKey(owner);
  if (rc != ERROR_SUCCESS) {
    if (rc != ERROR_FILE_NOT_FOUND)
      show_error(nullptr, "ERROR OPENING GPOSTRACKED", "Error %d opening %s for Profile %s", rc, "GPOsTracked", profile);
    return 0;
  }
  DWORD listed = 0;
  for (DWORD index = 0;; ++index) {
    char name[kRowTextBytes512], path[kDirectoryPathBytes] = {};
    DWORD name_size = sizeof name, size = sizeof path - 1, type = 0;
    LONG e = RegEnumValueA(key, index, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS || type != REG_SZ) continue;
    // Only a policy object that the server's domain still has is listed.
    if (!GpoPathExists(equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server, path)) continue;
    BYTE record[kListItemBytes];
    if (!start_directory_row(record, list, kListGpos, 0, path)) continue;
    insert_directory_row(list, name, g_library.base_image_index + kIconGpo, record);
    ++listed;
  }
  RegCloseKey(key);
  return listed;
}

DWORD SaveGposTracked(HWND list, const char* server, const char* profile) {
  HKEY owner;
  DWORD rc = open_list_owner(server, profile, KEY_ALL_ACCESS, "UNABLE TO UPDATE GROUP POLICY OBJECTS TO TRACK ENTRIES",
                             "Error [%d] occurred while opening\n\n%s\n\non Server %s.", &owner);
  if (rc != 0) return rc;
  HKEY key = nullptr;
  KeptValues before = {nullptr, 0};
  LONG result = create_subkey(owner, "GPOsTracked", &key);
  if (result != ERROR_SUCCESS) {
    show_error(nullptr, "UNABLE TO UPDATE GROUP POLICY OBJECTS TO TRACK", "Error %d opening GPOsTracked Key on server %s.",
               result, server);
    RegCloseKey(owner);
    return static_cast<DWORD>(result);
  }
  if (!keep_values(key, &before)) {
    RegCloseKey(key);
    RegCloseKey(owner);
    show_message(nullptr, "Error 00C allocating memory", "QVMR0007.DLL", MB_ICONERROR);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  // Every stored value goes, then one value per row: its text names the path of the policy object.
  for (;;) {
    char name[kRowTextBytes512];
    DWORD name_size = sizeof name;
    if (RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
  }
  char text[kRowTextBytes512];
  const BYTE* record = nullptr;
  for (int row = 0; result == ERROR_SUCCESS && read_list_row(list, row, text, sizeof text, &record); ++row) {
    const DirectoryRowEntry* entry = row_directory_entry(record);
    const char* path = entry && entry->path[0] ? entry->path : text;
    result = RegSetValueExA(key, text, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                            static_cast<DWORD>(std::strlen(path) + 1));
    if (result != ERROR_SUCCESS) show_error(nullptr, "ERROR ON GROUP POLICY OBJECT REG UPDATE", "Error %d adding %s", result, text);
  }
  if (result != ERROR_SUCCESS) put_back_values(key, before);
  release_kept_values(&before);
  RegCloseKey(key);
  RegCloseKey(owner);
  return static_cast<DWORD>(result);
}
