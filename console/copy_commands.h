// vornix-console copy-profile, copy-report, copy-profiles, rename, export,
// import, archives and restore-archive: definitions moved between servers by
// the library's code in-process, every step printed as a results row.
#pragma once
#include <string>
#include <vector>

namespace console {

// copy-profile|copy-report NAME --from SERVER --to SERVER... [--overwrite]
int copy_definition_command(std::vector<std::string> args, bool reports);
// copy-profiles --from NAME --profile NAME... --to NAME... [--overwrite]: the rows dropped as the host drops them.
int copy_profiles_command(std::vector<std::string> args);
// rename profile|report|schedule OLD NEW --server NAME
int rename_command(std::vector<std::string> args, const std::string& server);
// export --out FILE [--reports] SERVER:NAME...
int export_command(std::vector<std::string> args);
// import FILE [--reports] --server NAME
int import_command(std::vector<std::string> args, const std::string& server);
// archives --server NAME
int archives_command(std::vector<std::string> args, const std::string& server);
// restore-archive FILE --yes --server NAME
int restore_archive_command(std::vector<std::string> args, const std::string& server);

}  // namespace console
