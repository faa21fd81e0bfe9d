// A quick report end to end through the quick-report button export: the file
// list from the server's log share, the worker thread, the reader, the row
// filter, the four lists' insert-report-row service and the progress bars,
// over generated logs, against a plain read of the same files in the same
// run. The ratio (quick-report throughput over plain-read throughput) is
// printed last. The log reader alone over the same files is measured too, and
// the work every decode must do (read the files, allocate and free the rows'
// blocks): with what the quick report spends beyond the reader, it bounds the
// ratio.
//
//   ./build/default/report_bench [--megabytes=256]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "bench/unavoidable_work.h"
#include "console/list_view.h"
#include "console/substitute_host.h"
#include "config/registry.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "sim/logwriter.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFileBytes = 32u << 20;
size_t g_megabytes = 256;
std::vector<std::string> g_files;  // the log files as this machine sees them
uint64_t g_bytes = 0;
uint64_t g_rows = 0;

HWND g_screen, g_button;

// The host's list takes each row; its item goes back at once, as a list that
// is cleared before the next run would hand it back.
uintptr_t WINAPI take_row(HWND, uintptr_t, uintptr_t, const char*, int, int, uintptr_t, uintptr_t, void* context,
                          DWORD*) {
  void* item;
  LogFamily family = row_item(static_cast<BYTE*>(context), &item);
  free_report_row_item(family, item);
  ++g_rows;
  return 1;
}

// No memory pair is lent: the library falls back to GlobalAlloc and GlobalFree,
// without the substitute host's journal of every allocation.
DWORD WINAPI no_request(DWORD, DWORD, uintptr_t**, DWORD, DWORD, DWORD) { return 0; }

void make_world(support::WorldBuilder& world) {
  world.add_machine("SRV01", "127.0.0.2");
  world.add_registry_text("SRV01", "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                          "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
  world.add_registry_text(world.console(), "HKCU",
                          "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT]\r\n"
                          "\"_ALLDATES\"=dword:00000001\r\n\r\n");
  std::string folder = world.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs";
  fs::create_directories(folder);
  // Mixed families, every record type in turn.
  std::vector<std::vector<uint8_t>> samples;
  for (const LogRecordType& type : kLogRecordTypes)
    samples.push_back(support::sample_encoded_record(type.code, type.code));
  size_t next = 0;
  for (int day = 1; g_bytes < (g_megabytes << 20); ++day) {
    support::LogWriter log;
    while (log.size() < kFileBytes) log.append(samples[next++ % samples.size()]);
    std::string path = folder + "/" + support::log_file_name("vnxfs", "SRV01", 2026, 11, day);
    if (!log.save(path)) {
      std::fprintf(stderr, "report_bench: cannot write %s\n", path.c_str());
      std::exit(1);
    }
    g_files.push_back(path);
    g_bytes += log.size();
  }
}

void start_library(host::ServiceTable& table) {
  table = host::make_service_table();
  table[kHostInsertItem] = reinterpret_cast<uintptr_t>(&take_row);
  table[kHostRequest] = reinterpret_cast<uintptr_t>(&no_request);
  if (establish_tables(6, table.data()) != 1) {
    std::fprintf(stderr, "report_bench: the library refused the host services table\n");
    std::exit(1);
  }
  g_library.quiet_mode = 1;
  HWND servers_screen = host::create_screen(2, "Servers");
  HWND servers = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
  support::append_row(servers, "SRV01");
  ui::click_row(servers, 0);
  g_screen = host::create_screen(3, "Quick Report");
  host::ControlSpec layout;
  layout.control_id = kQuickReportButton;
  layout.kind = kDescriptorPushButton;
  layout.companion_key = 2;
  layout.companion_item = 200;
  g_button = host::add_control(g_screen, 1900, "Button", "Run Quick Report Now", layout);
  for (int id : kQuickListControls) host::add_control(g_screen, id, WC_LISTVIEWA, "", host::ControlSpec{});
  host::add_progress_bars(g_screen, 1910, kQuickProgressControl, {std::begin(kQuickBarNames), std::end(kQuickBarNames)});
}

void plain_read(benchmark::State& state) {
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    for (const std::string& path : g_files) {
      std::FILE* file = std::fopen(path.c_str(), "rb");
      std::setvbuf(file, nullptr, _IONBF, 0);
      while (std::fread(buffer.data(), 1, buffer.size(), file) > 0) benchmark::ClobberMemory();
      std::fclose(file);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

void read_into_rows(const std::string& path) {
  static BYTE context[kRowContextBytes];
  LogReadRequest request = {reinterpret_cast<HWND>(static_cast<uintptr_t>(1)), 0, path.c_str(), context, {0, 0},
                            nullptr};
  read_activity_log(&request);
}

// The log reader alone over the same files (report mode, no file list, no
// worker, no progress bars): what the quick report costs at the least.
void reader_alone(benchmark::State& state) {
  for (auto _ : state)
    for (const std::string& path : g_files) read_into_rows(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
}

// One press of the button per iteration; the iteration ends when the worker does.
void quick_report(benchmark::State& state) {
  g_rows = 0;
  for (auto _ : state) {
    entry_point_button_services(g_screen, 0, host::descriptor_of(g_button));
    if (g_quick_run.worker == nullptr || g_quick_run.file_count != g_files.size()) {
      state.SkipWithError("the quick report did not start on every file");
      return;
    }
    WaitForSingleObject(g_quick_run.worker, INFINITE);
    host::clear_service_calls();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_bytes));
  state.counters["rows"] = benchmark::Counter(static_cast<double>(g_rows), benchmark::Counter::kAvgIterations);
}

}  // namespace

int main(int argc, char** argv) {
  g_megabytes = corpus_megabytes(argc, argv, g_megabytes);
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder world;
  make_world(world);
  world.open();
  host::ServiceTable table;
  start_library(table);
  std::printf("corpus: %zu files, %.1f MB of mixed-family logs in SRV01's log share\n", g_files.size(),
              static_cast<double>(g_bytes) / (1 << 20));
  benchmark::RegisterBenchmark("plain_read", plain_read)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("reader_alone", reader_alone)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("quick_report", quick_report)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
  unavoidable_work::record(g_files, read_into_rows);
  benchmark::RegisterBenchmark("read_and_allocate", unavoidable_work::read_and_allocate)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  free_quick_report_files();
  release_registry_connections();
  std::printf("the log reader alone takes %.0f%% of the quick report's time (reader alone / plain read: %.2f)\n",
              100.0 * reporter.seconds["reader_alone"] / reporter.seconds["quick_report"],
              reporter.ratio("reader_alone", "plain_read"));
  // What the quick report adds to the reader: the file list, the worker, the window filter and the two
  // progress-bar messages per record. With the work every decode must do it bounds the quick report's ratio.
  double beyond_reader = reporter.seconds["quick_report"] - reporter.seconds["reader_alone"];
  std::printf("the unavoidable work (read every byte, allocate and free each row's item and texts) / plain read: "
              "%.2f; with what the quick report adds to the reader (%.1f ms): %.2f: the most a quick report reaches\n",
              reporter.ratio("read_and_allocate", "plain_read"), beyond_reader,
              reporter.seconds["plain_read"] / (reporter.seconds["read_and_allocate"] + beyond_reader));
  double ratio = reporter.ratio("quick_report", "plain_read");
  std::printf("quick report / plain read throughput: %.2f (target >= 0.3)\n", ratio);
  return 0;
}
