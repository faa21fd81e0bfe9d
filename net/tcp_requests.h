// Requests over TCP to enterprise hosts and Active Alert agents: one 20-byte
// request per exchange, replies read back into the server list's records and
// rows; and the name and address routines that all network code shares.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

constexpr WORD kAgentPort = 4060;

// Request codes A and B.
constexpr uint32_t kEnterpriseCode = 0x8008;
constexpr uint32_t kGatherCode = 0x355;
constexpr uint32_t kHostStatusCode = 0x374;
constexpr uint32_t kServersKnownCode = 0x377;
constexpr uint32_t kAlertAgentsCode = 0x899;
constexpr uint32_t kSiblingAlertCodeA = 0x2299;
constexpr uint32_t kSiblingAlertCodeB = 0x4721;
constexpr uint32_t kSiblingStatusCodeA = 0x11AC;
constexpr uint32_t kSiblingStatusCodeB = 0x873;
constexpr uint32_t kSiblingStatusSecondCodeA = 0x3214;

// Reply magic words.
constexpr uint32_t kStatusMagic = 0x11221122;
constexpr uint32_t kServersKnownMagic = 0x77889900;
constexpr uint32_t kAlertAgentsMagic = 0x22222222;
constexpr uint32_t kAlertsNotAllowedMagic = 0xFCFCFCFC;
constexpr uint32_t kSkippedReply = 0xFFFFFFFF;

// The request: five u32 fields, little-endian, built in a zeroed 612-byte buffer.
constexpr size_t kRequestBytes = 20;
constexpr size_t kRequestBufferBytes = 612;
constexpr size_t kRequestCodeA = 0;
constexpr size_t kRequestCodeB = 4;
constexpr size_t kRequestKnownCursor = 8;
constexpr size_t kRequestAlertCursor = 16;

// Receive buffers.
constexpr size_t kGatherReplyBytes = 63555;
constexpr size_t kStatusReplyBytes = 1024;
constexpr size_t kServersKnownReplyBytes = 67000;
constexpr size_t kAlertReplyBytes = 67024;

// Servers-known reply: count at 8, entries of 1067 bytes from 90; fewer than 56 per reply.
constexpr size_t kKnownCount = 8;
constexpr size_t kKnownEntries = 90;
constexpr size_t kKnownEntryBytes = 1067;
constexpr uint32_t kKnownMaxEntries = 56;
constexpr size_t kKnownName = 0;
constexpr size_t kKnownNameBytes = 78;
constexpr size_t kKnownValue = 78;
constexpr size_t kKnownText = 82;
constexpr size_t kKnownSecondValue = 743;
constexpr size_t kKnownFirstTriple = 756;
constexpr size_t kKnownSecondTriple = 760;
constexpr size_t kKnownFirstByte = 769;
constexpr size_t kKnownSecondByte = 770;
constexpr size_t kKnownThirdValue = 771;
static_assert(kKnownThirdValue + 4 <= kKnownEntryBytes, "entry fields inside the entry");

// Active Alert agent reply: a value at 4 (at most 100), count at 8, entries of 636 bytes from 12.
constexpr size_t kAlertLimitValue = 4;
constexpr uint32_t kAlertLimit = 100;
constexpr size_t kAlertCount = 8;
constexpr size_t kAlertEntries = 12;
constexpr size_t kAlertEntryBytes = 636;
constexpr size_t kAlertName = 4;
constexpr size_t kAlertNameBytes = 64;
constexpr size_t kAlertText = 68;
constexpr size_t kAlertBytes = 580;
constexpr size_t kAlertFirstValue = 600;
static_assert(kAlertFirstValue + 12 <= kAlertEntryBytes, "entry fields inside the entry");

// Gather reply: one enterprise host block, then its member names.
constexpr size_t kGatherLabel = 8;
constexpr size_t kGatherHostName = 90;
constexpr size_t kGatherText = 346;
constexpr size_t kGatherFirstValue = 751;
constexpr size_t kGatherMoreValues = 1039;  // nine u32 from here
constexpr size_t kGatherMemberCount = 1079;
constexpr size_t kGatherMembers = 1083;

// The per-host record behind an enterprise host row (owned block 1 of its list item record).
constexpr size_t kHostRecordBytes = 624;
constexpr size_t kHostRecordLabel = 0;
constexpr size_t kHostRecordLabelBytes = 82;
constexpr size_t kHostRecordName = 82;
constexpr size_t kHostRecordNameBytes = 256;
constexpr size_t kHostRecordText = 338;
constexpr size_t kHostRecordTextBytes = 246;
constexpr size_t kHostRecordValues = 584;  // ten u32
constexpr int kHostRecordValueCount = 10;
static_assert(kHostRecordValues + 4 * kHostRecordValueCount == kHostRecordBytes, "host record layout");

// Request status values of the server status record.
constexpr DWORD kRequestAnswered = 1;
constexpr DWORD kRequestUnexpectedReply = 0x22;
constexpr DWORD kRequestConnectFailed = 0x31;
constexpr DWORD kRequestReceiveFailed = 0x33;
constexpr DWORD kRequestNoReply = 0x34;
constexpr DWORD kRequestNameUnresolved = 0x44;

// Request results.
constexpr int kRequestDone = 0;
constexpr int kRequestSocketFailed = -1;
constexpr int kRequestReceiveError = -2;
constexpr int kRequestUnresolved = -3;

// Row images above the host's base image index.
constexpr int kEnterpriseHostImage = 8;
constexpr int kKnownServerImage = 9;
constexpr int kAlertAgentImage = 10;

constexpr char kNotAllowingAlertAgents[] = " <not allowing Active Alert Agents>";

// Display fields of the enterprise host screens.
constexpr uint32_t kRequestStatusField = 0x6022007D;
constexpr uint32_t kRequestValueField = 0x6022007E;

// The requests. host is a server name or dotted IPv4 text; record the server
// status record that receives the request status (may be null); list the
// host's list or tree that receives the rows. Results are kRequest* above.
int RequestEnterpriseGather(const char* host, BYTE* record, HWND tree);
int RequestEnterpriseStatus(const char* host, BYTE* record);
int RequestServersKnown(const char* host, BYTE* record, HWND list);
// label: the caller's server label, which learns when the server allows no agents.
int RequestAlertAgents(const char* server, BYTE* record, HWND list, char* label, size_t label_size);
// The same for QVAWKQ, on the port in the server's IPv4PortKQRequests; 0 when none is set.
int RequestSiblingAlertAgents(const char* server, BYTE* record, HWND list, char* label, size_t label_size);
// QVAWKQ host status: the reply stays in the caller's buffer.
int RequestSiblingHostStatus(const char* host, BYTE* record, WORD port, BYTE* reply, DWORD reply_size);
int RequestSiblingHostStatusSecond(const char* host, BYTE* record, WORD port);

// Reply interpreters: each reads nothing beyond `length` bytes of the reply.
// The request status for a status reply whose magic sits at magic_offset.
DWORD InterpretStatusReply(const BYTE* reply, size_t length, size_t magic_offset, BYTE* record);
// The number of entries taken into rows.
uint32_t InterpretServersKnownReply(const BYTE* reply, size_t length, const char* host, HWND list);
uint32_t InterpretAlertAgentReply(const BYTE* reply, size_t length, bool sibling, HWND list, char* label,
                                  size_t label_size);
// The number of rows found or inserted (the host and its members).
uint32_t InterpretGatherReply(const BYTE* reply, size_t length, HWND tree);

// The text of display field 0x6022007D (or 0x6022007E) for a server status record;
// true when the text is a number.
bool RequestStatusText(uint32_t field, const BYTE* record, char* out, size_t size);

// Leading backslashes off; an IPv4 literal kept (keep_ip_literals) or replaced by
// its reverse look-up name; any other dotted name cut to its first label.
void NormaliseServerName(char* name, size_t size, int keep_ip_literals);
// The first IPv4 address of a forward look-up, in network byte order; 0 when unresolved.
ULONG ResolveIPv4(const char* name);
// "%d.%d.%d.%d" of an address in network byte order.
void FormatIPv4(ULONG address, char* out, size_t size);
// 1 when an ICMP echo to the address is answered within 2.5 s by that address
// (also when no raw socket can be opened), 0 otherwise.
int ProbeReachable(ULONG address);
