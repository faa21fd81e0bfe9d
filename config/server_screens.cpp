// The server property forms: filled from a server's registry when the host
// lists their lists, saved to it through their Save buttons; and the buttons
// that change the forms' lists (departments, enterprise hosts, the sibling
// product's groups, versions, IP ranges and permitted hours).
#include <cstdlib>
#include <cstring>

#include "config/profile_lists.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

// The sibling product's server list, whose selected row is the sibling server.
HWND g_sibling_server_list;

// The Save buttons of the sibling product's forms; the others save the product's forms.
constexpr uint32_t kSaveSiblingSettings = 0x60F12021;
constexpr uint32_t kSaveSiblingSettingsToo = 0x60F12022;

// A list of a configuration form: listed from the server when the form is filled, saved to it
// when the form is saved.
struct FormList {
  uint32_t id;
  DWORD root;
  DWORD (*list)(HWND list, const char* server, uint32_t id);
  DWORD (*save)(HWND list, const char* server, uint32_t id);
};

// The product form's report-to lists are listed with the requests of their values.
uint32_t report_to_request(uint32_t id) {
  if (id == kFormEnterpriseHostsList) return 0x60340092;
  if (id == kFormDepartmentsList) return kReportToDepartmentsList;
  return id;
}
DWORD list_report_to(HWND list, const char* server, uint32_t id) {
  return ListReportTo(list, server, report_to_request(id));
}
DWORD save_report_to(HWND list, const char* server, uint32_t id) {
  return SaveReportTo(list, server, id == kFormDepartmentsList ? kSaveDepartments : 0);
}
DWORD list_containers(HWND list, const char* server, uint32_t) {
  return ListLocalLogonContainers(list, server);
}
DWORD save_containers(HWND list, const char* server, uint32_t) {
  return SaveLocalLogonContainers(list, server, 1);
}
DWORD save_groups(HWND list, const char* server, uint32_t id) {
  return SaveGroups(list, server, id == kExcludedGroupsRequest ? kSaveExcludedGroups : 0);
}
DWORD list_versions(HWND list, const char* server, uint32_t) {
  return ListAllowedVersions(list, server);
}
DWORD save_versions(HWND list, const char* server, uint32_t) {
  return SaveAllowedVersions(list, server);
}
DWORD list_ranges(HWND list, const char* server, uint32_t) {
  return ListSiblingIpRanges(list, server);
}
DWORD save_ranges(HWND list, const char* server, uint32_t) {
  return SaveSiblingIpRanges(list, server);
}

constexpr FormList kFormLists[] = {
    {kFormEnterpriseHostsList, kProductRoot, list_report_to, save_report_to},
    {kFormDepartmentsList, kProductRoot, list_report_to, save_report_to},
    {kFormReportToHostsList, kProductRoot, list_report_to, save_report_to},
    {kFormContainersList, kProductRoot, list_containers, save_containers},
    {kExcludedGroupsRequest, kSiblingRoot, ListGroups, save_groups},
    {kAllowedGroupsList, kSiblingRoot, ListGroups, save_groups},
    {kAllowedVersionsList, kSiblingRoot, list_versions, save_versions},
    {kSiblingIpRangesList, kSiblingRoot, list_ranges, save_ranges},
};

const FormList* form_list_of(uint32_t id) {
  for (const FormList& l : kFormLists)
    if (l.id == id) return &l;
  return nullptr;
}

struct FormWalk {
  HKEY machine;
  const char* server;
  DWORD root;
  const BYTE* record;  // filling: the server's status record, when there is one
  DWORD rc;            // saving: the first failure
};

// The setting a control of the form stands for: an edit field or check box of this library
// whose identifier is a setting of the form's root.
const ServerSettingInfo* form_setting(HWND control, DWORD root, bool* check_box) {
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return nullptr;
  uint32_t kind = descriptor_kind(d);
  if (kind != kDescriptorEditField && kind != kDescriptorCheckBox) return nullptr;
  const ServerSettingInfo* s = server_setting(descriptor_identifier(d));
  if (s == nullptr || s->root != root || s->rule == SettingRule::kRawBytes) return nullptr;
  *check_box = kind == kDescriptorCheckBox;
  return s;
}

// The list of the form's root that a control stands for: a list of this library.
const FormList* form_list(HWND control, DWORD root) {
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return nullptr;
  uint32_t kind = descriptor_kind(d);
  if (kind != kDescriptorList && kind != kDescriptorKind4 && kind != kDescriptorListView) return nullptr;
  const FormList* l = form_list_of(descriptor_identifier(d));
  return l != nullptr && l->root == root ? l : nullptr;
}

bool fill_control(HWND control, void* context) {
  auto* walk = static_cast<FormWalk*>(context);
  bool check_box = false;
  if (const ServerSettingInfo* s = form_setting(control, walk->root, &check_box)) {
    char text[kSettingTextBytes] = {};
    ServerSetting(walk->root, walk->machine, walk->server, s->id, text, 0, nullptr, walk->record, 0);
    if (check_box) SendMessageA(control, BM_SETCHECK, decimal_value(text) != 0, 0);
    else SetWindowTextA(control, text);
  } else if (const FormList* l = form_list(control, walk->root)) {
    SendMessageA(control, LVM_DELETEALLITEMS, 0, 0);
    l->list(control, walk->server, l->id);
  }
  return true;
}

bool save_control(HWND control, void* context) {
  auto* walk = static_cast<FormWalk*>(context);
  bool check_box = false;
  if (const ServerSettingInfo* s = form_setting(control, walk->root, &check_box)) {
    if (s->read_only) return true;
    char text[kSettingTextBytes] = {};
    LONG number;
    if (check_box) {
      number = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      copy_text(text, sizeof text, number ? "1" : "0");
    } else {
      GetWindowTextA(control, text, sizeof text);
      number = decimal_value(text);
    }
    // The stored password is never shown, so an empty password field leaves it as it is.
    if (s->rule == SettingRule::kPassword && text[0] == '\0') return true;
    walk->rc = ServerSetting(walk->root, walk->machine, walk->server, s->id, text, number, GetParent(control),
                             nullptr, 1);
  } else if (const FormList* l = form_list(control, walk->root)) {
    walk->rc = l->save(control, walk->server, l->id);
  }
  return walk->rc == 0;
}

HWND save_button(HWND screen, uint32_t id) {
  int item = find_button_item(screen, kModuleNumber, id);
  return item ? GetDlgItem(screen, item) : nullptr;
}

}  // namespace

void sibling_server(char* name, size_t size) {
  name[0] = '\0';
  HWND list = IsWindow(g_sibling_server_list) ? g_sibling_server_list : nullptr;
  int row = list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  LPARAM param;
  if (row >= 0) read_list_row(list, row, name, static_cast<int>(size), &param);
}

DWORD FillServerSettingsForm(HWND screen, const char* server, DWORD root, const BYTE* server_record) {
  FormWalk walk = {nullptr, server, root, server_record, 0};
  DWORD rc = ConnectServerRegistry(server, &walk.machine, "UNABLE TO RETREIVE SERVER CONFIGURATION SETTINGS", 0);
  if (rc != 0) return rc;
  if (walk.machine == nullptr) return ERROR_BAD_NETPATH;
  walk_screen_controls(screen, fill_control, &walk);
  if (root != kProductRoot) {
    BYTE grid[kValidHoursGridBytes];
    if (GetValidHoursGrid(server, grid) == 0) keep_sibling_form_grid(server, grid);
  }
  reset_change_counters(screen);
  return 0;
}

DWORD SaveServerSettingsForm(HWND screen, const char* server, DWORD root) {
  FormWalk walk = {nullptr, server, root, nullptr, 0};
  DWORD rc = ConnectServerRegistry(server, &walk.machine, kServerSettingTitle, 0);
  if (rc != 0) return rc;
  if (walk.machine == nullptr) return ERROR_BAD_NETPATH;
  // Each value is written as it comes; the first that fails (and says so) ends the save.
  walk_screen_controls(screen, save_control, &walk);
  if (walk.rc == 0) reset_change_counters(screen);
  return walk.rc;
}

void note_sibling_server_list(HWND list) { g_sibling_server_list = list; }

DWORD ServerSettingsButton(HWND screen, uint32_t id) {
  bool sibling = id == kSaveSiblingSettings || id == kSaveSiblingSettingsToo;
  CurrentServer current = current_server();
  char name[sizeof current.name];
  if (sibling) sibling_server(name, sizeof name);
  else copy_text(name, sizeof name, current.name);
  if ((sibling && name[0] == '\0') || (!sibling && current.record == nullptr)) {
    show_message(nullptr, "Unable to Save, no current server selected!", nullptr, MB_ICONERROR);
    return 0;
  }
  DWORD root = sibling ? kSiblingRoot : kProductRoot;
  if (SaveServerSettingsForm(screen, name, root) != 0) return 0;
  if (!sibling) {
    set_item_word(current.record, kItemWordUnsavedMark, 0);
    if (HWND button = save_button(screen, id)) {
      InvalidateRect(button, nullptr, TRUE);
      UpdateWindow(button);
    }
  }
  return 1;
}

// ---- The lists of the forms and the buttons beside them ----------------------------------

namespace {

constexpr char kNoServerSelected[] = "To continue, please select a server.";
constexpr size_t kEntryChars = 254;  // a name of a list entry, as the list values hold them

// The server a form of the root shows: the current server (null record: none selected) or the
// sibling server.
bool form_server(DWORD root, char* name, size_t size, BYTE** record) {
  *record = nullptr;
  if (root != kProductRoot) {
    sibling_server(name, size);
    return name[0] != '\0';
  }
  CurrentServer current = current_server();
  copy_text(name, size, current.name);
  *record = current.record;
  return current.record != nullptr;
}

bool need_server(DWORD root, char* name, size_t size) {
  BYTE* record = nullptr;
  if (form_server(root, name, size, &record)) return true;
  show_message(nullptr, kNoServerSelected, nullptr, MB_ICONEXCLAMATION);
  return false;
}

// The rows of a list that are selected, last first (so that deleting one leaves the others' numbers).
template <typename Visit>
DWORD for_each_selected_row(HWND list, Visit visit) {
  DWORD visited = 0;
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row) {
    if ((SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    char text[kEntryChars + 2] = {};
    LPARAM param;
    if (read_list_row(list, row, text, sizeof text, &param) && visit(row, text)) ++visited;
  }
  return visited;
}

bool delete_row(HWND list, int row) { return SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != 0; }

// The row of a name (case ignored); -1 when none.
int row_named(HWND list, const char* name) {
  char text[kEntryChars + 2];
  LPARAM param;
  for (int row = 0; read_list_row(list, row, text, sizeof text, &param); ++row)
    if (equal_ignoring_case(text, name)) return row;
  return -1;
}

struct HostedField {
  const char* name;
};

// Every field of the screen that shows the department hosted gets its name.
bool show_hosted(HWND control, void* context) {
  bool check_box = false;
  const ServerSettingInfo* s = form_setting(control, kProductRoot, &check_box);
  if (s != nullptr && !check_box && equal_ignoring_case(s->value, "DepartmentHosted"))
    SetWindowTextA(control, static_cast<HostedField*>(context)->name);
  return true;
}

// The server now hosts the department: the form shows it hosted, and no longer among the departments
// it reports to.
void show_department_hosted(HWND screen, const char* department) {
  HostedField field = {department};
  walk_screen_controls(screen, show_hosted, &field);
  int item = find_control_item(screen, kModuleNumber, kFormDepartmentsList);
  HWND reported = item ? GetDlgItem(screen, item) : nullptr;
  int row = reported ? row_named(reported, department) : -1;
  if (row >= 0) delete_row(reported, row);
}

// The department membership is written at once (each change is the server's own operation); the list
// shows the departments the server reports to.
DWORD department_button(HWND screen, uint32_t id, HWND list) {
  char server[sizeof CurrentServer::name];
  if (!need_server(kProductRoot, server, sizeof server)) return 0;
  if (id == kAddDepartmentButton) {
    char department[kEntryChars + 1];
    if (ask_text(screen, "ADD_DEPARTMENT", department, sizeof department) != IDOK) return 0;
    if (SetDepartment(server, department, kDepartmentReportTo) != 0) return 0;
    if (list) add_list_name(list, department);
    return 1;
  }
  if (list == nullptr) return 0;
  if (id == kRemoveDepartmentButton) {
    DWORD removed = for_each_selected_row(list, [&](int row, const char* department) {
      return SetDepartment(server, department, kDepartmentRemove) == 0 && delete_row(list, row);
    });
    return removed ? 1 : 0;
  }
  int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  char department[kEntryChars + 2] = {};
  LPARAM param;
  if (row < 0 || !read_list_row(list, row, department, sizeof department, &param)) return 0;
  if (SetDepartment(server, department, kDepartmentHost) != 0) return 0;
  show_department_hosted(screen, department);
  return 1;
}

// An enterprise host the server reports to joins the form's list, which the form's Save writes; one
// the console includes is recorded in its own list at once.
DWORD enterprise_host_button(HWND screen, uint32_t id, HWND list) {
  char host[kEntryChars + 1];
  if (id == kIncludeEnterpriseHostButton) {
    if (ask_text(screen, "ADD_ENT_HOST_INCLUDE", host, sizeof host) != IDOK || IncludeEnterpriseHost(host) != 0)
      return 0;
    if (list) add_list_name(list, host);
    return 1;
  }
  char server[sizeof CurrentServer::name];
  if (!need_server(kProductRoot, server, sizeof server)) return 0;
  if (list == nullptr || ask_text(screen, "ADD_ENT_HOST_REPORT_TO", host, sizeof host) != IDOK) return 0;
  if (add_list_name(list, host)) mark_current_server_unsaved(screen);
  return 1;
}

// A version is stored as a 32-bit number: only whole numbers are taken.
bool is_version_number(const char* text) {
  if (text[0] == '\0' || std::strlen(text) > 10) return false;
  for (const char* c = text; *c; ++c)
    if (*c < '0' || *c > '9') return false;
  return std::strtoull(text, nullptr, 10) <= 0xFFFFFFFFull;
}

// The text of the entry field joins the companion list (a group's name, a version number).
DWORD add_sibling_entry(HWND screen, HWND list) {
  char entry[kEntryChars + 1] = {};
  DWORD item = read_screen_field(screen, kSiblingEntryField, entry, sizeof entry);
  const uintptr_t* d = control_descriptor_of(list);
  if (entry[0] == '\0') {
    show_message(nullptr, "Please type the entry to add first.", nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  if (d != nullptr && descriptor_identifier(d) == kAllowedVersionsList && !is_version_number(entry)) {
    show_message(nullptr, "A version must be a whole number from 0 to 4294967295.", nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  add_list_name(list, entry);
  if (item) SetDlgItemTextA(screen, static_cast<int>(item), "");
  return 1;
}

DWORD add_sibling_ip_range(HWND screen, HWND list) {
  char octets[8][50];
  const char* fields[8];
  for (uint32_t i = 0; i < 8; ++i) {
    read_screen_field(screen, kSiblingIpOctetFields + i, octets[i], sizeof octets[i]);
    fields[i] = octets[i];
  }
  IpRange range;
  if (!CheckIpRange(nullptr, fields, &range)) return 0;
  return AddIpRange(list, range, nullptr) ? 1 : 0;
}

}  // namespace

DWORD ServerFormList(HWND list, uint32_t id) {
  const FormList* l = form_list_of(id);
  char server[sizeof CurrentServer::name];
  BYTE* record = nullptr;
  HWND screen = GetParent(list);
  if (l == nullptr || screen == nullptr) return 1;
  bool selected = form_server(l->root, server, sizeof server, &record);
  // Without a sibling server selected the sibling form stays empty; the product's form shows the current
  // server, this computer while none is selected.
  if (!selected && l->root != kProductRoot) return 1;
  FillServerSettingsForm(screen, server, l->root, record);
  return 1;
}

DWORD ServerScanList(HWND list, uint32_t id) {
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  if (id == kKnownDepartmentsList) {
    ScanDepartments(list);
  } else {
    // The hosts the console recorded (included by hand or found before), then those found now.
    ListIncludedEnterpriseHosts(list);
    ScanEnterpriseHosts(list);
  }
  return 1;
}

DWORD ServerListButton(HWND screen, uint32_t id, HWND companion) {
  switch (id) {
    case kAddDepartmentButton:
    case kRemoveDepartmentButton:
    case kHostDepartmentButton:
      return department_button(screen, id, companion);
    case kAddReportToHostButton:
    case kIncludeEnterpriseHostButton:
      return enterprise_host_button(screen, id, companion);
    case kRemoveServerListRowsButton:
      if (companion == nullptr || !for_each_selected_row(companion, [&](int row, const char*) { return delete_row(companion, row); }))
        return 0;
      mark_current_server_unsaved(screen);
      return 1;
    default:
      break;
  }
  char server[sizeof CurrentServer::name];
  if (!need_server(kSiblingRoot, server, sizeof server)) return 0;
  if (id == kValidHoursButton) return EditValidHoursGrid(screen, server);
  if (companion == nullptr) return 0;
  if (id == kAddSiblingEntryButton) return add_sibling_entry(screen, companion);
  if (id == kAddSiblingIpRangeButton) return add_sibling_ip_range(screen, companion);
  return for_each_selected_row(companion, [&](int row, const char*) { return delete_row(companion, row); }) ? 1 : 0;
}
