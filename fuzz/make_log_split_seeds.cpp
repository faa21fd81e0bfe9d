// Writes the seed corpus of the log splitting target into a folder: one small
// file per record family, and files with each kind of damage.
#include <cstdio>
#include <string>

#include "sim/logwriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_log_split_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const support::LogWriter& log, const std::string& name) {
    if (!log.save(folder + "/" + name)) {
      std::perror((folder + "/" + name).c_str());
      ++failures;
    }
  };

  const uint32_t one_of_each[] = {0xFF330002, 0x81000001, 0x82000011, 0xFACC0011, 0xE4001001,
                                  0xE4002000, 0xE8002000, 0xE8001000, 0xE8004000};
  for (uint32_t type : one_of_each) {
    support::LogWriter log;
    log.append(support::sample_encoded_record(type, type & 0xFF));
    char name[32];
    std::snprintf(name, sizeof name, "record_%08X", type);
    save(log, name);
  }

  support::LogWriter garbage;
  garbage.append(support::sample_encoded_record(0xE4082000, 1));
  garbage.add_garbage(5, 2);
  garbage.append(support::sample_encoded_record(0xE8004000, 3));
  garbage.add_garbage(300, 4);
  garbage.append(support::sample_encoded_record(0x82000055, 5));
  save(garbage, "garbage_runs");

  support::LogWriter cut;
  cut.append(support::sample_encoded_record(0xE8001000, 1));
  cut.add_cut(support::sample_encoded_record(0x81000071, 2), 900);
  save(cut, "cut_record");

  support::LogWriter overlong;
  overlong.append(support::sample_encoded_record(0xE4001001, 1));
  overlong.add_overlong(0xFACC0011, 180000);
  overlong.append(support::sample_encoded_record(0xE4004000, 2));
  save(overlong, "overlong_length");

  support::LogWriter partial;
  partial.append(support::sample_encoded_record(0x81000033, 1));
  partial.add_partial_header(0xFF330001, 5);
  save(partial, "partial_header");

  support::LogWriter empty_body;
  empty_body.append(support::encode_raw_record(0x82000044, {}));
  empty_body.append(support::encode_raw_record(0xE4002000, std::vector<uint8_t>(3000, 0x41)));
  save(empty_body, "short_bodies");

  support::LogWriter name;
  std::string text = support::log_file_name("x", "FS1", 2016, 3, 7);
  name.append(std::vector<uint8_t>(text.begin(), text.end()));
  save(name, "file_name");
  return failures ? 1 : 0;
}
