// Windows of the user-interface layer, shared by its source files.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct ListRow {
  std::vector<std::string> texts;  // one per column, column 0 first
  std::vector<bool> asked;         // beside texts: the cell is LPSTR_TEXTCALLBACKA, asked of the parent
  LPARAM param = 0;
  UINT state = 0;
  int image = 0;
};

struct TreeNode {
  HTREEITEM parent = nullptr;  // null for a root item
  std::string text;
  int image = 0;
  int selected_image = 0;
  LPARAM param = 0;
  std::vector<HTREEITEM> children;
};

struct Window {
  std::string class_name;
  HWND parent = nullptr;
  int id = 0;
  std::string text;
  DWORD style = 0;
  DWORD ex_style = 0;
  int width = 0, height = 0;
  LONG_PTR user_data = 0;
  LONG_PTR dialog_result = 0;  // DWLP_MSGRESULT
  WNDPROC proc = nullptr;
  DLGPROC dialog_proc = nullptr;
  HFONT font = nullptr;
  bool destroyed = false;
  DWORD thread = 0;  // the creating thread, whose queue receives posted messages
  bool enabled = true;
  int invalidations = 0;
  bool needs_paint = false;  // invalidated since its last paint
  std::string theme;
  std::vector<HWND> children;
  // WM_SETICON: the small and the big icon, and the name of every icon set, in order ("" for none)
  HICON icons[2] = {nullptr, nullptr};
  std::vector<std::string> icon_names;
  // Button
  int check = 0;
  // Edit: most characters the user can type (EM_LIMITTEXT); 0 = no limit
  size_t text_limit = 0;
  // Edit: the selection, as character positions, start <= end; the caret when they are equal
  size_t selection_start = 0, selection_end = 0;
  // A shown popup menu's window ("#32768"): the menu it shows (MN_GETHMENU)
  HMENU menu = nullptr;
  // Dialog
  std::string template_name;
  bool ended = false;
  INT_PTR end_result = 0;
  // Tooltip: each tool's identifier (the control's window) and text
  std::vector<std::pair<UINT_PTR, std::string>> tools;
  // Date field: its date and time, or none (only with DTS_SHOWNONE)
  SYSTEMTIME date_time = {};
  bool no_date = false;
  // Progress bar
  int progress_low = 0, progress_high = 100, progress_pos = 0, progress_step = 10;
  // List view
  std::vector<std::string> columns;
  std::vector<int> column_widths;  // beside columns, one per column
  std::vector<ListRow> rows;
  HIMAGELIST small_images = nullptr;   // LVM_SETIMAGELIST, LVSIL_SMALL
  HIMAGELIST normal_images = nullptr;  // LVSIL_NORMAL
  // Tree view
  std::map<HTREEITEM, TreeNode> nodes;
  std::vector<HTREEITEM> roots;
  HTREEITEM selected_node = nullptr;
};

std::recursive_mutex& ui_lock();
// Forgets the device contexts that windows were painted on (paint.cpp), with the windows.
void release_window_dcs();
// The window behind a handle, or null when the handle is not a live window.
Window* find_window(HWND handle);

// The resource name of the icon at index of an image list; empty when there is none.
std::string image_name(HIMAGELIST list, int index);
// The resource name of a loaded icon; empty for none.
std::string icon_name(HICON icon);

// The built-in window procedure of a class name; DefWindowProcA for others.
WNDPROC class_proc(const std::string& class_name);

// The window procedure of a shown popup menu's window.
WNDPROC popup_menu_window_proc();
// Shows a popup menu for its owner, as TrackPopupMenu with TPM_RETURNCMD does: the menu-popup-start
// event is told, the scripted user chooses, the menu closes. Returns the command chosen, 0 for none.
UINT track_popup_menu(HMENU menu, HWND owner);

// The scripted user looks at the modeless dialogs of the calling thread while
// it waits for a message; true when it pressed a button in one of them.
bool answer_modeless_dialogs();
// Wakes the threads that wait for messages (a new message or scripted answer).
void wake_message_waiters();
// Whether a handle is a menu made and not yet destroyed.
bool is_menu(HMENU menu);
}  // namespace platform

namespace ui {
struct Answer;
struct JournalEntry;
}  // namespace ui

namespace platform {

// The scripted user's answer for a common dialog, and the journal of what was shown.
bool take_scripted_answer(const std::string& name, const std::string& title, const std::string& text,
                          ui::Answer* out);
void record_shown(const ui::JournalEntry& entry);

}  // namespace platform
