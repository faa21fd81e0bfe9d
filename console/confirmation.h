// The one rule for the library's questions before it deletes, replaces or overwrites: the console answers OK
// only when the command was given --yes, else Cancel; where the library asks nothing before it replaces, the
// command checks what is there and refuses without --yes.
#pragma once
#include <string>
#include <vector>

namespace console {

// Takes --yes out of the arguments: whether the user confirmed beforehand.
bool take_confirmation(std::vector<std::string>& args);
// The button that answers the library's question: ok when confirmed, else cancel.
int confirmation_answer(bool confirmed, int ok, int cancel);
// A step not done for want of --yes: the library's question as it was last shown (when it asked one) and
// what was not done, on standard error; the exit status 1.
int not_confirmed(const std::string& not_done);

}  // namespace console
