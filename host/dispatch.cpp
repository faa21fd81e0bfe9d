// The dispatching entry points: each runs its frame (initialisation test,
// module test, selected row, time-zone refresh) and routes the event on its
// control identifier through the subsystems' merged route tables. Identifiers
// that no route claims answer 4061, and the host applies its own default.
#include <cstring>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/subsystems.h"
#include "host/text.h"

namespace {

// List events wait, up to about five seconds, for the host to fill the image lists.
void wait_for_image_lists() {
  for (int tries = 0; tries < 101 && !g_library.image_list_ready; ++tries) Sleep(50);
}

void apply_explorer_theme(HWND control) {
  static const WCHAR kExplorer[] = {'e', 'x', 'p', 'l', 'o', 'r', 'e', 'r', 0};
  if (g_library.set_window_theme == nullptr) return;
  g_library.set_window_theme(GetParent(control), kExplorer, nullptr);
  g_library.set_window_theme(control, kExplorer, nullptr);
}

bool is_button_class(HWND control) {
  char class_name[32] = {};
  return GetClassNameA(control, class_name, sizeof class_name) != 0 && equal_ignoring_case(class_name, "button");
}

// Marks the list event as served by this thread until the call returns; a list event served inside
// another (the host pumping messages) gives the outer one back afterwards. The thread is set last and
// cleared first, so that another thread never takes the values half written.
class ServedListEventGuard {
 public:
  ServedListEventGuard(uintptr_t twelfth, uintptr_t* descriptor, uintptr_t fourteenth)
      : outer_(g_library.served_list_event) {
    set(GetCurrentThreadId(), twelfth, descriptor, fourteenth);
  }
  ~ServedListEventGuard() { set(outer_.thread, outer_.twelfth, outer_.descriptor, outer_.fourteenth); }
  ServedListEventGuard(const ServedListEventGuard&) = delete;
  ServedListEventGuard& operator=(const ServedListEventGuard&) = delete;

 private:
  static void set(DWORD thread, uintptr_t twelfth, uintptr_t* descriptor, uintptr_t fourteenth) {
    LibraryState::ServedListEvent& served = g_library.served_list_event;
    served.thread = 0;
    served.twelfth = twelfth;
    served.descriptor = descriptor;
    served.fourteenth = fourteenth;
    served.thread = thread;
  }
  const LibraryState::ServedListEvent outer_;
};

}  // namespace

bool insert_host_item(HWND window, HTREEITEM parent, RowPosition position, const char* text, int image, void* record,
                      uintptr_t* item) {
  auto insert = host_service<HostInsertItemFn>(kHostInsertItem);
  if (insert == nullptr) return false;
  const LibraryState::ServedListEvent& served = g_library.served_list_event;
  bool in_event = served.thread != 0 && served.thread == GetCurrentThreadId();
  uintptr_t inserted =
      insert(window, parent ? parent : TVI_ROOT, position == RowPosition::First ? TVI_FIRST : TVI_SORT, text, image,
             1, in_event ? served.twelfth : 0,
             in_event ? served.descriptor : (window ? control_descriptor_of(window) : nullptr), record,
             in_event ? served.fourteenth : 0);
  if (item != nullptr) *item = inserted;
  return true;
}

void switch_on_sibling_mode(HWND control) {
  if (g_library.sibling_mode) return;
  g_library.sibling_mode = 1;
  apply_explorer_theme(control);
}

QVMR_EXPORT DWORD WINAPI entry_point_button_services(HWND screen, DWORD, uintptr_t* event) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (descriptor_module(event) != kModuleNumber) return kResultNotHandled;
  ButtonEvent e = {screen, event, companion_window(event), 0};
  e.selected_row = selected_row_number(e.companion);
  const ButtonRoute* route = find_button_route(descriptor_identifier(event));
  return route ? route->handler(e) : kResultNotHandled;
}

QVMR_EXPORT DWORD WINAPI entry_point_list_services(HWND control, uintptr_t a2, uintptr_t a3,
                                                   DWORD control_id, uintptr_t a5, uintptr_t a6,
                                                   uintptr_t* descriptor, uintptr_t a8,
                                                   uintptr_t a9, uintptr_t a10, uintptr_t a11,
                                                   uintptr_t a12, uintptr_t a13, uintptr_t a14) {
  wait_for_image_lists();
  refresh_time_zone();
  if (g_library.initialised != 1) return kResultNotInitialised;
  ServedListEventGuard served(a12, descriptor, a14);

  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordModule, kModuleNumber);
  set_item_word(record, kItemWordControlId, control_id);
  set_item_word(record, kItemWordDialogItem, static_cast<uint32_t>(GetDlgCtrlID(control)));
  ListEvent e = {control, control_id, descriptor,
                 {0, reinterpret_cast<uintptr_t>(control), a2, a3, control_id, a5, a6,
                  reinterpret_cast<uintptr_t>(descriptor), a8, a9, a10, a11, a12, a13, a14},
                 nullptr, 0, record};
  // The companion of a list view (kind 7) or of a kind-4 list, and its selected row.
  uint32_t kind = descriptor ? descriptor_kind(descriptor) : 0;
  if (kind == kDescriptorListView || kind == kDescriptorKind4) {
    e.companion = companion_window(descriptor);
    e.selected_row = selected_row_number(e.companion);
  }

  // Styled screens: every list event brings its descriptor, so lists are styled here on first sight.
  style_list_control(control, descriptor);
  // Styled screens leave a server that cannot be read alone.
  if (g_library.styled_dialog_mode && IsWindow(g_library.main_server_list)) {
    CurrentServer server = current_server();
    if (server.record != nullptr && (item_word(server.record, kItemWordAgentState) == kAgentPermissionError ||
                                     server.record[kItemByteReachability] == kUnreachable))
      return 1;
  }
  if (g_library.sibling_mode) apply_explorer_theme(control);
  const ListRoute* route = find_list_route(control_id);
  return route ? route->handler(e) : kResultNotHandled;
}

QVMR_EXPORT DWORD WINAPI entry_point_text_services(HWND screen, uintptr_t* descriptor,
                                                   uintptr_t a3, uintptr_t a4, uintptr_t a5,
                                                   DWORD into_buffer, char* text, LONG* out_value,
                                                   uintptr_t a9, uintptr_t a10, uintptr_t a11,
                                                   DWORD control_id, DWORD module_number) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  refresh_time_zone();
  if (module_number != kModuleNumber) return kResultNotHandled;
  if (into_buffer == 0 && descriptor != nullptr) {
    HWND control = GetDlgItem(screen, descriptor_half(descriptor, kDescHalfDialogItem));
    if (control && g_library.styled_dialog_mode && g_library.medium_font)
      SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_library.medium_font), TRUE);
    // A text for a control that is not a button: the tenth argument reads 1 for the rest of the call.
    // A descriptor whose control is not on the screen counts as not a button.
    if (!is_button_class(control)) a10 = 1;
  }
  if (control_id == kNoTextIdentifier) return 0;
  const TextRoute* route = find_text_route(control_id);
  if (route == nullptr) return kResultNotHandled;
  TextEvent e = {screen, descriptor, control_id,
                 {0, reinterpret_cast<uintptr_t>(screen), reinterpret_cast<uintptr_t>(descriptor), a3, a4, a5,
                  into_buffer, reinterpret_cast<uintptr_t>(text), reinterpret_cast<uintptr_t>(out_value), a9, a10,
                  a11, control_id, module_number}};
  static TextResult result;  // UI thread only
  result.text[0] = '\0';
  result.value = -3;
  result.numeric = false;
  DWORD handled = route->handler(e, &result);
  if (handled == kResultNotHandled) return handled;
  // Common end: numbers grouped by the host, the text to the buffer or the control.
  if (result.numeric) {
    if (auto format = host_service<void(WINAPI*)(char*)>(kHostFormatNumber)) format(result.text);
  }
  if (into_buffer) {
    if (text != nullptr) copy_text(text, kTextResultBytes, result.text);
  } else if (descriptor != nullptr) {
    SetDlgItemTextA(screen, descriptor_half(descriptor, kDescHalfDialogItem), result.text);
  }
  if (out_value != nullptr) *out_value = result.value;
  return 0;
}
