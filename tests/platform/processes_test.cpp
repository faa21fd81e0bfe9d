// Programs on the simulated network: CreateProcessA finds a program as Windows
// does and records its start; GetModuleFileNameA and the current directory
// answer the console program's folder on the console machine.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/processes.h"

namespace {

class Processes : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string c = world_.machine_dir(world_.console()) + "/shares/C$";
    make(c + "/Program Files/Brightmere/VORNIX/VNXWCCR.EXE");
    make(c + "/Program Files/Brightmere/VORNIX/vnxwdes.exe");
    make(c + "/Windows/system32/notepad.exe");
    make(c + "/Tools/report runner.exe");
    world_.open();
    platform::clear_started_processes();
  }
  void TearDown() override { platform::set_program_hook("vnxwdes.exe", nullptr); }

  static void make(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "MZ";
  }

  // Starts a command line as the library does; the error when it fails, else 0.
  static DWORD start(const char* application, const char* command_line, DWORD flags = 0, int show = -1,
                     DWORD* exit_code = nullptr) {
    std::string line = command_line ? command_line : "";  // CreateProcessA may write into its command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = show >= 0 ? STARTF_USESHOWWINDOW : 0;
    startup.wShowWindow = static_cast<WORD>(show >= 0 ? show : 0);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application, command_line ? line.data() : nullptr, nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &process))
      return GetLastError();
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), WAIT_OBJECT_0);
    if (exit_code) {
      EXPECT_TRUE(GetExitCodeProcess(process.hProcess, exit_code));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
  }

  support::WorldBuilder world_;
};

TEST_F(Processes, AProgramIsFoundAsWindowsFindsItAndItsStartIsRecorded) {
  // An unquoted path with spaces: the shortest run of words that names a program wins, so once
  // C:\Program.exe exists, "C:\Program Files\..." starts it.
  EXPECT_EQ(start(nullptr, "C:\\Program Files\\Brightmere\\VORNIX\\VNXWCCR.EXE C:\\Temp\\CCR1.tmp"), 0u);
  make(world_.machine_dir(world_.console()) + "/shares/C$/Program.exe");
  EXPECT_EQ(start(nullptr, "C:\\Program Files\\Brightmere\\VORNIX\\vnxwdes x"), 0u);
  EXPECT_EQ(start(nullptr, "\"C:\\Tools\\report runner.exe\" -q", CREATE_NEW_CONSOLE, SW_HIDE), 0u);
  // A bare name: ".exe" is added and the console program's folder, then the system folder, are searched.
  EXPECT_EQ(start(nullptr, "vnxwdes C:\\Temp\\~CCR2.tmp"), 0u);
  EXPECT_EQ(start("C:\\Windows\\system32\\notepad.exe", nullptr), 0u);
  EXPECT_EQ(start(nullptr, "notepad"), 0u);

  std::vector<std::string> started;
  for (const platform::StartedProcess& p : platform::started_processes())
    started.push_back(p.program + " | " + p.command_line);
  EXPECT_EQ(started, (std::vector<std::string>{
                         "C:\\Program Files\\Brightmere\\VORNIX\\VNXWCCR.EXE | C:\\Program Files\\Brightmere\\VORNIX\\"
                         "VNXWCCR.EXE C:\\Temp\\CCR1.tmp",
                         "C:\\Program.exe | C:\\Program Files\\Brightmere\\VORNIX\\vnxwdes x",
                         "C:\\Tools\\report runner.exe | \"C:\\Tools\\report runner.exe\" -q",
                         "C:\\Program Files\\Brightmere\\VORNIX\\vnxwdes.exe | vnxwdes C:\\Temp\\~CCR2.tmp",
                         "C:\\Windows\\system32\\notepad.exe | C:\\Windows\\system32\\notepad.exe",
                         "C:\\Windows\\system32\\notepad.exe | notepad",
                     }));
  const platform::StartedProcess quoted = platform::started_processes().at(2);
  EXPECT_EQ(quoted.creation_flags, static_cast<DWORD>(CREATE_NEW_CONSOLE));
  EXPECT_EQ(quoted.show_window, SW_HIDE);
  EXPECT_EQ(platform::started_processes().at(0).show_window, -1);

  // Missing programs start nothing.
  platform::clear_started_processes();
  EXPECT_EQ(start(nullptr, "C:\\Tools\\MISSING.EXE x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(start(nullptr, "vnxmissing"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(platform::started_processes().empty());

  // A world program's hook runs at its start and gives the exit code.
  platform::set_program_hook("VNXWDES.EXE", [](const platform::StartedProcess& p) -> DWORD {
    return p.command_line.size();
  });
  DWORD exit_code = 0;
  EXPECT_EQ(start(nullptr, "vnxwdes abc", 0, 0, &exit_code), 0u);
  EXPECT_EQ(exit_code, 11u);
}

TEST_F(Processes, ModulePathsAndTheCurrentDirectoryAreTheConsoleProgramsFolder) {
  char path[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 48u);
  EXPECT_STREQ(path, "C:\\Program Files\\Brightmere\\VORNIX\\VORNIXCON.EXE");
  HINSTANCE library = qvmr_register_module("QVMR0007.DLL", "", "");
  EXPECT_GT(GetModuleFileNameA(library, path, sizeof path), 0u);
  EXPECT_STREQ(path, "C:\\Program Files\\Brightmere\\VORNIX\\QVMR0007.DLL");
  qvmr_unregister_module(library);
  EXPECT_EQ(GetModuleFileNameA(library, path, sizeof path), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_GT(GetModuleFileNameA(LoadLibraryA("ADVAPI32.DLL"), path, sizeof path), 0u);
  EXPECT_STREQ(path, "C:\\Windows\\system32\\advapi32.dll");

  // Too small a buffer: cut, terminated, the buffer's size returned.
  char small[8];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_STREQ(small, "C:\\Prog");

  EXPECT_EQ(GetCurrentDirectoryA(sizeof path, path), 34u);
  EXPECT_STREQ(path, "C:\\Program Files\\Brightmere\\VORNIX");
}

}  // namespace
