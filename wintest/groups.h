// The groups of cases that run on both builds: the same steps, written once,
// run by the Linux program over the Win32 layer (libqvmr7's code) and by the
// Windows test host under Wine (QVMR0007's code). Each group writes what it
// saw as named sections of lines; the Linux program keeps its sections as
// the expected texts, and the Windows host compares its own with them,
// section by section, one check each.
//
// A section that needs a function the platform lacks is not run there: the
// Windows host reports it as skipped with the function's name, and the Linux
// build keeps the case.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/win32.h"

namespace wintest {

// What both builds share about the machine a group runs on.
struct Place {
  std::string computer;  // the local computer's name, the same on both sides
  std::string folder;    // the inputs and the Linux build's texts: C:\vornix
  // The loopback addresses of the fake agents, by role ("well", "not allowed", "nobody", ...).
  std::vector<std::pair<std::string, std::string>> agents;
  std::string agent(const std::string& role) const;
};

using GroupFn = void (*)(const Place&);
struct Group {
  const char* name;  // the name of its file of expected texts
  GroupFn run;
};
// Every group, in the order they run.
const std::vector<Group>& groups();

void registry_group(const Place& place);
void network_group(const Place& place);
void services_group(const Place& place);
void sql_group(const Place& place);
void controls_group(const Place& place);
void reports_group(const Place& place);

// ---- What each build provides ---------------------------------------------------------
// Starts the next section. missing names the function the section needs that this
// platform does not have ("" when it has them all): the section is then reported as
// skipped and false returned, and the group goes on with its next section.
bool begin_section(const std::string& title, const std::string& missing = "");
// Lines of the current section.
void say(const std::string& line);
void say(const std::vector<std::string>& lines);

// The scripted user: the next box or dialog whose caption or text holds match is answered by
// pressing button (0: the default one) after typing the edits (dialog item, text), and then
// right-clicking the items of menus in turn, each time choosing the entry named (compared without
// "&" marks, ignoring case; "" closes the menu without a choice).
void answer(const std::string& match, int button = 0, std::vector<std::pair<int, std::string>> edits = {},
            std::vector<std::pair<int, std::string>> menus = {});
// The next window whose caption or text holds match is a modeless one the group works with: the scripted
// user leaves it open, and shown() leaves out every window whose caption holds match from now on.
void leave_open(const std::string& match);
// Every box and dialog shown since the last call, as "caption | text", oldest first.
std::vector<std::string> shown();
// Every menu that the scripted user opened since the last call: its entries ("----" for a separator,
// " [grayed]" after a grayed one), and the entry chosen with its command.
std::vector<std::string> menus_shown();

// Owner drawing as the host asks for it. The texts that draw puts on a device context that records
// them, as "text | font | colour"; the colours (0xRRGGBB) at the points after draw paints a bitmap of
// width x height; a font as "height weight face", then "italic", "underlined" and "symbols" as they apply.
std::vector<std::string> drawn_texts(const std::function<void(HDC)>& draw);
std::vector<uint32_t> drawn_pixels(const std::function<void(HDC)>& draw, int width, int height,
                                   const std::vector<std::pair<int, int>>& points);
std::string font_text(HGDIOBJ font);

// The agent's pipe \\<computer>\pipe\vornixw01, served in a way of its own until stopped.
enum class PipeWay { kWell, kShort, kLong, kWrongMarker };
bool start_pipe_agent(const Place& place, PipeWay way);
void stop_pipe_agent();

// The keys and values of a registry hive file (as RegSaveKeyA writes it), as registry_lines shows
// them below "file"; empty when it cannot be read.
std::vector<std::string> hive_file_lines(const std::string& file);

// What the platform lacks when opening a popup menu raises no EVENT_SYSTEM_MENUPOPUPSTART for a hook of
// this thread ("" when it raises one).
std::string menu_events_missing();

// ---- Shared by the groups ---------------------------------------------------------------
// Every key and value below a key: "key", then "key:name=type:data" per value; empty when the key
// is missing. Numbers as numbers, texts with '|' for each unprintable byte, short binary values as
// hexadecimal bytes, long ones by their size and sum, password blocks by their size.
std::vector<std::string> registry_lines(HKEY root, const std::string& path, const std::string& shown_as);
// The rows of a list view as "text (image)", then the other columns' texts after " | ".
std::vector<std::string> row_lines(HWND list, int columns = 1);
// "name (image)"-less: the first column only.
std::vector<std::string> row_texts(HWND list);
// Gives each row's record back to the library, as the host does, and empties the list.
void release_rows(HWND list);
// The lines of shown() whose caption (before " | ") holds none of the matches.
std::vector<std::string> without_captions(const std::vector<std::string>& lines,
                                          const std::vector<std::string>& matches);
// The results window's rows as "server | action | result (image)".
std::vector<std::string> results_rows();
std::string number_text(unsigned long long value);
std::string hex_text(unsigned long long value);
// The seconds since 1970 now, as the library reads them.
uint32_t now_seconds();
// A stored time shown as "<now>" when it lies in [from, to], else as its number.
std::string time_text(uint32_t value, uint32_t from, uint32_t to);
// Registry lines whose number (=4:N) lies in [from, to] show "<now>" instead, and "<now, top bits
// cleared>" when it is such a time with its top four bits cleared.
std::vector<std::string> with_times(std::vector<std::string> lines, uint32_t from, uint32_t to);
// Whether RegRestoreKeyA restores what RegSaveKeyA saved (it does not under Wine).
bool restores_keys();
// Deletes a key with everything below it.
void remove_key(HKEY root, const std::string& path);
// A folder's files and folders below it, sorted, as relative paths ("a\b.txt", "a\").
std::vector<std::string> folder_lines(const std::string& folder);

}  // namespace wintest
