// advapi32's random source, under the name the Windows headers give it.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
// Fills the buffer with random bytes from the system's source; FALSE when it cannot.
BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);
#define RtlGenRandom SystemFunction036
#ifdef __cplusplus
}
#endif
