// Control identifiers: the 32-bit number that binds a control of the host's
// screens to the library code that serves it.
//
//   bits 31..28  family (6 feature screens, 3 navigation tree and shared buttons,
//                1 shared directory and list screens)
//   bits 23..20  screen group
//   bits 19..16  control kind (1 push button, 2 display text, 4 list, 8 edit field)
//   bits 15..0   control number
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t control_family(uint32_t id) { return id >> 28; }
constexpr uint32_t control_screen_group(uint32_t id) { return (id >> 20) & 0xF; }
constexpr uint32_t control_kind(uint32_t id) { return (id >> 16) & 0xF; }
constexpr uint32_t control_number(uint32_t id) { return id & 0xFFFF; }

// Identifiers first to last inclusive, and whether one of a table's ranges holds an identifier.
struct IdRange {
  uint32_t first, last;
};
template <size_t N>
constexpr bool in_ranges(const IdRange (&ranges)[N], uint32_t id) {
  for (const IdRange& r : ranges)
    if (id >= r.first && id <= r.last) return true;
  return false;
}

// The module number that every event record and control descriptor of this library carries.
constexpr uint32_t kModuleNumber = 7;

// Shared buttons.
constexpr uint32_t kSelectAllRowsButton = 0x30110EE6;
constexpr uint32_t kRefreshCompanionButton = 0x30110EE7;
// Text identifier that asks for nothing.
constexpr uint32_t kNoTextIdentifier = 0x3333EEEE;

// Navigation tree nodes.
constexpr uint32_t kFirstNavigationNode = 0x30247001;
constexpr uint32_t kLastNavigationNode = 0x3024700B;

// Lists with a library-wide meaning.
// The console's server list, the main server list: its selected row is the current server.
constexpr uint32_t kConsoleServerList = 0x602400C1;
// The known servers offered to custom reports, with a row for the console itself.
constexpr uint32_t kCustomReportServerList = 0x602400A1;
constexpr uint32_t kSiblingServerList = 0x60F40001;
constexpr uint32_t kMyServerView = 0x60240001;
constexpr uint32_t kQuietModeSwitch = 0x60F4005D;

// The Save button of the server configuration screens.
constexpr uint32_t kSaveServerConfigurationButton = 0x603100D5;

static_assert(control_kind(kSelectAllRowsButton) == 1, "shared buttons are push buttons");
static_assert(control_kind(kFirstNavigationNode) == 4, "tree nodes arrive as list events");
