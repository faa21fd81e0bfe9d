// The drawing resources and the owner-draw export's own requests, run on the
// library's code linked into the test: the fonts chosen by the faces the
// console machine has, the striped report rows, and the scout's display field.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/drawn_control.h"
#include "sim/world_builder.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_test_api.h"
#include "win32/modules.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace {

class OwnerDraw : public ::testing::Test {
 protected:
  void start() {
    ui::reset();
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
  }

  void TearDown() override { release_drawing_resources(); }

  // The fonts of the set in role order: height, weight, face, then italic, underlined and symbol charset.
  static std::vector<std::string> fonts() {
    std::vector<std::string> out;
    platform::FontDescription d;
    for (HFONT font : g_library.drawing.fonts)
      out.push_back(!platform::describe_font(font, &d) ? "missing"
                    : std::to_string(d.height) + " " + std::to_string(d.weight) + " " + d.face +
                          (d.italic ? " italic" : "") + (d.underline ? " underlined" : "") +
                          (d.charset == SYMBOL_CHARSET ? " symbols" : ""));
    return out;
  }

  // The fonts made on a console machine with these faces.
  std::vector<std::string> fonts_with_faces(const std::string& faces) {
    world_.set_machine_setting(world_.console(), "fonts", "installed", faces);
    start();
    release_drawing_resources();
    const int before = qvmr_gdi_live_objects();
    create_drawing_resources();
    EXPECT_EQ(qvmr_gdi_live_objects(), before + kFontRoleCount + kBrushRoleCount + kPenCount)
        << "a face test's font that was replaced is deleted";
    std::vector<std::string> made = fonts();
    release_drawing_resources();
    EXPECT_EQ(qvmr_gdi_live_objects(), before) << "everything is deleted at detach";
    EXPECT_EQ(g_library.medium_font, nullptr);
    return made;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

const std::vector<std::string> kSymbolFonts = {"72 300 Webdings symbols", "26 300 Wingdings symbols",
                                               "24 500 webdings symbols", "14 300 marlett symbols",
                                               "26 300 marlett symbols", "17 700 marlett symbols"};

std::vector<std::string> with_symbols(std::vector<std::string> fonts) {
  fonts.insert(fonts.end(), kSymbolFonts.begin(), kSymbolFonts.end());
  return fonts;
}

TEST_F(OwnerDraw, FontsFollowTheFacesTheMachineHas) {
  const std::string others = "Arial, Tahoma, Trebuchet MS, Webdings, Wingdings, Marlett";
  const std::vector<std::string> both = with_symbols(
      {"18 200 Calibri", "40 400 Segoe UI Light", "25 400 Segoe UI Light", "20 400 Segoe UI Light",
       "14 400 Segoe UI Light", "17 400 Segoe UI Light", "17 700 Segoe UI Light", "54 400 Segoe UI Light",
       "12 300 Calibri", "14 300 Calibri", "16 450 Calibri", "14 300 Calibri italic", "16 600 Calibri",
       "20 600 Calibri", "16 600 Calibri italic", "24 400 Calibri", "24 700 Calibri", "24 700 Calibri underlined",
       "48 700 Calibri"});
  EXPECT_EQ(fonts_with_faces(others + ", calibri, SEGOE UI LIGHT"), both) << "faces compared without case";

  // Without either face: the main face falls back to Trebuchet MS and its "+2" sizes grow, the
  // title fonts take the main face with their own sizes and weights.
  const std::vector<std::string> neither = with_symbols(
      {"18 200 Trebuchet MS", "34 300 Trebuchet MS", "27 300 Trebuchet MS", "22 300 Trebuchet MS",
       "16 300 Trebuchet MS", "19 300 Trebuchet MS", "19 700 Trebuchet MS", "56 300 Trebuchet MS",
       "12 300 Trebuchet MS", "16 300 Trebuchet MS", "18 450 Trebuchet MS", "16 300 Trebuchet MS italic",
       "16 600 Trebuchet MS", "20 600 Trebuchet MS", "16 600 Trebuchet MS italic", "24 400 Trebuchet MS",
       "24 700 Trebuchet MS", "24 700 Trebuchet MS underlined", "48 700 Trebuchet MS"});
  EXPECT_EQ(fonts_with_faces(others), neither);
  EXPECT_STREQ(g_library.drawing.title_face, "Trebuchet MS");

  // One face missing at a time: only its fonts change.
  std::vector<std::string> no_title = both;
  for (int role = kFontTitleLarge; role <= kFontTitleHuge; ++role) no_title[role] = neither[role];
  const int title_heights[] = {32, 25, 20, 14, 17, 17, 54};
  for (int role = kFontTitleLarge; role <= kFontTitleHuge; ++role)
    no_title[role] = std::to_string(title_heights[role - kFontTitleLarge]) +
                     (role == kFontTitle17Bold ? " 700" : " 300") + " Calibri";
  EXPECT_EQ(fonts_with_faces(others + ", Calibri"), no_title);

  std::vector<std::string> no_main = neither;
  for (int role = kFontTitleLarge; role <= kFontTitleHuge; ++role) no_main[role] = both[role];
  EXPECT_EQ(fonts_with_faces(others + ", Segoe UI Light"), no_main);
}

// The result and answer of one custom-draw stage of a list, and the row's text background after it.
using Stripe = std::tuple<DWORD, uintptr_t, COLORREF>;
Stripe custom_draw(uint32_t list, DWORD stage, DWORD_PTR row) {
  NMLVCUSTOMDRAW draw = {};
  draw.nmcd.dwDrawStage = stage;
  draw.nmcd.dwItemSpec = row;
  draw.clrTextBk = 0x123456;
  uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(&draw), 0x77};
  DWORD result = entry_point_wm_draw_item(0, 0x40404040, reinterpret_cast<uintptr_t>(pair), 0, list);
  return {result, pair[1], draw.clrTextBk};
}

TEST_F(OwnerDraw, OddRowsOfTheTwoReportListsAreStripedAndTheScoutsFrequencyIsShown) {
  world_.add_registry_text(world_.console(), "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent]\r\n"
                           "\"ScanFrequency\"=dword:0000003c\r\n\r\n");
  start();
  EXPECT_EQ(custom_draw(0x60440D1E, CDDS_PREPAINT, 0), (Stripe{1, 0x20, 0x123456}));
  EXPECT_EQ(custom_draw(0x60440D1E, CDDS_ITEMPREPAINT, 0), (Stripe{1, 0, 0x123456}));
  EXPECT_EQ(custom_draw(0x60440D1E, CDDS_ITEMPREPAINT, 1), (Stripe{1, 2, 0xF0F5FB}));
  EXPECT_EQ(custom_draw(0x602400CB, CDDS_ITEMPREPAINT, 3), (Stripe{1, 2, 0xFEFFF0}));
  EXPECT_EQ(custom_draw(0x602400CB, CDDS_ITEMPREPAINT, 4), (Stripe{1, 0, 0x123456}));
  EXPECT_EQ(custom_draw(0x602400CB, CDDS_ITEMPOSTPAINT, 1), (Stripe{1, 0, 0x123456}));
  EXPECT_EQ(custom_draw(0x60240001, CDDS_ITEMPREPAINT, 1), (Stripe{4061, 0x77, 0x123456})) << "a list not striped";

  HWND screen = host::create_screen(5, "Scout");
  HWND field = host::add_control(screen, 10, "Static", "", host::ControlSpec{0x603800FB, kDescriptorKind3});
  HWND other = host::add_control(screen, 11, "Static", "kept", host::ControlSpec{0x603800FC, kDescriptorKind3});
  for (HWND w : {field, other})
    EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(w), 0x51515155, 0, 0, 0), 1u);
  char text[32] = {};
  GetWindowTextA(field, text, sizeof text);
  EXPECT_STREQ(text, "60");
  GetWindowTextA(other, text, sizeof text);
  EXPECT_STREQ(text, "kept");
}

// A navigation button drawn in a state: its caption, the caption's colour and font, and the face's colour.
using Drawn = std::tuple<std::string, COLORREF, HGDIOBJ, uint32_t>;
Drawn navigation_button(uint32_t id, UINT state) {
  support::DrawnControl d = support::draw_control(id, nullptr, state);
  return {d.texts.empty() ? "" : d.texts[0], d.colour, d.font, d.at(1, 1)};
}

TEST_F(OwnerDraw, NavigationButtonsShowTheirCaptionInTheirState) {
  start();
  create_drawing_resources();
  const HGDIOBJ plain = g_library.drawing.fonts[kFontHeadingBold];
  const HGDIOBJ underlined = g_library.drawing.fonts[kFontHeadingBoldUnderlined];
  EXPECT_EQ(navigation_button(0x602100C4, 0), (Drawn{"Reports", 0xFFFFFF, plain, 0x3172B6}));
  EXPECT_EQ(navigation_button(0x602100C5, ODS_SELECTED), (Drawn{"Profiles", 0xFFFFFF, plain, 0x5A5A5A}));
  EXPECT_EQ(navigation_button(0x602100C6, ODS_FOCUS), (Drawn{"Settings", 0xFFFFFF, underlined, 0x3172B6}));
  EXPECT_EQ(navigation_button(0x602100C7, ODS_DISABLED), (Drawn{"Help", 0xA0A0A0, plain, 0x3172B6}));
}

using support::draw_control;
using support::DrawnControl;
constexpr uint32_t kWhite = 0xFFFFFF, kBand = 0x3172B6, kGrey = 0x5A5A5A, kHover = 0x378E52;
constexpr uint32_t kTickGreen = 0x32A03C, kAmber = 0xF0B428;

TEST_F(OwnerDraw, BitmapButtonsCheckBoxesAndRadioButtonsShowTheirState) {
  start();
  g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  HWND screen = host::create_screen(6, "Buttons");
  auto button = [&](int item, uint32_t id, const char* caption) {
    return host::add_control(screen, item, "Button", caption, host::ControlSpec{id, kDescriptorPushButton});
  };
  // The bitmaps sit at the left, 12 pixels down in a 40-pixel control, their magenta left out.
  HWND box = button(10, 0x602800B0, "Enabled");
  DrawnControl unchecked = draw_control(0x602800B0, box);
  EXPECT_EQ(unchecked.at(8, 23), kWhite) << "no tick";
  EXPECT_EQ(unchecked.at(2, 12), kWhite) << "the bitmap's corner is transparent";
  EXPECT_EQ(unchecked.at(3, 13), 0x282828u) << "the box's frame";
  EXPECT_EQ(unchecked.texts, std::vector<std::string>{"Enabled"});
  EXPECT_EQ(unchecked.font, g_library.drawing.fonts[kFontNormal]);
  SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(draw_control(0x602800B0, box).at(8, 23), kTickGreen);

  HWND radio = button(11, 0x60410D10, "Last 24 hours");
  DrawnControl off = draw_control(0x60410D10, radio);
  EXPECT_EQ(off.at(10, 20), kBand) << "an empty ring on the title band";
  EXPECT_EQ(off.at(10, 13), kWhite);
  EXPECT_EQ(off.colour, 0xFFFFFFu);
  SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(draw_control(0x60410D10, radio).at(10, 20), kWhite) << "the selected dot";

  // A picture button, centred; pressed it shows its selected bitmap on grey.
  HWND add = button(12, 0x603140E2, "");
  DrawnControl plain = draw_control(0x603140E2, add), pressed = draw_control(0x603140E2, add, ODS_SELECTED);
  EXPECT_EQ(plain.at(44, 4), kWhite);
  EXPECT_EQ(pressed.at(44, 4), kAmber);
  EXPECT_EQ(pressed.at(1, 1), kGrey);
  EXPECT_EQ(draw_control(0x602100CE, button(13, 0x602100CE, "")).at(1, 1), kBand) << "a white glyph on the band";

  // Identifiers of no family stay the host's to draw.
  DRAWITEMSTRUCT none = {};
  none.hDC = qvmr_paint_create_dc();
  for (uint32_t id : {0x60210099u, 0x60240001u, 0x6028006Eu + 0x26})
    EXPECT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&none), 0, id), 4061u) << std::hex << id;
  qvmr_paint_delete_dc(none.hDC);

  // At detach the bitmaps are deleted with the rest of the set.
  HBITMAP checked = g_library.drawing.bitmaps[kBitmapChecked];
  ASSERT_NE(checked, nullptr);
  release_drawing_resources();
  EXPECT_EQ(g_library.drawing.bitmaps[kBitmapChecked], nullptr);
  EXPECT_FALSE(DeleteObject(checked));
  qvmr_unregister_module(g_library.instance);
}

TEST_F(OwnerDraw, HoverButtonsRepaintAsTheCursorEntersAndLeavesAndStyledButtonsGetATooltip) {
  start();
  HWND screen = host::create_screen(7, "Servers");
  HWND hover = host::add_control(screen, 10, "Button", "Update Agent",
                                 host::ControlSpec{0x603100C7, kDescriptorPushButton});
  HWND still = host::add_control(screen, 11, "Button", "Refresh", host::ControlSpec{0x603100A5, kDescriptorPushButton});
  for (HWND w : {hover, still})
    EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(w), 0x50505050, 0, 0, 0), 1u);
  EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(hover), 0x50505050, 0, 0, 0), 1u) << "subclassed once: twice, the procedure would call itself";

  DrawnControl away = draw_control(0x603100C7, hover);
  EXPECT_EQ(away.at(1, 1), kWhite);
  EXPECT_EQ(away.texts, std::vector<std::string>{"Update Agent"});
  EXPECT_EQ(away.colour, 0xB67231u);
  EXPECT_EQ(away.font, g_library.drawing.fonts[kFontHeading]);
  for (HWND w : {hover, still}) SendMessageA(w, WM_MOUSEMOVE, 0, 0);
  SendMessageA(hover, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(ui::invalidate_count(hover), 1) << "repainted on entering, not on each move";
  EXPECT_EQ(ui::invalidate_count(still), 0);
  DrawnControl under = draw_control(0x603100C7, hover);
  EXPECT_EQ(under.at(1, 1), kHover);
  EXPECT_EQ(under.colour, 0xFFFFFFu);
  SendMessageA(hover, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(ui::invalidate_count(hover), 2);
  EXPECT_EQ(draw_control(0x603100C7, hover).at(1, 1), kWhite);
  SendMessageA(hover, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Update"));
  char text[32] = {};
  GetWindowTextA(hover, text, sizeof text);
  EXPECT_STREQ(text, "Update") << "the button's own procedure still runs";

  // Drawn twice, the styled button has one tool, showing its caption.
  ASSERT_NE(g_library.tooltip, nullptr);
  EXPECT_EQ(SendMessageA(g_library.tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  TTTOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uId = reinterpret_cast<UINT_PTR>(hover);
  char shown[80] = {};
  tool.lpszText = shown;
  SendMessageA(g_library.tooltip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(shown, "Update Agent");
}

}  // namespace
