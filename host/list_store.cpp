// List item store exports that need nothing but the library itself.
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"

QVMR_EXPORT DWORD_PTR WINAPI alloc_memory_for_list(void) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  return reinterpret_cast<DWORD_PTR>(allocate_block(GMEM_ZEROINIT, kListItemBytes));
}

QVMR_EXPORT DWORD WINAPI abort_searches(void) {
  g_library.search_cancel = kSearchCancelStop;
  return 0;
}

QVMR_EXPORT DWORD WINAPI QVA_is_valid_to_add(void) { return 1; }
