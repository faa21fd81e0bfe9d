// The directory picker: a dialog whose available list is filled from the
// directory and whose chosen entries go into a tracking list of a directory
// or group policy profile form, where the form's apply saves them.
#include <cstring>
#include <initializer_list>

#include "directory/directory.h"
#include "host/control_descriptor.h"
#include "host/host.h"
#include "host/list_item.h"
#include "host/text.h"
#include "resources/resource.h"

namespace {

enum class Source { Objects, Classes, Attributes, Gpos };

// What the picker lists for each tracking list of a profile form, and the icon its chosen rows carry there.
struct PickerMode {
  uint32_t tracking_list;
  Source source;
  const char* caption;
  int icon;
};
constexpr PickerMode kPickerModes[] = {
    {0x602400A3, Source::Objects, "Choose Active Directory Objects to Track", kIconTrackObject},
    {0x602400A6, Source::Classes, "Choose Active Directory Object Classes to Track", kIconTrackClass},
    {0x602400AA, Source::Attributes, "Choose Active Directory Attributes to Track", kIconTrackAttribute},
    {0x602400DA, Source::Gpos, "Choose Group Policy Objects to Track", kIconGpo},
};

// The kinds the object list offers, by their buttons: each is searched from the base in the "Look in"
// field (users and groups in the whole subtree, the others one level down). The first is listed at once.
struct ObjectKind {
  int button;
  DWORD kind;
  int icon;
};
constexpr ObjectKind kObjectKinds[] = {
    {IDC_PICKER_CONTAINERS, kListContainers, kIconAdContainer},
    {IDC_PICKER_USERS, kListUsers, kIconAdUser},
    {IDC_PICKER_CONTACTS, kListContacts, kIconAdContact},
    {IDC_PICKER_GROUPS, kListGroups, kIconAdGroup},
    {IDC_PICKER_OBJECTS, kListSearchOneLevel, kIconTrackObject},
};

struct Picker {
  const PickerMode* mode;
  HWND tracking_list;
  const char* gpo_server;  // null: the console's domain
  DWORD added;
};

HWND item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// The text a row stands for in a tracking list: the entry's path, else the row's own text.
bool row_entry_text(HWND list, int row, char* text, int size, const DirectoryRowEntry** entry) {
  LPARAM record = 0;
  if (!read_list_row(list, row, text, size, &record)) return false;
  *entry = row_directory_entry(reinterpret_cast<const BYTE*>(record));
  if (*entry && (*entry)->path[0]) copy_text(text, static_cast<size_t>(size), (*entry)->path);
  return true;
}

bool holds(HWND list, const char* path) {
  char text[kDirectoryPathBytes];
  const DirectoryRowEntry* entry = nullptr;
  for (int row = 0; row_entry_text(list, row, text, sizeof text, &entry); ++row)
    if (equal_ignoring_case(text, path)) return true;
  return false;
}

// The rows of the picker's own lists die with them: the entries their records own are freed here.
void free_row_entry(HWND list, int row) {
  if (auto* record = reinterpret_cast<BYTE*>(list_row_param(list, row))) free_directory_row_entry(record);
}

void empty_list(HWND list) {
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row)
    free_row_entry(list, row);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

void fill_available(HWND dialog, const Picker& p, const ObjectKind* kind) {
  HWND available = item(dialog, IDC_PICKER_AVAILABLE);
  empty_list(available);
  switch (p.mode->source) {
    case Source::Objects: {
      char base[kDirectoryPathBytes], path[kDirectoryPathBytes + 300];
      GetDlgItemTextA(dialog, IDC_PICKER_BASE, base, sizeof base);
      ldap_path(g_directory.bound_server, base, path, sizeof path);
      FillDirectoryList(available, kind->kind, path, directory_kind_filter(kind->kind), kind->icon, 0);
      break;
    }
    case Source::Classes: FillSchemaList(available, 2, kIconTrackClass, 0); break;
    case Source::Attributes: FillSchemaList(available, 1, kIconTrackAttribute, 0); break;
    case Source::Gpos: FillGpoList(available, p.gpo_server); break;
  }
}

// Copies a listed row, as a fresh row with the given option word, into another list.
void copy_row(HWND list, const char* text, const DirectoryRowEntry& entry, DWORD option, int icon) {
  BYTE record[kListItemBytes];
  if (start_directory_row(record, list, entry.kind, option, entry.path))
    insert_directory_row(list, text, g_library.base_image_index + icon, record);
}

// The selected available rows join the chosen ones, each once. An attribute carries the exclude word
// when the box is checked as it is added; every other entry carries 0.
void add_selected(HWND dialog, const Picker& p) {
  HWND available = item(dialog, IDC_PICKER_AVAILABLE), chosen = item(dialog, IDC_PICKER_CHOSEN);
  bool exclude = p.mode->source == Source::Attributes &&
                 SendMessageA(item(dialog, IDC_PICKER_EXCLUDE), BM_GETCHECK, 0, 0) == BST_CHECKED;
  for (int row = -1; (row = static_cast<int>(SendMessageA(available, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                          LVNI_SELECTED))) >= 0;) {
    char text[kDirectoryPathBytes];
    LPARAM record = 0;
    read_list_row(available, row, text, sizeof text, &record);
    const DirectoryRowEntry* entry = row_directory_entry(reinterpret_cast<const BYTE*>(record));
    // The row that says the directory could not be bound stands for nothing to track.
    if (entry == nullptr || std::strncmp(text, "LAC:", 4) == 0 || holds(chosen, entry->path)) continue;
    copy_row(chosen, text, *entry, exclude ? kEntryExcluded : 0, p.mode->icon);
  }
}

void remove_selected(HWND dialog) {
  HWND chosen = item(dialog, IDC_PICKER_CHOSEN);
  for (int row = static_cast<int>(SendMessageA(chosen, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row) {
    if ((SendMessageA(chosen, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    free_row_entry(chosen, row);
    SendMessageA(chosen, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }
}

// The chosen entries go into the form's tracking list, except those it holds already.
DWORD take_chosen(HWND dialog, const Picker& p) {
  HWND chosen = item(dialog, IDC_PICKER_CHOSEN);
  DWORD added = 0;
  char text[kDirectoryPathBytes];
  LPARAM record = 0;
  for (int row = 0; read_list_row(chosen, row, text, sizeof text, &record); ++row) {
    const DirectoryRowEntry* entry = row_directory_entry(reinterpret_cast<const BYTE*>(record));
    if (entry == nullptr || holds(p.tracking_list, entry->path)) continue;
    copy_row(p.tracking_list, text, *entry, entry->option, p.mode->icon);
    ++added;
  }
  return added;
}

void start_picker(HWND dialog, const Picker& p) {
  g_directory.picker = dialog;
  g_directory.picker_icon = nullptr;
  SetWindowTextA(dialog, p.mode->caption);
  // The rows show the icons of the shared image list, which the lists only borrow.
  if (g_library.image_list_ready)
    for (int list : {IDC_PICKER_AVAILABLE, IDC_PICKER_CHOSEN})
      SendMessageA(item(dialog, list), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_library.image_list));
  bool objects = p.mode->source == Source::Objects;
  EnableWindow(item(dialog, IDC_PICKER_BASE), objects);
  for (const ObjectKind& k : kObjectKinds) EnableWindow(item(dialog, k.button), objects);
  EnableWindow(item(dialog, IDC_PICKER_EXCLUDE), p.mode->source == Source::Attributes);
  if (objects) {
    char dn[kDirectoryPathBytes];
    if (!DomainDnFromName("", dn, sizeof dn, nullptr, 0)) dn[0] = '\0';
    SetDlgItemTextA(dialog, IDC_PICKER_BASE, dn);
    SendMessageA(item(dialog, kObjectKinds[0].button), BM_SETCHECK, BST_CHECKED, 0);
  }
  fill_available(dialog, p, objects ? &kObjectKinds[0] : nullptr);
}

INT_PTR CALLBACK picker_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* p = reinterpret_cast<Picker*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    start_picker(dialog, *reinterpret_cast<Picker*>(lparam));
    return TRUE;
  }
  if (p == nullptr) return FALSE;
  if (message == WM_DESTROY) {
    empty_list(item(dialog, IDC_PICKER_AVAILABLE));
    empty_list(item(dialog, IDC_PICKER_CHOSEN));
    g_directory.picker = nullptr;
    return FALSE;
  }
  if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return FALSE;
  int id = LOWORD(wparam);
  for (const ObjectKind& k : kObjectKinds) {
    if (k.button != id) continue;
    fill_available(dialog, *p, &k);
    return TRUE;
  }
  switch (id) {
    case IDC_PICKER_ADD: add_selected(dialog, *p); return TRUE;
    case IDC_PICKER_REMOVE: remove_selected(dialog); return TRUE;
    case IDOK:
      p->added = take_chosen(dialog, *p);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

DWORD PickTrackingEntries(HWND owner, HWND tracking_list) {
  const uintptr_t* d = tracking_list ? control_descriptor_of(tracking_list) : nullptr;
  const PickerMode* mode = nullptr;
  for (const PickerMode& m : kPickerModes)
    if (d && descriptor_identifier(d) == m.tracking_list) mode = &m;
  if (mode == nullptr) return 0;
  // Group policy objects are those of the current server's domain; no server selected: the console's.
  CurrentServer server = current_server();
  Picker p = {mode, tracking_list, server.record ? server.name : nullptr, 0};
  DialogBoxParamA(g_library.instance, "AD_PICKER", owner, picker_proc, reinterpret_cast<LPARAM>(&p));
  return p.added;
}
