// The mail library zovuruve.dll, loaded by name as the console loads it, sending
// to a real SMTP server: what the server received, under each security choice,
// and the faults that send nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sim/mail_server.h"
#include "sim/world_builder.h"
#include "win32/modules.h"

namespace {

using SendMail = DWORD(WINAPI*)(DWORD, const char*, DWORD, DWORD, const char*, const char*, const char*, const char*,
                                const char*, const char*);
using support::MailSecurity;
constexpr DWORD kNoSecurity = 0, kTls = 1, kSsl = 2;
constexpr char kSender[] = "alerts@brightmere.local";
constexpr char kPassword[] = "s3cret pass";
constexpr char kTo[] = "jane@brightmere.local";

struct Mail {
  DWORD security = kNoSecurity;
  const char* password = kPassword;
  const char* recipient = kTo;
  const char* attachment = nullptr;
  const char* subject = "VORNIX CONSOLE TEST EMAIL MESSAGE";
  const char* body = "Test Message";
};

// The envelope, login, headers and parts a server received, as one value.
std::vector<std::string> received(support::ReceivedMail m) {
  return {m.mail_from, m.rcpt_to, m.login, m.headers["Subject"], m.headers["From"], m.headers["To"], m.body,
          m.attachment_name};
}

class MailLibrary : public ::testing::Test {
 protected:
  void SetUp() override { w.add_machine("MAILHOST", "127.0.0.9"); }
  void TearDown() override { qvmr_hide_module(nullptr); }
  // Loads the library by name, sends one mail through the server at the port and releases it.
  DWORD send(const Mail& m, int port) {
    HMODULE library = LoadLibraryA("zovuruve.dll");
    auto send_mail = reinterpret_cast<SendMail>(reinterpret_cast<void*>(GetProcAddress(library, "qvmr_smtp_email")));
    EXPECT_NE(send_mail, nullptr);
    DWORD rc = send_mail ? send_mail(m.attachment ? 17 : 1, "MAILHOST", DWORD(port), m.security, kSender, m.password,
                                     m.subject, m.recipient, m.body, m.attachment) : DWORD(-1);
    FreeLibrary(library);
    return rc;
  }
  support::WorldBuilder w;
};

TEST_F(MailLibrary, PlainMailWithLoginAndAttachmentArrivesWholeAndRefusedMailNotAtAll) {
  support::MailServer server(w, "MAILHOST", {kSender, kPassword});
  w.open();
  std::string report = "<html><body>R\xE9sum\xE9</body></html>\n";
  for (int i = 0; i < 300; ++i) report += static_cast<char>(i);  // every byte value survives the encoding
  std::ofstream(w.machine_dir(w.console()) + "/shares/C$/report.htm", std::ios::binary) << report;
  // A wrong password, an attachment that is not there and no recipient send nothing.
  for (const Mail& m : {Mail{kNoSecurity, "guess"}, Mail{kNoSecurity, kPassword, kTo, "C:\\no such report.htm"},
                        Mail{kNoSecurity, kPassword, ""}})
    EXPECT_NE(send(m, server.port()), 0u) << m.password << m.recipient;
  ASSERT_EQ(send({}, server.port()), 0u);
  ASSERT_EQ(send({kNoSecurity, kPassword, "Boss <boss@brightmere.local>", "\\\\CONSOLE01\\C$\\report.htm",
                  "Weekly r\xE9sum\xE9", "Report attached\r\nFILE ATTACHED: report.htm"}, server.port()), 0u);
  std::vector<support::ReceivedMail> mails = server.messages();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(received(mails[0]), (std::vector<std::string>{kSender, kTo, kSender, "VORNIX CONSOLE TEST EMAIL MESSAGE",
                                                          kSender, kTo, "Test Message", ""}));
  EXPECT_EQ(received(mails[1]), (std::vector<std::string>{kSender, "boss@brightmere.local", kSender,
                                                          "Weekly r\xE9sum\xE9", kSender, "Boss <boss@brightmere.local>",
                                                          "Report attached\r\nFILE ATTACHED: report.htm", "report.htm"}));
  EXPECT_EQ(mails[1].attachment, report);
  // Nothing answers once the server is gone; nothing loads once the library is.
  server.stop();
  EXPECT_NE(send({}, server.port()), 0u);
  qvmr_hide_module("zovuruve.dll");
  EXPECT_EQ(LoadLibraryA("zovuruve.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(MailLibrary, EachSecurityChoiceSpeaksWhatItsServerExpectsToATrustedServerOnly) {
  for (auto [security, choice] : {std::pair{MailSecurity::StartTls, kTls}, std::pair{MailSecurity::ImplicitTls, kSsl}}) {
    support::MailServer server(w, "MAILHOST", {kSender, kPassword}, security);
    w.open();
    EXPECT_EQ(send({choice}, server.port()), 0u) << choice;
    // Without TLS the client does not get past a server that asks for STARTTLS first.
    if (choice == kTls) {
      EXPECT_NE(send({kNoSecurity}, server.port()), 0u);
    }
    std::vector<support::ReceivedMail> mails = server.messages();
    ASSERT_EQ(mails.size(), 1u) << choice;
    EXPECT_EQ(received(mails[0])[2], kSender);
  }
  // The certificate is checked: a server whose certificate the console does not trust gets nothing.
  support::MailServer untrusted(w, "MAILHOST", {kSender, kPassword}, MailSecurity::ImplicitTls);
  std::remove((w.machine_dir(w.console()) + "/trusted-roots.pem").c_str());
  w.open();
  EXPECT_NE(send({kSsl}, untrusted.port()), 0u);
  EXPECT_TRUE(untrusted.messages().empty());
}

}  // namespace
