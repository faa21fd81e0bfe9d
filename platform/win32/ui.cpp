// user32 windows and messages, and the built-in control classes.
#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "win32/kernel_objects.h"
#include "win32/paint_test_api.h"
#include "win32/ui_internal.h"
#include "win32/ui_script.h"

namespace platform {
namespace {

struct WindowTable {
  std::set<Window*> live;
  std::vector<std::unique_ptr<Window>> all;  // kept until reset, so stale handles stay harmless
  uintptr_t next_tree_item = 1;
};

WindowTable& windows() {
  static WindowTable& table = *new WindowTable;
  return table;
}

bool equal_ignoring_case(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The canonical spelling of the built-in class names, so that GetClassNameA
// answers as Windows does whatever case the creator used.
std::string canonical_class(const char* name) {
  static const char* const known[] = {"SysListView32", "SysTreeView32", "msctls_progress32", DATETIMEPICK_CLASSA, WC_HEADERA,
                                      "Button", "Static", "Edit", "ComboBox", "#32770", "#32768", TOOLTIPS_CLASSA};
  for (const char* k : known)
    if (equal_ignoring_case(name, k)) return k;
  return name;
}

int copy_text(const std::string& text, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  int n = std::min(static_cast<int>(text.size()), size - 1);
  std::memcpy(buffer, text.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

LRESULT notify_parent(HWND list, UINT code, int row, UINT new_state, UINT old_state, LPARAM param) {
  HWND parent;
  int id;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(list);
    if (!w || !w->parent) return 0;
    parent = w->parent;
    id = w->id;
  }
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = list;
  nm.hdr.idFrom = static_cast<UINT_PTR>(id);
  nm.hdr.code = code;
  nm.iItem = row;
  nm.uNewState = new_state;
  nm.uOldState = old_state;
  nm.uChanged = LVIF_STATE;
  nm.lParam = param;
  return SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&nm));
}

// Changes the state of one row, telling the parent before and after as a list view does.
bool set_row_state(HWND list, int row, UINT state, UINT mask) {
  UINT old_state;
  LPARAM param;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(list);
    if (!w || row < 0 || row >= static_cast<int>(w->rows.size())) return false;
    old_state = w->rows[static_cast<size_t>(row)].state;
    param = w->rows[static_cast<size_t>(row)].param;
  }
  UINT new_state = (old_state & ~mask) | (state & mask);
  if (new_state == old_state) return true;
  if (notify_parent(list, LVN_ITEMCHANGING, row, new_state, old_state, param) != 0) return false;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(list);
    if (!w || row >= static_cast<int>(w->rows.size())) return false;
    w->rows[static_cast<size_t>(row)].state = new_state;
  }
  notify_parent(list, LVN_ITEMCHANGED, row, new_state, old_state, param);
  return true;
}

// Sets a cell's text, or marks it to be asked of the parent (LPSTR_TEXTCALLBACKA).
void set_cell(ListRow& row, size_t column, const char* text) {
  if (row.texts.size() <= column) row.texts.resize(column + 1);
  row.asked.resize(row.texts.size());
  row.asked[column] = text == LPSTR_TEXTCALLBACKA;
  row.texts[column] = text && text != LPSTR_TEXTCALLBACKA ? text : "";
}

// A cell marked LPSTR_TEXTCALLBACKA: the list's parent is asked for its text (LVN_GETDISPINFOA),
// which it copies into the caller's buffer or points at its own. Returns the length copied.
int ask_parent_for_text(HWND list, int row, int column, LPARAM param, LPSTR buffer, int size) {
  HWND parent;
  int id;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(list);
    if (!w || !w->parent) return copy_text("", buffer, size);
    parent = w->parent;
    id = w->id;
  }
  if (buffer && size > 0) buffer[0] = '\0';
  NMLVDISPINFOA info{};
  info.hdr.hwndFrom = list;
  info.hdr.idFrom = static_cast<UINT_PTR>(id);
  info.hdr.code = LVN_GETDISPINFOA;
  info.item.mask = LVIF_TEXT;
  info.item.iItem = row;
  info.item.iSubItem = column;
  info.item.pszText = buffer;
  info.item.cchTextMax = size;
  info.item.lParam = param;
  SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info));
  if (info.item.pszText != buffer) return copy_text(info.item.pszText ? info.item.pszText : "", buffer, size);
  return buffer && size > 0 ? static_cast<int>(std::strlen(buffer)) : 0;
}

LRESULT list_view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == LVM_SETITEMSTATE) {
    auto* item = reinterpret_cast<LVITEMA*>(lparam);
    if (!item) return FALSE;
    int index = static_cast<int>(static_cast<intptr_t>(wparam));
    if (index != -1) return set_row_state(hwnd, index, item->state, item->stateMask);
    int count = static_cast<int>(SendMessageA(hwnd, LVM_GETITEMCOUNT, 0, 0));
    bool all = true;
    for (int i = 0; i < count; ++i) all = set_row_state(hwnd, i, item->state, item->stateMask) && all;
    return all;
  }
  if (message == LVM_GETITEMA || message == LVM_GETITEMTEXTA) {
    // A cell asked of the parent is asked without holding the windows' lock.
    auto* item = reinterpret_cast<LVITEMA*>(lparam);
    int index = message == LVM_GETITEMA ? (item ? item->iItem : -1) : static_cast<int>(wparam);
    LPARAM param = 0;
    bool asked = false;
    {
      std::lock_guard<std::recursive_mutex> guard(ui_lock());
      Window* w = find_window(hwnd);
      if (w && item && index >= 0 && index < static_cast<int>(w->rows.size()) && item->iSubItem >= 0) {
        const ListRow& row = w->rows[static_cast<size_t>(index)];
        size_t column = static_cast<size_t>(item->iSubItem);
        asked = column < row.asked.size() && row.asked[column] &&
                (message == LVM_GETITEMTEXTA || (item->mask & LVIF_TEXT));
        param = row.param;
      }
    }
    if (asked) {
      int copied = ask_parent_for_text(hwnd, index, item->iSubItem, param, item->pszText, item->cchTextMax);
      if (message == LVM_GETITEMTEXTA) return copied;
      LVITEMA rest = *item;
      rest.mask &= ~static_cast<UINT>(LVIF_TEXT);
      rest.pszText = nullptr;
      LRESULT found = list_view_proc(hwnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&rest));
      item->lParam = rest.lParam, item->iImage = rest.iImage, item->state = rest.state;
      return found;
    }
  }
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  if (!w) return 0;
  auto& rows = w->rows;
  auto valid = [&](int i) { return i >= 0 && i < static_cast<int>(rows.size()); };
  switch (message) {
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(rows.size());
    case LVM_INSERTCOLUMNA: {
      auto* column = reinterpret_cast<LVCOLUMNA*>(lparam);
      if (!column) return -1;
      size_t at = std::min(static_cast<size_t>(wparam), w->columns.size());
      w->columns.insert(w->columns.begin() + static_cast<long>(at),
                        (column->mask & LVCF_TEXT) && column->pszText ? column->pszText : "");
      w->column_widths.resize(w->columns.size() - 1);
      w->column_widths.insert(w->column_widths.begin() + static_cast<long>(at),
                              (column->mask & LVCF_WIDTH) ? column->cx : 0);
      return static_cast<LRESULT>(at);
    }
    case LVM_GETCOLUMNA: {
      auto* column = reinterpret_cast<LVCOLUMNA*>(lparam);
      size_t at = static_cast<size_t>(wparam);
      if (!column || at >= w->columns.size()) return FALSE;
      if (column->mask & LVCF_TEXT) copy_text(w->columns[at], column->pszText, column->cchTextMax);
      if (column->mask & LVCF_WIDTH) column->cx = at < w->column_widths.size() ? w->column_widths[at] : 0;
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH:
      return static_cast<size_t>(wparam) < w->column_widths.size() ? w->column_widths[wparam] : 0;
    case LVM_GETHEADER: {
      // The header child is made on first request; its items are the list's columns.
      for (HWND child : w->children)
        if (Window* c = find_window(child); c && c->class_name == WC_HEADERA) return reinterpret_cast<LRESULT>(child);
      return reinterpret_cast<LRESULT>(
          CreateWindowExA(0, WC_HEADERA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr));
    }
    case LVM_SORTITEMS: {
      // The rows in the order the caller's comparison gives their item data; equal rows keep their order.
      auto compare = reinterpret_cast<PFNLVCOMPARE>(lparam);
      if (!compare) return FALSE;
      std::vector<size_t> order(rows.size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::vector<LPARAM> params;
      for (const ListRow& r : rows) params.push_back(r.param);
      LPARAM sort_value = static_cast<LPARAM>(wparam);
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return compare(params[a], params[b], sort_value) < 0;
      });
      std::vector<ListRow> sorted;
      for (size_t i : order) sorted.push_back(rows[i]);
      rows.swap(sorted);
      return TRUE;
    }
    case LVM_SETIMAGELIST:
    case LVM_GETIMAGELIST: {
      if (wparam != LVSIL_SMALL && wparam != LVSIL_NORMAL) {
        platform::unsupported("LVM_SETIMAGELIST", "state image lists");
        return 0;
      }
      HIMAGELIST& images = wparam == LVSIL_SMALL ? w->small_images : w->normal_images;
      if (message == LVM_GETIMAGELIST) return reinterpret_cast<LRESULT>(images);
      return reinterpret_cast<LRESULT>(std::exchange(images, reinterpret_cast<HIMAGELIST>(lparam)));
    }
    case LVM_INSERTITEMA: {
      auto* item = reinterpret_cast<LVITEMA*>(lparam);
      if (!item || item->iSubItem != 0) return -1;
      ListRow row;
      set_cell(row, 0, (item->mask & LVIF_TEXT) ? item->pszText : "");
      if (item->mask & LVIF_PARAM) row.param = item->lParam;
      if (item->mask & LVIF_IMAGE) row.image = item->iImage;
      if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
      size_t at = item->iItem < 0 ? rows.size() : std::min(static_cast<size_t>(item->iItem), rows.size());
      rows.insert(rows.begin() + static_cast<long>(at), std::move(row));
      return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lparam);
      int index = message == LVM_SETITEMA ? (item ? item->iItem : -1) : static_cast<int>(wparam);
      if (!item || !valid(index) || item->iSubItem < 0) return FALSE;
      // As comctl32: a row has a cell only in a column that exists (the first always).
      if (item->iSubItem > 0 && static_cast<size_t>(item->iSubItem) >= w->columns.size()) return FALSE;
      ListRow& row = rows[static_cast<size_t>(index)];
      if (message == LVM_SETITEMTEXTA || (item->mask & LVIF_TEXT)) set_cell(row, static_cast<size_t>(item->iSubItem), item->pszText);
      if (message == LVM_SETITEMA && (item->mask & LVIF_PARAM)) row.param = item->lParam;
      if (message == LVM_SETITEMA && (item->mask & LVIF_IMAGE)) row.image = item->iImage;
      return TRUE;
    }
    case LVM_GETITEMA:
    case LVM_GETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lparam);
      int index = message == LVM_GETITEMA ? (item ? item->iItem : -1) : static_cast<int>(wparam);
      if (!item || !valid(index) || item->iSubItem < 0) return message == LVM_GETITEMA ? FALSE : 0;
      const ListRow& row = rows[static_cast<size_t>(index)];
      std::string text = static_cast<size_t>(item->iSubItem) < row.texts.size()
                             ? row.texts[static_cast<size_t>(item->iSubItem)] : "";
      int copied = 0;
      if (message == LVM_GETITEMTEXTA || (item->mask & LVIF_TEXT)) copied = copy_text(text, item->pszText, item->cchTextMax);
      if (message == LVM_GETITEMTEXTA) return copied;
      if (item->mask & LVIF_PARAM) item->lParam = row.param;
      if (item->mask & LVIF_IMAGE) item->iImage = row.image;
      if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return valid(static_cast<int>(wparam)) ? static_cast<LRESULT>(rows[wparam].state & static_cast<UINT>(lparam)) : 0;
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(rows.begin(), rows.end(), [](const auto& row) { return (row.state & LVIS_SELECTED) != 0; });
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(static_cast<intptr_t>(wparam));
      UINT flags = static_cast<UINT>(lparam);
      UINT wanted = ((flags & LVNI_SELECTED) ? LVIS_SELECTED : 0) | ((flags & LVNI_FOCUSED) ? LVIS_FOCUSED : 0);
      for (int i = std::max(start + 1, 0); i < static_cast<int>(rows.size()); ++i)
        if ((rows[static_cast<size_t>(i)].state & wanted) == wanted) return i;
      return -1;
    }
    case LVM_DELETEITEM:
      if (!valid(static_cast<int>(wparam))) return FALSE;
      rows.erase(rows.begin() + static_cast<long>(wparam));
      return TRUE;
    case LVM_DELETEALLITEMS:
      rows.clear();
      return TRUE;
    case LVM_ENSUREVISIBLE:
      return valid(static_cast<int>(wparam));
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

LRESULT tree_view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  if (!w) return 0;
  switch (message) {
    case TVM_INSERTITEMA: {
      auto* insert = reinterpret_cast<TVINSERTSTRUCTA*>(lparam);
      if (!insert) return 0;
      HTREEITEM parent = insert->hParent == TVI_ROOT ? nullptr : insert->hParent;
      std::vector<HTREEITEM>* siblings = &w->roots;
      if (parent) {
        auto p = w->nodes.find(parent);
        if (p == w->nodes.end()) return 0;
        siblings = &p->second.children;
      }
      HTREEITEM item = reinterpret_cast<HTREEITEM>(windows().next_tree_item++ << 4);
      TreeNode node;
      node.parent = parent;
      const TVITEMA& tv = insert->item;
      if ((tv.mask & TVIF_TEXT) && tv.pszText) node.text = tv.pszText;
      if (tv.mask & TVIF_IMAGE) node.image = tv.iImage;
      if (tv.mask & TVIF_SELECTEDIMAGE) node.selected_image = tv.iSelectedImage;
      if (tv.mask & TVIF_PARAM) node.param = tv.lParam;
      HTREEITEM after = insert->hInsertAfter;
      auto position = siblings->end();
      if (after == TVI_FIRST) {
        position = siblings->begin();
      } else if (after == TVI_SORT) {
        position = std::find_if(siblings->begin(), siblings->end(), [&](HTREEITEM s) {
          return strcasecmp(w->nodes[s].text.c_str(), node.text.c_str()) > 0;
        });
      } else if (after != TVI_LAST && after != nullptr) {
        auto found = std::find(siblings->begin(), siblings->end(), after);
        if (found != siblings->end()) position = found + 1;
      }
      siblings->insert(position, item);
      w->nodes[item] = std::move(node);
      return reinterpret_cast<LRESULT>(item);
    }
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(w->nodes.size());
    case TVM_GETNEXTITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      auto node = w->nodes.find(item);
      switch (wparam) {
        case TVGN_ROOT:
          return w->roots.empty() ? 0 : reinterpret_cast<LRESULT>(w->roots.front());
        case TVGN_CARET:
          return reinterpret_cast<LRESULT>(w->selected_node);
        case TVGN_CHILD:
          if (item == TVI_ROOT || item == nullptr) return w->roots.empty() ? 0 : reinterpret_cast<LRESULT>(w->roots.front());
          return node == w->nodes.end() || node->second.children.empty()
                     ? 0 : reinterpret_cast<LRESULT>(node->second.children.front());
        case TVGN_PARENT:
          return node == w->nodes.end() ? 0 : reinterpret_cast<LRESULT>(node->second.parent);
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (node == w->nodes.end()) return 0;
          const auto& siblings = node->second.parent ? w->nodes[node->second.parent].children : w->roots;
          auto at = std::find(siblings.begin(), siblings.end(), item);
          if (wparam == TVGN_NEXT) return at + 1 == siblings.end() ? 0 : reinterpret_cast<LRESULT>(*(at + 1));
          return at == siblings.begin() ? 0 : reinterpret_cast<LRESULT>(*(at - 1));
        }
        default:
          platform::unsupported("TVM_GETNEXTITEM", "relation");
          return 0;
      }
    }
    case TVM_GETITEMA: {
      auto* tv = reinterpret_cast<TVITEMA*>(lparam);
      if (!tv) return FALSE;
      auto node = w->nodes.find(tv->hItem);
      if (node == w->nodes.end()) return FALSE;
      if (tv->mask & TVIF_TEXT) copy_text(node->second.text, tv->pszText, tv->cchTextMax);
      if (tv->mask & TVIF_IMAGE) tv->iImage = node->second.image;
      if (tv->mask & TVIF_SELECTEDIMAGE) tv->iSelectedImage = node->second.selected_image;
      if (tv->mask & TVIF_PARAM) tv->lParam = node->second.param;
      return TRUE;
    }
    case TVM_SETITEMA: {
      auto* tv = reinterpret_cast<TVITEMA*>(lparam);
      if (!tv) return FALSE;
      auto node = w->nodes.find(tv->hItem);
      if (node == w->nodes.end()) return FALSE;
      if (tv->mask & TVIF_TEXT) node->second.text = tv->pszText ? tv->pszText : "";
      if (tv->mask & TVIF_IMAGE) node->second.image = tv->iImage;
      if (tv->mask & TVIF_SELECTEDIMAGE) node->second.selected_image = tv->iSelectedImage;
      if (tv->mask & TVIF_PARAM) node->second.param = tv->lParam;
      return TRUE;
    }
    case TVM_DELETEITEM: {
      // An item goes with all its descendants; TVI_ROOT (or null) empties the tree.
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      if (item == TVI_ROOT || item == nullptr) {
        w->nodes.clear();
        w->roots.clear();
        w->selected_node = nullptr;
        return TRUE;
      }
      auto node = w->nodes.find(item);
      if (node == w->nodes.end()) return FALSE;
      auto& siblings = node->second.parent ? w->nodes[node->second.parent].children : w->roots;
      siblings.erase(std::find(siblings.begin(), siblings.end(), item));
      std::vector<HTREEITEM> doomed = {item};
      for (size_t i = 0; i < doomed.size(); ++i) {
        auto gone = w->nodes.find(doomed[i]);
        doomed.insert(doomed.end(), gone->second.children.begin(), gone->second.children.end());
        if (w->selected_node == doomed[i]) w->selected_node = nullptr;
        w->nodes.erase(gone);
      }
      return TRUE;
    }
    case TVM_SELECTITEM:
      w->selected_node = reinterpret_cast<HTREEITEM>(lparam);
      return TRUE;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

// A progress bar keeps its range, step and position; positions are clamped to the range.
// The header of a list view reads its items from the list's columns.
LRESULT header_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  Window* list = w ? find_window(w->parent) : nullptr;
  if (!list) return DefWindowProcA(hwnd, message, wparam, lparam);
  switch (message) {
    case HDM_GETITEMCOUNT:
      return static_cast<LRESULT>(list->columns.size());
    case HDM_GETITEMA: {
      auto* item = reinterpret_cast<HDITEMA*>(lparam);
      size_t at = static_cast<size_t>(wparam);
      if (!item || at >= list->columns.size()) return FALSE;
      if (item->mask & HDI_TEXT) copy_text(list->columns[at], item->pszText, item->cchTextMax);
      if (item->mask & HDI_WIDTH) item->cxy = at < list->column_widths.size() ? list->column_widths[at] : 0;
      return TRUE;
    }
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

// A date field holds the local date and time it was made at until one is set; with DTS_SHOWNONE it may hold none.
LRESULT date_time_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  if (!w) return 0;
  auto* time = reinterpret_cast<SYSTEMTIME*>(lparam);
  switch (message) {
    case DTM_GETSYSTEMTIME:
      if (time == nullptr) return GDT_ERROR;
      if (w->no_date) return GDT_NONE;
      *time = w->date_time;
      return GDT_VALID;
    case DTM_SETSYSTEMTIME:
      if (wparam == GDT_NONE) {
        if ((w->style & DTS_SHOWNONE) == 0) return FALSE;
        w->no_date = true;
        return TRUE;
      }
      if (wparam != GDT_VALID || time == nullptr) return FALSE;
      w->date_time = *time;
      w->no_date = false;
      return TRUE;
    default:
      if (message >= DTM_FIRST && message < DTM_FIRST + 0x100) {
        platform::unsupported("SendMessageA", ("date field message " + std::to_string(message)).c_str());
        return 0;
      }
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

LRESULT progress_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  if (!w) return 0;
  int previous = w->progress_pos;
  auto set_pos = [w](long long pos) {
    w->progress_pos = static_cast<int>(std::max<long long>(w->progress_low, std::min<long long>(w->progress_high, pos)));
  };
  switch (message) {
    case PBM_SETRANGE:
      w->progress_low = LOWORD(lparam);
      w->progress_high = HIWORD(lparam);
      set_pos(w->progress_pos);
      return MAKELPARAM(0, 0);
    case PBM_SETRANGE32:
      w->progress_low = static_cast<int>(wparam);
      w->progress_high = static_cast<int>(lparam);
      set_pos(w->progress_pos);
      return 0;
    case PBM_SETPOS: set_pos(static_cast<long long>(static_cast<int>(wparam))); return previous;
    case PBM_DELTAPOS: set_pos(static_cast<long long>(w->progress_pos) + static_cast<int>(wparam)); return previous;
    case PBM_SETSTEP: {
      int old = w->progress_step;
      w->progress_step = static_cast<int>(wparam);
      return old;
    }
    case PBM_STEPIT: set_pos(static_cast<long long>(w->progress_pos) + w->progress_step); return previous;
    case PBM_GETPOS: return w->progress_pos;
    default: return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

LRESULT button_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND parent = nullptr;
  int id = 0;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(hwnd);
    if (!w) return 0;
    switch (message) {
      case BM_GETCHECK:
        return w->check;
      case BM_SETCHECK:
        w->check = static_cast<int>(wparam);
        return 0;
      case BM_CLICK:
        if (!w->enabled) return 0;
        parent = w->parent;
        id = w->id;
        // Automatic check boxes turn over; an automatic radio button is set and clears its siblings.
        if ((w->style & BS_TYPEMASK) == BS_AUTOCHECKBOX) w->check = w->check ? BST_UNCHECKED : BST_CHECKED;
        if ((w->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
          if (Window* group = find_window(parent)) {
            for (HWND sibling : group->children) {
              Window* other = find_window(sibling);
              if (other && (other->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) other->check = BST_UNCHECKED;
            }
          }
          w->check = BST_CHECKED;
        }
        break;
      default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
  }
  if (parent) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
  return 0;
}

// The selection of an edit after its text changed under it: within the text, start first.
void clamp_selection(Window* w) {
  w->selection_end = std::min(w->selection_end, w->text.size());
  w->selection_start = std::min(w->selection_start, w->selection_end);
}

// Puts text on the clipboard as CF_TEXT; false when the clipboard is someone else's.
bool put_on_clipboard(HWND owner, const std::string& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  bool put = false;
  if (auto* bytes = static_cast<char*>(GlobalLock(block))) {
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    put = SetClipboardData(CF_TEXT, block) != nullptr;
  }
  if (!put) GlobalFree(block);
  CloseClipboard();
  return put;
}

// The clipboard's CF_TEXT; empty when there is none or the clipboard is someone else's.
std::string clipboard_text_of(HWND owner) {
  std::string text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    if (const auto* bytes = static_cast<const char*>(GlobalLock(block))) text = bytes;
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text;
}

// Replaces an edit's selection with text (as much of it as its limit leaves room for); the caret
// follows what was put in. False for a read-only edit.
bool replace_selection(HWND hwnd, std::string text) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  if (!w || (w->style & ES_READONLY)) return false;
  clamp_selection(w);
  const size_t kept = w->text.size() - (w->selection_end - w->selection_start);
  if (w->text_limit) text.resize(std::min(text.size(), w->text_limit > kept ? w->text_limit - kept : 0));
  w->text.replace(w->selection_start, w->selection_end - w->selection_start, text);
  w->selection_start = w->selection_end = w->selection_start + text.size();
  return true;
}

// The edit's own right-click menu, as Windows has it; the command chosen, 0 for none.
UINT edit_context_menu(HWND hwnd) {
  bool selected, everything_selected, read_only, password;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(hwnd);
    if (!w) return 0;
    clamp_selection(w);
    selected = w->selection_end > w->selection_start;
    everything_selected = w->selection_start == 0 && w->selection_end == w->text.size();
    read_only = (w->style & ES_READONLY) != 0;
    password = (w->style & ES_PASSWORD) != 0;
  }
  const bool can_paste = !read_only && !clipboard_text_of(hwnd).empty();
  auto state = [](bool enabled) { return enabled ? MF_STRING : MF_STRING | MF_GRAYED; };
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, state(false), EM_UNDO, "&Undo");  // the edit keeps no undo
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, state(selected && !read_only && !password), WM_CUT, "Cu&t");
  AppendMenuA(menu, state(selected && !password), WM_COPY, "&Copy");
  AppendMenuA(menu, state(can_paste), WM_PASTE, "&Paste");
  AppendMenuA(menu, state(selected && !read_only), WM_CLEAR, "&Delete");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, state(!everything_selected), EM_SETSEL, "Select &All");
  UINT chosen = track_popup_menu(menu, hwnd);
  DestroyMenu(menu);
  return chosen;
}

// An edit keeps the limit for typed text and its selection; a single-line edit tells its parent
// when its text is set (a multiline one does not for WM_SETTEXT), and every edit tells it when the
// user changed the text (paste, cut, delete).
LRESULT edit_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND parent = nullptr;
  int id = 0;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(hwnd);
    if (!w) return 0;
    parent = w->parent;
    id = w->id;
    switch (message) {
      case EM_LIMITTEXT:
        w->text_limit = static_cast<size_t>(wparam);
        return 0;
      case EM_GETLIMITTEXT:  // 0: no limit set, which Windows reports as 30000 characters
        return static_cast<LRESULT>(w->text_limit ? w->text_limit : 30000);
      case EM_GETSEL: {
        clamp_selection(w);
        if (wparam) *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(w->selection_start);
        if (lparam) *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(w->selection_end);
        const bool fits = w->selection_end <= 0xFFFF;
        return fits ? MAKELPARAM(w->selection_start, w->selection_end) : -1;
      }
      case EM_SETSEL: {
        // -1 as the start removes the selection, leaving the caret at its end; -1 as the end is
        // the end of the text; either order selects the same characters.
        const auto start = static_cast<long long>(static_cast<int>(wparam));
        const auto end = static_cast<long long>(static_cast<int>(lparam));
        const size_t length = w->text.size();
        auto position = [length](long long p) { return p < 0 ? length : std::min(static_cast<size_t>(p), length); };
        if (start == -1) {
          clamp_selection(w);
          w->selection_start = w->selection_end;
          return TRUE;
        }
        w->selection_start = std::min(position(start), position(end));
        w->selection_end = std::max(position(start), position(end));
        return TRUE;
      }
      case WM_SETTEXT:
        DefWindowProcA(hwnd, message, wparam, lparam);
        w->selection_start = w->selection_end = 0;
        if (w->style & ES_MULTILINE) return TRUE;
        break;
      case WM_COPY:
      case WM_CUT:
      case WM_CLEAR:
      case WM_PASTE:
      case WM_CONTEXTMENU:
        break;
      case EM_UNDO:
      case WM_UNDO:
        platform::unsupported("edit", "undo");
        return FALSE;
      default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
  }
  if (message == WM_SETTEXT) {
    if (parent) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(hwnd));
    return TRUE;
  }
  if (message == WM_CONTEXTMENU) {
    const UINT chosen = edit_context_menu(hwnd);
    if (chosen == EM_SETSEL) SendMessageA(hwnd, EM_SETSEL, 0, -1);
    else if (chosen == WM_CUT || chosen == WM_COPY || chosen == WM_PASTE || chosen == WM_CLEAR) SendMessageA(hwnd, chosen, 0, 0);
    // A command the edit does not know came from an entry that someone else added to its menu: it is
    // sent to the edit window as WM_COMMAND, so that a procedure subclassing the edit receives it.
    else if (chosen != 0) SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return 0;
  }
  std::string selected;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(hwnd);
    if (!w) return 0;
    clamp_selection(w);
    selected = w->text.substr(w->selection_start, w->selection_end - w->selection_start);
    // A password edit gives nothing to the clipboard.
    if ((message == WM_COPY || message == WM_CUT) && (w->style & ES_PASSWORD)) return 0;
  }
  if ((message == WM_COPY || message == WM_CUT) && !selected.empty() && !put_on_clipboard(hwnd, selected)) return 0;
  if (message == WM_COPY) return 0;
  // Paste puts the clipboard's text in place of the selection; cut and delete remove the selection.
  const std::string pasted = message == WM_PASTE ? clipboard_text_of(hwnd) : std::string();
  if (message == WM_PASTE ? pasted.empty() : selected.empty()) return 0;
  if (!replace_selection(hwnd, pasted)) return 0;
  if (parent) SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(hwnd));
  return 0;
}

// A tooltip keeps its tools' texts; it shows nothing, as there is no screen.
LRESULT tooltip_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(hwnd);
  auto* tool = reinterpret_cast<TTTOOLINFOA*>(lparam);
  if (!w) return 0;
  switch (message) {
    case TTM_ADDTOOLA:
      if (tool == nullptr || (tool->uFlags & TTF_IDISHWND) == 0) {
        platform::unsupported("TTM_ADDTOOLA", "a tool that is not a window");
        return FALSE;
      }
      w->tools.emplace_back(tool->uId, tool->lpszText ? tool->lpszText : "");
      return TRUE;
    case TTM_GETTOOLCOUNT:
      return static_cast<LRESULT>(w->tools.size());
    case TTM_GETTEXTA:  // the caller's buffer holds at least 80 characters, as Windows assumes
      if (tool == nullptr || tool->lpszText == nullptr) return 0;
      tool->lpszText[0] = '\0';
      for (const auto& [id, text] : w->tools)
        if (id == tool->uId) copy_text(text, tool->lpszText, 80);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

}  // namespace

std::recursive_mutex& ui_lock() {
  static std::recursive_mutex lock;
  return lock;
}

Window* find_window(HWND handle) {
  auto* w = reinterpret_cast<Window*>(handle);
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  return windows().live.count(w) ? w : nullptr;
}

WNDPROC class_proc(const std::string& class_name) {
  if (class_name == "SysListView32") return list_view_proc;
  if (class_name == "SysTreeView32") return tree_view_proc;
  if (class_name == "Button") return button_proc;
  if (class_name == "Edit") return edit_proc;
  if (class_name == "msctls_progress32") return progress_proc;
  if (class_name == DATETIMEPICK_CLASSA) return date_time_proc;
  if (class_name == WC_HEADERA) return header_proc;
  if (class_name == TOOLTIPS_CLASSA) return tooltip_proc;
  if (class_name == "#32768") return popup_menu_window_proc();
  return DefWindowProcA;
}

}  // namespace platform

using platform::find_window;
using platform::ui_lock;
using platform::Window;

namespace ui {

void reset() {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  platform::windows().live.clear();
  platform::windows().all.clear();
  platform::release_window_dcs();
  clear_journal();
  clear_script();
}

bool click_row(HWND list, int row) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (i == row) continue;
    if (!platform::set_row_state(list, i, 0, LVIS_SELECTED | LVIS_FOCUSED)) return false;
  }
  return platform::set_row_state(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

int invalidate_count(HWND window) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  return w ? w->invalidations : 0;
}

std::string window_theme(HWND window) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  return w ? w->theme : "";
}

}  // namespace ui

extern "C" {

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR text, DWORD style, int, int,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE, LPVOID) {
  if (class_name == nullptr || IS_INTRESOURCE(class_name)) {
    platform::unsupported("CreateWindowExA", "class atoms");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A window that is no child takes a menu there, never a control identifier.
  if ((style & WS_CHILD) == 0 && menu != nullptr && !platform::is_menu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  if (parent && !find_window(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->class_name = platform::canonical_class(class_name);
  w->text = text ? text : "";
  w->style = style;
  w->width = std::max(0, width);
  w->height = std::max(0, height);
  w->ex_style = ex_style;
  w->enabled = (style & WS_DISABLED) == 0;
  w->parent = parent;
  w->id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<intptr_t>(menu)) : 0;
  w->proc = platform::class_proc(w->class_name);
  w->thread = GetCurrentThreadId();
  if (w->class_name == DATETIMEPICK_CLASSA) GetLocalTime(&w->date_time);
  HWND handle = reinterpret_cast<HWND>(w.get());
  platform::windows().live.insert(w.get());
  if (parent) find_window(parent)->children.push_back(handle);
  platform::windows().all.push_back(std::move(w));
  return handle;
}

// The window hears WM_DESTROY, its children are destroyed, and WM_NCDESTROY is
// the last message it gets, as on Windows.
BOOL WINAPI DestroyWindow(HWND window) {
  if (!find_window(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    if (Window* w = find_window(window)) children = w->children;
  }
  for (HWND child : children) DestroyWindow(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return TRUE;  // a procedure destroyed it while it was being destroyed
  if (Window* parent = find_window(w->parent)) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  w->destroyed = true;
  platform::windows().live.erase(w);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND window) { return find_window(window) != nullptr; }

HWND WINAPI GetParent(HWND window) {
  Window* w = find_window(window);
  return w ? w->parent : nullptr;
}

HWND WINAPI GetDlgItem(HWND dialog, int item) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(dialog);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  for (HWND child : w->children)
    if (find_window(child)->id == item) return child;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

HWND WINAPI FindWindowExA(HWND parent, HWND child_after, LPCSTR class_name, LPCSTR text) {
  if (parent == nullptr || (class_name != nullptr && IS_INTRESOURCE(class_name))) {
    platform::unsupported("FindWindowExA", parent == nullptr ? "top-level windows" : "class atoms");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(parent);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // The children after child_after (all of them without one), in creation order;
  // class and text compare without regard to case, a null one matches any.
  auto at = w->children.begin();
  if (child_after != nullptr) {
    at = std::find(w->children.begin(), w->children.end(), child_after);
    if (at == w->children.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    ++at;
  }
  for (; at != w->children.end(); ++at) {
    Window* child = find_window(*at);
    if (class_name != nullptr && !platform::equal_ignoring_case(child->class_name, class_name)) continue;
    if (text != nullptr && !platform::equal_ignoring_case(child->text, text)) continue;
    return *at;
  }
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND window) {
  Window* w = find_window(window);
  return w ? w->id : 0;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* d = find_window(dialog);
  if (!d) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // Tab stops are the enabled, visible children with WS_TABSTOP, in creation order, wrapping around.
  // The search starts at the given control, which need not be a tab stop itself.
  auto is_stop = [](HWND child) {
    Window* c = find_window(child);
    return (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && c->enabled;
  };
  const std::vector<HWND>& children = d->children;
  auto first = std::find_if(children.begin(), children.end(), is_stop);
  if (first == children.end()) return nullptr;
  auto at = std::find(children.begin(), children.end(), control);
  if (control == nullptr || at == children.end())
    return previous ? *std::find_if(children.rbegin(), children.rend(), is_stop) : *first;
  size_t index = static_cast<size_t>(at - children.begin());
  size_t n = children.size();
  for (size_t step = 1; step < n; ++step) {
    HWND next = children[previous ? (index + n - step) % n : (index + step) % n];
    if (is_stop(next)) return next;
  }
  return control;  // the only tab stop
}

int WINAPI GetClassNameA(HWND window, LPSTR buffer, int size) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return platform::copy_text(w->class_name, buffer, size);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int item, LPCSTR text) {
  HWND control = GetDlgItem(dialog, item);
  return control ? SetWindowTextA(control, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int item, LPSTR buffer, int size) {
  HWND control = GetDlgItem(dialog, item);
  if (!control) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(control, buffer, size));
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    proc = w->proc;
  }
  return proc(window, message, wparam, lparam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return proc ? proc(window, message, wparam, lparam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT:
      w->text = lparam ? reinterpret_cast<const char*>(lparam) : "";
      return TRUE;
    case WM_GETTEXT:
      return platform::copy_text(w->text, reinterpret_cast<LPSTR>(lparam), static_cast<int>(wparam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    case WM_SETICON: {
      if (wparam != ICON_SMALL && wparam != ICON_BIG) return 0;
      HICON previous = w->icons[wparam];
      w->icons[wparam] = reinterpret_cast<HICON>(lparam);
      w->icon_names.push_back(platform::icon_name(w->icons[wparam]));
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return wparam == ICON_SMALL || wparam == ICON_BIG ? reinterpret_cast<LRESULT>(w->icons[wparam]) : 0;
    default:
      return 0;
  }
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWLP_USERDATA: return w->user_data;
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case DWLP_MSGRESULT:
      if (w->class_name == "#32770") return w->dialog_result;
      break;
    default:
      break;
  }
  platform::unsupported("GetWindowLongPtrA", "index");
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old;
  switch (index) {
    case GWLP_USERDATA: old = w->user_data; w->user_data = value; return old;
    case GWLP_ID: old = w->id; w->id = static_cast<int>(value); return old;
    case GWL_STYLE: old = static_cast<LONG>(w->style); w->style = static_cast<DWORD>(value); return old;
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case DWLP_MSGRESULT:
      if (w->class_name != "#32770") break;
      old = w->dialog_result;
      w->dialog_result = value;
      return old;
    default:
      break;
  }
  platform::unsupported("SetWindowLongPtrA", "index");
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
  if (index == GWLP_USERDATA || index == GWLP_WNDPROC) {
    platform::unsupported("GetWindowLongA", "pointer-sized value in a 64-bit process");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG WINAPI SetWindowLongA(HWND window, int index, LONG value) {
  if (index == GWLP_USERDATA || index == GWLP_WNDPROC) {
    platform::unsupported("SetWindowLongA", "pointer-sized value in a 64-bit process");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL WINAPI InvalidateRect(HWND window, const RECT*, BOOL) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return FALSE;
  ++w->invalidations;
  w->needs_paint = true;
  return TRUE;
}

// Paints a window that was invalidated since its last paint, at once. An owner-drawn button
// is painted by its parent (WM_DRAWITEM) on the window's device context, which records it
// (qvmr_paint_window_dc); other windows paint nothing.
BOOL WINAPI UpdateWindow(HWND window) {
  DRAWITEMSTRUCT item = {};
  HWND parent = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(ui_lock());
    Window* w = find_window(window);
    if (!w) return FALSE;
    if (!w->needs_paint) return TRUE;
    w->needs_paint = false;
    if (w->class_name != "Button" || (w->style & BS_TYPEMASK) != BS_OWNERDRAW || !find_window(w->parent)) return TRUE;
    parent = w->parent;
    item = {ODT_BUTTON, static_cast<UINT>(w->id), 0, ODA_DRAWENTIRE, w->enabled ? 0u : ODS_DISABLED, window,
            nullptr, {0, 0, w->width, w->height}, 0};
  }
  item.hDC = qvmr_paint_window_dc(window);
  SendMessageA(parent, WM_DRAWITEM, static_cast<WPARAM>(item.CtlID), reinterpret_cast<LPARAM>(&item));
  return TRUE;
}

// There is no cursor: a test sends WM_MOUSEMOVE and WM_MOUSELEAVE itself, so a request to be
// told of the leave is only checked.
BOOL WINAPI TrackMouseEvent(TRACKMOUSEEVENT* event) {
  if (event == nullptr || event->cbSize != sizeof *event || !IsWindow(event->hwndTrack)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

// Windows have a size and no place: the client area is the whole window.
BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w || !rect) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = {0, 0, w->width, w->height};
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int, int, int width, int height, BOOL) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->width = std::max(0, width);
  w->height = std::max(0, height);
  return TRUE;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return FALSE;
  bool was_disabled = !w->enabled;
  w->enabled = enable != FALSE;
  return was_disabled;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return FALSE;
  bool was_visible = (w->style & WS_VISIBLE) != 0;
  if (command == SW_HIDE) w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  else w->style |= WS_VISIBLE;
  return was_visible;
}

HRESULT WINAPI SetWindowTheme(HWND window, LPCWSTR app_name, LPCWSTR) {
  std::lock_guard<std::recursive_mutex> guard(ui_lock());
  Window* w = find_window(window);
  if (!w) return static_cast<HRESULT>(0x80070006);  // E_HANDLE
  w->theme.clear();
  for (const WCHAR* p = app_name; p && *p; ++p) w->theme += static_cast<char>(*p);
  return S_OK;
}

}  // extern "C"
