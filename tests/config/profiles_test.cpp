// Tracking profiles and their lists on a server's registry, run on the
// library's code linked into the test.
#include <gtest/gtest.h>

#include <sddl.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

const char kProduct[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
const char kSid[] = "S-1-5-21-1004336348-1177238915-682003330-1105";
const char kLostSid[] = "S-1-5-21-1004336348-1177238915-682003330-2222";

class Profiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM", std::string(kProduct) + "]\r\n\r\n" + kProduct + "\\Profiles]\r\n\r\n");
    world_.add_machine("BARE01", "127.0.0.3");  // no product key
    world_.add_machine("DOWN01", "127.0.0.4");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.add_machine("PART01", "127.0.0.5");  // a product key without Profiles
    world_.add_registry_text("PART01", "HKLM", std::string(kProduct) + "]\r\n\"ReportPath\"=\"D:\\\\Logs\"\r\n\r\n");
    world_.add_machine("READ01", "127.0.0.6");  // no product key, and the user may only read
    world_.set_machine_setting("READ01", "machine", "access", "read");
    world_.set_console_user("auditor");
    std::FILE* users = std::fopen((world_.machine_dir("SRV01") + "/users.ini").c_str(), "w");
    std::fprintf(users, "[%s]\nname = alice\ndomain = BRIGHTMERE\ntype = user\n", kSid);
    std::fclose(users);
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.sibling_mode = 0;
    g_library.quiet_mode = 0;
    g_library.base_image_index = 0;
    screen_ = host::create_screen(30, "Profile");
  }
  void TearDown() override {
    for (HWND l : lists_) support::release_list_rows(l, true);
    release_registry_connections();
  }

  HWND list(uint32_t id) {
    lists_.push_back(host::add_control(screen_, 2000 + static_cast<int>(id & 0xFF), WC_LISTVIEWA, "",
                                       host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }

  std::vector<std::string> rows(HWND l) { return support::list_column(l); }

  std::vector<std::string> shown() { return support::journal_lines(" | ", true); }

  // Every key below a key of the server and its values, "[path]" and "name=type:data", in registry order.
  std::vector<std::string> tree(const std::string& path, const char* server = "SRV01") {
    HKEY root;
    EXPECT_EQ(ConnectServerRegistry(server, &root, "T", 0), 0u);
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, true);
    return out;
  }

  std::string profile_path(const std::string& name) { return std::string(kProductKey) + "\\Profiles\\" + name; }

  // The value write number `number` on the server fails once with `code` (none for an empty code),
  // from the next connection on.
  void fail_write(const char* server, const char* code, int number) {
    release_registry_connections();
    world_.set_machine_setting(server, "faults", "registry_write", code);
    world_.set_machine_setting(server, "faults", "registry_write_number", std::to_string(number));
    world_.open();
  }

  // A key of SRV01 opened for writing; null when it is not there.
  HKEY open(const std::string& path) {
    HKEY root, key = nullptr;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << path;
    return key;
  }

  // File tracking records as stored: flags, path at 24 and file part at 536, zeros elsewhere.
  struct Entry {
    DWORD flags;
    std::string path, file;
  };
  static std::vector<BYTE> records(std::initializer_list<Entry> entries) {
    std::vector<BYTE> out;
    for (const Entry& e : entries) {
      out.resize(out.size() + kFileEntryBytes, 0);
      BYTE* at = &out[out.size() - kFileEntryBytes];
      std::memcpy(at, &e.flags, 4);
      std::memcpy(at + 24, e.path.data(), e.path.size());
      std::memcpy(at + 536, e.file.data(), e.file.size());
    }
    return out;
  }

  // A binary value's bytes; the value must be there.
  static std::vector<BYTE> binary(HKEY key, const char* name) {
    std::vector<BYTE> data(8 * kFileEntryBytes);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS) << name;
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << name;
    data.resize(size);
    return data;
  }

  static bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  DWORD create(const char* name, DWORD type, const char* server = "SRV01") {
    DWORD created = 0;
    CreateProfile(nullptr, server, name, type, &created);
    return created;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr;
  std::vector<HWND> lists_;
};

TEST_F(Profiles, EachTypeIsCreatedListedDisabledAndDeletedWhole) {
  const std::string now = "=4:1796551200";
  const std::string creator = "CreatedBy=1:auditor on CONSOLE01||";
  for (const ProfileType& type : kProfileTypes) {
    ASSERT_EQ(create(type.keyword, type.code), 1u) << type.keyword;
    EXPECT_EQ(tree(profile_path(type.keyword)),
              (std::vector<std::string>{"[]", "LastUpdateDate" + now, "CreateDate" + now,
                                        "ProfileType=4:" + std::to_string(type.code), creator}));
  }
  EXPECT_TRUE(shown().empty());
  ProfileSummary read[6];
  DWORD count = 0;
  ASSERT_EQ(ReadProfiles("SRV01", read, 6, &count), 0u);
  ASSERT_EQ(count, 5u);
  // In registry order: by name.
  std::vector<std::string> read_back;
  for (DWORD i = 0; i < count; ++i)
    read_back.push_back(std::string(read[i].name) + " " + std::to_string(read[i].type) + " " +
                        std::to_string(read[i].create_date) + " " + std::to_string(read[i].disabled));
  EXPECT_EQ(read_back, (std::vector<std::string>{"VNX_AD_EVENT 304 1796551200 0", "VNX_FAILED_LOGIN 288 1796551200 0",
                                                 "VNX_FS_TRACK 272 1796551200 0", "VNX_GPO_EVENT 320 1796551200 0",
                                                 "VNX_LOGIN_TRACK 256 1796551200 0"}));

  // Each row has its type's icon, and the disabled one while the profile is disabled.
  HWND profiles = list(0x60240001);
  ASSERT_EQ(ListProfiles("SRV01", profiles, nullptr), 5u);
  auto icons = [&] {
    std::vector<int> out;
    for (const support::ListRow& r : support::list_rows(profiles)) out.push_back(r.image);
    return out;
  };
  EXPECT_EQ(icons(), (std::vector<int>{49, 0, 1, 89, 2}));
  constexpr int kLogonRow = 4;
  EXPECT_EQ(SetProfileEnabled(nullptr, profiles, kLogonRow, kProfileLogon, "SRV01", "VNX_LOGIN_TRACK", 0), 0u)
      << "enabling an enabled profile";
  ASSERT_EQ(SetProfileEnabled(nullptr, profiles, kLogonRow, kProfileLogon, "SRV01", "VNX_LOGIN_TRACK", 1), 0u);
  EXPECT_TRUE(has(tree(profile_path("VNX_LOGIN_TRACK")), "Disabled=1:0|"));
  EXPECT_EQ(icons(), (std::vector<int>{49, 0, 1, 89, 83}));
  ASSERT_EQ(ReadProfiles("SRV01", read, 6, &count), 0u);
  EXPECT_EQ(read[kLogonRow].disabled, 1u);
  ASSERT_EQ(SetProfileEnabled(nullptr, profiles, kLogonRow, kProfileLogon, "SRV01", "VNX_LOGIN_TRACK", 0), 0u);
  EXPECT_FALSE(has(tree(profile_path("VNX_LOGIN_TRACK")), "Disabled=1:0|"));
  EXPECT_EQ(icons()[kLogonRow], 2);

  // A profile with lists below it goes whole.
  HWND emails = list(0x6024002C);
  ASSERT_EQ(AddAlertEmail(emails, "ops@brightmere.com", nullptr), 1u);
  ASSERT_EQ(SaveAlertEmails(emails, "SRV01", "VNX_LOGIN_TRACK", 0), 0u);
  EXPECT_EQ(DeleteProfile(nullptr, "VNX_LOGIN_TRACK", "SRV01"), 1u);
  EXPECT_TRUE(tree(profile_path("VNX_LOGIN_TRACK")).empty());
  EXPECT_EQ(DeleteProfile(nullptr, "VNX_LOGIN_TRACK", "SRV01"), 0u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"ERROR ON DELETE PROFILE | Error 2 deleting VNX_LOGIN_TRACK on SRV01"}));
  // No name, or a path inside a profile, names no profile: nothing goes.
  const std::vector<std::string> before = tree(kProductKey);
  EXPECT_EQ(DeleteProfile(nullptr, "", "SRV01"), 0u);
  EXPECT_EQ(DeleteProfile(nullptr, "VNX_FS_TRACK\\AlertEmails", "SRV01"), 0u);
  EXPECT_EQ(tree(kProductKey), before);
  EXPECT_TRUE(shown().empty());
}

TEST_F(Profiles, CreationEstablishesAMissingKeyAndARecreationFailingPartWayKeepsEveryValue) {
  // A bare server and a product key without Profiles both get the key tree, then the profile.
  ASSERT_EQ(create("Logons", kProfileLogon, "BARE01"), 1u);
  ASSERT_EQ(create("Logons", kProfileLogon, "PART01"), 1u);
  EXPECT_TRUE(shown().empty());
  // The pauses of the establishment move the clock on.
  auto logons = [](const std::string& at) {
    return std::vector<std::string>{"[\\Profiles\\Logons]", "LastUpdateDate=4:" + at, "CreateDate=4:" + at,
                                    "ProfileType=4:256", "CreatedBy=1:auditor on CONSOLE01||"};
  };
  // Subkeys come in the registry's order, by name.
  auto tree_of = [](std::vector<std::string> top, const std::vector<std::string>& profile) {
    top.insert(top.end(), {"[\\Enterprise]", "[\\Profiles]"});
    top.insert(top.end(), profile.begin(), profile.end());
    top.push_back("[\\Reports]");
    return top;
  };
  EXPECT_EQ(tree(kProductKey, "BARE01"),
            tree_of({"[]", "LastUpdateDate=4:1796551201", "OriginalInstallDate=4:1796551201"}, logons("1796551201")));
  EXPECT_EQ(tree(kProductKey, "PART01"), tree_of({"[]", "ReportPath=1:D:\\Logs|"}, logons("1796551202")));

  // A product key with Profiles alone gets Reports and Enterprise at the next creation.
  ASSERT_EQ(create("Old", kProfileFailedLogon), 1u);
  const std::vector<std::string> srv01 = tree(kProductKey);
  EXPECT_TRUE(has(srv01, "[\\Enterprise]") && has(srv01, "[\\Reports]"));
  // An existing profile re-created: a write failing part-way leaves every value as it was.
  HKEY key = open(profile_path("Old"));
  const char creator[] = "someone on OLDCONSOLE";
  RegSetValueExA(key, "CreatedBy", 0, REG_SZ, reinterpret_cast<const BYTE*>(creator), sizeof creator);
  RegSetValueExA(key, "Disabled", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 1);
  RegCloseKey(key);
  const std::vector<std::string> before = tree(profile_path("Old"));
  for (int failing : {1, 3, 4}) {
    fail_write("SRV01", "5", failing);
    EXPECT_EQ(create("Old", kProfileLogon), 0u) << failing;
    EXPECT_EQ(shown(), std::vector<std::string>{"ERROR ON CREATE PROFILE | Error 5 creating Old"}) << failing;
    EXPECT_EQ(tree(profile_path("Old")), before) << failing;
  }
  // A new profile that fails part-way is taken away; a re-creation that succeeds keeps the other values.
  fail_write("SRV01", "5", 2);
  EXPECT_EQ(create("Fresh", kProfileLogon), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{"ERROR ON CREATE PROFILE | Error 5 creating Fresh"});
  EXPECT_TRUE(tree(profile_path("Fresh")).empty());
  ASSERT_EQ(create("Old", kProfileLogon), 1u);
  EXPECT_EQ(tree(profile_path("Old")),
            (std::vector<std::string>{"[]", "LastUpdateDate=4:1796551200", "CreateDate=4:1796551200", "ProfileType=4:256",
                                      "CreatedBy=1:auditor on CONSOLE01||", "Disabled=1:0|"}));

  // The creator is the account the console runs under, as GetUserNameA gives it; from an ordinary
  // shell (no world user) that is the login account, never "<unknown>".
  char user[16];
  DWORD size = 3;
  EXPECT_FALSE(GetUserNameA(user, &size));
  EXPECT_EQ((std::vector<DWORD>{GetLastError(), size}), (std::vector<DWORD>{ERROR_INSUFFICIENT_BUFFER, 8}));
  ASSERT_TRUE(GetUserNameA(user, &size));
  EXPECT_EQ(std::string(user) + " " + std::to_string(size), "auditor 8");
  world_.set_console_user("");
  fail_write("SRV01", "", 0);  // and no more failures
  const passwd* login = getpwuid(geteuid());
  ASSERT_NE(login, nullptr);
  ASSERT_EQ(create("Shell", kProfileLogon), 1u);
  EXPECT_TRUE(has(tree(profile_path("Shell")), std::string("CreatedBy=1:") + login->pw_name + " on CONSOLE01||"));
}

TEST_F(Profiles, SingleValueOperationsShowAFailedConnectionOnlyAndReturnEveryOtherFailure) {
  ASSERT_EQ(create("GPO", kProfileGroupPolicy), 1u);
  BYTE pattern[kPatternBytes];
  BuildPatternRecord(1, 0, 0, 0, 16, pattern);
  DWORD value = 0, count = 0;
  char path[4097];
  ProfileSummary summary;
  struct Operation {
    const char* title;
    bool writes;
    std::function<DWORD(const char* server)> run;
  };
  const std::vector<Operation> operations = {
      {"UNABLE TO SET PROFILE ITEM DETAILS", true, [](const char* s) { return SetProfileAlerts(s, "GPO", 1, 1); }},
      {"UNABLE TO SET PROFILE ITEM DETAILS", true, [](const char* s) { return SetFilterByKerberosErrors(s, "GPO", 1); }},
      {"UNABLE TO SET PROFILE PATTERN ALERT DETAILS", true,
       [&](const char* s) { return SetPatternTracking(s, "GPO", pattern); }},
      {"UNABLE TO SET PROFILE LOCAL LOGON TRACKING OPTION", true,
       [](const char* s) { return SetIncludeLocalLogons(s, "GPO", 1); }},
      {"UNABLE TO SET GPO PROFILE ITEM DETAILS", true,
       [](const char* s) { return SetGpoProfileItem(nullptr, s, "GPO", 0x602800DD, 1, nullptr); }},
      {"UNABLE TO SET GPO PROFILE ITEM DETAILS", true,
       [](const char* s) { return SetGpoProfileItem(nullptr, s, "GPO", 0x602800E8, 0, "Base"); }},
      {"UNABLE TO ENABLE/DISABLE PROFILE", true,
       [](const char* s) { return SetProfileEnabled(nullptr, nullptr, -1, kProfileGroupPolicy, s, "GPO", 1); }},
      {"UNABLE TO GET PROFILE ITEM DETAILS", false,
       [&](const char* s) { return GetProfileItem(s, "GPO", 0x6028003D, &value, path); }},
      {"UNABLE TO GET PROFILES", false, [&](const char* s) { return ReadProfiles(s, &summary, 1, &count); }},
  };
  const std::vector<std::string> before = tree(profile_path("GPO"));
  for (const Operation& op : operations) {
    g_registry.last_failed_server[0] = '\0';
    EXPECT_EQ(op.run("DOWN01"), 53u) << op.title;
    EXPECT_EQ(shown(), std::vector<std::string>{std::string(op.title) +
                                                " | Unable to connect to Registry - machine DOWN01 not found on network"});
    EXPECT_EQ(op.run("BARE01"), 2u) << op.title << ": no key to open";
    if (op.writes) {
      fail_write("SRV01", "5", 1);
      EXPECT_EQ(op.run("SRV01"), 5u) << op.title;
    }
    EXPECT_TRUE(shown().empty()) << op.title;
  }
  EXPECT_EQ(tree(profile_path("GPO")), before);
}

TEST_F(Profiles, OnlySlashesInnerDotsAndBadServersRefuseANameAndWriteNothing) {
  // Every character but dots and slashes is taken, control characters too (the world's registry file keeps
  // no line break in a key name); leading dots go; a name longer than the field's 127 characters is cut
  // there; any type code is stored as given.
  std::string all;
  for (int c = 0x01; c < 0x80; ++c)
    if (c != '.' && c != '/' && c != '\\' && c != '\r' && c != '\n') all += static_cast<char>(c);
  const std::string longest(kProfileNameChars, 'n');
  for (const std::string& name : {all, std::string("..Leading"), longest + "cut"})
    ASSERT_EQ(create(name.c_str(), kProfileLogon), 1u) << name;
  ASSERT_EQ(create("Odd", 999), 1u);
  EXPECT_TRUE(shown().empty());
  const std::vector<std::string> before = tree(kProductKey);
  EXPECT_TRUE(has(before, "[\\Profiles\\" + all + "]") && has(before, "[\\Profiles\\Leading]") &&
              has(before, "[\\Profiles\\" + longest + "]"));
  EXPECT_TRUE(has(tree(profile_path("Odd")), "ProfileType=4:999"));

  const std::string naming = "Profile Naming Warning | Profile Name ";
  const std::string refused =
      ">>>UNABLE TO CREATE PROFILE - ENSURE VORNIXW HAS BEEN INSTALLED ON THE SELECTED SERVER | ";
  // Name, type, server, what the user is told.
  const std::vector<std::tuple<std::string, DWORD, const char*, std::string>> cases = {
      {"A\\B", kProfileLogon, "SRV01", naming + "cannot contain a slash, please revise."},
      {"A/B", kProfileLogon, "SRV01", naming + "cannot contain a slash, please revise."},
      {"in.ner", kProfileLogon, "SRV01", naming + "name may not contain a \"dot\" or a slash"},
      {"..", kProfileLogon, "SRV01", "Profile Naming Warning | Please enter a name for the new Profile."},
      {"Logons", kProfileLogon, "DOWN01",
       refused + "Unable to connect to Registry - machine DOWN01 not found on network"},
      {"Logons", kProfileLogon, "READ01", refused + "Error 2 opening VORNIX Profiles Key on server READ01."},
  };
  for (const auto& [name, type, server, said] : cases) {
    EXPECT_EQ(create(name.c_str(), type, server), 0u) << name;
    EXPECT_EQ(shown(), std::vector<std::string>{said}) << name;
  }
  EXPECT_EQ(tree(kProductKey), before);

  // A list saved onto a server without the product key is refused too.
  HWND emails = list(0x6024002C);
  ASSERT_EQ(AddAlertEmail(emails, "ops@brightmere.com", nullptr), 1u);
  EXPECT_NE(SaveAlertEmails(emails, "READ01", "", 0), 0u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"UNABLE TO UPDATE EMAIL ADDRRESS | [M]Error 2 opening SOFTWARE\\"
                                               "Brightmere Software, Inc.\\VORNIX Key on server READ01."}));
  EXPECT_TRUE(tree(kVendorKey, "READ01").empty());
}

TEST_F(Profiles, SingleValuesAndThePatternRecordKeepTheirTypesDefaultsAndLimits) {
  ASSERT_EQ(create("GPO", kProfileGroupPolicy), 1u);
  ASSERT_EQ(SetProfileAlerts("SRV01", "GPO", 2, 1), 0u);
  ASSERT_EQ(SetIncludeLocalLogons("SRV01", "GPO", 1), 0u);
  ASSERT_EQ(SetIncludeLocalLogons("SRV01", "GPO", 0), 0u);
  ASSERT_EQ(SetFilterByKerberosErrors("SRV01", "GPO", 1), 0u);
  ASSERT_EQ(SetGpoProfileItem(nullptr, "SRV01", "GPO", 0x602800DD, 1, nullptr), 0u);
  ASSERT_EQ(SetGpoProfileItem(nullptr, "SRV01", "GPO", 0x602100E5, 0x80000000u, nullptr), 0u);
  ASSERT_EQ(SetGpoProfileItem(nullptr, "SRV01", "GPO", 0x602800E8, 0, "GPOBase"), 0u);
  EXPECT_NE(SetGpoProfileItem(nullptr, "SRV01", "GPO", 0x60280001, 1, nullptr), 0u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"VORNIX message from QVMR0007.DLL | Unknown CODE 60280001 - GPO set"}));
  // After the creation values; IncludeLocalLogons 0 is deleted.
  const std::vector<std::string> values = tree(profile_path("GPO"));
  EXPECT_EQ(std::vector<std::string>(values.begin() + 5, values.end()),
            (std::vector<std::string>{"CentralAlert=4:2", "ConsoleAlert=4:1", "FilterByKerberosErrors=4:1",
                                      "TrackGPCreate=4:1", "BaselineFlags=4:2147483648", "BaselinePath=1:GPOBase|"}));
  char path[4097];
  auto item = [&](DWORD code) {
    DWORD value = 5;
    EXPECT_EQ(GetProfileItem("SRV01", "GPO", code, &value, path), 0u);
    return value;
  };
  EXPECT_EQ((std::vector<DWORD>{item(0x6028003D), item(0x602800F8), item(0x602800F4)}), (std::vector<DWORD>{2, 0, 1}));
  item(0x602800E8);
  EXPECT_STREQ(path, "GPOBase");

  BYTE pattern[kPatternBytes];
  BuildPatternRecord(7, 0, 0, 0, 32, pattern);
  ASSERT_EQ(SetPatternTracking("SRV01", "GPO", pattern), 0u);
  ASSERT_EQ(UpdateAlertEmail("ops@brightmere.com", "SRV01", "GPO", kListWrite), 0u);
  ProfileSummary p;
  DWORD count = 0;
  ASSERT_EQ(ReadProfiles("SRV01", &p, 1, &count), 0u);
  // The alert count adds the two alert values and 1 for an alert e-mail; then the pattern: on, a count
  // of 0 becomes 10, intervals 1 and 10.
  EXPECT_EQ((std::vector<DWORD>{p.baseline_flags, p.alert_count, p.pattern_on, p.pattern_count, p.pattern_first,
                                p.pattern_second}),
            (std::vector<DWORD>{0x80000000u, 4, 1, 10, 1, 10}));
  // Built over the limits: mask 3 bits, count 500000, intervals 60.
  BuildPatternRecord(13, 900000, 61, 99, 16, pattern);
  EXPECT_EQ(std::vector<BYTE>(pattern + 40, pattern + 52),
            (std::vector<BYTE>{0x20, 0xA1, 7, 0, 60, 0, 0, 0, 60, 0, 0, 0}));
  // Stored out of range (count 1024288, intervals 0 and 75): the list row carries 500000, 1 and 60.
  pattern[42] = 0x0F;
  pattern[44] = 0;
  pattern[48] = 75;
  ASSERT_EQ(SetPatternTracking("SRV01", "GPO", pattern), 0u);
  HWND profiles = list(0x6024000A);
  ASSERT_EQ(ListProfiles("SRV01", profiles, nullptr), 1u);
  ProfileRow row;
  std::memcpy(&row, support::list_rows(profiles).at(0).record + kRowDataOffset, sizeof row);
  EXPECT_EQ((std::vector<DWORD>{row.pattern_on, row.pattern_mask, row.pattern_count, row.pattern_first,
                                row.pattern_second, row.pattern_mode}),
            (std::vector<DWORD>{1, 5, 500000, 1, 60, 16}));
  ASSERT_EQ(SetPatternTracking("SRV01", "GPO", nullptr), 0u);
  ASSERT_EQ(ReadProfiles("SRV01", &p, 1, &count), 0u);
  EXPECT_EQ(p.pattern_on, 0u);
}

TEST_F(Profiles, KerberosCodesMoveBetweenPairedListsAndOneToSeventyNineAreStored) {
  ASSERT_EQ(create("Failed", kProfileFailedLogon), 1u);
  HWND all = list(0x602400F4), tracked = list(0x602400F5);
  ASSERT_EQ(ListKerberosCodes(all, nullptr), 63u);
  EXPECT_EQ(rows(all)[0], "001:[Client's entry in database expired]");
  EXPECT_EQ(rows(all).back(), "076:[KDC names do not match]");
  auto select = [&](HWND l, const std::string& prefix) {
    std::vector<std::string> texts = rows(l);
    for (size_t r = 0; r < texts.size(); ++r)
      if (texts[r].rfind(prefix, 0) == 0) support::set_row_selected(l, r);
  };
  auto add_row = [](HWND l, const std::string& text) {
    BYTE record[kListItemBytes];
    start_row_record(record, l, nullptr);
    insert_list_row(l, text.c_str(), 115, record);
  };
  ASSERT_EQ(MovePairedRows(all, tracked), 0u) << "nothing selected";
  select(all, "037:");
  ASSERT_EQ(MovePairedRows(all, tracked), 1u);
  // Rows keep their order; a text the target has already is counted but not doubled.
  select(all, "006:");
  select(all, "024:");
  select(tracked, "037:");
  add_row(all, rows(tracked)[0]);
  select(all, "037:");
  ASSERT_EQ(MovePairedRows(all, tracked), 3u);
  const std::string skew = "037:[Clock skew too great]", password = "024:[Bad Password:Password is incorrect]",
                    name = "006:[Bad Account Name:Client not found in Kerberos database]";
  EXPECT_EQ(rows(tracked), (std::vector<std::string>{skew, name, password}));
  EXPECT_EQ(rows(all).size(), 60u);
  EXPECT_EQ(item_word(support::list_rows(tracked).at(2).record, kItemWordControlId), 0x602400F5u)
      << "the row now belongs to the target";

  // Codes out of range are not stored; the stored ones are listed back in code order.
  add_row(tracked, "080:out of range");
  add_row(tracked, "000:none");
  ASSERT_EQ(SaveKerberosCodes(tracked, "SRV01", "Failed"), 0u);
  HKEY key = open(profile_path("Failed"));
  std::vector<BYTE> expected(80, 0);
  expected[6] = expected[24] = expected[37] = 1;
  EXPECT_EQ(binary(key, "KErrors"), expected);
  HWND back = list(0x602400F6);
  EXPECT_EQ(ListTrackedKerberosCodes("SRV01", "Failed", back, nullptr), 3u);
  EXPECT_EQ(rows(back), (std::vector<std::string>{name, password, skew}));

  // Moving back: the rows return to the end of the first list, in their order.
  select(tracked, "037:");
  select(tracked, "024:");
  ASSERT_EQ(MovePairedRows(tracked, all), 2u);
  EXPECT_EQ(rows(tracked), (std::vector<std::string>{name, "080:out of range", "000:none"}));
  std::vector<std::string> first = rows(all);
  ASSERT_EQ(first.size(), 62u);
  EXPECT_EQ((std::vector<std::string>{first[60], first[61]}), (std::vector<std::string>{skew, password}));

  // Every stored byte that is not zero is a tracked code, one without a text too; saved back as ones.
  std::vector<BYTE> odd(80, 0);
  odd[7] = 2;
  odd[24] = 1;
  odd[79] = 0xFF;
  ASSERT_EQ(RegSetValueExA(key, "KErrors", 0, REG_BINARY, odd.data(), 80), ERROR_SUCCESS);
  HWND stored = list(0x602400F8);
  EXPECT_EQ(ListTrackedKerberosCodes("SRV01", "Failed", stored, nullptr), 3u);
  EXPECT_EQ(rows(stored), (std::vector<std::string>{"007:", password, "079:"}));
  ASSERT_EQ(SaveKerberosCodes(stored, "SRV01", "Failed"), 0u);
  odd[7] = odd[79] = 1;
  EXPECT_EQ(binary(key, "KErrors"), odd);

  // An empty list removes the value; listing and saving a profile that is not there say so alike.
  HWND empty = list(0x602400F7);
  ASSERT_EQ(SaveKerberosCodes(empty, "SRV01", "Failed"), 0u);
  EXPECT_EQ(RegQueryValueExA(key, "KErrors", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(ListTrackedKerberosCodes("SRV01", "Gone", back, nullptr), 0u);
  EXPECT_EQ(SaveKerberosCodes(empty, "SRV01", "Gone"), 2u);
  const std::string gone = "UNABLE TO KERBEROS FAILURE CODES | Error 2 opening registry key on server SRV01.";
  EXPECT_EQ(shown(), (std::vector<std::string>{gone, gone}));
}

TEST_F(Profiles, AlertEmailsAndLogonNamesAreStoredAsTypedMergedOrReplacedAndPutBackOnAFailure) {
  ASSERT_EQ(create("Logons", kProfileLogon), 1u);
  const std::string stored = profile_path("Logons") + "\\AlertEmails";
  const std::string at = "=4:1796551200";
  // Any text is taken as an address; refused are only what a value name and a row cannot hold, and a repeat.
  HWND first = list(0x6024002C);
  const std::string longest(kEmailChars, 'e');
  for (const std::string& a : {std::string("a@brightmere.com"), std::string("ops@mailhost"), std::string("no-at-sign"),
                               std::string("x@y.com;z@y.com"), longest})
    ASSERT_EQ(AddAlertEmail(first, a.c_str(), nullptr), 1u) << a;
  for (const std::string& bad : {std::string(), longest + "e", std::string("tab\tbed@x.com"), std::string("A@Brightmere.com")})
    EXPECT_EQ(AddAlertEmail(first, bad.c_str(), nullptr), 0u) << bad;
  // An address the list holds already is left out without a word.
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         "INVALID EMAIL ADDRESS | Please enter an e-mail address.",
                         "INVALID EMAIL ADDRESS | The e-mail address " + longest.substr(0, 40) +
                             "... is longer than 254 characters.",
                         "INVALID EMAIL ADDRESS | An e-mail address cannot contain control characters."}));
  // A row that the host lists twice is written twice, into one value.
  support::insert_list_rows(first, {{"ops@mailhost", nullptr}});
  ASSERT_EQ(SaveAlertEmails(first, "SRV01", "Logons", 0), 0u);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(tree(stored), (std::vector<std::string>{"[]", "a@brightmere.com" + at, "ops@mailhost" + at, "no-at-sign" + at,
                                                    "x@y.com;z@y.com" + at, longest + at}));

  // Merging keeps the key and ends with the listed names; saving without merge makes the key anew,
  // so a key below it goes too and the names follow the list's order.
  HKEY below = nullptr;
  HKEY key = open(stored);
  ASSERT_EQ(RegCreateKeyExA(key, "Below", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &below, nullptr), ERROR_SUCCESS);
  RegCloseKey(below);
  RegCloseKey(key);
  HWND second = list(0x6024002D);
  ASSERT_EQ(AddAlertEmail(second, "b@brightmere.com", nullptr), 1u);
  ASSERT_EQ(AddAlertEmail(second, "a@brightmere.com", nullptr), 1u);
  ASSERT_EQ(SaveAlertEmails(second, "SRV01", "Logons", 1), 0u);
  EXPECT_EQ(tree(stored), (std::vector<std::string>{"[]", "a@brightmere.com" + at, "b@brightmere.com" + at, "[\\Below]"}));
  ASSERT_EQ(SaveAlertEmails(second, "SRV01", "Logons", 0), 0u);
  const std::vector<std::string> before = {"[]", "b@brightmere.com" + at, "a@brightmere.com" + at};
  EXPECT_EQ(tree(stored), before);
  // Listing adds only the names that the list lacks.
  HWND read = list(0x6024002E);
  ASSERT_EQ(AddAlertEmail(read, "a@brightmere.com", nullptr), 1u);
  EXPECT_EQ(ListAlertEmails("SRV01", "Logons", read, nullptr), 1u);
  EXPECT_EQ(rows(read), (std::vector<std::string>{"a@brightmere.com", "b@brightmere.com"}));
  EXPECT_TRUE(shown().empty());

  // A write failing part-way puts the stored list back: here the second write of the next save.
  fail_write("SRV01", "5", 2);
  HWND next = list(0x60240031);
  for (const char* a : {"x@brightmere.com", "y@brightmere.com", "z@brightmere.com"})
    ASSERT_EQ(AddAlertEmail(next, a, nullptr), 1u);
  EXPECT_EQ(SaveAlertEmails(next, "SRV01", "Logons", 0), 5u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"ERROR ON EMAIL ADDRESS UPDATE | Error 5 adding y@brightmere.com"}));
  EXPECT_EQ(tree(stored), before);

  // Server-wide logon names with the marker: the time loses its top four bits.
  HWND names = list(0x602400F0);
  ASSERT_EQ(AddLogonName(names, "BRIGHTMERE\\alice", 1, nullptr), 1u);
  ASSERT_EQ(AddLogonName(names, "bob", 0, nullptr), 1u);
  EXPECT_EQ(AddLogonName(names, std::string(257, 'x').c_str(), 0, nullptr), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{"INVALID LOGON NAME | The logon name " + std::string(40, 'x') +
                                              "... is longer than 256 characters."});
  ASSERT_EQ(SaveLogonNames(names, "SRV01", "", 0), 0u);
  EXPECT_EQ(tree(std::string(kProductKey) + "\\LogonNamesToTrack"),
            (std::vector<std::string>{"[]", "BRIGHTMERE\\alice=4:185938464", "bob=4:1796551200"}));
  HWND marked = list(0x602400F1);
  ASSERT_EQ(ListLogonNames("SRV01", "", marked, nullptr), 2u);
  EXPECT_EQ(logon_row_marker(support::list_rows(marked).at(0).record), 1u);
  EXPECT_EQ(logon_row_marker(support::list_rows(marked).at(1).record), 0u);
  ASSERT_EQ(UpdateLogonName("bob", "SRV01", "", kListRemove, 0), 0u);
  // Clearing deletes the subkey; a list without one is clear already and nothing is said.
  ASSERT_EQ(UpdateLogonName("", "SRV01", "", kListClearAll, 0), 0u);
  EXPECT_TRUE(tree(std::string(kProductKey) + "\\LogonNamesToTrack").empty());
  EXPECT_EQ(UpdateLogonName("", "SRV01", "", kListClearAll, 0), 0u);
  EXPECT_EQ(UpdateAlertEmail("", "SRV01", "Logons", kListClearAll), 0u);
  EXPECT_EQ(UpdateAlertEmail("", "SRV01", "Logons", kListClearAll), 0u);
  EXPECT_TRUE(tree(stored).empty());
  EXPECT_TRUE(shown().empty());
}

TEST_F(Profiles, IpRangesAreCheckedAndTwoWithOneStartAndEndShareAValue) {
  ASSERT_EQ(create("Logons", kProfileLogon), 1u);
  auto check = [&](std::vector<const char*> f, IpRange* r) { return CheckIpRange(nullptr, f.data(), r); };
  IpRange range, single, bad;
  ASSERT_TRUE(check({"10", "1", "2", "3", "10", "1", "2", "200"}, &range));
  ASSERT_TRUE(check({"192", "168", "0", "7", "192", "168", "0", "7"}, &single)) << "start equal to end";
  EXPECT_FALSE(check({"240", "0", "0", "0", "240", "0", "0", "1"}, &bad));
  EXPECT_FALSE(check({"10", "256", "0", "0", "10", "0", "0", "1"}, &bad));
  EXPECT_FALSE(check({"10", "0", "0", "-1", "10", "0", "0", "1"}, &bad));
  EXPECT_FALSE(check({"10", "0", "0", "9", "10", "0", "0", "1"}, &bad));
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         "EDIT IP ADDRESS | The first \"from\" octet must start with a number between 0 and 239",
                         "EDIT IP ADDRESS | The second \"from\" octet must start with a number between 0 and 255",
                         "EDIT IP ADDRESS | The fourth \"from\" octet must start with a number between 0 and 255",
                         "INVALID IP ADDRESS RANGE | The \"From\" IP Address must be a \"smaller\" Address than the "
                         "\"To\" IP Address."}));

  // An octet is the number its leading digits make (after blanks and a sign); no digits at all read as 0.
  IpRange loose;
  ASSERT_TRUE(check({"", "1x", " 2", "+3", "10", "x", "-0", "4.5"}, &loose));
  char text[80];
  ip_range_text(loose, text, sizeof text);
  EXPECT_STREQ(text, "0.1.2.3 through 10.0.0.4");
  EXPECT_TRUE(shown().empty());

  HWND ranges = list(0x6024002B);
  AddIpRange(ranges, range, nullptr);
  single.flag = 1;
  AddIpRange(ranges, single, nullptr);
  single.flag = 2;
  AddIpRange(ranges, single, nullptr);
  ASSERT_EQ(SaveIpRanges(ranges, "SRV01", "Logons"), 0u);
  EXPECT_EQ(tree(profile_path("Logons") + "\\IP_Ranges"),
            (std::vector<std::string>{"[]", "0a0102030a0102c8=3:|||||||||", "c0a80007c0a80007=3:|||||||||"}));
  HWND read = list(0x6024002A);
  EXPECT_EQ(ListIpRanges("SRV01", "Logons", read, nullptr), 2u);
  EXPECT_EQ(rows(read), (std::vector<std::string>{"10.1.2.3 through 10.1.2.200", "192.168.0.7 through 192.168.0.7"}));
  EXPECT_EQ(support::list_rows(read).at(1).record[kRowDataOffset + 4 + 8], 2) << "the later range's flag";

  // A row that holds no range is left out of the save without a word.
  SendMessageA(read, LVM_DELETEITEM, 0, 0);
  support::insert_list_rows(read, {{"all of the branch office", nullptr}});
  ASSERT_EQ(SaveIpRanges(read, "SRV01", "Logons"), 0u);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(tree(profile_path("Logons") + "\\IP_Ranges"),
            (std::vector<std::string>{"[]", "c0a80007c0a80007=3:|||||||||"}));
}

TEST_F(Profiles, ExcludedAccountsAndAlertAccountFiltersOfAProfile) {
  ASSERT_EQ(create("Files", kProfileFileSystem), 1u);
  HWND excluded = list(0x60240097);
  ASSERT_EQ(AddExcludedAccount(excluded, "SRV01", "BRIGHTMERE\\alice", 7, nullptr), 1u);
  EXPECT_EQ(AddExcludedAccount(excluded, "SRV01", "alice", 7, nullptr), 0u) << "the same account twice, unsaid";
  EXPECT_EQ(AddExcludedAccount(excluded, "SRV01", "nobody", 0, nullptr), 0u);
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         "UNABLE TO UPDATE LIST OF EXCLUDED USERS | Unable to find the account nobody on server "
                         "SRV01, error 1332"}));
  ASSERT_EQ(SaveExcluded(excluded, "SRV01", "Files"), 0u);
  EXPECT_EQ(tree(profile_path("Files") + "\\Excluded"), (std::vector<std::string>{"[]", std::string(kSid) + "=4:7"}));

  // A SID the server cannot resolve is shown as its text.
  HKEY key = open(profile_path("Files") + "\\Excluded");
  DWORD word = 0;
  RegSetValueExA(key, kLostSid, 0, REG_DWORD, reinterpret_cast<BYTE*>(&word), 4);
  RegCloseKey(key);
  HWND read = list(0x60240098);
  EXPECT_EQ(ListExcluded("SRV01", "Files", read, nullptr), 2u);
  EXPECT_EQ(rows(read), (std::vector<std::string>{"BRIGHTMERE\\alice", kLostSid}));
  EXPECT_TRUE(shown().empty());

  PSID sid = nullptr;
  char* back = nullptr;
  EXPECT_FALSE(ConvertStringSidToSidA("S-1-5-x", &sid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SID));
  ASSERT_TRUE(ConvertStringSidToSidA("s-1-5-32-544", &sid) && ConvertSidToStringSidA(sid, &back));
  EXPECT_STREQ(back, "S-1-5-32-544");
  LocalFree(back);
  LocalFree(sid);

  // Alert account filters: any text, written without terminator (Windows stores the one that follows it);
  // at most its first 6000 bytes are read back; an empty one goes.
  char no[] = "svc_*;back?up", admin[] = "admin";
  std::string ok(kAlertAccountsBytes + 50, 'a');
  ok.replace(kAlertAccountsBytes - 1, 2, "yz");
  ASSERT_EQ(SetEmailAlertAccounts(kAlertAccountsSet, "SRV01", "Files", no, ok.data()), 0u);
  EXPECT_TRUE(shown().empty());
  {
    HKEY key = open(profile_path("Files"));
    std::string stored(ok.size() + 10, '\0');
    DWORD size = static_cast<DWORD>(stored.size());
    EXPECT_EQ(RegQueryValueExA(key, "EmailAlertsOKAccounts", nullptr, nullptr, reinterpret_cast<BYTE*>(stored.data()),
                               &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(stored.substr(0, size), ok + '\0') << "stored whole";
  }
  char got_no[kAlertAccountsBytes + 1], got_ok[kAlertAccountsBytes + 1];
  std::memset(got_ok, 'x', sizeof got_ok);
  ASSERT_EQ(SetEmailAlertAccounts(kAlertAccountsQuery, "SRV01", "Files", got_no, got_ok), 0u);
  EXPECT_EQ(std::make_pair(std::string(got_no), std::string(got_ok)),
            std::make_pair(std::string(no), ok.substr(0, kAlertAccountsBytes)));
  char empty[1] = "";
  ASSERT_EQ(SetEmailAlertAccounts(kAlertAccountsSet, "SRV01", "Files", empty, admin), 0u);
  const std::vector<std::string> values = tree(profile_path("Files"));
  EXPECT_EQ(std::vector<std::string>(values.begin() + 5, values.end()),
            (std::vector<std::string>{"EmailAlertsOKAccounts=1:admin|", "[\\Excluded]", std::string(kSid) + "=4:7",
                                      std::string(kLostSid) + "=4:0"}));
}

TEST_F(Profiles, FileTrackingEntriesAreCheckedSavedWholeAndListedBackAsStored) {
  ASSERT_EQ(create("Files", kProfileFileSystem), 1u);
  HWND entries = list(0x60240042);
  const std::string longest(kFileEntryPathBytes - 1, 'p'), longest_file(kFileEntryPathBytes - 1, 'f');
  ASSERT_EQ(AddFileTrackingEntry(entries, 0x80000090, "DATA\\Finance\\", "mp3", nullptr), 1u);
  ASSERT_EQ(AddFileTrackingEntry(entries, 0xC0, "", "", nullptr), 1u);
  ASSERT_EQ(AddFileTrackingEntry(entries, 0x10, longest.c_str(), longest_file.c_str(), nullptr), 1u);
  // Refused: a path longer than its field, the same entry in other case; taken: other flags.
  EXPECT_EQ(AddFileTrackingEntry(entries, 0x10, (longest + "p").c_str(), "x", nullptr), 0u);
  EXPECT_EQ(AddFileTrackingEntry(entries, 0x80000090, "data\\finance\\", "MP3", nullptr), 0u);
  EXPECT_EQ(AddFileTrackingEntry(entries, 0x10, "DATA\\Finance\\", "mp3", nullptr), 1u);
  EXPECT_EQ(shown(), (std::vector<std::string>{"ERROR ADDING NEW ENTRY * | The Share Path and File Name are too long "
                                               "to track, please shorten them."}));
  EXPECT_EQ(rows(entries)[0], "DATA\\Finance\\mp3 (extension only)");
  EXPECT_EQ(rows(entries)[1], "\\(any path)\\(all *.*) (extension only)");
  ASSERT_EQ(SaveFileTrackingEntries(entries, "SRV01", "Files"), 0u);
  HKEY key = open(profile_path("Files"));
  std::vector<BYTE> stored = records({{0x80000090, "DATA\\Finance\\", "mp3"}, {0xC0, "", ""},
                                      {0x10, longest, longest_file}, {0x10, "DATA\\Finance\\", "mp3"}});
  EXPECT_EQ(binary(key, "Paths"), stored);

  // Stored records are listed as they are, a repeated one too, but not a cut one at the end;
  // the listed rows go back into Paths byte for byte, reserved bytes included.
  const std::vector<BYTE> repeated(stored.begin(), stored.begin() + kFileEntryBytes);
  stored.insert(stored.end(), repeated.begin(), repeated.end());
  stored[8] = 0x5A;  // a reserved byte
  std::vector<BYTE> with_cut = stored;
  with_cut.resize(stored.size() + 600, 0x10);
  ASSERT_EQ(RegSetValueExA(key, "Paths", 0, REG_BINARY, with_cut.data(), static_cast<DWORD>(with_cut.size())),
            ERROR_SUCCESS);
  HWND read = list(0x60240043);
  EXPECT_EQ(ListFileTrackingEntries("SRV01", "Files", read, nullptr), 5u);
  EXPECT_TRUE(shown().empty());
  std::vector<std::string> texts = rows(entries);
  texts.push_back(texts[0]);
  EXPECT_EQ(rows(read), texts);
  EXPECT_EQ(support::list_rows(read).at(1).image, 3) << "bit 0x40";
  ASSERT_EQ(SaveFileTrackingEntries(read, "SRV01", "Files"), 0u);
  EXPECT_EQ(binary(key, "Paths"), stored);

  // A change into the entry of another row is not taken, as such an addition is not, and nothing is said.
  EXPECT_EQ(ChangeFileTrackingEntry(read, 2, 0x10, "data\\finance\\", "MP3"), 0u);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(rows(read), texts);
  // A changed row keeps its place and only its new fields.
  EXPECT_EQ(ChangeFileTrackingEntry(read, 2, 0x20, "P", "F"), 1u);
  ASSERT_EQ(SaveFileTrackingEntries(read, "SRV01", "Files"), 0u);
  const std::vector<BYTE> changed = records({{0x20, "P", "F"}});
  std::copy(changed.begin(), changed.end(), stored.begin() + 2 * kFileEntryBytes);
  EXPECT_EQ(binary(key, "Paths"), stored);

  // An empty list writes an empty value; without a host list to take it, no entry is added.
  HWND empty = list(0x60240044);
  ASSERT_EQ(SaveFileTrackingEntries(empty, "SRV01", "Files"), 0u);
  EXPECT_TRUE(binary(key, "Paths").empty());
  RegCloseKey(key);
  uintptr_t insert = g_host_services[kHostInsertItem];
  g_host_services[kHostInsertItem] = 0;
  EXPECT_EQ(AddFileTrackingEntry(empty, 0x20, "NEW", "*.txt", nullptr), 0u);
  g_host_services[kHostInsertItem] = insert;
  EXPECT_TRUE(rows(empty).empty());
}

}  // namespace
