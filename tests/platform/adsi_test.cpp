// The Win32 layer's ADSI where it has logic of its own: which server an
// ADsPath leads to, searches in pages, values typed by the schema, the
// attributes made from the DN, and the Windows codes of directory results.
#include <gtest/gtest.h>

#include <activeds.h>
#include <dsgetdc.h>
#include <lm.h>

#include <string>
#include <vector>

#include "sim/directory_server.h"
#include "sim/world_builder.h"

namespace {

std::u16string wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class Adsi : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_machine("SRV02", "127.0.0.3");
    directory_ = std::make_unique<support::DirectoryServer>(world_);
    world_.open();
    directory_->forget_log();
  }

  HRESULT open(const std::string& path, REFIID riid, void** object) {
    return ADsOpenObject(wide(path).c_str(), nullptr, nullptr, ADS_SECURE_AUTHENTICATION, riid, object);
  }

  support::WorldBuilder world_;
  std::unique_ptr<support::DirectoryServer> directory_;
};

TEST_F(Adsi, PathsLeadToTheirServerOrSayWhyNot) {
  struct Case {
    std::string path;
    HRESULT result;
  } cases[] = {
      {"LDAP://RootDSE", S_OK},
      {"LDAP://SRV01/RootDSE", S_OK},
      {"LDAP://srv01.brightmere.local/OU=Sales,DC=brightmere,DC=local", S_OK},
      {"LDAP://127.0.0.2/OU=Sales,DC=brightmere,DC=local", S_OK},
      {"LDAP://brightmere.local", S_OK},  // the domain's default naming context
      {"GC://brightmere.local", S_OK},
      {"LDAP://CN=Ops\\/Night Shift,OU=Sales,DC=brightmere,DC=local", S_OK},
      {"LDAP://CN=Ops/Night Shift,OU=Sales,DC=brightmere,DC=local", static_cast<HRESULT>(0x8007203A)},
      {"LDAP://SRV02/DC=brightmere,DC=local", static_cast<HRESULT>(0x8007203A)},  // not a domain controller
      {"LDAP://OU=Nowhere,DC=brightmere,DC=local", static_cast<HRESULT>(0x80072030)},
      {"WinNT://SRV01", E_ADS_BAD_PATHNAME},
  };
  for (const Case& c : cases) {
    IADs* object = nullptr;
    EXPECT_EQ(open(c.path, IID_IADs, reinterpret_cast<void**>(&object)), c.result) << c.path;
    EXPECT_EQ(object != nullptr, c.result == S_OK) << c.path;
    if (object) object->Release();
  }
  // The logon session's password refused: the logon failure, with the server's text.
  world_.set_world_setting("directory", "password", "wrong");
  world_.open();
  IADs* object = nullptr;
  EXPECT_EQ(open("LDAP://RootDSE", IID_IADs, reinterpret_cast<void**>(&object)), static_cast<HRESULT>(0x8007052E));
  DWORD code = 0;
  WCHAR text[200] = {}, provider[40] = {};
  ADsGetLastError(&code, text, 200, provider, 40);
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_LOGON_FAILURE));
  EXPECT_EQ(std::u16string(text).rfind(u"0000052E: ", 0), 0u);
  // Without a domain the serverless path has no domain to go to; the locator says the same.
  world_.set_world_setting("directory", "domain", "");
  world_.open();
  EXPECT_EQ(open("LDAP://RootDSE", IID_IADs, reinterpret_cast<void**>(&object)), static_cast<HRESULT>(0x8007054B));
  PDOMAIN_CONTROLLER_INFOA info = nullptr;
  EXPECT_EQ(DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, 0, &info), static_cast<DWORD>(ERROR_NO_SUCH_DOMAIN));
}

TEST_F(Adsi, TheLocatorAnswersForTheDomainOfTheComputerAsked) {
  // A console outside the domain has no domain of its own, though the domain is found by name; a
  // server outside it has no primary domain.
  world_.set_machine_setting("CONSOLE01", "machine", "domain", "WORKGROUP");
  world_.set_machine_setting("SRV02", "machine", "domain", "WORKGROUP");
  world_.open();
  PDOMAIN_CONTROLLER_INFOA info = nullptr;
  EXPECT_EQ(DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, 0, &info), static_cast<DWORD>(ERROR_NO_SUCH_DOMAIN));
  ASSERT_EQ(DsGetDcNameA(nullptr, "brightmere.local", nullptr, nullptr, 0, &info), static_cast<DWORD>(ERROR_SUCCESS));
  NetApiBufferFree(info);
  PDS_DOMAIN_TRUSTSA domains = nullptr;
  ULONG count = 0;
  char member[] = "\\\\SRV01", outsider[] = "\\\\SRV02";
  ASSERT_EQ(DsEnumerateDomainTrustsA(member, DS_DOMAIN_PRIMARY, &domains, &count), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_STREQ(domains[0].DnsDomainName, "brightmere.local");
  NetApiBufferFree(domains);
  EXPECT_EQ(DsEnumerateDomainTrustsA(outsider, DS_DOMAIN_PRIMARY, &domains, &count),
            static_cast<DWORD>(ERROR_NO_SUCH_DOMAIN));
}

TEST_F(Adsi, ASearchIsFetchedInPagesAndItsValuesAreTypedByTheSchema) {
  IDirectorySearch* search = nullptr;
  ASSERT_EQ(open("LDAP://DC=brightmere,DC=local", IID_IDirectorySearch, reinterpret_cast<void**>(&search)), S_OK);
  ADS_SEARCHPREF_INFO preferences[2] = {};
  preferences[0].dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
  preferences[0].vValue.Integer = ADS_SCOPE_SUBTREE;
  preferences[1].dwSearchPref = ADS_SEARCHPREF_PAGESIZE;
  preferences[1].vValue.Integer = 3;
  ASSERT_EQ(search->SetSearchPreference(preferences, 2), S_OK);
  std::u16string filter = u"(&(objectCategory=person)(objectClass=user)(sAMAccountType=805306368))";
  std::u16string names[] = {u"name", u"ADSPATH", u"userAccountControl", u"sAMAccountName"};
  LPWSTR columns[] = {names[0].data(), names[1].data(), names[2].data(), names[3].data()};
  ADS_SEARCH_HANDLE handle = nullptr;
  ASSERT_EQ(search->ExecuteSearch(filter.data(), columns, 4, &handle), S_OK);
  std::vector<std::u16string> paths;
  HRESULT hr;
  for (hr = search->GetFirstRow(handle); hr == S_OK; hr = search->GetNextRow(handle)) {
    ADS_SEARCH_COLUMN column;
    ASSERT_EQ(search->GetColumn(handle, names[1].data(), &column), S_OK);
    paths.push_back(column.pADsValues[0].CaseIgnoreString);
    search->FreeColumn(&column);
    ASSERT_EQ(search->GetColumn(handle, names[2].data(), &column), S_OK);
    EXPECT_EQ(column.dwADsType, ADSTYPE_INTEGER);
    EXPECT_EQ(column.pADsValues[0].dwType, ADSTYPE_INTEGER);
    search->FreeColumn(&column);
  }
  EXPECT_EQ(hr, S_ADS_NOMORE_ROWS);
  search->CloseSearchHandle(handle);
  search->Release();
  ASSERT_EQ(paths.size(), 11u);
  EXPECT_EQ(paths[0], u"LDAP://cn=Administrator,cn=Users,dc=brightmere,dc=local");
  EXPECT_EQ(paths[10], u"LDAP://cn=Ops\\/Night Shift,ou=Sales,dc=brightmere,dc=local");
  // Eleven users in pages of three: four searches (after the bind's proof of the base and the schema's syntaxes).
  size_t pages = 0;
  for (const std::string& line : directory_->logged_searches())
    if (line.find("sAMAccountType=805306368") != std::string::npos) ++pages;
  EXPECT_EQ(pages, 4u);

  // An object's attributes: a boolean, an integer, a large integer, a time, and one the entry has not.
  IDirectoryObject* object = nullptr;
  ASSERT_EQ(open("LDAP://CN=isSingleValued,CN=Schema,CN=Configuration,DC=brightmere,DC=local", IID_IDirectoryObject,
                 reinterpret_cast<void**>(&object)),
            S_OK);
  std::u16string wanted[] = {u"isSingleValued", u"systemFlags", u"usnCreated", u"mail"};
  LPWSTR wanted_names[] = {wanted[0].data(), wanted[1].data(), wanted[2].data(), wanted[3].data()};
  PADS_ATTR_INFO info = nullptr;
  DWORD returned = 0;
  ASSERT_EQ(object->GetObjectAttributes(wanted_names, 4, &info, &returned), S_OK);
  ASSERT_EQ(returned, 3u);
  EXPECT_EQ(info[0].dwADsType, ADSTYPE_BOOLEAN);
  EXPECT_EQ(info[0].pADsValues[0].Boolean, 1u);
  EXPECT_EQ(info[1].dwADsType, ADSTYPE_INTEGER);
  EXPECT_EQ(info[1].pADsValues[0].Integer, 16u);
  EXPECT_EQ(info[2].dwADsType, ADSTYPE_LARGE_INTEGER);
  EXPECT_GT(info[2].pADsValues[0].LargeInteger.QuadPart, 12000);
  FreeADsMem(info);
  object->Release();
}

}  // namespace
