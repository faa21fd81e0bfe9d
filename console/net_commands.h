// vornix-console agent-stats, scan-range and agent-ip: the agents' statistics
// over their pipes, the address-range scan for QVAWKQ servers and the agent
// address override, run by the library's code in-process while the world's
// agents answer in this process. Each returns the exit code.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_pipe_agent.h"

namespace console {

int agent_stats_command(std::vector<std::string> args);
int scan_range_command(std::vector<std::string> args);
int agent_ip_command(std::vector<std::string> args);
// The pipes of the world's agents ([agent] pipe = NAME in machine.ini), served while the owner lives.
std::vector<std::unique_ptr<support::FakePipeAgent>> start_agent_pipes();

}  // namespace console
