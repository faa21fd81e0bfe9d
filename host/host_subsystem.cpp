// The host boundary's own routes: the shared select-all button, the navigation
// tree nodes and the quiet-mode switch (the shared refresh button is the
// communication screens', which refresh a server list's statistics with it).
#include "host/control_id.h"
#include "host/host.h"
#include "host/subsystems.h"

namespace {

DWORD select_all_rows(const ButtonEvent& e) {
  if (e.selected_row > 0) {
    LVITEMA state = {};
    state.state = LVIS_SELECTED;
    state.stateMask = 0xF;
    SendMessageA(e.companion, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  }
  return 1;
}

struct NavigationNode {
  const char* label;
  int image;
};

constexpr NavigationNode kNavigationNodes[] = {
    {"VORNIX for Windows", 22},  {"Quick Start", 61},
    {"<<Server Groups>>", 65},   {"Profiles", 38},
    {"Reports", 29},             {"Configuration", 71},
    {"Servers", 58},             {"<<List Profiles>>", 65},
    {"<<List Reports>>", 65},    {"<<List Configuration Details>>", 65},
    {"<<List Servers in Group>>", 65},
};
static_assert(sizeof kNavigationNodes / sizeof kNavigationNodes[0] ==
                  kLastNavigationNode - kFirstNavigationNode + 1,
              "one label per navigation node");

// Inserts the node as the first child of the parent item that the host passes,
// then lets the host go on with its own default.
DWORD insert_navigation_node(const ListEvent& e) {
  const NavigationNode& node = kNavigationNodes[e.id - kFirstNavigationNode];
  insert_host_item(e.control, reinterpret_cast<HTREEITEM>(e.args[10]), RowPosition::First, node.label, node.image,
                   e.record);
  return kResultNotHandled;
}

DWORD switch_on_quiet_mode(const ListEvent&) {
  g_library.quiet_mode = 1;
  return 1;
}

constexpr ButtonRoute kButtons[] = {
    {kSelectAllRowsButton, kSelectAllRowsButton, select_all_rows},
};

constexpr ListRoute kLists[] = {
    {kFirstNavigationNode, kLastNavigationNode, insert_navigation_node},
    {kQuietModeSwitch, kQuietModeSwitch, switch_on_quiet_mode},
};

}  // namespace

extern const Subsystem kHostSubsystem = {"host", route_table(kButtons), route_table(kLists), {}, nullptr, nullptr};
