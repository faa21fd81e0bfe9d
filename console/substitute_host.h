// The substitute host console: loads the library, completes the handshake,
// offers the host services table and keeps the screens whose controls carry
// the library's control descriptors. The console program and the tests both
// drive the library through it; the Windows test host (wintest/) offers the
// same services to QVMR0007.DLL.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/subsystems.h"
#include "host/win32.h"

namespace host {

// The library's exports, looked up by name after loading.
struct Library {
  void* handle = nullptr;
  DWORD(WINAPI* introduction_in)(DWORD*, DWORD*, DWORD*, DWORD*) = nullptr;
  DWORD(WINAPI* establish_tables)(DWORD, const uintptr_t*) = nullptr;
  DWORD(WINAPI* entry_point_button_services)(HWND, DWORD, uintptr_t*) = nullptr;
  DWORD(WINAPI* entry_point_list_services)(HWND, uintptr_t, uintptr_t, DWORD, uintptr_t, uintptr_t,
                                           uintptr_t*, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                           uintptr_t, uintptr_t, uintptr_t) = nullptr;
  DWORD(WINAPI* entry_point_text_services)(HWND, uintptr_t*, uintptr_t, uintptr_t, uintptr_t, DWORD,
                                           char*, LONG*, uintptr_t, uintptr_t, uintptr_t, DWORD,
                                           DWORD) = nullptr;
  // Every export by name, for the ones called generically.
  std::vector<std::pair<std::string, void*>> exports;
};

// The 25 exported names of the library, in the order of its export table.
const std::vector<std::string>& export_names();

// The address of an export by name; null when the library has none.
void* export_address(const Library& library, const std::string& name);

// Loads the library from a path; on failure returns false with a one-line reason.
bool load_library(const std::string& path, Library* library, std::string* error);
// The screens ask this library's text entry point for report cells and its owner-draw export to paint.
void use_entry_points(const Library& library);
// Creates the host's shared image list and lets the library fill it, as the
// host does once after start-up; list events wait for it.
HIMAGELIST insert_list_images(const Library& library);
// Unloads it (its process-detach clean-up runs): every row still listed gives its record back first.
void unload_library(Library* library);
// From now on unload_library gives the records back but leaves the module mapped, for a host that ends its
// process right after: the library's detach (its pause for its workers) is then never reached; a library
// loaded again closes the one kept first, so that it starts afresh.
void keep_modules_until_exit();
// The path of the library beside the running program: libqvmr7.so, on Windows QVMR0007.DLL.
std::string library_beside_program();

// The host services table that the host hands to establish_tables.
using ServiceTable = std::array<uintptr_t, 42>;
ServiceTable make_service_table();
// The host's unattended log file handle, which the table points at (null: none).
HANDLE& unattended_log_file();

// A line per host service call ("host_refresh_control item=0"), oldest first.
std::vector<std::string> service_calls();
void clear_service_calls();

// The rows that the library added to a list through host_add_value_row, in order.
struct ValueRow {
  std::string text;
  uintptr_t value = 0;
};
std::vector<ValueRow> value_rows(HWND window);

// Control descriptors that the host keeps for the library's controls.
struct ControlSpec {
  uint32_t control_id = 0;
  uint32_t kind = 0;             // descriptor kind (2 push button, 7 list view, ...)
  uint16_t companion_key = 0;    // screen key of the companion control
  uint16_t companion_item = 0;   // its dialog item number
  uint32_t module = 7;           // module number written at the kind's position
  uint16_t page = 0;             // 16-bit word 9: the host page a button opens
};

// Screens: windows registered under a 16-bit window key. The cells of the report rows in
// their lists are asked of the screen, which asks the library's text entry point for the
// column's identifier, as the host console's list views do; a click on one of the library's
// push buttons on a screen reaches the button entry point of the library loaded last.
HWND create_screen(uint16_t key, const char* title);
// Adds a control with its descriptor in the window's user data.
HWND add_control(HWND screen, int dialog_item, const char* class_name, const char* text,
                 const ControlSpec& layout);
uintptr_t* descriptor_of(HWND control);
// A display field (descriptor kind 3) with the control identifier, and inside
// it a hidden progress bar per name, whose window text is that name.
struct ProgressBars {
  HWND control;
  std::vector<HWND> bars;  // in the order of the names
};
ProgressBars add_progress_bars(HWND screen, int dialog_item, uint32_t control_id,
                               const std::vector<const char*>& names);
// Adds a page to the host's page table, opened by the library through host_request.
void add_page(uint32_t page_identifier, const char* title);
// True once the library has told the host that an unattended run ended (its list store frozen).
bool list_store_frozen();
// Gives a list's row that the library listed without a record one of the library's allocation, as the host does
// before it passes the row on: this module's, of the list's identifier (none when 0); the record.
void* attach_row_record(const Library& library, HWND list, int row, uint32_t control_id);
// Gives a row's record back to the library (delete_list_item), as the host does when the row goes: a record the
// host gave the row, or the host's copy of an inserted row's, once. False for a value the library put there itself.
bool give_back_record(const Library& library, void* record);
// Drops every screen and descriptor (the windows themselves go with ui::reset).
void clear_screens();

// Calls the list entry point as the host does for an event of a control: with
// the control's own identifier, or another one (a tree node's), and the parent
// item of the tree as tenth argument.
// The host's context menu: nine entry buffers of one fixed size, which the library fills.
using MenuEntries = std::array<std::array<char, kMenuEntryBytes>, kMenuPositions>;
// Asks the library for the menu of a list (its identifier; the row's record, null for empty space;
// the list's descriptor kind): the result, the entries in *entries.
DWORD request_menu(const Library& library, HWND list, DWORD control_id, const void* record, DWORD kind,
                   MenuEntries* entries);
// Reports the entry chosen in the menu shown last: the library's result.
DWORD choose_menu_entry(const Library& library, DWORD control_id, void* record, int position, HWND owner);

DWORD send_list_event(const Library& library, HWND control, DWORD control_id = 0,
                      uintptr_t parent_item = 0);

}  // namespace host
