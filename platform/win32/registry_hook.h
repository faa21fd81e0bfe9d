// Called by the world when it is opened or closed: drops every cached hive,
// so that the next registry call reads the new world's files. Handles opened
// before then stay valid only for RegCloseKey. Takes the registry's lock; the
// registry never calls into the world while holding it.
#pragma once

namespace win32 {
void registry_forget_all();
// Called by the world when it is opened: with `in_memory` (world.ini [world] registry = memory) the
// machines' hive files are read but never written back, every change staying in memory (a fuzz
// target makes thousands of changes a second). Takes the registry's lock.
void registry_keep_in_memory(bool in_memory);
}
