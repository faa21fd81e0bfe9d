// Memory device contexts and bitmaps on cairo image surfaces.
#include "chartdir/memory_dc.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "chartdir/drawing.h"
#include "win32/gdi_objects.h"
#include "win32/kernel_objects.h"

namespace {

struct Bitmap {
  cairo_surface_t* surface;  // ARGB32
};

struct MemoryDc {
  Bitmap* bitmap = nullptr;  // the selected bitmap; the default one until the caller selects its own
  Bitmap default_bitmap{nullptr};
  HGDIOBJ font = nullptr;
  HGDIOBJ brush = nullptr;
  COLORREF text_colour = 0;
  int background_mode = 2;  // OPAQUE
};

struct DcState {
  std::recursive_mutex lock;
  std::map<HDC, MemoryDc*> dcs;
  std::map<HGDIOBJ, Bitmap*> bitmaps;
};

DcState& state() {
  static DcState& s = *new DcState;
  return s;
}

MemoryDc* find_dc(HDC dc) {
  auto it = state().dcs.find(dc);
  return it == state().dcs.end() ? nullptr : it->second;
}

Bitmap* find_bitmap(HGDIOBJ object) {
  auto it = state().bitmaps.find(object);
  return it == state().bitmaps.end() ? nullptr : it->second;
}

cairo_surface_t* new_surface(int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width), std::max(1, height));
  // A new bitmap is black, as a screen-compatible bitmap is.
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return surface;
}

// Drawing on the bitmap selected into a device context; null when there is none to draw on.
cairo_t* context_of(MemoryDc* d) {
  Bitmap* b = d ? d->bitmap : nullptr;
  return b && b->surface ? cairo_create(b->surface) : nullptr;
}

chartdir::FontFace face_of(HGDIOBJ font, int* pixel_height) {
  platform::FontDescription described;
  if (!font || !platform::describe_font(font, &described)) described = {16, FW_NORMAL, false, "MS Shell Dlg"};
  *pixel_height = described.height ? described.height : 16;
  return chartdir::font_of_face(described.face, described.weight, described.italic);
}

}  // namespace

namespace platform {

bool is_memory_dc(HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  return find_dc(dc) != nullptr;
}

COLORREF memory_dc_set_text_colour(HDC dc, COLORREF colour) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  MemoryDc* d = find_dc(dc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->text_colour, colour);
}

int memory_dc_set_background_mode(HDC dc, int mode) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  MemoryDc* d = find_dc(dc);
  return d ? std::exchange(d->background_mode, mode) : 0;
}

HGDIOBJ memory_dc_select(HDC dc, HGDIOBJ object) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  MemoryDc* d = find_dc(dc);
  if (!d || !object) return nullptr;
  if (object == static_cast<HGDIOBJ>(&d->default_bitmap)) {
    d->bitmap = &d->default_bitmap;
    return nullptr;
  }
  if (Bitmap* b = find_bitmap(object)) {
    Bitmap* previous = std::exchange(d->bitmap, b);
    for (const auto& [handle, bitmap] : state().bitmaps)
      if (bitmap == previous) return handle;
    return static_cast<HGDIOBJ>(&d->default_bitmap);
  }
  COLORREF colour;
  if (brush_colour(object, &colour)) return std::exchange(d->brush, object);
  FontDescription described;
  if (describe_font(object, &described)) return std::exchange(d->font, object);
  return nullptr;
}

int memory_dc_fill(HDC dc, const RECT* rect, HBRUSH brush) {
  COLORREF colour;
  if (!rect || !brush_colour(brush, &colour)) return 0;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  cairo_t* cr = context_of(find_dc(dc));
  if (!cr) return 0;
  chartdir::set_source_colorref(cr, colour);
  cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  cairo_fill(cr);
  cairo_destroy(cr);
  return 1;
}

int memory_dc_draw_text(HDC dc, const char* text, int length, const RECT* rect, UINT format) {
  if (!text || !rect) return 0;
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  MemoryDc* d = find_dc(dc);
  cairo_t* cr = context_of(d);
  if (!cr) return 0;
  int pixel_height = 0;
  chartdir::FontFace face = face_of(d->font, &pixel_height);
  std::string shown(text, length < 0 ? std::strlen(text) : static_cast<size_t>(length));
  // An opaque background would fill behind the text in white; the library draws transparently only.
  if (d->background_mode != TRANSPARENT) unsupported("DrawTextA", "an opaque background");
  int height = chartdir::draw_plain_text(cr, shown, face, pixel_height, d->text_colour, *rect, format);
  cairo_destroy(cr);
  return height;
}

BOOL memory_dc_text_out(HDC dc, int x, int y, const char* text, int length) {
  RECT area = {x, y, 0x7FFF, 0x7FFF};
  return memory_dc_draw_text(dc, text, length, &area, DT_SINGLELINE) >= 0;
}

bool delete_bitmap(HGDIOBJ object) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  Bitmap* b = find_bitmap(object);
  if (!b) return false;
  for (auto& [handle, dc] : state().dcs)
    if (dc->bitmap == b) dc->bitmap = &dc->default_bitmap;
  cairo_surface_destroy(b->surface);
  delete b;
  state().bitmaps.erase(object);
  return true;
}

bool bitmap_size(HBITMAP bitmap, int* width, int* height) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  Bitmap* b = find_bitmap(bitmap);
  if (!b) return false;
  *width = cairo_image_surface_get_width(b->surface);
  *height = cairo_image_surface_get_height(b->surface);
  return true;
}

std::shared_ptr<const Picture> bitmap_part(HBITMAP bitmap, int x, int width, int height) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  Bitmap* b = find_bitmap(bitmap);
  if (!b) return nullptr;
  cairo_surface_flush(b->surface);
  int full_width = cairo_image_surface_get_width(b->surface), full_height = cairo_image_surface_get_height(b->surface);
  if (x < 0 || width <= 0 || height <= 0 || x + width > full_width || height > full_height) return nullptr;
  auto picture = std::make_shared<Picture>();
  picture->width = width;
  picture->height = height;
  picture->pixels.resize(static_cast<size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(b->surface);
  int stride = cairo_image_surface_get_stride(b->surface);
  for (int row = 0; row < height; ++row)
    std::memcpy(&picture->pixels[static_cast<size_t>(row) * width], data + static_cast<size_t>(row) * stride + x * 4,
                static_cast<size_t>(width) * 4);
  return picture;
}

bool write_picture_png(const Picture& picture, const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(picture.pixels.data())), CAIRO_FORMAT_ARGB32,
      picture.width, picture.height, picture.width * 4);
  bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written;
}

}  // namespace platform

extern "C" {

// Off-screen drawing only: the one "screen" device context exists to make compatible ones.
HDC WINAPI GetDC(HWND window) {
  if (window != nullptr) {
    platform::unsupported("GetDC", "a window's device context");
    return nullptr;
  }
  static char screen;
  return reinterpret_cast<HDC>(&screen);
}

int WINAPI ReleaseDC(HWND, HDC) { return 1; }

HDC WINAPI CreateCompatibleDC(HDC) {
  auto* d = new MemoryDc;
  d->bitmap = &d->default_bitmap;
  HDC handle = reinterpret_cast<HDC>(d);
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  state().dcs[handle] = d;
  return handle;
}

BOOL WINAPI DeleteDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  MemoryDc* d = find_dc(dc);
  if (!d) return FALSE;
  state().dcs.erase(dc);
  delete d;
  return TRUE;
}

// Bitmaps are 32-bit colour whatever the device context: the library makes them for a screen.
HBITMAP WINAPI CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* b = new Bitmap{new_surface(width, height)};
  HBITMAP handle = reinterpret_cast<HBITMAP>(b);
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  state().bitmaps[handle] = b;
  return handle;
}

}  // extern "C"
