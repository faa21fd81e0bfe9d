// TCP requests as the host reaches them: the lists that ask the current
// server's agent for rows, and the request status display fields of the
// enterprise host screens, which follow the selected row of the main server list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "net/agent_stats.h"
#include "net/tcp_requests.h"
#include "sim/fake_agents.h"
#include "sim/fake_pipe_agent.h"
#include "tests/support/enterprise_hosts_fixture.h"
#include "tests/support/list_rows.h"

namespace {

constexpr uint16_t kScreenKey = support::kEnterpriseHostsScreen;
constexpr int kStatusItem = 1300;
constexpr char kPrompt[] = "<Use 'Get' Button to retrieve>";
using support::kQvawkqPort;

class RequestsThroughExports : public support::EnterpriseHostsTest {
 protected:
  void SetUp() override {
    EnterpriseHostsTest::SetUp();
    list_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}, {"SRV02", records_[1]}});
    status_ = host::add_control(screen_, kStatusItem, "Static", "before",
                                host::ControlSpec{kRequestStatusField, kDescriptorKind3});
  }

  // Into the host's buffer, as for a list cell.
  std::string field_text(uint32_t field, LONG* value = nullptr) {
    char text[2048] = "untouched";
    LONG out = 0;
    EXPECT_EQ(library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, &out, 0, 0, 0, field, 7), 0u);
    if (value) *value = out;
    return text;
  }

  void set_status(int row, DWORD status, DWORD reported) {
    set_item_word(records_[row], kItemWordRequestStatus, status);
    set_item_word(records_[row], kItemWordReportedState, reported);
  }

  HWND list_ = nullptr, status_ = nullptr;
};

TEST_F(RequestsThroughExports, BothFieldsFollowTheSelectedServerRow) {
  set_status(0, kRequestConnectFailed, 7);
  set_status(1, kRequestAnswered, 66);
  // No row selected: no record, so no request made yet.
  for (uint32_t field : {kRequestStatusField, kRequestValueField}) EXPECT_EQ(field_text(field), kPrompt) << field;

  ASSERT_TRUE(ui::click_row(list_, 0));
  LONG value = 0;
  EXPECT_EQ(field_text(kRequestStatusField, &value), "NO - failed to connect, agent probably not running");
  EXPECT_EQ(value, -3);
  EXPECT_EQ(field_text(kRequestValueField), "7");

  ASSERT_TRUE(ui::click_row(list_, 1));
  EXPECT_EQ(field_text(kRequestStatusField) + " " + field_text(kRequestValueField), "YES 66");
  // The value is a number: the host groups its digits.
  set_status(1, kRequestAnswered, 4294967295u);
  EXPECT_EQ(field_text(kRequestValueField), "4,294,967,295");

  // An unexpected reply, a status the table does not name, then a record with no request made yet.
  set_status(1, kRequestUnexpectedReply, 3);
  EXPECT_EQ(field_text(kRequestStatusField), "MAYBE - unexpected response received");
  set_status(1, 0x5A, 3);
  EXPECT_EQ(field_text(kRequestStatusField), "Error [5a] occurred in response");
  set_status(1, 0, 3);
  EXPECT_EQ(field_text(kRequestValueField), kPrompt);

  // Without the buffer flag the text goes to the control; other modules are not served.
  set_status(1, kRequestNameUnresolved, 0);
  EXPECT_EQ(library_.entry_point_text_services(screen_, host::descriptor_of(status_), 0, 0, 0, 0, nullptr, nullptr,
                                               0, 0, 0, kRequestStatusField, 7),
            0u);
  char shown[200] = {};
  GetWindowTextA(status_, shown, sizeof shown);
  EXPECT_STREQ(shown, "NOT FOUND - unable to determine server's IP address");

  char text[2048] = "untouched";
  EXPECT_EQ(library_.entry_point_text_services(screen_, nullptr, 0, 0, 0, 1, text, nullptr, 0, 0, 0,
                                               kRequestStatusField, 8), 4061u);
  EXPECT_STREQ(text, "untouched");
}

// Both lists of alert agent users ask the current server's agent on its QVAWKQ
// request port; the rows come from the reply and the status lands in the
// selected row's record, where the status field shows it.
TEST_F(RequestsThroughExports, AlertAgentUserListsFillFromTheCurrentServersAgent) {
  support::AgentScript script;
  script.alerts = {{"ALERTS1", "watching logons", {1, 2, 3, 4}, {11, 12, 13}}, {"ALERTS2", "", {}, {}}};
  support::FakeAgent agent(support::process_loopback(2), script, kQvawkqPort);
  ASSERT_TRUE(agent.listening()) << agent.error();
  ASSERT_TRUE(ui::click_row(list_, 0));

  const uint32_t lists[] = {0x60F4000C, 0x60340098};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(lists[i]);
    HWND alerts = host::add_control(screen_, 1400 + static_cast<int>(i), WC_LISTVIEWA, "",
                                    host::ControlSpec{lists[i], kDescriptorListView});
    EXPECT_EQ(host::send_list_event(library_, alerts), 1u);
    ASSERT_EQ(support::list_column(alerts), (std::vector<std::string>{"ALERTS1", "ALERTS2"}));
    const uint8_t* watching = support::list_rows(alerts)[0].record;
    ASSERT_NE(watching, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(watching + kItemAlertText), "watching logons");
    EXPECT_EQ(item_word(watching, static_cast<int>(kItemAlertFirstValue / 4) + 2), 13u);
  }
  EXPECT_EQ(item_word(records_[0], kItemWordRequestStatus), kRequestAnswered);
  EXPECT_EQ(field_text(kRequestStatusField), "YES");

  // Per list: the request, then again with the number of agents received.
  std::vector<uint32_t> sent;
  for (const support::ReceivedRequest& r : agent.requests()) sent.insert(sent.end(), {r.code_a, r.code_b, r.alert_cursor});
  EXPECT_EQ(sent, (std::vector<uint32_t>{0x2299, 0x4721, 0, 0x2299, 0x4721, 2, 0x2299, 0x4721, 0, 0x2299, 0x4721, 2}));
  EXPECT_TRUE(ui::journal().empty());
}

// The refresh button beside a server list asks the selected server's agent for its statistics at once
// (no scout, no access check in between) and the row's record then carries the agent's status; beside the
// QVAWKQ list the agent's status port is asked. Either way the list is refreshed.
TEST_F(RequestsThroughExports, TheRefreshButtonBesideAServerListAsksTheSelectedServersAgent) {
  auto refresh_button = [&](HWND list) {
    uint16_t item = static_cast<uint16_t>(GetDlgCtrlID(list));
    HWND button = host::add_control(screen_, 1500 + item, "Button", "Refresh",
                                    host::ControlSpec{0x30110EE7, kDescriptorPushButton, kScreenKey, item});
    return library_.entry_point_button_services(screen_, 0, host::descriptor_of(button));
  };
  support::PipeScript script;
  support::FakePipeAgent pipe("SRV01", "vornixw01", script);
  ASSERT_TRUE(pipe.serving()) << pipe.error();
  EXPECT_EQ(refresh_button(list_), 1u);
  EXPECT_TRUE(pipe.requests().empty()) << "no server selected: only the list is refreshed";
  EXPECT_TRUE(service_called("host_refresh_control"));

  ASSERT_TRUE(ui::click_row(list_, 0));
  host::clear_service_calls();
  EXPECT_EQ(refresh_button(list_), 1u);
  EXPECT_EQ(pipe.requests().size(), 1u);
  EXPECT_EQ(item_word(records_[0], kItemWordAgentStartTime), script.start_time);
  EXPECT_EQ(item_word(records_[0], kItemWordAgentState), kAgentRunning);
  EXPECT_EQ(std::vector<uint8_t>(records_[0] + kItemAgentVersion, records_[0] + kItemAgentVersion + 3),
            (std::vector<uint8_t>{7, 2, 2}));
  EXPECT_TRUE(service_called("host_item_record_changed item=0"));
  EXPECT_TRUE(service_called("host_refresh_control"));

  uint8_t sibling_record[kListItemBytes] = {};
  HWND siblings = host::add_control(screen_, 1002, WC_LISTVIEWA, "", host::ControlSpec{0x60F40001, kDescriptorListView});
  support::insert_list_rows(siblings, {{"SRV01", sibling_record}});
  support::set_row_selected(siblings, 0);
  support::AgentScript agent_script;
  agent_script.sibling_statistics = std::vector<uint8_t>(448, 0x22);
  support::FakeAgent agent(support::process_loopback(2), agent_script, kQvawkqPort);
  ASSERT_TRUE(agent.listening()) << agent.error();
  host::clear_service_calls();
  EXPECT_EQ(refresh_button(siblings), 1u);
  EXPECT_FALSE(agent.requests().empty());
  EXPECT_EQ(pipe.requests().size(), 1u) << "the VORNIXW pipe is not the QVAWKQ agent's";
  EXPECT_TRUE(service_called("host_item_record_changed item=0"));
  // The texts the refreshes read are the records' own blocks, from the host's memory pair.
  GlobalFree(owned_block(records_[0], kOwnedStatsText));
  GlobalFree(owned_block(sibling_record, kOwnedStatsText));
}

}  // namespace
