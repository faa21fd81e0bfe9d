// The console machine's clipboard, for the tests and the console to read.
#pragma once
#include <string>

namespace platform {

// The text last put on the clipboard (CF_TEXT); empty when none.
std::string clipboard_text();

}  // namespace platform
