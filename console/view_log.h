// vornix-console view-log: hand-picked activity log files decoded by the
// library's reader into the columns of their family's quick-report view.
#pragma once
#include <string>
#include <vector>

namespace console {

// Decodes the files (all of one family) and writes their rows as CSV to
// csv_path, or as a table on standard output when csv_path is empty. Files
// that cannot be read get one line on standard error each; so do damaged
// stretches, with their count. Returns the exit code: 0 when every file was
// shown, 1 otherwise.
int view_log(const std::vector<std::string>& files, const std::string& csv_path);

}  // namespace console
