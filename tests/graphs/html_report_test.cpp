// The HTML graphical report, read back and taken apart: its head and style
// sheet, one row per chart with the image embedded, names escaped, and the
// file name rules of the interactive save.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "graphs/html_report.h"
#include "tests/graphs/chart_fixture.h"
#include "tests/support/time_zone.h"
#include "sim/whole_file.h"
#include "win32/paths.h"

namespace {

std::string local(const std::string& windows_path) {
  std::string path;
  EXPECT_EQ(platform::map_path(windows_path.c_str(), &path), 0u);
  return path;
}

// Base64 text (line ends skipped) to bytes; false on any other character.
bool decode_base64(const std::string& text, std::string* out) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '=') continue;
    size_t v = alphabet.find(c);
    if (v == std::string::npos) return false;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if ((count += 6) >= 8) out->push_back(static_cast<char>(bits >> (count -= 8)));
  }
  return true;
}

class HtmlReport : public support::ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    for (int i = 0; i < 3; ++i) add_row(kQuickListFileSystem, "Open File", {{"Object", "ann"}, {"Workstation", "WS1"}});
    tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 100, 100, screen_, nullptr, nullptr, nullptr);
  }

  // The views are fixed before the tree points at them.
  void fill_tree() {
    for (size_t i = 0; i < views_.size(); ++i) {
      TVINSERTSTRUCTA insert = {};
      insert.hParent = TVI_ROOT;
      insert.hInsertAfter = TVI_LAST;
      insert.item.mask = TVIF_TEXT | TVIF_PARAM;
      insert.item.pszText = const_cast<char*>(captions_[i]);
      insert.item.lParam = reinterpret_cast<LPARAM>(&views_[i]);
      SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
    }
  }
  void TearDown() override {
    for (ChartView& v : views_) release_chart_cache(&v);
    ChartTest::TearDown();
  }

  HWND tree_ = nullptr;
  std::vector<ChartView> views_;
  std::vector<const char*> captions_;
};

TEST_F(HtmlReport, ThreeChartsTheSecondWithoutRowsGiveImageNoDataAndImage) {
  support::TimeZone utc("UTC");
  captions_ = {"File Events per User (3D Pie)", "File Events per Remote IP Address (Terminal Server) (2D Pie)",
               "File Events per Workstation (Bar Vertical)"};
  views_ = {{1400, 4, 0, FALSE, "", nullptr, nullptr, nullptr, nullptr, FALSE, 0, 0},
            {1400, 8, 1, FALSE, "", nullptr, nullptr, nullptr, nullptr, FALSE, 0, 0},
            {1400, 6, 6, FALSE, "", nullptr, nullptr, nullptr, nullptr, FALSE, 0, 0}};
  fill_tree();
  char path[MAX_PATH];
  ASSERT_TRUE(WriteScheduledGraphicalReport(tree_, "Weekly <Audit> & \"Co\"", "SRV&01", 500, 400, path, sizeof path));
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  EXPECT_EQ(std::string(path), std::string(temp) + "CCR_Weekly <Audit> & \"Co\"(" + std::to_string(GetCurrentProcessId()) + ").HTML");
  std::string html = support::read_whole_file(local(path));

  const std::string name = "Weekly &lt;Audit&gt; &amp; &quot;Co&quot;";
  std::string head = "<HTML><HEAD><title>VORNIX Graphical Analysis Report for " + name +
                     "</title><META content=\"text/html; charset=UTF-8\" http-equiv=Content-Type><META name=GENERATOR "
                     "content=\"MSHTML 10.00.9200.16576\"></HEAD><BODY style=\"FONT: 10pt Segoe UI; MARGIN: 4px 4px "
                     "1px\"><DIV><STYLE>";
  ASSERT_EQ(html.compare(0, head.size(), head), 0) << html.substr(0, head.size());

  // The style sheet's rules in order, declarations without their spacing.
  std::smatch style;
  ASSERT_TRUE(std::regex_search(html, style, std::regex("<STYLE>(.*?)</STYLE>")));
  std::vector<std::pair<std::string, std::string>> rules;
  std::string sheet = style[1];
  const std::regex rule("\\s*([^{}]+?)\\s*\\{([^}]*)\\}");
  for (std::sregex_iterator it(sheet.begin(), sheet.end(), rule), end; it != end; ++it)
    rules.emplace_back((*it)[1], std::regex_replace(std::string((*it)[2]), std::regex("\\s*([;:])\\s*"), "$1"));
  std::vector<std::pair<std::string, std::string>> expected = {
      {"div", "font-family:tahoma,verdana,arial;font-size:11px;color:#38465A"},
      {"td", "font-family:tahoma,verdana,arial;font-size:11px;color:#38465A"},
      {"a", "color:#38465A"},
      {".dthdr", "background-color:#FFFFFF;color:#726C58;font-weight:bold;font-size:22px;padding-left:0px"},
      {".dthdr2", "background-color:#FFFFFF;color:#26A660;font-weight:bold;font-size:16px;padding-left:0px"},
      {".dt", "background-color:#CCCCCC;color:#556988;font-weight:bold;padding-left:4px"},
      {".dhB", "background-color:#FFFFFF;color:#424b87;font-weight:bold;font-size:12px;padding-left:4px"},
      {".dh", "background-color:#FFFFFF;font-family:segoe,tahoma,verdana,arial;color:#556988;font-weight:bold;"
              "padding-left:4px;width:315px"},
      {".dhC", "background-color:#FFFFFF;font-family:segoe,tahoma,verdana,arial;color:#7c4e57;font-weight:bold;"
               "padding-left:4px"},
      {".drd", "background-color:#FFFFFF;font-family:segoe,tahoma,verdana,arial;color:#556988;font-weight:bold;"
               "font-size:14px;padding-left:0px"},
      {".dt1", "background-color:#F9F3F2"},
      {".dt2", "background-color:#FFFFFF"},
      {".severityCritical", "color:red;font-weight:bold"},
      {".severityHigh", "color:darkorange;font-weight:bold"},
      {".severityNormal", "color:green;font-weight:bold"},
      {".severityLow", "color:blue;font-weight:bold"},
  };
  EXPECT_EQ(rules, expected);

  std::string header = "</STYLE><DIV><TABLE cellSpacing=1 cellPadding=2 border=0 width=\"100%\"><TBODY><TR><TD "
                       "class=dthdr vAlign=top>VORNIX Graphical Analysis Report<BR> for " + name +
                       "<BR><BR><font size=\"2\">Produced from activity logs stored on server SRV&amp;01<BR>Report "
                       "created on December 6, 2026 10:00am</font></TD></TR></TBODY></TABLE><BR>";
  EXPECT_NE(html.find(header), std::string::npos);

  // The rows, each <TR>...</TR> outside any table, as the report has always written them.
  std::vector<std::string> rows;
  size_t from = html.find(header) + header.size();
  const std::regex row("<TR>([\\s\\S]*?)</TR>");
  for (std::sregex_iterator it(html.cbegin() + static_cast<long>(from), html.cend(), row), end; it != end; ++it)
    rows.push_back((*it)[1]);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], "<BR><BR><TD>No Data Found for Graph (File Events per Remote IP Address)</TD><BR><BR>");
  for (int i : {0, 2}) {
    std::smatch image;
    ASSERT_TRUE(std::regex_match(rows[i], image, std::regex("<TD><img src=\"data:image/png;base64, ([A-Za-z0-9+/=\\r\\n]*)\" alt=\"base64\" /></TD>")))
        << rows[i].substr(0, 80);
    std::string text = image[1];
    // 72 characters a line, every line ended by CR LF.
    for (size_t at = 0; at < text.size();) {
      size_t end_of_line = text.find("\r\n", at);
      ASSERT_NE(end_of_line, std::string::npos);
      EXPECT_LE(end_of_line - at, 72u);
      if (end_of_line + 2 < text.size()) {
        EXPECT_EQ(end_of_line - at, 72u);
      }
      at = end_of_line + 2;
    }
    std::string png;
    ASSERT_TRUE(decode_base64(text, &png));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    auto be32 = [&](size_t at) {
      return static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24 | static_cast<uint8_t>(png[at + 1]) << 16 |
             static_cast<uint8_t>(png[at + 2]) << 8 | static_cast<uint8_t>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 500u);
    EXPECT_EQ(be32(20), 400u);
  }
  std::string tail = "</TBODY></TABLE><BR><TD class=dt> </TD><BR><BR>Created by VORNIX ";
  EXPECT_NE(html.find(tail), std::string::npos);
  EXPECT_EQ(html.substr(html.size() - 20), "</DIV></BODY></HTML>");
  // The image and base64 files of the temporary folder are gone.
  EXPECT_EQ(GetFileAttributesA((std::string(temp) + "000.UUE").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((std::string(temp) + "VNXIMAGE(" + std::to_string(GetCurrentProcessId()) + ").PNG").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST_F(HtmlReport, CreationTimeUsesATwelveHourClockWithMidnightAsNought) {
  struct Case {
    WORD month, day, hour, minute;
    const char* text;
  } cases[] = {{3, 7, 15, 5, "March 7, 2016 3:05pm"}, {3, 7, 0, 30, "March 7, 2016 0:30am"},
               {12, 31, 12, 0, "December 31, 2016 12:00pm"}, {1, 1, 11, 59, "January 1, 2016 11:59am"},
               {6, 15, 23, 9, "June 15, 2016 11:09pm"}};
  for (const Case& c : cases) {
    SYSTEMTIME t = {2016, c.month, 0, c.day, c.hour, c.minute, 0, 0};
    char text[80];
    report_creation_time(t, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST_F(HtmlReport, Base64FilesFollowTheStandardAlphabetPaddingAndLineLength) {
  std::string groups;  // 57 bytes "aaa...": 19 groups "YWFh", 76 characters on two lines
  for (int i = 0; i < 19; ++i) groups += "YWFh";
  struct Case {
    std::string in, out;
  } cases[] = {{"", ""}, {"f", "Zg==\r\n"}, {"fo", "Zm8=\r\n"}, {"foo", "Zm9v\r\n"}, {"foob", "Zm9vYg==\r\n"},
               {"fooba", "Zm9vYmE=\r\n"}, {"foobar", "Zm9vYmFy\r\n"}, {"\xff\xfe\xfd", "//79\r\n"},
               {std::string(57, 'a'), groups.substr(0, 72) + "\r\n" + groups.substr(72) + "\r\n"}};
  std::string in = world_.folder() + "/in.bin", out = world_.folder() + "/out.txt";
  for (const Case& c : cases) {
    std::ofstream(in, std::ios::binary) << c.in;
    ASSERT_EQ(encode_base64_file(in.c_str(), out.c_str(), 72), 0u);
    EXPECT_EQ(support::read_whole_file(out), c.out) << c.in.size();
  }
  // No image: no base64 file either, so the row says there was no data.
  std::remove(out.c_str());
  EXPECT_EQ(encode_base64_file((world_.folder() + "/missing.png").c_str(), out.c_str(), 72),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(std::ifstream(out).good());
}

TEST_F(HtmlReport, TheSaveKeepsAnHtmlEndingOrAddsOneAndAnUnwritableFileWritesNothing) {
  captions_ = {"File Events per User (2D Pie)"};
  views_ = {{1400, 4, 1, FALSE, "", nullptr, nullptr, nullptr, nullptr, FALSE, 0, 0}};
  EXPECT_FALSE(SaveGraphicalReport(nullptr, tree_, "SRV01", 300, 200));  // no chart yet
  fill_tree();
  std::string folder = world_.folder();
  struct Case {
    std::string typed, written;
  } cases[] = {{folder + "/REPORT.HTML", folder + "/REPORT.HTML"},
               {folder + "/REPORT", folder + "/REPORT.html"},
               {folder + "/report.htm", folder + "/report.htm.html"}};
  for (const Case& c : cases) {
    ui::script({"Save As", IDOK, "", {{0, c.typed}}});
    EXPECT_TRUE(SaveGraphicalReport(nullptr, tree_, "SRV01", 300, 200)) << c.typed;
    EXPECT_NE(support::read_whole_file(c.written).find("data:image/png;base64, "), std::string::npos) << c.written;
  }
  ui::script({"Save As", IDOK, "", {{0, folder + "/no such folder/R.html"}}});
  EXPECT_FALSE(SaveGraphicalReport(nullptr, tree_, "SRV01", 300, 200));
  EXPECT_FALSE(std::ifstream(folder + "/no such folder/R.html").good());
  std::vector<std::string> shown = messages();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown.front(), "Graphical Report Save Problem: No reports graphs are included, unable to save to HTML");
  EXPECT_EQ(shown.back(), "Error Opening File: " + folder + "/no such folder/R.html");
}

TEST(HtmlEscape, NamesShowAsTheyAreAndAddNoMarkup) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"Weekly Audit", "Weekly Audit"},
               {"A&B <script>\"x\"</script>", "A&amp;B &lt;script&gt;&quot;x&quot;&lt;/script&gt;"},
               {"O'Brien's", "O'Brien's"}};
  for (const Case& c : cases) {
    char out[200];
    html_escape(c.in, out, sizeof out);
    EXPECT_STREQ(out, c.out);
  }
  char small[6];
  html_escape("a&b", small, sizeof small);  // no room for the whole entity: cut before it
  EXPECT_STREQ(small, "a");
}

}  // namespace
