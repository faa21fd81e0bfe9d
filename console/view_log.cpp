#include "console/windows_error.h"
#include "console/view_log.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/report_commands.h"
#include "host/control_descriptor.h"

namespace console {
namespace {

constexpr uint16_t kViewScreenKey = 10;
constexpr int kFilesItem = 1950, kReadItem = 1951;
constexpr uint32_t kViewLogFileData = 0x60440800;
constexpr uint32_t kCurrentLogFiles = 0x60F40049, kArchivedLogFiles = 0x60F4004A;
constexpr size_t kTableCellChars = 40;  // wider cells are cut in the terminal table

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> column_titles(HWND list) {
  std::vector<std::string> titles;
  for (int c = 0;; ++c) {
    char title[260] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column))) return titles;
    titles.push_back(title);
  }
}

// One line per row, columns as wide as their widest cell (at most kTableCellChars).
std::string table_cell(const std::string& text) {
  std::string flat = text;
  for (char& c : flat)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return flat.size() > kTableCellChars ? flat.substr(0, kTableCellChars - 3) + "..." : flat;
}

void print_table(HWND list, const char* view_name) {
  std::vector<std::string> titles = column_titles(list);
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < row_count(list); ++row) {
    rows.emplace_back();
    for (size_t c = 0; c < titles.size(); ++c) rows.back().push_back(table_cell(row_text(list, row, static_cast<int>(c))));
  }
  std::vector<size_t> widths;
  for (size_t c = 0; c < titles.size(); ++c) {
    size_t width = table_cell(titles[c]).size();
    for (const auto& row : rows) width = std::max(width, row[c].size());
    widths.push_back(width);
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < cells.size(); ++c)
      text += cells[c] + std::string(widths[c] - cells[c].size() + (c + 1 < cells.size() ? 2 : 0), ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::printf("%s\n", text.c_str());
  };
  std::vector<std::string> heading;
  for (const std::string& t : titles) heading.push_back(table_cell(t));
  line(heading);
  for (const auto& row : rows) line(row);
  std::printf("(%zu %s row%s)\n", rows.size(), view_name, rows.size() == 1 ? "" : "s");
}

}  // namespace

int view_log(std::vector<std::string> args) {
  bool missing = false;
  std::string csv = take_option(args, "--csv", &missing);
  std::string server = take_option(args, "--server", &missing);
  bool archived = take_flag(args, "--archived");
  if (missing || server.empty() || args.empty())
    return fail("view-log takes --server NAME, one or more log files and optionally --archived and --csv OUT");
  if (!output_path_ready("--csv", csv)) return 1;
  Library l;
  if (!start(&l, false)) return 1;
  HWND servers = make_server_list(l);
  if (!select_server(servers, server)) return host::unload_library(&l.library), 1;

  // The View Log File Data screen: the server's log file list, which the host fills through the list's event
  // and whose event reads the selected files into its companion; the rows then go to their family's view.
  HWND screen = host::create_screen(kViewScreenKey, "View Log File Data");
  HWND files = host::add_control(screen, kFilesItem, WC_LISTVIEWA, "",
                                 host::ControlSpec{kViewLogFileData, kDescriptorListView, kViewScreenKey, kReadItem});
  HWND read = host::add_control(screen, kReadItem, WC_LISTVIEWA, "", host::ControlSpec{});
  HWND views[kQuickViews];
  add_view_lists(l, screen, views);
  host::send_list_event(l.library, files, archived ? kArchivedLogFiles : kCurrentLogFiles);

  int status = 0, view = -1;
  for (const std::string& wanted : args) {
    int row = find_row(files, base_name(wanted));
    if (row < 0) {
      status = fail(wanted + ": no " + (archived ? "archived " : "") + "log file of " + server + " is named so");
      continue;
    }
    // One file at a time, so that each file's rows are known as its own.
    select_rows(files, {row});
    host::send_list_event(l.library, files);
    int file_view = -1;
    bool mixed = false;
    for (int r = 0; r < row_count(read); ++r) {
      int v = row_view(l, screen, row_param(read, r));
      if (v < 0) std::fprintf(stderr, "vornix-console: %s: %s\n", wanted.c_str(), row_text(read, r).c_str());
      else if (file_view < 0) file_view = v;
      else mixed = mixed || v != file_view;
    }
    if (file_view < 0) {
      status = fail(wanted + ": not an activity log file (no record read from it)");
    } else if (mixed || (view >= 0 && file_view != view)) {
      status = fail(wanted + ": holds " + kQuickViewLists[file_view].name + " records, the files before it " +
                    (view >= 0 ? kQuickViewLists[view].name : "other") + " records; view-log shows one family per call");
    } else {
      view = file_view;
      for (int r = 0; r < row_count(read); ++r) {
        if (row_view(l, screen, row_param(read, r)) >= 0) move_row(read, r, views[view]);
        else give_back_record(l, row_param(read, r));
      }
      SendMessageA(read, LVM_DELETEALLITEMS, 0, 0);
    }
    release_rows(l, read);
  }
  if (view >= 0 && csv.empty()) {
    print_table(views[view], kQuickViewLists[view].name);
  } else if (view >= 0) {
    int rows = row_count(views[view]);
    OutputFile out = output_file(csv, std::string("view-log-") + kQuickViewLists[view].tag + ".csv");
    if (write_list_csv(l, views[view], out))
      say_written(out, std::to_string(rows) + " " + kQuickViewLists[view].name + " row" + (rows == 1 ? "" : "s") +
                           " written to " + (out.to_stdout ? "standard output" : out.path));
    else
      status = 1;
  }
  for (HWND list : views) release_rows(l, list);
  release_rows(l, files);
  host::unload_library(&l.library);
  return status;
}

}  // namespace console
