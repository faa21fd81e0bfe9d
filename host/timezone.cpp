// The time-zone refresh: the local UTC offset and daylight flags that report
// times are shown with. Run before list and text events are handled. File
// times are turned into local seconds since 1970 with that offset.
#include <ctime>

#include "host/host.h"

namespace {

constexpr uint64_t kFileTimeTo1970 = 116444736000000000ull;

time_t current_unix_time() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<time_t>((ticks - kFileTimeTo1970) / 10000000ull);
}

}  // namespace

uint32_t local_file_time_seconds(const FILETIME& time) {
  uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (ticks <= kFileTimeTo1970) return 0;
  int64_t local = static_cast<int64_t>((ticks - kFileTimeTo1970) / 10000000ull) - g_library.utc_offset;
  if (local < 0) return 0;
  return local > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(local);
}

void refresh_time_zone() {
  TIME_ZONE_INFORMATION tz;
  DWORD zone = GetTimeZoneInformation(&tz);
  LONG offset;
  if (zone != TIME_ZONE_ID_DAYLIGHT) {
    g_library.daylight = 0;
    offset = (tz.Bias + tz.StandardBias) * 60;
  } else {
    time_t now = current_unix_time();
    const struct tm* local = std::localtime(&now);
    if (local != nullptr && local->tm_isdst == 0) {
      // Windows says daylight time, the run-time says not: use the standard
      // offset, two hours later unless the zone lies east of UTC+8:20.
      g_library.daylight = 0;
      offset = (tz.Bias + tz.StandardBias) * 60;
      if (offset >= -30000) offset += 7200;
    } else {
      g_library.daylight = 1;
      offset = (tz.Bias + tz.DaylightBias) * 60;
      if (g_library.daylight_bias_seconds == 65535) g_library.daylight_bias_seconds = tz.DaylightBias * 60;
      if (g_library.daylight_rule == 65535) g_library.daylight_rule = 1;
    }
  }
  g_library.utc_offset = offset;
  if (g_library.first_utc_offset == 0) g_library.first_utc_offset = offset;
}
