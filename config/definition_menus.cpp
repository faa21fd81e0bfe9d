// The context menus of the definition lists: tracking profiles (enable,
// disable, import, export, alert filters), saved custom reports (import,
// export), the custom report's servers and profile patterns, and the
// directory's server lists.
#include "config/definition_menus.h"

#include <cstring>
#include <vector>

#include "config/definition_copy.h"
#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr uint32_t kCustomReportList = 0x60440D21;
constexpr uint32_t kPatternList = 0x6044001B;
constexpr uint32_t kCustomReportServers = 0x6044001A;
constexpr uint32_t kQuickReportServers = 0x602400A0;

const char* plural(int count) { return count > 1 ? "s" : ""; }

void add_text_row(HWND list, const char* text) {
  if (auto add_row = host_service<HostAddValueRowFn>(kHostAddValueRow)) add_row(list, 0, text, 0, 1);
}

// The server a right-clicked profile row belongs to; the current server for empty space.
void profile_server(const BYTE* record, char* server, size_t size) {
  if (!profile_row_server(record, server, size)) copy_text(server, size, current_server().name);
}

// Every selected profile of the list, enabled or disabled on its own server.
DWORD set_selected_profiles_enabled(HWND owner, HWND list, DWORD disable) {
  DWORD changed = 0;
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
       row >= 0;
       row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) {
    ProfileRow profile;
    if (!profile_row(reinterpret_cast<const BYTE*>(list_row_param(list, row)), &profile)) continue;
    if (SetProfileEnabled(owner, list, row, profile.type, profile.server, profile.name, disable) == 0) ++changed;
  }
  return changed != 0;
}

DWORD import_after_confirmation(HWND owner, const char* server, DWORD kind, HWND list) {
  // The menu's question is the box's text; the box carries the library's own title.
  const char* text = kind == kImportProfiles ? "Confirm IMPORT of PROFILES" : "Confirm IMPORT of CUSTOM REPORTS";
  if (ask_confirmation(owner, text, library_title(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 0;
  DWORD imported = ImportFile(server, kind, 0, nullptr);
  if (imported && list)
    if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh(list, 0, 0);
  return imported;
}

}  // namespace

DWORD FillDefinitionMenu(const MenuRequest& request) {
  int selected = request.list ? selected_row_count(request.list) : 0;
  switch (request.id) {
    case kCustomReportList:
      set_menu_entry(request, 0, "IMPORT Custom Reports from previously Exported File");
      if (request.record) set_menu_entry(request, 1, "EXPORT %d selected Custom Report%s to file", selected, plural(selected));
      return 0;
    case kPatternList:
      set_menu_entry(request, 0, "Add pattern to match Profiles for Custom Report");
      set_menu_entry(request, 1, "Retreive list of Profiles from selected Server");
      return 0;
    case kCustomReportServers:
      set_menu_entry(request, 0, "Add Server for Custom Report");
      return 0;
    case kCustomReportServerList:
      set_menu_entry(request, 0, "Add New Server to Custom Reports and My Server View");
      return 0;
    case kQuickReportServers:
      set_menu_entry(request, 0, "Add New Server to Quick Reports and My Server View");
      return 0;
  }
  if (is_directory_server_list(request.id)) {
    if (request.record) set_menu_entry(request, 0, "Add selected Server to My Server View");
    return 0;
  }
  // The profile lists.
  set_menu_entry(request, 0, "DISABLE selected Profiles");
  set_menu_entry(request, 1, "ENABLE selected Profiles");
  set_menu_entry(request, 2, "IMPORT Profiles from previously Exported File");
  if (request.record == nullptr) return 0;
  set_menu_entry(request, 3, "EXPORT %d selected Profile%s to file", selected, plural(selected));
  set_menu_entry(request, 4, "Alert \"performed by\" Filter Options for selected Profile");
  return 0;
}

DWORD ActOnDefinitionMenu(const MenuChoice& choice) {
  char text[kHostRowTextBytes];
  if (choice.id == kCustomReportList) {
    if (choice.position == 0) return import_after_confirmation(choice.owner, current_server().name, kImportReports, choice.list);
    if (choice.position == 1) return ExportSelected(choice.list, kImportReports, current_server().name) != 0;
    return 0;
  }
  if (choice.id == kPatternList) {
    if (choice.position == 0) {
      if (ask_text(choice.owner, "ADD_PROFILE_PATTERN", text, sizeof text) != IDOK) return 0;
      add_text_row(choice.list, text);
      return 1;
    }
    if (choice.position != 1 || ask_text(choice.owner, "ADD_SERVER", text, kCachedServerNameBytes) != IDOK) return 0;
    // The chosen server's profiles become patterns that match them exactly.
    std::vector<ProfileSummary> profiles(kMostProfilesListed);
    DWORD count = 0;
    if (ReadProfiles(text, profiles.data(), kMostProfilesListed, &count) != 0) return 0;
    for (DWORD i = 0; i < count; ++i) add_text_row(choice.list, profiles[i].name);
    return 1;
  }
  if (choice.id == kCustomReportServers) {
    if (choice.position != 0 || ask_text(choice.owner, "ADD_SERVER_CR", text, kCachedServerNameBytes) != IDOK) return 0;
    add_text_row(choice.list, text);
    return 1;
  }
  if (is_directory_server_list(choice.id)) {
    if (choice.position != 0 || row_of_record(choice.list, choice.record, text, kCachedServerNameBytes) < 0) return 0;
    return UpdateKnownServer(text, kKnownServerResolve, nullptr) == 0;
  }
  char server[kCachedServerNameBytes];
  profile_server(choice.record, server, sizeof server);
  switch (choice.position) {
    case 0:
    case 1:
      return set_selected_profiles_enabled(choice.owner, choice.list, choice.position == 0);
    case 2:
      return import_after_confirmation(choice.owner, server, kImportProfiles, choice.list);
    case 3:
      return ExportSelected(choice.list, kImportProfiles, server) != 0;
    case 4: {
      ProfileRow profile;
      if (!profile_row(choice.record, &profile)) return 0;
      return EditEmailAlertAccounts(choice.owner, profile.server, profile.name) == IDOK;
    }
  }
  return 0;
}
