// The profile screens: the creation dialog, the buttons and lists of the
// profile forms and the apply action that saves a form's lists, reached
// through the dispatching entry points.
#include <cstdio>
#include <cstring>

#include "config/profile_lists.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/text.h"
#include "resources/resource.h"

HWND g_profile_list;

namespace {

constexpr uint32_t kAddProfileOnServer = 0x602100CC;
constexpr uint32_t kIpOctetFields = 0x6028002F;  // 0x6028002F..0x60280036
constexpr uint32_t kAlertEmailField = 0x6028003A;
constexpr uint32_t kCreateBaselineButton = 0x602100E9;
constexpr uint32_t kBaselinePathItem = 0x602800E8;

struct AddProfileState {
  const char* server;
  uint32_t request;
  DWORD type;
  DWORD created;
};

DWORD selected_type(HWND dialog, DWORD fallback) {
  HWND types = GetDlgItem(dialog, IDC_PROFILE_TYPES);
  LRESULT row = SendMessageA(types, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (row < 0) return fallback;
  return static_cast<DWORD>(list_row_param(types, static_cast<int>(row)));
}

INT_PTR CALLBACK add_profile_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<AddProfileState*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<AddProfileState*>(lparam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    if (state->request == kAddProfileOnServer) {
      char title[200];
      std::snprintf(title, sizeof title, "Add VORNIX Tracking Profile on Server %.100s", state->server);
      SetWindowTextA(dialog, title);
    }
    HWND types = GetDlgItem(dialog, IDC_PROFILE_TYPES);
    // Each type's icon, named by its keyword, from the shared image list (the list view only borrows it).
    if (g_library.image_list_ready)
      SendMessageA(types, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_library.image_list));
    const ProfileType* chosen = profile_type_by_code(state->type);
    if (chosen == nullptr) chosen = &kProfileTypes[0];
    for (int i = 0; i < 5; ++i) {
      char text[100];
      std::snprintf(text, sizeof text, "%s\t%s", kProfileTypes[i].keyword, kProfileTypes[i].label);
      LVITEMA item = {};
      item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE | LVIF_IMAGE;
      item.iItem = i;
      item.pszText = text;
      item.iImage = g_library.base_image_index + kProfileTypes[i].icon;
      item.lParam = static_cast<LPARAM>(kProfileTypes[i].code);
      item.state = item.stateMask = &kProfileTypes[i] == chosen ? LVIS_SELECTED : 0;
      SendMessageA(types, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetDlgItemTextA(dialog, IDC_PROFILE_DESCRIPTION, chosen->description);
    state->type = chosen->code;
    // OK waits for a name.
    SendMessageA(GetDlgItem(dialog, IDC_PROFILE_NAME), EM_LIMITTEXT, kProfileNameChars, 0);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    return TRUE;
  }
  if (state == nullptr) return FALSE;
  if (message == WM_NOTIFY) {
    // The description follows the selected type.
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(lparam);
    if (change->hdr.idFrom != IDC_PROFILE_TYPES || change->hdr.code != LVN_ITEMCHANGED ||
        (change->uNewState & LVIS_SELECTED) == 0 || (change->uOldState & LVIS_SELECTED) != 0)
      return FALSE;
    if (const ProfileType* chosen = profile_type_by_code(static_cast<DWORD>(change->lParam)))
      SetDlgItemTextA(dialog, IDC_PROFILE_DESCRIPTION, chosen->description);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDC_PROFILE_NAME && HIWORD(wparam) == EN_CHANGE) {
    char typed[2] = {};
    GetDlgItemTextA(dialog, IDC_PROFILE_NAME, typed, sizeof typed);
    EnableWindow(GetDlgItem(dialog, IDOK), typed[0] != '\0');
    return TRUE;
  }
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  if (LOWORD(wparam) != IDOK) return FALSE;
  char typed[kProfileNameBytes + 64] = {};
  GetDlgItemTextA(dialog, IDC_PROFILE_NAME, typed, sizeof typed);
  char name[kProfileNameBytes];
  if (!CheckProfileName(dialog, typed, name, sizeof name)) return TRUE;  // back to the dialog
  DWORD created = 0;
  CreateProfile(dialog, state->server, name, selected_type(dialog, state->type), &created);
  state->created = created;
  EndDialog(dialog, created ? IDOK : IDCANCEL);
  return TRUE;
}

void refresh(HWND list) {
  if (auto refresh_control = host_service<HostRefreshControlFn>(kHostRefreshControl)) refresh_control(list, 0, 0);
}

DWORD field_value(HWND screen, uint32_t id) {
  DWORD value = 0;
  read_screen_value(screen, id, &value);
  return value;
}

// ---- The file tracking entry dialog ----------------------------------------------

struct FlagBox {
  uint32_t id;
  DWORD bit;
};

// One check box per flag bit of an entry.
constexpr FlagBox kFileEntryFlagBoxes[] = {
    {0x60280055, 0x1},        {0x602800BA, 0x2},        {0x602800BE, 0x4},        {0x60280063, 0x10},
    {0x60280065, 0x20},       {0x60280053, 0x40},       {0x60280059, 0x80},       {0x602800F9, 0x10000},
    {0x60280076, 0x20000},    {0x6028006D, 0x100000},   {0x60280067, 0x1000000},  {0x60280061, 0x2000000},
    {0x6028005D, 0x10000000}, {0x6028005F, 0x20000000}, {0x60280069, 0x40000000}, {0x6028006B, 0x80000000},
};
constexpr uint32_t kFileEntryPathField = 0x6028005B;  // the share path, beside its browse buttons
constexpr uint32_t kFileEntryFileField = 0x602800FB;  // file name or extension
constexpr uint32_t kAddFileEntry = 0x60210052;
constexpr uint32_t kChangeFileEntry = 0x602100B1;
constexpr DWORD kFieldBytes = 2000;

constexpr uint32_t kFileEntryList = 0x60240042;
constexpr uint32_t kAddShare = 0x60212078;
constexpr uint32_t kAddExcludedFile = 0x60212079;

// The dialog's entry as its check boxes and fields hold it.
void read_file_entry(HWND screen, DWORD* flags, char* path, char* file) {
  *flags = 0;
  for (const FlagBox& box : kFileEntryFlagBoxes)
    if (field_value(screen, box.id)) *flags |= box.bit;
  read_screen_field(screen, kFileEntryPathField, path, kFieldBytes);
  read_screen_field(screen, kFileEntryFileField, file, kFieldBytes);
}

bool is_list_control(HWND control) {
  char class_name[32] = {};
  GetClassNameA(control, class_name, sizeof class_name);
  return std::strcmp(class_name, WC_LISTVIEWA) == 0;
}

// The entries' list a button adds to: its companion, or, for the buttons attached to the share path
// field (whose companion is then that field), the entries' list of the same screen.
HWND file_entry_list(HWND screen, HWND companion) {
  if (companion && is_list_control(companion)) return companion;
  int item = find_control_item(screen, kModuleNumber, kFileEntryList);
  return item ? GetDlgItem(screen, item) : nullptr;
}

// Add, change, add a share (every file of the share path: the file part and the
// extension-only choice are not taken) or add an excluded file (the entry is
// marked not tracked). Every entry passes the checks first.
DWORD file_entry_button(HWND screen, HWND companion, uint32_t id) {
  HWND list = file_entry_list(screen, companion);
  int row = selected_row_number(list) - 1;
  if (id == kChangeFileEntry && row < 0) {
    // A Change with no row selected would otherwise do nothing the user could see.
    show_message(nullptr, "Please select the file tracking entry to change.", nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  DWORD flags;
  char path[kFieldBytes], file[kFieldBytes];
  read_file_entry(screen, &flags, path, file);
  if (id == kAddShare) {
    file[0] = '\0';
    flags &= ~kFileEntryExtensionOnly;
  } else if (id == kAddExcludedFile) {
    flags |= kFileEntryNotTracked;
  }
  if (CheckFileTrackingEntry(nullptr, flags, path, file, kFieldBytes) != 1) return 0;  // back to the dialog
  return id == kChangeFileEntry ? ChangeFileTrackingEntry(list, row, flags, path, file)
                                : AddFileTrackingEntry(list, flags, path, file, nullptr);
}

// Option groups of three check boxes each: saving needs one choice set.
struct OptionGroup {
  uint32_t button;
  uint32_t first_box;
  const char* refusal;
};

constexpr OptionGroup kOptionGroups[] = {
    {0x602100B6, 0x602800B3, "Please select an option to continue (Track Creations, Deletions or Modifications)"},
    {0x602100B8, 0x602800B7,
     "Please select an option to continue (Track Additions or Track Deletions or Do Not Track)"},
};

DWORD check_option_group(HWND screen, uint32_t button) {
  for (const OptionGroup& group : kOptionGroups) {
    if (group.button != button) continue;
    for (uint32_t box = group.first_box; box < group.first_box + 3; ++box)
      if (field_value(screen, box)) return 1;
    show_message(nullptr, group.refusal, "VORNIX Error Message", MB_ICONERROR);
    return 0;
  }
  return kResultNotHandled;
}

// Each selected row is deleted on the server its row names (rows of other lists: the current
// server). A server that cannot be reached keeps its rows and says so; the other rows still go.
DWORD delete_selected_profiles(HWND list, const char* current) {
  if (list == nullptr || SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) < 0) {
    // A Delete with no row selected would otherwise do nothing the user could see.
    show_message(nullptr, "Please select a Profile to delete.", "UNABLE TO DELETE PROFILE", MB_ICONEXCLAMATION);
    return 0;
  }
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row) {
    if ((SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    char name[kProfileNameBytes] = {};
    LPARAM record;
    read_list_row(list, row, name, sizeof name, &record);
    char server[kServerNameBytes];
    if (!profile_row_server(reinterpret_cast<const BYTE*>(record), server, sizeof server))
      copy_text(server, sizeof server, current);
    char question[300];
    std::snprintf(question, sizeof question, "Delete Profile %s on server %s?", name, server);
    if (ask_confirmation(nullptr, question, "CONFIRM PROFILE DELETE", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) continue;
    if (DeleteProfile(nullptr, name, server)) SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }
  return 1;
}

DWORD add_ip_range(HWND screen, HWND list) {
  char octets[8][50];
  const char* fields[8];
  for (int i = 0; i < 8; ++i) {
    read_screen_field(screen, kIpOctetFields + static_cast<uint32_t>(i), octets[i], sizeof octets[i]);
    fields[i] = octets[i];
  }
  IpRange range;
  if (!CheckIpRange(nullptr, fields, &range)) return 0;
  return AddIpRange(list, range, nullptr);
}

// A control of the server screens makes the form it is on the server's; the pattern alerting controls,
// numbered among them, are a profile's.
bool is_server_screen_control(uint32_t id) {
  return control_family(id) == 6 && control_screen_group(id) == 3 && !is_profile_pattern_control(id);
}

bool note_server_control(HWND control, void* context) {
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber || !is_server_screen_control(descriptor_identifier(d)))
    return true;
  *static_cast<bool*>(context) = true;
  return false;
}

// Whether a list lies on the server's form, whose lists hold the server-wide entries.
bool on_server_form(HWND list) {
  bool server_form = false;
  if (HWND screen = GetParent(list)) walk_screen_controls(screen, note_server_control, &server_form);
  return server_form;
}

// The lists whose typed entries the add buttons take, and whose removed entries leave the stored list at once.
enum class NamedList { kNone, kLogonNames, kAlertEmails, kExcluded };

NamedList named_list(HWND list) {
  const uintptr_t* d = list ? control_descriptor_of(list) : nullptr;
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return NamedList::kNone;
  switch (descriptor_identifier(d)) {
    case 0x602400F0: return NamedList::kLogonNames;
    case 0x6024002C:
    case 0x603400AC: return NamedList::kAlertEmails;
    case 0x60240097: return NamedList::kExcluded;
    default: return NamedList::kNone;
  }
}

// Where a form's list is stored: the product key of the current server on the server's form, else the
// profile the form shows.
CurrentProfile list_owner(HWND list) {
  if (!on_server_form(list)) return current_profile();
  CurrentProfile owner = {};
  copy_text(owner.server, sizeof owner.server, current_server().name);
  return owner;
}

// Removes the selected rows. Logon names and alert e-mail addresses leave the stored list with their
// rows (the confirmation's wording, "from Profile", says so); other rows go at the next apply.
DWORD remove_selected_rows(HWND list, const char* question, const char* title) {
  if (list == nullptr || SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) < 0) return 0;
  if (question && ask_confirmation(nullptr, question, title, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 0;
  NamedList kind = named_list(list);
  CurrentProfile owner = {};
  if (kind == NamedList::kLogonNames || kind == NamedList::kAlertEmails) owner = list_owner(list);
  for (int row = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) - 1; row >= 0; --row) {
    if ((SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) == 0) continue;
    char name[kLogonNameChars + 2] = {};
    LPARAM record;
    read_list_row(list, row, name, sizeof name, &record);
    DWORD rc = 0;
    if (kind == NamedList::kLogonNames) rc = UpdateLogonName(name, owner.server, owner.name, kListRemove, 0);
    else if (kind == NamedList::kAlertEmails) rc = UpdateAlertEmail(name, owner.server, owner.name, kListRemove);
    // A name still stored keeps its row.
    if (rc == 0) SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }
  return 1;
}

// The entry typed into the button's second companion field, added to the companion list as its kind
// takes it; 4061 for a list without typed entries.
DWORD add_typed_entry(HWND list, HWND field) {
  NamedList kind = named_list(list);
  if (kind == NamedList::kNone) return kResultNotHandled;
  char typed[kLogonNameChars + 2] = {};
  if (field) GetWindowTextA(field, typed, sizeof typed);
  switch (kind) {
    case NamedList::kLogonNames: return AddLogonName(list, typed, 0, nullptr);
    case NamedList::kAlertEmails: return AddAlertEmail(list, typed, nullptr);
    default: return AddExcludedAccount(list, list_owner(list).server, typed, 0, nullptr);
  }
}

// The second list of a paired move: the button's second companion.
HWND second_companion(const uintptr_t* descriptor) {
  HWND screen = nullptr;
  if (auto screen_window = host_service<HostScreenWindowFn>(kHostScreenWindow))
    screen = screen_window(descriptor_half(descriptor, 12));
  return screen ? GetDlgItem(screen, descriptor_half(descriptor, 13)) : nullptr;
}

// ---- The apply action of a property form -----------------------------------------

constexpr uint32_t kApplyFormButton = 0x60A12002;
constexpr uint32_t kFirstAddRemoveButton = 0x602100D0;
constexpr uint32_t kLastAddRemoveButton = 0x602100D7;

DWORD save_alert_emails_merged(HWND list, const char* server, const char* profile) {
  return SaveAlertEmails(list, server, profile, 1);
}
DWORD save_logon_names_merged(HWND list, const char* server, const char* profile) {
  return SaveLogonNames(list, server, profile, 1);
}

struct FormListSaver {
  uint32_t id;
  DWORD (*save)(HWND list, const char* server, const char* profile);
};

// The report-to lists belong to the server (they lie on its form), whatever profile is selected.
DWORD save_departments(HWND list, const char* server, const char*) {
  return SaveReportTo(list, server, kSaveDepartments);
}
DWORD save_enterprise_hosts(HWND list, const char* server, const char*) { return SaveReportTo(list, server, 0); }

// The lists an apply saves, by host identifier.
constexpr FormListSaver kFormListSavers[] = {
    {0x60240042, SaveFileTrackingEntries}, {0x602400F5, SaveKerberosCodes},
    {0x6024002B, SaveIpRanges},            {0x6024002C, save_alert_emails_merged},
    {0x603400AC, save_alert_emails_merged}, {0x602400F0, save_logon_names_merged},
    {0x60240097, SaveExcluded},            {0x602400A3, SaveObjTrack},
    {0x602400A6, SaveObjClassTrack},       {0x602400AA, SaveAttrTrack},
    {0x602400DA, SaveGposTracked},         {kReportToDepartmentsList, save_departments},
    {0x60340092, save_enterprise_hosts},
};
constexpr size_t kFormListSaverCount = sizeof kFormListSavers / sizeof kFormListSavers[0];

// What one walk of a form finds: its lists to save in tab order, and whether it is the server's form.
struct FormLists {
  HWND list[kFormListSaverCount];
  const FormListSaver* saver[kFormListSaverCount];
  size_t count;
  bool server_form;
};


bool note_form_control(HWND control, void* context) {
  auto* form = static_cast<FormLists*>(context);
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return true;
  uint32_t id = descriptor_identifier(d);
  if (is_server_screen_control(id)) form->server_form = true;
  uint32_t kind = descriptor_kind(d);
  if (kind != kDescriptorList && kind != kDescriptorKind4 && kind != kDescriptorListView) return true;
  for (const FormListSaver& saver : kFormListSavers) {
    if (saver.id != id) continue;
    // A second list of one identifier would write the same values again: the first one is saved.
    for (size_t i = 0; i < form->count; ++i)
      if (form->saver[i] == &saver) return true;
    form->list[form->count] = control;
    form->saver[form->count++] = &saver;
  }
  return true;
}

}  // namespace

DWORD SaveProfileForm(HWND screen, const char* server, const CurrentProfile& shown) {
  FormLists form = {};
  walk_screen_controls(screen, note_form_control, &form);
  // Without a selected profile the lists go where they were listed from: the product key, as every
  // list operation does for an empty profile name.
  const char* on_server = form.server_form ? server : shown.server;
  const char* profile = form.server_form ? "" : shown.name;
  // Each list is saved, also after one that failed (that list has said so and put its stored values
  // back); then the form's single settings.
  DWORD saved = 1;
  for (size_t i = 0; i < form.count; ++i)
    if (form.saver[i]->save(form.list[i], on_server, profile) != 0) saved = 0;
  if (!SaveProfileFormSettings(screen, shown, form.server_form)) saved = 0;
  return saved;
}

INT_PTR AddProfileDialog(HWND owner, const char* server, uint32_t request, DWORD type) {
  AddProfileState state = {server, request, type, 0};
  return DialogBoxParamA(g_library.instance, "ADD_PROFILE", owner, add_profile_proc, reinterpret_cast<LPARAM>(&state));
}

CurrentProfile current_profile() {
  CurrentProfile profile = {};
  HWND list = IsWindow(g_profile_list) ? g_profile_list : nullptr;
  int row = selected_row_number(list) - 1;
  LPARAM record = 0;
  if (row >= 0) {
    if (!read_list_row(list, row, profile.name, sizeof profile.name, &record)) profile.name[0] = '\0';
    if (profile.name[0] && profile_row_server(reinterpret_cast<const BYTE*>(record), profile.server,
                                              sizeof profile.server))
      return profile;
  }
  copy_text(profile.server, sizeof profile.server, current_server().name);
  return profile;
}

namespace {

// The baseline copy of the selected group policy profile, below the BaselinePath it has saved: the path
// the agent compares against, not what the form shows unapplied (chosen).
DWORD create_profile_baseline(const CurrentProfile& profile) {
  const char* title = "UNABLE TO CREATE GPO BASELINE";
  if (profile.name[0] == '\0') {
    show_message(nullptr, "Please select a Group Policy Profile first.", title, MB_ICONEXCLAMATION);
    return 0;
  }
  static char path[4097];
  path[0] = '\0';
  DWORD unused = 0;
  GetProfileItem(profile.server, profile.name, kBaselinePathItem, &unused, path);
  if (path[0] == '\0') {
    char message[400];
    std::snprintf(message, sizeof message, "Profile %.200s has no Baseline Path saved; enter one and apply it first.",
                  profile.name);
    show_message(nullptr, message, title, MB_ICONEXCLAMATION);
    return 0;
  }
  return CreateGpoBaseline(profile.server, path) == 0 ? 1 : 0;
}

}  // namespace

DWORD ProfileScreenButton(HWND screen, const uintptr_t* descriptor, HWND companion, int) {
  CurrentServer server = current_server();
  uint32_t id = descriptor_identifier(descriptor);
  switch (id) {
    case 0x60210027:
    case 0x602100CC:
      if (AddProfileDialog(screen, server.name, id, 0) == IDOK) refresh(companion);
      return 1;
    case 0x6021002A:
    case 0x602100CF:
      if (AddProfileDialog(screen, server.name, id, kProfileLogon) == IDOK) refresh(companion);
      return 1;
    case 0x60210028:
    case 0x602100CD:
      return delete_selected_profiles(companion, server.name);
    case 0x60210037:
      return add_ip_range(screen, companion);
    case 0x60210038:
      return remove_selected_rows(companion, nullptr, nullptr);
    case 0x6021003A: {
      char address[300];
      read_screen_field(screen, kAlertEmailField, address, sizeof address);
      return AddAlertEmail(companion, address, nullptr);
    }
    case 0x6021003B:
      return remove_selected_rows(companion, "Remove the selected Alert Email Address(es) from this Profile?",
                                  "Remove Alert Email Address from Profile");
    case 0x6021003E: {
      CurrentProfile profile = current_profile();
      EditEmailAlertAccounts(screen, profile.server, profile.name);
      return 1;
    }
    case kApplyFormButton:
      return SaveProfileForm(screen, server.name, current_profile());
    case kCreateBaselineButton:
      return create_profile_baseline(current_profile());
    case kAddFileEntry:
    case kChangeFileEntry:
    case kAddShare:
    case kAddExcludedFile:
      return file_entry_button(screen, companion, id);
    default:
      if (id >= 0x60210105 && id <= 0x6021010E) {
        MovePairedRows(companion, second_companion(descriptor));
        return 1;
      }
      // The add and remove pairs of the profile screens' name lists: each even button adds the entry typed
      // into its second companion field to its companion list, each odd one removes the list's selected rows.
      if (id >= kFirstAddRemoveButton && id <= kLastAddRemoveButton)
        return (id & 1) == 0 ? add_typed_entry(companion, second_companion(descriptor))
                             : remove_selected_rows(companion, nullptr, nullptr);
      return check_option_group(screen, id);
  }
}

bool selected_profile_row(ProfileRow* row) {
  HWND list = IsWindow(g_profile_list) ? g_profile_list : nullptr;
  int selected = selected_row_number(list) - 1;
  return selected >= 0 && profile_row(reinterpret_cast<const BYTE*>(list_row_param(list, selected)), row);
}

DWORD ProfileScreenList(HWND control, uint32_t id, BYTE* record, HWND companion) {
  if (is_profile_list(id)) {
    g_profile_list = control;
    ListProfiles(current_server().name, control, record);
    return 1;
  }
  CurrentProfile current = current_profile();
  const char* server = current.server;
  const char* profile = current.name;
  // A form's lists come with its single settings: each list event shows them as stored.
  FillProfileFormSettings(GetParent(control), current, on_server_form(control));
  switch (id) {
    case 0x60240042: ListFileTrackingEntries(server, profile, control, record); return 1;
    case 0x602400F5:
      ListTrackedKerberosCodes(server, profile, control, record);
      // The codes to choose from fill the list's companion (the other list of its pair), once.
      if (companion && SendMessageA(companion, LVM_GETITEMCOUNT, 0, 0) == 0) ListKerberosCodes(companion, nullptr);
      return 1;
    case 0x6024002B: ListIpRanges(server, profile, control, record); return 1;
    case 0x6024002C: ListAlertEmails(server, profile, control, record); return 1;
    // The server's form shows what the apply saves onto its product key.
    case 0x603400AC: ListAlertEmails(current_server().name, "", control, record); return 1;
    case 0x602400F0:
      if (on_server_form(control)) ListLogonNames(current_server().name, "", control, record);
      else ListLogonNames(server, profile, control, record);
      return 1;
    case 0x60240097: ListExcluded(server, profile, control, record); return 1;
    case 0x602400A3: GetDirectoryTrackingDetails(server, profile, control, nullptr, nullptr); return 1;
    case 0x602400A6: GetDirectoryTrackingDetails(server, profile, nullptr, control, nullptr); return 1;
    case 0x602400AA: GetDirectoryTrackingDetails(server, profile, nullptr, nullptr, control); return 1;
    case 0x602400DA: ListGposTracked(server, profile, control); return 1;
    default: return kResultNotHandled;
  }
}
