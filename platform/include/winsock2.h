// Windows Sockets, as far as the library uses it.
// Functions whose names the C library also exports are renamed here, so that
// the layer never stands in for the C library inside the rest of the process.
#pragma once
// The C library's select declarations come first, so that the names below
// rename only the library's own uses of them.
#include <sys/select.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>  // gethostname
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
#define gethostbyaddr qvmr_ws_gethostbyaddr
#define socket qvmr_ws_socket
#define connect qvmr_ws_connect
#define send qvmr_ws_send
#define recv qvmr_ws_recv
#define sendto qvmr_ws_sendto
#define recvfrom qvmr_ws_recvfrom
#define select qvmr_ws_select
#define shutdown qvmr_ws_shutdown
#define closesocket qvmr_ws_closesocket
#define inet_addr qvmr_ws_inet_addr
#define htons qvmr_ws_htons
#define ntohs qvmr_ws_ntohs
#define htonl qvmr_ws_htonl
#define ntohl qvmr_ws_ntohl
#define fd_set qvmr_ws_fd_set
#define timeval qvmr_ws_timeval
#undef FD_ZERO
#undef FD_SET
#undef FD_ISSET
#undef FD_CLR
#undef FD_SETSIZE

typedef UINT_PTR SOCKET;
typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
// 32-bit as on Windows; the C library's u_long is 64-bit.
#define u_long qvmr_ws_u_long
typedef ULONG u_long;

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOCK_RAW 3
#define IPPROTO_ICMP 1
#define IPPROTO_TCP 6
#define INADDR_NONE 0xffffffffUL
#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define WSAEINTR 10004L
#define WSAEBADF 10009L
#define WSAEACCES 10013L
#define WSAEINVAL 10022L
#define WSAEMFILE 10024L
#define WSAEWOULDBLOCK 10035L
#define WSAENOTSOCK 10038L
#define WSAEMSGSIZE 10040L
#define WSAEPROTONOSUPPORT 10043L
#define WSAESOCKTNOSUPPORT 10044L
#define WSAEAFNOSUPPORT 10047L
#define WSAEADDRNOTAVAIL 10049L
#define WSAENETUNREACH 10051L
#define WSAECONNABORTED 10053L
#define WSAECONNRESET 10054L
#define WSAENOBUFS 10055L
#define WSAENOTCONN 10057L
#define WSAESHUTDOWN 10058L
#define WSAETIMEDOUT 10060L
#define WSAECONNREFUSED 10061L
#define WSAEHOSTUNREACH 10065L
#define WSANO_DATA 11004L

#define FD_SETSIZE 64
typedef struct qvmr_ws_fd_set {
  u_int fd_count;
  SOCKET fd_array[FD_SETSIZE];
} fd_set;

struct qvmr_ws_timeval {
  LONG tv_sec;
  LONG tv_usec;
};

#define FD_ZERO(set) (((fd_set*)(set))->fd_count = 0)
#define FD_SET(s, set)                                                      \
  do {                                                                      \
    fd_set* fd_set_ = (fd_set*)(set);                                       \
    u_int i_;                                                               \
    for (i_ = 0; i_ < fd_set_->fd_count; ++i_)                              \
      if (fd_set_->fd_array[i_] == (s)) break;                              \
    if (i_ == fd_set_->fd_count && fd_set_->fd_count < FD_SETSIZE)          \
      fd_set_->fd_array[fd_set_->fd_count++] = (s);                         \
  } while (0)
#define FD_ISSET(s, set) qvmr_ws_fd_isset((SOCKET)(s), (fd_set*)(set))

struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;
  } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  struct in_addr sin_addr;
  char sin_zero[8];
};

#ifdef __cplusplus
extern "C" {
#endif
int WINAPI WSAStartup(WORD version, LPWSADATA data);
int WINAPI WSACleanup(void);
int WINAPI WSAGetLastError(void);
void WINAPI WSASetLastError(int error);
int WINAPI qvmr_ws_gethostname(char* name, int size);
struct hostent* WINAPI qvmr_ws_gethostbyname(const char* name);
// Reverse look-up: the world machine that owns the address (type AF_INET, length 4).
struct hostent* WINAPI qvmr_ws_gethostbyaddr(const char* address, int length, int type);
SOCKET WINAPI qvmr_ws_socket(int family, int type, int protocol);
int WINAPI qvmr_ws_connect(SOCKET s, const struct sockaddr* address, int length);
int WINAPI qvmr_ws_send(SOCKET s, const char* buffer, int length, int flags);
int WINAPI qvmr_ws_recv(SOCKET s, char* buffer, int length, int flags);
int WINAPI qvmr_ws_sendto(SOCKET s, const char* buffer, int length, int flags,
                          const struct sockaddr* to, int to_length);
int WINAPI qvmr_ws_recvfrom(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from,
                            int* from_length);
int WINAPI qvmr_ws_select(int ignored, fd_set* read, fd_set* write, fd_set* except,
                          const struct qvmr_ws_timeval* timeout);
int WINAPI qvmr_ws_shutdown(SOCKET s, int how);
int WINAPI qvmr_ws_closesocket(SOCKET s);
ULONG WINAPI qvmr_ws_inet_addr(const char* text);
u_short WINAPI qvmr_ws_htons(u_short value);
u_short WINAPI qvmr_ws_ntohs(u_short value);
u_long WINAPI qvmr_ws_htonl(u_long value);
u_long WINAPI qvmr_ws_ntohl(u_long value);
int WINAPI qvmr_ws_fd_isset(SOCKET s, fd_set* set);
#ifdef __cplusplus
}
#endif
