// Wide text to and from the ANSI code page, Windows-1252, as on a Western European or
// American system.
#include "win32/code_page.h"

#include <cstring>

#include "win32/kernel_objects.h"

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The byte for a character; false when the code page has none.
bool to_code_page(char16_t c, char* byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    *byte = static_cast<char>(c);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) {
      *byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int WINAPI WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR wide, int wide_count, LPSTR out,
                                          int out_size, LPCSTR default_char, BOOL* used_default) {
  if (code_page != CP_ACP || flags != 0) {
    platform::unsupported("WideCharToMultiByte", "a code page other than CP_ACP, or flags");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (wide == nullptr || wide_count == 0 || out_size < 0 || (out_size > 0 && out == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int count = wide_count;
  if (count < 0) {  // terminated: the terminator is converted too
    count = 0;
    while (wide[count] != 0) ++count;
    ++count;
  }
  if (out_size > 0 && count > out_size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (used_default) *used_default = FALSE;
  for (int i = 0; i < count; ++i) {
    char byte;
    if (!to_code_page(wide[i], &byte)) {
      byte = default_char ? *default_char : '?';
      if (used_default) *used_default = TRUE;
    }
    if (out_size > 0) out[i] = byte;
  }
  return count;
}

extern "C" int WINAPI MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int count, LPWSTR out,
                                          int out_size) {
  if (code_page != CP_ACP || flags != 0) {
    platform::unsupported("MultiByteToWideChar", "a code page other than CP_ACP, or flags");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (text == nullptr || count == 0 || out_size < 0 || (out_size > 0 && out == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (count < 0) count = static_cast<int>(std::strlen(text)) + 1;  // the terminator is converted too
  if (out_size > 0 && count > out_size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; out_size > 0 && i < count; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    // Bytes 0x80 to 0x9F the code page leaves undefined keep their own value, as Windows does.
    char16_t c = byte;
    if (byte >= 0x80 && byte < 0xA0 && kHighControls[byte - 0x80] != 0) c = kHighControls[byte - 0x80];
    out[i] = c;
  }
  return count;
}

namespace platform {

std::string code_page_text(LPCWSTR wide) {
  std::string out;
  for (; wide != nullptr && *wide != 0; ++wide) {
    char byte;
    out += to_code_page(*wide, &byte) ? byte : '?';
  }
  return out;
}

void wide_text(const std::string& text, WCHAR* out) {
  if (!text.empty()) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, static_cast<int>(text.size()));
  out[text.size()] = 0;
}

}  // namespace platform
