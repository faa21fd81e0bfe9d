// The ADSI calls that the directory features share: binding a path given as
// 8-bit text, holding interfaces and search handles for the length of a
// scope, and reading a search row's columns as 8-bit text.
#pragma once
#include "host/win32.h"

#include <activeds.h>

#include <cstddef>

// Releases the interface it holds when it goes.
template <typename T>
struct Held {
  T* p = nullptr;
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

// Shows the wait cursor while a directory search runs, and gives the previous one back when it goes.
struct WaitCursor {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  WaitCursor() = default;
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { SetCursor(previous); }
};

// Binds a path with secure authentication, and server binding when the path
// names a server or the console is bound to one.
HRESULT open_directory_object(const char* path, REFIID riid, void** object);

// One text property of an object (IADs::Get) as 8-bit text; empty when it has none.
HRESULT read_text_property(IADs* object, const char* property, char* out, size_t size);

// An executed search; its handle is closed when it goes.
struct SearchRun {
  IDirectorySearch* search = nullptr;
  ADS_SEARCH_HANDLE handle = nullptr;
  SearchRun() = default;
  SearchRun(const SearchRun&) = delete;
  SearchRun& operator=(const SearchRun&) = delete;
  ~SearchRun() {
    if (search && handle) search->CloseSearchHandle(handle);
  }
};

// Sets scope, size limit, page size and (when cache is 0 or 1) result caching, then runs the filter for the columns.
HRESULT run_search(IDirectorySearch* search, int scope, int page_size, int cache, const char* filter,
                   const char* const* columns, size_t column_count, SearchRun* run);
// The first value of a column of the current row as 8-bit text; false when the row has no such column.
bool column_text(const SearchRun& run, const char* column, char* out, size_t size);
// Every value of a column of the current row, given to visit as 8-bit text.
void column_values(const SearchRun& run, const char* column, void (*visit)(const char* value, void* context),
                   void* context);
// The first value of a column as a number (integer and boolean columns); false when the row has none.
bool column_number(const SearchRun& run, const char* column, LONG* value);
