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
  std::vector<std::string> rows_at_end;  // modal dialogs: the same when it ended (the user may have changed them)
  std::vector<std::string> icons;        // modal dialogs: the icons set on its window (WM_SETICON), in order
  // Modal dialogs: as first shown, each edit's text (a password edit one mark per character) and each check
  // box's or radio button's state ("checked" or "unchecked"), by dialog item, in the dialog's order.
  std::vector<std::pair<int, std::string>> fields;
  std::vector<int> checked;              // modal dialogs: the items of its check boxes and radio buttons that are set
  std::vector<int> checked_at_end;       // the same when it ended
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

// A right-click on a dialog item and the entry chosen in the menu that opens (compared as shown,
// without "&" marks, ignoring case). In an edit, a caret other than -1 is where the user clicked
// into the text first.
struct MenuChoice {
  int item = 0;
  std::string entry;
  int caret = -1;
};

// An answer the scripted user gives once, to the first box or dialog it matches.
struct Answer {
  std::string match;        // template name, caption or a piece of the text; empty matches anything
  int button = 0;           // result or dialog item to press (or a label to click); 0 = use button_text or the default
  std::string button_text;  // caption of the button to press ("Save", "Discard")
  // Dialog item, text typed before pressing, in order. As at a keyboard, an edit takes no more than
  // its EM_LIMITTEXT and a list view selects the first row whose text begins with what was typed.
  std::vector<std::pair<int, std::string>> edits;
  // Then, before the button is pressed, right-clicks and menu choices, in order.
  std::vector<MenuChoice> menus = {};
};

// A shown menu's journal entry has kind "menu", the menu's entries as rows in order (a separator
// as kMenuSeparator, a grayed entry with " [grayed]" after its text), the entry chosen as its text
// and the chosen command as its result (0: none), and the window the menu was for as its owner.
constexpr char kMenuSeparator[] = "----";

// The user right-clicks a window and chooses the named entry in the menu that opens; an empty name
// (or one the menu has not, or a grayed one) closes the menu without a choice, as Escape does.
// Returns the command chosen, 0 for none.
UINT right_click(HWND window, const std::string& entry);

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
