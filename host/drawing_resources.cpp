// The drawing resource set: fonts in the faces the machine has, brushes and
// pens, and the drawing of a plain owner-drawn button face. The main face is tested on a hidden
// one-pixel button: when the font mapper answers another face, the machine lacks it and a fallback is used.
#include <iterator>

#include "host/host.h"
#include "host/text.h"

namespace {

constexpr char kMainFace[] = "Calibri";
constexpr char kMainFallbackFace[] = "Trebuchet MS";
constexpr char kTitleFace[] = "Segoe UI Light";
constexpr int kMainFallbackGrowth = 2;
constexpr int kTestFontHeight = 18;
constexpr int kTestFontWeight = 200;

enum class Face { kMain, kTitle, kWebdings, kWingdings, kLowerWebdings, kMarlett };

struct FontSpec {
  FontRole role;
  int height;
  int weight;
  bool grows;  // grows with the main face's fallback
  Face face;
  bool italic;
  bool underline;
};

// The title fonts: in the title face, or in the main face with their own sizes and weights.
struct TitleFontSpec {
  FontRole role;
  int height, weight;
  int height_without, weight_without;
};

constexpr TitleFontSpec kTitleFonts[] = {
    {kFontTitleLarge, 40, 400, 32, 300}, {kFontTitle25, 25, 400, 25, 300},    {kFontTitle20, 20, 400, 20, 300},
    {kFontTitle14, 14, 400, 14, 300},    {kFontTitle17, 17, 400, 17, 300},    {kFontTitle17Bold, 17, 700, 17, 700},
    {kFontTitleHuge, 54, 400, 54, 300},
};

constexpr FontSpec kFonts[] = {
    {kFontSmall, 12, 300, false, Face::kMain, false, false},
    {kFontNormal, 14, 300, true, Face::kMain, false, false},
    {kFontMedium, 16, 450, true, Face::kMain, false, false},
    {kFontNormalItalic, 14, 300, true, Face::kMain, true, false},
    {kFontLabelBold, 16, 600, false, Face::kMain, false, false},
    {kFontLabelBold20, 20, 600, false, Face::kMain, false, false},
    {kFontLabelBoldItalic, 16, 600, false, Face::kMain, true, false},
    {kFontHeading, 24, 400, false, Face::kMain, false, false},
    {kFontHeadingBold, 24, 700, false, Face::kMain, false, false},
    {kFontHeadingBoldUnderlined, 24, 700, false, Face::kMain, false, true},
    {kFontBigBold, 48, 700, false, Face::kMain, false, false},
    {kFontSymbols72, 72, 300, false, Face::kWebdings, false, false},
    {kFontSymbols26, 26, 300, false, Face::kWingdings, false, false},
    {kFontSymbols24, 24, 500, false, Face::kLowerWebdings, false, false},
    {kFontGlyphs14, 14, 300, false, Face::kMarlett, false, false},
    {kFontGlyphs26, 26, 300, false, Face::kMarlett, false, false},
    {kFontGlyphs17Bold, 17, 700, false, Face::kMarlett, false, false},
};
static_assert(std::size(kFonts) + std::size(kTitleFonts) + 1 == kFontRoleCount, "every font made once");

constexpr COLORREF kBrushColours[kBrushRoleCount] = {0xB67231, 0x5A5A5A, 0xFFFFFF, 0xFFFFFF, 0x10B65A,
                                                     0x000000, 0x2BDA32, 0x00FF00, 0x528E37, 0x282DC4,
                                                     0x3FA4A9, 0x00FFFF, 0x80FFFF};
constexpr COLORREF kPenColours[kPenCount] = {0x00FF00, 0xFFFFFF, 0xFFFFFF};
constexpr const char* kBitmapNames[kBitmapRoleCount] = {
    "logonuser",  "redred",     "unchecked", "checked", "rename_white",          "copyprofile_white",
    "doubleplus_white", "server_install", "servers_ad", "clock2", "radioUnselected_white", "radioSelected_white",
    "serverPlus", "serverPlusSelect"};

HFONT make_font(int height, int weight, const char* face, bool italic = false, bool underline = false,
                DWORD charset = DEFAULT_CHARSET) {
  return CreateFontA(height, 0, 0, 0, weight, italic, underline, FALSE, charset, 0, 0, PROOF_QUALITY, 0, face);
}

// Whether the font mapper gives the font's own face on this machine.
bool face_present(HDC dc, HFONT font, const char* face) {
  HGDIOBJ previous = SelectObject(dc, font);
  char mapped[kFaceBytes] = {};
  GetTextFaceA(dc, sizeof mapped, mapped);
  if (previous != nullptr) SelectObject(dc, previous);
  return equal_ignoring_case(mapped, face);
}

// Chooses the main and title faces and makes the test and title fonts.
void choose_faces(DrawingResources& r) {
  // A window that is no child takes no control identifier (Windows refuses one that is no menu): the
  // hidden probe button has none.
  HWND probe = CreateWindowExA(0, "BUTTON", "", 0, 0, 0, 1, 1, nullptr, nullptr, g_library.instance, nullptr);
  HDC dc = probe ? GetDC(probe) : nullptr;
  copy_text(r.main_face, sizeof r.main_face, kMainFace);
  r.growth = 0;
  r.fonts[kFontTest] = make_font(kTestFontHeight, kTestFontWeight, r.main_face);
  if (dc != nullptr && !face_present(dc, r.fonts[kFontTest], r.main_face)) {
    DeleteObject(r.fonts[kFontTest]);
    copy_text(r.main_face, sizeof r.main_face, kMainFallbackFace);
    r.growth = kMainFallbackGrowth;
    r.fonts[kFontTest] = make_font(kTestFontHeight, kTestFontWeight, r.main_face);
  }
  const TitleFontSpec& large = kTitleFonts[0];
  r.fonts[large.role] = make_font(large.height, large.weight, kTitleFace);
  bool title_present = dc != nullptr && face_present(dc, r.fonts[large.role], kTitleFace);
  if (!title_present) DeleteObject(r.fonts[large.role]);
  copy_text(r.title_face, sizeof r.title_face, title_present ? kTitleFace : r.main_face);
  for (const TitleFontSpec& f : kTitleFonts) {
    if (title_present && f.role == large.role) continue;
    r.fonts[f.role] = title_present ? make_font(f.height, f.weight, kTitleFace)
                                    : make_font(f.height_without + r.growth, f.weight_without, r.main_face);
  }
  if (dc != nullptr) ReleaseDC(probe, dc);
  if (probe != nullptr) DestroyWindow(probe);
}

const char* face_name(const DrawingResources& r, Face face) {
  switch (face) {
    case Face::kMain: return r.main_face;
    case Face::kTitle: return r.title_face;
    case Face::kWebdings: return "Webdings";
    case Face::kWingdings: return "Wingdings";
    case Face::kLowerWebdings: return "webdings";
    case Face::kMarlett: return "marlett";
  }
  return r.main_face;
}

template <typename Handle>
void delete_object(Handle* object) {
  if (*object != nullptr) DeleteObject(*object);
  *object = nullptr;
}

}  // namespace

void create_drawing_resources() {
  DrawingResources& r = g_library.drawing;
  if (r.created) return;
  r.created = true;
  choose_faces(r);
  for (const FontSpec& f : kFonts) {
    bool symbols = f.face != Face::kMain && f.face != Face::kTitle;
    r.fonts[f.role] = make_font(f.height + (f.grows ? r.growth : 0), f.weight, face_name(r, f.face), f.italic,
                                f.underline, symbols ? SYMBOL_CHARSET : DEFAULT_CHARSET);
  }
  for (int i = 0; i < kBrushRoleCount; ++i) r.brushes[i] = CreateSolidBrush(kBrushColours[i]);
  for (int i = 0; i < kPenCount; ++i) r.pens[i] = CreatePen(PS_INSIDEFRAME, 1, kPenColours[i]);
  for (int i = 0; i < kBitmapRoleCount; ++i) r.bitmaps[i] = LoadBitmapA(g_library.instance, kBitmapNames[i]);
  g_library.title_band_brush = r.brushes[kBrushTitleBand];
  g_library.white_brush = r.brushes[kBrushWhite];
  g_library.big_bold_font = r.fonts[kFontBigBold];
  g_library.heading_bold_font = r.fonts[kFontHeadingBold];
  g_library.medium_font = r.fonts[kFontMedium];
}

void release_drawing_resources() {
  DrawingResources& r = g_library.drawing;
  for (HFONT& font : r.fonts) delete_object(&font);
  for (HBRUSH& brush : r.brushes) delete_object(&brush);
  for (HPEN& pen : r.pens) delete_object(&pen);
  for (HBITMAP& bitmap : r.bitmaps) delete_object(&bitmap);
  r.created = false;
  g_library.title_band_brush = nullptr;
  g_library.white_brush = nullptr;
  g_library.big_bold_font = nullptr;
  g_library.heading_bold_font = nullptr;
  g_library.medium_font = nullptr;
}

void bitmap_extent(BitmapRole role, int* width, int* height) {
  BITMAP size = {};
  HBITMAP bitmap = g_library.drawing.bitmaps[role];
  bool known = bitmap != nullptr && GetObjectA(bitmap, sizeof size, &size) != 0;
  *width = known ? size.bmWidth : 0;
  *height = known ? size.bmHeight : 0;
}

int draw_bitmap(HDC dc, BitmapRole role, int x, int y) {
  HBITMAP bitmap = g_library.drawing.bitmaps[role];
  BITMAP size = {};
  if (bitmap == nullptr || !GetObjectA(bitmap, sizeof size, &size)) return 0;
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return 0;
  HGDIOBJ previous = SelectObject(source, bitmap);
  TransparentBlt(dc, x, y, size.bmWidth, size.bmHeight, source, 0, 0, size.bmWidth, size.bmHeight,
                 kBitmapTransparent);
  SelectObject(source, previous);
  DeleteDC(source);
  return size.bmWidth;
}

void draw_button_face(const DRAWITEMSTRUCT* item, HBRUSH face, COLORREF caption_colour, const char* caption) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, face);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, caption_colour);
  DrawTextA(item->hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
