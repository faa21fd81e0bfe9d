// The mail library zovuruve.dll: its one export, qvmr_smtp_email, a real SMTP
// client on libcurl. LoadLibraryA("zovuruve.dll") finds it in the layer's table
// of system modules.
#pragma once
#include <windows.h>

extern "C" {
// Sends one message to one recipient through the SMTP server at port: security 0 plain, 1 TLS
// (STARTTLS, required), 2 SSL (TLS from the first byte). A non-empty password logs in as the sender.
// Mode 17 sends a body that begins with '<' as HTML; an attachment (a Windows path, or null) goes
// as a MIME part of its own. 0 when the server took the message, else libcurl's error code (with a
// line on stderr). Certificates are checked against the console machine's trusted-roots.pem of the
// world when it has one, else against the system's.
DWORD WINAPI qvmr_smtp_email(DWORD mode, const char* server, DWORD port, DWORD security, const char* sender,
                             const char* password, const char* subject, const char* recipient, const char* body,
                             const char* attachment);
}
