// Profile and saved custom report rows dropped on a server list: copied to the
// servers selected there, after a confirmation, with every step in the
// results window.
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
  confirmation->overwrite = SendMessageA(GetDlgItem(dialog, IDC_COPY_OVERWRITE), BM_GETCHECK, 0, 0) == BST_CHECKED;
  EndDialog(dialog, LOWORD(wparam));
  return TRUE;
}

// The server a dragged row belongs to: a profile row's or a saved report row's own, else the current server.
void row_server(const BYTE* record, char* server, size_t size) {
  ScheduleRow report;
  if (profile_row_server(record, server, size)) return;
  if (schedule_row(record, &report, nullptr)) copy_text(server, size, report.server);
  else copy_text(server, size, current_server().name);
}

bool has_selected_row(HWND list) {
  return list && SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) >= 0;
}

// Brings the finished results window to the front with its buttons enabled.
void finish_results(HWND results) {
  for (int item : {IDOK, kResultsSaveButton}) EnableWindow(GetDlgItem(results, item), TRUE);
  SetForegroundWindow(results);
  SetFocus(results);
}

}  // namespace

DWORD DropDefinitionRows(const DropEvent& event) {
  if (!has_selected_row(event.destination_list)) {
    show_message(nullptr, "To continue, please select at least one destination server.", "Copy Profile(s)",
                 MB_ICONEXCLAMATION);
    return 0;
  }
  const uintptr_t* descriptor = event.destination_list ? control_descriptor_of(event.destination_list) : nullptr;
  const uint32_t destination_list = descriptor ? descriptor_identifier(descriptor) : 0;
  g_definition_copy.copies = 0;
  HWND results = nullptr;
  Confirmation confirmation = {nullptr, 0};
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
      if (DialogBoxParamA(g_library.instance, dialog, nullptr, confirm_proc, reinterpret_cast<LPARAM>(&confirmation)) !=
          IDOK)
        return 0;
      confirmation.destination = nullptr;
      results = open_results_window(copy == DropCopy::kProfileToRow ? "Copy selected VORNIX Profiles results" : "");
      if (results == nullptr) {
        show_message(nullptr, "Error starting report view", nullptr, MB_ICONERROR);
        return 1;
      }
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
  if (results == nullptr) return 0;
  if (g_definition_copy.copies == 0)
    add_results_row(results, kStepSuccess, "*ALL*", reports ? "copy custom reports" : "copy profiles",
                    reports ? "DONE: No Custom Reports were copied" : "DONE: No Profiles were copied", nullptr);
  finish_results(results);
  return 0;
}
