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
#include "console/list_view.h"
#include "console/report_commands.h"
#include "host/control_descriptor.h"

namespace console {
namespace {

constexpr uint16_t kViewScreenKey = 10;
constexpr int kFilesItem = 1950, kReadItem = 1951;
constexpr uint32_t kViewLogFileData = 0x60440800;
constexpr uint32_t kCurrentLogFiles = 0x60F40049, kArchivedLogFiles = 0x60F4004A;

std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The view's rows under its column titles, spaces around them trimmed; a title the view repeats gets
// " (2)", " (3)" so that every JSON key is its own. The table leaves out the columns no row fills.
void print_rows(HWND list, const char* view_name, Format format) {
  Listing listing{"", {}, {}};
  listing.heading = true;
  for (std::string title : support::column_titles(list)) {
    title.erase(0, title.find_first_not_of(' '));
    title.erase(title.find_last_not_of(' ') + 1);
    int seen = static_cast<int>(std::count(listing.columns.begin(), listing.columns.end(), title));
    for (int n = 1; seen > 0; ++n) {
      std::string numbered = title + " (" + std::to_string(n + 1) + ")";
      if (std::find(listing.columns.begin(), listing.columns.end(), numbered) == listing.columns.end())
        title = numbered, seen = 0;
    }
    listing.columns.push_back(title);
  }
  for (int row = 0; row < row_count(list); ++row) {
    listing.rows.emplace_back();
    for (size_t c = 0; c < listing.columns.size(); ++c) listing.rows.back().push_back(row_text(list, row, static_cast<int>(c)));
  }
  if (format == Format::kTable) {
    for (size_t c = listing.columns.size(); c-- > 0;) {
      bool empty = true;
      for (const auto& cells : listing.rows) empty = empty && cells[c].empty();
      if (!empty || listing.rows.empty()) continue;
      listing.columns.erase(listing.columns.begin() + static_cast<std::ptrdiff_t>(c));
      for (auto& cells : listing.rows) cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(c));
    }
  }
  print_listing(listing, format);
  if (format == Format::kTable)
    std::printf("(%zu %s row%s)\n", listing.rows.size(), view_name, listing.rows.size() == 1 ? "" : "s");
}

}  // namespace

int view_log(std::vector<std::string> args) {
  bool missing = false;
  std::string csv = take_option(args, "--csv", &missing);
  std::string server = take_option(args, "--server", &missing);
  bool archived = take_flag(args, "--archived");
  Format format;
  if (!take_format(args, &format)) return 1;
  if (!csv.empty() && format != Format::kTable) return usage_error("view-log takes either --csv OUT or --format csv|json");
  if (missing || server.empty() || args.empty())
    return usage_error("view-log takes --server NAME, one or more log files and optionally --archived and --csv OUT");
  if (!output_path_ready("--csv", csv)) return 1;
  Library l;
  if (!start(&l)) return 1;
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
    print_rows(views[view], kQuickViewLists[view].name, format);
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
