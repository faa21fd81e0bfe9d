#include "tests/support/broken_smtp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "sim/loopback_ports.h"

namespace support {

BrokenSmtpServer::BrokenSmtpServer(const std::string& address, Kind kind) : kind_(kind) {
  port_ = free_port(address);
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(port_));
  inet_pton(AF_INET, address.c_str(), &at.sin_addr);
  listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(listener_, 4) == 0;
  if (listening_) thread_ = std::thread([this] { serve(); });
}

BrokenSmtpServer::~BrokenSmtpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listener_);
}

// Waits for bytes up to 20 ms at a time; false once stopped.
bool BrokenSmtpServer::readable(int fd) {
  while (!stop_) {
    pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) return true;
  }
  return false;
}

void BrokenSmtpServer::say(int fd, const char* line) { ::send(fd, line, std::strlen(line), MSG_NOSIGNAL); }

void BrokenSmtpServer::serve() {
  if (!readable(listener_)) return;
  int fd = ::accept(listener_, nullptr, nullptr);
  if (kind_ == ClosesInData) {
    converse(fd);
  } else {
    while (readable(fd) && ::recv(fd, buffer_, sizeof buffer_, 0) > 0) {
    }
  }
  ::close(fd);
}

void BrokenSmtpServer::converse(int fd) {
  say(fd, "220 MAILHOST ESMTP\r\n");
  std::string line;
  bool data = false;
  while (readable(fd)) {
    ssize_t n = ::recv(fd, buffer_, sizeof buffer_, 0);
    if (n <= 0) return;
    if (data) {
      data_bytes_ += static_cast<size_t>(n);
      if (data_bytes_ >= 100) return;  // gone in the middle of the message
      continue;
    }
    line.append(buffer_, static_cast<size_t>(n));
    for (size_t end; (end = line.find("\r\n")) != std::string::npos; line.erase(0, end + 2)) {
      const std::string verb = line.substr(0, 4);
      if (verb == "EHLO" || verb == "HELO") {
        say(fd, "250 MAILHOST\r\n");
      } else if (verb == "DATA") {
        say(fd, "354 End data with <CR><LF>.<CR><LF>\r\n");
        data = true;
      } else {
        say(fd, "250 OK\r\n");
      }
    }
  }
}

}  // namespace support
