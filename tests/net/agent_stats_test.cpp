// Agent statistics from each of their sources: the scout agent's registry, the
// agent's pipe behind the cached access check, and the QVAWKQ status request
// with the pipe as fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/agent_stats.h"
#include "net/server_access.h"
#include "sim/fake_agents.h"
#include "sim/fake_pipe_agent.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

using Bytes = std::vector<uint8_t>;
using support::FakePipeAgent;
using support::PipeMisbehaviour;
using support::PipeScript;

constexpr uint64_t kStart = 1796551200;  // the world's clock at the start of each test
constexpr uint32_t kRecordStartTime = 1796500000;

class AgentStats : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", support::process_loopback(2));
    world_.add_machine("SRV02", support::process_loopback(3));
    world_.add_machine("SRV03", support::process_loopback(4));
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"ReportPath\"=\"D:\\\\VornixLogs\"\r\n\r\n");
    open_world(kStart);
  }

  void TearDown() override {
    free_block(owned_block(record_, kOwnedStatsText));
    release_registry_connections();
  }

  // (Re)opens the world at a clock time, as a change to a machine needs.
  void open_world(uint64_t seconds) {
    release_registry_connections();
    world_.set_clock_start(seconds);
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
  }

  DWORD refresh(const char* server) {
    set_item_word(record_, kItemWordAgentStartTime, kRecordStartTime);
    BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
    build_pipe_request(request);
    return RefreshAgentStats(server, record_, request, reply);
  }

  static Bytes block_of(const char* server) {
    const AgentStatistics* s = AgentStatisticsFor(server);
    return s ? Bytes(s->block, s->block + s->block_bytes) : Bytes{};
  }

  static Bytes first_bytes(const Bytes& bytes, size_t n) {
    Bytes out(bytes.begin(), bytes.begin() + static_cast<long>(std::min(n, bytes.size())));
    out.resize(n, 0);
    return out;
  }

  static std::vector<std::string> access_cache() {
    std::vector<std::string> out;
    support::dump_registry(HKEY_CURRENT_USER, std::string(kProductKey) + "\\S_CRED", "S_CRED", out, false);
    return out;
  }

  void set_scout_running() {
    std::ofstream(world_.machine_dir(world_.console()) + "/services.ini")
        << "[vornixwscoutagent]\nname = VORNIXWScoutAgent\nimage = C:\\Windows\\vnxscout.exe\nstate = running\n";
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  BYTE record_[kListItemBytes] = {};
};

TEST_F(AgentStats, ThePipeGivesTheFirst480BytesForEachWayAnAgentAnswers) {
  struct Case {
    PipeMisbehaviour misbehaviour;
    DWORD kept;
    size_t reply_bytes;  // of the well-behaved reply that end up in the block
    uint32_t record_start_time;
  };
  const Case cases[] = {
      {PipeMisbehaviour::None, 1, 480, kRecordStartTime},
      {PipeMisbehaviour::Short, 1, 60, kRecordStartTime},  // the rest of the block is zero
      {PipeMisbehaviour::WrongMarker, 1, 480, 0},          // no start time: the record's is cleared
      {PipeMisbehaviour::Long, 0, 0, kRecordStartTime},
      {PipeMisbehaviour::Busy, 0, 0, kRecordStartTime},
      {PipeMisbehaviour::Silent, 0, 0, kRecordStartTime},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.misbehaviour));
    PipeScript script;
    script.misbehaviour = c.misbehaviour;
    FakePipeAgent pipe("SRV01", "vornixw01", script);
    ASSERT_TRUE(pipe.serving()) << pipe.error();
    EXPECT_EQ(refresh("SRV01"), c.kept);
    Bytes expected = support::pipe_statistics(script);
    if (c.misbehaviour == PipeMisbehaviour::WrongMarker) std::memset(&expected[49], 0, 4);
    EXPECT_EQ(block_of("SRV01"), c.kept ? first_bytes(Bytes(expected.begin(), expected.begin() + c.reply_bytes), 480)
                                        : Bytes{});
    EXPECT_EQ(item_word(record_, kItemWordAgentStartTime), c.record_start_time);
    if (c.misbehaviour != PipeMisbehaviour::Busy) {
      EXPECT_EQ(pipe.requests(), std::vector<Bytes>({{1, 0x54, 0, 0, 0, 0, 0, 0, 0, 0}}));
    }
  }
  const AgentStatistics* s = AgentStatisticsFor("srv01");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->polls, 6u);
  EXPECT_EQ(s->source, 0u);
  EXPECT_EQ(s->time, kStart) << "the last kept statistics' time";
  EXPECT_EQ(access_cache(), (std::vector<std::string>{"S_CRED", "S_CRED:SRV01=3:||||"}));

  // No pipe at all; a forced refresh keeps no time and reads the report path.
  EXPECT_EQ(refresh("SRV01"), 0u);
  {
    FakePipeAgent pipe("SRV01", "vornixw01", PipeScript{});
    BYTE request[kPipeRequestBytes], reply[kPipeReplyBytes];
    build_pipe_request(request);
    EXPECT_EQ(ForceAgentStats("SRV01", nullptr, 0, record_, request, reply), 1u);
  }
  EXPECT_EQ(s->time, 0u);
  EXPECT_EQ(s->block_bytes, 480u);
  EXPECT_STREQ(StatsConfiguredText(record_), "D:\\VornixLogs");
}

// A name with a character of the code page's upper half ("Ž", byte 0x8E) reaches the server's
// account check and its pipe under that name, as the network functions take it in wide text.
TEST_F(AgentStats, ANameBeyondAsciiReachesItsAccountCheckAndPipe) {
  const std::string name = "\x8EILINA01";
  world_.add_machine(name, support::process_loopback(5));
  open_world(kStart);
  FakePipeAgent pipe(name, "vornixw01", PipeScript{});
  ASSERT_TRUE(pipe.serving()) << pipe.error();
  EXPECT_EQ(refresh(name.c_str()), 1u);
  EXPECT_EQ(pipe.requests().size(), 1u);
  EXPECT_EQ(access_cache(), (std::vector<std::string>{"S_CRED", "S_CRED:" + name + "=3:||||"}));
}

TEST_F(AgentStats, TheAccessCheckIsRememberedAndADenialHoldsForFiveMinutes) {
  world_.set_machine_setting("SRV02", "machine", "access", "none");
  world_.set_machine_setting("SRV03", "faults", "netuserenum", "234");  // more data waiting: reachable
  open_world(kStart);
  EXPECT_EQ(refresh("SRV01"), 0u) << "reachable, but no pipe";
  EXPECT_EQ(refresh("SRV02"), 0u);
  EXPECT_EQ(refresh("SRV03"), 0u);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kProductKey) + "\\S_CRED").c_str(), 0, KEY_READ, &key), 0);
  auto cached = [&](const char* server) {
    DWORD value = 0, size = sizeof value;
    RegQueryValueExA(key, server, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
  };
  EXPECT_EQ(cached("SRV01"), 1u);
  EXPECT_EQ(cached("SRV02"), kStart);
  EXPECT_EQ(cached("SRV03"), 1u);
  RegCloseKey(key);

  // Every server now answers the account enumeration the other way round; the
  // cache decides without asking: its pipes are never called.
  world_.set_machine_setting("SRV01", "faults", "netuserenum", "1722");
  world_.set_machine_setting("SRV02", "machine", "access", "full");
  open_world(kStart + kAccessRetrySeconds - 1);
  FakePipeAgent srv01("SRV01", "vornixw01", PipeScript{});
  FakePipeAgent srv02("SRV02", "vornixw01", PipeScript{});
  EXPECT_EQ(refresh("SRV01"), 1u);
  EXPECT_EQ(refresh("SRV02"), 0u);
  EXPECT_TRUE(srv02.requests().empty());

  // Five minutes after the denial the server is asked again.
  open_world(kStart + kAccessRetrySeconds);
  FakePipeAgent again("SRV02", "vornixw01", PipeScript{});
  EXPECT_EQ(refresh("SRV02"), 1u);
  EXPECT_EQ(again.requests().size(), 1u);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kProductKey) + "\\S_CRED").c_str(), 0, KEY_READ, &key), 0);
  EXPECT_EQ(cached("SRV02"), 1u);
  RegCloseKey(key);
}

TEST_F(AgentStats, ARunningScoutsStatisticsComeFirstAndThePipeOnlyWithoutThem) {
  Bytes stats(490);
  for (size_t i = 0; i < stats.size(); ++i) stats[i] = static_cast<uint8_t>(0x40 + i % 50);
  std::memset(&stats[49], 0, 4);
  std::string hex;
  for (size_t i = 0; i < stats.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x", stats[i]);
    hex += (i ? "," : "") + std::string(b);
  }
  world_.add_registry_text(world_.console(), "HKLM",
                           "[HKEY_LOCAL_MACHINE\\" + std::string(kScoutStatusKey) + "\\SRV01]\r\n"
                           "\"STATS_TIME\"=dword:6b15b000\r\n\"STATS\"=hex:" + hex + "\r\n"
                           "\"DepartmentHosted\"=\"Finance\"\r\n\"EmailConfigured\"=hex:01\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\" + std::string(kScoutStatusKey) + "\\SRV02]\r\n"
                           "\"STATS\"=hex:01,02\r\n\r\n");
  set_scout_running();
  open_world(kStart);
  FakePipeAgent srv01("SRV01", "vornixw01", PipeScript{});
  FakePipeAgent srv02("SRV02", "vornixw01", PipeScript{});

  EXPECT_EQ(refresh("SRV01"), 1u);
  const AgentStatistics* s = AgentStatisticsFor("SRV01");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->source, kStatsFromScout);
  EXPECT_EQ(s->time, 0x6b15b000u);
  EXPECT_EQ(block_of("SRV01"), stats);
  EXPECT_EQ(item_word(record_, kItemWordAgentStartTime), 0u) << "the scout's block has no start time";
  EXPECT_STREQ(reinterpret_cast<const char*>(record_ + kItemDepartment), "Finance");
  EXPECT_EQ(record_[kItemEmailConfigured], 1u);
  EXPECT_TRUE(srv01.requests().empty());

  // A scout key without STATS_TIME: the pipe.
  EXPECT_EQ(refresh("SRV02"), 1u);
  EXPECT_EQ(AgentStatisticsFor("SRV02")->source, 0u);
  EXPECT_EQ(block_of("SRV02"), first_bytes(support::pipe_statistics(PipeScript{}), 480));
  EXPECT_EQ(srv02.requests().size(), 1u);
}

TEST_F(AgentStats, SiblingStatisticsComeFromTheStatusPortsThenThePipe) {
  const std::string ip = support::process_loopback(4);
  const uint16_t first_port = 50411, second_port = 50412;
  auto set_ports = [&](DWORD first, DWORD second) {
    char text[300];
    std::snprintf(text, sizeof text,
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ]\r\n"
                  "\"IPv4PortKQRequests\"=dword:%08x\r\n\"IPv4PortWstnLogs\"=dword:%08x\r\n"
                  "\"LogSharePath\"=\"QLOGS\"\r\n\r\n",
                  static_cast<unsigned>(first), static_cast<unsigned>(second));
    world_.add_registry_text("SRV03", "HKLM", text);
    open_world(kStart);
  };
  support::AgentScript wrong;
  wrong.misbehaviour = support::Misbehaviour::WrongMagic;
  wrong.sibling_statistics = Bytes(448, 0x11);
  support::AgentScript good;
  good.sibling_statistics = Bytes(460, 0x22);
  PipeScript pipe_script;
  Bytes from_pipe = first_bytes(support::pipe_statistics(pipe_script), 448);

  size_t requests_per_status = 0;
  set_ports(first_port, second_port);
  {
    support::FakeAgent on_first(ip, wrong, first_port);
    support::FakeAgent on_second(ip, good, second_port);
    FakePipeAgent pipe("SRV03", "qvawkq01", pipe_script);
    ASSERT_TRUE(on_first.listening() && on_second.listening()) << on_first.error() << on_second.error();
    EXPECT_EQ(RefreshSiblingStats("SRV03", record_, nullptr, 0), 1u);
    EXPECT_EQ(block_of("SRV03"), Bytes(448, 0x22));
    EXPECT_EQ(AgentStatisticsFor("SRV03")->sibling_answers, 1u);
    EXPECT_STREQ(StatsConfiguredText(record_), "QLOGS");
    EXPECT_TRUE(pipe.requests().empty());
    requests_per_status = on_first.requests().size();
    EXPECT_EQ(on_second.requests().size(), requests_per_status);
  }
  // The second port is the first one again: not asked twice, the pipe answers.
  set_ports(first_port, first_port);
  {
    support::FakeAgent on_first(ip, wrong, first_port);
    FakePipeAgent pipe("SRV03", "qvawkq01", pipe_script);
    EXPECT_EQ(RefreshSiblingStats("SRV03", record_, nullptr, 0), 1u);
    EXPECT_EQ(on_first.requests().size(), requests_per_status) << "asked once";
    EXPECT_EQ(block_of("SRV03"), from_pipe);
  }
  // No request port: straight to the pipe; nothing there, nothing kept.
  set_ports(0, second_port);
  {
    support::FakeAgent on_second(ip, good, second_port);
    EXPECT_EQ(RefreshSiblingStats("SRV03", record_, nullptr, 0), 0u);
    EXPECT_TRUE(on_second.requests().empty());
    EXPECT_EQ(block_of("SRV03"), Bytes{});
    EXPECT_EQ(AgentStatisticsFor("SRV03")->sibling_answers, 1u);
  }
}

}  // namespace
