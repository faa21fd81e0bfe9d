// Styled screens colour the column titles of their list views: the library
// takes over each list view's procedure and redraws the titles when the
// header asks its list for custom drawing.
#include <cstring>

#include "host/control_descriptor.h"
#include "host/host.h"
#include "host/text.h"

namespace {

constexpr COLORREF kAlertTitleColour = 0x0000FF;    // red
constexpr COLORREF kWarningTitleColour = 0x0080FF;  // orange
constexpr COLORREF kPlainTitleColour = 0xB67231;
constexpr int kTitleIndentX = 6;
constexpr int kTitleIndentY = 2;

// The live list views whose procedure the library holds, so detach can give
// them back. A list leaves the table when it is destroyed.
struct StyledList {
  HWND list;
  WNDPROC previous;
};
StyledList g_styled_lists[64];  // UI thread only

StyledList* find_styled_list(HWND list) {
  for (StyledList& s : g_styled_lists)
    if (s.list == list) return &s;
  return nullptr;
}

COLORREF title_colour(const char* title) {
  if (contains_ignoring_case(title, "blkdel") || contains_ignoring_case(title, "blkcre") ||
      contains_ignoring_case(title, "Kerberos"))
    return kAlertTitleColour;
  if (contains_ignoring_case(title, "DenyOpen")) return kWarningTitleColour;
  return kPlainTitleColour;
}

void redraw_column_title(const NMCUSTOMDRAW& draw) {
  char title[260] = {};
  HDITEMA item = {};
  item.mask = HDI_TEXT;
  item.pszText = title;
  item.cchTextMax = sizeof title;
  if (!SendMessageA(draw.hdr.hwndFrom, HDM_GETITEMA, draw.dwItemSpec, reinterpret_cast<LPARAM>(&item))) return;
  HGDIOBJ old_font = g_library.medium_font ? SelectObject(draw.hdc, g_library.medium_font) : nullptr;
  int old_mode = SetBkMode(draw.hdc, TRANSPARENT);
  COLORREF old_colour = SetTextColor(draw.hdc, title_colour(title));
  TextOutA(draw.hdc, draw.rc.left + kTitleIndentX, draw.rc.top + kTitleIndentY, title,
           static_cast<int>(std::strlen(title)));
  SetTextColor(draw.hdc, old_colour);
  SetBkMode(draw.hdc, old_mode);
  if (old_font) SelectObject(draw.hdc, old_font);
}

LRESULT CALLBACK styled_list_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  uintptr_t* descriptor = control_descriptor_of(list);
  auto previous = descriptor ? reinterpret_cast<WNDPROC>(descriptor[kDescWordPreviousProc]) : nullptr;
  if (previous == nullptr) {
    StyledList* styled = find_styled_list(list);
    previous = styled ? styled->previous : nullptr;
  }
  // The list's last message: its own procedure goes back and its place in the table is freed.
  if (message == WM_NCDESTROY) {
    if (StyledList* styled = find_styled_list(list)) {
      if (GetWindowLongPtrA(list, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(styled_list_proc))
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(styled->previous));
      if (descriptor) descriptor[kDescWordPreviousProc] = 0;
      *styled = {};
    }
  }
  const auto* header = reinterpret_cast<const NMHDR*>(lparam);
  if (message == WM_NOTIFY && header != nullptr && header->code == NM_CUSTOMDRAW &&
      header->hwndFrom == reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0))) {
    const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(lparam);
    switch (draw->dwDrawStage) {
      case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
      case CDDS_ITEMPREPAINT: return CDRF_NOTIFYPOSTPAINT;
      case CDDS_ITEMPOSTPAINT: redraw_column_title(*draw); return CDRF_DODEFAULT;
      default: break;
    }
  }
  return previous ? CallWindowProcA(previous, list, message, wparam, lparam)
                  : DefWindowProcA(list, message, wparam, lparam);
}

}  // namespace

void style_list_control(HWND control, uintptr_t* descriptor) {
  if (!g_library.styled_dialog_mode || control == nullptr || descriptor == nullptr) return;
  uint32_t kind = descriptor_kind(descriptor);
  if (kind == kDescriptorListView) {
    if (descriptor[kDescWordPreviousProc] != 0) return;
    // With every place taken by a live list, this one keeps its own procedure (plain
    // column titles) but still gets the font; a later event of it tries again.
    StyledList* free_slot = find_styled_list(nullptr);
    auto previous = free_slot ? reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                                    control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(styled_list_proc)))
                              : nullptr;
    if (previous != nullptr) {
      descriptor[kDescWordPreviousProc] = reinterpret_cast<uintptr_t>(previous);
      *free_slot = {control, previous};
    }
  } else if (kind != kDescriptorList) {
    return;
  }
  if (g_library.medium_font)
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_library.medium_font), TRUE);
}

void release_styled_lists() {
  for (StyledList& s : g_styled_lists) {
    // A list that someone subclassed after the library keeps its chain: it cannot be unhooked from below.
    if (s.list != nullptr && IsWindow(s.list) &&
        GetWindowLongPtrA(s.list, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(styled_list_proc)) {
      SetWindowLongPtrA(s.list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.previous));
      if (uintptr_t* descriptor = control_descriptor_of(s.list)) descriptor[kDescWordPreviousProc] = 0;
    }
    s = {};
  }
}
