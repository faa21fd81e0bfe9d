// A server's e-mail settings and the mail sent through zovuruve.dll.
#include "config/email_config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/server_settings.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"

namespace {

constexpr char kMailLibrary[] = "zovuruve.dll";
constexpr char kMailExport[] = "qvmr_smtp_email";
constexpr DWORD kTestMailMode = 1;
constexpr DWORD kReportMailMode = 17;
constexpr DWORD kReportMailPauseMs = 250;
constexpr DWORD kBlockSpareBytes = 100;
constexpr char kMessageTitle[] = "VORNIX message from QVMR0007.DLL";
constexpr char kReportSubject[] = "VORNIX Graphical Activity Report";

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

}  // namespace

void encode_smtp_password(const char* password, BYTE block[kSmtpPasswordBlockBytes]) {
  const size_t length = strnlen(password, kSmtpPasswordBlockBytes - 2);
  for (size_t i = 0; i <= length; ++i)
    block[kSmtpPasswordBlockBytes - 1 - i] =
        password_byte(i < length ? static_cast<BYTE>(password[i]) : static_cast<BYTE>(0));
  for (size_t at = kSmtpPasswordBlockBytes - 2 - length; at >= 1; --at)
    block[at] = static_cast<BYTE>(~block[at] & password_filler());
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
  if (DWORD rc = open_product_key(server, "UNABLE TO SAVE SERVER EMAIL CONFIG DATA", KEY_ALL_ACCESS, &product))
    return rc;
  BYTE block[kSmtpPasswordBlockBytes] = {};
  DWORD size = sizeof block;
  RegQueryValueExA(product, "SMTP Password", nullptr, nullptr, block, &size);  // the filler complements what was there
  encode_smtp_password(record.password, block);
  write_text(product, "SMTP Server", record.smtp_server);
  write_text(product, "SMTP Send As", record.sender);
  RegSetValueExA(product, "SMTP Password", 0, REG_BINARY, block, sizeof block);
  RegSetValueExA(product, "SMTP Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&record.port), sizeof record.port);
  RegSetValueExA(product, "SMTP Security", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&record.security),
                 sizeof record.security);
  RegCloseKey(product);
  return 0;
}

DWORD read_email_config(const char* server, EmailConfig* record) {
  std::memset(record, 0, sizeof *record);
  HKEY product;
  if (DWORD rc = open_product_key(server, "UNABLE TO RECALL SERVER EMAIL CONFIG DATA", KEY_READ, &product)) return rc;
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
