// The work no decode into row items can avoid: read every byte of the files
// and allocate and free each row's item and texts from the memory pair. One
// recorded decode pass gives the exact sequence of blocks; replaying it beside
// a plain read of the files times that floor, so a decode can be judged
// against what it must do.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/host.h"
#include "host/win32.h"

namespace unavoidable_work {

struct BlockEvent {
  uint32_t size_or_block;  // an allocation's size, or the index of the block freed
  uint32_t kind;           // 0 allocate, 1 allocate zeroed, 2 free
};

inline std::vector<std::string> g_files;
inline std::vector<std::vector<BlockEvent>> g_events;  // per file
inline std::unordered_map<void*, uint32_t> g_block_index;  // live block to its allocation's number
inline uint32_t g_blocks_allocated = 0;

inline HGLOBAL WINAPI recording_alloc(UINT flags, SIZE_T bytes) {
  HGLOBAL handle = GlobalAlloc(flags, bytes);
  g_block_index[handle] = g_blocks_allocated++;
  g_events.back().push_back({static_cast<uint32_t>(bytes), (flags & GMEM_ZEROINIT) ? 1u : 0u});
  return handle;
}

inline HGLOBAL WINAPI recording_free(HGLOBAL block) {
  auto it = g_block_index.find(block);
  if (it != g_block_index.end()) {
    g_events.back().push_back({it->second, 2});
    g_block_index.erase(it);
  }
  return GlobalFree(block);
}

// Records the memory pair's blocks while decode(path) runs over each file.
template <typename Decode>
void record(const std::vector<std::string>& files, Decode decode) {
  g_files = files;
  g_events.clear();
  g_library.allocate = recording_alloc;
  g_library.free_block = recording_free;
  for (const std::string& path : files) {
    g_events.emplace_back();
    g_block_index.clear();
    g_blocks_allocated = 0;
    decode(path);
  }
  g_library.allocate = nullptr;
  g_library.free_block = nullptr;
}

// The plain read of every file, then its recorded blocks replayed.
inline void read_and_allocate(benchmark::State& state) {
  std::vector<char> buffer(1 << 20);
  size_t most_blocks = 0, bytes = 0;
  for (const auto& events : g_events) most_blocks = std::max(most_blocks, events.size());
  std::vector<HGLOBAL> blocks(most_blocks);
  for (auto _ : state) {
    bytes = 0;
    for (size_t f = 0; f < g_files.size(); ++f) {
      std::FILE* file = std::fopen(g_files[f].c_str(), "rb");
      std::setvbuf(file, nullptr, _IONBF, 0);  // each fread is one read() into our buffer
      while (size_t n = std::fread(buffer.data(), 1, buffer.size(), file)) {
        bytes += n;
        benchmark::ClobberMemory();
      }
      std::fclose(file);
      size_t next = 0;
      for (const BlockEvent& e : g_events[f]) {
        if (e.kind == 2) GlobalFree(blocks[e.size_or_block]);
        else blocks[next++] = GlobalAlloc(e.kind ? GMEM_ZEROINIT : 0, e.size_or_block);
      }
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

}  // namespace unavoidable_work
