#include "console/schedule_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "win32/paths.h"
#include "win32/processes.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kScheduleScreenKey = 50;
constexpr uint16_t kGraphScreenKey = 51;

// The schedule screens' controls, of activity profiles and of graphical activities.
constexpr uint32_t kDayList = 0x60440020, kTimeList = 0x60440022, kRunTimeList = 0x60440024;
constexpr uint32_t kScheduleReportList = 0x60440026, kScheduleEmailList = 0x60440027;
constexpr uint32_t kAddToList = 0x60410021, kDeleteSelected = 0x60410028, kRunReport = 0x60410027;
constexpr uint32_t kDisableBox = 0x60410016, kCentralEmailBox = 0x60410929, kPeriodInHoursBox = 0x6041092A;
constexpr uint32_t kPeriodField = 0x6048092C, kEmailField = 0x60480924;
constexpr uint32_t kSavedReportList = 0x60440010, kSavedGraphList = 0x6044092A;

struct ScreenKind {
  const char* what;  // as the output names the schedules
  uint32_t schedules, saved, name, edited, save;
  const char* replace_title;
};
constexpr ScreenKind kActivity = {"scheduled activity profile",    0x60440014, kSavedReportList, 0x6048032C,
                                  0x60480332, 0x60410015, "Replace Scheduled Activity Profile?"};
constexpr ScreenKind kGraphical = {"scheduled graphical activity",  0x6044092E, kSavedGraphList, 0x60480928,
                                   0x60480929, 0x6041092D, "Replace Scheduled Graphical Activity Profile?"};

// Dialog items of the schedule screen.
enum Item {
  kServersItem = 200, kSchedulesItem, kDaysItem, kTimesItem, kRunTimesItem, kSavedItem, kChosenItem, kEmailsItem,
  kNameItem, kEditedItem, kPeriodItem, kAddressItem, kDisableItem, kCentralItem, kHoursItem,
  kAddRunTimeItem, kAddReportItem, kAddEmailItem, kSaveItem, kDeleteItem, kDeleteSavedItem, kRunItem
};

struct ScheduleScreen {
  const ScreenKind* kind;
  HWND screen, schedules, days, times, run_times, saved, chosen, emails;
  HWND name, edited, period, address, disable, central, hours;
  HWND add_run_time, add_report, add_email, save, remove, remove_saved, run;
};

// The schedule screen of the server as the host shows it, its lists filled by the library.
bool open_screen(const Library& l, const std::string& server, bool graphical, ScheduleScreen* s) {
  const ScreenKind& k = graphical ? kGraphical : kActivity;
  s->kind = &k;
  s->screen = host::create_screen(kScheduleScreenKey, graphical ? "Scheduled Graphical Activities" : "Schedules");
  if (!select_server(l, s->screen, kServersItem, server)) return false;
  s->schedules = add_list(s->screen, kSchedulesItem, k.schedules);
  s->days = add_list(s->screen, kDaysItem, kDayList);
  s->times = add_list(s->screen, kTimesItem, kTimeList);
  s->run_times = add_list(s->screen, kRunTimesItem, kRunTimeList);
  s->saved = add_list(s->screen, kSavedItem, k.saved);
  s->chosen = add_list(s->screen, kChosenItem, kScheduleReportList);
  s->name = add_field(s->screen, kNameItem, k.name);
  s->edited = add_field(s->screen, kEditedItem, k.edited);
  s->disable = add_check_box(s->screen, kDisableItem, kDisableBox);
  if (graphical) {
    s->emails = add_list(s->screen, kEmailsItem, kScheduleEmailList);
    s->period = add_field(s->screen, kPeriodItem, kPeriodField);
    s->address = add_field(s->screen, kAddressItem, kEmailField);
    s->central = add_check_box(s->screen, kCentralItem, kCentralEmailBox);
    s->hours = add_check_box(s->screen, kHoursItem, kPeriodInHoursBox);
    s->add_email = add_button(s->screen, kAddEmailItem, kAddToList, kScheduleScreenKey, kEmailsItem);
  }
  s->add_run_time = add_button(s->screen, kAddRunTimeItem, kAddToList, kScheduleScreenKey, kRunTimesItem);
  s->add_report = add_button(s->screen, kAddReportItem, kAddToList, kScheduleScreenKey, kChosenItem);
  s->save = add_button(s->screen, kSaveItem, k.save);
  s->remove = add_button(s->screen, kDeleteItem, kDeleteSelected, kScheduleScreenKey, kSchedulesItem);
  s->remove_saved = add_button(s->screen, kDeleteSavedItem, kDeleteSelected, kScheduleScreenKey, kSavedItem);
  s->run = add_button(s->screen, kRunItem, kRunReport, kScheduleScreenKey, kSavedItem);
  for (HWND list : {s->schedules, s->days, s->times, s->saved}) host::send_list_event(l.library, list);
  return true;
}

void close_screen(const Library& l, const ScheduleScreen& s) {
  for (HWND list : {s.schedules, s.days, s.times, s.run_times, s.saved, s.chosen, s.emails})
    if (list) release_rows(l, list);
}

bool checked(HWND box) { return box && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string window_text(HWND window) {
  char text[4100] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + t;
  return out.empty() ? "(none)" : out;
}

// Selects the schedule and lets the library open it on the screen; false when the list has none of that name.
bool open_schedule(const Library& l, const ScheduleScreen& s, const std::string& name) {
  if (!click_named_row(s.schedules, name)) return false;
  host::send_list_event(l.library, s.schedules);
  return true;
}

// ---- Run times --------------------------------------------------------------------------

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The day list's row for a day as the run-time texts write it: "Everyday", "Monday" or "Mondays", "21st" or
// "21st of the current month", or the day of the month as a number; -1 when the list has none.
int day_row(HWND days, std::string day) {
  day = lower(day);
  const std::string of_month = " of the current month";
  if (day.size() > of_month.size() && day.compare(day.size() - of_month.size(), of_month.size(), of_month) == 0)
    day.erase(day.size() - of_month.size());
  int row = find_row(days, day);
  if (row < 0 && day.size() > 1 && day.back() == 's') row = find_row(days, day.substr(0, day.size() - 1));
  if (row < 0 && !day.empty() && day.find_first_not_of("0123456789") == std::string::npos)
    for (int r = 0; r < row_count(days) && row < 0; ++r) {
      std::string text = row_text(days, r);
      if (std::isdigit(static_cast<unsigned char>(text[0])) && std::atoi(text.c_str()) == std::atoi(day.c_str())) row = r;
    }
  return row;
}

// "DAY HH:MM" or "DAY at HH:MM" chosen in the day and time lists and added to the run times; false after an error.
bool add_run_time(const Library& l, const ScheduleScreen& s, const std::string& at) {
  const std::string nothing_saved = "; nothing was saved";
  size_t space = at.find_last_of(' ');
  std::string day = space == std::string::npos ? "" : at.substr(0, space), time = at.substr(space + 1);
  if (day.size() > 3 && lower(day.substr(day.size() - 3)) == " at") day.erase(day.size() - 3);
  unsigned hour = 99, minute = 99;
  char extra = 0;
  int day_at = day_row(s.days, day);
  if (day_at < 0 || std::sscanf(time.c_str(), "%u:%u%c", &hour, &minute, &extra) != 2) {
    usage_error("'" + at + "' is no run time: DAY HH:MM, DAY being Everyday, Sundays to Saturdays or 1st to 31st" +
                nothing_saved);
    return false;
  }
  char shown[16];
  std::snprintf(shown, sizeof shown, "%02u:%02u", hour, minute);
  if (!click_named_row(s.times, shown)) {
    fail(std::string("the schedule's time list offers ") + row_text(s.times, 0) + ", " + row_text(s.times, 1) + " ... " +
         row_text(s.times, row_count(s.times) - 1) + ", not " + time + nothing_saved);
    return false;
  }
  ui::click_row(s.days, day_at);
  press(l, s.screen, s.add_run_time);
  return true;
}

// ---- The commands ---------------------------------------------------------------------------

// Every schedule of the list opened in turn and listed as the screen shows it.
int list_schedules(const Library& l, const ScheduleScreen& s, const std::string& server, Format format) {
  const bool graphical = s.kind == &kGraphical;
  std::vector<std::string> names = row_texts(s.schedules);
  Listing listing{"Scheduled " + std::string(graphical ? "graphical " : "") + "activity profiles on " + server + ": " +
                      std::to_string(names.size()),
                  {"name", "state", "runs", "reports"}, {}};
  listing.heading = true;
  if (graphical) listing.columns.insert(listing.columns.end(), {"e-mails", "period"});
  for (const std::string& name : names) {
    open_schedule(l, s, name);
    listing.rows.push_back({name, checked(s.disable) ? "disabled" : "enabled", joined(row_texts(s.run_times)),
                            joined(row_texts(s.chosen))});
    if (!graphical) continue;
    std::string period = window_text(s.period);
    listing.rows.back().push_back(joined(row_texts(s.emails)) +
                                  (checked(s.central) ? ", and those of the server configuration" : ""));
    listing.rows.back().push_back(period.empty() ? "(none)" : "last " + period + (checked(s.hours) ? " hours" : " days"));
  }
  print_listing(listing, format);
  return 0;
}

// What schedule save takes besides the name.
struct SaveOptions {
  std::vector<std::string> at, reports, emails;
  std::string days, hours;
  bool server_emails = false, disabled = false, replace = false;
};

int save_schedule(const Library& l, const ScheduleScreen& s, const std::string& server, const std::string& name,
                  const SaveOptions& o) {
  const bool graphical = s.kind == &kGraphical;
  SetWindowTextA(s.name, name.c_str());
  for (const std::string& text : o.at)
    if (!add_run_time(l, s, text)) return 1;
  for (const std::string& report : o.reports) {
    if (!click_named_row(s.saved, report))
      return fail(server + " has no saved " + (graphical ? "graphical report definition " : "custom report ") + report +
                  " (saved-reports lists them); nothing was saved");
    press(l, s.screen, s.add_report);
  }
  for (const std::string& address : o.emails) {
    SetWindowTextA(s.address, address.c_str());
    if (press(l, s.screen, s.add_email) != 1) return fail("nothing was saved" + std::string(kSeeAbove));
  }
  if (graphical) {
    SetWindowTextA(s.period, (o.days.empty() ? o.hours : o.days).c_str());
    SendMessageA(s.hours, BM_SETCHECK, o.hours.empty() ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageA(s.central, BM_SETCHECK, o.server_emails ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  SendMessageA(s.disable, BM_SETCHECK, o.disabled ? BST_CHECKED : BST_UNCHECKED, 0);
  ui::clear_journal();
  ui::script({s.kind->replace_title, o.replace ? IDOK : IDCANCEL, "", {}});
  DWORD saved = press(l, s.screen, s.save);
  ui::clear_script();
  bool asked = false;
  for (const ui::JournalEntry& e : ui::journal()) asked |= e.title == s.kind->replace_title;
  if (saved != 1)
    return fail(server + ": " + s.kind->what + " " + name + " was not saved" +
                (asked && !o.replace ? " (it exists; --replace replaces it)" : kSeeAbove));
  std::printf("%s: %s %s saved\n", server.c_str(), s.kind->what, name.c_str());
  return 0;
}

int delete_schedule(const Library& l, const ScheduleScreen& s, const std::string& server, const std::string& name) {
  if (!click_named_row(s.schedules, name)) return fail(server + " has no " + s.kind->what + " " + name);
  if (press(l, s.screen, s.remove) != 1) return fail(server + ": " + name + " was not deleted" + kSeeAbove);
  std::printf("%s: %s %s deleted\n", server.c_str(), s.kind->what, name.c_str());
  return 0;
}

// Opened, given the new name on its screen and saved: the library removes the old name.
int rename_schedule(const Library& l, const ScheduleScreen& s, const std::string& server, const std::string& name,
                    const std::string& renamed, bool replace) {
  if (!open_schedule(l, s, name)) return fail(server + " has no " + s.kind->what + " " + name);
  SetWindowTextA(s.name, renamed.c_str());
  ui::clear_journal();
  ui::script({s.kind->replace_title, replace ? IDOK : IDCANCEL, "", {}});
  DWORD saved = press(l, s.screen, s.save);
  ui::clear_script();
  if (saved != 1) return fail(server + ": " + name + " was not renamed" + kSeeAbove);
  std::printf("%s: %s %s renamed %s\n", server.c_str(), s.kind->what, name.c_str(), renamed.c_str());
  return 0;
}

// The library loaded with the host's services, the server given by --server; the job's exit status.
template <typename Job>
int on_server(std::vector<std::string>& args, const char* command, Job job) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || server.empty())
    return usage_error(std::string(command) + " takes --server NAME (vornix-console " + command + " --help)");
  Library l;
  if (!start(&l)) return 1;
  int status = job(l, server);
  host::unload_library(&l.library);
  return status;
}

}  // namespace

int schedules_command(std::vector<std::string> args) {
  bool graphical = take_flag(args, "--graphical");
  Format format;
  if (!take_format(args, &format)) return 1;
  return on_server(args, "schedules", [&](const Library& l, const std::string& server) {
    if (!args.empty()) return usage_error("schedules takes --server NAME and optionally --graphical");
    ScheduleScreen s = {};
    int status = open_screen(l, server, graphical, &s) ? list_schedules(l, s, server, format) : 1;
    close_screen(l, s);
    return status;
  });
}

int schedule_command(std::vector<std::string> args) {
  bool graphical = take_flag(args, "--graphical");
  bool missing = false;
  SaveOptions o;
  o.at = take_options(args, "--at", &missing);
  o.reports = take_options(args, graphical ? "--definition" : "--report", &missing);
  if (graphical) {
    o.emails = take_options(args, "--email", &missing);
    o.days = take_option(args, "--days", &missing);
    o.hours = take_option(args, "--hours", &missing);
    o.server_emails = take_flag(args, "--server-emails");
  }
  o.disabled = take_flag(args, "--disabled");
  o.replace = take_flag(args, "--replace");
  return on_server(args, "schedule", [&](const Library& l, const std::string& server) {
    std::string action = args.empty() ? "" : args[0];
    bool save = action == "save", rename = action == "rename", remove = action == "delete";
    bool save_options = !o.at.empty() || !o.reports.empty() || !o.emails.empty() || !o.days.empty() ||
                        !o.hours.empty() || o.server_emails || o.disabled;
    if (missing || args.size() != (rename ? 3u : 2u) || !(save || rename || remove) || (!save && save_options) ||
        (remove && o.replace) || (!o.days.empty() && !o.hours.empty()))
      return usage_error("schedule takes save NAME --at \"DAY HH:MM\"... --report NAME... [--disabled] [--replace], "
                         "delete NAME, or rename OLD NEW [--replace]; with --graphical, save takes "
                         "--definition NAME..., --email ADDRESS..., [--server-emails] and --days N or --hours N");
    ScheduleScreen s = {};
    int status = 1;
    if (open_screen(l, server, graphical, &s))
      status = save     ? save_schedule(l, s, server, args[1], o)
               : remove ? delete_schedule(l, s, server, args[1])
                        : rename_schedule(l, s, server, args[1], args[2], o.replace);
    close_screen(l, s);
    return status;
  });
}

int saved_reports_command(std::vector<std::string> args) {
  Format format;
  if (!take_format(args, &format)) return 1;
  return on_server(args, "saved-reports", [&](const Library& l, const std::string& server) {
    if (!args.empty()) return usage_error("saved-reports takes only --server NAME");
    ScheduleScreen s = {}, g = {};
    int status = open_screen(l, server, false, &s) && open_screen(l, server, true, &g) ? 0 : 1;
    if (status == 0) {
      // People get the two lists one below the other; scripts one list whose rows say which they are.
      const std::pair<const char*, std::vector<std::string>> lists[] = {
          {"custom report", row_texts(s.saved)}, {"graphical report definition", row_texts(g.saved)}};
      Listing all{"", {"kind", "name"}, {}};
      for (const auto& [kind, names] : lists) {
        Listing one{std::string("Saved ") + (kind[0] == 'c' ? "custom reports" : "graphical report definitions") +
                        " on " + server + ": " + std::to_string(names.size()),
                    {"name"}, {}, ""};
        for (const std::string& name : names) {
          one.rows.push_back({name});
          all.rows.push_back({kind, name});
        }
        if (format == Format::kTable) print_listing(one, format);
      }
      if (format != Format::kTable) print_listing(all, format);
    }
    close_screen(l, s);
    close_screen(l, g);
    return status;
  });
}

int run_saved_report_command(std::vector<std::string> args) {
  return on_server(args, "run-saved-report", [&](const Library& l, const std::string& server) {
    if (args.size() != 1) return usage_error("run-saved-report takes --server NAME and the report's name");
    const std::string& report = args[0];
    ScheduleScreen s = {};
    int status = 1;
    if (open_screen(l, server, false, &s)) {
      platform::clear_started_processes();
      if (!click_named_row(s.saved, report)) {
        status = fail(server + " has no saved custom report " + report + " (saved-reports lists them)");
      } else if (press(l, s.screen, s.run) != 1 || platform::started_processes().empty()) {
        status = fail(server + ": " + report + " was not run" + kSeeAbove);
      } else {
        // The runner's last argument is the definition file the library wrote.
        const std::string line = platform::started_processes().back().command_line;
        const std::string file = line.substr(line.rfind(' ') + 1);
        std::string local;
        platform::map_path(file.c_str(), &local);
        std::printf("%s: definition of %s written to %s\n  (in the world: %s)\n  started: %s\n", server.c_str(),
                    report.c_str(), file.c_str(), local.c_str(), line.c_str());
        status = 0;
      }
    }
    close_screen(l, s);
    return status;
  });
}

// ---- Graphical report definitions ------------------------------------------------------------

namespace {

constexpr uint32_t kGraphTree = 0x60440916, kKindChooser = 0x60440917, kAddChart = 0x60410919;
constexpr uint32_t kRemoveChart = 0x6041091A, kSaveDefinition = 0x60410924, kSaveDefault = 0x60410925;
constexpr uint32_t kDefinitionName = 0x60480921;
enum GraphItem { kGraphServers = 300, kGraphTreeItem, kKindsItem, kChartsItem, kNameField, kAddItem, kRemoveItem,
                 kSaveDefinitionItem };

int tree_count(HWND tree) { return static_cast<int>(SendMessageA(tree, TVM_GETCOUNT, 0, 0)); }

// "GROUP:SELECTION:KIND" picked in the graph tree and the kind chooser (KIND a number or the chooser's name)
// and added to the chart tree; false after an error.
bool add_chart(const Library& l, HWND screen, HWND graph_tree, HWND kinds, HWND charts, HWND add,
               const std::string& pick) {
  unsigned group = 0, selection = 0;
  int used = 0;
  if (std::sscanf(pick.c_str(), "%u:%u:%n", &group, &selection, &used) != 2 || used == 0) {
    usage_error("--chart takes GROUP:SELECTION:KIND, not " + pick);
    return false;
  }
  const std::string kind = pick.substr(static_cast<size_t>(used));
  int kind_row = find_row(kinds, kind);
  if (kind_row < 0 && !kind.empty() && kind.find_first_not_of("0123456789") == std::string::npos &&
      std::atoi(kind.c_str()) < row_count(kinds))
    kind_row = std::atoi(kind.c_str());
  if (kind_row < 0) {
    usage_error("no chart kind " + kind + " (0 to " + std::to_string(row_count(kinds) - 1) + ", or " + row_text(kinds, 0) +
                " ...)");
    return false;
  }
  SendMessageA(graph_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  HTREEITEM group_item = support::append_tree_item(graph_tree, nullptr, "charts", group);
  HTREEITEM chart = support::append_tree_item(graph_tree, group_item, "chart", selection);
  SendMessageA(graph_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chart));
  host::send_list_event(l.library, graph_tree);
  ui::click_row(kinds, kind_row);
  host::send_list_event(l.library, kinds);
  int before = tree_count(charts);
  press(l, screen, add);
  if (tree_count(charts) > before) return true;
  fail(std::to_string(group) + ":" + std::to_string(selection) + " names no chart");
  return false;
}

}  // namespace

int graph_definition_command(std::vector<std::string> args) {
  return on_server(args, "graph-definition", [&](const Library& l, const std::string& server) {
    bool missing = false;
    std::vector<std::string> picks = take_options(args, "--chart", &missing);
    std::string action = args.empty() ? "" : args[0];
    size_t operands = action == "default" ? 1 : 2;
    if (missing || args.size() != operands || (action != "save" && action != "default" && action != "delete") ||
        (action == "delete") != picks.empty())
      return usage_error("graph-definition takes save NAME --chart G:S:KIND..., default --chart G:S:KIND..., or delete NAME");
    if (action == "delete") {
      ScheduleScreen g = {};
      int status = 1;
      if (!open_screen(l, server, true, &g))
        status = 1;
      else if (!click_named_row(g.saved, args[1]))
        status = fail(server + " has no saved graphical report definition " + args[1]);
      else if (press(l, g.screen, g.remove_saved) != 1)
        status = fail(server + ": " + args[1] + " was not deleted" + kSeeAbove);
      else
        status = 0;
      if (status == 0) std::printf("%s: graphical report definition %s deleted\n", server.c_str(), args[1].c_str());
      close_screen(l, g);
      return status;
    }
    // The graph screen: graph tree, kind chooser, the report's chart tree and its buttons.
    HWND screen = host::create_screen(kGraphScreenKey, "Graphical Analysis");
    if (!select_server(l, screen, kGraphServers, server)) return 1;
    HWND graph_tree =
        host::add_control(screen, kGraphTreeItem, WC_TREEVIEWA, "", host::ControlSpec{kGraphTree, kDescriptorList});
    // The chooser's rows keep the kind's number, not a record of the library's.
    HWND kinds = host::add_control(screen, kKindsItem, WC_LISTVIEWA, "", host::ControlSpec{kKindChooser, kDescriptorListView});
    HWND charts = host::add_control(screen, kChartsItem, WC_TREEVIEWA, "", host::ControlSpec{0, kDescriptorList});
    add_field(screen, kNameField, kDefinitionName, action == "save" ? args[1] : "");
    HWND add = add_button(screen, kAddItem, kAddChart, kGraphScreenKey, kChartsItem);
    HWND remove = add_button(screen, kRemoveItem, kRemoveChart, kGraphScreenKey, kChartsItem);
    HWND save = add_button(screen, kSaveDefinitionItem, action == "save" ? kSaveDefinition : kSaveDefault, kGraphScreenKey, kChartsItem);
    host::send_list_event(l.library, kinds);  // the library names the kinds
    int status = 0;
    for (const std::string& pick : picks)
      if (!add_chart(l, screen, graph_tree, kinds, charts, add, pick)) status = 1;
    if (status == 0 && press(l, screen, save) != 1)
      status = fail("the definition was not saved" + std::string(kSeeAbove));
    if (status == 0)
      std::printf("%s: %s of %zu chart%s saved\n", server.c_str(),
                  action == "save" ? ("graphical report definition " + args[1]).c_str()
                                   : "default graphical report definition",
                  picks.size(), picks.size() == 1 ? "" : "s");
    // The charts leave the report's tree one by one, as the user removes them.
    while (auto chart = reinterpret_cast<HTREEITEM>(SendMessageA(charts, TVM_GETNEXTITEM, TVGN_ROOT, 0))) {
      SendMessageA(charts, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chart));
      press(l, screen, remove);
    }
    return status;
  });
}

}  // namespace console
