// Automation strings and variants, as far as the directory interfaces pass them.
#pragma once
#include <windows.h>

typedef WCHAR* BSTR;
typedef uint16_t VARTYPE;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

enum VARENUM { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_BOOL = 11, VT_VARIANT = 12, VT_ARRAY = 0x2000 };

// A one-dimensional array of variants (what ADsBuildVarArrayStr makes).
typedef struct tagSAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
} SAFEARRAYBOUND;
typedef struct tagSAFEARRAY {
  WORD cDims;
  WORD fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

typedef struct tagVARIANT {
  VARTYPE vt;
  WORD wReserved1, wReserved2, wReserved3;
  union {
    LONG lVal;
    VARIANT_BOOL boolVal;
    BSTR bstrVal;
    SAFEARRAY* parray;
  };
} VARIANT;

#ifdef __cplusplus
extern "C" {
#endif
BSTR WINAPI SysAllocString(const OLECHAR* text);
void WINAPI SysFreeString(BSTR text);
UINT WINAPI SysStringLen(BSTR text);
void WINAPI VariantInit(VARIANT* value);
HRESULT WINAPI VariantClear(VARIANT* value);
#ifdef __cplusplus
}
#endif
