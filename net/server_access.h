// The access check before working on a server directly (its agent's pipe, the
// installation of its agent): one page of the server's user accounts, the
// outcome remembered per server under the console key's S_CRED.
#pragma once
#include "host/win32.h"

constexpr DWORD kAccessRetrySeconds = 300;  // a denied server is not asked again sooner

// 1 when the console user can work on the server, else 0.
DWORD CheckServerAccess(const char* server);
