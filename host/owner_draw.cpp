// Requests of the host's owner-draw export: remembering buttons as the host
// creates them, and the push buttons whose drawing switches the library's
// message functions to its own styled dialogs.
#include <algorithm>
#include <iterator>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"

namespace {

constexpr uintptr_t kModeServerStatusLine = 0x71717171;
constexpr uintptr_t kModeListCustomDraw = 0x40404040;
constexpr uintptr_t kModeDisplayField = 0x51515155;
constexpr uintptr_t kModeButtonCreated = 0x50505050;

constexpr uint32_t kAddServerButton = 0x603140E2;

// Push buttons whose first drawing request turns styled-dialog mode on.
constexpr uint32_t kStyledButtons[] = {
    0x601120BA, 0x6011400D, 0x602100CA, 0x602100CC, 0x602100CD, 0x602100CE, 0x602100CF,
    0x602100D9, 0x602100F1, 0x602140D8, 0x60310096, 0x603100A4, 0x603100C7, 0x603100CA,
    0x603100D7, 0x603100D8, 0x603100DB, 0x603100DC, 0x603100E2, 0x603100E8, 0x603100EB,
    0x603100ED, 0x603100F1, 0x603100F8, 0x603100FA, 0x603100FE, 0x6031010B, 0x6031010E,
    0x6031011E, 0x603120D6, 0x603120E3, 0x603120E5, 0x60312109, 0x60314000, 0x603140C6,
    0x603140D0, 0x603140DE, 0x603140E2, 0x603140E4, 0x603140EA, 0x6031410A, 0x60410918,
    0x6041091F, 0x60410920, 0x60410921, 0x60410D0A, 0x60410D1D};
// These two switch nothing on; they only follow a mode already on.
constexpr uint32_t kStyledFollowers[] = {0x60310096, 0x603100A4};

template <size_t N>
bool listed(const uint32_t (&ids)[N], uint32_t id) {
  return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

void draw_push_button(const DRAWITEMSTRUCT* item, uint32_t id) {
  if (!listed(kStyledButtons, id)) return;
  if (listed(kStyledFollowers, id) && !g_library.styled_dialog_mode) return;
  enter_styled_dialog_mode();
  if (item != nullptr && item->hwndItem != nullptr) {
    LONG_PTR style = GetWindowLongPtrA(item->hwndItem, GWL_STYLE);
    if ((style & BS_TYPEMASK) != BS_OWNERDRAW)
      SetWindowLongPtrA(item->hwndItem, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  }
}

}  // namespace

void draw_button_face(const DRAWITEMSTRUCT* item, HBRUSH face, COLORREF caption_colour, const char* caption) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, face);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, caption_colour);
  DrawTextA(item->hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

QVMR_EXPORT DWORD WINAPI entry_point_wm_draw_item(uintptr_t window, uintptr_t mode, uintptr_t data,
                                                  uintptr_t, uintptr_t control_id) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  switch (mode) {
    case kModeButtonCreated: {
      uintptr_t* descriptor = control_descriptor_of(reinterpret_cast<HWND>(window));
      if (descriptor != nullptr && descriptor_identifier(descriptor) == kAddServerButton)
        g_library.add_server_button = descriptor;
      return 1;
    }
    case kModeServerStatusLine:
    case kModeListCustomDraw:
    case kModeDisplayField:
      return kResultNotHandled;
    default:
      // The drawing itself is the host's until the library draws its controls.
      draw_push_button(reinterpret_cast<const DRAWITEMSTRUCT*>(data), static_cast<uint32_t>(control_id));
      return kResultNotHandled;
  }
}
