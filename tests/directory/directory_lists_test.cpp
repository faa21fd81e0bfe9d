// The picker's lists filled from a real directory, compared with ldapsearch
// of the same base and filter, and the searches slapd logged.
#include <algorithm>
#include <functional>

#include "tests/directory/directory_fixture.h"
#include "win32/modules.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

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

namespace {

using support::DirectoryTest;

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::string schema_base() { return std::string("CN=Schema,CN=Configuration,") + support::kDemoDomainDn; }

// The names ldapsearch finds for a filter in the schema container.
std::vector<std::string> schema_names(const support::DirectoryServer& d, const std::string& filter) {
  std::vector<std::string> out;
  std::string ldif = d.search(schema_base(), "one", filter, {"ldapDisplayName"});
  for (size_t at = ldif.find("ldapDisplayName: "); at != std::string::npos; at = ldif.find("ldapDisplayName: ", at + 1))
    out.push_back(ldif.substr(at + 17, ldif.find('\n', at) - at - 17));
  return out;
}

TEST_F(DirectoryTest, SchemaListsHoldTheNamesOfTheirFilterAndTheClassListStartsWithAnyClass) {
  HWND classes = list(), paths = list(), integers = list(), singles = list();
  FillSchemaList(classes, 2, kIconTrackClass, 0);
  FillSchemaList(paths, 3, kIconTrackAttribute, 0);
  FillSchemaList(integers, 42, kIconTrackAttribute, 0);
  FillSchemaList(singles, 4, kIconTrackAttribute, 0);
  std::vector<std::string> logged = directory_->logged_searches();
  std::vector<std::string> class_rows = support::list_column(classes);
  ASSERT_FALSE(class_rows.empty());
  EXPECT_EQ(class_rows[0], "*Any Object Class*");
  EXPECT_EQ(sorted({class_rows.begin() + 1, class_rows.end()}),
            sorted(schema_names(*directory_, "(objectCategory=classSchema)")));
  EXPECT_EQ(sorted(support::list_column(paths)),
            (std::vector<std::string>{"gPCFileSysPath", "homeDirectory", "scriptPath"}));
  EXPECT_EQ(sorted(support::list_column(integers)),
            sorted(schema_names(*directory_, "(&(objectCategory=attributeSchema)(attributeSyntax=2.5.5.9))")));
  EXPECT_EQ(sorted(support::list_column(singles)),
            sorted(schema_names(*directory_, "(&(objectCategory=attributeSchema)(isSingleValued=TRUE))")));
  EXPECT_EQ(support::list_rows(paths)[0].image, kIconTrackAttribute);
  // Each list is one search one level below the schema naming context, with its selector's filter (as slapd
  // writes it: values folded to lower case where they match without case).
  std::string schema = "base=\"cn=Schema,cn=Configuration,dc=brightmere,dc=local\" scope=1 filter=";
  std::vector<std::string> searches;
  for (const std::string& l : logged)
    if (l.rfind(schema, 0) == 0 && l != schema + "\"(objectCategory=attributeschema)\"") searches.push_back(l);
  EXPECT_EQ(searches, (std::vector<std::string>{
                          schema + "\"(&(objectCategory=classschema)(ldapDisplayName=*))\"",
                          schema + "\"(|(&(objectCategory=attributeschema)(ldapDisplayName=*path))"
                                   "(&(objectCategory=attributeschema)(ldapDisplayName=*directory)))\"",
                          schema + "\"(&(objectCategory=attributeschema)(attributeSyntax=2.5.5.9))\"",
                          schema + "\"(&(objectCategory=attributeschema)(isSingleValued=TRUE))\"",
                      }));
}

TEST_F(DirectoryTest, BindFailuresAddTheirRowAndTheDnsBoxOnlyForAnUnknownDomainOrServer) {
  // A base named by a DNS name that no server answers is tried again as a DN, which the domain does not hold.
  HWND retried = list();
  FillDirectoryList(retried, kListContainers, "LDAP://corp.example", directory_kind_filter(kListContainers), 0, 0);
  EXPECT_EQ(support::list_column(retried),
            std::vector<std::string>{"LAC:Could not bind to [LDAP://DC=corp,DC=example], code [80072030]"});
  EXPECT_EQ(support::list_rows(retried)[0].image, kHostErrorImage);
  EXPECT_TRUE(ui::journal().empty());

  // The logon session's password refused: the row with the logon failure, and no configuration box.
  world_.set_world_setting("directory", "password", "not the password");
  world_.open();
  HWND refused = list();
  FillDirectoryList(refused, kListUsers, ("LDAP://" + directory_->base()).c_str(), directory_kind_filter(kListUsers), 0, 0);
  EXPECT_EQ(support::list_column(refused),
            std::vector<std::string>{"LAC:Could not bind to [LDAP://DC=brightmere,DC=local], code [8007052e]"});
  EXPECT_TRUE(ui::journal().empty());
  world_.set_world_setting("directory", "password", support::kDirectoryPassword);
  world_.open();

  // The controller does not answer: the configuration box, the row, and the schema list's own box.
  directory_->stop();
  HWND down = list(), schema = list();
  FillDirectoryList(down, kListUsers, ("LDAP://" + directory_->base()).c_str(), directory_kind_filter(kListUsers), 0, 0);
  FillSchemaList(schema, 1, 0, 0);
  EXPECT_EQ(support::list_column(down),
            std::vector<std::string>{"LAC:Could not bind to [LDAP://DC=brightmere,DC=local], code [8007203a]"});
  EXPECT_TRUE(support::list_column(schema).empty());
  std::vector<std::string> shown = support::journal_lines(" | ", true);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], std::string(library_title()) +
                          " | Possible Workstation Configuration Problem:\n\nPlease confirm the DNS Server Addresses "
                          "defined are correct.\n\nIf no DNS server addresses are defined, interaction with Active "
                          "Directory will not function.");
  EXPECT_EQ(shown[1], "VORNIX Error OC,AD | Error opening [LDAP://RootDSE] [8007203a]\n\nThis can be caused by running "
                      "this executable from a remote device/server.  Suggestion: Copy this executable and its DLL files "
                      "to a drive hosted on a server in the selected Domain.");

  // A console whose network has no domain at all.
  world_.set_world_setting("directory", "domain", "");
  world_.open();
  HWND lost = list();
  FillDirectoryList(lost, kListUsers, ("LDAP://" + directory_->base()).c_str(), directory_kind_filter(kListUsers), 0, 0);
  EXPECT_EQ(support::list_column(lost),
            std::vector<std::string>{"LAC:Could not bind to [LDAP://DC=brightmere,DC=local], code [8007054b]"});
  EXPECT_TRUE(support::journal_has(library_title(), "Possible Workstation Configuration Problem"));
  // The library's own message dialogs show the box under the same title.
  ui::clear_journal();
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  g_library.styled_dialog_mode = 1;
  FillDirectoryList(list(), kListUsers, ("LDAP://" + directory_->base()).c_str(), directory_kind_filter(kListUsers), 0, 0);
  g_library.styled_dialog_mode = 0;
  qvmr_unregister_module(g_library.instance);
  const std::string title = library_title();
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{title + " | " + title +
                                     "\nPossible Workstation Configuration Problem:\n\nPlease confirm the DNS Server "
                                     "Addresses defined are correct.\n\nIf no DNS server addresses are defined, "
                                     "interaction with Active Directory will not function."});
}

// A list view that stops the running search after its second row, and tries to start another.
HWND g_cancelling_list = nullptr;
WNDPROC g_list_procedure = nullptr;
DWORD g_second_search_rows = 99;
LRESULT CALLBACK cancel_after_two_rows(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = CallWindowProcA(g_list_procedure, window, message, wparam, lparam);
  if (message == LVM_INSERTITEMA && SendMessageA(window, LVM_GETITEMCOUNT, 0, 0) == 2) {
    g_second_search_rows = FillDirectoryList(g_cancelling_list, kListUsers, "LDAP://DC=brightmere,DC=local",
                                             directory_kind_filter(kListUsers), 0, 0);
    abort_searches();
  }
  return result;
}

TEST_F(DirectoryTest, OneSearchRunsAtATimeAndTheCancelValueStopsIt) {
  HWND users = list();
  g_cancelling_list = users;
  g_list_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(users, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(cancel_after_two_rows)));
  g_library.search_cancel = kSearchCancelStop;  // a stop asked before the search started does not count
  EXPECT_EQ(FillDirectoryList(users, kListUsers, ("LDAP://" + directory_->base()).c_str(),
                              directory_kind_filter(kListUsers), 0, 0),
            2u);
  EXPECT_EQ(g_second_search_rows, 0u);
  EXPECT_EQ(support::list_column(users).size(), 2u);
  // Once it has ended, the next search runs.
  HWND again = list();
  EXPECT_EQ(FillDirectoryList(again, kListUsers, ("LDAP://" + directory_->base()).c_str(),
                              directory_kind_filter(kListUsers), 0, 0),
            11u);
}

// A list view that notes the cursor shown whenever a row is added.
std::vector<HCURSOR> g_cursors_seen;
LRESULT CALLBACK note_cursor(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == LVM_INSERTITEMA) {
    HCURSOR shown = SetCursor(nullptr);
    SetCursor(shown);
    g_cursors_seen.push_back(shown);
  }
  return CallWindowProcA(g_list_procedure, window, message, wparam, lparam);
}

TEST_F(DirectoryTest, TheWaitCursorShowsWhileASearchFillsItsList) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW), wait = LoadCursorA(nullptr, IDC_WAIT);
  SetCursor(arrow);
  auto watched = [&](const char* what, const std::function<void(HWND)>& fill) {
    HWND l = list();
    g_list_procedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(l, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(note_cursor)));
    g_cursors_seen.clear();
    fill(l);
    EXPECT_FALSE(g_cursors_seen.empty()) << what;
    EXPECT_EQ(std::count(g_cursors_seen.begin(), g_cursors_seen.end(), wait),
              static_cast<std::ptrdiff_t>(g_cursors_seen.size()))
        << what;
    HCURSOR after = SetCursor(arrow);
    EXPECT_EQ(after, arrow) << what << ": the cursor is given back when the search ends";
  };
  watched("users", [](HWND l) {
    FillDirectoryList(l, kListUsers, base_path().c_str(), directory_kind_filter(kListUsers), 0, 0);
  });
  watched("classes", [](HWND l) { FillSchemaList(l, 2, 0, 0); });
  watched("service points", [](HWND l) { ListServicePoints(l, support::kDemoDnsDomain); });
}

TEST_F(DirectoryTest, GroupPoliciesAreListedByDisplayNameWithTheirFileSystemPath) {
  HWND mine = list(), servers = list(), missing = list();
  FillGpoList(mine, nullptr);
  FillGpoList(servers, "SRV02");
  std::string policies = "CN=Policies,CN=System," + directory_->base();
  std::vector<std::string> expected;
  std::string ldif = directory_->search(policies, "one", "(objectClass=groupPolicyContainer)", {"displayName", "gPCFileSysPath"});
  for (size_t at = ldif.find("displayName: "); at != std::string::npos; at = ldif.find("displayName: ", at + 1)) {
    size_t path = ldif.find("gPCFileSysPath: ", at);
    expected.push_back(ldif.substr(at + 13, ldif.find('\n', at) - at - 13) + " -> " +
                       ldif.substr(path + 16, ldif.find('\n', path) - path - 16));
  }
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(rows_with_paths(mine), expected);
  EXPECT_EQ(rows_with_paths(servers), expected);
  EXPECT_EQ(support::list_rows(mine)[0].image, kIconGpo);
  // A server whose domain is not found lists nothing, and that is all: no box.
  FillGpoList(missing, "NOSUCH");
  EXPECT_TRUE(support::list_column(missing).empty());
  EXPECT_TRUE(ui::journal().empty());
  const char* lockdown = "\\\\brightmere.local\\SysVol\\brightmere.local\\Policies\\{9D1E3C55-2F4B-4C1A-8E53-0B7F2C6D4A10}";
  EXPECT_TRUE(GpoPathExists(nullptr, lockdown));
  EXPECT_TRUE(GpoPathExists("SRV02", lockdown));
  EXPECT_FALSE(GpoPathExists("NOSUCH", lockdown));
}

TEST_F(DirectoryTest, NamesPlacedInFiltersAndPathsAreEscapedSoACraftedNameCannotWidenASearch) {
  struct Case {
    const char* value;
    const char* escaped;
  } cases[] = {{"Jane Smith", "Jane Smith"},
               {"gPCFileSysPath", "gPCFileSysPath"},
               {"*", "\\2a"},
               {"a)(cn=*", "a\\29\\28cn=\\2a"},
               {"\\\\host\\share", "\\5c\\5chost\\5cshare"}};
  for (const Case& c : cases) {
    char out[100];
    escape_filter_value(c.value, out, sizeof out);
    EXPECT_STREQ(out, c.escaped) << c.value;
  }
  char cut[5];
  escape_filter_value("ab*cd", cut, sizeof cut);
  EXPECT_STREQ(cut, "ab");  // an escape is never cut in half
  // A path made of wildcards matches no policy object, where the unescaped filter would match them all.
  EXPECT_FALSE(GpoPathExists(nullptr, "*"));
  EXPECT_FALSE(GpoPathExists(nullptr, "*)(objectClass=*"));
  // An attribute name from a record is looked up only when it is a name at all.
  DWORD single = 7;
  EXPECT_EQ(LookupAttributeSyntax(nullptr, "cn)(ldapDisplayName=*", &single), kSyntaxNotFound);
  EXPECT_EQ(LookupAttributeSyntax(nullptr, "*", &single), kSyntaxNotFound);
  EXPECT_EQ(single, 0u);
  EXPECT_EQ(LookupAttributeSyntax(nullptr, "otherTelephone", &single), 3u);
  EXPECT_EQ(single, 0u);
  EXPECT_EQ(LookupAttributeSyntax("SRV01", "isSingleValued", &single), 6u);
  EXPECT_EQ(single, 1u);
  std::vector<std::string> logged = directory_->logged_searches();
  for (const std::string& l : logged) EXPECT_EQ(l.find("ldapDisplayName=*"), std::string::npos) << l;
  // A DN that holds a slash is bound as that DN, not as a server and a DN.
  char path[200];
  ldap_path(nullptr, "CN=Ops/Night Shift,OU=Sales,DC=brightmere,DC=local", path, sizeof path);
  EXPECT_STREQ(path, "LDAP://CN=Ops\\/Night Shift,OU=Sales,DC=brightmere,DC=local");
  DWORD type = 0;
  EXPECT_EQ(CountMatchingValues("CN=Ops/Night Shift,OU=Sales,DC=brightmere,DC=local", "sAMAccountName", "OPSNIGHT",
                                &type),
            1u);
  EXPECT_EQ(type, static_cast<DWORD>(ADSTYPE_CASE_IGNORE_STRING));
}

TEST_F(DirectoryTest, TheDomainDnComesFromATypedDnOrFromTheDomainController) {
  char dn[200];
  WCHAR wide[200];
  struct Case {
    const char* text;
    const char* dn;
  } cases[] = {{"OU=Sales,DC=brightmere,DC=local", "DC=brightmere,DC=local"},
               {"ou=sales,dc=corp,dc=example/", "dc=corp,dc=example"},
               {"CN=x,Dc=a,dC=b\\", "Dc=a,dC=b"},
               {"", "DC=brightmere,DC=local"},
               {"brightmere", "DC=brightmere,DC=local"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(DomainDnFromName(c.text, dn, sizeof dn, wide, 200)) << c.text;
    EXPECT_STREQ(dn, c.dn) << c.text;
    char back[200];
    from_wide(wide, back, sizeof back);
    EXPECT_STREQ(back, c.dn);
  }
  world_.set_world_setting("directory", "domain", "");
  world_.open();
  EXPECT_FALSE(DomainDnFromName("no domain here", dn, sizeof dn, nullptr, 0));
}

}  // namespace
