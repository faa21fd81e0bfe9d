// Definitions copied, renamed, exported, imported and restored from the agent's
// archives, by the library's code in-process as the host's screens run it.
#include "console/copy_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "config/definition_copy.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "console/command_line.h"
#include "console/in_process.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/results_window.h"
#include "resources/resource.h"
#include "win32/modules.h"
#include "win32/paths.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kCopyScreenKey = 31;
constexpr uint32_t kProfileList = 0x6024000A;
constexpr uint32_t kSavedReportList = 0x60440010;
constexpr uint32_t kMyServerView = 0x60240001;

// The library in-process with the host's services and its dialog templates.
int finish(int status) {
  close_results_window();
  release_registry_connections();
  return status;
}

// A screen with one list view of the given control identifier.
HWND make_list(uint32_t id, int item) {
  static HWND screen = nullptr;
  if (screen == nullptr) screen = host::create_screen(kCopyScreenKey, "Copy");
  HWND list = host::add_control(screen, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
  // A list view keeps a cell only in a column it has: the name, and the archives' dates.
  const char* titles[] = {"Name", "Date"};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 300;
    column.pszText = const_cast<char*>(titles[i]);
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

void add_selected_row(HWND list, const std::string& text) {
  LVITEMA row = {};
  row.mask = LVIF_TEXT | LVIF_STATE;
  row.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  row.pszText = const_cast<char*>(text.c_str());
  row.state = row.stateMask = LVIS_SELECTED;
  SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
}

std::string row_text(HWND list, int row) {
  char text[600] = {};
  LPARAM param;
  read_list_row(list, row, text, sizeof text, &param);
  return text;
}

// Selects the rows whose text is one of the names; the names not found.
std::vector<std::string> select_rows(HWND list, const std::vector<std::string>& names) {
  std::vector<std::string> missing;
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (const std::string& name : names) {
    bool found = false;
    for (int row = 0; row < rows && !found; ++row) {
      if (!equal_ignoring_case(row_text(list, row).c_str(), name.c_str())) continue;
      LVITEMA item = {};
      item.stateMask = item.state = LVIS_SELECTED;
      SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      found = true;
    }
    if (!found) missing.push_back(name);
  }
  return missing;
}

// The rows' records go back to the library, as the host frees them.
void release_rows(HWND list) {
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    const void* record = reinterpret_cast<const void*>(list_row_param(list, row));
    auto* copy = record ? reinterpret_cast<BYTE*>(alloc_memory_for_list()) : nullptr;
    if (copy == nullptr) continue;
    std::memcpy(copy, record, kListItemBytes);
    delete_list_item(0, 0, copy);
  }
}

// The confirmation of a drop, answered with its overwrite choice.
void answer_confirmation(const char* dialog, bool overwrite) {
  ui::script({dialog, overwrite ? IDC_COPY_OVERWRITE : IDC_COPY_KEEP, "", {}});
  ui::script({dialog, IDOK, "", {}});
}

}  // namespace

int copy_definition_command(std::vector<std::string> args, bool reports) {
  const char* command = reports ? "copy-report" : "copy-profile";
  bool missing = false;
  std::string from = take_option(args, "--from", &missing);
  std::vector<std::string> to = take_options(args, "--to", &missing);
  bool overwrite = take_flag(args, "--overwrite");
  if (missing || from.empty() || to.empty() || args.size() != 1)
    return fail(std::string(command) + " takes NAME, --from SERVER, --to SERVER (repeatable) and optionally --overwrite");
  if (!start_in_process_library({true})) return fail("the library refused the host services table");
  HWND servers = make_list(kMyServerView, 300);
  for (const std::string& server : to) add_selected_row(servers, server);
  if (open_results_window(reports ? "Copy VORNIX Custom Reports results" : "Copy VORNIX Profiles results") == nullptr)
    return finish(fail("the results window did not open"));
  g_definition_copy.copies = 0;
  DWORD copied = reports ? CopyCustomReport(args[0].c_str(), from.c_str(), servers, 1, overwrite)
                         : CopyProfileToSelectedServers(nullptr, args[0].c_str(), from.c_str(), servers, 1, overwrite);
  std::printf("%s copied to %u server(s)\n", args[0].c_str(), static_cast<unsigned>(copied));
  return finish(copied == 0 ? 1 : 0);
}

int copy_profiles_command(std::vector<std::string> args) {
  bool missing = false;
  std::string from = take_option(args, "--from", &missing);
  std::vector<std::string> profiles = take_options(args, "--profile", &missing);
  std::vector<std::string> to = take_options(args, "--to", &missing);
  bool overwrite = take_flag(args, "--overwrite");
  if (missing || from.empty() || profiles.empty() || !args.empty())
    return fail("copy-profiles takes --from SERVER, --profile NAME (repeatable), --to SERVER (repeatable) and "
                "optionally --overwrite");
  if (!start_in_process_library({true})) return fail("the library refused the host services table");
  HWND source = make_list(kProfileList, 301);
  ListProfiles(from.c_str(), source, nullptr);
  std::vector<std::string> unknown = select_rows(source, profiles);
  HWND servers = make_list(kMyServerView, 302);
  for (const std::string& server : to) add_selected_row(servers, server);
  int status = 0;
  if (!unknown.empty()) {
    status = fail(from + " has no profile " + unknown.front());
  } else {
    answer_confirmation("CONFIRM_PROFILE_COPY", overwrite);
    // The host asks whether the rows may land on the server row, then drops the first dragged row.
    BYTE* dragged = reinterpret_cast<BYTE*>(list_row_param(source, static_cast<int>(SendMessageA(
                                                                       source, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))));
    auto to_list = reinterpret_cast<uintptr_t>(servers), from_list = reinterpret_cast<uintptr_t>(source);
    if (drag_drop_action(kModuleNumber, from_list, 0, reinterpret_cast<uintptr_t>(dragged), 1, to_list, 0,
                         reinterpret_cast<uintptr_t>(dragged), 0) != 0)
      status = fail("the server list does not take the dragged rows");
    else
      drag_drop_action(kModuleNumber, from_list, 0, 0, 2, to_list, 0, reinterpret_cast<uintptr_t>(dragged), 0);
    ui::clear_script();
    if (status == 0 && g_definition_copy.copies == 0) status = 1;
  }
  release_rows(source);
  return finish(status);
}

// "schedule" is the scheduled graphical activity: a plain schedule is renamed by "schedule rename".
int rename_command(std::vector<std::string> args, const std::string& server) {
  if (args.size() != 3 || (args[0] != "profile" && args[0] != "report" && args[0] != "schedule"))
    return fail("rename takes profile, report or schedule, the old name and the new name, and --server NAME");
  const DWORD kind = args[0] == "report" ? kRenameReport : args[0] == "schedule" ? kRenameGraphicalSchedule : 1;
  DWORD errors = RenameDefinition(nullptr, args[1].c_str(), args[2].c_str(), server.c_str(), server.c_str(), kind);
  if (errors) return fail(server + ": " + args[1] + " was not renamed (the message above says why)");
  std::printf("%s: %s renamed to %s\n", server.c_str(), args[1].c_str(), args[2].c_str());
  return 0;
}

int export_command(std::vector<std::string> args) {
  bool missing = false;
  std::string out = take_option(args, "--out", &missing);
  bool reports = take_flag(args, "--reports");
  if (missing || out.empty() || args.empty())
    return fail("export takes --out FILE, optionally --reports, and SERVER:NAME (one or more)");
  if (!start_in_process_library({true})) return fail("the library refused the host services table");
  // Each server's definitions listed into one list, and the named ones selected.
  HWND list = make_list(reports ? kSavedReportList : kProfileList, 303);
  const char* what = reports ? " has no saved report " : " has no profile ";
  // Is this row one of the server's definitions (of this name, when one is given)?
  auto row_is = [&](int row, const std::string& server, const std::string* name) {
    char on[kServerNameBytes];
    return definition_row_server(reinterpret_cast<const BYTE*>(list_row_param(list, row)), on, sizeof on) &&
           equal_ignoring_case(on, server.c_str()) &&
           (name == nullptr || equal_ignoring_case(row_text(list, row).c_str(), name->c_str()));
  };
  for (const std::string& item : args) {
    size_t colon = item.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == item.size())
      return finish(fail("export takes SERVER:NAME, not " + item));
    std::string server = item.substr(0, colon), name = item.substr(colon + 1);
    const int before = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    bool listed = false;
    for (int row = 0; row < before && !listed; ++row) listed = row_is(row, server, nullptr);
    if (!listed && reports) ListSchedules(server.c_str(), list, ReportListKind::kSavedReports);
    else if (!listed) ListProfiles(server.c_str(), list, nullptr);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    bool found = false;
    for (int row = 0; row < rows && !found; ++row) {
      if (!row_is(row, server, &name)) continue;
      LVITEMA state = {};
      state.stateMask = state.state = LVIS_SELECTED;
      SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
      found = true;
    }
    if (!found) {
      release_rows(list);
      return finish(fail(server + what + name));
    }
  }
  forget_last_message();
  // Every row names its server: the current server is never asked for.
  DWORD exported = ExportSelected(list, reports ? kImportReports : kImportProfiles, kLocalMachineName);
  release_rows(list);
  // The library names the file it wrote in its "EXPORT FILE" message.
  std::string shown = last_message(), prefix = "EXPORT FILE: ", local;
  if (exported == 0 || shown.rfind(prefix, 0) != 0) return finish(fail("nothing was exported (the message above says why)"));
  std::error_code ec;
  if (platform::map_path(shown.substr(prefix.size()).c_str(), &local) != 0 ||
      !std::filesystem::copy_file(local, out, std::filesystem::copy_options::overwrite_existing, ec))
    return finish(fail("the export file could not be copied to " + out + (ec ? ": " + ec.message() : "")));
  std::filesystem::remove(local, ec);
  std::printf("%u definition(s) exported to %s\n", static_cast<unsigned>(exported), out.c_str());
  return finish(0);
}

int import_command(std::vector<std::string> args, const std::string& server) {
  bool reports = take_flag(args, "--reports");
  if (args.size() != 1) return fail("import takes FILE, --server NAME and optionally --reports");
  if (open_results_window(reports ? "Import VORNIX Custom Reports results" : "Import VORNIX Profiles results") == nullptr)
    return finish(fail("the results window did not open"));
  DWORD imported = ImportFile(server.c_str(), reports ? kImportReports : kImportProfiles, 1, args[0].c_str());
  close_results_window();
  if (imported == 0) return fail(server + ": nothing was imported from " + args[0] + " (the message above says why)");
  std::printf("%s: imported %s\n", server.c_str(), args[0].c_str());
  return 0;
}

int archives_command(std::vector<std::string> args, const std::string& server) {
  if (!args.empty()) return fail("archives takes only --server NAME");
  char folder[MAX_PATH + 120];
  if (!registry_archive_folder(server.c_str(), folder, sizeof folder))
    return fail(server + ": its Windows folder could not be read from its registry");
  HWND list = make_list(0, 304);
  DWORD count = ListRegistryArchives(server.c_str(), list);
  std::printf("Registry archives in %s: %u\n", folder, static_cast<unsigned>(count));
  for (int row = 0; row < static_cast<int>(count); ++row) {
    char date[80] = {};
    LVITEMA cell = {};
    cell.iSubItem = 1;
    cell.pszText = date;
    cell.cchTextMax = sizeof date;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    std::printf("  %-60s %s\n", row_text(list, row).c_str(), date);
  }
  return 0;
}

int restore_archive_command(std::vector<std::string> args, const std::string& server) {
  bool yes = take_flag(args, "--yes");
  if (args.size() != 1) return fail("restore-archive takes FILE, --server NAME and --yes to confirm");
  ui::script({"REGISTRY IMPORT CONFIRMATION", yes ? IDOK : IDCANCEL, "", {}});
  DWORD restored = RestoreRegistryArchive(nullptr, server.c_str(), args[0].c_str());
  ui::clear_script();
  if (!restored) return fail(server + ": the archive was not restored" + (yes ? " (the message above says why)" : "; confirm with --yes"));
  return 0;
}

}  // namespace console
