#include "console/confirmation.h"

#include <cstdio>

#include "console/command_line.h"
#include "console/console_output.h"

namespace console {

bool take_confirmation(std::vector<std::string>& args) { return take_flag(args, "--yes"); }

int confirmation_answer(bool confirmed, int ok, int cancel) { return confirmed ? ok : cancel; }

int not_confirmed(const std::string& not_done) {
  const std::string question = last_message();
  if (!question.empty()) std::fprintf(stderr, "  asked: %s\n  answered: Cancel\n", question.c_str());
  return fail(not_done + "; --yes confirms it");
}

}  // namespace console
