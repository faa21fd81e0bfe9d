// COM start-up and the few COM services the library uses: the base
// interfaces, creating the directory-information object, GUIDs as text.
#pragma once
#include <windows.h>

typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

#ifdef __cplusplus
struct IUnknown {
  virtual HRESULT WINAPI QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG WINAPI AddRef() = 0;
  virtual ULONG WINAPI Release() = 0;
};
typedef IUnknown* LPUNKNOWN;
// Automation objects: the library calls their interface methods directly, never Invoke.
struct IDispatch : IUnknown {};
#endif

#define CLSCTX_INPROC_SERVER 0x1

#ifdef __cplusplus
extern "C" {
#endif
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize(void);
#ifdef __cplusplus
// Only the directory-information object (CLSID_ADSystemInfo) can be created.
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* object);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": the characters written with the terminator, 0 when it does not fit.
int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR out, int size);
#endif
#ifdef __cplusplus
}
#endif

#include "oleauto.h"
