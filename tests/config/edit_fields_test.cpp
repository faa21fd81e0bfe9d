// Applying a changed field as the host does when the user leaves it: to every
// selected server, to the named server with the path rules, to the sibling
// server; and the unsaved mark that a change sets, which the guard then saves.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"

namespace {

using EditFn = DWORD(WINAPI*)(const char*, HWND, uintptr_t*, const char*, void*, uintptr_t, uintptr_t, uintptr_t,
                              uintptr_t, HWND, uintptr_t, uintptr_t, DWORD);
using ChangeFn = DWORD(WINAPI*)(uintptr_t, DWORD, HWND, uintptr_t*);
const char kProduct[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
const char kSibling[] = "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";

class ApplyFields : public support::LibraryTest {
 protected:
  void SetUp() override {
    const char* addresses[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
    for (int i = 0; i < 3; ++i) {
      world_.add_machine(kServers[i], addresses[i]);
      world_.add_registry_text(kServers[i], "HKLM",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                               "\"ReportPath\"=\"VnxLogs$\"\r\n\r\n");
    }
    world_.set_machine_setting("SRV02", "machine", "reachable", "no");
    LibraryTest::SetUp();
    screen_ = host::create_screen(30, "Server configuration");
    focus_ = host::create_screen(31, "Caller");
    start();
    servers_ = support::add_server_list(library_, screen_,
                                        {{"SRV01", records_[0]}, {"SRV02", records_[1]}, {"SRV03", records_[2]}});
    ui::clear_journal();
  }

  HWND field(int item, uint32_t id, const char* text = "", uint32_t kind = kDescriptorEditField) {
    return host::add_control(screen_, item, kind == kDescriptorEditField ? "Edit" : "Button", text,
                             host::ControlSpec{id, kind});
  }

  // The host's call when the user leaves a field.
  DWORD leave(HWND control, const char* text, const char* server = "SRV01", void* record = nullptr) {
    SetWindowTextA(control, text);
    SetFocus(control);
    uintptr_t* d = host::descriptor_of(control);
    auto edit = reinterpret_cast<EditFn>(host::export_address(library_, "entry_point_edit_services"));
    return edit(text, screen_, d, server, record, 0, 0, 0, 0, focus_, 0, 0, descriptor_identifier(d));
  }

  void select(std::initializer_list<int> rows) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    SendMessageA(servers_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (int row : rows) SendMessageA(servers_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }

  // Every value of a server's key, "name=type:data"; "(unreachable)" for the offline server.
  static std::vector<std::string> values(const char* server, const char* path = kProduct) {
    HKEY root = nullptr;
    if (RegConnectRegistryA((std::string("\\\\") + server).c_str(), HKEY_LOCAL_MACHINE, &root) != ERROR_SUCCESS)
      return {"(unreachable)"};
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, true);
    RegCloseKey(root);
    return out;
  }
  static std::vector<std::vector<std::string>> every_server() {
    return {values("SRV01"), values("SRV02"), values("SRV03")};
  }
  // SRV01 and SRV03 with these values after the report path, SRV02 offline.
  static std::vector<std::vector<std::string>> both_with(const std::string& report_path,
                                                         std::vector<std::string> after = {}) {
    after.insert(after.begin(), {"[]", "ReportPath=1:" + report_path + "|"});
    return {after, {"(unreachable)"}, after};
  }

  static constexpr const char* kServers[] = {"SRV01", "SRV02", "SRV03"};
  uint8_t records_[3][kListItemBytes] = {};
  HWND screen_ = nullptr, focus_ = nullptr, servers_ = nullptr;
};

TEST_F(ApplyFields, ASelectionSettingIsWrittenToEachSelectedServerUnlessItsPathIsRefused) {
  HWND cycle = field(1, 0x6038008D), log_path = field(2, 0x6038008B);
  select({});
  EXPECT_EQ(leave(cycle, "30"), 0u) << "an empty selection writes nothing";
  EXPECT_EQ(every_server(), both_with("VnxLogs$"));

  // The offline server between the two others says so and is passed over.
  select({0, 1, 2});
  EXPECT_EQ(leave(cycle, "30"), 0u);
  EXPECT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(every_server(), both_with("VnxLogs$", {"EnterpriseHostRefreshCycle=4:30"}));
  ui::clear_journal();

  // A log file path with a colon stops the walk at its first server: nothing is written anywhere.
  select({0, 2});
  EXPECT_EQ(leave(log_path, "D:\\Logs"), 1u);
  ASSERT_EQ(support::journal_lines(),
            std::vector<std::string>{"Update Log File Path to continue. | The Log File Path must be a share on the "
                                     "selected server. This share will be used to store report-ready log files."});
  EXPECT_EQ(ui::journal()[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(GetFocus(), focus_);
  EXPECT_EQ(every_server(), both_with("VnxLogs$", {"EnterpriseHostRefreshCycle=4:30"}));
  ui::clear_journal();

  EXPECT_EQ(leave(log_path, "Audit$"), 0u);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(every_server(), both_with("Audit$", {"EnterpriseHostRefreshCycle=4:30"}));
}

TEST_F(ApplyFields, TheNamedServersPathsFollowTheUncAndColonRules) {
  HWND archive = field(1, 0x6038011D), log_path = field(2, 0x603800C9);
  host::descriptor_of(archive)[kDescWordEditCounter] = 130;

  EXPECT_EQ(leave(archive, "D:\\Archive"), 1u);
  ASSERT_EQ(ui::journal().size(), 1u);
  EXPECT_EQ(ui::journal()[0].title, "Update Auto-Archive path to continue.");
  EXPECT_EQ(ui::journal()[0].text,
            "The Auto-Archive Path must be in UNC format, i.e. \\\\server\\share\\path\n\nThe path specified must be "
            "reachable by the VORNIX Server Agent's logon account, including Change or Full Control Permissions to "
            "the share of the specified path.\n\nPath specified:\nD:\\Archive");
  EXPECT_EQ(ui::journal()[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  char shown[100] = "?";
  GetWindowTextA(archive, shown, sizeof shown);
  EXPECT_STREQ(shown, "") << "the refused path is emptied";
  EXPECT_EQ(GetFocus(), focus_);
  EXPECT_EQ(host::descriptor_of(archive)[kDescWordEditCounter], 130u) << "a refused field keeps its counter";
  ui::clear_journal();

  EXPECT_EQ(leave(archive, "\\\\NAS01\\Archive"), 0u);
  EXPECT_EQ(host::descriptor_of(archive)[kDescWordEditCounter], 101u);
  EXPECT_EQ(leave(log_path, "C:\\Logs"), 1u);
  EXPECT_EQ(support::journal_lines().size(), 1u);
  EXPECT_EQ(ui::journal()[0].title, "Update Log File Path to continue.");
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|",
                                                       "AutoArchivePath=1:\\\\NAS01\\Archive|"}));
  ui::clear_journal();

  // An empty archive path is accepted and removes the value; a share name is a log file path.
  EXPECT_EQ(leave(archive, ""), 0u);
  EXPECT_EQ(leave(log_path, "Audit$", "SRV03"), 0u);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(every_server(), (std::vector<std::vector<std::string>>{
                                {"[]", "ReportPath=1:VnxLogs$|"}, {"(unreachable)"}, {"[]", "ReportPath=1:Audit$|"}}));
}

TEST_F(ApplyFields, DepartmentCopySiblingFieldsAndFieldsAcceptedWithoutWriting) {
  // The item record's word 133 points to the department copy.
  static char copy[1500];
  std::memset(copy, 'x', sizeof copy);
  uint8_t record[kListItemBytes] = {};
  set_pointer_at(record, 133 * 4, copy);
  HWND department = field(1, 0x603800C8);
  EXPECT_EQ(leave(department, "Sales", "SRV01", record), 0u);
  EXPECT_EQ(std::string(copy, sizeof copy), "Sales" + std::string(sizeof copy - 5, '\0'));
  std::memset(copy, 'x', sizeof copy);
  EXPECT_EQ(leave(department, "", "SRV01", record), 0u);
  EXPECT_EQ(std::string(copy, 11), std::string(10, '\0') + "x");

  // No sibling server selected: accepted, nothing written.
  EXPECT_EQ(leave(field(2, 0x60F80023), "Share$"), 1u);
  EXPECT_EQ(leave(field(3, 0x60180001), "SRV09"), 1u);
  EXPECT_EQ(leave(field(4, 0x6038008C), "x"), 4061u);
  EXPECT_TRUE(ui::journal().empty());
  EXPECT_EQ(values("SRV01", kSibling), std::vector<std::string>{});
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|"}));
}

TEST_F(ApplyFields, AChangeMarksTheServerUnsavedAndTheGuardsSaveWritesIt) {
  HWND frequency = field(1, 0x603800CB);
  HWND save = field(2, 0x603100D5, "Save", kDescriptorPushButton);
  auto changed = reinterpret_cast<ChangeFn>(host::export_address(library_, "QVA_process_changes_for_edit_text"));
  ASSERT_TRUE(ui::click_row(servers_, 0));
  SendMessageA(save, BM_CLICK, 0, 0);  // the form saved as it is: counters at 101

  SetWindowTextA(frequency, "45");
  const int repaints = ui::invalidate_count(save);
  EXPECT_EQ(changed(0, 0x603800CB, screen_, host::descriptor_of(frequency)), 1u);
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 2u);
  EXPECT_EQ(ui::invalidate_count(save), repaints + 1);

  ui::script({"_A_MSG_BOX", 0, "Save", {}});
  ASSERT_TRUE(ui::click_row(servers_, 2));
  EXPECT_EQ(ui::journal().size(), 1u) << "the guard's prompt only";
  EXPECT_EQ(values("SRV01"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|", "LogTransferFrequency=4:45"}));
  EXPECT_EQ(values("SRV03"), (std::vector<std::string>{"[]", "ReportPath=1:VnxLogs$|"}));
  EXPECT_EQ(item_word(records_[0], kItemWordUnsavedMark), 0u);
  EXPECT_EQ(host::descriptor_of(frequency)[kDescWordEditCounter], 101u);
}

}  // namespace
