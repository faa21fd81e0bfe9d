// Exports whose events no feature of the library claims yet: they refuse
// before start-up and otherwise leave the event to the host's default.
#include "host/exports.h"
#include "host/host.h"

namespace {

DWORD unclaimed() {
  return g_library.initialised == 1 ? kResultNotHandled : kResultNotInitialised;
}

}  // namespace

QVMR_EXPORT DWORD WINAPI treeview_right_click_popupmenu(uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                        uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                        uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                        uintptr_t, uintptr_t, uintptr_t) {
  return unclaimed();
}

QVMR_EXPORT DWORD WINAPI treeview_right_click_action(uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                     uintptr_t, uintptr_t, uintptr_t) {
  return unclaimed();
}
