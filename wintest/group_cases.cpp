// The groups that both builds run, each in a child run of this program
// ("wintest.exe --group NAME FOLDER"): a group that hangs or stops in a
// Wine stub ends only itself, and its counts join this run's.
#include <cstdio>

#include "wintest/checks.h"
#include "wintest/groups.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr DWORD kGroupMilliseconds = 15 * 60 * 1000;

// Runs the child with this program's output; its exit code, or what went wrong.
std::string run_child(const std::string& group, const std::string& folder) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string command = "\"" + std::string(program) + "\" --group " + group + " \"" + folder + "\"";
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE h : {start.hStdOutput, start.hStdError})
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION child = {};
  std::fflush(stdout);
  if (!CreateProcessA(program, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child))
    return "not started (Windows error " + std::to_string(GetLastError()) + ")";
  DWORD waited = WaitForSingleObject(child.hProcess, kGroupMilliseconds);
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return waited == WAIT_OBJECT_0 ? "exit code " + std::to_string(code) : "still running after 15 minutes";
}

}  // namespace

void group_cases(const std::string& folder) {
  stop_watchdog();
  CreateDirectoryA((folder + "\\wine").c_str(), nullptr);
  for (const Group& group : groups()) {
    std::string counts = folder + "\\wine\\" + group.name + ".count";
    DeleteFileA(counts.c_str());
    std::string ended = run_child(group.name, folder);
    long passed = 0, failed = 0, skipped = 0;
    std::FILE* in = std::fopen(counts.c_str(), "r");
    bool counted = in != nullptr && std::fscanf(in, "%ld %ld %ld", &passed, &failed, &skipped) == 3;
    if (in) std::fclose(in);
    begin_case(group.name);
    if (counted) add_counts(passed, failed, skipped);
    else check(false, "the group's run ended with its count", "      it ended without one (" + ended + ")");
  }
}

}  // namespace wintest
