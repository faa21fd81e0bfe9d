// The directory screens' routes: the picker's lists of directory containers
// and objects, each filled by one directory search of the console's domain.
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

constexpr ListRoute kLists[] = {
    {0x101400A3, 0x101400A3, picker_list},
    {0x10146002, 0x10146002, picker_list},
    {0x602400AF, 0x602400AF, picker_list},
    {0x602400FA, 0x602400FA, picker_list},
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
extern const Subsystem kDirectorySubsystem = {"directory", {}, route_table(kLists), {}, nullptr,
                                             free_directory_row_entry, {}, nullptr, route_table(kMenus)};
