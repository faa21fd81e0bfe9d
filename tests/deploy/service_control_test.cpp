// Starting and stopping an agent (what the user is told, how long it waits),
// and the scout agent's status, installation and update.
#include <fstream>

#include "tests/deploy/deploy_fixture.h"

namespace deploy_test {
namespace {

using ServiceControl = DeployTest;
using Rows = std::vector<std::string>;

// The message boxes of the journal as "title | text | icon", then emptied.
Rows boxes() {
  Rows out;
  for (const ui::JournalEntry& e : ui::journal())
    if (e.kind == "message box") out.push_back(e.title + " | " + e.text + " | " + std::to_string(e.flags & MB_ICONMASK));
  ui::clear_journal();
  return out;
}

TEST_F(ServiceControl, StartAndStopTellWhatTheServiceDidAndRetryAStopOnlyForItsTwoErrors) {
  support::add_agent_server(world_, "SRV01", "127.0.0.5", "Windows Server 2012 R2 Standard", true);
  support::add_installed_agent(world_, "SRV01");
  world_.add_machine("DOWN01", "127.0.0.6");
  world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
  start();
  const std::string stopping = "VORNIX Stop Service Message | ";
  const std::string starting = "VORNIX Start Service Message | ";
  auto stop = [](const char* server) {
    StopAgentService(nullptr, server, nullptr, 0);
    return 0u;
  };
  auto begin = [](const char* server) { return StartAgentService(nullptr, nullptr, server, nullptr, 0); };
  auto agent = [&](const char* key, const char* value) { set_service("SRV01", "vornixwservice", key, value); };
  const struct {
    const char* what;
    std::function<void()> setup;
    std::function<DWORD()> act;
    DWORD result;
    DWORD waited_ms;
    Rows boxes;
  } cases[] = {
      {"running", [] {}, [&] { return stop("SRV01"); }, 0, 1000, {stopping + "VORNIXW Server Agent Stopped | 48"}},
      {"stopped", [] {}, [&] { return stop("SRV01"); }, 0, 0, {stopping + "VORNIXW Server Agent *already* stopped | 48"}},
      {"start", [] {}, [&] { return begin("SRV01"); }, 1, 0, {}},
      {"starting", [] {}, [&] { return begin("SRV01"); }, 0, 0, {starting + "VORNIXW Service is already running | 16"}},
      {"broken pipe", [&] { agent("stop_fault", "109"), agent("stop_fault_times", "1"), Sleep(500); },
       [&] { return stop("SRV01"); }, 0, 20000 + 1000, {stopping + "VORNIXW Server Agent Stopped | 48"}},
      {"debug mode", [&] { agent("ignores_stop", "yes"), begin("SRV01"), Sleep(500); }, [&] { return stop("SRV01"); },
       0, 1000, {stopping + "Unable to STOP VORNIXW Service - could be in DEBUG mode | 16"}},
      {"denied", [&] { agent("stop_fault", "5"), agent("stop_fault_times", "0"); }, [&] { return stop("SRV01"); }, 0,
       0, {stopping + "Error [5] attempting to STOP the VORNIXW Service | 16"}},
      {"disabled", [&] { agent("state", "stopped"), agent("start", "4"); }, [&] { return begin("SRV01"); }, 0, 0,
       {starting + "VORNIXW Serice is set to DISABLED, unable to start | 16"}},
      {"timeout", [&] { agent("start", "2"), agent("start_fault", "1053"); }, [&] { return begin("SRV01"); }, 0, 0,
       {starting + "Timeout starting VORNIXW Service | 16"}},
      {"not installed", [] {}, [&] { return stop("SRV32") + begin("SRV32"); }, 0, 0,
       {stopping + "VORNIXW Server Agent *not installed*(stop) | 16",
        starting + "VORNIXW Server Agent *not installed*(start) | 16"}},
      {"unreachable", [] {}, [&] { return stop("DOWN01") + begin("DOWN01"); }, 0, 0,
       {stopping + "Server unavailable or not found | 16", starting + "Server unavailable or not found | 16"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.setup();
    ui::clear_journal();
    const DWORD before = GetTickCount();
    EXPECT_EQ(c.act(), c.result);
    EXPECT_EQ(GetTickCount() - before, c.waited_ms);
    EXPECT_EQ(boxes(), c.boxes);
  }

  // With a list row to report to, the message is the row's status instead of a box.
  HWND screen = host::create_screen(5, "Servers");
  HWND list = host::add_control(screen, 300, WC_LISTVIEWA, "", host::ControlSpec{});
  support::add_columns(list, 3);  // the server list's name, address and status
  support::insert_list_rows(list, {{"SRV32", nullptr}});
  StopAgentService(nullptr, "SRV32", list, 0);
  EXPECT_EQ(support::list_column(list, 2), Rows{"VORNIXW Server Agent *not installed*(stop)"});
  EXPECT_TRUE(boxes().empty());
}

TEST_F(ServiceControl, TheScoutInstallsThroughItsOwnProgramAndUpdatesInTheResultsWindow) {
  start();
  EXPECT_EQ(ScoutStatus(), kScoutMissing);
  // A scout that never registers its service: fifteen looks, 1555 ms apart.
  platform::set_program_hook("vnxscout.exe", [](const platform::StartedProcess&) -> DWORD { return 0; });
  DWORD before = GetTickCount();
  EXPECT_EQ(InstallScout(nullptr), 0u);
  EXPECT_EQ(GetTickCount() - before, 15 * 1555u);
  platform::set_program_hook("vnxscout.exe", nullptr);
  EXPECT_EQ(boxes(), Rows{"ERROR STARTING SCOUT | Unable to start VORNIX Agent Scout Service.\n\nPlease open services.msc "
                          "and manually start. | 16"});

  before = GetTickCount();
  EXPECT_EQ(InstallScout(nullptr), 1u);
  EXPECT_EQ(GetTickCount() - before, 1555u);
  Rows started;
  for (const platform::StartedProcess& p : platform::started_processes())
    started.push_back(p.command_line + " | " + std::to_string(p.creation_flags) + " | " + std::to_string(p.show_window));
  const std::string installed = "C:\\Windows\\system32\\drivers\\vnxscout.exe";
  EXPECT_EQ(started, Rows(2, installed + " -install | " + std::to_string(CREATE_DEFAULT_ERROR_MODE) + " | 1"));
  EXPECT_EQ(ScoutStatus(), kScoutActive);
  EXPECT_TRUE(boxes().empty());

  ASSERT_NE(open_results_window("VORNIX Agent Scout Update Results"), nullptr);
  EXPECT_EQ(UpdateScout(nullptr), 1u);
  EXPECT_EQ(rows(), (Rows{"VORNIXWScoutAgent | Stopping... | ... (5)", "VORNIXWScoutAgent | Copying... | ... (246)",
                          "VORNIXWScoutAgent | Starting... | ... (5)",
                          "VORNIXWScoutAgent | Agent started | Update Complete (1)"}));
  // Without its program beside the console program the copy fails and says where from and to.
  std::filesystem::remove(world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX/VNXSCOUT.EXE");
  EXPECT_EQ(UpdateScout(nullptr), 0u);
  EXPECT_EQ(boxes(), Rows{"ERROR UPDATING SCOUT | Error 2 copying\n\nC:\\Program Files\\Brightmere\\VORNIX\\VNXSCOUT.EXE"
                          "\n\nTO\n\n" + installed + " | 16"});
  EXPECT_EQ(ScoutStatus(), kScoutInstalled) << "stopped for the update, not started again";
}

}  // namespace
}  // namespace deploy_test
