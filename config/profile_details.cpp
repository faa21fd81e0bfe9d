// The display fields that describe the selected profile of the profile list.
#include <cstdio>
#include <ctime>

#include "config/profiles.h"
#include "host/text.h"

bool ProfileDetailText(uint32_t id, char* out, size_t size) {
  out[0] = '\0';
  ProfileRow row;
  if (!selected_profile_row(&row)) return false;
  auto true_false = [](DWORD value) { return value ? "TRUE" : "FALSE"; };
  switch (id) {
    case kProfileDetailFirst: copy_text(out, size, row.name); return false;
    case kProfileDetailFirst + 1: {
      const ProfileType* type = profile_type_by_code(row.type);
      copy_text(out, size, type ? type->label : "<not set>");
      return false;
    }
    case kProfileDetailFirst + 2: copy_text(out, size, true_false(row.disabled)); return false;
    case kProfileDetailFirst + 3:
      std::snprintf(out, size, "%u", static_cast<unsigned>(row.alert_count));
      return true;
    case kProfileDetailFirst + 4: copy_text(out, size, true_false(row.excluded)); return false;
    case kProfileDetailFirst + 5: copy_text(out, size, true_false(row.pattern_on)); return false;
    case kProfileDetailFirst + 6: copy_text(out, size, row.created_by[0] ? row.created_by : "<unknown>"); return false;
    case kProfileDetailFirst + 7: {
      // Local time, in the form the report views show dates in.
      time_t seconds = static_cast<time_t>(row.create_date);
      const struct tm* local = row.create_date ? std::localtime(&seconds) : nullptr;
      char text[64];
      if (local == nullptr || std::strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y", local) == 0) {
        copy_text(out, size, "<invalid date>");
        return false;
      }
      // The C library's fixed form pads the day with a blank.
      if (text[8] == '0') text[8] = ' ';
      copy_text(out, size, text);
      return false;
    }
    default: return false;
  }
}
