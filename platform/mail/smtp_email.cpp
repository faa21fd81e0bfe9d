// zovuruve.dll's qvmr_smtp_email over libcurl: the message is built here as
// MIME (headers, a base64 body part, a base64 attachment part) and handed to
// libcurl's SMTP client, which speaks plain SMTP, STARTTLS or implicit TLS and
// logs in with the password.
#include "mail/smtp_email.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "win32/paths.h"
#include "world/world.h"

namespace {

constexpr DWORD kSecurityTls = 1;
constexpr DWORD kSecuritySsl = 2;
constexpr DWORD kModeReport = 17;
constexpr char kBoundary[] = "----=_VORNIX_Part_000_0001";

// Base64 in lines of 76 characters each ended by CRLF, or in one piece without line ends.
std::string base64(const std::string& bytes, bool lines = true) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t line = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[n >> 18 & 63];
    out += kAlphabet[n >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    if (lines && (line += 4) == 76) {
      out += "\r\n";
      line = 0;
    }
  }
  if (line) out += "\r\n";
  return out;
}

// A header text as it may travel: ASCII as it is, else an encoded word of the 8-bit (Latin-1) text.
std::string header_text(const char* text) {
  std::string t = text ? text : "";
  for (char& c : t)
    if (c == '\r' || c == '\n') c = ' ';  // a line break would end the header
  for (unsigned char c : t)
    if (c >= 0x80) return "=?ISO-8859-1?B?" + base64(t, false) + "?=";
  return t;
}

// An address as the SMTP envelope takes it: "<addr>" (kept when it has its brackets already).
std::string envelope_address(const char* text) {
  std::string a = text ? text : "";
  size_t open = a.find('<'), close = a.rfind('>');
  if (open != std::string::npos && close != std::string::npos && close > open) return a.substr(open, close - open + 1);
  return "<" + a + ">";
}

std::string date_header() {
  std::time_t now = static_cast<std::time_t>(world::clock_now_ms() / 1000);
  std::tm utc;
  gmtime_r(&now, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", &utc);
  return text;
}

std::string message_id() {
  static std::atomic<unsigned> counter{0};
  return "<" + std::to_string(world::clock_now_ms()) + "." + std::to_string(::getpid()) + "." +
         std::to_string(++counter) + "@" + world::console_machine() + ">";
}

std::string body_part(DWORD mode, const char* body) {
  std::string text = body ? body : "";
  bool html = mode == kModeReport && !text.empty() && text[0] == '<';
  return std::string("Content-Type: ") + (html ? "text/html" : "text/plain") +
         "; charset=ISO-8859-1\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64(text);
}

// The file's name after its last backslash or slash.
std::string file_name_of(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool read_attachment(const char* attachment, std::string* bytes, std::string* why) {
  std::string local;
  if (DWORD error = platform::map_path(attachment, &local)) {
    *why = "attachment " + std::string(attachment) + " not reachable, Windows error " + std::to_string(error);
    return false;
  }
  std::ifstream in(local, std::ios::binary);
  if (!in) {
    *why = "attachment " + std::string(attachment) + " cannot be read";
    return false;
  }
  std::ostringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return true;
}

struct Upload {
  std::string text;
  size_t sent = 0;
};

size_t read_upload(char* buffer, size_t size, size_t count, void* data) {
  auto* upload = static_cast<Upload*>(data);
  size_t n = std::min(size * count, upload->text.size() - upload->sent);
  std::memcpy(buffer, upload->text.data() + upload->sent, n);
  upload->sent += n;
  return n;
}

std::string trusted_roots() {
  const world::Machine* console = world::find_machine(world::console_machine());
  if (console == nullptr) return "";
  std::string path = world::machine_path(*console, "trusted-roots.pem");
  return std::ifstream(path) ? path : "";
}

// How long the server may stay silent before a reply, in seconds: the console machine's machine.ini
// [mail] response_timeout, 30 by default. A server that takes the connection and never answers ends
// the call then, and so does one that stops taking the message's bytes for as long.
long response_timeout_seconds() {
  const world::Machine* console = world::find_machine(world::console_machine());
  long seconds = console ? std::atol(console->setting("mail", "response_timeout", "30").c_str()) : 30;
  return seconds > 0 ? seconds : 30;
}

DWORD failed(const std::string& server, const char* recipient, const std::string& why, DWORD code) {
  std::fprintf(stderr, "zovuruve: mail to %s through %s not sent: %s\n", recipient ? recipient : "", server.c_str(),
               why.c_str());
  return code;
}

}  // namespace

extern "C" DWORD WINAPI qvmr_smtp_email(DWORD mode, const char* server, DWORD port, DWORD security, const char* sender,
                                        const char* password, const char* subject, const char* recipient,
                                        const char* body, const char* attachment) {
  static std::once_flag started;
  std::call_once(started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::string host = server ? server : "";
  std::string where = host + ":" + std::to_string(port);
  if (host.empty() || port == 0 || port > 65535 || recipient == nullptr || *recipient == '\0')
    return failed(where, recipient, "no server, port or recipient", CURLE_URL_MALFORMAT);

  Upload upload;
  upload.text = "Date: " + date_header() + "\r\nFrom: " + header_text(sender) + "\r\nTo: " + header_text(recipient) +
                "\r\nSubject: " + header_text(subject) + "\r\nMessage-ID: " + message_id() +
                "\r\nMIME-Version: 1.0\r\n";
  if (attachment && *attachment) {
    std::string bytes, why;
    if (!read_attachment(attachment, &bytes, &why)) return failed(where, recipient, why, CURLE_READ_ERROR);
    std::string name = header_text(file_name_of(attachment).c_str());
    upload.text += std::string("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\r\n\r\n--" + kBoundary +
                   "\r\n" + body_part(mode, body) + "--" + kBoundary +
                   "\r\nContent-Type: application/octet-stream; name=\"" + name +
                   "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
                   "\"\r\n\r\n" + base64(bytes) + "--" + kBoundary + "--\r\n";
  } else {
    upload.text += body_part(mode, body);
  }

  CURL* curl = curl_easy_init();
  if (curl == nullptr) return failed(where, recipient, "no memory for the client", CURLE_OUT_OF_MEMORY);
  // A machine of the world is reached at its address; the certificate is still checked against its name.
  curl_slist* resolve = nullptr;
  if (const world::Machine* machine = world::find_machine(host)) {
    std::string address = machine->setting("machine", "ipv4");
    if (!address.empty() && address != host) resolve = curl_slist_append(nullptr, (where + ":" + address).c_str());
  }
  curl_slist* recipients = curl_slist_append(nullptr, envelope_address(recipient).c_str());
  std::string url = (security == kSecuritySsl ? "smtps://" : "smtp://") + where;
  std::string from = envelope_address(sender);
  std::string roots = trusted_roots();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (security == kSecurityTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!roots.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, roots.c_str());
  if (resolve) curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
  if (password && *password) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, sender ? sender : "");
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password);
  }
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, read_upload);
  curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  const long silence = response_timeout_seconds();
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, silence);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, silence);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 300L);
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  CURLcode rc = curl_easy_perform(curl);
  curl_slist_free_all(recipients);
  curl_slist_free_all(resolve);
  curl_easy_cleanup(curl);
  if (rc != CURLE_OK) return failed(where, recipient, error[0] ? error : curl_easy_strerror(rc), rc);
  return 0;
}
