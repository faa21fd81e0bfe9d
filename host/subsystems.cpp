// The subsystems' records: their route tables, merged once per kind into one
// list sorted by first identifier and looked up by binary search (routes do
// not overlap, see identifier_claimed_twice, so the search finds what a plain
// walk of the tables would), and their hooks for detach and row records.
#include "host/subsystems.h"

#include <algorithm>

#include "host/host.h"

namespace {

const Subsystem* const kSubsystems[] = {&kHostSubsystem, &kConfigSubsystem, &kReportsSubsystem, &kNetSubsystem,
                                        &kSqlSubsystem,  &kGraphsSubsystem, &kDirectorySubsystem,
                                        &kDeploySubsystem};

// Room for every route of one kind; the merge stops short of overrunning it, and a
// route left out would fail the subsystems test, which looks every route up.
constexpr size_t kMostRoutesOfAKind = 1024;

// A plain record in static storage: nothing to free when the library is unloaded.
template <typename Route>
struct Merged {
  const Route* routes[kMostRoutesOfAKind];
  size_t count;
};

template <typename Route>
Merged<Route> merge(RouteTable<Route> Subsystem::*table) {
  Merged<Route> merged = {};
  for (const Subsystem* subsystem : kSubsystems) {
    const RouteTable<Route>& t = subsystem->*table;
    for (size_t i = 0; i < t.count && merged.count < kMostRoutesOfAKind; ++i)
      merged.routes[merged.count++] = &t.routes[i];
  }
  std::stable_sort(merged.routes, merged.routes + merged.count,
                   [](const Route* a, const Route* b) { return a->first < b->first; });
  return merged;
}

// Merged on first use.
const Merged<ButtonRoute>& button_routes() {
  static const Merged<ButtonRoute> routes = merge(&Subsystem::buttons);
  return routes;
}
const Merged<ListRoute>& list_routes() {
  static const Merged<ListRoute> routes = merge(&Subsystem::lists);
  return routes;
}
const Merged<TextRoute>& text_routes() {
  static const Merged<TextRoute> routes = merge(&Subsystem::texts);
  return routes;
}
const Merged<DrawRoute>& draw_routes() {
  static const Merged<DrawRoute> routes = merge(&Subsystem::draws);
  return routes;
}

template <typename Route>
const Route* find(const Merged<Route>& routes, uint32_t id) {
  const Route* const* end = routes.routes + routes.count;
  const Route* const* after = std::upper_bound(routes.routes, end, id,
                                               [](uint32_t value, const Route* r) { return value < r->first; });
  if (after == routes.routes) return nullptr;
  const Route* r = *(after - 1);
  return id <= r->last ? r : nullptr;
}

template <typename Route>
uint32_t first_overlap(const Merged<Route>& routes) {
  bool any = false;
  uint32_t highest_last = 0;
  for (size_t i = 0; i < routes.count; ++i) {
    const Route* r = routes.routes[i];
    if (any && r->first <= highest_last) return r->first;
    highest_last = any ? std::max(highest_last, r->last) : r->last;
    any = true;
  }
  return 0;
}

}  // namespace

SubsystemList all_subsystems() { return {kSubsystems, sizeof kSubsystems / sizeof kSubsystems[0]}; }

void release_subsystems() {
  for (const Subsystem* subsystem : kSubsystems)
    if (subsystem->release_at_detach) subsystem->release_at_detach();
}

void free_subsystem_row_structures(BYTE* record) {
  for (const Subsystem* subsystem : kSubsystems)
    if (subsystem->free_row_structures) subsystem->free_row_structures(record);
}

DWORD drop_rows(const DropEvent& event) {
  for (const Subsystem* subsystem : kSubsystems)
    if (subsystem->drop) return subsystem->drop(event);
  return kResultNotHandled;
}

const ButtonRoute* find_button_route(uint32_t id) { return find(button_routes(), id); }
const ListRoute* find_list_route(uint32_t id) { return find(list_routes(), id); }
const TextRoute* find_text_route(uint32_t id) { return find(text_routes(), id); }
const DrawRoute* find_draw_route(uint32_t id) { return find(draw_routes(), id); }

uint32_t identifier_claimed_twice() {
  if (uint32_t id = first_overlap(button_routes())) return id;
  if (uint32_t id = first_overlap(list_routes())) return id;
  if (uint32_t id = first_overlap(text_routes())) return id;
  return first_overlap(draw_routes());
}
