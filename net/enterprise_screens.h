// The buttons of the enterprise host screens: add, scan and remove enterprise
// hosts, ask them for their status and the servers they know, and list the
// Active Alert agents of a server; and the server screen's Get button.
#pragma once
#include <cstdint>

#include "host/win32.h"

constexpr uint32_t kAddEnterpriseHostButton = 0x6021007A;
constexpr uint32_t kScanEnterpriseHostButton = 0x6021007B;
constexpr uint32_t kEnterpriseHostStatusButton = 0x6021007C;
constexpr uint32_t kRegisteredServersButton = 0x6021007D;
constexpr uint32_t kRemoveEnterpriseHostButton = 0x6021007E;
constexpr uint32_t kEveryHostStatusButton = 0x6021007F;
constexpr uint32_t kAlertAgentsButton = 0x60210095;
constexpr uint32_t kGetServerStatusButton = 0x603100A4;
// The edit field beside the add button, where the user types the host's name or address.
constexpr uint32_t kEnterpriseHostNameField = 0x6028007A;

// Runs the button with this descriptor on its companion list or tree. 1 when
// done, 0 when the user was told of a problem, 4061 for another identifier.
DWORD EnterpriseHostButton(HWND screen, const uintptr_t* descriptor, HWND companion);
