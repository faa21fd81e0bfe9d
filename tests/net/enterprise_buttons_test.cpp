// The enterprise host buttons as the host presses them: each works on its
// companion tree or list and asks a fake enterprise host over TCP.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "net/enterprise_screens.h"
#include "net/tcp_requests.h"
#include "sim/fake_agents.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

constexpr uint16_t kScreenKey = 41;
constexpr int kTreeItem = 1500;
constexpr int kListItem = 1001;  // the main server list

class EnterpriseButtons : public support::LibraryTest {
 protected:
  void SetUp() override {
    world_.add_machine("EHOST", support::process_loopback(5));
    world_.add_machine("SRV02", support::process_loopback(6));  // nothing listens there
    LibraryTest::SetUp();
    screen_ = host::create_screen(kScreenKey, "Enterprise hosts");
    std::memset(records_, 0, sizeof records_);
    start();
    list_ = support::add_server_list(library_, screen_, {{"EHOST", records_[0]}, {"SRV02", records_[1]}});
    tree_ = host::add_control(screen_, kTreeItem, WC_TREEVIEWA, "", host::ControlSpec{0x602400A2, kDescriptorListView});
    name_ = host::add_control(screen_, 1600, "Edit", "", host::ControlSpec{kEnterpriseHostNameField, kDescriptorEditField});
  }

  // Presses a button whose companion is the control at this dialog item of the screen.
  DWORD press(uint32_t button, int companion_item) {
    host::ControlSpec layout{button, kDescriptorPushButton, kScreenKey, static_cast<uint16_t>(companion_item)};
    HWND control = host::add_control(screen_, 2000 + static_cast<int>(button & 0xFF), "Button", "", layout);
    DWORD result = library_.entry_point_button_services(screen_, 0, host::descriptor_of(control));
    DestroyWindow(control);
    return result;
  }

  std::string status_text() {
    char text[2048] = {};
    library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, nullptr, 0, 0, 0, kRequestStatusField, 7);
    return text;
  }

  uint8_t records_[2][kListItemBytes];
  HWND screen_ = nullptr, list_ = nullptr, tree_ = nullptr, name_ = nullptr;
};

// Add, scan and remove on the enterprise host tree; the servers a host knows into the server list.
TEST_F(EnterpriseButtons, HostsAreAddedScannedRemovedAndAskedForTheirServers) {
  support::AgentScript script;
  script.gather.host_name = "EHOST";
  script.gather.members = {"SRV05", "SRV06"};
  for (const char* name : {"SRV05", "SRV06"}) script.known.emplace_back().name = name;
  support::FakeAgent agent(support::process_loopback(5), script);
  ASSERT_TRUE(agent.listening()) << agent.error();

  EXPECT_EQ(press(kAddEnterpriseHostButton, kTreeItem), 0u);
  EXPECT_TRUE(support::journal_has("UNABLE TO ADD ENTERPRISE HOST", "please enter an Enterprise Host name"));
  EXPECT_EQ(agent.connections(), 0);

  // A UNC-style DNS name is asked by its first label; scanning it again adds no rows.
  SetWindowTextA(name_, "\\\\ehost.example.lan");
  EXPECT_EQ(press(kAddEnterpriseHostButton, kTreeItem), 1u);
  std::vector<support::TreeRow> hosts = support::tree_rows(tree_);
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(hosts[0].text, "EHOST");
  SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hosts[0].item));
  EXPECT_EQ(press(kScanEnterpriseHostButton, kTreeItem), 1u);
  EXPECT_EQ(item_word(hosts[0].record, kItemWordRequestStatus), kRequestAnswered);
  std::vector<support::TreeRow> members = support::tree_rows(tree_, hosts[0].item);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].text + " " + members[1].text, "SRV05 SRV06");
  EXPECT_EQ(support::tree_rows(tree_).size(), 1u);
  GlobalFree(owned_block(hosts[0].record, kOwnedBlock1));

  // Remove asks first: Cancel keeps the host, OK removes it.
  for (const auto& [answer, result, left] : {std::make_tuple(IDCANCEL, 0u, 1u), std::make_tuple(IDOK, 1u, 0u)}) {
    ui::script({"Remove Enterprise Host", answer, "", {}});
    EXPECT_EQ(press(kRemoveEnterpriseHostButton, kTreeItem), result);
    EXPECT_EQ(support::tree_rows(tree_).size(), left) << answer;
  }

  // The servers the host knows follow the rows the list had.
  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_EQ(press(kRegisteredServersButton, kListItem), 1u);
  std::vector<support::ListRow> rows = support::list_rows(list_);
  ASSERT_GE(rows.size(), 4u);
  const support::ListRow& srv05 = rows[rows.size() - 2];
  EXPECT_EQ(srv05.text + " " + rows.back().text, "SRV05 SRV06");
  EXPECT_STREQ(reinterpret_cast<const char*>(srv05.record + kItemEnterpriseHost), "EHOST");
  EXPECT_EQ(item_word(records_[0], kItemWordRequestStatus), kRequestAnswered);
  EXPECT_EQ(agent.connections(), 3);
  EXPECT_EQ(agent.requests().back().code_b, kServersKnownCode);
}

// Status of the selected row, of every row, and the server screen's Get button:
// the records learn the status, and the status field of the selected server shows it.
TEST_F(EnterpriseButtons, StatusButtonsFillTheRowsRecords) {
  support::FakeAgent agent(support::process_loopback(5), support::AgentScript{});
  ASSERT_TRUE(agent.listening()) << agent.error();

  ASSERT_TRUE(ui::click_row(list_, 0));
  EXPECT_EQ(press(kEnterpriseHostStatusButton, kListItem), 1u);
  EXPECT_EQ(item_word(records_[0], kItemWordReportedState), 66u);
  EXPECT_EQ(status_text(), "YES");
  EXPECT_TRUE(service_called("host_item_record_changed item=0"));

  // Every row: SRV02 has no agent, so the button reports a problem.
  EXPECT_EQ(press(kEveryHostStatusButton, kListItem), 0u);
  EXPECT_EQ(item_word(records_[1], kItemWordRequestStatus), kRequestConnectFailed);
  EXPECT_TRUE(service_called("host_item_record_changed item=1"));

  // Get asks for the current server, whatever the button's companion.
  set_item_word(records_[0], kItemWordRequestStatus, 0);
  EXPECT_EQ(status_text(), "<Use 'Get' Button to retrieve>");
  EXPECT_EQ(press(kGetServerStatusButton, 0), 1u);
  EXPECT_EQ(status_text(), "YES");
  EXPECT_EQ(agent.connections(), 3);
}

TEST_F(EnterpriseButtons, ButtonsWithoutASelectionAskForOneAndTouchNoSocket) {
  support::AgentScript script;
  script.misbehaviour = support::Misbehaviour::NotAllowed;
  support::FakeAgent agent(support::process_loopback(5), script);
  ASSERT_TRUE(agent.listening()) << agent.error();

  for (uint32_t button : {kScanEnterpriseHostButton, kEnterpriseHostStatusButton, kRegisteredServersButton,
                          kRemoveEnterpriseHostButton, kAlertAgentsButton, kGetServerStatusButton}) {
    SCOPED_TRACE(button);
    ui::clear_journal();
    EXPECT_EQ(press(button, kListItem), 0u);
    EXPECT_TRUE(support::journal_has("VORNIX message from QVMR0007.DLL", "To continue, please select a server."));
  }
  EXPECT_EQ(agent.connections(), 0);

  // A server that allows no Active Alert agents says so once in its label, however often asked.
  ASSERT_TRUE(ui::click_row(list_, 0));
  size_t rows = support::list_column(list_).size();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(press(kAlertAgentsButton, kListItem), 1u);
  std::vector<std::string> labels = support::list_column(list_);
  EXPECT_EQ(labels.size(), rows);
  EXPECT_EQ(labels[0], "EHOST <not allowing Active Alert Agents>");
  EXPECT_EQ(agent.connections(), 2);
}

}  // namespace
