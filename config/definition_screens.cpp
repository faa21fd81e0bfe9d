// Definitions copied and renamed from the host's screens: profile and saved
// custom report rows dropped on a server list or copied by the copy button,
// after a confirmation and with every step in the results window, and the
// rename buttons of profiles, saved reports and scheduled graphical activities;
// the agent's registry archives of the current server and their restore.
#include <cstring>
#include <initializer_list>

#include "config/definition_copy.h"
#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/subsystems.h"
#include "host/text.h"
#include "reports/results_window.h"
#include "resources/resource.h"

namespace {

constexpr uint32_t kMyServerView = 0x60240001;
constexpr uint32_t kSavedReportList = 0x60440010;
constexpr uint32_t kRenameGraphicalScheduleButton = 0x6041092E;
constexpr int kSourceRowChars = 400;
constexpr int kDestinationRowChars = 512;

// The three copies a drop makes, by the dragged row's list and the list it lands on.
enum class DropCopy { kNone, kProfilesToSelected, kProfileToRow, kReports };

DropCopy drop_copy(uint32_t row_list, uint32_t destination_list) {
  if (is_profile_list(row_list) && destination_list == kMyServerView) return DropCopy::kProfilesToSelected;
  if (is_profile_list(row_list) && destination_list == kConsoleServerList) return DropCopy::kProfileToRow;
  if (row_list == kSavedReportList && destination_list == kCustomReportServerList) return DropCopy::kReports;
  return DropCopy::kNone;
}

struct Confirmation {
  const char* destination;  // shown by the dialog that names the destination row; may be null
  DWORD overwrite;
  bool confirmed;
};

INT_PTR CALLBACK confirm_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    const auto* confirmation = reinterpret_cast<const Confirmation*>(lparam);
    if (confirmation->destination) SetDlgItemTextA(dialog, IDC_COPY_DESTINATION, confirmation->destination);
    // Nothing is overwritten unless the user asks for it.
    SendMessageA(GetDlgItem(dialog, IDC_COPY_KEEP), BM_SETCHECK, BST_CHECKED, 0);
    return TRUE;
  }
  if (message != WM_COMMAND || (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL)) return FALSE;
  auto* confirmation = reinterpret_cast<Confirmation*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  confirmation->confirmed = LOWORD(wparam) == IDOK;
  confirmation->overwrite = SendMessageA(GetDlgItem(dialog, IDC_COPY_OVERWRITE), BM_GETCHECK, 0, 0) == BST_CHECKED;
  EndDialog(dialog, LOWORD(wparam));
  return TRUE;
}

// The server a dragged row belongs to: a profile row's or a saved report row's own, else the current server.
void row_server(const BYTE* record, char* server, size_t size) {
  if (!definition_row_server(record, server, size)) copy_text(server, size, current_server().name);
}

// The selected row of a list, -1 when none; without a selection a copy has no destination and says so.
int selected_destination(HWND list) {
  int row = list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  if (row < 0)
    show_message(nullptr, "To continue, please select at least one destination server.", "Copy Profile(s)",
                 MB_ICONEXCLAMATION);
  return row;
}

// Asks the confirmation dialog, then opens the results window. Null when refused or when the window
// did not open (the user was told).
HWND confirm_and_open_results(const char* dialog, Confirmation* confirmation, const char* title) {
  if (DialogBoxParamA(g_library.instance, dialog, nullptr, confirm_proc, reinterpret_cast<LPARAM>(confirmation)) != IDOK)
    return nullptr;
  HWND results = open_results_window(title);
  if (results == nullptr) show_message(nullptr, "Error starting report view", nullptr, MB_ICONERROR);
  return results;
}

// Says so when nothing was copied, and brings the finished results window to the front with its buttons enabled.
void finish_results(HWND results, bool reports) {
  if (g_definition_copy.copies == 0)
    add_results_row(results, kStepSuccess, "*ALL*", reports ? "copy custom reports" : "copy profiles",
                    reports ? "DONE: No Custom Reports were copied" : "DONE: No Profiles were copied", nullptr);
  for (int item : {IDOK, kResultsSaveButton}) EnableWindow(GetDlgItem(results, item), TRUE);
  SetForegroundWindow(results);
  SetFocus(results);
}

struct Rename {
  char name[101];  // the old name, then the new one
};

INT_PTR CALLBACK rename_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    SendMessageA(GetDlgItem(dialog, IDC_RENAME_NAME), EM_LIMITTEXT, sizeof Rename::name - 1, 0);
    SetDlgItemTextA(dialog, IDC_RENAME_NAME, reinterpret_cast<Rename*>(lparam)->name);
    return TRUE;
  }
  if (message != WM_COMMAND || (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL)) return FALSE;
  auto* rename = reinterpret_cast<Rename*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (LOWORD(wparam) == IDOK) GetDlgItemTextA(dialog, IDC_RENAME_NAME, rename->name, sizeof rename->name);
  EndDialog(dialog, LOWORD(wparam));
  return TRUE;
}

}  // namespace

DWORD DropDefinitionRows(const DropEvent& event) {
  if (selected_destination(event.destination_list) < 0) return 0;
  const uintptr_t* descriptor = event.destination_list ? control_descriptor_of(event.destination_list) : nullptr;
  const uint32_t destination_list = descriptor ? descriptor_identifier(descriptor) : 0;
  g_definition_copy.copies = 0;
  HWND results = nullptr;
  Confirmation confirmation = {nullptr, 0, false};
  bool reports = false;
  const int rows = event.source_list ? static_cast<int>(SendMessageA(event.source_list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  for (int row = 0; row < rows; ++row) {
    if ((SendMessageA(event.source_list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0)
      continue;
    char name[kSourceRowChars + 1] = {};
    LPARAM param = 0;
    read_list_row(event.source_list, row, name, sizeof name, &param);
    const BYTE* record = reinterpret_cast<const BYTE*>(param);
    if (record == nullptr || item_word(record, kItemWordModule) != kModuleNumber) continue;
    const DropCopy copy = drop_copy(item_word(record, kItemWordControlId), destination_list);
    if (copy == DropCopy::kNone) continue;
    if (results == nullptr) {
      char destination[kDestinationRowChars + 1] = {};
      const char* dialog = copy == DropCopy::kProfilesToSelected ? "CONFIRM_PROFILE_COPY"
                           : copy == DropCopy::kReports        ? "CONFIRM_CCR_COPY"
                                                               : "CONFIRM_PROFILE_COPY_NEW";
      if (copy == DropCopy::kProfileToRow) {
        LPARAM unused;
        read_list_row(event.destination_list, event.destination_row, destination, sizeof destination, &unused);
        confirmation.destination = destination;
      }
      results = confirm_and_open_results(
          dialog, &confirmation, copy == DropCopy::kProfileToRow ? "Copy selected VORNIX Profiles results" : "");
      // Refused: 0 at once; the results window did not open: 1.
      if (results == nullptr) return confirmation.confirmed ? 1 : 0;
      confirmation.destination = nullptr;
    }
    char server[kCachedServerNameBytes];
    row_server(record, server, sizeof server);
    reports = copy == DropCopy::kReports;
    if (copy == DropCopy::kProfilesToSelected)
      CopyProfileToSelectedServers(nullptr, name, server, event.destination_list, 1, confirmation.overwrite);
    else if (copy == DropCopy::kProfileToRow)
      CopyProfileToServer(nullptr, name, server, event.destination_list, event.destination_row, 1,
                          confirmation.overwrite);
    else
      CopyCustomReport(name, server, event.destination_list, 1, confirmation.overwrite);
  }
  if (results != nullptr) finish_results(results, reports);
  return 0;
}

DWORD CopyProfileButton(HWND screen, HWND servers) {
  int row = selected_destination(servers);
  if (row < 0) return 0;
  CurrentProfile profile = current_profile();
  if (profile.name[0] == '\0') {
    show_message(screen, "To continue, please select a Profile to copy.", "Copy Profile(s)", MB_ICONEXCLAMATION);
    return 0;
  }
  char destination[kDestinationRowChars + 1] = {};
  LPARAM unused;
  read_list_row(servers, row, destination, sizeof destination, &unused);
  Confirmation confirmation = {destination, 0, false};
  g_definition_copy.copies = 0;
  HWND results = confirm_and_open_results("CONFIRM_PROFILE_COPY_NEW", &confirmation, "Copy selected VORNIX Profiles results");
  if (results == nullptr) return 0;
  CopyProfileToSelectedServers(screen, profile.name, profile.server, servers, 1, confirmation.overwrite);
  finish_results(results, false);
  return 1;
}

DWORD RenameButton(HWND screen, uint32_t id, HWND companion) {
  const bool profile = id == 0x60210029 || id == 0x602100CE;
  const DWORD kind = profile ? 1 : id == kRenameGraphicalScheduleButton ? kRenameGraphicalSchedule : kRenameReport;
  Rename rename = {};
  char server[kServerNameBytes];
  if (profile) {
    CurrentProfile current = current_profile();
    copy_text(rename.name, sizeof rename.name, current.name);
    copy_text(server, sizeof server, current.server);
  } else {
    // A saved report or graphical activity: the selected row of the list beside the button, on the row's server.
    LPARAM record = 0;
    int row = selected_row_number(companion) - 1;
    if (row >= 0) read_list_row(companion, row, rename.name, sizeof rename.name, &record);
    if (!definition_row_server(reinterpret_cast<const BYTE*>(record), server, sizeof server))
      copy_text(server, sizeof server, current_server().name);
  }
  if (rename.name[0] == '\0') {
    show_message(screen, "To continue, please select the item to rename.", nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  char old_name[sizeof rename.name];
  copy_text(old_name, sizeof old_name, rename.name);
  const char* dialog = profile ? "RENAME_PROFILE" : kind == kRenameReport ? "RENAME_RPT" : "RENAME_SGR_SCHED";
  if (DialogBoxParamA(g_library.instance, dialog, screen, rename_proc, reinterpret_cast<LPARAM>(&rename)) != IDOK ||
      rename.name[0] == '\0' || std::strcmp(rename.name, old_name) == 0)
    return 1;
  RenameDefinition(screen, old_name, rename.name, server, server, kind);
  if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh(companion, 0, 0);
  return 1;
}

DWORD RegistryArchiveList(HWND list) {
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  ListRegistryArchives(current_server().name, list);
  return 1;
}

DWORD RestoreArchiveButton(HWND screen, HWND archives) {
  // A row's text is the archive's full path on the server's administrative share.
  char path[MAX_PATH + 200] = {};
  int row = selected_row_number(archives) - 1;
  LPARAM unused = 0;
  if (row < 0 || !read_list_row(archives, row, path, sizeof path, &unused) || path[0] == '\0') {
    show_message(screen, "To continue, please select the item to restore.", nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  return RestoreRegistryArchive(screen, current_server().name, path);
}
