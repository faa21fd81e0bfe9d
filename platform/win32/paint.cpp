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
#include "win32/paint_test_api.h"

namespace {

struct RecordingDc {
  COLORREF colour = 0;
  int background_mode = 2;  // OPAQUE
  HGDIOBJ font = nullptr;
  std::vector<QvmrDrawnText> texts;
};

std::mutex& paint_lock() {
  static std::mutex lock;
  return lock;
}

std::map<HDC, RecordingDc>& recording_dcs() {
  static auto& dcs = *new std::map<HDC, RecordingDc>;
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
  size_t n = std::min(static_cast<size_t>(length), sizeof drawn.text - 1);
  std::memcpy(drawn.text, text, n);
  d->texts.push_back(drawn);
}

}  // namespace

extern "C" {

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

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (platform::is_memory_dc(dc)) return platform::memory_dc_fill(dc, rect, brush);
  return rect != nullptr && brush != nullptr;
}

}  // extern "C"
