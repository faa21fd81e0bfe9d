// The graphical analysis screen's routes: the graph tree and the chart-kind
// chooser, the graph area, the report's chart tree and its HTML save.
//
// Which identifier does what (the screen names the actions, not the identifiers):
//   0x60440916  list    graph tree: the selected item's data value is the selection
//                       number, its parent's the group code; the chart is drawn anew
//   0x60440917  list    chart-kind chooser: filled with the eight kind names when
//                       empty, else the selected row is the kind to show
//   0x60410918  button  graph area: draws the chart (again from the cache)
//   0x60410919  button  adds the chart shown to the report's chart tree (the companion)
//   0x6041091A  button  removes the selected chart from the chart tree (the companion)
//   0x6041091B  button  saves the chart tree (the companion) as an HTML graphical report
//   0x6041091C  button  to 0x60410923: shows the chart as kind 0 to 7
#include <cstdio>
#include <cstring>

#include "graphs/charts.h"
#include "graphs/html_report.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/subsystems.h"
#include "host/text.h"
#include "reports/log_reader.h"

namespace {

constexpr uint32_t kGraphTree = 0x60440916;
constexpr uint32_t kKindChooser = 0x60440917;
constexpr uint32_t kGraphArea = 0x60410918;
constexpr uint32_t kAddChart = 0x60410919;
constexpr uint32_t kRemoveChart = 0x6041091A;
constexpr uint32_t kSaveReport = 0x6041091B;
constexpr uint32_t kFirstKindButton = 0x6041091C;
constexpr uint32_t kLastKindButton = kFirstKindButton + kChartKinds - 1;
constexpr COLORREF kGraphAreaText = 0x5A5A5A;

ChartView g_shown;  // the chart of the report window

HWND graph_area(HWND screen) {
  int item = find_button_item(screen, kModuleNumber, kGraphArea);
  return item ? GetDlgItem(screen, item) : nullptr;
}

// The size charts are made in: the graph area's.
RECT chart_area(HWND screen) {
  RECT area = {0, 0, 0, 0};
  if (HWND graph = graph_area(screen)) GetClientRect(graph, &area);
  return area;
}

// Builds the chart shown in an area of that size; the progress goes to the window, when one is given.
void build_shown_chart(const RECT& area, HWND progress_window) {
  const char* name = chart_definition_name(g_shown.group, g_shown.selection);
  if (name == nullptr || !ensure_chart_cache(&g_shown) || area.right <= 0 || area.bottom <= 0) return;
  g_shown.progress_window = progress_window;
  BuildChart(&g_shown, area, name);
}

DWORD show_chart(HWND screen) {
  build_shown_chart(chart_area(screen), graph_area(screen));
  if (HWND graph = graph_area(screen)) InvalidateRect(graph, nullptr, TRUE);
  return 1;
}

LPARAM tree_item_value(HWND tree, HTREEITEM item) {
  TVITEMA tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  return SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) ? tv.lParam : 0;
}

HTREEITEM selected_tree_item(HWND tree) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

DWORD select_chart(const ListEvent& e) {
  HTREEITEM item = selected_tree_item(e.control);
  auto parent = reinterpret_cast<HTREEITEM>(
      item ? SendMessageA(e.control, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)) : 0);
  if (parent == nullptr) return 1;  // a group, not a chart
  // A new selection: the images of the one before are no use any more.
  release_chart_cache(&g_shown);
  g_shown.group = static_cast<uint32_t>(tree_item_value(e.control, parent));
  g_shown.selection = static_cast<uint32_t>(tree_item_value(e.control, item));
  return show_chart(GetParent(e.control));
}

DWORD choose_kind(const ListEvent& e) {
  int rows = static_cast<int>(SendMessageA(e.control, LVM_GETITEMCOUNT, 0, 0));
  if (rows == 0) {
    for (uint32_t kind = 0; kind < kChartKinds; ++kind) {
      char name[32];
      chart_kind_name(kind, name, sizeof name);
      LVITEMA row = {};
      row.mask = LVIF_TEXT | LVIF_PARAM;
      row.iItem = static_cast<int>(kind);
      row.pszText = name;
      row.lParam = static_cast<LPARAM>(kind);
      SendMessageA(e.control, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
    return 1;
  }
  int row = static_cast<int>(SendMessageA(e.control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0) return 1;
  g_shown.kind = static_cast<uint32_t>(list_row_param(e.control, row));
  return show_chart(GetParent(e.control));
}

DWORD draw_graph_area(const ButtonEvent& e) { return show_chart(e.screen); }

// The graph area's owner drawing: the chart shown, stretched over the whole area, or what the
// area says while it shows none.
DWORD paint_graph_area(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  char text[64] = {};
  bool selected = chart_definition_name(g_shown.group, g_shown.selection) != nullptr;
  // The chart of a quick report before the last is never shown: once that report has ended it is made
  // again from its rows (without progress: this is the area's own painting); while one runs the area
  // stays blank, its rows not all in yet.
  bool stale = selected && !g_shown.counting && g_shown.cache != nullptr && chart_images_stale(&g_shown);
  if (stale && g_quick_report.state == kQuickReportIdle) {
    const RECT& r = item->rcItem;
    build_shown_chart(RECT{0, 0, r.right - r.left, r.bottom - r.top}, nullptr);
    stale = false;
  }
  if (!selected)
    copy_text(text, sizeof text, "No Graph Selected");
  else if (g_shown.counting)
    std::snprintf(text, sizeof text, "Preparing selected Graph...%d", g_shown.percent);
  else if (g_shown.image == nullptr && !stale)
    copy_text(text, sizeof text, "No values found to graph");
  if (text[0] == '\0' && !stale) {
    BITMAPINFOHEADER header;  // copied: it lies 14 bytes into the image's block, not aligned
    std::memcpy(&header, g_shown.image, sizeof header);
    const RECT& r = item->rcItem;
    StretchDIBits(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, header.biWidth,
                  header.biHeight < 0 ? -header.biHeight : header.biHeight, g_shown.pixels,
                  reinterpret_cast<const BITMAPINFO*>(g_shown.image), DIB_RGB_COLORS, SRCCOPY);
    return 1;
  }
  const DrawingResources& r = g_library.drawing;
  HGDIOBJ previous = SelectObject(item->hDC, r.fonts[kFontHeading]);
  draw_button_face(item, r.brushes[kBrushWhite], kGraphAreaText, text);
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

DWORD show_kind(const ButtonEvent& e) {
  g_shown.kind = descriptor_identifier(e.descriptor) - kFirstKindButton;
  return show_chart(e.screen);
}

DWORD add_chart(const ButtonEvent& e) {
  const char* name = chart_definition_name(g_shown.group, g_shown.selection);
  if (name == nullptr || e.companion == nullptr) {
    show_message(e.screen, "No Graph Selected", nullptr, MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  auto* view = static_cast<ChartView*>(allocate_block(GPTR, sizeof(ChartView)));
  if (view == nullptr) return 0;
  view->group = g_shown.group;
  view->selection = g_shown.selection;
  view->kind = g_shown.kind;
  char kind[32], caption[300];
  chart_kind_name(view->kind, kind, sizeof kind);
  std::snprintf(caption, sizeof caption, "%s (%s)", name, kind);
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = caption;
  insert.item.lParam = reinterpret_cast<LPARAM>(view);
  if (SendMessageA(e.companion, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)) == 0) {
    free_block(view);
    return 0;
  }
  return 1;
}

DWORD remove_chart(const ButtonEvent& e) {
  HTREEITEM item = e.companion ? selected_tree_item(e.companion) : nullptr;
  if (item == nullptr) return 1;
  auto* view = reinterpret_cast<ChartView*>(tree_item_value(e.companion, item));
  SendMessageA(e.companion, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
  if (view != nullptr) {
    release_chart_cache(view);
    free_block(view);
  }
  return 1;
}

DWORD save_report(const ButtonEvent& e) {
  RECT area = chart_area(e.screen);
  return SaveGraphicalReport(e.screen, e.companion, g_quick_report.server_name, area.right, area.bottom) ? 1 : 0;
}

}  // namespace

DWORD OpenGraphicalAnalysis(HWND owner, HWND list) {
  // Chosen: the results list's descriptor names the host's graphical analysis page in its 16-bit word 9, where a
  // button names the page it opens; its charts count the rows of the quick report the list shows.
  const uintptr_t* descriptor = list ? control_descriptor_of(list) : nullptr;
  uint16_t page = descriptor ? descriptor_half(descriptor, kDescHalfPageIdentifier) : 0;
  if (page == 0) return 0;
  open_host_page(owner, page);
  return 1;
}

namespace {

void release_graphs() {
  release_chart_cache(&g_shown);
  release_chart_library();
}

constexpr ButtonRoute kButtons[] = {
    {kGraphArea, kGraphArea, draw_graph_area},
    {kAddChart, kAddChart, add_chart},
    {kRemoveChart, kRemoveChart, remove_chart},
    {kSaveReport, kSaveReport, save_report},
    {kFirstKindButton, kLastKindButton, show_kind},
};

constexpr ListRoute kLists[] = {
    {kGraphTree, kGraphTree, select_chart},
    {kKindChooser, kKindChooser, choose_kind},
};

constexpr DrawRoute kDraws[] = {{kGraphArea, kGraphArea, paint_graph_area}};

}  // namespace

extern const Subsystem kGraphsSubsystem = {"graphs",       route_table(kButtons), route_table(kLists), {},
                                           release_graphs, nullptr,               route_table(kDraws)};
