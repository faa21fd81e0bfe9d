// Hand-picked log files shown as a host shows them, through the library's
// exports: the same steps on both builds, so that the Windows test host (the
// DLL under Wine) and the Linux program that writes the files (libqvmr7.so
// over the Win32 layer) can compare what their lists show, text for text.
#pragma once
#include <string>

#include "console/substitute_host.h"

namespace wintest {

// The folder names the files of one report view are kept under: the view's list number ("1901").
constexpr int kPickedLogViews[] = {1901, 1902, 1906, 1907};

// Lists the folder's log files into a file list with the library's own listing (linked in), builds the
// view's columns in a report list through the list event that builds report views, reads the files one by
// one in name order through "View Log File Data", asks the text service for every cell, sets it into the
// report list and reads it back, and writes the list as comma-delimited text: a line of its column titles,
// then a line per row. Every row's record then goes back to the library. folder is a Windows path ending
// in a backslash. Empty when done, else what failed.
std::string write_picked_logs_csv(const host::Library& library, const std::string& folder, int view_list,
                                  const std::string& csv_path);

}  // namespace wintest
