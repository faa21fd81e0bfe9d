#include "console/windows_error.h"
#include "console/mail_commands.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/report_commands.h"
#include "console/host_screens.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "resources/resource.h"
#include "sim/loopback_ports.h"
#include "sim/mail_server.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr const char* kSecurityNames[] = {"none", "tls", "ssl"};  // by the stored value
constexpr int kSecurityButtons[] = {IDC_EMAIL_NO_SECURITY, IDC_EMAIL_TLS, IDC_EMAIL_SSL};
constexpr uint16_t kMailScreenKey = 31;
constexpr int kEmailButtonItem = 201;
constexpr uint32_t kEmailConfigButton = 0x603100B3;
constexpr uint16_t kUnattendedScreenKey = 32;
constexpr uint32_t kUnattendedRunList = 0x60440932;
// The quick report's four lists, by their dialog items: file system, logon, directory, group policy.
constexpr int kQuickLists[] = {1901, 1902, 1906, 1907};
constexpr int kQuickLogonList = 1;

// Whether the dialog was shown and nothing else: no refusal or failure message.
bool only_dialog(const char* template_name) {
  bool shown = false;
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.kind != "dialog" || e.template_name == "SHORT_MSG") return false;
    shown = shown || e.template_name == template_name;
  }
  return shown;
}

// The last journal entry of the dialog; null when it was not shown.
const ui::JournalEntry* shown_dialog(const std::vector<ui::JournalEntry>& journal, const char* template_name) {
  const ui::JournalEntry* found = nullptr;
  for (const ui::JournalEntry& e : journal)
    if (e.template_name == template_name) found = &e;
  return found;
}

std::string field(const ui::JournalEntry& e, int item) {
  for (const auto& [id, text] : e.fields)
    if (id == item) return text;
  return "";
}

// As the host sends them: the server selected in the console's server list, then the e-mail configuration
// button pressed; the scripted user answers the dialogs. False after saying the server is not known.
bool press_email_button(const Library& l, const std::string& server) {
  host::clear_screens();
  HWND screen = host::create_screen(kMailScreenKey, "Server Configuration");
  if (!select_server(l, screen, kServerListItem, server)) return false;
  press(l, screen, add_button(screen, kEmailButtonItem, kEmailConfigButton));
  return true;
}

// The settings as the e-mail dialog showed them when it opened.
int show_settings(const Library& l, const std::string& server) {
  ui::clear_journal();
  ui::script({"EMAIL_02", IDCANCEL, "", {}});
  hold_messages();  // the dialog itself is what is printed
  bool known = press_email_button(l, server);
  ui::clear_script();
  std::vector<ui::JournalEntry> journal = ui::journal();
  const ui::JournalEntry* shown = known ? shown_dialog(journal, "EMAIL_02") : nullptr;
  release_messages(shown == nullptr);
  if (shown == nullptr) return known ? fail(server + ": the e-mail dialog did not open" + kSeeAbove) : 1;
  const std::string smtp = field(*shown, IDC_EMAIL_SMTP_SERVER), sender = field(*shown, IDC_EMAIL_SEND_AS);
  if (smtp.empty()) {
    std::printf("%s: no mail settings%s%s\n", server.c_str(), sender.empty() ? "" : "; alerts return to ",
                sender.c_str());
    return 0;
  }
  const char* security = "unknown";
  for (int value = 0; value < 3; ++value)
    if (field(*shown, kSecurityButtons[value]) == "checked") security = kSecurityNames[value];
  std::printf("%s: SMTP server %s port %s security %s send as %s password %s\n", server.c_str(), smtp.c_str(),
              field(*shown, IDC_EMAIL_PORT).c_str(), security, sender.c_str(),
              field(*shown, IDC_EMAIL_PASSWORD).empty() ? "none" : "set");
  return 0;
}

// The first server's dialog with the typed fields and the security chosen; the other servers through its
// MULTIPLE SERVERS button, one at a time; then its Save.
int save_settings(const Library& l, const std::vector<std::string>& servers,
                  const std::vector<std::pair<int, std::string>>& typed, int security_button) {
  std::vector<ui::Answer> steps;
  if (security_button) steps.push_back({"EMAIL_02", security_button, "", {}});
  for (size_t i = 1; i < servers.size(); ++i) {
    steps.push_back({"EMAIL_02", IDC_EMAIL_MULTIPLE, "", {}});
    ui::script({"EMAIL_SERVERS", IDOK, "", {{IDC_EMAIL_SERVERS, servers[i]}}});
  }
  steps.push_back({"EMAIL_02", IDOK, "", {}});
  steps.front().edits = typed;
  for (const ui::Answer& step : steps) ui::script(step);
  ui::script({"EMAIL_02", IDCANCEL, "", {}});  // a refused save leaves the dialog open
  ui::clear_journal();
  bool known = press_email_button(l, servers[0]);
  ui::clear_script();
  std::vector<ui::JournalEntry> journal = ui::journal();
  const ui::JournalEntry* dialog = known ? shown_dialog(journal, "EMAIL_02") : nullptr;
  size_t applied = 0;
  for (const ui::JournalEntry& e : journal) applied += e.template_name == "EMAIL_SERVERS" && e.result == IDOK;
  if (dialog == nullptr || dialog->result != IDOK || applied + 1 != servers.size())
    return known ? fail("nothing was saved" + std::string(kSeeAbove)) : 1;
  for (const std::string& s : servers) std::printf("%s: mail settings saved\n", s.c_str());
  return 0;
}

// Each server's dialog with its SMTP server emptied and saved; the question whether to remove is answered.
int remove_settings(const Library& l, const std::vector<std::string>& servers, bool confirmed) {
  for (const std::string& server : servers) {
    ui::script({"EMAIL_02", IDOK, "", {{IDC_EMAIL_SMTP_SERVER, ""}}});
    ui::script({"KEEP EMAIL CONFIG?", confirmation_answer(confirmed, IDOK, IDCANCEL), "", {}});
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    ui::clear_journal();
    bool known = press_email_button(l, server);
    ui::clear_script();
    std::vector<ui::JournalEntry> journal = ui::journal();
    const ui::JournalEntry* dialog = known ? shown_dialog(journal, "EMAIL_02") : nullptr;
    if (!known) return 1;
    if (dialog == nullptr || dialog->result != IDOK)
      return fail(confirmed ? server + ": the mail settings were kept" + kSeeAbove
                            : "the mail settings were kept; confirm the removal with --yes");
    std::printf("%s: mail settings removed\n", server.c_str());
  }
  return 0;
}

// The library loaded with the host's services; the job's exit status.
template <typename Job>
int with_library(Job job) {
  Library l;
  if (!start(&l)) return 1;
  int status = job(l);
  host::unload_library(&l.library);
  return status;
}

}  // namespace

int email_config_command(std::vector<std::string> args) {
  static const char* usage =
      "email-config takes --server NAME (repeatable) and either nothing (show), any of --smtp HOST, --port N, "
      "--security none|ssl|tls, --send-as ADDRESS and --password TEXT, or --remove --yes";
  bool missing = false;
  const std::vector<std::string> servers = take_options(args, "--server", &missing);
  const std::string smtp = take_option(args, "--smtp", &missing);
  const std::string port = take_option(args, "--port", &missing);
  const std::string security = take_option(args, "--security", &missing);
  const std::string sender = take_option(args, "--send-as", &missing);
  const bool password_given = std::find(args.begin(), args.end(), "--password") != args.end();
  const std::string password = take_option(args, "--password", &missing);
  const bool remove = take_flag(args, "--remove");
  const bool confirmed = take_confirmation(args);
  const bool changes = !smtp.empty() || !port.empty() || !security.empty() || !sender.empty() || password_given;
  if (missing || servers.empty() || !args.empty() || (remove && changes)) return usage_error(usage);
  int security_button = 0;
  for (int value = 0; value < 3 && !security.empty(); ++value)
    if (security == kSecurityNames[value]) security_button = kSecurityButtons[value];
  if (!security.empty() && security_button == 0) return usage_error(usage);
  // The dialog refuses a port that is no number with its own message, but takes any number: one outside 1 to
  // 65535 is refused here, before the dialog is touched.
  const bool digits = !port.empty() && std::all_of(port.begin(), port.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  const unsigned long number = digits && port.size() <= 5 ? std::strtoul(port.c_str(), nullptr, 10) : 0;
  if (digits && (number < 1 || number > 65535))
    return usage_error("--port takes a port number from 1 to 65535, not " + port + "; nothing was saved");
  return with_library([&](const Library& l) {
    if (remove) return remove_settings(l, servers, confirmed);
    if (!changes) return show_settings(l, servers[0]);
    // The user types what was given over what the dialog shows.
    std::vector<std::pair<int, std::string>> typed;
    if (!smtp.empty()) typed.push_back({IDC_EMAIL_SMTP_SERVER, smtp});
    if (!port.empty()) typed.push_back({IDC_EMAIL_PORT, port});
    if (!sender.empty()) typed.push_back({IDC_EMAIL_SEND_AS, sender});
    if (password_given) typed.push_back({IDC_EMAIL_PASSWORD, password});
    return save_settings(l, servers, typed, security_button);
  });
}

int test_email_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string to = take_option(args, "--to", &missing);
  if (missing || server.empty() || to.empty() || !args.empty()) return usage_error("test-email takes --server NAME and --to ADDRESS");
  return with_library([&](const Library& l) {
    ui::clear_journal();
    ui::script({"EMAIL_02", IDC_EMAIL_SEND_TEST, "", {}});
    ui::script({"EMAIL_TEST", IDOK, "", {{IDC_EMAIL_TEST_RECIPIENT, to}}});
    ui::script({"EMAIL_TEST", IDCANCEL, "", {}});
    ui::script({"EMAIL_02", IDCANCEL, "", {}});
    const bool known = press_email_button(l, server);
    ui::clear_script();
    if (!known) return 1;
    if (!only_dialog("EMAIL_TEST")) return fail(server + ": no test mail was sent" + kSeeAbove);
    std::vector<ui::JournalEntry> journal = ui::journal();
    const ui::JournalEntry* shown = shown_dialog(journal, "EMAIL_02");
    std::printf("%s: test mail to %s handed to the mail library for %s port %s\n", server.c_str(), to.c_str(),
                field(*shown, IDC_EMAIL_SMTP_SERVER).c_str(), field(*shown, IDC_EMAIL_PORT).c_str());
    return 0;
  });
}

int unattended_run_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  if (missing || server.empty() || !args.empty()) return usage_error("unattended-run takes only --server NAME");
  return with_library([&](const Library& l) {
    HWND screen = host::create_screen(kUnattendedScreenKey, "Unattended Run");
    if (!select_server(l, screen, kServerListItem, server)) return 1;
    // The run's screen: the four quick-report lists with their columns, as the quick report has them.
    HWND lists[std::size(kQuickLists)] = {};
    for (size_t i = 0; i < std::size(kQuickLists); ++i) {
      lists[i] = host::add_control(screen, kQuickLists[i], WC_LISTVIEWA, "",
                                   host::ControlSpec{kReportViewList, kDescriptorListView});
      host::send_list_event(l.library, lists[i]);
    }
    char folder[MAX_PATH] = {}, log_name[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    if (!GetTempFileNameA(folder, "VUR", 0, log_name)) return fail("no temporary file for the run's log could be made");
    host::unattended_log_file() = CreateFileA(log_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (host::unattended_log_file() == INVALID_HANDLE_VALUE) {
      host::unattended_log_file() = nullptr;
      return fail(std::string(log_name) + ": the run's log file cannot be made (" + windows_error(GetLastError()) + ")");
    }
    host::clear_service_calls();
    host::send_list_event(l.library, lists[kQuickLogonList], kUnattendedRunList);
    CloseHandle(host::unattended_log_file());
    host::unattended_log_file() = nullptr;
    // The log's lines, each written between line breaks.
    std::string text;
    if (HANDLE in = CreateFileA(log_name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        in != INVALID_HANDLE_VALUE) {
      char buffer[4096];
      DWORD read = 0;
      while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
      CloseHandle(in);
    }
    DeleteFileA(log_name);
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      if (end > at) std::printf("%s: %s\n", server.c_str(), text.substr(at, end - at).c_str());
      at = end + 2;
    }
    const std::vector<std::string> calls = host::service_calls();
    const bool ended = std::find(calls.begin(), calls.end(), "host_request code=8738 flag=0") != calls.end();
    std::printf("%s: %s\n", server.c_str(),
                ended ? "run ended: list store frozen, end of the unattended run sent to the host"
                      : "the run did not end with its request to the host");
    return ended ? 0 : 1;
  });
}

std::shared_ptr<void> start_demo_mail_server() {
  for (const world::Machine* m : world::machines()) {
    const int port = std::atoi(m->setting("mail", "port").c_str());
    if (port <= 0) continue;
    const std::string address = m->setting("machine", "ipv4");
    if (support::port_answers(address, port)) return nullptr;  // another console's run serves it already
    try {
      return std::make_shared<support::MailServer>(address, port, m->dir);
    } catch (const std::exception& e) {
      fail(std::string("the demo's mail server did not start: ") + e.what());
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace console
