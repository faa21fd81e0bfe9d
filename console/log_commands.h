// vornix-console logs: a server's log file lists, filled by the library, and
// the delete, archive and restore buttons pressed on the files chosen there.
#pragma once
#include <string>
#include <vector>

namespace console {

// args: list|delete|archive|restore, --server NAME, optionally --archived (the
// archive folder's files instead of the current ones), then file names or paths.
// Returns the exit code: 0 when every named file was handled.
int logs_command(std::vector<std::string> args);

}  // namespace console
