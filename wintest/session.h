// The Windows test host's session: QVMR0007.DLL loaded beside the program
// with the substitute host's services, and the cases that drive it.
#pragma once
#include <string>

#include "console/substitute_host.h"

namespace wintest {

struct Session {
  host::Library library;
  host::ServiceTable table{};
  std::string folder;  // the hand-picked log files and their expected texts (C:\vornix)
};

// An export of the loaded library by name, typed.
template <typename Fn>
Fn export_of(const host::Library& library, const char* name) {
  return reinterpret_cast<Fn>(host::export_address(library, name));
}

// The folder of the program, with its trailing backslash.
std::string program_folder();

// Loads the library and completes the handshake (introduction, table, the host's image list).
bool start_library(Session* session);
// Starts the library's code linked into this program with the session's table, for the cases that use
// functions no export reaches yet.
bool start_linked_library(const Session& session);

// The cases, in the order they run.
void start_up_case(Session* session);
void list_store_case(Session* session);
void profiles_case(Session* session);
void picked_logs_case(Session* session);
void results_window_case(Session* session);
void key_save_case(Session* session);
void detach_case(Session* session);

// The child run of the detach case: the library started and used, then left loaded at exit.
int left_loaded_run();

// The groups of cases that both builds run (groups.h), each in a child run of this program.
void group_cases(const std::string& folder);
// The child run of one group: its sections compared with the Linux build's. The exit code.
int group_run(const std::string& name, const std::string& folder);

}  // namespace wintest
