// The domain controller's directory server stopped half-way, through the
// exports as the host drives them: in the middle of the picker's paged search
// of every user (after the first page of 10,000), and between the confirmation
// and the writes of a rollback from the quick report's result list.
#include "tests/directory/directory_fixture.h"

#include <strings.h>

#include <array>
#include <cstdio>
#include <deque>

#include "console/linked_library.h"
#include "host/host_services.h"
#include "reports/report_items.h"

namespace {

constexpr uint32_t kUsersPickerList = 0x101400A3;
constexpr uint32_t kQuickReportResults = 0x60440D1E;
constexpr int kBulkUsers = 10050;  // one page of 10,000 and a second page

HostInsertItemFn g_insert;
std::function<void(int)> g_on_row;
int g_rows;

uintptr_t WINAPI insert_and_watch(HWND window, HTREEITEM parent, HTREEITEM after, const char* text, int image, int a,
                                  uintptr_t b, uintptr_t* c, void* record, uintptr_t d) {
  uintptr_t result = g_insert(window, parent, after, text, image, a, b, c, record, d);
  if (g_on_row) g_on_row(++g_rows);
  return result;
}

std::function<void(const ui::JournalEntry&)> g_on_shown;
void shown(const ui::JournalEntry& entry) {
  if (g_on_shown) g_on_shown(entry);
}

class DirectoryServerFault : public support::DirectoryTest {
 protected:
  std::string extra_entries() const override {
    return extra_ ? support::bulk_users_ldif(kBulkUsers) : "";
  }
  void SetUp() override {
    DirectoryTest::SetUp();
    // The host's row service, watched: the table handed over again with it.
    g_insert = reinterpret_cast<HostInsertItemFn>(table_[kHostInsertItem]);
    table_[kHostInsertItem] = reinterpret_cast<uintptr_t>(&insert_and_watch);
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_rows = 0;
    ui::set_journal_listener(&shown);
  }
  void TearDown() override {
    g_on_row = nullptr;
    g_on_shown = nullptr;
    ui::set_journal_listener(nullptr);
    DirectoryTest::TearDown();
  }
  static std::vector<std::string> boxes() {
    std::vector<std::string> out;
    for (const ui::JournalEntry& e : ui::journal()) out.push_back(e.title + " | " + e.text);
    return out;
  }
  bool extra_ = false;
};

class PagedSearchFault : public DirectoryServerFault {
 protected:
  void SetUp() override {
    extra_ = true;
    DirectoryServerFault::SetUp();
  }
};

TEST_F(PagedSearchFault, TheRowsOfTheFirstPageStayAndTheNextSearchSaysItCannotBind) {
  HWND users = list(kUsersPickerList);
  g_on_row = [&](int n) {
    if (n == 1) directory_->stop();  // the first page is in; the second is never asked of a running server
  };
  EXPECT_EQ(host::send_list_event(host::in_process_library(), users), 1u);
  const std::vector<support::ListRow> rows = support::list_rows(users);
  EXPECT_EQ(rows.size(), 10000u);
  for (const support::ListRow& row : rows) {
    const DirectoryRowEntry* entry = row_directory_entry(row.record);
    ASSERT_NE(entry, nullptr) << row.text;
    ASSERT_EQ(strncasecmp(entry->path, ("CN=" + row.text + ",").c_str(), row.text.size() + 4), 0)
        << row.text << " -> " << entry->path;
  }
  EXPECT_EQ(boxes(), std::vector<std::string>{});

  // The search is over: the next one is made, and says why it finds nothing.
  g_on_row = nullptr;
  HWND again = list(kUsersPickerList);
  EXPECT_EQ(host::send_list_event(host::in_process_library(), again), 1u);
  const std::vector<std::string> texts = support::list_column(again);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind("LAC:Could not bind to [LDAP://DC=brightmere,DC=local], code [8007203a]", 0), 0u) << texts[0];
}

class RollbackFault : public DirectoryServerFault {
 protected:
  void SetUp() override {
    DirectoryServerFault::SetUp();
    report_ = list(kQuickReportResults);
  }
  void add_change(DWORD action, const std::string& dn, const char* attribute, const std::string& added,
                  const std::string& removed) {
    DirectoryLogRecord r = {};
    r.type = 0xFACC0011;
    r.action = action;
    std::snprintf(r.object_dn, sizeof r.object_dn, "%s", dn.c_str());
    std::snprintf(r.attribute, sizeof r.attribute, "%s", attribute);
    std::snprintf(r.new_value, sizeof r.new_value, "%s", added.c_str());
    std::snprintf(r.old_value, sizeof r.old_value, "%s", removed.c_str());
    BYTE* context = contexts_.emplace_back().data();
    set_item_word(context, kItemWordModule, 7);
    set_row_item(context, kLogFamilyDirectory, make_directory_row_item(r));
    support::insert_list_rows(report_, {{"AD change", context}});
    support::set_row_selected(report_, support::list_rows(report_).size() - 1);
  }
  // The report list's menu as the host asks for it on the first row, and its rollback entry chosen.
  DWORD choose_rollback() {
    host::MenuEntries entries;
    void* record = contexts_.front().data();
    host::request_menu(host::in_process_library(), report_, kQuickReportResults, record, kDescriptorListView, &entries);
    EXPECT_STREQ(entries[2].data(), "Rollback Active Directory Change");
    return host::choose_menu_entry(host::in_process_library(), kQuickReportResults, record, 2, screen_);
  }
  HWND report_ = nullptr;
  std::deque<std::array<BYTE, kListItemBytes>> contexts_;
};

TEST_F(RollbackFault, AServerStoppedAfterTheConfirmationIsToldPerRowAndNothingIsWritten) {
  const std::string jane = std::string("CN=Jane Smith,OU=Finance,") + support::kDemoDomainDn;
  ASSERT_EQ(directory_->modify("dn: " + jane + "\nchangetype: modify\nreplace: title\ntitle: Senior Analyst\n-\n"), 0);
  directory_->forget_log();
  add_change(0x00030400, jane, "title", "Senior Analyst", "Analyst");  // a replaced value
  add_change(0x00010400, jane, "title", "Senior Analyst", "");         // and its addition again
  ui::script({"Rollback AD Modification on this object", IDOK, "", {}});
  g_on_shown = [&](const ui::JournalEntry& e) {
    if (e.title == "Rollback AD Modification on this object") directory_->stop();
  };
  choose_rollback();
  const std::vector<std::string> seen = boxes();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].rfind("Rollback AD Modification on this object | Please confirm:", 0), 0u) << seen[0];
  // Both writes of the first row find no object to write to; the second row finds no object at all.
  EXPECT_EQ(seen[1].rfind("VORNIX message from QVMR0007.DLL | Error 2 [8007203a] getting object:\n\n", 0), 0u) << seen[1];
  EXPECT_EQ(seen.back(), jane + " | Object NOT FOUND, unable to perform AD rollback");
  EXPECT_TRUE(directory_->logged_modifications().empty());

  // The library still answers: the same entry again tells each row at once.
  g_on_shown = nullptr;
  ui::clear_journal();
  choose_rollback();
  EXPECT_EQ(boxes(), (std::vector<std::string>{jane + " | Object NOT FOUND, unable to perform AD rollback",
                                               jane + " | Object NOT FOUND, unable to perform AD rollback"}));
}

}  // namespace
