// One group of the cases that both builds run, in a child run of the Windows
// test host: the library's code linked in and started, the group's sections
// compared one by one with the Linux build's (FOLDER\expected\<group>.txt),
// each section one check. A section the Linux build has and this run did not
// reach is a failure; a section that needs what Wine lacks is skipped with the
// function's name, and so is every section after a call into a function that
// Wine has only as a stub.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/exports.h"
#include "host/host.h"
#include "wintest/answerer.h"
#include "wintest/checks.h"
#include "wintest/groups.h"
#include "wintest/session.h"
#include "wintest/transcript.h"

namespace wintest {
namespace {

constexpr unsigned kSectionSeconds = 180;
constexpr DWORD kWineStub = 0x80000100;  // what a function Wine has only as a stub raises
constexpr size_t kDifferencesShown = 6;

struct Run {
  std::string group;
  Transcript expected;
  std::vector<bool> done;     // per expected section
  Section current;
  bool open = false;
};
Run g_run;

std::string case_name(const std::string& title) { return g_run.group + ": " + title; }

int expected_index(const std::string& title) {
  for (size_t i = 0; i < g_run.expected.sections.size(); ++i)
    if (g_run.expected.sections[i].title == title && !g_run.done[i]) return static_cast<int>(i);
  return -1;
}

// The lines that differ, a few at most, each as the Linux build and as Wine have them.
std::string differences(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  std::string out;
  size_t shown_lines = 0;
  for (size_t i = 0; i < std::max(expected.size(), actual.size()) && shown_lines < kDifferencesShown; ++i) {
    std::string want = i < expected.size() ? expected[i] : "(no line)";
    std::string got = i < actual.size() ? actual[i] : "(no line)";
    if (want == got) continue;
    out += "      line " + std::to_string(i + 1) + "\n        linux " + want + "\n        wine  " + got + "\n";
    ++shown_lines;
  }
  return out;
}

void close_section() {
  if (!g_run.open) return;
  g_run.open = false;
  int at = expected_index(g_run.current.title);
  if (at < 0) {
    check(false, "the Linux build has this section", "      no section \"" + g_run.current.title + "\" in its texts");
    return;
  }
  g_run.done[static_cast<size_t>(at)] = true;
  const std::vector<std::string>& want = g_run.expected.sections[static_cast<size_t>(at)].lines;
  check(want == g_run.current.lines, std::to_string(g_run.current.lines.size()) + " lines as the Linux build",
        differences(want, g_run.current.lines));
}

void skip_remaining(const std::string& reason) {
  for (size_t i = 0; i < g_run.expected.sections.size(); ++i) {
    if (g_run.done[i]) continue;
    g_run.done[i] = true;
    begin_case(case_name(g_run.expected.sections[i].title).c_str());
    skip("not reached", reason);
  }
}

// A call into a Wine stub ends the group: the section under way and the ones after it are skipped.
LONG CALLBACK on_exception(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kWineStub) return EXCEPTION_CONTINUE_SEARCH;
  ULONG_PTR function = info->ExceptionRecord->NumberParameters > 1 ? info->ExceptionRecord->ExceptionInformation[1] : 0;
  std::string name = function > 0xFFFF ? reinterpret_cast<const char*>(function) : "#" + std::to_string(function);
  std::string reason = "skipped: " + name + " is not implemented by Wine";
  if (g_run.open) {
    g_run.open = false;
    int at = expected_index(g_run.current.title);
    if (at >= 0) g_run.done[static_cast<size_t>(at)] = true;
    skip("its steps", reason);
  }
  skip_remaining(reason + " (a section before stopped there)");
  ExitProcess(static_cast<UINT>(finish()));
}

std::vector<std::pair<std::string, std::string>> read_agents(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> agents;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    size_t blank = line.rfind(' ');
    if (blank != std::string::npos) agents.push_back({line.substr(0, blank), line.substr(blank + 1)});
  }
  return agents;
}

std::string computer_name() {
  char name[100] = {};
  DWORD size = sizeof name;
  GetComputerNameA(name, &size);
  return name;
}

}  // namespace

bool begin_section(const std::string& title, const std::string& missing) {
  close_section();
  begin_case(case_name(title).c_str());
  if (!missing.empty()) {
    int at = expected_index(title);
    if (at >= 0) g_run.done[static_cast<size_t>(at)] = true;
    skip("its steps", "skipped: " + missing + " is not implemented by Wine");
    return false;
  }
  g_run.current = {title, {}};
  g_run.open = true;
  return true;
}

void say(const std::string& line) {
  if (!g_run.open) begin_section("(before the first section)");
  g_run.current.lines.push_back(normalised(line));
}

void say(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) say(line);
}

void answer(const std::string& match, int button, std::vector<std::pair<int, std::string>> edits,
            std::vector<std::pair<int, std::string>> menus) {
  script({match, button, std::move(edits), nullptr, std::move(menus)});
}

std::vector<std::string> g_left_open;

void leave_open(const std::string& match) {
  g_left_open.push_back(match);
  script({match, kLeaveOpen, {}, nullptr});
}

std::vector<std::string> shown() { return without_captions(take_journal(), g_left_open); }

std::vector<std::string> menus_shown() { return take_menus(); }

int group_run(const std::string& name, const std::string& folder) {
  g_run.group = name;
  set_count_file(folder + "\\wine\\" + name + ".count");
  begin_case(name.c_str());
  if (!start_answering()) {
    check(false, "the scripted user", "      no window hook (Windows error " + std::to_string(GetLastError()) + ")");
    return finish();
  }
  start_watchdog(kSectionSeconds);
  const Group* group = nullptr;
  for (const Group& g : groups())
    if (g.name == name) group = &g;
  if (!check(group != nullptr, "is a group of the host") ||
      !check(read_transcript(folder + "\\expected\\" + name + ".txt", &g_run.expected),
             "the Linux build's texts are there", "      not in " + folder + "\\expected"))
    return finish();
  g_run.done.assign(g_run.expected.sections.size(), false);

  host::ServiceTable table = host::make_service_table();
  g_library.instance = GetModuleHandleA(nullptr);
  if (!check(establish_tables(6, table.data()) == 1, "the library's linked code takes the table")) return finish();
  Place place{computer_name(), folder, read_agents(folder + "\\agents.txt")};
  set_replacements(place);
  AddVectoredExceptionHandler(1, on_exception);
  group->run(place);
  close_section();
  for (size_t i = 0; i < g_run.expected.sections.size(); ++i) {
    if (g_run.done[i]) continue;
    begin_case(case_name(g_run.expected.sections[i].title).c_str());
    check(false, "was run", "      the Linux build has this section; this run never began it");
  }
  return finish();
}

}  // namespace wintest
