// Reads arbitrary bytes as an activity log through the log reader, from
// memory, in report mode and in quick-report mode, into report row items that
// a stand-in host frees as each row arrives (a leak is a finding).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/host_services.h"
#include "reports/log_reader.h"

namespace {

BYTE g_context[kRowContextBytes];
HWND const kReportList = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x101));

uintptr_t WINAPI insert_row(HWND window, uintptr_t, uintptr_t, const char* text, int, int, uintptr_t, uintptr_t,
                            void* context, DWORD*) {
  if (window == nullptr || text == nullptr || context == nullptr) std::abort();
  if (strnlen(text, kActivityTextBytes) >= kActivityTextBytes) std::abort();
  void* item;
  LogFamily family = row_item(static_cast<BYTE*>(context), &item);
  if (item != nullptr) row_item_event_time(family, item);
  free_report_row_item(family, item);
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The record buffer that a file read allocates per file, kept from one input to the next.
  static std::vector<BYTE> buffer(kLogSplitBufferBytes);
  static bool ready = false;
  if (!ready) {
    g_library.quiet_mode = 1;
    g_host_services[kHostInsertReportRow] = reinterpret_cast<uintptr_t>(&insert_row);
    set_row_server_name(g_context, "FS1");
    ready = true;
  }
  LogMemory memory = {data, size};
  LogSource source = {read_log_memory_at, &memory, size, INVALID_HANDLE_VALUE};

  // Report mode; every fifth input under a small maximum record count.
  g_report_run = ReportRunState{};
  g_report_run.maximum_records = size % 5 == 0 ? 3 : 0;
  LogReadRequest report = {kReportList, 77, "fuzz.vnx", g_context, {5, 6}, nullptr};
  read_log_source(&report, &source, buffer.data());

  // Quick-report mode over a window chosen by the input's size.
  std::memset(&g_quick_report, 0, sizeof g_quick_report);
  g_quick_report.state = kQuickReportRunning;
  g_quick_report.window_start = size % 3 == 0 ? 0x56DE0000u : 0;
  g_quick_report.window_end = 0xFFFFFFFFu;
  g_quick_report.maximum_rows = size % 7 == 0 ? 2 : 100000;
  for (int i = 0; i < kQuickListCount; ++i)
    g_quick_report.lists[i] = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x200 + i));
  LogReadRequest quick = {nullptr, 0, "fuzz.vnx", nullptr, {7, 8}, nullptr};
  read_log_source(&quick, &source, buffer.data());
  return 0;
}
