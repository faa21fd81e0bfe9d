// The address override UseThisIPv4: which IPv4 address of a server the
// console uses for its agent's port 4060.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "config/registry.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "net/address_scan.h"
#include "resources/resource.h"

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

namespace {

constexpr char kNetworkCardsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kInterfacesKey[] = "System\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
constexpr int kAddressFieldChars = 32;

void add_address_row(HWND list, const char* address, const char* adapter) {
  LVITEMA row = {};
  row.mask = LVIF_TEXT;
  row.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  row.pszText = const_cast<char*>(address);
  row.iItem = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
  row.iSubItem = 1;
  row.pszText = const_cast<char*>(adapter);
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row.iItem), reinterpret_cast<LPARAM>(&row));
}

void read_text(HKEY key, const char* name, char* out, DWORD size) {
  DWORD bytes = size - 1;
  std::memset(out, 0, size);
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS)
    out[0] = '\0';
}

// Every network card of the server: its first address (and a second one, when the card has it),
// skipping empty and unset ones.
void list_server_addresses(HKEY machine, HWND list) {
  HKEY cards, interfaces;
  if (RegOpenKeyExA(machine, kNetworkCardsKey, 0, remote_access(KEY_READ), &cards) != ERROR_SUCCESS) return;
  if (RegOpenKeyExA(machine, kInterfacesKey, 0, remote_access(KEY_READ), &interfaces) != ERROR_SUCCESS) {
    RegCloseKey(cards);
    return;
  }
  char card_name[256];
  for (DWORD index = 0;; ++index) {
    DWORD name_size = sizeof card_name;
    if (RegEnumKeyExA(cards, index, card_name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    HKEY card, adapter;
    if (RegOpenKeyExA(cards, card_name, 0, remote_access(KEY_READ), &card) != ERROR_SUCCESS) continue;
    char service[256], description[256];
    read_text(card, "ServiceName", service, sizeof service);
    read_text(card, "Description", description, sizeof description);
    RegCloseKey(card);
    if (service[0] == '\0' ||
        RegOpenKeyExA(interfaces, service, 0, remote_access(KEY_READ), &adapter) != ERROR_SUCCESS)
      continue;
    char addresses[512];
    read_text(adapter, "IPAddress", addresses, sizeof addresses - 1);  // a multi-string: two zeros end it
    RegCloseKey(adapter);
    const char* first = addresses;
    if (first[0] == '\0' || std::strstr(first, "0.0.0.0") != nullptr) continue;
    add_address_row(list, first, description);
    const char* second = first + std::strlen(first) + 1;
    if (second < addresses + sizeof addresses && second[0] != '\0') add_address_row(list, second, description);
  }
  RegCloseKey(interfaces);
  RegCloseKey(cards);
}

struct OverrideDialog {
  const char* server;
  BYTE* record;
};

INT_PTR CALLBACK override_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<OverrideDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
      state = reinterpret_cast<OverrideDialog*>(lparam);
      SendMessageA(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadIconA(g_library.instance, "vnx_ent_nic")));
      SendMessageA(GetDlgItem(dialog, IDC_TEXT_FIELD), EM_LIMITTEXT, kAddressFieldChars, 0);
      HWND list = GetDlgItem(dialog, IDC_ADDRESS_LIST);
      for (const char* title : {"IPv4 Address", "Adapter"}) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 200;
        column.pszText = const_cast<char*>(title);
        SendMessageA(list, LVM_INSERTCOLUMNA, title[0] == 'I' ? 0 : 1, reinterpret_cast<LPARAM>(&column));
      }
      HKEY machine = nullptr;
      if (ConnectServerRegistry(state->server, &machine, kAddressSettingTitle, 0) == 0 && machine != nullptr) {
        char current[64];
        if (ReadAgentAddress(state->server, current, sizeof current) == 0 && current[0] != '\0')
          SetDlgItemTextA(dialog, IDC_TEXT_FIELD, current);
        list_server_addresses(machine, list);
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK: {
          char text[kAddressFieldChars + 1] = {};
          GetDlgItemTextA(dialog, IDC_TEXT_FIELD, text, sizeof text);
          // An empty field changes nothing; a refused address keeps the dialog open.
          if (text[0] != '\0' && SetAgentAddress(state->server, text, state->record) != 0) return TRUE;
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDC_ADDRESS_RESET:
          if (ResetAgentAddress(state->server) == 0) SetDlgItemTextA(dialog, IDC_TEXT_FIELD, "");
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

DWORD ManageAgentAddress(HWND owner, const char* server, BYTE* record) {
  OverrideDialog state = {server, record};
  return DialogBoxParamA(g_library.instance, "SETSERVERIPOVERRIDE", owner, override_dialog_proc,
                         reinterpret_cast<LPARAM>(&state)) == IDOK;
}
