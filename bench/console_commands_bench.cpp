// How long a console command takes from start to exit, against the console's own help (a process that loads
// no library) measured in the same run: `setting set` and `set --field` write the same value on one server of
// the demo network, `servers` lists the known servers. Each ratio is the command's time over the help's, so
// what a command spends beyond starting a process shows whatever its work and its exit cost.
//
//   ./build/default/console_commands_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/ratio_reporter.h"
#include "sim/program_runner.h"
#include "sim/world_builder.h"

namespace {

std::string g_on_world;  // " --world DIR" of the demo network

void run_console(benchmark::State& state, const std::string& arguments) {
  for (auto _ : state) {
    support::ProgramRun run = support::run_program(VORNIX_CONSOLE_PATH, arguments + g_on_world);
    if (run.exit_code != 0) {
      state.SkipWithError(("vornix-console " + arguments + " failed: " + run.output).c_str());
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder scratch;
  const std::string world = scratch.folder() + "/demo";
  support::ProgramRun demo = support::run_program(VORNIX_CONSOLE_PATH, "demo '" + world + "'");
  if (demo.exit_code != 0) {
    std::fprintf(stderr, "console_commands_bench: the demo network could not be made\n%s", demo.output.c_str());
    return 1;
  }
  g_on_world = " --world '" + world + "'";
  auto add = [](const char* name, std::string arguments) {
    benchmark::RegisterBenchmark(name, [arguments](benchmark::State& s) { run_console(s, arguments); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2);
  };
  add("help", "servers --help");
  add("servers", "servers");
  add("setting_set", "setting set ReportPath Audit$ --server SRV01");
  add("set_field", "set --server SRV01 --field 0x6038008B --value Audit$");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double help = reporter.seconds["help"];
  // The reporter keeps each time in the benchmarks' unit, milliseconds.
  for (const char* name : {"servers", "setting_set", "set_field"})
    std::printf("%s time / help time: %.2f (%.1f ms beyond starting the console)\n", name,
                reporter.seconds[name] / help, reporter.seconds[name] - help);
  return 0;
}
