// The clipboard of the console machine: one process, so one text is all it keeps.
// It must be opened before it is emptied or written, as on Windows.
#include "win32/clipboard.h"

#include <windows.h>

#include <cstring>
#include <mutex>

namespace {

struct Clipboard {
  std::mutex lock;
  bool open = false;
  HANDLE text = nullptr;  // the block last set, owned by the clipboard
};

Clipboard& clipboard() {
  static Clipboard& board = *new Clipboard;
  return board;
}

}  // namespace

namespace platform {

std::string clipboard_text() {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  return clipboard().text ? static_cast<const char*>(clipboard().text) : "";
}

}  // namespace platform

extern "C" {

BOOL WINAPI OpenClipboard(HWND) {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  if (clipboard().open) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  clipboard().open = true;
  return TRUE;
}

BOOL WINAPI EmptyClipboard(void) {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  if (!clipboard().open) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  GlobalFree(clipboard().text);
  clipboard().text = nullptr;
  return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data) {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  if (!clipboard().open || format != CF_TEXT || data == nullptr) {
    SetLastError(clipboard().open ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
    return nullptr;
  }
  GlobalFree(clipboard().text);
  clipboard().text = data;
  return data;
}

HANDLE WINAPI GetClipboardData(UINT format) {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  if (!clipboard().open) {
    SetLastError(1418);  // ERROR_CLIPBOARD_NOT_OPEN
    return nullptr;
  }
  return format == CF_TEXT ? clipboard().text : nullptr;
}

BOOL WINAPI CloseClipboard(void) {
  std::lock_guard<std::mutex> guard(clipboard().lock);
  if (!clipboard().open) return FALSE;
  clipboard().open = false;
  return TRUE;
}

}  // extern "C"
