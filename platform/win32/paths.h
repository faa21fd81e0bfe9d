// Windows paths on the simulated network: "\\NAME\SHARE\rest" is the folder
// machines/NAME/shares/SHARE/rest of the world, "X:\rest" the console
// machine's share X$; other paths are this computer's own.
#pragma once
#include <windows.h>

#include <string>

namespace platform {

// Maps a Windows path to a path here. Components that exist are found
// ignoring case, as Windows does. Returns 0 or the Windows error of the
// network step that failed: 53 no such machine or not on the network, 5 no
// access, 67 no such share. For a path on another machine's share,
// *read_delay_ms (when asked for) receives that machine's machine.ini
// [machine] read_delay_ms: it sits behind a slow link, and every read of a
// file there waits that many real milliseconds. *share_root (when asked for)
// receives the share's folder here, empty for a path that is on no share.
DWORD map_path(const char* windows_path, std::string* local_path, DWORD* read_delay_ms = nullptr,
               std::string* share_root = nullptr);

}  // namespace platform
