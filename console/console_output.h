// How the console talks to its user: one-line errors and what the library showed.
#pragma once
#include <string>

namespace console {

// Prints "vornix-console: MESSAGE" on standard error; returns the exit code 1.
int fail(const std::string& message);
// Prints each message box and dialog the library showed, one line each, and
// forgets them; returns the last one as "title: text" (empty when none).
// Modeless windows (progress windows) are not messages and are left out.
std::string print_journal();

}  // namespace console
