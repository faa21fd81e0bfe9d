// Drawing the counted rows with the charting library: titles, geometry,
// colours, the legend, the image in memory or in a file, and the cache.
#include <chartdir51.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "graphs/charts.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"

namespace {

constexpr char kChartLibraryFile[] = "chartdir51.dll";
constexpr char kTitleFont[] = "timesbi.ttf";
constexpr char kLegendFont[] = "calibri.ttf";
constexpr int kTitleColour = 0x00BBFF;
constexpr int kDataColours[] = {0xFF6835, 0x0BA0FC, 0x6DCC14, 0xCC9B14, 0xABA0FC, 0xC2FF00, 0xFAB05F,
                                0xB2A056, 0xB25A56, 0x5AB209, 0xF9FF95, 0x71F3FF, 0xFFBEE6, 0xCC7C68,
                                0xFFCA72, 0xFFF045, 0x008AB8, 0xB82E00, 0xF53D00, 0xCC33FF, 0x3366FF,
                                0xC7B1E7, 0xE7C7B1, 0xB6E7B1, 0x53CABE, 0x82D9D0};
constexpr int kDataColourCount = sizeof kDataColours / sizeof kDataColours[0];
constexpr const char* kKindNames[kChartKinds] = {"3D Pie",           "2D Pie",   "3D Donut",      "3D Donut Concave",
                                                 "2D Donut",         "2D Donut Concave", "Bar Vertical", "Bar Horizontal"};
constexpr uint32_t kRangeStartsKnown = 1073807360;  // 0x40010000: earlier starts mean all dates
constexpr uint32_t kThroughRange = 85000;            // seconds from which the range is shown as dates

// The functions of the charting library, loaded once and kept until detach.
struct ChartLibrary {
  HMODULE module;
#define CHARTDIR_POINTER(result, name, parameters) name##_fn name;
  CHARTDIR_FUNCTIONS(CHARTDIR_POINTER)
#undef CHARTDIR_POINTER
};
ChartLibrary g_charts;

// Loads chartdir51.dll and every function the charts call; FALSE after a message naming
// the library (and the function) that could not be had.
BOOL load_chart_library() {
  if (g_charts.module != nullptr) return TRUE;
  HMODULE module = LoadLibraryA(kChartLibraryFile);
  char text[200];
  if (module == nullptr) {
    std::snprintf(text, sizeof text, "Unable to load the charting library %s, error %u", kChartLibraryFile,
                  static_cast<unsigned>(GetLastError()));
    show_message(nullptr, text, "Unable to Graph", MB_OK | MB_ICONERROR);
    return FALSE;
  }
  ChartLibrary loaded = {};
  loaded.module = module;
  const char* missing = nullptr;
#define CHARTDIR_LOAD(result, name, parameters)                                                  \
  loaded.name = reinterpret_cast<name##_fn>(reinterpret_cast<void*>(GetProcAddress(module, #name))); \
  if (loaded.name == nullptr && missing == nullptr) missing = #name;
  CHARTDIR_FUNCTIONS(CHARTDIR_LOAD)
#undef CHARTDIR_LOAD
  if (missing != nullptr) {
    std::snprintf(text, sizeof text, "The charting library %s has no function %s, unable to chart", kChartLibraryFile,
                  missing);
    show_message(nullptr, text, "Unable to Graph", MB_OK | MB_ICONERROR);
    FreeLibrary(module);
    return FALSE;
  }
  g_charts = loaded;
  return TRUE;
}

int half(int size) { return size / 2 > 10 ? size / 2 - 1 : size / 2; }

bool format_time(const char* format, uint32_t seconds, char* out, size_t size) {
  time_t t = static_cast<time_t>(seconds);
  const struct tm* local = std::localtime(&t);
  return local != nullptr && std::strftime(out, size, format, local) > 0;
}

void add_titles(CdBaseChart* chart, int width, const char* title, const char* subtitle) {
  const ChartLibrary& c = g_charts;
  CdTextBox* box = c.CBaseChart_addTitle(chart, title, kTitleFont, 15, kTitleColour);
  c.CBox_setBackground(c.TextBox2Box(box), CD_TRANSPARENT, CD_TRANSPARENT, 0);
  int x = width / 2 > 10 ? width / 2 - 1 : width / 2;
  c.CBaseChart_addText(chart, x, 30, subtitle, kTitleFont, 10, 0x000000, CD_TOP_CENTER);
}

CdBaseChart* make_pie(int width, int height, uint32_t kind, const char* title, const char* subtitle,
                      const CountEntry* entries, size_t kept) {
  const ChartLibrary& c = g_charts;
  CdPieChart* pie = c.CPieChart_create(width, height, CD_PALETTE_BACKGROUND, CD_TRANSPARENT, 0);
  CdBaseChart* chart = c.PieChart2BaseChart(pie);
  add_titles(chart, width, title, subtitle);
  int w = half(width), h = half(height), q = w / 2;
  bool donut = kind >= 2 && kind <= 5;
  int x = q >= 31 ? q - 10 : q + 20, r = q >= 31 ? q - 30 : q;
  if (donut) c.CPieChart_setDonutSize(pie, x, h, r, 60);
  else c.CPieChart_setPieSize(pie, x, h, r);
  c.CPieChart_setLabelFormat(pie, " ");
  c.CBaseChart_addLegend(chart, 2 * q - 15, 48, 1, kLegendFont, 9);
  CdLegendBox* legend = c.CBaseChart_getLegend(chart);
  c.CLegendBox_setKeyBorder(legend, 0xC9C9C9, 0);
  CdTextBox* legend_text = c.LegendBox2TextBox(legend);
  c.CBox_setBackground(c.TextBox2Box(legend_text), 0xFFFFFF, 0xCACACA, 0);
  c.CTextBox_setText(legend_text, "<*block,halign=left,valign=top,width=290*>{label}  <*color=FF0000*>({value})");
  if (kind == 0 || kind == 2 || kind == 3) c.CPieChart_set3D(pie, -1, -1.0, 0);
  std::vector<double> values;
  std::vector<const char*> labels;
  for (size_t i = 0; i < kept; ++i) {
    values.push_back(entries[i].count);
    labels.push_back(entries[i].label);
  }
  c.CPieChart_setData(pie, values.data(), static_cast<int>(kept), labels.data(), static_cast<int>(kept));
  c.CBaseChart_setColors(chart, CD_DATA_COLOR, kDataColours, kDataColourCount);
  if (kind == 3 || kind == 5) c.CPieChart_setSectorStyle(pie, CD_CONCAVE_SHADING, -1, -1);
  if (!donut) c.CPieChart_setExplode(pie, -1, 10);
  return chart;
}

CdBaseChart* make_bars(int width, int height, uint32_t kind, const char* title, const char* subtitle,
                       const CountEntry* entries, size_t kept) {
  const ChartLibrary& c = g_charts;
  CdXYChart* xy = c.CXYChart_create(width, height, CD_PALETTE_BACKGROUND, CD_TRANSPARENT, 0);
  CdBaseChart* chart = c.XYChart2BaseChart(xy);
  for (CdAxis* axis : {c.CXYChart_xAxis(xy), c.CXYChart_yAxis(xy)})
    c.CAxis_setColors(axis, CD_TRANSPARENT, CD_TRANSPARENT, CD_TRANSPARENT, CD_TRANSPARENT);
  add_titles(chart, width, title, subtitle);
  int top = height / 2 + 20;
  int gradient = c.CBaseChart_linearGradientColor(chart, 0, 55, 0, 335, 0xF5F5F5, 0xFFFFFF);
  c.CXYChart_setPlotArea(xy, 10, top, width - 10, height - (height / 2 + 10) - 15, gradient, CD_TRANSPARENT,
                         CD_TRANSPARENT, CD_TRANSPARENT, CD_TRANSPARENT);
  int lighting = c.CChart_barLighting(0.75, 1.75);
  double x0 = 0;
  for (size_t i = 0; i < kept; ++i, x0 += 25) {
    double count = entries[i].count;
    double values[4] = {0, count, count, 0}, xs[4] = {x0, x0, x0 + 20, x0 + 20};
    char count_text[16];
    std::snprintf(count_text, sizeof count_text, "%d", entries[i].count);
    const char* extra[4] = {count_text, count_text, count_text, count_text};
    CdLayer* layer = c.AreaLayer2Layer(
        c.CXYChart_addAreaLayer(xy, values, 4, kDataColours[i % kDataColourCount], entries[i].label));
    c.CLayer_setXData(layer, xs, 4);
    c.CLayer_addExtraField(layer, extra, 4);
    c.CLayer_setBorderColor(layer, CD_TRANSPARENT, lighting);
  }
  c.CBaseChart_addLegend(chart, 5, 48, 0, kLegendFont, 10);
  CdLegendBox* legend = c.CBaseChart_getLegend(chart);
  CdTextBox* legend_text = c.LegendBox2TextBox(legend);
  c.CTextBox_setText(legend_text, "<*block,halign=left,valign=top,width=163*>{dataSetName} <*color=FF0000*>({dsField0})");
  c.CBox_setBackground(c.TextBox2Box(legend_text), CD_TRANSPARENT, 0xDADADA, 0);
  if (kind == 7) c.CXYChart_swapXY(xy, 1);
  return chart;
}

uintptr_t& image_slot(ChartView* view, uint32_t kind) { return view->cache[1 + 2 * kind]; }
uintptr_t& pixels_slot(ChartView* view, uint32_t kind) { return view->cache[2 + 2 * kind]; }

// The image made in memory: a Windows bitmap file (format 4) copied into a block of the
// host's; the image starts after the 14-byte file header, the pixels at the header's offset.
BOOL keep_bitmap(ChartView* view, const char* data, int length) {
  if (length < 54) return FALSE;
  auto* block = static_cast<BYTE*>(allocate_block(GMEM_FIXED, static_cast<SIZE_T>(length)));
  if (block == nullptr) return FALSE;
  std::memcpy(block, data, static_cast<size_t>(length));
  uint32_t offset = block[10] | block[11] << 8 | block[12] << 16 | static_cast<uint32_t>(block[13]) << 24;
  if (offset >= static_cast<uint32_t>(length)) offset = 54;
  uintptr_t& image = image_slot(view, view->kind);
  if (image != 0) free_block(reinterpret_cast<BYTE*>(image) - 14);
  image = reinterpret_cast<uintptr_t>(block + 14);
  pixels_slot(view, view->kind) = reinterpret_cast<uintptr_t>(block + offset);
  view->image = block + 14;
  view->pixels = block + offset;
  return TRUE;
}

// Frees the images of every kind; the cache block stays.
void free_cached_images(ChartView* view) {
  for (uint32_t kind = 0; kind < kChartKinds; ++kind) {
    if (image_slot(view, kind) != 0) free_block(reinterpret_cast<BYTE*>(image_slot(view, kind)) - 14);
    image_slot(view, kind) = pixels_slot(view, kind) = 0;
  }
  view->image = view->pixels = nullptr;
}

}  // namespace

void chart_kind_name(uint32_t kind, char* out, size_t size) {
  if (kind < kChartKinds) copy_text(out, size, kKindNames[kind]);
  else std::snprintf(out, size, "?%d?", static_cast<int>(kind));
}

void chart_subtitle(uint32_t window_start, uint32_t window_end, bool stopped, bool top_25_note, char* out,
                    size_t size) {
  copy_text(out, size, "All Dates");
  if (window_start >= kRangeStartsKnown) {
    char start[64], end[64];
    uint32_t range = window_end > window_start ? window_end - window_start : 0;
    if (range >= kThroughRange) {
      if (!format_time("%a %b %d %Y through ", window_start, start, sizeof start)) std::snprintf(start, sizeof start, "?%X? through ", window_start);
      if (!format_time("%a %b %d %Y", window_end, end, sizeof end)) std::snprintf(end, sizeof end, "?%X?", window_end);
      std::snprintf(out, size, "%s%s", start, end);
    } else {
      if (!format_time("%a %b %d %Y %H:%M", window_end, end, sizeof end)) std::snprintf(end, sizeof end, "?%X?", window_end);
      std::snprintf(out, size, "Last %d hours ending %s", static_cast<int>(range / 3600), end);
    }
  }
  if (stopped) append_text(out, size, " *Report Aborted, partial results*");
  if (top_25_note) append_text(out, size, " <*color=A0A0A0*>(Showing Top 25 values)");
}

BOOL ensure_chart_cache(ChartView* view) {
  if (view->cache == nullptr) view->cache = static_cast<uintptr_t*>(allocate_block(GPTR, kChartCacheBytes));
  if (view->cache == nullptr) return FALSE;
  view->cache[0] = view->kind;
  return TRUE;
}

void release_chart_cache(ChartView* view) {
  if (view->cache != nullptr) {
    free_cached_images(view);
    free_block(view->cache);
  }
  view->cache = nullptr;
  view->image = view->pixels = nullptr;
}

bool chart_images_stale(const ChartView* view) { return view->report_run != g_quick_report.run_number; }

DWORD BuildChart(ChartView* view, const RECT& area, const char* title) {
  if (view->cache == nullptr) {
    show_message(nullptr, "Unexpected Error MM71, unable to chart", nullptr, MB_OK | MB_ICONERROR);
    return 0;
  }
  view->cache[0] = view->kind;
  // A new quick report's rows: every image made from the rows before is of no use any more.
  if (chart_images_stale(view)) {
    free_cached_images(view);
    view->report_run = g_quick_report.run_number;
  }
  if (!view->to_file && view->kind < kChartKinds && image_slot(view, view->kind) != 0) {
    view->image = reinterpret_cast<const BYTE*>(image_slot(view, view->kind));
    view->pixels = reinterpret_cast<const BYTE*>(pixels_slot(view, view->kind));
    return 1;
  }
  view->image = view->pixels = nullptr;  // until this build makes one
  const char* name = chart_definition_name(view->group, view->selection);
  if (name == nullptr || view->kind >= kChartKinds) return 0;
  QuickReportList list = view->group == kFileActivityCharts          ? kQuickListFileSystem
                         : view->group == kServerAuthenticationCharts ? kQuickListLogon
                         : view->group == kActiveDirectoryCharts      ? kQuickListDirectory
                                                                      : kQuickListGpo;
  size_t labels = 0;
  BOOL counted = count_chart_rows(g_quick_report.lists[list], view->group, view->selection, &labels,
                                  view->to_file ? nullptr : view);
  view->counting = FALSE;
  if (!counted || labels == 0) return 0;
  if (!load_chart_library()) return 0;
  const CountEntry* entries = sorted_chart_counts(&labels);
  size_t kept = labels > kChartTopEntries ? kChartTopEntries : labels;
  int width = area.right - area.left, height = area.bottom - area.top;
  bool pie = view->kind < kFirstBarKind;
  char subtitle[300];
  chart_subtitle(g_quick_report.window_start, g_quick_report.window_end, g_report_run.stopped != 0,
                 pie && labels > kChartTopEntries, subtitle, sizeof subtitle);
  CdBaseChart* chart = pie ? make_pie(width, height, view->kind, title, subtitle, entries, kept)
                           : make_bars(width, height, view->kind, title, subtitle, entries, kept);
  BOOL made;
  if (view->to_file) {
    made = g_charts.CBaseChart_makeChart(chart, view->image_file);
  } else {
    const char* data = nullptr;
    int length = 0;
    made = g_charts.CBaseChart_makeChart2(chart, CD_BMP, &data, &length) && keep_bitmap(view, data, length);
  }
  g_charts.CBaseChart_destroy(chart);
  return made ? 1 : 0;
}

void release_chart_library() {
  if (g_charts.module != nullptr) FreeLibrary(g_charts.module);
  g_charts = ChartLibrary{};
}
