#include "console/console_output.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "win32/ui_script.h"

namespace console {
namespace {

std::mutex g_lock;
std::string g_last_message;
std::atomic<bool> g_progress_shown{false};  // a progress line without its end is on the terminal

// Ends an unfinished progress line so that the next line starts on its own.
void end_progress_line() {
  if (g_progress_shown.exchange(false)) std::fputc('\n', stderr);
}

void print_entry(const ui::JournalEntry& entry) {
  if (entry.kind.find("modeless") != std::string::npos) return;
  std::string text = entry.text;
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  std::lock_guard<std::mutex> guard(g_lock);
  g_last_message = entry.title + ": " + text;
  std::string line = "  [" + entry.kind + "] " + g_last_message + "\n";
  end_progress_line();
  std::fputs(line.c_str(), stdout);
}

}  // namespace

void begin_output() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  ui::set_journal_listener(&print_entry);
}

int fail(const std::string& message) {
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "vornix-console: %s\n", message.c_str());
  return 1;
}

std::string last_message() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_last_message;
}

void forget_last_message() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_last_message.clear();
}

void show_progress(const std::string& text) {
  static const bool terminal = isatty(fileno(stderr)) != 0;
  if (!terminal) return;
  std::lock_guard<std::mutex> guard(g_lock);
  std::fprintf(stderr, "\r%s\033[K", text.c_str());  // the rest of a longer line before it is erased
  g_progress_shown = true;
}

void end_progress(const std::string& text) {
  std::lock_guard<std::mutex> guard(g_lock);
  std::fflush(stdout);
  if (g_progress_shown.exchange(false)) std::fprintf(stderr, "\r%s\033[K\n", text.c_str());
  else std::fprintf(stderr, "%s\n", text.c_str());
}

void progress_note(const std::string& text) {
  std::lock_guard<std::mutex> guard(g_lock);
  end_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace console
