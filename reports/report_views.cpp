// The column sets of the report views and their building in host lists.
#include "reports/report_views.h"

#include <cstdio>

#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_items.h"

static_assert(kRowSortKeyOffset >= kRowTimeSortKeyOffset + 4 &&
                  kRowSortKeyOffset + kRowSortKeyBytes <= kRowServerNameOffset,
              "the sort key lies between the time sort key and the server name");

namespace {

constexpr ReportColumn kFileSystemColumns[] = {
    {kActivityColumn, "Activity Type", 220},
    {0x60420801, "Reporting Server", 110},
    {0x60420803, "Date/Time", 150},
    {0x60420804, "Workstation", 110},
    {0x60420805, "IPv4 Address", 100},
    {0x60420807, "Object", 120},
    {0x60420808, "FQDN", 160},
    {0x60420809, " SID", 150},
    {0x60420F14, "Share Used", 90},
    {0x60420F0A, "Path", 260},
    {0x60420F0B, "Folder?", 60},
    {0x60420F0C, "BLOCKED?", 70},
    {0x60420F0D, "New Filename", 160},
    {0x60420F16, "ACE Type", 80},
    {0x60420F12, "ACL New Flags", 160},
    {0x60420F10, "ACL New Mask ", 220},
    {0x60420F15, "ACL SAMName", 140},
    {0x60420F0F, "ACL FQDN  ", 160},
    {0x60420F0E, "ACL SID", 150},
    {0x6042080C, "WTS Station", 100},
    {0x6042080D, "WTS Remote Addr", 110},
    {0x60420802, "Profile Name", 120},
};

constexpr ReportColumn kLogonColumns[] = {
    {kActivityColumn, "Activity Type", 220},
    {0x60420803, "Date/Time", 150},
    {0x60420E03, "Logon Failure Type", 200},
    {0x60420E05, "Logon Time", 150},
    {0x60420E06, "Logoff Date/Time", 150},
    {0x60420801, "Reporting Server", 110},
    {0x60420804, "Workstation", 110},
    {0x60420805, "IPv4 Address", 100},
    {0x60420811, "Session Name ", 100},
    {0x60420E01, "Logon Type", 130},
    {0x60420807, "Object", 120},
    {0x60420809, " SID", 150},
    {0x60420808, "FQDN", 160},
    {0x60420E03, "Logon Failure Type", 200},
    {0x60420E02, "Logon Total Time", 110},
    {0x60420E08, "Logon Domain (where workstation is from)", 220},
    {0x6042080C, "WTS Station", 100},
    {0x6042080D, "WTS Remote Addr", 110},
    {0x60420802, "Profile Name", 120},
};

// The directory and GPO views share their columns.
constexpr ReportColumn kDirectoryColumns[] = {
    {kActivityColumn, "Activity Type", 220},
    {0x60420801, "Reporting Server", 110},
    {0x60420803, "Date/Time", 150},
    {0x60420808, "Requested By", 160},
    {0x60420807, "Requested by SAM", 120},
    {0x60420805, "From IPv4", 100},
    {0x60420804, "From Workstation", 110},
    {0x60420D01, "Active Directory Object", 260},
    {0x60420D02, "Object Class", 110},
    {0x60420D03, "Attribute Changed", 130},
    {0x60420D05, "Deleted Value", 160},
    {0x60420D04, "New Value", 160},
    {0x60420D08, "Attribute Comment (further identifies attribute change details)", 320},
    {0x60420802, "Profile Name", 120},
};

template <size_t N>
constexpr ReportView view(int list, const char* name, const ReportColumn (&columns)[N]) {
  return {list, name, columns, N};
}

constexpr ReportView kViews[] = {
    view(kFileSystemView, "file system", kFileSystemColumns),
    view(kLogonView, "logon", kLogonColumns),
    view(kDirectoryView, "directory", kDirectoryColumns),
    view(kGpoView, "GPO", kDirectoryColumns),
};

constexpr uint32_t kDateTimeColumn = 0x60420803;

}  // namespace

const ReportView* report_view_of_list(int list) {
  for (const ReportView& v : kViews)
    if (v.list == list) return &v;
  return nullptr;
}

const ReportView* report_view_of_family(LogFamily family) {
  if (family == kLogFamilyNone) return nullptr;
  return report_view_of_list(kQuickListControls[quick_list_of(family)]);
}

DWORD report_cell_text(BYTE* context, const char* activity, uint32_t column, char* out, size_t size) {
  if (column != kActivityColumn) return report_column_text(context, column, out, size);
  copy_text(out, size, activity);
  return 0;
}

BOOL build_report_view(HWND list, const ReportView* view) {
  refresh_time_zone();
  LVCOLUMNA existing = {};
  existing.mask = LVCF_WIDTH;
  if (SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&existing))) return TRUE;  // built before
  for (size_t i = 0; i < view->count; ++i) {
    char title[128];
    copy_text(title, sizeof title, view->columns[i].title);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = view->columns[i].width;
    column.pszText = title;
    if (SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) == -1) {
      show_message(nullptr, "Unusual LV err 07ua", "ERROR", MB_OK | MB_ICONERROR);
      return FALSE;
    }
  }
  return TRUE;
}

void report_sort_key(BYTE* context, uint32_t position, char* out, size_t size) {
  char time_text[kColumnTextBytes];
  set_row_u32(context, kRowTimeSortKeyOffset, 0);
  report_column_text(context, kDateTimeColumn, time_text, sizeof time_text);  // writes the time sort key
  uint32_t t = row_u32(context, kRowTimeSortKeyOffset);
  std::snprintf(out, size, "%08d%08X%08X", static_cast<int>(t / 86400), t % 86400, position);
}

void set_report_sort_keys(HWND list) {
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    auto* context = reinterpret_cast<BYTE*>(list_row_param(list, row));
    if (context == nullptr) continue;
    char key[kRowSortKeyBytes];
    report_sort_key(context, static_cast<uint32_t>(row), key, sizeof key);
    copy_text(reinterpret_cast<char*>(context + kRowSortKeyOffset), kRowSortKeyBytes, key);
  }
}

DWORD ReportViewListEvent(HWND list) {
  const ReportView* view = report_view_of_list(GetDlgCtrlID(list));
  if (view != nullptr && build_report_view(list, view)) set_report_sort_keys(list);
  return kResultNotHandled;
}

namespace {

constexpr SIZE_T kReportViewStack = 3000000;
constexpr uintptr_t kFillViewCommand = 6000;

// Asks the host to fill the new window (command 6000), then closes the window when the library shuts down.
DWORD WINAPI fill_and_watch(LPVOID window) {
  HWND dialog = static_cast<HWND>(window);
  if (auto command = host_service<HostWindowCommandFn>(kHostWindowCommand)) command(dialog, kFillViewCommand);
  while (IsWindow(dialog)) {
    if (g_library.shutdown) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Sleep(500);
  }
  return 0;
}

INT_PTR CALLBACK report_window_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, "VORNIX Quick Report");
      if (HANDLE watcher = CreateThread(nullptr, 0, fill_and_watch, dialog, 0, nullptr)) CloseHandle(watcher);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, LOWORD(wparam));
      return TRUE;
  }
  return FALSE;
}

// The window lives on its own thread, with the large stack the host's report rows need.
DWORD WINAPI report_window_thread(LPVOID) {
  DialogBoxParamA(g_library.instance, "ReportAction", nullptr, report_window_proc, 0);
  return 0;
}

}  // namespace

DWORD ShowReportInNewWindow(HWND owner, HWND list) {
  if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) <= 0) {
    show_message(owner, "List is empty, unable to show in a new window", nullptr, MB_ICONERROR);
    return 0;
  }
  HANDLE thread = CreateThread(nullptr, kReportViewStack, report_window_thread, nullptr, 0, nullptr);
  if (thread == nullptr) return 0;
  CloseHandle(thread);
  return 1;
}
