// The agents' service connection points listed from the global catalog and
// a setting published to them, read back with ldapsearch.
#include "config/server_settings.h"
#include "tests/directory/directory_fixture.h"

namespace {

using support::DirectoryTest;

const std::string kSrv01Point = "CN=VORNIXW,CN=SRV01,OU=Domain Controllers,DC=brightmere,DC=local";
const std::string kSrv02Point = "CN=VORNIXW,CN=SRV02,CN=Computers,DC=brightmere,DC=local";

TEST_F(DirectoryTest, ServicePointsAreListedOncePerServerWithTheTypeTheyDeclare) {
  HWND points = list();
  EXPECT_EQ(ListServicePoints(points, support::kDemoDnsDomain), 2u);
  EXPECT_EQ(ListServicePoints(points, support::kDemoDnsDomain), 2u);  // found again, not added again
  EXPECT_EQ(support::list_column(points), (std::vector<std::string>{"SRV01", "SRV02"}));
  ASSERT_EQ(g_directory.point_count, 2u);
  EXPECT_EQ(g_directory.points[0].type, 4u);
  EXPECT_EQ(g_directory.points[1].type, 2u);
  EXPECT_EQ(directory_->logged_searches().back(),
            "base=\"dc=brightmere,dc=local\" scope=2 filter=\"(&(objectClass=serviceConnectionPoint)(cn=vornixw))\"");
  // A forest no server answers for: the row that says so.
  HWND none = list();
  EXPECT_EQ(ListServicePoints(none, "corp.example"), 0u);
  EXPECT_EQ(support::list_column(none),
            std::vector<std::string>{"LAC:Could not bind to [GC://corp.example], code [8007203a]"});
}

TEST_F(DirectoryTest, APublishedSettingIsAppendedToTypeFourAndRemovedFromTypeTwo) {
  ListServicePoints(nullptr, support::kDemoDnsDomain);
  directory_->forget_log();
  EXPECT_EQ(PublishServicePointSetting("LogonsEvery=30"), 2u);
  EXPECT_EQ(directory_->values(kSrv01Point, "url"),
            (std::vector<std::string>{"VNXLL=LogonsEvery=15", "VNXLL=LogonsEvery=30"}));
  EXPECT_EQ(directory_->values(kSrv02Point, "url"), std::vector<std::string>{"VNXLL=LogonsEvery=15"});
  // The old setting goes from the type-two point; on the type-four point it is there already.
  EXPECT_EQ(PublishServicePointSetting("LogonsEvery=15"), 2u);
  EXPECT_EQ(directory_->values(kSrv01Point, "url"),
            (std::vector<std::string>{"VNXLL=LogonsEvery=15", "VNXLL=LogonsEvery=30"}));
  EXPECT_TRUE(directory_->values(kSrv02Point, "url").empty());
  EXPECT_TRUE(ui::journal().empty());
  std::vector<std::string> mods = directory_->logged_modifications();
  EXPECT_EQ(mods.size(), 4u);
  // An account that may only read is told which point refused and why.
  world_.set_world_setting("directory", "user", support::kDirectoryReader);
  world_.open();
  EXPECT_EQ(PublishServicePointSetting("LogonsEvery=45"), 0u);
  EXPECT_TRUE(support::journal_has(library_title(), "Error [80070005] changing url on the service connection point\n\n" +
                                                        std::string(g_directory.points[0].dn) + "\n\nSetting: VNXLL=LogonsEvery=45"));
  EXPECT_EQ(directory_->values(kSrv01Point, "url").size(), 2u);
}

}  // namespace

namespace {

// The containers saved for local logon tracking go out to the forest's points, whose list is read first.
TEST_F(DirectoryTest, SavedLocalLogonContainersArePublishedToTheForestsPoints) {
  HKEY machine, product;
  ASSERT_EQ(RegConnectRegistryA("\\\\SRV01", HKEY_LOCAL_MACHINE, &machine), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(machine, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &product, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(product);
  RegCloseKey(machine);
  const std::string setting = "VNXLL=OU=Sales,DC=brightmere,DC=local;OU=Labs";
  ASSERT_EQ(directory_->modify("dn: " + kSrv02Point + "\nchangetype: modify\nadd: url\nurl: " + setting + "\n-\n"), 0);
  HWND containers = list(0x603400B0);
  support::insert_list_rows(containers, {{"OU=Sales,DC=brightmere,DC=local", nullptr}, {"OU=Labs", nullptr}});
  ASSERT_EQ(g_directory.point_count, 0u);
  EXPECT_EQ(SaveLocalLogonContainers(containers, "SRV01", 1), 0u);
  EXPECT_EQ(directory_->values(kSrv01Point, "url"), (std::vector<std::string>{"VNXLL=LogonsEvery=15", setting}));
  EXPECT_EQ(directory_->values(kSrv02Point, "url"), std::vector<std::string>{"VNXLL=LogonsEvery=15"});
  EXPECT_TRUE(ui::journal().empty());
}

}  // namespace
