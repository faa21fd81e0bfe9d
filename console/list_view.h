// Reading a list view's or tree view's rows, cell by cell, and setting them up:
// plain Win32, shared by the console, the Linux tests and the Windows test host.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/list_item.h"
#include "host/win32.h"

namespace support {

struct ListRow {
  std::string text;
  int image;
  BYTE* record;  // the host's copy of the row context
};

// One row as the list keeps it: its text (the cell's in that column when column > 0), image and
// parameter; a row the list does not have reads as empty text, image 0 and no record.
inline ListRow read_row(HWND list, int row, int column = 0) {
  char text[4096] = {};
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return {text, item.iImage, reinterpret_cast<BYTE*>(item.lParam)};
}

inline std::vector<ListRow> list_rows(HWND list) {
  std::vector<ListRow> out;
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) out.push_back(read_row(list, i));
  return out;
}

struct TreeRow {
  std::string text;
  int image;
  BYTE* record;  // the item's parameter
  HTREEITEM item;
};

// The children of a tree item (null: the root items), in order.
inline std::vector<TreeRow> tree_rows(HWND tree, HTREEITEM parent = nullptr) {
  std::vector<TreeRow> out;
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
  for (; item; item = reinterpret_cast<HTREEITEM>(
                   SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    char text[260] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    out.push_back({text, tv.iImage, reinterpret_cast<BYTE*>(tv.lParam), item});
  }
  return out;
}

// Appends untitled columns, as many as asked: a row keeps a cell only in a column that exists.
inline void add_columns(HWND list, int count) {
  for (int c = 0; c < count; ++c) {
    char title[] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 80;
    column.pszText = title;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
}

struct NamedRow {
  const char* text;
  void* record;  // the row's parameter; may be null
};

// Appends a row to a list view, its text and parameter; the row's number.
inline int append_row(HWND list, const char* text, void* record = nullptr) {
  LVITEMA row = {};
  row.mask = LVIF_TEXT | LVIF_PARAM;
  row.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  row.pszText = const_cast<char*>(text);
  row.lParam = reinterpret_cast<LPARAM>(record);
  return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}

// The list view's column titles, in order.
inline std::vector<std::string> column_titles(HWND list) {
  std::vector<std::string> titles;
  for (int c = 0;; ++c) {
    char title[260] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column))) return titles;
    titles.push_back(title);
  }
}

// Appends an item to a tree view under the parent (null: at the root), its text and parameter.
inline HTREEITEM append_tree_item(HWND tree, HTREEITEM parent, const char* text, LPARAM value) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.lParam = value;
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// Appends rows to a list view, text and parameter, in order.
inline void insert_list_rows(HWND list, std::initializer_list<NamedRow> rows) {
  for (const NamedRow& r : rows) append_row(list, r.text, r.record);
}

// Sets or clears one row's selected state, as the user's selection does.
inline void set_row_selected(HWND list, size_t row, bool selected = true) {
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED;
  state.state = selected ? LVIS_SELECTED : 0;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

// A click on a column's header, as the list tells its parent window.
inline void click_column_header(HWND parent, int list_item, int column) {
  NMLISTVIEW click = {};
  click.hdr.hwndFrom = GetDlgItem(parent, list_item);
  click.hdr.idFrom = static_cast<UINT_PTR>(list_item);
  click.hdr.code = LVN_COLUMNCLICK;
  click.iSubItem = column;
  SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(list_item), reinterpret_cast<LPARAM>(&click));
}

using AllocRecordFn = DWORD_PTR(WINAPI*)();
using DeleteRecordFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, void*);

// Empties a list the library filled, as the host does: each row's record goes back to the library
// (delete_list_item) in a block of the memory pair. The texts of the rows that had no record.
inline std::vector<std::string> return_row_records(HWND list, AllocRecordFn alloc, DeleteRecordFn release) {
  std::vector<std::string> without_record;
  for (const ListRow& row : list_rows(list)) {
    if (row.record == nullptr) {
      without_record.push_back(row.text);
      continue;
    }
    auto* record = reinterpret_cast<BYTE*>(alloc());
    std::memcpy(record, row.record, kListItemBytes);
    release(0, 0, record);
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  return without_record;
}

// One column's text, row by row.
inline std::vector<std::string> list_column(HWND list, int sub_item = 0) {
  std::vector<std::string> out;
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) out.push_back(read_row(list, i, sub_item).text);
  return out;
}

}  // namespace support
