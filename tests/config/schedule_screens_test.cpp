// The schedule and saved-report controls of the report screens as the host drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/schedules.h"
#include "host/control_descriptor.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "win32/paths.h"
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
  HWND check_box(int item, uint32_t id) {
    return host::add_control(screen_, item, "Button", "", host::ControlSpec{id, kDescriptorCheckBox});
  }
  static std::string text_of(HWND control) {
    char text[300] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
  }
  static bool is_checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // One value of SRV01's Reports\<key>, the key made when missing.
  void put(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY root, k;
    ASSERT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(root, (kReports + key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(k);
    RegCloseKey(root);
  }
  void put_number(const std::string& key, const char* name, DWORD value) {
    put(key, name, REG_DWORD, &value, sizeof value);
  }
  static constexpr char kReports[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Reports\\";
  std::vector<std::string> saved(const std::string& schedule) {
    HKEY root;
    EXPECT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(root, kReports + schedule, "", out, true);
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

// The Save button saves what the screen shows: its name, its check box, every run-time row and every report
// of the schedule's list (the selected saved reports added to it once each); a schedule opened under another
// name is renamed; an incomplete screen saves nothing.
TEST_F(ScheduleScreens, SaveWritesTheScreensScheduleToTheCurrentServer) {
  HWND days = list(1100, 0x60440020), times = list(1101, 0x60440022);
  list(1102, 0x60440024);
  HWND reports = list(1103, 0x60440010), chosen = list(1104, 0x60440026);
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
  press(0x60410021, 1104);
  press(0x60410021, 1104);
  EXPECT_EQ(support::list_column(chosen), std::vector<std::string>{"Weekly"});
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

// A schedule selected in the schedule list opens on its screen with its name, its check box, its run times and
// its reports; changed there and saved under a new name it leaves only the new subkey.
TEST_F(ScheduleScreens, ASelectedScheduleOpensOnItsScreenAndIsSavedUnderANewName) {
  const uint32_t words[] = {run_time_word(51, 8, 5), run_time_word(21, 23, 30)};
  put_number("Nightly", "DisableFlag", 1);
  put("Nightly", "RunTimes", REG_BINARY, words, sizeof words);
  put("Nightly", "CReports", REG_MULTI_SZ, "Weekly\0Monthly\0", 16);
  put("Nightly", "LastRun", REG_BINARY, "DCBA", 4);
  put("Nightly", "LastErr", REG_SZ, "Mail refused", 13);
  HWND schedules = list(1105, 0x60440014), run_times = list(1102, 0x60440024), chosen = list(1104, 0x60440026);
  HWND name = field(1200, 0x6048032C, ""), edited = field(1201, 0x60480332, "");
  HWND disable = check_box(1202, 0x60410016);

  EXPECT_EQ(host::send_list_event(library_, schedules), 1u);
  EXPECT_EQ(support::list_column(schedules), std::vector<std::string>{"Nightly"});  // Weekly is a saved report
  host::send_list_event(library_, schedules);  // nothing selected: nothing opens
  EXPECT_EQ(text_of(name), "");
  ASSERT_TRUE(ui::click_row(schedules, 0));
  EXPECT_EQ(host::send_list_event(library_, schedules), 1u);
  EXPECT_EQ(text_of(name), "Nightly");
  EXPECT_EQ(text_of(edited), "Nightly");
  EXPECT_TRUE(is_checked(disable));
  EXPECT_EQ(support::list_column(run_times),
            (std::vector<std::string>{"Mondays at 08:05", "21st of the current month at 23:30"}));
  EXPECT_EQ(support::list_column(chosen), (std::vector<std::string>{"Weekly", "Monthly"}));

  ASSERT_TRUE(ui::click_row(chosen, 1));
  press(0x60410023, 1104);
  SetWindowTextA(name, "Nights");
  press(0x60410015, 0);
  EXPECT_TRUE(ui::journal().empty()) << support::journal_lines().front();
  EXPECT_TRUE(saved("Nightly").empty());
  EXPECT_EQ(saved("Nights"),
            (std::vector<std::string>{"[]", "DisableFlag=4:1", "RunTimes=3:|||3||||", "CReports=7:Weekly||"}));
}

// The definition selected in the definitions list runs as the saved custom report of its name on the current
// server; with none selected the button does nothing.
TEST_F(ScheduleScreens, ARunDefinitionStartsTheRunnerOnTheSavedReportOfItsName) {
  const std::string folder = world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
  std::ofstream(folder + "/VNXWCCR.EXE") << "MZ";
  std::ofstream(folder + "/MERIDAXW_FS_REPORT_DEFINITIONS.INI") << "[Monthly]\r\nREPORT_TYPE=basic\r\n";
  const std::string definition(600, 'd');
  put("Monthly", "Definition", REG_BINARY, definition.data(), 600);
  HWND definitions = list(1106, 0x6034010F);
  HIMAGELIST tiles = ImageList_Create(300, 125, ILC_COLOR32, 1, 1);
  SendMessageA(definitions, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(tiles));
  host::send_list_event(library_, definitions);
  ASSERT_EQ(SendMessageA(definitions, LVM_GETITEMCOUNT, 0, 0), 1);
  press(0x6031010B, 1106);
  EXPECT_TRUE(platform::started_processes().empty());
  ASSERT_TRUE(ui::click_row(definitions, 0));
  press(0x6031010B, 1106);
  std::vector<platform::StartedProcess> started = platform::started_processes();
  ASSERT_EQ(started.size(), 1u);
  const std::string runner = "C:\\Program Files\\Brightmere\\VORNIX\\VNXWCCR.EXE C:\\Users\\auditor\\AppData\\Local\\Temp\\~CR";
  EXPECT_EQ(started[0].command_line.substr(0, runner.size()), runner);
  std::string file;
  platform::map_path(started[0].command_line.substr(started[0].command_line.rfind(' ') + 1).c_str(), &file);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), definition);
  ImageList_Destroy(tiles);
}

// ---- Scheduled graphical activities and graphical report definitions ----------------------------

class GraphicalScreens : public ScheduleScreens {
 protected:
  void SetUp() override {
    ScheduleScreens::SetUp();
    put("Graphs\\Logons by hour", "Graphs", REG_MULTI_SZ, "1800,1,6\0", 10);
    put_number("Graphs\\Weekly charts", "DisableFlag", 0);
    put_number("Graphs\\Weekly charts", "CentralEmail", 1);
    put_number("Graphs\\Weekly charts", "LastXDays", 7);
    const uint32_t word = run_time_word(99, 6, 0);
    put("Graphs\\Weekly charts", "RunTimes", REG_BINARY, &word, 4);
    put("Graphs\\Weekly charts", "Emails", REG_MULTI_SZ, "audit@x.test\0", 14);
    put("Graphs\\Weekly charts", "GReports", REG_MULTI_SZ, "Logons by hour\0", 16);
  }
};

// The graphical schedule screen: a schedule opens with its period, its addresses and its definitions; a new one
// is checked field by field and saved with the period in hours; a deleted definition leaves every schedule.
TEST_F(GraphicalScreens, AScheduleIsOpenedCheckedSavedAndLosesADeletedDefinition) {
  HWND run_times = list(1102, 0x60440024), chosen = list(1104, 0x60440026), emails = list(1112, 0x60440027);
  HWND schedules = list(1110, 0x6044092E), definitions = list(1111, 0x6044092A);
  HWND name = field(1210, 0x60480928, ""), edited = field(1211, 0x60480929, ""), period = field(1212, 0x6048092C, "");
  HWND address = field(1213, 0x60480924, "");
  HWND central = check_box(1214, 0x60410929), hours = check_box(1215, 0x6041092A);
  check_box(1202, 0x60410016);
  for (HWND l : {schedules, definitions}) host::send_list_event(library_, l);
  EXPECT_EQ(support::list_column(schedules), std::vector<std::string>{"Weekly charts"});
  EXPECT_EQ(support::list_column(definitions), std::vector<std::string>{"Logons by hour"});
  ASSERT_TRUE(ui::click_row(schedules, 0));
  host::send_list_event(library_, schedules);
  EXPECT_EQ(text_of(name) + "|" + text_of(edited) + "|" + text_of(period), "Weekly charts|Weekly charts|7");
  EXPECT_TRUE(is_checked(central));
  EXPECT_FALSE(is_checked(hours));
  EXPECT_EQ(support::list_column(run_times), std::vector<std::string>{"Everyday at 06:00"});
  EXPECT_EQ(support::list_column(chosen), std::vector<std::string>{"Logons by hour"});
  EXPECT_EQ(support::list_column(emails), std::vector<std::string>{"audit@x.test"});

  // A new schedule from what the screen shows: without a period it is refused.
  SetWindowTextA(name, "Hourly charts");
  SetWindowTextA(edited, "");
  SetWindowTextA(period, "");
  SendMessageA(hours, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(central, BM_SETCHECK, BST_UNCHECKED, 0);
  press(0x6041092D, 0);
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to create scheduled activity profile."
                                     "\n\nTime value must entered for Report Time Period (either number of day or "
                                     "number of hours)."});
  EXPECT_TRUE(saved("Graphs\\Hourly charts").empty());
  SetWindowTextA(period, "12");
  SetWindowTextA(address, "ops@x.test");
  press(0x60410021, 1112);
  EXPECT_EQ(text_of(address), "");
  ASSERT_TRUE(ui::click_row(definitions, 0));
  press(0x60410021, 1104);  // listed already: once only
  press(0x6041092D, 0);
  EXPECT_TRUE(ui::journal().empty()) << support::journal_lines().front();
  // Everyday at 06:00 is the word 0x63000600: bytes 00 06 00 63.
  EXPECT_EQ(saved("Graphs\\Hourly charts"),
            (std::vector<std::string>{"[]", "DisableFlag=4:0", "CentralEmail=4:0", "LastXHours=4:12", "RunTimes=3:|||c",
                                      "Emails=7:audit@x.test|ops@x.test||", "GReports=7:Logons by hour||"}));
  EXPECT_EQ(saved("Graphs\\Weekly charts").size(), 7u);

  ASSERT_TRUE(ui::click_row(definitions, 0));
  press(0x60410028, 1111);
  EXPECT_TRUE(saved("Graphs\\Logons by hour").empty());
  EXPECT_EQ(support::list_column(definitions), std::vector<std::string>{});
  for (const char* schedule : {"Graphs\\Hourly charts", "Graphs\\Weekly charts"})
    EXPECT_EQ(saved(schedule).back(), "GReports=7:|") << schedule;
}

// The charts added to the graph screen's chart tree are saved as a named definition and as the server's default
// one, "group,selection,kind" each; an empty tree or a missing name saves nothing.
TEST_F(GraphicalScreens, AChartTreeIsSavedAsANamedAndAsTheDefaultDefinition) {
  HWND graph_tree = host::add_control(screen_, 1300, WC_TREEVIEWA, "", host::ControlSpec{0x60440916, kDescriptorList});
  // The chooser's rows keep the kind number, not a record: the host does not hand them back.
  HWND kinds = host::add_control(screen_, 1301, WC_LISTVIEWA, "", host::ControlSpec{0x60440917, kDescriptorListView});
  HWND charts = host::add_control(screen_, 1302, WC_TREEVIEWA, "", host::ControlSpec{0, kDescriptorList});
  HWND name = field(1303, 0x60480921, "");
  host::send_list_event(library_, kinds);
  const std::vector<std::string> before = saved("Graphs");

  press(0x60410925, 1302);
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"Graphical Report Save Problem | No reports included, unable to create report that "
                                     "has a blank definition"});
  // The user picks two charts in the graph tree and the kind chooser and adds each to the report.
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>("Logons");
  insert.item.lParam = 1800;
  insert.hParent = reinterpret_cast<HTREEITEM>(SendMessageA(graph_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  for (auto [selection, kind] : {std::pair<LPARAM, int>{1, 6}, {2, 0}}) {
    insert.item.lParam = selection;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(graph_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    SendMessageA(graph_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    host::send_list_event(library_, graph_tree);
    ASSERT_TRUE(ui::click_row(kinds, kind));
    host::send_list_event(library_, kinds);
    press(0x60410919, 1302);
  }
  ASSERT_EQ(SendMessageA(charts, TVM_GETCOUNT, 0, 0), 2);
  press(0x60410924, 1302);
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL | To continue, please enter a name for the "
                                     "Graphical Report Definition."});
  EXPECT_EQ(saved("Graphs"), before);

  SetWindowTextA(name, "Logon charts");
  press(0x60410924, 1302);
  press(0x60410925, 1302);
  EXPECT_TRUE(ui::journal().empty()) << support::journal_lines().front();
  std::vector<std::string> graphs = saved("Graphs");
  ASSERT_GE(graphs.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{graphs[1], graphs[2]}),
            (std::vector<std::string>{"Definition=3:1800,1,6|1800,2,0||", "=1:GraphicalReports"}));
  EXPECT_EQ(saved("Graphs\\Logon charts"),
            (std::vector<std::string>{"[]", "DatesType=3:||||||||||||", "Graphs=7:1800,1,6|1800,2,0||"}));
}

}  // namespace
