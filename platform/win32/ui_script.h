// The scripted user and the journal of what the library showed.
//
// Modal dialogs and message boxes do not wait for a person: they take the
// next matching scripted answer, or press their default button. Everything
// shown is kept in the journal for tests and the console to read.
//
// Modeless dialogs (CreateDialogParamA, run by a thread's GetMessageA loop)
// stay open until the program closes them; the scripted user acts on one
// while its thread waits for a message, and only with an answer whose match
// names it (template, caption or text). The save-file dialog takes an answer
// matching "Save As": its first edit is the name typed; unanswered, it is
// cancelled.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "win32/paint_test_api.h"

namespace ui {

struct JournalEntry {
  std::string kind;           // "message box" or "dialog"
  std::string template_name;  // dialog template ("SHORT_MSG"); empty for message boxes
  std::string title;          // caption
  std::string text;           // message box text; for dialogs the texts of its static controls, one per line
  std::vector<std::string> rows;  // dialogs: the rows of its list views, "text [icon name]" with an icon
  UINT flags = 0;             // MessageBoxA flags
  INT_PTR result = 0;         // what the box or dialog returned
  HWND owner = nullptr;
  HWND window = nullptr;      // modeless dialogs: the dialog, which stays open after the entry is kept
  DWORD thread = 0;           // GetCurrentThreadId of the caller
  // Modal dialogs: the texts drawn when the dialog was first painted (its
  // static controls' texts, what its owner-drawn buttons drew), control by control.
  std::vector<QvmrDrawnText> drawn;
};

std::vector<JournalEntry> journal();
void clear_journal();
// Called with every journal entry as it is kept, on the thread that showed it
// (null: none). The console prints what is shown as it happens.
using JournalListener = void (*)(const JournalEntry& entry);
void set_journal_listener(JournalListener listener);

// An answer the scripted user gives once, to the first box or dialog it matches.
struct Answer {
  std::string match;        // template name, caption or a piece of the text; empty matches anything
  int button = 0;           // result or dialog item to press; 0 = use button_text or the default
  std::string button_text;  // caption of the button to press ("Save", "Discard")
  // Dialog item, text typed before pressing, in order. As at a keyboard, an edit takes no more than
  // its EM_LIMITTEXT and a list view selects the first row whose text begins with what was typed.
  std::vector<std::pair<int, std::string>> edits;
};

void script(Answer answer);
void clear_script();
size_t script_left();

// Destroys every window and clears the journal and the script.
void reset();

// The user selects one row of a list view (as a click does: LVN_ITEMCHANGING
// and LVN_ITEMCHANGED go to the parent first). Returns false when refused.
bool click_row(HWND list, int row);

// Counters of calls that only repaint.
int invalidate_count(HWND window);
// The theme set on a window with SetWindowTheme, as 8-bit text.
std::string window_theme(HWND window);

}  // namespace ui
