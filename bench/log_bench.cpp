// Log decoding throughput against a plain read of the same files, and body
// unscrambling against memcpy of the same bytes, measured in one run. The
// ratios (candidate throughput over baseline throughput) are printed last.
//
//   ./build/default/log_bench [--megabytes=256]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/win32.h"
#include "reports/log_format.h"
#include "tests/support/logwriter.h"

namespace fs = std::filesystem;

namespace {

struct Corpus {
  std::string folder;
  std::vector<std::string> files;
  uint64_t bytes = 0;
};

Corpus g_corpus;
size_t g_megabytes = 256;
constexpr size_t kFileBytes = 32u << 20;
constexpr size_t kScrambleBytes = 64u << 20;

// Mixed-family log files of the wanted total size, each record type in turn.
void make_corpus() {
  g_corpus.folder = (fs::temp_directory_path() / "qvmr7-bench-logs").string();
  fs::remove_all(g_corpus.folder);
  fs::create_directories(g_corpus.folder);
  std::vector<std::vector<uint8_t>> samples;
  for (const LogRecordType& type : kLogRecordTypes) samples.push_back(support::sample_encoded_record(type.code, type.code));
  size_t next = 0;
  for (int day = 1; g_corpus.bytes < g_megabytes << 20; ++day) {
    support::LogWriter log;
    while (log.size() < kFileBytes) log.append(samples[next++ % samples.size()]);
    std::string path = g_corpus.folder + "/" + support::log_file_name("vnxfs", "SRV01", 2026, 11, day);
    if (!log.save(path)) {
      std::fprintf(stderr, "log_bench: cannot write %s\n", path.c_str());
      std::exit(1);
    }
    g_corpus.files.push_back(path);
    g_corpus.bytes += log.size();
  }
}

void plain_read(benchmark::State& state) {
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    for (const std::string& path : g_corpus.files) {
      std::FILE* file = std::fopen(path.c_str(), "rb");
      std::setvbuf(file, nullptr, _IONBF, 0);  // each fread is one read() into our buffer
      while (std::fread(buffer.data(), 1, buffer.size(), file) > 0) benchmark::ClobberMemory();
      std::fclose(file);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_corpus.bytes));
}

void split_and_decode(benchmark::State& state) {
  std::vector<BYTE> buffer(kLogSplitBufferBytes);
  static DecodedLogRecord decoded;
  uint64_t records = 0;
  for (auto _ : state) {
    for (const std::string& path : g_corpus.files) {
      HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      uint64_t size = 0;
      log_file_size(file, &size);
      LogSplitter splitter;
      begin_log_split(&splitter, read_log_file_at, file, buffer.data(), buffer.size(), 0, size);
      LogSplitItem item;
      while (next_log_split(&splitter, &item) != kLogSplitEnd) {
        if (item.event != kLogSplitRecord) continue;
        restore_log_record_body(item.type, item.body, item.body_length);
        decode_log_record(item.type, item.body, item.body_length, &decoded);
        benchmark::DoNotOptimize(decoded);
        ++records;
      }
      CloseHandle(file);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_corpus.bytes));
  state.counters["records"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
}

std::vector<uint8_t>& scramble_source() {
  static std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> b(kScrambleBytes);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    return b;
  }();
  return bytes;
}

void copy_bytes(benchmark::State& state) {
  std::vector<uint8_t> out(kScrambleBytes);
  for (auto _ : state) {
    std::memcpy(out.data(), scramble_source().data(), kScrambleBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kScrambleBytes));
}

void unscramble_bytes(benchmark::State& state, RestoreMethod method) {
  std::vector<uint8_t>& bytes = scramble_source();
  if (!restore_log_body_using(method, bytes.data(), 1)) {
    state.SkipWithError("this processor lacks the method");
    return;
  }
  for (auto _ : state) {
    restore_log_body_using(method, bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kScrambleBytes));
}

void unscramble_default(benchmark::State& state) {
  std::vector<uint8_t>& bytes = scramble_source();
  for (auto _ : state) {
    restore_log_body(bytes.data(), bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kScrambleBytes));
}

// Keeps each benchmark's real time per iteration, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--megabytes=", 12) == 0) g_megabytes = std::strtoul(argv[i] + 12, nullptr, 10);
  benchmark::Initialize(&argc, argv);
  make_corpus();
  std::printf("corpus: %zu files, %.1f MB of mixed-family logs\n", g_corpus.files.size(),
              static_cast<double>(g_corpus.bytes) / (1 << 20));
  benchmark::RegisterBenchmark("plain_read", plain_read)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("split_and_decode", split_and_decode)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("memcpy", copy_bytes)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_bytewise", unscramble_bytes, kRestoreBytewise)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_sse2", unscramble_bytes, kRestoreSse2)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_avx2", unscramble_bytes, kRestoreAvx2)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble", unscramble_default)->Unit(benchmark::kMillisecond)->MinTime(1);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  fs::remove_all(g_corpus.folder);
  auto ratio = [&](const char* candidate, const char* baseline) {
    return reporter.seconds[baseline] / reporter.seconds[candidate];
  };
  std::printf("decode / plain read throughput: %.2f (target >= 0.5)\n", ratio("split_and_decode", "plain_read"));
  std::printf("unscramble / memcpy throughput: %.2f (target >= 0.5)\n", ratio("unscramble", "memcpy"));
  return 0;
}
