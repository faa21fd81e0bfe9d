// The accept loop that the simulated agents share: one listening socket served
// by a thread of its own, one connection at a time, with the counts of
// connections made and served so that a test can wait for the replies.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace support {

class ListenerThread {
 public:
  ListenerThread() = default;
  ~ListenerThread() { stop(); }  // not copyable: the thread and the socket are its own
  ListenerThread(const ListenerThread&) = delete;
  ListenerThread& operator=(const ListenerThread&) = delete;

  // Serves the listening socket (owned from now on): each connection accepted is answered by
  // serve, then closed.
  void start(int listener, std::function<void(int connection)> serve);
  // Ends the thread and closes the socket; serve sees stopping() and returns.
  void stop();
  bool stopping() const { return stop_.load(); }
  int connections() const { return connections_.load(); }
  // Waits up to 2 s until every connection made so far has been served.
  void wait_until_served() const;

 private:
  int listener_ = -1;
  std::function<void(int)> serve_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> served_{0};
  std::thread thread_;
};

}  // namespace support
