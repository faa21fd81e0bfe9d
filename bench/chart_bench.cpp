// Chart counting over a host list of 1,000,000 rows (the user column of the
// file-system view, 500 distinct users) against reading the same cells alone
// in the same run, and the drawing of each chart kind to a PNG file. The
// ratio (counting throughput over reading throughput) is printed last.
//
//   ./build/default/chart_bench [--rows=1000000]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/ratio_reporter.h"
#include "console/substitute_host.h"
#include "graphs/charts.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "sim/world_builder.h"
#include "win32/modules.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace {

size_t g_rows = 1000000;
HWND g_list;   // the million rows counted
HWND g_small;  // 25 users, for the drawing alone
int g_user_column;
std::string g_folder;

HWND make_list(HWND screen, size_t rows, size_t users) {
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 100, 100, screen,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(kFileSystemView)), nullptr, nullptr);
  const ReportView* view = report_view_of_list(kFileSystemView);
  build_report_view(list, view);
  for (size_t i = 0; i < view->count; ++i)
    if (std::strcmp(view->columns[i].title, "Object") == 0) g_user_column = static_cast<int>(i);
  char user[64];
  for (size_t row = 0; row < rows; ++row) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<char*>("Open File");
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    std::snprintf(user, sizeof user, "BRIGHTMERE\\user%03zu", (row * 7919) % users);
    LVITEMA cell = {};
    cell.iSubItem = g_user_column;
    cell.pszText = user;
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
  }
  return list;
}

// The baseline: every key cell read from the list, as counting reads it, and nothing else.
void read_cells(benchmark::State& state) {
  static char cell[kKeyCellBytes];
  for (auto _ : state) {
    size_t length = 0;
    for (size_t row = 0; row < g_rows; ++row) {
      LVITEMA item = {};
      item.iSubItem = g_user_column;
      item.pszText = cell;
      item.cchTextMax = sizeof cell;
      length += static_cast<size_t>(SendMessageA(g_list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    }
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_rows));
}

void count_chart(benchmark::State& state) {
  g_quick_report.lists[kQuickListFileSystem] = g_list;
  for (auto _ : state) {
    size_t labels = 0;
    count_chart_rows(g_list, kFileActivityCharts, 4, &labels);
    sorted_chart_counts(&labels);
    if (labels != 500) state.SkipWithError("the users were not all counted");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_rows));
}

// One chart of 25 labels (1000 rows) counted, drawn and written as a PNG, by kind.
void draw_chart(benchmark::State& state) {
  ChartView view = {};
  view.group = kFileActivityCharts;
  view.selection = 4;
  view.kind = static_cast<uint32_t>(state.range(0));
  view.to_file = TRUE;
  copy_text(view.image_file, sizeof view.image_file, (g_folder + "/chart.png").c_str());
  ensure_chart_cache(&view);
  RECT area = {0, 0, 800, 600};
  g_quick_report.lists[kQuickListFileSystem] = g_small;
  for (auto _ : state)
    if (BuildChart(&view, area, "File Events per User") != 1) state.SkipWithError("no chart drawn");
  release_chart_cache(&view);
  char name[32];
  chart_kind_name(view.kind, name, sizeof name);
  state.SetLabel(name);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--rows=", 7) == 0) g_rows = std::strtoul(argv[i] + 7, nullptr, 10);
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder world;
  world.open();
  g_folder = world.folder();
  host::ServiceTable table = host::make_service_table();
  if (establish_tables(6, table.data()) != 1) return std::fprintf(stderr, "chart_bench: the library refused the table\n"), 1;
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  HWND screen = host::create_screen(3, "Quick Report");
  g_list = make_list(screen, g_rows, 500);
  g_small = make_list(screen, 1000, 25);
  std::printf("host list: %zu rows, 500 distinct users\n", g_rows);
  benchmark::RegisterBenchmark("read_cells", read_cells)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("count_chart", count_chart)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("draw_chart", draw_chart)->DenseRange(0, kChartKinds - 1)->Unit(benchmark::kMillisecond);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("chart counting / reading the cells alone throughput: %.2f (target >= 0.5)\n",
              reporter.ratio("count_chart", "read_cells"));
  return 0;
}
