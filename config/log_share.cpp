// Choosing the share that holds the log files: the server's disk shares in a
// dialog, the chosen one stored through the server setting it belongs to.
#include "config/log_share.h"

#include <lm.h>

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/server_settings.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

constexpr uint32_t kReportPathField = 0x6038008B;
constexpr uint32_t kLogSharePathField = 0x60F80023;
constexpr char kDialog[] = "SELECT_LOG_SHARE";
constexpr char kSharesTitle[] = "UNABLE TO GET SHARES";
constexpr size_t kShareNameBytes = 81;  // NNLEN characters and the terminator
constexpr size_t kRemarkBytes = 257;    // MAXCOMMENTSZ characters and the terminator
constexpr size_t kWideNameUnits = kCachedServerNameBytes + 3;
constexpr DWORD kShareKindBits = 0xFF;  // the low byte of a share's type is its kind (disk, printer, IPC)

struct ShareDialog {
  const char* server;
  const SHARE_INFO_1* shares;
  DWORD count;
  char chosen[kShareNameBytes];
};

// Only plain disk shares are offered: the administrative ones (C$, ADMIN$) and IPC$ hold no log folder.
bool offered(const SHARE_INFO_1& share) {
  return (share.shi1_type & kShareKindBits) == STYPE_DISKTREE && (share.shi1_type & STYPE_SPECIAL) == 0;
}

void add_column(HWND list, int index, const char* title, int width) {
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = width;
  column.pszText = const_cast<char*>(title);
  SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void add_share_row(HWND list, const SHARE_INFO_1& share) {
  char name[kShareNameBytes], remark[kRemarkBytes];
  from_wide(share.shi1_netname, name, sizeof name);
  from_wide(share.shi1_remark, remark, sizeof remark);
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = name;
  int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  item.iItem = row;
  item.iSubItem = 1;
  item.pszText = remark;
  SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

INT_PTR CALLBACK share_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<ShareDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  HWND list = GetDlgItem(dialog, IDC_SHARE_LIST);
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    state = reinterpret_cast<ShareDialog*>(lparam);
    char heading[kCachedServerNameBytes + 40];
    copy_text(heading, sizeof heading, "Shares of server ");
    append_text(heading, sizeof heading, state->server);
    append_text(heading, sizeof heading, ":");
    SetDlgItemTextA(dialog, IDC_SHARE_SERVER, heading);
    add_column(list, 0, "Share", 150);
    add_column(list, 1, "Remark", 250);
    for (DWORD i = 0; i < state->count; ++i)
      if (offered(state->shares[i])) add_share_row(list, state->shares[i]);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    LPARAM param;
    if (LOWORD(wparam) == IDOK && row >= 0)
      read_list_row(list, row, state->chosen, static_cast<int>(sizeof state->chosen), &param);
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

struct FieldFill {
  const ServerSettingInfo* setting;
  const char* text;
};

// Every edit field of the screen that shows the same value of the same key gets the share's name.
bool fill_share_field(HWND control, void* context) {
  auto* fill = static_cast<FieldFill*>(context);
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber || descriptor_kind(d) != kDescriptorEditField) return true;
  const ServerSettingInfo* s = server_setting(descriptor_identifier(d));
  if (s != nullptr && s->root == fill->setting->root && equal_ignoring_case(s->value, fill->setting->value))
    SetWindowTextA(control, fill->text);
  return true;
}

}  // namespace

// Without a server to store on, the same refusal as the form's Save; a server that cannot be reached gives
// the connection failure (its step and Windows error) and lists nothing.
DWORD ChooseLogShare(HWND screen, uint32_t button) {
  bool sibling = button == kChooseLogSharePathButton;
  const ServerSettingInfo* setting = server_setting(sibling ? kLogSharePathField : kReportPathField);
  CurrentServer current = current_server();
  char server[sizeof current.name];
  if (sibling) sibling_server(server, sizeof server);
  else copy_text(server, sizeof server, current.record ? current.name : "");
  if (server[0] == '\0') {
    show_message(nullptr, "Unable to Save, no current server selected!", nullptr, MB_ICONERROR);
    return 0;
  }
  HKEY machine = nullptr;
  if (ConnectServerRegistry(server, &machine, kSharesTitle, 0) != 0 || machine == nullptr) return 0;

  WCHAR wide[kWideNameUnits] = {'\\', '\\'};
  to_wide(server, wide + 2, kWideNameUnits - 2);
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0;
  NET_API_STATUS status = NetShareEnum(wide, 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr);
  if (status != NERR_Success) {
    if (buffer) NetApiBufferFree(buffer);
    char text[kCachedServerNameBytes + 80];
    std::snprintf(text, sizeof text, "Error %d listing the shares of server %s", static_cast<int>(status), server);
    show_message(nullptr, text, kSharesTitle, MB_ICONERROR);
    return 0;
  }
  ShareDialog state = {server, reinterpret_cast<const SHARE_INFO_1*>(buffer), read, {}};
  INT_PTR pressed = DialogBoxParamA(g_library.instance, kDialog, screen, share_dialog_proc,
                                    reinterpret_cast<LPARAM>(&state));
  NetApiBufferFree(buffer);
  if (pressed != IDOK || state.chosen[0] == '\0') return 0;
  if (ServerSetting(setting->root, machine, server, setting->id, state.chosen, 0, screen, nullptr, 1) != 0) return 0;
  FieldFill fill = {setting, state.chosen};
  if (screen != nullptr) walk_screen_controls(screen, fill_share_field, &fill);
  return 1;
}
