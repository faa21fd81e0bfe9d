// A registry write that fails in the middle of a rename, through the rename
// button of the saved custom reports as the host presses it: the failure is
// counted, the old report and the schedule that runs it stay as they were,
// and the same rename once the registry takes writes again moves both.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/definition_copy.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "host/control_descriptor.h"
#include "resources/resource.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"

namespace {

const std::string kProduct = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
constexpr uint32_t kRenameReportButton = 0x60410013;

class RegistryWriteFault : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    // A saved report (its definition and one more value) and a schedule that runs it beside another.
    world_.add_registry_text("SRV01", "HKLM",
                             kProduct + "]\r\n\r\n" + kProduct + "\\Reports]\r\n\r\n" + kProduct +
                                 "\\Reports\\Weekly]\r\n\"Definition\"=hex:01,02,02,02,02,00,53,52,56\r\n"
                                 "\"Owner\"=\"audit\"\r\n\r\n" + kProduct +
                                 "\\Reports\\Nightly]\r\n\"DisableFlag\"=dword:00000000\r\n\"CReports\"=hex(7):"
                                 "57,00,65,00,65,00,6b,00,6c,00,79,00,00,00,50,00,6c,00,61,00,69,00,6e,00,00,00,00,00"
                                 "\r\n\r\n");
  }
  void TearDown() override {
    support::release_list_rows(reports_, true);
    release_registry_connections();
    support::end_in_process();
  }

  void start() {
    support::start_in_process(world_, &table_);
    screen_ = host::create_screen(41, "Custom Reports");
    reports_ = host::add_control(screen_, 2010, WC_LISTVIEWA, "", host::ControlSpec{0x60440010, kDescriptorListView});
    button_ = host::add_control(screen_, 2011, "Button", "Rename",
                                host::ControlSpec{kRenameReportButton, kDescriptorPushButton, 41, 2010});
  }

  // The saved reports listed, "Weekly" selected, the rename button pressed and the new name typed.
  void rename_weekly(const char* new_name) {
    support::release_list_rows(reports_, true);
    ListSchedules("SRV01", reports_, ReportListKind::kSavedReports);
    const std::vector<std::string> names = support::list_column(reports_);
    const auto weekly = std::find(names.begin(), names.end(), "Weekly");
    ASSERT_NE(weekly, names.end());
    support::set_row_selected(reports_, static_cast<size_t>(weekly - names.begin()));
    ui::clear_journal();
    ui::script({"RENAME_RPT", IDOK, "", {{IDC_RENAME_NAME, new_name}}});
    g_definition_copy.errors = 0;
    EXPECT_EQ(entry_point_button_services(screen_, 0, host::descriptor_of(button_)), 1u);
  }

  static std::vector<std::string> reports() {
    HKEY hklm = nullptr;
    EXPECT_EQ(RegConnectRegistryA("\\\\SRV01", HKEY_LOCAL_MACHINE, &hklm), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(hklm, kReportsKey, "", out, false);
    RegCloseKey(hklm);
    return out;
  }
  static bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr, reports_ = nullptr, button_ = nullptr;
};

TEST_F(RegistryWriteFault, ARenameWhoseWriteFailsKeepsTheOldReportAndItsSchedule) {
  // The second value write on SRV01 fails once: the copy's second value.
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "2");
  start();
  const std::vector<std::string> before = reports();
  rename_weekly("Weekly sales");
  EXPECT_EQ(g_definition_copy.errors, 1u);
  std::vector<std::string> shown = support::journal_lines();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "UNABLE TO RENAME REPORT | Error during Rename - did not delete original");
  // The old report and the schedule's list as they were; the partial new key may stay.
  std::vector<std::string> after = reports();
  for (const std::string& line : before) EXPECT_TRUE(has(after, line)) << line;
  EXPECT_TRUE(has(after, "\\Nightly:CReports=7:Weekly|Plain||"));

  // The registry takes writes again: the same rename moves the report and renames it in the schedule.
  rename_weekly("Weekly sales");
  EXPECT_EQ(g_definition_copy.errors, 0u);
  after = reports();
  EXPECT_TRUE(has(after, "\\Nightly:CReports=7:Weekly sales|Plain||"));
  EXPECT_EQ(std::count_if(after.begin(), after.end(),
                          [](const std::string& l) { return l.rfind("\\Weekly:", 0) == 0 || l == "\\Weekly"; }),
            0);
}

}  // namespace
