// Report generation on the library's code linked into the test: quick reports
// started with the quick-report button as the host presses it, custom reports
// and hand-picked files, over log files that the log writer puts in a
// server's log share. The host's insert-report-row service is wrapped so that
// a test can act while rows arrive (stop, delete or grow a file).
#include <gtest/gtest.h>

#include <utime.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "reports/log_files.h"
#include "resources/resource.h"
#include "sim/logwriter.h"
#include "tests/support/quick_report_fixture.h"

namespace {

using support::kDay;
using support::kDec3;
using support::kOld;

constexpr char kQuickCancelled[] = "_USER REQUESTED REPORT GENERATION CANCELLED";

using support::journal_has;
using support::list_rows;
using support::ListRow;

class ReportGeneration : public support::QuickReportTest {
 protected:
  void SetUp() override {
    QuickReportTest::SetUp();
    world_.add_machine("SRV02", "127.0.0.3");
    world_.add_registry_text("SRV02", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"LastUpdateDate\"=dword:00000001\r\n\r\n");
    ASSERT_NO_FATAL_FAILURE(start({{"SRV01", nullptr}, {"SRV02", nullptr}}));
    // A decoy with a bar's name outside the bar control, created first.
    decoy_bar_ = host::add_control(screen_, 1911, PROGRESS_CLASSA, kQuickBarNames[0], host::ControlSpec{});
    add_progress();
    files_bar_ = bars_[kQuickFilesBar];
    file_bar_ = bars_[kQuickFileBar];
  }

  void release(HWND list) { support::release_list_rows(list, true); }

  std::string status() {
    char text[kQuickStatusBytes] = {};
    GetWindowTextA(status_, text, sizeof text);
    return text;
  }

  std::vector<uint32_t> fs_times() { return times(lists_[kQuickListFileSystem]); }

  // A file-system log whose records carry these event times; last-write time outside every window.
  std::string write_log(const std::string& name, const std::vector<uint32_t>& event_times, uint32_t written = kOld) {
    support::LogWriter log;
    append(&log, event_times);
    std::string path = folder_ + "/" + name;
    EXPECT_TRUE(log.save(path));
    set_written(path, written);
    return path;
  }
  static void append(support::LogWriter* log, const std::vector<uint32_t>& event_times) {
    for (uint32_t t : event_times) {
      FileLogRecord r = support::sample_file_record(0xFF330001, t % 1000);
      r.event_time = t;
      log->add(r);
    }
  }
  static void set_written(const std::string& path, uint32_t t) {
    struct utimbuf when = {static_cast<time_t>(t), static_cast<time_t>(t)};
    utime(path.c_str(), &when);
  }
  static std::string dated(const std::string& profile, int day) {
    return support::log_file_name(profile, "SRV01", 2026, 12, day);
  }

  void set_window(uint32_t start, uint32_t end, DWORD maximum = 0) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto set = [&](const char* name, DWORD v) {
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    };
    set("_FROMTODATE", 1);
    set("FROMDATE", start);
    set("TODATE", end);
    set("_STOPXRECS", maximum != 0);
    set("STOPXRECS", maximum);
    RegCloseKey(key);
  }

  // machine.ini changes take effect when the world is opened again; cached connections go first.
  void reopen() {
    release_registry_connections();
    world_.open();
  }

  HWND files_bar_ = nullptr, file_bar_ = nullptr, decoy_bar_ = nullptr;
};

TEST_F(ReportGeneration, QuickReportWindowIsStartExclusiveEndInclusiveNewestFirst) {
  const uint32_t start = kDec3, end = kDec3 + 2 * kDay;  // the nominal times of the 3rd and the 5th
  set_window(start, end);
  write_log(dated("AtStart", 3), {start + 10});                   // nominal time = start: left out
  write_log(dated("AtEnd", 5), {end - 5, end, end + 1, start});   // nominal time = end: read, rows filtered
  write_log(dated("SameA", 4), {start + 100});
  write_log(dated("SameB", 4), {start + 200});
  std::string undated = write_log("undated.vnx", {start + 300}, start + 1);  // no date; written inside the window
  write_log("undated-old.vnx", {start + 400});                                 // no date; written long before
  write_log(dated("Later", 6), {start + 500}, end + 1);                        // both times after the window
  std::string reading;
  auto visible = [this] {
    std::vector<bool> out;
    for (HWND bar : bars_) out.push_back((GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) != 0);
    return out;
  };
  std::vector<bool> shown_while_reading;
  on_row_ = [&](int n) {
    if (n != 1) return;
    reading = status();
    shown_while_reading = visible();
  };
  run_quick();
  EXPECT_EQ(reading, "Reading file 1 of 4: " + dated("AtEnd", 5));
  EXPECT_EQ(shown_while_reading, std::vector<bool>(kQuickBarCount, true));
  EXPECT_EQ(status(), "Quick Report complete: 5 rows");
  EXPECT_EQ(std::string(g_quick_run.files->server), "SRV01");

  // Rows: start < t <= end, newest file first, equal nominal times in the folder's enumeration order.
  std::vector<uint32_t> want = {end - 5, end};
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("\\\\SRV01\\VNXLOGS$\\vnxlogs\\Same*.vnx", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do want.push_back(found.cFileName[4] == 'A' ? start + 100 : start + 200); while (FindNextFileA(search, &found));
  FindClose(search);
  want.push_back(start + 300);
  EXPECT_EQ(fs_times(), want);
  // "Reporting Server" is the server the file's name gives; the name without a date gives none.
  std::vector<std::string> servers;
  for (const ListRow& row : list_rows(lists_[kQuickListFileSystem])) servers.push_back(row_server_name(row.record));
  std::vector<std::string> want_servers(5, "SRV01");
  want_servers.back() = "<unknown>";
  EXPECT_EQ(servers, want_servers);
  // BAR1 counts the files, BAR2 the bytes of the last one read; all four hidden at the end. The bar
  // outside the progress control is not the run's.
  EXPECT_EQ(SendMessageA(files_bar_, PBM_GETPOS, 0, 0), 4);
  EXPECT_EQ(static_cast<uint64_t>(SendMessageA(file_bar_, PBM_GETPOS, 0, 0)), std::filesystem::file_size(undated));
  EXPECT_EQ(visible(), std::vector<bool>(kQuickBarCount, false));
  EXPECT_EQ(SendMessageA(decoy_bar_, PBM_GETPOS, 0, 0), 0);
  EXPECT_NE(GetWindowLongA(decoy_bar_, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_FALSE(journal_has("QUICK REPORT STATUS", ""));              // a run that ends normally says nothing
}

// What the quick-report screen receives as WM_COMMAND, and the run's state then.
struct ScreenCommand {
  WPARAM wparam;
  LPARAM lparam;
  uint32_t state;
};
std::vector<ScreenCommand> g_commands;
WNDPROC g_screen_proc;
LRESULT CALLBACK watch_screen(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND) g_commands.push_back({wp, lp, g_quick_report.state});
  return CallWindowProcA(g_screen_proc, w, m, wp, lp);
}

TEST_F(ReportGeneration, QuickReportStoppedMidFileKeepsItsRowsAndTellsTheScreenThatStartedItOnce) {
  set_window(kDec3, kDec3 + 2 * kDay);
  write_log(dated("Newer", 5), series(kDec3 + kDay, 30));
  write_log(dated("Older", 4), series(kDec3 + 100, 5));
  constexpr int kScreenId = 4100;
  SetWindowLongPtrA(screen_, GWLP_ID, kScreenId);
  g_commands.clear();
  g_screen_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(screen_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watch_screen)));
  HWND starter = host::add_control(screen_, 1920, WC_LISTVIEWA, "",
                                   host::ControlSpec{kQuickReportList, kDescriptorListView, 2, 200});
  // Started from the list; the user presses the button after the 10th row and answers OK.
  on_row_ = [&](int n) {
    if (n != 10) return;
    ui::script({"Confirm Report Cancellation", IDOK, "", {}});
    press();
  };
  ui::click_row(servers_, 0);
  EXPECT_EQ(entry_point_list_services(starter, 0, 0, kQuickReportList, 0, 0, host::descriptor_of(starter), 0, 0, 0,
                                      0, 0, 0, 0),
            1u);
  if (g_quick_run.worker) WaitForSingleObject(g_quick_run.worker, INFINITE);
  std::vector<uint32_t> want = series(kDec3 + kDay, 10);
  want.push_back(0);  // the row that says so
  EXPECT_EQ(fs_times(), want);
  EXPECT_EQ(list_rows(lists_[kQuickListFileSystem]).back().text, kQuickCancelled);
  EXPECT_TRUE(journal_has("QUICK REPORT STATUS", kQuickCancelled));
  EXPECT_EQ(status(), kQuickCancelled);
  EXPECT_EQ(g_report_run.stopped, 1u);
  // The screen hears of the end once, from the logon list, once the run is idle.
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0].wparam, static_cast<WPARAM>(MAKEWPARAM(kScreenId, BN_CLICKED)));
  EXPECT_EQ(g_commands[0].lparam, reinterpret_cast<LPARAM>(lists_[kQuickListLogon]));
  EXPECT_EQ(g_commands[0].state, kQuickReportIdle);

  // A press while the run is stopping does nothing.
  on_row_ = nullptr;
  g_quick_report.state = kQuickReportStop;
  ui::clear_journal();
  EXPECT_EQ(press(), 1u);
  EXPECT_TRUE(ui::journal().empty());
  g_quick_report.state = kQuickReportIdle;

  // The button leaves the screen untold, also after a run that the list started.
  release(lists_[kQuickListFileSystem]);
  run_quick();
  EXPECT_EQ(status(), "Quick Report complete: 35 rows");
  EXPECT_EQ(g_commands.size(), 1u);
  SetWindowLongPtrA(screen_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_screen_proc));
  release(starter);
}

TEST_F(ReportGeneration, CustomReportStoppedMidFileByItsProgressWindow) {
  write_log(dated("FS1", 3), series(kDec3, 20));
  write_log(dated("FS2", 3), series(kDec3, 20));
  on_row_ = [&](int n) {
    if (n == 7) SendMessageA(custom_report_progress_window(), WM_COMMAND, MAKEWPARAM(IDC_PWLOG_STOP, BN_CLICKED), 0);
  };
  const char* patterns[] = {"fs*"};
  CustomReportRequest request = {"SRV01", patterns, 1, FALSE, nullptr, report_, 0, nullptr, {}};
  EXPECT_EQ(GenerateCustomReport(&request), 1u);  // the second file is not read
  std::vector<uint32_t> want = series(kDec3, 7);
  want.push_back(0);
  EXPECT_EQ(times(report_), want);
  EXPECT_EQ(list_rows(report_).back().text, "USER REQUESTED REPORT GENERATION TO BE STOPPED");
  EXPECT_EQ(custom_report_progress_window(), nullptr);  // closed at the end
}

TEST_F(ReportGeneration, MaximumAppliesWhenTheCountExceedsIt) {
  set_window(kDec3, kDec3 + 2 * kDay, 5);
  std::string five = write_log(dated("Five", 5), series(kDec3, 5));
  std::string six = write_log(dated("Six", 4), series(kDec3 + 10, 6));
  run_quick();
  std::vector<ListRow> got = list_rows(lists_[kQuickListFileSystem]);
  ASSERT_EQ(got.size(), 7u);  // the first file's 5 (count = maximum), the sixth (count 6 > 5), the limit row
  EXPECT_EQ(event_time(got[5].record), kDec3 + 11);
  EXPECT_EQ(got.back().text, "_MAXIMUM RECORD COUNT [5] REACHED, REPORT STOPPED");

  // Hand-picked files: the same rule, and the files after the limit are not read.
  g_report_run.maximum_records = 5;
  const char* one[] = {five.c_str(), six.c_str()};
  EXPECT_EQ(ReadPickedLogFiles(report_, 0, one, 2, nullptr), 2u);
  const char* reversed[] = {six.c_str(), five.c_str()};
  EXPECT_EQ(ReadPickedLogFiles(report_, 0, reversed, 2, nullptr), 1u);

  // Custom reports: 120000 only for more than 671016888 bytes without output to a file.
  ui::clear_journal();
  EXPECT_EQ(custom_report_maximum(kLargeCustomReportBytes, FALSE), 0u);
  EXPECT_EQ(custom_report_maximum(kLargeCustomReportBytes + 1, TRUE), 0u);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(custom_report_maximum(kLargeCustomReportBytes + 1, FALSE), kListViewRecordMaximum);
  EXPECT_TRUE(journal_has("RESULTS MAY BE LIMITED", "limited to first 120,000 records"));
}

TEST_F(ReportGeneration, ProfilePatterns) {
  // '*' matches the empty run ("F*S") and gives back what it took ("*1").
  const struct {
    const char *pattern, *name;
    bool matches;
  } cases[] = {{"FS1", "fs1", true}, {"", "", true},       {"*", "", true},
               {"F*S", "FS", true},  {"*1", "FS11", true}, {"a*b*c", "aXbYbZc", true},
               {"?s?", "FS1", true}, {"??", "FS1", false}, {"a*c", "abcd", false},
               {"FS", "FS1", false}, {"?", "", false}};
  for (const auto& c : cases) EXPECT_EQ(profile_pattern_matches(c.pattern, c.name), c.matches) << c.pattern;

  write_log(dated("FS_Shares", 3), {kDec3});
  write_log(dated("fs2", 3), {kDec3});
  write_log(dated("XFS", 3), {kDec3});
  const char* patterns[] = {"", "FS*"};
  CustomReportFile* files = nullptr;
  BOOL failed = TRUE;
  EXPECT_EQ(ChooseCustomReportFiles("SRV01", patterns, 2, &files, &failed), 2u);
  EXPECT_FALSE(failed);
  for (CustomReportFile* f = files; f; f = f->next) {
    EXPECT_EQ(std::string(f->server), "SRV01");
    EXPECT_EQ(std::string(f->path).find("XFS"), std::string::npos);
  }
  free_custom_report_files(files);

  // A name not of the agent's form has the profile and the server "<unknown>".
  write_log("odd.vnx", {kDec3});
  const char* unknown[] = {"<UNKNOWN>"};
  ASSERT_EQ(ChooseCustomReportFiles("SRV01", unknown, 1, &files, &failed), 1u);
  EXPECT_EQ(std::string(files->server), "<unknown>");
  free_custom_report_files(files);
}

TEST_F(ReportGeneration, BadServersAndFoldersGetTheirMessages) {
  set_window(kDec3, kDec3 + 2 * kDay);
  write_log(dated("FS1", 4), {kDec3 + 1});
  run_quick(1);  // SRV02 has no ReportPath
  EXPECT_TRUE(journal_has("SRV02", "Unable to determine ReportPath, unable to generate Quick Report"));
  const char* patterns[] = {"*"};
  CustomReportRequest request = {"SRV02", patterns, 1, FALSE, nullptr, report_, 0, nullptr, {}};
  EXPECT_EQ(GenerateCustomReport(&request), 0u);
  EXPECT_TRUE(journal_has("VORNIX message from QVMR0007.DLL",
                          "Cannot find VNX Log Path [\\\\SRV02\\???\\vnxlogs\\] on Selected Server [SRV02]"));
  request.pattern_count = 0;
  EXPECT_EQ(GenerateCustomReport(&request), 0u);
  EXPECT_TRUE(
      journal_has("VORNIX message from QVMR0007.DLL", "No Profiles Defined - Unable to continue Custom Report."));

  for (auto [access, text] : {std::pair{"none", "Access Denied (insufficient permissions) to access path "},
                              std::pair{"offline", "Error 53 occurred accessing "}}) {
    world_.set_machine_setting("SRV01", "shares", "vnxlogs$", access);
    reopen();
    run_quick();
    EXPECT_TRUE(journal_has("Unable to generate Quick Report", std::string(text) + "\\\\SRV01\\VNXLOGS$\\vnxlogs\\"));
  }
  world_.set_machine_setting("SRV01", "shares", "vnxlogs$", "");
  reopen();
  set_window(kDec3 + 3 * kDay, kDec3 + 4 * kDay);  // an empty window
  run_quick();
  EXPECT_TRUE(journal_has("Nothing to report", "No Activity found in Log Files during the selected Date Range"));

  ui::clear_journal();  // nothing selected
  LVITEMA none = {};
  none.stateMask = LVIS_SELECTED;
  SendMessageA(servers_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  entry_point_button_services(screen_, 0, host::descriptor_of(button_));
  EXPECT_TRUE(journal_has("Unable to generate Quick Report", "To continue, please select a server."));
}

TEST_F(ReportGeneration, FilesThatVanishOrGrowDuringTheRun) {
  set_window(kDec3, kDec3 + 3 * kDay);
  std::string newest = write_log(dated("A", 6), {kDec3 + 601, kDec3 + 602});
  std::string vanishing = write_log(dated("B", 5), {kDec3 + 501});
  std::string growing = write_log(dated("C", 4), {kDec3 + 401});
  auto grow = [](const std::string& path, uint32_t event_time) {
    support::LogWriter more;
    append(&more, {event_time});
    FILE* f = std::fopen(path.c_str(), "ab");
    std::fwrite(more.bytes().data(), 1, more.size(), f);
    std::fclose(f);
  };
  on_row_ = [&](int n) {
    if (n != 1) return;
    std::remove(vanishing.c_str());
    grow(newest, kDec3 + 603);   // the file being read: past its size at opening
    grow(growing, kDec3 + 402);  // not opened yet: read whole
  };
  run_quick();
  EXPECT_EQ(fs_times(), (std::vector<uint32_t>{kDec3 + 601, kDec3 + 602, kDec3 + 401, kDec3 + 402}));
  EXPECT_TRUE(journal_has("ERROR 23", "Error [2] opening file"));
}

TEST_F(ReportGeneration, ViewLogFileDataReadsTheSelectedFilesInListOrder) {
  write_log(dated("FS1", 3), {kDec3 + 1, kDec3 + 2});
  write_log(dated("FS2", 4), {kDec3 + 3});
  write_log(dated("FS3", 5), {kDec3 + 4});
  // The companion is the report list, item 1 of screen 3.
  HWND files =
      host::add_control(screen_, 50, WC_LISTVIEWA, "", host::ControlSpec{0x60440800, kDescriptorListView, 3, 1});
  LogListTarget target = {files, nullptr};
  DWORD listed = 0;
  ASSERT_EQ(ListLogFiles(&target, "SRV01", kListCurrentLogs, &listed), 0u);
  ASSERT_EQ(listed, 3u);
  auto send_event = [&] {
    return entry_point_list_services(files, 0, 0, 0x60440800, 0, 0, host::descriptor_of(files), 0, 0, 0, 0, 0, 0, 0);
  };
  ui::clear_journal();
  send_event();
  EXPECT_TRUE(journal_has("View Log File Data", "To continue, please select at least one Log File."));

  // Every file but FS2 selected: read in the list's order.
  std::vector<uint32_t> expected;
  std::vector<ListRow> file_rows = list_rows(files);
  for (size_t i = 0; i < file_rows.size(); ++i) {
    std::string path = log_row_path(file_rows[i].record);
    if (path.find("FS2") != std::string::npos) continue;
    support::set_row_selected(files, i);
    if (path.find("FS1") != std::string::npos) expected.insert(expected.end(), {kDec3 + 1, kDec3 + 2});
    else expected.push_back(kDec3 + 4);
  }
  send_event();
  EXPECT_EQ(times(report_), expected);
  // Every row carries the list event's record unchanged (no reporting server of the file's name put in),
  // beside what the reader fills: the record's type and action codes and the row item.
  std::vector<BYTE> event_record(kRowContextBytes);
  set_item_word(event_record.data(), kItemWordModule, 7);
  set_item_word(event_record.data(), kItemWordControlId, 0x60440800);
  set_item_word(event_record.data(), kItemWordDialogItem, 50);
  for (const ListRow& row : list_rows(report_)) {
    EXPECT_EQ(row_u32(row.record, kRowTypeOffset), 0xFF330001u);
    std::vector<BYTE> passed(row.record, row.record + kRowContextBytes);
    set_row_u32(passed.data(), kRowTypeOffset, 0);
    set_row_u32(passed.data(), kRowActionOffset, 0);
    set_row_item(passed.data(), kLogFamilyNone, nullptr);
    EXPECT_EQ(passed, event_record);
  }
  release(files);
}

std::vector<LPARAM> g_ranges;
std::vector<WPARAM> g_positions;
WNDPROC g_bar_proc;
LRESULT CALLBACK watch_bar(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == PBM_SETRANGE32) g_ranges.push_back(lp);
  if (m == PBM_SETPOS) g_positions.push_back(wp);
  return CallWindowProcA(g_bar_proc, w, m, wp, lp);
}

TEST_F(ReportGeneration, FileBarRunsOverBytesOrOverThousandthsForHugeFiles) {
  set_window(kDec3, kDec3 + 3 * kDay);
  std::string small = write_log(dated("Small", 5), {kDec3 + 1, kDec3 + 2});
  support::LogWriter log;
  append(&log, {kDec3 + 3});
  log.add_overlong(0xFF330001, 180000);  // ends the reading; the rest of the file is a hole
  std::string huge = folder_ + "/" + dated("Huge", 6);
  ASSERT_TRUE(log.save(huge));
  std::filesystem::resize_file(huge, 0x100000005ull);
  set_written(huge, kOld);
  g_ranges.clear();
  g_positions.clear();
  g_bar_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(file_bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watch_bar)));
  run_quick();
  EXPECT_EQ(fs_times(), (std::vector<uint32_t>{kDec3 + 3, kDec3 + 1, kDec3 + 2}));
  EXPECT_EQ(g_ranges, (std::vector<LPARAM>{1000, static_cast<LPARAM>(std::filesystem::file_size(small))}));
  ASSERT_FALSE(g_positions.empty());
  EXPECT_EQ(g_positions.back(), std::filesystem::file_size(small));
  for (WPARAM p : g_positions) EXPECT_LE(p, std::filesystem::file_size(small));  // thousandths of 4 GB stay 0
  std::filesystem::remove(huge);
}

TEST(ScheduledQuickReport, DaysBeforeHoursUntilTomorrowNeverBefore1970) {
  auto window = [](uint32_t now, DWORD days, DWORD hours) {
    std::vector<uint32_t> w(3);
    scheduled_quick_report_window(now, days, hours, &w[0], &w[1], &w[2]);
    return w;
  };
  EXPECT_EQ(window(1000000, 2, 5), (std::vector<uint32_t>{1000000 - 2 * kDay, 1000000 + kDay, 2048000}));
  EXPECT_EQ(window(1000000, 0, 5)[0], 1000000u - 5 * 3600);
  EXPECT_EQ(window(100, 3, 0)[0], 0u);
}

}  // namespace
