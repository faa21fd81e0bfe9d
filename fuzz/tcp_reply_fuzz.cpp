// Random replies of up to 63555 bytes to the interpreter of one reply kind,
// chosen when the target is built (QVMR_REPLY_KIND, one target per kind). The
// first input byte picks the kind's form where it has two (the status magic
// at offset 0 or 12; the VORNIX or the QVAWKQ alert listing); stand-in host
// services copy each inserted record whole, so that a field written past its
// place is caught.
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/list_item.h"
#include "net/tcp_requests.h"

#ifndef QVMR_REPLY_KIND
#error "build with QVMR_REPLY_KIND: 0 status, 1 servers known, 2 alert agents, 3 gather"
#endif

namespace {

constexpr size_t kMaxReply = 63555;
std::vector<uint8_t> g_rows;     // one record a known row has, for updates
uint8_t g_record[kListItemBytes];

uintptr_t WINAPI insert_item(HWND, HTREEITEM, HTREEITEM, const char* text, int, int, uintptr_t, uintptr_t*,
                             void* record, uintptr_t) {
  static uint8_t copy[kListItemBytes];
  if (record) std::memcpy(copy, record, kListItemBytes);
  return text ? std::strlen(text) + 1 : 1;
}

// One existing row, "SRV01" reported by "HOST", so that entries update it.
DWORD WINAPI get_list_row(HWND, int row, uintptr_t* param, uintptr_t*, uintptr_t*, char* text, DWORD, DWORD, int) {
  if (row != 0) return 0;
  if (param) *param = reinterpret_cast<uintptr_t>(g_rows.data());
  if (text) std::strcpy(text, "SRV01");
  return 1;
}

void WINAPI record_changed(HWND, uintptr_t, void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static bool ready = false;
  if (!ready) {
    g_library.quiet_mode = 1;
    g_host_services[kHostInsertItem] = reinterpret_cast<uintptr_t>(&insert_item);
    g_host_services[kHostGetListRow] = reinterpret_cast<uintptr_t>(&get_list_row);
    g_host_services[kHostItemRecordChanged] = reinterpret_cast<uintptr_t>(&record_changed);
    g_rows.assign(kListItemBytes, 0);
    std::memcpy(g_rows.data() + kItemEnterpriseHost, "HOST", 5);
    ready = true;
  }
  // The reply in a buffer of exactly its own size: a read past it is reported.
  size_t length = size - 1 > kMaxReply ? kMaxReply : size - 1;
  std::vector<uint8_t> reply(data + 1, data + 1 + length);
  std::memset(g_record, 0, sizeof g_record);
  char label[101] = "SRV01";
  bool second_form = (data[0] & 1) != 0;
  switch (QVMR_REPLY_KIND) {
    case 0: InterpretStatusReply(reply.data(), reply.size(), second_form ? 12 : 0, g_record); break;
    case 1: InterpretServersKnownReply(reply.data(), reply.size(), "HOST", nullptr); break;
    case 2: InterpretAlertAgentReply(reply.data(), reply.size(), second_form, nullptr, label, sizeof label); break;
    case 3: InterpretGatherReply(reply.data(), reply.size(), nullptr); break;
  }
  return 0;
}
