// Sets the TZ variable for a scope and puts the previous value back after.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace support {

class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> old_;  // none: TZ was not set
};

}  // namespace support
