// The domain locator (netapi32): the domain controller of the console's
// domain and a server's primary domain, answered from the world's directory.
#pragma once
#include <windows.h>

typedef struct _DOMAIN_CONTROLLER_INFOA {
  LPSTR DomainControllerName;     // "\\SRV01.brightmere.local"
  LPSTR DomainControllerAddress;  // "\\127.0.0.2"
  ULONG DomainControllerAddressType;
  GUID DomainGuid;
  LPSTR DomainName;
  LPSTR DnsForestName;
  ULONG Flags;
  LPSTR DcSiteName;
  LPSTR ClientSiteName;
} DOMAIN_CONTROLLER_INFOA, *PDOMAIN_CONTROLLER_INFOA;
typedef struct _DOMAIN_CONTROLLER_INFOW {
  LPWSTR DomainControllerName;
  LPWSTR DomainControllerAddress;
  ULONG DomainControllerAddressType;
  GUID DomainGuid;
  LPWSTR DomainName;
  LPWSTR DnsForestName;
  ULONG Flags;
  LPWSTR DcSiteName;
  LPWSTR ClientSiteName;
} DOMAIN_CONTROLLER_INFOW, *PDOMAIN_CONTROLLER_INFOW;

typedef struct _DS_DOMAIN_TRUSTSA {
  LPSTR NetbiosDomainName;
  LPSTR DnsDomainName;
  ULONG Flags;
  ULONG ParentIndex;
  ULONG TrustType;
  ULONG TrustAttributes;
  PSID DomainSid;
  GUID DomainGuid;
} DS_DOMAIN_TRUSTSA, *PDS_DOMAIN_TRUSTSA;

#define DS_INET_ADDRESS 1
#define DS_DOMAIN_PRIMARY 0x0008
#define DS_DOMAIN_IN_FOREST 0x0001

#ifdef __cplusplus
extern "C" {
#endif
// Buffers are freed with NetApiBufferFree.
DWORD WINAPI DsGetDcNameA(LPCSTR computer, LPCSTR domain, GUID* domain_guid, LPCSTR site, ULONG flags,
                          PDOMAIN_CONTROLLER_INFOA* info);
DWORD WINAPI DsGetDcNameW(LPCWSTR computer, LPCWSTR domain, GUID* domain_guid, LPCWSTR site, ULONG flags,
                          PDOMAIN_CONTROLLER_INFOW* info);
DWORD WINAPI DsEnumerateDomainTrustsA(LPSTR server, ULONG flags, PDS_DOMAIN_TRUSTSA* domains, PULONG count);
#ifdef __cplusplus
}
#endif
