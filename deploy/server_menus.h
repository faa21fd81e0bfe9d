// The context menus of the server lists (My Server View, the console's servers, the sibling
// product's servers): their entries for a row or for empty space, and the entry chosen.
#pragma once
#include "host/subsystems.h"

DWORD FillServerMenu(const MenuRequest& request);
DWORD ActOnServerMenu(const MenuChoice& choice);
// The applets' INI file, at a place the user chooses: the server's name and the address the
// console uses for it ([QVAWKQ] Server= and IPv4=). 1 when written.
DWORD WriteAppletsIni(HWND owner, const char* server, const BYTE* record);
