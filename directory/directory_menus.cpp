// The context menus of the report lists that show directory changes (the
// quick report's results and the log file data), whose rows can be rolled
// back, and of the directory's group member lists.
#include "directory/directory_menus.h"

#include <cstring>

#include "directory/directory.h"
#include "graphs/charts.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/report_items.h"
#include "reports/report_views.h"

namespace {

constexpr uint32_t kQuickReportResults = 0x60440D1E;

// The group row: for a list view (kind 7) the selected row of its companion, read through
// host_get_list_row; for a tree (kind 1) the host's look-up of the tree's selected item.
bool group_row(const MenuRequest& request, uintptr_t* record, char* text) {
  text[0] = '\0';
  *record = 0;
  if (request.descriptor_kind == kDescriptorListView) {
    HWND companion = companion_window(control_descriptor_of(request.list));
    int row = selected_row_number(companion) - 1;
    auto get_row = host_service<HostGetListRowFn>(kHostGetListRow);
    if (row < 0 || get_row == nullptr) return false;
    uintptr_t image = 0, state = 0;
    return get_row(companion, row, record, &image, &state, text, 0, 0, -1) != 0;
  }
  auto lookup = host_service<HostListLookupFn>(kHostListLookup);
  if (lookup == nullptr) return false;
  lookup(request.list, 0, 1, record, text);
  return *record != 0;
}

// A group row of this library whose text is a distinguished name (CN=Admins,OU=Groups) gives the
// group's name (Admins); anything else gives none.
bool group_name(const MenuRequest& request, char* name, size_t size) {
  uintptr_t record = 0;
  char text[kHostRowTextBytes];
  if (!group_row(request, &record, text)) return false;
  if (item_word(reinterpret_cast<const BYTE*>(record), kItemWordModule) != kModuleNumber) return false;
  if (std::strlen(text) < 4 || text[2] != '=') return false;
  const char* start = text + 3;
  const char* comma = std::strchr(start, ',');
  size_t length = comma ? static_cast<size_t>(comma - start) : std::strlen(start);
  if (length >= size) length = size - 1;
  std::memcpy(name, start, length);
  name[length] = '\0';
  return true;
}

}  // namespace

DWORD FillChangeReportMenu(const MenuRequest& request) {
  int position = 0;
  if (request.id == kQuickReportResults) {
    set_menu_entry(request, 0, "View report in new window");
    set_menu_entry(request, 1, "View Graphical Analysis");
    position = 2;
  }
  if (is_rollback_row(request.record)) set_menu_entry(request, position, "Rollback Active Directory Change");
  return 0;
}

DWORD ActOnChangeReportMenu(const MenuChoice& choice) {
  int rollback = choice.id == kQuickReportResults ? 2 : 0;
  if (choice.position == rollback) return RollbackDirectoryChanges(choice.owner, choice.list) != 0;
  if (choice.id != kQuickReportResults) return 0;
  if (choice.position == 0) return ShowReportInNewWindow(choice.owner, choice.list);
  return choice.position == 1 ? OpenGraphicalAnalysis(choice.owner, choice.list) : 0;
}

DWORD FillMemberMenu(const MenuRequest& request) {
  if (request.id == 0x10140147) {
    set_menu_entry(request, 0, "Erase All Entries");
    return 0;
  }
  if (request.record == nullptr) return 0;
  char name[kHostRowTextBytes];
  if (!group_name(request, name, sizeof name)) return kResultNotHandled;
  bool several = request.descriptor_kind == kDescriptorListView && selected_row_count(request.list) > 1;
  set_menu_entry(request, 0, several ? "Removed selected members from [%s]" : "Remove selected member from [%s]", name);
  return 0;
}
