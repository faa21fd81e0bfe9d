// The Windows test host's checks: one line per check ("ok" or "FAIL", the
// case and what was checked, and for a failure what was expected and what
// came), and the closing count.
#pragma once
#include <string>
#include <vector>

namespace wintest {

// The case that the following checks belong to; printed in front of each.
void begin_case(const char* name);
const std::string& current_case();

bool check(bool passed, const std::string& what, const std::string& detail = "");
bool check_equal(const std::string& expected, const std::string& actual, const std::string& what);
bool check_equal(unsigned long long expected, unsigned long long actual, const std::string& what);
// Lists compare whole; a failure shows both, one entry per line.
bool check_equal(const std::vector<std::string>& expected, const std::vector<std::string>& actual,
                 const std::string& what);

// Prints "N passed, N failed"; the process exit code: 0 when nothing failed.
int finish();

// Ends the run when a case waits longer than this for the library (a window
// nobody answers, a thread that never ends): a failure line, the count, exit.
void start_watchdog(unsigned seconds_per_case);

}  // namespace wintest
