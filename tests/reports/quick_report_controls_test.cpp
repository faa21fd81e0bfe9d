// The quick report's drawn controls through the owner-draw export: the button's
// caption in each state of a run, and the two progress bars its control holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/control_descriptor.h"
#include "reports/log_reader.h"
#include "tests/support/in_process_library.h"
#include "win32/paint_test_api.h"

namespace {

class QuickReportControls : public ::testing::Test {
 protected:
  void SetUp() override { support::start_in_process(world_, &table_); }
  void TearDown() override {
    g_quick_report.state = kQuickReportIdle;
    release_drawing_resources();
    support::end_in_process();
  }

  // The texts drawn for the control, on a device context that records them.
  static std::vector<std::string> drawn(HWND window, uint32_t id) {
    DRAWITEMSTRUCT item = {};
    item.hwndItem = window;
    item.rcItem = {0, 0, 300, 40};
    item.hDC = qvmr_paint_create_dc();
    EXPECT_EQ(entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(window), 0, reinterpret_cast<uintptr_t>(&item), 0,
                                       id),
              1u);
    std::vector<std::string> texts;
    QvmrDrawnText text = {};
    for (int i = 0; qvmr_paint_drawn_text(item.hDC, i, &text); ++i) texts.push_back(text.text);
    qvmr_paint_delete_dc(item.hDC);
    return texts;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
};

TEST_F(QuickReportControls, ButtonFollowsTheRunAndTheProgressControlGetsItsTwoBars) {
  const std::pair<uint32_t, const char*> captions[] = {{kQuickReportIdle, "Run Quick Report Now"},
                                                       {kQuickReportPreparing, "Initializing Report..."},
                                                       {kQuickReportRunning, "Stop Quick Report"},
                                                       {kQuickReportStop, "Stopping Report..."}};
  for (const auto& [state, caption] : captions) {
    g_quick_report.state = state;
    EXPECT_EQ(drawn(nullptr, 0x60410D1D), std::vector<std::string>{caption}) << state;
  }

  HWND screen = host::create_screen(4, "Quick Report");
  HWND holder = host::add_control(screen, 20, "Static", "", host::ControlSpec{0x60420D20, kDescriptorKind3});
  EXPECT_TRUE(drawn(holder, 0x60420D20).empty());
  drawn(holder, 0x60420D20);
  for (const char* name : {"BAR1", "BAR2"}) {
    HWND bar = FindWindowExA(holder, nullptr, PROGRESS_CLASSA, name);
    ASSERT_NE(bar, nullptr) << name;
    EXPECT_EQ(FindWindowExA(holder, bar, PROGRESS_CLASSA, name), nullptr) << name << " made once";
    EXPECT_EQ(GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE, 0) << "hidden until a run shows it";
  }
}

}  // namespace
