// The share that holds a server's log files, chosen from the server's disk shares.
#pragma once
#include <cstdint>

#include "host/win32.h"

// The buttons: the product's share (ReportPath, field 0x6038008B) on the current server, the sibling
// product's (LogSharePath, field 0x60F80023) on the selected sibling server.
constexpr uint32_t kChooseReportPathButton = 0x6031208C;
constexpr uint32_t kChooseLogSharePathButton = 0x60F10024;

// Lists the server's disk shares in the dialog SELECT_LOG_SHARE; OK with a share selected stores its name
// through the server setting of the button's field, then shows it in the screen's fields of that value.
// 1 when a share was stored; 0 when none was chosen, the server could not be reached or the write failed
// (each after its message).
DWORD ChooseLogShare(HWND screen, uint32_t button);
