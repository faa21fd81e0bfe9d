// What the groups need from the Windows side: hive files read back through
// RegLoadKeyA, and the agent's pipe served by wintest-pipe.exe beside this
// program.
#include "config/definition_copy.h"
#include "wintest/groups.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr char kLoadedHive[] = "wintest hive";
PROCESS_INFORMATION g_pipe_server = {};

}  // namespace

std::vector<std::string> hive_file_lines(const std::string& file) {
  EnableBackupPrivileges();
  LONG rc = RegLoadKeyA(HKEY_USERS, kLoadedHive, file.c_str());
  if (rc != ERROR_SUCCESS) return {"(RegLoadKeyA gave Windows error " + std::to_string(rc) + ")"};
  std::vector<std::string> lines = registry_lines(HKEY_USERS, kLoadedHive, "file");
  RegUnLoadKeyA(HKEY_USERS, kLoadedHive);
  return lines;
}

bool start_pipe_agent(const Place&, PipeWay way) {
  const char* ways[] = {"well", "short", "long", "wrong-marker"};
  std::string program = program_folder() + "wintest-pipe.exe";
  std::string command = "\"" + program + "\" " + ways[static_cast<int>(way)];
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                      &g_pipe_server))
    return false;
  // Serving once the pipe can be waited for.
  for (int tries = 0; tries < 200; ++tries) {
    if (WaitNamedPipeA("\\\\.\\pipe\\vornixw01", 50)) return true;
    Sleep(25);
  }
  return false;
}

void stop_pipe_agent() {
  if (g_pipe_server.hProcess == nullptr) return;
  TerminateProcess(g_pipe_server.hProcess, 0);
  WaitForSingleObject(g_pipe_server.hProcess, 5000);
  CloseHandle(g_pipe_server.hThread);
  CloseHandle(g_pipe_server.hProcess);
  g_pipe_server = {};
}

}  // namespace wintest
