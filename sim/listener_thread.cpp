#include "sim/listener_thread.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>

namespace support {

void ListenerThread::start(int listener, std::function<void(int connection)> serve) {
  listener_ = listener;
  serve_ = std::move(serve);
  thread_ = std::thread([this] {
    while (!stop_) {
      pollfd p = {listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      ++connections_;
      serve_(connection);
      ::close(connection);
      ++served_;
    }
  });
}

void ListenerThread::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

void ListenerThread::wait_until_served() const {
  for (int i = 0; i < 200 && served_.load() < connections_.load(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace support
