// Host boundary: library-wide state, start-up, message functions and the
// helpers that the dispatching entry points share.
#pragma once
#include <cstdint>

#include "host/control_descriptor.h"
#include "host/drawing.h"
#include "host/host_services.h"
#include "host/win32.h"

// Results common to the exports.
constexpr DWORD kResultNotInitialised = 4078;  // 0xFEE
constexpr DWORD kResultNotHandled = 4061;      // 0xFDD

constexpr uint32_t kInterfaceVersion = 6;
constexpr uint32_t kSearchCancelStop = 17;

// The vendor's support address, which messages name when they ask the user to report a problem.
constexpr char kVendorSupportAddress[] = "support@brightmere.com";

typedef LONG(WINAPI* RegDeleteKeyExAFn)(HKEY, LPCSTR, REGSAM, DWORD);
typedef BOOL(WINAPI* GetComputerNameExWFn)(COMPUTER_NAME_FORMAT, LPWSTR, LPDWORD);
typedef HRESULT(WINAPI* SetWindowThemeFn)(HWND, LPCWSTR, LPCWSTR);

constexpr uint32_t kFirstRememberedInstallField = 0x60180002;
constexpr int kRememberedInstallFields = 4;
constexpr size_t kRememberedInstallBytes = 260;
// The installation screen's boxes: the VNXLWA libraries included, the agent started now.
constexpr uint32_t kFirstRememberedInstallBox = 0x601800B3;
constexpr int kRememberedInstallBoxes = 2;

struct LibraryState {
  volatile DWORD initialised;
  DWORD com_initialised;
  volatile DWORD shutdown;
  volatile DWORD store_frozen;
  volatile DWORD search_cancel;
  volatile DWORD image_list_ready;
  HIMAGELIST image_list;   // the host's shared image list
  int base_image_index;    // the index its first report icon received
  HINSTANCE instance;

  MemoryAllocateFn allocate;
  MemoryFreeFn free_block;

  char computer_name[100];
  char ipv4_text[16];
  char system_directory[500];
  char start_directory[1024];
  char host_program[MAX_PATH];
  char console_user[512];
  char current_item_name[100];
  DWORD registry_view;  // 0 or KEY_WOW64_64KEY

  RegDeleteKeyExAFn reg_delete_key_ex;
  GetComputerNameExWFn get_computer_name_ex;
  SetWindowThemeFn set_window_theme;

  TIME_ZONE_INFORMATION time_zone;
  LONG utc_offset;        // seconds to add to local time to get UTC
  DWORD daylight;
  LONG first_utc_offset;  // the first offset ever computed
  LONG daylight_bias_seconds;
  DWORD daylight_rule;

  volatile DWORD quiet_mode;
  DWORD styled_dialog_mode;
  DWORD sibling_mode;
  DWORD shared_screen;  // a screen built so far showed the shared field 0x10120180

  // Drawing resources, created on first use and deleted at detach; the five
  // named ones are members of the set that the message dialogs use.
  HBRUSH title_band_brush;
  HBRUSH white_brush;
  HFONT big_bold_font;
  HFONT heading_bold_font;
  HFONT medium_font;
  DrawingResources drawing;

  uintptr_t* add_server_button;  // descriptor of the add-server button, once the host made it

  // What the installation screen's fields 0x60180002 to 0x60180005 last held when an installation
  // started; the fields are prefilled with them when the screen is built again.
  char remembered_install[kRememberedInstallFields][kRememberedInstallBytes];
  // Chosen: its boxes 0x601800B3 and 0x601800B4 as they were when that installation started
  // (non-zero: checked); they are checked again when the screen is built.
  DWORD remembered_install_boxes[kRememberedInstallBoxes];

  // The push buttons that repaint as the cursor enters and leaves them, with their
  // procedures before; the button under the cursor; the tooltip of the styled buttons.
  struct HoverButton {
    HWND window;
    WNDPROC previous;
  } hover_buttons[32];
  HWND hovered_button;
  HWND tooltip;

  HWND main_server_list;
  HWND main_server_screen;     // the parent that receives the list's notifications
  WNDPROC main_screen_proc;    // its procedure before the guard took it over

  // The list event being served and the thread serving it (0 when none): rows inserted meanwhile
  // hand its twelfth and fourteenth arguments and its descriptor back to the host.
  struct ServedListEvent {
    volatile DWORD thread;
    uintptr_t twelfth;
    uintptr_t* descriptor;
    uintptr_t fourteenth;
  } served_list_event;
};

extern LibraryState g_library;

// Start-up and time.
void refresh_time_zone();
// A file time (UTC) as seconds since 1970, and the same converted to local time
// with the offset of the last refresh; 0 for times before 1970.
uint32_t file_time_seconds(const FILETIME& time);
uint32_t local_file_time_seconds(const FILETIME& time);
// The current time (UTC) as seconds since 1970.
uint32_t current_seconds();
int call_get_computer_name_ex(COMPUTER_NAME_FORMAT format, LPWSTR buffer, LPDWORD size);

// Memory from the memory pair.
void* allocate_block(UINT flags, SIZE_T bytes);
void free_block(void* block);

// Conversions between 8-bit text (the ANSI code page) and wide text, cut to fit the
// output (`units` wide characters or `size` bytes, the terminator included).
void to_wide(const char* text, WCHAR* out, size_t units);
void from_wide(const WCHAR* text, char* out, size_t size);

// Message functions: every report to the user goes through them. A null
// title means the function's default title. They honour quiet mode, the
// styled-dialog mode and the host's unattended log file.
const char* library_title();
void show_message(HWND owner, const char* text, const char* title, UINT flags);
void show_status(HWND owner, const char* text, const char* title, UINT flags);
int show_greeting(HWND owner, const char* text, const char* title, UINT flags);
int ask_confirmation(HWND owner, const char* text, const char* title, UINT flags);
// A question with two named buttons (the message dialog _A_MSG_BOX): 1 for the first, 2 for the second.
int ask_with_buttons(HWND owner, const char* text, const char* title, const char* first, const char* second);
int show_unattended_message(HWND owner, const char* text, const char* title, UINT flags);
// The same for wide text, converted to the ANSI code page first.
int show_unattended_message_wide(HWND owner, const WCHAR* text, const char* title, UINT flags);
void show_debug_value(int value);
// A dialog of the library whose one edit field (IDC_TEXT_FIELD) the user fills: IDOK when the user
// pressed OK with some text, which is then in text (at most size - 1 characters); else the button
// that ended it (IDCANCEL, or a further button of the dialog).
INT_PTR ask_text(HWND owner, const char* template_name, char* text, size_t size);

// The parameter block of the library's message dialogs (4504 bytes, zeroed).
struct MessageDialog {
  volatile BYTE done;      // background prompt: 1 once the dialog has closed
  volatile DWORD chosen;   // background prompt: 1 or 2, the button pressed
  COLORREF text_colour;
  COLORREF title_colour;
  DWORD text_length;
  DWORD control_characters;  // characters below 0x20 in the text
  HBRUSH title_brush;
  HBRUSH body_brush;  // behind the text and the rest of the dialog
  HFONT title_font;
  HFONT text_font;
  char title[200];
  char text[4000];
  char buttons[2][40];
};
union MessageDialogBlock {
  MessageDialog dialog;
  BYTE bytes[4504];
};
static_assert(sizeof(MessageDialog) <= 4504, "message dialog block");

// The background prompt: the block's dialog with its two buttons, on a thread of its own.
void start_background_prompt(MessageDialogBlock* block);

// Opens the host's page with this identifier through its page table; false when the table
// the host lends is not a valid one (the caller says so).
bool open_host_page(HWND owner, uint32_t page_identifier);

// Styled-dialog mode: switched on by the first owner-drawn button the host asks for.
void enter_styled_dialog_mode();
// Draws an owner-drawn push button: its face filled with the brush, the caption
// centred on it in the colour.
void draw_button_face(const DRAWITEMSTRUCT* item, HBRUSH face, COLORREF caption_colour, const char* caption);

// Where host_insert_item puts a row among its siblings. Chosen: rows go sorted, first only where a row
// must lead (the navigation nodes, the log file rows).
enum class RowPosition { First, Sorted };  // TVI_FIRST, TVI_SORT
// Adds a row through host_insert_item, under parent (null for the root), with the record as its data.
// The list event this thread is serving lends its twelfth and fourteenth arguments and its descriptor;
// outside one they are 0 and the window's own descriptor. false when the host has no such service (the
// record then stays the caller's); else the host's item in *item when asked.
bool insert_host_item(HWND window, HTREEITEM parent, RowPosition position, const char* text, int image, void* record,
                      uintptr_t* item = nullptr);

// Controls of a screen.
HWND companion_window(const uintptr_t* descriptor);
// The host's window key of a screen, as a companion of one of its controls names it; 0 when none does.
uint16_t screen_key_of(HWND screen);
int selected_row_number(HWND list);
// A list view row's item data (LVIF_PARAM); 0 when the list has no such row.
LPARAM list_row_param(HWND list, int row);
// A list view row's text (at most size - 1 characters) and item data; FALSE
// (and *param 0) when the list has no such row.
BOOL read_list_row(HWND list, int row, char* text, int size, LPARAM* param);
// The row of a list view whose item data is this record, and its text; -1 (and empty text) when none.
int row_of_record(HWND list, const void* record, char* text, int size);
int selected_row_count(HWND list);
// Control lookup: the dialog item number of the control with this module and
// identifier (0 when none), among the buttons and check boxes (kinds 2 and 9),
// among every control of kinds 1, 2, 3, 4, 6, 7 and 9, or among the lists
// (kinds 1, 4 and 7), whose rows are then read through host_get_list_row and
// given to visit_row in order until it returns false or the rows end.
int find_button_item(HWND screen, uint32_t module, uint32_t control_id);
int find_control_item(HWND screen, uint32_t module, uint32_t control_id);
int find_list_item(HWND screen, uint32_t module, uint32_t control_id,
                   bool (*visit_row)(int row, const char* text, BYTE* record, void* context), void* context);
// A text field of the screen (through host_get_field), empty when the host has none; the dialog item that shows
// it, 0 when the screen has no such field.
DWORD read_screen_field(HWND screen, uint32_t control_id, char* buffer, DWORD size);
// A check box or value field of the screen (through host_get_field_value); false, and *value 0, when it has none.
bool read_screen_value(HWND screen, uint32_t control_id, DWORD* value);
// Visits the controls of a screen once each in tab order (the control lookup walk) until visit returns false.
void walk_screen_controls(HWND screen, bool (*visit)(HWND control, void* context), void* context);
// Sets the change counters of every edit field and check box of a screen to the refresh value.
void reset_change_counters(HWND screen);

// The current server: the selected row of the main server list, or this computer.
struct CurrentServer {
  char name[101];
  BYTE* record;  // the row's list item record; null when no row is selected
};
CurrentServer current_server();

// Sibling mode: the library title names QVAWKQ, and list controls take the explorer theme.
void switch_on_sibling_mode(HWND control);

// Sets the current server's unsaved mark and repaints the Save button of the screen (when both exist).
void mark_current_server_unsaved(HWND screen);

// The unsaved-changes guard of the main server list.
void watch_main_server_list(HWND list);
void release_main_server_list();

// Styled screens: list views of kind 7 get the library's procedure, which
// colours their column titles, and the medium font; lists of kind 1 the font.
void style_list_control(HWND control, uintptr_t* descriptor);
// Gives the list views their own procedures back (detach).
void release_styled_lists();
