// A server's e-mail settings and the mail sent through zovuruve.dll.
#include "config/email_config.h"

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/server_settings.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/results_window.h"
#include "resources/resource.h"

namespace {

constexpr char kMailLibrary[] = "zovuruve.dll";
constexpr char kMailExport[] = "qvmr_smtp_email";
constexpr DWORD kTestMailMode = 1;
constexpr DWORD kReportMailMode = 17;
constexpr DWORD kReportMailPauseMs = 250;
constexpr DWORD kBlockSpareBytes = 100;
constexpr char kMessageTitle[] = "VORNIX message from QVMR0007.DLL";
constexpr char kReportSubject[] = "VORNIX Graphical Activity Report";
constexpr char kSaveTitle[] = "UNABLE TO SAVE SERVER EMAIL CONFIG DATA";
constexpr char kRecallTitle[] = "UNABLE TO RECALL SERVER EMAIL CONFIG DATA";

using SendMailFn = DWORD(WINAPI*)(DWORD, const char*, DWORD, DWORD, const char*, const char*, const char*,
                                  const char*, const char*, const char*);

// Connects and opens the product key; 3 when the server cannot be reached, 5 when the key cannot be opened.
DWORD open_product_key(const char* server, const char* title, REGSAM rights, HKEY* product) {
  HKEY root;
  if (ConnectServerRegistry(server, &root, title, 0) != 0 || root == nullptr) return 3;
  LONG rc = RegOpenKeyExA(root, kProductKey, 0, remote_access(rights), product);
  if (rc == ERROR_SUCCESS) return 0;
  char text[300];
  std::snprintf(text, sizeof text, "Error %d occurred while attempting to open VORNIX key at server %.100s",
                static_cast<int>(rc), server);
  show_message(nullptr, text, kMessageTitle, MB_ICONERROR);
  return 5;
}

// A text value into a buffer of kEmailTextBytes; false when it is missing.
bool read_text(HKEY key, const char* name, char* out) {
  DWORD type = 0, size = kEmailTextBytes - 1;
  std::memset(out, 0, kEmailTextBytes);
  return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) == ERROR_SUCCESS;
}

DWORD read_number(HKEY key, const char* name) {
  DWORD value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) return 0;
  return value;
}

LONG write_text(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(strnlen(text, kEmailTextBytes - 1) + 1));
}

// The mail library and its export; null (and the library released) when either is missing.
SendMailFn load_mail_library(HMODULE* library, DWORD* failure) {
  *library = LoadLibraryA(kMailLibrary);
  if (*library == nullptr) {
    *failure = 1;
    return nullptr;
  }
  auto send = reinterpret_cast<SendMailFn>(reinterpret_cast<void*>(GetProcAddress(*library, kMailExport)));
  if (send == nullptr) {
    *failure = 2;
    FreeLibrary(*library);
    *library = nullptr;
  }
  return send;
}

// The report's bytes, whole, in a block of size + spare bytes; null with the reason in body when it
// cannot be had (the file is then attached instead).
char* embed_file(const char* file, DWORD size, char* body, size_t body_size) {
  char* block = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, size + kBlockSpareBytes));
  if (block == nullptr) {
    std::snprintf(body, body_size, "Failure Allocating %d bytes, unable to embed, attaching report",
                  static_cast<int>(size + kBlockSpareBytes));
    return nullptr;
  }
  HANDLE in = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) {
    std::snprintf(body, body_size, "Failure %d Opening %.300s, unable to embed, attempting to attach",
                  static_cast<int>(GetLastError()), file);
    free_block(block);
    return nullptr;
  }
  DWORD read = 0, total = 0;
  while (total < size && ReadFile(in, block + total, size - total, &read, nullptr) && read > 0) total += read;
  CloseHandle(in);
  return block;
}

// The five SMTP values; the password block's filler complements the block that was there.
void write_email_values(HKEY product, const EmailConfig& record) {
  BYTE block[kSmtpPasswordBlockBytes] = {};
  DWORD size = sizeof block;
  RegQueryValueExA(product, "SMTP Password", nullptr, nullptr, block, &size);
  encode_smtp_password(record.password, block);
  write_text(product, "SMTP Server", record.smtp_server);
  write_text(product, "SMTP Send As", record.sender);
  RegSetValueExA(product, "SMTP Password", 0, REG_BINARY, block, sizeof block);
  RegSetValueExA(product, "SMTP Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&record.port), sizeof record.port);
  RegSetValueExA(product, "SMTP Security", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&record.security),
                 sizeof record.security);
}

}  // namespace

void encode_smtp_password(const char* password, BYTE block[kSmtpPasswordBlockBytes]) {
  const size_t length = strnlen(password, kSmtpPasswordBlockBytes - 2);
  for (size_t i = 0; i <= length; ++i)
    block[kSmtpPasswordBlockBytes - 1 - i] =
        password_byte(i < length ? static_cast<BYTE>(password[i]) : static_cast<BYTE>(0));
  BYTE filler[kSmtpPasswordBlockBytes];
  password_filler(filler, sizeof filler);
  for (size_t at = kSmtpPasswordBlockBytes - 2 - length; at >= 1; --at)
    block[at] = static_cast<BYTE>(~block[at] & filler[at]);
}

void decode_smtp_password(const BYTE block[kSmtpPasswordBlockBytes], char* out, size_t size) {
  size_t n = 0;
  for (size_t at = kSmtpPasswordBlockBytes - 1; at >= 1 && n + 1 < size; --at) {
    char c = static_cast<char>(password_char(block[at]));
    if (c == '\0') break;
    out[n++] = c;
  }
  if (size > 0) out[n] = '\0';
}

DWORD store_email_config(const char* server, const EmailConfig& record) {
  HKEY product;
  if (DWORD rc = open_product_key(server, kSaveTitle, KEY_ALL_ACCESS, &product)) return rc;
  write_email_values(product, record);
  RegCloseKey(product);
  return 0;
}

DWORD read_email_config(const char* server, EmailConfig* record) {
  std::memset(record, 0, sizeof *record);
  HKEY product;
  if (DWORD rc = open_product_key(server, kRecallTitle, KEY_READ, &product)) return rc;
  read_text(product, "SMTP Server", record->smtp_server);
  if (!read_text(product, "SMTP Send As", record->sender)) read_text(product, "EmailReturnAddressForAlerts", record->sender);
  BYTE block[kSmtpPasswordBlockBytes] = {};
  DWORD size = sizeof block;
  if (RegQueryValueExA(product, "SMTP Password", nullptr, nullptr, block, &size) == ERROR_SUCCESS &&
      size == sizeof block)
    decode_smtp_password(block, record->password, sizeof record->password);
  record->port = read_number(product, "SMTP Port");
  record->security = read_number(product, "SMTP Security");
  RegCloseKey(product);
  return 0;
}

void send_test_email(HWND window, const EmailConfig& record, const char* recipient) {
  if (recipient == nullptr || recipient[0] == '\0') {
    show_message(window, "Please specify a destination email address for the test", "Required Input Missing",
                 MB_ICONERROR);
    return;
  }
  HMODULE library;
  DWORD failure = 0;
  SendMailFn send = load_mail_library(&library, &failure);
  if (send == nullptr) {
    show_message(window,
                 failure == 1 ? "Unable to load ZOVURUVE.DLL\n\nUnable to email report."
                              : "Successfully loaded ZOVURUVE.DLL\n\nUnable to locate correct export to email "
                                "report.\n\nUnable to email report",
                 kMessageTitle, MB_ICONERROR);
    return;
  }
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  send(kTestMailMode, record.smtp_server, record.port, record.security, record.sender, record.password,
       "VORNIX CONSOLE TEST EMAIL MESSAGE", recipient, "Test Message", nullptr);
  SetCursor(previous);
  FreeLibrary(library);
}

void MailReportFile(LONG size, const char* file, const char* server, const char* recipients) {
  EmailConfig settings;
  if (read_email_config(server, &settings) != 0 || settings.smtp_server[0] == '\0') return;
  HMODULE library;
  DWORD failure = 0;
  SendMailFn send = load_mail_library(&library, &failure);
  if (send == nullptr) return;
  const char* name = file && file[0] ? file : "<no filename specified>";
  const DWORD bytes = size < 0 || static_cast<DWORD>(size) > kReportMailMostBytes ? kReportMailMostBytes
                                                                                  : static_cast<DWORD>(size);
  // The report's own bytes are the body when they can be read; otherwise the body says why and
  // carries the file note, and the file goes as an attachment.
  char note[kEmailTextBytes * 2] = {};
  char* body = nullptr;
  const char* attachment = nullptr;
  if (size == 0) {
    copy_text(note, sizeof note, "\r\nFILE SIZE IS ZERO, no file will be attached");
  } else {
    body = embed_file(file, bytes, note, sizeof note);
    if (body == nullptr) {
      char grouped[32];
      std::snprintf(grouped, sizeof grouped, "%u", static_cast<unsigned>(bytes));
      if (auto format_number = host_service<void(WINAPI*)(char*)>(kHostFormatNumber)) format_number(grouped);
      char attached[kEmailTextBytes];
      std::snprintf(attached, sizeof attached, "\n\rFILE ATTACHED:%.300s Filesize : %s bytes", name, grouped);
      append_text(note, sizeof note, attached);
      attachment = file;
    }
  }
  // The library may change what it is given: each recipient gets the record and body as saved.
  char* saved_body = body ? static_cast<char*>(allocate_block(GMEM_FIXED, bytes + kBlockSpareBytes)) : nullptr;
  if (saved_body) std::memcpy(saved_body, body, bytes + kBlockSpareBytes);
  const EmailConfig saved = settings;
  for (const char* slot = recipients; slot && slot[0] != '\0'; slot += kRecipientSlotBytes) {
    char to[kRecipientSlotBytes + 1] = {};
    std::memcpy(to, slot, kRecipientSlotBytes);  // a slot filled to its end still ends here
    send(kReportMailMode, settings.smtp_server, settings.port, settings.security, settings.sender, settings.password,
         kReportSubject, to, body ? body : note, attachment);
    Sleep(kReportMailPauseMs);
    settings = saved;
    if (saved_body) std::memcpy(body, saved_body, bytes + kBlockSpareBytes);
  }
  free_block(saved_body);
  free_block(body);
  FreeLibrary(library);
}

// ---- The e-mail dialogs ----------------------------------------------------------------

namespace {

constexpr char kVerificationTitle[] = "Email Configuration Verification Error";
constexpr size_t kPortFieldBytes = 25;  // at most 24 characters are read
// The values that make a server's e-mail configuration, all removed together.
constexpr const char* kEmailValues[] = {"SMTP Server",   "SMTP Send As", "EmailReturnAddressForAlerts",
                                        "SMTP Password", "SMTP Port",    "SMTP Security"};

struct SecurityButton {
  int item;
  DWORD security;
};
constexpr SecurityButton kSecurityButtons[] = {
    {IDC_EMAIL_NO_SECURITY, kSmtpNoSecurity}, {IDC_EMAIL_SSL, kSmtpSsl}, {IDC_EMAIL_TLS, kSmtpTls}};

// A non-zero decimal number of digits only that fits 32 bits; 0 for anything else.
DWORD port_number(const char* text) {
  if (text[0] == '\0') return 0;
  uint64_t value = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(*c - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<DWORD>(value);
}

void refuse(HWND window, const char* text) { show_message(window, text, kVerificationTitle, MB_ICONERROR); }

// The server's e-mail mark follows what was just saved or removed, and the server view shows it.
void mark_server_item(BYTE* item, bool configured) {
  if (item != nullptr) item[kItemEmailConfigured] = configured ? 1 : 0;
  if (IsWindow(g_library.main_server_list)) InvalidateRect(g_library.main_server_list, nullptr, TRUE);
}

// With an empty SMTP server field in mode 1 on a configured server: removes the six values after the
// user agrees. True when removed.
bool remove_email_values(HWND window, HKEY product, BYTE* item) {
  DWORD size = 0;
  if (RegQueryValueExA(product, "SMTP Server", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  if (ask_confirmation(window,
                       "No SMTP Server specified, would you like to REMOVE the Email Configuration?\n\n"
                       "Click OK to REMOVE, Click CANCEL to go back and edit.",
                       "KEEP EMAIL CONFIG?", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return false;
  for (const char* value : kEmailValues) RegDeleteValueA(product, value);
  mark_server_item(item, false);
  return true;
}

// Reads and checks the dialog's fields into the settings; false after telling the user which is wrong.
// product is the open key (mode 1), null otherwise; *removed is set when the user chose removal.
bool read_email_fields(HWND window, DWORD mode, HKEY product, BYTE* item, EmailConfig* settings, bool* removed) {
  GetDlgItemTextA(window, IDC_EMAIL_SMTP_SERVER, settings->smtp_server, sizeof settings->smtp_server);
  if (settings->smtp_server[0] == '\0') {
    *removed = mode == kEmailValidateSave && product != nullptr && remove_email_values(window, product, item);
    if (!*removed) refuse(window, "No SMTP Server specified, field is required.");
    return false;
  }
  char port[kPortFieldBytes] = {};
  GetDlgItemTextA(window, IDC_EMAIL_PORT, port, sizeof port);
  settings->port = port_number(port);
  if (settings->port == 0) {
    refuse(window, "Invalid Port specified, field is required.");
    return false;
  }
  GetDlgItemTextA(window, IDC_EMAIL_SEND_AS, settings->sender, sizeof settings->sender);
  if (settings->sender[0] == '\0') {
    refuse(window, "No \"Send As\" value specified, field is required.");
    return false;
  }
  GetDlgItemTextA(window, IDC_EMAIL_PASSWORD, settings->password, sizeof settings->password);
  settings->security = kSmtpNoSecurity;
  for (const SecurityButton& b : kSecurityButtons)
    if (SendMessageA(GetDlgItem(window, b.item), BM_GETCHECK, 0, 0) == BST_CHECKED) settings->security = b.security;
  return true;
}

}  // namespace

DWORD SaveEmailConfig(HWND window, DWORD mode, EmailConfigRecord* record, const char* server, BYTE* server_item) {
  if (mode == kEmailSaveUnchanged) {
    if (store_email_config(server, record->settings) == 0) mark_server_item(server_item, true);
    return 0;
  }
  HKEY product = nullptr;
  if (server != nullptr)
    if (DWORD rc = open_product_key(server, kSaveTitle, KEY_ALL_ACCESS, &product)) return rc;
  bool removed = false;
  bool valid = read_email_fields(window, mode, product, server_item, &record->settings, &removed);
  if (valid && mode == kEmailValidateSave && product != nullptr) {
    write_email_values(product, record->settings);
    mark_server_item(server_item, true);
  }
  if (product != nullptr) RegCloseKey(product);
  // A removal ends the edit as a save does.
  return valid || removed ? 1 : 0;
}

DWORD RecallEmailConfig(HWND window, EmailConfigRecord* record, const char* server) {
  DWORD rc = read_email_config(server, &record->settings);
  if (rc != 0 || window == nullptr) return rc;
  const EmailConfig& s = record->settings;
  SetDlgItemTextA(window, IDC_EMAIL_SMTP_SERVER, s.smtp_server);
  char port[kPortFieldBytes] = "";
  if (s.port != 0) std::snprintf(port, sizeof port, "%d", static_cast<int>(s.port));
  SetDlgItemTextA(window, IDC_EMAIL_PORT, port);
  SetDlgItemTextA(window, IDC_EMAIL_SEND_AS, s.sender);
  SetDlgItemTextA(window, IDC_EMAIL_PASSWORD, s.password);
  // A missing or unknown security value selects the first choice.
  int chosen = kSecurityButtons[0].item;
  for (const SecurityButton& b : kSecurityButtons)
    if (b.security == s.security) chosen = b.item;
  for (const SecurityButton& b : kSecurityButtons)
    SendMessageA(GetDlgItem(window, b.item), BM_SETCHECK, b.item == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
  return 0;
}

namespace {

INT_PTR CALLBACK test_email_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* record = reinterpret_cast<const EmailConfigRecord*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    return TRUE;
  }
  if (message != WM_COMMAND || record == nullptr) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  char recipient[kRecipientSlotBytes] = {};
  GetDlgItemTextA(dialog, IDC_EMAIL_TEST_RECIPIENT, recipient, sizeof recipient);
  send_test_email(dialog, record->settings, recipient);
  if (recipient[0] != '\0') EndDialog(dialog, IDOK);  // without a recipient the dialog stays for one
  return TRUE;
}

// Saves to each server of the record's list in turn (at most its count); the last save's result.
DWORD save_to_servers(HWND window, EmailConfigRecord* record) {
  if (record->server_count <= 1) return SaveEmailConfig(window, kEmailValidateSave, record, record->servers,
                                                        record->server_item);
  char servers[kEmailServerListBytes];
  copy_text(servers, sizeof servers, record->servers);
  DWORD result = 0, saved = 0;
  char* rest = servers;
  for (char* name = rest; name != nullptr && saved < record->server_count; name = rest, ++saved) {
    rest = std::strchr(name, ';');
    if (rest != nullptr) *rest++ = '\0';
    result = SaveEmailConfig(window, kEmailValidateSave, record, name, nullptr);
  }
  return result;
}

// The ten alert templates in the dialog's field order (subject and body of AD, FS, GP, LL, LF),
// fields IDC_TEMPLATE_FIRST onwards.
constexpr uint32_t kTemplateSettings[] = {0xFFD05551, 0xFFD05552, 0xFFD05561, 0xFFD05562, 0xFFD05571,
                                          0xFFD05572, 0xFFD05581, 0xFFD05582, 0xFFD05591, 0xFFD05592};
constexpr size_t kTemplateMostChars = 3430;
constexpr DWORD kKnownServersMost = 500;

// ---- The token menu of the template fields ----
//
// Each template field's right-click menu (the edit's own) gets the tokens to insert: the dialog
// hooks the menu-popup-start event of the console's thread and, when the menu of a field opens,
// appends a separator and the token items; the field, subclassed, receives the chosen command,
// puts the token on the clipboard and pastes it at its caret.

enum TokenGroup { kEveryTemplate, kTimeTokens, kDirectoryBody, kGroupPolicyBody, kNotOffered };

struct TemplateToken {
  UINT command;
  TokenGroup group;
  const char* menu_text;
  const char* token;
};

constexpr TemplateToken kTemplateTokens[] = {
    {37120, kEveryTemplate, "Insert Server Name (%S)", "%S"},
    {37121, kEveryTemplate, "Insert Profile Name (%p)", "%p"},
    {37122, kEveryTemplate, "Insert Object Affected (%o)", "%o"},
    {37123, kEveryTemplate, "Insert Action Type (%a)", "%a"},
    {37124, kEveryTemplate, "Insert Perpetrator Name (%r)", "%r"},
    {37125, kEveryTemplate, "Insert Perpetrator IP Address (%i)", "%i"},
    {37126, kEveryTemplate, "Insert Perpetrator Workstation Name (%w)", "%w"},
    {37127, kTimeTokens, "Insert Time {ex:Jan 1, 2016 10:58:50} (%T)", "%T"},
    {37128, kTimeTokens, "Insert Month Name (%M)", "%M"},
    {37129, kTimeTokens, "Insert Day of Month (%d)", "%d"},
    {37136, kTimeTokens, "Insert Year (%y)", "%y"},
    {37137, kTimeTokens, "Insert Hour (24-Hour Format) (%h)", "%h"},
    {37138, kTimeTokens, "Insert Minute (%m)", "%m"},
    {37139, kTimeTokens, "Insert Second (%c)", "%c"},
    {37152, kDirectoryBody, "Insert Object Class (%j)", "%j"},
    {37153, kDirectoryBody, "Insert Attribute Name (%u)", "%u"},
    {37156, kDirectoryBody, "Insert Specified Attribute Value (%v:ATTRIBUTENAME)", "%v:PUT_ATTRIBUTE_NAME_HERE"},
    {37168, kGroupPolicyBody, "Insert GPO Name (%g)", "%g"},
    {37169, kGroupPolicyBody, "Insert GPO Change Details (%e)", "%e"},
    {37170, kGroupPolicyBody, "Insert GPO Filename that changed (%f)", "%f"},
    // Recognised when such a command arrives; no menu offers them.
    {37154, kNotOffered, nullptr, "%0"},
    {37155, kNotOffered, nullptr, "%1"},
};

// The template dialog's hook and its fields' own window procedure (one class, one procedure for all
// ten). field is the template field whose right-click menu is opening, null at other times.
struct TemplateMenus {
  HWINEVENTHOOK hook;
  WNDPROC edit_proc;
  HWND field;
};
TemplateMenus g_template_menus = {nullptr, nullptr, nullptr};

// The extra group of a field: the directory body's and the group policy body's; none elsewhere.
TokenGroup extra_group(HWND field) {
  switch (GetDlgCtrlID(field)) {
    case IDC_TEMPLATE_AD_BODY: return kDirectoryBody;
    case IDC_TEMPLATE_GP_BODY: return kGroupPolicyBody;
    default: return kEveryTemplate;
  }
}

// A separator, the tokens of every template, a separator, the time tokens, then (in the directory or
// group policy body) a separator and that body's own tokens.
void append_token_items(HMENU menu, TokenGroup extra) {
  TokenGroup previous = kNotOffered;
  for (const TemplateToken& t : kTemplateTokens) {
    if (t.group != kEveryTemplate && t.group != kTimeTokens && t.group != extra) continue;
    if (t.group != previous) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, t.command, t.menu_text);
    previous = t.group;
  }
}

// The field under the mouse pointer is the one the right-click was in: WM_CONTEXTMENU names it.
// Only that field's menu gets the items; any other menu that opens meanwhile is left alone.
void CALLBACK template_menu_opened(HWINEVENTHOOK, DWORD event, HWND popup, LONG, LONG, DWORD, DWORD) {
  if (event != EVENT_SYSTEM_MENUPOPUPSTART || g_template_menus.field == nullptr) return;
  auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  if (menu == nullptr) return;
  append_token_items(menu, extra_group(g_template_menus.field));
  g_template_menus.field = nullptr;  // one menu per right-click: a submenu opened from it gets nothing
}

// The token goes on the clipboard as text and is pasted at the field's caret, over any selection.
void insert_token(HWND field, const char* token) {
  const size_t size = std::strlen(token) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (block == nullptr) return;
  auto* bytes = static_cast<char*>(GlobalLock(block));
  if (bytes == nullptr || !OpenClipboard(field)) {
    GlobalFree(block);
    return;
  }
  std::memcpy(bytes, token, size);
  GlobalUnlock(block);
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);  // the clipboard did not take it
  CloseClipboard();
  SendMessageA(field, WM_PASTE, 0, 0);
}

LRESULT CALLBACK template_field_proc(HWND field, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CONTEXTMENU) {
    HWND previous = g_template_menus.field;
    g_template_menus.field = reinterpret_cast<HWND>(wparam);
    LRESULT result = CallWindowProcA(g_template_menus.edit_proc, field, message, wparam, lparam);
    g_template_menus.field = previous;
    return result;
  }
  if (message == WM_COMMAND && lparam == 0)  // a menu's command
    for (const TemplateToken& t : kTemplateTokens)
      if (t.command == LOWORD(wparam)) {
        insert_token(field, t.token);
        return 0;
      }
  return CallWindowProcA(g_template_menus.edit_proc, field, message, wparam, lparam);
}

// Subclasses the ten fields and hooks the opening of menus on this thread, until the dialog ends.
void start_template_menus(HWND dialog) {
  for (size_t i = 0; i < std::size(kTemplateSettings); ++i) {
    HWND field = GetDlgItem(dialog, IDC_TEMPLATE_FIRST + static_cast<int>(i));
    auto own = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&template_field_proc)));
    if (own != nullptr && own != &template_field_proc) g_template_menus.edit_proc = own;
  }
  g_template_menus.field = nullptr;
  g_template_menus.hook = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPSTART, nullptr,
                                          &template_menu_opened, GetCurrentProcessId(), GetCurrentThreadId(),
                                          WINEVENT_OUTOFCONTEXT);
}

void end_template_menus() {
  if (g_template_menus.hook != nullptr) UnhookWinEvent(g_template_menus.hook);
  g_template_menus.hook = nullptr;
  g_template_menus.field = nullptr;
}

INT_PTR CALLBACK alert_templates_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* server = reinterpret_cast<const char*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    server = reinterpret_cast<const char*>(lparam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    HKEY product = nullptr;
    open_product_key(server, kRecallTitle, KEY_READ, &product);
    for (size_t i = 0; i < std::size(kTemplateSettings); ++i) {
      const int field = IDC_TEMPLATE_FIRST + static_cast<int>(i);
      SendMessageA(GetDlgItem(dialog, field), EM_LIMITTEXT, kTemplateMostChars, 0);
      // The stored length counts the terminator; the spare byte ends a text stored without one.
      char text[kTemplateMostChars + 2] = {};
      DWORD size = kTemplateMostChars + 1;
      if (product != nullptr)
        RegQueryValueExA(product, server_setting(kTemplateSettings[i])->value, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text), &size);
      SetDlgItemTextA(dialog, field, text);
    }
    if (product != nullptr) RegCloseKey(product);
    start_template_menus(dialog);
    return TRUE;
  }
  if (message == WM_DESTROY) {
    end_template_menus();
    return FALSE;
  }
  if (message != WM_COMMAND || server == nullptr) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  // Each field is stored as its template setting; an empty one deletes the value.
  for (size_t i = 0; i < std::size(kTemplateSettings); ++i) {
    char text[kTemplateMostChars + 1] = {};
    GetDlgItemTextA(dialog, IDC_TEMPLATE_FIRST + static_cast<int>(i), text, sizeof text);
    ServerSetting(kProductRoot, nullptr, server, kTemplateSettings[i], text, 0, dialog, nullptr, 1);
  }
  EndDialog(dialog, IDOK);
  return TRUE;
}

// What the multi-server dialog saves: the fields of the e-mail dialog, checked into a copy of its record.
struct ApplyRequest {
  HWND settings_dialog;
  const EmailConfigRecord* record;
};

// The multi-server dialog: the known servers with their addresses; the settings of the e-mail
// dialog saved to each one chosen, a results row each.
INT_PTR CALLBACK email_servers_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* request = reinterpret_cast<const ApplyRequest*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  HWND list = GetDlgItem(dialog, IDC_EMAIL_SERVERS);
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    const char* headings[] = {"Available Servers", "Server IP Address"};
    for (int i = 0; i < 2; ++i) {
      LVCOLUMNA column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.cx = 150;
      column.pszText = const_cast<char*>(headings[i]);
      SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    auto* names = static_cast<char(*)[kCachedServerNameBytes]>(
        allocate_block(GMEM_FIXED | GMEM_ZEROINIT, kKnownServersMost * kCachedServerNameBytes));
    const DWORD count = names ? KnownServerNames(names, kKnownServersMost) : 0;
    for (DWORD i = 0; i < count; ++i) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.pszText = names[i];
      const int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
      BYTE a[4] = {};
      char address[16] = "";
      if (KnownServerAddress(names[i], a)) std::snprintf(address, sizeof address, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
      item.iSubItem = 1;
      item.pszText = address;
      if (row < 0 || !SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)))
        show_message(dialog, "Unusual LV err 07mux", kMessageTitle, MB_ICONERROR);
    }
    free_block(names);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0) {
    show_message(dialog, "To continue, please select at least one Server.", "No Servers Selected", MB_ICONEXCLAMATION);
    return TRUE;
  }
  HWND results = open_results_window("VORNIX Email Configuration Results");
  if (results == nullptr) {
    show_message(dialog, "Error starting report view", kMessageTitle, MB_ICONERROR);
    return TRUE;
  }
  EmailConfigRecord checked = *request->record;
  checked.server_item = nullptr;
  for (; row >= 0; row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) {
    char server[kCachedServerNameBytes] = {};
    LVITEMA item = {};
    item.pszText = server;
    item.cchTextMax = sizeof server;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    add_results_row(results, kStepProgress, server, "Email Configuration", "Updating...", nullptr);
    SaveEmailConfig(request->settings_dialog, kEmailValidateSave, &checked, server, nullptr);
  }
  EndDialog(dialog, IDOK);
  return TRUE;
}

INT_PTR CALLBACK email_config_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* record = reinterpret_cast<EmailConfigRecord*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    record = reinterpret_cast<EmailConfigRecord*>(lparam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    // The dialog shows the first server's settings and templates.
    copy_text(record->first_server, sizeof record->first_server, record->servers);
    if (char* end = std::strchr(record->first_server, ';')) *end = '\0';
    RecallEmailConfig(dialog, record, record->first_server);
    return TRUE;
  }
  if (message != WM_COMMAND || record == nullptr) return FALSE;
  switch (LOWORD(wparam)) {
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDOK:
      if (save_to_servers(dialog, record) == 1) EndDialog(dialog, IDOK);
      return TRUE;
    case IDC_EMAIL_SEND_TEST: {
      EmailConfigRecord checked = *record;
      SaveEmailConfig(dialog, kEmailValidate, &checked, nullptr, nullptr);
      const EmailConfig& s = checked.settings;
      if (s.smtp_server[0] != '\0' && s.sender[0] != '\0' && s.port != 0)
        SendTestEmail(dialog, checked);
      else
        show_message(dialog, "Email test requires the following fields to be defined:\n\nSMTP Server\n\nPort\n\nSend As",
                     "UNABLE TO SEND TEST EMAIL", MB_ICONERROR);
      return TRUE;
    }
    case IDC_EMAIL_MULTIPLE: {
      EmailConfigRecord checked = *record;
      if (SaveEmailConfig(dialog, kEmailValidate, &checked, nullptr, nullptr) == 1)
        ApplyEmailConfigToServers(dialog, checked);
      return TRUE;
    }
    case IDC_EMAIL_TEMPLATES:
      EditAlertTemplates(dialog, record->first_server);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR ApplyEmailConfigToServers(HWND window, const EmailConfigRecord& record) {
  ApplyRequest request = {window, &record};
  return DialogBoxParamA(g_library.instance, "EMAIL_SERVERS", window, email_servers_proc,
                         reinterpret_cast<LPARAM>(&request));
}

INT_PTR EditAlertTemplates(HWND window, const char* server) {
  return DialogBoxParamA(g_library.instance, "EMAIL_TEMPLATES", window, alert_templates_proc,
                         reinterpret_cast<LPARAM>(server));
}

void SendTestEmail(HWND window, const EmailConfigRecord& record) {
  DialogBoxParamA(g_library.instance, "EMAIL_TEST", window, test_email_proc,
                  reinterpret_cast<LPARAM>(const_cast<EmailConfigRecord*>(&record)));
}

INT_PTR EditEmailConfig(HWND owner, const char* servers, DWORD server_count, BYTE* server_item) {
  auto* record = static_cast<EmailConfigRecord*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, sizeof(EmailConfigRecord)));
  if (record == nullptr) {
    show_message(owner, "Error X16 - out of memory (16384), unable to recall email settings", kMessageTitle,
                 MB_ICONERROR);
    return IDCANCEL;
  }
  copy_text(record->servers, sizeof record->servers, servers);
  record->server_count = server_count;
  record->server_item = server_item;
  INT_PTR result = DialogBoxParamA(g_library.instance, "EMAIL_02", owner, email_config_proc,
                                   reinterpret_cast<LPARAM>(record));
  free_block(record);
  return result;
}

DWORD EmailConfigButton(HWND screen) {
  CurrentServer current = current_server();
  EditEmailConfig(screen, current.name, 1, current.record);
  return 1;
}
