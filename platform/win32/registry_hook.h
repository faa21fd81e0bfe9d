// Called by the world when it is opened or closed: drops every cached hive,
// so that the next registry call reads the new world's files. Handles opened
// before then stay valid only for RegCloseKey. Takes the registry's lock; the
// registry never calls into the world while holding it.
#pragma once

namespace win32 {
void registry_forget_all();
}
