// wintest-service.exe: the stand-in for the agent's program VORNIXW.EXE in the
// Windows host's file set: a service of its own process that runs until the
// service control manager asks it to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status_handle;
HANDLE g_stop;

void report(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(g_status_handle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, LPVOID, LPVOID) {
  if (code != SERVICE_CONTROL_STOP) return NO_ERROR;
  report(SERVICE_STOP_PENDING);
  SetEvent(g_stop);
  return NO_ERROR;
}

void WINAPI service_main(DWORD, LPSTR*) {
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_status_handle = RegisterServiceCtrlHandlerExA("", control, nullptr);
  report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, service_main}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
