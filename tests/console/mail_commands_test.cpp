// The console's mail commands on a demo network: settings saved to both servers
// through the e-mail dialog with its checks, removed only when confirmed, and the
// test mail and the unattended run's reports delivered to the demo's mail server
// (one test: the demo's mail server has one address for every world).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/console/console_fixture.h"

namespace {

namespace fs = std::filesystem;

class ConsoleMail : public support::DemoConsoleTest {
 protected:
  // The messages the demo's mail server holds, each whole, oldest first.
  std::vector<std::string> mailbox() {
    std::vector<fs::path> files;
    const fs::path folder = world_ + "/machines/MAIL01/Maildir/new";
    if (fs::exists(folder))
      for (const auto& f : fs::directory_iterator(folder)) files.push_back(f.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
      return fs::last_write_time(a) < fs::last_write_time(b);
    });
    std::vector<std::string> mails;
    for (const fs::path& f : files) mails.push_back(support::read_whole_file(f.string()));
    return mails;
  }
};

TEST_F(ConsoleMail, TestMailAndUnattendedRunReachTheDemoMailServer) {
  support::ProgramRun sent = run("test-email --server SRV01 --to x@demo.test");
  EXPECT_EQ(sent.exit_code, 0) << sent.output;
  EXPECT_TRUE(has(sent.output, "SRV01: test mail to x@demo.test handed to the mail library for MAIL01 port 2525\n"))
      << sent.output;
  std::vector<std::string> mails = mailbox();
  ASSERT_EQ(mails.size(), 1u);
  for (const char* line : {"From: vornix@demo.test\n", "X-RcptTo: x@demo.test\n",
                           "Subject: VORNIX CONSOLE TEST EMAIL MESSAGE\n", "VGVzdCBNZXNzYWdl"})  // "Test Message"
    EXPECT_TRUE(has(mails[0], line)) << line << mails[0];

  // The unattended run: the demo's scheduled graphical activity profile mailed to the same server.
  support::ProgramRun ran = run("unattended-run --server SRV01");
  ASSERT_EQ(ran.exit_code, 0) << ran.output;
  // The week's quick report and the profile's one graphical report.
  for (const char* line : {").CSV mailed to 1 recipient\n", "SRV01: CCR_Logons by hour(",
                           ").HTML mailed to 1 recipient\n",
                           "SRV01: run ended: list store frozen, end of the unattended run sent to the host\n"})
    EXPECT_TRUE(has(ran.output, line)) << line << ran.output;
  mails = mailbox();
  ASSERT_EQ(mails.size(), 3u);
  mails.erase(mails.begin(), mails.begin() + 1);
  for (const std::string& mail : mails)
    for (const char* line : {"X-RcptTo: audit@demo.test\n", "Subject: VORNIX Graphical Activity Report\n"})
      EXPECT_TRUE(has(mail, line)) << line << mail;
  EXPECT_TRUE(has(mails[0], "Content-Type: text/plain")) << mails[0];
  EXPECT_TRUE(has(mails[1], "Content-Type: text/html")) << mails[1];

  // SRV02 has no scheduled graphical activity profile.
  ran = run("unattended-run --server SRV02");
  EXPECT_EQ(ran.exit_code, 0) << ran.output;
  EXPECT_TRUE(has(ran.output, "SRV02: NO Destination Emails configured, aborting\n")) << ran.output;
  EXPECT_EQ(mailbox().size(), 3u);
  ran = run("unattended-run --server NOSUCH");
  EXPECT_EQ(ran.exit_code, 1) << ran.output;
  EXPECT_TRUE(has(ran.output, "NOSUCH is not a known server of this console")) << ran.output;
}

TEST_F(ConsoleMail, SettingsSavedToEveryServerRefusedWhenIncompleteAndRemovedWhenConfirmed) {
  const std::string both = "email-config --server SRV01 --server SRV02";
  auto registry = [&] { return file("machines/SRV02/registry/HKLM.reg"); };
  const std::string before = registry();
  support::ProgramRun refused = run(both + " --port 25x");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(has(refused.output, "Invalid Port specified, field is required.")) << refused.output;
  EXPECT_EQ(registry(), before);
  // A number that is no port is refused before anything is typed.
  for (const char* port : {"70000", "0"}) {
    refused = run(both + " --port " + port);
    EXPECT_EQ(refused.exit_code, 2) << port;
    EXPECT_TRUE(has(refused.output, "--port takes a port number from 1 to 65535")) << refused.output;
    EXPECT_EQ(registry(), before);
  }

  support::ProgramRun saved = run(both + " --smtp mail.example --security tls --password 'p w'");
  EXPECT_EQ(saved.exit_code, 0) << saved.output;
  EXPECT_FALSE(has(saved.output, "p w")) << "the password field hides what it holds\n" << saved.output;
  for (const char* server : {"SRV01", "SRV02"})
    EXPECT_EQ(run(std::string("email-config --server ") + server).output,
              std::string(server) + ": SMTP server mail.example port 2525 security tls send as vornix@demo.test "
                                    "password set\n");

  EXPECT_EQ(run("email-config --server SRV02 --remove").exit_code, 1);
  EXPECT_TRUE(has(run("email-config --server SRV02").output, "SMTP server mail.example"));
  EXPECT_EQ(run("email-config --server SRV02 --remove --yes").exit_code, 0);
  EXPECT_EQ(run("email-config --server SRV02").output, "SRV02: no mail settings\n");
}

}  // namespace
