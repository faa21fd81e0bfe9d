// Writes the seed corpus of the agent statistics target into a folder: the
// VORNIXW and QVAWKQ pipes' replies as the simulated agents send them, whole,
// short, longer than the console's buffer and with a zero start time, and
// the scout agent's values for a server: its statistics of 490 bytes and
// longer, a zero time, and departments empty, long and Latin-1.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/fake_pipe_agent.h"

namespace {

enum Source : uint8_t { kAgentPipe = 0, kSiblingPipe = 1, kScout = 2 };

std::vector<uint8_t> scout(uint32_t time, const std::vector<uint8_t>& stats, const std::string& department) {
  std::vector<uint8_t> out = {kScout};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(time >> (8 * i)));
  out.push_back(static_cast<uint8_t>(stats.size()));
  out.push_back(static_cast<uint8_t>(stats.size() >> 8));
  out.insert(out.end(), stats.begin(), stats.end());
  out.insert(out.end(), department.begin(), department.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_agent_stats_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const std::string& name, const std::vector<uint8_t>& input) {
    std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(input.data(), 1, input.size(), file) == input.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      ++failures;
    }
  };
  auto pipe = [](Source source, std::vector<uint8_t> reply, size_t keep = SIZE_MAX) {
    if (keep < reply.size()) reply.resize(keep);
    reply.insert(reply.begin(), source);
    return reply;
  };

  support::PipeScript script;
  const std::vector<uint8_t> reply = support::pipe_statistics(script);
  save("agent", pipe(kAgentPipe, reply));
  save("agent_short", pipe(kAgentPipe, reply, 60));
  std::vector<uint8_t> longer = reply;
  longer.resize(700, 0x4C);
  save("agent_longer_than_buffer", pipe(kAgentPipe, longer));
  support::PipeScript stopped = script;
  stopped.start_time = 0;
  stopped.versions[2] = 255;
  save("agent_zero_start", pipe(kAgentPipe, support::pipe_statistics(stopped)));
  save("agent_empty", pipe(kAgentPipe, {}));
  save("sibling", pipe(kSiblingPipe, reply));
  save("sibling_short", pipe(kSiblingPipe, reply, 300));

  std::vector<uint8_t> stats(reply.begin(), reply.begin() + 490);
  save("scout", scout(1796540000, stats, "Finance"));
  save("scout_no_time", scout(0, stats, ""));
  std::vector<uint8_t> too_long = reply;
  save("scout_stats_too_long", scout(1796540000, too_long, "Head office"));
  save("scout_long_department", scout(1796540000, std::vector<uint8_t>(stats.begin(), stats.begin() + 100),
                                      std::string(1600, 'D') + "\xC9quipe"));
  return failures ? 1 : 0;
}
