// The unsaved-changes guard: before the selection of the main server list
// moves away from a server with unsaved changes, ask to save or discard them.
// A list view tells its parent of selection changes, so the guard takes over
// the procedure of the list's screen and watches for the list's notifications.
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

HWND save_button(HWND screen) {
  int item = find_button_item(screen, kModuleNumber, kSaveServerConfigurationButton);
  return item ? GetDlgItem(screen, item) : nullptr;
}

// Asks whether to save or discard the current server's changes; true when asked.
bool resolve_unsaved_changes(uint8_t* record, HWND save) {
  if (item_word(record, kItemWordUnsavedMark) == 0) return false;
  MessageDialogBlock block = {};
  MessageDialog& prompt = block.dialog;
  copy_text(prompt.title, sizeof prompt.title, library_title());
  copy_text(prompt.text, sizeof prompt.text,
            "Changes for current server have not yet been saved.\n"
            "To continue, please click Save or Discard");
  copy_text(prompt.buttons[0], sizeof prompt.buttons[0], "Save");
  copy_text(prompt.buttons[1], sizeof prompt.buttons[1], "Discard");
  start_background_prompt(&block);
  while (!prompt.done) Sleep(14);
  if (prompt.chosen == 1) {
    if (save) SendMessageA(save, BM_CLICK, 0, 0);
    set_item_word(record, kItemWordUnsavedMark, 0);
  } else {
    set_item_word(record, kItemWordUnsavedMark, 0);
    if (save) {
      InvalidateRect(save, nullptr, TRUE);
      UpdateWindow(save);
    }
  }
  return true;
}

LRESULT CALLBACK server_screen_proc(HWND screen, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = g_library.main_screen_proc;
  const auto* header = reinterpret_cast<const NMHDR*>(lparam);
  if (message == WM_NOTIFY && header != nullptr && header->hwndFrom == g_library.main_server_list &&
      header->code == LVN_ITEMCHANGING) {
    CurrentServer server = current_server();
    if (server.record != nullptr) {
      HWND save = save_button(screen);
      bool asked = resolve_unsaved_changes(server.record, save);
      if (save) reset_change_counters(GetParent(save));
      if (asked) return 0;
    }
  }
  return CallWindowProcA(previous, screen, message, wparam, lparam);
}

}  // namespace

void watch_main_server_list(HWND list) {
  if (list == g_library.main_server_list && g_library.main_screen_proc != nullptr) return;
  release_main_server_list();
  HWND screen = GetParent(list);
  if (screen == nullptr) return;
  g_library.main_server_list = list;
  g_library.main_server_screen = screen;
  g_library.main_screen_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(server_screen_proc)));
}

void release_main_server_list() {
  if (g_library.main_screen_proc != nullptr && IsWindow(g_library.main_server_screen))
    SetWindowLongPtrA(g_library.main_server_screen, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(g_library.main_screen_proc));
  g_library.main_server_list = nullptr;
  g_library.main_server_screen = nullptr;
  g_library.main_screen_proc = nullptr;
}
