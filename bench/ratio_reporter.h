// What the benchmarks share: the corpus size option and a reporter that keeps
// each benchmark's real time per iteration, so that main can print ratios of
// a candidate against its baseline measured in the same run.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  // Throughput of the candidate over that of the baseline.
  double ratio(const char* candidate, const char* baseline) { return seconds[baseline] / seconds[candidate]; }
  std::map<std::string, double> seconds;
};

// --megabytes=N: the size of the generated corpus (default as given).
inline size_t corpus_megabytes(int argc, char** argv, size_t fallback) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--megabytes=", 12) == 0) return std::strtoul(argv[i] + 12, nullptr, 10);
  return fallback;
}
