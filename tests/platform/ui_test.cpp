// Windows, the built-in controls, modal dialogs from the resource script,
// message boxes and the scripted user.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "chartdir/memory_dc.h"
#include "tests/support/list_rows.h"
#include "win32/clipboard.h"
#include "win32/modules.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

namespace {

// What the test screen's window procedure was sent: code, item, new and old state, param, sender.
using Seen = std::tuple<UINT, int, UINT, UINT, LPARAM, HWND>;
std::vector<Seen> notes;
std::vector<std::pair<int, HWND>> clicks;  // WM_COMMAND BN_CLICKED: id, control
bool veto_changes = false;

LRESULT CALLBACK screen_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) {
    auto* nm = reinterpret_cast<NMLISTVIEW*>(lparam);
    EXPECT_EQ(nm->hdr.idFrom, wparam);
    notes.emplace_back(nm->hdr.code, nm->iItem, nm->uNewState, nm->uOldState, nm->lParam, nm->hdr.hwndFrom);
    return veto_changes && nm->hdr.code == LVN_ITEMCHANGING;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    clicks.emplace_back(LOWORD(wparam), reinterpret_cast<HWND>(lparam));
    return 0;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

HWND make(const char* class_name, HWND parent, int id, DWORD style, const char* text = "") {
  return CreateWindowExA(0, class_name, text, style, 0, 0, 10, 10, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

HWND make_screen() {
  HWND screen = make("TestScreen", nullptr, 0, WS_VISIBLE, "Screen");
  SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&screen_proc));
  return screen;
}

int add_row(HWND list, int at, const char* text, LPARAM param) {
  LVITEMA item{LVIF_TEXT | LVIF_PARAM, at, 0, 0, 0, const_cast<char*>(text), 0, 0, param, 0};
  return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int next_item(HWND list, int from, UINT flags) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(from), flags));
}

// The rows LVNI_SELECTED walks to, from the start.
std::vector<int> selected(HWND list) {
  std::vector<int> out;
  for (int at = -1; (at = next_item(list, at, LVNI_SELECTED)) != -1 && out.size() < 10;) out.push_back(at);
  return out;
}

std::string sub_text(HWND list, int row, int sub) {
  char buffer[64] = "";
  LVITEMA item{0, 0, sub, 0, 0, buffer, sizeof buffer, 0, 0, 0};
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

class Ui : public ::testing::Test {
 protected:
  void SetUp() override { ui::reset(), notes.clear(), clicks.clear(), veto_changes = false; }
  void TearDown() override { ui::reset(); }
};

TEST_F(Ui, ListViewRowsTextAndSelectionWhichTheParentMayRefuse) {
  HWND list = make(WC_LISTVIEWA, make_screen(), 100, WS_CHILD | WS_VISIBLE);
  EXPECT_EQ(add_row(list, 0, "srv-beta", 20), 0);
  EXPECT_EQ(add_row(list, 0, "srv-alpha", 10), 0);   // before the first
  EXPECT_EQ(add_row(list, 99, "srv-gamma", 30), 2);  // past the end: appended
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);
  LVITEMA set{0, 0, 2, 0, 0, const_cast<char*>("running"), 0, 0, 0, 0};  // column 1 stays unset
  EXPECT_FALSE(SendMessageA(list, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&set))) << "no such column yet";
  support::add_columns(list, 3);
  EXPECT_TRUE(SendMessageA(list, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&set)));
  set.iSubItem = 3;
  EXPECT_FALSE(SendMessageA(list, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&set))) << "past the last column";
  EXPECT_EQ(sub_text(list, 1, 0) + "|" + sub_text(list, 1, 1) + "|" + sub_text(list, 1, 2) + "|" + sub_text(list, 1, 3),
            "srv-beta||running|");
  char buffer[] = "xxxxxxx";
  LVITEMA get{LVIF_TEXT | LVIF_PARAM, 0, 0, 0, 0, buffer, 4, 0, 0, 0};
  ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&get)));
  // Three characters and the terminator, nothing written past cchTextMax.
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("srv\0xxx\0", 8));
  EXPECT_EQ(get.lParam, 10);
  get.iItem = 3;
  EXPECT_FALSE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&get)));

  EXPECT_EQ(selected(list), std::vector<int>{});
  EXPECT_EQ(next_item(list, -1, LVNI_ALL), 0);
  ASSERT_TRUE(ui::click_row(list, 1));
  const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
  // The other rows do not change, so they say nothing.
  EXPECT_EQ(notes, (std::vector<Seen>{{LVN_ITEMCHANGING, 1, both, 0u, 20, list},
                                      {LVN_ITEMCHANGED, 1, both, 0u, 20, list}}));
  EXPECT_EQ(selected(list), std::vector<int>{1});
  EXPECT_EQ(next_item(list, -1, LVNI_FOCUSED), 1);

  // Index -1 changes every row; row 1 is selected already.
  notes.clear();
  LVITEMA state{0, 0, 0, LVIS_SELECTED, LVIS_SELECTED, nullptr, 0, 0, 0, 0};
  EXPECT_TRUE(SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state)));
  EXPECT_EQ(notes.size(), 4u);
  EXPECT_EQ(selected(list), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 1, both), static_cast<LRESULT>(both));  // focus kept
  state.state = 0;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  EXPECT_EQ(selected(list), std::vector<int>{});
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 1, both), LVIS_FOCUSED);

  // A parent answering TRUE to LVN_ITEMCHANGING keeps every row as it was.
  ASSERT_TRUE(ui::click_row(list, 0));
  notes.clear();
  veto_changes = true;
  EXPECT_FALSE(ui::click_row(list, 2));
  state.state = LVIS_SELECTED;
  EXPECT_FALSE(SendMessageA(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state)));
  EXPECT_FALSE(notes.empty());
  for (const Seen& s : notes) EXPECT_EQ(std::get<0>(s), LVN_ITEMCHANGING);
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 0, both), static_cast<LRESULT>(both));
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMSTATE, 2, both), 0);
}

HTREEITEM insert(HWND tree, HTREEITEM parent, HTREEITEM after, const char* text) {
  TVINSERTSTRUCTA in{parent, after, {{TVIF_TEXT, nullptr, 0, 0, const_cast<char*>(text), 0, 0, 0, 0, 0}}};
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&in)));
}

HTREEITEM relation(HWND tree, WPARAM how, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// The texts of an item's children (null: the root items), "a,b,c".
std::string children(HWND tree, HTREEITEM parent) {
  std::string out;
  for (const support::TreeRow& row : support::tree_rows(tree, parent)) out += (out.empty() ? "" : ",") + row.text;
  return out;
}

TEST_F(Ui, TreeViewInsertPositionsAndWalk) {
  HWND tree = make(WC_TREEVIEWA, make_screen(), 200, WS_CHILD | WS_VISIBLE);
  HTREEITEM bravo = insert(tree, TVI_ROOT, TVI_LAST, "Bravo");
  HTREEITEM alpha = insert(tree, TVI_ROOT, TVI_FIRST, "Alpha");
  insert(tree, nullptr, TVI_LAST, "Echo");
  insert(tree, TVI_ROOT, TVI_SORT, "charlie");
  insert(tree, TVI_ROOT, bravo, "Bravo2");  // right after a given sibling
  HTREEITEM x2 = insert(tree, bravo, TVI_SORT, "x2");
  insert(tree, bravo, TVI_SORT, "x3");
  insert(tree, bravo, TVI_SORT, "X1");
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 8);

  EXPECT_EQ(children(tree, nullptr), "Alpha,Bravo,Bravo2,charlie,Echo");
  EXPECT_EQ(children(tree, bravo), "X1,x2,x3");
  EXPECT_EQ((std::vector<HTREEITEM>{relation(tree, TVGN_ROOT, nullptr), relation(tree, TVGN_CHILD, TVI_ROOT),
                                    relation(tree, TVGN_PARENT, x2), relation(tree, TVGN_PARENT, bravo),
                                    relation(tree, TVGN_CHILD, x2)}),
            (std::vector<HTREEITEM>{alpha, alpha, bravo, nullptr, nullptr}));
  EXPECT_EQ(insert(tree, reinterpret_cast<HTREEITEM>(0x7770), TVI_LAST, "orphan"), nullptr);
}

TEST_F(Ui, TabOrderDlgItemAndChildLookupAndButtonClicks) {
  HWND screen = make_screen();
  const DWORD stop = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  HWND name = make("Edit", screen, 1, stop);
  HWND label = make("Static", screen, 2, WS_CHILD | WS_VISIBLE);
  HWND port = make("Edit", screen, 3, stop);
  make("Button", screen, 4, WS_CHILD | WS_TABSTOP);  // hidden
  HWND off = make("Button", screen, 5, stop);
  EnableWindow(off, FALSE);
  HWND born_off = make("Button", screen, 6, stop | WS_DISABLED);
  HWND ok = make("button", screen, IDOK, stop);
  // From, backwards, the next stop: skipping hidden and disabled controls, wrapping, from a control that is no stop.
  const struct { HWND from; BOOL back; HWND next; } steps[] = {
      {name, FALSE, port}, {port, FALSE, ok}, {ok, FALSE, name}, {name, TRUE, ok},
      {ok, TRUE, port},    {nullptr, FALSE, name}, {label, FALSE, port}, {label, TRUE, name}};
  for (const auto& s : steps) EXPECT_EQ(GetNextDlgTabItem(screen, s.from, s.back), s.next) << &s - steps;

  // The only stop is its own next, either way.
  HWND single_parent = make("TestScreen", nullptr, 0, WS_VISIBLE), single = make("Edit", single_parent, 7, stop);
  make("Static", single_parent, 8, WS_CHILD | WS_VISIBLE);
  for (BOOL back : {FALSE, TRUE}) EXPECT_EQ(GetNextDlgTabItem(single_parent, single, back), single) << back;

  EXPECT_EQ(GetDlgItem(screen, 3), port);
  SetLastError(0);
  EXPECT_EQ(GetDlgItem(screen, 999), nullptr);
  EXPECT_EQ(GetLastError(), 1421u);

  // Children by class and text, in creation order after the given child, ignoring case; null matches any.
  HWND holder = make("Static", screen, 9, WS_CHILD | WS_VISIBLE);
  HWND first = make(PROGRESS_CLASSA, holder, 0, WS_CHILD, "BAR1");
  HWND second = make(PROGRESS_CLASSA, holder, 0, WS_CHILD, "BAR2");
  HWND label2 = make("Static", holder, 0, WS_CHILD, "BAR2");
  const struct { HWND parent, after; const char *class_name, *text; HWND found; } finds[] = {
      {holder, nullptr, "MSCTLS_PROGRESS32", "bar2", second}, {holder, nullptr, nullptr, "BAR2", second},
      {holder, second, nullptr, "BAR2", label2},             {holder, nullptr, PROGRESS_CLASSA, nullptr, first},
      {holder, first, PROGRESS_CLASSA, nullptr, second},     {holder, second, PROGRESS_CLASSA, nullptr, nullptr},
      {screen, nullptr, PROGRESS_CLASSA, "BAR1", nullptr}};  // not a grandchild
  for (const auto& f : finds) EXPECT_EQ(FindWindowExA(f.parent, f.after, f.class_name, f.text), f.found) << &f - finds;

  // A click tells the parent unless the button is disabled.
  for (HWND button : {ok, off, born_off}) SendMessageA(button, BM_CLICK, 0, 0);
  EnableWindow(born_off, TRUE);
  SendMessageA(born_off, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, (std::vector<std::pair<int, HWND>>{{IDOK, ok}, {6, born_off}}));

  // Automatic check boxes turn over; an automatic radio button clears the others of its parent.
  HWND box = make("Button", holder, 20, WS_CHILD | BS_AUTOCHECKBOX);
  HWND radios[3];
  for (int i = 0; i < 3; ++i) radios[i] = make("Button", holder, 21 + i, WS_CHILD | BS_AUTORADIOBUTTON);
  auto checks = [&] {
    std::vector<LRESULT> out;
    for (HWND b : {box, radios[0], radios[1], radios[2]}) out.push_back(SendMessageA(b, BM_GETCHECK, 0, 0));
    return out;
  };
  SendMessageA(radios[0], BM_SETCHECK, BST_CHECKED, 0);
  for (HWND b : {box, radios[2]}) SendMessageA(b, BM_CLICK, 0, 0);
  EXPECT_EQ(checks(), (std::vector<LRESULT>{1, 0, 0, 1}));
  for (HWND b : {box, radios[2], radios[1]}) SendMessageA(b, BM_CLICK, 0, 0);
  EXPECT_EQ(checks(), (std::vector<LRESULT>{0, 0, 1, 0}));
}

// Which window heard which destruction message, in order.
std::vector<std::pair<HWND, UINT>> destroyed;

LRESULT CALLBACK destruction_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY || message == WM_NCDESTROY) {
    EXPECT_TRUE(IsWindow(hwnd)) << "still a window while it hears of its end";
    destroyed.emplace_back(hwnd, message);
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST_F(Ui, DestroyingAWindowTellsItBeforeAndAfterItsChildren) {
  destroyed.clear();
  HWND screen = make_screen();
  HWND list = make(WC_LISTVIEWA, screen, 1, WS_CHILD);
  HWND inner = make("Edit", list, 2, WS_CHILD);
  for (HWND w : {list, inner}) SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&destruction_proc));
  ASSERT_TRUE(DestroyWindow(list));
  EXPECT_EQ(destroyed, (std::vector<std::pair<HWND, UINT>>{
                           {list, WM_DESTROY}, {inner, WM_DESTROY}, {inner, WM_NCDESTROY}, {list, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(list) || IsWindow(inner));
  EXPECT_EQ(GetDlgItem(screen, 1), nullptr);
  SetLastError(0);
  EXPECT_FALSE(DestroyWindow(list));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

const char kScript[] =
    "ADD_HOST DIALOGEX 0, 0, 200, 80\r\n"
    "CAPTION \"Add a host\"\r\n"
    "BEGIN\r\n"
    "    LTEXT           \"Host name:\",IDC_STATIC,7,7,60,8\r\n"
    "    LTEXT           \"\",IDC_PORT_LABEL,7,25,60,8\r\n"
    "    EDITTEXT        IDC_HOST,70,7,120,14,ES_AUTOHSCROLL\r\n"
    "    DEFPUSHBUTTON   \"OK\",IDOK,90,60,50,14\r\n"
    "    PUSHBUTTON      \"&Skip\",IDC_SKIP,145,60,50,14\r\n"
    "END\r\n\r\n"
    "PICK_NAME DIALOGEX 0, 0, 200, 120\r\n"
    "CAPTION \"Pick a type\"\r\n"
    "BEGIN\r\n"
    "    CONTROL         \"\",IDC_TYPES,\"SysListView32\",WS_BORDER,7,7,180,40\r\n"
    "    EDITTEXT        IDC_NOTES,7,50,180,30,ES_MULTILINE\r\n"
    "    EDITTEXT        IDC_HOST,7,85,180,14,ES_AUTOHSCROLL\r\n"
    "    DEFPUSHBUTTON   \"OK\",IDOK,90,100,50,14\r\n"
    "END\r\n\r\n"
    "STUBBORN DIALOGEX 0, 0, 100, 40\r\n"
    "CAPTION \"Never closes\"\r\n"
    "BEGIN\r\n"
    "    DEFPUSHBUTTON   \"OK\",IDOK,7,7,50,14\r\n"
    "END\r\n";
const char kHeader[] =
    "#define IDC_HOST 1001\r\n#define IDC_SKIP 1002\r\n#define IDC_PORT_LABEL 1003\r\n#define IDC_NOTES 1004\r\n"
    "#define IDC_TYPES 1005\r\n";

std::string typed;
int presses = 0;

INT_PTR CALLBACK add_host_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return SetDlgItemTextA(dialog, 1003, reinterpret_cast<const char*>(lparam));
  if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return FALSE;
  ++presses;
  char text[64];
  GetDlgItemTextA(dialog, 1001, text, sizeof text);
  typed = text;
  EndDialog(dialog, LOWORD(wparam));
  return TRUE;
}

INT_PTR CALLBACK stubborn_proc(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_COMMAND) ++presses;
  return message == WM_COMMAND;
}

// What the PICK_NAME dialog was told, in order.
std::vector<std::string> told;

INT_PTR CALLBACK pick_name_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    add_row(GetDlgItem(dialog, 1005), 0, "VNX_FS_TRACK\tFiles", 272);
    add_row(GetDlgItem(dialog, 1005), 1, "VNX_AD_EVENT\tDirectory", 304);
    SendMessageA(GetDlgItem(dialog, 1001), EM_LIMITTEXT, 5, 0);
    SetDlgItemTextA(dialog, 1004, "notes");
    SetDlgItemTextA(dialog, 1001, "set by the program");
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    auto* nm = reinterpret_cast<NMLISTVIEW*>(lparam);
    if (nm->hdr.code == LVN_ITEMCHANGED && (nm->uNewState & LVIS_SELECTED))
      told.push_back("selected " + std::to_string(nm->iItem) + " " + std::to_string(nm->lParam));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  char text[64];
  GetDlgItemTextA(dialog, HIWORD(wparam) == BN_CLICKED ? 1001 : LOWORD(wparam), text, sizeof text);
  if (HIWORD(wparam) == EN_CHANGE) told.push_back("changed " + std::to_string(LOWORD(wparam)) + " " + text);
  if (HIWORD(wparam) == BN_CLICKED) told.push_back(std::string("OK with ") + text), EndDialog(dialog, IDOK);
  return TRUE;
}

// The journal as "kind|template|title|text|result" lines.
std::vector<std::string> journal_lines() {
  std::vector<std::string> out;
  for (const ui::JournalEntry& e : ui::journal())
    out.push_back(e.kind + "|" + e.template_name + "|" + e.title + "|" + e.text + "|" + std::to_string(e.result));
  return out;
}

TEST_F(Ui, DialogsFromTheResourceScriptAnswerByScriptOrDefault) {
  HINSTANCE module = qvmr_register_module("QVMR0007.DLL", kScript, kHeader);
  auto run = [&](const char* name, DLGPROC proc) {
    typed = "?", presses = 0;
    return DialogBoxParamA(module, name, nullptr, proc, reinterpret_cast<LPARAM>("Port 8080"));
  };
  EXPECT_EQ(run("ADD_HOST", add_host_proc), IDOK);  // nobody answers: the default button
  EXPECT_EQ(typed + "|" + std::to_string(presses), "|1");
  ui::script({"Some other box", IDCANCEL, "", {}});
  ui::script({"add_host", 0, "Skip", {{1001, "SRV02"}}});
  EXPECT_EQ(run("ADD_HOST", add_host_proc), 1002);
  EXPECT_EQ(typed, "SRV02");
  EXPECT_EQ(ui::script_left(), 1u);  // the answer for another box is still waiting
  ui::clear_script();

  SetLastError(0);
  EXPECT_EQ(run("NO_SUCH_DIALOG", add_host_proc), -1);
  EXPECT_EQ(std::make_pair(GetLastError(), presses), std::make_pair(1814u, 0));
  EXPECT_EQ(run("STUBBORN", stubborn_proc), -1);  // a dialog that never ends gives up
  EXPECT_TRUE(presses > 1 && presses <= 100) << presses;
  // Dialogs are journaled as shown, before anything was typed; the missing one is not.
  const std::string add_host = "dialog|ADD_HOST|Add a host|Host name:\nPort 8080|";
  EXPECT_EQ(journal_lines(),
            (std::vector<std::string>{add_host + "1", add_host + "1002", "dialog|STUBBORN|Never closes||-1"}));

  // Typing is limited and tells the dialog, and picks list rows by their text. The multiline
  // edit says nothing when its text is set; the program's text is not limited.
  told.clear();
  ui::script({"PICK_NAME", IDOK, "", {{1005, "vnx_ad"}, {1005, "VNX_NONE"}, {1001, "SRV0200"}}});
  EXPECT_EQ(DialogBoxParamA(module, "PICK_NAME", nullptr, pick_name_proc, 0), IDOK);
  EXPECT_EQ(told, (std::vector<std::string>{"changed 1001 set by the program", "selected 1 304", "changed 1001 SRV02",
                                            "OK with SRV02"}));
  qvmr_unregister_module(module);
}

TEST_F(Ui, MessageBoxDefaultsScriptedAnswersAndJournal) {
  const struct { UINT type; int expected; } cases[] = {
      {MB_OK, IDOK}, {MB_OK | MB_DEFBUTTON2, IDOK}, {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, IDYES}, {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL}, {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
      {MB_RETRYCANCEL, IDRETRY}};
  for (const auto& c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", "title", c.type), c.expected) << c.type;

  ui::clear_journal();
  ui::script({"OVERWRITE", 0, "no", {}});
  ui::script({"agent", IDCANCEL, "", {}});
  HWND owner = make_screen();
  const UINT question = MB_YESNO | MB_ICONQUESTION;
  EXPECT_EQ(MessageBoxA(owner, "The agent is not answering.", nullptr, MB_RETRYCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(owner, "Overwrite the report?", "Save", question), IDNO);
  EXPECT_EQ(MessageBoxA(owner, "Overwrite the report?", "Save", question), IDYES);  // used once
  EXPECT_EQ(ui::script_left(), 0u);
  // "Error" when no caption is given; the results are IDCANCEL, IDNO and IDYES.
  EXPECT_EQ(journal_lines(), (std::vector<std::string>{"message box||Error|The agent is not answering.|2",
                                                       "message box||Save|Overwrite the report?|7",
                                                       "message box||Save|Overwrite the report?|6"}));
  const ui::JournalEntry e = ui::journal().at(1);
  EXPECT_EQ(std::make_tuple(e.flags, e.owner, e.thread), std::make_tuple(question, owner, GetCurrentThreadId()));
}

}  // namespace

// Copies between memory device contexts: a plain copy, a stretched one, and one that
// leaves the transparent colour out; a bitmap the module does not name is not found.
TEST(Bitmaps, CopiesStretchAndKeyOutTheirTransparentColour) {
  auto bitmap_dc = [](int width, int height, COLORREF left, COLORREF right, HBITMAP* bitmap) {
    HDC dc = CreateCompatibleDC(GetDC(nullptr));
    *bitmap = CreateCompatibleBitmap(dc, width, height);
    SelectObject(dc, *bitmap);
    HBRUSH brushes[2] = {CreateSolidBrush(left), CreateSolidBrush(right)};
    RECT halves[2] = {{0, 0, width / 2, height}, {width / 2, 0, width, height}};
    for (int i = 0; i < 2; ++i) FillRect(dc, &halves[i], brushes[i]), DeleteObject(brushes[i]);
    return dc;
  };
  HBITMAP from, to;
  HDC source = bitmap_dc(2, 1, 0xFF00FF, 0x0000FF, &from), target = bitmap_dc(8, 2, 0x00FF00, 0x00FF00, &to);
  auto row = [&](int y) {
    auto picture = platform::bitmap_part(to, 0, 8, 2);
    std::vector<uint32_t> out;
    for (int x = 0; x < 8; ++x) out.push_back(picture->pixels[y * 8 + x] & 0xFFFFFF);
    return out;
  };
  const uint32_t magenta = 0xFF00FF, red = 0xFF0000, green = 0x00FF00;
  ASSERT_TRUE(BitBlt(target, 0, 0, 2, 1, source, 0, 0, SRCCOPY));
  ASSERT_TRUE(StretchBlt(target, 2, 0, 4, 1, source, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(row(0), (std::vector<uint32_t>{magenta, red, magenta, magenta, red, red, green, green}));
  ASSERT_TRUE(TransparentBlt(target, 4, 1, 4, 1, source, 0, 0, 2, 1, 0xFF00FF));
  EXPECT_EQ(row(1), (std::vector<uint32_t>{green, green, green, green, green, green, red, red}));
  EXPECT_FALSE(BitBlt(target, 0, 0, 2, 1, source, 0, 0, 0x00EE0086)) << "only SRCCOPY";
  for (HDC dc : {source, target}) DeleteDC(dc);
  for (HBITMAP b : {from, to}) DeleteObject(b);

  HINSTANCE module = qvmr_register_module("TEST.DLL", "checked BITMAP \"bitmaps/none.bmp\"\n", "");
  EXPECT_EQ(LoadBitmapA(module, "unchecked"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LoadBitmapA(module, "checked"), nullptr) << "named, but no such file was embedded";
  qvmr_unregister_module(module);
}

// A DIB of 3 x 2 pixels (top row red, green, blue; bottom row white, black, grey) drawn from
// bottom-up 24-bit rows (padded to 4 bytes) and from top-down 32-bit rows: the same picture,
// copied, stretched, and in part, the source rectangle counted from the DIB's own origin.
TEST(Bitmaps, DeviceIndependentBitsDrawInEitherRowOrderAndStretch) {
  const uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF, white = 0xFFFFFF, black = 0, grey = 0x808080;
  const BYTE bottom_up[24] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0,
                              0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0};
  const BYTE top_down[24] = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0,
                             0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x80, 0x80, 0x80, 0};
  BITMAPINFO upward = {}, downward = {};
  upward.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  downward.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC dc = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 6, 4);
  SelectObject(dc, bitmap);
  auto pixels = [&](int y, int width) {
    auto picture = platform::bitmap_part(bitmap, 0, 6, 4);
    std::vector<uint32_t> out;
    for (int x = 0; x < width; ++x) out.push_back(picture->pixels[y * 6 + x] & 0xFFFFFF);
    return out;
  };
  for (auto [bits, info] : {std::pair{bottom_up, &upward}, {top_down, &downward}}) {
    const char* order = info == &upward ? "bottom-up" : "top-down";
    ASSERT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 2) << order;
    EXPECT_EQ(pixels(0, 3), (std::vector<uint32_t>{red, green, blue})) << order;
    EXPECT_EQ(pixels(1, 3), (std::vector<uint32_t>{white, black, grey})) << order;
    ASSERT_EQ(StretchDIBits(dc, 0, 0, 6, 4, 0, 0, 3, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 2) << order;
    EXPECT_EQ(pixels(1, 6), (std::vector<uint32_t>{red, red, green, green, blue, blue})) << order;
    EXPECT_EQ(pixels(2, 6), (std::vector<uint32_t>{white, white, black, black, grey, grey})) << order;
    // Source row 0 is the DIB's first stored row: the bottom one of a bottom-up DIB.
    ASSERT_EQ(StretchDIBits(dc, 0, 3, 2, 1, 1, 0, 2, 1, bits, info, DIB_RGB_COLORS, SRCCOPY), 1) << order;
    EXPECT_EQ(pixels(3, 2), info == &upward ? (std::vector<uint32_t>{black, grey}) : (std::vector<uint32_t>{green, blue}))
        << order;
  }
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 1, 0, 3, 2, top_down, &downward, DIB_RGB_COLORS, SRCCOPY), 0)
      << "a source rectangle outside the image";
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, top_down, &downward, DIB_RGB_COLORS, 0x00EE0086), 0)
      << "only SRCCOPY";
  downward.bmiHeader.biBitCount = 16;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, top_down, &downward, DIB_RGB_COLORS, SRCCOPY), 0);
  DeleteDC(dc);
  DeleteObject(bitmap);

  HDC recording = qvmr_paint_create_dc();
  EXPECT_EQ(StretchDIBits(recording, 0, 0, 30, 20, 0, 0, 3, 2, bottom_up, &upward, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(qvmr_paint_drawn_images(recording), 1);
  qvmr_paint_delete_dc(recording);
}

// An owner-drawn button is painted on UpdateWindow only after it was invalidated: its parent
// is asked to draw it (WM_DRAWITEM) on the button's own device context, in the button's size.
TEST_F(Ui, AnInvalidatedOwnerDrawnButtonIsDrawnByItsParentOnUpdate) {
  static std::vector<std::pair<UINT, RECT>> drawn;  // control and rectangle of each request
  drawn.clear();
  HWND screen = make("TestScreen", nullptr, 0, WS_VISIBLE, "Screen");
  SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m != WM_DRAWITEM) return DefWindowProcA(w, m, wp, lp);
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    drawn.emplace_back(item->CtlID, item->rcItem);
    TextOutA(item->hDC, 0, 0, "painted", 7);
    return TRUE;
  }));
  HWND owner_drawn = make("Button", screen, 7, WS_CHILD | BS_OWNERDRAW), plain = make("Button", screen, 8, WS_CHILD);
  MoveWindow(owner_drawn, 0, 0, 40, 30, FALSE);
  EXPECT_TRUE(UpdateWindow(owner_drawn));
  EXPECT_TRUE(drawn.empty()) << "nothing invalid yet";
  for (HWND w : {owner_drawn, plain}) InvalidateRect(w, nullptr, TRUE), UpdateWindow(w), UpdateWindow(w);
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].first, 7u);
  EXPECT_EQ(std::make_pair(drawn[0].second.right, drawn[0].second.bottom), std::make_pair(40, 30));
  EXPECT_EQ(qvmr_paint_drawn_texts(qvmr_paint_window_dc(owner_drawn)), 1);
}

namespace {

// A hook that adds "Extra" (command 4242) to every menu that opens, and what an edit's
// subclass heard of it.
HMENU g_opened_menu = nullptr;
std::vector<WPARAM> g_edit_commands;
WNDPROC g_edit_proc = nullptr;

void CALLBACK add_extra(HWINEVENTHOOK, DWORD event, HWND popup, LONG object, LONG, DWORD, DWORD) {
  EXPECT_EQ(event, static_cast<DWORD>(EVENT_SYSTEM_MENUPOPUPSTART));
  EXPECT_EQ(object, OBJID_CLIENT);
  g_opened_menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  AppendMenuA(g_opened_menu, MF_STRING, 4242, "E&xtra");
}

LRESULT CALLBACK edit_subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_edit_commands.push_back(wparam);
  return CallWindowProcA(g_edit_proc, hwnd, message, wparam, lparam);
}

void put_text_on_clipboard(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

std::string text_of(HWND window) {
  char text[64] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

TEST_F(Ui, EditMenuPastesAtTheCaretWithinTheLimitAndHooksAddCommandsTheEditPassesOn) {
  HWND edit = make("Edit", make_screen(), 7, WS_CHILD, "Hello world");
  g_edit_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&edit_subclass)));
  g_edit_commands.clear();
  put_text_on_clipboard("XY");
  SendMessageA(edit, EM_SETSEL, 5, 5);
  // Hooks for another thread, or that skip their own thread, hear nothing.
  HWINEVENTHOOK other = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPSTART, nullptr, &add_extra,
                                        GetCurrentProcessId(), GetCurrentThreadId() + 1, WINEVENT_OUTOFCONTEXT);
  HWINEVENTHOOK skipping = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPEND, nullptr, &add_extra,
                                           0, 0, WINEVENT_SKIPOWNTHREAD);
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPSTART, nullptr, &add_extra,
                                       GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  EXPECT_EQ(SetWinEventHook(1, 1, nullptr, &add_extra, 0, 0, WINEVENT_INCONTEXT), nullptr) << "in context needs a module";

  // The added entry's command reaches the edit's window procedure as WM_COMMAND, and the menu is gone after.
  EXPECT_EQ(ui::right_click(edit, "Extra"), 4242u);
  EXPECT_EQ(g_edit_commands, std::vector<WPARAM>{4242});
  EXPECT_EQ(GetMenuItemCount(g_opened_menu), -1);
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].rows, (std::vector<std::string>{"Undo [grayed]", "----", "Cut [grayed]", "Copy [grayed]",
                                                             "Paste", "Delete [grayed]", "----", "Select All", "Extra"}));
  EXPECT_EQ(ui::journal()[0].owner, edit);

  // Paste replaces the selection and leaves the caret after what it put in; the limit cuts it short.
  SendMessageA(edit, EM_SETSEL, 6, 5);
  EXPECT_EQ(ui::right_click(edit, "Paste"), static_cast<UINT>(WM_PASTE));
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(text_of(edit) + " " + std::to_string(start) + "-" + std::to_string(end), "HelloXYworld 7-7");
  SendMessageA(edit, EM_LIMITTEXT, 13, 0);
  SendMessageA(edit, WM_PASTE, 0, 0);
  EXPECT_EQ(text_of(edit), "HelloXYXworld");
  SendMessageA(edit, WM_PASTE, 0, 0);
  EXPECT_EQ(text_of(edit), "HelloXYXworld") << "full";

  // A grayed entry cannot be chosen; Select All then Cut moves the whole text to the clipboard.
  EXPECT_EQ(ui::right_click(edit, "Cut"), 0u);
  ui::right_click(edit, "Select All");
  ui::right_click(edit, "Cut");
  EXPECT_EQ(text_of(edit) + "|" + platform::clipboard_text(), "|HelloXYXworld");

  // Unhooked, a menu has only the edit's own entries.
  EXPECT_TRUE(UnhookWinEvent(hook));
  EXPECT_FALSE(UnhookWinEvent(hook));
  EXPECT_EQ(ui::right_click(edit, "Extra"), 0u);
  EXPECT_EQ(ui::journal().back().rows.size(), 8u);
  EXPECT_EQ(g_edit_commands, std::vector<WPARAM>{4242});
  UnhookWinEvent(other);
  UnhookWinEvent(skipping);
}

}  // namespace
