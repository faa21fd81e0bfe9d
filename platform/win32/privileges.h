// The console process's token: which privileges are enabled. The hive files
// ask before saving or restoring a key; the world forgets them when it is opened.
#pragma once
#include <windows.h>

namespace win32 {

// Whether the privilege (SE_BACKUP_NAME, SE_RESTORE_NAME, ...) is held and enabled in the process token.
bool privilege_enabled(const char* name);
// Every privilege back to disabled, as in a process that has just started.
void privileges_forget_all();

}  // namespace win32
