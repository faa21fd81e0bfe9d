// The report definitions file beside the console program: listed through the
// definitions list's event as rows with tiles, retyped through the dialog and
// deleted through the button, with the file compared whole before and after.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "console/linked_library.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/exports.h"
#include "host/host.h"
#include "reports/report_definitions.h"
#include "resources/resource.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/whole_file.h"
#include "sim/world_builder.h"
#include "win32/gdi_test_api.h"
#include "win32/modules.h"
#include "win32/paths.h"
#include "win32/ui_script.h"

namespace {

const std::string kDefinitions =
    "[Empty]\r\n"
    "\r\n"
    "[Access Audit]\r\n"
    "AUTHOR_SAM=jsmith\r\n"
    "AUTHOR_TIME=Dec 6 2026\r\n"
    "REPORT_TYPE=AccessEnum\r\n"
    "OUTPUT_TYPE=CSV\r\n"
    "EMAIL_LIST=audit@brightmere.example\r\n"
    "WITH_EPERM=1\r\n"
    "FS_PATH00000000=C:\\data\r\n"
    "FS_PATH00000001=\\\\SRV01\\share\r\n"
    "FS_PATH00000003=C:\\after the gap\r\n"
    "AD_PATH00000000=OU=Staff\r\n"
    "\r\n"
    "[Vertical Slice]\r\n"
    "REPORT_TYPE=vertical\r\n"
    "EMAIL_LIST=*\r\n"
    "WITH_EPERM=*\r\n";

uint32_t pixel(const std::string& png, int x, int y) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
  uint32_t value = 0xDEADBEEF;
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(s);
    std::memcpy(&value, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4, 4);
    value &= 0xFFFFFF;
  }
  cairo_surface_destroy(s);
  return value;
}

class ReportDefinitions : public ::testing::Test {
 protected:
  void SetUp() override {
    support::start_in_process(world_, &table_);
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Brightmere", "C:\\Program Files\\Brightmere\\VORNIX"})
      CreateDirectoryA(folder, nullptr);
    char windows_path[MAX_PATH];
    ASSERT_TRUE(report_definitions_path(windows_path, sizeof windows_path));
    EXPECT_STREQ(windows_path, "C:\\Program Files\\Brightmere\\VORNIX\\MERIDAXW_FS_REPORT_DEFINITIONS.INI");
    platform::map_path(windows_path, &file_);
    std::ofstream(file_, std::ios::binary) << kDefinitions;
    screen_ = host::create_screen(5, "Report Definitions");
    list_ = host::add_control(screen_, 3000, WC_LISTVIEWA, "", {kReportDefinitionsList, kDescriptorListView});
    button_ = host::add_control(screen_, 3001, "Button", "Delete", {kDeleteDefinitionButton, kDescriptorPushButton, 5, 3000});
    images_ = ImageList_Create(kTileWidth, kTileHeight, ILC_COLOR32, 4, 4);
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
    library_ = host::in_process_library();
  }
  void TearDown() override {
    support::release_list_rows(list_);
    ImageList_Destroy(images_);
    support::end_in_process();
  }

  struct Row {
    std::string name, type, output, emails;
    uint32_t eperm;
    int image;
    bool operator==(const Row& o) const {
      return name == o.name && type == o.type && output == o.output && emails == o.emails && eperm == o.eperm &&
             image == o.image;
    }
  };
  std::vector<Row> rows() {
    std::vector<Row> out;
    int n = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      auto* r = reinterpret_cast<const BYTE*>(list_row_param(list_, i));
      Row row{definition_row_name(r), reinterpret_cast<const char*>(r + kDefinitionReportTypeOffset),
              reinterpret_cast<const char*>(r + kDefinitionOutputTypeOffset), definition_row_emails(r), 0, 0};
      std::memcpy(&row.eperm, r + kDefinitionEpermOffset, 4);
      std::memcpy(&row.image, r + kDefinitionImageOffset, 4);
      out.push_back(row);
    }
    return out;
  }
  // The tile's type colour (2, 2) and band colour (2, 110).
  std::pair<uint32_t, uint32_t> tile_colours(int image) {
    std::string png = world_.folder() + "/tile" + std::to_string(image) + ".png";
    EXPECT_TRUE(qvmr_image_list_write_png(images_, image, png.c_str()));
    return {pixel(png, 2, 2), pixel(png, 2, 110)};
  }
  void select(const char* name) {
    auto all = rows();
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i].name == name) ui::click_row(list_, static_cast<int>(i));
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  host::Library library_;
  std::string file_;
  HWND screen_ = nullptr, list_ = nullptr, button_ = nullptr;
  HIMAGELIST images_ = nullptr;
};

constexpr std::pair<uint32_t, uint32_t> kBlue = {0x0072C6, 0x002E4F}, kOrange = {0xFF6600, 0x662900},
                                         kGreen = {0x61B329, 0x274810};

TEST_F(ReportDefinitions, EachSectionBecomesARowWithItsTileInItsTypeColoursAtItsPosition) {
  EXPECT_EQ(host::send_list_event(library_, list_), 1u);
  const std::vector<Row> listed = {{"Empty", "*", "*", "", 0, 0},
                                   {"Access Audit", "AccessEnum", "CSV", "audit@brightmere.example", 132, 1},
                                   {"Vertical Slice", "vertical", "*", "", 0, 2}};
  EXPECT_EQ(rows(), listed);
  EXPECT_EQ(tile_colours(0), kBlue);
  EXPECT_EQ(tile_colours(1), kOrange);
  EXPECT_EQ(tile_colours(2), kGreen);

  // Listed again (the host refreshes the list), each tile is drawn anew in its place: no image is added.
  for (int again = 0; again < 2; ++again) {
    support::release_list_rows(list_);
    EXPECT_EQ(host::send_list_event(library_, list_), 1u);
  }
  EXPECT_EQ(rows(), listed);
  EXPECT_EQ(ImageList_GetImageCount(images_), 3);
  EXPECT_EQ(tile_colours(1), kOrange);

  ReportDefinition d;
  read_report_definition((file_).c_str(), "Empty", &d);  // a path of this computer reads as well
  EXPECT_STREQ(d.author_sam, "*");
  EXPECT_STREQ(d.author_time, "*");
  EXPECT_EQ(d.paths + d.ad_objects + d.ad_attributes, 0u);
  read_report_definition(file_.c_str(), "access audit", &d);
  EXPECT_EQ(d.paths, 2u);  // number 2 is missing: number 3 is not counted
  EXPECT_EQ(d.ad_objects, 1u);

  // A list of more than 1500 entries is counted to 1500.
  std::string big = "[Big]\r\n";
  for (int i = 0; i < 1600; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "AD_ATTR%08d=attribute%d\r\n", i, i);
    big += line;
  }
  std::ofstream(file_, std::ios::binary) << big;
  read_report_definition(file_.c_str(), "Big", &d);
  EXPECT_EQ(d.ad_attributes, 1500u);

  std::remove(file_.c_str());
  support::release_list_rows(list_);
  EXPECT_EQ(host::send_list_event(library_, list_), 1u);
  EXPECT_TRUE(rows().empty());
  EXPECT_TRUE(ui::journal().empty());
}

TEST_F(ReportDefinitions, ChangingTheTypeRewritesOnlyThatLineAndRedrawsTheTileInPlace) {
  host::send_list_event(library_, list_);
  select("Access Audit");
  ui::script({"CHANGE_REPORT_TYPE", IDCANCEL, "", {}});
  EXPECT_FALSE(ChangeReportDefinitionType(screen_, list_));
  EXPECT_EQ(support::read_whole_file(file_), kDefinitions);

  ui::script({"CHANGE_REPORT_TYPE", IDOK, "", {{IDC_REPORT_TYPES, "VERTICAL"}}});
  EXPECT_TRUE(ChangeReportDefinitionType(screen_, list_));
  std::string expected = kDefinitions;
  expected.replace(expected.find("REPORT_TYPE=AccessEnum"), 22, "REPORT_TYPE=VERTICAL");
  EXPECT_EQ(support::read_whole_file(file_), expected);
  EXPECT_EQ(rows()[1].type, "VERTICAL");
  EXPECT_EQ(rows()[1].image, 1);
  EXPECT_EQ(ImageList_GetImageCount(images_), 3);
  EXPECT_EQ(tile_colours(1), kGreen);
  const ui::JournalEntry shown = ui::journal().back();
  EXPECT_EQ(shown.template_name, "CHANGE_REPORT_TYPE");
  EXPECT_EQ(shown.rows, (std::vector<std::string>{"BASIC", "ACCESSENUM", "VERTICAL"}));

  // A file that cannot be written is left as it was, and the user is told why.
  SetFileAttributesA("C:\\Program Files\\Brightmere\\VORNIX\\MERIDAXW_FS_REPORT_DEFINITIONS.INI", FILE_ATTRIBUTE_READONLY);
  ui::script({"CHANGE_REPORT_TYPE", IDOK, "", {{IDC_REPORT_TYPES, "BASIC"}}});
  EXPECT_FALSE(ChangeReportDefinitionType(screen_, list_));
  EXPECT_EQ(support::read_whole_file(file_), expected);
  EXPECT_EQ(ui::journal().back().title, "Change Failed");
  EXPECT_EQ(ui::journal().back().text, "[0CRPTT]Error 5 occurred during change Report Type.");
}

TEST_F(ReportDefinitions, DeletionAsksFirstAndRemovesTheWholeSectionAndItsRow) {
  host::send_list_event(library_, list_);
  select("Access Audit");
  ui::script({"DELETE DEFINITION?", IDNO, "", {}});
  library_.entry_point_button_services(screen_, 0, host::descriptor_of(button_));
  EXPECT_EQ(support::read_whole_file(file_), kDefinitions);
  EXPECT_EQ(rows().size(), 3u);
  EXPECT_EQ(ui::journal().back().text, "Click YES to confirm deletion of Report Definition Access Audit");

  ui::script({"DELETE DEFINITION?", IDYES, "", {}});
  library_.entry_point_button_services(screen_, 0, host::descriptor_of(button_));
  std::string expected = kDefinitions;
  size_t from = expected.find("[Access Audit]");
  expected.erase(from, expected.find("[Vertical Slice]") - from);
  EXPECT_EQ(support::read_whole_file(file_), expected);
  // The host lists the definitions again.
  std::vector<std::string> calls = host::service_calls();
  EXPECT_EQ(calls.back(), "host_refresh_control item=3000");
  support::release_list_rows(list_);
  host::send_list_event(library_, list_);
  std::vector<std::string> names;
  for (const Row& r : rows()) names.push_back(r.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Empty", "Vertical Slice"}));
}

}  // namespace
