// CallNamedPipeW over the world's pipe sockets: each way a call fails gives the
// error a real pipe call gives, and a reply longer than the buffer fills it.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sim/fake_pipe_agent.h"
#include "sim/world_builder.h"

namespace {

using support::PipeMisbehaviour;

std::u16string wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(Pipes, ACallGivesTheReplyOrTheErrorOfAWindowsPipe) {
  support::WorldBuilder world;
  world.add_machine("SRV01", "127.0.0.2");
  world.add_machine("DOWN01", "127.0.0.3");
  world.add_machine("LOCKED01", "127.0.0.4");
  world.set_machine_setting("DOWN01", "machine", "reachable", "no");
  world.set_machine_setting("LOCKED01", "machine", "access", "none");
  world.open();

  struct Case {
    const char* name;
    PipeMisbehaviour misbehaviour;  // of the agent serving SRV01's pipe
    BOOL result;
    DWORD error;
    DWORD read;
  };
  const Case cases[] = {
      {"\\\\SRV01\\pipe\\vornixw01", PipeMisbehaviour::None, TRUE, 0, 580},
      {"\\\\srv01\\PIPE\\vornixw01", PipeMisbehaviour::Short, TRUE, 0, 60},
      {"\\\\SRV01\\pipe\\vornixw01", PipeMisbehaviour::Long, FALSE, ERROR_MORE_DATA, 580},
      {"\\\\SRV01\\pipe\\vornixw01", PipeMisbehaviour::Busy, FALSE, ERROR_PIPE_BUSY, 0},
      {"\\\\SRV01\\pipe\\vornixw01", PipeMisbehaviour::Silent, FALSE, ERROR_SEM_TIMEOUT, 0},
      {"\\\\SRV01\\pipe\\qvawkq01", PipeMisbehaviour::None, FALSE, ERROR_FILE_NOT_FOUND, 0},
      {"\\\\NOSUCH\\pipe\\vornixw01", PipeMisbehaviour::None, FALSE, ERROR_BAD_NETPATH, 0},
      {"\\\\DOWN01\\pipe\\vornixw01", PipeMisbehaviour::None, FALSE, ERROR_BAD_NETPATH, 0},
      {"\\\\LOCKED01\\pipe\\vornixw01", PipeMisbehaviour::None, FALSE, ERROR_ACCESS_DENIED, 0},
      {"SRV01\\pipe\\vornixw01", PipeMisbehaviour::None, FALSE, ERROR_INVALID_NAME, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + std::string(" ") + std::to_string(static_cast<int>(c.misbehaviour)));
    support::PipeScript script;
    script.misbehaviour = c.misbehaviour;
    support::FakePipeAgent agent("SRV01", "vornixw01", script);
    ASSERT_TRUE(agent.serving()) << agent.error();
    BYTE request[10] = {1, 'T'};
    std::vector<BYTE> reply(580, 0xCC);
    DWORD read = 99;
    SetLastError(0);
    std::u16string name = wide(c.name);
    BOOL result = CallNamedPipeW(name.c_str(), request, sizeof request, reply.data(), 580, &read, 1);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(result ? 0u : GetLastError(), c.error);
    EXPECT_EQ(read, c.read);
    std::vector<uint8_t> sent = support::pipe_statistics(script);
    EXPECT_EQ(std::vector<BYTE>(reply.begin(), reply.begin() + c.read),
              std::vector<BYTE>(sent.begin(), sent.begin() + c.read));
  }
}

}  // namespace
