// vornix-console: the substitute host console. It loads libqvmr7.so, offers
// the host services table and runs the console's jobs from the command line
// on a simulated Windows network.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <unistd.h>
#include <memory>
#if defined(__SANITIZE_ADDRESS__)
#define QVMR7_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QVMR7_LEAK_CHECK 1
#endif
#endif
#ifdef QVMR7_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif
#include <string>
#include <vector>

#include "console/chart_commands.h"
#include "console/report_commands.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "console/directory_commands.h"
#include "console/profile_commands.h"
#include "console/substitute_host.h"
#include "console/log_commands.h"
#include "console/mail_commands.h"
#include "console/deploy_commands.h"
#include "console/status_commands.h"
#include "console/menu_commands.h"
#include "console/net_commands.h"
#include "console/sql_commands.h"
#include "console/copy_commands.h"
#include "console/schedule_commands.h"
#include "console/server_config_commands.h"
#include "console/view_log.h"
#include "sim/agent_world.h"
#include "sim/demo_activity.h"
#include "sim/demo_reports.h"
#include "sim/demo_sysvol.h"
#include "sim/directory_server.h"
#include "sim/sql_server.h"
#include "host/exports.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kNavigationScreenKey = 1;
constexpr int kNavigationTreeItem = 100;

using console::fail;
using console::take_option;
using console::usage_error;
using console::usage_error_shown;

bool start_library(host::Library* library, host::ServiceTable* table) {
  std::string error;
  if (!host::load_library(host::library_beside_program(), library, &error)) {
    fail(error);
    return false;
  }
  DWORD id[4];
  library->introduction_in(&id[0], &id[1], &id[2], &id[3]);
  *table = host::make_service_table();
  if (library->establish_tables(6, table->data()) != 1) {
    fail("the library refused the host services table");
    host::unload_library(library);
    return false;
  }
  host::insert_list_images(*library);
  char started[120];
  std::snprintf(started, sizeof started, "Library QVMR0007.DLL started: module %u, identity %08X %08X %08X",
                static_cast<unsigned>(id[3]), static_cast<unsigned>(id[0]), static_cast<unsigned>(id[1]),
                static_cast<unsigned>(id[2]));
  console::note(started);
  return true;
}

// A known server's product key as establishment leaves it.
std::string demo_product_key() {
  const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
  std::string text = key + "]\r\n\"LastUpdateDate\"=dword:6aac4100\r\n\"OriginalInstallDate\"=dword:6aac4100\r\n\r\n" +
                     key + "\\Profiles]\r\n\r\n" + key + "\\Reports]\r\n\r\n" + key + "\\Enterprise]\r\n\r\n";
  // One profile of each type.
  const char* profiles[][2] = {{"Logons", "100"}, {"Shares", "110"}, {"Failed Logons", "120"},
                               {"Directory Changes", "130"}, {"Group Policy", "140"}};
  for (const auto& p : profiles)
    text += key + "\\Profiles\\" + p[0] + "]\r\n\"ProfileType\"=dword:00000" + p[1] +
            "\r\n\"CreateDate\"=dword:6aac4100\r\n\"LastUpdateDate\"=dword:6aac4100\r\n"
            "\"CreatedBy\"=\"demo on CONSOLE01\"\r\n\r\n";
  return text;
}

void make_demo_world(const std::string& folder) {
  support::WorldBuilder world(folder);
  world.use_real_clock();
  support::add_agent_server(world, "SRV01", "127.0.0.2", "Windows Server 2012 R2 Standard", true);
  support::add_agent_server(world, "SRV02", "127.0.0.3", "Windows Server 2008 R2 Enterprise", true);
  // The product folder holds the agent's file sets; SRV01 runs the agent, SRV02 does not have it yet.
  support::add_agent_file_sets(world);
  support::add_installed_agent(world, "SRV01");
  // Both servers are known to the console, with the addresses of their agent port.
  world.add_registry_text(world.console(), "HKCU",
                          "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS]\r\n"
                          "\"SRV01\"=hex:7f,00,00,02\r\n"
                          "\"SRV02\"=hex:7f,00,00,03\r\n\r\n");
  for (const char* server : {"SRV01", "SRV02"}) world.add_registry_text(server, "HKLM", demo_product_key());
  // A few days of their agents' activity logs up to now, in the log share that ReportPath names.
  for (const char* server : {"SRV01", "SRV02"}) support::add_demo_activity(world, server, std::time(nullptr));
  // SRV01 is an enterprise host: the console runs it while a request command runs.
  world.set_machine_setting("SRV01", "agent", "enterprise", "yes");
  // SRV01's agent answers its statistics pipe while a command runs.
  world.set_machine_setting("SRV01", "agent", "pipe", "vornixw01");
  // SRV01 is the domain controller: its SYSVOL holds the domain's group policies, its directory the domain.
  support::add_demo_sysvol(world, "SRV01");
  support::add_demo_directory(world, "SRV01");
  // SQL01 runs the SQL Server that SRV01's settings name for the record transfer.
  support::add_sql_server(world, "SQL01", "127.0.0.4");
  world.add_registry_text("SRV01", "HKLM",
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                          "\"SQLServerForTransfer\"=\"SQL01\"\r\n\r\n");
  // MAIL01 takes the servers' mail at port 2525 of its own address while a mail command runs.
  world.add_machine("MAIL01", "127.0.0.5");
  world.set_machine_setting("MAIL01", "mail", "port", "2525");
  for (const char* server : {"SRV01", "SRV02"})
    world.add_registry_text(server, "HKLM",
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                            "\"SMTP Server\"=\"MAIL01\"\r\n\"SMTP Port\"=dword:000009dd\r\n"
                            "\"SMTP Security\"=dword:00000000\r\n\"SMTP Send As\"=\"vornix@demo.test\"\r\n\r\n");
  // SRV01 has settings off their defaults, saved reports and schedules, one run a day ago.
  support::add_demo_configuration(world, "SRV01", static_cast<uint64_t>(std::time(nullptr)) - 86400);
}

std::string default_demo_folder() { return (fs::temp_directory_path() / "vornix-demo").string(); }

// Takes "--world DIR" out of the arguments and opens the world: that folder,
// else $QVMR7_WORLD, else the demo folder (made when missing). False with a
// one-line error when the folder is no world.
bool open_world(std::vector<std::string>& args) {
  bool missing = false;
  std::string folder = take_option(args, "--world", &missing);
  if (missing) {
    usage_error("--world needs a folder");
    return false;
  }
  bool named = !folder.empty();
  if (!named) {
    const char* variable = std::getenv("QVMR7_WORLD");
    if (variable && *variable) folder = variable;
    named = !folder.empty();
  }
  std::error_code ec;
  if (!named) {
    folder = default_demo_folder();
    if (!fs::exists(folder + "/world.ini", ec) && (!fs::exists(folder, ec) || fs::is_empty(folder, ec)))
      make_demo_world(folder);
  }
  if (!fs::is_regular_file(folder + "/world.ini", ec)) {
    fail(folder + " is not a world folder (no world.ini in it)");
    return false;
  }
  if (!world::open(folder)) {
    fail("cannot open the world in " + folder);
    return false;
  }
  return true;
}


// The item most recently inserted as first child of parent (or as first root).
HTREEITEM first_child(HWND tree, HTREEITEM parent) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(
      tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
}

void print_tree(HWND tree, HTREEITEM item, int depth) {
  for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    char text[260] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    std::printf("  %*s%s\n", 2 * depth, "", text);
    print_tree(tree, first_child(tree, item), depth + 1);
  }
}

// Builds the navigation tree as the host does: one list event per node, each
// inserted by the library as the first child of the parent item passed along.
void build_navigation_tree(const host::Library& library, HWND tree) {
  auto node_event = [&](DWORD node, HTREEITEM parent) {
    host::send_list_event(library, tree, node, reinterpret_cast<uintptr_t>(parent ? parent : TVI_ROOT));
    return first_child(tree, parent);
  };
  HTREEITEM root = node_event(0x30247001, nullptr);
  // First children are inserted in front, so the host sends them last to first.
  HTREEITEM configuration = nullptr, reports = nullptr, profiles = nullptr, groups = nullptr;
  node_event(0x30247007, root);
  configuration = node_event(0x30247006, root);
  reports = node_event(0x30247005, root);
  profiles = node_event(0x30247004, root);
  groups = node_event(0x30247003, root);
  node_event(0x30247002, root);
  node_event(0x3024700B, groups);
  node_event(0x30247008, profiles);
  node_event(0x30247009, reports);
  node_event(0x3024700A, configuration);
}

// The demo network in DIR, given as the one argument or as --world DIR.
int run_demo(std::vector<std::string> args) {
  bool missing = false;
  std::string folder = take_option(args, "--world", &missing);
  if (!folder.empty()) args.insert(args.begin(), folder);
  if (missing || args.size() > 1) return usage_error("demo takes at most one folder, as DIR or as --world DIR");
  bool temporary = args.empty();
  folder = temporary ? default_demo_folder() : args[0];
  std::error_code ec;
  if (temporary) fs::remove_all(folder, ec);
  if (!fs::exists(folder + "/world.ini", ec)) {
    if (fs::exists(folder, ec) && !fs::is_empty(folder, ec))
      return fail(folder + " is not empty and holds no demo network");
    make_demo_world(folder);
  }
  if (!world::open(folder)) return fail(folder + " is not a world folder (no world.ini)");
  std::printf("Demo network in %s: console %s", folder.c_str(), world::console_machine().c_str());
  for (const world::Machine* m : world::machines())
    if (m->name != world::console_machine())
      std::printf(", %s (%s)", m->name.c_str(), m->setting("machine", "ipv4").c_str());
  std::printf("\n");

  host::Library library;
  host::ServiceTable table;
  if (!start_library(&library, &table)) return 1;
  HWND screen = host::create_screen(kNavigationScreenKey, "Navigation");
  host::ControlSpec layout;
  layout.control_id = 0x30247001;
  layout.kind = kDescriptorList;
  HWND tree = host::add_control(screen, kNavigationTreeItem, WC_TREEVIEWA, "", layout);
  build_navigation_tree(library, tree);
  std::printf("Navigation tree:\n");
  print_tree(tree, first_child(tree, nullptr), 0);
  host::unload_library(&library);
  return 0;
}

// The server configuration forms, through the loaded library's exports.
int run_settings(std::vector<std::string> args) { return open_world(args) ? console::settings_command(args) : 1; }
int run_setting(std::vector<std::string> args) { return open_world(args) ? console::setting_command(args) : 1; }
int run_set(std::vector<std::string> args) { return open_world(args) ? console::set_field_command(args) : 1; }
int run_departments(std::vector<std::string> args) { return open_world(args) ? console::departments_command(args) : 1; }
int run_report_to(std::vector<std::string> args) { return open_world(args) ? console::report_to_command(args) : 1; }
int run_enterprise_hosts(std::vector<std::string> args) {
  return open_world(args) ? console::enterprise_hosts_command(args) : 1;
}
int run_logon_containers(std::vector<std::string> args) {
  return open_world(args) ? console::logon_containers_command(args) : 1;
}
int run_qvawkq_groups(std::vector<std::string> args) { return open_world(args) ? console::qvawkq_groups_command(args) : 1; }
int run_qvawkq_versions(std::vector<std::string> args) {
  return open_world(args) ? console::qvawkq_versions_command(args) : 1;
}
int run_qvawkq_ranges(std::vector<std::string> args) { return open_world(args) ? console::qvawkq_ranges_command(args) : 1; }
int run_qvawkq_hours(std::vector<std::string> args) { return open_world(args) ? console::qvawkq_hours_command(args) : 1; }
// Schedules, saved reports and graphical report definitions on their screens, through the exports.
int run_schedules(std::vector<std::string> args) { return open_world(args) ? console::schedules_command(args) : 1; }
int run_schedule(std::vector<std::string> args) { return open_world(args) ? console::schedule_command(args) : 1; }
int run_saved_reports(std::vector<std::string> args) {
  return open_world(args) ? console::saved_reports_command(args) : 1;
}
int run_saved_report(std::vector<std::string> args) {
  return open_world(args) ? console::run_saved_report_command(args) : 1;
}
int run_graph_definition(std::vector<std::string> args) {
  return open_world(args) ? console::graph_definition_command(args) : 1;
}

// Definitions moved between servers, through the exports.
int run_copy_profile(std::vector<std::string> args) {
  return open_world(args) ? console::copy_definition_command(std::move(args), false) : 1;
}
int run_copy_report(std::vector<std::string> args) {
  return open_world(args) ? console::copy_definition_command(std::move(args), true) : 1;
}
int run_copy_profiles(std::vector<std::string> args) {
  return open_world(args) ? console::copy_profiles_command(std::move(args)) : 1;
}
int run_export(std::vector<std::string> args) { return open_world(args) ? console::export_command(std::move(args)) : 1; }
int run_rename(std::vector<std::string> args) { return open_world(args) ? console::rename_command(std::move(args)) : 1; }
int run_import(std::vector<std::string> args) { return open_world(args) ? console::import_command(std::move(args)) : 1; }
int run_archives(std::vector<std::string> args) { return open_world(args) ? console::archives_command(std::move(args)) : 1; }
int run_restore_archive(std::vector<std::string> args) {
  return open_world(args) ? console::restore_archive_command(std::move(args)) : 1;
}
// A server's mail settings through the e-mail dialog; the test mail and the unattended run with the demo's
// mail server taking mail while they run.
int run_email_config(std::vector<std::string> args) {
  return open_world(args) ? console::email_config_command(std::move(args)) : 1;
}
int run_test_email(std::vector<std::string> args) {
  if (!open_world(args)) return 1;
  std::shared_ptr<void> mail = console::start_demo_mail_server();
  return console::test_email_command(std::move(args));
}
int run_unattended(std::vector<std::string> args) {
  if (!open_world(args)) return 1;
  std::shared_ptr<void> mail = console::start_demo_mail_server();
  return console::unattended_run_command(std::move(args));
}

// ---- Commands and their help ------------------------------------------------

// The areas the general help lists the commands under, each with one example to try on the demo network.
struct Group {
  const char* heading;
  const char* example;
};
enum GroupIndex { kReportsGroup, kServersGroup, kProfilesGroup, kSettingsGroup, kExportGroup, kDatabaseGroup,
                  kDirectoryGroup, kDrawingGroup };
constexpr Group kGroups[] = {
    {"Reports", "vornix-console quick-report --server SRV01 --hours 2"},
    {"Servers and agents", "vornix-console servers --format csv"},
    {"Profiles", "vornix-console profiles --server SRV01"},
    {"Settings and schedules", "vornix-console setting get LogTransferFrequency --server SRV01"},
    {"Export and mail", "vornix-console email-config --server SRV01"},
    {"Database", "vornix-console sql-setup --server SRV01"},
    {"Directory", "vornix-console ad objects --kind users"},
    {"Drawing and menus", "vornix-console menu --list 0x602400C1 --row SRV01"},
};

struct Command {
  const char* name;
  // One line per form of the command; a line that does not start with the
  // command's name continues the one before it.
  const char* usage;
  const char* about;
  int (*run)(std::vector<std::string> args);
  GroupIndex group;
};

int run_quick_report(std::vector<std::string> args) { return open_world(args) ? console::quick_report(args) : 1; }
int run_servers(std::vector<std::string> args) { return open_world(args) ? console::servers_command(args) : 1; }
int run_add_server(std::vector<std::string> args) { return open_world(args) ? console::add_server_command(args) : 1; }
int run_enterprise_status(std::vector<std::string> args) {
  return open_world(args) ? console::enterprise_status_command(args) : 1;
}
int run_servers_known(std::vector<std::string> args) {
  return open_world(args) ? console::servers_known_command(args) : 1;
}
int run_alert_agents(std::vector<std::string> args) { return open_world(args) ? console::alert_agents_command(args) : 1; }
int run_view_log(std::vector<std::string> args) { return open_world(args) ? console::view_log(args) : 1; }
int run_logs(std::vector<std::string> args) { return open_world(args) ? console::logs_command(args) : 1; }
// The SQL setup of one or more servers, with the results rows.
int run_sql_setup(std::vector<std::string> args) {
  if (!open_world(args)) return 1;
  bool missing = false;
  std::vector<std::string> servers = console::take_options(args, "--server", &missing);
  std::string sql_server = take_option(args, "--sql-server", &missing);
  if (missing || servers.empty() || !args.empty())
    return usage_error("sql-setup takes --server NAME (repeatable) and optionally --sql-server NAME");
  return console::sql_setup(servers, sql_server);
}
int run_sql_sizes(std::vector<std::string> args) {
  if (!open_world(args)) return 1;
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  console::Format format;
  if (!console::take_format(args, &format)) return 1;
  if (missing || server.empty() || !args.empty()) return usage_error("sql-sizes takes --server NAME");
  return console::sql_sizes(server, format);
}
int run_install_agent(std::vector<std::string> args) { return open_world(args) ? console::install_agent(args) : 1; }
int run_update_agent(std::vector<std::string> args) { return open_world(args) ? console::update_agent(args) : 1; }
int run_agent(std::vector<std::string> args) { return open_world(args) ? console::agent_command(args) : 1; }
int run_remove_agent(std::vector<std::string> args) { return open_world(args) ? console::remove_agent(args) : 1; }
int run_scout(std::vector<std::string> args) { return open_world(args) ? console::scout_command(args) : 1; }
int run_services(std::vector<std::string> args) { return open_world(args) ? console::services_command(args) : 1; }
int run_server_status(std::vector<std::string> args) {
  return open_world(args) ? console::server_status_command(args) : 1;
}
int run_draw(std::vector<std::string> args) { return open_world(args) ? console::draw_command(args) : 1; }
int run_agent_stats(std::vector<std::string> args) {
  return open_world(args) ? console::agent_stats_command(args) : 1;
}
int run_scan_range(std::vector<std::string> args) { return open_world(args) ? console::scan_range_command(args) : 1; }
int run_agent_ip(std::vector<std::string> args) { return open_world(args) ? console::agent_ip_command(args) : 1; }
int run_menu(std::vector<std::string> args) { return open_world(args) ? console::menu_command(args) : 1; }
int run_directory(std::vector<std::string> args) { return open_world(args) ? console::directory_command(args) : 1; }
int run_custom_report(std::vector<std::string> args) { return open_world(args) ? console::custom_report(args) : 1; }
int run_charts(std::vector<std::string> args) { return open_world(args) ? console::charts_command(args) : 1; }
int run_chart(std::vector<std::string> args) { return open_world(args) ? console::chart(args) : 1; }
int run_graphical_report(std::vector<std::string> args) {
  return open_world(args) ? console::graphical_report(args) : 1;
}
int run_profiles(std::vector<std::string> args) { return open_world(args) ? console::profiles_command(args) : 1; }
int run_profile(std::vector<std::string> args) { return open_world(args) ? console::profile_command(args) : 1; }
int run_profile_settings(std::vector<std::string> args) {
  return open_world(args) ? console::profile_settings_command(args) : 1;
}
int run_profile_list(std::vector<std::string> args) {
  return open_world(args) ? console::profile_list_command(args) : 1;
}
int run_gpo_baseline(std::vector<std::string> args) {
  return open_world(args) ? console::gpo_baseline_command(args) : 1;
}
int run_report_definitions(std::vector<std::string> args) {
  return open_world(args) ? console::report_definitions(args) : 1;
}

const Command kCommands[] = {
    {"view-log", "view-log --server NAME [--archived] [--csv OUT | --format table|csv|json] [--wide] FILE... [--world DIR]",
     "pick activity log files (all of one family) by name in the server's current\n"
     "(or archived) log file list and read them into the columns of that family's\n"
     "quick-report view: a table here, or comma-delimited text with a header line\n"
     "in OUT",
     run_view_log, kReportsGroup},
    {"quick-report",
     "quick-report --server NAME [--hours N | --days N | --from DATE --to DATE]\n"
     "  [--max N] [--csv OUT] [--world DIR]",
     "read the server's activity logs of that window (dates as YYYY-MM-DD, local\n"
     "time; the last day when none is given) into the four quick-report lists and\n"
     "write each list that has rows to OUT with its family before the ending\n"
     "(OUT-logon.csv, ...); --max N stops reading once N rows are listed, checked\n"
     "after each log record, which can add several rows (so a few more than N may\n"
     "show); Ctrl-C stops the report and keeps the rows read so far",
     run_quick_report, kReportsGroup},
    {"custom-report", "custom-report --server NAME --profile PATTERN... [--csv OUT] [--world DIR]",
     "read the log files whose profile name matches a pattern (* and ? wildcards,\n"
     "case ignored), written the same way as by quick-report",
     run_custom_report, kReportsGroup},
    {"chart",
     "chart --server NAME [--hours N | --days N | --from DATE --to DATE] [--max N]\n"
     "  --group G --selection S [--kind K] [--size WxH] [--png OUT] [--counts] [--world DIR]",
     "run the quick report and chart its rows: chart G:S of the graph tree (1400:4\n"
     "File Events per User, 1800:21 Bad Passwords from IP, ...) as kind K (0 to 7 or\n"
     "its name: 3D Pie, ..., Bar Horizontal); --counts prints every label with its\n"
     "count, largest first; --png writes the chart (800x600 unless --size) to OUT;\n"
     "--max N as for quick-report (checked after each log record)",
     run_chart, kReportsGroup},
    {"graphical-report",
     "graphical-report --server NAME [--hours N | --days N | --from DATE --to DATE]\n"
     "  [--max N] --chart G:S:KIND... --html OUT [--size WxH] [--world DIR]",
     "run the quick report and write the charts, in the order given, into one HTML\n"
     "graphical report (OUT, .html appended unless it ends so) with the images\n"
     "embedded; a chart without rows becomes a \"No Data Found\" row",
     run_graphical_report, kReportsGroup},
    {"charts", "charts [--world DIR]",
     "list the charts that chart (--group G --selection S) and graphical-report\n"
     "(--chart G:S:KIND) take, by group, and the kinds each can be drawn as",
     run_charts, kReportsGroup},
    {"report-definitions",
     "report-definitions list [--tiles DIR] [--format table|csv|json] [--wide] [--world DIR]\n"
     "report-definitions set-type NAME basic|accessenum|vertical [--world DIR]\n"
     "report-definitions delete NAME [--yes] [--world DIR]",
     "list the saved report definitions of MERIDAXW_FS_REPORT_DEFINITIONS.INI beside\n"
     "the console program (--tiles writes each one's tile as a PNG), change one's\n"
     "report type, or delete one (only with --yes, which answers the question)",
     run_report_definitions, kReportsGroup},
    {"logs",
     "logs list [--archived] --server NAME [--format table|csv|json] [--wide]\n"
     "  [--world DIR]\n"
     "logs delete|archive|restore FILE... [--archived] [--yes] --server NAME\n"
     "  [--world DIR]",
     "list the server's current (or archived) activity log files as its log file\n"
     "lists show them, or choose the named ones there and press delete, archive or\n"
     "restore; archive and restore are confirmed, delete only with --yes (without\n"
     "it the question is answered Cancel and nothing is deleted)",
     run_logs, kReportsGroup},
    {"saved-reports", "saved-reports --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the server's saved custom reports and graphical report definitions", run_saved_reports, kReportsGroup},
    {"run-saved-report", "run-saved-report REPORT --server NAME [--world DIR]",
     "run the saved custom report selected in its list: the library writes its\n"
     "definition to a temporary file on the console machine and starts\n"
     "VNXWCCR.EXE on it; prints the file's path and the command line started",
     run_saved_report, kReportsGroup},
    {"graph-definition",
     "graph-definition save NAME --chart GROUP:SELECTION:KIND... --server NAME [--world DIR]\n"
     "graph-definition default --chart GROUP:SELECTION:KIND... --server NAME [--world DIR]\n"
     "graph-definition delete NAME --server NAME [--world DIR]",
     "save the charts picked on the graph screen as a graphical report definition\n"
     "of the server (or as its default one), or delete a saved definition (the\n"
     "schedules that ran it lose it); KIND is 0 to 7 or the kind's name",
     run_graph_definition, kReportsGroup},
    {"demo", "demo [DIR]",
     "make a demo network (a console machine and two audited servers) in DIR\n"
     "(also given as --world DIR; a temporary folder when omitted), start the\n"
     "library on it and print the navigation tree that the library builds",
     run_demo, kServersGroup},
    {"servers", "servers [--format table|csv|json] [--world DIR]",
     "list the servers this console knows, with their addresses", run_servers, kServersGroup},
    {"add-server", "add-server NAME [--world DIR]",
     "add NAME to this console's servers from the server list's menu: looked up on\n"
     "the network, known with its address, its product key made",
     run_add_server, kServersGroup},
    {"enterprise-status", "enterprise-status --server NAME [--world DIR]",
     "ask the known server NAME, an enterprise host, for its status over TCP port\n"
     "4060 (the server screen's Get button) and show its two status fields",
     run_enterprise_status, kServersGroup},
    {"servers-known", "servers-known --host NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the servers that the enterprise host NAME reports", run_servers_known, kServersGroup},
    {"alert-agents", "alert-agents --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the Active Alert agents of the server NAME (the demo network's SRV01\n"
     "runs an enterprise host while these run)",
     run_alert_agents, kServersGroup},
    {"agent-stats", "agent-stats --server NAME [--force | --sibling] [--format table|csv|json] [--wide] [--world DIR]",
     "the statistics of the server's agent as its row of the server list keeps them:\n"
     "read as its status display reads them (from the local scout agent when it runs\n"
     "and has them, else over the agent's pipe; the demo network's SRV01 answers it);\n"
     "--force presses the refresh button beside the list, which always asks the pipe;\n"
     "--sibling presses it beside the QVAWKQ server list, which asks the server's\n"
     "status ports first",
     run_agent_stats, kServersGroup},
    {"scan-range", "scan-range A.B.C FIRST LAST [--format table|csv|json] [--wide] [--world DIR]",
     "scan the addresses A.B.C.FIRST to A.B.C.LAST for servers (one worker per\n"
     "address) from the QVAWKQ server list's add dialog: each one found is listed\n"
     "once, gets its QVAWKQ key and joins the console's QVAWKQ servers",
     run_scan_range, kServersGroup},
    {"agent-ip", "agent-ip --server NAME [--set A.B.C.D | --reset] [--world DIR]",
     "show, set or remove the address (UseThisIPv4) through which the console\n"
     "reaches the server's agent on port 4060, in the dialog of the server list's\n"
     "menu; prints the server's network addresses and the address the console keeps",
     run_agent_ip, kServersGroup},
    {"install-agent",
     "install-agent --server NAME [--no-start] [--no-vnxlwa] [--report-path SHARE]\n"
     "  [--department HOST] [--enterprise-host HOST] [--world DIR]",
     "install the server agent on a server that does not have it yet: copy its\n"
     "files over the administrative share, create its services, make its product\n"
     "key and start it (not with --no-start; --no-vnxlwa leaves the VNXLWA\n"
     "libraries out); each step is printed as a row of the results window",
     run_install_agent, kServersGroup},
    {"update-agent",
     "update-agent --server NAME... [--no-restart | --skip-if-running] [--no-vnxlwa]\n"
     "  [--world DIR]",
     "stop the agent, copy its files again and restart it (not with --no-restart;\n"
     "--skip-if-running leaves a running agent alone), on each server given",
     run_update_agent, kServersGroup},
    {"agent", "agent start|stop --server NAME [--world DIR]", "start or stop the agent service of a server", run_agent, kServersGroup},
    {"remove-agent", "remove-agent --server NAME [--logs] [--registry] [--yes] [--world DIR]",
     "stop the agent, delete its service and files, and with --logs its staged and\n"
     "shared log files, with --registry its profiles and settings; --yes answers\n"
     "the warning (without it nothing is removed)",
     run_remove_agent, kServersGroup},
    {"scout", "scout status|install|update [--world DIR]",
     "the scout agent on this console's machine: its state, its installation from\n"
     "VNXSCOUT.EXE beside the console program, or its update",
     run_scout, kServersGroup},
    {"services", "services --server NAME [--format table|csv|json] [--world DIR]",
     "list the services and drivers of a world machine with their states", run_services, kServersGroup},
    {"server-status", "server-status [--server NAME]... [--out FILE] [--world DIR]",
     "one status line per server of the console's server list (or per server\n"
     "named), its fields quoted and comma-delimited, into FILE or onto the output",
     run_server_status, kServersGroup},
    {"profiles", "profiles --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the server's tracking profiles with type, state, alerts and creator, as\n"
     "the profile screen's fields describe each",
     run_profiles, kProfilesGroup},
    {"profile",
     "profile create NAME --type KEYWORD [--yes] --server NAME [--world DIR]\n"
     "profile enable|disable NAME --server NAME [--world DIR]\n"
     "profile delete NAME [--yes] --server NAME [--world DIR]",
     "set up tracking profiles (KEYWORD: VNX_LOGIN_TRACK, VNX_FS_TRACK,\n"
     "VNX_FAILED_LOGIN, VNX_AD_EVENT, VNX_GPO_EVENT): the creation dialog, the\n"
     "profile list's menu, the delete button; a profile is deleted, or made again\n"
     "over one of its name, only with --yes (without it the question is answered\n"
     "Cancel and nothing changes)",
     run_profile, kProfilesGroup},
    {"profile-settings",
     "profile-settings --server NAME --profile NAME [--console-alert on|off]\n"
     "    [--central-alert on|off] [--kerberos-filter on|off] [--local-logons on|off]\n"
     "    [--gpo ITEM=on|off]... [--baseline on|off] [--baseline-path PATH | --no-baseline-path]\n"
     "    [--pattern off|COUNT/FIRST/SECOND] [--pattern-activity 0-7] [--pattern-mode 16|32|64]\n"
     "    [--world DIR]",
     "show a profile's single settings as its form shows them; with options, change\n"
     "them on the form and apply it (ITEM: all-gpos, gplink, create, delete,\n"
     "version-change-ad, status-change-ad, defs-change-ad, defs-change-sv,\n"
     "nondefs-change-sv, save-previous-sv-file, change-ad-only, core-change-sv)",
     run_profile_settings, kProfilesGroup},
    {"profile-list",
     "profile-list kerberos|logon-names|excluded|alert-emails --server NAME\n"
     "    [--profile NAME] [--add TEXT]... [--remove TEXT]... [--available]\n"
     "    [--format table|csv|json] [--wide] [--world DIR]",
     "show a profile's list (logon names and alert e-mails without --profile: the\n"
     "server-wide ones); --add and --remove change it on the form, which is then\n"
     "applied (a Kerberos code by its number, an account as DOMAIN\\name);\n"
     "--available also lists the Kerberos codes to choose from",
     run_profile_list, kProfilesGroup},
    {"gpo-baseline", "gpo-baseline --server NAME --profile NAME [--path SHARE_PATH] [--world DIR]",
     "copy the group policy definition files of the server's SYSVOL into\n"
     "SHARE_PATH\\sysvol.vornix.baseline on that server, below the group policy\n"
     "profile's saved baseline path (--path saves one first); the demo network's\n"
     "SRV01 is a domain controller with the profile \"Group Policy\"",
     run_gpo_baseline, kProfilesGroup},
    {"copy-profile", "copy-profile NAME --from SERVER --to SERVER... [--overwrite] [--world DIR]",
     "copy a tracking profile to the known servers named with the copy button,\n"
     "each step a results row; a profile of the name on a destination is kept\n"
     "unless --overwrite",
     run_copy_profile, kProfilesGroup},
    {"copy-profiles", "copy-profiles --from NAME --profile NAME... --to NAME... [--overwrite] [--world DIR]",
     "drag the profiles onto the servers selected in My Server View, as the\n"
     "host drops them, with the confirmation answered as --overwrite says",
     run_copy_profiles, kProfilesGroup},
    {"rename", "rename profile|report|schedule OLD NEW --server NAME [--world DIR]",
     "rename a tracking profile, a saved custom report (also in the schedules\n"
     "that run it) or a scheduled graphical activity on the server",
     run_rename, kProfilesGroup},
    {"settings", "settings --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "every configuration value of the server as its configuration form shows it\n"
     "once the library filled it, with its identifier, then the form's lists (and\n"
     "the same for the QVAWKQ form, with the permitted hours, when the server is\n"
     "one of the console's QVAWKQ servers)",
     run_settings, kSettingsGroup},
    {"setting",
     "setting get NAME|0xID --server NAME [--world DIR]\n"
     "setting set NAME|0xID VALUE --server NAME [--world DIR]",
     "read or write one configuration value, named as the registry spells it\n"
     "(LogTransferFrequency) or by its identifier (0x603800CB): set types VALUE\n"
     "into the value's field of the form and presses Save; a number is clamped as\n"
     "the form clamps it, and the value the form then shows is printed",
     run_setting, kSettingsGroup},
    {"set", "set --server NAME [--server NAME]... --field 0xID --value TEXT [--world DIR]\n"
     "set --list-controls",
     "apply the value to a field as the console does when the user leaves it: a\n"
     "server setting goes to the servers selected (0x6038008A to 0x603800B5) or\n"
     "to the first server named (0x603800C8 to 0x6038011D, 0x60480007 to\n"
     "0x60480009); prints the result (0 applied, 1 accepted without writing or\n"
     "refused), any message shown and what each server's form then shows;\n"
     "--list-controls lists the fields whose value it reads back, with their names",
     run_set, kSettingsGroup},
    {"departments",
     "departments --server NAME [--add DEPT]... [--leave DEPT]... [--host DEPT]\n"
     "  [--format table|csv|json] [--wide] [--world DIR]\n"
     "departments --known [--format table|csv|json] [--wide] [--world DIR]",
     "the departments the server reports to and the one it hosts; --add types a\n"
     "department into \"Add Department to deliver log files\", --leave takes the\n"
     "server out of one, --host makes it host one (each written at once);\n"
     "--known lists the departments of every known server",
     run_departments, kSettingsGroup},
    {"report-to", "report-to --server NAME [--add HOST]... [--remove HOST]... [--world DIR]",
     "the enterprise hosts the server reports to; --add types a host into \"Add\n"
     "Enterprise Host to report to\", --remove takes one off; the form's Save\n"
     "writes the list",
     run_report_to, kSettingsGroup},
    {"enterprise-hosts", "enterprise-hosts [--include HOST]... [--format table|csv|json] [--wide] [--world DIR]",
     "the console's own list of enterprise hosts with those its known servers\n"
     "report to; --include types a host into \"Add Enterprise Host to include\"",
     run_enterprise_hosts, kSettingsGroup},
    {"logon-containers",
     "logon-containers --server NAME [--add CONTAINER]... [--remove CONTAINER]... [--world DIR]",
     "the containers whose local logons the server tracks; --add moves one over\n"
     "from the domain's containers (the world's directory is started when not\n"
     "running), --remove takes one off; the form's Save writes them and publishes\n"
     "them to the agents' service connection points",
     run_logon_containers, kSettingsGroup},
    {"qvawkq-groups",
     "qvawkq-groups --server NAME [--allow GROUP]... [--exclude GROUP]... [--remove GROUP]... [--world DIR]",
     "the groups allowed to use QVAWKQ and the excluded groups of one of the\n"
     "console's QVAWKQ servers, each added from the form's entry field; the form's\n"
     "Save writes them",
     run_qvawkq_groups, kSettingsGroup},
    {"qvawkq-versions", "qvawkq-versions --server NAME [--add N]... [--remove N]... [--world DIR]",
     "the agent versions a QVAWKQ server allows (whole numbers), added from the\n"
     "form's entry field; the form's Save writes them",
     run_qvawkq_versions, kSettingsGroup},
    {"qvawkq-ranges",
     "qvawkq-ranges --server NAME [--add A.B.C.D-E.F.G.H]... [--remove A.B.C.D-E.F.G.H]... [--world DIR]",
     "the IP ranges of a QVAWKQ server, each typed into the form's octet fields;\n"
     "the form's Save writes them",
     run_qvawkq_ranges, kSettingsGroup},
    {"qvawkq-hours",
     "qvawkq-hours --server NAME [--set \"DAYS HOURS; ...\" | --click LABEL...] [--world DIR]",
     "the permitted hours of a QVAWKQ server's requests as \"Valid Hours for QVAWKQ\n"
     "Requests\" shows them; --set \"Mon-Fri 08-17; Sat 09\" (or none) clicks every\n"
     "cell that differs, --click clicks day headings (Sun) or hour labels (midn,\n"
     "1am, noon, 11pm), each turning its column or row over; OK saves the grid",
     run_qvawkq_hours, kSettingsGroup},
    {"schedules", "schedules --server NAME [--graphical] [--format table|csv|json] [--wide] [--world DIR]",
     "list the server's scheduled activity profiles (or the graphical ones), each\n"
     "opened on its screen: its state, run times and reports (and the graphical\n"
     "ones' addresses and report period)",
     run_schedules, kSettingsGroup},
    {"schedule",
     "schedule save NAME --at \"DAY HH:MM\"... --report NAME... [--disabled]\n"
     "  [--replace] --server NAME [--world DIR]\n"
     "schedule save NAME --graphical --at \"DAY HH:MM\"... --definition NAME...\n"
     "  [--email ADDRESS]... [--server-emails] --days N|--hours N [--disabled]\n"
     "  [--replace] --server NAME [--world DIR]\n"
     "schedule delete NAME [--graphical] --server NAME [--world DIR]\n"
     "schedule rename OLD NEW [--graphical] [--replace] --server NAME [--world DIR]",
     "create, replace, delete or rename a scheduled activity profile (or, with\n"
     "--graphical, a scheduled graphical activity) on its screen; DAY is Everyday,\n"
     "Sundays to Saturdays, or 1st to 31st of the month, HH:MM a quarter hour as\n"
     "the time list offers it; a schedule of the name is replaced only with\n"
     "--replace, and keeps its run history",
     run_schedule, kSettingsGroup},
    {"copy-report", "copy-report NAME --from SERVER --to SERVER... [--overwrite] [--world DIR]",
     "drop a saved custom report on the known servers named (LOCAL_MACHINE is\n"
     "the console); the copy's definition names the server it lands on",
     run_copy_report, kExportGroup},
    {"export", "export --out FILE [--reports] SERVER:NAME... [--world DIR]",
     "export profiles (or saved custom reports) of one or more servers into one registry\n"
     "hive file, copied to FILE",
     run_export, kExportGroup},
    {"import", "import FILE [--reports] [--yes] --server NAME [--world DIR]",
     "load an export file's profiles (or custom reports) onto the server, over\n"
     "those of the same names; only with --yes (without it the question is\n"
     "answered Cancel and nothing is imported)",
     run_import, kExportGroup},
    {"archives", "archives --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the registry archives (*.savekey) the server's agent keeps, with their dates", run_archives, kExportGroup},
    {"restore-archive", "restore-archive FILE --yes --server NAME [--world DIR]",
     "replace the server's whole product key by its registry archive FILE (as\n"
     "archives lists it, or its file name); without --yes nothing is replaced",
     run_restore_archive, kExportGroup},
    {"email-config",
     "email-config --server NAME [--server NAME]... [--smtp HOST] [--port N]\n"
     "             [--security none|ssl|tls] [--send-as ADDRESS] [--password TEXT]\n"
     "             [--remove --yes] [--world DIR]",
     "show the first server's mail settings as its e-mail dialog opens, or type\n"
     "the options given over them in that dialog and save them to it and, through\n"
     "its MULTIPLE SERVERS button, to every other server named (with the dialog's\n"
     "checks and messages); --remove empties each server's SMTP server and, with\n"
     "--yes, removes its settings",
     run_email_config, kExportGroup},
    {"test-email", "test-email --server NAME --to ADDRESS [--world DIR]",
     "send the test mail with the server's mail settings from the e-mail dialog;\n"
     "on the demo network MAIL01 takes it into machines/MAIL01/Maildir",
     run_test_email, kExportGroup},
    {"unattended-run", "unattended-run --server NAME [--world DIR]",
     "the server's unattended run: its first enabled scheduled graphical activity\n"
     "profile's quick report and graphical reports mailed to the profile's\n"
     "addresses; prints the lines of the run's log file",
     run_unattended, kExportGroup},
    {"sql-setup", "sql-setup --server NAME [--server NAME]... [--sql-server NAME] [--world DIR]",
     "prepare the central SQL Server database for the servers' record transfer:\n"
     "the database VORNIX_for_Windows, the logins and roles of the servers' agents\n"
     "and the five activity tables, on the SQL Server given for all of them, or else\n"
     "each server on the one its settings name (the demo network's SRV01 names\n"
     "SQL01); prints each step and exits non-zero when a step failed",
     run_sql_setup, kDatabaseGroup},
    {"sql-sizes", "sql-sizes --server NAME [--format table|csv|json] [--wide] [--world DIR]",
     "list the tables of the VORNIX_for_Windows database on the SQL Server that the\n"
     "server's settings name, with their row counts and data sizes",
     run_sql_sizes, kDatabaseGroup},
    {"ad",
     "ad dn [--world DIR]\n"
     "ad schema --selector 1|2 [--world DIR]\n"
     "ad objects --kind users|groups|contacts|containers|any [--base DN]\n"
     "  [--format table|csv|json] [--world DIR]\n"
     "ad gpos [--server NAME] [--world DIR]\n"
     "ad scp list [--world DIR]\n"
     "ad pick --profile NAME --list objects|classes|attributes|gpos --choose TEXT...\n"
     "  [--server NAME] [--kind KIND] [--base DN] [--exclude] [--world DIR]\n"
     "ad rollback --server NAME [--hours N | --days N | --from DATE --to DATE]\n"
     "  [--row N]... [--yes] [--world DIR]",
     "the directory of the network's domain (the demo network's SRV01 is its\n"
     "controller, started when not running), as the host console reaches it: the\n"
     "domain's DN, the schema's attribute (1) or class (2) names, users, groups,\n"
     "contacts, containers or the objects in a container (--base, default the\n"
     "domain), and group policy objects, each as the directory picker lists them;\n"
     "the agents' service connection points; pick: entries chosen in the picker (each\n"
     "--choose typed into its list) join a profile's tracking list, which the form's\n"
     "apply saves (attributes with --exclude carry the exclude word); rollback: the\n"
     "directory changes of the server's quick report (every one that offers it, or\n"
     "the rows given) rolled back from its menu, each confirmation answered OK\n"
     "only with --yes (Cancel without it)",
     run_directory, kDirectoryGroup},
    {"menu", "menu --list 0xID [--row NAME] [--choose N [--answer TEXT]...] [--world DIR]\n"
     "menu --list-controls",
     "show the context menu of a list (0x602400C1 the console's servers, 0x60240001\n"
     "My Server View, ...) for the row NAME or for empty space, as the host shows it;\n"
     "--choose runs entry N, each --answer typed into the next dialog's field;\n"
     "--list-controls lists the lists that have one",
     run_menu, kDrawingGroup},
    {"draw", "draw --control 0xID [--server NAME] [--text CAPTION] [--checked] --png OUT [--world DIR]\n"
     "draw --list-controls",
     "draw one of the library's owner-drawn controls as the library draws it\n"
     "(a server tile, 0x602220C8, shows the selected server) and write it as PNG;\n"
     "--list-controls lists them",
     run_draw, kDrawingGroup},
};

constexpr size_t kHelpWidth = 80;

constexpr size_t kShortGroup = 24;

// The text's words filled into lines of at most kHelpWidth columns: the first line after first_indent, the others
// after indent (a word longer than a line stands alone). An option stays on the line of its value, and a short
// bracketed group ("[--world DIR]") stays whole.
void print_filled(const std::string& text, const std::string& first_indent, const std::string& indent) {
  std::vector<std::string> words;
  for (size_t at = text.find_first_not_of(" \n"); at != std::string::npos; at = text.find_first_not_of(" \n", at)) {
    size_t end = std::min(text.find_first_of(" \n", at), text.size());
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  std::string line = first_indent;
  bool empty = true;
  for (size_t i = 0; i < words.size(); ++i) {
    std::string unit = words[i];
    size_t close = i;
    if (unit[0] == '[')
      while (close < words.size() && words[close].find(']') == std::string::npos) ++close;
    std::string group = unit;
    for (size_t j = i + 1; j <= close && j < words.size(); ++j) group += " " + words[j];
    bool value_follows = unit.rfind("--", 0) == 0 && i + 1 < words.size() &&
                         std::string("-[|").find(words[i + 1][0]) == std::string::npos;
    if (close > i && close < words.size() && group.size() <= kShortGroup) unit = group, i = close;
    else if (close == i && value_follows) unit += " " + words[++i];
    if (!empty && line.size() + 1 + unit.size() > kHelpWidth) {
      std::printf("%s\n", line.c_str());
      line = indent, empty = true;
    }
    line += (empty ? "" : " ") + unit;
    empty = false;
  }
  std::printf("%s\n", line.c_str());
}

// The forms of a command's usage, each with its continuation lines joined to it.
std::vector<std::string> usage_forms(const Command& command) {
  std::vector<std::string> forms;
  const char* text = command.usage;
  for (const char* start = text;;) {
    const char* end = std::strchr(start, '\n');
    std::string line(start, end ? end : start + std::strlen(start));
    if (forms.empty() || line.rfind(command.name, 0) == 0) forms.push_back(line);
    else forms.back() += " " + line;
    if (!end) return forms;
    start = end + 1;
  }
}

void print_usage() {
  std::printf(
      "usage: vornix-console COMMAND [ARGUMENTS]\n"
      "       vornix-console COMMAND --help\n"
      "\n"
      "Options go before or after the command, in any order, as --name VALUE or\n"
      "--name=VALUE. Without --world DIR a command works on $QVMR7_WORLD, else on\n"
      "the demo network in the temporary folder's vornix-demo, made when missing.\n"
      "Dates and times are shown in local time, as the report views show them:\n"
      "Sun Dec  6 10:00:00 2026. The exit status is 0 when the command did what\n"
      "it was asked, 1 when it failed and 2 when the command line is one it\n"
      "cannot take.\n");
  for (size_t g = 0; g < std::size(kGroups); ++g) {
    std::printf("\n%s:\n", kGroups[g].heading);
    print_filled(kGroups[g].example, "  example: ", "      ");
    for (const Command& command : kCommands) {
      if (command.group != static_cast<GroupIndex>(g)) continue;
      for (const std::string& form : usage_forms(command)) print_filled(form, "  ", "      ");
      print_filled(command.about, "        ", "        ");
    }
  }
  std::printf("\nOther options:\n"
              "  --help, help [COMMAND]\n        show this text, or a command's own\n"
              "  --verbose\n        echo the library's start-up line and its dialogs on standard error\n"
              "  --version\n        show the console's version\n");
}

void print_command_help(const Command& command) {
  bool first = true;
  for (const std::string& form : usage_forms(command)) {
    print_filled(form, first ? "usage: vornix-console " : "       vornix-console ", std::string(23, ' '));
    first = false;
  }
  std::printf("\n");
  print_filled(command.about, "", "");
}

// The command nearest to a mistyped one, when it is near enough to be meant.
const Command* nearest_command(const std::string& word) {
  std::vector<std::string> names;
  for (const Command& command : kCommands) names.push_back(command.name);
  std::string near = console::nearest_word(word, names);
  for (const Command& command : kCommands)
    if (near == command.name) return &command;
  return nullptr;
}

int unknown_command(const std::string& word) {
  const Command* near = nearest_command(word);
  return usage_error("unknown command '" + word + "'" +
                     (near ? std::string(" (did you mean ") + near->name + "?)" : " (try vornix-console help)"));
}

// An option the command does not take is named, with the command's nearest option when one is near enough;
// the exit code is that of a usage error (2), 0 when every option is the command's.
int refuse_unknown_option(const Command& command, const std::vector<std::string>& args) {
  std::vector<console::UsageOption> options = console::usage_options(command.usage);
  options.push_back({"--world", true});
  std::string word = console::unknown_option(args, options);
  if (word.empty()) return 0;
  std::vector<std::string> names;
  for (const console::UsageOption& option : options) names.push_back(option.name);
  names.insert(names.end(), {"--help", "--verbose"});
  std::string near = console::nearest_word(word, names);
  return usage_error("unknown option '" + word + "'" +
       (near.empty() ? " (vornix-console help " + std::string(command.name) + " shows its options)"
                     : " (did you mean " + near + "?)"));
}

// Ends the process once a command's work is done: its library was unloaded (its rows gave their records back,
// its module left mapped), its servers stopped and the world's files written as each change was made. The
// library's detach, which waits a second for workers this process no longer has, is not reached.
[[noreturn]] void end_process(int status) {
  world::close();
  std::fflush(nullptr);
#ifdef QVMR7_LEAK_CHECK
  // After an unattended run the records stay with the host's lists, which go with the process.
  if (!host::list_store_frozen()) __lsan_do_leak_check();
#endif
  _exit(status);
}

}  // namespace

int main(int argc, char** argv) {
  host::keep_modules_until_exit();
  console::begin_output();
  console::CommandLine line = console::parse_command_line(argc, argv);
  console::set_verbose(line.verbose);
  // "-" names standard output for an output option's file: the other lines then go to standard error.
  if (!line.help && std::find(line.args.begin(), line.args.end(), "-") != line.args.end()) console::keep_stdout_for_data();
  if (line.command.empty() && (line.help || line.args.empty())) {
    print_usage();
    return line.help ? 0 : 2;
  }
  if (line.command.empty()) {
    if (line.args.size() == 1 && line.args[0] == "--version") {
      std::printf("vornix-console %s\n", VORNIX_CONSOLE_VERSION);
      return 0;
    }
    return usage_error("no command given (try vornix-console --help)");
  }
  // "help" alone is the general help; "help COMMAND" that command's.
  if (line.command == "help") {
    if (line.args.empty()) return print_usage(), 0;
    if (line.args.size() > 1) return usage_error("help takes one command name");
    line.command = line.args[0];
    line.args.clear();
    line.help = true;
  }
  for (const Command& command : kCommands) {
    if (line.command != command.name) continue;
    if (line.help) {
      print_command_help(command);
      return 0;
    }
    if (int refused = refuse_unknown_option(command, line.args)) return refused;
    int status = command.run(line.args);
    end_process(status != 0 && usage_error_shown() ? 2 : status);
  }
  return unknown_command(line.command);
}
