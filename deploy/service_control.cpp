// Starting and stopping the agent service of a server, with the messages the
// user sees: step status rows during a run or for a server list row, message
// boxes otherwise.
#include <cstdio>

#include "deploy/deploy_steps.h"
#include "host/host.h"
#include "reports/results_window.h"

namespace {

constexpr DWORD kStopRetryMs = 20000;
constexpr DWORD kPollMs = 1000;

enum class Control { kStop, kStart };

// Where this call's messages go.
struct Reporter {
  HWND list;
  int item;
  Control control;

  bool to_rows() const { return list != nullptr || g_results.window != nullptr; }

  void say(const char* message, bool confirmation = false) const {
    if (to_rows()) {
      step_status(list, item, message);
      return;
    }
    const AgentProduct& product = agent_product();
    show_message(nullptr, message, control == Control::kStop ? product.stop_title : product.start_title,
                 confirmation ? MB_ICONEXCLAMATION : MB_ICONERROR);
  }
};

// The server's manager, or the caller's; false after the manager's failure message.
bool reach_manager(SC_HANDLE given, const char* server, const Reporter& reporter, SC_HANDLE* manager, bool* owned) {
  *manager = given;
  *owned = false;
  if (given != nullptr) return true;
  DWORD error = 0;
  *manager = open_service_manager(server, SC_MANAGER_ALL_ACCESS, 0, &error);
  if (*manager != nullptr) {
    *owned = true;
    return true;
  }
  if (error == ERROR_CALL_NOT_IMPLEMENTED) {
    if (reporter.control == Control::kStop) reporter.say("Windows 9x/Me does NOT support stopping");
    else reporter.say(reporter.to_rows() ? "Windows 9x/Me does NOT support starting"
                                         : "Windows 9x/Me does not support starting");
  } else if (error == RPC_S_SERVER_UNAVAILABLE) {
    reporter.say("Server unavailable or not found");
  } else {
    reporter.say(text("[%d]Unable to connect to Service Control Manager", static_cast<int>(error)).s);
  }
  return false;
}

// The agent service; null after its failure message.
SC_HANDLE open_agent_service(SC_HANDLE manager, const Reporter& reporter) {
  const AgentProduct& product = agent_product();
  SC_HANDLE service = OpenServiceA(manager, product.service, SERVICE_ALL_ACCESS);
  if (service != nullptr) return service;
  DWORD error = GetLastError();
  if (error == ERROR_SERVICE_DOES_NOT_EXIST)
    reporter.say(text("%s Server Agent *not installed*(%s)", product.agent,
                      reporter.control == Control::kStop ? "stop" : "start").s);
  else if (error == RPC_S_SERVER_UNAVAILABLE)
    reporter.say("Server unavailable or not found");
  else
    reporter.say(text("%s Service Error Controlling[%d]", product.agent, static_cast<int>(error)).s);
  return nullptr;
}

}  // namespace

void StopAgentService(SC_HANDLE given, const char* server, HWND list, int item) {
  const AgentProduct& product = agent_product();
  const Reporter reporter{list, item, Control::kStop};
  SC_HANDLE manager;
  bool owned;
  if (!reach_manager(given, server, reporter, &manager, &owned)) return;
  if (SC_HANDLE service = open_agent_service(manager, reporter)) {
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    if (!service_is_active(status.dwCurrentState)) {
      // An agent that is not running is already where the user wants it: say so.
      reporter.say(text("%s Server Agent *already* stopped", product.agent).s, true);
    } else {
      BOOL stopping = ControlService(service, SERVICE_CONTROL_STOP, &status);
      DWORD error = stopping ? 0 : GetLastError();
      if (!stopping && (error == ERROR_BROKEN_PIPE || error == ERROR_SERVICE_REQUEST_TIMEOUT)) {
        Sleep(kStopRetryMs);
        stopping = ControlService(service, SERVICE_CONTROL_STOP, &status);
        error = stopping ? 0 : GetLastError();
      }
      if (stopping) {
        Sleep(kPollMs);
        while (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOP_PENDING) Sleep(kPollMs);
        if (status.dwCurrentState == SERVICE_STOPPED)
          reporter.say(text("%s Server Agent Stopped", product.agent).s, true);
        else
          reporter.say(text("Unable to STOP %s Service - could be in DEBUG mode", product.agent).s);
      } else if (error == ERROR_SERVICE_NOT_ACTIVE) {
        reporter.say(text("%s Server Agent *already* stopped", product.agent).s, true);
      } else {
        reporter.say(text("Error [%d] attempting to STOP the %s Service", static_cast<int>(error), product.agent).s);
      }
    }
    CloseServiceHandle(service);
  }
  if (owned) CloseServiceHandle(manager);
}

DWORD StartAgentService(HKEY, SC_HANDLE given, const char* server, HWND list, int item) {
  const AgentProduct& product = agent_product();
  const Reporter reporter{list, item, Control::kStart};
  SC_HANDLE manager;
  bool owned;
  if (!reach_manager(given, server, reporter, &manager, &owned)) return 0;
  DWORD started = 0;
  if (SC_HANDLE service = open_agent_service(manager, reporter)) {
    if (StartServiceA(service, 0, nullptr)) {
      started = 1;
    } else {
      DWORD error = GetLastError();
      switch (error) {
        case ERROR_SERVICE_DISABLED:
          reporter.say(text("%s Serice is set to DISABLED, unable to start", product.agent).s);
          break;
        case ERROR_SERVICE_REQUEST_TIMEOUT: reporter.say(text("Timeout starting %s Service", product.agent).s); break;
        case ERROR_SERVICE_ALREADY_RUNNING:
          reporter.say(text("%s Service is already running", product.agent).s);
          break;
        case RPC_S_SERVER_UNAVAILABLE: reporter.say("Selected Server not found - unable to connect"); break;
        default:
          reporter.say(text("%s Service FAILED to Start[%d]", product.agent, static_cast<int>(error)).s);
          break;
      }
    }
    CloseServiceHandle(service);
  }
  if (owned) CloseServiceHandle(manager);
  return started;
}
