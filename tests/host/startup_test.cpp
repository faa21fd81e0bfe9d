// Start-up handshake, the answers before and after it, and unloading.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/control_descriptor.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

using support::LibraryTest;

template <size_t>
using Word = uintptr_t;

template <size_t... Arg>
DWORD_PTR call_with_zeros(void* fn, std::index_sequence<Arg...>) {
  return reinterpret_cast<DWORD_PTR (*)(Word<Arg>...)>(fn)(Word<Arg>{}...);
}

// Picks the caller whose number of arguments matches.
template <size_t... Arity>
DWORD_PTR call_with_zeros(void* fn, size_t arity, std::index_sequence<Arity...>) {
  DWORD_PTR result = 0;
  bool called = ((arity == Arity && (result = call_with_zeros(fn, std::make_index_sequence<Arity>()), true)) || ...);
  EXPECT_TRUE(called) << "no caller for arity " << arity;
  return result;
}

// Calls an export with every argument 0, whatever its arity up to 15.
DWORD_PTR call_with_zeros(void* fn, int arity) {
  return call_with_zeros(fn, static_cast<size_t>(arity), std::make_index_sequence<16>());
}

// Every export that tests the initialised flag, its number of arguments and its answer
// to zeros once started: the list item store refuses null records quietly, events no
// feature claims go back to the host (-1: not called, it would allocate).
struct CheckingExport {
  const char* name;
  int arity;
  long started;
};
const CheckingExport kCheckingExports[] = {
    {"entry_point_button_services", 3, 4061}, {"entry_point_list_services", 14, 4061},
    {"entry_point_text_services", 13, 4061}, {"entry_point_edit_services", 13, 4061},
    {"change_edit_text_to_dropdown", 3, 4061}, {"change_edit_text_to_datetime", 5, 4061},
    {"apply_rules_for_edit_text", 0, 4061}, {"check_if_text_to_be_displayed", 5, 4061},
    {"QVA_process_changes_for_edit_text", 4, 4061}, {"QVA_process_changes_for_checkbox", 4, 4061},
    {"alloc_memory_for_list", 0, -1}, {"memcpy_list_item", 4, 0},
    {"return_memcmp_item_data_ptr", 4, 0}, {"delete_list_item", 3, 0},
    {"set_kill_dup_sort_flag", 6, 0}, {"reindex_lv_kill_no_dups", 7, 0},
    {"entry_point_insert_list_images", 1, 0}, {"treeview_right_click_popupmenu", 15, 4061},
    {"treeview_right_click_action", 7, 4061}, {"drag_drop_action", 9, 4061},
    {"entry_point_wm_draw_item", 5, 4061}};

// The introduction, abort_searches and QVA_is_valid_to_add need no start-up and never change.
TEST_F(LibraryTest, ExportsAnswer4078UntilAStartUpIsAcceptedAnd4061AfterForEventsNoFeatureClaims) {
  auto unchanging = [&] {
    std::vector<DWORD> id(4);
    EXPECT_EQ(library_.introduction_in(&id[0], &id[1], &id[2], &id[3]), 1u);
    EXPECT_EQ(id, (std::vector<DWORD>{0xA3310000u, 27033u, 51454345u, 7u}));
    EXPECT_EQ(call_with_zeros(host::export_address(library_, "abort_searches"), 0), 0u);
    EXPECT_EQ(call_with_zeros(host::export_address(library_, "QVA_is_valid_to_add"), 0), 1u);
  };
  unchanging();

  // A wrong version or no table is refused without calling the host.
  table_ = host::make_service_table();
  EXPECT_EQ(library_.establish_tables(5, table_.data()), 0u);
  EXPECT_EQ(library_.establish_tables(6, nullptr), 0u);
  EXPECT_TRUE(host::service_calls().empty());

  const std::string box = "VORNIX message from QVMR0007.DLL | UNABLE TO LOAD DLL\n\nVERSION MISMATCH WITH RARODO BASE";
  EXPECT_EQ(support::journal_lines(), (std::vector<std::string>{box, box}));
  for (const ui::JournalEntry& e : ui::journal())
    EXPECT_EQ(e.kind + " " + std::to_string(e.flags & MB_ICONMASK), "message box " + std::to_string(MB_ICONERROR));
  for (const auto& e : kCheckingExports)
    EXPECT_EQ(call_with_zeros(host::export_address(library_, e.name), e.arity), 4078u) << e.name;

  start();
  for (const auto& e : kCheckingExports) {
    if (e.started < 0) continue;
    EXPECT_EQ(call_with_zeros(host::export_address(library_, e.name), e.arity), static_cast<DWORD_PTR>(e.started))
        << e.name;
  }
  unchanging();
}

TEST_F(LibraryTest, StartUpTakesTheHostsMemoryPairWhenLentAndGlobalAllocOtherwise) {
  start();
  auto* alloc = reinterpret_cast<DWORD_PTR (*)()>(host::export_address(library_, "alloc_memory_for_list"));
  auto* record = reinterpret_cast<const BYTE*>(alloc());
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(service_called("memory allocate " + std::to_string(kListItemBytes)));
  for (size_t i = 0; i < kListItemBytes; ++i) ASSERT_EQ(record[i], 0) << "byte " << i;
  GlobalFree(const_cast<BYTE*>(record));

  // A second start-up with a host that lends no memory pair.
  table_[kHostRequest] = 0;
  ASSERT_EQ(library_.establish_tables(6, table_.data()), 1u);
  host::clear_service_calls();
  record = reinterpret_cast<const BYTE*>(alloc());
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(service_called("memory allocate"));
  GlobalFree(const_cast<BYTE*>(record));
}

TEST_F(LibraryTest, UnloadingPausesASecondEndsTheWaitingGreetingAndAReloadStartsUninitialised) {
  world_.use_real_clock();  // the greeting's thread and the unload's pause wait in real time
  world_.open();
  start();
  ImageList_Destroy(host::insert_list_images(library_));  // list events need not wait for the host's images
  // The console's server list with no known servers starts the greeting's 1.5-second wait.
  HWND servers = host::add_control(host::create_screen(40, "Servers"), 900, WC_LISTVIEWA, "",
                                   host::ControlSpec{0x602400C1, kDescriptorListView});
  host::send_list_event(library_, servers, 0x602400C1);
  DWORD before = GetTickCount();
  host::unload_library(&library_);
  EXPECT_GE(GetTickCount() - before, 1000u);
  Sleep(1000);  // past the greeting's time: the unloaded library must neither run nor show it
  EXPECT_TRUE(ui::journal().empty());
  load();
  EXPECT_EQ(library_.entry_point_text_services(nullptr, nullptr, 0, 0, 0, 0, nullptr, nullptr, 0, 0,
                                               0, 0x3333EEEE, 7),
            4078u);
}

}  // namespace
