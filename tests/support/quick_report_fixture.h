// Quick reports on the library's code linked into the test, started with the quick-report button as the
// host presses it, over log files the log writer puts into SRV01's log share. The host's insert-report-row
// service is wrapped so that a test can act while rows arrive.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/host_services.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"
#include "reports/report_items.h"
#include "sim/world_builder.h"
#include "tests/support/list_rows.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace support {

constexpr uint32_t kDay = 86400;
constexpr uint32_t kDec3 = 1796335200;  // 2026-12-03 22:00 UTC: the nominal time of a December 3 log
constexpr uint32_t kOld = 1577836800;   // 2020-01-01, a last-write time outside every window

class QuickReportTest : public ::testing::Test {
 protected:
  // SRV01 with its log share, in UTC; the test adds to the world after this, then starts.
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
    folder_ = share_ + "/vnxlogs";
    std::filesystem::create_directories(folder_);
  }

  // Opens the world an hour after December 5's log, starts the library's code with the insert-row
  // service watched, and makes the servers screen with these rows and the quick report screen with its
  // button and lists; add_progress() completes it.
  void start(std::initializer_list<NamedRow> servers) {
    world_.set_clock_start(kDec3 + 2 * kDay + 3600);
    world_.open();
    table_ = host::make_service_table();
    insert_ = reinterpret_cast<HostInsertReportRowFn>(table_[kHostInsertItem]);
    table_[kHostInsertItem] = reinterpret_cast<uintptr_t>(&insert_and_watch);
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
    g_library.quiet_mode = 0;
    g_library.search_cancel = 0;
    g_report_run = ReportRunState{};
    std::memset(&g_quick_report, 0, sizeof g_quick_report);
    on_row_ = nullptr;
    rows_inserted_ = 0;

    HWND servers_screen = host::create_screen(2, "Servers");
    servers_ = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
    insert_list_rows(servers_, servers);
    screen_ = host::create_screen(3, "Quick Report");
    button_ = host::add_control(screen_, 1900, "Button", "Run Quick Report Now",
                                host::ControlSpec{kQuickReportButton, kDescriptorPushButton, 2, 200});
    for (int i = 0; i < kQuickListCount; ++i)
      lists_[i] = host::add_control(screen_, kQuickListControls[i], WC_LISTVIEWA, "", host::ControlSpec{});
  }

  // The progress bars, the status line and the list of hand-picked files' rows.
  void add_progress() {
    bars_ = host::add_progress_bars(screen_, 1910, kQuickProgressControl,
                                    {std::begin(kQuickBarNames), std::end(kQuickBarNames)})
                .bars;
    status_ = host::add_control(screen_, kQuickStatusItem, "Static", "", host::ControlSpec{});
    report_ = host::add_control(screen_, 1, WC_LISTVIEWA, "", host::ControlSpec{});
    ui::clear_journal();
  }

  void TearDown() override {
    on_row_ = nullptr;
    for (HWND list : lists_) release_list_rows(list, true);
    release_list_rows(report_, true);
    free_quick_report_files();
    release_registry_connections();
  }

  // The event time of the record a report row shows; 0 for a row without one.
  static uint32_t event_time(const BYTE* record) {
    void* item = nullptr;
    LogFamily family = row_item(record, &item);
    return item ? row_item_event_time(family, item) : 0;
  }
  static std::vector<uint32_t> times(HWND list) {
    std::vector<uint32_t> out;
    for (const ListRow& row : list_rows(list)) out.push_back(event_time(row.record));
    return out;
  }
  // from + 1, ..., from + n
  static std::vector<uint32_t> series(uint32_t from, uint32_t n) {
    std::vector<uint32_t> out;
    for (uint32_t i = 1; i <= n; ++i) out.push_back(from + i);
    return out;
  }

  DWORD press() { return entry_point_button_services(screen_, 0, host::descriptor_of(button_)); }

  // Presses the quick-report button for a server and waits for the worker.
  void run_quick(int server_row = 0) {
    ui::click_row(servers_, server_row);
    EXPECT_EQ(press(), 1u);
    if (g_quick_run.worker) WaitForSingleObject(g_quick_run.worker, INFINITE);
    EXPECT_EQ(g_quick_report.state, kQuickReportIdle);
  }

  static inline HostInsertReportRowFn insert_;  // the substitute host's service
  static inline std::function<void(int)> on_row_;  // called after each inserted row with the row count
  static inline int rows_inserted_ = 0;

  WorldBuilder world_;
  host::ServiceTable table_{};
  std::string share_, folder_;  // SRV01's log share, and the folder of its log files in it
  HWND servers_ = nullptr, screen_ = nullptr, button_ = nullptr, status_ = nullptr, report_ = nullptr;
  std::vector<HWND> bars_;  // BAR1 to BAR4 inside the progress control
  HWND lists_[kQuickListCount] = {};

 private:
  static uintptr_t WINAPI insert_and_watch(HWND window, uintptr_t parent, uintptr_t position, const char* text,
                                           int image, int one, uintptr_t a, uintptr_t b, void* context, DWORD* flag) {
    uintptr_t result = insert_(window, parent, position, text, image, one, a, b, context, flag);
    ++rows_inserted_;
    if (on_row_) on_row_(rows_inserted_);
    return result;
  }
};

}  // namespace support
