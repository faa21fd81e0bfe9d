// Names passed to the wide functions as the world keeps them: text of the ANSI
// code page (Windows-1252), converted as WideCharToMultiByte and
// MultiByteToWideChar convert it.
#pragma once
#include <windows.h>

#include <string>

namespace platform {

// A wide name as code-page text; a character the code page lacks becomes '?'.
std::string code_page_text(LPCWSTR wide);
// Code-page text as wide text, one unit per byte, terminated, written at `out`.
void wide_text(const std::string& text, WCHAR* out);

}  // namespace platform
