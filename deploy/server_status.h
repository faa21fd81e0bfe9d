// The agent status of the servers of the console's server list: the status
// line written into a file and the server tile.
#pragma once
#include "host/subsystems.h"

// The server tiles: of the profile screens (first style) and of the server and agent screens.
constexpr uint32_t kServerTile = 0x602220C8;
constexpr uint32_t kSecondServerTile = 0x6022210F;
constexpr uint32_t kServerScreenTile = 0x603200E1;
constexpr uint32_t kServerScreenSecondTile = 0x603200E9;
constexpr uint32_t kAgentScreenTile = 0x603200F9;
constexpr uint32_t kAgentScreenSecondTile = 0x60320110;

// Writes the status line of the server list row of the request (its data: the
// file handle, then the row). Nothing is written for a row without a record.
DWORD WriteServerStatusLine(const DrawEvent& e);
// Draws the tile of the current server into the request's DRAWITEMSTRUCT.
DWORD DrawServerTile(const DrawEvent& e);
// The agent and driver versions as the status line shows them ("Version 7.02b | 6.10c"), the
// record read first when it never was; false when the agent reported no status.
bool AgentVersionText(const char* server, BYTE* record, char* out, size_t size);
// Reads the server's state into its record again: reachability, agent and settings.
void RefreshServerStatus(const char* server, BYTE* record);

// Option buttons that show a feature of the current server under their caption, "Enabled" or
// "NOT Enabled" as its status line reads it: the SQL setup buttons of the current server show
// its SQL transfer (switched on and a transfer server named), the e-mail alert button whether
// e-mail is configured (an SMTP server named).
constexpr uint32_t kSqlSetupButton = 0x603100DB;
constexpr uint32_t kSqlSetupAfterChecksButton = 0x603100E2;
constexpr uint32_t kEmailConfigButton = 0x603100D2;
DWORD DrawServerFeatureButton(const DrawEvent& e);

// The scout agent's rows: the "logonuser" bitmap and whether the agent runs on this computer.
constexpr uint32_t kFirstScoutRow = 0x6028006F;
constexpr uint32_t kLastScoutRow = 0x60280093;
DWORD DrawScoutRow(const DrawEvent& e);
// The scout agent's HTML status page options, each checked or not as its service key says.
constexpr uint32_t kHtmlStatusOptions = 0x603800F0;
DWORD DrawHtmlStatusOptions(const DrawEvent& e);
// Its buttons: the pages' folder (which also engages the pages), and the two switches.
constexpr uint32_t kHtmlFolderButton = 0x603100FA;
constexpr uint32_t kHtmlProfilesButton = 0x603100FE;
constexpr uint32_t kHtmlSettingsButton = 0x603100F1;
DWORD ScoutHtmlButton(const ButtonEvent& e);
