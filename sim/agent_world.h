// The world an agent deployment needs: the product installation folder on the
// console machine with the agent's file sets (small stand-in files), servers
// that know their system root and platform, and servers with the agent
// already installed and running. Shared by the deploy tests, the benchmark
// and the console's demo network.
//
//   support::add_agent_file_sets(world);
//   support::add_agent_server(world, "SRV02", "127.0.0.3", "Windows Server 2008 R2 Enterprise", true);
//   support::add_installed_agent(world, "SRV01");  // VORNIXWService running, VNXW_K64 installed
#pragma once

#include <string>
#include <vector>

#include "sim/world_builder.h"

namespace support {

// The console program's folder, where the console starts: the file sets are below it.
constexpr char kProductFolder[] = "C:\\Program Files\\Brightmere\\VORNIX";

// The files of a set ("32W", "64W", "AGENT"), in the order the installation copies them.
const std::vector<std::string>& agent_file_set(const std::string& set);

// The three file sets and VNXSCOUT.EXE in the product folder of the console machine, and its
// system folder for the scout agent.
void add_agent_file_sets(WorldBuilder& world);
// A server's SystemRoot (C:\Windows) and the hardware abstraction layer of a 64-bit or a 32-bit PC.
void add_agent_server(WorldBuilder& world, const std::string& name, const std::string& ipv4, const std::string& product,
                      bool x64);
// The 64-bit agent installed on a server as an installation leaves it: its
// files, VORNIXWService running (and its kernel driver service), the services'
// registry keys, and the product key.
void add_installed_agent(WorldBuilder& world, const std::string& name);

}  // namespace support
