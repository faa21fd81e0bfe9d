// Rollback of recorded directory changes from a directory report's rows,
// from each starting state, with the entry read back with ldapsearch and the
// modifications slapd logged; and the display texts of directory values.
#include "tests/directory/directory_fixture.h"

#include <strings.h>

#include <array>
#include <cstdio>
#include <deque>

#include "reports/report_items.h"

namespace {

constexpr DWORD kAdded = 0x00010400, kRemoved = 0x00020400, kReplaced = 0x00030400;
const std::string kJane = std::string("CN=Jane Smith,OU=Finance,") + support::kDemoDomainDn;
const std::string kGroups = std::string(",OU=Groups,") + support::kDemoDomainDn;

class Rollback : public support::DirectoryTest {
 protected:
  void SetUp() override {
    DirectoryTest::SetUp();
    report_ = list(0x60440D1E);
  }

  // A report row of a recorded change, selected.
  void add_change(DWORD action, const std::string& dn, const char* attribute, const std::string& added,
                  const std::string& removed, uint32_t binary = 0) {
    DirectoryLogRecord r = {};
    r.type = 0xFACC0011;
    r.action = action;
    std::snprintf(r.object_dn, sizeof r.object_dn, "%s", dn.c_str());
    std::snprintf(r.attribute, sizeof r.attribute, "%s", attribute);
    std::snprintf(r.new_value, sizeof r.new_value, "%s", added.c_str());
    std::snprintf(r.old_value, sizeof r.old_value, "%s", removed.c_str());
    r.values[2] = binary;
    BYTE* context = contexts_.emplace_back().data();
    set_item_word(context, kItemWordModule, 7);
    set_row_item(context, kLogFamilyDirectory, make_directory_row_item(r));
    support::insert_list_rows(report_, {{"AD change", context}});
    support::set_row_selected(report_, support::list_rows(report_).size() - 1);
  }

  void add_phones(const std::string& dn, std::initializer_list<const char*> phones) {
    std::string ldif = "dn: " + dn + "\nchangetype: modify\nadd: otherTelephone\n";
    for (const char* p : phones) ldif += std::string("otherTelephone: ") + p + "\n";
    ASSERT_EQ(directory_->modify(ldif + "-\n"), 0);
    directory_->forget_log();
  }

  std::vector<std::string> shown() { return support::journal_lines(" | ", true); }

  HWND report_ = nullptr;
  std::deque<std::array<BYTE, kListItemBytes>> contexts_;
};

// The user's answer to the next confirmation.
void answer(int button) {
  ui::Answer a;
  a.match = "Rollback AD Modification on this object";
  a.button = button;
  ui::script(a);
}

std::string confirm(const std::string& heading, const std::string& dn, const std::string& attribute,
                    const std::string& label, const std::string& value, const std::string& note) {
  return heading + ":\n\nObject: " + dn + "\n\nAttribute: " + attribute + "\n\n" + label + ": " + value + " (" + note +
         ")";
}

TEST_F(Rollback, AnAddedValueStillPresentIsRemovedOnOkAndKeptOnCancel) {
  add_phones(kJane, {"555-0101", "555-0102"});
  add_change(kAdded, kJane, "otherTelephone", "555-0101", "");
  add_change(kAdded, kJane, "otherTelephone", "555-0102", "");
  answer(IDOK);
  answer(IDCANCEL);
  EXPECT_EQ(RollbackDirectoryChanges(nullptr, report_), 1u);
  EXPECT_EQ(directory_->values(kJane, "otherTelephone"), std::vector<std::string>{"555-0102"});
  std::string title = "Rollback AD Modification on this object | ";
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         title + confirm("Please confirm", kJane, "otherTelephone", "Value Added", "555-0101",
                                         "remove this value if still present"),
                         title + confirm("Please confirm", kJane, "otherTelephone", "Value Added", "555-0102",
                                         "remove this value if still present")}));
  EXPECT_EQ(directory_->logged_modifications(),
            std::vector<std::string>{"MOD dn=\"cn=Jane Smith,ou=Finance,dc=brightmere,dc=local\" attr=otherTelephone"});
}

TEST_F(Rollback, AChangeAlreadyUndoneBySomeoneElseOnlyShowsTheResultsBox) {
  add_change(kAdded, kJane, "otherTelephone", "555-0199", "");
  add_change(kRemoved, kJane, "memberOf", "", "CN=HR Staff" + kGroups);
  EXPECT_EQ(RollbackDirectoryChanges(nullptr, report_), 0u);
  std::string title = "Rollback AD Modification Results | ";
  EXPECT_EQ(shown(), (std::vector<std::string>{
                         title + confirm("New Value is no longer present", kJane, "otherTelephone", "Value Added",
                                         "555-0199", "is no longer present, already removed"),
                         title + confirm("Deleted Value is currently present", kJane, "memberOf", "Value Removed",
                                         "CN=HR Staff" + kGroups, "is currently present, already added")}));
  EXPECT_TRUE(directory_->logged_modifications().empty());
}

TEST_F(Rollback, AReplacedSingleValueIsTakenAwayAndTheOldOneWrittenBackAfterOneConfirmation) {
  ASSERT_EQ(directory_->modify("dn: " + kJane + "\nchangetype: modify\nreplace: title\ntitle: Senior Analyst\n-\n"), 0);
  directory_->forget_log();
  add_change(kReplaced, kJane, "title", "Senior Analyst", "Analyst");
  answer(IDOK);
  EXPECT_EQ(RollbackDirectoryChanges(nullptr, report_), 1u);
  EXPECT_EQ(directory_->values(kJane, "title"), std::vector<std::string>{"Analyst"});
  std::vector<std::string> lines = shown();
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Rollback AD Modification on this object | " +
                          confirm("Please confirm", kJane, "title", "Value Added", "Senior Analyst",
                                  "remove this value if still present") +
                          "\n\n" +
                          confirm("Please confirm", kJane, "title", "Value Removed", "Analyst",
                                  "add this value if not already present"));
  // A single-valued attribute is cleared before its value is deleted, so the delete itself finds nothing.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind(std::string(library_title()) + " | Error [0x200a] on attribute [title]\n\nError Text:\n\n", 0), 0u)
      << lines[1];
  std::string mod = "MOD dn=\"cn=Jane Smith,ou=Finance,dc=brightmere,dc=local\" attr=title";
  EXPECT_EQ(directory_->logged_modifications(), (std::vector<std::string>{mod, mod, mod, mod}));
}

TEST_F(Rollback, AMembershipRecordedOnMemberOfIsRolledBackOnTheGroupsMember) {
  // Bound to the domain controller the change was recorded on.
  std::snprintf(g_directory.bound_server, sizeof g_directory.bound_server, "SRV01");
  add_change(kAdded, kJane, "memberOf", "CN=HR Staff" + kGroups, "");
  add_change(kRemoved, kJane, "memberOf", "", "CN=Domain Admins" + kGroups);
  answer(IDOK);
  answer(IDOK);
  EXPECT_EQ(RollbackDirectoryChanges(nullptr, report_), 2u);
  std::vector<std::string> groups = directory_->values(kJane, "memberOf");
  auto has = [&](const std::string& g) {
    for (const std::string& v : groups)
      if (strcasecmp(v.c_str(), ("cn=" + g + ",ou=Groups,dc=brightmere,dc=local").c_str()) == 0) return true;
    return false;
  };
  EXPECT_FALSE(has("HR Staff"));
  EXPECT_TRUE(has("Domain Admins"));
  EXPECT_TRUE(has("Finance Readers"));
  EXPECT_EQ(directory_->logged_modifications(),
            (std::vector<std::string>{"MOD dn=\"cn=HR Staff,ou=Groups,dc=brightmere,dc=local\" attr=member",
                                      "MOD dn=\"cn=Domain Admins,ou=Groups,dc=brightmere,dc=local\" attr=member"}));
}

TEST_F(Rollback, EachRefusedRowIsReportedAndTheRestGoOn) {
  std::string gone = "CN=Nobody Here,OU=Finance," + directory_->base();
  add_change(kAdded, kJane, "otherTelephone", "1", "", 1);       // a binary change
  add_change(kAdded, gone, "otherTelephone", "1", "");           // the object is gone
  add_change(kAdded, kJane, "favouriteColour", "blue", "");      // no such attribute
  add_change(kAdded, kJane, "*)(ldapDisplayName=cn", "x", "");   // not an attribute name at all
  add_change(kAdded, kJane, "whenCreated", "20261206100000.0Z", "");  // a time: not written back
  add_change(kAdded, kJane, "lastLogon", "134090000000000000", "");   // a large integer: not written back
  add_change(0x00000400, kJane, "title", "x", "");               // neither a value added nor removed: not a rollback row
  EXPECT_EQ(RollbackDirectoryChanges(nullptr, report_), 0u);
  std::string error = std::string(library_title()) + " | ";
  EXPECT_EQ(shown(),
            (std::vector<std::string>{
                kJane + " | Skipping binary change rollback on this object",
                gone + " | Object NOT FOUND, unable to perform AD rollback",
                error + "Unable to determine syntax type for attribute [favouriteColour].\n\nThere is apparently no "
                        "attribute by this name in the selected Active Directory Domain",
                error + "Unable to determine syntax type for attribute [*)(ldapDisplayName=cn].\n\nThere is apparently "
                        "no attribute by this name in the selected Active Directory Domain",
                error + "Unable to process rollback for attribute [whenCreated], syntax id 9.\n\nThis is currently an "
                        "unsupported syntax type.",
                error + "Unable to process rollback for attribute [lastLogon], syntax id 10.\n\nThis is currently an "
                        "unsupported syntax type.",
            }));
  EXPECT_TRUE(directory_->logged_modifications().empty());
}

TEST_F(Rollback, AnAccountThatMayOnlyReadChangesNothingAndIsToldWhy) {
  add_phones(kJane, {"555-0101"});
  world_.set_world_setting("directory", "user", support::kDirectoryReader);
  world_.open();
  add_change(kAdded, kJane, "otherTelephone", "555-0101", "");
  add_change(kAdded, kJane, "title", "Analyst", "");
  ASSERT_EQ(directory_->modify("dn: " + kJane + "\nchangetype: modify\nreplace: title\ntitle: Analyst\n-\n"), 0);
  directory_->forget_log();
  answer(IDOK);
  answer(IDOK);
  RollbackDirectoryChanges(nullptr, report_);
  EXPECT_EQ(directory_->values(kJane, "otherTelephone"), std::vector<std::string>{"555-0101"});
  EXPECT_EQ(directory_->values(kJane, "title"), std::vector<std::string>{"Analyst"});
  std::vector<std::string> lines = shown();
  ASSERT_EQ(lines.size(), 6u);
  std::string error = std::string(library_title()) + " | ";
  EXPECT_EQ(lines[1].rfind(error + "Error [0x2098] on attribute [otherTelephone]\n\nError Text:\n\n00002098: ", 0), 0u)
      << lines[1];
  // The single-valued title is cleared first: the refusal names the clear and how many values it has, and the
  // delete is still tried and refused in its turn.
  EXPECT_EQ(lines[3], error + "Your account has insufficient privileges to clear attribute values for [title].\n\nDoes "
                              "it have a value?[1]");
  EXPECT_EQ(lines[4].rfind(error + "Error [0x2098] on attribute [title]", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5].rfind(error + "Error [0x2098] on attribute [title]", 0), 0u) << lines[5];
  std::string jane = "MOD dn=\"cn=Jane Smith,ou=Finance,dc=brightmere,dc=local\" attr=";
  EXPECT_EQ(directory_->logged_modifications(),
            (std::vector<std::string>{jane + "otherTelephone", jane + "title", jane + "title"}));
}

TEST_F(Rollback, ModifyClearsAsItsModeSaysAndWritesAfterARefusedClear) {
  add_phones(kJane, {"555-0101", "555-0102"});
  ASSERT_EQ(directory_->modify("dn: " + kJane + "\nchangetype: modify\nreplace: title\ntitle: Analyst\n-\n"), 0);
  directory_->forget_log();
  // Mode 2 clears what would be cleared before a write and writes nothing: a single value goes, a
  // multi-valued attribute is left as it is.
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "title", "Lead", kSyntaxLookUp, 2, kParseValueText, 0, 0),
            kModifyDone);
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "otherTelephone", "555-0103", kSyntaxLookUp, 2, kParseValueText, 0, 0),
            kModifyDone);
  EXPECT_TRUE(directory_->values(kJane, "title").empty());
  EXPECT_EQ(directory_->values(kJane, "otherTelephone"), (std::vector<std::string>{"555-0101", "555-0102"}));
  EXPECT_EQ(directory_->logged_modifications(),
            std::vector<std::string>{"MOD dn=\"cn=Jane Smith,ou=Finance,dc=brightmere,dc=local\" attr=title"});
  EXPECT_TRUE(shown().empty());

  // An account that may add telephone numbers but not remove them: mode 1's clear is refused and
  // reported, and the number is still appended.
  world_.set_world_setting("directory", "user", support::kDirectoryReader);
  world_.open();
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "otherTelephone", "555-0104", kSyntaxLookUp, 1, kParseValueText, 0, 0),
            kModifyDone);
  EXPECT_EQ(directory_->values(kJane, "otherTelephone"),
            (std::vector<std::string>{"555-0101", "555-0102", "555-0104"}));
  std::vector<std::string> lines = shown();
  ASSERT_EQ(lines.size(), 2u);
  std::string error = std::string(library_title()) + " | ";
  EXPECT_EQ(lines[0], error + "Your account has insufficient privileges to clear attribute values for "
                              "[otherTelephone].\n\nDoes it have a value?[2]");
  EXPECT_EQ(lines[1].rfind(error + "Error [0x2098] on attribute [otherTelephone]", 0), 0u) << lines[1];
}

TEST_F(Rollback, ModifyRefusesWhatItCannotWrite) {
  EXPECT_EQ(ModifyAttribute(TRUE, "", "title", "x", 3, 0, kParseValueText, 0, 0), kModifyNoObject);
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "objectGUID", "x", kSyntaxLookUp, 0, kParseValueText, 0, 0), 0u);
  EXPECT_EQ(shown(), std::vector<std::string>{std::string(library_title()) +
                                              " | Unhandled Syntax [8] in Rollback\n\nAttribute: [objectGUID](8)"});
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "favouriteColour", "x", kSyntaxLookUp, 0, kParseValueText, 0, 0),
            kModifySyntaxUnknown);
  // Integers are parsed from the text, booleans from TRUE and FALSE.
  EXPECT_EQ(ModifyAttribute(FALSE, kJane.c_str(), "userAccountControl", "514", kSyntaxLookUp, 0, kParseValueText, 0, 0),
            kModifyDone);
  EXPECT_EQ(directory_->values(kJane, "userAccountControl"), std::vector<std::string>{"514"});
  EXPECT_TRUE(shown().empty());
}

TEST(AdsValues, DisplayTextsByTypeAndAttribute) {
  auto text = [](const char* attribute, DWORD type, ADSVALUE v) {
    char out[200];
    v.dwType = static_cast<ADSTYPE>(type);
    FormatAdsValue(out, sizeof out, attribute, type, v);
    return std::string(out);
  };
  auto large = [](LONGLONG q) {
    ADSVALUE v = {};
    v.LargeInteger.QuadPart = q;
    return v;
  };
  auto integer = [](DWORD n) {
    ADSVALUE v = {};
    v.Integer = n;
    return v;
  };
  ADSVALUE none = {};
  EXPECT_EQ(text("x", 0, none), "<ADSTYPE_INVALID>");
  EXPECT_EQ(text("lockoutThreshold", 7, integer(0)), "<not set>");
  EXPECT_EQ(text("lockoutThreshold", 7, integer(5)), "5 invalid logon attempts");
  EXPECT_EQ(text("groupType", 7, integer(0x80000002)), "-2147483646");
  EXPECT_EQ(text("isSingleValued", 6, integer(1)), "TRUE");
  EXPECT_EQ(text("maxPwdAge", 10, large(-36288000000000LL)), "42 days");
  EXPECT_EQ(text("usnCreated", 10, large(0x100003039LL)), "12345");
    EXPECT_EQ(text("lockoutDuration", 10, large(-18000000000LL)), "<not set>");  // thirty minutes: a high word of -5
  EXPECT_EQ(text("lockoutDuration", 10, large(-600000000LL)), "??HIGH -1 [ffffffffh] LOW [-600000000] [dc3cba00h]");
  EXPECT_EQ(text("accountExpires", 10, large(0x7FFFFFFFFFFFFFFFLL)), "<never>");
  EXPECT_EQ(text("accountExpires", 10, large(-1)), "<never>");
  EXPECT_EQ(text("pwdLastSet", 10, large(0)), "<not set>");
  EXPECT_EQ(text("pwdLastSet", 10, large(134090000000000000LL)), "November 30, 2025 18:13 [utc]");
  EXPECT_EQ(text("lastLogon", 10, large(-2)), "?Unknown Time?[fe.ff.ff.ff.ff.ff.ff.ff](64)");
  ADSVALUE utc = {};
  utc.UTCTime = {2026, 12, 0, 6, 10, 5, 0, 0};
  EXPECT_EQ(text("whenCreated", 9, utc), "December 6, 2026 10:05 (UTC)");
  BYTE guid[16] = {0x40, 0xF3, 0xB2, 0x31, 0x6D, 0x01, 0xD2, 0x11, 0x94, 0x5F, 0x00, 0xC0, 0x4F, 0xB9, 0x84, 0xF9};
  ADSVALUE octets = {};
  octets.OctetString = {16, guid};
  EXPECT_EQ(text("objectGUID", 8, octets), "{31B2F340-016D-11D2-945F-00C04FB984F9}");
  EXPECT_EQ(text("logonHours", 8, octets), "<Value of type Octet String. No Conversion>size=16");
  BYTE sid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  octets.OctetString = {sizeof sid, sid};
  EXPECT_EQ(text("objectSid", 8, octets), "S-1-5-32-544");
  EXPECT_EQ(text("nTSecurityDescriptor", 25, octets), "<ADSTYPE_NT_SECURITY_DESCRIPTOR>");
  EXPECT_EQ(text("x", 26, none), "<1a--UNRECOGNIZED>");
}

TEST(AdsValues, SidValueShorterThanItsHeaderIsNotConverted) {
  // The header says two sub-authorities; the value stops after the first, or inside the header.
  BYTE sid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
  for (DWORD length : {12u, 4u}) {
    ADSVALUE v = {};
    v.dwType = ADSTYPE_OCTET_STRING;
    v.OctetString = {length, sid};
    char out[200];
    FormatAdsValue(out, sizeof out, "objectSid", ADSTYPE_OCTET_STRING, v);
    EXPECT_EQ(std::string(out), "<Value of type Octet String. No Conversion>size=" + std::to_string(length));
  }
}

}  // namespace
