// The console's families of controls, as the host sends them: every identifier
// reaches a handler of the library, and every list with a context menu has one,
// with its actions where the library carries them out. The identifiers whose
// action belongs to the host console are listed with the reason; they answer
// 4061 and the host applies its default.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/subsystems.h"

namespace {

std::vector<uint32_t> with_runs(std::vector<uint32_t> ids, std::initializer_list<std::pair<uint32_t, uint32_t>> runs) {
  for (auto [first, last] : runs)
    for (uint32_t id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

const std::vector<uint32_t> kButtons = with_runs(
    {0x60112006, 0x60112007, 0x6011200A, 0x6011200B, 0x601120BA, 0x602100B1, 0x602100B6, 0x602100B8, 0x60210052,
     0x60210037, 0x60210038, 0x6021003A, 0x6021003B, 0x6021003E, 0x60212078, 0x60212079, 0x6021002A, 0x602100CF,
     0x602100D9, 0x60210029, 0x602100CE, 0x60210028, 0x602100CD, 0x60210095, 0x603100A4, 0x60212041, 0x603120A5,
     0x602100E9, 0x6021010D, 0x6021010E, 0x603100D3, 0x603100D4, 0x6021000E, 0x60210010, 0x60210020, 0x60210021,
     0x60210023, 0x60210027, 0x602100CC, 0x603100B8, 0x603100B9, 0x603100DB, 0x603100DC, 0x603100E2, 0x60314000,
     0x603140C6, 0x603140D0, 0x603100B3, 0x603100D2, 0x603100D5, 0x60312100, 0x60312101, 0x60F12021, 0x60F12022,
     0x603100FA, 0x603100FE, 0x603100F1, 0x6031010B, 0x6031010E, 0x6031410A, 0x6031208C, 0x60F10024, 0x60410D1D,
     0x6041000A, 0x6041000B, 0x60410934, 0x60410012, 0x60410013, 0x60410018, 0x6041092E, 0x60410015, 0x60410021,
     0x60410023, 0x60410027, 0x60410028, 0x60F10045, 0x60F10060, 0x30110EE6, 0x30110EE7},
    {{0x6021007A, 0x6021007F}, {0x60210105, 0x6021010C}, {0x6021001A, 0x6021001D}, {0x60410918, 0x60410923},
     {0x602100D0, 0x602100D7}});
const std::vector<uint32_t> kTexts = with_runs({}, {{0x601200B5, 0x601200B9}, {0x6022000B, 0x60220012}});
// The navigation nodes are routed and then answer 4061 on purpose: the host goes on to insert their children.
const std::vector<uint32_t> kLists = with_runs(
    {0x60240001, 0x60F40001, 0x602400C1, 0x6034010F, 0x602400AF, 0x602400FA, 0x101400A3, 0x10146002, 0x60340111,
     0x60340112, 0x60440916, 0x60440917, 0x60440020, 0x60440022, 0x60440800, 0x60F40050, 0x60340098, 0x60F4000C,
     0x60440932, 0x60F4005D},
    {{0x30247001, 0x3024700B}});

// Named in the families but left to the host console: the group policy comparison (0x60212041, 0x603120A5: no
// part of the system says what is compared with the baseline copy, how a difference is shown, or what the
// baseline flags the agent interprets mean for it, so the library offers none); opening a definition's result as
// CSV or HTML (0x6031410A: the custom report runner writes the result wherever it chooses, so the library knows no
// file to open); a definition's name format and output options (0x60340111 "Display Trustee by displayName",
// 0x60340112 "Output format: CSV w/Header": the host console writes them into the definitions file and gives them
// their meaning; the library only lists, retypes and deletes definitions there).
const std::vector<uint32_t> kUndescribed = {0x60212041, 0x603120A5, 0x6031410A, 0x60340111, 0x60340112};

bool undescribed(uint32_t id) { return std::count(kUndescribed.begin(), kUndescribed.end(), id) != 0; }

template <typename Route>
void expect_routed(const std::vector<uint32_t>& ids, const Route* (*find)(uint32_t)) {
  for (uint32_t id : ids) {
    if (undescribed(id))
      EXPECT_EQ(find(id), nullptr) << std::hex << id << " is routed now: take it off the undescribed list";
    else
      EXPECT_NE(find(id), nullptr) << std::hex << id << " reaches no handler";
  }
}

TEST(RoutedIdentifiers, EveryIdentifierOfTheFamiliesReachesAHandler) {
  expect_routed(kButtons, find_button_route);
  expect_routed(kTexts, find_text_route);
  expect_routed(kLists, find_list_route);
}

TEST(RoutedIdentifiers, EveryListWithAContextMenuHasItAndItsActions) {
  // Lists whose chosen entries the host carries out itself have a menu and no actions.
  const std::vector<uint32_t> host_actions = {0x602400A0, 0x602400A1, 0x10140147, 0x1014001C, 0x10140061, 0x10140062};
  for (uint32_t id : {0x6034010Fu, 0x60440D1Eu, 0x60440800u, 0x6024000Au, 0x602400CBu, 0x60440D21u, 0x60240018u,
                      0x60240080u, 0x6044001Bu, 0x6044001Au, 0x602400A1u, 0x602400A0u, 0x60240001u, 0x602400C1u,
                      0x60F40001u, 0x10140147u, 0x60F40049u, 0x60F4004Au, 0x1014001Cu, 0x10140061u, 0x10140062u}) {
    const MenuRoute* route = find_menu_route(id);
    ASSERT_NE(route, nullptr) << std::hex << id;
    EXPECT_NE(route->fill, nullptr) << std::hex << id;
    bool host_acts = std::count(host_actions.begin(), host_actions.end(), id) != 0;
    EXPECT_EQ(route->act == nullptr, host_acts) << std::hex << id;
  }
  EXPECT_EQ(find_menu_route(0x60240002), nullptr);
}

}  // namespace
