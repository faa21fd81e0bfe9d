// Report views, the results window and CSV writing, on the library's code
// linked into the test. The results window runs on its own dialog thread; the
// scripted user presses its buttons and answers the save-file dialog there.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/csv.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "reports/results_window.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/logwriter.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace {

class ReportViews : public ::testing::Test {
 protected:
  void SetUp() override {
    support::start_in_process(world_, &table_);
    g_results.step = 0;
    folder_ = world_.folder() + "/out";
    std::filesystem::create_directories(folder_);
  }

  void TearDown() override {
    close_results_window();
    support::end_in_process();
  }

  // Waits (real time, up to 20 s on a busy machine) for something the dialog thread does.
  template <typename Done>
  bool eventually(Done done) {
    for (int i = 0; i < 2000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  void click_header(HWND dialog, int sub_item) { support::click_column_header(dialog, kResultsListItem, sub_item); }

  // The scripted user presses Save and types the name into the save-file dialog.
  void save_as(const std::string& name) {
    ui::script({"ReportAction", kResultsSaveButton, "", {}});
    ui::script({"Save As", 0, "", {{1148, name}}});
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  std::string folder_;
};

TEST(Csv, QuotesCommasQuotesAndLineBreaksOnly) {
  support::WorldBuilder world;
  world.open();
  std::string path = world.folder() + "/cells.csv";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CsvWriter writer;
  csv_begin(&writer, file);
  for (const char* cell : {"plain", "a,b", "say \"hi\"", "two\nlines", "cr\rhere", "", " spaced "}) csv_cell(&writer, cell);
  csv_cell(&writer, nullptr);
  csv_end_line(&writer);
  // A cell longer than the writer's buffer, full of quotes, passes whole.
  std::string long_cell(3 * kCsvBufferBytes, '"');
  csv_cell(&writer, long_cell.c_str());
  csv_end_line(&writer);
  EXPECT_EQ(csv_finish(&writer), 0u);
  CloseHandle(file);
  std::string want = "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\rhere\",, spaced ,\r\n\"" +
                     std::string(6 * kCsvBufferBytes, '"') + "\"\r\n";
  EXPECT_EQ(support::read_whole_file(path), want);

  // A writer on a handle that cannot be written reports the error instead of losing rows quietly.
  HANDLE reading = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  csv_begin(&writer, reading);
  csv_cell(&writer, "x");
  csv_end_line(&writer);
  EXPECT_NE(csv_finish(&writer), 0u);
  CloseHandle(reading);
}

TEST_F(ReportViews, ViewsAreBuiltOnceThroughTheListEventWithTheirSortKeys) {
  // The four quick-report lists, by dialog item number; directory and GPO share their columns.
  const ReportView* fs = report_view_of_list(kFileSystemView);
  const ReportView* logon = report_view_of_list(kLogonView);
  const ReportView* directory = report_view_of_list(kDirectoryView);
  ASSERT_TRUE(fs && logon && directory && report_view_of_list(kGpoView));
  EXPECT_EQ(report_view_of_list(kGpoView)->columns, directory->columns);
  EXPECT_EQ(logon->count, 19u);
  EXPECT_EQ(report_view_of_list(1903), nullptr);
  EXPECT_EQ(report_view_of_family(kLogFamilyGpoDirectoryValue), report_view_of_list(kGpoView));
  EXPECT_EQ(report_view_of_family(kLogFamilyFile), fs);
  for (const ReportView* v : {fs, logon, directory}) {
    EXPECT_STREQ(v->columns[0].title, "Activity Type");
    for (size_t c = 1; c < v->count; ++c)
      EXPECT_TRUE(v->columns[c].id >= kFirstReportColumn && v->columns[c].id <= kLastReportColumn) << v->columns[c].title;
  }

  // Three file records, the newest in the middle, read into list 1901.
  HWND screen = CreateWindowExA(0, "VornixScreen", "Quick report", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 800, 600, screen,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(kFileSystemView)), nullptr, nullptr);
  support::LogWriter log;
  const uint32_t times[] = {1457300000, 1457400000, 1457300000};
  for (uint32_t i = 0; i < 3; ++i) {
    FileLogRecord r = support::sample_file_record(0xFF330001, i + 1);
    r.event_time = times[i];
    log.add(r);
  }
  std::string path = folder_ + "/fs_FS1d_March072016.vnx";
  ASSERT_TRUE(log.save(path));
  BYTE context[kRowContextBytes] = {};
  LogReadRequest request = {list, 0, path.c_str(), context, {0, 0}, nullptr};
  g_report_run = ReportRunState{};
  g_report_run.show_utc = 1;
  read_activity_log(&request);
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);

  host::Library in_process;
  in_process.entry_point_list_services = &entry_point_list_services;
  for (DWORD id : {0x6034010Fu, 0x60240001u}) EXPECT_EQ(host::send_list_event(in_process, list, id), 4061u);
  char title[64] = {};
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH;
  c.pszText = title;
  c.cchTextMax = sizeof title;
  ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 7, reinterpret_cast<LPARAM>(&c)));
  EXPECT_STREQ(title, " SID");
  EXPECT_EQ(c.cx, fs->columns[7].width);
  EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, fs->count, reinterpret_cast<LPARAM>(&c))) << "built twice";

  // Day, second of the day (hex), arrival: equal times keep their arrival order, later times sort after.
  std::vector<std::string> keys;
  for (const support::ListRow& row : support::list_rows(list))
    keys.push_back(reinterpret_cast<const char*>(row.record) + kRowSortKeyOffset);
  EXPECT_EQ(keys, (std::vector<std::string>{"0001686600012F2000000000", "00016868000012C000000001",
                                            "0001686600012F2000000002"}));
  BYTE no_time[kRowContextBytes] = {};
  char key[kRowSortKeyBytes];
  report_sort_key(no_time, 5, key, sizeof key);
  EXPECT_STREQ(key, "000000000000000000000005");
  support::release_list_rows(list);
}

TEST_F(ReportViews, ResultsWindowNumbersStepsSortsAndSavesItsRows) {
  HWND window = open_results_window(nullptr);
  ASSERT_NE(window, nullptr);
  char caption[128] = {};
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, "VORNIX Agent Update Results");
  HWND list = GetDlgItem(window, kResultsListItem);
  std::vector<int> widths;
  LVCOLUMNA c = {};
  for (c.mask = LVCF_WIDTH; SendMessageA(list, LVM_GETCOLUMNA, widths.size(), reinterpret_cast<LPARAM>(&c));)
    widths.push_back(c.cx);
  EXPECT_EQ(widths, (std::vector<int>{115, 316, 370}));

  // Rows come from the operation's thread while the window runs on its own.
  std::thread operation([&] {
    EXPECT_TRUE(add_results_row(window, kStepConnecting, "SRV01", "Connect", "OK", "hidden"));
    EXPECT_TRUE(add_results_row(window, kStepCopying, "SRV02", "copy a, b", "said \"done\"", nullptr));
    EXPECT_TRUE(add_results_row(window, kStepError, "srv03", "Bravo", "line one\nline two", nullptr));
  });
  operation.join();
  EXPECT_EQ(support::list_column(list, 0), (std::vector<std::string>{"0001: SRV01", "0002: SRV02", "0003: srv03"}));
  EXPECT_EQ(support::list_column(list, 3), std::vector<std::string>(3, "")) << "the fourth cell has no column to show it";

  // Descending, ascending, descending on one column; case does not count.
  click_header(window, 1);
  EXPECT_EQ(support::list_column(list, 1), (std::vector<std::string>{"copy a, b", "Connect", "Bravo"}));
  click_header(window, 1);
  EXPECT_EQ(support::list_column(list, 1), (std::vector<std::string>{"Bravo", "Connect", "copy a, b"}));
  click_header(window, 0);  // another column starts with its own descending order
  EXPECT_EQ(support::list_column(list, 0), (std::vector<std::string>{"0003: srv03", "0002: SRV02", "0001: SRV01"}));
  click_header(window, 1);
  EXPECT_EQ(support::list_column(list, 1), (std::vector<std::string>{"copy a, b", "Connect", "Bravo"}));
  std::vector<BYTE*> item_data;  // follows the new positions
  for (const support::ListRow& row : support::list_rows(list)) item_data.push_back(row.record);
  EXPECT_EQ(item_data, (std::vector<BYTE*>{nullptr, reinterpret_cast<BYTE*>(1), reinterpret_cast<BYTE*>(2)}));

  // Saved without an extension: ".CSV" is added; the hidden fourth cell is not written.
  std::string name = folder_ + "/steps";
  save_as(name);
  ASSERT_TRUE(eventually(
      [&] { return std::filesystem::exists(name + ".CSV") && support::read_whole_file(name + ".CSV").size() > 100; }));
  EXPECT_EQ(support::read_whole_file(name + ".CSV"),
            "Step Count: Server,Action,Result\r\n"
            "0002: SRV02,\"copy a, b\",\"said \"\"done\"\"\"\r\n"
            "0001: SRV01,Connect,OK\r\n"
            "0003: srv03,Bravo,\"line one\nline two\"\r\n");

  // Another extension is kept.
  save_as(folder_ + "/steps.txt");
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(folder_ + "/steps.txt"); }));
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/steps.txt.CSV"));

  // A file that cannot be created: the message names the error and the file.
  std::string nowhere = folder_ + "/no-such-folder/steps";
  save_as(nowhere);
  ASSERT_TRUE(eventually([&] { return support::journal_has("ERROR!", "occurred during create file"); }));
  EXPECT_TRUE(support::journal_has("ERROR!", "occurred during create file [" + nowhere + ".CSV].\n\nReport aborted."));

  // Done ends the dialog thread.
  ui::script({"ReportAction", IDOK, "", {}});
  ASSERT_TRUE(eventually([&] { return !IsWindow(window); }));
  EXPECT_TRUE(eventually([&] { return g_results.window == nullptr; }));
}

TEST_F(ReportViews, StepStatusGoesToTheWindowOrTheServerRowAndReopeningReplacesTheWindow) {
  HWND screen = CreateWindowExA(0, "VornixScreen", "Servers", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND servers = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 800, 600, screen, nullptr, nullptr, nullptr);
  support::add_columns(servers, 3);
  support::insert_list_rows(servers, {{"SRV01", nullptr}});
  HWND first = open_results_window("VORNIX Add New Server Results");
  ASSERT_NE(first, nullptr);
  char caption[128] = {};
  GetWindowTextA(first, caption, sizeof caption);
  EXPECT_STREQ(caption, "VORNIX Add New Server Results");
  set_step_server("SRV01");
  for (const char* status : {"Copying agent files", "Copy of vnxw.sys failed", "UNABLE to start service", "Registry Error 5"})
    report_step_status(servers, 0, status);
  HWND list = GetDlgItem(first, kResultsListItem);
  std::vector<int> images;
  for (const support::ListRow& row : support::list_rows(list)) images.push_back(row.image);
  EXPECT_EQ(images, (std::vector<int>{kStepProgress, kStepError, kStepError, kStepError}));
  EXPECT_EQ(support::list_column(list, 1), std::vector<std::string>(4, "processing..."));
  EXPECT_EQ(support::list_column(list, 0)[1], "0002: SRV01");
  EXPECT_EQ(support::list_column(servers, 2), std::vector<std::string>{""})
      << "nothing on the server row while the window is open";

  // Opened again, without numbering: the open one goes, and says so.
  g_results.step = kStepNumberingOff;
  HWND second = open_results_window(nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(support::journal_has("VORNIX HOST", "Report View was Open, now resetting"));
  add_results_row(second, kStepSuccess, "SRV02", "Start", "OK", nullptr);
  EXPECT_EQ(support::list_column(GetDlgItem(second, kResultsListItem), 0), std::vector<std::string>{"SRV02"});

  // Closed: the status goes to the server row, and a row for the window is refused with its message.
  close_results_window();
  report_step_status(servers, 0, "Agent started");
  EXPECT_EQ(support::list_column(servers, 2), std::vector<std::string>{"Agent started"});
  EXPECT_FALSE(add_results_row(second, kStepSuccess, "SRV02", "Stop", "OK", nullptr));
  EXPECT_TRUE(support::journal_has("VORNIX ACTIONS", "Error X78 on Insert!"));

  // Another view selector is not one the dialog shows.
  ui::clear_journal();
  EXPECT_EQ(open_results_window(nullptr, 2), nullptr);
  EXPECT_TRUE(support::journal_has("VORNIX message from QVMR0007.DLL", "Unhandled Report View Selected!"));
  EXPECT_TRUE(support::journal_has("VORNIX message from QVMR0007.DLL", "Unknown error occurred in SRV, Option 1"));
}

}  // namespace
