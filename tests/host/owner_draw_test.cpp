// The drawing resources and the owner-draw export's own requests, run on the
// library's code linked into the test: the fonts chosen by the faces the
// console machine has, the striped report rows, and the scout's display field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "chartdir/memory_dc.h"
#include "host/host.h"
#include "tests/support/world_builder.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_test_api.h"
#include "win32/paint_test_api.h"
#include "win32/ui_script.h"

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
    for (HFONT font : g_library.drawing.fonts) {
      platform::FontDescription d;
      if (!platform::describe_font(font, &d)) {
        out.push_back("missing");
        continue;
      }
      out.push_back(std::to_string(d.height) + " " + std::to_string(d.weight) + " " + d.face +
                    (d.italic ? " italic" : "") + (d.underline ? " underlined" : "") +
                    (d.charset == SYMBOL_CHARSET ? " symbols" : ""));
    }
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

// The answer of one custom-draw stage of a list and the row's text background after it.
struct Stripe {
  DWORD result;
  uintptr_t answer;
  COLORREF background;
};

Stripe custom_draw(uint32_t list, DWORD stage, DWORD_PTR row) {
  NMLVCUSTOMDRAW draw = {};
  draw.nmcd.dwDrawStage = stage;
  draw.nmcd.dwItemSpec = row;
  draw.clrTextBk = 0x123456;
  uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(&draw), 0x77};
  DWORD result = entry_point_wm_draw_item(0, 0x40404040, reinterpret_cast<uintptr_t>(pair), 0, list);
  return {result, pair[1], draw.clrTextBk};
}

bool operator==(const Stripe& a, const Stripe& b) {
  return a.result == b.result && a.answer == b.answer && a.background == b.background;
}
std::ostream& operator<<(std::ostream& out, const Stripe& s) {
  return out << "{" << s.result << ", " << s.answer << ", " << std::hex << s.background << std::dec << "}";
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

// A navigation button drawn in a state: its caption, the caption's colour and font, and the
// colour of the face at its corner.
struct Drawn {
  std::string caption;
  COLORREF colour;
  HGDIOBJ font;
  uint32_t corner;  // 0xRRGGBB
};

Drawn navigation_button(uint32_t id, UINT state) {
  DRAWITEMSTRUCT item = {};
  item.itemState = state;
  item.rcItem = {0, 0, 120, 40};
  item.hDC = qvmr_paint_create_dc();
  EXPECT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&item), 0, id), 1u);
  QvmrDrawnText text = {};
  EXPECT_TRUE(qvmr_paint_drawn_text(item.hDC, 0, &text));
  qvmr_paint_delete_dc(item.hDC);
  item.hDC = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, 120, 40);
  HGDIOBJ previous = SelectObject(item.hDC, bitmap);
  EXPECT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&item), 0, id), 1u);
  auto picture = platform::bitmap_part(bitmap, 0, 120, 40);
  SelectObject(item.hDC, previous);
  DeleteObject(bitmap);
  DeleteDC(item.hDC);
  return {text.text, text.colour, text.font, picture ? picture->pixels[120 + 1] & 0xFFFFFF : 0};
}

bool operator==(const Drawn& a, const Drawn& b) {
  return a.caption == b.caption && a.colour == b.colour && a.font == b.font && a.corner == b.corner;
}
std::ostream& operator<<(std::ostream& out, const Drawn& d) {
  return out << "{" << d.caption << ", " << std::hex << d.colour << ", " << d.font << ", " << d.corner << std::dec
             << "}";
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

}  // namespace
