// vornix-console install-agent, update-agent, agent, remove-agent, scout and
// services: the deployment screens' buttons pressed as a user would, with the
// dialogs answered from the options, run by the library's code in-process.
// The results window's rows are printed as they are added. Each returns the
// exit code: 0 when the run did what was asked (its final row says so).
#pragma once
#include <string>
#include <vector>

namespace console {

int install_agent(std::vector<std::string> args);
int update_agent(std::vector<std::string> args);
int agent_command(std::vector<std::string> args);
int remove_agent(std::vector<std::string> args);
int scout_command(std::vector<std::string> args);
int services_command(std::vector<std::string> args);

}  // namespace console
