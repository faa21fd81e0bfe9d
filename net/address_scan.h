// The address-range scan for QVAWKQ servers (one worker thread per address),
// and the address override UseThisIPv4 through which the console reaches a
// server's agent on port 4060.
#pragma once
#include <cstdint>

#include "host/control_id.h"
#include "host/win32.h"

constexpr char kScanErrorTitle[] = "Error during scan";
constexpr char kInvalidRangeText[] = "Invalid IP Address Range Specified, unable to continue.";
constexpr char kReversedRangeText[] =
    "The \"search through\" address octet is smaller than starting address, unable to continue.";
constexpr int kScanServerImage = 22;
constexpr int kScanProgressItem = 1010;  // the scan dialog's progress text (IDC_SCAN_PROGRESS)
constexpr DWORD kScanProgressMs = 500;

// Scans a.b.c.first to a.b.c.last: every address whose reverse look-up gives a
// name not yet in the list becomes a row (its first label), its QVAWKQ key is
// made and it joins the console's QVAWKQ known servers. Waits, pumping the
// dialog's messages, until every worker is done; the search-cancel value stops
// workers from adding rows. The number of addresses scanned; 0 when the range
// was refused (with its message).
DWORD ScanAddressRange(HWND dialog, HWND list, int a, int b, int c, int first, int last);
// The dialog DKQ_SCAN_IP: the range typed there is scanned into the list each time the user presses
// Scan, until Close. The number of servers added.
DWORD ScanAddressRangeDialog(HWND owner, HWND list);
// Rows the last scan added.
DWORD ScanAddedCount();

constexpr char kInvalidAddressText[] = "Invalid IPv4 Address, unable to continue.";
constexpr char kAddressSettingTitle[] = "UNABLE TO DETERMINE CURRENT SERVER IPv4 SETTING";

// The server's UseThisIPv4 into text (empty when unset). 0 or the Windows error.
DWORD ReadAgentAddress(const char* server, char* text, size_t size);
// Sets UseThisIPv4 from dotted text with exactly three dots (an empty text does
// nothing) and stores the address as the server's known-server address and in
// its status record (may be null). 0, or the Windows error after its message.
DWORD SetAgentAddress(const char* server, const char* text, BYTE* record);
// Deletes UseThisIPv4 and stores the address a host-name look-up gives. 0 or the Windows error.
DWORD ResetAgentAddress(const char* server);
// The dialog that sets or resets the server's address override, listing the server's own
// addresses by network card. 1 when the user pressed OK.
DWORD ManageAgentAddress(HWND owner, const char* server, BYTE* record);
