// Cursors: the system cursors by number and the current cursor of the process.
#include <windows.h>

#include <atomic>

#include "win32/kernel_objects.h"

namespace {

// Stand-in handles for the system cursors: their resource numbers.
std::atomic<HCURSOR> g_current{reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(32512))};

}  // namespace

extern "C" {

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  uintptr_t number = reinterpret_cast<uintptr_t>(name);
  if (instance != nullptr || number > 0xFFFF || (number != 32512 && number != 32514)) {
    platform::unsupported("LoadCursorA", "cursors other than IDC_ARROW and IDC_WAIT");
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(number);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) { return g_current.exchange(cursor); }

}  // extern "C"
