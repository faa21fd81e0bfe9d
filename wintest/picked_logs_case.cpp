// Hand-picked log files, written by the project's log writer on the Linux
// side, read by QVMR0007.DLL into real list views: every cell, read back from
// the list, must be what libqvmr7.so showed for the same files.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "wintest/checks.h"
#include "wintest/picked_logs.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr size_t kDifferencesShown = 5;

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream whole;
  whole << in.rdbuf();
  std::vector<std::string> lines;
  std::string text = whole.str();
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// The lines that differ, a few at most, each as the Linux build and as Wine have it.
std::string differences(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::string out;
  size_t shown = 0;
  for (size_t i = 0; i < std::max(expected.size(), actual.size()) && shown < kDifferencesShown; ++i) {
    std::string want = i < expected.size() ? expected[i] : "(no line)";
    std::string got = i < actual.size() ? actual[i] : "(no line)";
    if (want == got) continue;
    out += "      line " + std::to_string(i + 1) + "\n        linux " + want + "\n        wine  " + got + "\n";
    ++shown;
  }
  return out;
}

}  // namespace

void picked_logs_case(Session* s) {
  begin_case("hand-picked log files");
  std::string written = s->folder + "\\wine";
  CreateDirectoryA(written.c_str(), nullptr);
  for (int view : kPickedLogViews) {
    std::string name = std::to_string(view);
    std::string csv = written + "\\" + name + ".csv";
    std::string failure = write_picked_logs_csv(s->library, s->folder + "\\logs\\" + name + "\\", view, csv);
    if (!check(failure.empty(), "view " + name + " is filled", failure)) continue;
    std::vector<std::string> expected = lines_of(s->folder + "\\expected\\" + name + ".csv");
    std::vector<std::string> actual = lines_of(csv);
    check(!expected.empty() && expected == actual,
          "view " + name + ": " + std::to_string(actual.size()) + " lines, cell for cell as the Linux build",
          expected.empty() ? "      no expected texts in " + s->folder + "\\expected" : differences(expected, actual));
  }
}

}  // namespace wintest
