// The world of the deployment tests and what they read back: the results
// window's rows, a machine's files and services, its registry.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "deploy/deploy.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/results_window.h"
#include "sim/agent_world.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/processes.h"
#include "win32/services.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace deploy_test {

class DeployTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_service_calls();
    support::add_agent_file_sets(world_);
    support::add_agent_server(world_, "SRV64", "127.0.0.2", "Windows Server 2012 R2 Standard", true);
    support::add_agent_server(world_, "SRV32", "127.0.0.3", "Windows Server 2003 Standard", false);
  }

  void TearDown() override {
    close_results_window();
    release_registry_connections();
    g_library.sibling_mode = 0;
    support::end_in_process();
  }

  void start() {
    world_.open();
    support::start_library(&table_);
    g_library.sibling_mode = 0;
    g_deploy.removal_options = 0;
    platform::clear_started_processes();
    host::clear_service_calls();
  }

  // One run in a fresh results window; its rows.
  std::vector<std::string> run(int mode, const char* server, const char* report_path = "") {
    EXPECT_NE(open_results_window("VORNIX Agent Update Results"), nullptr);
    InstallAgentRun(nullptr, mode, server, report_path, "", "", 0x603100D3, 1);
    return rows();
  }

  // The results window's rows as "server | action | result (image)", numbered from 1 without gaps.
  static std::vector<std::string> rows() {
    std::vector<std::string> out;
    HWND list = GetDlgItem(g_results.window, kResultsListItem);
    std::vector<support::ListRow> listed = support::list_rows(list);
    std::vector<std::string> actions = support::list_column(list, 1), results = support::list_column(list, 2);
    for (size_t i = 0; i < listed.size(); ++i) {
      char number[8];
      std::snprintf(number, sizeof number, "%04d: ", static_cast<int>(i + 1));
      std::string first = listed[i].text;
      EXPECT_EQ(first.rfind(number, 0), 0u) << first;
      out.push_back(first.substr(6) + " | " + actions[i] + " | " + results[i] + " (" +
                    std::to_string(listed[i].image) + ")");
    }
    return out;
  }

  // Files below a folder of a machine's C$, as relative paths, in order.
  std::vector<std::string> files(const std::string& machine, const std::string& below = "Windows") const {
    std::vector<std::string> out;
    const std::filesystem::path root = world_.machine_dir(machine) + "/shares/C$/" + below;
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec))
      if (entry.is_regular_file()) out.push_back(entry.path().lexically_relative(root).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  // A machine's services as "name type start image state".
  static std::vector<std::string> services(const std::string& machine) {
    std::vector<std::string> out;
    for (const platform::ServiceInfo& s : platform::machine_services(machine))
      out.push_back(s.name + " " + std::to_string(s.type) + " " + std::to_string(s.start_type) + " " + s.image + " " +
                    std::to_string(s.state) + (s.marked ? " marked" : ""));
    return out;
  }

  // A key of a machine's HKLM and everything below it.
  static std::vector<std::string> registry(const std::string& machine, const std::string& key) {
    HKEY hklm;
    std::vector<std::string> out;
    if (RegConnectRegistryA(("\\\\" + machine).c_str(), HKEY_LOCAL_MACHINE, &hklm) != ERROR_SUCCESS) return out;
    support::dump_registry(hklm, key, key.substr(key.rfind('\\') + 1), out, false);
    RegCloseKey(hklm);
    return out;
  }

  void set_service(const std::string& machine, const std::string& service, const std::string& key,
                   const std::string& value) {
    const std::string path = world_.machine_dir(machine) + "/services.ini";
    world::IniFile ini = world::read_ini(path);
    ini[service][key] = value;
    world::write_ini(path, ini);
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

}  // namespace deploy_test
