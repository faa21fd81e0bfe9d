// Scheduled activity profiles, saved reports and their runs, on a server's
// registry and the console machine, run on the library's code linked into the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "config/registry.h"
#include "config/schedules.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/processes.h"
#include "win32/ui_script.h"

namespace {

const char kProductSection[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

class Schedules : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM",
                             std::string(kProductSection) + "]\r\n\r\n" + kProductSection + "\\Reports]\r\n\r\n");
    world_.add_machine("BARE01", "127.0.0.3");
    world_.add_machine("DOWN01", "127.0.0.4");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.set_console_user("auditor");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.quiet_mode = 0;
    g_library.base_image_index = 0;
    screen_ = host::create_screen(30, "Schedules");
    platform::clear_started_processes();
  }
  void TearDown() override {
    for (HWND l : lists_) support::release_list_rows(l, true);
    release_registry_connections();
  }

  HKEY key(const std::string& path) {
    HKEY root, k = nullptr;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
    return k;
  }
  void put(const std::string& path, const char* name, DWORD type, const std::string& data) {
    HKEY k = key(path);
    RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(k);
  }
  // A saved custom report of that many definition bytes (every byte value in turn, zeros among them).
  std::string save_report(const char* name, size_t bytes) {
    std::string definition;
    for (size_t i = 0; i < bytes; ++i) definition += static_cast<char>(i * 7);
    put(std::string(kReportsKey) + "\\" + name, "Definition", REG_BINARY, definition);
    return definition;
  }

  std::vector<std::string> tree(const std::string& path) {
    HKEY root;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, true);
    return out;
  }

  HWND list(uint32_t id = 0x60440010) {
    lists_.push_back(host::add_control(screen_, 2000 + static_cast<int>(lists_.size()), WC_LISTVIEWA, "",
                                       host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }

  std::vector<std::string> shown() { return support::journal_lines(" | ", true); }

  // A schedule dialog's content.
  struct Form {
    std::string name, previous;
    DWORD disabled = 0;
    std::vector<uint32_t> times;
    std::vector<std::string> reports, emails;
    DWORD central = 0;
    bool hours = false;
    std::string period;
    std::vector<const char*> report_ptrs, email_ptrs;
    const ScheduleForm& form() {
      report_ptrs.clear();
      email_ptrs.clear();
      for (const std::string& r : reports) report_ptrs.push_back(r.c_str());
      for (const std::string& e : emails) email_ptrs.push_back(e.c_str());
      f = {name.c_str(), previous.c_str(), disabled, times.data(), times.size(), report_ptrs.data(),
           report_ptrs.size(), email_ptrs.data(), email_ptrs.size(), central, hours, period.c_str()};
      return f;
    }
    ScheduleForm f{};
  };

  static std::string hex_words(std::initializer_list<uint32_t> words) {
    std::string out;
    for (uint32_t w : words)
      for (int b = 0; b < 4; ++b) out += static_cast<char>(w >> (8 * b));
    return out;
  }
  // Registry dump text of binary data: printable bytes as they are, others '|'.
  static std::string dumped(const std::string& data) {
    std::string out;
    for (unsigned char c : data) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '|';
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr;
  std::vector<HWND> lists_;
};

TEST_F(Schedules, RunTimeWordsReadAsTheListsShowThem) {
  const std::vector<std::pair<uint32_t, std::string>> words = {
      {0x63000830, "Everyday at 08:48"},
      {0x16001700, "22nd of the current month at 23:00"},
      {run_time_word(1, 0, 0), "1st of the current month at 00:00"},
      {run_time_word(2, 1, 5), "2nd of the current month at 01:05"},
      {run_time_word(3, 9, 59), "3rd of the current month at 09:59"},
      {run_time_word(4, 12, 0), "4th of the current month at 12:00"},
      {run_time_word(11, 0, 0), "11th of the current month at 00:00"},
      {run_time_word(12, 0, 0), "12th of the current month at 00:00"},
      {run_time_word(13, 0, 0), "13th of the current month at 00:00"},
      {run_time_word(21, 23, 30), "21st of the current month at 23:30"},
      {run_time_word(23, 0, 0), "23rd of the current month at 00:00"},
      {run_time_word(31, 0, 0), "31st of the current month at 00:00"},
      {run_time_word(50, 6, 0), "Sundays at 06:00"},
      {run_time_word(51, 8, 5), "Mondays at 08:05"},
      {run_time_word(52, 0, 0), "Tuesdays at 00:00"},
      {run_time_word(53, 0, 0), "Wednesdays at 00:00"},
      {run_time_word(54, 0, 0), "Thursdays at 00:00"},
      {run_time_word(55, 0, 0), "Fridays at 00:00"},
      {run_time_word(56, 0, 0), "Saturdays at 00:00"},
      {run_time_word(57, 7, 0), " at 07:00"},
  };
  for (const auto& [word, text] : words) {
    char out[80];
    EXPECT_EQ(RunTimeText(word, out, sizeof out), word != run_time_word(57, 7, 0)) << text;
    EXPECT_EQ(std::string(out), text);
    EXPECT_EQ(is_run_time_word(word), word != run_time_word(57, 7, 0)) << text;
  }
  for (uint32_t word : {run_time_word(0, 8, 0), run_time_word(32, 8, 0), run_time_word(49, 8, 0),
                        run_time_word(98, 8, 0), run_time_word(99, 24, 0), run_time_word(99, 8, 60), 0x63010800u})
    EXPECT_FALSE(is_run_time_word(word)) << std::hex << word;
}

TEST_F(Schedules, ASavedScheduleIsListedReplacedWithItsRunHistoryRenamedAndRefusedUnderAReportsName) {
  save_report("Weekly", 600);
  save_report("Daily", 600);
  Form f;
  f.name = "Mornings";
  f.times = {run_time_word(51, 8, 5), run_time_word(kEveryDay, 6, 0)};
  f.reports = {"Weekly", "", "Daily"};
  ASSERT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 1u);
  const std::string path = std::string(kReportsKey) + "\\Mornings";
  EXPECT_EQ(tree(path), (std::vector<std::string>{
                            "[]", "DisableFlag=4:0",
                            "RunTimes=3:" + dumped(hex_words({run_time_word(51, 8, 5), run_time_word(kEveryDay, 6, 0)})),
                            "CReports=7:Weekly|Daily||"}));
  EXPECT_TRUE(shown().empty());

  // The agent's run history survives a replacement; a new dialog asks first, and Cancel keeps all.
  put(path, "LastRun", REG_DWORD, hex_words({1796551200}));
  put(path, "LastRunST", REG_BINARY, std::string(16, '\x07'));
  put(path, "LastErr", REG_SZ, std::string("NO Destination Emails configured, aborting") + '\0');
  const std::vector<std::string> before = tree(path);
  f.disabled = 1;
  f.times = {run_time_word(22, 23, 0)};
  f.reports = {"Daily"};
  ui::script({"Replace Scheduled Activity Profile?", IDCANCEL, "", {}});
  EXPECT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 0u);
  EXPECT_EQ(tree(path), before);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "Replace Scheduled Activity Profile? | A Scheduled Activity Profile with the same name already "
                         "exists.\n\nWould you like to replace this exising profile?  Click OK to replace."});
  ui::script({"Replace Scheduled Activity Profile?", IDOK, "", {}});
  ASSERT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 1u);
  const std::vector<std::string> replaced = {
      "[]", "DisableFlag=4:1", "RunTimes=3:" + dumped(hex_words({run_time_word(22, 23, 0)})),
      "LastRun=3:" + dumped(hex_words({1796551200})), "LastRunST=3:" + std::string(16, '|'),
      "LastErr=1:NO Destination Emails configured, aborting|", "CReports=7:Daily||"};
  EXPECT_EQ(tree(path), replaced);
  EXPECT_EQ(shown().size(), 1u);

  // Listing: schedules with their state's icon and run history; saved reports apart from them.
  HWND schedules = list();
  EXPECT_EQ(ListSchedules("SRV01", schedules, ReportListKind::kSchedules), 1u);
  std::vector<support::ListRow> rows = support::list_rows(schedules);
  ASSERT_EQ(rows.size(), 1u);
  ScheduleRow row;
  const char* last_error = nullptr;
  ASSERT_TRUE(schedule_row(rows[0].record, &row, &last_error));
  EXPECT_EQ((std::vector<std::string>{rows[0].text, std::to_string(rows[0].image), std::to_string(row.last_run),
                                      std::to_string(row.last_run_st[15]), last_error, row.server}),
            (std::vector<std::string>{"Mornings", "21", "1796551200", "7",
                                      "NO Destination Emails configured, aborting", "SRV01"}));
  HWND reports = list();
  EXPECT_EQ(ListSchedules("SRV01", reports, ReportListKind::kSavedReports), 2u);
  // The registry lists subkeys by name.
  EXPECT_EQ(support::list_column(reports), (std::vector<std::string>{"Daily", "Weekly"}));
  HWND times = list(), names = list();
  EXPECT_EQ(ListScheduleDetails("SRV01", "Mornings", kScheduleRunTimes, times, false), 1u);
  EXPECT_EQ(ListScheduleDetails("SRV01", "Mornings", kScheduleReports, names, false), 1u);
  EXPECT_EQ(ListScheduleDetails("SRV01", "Mornings", kScheduleReports, names, false), 0u) << "listed already";
  EXPECT_EQ(support::list_column(times), std::vector<std::string>{"22nd of the current month at 23:00"});
  uint32_t word = 0;
  EXPECT_TRUE(run_time_row(support::list_rows(times)[0].record, &word));
  EXPECT_EQ(word, run_time_word(22, 23, 0));

  // Editing the schedule under a new name leaves only the new subkey; a report's name is refused.
  f.previous = "mornings";
  f.name = "Early";
  ASSERT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 1u);
  EXPECT_TRUE(tree(path).empty());
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\Early").size(), 4u) << "a new name has no history to keep";
  EXPECT_TRUE(shown().empty()) << "editing asks nothing";
  f.previous = "";
  f.name = "weekly";
  EXPECT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "VORNIX message from QVMR0007.DLL | A Custom Report with the same name exists - unable to "
                         "create / update Scheduled Activity Profile with the same name"});
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\Weekly").size(), 2u);

  // A write failing part-way (here the third value) ends the save with its message and leaves what was
  // written before it.
  release_registry_connections();
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "3");
  world_.open();
  f.name = f.previous = "Early";
  EXPECT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to create / update scheduled "
                                              "activity profile - error S33"});
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\Early"),
            (std::vector<std::string>{"[]", "DisableFlag=4:1", "RunTimes=3:" + dumped(hex_words({run_time_word(22, 23, 0)}))}));
}

TEST_F(Schedules, TheDialogsChecksComeInOrderAndListsAreCutAt3700Bytes) {
  Form f;
  EXPECT_EQ(SaveSchedule(nullptr, "SRV01", f.form()), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "VORNIX message from QVMR0007.DLL | Unable to create scheduled activity profile.\n\nThe "
                         "following must be defined:\n\n1. Activity Profile Name\n\n2. At least one scheduled time\n\n3. "
                         "At least one custom report"});
  const std::string head = "VORNIX message from QVMR0007.DLL | Unable to create scheduled activity profile.\n\n";
  const std::vector<std::string> steps = {
      "The Scheduled Activity Profile Name is required.", "At least one Scheduled Time to Run is required.",
      "At least one Graphical Report Definition must be included.",
      "At least one email address must be included or the checkbox to use emails defined on the server "
      "configuration must be checked.",
      "Time value must entered for Report Time Period (either number of day or number of hours)."};
  for (size_t step = 0; step < steps.size(); ++step) {
    Form g;
    if (step > 0) g.name = "Charts";
    if (step > 1) g.times = {run_time_word(kEveryDay, 7, 0)};
    if (step > 2) g.reports = {"Logons by hour"};
    if (step > 3) g.central = 1;
    g.period = "days";  // no number
    EXPECT_EQ(SaveGraphicalSchedule(nullptr, "SRV01", g.form()), 0u);
    EXPECT_EQ(shown(), std::vector<std::string>{head + steps[step]});
  }
  EXPECT_TRUE(tree(kGraphsKey).empty()) << "nothing saved, nothing made";

  // Names filling 3700 bytes exactly (each with its terminator, and the list's) are all kept;
  // one byte more and the last name is left out with the warning.
  Form c;
  c.name = "Many";
  c.times = {run_time_word(50, 1, 0)};
  for (int i = 0; i < 36; ++i) c.reports.push_back(std::string(99, static_cast<char>('a' + i % 26)));  // 3600 bytes
  c.reports.push_back(std::string(98, 'z'));                                                            // 99 more
  ASSERT_EQ(SaveSchedule(nullptr, "SRV01", c.form()), 1u);
  EXPECT_TRUE(shown().empty());
  HWND names = list();
  EXPECT_EQ(ListScheduleDetails("SRV01", "Many", kScheduleReports, names, false), 27u) << "26 letters, then z";
  c.reports.back() += "z";
  c.previous = "Many";
  ASSERT_EQ(SaveSchedule(nullptr, "SRV01", c.form()), 1u);
  EXPECT_EQ(shown(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to save all Custom Reports "
                                              "selected - Please report code C24 to support."});
  HKEY many = key(std::string(kReportsKey) + "\\Many");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(many, "CReports", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(many);
  EXPECT_EQ(size, 3601u) << "36 names of 100 bytes and the list's terminator";

  // The graphical schedule writes its values in its order and cuts e-mails and definitions too.
  Form g;
  g.name = "Charts";
  g.times = {run_time_word(kEveryDay, 7, 0)};
  g.reports = {"Logons by hour"};
  g.emails = {"ops@brightmere.com", std::string(3700, 'm')};
  g.hours = true;
  g.period = "12";
  ASSERT_EQ(SaveGraphicalSchedule(nullptr, "SRV01", g.form()), 1u);
  EXPECT_EQ(shown(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unable to save all Emails entered - "
                                              "Please report code G25 to support."});
  EXPECT_EQ(tree(std::string(kGraphsKey) + "\\Charts"),
            (std::vector<std::string>{"[]", "DisableFlag=4:0", "CentralEmail=4:0", "LastXHours=4:12",
                                      "RunTimes=3:" + dumped(hex_words({run_time_word(kEveryDay, 7, 0)})),
                                      "Emails=7:ops@brightmere.com||", "GReports=7:Logons by hour||"}));
}

TEST_F(Schedules, DeletingAReportTakesItsNameOutOfEverySchedule) {
  for (const char* r : {"A", "B", "C"}) save_report(r, 600);
  put(std::string(kReportsKey) + "\\S1", "DisableFlag", REG_DWORD, hex_words({0}));
  put(std::string(kReportsKey) + "\\S1", "CReports", REG_MULTI_SZ, std::string("A\0b\0C\0\0", 7));
  put(std::string(kReportsKey) + "\\S2", "DisableFlag", REG_DWORD, hex_words({1}));
  put(std::string(kReportsKey) + "\\S2", "CReports", REG_MULTI_SZ, std::string("c\0A\0\0", 5));
  put(std::string(kReportsKey) + "\\NotASchedule", "CReports", REG_MULTI_SZ, std::string("B\0\0", 3));
  EXPECT_EQ(DeleteReport("graphs", "SRV01"), 0u);
  EXPECT_EQ(DeleteReport("B", "SRV01"), 1u);
  EXPECT_TRUE(tree(std::string(kReportsKey) + "\\B").empty());
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\S1").back(), "CReports=7:A|C||");
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\NotASchedule").back(), "CReports=7:B||");
  EXPECT_EQ(DeleteReport("B", "SRV01"), 0u) << "gone already";

  // A renamed report is renamed in every schedule, in its place.
  HKEY reports = key(kReportsKey);
  EXPECT_EQ(ReplaceReportInSchedules(reports, "C", "Monthly totals", 0), 2u);
  RegCloseKey(reports);
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\S1").back(), "CReports=7:A|Monthly totals||");
  EXPECT_EQ(tree(std::string(kReportsKey) + "\\S2").back(), "CReports=7:Monthly totals|A||");

  // Graphical definitions: their own key, the schedules' GReports, and a listing that skips the key itself.
  const DWORD dates[3] = {1, 7, 0};
  ASSERT_EQ(SaveGraphicalReport("SRV01", "Logons by hour", reinterpret_cast<const BYTE*>("pie\0logon\0\0"), 11, dates), 0u);
  ASSERT_EQ(SaveDefaultGraphicalDefinition("SRV01", reinterpret_cast<const BYTE*>("default"), 7), 0u);
  // The marker's 16 characters are written without their terminator; Windows stores the one that follows them.
  EXPECT_EQ(tree(kGraphsKey), (std::vector<std::string>{"[]", "Definition=3:default", "=1:GraphicalReports",
                                                        "[\\Logons by hour]", "DatesType=3:" + dumped(hex_words({1, 7, 0})),
                                                        "Graphs=7:pie|logon||"}));
  HWND saved = list();
  EXPECT_EQ(ListSchedules("SRV01", saved, ReportListKind::kSavedReports), 2u);
  EXPECT_EQ(support::list_column(saved), (std::vector<std::string>{"A", "C"}));
  DWORD length = 0;
  BYTE* recalled = RecallGraphicalReport("SRV01", "logons by hour", &length);
  ASSERT_NE(recalled, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(recalled), length), std::string("pie\0logon\0\0", 11));
  free_block(recalled);
  EXPECT_EQ(RecallGraphicalReport("SRV01", "Nope", &length), nullptr);
  EXPECT_EQ(shown(), std::vector<std::string>{"Unable to Recall Definition | Error 2 opening GR[Nope]"});
  Form g;
  g.name = "Charts";
  g.times = {run_time_word(kEveryDay, 7, 0)};
  g.reports = {"Logons by hour", "Other"};
  g.central = 1;
  g.period = "3";
  ASSERT_EQ(SaveGraphicalSchedule(nullptr, "SRV01", g.form()), 1u);
  g.name = "Logons by hour";
  EXPECT_EQ(SaveGraphicalSchedule(nullptr, "SRV01", g.form()), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "VORNIX message from QVMR0007.DLL | A Saved Graphical Report Definition with the same name exists "
                         "- unable to create / update Scheduled Graphical Activity Profile with the same name"});
  EXPECT_EQ(DeleteGraphicalReport("Logons by hour", "SRV01"), 1u);
  EXPECT_EQ(tree(std::string(kGraphsKey) + "\\Charts").back(), "GReports=7:Other||");

  g_registry.last_failed_server[0] = '\0';
  EXPECT_EQ(DeleteReport("A", "DOWN01"), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{
                         "UNABLE TO DELETE REPORT(S) | Unable to connect to Registry - machine DOWN01 not found on network"});
}

class SavedReportRuns : public Schedules {
 protected:
  void SetUp() override {
    Schedules::SetUp();
    program_folder_ = world_.machine_dir(world_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
    std::filesystem::create_directories(program_folder_);
    for (const char* program : {"VNXWCCR.EXE", "vnxwdes.exe"}) std::ofstream(program_folder_ + "/" + program) << "MZ";
  }

  // The bytes of a file on the console machine, by its Windows path.
  std::string console_file(const std::string& windows_path) {
    std::string relative = windows_path.substr(3);
    for (char& c : relative)
      if (c == '\\') c = '/';
    std::ifstream in(world_.machine_dir(world_.console()) + "/shares/C$/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string program_folder_;
};

TEST_F(SavedReportRuns, TheDefinitionGoesToATemporaryFileThatTheRunnerIsStartedWith) {
  const std::string definition = save_report("Weekly", 600);
  char file[MAX_PATH];
  ASSERT_EQ(RunCustomReport(nullptr, "SRV01", "Weekly", file), 0u);
  const std::string temp = "C:\\Users\\auditor\\AppData\\Local\\Temp\\";
  EXPECT_EQ(std::string(file).substr(0, temp.size() + 3), temp + "~CR");
  EXPECT_EQ(std::string(file).substr(std::string(file).size() - 4), ".tmp");
  EXPECT_EQ(console_file(file), definition);
  std::vector<platform::StartedProcess> started = platform::started_processes();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].command_line, "C:\\Program Files\\Brightmere\\VORNIX\\VNXWCCR.EXE " + std::string(file));
  EXPECT_EQ((std::vector<DWORD>{started[0].creation_flags, static_cast<DWORD>(started[0].inherit_handles),
                                static_cast<DWORD>(started[0].show_window)}),
            (std::vector<DWORD>{CREATE_NEW_CONSOLE, 0, SW_HIDE}));
  EXPECT_TRUE(shown().empty());

  // Editing: the designer by its bare name on a "~CC" file; a new report starts it on an empty file.
  ASSERT_EQ(EditCustomReport(nullptr, "SRV01", "Weekly", file), kDesignerStarted);
  EXPECT_EQ(console_file(file), definition);
  EXPECT_EQ(std::string(file).substr(temp.size(), 3), "~CC");
  ASSERT_EQ(NewCustomReport(nullptr, file), kDesignerStarted);
  EXPECT_EQ(console_file(file), "");
  started = platform::started_processes();
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[2].command_line, "vnxwdes " + std::string(file));
  EXPECT_EQ((std::vector<DWORD>{started[2].creation_flags, static_cast<DWORD>(started[2].show_window)}),
            (std::vector<DWORD>{CREATE_DEFAULT_ERROR_MODE, SW_SHOWNORMAL}));
}

TEST_F(SavedReportRuns, EachStepThatFailsSaysSoAndReturnsItsCode) {
  save_report("Short", 499);
  save_report("Enough", 500);
  EXPECT_EQ(RunCustomReport(nullptr, "SRV01", "Short", nullptr), kRunNothingDefined);
  EXPECT_EQ(RunCustomReport(nullptr, "SRV01", "Nope", nullptr), kRunReportKeyClosed);
  EXPECT_EQ(RunCustomReport(nullptr, "BARE01", "Nope", nullptr), kRunNoProductKey);
  EXPECT_EQ(RunCustomReport(nullptr, "DOWN01", "Nope", nullptr), 0u) << "no connection: nothing more is done";
  const std::string title = "VORNIX message from QVMR0007.DLL | ";
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         title + "Selected Custom Report has nothing defined, unable to continue.",
                         title + "Error 2 opening Nope, unable to continue.",
                         title + "Unable to locate VORNIX Master Registry Key on server BARE01 - unable to run custom "
                                 "report",
                         "UNABLE TO RUN CUSTOM REPORT | Unable to connect to Registry - machine DOWN01 not found on "
                         "network"}));
  EXPECT_TRUE(platform::started_processes().empty());

  // Without the runner in the console's folder the file is still written, and the user told where to put it.
  std::filesystem::remove(program_folder_ + "/VNXWCCR.EXE");
  char file[MAX_PATH];
  EXPECT_EQ(RunCustomReport(nullptr, "SRV01", "Enough", file), kRunRunnerNotStarted);
  EXPECT_EQ(console_file(file).size(), 500u);
  EXPECT_EQ(shown(), std::vector<std::string>{title + "VNXWCCR.EXE is not found, please place a copy in this "
                                                      "folder:\n\nC:\\Program Files\\Brightmere\\VORNIX"});
  // Editing: a designer that does not start gives 0 and nothing more; a report gone since it was listed
  // is told as a run tells it.
  std::filesystem::remove(program_folder_ + "/vnxwdes.exe");
  EXPECT_EQ(EditCustomReport(nullptr, "SRV01", "Enough", file), 0u);
  EXPECT_EQ(console_file(file).size(), 500u);
  EXPECT_EQ(EditCustomReport(nullptr, "SRV01", "Nope", nullptr), 0u);
  EXPECT_EQ(EditCustomReport(nullptr, "BARE01", "Nope", nullptr), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{title + "Error 2 opening Nope, unable to continue."});
}

}  // namespace
