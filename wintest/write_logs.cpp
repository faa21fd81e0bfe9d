// wintest-logs FOLDER: the hand-picked log files of the Windows test host's
// case and what the Linux build shows for them.
//
// Writes FOLDER/logs/<view>/*.vnx with the project's log writer (a day of
// plausible activity per tracking profile, and a file of every record type
// of the view's families with damaged stretches between them), and
// FOLDER/expected/<view>.csv: the report list that libqvmr7.so fills for
// those files through its exports, as the Windows host fills its own from
// QVMR0007.DLL. Run under TZ=UTC, as the host is, so that both show the
// same local times. FOLDER is then C:\vornix of the Wine prefix.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "reports/log_format.h"
#include "reports/report_views.h"
#include "sim/demo_activity.h"
#include "sim/logwriter.h"
#include "sim/world_builder.h"
#include "wintest/picked_logs.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kDay = 1796515200;  // 2026-12-06 00:00:00 UTC
constexpr char kServer[] = "SRV01";

struct ProfileFile {
  support::DemoProfile profile;
  int view;
};
constexpr ProfileFile kProfileFiles[] = {
    {support::DemoProfile::Shares, 1901},           {support::DemoProfile::Logons, 1902},
    {support::DemoProfile::FailedLogons, 1902},     {support::DemoProfile::DirectoryChanges, 1906},
    {support::DemoProfile::GroupPolicy, 1907},
};

std::string view_folder(const std::string& root, int view) { return root + "/" + std::to_string(view); }

bool save(const support::LogWriter& log, const std::string& path) {
  if (log.save(path)) return true;
  std::perror(path.c_str());
  return false;
}

// A day of a profile's activity: twelve events from 08:00, 47 minutes apart.
bool write_day(const std::string& root, const ProfileFile& file, uint32_t seed) {
  std::vector<uint32_t> times;
  for (uint32_t i = 0; i < 12; ++i) times.push_back(kDay + 8 * 3600 + i * 47 * 60 + seed);
  support::DemoDayLog day = support::make_demo_day_log(file.profile, kServer, times, seed);
  return save(day.log, view_folder(root, file.view) + "/" +
                           support::log_file_name(support::demo_profile_name(file.profile), kServer, 2026, 12, 6));
}

// Every record type whose family the view shows, with garbage and a record cut short between them.
bool write_every_type(const std::string& root, int view) {
  support::LogWriter log;
  uint32_t seed = 1;
  for (const LogRecordType& type : kLogRecordTypes) {
    if (report_view_of_family(type.family)->list != view) continue;
    log.append(support::sample_encoded_record(type.code, seed++));
    if (seed % 5 == 0) log.add_garbage(37 * seed, seed);
    if (seed % 7 == 0) log.add_cut(support::sample_encoded_record(type.code, seed), 300);
  }
  return save(log, view_folder(root, view) + "/" + support::log_file_name("Every Type", kServer, 2026, 12, 5));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wintest-logs FOLDER\n");
    return 2;
  }
  setenv("TZ", "UTC", 1);
  tzset();
  const std::string out = argv[1];
  support::WorldBuilder world;
  world.open();
  // The files lie on the console's drive C, where the Windows host finds them too.
  const std::string logs = world.machine_dir(world.console()) + "/shares/C$/vornix/logs";
  bool written = true;
  for (int view : wintest::kPickedLogViews) {
    fs::create_directories(view_folder(logs, view));
    written = write_every_type(logs, view) && written;
  }
  uint32_t seed = 11;
  for (const ProfileFile& file : kProfileFiles) written = write_day(logs, file, seed++) && written;
  if (!written) return 1;

  host::Library library;
  std::string error;
  if (!host::load_library(host::library_beside_program(), &library, &error)) {
    std::fprintf(stderr, "wintest-logs: %s\n", error.c_str());
    return 1;
  }
  host::ServiceTable table = host::make_service_table();
  // The file lists are filled by the library's listing, linked in and started with the same table.
  if (library.establish_tables(6, table.data()) != 1 || establish_tables(6, table.data()) != 1) {
    std::fprintf(stderr, "wintest-logs: the library refused the host services table\n");
    return 1;
  }
  host::insert_list_images(library);
  fs::create_directories(out + "/expected");
  int status = 0;
  for (int view : wintest::kPickedLogViews) {
    std::string folder = "C:\\vornix\\logs\\" + std::to_string(view) + "\\";
    std::string csv = out + "/expected/" + std::to_string(view) + ".csv";
    error = wintest::write_picked_logs_csv(library, folder, view, csv);
    if (!error.empty()) {
      std::fprintf(stderr, "wintest-logs: %s\n", error.c_str());
      status = 1;
    }
  }
  fs::copy(logs, out + "/logs", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  host::unload_library(&library);
  return status;
}
