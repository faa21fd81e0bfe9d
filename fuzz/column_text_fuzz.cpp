// Reads arbitrary bytes as an activity log from memory and asks the column
// text code of the text entry point for the columns of a few rows that the
// input chooses: every report column identifier the entry point routes there,
// and one more from the whole range 0x60420801 to 0x60420F16, in a time format
// chosen by the input. No text may reach the end of the host's buffer, and
// nothing may be written past it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/host_services.h"
#include "reports/log_reader.h"

namespace {

constexpr size_t kGuardBytes = 64;
constexpr BYTE kGuard = 0xA5;
constexpr uint32_t kRowChoices = 32;  // a chosen row is one of the first 32
BYTE g_context[kRowContextBytes];
uint32_t g_rows;
uint32_t g_chosen_rows[2];  // besides the first row
uint32_t g_extra_column;

// One column text as the text entry point's report-column route produces it, into a buffer of its size.
void check_column(BYTE* context, uint32_t column) {
  static char buffer[kColumnTextBytes + kGuardBytes];
  std::memset(buffer + kColumnTextBytes, kGuard, kGuardBytes);
  if (report_column_text(context, column, buffer, kColumnTextBytes) != 0) std::abort();
  if (strnlen(buffer, kColumnTextBytes) >= kColumnTextBytes) std::abort();
  for (size_t i = kColumnTextBytes; i < sizeof buffer; ++i)
    if (static_cast<BYTE>(buffer[i]) != kGuard) std::abort();
}

void check_columns(BYTE* context) {
  for (const ReportColumnRun& run : kReportColumnRuns)
    for (uint32_t column = run.first; column <= run.last; ++column) check_column(context, column);
  check_column(context, g_extra_column);
}

uintptr_t WINAPI insert_row(HWND, uintptr_t, uintptr_t, const char*, int, int, uintptr_t, uintptr_t, void* context,
                            DWORD*) {
  auto* record = static_cast<BYTE*>(context);
  uint32_t row = g_rows++;
  if (row == 0 || row == g_chosen_rows[0] || row == g_chosen_rows[1]) check_columns(record);
  void* item;
  LogFamily family = row_item(record, &item);
  free_report_row_item(family, item);
  return 1;
}

// The input's byte at `back` places from its end; 0 when it is shorter.
BYTE byte_from_end(const uint8_t* data, size_t size, size_t back) { return size > back ? data[size - 1 - back] : 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The record buffer that a file read allocates per file, kept from one input to the next.
  static std::vector<BYTE> buffer(kLogSplitBufferBytes);
  static bool ready = false;
  if (!ready) {
    g_library.quiet_mode = 1;
    refresh_time_zone();
    g_host_services[kHostInsertReportRow] = reinterpret_cast<uintptr_t>(&insert_row);
    set_row_server_name(g_context, "FS1");
    ready = true;
  }

  // The last bytes choose the report's time format (0..10, and one beyond) and zone, the rows asked
  // and the further column.
  BYTE last = byte_from_end(data, size, 0);
  g_report_run = ReportRunState{};
  g_report_run.time_format = last % 12;
  g_report_run.show_utc = last >> 7;
  g_chosen_rows[0] = byte_from_end(data, size, 1) % kRowChoices;
  g_chosen_rows[1] = byte_from_end(data, size, 2) % kRowChoices;
  uint32_t pick = byte_from_end(data, size, 3) | uint32_t{byte_from_end(data, size, 4)} << 8;
  g_extra_column = kFirstReportColumn + pick % (kLastReportColumn - kFirstReportColumn + 1);
  g_rows = 0;

  LogMemory memory = {data, size};
  LogSource source = {read_log_memory_at, &memory, size, INVALID_HANDLE_VALUE};
  LogReadRequest report = {reinterpret_cast<HWND>(static_cast<uintptr_t>(0x101)), 77, "fuzz.vnx", g_context,
                           {5, 6}, nullptr};
  read_log_source(&report, &source, buffer.data());
  return 0;
}
