// Tests: a device context that records the text drawn on it.
#pragma once
#include <windows.h>

typedef struct QvmrDrawnText {
  int x, y;          // TextOutA's position, or the rectangle's top left for DrawTextA
  COLORREF colour;   // the text colour when it was drawn
  HGDIOBJ font;      // the object last selected (the font) when it was drawn
  char text[260];
  int images_before;  // how many bitmaps had been drawn on the device context before the text
} QvmrDrawnText;

#ifdef __cplusplus
extern "C" {
#endif
HDC qvmr_paint_create_dc(void);
void qvmr_paint_delete_dc(HDC dc);
// How many texts were drawn on the device context, and the one at index.
int qvmr_paint_drawn_texts(HDC dc);
BOOL qvmr_paint_drawn_text(HDC dc, int index, QvmrDrawnText* out);
// How many bitmaps (StretchDIBits) were drawn on the device context.
int qvmr_paint_drawn_images(HDC dc);
// The device context that records what a window's paints drew (UpdateWindow of an owner-drawn
// button asks its parent to draw it there); kept until ui::reset.
HDC qvmr_paint_window_dc(HWND window);
#ifdef __cplusplus
}
#endif
