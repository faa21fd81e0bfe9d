// Message modes and the time-zone refresh, run on the library's code linked
// into the test: no export reaches them on their own yet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "tests/support/list_rows.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
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
  // Wide text in the ANSI code page: a character it lacks becomes "?"; a text longer than the buffer is cut.
  EXPECT_EQ(show_unattended_message_wide(nullptr, u"\u00DCber caf\u00E9 \u2014 \u20AC5 \u2713", "LDAP", MB_OK), 0);
  const std::u16string long_text(5000, u'x');
  EXPECT_EQ(show_unattended_message_wide(nullptr, long_text.c_str(), "LDAP", MB_OK), 0);
  CloseHandle(host::unattended_log_file());
  host::unattended_log_file() = nullptr;
  EXPECT_EQ(support::read_whole_file(log_path), "\r\nReport mailed to 2 recipients\r\n\r\n[-2] hex=[fffffffe]\r\n"
                                                "\r\n\xDC" "ber caf\xE9 \x97 \x80" "5 ?\r\n\r\n" +
                                                    std::string(3999, 'x') + "\r\n");
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

// The three lookups walk the same screen: each takes the first control of its kinds with the module and
// identifier; the list lookup then hands the found list's rows to its visitor until the visitor stops.
TEST_F(InProcess, ControlLookupsTakeTheFirstControlOfTheirKindsAndTheListLookupReadsItsRows) {
  constexpr uint32_t kShared = 0x60220010, kList = 0x60240042, kBox = 0x602800F8;
  HWND screen = host::create_screen(31, "Lookups");
  host::add_control(screen, 10, "Static", "", host::ControlSpec{kShared, kDescriptorKind3});
  host::add_control(screen, 11, "Button", "", host::ControlSpec{kShared, kDescriptorPushButton});
  HWND list = host::add_control(screen, 12, WC_LISTVIEWA, "", host::ControlSpec{kList, kDescriptorListView});
  BYTE first[kListItemBytes] = {}, second[kListItemBytes] = {};
  support::insert_list_rows(list, {{"SRV01", first}, {"SRV02", second}});
  host::add_control(screen, 13, "Button", "", host::ControlSpec{kBox, kDescriptorCheckBox, 0, 0, 6});
  host::add_control(screen, 14, "Button", "", host::ControlSpec{kBox, kDescriptorCheckBox});

  EXPECT_EQ(find_button_item(screen, 7, kShared), 11);
  EXPECT_EQ(find_control_item(screen, 7, kShared), 10);
  EXPECT_EQ(find_button_item(screen, 7, kBox), 14);  // the box of module 6 is not this library's
  EXPECT_EQ(find_button_item(screen, 6, kBox), 13);
  EXPECT_EQ(find_button_item(screen, 7, kList), 0);
  EXPECT_EQ(find_control_item(screen, 7, kList), 12);

  struct Visit {
    std::vector<std::string> rows;
    std::vector<BYTE*> records;
    size_t stop_after;
  };
  auto visit = [](int row, const char* text, BYTE* record, void* context) {
    auto* v = static_cast<Visit*>(context);
    v->rows.push_back(std::to_string(row) + ":" + text);
    v->records.push_back(record);
    return v->rows.size() < v->stop_after;
  };
  Visit all{{}, {}, 10};
  EXPECT_EQ(find_list_item(screen, 7, kList, visit, &all), 12);
  EXPECT_EQ(all.rows, (std::vector<std::string>{"0:SRV01", "1:SRV02"}));
  EXPECT_EQ(all.records, (std::vector<BYTE*>{first, second}));
  Visit one{{}, {}, 1};
  EXPECT_EQ(find_list_item(screen, 7, kList, visit, &one), 12);
  EXPECT_EQ(one.rows, std::vector<std::string>{"0:SRV01"});
  Visit none{{}, {}, 10};
  EXPECT_EQ(find_list_item(screen, 7, kShared, visit, &none), 0);
  EXPECT_TRUE(none.rows.empty());
}

}  // namespace
