// vornix-console quick-report and custom-report as a user runs them: every
// row of the demo activity in the window reaches exactly one CSV file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/demo_activity.h"
#include "tests/console/console_fixture.h"
#include "tests/support/time_zone.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kNow = 1796551200;  // the world's clock: 2026-12-06 10:00 UTC

using Outcome = support::ProgramRun;

// CSV records after the header line; line breaks inside quoted cells do not count.
size_t csv_rows(const std::string& path, std::string* text = nullptr) {
  std::string s = support::read_whole_file(path);
  if (text) *text = s;
  size_t records = 0;
  bool quoted = false;
  for (char c : s) {
    if (c == '"') quoted = !quoted;
    if (c == '\n' && !quoted) ++records;
  }
  return records == 0 ? 0 : records - 1;
}

class ReportCommands : public support::ConsoleTest {
 protected:
  void SetUp() override {
    activity_ = support::add_known_demo_server(builder_, kNow);
    out_ = world_ + "/out";
    fs::create_directories(out_);
  }

  size_t all_rows(const std::string& stem, std::string* joined = nullptr) {
    size_t total = 0;
    for (const char* family : {"filesystem", "logon", "directory", "gpo"}) {
      std::string path = out_ + "/" + stem + "-" + family + ".csv", text;
      if (!fs::exists(path)) continue;
      total += csv_rows(path, &text);
      if (joined) *joined += text;
    }
    return total;
  }

  support::DemoActivity activity_;
  std::string out_;
};

TEST_F(ReportCommands, QuickReportWritesEveryRowOfTheWindowOnce) {
  const std::string errors = world_ + "/stderr.txt";
  Outcome r = run("quick-report --server srv01 --days 4 --csv '" + out_ + "/q.csv'", errors);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ASSERT_GT(activity_.rows(), 0u);
  EXPECT_EQ(all_rows("q"), activity_.rows()) << r.output;
  const std::string files = std::to_string(activity_.files.size());
  for (const std::string& piece :
       {out_ + "/q-logon.csv", "Quick Report complete: " + std::to_string(activity_.rows()) + " rows"})
    EXPECT_NE(r.output.find(piece), std::string::npos) << piece << "\n" << r.output;
  // The progress line goes to standard error, away from the report's own lines.
  const std::string progress = "files " + files + " of " + files;
  EXPECT_NE(support::read_whole_file(errors).find(progress), std::string::npos);
  EXPECT_EQ(r.output.find(progress), std::string::npos) << r.output;

  // With a maximum of 10 the report stops after the record that passes it (a
  // policy record may give several rows) and its last row says so.
  r = run("quick-report --server SRV01 --days 4 --max 10 --csv '" + out_ + "/m.csv'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::string text;
  size_t rows = all_rows("m", &text);
  EXPECT_GE(rows, 12u);
  EXPECT_LT(rows, activity_.rows());
  const std::string limit = "_MAXIMUM RECORD COUNT [10] REACHED, REPORT STOPPED";
  EXPECT_NE(text.find(limit), std::string::npos);
  EXPECT_EQ(text.find(limit), text.rfind(limit));  // one limit row, in the list it stopped in

  // Custom report by pattern: the Logons and the Failed Logons files, nothing else.
  size_t logon_rows = 0;
  for (const support::DemoLogFile& f : activity_.files)
    if (f.profile == support::DemoProfile::Logons || f.profile == support::DemoProfile::FailedLogons)
      logon_rows += f.row_times.size();
  r = run("custom-report --server SRV01 --profile 'LOGON*' --profile '*ed?Logons' --csv '" + out_ + "/c.csv'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(csv_rows(out_ + "/c-logon.csv"), logon_rows);
  EXPECT_FALSE(fs::exists(out_ + "/c-filesystem.csv"));
}

// "-" sends the rows to standard output and nothing else; a folder takes the files in it.
TEST_F(ReportCommands, CsvGoesToStandardOutputForDashAndIntoAFolderNamed) {
  const std::string errors = world_ + "/stderr.txt";
  Outcome piped = run("quick-report --server SRV01 --days 4 --csv -", errors);
  ASSERT_EQ(piped.exit_code, 0) << support::read_whole_file(errors);
  const std::string piped_path = out_ + "/piped.csv";
  std::ofstream(piped_path, std::ios::binary) << piped.output;
  // Each list's header line and rows, one list after the other.
  EXPECT_EQ(csv_rows(piped_path) + 1 - 4, activity_.rows()) << piped.output.substr(0, 400);
  EXPECT_EQ(piped.output.rfind("Activity Type,", 0), 0u) << piped.output.substr(0, 400);
  EXPECT_EQ(piped.output.find("Quick report of"), std::string::npos);
  EXPECT_NE(support::read_whole_file(errors).find("Quick Report complete"), std::string::npos);
  EXPECT_FALSE(fs::exists(world_ + "/--filesystem.csv"));
  EXPECT_FALSE(fs::exists("--filesystem.csv"));

  Outcome into = run("quick-report --server SRV01 --days 4 --csv '" + out_ + "'");
  ASSERT_EQ(into.exit_code, 0) << into.output;
  EXPECT_EQ(all_rows("quick-report"), activity_.rows()) << into.output;
  EXPECT_FALSE(fs::exists(world_ + "/out-logon.csv"));

  // view-log: the file's rows on standard output, as in a file named.
  std::string file;
  for (const auto& entry : fs::directory_iterator(world_ + "/machines/SRV01/shares/VNXLOGS$/vnxlogs"))
    if (entry.path().filename().string().rfind("Logons_", 0) == 0) file = entry.path().string();
  ASSERT_FALSE(file.empty());
  Outcome viewed = run("view-log --server SRV01 --csv - '" + file + "'", errors);
  ASSERT_EQ(viewed.exit_code, 0) << support::read_whole_file(errors);
  Outcome kept = run("view-log --server SRV01 --csv '" + out_ + "' '" + file + "'");
  ASSERT_EQ(kept.exit_code, 0) << kept.output;
  EXPECT_EQ(viewed.output, support::read_whole_file(out_ + "/view-log-logon.csv"));
  EXPECT_FALSE(fs::exists("-"));
}

// Ctrl-C stops a report as its stop command does, and the rows read until then
// are written with the stop row after them. SRV01 sits behind a slow link (each
// read of a log file waits 60 ms), so reading its files takes over a second and
// the interrupt, a quarter of a second in, lands in the middle of it.
TEST_F(ReportCommands, CtrlCStopsAReportAndKeepsTheRowsReadSoFar) {
  builder_.set_machine_setting("SRV01", "machine", "read_delay_ms", "60");
  auto interrupted = [&](const std::string& arguments) {
    return support::run_program_interrupted(VORNIX_CONSOLE_PATH, arguments + " --world '" + world_ + "'",
                                            "(Ctrl-C stops it)\n", 250);
  };
  auto occurrences = [](const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };

  Outcome r = interrupted("quick-report --server SRV01 --days 4 --csv '" + out_ + "/q.csv'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("stopping..."), std::string::npos) << r.output;
  const std::string cancelled = "_USER REQUESTED REPORT GENERATION CANCELLED";
  EXPECT_NE(r.output.find("QUICK REPORT STATUS: " + cancelled), std::string::npos) << r.output;
  std::string text;
  size_t rows = all_rows("q", &text);
  EXPECT_EQ(occurrences(text, cancelled), 1u) << text;
  EXPECT_GT(rows, 1u) << "rows read before the stop";
  EXPECT_LT(rows, activity_.rows());

  r = interrupted("custom-report --server SRV01 --profile '*' --csv '" + out_ + "/c.csv'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  text.clear();
  rows = all_rows("c", &text);
  EXPECT_EQ(occurrences(text, "USER REQUESTED REPORT GENERATION TO BE STOPPED"), 1u) << r.output;
  EXPECT_GT(rows, 1u);
  EXPECT_LT(rows, activity_.rows());
}

// The records of a CSV file, each a list of cells (quoted cells may hold commas, quotes and line breaks).
std::vector<std::vector<std::string>> csv_records(const std::string& path) {
  std::string text = support::read_whole_file(path), cell;
  std::vector<std::vector<std::string>> records(1);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += '"', ++i;
    else if (c == '"') quoted = !quoted;
    else if (!quoted && c == ',') records.back().push_back(cell), cell.clear();
    else if (!quoted && c == '\r') continue;
    else if (!quoted && c == '\n') records.back().push_back(cell), cell.clear(), records.emplace_back();
    else cell += c;
  }
  records.pop_back();
  return records;
}

// The data records of a CSV file without one column, sorted: the rows whatever order they were read in.
std::vector<std::vector<std::string>> sorted_rows(const std::string& path, const std::string& left_out = "") {
  std::vector<std::vector<std::string>> records = csv_records(path);
  if (records.empty()) return records;
  auto column = std::find(records[0].begin(), records[0].end(), left_out) - records[0].begin();
  records.erase(records.begin());
  for (auto& record : records)
    if (column < static_cast<long>(record.size())) record.erase(record.begin() + column);
  std::sort(records.begin(), records.end());
  return records;
}

// The same log files give the same cells, dates and times included, whichever
// command reads them: a quick report, a custom report or view-log (whose
// hand-picked files name no reporting server). Local time is nine hours ahead
// of UTC here, so a time shown in UTC, or shifted twice, also differs.
TEST_F(ReportCommands, QuickReportCustomReportAndViewLogShowTheSameCells) {
  support::TimeZone tokyo("JST-9");
  std::string logon_files;
  for (const support::DemoLogFile& f : activity_.files)
    if (f.profile == support::DemoProfile::Logons || f.profile == support::DemoProfile::FailedLogons)
      logon_files += " '" + f.path + "'";
  ASSERT_EQ(run("quick-report --server SRV01 --days 4 --csv '" + out_ + "/q.csv'").exit_code, 0);
  ASSERT_EQ(run("custom-report --server SRV01 --profile '*Logons' --csv '" + out_ + "/c.csv'").exit_code, 0);
  Outcome view = run("view-log --server SRV01 --csv '" + out_ + "/v.csv'" + logon_files);
  ASSERT_EQ(view.exit_code, 0) << view.output;

  auto quick = sorted_rows(out_ + "/q-logon.csv");
  ASSERT_FALSE(quick.empty());
  EXPECT_EQ(sorted_rows(out_ + "/c-logon.csv"), quick);
  EXPECT_EQ(sorted_rows(out_ + "/v.csv", "Reporting Server"), sorted_rows(out_ + "/q-logon.csv", "Reporting Server"));
}

TEST_F(ReportCommands, BadInputGetsOneLineAndAFailingExitCode) {
  // A command line the command cannot take exits with 2, a failure with 1.
  const std::vector<std::pair<const char*, int>> cases = {
      {"quick-report --server SRV01 --days 0", 2}, {"quick-report --server SRV01 --days 2 --hours 3", 2},
      {"quick-report --server SRV01 --from 2026-12-05", 2},
      {"quick-report --server SRV01 --from 2026-12-05 --to 2026-12-04", 2}, {"custom-report --server SRV01", 2},
      {"quick-report --server SRV09 --days 1", 1},
      // An output path whose folder is missing fails before any log file is read.
      {"quick-report --server SRV01 --days 4 --csv /nonexistent/dir/q.csv", 1},
      {"graphical-report --server SRV01 --chart 1400:4:0 --html /nonexistent/x", 1}};
  for (const auto& [args, exit_code] : cases) {
    Outcome r = run(args);
    EXPECT_EQ(r.exit_code, exit_code) << args;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << args << "\n" << r.output;
  }
  Outcome unwritable = run("quick-report --server SRV01 --days 4 --csv /nonexistent/dir/q.csv");
  EXPECT_EQ(unwritable.output, "vornix-console: --csv /nonexistent/dir/q.csv: cannot be written (Windows error 3: The "
                               "system cannot find the path specified.); nothing was done\n");
  // A window without activity: the library's message, no file, a failing exit.
  Outcome r = run("quick-report --server SRV01 --from 2020-01-01 --to 2020-01-02 --csv '" + out_ + "/e.csv'");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("No Activity found in Log Files during the selected Date Range"), std::string::npos);
  EXPECT_EQ(all_rows("e"), 0u);
}

}  // namespace
