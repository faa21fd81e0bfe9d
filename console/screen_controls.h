// The host's screens as the console's definition, schedule and mail commands
// build them: list views, buttons, edit fields and check boxes carrying the
// library's control descriptors, the console's server list with a server
// selected, and rows found and selected as a user selects them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/report_commands.h"

namespace console {

HWND add_list(HWND screen, int item, uint32_t id, int columns = 1);
HWND add_button(HWND screen, uint16_t screen_key, int item, uint32_t id, int companion_item = 0);
HWND add_field(HWND screen, int item, uint32_t id, const std::string& text = "");
HWND add_check_box(HWND screen, int item, uint32_t id);

int row_count(HWND list);
std::string row_text(HWND list, int row, int column = 0);
std::vector<std::string> row_texts(HWND list);
// The first row whose text is the name, ignoring case; -1 when none.
int find_row(HWND list, const std::string& name);
// Selects the row as a click does (the only selected row); false when the list has no row of that text.
bool click_named_row(HWND list, const std::string& name);
// Adds the row to the selection, as a Ctrl-click does.
void add_to_selection(HWND list, int row);
void* row_record(HWND list, int row);

// A push button pressed: the library's answer from its button entry point.
DWORD press(const Library& l, HWND screen, HWND button);

// The console's server list (0x602400C1) on the screen, listed by the library, with the server
// selected as the user selects it; false after a one-line error when the console does not know it.
bool select_server(const Library& l, HWND screen, int item, const std::string& server);

// What a command says when the library showed why it did not do something.
constexpr char kSeeAbove[] = " (the message above says why)";

}  // namespace console
