// Writes the seed corpus of one TCP reply target into a folder: the replies of
// its kind as the simulated agents encode them, behind the byte that picks the
// kind's form, whole and with the damage the agents can be told to do.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/fake_agents.h"

namespace {

// The first byte of an input: the kind's first or second form.
enum Form : uint8_t { kFirstForm = 0, kSecondForm = 1 };

std::vector<support::KnownServerEntry> known_servers(size_t count) {
  std::vector<support::KnownServerEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    support::KnownServerEntry& e = entries[i];
    e.name = "SRV" + std::to_string(10 + i);
    e.value = static_cast<uint32_t>(0x7F000002 + i);
    e.text = "Windows Server 2012 R2 Standard, agent 7." + std::to_string(i);
    e.second_value = static_cast<uint32_t>(66 + i);
    e.first_triple[0] = 7;
    e.second_triple[2] = static_cast<uint8_t>(i);
    e.first_byte = 1;
    e.third_value = static_cast<uint32_t>(1796551200 + i);
  }
  return entries;
}

std::vector<support::AlertAgentEntry> alert_agents(size_t count) {
  std::vector<support::AlertAgentEntry> entries(count);
  for (size_t i = 0; i < count; ++i) {
    entries[i].name = "WKS-FIN-0" + std::to_string(i);
    entries[i].text = "Active Alert agent on WKS-FIN-0" + std::to_string(i);
    entries[i].bytes[0] = static_cast<uint8_t>(i);
    entries[i].values[0] = static_cast<uint32_t>(i);
    entries[i].values[2] = 0xFFFFFFFF;
  }
  return entries;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kinds[] = {"status", "servers_known", "alert_agents", "gather"};
  std::string kind = argc == 3 ? argv[2] : "";
  if (std::find(std::begin(kinds), std::end(kinds), kind) == std::end(kinds)) {
    std::fprintf(stderr, "usage: make_tcp_reply_seeds FOLDER status|servers_known|alert_agents|gather\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const std::string& name, Form form, std::vector<uint8_t> reply, size_t keep = SIZE_MAX) {
    if (keep < reply.size()) reply.resize(keep);
    reply.insert(reply.begin(), form);
    std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(reply.data(), 1, reply.size(), file) == reply.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      ++failures;
    }
  };

  if (kind == "status") {
    save("status", kFirstForm, support::status_reply(66, 0));
    save("status_short", kFirstForm, support::status_reply(66, 0), 6);
    save("sibling_status", kSecondForm, support::status_reply(33, 12));
    save("sibling_status_cut", kSecondForm, support::status_reply(45, 12), 14);
  } else if (kind == "servers_known") {
    save("known", kFirstForm, support::known_reply(known_servers(3), 3));
    save("known_count_above_entries", kFirstForm, support::known_reply(known_servers(2), 9));
    std::vector<uint8_t> known_cut = support::known_reply(known_servers(4), 4);
    save("known_cut_mid_entry", kFirstForm, known_cut, known_cut.size() - 500);
    save("known_too_many", kFirstForm, support::known_reply(known_servers(56), 56));
  } else if (kind == "alert_agents") {
    save("alerts", kFirstForm, support::alert_reply(alert_agents(3), 3));
    save("alerts_limit_above_100", kFirstForm, support::alert_reply(alert_agents(2), 101));
    save("alerts_not_allowed", kFirstForm, {0xFC, 0xFC, 0xFC, 0xFC, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<uint8_t> alerts_cut = support::alert_reply(alert_agents(3), 3);
    save("sibling_alerts_cut_mid_entry", kSecondForm, alerts_cut, alerts_cut.size() - 300);
    save("sibling_alerts", kSecondForm, support::alert_reply(alert_agents(1), 1));
  } else {
    support::GatherBlock block;
    block.label = "Head office";
    block.host_name = "SRV01";
    block.text = "Enterprise host of BRIGHTMERE";
    for (int v = 0; v < 10; ++v) block.values[v] = static_cast<uint32_t>(v * 17);
    block.members = {"SRV02", "SRV03", "FS-LONDON-01"};
    std::vector<uint8_t> gather = support::gather_reply(block);
    save("gather", kFirstForm, gather);
    save("gather_member_cut", kFirstForm, gather, gather.size() - 2);
    save("gather_short", kFirstForm, gather, 1000);
  }
  return failures ? 1 : 0;
}
