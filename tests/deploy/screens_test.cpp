// The deployment screens through the button and text entry points: the checks
// before a new installation, the update and removal dialogs with their
// two-minute rule and warning, and the installation summary fields.
#include "tests/deploy/deploy_fixture.h"

#include <cstring>

#include "deploy/deploy_screens.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "resources/resource.h"

namespace deploy_test {
namespace {

using Rows = std::vector<std::string>;
constexpr uint16_t kScreenKey = 6;
constexpr int kListItem = 300;

class Screens : public DeployTest {
 protected:
  void SetUp() override {
    DeployTest::SetUp();
    support::add_agent_server(world_, "SRV01", "127.0.0.5", "Windows Server 2012 R2 Standard", true);
    support::add_installed_agent(world_, "SRV01");
    world_.add_machine("DOWN01", "127.0.0.6");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    start();
    host::clear_screens();
    screen_ = host::create_screen(kScreenKey, "Add New Server");
  }

  HWND field(int item, uint32_t id, const char* text, uint32_t kind = kDescriptorEditField) {
    return host::add_control(screen_, item, kind == kDescriptorCheckBox ? "Button" : "Edit", text,
                             host::ControlSpec{id, kind});
  }

  // Presses a button of the screen whose companion is the server list.
  DWORD press(uint32_t id) {
    HWND button = host::add_control(screen_, 400 + next_++, "Button", "", {id, kDescriptorPushButton, kScreenKey, kListItem});
    return entry_point_button_services(screen_, 0, host::descriptor_of(button));
  }

  // Message boxes and dialogs shown, "title | text", then forgotten.
  static Rows shown() {
    Rows out;
    for (const ui::JournalEntry& e : ui::journal())
      if (e.kind != "modeless dialog") out.push_back(e.title + " | " + e.text);
    ui::clear_journal();
    return out;
  }

  static std::string caption(HWND window) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
  }

  HWND screen_ = nullptr;
  int next_ = 0;
};

TEST_F(Screens, TheInstallButtonsCheckTheServerBeforeTheRun) {
  HWND server = field(101, kServerNameField, "");
  field(102, kReportPathField, "VNXLOGS$");
  HWND libraries = field(103, kLibrariesBox, "", kDescriptorCheckBox);
  EXPECT_EQ(press(kWelcomeInstallButton), 0u);
  EXPECT_EQ(press(kInstallScreenButton), 0u);
  EXPECT_EQ(shown(), (Rows{"VORNIX Error Message | Server to Install is undefined, unable to continue installation.",
                           "Server Name Required | To continue, please enter a Windows Server for VORNIX Installation."}));

  // The name is normalised in its field (an address becomes its machine's name); a server with the agent, one
  // that cannot be reached and one whose agent service cannot be looked at go no further.
  SetWindowTextA(server, "\\\\srv01.brightmere.local");
  EXPECT_EQ(press(kWelcomeInstallButton), 1u);
  EXPECT_EQ(caption(server), "srv01");
  set_service("SRV01", "vornixwservice", "state", "stopped");
  SetWindowTextA(server, "127.0.0.5");
  EXPECT_EQ(press(kWelcomePictureButton), 1u);
  EXPECT_EQ(caption(server), "SRV01");
  SetWindowTextA(server, "DOWN01");
  EXPECT_EQ(press(kWelcomeInstallButton), 1u);
  set_service("SRV01", "vornixwservice", "open_fault", "5");
  SetWindowTextA(server, "SRV01");
  EXPECT_EQ(press(kWelcomeInstallButton), 1u);
  const std::string cannot = "Unable to continue | ";
  const std::string unreachable = " is unreachable or it appears your current logon credentials are insufficient to "
                                  "install the VORNIX Service.";
  EXPECT_EQ(shown(), (Rows{cannot + "It appears that the VORNIX Service is already installed on server srv01.  The "
                                    "VORNIX Service is currently running.",
                           cannot + "It appears that the VORNIX Service is already installed on server SRV01.  The "
                                    "VORNIX Service is NOT currently running.",
                           cannot + "Either server DOWN01" + unreachable, cannot + "Either server SRV01" + unreachable}));
  EXPECT_EQ(g_results.window, nullptr);

  // A new server, without the libraries (the box is clear) and without starting the agent.
  HWND start_now = field(104, kStartNowBox, "", kDescriptorCheckBox);
  SendMessageA(start_now, BM_SETCHECK, BST_CHECKED, 0);
  SetWindowTextA(server, "SRV64");
  EXPECT_EQ(press(kInstallWithoutStartButton), 1u);
  EXPECT_EQ(caption(g_results.window), "VORNIX Add New Server Results");
  EXPECT_EQ(rows().back(), "SRV64 | Installation Complete | <done> (1)");
  EXPECT_EQ(services("SRV64")[1], "VORNIXWService 16 2 %SystemRoot%\\sysWOW64\\vornixw.exe 1");
  const Rows copied = files("SRV64");
  EXPECT_EQ(std::count(copied.begin(), copied.end(), "SysWOW64/vnxlwa32.NEW"), 0);
  EXPECT_EQ(registry("SRV64", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX")[3], "VORNIX:ReportPath=1:VNXLOGS$|");

  // Built again, the screen offers the values of that installation: the share, not the server.
  HWND later = host::create_screen(kScreenKey + 1, "Add New Server");
  HWND later_server = host::add_control(later, 101, "Edit", "typed", host::ControlSpec{kServerNameField, kDescriptorEditField});
  HWND later_share = host::add_control(later, 102, "Edit", "typed", host::ControlSpec{kReportPathField, kDescriptorEditField});
  EXPECT_EQ(check_if_text_to_be_displayed(0, kServerNameField, later, 101, nullptr), 1u);
  EXPECT_EQ(check_if_text_to_be_displayed(0, kReportPathField, later, 102, nullptr), 1u);
  EXPECT_EQ(caption(later_server) + "/" + caption(later_share), "/VNXLOGS$");
  // Its boxes as that installation had them: the libraries left out, the start-now box checked.
  const struct {
    uint32_t id;
    LRESULT offered;
  } boxes[] = {{kLibrariesBox, BST_UNCHECKED}, {kStartNowBox, BST_CHECKED}};
  for (const auto& box : boxes) {
    HWND later_box = host::add_control(later, 103, "Button", "", host::ControlSpec{box.id, kDescriptorCheckBox});
    SendMessageA(later_box, BM_SETCHECK, BST_CHECKED - box.offered, 0);
    EXPECT_EQ(check_if_text_to_be_displayed(0, box.id, later, 103, nullptr), 3u);
    EXPECT_EQ(SendMessageA(later_box, BM_GETCHECK, 0, 0), box.offered) << std::hex << box.id;
    DestroyWindow(later_box);
  }

  // The summary fields read the screen's boxes.
  auto summary = [&](uint32_t id) {
    char text[64] = {};
    LONG value = 0;
    EXPECT_EQ(entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, id, 7), 0u);
    return std::string(text);
  };
  SendMessageA(start_now, BM_SETCHECK, BST_UNCHECKED, 0);
  EXPECT_EQ(summary(kLibrariesSummary) + "/" + summary(kStartSummary), "DO NOT INSTALL/WILL NOT START");
  for (HWND box : {libraries, start_now}) SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(summary(kLibrariesSummary) + "/" + summary(kStartSummary), "WILL INSTALL/WILL START NOW");
  // The other three repeat the share and hosts typed.
  field(105, kEnterpriseHostField, "HQ01");
  EXPECT_EQ(summary(kReportPathSummary) + "/" + summary(kReportPathSummary + 1) + "/" + summary(kEnterpriseHostSummary),
            "VNXLOGS$/<not set>/HQ01");
}

TEST_F(Screens, UpdateAndRemovalAskFirstAndRefuseAnAgentStartedUnderTwoMinutesAgo) {
  HWND list = host::add_control(screen_, kListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordAgentStartTime, current_seconds() - 60);
  support::insert_list_rows(list, {{"SRV01", record}});
  support::set_row_selected(list, 0);
  EXPECT_EQ(press(kUpdateSelectedServerButton), 0u);
  EXPECT_EQ(press(kRemoveSelectedServerButton), 0u);
  EXPECT_EQ(press(kStopSelectedAgentButton), 0u);
  const std::string recently = "Server Agent on SRV01 last started less than 2 minutes ago.\n\nUnable to stop/";
  EXPECT_EQ(shown(), (Rows{"UPDATE AGENT ERROR | " + recently + "update - please retry after 2 minutes.",
                           "REMOVE AGENT ERROR | " + recently + "remove - please retry after 2 minutes.",
                           "VORNIX message from QVMR0007.DLL | Unable to Stop VORNIX Server Agent - it has been less "
                           "than 2 minutes since it was last started.\n\nRetry after 2 minutes has elapsed."}));
  EXPECT_EQ(services("SRV01")[1].back(), '4') << "still running";

  // Two minutes on: the update dialog's third choice leaves the running agent alone.
  set_item_word(record, kItemWordAgentStartTime, current_seconds() - 121);
  ui::script({"UPDATE_AGENT_NEW", IDC_UPDATE_SKIP, "", {}});
  ui::script({"UPDATE_AGENT_NEW", IDOK, "", {}});
  EXPECT_EQ(press(kUpdateSelectedServerButton), 1u);
  EXPECT_EQ(caption(g_results.window), "VORNIX Agent Update Results");
  EXPECT_EQ(rows()[3], "SRV01 | processing... | VORNIXWService is running - do not update (5)");
  // The other server screens' update buttons run the same update.
  for (uint32_t id : {kFirstOtherUpdateButton, kSecondOtherUpdateButton, kThirdOtherUpdateButton}) {
    close_results_window();
    ui::script({"UPDATE_AGENT_NEW", IDC_UPDATE_SKIP, "", {}});
    ui::script({"UPDATE_AGENT_NEW", IDOK, "", {}});
    EXPECT_EQ(press(id), 1u) << std::hex << id;
    ASSERT_NE(g_results.window, nullptr) << std::hex << id;
    EXPECT_EQ(rows()[3], "SRV01 | processing... | VORNIXWService is running - do not update (5)") << std::hex << id;
  }

  // The removal: cancelled at the warning, then done with the registry option only.
  ui::script({"**WARNING**", 0, "Cancel", {}});
  EXPECT_EQ(press(kRemoveSelectedServerButton), 1u);
  ui::script({"**WARNING**", 0, "Continue", {}});
  ui::script({"REMOVE_AGENT_NEW", IDC_REMOVE_REGISTRY_KEYS, "", {}});
  ui::script({"REMOVE_AGENT_NEW", IDOK, "", {}});
  ui::clear_journal();
  EXPECT_EQ(press(kRemoveSelectedServerButton), 1u);
  Rows dialogs = shown();
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[0], "**WARNING** | **WARNING**\nYou are about to remove the VORNIX Server Agent from SRV01.\n\nTo re-install the "
                        "agent, use Update instead of removing it: uninstalling does not repair a configuration "
                        "problem.\n\nFor assistance, contact Brightmere Software, Inc. at support@brightmere.com.");
  EXPECT_EQ(dialogs[1].substr(0, dialogs[1].find('\n')), "Remove VORNIX Agent from selected server | Step 1: Stop the Agent");
  EXPECT_EQ(caption(g_results.window), "VORNIX Agent Removal Results");
  EXPECT_EQ(rows()[7], "SRV01 | About Removal of Agent | Final Removal will occur after next reboot, agent files removed (5)");
  EXPECT_EQ(registry("SRV01", "SOFTWARE\\Brightmere Software, Inc.\\VORNIX").size(), 3u) << "no subkeys left";

  // Several servers: none selected.
  support::set_row_selected(list, 0, false);
  ui::script({"UPDATE_AGENT_NEW", IDC_UPDATE_MULTIPLE, "", {}});
  EXPECT_EQ(press(kUpdateSelectedServerButton), 1u);
  EXPECT_EQ(shown().back(), "No Servers Selected | To continue, please select at least one Server.");
}

// The sibling product's server screen: the applets' INI file of the selected server and its agent's version.
TEST_F(Screens, TheSiblingScreenWritesTheAppletsIniFileAndShowsTheAgentsVersion) {
  HWND list = host::add_control(screen_, kListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordRefreshTime, current_seconds());  // read already: no probe
  const BYTE address[] = {10, 0, 0, 5};
  std::memcpy(record + kItemIPv4Address, address, sizeof address);
  support::insert_list_rows(list, {{"SRV01", record}});
  EXPECT_EQ(press(kAppletsIniButton), 0u);
  EXPECT_EQ(press(kAgentVersionButton), 0u);
  EXPECT_EQ(shown(), (Rows{"No Servers Selected | To continue, please select a server.",
                           "No Servers Selected | To continue, please select a server."}));

  support::set_row_selected(list, 0);
  EXPECT_EQ(press(kAgentVersionButton), 1u);
  record[kItemStatusReply] = 1;
  const BYTE versions[] = {7, 2, 2, 6, 10, 3, 2};  // agent 7.02b, driver 6.10c on the ".6" line
  std::memcpy(record + kItemAgentVersion, versions, sizeof versions);
  EXPECT_EQ(press(kAgentVersionButton), 1u);
  EXPECT_EQ(shown(), (Rows{"Server Agent Version | The VORNIX Server Agent on SRV01 reported no version.",
                           "Server Agent Version | VORNIX Server Agent on SRV01: Version 7.02b | 6.10c.6"}));

  const std::string ini = "C:\\Applets.ini";
  ui::script({"Save As", IDCANCEL, "", {}});
  EXPECT_EQ(press(kAppletsIniButton), 0u);
  ui::script({"Save As", 0, "", {{0, ini}}});
  EXPECT_EQ(press(kAppletsIniButton), 1u);
  char server[64] = {}, ipv4[64] = {};
  GetPrivateProfileStringA("QVAWKQ", "Server", "", server, sizeof server, ini.c_str());
  GetPrivateProfileStringA("QVAWKQ", "IPv4", "", ipv4, sizeof ipv4, ini.c_str());
  EXPECT_EQ(std::string(server) + " " + ipv4, "SRV01 10.0.0.5");
}

}  // namespace
}  // namespace deploy_test
