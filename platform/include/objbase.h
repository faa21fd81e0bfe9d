// COM start-up, as far as the library uses it.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize(void);
#ifdef __cplusplus
}
#endif
