// Installing the agent on 50 world machines one after the other (the install
// run of each: registry connection, platform probe, service control manager,
// the 64-bit file set over the administrative share, both services with their
// registry keys, the product key, the start, and the results window's rows),
// against copying the same files to the same places with CopyFileA alone in
// the same run. The ratio (install time over copy time) is printed last, with
// what the install adds per server.
//
// The servers already have their product key with its subkeys, as a server
// added to the console has: a new key would only add the establishment's
// pauses, which cost nothing here on the virtual clock.
//
//   ./build/default/deploy_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "config/registry.h"
#include "console/substitute_host.h"
#include "deploy/deploy.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/results_window.h"
#include "sim/agent_world.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/services.h"
#include "world/world.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace fs = std::filesystem;

namespace {

constexpr int kServers = 50;
support::WorldBuilder* g_world;
std::vector<std::string> g_servers;
std::vector<std::string> g_hives;  // each server's registry as it was before any installation
// The copy of the baseline: the same sources to the same destinations as the install's.
std::vector<std::pair<std::string, std::string>> g_copies;

std::string destination_folder(const std::string& file) {
  if (file == "VORNIXW.EXE") return "sysWOW64\\";
  if (file == "VNXW_K64.SYS" || file == "VNXWK646.SYS") return "system32\\drivers\\";
  if (file.rfind("vnxwk646.", 0) == 0) return "syswow64\\drivers\\vornix\\";
  return "syswow64\\";
}

void make_world() {
  support::add_agent_file_sets(*g_world);
  const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
  for (int i = 1; i <= kServers; ++i) {
    char name[16], address[16];
    std::snprintf(name, sizeof name, "SRV%03d", i);
    std::snprintf(address, sizeof address, "127.0.1.%d", i);
    support::add_agent_server(*g_world, name, address, "Windows Server 2012 R2 Standard", true);
    g_world->add_registry_text(name, "HKLM",
                               key + "]\r\n\r\n" + key + "\\Profiles]\r\n\r\n" + key + "\\Reports]\r\n\r\n" + key +
                                   "\\Enterprise]\r\n\r\n");
    fs::create_directories(g_world->machine_dir(name) + "/shares/C$/Windows/SysWOW64/drivers/vornix");
    g_servers.push_back(name);
    g_hives.push_back(support::read_whole_file(g_world->machine_dir(name) + "/registry/HKLM.reg"));
    for (const std::string& file : support::agent_file_set("64W")) {
      std::string destination = "\\\\" + std::string(name) + "\\C$\\Windows\\" + destination_folder(file) + file;
      if (file == "vnxlwa32.dll" || file == "vnxlwa64.dll" || file == "vnx_x64b.dll")
        destination.replace(destination.size() - 3, 3, "NEW");
      g_copies.emplace_back(std::string(support::kProductFolder) + "\\64W\\" + file, destination);
    }
  }
}

// The servers as they were: no services, the registry before, nothing the library keeps of them.
void reset_servers() {
  release_registry_connections();
  for (size_t i = 0; i < g_servers.size(); ++i) {
    const std::string dir = g_world->machine_dir(g_servers[i]);
    fs::remove(dir + "/services.ini");
    std::ofstream(dir + "/registry/HKLM.reg", std::ios::binary | std::ios::trunc) << g_hives[i];
  }
  g_world->open();
}

void copy_alone(benchmark::State& state) {
  reset_servers();
  for (auto _ : state) {
    for (const auto& [source, destination] : g_copies) {
      if (!CopyFileA(source.c_str(), destination.c_str(), FALSE)) {
        state.SkipWithError("a copy failed");
        return;
      }
    }
  }
  state.counters["files"] = static_cast<double>(g_copies.size());
}

void install_agents(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    reset_servers();
    open_results_window("Multiple VORNIX Server Agent Update Results");
    state.ResumeTiming();
    for (const std::string& server : g_servers)
      InstallAgentRun(nullptr, kModeInstallAndStart, server.c_str(), "", "", "", 0x603100D3, 1);
    state.PauseTiming();
    const int rows = static_cast<int>(SendMessageA(GetDlgItem(g_results.window, kResultsListItem), LVM_GETITEMCOUNT, 0, 0));
    close_results_window();
    for (const std::string& server : g_servers) {
      std::vector<platform::ServiceInfo> services = platform::machine_services(server);
      if (services.size() != 2 || services[1].state == SERVICE_STOPPED) {
        state.SkipWithError("an agent was not installed and started");
        return;
      }
    }
    if (rows != 11 * kServers) state.SkipWithError("an installation reported other steps");
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  support::WorldBuilder world;
  g_world = &world;
  make_world();
  world.open();
  host::ServiceTable table = host::make_service_table();
  if (establish_tables(6, table.data()) != 1) {
    std::fprintf(stderr, "deploy_bench: the library refused the host services table\n");
    return 1;
  }
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  g_library.quiet_mode = 1;
  std::printf("%d servers, %zu files of the 64-bit set each\n", kServers, support::agent_file_set("64W").size());
  benchmark::RegisterBenchmark("copy_alone", copy_alone)->Unit(benchmark::kMillisecond)->MinTime(2);
  benchmark::RegisterBenchmark("install_agents", install_agents)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  release_registry_connections();
  const double install = reporter.seconds["install_agents"], copy = reporter.seconds["copy_alone"];
  std::printf("the install adds %.2f ms per server to its copies (services, registry, connections, rows)\n",
              (install - copy) / kServers);
  std::printf("install time / copy time: %.2f\n", install / copy);
  return 0;
}
