// The picker's lists reached as the host reaches them: a list event of the
// loaded library, routed by the directory subsystem to its search.
#include <memory>

#include "tests/support/directory_server.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace {

class PickerRoutes : public support::LibraryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    directory_ = std::make_unique<support::DirectoryServer>(world_);
    LibraryTest::SetUp();
  }
  void TearDown() override {
    for (HWND l : lists_) support::release_list_rows(l, false, alloc_, delete_);
    LibraryTest::TearDown();
  }

  std::vector<std::string> rows_of(uint32_t id) {
    HWND screen = host::create_screen(static_cast<uint16_t>(70 + lists_.size()), "Picker");
    lists_.push_back(host::add_control(screen, 100, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView}));
    EXPECT_EQ(host::send_list_event(library_, lists_.back()), 1u);
    return support::list_column(lists_.back());
  }

  std::unique_ptr<support::DirectoryServer> directory_;
  std::vector<HWND> lists_;
  support::AllocRecordFn alloc_ = nullptr;
  support::DeleteRecordFn delete_ = nullptr;
};

TEST_F(PickerRoutes, EachPickerListShowsItsKindOfTheConsolesDomain) {
  start();
  host::insert_list_images(library_);
  alloc_ = reinterpret_cast<support::AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
  delete_ = reinterpret_cast<support::DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
  std::vector<std::string> users = rows_of(0x101400A3);
  EXPECT_EQ(users.size(), 11u);
  EXPECT_EQ(users.front(), "Administrator");
  std::vector<std::string> groups = rows_of(0x10146002);
  EXPECT_EQ(groups, (std::vector<std::string>{"Finance Readers", "HR Staff", "Engineering", "Domain Admins", "Contractors"}));
  std::vector<std::string> containers = rows_of(0x602400AF);
  EXPECT_NE(std::find(containers.begin(), containers.end(), "Groups"), containers.end());
  EXPECT_EQ(std::find(containers.begin(), containers.end(), "Jane Smith"), containers.end());
  std::vector<std::string> any = rows_of(0x602400FA);
  EXPECT_EQ(any.size(), containers.size());  // one level down, every object there is a container or an OU
}

}  // namespace
