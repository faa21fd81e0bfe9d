#include "sim/demo_reports.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <vector>

namespace support {
namespace {

const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

// REGEDIT5 data forms.
std::string hex(const std::string& bytes, const char* type = "hex") {
  std::string out = type;
  out += ':';
  for (size_t i = 0; i < bytes.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%s%02x", i ? "," : "", static_cast<unsigned char>(bytes[i]));
    out += b;
  }
  return out;
}

std::string wide(const std::string& text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

std::string multi_string(std::initializer_list<std::string> names) {
  std::string out;
  for (const std::string& name : names) out += wide(name) + std::string(2, '\0');
  return hex(out + std::string(2, '\0'), "hex(7)");
}

std::string words(std::initializer_list<uint32_t> values) {
  std::string out;
  for (uint32_t v : values)
    for (int b = 0; b < 4; ++b) out += static_cast<char>(v >> (8 * b));
  return hex(out);
}

std::string dword(uint32_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return text;
}

std::string section(const std::string& subkey, std::initializer_list<std::pair<std::string, std::string>> values) {
  std::string out = kKey + subkey + "]\r\n";
  for (const auto& [name, data] : values) out += (name.empty() ? "@" : "\"" + name + "\"") + "=" + data + "\r\n";
  return out + "\r\n";
}

}  // namespace

std::string demo_report_definition(const std::string& name) {
  std::string definition = "VORNIX custom report definition\r\nName=" + name + "\r\n";
  definition += std::string(1, '\0');
  // Profile patterns, columns and limits as the designer keeps them: the demo only needs their size.
  for (size_t i = 0; definition.size() < 512 + name.size() * 4; ++i)
    definition += static_cast<char>((i * 37 + name.size()) & 0xFF);
  return definition;
}

void add_demo_configuration(WorldBuilder& world, const std::string& server, uint64_t last_run) {
  std::string text = section("", {{"LogTransferFrequency", dword(60)},
                                  {"EnterpriseHostRefreshCycle", dword(30)},
                                  {"LogPurgeOption", dword(7)},
                                  {"RetainLogFiles", dword(1)},
                                  {"DepartmentHosted", "\"Finance\""},
                                  {"DepartmentsReportTo", multi_string({"Audit"})},
                                  {"EmailReturnAddressForAlerts", "\"vornix-alerts@brightmere.example\""}});
  text += section("\\LLOUTracked", {{"OU=Kiosks,DC=brightmere,DC=local", "\"OU=Kiosks,DC=brightmere,DC=local\""}});
  for (const char* report : {kDemoWeeklyReport, kDemoFailedLogonsReport})
    text += section(std::string("\\Reports\\") + report, {{"Definition", hex(demo_report_definition(report))}});
  // The default value of Reports\Graphs is its marker, kept without a terminator.
  text += section("\\Reports\\Graphs", {{"", hex(wide("GraphicalReports"), "hex(1)")},
                                        {"Definition", hex(std::string("default\0", 8))}});
  text += section(std::string("\\Reports\\Graphs\\") + kDemoGraphicalReport,
                  {{"DatesType", words({1, 7, 0})}, {"Graphs", multi_string({"1800,1,6"})}});
  // Mailed by the unattended run: the last week's quick report and the graphical report above.
  text += section(std::string("\\Reports\\Graphs\\") + kDemoGraphicalSchedule,
                  {{"DisableFlag", dword(0)},
                   {"CentralEmail", dword(0)},
                   {"LastXDays", dword(7)},
                   {"RunTimes", words({99u << 24 | 6 << 8 | 0})},
                   {"Emails", multi_string({"audit@demo.test"})},
                   {"GReports", multi_string({kDemoGraphicalReport})}});
  text += section(std::string("\\Reports\\") + kDemoDailySchedule,
                  {{"DisableFlag", dword(0)},
                   {"RunTimes", words({99u << 24 | 7 << 8 | 0})},
                   {"CReports", multi_string({kDemoWeeklyReport, kDemoFailedLogonsReport})},
                   {"LastRun", words({static_cast<uint32_t>(last_run)})}});
  text += section(std::string("\\Reports\\") + kDemoMonthlySchedule,
                  {{"DisableFlag", dword(0)},
                   {"RunTimes", words({1u << 24 | 23 << 8 | 30})},
                   {"CReports", multi_string({kDemoFailedLogonsReport})}});
  world.add_registry_text(server, "HKLM", text);

  // The runner and the designer beside the console program.
  const std::string folder = world.machine_dir(world.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
  std::filesystem::create_directories(folder);
  for (const char* program : {"VNXWCCR.EXE", "vnxwdes.exe"}) std::ofstream(folder + "/" + program) << "MZ";
}

}  // namespace support
