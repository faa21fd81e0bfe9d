// vornix-console chart, graphical-report and report-definitions: a quick
// report's rows counted and drawn as a chart, charts gathered into an HTML
// graphical report, and the report definitions file listed as tiles, retyped
// and pruned. The library's code runs in-process, so that its count table
// and tiles can be read.
#pragma once
#include <string>
#include <vector>

namespace console {

// Each runs on the world already opened; the exit code is 0 when the command did
// what it was asked, 1 with a one-line error otherwise.
int chart(std::vector<std::string> args);
int graphical_report(std::vector<std::string> args);
int report_definitions(std::vector<std::string> args);

}  // namespace console
