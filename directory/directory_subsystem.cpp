// The directory screens' routes: the lists of directory containers and
// objects, each filled by one directory search of the console's domain; the
// list of the agents' service connection points; and the picker that feeds
// the tracking lists of a profile form.
#include "directory/directory.h"
#include "directory/directory_menus.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "host/subsystems.h"

namespace {

struct PickerList {
  uint32_t id;
  DWORD kind;
  int icon;
};

// Which kind each picker list shows: containers and organizational units, any
// object one level down, every user, every group.
constexpr PickerList kPickerLists[] = {
    {0x602400AF, kListContainers, kIconAdContainer},
    {0x602400FA, kListSearchOneLevel, kIconTrackObject},
    {0x101400A3, kListUsers, kIconAdUser},
    {0x10146002, kListGroups, kIconAdGroup},
};

DWORD picker_list(const ListEvent& e) {
  for (const PickerList& p : kPickerLists) {
    if (p.id != e.id) continue;
    char dn[kDirectoryPathBytes], path[kDirectoryPathBytes + 16];
    if (!DomainDnFromName("", dn, sizeof dn, nullptr, 0)) dn[0] = '\0';
    ldap_path(g_directory.bound_server, dn, path, sizeof path);
    FillDirectoryList(e.control, p.kind, path, directory_kind_filter(p.kind), p.icon, 0);
    return 1;
  }
  return kResultNotHandled;
}

// The agents' service connection points of the console's forest.
DWORD service_point_list(const ListEvent& e) {
  char forest[256] = {};
  console_forest_name(forest, sizeof forest);
  ListServicePoints(e.control, forest);
  return 1;
}

// The picker of the tracking list that is the button's companion on the profile form.
DWORD picker_button(const ButtonEvent& e) {
  PickTrackingEntries(e.screen, e.companion);
  return 1;
}

constexpr ListRoute kLists[] = {
    {0x101400A3, 0x101400A3, picker_list},
    {0x10146002, 0x10146002, picker_list},
    {0x602400AF, 0x602400AF, picker_list},
    {0x602400FA, 0x602400FA, picker_list},
    // No screen of its own is named for the service point list: it joins the shared directory lists.
    {0x101400B0, 0x101400B0, service_point_list},
};

// No caller is named for the picker: one button of the tracking profile screens opens it for the
// tracking list that is its companion (objects, classes, attributes or group policy objects).
constexpr ButtonRoute kButtons[] = {
    {0x602100A3, 0x602100A3, picker_button},
};

// Context menus: the lists of directory changes, the group member lists and the erase entry (whose
// choices the host carries out).
constexpr MenuRoute kMenus[] = {
    {0x1014001C, 0x1014001C, FillMemberMenu, nullptr},
    {0x10140061, 0x10140062, FillMemberMenu, nullptr},
    {0x10140147, 0x10140147, FillMemberMenu, nullptr},
    {0x60440800, 0x60440800, FillChangeReportMenu, ActOnChangeReportMenu},
    {0x60440D1E, 0x60440D1E, FillChangeReportMenu, ActOnChangeReportMenu},
};

}  // namespace

// A directory row's record owns the entry behind it (the eighth feature structure).
extern const Subsystem kDirectorySubsystem = {"directory", route_table(kButtons), route_table(kLists), {}, nullptr,
                                             free_directory_row_entry, {}, nullptr, route_table(kMenus)};
