#include "console/windows_error.h"
#include "console/directory_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "resources/resource.h"
#include "sim/directory_server.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

// The host's screens: a profile form with its profile list, a tracking list, the picker's button
// and the apply button; the servers; the shared directory screen with the service point list.
constexpr uint16_t kServerScreenKey = 2;
constexpr uint16_t kFormKey = 21;
constexpr uint16_t kDirectoryScreenKey = 22;
constexpr int kServerListItem = 200;
constexpr int kProfileListItem = 105;
constexpr int kTrackingListItem = 110;
constexpr uint32_t kProfileList = 0x6024000A;
constexpr uint32_t kPickerButton = 0x602100A3;
constexpr uint32_t kApplyButton = 0x60A12002;
constexpr uint32_t kServicePointList = 0x101400B0;
constexpr uint32_t kQuickReportResults = 0x60440D1E;
constexpr int kDirectoryChanges = 2;  // the quick report's list of directory changes
constexpr char kRollbackEntry[] = "Rollback Active Directory Change";

struct TrackingList {
  const char* name;
  uint32_t id;
};
constexpr TrackingList kTrackingLists[] = {
    {"objects", 0x602400A3}, {"classes", 0x602400A6}, {"attributes", 0x602400AA}, {"gpos", 0x602400DA}};

struct Kind {
  const char* name;
  int button;
};
constexpr Kind kKinds[] = {{"containers", IDC_PICKER_CONTAINERS}, {"users", IDC_PICKER_USERS},
                           {"contacts", IDC_PICKER_CONTACTS},     {"groups", IDC_PICKER_GROUPS},
                           {"any", IDC_PICKER_OBJECTS}};

const Kind* kind_named(const std::string& name) {
  for (const Kind& k : kKinds)
    if (name == k.name) return &k;
  return nullptr;
}

HWND add_list(HWND screen, int item, uint32_t id) {
  return host::add_control(screen, item, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
}

// The row whose text is the name (case ignored), selected as a click selects it; false when there is none.
bool click_row_named(HWND list, const std::string& name) {
  for (int row = 0; row < row_count(list); ++row)
    if (strcasecmp(row_text(list, row).c_str(), name.c_str()) == 0) return ui::click_row(list, row);
  return false;
}

// The library loaded beside the console with the host's services, and the world's directory running.
bool start_directory(Library* l) { return start_directory_of_world() && start(l); }

// The console's server list with the server selected, as the user selects it; no name: none selected.
bool select_server(const Library& l, const std::string& server) {
  HWND screen = host::create_screen(kServerScreenKey, "Servers");
  HWND servers = add_list(screen, kServerListItem, kConsoleServerList);
  host::send_list_event(l.library, servers);
  if (server.empty() || click_row_named(servers, server)) return true;
  fail(server + " is not a known server of this console (vornix-console servers lists them)");
  return false;
}

// A profile form: its tracking list (listed when a profile is named and selected), the picker's button
// beside it and the apply button.
struct Form {
  HWND screen = nullptr;
  HWND tracking = nullptr;
  HWND picker = nullptr;
  HWND apply = nullptr;
};

bool open_form(const Library& l, uint32_t tracking_id, const std::string& profile, Form* form) {
  form->screen = host::create_screen(kFormKey, "Profile");
  if (!profile.empty()) {
    HWND profiles = add_list(form->screen, kProfileListItem, kProfileList);
    host::send_list_event(l.library, profiles);
    if (!click_row_named(profiles, profile)) {
      fail("the current server has no profile " + profile + " (vornix-console profiles lists them)");
      return false;
    }
  }
  form->tracking = add_list(form->screen, kTrackingListItem, tracking_id);
  if (!profile.empty()) host::send_list_event(l.library, form->tracking);
  auto button = [&](int item, uint32_t id, const char* caption) {
    return host::add_control(form->screen, item, "Button", caption,
                             host::ControlSpec{id, kDescriptorPushButton, kFormKey, kTrackingListItem});
  };
  form->picker = button(120, kPickerButton, "Choose...");
  form->apply = button(121, kApplyButton, "Apply");
  return true;
}

void picker_step(int button, int typed_into = 0, const std::string& text = "") {
  ui::Answer step{"AD_PICKER", button, "", {}};
  if (typed_into) step.edits = {{typed_into, text}};
  ui::script(step);
}

// Presses the picker's button with the user's steps scripted; what the picker showed.
bool press_picker(const Library& l, const Form& form, ui::JournalEntry* shown) {
  ui::clear_journal();
  l.library.entry_point_button_services(form.screen, 0, host::descriptor_of(form.picker));
  ui::clear_script();
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.template_name != "AD_PICKER") continue;
    *shown = e;
    return true;
  }
  fail("the library showed no directory picker");
  return false;
}

// A dialog row as shown, without the name of its icon ("Jane Smith [AD_USER]").
std::string without_icon(std::string row) {
  size_t icon = row.rfind(" [");
  if (icon == std::string::npos || row.back() != ']') return row;
  for (size_t i = icon + 2; i + 1 < row.size(); ++i)
    if (!std::isalpha(static_cast<unsigned char>(row[i])) && row[i] != '_') return row;
  return row.erase(icon);
}

// The picker's rows as it ended; "LAC:" rows say the directory could not be bound.
int print_picker_rows(const ui::JournalEntry& shown, const std::string& what, Format format) {
  Listing listing{what + ":", {"name"}, {}};
  bool failed = false;
  for (const std::string& shown_row : shown.rows_at_end) {
    listing.rows.push_back({without_icon(shown_row)});
    failed |= listing.rows.back()[0].rfind("LAC:", 0) == 0;
  }
  print_listing(listing, failed ? Format::kTable : format);
  if (failed) return fail(what + ": the directory could not be searched");
  if (format == Format::kTable) std::printf("%s: %zu\n", what.c_str(), shown.rows_at_end.size());
  return 0;
}

// The picker opened for a tracking list, listing what the steps choose, then cancelled.
int list_in_picker(const Library& l, uint32_t tracking_id, const std::string& what) {
  Form form;
  if (!open_form(l, tracking_id, "", &form)) return 1;
  picker_step(IDCANCEL);
  ui::JournalEntry shown;
  return press_picker(l, form, &shown) ? print_picker_rows(shown, what, Format::kTable) : 1;
}

int run_dn(Library& l, std::vector<std::string>& args) {
  if (!args.empty()) return usage_error("ad dn takes no text");
  Form form;
  open_form(l, kTrackingLists[0].id, "", &form);
  picker_step(IDCANCEL);
  ui::JournalEntry shown;
  if (!press_picker(l, form, &shown)) return 1;
  // The picker's object list starts at the domain: its "Look in" field shows the domain's DN.
  size_t label = shown.text.find("Look in:\n");
  std::string dn = label == std::string::npos ? "" : shown.text.substr(label + 9);
  dn = dn.substr(0, dn.find('\n'));
  if (dn.rfind("DC=", 0) != 0)
    return fail("no domain controller of the console's domain answered (" + windows_error(ERROR_NO_SUCH_DOMAIN) + ")");
  std::printf("%s\n", dn.c_str());
  return 0;
}

int run_schema(Library& l, std::vector<std::string>& args) {
  bool missing = false;
  std::string selector = take_option(args, "--selector", &missing);
  if (missing || !args.empty() || (selector != "1" && selector != "2"))
    return usage_error("ad schema takes --selector 1 (attributes) or 2 (classes)");
  return list_in_picker(l, selector == "1" ? kTrackingLists[2].id : kTrackingLists[1].id, "schema names");
}

int run_objects(Library& l, std::vector<std::string>& args) {
  bool missing = false;
  std::string kind_name = take_option(args, "--kind", &missing);
  std::string base = take_option(args, "--base", &missing);
  const Kind* kind = kind_named(kind_name);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || !args.empty() || kind == nullptr)
    return usage_error("ad objects takes --kind users|groups|contacts|containers|any and optionally --base DN");
  Form form;
  open_form(l, kTrackingLists[0].id, "", &form);
  picker_step(kind->button, base.empty() ? 0 : IDC_PICKER_BASE, base);
  picker_step(IDCANCEL);
  ui::JournalEntry shown;
  return press_picker(l, form, &shown) ? print_picker_rows(shown, kind_name, format) : 1;
}

int run_gpos(Library& l, std::vector<std::string>& args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || !args.empty()) return usage_error("ad gpos takes optionally --server NAME");
  if (!select_server(l, server)) return 1;
  return list_in_picker(l, kTrackingLists[3].id, "group policy objects");
}

int run_scp(Library& l, std::vector<std::string>& args) {
  if (args.size() != 1 || args[0] != "list") return usage_error("ad scp takes list");
  HWND screen = host::create_screen(kDirectoryScreenKey, "Directory");
  HWND points = add_list(screen, 100, kServicePointList);
  host::send_list_event(l.library, points);
  int status = 0;
  for (int row = 0; row < row_count(points); ++row) {
    std::string text = row_text(points, row);
    if (text.rfind("LAC:", 0) == 0) status = 1;
    std::printf("  %s\n", text.c_str());
  }
  if (status != 0) status = fail("the agents' service connection points could not be searched");
  else std::printf("service connection points: %d\n", row_count(points));
  release_rows(l, points);
  return status;
}

// ---- ad pick ---------------------------------------------------------------------

int run_pick(Library& l, std::vector<std::string>& args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string profile = take_option(args, "--profile", &missing);
  std::string list_name = take_option(args, "--list", &missing);
  std::string kind_name = take_option(args, "--kind", &missing);
  std::string base = take_option(args, "--base", &missing);
  std::vector<std::string> chosen = take_options(args, "--choose", &missing);
  bool exclude = take_flag(args, "--exclude");
  const TrackingList* list = nullptr;
  for (const TrackingList& t : kTrackingLists)
    if (list_name == t.name) list = &t;
  const Kind* kind = kind_named(kind_name);
  bool objects = list == &kTrackingLists[0];
  if (missing || !args.empty() || list == nullptr || profile.empty() || chosen.empty() ||
      (objects != (kind != nullptr)) || (!objects && !base.empty()) || (exclude && list != &kTrackingLists[2]))
    return usage_error("ad pick takes --profile NAME --list objects|classes|attributes|gpos --choose TEXT... "
                       "[--server NAME]; objects take --kind KIND [--base DN], attributes may take --exclude");
  if (!select_server(l, server)) return 1;
  Form form;
  if (!open_form(l, list->id, profile, &form)) return 1;
  int before = row_count(form.tracking);
  // The user lists the kind, checks the exclude box, picks each entry by typing its start, then presses OK.
  if (kind) picker_step(kind->button, base.empty() ? 0 : IDC_PICKER_BASE, base);
  if (exclude) picker_step(IDC_PICKER_EXCLUDE);
  for (const std::string& text : chosen) picker_step(IDC_PICKER_ADD, IDC_PICKER_AVAILABLE, text);
  picker_step(IDOK);
  ui::JournalEntry shown;
  if (!press_picker(l, form, &shown)) return 1;
  int status = 0;
  for (const std::string& text : chosen) {
    bool listed = false;
    for (int row = 0; row < row_count(form.tracking) && !listed; ++row)
      listed = strncasecmp(row_text(form.tracking, row).c_str(), text.c_str(), text.size()) == 0;
    if (!listed) status = fail(text + ": no entry the picker listed begins with it");
  }
  std::printf("%s of %s: %d added\n", list->name, profile.c_str(), row_count(form.tracking) - before);
  for (int row = 0; row < row_count(form.tracking); ++row) std::printf("  %s\n", row_text(form.tracking, row).c_str());
  // The form's apply writes the tracking list to the profile.
  if (l.library.entry_point_button_services(form.screen, 0, host::descriptor_of(form.apply)) == 1)
    std::printf("saved to the profile %s\n", profile.c_str());
  else
    status = fail("the profile was not saved (see the messages above)");
  release_rows(l, form.tracking);
  return status;
}

// ---- ad rollback ---------------------------------------------------------------

// The position of the rollback entry in a row's menu; -1 when the menu has none.
int rollback_position(const Library& l, HWND list, int row) {
  host::MenuEntries entries;
  BYTE* record = support::read_row(list, row).record;
  if (host::request_menu(l.library, list, kQuickReportResults, record, kDescriptorListView, &entries) != 0) return -1;
  for (int i = 0; i < kMenuPositions; ++i)
    if (std::strcmp(entries[i].data(), kRollbackEntry) == 0) return i;
  return -1;
}

int run_rollback(Library& l, std::vector<std::string>& args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::vector<std::string> picked = take_options(args, "--row", &missing);
  const bool confirmed = take_confirmation(args);
  WindowOptions window;
  std::string error;
  if (!take_window_options(args, &window, &error)) return usage_error(error);
  if (missing || !args.empty() || server.empty())
    return usage_error("ad rollback takes --server NAME [--hours N | --days N | --from DATE --to DATE] [--row N]... "
                       "[--yes]");
  QuickReportScreen run;
  if (!run_quick_report(l, server, window, &run)) return 1;
  HWND list = run.lists[kDirectoryChanges];
  // The rows whose menu offers the rollback, each shown as its cells are.
  std::vector<int> changes;
  for (int row = 0; row < row_count(list); ++row)
    if (rollback_position(l, list, row) >= 0) changes.push_back(row);
  int columns = 1;
  for (LVCOLUMNA column = {}; SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(columns),
                                           reinterpret_cast<LPARAM>(&column));)
    ++columns;
  std::printf("Recorded directory changes on %s that can be rolled back: %zu\n", server.c_str(), changes.size());
  for (size_t i = 0; i < changes.size(); ++i) {
    std::string cells = row_text(list, changes[i]);
    for (int c = 1; c < columns; ++c) cells += " | " + row_text(list, changes[i], c);
    std::printf("  %2zu  %s\n", i + 1, cells.c_str());
  }
  std::vector<int> chosen;
  for (const std::string& p : picked) {
    long n = std::strtol(p.c_str(), nullptr, 10);
    if (n < 1 || static_cast<size_t>(n) > changes.size()) {
      release_rows(l, list);
      return fail("--row " + p + " is not one of the rows listed (1 to " + std::to_string(changes.size()) + ")");
    }
    chosen.push_back(changes[static_cast<size_t>(n - 1)]);
  }
  if (picked.empty()) chosen = changes;
  int status = 0;
  if (!chosen.empty()) {
    // The user selects the rows, right-clicks the first and chooses the rollback; each confirmation is answered.
    for (int row = 0; row < row_count(list); ++row) {
      bool selected = std::find(chosen.begin(), chosen.end(), row) != chosen.end();
      LVITEMA state = {};
      state.stateMask = LVIS_SELECTED;
      state.state = selected ? LVIS_SELECTED : 0;
      SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
      if (selected)
        ui::script({"Rollback AD Modification on this object", confirmation_answer(confirmed, IDOK, IDCANCEL), "", {}});
    }
    int position = rollback_position(l, list, chosen.front());
    forget_last_message();
    BYTE* record = support::read_row(list, chosen.front()).record;
    DWORD done = host::choose_menu_entry(l.library, kQuickReportResults, record, position, run.screen);
    ui::clear_script();
    std::printf(done == 1 ? "rolled back\n" : "nothing rolled back\n");
    if (!confirmed) status = not_confirmed("no directory change was rolled back");
  }
  for (HWND each : run.lists) release_rows(l, each);
  return status;
}

}  // namespace

bool start_directory_of_world() {
  std::string reason;
  if (support::start_world_directory(world::folder(), &reason)) return true;
  fail(reason);
  return false;
}

int directory_command(std::vector<std::string> args) {
  std::string what = args.empty() ? "" : args[0];
  if (!args.empty()) args.erase(args.begin());
  using Run = int (*)(Library&, std::vector<std::string>&);
  const std::pair<const char*, Run> commands[] = {{"dn", run_dn},     {"schema", run_schema}, {"objects", run_objects},
                                                  {"gpos", run_gpos}, {"scp", run_scp},       {"pick", run_pick},
                                                  {"rollback", run_rollback}};
  for (const auto& [name, run] : commands) {
    if (what != name) continue;
    Library l;
    if (!start_directory(&l)) return 1;
    int status = run(l, args);
    host::unload_library(&l.library);
    return status;
  }
  return usage_error("ad takes dn, schema, objects, gpos, scp, pick or rollback (vornix-console ad --help)");
}

}  // namespace console
