// The largest quick report there is, for the soak test and its benchmark: a
// scheduled quick report of SRV01 (the last 30 days, at most 2,048,000 rows)
// over more file-system records than that, run unattended through the list
// event that starts it. One log file is written and linked under a name of
// its own for each further day, so the share holds 2.15 million records in
// the disk space of one file.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/world_builder.h"

namespace support {

constexpr uint32_t kSoakNow = 1796551200;          // 2026-12-06 10:00 UTC, the world's clock
constexpr uint32_t kSoakRecordsPerFile = 102401;
constexpr int kSoakFiles = 21;                      // 2,150,421 records, one day a file
constexpr uint32_t kSoakScheduledMaximum = 2048000;

// SRV01 with its log share, mail settings naming MAILHOST (where no server listens: the report's mail
// fails at once) and an enabled scheduled graphical activity profile of the last 30 days with one
// address. The log files go into `files_folder` (kept between runs when it already holds them) and
// are linked into the share. The world's clock starts at kSoakNow. The bytes of one file in *file_bytes.
void make_soak_world(WorldBuilder& world, const std::string& files_folder, uint64_t* file_bytes);

}  // namespace support
