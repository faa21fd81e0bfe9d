// The mail library zovuruve.dll, loaded by name as the console loads it, sending
// to a real SMTP server: what the server received, under each security choice,
// and the faults that send nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/mail_server.h"
#include "tests/support/world_builder.h"
#include "win32/modules.h"

namespace {

using SendMail = DWORD(WINAPI*)(DWORD, const char*, DWORD, DWORD, const char*, const char*, const char*, const char*,
                                const char*, const char*);

constexpr DWORD kNoSecurity = 0, kTls = 1, kSsl = 2;
constexpr char kSender[] = "alerts@brightmere.local";
constexpr char kPassword[] = "s3cret pass";

struct Mail {
  DWORD mode = 1;
  DWORD security = kNoSecurity;
  const char* password = kPassword;
  const char* subject = "VORNIX CONSOLE TEST EMAIL MESSAGE";
  const char* recipient = "jane@brightmere.local";
  const char* body = "Test Message";
  const char* attachment = nullptr;
};

class MailLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    w.add_machine("MAILHOST", "127.0.0.9");
    w.open();
  }
  void TearDown() override { qvmr_hide_module(nullptr); }
  // Loads the library by name, sends one mail through the server at the port and releases it.
  DWORD send(const Mail& m, int port) {
    HMODULE library = LoadLibraryA("zovuruve.dll");
    EXPECT_NE(library, nullptr);
    auto send_mail =
        reinterpret_cast<SendMail>(reinterpret_cast<void*>(GetProcAddress(library, "qvmr_smtp_email")));
    EXPECT_NE(send_mail, nullptr);
    DWORD rc = send_mail ? send_mail(m.mode, "MAILHOST", DWORD(port), m.security, kSender, m.password, m.subject,
                                     m.recipient, m.body, m.attachment)
                         : DWORD(-1);
    FreeLibrary(library);
    return rc;
  }
  support::WorldBuilder w;
};

TEST_F(MailLibrary, PlainMailWithLoginAndAttachmentArrivesWhole) {
  support::MailServer server(w, "MAILHOST", {kSender, kPassword});
  w.open();
  std::string report = "<html><body>R\xE9sum\xE9</body></html>\n";
  for (int i = 0; i < 300; ++i) report += static_cast<char>(i);  // every byte value survives the encoding
  std::ofstream(w.machine_dir(w.console()) + "/shares/C$/report.htm", std::ios::binary) << report;
  ASSERT_EQ(send({}, server.port()), 0u);
  Mail with_file;
  with_file.mode = 17;
  with_file.subject = "Weekly r\xE9sum\xE9";
  with_file.recipient = "Boss <boss@brightmere.local>";
  with_file.body = "Report attached\r\nFILE ATTACHED: report.htm";
  with_file.attachment = "\\\\CONSOLE01\\C$\\report.htm";
  ASSERT_EQ(send(with_file, server.port()), 0u);

  std::vector<support::ReceivedMail> mails = server.messages();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].mail_from, kSender);
  EXPECT_EQ(mails[0].rcpt_to, "jane@brightmere.local");
  EXPECT_EQ(mails[0].login, kSender);
  EXPECT_EQ(mails[0].headers["Subject"], "VORNIX CONSOLE TEST EMAIL MESSAGE");
  EXPECT_EQ(mails[0].headers["From"], kSender);
  EXPECT_EQ(mails[0].headers["To"], "jane@brightmere.local");
  EXPECT_EQ(mails[0].body, "Test Message");
  EXPECT_EQ(mails[0].attachment_name, "");

  EXPECT_EQ(mails[1].rcpt_to, "boss@brightmere.local");
  EXPECT_EQ(mails[1].headers["Subject"], "Weekly r\xE9sum\xE9");
  EXPECT_EQ(mails[1].body, "Report attached\r\nFILE ATTACHED: report.htm");
  EXPECT_EQ(mails[1].attachment_name, "report.htm");
  EXPECT_EQ(mails[1].attachment, report);
}

TEST_F(MailLibrary, EachSecurityChoiceSpeaksWhatItsServerExpects) {
  struct Case {
    support::MailSecurity server;
    DWORD security;
  };
  for (const Case& c : {Case{support::MailSecurity::StartTls, kTls}, Case{support::MailSecurity::ImplicitTls, kSsl}}) {
    support::MailServer server(w, "MAILHOST", {kSender, kPassword}, c.server);
    w.open();
    Mail m;
    m.security = c.security;
    EXPECT_EQ(send(m, server.port()), 0u) << c.security;
    // Without TLS the client does not get past a server that asks for STARTTLS first.
    if (c.security == kTls) {
      m.security = kNoSecurity;
      EXPECT_NE(send(m, server.port()), 0u);
    }
    std::vector<support::ReceivedMail> mails = server.messages();
    ASSERT_EQ(mails.size(), 1u) << c.security;
    EXPECT_EQ(mails[0].login, kSender);
    EXPECT_EQ(mails[0].body, "Test Message");
  }
  // The certificate is checked: a server whose certificate the console does not trust gets nothing.
  support::MailServer untrusted(w, "MAILHOST", {}, support::MailSecurity::ImplicitTls);
  std::remove((w.machine_dir(w.console()) + "/trusted-roots.pem").c_str());
  w.open();
  Mail m;
  m.security = kSsl;
  EXPECT_NE(send(m, untrusted.port()), 0u);
  EXPECT_TRUE(untrusted.messages().empty());
}

TEST_F(MailLibrary, RefusedOrUnreachableMailIsNotSent) {
  support::MailServer server(w, "MAILHOST", {kSender, kPassword});
  w.open();
  Mail wrong;
  wrong.password = "guess";
  EXPECT_NE(send(wrong, server.port()), 0u);
  Mail missing_file;
  missing_file.attachment = "C:\\no such report.htm";
  EXPECT_NE(send(missing_file, server.port()), 0u);
  Mail nobody;
  nobody.recipient = "";
  EXPECT_NE(send(nobody, server.port()), 0u);
  EXPECT_TRUE(server.messages().empty());
  const int port = server.port();
  server.stop();
  EXPECT_NE(send({}, port), 0u);

  qvmr_hide_module("zovuruve.dll");
  EXPECT_EQ(LoadLibraryA("zovuruve.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
