// What each subsystem gives the host boundary: its routes (which handler
// serves the events of each control identifier), its release at process
// detach, and the free routine of the row structures it owns.
//
// Each subsystem keeps its route tables (buttons, lists, texts) in its own
// folder and publishes them in one Subsystem record declared below; the
// dispatching entry points look identifiers up in the tables of every
// subsystem merged once. A route covers a range of identifiers, first to last
// inclusive; no identifier may be claimed by two routes of one kind.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

// A pressed button: the screen, the button's descriptor (the event record),
// its companion control and the companion's selected row (1-based; 0 when none).
struct ButtonEvent {
  HWND screen;
  uintptr_t* descriptor;
  HWND companion;
  int selected_row;
};

// A list event: the control, the list entry point's arguments by position
// (args[1] the control ... args[14]; args[0] unused), the companion and its
// selected row as for buttons, and the per-call list item record that handlers
// complete and pass to host_insert_item.
struct ListEvent {
  HWND control;
  uint32_t id;
  uintptr_t* descriptor;
  uintptr_t args[15];
  HWND companion;
  int selected_row;
  BYTE* record;
};

// A text event: the text entry point's arguments by position (args[0] unused).
// args[10] is 1 when the host asked for the text of a control that is not a button.
struct TextEvent {
  HWND screen;
  uintptr_t* descriptor;
  uint32_t id;
  uintptr_t args[14];
};

// What a text handler produces; the frame then formats, copies or sets it.
constexpr size_t kTextResultBytes = 2048;  // the host's text buffer holds this much
struct TextResult {
  char text[kTextResultBytes];
  LONG value;    // for the out value; -3 unless the handler sets another
  bool numeric;  // a number: grouped by host_format_number
};

// Request modes of the owner-draw export; any other mode draws a control.
constexpr uintptr_t kDrawModeStatusLine = 0x71717171;
constexpr uintptr_t kDrawModeListCustomDraw = 0x40404040;
constexpr uintptr_t kDrawModeDisplayField = 0x51515155;
constexpr uintptr_t kDrawModeButtonCreated = 0x50505050;

// A drawing request of the owner-draw export that a feature serves: the window,
// the request mode, its data and the control identifier.
struct DrawEvent {
  HWND window;
  uintptr_t mode;
  uintptr_t data;
  uint32_t id;
};

// Rows of this library dragged from one list and dropped on another (drag_drop_action): the two
// lists, the record of the row dragged and the index of the destination row dropped on.
struct DropEvent {
  HWND source_list;
  HWND destination_list;
  BYTE* dragged_record;
  int destination_row;
};

struct ButtonRoute {
  uint32_t first, last;
  DWORD (*handler)(const ButtonEvent&);
};
struct ListRoute {
  uint32_t first, last;
  DWORD (*handler)(const ListEvent&);
};
struct TextRoute {
  uint32_t first, last;
  DWORD (*handler)(const TextEvent&, TextResult*);
};
struct DrawRoute {
  uint32_t first, last;
  DWORD (*handler)(const DrawEvent&);
};

template <typename Route>
struct RouteTable {
  const Route* routes;
  size_t count;
};

template <typename Route, size_t N>
constexpr RouteTable<Route> route_table(const Route (&routes)[N]) {
  return {routes, N};
}

struct Subsystem {
  const char* name;
  RouteTable<ButtonRoute> buttons;
  RouteTable<ListRoute> lists;
  RouteTable<TextRoute> texts;
  void (*release_at_detach)();                // may be null
  void (*free_row_structures)(BYTE* record);  // frees the structures it owns in a list item record; may be null
  RouteTable<DrawRoute> draws = {};           // controls it draws (and status lines it writes) for the owner-draw export
  DWORD (*drop)(const DropEvent&) = nullptr;   // copies the rows dropped on a list; may be null
};

// Each subsystem's record, defined in its own folder.
extern const Subsystem kHostSubsystem;     // host/host_subsystem.cpp
extern const Subsystem kConfigSubsystem;   // config/config_subsystem.cpp
extern const Subsystem kReportsSubsystem;  // reports/reports_subsystem.cpp
extern const Subsystem kNetSubsystem;      // net/net_subsystem.cpp
extern const Subsystem kSqlSubsystem;      // sql/sql_subsystem.cpp
extern const Subsystem kGraphsSubsystem;   // graphs/graphs_subsystem.cpp
extern const Subsystem kDirectorySubsystem;  // directory/directory_subsystem.cpp
extern const Subsystem kDeploySubsystem;   // deploy/deploy_subsystem.cpp

// Every subsystem, in the order above: the order of their releases at detach.
struct SubsystemList {
  const Subsystem* const* subsystems;
  size_t count;
};
SubsystemList all_subsystems();

// Process detach: each subsystem's release, in order.
void release_subsystems();
// delete_list_item: each subsystem frees the row structures it owns in the record.
void free_subsystem_row_structures(BYTE* record);

// Hands a drop to the subsystem that copies dropped rows; 4061 when none does.
DWORD drop_rows(const DropEvent& event);

// The route that claims an identifier; null when none does.
const ButtonRoute* find_button_route(uint32_t id);
const ListRoute* find_list_route(uint32_t id);
const TextRoute* find_text_route(uint32_t id);
const DrawRoute* find_draw_route(uint32_t id);

// The first identifier that two routes of one kind claim; 0 when there is none.
uint32_t identifier_claimed_twice();
