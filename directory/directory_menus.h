// The context menus of the lists that show directory changes and of the group member lists.
#pragma once
#include "host/subsystems.h"

DWORD FillChangeReportMenu(const MenuRequest& request);
DWORD ActOnChangeReportMenu(const MenuChoice& choice);
// The member lists and the erase entry: the host carries out what is chosen.
DWORD FillMemberMenu(const MenuRequest& request);
