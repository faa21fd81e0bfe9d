// The largest quick report there is, for the soak test and its benchmark: a
// scheduled quick report of SRV01 (the last 30 days, at most 2,048,000 rows)
// over more file-system records than that, run unattended through the list
// event that starts it. One log file is written and linked under a name of
// its own for each further day, so the share holds 2.15 million records in
// the disk space of one file.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "host/exports.h"
#include "host/list_item.h"
#include "sim/world_builder.h"

namespace support {

constexpr uint32_t kSoakNow = 1796551200;          // 2026-12-06 10:00 UTC, the world's clock
constexpr uint32_t kSoakRecordsPerFile = 102401;
constexpr int kSoakFiles = 21;                      // 2,150,421 records, one day a file
constexpr uint32_t kSoakScheduledMaximum = 2048000;

// SRV01 with its log share, mail settings naming MAILHOST (where no server listens: the report's mail
// fails at once) and an enabled scheduled graphical activity profile of the last 30 days with one
// address. The log files go into `files_folder` (kept between runs when it already holds them) and
// are linked into the share. The world's clock starts at kSoakNow. The bytes of one file in *file_bytes.
void make_soak_world(WorldBuilder& world, const std::string& files_folder, uint64_t* file_bytes);

// The host's row service as the host keeps two million rows: its own copy of each row's record as the
// row's data, and no note of the call (the substitute host notes every call, and every block it lends).
inline uintptr_t WINAPI keep_soak_row(HWND window, uintptr_t, uintptr_t, const char* text, int image, int, uintptr_t,
                                      uintptr_t, void* record, DWORD*) {
  void* copy = reinterpret_cast<void*>(alloc_memory_for_list());
  std::memcpy(copy, record, kListItemBytes);
  LVITEMA row = {};
  row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  row.iItem = static_cast<int>(SendMessageA(window, LVM_GETITEMCOUNT, 0, 0));
  row.pszText = const_cast<char*>(text);
  row.iImage = image;
  row.lParam = reinterpret_cast<LPARAM>(copy);
  return static_cast<uintptr_t>(SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}
// No memory pair is lent: the library takes GlobalAlloc and GlobalFree.
inline DWORD WINAPI lend_no_memory_pair(DWORD, DWORD, uintptr_t**, DWORD, DWORD, DWORD) { return 0; }

}  // namespace support
