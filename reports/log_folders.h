// Log folder deletion: empties and removes a log folder tree over the
// administrative share, bottom-up, resetting every entry to normal attributes
// first, and reports each step on a status line, as results rows or through
// the unattended message function.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

constexpr size_t kFolderPathBytes = 1024;
constexpr DWORD kStatusLine = 25;
constexpr int kStepImage = 255;  // host image of a progress row of the deletion
constexpr uint32_t kUnattendedAbort = 1;

// Whether a path names a log folder (or a folder below one): a share or
// drive path, no "." or ".." component, and a component named vnxlogs,
// archived_logs, vnx_archived_logs, vornix, qvawwl or qvawkq below its root.
BOOL is_log_folder_path(const char* path);

// Empties and removes the folder (with or without a trailing backslash).
// status: screen whose line 25 shows progress, or null; owner: owner of
// message boxes, or null; server_text: first cell of results rows; results:
// non-zero reports steps as rows of the open results window, zero through the
// unattended message function. Nothing is reported when both windows are null.
// Returns 0 when the tree is gone; otherwise the number of entries that could
// not be reset plus the error codes of failed folder removals, or 1 when a
// file could not be deleted (the run stops there). A path that is no log
// folder is refused with ERROR_INVALID_NAME and nothing is touched.
DWORD DeleteFolderTree(HWND status, HWND owner, const char* folder, const char* server_text, DWORD results);
