// Text between the 8-bit buffers of the library and the wide text that the
// network, security and directory functions take, through the ANSI code page:
// every character of it is one byte, so a cut text stays whole characters.
#include <cstring>

#include "host/host.h"

void to_wide(const char* text, WCHAR* out, size_t units) {
  if (units == 0) return;
  int length = text ? static_cast<int>(strnlen(text, units - 1)) : 0;
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text, length, out, length);
  out[length] = 0;
}

void from_wide(const WCHAR* text, char* out, size_t size) {
  if (size == 0) return;
  int length = 0;
  while (text && text[length] && static_cast<size_t>(length) < size - 1) ++length;
  if (length > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out, length, nullptr, nullptr);
  out[length] = '\0';
}
