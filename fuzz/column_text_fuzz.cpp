// Reads arbitrary bytes as an activity log file and asks the column text code
// of the text entry point for every report column identifier of every row
// (0x60420801 to 0x60420F16) in a time format chosen by the input; no text may
// reach the end of the host's buffer, and nothing may be written past it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/host_services.h"
#include "reports/log_reader.h"

namespace {

constexpr size_t kGuardBytes = 64;
constexpr BYTE kGuard = 0xA5;
constexpr int kRowsChecked = 24;  // per input: enough for every family, fast enough to explore
std::string g_path;
BYTE g_context[kRowContextBytes];
int g_rows;

// The column texts as the text entry point's report-column route produces them, into a buffer of its size.
void check_columns(BYTE* context) {
  static char buffer[kColumnTextBytes + kGuardBytes];
  for (uint32_t column = kFirstReportColumn; column <= kLastReportColumn; ++column) {
    std::memset(buffer + kColumnTextBytes, kGuard, kGuardBytes);
    if (report_column_text(context, column, buffer, kColumnTextBytes) != 0) std::abort();
    if (strnlen(buffer, kColumnTextBytes) >= kColumnTextBytes) std::abort();
    for (size_t i = kColumnTextBytes; i < sizeof buffer; ++i)
      if (static_cast<BYTE>(buffer[i]) != kGuard) std::abort();
  }
}

uintptr_t WINAPI insert_row(HWND, uintptr_t, uintptr_t, const char*, int, int, uintptr_t, uintptr_t, void* context,
                            DWORD*) {
  auto* record = static_cast<BYTE*>(context);
  if (g_rows++ < kRowsChecked) check_columns(record);
  void* item;
  LogFamily family = row_item(record, &item);
  free_report_row_item(family, item);
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    g_library.quiet_mode = 1;
    refresh_time_zone();
    g_host_services[kHostInsertReportRow] = reinterpret_cast<uintptr_t>(&insert_row);
    const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    g_path = std::string(shm) + "/column_text_fuzz." + std::to_string(getpid()) + ".vnx";
    set_row_server_name(g_context, "FS1");
    ready = true;
  }
  std::FILE* file = std::fopen(g_path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();

  // The report's time format (0..10, and one beyond) and zone from the last byte.
  BYTE last = size ? data[size - 1] : 0;
  g_report_run = ReportRunState{};
  g_report_run.time_format = last % 12;
  g_report_run.show_utc = last >> 7;
  g_rows = 0;
  LogReadRequest report = {reinterpret_cast<HWND>(static_cast<uintptr_t>(0x101)), 77, g_path.c_str(), g_context,
                           {5, 6}, nullptr};
  read_activity_log(&report);
  return 0;
}
