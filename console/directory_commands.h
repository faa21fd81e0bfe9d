// vornix-console ad: the directory features on the world's domain, run by the
// library's code in-process (the world's domain controller's directory is
// started when it is not running).
//
//   ad dn [TEXT]                    the domain's distinguished name
//   ad schema --selector N          the schema's attribute or class names
//   ad objects --kind KIND [--base DN]
//   ad gpos [--server NAME]         the group policy objects of a server's domain
//   ad scp list|publish [--setting TEXT] [--forest NAME]
//   ad rollback --server NAME [--hours N | --days N] [--row N]... [--answer ok|cancel]
#pragma once
#include <string>
#include <vector>

namespace console {

// args: the words after "ad", on the world already opened. The exit code.
int directory_command(std::vector<std::string> args);

}  // namespace console
