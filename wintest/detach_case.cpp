// Process detach: with FreeLibrary the library gives back what it kept and a
// new load starts afresh; without it, a process that ends with the library
// started and in use ends cleanly.
#include <algorithm>

#include "host/control_descriptor.h"
#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr DWORD kChildMilliseconds = 60000;
constexpr uint32_t kProfileList = 0x6024000A;

DWORD text_answer(const host::Library& library) {
  char text[2048] = "";
  LONG value = 0;
  return library.entry_point_text_services(nullptr, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, 0x60420801, 7);
}

// Runs this program again as the child run; its exit code, or what went wrong.
std::string child_exit() {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string command = "\"" + std::string(program) + "\" --left-loaded";
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &child))
    return "not started (Windows error " + std::to_string(GetLastError()) + ")";
  DWORD waited = WaitForSingleObject(child.hProcess, kChildMilliseconds);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return waited == WAIT_OBJECT_0 ? "exit code " + std::to_string(code) : "still running";
}

}  // namespace

int left_loaded_run() {
  if (!start_answering()) return 2;
  Session s;
  std::string error;
  if (!host::load_library(host::library_beside_program(), &s.library, &error)) return 3;
  s.table = host::make_service_table();
  if (s.library.establish_tables(6, s.table.data()) != 1) return 4;
  host::insert_list_images(s.library);
  // The profile list: a registry connection the library keeps until detach.
  HWND screen = host::create_screen(41, "Profiles");
  HWND list = host::add_control(screen, 100, WC_LISTVIEWA, "", host::ControlSpec{kProfileList, kDescriptorListView});
  if (host::send_list_event(s.library, list) != 1) return 5;
  return 0;  // the library stays loaded: the C run-time's exit ends the process with it
}

void detach_case(Session* s) {
  begin_case("process detach");
  check_equal("exit code 0", child_exit(), "a process ends cleanly with the library started, used and still loaded");

  host::clear_service_calls();
  host::unload_library(&s->library);
  check(GetModuleHandleA("QVMR0007.DLL") == nullptr, "FreeLibrary unloads it");
  std::vector<std::string> calls = host::service_calls();
  check(std::count(calls.begin(), calls.end(), "memory free") > 0,
        "its registry connections go back to the host's memory pair");

  std::string error;
  if (!check(host::load_library(host::library_beside_program(), &s->library, &error), "it loads again", error)) return;
  check_equal(4078, text_answer(s->library), "afresh: not initialised");
  s->table = host::make_service_table();
  check_equal(1, s->library.establish_tables(6, s->table.data()), "and starts again");
  check_equal(4061, text_answer(s->library), "a report column without a row then answers 4061");
  host::unload_library(&s->library);
  check(GetModuleHandleA("QVMR0007.DLL") == nullptr, "and unloads again");
}

}  // namespace wintest
