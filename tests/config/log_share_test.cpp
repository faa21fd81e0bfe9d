// Choosing the share that holds the log files from a server's disk shares: the
// product's ReportPath on the current server, the sibling product's
// LogSharePath on the sibling server, stored as a typed value is.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "resources/resource.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"

namespace {

using Rows = std::vector<std::string>;
constexpr uint16_t kScreenKey = 31;
const char kProduct[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
const char kSibling[] = "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";

class LogShare : public support::LibraryTest {
 protected:
  void SetUp() override {
    const char* addresses[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
    const char* names[] = {"SRV01", "SRV02", "DENIED01"};
    for (int i = 0; i < 3; ++i) {
      world_.add_machine(names[i], addresses[i]);
      world_.add_registry_text(names[i], "HKLM",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                               "\"ReportPath\"=\"VnxLogs$\"\r\n\"RetainLogFiles\"=dword:00000001\r\n\r\n");
    }
    for (const char* share : {"VnxLogs$", "Logs2", "Archive"})
      std::filesystem::create_directories(world_.machine_dir("SRV01") + "/shares/" + share);
    std::filesystem::create_directories(world_.machine_dir("SRV02") + "/shares/QvLogs");
    world_.set_machine_setting("DENIED01", "machine", "access", "none");
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Server configuration");
    start();
    servers_ = support::add_server_list(library_, screen_,
                                        {{"SRV01", records_[0]}, {"SRV02", records_[1]}, {"DENIED01", records_[2]}});
    path_ = host::add_control(screen_, 1200, "Edit", "typed", host::ControlSpec{0x603800C9, kDescriptorEditField});
    ui::clear_journal();
  }

  void press(uint32_t id) {
    HWND button =
        host::add_control(screen_, 1100 + next_++, "Button", "", host::ControlSpec{id, kDescriptorPushButton});
    SendMessageA(button, BM_CLICK, 0, 0);
  }

  static Rows values(const char* server, const char* path = kProduct) {
    HKEY root = nullptr;
    EXPECT_EQ(RegConnectRegistryA((std::string("\\\\") + server).c_str(), HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    Rows out;
    support::dump_registry(root, path, "", out, true);
    RegCloseKey(root);
    return out;
  }

  static std::string text_of(HWND control) {
    char text[300] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
  }

  uint8_t records_[3][kListItemBytes] = {};
  HWND screen_ = nullptr, servers_ = nullptr, path_ = nullptr;
  int next_ = 0;
};

TEST_F(LogShare, TheChosenShareIsStoredForEitherProductAndCancelChangesNothing) {
  ASSERT_TRUE(ui::click_row(servers_, 0));
  const Rows before = values("SRV01");

  // Cancel after a selection, and OK with no share selected, write nothing.
  ui::script({"SELECT_LOG_SHARE", IDCANCEL, "", {{IDC_SHARE_LIST, "Lo"}}});
  press(0x6031208C);
  ui::script({"SELECT_LOG_SHARE", IDOK, "", {}});
  press(0x6031208C);
  ASSERT_EQ(ui::journal().size(), 2u);
  // Only the plain disk shares are offered, not C$, ADMIN$ or IPC$.
  EXPECT_EQ(ui::journal()[0].rows, (Rows{"Archive", "Logs2", "VnxLogs$"}));
  EXPECT_NE(ui::journal()[0].text.find("Shares of server SRV01:"), std::string::npos) << ui::journal()[0].text;
  EXPECT_EQ(values("SRV01"), before);
  EXPECT_EQ(text_of(path_), "typed");

  ui::clear_journal();
  ui::script({"SELECT_LOG_SHARE", IDOK, "", {{IDC_SHARE_LIST, "Lo"}}});
  press(0x6031208C);
  EXPECT_EQ(values("SRV01"), (Rows{"[]", "ReportPath=1:Logs2|", "RetainLogFiles=4:1"}));
  EXPECT_EQ(text_of(path_), "Logs2");
  EXPECT_EQ(values("SRV02")[1], "ReportPath=1:VnxLogs$|");

  // The sibling product's share, on the server selected in its list; its key is made when missing.
  HWND siblings =
      host::add_control(screen_, 1300, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  support::remember_sibling_server("SRV02", {127, 0, 0, 3});
  host::send_list_event(library_, siblings);
  ASSERT_TRUE(ui::click_row(siblings, 0));
  HWND share = host::add_control(screen_, 1301, "Edit", "", host::ControlSpec{0x60F80023, kDescriptorEditField});
  ui::script({"SELECT_LOG_SHARE", IDOK, "", {{IDC_SHARE_LIST, "qv"}}});
  press(0x60F10024);
  EXPECT_EQ(values("SRV02", kSibling), (Rows{"[]", "LogSharePath=1:QvLogs|"}));
  EXPECT_EQ(text_of(share), "QvLogs");
  EXPECT_EQ(text_of(path_), "Logs2") << "the product's field is another value";
  EXPECT_EQ(values("SRV02")[1], "ReportPath=1:VnxLogs$|");
}

TEST_F(LogShare, AServerThatCannotBeReachedListsNothingAndNoServerNothingToStore) {
  press(0x60F10024);
  EXPECT_EQ(support::journal_lines(" | ", true),
            Rows{"VORNIX message from QVMR0007.DLL | Unable to Save, no current server selected!"});

  ASSERT_TRUE(ui::click_row(servers_, 2));
  ui::script({"SELECT_LOG_SHARE", IDOK, "", {{IDC_SHARE_LIST, "Vnx"}}});
  press(0x6031208C);
  EXPECT_EQ(support::journal_lines(), Rows{"UNABLE TO GET SHARES | Unable to connect to DENIED01's Registry, err=5"});
  EXPECT_EQ(ui::script_left(), 1u) << "no dialog was shown";
}

}  // namespace
