#include "console/console_output.h"

#include <cstdio>

#include "win32/ui_script.h"

namespace console {

int fail(const std::string& message) {
  std::fprintf(stderr, "vornix-console: %s\n", message.c_str());
  return 1;
}

std::string print_journal() {
  std::string last;
  for (const ui::JournalEntry& entry : ui::journal()) {
    if (entry.kind.find("modeless") != std::string::npos) continue;
    std::string text = entry.text;
    for (char& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    std::printf("  [%s] %s: %s\n", entry.kind.c_str(), entry.title.c_str(), text.c_str());
    last = entry.title + ": " + text;
  }
  ui::clear_journal();
  return last;
}

}  // namespace console
