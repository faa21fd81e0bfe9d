// The loaded library on a world whose domain controller SRV01 runs a real directory (slapd), started as
// the host starts it, with the lists a test adds given back to it at the end.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "sim/directory_server.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"

namespace support {

class LoadedDirectoryTest : public LibraryTest {
 protected:
  // The test adds SRV01 and its registry keys to the world before this.
  void SetUp() override {
    directory_ = std::make_unique<DirectoryServer>(world_);
    LibraryTest::SetUp();
    start();
    host::insert_list_images(library_);
    alloc_ = reinterpret_cast<AllocRecordFn>(host::export_address(library_, "alloc_memory_for_list"));
    delete_ = reinterpret_cast<DeleteRecordFn>(host::export_address(library_, "delete_list_item"));
  }
  void TearDown() override {
    for (HWND l : lists_) release_list_rows(l, rows_without_record_allowed_, alloc_, delete_);
    LibraryTest::TearDown();
  }

  HWND add_list(HWND screen, uint32_t id, int item) {
    lists_.push_back(host::add_control(screen, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView}));
    return lists_.back();
  }

  std::unique_ptr<DirectoryServer> directory_;
  AllocRecordFn alloc_ = nullptr;
  DeleteRecordFn delete_ = nullptr;
  HWND form_ = nullptr;
  std::vector<HWND> lists_;
  bool rows_without_record_allowed_ = false;  // in the lists given back
};

}  // namespace support
