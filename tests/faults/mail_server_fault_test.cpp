// SMTP servers that fail the test mail sent from the server e-mail dialog, as
// the host opens it with its button: one that closes the connection in the
// middle of the message's data, and one that takes the connection and never
// says a word. The call returns within the mail library's time limit, shows no
// message of its own, and the next test mail to a sound server arrives.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/registry.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "resources/resource.h"
#include "tests/support/broken_smtp_server.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/mail_server.h"

namespace {

constexpr char kMailHostAddress[] = "127.0.0.9";
constexpr char kSender[] = "alerts@brightmere.local";
constexpr uint32_t kEmailConfigButton = 0x603100B3;

class MailServerFault : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n\r\n");
    world_.add_machine("MAILHOST", kMailHostAddress);
    // The mail library gives up on a server silent for a second.
    world_.set_machine_setting(world_.console(), "mail", "response_timeout", "1");
  }
  void TearDown() override {
    g_library.main_server_list = nullptr;
    release_registry_connections();
    support::end_in_process();
  }

  void start() {
    support::start_in_process(world_, &table_);
    HWND servers_screen = host::create_screen(2, "Servers");
    HWND servers = host::add_control(servers_screen, 200, WC_LISTVIEWA, "", host::ControlSpec{});
    support::insert_list_rows(servers, {{"SRV01", nullptr}});
    ui::click_row(servers, 0);
    g_library.main_server_list = servers;
    screen_ = host::create_screen(31, "Server Configuration");
    button_ = host::add_control(screen_, 1450, "Button", "", host::ControlSpec{kEmailConfigButton, kDescriptorPushButton});
  }

  void configure(int port) {
    EmailConfig c = {"MAILHOST", static_cast<DWORD>(port), kSmtpNoSecurity, {}, {}};
    std::snprintf(c.sender, sizeof c.sender, "%s", kSender);
    ASSERT_EQ(store_email_config("SRV01", c), 0u);
  }

  // The e-mail button, the dialog's test button, the test's recipient and Send; the seconds it took.
  double send_test_mail() {
    ui::clear_journal();
    ui::script({"EMAIL_02", IDC_EMAIL_SEND_TEST, "", {}});
    ui::script({"EMAIL_TEST", IDOK, "", {{IDC_EMAIL_TEST_RECIPIENT, "jane@brightmere.local"}}});
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(entry_point_button_services(screen_, 0, host::descriptor_of(button_)), 1u);
    ui::clear_script();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  }

  // What the user saw besides the two dialogs.
  static std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const ui::JournalEntry& e : ui::journal())
      if (e.kind != "dialog" || e.template_name == "SHORT_MSG") out.push_back(e.title + " | " + e.text);
    return out;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_{};
  HWND screen_ = nullptr, button_ = nullptr;
};

TEST_F(MailServerFault, AServerThatNeverAnswersEndsTheCallWithinTheTimeLimit) {
  support::BrokenSmtpServer silent(kMailHostAddress, support::BrokenSmtpServer::Silent);
  ASSERT_TRUE(silent.listening());
  start();
  configure(silent.port());
  const double seconds = send_test_mail();
  EXPECT_LT(seconds, 5.0) << "the console was held";
  EXPECT_EQ(messages(), std::vector<std::string>{});
}

TEST_F(MailServerFault, AConnectionClosedInTheDataLeavesNothingAndTheNextMailArrives) {
  support::BrokenSmtpServer closing(kMailHostAddress, support::BrokenSmtpServer::ClosesInData);
  ASSERT_TRUE(closing.listening());
  support::MailServer sound(world_, "MAILHOST");
  start();
  configure(closing.port());
  EXPECT_LT(send_test_mail(), 5.0);
  EXPECT_GE(closing.data_bytes(), 100u) << "the message's data had begun";
  EXPECT_EQ(messages(), std::vector<std::string>{});

  configure(sound.port());
  send_test_mail();
  std::vector<support::ReceivedMail> got = sound.messages();
  ASSERT_EQ(got.size(), 1u) << "only the whole mail arrives, once";
  EXPECT_EQ(got[0].rcpt_to, "jane@brightmere.local");
  EXPECT_EQ(got[0].headers["Subject"], "VORNIX CONSOLE TEST EMAIL MESSAGE");
}

}  // namespace
