// String SIDs: conversion between the text form "S-1-5-21-..." and the binary SID.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
// The SID is allocated with LocalAlloc; the caller frees it with LocalFree.
BOOL WINAPI ConvertStringSidToSidA(LPCSTR string_sid, PSID* sid);
// The text is allocated with LocalAlloc; the caller frees it with LocalFree.
BOOL WINAPI ConvertSidToStringSidA(PSID sid, LPSTR* string_sid);
BOOL WINAPI ConvertSidToStringSidW(PSID sid, LPWSTR* string_sid);
#ifdef __cplusplus
}
#endif
