// The scout agent's HTML status page buttons: the pages' folder chosen in the
// shell's folder chooser, the two switches, all in the scout's service key on
// the console's own computer.
#include "tests/deploy/deploy_fixture.h"
#include "deploy/server_status.h"
#include "host/control_descriptor.h"

namespace deploy_test {
namespace {

using Rows = std::vector<std::string>;
constexpr char kScoutKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent";
constexpr char kChooserTitle[] = "Select Path to host HTML Scout Web Pages";

class ScoutPages : public DeployTest {
 protected:
  void open_world(bool scout_installed) {
    if (scout_installed)
      world_.add_registry_text(world_.console(), "HKLM",
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent]\r\n"
                               "\"ScanFrequency\"=dword:0000000f\r\n\r\n");
    start();
    host::clear_screens();
    screen_ = host::create_screen(12, "Agent Scout");
    options_ = host::add_control(screen_, 300, "Static", "", host::ControlSpec{kHtmlStatusOptions, kDescriptorKind3});
    ui::clear_journal();
  }

  DWORD press(uint32_t id) {
    HWND button = host::add_control(screen_, 400 + next_++, "Button", "", {id, kDescriptorPushButton});
    return entry_point_button_services(screen_, 0, host::descriptor_of(button));
  }

  Rows scout_key() const { return registry(world_.console(), kScoutKey); }

  // Message boxes and dialogs shown, "kind | title | text", then forgotten.
  static Rows shown() {
    Rows out;
    for (const ui::JournalEntry& e : ui::journal()) out.push_back(e.kind + " | " + e.title + " | " + e.text);
    ui::clear_journal();
    return out;
  }

  HWND screen_ = nullptr, options_ = nullptr;
  int next_ = 0;
};

TEST_F(ScoutPages, TheChosenFolderIsStoredAndEngagedAndTheSwitchesFlip) {
  open_world(true);
  const Rows before = scout_key();
  ASSERT_EQ(before, (Rows{"VORNIXWScoutAgent", "VORNIXWScoutAgent:ScanFrequency=4:15"}));

  // Unanswered, the chooser is cancelled: nothing is written.
  EXPECT_EQ(press(kHtmlFolderButton), 0u);
  EXPECT_EQ(shown(), Rows{std::string("folder dialog | ") + kChooserTitle + " | "});
  EXPECT_EQ(scout_key(), before);

  ui::script({kChooserTitle, IDOK, "", {{0, "D:\\Scout Pages\\Status"}}});
  int repaints = ui::invalidate_count(options_);
  EXPECT_EQ(press(kHtmlFolderButton), 1u);
  EXPECT_EQ(scout_key(), (Rows{"VORNIXWScoutAgent", "VORNIXWScoutAgent:ScanFrequency=4:15",
                               "VORNIXWScoutAgent:HTMLPATH=1:D:\\Scout Pages\\Status|",
                               "VORNIXWScoutAgent:HTMLENGAGE=4:1"}));
  EXPECT_GT(ui::invalidate_count(options_), repaints) << "the options show the new values";
  EXPECT_EQ(shown(), Rows{std::string("folder dialog | ") + kChooserTitle + " | D:\\Scout Pages\\Status"});

  // Each switch goes from a missing (0) value to 1 and back, without touching the other.
  auto value_of = [&](const std::string& name) {
    for (const std::string& row : scout_key())
      if (row.rfind("VORNIXWScoutAgent:" + name + "=", 0) == 0) return row.substr(row.find('=') + 1);
    return std::string("missing");
  };
  EXPECT_EQ(press(kHtmlProfilesButton), 1u);
  EXPECT_EQ(value_of("HTMLINCPROFILES") + " " + value_of("HTMLINCSETTINGS"), "4:1 missing");
  EXPECT_EQ(press(kHtmlSettingsButton), 1u);
  EXPECT_EQ(press(kHtmlProfilesButton), 1u);
  EXPECT_EQ(value_of("HTMLINCPROFILES") + " " + value_of("HTMLINCSETTINGS"), "4:0 4:1");
  EXPECT_EQ(press(kHtmlSettingsButton), 1u);
  EXPECT_EQ(value_of("HTMLINCSETTINGS") + " " + value_of("HTMLENGAGE"), "4:0 4:1");
  EXPECT_TRUE(shown().empty());
}

TEST_F(ScoutPages, WithoutTheScoutTheUserIsToldAndNothingIsWritten) {
  open_world(false);
  ui::script({kChooserTitle, IDOK, "", {{0, "D:\\Pages"}}});
  for (uint32_t id : {kHtmlFolderButton, kHtmlProfilesButton, kHtmlSettingsButton}) EXPECT_EQ(press(id), 0u);
  const std::string told = "message box | SCOUT NOT INSTALLED | The VORNIX Agent Scout is not installed on this "
                           "computer.\n\nError 2 opening VORNIXWScoutAgent";
  EXPECT_EQ(shown(), (Rows{told, told, told})) << "the chooser is never shown";
  EXPECT_EQ(scout_key(), Rows{});
  EXPECT_EQ(ui::script_left(), 1u);
}

}  // namespace
}  // namespace deploy_test
