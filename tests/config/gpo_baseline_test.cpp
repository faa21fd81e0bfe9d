// The group policy baseline copy of a server's SYSVOL tree, run on the
// library's code linked into the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/profiles.h"
#include "config/registry.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/list_rows.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/ui_script.h"

namespace fs = std::filesystem;

namespace {

const char kTitle[] = "UNABLE TO DETERMINE SYSVOL LOCATION FOR SERVER";
const std::string kDestination = "\\\\SRV01\\C$\\Baselines\\sysvol.vornix.baseline";
const std::string kSource = "\\\\SRV01\\C$\\Windows\\SYSVOL\\sysvol";

std::string netlogon(const std::string& values) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Netlogon\\Parameters]\r\n" + values + "\r\n";
}

void write_file(const std::string& path, const std::string& contents) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

// Every file below a folder as "relative/path=contents", sorted.
std::vector<std::string> files_below(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      out.push_back(fs::relative(entry.path(), folder).generic_string() + "=" +
                    support::read_whole_file(entry.path().string()));
  std::sort(out.begin(), out.end());
  return out;
}

class GpoBaseline : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM", netlogon("\"Sysvol\"=\"C:\\\\Windows\\\\SYSVOL\\\\sysvol\"\r\n"));
    std::string sysvol = share("SRV01") + "/Windows/SYSVOL/sysvol";
    write_file(sysvol + "/registry.pol", "PReg-10byt");
    write_file(sysvol + "/x.txt", "notes");
    write_file(sysvol + "/Policies/GptTmpl.inf", "[Unicode]-twenty-byt");
    write_file(sysvol + "/Policies/Prefs/Drives.XML", "<Drives>thirty-bytes!</Drives>");
    write_file(sysvol + "/DfsrPrivate/state.ini", "[replication]");
  }

  void start() {
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.quiet_mode = 0;
    host::clear_service_calls();
  }

  void TearDown() override { release_registry_connections(); }

  std::string share(const std::string& machine) { return world_.machine_dir(machine) + "/shares/C$"; }

  // The texts of the status lines shown since the last call.
  std::vector<std::string> status_texts() {
    std::vector<std::string> out;
    const std::string prefix = "host_show_status_line line=25 colour=000000 text=";
    for (const std::string& call : host::service_calls())
      if (call.rfind("host_show_status_line", 0) == 0)
        out.push_back(call.rfind(prefix, 0) == 0 ? call.substr(prefix.size()) : call);
    host::clear_service_calls();
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

TEST_F(GpoBaseline, CopiesDefinitionFilesAndErasesTheLastCopyFirst) {
  start();
  ASSERT_EQ(CreateGpoBaseline("SRV01", "C$\\Baselines"), 0u);
  EXPECT_TRUE(ui::journal().empty());
  std::vector<std::string> lines = status_texts();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{"Path Created/Exists: " + kDestination,
                                      "Erasing all on destination path: " + kDestination, "no folders/files found"}));
  EXPECT_EQ(lines.back(), "Baseline Created:Copied 2 folders, 3 files copied, byte count = [60]");
  // The walk follows each folder's own order: its lines are compared sorted.
  std::vector<std::string> walk(lines.begin() + 3, lines.end() - 1);
  std::sort(walk.begin(), walk.end());
  EXPECT_EQ(walk, (std::vector<std::string>{
                      "Copying GPO Definition File for baseline: " + kSource + "\\Policies\\GptTmpl.inf",
                      "Copying GPO Definition File for baseline: " + kSource + "\\Policies\\Prefs\\Drives.XML",
                      "Copying GPO Definition File for baseline: " + kSource + "\\registry.pol",
                      "Created Baseline Folder: " + kDestination + "\\Policies",
                      "Created Baseline Folder: " + kDestination + "\\Policies\\Prefs",
                      "Skipping non-GPO Definition File: " + kSource + "\\x.txt"}));
  const std::string baseline = share("SRV01") + "/Baselines/sysvol.vornix.baseline";
  std::vector<std::string> copied = {"Policies/GptTmpl.inf=[Unicode]-twenty-byt",
                                     "Policies/Prefs/Drives.XML=<Drives>thirty-bytes!</Drives>", "registry.pol=PReg-10byt"};
  EXPECT_EQ(files_below(baseline), copied);

  // A second run: a file of an older copy goes, a read-only copy is replaced by the new source.
  write_file(baseline + "/Policies/old.inf", "7 bytes");
  ASSERT_TRUE(SetFileAttributesA((kDestination + "\\registry.pol").c_str(), FILE_ATTRIBUTE_READONLY));
  write_file(share("SRV01") + "/Windows/SYSVOL/sysvol/registry.pol", "PReg-changed-16b");
  ASSERT_EQ(CreateGpoBaseline("SRV01", "C$\\Baselines"), 0u);
  EXPECT_TRUE(ui::journal().empty());
  lines = status_texts();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[2], "Removed 2 folders, 4 files copied, byte count = [67]");
  EXPECT_EQ(lines.back(), "Baseline Created:Copied 2 folders, 3 files copied, byte count = [66]");
  copied[2] = "registry.pol=PReg-changed-16b";
  EXPECT_EQ(files_below(baseline), copied);
}

TEST_F(GpoBaseline, AnEmptySysvolOfTheConsoleMachineGivesAnEmptyBaseline) {
  const std::string console = world_.console();
  world_.add_registry_text(console, "HKLM", netlogon("\"Sysvol\"=\"C:\\\\SYSVOL\"\r\n"));
  fs::create_directories(share(console) + "/SYSVOL/DfsrPrivate");
  write_file(share(console) + "/SYSVOL/notes.txt", "not a definition");
  start();
  ASSERT_EQ(CreateGpoBaseline("LOCAL_MACHINE", "C$"), 0u);
  const std::string unc = "\\\\" + console + "\\C$";
  EXPECT_EQ(status_texts(), (std::vector<std::string>{
                                "Path Created/Exists: " + unc + "\\sysvol.vornix.baseline",
                                "Erasing all on destination path: " + unc + "\\sysvol.vornix.baseline",
                                "no folders/files found",
                                "Skipping non-GPO Definition File: " + unc + "\\SYSVOL\\notes.txt",
                                "no folders/files found to copy, baseline empty"}));
  EXPECT_TRUE(fs::is_empty(share(console) + "/sysvol.vornix.baseline"));
}

TEST_F(GpoBaseline, FailuresAreShownAndNothingIsWritten) {
  const std::string long_path = "C$\\" + std::string(240, 'b');
  struct Case {
    const char* server;
    const char* netlogon;  // the values of its Netlogon key; null: no such key
    DWORD error;
    std::string text;
    std::string baseline_path = "C$\\Baselines";
  } cases[] = {
      {"NONETLOGON", nullptr, ERROR_FILE_NOT_FOUND, "Error 2 opening server's Netlogon Key, unable to continue."},
      {"NOVALUE01", "\"Scripts\"=\"C:\\\\Scripts\"", ERROR_FILE_NOT_FOUND,
       "Error 2 obtaining Server SYSVOL Path Location, unable to continue."},
      {"UNC01", "\"Sysvol\"=\"\\\\\\\\DC1\\\\SYSVOL\"", ERROR_INVALID_DATA,
       "Unknown Path for SYSVOL, unable to continue, error P83 [\\\\DC1\\SYSVOL]"},
      {"NUMBER01", "\"Sysvol\"=dword:00000001", ERROR_INVALID_DATATYPE,
       "Error 1804 obtaining Server SYSVOL Path Location, unable to continue."},
      {"NODRIVE01", "\"Sysvol\"=\"D:\\\\SYSVOL\\\\sysvol\"", ERROR_BAD_NET_NAME,
       "Error 67 determining file attributes for path:\n\n\\\\NODRIVE01\\D$\\SYSVOL\\sysvol"},
      {"DOWN01", nullptr, ERROR_BAD_NETPATH, "Unable to connect to Registry - machine DOWN01 not found on network"},
      {"SRV01", nullptr, ERROR_INVALID_PARAMETER, "Error, Destination Path Missing", ""},
      {"SRV01", nullptr, ERROR_FILENAME_EXCED_RANGE,
       "Error 206 determining file attributes for path:\n\n\\\\SRV01\\" + long_path + "\\sysvol.vornix.baseline",
       long_path},
  };
  int address = 3;
  for (const Case& c : cases) {
    if (std::string(c.server) == "SRV01") continue;
    world_.add_machine(c.server, "127.0.0." + std::to_string(address++));
    if (c.netlogon) world_.add_registry_text(c.server, "HKLM", netlogon(std::string(c.netlogon) + "\r\n"));
  }
  world_.set_machine_setting("DOWN01", "machine", "reachable", "no");
  start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    EXPECT_EQ(CreateGpoBaseline(c.server, c.baseline_path.c_str()), c.error);
    EXPECT_EQ(support::journal_lines(" | ", true), (std::vector<std::string>{std::string(kTitle) + " | " + c.text}));
    EXPECT_TRUE(status_texts().empty());
    // Only SRV01 has a folder on its share: its SYSVOL tree.
    EXPECT_EQ(std::distance(fs::directory_iterator(share(c.server)), fs::directory_iterator()),
              std::string(c.server) == "SRV01" ? 1 : 0);
  }
}

}  // namespace
