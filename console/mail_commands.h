// vornix-console email-config, test-email and unattended-run: a server's mail settings
// shown and set through the library's e-mail dialog as a user fills it, the test mail
// sent from that dialog, and the unattended run that mails the scheduled reports; and
// the demo's mail server, running while these commands run.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace console {

// Each takes its --server options among its arguments; the exit status.
// Shows the first server's settings as the e-mail dialog opens with them, or, given --smtp, --port, --security,
// --send-as or --password, types them over them in the dialog and saves them to the first server, and to each
// other one through the dialog's MULTIPLE SERVERS button; --remove (with --yes) removes them from each server.
int email_config_command(std::vector<std::string> args);
// The dialog's Send Test Email with the server's stored settings, to --to ADDRESS.
int test_email_command(std::vector<std::string> args);
// The server's unattended run as the host starts it, its log file's lines printed.
int unattended_run_command(std::vector<std::string> args);

// The demo's mail host (a machine whose machine.ini has [mail] port=N) takes mail at its address and
// that port into machines/<NAME>/Maildir while the returned guard lives; null in other worlds.
std::shared_ptr<void> start_demo_mail_server();

}  // namespace console
