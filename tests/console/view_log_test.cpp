// vornix-console view-log on log files written by the log writer into a
// server's log folder: the rows of a family in its quick-report view's columns,
// as CSV or as a table, and one line for each file that cannot be shown.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/logwriter.h"
#include "tests/console/console_fixture.h"

namespace {

struct Outcome { int exit_code; std::string out, err; };

class ViewLog : public support::ConsoleTest {
 protected:
  // SRV01, known to the console, keeps its log files in the share its ReportPath names.
  void SetUp() override {
    builder_.add_machine("SRV01", "127.0.0.2");
    builder_.add_registry_text(builder_.console(), "HKCU",
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\MY_SERVERS]\r\n"
                               "\"SRV01\"=hex:7f,00,00,02\r\n\r\n");
    builder_.add_registry_text("SRV01", "HKLM",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                               "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
    std::filesystem::create_directories(logs());
  }
  std::string logs() { return builder_.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs"; }
  std::string path(const std::string& name) { return logs() + "/" + name; }

  // view-log on SRV01 with these arguments, its standard error apart.
  Outcome run(const std::string& arguments) {
    const std::string err_path = world_ + "/stderr.txt";
    support::ProgramRun r = ConsoleTest::run("view-log " + arguments + " --server SRV01", err_path);
    return Outcome{r.exit_code, r.output, support::read_whole_file(err_path)};
  }

  static size_t count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
  }

  std::string file_log(const std::string& name, int records, bool damaged = false) {
    support::LogWriter log;
    for (int i = 0; i < records; ++i) {
      FileLogRecord r = support::sample_file_record(0xFF330001, static_cast<uint32_t>(i + 1));
      r.action = 0x40000000;  // create
      r.event_time = 1457300000 + static_cast<uint32_t>(i);
      std::snprintf(r.workstation, sizeof r.workstation, "WS%d,\"north\"", i);
      log.add(r);
      if (damaged && i == 0) log.add_garbage(700, 9);
    }
    return save(log, name);
  }

  std::string save(const support::LogWriter& log, const std::string& name) {
    std::string p = path(name);
    EXPECT_TRUE(log.save(p));
    return p;
  }
};

TEST_F(ViewLog, WritesTheFileSystemViewAsCsvWithItsHeaderLine) {
  std::string first = file_log("fs_FS1d_March072016.vnx", 2);
  std::string second = file_log("fs_FS1d_March082016.vnx", 1, true);
  std::string csv = world_ + "/rows.csv";
  Outcome r = run("--csv '" + csv + "' '" + first + "' '" + second + "'");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  std::string text = support::read_whole_file(csv);
  const std::string header =
      "Activity Type,Reporting Server,Date/Time,Workstation,IPv4 Address,Object,FQDN, SID,Share Used,Path,Folder?,"
      "BLOCKED?,New Filename,ACE Type,ACL New Flags,ACL New Mask ,ACL SAMName,ACL FQDN  ,ACL SID,WTS Station,"
      "WTS Remote Addr,Profile Name\r\n";
  ASSERT_EQ(text.compare(0, header.size(), header), 0) << text;
  EXPECT_EQ(count(text, "\r\n"), 4u) << "a header and three rows";
  // Quoted with the quotes doubled, under Workstation and WTS Station of both rows of WS0.
  EXPECT_EQ(count(text, ",\"WS0,\"\"north\"\"\","), 4u) << text;
  // The damaged stretch of the second file is skipped; its record after it still comes.
  EXPECT_NE(r.out.find("3 file system rows written to " + csv), std::string::npos) << r.out;
}

TEST_F(ViewLog, TheGpoFamiliesShareOneViewBesideTheDirectoryView) {
  support::LogWriter gpo;
  gpo.add(support::sample_gpo_file_record(0xE4001001, 2));
  gpo.add(support::sample_gpo_directory_record(0xE8001000, 3));
  std::string gpo_path = save(gpo, "gp_DC1d_March072016.vnx");
  std::string csv = world_ + "/gpo.csv";
  Outcome r = run("--csv '" + csv + "' '" + gpo_path + "'");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string text = support::read_whole_file(csv);
  EXPECT_EQ(text.rfind("Activity Type,Reporting Server,Date/Time,Requested By,Requested by SAM,From IPv4,"
                       "From Workstation,Active Directory Object,Object Class,Attribute Changed,Deleted Value,"
                       "New Value,Attribute Comment (further identifies attribute change details),Profile Name\r\n",
                       0),
            0u)
      << text;
  EXPECT_EQ(count(text, "\r\n"), 3u);
  EXPECT_NE(r.out.find("2 GPO rows"), std::string::npos) << r.out;

  // A directory file is another view: refused after the GPO rows.
  support::LogWriter directory;
  directory.add(support::sample_directory_record(0xFACC0011, 5));
  std::string directory_path = save(directory, "ad_DC1d_March072016.vnx");
  Outcome mixed = run("--csv '" + csv + "' '" + gpo_path + "' '" + directory_path + "'");
  EXPECT_EQ(mixed.exit_code, 1);
  EXPECT_NE(mixed.err.find(directory_path + ": holds directory records, the files before it GPO records"),
            std::string::npos)
      << mixed.err;
}

TEST_F(ViewLog, ShowsALogonTableWithoutCsvAndOneLineForEachFileThatCannotBeShown) {
  support::LogWriter logons;
  logons.add(support::sample_logon_record(0x81000001, 4));
  std::string other_family = save(logons, "lo_DC1d_March072016.vnx");
  Outcome table = run("'" + other_family + "'");
  ASSERT_EQ(table.exit_code, 0) << table.err;
  EXPECT_EQ(table.out.rfind("  Activit", 0), 0u) << table.out;
  EXPECT_NE(run("--wide '" + other_family + "'").out.find("  LOGON (local/wts) "), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("(1 logon row)"), std::string::npos) << table.out;
  for (size_t at = 0, end; at < table.out.size(); at = end + 1) {
    end = table.out.find('\n', at);
    size_t columns = 0;
    for (unsigned char c : table.out.substr(at, end - at)) columns += (c & 0xC0) != 0x80;
    EXPECT_LE(columns, 100u) << table.out;
  }
  // For scripts every column, each under a key of its own (the view shows one title twice).
  nlohmann::json rows = nlohmann::json::parse(run("--format json '" + other_family + "'").out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["Activity Type"], "LOGON (local/wts)");
  EXPECT_TRUE(rows[0].contains("Logon Failure Type") && rows[0].contains("Logon Failure Type (2)")) << rows;
  Outcome csv_rows = run("--format csv '" + other_family + "'");
  EXPECT_EQ(count(csv_rows.out, "\r\n"), 2u) << csv_rows.out;
  EXPECT_EQ(count(csv_rows.out.substr(0, csv_rows.out.find("\r\n")), ","), rows[0].size() - 1) << csv_rows.out;
  EXPECT_NE(run("--wide '" + other_family + "'").out.find(" Logon Failure Type "), std::string::npos);

  std::string good = file_log("fs_FS1d_March072016.vnx", 1);
  std::string missing = path("nothere_FS1d_March072016.vnx");
  std::string text_file = path("notes.vnx");
  std::ofstream(text_file) << "this is not an activity log, just a note left in the folder\n";
  std::string empty_file = path("empty.vnx");
  std::ofstream{empty_file};
  std::string csv = world_ + "/rows.csv";
  Outcome r = run("--csv '" + csv + "' '" + good + "' '" + missing + "' '" + text_file + "' '" + empty_file + "' '" +
                  other_family + "'");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(count(r.err, "vornix-console: "), 4u) << r.err;
  for (const std::string& line : {missing + ": no log file of SRV01 is named so", text_file + ": not an activity log file",
                                  empty_file + ": not an activity log file", other_family + ": holds logon records"})
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
  // Alone, an empty file fails as any other file without records does.
  for (const std::string& file : {text_file, empty_file}) {
    Outcome alone = run("'" + file + "'");
    EXPECT_EQ(alone.exit_code, 1) << file;
    // The library's read-failure boxes, then the one error line.
    const std::string error = "vornix-console: " + file + ": not an activity log file (no record read from it)\n";
    EXPECT_EQ(count(alone.err, "vornix-console: "), 1u) << alone.err;
    EXPECT_EQ(alone.err.substr(alone.err.size() - std::min(alone.err.size(), error.size())), error) << alone.err;
  }
  // The rows of the good file are still written, nothing of the others.
  EXPECT_EQ(count(support::read_whole_file(csv), "\r\n"), 2u);

  Outcome no_files = run("");
  EXPECT_NE(no_files.exit_code, 0);
  EXPECT_EQ(count(no_files.err, "\n"), 1u) << no_files.err;
  Outcome bad_output = run("--csv '" + world_ + "/no-folder/rows.csv' '" + good + "'");
  EXPECT_EQ(bad_output.exit_code, 1);
  // Refused before any file is read: the one line says why.
  EXPECT_EQ(bad_output.err, "vornix-console: --csv " + world_ +
                                "/no-folder/rows.csv: cannot be written (Windows error 3: The system cannot find the "
                                "path specified.); nothing was done\n");
  EXPECT_EQ(bad_output.out, "");
}

}  // namespace
