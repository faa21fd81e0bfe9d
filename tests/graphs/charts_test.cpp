// Chart building on lists the test fills: the labels counted, the rows left
// out, the charts of several passes, the subtitle, and every chart kind drawn
// into a PNG or a bitmap, sampled where its sectors and bars lie.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "console/linked_library.h"
#include "config/registry.h"
#include "host/control_descriptor.h"
#include "reports/report_generation.h"
#include "tests/graphs/chart_fixture.h"
#include "tests/support/drawn_control.h"
#include "tests/support/list_rows.h"
#include "sim/logwriter.h"
#include "tests/support/time_zone.h"
#include "win32/paint_test_api.h"

namespace {

using Counts = std::map<std::string, int>;

class Charts : public support::ChartTest {};

TEST_F(Charts, LabelsMergeWithoutCaseOrTrailingBlanksAndStopRowsAreNeverCounted) {
  add_row(kQuickListFileSystem, "Create File", {{"Object", "jsmith"}, {"Path", "C:\\data\\Report.TXT"}});
  add_row(kQuickListFileSystem, "create file", {{"Object", "JSMITH  "}, {"Path", "\\\\SRV01\\share/dir/report.txt"}});
  add_row(kQuickListFileSystem, "Delete File", {{"Object", "svc_backup"}, {"Path", "C:\\other.doc"}});
  add_row(kQuickListFileSystem, "Delete File", {{"Object", "svc_user"}, {"Path", ""}});  // "_user": left out
  add_row(kQuickListFileSystem, "Write File", {{"Object", " lead"}, {"Path", "\x01hidden"}});  // below "!": left out
  add_row(kQuickListFileSystem, "_USER REQUESTED REPORT GENERATION CANCELLED");
  add_row(kQuickListFileSystem, "_MAXIMUM RECORD COUNT [5] REACHED, REPORT STOPPED");
  // A label is kept to 291 characters: two that differ only after that are one.
  std::string long_label(400, 'x');
  add_row(kQuickListFileSystem, "Open File", {{"Object", long_label}});
  add_row(kQuickListFileSystem, "Open File", {{"Object", long_label.substr(0, 291) + "y"}});

  EXPECT_EQ(counts(1400, 4, kQuickListFileSystem),
            (Counts{{"jsmith", 2}, {"svc_backup", 1}, {std::string(291, 'x'), 2}}));
  EXPECT_EQ(counts(1400, 5, kQuickListFileSystem), (Counts{{"Report.TXT", 2}, {"other.doc", 1}}));
  EXPECT_EQ(counts(1400, 1, kQuickListFileSystem),
            (Counts{{"Create File", 2}, {"Delete File", 2}, {"Write File", 1}, {"Open File", 2}}));
}

TEST_F(Charts, LogonAndDirectoryChartsFilterTheirRowsAndBuildTheirLabels) {
  const char* fail = "Logon Failure Type";
  add_row(kQuickListLogon, "LOGON FAILED (NTLM)",
          {{fail, "Bad Password"}, {"IPv4 Address", "10.0.0.5"}, {"Workstation", "WS1"}, {"Object", "ann"},
           {"Reporting Server", "DC1"}});
  add_row(kQuickListLogon, "LOGON FAILED (NTLM)",
          {{fail, "bad password (locked)"}, {"IPv4 Address", "10.0.0.5"}, {"Workstation", "WS1"}, {"Object", "bob"},
           {"Reporting Server", "DC2"}});
  add_row(kQuickListLogon, "LOGON FAILED (Kerberos)",
          {{fail, "Unknown user"}, {"IPv4 Address", "10.0.0.6"}, {"Workstation", "WS2"}, {"Object", "cy"},
           {"Reporting Server", "DC1"}});
  add_row(kQuickListLogon, "LOGON (Kerberos)", {{"Object", "ann"}, {"Reporting Server", "DC1"}});
  add_row(kQuickListLogon, "LOGON FAILED (local)", {{"Object", "ann"}});  // no "logon (": not a logon
  EXPECT_EQ(counts(1800, 21, kQuickListLogon), (Counts{{"10.0.0.5 [WS1]", 2}}));
  EXPECT_EQ(counts(1800, 22, kQuickListLogon), (Counts{{"ann", 1}, {"bob", 1}}));
  EXPECT_EQ(counts(1800, 30, kQuickListLogon), (Counts{{"DC1", 2}, {"DC2", 1}}));
  EXPECT_EQ(counts(1800, 50, kQuickListLogon), (Counts{{"ann", 1}}));

  auto directory = [&](const char* activity, const char* object_class, const char* attribute, const char* object,
                       const char* comment) {
    add_row(kQuickListDirectory, activity,
            {{"Object Class", object_class}, {"Attribute Changed", attribute}, {"Active Directory Object", object},
             {"Attribute Comment (further identifies attribute change details)", comment}});
  };
  directory("AD Create Object", "Computer", "", "CN=PC1", "");
  directory("AD Delete Object", "computer", "", "CN=PC2", "");
  directory("AD Create Object", "user", "", "CN=ann", "");
  directory("AD Add Attribute Value", "group", "member", "CN=Admins", "");
  directory("AD Delete Attribute Value", "Group", "Member", "CN=Admins", "");
  directory("AD Add Attribute Value", "user", "member", "CN=NotAGroup", "");
  directory("AD Add Attribute Value", "user", "userAccountControl", "CN=ann", "added [account is disabled]");
  directory("AD Remove Attribute", "user", "useraccountcontrol", "CN=bob", "removed [account is disabled]");
  directory("AD Remove Attribute", "user", "userAccountControl", "CN=cy", "removed [password never expires]");
  EXPECT_EQ(counts(2200, 14, kQuickListDirectory),
            (Counts{{"AD Create Object: Computer", 1}, {"AD Delete Object: computer", 1}}));
  EXPECT_EQ(counts(2200, 15, kQuickListDirectory), (Counts{{"AD Create Object: user", 1}}));
  EXPECT_EQ(counts(2200, 17, kQuickListDirectory),
            (Counts{{"Add Member CN=Admins", 1}, {"Delete All Members CN=Admins", 1}}));
  EXPECT_EQ(counts(2200, 18, kQuickListDirectory), (Counts{{"Disable Account", 1}, {"Enable Account", 1}}));
}

TEST_F(Charts, MissingColumnsAndAFullTableAreToldAndCountingStops) {
  add_row(kQuickListGpo, "GPO Link Options", {{"Reporting Server", "DC1"}});
  size_t labels = 99;
  // The GPO view has no "Share Used" heading.
  EXPECT_FALSE(count_chart_rows(list(kQuickListGpo), 1400, 3, &labels));
  EXPECT_EQ(labels, 0u);
  EXPECT_EQ(messages(), std::vector<std::string>{"Unable to Graph: Break - No MC 922 [3]"});
  EXPECT_FALSE(count_chart_rows(list(kQuickListGpo), 2600, 99, &labels));  // no such chart: nothing said

  ui::clear_journal();
  for (size_t i = 0; i <= kCountTableEntries; ++i)
    add_row(kQuickListFileSystem, ("activity " + std::to_string(i)).c_str());
  EXPECT_TRUE(count_chart_rows(list(kQuickListFileSystem), 1400, 1, &labels));
  EXPECT_EQ(labels, kCountTableEntries);
  EXPECT_TRUE(count_chart_rows(list(kQuickListFileSystem), 1400, 1, &labels));
  EXPECT_EQ(messages(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL: Exceed LTable 128"});
}

// The GPO view has no heading that names a GPO: its rows are counted by the GPO their records name.
TEST_F(Charts, EventsPerGpoCountsTheGpoOfEachRow) {
  support::LogWriter log;
  uint32_t seed = 0;
  for (const char* gpo : {"Default Domain Policy", "Finance Drive Maps", "default domain policy  "}) {
    GpoDirectoryLogRecord r = support::sample_gpo_directory_record(0xE8001000, ++seed);
    copy_text(r.head.gpo_text1, sizeof r.head.gpo_text1, gpo);
    log.add(r);
  }
  GpoFileLogRecord file = support::sample_gpo_file_record(0xE4001001, ++seed);
  copy_text(file.head.gpo_text1, sizeof file.head.gpo_text1, "Sites/Branch\\Lockdown");
  log.add(file);
  log.add(support::sample_gpo_directory_record(0xE8001000, ++seed));  // after the limit: not read
  const std::string path = world_.folder() + "/gpo.vnx";
  ASSERT_TRUE(log.save(path));
  // Read as a report of at most 3 rows: the fourth row is followed by the limit row, which holds no event.
  g_library.search_cancel = 0;
  g_report_run.record_count = 0;
  g_report_run.maximum_records = 3;
  BYTE context[kRowContextBytes] = {};
  LogReadRequest request = {list(kQuickListGpo), 0, path.c_str(), context, {0, 0}, nullptr};
  read_activity_log(&request);
  g_report_run.maximum_records = 0;
  ASSERT_EQ(SendMessageA(list(kQuickListGpo), LVM_GETITEMCOUNT, 0, 0), 5);

  EXPECT_EQ(counts(2600, 2, kQuickListGpo), (Counts{{"Default Domain Policy", 2}, {"Finance Drive Maps", 1},
                                                    {"Lockdown", 1}}));
  EXPECT_TRUE(messages().empty());
  support::release_list_rows(list(kQuickListGpo), true);
}

TEST_F(Charts, SubtitleShowsTheRangeTheStopAndTheTopTwentyFiveNote) {
  support::TimeZone utc("UTC");
  const uint32_t end = 1796551200;  // Sun Dec 06 2026 10:00 UTC
  struct Case {
    uint32_t start;
    bool stopped, note;
    const char* subtitle;
  } cases[] = {
      {end - 85000, false, false, "Sat Dec 05 2026 through Sun Dec 06 2026"},
      {end - 84999, false, false, "Last 23 hours ending Sun Dec 06 2026 10:00"},
      {1073807359, false, false, "All Dates"},
      {end - 7200, true, true,
       "Last 2 hours ending Sun Dec 06 2026 10:00 *Report Aborted, partial results* <*color=A0A0A0*>(Showing Top 25 values)"},
  };
  for (const Case& c : cases) {
    char text[300];
    chart_subtitle(c.start, end, c.stopped, c.note, text, sizeof text);
    EXPECT_STREQ(text, c.subtitle) << c.start;
  }
}

class ChartDrawing : public support::ChartTest {
 protected:
  // Three users counted 5, 3 and 1, and a fourth whose name is the legend's own markup.
  void SetUp() override {
    ChartTest::SetUp();
    for (auto [user, n] : {std::pair<const char*, int>{"ann", 5}, {"bob", 3}, {"<*color=00FF00*>{value}WWWW", 1}})
      for (int i = 0; i < n; ++i) add_row(kQuickListFileSystem, "Open File", {{"Object", user}});
    view_.group = 1400;
    view_.selection = 4;
    ASSERT_TRUE(ensure_chart_cache(&view_));
  }
  void TearDown() override {
    release_chart_cache(&view_);
    ChartTest::TearDown();
  }

  ChartView view_ = {};
  RECT area_ = {0, 0, 640, 480};
};

constexpr uint32_t kFirst = 0xFF6835, kSecond = 0x0BA0FC, kThird = 0x6DCC14;

TEST_F(ChartDrawing, EveryKindWritesAPngOfTheViewSizeWithTheLargestCountInTheFirstColour) {
  // The pie's geometry for 640 x 480: half sizes 319 and 239, q = 159: centre (149, 239), radius 129.
  const double cx = 149, cy = 239, r = 129, middle = (-90 + 360 * 5 / 18.0) * M_PI / 180;
  for (uint32_t kind = 0; kind < kChartKinds; ++kind) {
    std::string path = world_.folder() + "/kind" + std::to_string(kind) + ".png";
    view_.kind = kind;
    view_.to_file = TRUE;
    copy_text(view_.image_file, sizeof view_.image_file, path.c_str());
    ASSERT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u) << kind;
    support::Png png;
    ASSERT_TRUE(support::read_png(path, &png)) << kind;
    EXPECT_EQ(png.width, 640);
    EXPECT_EQ(png.height, 480);
    EXPECT_EQ(png.at(2, 470), 0xFFFFFFu) << kind;  // the background
    int x, y;
    if (kind < kFirstBarKind) {
      bool three_d = kind == 0 || kind == 2 || kind == 3, exploded = kind < 2;
      double along = 0.75 * r + (exploded ? 10 : 0);
      x = static_cast<int>(cx + along * std::cos(middle));
      y = static_cast<int>(cy + along * std::sin(middle) * (three_d ? 0.55 : 1.0));
    } else if (kind == kFirstBarKind) {
      x = 100, y = 440;  // the first bar spans x 10 to 190, from the plot area's foot upward
    } else {
      x = 300, y = 290;  // on its side: y 260 to 321, from x 10 rightward
    }
    EXPECT_EQ(support::nearest(png.at(x, y), {kFirst, kSecond, kThird, 0xFFFFFF}), kFirst) << "kind " << kind;
  }
}

TEST_F(ChartDrawing, ALabelShowsTheLegendMarkupAsTextNotAsColour) {
  view_.kind = 1;
  view_.to_file = TRUE;
  std::string path = world_.folder() + "/legend.png";
  copy_text(view_.image_file, sizeof view_.image_file, path.c_str());
  ASSERT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u);
  support::Png png;
  ASSERT_TRUE(support::read_png(path, &png));
  // The legend lies right of the pie (x from 303); read as markup, the label would draw green text there.
  int green = 0;
  for (int y = 48; y < 200; ++y)
    for (int x = 330; x < 640; ++x) {
      uint32_t p = png.at(x, y);
      if ((p >> 8 & 255) > 150 && (p >> 16 & 255) < 100 && (p & 255) < 100) ++green;
    }
  EXPECT_EQ(green, 0);
}

TEST_F(ChartDrawing, TheBitmapInMemoryIsCachedPerKindUntilANewSelection) {
  view_.kind = 4;
  ASSERT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u);
  const BYTE* image = view_.image;
  ASSERT_NE(image, nullptr);
  int32_t header_size, width, height;
  std::memcpy(&header_size, image, 4);
  std::memcpy(&width, image + 4, 4);
  std::memcpy(&height, image + 8, 4);
  EXPECT_EQ(header_size, 40);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  uint32_t offset;
  std::memcpy(&offset, image - 14 + 10, 4);
  EXPECT_EQ(view_.pixels, image - 14 + offset);
  EXPECT_EQ(view_.cache[0], 4u);

  // Shown again from the cache: the rows added since are not counted.
  add_row(kQuickListFileSystem, "Open File", {{"Object", "zed"}});
  ASSERT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u);
  EXPECT_EQ(view_.image, image);
  size_t labels = 0;
  sorted_chart_counts(&labels);
  EXPECT_EQ(labels, 3u);
  view_.kind = 5;  // another kind is drawn anew
  ASSERT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u);
  sorted_chart_counts(&labels);
  EXPECT_EQ(labels, 4u);

  release_chart_cache(&view_);
  EXPECT_EQ(BuildChart(&view_, area_, "File Events per User"), 0u);
  EXPECT_EQ(messages(), std::vector<std::string>{"VORNIX message from QVMR0007.DLL: Unexpected Error MM71, unable to chart"});
}

TEST_F(ChartDrawing, AChartingLibraryWithoutAFunctionIsNamedAndNothingIsDrawn) {
  release_chart_library();
  qvmr_hide_export("chartdir51.dll", "CXYChart_swapXY");
  EXPECT_EQ(BuildChart(&view_, area_, "File Events per User"), 0u);
  qvmr_hide_export(nullptr, nullptr);
  EXPECT_EQ(messages(), std::vector<std::string>{
                            "Unable to Graph: The charting library chartdir51.dll has no function CXYChart_swapXY, "
                            "unable to chart"});
  EXPECT_EQ(BuildChart(&view_, area_, "File Events per User"), 1u);  // loaded again once it is whole
}

TEST_F(ChartDrawing, NoRowsDrawNothingAndWriteNoFile) {
  view_.selection = 8;  // "wts remote add": no row has one
  view_.to_file = TRUE;
  std::string path = world_.folder() + "/none.png";
  copy_text(view_.image_file, sizeof view_.image_file, path.c_str());
  EXPECT_EQ(BuildChart(&view_, area_, "File Events per Remote IP Address"), 0u);
  EXPECT_FALSE(std::ifstream(path).good());
}

// The graph area's text as the owner-draw export draws it, on a device context that records it.
std::string graph_area_text() {
  DRAWITEMSTRUCT item = {};
  item.rcItem = {0, 0, 400, 300};
  item.hDC = qvmr_paint_create_dc();
  EXPECT_EQ(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&item), 0, 0x60410918), 1u);
  QvmrDrawnText text = {};
  qvmr_paint_drawn_text(item.hDC, 0, &text);
  int count = qvmr_paint_drawn_texts(item.hDC);
  qvmr_paint_delete_dc(item.hDC);
  return count == 1 ? text.text : std::to_string(count) + " texts";
}

// Selects a chart in a graph tree of the screen, as the user clicks it.
void select_in_graph_tree(HWND screen, uint32_t group, uint32_t selection) {
  HWND tree = host::add_control(screen, 30, WC_TREEVIEWA, "", host::ControlSpec{0x60440916, kDescriptorListView});
  auto insert = [&](HTREEITEM parent, LPARAM value) {
    TVINSERTSTRUCTA item = {};
    item.hParent = parent;
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT | TVIF_PARAM;
    item.item.pszText = const_cast<char*>("chart");
    item.item.lParam = value;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  };
  HTREEITEM chart = insert(insert(TVI_ROOT, group), selection);
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chart));
  host::send_list_event(host::in_process_library(), tree);
}

TEST_F(Charts, GraphAreaSaysWhenNoChartIsSelectedOrNoValuesWereFound) {
  EXPECT_EQ(graph_area_text(), "No Graph Selected");
  select_in_graph_tree(screen_, kFileActivityCharts, 1);
  EXPECT_EQ(graph_area_text(), "No values found to graph") << "the quick report's lists are empty";
}

// The graph area as the screen paints it while a chart of many rows is made for it: the
// share of rows counted at each whole ten percent, then the chart's own pixels over the area.
TEST_F(Charts, GraphAreaShowsTheCountingsProgressThenTheChart) {
  for (int i = 0; i < 1000; ++i) add_row(kQuickListFileSystem, "Open File", {{"Object", i % 4 ? "ann" : "bob"}});
  HWND graph = host::add_control(screen_, 31, "Button", "", host::ControlSpec{0x60410918, kDescriptorPushButton});
  MoveWindow(graph, 0, 0, 320, 240, FALSE);
  support::draw_control(0x60410918, graph, 0, 320, 240);
  ASSERT_EQ(GetWindowLongPtrA(graph, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << "drawn once, the area is the library's";

  select_in_graph_tree(screen_, kFileActivityCharts, 4);
  HDC painted = qvmr_paint_window_dc(graph);
  std::vector<std::string> texts, expected;
  QvmrDrawnText text = {};
  for (int i = 0; qvmr_paint_drawn_text(painted, i, &text); ++i) {
    texts.push_back(text.text);
    EXPECT_EQ(text.images_before, 0) << text.text;
  }
  for (int percent = 0; percent <= 100; percent += 10)
    expected.push_back("Preparing selected Graph..." + std::to_string(percent));
  EXPECT_EQ(texts, expected) << "repainted at each whole ten percent, not at each row";
  UpdateWindow(graph);  // the paint the made chart asked for
  EXPECT_EQ(qvmr_paint_drawn_images(painted), 1);
  EXPECT_EQ(qvmr_paint_drawn_texts(painted), 11) << "the chart is drawn instead of a text";

  // On a bitmap twice the chart's size: ann's three quarters of the pie in the first data colour.
  support::DrawnControl chart = support::draw_control(0x60410918, graph, 0, 640, 480);
  EXPECT_TRUE(chart.texts.empty());
  int first = 0, white = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint32_t nearest = support::nearest(chart.at(x, y), {kFirst, kSecond, 0xFFFFFF, 0x000000});
      first += nearest == kFirst;
      white += nearest == 0xFFFFFF;
    }
  EXPECT_GT(first, 4 * 1000) << "a 3D pie of radius 49, stretched twice";
  EXPECT_GT(white, 640 * 480 / 2) << "the chart's white background";
}

// The counts the chart last drawn was made from.
Counts last_counts() {
  size_t labels = 0;
  const CountEntry* entries = sorted_chart_counts(&labels);
  Counts out;
  for (size_t i = 0; i < labels; ++i) out[entries[i].label] = entries[i].count;
  return out;
}

// Each new quick report is charted from its own rows: the kind pressed again, though drawn before, and the
// graph area painted without a press.
TEST_F(Charts, ANewQuickReportIsChartedFromItsOwnRows) {
  support::TimeZone utc("UTC");
  constexpr uint32_t kNow = 1796551200;  // Sun Dec 06 2026 10:00 UTC
  world_.add_machine("SRV01", "127.0.0.2");
  world_.add_registry_text("SRV01", "HKLM",
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                           "\"ReportPath\"=\"VNXLOGS$\"\r\n\r\n");
  const std::string folder = world_.machine_dir("SRV01") + "/shares/VNXLOGS$/vnxlogs/";
  std::filesystem::create_directories(folder);
  world_.set_clock_start(kNow);
  world_.open();
  // A scheduled quick report of the last two days over today's log, whose file events name these accounts.
  auto run_quick_report = [&](std::vector<const char*> accounts) {
    support::LogWriter log;
    uint32_t t = kNow - 3600;
    for (const char* account : accounts) {
      FileLogRecord r = support::sample_file_record(0xFF330001, t % 1000);
      r.event_time = ++t;
      copy_text(r.account, sizeof r.account, account);
      log.add(r);
    }
    ASSERT_TRUE(log.save(folder + support::log_file_name("fs", "SRV01", 2026, 12, 6)));
    BOOL failed = TRUE;
    EXPECT_EQ(RunScheduledQuickReport(screen_, "SRV01", 2, 0, &failed), accounts.size());
    EXPECT_FALSE(failed);
  };
  HWND graph = host::add_control(screen_, 31, "Button", "", host::ControlSpec{0x60410918, kDescriptorPushButton});
  MoveWindow(graph, 0, 0, 320, 240, FALSE);
  auto show_kind = [&](uint32_t kind) {
    HWND button = host::add_control(screen_, 40 + static_cast<int>(kind), "Button", "",
                                    host::ControlSpec{0x6041091C + kind, kDescriptorPushButton});
    EXPECT_EQ(entry_point_button_services(screen_, 0, host::descriptor_of(button)), 1u);
  };

  run_quick_report({"ann", "ann", "ann"});
  select_in_graph_tree(screen_, kFileActivityCharts, 4);
  show_kind(6);
  show_kind(0);
  EXPECT_EQ(last_counts(), (Counts{{"ann", 3}}));

  run_quick_report({"bob", "bob"});
  show_kind(6);
  EXPECT_EQ(last_counts(), (Counts{{"bob", 2}})) << "a kind drawn for the report before is drawn again";

  run_quick_report({"cy"});
  EXPECT_EQ(graph_area_text(), "0 texts") << "the chart, made for the painting";
  EXPECT_EQ(last_counts(), (Counts{{"cy", 1}}));
  run_quick_report({});
  EXPECT_EQ(graph_area_text(), "No values found to graph");

  for (int i = 0; i < kQuickListCount; ++i) support::release_list_rows(list(static_cast<QuickReportList>(i)), true);
  free_quick_report_files();
  release_registry_connections();
}

}  // namespace
