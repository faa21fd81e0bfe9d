// The list item record: the block behind every row of this library's list
// views and tree views. 912 bytes in the 32-bit DLL; in 64-bit builds its
// pointer slots are 8 bytes wide, so the key area grows by 4 bytes per slot.
//
//   header    80 bytes, ignored by comparisons; words 0..2 = module number,
//             control identifier, dialog item number
//   key area  807 bytes (32-bit), compared byte by byte; its first word is the
//             duplicate mark, its last 29 pointer slots the owned blocks
//   tail      25 bytes
#pragma once
#include <cstdint>
#include <cstring>

constexpr size_t kListItemHeaderBytes = 80;
constexpr size_t kOwnedSlots = 29;
constexpr size_t kPointerWidening = sizeof(void*) - 4;
constexpr size_t kListItemKeyBytes = 807 + kOwnedSlots * kPointerWidening;
constexpr size_t kListItemBytes = 912 + kOwnedSlots * kPointerWidening;
constexpr size_t kOwnedSlotsOffset = kListItemHeaderBytes + kListItemKeyBytes - kOwnedSlots * sizeof(void*);
static_assert(kOwnedSlotsOffset == 771, "owned slots end the key area in both builds");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(kListItemBytes == 912 && kListItemKeyBytes == 807, "the host's record size");
#endif

// 32-bit words of the record.
constexpr int kItemWordModule = 0;
constexpr int kItemWordControlId = 1;
constexpr int kItemWordDialogItem = 2;
constexpr int kItemWordDuplicateMark = kListItemHeaderBytes / 4;  // first word of the key area
constexpr uint32_t kDuplicateMark = 51;
// Server status record: 2 while the server has changes that are not saved.
constexpr int kItemWordUnsavedMark = 25;
constexpr uint32_t kUnsavedChanges = 2;
// Server status record: 255 when the server did not answer.
constexpr size_t kItemByteReachability = 104;
constexpr uint8_t kUnreachable = 0xFF;
// Server status record: the agent's state (33 not installed, 45 permission error, 66 running).
constexpr int kItemWordAgentState = 27;
constexpr uint32_t kAgentNotInstalled = 33;
constexpr uint32_t kAgentPermissionError = 45;
constexpr uint32_t kAgentRunning = 66;
// Server status record: when the agent last started, seconds since 1970 (0 = not known).
constexpr int kItemWordAgentStartTime = 30;
// Server status record: when its status was last read, seconds since 1970 (0 = never).
constexpr int kItemWordRefreshTime = 21;
// Server status record: the server's IPv4 address, the one the console uses for its agent, four bytes in
// network order (0 = not known).
constexpr size_t kItemIPv4Address = 88;
// Server status record: the agent's status reply, when one came back (kItemStatusReply not 0):
// agent and driver versions as major, minor and letter number (1 = a), and the driver's flags.
constexpr size_t kItemStatusReply = 92;
constexpr size_t kItemAgentVersion = 93;   // 3 bytes
constexpr size_t kItemDriverVersion = 96;  // 3 bytes
constexpr size_t kItemDriverFlags = 99;
static_assert(kItemDriverFlags < 4 * kItemWordUnsavedMark, "the reply before the unsaved mark");
// Server status record: the server's settings as last read (1 or 0 each).
constexpr size_t kItemSqlTransferOn = 124;
constexpr size_t kItemSqlServerNamed = 125;
constexpr size_t kItemEmailConfigured = 126;
// Server status record: the network-binding problem code the scout agent reported, 0 when none.
constexpr size_t kItemNetworkBinding = 127;
// Server status record: the department the server hosts, in the record's 512-byte text.
constexpr size_t kItemDepartment = 212;
constexpr size_t kItemDepartmentBytes = 512;
// Server status record: outcome of the last TCP request (0 = none made yet).
constexpr int kItemWordRequestStatus = 28;
// Server status record: the state value a host reported in its status reply.
constexpr int kItemWordReportedState = 29;
// Server status record: what an enterprise host reported about the server.
constexpr size_t kItemKnownValue = 128;          // u32
constexpr size_t kItemKnownSecondValue = 132;    // u32
constexpr size_t kItemKnownThirdValue = 136;     // u32
constexpr size_t kItemKnownFirstTriple = 140;    // 3 bytes
constexpr size_t kItemKnownSecondTriple = 143;   // 3 bytes
constexpr size_t kItemKnownFirstByte = 146;
constexpr size_t kItemKnownSecondByte = 147;
constexpr size_t kItemEnterpriseHost = 148;      // text: the host that reported the server
constexpr size_t kItemEnterpriseHostBytes = 64;
constexpr size_t kItemKnownText = 212;           // text
constexpr size_t kItemKnownTextBytes = 512;
static_assert(kItemKnownText + kItemKnownTextBytes <= kOwnedSlotsOffset, "below the owned slots");
static_assert(kItemSqlTransferOn >= 4 * (kItemWordAgentStartTime + 1) && kItemNetworkBinding < kItemKnownValue &&
                  kItemDepartment == kItemKnownText,
              "a server's status beside what an enterprise host reported, its department in the record's text");
// Active Alert agent row record: the agent's values.
constexpr size_t kItemAlertText = 112;
constexpr size_t kItemAlertTextBytes = 612;
constexpr size_t kItemAlertBytes = 724;          // 4 bytes
constexpr size_t kItemAlertFirstValue = 728;     // three u32
static_assert(kItemAlertFirstValue + 12 <= kOwnedSlotsOffset, "below the owned slots");

// Owned slots, in field order.
enum OwnedSlot : int {
  kOwnedRowText = 0,        // 64-byte row text block
  kOwnedBlock1 = 1,
  kOwnedValueFirst = 2,     // five value blocks: 2..6
  kOwnedChain = 7,          // first node of the chain
  kOwnedBlocksFirst = 8,    // twelve further blocks: 8..19
  kOwnedFeatureFirst = 20,  // seven feature structures: 20..26
  kOwnedLastBlock = 27,
  kOwnedLastFeature = 28,   // the eighth feature structure
};
constexpr int kOwnedValueBlocks = 5;
constexpr int kOwnedFurtherBlocks = 12;
constexpr int kOwnedFeatureStructures = 7;
constexpr size_t kRowTextBytes = 64;
static_assert(kOwnedLastFeature + 1 == static_cast<int>(kOwnedSlots), "slot table");

// Chain node: next, a further block and five block pointers, then the node's data.
constexpr size_t kChainNodeBytes = 604 + 7 * kPointerWidening;
constexpr int kNodeSlotNext = 0;
constexpr int kNodeSlotFurther = 1;
constexpr int kNodeSlotBlockFirst = 2;

inline uint32_t item_word(const uint8_t* record, int n) {
  uint32_t value;
  std::memcpy(&value, record + 4 * n, 4);
  return value;
}

inline void set_item_word(uint8_t* record, int n, uint32_t value) {
  std::memcpy(record + 4 * n, &value, 4);
}

// Pointer slots are read and written bytewise: the record gives them no alignment.
inline void* pointer_at(const uint8_t* base, size_t offset) {
  void* value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

inline void set_pointer_at(uint8_t* base, size_t offset, void* value) {
  std::memcpy(base + offset, &value, sizeof value);
}

inline void* owned_block(const uint8_t* record, int slot) {
  return pointer_at(record, kOwnedSlotsOffset + slot * sizeof(void*));
}

inline void set_owned_block(uint8_t* record, int slot, void* block) {
  set_pointer_at(record, kOwnedSlotsOffset + slot * sizeof(void*), block);
}

inline void* node_slot(const uint8_t* node, int slot) { return pointer_at(node, slot * sizeof(void*)); }
