// Running and editing a saved custom report: its definition is written to a
// new temporary file, and the report runner or the report designer is
// started on it. The console does not wait for either and never deletes the file.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/schedules.h"
#include "host/host.h"
#include "host/text.h"

namespace {

// The texts of the temporary-file steps, by action.
struct TemporaryFileTexts {
  const char* prefix;
  const char* no_name;
  const char* not_created;  // "%d" the error and "%s" the file, where the text has them
  const char* not_written;
};

constexpr TemporaryFileTexts kRunTexts = {
    "~CRR", "Error getting temporary filename, unable to create custom report",
    "Error %d Creating Temporary File %s, unable to run custom report",
    "Error %d Writing Temporary File %s, unable to run custom report"};
constexpr TemporaryFileTexts kEditTexts = {
    "~CCR", "Error getting temporary filename, unable to edit custom report",
    "Error Creating Temporary File, unable to edit custom report",
    "Error Writing Temporary File, unable to edit custom report"};
constexpr TemporaryFileTexts kCreateTexts = {
    "~CCR", "Error getting temporary filename, unable to create custom report",
    "Error Creating Temporary File, unable to create custom report",
    "Error Writing Temporary File, unable to create custom report"};

void show_error(const char* text) { show_message(nullptr, text, nullptr, MB_ICONERROR); }

void show_file_error(const char* format, DWORD error, const char* path) {
  char text[MAX_PATH + 200];
  std::snprintf(text, sizeof text, format, static_cast<int>(error), path);
  show_error(text);
}

// Writes the bytes to a new file of the user's temporary folder. 0, or the step that failed.
DWORD write_temporary_file(const BYTE* data, DWORD size, const TemporaryFileTexts& texts, char* path) {
  char folder[MAX_PATH] = {};
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder || GetTempFileNameA(folder, texts.prefix, 0, path) == 0) {
    show_error(texts.no_name);
    return kRunNoTemporaryName;
  }
  DeleteFileA(path);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    show_file_error(texts.not_created, GetLastError(), path);
    return kRunTemporaryNotCreated;
  }
  DWORD written = 0;
  BOOL ok = size == 0 || WriteFile(file, data, size, &written, nullptr);
  DWORD error = ok ? ERROR_WRITE_FAULT : GetLastError();
  CloseHandle(file);
  if (!ok || written != size) {
    show_file_error(texts.not_written, error, path);
    return kRunTemporaryNotWritten;
  }
  return 0;
}

// The program's command line: the console's folder (without doubling its final backslash) and the file.
void runner_command_line(const char* file, char* line, size_t size) {
  const char* folder = g_library.start_directory;
  size_t length = std::strlen(folder);
  std::snprintf(line, size, "%s%sVNXWCCR.EXE %s", folder, length && folder[length - 1] == '\\' ? "" : "\\", file);
}

// Starts a program with its window shown as asked; 0 or the Windows error.
DWORD start_program(char* line, DWORD flags, WORD show) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &process))
    return GetLastError();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

// The host's page table must be the one this library knows.
bool host_tables_match() {
  auto request = host_service<HostRequestFn>(kHostRequest);
  uintptr_t* table = nullptr;
  if (request) request(kHostRequestMagic, 0, &table, 0, kHostRequestTables, kHostTablesPageTable);
  return table != nullptr && table[0] == 1;
}

// Reads the report's Definition into a block of its size and 64 bytes more. 0 or the step code.
DWORD read_definition(HKEY reports, const char* report, DWORD least, BYTE** data, DWORD* size) {
  *data = nullptr;
  *size = 0;
  HKEY key;
  LONG rc = RegOpenKeyExA(reports, report, 0, remote_access(KEY_READ), &key);
  if (rc != ERROR_SUCCESS) {
    char text[400];
    std::snprintf(text, sizeof text, "Error %d opening %.300s, unable to continue.", static_cast<int>(rc), report);
    show_error(text);
    return kRunReportKeyClosed;
  }
  DWORD stored = 0;
  if (RegQueryValueExA(key, "Definition", nullptr, nullptr, nullptr, &stored) != ERROR_SUCCESS) stored = 0;
  if (stored < least) {
    RegCloseKey(key);
    show_error("Selected Custom Report has nothing defined, unable to continue.");
    return kRunNothingDefined;
  }
  *data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, stored + 64));
  if (*data == nullptr) {
    RegCloseKey(key);
    show_error("Out of memory reading selected Custom Report.");
    return kRunOutOfMemory;
  }
  if (stored > 0 && RegQueryValueExA(key, "Definition", nullptr, nullptr, *data, &stored) != ERROR_SUCCESS) stored = 0;
  *size = stored;
  RegCloseKey(key);
  return 0;
}

}  // namespace

DWORD StartCustomReportRunner(const char* file) {
  char line[sizeof g_library.start_directory + MAX_PATH + 20];
  runner_command_line(file, line, sizeof line);
  DWORD rc = start_program(line, CREATE_NEW_CONSOLE, SW_HIDE);
  if (rc == ERROR_FILE_NOT_FOUND) {
    char text[sizeof g_library.start_directory + 100];
    std::snprintf(text, sizeof text, "VNXWCCR.EXE is not found, please place a copy in this folder:\n\n%s",
                  g_library.start_directory);
    show_error(text);
  } else if (rc != 0) {
    char text[100];
    std::snprintf(text, sizeof text, "Error %d occurred, unable to run Custom Report", static_cast<int>(rc));
    show_error(text);
  }
  return rc;
}

DWORD RunCustomReport(HWND, const char* server, const char* report, char* definition_file) {
  if (definition_file) definition_file[0] = '\0';
  const char* name = equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server;
  HKEY machine;
  if (ConnectServerRegistry(name, &machine, "UNABLE TO RUN CUSTOM REPORT", 0) != 0 || machine == nullptr) return 0;
  if (!host_tables_match()) {
    show_error("Mismatch in XI table - unable to run Custom Report");
    return kRunHostTableRefused;
  }
  HKEY reports;
  if (RegOpenKeyExA(machine, kReportsKey, 0, remote_access(KEY_ALL_ACCESS), &reports) != ERROR_SUCCESS) {
    char text[300];
    std::snprintf(text, sizeof text,
                  "Unable to locate VORNIX Master Registry Key on server %.100s - unable to run custom report", name);
    show_error(text);
    return kRunNoProductKey;
  }
  BYTE* data;
  DWORD size;
  DWORD step = read_definition(reports, report, kLeastDefinitionBytes, &data, &size);
  RegCloseKey(reports);
  if (step != 0) return step;
  char path[MAX_PATH] = {};
  step = write_temporary_file(data, size, kRunTexts, path);
  free_block(data);
  if (step != 0) return step;
  if (definition_file) copy_text(definition_file, MAX_PATH, path);
  return StartCustomReportRunner(path) == 0 ? 0 : kRunRunnerNotStarted;
}

DWORD StartReportDesigner(const char* file) {
  char line[MAX_PATH + 20];
  std::snprintf(line, sizeof line, "vnxwdes %s", file);
  return start_program(line, CREATE_DEFAULT_ERROR_MODE, SW_SHOWNORMAL) == 0 ? kDesignerStarted : 0;
}

DWORD EditCustomReport(HWND, const char* server, const char* report, char* definition_file) {
  if (definition_file) definition_file[0] = '\0';
  const char* name = equal_ignoring_case(server, kLocalMachineName) ? g_library.computer_name : server;
  HKEY machine, reports;
  // Editing has no error title of its own: a failed connection is told under the library's.
  if (ConnectServerRegistry(name, &machine, nullptr, 0) != 0 || machine == nullptr) return 0;
  // A server without Reports lists no saved report to edit: nothing to tell.
  if (RegOpenKeyExA(machine, kReportsKey, 0, remote_access(KEY_READ), &reports) != ERROR_SUCCESS) return 0;
  BYTE* data;
  DWORD size;
  // Read as a run reads it, with its texts, but any size will do: the designer completes the definition.
  DWORD step = read_definition(reports, report, 0, &data, &size);
  RegCloseKey(reports);
  if (step != 0) return 0;
  char path[MAX_PATH] = {};
  step = write_temporary_file(data, size, kEditTexts, path);
  free_block(data);
  if (step != 0) return 0;
  if (definition_file) copy_text(definition_file, MAX_PATH, path);
  return StartReportDesigner(path);
}

DWORD NewCustomReport(HWND, char* definition_file) {
  if (definition_file) definition_file[0] = '\0';
  char path[MAX_PATH] = {};
  if (write_temporary_file(nullptr, 0, kCreateTexts, path) != 0) return 0;
  if (definition_file) copy_text(definition_file, MAX_PATH, path);
  return StartReportDesigner(path);
}
