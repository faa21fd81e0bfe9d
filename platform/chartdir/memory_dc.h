// Memory device contexts and bitmaps on cairo: what the library draws off
// screen (report definition tiles, owner-drawn controls) lands in real pixels.
// gdi32's and user32's drawing calls forward here for a memory device context.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

bool is_memory_dc(HDC dc);
COLORREF memory_dc_set_text_colour(HDC dc, COLORREF colour);
int memory_dc_set_background_mode(HDC dc, int mode);
// Selects a bitmap, font or brush; returns the object of that kind selected before.
HGDIOBJ memory_dc_select(HDC dc, HGDIOBJ object);
int memory_dc_fill(HDC dc, const RECT* rect, HBRUSH brush);
int memory_dc_draw_text(HDC dc, const char* text, int length, const RECT* rect, UINT format);
BOOL memory_dc_text_out(HDC dc, int x, int y, const char* text, int length);
// DeleteObject of a bitmap; false when the object is no bitmap.
bool delete_bitmap(HGDIOBJ object);

// Pixels of an image: 0xAARRGGBB words, rows top-down.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};
// Draws an opaque picture scaled to the rectangle on the device context's bitmap; false when
// the device context is no memory one.
bool memory_dc_draw_picture(HDC dc, int x, int y, int width, int height, const Picture& picture);
// The part of a bitmap at (x, 0) of that width and height; null when the object is no bitmap
// or the part does not lie inside it.
std::shared_ptr<const Picture> bitmap_part(HBITMAP bitmap, int x, int width, int height);
// The bitmap's size; false when the object is no bitmap.
bool bitmap_size(HBITMAP bitmap, int* width, int* height);
// Writes a picture as a PNG file at a path of this computer.
bool write_picture_png(const Picture& picture, const std::string& path);

}  // namespace platform
