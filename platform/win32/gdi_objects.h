// The brushes and fonts of gdi32, as the memory device contexts draw with them.
#pragma once
#include <windows.h>

#include <string>

namespace platform {

struct FontDescription {
  int height = 0;  // pixels; negative (character height) and positive (cell height) alike
  int weight = 0;
  bool italic = false;
  std::string face;
};

// FALSE when the object is no brush (no font).
bool brush_colour(HGDIOBJ object, COLORREF* colour);
bool describe_font(HGDIOBJ object, FontDescription* description);

}  // namespace platform
