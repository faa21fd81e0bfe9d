// Runs a program as a user would from a shell, for the tests of the console.
#pragma once
#include <string>

namespace support {

struct ProgramRun {
  int exit_code = -1;   // -1 when the program did not end normally
  std::string output;   // standard output, with standard error unless it went to a file
};

// `arguments` is shell text, quoted by the caller. Standard error joins the
// output, or goes to `error_file` when one is named.
ProgramRun run_program(const std::string& program, const std::string& arguments, const std::string& error_file = "");

// As run_program, with standard error joined, and the user presses Ctrl-C
// (SIGINT to the program) `delay_ms` after the output first shows `cue`.
ProgramRun run_program_interrupted(const std::string& program, const std::string& arguments, const std::string& cue,
                                   int delay_ms);

}  // namespace support
