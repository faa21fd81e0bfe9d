// LAN Manager network functions (netapi32) of the Win32 subset: user
// enumeration over a machine's users.ini, workstation information and the
// shares of a machine. Values match the real headers.
#pragma once
#include <windows.h>

#include "lmapibuf.h"

#define NET_API_FUNCTION WINAPI
#define NERR_Success 0
#define MAX_PREFERRED_LENGTH ((DWORD)-1)

#define FILTER_TEMP_DUPLICATE_ACCOUNT 0x0001
#define FILTER_NORMAL_ACCOUNT 0x0002
#define FILTER_INTERDOMAIN_TRUST_ACCOUNT 0x0008
#define FILTER_WORKSTATION_TRUST_ACCOUNT 0x0010
#define FILTER_SERVER_TRUST_ACCOUNT 0x0020

#define USER_PRIV_GUEST 0
#define USER_PRIV_USER 1
#define USER_PRIV_ADMIN 2

#define UF_SCRIPT 0x0001
#define UF_ACCOUNTDISABLE 0x0002
#define UF_TEMP_DUPLICATE_ACCOUNT 0x0100
#define UF_NORMAL_ACCOUNT 0x0200
#define UF_INTERDOMAIN_TRUST_ACCOUNT 0x0800
#define UF_WORKSTATION_TRUST_ACCOUNT 0x1000
#define UF_SERVER_TRUST_ACCOUNT 0x2000

typedef WCHAR* LMSTR;
#define PLATFORM_ID_NT 500

typedef struct _USER_INFO_0 {
  LPWSTR usri0_name;
} USER_INFO_0, *PUSER_INFO_0, *LPUSER_INFO_0;

typedef struct _USER_INFO_1 {
  LPWSTR usri1_name;
  LPWSTR usri1_password;
  DWORD usri1_password_age;
  DWORD usri1_priv;
  LPWSTR usri1_home_dir;
  LPWSTR usri1_comment;
  DWORD usri1_flags;
  LPWSTR usri1_script_path;
} USER_INFO_1, *PUSER_INFO_1, *LPUSER_INFO_1;

typedef struct _WKSTA_INFO_100 {
  DWORD wki100_platform_id;
  LMSTR wki100_computername;
  LMSTR wki100_langroup;
  DWORD wki100_ver_major;
  DWORD wki100_ver_minor;
} WKSTA_INFO_100, *PWKSTA_INFO_100, *LPWKSTA_INFO_100;

// Shares (lmshare.h): the type's low byte is the kind; admin shares also carry STYPE_SPECIAL.
#define STYPE_DISKTREE 0
#define STYPE_PRINTQ 1
#define STYPE_DEVICE 2
#define STYPE_IPC 3
#define STYPE_SPECIAL 0x80000000

typedef struct _SHARE_INFO_1 {
  LMSTR shi1_netname;
  DWORD shi1_type;
  LMSTR shi1_remark;
} SHARE_INFO_1, *PSHARE_INFO_1, *LPSHARE_INFO_1;

#ifdef __cplusplus
extern "C" {
#endif
// server: null or "" for this computer, else "\\NAME" of a machine of the world. Levels 0 and 1.
NET_API_STATUS NET_API_FUNCTION NetUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer,
                                            DWORD preferred_length, LPDWORD entries_read, LPDWORD total_entries,
                                            LPDWORD resume_handle);
// Level 100 only: the machine's name and its domain (LAN group). The buffer is freed with NetApiBufferFree.
NET_API_STATUS WINAPI NetWkstaGetInfo(LMSTR server_name, DWORD level, LPBYTE* buffer);
// Level 1 only: the folders of the machine's shares/ (C$, ADMIN$ and IPC$ marked STYPE_SPECIAL, IPC$
// always there), in name order. The buffer is freed with NetApiBufferFree.
NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR server_name, DWORD level, LPBYTE* buffer, DWORD preferred_length,
                                             LPDWORD entries_read, LPDWORD total_entries, LPDWORD resume_handle);
#ifdef __cplusplus
}
#endif
