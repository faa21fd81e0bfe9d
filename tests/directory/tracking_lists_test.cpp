// The directory-backed lists of a tracking profile round-tripped through a
// server's registry, the policy objects to track, and the creator of a
// profile named by the console user's distinguished name.
#include "tests/directory/directory_fixture.h"

#include <algorithm>
#include <cstring>

#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "sim/registry_dump.h"

namespace {

const char kProduct[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
const std::string kFinance = std::string("OU=Finance,") + support::kDemoDomainDn;
// Jane's DN as the directory gives it back (attribute types as its schema spells them).
const std::string kJane = "cn=Jane Smith,ou=Finance,dc=brightmere,dc=local";

class TrackingLists : public support::DirectoryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV03", "127.0.0.4");
    world_.add_registry_text("SRV03", "HKLM", std::string(kProduct) + "]\r\n\r\n" + kProduct +
                                                  "\\Profiles]\r\n\r\n" + kProduct + "\\Profiles\\Directory]\r\n\r\n");
    DirectoryTest::SetUp();
  }
  void TearDown() override {
    release_registry_connections();
    DirectoryTest::TearDown();
  }

  void add_row(HWND l, const std::string& text, DWORD option, const std::string& path) {
    BYTE record[kListItemBytes];
    ASSERT_TRUE(start_directory_row(record, l, kListTracked, option, path.c_str()));
    insert_directory_row(l, text.c_str(), 0, record);
  }

  std::vector<std::string> profile_values() {
    HKEY root;
    EXPECT_EQ(ConnectServerRegistry("SRV03", &root, "T", 0), 0u);
    std::vector<std::string> out;
    support::dump_registry(root, std::string(kProductKey) + "\\Profiles\\Directory", "Directory", out, true);
    return out;
  }

  // "text option" of every row listed back.
  static std::vector<std::string> listed(HWND l) {
    std::vector<std::string> out;
    for (const support::ListRow& row : support::list_rows(l)) {
      char option[12];
      std::snprintf(option, sizeof option, "%08X", static_cast<unsigned>(tracking_row_option(row.record)));
      out.push_back(row.text + " " + option);
    }
    return out;
  }
};

void answer(const char* title, int button) {
  ui::Answer a;
  a.match = title;
  a.button = button;
  ui::script(a);
}

TEST_F(TrackingLists, ObjectsClassesAndAttributesRoundTripWithTheirOptionWords) {
  HWND objects = list(0x602400A3), classes = list(0x602400A6), attributes = list(0x602400AA);
  FillDirectoryList(objects, kListUsersOneLevel, ("LDAP://" + kFinance).c_str(),
                    directory_kind_filter(kListUsersOneLevel), kIconAdUser, 0);
  add_row(objects, "Sales", 0x20, "OU=Sales," + directory_->base());
  add_row(classes, "user", 0x1, "user");
  add_row(classes, "group", 0, "group");
  add_row(attributes, "telephoneNumber", 0x3, "telephoneNumber");
  add_row(attributes, "lastLogon", 0x40041, "lastLogon");  // excluded: written with the exclude bit alone
  EXPECT_EQ(SaveObjTrack(objects, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveObjClassTrack(classes, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveAttrTrack(attributes, "SRV03", "Directory"), 0u);
  EXPECT_EQ(profile_values(), (std::vector<std::string>{
                                  "[Directory]",
                                  "ObjTrack=7:" + kJane + "00000000|OU=Sales," + directory_->base() +
                                      "00000020||",
                                  "ObjClassTrack=7:user00000001|group00000000||",
                                  "AttrTrack=7:telephoneNumber00000003|lastLogon00040000||",
                              }));
  HWND objects_back = list(0x602400A3), classes_back = list(0x602400A6), attributes_back = list(0x602400AA);
  EXPECT_EQ(GetDirectoryTrackingDetails("SRV03", "Directory", objects_back, classes_back, attributes_back), 6u);
  EXPECT_EQ(listed(objects_back), (std::vector<std::string>{kJane + " 00000000",
                                                            "OU=Sales," + directory_->base() + " 00000020"}));
  EXPECT_EQ(listed(classes_back), (std::vector<std::string>{"user 00000001", "group 00000000"}));
  EXPECT_EQ(listed(attributes_back), (std::vector<std::string>{"telephoneNumber 00000003", "lastLogon 00040000"}));
  // Saved again from what was listed, the values stay as they are.
  EXPECT_EQ(SaveObjTrack(objects_back, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveAttrTrack(attributes_back, "SRV03", "Directory"), 0u);
  EXPECT_EQ(profile_values()[1], "ObjTrack=7:" + kJane + "00000000|OU=Sales," + directory_->base() +
                                     "00000020||");
  EXPECT_EQ(profile_values()[3], "AttrTrack=7:telephoneNumber00000003|lastLogon00040000||");
}

TEST_F(TrackingLists, EntriesMovedBetweenThePairedListsKeepTheirPathAndOptionWord) {
  HWND found = list(0x602400FA), objects = list(0x602400A3), all_policies = list(0x602400DA),
       policies = list(0x602400DA);
  FillDirectoryList(found, kListUsersOneLevel, ("LDAP://" + kFinance).c_str(), directory_kind_filter(kListUsersOneLevel),
                    kIconAdUser, 0);
  add_row(found, "Sales", 0x20, "OU=Sales," + directory_->base());
  FillGpoList(all_policies, nullptr);
  auto select = [](HWND l, const std::string& text) {
    std::vector<std::string> texts = support::list_column(l);
    for (size_t r = 0; r < texts.size(); ++r)
      if (texts[r] == text) support::set_row_selected(l, r);
  };
  // A move as the host sees it: the records of the rows the library deleted are given back, as the
  // host does for every row that leaves its lists.
  auto move = [](HWND from, HWND to) {
    std::vector<BYTE*> before;
    for (const support::ListRow& row : support::list_rows(from)) before.push_back(row.record);
    DWORD moved = MovePairedRows(from, to);
    std::vector<BYTE*> after;
    for (const support::ListRow& row : support::list_rows(from)) after.push_back(row.record);
    for (BYTE* record : before) {
      if (record == nullptr || std::find(after.begin(), after.end(), record) != after.end()) continue;
      auto* copy = reinterpret_cast<BYTE*>(alloc_memory_for_list());
      std::memcpy(copy, record, kListItemBytes);
      delete_list_item(0, 0, copy);
    }
    return moved;
  };
  // Over and back and over again: each move hands the entry on.
  select(found, "Jane Smith");
  select(found, "Sales");
  ASSERT_EQ(move(found, objects), 2u);
  select(objects, "Jane Smith");
  ASSERT_EQ(move(objects, found), 1u);
  select(found, "Jane Smith");
  ASSERT_EQ(move(found, objects), 1u);
  select(all_policies, "Workstation Lockdown");
  ASSERT_EQ(move(all_policies, policies), 1u);
  EXPECT_EQ(rows_with_paths(objects), (std::vector<std::string>{"Sales -> OU=Sales," + directory_->base(),
                                                                "Jane Smith -> " + kJane}));
  EXPECT_EQ(SaveObjTrack(objects, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveGposTracked(policies, "SRV03", "Directory"), 0u);
  EXPECT_EQ(profile_values(), (std::vector<std::string>{
                                  "[Directory]",
                                  "ObjTrack=7:OU=Sales," + directory_->base() + "00000020|" + kJane + "00000000||",
                                  "[Directory\\GPOsTracked]",
                                  "Workstation Lockdown=1:\\\\brightmere.local\\SysVol\\brightmere.local\\Policies\\"
                                  "{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}|",
                              }));
  for (HWND l : {found, objects, all_policies, policies}) support::release_list_rows(l);
}

TEST_F(TrackingLists, EmptyListsDeleteTheirValueAndNoAttributesOffersTheBusyOnes) {
  HWND objects = list(0x602400A3), attributes = list(0x602400AA);
  add_row(objects, "Sales", 0, "OU=Sales");
  add_row(attributes, "title", 0, "title");
  SaveObjTrack(objects, "SRV03", "Directory");
  SaveAttrTrack(attributes, "SRV03", "Directory");
  support::release_list_rows(objects);
  support::release_list_rows(attributes);
  answer("Automatically exclude tracking of busy attributes?", IDOK);
  EXPECT_EQ(SaveObjTrack(objects, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveAttrTrack(attributes, "SRV03", "Directory"), 0u);
  EXPECT_EQ(profile_values(), (std::vector<std::string>{
                                  "[Directory]",
                                  "AttrTrack=7:dnsRecord00040000|dsCorePropagationData00040000|lastLogon00040000|"
                                  "logonCount00040000|uSNChanged00040000|whenChanged00040000||"}));
  answer("Automatically exclude tracking of busy attributes?", IDCANCEL);
  EXPECT_EQ(SaveAttrTrack(attributes, "SRV03", "Directory"), 0u);
  EXPECT_EQ(profile_values(), std::vector<std::string>{"[Directory]"});
}

TEST_F(TrackingLists, EntriesPastTheLimitAreDroppedWithAWarning) {
  HWND objects = list(0x602400A3), classes = list(0x602400A6), attributes = list(0x602400AA);
  std::string long_dn(990, 'x');
  for (HWND l : {objects, classes, attributes})
    for (int i = 0; i < 64; ++i) add_row(l, "entry", 0, "CN=" + std::to_string(100 + i) + long_dn);
  ui::clear_journal();
  EXPECT_EQ(SaveObjTrack(objects, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveObjClassTrack(classes, "SRV03", "Directory"), 0u);
  EXPECT_EQ(SaveAttrTrack(attributes, "SRV03", "Directory"), 0u);
  // One text for the three lists; only the code differs.
  const std::string warning = std::string(library_title()) + " | Unable to save all objects to track selected - Please "
                                                             "report code ";
  EXPECT_EQ(support::journal_lines(), (std::vector<std::string>{warning + "C29 to support@brightmere.com.",
                                                                warning + "C31 to support@brightmere.com.",
                                                                warning + "C32.1 to support@brightmere.com."}));
  HWND back = list(0x602400A3), classes_back = list(0x602400A6), attributes_back = list(0x602400AA);
  // Entries of 1004 bytes with their terminators: 62 fit below 62500 bytes with the closing terminator.
  EXPECT_EQ(GetDirectoryTrackingDetails("SRV03", "Directory", back, classes_back, attributes_back), 3 * 62u);
}

TEST_F(TrackingLists, PolicyObjectsToTrackAreStoredByNameAndListedWhileTheDomainHasThem) {
  HWND policies = list(0x602400DA);
  FillGpoList(policies, nullptr);
  EXPECT_EQ(SaveGposTracked(policies, "SRV03", "Directory"), 0u);
  std::string sysvol = "\\\\brightmere.local\\SysVol\\brightmere.local\\Policies\\";
  std::vector<std::string> expected = {
      "[Directory]",
      "[Directory\\GPOsTracked]",
      "Default Domain Policy=1:" + sysvol + "{31B2F340-016D-11D2-945F-00C04FB984F9}|",
      "Default Domain Controllers Policy=1:" + sysvol + "{6AC1786C-016F-11D2-945F-00C04FB984F9}|",
      "Workstation Lockdown=1:" + sysvol + "{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}|",
  };
  EXPECT_EQ(profile_values(), expected);
  // A policy object deleted from the domain is no longer listed; its value stays until the next save.
  ASSERT_EQ(directory_->modify("dn: CN={9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10},CN=Policies,CN=System," +
                               directory_->base() + "\nchangetype: delete\n"),
            0);
  HWND back = list(0x602400DA);
  EXPECT_EQ(ListGposTracked("SRV03", "Directory", back), 2u);
  EXPECT_EQ(support::list_column(back),
            (std::vector<std::string>{"Default Domain Policy", "Default Domain Controllers Policy"}));
  EXPECT_EQ(SaveGposTracked(back, "SRV03", "Directory"), 0u);
  expected.pop_back();
  EXPECT_EQ(profile_values(), expected);

  // They are looked up in the domain of the profile's server: a console outside the domain lists them
  // all the same, and a server outside it lists none.
  release_registry_connections();
  world_.set_machine_setting("CONSOLE01", "machine", "domain", "WORKGROUP");
  world_.open();
  HWND from_outside = list(0x602400DA);
  EXPECT_EQ(ListGposTracked("SRV03", "Directory", from_outside), 2u);
  release_registry_connections();
  world_.set_machine_setting("SRV03", "machine", "domain", "WORKGROUP");
  world_.open();
  HWND outside_server = list(0x602400DA);
  EXPECT_EQ(ListGposTracked("SRV03", "Directory", outside_server), 0u);
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(TrackingLists, AProfileIsCreatedByTheConsoleUsersDistinguishedNameWhenTheDomainKnowsTheUser) {
  auto creator = [&](const char* profile) {
    DWORD created = 0;
    EXPECT_EQ(CreateProfile(nullptr, "SRV03", profile, kProfileDirectory, &created), 0u);
    HKEY root, key;
    EXPECT_EQ(ConnectServerRegistry("SRV03", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, (std::string(kProductKey) + "\\Profiles\\" + profile).c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char text[300] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "CreatedBy", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(size, std::strlen(text) + 2);
    return std::string(text);
  };
  // A local account the directory does not have, then the domain's Administrator.
  world_.set_console_user("auditor");
  world_.open();
  EXPECT_EQ(creator("Local"), "auditor on CONSOLE01");
  release_registry_connections();
  world_.set_console_user("Administrator");
  world_.open();
  EXPECT_EQ(creator("Audit"), "cn=Administrator,cn=Users,dc=brightmere,dc=local");
}

}  // namespace
