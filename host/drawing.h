// The drawing resource set of the owner-drawn controls: fonts chosen by the
// faces the machine has, brushes and pens, created once and deleted at detach.
#pragma once
#include <cstddef>

#include "host/win32.h"

enum FontRole : int {
  kFontTest,  // the face test font: 18, weight 200, main face
  kFontTitleLarge,
  kFontTitle25,
  kFontTitle20,
  kFontTitle14,
  kFontTitle17,
  kFontTitle17Bold,
  kFontTitleHuge,
  kFontSmall,
  kFontNormal,
  kFontMedium,  // controls in styled-dialog mode
  kFontNormalItalic,
  kFontLabelBold,
  kFontLabelBold20,
  kFontLabelBoldItalic,
  kFontHeading,
  kFontHeadingBold,
  kFontHeadingBoldUnderlined,
  kFontBigBold,
  kFontSymbols72,
  kFontSymbols26,
  kFontSymbols24,
  kFontGlyphs14,
  kFontGlyphs26,
  kFontGlyphs17Bold,
  kFontRoleCount,
};

enum BrushRole : int {
  kBrushTitleBand,
  kBrushGrey,
  kBrushWhite,
  kBrushSecondWhite,
  kBrushGreen,
  kBrushBlack,
  kBrushBrightGreen,
  kBrushPureGreen,
  kBrushDarkGreen,
  kBrushRed,
  kBrushOlive,
  kBrushYellow,
  kBrushPaleYellow,
  kBrushRoleCount,
};

// The bitmaps of the library's resources, in the order of their names in kBitmapNames.
enum BitmapRole : int {
  kBitmapLogonUser,
  kBitmapRedRed,
  kBitmapUnchecked,
  kBitmapChecked,
  kBitmapRenameWhite,
  kBitmapCopyProfileWhite,
  kBitmapDoublePlusWhite,
  kBitmapServerInstall,
  kBitmapServersAd,
  kBitmapClock,
  kBitmapRadioUnselected,
  kBitmapRadioSelected,
  kBitmapServerPlus,
  kBitmapServerPlusSelect,
  kBitmapRoleCount,
};
// The colour that the bitmaps leave transparent.
constexpr COLORREF kBitmapTransparent = 0xFF00FF;

constexpr int kPenCount = 3;
constexpr size_t kFaceBytes = 32;

struct DrawingResources {
  bool created;
  char main_face[kFaceBytes];   // "Calibri", or "Trebuchet MS" on a machine without it
  char title_face[kFaceBytes];  // "Segoe UI Light", or the main face on a machine without it
  int growth;                   // what the sizes that follow the main face grow by: 2 without Calibri
  HFONT fonts[kFontRoleCount];
  HBRUSH brushes[kBrushRoleCount];
  HPEN pens[kPenCount];
  HBITMAP bitmaps[kBitmapRoleCount];  // null for one the resources lack
};

// Creates the set on first use (choosing the faces); later calls do nothing.
void create_drawing_resources();
// Deletes every font, brush, pen and bitmap of the set that exists and forgets it (process detach).
void release_drawing_resources();
// Draws a bitmap of the set with its top left at (x, y), in its own size, its
// transparent colour left out; returns its width (0 when the set lacks it).
int draw_bitmap(HDC dc, BitmapRole role, int x, int y);
// The bitmap's width and height; 0 and 0 when the set lacks it.
void bitmap_extent(BitmapRole role, int* width, int* height);

// The library's own drawn buttons (picture, check box, radio, option and text buttons);
// kResultNotHandled for an identifier of none of them.
DWORD draw_library_control(const DRAWITEMSTRUCT* item, uint32_t id);
// An option button: its caption, and with a state (a feature's "Enabled" or "NOT Enabled") the
// state on a second line below the caption.
DWORD draw_option_button(const DRAWITEMSTRUCT* item, const char* state);
// Gives the button the hover-tracking procedure when it is one of those that repaint as
// the cursor enters and leaves them.
void track_hover(HWND button, uint32_t id);
// Attaches the library's tooltip, showing the button's caption, to a push button once.
void attach_tooltip(HWND button);
