#include "directory/ads_calls.h"

#include <cstdio>
#include <cstring>

#include "directory/directory.h"
#include "host/host.h"
#include "host/text.h"

namespace {

// Whether an ADsPath names a server: the part after "//" up to the first
// unescaped "/" holds no "=" and is not the root DSE.
bool names_server(const char* path) {
  const char* rest = std::strstr(path, "//");
  if (rest == nullptr) return false;
  rest += 2;
  for (const char* p = rest; *p; ++p) {
    if (*p == '\\' && p[1]) ++p;
    else if (*p == '=') return false;
    else if (*p == '/') return true;
  }
  return *rest != '\0' && std::strchr(rest, '=') == nullptr && !equal_ignoring_case(rest, "RootDSE");
}

struct Column {
  const SearchRun& run;
  ADS_SEARCH_COLUMN column = {};
  bool found = false;
  Column(const SearchRun& r, const char* name) : run(r) {
    WCHAR wide_name[128];
    to_wide(name, wide_name, 128);
    found = SUCCEEDED(run.search->GetColumn(run.handle, wide_name, &column)) && column.dwNumValues > 0;
  }
  Column(const Column&) = delete;
  Column& operator=(const Column&) = delete;
  ~Column() {
    if (found) run.search->FreeColumn(&column);
  }
};

// The text of one string-typed value; numbers and booleans as decimal text.
void value_text(const ADSVALUE& v, char* out, size_t size) {
  switch (v.dwType) {
    case ADSTYPE_BOOLEAN: copy_text(out, size, v.Boolean ? "TRUE" : "FALSE"); break;
    case ADSTYPE_INTEGER: std::snprintf(out, size, "%d", static_cast<int>(v.Integer)); break;
    case ADSTYPE_LARGE_INTEGER: std::snprintf(out, size, "%lld", static_cast<long long>(v.LargeInteger.QuadPart)); break;
    case ADSTYPE_DN_STRING:
    case ADSTYPE_CASE_EXACT_STRING:
    case ADSTYPE_CASE_IGNORE_STRING:
    case ADSTYPE_PRINTABLE_STRING:
    case ADSTYPE_NUMERIC_STRING:
    case ADSTYPE_OBJECT_CLASS: from_wide(v.CaseIgnoreString, out, size); break;
    default: copy_text(out, size, ""); break;
  }
}

}  // namespace

HRESULT open_directory_object(const char* path, REFIID riid, void** object) {
  WCHAR wide_path[kDirectoryPathBytes + 16];
  to_wide(path, wide_path, sizeof wide_path / sizeof wide_path[0]);
  DWORD flags = ADS_SECURE_AUTHENTICATION;
  if (names_server(path) || g_directory.bound_server[0]) flags |= ADS_SERVER_BIND;
  return ADsOpenObject(wide_path, nullptr, nullptr, flags, riid, object);
}

HRESULT read_text_property(IADs* object, const char* property, char* out, size_t size) {
  if (size) out[0] = '\0';
  WCHAR wide_name[128];
  to_wide(property, wide_name, 128);
  BSTR name = SysAllocString(wide_name);
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = object->Get(name, &value);
  SysFreeString(name);
  if (SUCCEEDED(hr) && value.vt == VT_BSTR) from_wide(value.bstrVal, out, size);
  VariantClear(&value);
  return hr;
}

HRESULT run_search(IDirectorySearch* search, int scope, int page_size, int cache, const char* filter,
                   const char* const* columns, size_t column_count, SearchRun* run) {
  ADS_SEARCHPREF_INFO preferences[4] = {};
  preferences[0].dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
  preferences[0].vValue.dwType = ADSTYPE_INTEGER;
  preferences[0].vValue.Integer = static_cast<DWORD>(scope);
  preferences[1].dwSearchPref = ADS_SEARCHPREF_SIZE_LIMIT;
  preferences[1].vValue.dwType = ADSTYPE_INTEGER;
  preferences[1].vValue.Integer = 0;
  preferences[2].dwSearchPref = ADS_SEARCHPREF_PAGESIZE;
  preferences[2].vValue.dwType = ADSTYPE_INTEGER;
  preferences[2].vValue.Integer = static_cast<DWORD>(page_size);
  preferences[3].dwSearchPref = ADS_SEARCHPREF_CACHE_RESULTS;
  preferences[3].vValue.dwType = ADSTYPE_BOOLEAN;
  preferences[3].vValue.Boolean = static_cast<DWORD>(cache);
  HRESULT hr = search->SetSearchPreference(preferences, cache == 0 || cache == 1 ? 4 : 3);
  if (FAILED(hr)) return hr;
  constexpr size_t kMaxColumns = 8;
  WCHAR names[kMaxColumns][64];
  LPWSTR name_list[kMaxColumns];
  if (column_count > kMaxColumns) column_count = kMaxColumns;
  for (size_t i = 0; i < column_count; ++i) {
    to_wide(columns[i], names[i], 64);
    name_list[i] = names[i];
  }
  WCHAR wide_filter[2048];
  to_wide(filter, wide_filter, sizeof wide_filter / sizeof wide_filter[0]);
  run->search = search;
  return search->ExecuteSearch(wide_filter, name_list, static_cast<DWORD>(column_count), &run->handle);
}

bool column_text(const SearchRun& run, const char* column, char* out, size_t size) {
  if (size) out[0] = '\0';
  Column c(run, column);
  if (!c.found) return false;
  value_text(c.column.pADsValues[0], out, size);
  return true;
}

void column_values(const SearchRun& run, const char* column, void (*visit)(const char* value, void* context),
                   void* context) {
  Column c(run, column);
  for (DWORD i = 0; c.found && i < c.column.dwNumValues; ++i) {
    char text[kDirectoryPathBytes];
    value_text(c.column.pADsValues[i], text, sizeof text);
    visit(text, context);
  }
}

bool column_number(const SearchRun& run, const char* column, LONG* value) {
  Column c(run, column);
  if (!c.found) return false;
  const ADSVALUE& v = c.column.pADsValues[0];
  *value = v.dwType == ADSTYPE_BOOLEAN ? static_cast<LONG>(v.Boolean) : static_cast<LONG>(v.Integer);
  return v.dwType == ADSTYPE_BOOLEAN || v.dwType == ADSTYPE_INTEGER;
}
