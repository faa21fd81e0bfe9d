// Writes the seed corpus of the directory values target into a folder: the
// values a domain's directory holds for the attributes the display treats
// apart (security identifiers, GUIDs, password ages, lockout settings,
// account expiry, logon hours, security descriptors), strings, times and the
// other value types, each with the text a report row recorded for it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Indexes into the target's attribute table.
enum Attribute : uint8_t {
  kObjectGuid = 0,
  kObjectSid = 1,
  kSidHistory = 2,
  kLockoutThreshold = 3,
  kUsnCreated = 4,
  kMinPwdAge = 9,
  kMaxPwdAge = 10,
  kLockoutDuration = 11,
  kAccountExpires = 13,
  kPwdLastSet = 14,
  kObjectClass = 15,
  kSecurityDescriptor = 16,
  kLogonHours = 17,
  kDescription = 18,
  kOther = 19
};
constexpr uint8_t kFullDisplay = 0xFF;

std::vector<uint8_t> text_bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_ads_values_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0, number = 0;
  auto save = [&](uint8_t attribute, uint8_t type, uint8_t display, const std::vector<uint8_t>& value,
                  const std::string& recorded) {
    std::vector<uint8_t> input = {attribute, type, display, static_cast<uint8_t>(recorded.size())};
    input.insert(input.end(), value.begin(), value.end());
    input.insert(input.end(), recorded.begin(), recorded.end());
    std::string path = folder + "/value_" + std::to_string(number++);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(input.data(), 1, input.size(), file) == input.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
      std::perror(path.c_str());
      ++failures;
    }
  };

  // S-1-5-21-1004336348-1177238915-682003330-512 and S-1-5-32-544.
  const std::vector<uint8_t> domain_sid = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,    0, 0, 0xDC, 0xF4,
                                           0xDC, 0x3B, 0x83, 0x3D, 0x2B, 0x46, 0x82, 0x8B, 0xA6, 0x28, 0, 2, 0,    0};
  const std::vector<uint8_t> builtin_sid = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  save(kObjectSid, 8, kFullDisplay, domain_sid, "S-1-5-21-1004336348-1177238915-682003330-512");
  save(kSidHistory, 8, 40, builtin_sid, "S-1-5-32-544");
  const std::vector<uint8_t> guid = {0x2C, 0x8B, 0x5A, 0xBF, 0x1A, 0x4E, 0xC2, 0x4C,
                                     0x9D, 0xE0, 0x3A, 0x7B, 0x11, 0x20, 0x0F, 0xAA};
  save(kObjectGuid, 8, kFullDisplay, guid, "{BF5A8B2C-4E1A-4CC2-9DE0-3A7B11200FAA}");
  save(kLogonHours, 8, kFullDisplay, std::vector<uint8_t>(21, 0xFF), "");
  // A self-relative security descriptor: owner and group, no lists.
  std::vector<uint8_t> descriptor = {1, 0, 0x04, 0x80, 20, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  descriptor.insert(descriptor.end(), builtin_sid.begin(), builtin_sid.end());
  descriptor.insert(descriptor.end(), builtin_sid.begin(), builtin_sid.end());
  save(kSecurityDescriptor, 25, kFullDisplay, descriptor, "<ADSTYPE_NT_SECURITY_DESCRIPTOR>");

  save(kMaxPwdAge, 10, kFullDisplay, text_bytes("-36288000000000"), "42 days");
  save(kMinPwdAge, 10, 8, text_bytes("-864000000000"), "1 days");
  save(kLockoutDuration, 10, kFullDisplay, text_bytes("-18000000000"), "");
  save(kLockoutDuration, 10, kFullDisplay, text_bytes("-9223372036854775808"), "<not set>");
  save(kAccountExpires, 10, kFullDisplay, text_bytes("9223372036854775807"), "<never>");
  save(kPwdLastSet, 10, kFullDisplay, text_bytes("134100000000000000"), "134100000000000000");
  save(kPwdLastSet, 10, 20, text_bytes("-1"), "");
  save(kUsnCreated, 10, kFullDisplay, text_bytes("4294967298"), "2");
  save(kLockoutThreshold, 7, kFullDisplay, text_bytes("0"), "<not set>");
  save(kLockoutThreshold, 7, 12, text_bytes("5"), "5 invalid logon attempts");
  save(kOther, 9, kFullDisplay, text_bytes("20261207101500.0Z"), "December 7, 2026 10:15 (UTC)");
  save(kOther, 6, kFullDisplay, text_bytes("TRUE"), "TRUE");
  save(kDescription, 3, kFullDisplay, text_bytes("Payroll clerks \xC3\xA9quipe"), "Payroll clerks \xE9quipe");
  save(kOther, 1, 30, text_bytes("CN=Jane Smith,OU=Finance,DC=brightmere,DC=local"),
       "CN=Jane Smith,OU=Finance,DC=brightmere,DC=local");
  save(kObjectClass, 3, kFullDisplay, text_bytes("user"), "USER");
  save(kOther, 27, kFullDisplay, text_bytes("B:8:0123ABCD:CN=Admins,DC=brightmere,DC=local"), "");
  save(kOther, 11, kFullDisplay, {'J', 0, 'a', 0, 'n', 0, 'e', 0}, "First Name: Jane");
  save(kObjectClass, 12, kFullDisplay, {'g', 0, 'r', 0, 'o', 0, 'u', 0, 'p', 0}, "group");
  save(kOther, 15, kFullDisplay, {'C', 0, ':', 0, 'u', 0, 's', 0, 'e', 0, 'r', 0, 's', 0}, "C:\\users");
  save(kOther, 0, kFullDisplay, {}, "<ADSTYPE_INVALID>");
  save(kOther, 26, 4, {}, "");
  return failures ? 1 : 0;
}
