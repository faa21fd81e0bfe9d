// The host services table: the host console's functions and values, handed
// to establish_tables. Entry n is slot n of an array of uintptr_t (byte 4n in
// the 32-bit DLL). The library keeps its own copy.
#pragma once
#include <cstdint>

#include "host/win32.h"

enum HostEntry : int {
  kHostInsertItem = 1,
  kHostGetListRow = 2,
  kHostGetField = 3,
  kHostGetFieldValue = 4,
  kHostItemRecordChanged = 6,
  kHostRefreshControl = 7,
  kHostRequest = 11,
  kHostPumpMessages = 12,
  kHostWindowCommand = 13,
  kHostSetDateField = 14,
  kHostGetDateField = 15,
  kHostFindItem = 16,
  kHostScreenWindow = 17,
  kHostListLookup = 19,
  kHostInsertItemEx = 20,
  kHostFormatNumber = 21,
  kHostOpenProgressWindow = 25,
  kHostShowStatusLine = 26,
  kHostListValue = 27,
  kHostLoadFileInto = 29,
  kHostAddValueRow = 33,
  kHostUnattendedLogFile = 34,
  kHostUnattendedState = 35,
  kHostMainWindow = 37,
  kHostProgramPath = 39,
  kHostLastEntry = 40,
  kHostOpaqueValue = 41,  // the 4 bytes after entry 40, copied as they are
  kHostTableSlots = 42,
};

// host_request: magic, codes and the answer that lends the memory pair.
constexpr uint32_t kHostRequestMagic = 0x12345678;
constexpr uint32_t kHostRequestTables = 0x5555;
constexpr uint32_t kHostRequestEndOfUnattendedRun = 0x2222;
constexpr uint32_t kHostTablesMemoryPair = 5;
constexpr uint32_t kHostTablesPageTable = 0;
constexpr uint32_t kMemoryPairMarker = 5000;

typedef HGLOBAL(WINAPI* MemoryAllocateFn)(UINT flags, SIZE_T bytes);
typedef HGLOBAL(WINAPI* MemoryFreeFn)(HGLOBAL block);

typedef uintptr_t(WINAPI* HostInsertItemFn)(HWND window, HTREEITEM parent, HTREEITEM position,
                                            const char* text, int image, int one,
                                            uintptr_t passed_12, uintptr_t* descriptor,
                                            void* event_record, uintptr_t passed_14);
// Report rows go through entry 1 as well: list window, 0xFFFF0000 or the caller's value, 0xFFFF0003,
// activity text, icon, 1, two pass-through values, the 912-byte row context, a flag.
constexpr HostEntry kHostInsertReportRow = kHostInsertItem;
typedef uintptr_t(WINAPI* HostInsertReportRowFn)(HWND window, uintptr_t parent, uintptr_t position,
                                                 const char* text, int image, int one, uintptr_t pass_1,
                                                 uintptr_t pass_2, void* row_context, DWORD* flag);
// The host copies at most this much of a row's text into the caller's buffer.
constexpr size_t kHostRowTextBytes = 512;
typedef DWORD(WINAPI* HostGetListRowFn)(HWND list, int row, uintptr_t* param, uintptr_t* image, uintptr_t* state,
                                        char* text, DWORD zero, DWORD flags, int minus_one);
typedef DWORD(WINAPI* HostGetFieldFn)(HWND screen, DWORD module, DWORD control_id, char* buffer, DWORD size,
                                      uintptr_t value_1, uintptr_t value_2, uintptr_t value_3, DWORD* dialog_item,
                                      uintptr_t zero);
typedef DWORD(WINAPI* HostGetFieldValueFn)(HWND screen, DWORD module, DWORD control_id, DWORD* value);
typedef void(WINAPI* HostItemRecordChangedFn)(HWND window, uintptr_t item, void* record);
typedef DWORD(WINAPI* HostRefreshControlFn)(HWND window, DWORD dialog_item, DWORD zero);
typedef DWORD(WINAPI* HostRequestFn)(DWORD magic, DWORD zero1, uintptr_t** out_block, DWORD zero2,
                                     DWORD code, DWORD flag);
typedef void(WINAPI* HostPumpMessagesFn)();
// Looks up the selected item of a list or tree (value 0, flag 1): its record and its text (kHostRowTextBytes).
typedef void(WINAPI* HostListLookupFn)(HWND window, uintptr_t value, DWORD flag, uintptr_t* record, char* text);
typedef void(WINAPI* HostWindowCommandFn)(HWND window, uintptr_t value);
typedef HWND(WINAPI* HostScreenWindowFn)(DWORD window_key);
typedef DWORD(WINAPI* HostFindItemFn)(HWND window, HTREEITEM parent, const char* text, uintptr_t owner, DWORD zero,
                                      HTREEITEM* item);
// A small progress window (null when none) that the library titles and closes with WM_CLOSE.
typedef HWND(WINAPI* HostOpenProgressWindowFn)(HWND screen, DWORD value);
// Status reports of long or remote operations go to line 25 of the host's
// status area (progress window 0); headings and texts are the library's.
typedef DWORD(WINAPI* HostShowStatusLineFn)(HWND progress, DWORD zero, DWORD line, const char* text,
                                            COLORREF colour, COLORREF background);
// Writes the contents of a list (its columns, then one line per row) into an open file.
typedef void(WINAPI* HostLoadFileIntoFn)(HANDLE file, HWND control);
// Adds a row of text with a 32-bit value to a list (the known servers and their addresses).
typedef void(WINAPI* HostAddValueRowFn)(HWND window, DWORD window_key, const char* text,
                                        uintptr_t value, DWORD one);

// The library's copy of the table (filled by establish_tables).
extern uintptr_t g_host_services[kHostTableSlots];

// A host service as a typed function pointer; null when the host gave none.
template <typename Fn>
inline Fn host_service(HostEntry entry) {
  return reinterpret_cast<Fn>(g_host_services[entry]);
}

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit DLL shares its records with the host byte for byte.
static_assert(sizeof(uintptr_t) == 4, "table entries are 32-bit");
static_assert(sizeof(g_host_services) == 4 * kHostTableSlots, "entry n at byte 4n");
#endif
