// gdi32 and user32 text on owner-drawn and custom-drawn controls. There is no
// screen: a device context made through the test API records the text drawn
// on it, a memory device context draws in its bitmap (chartdir/memory_dc.h);
// other device contexts only have their arguments checked.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "chartdir/memory_dc.h"
#include "win32/kernel_objects.h"
#include "win32/paint_test_api.h"
#include "win32/ui_internal.h"

namespace {

struct RecordingDc {
  COLORREF colour = 0;
  int background_mode = 2;  // OPAQUE
  HGDIOBJ font = nullptr;
  std::vector<QvmrDrawnText> texts;
  int images = 0;  // bitmaps drawn (StretchDIBits)
};

std::mutex& paint_lock() {
  static std::mutex lock;
  return lock;
}

std::map<HDC, RecordingDc>& recording_dcs() {
  static auto& dcs = *new std::map<HDC, RecordingDc>;
  return dcs;
}

// The device context each window is painted on (UpdateWindow), made on its first paint.
std::map<HWND, HDC>& window_dcs() {
  static auto& dcs = *new std::map<HWND, HDC>;
  return dcs;
}

RecordingDc* find_dc(HDC dc) {
  auto at = recording_dcs().find(dc);
  return at == recording_dcs().end() ? nullptr : &at->second;
}

void record(HDC dc, int x, int y, const char* text, int length) {
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr) return;
  QvmrDrawnText drawn = {};
  drawn.x = x;
  drawn.y = y;
  drawn.colour = d->colour;
  drawn.font = d->font;
  drawn.images_before = d->images;
  size_t n = std::min(static_cast<size_t>(length), sizeof drawn.text - 1);
  std::memcpy(drawn.text, text, n);
  d->texts.push_back(drawn);
}

// A DIB's source rectangle as a picture, rows top-down; false (and why in *error) for a
// format the layer does not draw or a rectangle outside the image.
bool dib_picture(int source_x, int source_y, int source_width, int source_height, const void* bits,
                 const BITMAPINFO* info, UINT usage, DWORD rop, platform::Picture* out, const char** unsupported) {
  *unsupported = nullptr;
  if (bits == nullptr || info == nullptr) return false;
  BITMAPINFOHEADER h;  // copied: a header inside a bitmap file's bytes need not be aligned
  std::memcpy(&h, info, sizeof h);
  if (h.biSize < sizeof h) return false;
  if (rop != SRCCOPY) *unsupported = "a raster operation other than SRCCOPY";
  else if (usage != DIB_RGB_COLORS) *unsupported = "palette indices";
  else if (h.biCompression != BI_RGB || (h.biBitCount != 24 && h.biBitCount != 32)) *unsupported = "a DIB other than 24- or 32-bit BI_RGB";
  else if (source_width <= 0 || source_height <= 0) *unsupported = "a mirrored source";
  if (*unsupported != nullptr) return false;
  int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (width <= 0 || height == 0 || source_x < 0 || source_y < 0 || source_x + source_width > width ||
      source_y + source_height > height)
    return false;
  size_t bytes = h.biBitCount / 8u, stride = (static_cast<size_t>(width) * bytes + 3) & ~static_cast<size_t>(3);
  // A bottom-up DIB's origin is its lower left corner: the source rectangle counts up from the last row.
  int top = h.biHeight < 0 ? source_y : height - source_y - source_height;
  out->width = source_width;
  out->height = source_height;
  out->pixels.resize(static_cast<size_t>(source_width) * source_height);
  for (int row = 0; row < source_height; ++row) {
    int image_row = top + row, stored = h.biHeight < 0 ? image_row : height - 1 - image_row;
    const BYTE* in = static_cast<const BYTE*>(bits) + stride * static_cast<size_t>(stored) + bytes * source_x;
    uint32_t* to = &out->pixels[static_cast<size_t>(row) * source_width];
    for (int i = 0; i < source_width; ++i, in += bytes)
      to[i] = 0xFF000000u | static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[1]) << 8 | in[0];
  }
  return true;
}

}  // namespace

namespace platform {

void release_window_dcs() {
  std::lock_guard<std::mutex> guard(paint_lock());
  for (const auto& [window, dc] : window_dcs())
    if (recording_dcs().erase(dc)) delete reinterpret_cast<char*>(dc);
  window_dcs().clear();
}

}  // namespace platform

extern "C" {

HDC qvmr_paint_window_dc(HWND window) {
  std::lock_guard<std::mutex> guard(paint_lock());
  HDC& dc = window_dcs()[window];
  if (dc == nullptr) {
    dc = reinterpret_cast<HDC>(new char);
    recording_dcs()[dc];
  }
  return dc;
}

int qvmr_paint_drawn_images(HDC dc) {
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  return d ? d->images : 0;
}

HDC qvmr_paint_create_dc(void) {
  HDC dc = reinterpret_cast<HDC>(new char);  // a distinct address until deleted
  std::lock_guard<std::mutex> guard(paint_lock());
  recording_dcs()[dc];
  return dc;
}

void qvmr_paint_delete_dc(HDC dc) {
  std::lock_guard<std::mutex> guard(paint_lock());
  if (recording_dcs().erase(dc)) delete reinterpret_cast<char*>(dc);
}

int qvmr_paint_drawn_texts(HDC dc) {
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  return d ? static_cast<int>(d->texts.size()) : 0;
}

BOOL qvmr_paint_drawn_text(HDC dc, int index, QvmrDrawnText* out) {
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr || out == nullptr || index < 0 || index >= static_cast<int>(d->texts.size())) return FALSE;
  *out = d->texts[static_cast<size_t>(index)];
  return TRUE;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour) {
  if (platform::is_memory_dc(dc)) return platform::memory_dc_set_text_colour(dc, colour);
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr) return 0;
  COLORREF old = d->colour;
  d->colour = colour;
  return old;
}

int WINAPI SetBkMode(HDC dc, int mode) {
  if (platform::is_memory_dc(dc)) return platform::memory_dc_set_background_mode(dc, mode);
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr) return 2;  // OPAQUE before
  int old = d->background_mode;
  d->background_mode = mode;
  return old;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  if (platform::is_memory_dc(dc)) return platform::memory_dc_select(dc, object);
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr || object == nullptr) return nullptr;
  HGDIOBJ old = d->font;
  d->font = object;
  return old;
}

BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (text == nullptr || length < 0) return FALSE;
  if (platform::is_memory_dc(dc)) return platform::memory_dc_text_out(dc, x, y, text, length);
  record(dc, x, y, text, length);
  return TRUE;
}

int WINAPI DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
  if (text == nullptr || rect == nullptr) return 0;
  if (platform::is_memory_dc(dc)) return platform::memory_dc_draw_text(dc, text, length, rect, format);
  if (length < 0) length = static_cast<int>(std::strlen(text));
  record(dc, rect->left, rect->top, text, length);
  return length ? 16 : 0;  // the height of one line
}

// The copy lands on a memory device context's bitmap, and is counted on one that records.
int WINAPI StretchDIBits(HDC dc, int x, int y, int width, int height, int source_x, int source_y, int source_width,
                         int source_height, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  platform::Picture picture;
  const char* unsupported = nullptr;
  if (!dib_picture(source_x, source_y, source_width, source_height, bits, info, usage, rop, &picture, &unsupported) ||
      width <= 0 || height <= 0) {
    if (unsupported != nullptr) platform::unsupported("StretchDIBits", unsupported);
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (platform::is_memory_dc(dc)) {
    platform::memory_dc_draw_picture(dc, x, y, width, height, picture);
    return source_height;
  }
  std::lock_guard<std::mutex> guard(paint_lock());
  RecordingDc* d = find_dc(dc);
  if (d == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  ++d->images;
  return source_height;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (platform::is_memory_dc(dc)) return platform::memory_dc_fill(dc, rect, brush);
  return rect != nullptr && brush != nullptr;
}

}  // extern "C"
