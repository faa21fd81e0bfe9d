// drag_drop_action: whether dragged rows may be dropped on a target, and the
// drop itself, which the subsystem that copies definitions carries out.
#include <cstring>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/subsystems.h"

namespace {

constexpr uintptr_t kAskWhetherAccepted = 1;

// The first 32-bit word of a list item record: its module number.
uint32_t record_module(const void* record) {
  uint32_t module;
  std::memcpy(&module, record, sizeof module);
  return module;
}

}  // namespace

// a1 module number, a2 source list, a4 target row record, a5 mode, a6 destination list,
// a8 dragged row record, a9 destination row index.
QVMR_EXPORT DWORD WINAPI drag_drop_action(uintptr_t a1, uintptr_t a2, uintptr_t, uintptr_t a4, uintptr_t a5,
                                          uintptr_t a6, uintptr_t, uintptr_t a8, uintptr_t a9) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (a1 != kModuleNumber || a8 == 0) return kResultNotHandled;
  if (a5 == kAskWhetherAccepted) {
    const void* target = reinterpret_cast<const void*>(a4);
    return target && record_module(target) == kModuleNumber ? 0 : kResultNotHandled;
  }
  BYTE* dragged = reinterpret_cast<BYTE*>(a8);
  if (record_module(dragged) != kModuleNumber) return 0;
  DropEvent event = {reinterpret_cast<HWND>(a2), reinterpret_cast<HWND>(a6), dragged, static_cast<int>(a9)};
  return drop_rows(event);
}
