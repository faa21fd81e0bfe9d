// Display texts of directory attribute values, by value type and, for a few
// attributes, by what the attribute means.
#include "directory/directory.h"

#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/host.h"
#include "host/text.h"

namespace {

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

const char* month_name(WORD month) { return month >= 1 && month <= 12 ? kMonths[month - 1] : "?"; }

bool named(const char* attribute, const char* name) { return attribute && equal_ignoring_case(attribute, name); }

// Whether the value holds the whole SID its header describes (8 bytes, then 4 per sub-authority):
// IsValidSid and ConvertSidToStringSidW read as far as the header says.
bool holds_sid(const ADS_OCTET_STRING& octets) {
  constexpr DWORD kSidHeaderBytes = 8;
  return octets.lpValue != nullptr && octets.dwLength >= kSidHeaderBytes &&
         octets.dwLength >= kSidHeaderBytes + 4 * DWORD{octets.lpValue[1]};
}

void octet_text(char* out, size_t size, const char* attribute, const ADS_OCTET_STRING& octets) {
  if (named(attribute, "objectGUID") && octets.dwLength == sizeof(GUID)) {
    GUID guid;
    std::memcpy(&guid, octets.lpValue, sizeof guid);
    WCHAR text[40];
    if (StringFromGUID2(guid, text, 40) > 0) {
      from_wide(text, out, size);
      return;
    }
  }
  if (named(attribute, "objectSid") || named(attribute, "sidHistory")) {
    LPWSTR text = nullptr;
    if (holds_sid(octets) && IsValidSid(octets.lpValue) && ConvertSidToStringSidW(octets.lpValue, &text)) {
      from_wide(text, out, size);
      LocalFree(text);
      return;
    }
  }
  std::snprintf(out, size, "<Value of type Octet String. No Conversion>size=%u", static_cast<unsigned>(octets.dwLength));
}

void large_integer_text(char* out, size_t size, const char* attribute, const LARGE_INTEGER& value) {
  auto low = static_cast<uint32_t>(static_cast<uint64_t>(value.QuadPart));
  auto high = static_cast<int32_t>(static_cast<uint64_t>(value.QuadPart) >> 32);
  for (const char* counter : {"usncreated", "usnchanged", "usnlastobjrem", "forcelogoff", "modifiedCount"}) {
    if (named(attribute, counter)) {
      std::snprintf(out, size, "%u", low);
      return;
    }
  }
  if (named(attribute, "minpwdage") || named(attribute, "maxpwdage")) {
    // One unit of the high word is 2^32 x 100 ns, about 429.5 seconds: 201 of them make a day.
    std::snprintf(out, size, "%d days", static_cast<int>(~high) / 201);
    return;
  }
  if (named(attribute, "lockoutduration") || named(attribute, "lockoutObservationWindow")) {
    if (high == -5) copy_text(out, size, "<not set>");
    else std::snprintf(out, size, "??HIGH %d [%xh] LOW [%d] [%xh]", high, static_cast<unsigned>(high),
                       static_cast<int>(low), low);
    return;
  }
  if (low == 0xFFFFFFFFu && (high == 0x7FFFFFFF || high == -1)) {
    copy_text(out, size, "<never>");
    return;
  }
  if (value.QuadPart == 0) {
    copy_text(out, size, "<not set>");
    return;
  }
  FILETIME time = {low, static_cast<DWORD>(high)};
  SYSTEMTIME t;
  if (FileTimeToSystemTime(&time, &t)) {
    std::snprintf(out, size, "%s %d, %d %02d:%02d [utc]", month_name(t.wMonth), t.wDay, t.wYear, t.wHour, t.wMinute);
    return;
  }
  BYTE b[8];
  std::memcpy(b, &value.QuadPart, 8);
  std::snprintf(out, size, "?Unknown Time?[%02x.%02x.%02x.%02x.%02x.%02x.%02x.%02x](64)", b[0], b[1], b[2], b[3], b[4],
                b[5], b[6], b[7]);
}

}  // namespace

void FormatAdsValue(char* out, size_t size, const char* attribute, DWORD type, const ADSVALUE& value) {
  if (size == 0) return;
  out[0] = '\0';
  switch (type) {
    case ADSTYPE_INVALID: copy_text(out, size, "<ADSTYPE_INVALID>"); break;
    case ADSTYPE_DN_STRING:
    case ADSTYPE_CASE_EXACT_STRING:
    case ADSTYPE_CASE_IGNORE_STRING:
    case ADSTYPE_PRINTABLE_STRING:
    case ADSTYPE_NUMERIC_STRING:
    case ADSTYPE_OBJECT_CLASS: from_wide(value.CaseIgnoreString, out, size); break;
    case ADSTYPE_BOOLEAN: copy_text(out, size, value.Boolean ? "TRUE" : "FALSE"); break;
    case ADSTYPE_INTEGER:
      if (named(attribute, "lockoutThreshold") && value.Integer == 0) copy_text(out, size, "<not set>");
      else if (named(attribute, "lockoutThreshold"))
        std::snprintf(out, size, "%d invalid logon attempts", static_cast<int>(value.Integer));
      else std::snprintf(out, size, "%d", static_cast<int>(value.Integer));
      break;
    case ADSTYPE_OCTET_STRING: octet_text(out, size, attribute, value.OctetString); break;
    case ADSTYPE_UTC_TIME:
      std::snprintf(out, size, "%s %d, %d %02d:%02d (UTC)", month_name(value.UTCTime.wMonth), value.UTCTime.wDay,
                    value.UTCTime.wYear, value.UTCTime.wHour, value.UTCTime.wMinute);
      break;
    case ADSTYPE_LARGE_INTEGER: large_integer_text(out, size, attribute, value.LargeInteger); break;
    case ADSTYPE_PROV_SPECIFIC: {
      // The provider's bytes as wide text, bounded by their length.
      WCHAR name[256] = {};
      size_t units = value.ProviderSpecific.dwLength / sizeof(WCHAR);
      if (units > 255) units = 255;
      if (value.ProviderSpecific.lpValue) std::memcpy(name, value.ProviderSpecific.lpValue, units * sizeof(WCHAR));
      char text[256];
      from_wide(name, text, sizeof text);
      std::snprintf(out, size, "First Name: %s", text);
      break;
    }
    case ADSTYPE_PATH: {
      char volume[256] = {}, path[kDirectoryPathBytes] = {};
      if (value.pPath) {
        from_wide(value.pPath->VolumeName, volume, sizeof volume);
        from_wide(value.pPath->Path, path, sizeof path);
      }
      std::snprintf(out, size, "%s\\%s", volume, path);
      break;
    }
    case ADSTYPE_NT_SECURITY_DESCRIPTOR: copy_text(out, size, "<ADSTYPE_NT_SECURITY_DESCRIPTOR>"); break;
    default: std::snprintf(out, size, "<%x--UNRECOGNIZED>", static_cast<unsigned>(type)); break;
  }
}
