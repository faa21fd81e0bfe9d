// The steps that the install, removal and service control code of deploy/
// share: the product's names and texts, results rows, the platform probe, the
// service manager connection, the stop step and the agent's file places.
#pragma once
#include <cstddef>

#include "deploy/deploy.h"

// The names and texts that differ between the agent and the sibling product's.
struct AgentProduct {
  const char* product;  // rows and titles: "Stopping %s Server Agent"
  const char* agent;    // service messages: "%s Server Agent Stopped"
  const char* service;  // its service name
  const char* removal_results_title;
  const char* update_results_title;
  const char* stop_title;
  const char* start_title;
  const char* install_connect_title;  // null: the install run's connection failures go to the host's status line
};
// The sibling product's in sibling mode, else the agent's.
const AgentProduct& agent_product();

// A formatted text in a fixed buffer, cut at its end.
struct Text {
  char s[1400];
};
Text text(const char* format, ...);

// A row of the open results window for the server of the run; nothing without a window.
void add_row(int image, const char* title, const char* detail);
// The step status row (or the list row's message when no results window is open).
void step_status(HWND list, int item, const char* message);

// The platform probe of a server's registry; always succeeds.
void probe_platform(HKEY server, PlatformFacts* facts);
// A service that is starting, running or stopping.
inline bool service_is_active(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_RUNNING;
}

// Opens the server's service control manager with all access, retrying error
// 1726 up to `retries` times 500 ms apart; null with *error set when it fails.
SC_HANDLE open_service_manager(const char* server, DWORD access, int retries, DWORD* error);
// The stop step of the install and removal runs.
void run_stop_step(SC_HANDLE manager, int* state);

// The destination system root of the agent's files: the administrative share
// form for a remote server, the plain SystemRoot for this computer. False
// after a status row when it cannot be had.
bool destination_root(HKEY server, const char* name, char* root, size_t size);
// Whether the name is this computer's.
bool is_console_machine(const char* server);

// The removal run (InstallAgentRun with mode 134) for the server of g_deploy.
void run_removal(HWND owner);

// Where a file of the agent goes.
enum PlacementClass { kAgentProgram, kDriverFile, kProgramFile, kDriverPackageFile };
void agent_file_path(PlacementClass placement, const char* root, const char* server, const char* file, char* out,
                     size_t size);
// VNXLWA32.DLL, VNXLWA64.DLL and VNX_X64B.DLL are replaced when the server restarts.
bool replaced_on_restart(const char* file);
