// The configuration the agents obey, in the local machine's registry: server
// settings with their clamps, messages and password block, the list-valued
// settings, schedules and saved reports, copies, renames and exports of
// definitions, the e-mail settings and the lists of a profile.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "config/definition_copy.h"
#include "config/email_config.h"
#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "config/server_settings.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {
namespace {

constexpr char kVendor[] = "SOFTWARE\\Brightmere Software, Inc.";
constexpr char kProfiles[] = "SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\Profiles";
constexpr char kSecondKey[] = "SOFTWARE\\Brightmere Software, Inc.\\wintest second";

std::string g_computer;
HWND g_screen;
std::vector<HWND> g_lists;

HKEY create_key(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

void put(const std::string& path, const char* name, DWORD type, const std::string& data) {
  HKEY key = create_key(HKEY_LOCAL_MACHINE, path);
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

void put_number(const std::string& path, const char* name, DWORD number) {
  put(path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4));
}

std::string words(std::initializer_list<uint32_t> values) {
  std::string out;
  for (uint32_t w : values)
    for (int b = 0; b < 4; ++b) out += static_cast<char>(w >> (8 * b));
  return out;
}

// The product key's tree below a path, its prefix left out.
std::vector<std::string> tree(const std::string& below) {
  return registry_lines(HKEY_LOCAL_MACHINE, std::string(kProductKey) + (below.empty() ? "" : "\\" + below),
                        below.empty() ? "VORNIX" : below);
}

HWND list(uint32_t id) {
  g_lists.push_back(host::add_control(g_screen, 2000 + static_cast<int>(g_lists.size()), WC_LISTVIEWA, "",
                                      host::ControlSpec{id, kDescriptorListView}));
  return g_lists.back();
}

HWND list_of(uint32_t id, std::initializer_list<const char*> rows) {
  HWND l = list(id);
  for (const char* text : rows) {
    BYTE record[kListItemBytes];
    start_row_record(record, l, nullptr);
    insert_list_row(l, text, 0, record);
  }
  return l;
}

void select_all(HWND l) {
  int rows = static_cast<int>(SendMessageA(l, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageA(l, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
}

DWORD set(uint32_t id, LONG number, const char* text = "") {
  const ServerSettingInfo* s = server_setting(id);
  return ServerSetting(s ? s->root : kProductRoot, nullptr, g_computer.c_str(), id, const_cast<char*>(text), number,
                       nullptr, nullptr, 1);
}

std::string get(uint32_t id) {
  char text[kSettingTextBytes];
  std::memset(text, 'x', sizeof text);
  const ServerSettingInfo* s = server_setting(id);
  DWORD rc = ServerSetting(s ? s->root : kProductRoot, nullptr, g_computer.c_str(), id, text, 0, nullptr, nullptr, 0);
  return rc ? "error " + std::to_string(rc) : std::string(text);
}

// The line of one value of the product or sibling key, "" when it is not there.
std::string value_line(const ServerSettingInfo& s) {
  std::vector<std::string> lines =
      registry_lines(HKEY_LOCAL_MACHINE, s.root == kProductRoot ? kProductKey : kSiblingKey, "");
  for (const std::string& line : lines)
    if (line.rfind(std::string(":") + s.value + "=", 0) == 0) return line.substr(1);
  return "(none)";
}

std::vector<BYTE> binary(const std::string& path, const char* name, DWORD* type) {
  HKEY key;
  std::vector<BYTE> data(1200);
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD size = static_cast<DWORD>(data.size());
  LONG rc = RegQueryValueExA(key, name, nullptr, type, data.data(), &size);
  RegCloseKey(key);
  data.resize(rc == ERROR_SUCCESS ? size : 0);
  return data;
}

void numbers_and_clamps() {
  if (!begin_section("server settings: numbers with their clamps and the port messages")) return;
  const std::vector<std::pair<uint32_t, LONG>> cases = {
      {0x603800CB, 5},     {0x603800CB, 15},    {0x603800CB, 1440},  {0x6038008E, 2000}, {0x6038008E, -3},
      {0x603800EF, 1441},  {0x603800A7, 0},     {0x603800CE, 3},     {0x603800CE, 8},    {0x60F8001D, 6},
      {0x60F8001D, 30},    {0x60F8002F, 0},     {0x60F8002F, 1024},  {0x60F80030, 49152}, {0x60F80031, 65536},
      {0x60480007, 5},     {0x60480007, 0},     {0x60410008, 9},     {0x6038011C, 1},    {0x60380001, 5},
  };
  say("a missing cycle reads " + get(0x603800EF));
  for (const auto& [id, given] : cases) {
    DWORD result = set(id, given);
    const ServerSettingInfo* s = server_setting(id);
    say(hex_text(id) + " " + std::to_string(given) + ": " + std::to_string(result) + " " +
        (s ? value_line(*s) : "(no setting)"));
    say(shown());
  }
  put_number(kProductKey, "LogTransferFrequency", 0);
  put_number(kProductKey, "LogPurgeOption", 4);
  put_number(kSiblingKey, "IPv4PortKQRequests", 70000);
  put_number(kSiblingKey, "IPv4PortWstnLogs", 80);
  for (uint32_t id : {0x603800CBu, 0x603800A7u, 0x6038008Fu, 0x60F8002Fu, 0x60F80030u}) {
    std::string read = get(id);  // a port out of its range is written back as it reads
    say("read " + hex_text(id) + ": " + read + ", stored " + value_line(*server_setting(id)));
  }
  say(shown());
}

void texts_and_their_rules() {
  if (!begin_section("server settings: texts and their rules")) return;
  const std::vector<std::pair<uint32_t, const char*>> cases = {
      {0x603800C8, "Sales"},  {0x6038008A, ""},           {0x6038008A, ""},
      {0xFFD05562, "File %o changed by %r."},            {0x6038011D, "\\\\NAS01\\Archive"},
      {0x6038011D, "D:\\Archive"},                        {0x6038011D, "\\Archive"},
      {0x60F8005B, "dc1.brightmere.local"},               {0x60F8003E, ""},
      {0x603800C9, "VnxLogs$"},
  };
  for (const auto& [id, text] : cases) {
    DWORD result = set(id, 0, text);
    say(hex_text(id) + " \"" + text + "\": " + std::to_string(result) + " " + value_line(*server_setting(id)));
  }
  for (uint32_t id : {0xFFD05562u, 0x60F2005Cu, 0x603800C9u, 0x603800C8u}) say("read " + hex_text(id) + ": " + get(id));
  DWORD read_only = set(0x60F2005C, 0, "other");
  say("the read-only 0x60F2005C takes nothing: " + std::to_string(read_only) + " " +
      value_line(*server_setting(0x60F8005B)));
  say(shown());
}

// What the agent reads of a password block: each character two bytes apart from the start.
std::string decoded_password(const std::vector<BYTE>& block) {
  if (block.empty()) return "(no block)";
  std::string text;
  for (size_t at = password_start(block[0]); at < block.size(); at += 2) {
    char c = static_cast<char>(password_char(block[at]));
    if (c == '\0') return text;
    text += c;
  }
  return text + "<no terminator>";
}

void password_block() {
  if (!begin_section("server settings: the logon account's password block")) return;
  DWORD type = 0;
  say("saved: " + std::to_string(set(0x60F8003F, 0, "S3cret!")));
  std::vector<BYTE> first = binary(kSiblingKey, "ADLogonAcctPwd", &type);
  say("type " + std::to_string(type) + ", " + std::to_string(first.size()) + " bytes, reads back " +
      decoded_password(first));
  set(0x60F8003F, 0, "S3cret!");
  std::vector<BYTE> second = binary(kSiblingKey, "ADLogonAcctPwd", &type);
  say(std::string("saved again with new filler: ") + (second != first ? "yes" : "no") + ", reads back " +
      decoded_password(second));
  const std::string longest(kPasswordMostChars, 'p');
  bool all_inside = true;
  for (int save = 0; save < 20; ++save) {
    set(0x60F8003F, 0, longest.c_str());
    all_inside &= decoded_password(binary(kSiblingKey, "ADLogonAcctPwd", &type)) == longest;
  }
  say(std::string("the longest password stays inside every block: ") + (all_inside ? "yes" : "no"));
  say("never read back: \"" + get(0x60F8003F) + "\"");
  say("one character more: " + std::to_string(set(0x60F8003F, 0, (longest + "q").c_str())));
  say(shown());
}

void list_valued_settings() {
  if (!begin_section("server settings: departments, hosts, groups, versions, hours and containers")) return;
  HWND departments = list_of(0x60340093, {"Sales", "Finance", "Sales"});
  HWND hosts = list_of(0x60340092, {"ENT01", "10.1.2.3"});
  say("departments saved: " + std::to_string(SaveReportTo(departments, g_computer.c_str(), kSaveDepartments)));
  say("hosts saved: " + std::to_string(SaveReportTo(hosts, g_computer.c_str(), 2)));
  HWND read_departments = list(0x60340093), read_hosts = list(0x60340092);
  say("departments listed: " +
      std::to_string(ListReportTo(read_departments, g_computer.c_str(), kReportToDepartmentsRequest)));
  say("hosts listed: " + std::to_string(ListReportTo(read_hosts, g_computer.c_str(), 0x60340092)));
  say(row_lines(read_departments));
  say(row_lines(read_hosts));
  say("report to Audit: " + std::to_string(SetDepartment(g_computer.c_str(), "Audit", kDepartmentReportTo)));
  say("report to audit again: " + std::to_string(SetDepartment(g_computer.c_str(), "audit", kDepartmentReportTo)));
  say("host finance: " + std::to_string(SetDepartment(g_computer.c_str(), "finance", kDepartmentHost)));
  say("leave sales: " + std::to_string(SetDepartment(g_computer.c_str(), "SALES", kDepartmentRemove)));
  HWND excluded = list_of(0x60F40027, {"BRIGHTMERE\\Temps"});
  say("groups saved: " + std::to_string(SaveGroups(excluded, g_computer.c_str(), kSaveExcludedGroups)));
  HWND versions = list_of(0x60F40030, {"702", "610"});
  say("versions saved: " + std::to_string(SaveAllowedVersions(versions, g_computer.c_str())));
  BYTE grid[kValidHoursGridBytes] = {};
  set_valid_hour(grid, 1, 8, true);
  set_valid_hour(grid, 6, 23, true);
  say("grid saved: " + std::to_string(SaveValidHoursGrid(g_computer.c_str(), grid)));
  BYTE read_grid[kValidHoursGridBytes];
  std::memset(read_grid, 0xEE, sizeof read_grid);
  GetValidHoursGrid(g_computer.c_str(), read_grid);
  std::string bits;
  for (BYTE b : read_grid) bits += hex_text(b) + " ";
  say("grid read: " + bits);
  HWND containers = list_of(0x602400D0, {"OU=Sales,DC=brightmere,DC=local", "OU=Staff,DC=brightmere,DC=local"});
  say("containers saved: " + std::to_string(SaveLocalLogonContainers(containers, g_computer.c_str(), 1)));
  say(tree(""));
  say(registry_lines(HKEY_LOCAL_MACHINE, kSiblingKey, "QVAWKQ"));
  say("containers cleared: " + std::to_string(SaveLocalLogonContainers(containers, g_computer.c_str(), 0)));
  say(tree("LLOUTracked"));
  say(shown());
}

// A saved custom report of that many definition bytes.
void save_report(const char* name, size_t bytes) {
  std::string definition;
  for (size_t i = 0; i < bytes; ++i) definition += static_cast<char>(i * 7);
  put(std::string(kReportsKey) + "\\" + name, "Definition", REG_BINARY, definition);
}

struct Form {
  std::string name, previous;
  DWORD disabled = 0;
  std::vector<uint32_t> times;
  std::vector<const char*> reports;
  ScheduleForm form() const {
    return {name.c_str(), previous.c_str(), disabled, times.data(), times.size(), reports.data(), reports.size(),
            nullptr, 0, 0, false, ""};
  }
};

void schedules() {
  if (!begin_section("schedules: saved, replaced with their run history, renamed, listed")) return;
  save_report("Weekly", 600);
  save_report("Daily", 600);
  Form f;
  f.name = "Mornings";
  f.times = {run_time_word(51, 8, 5), run_time_word(kEveryDay, 6, 0), run_time_word(21, 23, 30)};
  f.reports = {"Weekly", "", "Daily"};
  say("saved: " + std::to_string(SaveSchedule(nullptr, g_computer.c_str(), f.form())));
  say(tree("Reports\\Mornings"));
  const std::string path = std::string(kReportsKey) + "\\Mornings";
  put(path, "LastRun", REG_DWORD, words({1796551200}));
  put(path, "LastRunST", REG_BINARY, std::string(16, '\x07'));
  put(path, "LastErr", REG_SZ, std::string("NO Destination Emails configured, aborting") + '\0');
  f.disabled = 1;
  f.times = {run_time_word(22, 23, 0)};
  f.reports = {"Daily"};
  answer("Replace Scheduled Activity Profile?", IDCANCEL);
  say("cancelled: " + std::to_string(SaveSchedule(nullptr, g_computer.c_str(), f.form())));
  answer("Replace Scheduled Activity Profile?", IDOK);
  say("replaced: " + std::to_string(SaveSchedule(nullptr, g_computer.c_str(), f.form())));
  say(tree("Reports\\Mornings"));
  say(shown());

  HWND schedules = list(0x60440010);
  say("schedules listed: " + std::to_string(ListSchedules(g_computer.c_str(), schedules, ReportListKind::kSchedules)));
  say(row_lines(schedules));
  HWND reports = list(0x60440010);
  say("saved reports listed: " +
      std::to_string(ListSchedules(g_computer.c_str(), reports, ReportListKind::kSavedReports)));
  say(row_lines(reports));
  HWND times = list(0x60440020), names = list(0x60440010);
  ListScheduleDetails(g_computer.c_str(), "Mornings", kScheduleRunTimes, times, false);
  ListScheduleDetails(g_computer.c_str(), "Mornings", kScheduleReports, names, false);
  say(row_lines(times));
  say(row_lines(names));
  for (uint32_t word : {0x63000830u, 0x16001700u, run_time_word(51, 8, 5), run_time_word(3, 0, 0)}) {
    char text[100] = "";
    RunTimeText(word, text, sizeof text);
    say(hex_text(word) + ": " + text);
  }

  f.previous = "mornings";
  f.name = "Early";
  say("renamed: " + std::to_string(SaveSchedule(nullptr, g_computer.c_str(), f.form())));
  f.previous = "";
  f.name = "weekly";
  say("under a report's name: " + std::to_string(SaveSchedule(nullptr, g_computer.c_str(), f.form())));
  say(tree("Reports"));
  say(shown());
}

void saved_reports() {
  if (!begin_section("saved reports: deleted from every schedule, graphical definitions kept")) return;
  Form f;
  f.name = "Evenings";
  f.times = {run_time_word(kEverySaturday, 18, 0)};
  f.reports = {"Daily", "Weekly", "Other"};
  SaveSchedule(nullptr, g_computer.c_str(), f.form());
  say("Graphs refused: " + std::to_string(DeleteReport("graphs", g_computer.c_str())));
  say("Weekly deleted: " + std::to_string(DeleteReport("Weekly", g_computer.c_str())));
  say("Weekly again: " + std::to_string(DeleteReport("Weekly", g_computer.c_str())));
  const std::string graphs("Bar\0Pie\0\0", 9);
  const DWORD dates[3] = {1, 24, 0};
  say("graphical saved: " + std::to_string(SaveGraphicalReport(g_computer.c_str(), "Trend",
                                                               reinterpret_cast<const BYTE*>(graphs.data()),
                                                               static_cast<DWORD>(graphs.size()), dates)));
  const std::string fallback(40, 'd');
  say("default saved: " + std::to_string(SaveDefaultGraphicalDefinition(
                              g_computer.c_str(), reinterpret_cast<const BYTE*>(fallback.data()), 40)));
  DWORD length = 0;
  BYTE* recalled = RecallGraphicalReport(g_computer.c_str(), "Trend", &length);
  say("recalled " + std::to_string(length) + " bytes: " +
      (recalled && length == graphs.size() && std::memcmp(recalled, graphs.data(), length) == 0 ? "the same" : "not"));
  if (recalled) free_block(recalled);
  BYTE* missing = RecallGraphicalReport(g_computer.c_str(), "None", &length);
  say(std::string("missing one recalled: ") + (missing ? "yes" : "no"));
  if (missing) free_block(missing);
  // Reports\Graphs has a Definition too: its default value keeps it out of the saved reports.
  HWND reports = list(0x60440010);
  say("saved reports listed: " +
      std::to_string(ListSchedules(g_computer.c_str(), reports, ReportListKind::kSavedReports)));
  say(row_lines(reports));
  say(tree("Reports"));
  say(shown());
}

// A report definition of 40 bytes with the server marker at 8, so its server field is at 32.
std::string definition_text() {
  std::string d(40, '\0');
  d.replace(8, 4, "\x02\x02\x02\x02");
  d.replace(32, 5, "SRV01");
  return d;
}

void copies_between_keys() {
  if (!begin_section("copies between the product key and a second key")) return;
  put(std::string(kProfiles) + "\\Payroll", "ProfileType", REG_DWORD, words({272}));
  put(std::string(kProfiles) + "\\Payroll\\Files", "Path", REG_SZ, std::string("D:\\Payroll") + '\0');
  put(std::string(kProfiles) + "\\Payroll\\Accounts", "Note", REG_SZ, std::string("kept") + '\0');
  put(std::string(kReportsKey) + "\\Retarget", "Definition", REG_BINARY, definition_text());
  HKEY product_profiles = create_key(HKEY_LOCAL_MACHINE, kProfiles);
  HKEY reports = create_key(HKEY_LOCAL_MACHINE, kReportsKey);
  HKEY second = create_key(HKEY_LOCAL_MACHINE, kSecondKey);
  g_definition_copy.errors = 0;
  say("copied: " + std::to_string(
                       CopyKeyTree(product_profiles, "Payroll", second, nullptr, 0, "SRV02", g_computer.c_str(), 0)));
  say("copied under a new name: " + std::to_string(CopyKeyTree(product_profiles, "Payroll", second, "Payroll 2", 0,
                                                                "SRV02", g_computer.c_str(), 0)));
  put(std::string(kProfiles) + "\\Payroll", "ProfileType", REG_DWORD, words({256}));
  say("not overwritten: " + std::to_string(CopyKeyTree(product_profiles, "Payroll", second, nullptr, 0, "SRV02",
                                                        g_computer.c_str(), 0)));
  say(registry_lines(HKEY_LOCAL_MACHINE, std::string(kSecondKey) + "\\Payroll", "Payroll"));
  say("overwritten: " + std::to_string(CopyKeyTree(product_profiles, "Payroll", second, nullptr, 0, "SRV02",
                                                    g_computer.c_str(), 1)));
  say("a report pointed at its new server: " +
      std::to_string(CopyKeyTree(reports, "Retarget", second, nullptr, 0, "SRV02", g_computer.c_str(), 1)));
  say("a missing key: " + std::to_string(CopyKeyTree(reports, "None", second, nullptr, 0, "SRV02",
                                                      g_computer.c_str(), 1)));
  RegCloseKey(product_profiles);
  RegCloseKey(reports);
  RegCloseKey(second);
  say(registry_lines(HKEY_LOCAL_MACHINE, kSecondKey, "second"));
  say(shown());
}

void renames() {
  if (!begin_section("renames on the local machine")) return;
  say("report renamed: " + std::to_string(RenameDefinition(nullptr, "Daily", "Daily Totals", g_computer.c_str(),
                                                           g_computer.c_str(), kRenameReport)));
  say("profile renamed: " + std::to_string(RenameDefinition(nullptr, "Payroll", "Payroll Shares", g_computer.c_str(),
                                                            g_computer.c_str(), 1)));
  say(tree("Reports"));
  say(tree("Profiles"));
  say(shown());
}

// "<program folder>" for the host program's folder and "<tag>" for a tag of the current time.
std::string export_text(std::string text, uint32_t from, uint32_t to) {
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, sizeof program);
  std::string folder = program;
  folder = folder.substr(0, folder.find_last_of('\\') + 1);
  if (!folder.empty())
    for (size_t at; (at = text.find(folder)) != std::string::npos;)
      text.replace(at, folder.size(), "<program folder>\\");
  size_t open = text.find('[');
  if (open != std::string::npos && open + 9 < text.size() && text[open + 9] == ']') {
    uint32_t tag = static_cast<uint32_t>(std::stoul(text.substr(open + 1, 8), nullptr, 16));
    text.replace(open + 1, 8, tag >= from && tag <= to ? "<tag>" : text.substr(open + 1, 8));
  }
  return text;
}

void exports() {
  if (!begin_section("an export of two profiles into one hive file")) return;
  HWND profiles = list(0x6024000A);
  say("listed: " + std::to_string(ListProfiles(g_computer.c_str(), profiles, nullptr)));
  select_all(profiles);
  uint32_t from = now_seconds();
  say("exported: " + std::to_string(ExportSelected(profiles, kImportProfiles, g_computer.c_str())));
  uint32_t to = now_seconds();
  release_rows(profiles);
  std::string file;
  for (const std::string& line : shown()) {
    say(export_text(line, from, to));
    if (line.rfind("EXPORT FILE | ", 0) == 0) file = line.substr(14);
  }
  say(registry_lines(HKEY_CURRENT_USER, kProductKey, "console key"));
  say(hive_file_lines(file));
  DeleteFileA(file.c_str());
}

void imports() {
  if (!begin_section("an import of an exported file", restores_keys() ? "" : "RegRestoreKeyA")) return;
  HWND profiles = list(0x6024000A);
  ListProfiles(g_computer.c_str(), profiles, nullptr);
  select_all(profiles);
  ExportSelected(profiles, kImportProfiles, g_computer.c_str());
  release_rows(profiles);
  std::string file;
  for (const std::string& line : shown())
    if (line.rfind("EXPORT FILE | ", 0) == 0) file = line.substr(14);
  remove_key(HKEY_LOCAL_MACHINE, std::string(kProfiles) + "\\Payroll Shares");
  say("imported: " + std::to_string(ImportFile(g_computer.c_str(), kImportProfiles, 0, file.c_str())));
  say(tree("Profiles"));
  say(registry_lines(HKEY_CURRENT_USER, kProductKey, "console key"));
  say(shown());
  DeleteFileA(file.c_str());
}

void email_settings() {
  if (!begin_section("e-mail settings with the password block, and the alert templates")) return;
  EmailConfigRecord record = {};
  std::strcpy(record.servers, g_computer.c_str());
  record.server_count = 1;
  std::strcpy(record.settings.smtp_server, "smtp.brightmere.com");
  record.settings.port = 587;
  record.settings.security = kSmtpTls;
  std::strcpy(record.settings.sender, "alerts@brightmere.com");
  std::strcpy(record.settings.password, "Mail pass 7");
  say("saved: " + std::to_string(SaveEmailConfig(nullptr, kEmailSaveUnchanged, &record, g_computer.c_str(), nullptr)));
  DWORD type = 0;
  std::vector<BYTE> block = binary(kProductKey, "SMTP Password", &type);
  char password[kEmailTextBytes] = "";
  if (block.size() == kSmtpPasswordBlockBytes) decode_smtp_password(block.data(), password, sizeof password);
  say("password block: type " + std::to_string(type) + ", " + std::to_string(block.size()) + " bytes, reads back " +
      password + ", last byte " + (block.empty() ? "-" : hex_text(block.back())));
  std::vector<std::string> values;
  for (const std::string& line : tree(""))
    if (line.find(":SMTP ") != std::string::npos && line.find("SMTP Password") == std::string::npos)
      values.push_back(line);
  say(values);
  EmailConfigRecord recalled = {};
  DWORD recall = RecallEmailConfig(nullptr, &recalled, g_computer.c_str());
  say("recalled: " + std::to_string(recall) + " " +
      recalled.settings.smtp_server + " " + std::to_string(recalled.settings.port) + " " +
      std::to_string(recalled.settings.security) + " " + recalled.settings.sender + " " + recalled.settings.password);
  HKEY product = create_key(HKEY_LOCAL_MACHINE, kProductKey);
  RegDeleteValueA(product, "SMTP Send As");
  RegSetValueExA(product, "EmailReturnAddressForAlerts", 0, REG_SZ, reinterpret_cast<const BYTE*>("old@brightmere.com"),
                 19);
  RegCloseKey(product);
  EmailConfig older = {};
  DWORD read = read_email_config(g_computer.c_str(), &older);
  say("the older sender: " + std::to_string(read) + " " + older.sender);
  std::strcpy(record.settings.password, "");
  SaveEmailConfig(nullptr, kEmailSaveUnchanged, &record, g_computer.c_str(), nullptr);
  block = binary(kProductKey, "SMTP Password", &type);
  if (block.size() == kSmtpPasswordBlockBytes) decode_smtp_password(block.data(), password, sizeof password);
  say(std::string("an empty password reads back \"") + password + "\"");
  for (uint32_t id : {0xFFD05551u, 0xFFD05572u, 0xFFD05592u}) {
    DWORD result = set(id, 0, "Alert on %S. See %o.");
    say(hex_text(id) + ": " + std::to_string(result) + " " + value_line(*server_setting(id)));
  }
  DWORD emptied = set(0xFFD05572, 0, "");
  say("emptied: " + std::to_string(emptied) + " " + value_line(*server_setting(0xFFD05572)));
  say(shown());
}

void profile_lists() {
  if (!begin_section("the lists of a profile and the server-wide ones")) return;
  DWORD created = 0;
  say("profile made: " + std::to_string(CreateProfile(nullptr, g_computer.c_str(), "Failures", kProfileFailedLogon,
                                                      &created)));
  HWND codes = list_of(0x602400F5, {"006:[Bad Account Name:Client not found in Kerberos database]", "024:x",
                                    "080:outside", "079:last"});
  say("codes saved: " + std::to_string(SaveKerberosCodes(codes, g_computer.c_str(), "Failures")));
  DWORD type = 0;
  std::vector<BYTE> kerrors = binary(std::string(kProfiles) + "\\Failures", "KErrors", &type);
  std::string set_bytes;
  for (size_t i = 0; i < kerrors.size(); ++i)
    if (kerrors[i]) set_bytes += std::to_string(i) + "=" + std::to_string(kerrors[i]) + " ";
  say("KErrors type " + std::to_string(type) + ", " + std::to_string(kerrors.size()) + " bytes: " + set_bytes);
  HWND tracked = list(0x602400F5);
  ListTrackedKerberosCodes(g_computer.c_str(), "Failures", tracked, nullptr);
  say(row_lines(tracked));

  uint32_t from = now_seconds();
  HWND emails = list(0x6024002C);
  for (const char* a : {"a@brightmere.com", "ops@mailhost", "A@Brightmere.com"}) AddAlertEmail(emails, a, nullptr);
  say("emails saved: " + std::to_string(SaveAlertEmails(emails, g_computer.c_str(), "Failures", 0)));
  HWND merged = list_of(0x6024002C, {"b@brightmere.com", "a@brightmere.com"});
  say("merged: " + std::to_string(SaveAlertEmails(merged, g_computer.c_str(), "Failures", 1)));
  HWND names = list(0x602400F0);
  AddLogonName(names, "BRIGHTMERE\\alice", 1, nullptr);
  AddLogonName(names, "bob", 0, nullptr);
  say("server-wide names saved: " + std::to_string(SaveLogonNames(names, g_computer.c_str(), "", 0)));
  uint32_t to = now_seconds();
  HWND marked = list(0x602400F1);
  say("names listed: " + std::to_string(ListLogonNames(g_computer.c_str(), "", marked, nullptr)));
  std::vector<std::string> listed;
  for (const support::ListRow& row : support::list_rows(marked))
    listed.push_back(row.text + " marker " + std::to_string(logon_row_marker(row.record)) + " image " +
                     std::to_string(row.image));
  std::sort(listed.begin(), listed.end());  // in the order the registry enumerates them
  say(listed);

  HWND ranges = list(0x6024002B);
  const char* fields[8] = {"10", "1", "2", "3", "10", "1", "2", "200"};
  IpRange range = {};
  say(std::string("range checked: ") + (CheckIpRange(nullptr, fields, &range) ? "yes" : "no"));
  AddIpRange(ranges, range, nullptr);
  const char* backwards[8] = {"10", "1", "2", "9", "10", "1", "2", "3"};
  say(std::string("backwards: ") + (CheckIpRange(nullptr, backwards, &range) ? "yes" : "no"));
  const char* too_big[8] = {"240", "1", "2", "3", "10", "1", "2", "3"};
  say(std::string("first octet 240: ") + (CheckIpRange(nullptr, too_big, &range) ? "yes" : "no"));
  say("ranges saved: " + std::to_string(SaveIpRanges(ranges, g_computer.c_str(), "Failures")));
  HWND read_ranges = list(0x6024002B);
  ListIpRanges(g_computer.c_str(), "Failures", read_ranges, nullptr);
  say(row_lines(read_ranges));

  char not_accounts[kAlertAccountsBytes + 1] = "svc-backup;admin", ok_accounts[kAlertAccountsBytes + 1] = "";
  say("filters set: " + std::to_string(SetEmailAlertAccounts(kAlertAccountsSet, g_computer.c_str(), "Failures",
                                                             not_accounts, ok_accounts)));
  char read_not[kAlertAccountsBytes + 1] = "x", read_ok[kAlertAccountsBytes + 1] = "x";
  SetEmailAlertAccounts(kAlertAccountsQuery, g_computer.c_str(), "Failures", read_not, read_ok);
  say(std::string("filters read: \"") + read_not + "\" \"" + read_ok + "\"");

  HWND objects = list_of(0x602400A3, {"OU=Sales,DC=brightmere,DC=local"});
  say("objects saved: " + std::to_string(SaveObjTrack(objects, g_computer.c_str(), "Failures")));
  HWND attributes = list(0x602400AA);
  answer("Automatically exclude tracking of busy attributes?", IDOK);
  say("no attributes saved: " + std::to_string(SaveAttrTrack(attributes, g_computer.c_str(), "Failures")));
  say(with_times(tree("Profiles\\Failures"), from, to));
  say(with_times(tree("LogonNamesToTrack"), from, to));
  say(shown());
}

}  // namespace

void registry_group(const Place& place) {
  g_computer = place.computer;
  remove_key(HKEY_LOCAL_MACHINE, kVendor);
  remove_key(HKEY_CURRENT_USER, kVendor);
  RegCloseKey(create_key(HKEY_LOCAL_MACHINE, kProductKey));
  RegCloseKey(create_key(HKEY_CURRENT_USER, kProductKey));
  shown();
  g_screen = host::create_screen(30, "Server configuration");
  numbers_and_clamps();
  texts_and_their_rules();
  password_block();
  list_valued_settings();
  schedules();
  saved_reports();
  copies_between_keys();
  renames();
  exports();
  imports();
  email_settings();
  profile_lists();
  for (HWND l : g_lists) release_rows(l);
  g_lists.clear();
  DestroyWindow(g_screen);
  release_registry_connections();
}

}  // namespace wintest
