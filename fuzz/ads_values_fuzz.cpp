// Arbitrary bytes as one directory value: the LDAP provider types it as the
// schema's attributeSyntax says (strings, booleans, integers, large integers,
// times, octet strings, security descriptors, DN-with forms), or it is one of
// the other ADSI value types the display knows (provider-specific, object
// class, path). Its display text is made for the attribute the input names,
// into a buffer of a size the input chooses, and it is compared with a
// recorded value text as the rollback compares it.
//
// Input: attribute choice, type choice, display buffer choice, length n of the
// recorded text; then the value's bytes, and the recorded text in the last n.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adsi/directory_connection.h"
#include "directory/directory.h"

namespace {

// The attributes the display and the rollback treat apart, and one that nothing does.
constexpr const char* kAttributes[] = {
    "objectGUID", "objectSid", "sidHistory", "lockoutThreshold", "usncreated", "usnChanged", "usnlastobjrem",
    "forcelogoff", "modifiedCount", "minPwdAge", "maxpwdage", "lockoutDuration", "lockoutObservationWindow",
    "accountExpires", "pwdLastSet", "objectClass", "nTSecurityDescriptor", "logonHours", "description",
    "extensionAttribute1"};
constexpr size_t kHeaderBytes = 4;
constexpr char kGuard = '\x5A';
constexpr size_t kGuardBytes = 32;

// The types the LDAP provider gives attributes, by the schema's attributeSyntax.
bool provider_type(DWORD type) {
  switch (type) {
    case ADSTYPE_DN_STRING:
    case ADSTYPE_CASE_EXACT_STRING:
    case ADSTYPE_CASE_IGNORE_STRING:
    case ADSTYPE_PRINTABLE_STRING:
    case ADSTYPE_NUMERIC_STRING:
    case ADSTYPE_BOOLEAN:
    case ADSTYPE_INTEGER:
    case ADSTYPE_OCTET_STRING:
    case ADSTYPE_UTC_TIME:
    case ADSTYPE_LARGE_INTEGER:
    case ADSTYPE_NT_SECURITY_DESCRIPTOR:
    case ADSTYPE_DN_WITH_BINARY:
    case ADSTYPE_DN_WITH_STRING:
      return true;
    default:
      return false;
  }
}

// Wide text of the bytes taken two at a time, terminated.
std::u16string wide_units(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  return text.substr(0, text.find(u'\0'));
}

void check_display(const char* attribute, DWORD type, const ADSVALUE& value, size_t size) {
  static char out[kDirectoryPathBytes + kGuardBytes];
  std::memset(out, kGuard, sizeof out);
  FormatAdsValue(out, size, attribute, type, value);
  if (strnlen(out, size) >= size) std::abort();
  for (size_t i = size; i < sizeof out; ++i)
    if (out[i] != kGuard) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const char* attribute = kAttributes[data[0] % (sizeof kAttributes / sizeof kAttributes[0])];
  const DWORD type = data[1] & 0x1F;
  const size_t display = data[2] == 0xFF ? kDirectoryPathBytes : 1 + data[2];
  const size_t rest = size - kHeaderBytes;
  const size_t text_bytes = std::min<size_t>(data[3], rest);
  const uint8_t* bytes = data + kHeaderBytes;
  const size_t value_bytes = rest - text_bytes;
  std::string recorded(reinterpret_cast<const char*>(bytes + value_bytes), text_bytes);
  recorded = recorded.substr(0, recorded.find('\0'));

  // The value in a block of its own, as the provider hands it over: the bytes exactly as long as they are.
  void* block = adsi::new_block(sizeof(ADSVALUE) + sizeof(ADS_PATH));
  auto* value = static_cast<ADSVALUE*>(block);
  if (provider_type(type)) {
    std::string copy(reinterpret_cast<const char*>(bytes), value_bytes);  // as the provider reads it
    berval v = {copy.size(), copy.data()};
    adsi::convert_value(block, static_cast<ADSTYPE>(type), v, value);
  } else {
    value->dwType = static_cast<ADSTYPE>(type);
    if (type == ADSTYPE_PROV_SPECIFIC) {
      auto* copy = static_cast<LPBYTE>(adsi::block_part(block, value_bytes));
      std::memcpy(copy, bytes, value_bytes);
      value->ProviderSpecific.dwLength = static_cast<DWORD>(value_bytes);
      value->ProviderSpecific.lpValue = copy;
    } else if (type == ADSTYPE_OBJECT_CLASS) {
      value->ClassName = adsi::block_text(block, wide_units(bytes, value_bytes));
    } else if (type == ADSTYPE_PATH) {
      auto* path = reinterpret_cast<ADS_PATH*>(value + 1);
      size_t half = value_bytes / 2 & ~size_t{1};
      path->VolumeName = adsi::block_text(block, wide_units(bytes, half));
      path->Path = adsi::block_text(block, wide_units(bytes + half, value_bytes - half));
      value->pPath = path;
    }
  }
  // The attribute's type, as the schema gives it, goes with each of its values.
  check_display(attribute, type, *value, display);
  ads_value_matches(attribute, type, *value, recorded.c_str());
  adsi::free_block(block);
  return 0;
}
