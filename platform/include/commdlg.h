// Common dialogs (comdlg32): the save-file and open-file dialogs.
#pragma once
#include <windows.h>

typedef UINT_PTR(CALLBACK* LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
} OPENFILENAMEA, *LPOPENFILENAMEA;

#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_NOVALIDATE 0x00000100
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000
#define FNERR_BUFFERTOOSMALL 0x3003
#define CDERR_STRUCTSIZE 0x0001

#ifdef __cplusplus
extern "C" {
#endif
// The scripted user answers it (ui::Answer matching "Save As", the title or
// the filter text): its first edit is the file name typed, button IDCANCEL
// cancels. Unanswered, the dialog is cancelled: no file is chosen for nobody.
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA dialog);
// The open-file dialog, answered the same way (an answer matching "Open", the title or the filter).
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA dialog);
DWORD WINAPI CommDlgExtendedError(void);
#ifdef __cplusplus
}
#endif
