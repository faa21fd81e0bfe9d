// Scanning 250 world addresses, 20 of which name a machine, with the world's
// name service taking 10 ms for each reverse look-up (as a name server across
// a network does), against resolving the same addresses one after the other
// in the same run. The scan starts one worker per address: the ratio shows
// whether they really wait side by side. Also the time of one statistics
// request over an agent's pipe.
//
//   ./build/default/scan_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/ratio_reporter.h"
#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "net/address_scan.h"
#include "net/agent_stats.h"
#include "sim/fake_pipe_agent.h"
#include "console/list_view.h"
#include "sim/world_builder.h"

namespace {

constexpr int kAddresses = 250;
constexpr int kEveryNth = 12;  // 20 machines among the 250 addresses
constexpr int kDelayMs = 10;
HWND g_list;

void resolve_one_after_another(benchmark::State& state) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  for (auto _ : state) {
    int named = 0;
    for (int n = 1; n <= kAddresses; ++n) {
      ULONG address = inet_addr(("127.0.2." + std::to_string(n)).c_str());
      named += gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET) != nullptr;
    }
    if (named != kAddresses / kEveryNth) state.SkipWithError("the world named other addresses");
  }
  WSACleanup();
}

void scan_range(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    SendMessageA(g_list, LVM_DELETEALLITEMS, 0, 0);
    state.ResumeTiming();
    ScanAddressRange(nullptr, g_list, 127, 0, 2, 1, kAddresses);
    if (ScanAddedCount() != kAddresses / kEveryNth) state.SkipWithError("the scan added other servers");
  }
}

void pipe_request(benchmark::State& state) {
  BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
  build_pipe_request(request);
  for (auto _ : state)
    if (!RefreshAgentStats("SCAN012", nullptr, request, reply)) state.SkipWithError("the pipe gave nothing");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder world;
  for (int n = kEveryNth; n <= kAddresses; n += kEveryNth) {
    char name[16];
    std::snprintf(name, sizeof name, "SCAN%03d", n);
    world.add_machine(name, "127.0.2." + std::to_string(n));
  }
  world.set_world_setting("names", "reverse_delay_ms", std::to_string(kDelayMs));
  world.open();
  host::ServiceTable table = host::make_service_table();
  if (establish_tables(6, table.data()) != 1) {
    std::fprintf(stderr, "scan_bench: the library refused the host services table\n");
    return 1;
  }
  g_library.quiet_mode = 1;
  g_library.sibling_mode = 1;
  g_list = CreateWindowExA(0, WC_LISTVIEWA, "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  support::add_columns(g_list, 1);
  support::FakePipeAgent pipe("SCAN012", "vornixw01", support::PipeScript{});
  std::printf("%d addresses, %d of them named, %d ms per reverse look-up\n", kAddresses, kAddresses / kEveryNth,
              kDelayMs);
  benchmark::RegisterBenchmark("resolve_one_after_another", resolve_one_after_another)
      ->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
  benchmark::RegisterBenchmark("scan_range", scan_range)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
  benchmark::RegisterBenchmark("pipe_request", pipe_request)->Unit(benchmark::kMicrosecond)->MinTime(1)->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  release_registry_connections();
  std::printf("statistics over the pipe: %.1f us per request\n", reporter.seconds["pipe_request"]);
  std::printf("one after another / scan: %.2f\n", reporter.ratio("scan_range", "resolve_one_after_another"));
  return 0;
}
