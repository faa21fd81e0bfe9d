// vornix-console quick-report and custom-report: a server's activity logs
// read by the library into the quick-report lists (or one custom report list)
// and written as comma-delimited files, one per record family.
#pragma once
#include <string>
#include <vector>

namespace console {

// Both run on the world already opened; args hold the command's options.
// The exit code: 0 when a report was made, 1 with a one-line error otherwise.
int quick_report(std::vector<std::string> args);
int custom_report(std::vector<std::string> args);

// "OUT" with the family before its ".csv" ending: report.csv -> report-logon.csv.
std::string family_csv_path(const std::string& out, const std::string& family);

}  // namespace console
