// The list item record: the 912-byte block behind every row of this
// library's list views and tree views.
#pragma once
#include <cstdint>
#include <cstring>

constexpr size_t kListItemBytes = 912;
constexpr size_t kListItemHeaderBytes = 80;  // ignored by comparisons
constexpr size_t kListItemKeyBytes = 807;    // compared byte by byte
static_assert(kListItemHeaderBytes + kListItemKeyBytes <= kListItemBytes, "record layout");

// 32-bit words of the header.
constexpr int kItemWordModule = 0;
constexpr int kItemWordControlId = 1;
constexpr int kItemWordDialogItem = 2;
// Server status record: 2 while the server has changes that are not saved.
constexpr int kItemWordUnsavedMark = 25;
constexpr uint32_t kUnsavedChanges = 2;

inline uint32_t item_word(const uint8_t* record, int n) {
  uint32_t value;
  std::memcpy(&value, record + 4 * n, 4);
  return value;
}

inline void set_item_word(uint8_t* record, int n, uint32_t value) {
  std::memcpy(record + 4 * n, &value, 4);
}
