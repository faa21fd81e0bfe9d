#include "sim/mail_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "sim/loopback_ports.h"
#include "sim/program_runner.h"
#include "sim/whole_file.h"

namespace fs = std::filesystem;

namespace support {
namespace {

// Debian's python3-aiosmtpd is installed for the system's interpreter, not for one a user put first on PATH.
constexpr char kPython[] = "/usr/bin/python3";

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// Waits until the server answers; false as soon as it has ended instead.
bool wait_until_answering(pid_t pid, const std::string& address, int port) {
  for (int i = 0; i < 1000; ++i) {
    if (port_answers(address, port)) return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// A self-signed certificate for the machine's name, trusted by the console machine.
void make_certificate(WorldBuilder& world, const std::string& machine, const std::string& folder) {
  ProgramRun r = run_program("openssl", "req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + machine +
                                            " -addext subjectAltName=DNS:" + machine + " -keyout " +
                                            quoted(folder + "/key.pem") + " -out " + quoted(folder + "/cert.pem"));
  if (r.exit_code != 0) throw std::runtime_error("openssl did not make the certificate: " + r.output);
  fs::copy_file(folder + "/cert.pem", world.machine_dir(world.console()) + "/trusted-roots.pem",
                fs::copy_options::overwrite_existing);
}

}  // namespace

MailServer::MailServer(WorldBuilder& world, const std::string& machine, MailLogin login, MailSecurity security) {
  const std::string address = world::read_ini(world.machine_dir(machine) + "/machine.ini")["machine"]["ipv4"];
  const int port = free_port(address);
  // A folder of its own for each server a test starts; the server makes the Maildir in it.
  const std::string folder = world.machine_dir(machine) + "/mail-" + std::to_string(port);
  fs::create_directories(folder);
  if (security != MailSecurity::Plain) make_certificate(world, machine, folder);
  start(address, port, folder, login, security);
}

MailServer::MailServer(const std::string& address, int port, const std::string& folder) {
  fs::create_directories(folder);
  start(address, port, folder, {}, MailSecurity::Plain);
}

void MailServer::start(const std::string& address, int port, const std::string& folder, const MailLogin& login,
                       MailSecurity security) {
  port_ = port;
  folder_ = folder;
  std::vector<std::string> args = {kPython, QVMR7_SMTP_SERVER_SCRIPT, address, std::to_string(port_),
                                   folder_ + "/Maildir"};
  if (!login.user.empty()) args.insert(args.end(), {"--login", login.user + ":" + login.password});
  if (security != MailSecurity::Plain)
    args.insert(args.end(), {security == MailSecurity::StartTls ? "--starttls" : "--tls", folder_ + "/cert.pem",
                             folder_ + "/key.pem"});
  pid_ = fork();
  if (pid_ == 0) {
    std::freopen((folder_ + "/server.log").c_str(), "w", stderr);
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ < 0 || !wait_until_answering(pid_, address, port_)) {
    stop();
    throw std::runtime_error("the mail server did not start: " + read_whole_file(folder_ + "/server.log"));
  }
}

MailServer::~MailServer() { stop(); }

void MailServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::vector<ReceivedMail> MailServer::messages() const {
  const std::string out = folder_ + "/decoded";
  fs::remove_all(out);
  ProgramRun r = run_program(kPython, quoted(QVMR7_SMTP_SERVER_SCRIPT) + " --decode " +
                                            quoted(folder_ + "/Maildir") + " " + quoted(out));
  if (r.exit_code != 0) throw std::runtime_error("the Maildir did not decode: " + r.output);
  std::vector<ReceivedMail> mails;
  for (size_t n = 0; fs::exists(out + "/" + std::to_string(n)); ++n) {
    const std::string folder = out + "/" + std::to_string(n);
    ReceivedMail mail;
    std::ifstream headers(folder + "/headers");
    for (std::string line; std::getline(headers, line);) {
      size_t colon = line.find(": ");
      if (colon != std::string::npos) mail.headers[line.substr(0, colon)] = line.substr(colon + 2);
    }
    mail.mail_from = mail.headers["X-MailFrom"];
    mail.rcpt_to = mail.headers["X-RcptTo"];
    mail.login = mail.headers["X-Auth-Login"];
    mail.body = read_whole_file(folder + "/body");
    mail.attachment_name = read_whole_file(folder + "/attachment.name");
    mail.attachment = read_whole_file(folder + "/attachment");
    mails.push_back(mail);
  }
  return mails;
}

}  // namespace support
