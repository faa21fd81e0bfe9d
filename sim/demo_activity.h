// Generated audit activity for the demo world: per tracking profile and day,
// one log file of varied, plausible records (people, workstations, shares,
// files, directory objects, policies) with event times spread over that
// local day, written by the log writer into the server's log share.
//
//   support::DemoActivity a = support::add_demo_activity(world, "SRV01", std::time(nullptr));
//   // machines/SRV01/shares/VNXLOGS$/vnxlogs/Logons_SRV01e_December062026.vnx, ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/logwriter.h"
#include "sim/world_builder.h"

namespace support {

constexpr char kDemoLogShare[] = "VNXLOGS$";
constexpr int kDemoActivityDays = 4;

// The tracking profiles of the demo servers; their names are the file prefixes.
enum class DemoProfile { Logons, Shares, FailedLogons, DirectoryChanges, GroupPolicy };
constexpr DemoProfile kDemoProfiles[] = {DemoProfile::Logons, DemoProfile::Shares, DemoProfile::FailedLogons,
                                         DemoProfile::DirectoryChanges, DemoProfile::GroupPolicy};
const char* demo_profile_name(DemoProfile profile);

// One day's log of one profile, in memory.
struct DemoDayLog {
  LogWriter log;
  std::vector<uint32_t> row_times;  // the event time of every report row, in file order
};

// One record per event time (written in time order); the seed picks who did what.
DemoDayLog make_demo_day_log(DemoProfile profile, const std::string& server, std::vector<uint32_t> event_times,
                             uint32_t seed);

struct DemoLogFile {
  std::string path;  // in the world folder
  DemoProfile profile;
  std::vector<uint32_t> row_times;  // the event time of every report row, in file order
};

struct DemoActivity {
  std::string folder;  // the server's vnxlogs folder in the world
  std::vector<DemoLogFile> files;
  size_t rows() const;
};

// The accounts and groups the demo activity names (groups lie in OU=Groups),
// for the demo domain's directory.
struct DemoAccount {
  const char* sam;
  const char* name;  // the entry is CN=<name>,OU=<ou>,DC=brightmere,DC=local
  const char* ou;
};
std::vector<DemoAccount> demo_accounts();
std::vector<std::string> demo_groups();

// Gives the server a log share with `days` days of activity up to `now`
// (seconds since 1970; today's events end at now), local dates after the C
// runtime's time zone, and points its ReportPath value at the share.
DemoActivity add_demo_activity(WorldBuilder& world, const std::string& server, uint64_t now,
                               int days = kDemoActivityDays);

// SRV01 (127.0.0.2), a server the console knows, with the demo activity up to now on the world's clock.
DemoActivity add_known_demo_server(WorldBuilder& world, uint64_t now);

}  // namespace support
