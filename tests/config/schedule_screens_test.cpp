// The schedule and saved-report controls of the report screens as the host drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "tests/support/registry_dump.h"
#include "win32/processes.h"

namespace {

constexpr uint16_t kScreenKey = 40;

class ScheduleScreens : public support::LibraryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports\\Weekly]\r\n"
                             "\"Definition\"=hex:01,02,03\r\n\r\n");
    const std::string folder = world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/vnxwdes.exe") << "MZ";
    world_.set_console_user("auditor");
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Schedule");
    start();
    servers_ = support::add_server_list(library_, screen_, {{"SRV01", record_}});
    ASSERT_TRUE(ui::click_row(servers_, 0));
    platform::clear_started_processes();
  }
  void TearDown() override {
    for (HWND l : lists_) support::release_list_rows(l, true, alloc(), release());
    LibraryTest::TearDown();
  }
  support::AllocRecordFn alloc() {
    return reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
  }
  support::DeleteRecordFn release() {
    return reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
  }

  HWND list(int item, uint32_t id) {
    lists_.push_back(host::add_control(screen_, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }
  // Presses a button whose companion is the control at this dialog item.
  void press(uint32_t id, int companion_item) {
    HWND button = host::add_control(screen_, 3000 + static_cast<int>(id & 0xFF), "Button", "",
                                    host::ControlSpec{id, kDescriptorPushButton, kScreenKey,
                                                      static_cast<uint16_t>(companion_item)});
    SendMessageA(button, BM_CLICK, 0, 0);
  }

  HWND field(int item, uint32_t id, const char* text) {
    return host::add_control(screen_, item, "Edit", text, host::ControlSpec{id, kDescriptorEditField});
  }
  std::vector<std::string> saved(const std::string& schedule) {
    HKEY root;
    EXPECT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(root, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports\\" + schedule, "", out, true);
    RegCloseKey(root);
    return out;
  }

  uint8_t record_[kListItemBytes] = {};
  HWND screen_ = nullptr, servers_ = nullptr;
  std::vector<HWND> lists_;
};

TEST_F(ScheduleScreens, RunTimesAreChosenFromTheDayAndTimeListsAndSavedReportsOpenInTheDesigner) {
  HWND days = list(1100, 0x60440020), times = list(1101, 0x60440022), run_times = list(1102, 0x60440024);
  EXPECT_EQ(host::send_list_event(library_, days), 1u);
  EXPECT_EQ(host::send_list_event(library_, times), 1u);
  std::vector<std::string> day_rows = support::list_column(days), time_rows = support::list_column(times);
  ASSERT_EQ(day_rows.size(), 39u);
  EXPECT_EQ((std::vector<std::string>{day_rows[0], day_rows[1], day_rows[7], day_rows[8], day_rows[29], day_rows[38]}),
            (std::vector<std::string>{"Everyday", "Sunday", "Saturday", "1st", "22nd", "31st"}));
  ASSERT_EQ(time_rows.size(), 96u);
  EXPECT_EQ((std::vector<std::string>{time_rows[0], time_rows[33], time_rows[95]}),
            (std::vector<std::string>{"00:00", "08:15", "23:45"}));

  // Without a day and a time chosen nothing is added and nothing is said.
  press(0x60410021, 1102);
  ASSERT_TRUE(ui::click_row(days, 2));
  press(0x60410021, 1102);
  EXPECT_TRUE(support::list_column(run_times).empty());
  EXPECT_TRUE(ui::journal().empty());
  ASSERT_TRUE(ui::click_row(times, 33));
  press(0x60410021, 1102);
  press(0x60410021, 1102);  // the same run time once only
  ASSERT_TRUE(ui::click_row(days, 29));
  press(0x60410021, 1102);
  EXPECT_EQ(support::list_column(run_times),
            (std::vector<std::string>{"Mondays at 08:15", "22nd of the current month at 08:15"}));
  ASSERT_TRUE(ui::click_row(run_times, 0));
  press(0x60410023, 1102);
  EXPECT_EQ(support::list_column(run_times), std::vector<std::string>{"22nd of the current month at 08:15"});

  // The current server's saved custom reports; the selected one opens in the designer.
  HWND reports = list(1103, 0x60440010);
  EXPECT_EQ(host::send_list_event(library_, reports), 1u);
  EXPECT_EQ(support::list_column(reports), std::vector<std::string>{"Weekly"});
  ASSERT_TRUE(ui::click_row(reports, 0));
  press(0x60410018, 1103);
  std::vector<platform::StartedProcess> started = platform::started_processes();
  ASSERT_EQ(started.size(), 1u);
  const std::string prefix = "vnxwdes C:\\Users\\auditor\\AppData\\Local\\Temp\\~CC";
  EXPECT_EQ(started[0].command_line.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(ui::journal().empty());
}

// The Save button saves what the screen shows: its name, its check box, every run-time row and the selected
// saved reports; a schedule opened under another name is renamed; an incomplete screen saves nothing.
TEST_F(ScheduleScreens, SaveWritesTheScreensScheduleToTheCurrentServer) {
  HWND days = list(1100, 0x60440020), times = list(1101, 0x60440022);
  list(1102, 0x60440024);
  HWND reports = list(1103, 0x60440010);
  host::send_list_event(library_, days);
  host::send_list_event(library_, times);
  host::send_list_event(library_, reports);
  HWND name = field(1200, 0x6048032C, "Mornings");
  field(1201, 0x60480332, "");
  HWND disable = host::add_control(screen_, 1202, "Button", "", host::ControlSpec{0x60410016, kDescriptorCheckBox});

  press(0x60410015, 0);  // no run time and no report yet
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to create scheduled activity profile."
                                     "\n\nThe following must be defined:\n\n1. Activity Profile Name\n\n2. At least "
                                     "one scheduled time\n\n3. At least one custom report"});
  EXPECT_TRUE(saved("Mornings").empty());

  ASSERT_TRUE(ui::click_row(days, 0));
  ASSERT_TRUE(ui::click_row(times, 33));
  press(0x60410021, 1102);
  ASSERT_TRUE(ui::click_row(reports, 0));
  SendMessageA(disable, BM_SETCHECK, BST_CHECKED, 0);
  press(0x60410015, 0);
  // Everyday at 08:15 is the word 0x63000815: bytes 15 08 00 63.
  EXPECT_EQ(saved("Mornings"), (std::vector<std::string>{"[]", "DisableFlag=4:1", "RunTimes=3:|||c",
                                                         "CReports=7:Weekly||"}));

  // Opened on "Mornings" and saved as "Evenings": the old name goes.
  SetWindowTextA(name, "Evenings");
  SetWindowTextA(GetDlgItem(screen_, 1201), "Mornings");
  SendMessageA(disable, BM_SETCHECK, BST_UNCHECKED, 0);
  press(0x60410015, 0);
  EXPECT_TRUE(saved("Mornings").empty());
  EXPECT_EQ(saved("Evenings"), (std::vector<std::string>{"[]", "DisableFlag=4:0", "RunTimes=3:|||c",
                                                         "CReports=7:Weekly||"}));
  EXPECT_TRUE(ui::journal().empty());
}

// The buttons beside the saved custom reports run the selected one and delete it, the deletion taking
// the report out of the schedules that ran it; with no report selected they do nothing.
TEST_F(ScheduleScreens, SelectedSavedReportIsRunAndDeleted) {
  const std::string folder = world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
  std::ofstream(folder + "/VNXWCCR.EXE") << "MZ";
  HKEY root, key;
  ASSERT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
  const std::string reports_key = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports\\";
  ASSERT_EQ(RegCreateKeyExA(root, (reports_key + "Monthly").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const std::string definition(600, 'd');
  RegSetValueExA(key, "Definition", 0, REG_BINARY, reinterpret_cast<const BYTE*>(definition.data()), 600);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(root, (reports_key + "Nightly").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const char names[] = "Weekly\0Monthly\0";
  const DWORD disabled = 0;
  RegSetValueExA(key, "DisableFlag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled), sizeof disabled);
  RegSetValueExA(key, "CReports", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(names), sizeof names);
  RegCloseKey(key);
  RegCloseKey(root);

  HWND reports = list(1103, 0x60440010);
  host::send_list_event(library_, reports);
  ASSERT_EQ(support::list_column(reports), (std::vector<std::string>{"Monthly", "Weekly"}));
  press(0x60410027, 1103);
  press(0x60410028, 1103);
  press(0x60410018, 1103);
  EXPECT_EQ(support::list_column(reports), (std::vector<std::string>{"Monthly", "Weekly"}));
  ASSERT_TRUE(ui::click_row(reports, 1));
  press(0x60410027, 1103);  // Weekly's three bytes are no definition to run
  EXPECT_EQ(support::journal_lines(" | ", true),
            (std::vector<std::string>{
                "VORNIX message from QVMR0007.DLL | Selected Custom Report has nothing defined, unable to continue."}));
  EXPECT_TRUE(platform::started_processes().empty());

  ASSERT_TRUE(ui::click_row(reports, 0));
  press(0x60410027, 1103);
  std::vector<platform::StartedProcess> started = platform::started_processes();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_NE(started[0].command_line.find("VNXWCCR.EXE C:\\Users\\auditor\\AppData\\Local\\Temp\\~CR"),
            std::string::npos)
      << started[0].command_line;

  // Weekly is deleted, asking nothing, and goes from the schedule that ran it.
  ASSERT_TRUE(ui::click_row(reports, 1));
  ui::clear_journal();
  press(0x60410028, 1103);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_TRUE(saved("Weekly").empty());
  EXPECT_EQ(support::list_column(reports), std::vector<std::string>{"Monthly"});
  EXPECT_EQ(saved("Nightly"), (std::vector<std::string>{"[]", "DisableFlag=4:0", "CReports=7:Monthly||"}));
}

}  // namespace
