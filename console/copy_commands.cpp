// Definitions copied, renamed, exported, imported and restored from the agent's
// archives, as the host console drives the library: its lists filled by list
// events, rows selected, buttons pressed, rows dropped, menu entries chosen and
// every dialog answered by the scripted user.
#include "console/copy_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <filesystem>
#include <system_error>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/report_commands.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/substitute_host.h"
#include "console/windows_error.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "resources/resource.h"
#include "win32/paths.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kCopyScreenKey = 60;
constexpr uint32_t kProfileList = 0x6024000A;
constexpr uint32_t kSavedReportList = 0x60440010;
constexpr uint32_t kCustomReportList = 0x60440D21;  // the saved custom reports whose menu exports and imports them
constexpr uint32_t kCopyProfileButton = 0x602100D9;
constexpr uint32_t kArchiveList = 0x60340120;
constexpr uint32_t kRestoreArchiveButton = 0x60310120;
constexpr uint32_t kGraphicalScheduleList = 0x6044092E;
enum Item { kServersItem = 400, kSourceItem, kDestinationItem, kButtonItem };

// The library loaded with the host's services and one screen of the host; the job's exit status.
template <typename Job>
int with_library(Job job) {
  Library l;
  if (!start(&l)) return 1;
  HWND screen = host::create_screen(kCopyScreenKey, "Definitions");
  int status = job(l, screen);
  host::unload_library(&l.library);
  return status;
}

// A list of the screen filled by the library for the current server.
HWND listed(const Library& l, HWND screen, int item, uint32_t id, int columns = 1) {
  HWND list = add_list(screen, item, id, columns);
  host::send_list_event(l.library, list);
  return list;
}

// My Server View as the host shows it: the library gives it its columns and the host its rows, the servers
// the console knows (as the library lists them in the console's server list).
HWND my_server_view(const Library& l, HWND screen, HWND known_servers) {
  HWND view = listed(l, screen, kDestinationItem, kMyServerView);
  for (const std::string& server : row_texts(known_servers)) support::append_row(view, server.c_str());
  return view;
}

// The servers named selected in a server list; false after naming one it lacks.
bool select_servers(HWND list, const std::vector<std::string>& servers) {
  for (const std::string& server : servers) {
    int row = find_row(list, server);
    if (row < 0) {
      fail(server + " is not a known server of this console (vornix-console servers lists them)");
      return false;
    }
    add_to_selection(list, row);
  }
  return true;
}

// Selects the rows of these names; false after naming the first the list lacks.
bool select_rows(HWND list, const std::vector<std::string>& names, const std::string& what) {
  for (const std::string& name : names) {
    int row = find_row(list, name);
    if (row < 0) {
      fail(what + name);
      return false;
    }
    add_to_selection(list, row);
  }
  return true;
}

int first_selected(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The confirmation of a copy, answered with its overwrite choice.
void answer_confirmation(const char* dialog, bool overwrite) {
  ui::script({dialog, overwrite ? IDC_COPY_OVERWRITE : IDC_COPY_KEEP, "", {}});
  ui::script({dialog, IDOK, "", {}});
}

// A row of the results window, "0001: SRV02 | Create Key | Night", in its three cells.
struct StepRow {
  std::string server, heading, text;
};

std::vector<StepRow> step_rows() {
  std::vector<StepRow> steps;
  for (const std::string& row : results_rows()) {
    size_t server = row.find(": "), heading = row.find(" | "), text = row.find(" | ", heading + 3);
    if (server == std::string::npos || heading == std::string::npos || text == std::string::npos) continue;
    steps.push_back({row.substr(server + 2, heading - server - 2), row.substr(heading + 3, text - heading - 3),
                     row.substr(text + 3)});
  }
  return steps;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// After a copy: what became of each definition on each destination, from the results window's rows (copied,
// kept because one of the name is there, or not copied with the row that says why); 1 when none was copied.
int copy_outcome(const std::vector<std::string>& names, const std::string& from, const std::vector<std::string>& to,
                 const char* initiating) {
  const std::vector<StepRow> steps = step_rows();
  unsigned copied = 0;
  for (const std::string& server : to) {
    std::vector<const StepRow*> rows;
    for (const StepRow& step : steps)
      if (strcasecmp(step.server.c_str(), server.c_str()) == 0) rows.push_back(&step);
    for (const std::string& name : names) {
      size_t at = 0;
      while (at < rows.size() && !(rows[at]->heading == initiating && rows[at]->text == name)) ++at;
      std::string outcome;
      if (at == rows.size()) {
        // The copy never began there: the server's last row says why, when it has one.
        outcome = strcasecmp(server.c_str(), from.c_str()) == 0 ? "not copied: it is the server it comes from"
                  : rows.empty() ? "not copied: the library reported no step for this server"
                                 : "not copied: " + rows.back()->heading + ": " + rows.back()->text;
      } else {
        bool created = false, kept = false;
        for (size_t r = at + 1; r < rows.size() && rows[r]->heading != initiating && outcome.empty(); ++r) {
          const StepRow& step = *rows[r];
          if (ends_with(step.text, "already exists, will not overwrite")) kept = true;
          else if (step.heading == "Create Key") created = true;
          else if (step.heading.rfind("Copy Tree", 0) == 0 || (step.heading == "Set Value" && ends_with(step.text, "]")))
            outcome = "not copied: " + step.heading + ": " + step.text;
        }
        if (outcome.empty())
          outcome = kept ? "kept: it is already there (--overwrite replaces it)"
                    : created ? "copied"
                              : "not copied: no key was created";
      }
      if (outcome == "copied") ++copied;
      std::printf("%s: %s %s\n", server.c_str(), name.c_str(), outcome.c_str());
    }
  }
  const size_t asked = names.size() * to.size();
  if (copied == 0) return fail(std::string("nothing was copied") + (asked > 1 ? " (the lines above say why)" : ""));
  std::printf("%u of %zu cop%s made\n", copied, asked, asked == 1 ? "y" : "ies");
  return 0;
}

// The rows dropped on the destination list, as the host hands over a drop.
DWORD drop_rows(const Library& l, HWND source, HWND destination) {
  using DropFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                uintptr_t, uintptr_t);
  auto drop = reinterpret_cast<DropFn>(host::export_address(l.library, "drag_drop_action"));
  const int destination_row = first_selected(destination);
  void* dragged = reinterpret_cast<void*>(row_param(source, first_selected(source)));
  return drop(kModuleNumber, reinterpret_cast<uintptr_t>(source), 0, static_cast<uintptr_t>(row_param(destination, destination_row)),
              2, reinterpret_cast<uintptr_t>(destination), 0, reinterpret_cast<uintptr_t>(dragged),
              static_cast<uintptr_t>(destination_row));
}

// The position of the menu entry that begins with the text; -1 when the list's menu has none.
int menu_position(const Library& l, HWND list, uint32_t id, const void* record, const char* begins) {
  host::MenuEntries entries;
  if (host::request_menu(l.library, list, id, record, kDescriptorListView, &entries) != 0) return -1;
  for (int i = 0; i < kMenuPositions; ++i)
    if (std::strncmp(entries[i].data(), begins, std::strlen(begins)) == 0) return i;
  return -1;
}

// Why a registry import failed, from the library's "Error [2] occurred during registry import" message: the
// Windows error with its text, or the message itself.
std::string import_error(const std::string& message) {
  const std::string marker = "Error [";
  size_t at = message.find(marker);
  if (at == std::string::npos) return message.empty() ? "" : " (" + message + ")";
  return " (" + windows_error(static_cast<DWORD>(std::strtoul(message.c_str() + at + marker.size(), nullptr, 10))) + ")";
}

}  // namespace

int copy_definition_command(std::vector<std::string> args, bool reports) {
  const char* command = reports ? "copy-report" : "copy-profile";
  bool missing = false;
  std::string from = take_option(args, "--from", &missing);
  std::vector<std::string> to = take_options(args, "--to", &missing);
  bool overwrite = take_flag(args, "--overwrite");
  if (missing || from.empty() || to.empty() || args.size() != 1)
    return usage_error(std::string(command) + " takes NAME, --from SERVER, --to SERVER (repeatable) and optionally --overwrite");
  const std::string& name = args[0];
  return with_library([&](const Library& l, HWND screen) {
    // The source server's definitions with the one named selected; the destinations selected in their list.
    if (!select_server(l, screen, kServersItem, from)) return 1;
    HWND source = listed(l, screen, kSourceItem, reports ? kSavedReportList : kProfileList);
    HWND destination = reports ? listed(l, screen, kDestinationItem, kCustomReportServerList)
                               : my_server_view(l, screen, GetDlgItem(screen, kServersItem));
    int status = 0;
    if (!click_named_row(source, name))
      status = fail(from + (reports ? " has no saved custom report " : " has no profile ") + name);
    else if (!select_servers(destination, to))
      status = 1;
    if (status == 0) {
      forget_results_rows();
      answer_confirmation(reports ? "CONFIRM_CCR_COPY" : "CONFIRM_PROFILE_COPY_NEW", overwrite);
      // A profile goes by the copy button beside the servers, a saved report by a drop on them.
      if (reports)
        drop_rows(l, source, destination);
      else
        press(l, screen, add_button(screen, kButtonItem, kCopyProfileButton, kCopyScreenKey, kDestinationItem));
      ui::clear_script();
      status = copy_outcome({name}, from, to, reports ? "initiating custom report copy..." : "initiating profile copy...");
    }
    release_rows(l, source);
    return status;
  });
}

int copy_profiles_command(std::vector<std::string> args) {
  bool missing = false;
  std::string from = take_option(args, "--from", &missing);
  std::vector<std::string> profiles = take_options(args, "--profile", &missing);
  std::vector<std::string> to = take_options(args, "--to", &missing);
  bool overwrite = take_flag(args, "--overwrite");
  if (missing || from.empty() || profiles.empty() || to.empty() || !args.empty())
    return usage_error("copy-profiles takes --from SERVER, --profile NAME (repeatable), --to SERVER (repeatable) and "
                       "optionally --overwrite");
  return with_library([&](const Library& l, HWND screen) {
    if (!select_server(l, screen, kServersItem, from)) return 1;
    HWND source = listed(l, screen, kSourceItem, kProfileList);
    HWND servers = my_server_view(l, screen, GetDlgItem(screen, kServersItem));
    int status = select_rows(source, profiles, from + " has no profile ") && select_servers(servers, to) ? 0 : 1;
    if (status == 0) {
      forget_results_rows();
      answer_confirmation("CONFIRM_PROFILE_COPY", overwrite);
      drop_rows(l, source, servers);
      ui::clear_script();
      status = copy_outcome(profiles, from, to, "initiating profile copy...");
    }
    release_rows(l, source);
    return status;
  });
}

// "schedule" is the scheduled graphical activity: a plain schedule is renamed by "schedule rename".
int rename_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || server.empty() || args.size() != 3 || (args[0] != "profile" && args[0] != "report" && args[0] != "schedule"))
    return usage_error("rename takes profile, report or schedule, the old name and the new name, and --server NAME");
  const std::string &old_name = args[1], &new_name = args[2];
  struct Kind {
    uint32_t list, button;
    const char* dialog;
  };
  const Kind kind = args[0] == "profile"  ? Kind{kProfileList, 0x60210029, "RENAME_PROFILE"}
                    : args[0] == "report" ? Kind{kSavedReportList, 0x60410013, "RENAME_RPT"}
                                          : Kind{kGraphicalScheduleList, 0x6041092E, "RENAME_SGR_SCHED"};
  return with_library([&](const Library& l, HWND screen) {
    if (!select_server(l, screen, kServersItem, server)) return 1;
    HWND list = listed(l, screen, kSourceItem, kind.list);
    if (!click_named_row(list, old_name)) {
      release_rows(l, list);
      return fail(server + " has no " + args[0] + " " + old_name);
    }
    ui::script({kind.dialog, IDOK, "", {{IDC_RENAME_NAME, new_name}}});
    press(l, screen, add_button(screen, kButtonItem, kind.button, kCopyScreenKey, kSourceItem));
    ui::clear_script();
    // Listed again, as the host refreshes the list: the new name, and the old one no more.
    release_rows(l, list);
    host::send_list_event(l.library, list);
    bool renamed = find_row(list, new_name) >= 0 && find_row(list, old_name) < 0;
    release_rows(l, list);
    if (!renamed) return fail(server + ": " + old_name + " was not renamed" + kSeeAbove);
    std::printf("%s: %s renamed to %s\n", server.c_str(), old_name.c_str(), new_name.c_str());
    return 0;
  });
}

int export_command(std::vector<std::string> args) {
  bool missing = false;
  std::string out = take_option(args, "--out", &missing);
  bool reports = take_flag(args, "--reports");
  if (missing || out.empty() || args.empty())
    return usage_error("export takes --out FILE, optionally --reports, and SERVER:NAME (one or more)");
  const OutputFile target = output_file(out, "export.reg");
  if (!output_path_ready("--out", target.path)) return 1;
  return with_library([&](const Library& l, HWND screen) {
    // Each server selected in turn adds its definitions to the list; the named ones are selected.
    const uint32_t id = reports ? kCustomReportList : kProfileList;
    HWND list = add_list(screen, kSourceItem, id);
    HWND servers = listed(l, screen, kServersItem, kConsoleServerList);
    struct Rows {
      std::string server;
      int first, end;  // the rows the server's list event added
    };
    std::vector<Rows> listed_rows;
    int status = 0;
    for (const std::string& item : args) {
      size_t colon = item.find(':');
      if (colon == std::string::npos || colon == 0 || colon + 1 == item.size()) {
        status = usage_error("export takes SERVER:NAME, not " + item);
        break;
      }
      std::string server = item.substr(0, colon), name = item.substr(colon + 1);
      const Rows* rows = nullptr;
      for (const Rows& r : listed_rows)
        if (strcasecmp(r.server.c_str(), server.c_str()) == 0) rows = &r;
      if (rows == nullptr) {
        if (!click_named_row(servers, server)) {
          status = fail(server + " is not a known server of this console (vornix-console servers lists them)");
          break;
        }
        const int first = row_count(list);
        host::send_list_event(l.library, list);
        listed_rows.push_back({server, first, row_count(list)});
        rows = &listed_rows.back();
      }
      int row = -1;
      for (int r = rows->first; r < rows->end && row < 0; ++r)
        if (strcasecmp(row_text(list, r).c_str(), name.c_str()) == 0) row = r;
      if (row < 0) {
        status = fail(server + (reports ? " has no saved custom report " : " has no profile ") + name);
        break;
      }
      add_to_selection(list, row);
    }
    int position = status == 0 ? menu_position(l, list, id, reinterpret_cast<void*>(row_param(list, first_selected(list))), "EXPORT ") : -1;
    if (status == 0 && position < 0) status = fail("the list's menu offers no export");
    if (status == 0) {
      forget_last_message();
      DWORD exported = host::choose_menu_entry(l.library, id, reinterpret_cast<void*>(row_param(list, first_selected(list))), position, screen);
      // The library names the file it wrote in its "EXPORT FILE" message.
      std::string shown = last_message(), prefix = "EXPORT FILE: ", local;
      std::error_code ec;
      if (exported == 0 || shown.rfind(prefix, 0) != 0)
        status = fail("nothing was exported" + std::string(kSeeAbove));
      else if (platform::map_path(shown.substr(prefix.size()).c_str(), &local) != 0 ||
               !std::filesystem::copy_file(local, target.path, std::filesystem::copy_options::overwrite_existing, ec) ||
               !deliver_output(target))
        status = fail("the export file could not be copied to " + target.path + (ec ? ": " + ec.message() : ""));
      else
        say_written(target, (args.size() == 1 ? "1 definition" : std::to_string(args.size()) + " definitions") +
                                " exported to " + (target.to_stdout ? "standard output" : target.path));
      if (!local.empty()) std::filesystem::remove(local, ec);
    }
    release_rows(l, list);
    return status;
  });
}

int import_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  bool reports = take_flag(args, "--reports");
  const bool confirmed = take_confirmation(args);
  if (missing || server.empty() || args.size() != 1)
    return usage_error("import takes FILE, --server NAME, --yes and optionally --reports");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(args[0], ec))
    return fail(args[0] + ": cannot be read (" + windows_error(ERROR_FILE_NOT_FOUND) + "); nothing was imported");
  return with_library([&](const Library& l, HWND screen) {
    if (!select_server(l, screen, kServersItem, server)) return 1;
    // The list's menu on empty space: the import, confirmed, from the file picked in the open-file dialog.
    const uint32_t id = reports ? kCustomReportList : kProfileList;
    HWND list = listed(l, screen, kSourceItem, id);
    int position = menu_position(l, list, id, nullptr, "IMPORT ");
    // The import writes the file's definitions over those of the same names: confirmed only with --yes.
    ui::script({reports ? "Confirm IMPORT of CUSTOM REPORTS" : "Confirm IMPORT of PROFILES",
                confirmation_answer(confirmed, IDOK, IDCANCEL), "", {}});
    ui::script({"Open", IDOK, "", {{0, args[0]}}});
    forget_last_message();
    DWORD imported = position < 0 ? 0 : host::choose_menu_entry(l.library, id, nullptr, position, screen);
    ui::clear_script();
    release_rows(l, list);
    if (!confirmed) return not_confirmed(server + ": nothing was imported from " + args[0]);
    if (imported == 0) return fail(server + ": nothing was imported from " + args[0] + import_error(last_message()));
    std::printf("%s: imported %s\n", server.c_str(), args[0].c_str());
    return 0;
  });
}

int archives_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || server.empty() || !args.empty()) return usage_error("archives takes only --server NAME");
  return with_library([&](const Library& l, HWND screen) {
    if (!select_server(l, screen, kServersItem, server)) return 1;
    HWND list = listed(l, screen, kSourceItem, kArchiveList, 2);
    Listing archives{"Registry archives of " + server + ": " + std::to_string(row_count(list)), {"archive", "date"}, {},
                     "(none)", {60}};
    for (int row = 0; row < row_count(list); ++row) archives.rows.push_back({row_text(list, row), row_text(list, row, 1)});
    print_listing(archives, format);
    return 0;
  });
}

int restore_archive_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  const bool yes = take_confirmation(args);
  if (missing || server.empty() || args.size() != 1) return usage_error("restore-archive takes FILE, --server NAME and --yes to confirm");
  return with_library([&](const Library& l, HWND screen) {
    if (!select_server(l, screen, kServersItem, server)) return 1;
    // The archive by its full path as listed, or by its file name.
    HWND list = listed(l, screen, kSourceItem, kArchiveList, 2);
    int row = find_row(list, args[0]);
    for (int r = 0; r < row_count(list) && row < 0; ++r) {
      std::string path = row_text(list, r);
      if (path.substr(path.find_last_of('\\') + 1) == args[0]) row = r;
    }
    if (row < 0) return fail(server + " has no registry archive " + args[0] + " (vornix-console archives lists them)");
    ui::click_row(list, row);
    ui::script({"REGISTRY IMPORT CONFIRMATION", confirmation_answer(yes, IDOK, IDCANCEL), "", {}});
    forget_last_message();
    DWORD restored = press(l, screen, add_button(screen, kButtonItem, kRestoreArchiveButton, kCopyScreenKey, kSourceItem));
    ui::clear_script();
    if (!yes) return not_confirmed(server + ": the archive was not restored");
    if (restored != 1) return fail(server + ": the archive was not restored" + import_error(last_message()));
    return 0;
  });
}

}  // namespace console
