// The BSD socket calls behind the Winsock subset. Kept apart from winsock2.h,
// whose names would otherwise collide with the C library's. Every function
// returns -1 on failure and puts the Windows Sockets error code in *error.
#pragma once
#include <cstdint>

namespace platform {
namespace bsd {

// IPv4 addresses are in network byte order, as in sockaddr_in; ports in host order.
int tcp_socket(int* error);
// An ICMP socket: a raw one where the process may open one, else a simulated one.
int icmp_socket(int* error);
int connect_ipv4(int fd, uint32_t address, uint16_t port, int* error);
int send_bytes(int fd, const char* buffer, int length, int* error);
int receive_bytes(int fd, char* buffer, int length, int* error);
int send_to(int fd, const char* buffer, int length, uint32_t address, int* error);
int receive_from(int fd, char* buffer, int length, uint32_t* from, int* error);
// Readiness of up to 64 sockets: wanted[i] bit 1 read, 2 write; ready[i] the same bits.
// timeout_ms < 0 waits without end. The number of ready sockets.
int wait_ready(const int* fds, const int* wanted, int* ready, int count, int64_t timeout_ms, int* error);
int shutdown_socket(int fd, int how, int* error);
int close_socket(int fd, int* error);
bool is_socket(int fd);

}  // namespace bsd
}  // namespace platform
