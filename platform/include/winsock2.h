// Windows Sockets, as far as the library uses it.
// Functions whose names the C library also exports are renamed here, so that
// the layer never stands in for the C library inside the rest of the process.
#pragma once
#include <windows.h>

#define MAKEWORD(a, b) ((WORD)(((BYTE)(a)) | ((WORD)((BYTE)(b))) << 8))
#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
#define AF_INET 2
#define WSAEFAULT 10014L
#define WSANOTINITIALISED 10093L
#define WSAHOST_NOT_FOUND 11001L

typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]

#define gethostname qvmr_ws_gethostname
#define gethostbyname qvmr_ws_gethostbyname

#ifdef __cplusplus
extern "C" {
#endif
int WINAPI WSAStartup(WORD version, LPWSADATA data);
int WINAPI WSACleanup(void);
int WINAPI WSAGetLastError(void);
int WINAPI qvmr_ws_gethostname(char* name, int size);
struct hostent* WINAPI qvmr_ws_gethostbyname(const char* name);
#ifdef __cplusplus
}
#endif
