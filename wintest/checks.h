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

// A check that is not run here, and why ("skipped: RegRestoreKeyA is not implemented by Wine").
void skip(const std::string& what, const std::string& reason);
// Counts of checks made elsewhere (a child run of the host).
void add_counts(long passed, long failed, long skipped);

// Prints "N passed, N failed, N skipped" (and writes the three numbers to the count file when one
// is set); the process exit code: 0 when nothing failed.
int finish();
void set_count_file(const std::string& path);

// Ends the run when a case waits longer than this for the library (a window
// nobody answers, a thread that never ends): a failure line, the count, exit.
void start_watchdog(unsigned seconds_per_case);
// No time limit from now on (the cases left run in child runs with limits of their own).
void stop_watchdog();

}  // namespace wintest
