// Exports whose events no feature of the library claims yet: they refuse
// before start-up and otherwise leave the event to the host's default.
#include "host/exports.h"
#include "host/host.h"

namespace {

DWORD unclaimed() {
  return g_library.initialised == 1 ? kResultNotHandled : kResultNotInitialised;
}

}  // namespace

QVMR_EXPORT DWORD WINAPI entry_point_edit_services(const char*, HWND, uintptr_t*, const char*, void*,
                                                   uintptr_t, uintptr_t, uintptr_t, uintptr_t, HWND,
                                                   uintptr_t, uintptr_t, DWORD) {
  return unclaimed();
}

QVMR_EXPORT DWORD WINAPI change_edit_text_to_dropdown(uintptr_t, uintptr_t, DWORD) { return unclaimed(); }

QVMR_EXPORT DWORD WINAPI change_edit_text_to_datetime(uintptr_t, uintptr_t, DWORD, uintptr_t, DWORD*) {
  return unclaimed();
}

QVMR_EXPORT DWORD WINAPI apply_rules_for_edit_text(void) { return unclaimed(); }

QVMR_EXPORT DWORD WINAPI check_if_text_to_be_displayed(uintptr_t, DWORD, HWND, DWORD, void*) {
  return unclaimed();
}

QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_edit_text(uintptr_t, DWORD, HWND, uintptr_t*) {
  return unclaimed();
}

QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_checkbox(uintptr_t, DWORD, uintptr_t, uintptr_t*) {
  return unclaimed();
}

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

QVMR_EXPORT DWORD WINAPI drag_drop_action(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                          uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
  return unclaimed();
}
