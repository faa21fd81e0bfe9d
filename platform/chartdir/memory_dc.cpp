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
#include "win32/modules.h"

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
  if (!font || !platform::describe_font(font, &described)) {
    described = {};
    described.height = 16;
    described.weight = FW_NORMAL;
    described.face = "MS Shell Dlg";
  }
  *pixel_height = described.height ? described.height : 16;
  return chartdir::font_of_face(described.face, described.weight, described.italic);
}

uint32_t le(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// An uncompressed 24- or 32-bit BMP file as an opaque surface; null for any other file.
cairo_surface_t* decode_bmp(const std::string& file) {
  if (file.size() < 54 || file.compare(0, 2, "BM") != 0 || le(file, 14, 4) < 40) return nullptr;
  int width = static_cast<int32_t>(le(file, 18, 4));
  int height = static_cast<int32_t>(le(file, 22, 4));
  uint32_t bits = le(file, 28, 2), compression = le(file, 30, 4), offset = le(file, 10, 4);
  bool top_down = height < 0;
  height = std::abs(height);
  if (width <= 0 || height == 0 || width > 4096 || height > 4096 || (bits != 24 && bits != 32) || compression != 0)
    return nullptr;
  size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) & ~static_cast<size_t>(3);
  if (offset > file.size() || (file.size() - offset) / stride < static_cast<size_t>(height)) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  int out_stride = cairo_image_surface_get_stride(surface);
  for (int row = 0; row < height; ++row) {
    const char* in = file.data() + offset + stride * static_cast<size_t>(top_down ? row : height - 1 - row);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(row) * out_stride);
    for (int x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(in + static_cast<size_t>(x) * bits / 8);
      out[x] = 0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

HBITMAP add_bitmap(cairo_surface_t* surface) {
  auto* b = new Bitmap{surface};
  HBITMAP handle = reinterpret_cast<HBITMAP>(b);
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  state().bitmaps[handle] = b;
  return handle;
}

// The surface selected into a memory device context; null for any other device context.
cairo_surface_t* selected_surface(HDC dc) {
  MemoryDc* d = find_dc(dc);
  return d && d->bitmap ? d->bitmap->surface : nullptr;
}

// Paints a whole surface onto another, scaled to the rectangle, pixel for pixel (the stretch
// mode a screen device context starts with drops rows and columns; it never blends them).
// Over keeps what lies under the part's transparent pixels; else the part replaces it.
void paint_scaled(cairo_surface_t* to, cairo_surface_t* part, int x, int y, int width, int height, bool over) {
  cairo_t* cr = cairo_create(to);
  cairo_rectangle(cr, x, y, width, height);
  cairo_clip(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, static_cast<double>(width) / cairo_image_surface_get_width(part),
              static_cast<double>(height) / cairo_image_surface_get_height(part));
  cairo_set_source_surface(cr, part, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, over ? CAIRO_OPERATOR_OVER : CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
}

// Copies a part of the source's bitmap onto the destination's, scaled to the destination's
// rectangle; with a transparent colour its pixels are left out. A destination that is not a
// memory device context (one that records texts) takes the copy without showing it.
BOOL copy_bits(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
               int source_width, int source_height, const COLORREF* transparent) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  cairo_surface_t* from = selected_surface(source);
  if (from == nullptr || width <= 0 || height <= 0 || source_width <= 0 || source_height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!find_dc(dc)) return TRUE;
  cairo_surface_t* to = selected_surface(dc);
  if (to == nullptr) return TRUE;
  cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, source_width, source_height);
  cairo_t* copy = cairo_create(part);
  cairo_set_source_surface(copy, from, -source_x, -source_y);
  cairo_set_operator(copy, CAIRO_OPERATOR_SOURCE);
  cairo_paint(copy);
  cairo_destroy(copy);
  cairo_surface_flush(part);
  if (transparent != nullptr) {
    uint32_t key = (*transparent & 0xFF) << 16 | (*transparent & 0xFF00) | (*transparent >> 16 & 0xFF);
    unsigned char* data = cairo_image_surface_get_data(part);
    int stride = cairo_image_surface_get_stride(part);
    for (int row = 0; row < source_height; ++row) {
      auto* pixel = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(row) * stride);
      for (int i = 0; i < source_width; ++i)
        if ((pixel[i] & 0xFFFFFF) == key) pixel[i] = 0;
    }
    cairo_surface_mark_dirty(part);
  }
  paint_scaled(to, part, x, y, width, height, transparent != nullptr);
  cairo_surface_destroy(part);
  return TRUE;
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

bool memory_dc_draw_picture(HDC dc, int x, int y, int width, int height, const Picture& picture) {
  std::lock_guard<std::recursive_mutex> guard(state().lock);
  if (!find_dc(dc)) return false;
  cairo_surface_t* to = selected_surface(dc);
  if (to == nullptr) return true;  // a window's device context: nothing drawn on it shows
  cairo_surface_t* part = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(picture.pixels.data())), CAIRO_FORMAT_ARGB32,
      picture.width, picture.height, picture.width * 4);
  paint_scaled(to, part, x, y, width, height, false);
  cairo_surface_destroy(part);
  return true;
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

// Off-screen drawing only: the one "screen" device context exists to make compatible ones. A
// window's device context is a memory one without a bitmap: fonts can be selected and asked
// about, nothing drawn on it shows, and ReleaseDC deletes it.
HDC WINAPI GetDC(HWND window) {
  if (window != nullptr) {
    if (!IsWindow(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    return CreateCompatibleDC(nullptr);
  }
  static char screen;
  return reinterpret_cast<HDC>(&screen);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
  if (window != nullptr && !DeleteDC(dc)) return 0;
  return 1;
}

// The face that the font selected into the device context got from the font mapper.
int WINAPI GetTextFaceA(HDC dc, int count, LPSTR face) {
  HGDIOBJ font = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(state().lock);
    MemoryDc* d = find_dc(dc);
    if (d == nullptr) {
      platform::unsupported("GetTextFaceA", "a device context that is not a memory one");
      return 0;
    }
    font = d->font;
  }
  platform::FontDescription described;
  std::string mapped = platform::installed_face(font && platform::describe_font(font, &described) ? described.face
                                                                                                  : "MS Shell Dlg");
  if (face == nullptr || count <= 0) return static_cast<int>(mapped.size()) + 1;
  size_t n = std::min(mapped.size(), static_cast<size_t>(count) - 1);
  std::memcpy(face, mapped.data(), n);
  face[n] = '\0';
  return static_cast<int>(n);
}

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
  return add_bitmap(new_surface(width, height));
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    platform::unsupported("LoadBitmapA", "numbered or system bitmaps");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const std::string* file = platform::module_bitmap_file(instance, name);
  cairo_surface_t* surface = file ? decode_bmp(*file) : nullptr;
  if (surface == nullptr) {
    SetLastError(file ? ERROR_INVALID_DATA : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return add_bitmap(surface);
}

// Bitmaps only: the other objects are described through their own calls.
int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID out) {
  int width = 0, height = 0;
  if (!platform::bitmap_size(static_cast<HBITMAP>(object), &width, &height)) {
    platform::unsupported("GetObjectA", "an object that is not a bitmap");
    return 0;
  }
  if (out == nullptr) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP described = {0, width, height, width * 4, 1, 32, nullptr};
  std::memcpy(out, &described, sizeof described);
  return sizeof described;
}

BOOL WINAPI StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
                       int source_width, int source_height, DWORD rop) {
  if (rop != SRCCOPY) {
    platform::unsupported("BitBlt and StretchBlt", "a raster operation other than SRCCOPY");
    return FALSE;
  }
  return copy_bits(dc, x, y, width, height, source, source_x, source_y, source_width, source_height, nullptr);
}

BOOL WINAPI BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y, DWORD rop) {
  return StretchBlt(dc, x, y, width, height, source, source_x, source_y, width, height, rop);
}

BOOL WINAPI TransparentBlt(HDC dc, int x, int y, int width, int height, HDC source, int source_x, int source_y,
                           int source_width, int source_height, UINT transparent) {
  COLORREF key = transparent;
  return copy_bits(dc, x, y, width, height, source, source_x, source_y, source_width, source_height, &key);
}

}  // extern "C"
