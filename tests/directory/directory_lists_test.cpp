// The picker's lists filled from a real directory, compared with ldapsearch
// of the same base and filter, and the searches slapd logged.
#include <algorithm>

#include "tests/directory/directory_fixture.h"

namespace {

using support::DirectoryTest;

std::string base_path(const char* prefix = "") { return std::string("LDAP://") + prefix + support::kDemoDomainDn; }

TEST_F(DirectoryTest, UsersContainersAndContactsAreWhatLdapsearchFinds) {
  HWND users = list(), containers = list(), contacts = list();
  std::string sales = "LDAP://OU=Sales," + directory_->base();
  EXPECT_EQ(FillDirectoryList(users, kListUsers, base_path().c_str(), directory_kind_filter(kListUsers), kIconAdUser, 0),
            11u);
  FillDirectoryList(containers, kListContainers, base_path().c_str(), directory_kind_filter(kListContainers), 0, 0);
  FillDirectoryList(contacts, kListContacts, sales.c_str(), directory_kind_filter(kListContacts), 0, 0);
  // What slapd was asked: each bind proves its base, then the search with the kind's scope and filter.
  std::string base = "dc=brightmere,dc=local", proof = " scope=0 filter=\"(objectClass=*)\"";
  EXPECT_EQ(directory_->logged_searches(),
            (std::vector<std::string>{
                "base=\"" + base + "\"" + proof,
                "base=\"" + base + "\" scope=2 filter=\"(&(objectCategory=person)(objectClass=user)(sAMAccountType=805306368))\"",
                "base=\"" + base + "\"" + proof,
                "base=\"" + base + "\" scope=1 filter=\"(|(objectClass=container)(objectClass=organizationalUnit))\"",
                "base=\"ou=Sales," + base + "\"" + proof,
                "base=\"ou=Sales," + base + "\" scope=1 filter=\"(&(objectClass=contact))\"",
            }));
  // Each row is labelled with the entry's name and keeps its DN, as ldapsearch of the same base and filter finds them.
  EXPECT_EQ(rows_with_paths(users), ldap_rows(directory_->base(), "sub", directory_kind_filter(kListUsers)));
  EXPECT_EQ(rows_with_paths(containers), ldap_rows(directory_->base(), "one", directory_kind_filter(kListContainers)));
  EXPECT_EQ(rows_with_paths(contacts), ldap_rows("OU=Sales," + directory_->base(), "one", "(objectClass=contact)"));
  std::vector<std::string> names = support::list_column(containers);
  EXPECT_NE(std::find(names.begin(), names.end(), "Users"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Sales"), names.end());
}

}  // namespace
