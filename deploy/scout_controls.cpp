// The scout agent's owner-drawn controls: its rows, which show whether the
// agent runs on this computer, and its HTML status page options.
#include "deploy/deploy.h"
#include "deploy/server_status.h"
#include "host/host.h"

namespace {

constexpr char kScoutServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent";
constexpr COLORREF kTextColour = 0x000000;
constexpr int kGap = 6;

struct HtmlOption {
  const char* value;
  const char* label;
};
constexpr HtmlOption kHtmlOptions[] = {{"HTMLENGAGE", "HTML status page"},
                                       {"HTMLINCPROFILES", "Include profiles"},
                                       {"HTMLINCSETTINGS", "Include settings"}};

const char* scout_state_text(DWORD status) {
  if (status == kScoutMissing) return "Not Installed";
  return status == kScoutActive ? "Running" : "Not Running";
}

// A DWORD of the scout's service key on this computer; 0 when it is missing.
DWORD scout_value(const char* name) {
  HKEY key;
  DWORD value = 0, size = sizeof value;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScoutServiceKey, 0, KEY_READ | g_library.registry_view, &key) !=
      ERROR_SUCCESS)
    return 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    value = 0;
  RegCloseKey(key);
  return value;
}

// The bitmap at the left of the line, the text beside it; the line's height is the bitmap's.
void bitmap_line(HDC dc, BitmapRole bitmap, const RECT& line, const char* text) {
  int width, height;
  bitmap_extent(bitmap, &width, &height);
  draw_bitmap(dc, bitmap, line.left, line.top + (line.bottom - line.top - height) / 2);
  RECT beside = {line.left + width + kGap, line.top, line.right, line.bottom};
  DrawTextA(dc, text, -1, &beside, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void begin_face(const DRAWITEMSTRUCT* item, HGDIOBJ* previous) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, g_library.drawing.brushes[kBrushWhite]);
  *previous = SelectObject(item->hDC, g_library.drawing.fonts[kFontNormal]);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, kTextColour);
}

}  // namespace

DWORD DrawScoutRow(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  HGDIOBJ previous;
  begin_face(item, &previous);
  bitmap_line(item->hDC, kBitmapLogonUser, item->rcItem, scout_state_text(ScoutStatus()));
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

DWORD DrawHtmlStatusOptions(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  HGDIOBJ previous;
  begin_face(item, &previous);
  const RECT& area = item->rcItem;
  int height = (area.bottom - area.top) / static_cast<int>(sizeof kHtmlOptions / sizeof kHtmlOptions[0]);
  int top = area.top;
  for (const HtmlOption& option : kHtmlOptions) {
    RECT line = {area.left + 2, top, area.right, top + height};
    bitmap_line(item->hDC, scout_value(option.value) ? kBitmapChecked : kBitmapUnchecked, line, option.label);
    top += height;
  }
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}
