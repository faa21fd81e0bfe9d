// The time-zone refresh: the local UTC offset and daylight flags that report
// times are shown with. Run before list and text events are handled. File
// times are turned into seconds since 1970, UTC or local with that offset.
#include <ctime>

#include "host/host.h"

namespace {

constexpr uint64_t kFileTimeTo1970 = 116444736000000000ull;

int64_t unix_seconds(const FILETIME& time) {
  uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks <= kFileTimeTo1970 ? 0 : static_cast<int64_t>((ticks - kFileTimeTo1970) / 10000000ull);
}

uint32_t clamp_seconds(int64_t seconds) {
  if (seconds < 0) return 0;
  return seconds > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(seconds);
}

}  // namespace

uint32_t file_time_seconds(const FILETIME& time) { return clamp_seconds(unix_seconds(time)); }

uint32_t local_file_time_seconds(const FILETIME& time) {
  int64_t seconds = unix_seconds(time);
  return seconds == 0 ? 0 : clamp_seconds(seconds - g_library.utc_offset);
}

uint32_t current_seconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return file_time_seconds(now);
}

void refresh_time_zone() {
  TIME_ZONE_INFORMATION tz;
  DWORD zone = GetTimeZoneInformation(&tz);
  LONG offset;
  if (zone != TIME_ZONE_ID_DAYLIGHT) {
    g_library.daylight = 0;
    offset = (tz.Bias + tz.StandardBias) * 60;
  } else {
    time_t now = current_seconds();
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
