// The main server list, releasing the rows of a list view the library filled,
// and looking through the message journal: shared by the tests that drive
// report screens (reading rows is in list_view.h).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/list_item.h"
#include "console/list_view.h"
#include "win32/ui_script.h"

namespace support {

// The console's server list, the main server list (dialog item 1001), on a
// screen of a started library. The servers become known servers of the console
// (an address already stored is kept), the library lists them through the list's
// event, and the host keeps each named row's record behind the row of its server.
inline HWND add_server_list(const host::Library& library, HWND screen, std::initializer_list<NamedRow> rows) {
  HKEY known;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &known, nullptr),
            ERROR_SUCCESS);
  const BYTE no_address[4] = {};
  for (const NamedRow& r : rows)
    if (RegQueryValueExA(known, r.text, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      RegSetValueExA(known, r.text, 0, REG_BINARY, no_address, sizeof no_address);
  RegCloseKey(known);
  HWND list = host::add_control(screen, 1001, WC_LISTVIEWA, "", host::ControlSpec{0x602400C1, kDescriptorListView});
  EXPECT_EQ(host::send_list_event(library, list, 0x602400C1), 4061u);
  std::vector<ListRow> listed = list_rows(list);
  for (size_t i = 0; i < listed.size(); ++i) {
    for (const NamedRow& r : rows) {
      if (listed[i].text != r.text) continue;
      LVITEMA row = {};
      row.mask = LVIF_PARAM;
      row.iItem = static_cast<int>(i);
      row.lParam = reinterpret_cast<LPARAM>(r.record);
      SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
  }
  return list;
}

// return_row_records through the linked library's exports, or through those of a loaded copy
// (host::export_address). A row without a record is a failure unless the caller's list may hold such rows.
inline void release_list_rows(HWND list, bool rows_without_record_allowed = false,
                              AllocRecordFn alloc = alloc_memory_for_list, DeleteRecordFn release = delete_list_item) {
  for (const std::string& text : return_row_records(list, alloc, release))
    if (!rows_without_record_allowed) ADD_FAILURE() << "a row without a record: " << text;
}

inline bool journal_has(const std::string& title, const std::string& text = "") {
  for (const ui::JournalEntry& e : ui::journal())
    if (e.title == title && e.text.find(text) != std::string::npos) return true;
  return false;
}

// Every journal entry as "title<between>text"; the journal is emptied after if asked.
inline std::vector<std::string> journal_lines(const std::string& between = " | ", bool then_clear = false) {
  std::vector<std::string> out;
  for (const ui::JournalEntry& e : ui::journal()) out.push_back(e.title + between + e.text);
  if (then_clear) ui::clear_journal();
  return out;
}

}  // namespace support
