// The address-range scan over world machines, its refusals and its cancel, and
// the agent address override UseThisIPv4.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "net/address_scan.h"
#include "sim/fake_agents.h"
#include "tests/support/list_rows.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace {

using Lines = std::vector<std::string>;

class AddressScan : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    // Five machines on 127.X.Y.10 to .14; two of them answer with the name TWIN.
    const char* names[] = {"SCAN1", "SCAN2", "TWIN.brightmere.local", "SCAN3", "TWIN"};
    for (int i = 0; i < 5; ++i) world_.add_machine(names[i], support::process_loopback(10 + i));
    // A name service across a network: the workers wait side by side, then meet at the lock.
    world_.set_world_setting("names", "reverse_delay_ms", "100");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.base_image_index = 100;
    g_library.quiet_mode = 0;
    g_library.search_cancel = 0;
    g_library.sibling_mode = 1;  // the scan belongs to the QVAWKQ screens
    std::sscanf(support::process_loopback(1).c_str(), "%d.%d.%d", &octets_[0], &octets_[1], &octets_[2]);
    dialog_ = CreateWindowExA(0, "Static", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 10, 10, dialog_, reinterpret_cast<HMENU>(kScanProgressItem),
                    nullptr, nullptr);
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 10, 10, dialog_, nullptr, nullptr, nullptr);
    support::add_columns(list_, 1);
  }

  void TearDown() override {
    release_registry_connections();
    g_library.sibling_mode = 0;
    g_library.search_cancel = 0;
  }

  DWORD scan(int first, int last) { return ScanAddressRange(dialog_, list_, octets_[0], octets_[1], octets_[2], first, last); }

  std::string progress() const {
    char text[100] = {};
    GetDlgItemTextA(dialog_, kScanProgressItem, text, sizeof text);
    return text;
  }

  Lines rows() const {
    Lines out;
    for (const support::ListRow& r : support::list_rows(list_))
      out.push_back(r.text + " " + std::to_string(r.image) + " " +
                    (r.record ? std::to_string(item_word(r.record, kItemWordModule)) + " " +
                                    std::to_string(item_word(r.record, kItemWordControlId))
                              : "-"));
    return out;
  }

  static Lines registry_of(const std::string& machine, HKEY root, const std::string& path) {
    Lines out;
    HKEY hive = root;
    if (!machine.empty() &&
        RegConnectRegistryA(("\\\\" + machine).c_str(), HKEY_LOCAL_MACHINE, &hive) != ERROR_SUCCESS)
      return out;
    support::dump_registry(hive, path, "key", out, false);
    if (hive != root) RegCloseKey(hive);
    return out;
  }

  std::string address(int n) const { return support::process_loopback(n); }

  // An address's four bytes as the registry dump shows them.
  static std::string shown(const std::string& dotted) {
    ULONG a = inet_addr(dotted.c_str());
    std::string out;
    for (int i = 0; i < 4; ++i) {
      auto b = static_cast<unsigned char>(a >> (8 * i));
      out += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '|';
    }
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  int octets_[3] = {};
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(AddressScan, EachServerInTheRangeIsAddedOnceWithItsSiblingKeyAndKnownAddress) {
  auto insert = [&](const char* label) {
    BYTE record[kListItemBytes] = {};
    set_item_word(record, kItemWordModule, kModuleNumber);
    host_service<HostInsertItemFn>(kHostInsertItem)(list_, nullptr, TVI_SORT, label, 0, 1, 0, nullptr, record, 0);
  };
  insert(kNoneFoundName);
  insert("SCAN3");  // listed before: neither added again nor touched

  EXPECT_EQ(scan(8, 15), 8u) << "one worker per address, answering or not";
  EXPECT_EQ(progress(), "Scanning 8 nodes...8 done");
  Lines listed = rows();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Lines{"SCAN1 122 7 1626603521", "SCAN2 122 7 1626603521", "SCAN3 0 7 0",
                           "TWIN 122 7 1626603521"}));
  EXPECT_EQ(ScanAddedCount(), 3u);
  for (const support::ListRow& r : support::list_rows(list_)) {
    if (r.text == "SCAN1") {
      ULONG stored;
      std::memcpy(&stored, r.record + kItemIPv4Address, 4);
      EXPECT_EQ(stored, inet_addr(address(10).c_str()));
    }
  }

  const std::string sibling = "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ";
  EXPECT_EQ(registry_of("SCAN1", HKEY_LOCAL_MACHINE, sibling), Lines{"key"});
  EXPECT_EQ(registry_of("TWIN", HKEY_LOCAL_MACHINE, sibling), Lines{"key"});
  EXPECT_EQ(registry_of("SCAN3", HKEY_LOCAL_MACHINE, sibling), Lines{});
  // The workers' order decides the values' order, and which of TWIN's two addresses is kept.
  Lines known = registry_of("", HKEY_CURRENT_USER, sibling + "\\MY_SERVERS");
  std::sort(known.begin(), known.end());
  ASSERT_EQ(known.size(), 4u);
  EXPECT_EQ(Lines(known.begin(), known.begin() + 3),
            (Lines{"key", "key:SCAN1=3:" + shown(address(10)), "key:SCAN2=3:" + shown(address(11))}));
  EXPECT_TRUE(known[3] == "key:TWIN=3:" + shown(address(12)) || known[3] == "key:TWIN=3:" + shown(address(14)))
      << known[3];
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(AddressScan, ARangeOutOfBoundsOrBackwardsIsRefusedAndOneAddressIsScanned) {
  struct Case {
    int a, first, last;
    std::string message;
  };
  const Case cases[] = {
      {255, 1, 2, std::string("Error during scan: ") + kInvalidRangeText},
      {-1, 1, 2, std::string("Error during scan: ") + kInvalidRangeText},
      {octets_[0], 1, 255, std::string("Error during scan: ") + kInvalidRangeText},
      {octets_[0], 12, 11, std::string("Error during scan: ") + kReversedRangeText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(ScanAddressRange(dialog_, list_, c.a, octets_[1], octets_[2], c.first, c.last), 0u);
    EXPECT_EQ(support::journal_lines(": ", true), Lines{c.message});
    EXPECT_EQ(progress(), "");
  }
  EXPECT_EQ(scan(11, 11), 1u);
  EXPECT_EQ(rows(), Lines{"SCAN2 122 7 1626603521"});
  EXPECT_EQ(scan(16, 16), 1u) << "an address without a name";
  EXPECT_EQ(rows(), Lines{"SCAN2 122 7 1626603521"});
}

// The user stops searches while the workers wait on a slow name service: every
// worker still counts itself done, and none adds a row after the stop.
TEST_F(AddressScan, AStopWhileWaitingAddsNothingMoreAndEveryWorkerEnds) {
  world_.set_world_setting("names", "reverse_delay_ms", "300");
  world_.open();
  g_library.sibling_mode = 1;
  SetWindowLongPtrA(dialog_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER + 1) g_library.search_cancel = kSearchCancelStop;
    return DefWindowProcA(w, m, wp, lp);
  }));
  PostMessageA(dialog_, WM_USER + 1, 0, 0);
  EXPECT_EQ(scan(10, 14), 5u);
  EXPECT_EQ(progress(), "Scanning 5 nodes...5 done");
  EXPECT_EQ(rows(), Lines{});
  EXPECT_EQ(registry_of("SCAN1", HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.\\QVAWKQ"), Lines{});
}

TEST_F(AddressScan, TheAgentAddressOverrideIsCheckedWrittenAndReset) {
  g_library.sibling_mode = 0;
  BYTE record[kListItemBytes] = {};
  for (const char* bad : {"10.1.2", "10.1.2.3.4", "10.1.2.x", "255.255.255.255"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(SetAgentAddress("SCAN1", bad, record), 0u);
    EXPECT_EQ(support::journal_lines(": ", true), Lines{std::string(library_title()) + ": " + kInvalidAddressText});
  }
  EXPECT_EQ(SetAgentAddress("SCAN1", "", record), 0u) << "an empty field does nothing";
  EXPECT_TRUE(ui::journal().empty());
  // A server without the product key: nothing to write the value into.
  EXPECT_EQ(SetAgentAddress("SCAN1", "10.20.30.40", record), 2u);
  EXPECT_EQ(ResetAgentAddress("SCAN1"), 2u);
  const std::string title = std::string(library_title()) + ": ";
  EXPECT_EQ(support::journal_lines(": ", true),
            (Lines{title + "Error 2 while setting value \"UseThisIPv4\", unable to set to Server IPv4 Address to use "
                           "for Port 4060",
                   title + "Error 2 while removing value \"UseThisIPv4\", unable to reset to Default Server IPv4 "
                           "Address"}));
  HKEY hklm, product;
  ASSERT_EQ(RegConnectRegistryA("\\\\SCAN1", HKEY_LOCAL_MACHINE, &hklm), 0);
  ASSERT_EQ(RegCreateKeyExA(hklm, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr), 0);
  RegCloseKey(product);
  RegCloseKey(hklm);

  EXPECT_EQ(SetAgentAddress("SCAN1", "10.20.30.40", record), 0u);
  char text[64];
  EXPECT_EQ(ReadAgentAddress("SCAN1", text, sizeof text), 0u);
  EXPECT_STREQ(text, "10.20.30.40");
  EXPECT_EQ(std::vector<BYTE>(record + kItemIPv4Address, record + kItemIPv4Address + 4),
            (std::vector<BYTE>{10, 20, 30, 40}));
  const std::string known_key = std::string(kProductKey) + "\\MY_SERVERS";
  EXPECT_EQ(registry_of("", HKEY_CURRENT_USER, known_key), (Lines{"key", "key:SCAN1=3:" + shown("10.20.30.40")}));

  EXPECT_EQ(ResetAgentAddress("SCAN1"), 0u);
  EXPECT_EQ(ReadAgentAddress("SCAN1", text, sizeof text), 0u);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(ResetAgentAddress("SCAN1"), 0u) << "a missing value is no error";
  Lines known = registry_of("", HKEY_CURRENT_USER, known_key);
  EXPECT_EQ(known, (Lines{"key", "key:SCAN1=3:" + shown(address(10))})) << "the looked-up address replaces the override";
  EXPECT_TRUE(ui::journal().empty());
}

}  // namespace
