// SMTP servers that fail a mail half-way, for the fault tests: on a world
// machine's address at a free port, one connection taken and then either held
// in silence, or served up to the message's data and closed after 100 bytes of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

namespace support {

class BrokenSmtpServer {
 public:
  enum Kind { Silent, ClosesInData };
  BrokenSmtpServer(const std::string& address, Kind kind);
  ~BrokenSmtpServer();  // not copyable: the thread and the socket are its own
  BrokenSmtpServer(const BrokenSmtpServer&) = delete;
  BrokenSmtpServer& operator=(const BrokenSmtpServer&) = delete;

  bool listening() const { return listening_; }
  int port() const { return port_; }
  // The bytes of the message's data taken before the connection was closed.
  size_t data_bytes() const { return data_bytes_; }

 private:
  bool readable(int fd);
  void say(int fd, const char* line);
  void serve();
  void converse(int fd);

  Kind kind_;
  int port_ = 0;
  int listener_ = -1;
  bool listening_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> data_bytes_{0};
  char buffer_[4096];
  std::thread thread_;
};

}  // namespace support
