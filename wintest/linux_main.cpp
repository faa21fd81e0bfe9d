// wintest-linux FOLDER COMPUTER WORLDS: what the Linux build gives for the
// groups of cases that the Windows test host runs under Wine, and what those
// cases need from the Linux side.
//
// Each group runs in a child process of its own, on a fresh world whose
// console machine has the Wine prefix's computer name, on the library's code
// linked in (libqvmr7's objects over the Win32 layer); its sections are
// written to FOLDER/expected/<group>.txt. FOLDER is C:\vornix of the prefix.
// WORLDS receives the world the prefix's ODBC driver answers from. Then the
// fake TCP agents that the Windows host asks are started, their addresses
// written to FOLDER/agents.txt, and served until standard input closes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "sim/fake_agents.h"
#include "sim/fake_pipe_agent.h"
#include "sim/world_builder.h"
#include "chartdir/memory_dc.h"
#include "win32/gdi_objects.h"
#include "win32/modules.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"
#include "wintest/groups.h"
#include "wintest/linux_worlds.h"
#include "wintest/transcript.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace fs = std::filesystem;

namespace wintest {
namespace {

Transcript g_transcript;
std::unique_ptr<support::FakePipeAgent> g_pipe;

}  // namespace

bool begin_section(const std::string& title, const std::string&) {
  g_transcript.sections.push_back({title, {}});
  return true;
}

void say(const std::string& line) {
  if (g_transcript.sections.empty()) begin_section("(before the first section)");
  g_transcript.sections.back().lines.push_back(normalised(line));
}

void say(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) say(line);
}

void answer(const std::string& match, int button, std::vector<std::pair<int, std::string>> edits,
            std::vector<std::pair<int, std::string>> menus) {
  std::vector<ui::MenuChoice> choices;
  for (const auto& [item, entry] : menus) choices.push_back({item, entry});
  ui::script({match, button, "", std::move(edits), std::move(choices)});
}

// Modeless dialogs stay open here unless an answer names them.
std::vector<std::string> g_left_open;
void leave_open(const std::string& match) { g_left_open.push_back(match); }

// The journal is read by kind: boxes and dialogs by shown(), menus by menus_shown(); each entry once.
std::vector<ui::JournalEntry> g_unread_menus;
std::vector<ui::JournalEntry> g_unread_windows;

void read_journal() {
  for (const ui::JournalEntry& e : ui::journal()) (e.kind == "menu" ? g_unread_menus : g_unread_windows).push_back(e);
  ui::clear_journal();
}

std::vector<std::string> shown() {
  read_journal();
  std::vector<std::string> out;
  for (const ui::JournalEntry& e : g_unread_windows) out.push_back(e.title + " | " + e.text);
  g_unread_windows.clear();
  return without_captions(out, g_left_open);
}

std::vector<std::string> menus_shown() {
  read_journal();
  std::vector<std::string> out;
  for (const ui::JournalEntry& e : g_unread_menus) {
    std::string line = "menu:";
    for (const std::string& row : e.rows) line += " " + row + " |";
    out.push_back(line + " chose \"" + e.text + "\" (" + std::to_string(e.result) + ")");
  }
  g_unread_menus.clear();
  return out;
}

std::vector<std::string> drawn_texts(const std::function<void(HDC)>& draw) {
  HDC dc = qvmr_paint_create_dc();
  draw(dc);
  std::vector<std::string> out;
  QvmrDrawnText text = {};
  for (int i = 0; qvmr_paint_drawn_text(dc, i, &text); ++i)
    out.push_back(std::string(text.text) + " | " + font_text(text.font) + " | " + hex_text(text.colour));
  qvmr_paint_delete_dc(dc);
  return out;
}

std::vector<uint32_t> drawn_pixels(const std::function<void(HDC)>& draw, int width, int height,
                                   const std::vector<std::pair<int, int>>& points) {
  HDC dc = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  draw(dc);
  std::shared_ptr<const platform::Picture> picture = platform::bitmap_part(bitmap, 0, width, height);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  std::vector<uint32_t> out;
  for (const auto& [x, y] : points) out.push_back(picture->pixels[y * picture->width + x] & 0xFFFFFF);
  return out;
}

// The layer raises the event for every menu it shows.
std::string menu_events_missing() { return ""; }

std::string font_text(HGDIOBJ font) {
  platform::FontDescription d;
  if (!platform::describe_font(font, &d)) return "no font";
  return std::to_string(d.height) + " " + std::to_string(d.weight) + " " + d.face + (d.italic ? " italic" : "") +
         (d.underline ? " underlined" : "") + (d.charset == SYMBOL_CHARSET ? " symbols" : "");
}

bool start_pipe_agent(const Place& place, PipeWay way) {
  support::PipeScript script;
  script.misbehaviour = way == PipeWay::kShort         ? support::PipeMisbehaviour::Short
                        : way == PipeWay::kLong        ? support::PipeMisbehaviour::Long
                        : way == PipeWay::kWrongMarker ? support::PipeMisbehaviour::WrongMarker
                                                       : support::PipeMisbehaviour::None;
  g_pipe = std::make_unique<support::FakePipeAgent>(place.computer, "vornixw01", script);
  return g_pipe->serving();
}

void stop_pipe_agent() { g_pipe.reset(); }

std::vector<std::string> hive_file_lines(const std::string& file) {
  constexpr char kScratch[] = "SOFTWARE\\Brightmere Software, Inc.\\wintest hive";
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  LONG rc = RegRestoreKeyA(key, file.c_str(), REG_FORCE_RESTORE);
  RegCloseKey(key);
  std::vector<std::string> lines = rc == ERROR_SUCCESS ? registry_lines(HKEY_CURRENT_USER, kScratch, "file")
                                                       : std::vector<std::string>{};
  remove_key(HKEY_CURRENT_USER, kScratch);
  return lines;
}

namespace {

// One group in a child process: its world, the library started on it, its sections written.
int run_group(const Group& group, const std::string& folder, const std::string& computer, const std::string& worlds) {
  support::WorldBuilder world("", computer);
  Place place{computer, "C:\\vornix", {}};
  LinuxSide side;
  prepare_linux_side(group.name, world, &place, &side, folder, worlds);
  world.open();
  ui::reset();
  host::clear_screens();
  host::ServiceTable table = host::make_service_table();
  if (establish_tables(6, table.data()) != 1) {
    std::fprintf(stderr, "wintest-linux: %s: the library refused the table\n", group.name);
    return 1;
  }
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  g_library.quiet_mode = 0;
  g_library.styled_dialog_mode = 0;
  set_replacements(place);
  group.run(place);
  std::string path = folder + "/expected/" + group.name + ".txt";
  if (!write_transcript(g_transcript, path)) {
    std::perror(path.c_str());
    return 1;
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace
}  // namespace wintest

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: wintest-linux FOLDER COMPUTER WORLDS\n");
    return 2;
  }
  setenv("TZ", "UTC", 1);
  tzset();
  const std::string folder = argv[1], computer = argv[2], worlds = argv[3];
  fs::create_directories(folder + "/expected");
  fs::create_directories(worlds);
  int status = 0;
  for (const wintest::Group& group : wintest::groups()) {
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) _exit(wintest::run_group(group, folder, computer, worlds));
    int result = 0;
    waitpid(child, &result, 0);
    bool ok = WIFEXITED(result) && WEXITSTATUS(result) == 0;
    std::printf("%s %s\n", ok ? "written" : "FAILED ", group.name);
    if (!ok) status = 1;
  }
  if (status != 0) return status;
  wintest::write_wine_inputs(folder, computer, worlds);
  return wintest::serve_agents(folder);
}
