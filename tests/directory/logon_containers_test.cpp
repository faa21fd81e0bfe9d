// The containers whose local logons are tracked, as the host's server form
// edits them: moved over from the domain's containers, saved by the form's
// Save into LLOUTracked and published to the agents' service connection points.
#include <algorithm>
#include <cstring>

#include "sim/registry_dump.h"
#include "tests/directory/loaded_directory_fixture.h"

namespace {

constexpr uint16_t kFormKey = 42;
constexpr int kDomainContainersItem = 110;
constexpr int kTrackedItem = 111;
const std::string kSrv01Point = "CN=VORNIXW,CN=SRV01,OU=Domain Controllers,DC=brightmere,DC=local";

class LogonContainers : public support::LoadedDirectoryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2", "Windows Server 2012 R2 Standard");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\LLOUTracked]\r\n"
                             "\"Labs\"=\"Labs\"\r\n\r\n");
    rows_without_record_allowed_ = true;
    LoadedDirectoryTest::SetUp();
  }

  // A press, then the records of the rows the library deleted given back, as the host does.
  DWORD press(HWND button) {
    std::vector<BYTE*> before = rows();
    DWORD result = library_.entry_point_button_services(form_, 0, host::descriptor_of(button));
    std::vector<BYTE*> after = rows();
    for (BYTE* record : before) {
      if (record == nullptr || std::find(after.begin(), after.end(), record) != after.end()) continue;
      auto* copy = reinterpret_cast<BYTE*>(alloc_());
      std::memcpy(copy, record, kListItemBytes);
      delete_(0, 0, copy);
    }
    return result;
  }
  std::vector<BYTE*> rows() const {
    std::vector<BYTE*> records;
    for (HWND l : lists_)
      for (const support::ListRow& row : support::list_rows(l)) records.push_back(row.record);
    return records;
  }

  static std::vector<std::string> tracked() {
    HKEY root = nullptr;
    EXPECT_EQ(RegConnectRegistryA("\\\\SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(root, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\LLOUTracked", "", out, true);
    RegCloseKey(root);
    return out;
  }
};

TEST_F(LogonContainers, ContainersMovedIntoTheFormsListAreSavedAndPublishedByItsSave) {
  form_ = host::create_screen(kFormKey, "Local Logon Activity Configuration");
  uint8_t record[kListItemBytes] = {};
  HWND servers = support::add_server_list(library_, form_, {{"SRV01", record}});
  ASSERT_TRUE(ui::click_row(servers, 0));
  HWND domain = add_list(form_, 0x602400AF, kDomainContainersItem);
  HWND containers = add_list(form_, 0x603400B0, kTrackedItem);
  ASSERT_EQ(host::send_list_event(library_, domain), 1u);
  ASSERT_EQ(host::send_list_event(library_, containers), 1u);
  EXPECT_EQ(support::list_column(containers), std::vector<std::string>{"Labs"});

  // The user selects a container of the domain and moves it over, then saves the form.
  std::vector<std::string> offered = support::list_column(domain);
  auto sales = std::find(offered.begin(), offered.end(), "Sales");
  ASSERT_NE(sales, offered.end()) << offered.size();
  support::set_row_selected(domain, static_cast<size_t>(sales - offered.begin()));
  HWND move = host::add_control(form_, 120, "Button", "",
                                host::ControlSpec{0x6021010D, kDescriptorPushButton, kFormKey, kDomainContainersItem});
  host::descriptor_of(move)[6] = (static_cast<uintptr_t>(kTrackedItem) << 16) | kFormKey;  // second companion
  EXPECT_EQ(press(move), 1u);
  EXPECT_EQ(support::list_column(containers), (std::vector<std::string>{"Labs", "Sales"}));
  HWND save = host::add_control(form_, 121, "Button", "Save", host::ControlSpec{0x603100D5, kDescriptorPushButton});
  SendMessageA(save, BM_CLICK, 0, 0);
  EXPECT_TRUE(ui::journal().empty()) << support::journal_lines()[0];
  // The container moved over stands for its distinguished name, as the directory spells it.
  const std::string sales_dn = "ou=Sales,dc=brightmere,dc=local";
  EXPECT_EQ(tracked(), (std::vector<std::string>{"[]", "Labs=1:Labs|", sales_dn + "=1:" + sales_dn + "|"}));
  const std::vector<std::string> published = directory_->values(kSrv01Point, "url");
  EXPECT_NE(std::find(published.begin(), published.end(), "VNXLL=Labs;" + sales_dn), published.end());
}

}  // namespace
