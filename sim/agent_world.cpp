#include "sim/agent_world.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace support {
namespace {

void write_file(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string product_folder(const WorldBuilder& world) {
  return world.machine_dir(world.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
}

// Where the 64-bit installation puts each file of the set, below C$\Windows.
std::string installed_place(const std::string& file) {
  if (file == "VORNIXW.EXE") return "sysWOW64/VORNIXW.EXE";
  if (file == "VNXW_K64.SYS" || file == "VNXWK646.SYS") return "system32/drivers/" + file;
  if (file.rfind("vnxwk646.", 0) == 0) return "syswow64/drivers/vornix/" + file;
  if (file == "vnxlwa32.dll" || file == "vnxlwa64.dll" || file == "vnx_x64b.dll")
    return "syswow64/" + file.substr(0, file.size() - 3) + "NEW";
  return "syswow64/" + file;
}

}  // namespace

const std::vector<std::string>& agent_file_set(const std::string& set) {
  static const std::vector<std::string> x64 = {
      "VORNIXW.EXE",  "VNXW_K64.SYS", "VNXWK646.SYS", "vnxwccr.exe",  "qvmr0007.dll", "chartdir51.dll",
      "zovuruve.dll", "vnxsqlxf.exe", "vnxwk646.inf", "vnxwk646.cat", "vnxwk646.cer", "vnx_sa2.dll",
      "vnxlwa32.dll", "vnx_x64a.exe", "vnx_x64b.dll", "vnxlwa64.dll"};
  static const std::vector<std::string> x86 = {"VORNIXW.EXE",    "VNXW_K32.SYS", "vnxwccr.exe",  "qvmr0007.dll",
                                               "chartdir51.dll", "zovuruve.dll", "vnxsqlxf.exe", "vnx_sa2.dll",
                                               "vnxlwa32.dll",   "vnx_x32a.dll"};
  static const std::vector<std::string> sibling = {"QVAWKQ.EXE", "qvawkq.dll"};
  return set == "64W" ? x64 : set == "32W" ? x86 : sibling;
}

void add_agent_file_sets(WorldBuilder& world) {
  for (const char* set : {"32W", "64W", "AGENT"})
    for (const std::string& file : agent_file_set(set))
      write_file(product_folder(world) + "/" + set + "/" + file, "stand-in for " + std::string(set) + "\\" + file + "\n");
  write_file(product_folder(world) + "/VNXSCOUT.EXE", "stand-in for the scout agent\n");
  // Where the scout agent is installed.
  fs::create_directories(world.machine_dir(world.console()) + "/shares/C$/Windows/System32/drivers");
}

void add_agent_server(WorldBuilder& world, const std::string& name, const std::string& ipv4, const std::string& product,
                      bool x64) {
  world.add_machine(name, ipv4, product);
  // The system folders: a 64-bit system has the 32-bit one beside its own, and 32-bit programs see
  // its own as sysnative.
  const std::string windows = world.machine_dir(name) + "/shares/C$/Windows/";
  fs::create_directories(windows + "System32/drivers");
  if (x64) {
    fs::create_directories(windows + "SysWOW64/drivers");
    fs::create_directories(windows + "sysnative/drivers");
  }
  world.add_registry_text(name, "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                          "\"SystemRoot\"=\"C:\\\\Windows\"\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\Root\\ACPI_HAL\\0000]\r\n"
                          "\"DeviceDesc\"=\"" + std::string(x64 ? "ACPI x64-based PC" : "ACPI Multiprocessor PC") +
                              "\"\r\n\r\n");
}

void add_installed_agent(WorldBuilder& world, const std::string& name) {
  const std::string windows = world.machine_dir(name) + "/shares/C$/Windows/";
  for (const std::string& file : agent_file_set("64W"))
    write_file(windows + installed_place(file), "stand-in for 64W\\" + file + "\n");
  write_file(world.machine_dir(name) + "/services.ini",
             "[vornixwservice]\nname = VORNIXWService\ndisplay = VORNIXW Service\ntype = 16\nstart = 2\n"
             "error_control = 1\nimage = %SystemRoot%\\sysWOW64\\vornixw.exe\nstate = running\n"
             "start_delay_ms = 500\nstop_delay_ms = 1000\n\n"
             "[vnxw_k64]\nname = VNXW_K64\ndisplay = VORNIXW 64bit Kernel Driver\ntype = 1\nstart = 3\n"
             "error_control = 1\nimage = %SystemRoot%\\system32\\drivers\\vnxw_k64.sys\nstate = stopped\n");
  const std::string services = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
  world.add_registry_text(
      name, "HKLM",
      services + "VORNIXWService]\r\n\"Type\"=dword:00000010\r\n\"Start\"=dword:00000002\r\n"
                 "\"ErrorControl\"=dword:00000001\r\n"
                 "\"ImagePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,5c,00,"
                 "53,00,59,00,53,00,77,00,6f,00,77,00,36,00,34,00,5c,00,76,00,6f,00,72,00,6e,00,69,00,78,00,77,00,2e,"
                 "00,65,00,78,00,65,00,00,00\r\n"
                 "\"DisplayName\"=\"VORNIXW Service\"\r\n\"ObjectName\"=\"LocalSystem\"\r\n\r\n" +
          services + "VNXW_K64]\r\n\"Type\"=dword:00000001\r\n\"Start\"=dword:00000003\r\n"
                     "\"ErrorControl\"=dword:00000001\r\n"
                     "\"ImagePath\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,5c,"
                     "00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,64,00,72,00,69,00,76,00,65,00,72,00,73,"
                     "00,5c,00,76,00,6e,00,78,00,77,00,5f,00,6b,00,36,00,34,00,2e,00,73,00,79,00,73,00,00,00\r\n"
                     "\"DisplayName\"=\"VORNIXW 64bit Kernel Driver\"\r\n\r\n");
  const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
  world.add_registry_text(name, "HKLM",
                          key + "]\r\n\"LastUpdateDate\"=dword:6aac4100\r\n\"OriginalInstallDate\"=dword:6aac4100\r\n\r\n" +
                              key + "\\Profiles]\r\n\r\n" + key + "\\Reports]\r\n\r\n" + key + "\\Enterprise]\r\n\r\n");
}

}  // namespace support
