// Message boxes and modal dialogs, answered by the scripted user, and the
// journal of everything they showed.
#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "win32/kernel_objects.h"
#include "win32/modules.h"
#include "win32/ui_internal.h"
#include "win32/ui_script.h"

namespace {

struct ScriptState {
  std::mutex lock;
  std::vector<ui::JournalEntry> journal;
  std::deque<ui::Answer> answers;
};

ScriptState& script_state() {
  static ScriptState& state = *new ScriptState;
  return state;
}

bool contains_ignoring_case(const std::string& haystack, const std::string& needle) {
  if (needle.empty()) return true;
  auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
  return it != haystack.end();
}

// Takes the first scripted answer that matches what is shown.
// Modeless dialogs take only answers that name them (any_answer false).
bool take_answer(const std::string& template_name, const std::string& title, const std::string& text,
                 ui::Answer* out, bool any_answer = true) {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  for (auto it = s.answers.begin(); it != s.answers.end(); ++it) {
    const std::string& m = it->match;
    if (m.empty() && !any_answer) continue;
    bool matches = m.empty() || strcasecmp(m.c_str(), template_name.c_str()) == 0 ||
                   contains_ignoring_case(title, m) || contains_ignoring_case(text, m);
    if (matches) {
      *out = *it;
      s.answers.erase(it);
      return true;
    }
  }
  return false;
}

std::atomic<ui::JournalListener> g_journal_listener{nullptr};

void record(ui::JournalEntry entry) {
  if (ui::JournalListener listener = g_journal_listener) listener(entry);
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.journal.push_back(std::move(entry));
}

std::string without_ampersands(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

// ---- Dialog templates from the resource script -------------------------------

struct ControlTemplate {
  std::string class_name;
  std::string text;
  int id = 0;
  DWORD style = 0;
};

struct DialogTemplate {
  std::string caption;
  DWORD style = 0;
  std::vector<ControlTemplate> controls;
};

using Symbols = std::map<std::string, long>;

const Symbols& style_symbols() {
  static const Symbols& symbols = *new Symbols{
      {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD}, {"WS_VISIBLE", WS_VISIBLE},
      {"WS_DISABLED", WS_DISABLED}, {"WS_CAPTION", WS_CAPTION}, {"WS_BORDER", WS_BORDER},
      {"WS_SYSMENU", WS_SYSMENU}, {"WS_GROUP", WS_GROUP}, {"WS_TABSTOP", WS_TABSTOP},
      {"WS_VSCROLL", WS_VSCROLL}, {"WS_HSCROLL", WS_HSCROLL}, {"DS_MODALFRAME", DS_MODALFRAME},
      {"DS_SETFONT", DS_SETFONT}, {"DS_CENTER", DS_CENTER}, {"DS_3DLOOK", DS_3DLOOK},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
      {"BS_OWNERDRAW", BS_OWNERDRAW}, {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX}, {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
      {"SS_LEFT", SS_LEFT}, {"SS_CENTER", SS_CENTER}, {"SS_NOTIFY", SS_NOTIFY}, {"ES_LEFT", ES_LEFT},
      {"ES_MULTILINE", ES_MULTILINE}, {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
      {"ES_READONLY", ES_READONLY}, {"ES_PASSWORD", ES_PASSWORD}, {"IDOK", IDOK}, {"IDCANCEL", IDCANCEL},
      {"IDYES", IDYES}, {"IDNO", IDNO}, {"IDC_STATIC", -1}, {"LVS_REPORT", LVS_REPORT}, {"LVS_LIST", LVS_LIST},
      {"LVS_SHOWSELALWAYS", 0x0008}, {"LVS_SINGLESEL", LVS_SINGLESEL}, {"LVS_SHAREIMAGELISTS", LVS_SHAREIMAGELISTS}};
  return symbols;
}

// Splits a resource script line into tokens: quoted strings (kept with their
// quotes), words, numbers and the punctuation ",|".
std::vector<std::string> tokenize(const std::string& line) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') break;
    if (c == '"') {
      std::string token = "\"";
      for (++i; i < line.size(); ++i) {
        if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') { token += '"'; ++i; continue; }
        if (line[i] == '"') { ++i; break; }
        if (line[i] == '\\' && i + 1 < line.size()) {
          char e = line[++i];
          token += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
          continue;
        }
        token += line[i];
      }
      tokens.push_back(token);
      continue;
    }
    if (c == ',' || c == '|') { tokens.emplace_back(1, c); ++i; continue; }
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != ',' && line[i] != '|' && line[i] != '"') ++i;
    tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

long symbol_value(const std::string& token, const Symbols& ids, bool* known) {
  *known = true;
  char* end = nullptr;
  long number = std::strtol(token.c_str(), &end, 0);
  if (!token.empty() && *end == '\0') return number;
  auto it = ids.find(token);
  if (it != ids.end()) return it->second;
  it = style_symbols().find(token);
  if (it != style_symbols().end()) return it->second;
  *known = false;
  return 0;
}

// Splits tokens into comma-separated arguments.
std::vector<std::vector<std::string>> arguments(const std::vector<std::string>& tokens, size_t from) {
  std::vector<std::vector<std::string>> args(1);
  for (size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i] == ",") args.emplace_back();
    else args.back().push_back(tokens[i]);
  }
  return args;
}

// Evaluates "A | B | NOT C" against a base style.
DWORD style_value(const std::vector<std::string>& expr, DWORD base, const Symbols& ids) {
  DWORD value = base;
  bool negate = false;
  for (const std::string& token : expr) {
    if (token == "|") continue;
    if (token == "NOT") { negate = true; continue; }
    bool known;
    DWORD bits = static_cast<DWORD>(symbol_value(token, ids, &known));
    if (!known) std::fprintf(stderr, "qvmr7 win32: resource script: unknown style %s\n", token.c_str());
    value = negate ? (value & ~bits) : (value | bits);
    negate = false;
  }
  return value;
}

std::string unquote(const std::vector<std::string>& arg) {
  return !arg.empty() && !arg[0].empty() && arg[0][0] == '"' ? arg[0].substr(1) : "";
}

Symbols parse_header(const std::string& header) {
  Symbols ids;
  std::istringstream in(header);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string directive, name, value;
    if (words >> directive >> name >> value && directive == "#define") {
      bool known;
      long v = symbol_value(value, ids, &known);
      if (known) ids[name] = v;
    }
  }
  return ids;
}

bool parse_control(const std::vector<std::string>& tokens, const Symbols& ids, ControlTemplate* out) {
  const std::string& kind = tokens[0];
  auto args = arguments(tokens, 1);
  bool known;
  const DWORD child = WS_CHILD | WS_VISIBLE;
  struct Simple { const char* keyword; const char* class_name; DWORD style; bool has_text; };
  static const Simple simple[] = {
      {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
      {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
      {"RTEXT", "Static", 2 | WS_GROUP, true},
      {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
      {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
      {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
      {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON, true},
      {"GROUPBOX", "Button", 7, true},
      {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
      {"COMBOBOX", "ComboBox", WS_TABSTOP, false},
      {"LISTBOX", "ListBox", WS_BORDER | WS_TABSTOP, false},
  };
  for (const Simple& s : simple) {
    if (kind != s.keyword) continue;
    size_t first = s.has_text ? 1 : 0;
    if (args.size() < first + 5) return false;
    out->class_name = s.class_name;
    out->text = s.has_text ? unquote(args[0]) : "";
    out->id = static_cast<int>(symbol_value(args[first].empty() ? "" : args[first][0], ids, &known));
    out->style = child | s.style;
    if (args.size() > first + 5) out->style = style_value(args[first + 5], out->style, ids);
    return known;
  }
  if (kind == "CONTROL" && args.size() >= 8) {
    out->text = unquote(args[0]);
    out->id = static_cast<int>(symbol_value(args[1].empty() ? "" : args[1][0], ids, &known));
    out->class_name = unquote(args[2]);
    out->style = style_value(args[3], child, ids);
    return known;
  }
  return false;
}

struct ModuleResources {
  std::map<std::string, DialogTemplate> dialogs;
  std::set<std::string> icons;
  std::map<std::string, std::string> bitmaps;  // name to the file's path in the script
};

ModuleResources parse_script(const std::string& script, const Symbols& ids) {
  ModuleResources resources;
  auto& dialogs = resources.dialogs;
  std::istringstream in(script);
  std::string line;
  DialogTemplate* current = nullptr;
  int depth = 0;
  while (std::getline(in, line)) {
    auto tokens = tokenize(line);
    if (tokens.empty() || tokens[0][0] == '#') continue;
    if (tokens[0] == "BEGIN" || tokens[0] == "{") { ++depth; continue; }
    if (tokens[0] == "END" || tokens[0] == "}") {
      if (--depth == 0) current = nullptr;
      continue;
    }
    if (depth == 0 && tokens.size() >= 3 && tokens[1] == "ICON") {
      resources.icons.insert(tokens[0]);
      continue;
    }
    if (depth == 0 && tokens.size() >= 3 && tokens[1] == "BITMAP") {
      resources.bitmaps[tokens[0]] = tokens[2].substr(1);  // the token keeps its opening quote
      continue;
    }
    if (depth == 0 && tokens.size() >= 2 && (tokens[1] == "DIALOGEX" || tokens[1] == "DIALOG")) {
      current = &dialogs[tokens[0]];
      continue;
    }
    if (current == nullptr) continue;
    if (depth == 0) {
      if (tokens[0] == "CAPTION" && tokens.size() > 1) current->caption = tokens[1].substr(1);
      if (tokens[0] == "STYLE") current->style = style_value({tokens.begin() + 1, tokens.end()}, 0, ids);
      continue;
    }
    ControlTemplate control;
    if (parse_control(tokens, ids, &control)) current->controls.push_back(control);
    else std::fprintf(stderr, "qvmr7 win32: resource script: cannot read: %s\n", line.c_str());
  }
  return resources;
}

// The parsed resources of a registered module, parsed once per module.
const ModuleResources* module_resources(HINSTANCE instance) {
  static std::mutex lock;
  static auto& cache = *new std::map<HINSTANCE, std::pair<const std::string*, ModuleResources>>;
  const std::string* script = platform::module_resource_script(instance);
  const std::string* header = platform::module_resource_header(instance);
  if (script == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(lock);
  auto& entry = cache[instance];
  if (entry.first != script) entry = {script, parse_script(*script, parse_header(*header))};
  return &entry.second;
}

const DialogTemplate* find_template(HINSTANCE instance, const std::string& name) {
  const ModuleResources* resources = module_resources(instance);
  if (resources == nullptr) return nullptr;
  auto it = resources->dialogs.find(name);
  return it == resources->dialogs.end() ? nullptr : &it->second;
}

// ---- Running a modal dialog ---------------------------------------------------

LRESULT CALLBACK dialog_window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  DLGPROC proc;
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    platform::Window* w = platform::find_window(hwnd);
    if (!w) return 0;
    proc = w->dialog_proc;
  }
  INT_PTR handled = proc ? proc(hwnd, message, wparam, lparam) : FALSE;
  if (!handled) return DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == WM_NOTIFY) return GetWindowLongPtrA(hwnd, DWLP_MSGRESULT);
  return handled;
}

// The texts of the dialog's static and edit controls, one per line.
std::string shown_texts(HWND dialog) {
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  std::string texts;
  platform::Window* d = platform::find_window(dialog);
  for (HWND child : d->children) {
    platform::Window* c = platform::find_window(child);
    if ((c->class_name == "Static" || c->class_name == "Edit") && !c->text.empty()) {
      if (!texts.empty()) texts += '\n';
      // A password edit shows one mark per character.
      texts += c->class_name == "Edit" && (c->style & ES_PASSWORD) ? std::string(c->text.size(), '*') : c->text;
    }
  }
  return texts;
}

// The dialog's edits and check boxes as shown (the journal's fields).
std::vector<std::pair<int, std::string>> shown_fields(HWND dialog) {
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  std::vector<std::pair<int, std::string>> fields;
  for (HWND child : platform::find_window(dialog)->children) {
    platform::Window* c = platform::find_window(child);
    DWORD type = c->style & BS_TYPEMASK;
    if (c->class_name == "Edit")
      fields.emplace_back(c->id, c->style & ES_PASSWORD ? std::string(c->text.size(), '*') : c->text);
    else if (c->class_name == "Button" && (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON))
      fields.emplace_back(c->id, c->check == BST_CHECKED ? "checked" : "unchecked");
  }
  return fields;
}

// The rows of the dialog's list views as shown: the text, and the icon's name in brackets
// when the view draws small icons (an icon view draws from a normal-size list, not kept here).
std::vector<std::string> shown_rows(HWND dialog) {
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  std::vector<std::string> rows;
  for (HWND child : platform::find_window(dialog)->children) {
    platform::Window* c = platform::find_window(child);
    if (c->class_name != "SysListView32") continue;
    for (const platform::ListRow& row : c->rows) {
      std::string shown = row.texts.empty() ? std::string() : row.texts[0];
      bool small_view = (c->style & LVS_TYPEMASK) != LVS_ICON;
      std::string icon = small_view ? platform::image_name(c->small_images, row.image) : std::string();
      rows.push_back(icon.empty() ? shown : shown + " [" + icon + "]");
    }
  }
  return rows;
}

// The dialog items of its check boxes and radio buttons that are set, in the dialog's order.
std::vector<int> checked_items(HWND dialog) {
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  std::vector<int> items;
  for (HWND child : platform::find_window(dialog)->children) {
    platform::Window* c = platform::find_window(child);
    DWORD type = c->style & BS_TYPEMASK;
    if (c->class_name == "Button" && (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON) && c->check == BST_CHECKED)
      items.push_back(c->id);
  }
  return items;
}

// The scripted user clicks a dialog item: a button is clicked; a label tells the dialog only when it
// asks to be told (SS_NOTIFY), as a click on it does; an item the dialog lacks is a command.
void press(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  bool label = false, notifies = false;
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    if (platform::Window* c = control ? platform::find_window(control) : nullptr) {
      label = c->class_name == "Static";
      notifies = (c->style & SS_NOTIFY) != 0;
    }
  }
  if (label) {
    if (notifies) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(control));
  } else if (control) {
    SendMessageA(control, BM_CLICK, 0, 0);
  } else {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
}

// The scripted user types the answer's texts: into an edit no more than its text limit; into
// a list view, selecting the first row whose text begins with what was typed. Then the user
// right-clicks and chooses from the menus the answer names.
void act_on(HWND dialog, const ui::Answer& answer) {
  for (const auto& [item, text] : answer.edits) {
    HWND control = GetDlgItem(dialog, item);
    size_t limit = 0;
    int row = -1;
    bool list = false, edit = false;
    {
      std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
      platform::Window* c = platform::find_window(control);
      edit = c && c->class_name == "Edit";
      if (edit) limit = c->text_limit;
      if (c && c->class_name == "SysListView32") {
        list = true;
        for (size_t i = 0; i < c->rows.size() && row < 0; ++i) {
          const std::string shown = c->rows[i].texts.empty() ? std::string() : c->rows[i].texts[0];
          if (strncasecmp(shown.c_str(), text.c_str(), text.size()) == 0) row = static_cast<int>(i);
        }
      }
    }
    if (list) {
      if (row >= 0) ui::click_row(control, row);
      continue;
    }
    const std::string typed = limit && text.size() > limit ? text.substr(0, limit) : text;
    SetDlgItemTextA(dialog, item, typed.c_str());
    if (edit) SendMessageA(control, EM_SETSEL, typed.size(), static_cast<LPARAM>(typed.size()));  // the caret after it
  }
  for (const ui::MenuChoice& choice : answer.menus) {
    HWND control = GetDlgItem(dialog, choice.item);
    if (choice.caret >= 0) SendMessageA(control, EM_SETSEL, static_cast<WPARAM>(choice.caret), choice.caret);
    ui::right_click(control, choice.entry);
  }
}

// The button the scripted user presses: the answer's, else the default push button, else OK.
int button_to_press(HWND dialog, const ui::Answer* answer) {
  if (answer && answer->button) return answer->button;
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  platform::Window* d = platform::find_window(dialog);
  for (HWND child : d->children) {
    platform::Window* c = platform::find_window(child);
    if (c->class_name != "Button") continue;
    if (answer && !answer->button_text.empty()) {
      if (strcasecmp(without_ampersands(c->text).c_str(), answer->button_text.c_str()) == 0) return c->id;
    } else if ((c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      return c->id;
    }
  }
  if (answer && !answer->button_text.empty())
    std::fprintf(stderr, "qvmr7 win32: scripted user: no button \"%s\"\n", answer->button_text.c_str());
  return IDOK;
}

// Creates the dialog window and its controls from the template, then lets the
// procedure initialise it (WM_INITDIALOG with param).
HWND create_dialog(const std::string& template_name, const DialogTemplate& tmpl, DLGPROC proc, LPARAM param) {
  HWND dialog = CreateWindowExA(0, "#32770", tmpl.caption.c_str(), tmpl.style, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    platform::Window* d = platform::find_window(dialog);
    d->template_name = template_name;
    d->dialog_proc = proc;
    d->proc = dialog_window_proc;
  }
  for (const ControlTemplate& c : tmpl.controls)
    CreateWindowExA(0, c.class_name.c_str(), c.text.c_str(), c.style, 0, 0, 0, 0, dialog,
                    reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id)), nullptr, nullptr);
  SendMessageA(dialog, WM_INITDIALOG, 0, param);
  return dialog;
}

// Paints the dialog once, as the screen does when it is shown: each static
// control with a text asks the dialog for its colours (WM_CTLCOLORSTATIC) and
// draws the text in its font; each owner-drawn button asks the dialog to draw
// it (WM_DRAWITEM). Returns what was drawn, on recording device contexts.
std::vector<QvmrDrawnText> paint_dialog(HWND dialog) {
  struct Control { HWND window; int id; bool text_shown; bool owner_drawn; std::string text; HFONT font; };
  std::vector<Control> controls;
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    for (HWND child : platform::find_window(dialog)->children) {
      platform::Window* c = platform::find_window(child);
      controls.push_back({child, c->id, c->class_name == "Static" && !c->text.empty(),
                          c->class_name == "Button" && (c->style & BS_TYPEMASK) == BS_OWNERDRAW, c->text, c->font});
    }
  }
  std::vector<QvmrDrawnText> drawn;
  for (const Control& c : controls) {
    HDC dc = qvmr_paint_create_dc();
    RECT area = {0, 0, 0, 0};
    if (c.text_shown) {
      if (c.font) SelectObject(dc, c.font);
      SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c.window));
      DrawTextA(dc, c.text.c_str(), -1, &area, 0);
    } else if (c.owner_drawn) {
      DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(c.id), 0, ODA_DRAWENTIRE, 0, c.window, dc, area, 0};
      SendMessageA(dialog, WM_DRAWITEM, static_cast<WPARAM>(c.id), reinterpret_cast<LPARAM>(&item));
    }
    for (int i = 0; i < qvmr_paint_drawn_texts(dc); ++i) {
      QvmrDrawnText text;
      if (qvmr_paint_drawn_text(dc, i, &text)) drawn.push_back(text);
    }
    qvmr_paint_delete_dc(dc);
  }
  return drawn;
}

INT_PTR run_modal(const std::string& template_name, const DialogTemplate& tmpl, HWND owner,
                  DLGPROC proc, LPARAM param) {
  HWND dialog = create_dialog(template_name, tmpl, proc, param);

  auto ended = [&] {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    return platform::find_window(dialog)->ended;
  };
  ui::JournalEntry entry;
  entry.kind = "dialog";
  entry.template_name = template_name;
  entry.owner = owner;
  entry.thread = GetCurrentThreadId();
  entry.drawn = paint_dialog(dialog);
  bool recorded = false;
  // The scripted answers are pressed as long as they last; a dialog that the default button does not
  // end is given up after 20 presses of it.
  for (int unanswered = 0; !ended() && unanswered < 20;) {
    char caption[512];
    GetWindowTextA(dialog, caption, sizeof caption);
    std::string texts = shown_texts(dialog);
    if (!recorded) {
      entry.title = caption;
      entry.text = texts;
      entry.rows = shown_rows(dialog);
      entry.fields = shown_fields(dialog);
      entry.checked = checked_items(dialog);
      recorded = true;
    }
    ui::Answer answer;
    bool scripted = take_answer(template_name, caption, texts, &answer);
    if (scripted) act_on(dialog, answer);
    else ++unanswered;
    press(dialog, button_to_press(dialog, scripted ? &answer : nullptr));
  }
  INT_PTR result = -1;
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    platform::Window* d = platform::find_window(dialog);
    if (d->ended) result = d->end_result;
    else std::fprintf(stderr, "qvmr7 win32: dialog %s never ended\n", template_name.c_str());
  }
  if (!recorded) {
    char caption[512];
    GetWindowTextA(dialog, caption, sizeof caption);
    entry.title = caption;
    entry.text = shown_texts(dialog);
    entry.rows = shown_rows(dialog);
    entry.fields = shown_fields(dialog);
    entry.checked = checked_items(dialog);
  }
  entry.rows_at_end = shown_rows(dialog);
  entry.checked_at_end = checked_items(dialog);
  {
    std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
    entry.icons = platform::find_window(dialog)->icon_names;
  }
  entry.result = result;
  record(entry);
  DestroyWindow(dialog);
  return result;
}

struct BoxButton { int id; const char* caption; };

std::vector<BoxButton> box_buttons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
  }
}

// Modeless dialogs: the windows CreateDialogParamA made, live or not.
std::mutex g_modeless_lock;
std::vector<HWND>& g_modeless = *new std::vector<HWND>;

}  // namespace

namespace platform {

bool take_scripted_answer(const std::string& name, const std::string& title, const std::string& text,
                          ui::Answer* out) {
  return take_answer(name, title, text, out);
}

void record_shown(const ui::JournalEntry& entry) { record(entry); }

// The scripted user acts on a modeless dialog only when an answer names it
// (template, caption or text); unanswered, the dialog stays open as a person
// would leave it, until the program closes it.
bool answer_modeless_dialogs() {
  std::vector<HWND> mine;
  {
    std::lock_guard<std::mutex> guard(g_modeless_lock);
    DWORD thread = GetCurrentThreadId();
    for (HWND dialog : g_modeless) {
      std::lock_guard<std::recursive_mutex> ui_guard(ui_lock());
      Window* d = find_window(dialog);
      if (d && d->thread == thread) mine.push_back(dialog);
    }
  }
  for (HWND dialog : mine) {
    if (!IsWindow(dialog)) continue;
    std::string name;
    {
      std::lock_guard<std::recursive_mutex> guard(ui_lock());
      name = find_window(dialog)->template_name;
    }
    char caption[512];
    GetWindowTextA(dialog, caption, sizeof caption);
    ui::Answer answer;
    if (!take_answer(name, caption, shown_texts(dialog), &answer, false)) continue;
    act_on(dialog, answer);
    press(dialog, button_to_press(dialog, &answer));
    return true;
  }
  return false;
}


std::string module_icon_name(HINSTANCE instance, const char* name) {
  const ModuleResources* resources = module_resources(instance);
  if (resources == nullptr) return "";
  for (const std::string& icon : resources->icons)
    if (strcasecmp(icon.c_str(), name) == 0) return icon;
  return "";
}

const std::string* module_bitmap_file(HINSTANCE instance, const char* name) {
  const ModuleResources* resources = module_resources(instance);
  if (resources == nullptr) return nullptr;
  auto it = resources->bitmaps.find(name);
  return it == resources->bitmaps.end() ? nullptr : resource_file(it->second);
}

}  // namespace platform

namespace ui {

std::vector<JournalEntry> journal() {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.journal;
}

void clear_journal() {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.journal.clear();
}

void set_journal_listener(JournalListener listener) { g_journal_listener = listener; }

void script(Answer answer) {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.answers.push_back(std::move(answer));
}

void clear_script() {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.answers.clear();
}

size_t script_left() {
  ScriptState& s = script_state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.answers.size();
}

}  // namespace ui

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  ui::JournalEntry entry;
  entry.kind = "message box";
  entry.text = text ? text : "";
  entry.title = caption ? caption : "Error";
  entry.flags = type;
  entry.owner = owner;
  entry.thread = GetCurrentThreadId();
  std::vector<BoxButton> buttons = box_buttons(type);
  size_t default_index = (type & MB_DEFMASK) >> 8;
  int result = buttons[default_index < buttons.size() ? default_index : 0].id;
  ui::Answer answer;
  if (take_answer("", entry.title, entry.text, &answer)) {
    bool found = false;
    for (const BoxButton& b : buttons) {
      if ((answer.button && answer.button == b.id) ||
          (!answer.button && strcasecmp(answer.button_text.c_str(), b.caption) == 0)) {
        result = b.id;
        found = true;
      }
    }
    if (!found) std::fprintf(stderr, "qvmr7 win32: scripted answer fits no button of \"%s\"\n", entry.text.c_str());
  }
  entry.result = result;
  record(entry);
  return result;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM param) {
  if (template_name == nullptr || IS_INTRESOURCE(template_name)) {
    platform::unsupported("DialogBoxParamA", "numbered templates");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  const DialogTemplate* tmpl = find_template(instance, template_name);
  if (tmpl == nullptr) {
    std::fprintf(stderr, "qvmr7 win32: DialogBoxParamA: no dialog template %s\n", template_name);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  return run_modal(template_name, *tmpl, owner, proc, param);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA dialog_template, HWND owner,
                                       DLGPROC proc, LPARAM param) {
  if (dialog_template == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  // After the header: a menu word, a class word, then the caption in UTF-16.
  auto* words = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(dialog_template) + sizeof(DLGTEMPLATE));
  if (dialog_template->cdit != 0 || words[0] != 0 || words[1] != 0) {
    platform::unsupported("DialogBoxIndirectParamA", "templates with controls, menus or classes");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
  }
  DialogTemplate tmpl;
  tmpl.style = dialog_template->style;
  for (const WORD* c = words + 2; *c; ++c) tmpl.caption += static_cast<char>(*c < 0x100 ? *c : '?');
  return run_modal("", tmpl, owner, proc, param);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC proc,
                               LPARAM param) {
  if (template_name == nullptr || IS_INTRESOURCE(template_name)) {
    platform::unsupported("CreateDialogParamA", "numbered templates");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const DialogTemplate* tmpl = find_template(instance, template_name);
  if (tmpl == nullptr) {
    std::fprintf(stderr, "qvmr7 win32: CreateDialogParamA: no dialog template %s\n", template_name);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HWND dialog = create_dialog(template_name, *tmpl, proc, param);
  if (!IsWindow(dialog)) return nullptr;
  ui::JournalEntry entry;
  entry.kind = "modeless dialog";
  entry.template_name = template_name;
  char caption[512];
  GetWindowTextA(dialog, caption, sizeof caption);
  entry.title = caption;
  entry.text = shown_texts(dialog);
  entry.rows = shown_rows(dialog);
  entry.owner = owner;
  entry.window = dialog;
  entry.thread = GetCurrentThreadId();
  record(entry);
  {
    std::lock_guard<std::mutex> guard(g_modeless_lock);
    g_modeless.erase(std::remove_if(g_modeless.begin(), g_modeless.end(), [](HWND h) { return !IsWindow(h); }),
                     g_modeless.end());
    g_modeless.push_back(dialog);
  }
  return dialog;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  std::lock_guard<std::recursive_mutex> guard(platform::ui_lock());
  platform::Window* d = platform::find_window(dialog);
  if (!d || d->class_name != "#32770") {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  d->ended = true;
  d->end_result = result;
  return TRUE;
}

}  // extern "C"
