// gdi32: the brushes and fonts that the library creates and deletes.
#include <windows.h>

#include <mutex>
#include <set>

#include "win32/gdi_test_api.h"

namespace {

struct GdiObject {
  enum Kind { Brush, Font } kind;
  COLORREF colour = 0;
  int height = 0;
  int weight = 0;
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

}  // namespace

extern "C" {

int qvmr_gdi_live_objects(void) {
  std::lock_guard<std::mutex> guard(gdi_lock());
  return static_cast<int>(live_objects().size());
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
  return static_cast<HBRUSH>(make({GdiObject::Brush, colour, 0, 0}));
}

HFONT WINAPI CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD,
                         DWORD, DWORD, DWORD, LPCSTR) {
  return static_cast<HFONT>(make({GdiObject::Font, 0, height, weight}));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  auto* o = static_cast<GdiObject*>(object);
  std::lock_guard<std::mutex> guard(gdi_lock());
  if (live_objects().erase(o) == 0) return FALSE;
  delete o;
  return TRUE;
}

}  // extern "C"
