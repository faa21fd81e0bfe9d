// Fonts, text markup and image files for the charts and memory device contexts.
#include "chartdir/drawing.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "win32/paths.h"

namespace chartdir {
namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Windows faces and the free faces with the same metrics that stand for them.
struct FaceMapping {
  const char* windows;  // lower case
  const char* family;
};
constexpr FaceMapping kFaces[] = {
    {"times", "Liberation Serif"},  {"times new roman", "Liberation Serif"}, {"arial", "Liberation Sans"},
    {"calibri", "Carlito"},         {"cour", "Liberation Mono"},            {"courier new", "Liberation Mono"},
    {"segoe ui", "Carlito"},        {"segoe ui light", "Carlito"},          {"ms shell dlg", "Liberation Sans"},
};
constexpr char kDefaultFamily[] = "Liberation Sans";

const char* family_of(const std::string& windows_name) {
  std::string key = lower(windows_name);
  for (const FaceMapping& f : kFaces)
    if (key == f.windows) return f.family;
  return kDefaultFamily;
}

PangoFontDescription* description_of(const FontFace& face, double pixel_size) {
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, face.family.c_str());
  pango_font_description_set_weight(d, face.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, face.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_absolute_size(d, std::max(1.0, pixel_size) * PANGO_SCALE);
  return d;
}

void append_escaped(std::string* out, const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.data(), static_cast<gssize>(text.size()));
  out->append(escaped);
  g_free(escaped);
}

bool hex_colour(const std::string& text) {
  return text.size() == 6 && std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// Pango markup of the library's markup: directives become spans and the
// layout width, fields their escaped values; text that is neither is literal.
std::string pango_markup(const std::string& markup, const Fields& fields, int* block_width) {
  std::string out;
  int open_spans = 0;
  size_t i = 0;
  while (i < markup.size()) {
    if (markup.compare(i, 2, "<*") == 0) {
      size_t end = markup.find("*>", i + 2);
      if (end != std::string::npos) {
        std::string directive = markup.substr(i + 2, end - i - 2);
        size_t start = 0;
        while (start <= directive.size()) {
          size_t comma = directive.find(',', start);
          std::string part = lower(directive.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
          if (part.rfind("color=", 0) == 0 && hex_colour(part.substr(6))) {
            out += "<span foreground=\"#" + part.substr(6) + "\">";
            ++open_spans;
          } else if (part.rfind("width=", 0) == 0) {
            *block_width = std::atoi(part.c_str() + 6);
          }
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
        i = end + 2;
        continue;
      }
    }
    if (markup[i] == '{') {
      size_t end = markup.find('}', i + 1);
      if (end != std::string::npos) {
        auto field = fields.find(markup.substr(i + 1, end - i - 1));
        if (field != fields.end()) {
          append_escaped(&out, field->second);
          i = end + 1;
          continue;
        }
      }
    }
    size_t next = markup.find_first_of("<{", i + 1);
    append_escaped(&out, markup.substr(i, next == std::string::npos ? std::string::npos : next - i));
    i = next == std::string::npos ? markup.size() : next;
  }
  while (open_spans-- > 0) out += "</span>";
  return out;
}

}  // namespace

FontFace font_of_file(const std::string& file) {
  std::string name = lower(file.substr(0, file.rfind('.')));
  FontFace face;
  // Windows' font files add b, i, bd, bi or z (bold italic) to the face's file name.
  struct Suffix {
    const char* text;
    bool bold, italic;
  };
  constexpr Suffix kSuffixes[] = {{"bi", true, true}, {"bd", true, false}, {"z", true, true}, {"b", true, false},
                                  {"i", false, true}};
  for (const Suffix& s : kSuffixes) {
    size_t n = std::strlen(s.text);
    std::string base = name.size() > n ? name.substr(0, name.size() - n) : "";
    if (!base.empty() && name.compare(name.size() - n, n, s.text) == 0 && family_of(base) != kDefaultFamily) {
      face.family = family_of(base);
      face.bold = s.bold;
      face.italic = s.italic;
      return face;
    }
  }
  face.family = family_of(name);
  return face;
}

FontFace font_of_face(const std::string& face, int weight, bool italic) {
  FontFace f;
  f.family = family_of(face);
  f.bold = weight >= 600;
  f.italic = italic;
  return f;
}

void set_source_argb(cairo_t* cr, unsigned colour) {
  double alpha = 1.0 - ((colour >> 24) & 0xFF) / 255.0;
  cairo_set_source_rgba(cr, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0,
                        alpha);
}

void set_source_colorref(cairo_t* cr, COLORREF colour, double brightness) {
  auto channel = [&](int shift) { return std::min(1.0, ((colour >> shift) & 0xFF) / 255.0 * brightness); };
  cairo_set_source_rgb(cr, channel(0), channel(8), channel(16));
}

LaidText lay_out_markup(cairo_t* cr, const std::string& markup, const Fields& fields, const FontFace& face,
                        double pixel_size, unsigned colour, double x, double y, bool draw) {
  int block_width = 0;
  std::string text = pango_markup(markup, fields, &block_width);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* d = description_of(face, pixel_size);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  if (block_width > 0) {
    pango_layout_set_width(layout, block_width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  // The markup is built here from escaped pieces; should pango still refuse it, the text is shown plain.
  if (!pango_parse_markup(text.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr))
    pango_layout_set_text(layout, text.c_str(), -1);
  else
    pango_layout_set_markup(layout, text.c_str(), -1);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  if (draw) {
    cairo_save(cr);
    set_source_argb(cr, colour);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
  }
  g_object_unref(layout);
  LaidText laid;
  laid.width = block_width > 0 ? block_width : w;
  laid.height = h;
  return laid;
}

int draw_plain_text(cairo_t* cr, const std::string& text, const FontFace& face, int pixel_height, COLORREF colour,
                    const RECT& area, UINT format) {
  constexpr UINT kCenter = 0x01, kVCenter = 0x04, kWordBreak = 0x10, kSingleLine = 0x20;
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* d = description_of(face, pixel_height);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  int width = std::max<LONG>(0, area.right - area.left), height = std::max<LONG>(0, area.bottom - area.top);
  std::string shown = text;
  if (format & kSingleLine) std::replace_if(shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  pango_layout_set_text(layout, shown.c_str(), -1);
  if ((format & kWordBreak) && !(format & kSingleLine)) {
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  if (format & kCenter) {
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  }
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  double top = area.top;
  if ((format & kSingleLine) && (format & kVCenter)) top += (height - h) / 2.0;
  cairo_save(cr);
  cairo_rectangle(cr, area.left, area.top, width, height);
  cairo_clip(cr);
  set_source_colorref(cr, colour);
  cairo_move_to(cr, area.left, top);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
  return h;
}

BOOL write_png(cairo_surface_t* surface, const char* windows_path) {
  std::string path;
  if (DWORD error = platform::map_path(windows_path, &path)) {
    SetLastError(error);
    return FALSE;
  }
  cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    // cairo tells only that writing failed: a missing folder or no access.
    SetLastError(status == CAIRO_STATUS_WRITE_ERROR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

std::string bmp_bytes(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* pixels = cairo_image_surface_get_data(surface);
  uint32_t row_bytes = static_cast<uint32_t>(width) * 4, image_bytes = row_bytes * static_cast<uint32_t>(height);
  std::string out(54 + image_bytes, '\0');
  auto put16 = [&](size_t at, uint32_t v) { out[at] = static_cast<char>(v), out[at + 1] = static_cast<char>(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  out[0] = 'B', out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);  // pixels follow the two headers
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));  // positive: rows bottom-up
  put16(26, 1);
  put16(28, 32);
  put32(34, image_bytes);
  // cairo's ARGB32 words are B, G, R, A in memory on a little-endian machine, as a 32-bit DIB wants them.
  for (int y = 0; y < height; ++y)
    std::memcpy(&out[54 + static_cast<size_t>(height - 1 - y) * row_bytes], pixels + static_cast<size_t>(y) * stride,
                row_bytes);
  return out;
}

}  // namespace chartdir
