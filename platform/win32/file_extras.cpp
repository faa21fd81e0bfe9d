// File end, the code page of file names, the keyboard focus and the foreground window.
#include <windows.h>

#include <unistd.h>

#include <atomic>

#include "win32/kernel_objects.h"

namespace {

// File names here are bytes: the code page only decides what AreFileApisANSI says.
std::atomic<bool> g_ansi_names{true};
std::atomic<HWND> g_focus{nullptr};

}  // namespace

extern "C" {

BOOL WINAPI SetEndOfFile(HANDLE file) {
  auto object = platform::find_object(file);
  if (!object || object->kind != platform::KernelObject::File || object->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(object->access & GENERIC_WRITE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  off_t position = ::lseek(object->fd, 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(object->fd, position) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

void WINAPI SetFileApisToOEM(void) { g_ansi_names = false; }
void WINAPI SetFileApisToANSI(void) { g_ansi_names = true; }
BOOL WINAPI AreFileApisANSI(void) { return g_ansi_names ? TRUE : FALSE; }

HWND WINAPI SetFocus(HWND window) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return g_focus.exchange(window);
}

HWND WINAPI GetFocus(void) {
  HWND window = g_focus.load();
  return IsWindow(window) ? window : nullptr;
}

// The window the user works in: the top-level window that holds the focus.
HWND WINAPI GetForegroundWindow(void) {
  HWND window = GetFocus();
  for (HWND parent; window != nullptr && (parent = GetParent(window)) != nullptr;) window = parent;
  return window;
}

// Brings a window to the front: it takes the focus, which makes it the foreground window.
BOOL WINAPI SetForegroundWindow(HWND window) {
  if (!IsWindow(window)) return FALSE;
  SetFocus(window);
  return TRUE;
}

}  // extern "C"
