// Popup menus, the window a shown menu has, and the accessibility event hooks that hear a menu open.
//
// A shown menu asks the scripted user which entry to choose: the one ui::right_click named, or
// none (the menu is dismissed, as Escape does). Every menu shown is kept in the journal.
#include <windows.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "win32/kernel_objects.h"
#include "win32/ui_internal.h"
#include "win32/ui_script.h"

namespace {

struct MenuItem {
  UINT flags = 0;  // MF_SEPARATOR, MF_GRAYED, MF_DISABLED
  UINT_PTR id = 0;
  std::string text;
};

struct Menu {
  std::vector<MenuItem> items;
};

struct WinEventHook {
  DWORD event_min = 0, event_max = 0;
  WINEVENTPROC proc = nullptr;
  DWORD process = 0, thread = 0, flags = 0;
  DWORD hooking_thread = 0;
};

struct MenuState {
  std::mutex lock;
  std::set<Menu*> menus;  // HMENU is the Menu's address
  std::map<HWINEVENTHOOK, WinEventHook> hooks;
  uintptr_t next_hook = 1;
};

MenuState& state() {
  static MenuState& s = *new MenuState;
  return s;
}

constexpr size_t kMenuTextBytes = 512;  // the longest entry the scripted user can name, and its terminator

// The entry the scripted user will choose in the next menu this thread shows (empty for none), and
// the command chosen in the last menu it showed.
thread_local char t_choice[kMenuTextBytes];  // a plain buffer: a thread's string would need a destructor at exit
thread_local UINT t_chosen = 0;

Menu* find_menu(HMENU handle) {
  auto* menu = reinterpret_cast<Menu*>(handle);
  return state().menus.count(menu) ? menu : nullptr;
}

// A menu text as a person reads it: "&" marks the underlined letter, "&&" is one ampersand.
std::string shown_text(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    else if (text[i] == '&') continue;
    out += text[i];
  }
  return out;
}

LRESULT CALLBACK popup_menu_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != MN_GETHMENU) return DefWindowProcA(window, message, wparam, lparam);
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  platform::Window* w = platform::find_window(window);
  return w ? reinterpret_cast<LRESULT>(w->menu) : 0;
}

}  // namespace

namespace platform {

bool is_menu(HMENU menu) {
  std::lock_guard<std::mutex> guard(state().lock);
  return find_menu(menu) != nullptr;
}


WNDPROC popup_menu_window_proc() { return popup_menu_proc; }

UINT track_popup_menu(HMENU menu, HWND owner) {
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (find_menu(menu) == nullptr) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return 0;
    }
  }
  HWND popup = CreateWindowExA(0, "#32768", "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    find_window(popup)->menu = menu;
  }
  NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, popup, OBJID_CLIENT, CHILDID_SELF);
  const std::string wanted = t_choice;
  t_choice[0] = '\0';
  ui::JournalEntry entry;
  entry.kind = "menu";
  entry.owner = owner;
  entry.window = popup;
  entry.thread = GetCurrentThreadId();
  UINT chosen = 0;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (Menu* m = find_menu(menu)) {
      for (const MenuItem& item : m->items) {
        if (item.flags & MF_SEPARATOR) {
          entry.rows.push_back(ui::kMenuSeparator);
          continue;
        }
        const std::string text = shown_text(item.text);
        const bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        entry.rows.push_back(grayed ? text + " [grayed]" : text);
        if (chosen == 0 && entry.text.empty() && !wanted.empty() && strcasecmp(text.c_str(), wanted.c_str()) == 0) {
          if (grayed) continue;  // a grayed entry cannot be chosen: the scripted user looks on
          chosen = static_cast<UINT>(item.id);
          entry.text = text;
        }
      }
    }
  }
  if (!wanted.empty() && entry.text.empty())
    std::fprintf(stderr, "qvmr7 win32: scripted user: no menu entry \"%s\" to choose\n", wanted.c_str());
  entry.result = static_cast<INT_PTR>(chosen);
  t_chosen = chosen;
  record_shown(entry);
  NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, popup, OBJID_CLIENT, CHILDID_SELF);
  DestroyWindow(popup);
  return chosen;
}

}  // namespace platform

namespace ui {

UINT right_click(HWND window, const std::string& entry) {
  if (!IsWindow(window)) return 0;
  if (entry.size() >= sizeof t_choice) {
    std::fprintf(stderr, "qvmr7 win32: scripted user: menu entry \"%s\" is longer than any menu text\n", entry.c_str());
    return 0;
  }
  std::memcpy(t_choice, entry.c_str(), entry.size() + 1);
  t_chosen = 0;
  // Windows have no place on a screen here: the click's point is the window's origin.
  SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(0, 0));
  t_choice[0] = '\0';  // a window without a menu leaves the choice unused
  return std::exchange(t_chosen, 0u);
}

}  // namespace ui

extern "C" {

HMENU WINAPI CreatePopupMenu(void) {
  std::lock_guard<std::mutex> guard(state().lock);
  Menu* menu = new Menu;
  state().menus.insert(menu);
  return reinterpret_cast<HMENU>(menu);
}

BOOL WINAPI DestroyMenu(HMENU handle) {
  std::lock_guard<std::mutex> guard(state().lock);
  Menu* menu = find_menu(handle);
  if (menu == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  state().menus.erase(menu);
  delete menu;
  return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU handle, UINT flags, UINT_PTR id, LPCSTR text) {
  constexpr UINT kSupported = MF_SEPARATOR | MF_GRAYED | MF_DISABLED;
  if (flags & ~kSupported) {
    platform::unsupported("AppendMenuA", "submenus, checks, bitmaps and owner-drawn items");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(state().lock);
  Menu* menu = find_menu(handle);
  if (menu == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  MenuItem item;
  item.flags = flags;
  item.id = id;
  if (!(flags & MF_SEPARATOR) && text != nullptr) item.text = text;
  menu->items.push_back(item);
  return TRUE;
}

int WINAPI GetMenuItemCount(HMENU handle) {
  std::lock_guard<std::mutex> guard(state().lock);
  Menu* menu = find_menu(handle);
  if (menu == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  return static_cast<int>(menu->items.size());
}

HWINEVENTHOOK WINAPI SetWinEventHook(DWORD event_min, DWORD event_max, HMODULE module, WINEVENTPROC proc,
                                     DWORD process, DWORD thread, DWORD flags) {
  if (proc == nullptr || event_min > event_max) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((flags & WINEVENT_INCONTEXT) && module == nullptr) {
    SetLastError(ERROR_HOOK_NEEDS_HMOD);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(state().lock);
  auto hook = reinterpret_cast<HWINEVENTHOOK>(state().next_hook++ << 4);
  state().hooks[hook] = {event_min, event_max, proc, process, thread, flags, GetCurrentThreadId()};
  return hook;
}

BOOL WINAPI UnhookWinEvent(HWINEVENTHOOK hook) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (state().hooks.erase(hook) == 0) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// Every event is this process's. A hook hears it when the event is in its range and the process and
// thread it named (0 for any) are the event's; it is called at once on the thread where the event
// happens, which must be the thread that hooked: the layer has no queue to carry it to another.
void WINAPI NotifyWinEvent(DWORD event, HWND window, LONG object, LONG child) {
  const DWORD thread = GetCurrentThreadId();
  std::vector<std::pair<HWINEVENTHOOK, WinEventHook>> hearing;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    for (const auto& [handle, hook] : state().hooks) {
      if (event < hook.event_min || event > hook.event_max) continue;
      if ((hook.process != 0 && hook.process != GetCurrentProcessId()) || (hook.thread != 0 && hook.thread != thread))
        continue;
      if ((hook.flags & WINEVENT_SKIPOWNPROCESS) || ((hook.flags & WINEVENT_SKIPOWNTHREAD) && hook.hooking_thread == thread))
        continue;
      if (hook.hooking_thread != thread) {
        platform::unsupported("NotifyWinEvent", "an event for a hook of another thread");
        continue;
      }
      hearing.emplace_back(handle, hook);
    }
  }
  for (const auto& [handle, hook] : hearing) {
    {
      std::lock_guard<std::mutex> guard(state().lock);
      if (state().hooks.count(handle) == 0) continue;  // unhooked by an earlier hook
    }
    hook.proc(handle, event, window, object, child, thread, GetTickCount());
  }
}

}  // extern "C"
