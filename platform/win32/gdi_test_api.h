// Tests: how many brushes and fonts exist that nobody has deleted, and the
// pictures that image lists hold.
#pragma once
#include <windows.h>
#include <commctrl.h>

extern "C" int qvmr_gdi_live_objects(void);
// Writes the picture at index of an image list (one added from a bitmap) as a PNG
// file at a path of this computer; FALSE when there is none there.
extern "C" BOOL qvmr_image_list_write_png(HIMAGELIST list, int index, const char* path);
