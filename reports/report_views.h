// Report views: the column sets of the four quick-report lists (file system
// 1901, logon 1902, directory 1906, GPO 1907), building them in a host list,
// and the sort keys of report rows.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"
#include "reports/log_format.h"

// The first column of every view shows the row's own text (its activity);
// the others are bound to column identifiers served by report_column_text.
constexpr uint32_t kActivityColumn = 0;

struct ReportColumn {
  uint32_t id;
  const char* title;  // as the view shows it, spaces included
  int width;          // pixels
};

struct ReportView {
  int list;  // the host list's dialog item number
  const char* name;
  const ReportColumn* columns;
  size_t count;
};

constexpr int kFileSystemView = 1901;
constexpr int kLogonView = 1902;
constexpr int kDirectoryView = 1906;
constexpr int kGpoView = 1907;

// The view of a list by its dialog item number; null for other lists.
const ReportView* report_view_of_list(int list);
// The quick-report view that shows rows of a record family.
const ReportView* report_view_of_family(LogFamily family);

// The text of one cell: the activity text for the first column, else the
// column text of the row context (0, or 4061 without a context).
DWORD report_cell_text(BYTE* context, const char* activity, uint32_t column, char* out, size_t size);

// Puts the view's columns into a list that has none, after the time-zone
// refresh. FALSE when a column cannot be inserted ("Unusual LV err 07ua").
BOOL build_report_view(HWND list, const ReportView* view);

// Sort keys: "%08d%08X%08X" from the row's time (days since 1970, then the
// second of the day) and its position in the list, so that a plain text
// comparison orders rows by time and equal times by arrival. Rows without a
// time sort first. Kept in the row context beside the time sort key.
constexpr size_t kRowSortKeyOffset = 100;
constexpr size_t kRowSortKeyBytes = 25;
void report_sort_key(BYTE* context, uint32_t position, char* out, size_t size);
// Writes the sort key of every row of a report list into its row context.
void set_report_sort_keys(HWND list);

// The list event of a report view: builds the view of the list and its sort
// keys; the host then goes on with its default (4061).
DWORD ReportViewListEvent(HWND list);

// Opens the quick report in a window of its own, on its own thread, which the host fills; the window
// closes itself when the library shuts down. "List is empty, unable to show in a new window" without rows.
DWORD ShowReportInNewWindow(HWND owner, HWND list);
