// The list item store through the exports: records from the host's memory
// pair, detached copies that share no block, every block freed once,
// comparison over the key area, duplicate marks, and the duplicate filter
// over a real list view.
#include <algorithm>
#include <cstring>

#include "host/list_item.h"
#include "console/list_view.h"
#include "wintest/checks.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr uint16_t kScreenKey = 22;

struct Store {
  DWORD_PTR(WINAPI* alloc)();
  DWORD(WINAPI* copy)(uintptr_t, void*, const void*, DWORD);
  DWORD(WINAPI* compare)(uintptr_t, uintptr_t, const void*, const void*);
  DWORD(WINAPI* release)(uintptr_t, uintptr_t, void*);
  DWORD(WINAPI* mark)(uintptr_t, uintptr_t, const char*, const char*, void*, void*);
  DWORD(WINAPI* filter)(uintptr_t, uintptr_t, const char*, void*, HWND, int, int);
};

// The host's memory pair calls since the last look, as "N allocate, N free".
std::string memory_calls() {
  size_t allocated = 0, freed = 0;
  for (const std::string& call : host::service_calls()) {
    allocated += call.rfind("memory allocate", 0) == 0;
    freed += call == "memory free";
  }
  host::clear_service_calls();
  return std::to_string(allocated) + " allocate, " + std::to_string(freed) + " free";
}

void* block(size_t bytes) { return GlobalAlloc(GMEM_ZEROINIT, bytes); }

bool marked(const BYTE* record) { return item_word(record, kItemWordDuplicateMark) == kDuplicateMark; }

std::vector<std::string> marks(HWND list) {
  std::vector<std::string> out;
  for (const support::ListRow& row : support::list_rows(list))
    out.push_back(row.text + (marked(row.record) ? " 51" : ""));
  return out;
}

// A report-style list with three columns, sorted rows, a fresh record behind each.
HWND sorted_list(const Store& store, HWND screen, int item, const std::vector<const char*>& texts) {
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, screen,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(item)), nullptr, nullptr);
  support::add_columns(list, 3);
  for (const char* text : texts) support::insert_list_rows(list, {{text, reinterpret_cast<void*>(store.alloc())}});
  return list;
}

void release_rows(const Store& store, HWND list) {
  for (const support::ListRow& row : support::list_rows(list)) store.release(0, 0, row.record);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

int rows(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

void copies_and_frees(const Store& store) {
  host::clear_service_calls();
  auto* source = reinterpret_cast<BYTE*>(store.alloc());
  check_equal(std::string(kListItemBytes, '\0'), std::string(reinterpret_cast<char*>(source), kListItemBytes),
              "a new record is zero-filled");
  check_equal("1 allocate, 0 free", memory_calls(), "from the host's memory pair");
  // Owned blocks, among them a chain whose first node repeats the record's second value block.
  void* shared_value = block(16);
  set_owned_block(source, kOwnedRowText, block(kRowTextBytes));
  set_owned_block(source, kOwnedValueFirst + 1, shared_value);
  set_owned_block(source, kOwnedBlocksFirst + 3, block(16));
  set_owned_block(source, kOwnedLastFeature, block(16));
  auto* second = static_cast<BYTE*>(block(kChainNodeBytes));
  set_pointer_at(second, kNodeSlotFurther * sizeof(void*), block(16));
  auto* first = static_cast<BYTE*>(block(kChainNodeBytes));
  set_pointer_at(first, kNodeSlotNext * sizeof(void*), second);
  set_pointer_at(first, (kNodeSlotBlockFirst + 1) * sizeof(void*), shared_value);
  set_pointer_at(first, (kNodeSlotBlockFirst + 4) * sizeof(void*), block(16));
  set_owned_block(source, kOwnedChain, first);
  std::memcpy(source + 200, "payload", 8);

  auto* detached = reinterpret_cast<BYTE*>(store.alloc());
  check_equal(0, store.copy(0, detached, source, 1), "a detached copy");
  bool shares_nothing = std::memcmp(detached + 200, "payload", 8) == 0;
  for (int slot = 1; slot < static_cast<int>(kOwnedSlots); ++slot) shares_nothing &= owned_block(detached, slot) == nullptr;
  auto* text = static_cast<const char*>(owned_block(detached, kOwnedRowText));
  check(shares_nothing && text != nullptr && text != owned_block(source, kOwnedRowText) && text[0] == '\0',
        "keeps the bytes, owns only a new empty row text");
  memory_calls();
  store.release(0, 0, source);
  // record, row text, value, further block, last feature, two nodes and their two own blocks
  check_equal("0 allocate, 9 free", memory_calls(), "the source goes with each of its blocks once");
  store.release(0, 0, detached);
  check_equal("0 allocate, 2 free", memory_calls(), "the copy goes with its row text");
}

void comparison_and_marks(const Store& store) {
  auto* a = reinterpret_cast<BYTE*>(store.alloc());
  auto* b = reinterpret_cast<BYTE*>(store.alloc());
  a[10] = 1;  // the header is not compared
  a[kListItemHeaderBytes + 5] = 3;
  b[kListItemHeaderBytes + 5] = 9;
  std::vector<std::string> order = {std::to_string(static_cast<int>(store.compare(0, 0, a, b))),
                                    std::to_string(static_cast<int>(store.compare(0, 0, b, a))),
                                    std::to_string(static_cast<int>(store.compare(0, 0, a, a)))};
  check_equal({"-1", "1", "0"}, order, "records compare over their key areas");
  store.mark(0, 0, "alpha2", "alpha", a, b);
  bool after_different = marked(a) || marked(b);
  store.mark(0, 0, "alpha,1", "ALPHA,2", a, b);
  check(!after_different && marked(a) && marked(b), "first fields equal but for case mark both records, others none");
  store.release(0, 0, a);
  store.release(0, 0, b);
}

void duplicate_filter(const Store& store, HWND screen) {
  HWND list = sorted_list(store, screen, 1, {"alpha,1", "ALPHA,2", "beta,1", "gamma,1", "gamma,9", "omega"});
  // The host's pass: one call per row; a deleted row moves the rows after it up.
  for (int row = 0; row < rows(list);) {
    const support::ListRow r = support::list_rows(list).at(static_cast<size_t>(row));
    int before = rows(list);
    store.filter(0, 0, r.text.c_str(), r.record, list, row, 0);
    if (rows(list) == before) ++row;
  }
  check_equal({"alpha,1 51", "ALPHA,2 51", "gamma,1 51", "gamma,9 51"}, marks(list),
              "one pass keeps the rows that have a duplicate, marked");
  release_rows(store, list);

  HWND cells = sorted_list(store, screen, 2, {"a", "b", "c"});
  for (int row = 0; row < 3; ++row) {
    LVITEMA cell = {};
    cell.iSubItem = 2;
    cell.pszText = const_cast<char*>(row < 2 ? "Same" : "other");
    SendMessageA(cells, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
  }
  std::vector<std::string> results;
  for (int row = 0; row < 3; ++row) {
    const support::ListRow r = support::list_rows(cells).at(static_cast<size_t>(row));
    results.push_back(std::to_string(store.filter(0, 0, row < 2 ? "same" : "other", r.record, cells, row, 2)));
  }
  check_equal({"0", "0", "0"}, results, "by a column: equal texts mark, a marked row and the last answer 0");
  check_equal({"a 51", "b 51", "c"}, marks(cells), "and no row is deleted");
  auto* fresh = reinterpret_cast<BYTE*>(store.alloc());
  check_equal(1, store.filter(0, 0, "Sam", fresh, cells, 1, 2), "a text that differs from the next row's answers 1");
  store.release(0, 0, fresh);
  release_rows(store, cells);
}

}  // namespace

void list_store_case(Session* s) {
  begin_case("list item store");
  const host::Library& l = s->library;
  Store store = {export_of<decltype(Store::alloc)>(l, "alloc_memory_for_list"),
                 export_of<decltype(Store::copy)>(l, "memcpy_list_item"),
                 export_of<decltype(Store::compare)>(l, "return_memcmp_item_data_ptr"),
                 export_of<decltype(Store::release)>(l, "delete_list_item"),
                 export_of<decltype(Store::mark)>(l, "set_kill_dup_sort_flag"),
                 export_of<decltype(Store::filter)>(l, "reindex_lv_kill_no_dups")};
  copies_and_frees(store);
  comparison_and_marks(store);
  HWND screen = host::create_screen(kScreenKey, "Lists");
  duplicate_filter(store, screen);
  DestroyWindow(screen);
}

}  // namespace wintest
