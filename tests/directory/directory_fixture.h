// A world whose domain controller SRV01 runs a real directory (slapd), with
// the library's code linked into the test and started as the host starts it.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "directory/directory.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "sim/directory_server.h"
#include "tests/support/list_rows.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace support {

class DirectoryTest : public ::testing::Test {
 protected:
  // More entries below the domain, loaded with it (LDIF).
  virtual std::string extra_entries() const { return ""; }

  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2", "Windows Server 2012 R2 Standard");
    world_.add_machine("SRV02", "127.0.0.3");
    directory_ = std::make_unique<DirectoryServer>(world_, "SRV01", extra_entries());
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.quiet_mode = 0;
    g_library.base_image_index = 0;
    g_directory = DirectoryState();
    screen_ = host::create_screen(40, "Directory");
    directory_->forget_log();
  }

  void TearDown() override {
    for (HWND l : lists_) release_list_rows(l, true);
    directory_.reset();
  }

  HWND list(uint32_t id = 0x602400AF) {
    lists_.push_back(host::add_control(screen_, 3000 + static_cast<int>(lists_.size()), WC_LISTVIEWA, "",
                                       host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }

  // "text -> kept path" of every row.
  static std::vector<std::string> rows_with_paths(HWND l) {
    std::vector<std::string> out;
    for (const ListRow& row : list_rows(l)) {
      const DirectoryRowEntry* entry = row_directory_entry(row.record);
      out.push_back(row.text + " -> " + (entry ? entry->path : "(none)"));
    }
    return out;
  }

  // "name -> dn" of every entry ldapsearch finds, the name being the value of the entry's first RDN.
  std::vector<std::string> ldap_rows(const std::string& base, const std::string& scope, const std::string& filter) const {
    std::vector<std::string> out;
    std::string ldif = directory_->search(base, scope, filter, {"1.1"});
    for (size_t at = ldif.find("dn: "); at != std::string::npos; at = ldif.find("\ndn: ", at + 1)) {
      size_t start = ldif[at] == '\n' ? at + 5 : at + 4;
      std::string dn = ldif.substr(start, ldif.find('\n', start) - start);
      std::string name = dn.substr(dn.find('=') + 1);
      out.push_back(name.substr(0, name.find(',')) + " -> " + dn);
    }
    return out;
  }

  WorldBuilder world_;
  std::unique_ptr<DirectoryServer> directory_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr;
  std::vector<HWND> lists_;
};

}  // namespace support
