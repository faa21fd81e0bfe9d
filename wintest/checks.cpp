#include "wintest/checks.h"

#include <windows.h>

#include <cstdio>

namespace wintest {
namespace {

std::string g_case;
volatile LONG g_passed;
volatile LONG g_failed;
volatile LONG g_skipped;
std::string g_count_file;
volatile ULONGLONG g_case_started;
unsigned g_case_seconds;

void print_line(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Control characters are shown as C escapes, so that one check stays one line.
std::string shown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return "\"" + out + "\"";
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "\n      " + shown(line);
  return out.empty() ? " (none)" : out;
}

DWORD WINAPI watch(LPVOID) {
  for (;;) {
    Sleep(500);
    if (g_case_seconds == 0 || GetTickCount64() - g_case_started < g_case_seconds * 1000ull) continue;
    print_line("FAIL " + g_case + ": still waiting after " + std::to_string(g_case_seconds) +
               " seconds; the run ends here");
    InterlockedIncrement(&g_failed);
    ExitProcess(static_cast<UINT>(finish()));
  }
}

}  // namespace

void begin_case(const char* name) {
  g_case = name;
  g_case_started = GetTickCount64();
}

const std::string& current_case() { return g_case; }

bool check(bool passed, const std::string& what, const std::string& detail) {
  InterlockedIncrement(passed ? &g_passed : &g_failed);
  print_line((passed ? "ok   " : "FAIL ") + g_case + ": " + what + (passed || detail.empty() ? "" : "\n" + detail));
  return passed;
}

bool check_equal(const std::string& expected, const std::string& actual, const std::string& what) {
  return check(expected == actual, what, "      expected " + shown(expected) + "\n      got      " + shown(actual));
}

bool check_equal(unsigned long long expected, unsigned long long actual, const std::string& what) {
  return check(expected == actual, what,
               "      expected " + std::to_string(expected) + ", got " + std::to_string(actual));
}

bool check_equal(const std::vector<std::string>& expected, const std::vector<std::string>& actual,
                 const std::string& what) {
  return check(expected == actual, what, "    expected:" + joined(expected) + "\n    got:" + joined(actual));
}

void skip(const std::string& what, const std::string& reason) {
  InterlockedIncrement(&g_skipped);
  print_line("skip " + g_case + ": " + what + ": " + reason);
}

void add_counts(long passed, long failed, long skipped) {
  InterlockedExchangeAdd(&g_passed, passed);
  InterlockedExchangeAdd(&g_failed, failed);
  InterlockedExchangeAdd(&g_skipped, skipped);
}

void set_count_file(const std::string& path) { g_count_file = path; }

int finish() {
  long passed = g_passed, failed = g_failed, skipped = g_skipped;
  if (!g_count_file.empty()) {
    if (std::FILE* out = std::fopen(g_count_file.c_str(), "w")) {
      std::fprintf(out, "%ld %ld %ld\n", passed, failed, skipped);
      std::fclose(out);
    }
  }
  std::printf("%ld passed, %ld failed, %ld skipped\n", passed, failed, skipped);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}

void start_watchdog(unsigned seconds_per_case) {
  g_case_seconds = seconds_per_case;
  g_case_started = GetTickCount64();
  CloseHandle(CreateThread(nullptr, 0, watch, nullptr, 0, nullptr));
}

void stop_watchdog() { g_case_seconds = 0; }

}  // namespace wintest
