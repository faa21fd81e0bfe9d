// The quick report's owner-drawn controls: the button whose caption follows the
// run's state, and the control that holds the run's two progress bars.
#include <iterator>

#include "host/host.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"

namespace {

constexpr COLORREF kCaptionColour = 0xFFFFFF;
constexpr const char* kProgressBarNames[] = {"BAR1", "BAR2"};

const char* quick_report_caption(uint32_t state) {
  switch (state) {
    case kQuickReportIdle: return "Run Quick Report Now";
    case kQuickReportPreparing: return "Initializing Report...";
    case kQuickReportStop: return "Stopping Report...";
    default: return "Stop Quick Report";
  }
}

}  // namespace

DWORD DrawQuickReportButton(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  const DrawingResources& r = g_library.drawing;
  bool pressed = (item->itemState & ODS_SELECTED) != 0;
  HGDIOBJ previous = SelectObject(item->hDC, r.fonts[kFontHeadingBold]);
  draw_button_face(item, r.brushes[pressed ? kBrushGrey : kBrushTitleBand], kCaptionColour,
                   quick_report_caption(g_quick_report.state));
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

// The bars are made on the control's first drawing, one above the other, hidden until a run shows them.
DWORD DrawQuickReportProgress(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, g_library.drawing.brushes[kBrushWhite]);
  if (item->hwndItem == nullptr) return 1;
  int width = area.right - area.left, height = (area.bottom - area.top) / 2;
  for (size_t i = 0; i < std::size(kProgressBarNames); ++i) {
    if (FindWindowExA(item->hwndItem, nullptr, PROGRESS_CLASSA, kProgressBarNames[i]) != nullptr) continue;
    CreateWindowExA(0, PROGRESS_CLASSA, kProgressBarNames[i], WS_CHILD, area.left,
                    area.top + static_cast<int>(i) * height, width, height, item->hwndItem, nullptr,
                    g_library.instance, nullptr);
  }
  return 1;
}
