// The service control manager of the simulated network: what the tests and
// the console may ask it beyond the Win32 functions, and the world programs
// that register services.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win32/processes.h"

namespace platform {

struct ServiceInfo {
  std::string name;
  std::string display;
  std::string image;
  DWORD type = 0;
  DWORD start_type = 0;
  DWORD state = 0;      // SERVICE_STOPPED ... SERVICE_RUNNING, as a query would answer now
  bool marked = false;  // marked for deletion
};

// A machine's services and drivers as its manager sees them now, ordered by
// name; empty when the machine is unknown or has none.
std::vector<ServiceInfo> machine_services(const std::string& machine);

// Whether a path of this computer is the program of a service of its own
// process that is running (or starting or stopping) on its world machine:
// the service holds it open for reading, so it cannot be written or deleted.
bool held_as_service_image(const std::string& local_path);

// The scout agent's program (vnxscout.exe): "-install" registers its service,
// VORNIXWScoutAgent, on the machine it runs on, with itself as the program.
DWORD scout_program(const StartedProcess& started);

}  // namespace platform

namespace win32 {
// Called by the world when it is opened or closed: handles of the old world
// stop working and injected failures are armed again.
void services_forget_all();
}  // namespace win32
