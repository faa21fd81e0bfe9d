// Drawing helpers shared by the charts and the memory device contexts:
// Windows fonts mapped to metric-compatible free faces, the charting
// library's text markup laid out with pango, and image files.
#pragma once
#include <cairo.h>
#include <windows.h>

#include <map>
#include <string>

namespace chartdir {

struct FontFace {
  std::string family;  // a fontconfig family
  bool bold = false;
  bool italic = false;
};

// A chart font given as a Windows font file ("timesbi.ttf": Times New Roman bold italic).
FontFace font_of_file(const std::string& file);
// A GDI face name ("Calibri") and its weight and style.
FontFace font_of_face(const std::string& face, int weight, bool italic);

// The cairo colour of 0xAARRGGBB (AA the transparency) and of a Windows COLORREF.
void set_source_argb(cairo_t* cr, unsigned colour);
void set_source_colorref(cairo_t* cr, COLORREF colour, double brightness = 1.0);

// Text markup of the charting library: literal text, directives "<*color=RRGGBB*>" and
// "<*block,...,width=N*>", and fields "{name}" replaced by their values. Values are
// shown as they are, never read as markup.
using Fields = std::map<std::string, std::string>;
struct LaidText {
  double width = 0, height = 0;
};
// Lays the markup out at (x, y) (the top left); draws it when draw is set.
LaidText lay_out_markup(cairo_t* cr, const std::string& markup, const Fields& fields, const FontFace& face,
                        double pixel_size, unsigned colour, double x, double y, bool draw);

// Plain text in a rectangle with the DrawTextA format flags that the library uses
// (DT_CENTER, DT_VCENTER, DT_SINGLELINE, DT_WORDBREAK); returns the text's height.
int draw_plain_text(cairo_t* cr, const std::string& text, const FontFace& face, int pixel_height, COLORREF colour,
                    const RECT& area, UINT format);

// Image files at a Windows path of the world (mapped by the Win32 layer); FALSE
// with the Windows error set when the file cannot be written.
BOOL write_png(cairo_surface_t* surface, const char* windows_path);
// A Windows bitmap file (BITMAPFILEHEADER, BITMAPINFOHEADER, 32-bit rows bottom-up).
std::string bmp_bytes(cairo_surface_t* surface);

}  // namespace chartdir
