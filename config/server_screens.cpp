// The server property forms: filled from a server's registry, and saved to it
// through their Save buttons.
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

// The report-to lists of the product's form and the request each is listed with.
struct ReportToList {
  uint32_t id;
  uint32_t request;
  DWORD which;  // for the save
};
constexpr ReportToList kReportToLists[] = {
    {0x603400AA, 0x60340092, 0},
    {0x603400AB, 0x60340093, kSaveDepartments},
    {0x603400A9, 0x603400A9, 0},
};

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

const ReportToList* form_report_to_list(HWND control) {
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return nullptr;
  uint32_t kind = descriptor_kind(d);
  if (kind != kDescriptorList && kind != kDescriptorKind4 && kind != kDescriptorListView) return nullptr;
  for (const ReportToList& l : kReportToLists)
    if (l.id == descriptor_identifier(d)) return &l;
  return nullptr;
}

bool fill_control(HWND control, void* context) {
  auto* walk = static_cast<FormWalk*>(context);
  bool check_box = false;
  if (const ServerSettingInfo* s = form_setting(control, walk->root, &check_box)) {
    char text[kSettingTextBytes] = {};
    ServerSetting(walk->root, walk->machine, walk->server, s->id, text, 0, nullptr, walk->record, 0);
    if (check_box) SendMessageA(control, BM_SETCHECK, decimal_value(text) != 0, 0);
    else SetWindowTextA(control, text);
  } else if (const ReportToList* l = walk->root == kProductRoot ? form_report_to_list(control) : nullptr) {
    SendMessageA(control, LVM_DELETEALLITEMS, 0, 0);
    ListReportTo(control, walk->server, l->request);
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
  } else if (const ReportToList* l = walk->root == kProductRoot ? form_report_to_list(control) : nullptr) {
    walk->rc = SaveReportTo(control, walk->server, l->which);
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
