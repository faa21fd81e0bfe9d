// Multi-strings and whole values read from the registry.
#include "config/multi_string.h"

#include <cstring>

#include "host/host.h"

bool multi_string_start(MultiString* list, DWORD capacity) {
  list->used = 0;
  list->capacity = capacity;
  list->data = static_cast<char*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, capacity + 1));
  return list->data != nullptr;
}

bool multi_string_add(MultiString* list, const char* name, size_t most_chars) {
  size_t length = strnlen(name, most_chars);
  if (length == 0) return true;
  if (list->used + length + 1 + 1 > list->capacity) return false;
  std::memcpy(list->data + list->used, name, length);
  list->data[list->used + length] = '\0';
  list->used += static_cast<DWORD>(length + 1);
  list->data[list->used] = '\0';
  return true;
}

void multi_string_free(MultiString* list) {
  free_block(list->data);
  list->data = nullptr;
  list->used = 0;
}

BYTE* read_value_block(HKEY key, const char* name, DWORD* size, DWORD* type, LONG* rc) {
  *size = 0;
  DWORD stored = 0, kind = 0;
  *rc = RegQueryValueExA(key, name, nullptr, &kind, nullptr, &stored);
  if (*rc != ERROR_SUCCESS) return nullptr;
  auto* data = static_cast<BYTE*>(allocate_block(GMEM_FIXED | GMEM_ZEROINIT, stored + 2));
  if (data == nullptr) {
    *rc = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  *rc = RegQueryValueExA(key, name, nullptr, &kind, data, &stored);
  if (*rc != ERROR_SUCCESS) {
    free_block(data);
    return nullptr;
  }
  *size = stored;
  if (type) *type = kind;
  return data;
}
