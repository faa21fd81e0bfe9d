#include "adsi/directory_connection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "world/world.h"

namespace adsi {
namespace {

// The thread's last directory error, as ADsGetLastError reports it (a plain
// record: the library's threads may still run after exit-time destructors).
constexpr size_t kLastErrorChars = 4000;
struct LastError {
  DWORD code;
  WCHAR text[kLastErrorChars];
};
thread_local LastError t_last_error;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool starts_with_ignoring_case(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  return text.size() >= n && equal_ignoring_case(text.substr(0, n), prefix);
}

// The first "/" that is not escaped by a backslash; npos when none.
size_t unescaped_slash(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    else if (text[i] == '/') return i;
  }
  return std::string::npos;
}

std::string unescape_slashes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '/') continue;
    out += text[i];
  }
  return out;
}

// The Windows code of an LDAP result (ADsGetLastError) and its HRESULT.
struct ResultCode {
  int ldap;
  DWORD code;
  HRESULT hresult;
};
constexpr ResultCode kResultCodes[] = {
    {LDAP_SERVER_DOWN, 8250, static_cast<HRESULT>(0x8007203A)},
    {LDAP_CONNECT_ERROR, 8250, static_cast<HRESULT>(0x8007203A)},
    {LDAP_TIMEOUT, 8250, static_cast<HRESULT>(0x8007203A)},
    {LDAP_OPERATIONS_ERROR, 8224, static_cast<HRESULT>(0x80072020)},
    {LDAP_NO_SUCH_ATTRIBUTE, 8202, static_cast<HRESULT>(0x8007200A)},
    {LDAP_UNDEFINED_TYPE, 8204, static_cast<HRESULT>(0x8007200C)},
    {LDAP_CONSTRAINT_VIOLATION, 8239, static_cast<HRESULT>(0x8007202F)},
    {LDAP_TYPE_OR_VALUE_EXISTS, 8205, static_cast<HRESULT>(0x8007200D)},
    {LDAP_INVALID_SYNTAX, 8203, static_cast<HRESULT>(0x8007200B)},
    {LDAP_NO_SUCH_OBJECT, 8240, static_cast<HRESULT>(0x80072030)},
    {LDAP_INVALID_DN_SYNTAX, 8242, static_cast<HRESULT>(0x80072032)},
    {LDAP_INVALID_CREDENTIALS, ERROR_LOGON_FAILURE, static_cast<HRESULT>(0x8007052E)},
    {LDAP_INSUFFICIENT_ACCESS, 8344, E_ACCESSDENIED},
    {LDAP_UNWILLING_TO_PERFORM, 8245, static_cast<HRESULT>(0x80072035)},
    {LDAP_OBJECT_CLASS_VIOLATION, 8212, static_cast<HRESULT>(0x80072014)},
};

// Types by attributeSyntax, as the directory's own schema cache gives them.
struct SyntaxType {
  const char* syntax;
  ADSTYPE type;
};
constexpr SyntaxType kSyntaxTypes[] = {
    {"2.5.5.1", ADSTYPE_DN_STRING},         {"2.5.5.2", ADSTYPE_CASE_IGNORE_STRING},
    {"2.5.5.3", ADSTYPE_CASE_EXACT_STRING}, {"2.5.5.4", ADSTYPE_CASE_IGNORE_STRING},
    {"2.5.5.5", ADSTYPE_PRINTABLE_STRING},  {"2.5.5.6", ADSTYPE_NUMERIC_STRING},
    {"2.5.5.7", ADSTYPE_DN_WITH_BINARY},    {"2.5.5.8", ADSTYPE_BOOLEAN},
    {"2.5.5.9", ADSTYPE_INTEGER},           {"2.5.5.10", ADSTYPE_OCTET_STRING},
    {"2.5.5.11", ADSTYPE_UTC_TIME},         {"2.5.5.12", ADSTYPE_CASE_IGNORE_STRING},
    {"2.5.5.13", ADSTYPE_CASE_IGNORE_STRING}, {"2.5.5.14", ADSTYPE_DN_WITH_STRING},
    {"2.5.5.15", ADSTYPE_NT_SECURITY_DESCRIPTOR}, {"2.5.5.16", ADSTYPE_LARGE_INTEGER},
    {"2.5.5.17", ADSTYPE_OCTET_STRING},
};

// Attribute types by lower-case name, per directory ("address:port"); never destroyed.
std::mutex& schema_lock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}
std::map<std::string, std::map<std::string, ADSTYPE>>& schema_types() {
  static auto& types = *new std::map<std::string, std::map<std::string, ADSTYPE>>;
  return types;
}

std::string first_value(LDAP* ld, LDAPMessage* entry, const char* name) {
  berval** values = ldap_get_values_len(ld, entry, name);
  std::string out = values && values[0] ? std::string(values[0]->bv_val, values[0]->bv_len) : "";
  ldap_value_free_len(values);
  return out;
}

// Reads every attributeSchema entry's name and syntax below the schema naming context.
std::map<std::string, ADSTYPE> read_schema_types(LDAP* ld) {
  std::map<std::string, ADSTYPE> types;
  char naming[] = "schemaNamingContext";
  char* root_attrs[] = {naming, nullptr};
  LDAPMessage* root = nullptr;
  int rc = ldap_search_ext_s(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", root_attrs, 0, nullptr, nullptr,
                             nullptr, LDAP_NO_LIMIT, &root);
  LDAPMessage* entry = rc == LDAP_SUCCESS ? ldap_first_entry(ld, root) : nullptr;
  std::string schema = entry ? first_value(ld, entry, naming) : "";
  ldap_msgfree(root);
  if (schema.empty()) return types;
  char display[] = "ldapDisplayName", syntax[] = "attributeSyntax";
  char* attrs[] = {display, syntax, nullptr};
  LDAPMessage* result = nullptr;
  rc = ldap_search_ext_s(ld, schema.c_str(), LDAP_SCOPE_ONELEVEL, "(objectCategory=attributeSchema)", attrs, 0,
                         nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &result);
  if (rc == LDAP_SUCCESS) {
    for (LDAPMessage* e = ldap_first_entry(ld, result); e; e = ldap_next_entry(ld, e)) {
      std::string name = lower(first_value(ld, e, display));
      std::string oid = first_value(ld, e, syntax);
      for (const SyntaxType& s : kSyntaxTypes)
        if (oid == s.syntax) types[name] = s.type;
    }
  }
  ldap_msgfree(result);
  return types;
}

}  // namespace

std::string utf8(LPCWSTR text) {
  std::string out;
  for (; text && *text; ++text) {
    char32_t c = *text;
    if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
      ++text;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string wide(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    char32_t c = b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra) c = b & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < text.size(); ++k, ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

bool equal_ignoring_case(const std::string& a, const std::string& b) { return lower(a) == lower(b); }

HRESULT resolve_path(LPCWSTR path, Target* target) {
  std::string text = utf8(path);
  size_t prefix = starts_with_ignoring_case(text, "LDAP://") ? 7 : starts_with_ignoring_case(text, "GC://") ? 5 : 0;
  if (prefix == 0) return E_ADS_BAD_PATHNAME;
  std::string rest = text.substr(prefix);
  // "server/DN", "server/RootDSE", "RootDSE", "DN" (it has an "="), or "server" alone.
  std::string server, object = rest;
  size_t slash = unescaped_slash(rest);
  if (slash != std::string::npos) {
    server = rest.substr(0, slash);
    object = rest.substr(slash + 1);
  } else if (rest.find('=') == std::string::npos && !equal_ignoring_case(rest, "RootDSE")) {
    server = rest;
    object.clear();
  }
  *target = Target();
  target->host = server;
  target->root_dse = equal_ignoring_case(object, "RootDSE");
  target->naming_context = object.empty();
  target->dn = target->root_dse ? "" : unescape_slashes(object);

  world::Directory directory = world::directory();
  if (directory.dns_domain.empty() || directory.port == 0)
    return server.empty() ? static_cast<HRESULT>(0x8007054B) : static_cast<HRESULT>(0x8007203A);
  const world::Machine* controller = world::find_machine(directory.controller);
  if (controller == nullptr) return static_cast<HRESULT>(0x8007203A);
  std::string address = controller->setting("machine", "ipv4");
  if (!server.empty()) {
    // The domain's DNS name, the controller's name (short or qualified) or its address.
    bool known = equal_ignoring_case(server, directory.dns_domain) || equal_ignoring_case(server, controller->name) ||
                 equal_ignoring_case(server, controller->name + "." + directory.dns_domain) || server == address;
    if (!known) return static_cast<HRESULT>(0x8007203A);
  }
  if (controller->setting("machine", "reachable", "yes") == "no") return static_cast<HRESULT>(0x8007203A);
  target->address = address;
  target->port = directory.port;
  return S_OK;
}

Connection::~Connection() {
  if (ld) ldap_unbind_ext_s(ld, nullptr, nullptr);
}

HRESULT connect(const Target& target, Connection* connection) {
  std::string uri = "ldap://" + target.address + ":" + std::to_string(target.port);
  if (ldap_initialize(&connection->ld, uri.c_str()) != LDAP_SUCCESS) return fail(nullptr, LDAP_CONNECT_ERROR);
  int version = LDAP_VERSION3;
  ldap_set_option(connection->ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(connection->ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  timeval timeout = {10, 0};
  ldap_set_option(connection->ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
  // The logon session's credentials: the console user's entry and password.
  world::Directory directory = world::directory();
  berval password = {directory.password.size(), const_cast<char*>(directory.password.c_str())};
  int rc = ldap_sasl_bind_s(connection->ld, directory.user_dn.c_str(), LDAP_SASL_SIMPLE, &password, nullptr,
                            nullptr, nullptr);
  if (rc != LDAP_SUCCESS) return fail(connection->ld, rc);
  return S_OK;
}

HRESULT fail(LDAP* ld, int result) {
  LastError& e = t_last_error;
  e.code = 8224;
  HRESULT hresult = E_FAIL;
  for (const ResultCode& r : kResultCodes) {
    if (r.ldap != result) continue;
    e.code = r.code;
    hresult = r.hresult;
  }
  char* diagnostic = nullptr;
  if (ld) ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic);
  std::string text = diagnostic && *diagnostic ? diagnostic : ldap_err2string(result);
  ldap_memfree(diagnostic);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08X: ", static_cast<unsigned>(e.code));
  std::u16string message = wide(prefix + text);
  size_t n = std::min(message.size(), kLastErrorChars - 1);
  std::copy(message.begin(), message.begin() + n, e.text);
  e.text[n] = 0;
  return hresult;
}

void clear_last_error() {
  t_last_error.code = 0;
  t_last_error.text[0] = 0;
}

ADSTYPE attribute_type(LDAP* ld, const Target& target, const std::string& name) {
  std::string key = target.address + ":" + std::to_string(target.port);
  std::lock_guard<std::mutex> guard(schema_lock());
  auto& types = schema_types();
  auto known = types.find(key);
  if (known == types.end() || known->second.empty()) known = types.insert_or_assign(key, read_schema_types(ld)).first;
  auto it = known->second.find(lower(name));
  return it == known->second.end() ? ADSTYPE_CASE_IGNORE_STRING : it->second;
}

std::string escape_filter_value(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "\\%02x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string path_dn(const std::string& dn) {
  std::string out;
  for (char c : dn) {
    if (c == '/') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace adsi

extern "C" HRESULT WINAPI ADsGetLastError(LPDWORD error, LPWSTR text, DWORD text_size, LPWSTR provider,
                                          DWORD provider_size) {
  const adsi::LastError& e = adsi::t_last_error;
  if (error) *error = e.code;
  if (text && text_size > 0) {
    size_t n = 0;
    while (n + 1 < text_size && e.text[n]) {
      text[n] = e.text[n];
      ++n;
    }
    text[n] = 0;
  }
  if (provider && provider_size > 0) {
    const char kProvider[] = "LDAP Provider";
    size_t n = std::min<size_t>(sizeof kProvider - 1, provider_size - 1);
    for (size_t i = 0; i < n; ++i) provider[i] = static_cast<unsigned char>(kProvider[i]);
    provider[n] = 0;
  }
  return S_OK;
}
