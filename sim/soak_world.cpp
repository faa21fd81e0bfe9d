#include "sim/soak_world.h"

#include <filesystem>
#include <stdexcept>

#include "sim/logwriter.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace support {
namespace {

constexpr uint32_t kDay = 86400;
const std::string kProduct = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

// "hex(7):" data of a multi-string of one name.
std::string multi_string_hex(const std::string& name) {
  static const char digits[] = "0123456789abcdef";
  std::string utf16;
  for (char c : name + std::string(2, '\0')) utf16 += std::string{c, '\0'};
  std::string out;
  for (unsigned char c : utf16) {
    if (!out.empty()) out += ',';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

void make_soak_world(WorldBuilder& world, const std::string& files_folder, uint64_t* file_bytes) {
  world.add_machine("SRV01", "127.0.0.2");
  world.add_machine("MAILHOST", "127.0.0.9");
  world.add_registry_text(
      "SRV01", "HKLM",
      kProduct + "]\r\n\"ReportPath\"=\"VNXLOGS$\"\r\n\"SMTP Server\"=\"MAILHOST\"\r\n\"SMTP Port\"=dword:00000019\r\n"
                 "\"SMTP Send As\"=\"vornix@brightmere.local\"\r\n\r\n" +
          kProduct + "\\Reports]\r\n\r\n" + kProduct + "\\Reports\\Graphs]\r\n\r\n" + kProduct +
          "\\Reports\\Graphs\\Nightly]\r\n\"DisableFlag\"=dword:00000000\r\n\"LastXDays\"=dword:0000001e\r\n"
          "\"Emails\"=hex(7):" + multi_string_hex("audit@brightmere.local") + "\r\n\r\n");
  world.set_clock_start(kSoakNow);

  // Every record inside the window: the files are named after the 21 days before now.
  fs::create_directories(files_folder);
  const std::string original = files_folder + "/soak.vnx";
  if (!fs::exists(original)) {
    LogWriter log;
    for (uint32_t i = 0; i < kSoakRecordsPerFile; ++i) {
      FileLogRecord r = sample_file_record(0xFF330001, i % 1000);
      r.event_time = kSoakNow - 20 * kDay + i;
      log.add(r);
    }
    if (!log.save(original + ".part")) throw std::runtime_error("cannot write " + original);
    fs::rename(original + ".part", original);
  }
  *file_bytes = fs::file_size(original);
  const std::string share = world.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs";
  fs::create_directories(share);
  for (int day = 0; day < kSoakFiles; ++day) {
    time_t t = static_cast<time_t>(kSoakNow - static_cast<uint32_t>(day) * kDay);
    struct tm utc;
    gmtime_r(&t, &utc);
    fs::create_hard_link(original, share + "/" + log_file_name("SOAK", "SRV01", utc.tm_year + 1900, utc.tm_mon + 1,
                                                                 utc.tm_mday));
  }
}

}  // namespace support
