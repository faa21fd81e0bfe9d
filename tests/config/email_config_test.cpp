// A server's e-mail settings and templates in its registry, their dialogs as a
// user fills them, and the mail that a real SMTP server receives through the
// mail library: the test mail and report files.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "host/list_item.h"
#include "reports/results_window.h"
#include "resources/resource.h"
#include "tests/support/in_process_library.h"
#include "tests/support/list_rows.h"
#include "sim/mail_server.h"
#include "sim/registry_dump.h"
#include "win32/clipboard.h"

namespace {

constexpr char kSender[] = "alerts@brightmere.local";
constexpr char kPassword[] = "Pa55 word";
using Fields = std::vector<std::pair<int, std::string>>;

class EmailConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* server : {"SRV01", "SRV02"}) {
      world_.add_machine(server, server[4] == '1' ? "127.0.0.2" : "127.0.0.3");
      world_.add_registry_text(server, "HKLM", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX]\r\n"
                                               "\"EmailReturnAddressForAlerts\"=\"old@brightmere.local\"\r\n\r\n");
    }
    world_.add_machine("MAILHOST", "127.0.0.9");
    world_.add_registry_text(world_.console(), "HKCU", "[HKEY_CURRENT_USER\\SOFTWARE\\Brightmere Software, Inc.\\VORNIX\\"
                                                    "MY_SERVERS]\r\n\"SRV01\"=hex:7f,00,00,02\r\n\"SRV02\"=hex:7f,00,00,03\r\n\r\n");
    support::start_in_process(world_, &table_);
  }
  void TearDown() override {
    qvmr_hide_module(nullptr);
    qvmr_hide_export(nullptr, nullptr);
    close_results_window();
    release_registry_connections();
    support::end_in_process();
  }
  static EmailConfig settings(int port, const char* password = kPassword) {
    EmailConfig c = {"MAILHOST", static_cast<DWORD>(port), kSmtpNoSecurity, {}, {}};
    std::snprintf(c.sender, sizeof c.sender, "%s", kSender);
    std::snprintf(c.password, sizeof c.password, "%s", password);
    return c;
  }
  static std::vector<std::string> recalled(const char* server = "SRV01") {
    EmailConfig c;
    EXPECT_EQ(read_email_config(server, &c), 0u);
    return {c.smtp_server, std::to_string(c.port), std::to_string(c.security), c.sender, c.password};
  }
  // A value of SRV01's product key as stored, "(none)" when missing; the whole key as a dump.
  static std::string value(const char* name) {
    HKEY root, product;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    EXPECT_EQ(RegOpenKeyExA(root, kProductKey, 0, KEY_READ, &product), 0);
    std::string data(5000, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    LONG rc = RegQueryValueExA(product, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(product);
    return rc == ERROR_SUCCESS ? data.substr(0, size) : "(none)";
  }
  static std::vector<std::string> product() {
    HKEY root;
    std::vector<std::string> out;
    EXPECT_EQ(ConnectServerRegistry("SRV01", &root, "T", 0), 0u);
    support::dump_registry(root, kProductKey, "", out, true);
    return out;
  }
  // The dialog on SRV01, answered in turn (fields typed, then the button), then closed.
  INT_PTR dialog(const std::vector<ui::Answer>& answers) {
    for (const ui::Answer& a : answers) ui::script(a);
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    INT_PTR result = EditEmailConfig(nullptr, "SRV01", 1, item_);
    ui::clear_script();
    return result;
  }

  support::WorldBuilder world_;
  host::ServiceTable table_;
  BYTE item_[kListItemBytes] = {};
};

TEST_F(EmailConfigTest, SettingsStoredAndRecalledWithThePasswordBackwardsInItsBlock) {
  // Without SMTP Send As, the older return address is the sender.
  EXPECT_EQ(recalled(), (std::vector<std::string>{"", "0", "0", "old@brightmere.local", ""}));
  EmailConfig stored = settings(587);
  stored.security = kSmtpTls;
  ASSERT_EQ(store_email_config("SRV01", stored), 0u);
  EXPECT_EQ(recalled(), (std::vector<std::string>{"MAILHOST", "587", "1", kSender, kPassword}));
  // The password runs backwards from byte 511, its terminator included; an empty one keeps only the
  // terminator, the longest that fits (510 characters) leaves no filler; each reads back whole.
  for (const std::string& password : {std::string(kPassword), std::string(), std::string(510, 'k')}) {
    ASSERT_EQ(store_email_config("SRV01", settings(25, password.c_str())), 0u);
    const std::string block = value("SMTP Password");
    ASSERT_EQ(block.size(), 512u);
    for (size_t i = 0; i <= password.size(); ++i)
      EXPECT_EQ(BYTE(block[511 - i]), password_byte(i < password.size() ? BYTE(password[i]) : 0)) << i;
    EXPECT_EQ(recalled()[4], password);
  }
  EmailConfig unreachable;
  EXPECT_EQ(read_email_config("NOSUCH", &unreachable), 3u);
}

TEST_F(EmailConfigTest, MailArrivesAsSentAndNothingWithoutRecipientLibraryOrSettings) {
  support::MailServer server(world_, "MAILHOST", {kSender, kPassword});
  world_.open();
  send_test_email(nullptr, settings(server.port()), "");
  qvmr_hide_export("zovuruve", "qvmr_smtp_email");
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");
  qvmr_hide_module("zovuruve.dll");
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");
  EXPECT_EQ(support::journal_lines(" | ", true),
            (std::vector<std::string>{
                "Required Input Missing | Please specify a destination email address for the test",
                "VORNIX message from QVMR0007.DLL | Successfully loaded ZOVURUVE.DLL\n\nUnable to locate correct "
                "export to email report.\n\nUnable to email report",
                "VORNIX message from QVMR0007.DLL | Unable to load ZOVURUVE.DLL\n\nUnable to email report."}));
  qvmr_hide_module(nullptr);
  qvmr_hide_export(nullptr, nullptr);
  const std::string report = "<html><body><h1>Weekly activity</h1></body></html>\n";
  std::ofstream(world_.machine_dir("CONSOLE01") + "/shares/C$/weekly.htm", std::ios::binary) << report;
  std::vector<char> recipients(3 * kRecipientSlotBytes, '\0');
  std::snprintf(recipients.data(), kRecipientSlotBytes, "boss@brightmere.local");
  std::snprintf(recipients.data() + kRecipientSlotBytes, kRecipientSlotBytes, "audit@brightmere.local");
  // A server without an SMTP server mails nothing, and says nothing.
  MailReportFile(10, "C:\\weekly.htm", "SRV01", recipients.data());
  EXPECT_TRUE(support::journal_lines().empty());

  ASSERT_EQ(store_email_config("SRV01", settings(server.port())), 0u);
  send_test_email(nullptr, settings(server.port()), "jane@brightmere.local");
  MailReportFile(static_cast<LONG>(report.size()), "C:\\weekly.htm", "SRV01", recipients.data());
  MailReportFile(0, "C:\\empty.htm", "SRV01", recipients.data() + kRecipientSlotBytes);
  // The report is the body of one mail per recipient, in list order, with nothing attached.
  std::vector<std::string> got;
  for (support::ReceivedMail m : server.messages())
    got.push_back(m.mail_from + " " + m.login + " > " + m.rcpt_to + " | " + m.headers["Subject"] + " | " + m.body +
                  " | " + m.attachment_name);
  auto mail = [](const std::string& to, const std::string& subject, const std::string& body) {
    return std::string(kSender) + " " + kSender + " > " + to + " | " + subject + " | " + body + " | ";
  };
  const std::string graphical = "VORNIX Graphical Activity Report";
  EXPECT_EQ(got, (std::vector<std::string>{
                     mail("jane@brightmere.local", "VORNIX CONSOLE TEST EMAIL MESSAGE", "Test Message"),
                     mail("boss@brightmere.local", graphical, report), mail("audit@brightmere.local", graphical, report),
                     mail("audit@brightmere.local", graphical, "\r\nFILE SIZE IS ZERO, no file will be attached")}));
}

TEST_F(EmailConfigTest, DialogRefusesIncompleteFieldsSavesAndRemovesOnlyWhenAsked) {
  support::MailServer server(world_, "MAILHOST", {kSender, kPassword});
  world_.open();
  const Fields good = {{IDC_EMAIL_SMTP_SERVER, "MAILHOST"}, {IDC_EMAIL_PORT, "587"},
                       {IDC_EMAIL_SEND_AS, kSender}, {IDC_EMAIL_PASSWORD, kPassword}};
  auto with = [&](size_t field, const char* text) {
    Fields f = good;
    f[field].second = text;
    return f;
  };
  const std::vector<std::string> before = product();
  const std::pair<Fields, const char*> refused[] = {
      {with(0, ""), "No SMTP Server specified, field is required."},
      {with(1, "0"), "Invalid Port specified, field is required."},
      {with(1, "25a"), "Invalid Port specified, field is required."},
      {with(1, "4294967296"), "Invalid Port specified, field is required."},
      {with(2, ""), "No \"Send As\" value specified, field is required."}};
  for (const auto& [fields, message] : refused) {
    ui::clear_journal();
    EXPECT_EQ(dialog({{"EMAIL_02", IDOK, "", fields}}), IDCANCEL) << message;
    EXPECT_EQ(support::journal_lines()[0], std::string("Email Configuration Verification Error | ") + message);
    EXPECT_EQ(product(), before) << message;
  }
  // Send Test Email checks the fields first, and says what the test needs.
  ui::clear_journal();
  dialog({{"EMAIL_02", IDC_EMAIL_SEND_TEST, "", with(2, "")}});
  EXPECT_EQ(support::journal_lines()[1], "UNABLE TO SEND TEST EMAIL | Email test requires the following fields to be "
                                         "defined:\n\nSMTP Server\n\nPort\n\nSend As");

  // Applied to the servers chosen (none chosen is refused first), a results row each.
  ui::clear_journal();
  dialog({{"EMAIL_02", IDC_EMAIL_MULTIPLE, "", with(1, "2525")},
          {"EMAIL_SERVERS", IDOK, "", {}},
          {"EMAIL_SERVERS", IDOK, "", {{IDC_EMAIL_SERVERS, "SRV02"}}}});
  EXPECT_EQ(support::journal_lines()[0], "No Servers Selected | To continue, please select at least one Server.");
  EXPECT_EQ(support::list_column(GetDlgItem(g_results.window, kResultsListItem), 2), std::vector<std::string>{"Updating..."});
  EXPECT_EQ(recalled("SRV02"), (std::vector<std::string>{"MAILHOST", "2525", "0", kSender, kPassword}));
  EXPECT_EQ(product(), before);

  // Saved with TLS; the server's e-mail mark is set.
  EXPECT_EQ(dialog({{"EMAIL_02", IDC_EMAIL_TLS, "", good}, {"EMAIL_02", IDOK, "", {}}}), IDOK);
  EXPECT_EQ(item_[kItemEmailConfigured], 1);
  EXPECT_EQ(recalled(), (std::vector<std::string>{"MAILHOST", "587", "1", kSender, kPassword}));
  // Mode 34 stores a record as it is, reads no dialog, and answers 0.
  EmailConfigRecord record = {};
  record.settings = settings(server.port());
  item_[kItemEmailConfigured] = 0;
  EXPECT_EQ(SaveEmailConfig(nullptr, kEmailSaveUnchanged, &record, "SRV01", item_), 0u);
  EXPECT_EQ(item_[kItemEmailConfigured], 1);
  // The dialog shows what is stored: a test mail sent from it unchanged logs in with the stored settings.
  ui::script({"EMAIL_TEST", IDOK, "", {{IDC_EMAIL_TEST_RECIPIENT, "jane@brightmere.local"}}});
  dialog({{"EMAIL_02", IDC_EMAIL_SEND_TEST, "", {}}});
  std::vector<support::ReceivedMail> mails = server.messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].login + " > " + mails[0].rcpt_to, std::string(kSender) + " > jane@brightmere.local");

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

// A ";" list of servers: each one is saved in turn with what the dialog holds, whatever the one before
// answered; the dialog closes on the last one's answer.
TEST_F(EmailConfigTest, AServerListSavesToEachServerInTurn) {
  world_.open();
  EmailConfigRecord record = {};
  record.settings = settings(25);
  ASSERT_EQ(store_email_config("SRV02", record.settings), 0u);
  auto save = [&](const Fields& fields, int security = IDC_EMAIL_NO_SECURITY) {
    ui::script({"EMAIL_02", security, "", fields});
    ui::script({"EMAIL_02", IDOK, "", {}});
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    INT_PTR result = EditEmailConfig(nullptr, "SRV01;SRV02", 2, nullptr);
    ui::clear_script();
    return result;
  };
  // An empty SMTP server: refused on SRV01, which has no settings; on SRV02 the removal is offered and taken.
  ui::clear_journal();
  ui::script({"KEEP EMAIL CONFIG?", IDOK, "", {}});
  EXPECT_EQ(save({{IDC_EMAIL_SMTP_SERVER, ""}}), IDOK);
  const std::vector<std::string> shown = support::journal_lines();
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Email Configuration Verification Error | No SMTP Server specified, field is required.");
  EXPECT_EQ(shown[1].rfind("KEEP EMAIL CONFIG? | ", 0), 0u) << shown[1];
  EXPECT_EQ(recalled("SRV02"), (std::vector<std::string>{"", "0", "0", "", ""}));
  // Complete fields reach both.
  EXPECT_EQ(save({{IDC_EMAIL_SMTP_SERVER, "MAILHOST"}, {IDC_EMAIL_PORT, "465"}, {IDC_EMAIL_SEND_AS, kSender},
                  {IDC_EMAIL_PASSWORD, kPassword}},
                 IDC_EMAIL_SSL),
            IDOK);
  for (const char* server : {"SRV01", "SRV02"})
    EXPECT_EQ(recalled(server), (std::vector<std::string>{"MAILHOST", "465", "2", kSender, kPassword})) << server;
}

TEST_F(EmailConfigTest, TemplatesShownFromTheServerAndStoredWholeCutOrDeleted) {
  ASSERT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0xFFD05571, const_cast<char*>("GPO %g changed"), 0, nullptr,
                          nullptr, 1), 0u);
  dialog({{"EMAIL_02", IDC_EMAIL_TEMPLATES, "", {}},
          {"EMAIL_TEMPLATES", IDOK, "", {{IDC_TEMPLATE_AD_SUBJECT, "VORNIX: %S. %p."},
                                         {IDC_TEMPLATE_FS_BODY, std::string(4000, 'x')},
                                         {IDC_TEMPLATE_GP_SUBJECT, ""}}}});
  EXPECT_NE(ui::journal().at(0).text.find("\nGPO %g changed\n"), std::string::npos) << "the stored template is shown";
  // Dots and all, the terminator counted; a field takes at most 3430 characters; empty deletes.
  EXPECT_EQ((std::vector<std::string>{value("EMailAlert_AD_Subject"), value("EMailAlert_FS_Body"),
                                      value("EMailAlert_GP_Subject"), value("EMailAlert_LL_Body")}),
            (std::vector<std::string>{std::string("VORNIX: %S. %p.") + '\0', std::string(3430, 'x') + '\0', "(none)",
                                      "(none)"}));
  // A template of the most characters is shown whole, and OK without an edit keeps it.
  ui::clear_journal();
  dialog({{"EMAIL_02", IDC_EMAIL_TEMPLATES, "", {}}, {"EMAIL_TEMPLATES", IDOK, "", {}}});
  EXPECT_NE(ui::journal().at(0).text.find(std::string(3430, 'x')), std::string::npos);
  EXPECT_EQ(value("EMailAlert_FS_Body"), std::string(3430, 'x') + '\0');
}

// The menus shown, as rows after the edit's own eight entries (Undo to Select All).
std::vector<std::vector<std::string>> token_menus() {
  std::vector<std::vector<std::string>> out;
  for (const ui::JournalEntry& e : ui::journal())
    if (e.kind == "menu") out.emplace_back(e.rows.size() < 8 ? e.rows : std::vector<std::string>(e.rows.begin() + 8, e.rows.end()));
  return out;
}

TEST_F(EmailConfigTest, TemplateFieldMenusInsertTokensAtTheCaretUntilTheDialogCloses) {
  ASSERT_EQ(ServerSetting(kProductRoot, nullptr, "SRV01", 0xFFD05581, const_cast<char*>("Logon on  today"), 0, nullptr,
                          nullptr, 1), 0u);
  ui::clear_journal();
  // The server name between the two spaces of a stored subject; the attribute value after text typed
  // into the directory body; the GPO name into the empty group policy body; a group policy token is
  // not offered in a file system subject.
  dialog({{"EMAIL_02", IDC_EMAIL_TEMPLATES, "", {}},
          {"EMAIL_TEMPLATES", IDOK, "", {{IDC_TEMPLATE_AD_BODY, "Changed: "}},
           {{IDC_TEMPLATE_LL_SUBJECT, "Insert Server Name (%S)", 9},
            {IDC_TEMPLATE_AD_BODY, "Insert Specified Attribute Value (%v:ATTRIBUTENAME)"},
            {IDC_TEMPLATE_FS_SUBJECT, "Insert GPO Name (%g)"},
            {IDC_TEMPLATE_GP_BODY, "Insert GPO Name (%g)"}}}});
  const std::vector<std::string> every = {
      "----", "Insert Server Name (%S)", "Insert Profile Name (%p)", "Insert Object Affected (%o)",
      "Insert Action Type (%a)", "Insert Perpetrator Name (%r)", "Insert Perpetrator IP Address (%i)",
      "Insert Perpetrator Workstation Name (%w)", "----", "Insert Time {ex:Jan 1, 2016 10:58:50} (%T)",
      "Insert Month Name (%M)", "Insert Day of Month (%d)", "Insert Year (%y)", "Insert Hour (24-Hour Format) (%h)",
      "Insert Minute (%m)", "Insert Second (%c)"};
  auto plus = [&](std::vector<std::string> extra) {
    std::vector<std::string> rows = every;
    rows.push_back("----");
    rows.insert(rows.end(), extra.begin(), extra.end());
    return rows;
  };
  EXPECT_EQ(token_menus(), (std::vector<std::vector<std::string>>{
                               every,
                               plus({"Insert Object Class (%j)", "Insert Attribute Name (%u)",
                                     "Insert Specified Attribute Value (%v:ATTRIBUTENAME)"}),
                               every,
                               plus({"Insert GPO Name (%g)", "Insert GPO Change Details (%e)",
                                     "Insert GPO Filename that changed (%f)"})}));
  EXPECT_EQ((std::vector<std::string>{value("EMailAlert_LL_Subject"), value("EMailAlert_AD_Body"),
                                      value("EMailAlert_FS_Subject"), value("EMailAlert_GP_Body")}),
            (std::vector<std::string>{std::string("Logon on %S today") + '\0',
                                      std::string("Changed: %v:PUT_ATTRIBUTE_NAME_HERE") + '\0', "(none)",
                                      std::string("%g") + '\0'}));
  EXPECT_EQ(platform::clipboard_text(), "%g");

  // Closed, the dialog hooks no more: an edit's menu opened afterwards has only its own entries.
  ui::clear_journal();
  HWND edit = CreateWindowExA(0, "Edit", "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ui::right_click(edit, "Insert Server Name (%S)"), 0u);
  EXPECT_EQ(token_menus(), std::vector<std::vector<std::string>>{{}});
  DestroyWindow(edit);
}

}  // namespace
