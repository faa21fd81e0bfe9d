// The C interface of the charting library chartdir51.dll: the calls the
// library's charts make, with their function types for GetProcAddress.
//
// The same declarations serve both builds: the Windows DLL loads the real
// chartdir51.dll and calls it through these types; the Linux build loads the
// Win32 layer's own chartdir51.dll, drawn with cairo and pango. Handles are
// opaque; the casts (PieChart2BaseChart, ...) give the same object its more
// general type.
//
// Colours are 0xAARRGGBB with AA the transparency (0 opaque, 0xFF fully
// transparent); 0xFFFF0000 + n is palette entry n, whose entry 0 is the
// background and entries 8 and up the data colours.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CdBaseChart CdBaseChart;
typedef struct CdPieChart CdPieChart;
typedef struct CdXYChart CdXYChart;
typedef struct CdBox CdBox;
typedef struct CdTextBox CdTextBox;
typedef struct CdLegendBox CdLegendBox;
typedef struct CdAxis CdAxis;
typedef struct CdPlotArea CdPlotArea;
typedef struct CdLayer CdLayer;
typedef struct CdAreaLayer CdAreaLayer;

#define CD_TRANSPARENT ((int)0xFF000000)
#define CD_PALETTE_BACKGROUND ((int)0xFFFF0000)
#define CD_DATA_COLOR ((int)0xFFFF0008)
// Text alignment: where (x, y) lies on the text's box.
#define CD_TOP_LEFT 7
#define CD_TOP_CENTER 8
// Pie sector shading.
#define CD_DEFAULT_SHADING 0
#define CD_CONCAVE_SHADING 4
// Image formats of CBaseChart_makeChart2.
#define CD_PNG 0
#define CD_BMP 4

// X(result, name, parameters): every function of the interface, once.
#define CHARTDIR_FUNCTIONS(X)                                                                                     \
  X(CdPieChart*, CPieChart_create, (int width, int height, int bgColor, int edgeColor, int raisedEffect))         \
  X(CdBaseChart*, PieChart2BaseChart, (CdPieChart * chart))                                                       \
  X(CdXYChart*, CXYChart_create, (int width, int height, int bgColor, int edgeColor, int raisedEffect))           \
  X(CdBaseChart*, XYChart2BaseChart, (CdXYChart * chart))                                                         \
  X(CdTextBox*, CBaseChart_addTitle, (CdBaseChart * chart, const char* text, const char* font, double fontSize,   \
                                      int fontColor))                                                             \
  X(CdTextBox*, CBaseChart_addText, (CdBaseChart * chart, int x, int y, const char* text, const char* font,       \
                                     double fontSize, int fontColor, int alignment))                              \
  X(CdLegendBox*, CBaseChart_addLegend, (CdBaseChart * chart, int x, int y, int vertical, const char* font,       \
                                         double fontSize))                                                        \
  X(CdLegendBox*, CBaseChart_getLegend, (CdBaseChart * chart))                                                    \
  X(CdTextBox*, LegendBox2TextBox, (CdLegendBox * legend))                                                        \
  X(CdBox*, TextBox2Box, (CdTextBox * text))                                                                      \
  X(void, CLegendBox_setKeyBorder, (CdLegendBox * legend, int edgeColor, int raisedEffect))                      \
  X(void, CBox_setBackground, (CdBox * box, int color, int edgeColor, int raisedEffect))                         \
  X(void, CTextBox_setText, (CdTextBox * text, const char* markup))                                               \
  X(void, CPieChart_setPieSize, (CdPieChart * chart, int x, int y, int r))                                        \
  X(void, CPieChart_setDonutSize, (CdPieChart * chart, int x, int y, int r, int r2))                              \
  X(void, CPieChart_set3D, (CdPieChart * chart, int depth, double angle, int shadowMode))                         \
  X(void, CPieChart_setSectorStyle, (CdPieChart * chart, int shadingMethod, int edgeColor, int edgeWidth))        \
  X(void, CPieChart_setExplode, (CdPieChart * chart, int sectorNo, int distance))                                 \
  X(void, CPieChart_setLabelFormat, (CdPieChart * chart, const char* format))                                     \
  X(void, CPieChart_setData, (CdPieChart * chart, const double* data, int dataLen, const char* const* labels,     \
                              int labelsLen))                                                                     \
  X(void, CBaseChart_setColors, (CdBaseChart * chart, int paletteEntry, const int* colors, int colorsLen))        \
  X(CdAxis*, CXYChart_xAxis, (CdXYChart * chart))                                                                 \
  X(CdAxis*, CXYChart_yAxis, (CdXYChart * chart))                                                                 \
  X(void, CAxis_setColors, (CdAxis * axis, int axisColor, int labelColor, int titleColor, int tickColor))         \
  X(CdPlotArea*, CXYChart_setPlotArea, (CdXYChart * chart, int x, int y, int width, int height, int bgColor,      \
                                        int altBgColor, int edgeColor, int hGridColor, int vGridColor))           \
  X(int, CBaseChart_linearGradientColor, (CdBaseChart * chart, int startX, int startY, int endX, int endY,        \
                                          int startColor, int endColor))                                          \
  X(CdAreaLayer*, CXYChart_addAreaLayer, (CdXYChart * chart, const double* data, int dataLen, int color,          \
                                          const char* name))                                                      \
  X(CdLayer*, AreaLayer2Layer, (CdAreaLayer * layer))                                                             \
  X(void, CLayer_setXData, (CdLayer * layer, const double* data, int dataLen))                                    \
  X(void, CLayer_addExtraField, (CdLayer * layer, const char* const* texts, int textsLen))                        \
  X(void, CLayer_setBorderColor, (CdLayer * layer, int color, int raisedEffect))                                  \
  X(int, CChart_barLighting, (double startBrightness, double endBrightness))                                       \
  X(void, CXYChart_swapXY, (CdXYChart * chart, int swap))                                                         \
  X(int, CBaseChart_makeChart, (CdBaseChart * chart, const char* fileName))                                       \
  X(int, CBaseChart_makeChart2, (CdBaseChart * chart, int format, const char** data, int* length))                \
  X(void, CBaseChart_destroy, (CdBaseChart * chart))

// The function types (CPieChart_create_fn, ...) and the functions themselves.
#define CHARTDIR_DECLARE(result, name, parameters) \
  typedef result (*name##_fn) parameters;          \
  result name parameters;
CHARTDIR_FUNCTIONS(CHARTDIR_DECLARE)
#undef CHARTDIR_DECLARE

#ifdef __cplusplus
}
#endif
