// Text helpers for fixed 8-bit buffers: bounded copies and comparisons that
// ignore case, as names, paths and keywords are compared throughout.
#pragma once
#include <cctype>
#include <cstddef>
#include <cstring>

// Copies text into a buffer of `size` bytes, truncating; always terminated.
inline void copy_text(char* out, size_t size, const char* text) {
  if (size == 0) return;
  size_t n = text ? strnlen(text, size - 1) : 0;
  std::memcpy(out, text ? text : "", n);
  out[n] = '\0';
}

// Appends text to the string in a buffer of `size` bytes, truncating.
inline void append_text(char* out, size_t size, const char* text) {
  size_t used = strnlen(out, size);
  if (used + 1 < size) copy_text(out + used, size - used, text);
}

inline bool equal_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

inline bool contains_ignoring_case(const char* text, const char* piece) {
  size_t n = std::strlen(piece);
  for (const char* p = text;; ++p) {
    size_t i = 0;
    while (i < n && p[i] &&
           std::tolower(static_cast<unsigned char>(p[i])) == std::tolower(static_cast<unsigned char>(piece[i])))
      ++i;
    if (i == n) return true;
    if (*p == '\0') return false;
  }
}

// The "." and ".." entries that a folder enumeration lists besides its own.
inline bool is_dot_entry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }
