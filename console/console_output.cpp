#include "console/console_output.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

#include "win32/ui_script.h"

namespace console {
namespace {

std::mutex g_lock;
std::string g_last_message;
bool g_holding = false;
std::vector<std::string> g_held;  // message lines held back
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
  if (g_holding) {
    g_held.push_back(line);
    return;
  }
  end_progress_line();
  std::fputs(line.c_str(), stdout);
}

}  // namespace

void begin_output() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  ui::set_journal_listener(&print_entry);
}

void hold_messages() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_holding = true;
}

void release_messages(bool print) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (print)
    for (const std::string& line : g_held) std::fputs(line.c_str(), stdout);
  g_held.clear();
  g_holding = false;
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

std::string view_time_text(uint32_t local_seconds) {
  time_t seconds = static_cast<time_t>(local_seconds);
  struct tm broken;
  char text[40] = "<undefined>";
  if (local_seconds != 0 && gmtime_r(&seconds, &broken)) std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &broken);
  return text;
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
