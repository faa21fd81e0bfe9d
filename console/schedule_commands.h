// vornix-console schedules, schedule, saved-reports, run-saved-report and graph-definition: a
// server's scheduled activity profiles and scheduled graphical activities on their screens, its saved
// reports and graphical report definitions, as the host drives the library through its exports.
#pragma once
#include <string>
#include <vector>

namespace console {

// Each command takes --server NAME among its arguments; the exit status.
// The schedules (--graphical: the graphical ones), each opened on its screen and printed as it shows.
int schedules_command(std::vector<std::string> args);
// save NAME --at "DAY HH:MM"... --report NAME... [--disabled] [--replace]; delete NAME; rename OLD NEW [--replace];
// with --graphical the scheduled graphical activities: save takes --definition, --email, --server-emails, --days|--hours.
int schedule_command(std::vector<std::string> args);
int saved_reports_command(std::vector<std::string> args);
// The runner started on the saved custom report's definition file.
int run_saved_report_command(std::vector<std::string> args);
// save NAME --chart G:S:KIND...; default --chart G:S:KIND...; delete NAME.
int graph_definition_command(std::vector<std::string> args);

}  // namespace console
