// Agent deployment: installing, updating, starting, stopping and removing the
// server agent (the VORNIXW service and its kernel driver, or the sibling
// product's QVAWKQ service) on audited servers over the administrative shares
// and the service control manager, and the scout agent on the console's own
// machine. Every step of a run reports a row of the results window.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

// Install modes, as callers pass them.
constexpr int kModeInstallAndStart = 1;
constexpr int kModeInstallNoStart = 2;
constexpr int kModeUpdateIfStopped = 8;
constexpr int kModeRemove = 134;
// The same three without the VNXLWA libraries.
constexpr int kModeWithoutLibraries[3][2] = {{151, kModeInstallAndStart}, {162, kModeInstallNoStart},
                                             {183, kModeUpdateIfStopped}};

// Installation state codes: each step of a run reads and updates the run's code.
enum InstallState : int {
  kStateWantsStop = 1,          // modes 1 and 2
  kStateLeaveRunning = 2,       // mode 8
  kStateInitial = 3,            // before the service control manager is reached
  kStateNoService = 44,
  kStateWasNotActive = 45,
  kStateStoppedByRun = 46,
  kStateNotRunning = 47,
  kStateFilesCopied = 55,
  kStateAgentCreateFailed = 82,
  kStateDriverCreateFailed = 84,
  kStateAgentCreated = 90,
  kStateBothCreated = 91,
  kStateAgentExisted = 93,
  kStateDriverExisted = 94,
  kStateAlreadyInstalled = 95,
  kStateRemoval = 134,
  kStateFilesRemoved = 273,
  kStateNotInstalled = 324,
};
// The code beside the state in the final rows: the kernel driver block of the stop step is never run.
constexpr int kSecondCode = 3;

// What the server probe before a new installation found.
constexpr DWORD kProbeStopped = 0;
constexpr DWORD kProbeRunning = 1;
constexpr DWORD kProbeNotInstalled = 33;
constexpr DWORD kProbeNoAccess = 45;

// Removal options, the check boxes of the removal dialog.
constexpr DWORD kRemoveStagingLogs = 1;
constexpr DWORD kRemoveSharedLogs = 2;
constexpr DWORD kRemoveRegistryKeys = 4;

// Scout agent status.
constexpr DWORD kScoutMissing = 0;
constexpr DWORD kScoutInstalled = 1;
constexpr DWORD kScoutActive = 0x7001;

constexpr char kScoutService[] = "VORNIXWScoutAgent";
constexpr uint32_t kAgentRestartSeconds = 120;  // the two-minute rule

constexpr size_t kProductNameBytes = 64000;
constexpr size_t kDeployServerBytes = 220;

// What the platform probe found.
struct PlatformFacts {
  char product[kProductNameBytes];  // ProductName, "(64bit)" appended on a 64-bit system
  bool vista;
  bool later_than_2008;
  bool is_64bit;
  REGSAM view;  // 0 for a product name containing "2000", else KEY_WOW64_64KEY
};

// The state of the run in progress.
struct DeployState {
  char server[kDeployServerBytes];  // the server text of its rows
  uint32_t status_id;               // the control that asked for the run
  bool exclude_libraries;           // the VNXLWA libraries are not copied
  DWORD removal_options;            // kRemove* of the removal run
  PlatformFacts facts;
};
extern DeployState g_deploy;

// The one run: install or update (modes 1, 2, 8 and 151, 162, 183) or remove
// (134, with g_deploy.removal_options) the agent on a server whose name is
// already normalised. The caller has opened the results window and named it.
void InstallAgentRun(HWND owner, int mode, const char* server, const char* report_path, const char* departments,
                     const char* enterprise_hosts, uint32_t status_id, DWORD results);

// Service control. Without a manager handle they open the server's own. The
// messages go to the step status row when a list is given or the results
// window is open, else to message boxes.
void StopAgentService(SC_HANDLE manager, const char* server, HWND list, int item);
// 1 when the start request was accepted, else 0.
DWORD StartAgentService(HKEY registry, SC_HANDLE manager, const char* server, HWND list, int item);

// The checks before a new installation on a normalised server name: access,
// then the agent service. Shows why it cannot go on; kProbeNotInstalled when it can.
DWORD CheckNewInstallation(HWND owner, const char* server);

// Starts the server's agent, or stops it unless it started less than two minutes ago (then says so
// and returns 0). 1 when the request was made.
DWORD StartOrStopAgent(HWND owner, const char* server, const BYTE* record, bool start);

// The two-minute rule: true when a server status record says its agent started
// less than two minutes ago.
bool agent_started_recently(const BYTE* record);

// The scout agent on this computer.
DWORD ScoutStatus();
// Copies VNXSCOUT.EXE from the console program's folder, runs it to register
// its service and starts it. 1 when it runs, else 0 (after a message).
DWORD InstallScout(HWND owner);
// Stops, replaces and restarts it, reporting in the open results window: 1
// when it was restarted, kScoutActive when it would not stop, else 0.
DWORD UpdateScout(HWND owner);
// The scout's management: with VNXSCOUT.EXE beside the console program, its update in a results
// window of its own (1); without, "File not present, unable to update" (0).
DWORD ManageScout(HWND owner);
// The applets' INI file, at a place the user chooses: the server's name and the address the
// console uses for it ([QVAWKQ] Server= and IPv4=). 1 when written.
DWORD WriteAppletsIni(HWND owner, const char* server, const BYTE* record);
// VNXSCOUT.EXE beside the console program, and its installed copy.
void scout_program_paths(char* source, char* installed, size_t size);
