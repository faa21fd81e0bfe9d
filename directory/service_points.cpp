// The agents' service connection points: each agent publishes a point named
// "VORNIXW" below its computer's entry. The console lists them from the
// global catalog, keeps their entries and types in its table, and publishes
// a setting to them as a value "VNXLL=..." of their multi-valued attribute url.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "directory/ads_calls.h"
#include "directory/directory.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"

namespace {

constexpr size_t kSettingChars = 1024;
constexpr HRESULT kNoAttributeOrValue = static_cast<HRESULT>(0x8007200A);
constexpr HRESULT kValueExists = static_cast<HRESULT>(0x8007200D);

// The type a point declares in its keywords ("VNXLLType=4"); 0 when it declares none.
void note_type(const char* keyword, void* context) {
  constexpr char kPrefix[] = "VNXLLType=";
  if (std::strncmp(keyword, kPrefix, sizeof kPrefix - 1) == 0)
    *static_cast<DWORD*>(context) = static_cast<DWORD>(std::strtoul(keyword + sizeof kPrefix - 1, nullptr, 10));
}

// The row text of a point: its computer's name, the RDN value of the entry above it.
void point_server(const char* dn, char* out, size_t size) {
  const char* parent = std::strchr(dn, ',');
  const char* equals = parent ? std::strchr(parent, '=') : nullptr;
  copy_text(out, size, equals ? equals + 1 : dn);
  if (char* comma = std::strchr(out, ',')) *comma = '\0';
}

// Whether the list has a row with this text already.
bool has_row(HWND list, const char* text) {
  auto get = host_service<HostGetListRowFn>(kHostGetListRow);
  for (int row = 0; get != nullptr; ++row) {
    char buffer[kHostRowTextBytes + 1] = {};
    uintptr_t param = 0, image = 0, state = 0;
    if (!get(list, row, &param, &image, &state, buffer, 0, 0, -1)) return false;
    if (equal_ignoring_case(buffer, text)) return true;
  }
  return false;
}

void remember_point(const char* dn, DWORD type) {
  for (DWORD i = 0; i < g_directory.point_count; ++i) {
    if (equal_ignoring_case(g_directory.points[i].dn, dn)) {
      g_directory.points[i].type = type;
      return;
    }
  }
  if (g_directory.point_count >= kMaxServicePoints) return;
  ServicePoint& p = g_directory.points[g_directory.point_count++];
  copy_text(p.dn, sizeof p.dn, dn);
  p.type = type;
}

}  // namespace

DWORD ListServicePoints(HWND list, const char* forest) {
  WaitCursor waiting;
  char path[kDirectoryPathBytes + 16];
  std::snprintf(path, sizeof path, "GC://%s", forest ? forest : "");
  Held<IDirectorySearch> search;
  HRESULT hr = open_directory_object(path, IID_IDirectorySearch, search.out());
  char text[kDirectoryPathBytes + 100];
  if (FAILED(hr)) {
    std::snprintf(text, sizeof text, "LAC:Could not bind to [%s], code [%x]", path, static_cast<unsigned>(hr));
    if (list != nullptr) {
      BYTE record[kListItemBytes];
      if (start_directory_row(record, list, kListServicePoints, 0, path))
        insert_directory_row(list, text, kHostErrorImage, record);
    }
    return 0;
  }
  static const char* const kColumns[] = {"keywords", "distinguishedName"};
  SearchRun run;
  if (FAILED(run_search(search.p, ADS_SCOPE_SUBTREE, 1000, -1, "(&(objectClass=serviceConnectionPoint)(cn=VORNIXW))",
                        kColumns, 2, &run)))
    return 0;
  DWORD found = 0;
  for (hr = search->GetFirstRow(run.handle); hr == S_OK; hr = search->GetNextRow(run.handle)) {
    char dn[kDirectoryPathBytes], server[256];
    if (!column_text(run, "distinguishedName", dn, sizeof dn)) continue;
    DWORD type = 0;
    column_values(run, "keywords", note_type, &type);
    remember_point(dn, type);
    ++found;
    point_server(dn, server, sizeof server);
    if (list == nullptr || has_row(list, server)) continue;
    BYTE record[kListItemBytes];
    if (start_directory_row(record, list, kListServicePoints, type, dn))
      insert_directory_row(list, server, g_library.base_image_index + kIconServicePoint, record);
  }
  return found;
}

DWORD PublishServicePointSetting(const char* setting) {
  char value[kSettingChars + 8];
  std::snprintf(value, sizeof value, "VNXLL=%.*s", static_cast<int>(kSettingChars), setting ? setting : "");
  WCHAR wide_value[kSettingChars + 8];
  to_wide(value, wide_value, sizeof wide_value / sizeof wide_value[0]);
  WCHAR url[] = {'u', 'r', 'l', 0};
  DWORD changed = 0;
  for (DWORD i = 0; i < g_directory.point_count; ++i) {
    const ServicePoint& point = g_directory.points[i];
    if (point.type == 0) continue;
    char path[kDirectoryPathBytes + 16];
    ldap_path(g_directory.bound_server, point.dn, path, sizeof path);
    Held<IADs> object;
    HRESULT hr = open_directory_object(path, IID_IADs, object.out());
    const char* step = "binding";
    if (SUCCEEDED(hr)) {
      LPWSTR values[] = {wide_value};
      VARIANT array;
      ADsBuildVarArrayStr(values, 1, &array);
      BSTR name = SysAllocString(url);
      LONG control = point.type <= 3 ? ADS_PROPERTY_DELETE : ADS_PROPERTY_APPEND;
      hr = object->PutEx(control, name, array);
      SysFreeString(name);
      VariantClear(&array);
      step = "changing url on";
      if (SUCCEEDED(hr)) hr = object->SetInfo();
      // A value already gone from a point, or already on it, is what publishing wants.
      if (hr == kNoAttributeOrValue || hr == kValueExists) hr = S_OK;
    }
    if (FAILED(hr)) {
      char text[kDirectoryPathBytes + sizeof value + 100];  // the point's name and the setting whole
      std::snprintf(text, sizeof text, "Error [%x] %s the service connection point\n\n%s\n\nSetting: %s",
                    static_cast<unsigned>(hr), step, point.dn, value);
      show_message(nullptr, text, nullptr, MB_ICONERROR);
      continue;
    }
    ++changed;
  }
  return changed;
}

DWORD PublishToForestServicePoints(const char* setting) {
  char forest[256];
  if (!console_forest_name(forest, sizeof forest)) return 0;  // a console outside a domain has no points to tell
  ListServicePoints(nullptr, forest);
  return PublishServicePointSetting(setting);
}
