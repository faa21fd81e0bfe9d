// A server's e-mail settings in its registry and the mail that a real SMTP
// server receives through the mail library: the test mail and report files.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "tests/support/list_rows.h"
#include "tests/support/mail_server.h"
#include "tests/support/registry_dump.h"
#include "tests/support/world_builder.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace {

const std::string kProduct = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX";
constexpr char kSender[] = "alerts@brightmere.local";
constexpr char kPassword[] = "Pa55 word";

class EmailConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::reset();
    world_.add_machine("SRV01", "127.0.0.2");
    world_.add_registry_text("SRV01", "HKLM",
                             kProduct + "]\r\n\"EmailReturnAddressForAlerts\"=\"old@brightmere.local\"\r\n\r\n");
    world_.add_machine("MAILHOST", "127.0.0.9");
    world_.open();
    table_ = host::make_service_table();
    ASSERT_EQ(establish_tables(6, table_.data()), 1u);
    g_library.sibling_mode = 0;
    g_library.quiet_mode = 0;
  }
  void TearDown() override {
    qvmr_hide_module(nullptr);
    qvmr_hide_export(nullptr, nullptr);
    release_registry_connections();
  }
  EmailConfig settings(int port, const char* password = kPassword) {
    EmailConfig c = {};
    std::snprintf(c.smtp_server, sizeof c.smtp_server, "MAILHOST");
    c.port = static_cast<DWORD>(port);
    c.security = kSmtpNoSecurity;
    std::snprintf(c.sender, sizeof c.sender, "%s", kSender);
    std::snprintf(c.password, sizeof c.password, "%s", password);
    return c;
  }
  std::vector<BYTE> password_block() {
    HKEY root, product;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, kProductKey, 0, KEY_READ, &product), 0);
    std::vector<BYTE> block(600);
    DWORD size = static_cast<DWORD>(block.size());
    EXPECT_EQ(RegQueryValueExA(product, "SMTP Password", nullptr, nullptr, block.data(), &size), 0);
    RegCloseKey(product);
    block.resize(size);
    return block;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_;
};

TEST_F(EmailConfigTest, SettingsStoredReadBackWithThePasswordBackwardsInItsBlock) {
  EmailConfig recalled;
  // Without SMTP Send As, the older return address is the sender.
  ASSERT_EQ(read_email_config("SRV01", &recalled), 0u);
  EXPECT_STREQ(recalled.sender, "old@brightmere.local");
  EXPECT_STREQ(recalled.smtp_server, "");

  EmailConfig stored = settings(587);
  stored.security = kSmtpTls;
  ASSERT_EQ(store_email_config("SRV01", stored), 0u);
  std::vector<BYTE> block = password_block();
  ASSERT_EQ(block.size(), 512u);
  for (size_t i = 0; i <= std::strlen(kPassword); ++i)
    EXPECT_EQ(block[511 - i], password_byte(i < std::strlen(kPassword) ? BYTE(kPassword[i]) : 0)) << i;
  ASSERT_EQ(read_email_config("SRV01", &recalled), 0u);
  EXPECT_STREQ(recalled.smtp_server, "MAILHOST");
  EXPECT_STREQ(recalled.sender, kSender);
  EXPECT_STREQ(recalled.password, kPassword);
  EXPECT_EQ(recalled.port, 587u);
  EXPECT_EQ(recalled.security, kSmtpTls);

  // An empty password: byte 511 holds the transformed terminator and it reads back empty.
  ASSERT_EQ(store_email_config("SRV01", settings(25, "")), 0u);
  EXPECT_EQ(password_block()[511], password_byte(0));
  ASSERT_EQ(read_email_config("SRV01", &recalled), 0u);
  EXPECT_STREQ(recalled.password, "");
  // The longest password that fits, 510 characters, leaves no filler and still reads back whole.
  const std::string longest(510, 'k');
  ASSERT_EQ(store_email_config("SRV01", settings(25, longest.c_str())), 0u);
  ASSERT_EQ(read_email_config("SRV01", &recalled), 0u);
  EXPECT_EQ(recalled.password, longest);

  ui::clear_journal();
  EXPECT_EQ(read_email_config("NOSUCH", &recalled), 3u);
}

TEST_F(EmailConfigTest, TestMailAndReportMailArriveAsSent) {
  support::MailServer server(world_, "MAILHOST", {kSender, kPassword});
  world_.open();
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");

  ASSERT_EQ(store_email_config("SRV01", settings(server.port())), 0u);
  const std::string report = "<html><body><h1>Weekly activity</h1></body></html>\n";
  std::ofstream(world_.machine_dir("CONSOLE01") + "/shares/C$/weekly.htm", std::ios::binary) << report;
  std::vector<char> recipients(3 * kRecipientSlotBytes, '\0');
  std::snprintf(recipients.data(), kRecipientSlotBytes, "boss@brightmere.local");
  std::snprintf(recipients.data() + kRecipientSlotBytes, kRecipientSlotBytes, "audit@brightmere.local");
  MailReportFile(static_cast<LONG>(report.size()), "C:\\weekly.htm", "SRV01", recipients.data());
  MailReportFile(0, "C:\\empty.htm", "SRV01", recipients.data() + kRecipientSlotBytes);

  std::vector<support::ReceivedMail> mails = server.messages();
  ASSERT_EQ(mails.size(), 4u);
  EXPECT_EQ(mails[0].rcpt_to, "jane@brightmere.local");
  EXPECT_EQ(mails[0].login, kSender);
  EXPECT_EQ(mails[0].headers["Subject"], "VORNIX CONSOLE TEST EMAIL MESSAGE");
  EXPECT_EQ(mails[0].body, "Test Message");
  // The report is the body of one mail per recipient, in list order, with nothing attached.
  for (size_t i : {1, 2}) {
    EXPECT_EQ(mails[i].mail_from, kSender);
    EXPECT_EQ(mails[i].login, kSender);
    EXPECT_EQ(mails[i].headers["Subject"], "VORNIX Graphical Activity Report");
    EXPECT_EQ(mails[i].body, report);
    EXPECT_EQ(mails[i].attachment_name, "");
  }
  EXPECT_EQ(mails[1].rcpt_to, "boss@brightmere.local");
  EXPECT_EQ(mails[2].rcpt_to, "audit@brightmere.local");
  EXPECT_EQ(mails[3].rcpt_to, "audit@brightmere.local");
  EXPECT_EQ(mails[3].body, "\r\nFILE SIZE IS ZERO, no file will be attached");
}

TEST_F(EmailConfigTest, NothingSentWithoutRecipientLibraryOrSettings) {
  support::MailServer server(world_, "MAILHOST", {kSender, kPassword});
  world_.open();
  send_test_email(nullptr, settings(server.port()), "");
  qvmr_hide_export("zovuruve", "qvmr_smtp_email");
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");
  qvmr_hide_module("zovuruve.dll");
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");
  EXPECT_EQ(support::journal_lines(),
            (std::vector<std::string>{
                "Required Input Missing | Please specify a destination email address for the test",
                "VORNIX message from QVMR0007.DLL | Successfully loaded ZOVURUVE.DLL\n\nUnable to locate correct "
                "export to email report.\n\nUnable to email report",
                "VORNIX message from QVMR0007.DLL | Unable to load ZOVURUVE.DLL\n\nUnable to email report."}));
  // A server without an SMTP server configured mails nothing, and says nothing.
  qvmr_hide_module(nullptr);
  qvmr_hide_export(nullptr, nullptr);
  ui::clear_journal();
  char recipient[2 * kRecipientSlotBytes] = "boss@brightmere.local";
  MailReportFile(10, "C:\\weekly.htm", "SRV01", recipient);
  EXPECT_TRUE(support::journal_lines().empty());
  EXPECT_TRUE(server.messages().empty());
}

}  // namespace
