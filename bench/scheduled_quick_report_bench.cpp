// The largest report there is, timed and weighed: the scheduled quick report
// of an unattended run (its list event, as the host sends it) that stops at
// its 2,048,000-row maximum, with the host keeping every row, against the same
// run over the same files with each row handed back at once (the baseline of
// the same run: the reading and decoding without the rows kept). Each prints
// its time and its peak memory above what the process held before; the rows'
// memory per row is set against the 912-byte record that the 32-bit library
// must hold for every row, and that record's share of a 2 GB address space.
//
//   ./build/default/scheduled_quick_report_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/ratio_reporter.h"
#include "config/registry.h"
#include "config/unattended_run.h"
#include "console/linked_library.h"
#include "console/list_view.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "reports/report_views.h"
#include "sim/soak_world.h"
#include "win32/ui_script.h"

namespace {

host::ServiceTable g_table;
uintptr_t g_keep_row = 0;  // the host's row service that keeps each row
HWND g_lists[kQuickListCount];
uint64_t g_rows = 0;

uintptr_t WINAPI hand_back_row(HWND, uintptr_t, uintptr_t, const char*, int, int, uintptr_t, uintptr_t, void* context,
                               DWORD*) {
  void* item;
  LogFamily family = row_item(static_cast<BYTE*>(context), &item);
  free_report_row_item(family, item);
  ++g_rows;
  return 1;
}

// The process's resident memory now and at its peak since the last reset, in bytes (/proc/self/status).
uint64_t status_bytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10) * 1024;
  return 0;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void run_with(benchmark::State& state, uintptr_t row_service) {
  g_table[kHostInsertItem] = row_service;
  if (establish_tables(6, g_table.data()) != 1) {
    state.SkipWithError("the library refused the host services table");
    return;
  }
  g_library.store_frozen = 0;
  for (auto _ : state) {
    g_rows = 0;
    const uint64_t before = status_bytes("VmRSS:");
    reset_peak();
    host::send_list_event(host::in_process_library(), g_lists[kQuickListLogon], kUnattendedRunList);
    const uint64_t peak = status_bytes("VmHWM:");
    state.PauseTiming();
    const uint64_t kept = SendMessageA(g_lists[kQuickListFileSystem], LVM_GETITEMCOUNT, 0, 0);
    const uint64_t rows = kept ? kept : g_rows;
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_MiB"] = static_cast<double>(peak - before) / (1 << 20);
    state.counters["bytes_per_row"] = static_cast<double>(peak - before) / static_cast<double>(rows ? rows : 1);
    // The host hands the rows back before the next run.
    g_library.store_frozen = 0;
    for (HWND list : g_lists) {
      int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
      for (int row = 0; row < n; ++row) delete_list_item(0, 0, reinterpret_cast<void*>(list_row_param(list, row)));
      SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    }
    state.ResumeTiming();
  }
}

void rows_handed_back(benchmark::State& state) { run_with(state, reinterpret_cast<uintptr_t>(&hand_back_row)); }
void rows_kept(benchmark::State& state) { run_with(state, g_keep_row); }

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  setenv("TZ", "UTC", 1);
  support::WorldBuilder world;
  uint64_t file_bytes = 0;
  support::make_soak_world(world, world.folder() + "/soak-files", &file_bytes);
  world.open();
  g_table = host::make_service_table();
  g_keep_row = reinterpret_cast<uintptr_t>(&support::keep_soak_row);
  g_table[kHostRequest] = reinterpret_cast<uintptr_t>(&support::lend_no_memory_pair);
  if (establish_tables(6, g_table.data()) != 1) return 1;
  g_library.quiet_mode = 1;
  HWND servers_screen = host::create_screen(2, "Servers");
  HWND servers = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
  support::append_row(servers, "SRV01");
  ui::click_row(servers, 0);
  g_library.main_server_list = servers;
  HWND screen = host::create_screen(3, "Unattended");
  for (int i = 0; i < kQuickListCount; ++i) {
    g_lists[i] = host::add_control(screen, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
    build_report_view(g_lists[i], report_view_of_list(kQuickListControls[i]));
  }
  std::printf("logs: %d names of one %.1f MB file of %u file-system records in SRV01's log share\n",
              support::kSoakFiles, static_cast<double>(file_bytes) / (1 << 20), support::kSoakRecordsPerFile);
  benchmark::RegisterBenchmark("rows_handed_back", rows_handed_back)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
  benchmark::RegisterBenchmark("rows_kept", rows_kept)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  free_quick_report_files();
  release_registry_connections();
  // The rows the list holds at the end: the activity rows past the maximum and the row that says so.
  // The record is 912 bytes in the 32-bit library; this build widens its pointer slots.
  const size_t record_bytes = kListItemBytes - kOwnedSlots * kPointerWidening;
  const double rows = support::kSoakScheduledMaximum + 2.0;
  const double records = rows * static_cast<double>(record_bytes);
  std::printf("the 32-bit library's %zu-byte records for %.0f rows: %.0f MiB, %.1f%% of a 2 GB address space "
              "(here %zu bytes a record, and the rows took the bytes_per_row above)\n",
              record_bytes, rows, records / (1 << 20), 100.0 * records / 2147483648.0,
              static_cast<size_t>(kListItemBytes));
  std::printf("rows kept / rows handed back throughput: %.2f\n", reporter.ratio("rows_kept", "rows_handed_back"));
  return 0;
}
