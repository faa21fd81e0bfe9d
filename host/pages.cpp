// Opening one of the host's pages through the page table it lends.
#include "host/host.h"

namespace {

// A page entry is 13 words: the page identifier first, the dialog template third.
constexpr int kPageEntryWords = 13;
constexpr int kPageWordIdentifier = 0;
constexpr int kPageWordTemplate = 2;
// Words of the page table block.
constexpr int kPageTableValid = 0;
constexpr int kPageTableEntries = 1;
constexpr int kPageTableProcedure = 2;
constexpr int kPageTableCount = 8;

}  // namespace

bool open_host_page(HWND owner, uint32_t page_identifier) {
  auto request = host_service<HostRequestFn>(kHostRequest);
  if (request == nullptr) return true;
  uintptr_t* table = nullptr;
  request(kHostRequestMagic, 0, &table, 0, kHostRequestTables, kHostTablesPageTable);
  if (table == nullptr || table[kPageTableValid] != 1) return false;
  auto* entries = reinterpret_cast<uintptr_t*>(table[kPageTableEntries]);
  auto* count = reinterpret_cast<const DWORD*>(table[kPageTableCount]);
  auto procedure = reinterpret_cast<DLGPROC>(table[kPageTableProcedure]);
  if (entries == nullptr || count == nullptr) return true;
  for (DWORD i = 0; i < *count; ++i) {
    uintptr_t* entry = entries + i * kPageEntryWords;
    if (static_cast<uint32_t>(entry[kPageWordIdentifier]) != page_identifier) continue;
    DialogBoxIndirectParamA(g_library.instance, reinterpret_cast<const DLGTEMPLATE*>(entry[kPageWordTemplate]),
                            owner, procedure, reinterpret_cast<LPARAM>(entry));
    return true;
  }
  return true;
}
