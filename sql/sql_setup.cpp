// The SQL setup as the console's screens start it: for the current server
// after its checks, or for several servers at once; with each server's
// domain and the SQL options in its registry.
#include "host/win32.h"

#include <lm.h>

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/results_window.h"
#include "sql/sql_database.h"

namespace {

constexpr char kSingleServerTitle[] = "VORNIX SQL Setup Results";
constexpr char kSeveralServersTitle[] = "VORNIX SQL Multiple Server Setup Results";
constexpr char kUnableTitle[] = "UNABLE TO CONTINUE";
constexpr char kSqlServerValue[] = "SQLServerForTransfer";
constexpr char kTransferValue[] = "PerformSQLServerTransfer";
constexpr uint32_t kSqlServerSettingId = 0x603800DA;
constexpr uint32_t kTransferSettingId = 0x603800D9;
constexpr size_t kDomainBytes = 256;
constexpr size_t kServerTextBytes = 260;

// The server's domain: the LAN group of its workstation information. 0 or the error.
DWORD read_server_domain(const char* server, char* domain, size_t size) {
  domain[0] = '\0';
  char unc[kServerTextBytes];
  std::snprintf(unc, sizeof unc, "\\\\%s", server);
  WCHAR wide[kServerTextBytes];
  to_wide(unc, wide, kServerTextBytes);
  LPBYTE buffer = nullptr;
  NET_API_STATUS rc = NetWkstaGetInfo(wide, 100, &buffer);
  if (rc != NERR_Success) return rc;
  from_wide(reinterpret_cast<const WKSTA_INFO_100*>(buffer)->wki100_langroup, domain, size);
  NetApiBufferFree(buffer);
  return domain[0] ? 0 : ERROR_INVALID_DATA;
}

bool names_sql_server(const char* sql_server) {
  return sql_server[0] != '\0' && !contains_ignoring_case(sql_server, "cannot retrieve");
}

// The product key's SQL options, written directly until the server settings
// operation takes them over. 0 or the Windows error (after its message).
DWORD write_sql_options(const char* server, const char* sql_server) {
  HKEY hklm = nullptr, key = nullptr;
  DWORD rc = ConnectServerRegistry(server, &hklm, "UNABLE TO GET SERVER CONFIG DATA", 0);
  if (rc != 0 || hklm == nullptr) return rc ? rc : ERROR_BAD_NETPATH;
  rc = static_cast<DWORD>(RegOpenKeyExA(hklm, kProductKey, 0, remote_access(KEY_ALL_ACCESS), &key));
  uint32_t id = kSqlServerSettingId;
  if (rc == ERROR_SUCCESS) {
    rc = static_cast<DWORD>(RegSetValueExA(key, kSqlServerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(sql_server),
                                           static_cast<DWORD>(std::strlen(sql_server) + 1)));
    DWORD on = 1;
    if (rc == ERROR_SUCCESS) {
      id = kTransferSettingId;
      rc = static_cast<DWORD>(RegSetValueExA(key, kTransferValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on));
    }
    RegCloseKey(key);
  }
  if (rc != ERROR_SUCCESS) {
    char text[kServerTextBytes + 100];
    std::snprintf(text, sizeof text, "[%x]Error %d occurred setting server configuration values (%s)",
                  static_cast<unsigned>(id), static_cast<int>(rc), server);
    show_message(g_results.window, text, "QVMR0007.DLL", MB_OK | MB_ICONERROR);
  }
  return rc;
}

}  // namespace

// Read directly from the product key until the server settings operation is in place.
void read_sql_server_setting(const char* server, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  HKEY hklm = nullptr, key = nullptr;
  if (ConnectServerRegistry(server, &hklm, "UNABLE TO GET SERVER CONFIG DATA", 0) != 0 || hklm == nullptr) return;
  if (RegOpenKeyExA(hklm, kProductKey, 0, remote_access(KEY_READ), &key) != ERROR_SUCCESS) return;
  DWORD type = 0, bytes = static_cast<DWORD>(size - 1);
  LONG rc = RegQueryValueExA(key, kSqlServerValue, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) bytes = 0;
  out[bytes < size ? bytes : size - 1] = '\0';
}

DWORD SetupSqlForServer(HWND owner, const char* server, const BYTE* record) {
  char text[kServerTextBytes + 200];
  if (record != nullptr && record[kItemByteReachability] == kUnreachable) {
    std::snprintf(text, sizeof text, "Server %s is currently offline, unable to perform SQL setup.", server);
    show_message(owner, text, "SERVER OFFLINE", MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  if (record != nullptr && item_word(record, kItemWordAgentState) == kAgentPermissionError) {
    std::snprintf(text, sizeof text,
                  "Unable to connect to Server %s to perform SQL setup.  Perhaps your current logon credentials to "
                  "that server lack sufficient permissions to connect to its Registry.",
                  server);
    // Only the styled dialogs name the refusal in their title; the message box keeps "SERVER OFFLINE".
    show_message(owner, text, g_library.styled_dialog_mode ? "ACCESS DENIED TO SERVER" : "SERVER OFFLINE",
                 MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  char sql_server[kSqlSettingBytes];
  read_sql_server_setting(server, sql_server, sizeof sql_server);
  if (!names_sql_server(sql_server)) {
    show_message(owner, "No SQL Server Name defined, unable to continue.", kUnableTitle, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  char domain[kDomainBytes];
  if (read_server_domain(server, domain, sizeof domain) != 0) {
    std::snprintf(text, sizeof text, "Unable to get domain for server [%s], unable to continue.", server);
    show_message(owner, text, kUnableTitle, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  if (open_results_window(kSingleServerTitle) == nullptr) return 0;
  SetupSqlDatabase(sql_server, domain, server);
  return 1;
}

// The first server whose domain is found gets the full preparation, the later
// ones their logins. A server step that counted a failure (or could not
// allocate its handles) is critical: the servers after it are not processed.
DWORD SetupSqlForServers(HWND owner, const char* sql_server, const char* const* servers, int count) {
  if (count <= 0) {
    show_message(owner, "To continue, please select a server.", kUnableTitle, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  if (!names_sql_server(sql_server)) {
    show_message(owner, "No SQL Server Name defined, unable to continue.", kUnableTitle, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  char domain[kDomainBytes];
  if (count == 1 && read_server_domain(servers[0], domain, sizeof domain) != 0) {
    show_message(owner, "Unable to get domain for server, unable to continue", kUnableTitle, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  if (open_results_window(count == 1 ? kSingleServerTitle : kSeveralServersTitle) == nullptr) return 0;
  bool prepared = false;
  for (int i = 0; i < count; ++i) {
    const char* server = servers[i];
    if (read_server_domain(server, domain, sizeof domain) != 0) {
      char detail[kServerTextBytes + 64];
      std::snprintf(detail, sizeof detail, "Unable to determine domain for server %s", server);
      add_results_row(g_results.window, kStepError, server, "Unable to process server", detail, nullptr);
      continue;
    }
    add_results_row(g_results.window, kStepProgress, server, "Domain Found, processing server...", domain, nullptr);
    LONG failures = g_sql.error_count;
    DWORD rc = prepared ? AddAgentSqlLogin(sql_server, domain, server) : SetupSqlDatabase(sql_server, domain, server);
    prepared = true;
    if (rc != 0 || g_sql.error_count != failures) {
      add_results_row(g_results.window, kStepError, server, "A B O R T I N G", "CRITICAL FAILURE OCCURRED, UNABLE TO CONINUE",
                      nullptr);
      return 0;
    }
    add_results_row(g_results.window, kStepProgress, server, "Setting SQL Options in server registry", "...", nullptr);
    write_sql_options(server, sql_server);
    add_results_row(g_results.window, kStepSuccess, server, "Server processed", "OK", nullptr);
  }
  return 1;
}
