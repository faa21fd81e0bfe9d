// vornix-console email-config, test-email, mail-report and unattended-run: a server's mail
// settings set through the library's e-mail dialog as a user fills it, the test
// mail sent from that dialog, and a report file mailed through the server's
// settings; and the demo's mail server, running while these commands run.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace console {

// Shows the first server's settings, or, given --smtp, --port, --security, --send-as or --password, types
// them over the first server's settings in the dialog and saves them to every server; --remove (with
// --yes) removes them.
int email_config_command(std::vector<std::string> args, const std::vector<std::string>& servers);
// The dialog's Send Test Email with the server's stored settings.
int test_email_command(const std::string& server, const std::string& to);
int mail_report_command(const std::string& server, const std::string& file, const std::vector<std::string>& to);
// The server's unattended run as the host starts it, its log file's lines printed.
int unattended_run_command(const std::string& server);

// The demo's mail host (a machine whose machine.ini has [mail] port=N) takes mail at its address and
// that port into machines/<NAME>/Maildir while the returned guard lives; null in other worlds.
std::shared_ptr<void> start_demo_mail_server();

}  // namespace console
