// vornix-console chart, graphical-report and report-definitions: a quick
// report's graphical analysis opened from its list's menu, a chart drawn in its
// graph area, charts gathered into an HTML graphical report, and the report
// definitions file listed as tiles, retyped and pruned, all through the
// loaded library's exports.
#pragma once
#include <string>
#include <vector>

namespace console {

// Each runs on the world already opened; the exit code is 0 when the command did
// what it was asked, 1 with a one-line error otherwise.
int chart(std::vector<std::string> args);
// Every chart of the graph tree by group and selection, and every chart kind, as chart and graphical-report take them.
int charts_command(std::vector<std::string> args);
int graphical_report(std::vector<std::string> args);
int report_definitions(std::vector<std::string> args);

}  // namespace console
