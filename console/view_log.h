// vornix-console view-log: log files picked in a server's log file list and
// read by the library into the columns of their family's quick-report view.
#pragma once
#include <string>
#include <vector>

namespace console {

// view-log --server NAME [--archived] [--csv OUT] FILE...: the files (all of
// one family), picked by name in the server's current (or archived) log file
// list, their rows written as CSV to OUT or as a table on standard output.
// A file that cannot be shown gets one line on standard error. Returns the exit
// code: 0 when every file was shown, 1 otherwise.
int view_log(std::vector<std::string> args);

}  // namespace console
