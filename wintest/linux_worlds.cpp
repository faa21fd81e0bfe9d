#include "wintest/linux_worlds.h"

#include <utime.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "sim/agent_world.h"
#include "sim/demo_activity.h"
#include "sim/sql_server.h"

namespace fs = std::filesystem;

namespace wintest {
namespace {

constexpr char kProductFolder[] = "/shares/C$/Program Files/Brightmere/VORNIX";
constexpr int kNobodyAddress = 40;  // a loopback address of this process where nothing listens

// The agents the network group asks, by role: one way of answering each.
std::vector<std::pair<std::string, support::AgentScript>> agent_scripts() {
  support::AgentScript well;
  support::KnownServerEntry a{"SRV02", 7, "running since Monday", 0x10203, {1, 2, 3}, {4, 5, 6}, 9, 10, 0xABCD};
  support::KnownServerEntry b{"SRV03", 8, std::string(600, 'k')};
  well.known = {a, b};
  well.alerts = {{"ALERTS1", "watching logons", {1, 2, 3, 4}, {11, 12, 13}}, {"ALERTS2", "", {}, {}}};
  well.gather = {"Head office", "HOST1", "collector", {}, {"SRV02", "SRV03"}};
  for (int i = 0; i < 10; ++i) well.gather.values[i] = 100 + static_cast<uint32_t>(i);
  well.reported_state = 77;
  support::AgentScript paged = well;
  paged.known.clear();
  for (uint32_t i = 0; i < 60; ++i) paged.known.push_back({"SRV" + std::to_string(100 + i), i, ""});
  const std::pair<const char*, support::Misbehaviour> ways[] = {
      {"slow", support::Misbehaviour::SlowPieces},
      {"skipped first", support::Misbehaviour::SkippedFirst},
      {"cut", support::Misbehaviour::CutMidEntry},
      {"wrong magic", support::Misbehaviour::WrongMagic},
      {"short", support::Misbehaviour::ShortReply},
      {"too many", support::Misbehaviour::TooManyEntries},
      {"limit above 100", support::Misbehaviour::LimitAbove100},
      {"not allowed", support::Misbehaviour::NotAllowed},
      {"reset", support::Misbehaviour::Reset},
      {"silent", support::Misbehaviour::NoAnswer}};
  std::vector<std::pair<std::string, support::AgentScript>> scripts = {{"well", well}, {"paged", paged}};
  for (const auto& [role, way] : ways) {
    support::AgentScript script = well;
    script.misbehaviour = way;
    scripts.push_back({role, script});
  }
  return scripts;
}

// Starts every agent on a loopback address of this process; their addresses by role, "nobody" too. In a
// world, each address is a machine's, as the world's sockets reach only its machines.
bool start_agents(LinuxSide* side, Place* place, support::WorldBuilder* world) {
  int n = 2;
  for (const auto& [role, script] : agent_scripts()) {
    std::string address = support::process_loopback(n++);
    if (world) world->add_machine("AGENT" + std::to_string(n), address);
    side->agents.push_back(std::make_unique<support::FakeAgent>(address, script));
    if (!side->agents.back()->listening()) {
      std::fprintf(stderr, "wintest-linux: agent %s: %s\n", role.c_str(), side->agents.back()->error().c_str());
      return false;
    }
    place->agents.push_back({role, address});
  }
  place->agents.push_back({"nobody", support::process_loopback(kNobodyAddress)});
  if (world) world->add_machine("NOBODY", support::process_loopback(kNobodyAddress));
  return true;
}

// The log files of the reports group in a log folder: eight events a day of each profile on days
// inside the quick report's window (December 4 and 5) and one outside it (December 1), named after the
// server, all last written long before so that only the dates in their names count.
void write_report_logs(const std::string& folder, const std::string& server) {
  constexpr uint32_t kDec1 = 1796083200;  // 2026-12-01 00:00:00 UTC
  constexpr uint32_t kOld = 1577836800;   // 2020-01-01
  const std::pair<support::DemoProfile, int> days[] = {
      {support::DemoProfile::Shares, 4},         {support::DemoProfile::Shares, 5},
      {support::DemoProfile::Logons, 5},         {support::DemoProfile::FailedLogons, 4},
      {support::DemoProfile::DirectoryChanges, 5}, {support::DemoProfile::GroupPolicy, 4},
      {support::DemoProfile::Shares, 1}};
  fs::create_directories(folder);
  uint32_t seed = 21;
  for (const auto& [profile, day] : days) {
    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < 8; ++i) times.push_back(kDec1 + (day - 1) * 86400 + 8 * 3600 + i * 47 * 60 + seed);
    support::DemoDayLog log = support::make_demo_day_log(profile, server, times, seed++);
    std::string path =
        folder + "/" + support::log_file_name(support::demo_profile_name(profile), server, 2026, 12, day);
    log.log.save(path);
    struct utimbuf when = {static_cast<time_t>(kOld), static_cast<time_t>(kOld)};
    utime(path.c_str(), &when);
  }
}

}  // namespace

void prepare_linux_side(const std::string& group, support::WorldBuilder& world, Place* place, LinuxSide* side,
                        const std::string&, const std::string&) {
  // The console program's folder, where exports are written.
  fs::create_directories(world.machine_dir(world.console()) + kProductFolder);
  if (group == "network") start_agents(side, place, &world);
  if (group == "reports")
    write_report_logs(world.machine_dir(world.console()) + "/shares/VnxLogs$/vnxlogs", world.console());
  if (group == "controls") {
    // The faces of a fresh Wine prefix: neither Calibri nor Segoe UI Light.
    world.set_machine_setting(world.console(), "fonts", "installed", "Arial, Tahoma, Webdings, Wingdings, Marlett");
  }
  if (group == "sql") {
    support::use_project_sql_driver();
    support::add_sql_server(world, "SQL01", "127.0.0.5");
  }
  if (group == "services") {
    // The console machine as a fresh prefix has it, with the agent's file sets in the console's folder.
    support::add_agent_file_sets(world);
    world.add_registry_text(world.console(), "HKLM",
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                            "\"SystemRoot\"=\"C:\\\\windows\"\r\n\"ProductName\"=\"Microsoft Windows 7\"\r\n\r\n");
  }
}

void write_wine_inputs(const std::string& folder, const std::string& computer, const std::string& worlds) {
  // The log share of the reports group: C:\vornix\share (.ci/wine maps \\COMPUTER\VnxLogs$ to it).
  write_report_logs(folder + "/share/vnxlogs", computer);
  // The world of the prefix's "SQL Server" driver: a fresh SQL01 (QVMR7_WORLD and ODBCSYSINI name it and the
  // project's driver registration for the Wine run).
  support::WorldBuilder sql(worlds + "/sql", computer);
  support::add_sql_server(sql, "SQL01", "127.0.0.5");
  std::ofstream(worlds + "/sql.env", std::ios::binary)
      << "QVMR7_WORLD=" << sql.folder() << "\nODBCSYSINI="
      << support::odbc_registration_folder(support::OdbcRegistration::kProjectDriver) << "\n";
  // The agent's 32-bit file set in the console's folder of the prefix (.ci/wine puts a service program in
  // the place of VORNIXW.EXE).
  const std::string set = folder + "/../Program Files/Brightmere/VORNIX/32W";
  fs::create_directories(set);
  for (const std::string& file : support::agent_file_set("32W"))
    std::ofstream(set + "/" + file, std::ios::binary) << "stand-in for 32W\\" << file << "\n";
}

int serve_agents(const std::string& folder) {
  LinuxSide side;
  Place place;
  if (!start_agents(&side, &place, nullptr)) return 1;
  std::ofstream agents(folder + "/agents.txt", std::ios::binary);
  for (const auto& [role, address] : place.agents) agents << role << " " << address << "\r\n";
  agents.close();
  std::printf("serving\n");
  std::fflush(stdout);
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}

}  // namespace wintest
