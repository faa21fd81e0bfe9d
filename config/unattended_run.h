// The unattended run (list event 0x60440932): the scheduled quick report and
// the scheduled graphical reports of the current server mailed to the
// schedule's addresses, every text a line of the host's unattended log file,
// then the list store frozen and the host told that the run has ended.
#pragma once
#include <cstdint>

#include "host/win32.h"

constexpr uint32_t kUnattendedRunList = 0x60440932;

// Runs on the caller's thread; the quick report reads into the four quick-report lists of the
// event list's screen. Returns 1.
DWORD UnattendedRun(HWND list);
