#include "console/chart_commands.h"

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/report_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

#include "console/substitute_host.h"
#include "graphs/charts.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "host/subsystems.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_definitions.h"
#include "resources/resource.h"
#include "win32/gdi_test_api.h"
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

AnalysisScreen make_analysis_screen(const Library& l, int width, int height) {
  AnalysisScreen a;
  a.screen = host::create_screen(kAnalysisScreenKey, "Graphical Analysis");
  a.graph_tree = add(a.screen, kGraphTreeItem, WC_TREEVIEWA, kGraphTree, kDescriptorList);
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

HTREEITEM insert_tree_item(HWND tree, HTREEITEM parent, const char* text, LPARAM value) {
  TVINSERTSTRUCTA insert = {};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.lParam = value;
  return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The user picks the chart in the graph tree (group, then selection) and its kind in the chooser.
void pick_chart(const Library& l, const AnalysisScreen& a, uint32_t group, uint32_t selection, uint32_t kind) {
  SendMessageA(a.graph_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  HTREEITEM group_item = insert_tree_item(a.graph_tree, nullptr, "charts", static_cast<LPARAM>(group));
  HTREEITEM chart = insert_tree_item(a.graph_tree, group_item, chart_definition_name(group, selection), selection);
  SendMessageA(a.graph_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chart));
  host::send_list_event(l.library, a.graph_tree);
  ui::click_row(a.kinds, static_cast<int>(kind));
  host::send_list_event(l.library, a.kinds);
}

// A chart kind as a number 0 to 7 or by its name ("3D Pie"); false when it is neither.
bool parse_kind(const std::string& text, uint32_t* kind) {
  for (uint32_t k = 0; k < kChartKinds; ++k) {
    char name[32];
    chart_kind_name(k, name, sizeof name);
    if (equal_ignoring_case(name, text.c_str()) || text == std::to_string(k)) return *kind = k, true;
  }
  return false;
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

// The quick report of the server for a chart command: the library in-process and the run.
bool start_report(Library* l, std::vector<std::string>& args, const std::string& server, QuickReportScreen* run) {
  WindowOptions window;
  std::string error;
  if (!take_window_options(args, &window, &error)) return fail(error), false;
  if (!start(l, true)) return false;
  return run_quick_report(*l, server, window, run);
}

// One label a line: line breaks and tabs in a label are shown as \r, \n and \t.
void print_counts() {
  size_t labels = 0;
  const CountEntry* entries = sorted_chart_counts(&labels);
  std::printf("  %zu label%s counted, %zu drawn\n", labels, labels == 1 ? "" : "s",
              labels > kChartTopEntries ? kChartTopEntries : labels);
  for (size_t i = 0; i < labels; ++i) {
    std::string label;
    for (const char* c = entries[i].label; *c; ++c)
      label += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : *c == '\t' ? "\\t" : std::string(1, *c);
    std::printf("%8d  %s\n", entries[i].count, label.c_str());
  }
}

}  // namespace

int chart(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string group_text = take_option(args, "--group", &missing);
  std::string selection_text = take_option(args, "--selection", &missing);
  std::string kind_text = take_option(args, "--kind", &missing);
  std::string size_text = take_option(args, "--size", &missing);
  std::string png = take_option(args, "--png", &missing);
  bool counts = take_flag(args, "--counts");
  uint32_t group = 0, selection = 0, kind = 0;
  int width = 800, height = 600;
  if (missing || server.empty() || !parse_number(group_text, &group) || !parse_number(selection_text, &selection))
    return fail("chart takes --server NAME --group G --selection S [window options] [--kind K] [--size WxH] "
                "[--png OUT] [--counts]");
  if (chart_definition_name(group, selection) == nullptr)
    return fail("no chart is group " + group_text + ", selection " + selection_text);
  if (!kind_text.empty() && !parse_kind(kind_text, &kind))
    return fail("--kind takes 0 to 7 or a kind's name (3D Pie, 2D Pie, 3D Donut, 3D Donut Concave, 2D Donut, "
                "2D Donut Concave, Bar Vertical, Bar Horizontal)");
  if (!parse_size(size_text, &width, &height)) return fail("--size takes WIDTHxHEIGHT, each from 100 to 4000");
  Library l;
  QuickReportScreen run;
  if (!start_report(&l, args, server, &run)) return 1;
  if (!args.empty()) return fail("chart does not take " + args.front());
  AnalysisScreen a = make_analysis_screen(l, width, height);
  pick_chart(l, a, group, selection, kind);
  char kind_name[32];
  chart_kind_name(kind, kind_name, sizeof kind_name);
  std::printf("%s (%s), %dx%d\n", chart_definition_name(group, selection), kind_name, width, height);
  if (counts) print_counts();
  size_t labels = 0;
  sorted_chart_counts(&labels);
  int status = labels == 0 ? fail("nothing to chart: no row of the report has a label for it") : 0;
  if (status == 0 && !png.empty()) {
    // The chart written to a file, as the HTML report has it written.
    ChartView view = {};
    view.group = group, view.selection = selection, view.kind = kind, view.to_file = TRUE;
    copy_text(view.image_file, sizeof view.image_file, png.c_str());
    RECT area = {0, 0, width, height};
    if (!ensure_chart_cache(&view) || BuildChart(&view, area, chart_definition_name(group, selection)) != 1)
      status = fail(png + ": the chart could not be written (Windows error " + std::to_string(GetLastError()) + ")");
    else
      std::printf("  chart written to %s\n", png.c_str());
    release_chart_cache(&view);
  }
  for (HWND list : run.lists) release_rows(l, list);
  release_subsystems();  // the chart shown, as at the library's detach
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
    return fail("graphical-report takes --server NAME [window options] --chart GROUP:SELECTION:KIND... --html OUT "
                "[--size WxH]");
  if (!parse_size(size_text, &width, &height)) return fail("--size takes WIDTHxHEIGHT, each from 100 to 4000");
  struct Pick {
    uint32_t group, selection, kind;
  };
  std::vector<Pick> picks;
  for (const std::string& c : charts) {
    size_t first = c.find(':'), second = first == std::string::npos ? first : c.find(':', first + 1);
    Pick p = {0, 0, 0};
    if (second == std::string::npos || !parse_number(c.substr(0, first), &p.group) ||
        !parse_number(c.substr(first + 1, second - first - 1), &p.selection) || !parse_kind(c.substr(second + 1), &p.kind) ||
        chart_definition_name(p.group, p.selection) == nullptr)
      return fail("--chart " + c + ": give GROUP:SELECTION:KIND of a chart (1400:4:\"3D Pie\")");
    picks.push_back(p);
  }
  Library l;
  QuickReportScreen run;
  if (!start_report(&l, args, server, &run)) return 1;
  if (!args.empty()) return fail("graphical-report does not take " + args.front());
  AnalysisScreen a = make_analysis_screen(l, width, height);
  for (const Pick& p : picks) {
    pick_chart(l, a, p.group, p.selection, p.kind);
    l.library.entry_point_button_services(a.screen, 0, host::descriptor_of(a.add_button));
  }
  ui::Answer save;
  save.match = "Save As";
  save.button = IDOK;
  save.edits = {{0, html}};
  ui::script(save);
  DWORD saved = l.library.entry_point_button_services(a.screen, 0, host::descriptor_of(a.save_button));
  ui::clear_script();
  std::string written = html;
  if (written.size() < 5 || !equal_ignoring_case(written.c_str() + written.size() - 5, ".html")) written += ".html";
  std::error_code ec;
  int status = saved == 1 && std::filesystem::is_regular_file(written, ec)
                   ? 0 : fail(written + ": the graphical report was not written");
  if (status == 0) std::printf("  graphical report of %zu chart%s written to %s\n", picks.size(), picks.size() == 1 ? "" : "s", written.c_str());
  // The charts leave the report's tree one by one, as the user removes them.
  while (auto chart = reinterpret_cast<HTREEITEM>(SendMessageA(a.chart_tree, TVM_GETNEXTITEM, TVGN_ROOT, 0))) {
    SendMessageA(a.chart_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chart));
    l.library.entry_point_button_services(a.screen, 0, host::descriptor_of(a.remove_button));
  }
  for (HWND list : run.lists) release_rows(l, list);
  return status;
}

int report_definitions(std::vector<std::string> args) {
  bool missing = false;
  std::string tiles = take_option(args, "--tiles", &missing);
  bool yes = take_flag(args, "--yes");
  std::string action = args.empty() ? "" : args.front();
  size_t operands = action == "list" ? 0 : action == "set-type" ? 2 : action == "delete" ? 1 : 99;
  if (missing || args.size() != operands + 1 || (!tiles.empty() && action != "list") || (yes && action != "delete"))
    return fail("report-definitions takes list [--tiles DIR], set-type NAME TYPE or delete NAME [--yes]");
  const char* types[] = {"basic", "accessenum", "vertical"};
  if (action == "set-type" && std::none_of(std::begin(types), std::end(types), [&](const char* t) {
        return equal_ignoring_case(t, args[2].c_str());
      }))
    return fail("the report type is one of BASIC, ACCESSENUM or VERTICAL");
  Library l;
  if (!start(&l, true)) return 1;
  char file[MAX_PATH];
  report_definitions_path(file, sizeof file);
  HWND screen = host::create_screen(kDefinitionsScreenKey, "Report Definitions");
  HWND list = add(screen, kDefinitionsItem, WC_LISTVIEWA, kReportDefinitionsList, kDescriptorListView);
  HWND remove = add(screen, kDeleteDefinitionItem, "Button", kDeleteDefinitionButton, kDescriptorPushButton,
                    kDefinitionsItem, kDefinitionsScreenKey);
  host::send_list_event(l.library, list);
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  auto record_of = [&](int row) { return reinterpret_cast<const BYTE*>(list_row_param(list, row)); };
  struct Release {  // the rows go back to the library however the command ends
    const Library& l;
    HWND list;
    ~Release() { release_rows(l, list); }
  } release{l, list};
  if (action == "list") {
    std::printf("Report definitions in %s: %d\n", file, rows);
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    std::error_code ec;
    if (!tiles.empty()) std::filesystem::create_directories(tiles, ec);
    int status = 0;
    for (int row = 0; row < rows; ++row) {
      const BYTE* r = record_of(row);
      const char* emails = definition_row_emails(r);
      std::printf("  %-30s type %s, output %s, names %s, e-mail %s, effective permissions %s\n", definition_row_name(r),
                  reinterpret_cast<const char*>(r + kDefinitionReportTypeOffset),
                  reinterpret_cast<const char*>(r + kDefinitionOutputTypeOffset),
                  reinterpret_cast<const char*>(r + kDefinitionNameFormatOffset), emails[0] ? emails : "(none)",
                  r[kDefinitionEpermOffset] ? "on" : "off");
      if (tiles.empty()) continue;
      int image = 0;
      std::memcpy(&image, r + kDefinitionImageOffset, 4);
      std::string path = tiles + "/tile-" + std::to_string(row + 1) + ".png";
      if (qvmr_image_list_write_png(images, image, path.c_str())) std::printf("    tile: %s\n", path.c_str());
      else status = fail(path + ": the tile could not be written");
    }
    return status;
  }
  int row = -1;
  for (int i = 0; i < rows && row < 0; ++i)
    if (equal_ignoring_case(definition_row_name(record_of(i)), args[1].c_str())) row = i;
  if (row < 0) return fail("no report definition " + args[1] + " in " + file);
  ui::click_row(list, row);
  if (action == "set-type") {
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
    if (!changed) return fail("the report type of " + args[1] + " was not changed");
    std::printf("%s: report type %s\n", args[1].c_str(), reinterpret_cast<const char*>(record_of(row) + kDefinitionReportTypeOffset));
    return 0;
  }
  ui::Answer confirm;
  confirm.match = "DELETE DEFINITION?";
  confirm.button = yes ? IDYES : IDNO;
  ui::script(confirm);
  l.library.entry_point_button_services(screen, 0, host::descriptor_of(remove));
  ui::clear_script();
  // Listed again, as the host refreshes the list after a deletion.
  release_rows(l, list);
  host::send_list_event(l.library, list);
  if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == rows)
    return fail(args[1] + " was not deleted" + (yes ? "" : " (--yes confirms it)"));
  std::printf("%s: deleted from %s\n", args[1].c_str(), file);
  return 0;
}

}  // namespace console
