#include "sim/program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace support {

ProgramRun run_program(const std::string& program, const std::string& arguments, const std::string& error_file) {
  std::string command = "'" + program + "' " + arguments + (error_file.empty() ? " 2>&1" : " 2>'" + error_file + "'");
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
  int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ProgramRun run_program_interrupted(const std::string& program, const std::string& arguments, const std::string& cue,
                                   int delay_ms) {
  ProgramRun run;
  // Made before the fork: the child only calls what is safe between fork and exec.
  const std::string command = "exec '" + program + "' " + arguments;  // the shell becomes the program
  int out[2];
  if (pipe(out) != 0) return run;
  pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  if (child < 0) {
    close(out[0]);
    return run;
  }
  std::array<char, 4096> buffer;
  ssize_t n;
  bool interrupted = false;
  while ((n = read(out[0], buffer.data(), buffer.size())) > 0) {
    run.output.append(buffer.data(), static_cast<size_t>(n));
    if (!interrupted && run.output.find(cue) != std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      kill(child, SIGINT);
      interrupted = true;
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace support
