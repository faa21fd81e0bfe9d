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
};

// Creates the set on first use (choosing the faces); later calls do nothing.
void create_drawing_resources();
// Deletes every font, brush and pen of the set that exists and forgets it (process detach).
void release_drawing_resources();
