// secur32: the names of the account the console runs under.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
typedef enum {
  NameUnknown = 0,
  NameFullyQualifiedDN = 1,
} EXTENDED_NAME_FORMAT;
// size: characters on input; the length without terminator on success, the size needed with it
// on ERROR_MORE_DATA. A local account has no directory name (ERROR_NONE_MAPPED).
BOOLEAN WINAPI GetUserNameExA(EXTENDED_NAME_FORMAT format, LPSTR buffer, ULONG* size);
#ifdef __cplusplus
}
#endif
