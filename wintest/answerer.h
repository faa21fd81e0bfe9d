// The scripted user of the Windows test host: every dialog and message box
// of the process, on any thread, is noted in a journal when it comes up and
// answered, so that nothing waits for a person.
//
// A window that comes up (or is activated again, as a dialog is when a box it
// owns has closed) takes the first scripted answer whose match is a piece of
// its caption or of its texts; a modal one without an answer gets its default
// button pressed when it first comes up. Answers act from a timer on the
// window's own thread, once its modal loop runs.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/win32.h"

namespace wintest {

struct Shown {
  std::string title;  // the caption
  std::string text;   // the texts of its static and edit controls, one per line
};

struct Answer {
  std::string match;
  // The dialog item to press; 0 presses the default button; kLeaveOpen presses
  // nothing (a modeless window the case works with itself).
  int button = 0;
  // Dialog item and text typed, in order: an edit or combo box takes the text,
  // a list view selects the first row whose text begins with it.
  std::vector<std::pair<int, std::string>> edits;
  // Looks at the window before the edits (the case's own checks).
  std::function<void(HWND)> inspect;
  // Then, in turn, a right-click on a dialog item and the entry chosen in the menu that opens
  // (compared without "&" marks, ignoring case; "" closes it as Escape does).
  std::vector<std::pair<int, std::string>> menus = {};
};
constexpr int kLeaveOpen = -1;

// Hooks window activation in every thread of the process.
bool start_answering();

void script(Answer answer);
size_t script_left();
std::vector<Shown> journal();
void clear_journal();
// Every journal entry as "title | text", then the journal is emptied.
std::vector<std::string> take_journal();
// Every menu opened by an answer as "menu: entry | ---- | entry [grayed] | ... chose "entry" (command)",
// then they are forgotten.
std::vector<std::string> take_menus();

}  // namespace wintest
