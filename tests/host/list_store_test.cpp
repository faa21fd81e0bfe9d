// The list item store: records the host keeps behind its rows, the duplicate
// filter over sorted lists, and the shared image list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

class ListStore : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    start();
    auto get = [&](const char* name) { return host::export_address(library_, name); };
    alloc_ = reinterpret_cast<decltype(alloc_)>(get("alloc_memory_for_list"));
    copy_ = reinterpret_cast<decltype(copy_)>(get("memcpy_list_item"));
    compare_ = reinterpret_cast<decltype(compare_)>(get("return_memcmp_item_data_ptr"));
    delete_ = reinterpret_cast<decltype(delete_)>(get("delete_list_item"));
    mark_ = reinterpret_cast<decltype(mark_)>(get("set_kill_dup_sort_flag"));
    filter_ = reinterpret_cast<decltype(filter_)>(get("reindex_lv_kill_no_dups"));
  }

  // Records still alive at the end are deleted as the host would.
  void TearDown() override {
    for (uint8_t* r : live_) delete_(0, 0, r);
    LibraryTest::TearDown();
  }

  uint8_t* record() { return *live_.insert(reinterpret_cast<uint8_t*>(alloc_())).first; }
  DWORD drop(uint8_t* r) {
    live_.erase(r);
    return delete_(0, 0, r);
  }
  void* block(size_t bytes = 16) { return GlobalAlloc(GMEM_ZEROINIT, bytes); }
  bool marked(const uint8_t* r) { return item_word(r, kItemWordDuplicateMark) == kDuplicateMark; }
  // Frees the host saw since the last call.
  size_t frees() {
    const std::vector<std::string> calls = host::service_calls();
    host::clear_service_calls();
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), "memory free"));
  }

  // A sorted list view of three columns whose rows carry fresh records.
  HWND sorted_list(std::initializer_list<const char*> texts) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 0, 0, host::create_screen(60, "List"),
                                nullptr, nullptr, nullptr);
    support::add_columns(list, 3);
    for (const char* text : texts) support::insert_list_rows(list, {{text, record()}});
    return list;
  }

  uint8_t* row_record(HWND list, int row) { return support::list_rows(list).at(row).record; }
  int rows(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

  DWORD_PTR (*alloc_)() = nullptr;
  DWORD (*copy_)(uintptr_t, void*, const void*, DWORD) = nullptr;
  DWORD (*compare_)(uintptr_t, uintptr_t, const void*, const void*) = nullptr;
  DWORD (*delete_)(uintptr_t, uintptr_t, void*) = nullptr;
  DWORD (*mark_)(uintptr_t, uintptr_t, const char*, const char*, void*, void*) = nullptr;
  DWORD (*filter_)(uintptr_t, uintptr_t, const char*, void*, HWND, int, int) = nullptr;
  std::set<uint8_t*> live_;
};

TEST_F(ListStore, DetachedCopiesShareNothingAndEveryBlockIsFreedOnce) {
  uint8_t* source = record();
  void* shared_value = block();
  set_owned_block(source, kOwnedRowText, block(kRowTextBytes));
  set_owned_block(source, kOwnedValueFirst + 1, shared_value);
  set_owned_block(source, kOwnedBlocksFirst + 3, block());
  set_owned_block(source, kOwnedLastFeature, block());
  // Two chain nodes; the first repeats the record's second value block.
  auto* second = static_cast<uint8_t*>(block(kChainNodeBytes));
  set_pointer_at(second, kNodeSlotFurther * sizeof(void*), block());
  auto* first = static_cast<uint8_t*>(block(kChainNodeBytes));
  set_pointer_at(first, kNodeSlotNext * sizeof(void*), second);
  set_pointer_at(first, (kNodeSlotBlockFirst + 1) * sizeof(void*), shared_value);
  set_pointer_at(first, (kNodeSlotBlockFirst + 4) * sizeof(void*), block());
  set_owned_block(source, kOwnedChain, first);
  std::memcpy(source + 200, "payload", 8);

  uint8_t* detached = record();
  EXPECT_EQ(copy_(0, detached, source, 1), 0u);
  EXPECT_EQ(std::memcmp(detached + 200, "payload", 8), 0);
  for (int slot = 1; slot < static_cast<int>(kOwnedSlots); ++slot) EXPECT_EQ(owned_block(detached, slot), nullptr) << slot;
  auto* text = static_cast<const char*>(owned_block(detached, kOwnedRowText));
  ASSERT_NE(text, nullptr);
  EXPECT_NE(text, owned_block(source, kOwnedRowText));
  EXPECT_STREQ(text, "");

  frees();
  EXPECT_EQ(drop(source), 0u);
  // record, row text, value, further block, last feature, two nodes, their two own blocks
  EXPECT_EQ(frees(), 9u);
  EXPECT_EQ(drop(detached), 0u);
  EXPECT_EQ(frees(), 2u);
  EXPECT_EQ(delete_(0, 0, nullptr), 0u);
}

// Comparison sees only the key area; first fields mark duplicates ignoring case.
TEST_F(ListStore, ComparisonAndDuplicateMarks) {
  uint8_t* a = record();
  uint8_t* b = record();
  a[10] = 1;  // header bytes are ignored
  EXPECT_EQ(compare_(0, 0, a, b), 0u);
  a[kListItemHeaderBytes + 5] = 3;
  b[kListItemHeaderBytes + 5] = 9;
  EXPECT_EQ(static_cast<int>(compare_(0, 0, a, b)), -1);
  EXPECT_EQ(compare_(0, 0, b, a), 1u);

  mark_(0, 0, "alpha2", "alpha", a, b);
  EXPECT_FALSE(marked(a) || marked(b));
  mark_(0, 0, "alpha,1", "ALPHA,2", a, nullptr);
  EXPECT_FALSE(marked(a));
  mark_(0, 0, "alpha,1", "ALPHA,2", a, b);
  EXPECT_TRUE(marked(a) && marked(b));
}

TEST_F(ListStore, TheFilterKeepsOnlyRowsThatHaveADuplicateInOnePass) {
  HWND list = sorted_list({"alpha,1", "ALPHA,2", "beta,1", "gamma,1", "gamma,9", "omega"});
  // The host's pass: one call per row, deletions shift the rows after it.
  for (int row = 0; row < rows(list);) {
    const support::ListRow r = support::list_rows(list).at(row);
    int before = rows(list);
    filter_(0, 0, r.text.c_str(), r.record, list, row, 0);
    if (rows(list) == before) ++row;
  }
  ASSERT_EQ(rows(list), 4);
  for (int row = 0; row < 4; ++row) EXPECT_TRUE(marked(row_record(list, row))) << row;
}

TEST_F(ListStore, AColumnFilterNeverDeletesAndSaysWhenTheNextRowDiffers) {
  HWND list = sorted_list({"a", "b", "c"});
  LVITEMA cell = {};
  cell.iSubItem = 2;
  for (int row = 0; row < 3; ++row) {
    cell.pszText = const_cast<char*>(row < 2 ? "Same" : "other");
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
  }
  EXPECT_EQ(filter_(0, 0, "same", row_record(list, 0), list, 0, 2), 0u);
  EXPECT_TRUE(marked(row_record(list, 1)));
  EXPECT_EQ(filter_(0, 0, "same", row_record(list, 1), list, 1, 2), 0u) << "already marked";
  EXPECT_EQ(filter_(0, 0, "other", row_record(list, 2), list, 2, 2), 0u) << "no next row";
  EXPECT_EQ(rows(list), 3);
  uint8_t* fresh = record();
  EXPECT_EQ(filter_(0, 0, "Same", fresh, list, 1, 2), 1u);
  EXPECT_EQ(rows(list), 3);
}

TEST_F(ListStore, TheReportIconsFollowWhateverTheImageListAlreadyHolds) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32, 0, 4);
  ImageList_ReplaceIcon(images, -1, reinterpret_cast<HICON>(images));  // the host's own first image
  auto insert = reinterpret_cast<DWORD (*)(HIMAGELIST)>(host::export_address(library_, "entry_point_insert_list_images"));
  EXPECT_EQ(insert(images), 0u);
  EXPECT_EQ(ImageList_GetImageCount(images), 127);
  DWORD before = GetTickCount();
  EXPECT_EQ(host::send_list_event(library_, nullptr, 0x60240999), 4061u);
  EXPECT_EQ(GetTickCount(), before) << "list events no longer wait for the images";
  ImageList_Destroy(images);
}

}  // namespace
