// The shell's program launcher.
#pragma once
#include <windows.h>

#define SE_ERR_FNF 2

#ifdef __cplusplus
extern "C" {
#endif

// Opens a file with the verb ("open"); the result is above 32 on success, else an SE_ERR_ code.
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                               INT show);

#ifdef __cplusplus
}
#endif
