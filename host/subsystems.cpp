// The subsystems' records: their route tables, merged once per kind into one
// list sorted by first identifier and looked up by binary search (routes do
// not overlap, see identifier_claimed_twice, so the search finds what a plain
// walk of the tables would), and their hooks for detach and row records.
#include "host/subsystems.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

const Subsystem* const kSubsystems[] = {&kHostSubsystem, &kConfigSubsystem, &kReportsSubsystem, &kNetSubsystem,
                                           &kGraphsSubsystem};

template <typename Route>
using Merged = std::vector<const Route*>;

template <typename Route>
Merged<Route>* merge(RouteTable<Route> Subsystem::*table) {
  auto* merged = new Merged<Route>;
  for (const Subsystem* subsystem : kSubsystems) {
    const RouteTable<Route>& t = subsystem->*table;
    for (size_t i = 0; i < t.count; ++i) merged->push_back(&t.routes[i]);
  }
  std::stable_sort(merged->begin(), merged->end(),
                   [](const Route* a, const Route* b) { return a->first < b->first; });
  return merged;
}

// Merged on first use and let go at detach: an unloaded library leaves nothing behind.
struct MergedRoutes {
  Merged<ButtonRoute>* buttons;
  Merged<ListRoute>* lists;
  Merged<TextRoute>* texts;
};
std::mutex g_merged_lock;
MergedRoutes* g_merged = nullptr;

const MergedRoutes& merged() {
  std::lock_guard<std::mutex> guard(g_merged_lock);
  if (g_merged == nullptr)
    g_merged = new MergedRoutes{merge(&Subsystem::buttons), merge(&Subsystem::lists), merge(&Subsystem::texts)};
  return *g_merged;
}

void release_merged_routes() {
  std::lock_guard<std::mutex> guard(g_merged_lock);
  if (g_merged == nullptr) return;
  delete g_merged->buttons;
  delete g_merged->lists;
  delete g_merged->texts;
  delete g_merged;
  g_merged = nullptr;
}

const Merged<ButtonRoute>& button_routes() { return *merged().buttons; }
const Merged<ListRoute>& list_routes() { return *merged().lists; }
const Merged<TextRoute>& text_routes() { return *merged().texts; }

template <typename Route>
const Route* find(const Merged<Route>& routes, uint32_t id) {
  auto after = std::upper_bound(routes.begin(), routes.end(), id,
                                [](uint32_t value, const Route* r) { return value < r->first; });
  if (after == routes.begin()) return nullptr;
  const Route* r = *(after - 1);
  return id <= r->last ? r : nullptr;
}

template <typename Route>
uint32_t first_overlap(const Merged<Route>& routes) {
  bool any = false;
  uint32_t highest_last = 0;
  for (const Route* r : routes) {
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
  release_merged_routes();
}

void free_subsystem_row_structures(BYTE* record) {
  for (const Subsystem* subsystem : kSubsystems)
    if (subsystem->free_row_structures) subsystem->free_row_structures(record);
}

const ButtonRoute* find_button_route(uint32_t id) { return find(button_routes(), id); }
const ListRoute* find_list_route(uint32_t id) { return find(list_routes(), id); }
const TextRoute* find_text_route(uint32_t id) { return find(text_routes(), id); }

uint32_t identifier_claimed_twice() {
  if (uint32_t id = first_overlap(button_routes())) return id;
  if (uint32_t id = first_overlap(list_routes())) return id;
  return first_overlap(text_routes());
}
