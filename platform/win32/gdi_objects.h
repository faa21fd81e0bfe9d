// The brushes and fonts of gdi32, as the memory device contexts draw with them.
#pragma once
#include <windows.h>

#include <string>

namespace platform {

struct FontDescription {
  int height = 0;  // pixels; negative (character height) and positive (cell height) alike
  int weight = 0;
  bool italic = false;
  bool underline = false;
  int charset = 1;  // DEFAULT_CHARSET
  std::string face;
};

// FALSE when the object is no brush (no font).
bool brush_colour(HGDIOBJ object, COLORREF* colour);
bool describe_font(HGDIOBJ object, FontDescription* description);
// FALSE when the object is no pen.
bool pen_colour(HGDIOBJ object, COLORREF* colour);
// The face that the console machine's font mapper gives for a requested face:
// the face itself when the machine has it, else its fallback face.
std::string installed_face(const std::string& requested);

}  // namespace platform
