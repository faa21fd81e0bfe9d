// The context menus of the server lists (My Server View, the console's servers, the sibling
// product's servers): their entries for a row or for empty space, and the entry chosen.
#pragma once
#include "host/subsystems.h"

DWORD FillServerMenu(const MenuRequest& request);
DWORD ActOnServerMenu(const MenuChoice& choice);
