// Message modes and the time-zone refresh, run on the library's code linked
// into the test: no export reaches them on their own yet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/list_rows.h"
#include "tests/support/whole_file.h"
#include "tests/support/world_builder.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace {

class InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.quiet_mode = 0;
  }

  void TearDown() override {
    host::unattended_log_file() = nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

TEST_F(InProcess, UnattendedAndDebugMessagesGoToTheHostsLogFileInsteadOfTheScreen) {
  const std::string log_path = world_.folder() + "/unattended.log";
  host::unattended_log_file() =
      CreateFileA(log_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(host::unattended_log_file(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(show_unattended_message(nullptr, "Report mailed to 2 recipients", "E-MAIL", MB_OK), 0);
  show_debug_value(-2);
  CloseHandle(host::unattended_log_file());
  host::unattended_log_file() = nullptr;
  EXPECT_EQ(support::read_whole_file(log_path), "\r\nReport mailed to 2 recipients\r\n\r\n[-2] hex=[fffffffe]\r\n");
  EXPECT_TRUE(ui::journal().empty());

  g_library.quiet_mode = 1;
  EXPECT_EQ(show_unattended_message(nullptr, "not shown", "E-MAIL", MB_OK), 1);
  show_debug_value(5);
  show_message(nullptr, "not shown", nullptr, MB_OK);
  show_status(nullptr, "not shown", nullptr, MB_OK);
  EXPECT_TRUE(ui::journal().empty());

  g_library.quiet_mode = 0;
  ui::script({"", IDCANCEL, "", {}});
  EXPECT_EQ(show_unattended_message(nullptr, "Continue?", "QUESTION", MB_OKCANCEL), IDCANCEL);
  show_debug_value(255);
  show_status(nullptr, "Profile saved", nullptr, MB_OK);
  EXPECT_EQ(support::journal_lines(), (std::vector<std::string>{"QUESTION | Continue?", "DEBUG VALUE | [255] hex=[ff]",
                                                                 "VORNIX message from QVMR0007.DLL | Profile saved"}));
}

TEST_F(InProcess, TheUtcOffsetFollowsDaylightTime) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  world::clock_set_virtual(1783339200ull * 1000);  // 2026-07-06, daylight time
  // Offset, daylight flag and bias, and the first offset seen, which is kept.
  auto zone = [] {
    refresh_time_zone();
    return std::make_tuple(g_library.utc_offset, g_library.daylight, g_library.daylight_bias_seconds,
                           g_library.first_utc_offset);
  };
  EXPECT_EQ(zone(), std::make_tuple(4 * 3600, 1u, -3600, 4 * 3600));
  world::clock_set_virtual(1796551200ull * 1000);  // 2026-12-06, standard time
  EXPECT_EQ(zone(), std::make_tuple(5 * 3600, 0u, -3600, 4 * 3600));

  setenv("TZ", "Asia/Kolkata", 1);  // no daylight time at all
  tzset();
  refresh_time_zone();
  EXPECT_EQ(g_library.utc_offset, -(5 * 3600 + 1800));
}

TEST_F(InProcess, AMissingGetComputerNameExWIsReportedAndAnswers255) {
  g_library.get_computer_name_ex = nullptr;
  WCHAR name[64];
  DWORD size = 64;
  EXPECT_EQ(call_get_computer_name_ex(ComputerNameDnsFullyQualified, name, &size), 255);
  EXPECT_EQ(support::journal_lines(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL | SCP Error 0xA"});
  EXPECT_EQ(ui::journal().at(0).flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

  ASSERT_EQ(establish_tables(6, table_.data()), 1u);
  size = 64;
  EXPECT_NE(call_get_computer_name_ex(ComputerNameDnsFullyQualified, name, &size), 255);
  EXPECT_EQ(std::u16string(name, size), u"CONSOLE01.BRIGHTMERE");
}

}  // namespace
