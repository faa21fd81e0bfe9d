#include "wintest/picked_logs.h"

#include <algorithm>
#include <vector>

#include "host/control_descriptor.h"
#include "reports/csv.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "console/list_view.h"

namespace wintest {
namespace {

constexpr uint16_t kScreenKey = 77;
constexpr int kFileListItem = 50;
constexpr uint32_t kViewLogFileData = 0x60440800;
constexpr uint32_t kReportViewList = 0x60240001;  // its event builds the columns of the view its item number names

using TextServicesFn = decltype(host::Library::entry_point_text_services);

std::string cell_text(HWND list, int row, int column) {
  std::vector<char> text(kColumnTextBytes);
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text.data();
}

std::string column_title(HWND list, int column) {
  char title[260] = {};
  LVCOLUMNA item = {};
  item.mask = LVCF_TEXT;
  item.pszText = title;
  item.cchTextMax = sizeof title;
  if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item))) return "";
  return title;
}

// Every cell after the activity text, as the library gives it, into the list.
void fill_cells(TextServicesFn text_services, HWND screen, HWND list, const ReportView& view) {
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<char> text(kColumnTextBytes);
  for (int row = 0; row < rows; ++row) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (size_t c = 1; c < view.count; ++c) {
      text[0] = '\0';
      LONG value = 0;
      text_services(screen, nullptr, static_cast<uintptr_t>(item.lParam), 0, 0, 1, text.data(), &value, 0, 0, 0,
                    view.columns[c].id, 7);
      LVITEMA cell = {};
      cell.iSubItem = static_cast<int>(c);
      cell.pszText = text.data();
      SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
  }
}

std::string write_csv(HWND list, size_t columns, const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path + ": cannot be created (Windows error " + std::to_string(GetLastError()) + ")";
  CsvWriter writer;
  csv_begin(&writer, file);
  for (size_t c = 0; c < columns; ++c) csv_cell(&writer, column_title(list, static_cast<int>(c)).c_str());
  csv_end_line(&writer);
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    for (size_t c = 0; c < columns; ++c) csv_cell(&writer, cell_text(list, row, static_cast<int>(c)).c_str());
    csv_end_line(&writer);
  }
  DWORD error = csv_finish(&writer);
  CloseHandle(file);
  return error == 0 ? "" : path + ": not written whole (Windows error " + std::to_string(error) + ")";
}

void release_rows(const host::Library& library, HWND list) {
  support::return_row_records(
      list, reinterpret_cast<support::AllocRecordFn>(host::export_address(library, "alloc_memory_for_list")),
      reinterpret_cast<support::DeleteRecordFn>(host::export_address(library, "delete_list_item")));
}

}  // namespace

std::string write_picked_logs_csv(const host::Library& library, const std::string& folder, int view_list,
                                  const std::string& csv_path) {
  const ReportView* view = report_view_of_list(view_list);
  if (view == nullptr) return "no report view " + std::to_string(view_list);
  HWND screen = host::create_screen(kScreenKey, "View Log File Data");
  HWND report = host::add_control(screen, view_list, WC_LISTVIEWA, "",
                                  host::ControlSpec{kReportViewList, kDescriptorListView});
  HWND files = host::add_control(screen, kFileListItem, WC_LISTVIEWA, "",
                                 host::ControlSpec{kViewLogFileData, kDescriptorListView, kScreenKey,
                                                   static_cast<uint16_t>(view_list)});
  host::send_list_event(library, report);

  LogListTarget target = {files, nullptr};
  DWORD listed = 0;
  std::string failure;
  if (DWORD error = list_log_folder(&target, folder.c_str(), FALSE, &listed))
    failure = folder + ": not listed (Windows error " + std::to_string(error) + ")";

  // One file at a time, in name order, so that both builds read them alike whatever order their folders list.
  std::vector<support::ListRow> rows = support::list_rows(files);
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rows[a].text < rows[b].text; });
  for (size_t picked : order) {
    for (size_t i = 0; i < rows.size(); ++i) support::set_row_selected(files, i, i == picked);
    host::send_list_event(library, files);
  }

  if (failure.empty()) {
    fill_cells(library.entry_point_text_services, screen, report, *view);
    failure = write_csv(report, view->count, csv_path);
  }
  release_rows(library, report);
  release_rows(library, files);
  DestroyWindow(screen);
  return failure;
}

}  // namespace wintest
