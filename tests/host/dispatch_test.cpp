// Routing of button, list and text events, and the shared buttons and nodes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "host/host_services.h"
#include "net/enterprise_screens.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

constexpr uint16_t kScreenKey = 21;
constexpr int kListItem = 1001;

class Dispatch : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Servers");
    list_ = host::add_control(screen_, kListItem, WC_LISTVIEWA, "", host::ControlSpec{0x60240001, kDescriptorListView});
    support::insert_list_rows(list_, {{"SRV01", nullptr}, {"SRV02", nullptr}, {"SRV03", nullptr}});
  }

  // A push button of this library whose companion is the list.
  HWND button(uint32_t id, uint32_t module = 7) {
    return host::add_control(screen_, 2000 + static_cast<int>(id & 0xFF), "Button", "",
                             host::ControlSpec{id, kDescriptorPushButton, kScreenKey, kListItem, module});
  }

  DWORD press(HWND b) { return library_.entry_point_button_services(screen_, 0, host::descriptor_of(b)); }

  UINT row_state(int row) { return static_cast<UINT>(SendMessageA(list_, LVM_GETITEMSTATE, row, 0xF)); }

  HWND screen_ = nullptr;
  HWND list_ = nullptr;
};

// Select all acts only on a selected row of a list-view companion; refresh names the companion.
TEST_F(Dispatch, SelectAllNeedsASelectedCompanionRowAndRefreshPassesTheCompanion) {
  start();
  HWND select_all = button(0x30110EE6);
  host::add_control(screen_, 3000, "Static", "SRV01", host::ControlSpec{0x60220010, kDescriptorKind3});
  HWND static_companion = host::add_control(screen_, 3001, "Button", "",
                                            host::ControlSpec{0x30110EE6, kDescriptorPushButton, kScreenKey, 3000});
  EXPECT_EQ(press(select_all), 1u);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(row_state(row), 0u) << row;
  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_EQ(press(static_companion), 1u);
  EXPECT_EQ(row_state(1), 0u);
  EXPECT_EQ(press(select_all), 1u);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(row_state(row), static_cast<UINT>(LVIS_SELECTED)) << row;

  EXPECT_EQ(press(button(0x30110EE7)), 1u);
  EXPECT_TRUE(service_called("host_refresh_control item=0"));
}

TEST_F(Dispatch, EventsOfOtherModulesUnknownKindsAndUnclaimedIdentifiersGo4061) {
  start();
  EXPECT_EQ(press(button(0x30110EE6, 6)), 4061u);
  uintptr_t unknown_kind[kDescriptorWords] = {0x30110EE6, 5};
  EXPECT_EQ(library_.entry_point_button_services(screen_, 0, unknown_kind), 4061u);
  EXPECT_EQ(press(button(0x601120BB)), 4061u);
  DWORD before = GetTickCount();  // list events wait about five seconds for image lists that never come
  EXPECT_EQ(host::send_list_event(library_, list_, 0x60240999), 4061u);
  EXPECT_EQ(GetTickCount() - before, 101u * 50u);

  char text[16] = "unchanged";
  LONG value = 12345;
  auto text_event = [&](uint32_t id, uint32_t module) {
    return library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, id, module);
  };
  EXPECT_EQ(text_event(0x601200B5, 6), 4061u);
  EXPECT_EQ(text_event(0x3333EEEE, 7), 0u);
  EXPECT_STREQ(text, "unchanged");
  EXPECT_EQ(value, 12345);
}

TEST_F(Dispatch, NavigationNodesAreInsertedFirstUnderTheParentTheHostNames) {
  start();
  HWND tree = host::add_control(screen_, 4000, WC_TREEVIEWA, "", host::ControlSpec{0x30247001, kDescriptorList});
  EXPECT_EQ(host::send_list_event(library_, tree, 0x30247001, reinterpret_cast<uintptr_t>(TVI_ROOT)), 4061u);
  // Each row as "text image".
  auto rows = [&](HTREEITEM parent) {
    std::vector<std::string> out;
    for (const support::TreeRow& row : support::tree_rows(tree, parent))
      out.push_back(row.text + " " + std::to_string(row.image));
    return out;
  };
  EXPECT_EQ(rows(nullptr), std::vector<std::string>{"VORNIX for Windows 22"});
  const HTREEITEM root = support::tree_rows(tree).at(0).item;
  const struct { DWORD id; const char* label; int image; } nodes[] = {
      {0x30247002, "Quick Start", 61}, {0x30247003, "<<Server Groups>>", 65},
      {0x30247004, "Profiles", 38}, {0x30247005, "Reports", 29},
      {0x30247006, "Configuration", 71}, {0x30247007, "Servers", 58},
      {0x30247008, "<<List Profiles>>", 65}, {0x30247009, "<<List Reports>>", 65},
      {0x3024700A, "<<List Configuration Details>>", 65},
      {0x3024700B, "<<List Servers in Group>>", 65}};
  for (const auto& node : nodes)
    EXPECT_EQ(host::send_list_event(library_, tree, node.id, reinterpret_cast<uintptr_t>(root)), 4061u) << node.label;
  // Each node goes in first, so they stand in the reverse order of their events.
  std::vector<std::string> reversed;
  for (const auto& node : nodes) reversed.insert(reversed.begin(), node.label + (" " + std::to_string(node.image)));
  EXPECT_EQ(rows(root), reversed);
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 11);
}

// host_insert_item as the host receives it: where the row goes, the values passed back to the host, and
// whether the descriptor is the one named ("own") or none; one text per call.
std::vector<std::string> g_inserts;
const uintptr_t* g_named_descriptor;
HostInsertItemFn g_host_insert;
uintptr_t WINAPI watch_insert(HWND window, HTREEITEM parent, HTREEITEM position, const char* text, int image, int one,
                              uintptr_t twelfth, uintptr_t* descriptor, void* record, uintptr_t fourteenth) {
  char call[96];
  std::snprintf(call, sizeof call, "%s %#zx %s %#zx",
                position == TVI_FIRST ? "first" : position == TVI_SORT ? "sort" : "other", static_cast<size_t>(twelfth),
                descriptor == g_named_descriptor ? "own" : descriptor ? "other" : "none", static_cast<size_t>(fourteenth));
  g_inserts.push_back(call);
  return g_host_insert(window, parent, position, text, image, one, twelfth, descriptor, record, fourteenth);
}

// Rows added while a list event is served carry its twelfth and fourteenth arguments and its descriptor,
// first or sorted among their siblings; rows added outside a list event carry none of them.
TEST_F(Dispatch, RowsInsertedForAListEventPassItsValuesBackToTheHost) {
  table_ = host::make_service_table();
  g_host_insert = reinterpret_cast<HostInsertItemFn>(table_[kHostInsertItem]);
  table_[kHostInsertItem] = reinterpret_cast<uintptr_t>(&watch_insert);
  ASSERT_EQ(library_.establish_tables(6, table_.data()), 1u);
  g_inserts.clear();
  auto list_event = [&](HWND control, uint32_t id, uintptr_t tenth, uintptr_t twelfth, uintptr_t fourteenth) {
    g_named_descriptor = host::descriptor_of(control);
    return library_.entry_point_list_services(control, 0, 0, id, 0, 0, host::descriptor_of(control), 0, 0, tenth, 0,
                                              twelfth, 0, fourteenth);
  };

  // The schedule screen's day and time lists are filled by their events (39 days).
  HWND days = host::add_control(screen_, 4001, WC_LISTVIEWA, "", host::ControlSpec{0x60440020, kDescriptorListView});
  HWND times = host::add_control(screen_, 4002, WC_LISTVIEWA, "", host::ControlSpec{0x60440022, kDescriptorListView});
  EXPECT_EQ(list_event(days, 0x60440020, 0, 0x1212, 0x1414), 1u);
  EXPECT_EQ(g_inserts, std::vector<std::string>(39, "sort 0x1212 own 0x1414"));
  EXPECT_EQ(list_event(times, 0x60440022, 0, 0x2121, 0x4141), 1u);

  // A navigation node goes first under the parent the host names.
  HWND tree = host::add_control(screen_, 4000, WC_TREEVIEWA, "", host::ControlSpec{0x30247001, kDescriptorList});
  g_inserts.clear();
  EXPECT_EQ(list_event(tree, 0x30247001, reinterpret_cast<uintptr_t>(TVI_ROOT), 0x5151, 0x7171), 4061u);
  EXPECT_EQ(g_inserts, std::vector<std::string>{"first 0x5151 own 0x7171"});

  // A run time added by a button: no list event, so nothing of the last one; the list's own descriptor.
  HWND run_times = host::add_control(screen_, 4003, WC_LISTVIEWA, "", host::ControlSpec{0x60440024, kDescriptorListView});
  ASSERT_TRUE(ui::click_row(days, 0));
  ASSERT_TRUE(ui::click_row(times, 0));
  g_inserts.clear();
  g_named_descriptor = host::descriptor_of(run_times);
  HWND add = host::add_control(screen_, 4004, "Button", "",
                               host::ControlSpec{0x60410021, kDescriptorPushButton, kScreenKey, 4003});
  EXPECT_EQ(press(add), 1u);
  EXPECT_EQ(g_inserts, std::vector<std::string>{"sort 0 own 0"});
  // The loaded library's records go back to it.
  auto alloc = reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
  auto release = reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
  for (HWND list : {days, times, run_times}) support::release_list_rows(list, false, alloc, release);
}

TEST_F(Dispatch, NullHostServicesAreNeverCalled) {
  table_ = host::make_service_table();
  for (int entry = 1; entry < 41; ++entry)
    if (entry != kHostMainWindow && entry != kHostProgramPath) table_[entry] = 0;
  ASSERT_EQ(library_.establish_tables(6, table_.data()), 1u);
  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_EQ(press(button(0x30110EE6)), 1u);  // no screen service: no companion, nothing selected
  EXPECT_EQ(row_state(1), 0u);
  EXPECT_EQ(press(button(0x30110EE7)), 1u);
  EXPECT_EQ(host::send_list_event(library_, list_, 0x30247002, 0), 4061u);
  EXPECT_TRUE(host::service_calls().empty());
}

TEST_F(Dispatch, QuietModeSilencesMessagesAndSiblingModeThemesListsAndRetitlesMessages) {
  start();
  EXPECT_EQ(host::send_list_event(library_, list_, 0x60F40001), 4061u);
  HWND second = host::add_control(screen_, 1002, WC_LISTVIEWA, "", host::ControlSpec{0x60240002, kDescriptorListView});
  host::send_list_event(library_, second, 0x60240002);
  for (HWND themed : {list_, screen_, second}) EXPECT_EQ(ui::window_theme(themed), "explorer");
  // Sibling mode also retitles the library's messages.
  EXPECT_EQ(press(button(kScanEnterpriseHostButton)), 0u);
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"QVAWKQ message from QVMR0007.DLL | To continue, please select a server."});

  EXPECT_EQ(host::send_list_event(library_, list_, 0x60F4005D), 1u);
  ui::clear_journal();
  EXPECT_EQ(library_.establish_tables(5, table_.data()), 0u);
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(Dispatch, ThemesNeedSetWindowTheme) {
  qvmr_hide_export("UXTHEME", "SetWindowTheme");
  start();
  qvmr_hide_export(nullptr, nullptr);
  EXPECT_EQ(host::send_list_event(library_, list_, 0x60F40001), 4061u);
  EXPECT_EQ(ui::window_theme(list_), "");
}

}  // namespace
