// The message queues of threads that run modeless dialogs: posted messages,
// WM_QUIT, and the scripted user, who acts while a thread waits for input.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "win32/kernel_objects.h"
#include "win32/ui_internal.h"

namespace {

struct Queues {
  std::mutex lock;
  std::condition_variable posted;
  std::map<DWORD, std::deque<MSG>> by_thread;
};

Queues& queues() {
  static Queues& q = *new Queues;
  return q;
}

void post_to_thread(DWORD thread, const MSG& message) {
  Queues& q = queues();
  {
    std::lock_guard<std::mutex> guard(q.lock);
    q.by_thread[thread].push_back(message);
  }
  q.posted.notify_all();
}

}  // namespace

namespace platform {

void wake_message_waiters() { queues().posted.notify_all(); }

}  // namespace platform

extern "C" {

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD thread;
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    platform::Window* w = platform::find_window(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    thread = w->thread;
  }
  MSG m = {};
  m.hwnd = window;
  m.message = message;
  m.wParam = wparam;
  m.lParam = lparam;
  m.time = GetTickCount();
  post_to_thread(thread, m);
  return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
  MSG m = {};
  m.message = WM_QUIT;
  m.wParam = static_cast<WPARAM>(exit_code);
  post_to_thread(GetCurrentThreadId(), m);
}

// Waits for the next message of the calling thread. While none is there the
// scripted user may act on the thread's modeless dialogs. 0 for WM_QUIT.
BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  if (message == nullptr || window != nullptr || first != 0 || last != 0) {
    platform::unsupported("GetMessageA", "window or message filters");
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  Queues& q = queues();
  DWORD thread = GetCurrentThreadId();
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(q.lock);
      auto& mine = q.by_thread[thread];
      if (!mine.empty()) {
        *message = mine.front();
        mine.pop_front();
        return message->message != WM_QUIT;
      }
    }
    if (platform::answer_modeless_dialogs()) continue;
    std::unique_lock<std::mutex> guard(q.lock);
    q.posted.wait_for(guard, std::chrono::milliseconds(10), [&] { return !q.by_thread[thread].empty(); });
  }
}

// The thread's next queued message without waiting; FALSE when none is queued.
BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
  if (message == nullptr || window != nullptr || first != 0 || last != 0) {
    platform::unsupported("PeekMessageA", "window or message filters");
    return FALSE;
  }
  Queues& q = queues();
  std::lock_guard<std::mutex> guard(q.lock);
  auto& mine = q.by_thread[GetCurrentThreadId()];
  if (mine.empty()) return FALSE;
  *message = mine.front();
  if (remove & PM_REMOVE) mine.pop_front();
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

// Keyboard navigation is a person's; the layer has none, so every message is dispatched.
BOOL WINAPI IsDialogMessageA(HWND, LPMSG) { return FALSE; }

}  // extern "C"
