// The context menus of the profile lists, the saved custom reports, the custom report's servers and
// profile patterns, the report server lists and the directory's server lists.
#pragma once
#include "host/subsystems.h"

// The directory screens' server lists, whose rows can join My Server View.
constexpr bool is_directory_server_list(uint32_t id) { return id == 0x60240018 || id == 0x60240080; }

DWORD FillDefinitionMenu(const MenuRequest& request);
DWORD ActOnDefinitionMenu(const MenuChoice& choice);
