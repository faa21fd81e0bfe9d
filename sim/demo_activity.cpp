// Generated audit activity for the demo world.
#include "sim/demo_activity.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace support {
namespace {

// A small deterministic generator, so that a date and server always give the same files.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 16);
  }
  uint32_t below(uint32_t n) { return n ? next() % n : 0; }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) { return items[below(N)]; }
};

struct Person {
  const char* sam;
  const char* name;
  const char* ou;
  const char* workstation;
  uint8_t ipv4[4];
  uint32_t rid;
};

constexpr Person kPeople[] = {
    {"jsmith", "Jane Smith", "Finance", "WKS-FIN-014", {10, 20, 1, 14}, 1104},
    {"mgarcia", "Miguel Garcia", "Human Resources", "WKS-HR-007", {10, 20, 2, 7}, 1117},
    {"akhan", "Aisha Khan", "Engineering", "LAP-ENG-031", {10, 20, 3, 31}, 1122},
    {"lchen", "Li Chen", "Engineering", "WKS-ENG-022", {10, 20, 3, 22}, 1130},
    {"tnguyen", "Thomas Nguyen", "Sales", "LAP-SALES-05", {10, 20, 4, 5}, 1141},
    {"rokafor", "Ruth Okafor", "Legal", "WKS-LEGAL-02", {10, 20, 5, 2}, 1156},
    {"pbrennan", "Patrick Brennan", "IT", "ADMIN-WS01", {10, 20, 0, 10}, 1009},
    {"svc_backup", "Backup Service", "Service Accounts", "SRV02", {10, 20, 0, 3}, 1201},
};
constexpr const char* kDomain = "BRIGHTMERE";
constexpr const char* kDnsSuffix = "DC=brightmere,DC=local";
constexpr const char* kDomainSid = "S-1-5-21-3623811015-3361044348-30300820";

struct ShareFolder {
  const char* share;
  const char* folder;
  const char* files[4];
};

constexpr ShareFolder kShares[] = {
    {"Finance", "D:\\Shares\\Finance\\Budget 2027", {"Q1 forecast.xlsx", "Cost centres.xlsx", "Board pack.pdf", "Travel claims.csv"}},
    {"Finance", "D:\\Shares\\Finance\\Payroll", {"December payroll.csv", "Bonus schedule.xlsx", "Tax codes.txt", "Pension.xlsx"}},
    {"HR", "D:\\Shares\\HR\\Personnel", {"Staff list.xlsx", "Leave planner.xlsx", "Offer letter template.docx", "Reviews 2026.docx"}},
    {"Engineering", "D:\\Shares\\Engineering\\Designs\\Pump housing", {"housing-rev7.step", "bom.xlsx", "test-report.pdf", "notes.txt"}},
    {"Legal", "D:\\Shares\\Legal\\Contracts", {"Supplier agreement.docx", "NDA Harwick Ltd.pdf", "Lease renewal.docx", "Register.xlsx"}},
};

constexpr const char* kGroups[] = {"Finance Readers", "HR Staff", "Engineering", "Domain Admins", "Contractors"};

// A text into its field, cut to fit.
void text(char* out, size_t size, const char* value) {
  size_t n = strnlen(value, size - 1);
  std::memcpy(out, value, n);
  out[n] = '\0';
}
template <size_t N>
void text(char (&out)[N], const char* value) { text(out, N, value); }

template <size_t A, size_t F, size_t S>
void set_person(const Person& p, char (&account)[A], char (&fqdn)[F], char (&sid)[S]) {
  std::snprintf(account, A, "%s\\%s", kDomain, p.sam);
  std::snprintf(fqdn, F, "CN=%s,OU=%s,%s", p.name, p.ou, kDnsSuffix);
  std::snprintf(sid, S, "%s-%u", kDomainSid, p.rid);
}

// The address fields as a client at this IPv4 address shows them (no IPv6).
void set_address(uint8_t* ipv4, uint8_t* ipv6, const Person& p, bool last_byte_first = false) {
  for (int i = 0; i < 4; ++i) ipv4[i] = last_byte_first ? p.ipv4[3 - i] : p.ipv4[i];
  std::memset(ipv6, 0, 32);
}

// ---- Records by profile -----------------------------------------------------------

void add_logon(LogWriter& log, const std::string& server, uint32_t time, Random& random, bool failed) {
  static const uint32_t kGood[] = {0x82000011, 0x82000011, 0x82000021, 0x82000044, 0x81000001,
                                   0x81000002, 0x81000071, 0x81000072, 0x82000050, 0x81000054};
  static const uint32_t kFailed[] = {0x82000012, 0x82000022, 0x81000033, 0x82000055, 0x81000055};
  static const uint32_t kFailures[] = {0xC000006A, 0xC0000064, 0xC0000234, 0xC0000072, 0x18};
  uint32_t type = failed ? random.pick(kFailed) : random.pick(kGood);
  const Person& p = random.pick(kPeople);
  bool local = is_local_logon_type(type);
  LogonLogRecord r = sample_logon_record(type, random.next() % 1000);
  text(r.profile, failed ? "Failed Logons" : "Logons");
  r.secondary_code = 0;
  if (failed) {
    uint32_t status = random.pick(kFailures);
    if (type == 0x81000033) r.total_seconds = status;
    else r.secondary_code = status;
  } else {
    r.total_seconds = 300 + random.below(8 * 3600);
  }
  set_address(r.ipv4, r.ipv6, p, !local);
  std::memset(r.block, 0, sizeof r.block);
  time_t t = time;
  struct tm utc;
  gmtime_r(&t, &utc);
  r.logon_time = SYSTEMTIME{static_cast<WORD>(utc.tm_year + 1900), static_cast<WORD>(utc.tm_mon + 1),
                            static_cast<WORD>(utc.tm_wday), static_cast<WORD>(utc.tm_mday),
                            static_cast<WORD>(utc.tm_hour), static_cast<WORD>(utc.tm_min),
                            static_cast<WORD>(utc.tm_sec), static_cast<WORD>(random.below(1000))};
  r.event_time = time;
  r.logoff_time = failed ? 0 : time;
  set_person(p, r.account, r.account_fqdn, r.sid);
  text(r.local_text, "");
  if (local) {
    bool remote = random.below(3) == 0;
    std::snprintf(r.station, sizeof r.station, "%s", remote ? "RDP-Tcp#3" : "Console");
    std::snprintf(r.session, sizeof r.session, "%s", remote ? "RDP-Tcp#3" : "Console");
    if (remote) std::snprintf(r.wts_address, sizeof r.wts_address, "%u.%u.%u.%u", p.ipv4[0], p.ipv4[1], p.ipv4[2], p.ipv4[3]);
    else text(r.wts_address, "");
    text(r.logon_domain, kDomain);
    text(r.workstation, server.c_str());
  } else {
    text(r.station, p.workstation);
    text(r.workstation, p.workstation);
  }
  log.add(r);
}

void add_file(LogWriter& log, uint32_t time, Random& random) {
  static const uint32_t kActions[] = {0x01000000, 0x01000000, 0x01000000, 0x20000000, 0x20000000, 0x40000000,
                                      0x10000000, 0x80000000, 0x00100010, 0x00010000, 0x00000010};
  const Person& p = random.pick(kPeople);
  const ShareFolder& s = random.pick(kShares);
  uint32_t action = random.pick(kActions);
  FileLogRecord r = sample_file_record(random.below(4) ? 0xFF330001 : 0xFF330002, random.next() % 1000);
  text(r.profile, "Shares");
  r.action = action;
  r.event_time = time;
  set_person(p, r.account, r.account_fqdn, r.sid);
  text(r.workstation, p.workstation);
  if (r.type == 0xFF330002)
    std::snprintf(r.wts_address, sizeof r.wts_address, "%u.%u.%u.%u", p.ipv4[0], p.ipv4[1], p.ipv4[2], p.ipv4[3] + 100);
  set_address(r.ipv4, r.ipv6, p);
  r.folder = action == 0x40000000 && random.below(5) == 0;
  r.blocked = (action == 0x10000000 || action == 0x00000010) && random.below(3) == 0;
  text(r.folder_path, s.folder);
  text(r.share, s.share);
  const char* name = random.pick(s.files);
  text(r.file_name, r.folder ? "Archive" : name);
  text(r.unused_text, "");
  text(r.new_name, "");
  text(r.trustee_sid, "");
  text(r.trustee_domain, "");
  text(r.trustee_name, "");
  r.access_mask = 0;
  r.inheritance = 0;
  r.ace_type = 0;
  if (action == 0x80000000) {
    std::snprintf(r.new_name, sizeof r.new_name, "%s\\Copy of %s", s.folder, name);
  } else if (action == 0x00100010) {
    const char* group = random.pick(kGroups);
    std::snprintf(r.new_name, sizeof r.new_name, "CN=%s,OU=Groups,%s", group, kDnsSuffix);
    std::snprintf(r.trustee_sid, sizeof r.trustee_sid, "%s-%u", kDomainSid, 2100 + random.below(40));
    text(r.trustee_domain, kDomain);
    text(r.trustee_name, group);
    r.access_mask = random.below(2) ? 0x001200A9 : 0x001301BF;  // read and execute, or modify
    r.inheritance = 3;
  } else if (action == 0x00010000) {
    r.access_mask = 0xC0000022;  // access denied
  }
  log.add(r);
}

void add_directory(LogWriter& log, uint32_t time, Random& random) {
  static const uint32_t kActions[] = {0x00000400, 0x00080400, 0x00080400, 0x00010400, 0x00020400,
                                      0x00000100, 0x00000200, 0x00000800, 0x00001000};
  const Person& admin = kPeople[6];
  const Person& p = random.pick(kPeople);
  uint32_t action = random.pick(kActions);
  DirectoryLogRecord r = sample_directory_record(0xFACC0011, random.next() % 1000);
  text(r.profile, "Directory Changes");
  r.action = action;
  r.event_time = time;
  text(r.object_class, "user");
  std::snprintf(r.object_dn, sizeof r.object_dn, "CN=%s,OU=%s,%s", p.name, p.ou, kDnsSuffix);
  text(r.new_location, "");
  text(r.extra_text, "");
  text(r.new_value, "");
  text(r.old_value, "");
  text(r.attribute, "");
  std::memset(r.values, 0, sizeof r.values);
  switch (action) {
    case 0x00080400:
      text(r.attribute, "userAccountControl");
      text(r.new_value, random.below(2) ? "514" : "66048");
      text(r.old_value, "512");
      break;
    case 0x00000400:
      if (random.below(2)) {
        text(r.attribute, "telephoneNumber");
        text(r.new_value, "+44 20 7946 0321");
      } else {
        text(r.attribute, "title");
        text(r.new_value, "Senior Analyst");
      }
      break;
    case 0x00010400:
    case 0x00020400:
      text(r.object_class, "group");
      std::snprintf(r.object_dn, sizeof r.object_dn, "CN=%s,OU=Groups,%s", random.pick(kGroups), kDnsSuffix);
      text(r.attribute, "member");
      // The member added is the new value; the member removed is the deleted value.
      std::snprintf(action == 0x00010400 ? r.new_value : r.old_value, sizeof r.new_value, "CN=%s,OU=%s,%s", p.name,
                    p.ou, kDnsSuffix);
      break;
    case 0x00000800:  // a rename carries the new name where a move carries the new place
      std::snprintf(r.new_location, sizeof r.new_location, "CN=%s (leaver),OU=%s,%s", p.name, p.ou, kDnsSuffix);
      break;
    case 0x00001000:
      std::snprintf(r.new_value, sizeof r.new_value, "OU=Former Staff,%s", kDnsSuffix);
      text(r.new_location, r.new_value);
      break;
    default: break;
  }
  std::snprintf(r.requester_sam, sizeof r.requester_sam, "%s\\%s", kDomain, admin.sam);
  std::snprintf(r.requester_fqdn, sizeof r.requester_fqdn, "CN=%s,OU=%s,%s", admin.name, admin.ou, kDnsSuffix);
  text(r.workstation, admin.workstation);
  set_address(r.ipv4, r.ipv6, admin);
  log.add(r);
}

// Returns the number of report rows the record gives: one, or one per entry.
size_t add_group_policy(LogWriter& log, const std::string& server, uint32_t time, Random& random) {
  static const char* const kPolicies[] = {"Default Domain Policy", "Workstation Lockdown", "Finance Drive Maps",
                                          "Password Policy"};
  static const uint32_t kTypes[] = {0xE4001001, 0xE4002000, 0xE8001000, 0xE8002000, 0xE8004000};
  const Person& admin = kPeople[6];
  const char* policy = random.pick(kPolicies);
  char guid[64];
  std::snprintf(guid, sizeof guid, "{%08X-%04X-%04X-%04X-%08X%04X}", random.next(), random.below(0x10000),
                random.below(0x10000), random.below(0x10000), random.next(), random.below(0x10000));
  char policy_dn[256];
  std::snprintf(policy_dn, sizeof policy_dn, "CN=%s,CN=Policies,CN=System,%s", guid, kDnsSuffix);
  uint32_t type = random.pick(kTypes);
  uint32_t seed = random.next() % 1000;
  auto file_head = [&](GpoFileHead& h, const char* file) {
    text(h.profile, "Group Policy");
    h.event_time = time;
    text(h.gpo_text1, policy);
    text(h.gpo_text2, guid);
    text(h.workstation, admin.workstation);
    text(h.wts_address, "");
    set_address(h.ipv4, h.ipv6, admin);
    set_person(admin, h.account, h.account_fqdn, h.sid);
    h.folder = 0;
    std::snprintf(h.full_path, sizeof h.full_path, "\\\\%s\\SYSVOL\\brightmere.local\\Policies\\%s\\%s",
                  server.c_str(), guid, file);
  };
  auto directory_head = [&](GpoDirectoryHead& h, uint32_t action, const char* attribute) {
    text(h.profile, "Group Policy");
    h.action = action;
    h.event_time = time;
    text(h.gpo_text1, policy);
    text(h.gpo_text2, guid);
    text(h.workstation, admin.workstation);
    set_address(h.ipv4, h.ipv6, admin);
    text(h.object_class, "groupPolicyContainer");
    text(h.object_dn, policy_dn);
    text(h.attribute, attribute);
    std::snprintf(h.requester_sam, sizeof h.requester_sam, "%s\\%s", kDomain, admin.sam);
    std::snprintf(h.requester_fqdn, sizeof h.requester_fqdn, "CN=%s,OU=%s,%s", admin.name, admin.ou, kDnsSuffix);
  };
  switch (type) {
    case 0xE4001001: {
      GpoFileLogRecord r = sample_gpo_file_record(type, seed);
      file_head(r.head, "Machine\\Scripts\\Startup\\map-drives.cmd");
      r.head.action = 0x40000000;
      text(r.share, "SYSVOL");
      text(r.new_name, "");
      log.add(r);
      return 1;
    }
    case 0xE4002000: {
      GpoFileChangeLogRecord r = sample_gpo_file_change_record(type, seed);
      file_head(r.head, "Machine\\Microsoft\\Windows NT\\SecEdit\\GptTmpl.inf");
      r.head.action = 0x20000000;
      text(r.text_a, "Machine\\Microsoft\\Windows NT\\SecEdit");
      text(r.text_b, "GptTmpl.inf");
      text(r.share, "SYSVOL");
      static const char* const kSettings[][3] = {{"System Access", "MinimumPasswordLength", "8"},
                                                {"System Access", "LockoutBadCount", "5"},
                                                {"System Access", "MaximumPasswordAge", "90"},
                                                {"Event Audit", "AuditLogonEvents", "3"}};
      std::vector<GpoChangeEntry> entries(1 + random.below(3));
      for (GpoChangeEntry& e : entries) {
        const auto& setting = random.pick(kSettings);
        e.section = 1 + random.below(4);
        e.kind = random.below(2);
        text(e.text1, setting[0]);
        text(e.text2, setting[1]);
        e.value1 = random.below(12);
        e.value2 = random.below(100);
        text(e.text3, setting[2]);
        std::snprintf(e.text4, sizeof e.text4, "%s = %u", setting[1], e.value2);
      }
      log.add(r, entries);
      return entries.size();
    }
    case 0xE8001000: {
      GpoDirectoryLogRecord r = sample_gpo_directory_record(type, seed);
      directory_head(r.head, 0x00000400, "versionNumber");
      text(r.new_location, "");
      log.add(r);
      return 1;
    }
    case 0xE8002000: {
      GpoDirectoryLogRecord r = sample_gpo_directory_record(type, seed);
      directory_head(r.head, 0x00080400, "gPCMachineExtensionNames");
      text(r.new_location, "");
      text(r.new_value, "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F72-3407-48AE-BA88-E8213C6761F1}]");
      text(r.old_value, "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}]");
      log.add(r);
      return 1;
    }
    default: {
      GpoDirectoryValueLogRecord r = sample_gpo_directory_value_record(0xE8004000, seed);
      directory_head(r.head, 0x00000400, "gPLink");
      static const uint32_t kSections[] = {0x60A00000, 0x50500000, 0x60700000, 0x60800000, 0x60900000};
      std::vector<GpoValueEntry> entries(1 + random.below(2));
      for (GpoValueEntry& e : entries) {
        e.section = random.pick(kSections);
        e.kind = random.below(3);
        std::snprintf(e.text, sizeof e.text, "[LDAP://cn=%s,cn=policies,cn=system,%s;0]", guid, kDnsSuffix);
      }
      log.add(r, entries);
      return entries.size();
    }
  }
}

uint64_t name_seed(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (char c : text) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  return h;
}

// Local midnight of the day `days_back` days before the local date of `now`.
time_t local_midnight(uint64_t now, int days_back) {
  time_t t = static_cast<time_t>(now);
  struct tm local;
  localtime_r(&t, &local);
  local.tm_mday -= days_back;
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_isdst = -1;
  return mktime(&local);
}

}  // namespace

const char* demo_profile_name(DemoProfile profile) {
  switch (profile) {
    case DemoProfile::Logons: return "Logons";
    case DemoProfile::Shares: return "Shares";
    case DemoProfile::FailedLogons: return "Failed Logons";
    case DemoProfile::DirectoryChanges: return "Directory Changes";
    case DemoProfile::GroupPolicy: return "Group Policy";
  }
  return "";
}

DemoDayLog make_demo_day_log(DemoProfile profile, const std::string& server, std::vector<uint32_t> event_times,
                             uint32_t seed) {
  Random random(seed);
  std::sort(event_times.begin(), event_times.end());
  DemoDayLog out;
  for (uint32_t t : event_times) {
    size_t rows = 1;
    switch (profile) {
      case DemoProfile::Logons: add_logon(out.log, server, t, random, false); break;
      case DemoProfile::FailedLogons: add_logon(out.log, server, t, random, true); break;
      case DemoProfile::Shares: add_file(out.log, t, random); break;
      case DemoProfile::DirectoryChanges: add_directory(out.log, t, random); break;
      case DemoProfile::GroupPolicy: rows = add_group_policy(out.log, server, t, random); break;
    }
    out.row_times.insert(out.row_times.end(), rows, t);
  }
  return out;
}

std::vector<DemoAccount> demo_accounts() {
  std::vector<DemoAccount> out;
  for (const Person& p : kPeople) out.push_back({p.sam, p.name, p.ou});
  return out;
}

std::vector<std::string> demo_groups() { return {std::begin(kGroups), std::end(kGroups)}; }

size_t DemoActivity::rows() const {
  size_t n = 0;
  for (const DemoLogFile& f : files) n += f.row_times.size();
  return n;
}

DemoActivity add_demo_activity(WorldBuilder& world, const std::string& server, uint64_t now, int days) {
  DemoActivity activity;
  activity.folder = world.machine_dir(server) + "/shares/" + kDemoLogShare + "/vnxlogs";
  fs::create_directories(activity.folder);
  world.add_registry_text(server, "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                          "\"ReportPath\"=\"" + std::string(kDemoLogShare) + "\"\r\n\r\n");
  for (int back = days - 1; back >= 0; --back) {
    time_t start = local_midnight(now, back);
    time_t end = back == 0 ? static_cast<time_t>(now) : local_midnight(now, back - 1) - 1;
    struct tm date;
    localtime_r(&start, &date);
    for (DemoProfile profile : kDemoProfiles) {
      uint64_t seed = name_seed(server) ^ (static_cast<uint64_t>(start) * 31 + static_cast<uint64_t>(profile));
      Random random(seed);
      // Busy profiles log more; every day differs a little.
      size_t base = profile == DemoProfile::Shares || profile == DemoProfile::Logons ? 30 : 8;
      size_t records = base + random.below(static_cast<uint32_t>(base));
      uint32_t first = static_cast<uint32_t>(start), last = static_cast<uint32_t>(end);
      std::vector<uint32_t> times(records);
      for (uint32_t& t : times) t = first + random.next() % (last - first + 1);
      // Today's last few events fall within the hour before now, so a report over recent hours finds some.
      if (back == 0)
        for (int i = 0; i < 3; ++i) times.push_back(last - std::min<uint32_t>(last - first, random.below(3600)));
      DemoDayLog day = make_demo_day_log(profile, server, times, random.next());
      std::string name =
          log_file_name(demo_profile_name(profile), server, date.tm_year + 1900, date.tm_mon + 1, date.tm_mday);
      DemoLogFile file = {activity.folder + "/" + name, profile, std::move(day.row_times)};
      if (!day.log.save(file.path)) throw std::runtime_error("cannot write " + file.path);
      // The agent last wrote the file at its last event.
      time_t written = static_cast<time_t>(*std::max_element(file.row_times.begin(), file.row_times.end()));
      struct timespec stamps[2] = {{written, 0}, {written, 0}};
      utimensat(AT_FDCWD, file.path.c_str(), stamps, 0);
      activity.files.push_back(std::move(file));
    }
  }
  return activity;
}

DemoActivity add_known_demo_server(WorldBuilder& world, uint64_t now) {
  world.add_machine("SRV01", "127.0.0.2");
  world.add_registry_text(world.console(), "HKCU",
                          "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS]\r\n"
                          "\"SRV01\"=hex:7f,00,00,02\r\n\r\n");
  world.set_clock_start(now);
  return add_demo_activity(world, "SRV01", now);
}

}  // namespace support
