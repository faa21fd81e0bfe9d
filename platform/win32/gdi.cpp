// gdi32: the brushes and fonts that the library creates and deletes, and
// the deletion of bitmaps (made by the memory device contexts).
#include <windows.h>

#include <strings.h>

#include <cstring>
#include <mutex>
#include <set>
#include <sstream>

#include "chartdir/memory_dc.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_test_api.h"
#include "win32/kernel_objects.h"
#include "world/world.h"

namespace {

struct GdiObject {
  enum Kind { Brush, Font, Pen } kind;
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

// A machine without a [fonts] list in its machine.ini has the faces of a current Windows.
constexpr char kDefaultFaces[] =
    "Arial, Calibri, Marlett, Microsoft Sans Serif, Segoe UI, Segoe UI Light, Tahoma, Trebuchet MS, Webdings, "
    "Wingdings";
// What the font mapper falls back to for a face the machine lacks.
constexpr char kFallbackFace[] = "Arial";

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

bool pen_colour(HGDIOBJ object, COLORREF* colour) {
  std::lock_guard<std::mutex> guard(gdi_lock());
  GdiObject* o = find_live(object);
  if (o == nullptr || o->kind != GdiObject::Pen) return false;
  *colour = o->colour;
  return true;
}

// The console machine's faces: machine.ini [fonts] installed = a comma-separated list.
std::string installed_face(const std::string& requested) {
  world::ensure_open();
  const world::Machine* console = world::find_machine(world::console_machine());
  std::string faces = console ? console->setting("fonts", "installed", kDefaultFaces) : kDefaultFaces;
  std::istringstream list(faces);
  for (std::string face; std::getline(list, face, ',');) {
    size_t first = face.find_first_not_of(' '), last = face.find_last_not_of(' ');
    if (first == std::string::npos) continue;
    face = face.substr(first, last - first + 1);
    if (strcasecmp(face.c_str(), requested.c_str()) == 0) return face;
  }
  return kFallbackFace;
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

HFONT WINAPI CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD underline, DWORD, DWORD charset,
                         DWORD, DWORD, DWORD, DWORD, LPCSTR face) {
  GdiObject font = {GdiObject::Font, 0,
                    {height < 0 ? -height : height, weight, italic != 0, underline != 0, static_cast<int>(charset),
                     face ? face : ""}};
  return static_cast<HFONT>(make(font));
}

// Every device context is a screen's of 96 pixels per logical inch.
int WINAPI GetDeviceCaps(HDC, int index) {
  if (index == LOGPIXELSY) return 96;
  platform::unsupported("GetDeviceCaps", "an index other than LOGPIXELSY");
  return 0;
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
  if (style != PS_INSIDEFRAME || width != 1) {
    platform::unsupported("CreatePen", "a pen other than a one-pixel inside frame");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HPEN>(make({GdiObject::Pen, colour, {}}));
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
