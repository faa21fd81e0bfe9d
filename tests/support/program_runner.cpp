#include "tests/support/program_runner.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

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

}  // namespace support
