// The results window on its own dialog thread: a modeless dialog with a
// message loop, so that the operation's thread can add rows while it is open.
#include "reports/results_window.h"

#include <commdlg.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/host_services.h"
#include "host/text.h"

ResultsWindowState g_results;

namespace {

constexpr char kTemplate[] = "ReportAction";
constexpr int kOpenChecks = 251;
constexpr DWORD kOpenCheckMs = 20;
constexpr DWORD kCloseWaitMs = 5000;
constexpr UINT kDrawDisabled = 0x0004;  // ODS_DISABLED
constexpr COLORREF kButtonText = 0xFFFFFF;
constexpr COLORREF kDisabledButtonText = 0xD3D3D3;
constexpr COLORREF kButtonFace = 0x8B4513;
constexpr size_t kCellBytes = 1024;

struct ResultsColumn {
  const char* title;
  int width;
};
constexpr ResultsColumn kColumns[kResultsColumnCount] = {
    {"Step Count: Server", 115}, {"Action", 316}, {"Result", 370}};

struct OpenRequest {
  char title[256];
  LPARAM selector;
  volatile LONG state;  // 0 waiting, 1 up, 2 gave up
};

HBRUSH g_button_brush;

HWND results_list(HWND dialog) { return GetDlgItem(dialog, kResultsListItem); }

int compare_ignoring_case(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int x = std::tolower(static_cast<unsigned char>(*a));
    int y = std::tolower(static_cast<unsigned char>(*b));
    if (x != y || x == 0) return x - y;
  }
}

BOOL insert_columns(HWND list) {
  for (int i = 0; i < kResultsColumnCount; ++i) {
    char title[64];
    copy_text(title, sizeof title, kColumns[i].title);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = kColumns[i].width;
    column.pszText = title;
    if (SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)) == -1) {
      show_message(nullptr, "Unusual LV err 07ua", "ERROR", MB_OK | MB_ICONERROR);
      return FALSE;
    }
  }
  return TRUE;
}

// ---- Sorting -------------------------------------------------------------------

struct SortRequest {
  HWND list;
  int column;
  bool descending;
};

// Rows carry their position as item data, so the texts are read by position.
int CALLBACK compare_rows(LPARAM first, LPARAM second, LPARAM request_value) {
  const auto* request = reinterpret_cast<const SortRequest*>(request_value);
  char a[kCellBytes] = {}, b[kCellBytes] = {};
  LVITEMA item = {};
  item.iSubItem = request->column;
  item.cchTextMax = sizeof a;
  item.pszText = a;
  SendMessageA(request->list, LVM_GETITEMTEXTA, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&item));
  item.pszText = b;
  SendMessageA(request->list, LVM_GETITEMTEXTA, static_cast<WPARAM>(second), reinterpret_cast<LPARAM>(&item));
  int order = compare_ignoring_case(a, b);
  return request->descending ? -order : order;
}

// The first click on a column sorts descending, the next ascending, and so on.
void sort_by_column(HWND list, int column) {
  if (column < 0 || column >= kResultsColumnCount) return;
  SortDirection& direction = g_results.sort[column];
  direction = direction == kDescending ? kAscending : kDescending;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SortRequest request = {list, column, direction == kDescending};
  SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&request), reinterpret_cast<LPARAM>(&compare_rows));
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = row;
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  SetCursor(previous);
}

// ---- Saving --------------------------------------------------------------------

// The name after its last path separator has no dot: ".CSV" is appended.
void add_default_extension(char* name, size_t size) {
  const char* base = name;
  for (const char* c = name; *c; ++c)
    if (*c == '\\' || *c == '/') base = c + 1;
  if (std::strchr(base, '.') == nullptr) append_text(name, size, ".CSV");
}

void save_results(HWND dialog) {
  char name[MAX_PATH + 8];
  copy_text(name, sizeof name, "*.CSV");
  OPENFILENAMEA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = dialog;
  chooser.lpstrFilter = "Comma Delimited File\0*.CSV\0";
  chooser.lpstrFile = name;
  chooser.nMaxFile = MAX_PATH;
  chooser.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!GetSaveFileNameA(&chooser)) return;
  add_default_extension(name, sizeof name);
  HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    char text[MAX_PATH + 128];
    std::snprintf(text, sizeof text, "Error %d occurred during create file [%s].\n\nReport aborted.",
                  static_cast<int>(GetLastError()), name);
    show_message(dialog, text, "ERROR!", MB_OK | MB_ICONERROR);
    return;
  }
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  if (auto load = host_service<HostLoadFileIntoFn>(kHostLoadFileInto)) load(file, results_list(dialog));
  SetCursor(previous);
  CloseHandle(file);
}

// ---- The dialog ----------------------------------------------------------------

// Closing ends the dialog thread's message loop.
void end_results(HWND dialog) {
  DestroyWindow(dialog);
  PostQuitMessage(0);
}

BOOL draw_button(const DRAWITEMSTRUCT* item) {
  if (item->CtlID != IDOK && item->CtlID != static_cast<UINT>(kResultsSaveButton)) return FALSE;
  if (g_button_brush == nullptr) g_button_brush = CreateSolidBrush(kButtonFace);
  bool grey = item->CtlID == static_cast<UINT>(kResultsSaveButton) && (item->itemState & kDrawDisabled);
  draw_button_face(item, g_button_brush, grey ? kDisabledButtonText : kButtonText,
                   item->CtlID == IDOK ? "OK" : "Save");
  return TRUE;
}

INT_PTR CALLBACK results_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      if (lparam != kResultsSelector) {
        show_message(dialog, "Unhandled Report View Selected!", nullptr, MB_OK);
        end_results(dialog);
        return TRUE;
      }
      for (SortDirection& d : g_results.sort) d = kNotSorted;
      insert_columns(results_list(dialog));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
        case IDCANCEL: end_results(dialog); return TRUE;
        case kResultsSaveButton: save_results(dialog); return TRUE;
        default: return FALSE;
      }
    case WM_CLOSE:
      end_results(dialog);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header == nullptr || header->idFrom != static_cast<UINT_PTR>(kResultsListItem) ||
          header->code != LVN_COLUMNCLICK)
        return FALSE;
      sort_by_column(header->hwndFrom, reinterpret_cast<const NMLISTVIEW*>(lparam)->iSubItem);
      return TRUE;
    }
    case WM_DRAWITEM:
      return draw_button(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    default:
      return FALSE;
  }
}

// The dialog thread: creates the window, tells the opener, runs the window's message loop.
DWORD WINAPI results_thread(LPVOID parameter) {
  auto* request = static_cast<OpenRequest*>(parameter);
  HWND owner = reinterpret_cast<HWND>(g_host_services[kHostMainWindow]);
  HWND dialog = CreateDialogParamA(g_library.instance, kTemplate, owner, results_proc, request->selector);
  if (dialog == nullptr || !IsWindow(dialog)) {
    request->state = 2;
    return 0;
  }
  if (request->title[0]) SetWindowTextA(dialog, request->title);
  ShowWindow(dialog, SW_SHOW);
  g_results.window = dialog;
  request->state = 1;
  MSG message;
  while (IsWindow(dialog) && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (g_results.window == dialog) g_results.window = nullptr;
  if (g_button_brush != nullptr) {
    DeleteObject(g_button_brush);
    g_button_brush = nullptr;
  }
  return 0;
}

}  // namespace

void close_results_window() {
  HWND window = g_results.window;
  if (window != nullptr && IsWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  if (g_results.thread != nullptr) {
    WaitForSingleObject(g_results.thread, kCloseWaitMs);
    CloseHandle(g_results.thread);
    g_results.thread = nullptr;
  }
  g_results.window = nullptr;
}

HWND open_results_window(const char* title, LPARAM selector) {
  if (g_results.window != nullptr && IsWindow(g_results.window)) {
    show_message(nullptr, "Report View was Open, now resetting", "VORNIX HOST", MB_OK);
  }
  close_results_window();
  if (g_results.step != kStepNumberingOff) g_results.step = 0;
  auto* request = static_cast<OpenRequest*>(allocate_block(GMEM_ZEROINIT, sizeof(OpenRequest)));
  if (request == nullptr) return nullptr;
  copy_text(request->title, sizeof request->title, title);
  request->selector = selector;
  g_results.thread = CreateThread(nullptr, 0, results_thread, request, 0, nullptr);
  bool ended = g_results.thread == nullptr;
  for (int check = 0; check < kOpenChecks && request->state == 0 && !ended; ++check)
    ended = WaitForSingleObject(g_results.thread, kOpenCheckMs) == WAIT_OBJECT_0;
  LONG state = request->state;
  HWND window = state == 1 ? g_results.window : nullptr;
  if (state != 0 || ended) free_block(request);  // the thread is done with it; a hung one keeps it
  if (window == nullptr) show_message(nullptr, "Unknown error occurred in SRV, Option 1", nullptr, MB_OK);
  return window;
}

BOOL add_results_row(HWND window, int image, const char* server, const char* action, const char* result,
                     const char* extra) {
  HWND list = results_list(window);
  char first[kCellBytes];
  if (g_results.step == kStepNumberingOff) {
    copy_text(first, sizeof first, server);
  } else {
    g_results.step = g_results.step + 1;
    std::snprintf(first, sizeof first, "%04d: %s", static_cast<int>(g_results.step), server ? server : "");
  }
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = list ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  item.pszText = first;
  item.iImage = image;
  item.lParam = item.iItem;
  int row = list ? static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item))) : -1;
  if (row < 0) {
    show_message(window, "Error X78 on Insert!", "VORNIX ACTIONS", MB_OK | MB_ICONERROR);
    return FALSE;
  }
  const char* cells[] = {action, result, extra};
  for (int i = 0; i < 3; ++i) {
    char text[kCellBytes];
    copy_text(text, sizeof text, cells[i]);
    LVITEMA cell = {};
    cell.iSubItem = i + 1;
    cell.pszText = text;
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
  }
  return TRUE;
}

void set_step_server(const char* server) { copy_text(g_results.step_server, sizeof g_results.step_server, server); }

void report_step_status(HWND list, int item, const char* message) {
  if (message == nullptr) message = "";
  HWND window = g_results.window;
  if (window != nullptr && IsWindow(window)) {
    bool failure = contains_ignoring_case(message, "FAIL") || contains_ignoring_case(message, "UNABLE") ||
                   contains_ignoring_case(message, "error");
    add_results_row(window, failure ? kStepError : kStepProgress, g_results.step_server, "processing...", message,
                    nullptr);
    return;
  }
  if (list == nullptr) return;
  char text[kCellBytes];
  copy_text(text, sizeof text, message);
  LVITEMA cell = {};
  cell.iSubItem = 2;
  cell.pszText = text;
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}
