// vornix-console settings, setting, schedules, schedule, saved-reports and
// run-saved-report: a server's configuration values, its scheduled activity
// profiles and its saved reports, run by the library's code in-process.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace console {

// Every setting of the server as the configuration screens show it, then its lists.
int settings_command(const std::string& server);
// get NAME|0xID, or set NAME|0xID VALUE (names as the registry spells them).
int setting_command(std::vector<std::string> args, const std::string& server);
// The scheduled activity profiles (--graphical: the graphical ones) with their run times and reports.
int schedules_command(std::vector<std::string> args, const std::string& server);
// save NAME --at "DAY HH:MM"... --report NAME... [--disabled] [--replace]; delete NAME; rename OLD NEW [--replace].
int schedule_command(std::vector<std::string> args, const std::string& server);
// A field applied to the servers as the host's edit applies it when the user leaves the field: the
// servers are selected in the console's server list, the first is the one the field names.
int set_field_command(const std::vector<std::string>& servers, uint32_t field, const std::string& value);
int saved_reports_command(const std::string& server);
// Writes the report's definition to a temporary file and starts the runner on it.
int run_saved_report_command(std::vector<std::string> args, const std::string& server);

}  // namespace console
