// The library's own owner-drawn buttons: picture buttons, check boxes and radio
// buttons drawn as bitmaps beside their labels, option and text buttons; the
// hover tracking that repaints a button as the cursor enters and leaves it, and
// the tooltips of the styled push buttons.
#include <algorithm>
#include <iterator>

#include "host/host.h"
#include "host/subsystems.h"

namespace {

struct PictureButton {
  uint32_t id;
  BitmapRole bitmap;
  BitmapRole selected;  // the bitmap while pressed
  bool on_band;         // a white glyph, drawn on the title band
};

constexpr PictureButton kPictureButtons[] = {
    {0x6011200B, kBitmapServerInstall, kBitmapServerInstall, false},
    {0x6011400D, kBitmapServersAd, kBitmapServersAd, false},
    {0x602100C2, kBitmapServerPlus, kBitmapServerPlusSelect, false},
    {0x603140E2, kBitmapServerPlus, kBitmapServerPlusSelect, false},
    {0x603140EA, kBitmapDoublePlusWhite, kBitmapDoublePlusWhite, true},
    {0x602140D8, kBitmapCopyProfileWhite, kBitmapCopyProfileWhite, true},
    {0x602100CE, kBitmapRenameWhite, kBitmapRenameWhite, true},
};

struct IdRange {
  uint32_t first, last;
};

constexpr IdRange kCheckBoxes[] = {{0x6028005B, 0x6028006E}, {0x602800B0, 0x602800E4}, {0x60220051, 0x60220051}};
constexpr uint32_t kRadioButtons[] = {0x60410D0E, 0x60410D10, 0x60410D12};
constexpr IdRange kOptionButtons[] = {{0x602100CA, 0x602100CA}, {0x603100D2, 0x603100DC}, {0x603100E2, 0x603100E2},
                                      {0x603120D6, 0x603120D6}, {0x603120E5, 0x603120E5}, {0x60314000, 0x60314000},
                                      {0x603140DE, 0x603140DE}, {0x60410D0A, 0x60410D0A}};
// The text buttons: push buttons of the server and report screens (groups 3 and 4) that no
// other family draws, once the library has made them owner-drawn (its styled buttons).
constexpr uint32_t kTextButtonMask = 0xF00F0000;
constexpr uint32_t kTextButtonKind = 0x60010000;
constexpr uint32_t kFirstTextButtonGroup = 0x00300000;
constexpr uint32_t kLastTextButtonGroup = 0x00400000;

// The buttons that get the hover-tracking procedure when the host creates them.
constexpr uint32_t kHoverButtons[] = {
    0x602100C4, 0x602100C5, 0x602100C6, 0x602100C7, 0x602100CA, 0x602100CC, 0x602100CD, 0x602100CE, 0x602100CF,
    0x602140D8, 0x603100C7, 0x603100D1, 0x603100EB, 0x603100ED, 0x603100F1, 0x603100F8, 0x6031010B, 0x6031010E,
    0x6031011E, 0x603120E3, 0x60312109, 0x603140C6, 0x603140D0, 0x603140EA, 0x6031410A, 0x6031410C, 0x6031410D};

constexpr COLORREF kLabelColour = 0x000000;
constexpr COLORREF kCaptionColour = 0xB67231;
constexpr COLORREF kDisabledColour = 0xA0A0A0;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kLabelGap = 6;
constexpr size_t kCaptionBytes = 128;

template <size_t N>
bool in_ranges(const IdRange (&ranges)[N], uint32_t id) {
  return std::any_of(std::begin(ranges), std::end(ranges), [id](IdRange r) { return id >= r.first && id <= r.last; });
}

bool is_hovered(const DRAWITEMSTRUCT* item) {
  return item->hwndItem != nullptr && item->hwndItem == g_library.hovered_button;
}

void caption_of(const DRAWITEMSTRUCT* item, char* out, int size) {
  out[0] = '\0';
  if (item->hwndItem != nullptr) GetWindowTextA(item->hwndItem, out, size);
}

// The face every drawn button starts from: the background brush of its state.
HBRUSH background(const DRAWITEMSTRUCT* item, bool on_band) {
  const DrawingResources& r = g_library.drawing;
  if (item->itemState & ODS_SELECTED) return r.brushes[kBrushGrey];
  if (is_hovered(item)) return r.brushes[kBrushDarkGreen];
  return r.brushes[on_band ? kBrushTitleBand : kBrushWhite];
}

DWORD draw_picture_button(const DRAWITEMSTRUCT* item, const PictureButton& button) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, background(item, button.on_band));
  BitmapRole bitmap = item->itemState & ODS_SELECTED ? button.selected : button.bitmap;
  int width, height;
  bitmap_extent(bitmap, &width, &height);
  draw_bitmap(item->hDC, bitmap, area.left + (area.right - area.left - width) / 2,
              area.top + (area.bottom - area.top - height) / 2);
  return 1;
}

// A check box or radio button: the state's bitmap at the left, the label beside it. The
// host keeps the state in the button (BM_GETCHECK), as for a check box it does not draw.
DWORD draw_marked_label(const DRAWITEMSTRUCT* item, BitmapRole on, BitmapRole off, bool on_band) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, g_library.drawing.brushes[on_band ? kBrushTitleBand : kBrushWhite]);
  bool checked = item->hwndItem != nullptr && SendMessageA(item->hwndItem, BM_GETCHECK, 0, 0) == BST_CHECKED;
  BitmapRole mark = checked ? on : off;
  int width, height;
  bitmap_extent(mark, &width, &height);
  draw_bitmap(item->hDC, mark, area.left + 2, area.top + (area.bottom - area.top - height) / 2);
  char label[kCaptionBytes];
  caption_of(item, label, sizeof label);
  RECT text = {area.left + 2 + width + kLabelGap, area.top, area.right, area.bottom};
  HGDIOBJ previous = SelectObject(item->hDC, g_library.drawing.fonts[kFontNormal]);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, item->itemState & ODS_DISABLED ? kDisabledColour : on_band ? kWhite : kLabelColour);
  DrawTextA(item->hDC, label, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

// An option or text button: its caption in the given font, white on the band while
// hovered or pressed, underlined while focused; a state, when given, on a second line:
// the caption centred in the upper half, the state in the lower.
DWORD draw_caption_button(const DRAWITEMSTRUCT* item, FontRole font, FontRole focused_font,
                          const char* state = nullptr) {
  const DrawingResources& r = g_library.drawing;
  char caption[kCaptionBytes];
  caption_of(item, caption, sizeof caption);
  bool lit = (item->itemState & ODS_SELECTED) != 0 || is_hovered(item);
  HGDIOBJ previous = SelectObject(item->hDC, r.fonts[item->itemState & ODS_FOCUS ? focused_font : font]);
  COLORREF colour = item->itemState & ODS_DISABLED ? kDisabledColour : lit ? kWhite : kCaptionColour;
  if (state == nullptr) {
    draw_button_face(item, background(item, false), colour, caption);
  } else {
    RECT upper = item->rcItem, lower = item->rcItem;
    FillRect(item->hDC, &upper, background(item, false));
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, colour);
    upper.bottom = lower.top = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top) / 2;
    DrawTextA(item->hDC, caption, -1, &upper, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DrawTextA(item->hDC, state, -1, &lower, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

bool is_text_button(const DRAWITEMSTRUCT* item, uint32_t id) {
  uint32_t group = id & 0x00F00000;
  return (id & kTextButtonMask) == kTextButtonKind && group >= kFirstTextButtonGroup &&
         group <= kLastTextButtonGroup && item != nullptr && item->hwndItem != nullptr &&
         (GetWindowLongPtrA(item->hwndItem, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

LRESULT CALLBACK hover_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = nullptr;
  for (const auto& b : g_library.hover_buttons)
    if (b.window == window) previous = b.previous;
  if (message == WM_MOUSEMOVE && g_library.hovered_button != window) {
    g_library.hovered_button = window;
    TRACKMOUSEEVENT leave = {sizeof leave, TME_LEAVE, window, 0};
    TrackMouseEvent(&leave);
    InvalidateRect(window, nullptr, FALSE);
  } else if (message == WM_MOUSELEAVE && g_library.hovered_button == window) {
    g_library.hovered_button = nullptr;
    InvalidateRect(window, nullptr, FALSE);
  }
  return previous ? CallWindowProcA(previous, window, message, wparam, lparam)
                  : DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

DWORD draw_library_control(const DRAWITEMSTRUCT* item, uint32_t id) {
  const PictureButton* picture = nullptr;
  for (const PictureButton& button : kPictureButtons)
    if (button.id == id) picture = &button;
  bool check_box = in_ranges(kCheckBoxes, id);
  bool radio = std::find(std::begin(kRadioButtons), std::end(kRadioButtons), id) != std::end(kRadioButtons);
  bool option = in_ranges(kOptionButtons, id);
  if (!picture && !check_box && !radio && !option && !is_text_button(item, id)) return kResultNotHandled;
  if (item == nullptr) return 1;
  create_drawing_resources();
  if (picture) return draw_picture_button(item, *picture);
  // The radio buttons sit on the report screen's band, so their bitmaps are white.
  if (check_box) return draw_marked_label(item, kBitmapChecked, kBitmapUnchecked, false);
  if (radio) return draw_marked_label(item, kBitmapRadioSelected, kBitmapRadioUnselected, true);
  if (option) return draw_option_button(item, nullptr);
  return draw_caption_button(item, kFontHeading, kFontHeadingBoldUnderlined);
}

DWORD draw_option_button(const DRAWITEMSTRUCT* item, const char* state) {
  if (item == nullptr) return 1;
  create_drawing_resources();
  return draw_caption_button(item, kFontLabelBold, kFontLabelBoldItalic, state);
}

void track_hover(HWND button, uint32_t id) {
  if (button == nullptr || std::find(std::begin(kHoverButtons), std::end(kHoverButtons), id) == std::end(kHoverButtons))
    return;
  LibraryState::HoverButton* slot = nullptr;
  for (auto& b : g_library.hover_buttons) {
    if (b.window == button) return;  // already tracked
    if (slot == nullptr && (b.window == nullptr || !IsWindow(b.window))) slot = &b;
  }
  if (slot == nullptr) return;
  slot->previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(button, GWLP_WNDPROC));
  slot->window = button;
  SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&hover_procedure));
}

// The tooltip shows the button's caption; a button without one gets none.
void attach_tooltip(HWND button) {
  char caption[kCaptionBytes] = {};
  if (button == nullptr || GetWindowTextA(button, caption, sizeof caption) == 0) return;
  if (g_library.tooltip == nullptr || !IsWindow(g_library.tooltip))
    g_library.tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, nullptr,
                                        nullptr, g_library.instance, nullptr);
  if (g_library.tooltip == nullptr) return;
  TTTOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(button);
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  char shown[kCaptionBytes] = {};
  tool.lpszText = shown;
  SendMessageA(g_library.tooltip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  if (shown[0] != '\0') return;  // attached before
  tool.lpszText = caption;
  SendMessageA(g_library.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}
