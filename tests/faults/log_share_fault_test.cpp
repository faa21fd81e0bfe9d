// A log share taken away while its files are read, through the exports as the
// host drives them: the quick report's button and the log file list's "View
// Log File Data". The rows read before stay, the next file's open failure is
// said (a box for the quick report, a last row for the report list), and with
// the share back the same commands read everything.
#include <gtest/gtest.h>

#include <utime.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/host_services.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "tests/support/list_rows.h"
#include "sim/logwriter.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace {

constexpr uint32_t kDay = 86400;
constexpr uint32_t kDec3 = 1796335200;  // the nominal time of a December 3 log
constexpr uint32_t kOld = 1577836800;   // a last-write time outside every window
constexpr uint32_t kNewer = 300;

HostInsertReportRowFn g_insert;
std::function<void(int)> g_on_row;
int g_rows;

uintptr_t WINAPI insert_and_watch(HWND window, uintptr_t parent, uintptr_t position, const char* text, int image,
                                  int one, uintptr_t a, uintptr_t b, void* context, DWORD* flag) {
  uintptr_t result = g_insert(window, parent, position, text, image, one, a, b, context, flag);
  if (g_on_row) g_on_row(++g_rows);
  return result;
}

uint32_t event_time(const BYTE* record) {
  void* item = nullptr;
  LogFamily family = row_item(record, &item);
  return item ? row_item_event_time(family, item) : 0;
}

class LogShareFault : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
    share_ = world_.machine_dir("SRV01") + "/shares/VNXLOGS$";
    std::filesystem::create_directories(share_ + "/vnxlogs");
    world_.set_clock_start(kDec3 + 2 * kDay + 3600);
    world_.open();
    table_ = host::make_service_table();
    g_insert = reinterpret_cast<HostInsertReportRowFn>(table_[kHostInsertItem]);
    table_[kHostInsertItem] = reinterpret_cast<uintptr_t>(&insert_and_watch);
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
    g_library.quiet_mode = 0;
    g_report_run = ReportRunState{};
    std::memset(&g_quick_report, 0, sizeof g_quick_report);
    g_on_row = nullptr;
    g_rows = 0;

    HWND servers_screen = host::create_screen(2, "Servers");
    servers_ = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
    support::insert_list_rows(servers_, {{"SRV01", nullptr}});
    screen_ = host::create_screen(3, "Quick Report");
    button_ = host::add_control(screen_, 1900, "Button", "Run Quick Report Now",
                                host::ControlSpec{kQuickReportButton, kDescriptorPushButton, 2, 200});
    for (int i = 0; i < kQuickListCount; ++i)
      lists_[i] = host::add_control(screen_, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
    host::add_progress_bars(screen_, 1910, kQuickProgressControl, {std::begin(kQuickBarNames), std::end(kQuickBarNames)});
    host::add_control(screen_, kQuickStatusItem, "Static", "", host::ControlSpec{});
    report_ = host::add_control(screen_, 1, WC_LISTVIEWA, "", host::ControlSpec{});

    // Newest first: 300 records of December 5 (more than the reader takes in one read), then 5 of December 4.
    write_log(support::log_file_name("Newer", "SRV01", 2026, 12, 5), kDec3 + kDay, kNewer);
    write_log(support::log_file_name("Older", "SRV01", 2026, 12, 4), kDec3 + 100, 5);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\QUICKRPT", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (auto [name, value] : {std::pair<const char*, DWORD>{"_FROMTODATE", 1}, {"FROMDATE", kDec3},
                               {"TODATE", kDec3 + 2 * kDay}, {"_STOPXRECS", 0}})
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    ui::clear_journal();
  }

  void TearDown() override {
    g_on_row = nullptr;
    restore_share();
    for (HWND list : lists_) support::release_list_rows(list, true);
    support::release_list_rows(report_, true);
    free_quick_report_files();
    release_registry_connections();
    qvmr_unregister_module(g_library.instance);
  }

  void write_log(const std::string& name, uint32_t first, uint32_t count) {
    support::LogWriter log;
    for (uint32_t i = 1; i <= count; ++i) {
      FileLogRecord r = support::sample_file_record(0xFF330001, i);
      r.event_time = first + i;
      log.add(r);
    }
    std::string path = share_ + "/vnxlogs/" + name;
    ASSERT_TRUE(log.save(path));
    if (name.rfind("Newer", 0) == 0) newer_size_ = log.size();
    struct utimbuf when = {kOld, kOld};
    utime(path.c_str(), &when);
  }

  // The server takes its share away, and later puts it back.
  void take_share_away() { std::filesystem::rename(share_, share_ + ".gone"); }
  void restore_share() {
    if (std::filesystem::exists(share_ + ".gone")) std::filesystem::rename(share_ + ".gone", share_);
  }

  void run_quick_report() {
    ui::click_row(servers_, 0);
    EXPECT_EQ(entry_point_button_services(screen_, 0, host::descriptor_of(button_)), 1u);
    if (g_quick_run.worker) WaitForSingleObject(g_quick_run.worker, INFINITE);
    EXPECT_EQ(g_quick_report.state, kQuickReportIdle);
  }

  static std::vector<uint32_t> times(HWND list) {
    std::vector<uint32_t> out;
    for (const support::ListRow& row : support::list_rows(list)) out.push_back(event_time(row.record));
    return out;
  }
  static std::vector<uint32_t> series(uint32_t from, uint32_t n) {
    std::vector<uint32_t> out;
    for (uint32_t i = 1; i <= n; ++i) out.push_back(from + i);
    return out;
  }
  // The diagnostic of a read that failed: the read's result 0, where, the file's size and no bytes.
  static void expect_failed_read(const std::string& box) {
    EXPECT_EQ(box.rfind("[6]READ FAILED! | ReadFile[0] WWA[", 0), 0u) << box;
    EXPECT_NE(box.find("] EOFf[" + std::to_string(newer_size_) + "] BR[0]"),
              std::string::npos)
        << box;
  }
  static std::vector<std::string> boxes() {
    std::vector<std::string> out;
    for (const ui::JournalEntry& e : ui::journal())
      if (e.kind == "message box") out.push_back(e.title + " | " + e.text);
    return out;
  }

  static inline size_t newer_size_ = 0;
  support::WorldBuilder world_;
  host::ServiceTable table_{};
  std::string share_;
  HWND servers_ = nullptr, screen_ = nullptr, button_ = nullptr, report_ = nullptr;
  HWND lists_[kQuickListCount] = {};
};

TEST_F(LogShareFault, AQuickReportKeepsTheRowsReadBeforeTheShareWentAndSaysTheNextFileCannotBeOpened) {
  g_on_row = [&](int n) {
    if (n == 10) take_share_away();
  };
  run_quick_report();
  // The open file's next read fails and ends it; the older file cannot be opened.
  const std::vector<uint32_t> kept = times(lists_[kQuickListFileSystem]);
  EXPECT_GE(kept.size(), 10u);
  EXPECT_LT(kept.size(), kNewer);
  EXPECT_EQ(kept, series(kDec3 + kDay, static_cast<uint32_t>(kept.size())));
  std::vector<std::string> shown = boxes();
  ASSERT_EQ(shown.size(), 2u);
  expect_failed_read(shown[0]);
  EXPECT_EQ(shown[1], "ERROR 23 | Error [67] opening file");

  // The share is back: the same button reads both files whole.
  g_on_row = nullptr;
  restore_share();
  support::release_list_rows(lists_[kQuickListFileSystem], true);
  ui::clear_journal();
  run_quick_report();
  std::vector<uint32_t> all = series(kDec3 + kDay, kNewer), older = series(kDec3 + 100, 5);
  all.insert(all.end(), older.begin(), older.end());
  EXPECT_EQ(times(lists_[kQuickListFileSystem]), all);
  EXPECT_EQ(boxes(), std::vector<std::string>{});
}

TEST_F(LogShareFault, FilesPickedFromTheListKeepTheirRowsAndEndWithTheRowThatSaysWhy) {
  HWND files =
      host::add_control(screen_, 50, WC_LISTVIEWA, "", host::ControlSpec{0x60440800, kDescriptorListView, 3, 1});
  LogListTarget target = {files, nullptr};
  DWORD listed = 0;
  ASSERT_EQ(ListLogFiles(&target, "SRV01", kListCurrentLogs, &listed), 0u);
  ASSERT_EQ(listed, 2u);
  for (size_t i = 0; i < 2; ++i) support::set_row_selected(files, i);
  auto view = [&] {
    return entry_point_list_services(files, 0, 0, 0x60440800, 0, 0, host::descriptor_of(files), 0, 0, 0, 0, 0, 0, 0);
  };
  // The share goes while the first file of the list is read, after its third row.
  const bool newer_first = support::list_rows(files)[0].text.find("Newer") != std::string::npos;
  g_on_row = [&](int n) {
    if (n == 3) take_share_away();
  };
  view();
  ASSERT_TRUE(newer_first) << "the list shows the newest file first";
  std::vector<support::ListRow> rows = support::list_rows(report_);
  ASSERT_GE(rows.size(), 11u);
  std::vector<uint32_t> kept = times(report_);
  kept.pop_back();
  EXPECT_LT(kept.size(), kNewer);
  EXPECT_EQ(kept, series(kDec3 + kDay, static_cast<uint32_t>(kept.size())));
  EXPECT_EQ(rows.back().text, "Error [67] opening file");
  EXPECT_EQ(event_time(rows.back().record), 0u);
  std::vector<std::string> shown = boxes();
  ASSERT_EQ(shown.size(), 2u);
  expect_failed_read(shown[0]);
  EXPECT_EQ(shown[1], "Error 23 | Error [67] opening file");

  g_on_row = nullptr;
  restore_share();
  support::release_list_rows(report_, true);
  view();
  EXPECT_EQ(times(report_).size(), kNewer + 5);
  support::release_list_rows(files, true);
}

}  // namespace
