// The shell's folder chooser (shell32): SHBrowseForFolderA and the path of the
// item list it returns. Names and values match the real headers.
#pragma once
#include <windows.h>

#include "objbase.h"

typedef unsigned short USHORT;

#pragma pack(push, 1)
typedef struct _SHITEMID {
  USHORT cb;  // bytes of this item, cb included; 0 ends the list
  BYTE abID[1];
} SHITEMID;
#pragma pack(pop)

typedef struct _ITEMIDLIST {
  SHITEMID mkid;
} ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;

typedef int(CALLBACK* BFFCALLBACK)(HWND window, UINT message, LPARAM lparam, LPARAM data);

typedef struct _browseinfoA {
  HWND hwndOwner;
  PCIDLIST_ABSOLUTE pidlRoot;
  LPSTR pszDisplayName;  // at least MAX_PATH: receives the chosen folder's name
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
} BROWSEINFOA, *PBROWSEINFOA, *LPBROWSEINFOA;

#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_DONTGOBELOWDOMAIN 0x00000002
#define BIF_EDITBOX 0x00000010
#define BIF_NEWDIALOGSTYLE 0x00000040
#define BIF_USENEWUI (BIF_NEWDIALOGSTYLE | BIF_EDITBOX)

#ifdef __cplusplus
extern "C" {
#endif
// The scripted user answers it (ui::Answer matching "Browse For Folder" or the title): its first edit
// is the folder typed, button IDCANCEL cancels. Unanswered, it is cancelled and returns null. The
// list returned is freed with CoTaskMemFree. No root, callback or flags other than the BIF_ above.
PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderA(LPBROWSEINFOA info);
// The folder of an item list from SHBrowseForFolderA, into a MAX_PATH buffer.
BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE list, LPSTR path);
// Frees task memory the layer handed out (the item lists above); null is ignored. Declared with the shell's
// functions because only they hand such memory out (the real header has it through objbase.h).
void WINAPI CoTaskMemFree(LPVOID block);
#ifdef __cplusplus
}
#endif
