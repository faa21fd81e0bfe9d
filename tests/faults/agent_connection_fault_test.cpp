// Agents that fail half-way through a reply, reached as the host reaches them:
// the alert agent list of the loaded library from an agent that resets its TCP
// connection in the middle of an entry, and the server list's status lines from
// an agent whose pipe server dies in the middle of its statistics.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/registry.h"
#include "console/linked_library.h"
#include "console/substitute_host.h"
#include "host/host.h"
#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "net/tcp_requests.h"
#include "sim/agent_world.h"
#include "sim/fake_agents.h"
#include "sim/fake_pipe_agent.h"
#include "tests/support/enterprise_hosts_fixture.h"
#include "tests/support/list_rows.h"
#include "tests/support/server_list_fixture.h"

namespace {

using support::kQvawkqPort;
constexpr uint32_t kAlertUsersList = 0x60F4000C;

class AgentResetMidReply : public support::EnterpriseHostsTest {
 protected:
  void SetUp() override {
    EnterpriseHostsTest::SetUp();
    servers_ = support::add_server_list(library_, screen_, {{"SRV01", records_[0]}});
    ASSERT_TRUE(ui::click_row(servers_, 0));
  }

  HWND alert_list(int item) {
    return host::add_control(screen_, item, WC_LISTVIEWA, "", host::ControlSpec{kAlertUsersList, kDescriptorListView});
  }

  HWND servers_ = nullptr;
};

TEST_F(AgentResetMidReply, TheWholeEntriesBeforeTheResetAreListedAndTheNextAskingListsAll) {
  support::AgentScript script;
  script.alerts = {{"ALERTS1", "watching logons", {1, 2, 3, 4}, {11, 12, 13}},
                   {"ALERTS2", "watching files", {5, 6, 7, 8}, {21, 22, 23}}};
  script.misbehaviour = support::Misbehaviour::ResetMidReply;
  {
    support::FakeAgent agent(support::process_loopback(2), script, kQvawkqPort);
    ASSERT_TRUE(agent.listening()) << agent.error();
    HWND alerts = alert_list(1400);
    EXPECT_EQ(host::send_list_event(library_, alerts), 1u);
    // The second entry was cut by the reset: only the first is a row, and it is whole.
    ASSERT_EQ(support::list_column(alerts), std::vector<std::string>{"ALERTS1"});
    const uint8_t* first = support::list_rows(alerts)[0].record;
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(first + kItemAlertText), "watching logons");
    EXPECT_EQ(item_word(first, static_cast<int>(kItemAlertFirstValue / 4) + 2), 13u);
    // A reply with the expected magic came before the reset.
    EXPECT_EQ(item_word(records_[0], kItemWordRequestStatus), kRequestAnswered);
    EXPECT_TRUE(ui::journal().empty());
  }

  // The agent answers whole again: the same list on a fresh control gets both.
  script.misbehaviour = support::Misbehaviour::None;
  support::FakeAgent agent(support::process_loopback(2), script, kQvawkqPort);
  ASSERT_TRUE(agent.listening()) << agent.error();
  HWND again = alert_list(1401);
  EXPECT_EQ(host::send_list_event(library_, again), 1u);
  EXPECT_EQ(support::list_column(again), (std::vector<std::string>{"ALERTS1", "ALERTS2"}));
}

// The server list's status lines, written through the owner-draw export: SRV05's agent pipe dies
// after the first 40 bytes of its statistics, SRV06's answers whole.
class PipeDiesMidReply : public support::ServerListTest {
 protected:
  void SetUp() override {
    ServerListTest::SetUp();
    for (const char* name : {"SRV05", "SRV06"}) {
      support::add_agent_server(world_, name, name[4] == '5' ? "127.0.0.6" : "127.0.0.7",
                                "Windows Server 2012 R2 Standard", true);
      support::add_installed_agent(world_, name);
    }
    start();
  }
};

TEST_F(PipeDiesMidReply, TheCutReplyGivesNoStartTimeAndTheNextServerIsReadWhole) {
  support::PipeScript dying;
  dying.misbehaviour = support::PipeMisbehaviour::DiesMidReply;
  support::PipeScript whole;
  whole.start_time = 1457165220;  // 2016-03-05 08:07 UTC
  support::FakePipeAgent cut("SRV05", "vornixw01", dying);
  support::FakePipeAgent sound("SRV06", "vornixw01", whole);
  ASSERT_TRUE(cut.serving() && sound.serving());
  std::vector<BYTE> first(kListItemBytes), second(kListItemBytes);
  HWND list = support::add_server_list(host::in_process_library(), host::create_screen(2, "Servers"),
                                       {{"SRV05", first.data()}, {"SRV06", second.data()}});
  const std::string text = status_lines(list, 2);
  const std::string rest = "\"SQL NOT Enabled\",\"Email NOT Configured\",\"No Department Hosted\",\r\n";
  EXPECT_EQ(text.substr(0, text.find("\r\n") + 2).rfind("\"IPv4 127.0.0.6\",\"Agent Started Invalid Start Time\",", 0), 0u)
      << text;
  EXPECT_EQ(text.substr(text.find("\r\n") + 2),
            "\"IPv4 127.0.0.7\",\"Agent Started March 5, 2016  8:07\",\"Version 7.02b | 6.10c.6\"," + rest);
  // The bytes the agent sent are kept; what it never sent reads as nothing.
  EXPECT_EQ(item_word(first.data(), kItemWordAgentStartTime), 0u);
  EXPECT_EQ(std::vector<BYTE>(first.begin() + kItemAgentVersion, first.begin() + kItemAgentVersion + 3),
            (std::vector<BYTE>{0, 0, 0}));
  EXPECT_EQ(cut.requests().size(), 1u);
}

}  // namespace
