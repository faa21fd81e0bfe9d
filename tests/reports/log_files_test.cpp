// Log file lists and log folder deletion on the library's code linked into
// the test, over a world whose server keeps its logs in the share that
// ReportPath names: listing, delete / archive / restore of selected rows with
// files held open by another process, and the removal of log folder trees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/log_files.h"
#include "reports/log_folders.h"
#include "reports/log_reader.h"
#include "reports/results_window.h"
#include "tests/support/list_rows.h"
#include "tests/support/time_zone.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace fs = std::filesystem;

namespace {

constexpr char kLogs[] = "\\\\SRV01\\VnxLogs$\\vnxlogs";
constexpr char kArchive[] = "\\\\SRV01\\VnxLogs$\\vnxlogs\\archived_logs";
constexpr char kName[] = "vnxfs_SRV01f_November302026.vnx";

std::string bytes(size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
  return out;
}

class LogFileLists : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    host::clear_screens();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_machine("DOWN01", "127.0.0.3");
    world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
    world_.add_machine("LOCKED01", "127.0.0.4");
    world_.set_machine_setting("LOCKED01", "machine", "access", "none");
    world_.add_registry_text("SRV01", "HKLM",
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                             "\"ReportPath\"=\"VnxLogs$\"\r\n\r\n");
    share_ = world_.machine_dir("SRV01") + "/shares/VnxLogs$";
    fs::create_directories(logs("archived_logs"));
    fs::create_directories(world_.machine_dir("SRV01") + "/shares/C$/Windows");
    write(logs(kName), bytes(150000, 1));
    write(share_ + "/vnxlogs/vnxlogon_SRV01f_December012026.vnx", bytes(2 * 1048576 + 5, 2));
    write(share_ + "/vnxlogs/notes.txt", "not a log");
    world_.open();
    table_ = host::make_service_table();
    table_[kHostUnattendedState] = reinterpret_cast<uintptr_t>(&unattended_state_);
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.base_image_index = 1000;
    g_library.search_cancel = 0;
    screen_ = CreateWindowExA(0, "VornixScreen", "Logs", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    list_ = CreateWindowExA(0, "SysListView32", "", WS_CHILD, 0, 0, 100, 100, screen_, nullptr, nullptr, nullptr);
    host::clear_service_calls();
    ui::clear_journal();
  }

  void TearDown() override {
    clear_rows();
    release_registry_connections();
  }

  // The host hands every row's record back to the library, which frees the path block.
  void clear_rows() { support::release_list_rows(list_); }

  // A path in the log folder as the test process sees it.
  std::string logs(const std::string& rest = "") const { return share_ + "/vnxlogs/" + rest; }
  static void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  DWORD list(LogListing which) {
    LogListTarget target = {list_, nullptr};
    DWORD listed = 0;
    last_error_ = ListLogFiles(&target, "SRV01", which, &listed);
    return listed;
  }
  // Selects the rows whose path ends with the name.
  void select(const std::string& name) {
    std::vector<support::ListRow> rows = support::list_rows(list_);
    for (size_t row = 0; row < rows.size(); ++row) {
      std::string path = log_row_path(rows[row].record);
      if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
        support::set_row_selected(list_, row);
    }
  }
  HANDLE hold_open(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  std::vector<std::string> texts() { return support::journal_lines("|"); }
  int calls(const std::string& prefix) {
    int n = 0;
    for (const std::string& call : host::service_calls()) n += call.rfind(prefix, 0) == 0;
    return n;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  DWORD unattended_state_ = 0;
  std::string share_;
  HWND screen_ = nullptr;
  HWND list_ = nullptr;
  DWORD last_error_ = 0;
};

TEST_F(LogFileLists, ListingsFillRowContextsAndReportFoldersThatCannotBeRead) {
  // Last-write times in UTC; rows hold them in local time, here two hours east of UTC.
  constexpr uint32_t kWritten = 1796335200;  // 2026-12-03 22:00 UTC
  const std::string logon = "vnxlogon_SRV01f_December012026.vnx";
  for (const auto& [name, written] : {std::pair<std::string, uint32_t>{kName, kWritten}, {logon, kWritten + 600}}) {
    struct utimbuf when = {static_cast<time_t>(written), static_cast<time_t>(written)};
    ASSERT_EQ(utime(logs(name).c_str(), &when), 0);
  }
  support::TimeZone east("UTC-2");
  EXPECT_EQ(list(kListCurrentLogs), 2u);
  EXPECT_EQ(last_error_, 0u);
  // Each row: path, server, profile, megabytes, date, seconds written after kWritten; and the nominal time of its name.
  std::set<std::string> rows;
  for (const support::ListRow& row : support::list_rows(list_)) {
    const BYTE* c = row.record;
    auto text = [&](size_t offset) { return std::string(reinterpret_cast<const char*>(c + offset)); };
    rows.insert(std::string(log_row_path(c)) + "|" + row_server_name(c) + "|" + text(kLogRowPrefixOffset) + "|" +
                std::to_string(load_le32(c + kLogRowSizeMbOffset)) + "|" + text(kLogRowDateOffset) + "|" +
                std::to_string(load_le32(c + kLogRowWriteTimeOffset) - kWritten));
    LogFileName parsed;
    ASSERT_TRUE(parse_log_file_name(log_row_path(c), &parsed));
    EXPECT_EQ(load_le32(c + kLogRowNominalTimeOffset), parsed.nominal_time);
  }
  EXPECT_EQ(rows, (std::set<std::string>{std::string(kLogs) + "\\" + kName + "|SRV01|vnxfs|0|November302026|7200",
                                          std::string(kLogs) + "\\" + logon + "|SRV01|vnxlogon|2|December012026|7800"}));
  EXPECT_TRUE(texts().empty());

  // An archive folder without log files cannot be enumerated (2): it says so and lists nothing; a missing one says so.
  clear_rows();
  EXPECT_EQ(list(kListArchivedLogs), 0u);
  EXPECT_EQ(last_error_, 2u);
  EXPECT_EQ(texts(), std::vector<std::string>{std::string("VORNIX message from QVMR0007.DLL|Error 2 occurred accessing ") +
                                              kArchive + "\\"});
  ui::clear_journal();
  fs::remove_all(logs("archived_logs"));
  EXPECT_EQ(list(kListArchivedLogs), 0u);
  EXPECT_NE(last_error_, 0u);
  EXPECT_EQ(texts(),
            std::vector<std::string>{std::string("Archive Path not found or no permissions|") + kArchive + "\\"});
  ui::clear_journal();

  // A log folder without permission (5) has its own message.
  LogListTarget target = {list_, nullptr};
  DWORD listed = 9;
  EXPECT_EQ(list_log_folder(&target, "\\\\LOCKED01\\VnxLogs$\\vnxlogs\\", FALSE, &listed), 5u);
  EXPECT_EQ(listed, 0u);
  EXPECT_EQ(texts(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL|Access Denied (insufficient "
                                              "permissions) to access path \\\\LOCKED01\\VnxLogs$\\vnxlogs\\"});
}

TEST_F(LogFileLists, ArchiveAppendsWithoutLosingAByteRestoreMovesBackAndAutoArchiveReportsItsFolder) {
  std::string old_part = bytes(100000, 3);  // crosses the 64 KB blocks at other offsets than the source
  write(logs("archived_logs/") + kName, old_part);
  std::string new_part = support::read_whole_file(logs(kName));
  list(kListCurrentLogs);

  // Cancel leaves everything alone; so does a command without a selected row.
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 0u);
  EXPECT_TRUE(texts().empty());
  select(kName);
  ui::script({"ARCHIVE REPORT LOG(S)?", IDCANCEL, "", {}});
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 0u);
  EXPECT_EQ(support::read_whole_file(logs("archived_logs/") + kName), old_part);

  // Held open by the agent: the message at once, no waiting; neither file changes.
  HANDLE held = hold_open(std::string(kLogs) + "\\" + kName);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ui::clear_journal();
  DWORD before = GetTickCount();
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 0u);
  EXPECT_EQ(GetTickCount() - before, 0u);
  EXPECT_EQ(texts().back(), "VORNIX message from QVMR0007.DLL|Error [32] archiving selected log file");
  EXPECT_EQ(support::read_whole_file(logs("archived_logs/") + kName), old_part);
  EXPECT_EQ(support::read_whole_file(logs(kName)), new_part);
  CloseHandle(held);

  host::clear_service_calls();
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 1u);
  EXPECT_EQ(support::read_whole_file(logs("archived_logs/") + kName), old_part + new_part);
  EXPECT_FALSE(fs::exists(logs(kName)));
  EXPECT_EQ(calls("host_get_list_row row="), 1);

  // Restore moves it back into the log folder; a second restore finds it gone (2) and says nothing.
  clear_rows();
  ASSERT_EQ(list(kListArchivedLogs), 1u);
  select(kName);
  ui::clear_journal();
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kRestoreLogFiles), 1u);
  EXPECT_EQ(support::read_whole_file(logs(kName)), old_part + new_part);
  EXPECT_FALSE(fs::exists(logs("archived_logs/") + kName));
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kRestoreLogFiles), 1u);
  EXPECT_EQ(texts(), std::vector<std::string>(2, "RESTORE REPORT LOG(S)?|Please click OK to confirm restoration of "
                                                 "selected Archived Report Log Files"));

  // With automatic archiving the archive folder is created, and an unreachable one is reported.
  clear_rows();
  ui::clear_journal();
  release_registry_connections();  // the registry is read again once the world is reopened
  world_.add_registry_text("SRV01", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                           "\"AutoArchiveLogFiles\"=dword:00000001\r\n\"AutoArchivePath\"=\"\\\\\\\\DOWN01\\\\Old\"\r\n\r\n");
  world_.open();
  list(kListCurrentLogs);
  select(kName);
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 0u);
  ASSERT_FALSE(texts().empty());
  EXPECT_EQ(texts().back(), "Error creating archive folder, destination unreachable.|\\\\DOWN01\\Old\\vnx_archived_logs");
  EXPECT_TRUE(fs::exists(logs(kName)));
}

TEST_F(LogFileLists, DeleteReportsAFileHeldOpenAtOnceAndDeletesItOnceReleased) {
  list(kListCurrentLogs);
  select(kName);
  select("December012026.vnx");
  HANDLE held = hold_open(std::string(kLogs) + "\\" + kName);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD before = GetTickCount();
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kDeleteLogFiles), 1u);
  EXPECT_EQ(GetTickCount() - before, 0u);
  EXPECT_EQ(texts().back(), "VORNIX message from QVMR0007.DLL|Error [32] deleting selected log file");
  EXPECT_TRUE(fs::exists(logs(kName)));
  EXPECT_FALSE(fs::exists(logs("vnxlogon_SRV01f_December012026.vnx")));
  // Two rows selected: the progress text goes to status line 25.
  EXPECT_EQ(calls("host_show_status_line line=25 colour=000000 text=Deleting selected Report Log Files"), 1);
  CloseHandle(held);
  ui::clear_journal();
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kDeleteLogFiles), 2u);
  EXPECT_EQ(texts().size(), 1u) << "only the question";
  EXPECT_FALSE(fs::exists(logs(kName)));
  EXPECT_TRUE(fs::exists(logs("notes.txt")));
}

// A file listed through another spelling of the archive folder's path (another share of the same folder,
// short names and other letter case) is already where archiving would put it: nothing is done, nothing said.
TEST_F(LogFileLists, ArchivingAFileThatIsAlreadyInTheArchiveUnderAnotherSpellingLeavesItAlone) {
  const std::string archived = logs("archived_logs/") + kName, content = bytes(70000, 4);
  write(archived, content);
  fs::create_directory_symlink(share_ + "/vnxlogs", world_.machine_dir("SRV01") + "/shares/LOGS");
  for (const char* folder : {"\\\\SRV01\\LOGS\\archived_logs\\", "\\\\srv01\\VNXLOGS$\\VNXLOGS\\ARCHIV~1\\"}) {
    clear_rows();
    LogListTarget target = {list_, nullptr};
    DWORD listed = 0;
    ASSERT_EQ(list_log_folder(&target, folder, FALSE, &listed), 0u);
    ASSERT_EQ(listed, 1u);
    select(kName);
    ui::clear_journal();
    EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 1u) << folder;
    EXPECT_EQ(texts(), std::vector<std::string>{"ARCHIVE REPORT LOG(S)?|Please click OK to confirm archival of "
                                                "selected Report Log Files"});
    EXPECT_EQ(support::read_whole_file(archived), content);
  }
}

// Archiving moves a file with its last-write time; restoring gives it the current time.
TEST_F(LogFileLists, RestoredFilesTakeTheCurrentTimeAsTheirLastWriteTime) {
  constexpr uint32_t kWritten = 1577836800;  // 2020-01-01
  struct utimbuf when = {static_cast<time_t>(kWritten), static_cast<time_t>(kWritten)};
  ASSERT_EQ(utime(logs(kName).c_str(), &when), 0);
  list(kListCurrentLogs);
  select(kName);
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kArchiveLogFiles), 1u);
  struct stat st;
  ASSERT_EQ(stat((logs("archived_logs/") + kName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, static_cast<time_t>(kWritten));

  clear_rows();
  ASSERT_EQ(list(kListArchivedLogs), 1u);
  select(kName);
  EXPECT_EQ(LogFileCommand(screen_, nullptr, list_, "SRV01", kRestoreLogFiles), 1u);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
  ASSERT_EQ(stat(logs(kName).c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_mtime), ticks / 10000000 - 11644473600ull);
  EXPECT_GT(st.st_mtime, static_cast<time_t>(kWritten));
}

class LogFolderDeletion : public LogFileLists {
 protected:
  // vnxlogs/archived_logs/2026/Q4/DEEP with read-only, hidden and system files at every level.
  void build_tree() {
    std::string deep = share_ + "/vnxlogs/archived_logs/2026/Q4/DEEP";
    fs::create_directories(deep);
    const char* levels[] = {"", "/archived_logs", "/archived_logs/2026", "/archived_logs/2026/Q4",
                            "/archived_logs/2026/Q4/DEEP"};
    const DWORD attributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_NORMAL,
                                FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN};
    for (size_t i = 0; i < std::size(levels); ++i) {
      write(share_ + "/vnxlogs" + levels[i] + "/level.vnx", "x");
      std::string windows = std::string(kLogs) + levels[i] + "\\level.vnx";
      for (char& c : windows)
        if (c == '/') c = '\\';
      ASSERT_TRUE(SetFileAttributesA(windows.c_str(), attributes[i]));
    }
    ASSERT_TRUE(SetFileAttributesA((std::string(kArchive) + "\\2026").c_str(), FILE_ATTRIBUTE_READONLY));
  }
};

TEST_F(LogFolderDeletion, OutsidePathsAreNeverTouchedHeldFilesKeepTheirFoldersAndTheRestGoesBottomUp) {
  build_tree();
  write(world_.machine_dir("SRV01") + "/shares/C$/Windows/keep.txt", "system file");
  for (const char* outside : {"\\\\SRV01\\C$\\Windows", "\\\\SRV01\\VnxLogs$", "\\\\SRV01\\VnxLogs$\\",
                              "\\\\SRV01\\VnxLogs$\\vnxlogs\\..\\..\\C$\\Windows", "C:\\", "vnxlogs", ""}) {
    EXPECT_EQ(DeleteFolderTree(nullptr, screen_, outside, "SRV01", 0), static_cast<DWORD>(ERROR_INVALID_NAME)) << outside;
  }
  EXPECT_EQ(texts().size(), 7u);
  EXPECT_EQ(support::read_whole_file(world_.machine_dir("SRV01") + "/shares/C$/Windows/keep.txt"), "system file");
  EXPECT_TRUE(fs::exists(logs("notes.txt")));

  ui::clear_journal();
  HANDLE held = hold_open(std::string(kArchive) + "\\2026\\Q4\\level.vnx");
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD before = GetTickCount();
  DWORD total = DeleteFolderTree(nullptr, screen_, kLogs, "SRV01", 0);
  EXPECT_EQ(GetTickCount() - before, 0u);  // reported at once
  // Q4 keeps its file and is not searched further; 2026, archived_logs and vnxlogs stay (each 145: not empty).
  EXPECT_EQ(total, 1u + 3u * ERROR_DIR_NOT_EMPTY);
  EXPECT_TRUE(fs::exists(logs("archived_logs/2026/Q4/level.vnx")));
  EXPECT_TRUE(fs::exists(logs("archived_logs/2026/Q4/DEEP/level.vnx")));
  EXPECT_FALSE(fs::exists(logs(kName)));
  std::vector<std::string> shown = texts();
  ASSERT_GE(shown.size(), 2u);
  // Subfolders are reached by their short names.
  EXPECT_EQ(shown[0], std::string("VORNIX message from QVMR0007.DLL|Unable to set the file [") + kLogs +
                          "\\ARCHIV~1\\2026\\Q4\\level.vnx] to normal access.  The file may be in use.");
  EXPECT_EQ(shown[1], "VORNIX message from QVMR0007.DLL|There was 1 file that could not be set to normal access.");
  EXPECT_NE(shown.back().find("directory is NOT empty."), std::string::npos) << shown.back();
  CloseHandle(held);

  // The unattended log file takes the reports; an unattended state of 1 stops the first pass.
  ui::clear_journal();
  std::string log_path = world_.folder() + "/unattended.log";
  HANDLE log = CreateFileA(log_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  host::unattended_log_file() = log;
  unattended_state_ = kUnattendedAbort;
  EXPECT_NE(DeleteFolderTree(nullptr, screen_, kLogs, "SRV01", 0), 0u);
  EXPECT_TRUE(fs::exists(logs("archived_logs/2026/Q4/level.vnx")));
  char caption[64] = {};
  GetWindowTextA(reinterpret_cast<HWND>(table_[kHostMainWindow]), caption, sizeof caption);
  EXPECT_STREQ(caption, "Aborting...");
  unattended_state_ = 0;
  host::unattended_log_file() = nullptr;
  CloseHandle(log);
  EXPECT_NE(support::read_whole_file(log_path).find("directory is NOT empty."), std::string::npos);
  EXPECT_TRUE(texts().empty());

  // Nothing in the way now; with the trailing backslash it is the same tree.
  host::clear_service_calls();
  EXPECT_EQ(DeleteFolderTree(screen_, screen_, (std::string(kLogs) + "\\").c_str(), "SRV01", 0), 0u);
  EXPECT_FALSE(fs::exists(share_ + "/vnxlogs"));
  EXPECT_TRUE(fs::exists(share_));
  EXPECT_TRUE(texts().empty());
  // Five folders: each starts (a blank line, then the text), is checked and erased, deepest last started, first erased.
  EXPECT_EQ(calls("host_show_status_line line=25 colour=FF8000 text=Setting Files to NORMAL access and DELETING on"), 5);
  EXPECT_EQ(calls("host_show_status_line line=25 colour=008000 text=Checking for subdirectories of"), 5);
  std::vector<std::string> erased;
  for (const std::string& call : host::service_calls())
    if (call.find("colour=0000FF text=ERASING SUBDIRECTORY [") != std::string::npos) erased.push_back(call);
  ASSERT_EQ(erased.size(), 5u);
  EXPECT_NE(erased.front().find("\\DEEP]"), std::string::npos) << erased.front();
  EXPECT_NE(erased.back().find("[\\\\SRV01\\VnxLogs$\\vnxlogs\\]"), std::string::npos) << erased.back();
  EXPECT_TRUE(AreFileApisANSI());

  // A server not on the network (53) and one that refuses the console (5).
  EXPECT_EQ(DeleteFolderTree(nullptr, screen_, "\\\\DOWN01\\VnxLogs$\\vnxlogs", "DOWN01", 0), 53u);
  EXPECT_EQ(DeleteFolderTree(nullptr, screen_, "\\\\LOCKED01\\VnxLogs$\\vnxlogs", "LOCKED01", 0), 5u);
  EXPECT_EQ(texts(), (std::vector<std::string>{
                         "VORNIX message from QVMR0007.DLL|Network path not found - unable to connect to "
                         "[\\\\DOWN01\\VnxLogs$\\vnxlogs].",
                         "VORNIX message from QVMR0007.DLL|Unable to remove directory "
                         "[\\\\LOCKED01\\VnxLogs$\\vnxlogs], unable to delete all files or access denied."}));
}

TEST_F(LogFolderDeletion, StepsGoToTheResultsWindowAndAnEmptyFolderTakesThreeReports) {
  fs::create_directories(logs("archived_logs/EMPTY"));
  g_results.step = 0;
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  HWND window = open_results_window("Removal of SRV01");
  ASSERT_NE(window, nullptr);
  std::string empty = std::string(kArchive) + "\\EMPTY";
  EXPECT_EQ(DeleteFolderTree(nullptr, screen_, empty.c_str(), "SRV01", 1), 0u);
  EXPECT_FALSE(fs::exists(logs("archived_logs/EMPTY")));
  std::string read_only = std::string(kLogs) + "\\vnxlogon_SRV01f_December012026.vnx";
  ASSERT_TRUE(SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE held[] = {hold_open(std::string(kLogs) + "\\notes.txt"), hold_open(std::string(kLogs) + "\\" + kName)};
  EXPECT_EQ(DeleteFolderTree(nullptr, screen_, kLogs, "SRV01", 1), 2u);
  for (HANDLE h : held) CloseHandle(h);
  HWND list = GetDlgItem(window, kResultsListItem);
  std::vector<std::string> rows = support::list_column(list, 0);
  for (int column = 1; column < 3; ++column) {
    std::vector<std::string> cells = support::list_column(list, column);
    for (size_t row = 0; row < rows.size(); ++row) rows[row] += "|" + cells[row];
  }
  close_results_window();
  qvmr_unregister_module(g_library.instance);
  const std::string reset = "Setting files to NORMAL ACCESS prior to Delete";
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], "0001: SRV01|" + reset + "|...");
  EXPECT_EQ(rows[1], "0002: SRV01|Checking for subdirectories of [" + empty + "]|...");
  EXPECT_EQ(rows[2], "0003: SRV01|ERASING SUBDIRECTORY [" + empty + "]|...");
  // A file held open, a read-only one reset and deleted beside it: two failures, in a summary.
  EXPECT_EQ(rows[3], "0004: SRV01|" + reset + "|...");
  std::set<std::string> failures = {rows[4].substr(6), rows[5].substr(6)};
  EXPECT_EQ(failures, (std::set<std::string>{
                          "SRV01|" + reset + "|Unable to set the file [" + kLogs + "\\" + kName +
                              "] to normal access.  The file may be in use.",
                          "SRV01|" + reset + "|Unable to set the file [" + kLogs +
                              "\\notes.txt] to normal access.  The file may be in use."}));
  EXPECT_EQ(rows[6], "0007: SRV01|Deletion Summary|There were 2 files that could not be set to normal access.");
  EXPECT_TRUE(fs::exists(logs("notes.txt")));
  EXPECT_FALSE(fs::exists(logs("vnxlogon_SRV01f_December012026.vnx")));
}

}  // namespace
