// vornix-console logs and delete-log-folders: a server's log file lists and
// the delete, archive and restore commands on chosen files, and the removal
// of its log folders, run by the library's code in-process.
#pragma once
#include <string>
#include <vector>

namespace console {

// args: list|delete|archive|restore, optionally --archived (the archive
// folder's files instead of the current ones), then file names or paths.
// Returns the exit code: 0 when every named file was handled.
int logs_command(std::vector<std::string> args, const std::string& server);

// Removes the given folders, or the server's log folder, its archive folder
// and its agent's staging folder. Returns 0 when every folder is gone.
int delete_log_folders(const std::vector<std::string>& folders, const std::string& server);

}  // namespace console
