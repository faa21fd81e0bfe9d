// A domain controller's SYSVOL tree for the demo world: the Netlogon value
// that names it and a few group policies with their definition files, a
// scripts folder and the replication service's private folder.
//
//   support::add_demo_sysvol(world, "SRV01");
//   // machines/SRV01/shares/C$/Windows/SYSVOL/sysvol/brightmere.local/Policies/{...}/GPT.INI, ...
#pragma once

#include <string>

#include "sim/world_builder.h"

namespace support {

// Writes the tree below the server's C$ share and its Sysvol value "C:\Windows\SYSVOL\sysvol".
void add_demo_sysvol(WorldBuilder& world, const std::string& server);

}  // namespace support
