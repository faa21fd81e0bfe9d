// Buffers that the network functions (netapi32) allocate for their callers.
#pragma once
#include <windows.h>

typedef DWORD NET_API_STATUS;
#ifdef __cplusplus
extern "C" {
#endif
NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer);
#ifdef __cplusplus
}
#endif
