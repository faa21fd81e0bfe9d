// Log decoding into report row items through the log reader against a plain
// read of the same files, and body unscrambling against memcpy of the same
// bytes, measured in one run; then the memory the decode keeps per row against
// the row item and texts it yields. A third run times the work every decode
// must do (read the files, allocate and free the rows' blocks), which bounds
// the decode ratio. The ratios (candidate throughput over baseline
// throughput) are printed last.
//
//   ./build/default/log_bench [--megabytes=256]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <unordered_map>
#include <utility>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "bench/unavoidable_work.h"
#include "host/host.h"
#include "host/host_services.h"
#include "host/win32.h"
#include "reports/log_format.h"
#include "reports/log_reader.h"
#include "sim/logwriter.h"

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

// ---- Decoding into report rows -------------------------------------------------

// The stand-in host of the decode: it takes each row's item as the host's list
// would, and frees it at once (timed run) or keeps it until the file is done
// (memory run).
uint64_t g_rows = 0;
bool g_keep_items = false;
std::vector<std::pair<LogFamily, void*>> g_kept;

uintptr_t WINAPI take_row(HWND, uintptr_t, uintptr_t, const char*, int, int, uintptr_t, uintptr_t, void* context,
                          DWORD*) {
  void* item;
  LogFamily family = row_item(static_cast<BYTE*>(context), &item);
  ++g_rows;
  if (g_keep_items) g_kept.emplace_back(family, item);
  else free_report_row_item(family, item);
  return 1;
}

void read_into_rows(const std::string& path) {
  static BYTE context[kRowContextBytes];
  LogReadRequest request = {reinterpret_cast<HWND>(static_cast<uintptr_t>(1)), 0, path.c_str(), context, {0, 0},
                            nullptr};
  read_activity_log(&request);
}

void prepare_reader() {
  g_library.quiet_mode = 1;
  g_library.search_cancel = 0;
  g_report_run = ReportRunState{};
  g_host_services[kHostInsertReportRow] = reinterpret_cast<uintptr_t>(&take_row);
}

// The whole path of a report: split, restore, decode, row items, rows to the host.
void decode_into_rows(benchmark::State& state) {
  prepare_reader();
  g_keep_items = false;
  g_rows = 0;
  for (auto _ : state)
    for (const std::string& path : g_corpus.files) read_into_rows(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_corpus.bytes));
  state.counters["rows"] = benchmark::Counter(static_cast<double>(g_rows), benchmark::Counter::kAvgIterations);
}

// ---- Memory per decoded row ------------------------------------------------------

// The memory pair counted: bytes outstanding and their peak.
std::unordered_map<void*, size_t> g_blocks;
size_t g_outstanding = 0, g_peak = 0;

HGLOBAL WINAPI counting_alloc(UINT flags, SIZE_T bytes) {
  HGLOBAL handle = GlobalAlloc(flags, bytes);
  if (handle != nullptr) {
    g_blocks[GlobalLock(handle)] = bytes;
    g_outstanding += bytes;
    g_peak = std::max(g_peak, g_outstanding);
  }
  return handle;
}

HGLOBAL WINAPI counting_free(HGLOBAL block) {
  auto it = g_blocks.find(block);
  if (it != g_blocks.end()) {
    g_outstanding -= it->second;
    g_blocks.erase(it);
  }
  return GlobalFree(block);
}

size_t texts(std::initializer_list<const char*> fields, size_t slack = 2) {
  size_t n = 0;
  for (const char* t : fields)
    if (t != nullptr) n += std::strlen(t) + slack;
  return n;
}

// A row item's own size and its texts' (each text its length and terminating slack).
size_t item_and_texts(LogFamily family, const void* item) {
  switch (family) {
    case kLogFamilyFile: {
      auto* i = static_cast<const FileRowItem*>(item);
      return sizeof *i + texts({i->profile, i->account, i->account_fqdn, i->workstation, i->wts_address, i->sid,
                                i->folder_path, i->share, i->file_name, i->new_name, i->trustee_sid, i->unused_text,
                                i->trustee_domain, i->trustee_name});
    }
    case kLogFamilyLogon: {
      auto* i = static_cast<const LogonRowItem*>(item);
      return sizeof *i + (i->station_session ? kStationSessionBytes : 0) +
             texts({i->profile, i->account, i->account_fqdn, i->sid, i->local_text, i->wts_address, i->logon_domain,
                    i->workstation});
    }
    case kLogFamilyDirectory: {
      auto* i = static_cast<const DirectoryRowItem*>(item);
      return sizeof *i + texts({i->profile, i->object_dn, i->extra_text, i->new_value, i->old_value,
                                i->requester_sam, i->requester_fqdn, i->workstation, i->attribute_comment});
    }
    case kLogFamilyGpoFile: {
      auto* i = static_cast<const GpoFileRowItem*>(item);
      return sizeof *i + texts({i->profile, i->gpo_text1, i->gpo_text2, i->account, i->account_fqdn,
                                i->workstation, i->wts_address, i->sid, i->full_path, i->share, i->file_name,
                                i->new_name});
    }
    case kLogFamilyGpoFileChange: {
      auto* i = static_cast<const GpoFileChangeRowItem*>(item);
      return sizeof *i +
             texts({i->profile, i->gpo_text1, i->gpo_text2, i->account, i->account_fqdn, i->workstation,
                    i->wts_address, i->sid, i->full_path, i->text_a, i->text_b, i->share}) +
             texts({i->change_text1, i->change_text2, i->change_text3, i->change_text4}, 5);
    }
    case kLogFamilyGpoDirectory:
    case kLogFamilyGpoDirectoryValue: {
      auto* i = static_cast<const GpoDirectoryRowItem*>(item);
      return sizeof *i + texts({i->profile, i->gpo_text1, i->gpo_text2, i->object_dn, i->new_value, i->old_value,
                                i->requester_sam, i->requester_fqdn, i->workstation, i->entry_text});
    }
    case kLogFamilyNone: break;
  }
  return 0;
}

struct MemoryFigures {
  uint64_t rows = 0;
  double held_per_row = 0;   // memory-pair bytes the decode leaves per row
  double item_per_row = 0;   // the row items and their texts, per row
  double working_bytes = 0;  // the reader's own memory while a file is open
};

// One untimed pass over the corpus with the host keeping every row of a file until the file is done.
MemoryFigures measure_memory() {
  prepare_reader();
  g_library.allocate = counting_alloc;
  g_library.free_block = counting_free;
  g_keep_items = true;
  MemoryFigures m;
  uint64_t held = 0, items = 0;
  for (const std::string& path : g_corpus.files) {
    size_t before = g_outstanding;
    g_peak = g_outstanding;
    g_kept.clear();
    read_into_rows(path);
    held += g_outstanding - before;
    size_t in_items = 0;
    for (const auto& [family, item] : g_kept) in_items += item_and_texts(family, item);
    items += in_items;
    m.working_bytes = std::max(m.working_bytes, static_cast<double>(g_peak - g_outstanding));
    m.rows += g_kept.size();
    for (const auto& [family, item] : g_kept) free_report_row_item(family, item);
  }
  g_kept.clear();
  g_keep_items = false;
  g_library.allocate = nullptr;
  g_library.free_block = nullptr;
  if (m.rows) {
    m.held_per_row = static_cast<double>(held) / static_cast<double>(m.rows);
    m.item_per_row = static_cast<double>(items) / static_cast<double>(m.rows);
  }
  return m;
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

}  // namespace

int main(int argc, char** argv) {
  g_megabytes = corpus_megabytes(argc, argv, g_megabytes);
  benchmark::Initialize(&argc, argv);
  make_corpus();
  std::printf("corpus: %zu files, %.1f MB of mixed-family logs\n", g_corpus.files.size(),
              static_cast<double>(g_corpus.bytes) / (1 << 20));
  benchmark::RegisterBenchmark("plain_read", plain_read)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("decode_into_rows", decode_into_rows)->Unit(benchmark::kMillisecond)->MinTime(2);
  prepare_reader();
  unavoidable_work::record(g_corpus.files, read_into_rows);
  benchmark::RegisterBenchmark("read_and_allocate", unavoidable_work::read_and_allocate)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("memcpy", copy_bytes)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_bytewise", unscramble_bytes, kRestoreBytewise)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_sse2", unscramble_bytes, kRestoreSse2)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_avx2", unscramble_bytes, kRestoreAvx2)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble_gfni", unscramble_bytes, kRestoreGfni)->Unit(benchmark::kMillisecond)->MinTime(1);
  benchmark::RegisterBenchmark("unscramble", unscramble_default)->Unit(benchmark::kMillisecond)->MinTime(1);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  MemoryFigures memory = measure_memory();
  fs::remove_all(g_corpus.folder);
  auto ratio = [&](const char* candidate, const char* baseline) { return reporter.ratio(candidate, baseline); };
  std::printf("memory per decoded row: %.0f bytes held after decoding %llu rows; its row item and texts: %.0f "
              "bytes; the reader's own %.0f KB while a file is open\n",
              memory.held_per_row, static_cast<unsigned long long>(memory.rows), memory.item_per_row,
              memory.working_bytes / 1024);
  std::printf("memory per decoded row / its row item and texts: %.2f (target <= 1)\n",
              memory.item_per_row > 0 ? memory.held_per_row / memory.item_per_row : 0.0);
  std::printf("the unavoidable work (read every byte, allocate and free each row's item and texts) / plain read "
              "throughput: %.2f: the most any decode into row items reaches\n",
              ratio("read_and_allocate", "plain_read"));
  std::printf("decode / the unavoidable work: %.2f\n", ratio("decode_into_rows", "read_and_allocate"));
  std::printf("decode / plain read throughput: %.2f (target >= 0.5)\n", ratio("decode_into_rows", "plain_read"));
  std::printf("unscramble / memcpy throughput: %.2f (target >= 0.5)\n", ratio("unscramble", "memcpy"));
  return 0;
}
