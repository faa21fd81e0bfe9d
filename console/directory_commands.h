// vornix-console ad: the directory features on the world's domain, driven
// through the loaded library's exports as the host console drives them (the
// world's domain controller's directory is started when it is not running).
//
//   ad dn                           the domain's DN, as the picker's "Look in" field shows it
//   ad schema --selector 1|2        the schema's attribute or class names, as the picker lists them
//   ad objects --kind KIND [--base DN]
//   ad gpos [--server NAME]         the group policy objects of a server's domain
//   ad scp list                     the agents' service connection points
//   ad pick --profile NAME --list objects|classes|attributes|gpos --choose TEXT... [--server NAME]
//           [--kind KIND] [--base DN] [--exclude]
//   ad rollback --server NAME [window options] [--row N]... [--answer ok|cancel]
#pragma once
#include <string>
#include <vector>

namespace console {

// args: the words after "ad", on the world already opened. The exit code.
int directory_command(std::vector<std::string> args);
// Starts the world's directory (on its domain controller) when it is not running; false after a one-line error.
bool start_directory_of_world();

}  // namespace console
