// The Linux side of each group: the world it runs on (what a fresh Wine prefix
// has, as far as the group reads it), the agents it asks, and what the Wine
// prefix needs from this side.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sim/fake_agents.h"
#include "sim/world_builder.h"
#include "wintest/groups.h"

namespace wintest {

// What a group's Linux run keeps alive while it runs.
struct LinuxSide {
  std::vector<std::unique_ptr<support::FakeAgent>> agents;
};

// Prepares the world (not yet opened) and the place of a group's Linux run. folder is C:\vornix of
// the Wine prefix, worlds the folder for the worlds that the prefix's side uses.
void prepare_linux_side(const std::string& group, support::WorldBuilder& world, Place* place, LinuxSide* side,
                        const std::string& folder, const std::string& worlds);

// Writes what the groups read in the Wine prefix besides the expected texts (folder is its C:\vornix), and
// the world of the prefix's ODBC driver into worlds/sql, with worlds/sql.env naming it and the driver's
// registration ("NAME=value" lines for the Wine run's environment).
void write_wine_inputs(const std::string& folder, const std::string& computer, const std::string& worlds);

// Starts the fake TCP agents for the Windows host, writes their roles and addresses to
// folder/agents.txt ("role address" per line) and serves them until standard input closes.
int serve_agents(const std::string& folder);

}  // namespace wintest
