// Definitions copied, renamed, imported from hive files and restored from the
// agent's archives, compared as registry dumps of the servers involved.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/definition_copy.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "reports/results_window.h"
#include "resources/resource.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "console/list_view.h"
#include "sim/program_runner.h"
#include "sim/registry_dump.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace {

const std::string kProduct = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";

// A report definition: 40 bytes with the server marker at 8, so the server field is at 32.
std::string definition_text() {
  std::string d(40, '\0');
  d.replace(8, 4, "\x02\x02\x02\x02");
  d.replace(32, 5, "SRV01");
  return d;
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ',';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// 8-bit text as the registry stores strings, UTF-16LE.
std::string utf16(const std::string& text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

class DefinitionCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    // Two profiles, a saved report with a server field, one near the end and one without, and a schedule running it.
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text(
        "SRV01", "HKLM",
        kProduct + "]\r\n\r\n" + kProduct + "\\Profiles]\r\n\r\n" + kProduct +
            "\\Profiles\\Payroll]\r\n\"ProfileType\"=dword:00000002\r\n\"Disabled\"=dword:00000000\r\n\r\n" +
            kProduct + "\\Profiles\\Payroll\\Files]\r\n\"Path\"=\"D:\\\\Payroll\"\r\n\r\n" + kProduct +
            "\\Profiles\\Payroll\\Accounts]\r\n\r\n" + kProduct + "\\Profiles\\Logons]\r\n\"ProfileType\"=dword:00000005\r\n\r\n" +
            kProduct + "\\Reports]\r\n\r\n" + kProduct + "\\Reports\\Weekly]\r\n\"Definition\"=hex:" +
            hex(definition_text()) + "\r\n\"Near end\"=hex:01\r\n\r\n" + kProduct +
            "\\Reports\\Tail]\r\n\"definition\"=hex:" + hex(std::string(20, '\0') + "\x02\x02\x02\x02" + std::string(22, 'x')) +
            "\r\n\r\n" + kProduct + "\\Reports\\Plain]\r\n\"Definition\"=hex:" + hex(std::string(40, 'p')) + "\r\n\r\n" +
            kProduct + "\\Reports\\Nightly]\r\n\"DisableFlag\"=dword:00000000\r\n\"CReports\"=hex(7):" +
            hex(utf16(std::string("Weekly\0Plain\0\0", 14))) + "\r\n\r\n");
    world_.add_machine("SRV02", "127.0.0.3");
    world_.add_registry_text("SRV02", "HKLM",
                             kProduct + "]\r\n\r\n" + kProduct + "\\Profiles]\r\n\r\n" + kProduct + "\\Reports]\r\n\r\n");
    world_.add_machine("BARE01", "127.0.0.4");  // no product key
    world_.open();
    support::start_library(&table_);
    g_library.sibling_mode = 0;
    HKEY console;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &console, nullptr),
              0);
    RegCloseKey(console);
  }
  void TearDown() override {
    close_results_window();
    release_registry_connections();
    support::end_in_process();
  }

  std::vector<std::string> tree(const char* server, const std::string& path) {
    HKEY root;
    EXPECT_EQ(ConnectServerRegistry(server, &root, "T", 0), 0u);
    std::vector<std::string> out;
    support::dump_registry(root, path, "", out, false);
    return out;
  }
  // The product key's Profiles or Reports on a server, opened for writing.
  HKEY open(const char* server, const char* part) {
    HKEY root, key = nullptr;
    EXPECT_EQ(ConnectServerRegistry(server, &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, (std::string(kProductKey) + "\\" + part).c_str(), 0, KEY_ALL_ACCESS, &key), 0);
    return key;
  }
  std::vector<std::string> staging_keys() {
    std::vector<std::string> out;
    support::dump_registry(HKEY_CURRENT_USER, kProductKey, "", out, false);
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_;
};

TEST_F(DefinitionCopy, TreesCopyWholeWithReportsPointedAtTheirNewServer) {
  HKEY from = open("SRV01", "Reports"), to = open("SRV02", "Reports");
  g_definition_copy.errors = 0;
  for (const char* report : {"Weekly", "Tail", "Plain"}) EXPECT_EQ(CopyKeyTree(from, report, to, nullptr, 0, "SRV02", "SRV01", 0), 0u);
  std::string weekly = definition_text();
  weekly.replace(32, 6, std::string("SRV02", 6));
  // Only the first marker counts; the one 22 bytes from the end gets what fits, and the value keeps its size.
  EXPECT_EQ(tree("SRV02", std::string(kReportsKey)),
            (std::vector<std::string>{"", "\\Plain", "\\Plain:Definition=3:" + std::string(40, 'p'), "\\Tail",
                                      "\\Tail:definition=3:||||||||||||||||||||||||xxxxxxxxxxxxxxxxxxxxSR", "\\Weekly",
                                      "\\Weekly:Definition=3:||||||||||||||||||||||||||||||||SRV02|||",
                                      "\\Weekly:Near end=3:|"}));

  // A source that is not there counts one failure (profiles, their subkeys and overwrite: the drops below).
  HKEY profiles = open("SRV01", "Profiles"), dest = open("SRV02", "Profiles");
  EXPECT_EQ(CopyKeyTree(profiles, "Missing", dest, nullptr, 1, "SRV02", "SRV01", 1), 1u);

  // A value over 64000 bytes is not copied and counts; the values after it still are.
  HKEY big;
  ASSERT_EQ(RegCreateKeyExA(from, "Big", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &big, nullptr), 0);
  const std::vector<BYTE> huge(64001, 7);
  RegSetValueExA(big, "Huge", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size()));
  RegSetValueExA(big, "After", 0, REG_BINARY, huge.data(), 64000);
  RegCloseKey(big);
  g_definition_copy.errors = 0;
  EXPECT_EQ(CopyKeyTree(from, "Big", to, nullptr, 0, "SRV02", "SRV01", 0), 1u);
  HKEY copied_big;
  ASSERT_EQ(RegOpenKeyExA(to, "Big", 0, KEY_READ, &copied_big), 0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(copied_big, "Huge", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(copied_big, "After", nullptr, nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 64000u);
  RegCloseKey(copied_big);
  for (HKEY k : {from, to, profiles, dest}) RegCloseKey(k);
}

TEST_F(DefinitionCopy, RenameMovesTheReportAndItsSchedulesOrKeepsTheOldOnFailure) {
  EXPECT_EQ(RenameDefinition(nullptr, "Weekly", "Weekly sales", "SRV01", "SRV01", kRenameReport), 0u);
  std::vector<std::string> reports = tree("SRV01", kReportsKey);
  EXPECT_EQ(std::count(reports.begin(), reports.end(), "\\Weekly"), 0);
  EXPECT_EQ(std::count(reports.begin(), reports.end(), "\\Weekly sales"), 1);
  EXPECT_NE(std::find(reports.begin(), reports.end(),
                      "\\Nightly:CReports=7:Weekly sales|Plain||"),
            reports.end());

  // The second value write of the copy fails: the old profile stays and so does the partial new one.
  release_registry_connections();
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "2");
  world_.open();
  ui::clear_journal();
  EXPECT_EQ(RenameDefinition(nullptr, "Payroll", "Payroll 2027", "SRV01", "SRV01", 1), 1u);
  std::vector<std::string> shown = support::journal_lines();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "UNABLE TO RENAME PROFILE | Error during Rename - did not delete original");
  std::vector<std::string> profiles = tree("SRV01", std::string(kProductKey) + "\\Profiles");
  EXPECT_EQ(std::count(profiles.begin(), profiles.end(), "\\Payroll"), 1);
  EXPECT_EQ(std::count(profiles.begin(), profiles.end(), "\\Payroll 2027"), 1);

  // A source server without the product says so and renames nothing.
  ui::clear_journal();
  EXPECT_EQ(RenameDefinition(nullptr, "Logons", "Logons", "BARE01", "SRV01", 1), 1u);
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{"UNABLE TO RENAME PROFILE | VORNIX has not yet been installed on server "
                                      "[BARE01].  VORNIX must be installed prior to copying of profiles."}));
}

TEST_F(DefinitionCopy, RenameToAnotherSpellingKeepsEverythingUnderTheNewName) {
  // The registry takes "Payroll" and "PAYROLL" for one key: the profile, its values and subkeys stay.
  const std::string profiles = std::string(kProductKey) + "\\Profiles";
  const std::vector<std::string> payroll = tree("SRV01", profiles + "\\Payroll");
  EXPECT_EQ(RenameDefinition(nullptr, "Payroll", "PAYROLL", "SRV01", "srv01", 1), 0u);
  std::vector<std::string> listed = tree("SRV01", profiles);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "\\PAYROLL"), 1);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "\\Payroll"), 0);
  EXPECT_EQ(tree("SRV01", profiles + "\\PAYROLL"), payroll);
  // The same name again is nothing to do.
  EXPECT_EQ(RenameDefinition(nullptr, "Logons", "Logons", "SRV01", "SRV01", 1), 0u);
  EXPECT_EQ(tree("SRV01", profiles + "\\Logons"),
            (std::vector<std::string>{"", ":ProfileType=4:5"}));

  // A saved report keeps its definition and is renamed in the schedule that runs it.
  const std::vector<std::string> weekly = tree("SRV01", std::string(kReportsKey) + "\\Weekly");
  EXPECT_EQ(RenameDefinition(nullptr, "Weekly", "weekly", "SRV01", "SRV01", kRenameReport), 0u);
  std::vector<std::string> reports = tree("SRV01", kReportsKey);
  EXPECT_EQ(std::count(reports.begin(), reports.end(), "\\weekly"), 1);
  EXPECT_EQ(std::count(reports.begin(), reports.end(), "\\Weekly"), 0);
  EXPECT_EQ(tree("SRV01", std::string(kReportsKey) + "\\weekly"), weekly);
  EXPECT_NE(std::find(reports.begin(), reports.end(), "\\Nightly:CReports=7:weekly|Plain||"), reports.end());
  EXPECT_EQ(staging_keys(), (std::vector<std::string>{""}));

  // The copy back fails on its first write: the definition is still whole in the console's staging key.
  release_registry_connections();
  world_.set_machine_setting("SRV01", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV01", "faults", "registry_write_number", "1");
  world_.open();
  ui::clear_journal();
  EXPECT_NE(RenameDefinition(nullptr, "PAYROLL", "Payroll", "SRV01", "SRV01", 1), 0u);
  ASSERT_FALSE(support::journal_lines().empty());
  EXPECT_EQ(support::journal_lines().back().rfind("UNABLE TO RENAME PROFILE | Error during Rename", 0), 0u);
  std::vector<std::string> kept = staging_keys();
  ASSERT_GE(kept.size(), 2u);
  const std::string tag = kept[1].substr(1, 8);
  HKEY console;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &console), 0);
  std::vector<std::string> staged;
  support::dump_registry(console, tag + "\\Payroll", "", staged, false);
  RegCloseKey(console);
  EXPECT_EQ(staged, payroll);
}

TEST_F(DefinitionCopy, ExportedHiveImportsOntoACleanServerAsTheSameTree) {
  // Both profiles of SRV01 selected in a profile list (its rows name their server, not the current one),
  // exported into the console program's folder.
  std::filesystem::create_directories(world_.machine_dir("CONSOLE01") + "/shares/C$/Program Files/Brightmere/VORNIX");
  HWND screen = host::create_screen(30, "Profile");
  HWND list = host::add_control(screen, 2001, WC_LISTVIEWA, "", host::ControlSpec{0x6024000A, kDescriptorListView});
  ASSERT_EQ(ListProfiles("SRV01", list, nullptr), 2u);
  for (int row : {0, 1}) {
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
  ui::clear_journal();
  EXPECT_EQ(ExportSelected(list, kImportProfiles, "SRV02"), 2u);
  support::release_list_rows(list, true);
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08X", 1796551200u);  // the world's clock
  const std::string file =
      std::string("C:\\Program Files\\Brightmere\\VORNIX\\VORNIX_PROFILES[") + tag + "].exportkey";
  EXPECT_EQ(support::journal_lines(), (std::vector<std::string>{"EXPORT FILE | " + file}));
  EXPECT_EQ(staging_keys(), (std::vector<std::string>{""}));
  // The file is a registry hive that hivex's own tool reads: one subkey per profile.
  const std::string local = world_.machine_dir("CONSOLE01") + "/shares/C$/";
  const std::string exported = local + "Program Files/Brightmere/VORNIX/VORNIX_PROFILES[" + tag + "].exportkey";
  support::ProgramRun run = support::run_program("hivexregedit", "--export '" + exported + "' '\\'");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  for (const char* key : {"[\\Logons]", "[\\Payroll]", "[\\Payroll\\Files]", "\"ProfileType\"=dword:00000005"})
    EXPECT_NE(run.output.find(key), std::string::npos) << key << run.output;
  const std::vector<std::string> staging_before = staging_keys();
  EXPECT_EQ(ImportFile("SRV02", kImportProfiles, 0, file.c_str()), 1u);
  EXPECT_EQ(tree("SRV02", std::string(kProductKey) + "\\Profiles"),
            tree("SRV01", std::string(kProductKey) + "\\Profiles"));
  EXPECT_EQ(staging_keys(), staging_before);

  // A file cut short or no hive at all: the message, the server and the console key as they were.
  std::ifstream in(exported, std::ios::binary);
  std::string whole((std::istreambuf_iterator<char>(in)), {});
  std::ofstream(local + "cut.exportkey", std::ios::binary) << whole.substr(0, whole.size() / 2);
  ui::clear_journal();
  EXPECT_EQ(ImportFile("SRV02", kImportReports, 0, "C:\\cut.exportkey"), 0u);
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{"REGISTRY KEY IMPORT FAILED! | Error [1009] occurred during registry "
                                      "import.\n\nImport File:\n\nC:\\cut.exportkey"}));
  EXPECT_EQ(tree("SRV02", kReportsKey), (std::vector<std::string>{""}));
  EXPECT_EQ(staging_keys(), staging_before);

  // A server without the product: the open error, and no staging key made.
  ui::clear_journal();
  EXPECT_EQ(ImportFile("BARE01", kImportProfiles, 0, file.c_str()), 0u);
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{"UNABLE TO OPEN EXISTING IMPORT KEY | Error 2 opening SOFTWARE\\Brightmere "
                                      "Software, Inc.\\VORNIX\\Profiles on server BARE01."}));
  EXPECT_EQ(staging_keys(), staging_before);
}

TEST_F(DefinitionCopy, AnImportWithKeyNamesLongerThanACopyReadsLeavesNoStagingKey) {
  // A profile whose lists have key names of 150 and 255 characters, saved as an export file.
  HKEY profiles = open("SRV01", "Profiles"), made;
  ASSERT_EQ(RegCreateKeyExA(profiles, ("Payroll\\" + std::string(150, 'P') + "\\" + std::string(255, 'L')).c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr),
            0);
  RegCloseKey(made);
  EnableBackupPrivileges();
  ASSERT_EQ(RegSaveKeyA(profiles, "\\\\SRV01\\C$\\long.exportkey", nullptr), 0);
  RegCloseKey(profiles);
  const std::vector<std::string> staging_before = staging_keys();
  EXPECT_EQ(ImportFile("SRV02", kImportProfiles, 0, "\\\\SRV01\\C$\\long.exportkey"), 1u);
  EXPECT_EQ(staging_keys(), staging_before);
  const std::vector<std::string> imported = tree("SRV02", std::string(kProductKey) + "\\Profiles");
  EXPECT_NE(std::find(imported.begin(), imported.end(), "\\Payroll\\Files:Path=1:D:\\Payroll|"), imported.end());
}

TEST_F(DefinitionCopy, SavedReportsAreExportedFromTheServerTheirRowsName) {
  // SRV01's saved reports listed while SRV02 is the current server.
  std::filesystem::create_directories(world_.machine_dir("CONSOLE01") + "/shares/C$/Program Files/Brightmere/VORNIX");
  HWND screen = host::create_screen(30, "Reports");
  HWND list = host::add_control(screen, 2001, WC_LISTVIEWA, "", host::ControlSpec{0x60440010, kDescriptorListView});
  ASSERT_EQ(ListSchedules("SRV01", list, ReportListKind::kSavedReports), 3u);  // Plain, Tail, Weekly
  support::set_row_selected(list, 0);
  support::set_row_selected(list, 2);
  ui::clear_journal();
  EXPECT_EQ(ExportSelected(list, kImportReports, "SRV02"), 2u);
  support::release_list_rows(list, true);
  char file[200];
  std::snprintf(file, sizeof file, "C:\\Program Files\\Brightmere\\VORNIX\\VORNIX_REPORTS[%08X].exportkey",
                1796551200u);
  EXPECT_EQ(support::journal_lines(), (std::vector<std::string>{std::string("EXPORT FILE | ") + file}));
  EXPECT_EQ(ImportFile("SRV02", kImportReports, 0, file), 1u);
  EXPECT_EQ(tree("SRV02", kReportsKey),
            (std::vector<std::string>{"", "\\Plain", "\\Plain:Definition=3:" + std::string(40, 'p'), "\\Weekly",
                                      "\\Weekly:Definition=3:||||||||||||||||||||||||||||||||SRV02|||",
                                      "\\Weekly:Near end=3:|"}));
}

TEST_F(DefinitionCopy, ArchivesAreListedWithTheirDatesAndReplaceTheProductKeyOnlyAfterConfirmation) {
  // The agent's archive, SRV02's product key, where the agent keeps it on SRV01: below its SystemRoot.
  HKEY srv01, version, product;
  ASSERT_EQ(ConnectServerRegistry("SRV01", &srv01, "T", 0), 0u);
  ASSERT_EQ(RegCreateKeyExA(srv01, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &version, nullptr), 0);
  RegSetValueExA(version, "SystemRoot", 0, REG_SZ, reinterpret_cast<const BYTE*>("D:\\WinNT"), 9);
  RegCloseKey(version);
  const std::string folder = world_.machine_dir("SRV01") + "/shares/D$/WinNT/system32/drivers/vornix/";
  const std::string archive = "\\\\SRV01\\D$\\WinNT\\system32\\drivers\\vornix\\vornix_07_Dec_2026.savekey";
  std::filesystem::create_directories(folder + "folder.savekey");
  std::ofstream(folder + "notes.txt") << "x";
  HKEY srv02;
  ASSERT_EQ(ConnectServerRegistry("SRV02", &srv02, "T", 0), 0u);
  ASSERT_EQ(RegOpenKeyExA(srv02, kProductKey, 0, KEY_READ, &product), 0);
  EnableBackupPrivileges();
  ASSERT_EQ(RegSaveKeyA(product, archive.c_str(), nullptr), 0);
  RegCloseKey(product);
  HWND list = host::add_control(host::create_screen(31, "Archives"), 2001, WC_LISTVIEWA, "", host::ControlSpec{});
  support::add_columns(list, 2);
  EXPECT_EQ(ListRegistryArchives("SRV01", list), 1u);
  EXPECT_EQ(support::list_column(list, 0), (std::vector<std::string>{archive}));
  EXPECT_EQ(support::list_column(list, 1), (std::vector<std::string>{"07 Dec 2026"}));
  EXPECT_EQ(ListRegistryArchives("BARE02", list), 0u);

  const std::vector<std::string> before = tree("SRV01", kProductKey);
  ui::script({"REGISTRY IMPORT CONFIRMATION", IDCANCEL, "", {}});
  EXPECT_EQ(RestoreRegistryArchive(nullptr, "SRV01", archive.c_str()), 0u);
  EXPECT_EQ(tree("SRV01", kProductKey), before);
  ui::script({"REGISTRY IMPORT CONFIRMATION", IDOK, "", {}});
  EXPECT_EQ(RestoreRegistryArchive(nullptr, "SRV01", archive.c_str()), 1u);
  EXPECT_EQ(tree("SRV01", kProductKey), tree("SRV02", kProductKey));
  EXPECT_EQ(support::journal_lines().back(),
            "REGISTRY IMPORT COMPLETE | SUCCESS: VORNIX Registry Key has been replaced with the contents of the "
            "archive.");
  ui::script({"REGISTRY IMPORT CONFIRMATION", IDOK, "", {}});
  EXPECT_EQ(RestoreRegistryArchive(nullptr, "BARE01", archive.c_str()), 0u);
  EXPECT_EQ(support::journal_lines().back(),
            "REGISTRY IMPORT ABORTED - ERROR ACCESS SERVER REGISTRY | No VORNIX Key found - unable to import VORNIX "
            "Registry Archive - VORNIX must already be installed to use this import function.");
}

// ---- Drag and drop -------------------------------------------------------------------

// The results window's rows as "server | action | result (image)".
std::vector<std::string> results() {
  std::vector<std::string> out;
  HWND list = GetDlgItem(g_results.window, kResultsListItem);
  std::vector<support::ListRow> rows = support::list_rows(list);
  std::vector<std::string> actions = support::list_column(list, 1), texts = support::list_column(list, 2);
  for (size_t i = 0; i < rows.size(); ++i)
    out.push_back(rows[i].text.substr(6) + " | " + actions[i] + " | " + texts[i] + " (" + std::to_string(rows[i].image) + ")");
  return out;
}

class DefinitionDrop : public DefinitionCopy {
 protected:
  void SetUp() override {
    DefinitionCopy::SetUp();
    screen_ = host::create_screen(30, "Profiles");
    profiles_ = host::add_control(screen_, 2001, WC_LISTVIEWA, "", host::ControlSpec{0x6024000A, kDescriptorListView});
    ASSERT_EQ(ListProfiles("SRV01", profiles_, nullptr), 2u);  // Logons, Payroll
    support::set_row_selected(profiles_, 1);
  }
  void TearDown() override {
    support::release_list_rows(profiles_, true);
    DefinitionCopy::TearDown();
  }
  // A server list of this identifier with the rows, those marked with '*' selected.
  HWND servers(uint32_t id, std::initializer_list<const char*> rows) {
    HWND list = host::add_control(screen_, 2002 + lists_++, WC_LISTVIEWA, "", host::ControlSpec{id, kDescriptorListView});
    support::add_columns(list, 1);
    for (const char* row : rows) {
      support::insert_list_rows(list, {{row + (row[0] == '*'), nullptr}});
      if (row[0] == '*') support::set_row_selected(list, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) - 1);
    }
    return list;
  }
  DWORD drop(HWND from, HWND to, int mode = 2, int row = 0, uintptr_t target = 0) {
    auto dragged = static_cast<uintptr_t>(list_row_param(from, selected_row_number(from) - 1));
    return drag_drop_action(7, reinterpret_cast<uintptr_t>(from), 0, target, mode, reinterpret_cast<uintptr_t>(to), 0,
                            dragged, row);
  }
  void confirm(const char* dialog, bool overwrite) {
    ui::script({dialog, overwrite ? IDC_COPY_OVERWRITE : IDC_COPY_KEEP, "", {}});
    ui::script({dialog, IDOK, "", {}});
  }

  HWND screen_ = nullptr, profiles_ = nullptr;
  int lists_ = 0;
};

TEST_F(DefinitionDrop, ProfilesGoToEverySelectedServerButTheSourceWithEachStepAResultsRowOnceConfirmed) {
  // Mode 1 takes only this module's targets; with no destination selected the drop only warns.
  HWND view = servers(0x60240001, {"SRV01", "SRV02", "BARE01"});
  std::vector<BYTE> ours(kListItemBytes), theirs(kListItemBytes);
  ours[0] = 7;
  theirs[0] = 8;
  EXPECT_EQ(drop(profiles_, view, 1, 0, 0), 4061u);
  EXPECT_EQ(drop(profiles_, view, 1, 0, reinterpret_cast<uintptr_t>(theirs.data())), 4061u);
  EXPECT_EQ(drop(profiles_, view, 1, 0, reinterpret_cast<uintptr_t>(ours.data())), 0u);
  EXPECT_EQ(drag_drop_action(6, 0, 0, 0, 1, 0, 0, reinterpret_cast<uintptr_t>(ours.data()), 0), 4061u);
  EXPECT_EQ(drag_drop_action(7, 0, 0, reinterpret_cast<uintptr_t>(ours.data()), 1, 0, 0, 0, 0), 4061u);
  // A dragged row of another module is dropped without a word.
  EXPECT_EQ(drag_drop_action(7, 0, 0, 0, 2, reinterpret_cast<uintptr_t>(view), 0,
                             reinterpret_cast<uintptr_t>(theirs.data()), 0), 0u);

  const std::vector<std::string> before = tree("SRV02", kProductKey);
  ui::clear_journal();
  EXPECT_EQ(drop(profiles_, view), 0u);
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{"Copy Profile(s) | To continue, please select at least one destination server."}));
  // Refused at the confirmation: nothing copied and no results window.
  for (int row : {0, 1, 2}) support::set_row_selected(view, row);
  ui::script({"CONFIRM_PROFILE_COPY", IDCANCEL, "", {}});
  EXPECT_EQ(drop(profiles_, view), 0u);
  EXPECT_EQ(g_results.window, nullptr);
  EXPECT_EQ(tree("SRV02", kProductKey), before);

  confirm("CONFIRM_PROFILE_COPY", false);
  EXPECT_EQ(drop(profiles_, view), 0u);
  const std::string profiles = std::string(kProductKey) + "\\Profiles\\Payroll";
  EXPECT_EQ(tree("SRV02", profiles), tree("SRV01", profiles));
  EXPECT_EQ(results(),
            (std::vector<std::string>{
                "SRV02 | initiating profile copy... | Payroll (246)", "SRV02 | Create Key | Payroll (246)",
                "SRV02 | Set Value | ProfileType (5)", "SRV02 | Set Value | Disabled (5)", "SRV02 | Create Key | Files (246)",
                "SRV02 | Set Value | Path (5)", "SRV02 | Create Key | Accounts (246)",
                "BARE01 | open VORNIX registry key | VORNIX has not yet been installed on server [BARE01].  VORNIX must "
                "be installed prior to copying of profiles. (67)"}));

  // Dropped again without overwrite onto a changed copy: it stays as it is.
  HKEY dest = open("SRV02", "Profiles\\Payroll");
  RegDeleteValueA(dest, "Disabled");
  RegCloseKey(dest);
  const std::vector<std::string> changed = tree("SRV02", profiles);
  confirm("CONFIRM_PROFILE_COPY", false);
  EXPECT_EQ(drop(profiles_, view), 0u);
  EXPECT_EQ(tree("SRV02", profiles), changed);
  EXPECT_EQ(results()[1], "SRV02 | Profile already exists | Payroll already exists, will not overwrite (67)");
  EXPECT_EQ(g_definition_copy.errors, 0u);
  confirm("CONFIRM_PROFILE_COPY", true);
  EXPECT_EQ(drop(profiles_, view), 0u);
  EXPECT_EQ(tree("SRV02", profiles), tree("SRV01", profiles));

  // The second value write on SRV02 fails: the rows say what was copied, and the rest still is.
  release_registry_connections();
  world_.set_machine_setting("SRV02", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV02", "faults", "registry_write_number", "2");
  world_.open();
  confirm("CONFIRM_PROFILE_COPY", true);
  EXPECT_EQ(drop(profiles_, view), 0u);
  std::vector<std::string> rows = results();
  ASSERT_GE(rows.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(rows.begin() + 1, rows.begin() + 5),
            (std::vector<std::string>{"SRV02 | Create Key | Payroll (246)", "SRV02 | Set Value | ProfileType (5)",
                                      "SRV02 | Set Value | Disabled [5] (67)", "SRV02 | Create Key | Files (246)"}));

  // Only the source selected: nothing is copied, and the window says so.
  HWND only_source = servers(0x60240001, {"*SRV01"});
  confirm("CONFIRM_PROFILE_COPY", true);
  EXPECT_EQ(drop(profiles_, only_source), 0u);
  EXPECT_EQ(results(), (std::vector<std::string>{"*ALL* | copy profiles | DONE: No Profiles were copied (1)"}));
}

TEST_F(DefinitionDrop, AProfileOnTheConsolesListGoesToTheRowDroppedOnAndAReportIsPointedAtItsNewServer) {
  HWND console_list = servers(0x602400C1, {"SRV01", "*BARE01", "SRV02"});
  confirm("CONFIRM_PROFILE_COPY_NEW", false);
  EXPECT_EQ(drop(profiles_, console_list, 2, 2), 0u);
  // The confirmation names the server row dropped on.
  const std::vector<ui::JournalEntry> shown = ui::journal();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front().template_name, "CONFIRM_PROFILE_COPY_NEW");
  EXPECT_NE(shown.front().text.find("SRV02"), std::string::npos) << shown.front().text;
  char title[100] = {};
  GetWindowTextA(g_results.window, title, sizeof title);
  EXPECT_STREQ(title, "Copy selected VORNIX Profiles results");
  const std::string payroll = std::string(kProductKey) + "\\Profiles\\Payroll";
  EXPECT_EQ(tree("SRV02", payroll), tree("SRV01", payroll));
  EXPECT_EQ(tree("BARE01", kProductKey), (std::vector<std::string>{}));

  HWND reports = host::add_control(screen_, 2010, WC_LISTVIEWA, "", host::ControlSpec{0x60440010, kDescriptorListView});
  ASSERT_EQ(ListSchedules("SRV01", reports, ReportListKind::kSavedReports), 3u);  // Plain, Tail, Weekly
  support::set_row_selected(reports, 2);
  HWND report_servers = servers(0x602400A1, {"*SRV02", "*LOCAL_MACHINE"});
  confirm("CONFIRM_CCR_COPY", true);
  EXPECT_EQ(drop(reports, report_servers), 0u);
  std::string weekly = definition_text();
  weekly.replace(32, 6, std::string("SRV02", 6));
  EXPECT_EQ(tree("SRV02", std::string(kReportsKey) + "\\Weekly"),
            (std::vector<std::string>{"", ":Definition=3:" + std::string("||||||||||||||||||||||||||||||||SRV02|||"),
                                      ":Near end=3:|"}));
  support::release_list_rows(reports, true);
}

TEST_F(DefinitionDrop, TheCopyAndRenameButtonsWorkOnTheRowsSelectedBesideThem) {
  HWND view = servers(0x60240001, {"SRV01", "*SRV02"});
  HWND reports = host::add_control(screen_, 2010, WC_LISTVIEWA, "", host::ControlSpec{0x60440010, kDescriptorListView});
  ASSERT_EQ(ListSchedules("SRV01", reports, ReportListKind::kSavedReports), 3u);  // Plain, Tail, Weekly
  support::set_row_selected(reports, 2);
  g_profile_list = profiles_;
  auto press = [&](uint32_t id, HWND companion) {
    HWND button = host::add_control(screen_, 2100, "Button", "",
                                    {id, kDescriptorPushButton, 30, static_cast<uint16_t>(GetDlgCtrlID(companion))});
    return entry_point_button_services(screen_, 0, host::descriptor_of(button));
  };
  confirm("CONFIRM_PROFILE_COPY_NEW", false);
  EXPECT_EQ(press(0x602100D9, view), 1u);
  const std::string payroll = std::string(kProductKey) + "\\Profiles\\Payroll";
  EXPECT_EQ(tree("SRV02", payroll), tree("SRV01", payroll));

  const std::vector<std::string> before = tree("SRV01", std::string(kProductKey) + "\\Profiles");
  ui::script({"RENAME_PROFILE", IDOK, "", {{IDC_RENAME_NAME, "Payroll 2027"}}});
  EXPECT_EQ(press(0x602100CE, profiles_), 1u);
  std::vector<std::string> renamed = before;
  for (std::string& line : renamed)
    if (line.rfind("\\Payroll", 0) == 0) line.replace(0, 8, "\\Payroll 2027");
  EXPECT_EQ(tree("SRV01", std::string(kProductKey) + "\\Profiles"), renamed);
  ui::script({"RENAME_RPT", IDOK, "", {{IDC_RENAME_NAME, "Weekly sales"}}});
  EXPECT_EQ(press(0x60410013, reports), 1u);
  std::vector<std::string> now = tree("SRV01", kReportsKey);
  EXPECT_EQ(std::count(now.begin(), now.end(), "\\Weekly sales"), 1);
  EXPECT_EQ(std::count(now.begin(), now.end(), "\\Weekly"), 0);
  support::release_list_rows(reports, true);
}

// A value write that fails in the middle of an import's copy: the count says so, the copy goes on
// past it, the staging key goes all the same, and the next import makes the tree whole.
TEST_F(DefinitionCopy, AnImportWhoseWriteFailsCountsItCopiesTheRestAndRemovesItsStagingKey) {
  std::filesystem::create_directories(world_.machine_dir("CONSOLE01") + "/shares/C$/Program Files/Brightmere/VORNIX");
  HWND screen = host::create_screen(30, "Profile");
  HWND list = host::add_control(screen, 2001, WC_LISTVIEWA, "", host::ControlSpec{0x6024000A, kDescriptorListView});
  ASSERT_EQ(ListProfiles("SRV01", list, nullptr), 2u);
  for (int row : {0, 1}) support::set_row_selected(list, static_cast<size_t>(row));
  ASSERT_EQ(ExportSelected(list, kImportProfiles, "SRV02"), 2u);
  support::release_list_rows(list, true);
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08X", 1796551200u);  // the world's clock
  const std::string file = std::string("C:\\Program Files\\Brightmere\\VORNIX\\VORNIX_PROFILES[") + tag + "].exportkey";
  const std::string profiles = std::string(kProductKey) + "\\Profiles";
  const std::vector<std::string> staging_before = staging_keys();

  release_registry_connections();
  world_.set_machine_setting("SRV02", "faults", "registry_write", "5");
  world_.set_machine_setting("SRV02", "faults", "registry_write_number", "2");
  world_.open();
  ui::clear_journal();
  g_definition_copy.errors = 0;
  ImportFile("SRV02", kImportProfiles, 0, file.c_str());
  EXPECT_EQ(g_definition_copy.errors, 1u);
  std::vector<std::string> source = tree("SRV01", profiles), copied = tree("SRV02", profiles);
  EXPECT_EQ(copied.size() + 1, source.size()) << "one value is missing, the rest is copied";
  for (const std::string& line : copied)
    EXPECT_NE(std::find(source.begin(), source.end(), line), source.end()) << line;
  EXPECT_EQ(staging_keys(), staging_before);

  // The failure was once: the same import again makes the tree whole.
  ImportFile("SRV02", kImportProfiles, 0, file.c_str());
  EXPECT_EQ(tree("SRV02", profiles), source);
  EXPECT_EQ(staging_keys(), staging_before);
}

}  // namespace
