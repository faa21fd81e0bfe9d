// Multi-strings as the registry keeps lists of names: each name followed by
// its terminator, one more terminator after the last. Encoded and decoded
// here only; the blocks come from the memory pair.
#pragma once
#include <cstddef>
#include <cstring>

#include "host/win32.h"

struct MultiString {
  char* data;
  DWORD used;      // bytes of the names and their terminators
  DWORD capacity;  // bytes the whole multi-string may take, its final terminator included
};

// false when no memory was left.
bool multi_string_start(MultiString* list, DWORD capacity);
// Appends a name cut to most_chars; an empty name is skipped. false (nothing added) when it
// would take the multi-string beyond its capacity.
bool multi_string_add(MultiString* list, const char* name, size_t most_chars);
// The bytes to store: the names and the final terminator.
inline DWORD multi_string_bytes(const MultiString& list) { return list.used + 1; }
void multi_string_free(MultiString* list);

// A value's data, whole, with two terminators after it so that any content reads as text and
// as a multi-string; null (and *rc the error) when it cannot be read. Free with free_block.
BYTE* read_value_block(HKEY key, const char* name, DWORD* size, DWORD* type, LONG* rc);

// The names of a multi-string of `size` bytes, in order, until its empty string or its end.
template <typename Visit>
void for_each_name(const BYTE* data, DWORD size, Visit visit) {
  for (DWORD at = 0; data != nullptr && at < size && data[at] != 0;) {
    const char* name = reinterpret_cast<const char*>(data + at);
    DWORD length = static_cast<DWORD>(strnlen(name, size - at));
    if (!visit(name)) return;
    at += length + 1;
  }
}
