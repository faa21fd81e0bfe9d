// The console's server-status and draw commands on the demo network: one
// comma-delimited line per server, and a server tile written as a PNG file.
#include <gtest/gtest.h>

#include <cairo.h>

#include <regex>
#include <string>

#include "tests/console/console_fixture.h"

namespace {

using ConsoleStatus = support::DemoConsoleTest;

TEST_F(ConsoleStatus, StatusLinesOfTheDemoServersAndATileAsPicture) {
  // SRV01's agent answers its pipe with its start time (a day before now) and versions; SRV02 has none.
  // Both send mail through the demo's mail server.
  const std::string lines =
      "\"IPv4 127.0.0.3\",\"Agent NOT INSTALLED\",\"SQL NOT Enabled\",\"Email Configured\","
      "\"No Department Hosted\",\r\n";
  support::ProgramRun all = run("server-status");
  EXPECT_EQ(all.exit_code, 0) << all.output;
  EXPECT_TRUE(std::regex_match(all.output.substr(0, all.output.find("\r\n") + 2),
                               std::regex("\"IPv4 127\\.0\\.0\\.2\",\"Agent Started [A-Z][a-z]+ [0-9]+, 20[0-9]{2} [ 12][0-9]:"
                                          "[0-5][0-9]\",\"Version 7\\.02b \\| 6\\.10c\\.6\",\"SQL NOT Enabled\",\"Email "
                                          "Configured\",\"Department Hosted \\(Finance\\)\",\r\n")))
      << all.output;
  EXPECT_EQ(all.output.substr(all.output.find("\r\n") + 2), lines);
  const std::string out = builder_.folder() + "/status.csv";
  support::ProgramRun named = run("server-status --server srv02 --out '" + out + "'");
  EXPECT_EQ(named.output, "1 status line written to " + out + "\n");
  EXPECT_EQ(support::read_whole_file(out), lines.substr(lines.find("\"IPv4 127.0.0.3")));
  support::ProgramRun unknown = run("server-status --server SRV09");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(unknown.output,
            "vornix-console: SRV09 is not a known server of this console (vornix-console servers lists them)\n");

  const std::string png = builder_.folder() + "/tile.png";
  support::ProgramRun tile = run("draw --control 0x602220C8 --server SRV02 --png '" + png + "'");
  // (A sanitizer build may add its report of the font caches after the line.)
  EXPECT_EQ(tile.output.rfind(png + " written (360x200)\n", 0), 0u) << tile.output;
  EXPECT_EQ(tile.exit_code, 0);
  EXPECT_EQ(support::read_whole_file(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
  support::ProgramRun undrawn = run("draw --control 0x60240001 --png '" + png + "'");
  EXPECT_EQ(undrawn.exit_code, 1);
  EXPECT_EQ(undrawn.output, "vornix-console: the library draws no control 0x60240001 (answer 4061)\n");
  // A check box with its caption, checked: the tick's green left of the caption.
  support::ProgramRun box = run("draw --control 0x602800B0 --text Enabled --checked --png '" + png + "'");
  EXPECT_EQ(box.exit_code, 0) << box.output;
  cairo_surface_t* picture = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_image_surface_get_width(picture), 360);
  auto pixel = [&](int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(picture) + y * cairo_image_surface_get_stride(picture);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
  };
  EXPECT_EQ(pixel(8, 103), 0x32A03Cu) << "the tick, its box centred on the left";
  EXPECT_EQ(pixel(2, 92), 0xFFFFFFu) << "the box's transparent corner";
  cairo_surface_destroy(picture);
  EXPECT_EQ(run("draw --control 602220C8 --png x.png").output,
            "vornix-console: --control needs a control identifier in hexadecimal, as 0x602220C8\n");
}

}  // namespace
