// wintest-pipe.exe WAY: the agent's named pipe \\.\pipe\vornixw01 served on
// this computer until the program is ended, answering each request as the
// fake pipe agent of the Linux tests does in that way: "well" (the 580-byte
// statistics), "short" (their first 60 bytes), "long" (700 bytes) or
// "wrong-marker" (no start time at offset 49).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char kPipe[] = "\\\\.\\pipe\\vornixw01";
constexpr int kInstances = 4;  // each call finds one listening while another serves
constexpr size_t kStatisticsBytes = 580;
constexpr size_t kStartTimeOffset = 49;
constexpr size_t kVersionsOffset = 53;

std::vector<uint8_t> g_reply;

void put_u32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The statistics of the Linux tests' fake agent: every byte its offset modulo 251, the events
// count at 0, the start time at 49, agent 7.02b and driver 6.10c of the ".6" line at 53.
std::vector<uint8_t> statistics(size_t size, bool start_time) {
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i % 251);
  put_u32(out, 0, 1234);
  put_u32(out, kStartTimeOffset, start_time ? 1796540000 : 0);
  const uint8_t versions[7] = {7, 2, 2, 6, 10, 3, 2};
  std::memcpy(out.data() + kVersionsOffset, versions, sizeof versions);
  return out;
}

DWORD WINAPI serve(LPVOID) {
  for (;;) {
    HANDLE pipe = CreateNamedPipeA(kPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
      BYTE request[64];
      DWORD read = 0, written = 0;
      ReadFile(pipe, request, sizeof request, &read, nullptr);
      WriteFile(pipe, g_reply.data(), static_cast<DWORD>(g_reply.size()), &written, nullptr);
      FlushFileBuffers(pipe);
      DisconnectNamedPipe(pipe);
    }
    CloseHandle(pipe);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* way = argc > 1 ? argv[1] : "well";
  if (std::strcmp(way, "short") == 0) g_reply = statistics(60, true);
  else if (std::strcmp(way, "long") == 0) g_reply = statistics(700, true);
  else if (std::strcmp(way, "wrong-marker") == 0) g_reply = statistics(kStatisticsBytes, false);
  else g_reply = statistics(kStatisticsBytes, true);
  for (int i = 1; i < kInstances; ++i) CloseHandle(CreateThread(nullptr, 0, serve, nullptr, 0, nullptr));
  return static_cast<int>(serve(nullptr));
}
