// The deployment screens: the installation buttons and summary fields, the
// update and removal dialogs, starting and stopping an agent, and the scout.
#pragma once
#include <cstdint>

#include "host/subsystems.h"

// Installation screens.
constexpr uint32_t kWelcomeInstallButton = 0x60112006;       // empty server: "VORNIX Error Message"
constexpr uint32_t kInstallScreenButton = 0x60112007;        // empty server: "Server Name Required"
constexpr uint32_t kInstallWithoutStartButton = 0x6011200A;  // as the one before, mode 2
constexpr uint32_t kWelcomePictureButton = 0x6011200B;       // as the welcome button
constexpr uint32_t kAddNewServerButton = 0x601120BA;         // as the install screen's button
constexpr uint32_t kServerNameField = 0x60180001;
constexpr uint32_t kReportPathField = 0x60180002;
constexpr uint32_t kDepartmentsHostField = 0x60180003;
constexpr uint32_t kEnterpriseHostField = 0x60180004;
constexpr uint32_t kLibrariesBox = 0x601800B3;  // clear: the VNXLWA libraries are left out
constexpr uint32_t kStartNowBox = 0x601800B4;
constexpr uint32_t kLibrariesSummary = 0x601200B5;
constexpr uint32_t kStartSummary = 0x601200B6;
// Chosen: the other three summary fields repeat the log share, departments host and enterprise host typed.
constexpr uint32_t kReportPathSummary = 0x601200B7;
constexpr uint32_t kEnterpriseHostSummary = 0x601200B9;

// Update and removal of the current server's agent (server screen), and of the
// selected row of a server list.
constexpr uint32_t kUpdateCurrentServerButton = 0x603100D3;
constexpr uint32_t kRemoveCurrentServerButton = 0x603100D4;
constexpr uint32_t kUpdateSelectedServerButton = 0x6021000E;
constexpr uint32_t kRemoveSelectedServerButton = 0x60210010;
// Chosen: the update buttons of the other server screens run the same update as 0x6021000E.
constexpr uint32_t kFirstOtherUpdateButton = 0x60210020;
constexpr uint32_t kSecondOtherUpdateButton = 0x60210021;
constexpr uint32_t kThirdOtherUpdateButton = 0x60210023;
constexpr uint32_t kStartSelectedAgentButton = 0x6021001A;
constexpr uint32_t kStopSelectedAgentButton = 0x6021001B;
// The local scout agent: install it when absent (else the host's management screen), update it.
constexpr uint32_t kInstallScoutButton = 0x6021001C;
constexpr uint32_t kUpdateScoutButton = 0x6021001D;

DWORD DeployInstallButton(const ButtonEvent& event);
DWORD DeployUpdateButton(const ButtonEvent& event);
DWORD DeployRemoveButton(const ButtonEvent& event);
DWORD DeployServiceButton(const ButtonEvent& event);
DWORD DeployScoutButton(const ButtonEvent& event);
DWORD DeploySummaryText(const TextEvent& event, TextResult* result);

// The sibling product's server screen: the applets' INI file and the agent's version of the
// companion's selected server or the current one.
constexpr uint32_t kAppletsIniButton = 0x60F10045;
constexpr uint32_t kAgentVersionButton = 0x60F10060;
DWORD DeployAppletsIniButton(const ButtonEvent& event);
DWORD DeployAgentVersionButton(const ButtonEvent& event);
