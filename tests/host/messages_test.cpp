// How the library reports: plain message boxes, quiet mode, and the styled
// dialogs that the first owner-drawn button switches on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "host/control_descriptor.h"
#include "host/list_item.h"
#include "tests/support/library_fixture.h"
#include "tests/support/list_rows.h"
#include "win32/gdi_test_api.h"
#include "win32/paint_test_api.h"

namespace {

class Messages : public support::LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    screen_ = host::create_screen(40, "Reports");
  }

  HWND push_button(uint32_t id) {
    return host::add_control(screen_, 500 + static_cast<int>(id & 0xFF), "Button", "",
                             host::ControlSpec{id, kDescriptorPushButton});
  }

  // The host asks the library to draw a button, as it does for owner-drawn controls.
  DWORD draw(HWND button, uint32_t id) {
    DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, 0, 0, button, nullptr, {}, 0};
    auto* draw_item = reinterpret_cast<DWORD (*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t)>(
        host::export_address(library_, "entry_point_wm_draw_item"));
    return draw_item(reinterpret_cast<uintptr_t>(button), 0, reinterpret_cast<uintptr_t>(&item), 0, id);
  }

  // A refused start-up shows its message; a good one follows so the library stays started.
  std::vector<ui::JournalEntry> mismatch_message() {
    ui::clear_journal();
    EXPECT_EQ(library_.establish_tables(5, table_.data()), 0u);
    auto shown = ui::journal();
    EXPECT_EQ(library_.establish_tables(6, table_.data()), 1u);
    return shown;
  }

  // Each drawn text with its colour, "text #rrggbb" as COLORREF holds it.
  static std::vector<std::string> texts(const std::vector<QvmrDrawnText>& drawn) {
    std::vector<std::string> out;
    char colour[16];
    for (const QvmrDrawnText& d : drawn) {
      std::snprintf(colour, sizeof colour, " #%06x", static_cast<unsigned>(d.colour));
      out.push_back(d.text + std::string(colour));
    }
    return out;
  }

  HWND screen_ = nullptr;
};

TEST_F(Messages, TheFirstDrawnStyledButtonSwitchesToTheLibrarysDialogsAndMediumFont) {
  start();
  // Drawing a follower, or a button outside the list of switches, leaves the plain boxes on.
  HWND follower = push_button(0x60310096);
  draw(follower, 0x60310096);  // follows the mode only once it is on
  EXPECT_EQ(draw(push_button(0x60410D1E), 0x60410D1E), 4061u);
  auto plain = mismatch_message();
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].kind, "message box");
  EXPECT_EQ(GetWindowLongPtrA(follower, GWL_STYLE) & BS_TYPEMASK, 0);

  HWND quick_report = push_button(0x60410D1D);
  int objects = qvmr_gdi_live_objects();
  EXPECT_EQ(draw(quick_report, 0x60410D1D), 1u) << "the quick report's button is drawn with its caption";
  EXPECT_EQ(GetWindowLongPtrA(quick_report, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  auto styled = mismatch_message();
  ASSERT_EQ(styled.size(), 1u);
  EXPECT_EQ(styled[0].kind + "|" + styled[0].template_name + "|" + styled[0].title,
            "dialog|SHORT_MSG|VORNIX message from QVMR0007.DLL");
  EXPECT_NE(styled[0].text.find("UNABLE TO LOAD DLL\n\nVERSION MISMATCH WITH RARODO BASE"), std::string::npos);
  EXPECT_GT(qvmr_gdi_live_objects(), objects) << "the dialogs' brush and fonts";

  // Styled screens: edit fields get the medium font; servers that cannot be read add no node.
  HWND edit = host::add_control(screen_, 700, "Edit", "", host::ControlSpec{0x60380116, kDescriptorEditField});
  library_.entry_point_text_services(screen_, host::descriptor_of(edit), 0, 0, 0, 0, nullptr, nullptr,
                                     0, 0, 0, 0x60380116, 7);
  EXPECT_NE(SendMessageA(edit, WM_GETFONT, 0, 0), 0);
  static uint8_t record[kListItemBytes];
  HWND servers = support::add_server_list(library_, screen_, {{"SRV01", record}});
  ASSERT_TRUE(ui::click_row(servers, 0));
  HWND tree = host::add_control(screen_, 800, WC_TREEVIEWA, "", host::ControlSpec{0x30247001, kDescriptorList});
  auto root_event = [&] {
    return host::send_list_event(library_, tree, 0x30247001, reinterpret_cast<uintptr_t>(TVI_ROOT));
  };
  set_item_word(record, kItemWordAgentState, kAgentPermissionError);
  EXPECT_EQ(root_event(), 1u);
  set_item_word(record, kItemWordAgentState, kAgentRunning);
  record[kItemByteReachability] = kUnreachable;
  EXPECT_EQ(root_event(), 1u);
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);
  record[kItemByteReachability] = 0;
  EXPECT_EQ(root_event(), 4061u);
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 1);

  host::unload_library(&library_);
  EXPECT_EQ(qvmr_gdi_live_objects(), objects) << "detach deletes every brush and font";
}

TEST_F(Messages, StyledDialogsColourTheirTextsAndTheGreetingDrawsItsOwnOk) {
  world_.use_real_clock();  // the greeting's thread ends within the unload's real one-second pause
  world_.open();
  start();
  ImageList_Destroy(host::insert_list_images(library_));  // list events need not wait for the host's images
  draw(push_button(0x60410D1D), 0x60410D1D);
  auto shown = mismatch_message();
  ASSERT_EQ(shown.size(), 1u);
  // The title on its band and the text; no owner-drawn button.
  const std::vector<QvmrDrawnText> message = shown[0].drawn;
  EXPECT_EQ(texts(message), (std::vector<std::string>{"VORNIX message from QVMR0007.DLL #ffffff",
                                                      "UNABLE TO LOAD DLL\n\nVERSION MISMATCH WITH RARODO BASE #b67231"}));
  ASSERT_EQ(message.size(), 2u);
  const HGDIOBJ heading_bold = message[0].font;
  EXPECT_TRUE(heading_bold && message[1].font && message[1].font != heading_bold);

  // The console's server list with no known servers greets after 1.5 seconds. The library
  // draws the OK itself; the text is white, in the heading's bold font.
  ui::clear_journal();
  HWND servers = host::add_control(screen_, 900, WC_LISTVIEWA, "", host::ControlSpec{0x602400C1, kDescriptorListView});
  host::send_list_event(library_, servers, 0x602400C1);
  for (int i = 0; i < 300 && ui::journal().empty(); ++i) Sleep(10);
  shown = ui::journal();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].template_name + " " + std::to_string(shown[0].result), "HELLO_PREP 1");
  const std::vector<QvmrDrawnText> greeting = shown[0].drawn;
  EXPECT_EQ(texts(greeting),
            (std::vector<std::string>{
                "Welcome to VORNIX #f3ab00",
                "On the following screen you will select the Windows Server to install VORNIX. #ffffff", "OK #ffffff"}));
  ASSERT_EQ(greeting.size(), 3u);
  EXPECT_TRUE(greeting[0].font && greeting[0].font != heading_bold && greeting[0].font != message[1].font)
      << "the big bold font";
  EXPECT_EQ(greeting[1].font, heading_bold);
}

TEST_F(Messages, StyledListViewsColourTheirColumnTitlesUntilDestroyedOrDetach) {
  start();
  HWND view = host::add_control(screen_, 1002, WC_LISTVIEWA, "", host::ControlSpec{0x60240FF0, kDescriptorListView});
  HWND tree = host::add_control(screen_, 1003, WC_TREEVIEWA, "", host::ControlSpec{0x60240FF1, kDescriptorList});
  const LONG_PTR own_proc = GetWindowLongPtrA(view, GWLP_WNDPROC);
  auto expect_proc = [&](HWND list, LONG_PTR proc, LONG_PTR previous) {
    EXPECT_EQ(GetWindowLongPtrA(list, GWLP_WNDPROC), proc);
    EXPECT_EQ(host::descriptor_of(list)[kDescWordPreviousProc], static_cast<uintptr_t>(previous));
  };

  host::send_list_event(library_, view, 0x60240FF0);
  host::send_list_event(library_, tree, 0x60240FF1);
  expect_proc(view, own_proc, 0);  // plain screens are left alone
  EXPECT_EQ(SendMessageA(tree, WM_GETFONT, 0, 0), 0);

  draw(push_button(0x60410D1D), 0x60410D1D);
  host::send_list_event(library_, view, 0x60240FF0);
  const LONG_PTR styled_proc = GetWindowLongPtrA(view, GWLP_WNDPROC);
  host::send_list_event(library_, view, 0x60240FF0);
  expect_proc(view, styled_proc, own_proc);  // subclassed once
  const LRESULT medium_font = SendMessageA(view, WM_GETFONT, 0, 0);
  EXPECT_NE(medium_font, 0);
  host::send_list_event(library_, tree, 0x60240FF1);
  EXPECT_EQ(SendMessageA(tree, WM_GETFONT, 0, 0), medium_font);
  EXPECT_EQ(host::descriptor_of(tree)[kDescWordPreviousProc], 0u) << "kind 1 gets the font only";

  // Screens rebuilt again and again: a destroyed list gives its place back.
  auto styled_list = [&](int item) {
    HWND list = host::add_control(screen_, item, WC_LISTVIEWA, "", host::ControlSpec{0x60240FF2, kDescriptorListView});
    host::send_list_event(library_, list, 0x60240FF2);
    return list;
  };
  for (int i = 0; i < 100; ++i) {
    HWND gone = styled_list(1100);
    ASSERT_NE(host::descriptor_of(gone)[kDescWordPreviousProc], 0u) << "list " << i;
    ASSERT_TRUE(DestroyWindow(gone));
  }
  // 64 live lists fill the table: one more keeps its own procedure but gets the font,
  // and is styled by its next event once a place is free.
  std::vector<HWND> live;
  for (int i = 0; i < 63; ++i) live.push_back(styled_list(1100 + i));
  EXPECT_NE(host::descriptor_of(live.back())[kDescWordPreviousProc], 0u);
  HWND waiting = styled_list(1200);
  expect_proc(waiting, own_proc, 0);
  EXPECT_EQ(SendMessageA(waiting, WM_GETFONT, 0, 0), medium_font);
  for (HWND list : live) ASSERT_TRUE(DestroyWindow(list));
  host::send_list_event(library_, waiting, 0x60240FF2);
  expect_proc(waiting, styled_proc, own_proc);

  // The list's own messages pass through the library's procedure, also on a list
  // made after more lists than the table holds have come and gone.
  HWND first_view = view;
  view = styled_list(1300);
  EXPECT_EQ(GetWindowLongPtrA(view, GWLP_WNDPROC), styled_proc);
  EXPECT_EQ(SendMessageA(view, WM_GETFONT, 0, 0), medium_font);
  const char* titles[] = {"Server", "BlkDel count", "kerberos tickets", "DENYOPEN events", "denyopen BLKCRE"};
  for (int i = 0; i < 5; ++i) {
    LVCOLUMNA column{LVCF_TEXT, 0, 0, const_cast<char*>(titles[i]), 0, 0};
    ASSERT_EQ(SendMessageA(view, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)), i);
  }
  auto header = reinterpret_cast<HWND>(SendMessageA(view, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);

  HDC dc = qvmr_paint_create_dc();
  auto custom_draw = [&](HWND from, DWORD stage, int column) {
    NMCUSTOMDRAW draw{{from, 0, NM_CUSTOMDRAW}, stage, dc, {100 * column, 3, 100 * column + 90, 23},
                      static_cast<DWORD_PTR>(column), 0, 0};
    return SendMessageA(view, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
  };
  EXPECT_EQ(custom_draw(header, CDDS_PREPAINT, 0), CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(custom_draw(header, CDDS_ITEMPREPAINT, 0), CDRF_NOTIFYPOSTPAINT);
  EXPECT_EQ(custom_draw(view, CDDS_PREPAINT, 0), 0) << "not the header's: the list's own answer";
  EXPECT_EQ(qvmr_paint_drawn_texts(dc), 0);
  for (int i = 0; i < 5; ++i) custom_draw(header, CDDS_ITEMPOSTPAINT, i);
  std::vector<QvmrDrawnText> drawn(qvmr_paint_drawn_texts(dc));
  for (int i = 0; i < static_cast<int>(drawn.size()); ++i) {
    ASSERT_TRUE(qvmr_paint_drawn_text(dc, i, &drawn[i]));
    EXPECT_EQ(std::make_tuple(drawn[i].x, drawn[i].y, reinterpret_cast<LRESULT>(drawn[i].font)),
              std::make_tuple(100 * i + 6, 5, medium_font));
  }
  // Counts in blue, the DENYOPEN events in orange.
  EXPECT_EQ(texts(drawn), (std::vector<std::string>{"Server #b67231", "BlkDel count #0000ff", "kerberos tickets #0000ff",
                                                    "DENYOPEN events #0080ff", "denyopen BLKCRE #0000ff"}));
  qvmr_paint_delete_dc(dc);

  // Unloading the library gives the live lists their own procedure back.
  host::unload_library(&library_);
  for (HWND list : {first_view, view, waiting}) expect_proc(list, own_proc, 0);
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 5);
}

}  // namespace
