// vornix-console chart and report-definitions as a user runs them: the
// entries a chart draws are the largest of an independent count of the same
// quick report's comma-delimited rows, and the definitions file is listed,
// retyped and pruned.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/demo_activity.h"
#include "tests/console/console_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kNow = 1796551200;

using Table = std::vector<std::vector<std::string>>;
using Counts = std::map<std::string, int>;  // by lower-case label

// A CSV file: quoted cells may hold commas, doubled quotes and line breaks.
Table read_csv(const std::string& path) {
  Table rows(1);
  std::string text = support::read_whole_file(path), cell;
  bool quoted = false, cell_started = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') cell += '"', ++i;
      else if (c == '"') quoted = false;
      else cell += c;
    } else if (c == '"') {
      quoted = cell_started = true;
    } else if (c == ',') {
      rows.back().push_back(cell), cell.clear();
    } else if (c == '\n') {
      if (!cell.empty() && cell.back() == '\r') cell.pop_back();
      rows.back().push_back(cell), cell.clear();
      rows.emplace_back();
    } else {
      cell += c;
    }
  }
  rows.pop_back();
  return rows;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The chart's rules, written again from their description: the key cell by its heading
// (the first after the leftmost that contains the keyword), rows with an empty key, one
// that starts below "!", or one naming "_user" or "_MAXIMUM RECORD COUNT" left out,
// labels without trailing blanks, merged without case, cut to 291 characters.
Counts count_csv(const Table& csv, const std::string& keyword, bool tail, const std::string& filter = "",
                 const std::string& label_a = "", const std::string& label_b = "") {
  auto column = [&](const std::string& word) {
    for (size_t i = 1; i < csv[0].size(); ++i)
      if (lower(csv[0][i]).find(lower(word)) != std::string::npos) return i;
    return size_t{0};
  };
  size_t key = keyword.empty() ? 0 : column(keyword);
  Counts counts;
  for (size_t r = 1; r < csv.size(); ++r) {
    std::string k = csv[r][key];
    if (k.empty() || static_cast<unsigned char>(k[0]) < '!' || lower(k).find("_user") != std::string::npos ||
        lower(k).find("_maximum record count") != std::string::npos)
      continue;
    if (!filter.empty() && lower(k).find(filter) == std::string::npos) continue;
    std::string label = k;
    if (tail) label = label.substr(label.find_last_of("/\\") == std::string::npos ? 0 : label.find_last_of("/\\") + 1);
    if (!label_a.empty()) label = csv[r][column(label_a)] + " [" + csv[r][column(label_b)] + "]";
    label = label.substr(0, 291);
    label.erase(label.find_last_not_of(' ') + 1);
    std::string shown;  // as --counts shows it: line breaks and tabs escaped
    for (char ch : label) shown += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : ch == '\t' ? "\\t" : std::string(1, ch);
    ++counts[lower(shown)];
  }
  return counts;
}

class ChartCommands : public support::ConsoleTest {
 protected:
  void SetUp() override {
    support::add_known_demo_server(builder_, kNow);
    out_ = world_ + "/out";
    fs::create_directories(out_);
  }

  // The "count  label" lines of chart --counts: the chart's legend.
  Counts chart_counts(const std::string& chart) {
    support::ProgramRun r = run("chart --server SRV01 --days 4 --counts " + chart, out_ + "/errors.txt");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    Counts counts;
    std::istringstream lines(r.output);
    bool table = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.find(" drawn") != std::string::npos) {
        table = true;
        continue;
      }
      size_t digits = line.find_first_not_of(' ');
      if (!table || digits == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[digits]))) continue;
      size_t end = line.find("  ", digits);
      counts[lower(line.substr(end + 2))] += std::stoi(line.substr(digits, end - digits));
    }
    return counts;
  }

  std::string out_;
};

TEST_F(ChartCommands, CountsEqualAnIndependentCountOfTheSameCsvRows) {
  support::ProgramRun csv = run("quick-report --server SRV01 --days 4 --csv '" + out_ + "/q.csv'");
  ASSERT_EQ(csv.exit_code, 0) << csv.output;
  Table files = read_csv(out_ + "/q-filesystem.csv"), logons = read_csv(out_ + "/q-logon.csv"),
        directory = read_csv(out_ + "/q-directory.csv");
  struct Case {
    const char* chart;
    Counts expected;
  } cases[] = {
      {"--group 1400 --selection 1", count_csv(files, "", false)},
      {"--group 1400 --selection 4", count_csv(files, "object", false)},
      {"--group 1400 --selection 5", count_csv(files, "path", true)},
      {"--group 1800 --selection 2", count_csv(logons, "logon fail", false)},
      {"--group 1800 --selection 21", count_csv(logons, "logon fail", false, "bad password", "ipv4", "workstation")},
      {"--group 2200 --selection 2", count_csv(directory, "object class", false)},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.expected.empty()) << c.chart << ": the demo activity gives this chart rows";
    // The 25 largest counts are drawn (all of them when there are fewer), each as counted.
    Counts drawn = chart_counts(c.chart);
    EXPECT_EQ(drawn.size(), std::min<size_t>(25, c.expected.size())) << c.chart;
    int smallest_drawn = INT32_MAX;
    for (const auto& [label, n] : drawn) {
      EXPECT_EQ(c.expected.count(label) ? c.expected.at(label) : -1, n) << c.chart << ": " << label;
      smallest_drawn = std::min(smallest_drawn, n);
    }
    for (const auto& [label, n] : c.expected) {
      if (!drawn.count(label)) {
        EXPECT_LE(n, smallest_drawn) << c.chart << ": " << label << " left out";
      }
    }
  }

  // The GPO view names no GPO among its headings: every GPO row is counted by the policy its record names.
  int gpo_rows = 0;
  for (const auto& [activity, n] : count_csv(read_csv(out_ + "/q-gpo.csv"), "", false)) gpo_rows += n;
  ASSERT_GT(gpo_rows, 0) << "the demo activity changes group policies";
  int counted = 0;
  for (const auto& [policy, n] : chart_counts("--group 2600 --selection 2")) {
    EXPECT_TRUE(policy == "default domain policy" || policy == "workstation lockdown" ||
                policy == "finance drive maps" || policy == "password policy")
        << policy;
    counted += n;
  }
  EXPECT_EQ(counted, gpo_rows);
}

TEST_F(ChartCommands, ChartWritesAPngAndRefusesWhatItCannotDraw) {
  std::string png = out_ + "/users.png";
  support::ProgramRun r = run("chart --server SRV01 --days 4 --group 1400 --selection 4 --kind 'Bar Vertical' --size 500x300 --png '" + png + "'");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  std::string bytes = support::read_whole_file(png);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(bytes.substr(16, 8), std::string("\0\0\x01\xf4\0\0\x01\x2c", 8));  // 500 x 300
  support::ProgramRun check = support::run_program("pngcheck", "-q '" + png + "'");
  EXPECT_EQ(check.exit_code, 0) << check.output;

  r = run("chart --server SRV01 --days 4 --group 2200 --selection 14 --png '" + out_ + "/none.png'");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("nothing to chart"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(out_ + "/none.png"));
  r = run("chart --server SRV01 --group 1400 --selection 9");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("no chart is group 1400, selection 9"), std::string::npos) << r.output;
}

// Every chart and kind that charts lists is taken by graphical-report's --chart G:S:KIND, the kinds by name.
TEST_F(ChartCommands, EveryChartAndKindListedIsTakenByTheGraphicalReport) {
  support::ProgramRun listed = run("charts");
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  std::vector<std::string> charts, kinds;
  std::istringstream lines(listed.output);
  bool kind_lines = false;
  for (std::string line; std::getline(lines, line);) {
    kind_lines = kind_lines || line.rfind("Kinds ", 0) == 0;
    std::istringstream words(line);
    std::string first, rest;
    words >> first >> std::ws;
    std::getline(words, rest);
    if (line.rfind("    ", 0) == 0 && first.find(':') != std::string::npos) charts.push_back(first);
    if (kind_lines && line.rfind("  ", 0) == 0) kinds.push_back(rest);
  }
  EXPECT_EQ(charts.size(), 28u) << listed.output;  // the four groups of the graph tree
  EXPECT_NE(std::find(charts.begin(), charts.end(), "1800:21"), charts.end()) << listed.output;
  ASSERT_EQ(kinds.size(), 8u) << listed.output;
  EXPECT_EQ(kinds.front(), "3D Pie");
  std::string arguments = "graphical-report --server SRV01 --days 4 --html '" + out_ + "/all.html'";
  for (size_t i = 0; i < charts.size(); ++i) arguments += " --chart '" + charts[i] + ":" + kinds[i % kinds.size()] + "'";
  support::ProgramRun report = run(arguments);
  EXPECT_EQ(report.exit_code, 0) << report.output;
  EXPECT_NE(report.output.find("graphical report of " + std::to_string(charts.size()) + " charts written"),
            std::string::npos)
      << report.output;
}

TEST_F(ChartCommands, ReportDefinitionsAreListedRetypedAndDeletedOnlyWhenConfirmed) {
  std::string folder = builder_.machine_dir(builder_.console()) + "/shares/C$/Program Files/Brightmere/VORNIX";
  fs::create_directories(folder);
  std::string file = folder + "/MERIDAXW_FS_REPORT_DEFINITIONS.INI";
  const std::string text = "[Shares]\r\nREPORT_TYPE=basic\r\nAUTHOR_SAM=jsmith\r\n\r\n[Audit]\r\nREPORT_TYPE=AccessEnum\r\n";
  std::ofstream(file, std::ios::binary) << text;
  support::ProgramRun r = run("report-definitions list --tiles '" + out_ + "'");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("Report definitions in C:\\Program Files\\Brightmere\\VORNIX\\MERIDAXW_FS_REPORT_DEFINITIONS.INI: 2"),
            std::string::npos) << r.output;
  EXPECT_TRUE(fs::exists(out_ + "/tile-1.png") && fs::exists(out_ + "/tile-2.png"));

  r = run("report-definitions set-type shares vertical");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(support::read_whole_file(file), "[Shares]\r\nREPORT_TYPE=VERTICAL\r\nAUTHOR_SAM=jsmith\r\n\r\n[Audit]\r\nREPORT_TYPE=AccessEnum\r\n");
  r = run("report-definitions set-type Shares tabular");
  EXPECT_EQ(r.exit_code, 2);

  r = run("report-definitions delete Audit");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("--yes confirms it"), std::string::npos) << r.output;
  r = run("report-definitions delete Audit --yes");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(support::read_whole_file(file), "[Shares]\r\nREPORT_TYPE=VERTICAL\r\nAUTHOR_SAM=jsmith\r\n\r\n");
}

}  // namespace
