// The library's chart code linked into the test, with quick-report lists the
// test fills cell by cell, as the host's list views show them.
#pragma once
#include <gtest/gtest.h>

#include <cairo.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "console/substitute_host.h"
#include "graphs/charts.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "tests/support/in_process_library.h"
#include "sim/world_builder.h"

namespace support {

class ChartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_in_process(world_, &table_);
    screen_ = host::create_screen(3, "Quick Report");
    for (int i = 0; i < kQuickListCount; ++i) {
      g_quick_report.lists[i] = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD, 0, 0, 100, 100, screen_,
                                                reinterpret_cast<HMENU>(static_cast<intptr_t>(kQuickListControls[i])),
                                                nullptr, nullptr);
      build_report_view(g_quick_report.lists[i], report_view_of_list(kQuickListControls[i]));
    }
    g_quick_report.window_start = 0;
    g_quick_report.window_end = 0;
    g_report_run.stopped = 0;
  }

  void TearDown() override { end_in_process(); }

  HWND list(QuickReportList which) { return g_quick_report.lists[which]; }

  // The position of a column by its heading in a quick-report view.
  static int column(QuickReportList which, const char* heading) {
    const ReportView* view = report_view_of_list(kQuickListControls[which]);
    for (size_t i = 0; i < view->count; ++i)
      if (std::string(view->columns[i].title) == heading) return static_cast<int>(i);
    ADD_FAILURE() << "no column " << heading;
    return 0;
  }

  // Appends a row: the activity text, then cells by heading.
  void add_row(QuickReportList which, const char* activity,
               std::initializer_list<std::pair<const char*, std::string>> cells = {}) {
    HWND l = list(which);
    LVITEMA row = {};
    row.mask = LVIF_TEXT;
    row.iItem = static_cast<int>(SendMessageA(l, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = const_cast<char*>(activity);
    int at = static_cast<int>(SendMessageA(l, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
    for (const auto& [heading, text] : cells) {
      LVITEMA cell = {};
      cell.iSubItem = column(which, heading);
      cell.pszText = const_cast<char*>(text.c_str());
      SendMessageA(l, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
    }
  }

  // The count table after counting a chart: label -> count.
  std::map<std::string, int> counts(uint32_t group, uint32_t selection, QuickReportList which) {
    size_t labels = 0;
    EXPECT_TRUE(count_chart_rows(list(which), group, selection, &labels));
    const CountEntry* entries = sorted_chart_counts(&labels);
    std::map<std::string, int> out;
    for (size_t i = 0; i < labels; ++i) out[entries[i].label] = entries[i].count;
    return out;
  }

  // The messages shown so far, "title: text".
  static std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const ui::JournalEntry& e : ui::journal()) out.push_back(e.title + ": " + e.text);
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr;
};

// A PNG file decoded: its size and pixels (0xAARRGGBB, premultiplied, as cairo reads them).
struct Png {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

inline bool read_png(const std::string& path, Png* out) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS;
  if (ok) {
    cairo_surface_flush(s);
    out->width = cairo_image_surface_get_width(s);
    out->height = cairo_image_surface_get_height(s);
    int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    out->pixels.resize(static_cast<size_t>(out->width) * out->height);
    for (int y = 0; y < out->height; ++y)
      std::memcpy(&out->pixels[static_cast<size_t>(y) * out->width], data + static_cast<size_t>(y) * stride,
                  static_cast<size_t>(out->width) * 4);
  }
  cairo_surface_destroy(s);
  return ok;
}

// The colour of a list nearest to a pixel (RGB distance).
inline uint32_t nearest(uint32_t pixel, std::initializer_list<uint32_t> colours) {
  auto distance = [](uint32_t a, uint32_t b) {
    int dr = int(a >> 16 & 255) - int(b >> 16 & 255), dg = int(a >> 8 & 255) - int(b >> 8 & 255),
        db = int(a & 255) - int(b & 255);
    return dr * dr + dg * dg + db * db;
  };
  uint32_t best = *colours.begin();
  for (uint32_t c : colours)
    if (distance(pixel, c) < distance(pixel, best)) best = c;
  return best;
}

}  // namespace support
