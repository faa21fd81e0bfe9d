#include "console/windows_error.h"
#include "console/chart_commands.h"

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/list_view.h"
#include "console/report_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>

#include "chartdir/legend_record.h"
#include "chartdir/memory_dc.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "win32/gdi_test_api.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kAnalysisScreenKey = 4;
constexpr uint16_t kDefinitionsScreenKey = 5;
constexpr int kGraphTreeItem = 2001, kKindsItem = 2002, kGraphAreaItem = 2003, kChartTreeItem = 2004;
constexpr int kAddChartItem = 2005, kSaveReportItem = 2006, kRemoveChartItem = 2007;
constexpr int kDefinitionsItem = 2101, kDeleteDefinitionItem = 2102;
constexpr uint32_t kGraphTree = 0x60440916, kKindChooser = 0x60440917, kGraphArea = 0x60410918;
constexpr uint32_t kAddChart = 0x60410919, kRemoveChart = 0x6041091A, kSaveReport = 0x6041091B;
constexpr uint32_t kQuickReportResults = 0x60440D1E;
constexpr int kGraphicalAnalysisEntry = 1;
constexpr char kDefinitionsFile[] = "MERIDAXW_FS_REPORT_DEFINITIONS.INI";
constexpr uint32_t kReportDefinitionsList = 0x6034010F, kDeleteDefinitionButton = 0x6031010E;
// A definition's row as the host's definitions list keeps it: its texts and values beside the row's header, its
// name and e-mail list in blocks the record owns.
constexpr size_t kDefinitionOutputTypeOffset = 400, kDefinitionReportTypeOffset = 426;
constexpr size_t kDefinitionNameFormatOffset = 457, kDefinitionEpermOffset = 516, kDefinitionImageOffset = 520;
constexpr int kDefinitionNameBlock = kOwnedBlock1, kDefinitionEmailBlock = kOwnedValueFirst;
constexpr char kNoValues[] = "No values found to graph";

// The host's graph tree: the charts of each group, by selection number, and the quick report list they count.
struct ChartGroup {
  uint32_t group;
  const char* name;
  int view;  // of kQuickViewLists
};
constexpr ChartGroup kChartGroups[] = {{1400, "File Activity Charts", 0},
                                       {1800, "Server Authentication Charts", 1},
                                       {2200, "Active Directory Charts", 2},
                                       {2600, "GPO Charts", 3}};
struct ChartEntry {
  uint32_t group, selection;
  const char* name;
};
constexpr ChartEntry kCharts[] = {
    {1400, 1, "All File Activity Events"},
    {1400, 2, "File Events per Server"},
    {1400, 3, "File Events per Share"},
    {1400, 4, "File Events per User"},
    {1400, 5, "File Events per File"},
    {1400, 6, "File Events per Workstation"},
    {1400, 7, "File Events per IP Address"},
    {1400, 8, "File Events per Remote IP Address (Terminal Server)"},
    {1800, 1, "All Server Authentication Events"},
    {1800, 2, "Logon Failure Types"},
    {1800, 8, "Remote IP Address (Terminal Server)"},
    {1800, 21, "Bad Passwords from IP"},
    {1800, 22, "Bad Passwords by Account"},
    {1800, 30, "Logon Failures per DC"},
    {1800, 50, "Logons per Account"},
    {2200, 1, "All Active Directory Events"},
    {2200, 2, "Active Directory Events by Object Class"},
    {2200, 3, "Active Directory Events by Attribute"},
    {2200, 13, "Active Directory Events per DC"},
    {2200, 14, "Active Directory Create|Delete Computer Object Events"},
    {2200, 15, "Active Directory Create|Delete User Object Events"},
    {2200, 16, "Active Directory Create|Delete Group Object Events"},
    {2200, 17, "Active Directory Group Member Events"},
    {2200, 18, "Active Directory Enable|Disable Account"},
    {2600, 1, "All GPO Events"},
    {2600, 2, "Events per GPO"},
    {2600, 3, "GPO Events per DC"},
    {2600, 4, "GPO Events per User"},
};

const ChartEntry* chart_named(uint32_t group, uint32_t selection) {
  for (const ChartEntry& c : kCharts)
    if (c.group == group && c.selection == selection) return &c;
  return nullptr;
}

const ChartGroup& group_of(uint32_t group) {
  for (const ChartGroup& g : kChartGroups)
    if (g.group == group) return g;
  return kChartGroups[0];
}

// The graphical analysis screen: graph tree, chart-kind chooser, graph area and the report's chart tree.
struct AnalysisScreen {
  HWND screen, graph_tree, kinds, graph_area, chart_tree, add_button, remove_button, save_button;
};

HWND add(HWND screen, int item, const char* class_name, uint32_t id, uint32_t kind, int companion = 0,
         uint16_t companion_key = 0) {
  host::ControlSpec layout;
  layout.control_id = id;
  layout.kind = kind;
  layout.companion_key = companion_key;
  layout.companion_item = static_cast<uint16_t>(companion);
  return host::add_control(screen, item, class_name, "", layout);
}

// The screen the host opens as its graphical analysis page: its graph tree lists the host's charts, its
// chooser the kinds the library names.
AnalysisScreen make_analysis_screen(const Library& l, int width, int height) {
  AnalysisScreen a;
  a.screen = host::create_screen(kAnalysisScreenKey, "Graphical Analysis");
  a.graph_tree = add(a.screen, kGraphTreeItem, WC_TREEVIEWA, kGraphTree, kDescriptorList);
  for (const ChartGroup& g : kChartGroups) {
    HTREEITEM group = support::append_tree_item(a.graph_tree, nullptr, g.name, static_cast<LPARAM>(g.group));
    for (const ChartEntry& c : kCharts)
      if (c.group == g.group) support::append_tree_item(a.graph_tree, group, c.name, static_cast<LPARAM>(c.selection));
  }
  a.kinds = add(a.screen, kKindsItem, WC_LISTVIEWA, kKindChooser, kDescriptorListView);
  a.graph_area = add(a.screen, kGraphAreaItem, "Button", kGraphArea, kDescriptorPushButton);
  MoveWindow(a.graph_area, 0, 0, width, height, FALSE);
  a.chart_tree = add(a.screen, kChartTreeItem, WC_TREEVIEWA, 0, kDescriptorList);
  a.add_button = add(a.screen, kAddChartItem, "Button", kAddChart, kDescriptorPushButton, kChartTreeItem, kAnalysisScreenKey);
  a.remove_button = add(a.screen, kRemoveChartItem, "Button", kRemoveChart, kDescriptorPushButton, kChartTreeItem,
                        kAnalysisScreenKey);
  a.save_button = add(a.screen, kSaveReportItem, "Button", kSaveReport, kDescriptorPushButton, kChartTreeItem, kAnalysisScreenKey);
  host::send_list_event(l.library, a.kinds);  // the library names the kinds
  return a;
}

// The item of the graph tree for a chart.
HTREEITEM tree_item_of(HWND tree, const ChartEntry& chart) {
  for (auto group = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); group;
       group = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(group)))) {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = group;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    if (static_cast<uint32_t>(tv.lParam) != chart.group) continue;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(group)));
         item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
      tv.hItem = item;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
      if (static_cast<uint32_t>(tv.lParam) == chart.selection) return item;
    }
  }
  return nullptr;
}

// The user picks the chart in the graph tree and its kind in the chooser.
void pick_chart(const Library& l, const AnalysisScreen& a, const ChartEntry& chart, int kind) {
  SendMessageA(a.graph_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(tree_item_of(a.graph_tree, chart)));
  host::send_list_event(l.library, a.graph_tree);
  ui::click_row(a.kinds, kind);
  host::send_list_event(l.library, a.kinds);
}

// A chart kind as the chooser names it ("3D Pie") or by its row number; -1 when it is neither.
int parse_kind(HWND kinds, const std::string& text) {
  for (int k = 0; k < row_count(kinds); ++k)
    if (strcasecmp(row_text(kinds, k).c_str(), text.c_str()) == 0 || text == std::to_string(k)) return k;
  return -1;
}

std::string kind_names(HWND kinds) {
  std::string names;
  for (int k = 0; k < row_count(kinds); ++k) names += (k ? ", " : "") + row_text(kinds, k);
  return names;
}

bool parse_number(const std::string& text, uint32_t* out) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *out = static_cast<uint32_t>(std::stoul(text));
  return true;
}

bool parse_size(const std::string& text, int* width, int* height) {
  if (text.empty()) return true;
  unsigned w = 0, h = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%ux%u%c", &w, &h, &extra) != 2 || w < 100 || h < 100 || w > 4000 || h > 4000)
    return false;
  *width = static_cast<int>(w), *height = static_cast<int>(h);
  return true;
}

// The quick report of the server for a chart command, then "View Graphical Analysis" chosen in the context
// menu of its list, which opens the host's analysis page; the page's screen is built as the host builds it.
bool open_analysis(Library* l, std::vector<std::string>& args, const std::string& server, int view, int width,
                   int height, QuickReportScreen* run, AnalysisScreen* analysis) {
  WindowOptions window;
  std::string error;
  if (!take_window_options(args, &window, &error)) return usage_error(error), false;
  if (!args.empty()) return usage_error("the command does not take " + args.front()), false;
  if (!start(l)) return false;
  host::add_page(kAnalysisPage, "Graphical Analysis");
  if (!run_quick_report(*l, server, window, run)) return false;
  HWND list = run->lists[view];
  host::MenuEntries entries;
  const void* record = row_count(list) ? reinterpret_cast<const void*>(row_param(list, 0)) : nullptr;
  host::clear_service_calls();
  bool opened = host::request_menu(l->library, list, kQuickReportResults, record, kDescriptorListView, &entries) == 0 &&
                host::choose_menu_entry(l->library, kQuickReportResults, const_cast<void*>(record),
                                        kGraphicalAnalysisEntry, run->screen) == 1;
  bool page = false;
  for (const std::string& call : host::service_calls()) page = page || call == "page opened Graphical Analysis";
  if (!opened || !page) return fail("the quick report's graphical analysis did not open"), false;
  std::printf("  %s: the Graphical Analysis page opened\n", entries[kGraphicalAnalysisEntry].data());
  *analysis = make_analysis_screen(*l, width, height);
  return true;
}

// Draws the graph area as the host's owner drawing asks the library to: on a device context that records the
// texts drawn (the area's words when it shows no chart), or on a bitmap.
std::string graph_area_words(const Library& l, HWND area) {
  RECT r = {};
  GetClientRect(area, &r);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = area;
  item.rcItem = r;
  item.hDC = qvmr_paint_create_dc();
  auto draw = reinterpret_cast<DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t)>(
      host::export_address(l.library, "entry_point_wm_draw_item"));
  draw(reinterpret_cast<uintptr_t>(area), 0, reinterpret_cast<uintptr_t>(&item), 0, kGraphArea);
  std::string words;
  QvmrDrawnText text = {};
  for (int i = 0; qvmr_paint_drawn_text(item.hDC, i, &text); ++i) words += text.text;
  qvmr_paint_delete_dc(item.hDC);
  return words;
}

bool write_graph_area_png(const Library& l, HWND area, int width, int height, const std::string& png) {
  HDC dc = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = area;
  item.hDC = dc;
  item.rcItem = {0, 0, width, height};
  auto draw = reinterpret_cast<DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t)>(
      host::export_address(l.library, "entry_point_wm_draw_item"));
  draw(reinterpret_cast<uintptr_t>(area), 0, reinterpret_cast<uintptr_t>(&item), 0, kGraphArea);
  auto picture = platform::bitmap_part(bitmap, 0, width, height);
  bool written = picture && platform::write_picture_png(*picture, png);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return written;
}

// The chart's legend, one entry a line, largest count first: line breaks and tabs in a label shown as \r, \n, \t.
void print_legend() {
  auto legend = chartdir::last_legend();
  std::printf("  %zu entr%s drawn\n", legend.size(), legend.size() == 1 ? "y" : "ies");
  for (auto& fields : legend) {
    std::string label = fields.count("label") ? fields["label"] : fields["dataSetName"];
    std::string count = fields.count("value") ? fields["value"] : fields["dsField0"];
    std::string shown;
    for (char c : label) shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    std::printf("%8s  %s\n", count.c_str(), shown.c_str());
  }
}

void release_report(const Library& l, QuickReportScreen* run) {
  for (HWND list : run->lists) release_rows(l, list);
}

}  // namespace

int charts_command(std::vector<std::string> args) {
  if (!args.empty()) return usage_error("charts takes no arguments besides --world DIR");
  Library l;
  if (!start(&l)) return 1;
  AnalysisScreen a = make_analysis_screen(l, 800, 600);
  std::printf("Charts (--group G --selection S, or G:S in --chart G:S:KIND):\n");
  for (const ChartGroup& g : kChartGroups) {
    std::printf("  %u  %s\n", static_cast<unsigned>(g.group), g.name);
    for (const ChartEntry& c : kCharts)
      if (c.group == g.group) std::printf("    %u:%-4u %s\n", static_cast<unsigned>(c.group), static_cast<unsigned>(c.selection), c.name);
  }
  // The kinds as the library names them in the chooser, where --kind and KIND look them up.
  std::printf("Kinds (--kind K, or KIND in --chart G:S:KIND, by number or name):\n");
  for (int k = 0; k < row_count(a.kinds); ++k) std::printf("  %d  %s\n", k, row_text(a.kinds, k).c_str());
  host::unload_library(&l.library);
  return 0;
}

int chart(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string group_text = take_option(args, "--group", &missing);
  std::string selection_text = take_option(args, "--selection", &missing);
  std::string kind_text = take_option(args, "--kind", &missing);
  std::string size_text = take_option(args, "--size", &missing);
  std::string png = take_option(args, "--png", &missing);
  bool counts = take_flag(args, "--counts");
  uint32_t group = 0, selection = 0;
  int width = 800, height = 600;
  if (missing || server.empty() || !parse_number(group_text, &group) || !parse_number(selection_text, &selection))
    return usage_error("chart takes --server NAME --group G --selection S [window options] [--kind K] [--size WxH] "
                       "[--png OUT] [--counts]");
  const ChartEntry* chart = chart_named(group, selection);
  if (chart == nullptr) return fail("no chart is group " + group_text + ", selection " + selection_text);
  if (!parse_size(size_text, &width, &height)) return usage_error("--size takes WIDTHxHEIGHT, each from 100 to 4000");
  if (!output_path_ready("--png", png)) return 1;
  Library l;
  QuickReportScreen run;
  AnalysisScreen a;
  if (!open_analysis(&l, args, server, group_of(group).view, width, height, &run, &a)) return 1;
  int kind = kind_text.empty() ? 0 : parse_kind(a.kinds, kind_text);
  if (kind < 0) {
    release_report(l, &run);
    return usage_error("--kind takes 0 to " + std::to_string(row_count(a.kinds) - 1) + " or a kind's name (" +
                       kind_names(a.kinds) + ")");
  }
  chartdir::forget_last_legend();
  pick_chart(l, a, *chart, kind);
  std::printf("%s (%s), %dx%d\n", chart->name, row_text(a.kinds, kind).c_str(), width, height);
  int status = 0;
  if (graph_area_words(l, a.graph_area) == kNoValues) {
    status = fail("nothing to chart: no row of the report has a label for it");
  } else {
    if (counts) print_legend();
    if (!png.empty()) {
      OutputFile out = output_file(png, "chart.png");
      if (write_graph_area_png(l, a.graph_area, width, height, out.path) && deliver_output(out))
        say_written(out, "  chart written to " + (out.to_stdout ? "standard output" : out.path));
      else
        status = fail(out.path + ": the chart could not be written");
    }
  }
  release_report(l, &run);
  host::unload_library(&l.library);
  return status;
}

int graphical_report(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::vector<std::string> charts = take_options(args, "--chart", &missing);
  std::string html = take_option(args, "--html", &missing);
  std::string size_text = take_option(args, "--size", &missing);
  int width = 800, height = 600;
  if (missing || server.empty() || charts.empty() || html.empty())
    return usage_error("graphical-report takes --server NAME [window options] --chart GROUP:SELECTION:KIND... --html OUT "
                       "[--size WxH]");
  if (!parse_size(size_text, &width, &height)) return usage_error("--size takes WIDTHxHEIGHT, each from 100 to 4000");
  if (!output_path_ready("--html", html)) return 1;
  struct Pick {
    const ChartEntry* chart;
    std::string kind;
  };
  std::vector<Pick> picks;
  for (const std::string& c : charts) {
    size_t first = c.find(':'), second = first == std::string::npos ? first : c.find(':', first + 1);
    uint32_t group = 0, selection = 0;
    const ChartEntry* chart = nullptr;
    if (second == std::string::npos || !parse_number(c.substr(0, first), &group) ||
        !parse_number(c.substr(first + 1, second - first - 1), &selection) ||
        (chart = chart_named(group, selection)) == nullptr)
      return usage_error("--chart " + c + ": give GROUP:SELECTION:KIND of a chart (1400:4:\"3D Pie\")");
    picks.push_back({chart, c.substr(second + 1)});
  }
  Library l;
  QuickReportScreen run;
  AnalysisScreen a;
  if (!open_analysis(&l, args, server, group_of(picks.front().chart->group).view, width, height, &run, &a)) return 1;
  for (const Pick& p : picks) {
    int kind = parse_kind(a.kinds, p.kind);
    if (kind < 0) {
      release_report(l, &run);
      return usage_error("--chart " + p.kind + ": the kind is 0 to " + std::to_string(row_count(a.kinds) - 1) +
                         " or one of " + kind_names(a.kinds));
    }
    pick_chart(l, a, *p.chart, kind);
    press(l, a.screen, a.add_button);
  }
  ui::Answer save;
  save.match = "Save As";
  save.button = IDOK;
  OutputFile out = output_file(html, "graphical-report.html");
  save.edits = {{0, out.path}};
  ui::script(save);
  DWORD saved = press(l, a.screen, a.save_button);
  ui::clear_script();
  std::string written = out.path;
  if (written.size() < 5 || strcasecmp(written.c_str() + written.size() - 5, ".html") != 0) written += ".html";
  out.path = written;
  std::error_code ec;
  int status = saved == 1 && std::filesystem::is_regular_file(written, ec) && deliver_output(out)
                   ? 0 : fail(written + ": the graphical report was not written");
  if (status == 0)
    say_written(out, "  graphical report of " + std::to_string(picks.size()) + " chart" + (picks.size() == 1 ? "" : "s") +
                         " written to " + (out.to_stdout ? "standard output" : written));
  // The charts leave the report's tree one by one, as the user removes them.
  while (auto item = reinterpret_cast<HTREEITEM>(SendMessageA(a.chart_tree, TVM_GETNEXTITEM, TVGN_ROOT, 0))) {
    SendMessageA(a.chart_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    press(l, a.screen, a.remove_button);
  }
  release_report(l, &run);
  host::unload_library(&l.library);
  return status;
}

namespace {

// The definitions file beside the console program, as the program's path names its folder.
std::string definitions_file() {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string path = program;
  size_t slash = path.find_last_of('\\');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + kDefinitionsFile;
}

// A definition row's texts, where the host's definitions list keeps them.
const char* row_field(const BYTE* record, size_t offset) { return reinterpret_cast<const char*>(record + offset); }
const char* row_block(const BYTE* record, int slot) {
  const char* text = static_cast<const char*>(owned_block(record, slot));
  return text ? text : "";
}

}  // namespace

int report_definitions(std::vector<std::string> args) {
  bool missing = false;
  std::string tiles = take_option(args, "--tiles", &missing);
  const bool yes = take_confirmation(args);
  // --format and --wide shape the list alone.
  const bool formatted = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a == "--wide" || a.rfind("--format", 0) == 0;
  });
  Format format;
  if (!take_format(args, &format)) return 1;
  std::string action = args.empty() ? "" : args.front();
  size_t operands = action == "list" ? 0 : action == "set-type" ? 2 : action == "delete" ? 1 : 99;
  if (missing || args.size() != operands + 1 || (!tiles.empty() && action != "list") || (yes && action != "delete") ||
      (formatted && action != "list"))
    return usage_error("report-definitions takes list [--tiles DIR] [--format table|csv|json] [--wide], set-type NAME TYPE or "
                       "delete NAME [--yes]");
  const char* types[] = {"basic", "accessenum", "vertical"};
  if (action == "set-type" && std::none_of(std::begin(types), std::end(types), [&](const char* t) {
        return strcasecmp(t, args[2].c_str()) == 0;
      }))
    return usage_error("the report type is one of BASIC, ACCESSENUM or VERTICAL");
  Library l;
  if (!start(&l)) return 1;
  std::string file = definitions_file();
  HWND screen = host::create_screen(kDefinitionsScreenKey, "Report Definitions");
  HWND list = add(screen, kDefinitionsItem, WC_LISTVIEWA, kReportDefinitionsList, kDescriptorListView);
  HWND remove = add(screen, kDeleteDefinitionItem, "Button", kDeleteDefinitionButton, kDescriptorPushButton,
                    kDefinitionsItem, kDefinitionsScreenKey);
  host::send_list_event(l.library, list);
  int rows = row_count(list);
  auto record_of = [&](int row) { return reinterpret_cast<const BYTE*>(row_param(list, row)); };
  struct Release {  // the rows go back to the library, which then goes, however the command ends
    Library& l;
    HWND list;
    ~Release() {
      release_rows(l, list);
      host::unload_library(&l.library);
    }
  } release{l, list};
  if (action == "list") {
    Listing definitions{"Report definitions in " + file + ": " + std::to_string(rows),
                        {"name", "type", "output", "names", "e-mail", "effective permissions"}, {}, "(none)", {30}};
    definitions.heading = true;
    // Each tile written is named in its definition's row.
    if (!tiles.empty()) definitions.columns.push_back("tile");
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    std::error_code ec;
    if (!tiles.empty()) std::filesystem::create_directories(tiles, ec);
    int status = 0;
    for (int row = 0; row < rows; ++row) {
      const BYTE* r = record_of(row);
      const char* emails = row_block(r, kDefinitionEmailBlock);
      definitions.rows.push_back({row_block(r, kDefinitionNameBlock), row_field(r, kDefinitionReportTypeOffset),
                                  row_field(r, kDefinitionOutputTypeOffset), row_field(r, kDefinitionNameFormatOffset),
                                  emails[0] ? emails : "(none)", record_u32(r, kDefinitionEpermOffset) ? "on" : "off"});
      if (tiles.empty()) continue;
      std::string path = tiles + "/tile-" + std::to_string(row + 1) + ".png";
      if (qvmr_image_list_write_png(images, static_cast<int>(record_u32(r, kDefinitionImageOffset)), path.c_str()))
        definitions.rows.back().push_back(path);
      else
        status = fail(path + ": the tile could not be written");
    }
    print_listing(definitions, format);
    return status;
  }
  int row = -1;
  for (int i = 0; i < rows && row < 0; ++i)
    if (strcasecmp(row_block(record_of(i), kDefinitionNameBlock), args[1].c_str()) == 0) row = i;
  if (row < 0) return fail("no report definition " + args[1] + " in " + file);
  ui::click_row(list, row);
  if (action == "set-type") {
    // The definition's context menu: "Change Report Type", its dialog answered with the type.
    ui::Answer choose;
    choose.match = "CHANGE_REPORT_TYPE";
    choose.button = IDOK;
    choose.edits = {{IDC_REPORT_TYPES, args[2]}};
    ui::script(choose);
    // The definition's menu: "Change Report Type", its dialog answered with the type.
    host::MenuEntries entries;
    auto* record = const_cast<BYTE*>(record_of(row));
    bool offered = host::request_menu(l.library, list, kReportDefinitionsList, record, kDescriptorListView, &entries) == 0 &&
                   std::strcmp(entries[0].data(), "Change Report Type") == 0;
    DWORD changed = offered ? host::choose_menu_entry(l.library, kReportDefinitionsList, record, 0, screen) : 0;
    ui::clear_script();
    if (changed != 1) return fail("the report type of " + args[1] + " was not changed");
    std::printf("%s: report type %s\n", args[1].c_str(), row_field(record_of(row), kDefinitionReportTypeOffset));
    return 0;
  }
  ui::Answer confirm;
  confirm.match = "DELETE DEFINITION?";
  confirm.button = confirmation_answer(yes, IDYES, IDNO);
  ui::script(confirm);
  press(l, screen, remove);
  ui::clear_script();
  // Listed again, as the host refreshes the list after a deletion.
  release_rows(l, list);
  host::send_list_event(l.library, list);
  if (!yes) return not_confirmed(args[1] + " was not deleted");
  if (row_count(list) == rows) return fail(args[1] + " was not deleted");
  std::printf("%s: deleted from %s\n", args[1].c_str(), file.c_str());
  return 0;
}

}  // namespace console
