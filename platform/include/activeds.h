// Active Directory Service Interfaces: the LDAP provider's objects (bind,
// search, attribute read and modify, property put), the value records they
// exchange, and the directory-information object, as far as the library uses
// them. Paths: "LDAP://RootDSE", "LDAP://server/RootDSE", "LDAP://DN",
// "LDAP://server/DN", "LDAP://server" (its default naming context), "GC://name";
// a "/" inside a DN is written "\/".
#pragma once
#include <windows.h>
#include <objbase.h>

typedef enum {
  ADSTYPE_INVALID = 0,
  ADSTYPE_DN_STRING,
  ADSTYPE_CASE_EXACT_STRING,
  ADSTYPE_CASE_IGNORE_STRING,
  ADSTYPE_PRINTABLE_STRING,
  ADSTYPE_NUMERIC_STRING,
  ADSTYPE_BOOLEAN,
  ADSTYPE_INTEGER,
  ADSTYPE_OCTET_STRING,
  ADSTYPE_UTC_TIME,
  ADSTYPE_LARGE_INTEGER,
  ADSTYPE_PROV_SPECIFIC,
  ADSTYPE_OBJECT_CLASS,
  ADSTYPE_CASEIGNORE_LIST,
  ADSTYPE_OCTET_LIST,
  ADSTYPE_PATH,
  ADSTYPE_POSTALADDRESS,
  ADSTYPE_TIMESTAMP,
  ADSTYPE_BACKLINK,
  ADSTYPE_TYPEDNAME,
  ADSTYPE_HOLD,
  ADSTYPE_NETADDRESS,
  ADSTYPE_REPLICAPOINTER,
  ADSTYPE_FAXNUMBER,
  ADSTYPE_EMAIL,
  ADSTYPE_NT_SECURITY_DESCRIPTOR,
  ADSTYPE_UNKNOWN,
  ADSTYPE_DN_WITH_BINARY,
  ADSTYPE_DN_WITH_STRING,
} ADSTYPEENUM;
typedef ADSTYPEENUM ADSTYPE;

typedef struct {
  DWORD dwLength;
  LPBYTE lpValue;
} ADS_OCTET_STRING, ADS_PROV_SPECIFIC, ADS_NT_SECURITY_DESCRIPTOR;
typedef struct {
  DWORD Type;
  LPWSTR VolumeName;
  LPWSTR Path;
} ADS_PATH, *PADS_PATH;

typedef struct _adsvalue {
  ADSTYPE dwType;
  union {
    LPWSTR DNString;
    LPWSTR CaseExactString;
    LPWSTR CaseIgnoreString;
    LPWSTR PrintableString;
    LPWSTR NumericString;
    DWORD Boolean;
    DWORD Integer;
    ADS_OCTET_STRING OctetString;
    SYSTEMTIME UTCTime;
    LARGE_INTEGER LargeInteger;
    LPWSTR ClassName;
    ADS_PROV_SPECIFIC ProviderSpecific;
    PADS_PATH pPath;
    ADS_NT_SECURITY_DESCRIPTOR SecurityDescriptor;
  };
} ADSVALUE, *PADSVALUE, *LPADSVALUE;

typedef struct _ads_attr_info {
  LPWSTR pszAttrName;
  DWORD dwControlCode;
  ADSTYPE dwADsType;
  PADSVALUE pADsValues;
  DWORD dwNumValues;
} ADS_ATTR_INFO, *PADS_ATTR_INFO;

#define ADS_ATTR_CLEAR (1)
#define ADS_ATTR_UPDATE (2)
#define ADS_ATTR_APPEND (3)
#define ADS_ATTR_DELETE (4)
typedef enum { ADS_PROPERTY_CLEAR = 1, ADS_PROPERTY_UPDATE = 2, ADS_PROPERTY_APPEND = 3, ADS_PROPERTY_DELETE = 4 } ADS_PROPERTY_OPERATION_ENUM;
typedef enum { ADS_SECURE_AUTHENTICATION = 0x1, ADS_SERVER_BIND = 0x200 } ADS_AUTHENTICATION_ENUM;
typedef enum { ADS_SCOPE_BASE = 0, ADS_SCOPE_ONELEVEL = 1, ADS_SCOPE_SUBTREE = 2 } ADS_SCOPEENUM;

typedef enum {
  ADS_SEARCHPREF_ASYNCHRONOUS = 0,
  ADS_SEARCHPREF_DEREF_ALIASES,
  ADS_SEARCHPREF_SIZE_LIMIT,
  ADS_SEARCHPREF_TIME_LIMIT,
  ADS_SEARCHPREF_ATTRIBTYPES_ONLY,
  ADS_SEARCHPREF_SEARCH_SCOPE,
  ADS_SEARCHPREF_TIMEOUT,
  ADS_SEARCHPREF_PAGESIZE,
  ADS_SEARCHPREF_PAGED_TIME_LIMIT,
  ADS_SEARCHPREF_CHASE_REFERRALS,
  ADS_SEARCHPREF_SORT_ON,
  ADS_SEARCHPREF_CACHE_RESULTS,
} ADS_SEARCHPREF_ENUM;
typedef ADS_SEARCHPREF_ENUM ADS_SEARCHPREF;
typedef enum { ADS_STATUS_S_OK = 0, ADS_STATUS_INVALID_SEARCHPREF, ADS_STATUS_INVALID_SEARCHPREFVALUE } ADS_STATUSENUM;
typedef ADS_STATUSENUM ADS_STATUS;
typedef struct ads_searchpref_info {
  ADS_SEARCHPREF dwSearchPref;
  ADSVALUE vValue;
  ADS_STATUS dwStatus;
} ADS_SEARCHPREF_INFO, *PADS_SEARCHPREF_INFO;

typedef HANDLE ADS_SEARCH_HANDLE, *PADS_SEARCH_HANDLE;
typedef struct ads_search_column {
  LPWSTR pszAttrName;
  ADSTYPE dwADsType;
  PADSVALUE pADsValues;
  DWORD dwNumValues;
  HANDLE hReserved;
} ADS_SEARCH_COLUMN, *PADS_SEARCH_COLUMN;

// Results of the provider.
#define E_ADS_BAD_PATHNAME ((HRESULT)0x80005000)
#define E_ADS_CANT_CONVERT_DATATYPE ((HRESULT)0x8000500C)
#define E_ADS_PROPERTY_NOT_FOUND ((HRESULT)0x8000500D)
#define E_ADS_BAD_PARAMETER ((HRESULT)0x80005008)
#define E_ADS_COLUMN_NOT_SET ((HRESULT)0x80005010)
#define S_ADS_NOMORE_ROWS ((HRESULT)0x00005012)

#ifdef __cplusplus
struct IADs : IDispatch {
  virtual HRESULT WINAPI SetInfo() = 0;
  virtual HRESULT WINAPI Get(BSTR name, VARIANT* value) = 0;
  virtual HRESULT WINAPI PutEx(LONG control, BSTR name, VARIANT value) = 0;
};
struct IDirectoryObject : IUnknown {
  // The attributes in one block for FreeADsMem; names not set on the object are left out.
  virtual HRESULT WINAPI GetObjectAttributes(LPWSTR* names, DWORD count, PADS_ATTR_INFO* attributes,
                                             DWORD* returned) = 0;
  virtual HRESULT WINAPI SetObjectAttributes(PADS_ATTR_INFO attributes, DWORD count, DWORD* modified) = 0;
};
struct IDirectorySearch : IUnknown {
  virtual HRESULT WINAPI SetSearchPreference(PADS_SEARCHPREF_INFO preferences, DWORD count) = 0;
  virtual HRESULT WINAPI ExecuteSearch(LPWSTR filter, LPWSTR* names, DWORD count, PADS_SEARCH_HANDLE search) = 0;
  virtual HRESULT WINAPI AbandonSearch(ADS_SEARCH_HANDLE search) = 0;
  virtual HRESULT WINAPI GetFirstRow(ADS_SEARCH_HANDLE search) = 0;
  virtual HRESULT WINAPI GetNextRow(ADS_SEARCH_HANDLE search) = 0;
  virtual HRESULT WINAPI GetColumn(ADS_SEARCH_HANDLE search, LPWSTR name, PADS_SEARCH_COLUMN column) = 0;
  virtual HRESULT WINAPI FreeColumn(PADS_SEARCH_COLUMN column) = 0;
  virtual HRESULT WINAPI CloseSearchHandle(ADS_SEARCH_HANDLE search) = 0;
};
// The directory-information object: who the console user is in the directory.
struct IADsADSystemInfo : IDispatch {
  virtual HRESULT WINAPI get_UserName(BSTR* name) = 0;
};

extern "C" {
extern const IID IID_IADs;
extern const IID IID_IDirectoryObject;
extern const IID IID_IDirectorySearch;
extern const IID IID_IADsADSystemInfo;
extern const CLSID CLSID_ADSystemInfo;

// Binds as the console user's logon session (user and password null); the
// object proves to exist with a base search. Server not operational
// 0x8007203A, no such domain 0x8007054B, no such object 0x80072030, refused
// logon 0x8007052E.
HRESULT WINAPI ADsOpenObject(LPCWSTR path, LPCWSTR user, LPCWSTR password, DWORD flags, REFIID riid, void** object);
// The last directory error of this thread: its Windows code and the server's text.
HRESULT WINAPI ADsGetLastError(LPDWORD error, LPWSTR text, DWORD text_size, LPWSTR provider, DWORD provider_size);
BOOL WINAPI FreeADsMem(LPVOID block);
// A VT_ARRAY | VT_VARIANT of VT_BSTR values.
HRESULT WINAPI ADsBuildVarArrayStr(LPWSTR* texts, DWORD count, VARIANT* value);
}
#endif
