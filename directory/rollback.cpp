// Rollback of a recorded directory change: for each selected row of a
// directory report, the recorded added value is removed and the recorded
// removed value added back on the object, after the checks and one
// confirmation. Also the attribute syntax look-up, the one-value modify and
// the count of matching values that the rollback is built from.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "directory/ads_calls.h"
#include "directory/directory.h"
#include "host/host.h"
#include "host/text.h"
#include "reports/report_items.h"

namespace {

constexpr HRESULT kNoAttributeOrValue = static_cast<HRESULT>(0x8007200A);
constexpr HRESULT kUnwillingToPerform = static_cast<HRESULT>(0x80072035);
constexpr HRESULT kConstraintViolation = static_cast<HRESULT>(0x8007202F);
constexpr DWORD kValueAdded = 0x10000;
constexpr DWORD kValueRemoved = 0x20000;
constexpr size_t kErrorTextChars = 3800;
constexpr size_t kMessageBytes = 8192;

struct SyntaxType {
  const char* syntax;
  DWORD type;
};
constexpr SyntaxType kSyntaxTypes[] = {
    {"2.5.5.1", 1}, {"2.5.5.2", 3},  {"2.5.5.3", 2},  {"2.5.5.4", 3},   {"2.5.5.5", 4},   {"2.5.5.6", 5},
    {"2.5.5.7", 27}, {"2.5.5.8", 6}, {"2.5.5.9", 7},  {"2.5.5.10", 8},  {"2.5.5.11", 9},  {"2.5.5.12", 3},
    {"2.5.5.13", 3}, {"2.5.5.14", 28}, {"2.5.5.15", 25}, {"2.5.5.16", 10}, {"2.5.5.17", 8},
};

DWORD count_values(const char* dn, const char* attribute, const char* text, DWORD* total, DWORD* type);

// Types the rollback writes back.
bool rollback_accepts(DWORD type) { return (type >= 1 && type <= 7) || type == 15 || type == 16 || type == 23 || type == 24; }

void error_box(const char* text) { show_unattended_message(nullptr, text, library_title(), MB_ICONERROR); }

// The directory's extended error: its code and text, taken before another call replaces it.
struct ExtendedError {
  DWORD code = 0;
  char text[kErrorTextChars + 1] = {};
};
ExtendedError take_extended_error() {
  ExtendedError e;
  WCHAR wide_text[kErrorTextChars + 1] = {};
  WCHAR provider[64] = {};
  ADsGetLastError(&e.code, wide_text, kErrorTextChars, provider, 64);
  from_wide(wide_text, e.text, sizeof e.text);
  return e;
}

// The extended error after a refused change, unless it is nothing to report.
void report_extended_error(const char* attribute, const ExtendedError& e) {
  DWORD code = e.code;
  const char* text = e.text;
  if (attribute && equal_ignoring_case(attribute, "pwdLastSet") && std::strstr(text, "problem 22")) return;
  if (code == 0) return;
  char message[kMessageBytes];
  if (code == 8322)
    std::snprintf(message, sizeof message,
                  "Value specified for [%s] is too long.\n\nFull Error Text is as follows:\n"
                  "==============================\n\n%s",
                  attribute, text);
  else
    std::snprintf(message, sizeof message, "Error [0x%x] on attribute [%s]\n\nError Text:\n\n%s",
                  static_cast<unsigned>(code), attribute ? attribute : "<unknown>", text);
  error_box(message);
}

// A value's string form, for counting equal values.
void value_string(const char* attribute, DWORD type, const ADSVALUE& v, char* out, size_t size) {
  if (type == ADSTYPE_LARGE_INTEGER) std::snprintf(out, size, "%lld", static_cast<long long>(v.LargeInteger.QuadPart));
  else if (type == ADSTYPE_INTEGER) std::snprintf(out, size, "%d", static_cast<int>(v.Integer));
  else FormatAdsValue(out, size, attribute, type, v);
}

// One paragraph of the confirmation text.
void add_paragraph(char* text, size_t size, const char* heading, const char* dn, const char* attribute,
                   const char* label, const char* value, const char* note) {
  char paragraph[kMessageBytes];
  std::snprintf(paragraph, sizeof paragraph, "%s:\n\nObject: %s\n\nAttribute: %s\n\n%s: %s (%s)", heading, dn, attribute,
                label, value, note);
  if (text[0]) append_text(text, size, "\n\n");
  append_text(text, size, paragraph);
}

// Removes (or adds back) one recorded value: the special attributes, and memberOf on the group's member.
void undo_value(const char* dn, const char* attribute, const char* value, bool remove, DWORD single) {
  if (equal_ignoring_case(attribute, "ntSecurityDescriptor")) {
    error_box("ntSecurityDescriptor rollback is not currently available");
  } else if (equal_ignoring_case(attribute, "userParameters")) {
    error_box("userParameters rollback is in development");
  } else if (equal_ignoring_case(attribute, "memberOf")) {
    ModifyAttribute(remove, value, "member", dn, kSyntaxLookUp, 0, kParseValueText, 0, 0);
  } else {
    ModifyAttribute(remove, dn, attribute, value, kSyntaxLookUp, 0, kParseValueText, 0, single);
  }
}

// One row's rollback; true when something was written.
bool roll_back_row(HWND owner, const DirectoryRowItem& item) {
  const char* dn = item.object_dn ? item.object_dn : "";
  const char* attribute = item.attribute;
  const char* added = item.new_value ? item.new_value : "";
  const char* removed = item.old_value ? item.old_value : "";
  DWORD flags = item.action;
  // The record's second, third and fourth values mark a binary new value, old value and attribute.
  if (item.values[1] || item.values[2] || item.values[3]) {
    show_unattended_message(owner, "Skipping binary change rollback on this object", dn, MB_ICONWARNING);
    return false;
  }
  char path[kDirectoryPathBytes + 16];
  ldap_path(g_directory.bound_server, dn, path, sizeof path);
  {
    Held<IADs> object;
    if (FAILED(open_directory_object(path, IID_IADs, object.out()))) {
      show_unattended_message(owner, "Object NOT FOUND, unable to perform AD rollback", dn, MB_ICONERROR);
      return false;
    }
  }
  DWORD single = 0;
  DWORD type = LookupAttributeSyntax(g_directory.bound_server, attribute, &single);
  char text[kMessageBytes] = {};
  if (type == kSyntaxNotFound || type == static_cast<DWORD>(-1)) {
    std::snprintf(text, sizeof text,
                  "Unable to determine syntax type for attribute [%s].\n\nThere is apparently no attribute by this "
                  "name in the selected Active Directory Domain",
                  attribute);
    error_box(text);
    return false;
  }
  if (!rollback_accepts(type)) {
    std::snprintf(text, sizeof text,
                  "Unable to process rollback for attribute [%s], syntax id %d.\n\nThis is currently an unsupported "
                  "syntax type.",
                  attribute, static_cast<int>(type));
    error_box(text);
    return false;
  }
  bool remove_added = false, add_removed = false;
  DWORD value_type = 0;
  if (flags & kValueAdded) {
    remove_added = CountMatchingValues(dn, attribute, added, &value_type) > 0;
    if (remove_added)
      add_paragraph(text, sizeof text, "Please confirm", dn, attribute, "Value Added", added,
                    "remove this value if still present");
    else
      add_paragraph(text, sizeof text, "New Value is no longer present", dn, attribute, "Value Added", added,
                    "is no longer present, already removed");
  }
  if (flags & kValueRemoved) {
    add_removed = CountMatchingValues(dn, attribute, removed, &value_type) == 0;
    if (add_removed)
      add_paragraph(text, sizeof text, "Please confirm", dn, attribute, "Value Removed", removed,
                    "add this value if not already present");
    else
      add_paragraph(text, sizeof text, "Deleted Value is currently present", dn, attribute, "Value Removed", removed,
                    "is currently present, already added");
  }
  if (!(flags & (kValueAdded | kValueRemoved)))
    std::snprintf(text, sizeof text, "Unknown Action [%x] on Object %s", static_cast<unsigned>(flags), dn);
  if (!remove_added && !add_removed) {
    show_unattended_message(owner, text, "Rollback AD Modification Results", MB_ICONINFORMATION);
    return false;
  }
  if (ask_confirmation(owner, text, "Rollback AD Modification on this object", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return false;
  // A replaced value: the added value goes first, then the removed one comes back.
  if (remove_added) undo_value(dn, attribute, added, true, single);
  if (add_removed) undo_value(dn, attribute, removed, false, single);
  return true;
}

}  // namespace

DWORD LookupAttributeSyntax(const char* server, const char* attribute, DWORD* single_valued) {
  if (single_valued) *single_valued = 0;
  // A name from a log record goes into a filter: anything an attribute name cannot hold finds nothing.
  if (!is_attribute_name(attribute)) return kSyntaxNotFound;
  char path[kDirectoryPathBytes + 16];
  if (server && *server) std::snprintf(path, sizeof path, "LDAP://%s/RootDSE", server);
  else copy_text(path, sizeof path, "LDAP://RootDSE");
  Held<IADs> root;
  HRESULT hr = open_directory_object(path, IID_IADs, root.out());
  char text[200];
  if (FAILED(hr)) {
    std::snprintf(text, sizeof text, "Error [%x] occurred opening RootDSE", static_cast<unsigned>(hr));
    error_box(text);
    return kSyntaxNotFound;
  }
  char schema[kDirectoryPathBytes] = {};
  hr = read_text_property(root.p, "schemaNamingContext", schema, sizeof schema);
  if (schema[0] == '\0') return kSyntaxNotFound;
  ldap_path(server, schema, path, sizeof path);
  Held<IDirectorySearch> search;
  if (FAILED(open_directory_object(path, IID_IDirectorySearch, search.out()))) return kSyntaxNotFound;
  char escaped[512], filter[600];
  escape_filter_value(attribute, escaped, sizeof escaped);
  std::snprintf(filter, sizeof filter, "(&(objectCategory=attributeSchema)(ldapDisplayName=%s))", escaped);
  static const char* const kColumns[] = {"ldapDisplayName", "systemFlags", "attributeSyntax", "isSingleValued"};
  SearchRun run;
  if (FAILED(run_search(search.p, ADS_SCOPE_ONELEVEL, 1000, -1, filter, kColumns, 4, &run)) ||
      search->GetFirstRow(run.handle) != S_OK)
    return kSyntaxNotFound;
  char syntax[64];
  LONG single = 0;
  column_text(run, "attributeSyntax", syntax, sizeof syntax);
  if (column_number(run, "isSingleValued", &single) && single_valued) *single_valued = single ? 1 : 0;
  for (const SyntaxType& s : kSyntaxTypes)
    if (std::strcmp(s.syntax, syntax) == 0) return s.type;
  return kSyntaxNotFound;
}

bool ads_value_matches(const char* attribute, DWORD type, const ADSVALUE& value, const char* text) {
  char shown[kDirectoryPathBytes];
  // objectClass values are compared as they are shown; others by their string form.
  if (equal_ignoring_case(attribute, "objectClass")) FormatAdsValue(shown, sizeof shown, attribute, type, value);
  else value_string(attribute, type, value, shown, sizeof shown);
  return equal_ignoring_case(shown, text ? text : "");
}

DWORD CountMatchingValues(const char* dn, const char* attribute, const char* text, DWORD* type) {
  return count_values(dn, attribute, text, nullptr, type);
}

namespace {

// The attribute's values equal to the text; also how many it has in all and their type.
DWORD count_values(const char* dn, const char* attribute, const char* text, DWORD* total, DWORD* type) {
  if (type) *type = 0;
  if (total) *total = 0;
  char path[kDirectoryPathBytes + 16];
  ldap_path(g_directory.bound_server, dn, path, sizeof path);
  Held<IDirectoryObject> object;
  if (FAILED(open_directory_object(path, IID_IDirectoryObject, object.out()))) return 0;
  WCHAR wide_name[256];
  to_wide(attribute, wide_name, 256);
  LPWSTR names[] = {wide_name};
  PADS_ATTR_INFO info = nullptr;
  DWORD returned = 0;
  if (FAILED(object->GetObjectAttributes(names, 1, &info, &returned)) || info == nullptr) return 0;
  DWORD count = 0;
  for (DWORD a = 0; a < returned; ++a) {
    if (type) *type = info[a].dwADsType;
    if (total) *total += info[a].dwNumValues;
    for (DWORD v = 0; v < info[a].dwNumValues; ++v)
      if (ads_value_matches(attribute, info[a].dwADsType, info[a].pADsValues[v], text)) ++count;
  }
  FreeADsMem(info);
  return count;
}

}  // namespace

DWORD ModifyAttribute(BOOL delete_value, const char* dn, const char* attribute, const char* value, DWORD type,
                      DWORD mode, LONG integer_value, LONGLONG large_value, DWORD single_valued) {
  if (dn == nullptr || dn[0] == '\0') return kModifyNoObject;
  bool description = equal_ignoring_case(attribute, "description");
  char path[kDirectoryPathBytes + 16], text[kMessageBytes];
  ldap_path(g_directory.bound_server, dn, path, sizeof path);
  Held<IADs> entry;
  HRESULT hr = open_directory_object(path, IID_IADs, entry.out());
  if (FAILED(hr)) {
    ExtendedError error = take_extended_error();
    std::snprintf(text, sizeof text, "Error 2 [%x] getting object:\n\n%s\n\n%s", static_cast<unsigned>(hr), path,
                  error.text);
    error_box(text);
    return 0;
  }
  Held<IDirectoryObject> object;
  if (FAILED(entry->QueryInterface(IID_IDirectoryObject, object.out())) || object.p == nullptr) {
    std::snprintf(text, sizeof text, "Unable to determine Directory Ptr for object [%s]", dn);
    error_box(text);
    return kModifyNoDirectoryInterface;
  }
  if (type == kSyntaxLookUp) {
    type = LookupAttributeSyntax(g_directory.bound_server, attribute, &single_valued);
    if (type == kSyntaxNotFound) return kModifySyntaxUnknown;
  }
  WCHAR wide_name[256];
  to_wide(attribute, wide_name, 256);
  if (mode == 1 || description || single_valued) {
    ADS_ATTR_INFO clear = {wide_name, ADS_ATTR_CLEAR, static_cast<ADSTYPE>(type), nullptr, 0};
    DWORD modified = 0;
    hr = object->SetObjectAttributes(&clear, 1, &modified);
    bool ignored = hr == kNoAttributeOrValue || hr == kUnwillingToPerform ||
                   (hr == kConstraintViolation && equal_ignoring_case(attribute, "lockoutTime"));
    if (FAILED(hr) && !ignored) {
      ExtendedError error = take_extended_error();
      DWORD values = 0;
      count_values(dn, attribute, "", &values, nullptr);
      if (hr == E_ACCESSDENIED)
        std::snprintf(text, sizeof text,
                      "Your account has insufficient privileges to clear attribute values for [%s].\n\nDoes it have a "
                      "value?[%d]",
                      attribute, static_cast<int>(values));
      else
        std::snprintf(text, sizeof text, "Error [%x] clearing attribute values for [%s].\n\nDoes it have a value?[%d]",
                      static_cast<unsigned>(hr), attribute, static_cast<int>(values));
      error_box(text);
      report_extended_error(attribute, error);
    }
  }
  // Mode 2 only clears, and only what the rule above clears: a multi-valued attribute is left alone.
  if (mode == 2) return kModifyDone;
  DWORD control = delete_value ? ADS_ATTR_DELETE : (description || single_valued) ? ADS_ATTR_UPDATE : ADS_ATTR_APPEND;
  ADSVALUE ads = {};
  WCHAR wide_value[kDirectoryPathBytes];
  BYTE hours[21] = {};
  ads.dwType = static_cast<ADSTYPE>(type);
  switch (type) {
    case 1: case 2: case 3: case 4: case 5:
      to_wide(value, wide_value, kDirectoryPathBytes);
      ads.CaseIgnoreString = wide_value;
      break;
    case 6: case 7:
      if (integer_value == kParseValueText)
        integer_value = value && equal_ignoring_case(value, "TRUE")    ? 1
                        : value && equal_ignoring_case(value, "FALSE") ? 0
                                                                       : static_cast<LONG>(std::strtol(value ? value : "0", nullptr, 10));
      if (type == 6) ads.Boolean = integer_value ? 1 : 0;
      else ads.Integer = static_cast<DWORD>(integer_value);
      break;
    case 10: ads.LargeInteger.QuadPart = large_value; break;
    case 8: case 9: case 25: case 27: case 28:
      if (equal_ignoring_case(attribute, "logonHours")) {
        // The 168 hours of the week as 21 bytes, given as hex digits.
        for (size_t i = 0; value && i < 21 && value[2 * i] && value[2 * i + 1]; ++i) {
          char pair[3] = {value[2 * i], value[2 * i + 1], 0};
          hours[i] = static_cast<BYTE>(std::strtoul(pair, nullptr, 16));
        }
        ads.dwType = ADSTYPE_OCTET_STRING;
        ads.OctetString.dwLength = sizeof hours;
        ads.OctetString.lpValue = hours;
        type = ADSTYPE_OCTET_STRING;
        break;
      }
      [[fallthrough]];
    default:
      std::snprintf(text, sizeof text, "Unhandled Syntax [%d] in Rollback\n\nAttribute: [%s](%x)", static_cast<int>(type),
                    attribute, static_cast<unsigned>(type));
      error_box(text);
      return 0;
  }
  ADS_ATTR_INFO change = {wide_name, control, static_cast<ADSTYPE>(type), &ads, 1};
  DWORD modified = 0;
  hr = object->SetObjectAttributes(&change, 1, &modified);
  if (FAILED(hr)) {
    report_extended_error(attribute, take_extended_error());
    return kModifyRefused;
  }
  if (modified != 1) {
    std::snprintf(text, sizeof text, "PX28 Number Modifed = %d, should be 1\n\nAttr: %s", static_cast<int>(modified),
                  attribute);
    error_box(text);
    return kModifyCountWrong;
  }
  return kModifyDone;
}

bool is_rollback_row(const BYTE* record) {
  void* item = nullptr;
  if (record == nullptr || row_item(record, &item) != kLogFamilyDirectory || item == nullptr) return false;
  return (static_cast<const DirectoryRowItem*>(item)->action & (kValueAdded | kValueRemoved)) != 0;
}

DWORD RollbackDirectoryChanges(HWND owner, HWND report_list) {
  DWORD written = 0;
  for (int row = static_cast<int>(SendMessageA(report_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
       row >= 0;
       row = static_cast<int>(SendMessageA(report_list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) {
    const auto* context = reinterpret_cast<const BYTE*>(list_row_param(report_list, row));
    if (!is_rollback_row(context)) continue;
    void* item = nullptr;
    row_item(context, &item);
    if (roll_back_row(owner, *static_cast<const DirectoryRowItem*>(item))) ++written;
  }
  return written;
}
