// vornix-console enterprise-status, servers-known, alert-agents, agent-stats,
// scan-range and agent-ip: the communication screens' buttons pressed, the
// server lists' context menus chosen and their dialogs answered, while the
// world's agents answer in this process. Each returns the exit code.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sim/fake_pipe_agent.h"

namespace console {

int enterprise_status_command(std::vector<std::string> args);
int servers_known_command(std::vector<std::string> args);
int alert_agents_command(std::vector<std::string> args);
int agent_stats_command(std::vector<std::string> args);
int scan_range_command(std::vector<std::string> args);
int agent_ip_command(std::vector<std::string> args);
// The pipes of the world's agents ([agent] pipe = NAME in machine.ini), served while the owner lives.
std::vector<std::unique_ptr<support::FakePipeAgent>> start_agent_pipes();

}  // namespace console
