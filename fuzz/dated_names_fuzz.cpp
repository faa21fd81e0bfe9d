// Reads arbitrary bytes as a file name of a folder listing (up to 259
// characters, cut at a NUL) and dates it the two ways the console does: as a
// registry archive "*.savekey" (the parts around a month name) and as an
// activity log (prefix, server, nominal time and the date part its row shows).
// Every text stays inside its buffer; a date found is made of the name's own
// parts; a log name's nominal time is 22:00 local time of the date it spells,
// in a time zone with daylight saving time.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "config/definition_copy.h"
#include "host/text.h"
#include "reports/log_files.h"
#include "reports/log_format.h"

namespace {

constexpr size_t kFileNameChars = 260;    // WIN32_FIND_DATAA::cFileName
constexpr size_t kArchiveDateBytes = 80;  // the archive list's date cell
constexpr char kGuard = '\x5A';

template <size_t N>
void check_text(const char (&text)[N]) {
  if (strnlen(text, N) >= N) std::abort();
}

// Every blank-separated word of the date is a part of the name.
void check_archive_date(const char* name) {
  char date[kArchiveDateBytes + 8];
  std::memset(date, kGuard, sizeof date);
  archive_date(name, date, kArchiveDateBytes);
  if (strnlen(date, kArchiveDateBytes) >= kArchiveDateBytes) std::abort();
  for (size_t i = kArchiveDateBytes; i < sizeof date; ++i)
    if (date[i] != kGuard) std::abort();
  char words[kArchiveDateBytes];
  std::memcpy(words, date, sizeof words);
  for (char* word = std::strtok(words, " "); word; word = std::strtok(nullptr, " "))
    if (std::strstr(name, word) == nullptr) std::abort();
}

void check_log_name(const char* name) {
  LogFileName parsed;
  BOOL ok = parse_log_file_name(name, &parsed);
  check_text(parsed.prefix);
  check_text(parsed.server);
  char date[kLogRowDateBytes + 8];
  std::memset(date, kGuard, sizeof date);
  log_name_date(name, parsed, date, kLogRowDateBytes);
  if (strnlen(date, kLogRowDateBytes) >= kLogRowDateBytes) std::abort();
  for (size_t i = kLogRowDateBytes; i < sizeof date; ++i)
    if (date[i] != kGuard) std::abort();
  if (!ok) return;
  // The name, past any folder part, begins with the prefix, an underscore and the server.
  const char* file = std::strrchr(name, '\\') ? std::strrchr(name, '\\') + 1 : name;
  size_t prefix = std::strlen(parsed.prefix), server = std::strlen(parsed.server);
  if (std::strncmp(file, parsed.prefix, prefix) != 0 || file[prefix] != '_' ||
      std::strncmp(file + prefix + 1, parsed.server, server) != 0)
    std::abort();
  // The nominal time, back in the local calendar, spells the date part of the row at 22:00.
  std::time_t nominal = parsed.nominal_time;
  std::tm local;
  if (localtime_r(&nominal, &local) == nullptr || local.tm_hour != kLogNominalHour || local.tm_min != 0) std::abort();
  char spelled[40];
  std::strftime(spelled, sizeof spelled, "%B%d%Y", &local);
  if (!equal_ignoring_case(spelled, date)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "Europe/London", 1);
  tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char name[kFileNameChars];
  size_t length = size < sizeof name - 1 ? size : sizeof name - 1;
  std::memcpy(name, data, length);
  name[length] = '\0';
  check_archive_date(name);
  check_log_name(name);
  return 0;
}
