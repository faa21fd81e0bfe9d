// vornix-console's server configuration commands, driven through the loaded
// library's exports as the host console drives its configuration screens: the
// server is selected in the console's server list (a QVAWKQ server in the
// QVAWKQ server list), the form's list is listed (which fills the form), the
// user types into fields, presses the buttons beside the lists and answers
// their dialogs, and the form's Save writes it.
//
//   settings --server NAME                 every value and list of the server's forms
//   setting get|set NAME|0xID [VALUE] --server NAME
//   set --server NAME... --field 0xID --value TEXT    a field applied as the user leaves it
//   departments --server NAME [--add D]... [--leave D]... [--host D] | departments --known
//   report-to --server NAME [--add HOST]... [--remove HOST]...
//   enterprise-hosts [--include HOST]...
//   logon-containers --server NAME [--add NAME]... [--remove NAME]...
//   qvawkq-groups --server NAME [--allow G]... [--exclude G]... [--remove G]...
//   qvawkq-versions --server NAME [--add N]... [--remove N]...
//   qvawkq-ranges --server NAME [--add A.B.C.D-E.F.G.H]... [--remove A.B.C.D-E.F.G.H]...
//   qvawkq-hours --server NAME [--set "Mon-Fri 08-17; Sat 09"] [--click LABEL]...
#pragma once
#include <string>
#include <vector>

namespace console {

// Each runs on the world already opened, with the command's words after its name; the exit code.
int settings_command(std::vector<std::string> args);
int setting_command(std::vector<std::string> args);
int set_field_command(std::vector<std::string> args);
int departments_command(std::vector<std::string> args);
int report_to_command(std::vector<std::string> args);
int enterprise_hosts_command(std::vector<std::string> args);
int logon_containers_command(std::vector<std::string> args);
int qvawkq_groups_command(std::vector<std::string> args);
int qvawkq_versions_command(std::vector<std::string> args);
int qvawkq_ranges_command(std::vector<std::string> args);
int qvawkq_hours_command(std::vector<std::string> args);

}  // namespace console
