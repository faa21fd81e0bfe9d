// chartdir51.dll for the Linux build: pie, donut and bar charts with their
// titles, legends, colours and gradients, drawn with cairo and pango into PNG
// files and Windows bitmaps.
//
// Each call records the setting; makeChart and makeChart2 draw the chart.
#include <chartdir51.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "chartdir/drawing.h"
#include "chartdir/legend_record.h"
#include "win32/kernel_objects.h"

struct CdBox {
  int background = CD_TRANSPARENT;
  int edge = CD_TRANSPARENT;
};

struct CdTextBox : CdBox {
  std::string text;
  chartdir::FontFace face;
  double points = 10;
  int colour = 0x000000;
  int x = 0, y = 0;
  int alignment = CD_TOP_LEFT;
};

struct CdLegendBox : CdTextBox {
  bool vertical = true;
  int key_border = CD_TRANSPARENT;
};

struct CdAxis {};  // axes are never drawn (CAxis_setColors)

struct CdPlotArea {
  int x = 0, y = 0, width = 0, height = 0;
  int background = CD_TRANSPARENT;
};

struct CdLayer {
  std::vector<double> data, x;
  int colour = 0;
  std::string name;
  std::vector<std::string> extra_field;  // the first extra field, by point
  int border = CD_TRANSPARENT;
  int effect = 0;  // a bar lighting from CChart_barLighting, or 0
};
struct CdAreaLayer : CdLayer {};

struct LinearGradient {
  int x0, y0, x1, y1;
  int from, to;
};

struct CdBaseChart {
  bool pie = false;
  int width = 0, height = 0;
  int background = CD_PALETTE_BACKGROUND;
  std::vector<std::unique_ptr<CdTextBox>> texts;  // the title first when there is one
  std::unique_ptr<CdLegendBox> legend;
  std::vector<int> data_colours;
  std::vector<LinearGradient> gradients;
  std::string image;  // the last makeChart2 block, kept until destroyed
  // Pie charts.
  int cx = 0, cy = 0, radius = 0, inner_radius = 0;
  bool three_d = false;
  int depth = -1;
  int shading = CD_DEFAULT_SHADING;
  int explode_sector = -2, explode_distance = 0;  // sector -1: all
  std::vector<double> values;
  std::vector<std::string> labels;
  // XY charts.
  CdAxis x_axis, y_axis;
  CdPlotArea plot;
  std::vector<std::unique_ptr<CdAreaLayer>> layers;
  bool swapped = false;
};
struct CdPieChart : CdBaseChart {};
struct CdXYChart : CdBaseChart {};

namespace {

// The data colours before setColors: the first colours of the default palette.
constexpr int kDefaultDataColours[] = {0xFF3333, 0x33FF33, 0x6666FF, 0xFFFF00, 0xFF66FF, 0x99FFFF,
                                       0xFFCC33, 0xCCCCCC, 0xCC9999, 0x339966, 0x999900, 0xCC3300};
constexpr unsigned kGradientBase = 0xFFFE0000;  // colour values of a chart's gradients
constexpr int kLightingBase = 0x40000000;       // effect values of the bar lightings
constexpr int kCentredTitle = -1;               // a title's alignment: centred at the top

bool transparent(int colour) { return (static_cast<unsigned>(colour) >> 24) == 0xFF; }

struct Lighting {
  double from, to;
};
std::mutex& lighting_lock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}
std::vector<Lighting>& lightings() {
  static auto& table = *new std::vector<Lighting>;
  return table;
}

bool is_gradient(const CdBaseChart& c, int colour) {
  unsigned u = static_cast<unsigned>(colour);
  return u >= kGradientBase && u < kGradientBase + c.gradients.size();
}

// A colour value as cairo's source: plain, palette entry or gradient.
void set_colour(cairo_t* cr, const CdBaseChart& c, int colour) {
  unsigned u = static_cast<unsigned>(colour);
  if (is_gradient(c, colour)) {
    const LinearGradient& g = c.gradients[u - kGradientBase];
    cairo_pattern_t* p = cairo_pattern_create_linear(g.x0, g.y0, g.x1, g.y1);
    for (auto [offset, value] : {std::pair<double, int>{0, g.from}, {1, g.to}}) {
      unsigned v = static_cast<unsigned>(value);
      cairo_pattern_add_color_stop_rgba(p, offset, ((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0,
                                        (v & 0xFF) / 255.0, 1.0 - ((v >> 24) & 0xFF) / 255.0);
    }
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    return;
  }
  if (u == static_cast<unsigned>(CD_PALETTE_BACKGROUND)) u = 0xFFFFFF;  // the palette's background: white
  chartdir::set_source_argb(cr, u);
}

unsigned scaled(unsigned colour, double brightness) {
  auto channel = [&](int shift) {
    return static_cast<unsigned>(std::min(255.0, ((colour >> shift) & 0xFF) * brightness)) << shift;
  };
  return (colour & 0xFF000000) | channel(16) | channel(8) | channel(0);
}

unsigned data_colour(const CdBaseChart& c, size_t i) {
  if (!c.data_colours.empty()) return static_cast<unsigned>(c.data_colours[i % c.data_colours.size()]);
  return static_cast<unsigned>(kDefaultDataColours[i % (sizeof kDefaultDataColours / sizeof kDefaultDataColours[0])]);
}

std::string number_text(double value) {
  char text[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15) std::snprintf(text, sizeof text, "%.0f", value);
  else std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

double point_size_to_pixels(double points) { return points * 4.0 / 3.0; }

void draw_text_box(cairo_t* cr, const CdTextBox& t, int chart_width) {
  chartdir::Fields none;
  double size = point_size_to_pixels(t.points);
  chartdir::LaidText laid = chartdir::lay_out_markup(cr, t.text, none, t.face, size, 0, 0, 0, false);
  double x = t.x, y = t.y;
  if (t.alignment == CD_TOP_CENTER) x -= laid.width / 2;
  if (t.alignment == kCentredTitle) x = (chart_width - laid.width) / 2;
  if (!transparent(t.background)) {
    chartdir::set_source_argb(cr, static_cast<unsigned>(t.background));
    cairo_rectangle(cr, x - 2, y, laid.width + 4, laid.height);
    cairo_fill(cr);
  }
  chartdir::lay_out_markup(cr, t.text, none, t.face, size, static_cast<unsigned>(t.colour), x, y, true);
}

// One legend entry's key: a square in the entry's colour with the key border.
void draw_key(cairo_t* cr, const CdLegendBox& legend, unsigned colour, double x, double y, double size) {
  chartdir::set_source_argb(cr, colour);
  cairo_rectangle(cr, x, y, size, size);
  cairo_fill_preserve(cr);
  if (!transparent(legend.key_border)) {
    chartdir::set_source_argb(cr, static_cast<unsigned>(legend.key_border));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
}

struct LegendEntry {
  unsigned colour;
  chartdir::Fields fields;
};

std::mutex g_legend_lock;
auto& g_last_legend = *new std::vector<chartdir::Fields>;

// The legend: entries stacked (vertical) or side by side, wrapping at the chart's right edge.
void draw_legend(cairo_t* cr, const CdBaseChart& c, const std::vector<LegendEntry>& entries) {
  {
    std::lock_guard<std::mutex> guard(g_legend_lock);
    g_last_legend.clear();
    for (const LegendEntry& e : entries) g_last_legend.push_back(e.fields);
  }
  const CdLegendBox& legend = *c.legend;
  double size = point_size_to_pixels(legend.points);
  double key = size, gap = 4, pad = 4;
  std::vector<std::pair<double, double>> places;  // each entry's top left
  std::vector<chartdir::LaidText> extents;
  double x = legend.x + pad, y = legend.y + pad, line_height = 0, right = legend.x, bottom = legend.y;
  for (const LegendEntry& e : entries) {
    chartdir::LaidText laid = chartdir::lay_out_markup(cr, legend.text, e.fields, legend.face, size, 0, 0, 0, false);
    double w = key + gap + laid.width, h = std::max(key, laid.height);
    if (!legend.vertical && x > legend.x + pad && x + w > c.width - pad) {
      x = legend.x + pad;
      y += line_height + gap;
      line_height = 0;
    }
    places.emplace_back(x, y);
    extents.push_back(laid);
    right = std::max(right, x + w + pad);
    bottom = std::max(bottom, y + h + pad);
    if (legend.vertical) y += h + gap;
    else x += w + 2 * gap, line_height = std::max(line_height, h);
  }
  if (!transparent(legend.background)) {
    chartdir::set_source_argb(cr, static_cast<unsigned>(legend.background));
    cairo_rectangle(cr, legend.x, legend.y, right - legend.x, bottom - legend.y);
    cairo_fill(cr);
  }
  if (!transparent(legend.edge)) {
    chartdir::set_source_argb(cr, static_cast<unsigned>(legend.edge));
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, legend.x + 0.5, legend.y + 0.5, right - legend.x - 1, bottom - legend.y - 1);
    cairo_stroke(cr);
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    draw_key(cr, legend, entries[i].colour, places[i].first, places[i].second + 1, key - 2);
    chartdir::lay_out_markup(cr, legend.text, entries[i].fields, legend.face, size, static_cast<unsigned>(legend.colour),
                             places[i].first + key + gap, places[i].second, true);
  }
}

// A sector of an ellipse (or of a ring, for donuts), as a path.
void sector_path(cairo_t* cr, double cx, double cy, double r, double r_inner, double squash, double from, double to) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, 1.0, squash);
  cairo_new_path(cr);
  cairo_arc(cr, 0, 0, r, from, to);
  if (r_inner > 0) cairo_arc_negative(cr, 0, 0, r_inner, to, from);
  else cairo_line_to(cr, 0, 0);
  cairo_close_path(cr);
  cairo_restore(cr);
}

void draw_pie(cairo_t* cr, const CdBaseChart& c) {
  double total = 0;
  for (double v : c.values) total += std::max(0.0, v);
  double squash = c.three_d ? 0.55 : 1.0;
  int depth = c.three_d ? (c.depth >= 0 ? c.depth : std::max(8, c.radius / 5)) : 0;
  struct Sector {
    double from, to, dx, dy;
    unsigned colour;
  };
  std::vector<Sector> sectors;
  double angle = -M_PI / 2;  // clockwise from twelve o'clock
  for (size_t i = 0; i < c.values.size() && total > 0; ++i) {
    double sweep = 2 * M_PI * std::max(0.0, c.values[i]) / total;
    double middle = angle + sweep / 2;
    bool exploded = c.explode_sector == -1 || c.explode_sector == static_cast<int>(i);
    double distance = exploded ? c.explode_distance : 0;
    sectors.push_back({angle, angle + sweep, distance * std::cos(middle), distance * std::sin(middle) * squash,
                       data_colour(c, i)});
    angle += sweep;
  }
  double inner = c.inner_radius;
  // 3D: the side walls, darker, from the bottom layer up; then the faces.
  for (int layer = depth; layer >= 1; --layer)
    for (const Sector& s : sectors) {
      sector_path(cr, c.cx + s.dx, c.cy + s.dy + layer, c.radius, inner, squash, s.from, s.to);
      chartdir::set_source_argb(cr, scaled(s.colour, 0.7));
      cairo_fill(cr);
    }
  for (const Sector& s : sectors) {
    double x = c.cx + s.dx, y = c.cy + s.dy;
    sector_path(cr, x, y, c.radius, inner, squash, s.from, s.to);
    chartdir::set_source_argb(cr, s.colour);
    cairo_fill_preserve(cr);
    if (c.shading == CD_CONCAVE_SHADING) {
      // Concave: the face darkens toward its middle ring, as a bowl lit from above.
      double ring_inner = inner > 0 ? inner : 0;
      cairo_pattern_t* p = cairo_pattern_create_radial(x, y, ring_inner, x, y, c.radius);
      cairo_pattern_add_color_stop_rgba(p, 0.0, 1, 1, 1, 0.25);
      cairo_pattern_add_color_stop_rgba(p, 0.5, 0, 0, 0, 0.25);
      cairo_pattern_add_color_stop_rgba(p, 1.0, 1, 1, 1, 0.25);
      cairo_matrix_t m;
      cairo_matrix_init_translate(&m, x, y);
      cairo_matrix_scale(&m, 1.0, 1.0 / squash);
      cairo_matrix_translate(&m, -x, -y);
      cairo_pattern_set_matrix(p, &m);
      cairo_set_source(cr, p);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(p);
    }
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  if (!c.legend) return;
  std::vector<LegendEntry> entries;
  for (size_t i = 0; i < sectors.size(); ++i)
    entries.push_back({sectors[i].colour, {{"label", i < c.labels.size() ? c.labels[i] : ""},
                                           {"value", number_text(c.values[i])}}});
  draw_legend(cr, c, entries);
}

void draw_bars(cairo_t* cr, const CdBaseChart& c) {
  const CdPlotArea& pa = c.plot;
  set_colour(cr, c, pa.background);
  cairo_rectangle(cr, pa.x, pa.y, pa.width, pa.height);
  cairo_fill(cr);
  double x_low = 0, x_high = 0, y_high = 0;
  bool any = false;
  for (const auto& layer : c.layers)
    for (size_t i = 0; i < layer->data.size(); ++i) {
      double x = i < layer->x.size() ? layer->x[i] : static_cast<double>(i);
      x_low = any ? std::min(x_low, x) : x;
      x_high = any ? std::max(x_high, x) : x;
      y_high = std::max(y_high, layer->data[i]);
      any = true;
    }
  if (!any) return;
  if (x_high <= x_low) x_high = x_low + 1;
  y_high = y_high > 0 ? y_high * 1.1 : 1;
  // Data to pixels; with the axes swapped the x data runs down the plot area and the values across it.
  auto place = [&](double x, double value, double* px, double* py) {
    double along = (x - x_low) / (x_high - x_low), up = value / y_high;
    if (c.swapped) *px = pa.x + up * pa.width, *py = pa.y + along * pa.height;
    else *px = pa.x + along * pa.width, *py = pa.y + pa.height - up * pa.height;
  };
  std::vector<LegendEntry> entries;
  for (size_t n = 0; n < c.layers.size(); ++n) {
    const CdLayer& layer = *c.layers[n];
    if (layer.data.empty()) continue;
    double first_x = layer.x.empty() ? 0.0 : layer.x.front();
    double last_x = layer.x.empty() ? static_cast<double>(layer.data.size() - 1) : layer.x.back();
    cairo_new_path(cr);
    double px, py;
    place(first_x, 0, &px, &py);
    cairo_move_to(cr, px, py);
    for (size_t i = 0; i < layer.data.size(); ++i) {
      place(i < layer.x.size() ? layer.x[i] : static_cast<double>(i), layer.data[i], &px, &py);
      cairo_line_to(cr, px, py);
    }
    place(last_x, 0, &px, &py);
    cairo_line_to(cr, px, py);
    cairo_close_path(cr);
    unsigned colour = static_cast<unsigned>(layer.colour);
    if (layer.effect >= kLightingBase) {
      // Bar lighting: the brightness runs across the bar from the first value to the second.
      Lighting light;
      {
        std::lock_guard<std::mutex> guard(lighting_lock());
        light = lightings()[static_cast<size_t>(layer.effect - kLightingBase)];
      }
      double x0, y0, x1, y1;
      place(first_x, 0, &x0, &y0);
      place(last_x, 0, &x1, &y1);
      cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
      for (int stop = 0; stop <= 4; ++stop) {
        unsigned shade = scaled(colour, light.from + (light.to - light.from) * stop / 4.0);
        cairo_pattern_add_color_stop_rgb(p, stop / 4.0, ((shade >> 16) & 0xFF) / 255.0, ((shade >> 8) & 0xFF) / 255.0,
                                         (shade & 0xFF) / 255.0);
      }
      cairo_set_source(cr, p);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(p);
    } else {
      chartdir::set_source_argb(cr, colour);
      cairo_fill_preserve(cr);
    }
    if (!transparent(layer.border)) {
      chartdir::set_source_argb(cr, static_cast<unsigned>(layer.border));
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
    }
    cairo_new_path(cr);
    entries.push_back({colour, {{"dataSetName", layer.name},
                                {"dsField0", layer.extra_field.empty() ? "" : layer.extra_field.front()}}});
  }
  if (c.legend) draw_legend(cr, c, entries);
}

cairo_surface_t* draw_chart(const CdBaseChart& c) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, c.width), std::max(1, c.height));
  cairo_t* cr = cairo_create(surface);
  set_colour(cr, c, c.background);
  cairo_paint(cr);
  if (c.pie) draw_pie(cr, c);
  else draw_bars(cr, c);
  for (const auto& text : c.texts) draw_text_box(cr, *text, c.width);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

std::string lower_extension(const char* name) {
  std::string text = name ? name : "";
  size_t dot = text.rfind('.');
  std::string ending = dot == std::string::npos ? "" : text.substr(dot + 1);
  for (char& ch : ending) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ending;
}

CdBaseChart* make_chart(CdBaseChart* c, int width, int height, int background, bool pie) {
  c->pie = pie;
  c->width = width;
  c->height = height;
  c->background = background;
  return c;
}

}  // namespace

extern "C" {

CdPieChart* CPieChart_create(int width, int height, int bgColor, int, int) {
  auto* c = new CdPieChart;
  make_chart(c, width, height, bgColor, true);
  return c;
}

CdBaseChart* PieChart2BaseChart(CdPieChart* chart) { return chart; }

CdXYChart* CXYChart_create(int width, int height, int bgColor, int, int) {
  auto* c = new CdXYChart;
  make_chart(c, width, height, bgColor, false);
  return c;
}

CdBaseChart* XYChart2BaseChart(CdXYChart* chart) { return chart; }

CdTextBox* CBaseChart_addTitle(CdBaseChart* chart, const char* text, const char* font, double fontSize, int fontColor) {
  auto box = std::make_unique<CdTextBox>();
  box->text = text ? text : "";
  box->face = chartdir::font_of_file(font ? font : "");
  box->points = fontSize;
  box->colour = fontColor;
  box->y = 4;
  box->alignment = kCentredTitle;
  CdTextBox* t = box.get();
  chart->texts.insert(chart->texts.begin(), std::move(box));
  return t;
}

CdTextBox* CBaseChart_addText(CdBaseChart* chart, int x, int y, const char* text, const char* font, double fontSize,
                              int fontColor, int alignment) {
  auto box = std::make_unique<CdTextBox>();
  box->text = text ? text : "";
  box->face = chartdir::font_of_file(font ? font : "");
  box->points = fontSize;
  box->colour = fontColor;
  box->x = x;
  box->y = y;
  box->alignment = alignment;
  chart->texts.push_back(std::move(box));
  return chart->texts.back().get();
}

CdLegendBox* CBaseChart_addLegend(CdBaseChart* chart, int x, int y, int vertical, const char* font, double fontSize) {
  chart->legend = std::make_unique<CdLegendBox>();
  CdLegendBox& l = *chart->legend;
  l.x = x;
  l.y = y;
  l.vertical = vertical != 0;
  l.face = chartdir::font_of_file(font ? font : "");
  l.points = fontSize;
  l.text = "{label}";
  return &l;
}

CdLegendBox* CBaseChart_getLegend(CdBaseChart* chart) { return chart->legend.get(); }
CdTextBox* LegendBox2TextBox(CdLegendBox* legend) { return legend; }
CdBox* TextBox2Box(CdTextBox* text) { return text; }

void CLegendBox_setKeyBorder(CdLegendBox* legend, int edgeColor, int) {
  if (legend) legend->key_border = edgeColor;
}

void CBox_setBackground(CdBox* box, int color, int edgeColor, int) {
  if (!box) return;
  box->background = color;
  box->edge = edgeColor;
}

void CTextBox_setText(CdTextBox* text, const char* markup) {
  if (text) text->text = markup ? markup : "";
}

void CPieChart_setPieSize(CdPieChart* chart, int x, int y, int r) {
  chart->cx = x, chart->cy = y, chart->radius = r, chart->inner_radius = 0;
}

void CPieChart_setDonutSize(CdPieChart* chart, int x, int y, int r, int r2) {
  chart->cx = x, chart->cy = y, chart->radius = r, chart->inner_radius = std::min(r2, r - 1);
}

void CPieChart_set3D(CdPieChart* chart, int depth, double, int) {
  chart->three_d = true;
  chart->depth = depth;
}

void CPieChart_setSectorStyle(CdPieChart* chart, int shadingMethod, int, int) { chart->shading = shadingMethod; }

void CPieChart_setExplode(CdPieChart* chart, int sectorNo, int distance) {
  chart->explode_sector = sectorNo;
  chart->explode_distance = distance;
}

// Sector labels are drawn only blank (" "): the library shows labels and values in the legend.
void CPieChart_setLabelFormat(CdPieChart*, const char* format) {
  if (format && std::string(format).find_first_not_of(' ') != std::string::npos)
    platform::unsupported("CPieChart_setLabelFormat", "sector labels that are not blank");
}

void CPieChart_setData(CdPieChart* chart, const double* data, int dataLen, const char* const* labels, int labelsLen) {
  chart->values.assign(data, data + std::max(0, dataLen));
  chart->labels.clear();
  for (int i = 0; i < labelsLen; ++i) chart->labels.emplace_back(labels[i] ? labels[i] : "");
}

void CBaseChart_setColors(CdBaseChart* chart, int paletteEntry, const int* colors, int colorsLen) {
  // Only the data colours are kept: entries before them name parts this chart draws in fixed colours.
  if (paletteEntry == CD_DATA_COLOR) chart->data_colours.assign(colors, colors + std::max(0, colorsLen));
}

CdAxis* CXYChart_xAxis(CdXYChart* chart) { return &chart->x_axis; }
CdAxis* CXYChart_yAxis(CdXYChart* chart) { return &chart->y_axis; }
// Axes are drawn only in the transparent colours the library gives them: not at all.
void CAxis_setColors(CdAxis*, int axisColor, int labelColor, int titleColor, int tickColor) {
  if (!transparent(axisColor) || !transparent(labelColor) || !transparent(titleColor) || !transparent(tickColor))
    platform::unsupported("CAxis_setColors", "visible axes");
}

CdPlotArea* CXYChart_setPlotArea(CdXYChart* chart, int x, int y, int width, int height, int bgColor, int, int, int,
                                 int) {
  chart->plot = {x, y, width, height, bgColor};
  return &chart->plot;
}

int CBaseChart_linearGradientColor(CdBaseChart* chart, int startX, int startY, int endX, int endY, int startColor,
                                   int endColor) {
  chart->gradients.push_back({startX, startY, endX, endY, startColor, endColor});
  return static_cast<int>(kGradientBase + chart->gradients.size() - 1);
}

CdAreaLayer* CXYChart_addAreaLayer(CdXYChart* chart, const double* data, int dataLen, int color, const char* name) {
  auto layer = std::make_unique<CdAreaLayer>();
  layer->data.assign(data, data + std::max(0, dataLen));
  layer->colour = color;
  layer->name = name ? name : "";
  chart->layers.push_back(std::move(layer));
  return chart->layers.back().get();
}

CdLayer* AreaLayer2Layer(CdAreaLayer* layer) { return layer; }

void CLayer_setXData(CdLayer* layer, const double* data, int dataLen) { layer->x.assign(data, data + std::max(0, dataLen)); }

void CLayer_addExtraField(CdLayer* layer, const char* const* texts, int textsLen) {
  if (!layer->extra_field.empty()) return;  // {dsField0} shows the first extra field
  for (int i = 0; i < textsLen; ++i) layer->extra_field.emplace_back(texts[i] ? texts[i] : "");
}

void CLayer_setBorderColor(CdLayer* layer, int color, int raisedEffect) {
  layer->border = color;
  layer->effect = raisedEffect;
}

int CChart_barLighting(double startBrightness, double endBrightness) {
  std::lock_guard<std::mutex> guard(lighting_lock());
  auto& table = lightings();
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].from == startBrightness && table[i].to == endBrightness) return kLightingBase + static_cast<int>(i);
  table.push_back({startBrightness, endBrightness});
  return kLightingBase + static_cast<int>(table.size() - 1);
}

void CXYChart_swapXY(CdXYChart* chart, int swap) { chart->swapped = swap != 0; }

int CBaseChart_makeChart(CdBaseChart* chart, const char* fileName) {
  std::string ending = lower_extension(fileName);
  if (ending != "png" && ending != "bmp") {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  cairo_surface_t* surface = draw_chart(*chart);
  BOOL written;
  if (ending == "png") {
    written = chartdir::write_png(surface, fileName);
  } else {
    std::string bytes = chartdir::bmp_bytes(surface);
    HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    written = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  cairo_surface_destroy(surface);
  return written ? 1 : 0;
}

int CBaseChart_makeChart2(CdBaseChart* chart, int format, const char** data, int* length) {
  if (format != CD_BMP || data == nullptr || length == nullptr) return 0;
  cairo_surface_t* surface = draw_chart(*chart);
  chart->image = chartdir::bmp_bytes(surface);
  cairo_surface_destroy(surface);
  *data = chart->image.data();
  *length = static_cast<int>(chart->image.size());
  return 1;
}

void CBaseChart_destroy(CdBaseChart* chart) {
  if (chart == nullptr) return;
  if (chart->pie) delete static_cast<CdPieChart*>(chart);
  else delete static_cast<CdXYChart*>(chart);
}

}  // extern "C"

namespace chartdir {

std::vector<std::map<std::string, std::string>> last_legend() {
  std::lock_guard<std::mutex> guard(g_legend_lock);
  return g_last_legend;
}

void forget_last_legend() {
  std::lock_guard<std::mutex> guard(g_legend_lock);
  g_last_legend.clear();
}

}  // namespace chartdir
