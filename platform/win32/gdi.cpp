// gdi32: the brushes and fonts that the library creates and deletes, and
// the deletion of bitmaps (made by the memory device contexts).
#include <windows.h>

#include <mutex>
#include <set>

#include "chartdir/memory_dc.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_test_api.h"

namespace {

struct GdiObject {
  enum Kind { Brush, Font } kind;
  COLORREF colour = 0;
  platform::FontDescription font;
};

std::mutex& gdi_lock() {
  static std::mutex lock;
  return lock;
}

std::set<GdiObject*>& live_objects() {
  static auto& objects = *new std::set<GdiObject*>;
  return objects;
}

HGDIOBJ make(GdiObject object) {
  auto* o = new GdiObject(object);
  std::lock_guard<std::mutex> guard(gdi_lock());
  live_objects().insert(o);
  return o;
}

GdiObject* find_live(HGDIOBJ object) {
  auto* o = static_cast<GdiObject*>(object);
  return live_objects().count(o) ? o : nullptr;
}

}  // namespace

namespace platform {

bool brush_colour(HGDIOBJ object, COLORREF* colour) {
  std::lock_guard<std::mutex> guard(gdi_lock());
  GdiObject* o = find_live(object);
  if (o == nullptr || o->kind != GdiObject::Brush) return false;
  *colour = o->colour;
  return true;
}

bool describe_font(HGDIOBJ object, FontDescription* description) {
  std::lock_guard<std::mutex> guard(gdi_lock());
  GdiObject* o = find_live(object);
  if (o == nullptr || o->kind != GdiObject::Font) return false;
  *description = o->font;
  return true;
}

}  // namespace platform

extern "C" {

int qvmr_gdi_live_objects(void) {
  std::lock_guard<std::mutex> guard(gdi_lock());
  return static_cast<int>(live_objects().size());
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
  return static_cast<HBRUSH>(make({GdiObject::Brush, colour, {}}));
}

HFONT WINAPI CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD,
                         DWORD, DWORD, DWORD, LPCSTR face) {
  GdiObject font = {GdiObject::Font, 0, {height < 0 ? -height : height, weight, italic != 0, face ? face : ""}};
  return static_cast<HFONT>(make(font));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  if (platform::delete_bitmap(object)) return TRUE;
  auto* o = static_cast<GdiObject*>(object);
  std::lock_guard<std::mutex> guard(gdi_lock());
  if (live_objects().erase(o) == 0) return FALSE;
  delete o;
  return TRUE;
}

}  // extern "C"
