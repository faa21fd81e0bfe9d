// A server's e-mail settings (SMTP server, port, security, sender and the
// obscured password block in the product key) and the mail sent through the
// mail library zovuruve.dll: the test mail and report files.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

constexpr size_t kEmailTextBytes = 512;
constexpr size_t kSmtpPasswordBlockBytes = 512;
constexpr size_t kRecipientSlotBytes = 256;
constexpr DWORD kReportMailMostBytes = 30222333;

// Security choices as stored in SMTP Security.
constexpr DWORD kSmtpNoSecurity = 0;
constexpr DWORD kSmtpTls = 1;
constexpr DWORD kSmtpSsl = 2;

struct EmailConfig {
  char smtp_server[kEmailTextBytes];
  DWORD port;
  DWORD security;
  char sender[kEmailTextBytes];
  char password[kEmailTextBytes];  // plain while in memory
};

// The password stored backwards from the last byte, each character (its terminator included)
// transformed; the bytes below it down to byte 1 are new filler; byte 0 keeps what it held.
void encode_smtp_password(const char* password, BYTE block[kSmtpPasswordBlockBytes]);
// The password read from the last byte down to a decoded zero (at most 511 characters).
void decode_smtp_password(const BYTE block[kSmtpPasswordBlockBytes], char* out, size_t size);
// Writes the five SMTP values to the server's product key. 0, 3 when the server cannot be
// reached or 5 when its product key cannot be opened (both shown).
DWORD store_email_config(const char* server, const EmailConfig& record);
// Reads the server's SMTP values (the sender from EmailReturnAddressForAlerts when SMTP Send As is
// missing). 0 or the error, as store_email_config.
DWORD read_email_config(const char* server, EmailConfig* record);
// The test mail to one recipient through the mail library; nothing is sent without a recipient.
void send_test_email(HWND window, const EmailConfig& record, const char* recipient);
// What the e-mail dialogs share: the servers the settings go to and the settings themselves.
constexpr size_t kEmailServerListBytes = 4096;
constexpr size_t kEmailServerNameBytes = 256;
struct EmailConfigRecord {
  char servers[kEmailServerListBytes];        // one server name, or several separated by ";"
  char first_server[kEmailServerNameBytes];  // the one the dialog shows
  DWORD server_count;                        // 1 for a single server
  EmailConfig settings;
  BYTE* server_item;  // the server status record whose e-mail mark follows a save; may be null
};

// Modes of SaveEmailConfig.
constexpr DWORD kEmailValidate = 0;        // the dialog's fields into the record, checked
constexpr DWORD kEmailValidateSave = 1;    // and then written to the server
constexpr DWORD kEmailSaveUnchanged = 34;  // the record written as it is, the dialog not read

// 1 when the fields were valid (and in mode 1 saved, or the settings removed after the user
// agreed); 0 after a message, and always in mode 34; 3 when the server cannot be reached, 5 when
// its product key cannot be opened. Without a server (null) mode 0 reads the dialog only.
DWORD SaveEmailConfig(HWND window, DWORD mode, EmailConfigRecord* record, const char* server, BYTE* server_item);
// Fills the dialog (when given) and the record's settings from the server. 0 or as read_email_config.
DWORD RecallEmailConfig(HWND window, EmailConfigRecord* record, const char* server);
// The template dialog: the server's ten alert templates, each stored on OK (an empty one deleted).
INT_PTR EditAlertTemplates(HWND window, const char* server);
// The multi-server dialog over the e-mail dialog (window): the fields of that dialog saved to each server
// chosen among the known servers, each a row of the results window.
INT_PTR ApplyEmailConfigToServers(HWND window, const EmailConfigRecord& record);
// The test dialog: asks for the recipient and sends the test mail with the record's settings.
void SendTestEmail(HWND window, const EmailConfigRecord& record);
// The "Email Send Configuration" dialog, filled from the first of the servers (";" between names);
// its Save writes to each of them.
INT_PTR EditEmailConfig(HWND owner, const char* servers, DWORD server_count, BYTE* server_item);
// The e-mail configuration buttons: the dialog for the current server. 1.
DWORD EmailConfigButton(HWND screen);

// Mails a report file to every address of the recipient list (slots of kRecipientSlotBytes, ended
// by an empty one) through the server's settings; failures are not shown.
void MailReportFile(LONG size, const char* file, const char* server, const char* recipients);
