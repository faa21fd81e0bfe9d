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
#include "host/list_item.h"
#include "resources/resource.h"
#include "tests/support/in_process_library.h"
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
    support::start_in_process(world_, &table_);
    g_library.sibling_mode = 0;
  }
  void TearDown() override {
    qvmr_hide_module(nullptr);
    qvmr_hide_export(nullptr, nullptr);
    release_registry_connections();
    support::end_in_process();
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
  std::vector<std::string> product() {
    HKEY root;
    std::vector<std::string> out;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    support::dump_registry(root, kProductKey, "", out, true);
    return out;
  }
  // The dialog on SRV01: each answer's fields typed (and a security button pressed), then its button.
  INT_PTR dialog(const std::vector<ui::Answer>& answers) {
    for (const ui::Answer& a : answers) ui::script(a);
    ui::script({"EMAIL_02", IDCANCEL, "", {}});  // ends a dialog that a refused save keeps open
    INT_PTR result = EditEmailConfig(nullptr, "SRV01", 1, item_);
    ui::clear_script();
    return result;
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
  BYTE item_[kListItemBytes] = {};
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

  // An empty password keeps only the transformed terminator at byte 511; the longest that fits,
  // 510 characters, leaves no filler. Both read back whole.
  for (const std::string& password : {std::string(), std::string(510, 'k')}) {
    ASSERT_EQ(store_email_config("SRV01", settings(25, password.c_str())), 0u);
    EXPECT_EQ(password_block()[511 - password.size()], password_byte(0));
    ASSERT_EQ(read_email_config("SRV01", &recalled), 0u);
    EXPECT_EQ(recalled.password, password);
  }
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

TEST_F(EmailConfigTest, DialogRefusesIncompleteFieldsSavesAndRemovesOnlyWhenAsked) {
  support::MailServer server(world_, "MAILHOST", {kSender, kPassword});
  world_.open();
  using Fields = std::vector<std::pair<int, std::string>>;
  const Fields good = {{IDC_EMAIL_SMTP_SERVER, "MAILHOST"}, {IDC_EMAIL_PORT, "587"},
                       {IDC_EMAIL_SEND_AS, kSender}, {IDC_EMAIL_PASSWORD, kPassword}};
  auto with = [&](int item, const char* text) {
    Fields f = good;
    for (auto& [id, value] : f)
      if (id == item) value = text;
    return f;
  };
  const std::vector<std::string> before = product();
  struct Refused { Fields fields; const char* message; };
  const Refused refused[] = {
      {with(IDC_EMAIL_SMTP_SERVER, ""), "No SMTP Server specified, field is required."},
      {with(IDC_EMAIL_PORT, "0"), "Invalid Port specified, field is required."},
      {with(IDC_EMAIL_PORT, "25a"), "Invalid Port specified, field is required."},
      {with(IDC_EMAIL_PORT, "4294967296"), "Invalid Port specified, field is required."},
      {with(IDC_EMAIL_SEND_AS, ""), "No \"Send As\" value specified, field is required."},
  };
  for (const Refused& r : refused) {
    ui::clear_journal();
    EXPECT_EQ(dialog({{"EMAIL_02", IDOK, "", r.fields}}), IDCANCEL) << r.message;
    EXPECT_EQ(support::journal_lines()[0], std::string("Email Configuration Verification Error | ") + r.message);
    EXPECT_EQ(product(), before) << r.message;
  }
  // Send Test Email checks the fields first, and says what the test needs.
  ui::clear_journal();
  dialog({{"EMAIL_02", IDC_EMAIL_SEND_TEST, "", with(IDC_EMAIL_SEND_AS, "")}});
  EXPECT_EQ(support::journal_lines()[1], "UNABLE TO SEND TEST EMAIL | Email test requires the following fields to be "
                                         "defined:\n\nSMTP Server\n\nPort\n\nSend As");

  // Saved with TLS; the server's e-mail mark is set.
  EXPECT_EQ(dialog({{"EMAIL_02", IDC_EMAIL_TLS, "", good}, {"EMAIL_02", IDOK, "", {}}}), IDOK);
  EXPECT_EQ(item_[kItemEmailConfigured], 1);
  EmailConfig stored;
  ASSERT_EQ(read_email_config("SRV01", &stored), 0u);
  EXPECT_EQ((std::vector<std::string>{stored.smtp_server, std::to_string(stored.port), std::to_string(stored.security),
                                      stored.sender, stored.password}),
            (std::vector<std::string>{"MAILHOST", "587", "1", kSender, kPassword}));

  // The dialog shows what is stored: a test mail sent from it unchanged carries the stored settings.
  // Mode 34 stores a record as it is, reads no dialog, and answers 0.
  EmailConfigRecord record = {};
  record.settings = settings(server.port());
  item_[kItemEmailConfigured] = 0;
  EXPECT_EQ(SaveEmailConfig(nullptr, kEmailSaveUnchanged, &record, "SRV01", item_), 0u);
  EXPECT_EQ(item_[kItemEmailConfigured], 1);
  ui::script({"EMAIL_TEST", IDOK, "", {{IDC_EMAIL_TEST_RECIPIENT, "jane@brightmere.local"}}});
  dialog({{"EMAIL_02", IDC_EMAIL_SEND_TEST, "", {}}});
  std::vector<support::ReceivedMail> mails = server.messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].login, kSender);
  EXPECT_EQ(mails[0].rcpt_to, "jane@brightmere.local");

  // An empty SMTP server on a configured server offers removal: Cancel keeps all, OK removes the
  // six values (the older return address with them) and clears the mark.
  const std::vector<std::string> configured = product();
  ui::script({"KEEP EMAIL CONFIG?", IDCANCEL, "", {}});
  EXPECT_EQ(dialog({{"EMAIL_02", IDOK, "", {{IDC_EMAIL_SMTP_SERVER, ""}}}}), IDCANCEL);
  EXPECT_EQ(product(), configured);
  ui::script({"KEEP EMAIL CONFIG?", IDOK, "", {}});
  EXPECT_EQ(dialog({{"EMAIL_02", IDOK, "", {{IDC_EMAIL_SMTP_SERVER, ""}}}}), IDOK);
  EXPECT_EQ(product(), std::vector<std::string>{"[]"});
  EXPECT_EQ(item_[kItemEmailConfigured], 0);
}

TEST_F(EmailConfigTest, TemplatesShownFromTheServerAndStoredWholeCutOrDeleted) {
  ASSERT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0xFFD05571, const_cast<char*>("GPO %g changed"), 0, nullptr,
                          nullptr, 1), 0u);
  const std::string longer(4000, 'x');
  dialog({{"EMAIL_02", IDC_EMAIL_TEMPLATES, "", {}},
          {"EMAIL_TEMPLATES", IDOK, "", {{IDC_TEMPLATE_AD_SUBJECT, "VORNIX: %S. %p."},
                                         {IDC_TEMPLATE_FS_BODY, longer},
                                         {IDC_TEMPLATE_GP_SUBJECT, ""}}}});
  bool shown = false;
  for (const ui::JournalEntry& e : ui::journal())
    if (e.template_name == "EMAIL_TEMPLATES") shown = e.text.find("\nGPO %g changed\n") != std::string::npos;
  EXPECT_TRUE(shown) << "the stored template is in its field";
  auto value = [](const char* name) {
    HKEY root, product;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, kProductKey, 0, KEY_READ, &product), 0);
    std::string text(5000, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    LONG rc = RegQueryValueExA(product, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size);
    RegCloseKey(product);
    return rc == ERROR_SUCCESS ? text.substr(0, size) : std::string("(none)");
  };
  // Dots and all, with the terminator counted; a field takes at most 3430 characters; empty deletes.
  EXPECT_EQ(value("EMailAlert_AD_Subject"), std::string("VORNIX: %S. %p.") + '\0');
  EXPECT_EQ(value("EMailAlert_FS_Body"), std::string(3430, 'x') + '\0');
  EXPECT_EQ(value("EMailAlert_GP_Subject"), "(none)");
  EXPECT_EQ(value("EMailAlert_LL_Body"), "(none)");
}

}  // namespace
