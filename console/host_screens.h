// The host's side of the screens that the console's commands share: the
// console's server list with the host's records behind its rows, rows looked up
// by their text, buttons pressed, and the results windows closed as a user
// closes them. Everything here is the host's own: the library is reached only
// through the loaded library's exports.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/substitute_host.h"

namespace console {

struct Library;  // console/report_commands.h

// The console's server list (0x602400C1, the library's main server list) on the server screen (key 2, item
// 200), filled by the library's list event; each row gets a record of the host's (alloc_memory_for_list) that
// carries this module and the list's identifier.
constexpr uint16_t kServerScreenKey = 2;
constexpr int kServerListItem = 200;
HWND make_server_list(const Library& l);
// The row whose text equals the text, case ignored; -1 when none.
int find_row(HWND list, const std::string& text);
// Selects the server's row as a click does; false after a one-line error when the console does not know it.
bool select_server(HWND list, const std::string& server);
// The console's server list put on another screen at the item, listed by the library, with the server
// selected as the user selects it; false after a one-line error when the console does not know it.
bool select_server(const Library& l, HWND screen, int item, const std::string& server);

// Controls of the library on a screen, each with its descriptor: a list view with its columns (a list view
// keeps a cell only in a column it has), an edit field with its text, a check box.
HWND add_list(HWND screen, int item, uint32_t id, int columns = 1);
HWND add_field(HWND screen, int item, uint32_t id, const std::string& text = "");
HWND add_check_box(HWND screen, int item, uint32_t id);

// A list row's text (a cell when column > 0) and its item data.
std::string row_text(HWND list, int row, int column = 0);
LPARAM row_param(HWND list, int row);
int row_count(HWND list);
std::vector<std::string> row_texts(HWND list);
// Selects exactly the rows given (as a user's ctrl-clicks leave them).
void select_rows(HWND list, const std::vector<int>& rows);
// Selects the row of that text as a click does (the only selected row); false when the list has none.
bool click_named_row(HWND list, const std::string& name);
// Adds the row to the selection, as a Ctrl-click does.
void add_to_selection(HWND list, int row);

// Gives a row's record back to the library (delete_list_item), as the host does when the row goes.
void give_back_record(const Library& l, LPARAM record);
// Gives the rows' records back to the library and empties the list.
void release_rows(const Library& l, HWND list);

// A push button of the library on a screen, its companion the control at (key, item); pressed as the host
// sends a click: the button entry point's result.
HWND add_button(HWND screen, int item, uint32_t id, uint16_t companion_key = 0, int companion_item = 0);
DWORD press(const Library& l, HWND screen, HWND button);

// The user closes every results window the library left open, and each one's thread ends.
void close_results_windows();

// What a command says when the library showed why it did not do something.
constexpr char kSeeAbove[] = " (the message above says why)";

// "0x602400C1": a control identifier in hexadecimal; false when the text is none.
bool parse_identifier(const std::string& text, uint32_t* id);
// A 32-bit value of a record kept by the host, at a byte offset, as the record holds it (little-endian).
uint32_t record_u32(const void* record, size_t offset);

}  // namespace console
