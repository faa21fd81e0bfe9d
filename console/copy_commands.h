// vornix-console copy-profile, copy-report, copy-profiles, rename, export, import, archives and
// restore-archive: definitions moved between servers as the host console drives the library through
// its exports, every step of a copy printed as a results row.
#pragma once
#include <string>
#include <vector>

namespace console {

// copy-profile|copy-report NAME --from SERVER --to SERVER... [--overwrite]: the copy button, or the drop.
int copy_definition_command(std::vector<std::string> args, bool reports);
// copy-profiles --from NAME --profile NAME... --to NAME... [--overwrite]: the rows dropped as the host drops them.
int copy_profiles_command(std::vector<std::string> args);
// rename profile|report|schedule OLD NEW --server NAME
int rename_command(std::vector<std::string> args);
// export --out FILE [--reports] SERVER:NAME...
int export_command(std::vector<std::string> args);
// import FILE [--reports] --server NAME
int import_command(std::vector<std::string> args);
// archives --server NAME [--format table|csv|json] [--wide]
int archives_command(std::vector<std::string> args);
// restore-archive FILE --yes --server NAME
int restore_archive_command(std::vector<std::string> args);

}  // namespace console
