// Programs started on the simulated network, for the tests and the console.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace platform {

struct StartedProcess {
  std::string program;       // the program file found, a Windows path
  std::string command_line;  // as given (the application name when there was none)
  DWORD creation_flags = 0;
  BOOL inherit_handles = FALSE;
  int show_window = -1;  // the start-up information's show-window value; -1 when it sets none
  std::string current_directory;
  std::string verb;  // ShellExecuteA's verb; empty for CreateProcessA
};

// Every start since the last clear, oldest first.
std::vector<StartedProcess> started_processes();
void clear_started_processes();

// What a world program does when it is started: its exit code. A null hook gives
// the program back its own behaviour (the scout agent's, see services.h), or none.
using ProgramHook = DWORD (*)(const StartedProcess& started);
void set_program_hook(const char* file_name, ProgramHook hook);

}  // namespace platform
