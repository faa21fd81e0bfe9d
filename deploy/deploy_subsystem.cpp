// The deployment screens' routes: installation, update and removal of the
// server agent, its start and stop, and the local scout agent.
//
//   0x60112006  welcome screen: install the agent on the server typed in 0x60180001 (mode 1)
//   0x60112007  install screen: the same, its empty-server message "Server Name Required"
//   0x6011200A  install screen: install without starting the agent (mode 2)
//   0x6011200B  welcome screen picture button: as 0x60112006
//   0x601120BA  add a new server: as 0x60112007
//   0x601200B5  summary: "WILL INSTALL" / "DO NOT INSTALL" from the VNXLWA box 0x601800B3
//   0x601200B6  summary: "WILL START NOW" / "WILL NOT START" from the box 0x601800B4
//   0x601200B7  to 0x601200B9: summary: the share, departments host and enterprise host typed
//               in 0x60180002 to 0x60180004, or "<not set>"
//   0x603100D3  server screen: update the current server's agent (UPDATE_AGENT_NEW)
//   0x603100D4  server screen: remove the current server's agent (**WARNING**, REMOVE_AGENT_NEW)
//   0x6021000E  server list: update the selected server's agent
//   0x60210010  server list: remove the selected server's agent
//   0x60210020  0x60210021 and 0x60210023: the other server screens' update buttons, as 0x6021000E
//   0x6021001A  server list: start the selected server's agent
//   0x6021001B  server list: stop the selected server's agent
//   0x6021001C  install the scout agent on this computer (an installed one: the host's management screen)
//   0x6021001D  scout management screen: update the scout agent
//   0x60F10045  sibling server screen: the applets' INI file of the selected server
//   0x60F10060  sibling server screen: the selected server's agent version in a box
//   0x602220C8, 0x6022210F, 0x603200E1, 0x603200E9, 0x603200F9, 0x60320110  server tiles (drawn)
//   0x602400C1  console's server list: a server's status line (owner-draw export)
//   0x6028006F  to 0x60280093: the scout agent's rows (drawn)
//   0x603800F0  the scout agent's HTML status page options (drawn)
//   0x603100FA  scout HTML status pages: choose their folder (HTMLPATH) and engage them (HTMLENGAGE = 1)
//   0x603100FE  scout HTML status pages: switch HTMLINCPROFILES between 0 and 1
//   0x603100F1  scout HTML status pages: switch HTMLINCSETTINGS between 0 and 1
//   0x603100D2, 0x603100DB, 0x603100E2  option buttons: e-mail configured, SQL transfer on (drawn)
//   0x60240001, 0x602400C1, 0x60F40001  context menus of the server lists
#include "deploy/deploy_screens.h"
#include "deploy/server_menus.h"
#include "deploy/server_status.h"
#include "host/control_id.h"
#include "host/subsystems.h"

namespace {

constexpr ButtonRoute kButtons[] = {
    {kWelcomeInstallButton, kInstallScreenButton, DeployInstallButton},
    {kInstallWithoutStartButton, kWelcomePictureButton, DeployInstallButton},
    {kAddNewServerButton, kAddNewServerButton, DeployInstallButton},
    {kUpdateSelectedServerButton, kUpdateSelectedServerButton, DeployUpdateButton},
    {kRemoveSelectedServerButton, kRemoveSelectedServerButton, DeployRemoveButton},
    {kFirstOtherUpdateButton, kSecondOtherUpdateButton, DeployUpdateButton},
    {kThirdOtherUpdateButton, kThirdOtherUpdateButton, DeployUpdateButton},
    {kStartSelectedAgentButton, kStopSelectedAgentButton, DeployServiceButton},
    {kInstallScoutButton, kUpdateScoutButton, DeployScoutButton},
    {kUpdateCurrentServerButton, kUpdateCurrentServerButton, DeployUpdateButton},
    {kRemoveCurrentServerButton, kRemoveCurrentServerButton, DeployRemoveButton},
    {kAppletsIniButton, kAppletsIniButton, DeployAppletsIniButton},
    {kAgentVersionButton, kAgentVersionButton, DeployAgentVersionButton},
    {kHtmlSettingsButton, kHtmlSettingsButton, ScoutHtmlButton},
    {kHtmlFolderButton, kHtmlFolderButton, ScoutHtmlButton},
    {kHtmlProfilesButton, kHtmlProfilesButton, ScoutHtmlButton},
};

constexpr TextRoute kTexts[] = {
    {kLibrariesSummary, kEnterpriseHostSummary, DeploySummaryText},
};

constexpr DrawRoute kDraws[] = {
    {kServerTile, kServerTile, DrawServerTile},
    {kSecondServerTile, kSecondServerTile, DrawServerTile},
    {kConsoleServerList, kConsoleServerList, WriteServerStatusLine},
    {kServerScreenTile, kServerScreenTile, DrawServerTile},
    {kServerScreenSecondTile, kServerScreenSecondTile, DrawServerTile},
    {kAgentScreenTile, kAgentScreenTile, DrawServerTile},
    {kAgentScreenSecondTile, kAgentScreenSecondTile, DrawServerTile},
    {kFirstScoutRow, kLastScoutRow, DrawScoutRow},
    {kHtmlStatusOptions, kHtmlStatusOptions, DrawHtmlStatusOptions},
    {kEmailConfigButton, kEmailConfigButton, DrawServerFeatureButton},
    {kSqlSetupButton, kSqlSetupButton, DrawServerFeatureButton},
    {kSqlSetupAfterChecksButton, kSqlSetupAfterChecksButton, DrawServerFeatureButton},
};

constexpr MenuRoute kMenus[] = {
    {kMyServerView, kMyServerView, FillServerMenu, ActOnServerMenu},
    {kConsoleServerList, kConsoleServerList, FillServerMenu, ActOnServerMenu},
    {kSiblingServerList, kSiblingServerList, FillServerMenu, ActOnServerMenu},
};

}  // namespace

extern const Subsystem kDeploySubsystem = {"deploy",  route_table(kButtons), {}, route_table(kTexts), nullptr, nullptr,
                                           route_table(kDraws), nullptr, route_table(kMenus)};
