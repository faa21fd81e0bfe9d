// Names, paths and filters of the directory: conversions between 8-bit and
// wide text, the escaping of values placed in LDAP filters and of DNs placed
// in ADsPaths, and the domain's distinguished name.
#include "directory/directory.h"

#include <dsgetdc.h>
#include <lm.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/host.h"
#include "host/text.h"

DirectoryState g_directory;

void escape_filter_value(const char* value, char* out, size_t size) {
  if (size == 0) return;
  size_t n = 0;
  for (const char* p = value ? value : ""; *p; ++p) {
    char piece[4] = {*p, 0, 0, 0};
    if (*p == '*' || *p == '(' || *p == ')' || *p == '\\')
      std::snprintf(piece, sizeof piece, "\\%02x", static_cast<unsigned char>(*p));
    size_t length = std::strlen(piece);
    if (n + length >= size) break;  // a value cut short never ends inside an escape
    std::memcpy(out + n, piece, length);
    n += length;
  }
  out[n] = '\0';
}

bool is_attribute_name(const char* name) {
  if (name == nullptr || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (const char* p = name; *p; ++p)
    if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != '-') return false;
  return true;
}

void ldap_path(const char* server, const char* dn, char* out, size_t size) {
  copy_text(out, size, "LDAP://");
  if (server && *server) {
    append_text(out, size, server);
    append_text(out, size, "/");
  }
  for (const char* p = dn ? dn : ""; *p; ++p) {
    char piece[3] = {*p, 0, 0};
    if (*p == '/') std::memcpy(piece, "\\/", 3);
    append_text(out, size, piece);
  }
}

void dns_name_to_dn(const char* dns_name, char* out, size_t size) {
  const char* name = dns_name ? dns_name : "";
  while (*name == '/' || *name == '\\') ++name;
  copy_text(out, size, "DC=");
  for (const char* p = name; *p; ++p) {
    char piece[2] = {*p, 0};
    append_text(out, size, *p == '.' ? ",DC=" : piece);
  }
}

bool DomainDnFromName(const char* text, char* dn, size_t dn_size, WCHAR* wide_dn, size_t wide_units) {
  char found[kDirectoryPathBytes] = {};
  const char* at = nullptr;
  for (const char* mark : {",DC=", ",Dc=", ",dc=", ",dC="}) {
    const char* hit = text ? std::strstr(text, mark) : nullptr;
    if (hit && (at == nullptr || hit < at)) at = hit;
  }
  if (at != nullptr) {
    copy_text(found, sizeof found, at + 1);
    size_t length = std::strlen(found);
    if (length > 0 && (found[length - 1] == '\\' || found[length - 1] == '/')) found[length - 1] = '\0';
  } else {
    // The DNS domain is the controller's DNS name after its first dot.
    PDOMAIN_CONTROLLER_INFOA info = nullptr;
    if (DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, 0, &info) != ERROR_SUCCESS || info == nullptr) return false;
    const char* dot = info->DomainControllerName ? std::strchr(info->DomainControllerName, '.') : nullptr;
    std::snprintf(found, sizeof found, "DC=%s", dot ? dot + 1 : "");
    NetApiBufferFree(info);
    char dns[kDirectoryPathBytes];
    copy_text(dns, sizeof dns, found + 3);
    dns_name_to_dn(dns, found, sizeof found);
  }
  if (dn) copy_text(dn, dn_size, found);
  if (wide_dn) to_wide(found, wide_dn, wide_units);
  return true;
}

bool console_forest_name(char* out, size_t size) {
  PDOMAIN_CONTROLLER_INFOA info = nullptr;
  if (DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, 0, &info) != ERROR_SUCCESS || info == nullptr) return false;
  copy_text(out, size, info->DnsForestName ? info->DnsForestName : "");
  NetApiBufferFree(info);
  return out[0] != '\0';
}
