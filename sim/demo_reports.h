// The demo world's server configuration: a few settings off their defaults,
// two saved custom reports, one graphical report definition, two scheduled
// activity profiles (one daily, one monthly) and a scheduled graphical one
// that the unattended run mails, and the report runner
// and designer programs in the console's folder.
//
//   support::add_demo_configuration(world, "SRV01");
#pragma once

#include <cstdint>
#include <string>

#include "sim/world_builder.h"

namespace support {

constexpr char kDemoDailySchedule[] = "Morning summary";
constexpr char kDemoMonthlySchedule[] = "Month end";
constexpr char kDemoWeeklyReport[] = "Weekly file activity";
constexpr char kDemoFailedLogonsReport[] = "Failed logons by user";
constexpr char kDemoGraphicalReport[] = "Logons by hour";
constexpr char kDemoGraphicalSchedule[] = "Nightly activity";

// The definition bytes of a demo saved custom report (the same each time for a name).
std::string demo_report_definition(const std::string& name);

// Writes the values and keys into the server's product key; last_run is the daily
// schedule's last run (seconds since 1970 UTC).
void add_demo_configuration(WorldBuilder& world, const std::string& server, uint64_t last_run);

}  // namespace support
