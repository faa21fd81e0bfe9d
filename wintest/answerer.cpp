#include "wintest/answerer.h"

#include <commctrl.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <set>

namespace wintest {
namespace {

constexpr UINT_PTR kAnswerTimer = 0x5157;
constexpr char kDialogClass[] = "#32770";

constexpr UINT_PTR kMenuTimerMs = 30;
constexpr char kMenuClass[] = "#32768";

std::mutex g_lock;
std::deque<Answer> g_answers;
std::vector<Shown> g_journal;
std::vector<std::string> g_menus;
// The entry to choose in the menu that the answer's right-click opens, and how many timer ticks saw it.
struct MenuChoice {
  std::string entry;
  int ticks;
};
MenuChoice g_menu_choice;
std::set<HWND> g_seen;  // dialogs up now that were noted; a window leaves when destroyed

std::string window_text(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool is_dialog(HWND window) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  return std::strcmp(name, kDialogClass) == 0;
}

// The texts of a dialog's static and edit controls, one per line; a password edit shows a mark per character.
BOOL CALLBACK add_shown_text(HWND child, LPARAM lines) {
  char name[32] = {};
  GetClassNameA(child, name, sizeof name);
  std::string text = window_text(child);
  bool edit = _stricmp(name, "Edit") == 0;
  if (edit && (GetWindowLongA(child, GWL_STYLE) & ES_PASSWORD)) text = std::string(text.size(), '*');
  auto* out = reinterpret_cast<std::string*>(lines);
  if ((edit || _stricmp(name, "Static") == 0) && !text.empty()) *out += (out->empty() ? "" : "\n") + text;
  return TRUE;
}

Shown describe(HWND dialog) {
  Shown shown{window_text(dialog), ""};
  EnumChildWindows(dialog, add_shown_text, reinterpret_cast<LPARAM>(&shown.text));
  return shown;
}

// Selects the first row that begins with the text, and only that row.
void select_row(HWND list, const std::string& text) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    char cell[512] = {};
    LVITEMA item = {};
    item.pszText = cell;
    item.cchTextMax = sizeof cell;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    if (std::strncmp(cell, text.c_str(), text.size()) != 0) continue;
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    return;
  }
}

void type_into(HWND dialog, int item, const std::string& text) {
  HWND control = GetDlgItem(dialog, item);
  char name[32] = {};
  GetClassNameA(control, name, sizeof name);
  if (std::strcmp(name, WC_LISTVIEWA) == 0) {
    select_row(control, text);
    return;
  }
  SetWindowTextA(control, text.c_str());
  // As typing leaves it: the caret after the text.
  if (_stricmp(name, "Edit") == 0) SendMessageA(control, EM_SETSEL, text.size(), text.size());
}

// A menu entry's text as shown: without "&" marks and without the shortcut after a tab.
std::string entry_text(const char* text) {
  std::string out;
  for (const char* c = text; *c && *c != '\t'; ++c)
    if (*c != '&') out += *c;
  return out;
}

// Ticks while the right-click's menu is open: on the second tick that sees it (the menu's own
// hooks have run by then) its entries are noted and the entry is chosen as a user does with the
// keyboard: Home, Down to it, Enter; or Escape when it is not there.
void CALLBACK choose_in_open_menu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = FindWindowA(kMenuClass, nullptr);
  if (popup == nullptr || !IsWindowVisible(popup) || ++g_menu_choice.ticks < 2) return;
  KillTimer(nullptr, timer);
  auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  std::string line = "menu:", chosen;
  UINT command = 0;
  int wanted = 0;
  for (int i = 0, position = 0; i < GetMenuItemCount(menu); ++i) {
    char text[300] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    if (info.fType & MFT_SEPARATOR) {
      line += " ---- |";
      continue;
    }
    ++position;
    std::string shown = entry_text(text);
    bool grayed = (info.fState & MFS_GRAYED) != 0;
    line += " " + shown + (grayed ? " [grayed]" : "") + " |";
    if (wanted == 0 && !grayed && _stricmp(shown.c_str(), g_menu_choice.entry.c_str()) == 0) {
      wanted = position;
      chosen = shown;
      command = info.wID;
    }
  }
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_menus.push_back(line + " chose \"" + chosen + "\" (" + std::to_string(command) + ")");
  }
  if (wanted == 0) {
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    return;
  }
  PostMessageA(popup, WM_KEYDOWN, VK_HOME, 0);
  for (int down = 1; down < wanted; ++down) PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(popup, WM_CHAR, '\r', 0);
}

// A right-click on the dialog item: its context menu opens (and runs its own loop until it closes).
void right_click(HWND dialog, int item, const std::string& entry) {
  HWND control = GetDlgItem(dialog, item);
  SetFocus(control);
  g_menu_choice = {entry, 0};
  UINT_PTR timer = SetTimer(nullptr, 0, kMenuTimerMs, choose_in_open_menu);
  SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(-1, -1));
  KillTimer(nullptr, timer);
}

// Presses a button as a click does: the dialog hears BN_CLICKED from it. A disabled button takes no click.
void press(HWND dialog, int item) {
  if (item == 0) {
    LRESULT default_id = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    item = HIWORD(default_id) == DC_HASDEFID ? LOWORD(default_id) : IDOK;
  }
  HWND button = GetDlgItem(dialog, item);
  if (button != nullptr && !IsWindowEnabled(button)) return;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(item, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool matches(const Answer& answer, const Shown& shown) {
  return shown.title.find(answer.match) != std::string::npos || shown.text.find(answer.match) != std::string::npos;
}

void CALLBACK answer_window(HWND dialog, UINT, UINT_PTR, DWORD) {
  KillTimer(dialog, kAnswerTimer);
  Shown shown = describe(dialog);
  bool first_time;
  Answer answer;
  bool answered = false;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    first_time = g_seen.insert(dialog).second;
    if (first_time) g_journal.push_back(shown);
    for (auto it = g_answers.begin(); it != g_answers.end(); ++it) {
      if (!matches(*it, shown)) continue;
      answer = *it;
      g_answers.erase(it);
      answered = true;
      break;
    }
  }
  if (!answered) {
    if (first_time) press(dialog, 0);
    return;
  }
  if (answer.inspect) answer.inspect(dialog);
  for (const auto& [item, text] : answer.edits) type_into(dialog, item, text);
  for (const auto& [item, entry] : answer.menus) right_click(dialog, item, entry);
  if (answer.button != kLeaveOpen) press(dialog, answer.button);
}

LRESULT CALLBACK on_window_event(int code, WPARAM wparam, LPARAM lparam) {
  HWND window = reinterpret_cast<HWND>(wparam);
  if (code == HCBT_ACTIVATE && is_dialog(window)) {
    SetTimer(window, kAnswerTimer, 10, answer_window);
  } else if (code == HCBT_DESTROYWND) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_seen.erase(window);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

bool start_answering() {
  // A hook of the whole desktop, given this program's module: it runs in this process's threads.
  return SetWindowsHookExA(WH_CBT, on_window_event, GetModuleHandleA(nullptr), 0) != nullptr;
}

void script(Answer answer) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_answers.push_back(std::move(answer));
}

size_t script_left() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_answers.size();
}

std::vector<Shown> journal() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_journal;
}

void clear_journal() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_journal.clear();
}

std::vector<std::string> take_journal() {
  std::lock_guard<std::mutex> guard(g_lock);
  std::vector<std::string> lines;
  for (const Shown& shown : g_journal) lines.push_back(shown.title + " | " + shown.text);
  g_journal.clear();
  return lines;
}

std::vector<std::string> take_menus() {
  std::lock_guard<std::mutex> guard(g_lock);
  std::vector<std::string> menus;
  menus.swap(g_menus);
  return menus;
}

}  // namespace wintest
