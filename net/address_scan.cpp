// The address-range scan: one worker per address resolves it and, inside the
// scan's critical section, adds a server not yet listed; the UI thread shows
// the progress every 500 ms until every worker has counted itself done.
#include "net/address_scan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/registry.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

constexpr int kOctetLimit = 255;  // every octet must be below it
constexpr size_t kLabelBytes = 101;

// Shared by the UI thread and the workers of one scan; the list, the counters
// and the registry work are touched only inside the critical section.
struct ScanState {
  CRITICAL_SECTION lock;
  HWND list;
  volatile LONG done;
  DWORD added;
  bool stopped;  // the search-cancel value as the UI thread last saw it
};
ScanState g_scan;

// The row labelled `label`; -1 when none.
int find_row(HWND list, const char* label) {
  auto get_row = host_service<HostGetListRowFn>(kHostGetListRow);
  if (get_row == nullptr) return -1;
  for (int row = 0;; ++row) {
    uintptr_t param = 0, image = 0, state = 0;
    char text[kHostRowTextBytes] = {};
    if (!get_row(list, row, &param, &image, &state, text, 0, 0, -1)) return -1;
    if (equal_ignoring_case(text, label)) return row;
  }
}

void add_server(const char* name, ULONG address) {
  int placeholder = find_row(g_scan.list, kNoneFoundName);
  if (placeholder >= 0) SendMessageA(g_scan.list, LVM_DELETEITEM, static_cast<WPARAM>(placeholder), 0);
  EstablishSiblingKey(nullptr, name, "");
  BYTE bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  UpdateKnownServer(name, kKnownServerStore, bytes);
  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordModule, kModuleNumber);
  set_item_word(record, kItemWordControlId, kSiblingServerList);
  std::memcpy(record + kItemIPv4Address, &address, 4);
  insert_host_item(g_scan.list, nullptr, RowPosition::Sorted, name, g_library.base_image_index + kScanServerImage,
                   record);
  ++g_scan.added;
}

DWORD WINAPI scan_worker(LPVOID argument) {
  ULONG address = static_cast<ULONG>(reinterpret_cast<uintptr_t>(argument));
  hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
  char name[kLabelBytes] = {};
  if (host && host->h_name) {
    copy_text(name, sizeof name, host->h_name);
    if (char* dot = std::strchr(name, '.')) *dot = '\0';
  }
  if (name[0] && find_row(g_scan.list, name) < 0) {
    EnterCriticalSection(&g_scan.lock);
    // Two addresses may resolve to one name: the look-up again, under the lock.
    if (!g_scan.stopped && find_row(g_scan.list, name) < 0) add_server(name, address);
    LeaveCriticalSection(&g_scan.lock);
  }
  EnterCriticalSection(&g_scan.lock);
  ++g_scan.done;
  LeaveCriticalSection(&g_scan.lock);
  return 0;
}

// The workers done so far; hands the search-cancel value to the workers on the way.
LONG done_count() {
  EnterCriticalSection(&g_scan.lock);
  g_scan.stopped = g_library.search_cancel == kSearchCancelStop;
  LONG done = g_scan.done;
  LeaveCriticalSection(&g_scan.lock);
  return done;
}

void show_progress(HWND dialog, const char* text) {
  if (dialog) SetDlgItemTextA(dialog, kScanProgressItem, text);
}

}  // namespace

DWORD ScanAddressRange(HWND dialog, HWND list, int a, int b, int c, int first, int last) {
  const int octets[] = {a, b, c, first, last};
  for (int octet : octets) {
    // Negative octets are refused with the others out of range.
    if (octet < 0 || octet >= kOctetLimit) {
      show_message(dialog, kInvalidRangeText, kScanErrorTitle, MB_ICONERROR);
      return 0;
    }
  }
  if (first > last) {
    show_message(dialog, kReversedRangeText, kScanErrorTitle, MB_ICONEXCLAMATION);
    return 0;
  }
  show_progress(dialog, "Scanning...");
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  WSADATA data;
  bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  InitializeCriticalSection(&g_scan.lock);
  g_scan.list = list;
  g_scan.done = 0;
  g_scan.added = 0;
  g_scan.stopped = g_library.search_cancel == kSearchCancelStop;

  LONG threads = 0;
  for (int octet = first; octet <= last; ++octet) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a, b, c, octet);
    ULONG address = inet_addr(text);
    HANDLE thread = CreateThread(nullptr, 0, scan_worker, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(address)),
                                 0, nullptr);
    if (thread == nullptr) continue;
    CloseHandle(thread);
    ++threads;
  }
  char progress[80];
  std::snprintf(progress, sizeof progress, "Scanning %d nodes...", static_cast<int>(threads));
  show_progress(dialog, progress);
  // The count shown is the one that ends the wait, so the last text shown says every worker is done.
  for (LONG done = 0; done < threads;) {
    Sleep(kScanProgressMs);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    done = done_count();
    std::snprintf(progress, sizeof progress, "Scanning %d nodes...%d done", static_cast<int>(threads),
                  static_cast<int>(done));
    show_progress(dialog, progress);
  }
  DeleteCriticalSection(&g_scan.lock);
  if (started) WSACleanup();
  SetCursor(previous);
  return static_cast<DWORD>(threads);
}

DWORD ScanAddedCount() { return g_scan.added; }

namespace {

struct ScanDialog {
  HWND list;
  DWORD added;
};

int field_number(HWND dialog, int item) {
  char text[16] = {};
  GetDlgItemTextA(dialog, item, text, sizeof text);
  return std::atoi(text);
}

INT_PTR CALLBACK scan_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<ScanDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        // The port range is shown for the user's reference; the scan asks the name service only.
        if (ScanAddressRange(dialog, state->list, field_number(dialog, IDC_SCAN_OCTET_A),
                             field_number(dialog, IDC_SCAN_OCTET_B), field_number(dialog, IDC_SCAN_OCTET_C),
                             field_number(dialog, IDC_SCAN_FIRST), field_number(dialog, IDC_SCAN_LAST)) != 0)
          state->added += ScanAddedCount();
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

DWORD ScanAddressRangeDialog(HWND owner, HWND list) {
  ScanDialog state = {list, 0};
  DialogBoxParamA(g_library.instance, "DKQ_SCAN_IP", owner, scan_dialog_proc, reinterpret_cast<LPARAM>(&state));
  return state.added;
}
