// gdi32 and user32 text on owner-drawn controls: arguments are checked,
// nothing is shown (there is no screen).
#include <windows.h>

#include <cstring>

extern "C" {

COLORREF WINAPI SetTextColor(HDC, COLORREF) { return 0; }

int WINAPI SetBkMode(HDC, int) { return 2; }  // OPAQUE before

int WINAPI DrawTextA(HDC, LPCSTR text, int length, LPRECT rect, UINT) {
  if (text == nullptr || rect == nullptr) return 0;
  if (length < 0) length = static_cast<int>(std::strlen(text));
  return length ? 16 : 0;  // the height of one line
}

int WINAPI FillRect(HDC, const RECT* rect, HBRUSH brush) { return rect != nullptr && brush != nullptr; }

}  // extern "C"
