// The dialog "Valid Hours for QVAWKQ Requests": the sibling server's weekly
// grid of permitted hours, one check box per day and hour, whose day headings
// and hour labels turn a whole column or row over.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/server_settings.h"
#include "host/host.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

constexpr int kDays = 7;
constexpr int kHours = 24;
constexpr int kGridPoints = 11;  // the labels' font: 11-point bold Courier
constexpr char kGridFace[] = "Courier";

// The grid the sibling form loaded last, and the server it belongs to.
struct SiblingFormGrid {
  char server[kCachedServerNameBytes];
  BYTE grid[kValidHoursGridBytes];
};
SiblingFormGrid g_form_grid;

struct HoursDialog {
  BYTE grid[kValidHoursGridBytes];
};

// The labels' font, made when the dialog first opens and kept until the library is unloaded.
HFONT g_grid_font;

int cell_item(int day, int hour) { return IDC_HOURS_FIRST_CELL + day * kHours + hour; }

bool cell_set(HWND dialog, int day, int hour) {
  return SendMessageA(GetDlgItem(dialog, cell_item(day, hour)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void set_cell(HWND dialog, int day, int hour, bool permitted) {
  SendMessageA(GetDlgItem(dialog, cell_item(day, hour)), BM_SETCHECK, permitted ? BST_CHECKED : BST_UNCHECKED, 0);
}

// "midn", "1am" ... "11am", "noon", "1pm" ... "11pm".
void hour_label(int hour, char* text, size_t size) {
  if (hour == 0) copy_text(text, size, "midn");
  else if (hour == 12) copy_text(text, size, "noon");
  else std::snprintf(text, size, "%d%sm", hour % 12, hour < 12 ? "a" : "p");
}

HFONT grid_font(HWND dialog) {
  if (g_grid_font != nullptr) return g_grid_font;
  HDC dc = GetDC(dialog);
  int pixels_per_inch = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(dialog, dc);
  g_grid_font = CreateFontA(-MulDiv(kGridPoints, pixels_per_inch, 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, 0, 0, 0, 0, kGridFace);
  return g_grid_font;
}

// A click on a heading or label: the whole column or row becomes permitted, unless every hour
// of it already is, when it becomes forbidden (chosen: a second click undoes the first).
void toggle_column(HWND dialog, int day) {
  bool all = true;
  for (int hour = 0; hour < kHours; ++hour) all = all && cell_set(dialog, day, hour);
  for (int hour = 0; hour < kHours; ++hour) set_cell(dialog, day, hour, !all);
}

void toggle_row(HWND dialog, int hour) {
  bool all = true;
  for (int day = 0; day < kDays; ++day) all = all && cell_set(dialog, day, hour);
  for (int day = 0; day < kDays; ++day) set_cell(dialog, day, hour, !all);
}

void start_dialog(HWND dialog, const HoursDialog* state) {
  HFONT font = grid_font(dialog);
  for (int day = 0; day < kDays; ++day)
    SendMessageA(GetDlgItem(dialog, IDC_HOURS_FIRST_DAY + day), WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  for (int hour = 0; hour < kHours; ++hour) {
    char label[8];
    hour_label(hour, label, sizeof label);
    HWND control = GetDlgItem(dialog, IDC_HOURS_FIRST_HOUR + hour);
    SetWindowTextA(control, label);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  }
  for (int day = 0; day < kDays; ++day)
    for (int hour = 0; hour < kHours; ++hour) set_cell(dialog, day, hour, valid_hour(state->grid, day, hour));
}

INT_PTR CALLBACK hours_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<HoursDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    start_dialog(dialog, reinterpret_cast<HoursDialog*>(lparam));
    return TRUE;
  }
  if (state == nullptr || message != WM_COMMAND) return FALSE;
  int id = LOWORD(wparam);
  if (id >= IDC_HOURS_FIRST_DAY && id < IDC_HOURS_FIRST_DAY + kDays) {
    toggle_column(dialog, id - IDC_HOURS_FIRST_DAY);
    return TRUE;
  }
  if (id >= IDC_HOURS_FIRST_HOUR && id < IDC_HOURS_FIRST_HOUR + kHours) {
    toggle_row(dialog, id - IDC_HOURS_FIRST_HOUR);
    return TRUE;
  }
  if (id == IDOK) {
    for (int day = 0; day < kDays; ++day)
      for (int hour = 0; hour < kHours; ++hour) set_valid_hour(state->grid, day, hour, cell_set(dialog, day, hour));
  }
  if (id == IDOK || id == IDCANCEL) {
    EndDialog(dialog, id);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void release_valid_hours_font() {
  if (g_grid_font != nullptr) DeleteObject(g_grid_font);
  g_grid_font = nullptr;
}

void keep_sibling_form_grid(const char* server, const BYTE grid[kValidHoursGridBytes]) {
  copy_text(g_form_grid.server, sizeof g_form_grid.server, server);
  std::memcpy(g_form_grid.grid, grid, kValidHoursGridBytes);
}

DWORD EditValidHoursGrid(HWND owner, const char* server) {
  HoursDialog state = {};
  // The grid the sibling form loaded for this server; a form not filled yet: the server's.
  if (g_form_grid.server[0] != '\0' && equal_ignoring_case(g_form_grid.server, server))
    std::memcpy(state.grid, g_form_grid.grid, kValidHoursGridBytes);
  else if (GetValidHoursGrid(server, state.grid) != 0)
    return 0;
  INT_PTR pressed =
      DialogBoxParamA(g_library.instance, "VALID_HOURS", owner, hours_dialog_proc, reinterpret_cast<LPARAM>(&state));
  if (pressed != IDOK || SaveValidHoursGrid(server, state.grid) != 0) return 0;
  keep_sibling_form_grid(server, state.grid);
  return 1;
}
