// The subsystems' route tables, merged: every identifier is claimed once, and
// the merged lookup finds what a plain walk of every table finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/control_id.h"
#include "host/subsystems.h"

namespace {

// The route of a kind that claims an identifier, by walking every subsystem's table.
template <typename Route>
std::vector<const Route*> claims(RouteTable<Route> Subsystem::*table, uint32_t id) {
  std::vector<const Route*> found;
  SubsystemList all = all_subsystems();
  for (size_t s = 0; s < all.count; ++s) {
    const RouteTable<Route>& t = all.subsystems[s]->*table;
    for (size_t i = 0; i < t.count; ++i)
      if (id >= t.routes[i].first && id <= t.routes[i].last) found.push_back(&t.routes[i]);
  }
  return found;
}

// For every route of a kind: its identifiers are of the kind the entry point receives, each is claimed by
// that route alone, and the merged lookup finds it; the identifiers next to its range find what a walk finds.
template <typename Route>
void check_routes(RouteTable<Route> Subsystem::*table, const Route* (*find)(uint32_t),
                  std::vector<uint32_t> control_kinds, size_t* route_count) {
  SubsystemList all = all_subsystems();
  for (size_t s = 0; s < all.count; ++s) {
    const Subsystem& subsystem = *all.subsystems[s];
    const RouteTable<Route>& t = subsystem.*table;
    for (size_t i = 0; i < t.count; ++i) {
      const Route& r = t.routes[i];
      ++*route_count;
      SCOPED_TRACE(std::string(subsystem.name) + " route " + std::to_string(i));
      ASSERT_LE(r.first, r.last);
      ASSERT_NE(r.handler, nullptr);
      for (uint32_t id = r.first; id <= r.last; ++id) {
        EXPECT_NE(std::find(control_kinds.begin(), control_kinds.end(), control_kind(id)), control_kinds.end())
            << std::hex << id;
        EXPECT_EQ(claims(table, id), std::vector<const Route*>{&r}) << std::hex << id;
        EXPECT_EQ(find(id), &r) << std::hex << id;
      }
      for (uint32_t id : {r.first - 1, r.last + 1}) {
        std::vector<const Route*> walked = claims(table, id);
        EXPECT_EQ(find(id), walked.empty() ? nullptr : walked.front()) << std::hex << id;
      }
    }
  }
}

TEST(Subsystems, EveryIdentifierIsClaimedOnceAndTheMergedLookupFindsItsRoute) {
  EXPECT_EQ(identifier_claimed_twice(), 0u);
  size_t buttons = 0, lists = 0, texts = 0;
  check_routes(&Subsystem::buttons, find_button_route, {1}, &buttons);
  check_routes(&Subsystem::lists, find_list_route, {4}, &lists);
  check_routes(&Subsystem::texts, find_text_route, {2, 8}, &texts);
  EXPECT_GT(buttons, 0u);
  EXPECT_GT(lists, 0u);
  EXPECT_GT(texts, 0u);
  for (uint32_t unclaimed : {0u, 0x601120BBu, 0xFFFFFFFFu}) {
    EXPECT_EQ(find_button_route(unclaimed), nullptr);
    EXPECT_EQ(find_list_route(unclaimed), nullptr);
    EXPECT_EQ(find_text_route(unclaimed), nullptr);
  }
}

}  // namespace
