// A real SMTP server for the mail tests and the demo: aiosmtpd (smtp_server.py)
// on a world machine's address at a free port, every message it takes written to
// a Maildir that the tests read back.
//
//   support::MailServer mail(world, "MAILHOST", {"alerts@brightmere.local", "s3cret"}, MailSecurity::StartTls);
//   world.open();             // the console machine now trusts the server's certificate
//   mail.messages();          // what the server has received, oldest first
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "sim/world_builder.h"

namespace support {

enum class MailSecurity { Plain, StartTls, ImplicitTls };

struct MailLogin {
  std::string user;      // empty: the server takes mail without logging in
  std::string password;
};

// One received message: the envelope and login the server saw, the headers and the decoded parts.
struct ReceivedMail {
  std::string mail_from;
  std::string rcpt_to;
  std::string login;  // the account that logged in, empty when none did
  std::map<std::string, std::string> headers;  // the message's own headers, by name
  std::string body;                            // the text part, decoded
  std::string attachment_name;                 // empty when there is no attachment
  std::string attachment;                      // its bytes, decoded
};

class MailServer {
 public:
  // With TLS a self-signed certificate for the machine's name is made and put in the console
  // machine's trusted-roots.pem.
  MailServer(WorldBuilder& world, const std::string& machine, MailLogin login = {},
             MailSecurity security = MailSecurity::Plain);
  // A server without login or TLS at a given address and port, its Maildir in the folder (the demo's).
  MailServer(const std::string& address, int port, const std::string& folder);
  MailServer(const MailServer&) = delete;
  MailServer& operator=(const MailServer&) = delete;
  ~MailServer();  // stops the server

  int port() const { return port_; }
  void stop();
  std::vector<ReceivedMail> messages() const;

 private:
  void start(const std::string& address, int port, const std::string& folder, const MailLogin& login,
             MailSecurity security);
  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace support
