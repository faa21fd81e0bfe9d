// Writes the seed corpus of the log decoding and column text targets into a
// folder: a file per record, for every type code, every action code the reader
// names and every logon event, entries of every GPO section, a few events of
// each demo profile, and files with each kind of damage. Seeds are kept small
// (a record or a few), so that the fuzzers' inputs start small and each run
// is quick.
#include <cstdio>
#include <string>
#include <vector>

#include "reports/log_reader.h"
#include "sim/demo_activity.h"
#include "sim/logwriter.h"

namespace {

constexpr size_t kMaxSeedBytes = 32768;  // a seed above this is reported as large

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_log_decode_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const support::LogWriter& log, const std::string& name) {
    if (log.size() > kMaxSeedBytes) std::fprintf(stderr, "make_log_decode_seeds: %s is large\n", name.c_str());
    if (!log.save(folder + "/" + name)) {
      std::perror((folder + "/" + name).c_str());
      ++failures;
    }
  };

  char name[64];
  // Every type code.
  for (const LogRecordType& type : kLogRecordTypes) {
    support::LogWriter log;
    log.append(support::sample_encoded_record(type.code, type.code & 0xFFF));
    std::snprintf(name, sizeof name, "type_%08X", type.code);
    save(log, name);
  }

  // File records with every action, on files and on folders, blocked or not.
  for (int variant = 0; variant < 4; ++variant) {
    uint32_t seed = 1;
    for (const FileActionEntry& action : kFileActions) {
      FileLogRecord r = support::sample_file_record(variant & 1 ? 0xFF330002 : 0xFF330001, seed++);
      r.action = action.code;
      r.folder = variant & 1;
      r.blocked = variant >> 1;
      r.ace_type = static_cast<BYTE>(seed % 2 ? 0x33 : seed % 5);
      if (action.code == kActionDenyOpen) r.access_mask = 0xC0000022;
      support::LogWriter log;
      log.add(r);
      std::snprintf(name, sizeof name, "file_action_%08X_%d", action.code, variant);
      save(log, name);
    }
  }

  // Logon events, with failure codes that the failure column names and some it does not.
  {
    const uint32_t codes[] = {0, 0xC000006A, 0xC0000234, 0x18, 0x25, 0x12345678};
    uint32_t seed = 1;
    for (const LogonEventEntry& event : kLogonEvents) {
      LogonLogRecord r = support::sample_logon_record(event.event, seed);
      r.secondary_code = codes[seed % 6];
      if (event.event == 0x81000033) r.total_seconds = codes[(seed + 1) % 6];
      if (seed % 4 == 0) r.event_time = 0;  // time from the logon SYSTEMTIME instead
      ++seed;
      support::LogWriter log;
      log.add(r);
      std::snprintf(name, sizeof name, "logon_%08X", event.event);
      save(log, name);
    }
  }

  // Directory actions, with the attributes that get a comment.
  {
    const char* attributes[][3] = {{"userAccountControl", "66050", "512"},
                                   {"lastLogon", "134100000000000000", "0"},
                                   {"member", "CN=Jane Smith,OU=Finance,DC=brightmere,DC=local", ""}};
    uint32_t seed = 1;
    for (const DirectoryActionEntry& action : kDirectoryActions) {
      DirectoryLogRecord r = support::sample_directory_record(0xFACC0011, seed);
      r.action = action.code;
      const auto& a = attributes[seed % 3];
      std::snprintf(r.attribute, sizeof r.attribute, "%s", a[0]);
      std::snprintf(r.new_value, sizeof r.new_value, "%s", a[1]);
      std::snprintf(r.old_value, sizeof r.old_value, "%s", a[2]);
      if (seed % 2) r.requester_sam[0] = '\0';
      ++seed;
      support::LogWriter log;
      log.add(r);
      std::snprintf(name, sizeof name, "directory_action_%08X", action.code);
      save(log, name);
    }
  }

  // GPO value entries of every section and change entries of every section code.
  {
    support::LogWriter values;
    values.add(support::sample_gpo_directory_value_record(0xE8004000, 1), support::sample_value_entries(10, 1));
    save(values, "gpo_value_entries");
    support::LogWriter changes;
    changes.add(support::sample_gpo_file_change_record(0xE4082000, 2), support::sample_change_entries(12, 2));
    save(changes, "gpo_change_entries");
  }

  // A few events of each demo profile.
  std::vector<uint32_t> times;
  for (uint32_t i = 0; i < 4; ++i) times.push_back(1796515200u + i * 3001u);
  uint32_t seed = 7;
  for (support::DemoProfile profile : support::kDemoProfiles) {
    support::DemoDayLog day = support::make_demo_day_log(profile, "SRV01", times, seed++);
    std::string demo = std::string("demo_") + support::demo_profile_name(profile);
    for (char& c : demo)
      if (c == ' ') c = '_';
    save(day.log, demo);
  }

  // Damage.
  support::LogWriter damaged;
  damaged.append(support::sample_encoded_record(0xFF330002, 1));
  damaged.add_garbage(7, 2);
  damaged.append(support::sample_encoded_record(0x82000022, 3));
  damaged.add_garbage(400, 4);
  damaged.append(support::sample_encoded_record(0xE8002000, 5));
  damaged.add_cut(support::sample_encoded_record(0xFACC0011, 6), 3000);
  save(damaged, "garbage_and_cut");
  support::LogWriter overlong;
  overlong.append(support::sample_encoded_record(0xE4004000, 1));
  overlong.add_overlong(0x81000001, 180000);
  save(overlong, "overlong_length");
  support::LogWriter partial;
  partial.append(support::sample_encoded_record(0xE8001000, 1));
  partial.add_partial_header(0x82000044, 6);
  save(partial, "partial_header");
  support::LogWriter empty_bodies;
  empty_bodies.append(support::encode_raw_record(0x81000002, {}));
  empty_bodies.append(support::encode_raw_record(0xE8004000, std::vector<uint8_t>(3900, 0xFF)));
  empty_bodies.append(support::encode_raw_record(0xE4002000, std::vector<uint8_t>(2800, 0x01)));
  save(empty_bodies, "short_bodies");
  return failures ? 1 : 0;
}
