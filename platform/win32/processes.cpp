// Programs of the simulated network: CreateProcessA finds the program file as
// Windows does and records the start with its command line; nothing runs here
// but the small hook a world program may have (the scout agent registering its
// service, say). GetModuleFileNameA answers paths on the console machine.
#include "win32/processes.h"

#include <shellapi.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "win32/kernel_objects.h"
#include "win32/modules.h"
#include "win32/paths.h"
#include "win32/services.h"
#include "world/world.h"

namespace {

struct ProcessTable {
  std::mutex lock;
  std::vector<platform::StartedProcess> started;
  std::map<std::string, platform::ProgramHook> hooks;  // by lower-case file name
};

// The world's own programs: what they do when started, unless a test replaces it.
const std::map<std::string, platform::ProgramHook>& builtin_programs() {
  static const auto& programs = *new std::map<std::string, platform::ProgramHook>{
      {"vnxscout.exe", platform::scout_program}};
  return programs;
}

ProcessTable& processes() {
  static ProcessTable& table = *new ProcessTable{{}, {}, builtin_programs()};
  return table;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string file_name_of(const std::string& path) {
  size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_file(const std::string& windows_path) {
  std::string local;
  struct stat st;
  return platform::map_path(windows_path.c_str(), &local) == 0 && ::stat(local.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode);
}

// The program a name stands for: ".exe" added when the name has no extension; a
// name without a folder is looked for in the console program's folder (also the
// current directory), the system folder and the Windows folder. Empty when none exists.
std::string find_program(std::string name) {
  if (file_name_of(name).find('.') == std::string::npos) name += ".exe";
  if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)
    return is_file(name) ? name : "";
  for (const std::string& folder : {folder_of(world::console_program()), std::string("C:\\Windows\\system32"),
                                    std::string("C:\\Windows")}) {
    std::string candidate = folder + "\\" + name;
    if (is_file(candidate)) return candidate;
  }
  return "";
}

// The program of a command line without an application name: a quoted first
// token, or else the shortest run of space-separated words that names a program
// ("C:\Program Files\X\A.EXE arg" tries "C:\Program" first).
std::string program_of_command_line(const std::string& line) {
  if (!line.empty() && line[0] == '"') {
    size_t close = line.find('"', 1);
    return find_program(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  }
  for (size_t end = line.find(' ');; end = line.find(' ', end + 1)) {
    std::string program = find_program(line.substr(0, end));
    if (!program.empty() || end == std::string::npos) return program;
  }
}

}  // namespace

namespace platform {

std::vector<StartedProcess> started_processes() {
  std::lock_guard<std::mutex> guard(processes().lock);
  return processes().started;
}

void clear_started_processes() {
  std::lock_guard<std::mutex> guard(processes().lock);
  processes().started.clear();
}

void set_program_hook(const char* file_name, ProgramHook hook) {
  std::lock_guard<std::mutex> guard(processes().lock);
  auto builtin = builtin_programs().find(lower(file_name));
  if (!hook && builtin != builtin_programs().end()) hook = builtin->second;
  if (hook) processes().hooks[lower(file_name)] = hook;
  else processes().hooks.erase(lower(file_name));
}

}  // namespace platform

extern "C" {

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                           BOOL inherit_handles, DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                           LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION information) {
  if (environment != nullptr || startup_info == nullptr || information == nullptr ||
      (application == nullptr && command_line == nullptr)) {
    platform::unsupported("CreateProcessA", "an environment block, or no start-up or process information");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::StartedProcess started;
  started.program = application ? find_program(application) : program_of_command_line(command_line);
  if (started.program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  started.command_line = command_line ? command_line : application;
  started.creation_flags = creation_flags;
  started.inherit_handles = inherit_handles;
  started.show_window = (startup_info->dwFlags & STARTF_USESHOWWINDOW) ? startup_info->wShowWindow : -1;
  started.current_directory = current_directory ? current_directory : "";

  platform::ProgramHook hook = nullptr;
  {
    std::lock_guard<std::mutex> guard(processes().lock);
    auto it = processes().hooks.find(lower(file_name_of(started.program)));
    if (it != processes().hooks.end()) hook = it->second;
    processes().started.push_back(started);
  }
  // The program has run by the time its handles are given: its hook's exit code, or 0.
  DWORD exit_code = hook ? hook(started) : 0;
  static std::atomic<DWORD> next_id{1000};
  auto make_ended = [&] {
    auto object = std::make_shared<platform::KernelObject>();
    object->signalled = true;
    object->exit_code = exit_code;
    return platform::register_object(object);
  };
  information->hProcess = make_ended();
  information->hThread = make_ended();
  information->dwProcessId = next_id += 4;
  information->dwThreadId = next_id += 4;
  return TRUE;
}

// The shell opens a file by its verb: recorded as a start of the file found, with its parameters.
HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  platform::StartedProcess started;
  started.program = file ? find_program(file) : "";
  if (started.program.empty()) return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
  started.command_line = std::string(file) + (parameters && *parameters ? std::string(" ") + parameters : "");
  started.show_window = show;
  started.current_directory = directory ? directory : "";
  started.verb = verb ? verb : "open";
  std::lock_guard<std::mutex> guard(processes().lock);
  processes().started.push_back(started);
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(33));
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
  auto object = platform::find_object(process);
  if (!object || exit_code == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(object->lock);
  *exit_code = object->signalled ? object->exit_code : STILL_ACTIVE;
  return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  std::string path = module ? platform::module_path(module) : world::console_program();
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // A path longer than the buffer is cut and still terminated, and the result is the buffer's size.
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(::getpid()); }

}  // extern "C"
