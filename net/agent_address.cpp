// The address override UseThisIPv4: which IPv4 address of a server the
// console uses for its agent's port 4060.
#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/address_scan.h"

namespace {

constexpr char kOverrideValue[] = "UseThisIPv4";

// The server's product key, opened with these rights; 0 or the Windows error.
DWORD open_product_key(const char* server, REGSAM rights, HKEY* product) {
  HKEY key = nullptr;
  DWORD rc = ConnectServerRegistry(server, &key, kAddressSettingTitle, 0);
  if (rc != 0) return rc;
  if (key == nullptr) return ERROR_BAD_NETPATH;
  return static_cast<DWORD>(RegOpenKeyExA(key, kProductKey, 0, remote_access(rights), product));
}

// Dotted text with exactly three dots that converts to an address.
// "255.255.255.255" converts to INADDR_NONE, the same as a failure, and is refused with it.
bool parse_address(const char* text, ULONG* address) {
  int dots = 0;
  for (const char* c = text; *c; ++c) dots += *c == '.';
  *address = inet_addr(text);
  return dots == 3 && *address != INADDR_NONE;
}

}  // namespace

DWORD ReadAgentAddress(const char* server, char* text, size_t size) {
  if (size) text[0] = '\0';
  HKEY product;
  DWORD rc = open_product_key(server, KEY_READ, &product);
  if (rc == ERROR_FILE_NOT_FOUND) return 0;  // no product key: nothing overridden
  if (rc != 0) return rc;
  char value[64] = {};
  DWORD bytes = sizeof value - 1, type = 0;
  if (RegQueryValueExA(product, kOverrideValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
          ERROR_SUCCESS &&
      type == REG_SZ)
    copy_text(text, size, value);
  RegCloseKey(product);
  return 0;
}

DWORD SetAgentAddress(const char* server, const char* text, BYTE* record) {
  if (text == nullptr || text[0] == '\0') return 0;
  ULONG address;
  if (!parse_address(text, &address)) {
    show_message(nullptr, kInvalidAddressText, nullptr, MB_ICONERROR);
    return ERROR_INVALID_PARAMETER;
  }
  HKEY product;
  DWORD rc = open_product_key(server, KEY_ALL_ACCESS, &product);
  if (rc == 0) {
    rc = static_cast<DWORD>(RegSetValueExA(product, kOverrideValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                           static_cast<DWORD>(std::strlen(text) + 1)));
    RegCloseKey(product);
  }
  if (rc != 0) {
    char message[300];
    std::snprintf(message, sizeof message,
                  "Error %u while setting value \"UseThisIPv4\", unable to set to Server IPv4 Address to use for "
                  "Port 4060",
                  static_cast<unsigned>(rc));
    show_message(nullptr, message, nullptr, MB_ICONERROR);
    return rc;
  }
  BYTE bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  UpdateKnownServer(server, kKnownServerStore, bytes);
  if (record) std::memcpy(record + kItemIPv4Address, bytes, sizeof bytes);
  return 0;
}

DWORD ResetAgentAddress(const char* server) {
  HKEY product;
  DWORD rc = open_product_key(server, KEY_ALL_ACCESS, &product);
  if (rc == 0) {
    rc = static_cast<DWORD>(RegDeleteValueA(product, kOverrideValue));
    RegCloseKey(product);
    if (rc == ERROR_FILE_NOT_FOUND) rc = 0;
  }
  if (rc != 0) {
    char message[300];
    std::snprintf(message, sizeof message,
                  "Error %u while removing value \"UseThisIPv4\", unable to reset to Default Server IPv4 Address",
                  static_cast<unsigned>(rc));
    show_message(nullptr, message, nullptr, MB_ICONERROR);
    return rc;
  }
  return UpdateKnownServer(server, kKnownServerResolve, nullptr);
}
