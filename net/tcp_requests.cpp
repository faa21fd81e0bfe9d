// TCP requests to enterprise hosts and Active Alert agents. Each exchange
// opens its own socket, sends the 20-byte request, reads replies with a
// bounded wait and re-sends the request with its cursor until the peer has
// nothing more to say.
#include "net/tcp_requests.h"

#include <cstdio>
#include <cstring>

#include "config/registry.h"
#include "config/server_settings.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr char kConnectionFailedCaption[] = "VORNIX Server Connection Failed";
constexpr size_t kRowLabelBytes = 101;

// ---- Little-endian fields ------------------------------------------------------

uint32_t le32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void put_le32(BYTE* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(value >> (8 * i));
}

// A u32 of the reply, when all four bytes were received.
bool reply_u32(const BYTE* reply, size_t length, size_t offset, uint32_t* value) {
  if (offset > length || length - offset < 4) return false;
  *value = le32(reply + offset);
  return true;
}

// Copies zero-terminated text from the reply into out: at most field_bytes of
// the reply and never past its end; always terminated.
void reply_text(const BYTE* reply, size_t length, size_t offset, size_t field_bytes, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  if (offset >= length) return;
  size_t limit = length - offset < field_bytes ? length - offset : field_bytes;
  if (limit > size - 1) limit = size - 1;
  const char* text = reinterpret_cast<const char*>(reply + offset);
  size_t n = strnlen(text, limit);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

void set_status(BYTE* record, DWORD status) {
  if (record != nullptr) set_item_word(record, kItemWordRequestStatus, status);
}

// Failures of the receive side leave a status from an earlier step alone.
void set_status_if_unset(BYTE* record, DWORD status) {
  if (record != nullptr && item_word(record, kItemWordRequestStatus) == 0) set_status(record, status);
}

// ---- Host rows ------------------------------------------------------------------

uintptr_t insert_row(HWND list, HTREEITEM parent, const char* label, int image, BYTE* record) {
  uintptr_t item = 0;
  insert_host_item(list, parent, RowPosition::Sorted, label, g_library.base_image_index + image, record, &item);
  return item;
}

void record_changed(HWND list, uintptr_t item, BYTE* record) {
  if (auto changed = host_service<HostItemRecordChangedFn>(kHostItemRecordChanged)) changed(list, item, record);
}

// ---- Replies into rows ------------------------------------------------------------

void copy_known_entry(const BYTE* entry, BYTE* record) {
  std::memcpy(record + kItemKnownValue, entry + kKnownValue, 4);
  std::memcpy(record + kItemKnownSecondValue, entry + kKnownSecondValue, 4);
  std::memcpy(record + kItemKnownThirdValue, entry + kKnownThirdValue, 4);
  std::memcpy(record + kItemKnownFirstTriple, entry + kKnownFirstTriple, 3);
  std::memcpy(record + kItemKnownSecondTriple, entry + kKnownSecondTriple, 3);
  record[kItemKnownFirstByte] = entry[kKnownFirstByte];
  record[kItemKnownSecondByte] = entry[kKnownSecondByte];
  reply_text(entry, kKnownEntryBytes, kKnownText, kItemKnownTextBytes,
             reinterpret_cast<char*>(record + kItemKnownText), kItemKnownTextBytes);
}

// The row of the list that shows this server as reported by this host; -1 when none.
int find_known_row(HWND list, const char* server, const char* host, BYTE** record) {
  auto get_row = host_service<HostGetListRowFn>(kHostGetListRow);
  if (get_row == nullptr) return -1;
  for (int row = 0;; ++row) {
    uintptr_t param = 0, image = 0, state = 0;
    char label[512] = {};
    if (!get_row(list, row, &param, &image, &state, label, 0, 0, -1)) return -1;
    auto* candidate = reinterpret_cast<BYTE*>(param);
    if (candidate == nullptr || !equal_ignoring_case(label, server)) continue;
    char reporter[kItemEnterpriseHostBytes];
    copy_text(reporter, sizeof reporter, reinterpret_cast<const char*>(candidate + kItemEnterpriseHost));
    if (equal_ignoring_case(reporter, host)) {
      *record = candidate;
      return row;
    }
  }
}

// Finds the item labelled `label` under parent, or inserts it with a fresh record.
// The row's record, or null when the host could give none.
BYTE* find_or_insert_item(HWND tree, HTREEITEM parent, const char* label, HTREEITEM* item, bool* inserted) {
  *inserted = false;
  *item = nullptr;
  if (auto find = host_service<HostFindItemFn>(kHostFindItem)) {
    HTREEITEM found = nullptr;
    if (find(tree, parent, label, 0, 0, &found) && found != nullptr) {
      TVITEMA tv = {};
      tv.mask = TVIF_PARAM;
      tv.hItem = found;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
      *item = found;
      return reinterpret_cast<BYTE*>(tv.lParam);
    }
  }
  BYTE record[kListItemBytes] = {};
  set_item_word(record, kItemWordModule, kModuleNumber);
  *item = reinterpret_cast<HTREEITEM>(insert_row(tree, parent, label, kEnterpriseHostImage, record));
  *inserted = true;
  if (*item == nullptr) return nullptr;
  TVITEMA tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = *item;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return reinterpret_cast<BYTE*>(tv.lParam);
}

void fill_host_record(BYTE* host, const BYTE* reply) {
  reply_text(reply, kGatherMembers, kGatherLabel, kHostRecordLabelBytes,
             reinterpret_cast<char*>(host + kHostRecordLabel), kHostRecordLabelBytes);
  reply_text(reply, kGatherMembers, kGatherHostName, kHostRecordNameBytes,
             reinterpret_cast<char*>(host + kHostRecordName), kHostRecordNameBytes);
  reply_text(reply, kGatherMembers, kGatherText, kGatherFirstValue - kGatherText,
             reinterpret_cast<char*>(host + kHostRecordText), kHostRecordTextBytes);
  std::memcpy(host + kHostRecordValues, reply + kGatherFirstValue, 4);
  std::memcpy(host + kHostRecordValues + 4, reply + kGatherMoreValues, 4 * (kHostRecordValueCount - 1));
}

// ---- The exchange -------------------------------------------------------------------

enum class ReadMode { Single, UntilClosed };

struct RequestKind {
  uint32_t code_a, code_b;
  size_t reply_bytes;
  ReadMode mode;
  const char* timeout_text;
};

constexpr RequestKind kGather = {kEnterpriseCode, kGatherCode, kGatherReplyBytes, ReadMode::Single,
                                 "Timeout during Enterprise Host Gather"};
constexpr RequestKind kHostStatus = {kEnterpriseCode, kHostStatusCode, kStatusReplyBytes, ReadMode::Single,
                                     "Timeout during get Enterprise Host Status"};
constexpr RequestKind kServersKnown = {kEnterpriseCode, kServersKnownCode, kServersKnownReplyBytes,
                                       ReadMode::UntilClosed, "Timeout during get Servers known to Enterprise Host"};
constexpr RequestKind kAlertAgents = {kEnterpriseCode, kAlertAgentsCode, kAlertReplyBytes, ReadMode::UntilClosed,
                                      "Timeout Receiving Active Alert Agent Data"};
constexpr RequestKind kSiblingAlertAgents = {kSiblingAlertCodeA, kSiblingAlertCodeB, kAlertReplyBytes,
                                             ReadMode::UntilClosed, "Timeout Receiving Active Alert Agent Data"};
constexpr RequestKind kSiblingStatus = {kSiblingStatusCodeA, kSiblingStatusCodeB, 0, ReadMode::Single,
                                        "Timeout during get QVAWKQ Host Status"};
constexpr RequestKind kSiblingStatusSecond = {kSiblingStatusSecondCodeA, kHostStatusCode, kStatusReplyBytes,
                                              ReadMode::Single, "Timeout during get QVAWKQ Host Status"};

// Waits for the socket to become readable: at once, then up to ten 1-second waits.
bool wait_readable(SOCKET s) {
  for (int wait = 0; wait <= 10; ++wait) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval timeout = {wait == 0 ? 0 : 1, 0};
    if (select(0, &readable, nullptr, nullptr, &timeout) > 0 && FD_ISSET(s, &readable)) return true;
  }
  return false;
}

// Reads a reply into buffer: the number of bytes read, 0 when nothing came
// (time-out, closed, or reset by the peer), -1 on any other receive error.
int receive_reply(SOCKET s, const char* timeout_text, BYTE* buffer, size_t size, ReadMode mode) {
  if (!wait_readable(s)) {
    show_unattended_message(nullptr, timeout_text, kConnectionFailedCaption, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  size_t total = 0;
  while (total < size) {
    size_t room = size - total;
    int n = recv(s, reinterpret_cast<char*>(buffer + total), room > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(room), 0);
    if (n == 0) break;
    if (n < 0) {
      if (total > 0) break;
      return WSAGetLastError() == WSAECONNRESET ? 0 : -1;
    }
    total += static_cast<size_t>(n);
    if (mode == ReadMode::Single) break;
    Sleep(15);
  }
  return static_cast<int>(total);
}

void show_unresolved(const char* host) {
  char text[700];
  std::snprintf(text, sizeof text,
                "Unable to connect to [%.200s], please verify the name/address.\n\nIf the value provided is a valid "
                "Windows server name, you may need to use that server's IPv4 address instead to connect.",
                host);
  show_message(nullptr, text, library_title(), MB_OK | MB_ICONERROR);
}

// What a reply does to the caller's state; the number of entries it brought.
struct ReplyTarget {
  const RequestKind* kind;
  BYTE* record;
  HWND list;
  const char* host;
  char* label;
  size_t label_size;
  size_t magic_offset;  // status replies
};

uint32_t interpret(const ReplyTarget& t, const BYTE* reply, size_t length) {
  if (t.kind == &kHostStatus || t.kind == &kSiblingStatus || t.kind == &kSiblingStatusSecond) {
    set_status(t.record, InterpretStatusReply(reply, length, t.magic_offset, t.record));
    return 0;
  }
  if (t.kind == &kGather) {
    uint32_t rows = InterpretGatherReply(reply, length, t.list);
    set_status(t.record, rows ? kRequestAnswered : kRequestUnexpectedReply);
    return 0;
  }
  uint32_t magic = 0;
  reply_u32(reply, length, 0, &magic);
  if (t.kind == &kServersKnown) {
    set_status(t.record, magic == kServersKnownMagic ? kRequestAnswered : kRequestUnexpectedReply);
    return InterpretServersKnownReply(reply, length, t.host, t.list);
  }
  bool expected = magic == kAlertAgentsMagic || magic == kAlertsNotAllowedMagic;
  set_status(t.record, expected ? kRequestAnswered : kRequestUnexpectedReply);
  return InterpretAlertAgentReply(reply, length, t.kind == &kSiblingAlertAgents, t.list, t.label, t.label_size);
}

// Runs one exchange with the peer at host:port. reply/reply_size: the
// caller's buffer, or null for one of the kind's size from the memory pair.
int exchange(const ReplyTarget& target, WORD port, BYTE* reply, size_t reply_size) {
  const RequestKind& kind = *target.kind;
  ULONG address = inet_addr(target.host);
  if (address == INADDR_NONE) address = ResolveIPv4(target.host);
  if (address == 0 || address == INADDR_NONE) {
    set_status(target.record, kRequestNameUnresolved);
    show_unresolved(target.host);
    return kRequestUnresolved;
  }
  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);
  BYTE request[kRequestBufferBytes] = {};
  put_le32(request + kRequestCodeA, kind.code_a);
  put_le32(request + kRequestCodeB, kind.code_b);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    char text[80];
    std::snprintf(text, sizeof text, "SEND:Error at socket(): %ld", static_cast<long>(WSAGetLastError()));
    show_message(nullptr, text, "ERROR 1", MB_OK | MB_ICONERROR);
    WSACleanup();
    return kRequestSocketFailed;
  }
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    int error = WSAGetLastError();
    set_status(target.record, kRequestConnectFailed);
    if (&kind == &kGather) {
      BYTE b[4];
      std::memcpy(b, &address, 4);
      char text[100];
      std::snprintf(text, sizeof text, "Failed to connect %d.%d.%d.%d, unable to send message.\n", b[0], b[1], b[2],
                    b[3]);
      show_message(nullptr, text, "ERROR 2", MB_OK | MB_ICONERROR);
    }
    shutdown(s, SD_BOTH);
    closesocket(s);
    WSACleanup();
    WSASetLastError(error);  // the caller may tell why
    return kRequestSocketFailed;
  }
  BYTE* buffer = reply;
  if (buffer == nullptr) {
    reply_size = kind.reply_bytes;
    buffer = static_cast<BYTE*>(allocate_block(GMEM_ZEROINIT, reply_size));
  }
  int result = kRequestDone;
  int receive_error = 0;
  uint32_t received_entries = 0;
  send(s, reinterpret_cast<const char*>(request), kRequestBytes, 0);
  while (buffer != nullptr) {
    int n = receive_reply(s, kind.timeout_text, buffer, reply_size, kind.mode);
    if (n == 0) {
      set_status_if_unset(target.record, kRequestNoReply);
      break;
    }
    if (n < 0) {
      receive_error = WSAGetLastError();
      set_status_if_unset(target.record, kRequestReceiveFailed);
      result = kRequestReceiveError;
      break;
    }
    uint32_t first = 0;
    if (reply_u32(buffer, static_cast<size_t>(n), 0, &first) && first == kSkippedReply) continue;
    received_entries += interpret(target, buffer, static_cast<size_t>(n));
    if (&kind == &kServersKnown) put_le32(request + kRequestKnownCursor, received_entries);
    if (&kind == &kAlertAgents || &kind == &kSiblingAlertAgents) put_le32(request + kRequestAlertCursor, received_entries);
    send(s, reinterpret_cast<const char*>(request), kRequestBytes, 0);
  }
  if (buffer != reply) free_block(buffer);
  if (result == kRequestReceiveError) {
    closesocket(s);
    WSACleanup();
    WSASetLastError(receive_error);
    return result;
  }
  shutdown(s, SD_BOTH);
  closesocket(s);
  WSACleanup();
  return result;
}

// Runs an exchange under the wait cursor.
int run_request(const ReplyTarget& target, WORD port, BYTE* reply = nullptr, size_t reply_size = 0) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  int result = exchange(target, port, reply, reply_size);
  SetCursor(previous);
  return result;
}

// The QVAWKQ request port of a server; 0 when none is configured or readable.
WORD sibling_request_port(const char* server) {
  DWORD port = ReadSiblingRequestPort(server);
  return port > 0xFFFF ? 0 : static_cast<WORD>(port);
}

}  // namespace

// ---- Reply interpreters ---------------------------------------------------------------

DWORD InterpretStatusReply(const BYTE* reply, size_t length, size_t magic_offset, BYTE* record) {
  uint32_t magic = 0, state = 0;
  // The reported state follows the magic word.
  if (!reply_u32(reply, length, magic_offset, &magic) || magic != kStatusMagic ||
      !reply_u32(reply, length, magic_offset + 4, &state))
    return kRequestUnexpectedReply;
  if (record != nullptr) set_item_word(record, kItemWordReportedState, state);
  return kRequestAnswered;
}

uint32_t InterpretServersKnownReply(const BYTE* reply, size_t length, const char* host, HWND list) {
  uint32_t magic = 0, count = 0;
  if (!reply_u32(reply, length, 0, &magic) || magic != kServersKnownMagic ||
      !reply_u32(reply, length, kKnownCount, &count) || count >= kKnownMaxEntries)
    return 0;
  uint32_t taken = 0;
  for (uint32_t i = 0; i < count; ++i) {
    size_t offset = kKnownEntries + i * kKnownEntryBytes;
    if (offset > length || length - offset < kKnownEntryBytes) break;  // a cut entry makes no row
    const BYTE* entry = reply + offset;
    char server[kKnownNameBytes];
    reply_text(entry, kKnownEntryBytes, kKnownName, kKnownNameBytes, server, sizeof server);
    BYTE* record = nullptr;
    int row = find_known_row(list, server, host ? host : "", &record);
    if (row >= 0) {
      copy_known_entry(entry, record);
      record_changed(list, static_cast<uintptr_t>(row), record);
    } else {
      BYTE fresh[kListItemBytes] = {};
      set_item_word(fresh, kItemWordModule, kModuleNumber);
      copy_known_entry(entry, fresh);
      copy_text(reinterpret_cast<char*>(fresh + kItemEnterpriseHost), kItemEnterpriseHostBytes, host ? host : "");
      insert_row(list, TVI_ROOT, server, kKnownServerImage, fresh);
      std::memset(fresh + kItemKnownValue, 0, kItemKnownText + kItemKnownTextBytes - kItemKnownValue);
    }
    ++taken;
  }
  return taken;
}

uint32_t InterpretAlertAgentReply(const BYTE* reply, size_t length, bool sibling, HWND list, char* label,
                                  size_t label_size) {
  uint32_t magic = 0;
  if (!reply_u32(reply, length, 0, &magic)) return 0;
  if (magic == kAlertsNotAllowedMagic) {
    if (label != nullptr && label_size > 0) append_text(label, label_size, kNotAllowingAlertAgents);
    return 0;
  }
  uint32_t limit = 0, count = 0;
  if (magic != kAlertAgentsMagic || !reply_u32(reply, length, kAlertLimitValue, &limit)) return 0;
  if (limit > kAlertLimit)
    show_message(nullptr,
                 sibling ? "Error AA106+ occurred during Active Alert Agent Listing"
                         : "Error AA101+ occurred during Active Alert Agent Listing",
                 "VORNIX message from QVMR0007.DLL", MB_OK | MB_ICONEXCLAMATION);
  if (!reply_u32(reply, length, kAlertCount, &count)) return 0;
  uint32_t taken = 0;
  for (uint32_t i = 0; i < count; ++i) {
    size_t offset = kAlertEntries + static_cast<size_t>(i) * kAlertEntryBytes;
    if (offset > length || length - offset < kAlertEntryBytes) break;  // a cut entry makes no row
    const BYTE* entry = reply + offset;
    char name[kAlertNameBytes];
    reply_text(entry, kAlertEntryBytes, kAlertName, kAlertNameBytes, name, sizeof name);
    BYTE record[kListItemBytes] = {};
    set_item_word(record, kItemWordModule, kModuleNumber);
    reply_text(reply, length, offset + kAlertText, kItemAlertTextBytes, reinterpret_cast<char*>(record + kItemAlertText),
               kItemAlertTextBytes);
    std::memcpy(record + kItemAlertBytes, entry + kAlertBytes, 4);
    std::memcpy(record + kItemAlertFirstValue, entry + kAlertFirstValue, 12);
    insert_row(list, TVI_ROOT, name, kAlertAgentImage, record);
    ++taken;
  }
  return taken;
}

uint32_t InterpretGatherReply(const BYTE* reply, size_t length, HWND tree) {
  uint32_t members = 0;
  if (!reply_u32(reply, length, kGatherMemberCount, &members)) return 0;  // no whole host block
  char host_name[kRowLabelBytes];
  reply_text(reply, length, kGatherHostName, kHostRecordNameBytes, host_name, sizeof host_name);
  HTREEITEM host_item = nullptr;
  bool inserted = false;
  BYTE* record = find_or_insert_item(tree, TVI_ROOT, host_name, &host_item, &inserted);
  uint32_t rows = 1;
  if (record != nullptr) {
    auto* host = static_cast<BYTE*>(owned_block(record, kOwnedBlock1));
    if (host == nullptr) {
      host = static_cast<BYTE*>(allocate_block(GMEM_ZEROINIT, kHostRecordBytes));
      set_owned_block(record, kOwnedBlock1, host);
    }
    if (host != nullptr) fill_host_record(host, reply);
    if (!inserted) record_changed(tree, reinterpret_cast<uintptr_t>(host_item), record);
  }
  size_t offset = kGatherMembers;
  for (uint32_t i = 0; i < members && offset < length; ++i) {
    size_t n = strnlen(reinterpret_cast<const char*>(reply + offset), length - offset);
    if (n == length - offset) break;  // a name without its terminator makes no row
    char member[kRowLabelBytes];
    reply_text(reply, length, offset, n + 1, member, sizeof member);
    offset += n + 1;
    HTREEITEM item = nullptr;
    BYTE* member_record = find_or_insert_item(tree, host_item, member, &item, &inserted);
    if (member_record != nullptr && !inserted) record_changed(tree, reinterpret_cast<uintptr_t>(item), member_record);
    ++rows;
  }
  return rows;
}

// ---- Requests -----------------------------------------------------------------------------

int RequestEnterpriseGather(const char* host, BYTE* record, HWND tree) {
  ReplyTarget t = {&kGather, record, tree, host, nullptr, 0, 0};
  return run_request(t, kAgentPort);
}

int RequestEnterpriseStatus(const char* host, BYTE* record) {
  ReplyTarget t = {&kHostStatus, record, nullptr, host, nullptr, 0, 0};
  return run_request(t, kAgentPort);
}

int RequestServersKnown(const char* host, BYTE* record, HWND list) {
  ReplyTarget t = {&kServersKnown, record, list, host, nullptr, 0, 0};
  return run_request(t, kAgentPort);
}

int RequestAlertAgents(const char* server, BYTE* record, HWND list, char* label, size_t label_size) {
  ReplyTarget t = {&kAlertAgents, record, list, server, label, label_size, 0};
  return run_request(t, kAgentPort);
}

int RequestSiblingAlertAgents(const char* server, BYTE* record, HWND list, char* label, size_t label_size) {
  WORD port = sibling_request_port(server);
  if (port == 0) return kRequestDone;
  ReplyTarget t = {&kSiblingAlertAgents, record, list, server, label, label_size, 0};
  return run_request(t, port);
}

int RequestSiblingHostStatus(const char* host, BYTE* record, WORD port, BYTE* reply, DWORD reply_size) {
  if (reply == nullptr || reply_size == 0) return kRequestReceiveError;
  ReplyTarget t = {&kSiblingStatus, record, nullptr, host, nullptr, 0, 12};
  return run_request(t, port, reply, reply_size);
}

int RequestSiblingHostStatusSecond(const char* host, BYTE* record, WORD port) {
  ReplyTarget t = {&kSiblingStatusSecond, record, nullptr, host, nullptr, 0, 0};
  return run_request(t, port);
}

bool RequestStatusText(uint32_t field, const BYTE* record, char* out, size_t size) {
  DWORD status = record ? item_word(record, kItemWordRequestStatus) : 0;
  if (status == 0) {
    copy_text(out, size, "<Use 'Get' Button to retrieve>");
  } else if (field == kRequestValueField) {
    std::snprintf(out, size, "%u", static_cast<unsigned>(item_word(record, kItemWordReportedState)));
    return true;
  } else if (status == kRequestAnswered) {
    copy_text(out, size, "YES");
  } else if (status == kRequestConnectFailed) {
    copy_text(out, size, "NO - failed to connect, agent probably not running");
  } else if (status == kRequestNameUnresolved) {
    copy_text(out, size, "NOT FOUND - unable to determine server's IP address");
  } else if (status == kRequestUnexpectedReply) {
    copy_text(out, size, "MAYBE - unexpected response received");
  } else {
    std::snprintf(out, size, "Error [%x] occurred in response", static_cast<unsigned>(status));
  }
  return false;
}

// ---- Names and addresses ------------------------------------------------------------------

void NormaliseServerName(char* name, size_t size, int keep_ip_literals) {
  if (name == nullptr || size == 0) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  name[size - 1] = '\0';
  size_t skip = 0;
  while (name[skip] == '\\') ++skip;
  std::memmove(name, name + skip, std::strlen(name + skip) + 1);
  size_t length = std::strlen(name);
  char* dot = std::strchr(name, '.');
  if (dot != nullptr) {
    bool literal = length < 16;
    for (size_t i = 0; literal && i < length; ++i) literal = static_cast<unsigned char>(name[i]) <= 64;
    if (!literal) {
      *dot = '\0';
    } else if (!keep_ip_literals) {
      WSADATA data;
      if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
        ULONG address = inet_addr(name);
        hostent* entry = address == INADDR_NONE ? nullptr
                                                : gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
        if (entry != nullptr && entry->h_name != nullptr) copy_text(name, size, entry->h_name);
        WSACleanup();
      }
    }
  }
  SetCursor(previous);
}

ULONG ResolveIPv4(const char* name) {
  WSADATA data;
  if (name == nullptr || WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  ULONG address = 0;
  hostent* entry = gethostbyname(name);
  if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_length == 4 && entry->h_addr_list != nullptr &&
      entry->h_addr_list[0] != nullptr)
    std::memcpy(&address, entry->h_addr_list[0], 4);
  WSACleanup();
  return address;
}

void FormatIPv4(ULONG address, char* out, size_t size) {
  BYTE b[4];
  std::memcpy(b, &address, 4);
  std::snprintf(out, size, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

namespace {

// The Internet checksum of an ICMP message, stored big-endian by the caller.
uint16_t icmp_checksum(const BYTE* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length % 2) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

constexpr size_t kEchoBytes = 40;  // 8-byte header and 32 bytes of 'x'
constexpr size_t kEchoReplyBytes = 1500;
constexpr size_t kIpSourceAddress = 12;
constexpr DWORD kEchoWaitMs = 2500;
uint16_t g_echo_sequence = 0;

}  // namespace

int ProbeReachable(ULONG address) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
  SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (s == INVALID_SOCKET) {
    WSACleanup();
    return 1;
  }
  BYTE echo[kEchoBytes] = {};
  echo[0] = 8;  // echo request, code 0
  // The process's own identifier: another program's ping of the same address carries another.
  uint16_t identifier = static_cast<uint16_t>(GetCurrentProcessId());
  uint16_t sequence = g_echo_sequence++;
  echo[4] = static_cast<BYTE>(identifier >> 8);
  echo[5] = static_cast<BYTE>(identifier);
  echo[6] = static_cast<BYTE>(sequence >> 8);
  echo[7] = static_cast<BYTE>(sequence);
  std::memset(echo + 8, 'x', kEchoBytes - 8);
  uint16_t sum = icmp_checksum(echo, kEchoBytes);
  echo[2] = static_cast<BYTE>(sum >> 8);
  echo[3] = static_cast<BYTE>(sum);
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  sendto(s, reinterpret_cast<const char*>(echo), kEchoBytes, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  // A raw socket receives every echo reply that reaches this computer, other programs' pings among
  // them: only a reply from the address, to this request, counts.
  int answered = 0;
  const DWORD started = GetTickCount();
  for (DWORD waited = 0; !answered && waited < kEchoWaitMs; waited = GetTickCount() - started) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    const DWORD left = kEchoWaitMs - waited;
    timeval timeout = {static_cast<LONG>(left / 1000), static_cast<LONG>(left % 1000 * 1000)};
    if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) break;
    BYTE reply[kEchoReplyBytes];
    sockaddr_in from = {};
    int from_length = sizeof from;
    int n = recvfrom(s, reinterpret_cast<char*>(reply), sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n < static_cast<int>(kIpSourceAddress + 4)) continue;
    ULONG source = 0;
    std::memcpy(&source, reply + kIpSourceAddress, 4);
    const size_t header = static_cast<size_t>(reply[0] & 0x0F) * 4;
    answered = source == address && static_cast<size_t>(n) >= header + 8 && reply[header] == 0 &&
               std::memcmp(reply + header + 4, echo + 4, 4) == 0;  // its identifier and sequence
  }
  closesocket(s);
  WSACleanup();
  return answered;
}
