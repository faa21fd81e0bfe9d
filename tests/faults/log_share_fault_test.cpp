// A log share taken away while its files are read, through the exports as the
// host drives them: the quick report's button and the log file list's "View
// Log File Data". The rows read before stay, the next file's open failure is
// said (a box for the quick report, a last row for the report list), and with
// the share back the same commands read everything.
#include <gtest/gtest.h>

#include <utime.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "reports/log_files.h"
#include "sim/logwriter.h"
#include "tests/support/quick_report_fixture.h"

namespace {

using support::kDay;
using support::kDec3;
using support::kOld;

constexpr uint32_t kNewer = 300;

class LogShareFault : public support::QuickReportTest {
 protected:
  void SetUp() override {
    QuickReportTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(start({{"SRV01", nullptr}}));
    add_progress();

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
    restore_share();
    QuickReportTest::TearDown();
    qvmr_unregister_module(g_library.instance);
  }

  void write_log(const std::string& name, uint32_t first, uint32_t count) {
    support::LogWriter log;
    for (uint32_t i = 1; i <= count; ++i) {
      FileLogRecord r = support::sample_file_record(0xFF330001, i);
      r.event_time = first + i;
      log.add(r);
    }
    std::string path = folder_ + "/" + name;
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
};

TEST_F(LogShareFault, AQuickReportKeepsTheRowsReadBeforeTheShareWentAndSaysTheNextFileCannotBeOpened) {
  on_row_ = [&](int n) {
    if (n == 10) take_share_away();
  };
  run_quick();
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
  on_row_ = nullptr;
  restore_share();
  support::release_list_rows(lists_[kQuickListFileSystem], true);
  ui::clear_journal();
  run_quick();
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
  on_row_ = [&](int n) {
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

  on_row_ = nullptr;
  restore_share();
  support::release_list_rows(report_, true);
  view();
  EXPECT_EQ(times(report_).size(), kNewer + 5);
  support::release_list_rows(files, true);
}

}  // namespace
