#include "console/view_log.h"

#include "console/console_output.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/csv.h"
#include "reports/log_format.h"
#include "reports/log_reader.h"
#include "reports/report_items.h"
#include "reports/report_views.h"

namespace console {
namespace {

constexpr size_t kTableCellChars = 40;  // wider cells are cut in the terminal table
constexpr uint32_t kViewTimeFormat = 0;  // the C library's fixed form, as the quick report's views show times

struct Row {
  std::vector<std::string> cells;
};

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string windows_error_text(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "in use by another program";
    default: return "cannot be read";
  }
}

void file_error(const std::string& path, const std::string& what) { fail(path + ": " + what); }

// Walks the file's records once: is it a log file, can it be read, how much is damaged.
bool check_log_file(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    file_error(path, windows_error_text(error) + " (Windows error " + std::to_string(error) + ")");
    return false;
  }
  uint64_t size = 0;
  std::vector<BYTE> buffer(kLogSplitBufferBytes);
  LogSplitter splitter;
  bool ok = log_file_size(file, &size) &&
            begin_log_split(&splitter, read_log_file_at, file, buffer.data(), buffer.size(), 0, size);
  if (!ok) {
    DWORD error = GetLastError();
    CloseHandle(file);
    file_error(path, "cannot be read (Windows error " + std::to_string(error) + ")");
    return false;
  }
  LogSplitItem item;
  while (next_log_split(&splitter, &item) != kLogSplitEnd) {
  }
  CloseHandle(file);
  if (splitter.end_reason == kLogEndReadFailed) {
    file_error(path, "cannot be read (Windows error " + std::to_string(splitter.read_error) + ")");
    return false;
  }
  if (splitter.records == 0) {
    file_error(path, "not an activity log file (no record in its " + std::to_string(size) + " bytes)");
    return false;
  }
  if (splitter.damaged_stretches > 0)
    std::fprintf(stderr, "vornix-console: %s: %llu damaged stretch%s skipped (%llu bytes)\n", path.c_str(),
                 static_cast<unsigned long long>(splitter.damaged_stretches),
                 splitter.damaged_stretches == 1 ? "" : "es",
                 static_cast<unsigned long long>(splitter.skipped_bytes));
  return true;
}

// Reads one file with the library's reader into a host list; the rows of
// other views than `view` (set by the first file with rows) are refused.
bool read_rows(const std::string& path, HWND list, const ReportView** view, std::vector<Row>* out) {
  BYTE context[kRowContextBytes] = {};
  LogFileName name;
  parse_log_file_name(base_name(path).c_str(), &name);
  set_row_server_name(context, name.server);
  LogReadRequest request = {};
  request.target = list;
  request.path = path.c_str();
  request.context_template = context;
  read_activity_log(&request);

  bool refused = false;
  const ReportView* refused_view = nullptr;
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<char> text(kColumnTextBytes);
  for (int i = 0; i < count; ++i) {
    char activity[kActivityTextBytes] = {};
    LPARAM param;
    read_list_row(list, i, activity, sizeof activity, &param);
    auto* record = reinterpret_cast<BYTE*>(param);
    void* row_item_block;
    const ReportView* row_view = record ? report_view_of_family(row_item(record, &row_item_block)) : nullptr;
    if (row_view == nullptr) continue;  // a row without a record behind it
    if (*view == nullptr) *view = row_view;
    if (row_view != *view) {
      refused = true;
      refused_view = row_view;
    } else {
      Row row;
      for (size_t c = 0; c < row_view->count; ++c) {
        report_cell_text(record, activity, row_view->columns[c].id, text.data(), text.size());
        row.cells.emplace_back(text.data());
      }
      out->push_back(std::move(row));
    }
    // The host hands every row's record back to the library when the list goes.
    auto* copy = reinterpret_cast<BYTE*>(alloc_memory_for_list());
    std::memcpy(copy, record, kListItemBytes);
    delete_list_item(0, 0, copy);
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  if (refused)
    file_error(path, std::string("holds ") + refused_view->name + " records, the files before it " + (*view)->name +
                         " records; view-log shows one family per call");
  return !refused;
}

bool write_csv(const std::string& path, const ReportView& view, const std::vector<Row>& rows) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    file_error(path, "cannot be created (Windows error " + std::to_string(error) + ")");
    return false;
  }
  CsvWriter writer;
  csv_begin(&writer, file);
  for (size_t c = 0; c < view.count; ++c) csv_cell(&writer, view.columns[c].title);
  csv_end_line(&writer);
  for (const Row& row : rows) {
    for (const std::string& cell : row.cells) csv_cell(&writer, cell.c_str());
    csv_end_line(&writer);
  }
  DWORD error = csv_finish(&writer);
  CloseHandle(file);
  if (error != 0) file_error(path, "could not be written whole (Windows error " + std::to_string(error) + ")");
  return error == 0;
}

// One line per row, columns as wide as their widest cell (at most kTableCellChars).
std::string table_cell(const std::string& text) {
  std::string flat = text;
  for (char& c : flat)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return flat.size() > kTableCellChars ? flat.substr(0, kTableCellChars - 3) + "..." : flat;
}

void print_table(const ReportView& view, const std::vector<Row>& rows) {
  std::vector<size_t> widths;
  for (size_t c = 0; c < view.count; ++c) {
    size_t width = table_cell(view.columns[c].title).size();
    for (const Row& row : rows) width = std::max(width, table_cell(row.cells[c]).size());
    widths.push_back(width);
  }
  auto line = [&](auto cell_of) {
    std::string text;
    for (size_t c = 0; c < view.count; ++c) {
      std::string cell = table_cell(cell_of(c));
      text += cell + std::string(widths[c] - cell.size() + (c + 1 < view.count ? 2 : 0), ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::printf("%s\n", text.c_str());
  };
  line([&](size_t c) { return std::string(view.columns[c].title); });
  for (const Row& row : rows) line([&](size_t c) { return row.cells[c]; });
  std::printf("(%zu %s row%s)\n", rows.size(), view.name, rows.size() == 1 ? "" : "s");
}

}  // namespace

int view_log(const std::vector<std::string>& files, const std::string& csv_path) {
  // Report times in local time, in the form the quick report shows them; no
  // message boxes, the console reports problems itself.
  g_library.quiet_mode = 1;
  g_library.search_cancel = 0;
  g_report_run.maximum_records = 0;
  g_report_run.record_count = 0;
  g_report_run.time_format = kViewTimeFormat;
  g_report_run.show_utc = 0;
  refresh_time_zone();

  HWND screen = CreateWindowExA(0, "VornixScreen", "View Log File Data", 0, 0, 0, 800, 600, nullptr, nullptr,
                                nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 800, 600, screen, nullptr, nullptr, nullptr);
  const ReportView* view = nullptr;
  std::vector<Row> rows;
  int status = 0;
  for (const std::string& path : files) {
    if (!check_log_file(path) || !read_rows(path, list, &view, &rows)) status = 1;
  }
  DestroyWindow(screen);
  if (view == nullptr) {
    if (status == 0) std::fprintf(stderr, "vornix-console: no activity rows in %zu file%s\n", files.size(),
                                  files.size() == 1 ? "" : "s");
    // Nothing to show; an empty CSV would not say which view it is.
    return status;
  }
  if (!csv_path.empty()) {
    if (!write_csv(csv_path, *view, rows)) return 1;
    std::printf("%zu %s row%s written to %s\n", rows.size(), view->name, rows.size() == 1 ? "" : "s",
                csv_path.c_str());
  } else {
    print_table(*view, rows);
  }
  return status;
}

}  // namespace console
