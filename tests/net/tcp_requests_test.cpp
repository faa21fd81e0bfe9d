// TCP requests against simulated agents listening on the machines' own
// loopback addresses, and the name and address routines.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/tcp_requests.h"
#include "sim/fake_agents.h"
#include "tests/support/list_rows.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

using support::AgentScript;
using support::FakeAgent;
using support::Misbehaviour;

std::string text_at(const BYTE* record, size_t offset) { return reinterpret_cast<const char*>(record + offset); }

uint32_t u32_at(const BYTE* record, size_t offset) {
  uint32_t value;
  std::memcpy(&value, record + offset, 4);
  return value;
}

class TcpRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("HOST1", host_ip_);
    world_.add_machine("SRV02", support::process_loopback(3));
    world_.add_machine("DOWN01", support::process_loopback(4));
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.base_image_index = 100;
    g_library.quiet_mode = 0;
    host::clear_service_calls();
  }

  void TearDown() override { release_registry_connections(); }

  HWND make(const char* class_name) {
    return CreateWindowExA(0, class_name, "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }

  // The record a request fills, with no status set before.
  BYTE* fresh_record() {
    std::memset(record_, 0, sizeof record_);
    return record_;
  }

  DWORD status() const { return item_word(record_, kItemWordRequestStatus); }
  std::vector<std::string> titles_and_texts() { return support::journal_lines(": ", true); }

  static AgentScript known_script() {
    AgentScript s;
    support::KnownServerEntry a{"SRV02", 7, "running since Monday", 0x10203, {1, 2, 3}, {4, 5, 6}, 9, 10, 0xABCD};
    support::KnownServerEntry b{"SRV03", 8, std::string(600, 'k')};
    s.known = {a, b};
    s.alerts = {{"ALERTS1", "watching logons", {1, 2, 3, 4}, {11, 12, 13}}, {"ALERTS2", "", {}, {}}};
    s.gather = {"Head office", "HOST1", "collector", {}, {"SRV02", "SRV03"}};
    for (int i = 0; i < 10; ++i) s.gather.values[i] = 100 + static_cast<uint32_t>(i);
    s.reported_state = 77;
    return s;
  }

  std::string host_ip_ = support::process_loopback(2);
  support::WorldBuilder world_;
  host::ServiceTable table_{};
  BYTE record_[kListItemBytes] = {};
};

// One well-behaved agent: status, servers known, alert agents and the gather.
TEST_F(TcpRequests, AWellBehavedAgentsRepliesFillTheRecordsRowsAndNodes) {
  FakeAgent agent(host_ip_, known_script());
  ASSERT_TRUE(agent.listening()) << agent.error();
  auto answered = [&](DWORD result) {
    EXPECT_EQ(result, kRequestDone);
    EXPECT_EQ(status(), kRequestAnswered);
  };
  // Status requests send twenty bytes and store the reported state.
  answered(RequestEnterpriseStatus("HOST1", record_));
  EXPECT_EQ(item_word(record_, kItemWordReportedState), 77u);
  BYTE reply[64] = {};
  answered(RequestSiblingHostStatus(host_ip_.c_str(), fresh_record(), 4060, reply, sizeof reply));
  EXPECT_EQ(u32_at(reply, 12), 0x11221122u) << "the reply stays in the caller's buffer";
  answered(RequestSiblingHostStatusSecond("HOST1", fresh_record(), 4060));

  // Servers known: rows inserted once, updated when the same host is asked again.
  HWND list = make(WC_LISTVIEWA);
  answered(RequestServersKnown("HOST1", fresh_record(), list));
  std::vector<support::ListRow> r = support::list_rows(list);
  ASSERT_EQ(r.size(), 2u);
  const BYTE* srv02 = r[0].record;
  EXPECT_EQ(r[0].text + " " + std::to_string(r[0].image) + " " + text_at(srv02, kItemEnterpriseHost) + " " +
                text_at(srv02, kItemKnownText),
            "SRV02 109 HOST1 running since Monday");
  EXPECT_EQ(std::vector<uint32_t>({u32_at(srv02, kItemKnownValue), u32_at(srv02, kItemKnownSecondValue),
                                   u32_at(srv02, kItemKnownThirdValue)}),
            std::vector<uint32_t>({7, 0x10203, 0xABCD}));
  EXPECT_EQ(std::vector<BYTE>(srv02 + kItemKnownFirstTriple, srv02 + kItemKnownFirstByte + 2),
            (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 9, 10}));
  EXPECT_EQ(text_at(r[1].record, kItemKnownText), std::string(511, 'k')) << "text bounded by its field";
  host::clear_service_calls();
  ASSERT_EQ(RequestServersKnown("HOST1", record_, list), kRequestDone);
  ASSERT_EQ(support::list_rows(list).size(), 2u);
  const std::vector<std::string> calls = host::service_calls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.rfind("host_item_record_changed", 0) == 0; }),
            2);
  ASSERT_EQ(RequestServersKnown(host_ip_.c_str(), record_, list), kRequestDone);
  r = support::list_rows(list);
  ASSERT_EQ(r.size(), 4u) << "another host's rows are its own";
  EXPECT_EQ(text_at(r[2].record, kItemEnterpriseHost), host_ip_);

  // Alert agent listing: one row per agent.
  HWND alerts = make(WC_LISTVIEWA);
  char label[101] = "HOST1";
  ASSERT_EQ(RequestAlertAgents("HOST1", record_, alerts, label, sizeof label), kRequestDone);
  EXPECT_STREQ(label, "HOST1");
  r = support::list_rows(alerts);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].text + " " + std::to_string(r[0].image) + " " + r[1].text + " " + text_at(r[0].record, kItemAlertText),
            "ALERTS1 110 ALERTS2 watching logons");
  EXPECT_EQ(std::vector<BYTE>(r[0].record + kItemAlertBytes, r[0].record + kItemAlertBytes + 4),
            (std::vector<BYTE>{1, 2, 3, 4}));
  EXPECT_EQ(u32_at(r[0].record, kItemAlertFirstValue + 8), 13u);
  // Each exchange: the request, then the same request once more after the reply, whose
  // cursor is the number of entries received; status requests carry only their codes.
  std::vector<uint32_t> codes, known, alert;
  for (const support::ReceivedRequest& sent : agent.requests()) {
    if (codes.size() < 18) codes.insert(codes.end(), {sent.code_a, sent.code_b, sent.zero});
    known.push_back(sent.known_cursor), alert.push_back(sent.alert_cursor);
  }
  EXPECT_EQ(codes, (std::vector<uint32_t>{0x8008, 0x374, 0, 0x8008, 0x374, 0, 0x11AC, 0x873, 0, 0x11AC, 0x873, 0,
                                          0x3214, 0x374, 0, 0x3214, 0x374, 0}));
  EXPECT_EQ(known, (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 2, 0, 0}));
  EXPECT_EQ(alert, (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}));
  // QVAWKQ: nothing is asked without a request port in the sibling key (with one: RequestsThroughExports).
  const int connections = agent.connections();
  EXPECT_EQ(RequestSiblingAlertAgents("HOST1", record_, alerts, label, sizeof label), kRequestDone);
  EXPECT_EQ(agent.connections(), connections);
  EXPECT_EQ(support::list_rows(alerts).size(), 2u);

  // The gather finds or inserts the host and its members.
  HWND tree = make(WC_TREEVIEWA);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    answered(RequestEnterpriseGather("HOST1", fresh_record(), tree));
    std::vector<support::TreeRow> hosts = support::tree_rows(tree);
    ASSERT_EQ(hosts.size(), 1u);
    auto* block = static_cast<BYTE*>(owned_block(hosts[0].record, kOwnedBlock1));
    ASSERT_NE(block, nullptr);
    std::vector<support::TreeRow> members = support::tree_rows(tree, hosts[0].item);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(hosts[0].text + " " + std::to_string(hosts[0].image) + " " + members[0].text + " " + members[1].text +
                  "|" + text_at(block, kHostRecordLabel) + "|" + text_at(block, kHostRecordName) + "|" +
                  text_at(block, kHostRecordText),
              "HOST1 108 SRV02 SRV03|Head office|HOST1|collector");
    for (int i = 0; i < kHostRecordValueCount; ++i) EXPECT_EQ(u32_at(block, kHostRecordValues + 4 * i), 100u + i);
  }
  free_block(owned_block(support::tree_rows(tree)[0].record, kOwnedBlock1));
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(TcpRequests, MisbehavingAgentsSetTheStatusAndMakeNoRowFromBrokenEntries) {
  struct Case {
    Misbehaviour misbehaviour;
    DWORD status_reply, known_status;
    size_t known_rows, alert_rows;
    const char* box;  // shown by the alert listing
  };
  const Case cases[] = {
      {Misbehaviour::WrongMagic, 0x22, 0x22, 0, 0, nullptr},
      {Misbehaviour::ShortReply, 0x22, 1, 0, 0, nullptr},
      {Misbehaviour::CutMidEntry, 1, 1, 1, 1, nullptr},
      {Misbehaviour::TooManyEntries, 1, 1, 0, 2, nullptr},
      {Misbehaviour::LimitAbove100, 1, 1, 2, 2, "VORNIX message from QVMR0007.DLL: Error AA101+ occurred during Active Alert Agent Listing"},
      {Misbehaviour::SlowPieces, 1, 1, 2, 2, nullptr},
      {Misbehaviour::Reset, 0x34, 0x34, 0, 0, nullptr},
  };
  // An agent answering as known_script() but misbehaving so.
  auto agent_that = [&](Misbehaviour misbehaviour) {
    AgentScript script = known_script();
    script.misbehaviour = misbehaviour;
    auto agent = std::make_unique<FakeAgent>(host_ip_, script);
    EXPECT_TRUE(agent->listening()) << agent->error();
    return agent;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.misbehaviour));
    auto agent = agent_that(c.misbehaviour);
    RequestEnterpriseStatus("HOST1", fresh_record());
    EXPECT_EQ(status(), c.status_reply);
    HWND list = make(WC_LISTVIEWA);
    EXPECT_EQ(RequestServersKnown("HOST1", fresh_record(), list), kRequestDone);
    EXPECT_EQ(status(), c.known_status);
    EXPECT_EQ(support::list_rows(list).size(), c.known_rows);
    HWND alerts = make(WC_LISTVIEWA);
    char label[101] = "HOST1";
    EXPECT_EQ(RequestAlertAgents("HOST1", record_, alerts, label, sizeof label), kRequestDone);
    EXPECT_EQ(support::list_rows(alerts).size(), c.alert_rows);
    EXPECT_EQ(titles_and_texts(), c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{});
  }

  // A reset or a closed connection never overwrites a status set before.
  auto agent = agent_that(Misbehaviour::Reset);
  set_item_word(record_, kItemWordRequestStatus, kRequestUnexpectedReply);
  EXPECT_EQ(RequestEnterpriseStatus("HOST1", record_), kRequestDone);
  EXPECT_EQ(status(), kRequestUnexpectedReply);
  agent.reset(), agent = agent_that(Misbehaviour::SkippedFirst);
  EXPECT_EQ(RequestEnterpriseStatus("HOST1", fresh_record()), kRequestDone);
  EXPECT_EQ(status(), kRequestAnswered);
  EXPECT_EQ(agent->requests().size(), 2u) << "the all-ones word is not answered";
  agent.reset(), agent = agent_that(Misbehaviour::CutMidEntry);
  HWND tree = make(WC_TREEVIEWA);
  EXPECT_EQ(RequestEnterpriseGather("HOST1", record_, tree), kRequestDone);
  std::vector<support::TreeRow> hosts = support::tree_rows(tree);
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(support::tree_rows(tree, hosts[0].item).size(), 1u) << "the unterminated last member makes no row";
  free_block(owned_block(hosts[0].record, kOwnedBlock1));
}

TEST_F(TcpRequests, NamesThatDoNotResolveAndMachinesThatDoNotAnswer) {
  EXPECT_EQ(RequestEnterpriseStatus("NOSUCH01", fresh_record()), kRequestUnresolved);
  EXPECT_EQ(status(), kRequestNameUnresolved);
  EXPECT_EQ(titles_and_texts(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL: Unable to connect to [NOSUCH01], please verify the "
                      "name/address.\n\nIf the value provided is a valid Windows server name, you may need to use "
                      "that server's IPv4 address instead to connect."});

  // Nobody listens on SRV02; DOWN01 is off the network.
  for (const char* server : {"SRV02", "DOWN01"}) {
    EXPECT_EQ(RequestServersKnown(server, fresh_record(), nullptr), kRequestSocketFailed);
    EXPECT_EQ(status(), kRequestConnectFailed);
    EXPECT_EQ(WSAGetLastError(), std::string(server) == "SRV02" ? WSAECONNREFUSED : WSAETIMEDOUT);
  }
  EXPECT_TRUE(titles_and_texts().empty());
  EXPECT_EQ(RequestEnterpriseGather("SRV02", record_, nullptr), kRequestSocketFailed);
  EXPECT_EQ(titles_and_texts(),
            std::vector<std::string>{"ERROR 2: Failed to connect " + support::process_loopback(3) +
                                     ", unable to send message.\n"});
}

TEST_F(TcpRequests, AnAgentThatNeverAnswersTimesOutAfterTenSeconds) {
  AgentScript script = known_script();
  script.misbehaviour = Misbehaviour::NoAnswer;
  FakeAgent agent(host_ip_, script);
  ASSERT_TRUE(agent.listening()) << agent.error();
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RequestEnterpriseStatus("HOST1", record_), kRequestDone);
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_TRUE(seconds > 9.5 && seconds < 13.0) << seconds;
  EXPECT_EQ(status(), kRequestNoReply);
  EXPECT_EQ(support::journal_lines(": "),
            std::vector<std::string>{"VORNIX Server Connection Failed: Timeout during get Enterprise Host Status"});
  EXPECT_EQ(ui::journal().at(0).flags & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(TcpRequests, InterpretersReadOnlyTheBytesReceived) {
  AgentScript s = known_script();
  g_library.quiet_mode = 1;
  // Every cut of a good reply, in a buffer of exactly that size (the sanitizer build reports
  // any read beyond it): whole entries after the header only (the gather: host, then members).
  const struct {
    std::vector<uint8_t> reply;
    size_t header, entry;
    uint32_t (*interpret)(const BYTE*, size_t);
  } kinds[] = {
      {support::known_reply(s.known, 2), 90, 1067,
       [](const BYTE* p, size_t n) { return InterpretServersKnownReply(p, n, "HOST1", nullptr); }},
      {support::alert_reply(s.alerts, 2), 12, 636,
       [](const BYTE* p, size_t n) { return InterpretAlertAgentReply(p, n, false, nullptr, nullptr, 0); }},
      {support::gather_reply(s.gather), 1077, 6,
       [](const BYTE* p, size_t n) { return InterpretGatherReply(p, n, nullptr); }}};
  for (const auto& k : kinds) {
    for (size_t length = 0; length <= k.reply.size(); ++length) {
      std::vector<uint8_t> cut(k.reply.begin(), k.reply.begin() + static_cast<long>(length));
      const size_t whole = std::min<size_t>(3, length < k.header ? 0 : (length - k.header) / k.entry);
      ASSERT_EQ(k.interpret(cut.data(), length), whole) << "header " << k.header << " length " << length;
    }
  }
  std::vector<uint8_t> status = support::status_reply(5, 0);
  for (size_t length = 0; length < 12; ++length)
    EXPECT_EQ(InterpretStatusReply(status.data(), length, 0, record_), length < 8 ? 0x22u : 1u) << length;
}

TEST_F(TcpRequests, NamesAndAddresses) {
  const std::pair<const char*, const char*> kept[] = {
      {"\\\\server1.example.lan", "server1"}, {"\\\\SRV02", "SRV02"}, {"10.1.2.3", "10.1.2.3"},
      {"srv9.example", "srv9"}, {"\\\\10.1.2.3", "10.1.2.3"}, {"1234567890.12345", "1234567890"}};
  char name[100];
  auto normalised = [&name](const std::string& in, int keep_literals) {
    std::snprintf(name, sizeof name, "%s", in.c_str());
    NormaliseServerName(name, sizeof name, keep_literals);
    return std::string(name);
  };
  for (const auto& [in, out] : kept) EXPECT_EQ(normalised(in, 1), out) << in;
  // Without keeping literals, a machine's address turns into its name; an unknown one stays.
  EXPECT_EQ(normalised("\\\\" + support::process_loopback(3), 0), "SRV02");
  EXPECT_EQ(normalised("10.1.2.3", 0), "10.1.2.3");

  ULONG address = ResolveIPv4("srv02");
  FormatIPv4(address, name, sizeof name);
  EXPECT_EQ(name, support::process_loopback(3));
  EXPECT_EQ(ResolveIPv4("NOSUCH01"), 0u);

  EXPECT_EQ(ProbeReachable(ResolveIPv4("SRV02")), 1);
  EXPECT_EQ(ProbeReachable(ResolveIPv4("DOWN01")), 0) << "marked unreachable in the world";
}

}  // namespace
