#include "console/windows_error.h"
#include "console/deploy_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "resources/resource.h"
#include "win32/services.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr uint16_t kDeployScreenKey = 7;
constexpr int kServerListItem = 300;
constexpr const char* kStateNames[] = {"", "stopped", "starting", "stopping", "running"};
// The deployment screens' controls.
constexpr uint32_t kServerNameField = 0x60180001, kReportPathField = 0x60180002, kDepartmentsHostField = 0x60180003;
constexpr uint32_t kEnterpriseHostField = 0x60180004, kLibrariesBox = 0x601800B3;
constexpr uint32_t kInstallWithoutStartButton = 0x6011200A, kWelcomePictureButton = 0x6011200B;
constexpr uint32_t kUpdateSelectedServerButton = 0x6021000E, kRemoveSelectedServerButton = 0x60210010;
constexpr uint32_t kStartSelectedAgentButton = 0x6021001A, kStopSelectedAgentButton = 0x6021001B;
constexpr uint32_t kInstallScoutButton = 0x6021001C, kUpdateScoutButton = 0x6021001D;
constexpr char kScoutService[] = "VORNIXWScoutAgent";

// The user closes the results window, and the library goes.
void stop_library(Library* l) {
  close_results_windows();
  host::unload_library(&l->library);
}

// A deployment screen: the install fields, and a server list whose rows are selected.
struct Screen {
  HWND window;
  HWND list;
};

Screen make_screen(const std::vector<std::string>& servers) {
  host::clear_screens();
  Screen s;
  s.window = host::create_screen(kDeployScreenKey, "Deployment");
  s.list = host::add_control(s.window, kServerListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  for (const std::string& server : servers) add_to_selection(s.list, support::append_row(s.list, server.c_str()));
  return s;
}

HWND add_field(const Screen& s, int item, uint32_t id, const std::string& text, uint32_t kind = kDescriptorEditField) {
  return host::add_control(s.window, item, kind == kDescriptorCheckBox ? "Button" : "Edit", text.c_str(),
                           host::ControlSpec{id, kind});
}

// Presses a deployment button whose companion is the server list, as the host sends it.
void press_button(const Library& l, const Screen& s, uint32_t id) {
  press(l, s.window, add_button(s.window, 500, id, kDeployScreenKey, kServerListItem));
}

bool row_ends(const std::string& row, const std::string& ending) {
  return row.size() >= ending.size() && row.compare(row.size() - ending.size(), ending.size(), ending) == 0;
}

// The rows of a run whose final rows all say "<done>"; how many did not.
int failed_runs() {
  int failed = 0;
  for (const std::string& row : results_rows())
    if (row.find("| Installation Complete |") != std::string::npos && !row_ends(row, "| <done>")) ++failed;
  return failed;
}

// A service's state on a machine (this computer for an empty name) as its manager answers now; 0 when it cannot
// be read.
DWORD service_state(const std::string& server, const char* name) {
  DWORD state = 0;
  SC_HANDLE manager = OpenSCManagerA(server.empty() ? nullptr : ("\\\\" + server).c_str(), nullptr, SC_MANAGER_CONNECT);
  if (SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr) {
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    CloseServiceHandle(service);
  }
  if (manager) CloseServiceHandle(manager);
  return state;
}

bool take_server(std::vector<std::string>& args, std::string* server, const char* usage) {
  bool missing = false;
  *server = take_option(args, "--server", &missing);
  if (missing || server->empty() || !args.empty()) {
    usage_error(usage);
    return false;
  }
  return true;
}

}  // namespace

int install_agent(std::vector<std::string> args) {
  bool missing = false;
  const bool no_start = take_flag(args, "--no-start");
  const bool no_libraries = take_flag(args, "--no-vnxlwa");
  const std::string report_path = take_option(args, "--report-path", &missing);
  const std::string department = take_option(args, "--department", &missing);
  const std::string enterprise = take_option(args, "--enterprise-host", &missing);
  std::string server;
  if (missing || !take_server(args, &server,
                              "install-agent takes --server NAME and optionally --no-start, --no-vnxlwa, "
                              "--report-path SHARE, --department HOST, --enterprise-host HOST"))
    return 1;
  Library l;
  l.print_status_lines = true;
  if (!start(&l)) return 1;
  Screen screen = make_screen({});
  HWND name = add_field(screen, 101, kServerNameField, server);
  add_field(screen, 102, kReportPathField, report_path);
  add_field(screen, 103, kDepartmentsHostField, department);
  add_field(screen, 104, kEnterpriseHostField, enterprise);
  HWND libraries = add_field(screen, 105, kLibrariesBox, "", kDescriptorCheckBox);
  SendMessageA(libraries, BM_SETCHECK, no_libraries ? BST_UNCHECKED : BST_CHECKED, 0);
  forget_results_rows();
  press_button(l, screen, no_start ? kInstallWithoutStartButton : kWelcomePictureButton);
  char installed_on[260] = {};  // the name as the installation left it in its field
  GetWindowTextA(name, installed_on, sizeof installed_on);
  stop_library(&l);
  if (results_rows().empty()) return fail(server + ": the agent was not installed (the message above says why)");
  if (failed_runs() != 0) return fail(std::string(installed_on) + ": the installation ended with errors");
  std::printf("%s: the agent is installed%s\n", installed_on, no_start ? "" : " and started");
  return 0;
}

int update_agent(std::vector<std::string> args) {
  bool missing = false;
  const bool no_restart = take_flag(args, "--no-restart");
  const bool skip_if_running = take_flag(args, "--skip-if-running");
  const bool no_libraries = take_flag(args, "--no-vnxlwa");
  std::vector<std::string> servers = take_options(args, "--server", &missing);
  if (missing || servers.empty() || !args.empty() || (no_restart && skip_if_running))
    return usage_error("update-agent takes --server NAME (repeatable) and at most one of --no-restart and "
                       "--skip-if-running, and optionally --no-vnxlwa");
  Library l;
  l.print_status_lines = true;
  if (!start(&l)) return 1;
  Screen screen = make_screen(servers);
  ui::script({"UPDATE_AGENT_NEW", skip_if_running ? IDC_UPDATE_SKIP : no_restart ? IDC_UPDATE_NO_RESTART
                                                                                  : IDC_UPDATE_RESTART, "", {}});
  if (no_libraries) ui::script({"UPDATE_AGENT_NEW", IDC_UPDATE_LIBRARIES, "", {}});
  ui::script({"UPDATE_AGENT_NEW", servers.size() > 1 ? IDC_UPDATE_MULTIPLE : IDOK, "", {}});
  forget_results_rows();
  press_button(l, screen, kUpdateSelectedServerButton);
  ui::clear_script();
  stop_library(&l);
  int failed = failed_runs();
  if (results_rows().empty()) return fail("nothing was updated (the message above says why)");
  if (failed != 0) return fail(std::to_string(failed) + " of " + std::to_string(servers.size()) +
                               " server(s) not updated; the rows above say why");
  std::printf("%zu server(s) updated\n", servers.size());
  return 0;
}

int agent_command(std::vector<std::string> args) {
  static const char* usage = "agent takes start or stop and --server NAME";
  const std::string action = args.empty() ? "" : args.front();
  if (action != "start" && action != "stop") return usage_error(usage);
  args.erase(args.begin());
  std::string server;
  if (!take_server(args, &server, usage)) return 1;
  Library l;
  l.print_status_lines = true;
  if (!start(&l)) return 1;
  press_button(l, make_screen({server}), action == "start" ? kStartSelectedAgentButton : kStopSelectedAgentButton);
  stop_library(&l);
  DWORD state = service_state(server, "VORNIXWService");
  bool done = action == "start" ? state == SERVICE_START_PENDING || state == SERVICE_RUNNING : state == SERVICE_STOPPED;
  if (!done) return fail(server + ": the agent was not " + (action == "start" ? "started" : "stopped"));
  std::printf("%s: the agent is %s\n", server.c_str(), kStateNames[state]);
  return 0;
}

int remove_agent(std::vector<std::string> args) {
  const bool logs = take_flag(args, "--logs");
  const bool registry = take_flag(args, "--registry");
  const bool confirmed = take_confirmation(args);
  std::string server;
  if (!take_server(args, &server, "remove-agent takes --server NAME and optionally --logs, --registry and --yes"))
    return 1;
  Library l;
  l.print_status_lines = true;
  if (!start(&l)) return 1;
  // The warning and the removal dialog, answered as the options say.
  ui::script({"**WARNING**", 0, confirmed ? "Continue" : "Cancel", {}});
  if (logs) {
    ui::script({"REMOVE_AGENT_NEW", IDC_REMOVE_STAGING_LOGS, "", {}});
    ui::script({"REMOVE_AGENT_NEW", IDC_REMOVE_SHARED_LOGS, "", {}});
  }
  if (registry) ui::script({"REMOVE_AGENT_NEW", IDC_REMOVE_REGISTRY_KEYS, "", {}});
  ui::script({"REMOVE_AGENT_NEW", IDOK, "", {}});
  forget_results_rows();
  press_button(l, make_screen({server}), kRemoveSelectedServerButton);
  ui::clear_script();
  stop_library(&l);
  if (!confirmed) return not_confirmed(server + ": the agent was not removed");
  for (const std::string& row : results_rows()) {
    if (row.find("| About Removal of Agent |") == std::string::npos) continue;
    if (row_ends(row, "agent files removed")) {
      std::printf("%s: the agent is removed\n", server.c_str());
      return 0;
    }
  }
  return fail(server + ": the agent was not removed; the rows above say why");
}

int scout_command(std::vector<std::string> args) {
  const std::string action = args.size() == 1 ? args.front() : "";
  if (action != "status" && action != "install" && action != "update")
    return usage_error("scout takes status, install or update");
  Library l;
  l.print_status_lines = true;
  if (!start(&l)) return 1;
  forget_results_rows();
  if (action != "status") press_button(l, make_screen({}), action == "install" ? kInstallScoutButton : kUpdateScoutButton);
  stop_library(&l);
  // The scout's state as this computer's service manager answers it.
  DWORD state = service_state("", kScoutService);
  bool active = state == SERVICE_START_PENDING || state == SERVICE_RUNNING || state == SERVICE_STOP_PENDING;
  const char* described = active ? "running" : state != 0 ? "installed, not running" : "not installed";
  std::printf("Scout agent (%s) on %s: %s\n", kScoutService, world::console_machine().c_str(), described);
  if (action == "install" && !active) return fail("the scout agent was not installed and started");
  if (action == "update" && (results_rows().empty() || !row_ends(results_rows().back(), "| Update Complete")))
    return fail("the scout agent was not updated; the rows above say why");
  return 0;
}

int services_command(std::vector<std::string> args) {
  std::string server;
  Format format;
  if (!take_format(args, &format) || !take_server(args, &server, "services takes --server NAME")) return 1;
  std::vector<platform::ServiceInfo> services = platform::machine_services(server);
  SC_HANDLE manager = OpenSCManagerA(("\\\\" + server).c_str(), nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr)
    return fail(server + ": its service control manager cannot be reached (" + windows_error(GetLastError()) + ")");
  CloseServiceHandle(manager);
  Listing listing{"Services of " + server + ":", {"name", "state", "type", "image"}, {}, "(none)", {20, 9, 14}};
  for (const platform::ServiceInfo& s : services)
    listing.rows.push_back({s.name, kStateNames[s.state], s.type == SERVICE_KERNEL_DRIVER ? "kernel driver" : "own process",
                            s.image + (s.marked ? " (marked for deletion)" : "")});
  print_listing(listing, format);
  return 0;
}

}  // namespace console
