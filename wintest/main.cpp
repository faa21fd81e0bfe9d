// The Windows test host: loads QVMR0007.DLL with LoadLibraryA, offers it the
// host services table, completes the start-up handshake and runs the local
// machine's cases on a real Win32 (Wine), one line per check and a closing
// count. Nothing waits for a person: dialogs and message boxes are answered
// by the scripted user, and a case that hangs ends the run.
//
//   wintest.exe [FOLDER]      FOLDER (C:\vornix) holds the hand-picked log files and their expected texts
//   wintest.exe --left-loaded the child run of the detach case
//   wintest.exe --group NAME FOLDER   the child run of one group of the cases that both builds run
#include <cstdio>
#include <cstring>

#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace {

constexpr unsigned kCaseSeconds = 120;

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--left-loaded") == 0) return wintest::left_loaded_run();
  if (argc > 3 && std::strcmp(argv[1], "--group") == 0) return wintest::group_run(argv[2], argv[3]);
  wintest::Session session;
  session.folder = argc > 1 ? argv[1] : "C:\\vornix";
  if (!wintest::start_answering()) {
    std::printf("FAIL the scripted user: no window hook (Windows error %lu)\n", GetLastError());
    return 1;
  }
  wintest::start_watchdog(kCaseSeconds);
  wintest::start_up_case(&session);
  if (session.library.handle != nullptr && wintest::start_linked_library(session)) {
    wintest::list_store_case(&session);
    wintest::profiles_case(&session);
    wintest::picked_logs_case(&session);
    wintest::results_window_case(&session);
    wintest::key_save_case(&session);
    wintest::detach_case(&session);
  }
  wintest::group_cases(session.folder);
  return wintest::finish();
}
