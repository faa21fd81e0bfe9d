#include "console/substitute_host.h"

#if !defined(_WIN32)
#include <dlfcn.h>

#include <filesystem>
#endif

#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "console/list_view.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/text.h"

namespace host {
namespace {

// The host's state is never destroyed: a program may return from main while
// a library thread still calls the host, and the library's detach runs last.
std::mutex g_lock;
auto& g_calls = *new std::vector<std::string>;
auto& g_screens = *new std::map<uint16_t, HWND>;
auto& g_descriptors = *new std::deque<std::array<uintptr_t, kDescriptorWords>>;
auto& g_item_records = *new std::deque<std::array<uint8_t, kListItemBytes>>;  // item data of inserted rows
auto& g_unreturned_copies = *new std::set<void*>;  // those of them not yet given back to the library
auto& g_attached_records = *new std::set<void*>;    // records the host gave rows the library listed without one
auto& g_value_rows = *new std::map<HWND, std::vector<ValueRow>>;  // rows added through host_add_value_row
HANDLE g_log_file = nullptr;
bool g_keep_modules = false;  // unload_library leaves the module mapped: the process ends right after
void* g_kept_module = nullptr;  // the module last unloaded so, closed for real when another is loaded
bool g_store_frozen = false;  // the library ended an unattended run and frees no record any more
// The loaded library's text entry point, which the screens ask for report cells.
decltype(Library::entry_point_text_services) g_text_entry = nullptr;
// The button entry point of the library loaded last: a click on one of its buttons reaches it.
DWORD(WINAPI* g_button_services)(HWND, DWORD, uintptr_t*) = nullptr;
// The owner-draw export of the library loaded last: a screen's drawn buttons are painted by it.
using DrawItemExport = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
DrawItemExport g_draw_item = nullptr;
HWND g_main_window = nullptr;
char g_program_path[MAX_PATH];  // the console program, as the simulated network has it

void log_call(const std::string& line) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_calls.push_back(line);
}

HGLOBAL WINAPI host_allocate(UINT flags, SIZE_T bytes) {
  log_call("memory allocate " + std::to_string(bytes));
  return GlobalAlloc(flags, bytes);
}

HGLOBAL WINAPI host_free(HGLOBAL block) {
  log_call("memory free");
  return GlobalFree(block);
}

uintptr_t WINAPI host_insert_item(HWND window, HTREEITEM parent, HTREEITEM position, const char* text,
                                  int image, int, uintptr_t, uintptr_t*, void* record, uintptr_t) {
  log_call(std::string("host_insert_item text=") + (text ? text : "") + " image=" + std::to_string(image));
  // The host keeps its own copy of the row's record as the item data.
  uint8_t* copy;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    copy = g_item_records.emplace_back().data();
    g_unreturned_copies.insert(copy);
  }
  if (record) std::memcpy(copy, record, kListItemBytes);
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::strcmp(class_name, WC_LISTVIEWA) == 0) {
    // Report rows: the copy keeps the row context and with it the row item.
    char params[96];
    std::snprintf(params, sizeof params, "host_insert_report_row parent=%#llx position=%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(parent)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(position)));
    log_call(params);
    // A list view takes the row at its end; the row number stands for the item.
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    row.iItem = static_cast<int>(SendMessageA(window, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = const_cast<char*>(text ? text : "");
    row.iImage = image;
    row.lParam = reinterpret_cast<LPARAM>(copy);
    auto inserted = SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    // The row's other cells are asked of the screen when they are read.
    LVCOLUMNA column = {};
    for (int c = 1; SendMessageA(window, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column)); ++c) {
      LVITEMA cell = {};
      cell.iSubItem = c;
      cell.pszText = LPSTR_TEXTCALLBACKA;
      SendMessageA(window, LVM_SETITEMTEXTA, static_cast<WPARAM>(inserted), reinterpret_cast<LPARAM>(&cell));
    }
    return static_cast<uintptr_t>(inserted);
  }
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = position;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.iImage = insert.item.iSelectedImage = image;
  insert.item.lParam = reinterpret_cast<LPARAM>(copy);
  return static_cast<uintptr_t>(SendMessageA(window, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

constexpr size_t kReportCellBytes = 2048;  // the text entry point writes at most this much of a cell

// The host's report lists (by dialog item number) and the text identifier each of their columns shows; the
// first column is the row's own text. The directory and GPO lists share their columns.
constexpr uint32_t kFileSystemListColumns[] = {
    0,          0x60420801, 0x60420803, 0x60420804, 0x60420805, 0x60420807, 0x60420808, 0x60420809,
    0x60420F14, 0x60420F0A, 0x60420F0B, 0x60420F0C, 0x60420F0D, 0x60420F16, 0x60420F12, 0x60420F10,
    0x60420F15, 0x60420F0F, 0x60420F0E, 0x6042080C, 0x6042080D, 0x60420802};
constexpr uint32_t kLogonListColumns[] = {
    0,          0x60420803, 0x60420E03, 0x60420E05, 0x60420E06, 0x60420801, 0x60420804,
    0x60420805, 0x60420811, 0x60420E01, 0x60420807, 0x60420809, 0x60420808, 0x60420E03,
    0x60420E02, 0x60420E08, 0x6042080C, 0x6042080D, 0x60420802};
constexpr uint32_t kDirectoryListColumns[] = {0,          0x60420801, 0x60420803, 0x60420808, 0x60420807,
                                              0x60420805, 0x60420804, 0x60420D01, 0x60420D02, 0x60420D03,
                                              0x60420D05, 0x60420D04, 0x60420D08, 0x60420802};
struct ReportList {
  int item;
  const uint32_t* columns;
  size_t count;
};
constexpr ReportList kReportLists[] = {
    {1901, kFileSystemListColumns, std::size(kFileSystemListColumns)},
    {1902, kLogonListColumns, std::size(kLogonListColumns)},
    {1906, kDirectoryListColumns, std::size(kDirectoryListColumns)},
    {1907, kDirectoryListColumns, std::size(kDirectoryListColumns)},
};

const ReportList* report_list_of(int item) {
  for (const ReportList& list : kReportLists)
    if (list.item == item) return &list;
  return nullptr;
}

// A report row's cell: the library's text for the column's identifier; rows without a record item (stops,
// errors) get none from it and show nothing there.
void answer_report_cell(HWND screen, NMLVDISPINFOA* info) {
  const ReportList* list = report_list_of(GetDlgCtrlID(info->hdr.hwndFrom));
  auto* record = reinterpret_cast<BYTE*>(info->item.lParam);
  if (!list || !g_text_entry || !record || info->item.iSubItem <= 0 ||
      static_cast<size_t>(info->item.iSubItem) >= list->count)
    return;
  char text[kReportCellBytes] = {};
  LONG value = 0;
  if (g_text_entry(screen, nullptr, reinterpret_cast<uintptr_t>(record), 0, 0, 1, text, &value, 0, 0, 0,
                   list->columns[info->item.iSubItem], kModuleNumber) != 0)
    text[0] = '\0';
  if (info->item.pszText && info->item.cchTextMax > 0) {
    std::strncpy(info->item.pszText, text, static_cast<size_t>(info->item.cchTextMax) - 1);
    info->item.pszText[info->item.cchTextMax - 1] = '\0';
  }
}

DWORD WINAPI host_get_list_row(HWND list, int row, uintptr_t* param, uintptr_t* image, uintptr_t* state,
                               char* text, DWORD, DWORD, int) {
  log_call("host_get_list_row row=" + std::to_string(row));
  char buffer[512] = {};
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
  item.iItem = row;
  item.stateMask = 0xFF;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  if (param) *param = static_cast<uintptr_t>(item.lParam);
  if (image) *image = static_cast<uintptr_t>(item.iImage);
  if (state) *state = item.state;
  if (text) std::strcpy(text, buffer);
  return 1;
}

// The selected item of a tree view, or the selected row of a list view: its record and text.
void WINAPI host_list_lookup(HWND window, uintptr_t, DWORD, uintptr_t* record, char* text) {
  log_call("host_list_lookup");
  char buffer[kHostRowTextBytes] = {};
  uintptr_t found = 0;
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::strcmp(class_name, WC_TREEVIEWA) == 0) {
    TVITEMA item = {};
    item.mask = TVIF_TEXT | TVIF_PARAM;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(window, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    if (item.hItem && SendMessageA(window, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
      found = static_cast<uintptr_t>(item.lParam);
  } else {
    int row = static_cast<int>(SendMessageA(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0 || !host_get_list_row(window, row, &found, nullptr, nullptr, buffer, 0, 0, -1)) buffer[0] = '\0';
  }
  if (record) *record = found;
  if (text) std::memcpy(text, buffer, sizeof buffer);
}

// Finds a control of this library on a screen by its identifier.
HWND find_field(HWND screen, DWORD module, DWORD control_id) {
  HWND first = GetNextDlgTabItem(screen, nullptr, FALSE);
  for (HWND control = first; control != nullptr;) {
    const uintptr_t* d = descriptor_of(control);
    int word = d ? descriptor_module_word(descriptor_kind(d)) : -1;
    if (word >= 0 && d[word] == module && descriptor_identifier(d) == control_id) return control;
    control = GetNextDlgTabItem(screen, control, FALSE);
    if (control == first) break;
  }
  return nullptr;
}

DWORD WINAPI host_get_field(HWND screen, DWORD module, DWORD control_id, char* buffer, DWORD size,
                            uintptr_t, uintptr_t, uintptr_t, DWORD* dialog_item, uintptr_t) {
  log_call("host_get_field id=" + std::to_string(control_id));
  if (buffer && size) buffer[0] = '\0';
  HWND field = find_field(screen, module, control_id);
  if (!field) return 0;
  if (buffer && size) GetWindowTextA(field, buffer, static_cast<int>(size));
  if (dialog_item) *dialog_item = static_cast<DWORD>(GetDlgCtrlID(field));
  return 1;
}

DWORD WINAPI host_get_field_value(HWND screen, DWORD module, DWORD control_id, DWORD* value) {
  log_call("host_get_field_value id=" + std::to_string(control_id));
  HWND field = find_field(screen, module, control_id);
  if (value) *value = field ? static_cast<DWORD>(SendMessageA(field, BM_GETCHECK, 0, 0)) : 0;
  return field != nullptr;
}

void WINAPI host_item_record_changed(HWND, uintptr_t item, void*) {
  log_call("host_item_record_changed item=" + std::to_string(item));
}

// Finds a child of parent (TVI_ROOT: a root item) of a tree view by its text, ignoring case.
DWORD WINAPI host_find_item(HWND tree, HTREEITEM parent, const char* text, uintptr_t, DWORD, HTREEITEM* found) {
  log_call(std::string("host_find_item text=") + (text ? text : ""));
  if (found) *found = nullptr;
  bool root = parent == nullptr || parent == TVI_ROOT;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, root ? TVGN_ROOT : TVGN_CHILD,
                                                       reinterpret_cast<LPARAM>(root ? nullptr : parent)));
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    char label[260] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = label;
    tv.cchTextMax = sizeof label;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    if (text && equal_ignoring_case(label, text)) {
      if (found) *found = item;
      return 1;
    }
  }
  return 0;
}

DWORD WINAPI host_refresh_control(HWND, DWORD item, DWORD) {
  log_call("host_refresh_control item=" + std::to_string(item));
  return 1;
}

INT_PTR CALLBACK host_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    char title[128] = {};
    GetWindowTextA(page, title, sizeof title);
    log_call(std::string("page opened ") + title);
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    EndDialog(page, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

// The host's pages: 13-word entries, the identifier first and a dialog template third.
struct PageTable {
  std::deque<std::vector<WORD>> templates;
  std::vector<uintptr_t> entries;
  DWORD count = 0;
  uintptr_t block[9] = {};
};
PageTable& g_pages = *new PageTable;

DWORD WINAPI host_request(DWORD magic, DWORD, uintptr_t** out, DWORD, DWORD code, DWORD flag) {
  log_call("host_request code=" + std::to_string(code) + " flag=" + std::to_string(flag));
  static uintptr_t memory_pair[3] = {kMemoryPairMarker, reinterpret_cast<uintptr_t>(&host_allocate),
                                     reinterpret_cast<uintptr_t>(&host_free)};
  if (magic != kHostRequestMagic) return 0;
  if (code == kHostRequestTables && flag == kHostTablesMemoryPair && out) {
    *out = memory_pair;
    return 1;
  }
  if (code == kHostRequestTables && flag == kHostTablesPageTable && out) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_pages.block[0] = 1;
    g_pages.block[1] = reinterpret_cast<uintptr_t>(g_pages.entries.data());
    g_pages.block[2] = reinterpret_cast<uintptr_t>(&host_page_proc);
    g_pages.count = static_cast<DWORD>(g_pages.entries.size() / 13);
    g_pages.block[8] = reinterpret_cast<uintptr_t>(&g_pages.count);
    *out = g_pages.block;
    return 1;
  }
  if (code != kHostRequestEndOfUnattendedRun) return 0;
  // The library froze its list store: the host discards its lists without giving their records back.
  g_store_frozen = true;
  return 1;
}

void WINAPI host_pump_messages() {}

void WINAPI host_window_command(HWND, uintptr_t value) {
  log_call("host_window_command value=" + std::to_string(value));
}

HWND WINAPI host_screen_window(DWORD key) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_screens.find(static_cast<uint16_t>(key & 0xFFFF));
  return it == g_screens.end() ? nullptr : it->second;
}

// Rewrites a decimal number with thousands separators, in place.
void WINAPI host_format_number(char* buffer) {
  if (!buffer) return;
  std::string digits = buffer, sign;
  if (!digits.empty() && digits[0] == '-') { sign = "-"; digits.erase(0, 1); }
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return;
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  std::strcpy(buffer, (sign + out).c_str());
}

DWORD WINAPI host_show_status_line(HWND, DWORD, DWORD line, const char* text, COLORREF colour,
                                   COLORREF) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(colour));
  log_call("host_show_status_line line=" + std::to_string(line) + " colour=" + hex +
           " text=" + (text ? text : ""));
  return 1;
}

// Adds the text as the last row of a list view (or last root item of a tree
// view) and keeps the value beside it; the row carries no record.
void WINAPI host_add_value_row(HWND window, DWORD key, const char* text, uintptr_t value, DWORD) {
  log_call("host_add_value_row key=" + std::to_string(key) + " text=" + (text ? text : "") +
           " value=" + std::to_string(value));
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::strcmp(class_name, WC_TREEVIEWA) == 0) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text ? text : "");
    SendMessageA(window, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
  } else {
    support::append_row(window, text ? text : "");
  }
  std::lock_guard<std::mutex> guard(g_lock);
  g_value_rows[window].push_back({text ? text : "", value});
}

// A cell of comma-delimited text after the line's earlier ones: quoted when it holds a comma, a quote or a
// line break, its quotes doubled.
void append_csv_cell(std::string* line, size_t column, const char* text) {
  if (column > 0) *line += ',';
  bool quoted = std::strpbrk(text, ",\"\r\n") != nullptr;
  if (quoted) *line += '"';
  for (const char* c = text; *c; ++c) {
    if (*c == '"') *line += '"';
    *line += *c;
  }
  if (quoted) *line += '"';
}

// Writes a list into an open file as comma-delimited text: a line of the
// column titles, then one line per row with the cells in column order.
void WINAPI host_load_file_into(HANDLE file, HWND list) {
  log_call("host_load_file_into");
  const std::vector<std::string> titles = support::column_titles(list);
  std::string line;
  DWORD error = 0;
  auto end_line = [&] {
    line += "\r\n";
    DWORD written = 0;
    if (error == 0 && !WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
      error = GetLastError();
    line.clear();
  };
  for (size_t c = 0; c < titles.size(); ++c) append_csv_cell(&line, c, titles[c].c_str());
  end_line();
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<char> cell(4096);
  for (int row = 0; row < rows; ++row) {
    for (size_t c = 0; c < titles.size(); ++c) {
      LVITEMA item = {};
      item.iSubItem = static_cast<int>(c);
      item.pszText = cell.data();
      item.cchTextMax = static_cast<int>(cell.size());
      cell[0] = '\0';
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      append_csv_cell(&line, c, cell.data());
    }
    end_line();
  }
  if (error) log_call("host_load_file_into error=" + std::to_string(error));
}

// A screen's procedure: the library's push buttons send their clicks to the button entry point,
// with the button's descriptor, as the host console's screens do.
// A screen asks the library for the cells of report rows, passes clicks on its buttons on, and
// has the owner-draw export paint its drawn buttons.
LRESULT CALLBACK host_screen_proc(HWND screen, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lparam)->code == LVN_GETDISPINFOA) {
    answer_report_cell(screen, reinterpret_cast<NMLVDISPINFOA*>(lparam));
    return 0;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && lparam != 0 && g_button_services != nullptr) {
    uintptr_t* d = descriptor_of(reinterpret_cast<HWND>(lparam));
    if (d != nullptr && descriptor_kind(d) == kDescriptorPushButton) {
      log_call("button click id=" + std::to_string(descriptor_identifier(d)));
      g_button_services(screen, 0, d);
      return 0;
    }
  }
  if (message == WM_DRAWITEM && lparam != 0 && g_draw_item != nullptr) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    uintptr_t* d = descriptor_of(item->hwndItem);
    if (d != nullptr)
      return g_draw_item(reinterpret_cast<uintptr_t>(item->hwndItem), 0, static_cast<uintptr_t>(lparam), 0,
                         descriptor_identifier(d)) == 1;
  }
  return DefWindowProcA(screen, message, wparam, lparam);
}

}  // namespace

std::vector<ValueRow> value_rows(HWND window) {
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_value_rows.find(window);
  return it == g_value_rows.end() ? std::vector<ValueRow>() : it->second;
}

const std::vector<std::string>& export_names() {
  static const auto& names = *new std::vector<std::string>{
      "introduction_in", "establish_tables", "entry_point_button_services",
      "entry_point_list_services", "entry_point_text_services", "entry_point_edit_services",
      "change_edit_text_to_dropdown", "change_edit_text_to_datetime", "apply_rules_for_edit_text",
      "check_if_text_to_be_displayed", "QVA_process_changes_for_edit_text",
      "QVA_process_changes_for_checkbox", "alloc_memory_for_list", "memcpy_list_item",
      "return_memcmp_item_data_ptr", "delete_list_item", "set_kill_dup_sort_flag",
      "reindex_lv_kill_no_dups", "abort_searches", "entry_point_insert_list_images",
      "QVA_is_valid_to_add", "treeview_right_click_popupmenu", "treeview_right_click_action",
      "drag_drop_action", "entry_point_wm_draw_item"};
  return names;
}

void* export_address(const Library& library, const std::string& name) {
  for (const auto& [export_name, address] : library.exports)
    if (export_name == name) return address;
  return nullptr;
}

namespace {

// Loading by the host's own system: dlopen of libqvmr7.so here, LoadLibraryA of QVMR0007.DLL on Windows.
#if defined(_WIN32)
void* open_module(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr)
    *error = "cannot load the library " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(module);
}
void* module_symbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
void close_module(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
std::string program_path() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}
constexpr char kLibraryFile[] = "QVMR0007.DLL";
#else
void* open_module(const std::string& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) *error = std::string("cannot load the library: ") + dlerror();
  return module;
}
void* module_symbol(void* module, const char* name) { return dlsym(module, name); }
void close_module(void* module) { dlclose(module); }
std::string program_path() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}
constexpr char kLibraryFile[] = "libqvmr7.so";
#endif

// The window classes of the host's main window and screens: Windows needs them registered, the Linux layer
// takes any class name.
void register_window_classes() {
#if defined(_WIN32)
  static bool registered = false;
  if (registered) return;
  for (const char* name : {"VornixConsole", "VornixScreen"}) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = name;
    RegisterClassA(&window_class);
  }
  registered = true;
#endif
}

}  // namespace

bool load_library(const std::string& path, Library* library, std::string* error) {
  *library = Library{};
  // A library loaded again starts afresh, as the host's next load of it would.
  if (void* kept = std::exchange(g_kept_module, nullptr)) close_module(kept);
  void* handle = open_module(path, error);
  if (!handle) return false;
  library->handle = handle;
  for (const std::string& name : export_names()) {
    void* symbol = module_symbol(handle, name.c_str());
    if (!symbol) {
      *error = "the library has no export " + name;
      unload_library(library);
      return false;
    }
    library->exports.emplace_back(name, symbol);
  }
  auto get = [&](const char* name) { return export_address(*library, name); };
  library->introduction_in = reinterpret_cast<decltype(library->introduction_in)>(get("introduction_in"));
  library->establish_tables = reinterpret_cast<decltype(library->establish_tables)>(get("establish_tables"));
  library->entry_point_button_services = reinterpret_cast<decltype(library->entry_point_button_services)>(get("entry_point_button_services"));
  library->entry_point_list_services = reinterpret_cast<decltype(library->entry_point_list_services)>(get("entry_point_list_services"));
  library->entry_point_text_services = reinterpret_cast<decltype(library->entry_point_text_services)>(get("entry_point_text_services"));
  g_button_services = library->entry_point_button_services;
  use_entry_points(*library);
  return true;
}

void use_entry_points(const Library& library) {
  g_text_entry = library.entry_point_text_services;
  g_draw_item = reinterpret_cast<DrawItemExport>(export_address(library, "entry_point_wm_draw_item"));
}

HIMAGELIST insert_list_images(const Library& library) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 126, 8);
  auto insert = reinterpret_cast<DWORD(WINAPI*)(HIMAGELIST)>(export_address(library, "entry_point_insert_list_images"));
  insert(images);
  return images;
}

bool give_back_record(const Library& library, void* record) {
  auto allocate = reinterpret_cast<DWORD_PTR(WINAPI*)()>(export_address(library, "alloc_memory_for_list"));
  auto release = reinterpret_cast<DWORD(WINAPI*)(uintptr_t, uintptr_t, void*)>(export_address(library, "delete_list_item"));
  if (record == nullptr || allocate == nullptr || release == nullptr) return false;
  bool given_by_host, copied;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    given_by_host = g_attached_records.erase(record) != 0;
    copied = !given_by_host && g_unreturned_copies.erase(record) != 0;
  }
  if (given_by_host) {
    release(0, 0, record);
    return true;
  }
  // A row the library inserted itself carries its own value (a kind's number), no record; a copy goes back once.
  if (!copied) return false;
  // The row's data is a copy the host keeps: it goes back in a record of the library's allocation, which the
  // library frees with what the record owns.
  auto* given = reinterpret_cast<void*>(allocate());
  if (given == nullptr) return false;
  std::memcpy(given, record, kListItemBytes);
  release(0, 0, given);
  return true;
}

bool list_store_frozen() { return g_store_frozen; }

void* attach_row_record(const Library& library, HWND list, int row, uint32_t control_id) {
  auto allocate = reinterpret_cast<DWORD_PTR(WINAPI*)()>(export_address(library, "alloc_memory_for_list"));
  auto* record = allocate ? reinterpret_cast<BYTE*>(allocate()) : nullptr;
  if (record == nullptr) return nullptr;
  if (control_id != 0) {
    set_item_word(record, kItemWordModule, kModuleNumber);
    set_item_word(record, kItemWordControlId, control_id);
  }
  LVITEMA item = {};
  item.iItem = row;
  item.mask = LVIF_PARAM;
  item.lParam = reinterpret_cast<LPARAM>(record);
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  std::lock_guard<std::mutex> guard(g_lock);
  g_attached_records.insert(record);
  return record;
}

namespace {

// The rows of a tree, depth first.
void give_back_tree_rows(const Library& library, HWND tree, HTREEITEM item) {
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                reinterpret_cast<LPARAM>(item)))) {
    give_back_tree_rows(library, tree, reinterpret_cast<HTREEITEM>(SendMessageA(
                                           tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))));
    TVITEMA row = {};
    row.mask = TVIF_PARAM;
    row.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)) ||
        !give_back_record(library, reinterpret_cast<void*>(row.lParam)))
      continue;
    row.lParam = 0;
    SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&row));
  }
}

void give_back_list_rows(const Library& library, HWND list) {
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < rows; ++r) {
    LVITEMA row = {};
    row.mask = LVIF_PARAM;
    row.iItem = r;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)) ||
        !give_back_record(library, reinterpret_cast<void*>(row.lParam)))
      continue;
    row.lParam = 0;
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&row));
  }
}

void give_back_screen_rows(const Library& library, HWND screen) {
  for (HWND c = FindWindowExA(screen, nullptr, WC_LISTVIEWA, nullptr); c; c = FindWindowExA(screen, c, WC_LISTVIEWA, nullptr))
    give_back_list_rows(library, c);
  for (HWND c = FindWindowExA(screen, nullptr, WC_TREEVIEWA, nullptr); c; c = FindWindowExA(screen, c, WC_TREEVIEWA, nullptr))
    give_back_tree_rows(library, c, reinterpret_cast<HTREEITEM>(SendMessageA(c, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
}

}  // namespace

void unload_library(Library* library) {
  // The host's windows close before the library goes: every row still listed gives back the record the host
  // made for it.
  std::vector<HWND> screens;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    for (const auto& [key, screen] : g_screens) screens.push_back(screen);
  }
  if (!library->exports.empty() && !g_store_frozen) {
    for (HWND screen : screens) give_back_screen_rows(*library, screen);
    // Records of rows the library has since removed from its lists.
    std::vector<void*> left;
    {
      std::lock_guard<std::mutex> guard(g_lock);
      left.assign(g_attached_records.begin(), g_attached_records.end());
    }
    for (void* record : left) give_back_record(*library, record);
  }
  if (library->entry_point_text_services == g_text_entry) g_text_entry = nullptr;
  if (g_button_services == library->entry_point_button_services) g_button_services = nullptr;
  if (g_draw_item == reinterpret_cast<DrawItemExport>(export_address(*library, "entry_point_wm_draw_item")))
    g_draw_item = nullptr;
  if (library->handle && g_keep_modules) g_kept_module = library->handle;
  else if (library->handle) close_module(library->handle);
  *library = Library{};
}

void keep_modules_until_exit() { g_keep_modules = true; }

std::string library_beside_program() {
  std::string program = program_path();
  size_t slash = program.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + kLibraryFile;
}

ServiceTable make_service_table() {
  register_window_classes();
  ServiceTable t{};
  auto slot = [&](HostEntry entry, auto fn) { t[entry] = reinterpret_cast<uintptr_t>(fn); };
  slot(kHostInsertItem, &host_insert_item);
  slot(kHostGetListRow, &host_get_list_row);
  slot(kHostGetField, &host_get_field);
  slot(kHostGetFieldValue, &host_get_field_value);
  slot(kHostItemRecordChanged, &host_item_record_changed);
  slot(kHostRefreshControl, &host_refresh_control);
  slot(kHostRequest, &host_request);
  slot(kHostPumpMessages, &host_pump_messages);
  slot(kHostWindowCommand, &host_window_command);
  slot(kHostScreenWindow, &host_screen_window);
  slot(kHostListLookup, &host_list_lookup);
  slot(kHostFindItem, &host_find_item);
  slot(kHostFormatNumber, &host_format_number);
  slot(kHostShowStatusLine, &host_show_status_line);
  slot(kHostAddValueRow, &host_add_value_row);
  slot(kHostLoadFileInto, &host_load_file_into);
  t[kHostUnattendedLogFile] = reinterpret_cast<uintptr_t>(&g_log_file);
  if (!IsWindow(g_main_window))
    g_main_window = CreateWindowExA(0, "VornixConsole", "VORNIX for Windows", WS_OVERLAPPED, 0, 0, 800,
                                    600, nullptr, nullptr, nullptr, nullptr);
  t[kHostMainWindow] = reinterpret_cast<uintptr_t>(g_main_window);
  GetModuleFileNameA(nullptr, g_program_path, sizeof g_program_path);
  t[kHostProgramPath] = reinterpret_cast<uintptr_t>(g_program_path);
  return t;
}

HANDLE& unattended_log_file() { return g_log_file; }

std::vector<std::string> service_calls() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_calls;
}

void clear_service_calls() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_calls.clear();
}

HWND create_screen(uint16_t key, const char* title) {
  register_window_classes();
  HWND screen = CreateWindowExA(0, "VornixScreen", title, WS_OVERLAPPED, 0, 0, 800, 600,
                                nullptr, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(screen, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(host_screen_proc));
  std::lock_guard<std::mutex> guard(g_lock);
  g_screens[key] = screen;
  return screen;
}

HWND add_control(HWND screen, int dialog_item, const char* class_name, const char* text,
                 const ControlSpec& layout) {
  HWND control = CreateWindowExA(0, class_name, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 100,
                                 20, screen, reinterpret_cast<HMENU>(static_cast<intptr_t>(dialog_item)),
                                 nullptr, nullptr);
  std::lock_guard<std::mutex> guard(g_lock);
  auto& d = g_descriptors.emplace_back();
  d.fill(0);
  d[kDescWordIdentifier] = layout.control_id;
  d[kDescWordKind] = layout.kind;
  int module_word = descriptor_module_word(layout.kind);
  if (module_word >= 0) d[module_word] = layout.module;
  // 16-bit words: the control's own dialog item, then the companion's key and item.
  auto set_half = [&](int k, uint16_t value) {
    uintptr_t shift = 16 * (k % 2);
    d[k / 2] = (d[k / 2] & ~(uintptr_t{0xFFFF} << shift)) | (uintptr_t{value} << shift);
  };
  set_half(kDescHalfDialogItem, static_cast<uint16_t>(dialog_item));
  bool list_view = layout.kind == kDescriptorListView;
  set_half(list_view ? kDescHalfListCompanionKey : kDescHalfCompanionKey, layout.companion_key);
  set_half(list_view ? kDescHalfListCompanionItem : kDescHalfCompanionItem, layout.companion_item);
  if (layout.page) set_half(kDescHalfPageIdentifier, layout.page);
  SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(d.data()));
  return control;
}

ProgressBars add_progress_bars(HWND screen, int dialog_item, uint32_t control_id,
                               const std::vector<const char*>& names) {
  ProgressBars bars;
  bars.control = add_control(screen, dialog_item, "Static", "", ControlSpec{control_id, kDescriptorKind3});
  int top = 0;
  for (const char* name : names) {
    bars.bars.push_back(CreateWindowExA(0, PROGRESS_CLASSA, name, WS_CHILD, 0, top, 100, 8, bars.control, nullptr,
                                        nullptr, nullptr));
    top += 10;
  }
  return bars;
}

void add_page(uint32_t page_identifier, const char* title) {
  std::lock_guard<std::mutex> guard(g_lock);
  // DLGTEMPLATE without controls: the header, no menu, no class, the caption.
  std::vector<WORD> words((sizeof(DLGTEMPLATE) + 1) / 2, 0);
  auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
  header->style = WS_POPUP | WS_CAPTION;
  words.push_back(0);
  words.push_back(0);
  for (const char* c = title; *c; ++c) words.push_back(static_cast<unsigned char>(*c));
  words.push_back(0);
  g_pages.templates.push_back(std::move(words));
  std::vector<uintptr_t> entry(13, 0);
  entry[0] = page_identifier;
  entry[2] = reinterpret_cast<uintptr_t>(g_pages.templates.back().data());
  g_pages.entries.insert(g_pages.entries.end(), entry.begin(), entry.end());
}

uintptr_t* descriptor_of(HWND control) {
  return reinterpret_cast<uintptr_t*>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

void clear_screens() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_screens.clear();
  g_descriptors.clear();
  g_item_records.clear();
  g_unreturned_copies.clear();
  g_value_rows.clear();
  g_pages.templates.clear();
  g_pages.entries.clear();
  g_main_window = nullptr;
}

DWORD send_list_event(const Library& library, HWND control, DWORD control_id, uintptr_t parent_item) {
  uintptr_t* d = descriptor_of(control);
  DWORD id = control_id ? control_id : d ? descriptor_identifier(d) : 0;
  return library.entry_point_list_services(control, 0, 0, id, 0, 0, d, 0, 0, parent_item, 0, 0, 0, 0);
}

DWORD request_menu(const Library& library, HWND list, DWORD control_id, const void* record, DWORD kind,
                   MenuEntries* entries) {
  using PopupFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                 uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                 uintptr_t);
  auto popup = reinterpret_cast<PopupFn>(export_address(library, "treeview_right_click_popupmenu"));
  for (auto& entry : *entries) entry.fill('\0');
  if (popup == nullptr) return 4061;  // what a library without menus answers
  auto buffer = [&](int position) { return reinterpret_cast<uintptr_t>((*entries)[position].data()); };
  return popup(kModuleNumber, control_id, reinterpret_cast<uintptr_t>(record), buffer(0), buffer(1), buffer(2),
               buffer(3), buffer(4), buffer(5), buffer(6), buffer(7), buffer(8), 0, reinterpret_cast<uintptr_t>(list),
               kind);
}

DWORD choose_menu_entry(const Library& library, DWORD control_id, void* record, int position, HWND owner) {
  using ActionFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
  auto action = reinterpret_cast<ActionFn>(export_address(library, "treeview_right_click_action"));
  if (action == nullptr) return 4061;
  return action(kModuleNumber, control_id, reinterpret_cast<uintptr_t>(record), static_cast<uintptr_t>(position), 0,
                0, reinterpret_cast<uintptr_t>(owner));
}

}  // namespace host
