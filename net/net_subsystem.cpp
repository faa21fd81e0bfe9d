// The communication screens' routes: enterprise hosts, alert agents of the
// sibling product's servers, the request status of the current server and the
// refresh of a server list's statistics; at detach, the agents' statistics are freed.
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/subsystems.h"
#include "net/agent_stats.h"
#include "net/enterprise_screens.h"
#include "net/tcp_requests.h"

namespace {

DWORD enterprise_host_button(const ButtonEvent& e) { return EnterpriseHostButton(e.screen, e.descriptor, e.companion); }

// Alert agent users of QVAWKQ servers: the current server's Active Alert agents,
// asked on its QVAWKQ request port, each a row of this list.
DWORD sibling_alert_agents(const ListEvent& e) {
  CurrentServer server = current_server();
  RequestSiblingAlertAgents(server.name, server.record, e.control, nullptr, 0);
  return 1;
}

// Enterprise host screens: the request status of the current server's status record (the selected main server row).
DWORD request_status(const TextEvent& e, TextResult* result) {
  result->numeric = RequestStatusText(e.id, current_server().record, result->text, sizeof result->text);
  return 0;
}

// The shared refresh button (0x30110EE7) refreshes its companion control. Chosen: beside a server list, which
// shows its servers' statistics, it first refreshes the statistics of the selected server as a user's action
// does (the agent's pipe always asked; for the QVAWKQ list its status ports, then its pipe), the agent's
// status taken into the row's record when the VORNIXW agent answered.
DWORD refresh_companion(const ButtonEvent& e) {
  const uintptr_t* list = e.companion ? control_descriptor_of(e.companion) : nullptr;
  uint32_t id = list ? descriptor_identifier(list) : 0;
  bool server_list = id == kConsoleServerList || id == kMyServerView || id == kSiblingServerList;
  char server[kHostRowTextBytes] = {};
  LPARAM param = 0;
  int row = e.selected_row - 1;
  if (server_list && row >= 0 && read_list_row(e.companion, row, server, kCachedServerNameBytes, &param) && param) {
    auto* record = reinterpret_cast<BYTE*>(param);
    if (id == kSiblingServerList) {
      RefreshSiblingStats(server, record, e.companion, row);
    } else {
      BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
      build_pipe_request(request);
      const AgentStatistics* stats = nullptr;
      if (ForceAgentStats(server, e.companion, row, record, request, reply) &&
          (stats = AgentStatisticsFor(server)) != nullptr && TakeAgentStatusReply(*stats, record))
        set_item_word(record, kItemWordAgentState, kAgentRunning);
    }
  }
  if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh(e.companion, 0, 0);
  return 1;
}

constexpr ButtonRoute kButtons[] = {
    {kRefreshCompanionButton, kRefreshCompanionButton, refresh_companion},
    // Enterprise hosts, each on the button's companion tree or list:
    //   0x6021007A  add the host typed in the edit field 0x6028007A (gather)
    //   0x6021007B  scan: gather the selected host again
    //   0x6021007C  status of the selected host into its row's record
    //   0x6021007D  registered servers: the servers the selected host knows
    //   0x6021007E  remove the selected host, after a confirmation
    //   0x6021007F  status of every row in turn
    //   0x60210095  Active Alert agents of the selected server
    //   0x603100A4  Get: status of the current server (server screen)
    {0x6021007A, 0x6021007F, enterprise_host_button},
    {0x60210095, 0x60210095, enterprise_host_button},
    {0x603100A4, 0x603100A4, enterprise_host_button},
};

constexpr ListRoute kLists[] = {
    {0x60340098, 0x60340098, sibling_alert_agents},
    {0x60F4000C, 0x60F4000C, sibling_alert_agents},
};

constexpr TextRoute kTexts[] = {
    {kRequestStatusField, kRequestValueField, request_status},
};

}  // namespace

extern const Subsystem kNetSubsystem = {"net", route_table(kButtons), route_table(kLists), route_table(kTexts),
                                       release_agent_statistics, nullptr};
