// The server screen's registry archives as the host drives them: the agent's
// archives of the selected server listed with their dates, and the one selected
// restored over the server's product key once the user confirms.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"

namespace {

constexpr char kProduct[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
constexpr char kArchive[] = "\\\\SRV01\\C$\\Windows\\system32\\drivers\\vornix\\vornix_07_Dec_2026.savekey";

class RegistryArchiveScreen : public support::LibraryTest {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
                             "\"SystemRoot\"=\"C:\\\\Windows\"\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles\\Logons]\r\n"
                             "\"ProfileType\"=dword:00000100\r\n\r\n");
    std::filesystem::create_directories(world_.machine_dir("SRV01") + "/shares/C$/Windows/system32/drivers/vornix");
    LibraryTest::SetUp();
    screen_ = host::create_screen(41, "Server");
    start();
    servers_ = support::add_server_list(library_, screen_, {{"SRV01", record_}});
    ASSERT_TRUE(ui::click_row(servers_, 0));
  }

  // The agent's archive of SRV01's product key as it stands, written with the backup privilege.
  void archive_product_key() {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES state{1, {{{}, SE_PRIVILEGE_ENABLED}}};
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_BACKUP_NAME, &state.Privileges[0].Luid) &&
                AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr));
    CloseHandle(token);
    HKEY root, product;
    ASSERT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(root, kProduct, 0, KEY_READ, &product), ERROR_SUCCESS);
    ASSERT_EQ(RegSaveKeyA(product, kArchive, nullptr), ERROR_SUCCESS);
    RegCloseKey(product);
    RegCloseKey(root);
  }

  std::vector<std::string> product_key() {
    HKEY root;
    EXPECT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    std::vector<std::string> out;
    support::dump_registry(root, kProduct, "", out, true);
    RegCloseKey(root);
    return out;
  }

  uint8_t record_[kListItemBytes] = {};
  HWND screen_ = nullptr, servers_ = nullptr;
};

TEST_F(RegistryArchiveScreen, TheSelectedArchiveReplacesTheProductKeyOnceConfirmed) {
  archive_product_key();
  const std::vector<std::string> archived = product_key();
  HKEY root;
  ASSERT_EQ(RegConnectRegistryA("SRV01", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(root, (std::string(kProduct) + "\\Profiles\\Logons").c_str()), ERROR_SUCCESS);
  RegCloseKey(root);
  const std::vector<std::string> changed = product_key();
  ASSERT_NE(changed, archived);

  HWND archives = host::add_control(screen_, 1400, WC_LISTVIEWA, "", host::ControlSpec{0x60340120, kDescriptorListView});
  support::add_columns(archives, 2);
  HWND restore = host::add_control(screen_, 1401, "Button", "Restore",
                                   host::ControlSpec{0x60310120, kDescriptorPushButton, 41, 1400});
  SendMessageA(restore, BM_CLICK, 0, 0);  // nothing selected yet
  EXPECT_EQ(support::journal_lines(" | ", true),
            std::vector<std::string>{"VORNIX message from QVMR0007.DLL | To continue, please select the item to restore."});
  EXPECT_EQ(host::send_list_event(library_, archives), 1u);
  host::send_list_event(library_, archives);  // listed anew, not twice
  EXPECT_EQ(support::list_column(archives, 0), std::vector<std::string>{kArchive});
  EXPECT_EQ(support::list_column(archives, 1), std::vector<std::string>{"07 Dec 2026"});
  ASSERT_TRUE(ui::click_row(archives, 0));

  ui::script({"REGISTRY IMPORT CONFIRMATION", IDCANCEL, "", {}});
  SendMessageA(restore, BM_CLICK, 0, 0);
  EXPECT_EQ(product_key(), changed);
  ui::clear_journal();
  ui::script({"REGISTRY IMPORT CONFIRMATION", IDOK, "", {}});
  SendMessageA(restore, BM_CLICK, 0, 0);
  EXPECT_EQ(product_key(), archived);
  EXPECT_EQ(support::journal_lines().back(),
            "REGISTRY IMPORT COMPLETE | SUCCESS: VORNIX Registry Key has been replaced with the contents of the "
            "archive.");
}

}  // namespace
