#include "console/mail_commands.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "config/email_config.h"
#include "config/unattended_run.h"
#include "reports/log_reader.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "console/substitute_host.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/list_item.h"
#include "host/text.h"
#include "resources/resource.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/mail_server.h"
#include "host/host.h"
#include "win32/modules.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr const char* kSecurityNames[] = {"none", "tls", "ssl"};  // by the stored value
constexpr uint16_t kMailScreenKey = 31;
constexpr int kServerListItem = 200;
constexpr int kEmailButtonItem = 201;
constexpr uint32_t kEmailConfigButton = 0x603100B3;
constexpr uint16_t kUnattendedScreenKey = 32;
constexpr uint32_t kReportViewList = 0x60240001;  // the library gives a quick-report list its columns

// Whether the dialog was shown and nothing else: no refusal or failure message.
bool only_dialog(const char* template_name) {
  bool shown = false;
  for (const ui::JournalEntry& e : ui::journal()) {
    if (e.kind != "dialog" || e.template_name == "SHORT_MSG") return false;
    shown = shown || e.template_name == template_name;
  }
  return shown;
}

// A fresh screen whose console server list has the server selected, as the host shows it; null when
// the server is not one the console knows.
HWND select_server(const host::Library& library, const std::string& server) {
  host::insert_list_images(library);
  host::clear_screens();
  HWND screen = host::create_screen(kMailScreenKey, "Server Configuration");
  HWND servers = host::add_control(screen, kServerListItem, WC_LISTVIEWA, "",
                                   host::ControlSpec{kConsoleServerList, kDescriptorListView});
  host::send_list_event(library, servers);
  int row = -1;
  for (int i = 0; row < 0 && i < static_cast<int>(SendMessageA(servers, LVM_GETITEMCOUNT, 0, 0)); ++i) {
    char text[260] = {};
    LPARAM param;
    read_list_row(servers, i, text, sizeof text, &param);
    if (equal_ignoring_case(text, server.c_str())) row = i;
  }
  return row >= 0 && ui::click_row(servers, row) ? screen : nullptr;
}

// As the host sends them: the server selected in the console's server list, then the e-mail
// configuration button pressed. False when the server is not one the console knows.
bool press_email_button(const std::string& server) {
  host::Library library = host::in_process_library();
  HWND screen = select_server(library, server);
  if (screen == nullptr) return false;
  HWND button = host::add_control(screen, kEmailButtonItem, "Button", "",
                                  host::ControlSpec{kEmailConfigButton, kDescriptorPushButton});
  entry_point_button_services(screen, 0, host::descriptor_of(button));
  return true;
}

int show_settings(const std::string& server) {
  EmailConfig s;
  if (read_email_config(server.c_str(), &s) != 0) return fail(server + ": its mail settings could not be read");
  if (s.smtp_server[0] == '\0') {
    std::printf("%s: no mail settings%s%s\n", server.c_str(), s.sender[0] ? "; alerts return to " : "", s.sender);
    return 0;
  }
  std::printf("%s: SMTP server %s port %u security %s send as %s password %s\n", server.c_str(), s.smtp_server,
              static_cast<unsigned>(s.port), s.security < 3 ? kSecurityNames[s.security] : "unknown", s.sender,
              s.password[0] ? "set" : "none");
  return 0;
}

}  // namespace

int email_config_command(std::vector<std::string> args, const std::vector<std::string>& servers) {
  static const char* usage =
      "email-config takes --server NAME (repeatable) and either nothing (show), any of --smtp HOST, --port N, "
      "--security none|ssl|tls, --send-as ADDRESS and --password TEXT, or --remove --yes";
  bool missing = false;
  const std::string smtp = take_option(args, "--smtp", &missing);
  const std::string port = take_option(args, "--port", &missing);
  const std::string security = take_option(args, "--security", &missing);
  const std::string sender = take_option(args, "--send-as", &missing);
  const bool password_given = std::find(args.begin(), args.end(), "--password") != args.end();
  const std::string password = take_option(args, "--password", &missing);
  const bool remove = take_flag(args, "--remove");
  const bool confirmed = take_flag(args, "--yes");
  const bool changes = !smtp.empty() || !port.empty() || !security.empty() || !sender.empty() || password_given;
  if (missing || servers.empty() || !args.empty() || (remove && changes)) return fail(usage);
  int security_button = 0;
  if (!security.empty()) {
    const int buttons[] = {IDC_EMAIL_NO_SECURITY, IDC_EMAIL_TLS, IDC_EMAIL_SSL};
    for (int value = 0; value < 3; ++value)
      if (security == kSecurityNames[value]) security_button = buttons[value];
    if (security_button == 0) return fail(usage);
  }
  if (!changes && !remove) return show_settings(servers[0]);

  // The dialog shows the first server's settings; the user types what was given over them and saves.
  std::vector<std::pair<int, std::string>> typed;
  if (remove) typed.push_back({IDC_EMAIL_SMTP_SERVER, ""});
  if (!smtp.empty()) typed.push_back({IDC_EMAIL_SMTP_SERVER, smtp});
  if (!port.empty()) typed.push_back({IDC_EMAIL_PORT, port});
  if (!sender.empty()) typed.push_back({IDC_EMAIL_SEND_AS, sender});
  if (password_given) typed.push_back({IDC_EMAIL_PASSWORD, password});
  if (security_button) ui::script({"EMAIL_02", security_button, "", typed});
  ui::script({"EMAIL_02", IDOK, "", security_button ? decltype(typed){} : typed});
  ui::script({"EMAIL_02", IDCANCEL, "", {}});  // a refused save leaves the dialog open
  ui::script({"KEEP EMAIL CONFIG?", confirmed ? IDOK : IDCANCEL, "", {}});
  std::string list;
  for (const std::string& s : servers) list += (list.empty() ? "" : ";") + s;
  BYTE item[kListItemBytes] = {};
  INT_PTR result = EditEmailConfig(nullptr, list.c_str(), static_cast<DWORD>(servers.size()), item);
  ui::clear_script();
  if (result != IDOK)
    return fail(remove && !confirmed ? "the mail settings were kept; confirm the removal with --yes"
                                     : "nothing was saved (the message above says why)");
  for (const std::string& s : servers) std::printf("%s: mail settings %s\n", s.c_str(), remove ? "removed" : "saved");
  return 0;
}

int test_email_command(const std::string& server, const std::string& to) {
  EmailConfig s;
  if (read_email_config(server.c_str(), &s) != 0) return fail(server + ": its mail settings could not be read");
  ui::clear_journal();
  ui::script({"EMAIL_02", IDC_EMAIL_SEND_TEST, "", {}});
  ui::script({"EMAIL_TEST", IDOK, "", {{IDC_EMAIL_TEST_RECIPIENT, to}}});
  ui::script({"EMAIL_TEST", IDCANCEL, "", {}});
  ui::script({"EMAIL_02", IDCANCEL, "", {}});
  const bool known = press_email_button(server);
  ui::clear_script();
  if (!known) return fail(server + " is not a known server of this console (vornix-console servers lists them)");
  if (!only_dialog("EMAIL_TEST")) return fail(server + ": no test mail was sent (the message above says why)");
  std::printf("%s: test mail to %s handed to the mail library for %s port %u\n", server.c_str(), to.c_str(),
              s.smtp_server, static_cast<unsigned>(s.port));
  return 0;
}

int mail_report_command(const std::string& server, const std::string& file, const std::vector<std::string>& to) {
  EmailConfig s;
  if (read_email_config(server.c_str(), &s) != 0) return fail(server + ": its mail settings could not be read");
  if (s.smtp_server[0] == '\0') return fail(server + ": no mail settings; set them with email-config first");
  HANDLE in = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
  if (in == INVALID_HANDLE_VALUE) return fail(file + ": cannot be opened (Windows error " +
                                              std::to_string(GetLastError()) + ")");
  LARGE_INTEGER size = {};
  GetFileSizeEx(in, &size);
  CloseHandle(in);
  // One slot per address, ended by an empty one.
  std::vector<char> slots((to.size() + 1) * kRecipientSlotBytes, '\0');
  for (size_t i = 0; i < to.size(); ++i)
    std::snprintf(slots.data() + i * kRecipientSlotBytes, kRecipientSlotBytes, "%s", to[i].c_str());
  // Larger files are cut to the limit, as the mail code does with every size it is given.
  const LONG bytes = size.QuadPart > kReportMailMostBytes ? static_cast<LONG>(kReportMailMostBytes)
                                                          : static_cast<LONG>(size.QuadPart);
  MailReportFile(bytes, file.c_str(), server.c_str(), slots.data());
  std::printf("%s: %s (%lld bytes) handed to the mail library for %zu recipient(s)\n", server.c_str(), file.c_str(),
              static_cast<long long>(size.QuadPart), to.size());
  return 0;
}

int unattended_run_command(const std::string& server) {
  host::Library library = host::in_process_library();
  if (select_server(library, server) == nullptr)
    return fail(server + " is not a known server of this console (vornix-console servers lists them)");
  // The run's screen: the four quick-report lists with their columns, as the quick report has them.
  HWND screen = host::create_screen(kUnattendedScreenKey, "Unattended Run");
  HWND lists[kQuickListCount] = {};
  for (int i = 0; i < kQuickListCount; ++i) {
    lists[i] = host::add_control(screen, kQuickListControls[i], WC_LISTVIEWA, "",
                                 host::ControlSpec{kReportViewList, kDescriptorListView});
    host::send_list_event(library, lists[i]);
  }
  char folder[MAX_PATH] = {}, log_name[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  if (!GetTempFileNameA(folder, "VUR", 0, log_name)) return fail("no temporary file for the run's log could be made");
  host::unattended_log_file() = CreateFileA(log_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (host::unattended_log_file() == INVALID_HANDLE_VALUE) {
    host::unattended_log_file() = nullptr;
    return fail(std::string(log_name) + ": the run's log file cannot be made (Windows error " +
                std::to_string(GetLastError()) + ")");
  }
  host::clear_service_calls();
  host::send_list_event(library, lists[kQuickListLogon], kUnattendedRunList);
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
