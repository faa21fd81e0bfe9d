// The network management functions (netapi32) that the library calls.
#pragma once
#include <windows.h>

#include "lmapibuf.h"

typedef WCHAR* LMSTR;
#define NERR_Success 0
#define PLATFORM_ID_NT 500

typedef struct _WKSTA_INFO_100 {
  DWORD wki100_platform_id;
  LMSTR wki100_computername;
  LMSTR wki100_langroup;
  DWORD wki100_ver_major;
  DWORD wki100_ver_minor;
} WKSTA_INFO_100, *PWKSTA_INFO_100, *LPWKSTA_INFO_100;

#ifdef __cplusplus
extern "C" {
#endif
// Level 100 only: the machine's name and its domain (LAN group). The buffer is freed with NetApiBufferFree.
NET_API_STATUS WINAPI NetWkstaGetInfo(LMSTR server_name, DWORD level, LPBYTE* buffer);
#ifdef __cplusplus
}
#endif
