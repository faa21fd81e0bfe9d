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

std::mutex g_lock;
std::deque<Answer> g_answers;
std::vector<Shown> g_journal;
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

BOOL CALLBACK add_static_text(HWND child, LPARAM lines) {
  char name[32] = {};
  GetClassNameA(child, name, sizeof name);
  std::string text = window_text(child);
  auto* out = reinterpret_cast<std::string*>(lines);
  if (_stricmp(name, "Static") == 0 && !text.empty()) *out += (out->empty() ? "" : "\n") + text;
  return TRUE;
}

Shown describe(HWND dialog) {
  Shown shown{window_text(dialog), ""};
  EnumChildWindows(dialog, add_static_text, reinterpret_cast<LPARAM>(&shown.text));
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
  if (std::strcmp(name, WC_LISTVIEWA) == 0) select_row(control, text);
  else SetWindowTextA(control, text.c_str());
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

}  // namespace wintest
