// The HTML graphical report as a person sees it: written by vornix-console
// and opened in headless Chromium, which reports the page's title, each image
// as it decoded it and the text of the chart without data. A screenshot of
// the page is kept beside the test program (graphical-report.png).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/demo_activity.h"
#include "sim/program_runner.h"
#include "sim/world_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kNow = 1796551200;
constexpr char kChromium[] =
    "chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update "
    "--disable-sync --no-first-run";

// A page beside the report that opens it in a frame and writes what the browser made of it.
constexpr char kCheckPage[] = R"(<html><body><pre id="out">not loaded</pre>
<iframe id="report" src="report.html" width="1000" height="800"></iframe>
<script>
document.getElementById('report').onload = function () {
  var d = this.contentDocument, images = d.getElementsByTagName('img');
  var lines = ['title=' + d.title, 'images=' + images.length];
  for (var i = 0; i < images.length; ++i)
    lines.push('image ' + i + ' ' + images[i].complete + ' ' + images[i].naturalWidth + 'x' + images[i].naturalHeight);
  var text = d.body.textContent, at = text.indexOf('No Data Found');
  lines.push('no data=' + (at < 0 ? '' : text.substring(at, text.indexOf(')', at) + 1)));
  document.getElementById('out').textContent = lines.join('\n');
};
</script></body></html>)";

TEST(GraphicalReportInChromium, TitleEveryImageDecodedAndTheChartWithoutData) {
  support::WorldBuilder world;
  support::add_known_demo_server(world, kNow);
  std::string out = world.folder() + "/out";
  fs::create_directories(out);
  support::ProgramRun report = support::run_program(
      VORNIX_CONSOLE_PATH, "graphical-report --server SRV01 --days 4 --size 640x480 --chart '1400:4:3D Pie' "
                           "--chart '2200:14:2D Pie' --chart '1800:1:Bar Horizontal' --html '" + out + "/report' --world '" +
                           world.folder() + "'");
  ASSERT_EQ(report.exit_code, 0) << report.output;
  std::ofstream(out + "/check.html") << kCheckPage;

  std::string profile = " --user-data-dir='" + out + "/profile' ";
  support::ProgramRun seen = support::run_program(
      "timeout", "120 " + std::string(kChromium) + profile +
                     "--allow-file-access-from-files --virtual-time-budget=10000 --dump-dom 'file://" + out +
                     "/check.html'",
      out + "/chromium.log");
  ASSERT_EQ(seen.exit_code, 0) << seen.output;
  size_t from = seen.output.find("<pre id=\"out\">"), to = seen.output.find("</pre>");
  ASSERT_NE(from, std::string::npos) << seen.output;
  EXPECT_EQ(seen.output.substr(from + 14, to - from - 14),
            "title=VORNIX Graphical Analysis Report\n"
            "images=2\n"
            "image 0 true 640x480\n"
            "image 1 true 640x480\n"
            "no data=No Data Found for Graph (Active Directory Create|Delete Computer Object Events)");

  std::string screenshot = std::string(BROWSER_ARTIFACTS) + "/graphical-report.png";
  support::ProgramRun shot = support::run_program(
      "timeout", "120 " + std::string(kChromium) + profile + "--window-size=1000,2400 --screenshot='" + screenshot +
                     "' 'file://" + out + "/report.html'",
      out + "/chromium.log");
  EXPECT_EQ(shot.exit_code, 0) << shot.output;
  EXPECT_GT(fs::file_size(screenshot), 10000u);
}

}  // namespace
