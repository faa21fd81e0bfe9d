// Owner drawing as the host asks for it: one control drawn through the export
// on a bitmap, for its pixels, and again on a device context that records the
// texts drawn, for the texts with the last one's font and colour.
//
//   support::DrawnControl tile = support::draw_control(0x602220C8);
//   tile.texts;       // {"SRV01", ...}
//   tile.at(1, 1);    // 0xRRGGBB
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chartdir/memory_dc.h"
#include "host/exports.h"
#include "win32/paint_test_api.h"

namespace support {

struct DrawnControl {
  std::shared_ptr<const platform::Picture> picture;
  std::vector<std::string> texts;
  HGDIOBJ font = nullptr;
  COLORREF colour = 0;
  uint32_t at(int x, int y) const { return picture->pixels[y * picture->width + x] & 0xFFFFFF; }
};

inline DrawnControl draw_control(uint32_t id, HWND window = nullptr, UINT state = 0, int width = 120,
                                 int height = 40) {
  DRAWITEMSTRUCT item = {};
  item.itemState = state;
  item.hwndItem = window;
  item.rcItem = {0, 0, width, height};
  auto draw = [&] {
    EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(window), 0, reinterpret_cast<uintptr_t>(&item), 0,
                                       id),
              1u)
        << std::hex << id;
  };
  item.hDC = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, width, height);
  HGDIOBJ previous = SelectObject(item.hDC, bitmap);
  draw();
  DrawnControl drawn;
  drawn.picture = platform::bitmap_part(bitmap, 0, width, height);
  SelectObject(item.hDC, previous);
  DeleteObject(bitmap);
  DeleteDC(item.hDC);
  item.hDC = qvmr_paint_create_dc();
  draw();
  QvmrDrawnText text = {};
  for (int i = 0; qvmr_paint_drawn_text(item.hDC, i, &text); ++i) drawn.texts.push_back(text.text);
  drawn.font = text.font;
  drawn.colour = text.colour;
  qvmr_paint_delete_dc(item.hDC);
  return drawn;
}

}  // namespace support
