#include "console/directory_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "directory/directory.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/log_files.h"
#include "reports/log_reader.h"
#include "reports/report_items.h"
#include "tests/support/directory_server.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr uint16_t kDirectoryScreenKey = 60;

struct Kind {
  const char* name;
  DWORD kind;
};
constexpr Kind kKinds[] = {{"users", kListUsers},      {"groups", kListGroups}, {"contacts", kListContacts},
                           {"containers", kListContainers}, {"any", kListSearch}};

// The host hands a row's record back to the library in a block of the memory pair.
void release_record(LPARAM record) {
  if (record == 0) return;
  void* copy = reinterpret_cast<void*>(alloc_memory_for_list());
  std::memcpy(copy, reinterpret_cast<void*>(record), kListItemBytes);
  delete_list_item(0, 0, copy);
}

HWND new_list() {
  static int item = 100;
  HWND screen = host::create_screen(kDirectoryScreenKey, "Directory");
  return host::add_control(screen, ++item, WC_LISTVIEWA, "", host::ControlSpec{0x602400FA, kDescriptorListView});
}

// Prints each row as "text  path" and hands the rows back to the library.
void print_rows(HWND list) {
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < n; ++row) {
    char text[600] = {};
    LPARAM record = 0;
    read_list_row(list, row, text, sizeof text, &record);
    const DirectoryRowEntry* entry = row_directory_entry(reinterpret_cast<BYTE*>(record));
    if (entry && entry->path[0] && std::strcmp(entry->path, text) != 0) std::printf("  %-32s %s\n", text, entry->path);
    else std::printf("  %s\n", text);
    release_record(record);
  }
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

// The library's code in-process and the world's directory answering.
bool start(const char* command) {
  std::string reason;
  if (!support::start_world_directory(world::folder(), &reason)) {
    fail(reason);
    return false;
  }
  host::ServiceTable table = host::make_service_table();
  if (establish_tables(6, table.data()) != 1) {
    fail(std::string(command) + ": the library refused the host services table");
    return false;
  }
  return true;
}

// Rows that an error row stands in for come back as one "LAC:" row: a failure.
int finish_list(HWND list, const std::string& what) {
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  char first[600] = {};
  LPARAM record = 0;
  bool failed = n == 1 && read_list_row(list, 0, first, sizeof first, &record) && std::strncmp(first, "LAC:", 4) == 0;
  print_rows(list);
  if (failed) return fail(what + ": the directory could not be searched");
  std::printf("%s: %d\n", what.c_str(), n);
  return 0;
}

int run_dn(std::vector<std::string>& args) {
  std::string text = args.empty() ? "" : args[0];
  if (args.size() > 1) return fail("ad dn takes at most one text");
  char dn[kDirectoryPathBytes];
  if (!DomainDnFromName(text.c_str(), dn, sizeof dn, nullptr, 0))
    return fail("no domain controller of the console's domain answered (Windows error " +
                std::to_string(ERROR_NO_SUCH_DOMAIN) + ")");
  std::printf("%s\n", dn);
  return 0;
}

int run_schema(std::vector<std::string>& args) {
  bool missing = false;
  std::string selector = take_option(args, "--selector", &missing);
  long value = std::strtol(selector.c_str(), nullptr, 10);
  if (missing || !args.empty() || selector.empty() ||
      (value != 1 && value != 2 && value != 3 && value != 4 && value != 41 && value != 42 && value != 44))
    return fail("ad schema takes --selector 1, 2, 3, 4, 41, 42 or 44");
  HWND list = new_list();
  FillSchemaList(list, static_cast<DWORD>(value), kIconTrackAttribute, 0);
  return finish_list(list, "schema names");
}

int run_objects(std::vector<std::string>& args) {
  bool missing = false;
  std::string kind_name = take_option(args, "--kind", &missing);
  std::string base = take_option(args, "--base", &missing);
  const Kind* kind = nullptr;
  for (const Kind& k : kKinds)
    if (kind_name == k.name) kind = &k;
  if (missing || !args.empty() || kind == nullptr)
    return fail("ad objects takes --kind users|groups|contacts|containers|any and optionally --base DN");
  char dn[kDirectoryPathBytes], path[kDirectoryPathBytes + 16];
  if (base.empty() && !DomainDnFromName("", dn, sizeof dn, nullptr, 0))
    return fail("no domain controller of the console's domain answered (Windows error " +
                std::to_string(ERROR_NO_SUCH_DOMAIN) + ")");
  ldap_path(nullptr, base.empty() ? dn : base.c_str(), path, sizeof path);
  HWND list = new_list();
  FillDirectoryList(list, kind->kind, path, directory_kind_filter(kind->kind), kIconAdUser, 0);
  return finish_list(list, kind_name);
}

int run_gpos(std::vector<std::string>& args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || !args.empty()) return fail("ad gpos takes optionally --server NAME");
  HWND list = new_list();
  FillGpoList(list, server.c_str());
  return finish_list(list, "group policy objects");
}

int run_scp(std::vector<std::string>& args) {
  bool missing = false;
  std::string forest = take_option(args, "--forest", &missing);
  std::string setting = take_option(args, "--setting", &missing);
  std::string action = args.empty() ? "" : args[0];
  if (missing || args.size() != 1 || (action != "list" && action != "publish") ||
      (action == "publish") != !setting.empty())
    return fail("ad scp takes list [--forest NAME], or publish --setting TEXT [--forest NAME]");
  if (forest.empty()) forest = world::directory().dns_domain;
  HWND list = new_list();
  DWORD found = ListServicePoints(list, forest.c_str());
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  char first[600] = {};
  LPARAM record = 0;
  bool failed = found == 0 && n == 1 && read_list_row(list, 0, first, sizeof first, &record) &&
                std::strncmp(first, "LAC:", 4) == 0;
  print_rows(list);
  if (failed) return fail("the agents' service connection points could not be searched");
  for (DWORD i = 0; i < g_directory.point_count; ++i)
    std::printf("  %s type %u\n", g_directory.points[i].dn, static_cast<unsigned>(g_directory.points[i].type));
  if (action == "list") {
    std::printf("service connection points: %u\n", static_cast<unsigned>(found));
    return 0;
  }
  DWORD changed = PublishServicePointSetting(setting.c_str());
  DWORD with_type = 0;
  for (DWORD i = 0; i < g_directory.point_count; ++i) with_type += g_directory.points[i].type != 0;
  std::printf("\"VNXLL=%s\" published to %u of %u points\n", setting.c_str(), static_cast<unsigned>(changed),
              static_cast<unsigned>(with_type));
  return changed == with_type ? 0 : 1;
}

// ---- ad rollback ---------------------------------------------------------------

// Reads every log file of the server's log folder into the list, as a report does.
bool read_server_logs(const std::string& server, HWND list, std::string* error) {
  char current[MAX_PATH] = {};
  DWORD rc = read_log_folders(server.c_str(), "UNABLE TO LOCATE LOG FILES", current, nullptr, sizeof current);
  if (rc != 0) {
    *error = server + ": its log folder could not be found (Windows error " + std::to_string(rc) + ")";
    return false;
  }
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(current) + "*.vnx").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    *error = server + ": no log files in " + current + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  do files.push_back(std::string(current) + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  BYTE context[kRowContextBytes] = {};
  set_item_word(context, kItemWordModule, kModuleNumber);
  for (const std::string& path : files) {
    LogReadRequest request = {};
    request.target = list;
    request.path = path.c_str();
    request.context_template = context;
    read_activity_log(&request);
  }
  return true;
}

// The directory change behind a row, when it records a value added or removed in the window.
const DirectoryRowItem* rollback_change(HWND list, int row, uint32_t since) {
  auto* context = reinterpret_cast<const BYTE*>(list_row_param(list, row));
  void* item = nullptr;
  if (context == nullptr || row_item(context, &item) != kLogFamilyDirectory || item == nullptr) return nullptr;
  const auto* change = static_cast<const DirectoryRowItem*>(item);
  if (!(change->action & 0x30000) || change->event_time < since) return nullptr;
  return change;
}

int run_rollback(std::vector<std::string>& args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string hours = take_option(args, "--hours", &missing);
  std::string days = take_option(args, "--days", &missing);
  std::vector<std::string> picked = take_options(args, "--row", &missing);
  std::string answer = take_option(args, "--answer", &missing);
  if (missing || !args.empty() || server.empty() || (!answer.empty() && answer != "ok" && answer != "cancel") ||
      (!hours.empty() && !days.empty()))
    return fail("ad rollback takes --server NAME [--hours N | --days N] [--row N]... [--answer ok|cancel]");
  long span = !hours.empty() ? std::strtol(hours.c_str(), nullptr, 10) * 3600
                             : !days.empty() ? std::strtol(days.c_str(), nullptr, 10) * 86400 : 0;
  if ((!hours.empty() || !days.empty()) && span <= 0) return fail("--hours and --days need a whole number from 1 up");
  uint32_t since = span > 0 ? current_seconds() - static_cast<uint32_t>(span) : 0;

  HWND list = new_list();
  std::string error;
  if (!read_server_logs(server, list, &error)) return fail(error);
  // The changes were recorded on that server, a domain controller: the console binds to it.
  copy_text(g_directory.bound_server, sizeof g_directory.bound_server, server.c_str());
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<int> changes;
  for (int row = 0; row < rows; ++row)
    if (rollback_change(list, row, since)) changes.push_back(row);
  std::printf("Recorded directory changes on %s that can be rolled back: %zu\n", server.c_str(), changes.size());
  for (size_t i = 0; i < changes.size(); ++i) {
    const DirectoryRowItem* c = rollback_change(list, changes[i], since);
    std::printf("  %2zu  %s  %s %s  added [%s] removed [%s]\n", i + 1, view_time_text(c->event_time - static_cast<uint32_t>(g_library.utc_offset)).c_str(),
                c->object_dn ? c->object_dn : "", c->attribute, c->new_value ? c->new_value : "",
                c->old_value ? c->old_value : "");
  }
  // The rows asked for (all of them without --row) are selected, as the user selects them in the report.
  std::vector<size_t> chosen;
  for (const std::string& p : picked) {
    long n = std::strtol(p.c_str(), nullptr, 10);
    if (n < 1 || static_cast<size_t>(n) > changes.size())
      return fail("--row " + p + " is not one of the rows listed (1 to " + std::to_string(changes.size()) + ")");
    chosen.push_back(static_cast<size_t>(n - 1));
  }
  if (picked.empty())
    for (size_t i = 0; i < changes.size(); ++i) chosen.push_back(i);
  for (size_t i : chosen) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(changes[i]), reinterpret_cast<LPARAM>(&state));
    ui::Answer reply;
    reply.match = "Rollback AD Modification on this object";
    reply.button = answer == "cancel" ? IDCANCEL : IDOK;
    ui::script(reply);
  }
  DWORD written = RollbackDirectoryChanges(nullptr, list);
  ui::clear_script();
  std::printf("rolled back: %u of %zu\n", static_cast<unsigned>(written), chosen.size());
  for (int row = 0; row < rows; ++row) release_record(list_row_param(list, row));
  return 0;
}

}  // namespace

int directory_command(std::vector<std::string> args) {
  std::string what = args.empty() ? "" : args[0];
  if (!args.empty()) args.erase(args.begin());
  using Run = int (*)(std::vector<std::string>&);
  const std::pair<const char*, Run> commands[] = {{"dn", run_dn},       {"schema", run_schema}, {"objects", run_objects},
                                                  {"gpos", run_gpos},   {"scp", run_scp},       {"rollback", run_rollback}};
  for (const auto& [name, run] : commands) {
    if (what != name) continue;
    if (!start(("ad " + what).c_str())) return 1;
    return run(args);
  }
  return fail("ad takes dn, schema, objects, gpos, scp or rollback (vornix-console ad --help)");
}

}  // namespace console
