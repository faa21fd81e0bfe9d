// Requests of the host's owner-draw export: remembering buttons as the host
// creates them (and tracking the cursor over some), the striped rows of two report lists, a display field filled
// from this computer's registry, the push buttons whose drawing switches the
// library's message functions to its own styled dialogs, and the controls and
// status lines that the features draw and write (their draw routes).
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/subsystems.h"

namespace {

constexpr uint32_t kAddServerButton = 0x603140E2;

// The striped lists and the colour of their odd rows.
constexpr uint32_t kProfileReportList = 0x60440D1E;
constexpr uint32_t kServerReportList = 0x602400CB;
constexpr COLORREF kProfileReportStripe = 0xF0F5FB;
constexpr COLORREF kServerReportStripe = 0xFEFFF0;

constexpr uint32_t kFirstNavigationButton = 0x602100C4;
constexpr const char* kNavigationCaptions[] = {"Reports", "Profiles", "Settings", "Help"};
constexpr COLORREF kDisabledCaption = 0xA0A0A0;

constexpr uint32_t kScanFrequencyField = 0x603800FB;
constexpr char kScoutServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent";

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
    attach_tooltip(item->hwndItem);
  }
}

// The data pair: the list's custom-draw record first (a pointer), the answer second.
DWORD stripe_rows(uint32_t id, uintptr_t data) {
  if (id != kProfileReportList && id != kServerReportList) return kResultNotHandled;
  if (data == 0) return 1;
  auto* pair = reinterpret_cast<uintptr_t*>(data);
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pair[0]);
  uintptr_t answer = 0;
  if (draw != nullptr && draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
    answer = CDRF_NOTIFYITEMDRAW;
  } else if (draw != nullptr && draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.dwItemSpec % 2 == 1) {
    draw->clrTextBk = id == kProfileReportList ? kProfileReportStripe : kServerReportStripe;
    answer = CDRF_NEWFONT;
  }
  pair[1] = answer;
  return 1;
}

// The scout agent's ScanFrequency, shown as a number in its display field.
DWORD fill_display_field(HWND window) {
  uintptr_t* descriptor = control_descriptor_of(window);
  if (descriptor == nullptr || descriptor_identifier(descriptor) != kScanFrequencyField) return 1;
  HKEY key;
  DWORD frequency = 0, size = sizeof frequency;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScoutServiceKey, 0, KEY_READ | g_library.registry_view, &key) ==
      ERROR_SUCCESS) {
    if (RegQueryValueExA(key, "ScanFrequency", nullptr, nullptr, reinterpret_cast<BYTE*>(&frequency), &size) !=
        ERROR_SUCCESS)
      frequency = 0;
    RegCloseKey(key);
  }
  char shown[16];
  std::snprintf(shown, sizeof shown, "%u", static_cast<unsigned>(frequency));
  SetWindowTextA(window, shown);
  return 1;
}

// The navigation buttons: the caption in white on the title band, on grey while pressed,
// underlined while focused, greyed while disabled.
DWORD draw_navigation_button(const DRAWITEMSTRUCT* item, uint32_t id) {
  if (item == nullptr) return 1;
  create_drawing_resources();
  const DrawingResources& r = g_library.drawing;
  bool pressed = (item->itemState & ODS_SELECTED) != 0;
  HGDIOBJ previous =
      SelectObject(item->hDC, r.fonts[item->itemState & ODS_FOCUS ? kFontHeadingBoldUnderlined : kFontHeadingBold]);
  draw_button_face(item, r.brushes[pressed ? kBrushGrey : kBrushTitleBand],
                   item->itemState & ODS_DISABLED ? kDisabledCaption : 0xFFFFFF,
                   kNavigationCaptions[id - kFirstNavigationButton]);
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

DWORD feature_draw(HWND window, uintptr_t mode, uintptr_t data, uint32_t id) {
  const DrawRoute* route = find_draw_route(id);
  if (route == nullptr) return kResultNotHandled;
  create_drawing_resources();
  return route->handler(DrawEvent{window, mode, data, id});
}

}  // namespace

QVMR_EXPORT DWORD WINAPI entry_point_wm_draw_item(uintptr_t window, uintptr_t mode, uintptr_t data,
                                                  uintptr_t, uintptr_t control_id) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  HWND control = reinterpret_cast<HWND>(window);
  uint32_t id = static_cast<uint32_t>(control_id);
  switch (mode) {
    case kDrawModeButtonCreated: {
      uintptr_t* descriptor = control_descriptor_of(control);
      if (descriptor == nullptr) return 1;
      if (descriptor_identifier(descriptor) == kAddServerButton) g_library.add_server_button = descriptor;
      track_hover(control, descriptor_identifier(descriptor));
      return 1;
    }
    case kDrawModeStatusLine:
      if (id != kConsoleServerList) return kResultNotHandled;
      return feature_draw(control, mode, data, id);
    case kDrawModeListCustomDraw:
      return stripe_rows(id, data);
    case kDrawModeDisplayField:
      return fill_display_field(control);
    default:
      if (id >= kFirstNavigationButton && id < kFirstNavigationButton + std::size(kNavigationCaptions))
        return draw_navigation_button(reinterpret_cast<const DRAWITEMSTRUCT*>(data), id);
      draw_push_button(reinterpret_cast<const DRAWITEMSTRUCT*>(data), id);
      if (find_draw_route(id) != nullptr) return feature_draw(control, mode, data, id);
      return draw_library_control(reinterpret_cast<const DRAWITEMSTRUCT*>(data), id);
  }
}
