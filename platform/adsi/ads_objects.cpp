// The LDAP provider's directory object: one object answers IADs,
// IDirectoryObject and IDirectorySearch, as the real provider's does. A
// search runs in pages (the paged-results control) fetched as the rows are
// walked; values are typed by the schema's attributeSyntax. The attributes
// name, distinguishedName and adsPath are made from the entry's DN, as the
// provider does, and never asked of the server.
#include <activeds.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "adsi/directory_connection.h"
#include "win32/kernel_objects.h"
#include "world/world.h"

using adsi::utf8;
using adsi::wide;

extern "C" {
const IID IID_IADs = {0xfd8256d0, 0xfd15, 0x11ce, {0xab, 0xc4, 0x02, 0x60, 0x8c, 0x9e, 0x75, 0x53}};
const IID IID_IDirectoryObject = {0xe798de2c, 0x22e4, 0x11d0, {0x84, 0xfe, 0x00, 0xc0, 0x4f, 0xd8, 0xd5, 0x03}};
const IID IID_IDirectorySearch = {0x109ba8ec, 0x92f0, 0x11d0, {0xa7, 0x90, 0x00, 0xc0, 0x4f, 0xd8, 0xd5, 0xa8}};
const IID IID_IADsADSystemInfo = {0x5bb11929, 0xafd1, 0x11d2, {0x9c, 0xb9, 0x00, 0x00, 0xf8, 0x7a, 0x36, 0x9e}};
const CLSID CLSID_ADSystemInfo = {0x50b6327f, 0xafd1, 0x11d2, {0x9c, 0xb9, 0x00, 0x00, 0xf8, 0x7a, 0x36, 0x9e}};
}

namespace adsi {
namespace {

// Blocks handed to the caller in one piece: the first allocation is the
// block, later ones hang off it and go with it in FreeADsMem or FreeColumn.
struct BlockHeader {
  std::vector<void*>* parts;
};

}  // namespace

void* new_block(size_t bytes) {
  auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
  if (header == nullptr) return nullptr;
  header->parts = new std::vector<void*>;
  return header + 1;
}
void* block_part(void* block, size_t bytes) {
  void* part = std::calloc(1, bytes ? bytes : 1);
  if (part) (static_cast<BlockHeader*>(block) - 1)->parts->push_back(part);
  return part;
}
void free_block(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  for (void* part : *header->parts) std::free(part);
  delete header->parts;
  std::free(header);
}
LPWSTR block_text(void* block, const std::u16string& text) {
  auto* out = static_cast<LPWSTR>(block_part(block, (text.size() + 1) * sizeof(WCHAR)));
  if (out) std::copy(text.begin(), text.end(), out);
  return out;
}

namespace {

// "YYYYMMDDHHMMSS[.f]Z" as a SYSTEMTIME.
SYSTEMTIME parse_generalized_time(const std::string& text) {
  SYSTEMTIME t = {};
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%4u%2u%2u%2u%2u%2u", &y, &mo, &d, &h, &mi, &s) >= 5) {
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(mo);
    t.wDay = static_cast<WORD>(d);
    t.wHour = static_cast<WORD>(h);
    t.wMinute = static_cast<WORD>(mi);
    t.wSecond = static_cast<WORD>(s);
  }
  return t;
}

}  // namespace

void convert_value(void* block, ADSTYPE type, const berval& v, ADSVALUE* out) {
  std::string text(v.bv_val, v.bv_len);
  out->dwType = type;
  switch (type) {
    case ADSTYPE_BOOLEAN: out->Boolean = adsi::equal_ignoring_case(text, "TRUE") ? 1 : 0; break;
    case ADSTYPE_INTEGER: out->Integer = static_cast<DWORD>(std::strtol(text.c_str(), nullptr, 10)); break;
    case ADSTYPE_LARGE_INTEGER: out->LargeInteger.QuadPart = std::strtoll(text.c_str(), nullptr, 10); break;
    case ADSTYPE_UTC_TIME: out->UTCTime = parse_generalized_time(text); break;
    case ADSTYPE_OCTET_STRING:
    case ADSTYPE_NT_SECURITY_DESCRIPTOR:
    case ADSTYPE_DN_WITH_BINARY:
    case ADSTYPE_DN_WITH_STRING: {
      // Binary values as they are; the DN-with forms come unparsed, as provider-specific bytes.
      if (type == ADSTYPE_DN_WITH_BINARY || type == ADSTYPE_DN_WITH_STRING) out->dwType = ADSTYPE_PROV_SPECIFIC;
      auto* bytes = static_cast<LPBYTE>(block_part(block, v.bv_len));
      if (bytes) std::memcpy(bytes, v.bv_val, v.bv_len);
      out->OctetString.dwLength = static_cast<DWORD>(v.bv_len);
      out->OctetString.lpValue = bytes;
      break;
    }
    default: out->CaseIgnoreString = block_text(block, wide(text)); break;
  }
}

}  // namespace adsi

namespace {

using adsi::block_part;
using adsi::block_text;
using adsi::convert_value;
using adsi::free_block;
using adsi::new_block;

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// An ADSVALUE as the directory's text of it.
std::string value_text(const ADSVALUE& v) {
  char number[64];
  switch (v.dwType) {
    case ADSTYPE_BOOLEAN: return v.Boolean ? "TRUE" : "FALSE";
    case ADSTYPE_INTEGER: std::snprintf(number, sizeof number, "%d", static_cast<int>(v.Integer)); return number;
    case ADSTYPE_LARGE_INTEGER:
      std::snprintf(number, sizeof number, "%lld", static_cast<long long>(v.LargeInteger.QuadPart));
      return number;
    case ADSTYPE_UTC_TIME:
      std::snprintf(number, sizeof number, "%04u%02u%02u%02u%02u%02u.0Z", v.UTCTime.wYear, v.UTCTime.wMonth,
                    v.UTCTime.wDay, v.UTCTime.wHour, v.UTCTime.wMinute, v.UTCTime.wSecond);
      return number;
    case ADSTYPE_OCTET_STRING:
    case ADSTYPE_NT_SECURITY_DESCRIPTOR:
      return std::string(reinterpret_cast<const char*>(v.OctetString.lpValue), v.OctetString.dwLength);
    default: return utf8(v.CaseIgnoreString);
  }
}

// The value of the entry's first RDN, unescaped: what the provider calls its name.
std::string rdn_value(const std::string& dn) {
  LDAPDN parsed = nullptr;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS || parsed == nullptr || !parsed[0])
    return "";
  std::string value(parsed[0][0]->la_value.bv_val, parsed[0][0]->la_value.bv_len);
  ldap_dnfree(parsed);
  return value;
}

// Modifications queued by PutEx until SetInfo, or given to SetObjectAttributes at once.
struct Modifications {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> values;
  std::vector<int> operations;

  void add(const std::string& name, int operation, std::vector<std::string> texts) {
    names.push_back(name);
    operations.push_back(operation);
    values.push_back(std::move(texts));
  }
  int apply(LDAP* ld, const std::string& dn) {
    size_t n = names.size();
    std::vector<LDAPMod> mods(n);
    std::vector<std::vector<berval>> bvs(n);
    std::vector<std::vector<berval*>> lists(n);
    std::vector<LDAPMod*> pointers;
    for (size_t i = 0; i < n; ++i) {
      for (std::string& v : values[i]) bvs[i].push_back({v.size(), v.data()});
      for (berval& b : bvs[i]) lists[i].push_back(&b);
      lists[i].push_back(nullptr);
      mods[i].mod_op = operations[i] | LDAP_MOD_BVALUES;
      mods[i].mod_type = names[i].data();
      mods[i].mod_bvalues = bvs[i].empty() ? nullptr : lists[i].data();
      pointers.push_back(&mods[i]);
    }
    pointers.push_back(nullptr);
    return ldap_modify_ext_s(ld, dn.c_str(), pointers.data(), nullptr, nullptr);
  }
};

int ldap_operation(DWORD control) {
  switch (control) {
    case ADS_ATTR_UPDATE: return LDAP_MOD_REPLACE;
    case ADS_ATTR_APPEND: return LDAP_MOD_ADD;
    default: return LDAP_MOD_DELETE;  // clear (no values) and delete (the values given)
  }
}

struct Search {
  std::string filter;
  std::vector<std::string> names;  // as the caller asked for them
  bool all_attributes = false;
  LDAPMessage* page = nullptr;
  LDAPMessage* row = nullptr;
  berval* cookie = nullptr;
  bool last_page = false;
  bool started = false;
};

class DirectoryObject final : public IADs, public IDirectoryObject, public IDirectorySearch {
 public:
  explicit DirectoryObject(const adsi::Target& target) : target_(target) {}

  HRESULT open() {
    if (HRESULT hr = adsi::connect(target_, &connection_); FAILED(hr)) return hr;
    if (target_.naming_context) {
      std::string context = root_value("defaultNamingContext");
      if (context.empty()) return adsi::fail(connection_.ld, LDAP_NO_SUCH_OBJECT);
      target_.dn = context;
    }
    // The object must exist: a base search of it.
    char none[] = "1.1";
    char* attrs[] = {none, nullptr};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(connection_.ld, target_.dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", attrs, 0,
                               nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &result);
    ldap_msgfree(result);
    return rc == LDAP_SUCCESS ? S_OK : adsi::fail(connection_.ld, rc);
  }

  // IUnknown
  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (same_guid(riid, IID_IADs)) *object = static_cast<IADs*>(this);
    else if (same_guid(riid, IID_IDirectoryObject)) *object = static_cast<IDirectoryObject*>(this);
    else if (same_guid(riid, IID_IDirectorySearch)) *object = static_cast<IDirectorySearch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++references_; }
  ULONG WINAPI Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IADs
  HRESULT WINAPI Get(BSTR name, VARIANT* value) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    VariantInit(value);
    std::string attribute = utf8(name);
    std::vector<std::string> texts = read_values(attribute);
    if (texts.empty()) return E_ADS_PROPERTY_NOT_FOUND;
    ADSTYPE type = adsi::attribute_type(connection_.ld, target_, attribute);
    if (texts.size() > 1 || type == ADSTYPE_OCTET_STRING || type == ADSTYPE_UTC_TIME ||
        type == ADSTYPE_LARGE_INTEGER) {
      platform::unsupported("IADs::Get", "values other than one text, number or boolean");
      return E_ADS_CANT_CONVERT_DATATYPE;
    }
    if (type == ADSTYPE_INTEGER) {
      value->vt = VT_I4;
      value->lVal = static_cast<LONG>(std::strtol(texts[0].c_str(), nullptr, 10));
    } else if (type == ADSTYPE_BOOLEAN) {
      value->vt = VT_BOOL;
      value->boolVal = adsi::equal_ignoring_case(texts[0], "TRUE") ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
      value->vt = VT_BSTR;
      value->bstrVal = SysAllocString(wide(texts[0]).c_str());
    }
    return S_OK;
  }

  HRESULT WINAPI PutEx(LONG control, BSTR name, VARIANT value) override {
    if (name == nullptr) return E_POINTER;
    std::vector<std::string> texts;
    if (value.vt == VT_BSTR) {
      texts.push_back(utf8(value.bstrVal));
    } else if (value.vt == (VT_ARRAY | VT_VARIANT) && value.parray) {
      auto* items = static_cast<VARIANT*>(value.parray->pvData);
      for (ULONG i = 0; i < value.parray->rgsabound[0].cElements; ++i) {
        if (items[i].vt != VT_BSTR) return E_ADS_CANT_CONVERT_DATATYPE;
        texts.push_back(utf8(items[i].bstrVal));
      }
    } else if (control != ADS_PROPERTY_CLEAR) {
      platform::unsupported("IADs::PutEx", "values other than texts");
      return E_ADS_CANT_CONVERT_DATATYPE;
    }
    if (control < ADS_PROPERTY_CLEAR || control > ADS_PROPERTY_DELETE) return E_ADS_BAD_PARAMETER;
    if (control == ADS_PROPERTY_CLEAR) texts.clear();
    pending_.add(utf8(name), ldap_operation(static_cast<DWORD>(control)), std::move(texts));
    return S_OK;
  }

  HRESULT WINAPI SetInfo() override {
    if (pending_.names.empty()) return S_OK;
    int rc = pending_.apply(connection_.ld, target_.dn);
    pending_ = Modifications();
    return rc == LDAP_SUCCESS ? S_OK : adsi::fail(connection_.ld, rc);
  }

  // IDirectoryObject
  HRESULT WINAPI GetObjectAttributes(LPWSTR* names, DWORD count, PADS_ATTR_INFO* attributes,
                                     DWORD* returned) override {
    if (attributes == nullptr || returned == nullptr) return E_POINTER;
    *attributes = nullptr;
    *returned = 0;
    std::vector<std::string> wanted;
    for (DWORD i = 0; names && i < count; ++i) wanted.push_back(utf8(names[i]));
    if (names == nullptr || count == static_cast<DWORD>(-1)) {
      platform::unsupported("IDirectoryObject::GetObjectAttributes", "every attribute (no names)");
      return E_ADS_BAD_PARAMETER;
    }
    void* block = new_block(sizeof(ADS_ATTR_INFO) * (wanted.size() ? wanted.size() : 1));
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* info = static_cast<ADS_ATTR_INFO*>(block);
    DWORD n = 0;
    for (const std::string& name : wanted) {
      std::vector<std::string> texts = read_values(name);
      if (texts.empty()) continue;
      ADSTYPE type = adsi::attribute_type(connection_.ld, target_, name);
      ADS_ATTR_INFO& a = info[n++];
      a.pszAttrName = block_text(block, wide(name));
      a.dwADsType = type;
      a.dwNumValues = static_cast<DWORD>(texts.size());
      a.pADsValues = static_cast<ADSVALUE*>(block_part(block, sizeof(ADSVALUE) * texts.size()));
      for (size_t i = 0; i < texts.size(); ++i) {
        berval v = {texts[i].size(), texts[i].data()};
        convert_value(block, type, v, &a.pADsValues[i]);
      }
    }
    *attributes = info;
    *returned = n;
    return S_OK;
  }

  HRESULT WINAPI SetObjectAttributes(PADS_ATTR_INFO attributes, DWORD count, DWORD* modified) override {
    if (modified) *modified = 0;
    if (attributes == nullptr || count == 0) return E_ADS_BAD_PARAMETER;
    Modifications changes;
    for (DWORD i = 0; i < count; ++i) {
      const ADS_ATTR_INFO& a = attributes[i];
      if (a.dwControlCode < ADS_ATTR_CLEAR || a.dwControlCode > ADS_ATTR_DELETE) return E_ADS_BAD_PARAMETER;
      std::vector<std::string> texts;
      if (a.dwControlCode != ADS_ATTR_CLEAR)
        for (DWORD k = 0; k < a.dwNumValues; ++k) texts.push_back(value_text(a.pADsValues[k]));
      changes.add(utf8(a.pszAttrName), ldap_operation(a.dwControlCode), std::move(texts));
    }
    int rc = changes.apply(connection_.ld, target_.dn);
    if (rc != LDAP_SUCCESS) return adsi::fail(connection_.ld, rc);
    if (modified) *modified = count;
    return S_OK;
  }

  // IDirectorySearch
  HRESULT WINAPI SetSearchPreference(PADS_SEARCHPREF_INFO preferences, DWORD count) override {
    for (DWORD i = 0; preferences && i < count; ++i) {
      ADS_SEARCHPREF_INFO& p = preferences[i];
      p.dwStatus = ADS_STATUS_S_OK;
      switch (p.dwSearchPref) {
        case ADS_SEARCHPREF_SEARCH_SCOPE: scope_ = static_cast<int>(p.vValue.Integer); break;
        case ADS_SEARCHPREF_PAGESIZE: page_size_ = static_cast<int>(p.vValue.Integer); break;
        case ADS_SEARCHPREF_SIZE_LIMIT: size_limit_ = static_cast<int>(p.vValue.Integer); break;
        case ADS_SEARCHPREF_CACHE_RESULTS: break;  // rows are walked forward only either way
        default: p.dwStatus = ADS_STATUS_INVALID_SEARCHPREF; break;
      }
    }
    return S_OK;
  }

  HRESULT WINAPI ExecuteSearch(LPWSTR filter, LPWSTR* names, DWORD count, PADS_SEARCH_HANDLE handle) override {
    if (filter == nullptr || handle == nullptr) return E_POINTER;
    auto* search = new Search;
    search->filter = utf8(filter);
    search->all_attributes = names == nullptr || count == static_cast<DWORD>(-1);
    for (DWORD i = 0; !search->all_attributes && i < count; ++i) search->names.push_back(utf8(names[i]));
    *handle = search;
    return S_OK;
  }

  HRESULT WINAPI AbandonSearch(ADS_SEARCH_HANDLE handle) override {
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr) return E_ADS_BAD_PARAMETER;
    search->last_page = true;
    ber_bvfree(search->cookie);
    search->cookie = nullptr;
    return S_OK;
  }

  HRESULT WINAPI GetFirstRow(ADS_SEARCH_HANDLE handle) override {
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr) return E_ADS_BAD_PARAMETER;
    if (!search->started) {
      if (HRESULT hr = fetch_page(search); FAILED(hr)) return hr;
    }
    search->row = search->page ? ldap_first_entry(connection_.ld, search->page) : nullptr;
    return search->row ? S_OK : GetNextRow(handle);
  }

  HRESULT WINAPI GetNextRow(ADS_SEARCH_HANDLE handle) override {
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr) return E_ADS_BAD_PARAMETER;
    if (!search->started) return GetFirstRow(handle);
    if (search->row) search->row = ldap_next_entry(connection_.ld, search->row);
    while (search->row == nullptr && !search->last_page) {
      if (HRESULT hr = fetch_page(search); FAILED(hr)) return hr;
      search->row = search->page ? ldap_first_entry(connection_.ld, search->page) : nullptr;
    }
    return search->row ? S_OK : S_ADS_NOMORE_ROWS;
  }

  HRESULT WINAPI GetColumn(ADS_SEARCH_HANDLE handle, LPWSTR name, PADS_SEARCH_COLUMN column) override {
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr || name == nullptr || column == nullptr) return E_ADS_BAD_PARAMETER;
    *column = ADS_SEARCH_COLUMN();
    if (search->row == nullptr) return E_ADS_COLUMN_NOT_SET;
    std::string attribute = utf8(name);
    std::vector<std::string> texts;
    ADSTYPE type = ADSTYPE_CASE_IGNORE_STRING;
    char* dn = ldap_get_dn(connection_.ld, search->row);
    std::string entry_dn = dn ? dn : "";
    ldap_memfree(dn);
    if (adsi::equal_ignoring_case(attribute, "distinguishedName")) {
      texts.push_back(entry_dn);
      type = ADSTYPE_DN_STRING;
    } else if (adsi::equal_ignoring_case(attribute, "name")) {
      texts.push_back(rdn_value(entry_dn));
    } else if (adsi::equal_ignoring_case(attribute, "adsPath")) {
      std::string server = target_.host.empty() ? "" : target_.host + "/";
      texts.push_back("LDAP://" + server + adsi::path_dn(entry_dn));
    } else {
      berval** values = ldap_get_values_len(connection_.ld, search->row, attribute.c_str());
      for (int i = 0; values && values[i]; ++i) texts.emplace_back(values[i]->bv_val, values[i]->bv_len);
      ldap_value_free_len(values);
      type = adsi::attribute_type(connection_.ld, target_, attribute);
    }
    if (texts.empty()) return E_ADS_COLUMN_NOT_SET;
    void* block = new_block(sizeof(ADSVALUE) * texts.size());
    if (block == nullptr) return E_OUTOFMEMORY;
    column->pszAttrName = block_text(block, wide(attribute));
    column->dwADsType = type;
    column->dwNumValues = static_cast<DWORD>(texts.size());
    column->pADsValues = static_cast<ADSVALUE*>(block);
    column->hReserved = block;
    for (size_t i = 0; i < texts.size(); ++i) {
      berval v = {texts[i].size(), texts[i].data()};
      convert_value(block, type, v, &column->pADsValues[i]);
    }
    return S_OK;
  }

  HRESULT WINAPI FreeColumn(PADS_SEARCH_COLUMN column) override {
    if (column == nullptr) return E_ADS_BAD_PARAMETER;
    free_block(column->hReserved);
    *column = ADS_SEARCH_COLUMN();
    return S_OK;
  }

  HRESULT WINAPI CloseSearchHandle(ADS_SEARCH_HANDLE handle) override {
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr) return E_ADS_BAD_PARAMETER;
    ldap_msgfree(search->page);
    ber_bvfree(search->cookie);
    delete search;
    return S_OK;
  }

 private:
  ~DirectoryObject() = default;

  std::string root_value(const char* name) {
    char* attrs[] = {const_cast<char*>(name), nullptr};
    LDAPMessage* result = nullptr;
    std::string value;
    if (ldap_search_ext_s(connection_.ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attrs, 0, nullptr, nullptr, nullptr,
                          LDAP_NO_LIMIT, &result) == LDAP_SUCCESS) {
      if (LDAPMessage* e = ldap_first_entry(connection_.ld, result)) {
        berval** values = ldap_get_values_len(connection_.ld, e, name);
        if (values && values[0]) value.assign(values[0]->bv_val, values[0]->bv_len);
        ldap_value_free_len(values);
      }
    }
    ldap_msgfree(result);
    return value;
  }

  // The values of one attribute of the object, made ones included.
  std::vector<std::string> read_values(const std::string& name) {
    std::vector<std::string> texts;
    if (adsi::equal_ignoring_case(name, "distinguishedName")) return {target_.dn};
    if (adsi::equal_ignoring_case(name, "name")) return {rdn_value(target_.dn)};
    char* attrs[] = {const_cast<char*>(name.c_str()), nullptr};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(connection_.ld, target_.dn.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", attrs, 0,
                               nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &result);
    if (rc == LDAP_SUCCESS) {
      if (LDAPMessage* e = ldap_first_entry(connection_.ld, result)) {
        berval** values = ldap_get_values_len(connection_.ld, e, name.c_str());
        for (int i = 0; values && values[i]; ++i) texts.emplace_back(values[i]->bv_val, values[i]->bv_len);
        ldap_value_free_len(values);
      }
    } else {
      adsi::fail(connection_.ld, rc);
    }
    ldap_msgfree(result);
    return texts;
  }

  // Asks for the next page of a search (or the whole result when no page size was set).
  HRESULT fetch_page(Search* search) {
    search->started = true;
    ldap_msgfree(search->page);
    search->page = nullptr;
    search->row = nullptr;
    std::vector<std::string> asked;
    for (const std::string& n : search->names) {
      if (adsi::equal_ignoring_case(n, "name") || adsi::equal_ignoring_case(n, "distinguishedName") ||
          adsi::equal_ignoring_case(n, "adsPath"))
        continue;  // made from the entry's DN
      asked.push_back(n);
    }
    if (!search->all_attributes && asked.empty()) asked.push_back("1.1");
    std::vector<char*> attrs;
    for (std::string& n : asked) attrs.push_back(n.data());
    attrs.push_back(nullptr);
    LDAPControl* page_control = nullptr;
    if (page_size_ > 0 &&
        ldap_create_page_control(connection_.ld, static_cast<ber_int_t>(page_size_), search->cookie, 0,
                                 &page_control) != LDAP_SUCCESS)
      return adsi::fail(connection_.ld, LDAP_NO_MEMORY);
    LDAPControl* controls[] = {page_control, nullptr};
    int rc = ldap_search_ext_s(connection_.ld, target_.dn.c_str(), scope_, search->filter.c_str(),
                               search->all_attributes ? nullptr : attrs.data(), 0, page_control ? controls : nullptr,
                               nullptr, nullptr, size_limit_ > 0 ? size_limit_ : LDAP_NO_LIMIT, &search->page);
    if (page_control) ldap_control_free(page_control);
    ber_bvfree(search->cookie);
    search->cookie = nullptr;
    search->last_page = true;
    if (rc != LDAP_SUCCESS && rc != LDAP_SIZELIMIT_EXCEEDED) return adsi::fail(connection_.ld, rc);
    LDAPControl** returned = nullptr;
    int result = LDAP_SUCCESS;
    if (ldap_parse_result(connection_.ld, search->page, &result, nullptr, nullptr, nullptr, &returned, 0) ==
            LDAP_SUCCESS &&
        returned) {
      if (LDAPControl* c = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
        ber_int_t estimate = 0;
        berval cookie = {0, nullptr};
        if (ldap_parse_pageresponse_control(connection_.ld, c, &estimate, &cookie) == LDAP_SUCCESS &&
            cookie.bv_len > 0) {
          search->cookie = ber_bvdup(&cookie);
          search->last_page = false;
        }
        ber_memfree(cookie.bv_val);
      }
      ldap_controls_free(returned);
    }
    return S_OK;
  }

  adsi::Target target_;
  adsi::Connection connection_;
  ULONG references_ = 1;
  Modifications pending_;
  int scope_ = LDAP_SCOPE_SUBTREE;
  int page_size_ = 0;
  int size_limit_ = 0;
};

// The directory-information object: the console user's distinguished name.
class SystemInfo final : public IADsADSystemInfo {
 public:
  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!same_guid(riid, IID_IADsADSystemInfo)) return E_NOINTERFACE;
    *object = static_cast<IADsADSystemInfo*>(this);
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++references_; }
  ULONG WINAPI Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  // The console user's entry, found by its account name in the domain of the logon session.
  HRESULT WINAPI get_UserName(BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    adsi::Target target;
    WCHAR root[] = {'L', 'D', 'A', 'P', ':', '/', '/', 'R', 'o', 'o', 't', 'D', 'S', 'E', 0};
    if (HRESULT hr = adsi::resolve_path(root, &target); FAILED(hr)) return hr;
    adsi::Connection connection;
    if (HRESULT hr = adsi::connect(target, &connection); FAILED(hr)) return hr;
    char context[] = "defaultNamingContext", none[] = "1.1";
    char* root_attrs[] = {context, nullptr};
    LDAPMessage* result = nullptr;
    std::string base;
    if (ldap_search_ext_s(connection.ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", root_attrs, 0, nullptr, nullptr,
                          nullptr, LDAP_NO_LIMIT, &result) == LDAP_SUCCESS)
      if (LDAPMessage* e = ldap_first_entry(connection.ld, result))
        if (berval** v = ldap_get_values_len(connection.ld, e, context)) {
          if (v[0]) base.assign(v[0]->bv_val, v[0]->bv_len);
          ldap_value_free_len(v);
        }
    ldap_msgfree(result);
    std::string filter = "(&(objectCategory=person)(sAMAccountName=" + adsi::escape_filter_value(world::console_user()) + "))";
    char* attrs[] = {none, nullptr};
    std::string dn;
    int rc = ldap_search_ext_s(connection.ld, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(), attrs, 0, nullptr,
                               nullptr, nullptr, LDAP_NO_LIMIT, &result);
    if (rc == LDAP_SUCCESS)
      if (LDAPMessage* e = ldap_first_entry(connection.ld, result)) {
        char* found = ldap_get_dn(connection.ld, e);
        if (found) dn = found;
        ldap_memfree(found);
      }
    ldap_msgfree(result);
    if (rc != LDAP_SUCCESS) return adsi::fail(connection.ld, rc);
    if (dn.empty()) return static_cast<HRESULT>(0x80070525);  // ERROR_NO_SUCH_USER: not a domain account
    *name = SysAllocString(wide(dn).c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ULONG references_ = 1;
};

}  // namespace

extern "C" {

HRESULT WINAPI ADsOpenObject(LPCWSTR path, LPCWSTR user, LPCWSTR password, DWORD, REFIID riid, void** object) {
  if (object == nullptr || path == nullptr) return E_POINTER;
  *object = nullptr;
  if (user != nullptr || password != nullptr) {
    platform::unsupported("ADsOpenObject", "credentials other than the logon session's");
    return E_INVALIDARG;
  }
  adsi::clear_last_error();
  adsi::Target target;
  if (HRESULT hr = adsi::resolve_path(path, &target); FAILED(hr)) return hr;
  auto* created = new DirectoryObject(target);
  HRESULT hr = created->open();
  if (SUCCEEDED(hr)) hr = created->QueryInterface(riid, object);
  created->Release();
  return hr;
}

BOOL WINAPI FreeADsMem(LPVOID block) {
  free_block(block);
  return TRUE;
}

HRESULT WINAPI ADsBuildVarArrayStr(LPWSTR* texts, DWORD count, VARIANT* value) {
  if (value == nullptr || (texts == nullptr && count > 0)) return E_POINTER;
  VariantInit(value);
  auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  auto* items = static_cast<VARIANT*>(std::calloc(count ? count : 1, sizeof(VARIANT)));
  if (array == nullptr || items == nullptr) {
    std::free(array);
    std::free(items);
    return E_OUTOFMEMORY;
  }
  array->cDims = 1;
  array->cbElements = sizeof(VARIANT);
  array->pvData = items;
  array->rgsabound[0].cElements = count;
  for (DWORD i = 0; i < count; ++i) {
    items[i].vt = VT_BSTR;
    items[i].bstrVal = SysAllocString(texts[i]);
  }
  value->vt = VT_ARRAY | VT_VARIANT;
  value->parray = array;
  return S_OK;
}

// A BSTR: its length in bytes in the four bytes before the text.
BSTR WINAPI SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  size_t n = 0;
  while (text[n]) ++n;
  auto* block = static_cast<char*>(std::malloc(4 + (n + 1) * sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  uint32_t bytes = static_cast<uint32_t>(n * sizeof(OLECHAR));
  std::memcpy(block, &bytes, 4);
  auto* out = reinterpret_cast<BSTR>(block + 4);
  std::memcpy(out, text, (n + 1) * sizeof(OLECHAR));
  return out;
}

void WINAPI SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - 4);
}

UINT WINAPI SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - 4, 4);
  return bytes / sizeof(OLECHAR);
}

void WINAPI VariantInit(VARIANT* value) {
  if (value) std::memset(value, 0, sizeof *value);
}

HRESULT WINAPI VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  if (value->vt == VT_BSTR) {
    SysFreeString(value->bstrVal);
  } else if (value->vt == (VT_ARRAY | VT_VARIANT) && value->parray) {
    auto* items = static_cast<VARIANT*>(value->parray->pvData);
    for (ULONG i = 0; i < value->parray->rgsabound[0].cElements; ++i) VariantClear(&items[i]);
    std::free(items);
    std::free(value->parray);
  }
  VariantInit(value);
  return S_OK;
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr || !same_guid(clsid, CLSID_ADSystemInfo)) {
    platform::unsupported("CoCreateInstance", "a class other than ADSystemInfo");
    return static_cast<HRESULT>(0x80040154);  // REGDB_E_CLASSNOTREG
  }
  auto* info = new SystemInfo;
  HRESULT hr = info->QueryInterface(riid, object);
  info->Release();
  return hr;
}

int WINAPI StringFromGUID2(REFGUID guid, LPOLESTR out, int size) {
  char text[40];
  int n = std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                        static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                        guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  if (out == nullptr || size < n + 1) return 0;
  for (int i = 0; i <= n; ++i) out[i] = static_cast<unsigned char>(text[i]);
  return n + 1;
}

}  // extern "C"
