// The list item store: records behind the host's rows, allocated, copied,
// compared and freed for the host, and the duplicate filter it runs over
// sorted lists.
#include <cstring>

#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/subsystems.h"
#include "host/text.h"

namespace {

constexpr size_t kFirstFieldBytes = 512;
constexpr int kRowTextChars = 511;

bool is_plain_block(int slot) {
  return (slot >= kOwnedBlock1 && slot < kOwnedValueFirst + kOwnedValueBlocks) ||
         (slot >= kOwnedBlocksFirst && slot < kOwnedBlocksFirst + kOwnedFurtherBlocks) ||
         slot == kOwnedLastBlock;
}

// Frees the chain of nodes; a node's block that is also the record's own value
// block in that position is freed once, through the record.
void free_chain(uint8_t* record) {
  auto* node = static_cast<uint8_t*>(owned_block(record, kOwnedChain));
  while (node != nullptr) {
    auto* next = static_cast<uint8_t*>(node_slot(node, kNodeSlotNext));
    for (int i = 0; i < kOwnedValueBlocks; ++i) {
      void* block = node_slot(node, kNodeSlotBlockFirst + i);
      if (block != nullptr && block != owned_block(record, kOwnedValueFirst + i)) free_block(block);
    }
    free_block(node_slot(node, kNodeSlotFurther));
    std::memset(node, 0, kChainNodeBytes);
    free_block(node);
    node = next;
  }
}

// The text before the first comma, in a bounded copy.
void first_field(const char* text, char (&out)[kFirstFieldBytes]) {
  copy_text(out, sizeof out, text);
  if (char* comma = std::strchr(out, ',')) *comma = '\0';
}

void mark_duplicate(uint8_t* record) {
  if (record != nullptr) set_item_word(record, kItemWordDuplicateMark, kDuplicateMark);
}

// Reads one cell of a list view row; false when the row does not exist.
bool read_row(HWND list, int row, int column, char (&text)[kFirstFieldBytes], LPARAM* param) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | (param ? LVIF_PARAM : 0);
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = kRowTextChars;
  text[0] = '\0';
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return false;
  if (param) *param = item.lParam;
  return true;
}

}  // namespace

QVMR_EXPORT DWORD_PTR WINAPI alloc_memory_for_list(void) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  return reinterpret_cast<DWORD_PTR>(allocate_block(GMEM_ZEROINIT, kListItemBytes));
}

QVMR_EXPORT DWORD WINAPI memcpy_list_item(uintptr_t, void* destination, const void* source, DWORD mode) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (destination == nullptr || source == nullptr) return 0;
  std::memcpy(destination, source, kListItemBytes);
  if (mode != 1) return 0;
  // A detached copy shares no block with its source.
  auto* copy = static_cast<uint8_t*>(destination);
  for (int slot = 0; slot < static_cast<int>(kOwnedSlots); ++slot) set_owned_block(copy, slot, nullptr);
  auto* text = static_cast<char*>(allocate_block(0, kRowTextBytes));
  if (text != nullptr) text[0] = '\0';
  set_owned_block(copy, kOwnedRowText, text);
  return 0;
}

QVMR_EXPORT DWORD WINAPI return_memcmp_item_data_ptr(uintptr_t, uintptr_t, const void* a, const void* b) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (a == nullptr || b == nullptr) return 0;
  int order = std::memcmp(static_cast<const uint8_t*>(a) + kListItemHeaderBytes,
                          static_cast<const uint8_t*>(b) + kListItemHeaderBytes, kListItemKeyBytes);
  return static_cast<DWORD>(order < 0 ? -1 : order > 0 ? 1 : 0);
}

QVMR_EXPORT DWORD WINAPI delete_list_item(uintptr_t, uintptr_t, void* item) {
  // While the host discards its lists at the end of an unattended run, nothing is freed.
  if (g_library.store_frozen) return 0;
  if (g_library.initialised != 1) return kResultNotInitialised;
  auto* record = static_cast<uint8_t*>(item);
  if (record == nullptr) return 0;
  free_block(owned_block(record, kOwnedRowText));
  for (int slot = 0; slot < static_cast<int>(kOwnedSlots); ++slot)
    if (is_plain_block(slot)) free_block(owned_block(record, slot));
  free_chain(record);
  // The eight feature structures go through their subsystems' free routines.
  free_subsystem_row_structures(record);
  std::memset(record, 0, 4);
  free_block(record);
  return 0;
}

QVMR_EXPORT DWORD WINAPI set_kill_dup_sort_flag(uintptr_t, uintptr_t, const char* text_a,
                                                const char* text_b, void* record_a, void* record_b) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (!text_a || !text_b || !record_a || !record_b) return 0;
  char a[kFirstFieldBytes], b[kFirstFieldBytes];
  first_field(text_a, a);
  first_field(text_b, b);
  if (equal_ignoring_case(a, b)) {
    mark_duplicate(static_cast<uint8_t*>(record_a));
    mark_duplicate(static_cast<uint8_t*>(record_b));
  }
  return 0;
}

QVMR_EXPORT DWORD WINAPI reindex_lv_kill_no_dups(uintptr_t, uintptr_t, const char* row_text,
                                                 void* row_record, HWND list, int row, int column) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  auto* record = static_cast<uint8_t*>(row_record);
  if (record == nullptr || item_word(record, kItemWordDuplicateMark) == kDuplicateMark) return 0;
  char next_text[kFirstFieldBytes];
  LPARAM next_record = 0;
  if (!read_row(list, row + 1, 0, next_text, &next_record)) {
    if (column == 0) SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    return 0;
  }
  char this_text[kFirstFieldBytes];
  if (column != 0) {
    read_row(list, row + 1, column, next_text, nullptr);
    copy_text(this_text, sizeof this_text, row_text);
  } else {
    first_field(row_text ? row_text : "", this_text);
    char cut[kFirstFieldBytes];
    first_field(next_text, cut);
    copy_text(next_text, sizeof next_text, cut);
  }
  if (!equal_ignoring_case(this_text, next_text)) {
    if (column == 0) SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    return 1;
  }
  mark_duplicate(record);
  mark_duplicate(reinterpret_cast<uint8_t*>(next_record));
  return 0;
}

QVMR_EXPORT DWORD WINAPI abort_searches(void) {
  g_library.search_cancel = kSearchCancelStop;
  return 0;
}

QVMR_EXPORT DWORD WINAPI QVA_is_valid_to_add(void) { return 1; }
