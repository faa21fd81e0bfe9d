#include "console/profile_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/confirmation.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/list_view.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "resources/resource.h"
#include "win32/ui_script.h"

namespace console {
namespace {

// The host's screens: the servers, the profiles and a profile's form.
constexpr uint16_t kServerScreenKey = 2;
constexpr uint16_t kProfileScreenKey = 23;
constexpr uint16_t kFormKey = 24;
constexpr int kServerListItem = 200;
constexpr int kProfileListItem = 105;
constexpr int kFormListItem = 110;
constexpr int kOfferedListItem = 111;
constexpr int kTypedFieldItem = 112;
constexpr uint32_t kProfileList = 0x6024000A;
constexpr uint32_t kAddProfileOnServer = 0x602100CC;
constexpr uint32_t kDeleteProfiles = 0x60210028;
constexpr uint32_t kApplyButton = 0x60A12002;
constexpr uint32_t kBaselineButton = 0x602100E9;
constexpr uint32_t kBaselinePathField = 0x602800E8;
constexpr uint32_t kAlertEmailList = 0x6024002C;
// The display fields that describe the selected profile, in their order.
constexpr uint32_t kDetailName = 0x6022000B, kDetailType = 0x6022000C, kDetailDisabled = 0x6022000D,
                   kDetailAlerts = 0x6022000E, kDetailExcluded = 0x6022000F, kDetailPattern = 0x60220010,
                   kDetailCreator = 0x60220011, kDetailCreated = 0x60220012;

const char* const kTypeKeywords[] = {"VNX_LOGIN_TRACK", "VNX_FS_TRACK", "VNX_FAILED_LOGIN", "VNX_AD_EVENT",
                                     "VNX_GPO_EVENT"};

// ---- Rows of the host's lists ------------------------------------------------------

bool same_text(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The first row whose text is the name (case ignored); -1 when none is.
int find_row(HWND list, const std::string& name) {
  for (int row = 0; row < row_count(list); ++row)
    if (same_text(row_text(list, row), name)) return row;
  return -1;
}

void select_only(HWND list, int chosen) {
  for (int row = 0; row < row_count(list); ++row) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = row == chosen ? LVIS_SELECTED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  }
}

HWND add_list(HWND screen, int item, uint32_t id, uint16_t companion_key = 0, uint16_t companion_item = 0) {
  return host::add_control(screen, item, WC_LISTVIEWA, "",
                           host::ControlSpec{id, kDescriptorListView, companion_key, companion_item});
}

HWND add_box(HWND screen, int item, uint32_t id) {
  return host::add_control(screen, item, "Button", "", host::ControlSpec{id, kDescriptorCheckBox});
}

HWND add_field(HWND screen, int item, uint32_t id) {
  return host::add_control(screen, item, "Edit", "", host::ControlSpec{id, kDescriptorEditField});
}

// ---- The library and its screens ---------------------------------------------------

struct Session {
  Library l;
  std::string server;
  HWND servers = nullptr;
  HWND profiles_screen = nullptr;
  HWND profiles = nullptr;
  std::vector<HWND> lists;  // every list the library filled, whose rows go back to it at the end
};

// Presses a button of a screen whose companion (and second companion) are controls of a screen; the result.
DWORD press(Session& s, HWND screen, int item, uint32_t id, uint16_t key, uint16_t companion, uint16_t second = 0) {
  HWND button = host::add_control(screen, item, "Button", "", host::ControlSpec{id, kDescriptorPushButton, key, companion});
  uintptr_t* d = host::descriptor_of(button);
  if (second) {
    set_descriptor_half(d, 12, key);
    set_descriptor_half(d, 13, second);
  }
  return s.l.library.entry_point_button_services(screen, 0, d);
}

void list_again(Session& s, HWND list) {
  release_rows(s.l, list);
  host::send_list_event(s.l.library, list);
}

void end(Session& s) {
  ui::clear_script();
  for (HWND list : s.lists) release_rows(s.l, list);
  host::unload_library(&s.l.library);
}

// The library loaded with the host's services, the server selected in the console's server list and
// its profiles listed, as the user finds them on the profile screen.
bool begin(Session& s, const std::string& server) {
  if (!start(&s.l)) return false;
  s.server = server;
  HWND servers_screen = host::create_screen(kServerScreenKey, "Servers");
  s.servers = add_list(servers_screen, kServerListItem, kConsoleServerList);
  host::send_list_event(s.l.library, s.servers);
  int row = find_row(s.servers, server);
  if (row < 0 || !ui::click_row(s.servers, row)) {
    fail(server + " is not a known server of this console (vornix-console servers lists them)");
    end(s);
    return false;
  }
  s.profiles_screen = host::create_screen(kProfileScreenKey, "Profiles");
  s.profiles = add_list(s.profiles_screen, kProfileListItem, kProfileList);
  s.lists.push_back(s.profiles);
  host::send_list_event(s.l.library, s.profiles);
  return true;
}

// The profile selected as a click selects it; false after saying the server has none of the name.
bool select_profile(Session& s, const std::string& name) {
  int row = find_row(s.profiles, name);
  if (row >= 0 && ui::click_row(s.profiles, row)) return true;
  fail(s.server + " has no profile " + name + " (vornix-console profiles --server " + s.server + " lists them)");
  return false;
}

// A display field's text as the library gives it for the selected profile.
std::string detail(Session& s, uint32_t id) {
  char text[2048] = {};
  LONG value = 0;
  s.l.text(s.profiles_screen, nullptr, 0, 0, 0, 1, text, &value, 0, 0, 0, id, kModuleNumber);
  return text;
}

// A profile's form, whose controls a command adds.
HWND open_form(const char* title) { return host::create_screen(kFormKey, title); }

// ---- profiles --------------------------------------------------------------------

int run_profiles(Session& s, Format format) {
  Listing listing{"Profiles on " + s.server + ": " + std::to_string(row_count(s.profiles)),
                  {"name", "type", "state", "alerts", "flags", "created by", "created"}, {}};
  listing.heading = true;
  for (int row = 0; row < row_count(s.profiles); ++row) {
    ui::click_row(s.profiles, row);
    std::string flags;
    if (detail(s, kDetailExcluded) == "TRUE") flags += "excluded-accounts";
    if (detail(s, kDetailPattern) == "TRUE") flags += flags.empty() ? "pattern" : " pattern";
    listing.rows.push_back({detail(s, kDetailName), detail(s, kDetailType),
                            detail(s, kDetailDisabled) == "TRUE" ? "disabled" : "enabled", detail(s, kDetailAlerts),
                            flags, detail(s, kDetailCreator), detail(s, kDetailCreated)});
  }
  print_listing(listing, format);
  return 0;
}

// ---- profile create|enable|disable|delete ---------------------------------------------

int run_create(Session& s, const std::string& name, const std::string& keyword, bool confirmed) {
  std::vector<std::string> before = row_texts(s.profiles);
  // The library makes a profile of a name that is there again over it, type and all, without asking.
  const std::string plain = name.substr(name.find_first_not_of('.') == std::string::npos ? 0 : name.find_first_not_of('.'));
  for (const std::string& old : before)
    if (same_text(old, plain) && !confirmed)
      return not_confirmed(s.server + " has a profile " + old + " already: it was not made again as " + keyword);
  // The user picks the type by typing its keyword into the type list, types the name and presses OK; a
  // refused name closes the dialog.
  ui::clear_journal();
  ui::script({"ADD_PROFILE", IDOK, "", {{IDC_PROFILE_TYPES, keyword}, {IDC_PROFILE_NAME, name}}});
  ui::script({"ADD_PROFILE", IDCANCEL, "", {}});
  press(s, s.profiles_screen, 300, kAddProfileOnServer, kProfileScreenKey, kProfileListItem);
  ui::clear_script();
  bool created = false;
  for (const ui::JournalEntry& e : ui::journal()) created |= e.template_name == "ADD_PROFILE" && e.result == IDOK;
  if (!created) return fail("profile " + name + " was not created (see the messages above)");
  list_again(s, s.profiles);
  // The name as it was stored: the row that is new, else (made again) the row of the name.
  std::string stored;
  for (const std::string& row : row_texts(s.profiles)) {
    bool listed = false;
    for (const std::string& old : before) listed |= same_text(old, row);
    if (!listed) stored = row;
  }
  if (stored.empty()) stored = name.substr(name.find_first_not_of('.') == std::string::npos ? 0 : name.find_first_not_of('.'));
  std::printf("%s: profile %s (%s) created\n", s.server.c_str(), stored.c_str(), keyword.c_str());
  return 0;
}

int run_enable(Session& s, const std::string& name, bool disable) {
  if (!select_profile(s, name)) return 1;
  int row = find_row(s.profiles, name);
  const char* wanted = disable ? "DISABLE selected Profiles" : "ENABLE selected Profiles";
  BYTE* record = support::read_row(s.profiles, row).record;
  host::MenuEntries entries;
  host::request_menu(s.l.library, s.profiles, kProfileList, record, kDescriptorListView, &entries);
  int position = -1;
  for (int i = 0; i < kMenuPositions && position < 0; ++i)
    if (std::string(entries[i].data()) == wanted) position = i;
  if (position < 0) return fail("the profile list's menu offers no \"" + std::string(wanted) + "\"");
  if (host::choose_menu_entry(s.l.library, kProfileList, record, position, s.profiles_screen) != 1)
    return fail("profile " + name + " was not changed (see the messages above)");
  std::printf("%s: profile %s %s\n", s.server.c_str(), row_text(s.profiles, row).c_str(),
              disable ? "disabled" : "enabled");
  return 0;
}

int run_delete(Session& s, const std::string& name, bool confirmed) {
  if (!select_profile(s, name)) return 1;
  std::string shown = row_text(s.profiles, find_row(s.profiles, name));
  forget_last_message();
  ui::script({"CONFIRM PROFILE DELETE", confirmation_answer(confirmed, IDOK, IDCANCEL), "", {}});
  press(s, s.profiles_screen, 301, kDeleteProfiles, kProfileScreenKey, kProfileListItem);
  ui::clear_script();
  if (!confirmed) return not_confirmed("profile " + shown + " was not deleted");
  if (find_row(s.profiles, name) >= 0) return fail("profile " + shown + " was not deleted (see the messages above)");
  std::printf("%s: profile %s deleted\n", s.server.c_str(), shown.c_str());
  return 0;
}

// ---- profile-settings --------------------------------------------------------------

struct Box {
  const char* name;
  uint32_t id;
};
constexpr Box kSwitches[] = {{"console-alert", 0x6028002D},
                             {"central-alert", 0x6028003D},
                             {"kerberos-filter", 0x602800F4},
                             {"local-logons", 0x602800F8}};
constexpr Box kGpoBoxes[] = {{"all-gpos", 0x602800DB},          {"gplink", 0x602800DC},
                             {"create", 0x602800DD},            {"delete", 0x602800DE},
                             {"version-change-ad", 0x602800DF}, {"status-change-ad", 0x602800E0},
                             {"defs-change-ad", 0x602800E1},    {"defs-change-sv", 0x602800E2},
                             {"nondefs-change-sv", 0x602800E3}, {"save-previous-sv-file", 0x602800E4},
                             {"change-ad-only", 0x602800EE},    {"core-change-sv", 0x602800EF}};
constexpr uint32_t kBaselineOn = 0x602100E5, kBaselineOff = 0x602100E6;
constexpr uint32_t kPatternSwitch = 0x603800FF;
constexpr uint32_t kPatternFields[3] = {0x60380100, 0x60380101, 0x60380105};  // count, first, second interval
constexpr uint32_t kPatternActivity[3] = {0x60380102, 0x60380103, 0x60380104};  // bits 1, 2, 4
constexpr uint32_t kPatternModes[3] = {0x60310106, 0x60310107, 0x60310108};     // modes 16, 32, 64
constexpr DWORD kModeValues[3] = {16, 32, 64};

// The form's controls by identifier.
struct SettingsForm {
  HWND screen = nullptr;
  HWND emails = nullptr;  // the list whose event fills the form
  std::vector<std::pair<uint32_t, HWND>> controls;
  HWND control(uint32_t id) const {
    for (const auto& [each, window] : controls)
      if (each == id) return window;
    return nullptr;
  }
};

bool checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void set_checked(HWND box, bool on) { SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
std::string text_of(HWND field) {
  char text[4200] = {};
  GetWindowTextA(field, text, sizeof text);
  return text;
}

// The form of a profile of this type (its label), with the controls such a form has: alerts and pattern
// alerting on every one, local logons on a logon profile's, the Kerberos filter on a failed-logon
// profile's, the items and the baseline on a group policy profile's.
SettingsForm open_settings_form(Session& s, const std::string& type) {
  SettingsForm form;
  form.screen = open_form("Profile settings");
  int item = 400;
  auto box = [&](uint32_t id) { form.controls.push_back({id, add_box(form.screen, item++, id)}); };
  auto field = [&](uint32_t id) { form.controls.push_back({id, add_field(form.screen, item++, id)}); };
  box(kSwitches[0].id);
  box(kSwitches[1].id);
  if (type == "Failed Logon Activity") box(kSwitches[2].id);
  if (type == "Logon / Logoff Activity") box(kSwitches[3].id);
  if (type == "GPO Change Activity") {
    for (const Box& b : kGpoBoxes) box(b.id);
    box(kBaselineOn);
    box(kBaselineOff);
    field(kBaselinePathField);
  }
  box(kPatternSwitch);
  for (uint32_t id : kPatternFields) field(id);
  for (uint32_t id : kPatternActivity) box(id);
  for (uint32_t id : kPatternModes) box(id);
  form.emails = add_list(form.screen, kFormListItem, kAlertEmailList);
  s.lists.push_back(form.emails);
  host::send_list_event(s.l.library, form.emails);
  return form;
}

// The settings as the form shows them.
void print_settings(const SettingsForm& form) {
  auto on_off = [&](uint32_t id) { return checked(form.control(id)) ? "on" : "off"; };
  for (const Box& b : kSwitches)
    if (form.control(b.id)) std::printf("  %-26s %s\n", b.name, on_off(b.id));
  if (form.control(kBaselinePathField)) {
    for (const Box& b : kGpoBoxes) std::printf("  gpo %-22s %s\n", b.name, on_off(b.id));
    std::printf("  %-26s %s\n", "baseline", on_off(kBaselineOn));
    std::printf("  %-26s %s\n", "baseline-path", text_of(form.control(kBaselinePathField)).c_str());
  }
  if (!checked(form.control(kPatternSwitch))) {
    std::printf("  %-26s off\n", "pattern");
    return;
  }
  unsigned activity = 0, mode = 0;
  for (int i = 0; i < 3; ++i) {
    if (checked(form.control(kPatternActivity[i]))) activity |= 1u << i;
    if (checked(form.control(kPatternModes[i]))) mode = kModeValues[i];
  }
  std::printf("  %-26s %s in %s/%s min, activity %u, mode %u\n", "pattern",
              text_of(form.control(kPatternFields[0])).c_str(), text_of(form.control(kPatternFields[1])).c_str(),
              text_of(form.control(kPatternFields[2])).c_str(), activity, mode);
}

bool is_number(const std::string& text) {
  return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

// One change to the form: a control and what the user does to it.
struct Change {
  const char* option;  // the option that asks for it
  uint32_t id;
  bool field;  // typed into, else a box checked or cleared
  bool on;
  std::string text;
};

// The changes the options ask for; false with the reason when one is wrong.
bool take_changes(std::vector<std::string>& args, std::vector<Change>* changes, std::string* error) {
  bool missing = false;
  const char* option_name = "";
  auto on_off = [&](const std::string& option, const std::string& value, uint32_t id) {
    if (value.empty()) return true;
    if (value != "on" && value != "off") {
      *error = option + " takes on or off";
      return false;
    }
    changes->push_back({option_name, id, false, value == "on", ""});
    return true;
  };
  for (const Box& b : kSwitches) {
    option_name = b.name;
    if (!on_off(std::string("--") + b.name, take_option(args, std::string("--") + b.name, &missing), b.id)) return false;
  }
  for (const std::string& gpo : take_options(args, "--gpo", &missing)) {
    size_t equals = gpo.find('=');
    const Box* found = nullptr;
    for (const Box& b : kGpoBoxes)
      if (equals != std::string::npos && gpo.compare(0, equals, b.name) == 0) found = &b;
    option_name = "gpo";
    if (found == nullptr || !on_off("--gpo " + gpo.substr(0, equals), gpo.substr(equals + 1), found->id)) {
      *error = "--gpo takes ITEM=on|off with ITEM one of all-gpos, gplink, create, delete, version-change-ad, "
               "status-change-ad, defs-change-ad, defs-change-sv, nondefs-change-sv, save-previous-sv-file, "
               "change-ad-only, core-change-sv";
      return false;
    }
  }
  std::string baseline = take_option(args, "--baseline", &missing);
  if (baseline == "on" || baseline == "off") {
    // The user presses the button of the state wanted; the other is released.
    changes->push_back({"baseline", kBaselineOn, false, baseline == "on", ""});
    changes->push_back({"baseline", kBaselineOff, false, baseline == "off", ""});
  } else if (!baseline.empty()) {
    *error = "--baseline takes on or off";
    return false;
  }
  std::string path = take_option(args, "--baseline-path", &missing);
  if (!path.empty()) changes->push_back({"baseline-path", kBaselinePathField, true, false, path});
  if (take_flag(args, "--no-baseline-path")) changes->push_back({"baseline-path", kBaselinePathField, true, false, ""});
  std::string pattern = take_option(args, "--pattern", &missing);
  if (pattern == "off") {
    changes->push_back({"pattern", kPatternSwitch, false, false, ""});
  } else if (!pattern.empty()) {
    size_t a = pattern.find('/'), b = a == std::string::npos ? a : pattern.find('/', a + 1);
    std::string parts[3] = {pattern.substr(0, a), a == std::string::npos ? "" : pattern.substr(a + 1, b - a - 1),
                            b == std::string::npos ? "" : pattern.substr(b + 1)};
    for (const std::string& part : parts)
      if (!is_number(part)) {
        *error = "--pattern takes off or COUNT/FIRST/SECOND (whole numbers: occurrences, then two intervals)";
        return false;
      }
    changes->push_back({"pattern", kPatternSwitch, false, true, ""});
    for (int i = 0; i < 3; ++i) changes->push_back({"pattern", kPatternFields[i], true, false, parts[i]});
  }
  std::string activity = take_option(args, "--pattern-activity", &missing);
  if (!activity.empty()) {
    if (!is_number(activity) || std::atoi(activity.c_str()) > 7) {
      *error = "--pattern-activity takes a number from 0 to 7 (bits 1, 2 and 4)";
      return false;
    }
    for (int i = 0; i < 3; ++i)
      changes->push_back({"pattern-activity", kPatternActivity[i], false, (std::atoi(activity.c_str()) & (1 << i)) != 0,
                          ""});
  }
  std::string mode = take_option(args, "--pattern-mode", &missing);
  if (!mode.empty()) {
    int chosen = mode == "16" ? 0 : mode == "32" ? 1 : mode == "64" ? 2 : -1;
    if (chosen < 0) {
      *error = "--pattern-mode takes 16, 32 or 64";
      return false;
    }
    for (int i = 0; i < 3; ++i) changes->push_back({"pattern-mode", kPatternModes[i], false, i == chosen, ""});
  }
  if (missing) *error = "an option lacks its value";
  return !missing;
}

int run_settings(Session& s, const std::string& profile, const std::vector<Change>& changes) {
  if (!select_profile(s, profile)) return 1;
  std::string shown = detail(s, kDetailName), type = detail(s, kDetailType);
  SettingsForm form = open_settings_form(s, type);
  for (const Change& c : changes)
    if (form.control(c.id) == nullptr)
      return fail("profile " + shown + " (" + type + ") has no " + c.option + " setting; nothing was changed");
  std::printf("Settings of profile %s on %s:\n", shown.c_str(), s.server.c_str());
  print_settings(form);
  if (changes.empty()) return 0;
  for (const Change& c : changes) {
    if (c.field) SetWindowTextA(form.control(c.id), c.text.c_str());
    else set_checked(form.control(c.id), c.on);
  }
  HWND emails = form.emails;
  int status = 0;
  if (press(s, form.screen, 499, kApplyButton, kFormKey, kFormListItem) == 1)
    std::printf("saved to profile %s; as the form now shows it:\n", shown.c_str());
  else
    status = fail("the profile's settings were not all saved (see the messages above)");
  list_again(s, emails);
  print_settings(form);
  return status;
}

// ---- profile-list ----------------------------------------------------------------

struct ListKind {
  const char* name;
  uint32_t list;
  uint32_t add, remove;  // kerberos: the moves into and out of the tracked list
  bool server_wide;      // may be the product key's (no profile)
};
constexpr ListKind kListKinds[] = {
    {"kerberos", 0x602400F5, 0x6021010D, 0x6021010E, false},
    {"logon-names", 0x602400F0, 0x602100D0, 0x602100D1, true},
    {"excluded", 0x60240097, 0x602100D2, 0x602100D3, false},
    {"alert-emails", kAlertEmailList, 0x6021003A, 0x6021003B, true},
};
constexpr uint32_t kAlertEmailField = 0x6028003A;

// The row a user means: its whole text, or for a Kerberos code its number, or for an account its name
// after the domain (case ignored); -1 when none is.
int row_meant(HWND list, const ListKind& kind, const std::string& meant) {
  for (int row = 0; row < row_count(list); ++row) {
    std::string text = row_text(list, row);
    if (same_text(text, meant)) return row;
    if (kind.list == 0x602400F5 && is_number(meant) && std::atoi(text.c_str()) == std::atoi(meant.c_str())) return row;
    size_t slash = text.find('\\');
    if (kind.list == 0x60240097 && slash != std::string::npos && same_text(text.substr(slash + 1), meant)) return row;
  }
  return -1;
}

int run_list(Session& s, const ListKind& kind, const std::string& profile, const std::vector<std::string>& added,
             const std::vector<std::string>& removed, bool available, Format format) {
  if (!profile.empty() && !select_profile(s, profile)) return 1;
  std::string owner = profile.empty() ? "server-wide" : "of profile " + detail(s, kDetailName);
  HWND screen = open_form("Profile list");
  bool kerberos = kind.list == 0x602400F5;
  // The Kerberos list's companion offers the codes to choose from.
  HWND list = add_list(screen, kFormListItem, kind.list, kerberos ? kFormKey : 0, kerberos ? kOfferedListItem : 0);
  HWND offered = kerberos ? add_list(screen, kOfferedListItem, 0x602400F6) : nullptr;
  HWND typed = kind.list == kAlertEmailList ? add_field(screen, kTypedFieldItem, kAlertEmailField)
                                            : host::add_control(screen, kTypedFieldItem, "Edit", "", host::ControlSpec{});
  s.lists.push_back(list);
  if (offered) s.lists.push_back(offered);
  host::send_list_event(s.l.library, list);
  // Every row to remove must be there before anything is pressed.
  for (const std::string& each : removed)
    if (row_meant(list, kind, each) < 0) return fail(std::string(kind.name) + " " + owner + " has no " + each);
  for (const std::string& each : added)
    if (kerberos && row_meant(offered, kind, each) < 0) return fail("no Kerberos failure code " + each + " is offered");
  int status = 0;
  for (const std::string& each : removed) {
    select_only(list, row_meant(list, kind, each));
    if (kind.list == kAlertEmailList) ui::script({"Remove Alert Email Address from Profile", IDOK, "", {}});
    DWORD done = kerberos ? press(s, screen, 500, kind.remove, kFormKey, kFormListItem, kOfferedListItem)
                          : press(s, screen, 500, kind.remove, kFormKey, kFormListItem);
    if (done != 1) status = fail(each + " was not removed (see the messages above)");
  }
  for (const std::string& each : added) {
    DWORD done;
    if (kerberos) {
      select_only(offered, row_meant(offered, kind, each));
      done = press(s, screen, 501, kind.add, kFormKey, kOfferedListItem, kFormListItem);
    } else {
      SetWindowTextA(typed, each.c_str());
      done = press(s, screen, 501, kind.add, kFormKey, kFormListItem, kTypedFieldItem);
    }
    if (done != 1) status = fail(each + " was not added (see the messages above)");
  }
  ui::clear_script();
  // The form is applied only when every change was taken.
  if (status == 0 && (!added.empty() || !removed.empty())) {
    if (press(s, screen, 502, kApplyButton, kFormKey, kFormListItem) != 1)
      status = fail("the list was not saved (see the messages above)");
    else if (format == Format::kTable) std::printf("saved\n");
    else progress_note("saved");  // standard output keeps to the listing
    list_again(s, list);
  }
  // People get each list under its title; scripts one list whose rows name theirs.
  Listing all{"", {"list", "entry"}, {}};
  auto add = [&](const std::string& title, const char* name, HWND from) {
    Listing one{title + ": " + std::to_string(row_count(from)), {"entry"}, {}};
    for (const std::string& row : row_texts(from)) {
      one.rows.push_back({row});
      all.rows.push_back({name, row});
    }
    if (format == Format::kTable) print_listing(one, format);
  };
  add(std::string(kind.name) + " " + owner + " on " + s.server, kind.name, list);
  if (available && offered) add("offered", "offered", offered);
  if (format != Format::kTable) print_listing(all, format);
  return status;
}

// ---- gpo-baseline ------------------------------------------------------------------

int run_baseline(Session& s, const std::string& profile, const std::string& path) {
  if (!select_profile(s, profile)) return 1;
  if (!path.empty()) {
    // The path typed into the profile's form and applied, as the baseline button copies below the saved one.
    HWND screen = open_form("Group policy profile");
    SetWindowTextA(add_field(screen, 400, kBaselinePathField), path.c_str());
    if (press(s, screen, 499, kApplyButton, kFormKey, 0) != 1) return fail("the baseline path was not saved");
  }
  host::clear_service_calls();
  DWORD done = press(s, s.profiles_screen, 302, kBaselineButton, kProfileScreenKey, kProfileListItem);
  // The library's progress, as the host's status line showed it.
  const std::string status_line = "host_show_status_line ";
  for (const std::string& call : host::service_calls()) {
    size_t text = call.find(" text=");
    if (call.rfind(status_line, 0) == 0 && text != std::string::npos) std::printf("  %s\n", call.c_str() + text + 6);
  }
  return done == 1 ? 0 : fail(s.server + ": no baseline was made (see the messages above)");
}

// Runs a command on a session of the server.
template <typename Run>
int with_session(const std::string& server, Run run) {
  Session s;
  if (!begin(s, server)) return 1;
  int status = run(s);
  end(s);
  return status;
}

}  // namespace

int profiles_command(std::vector<std::string> args) {
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  Format format;
  if (!take_format(args, &format)) return 1;
  if (missing || server.empty() || !args.empty()) return usage_error("profiles takes --server NAME");
  return with_session(server, [&](Session& s) { return run_profiles(s, format); });
}

int profile_command(std::vector<std::string> args) {
  const std::string usage = "profile takes create|enable|disable|delete, a profile name and --server NAME "
                            "(create also --type KEYWORD)";
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string type = take_option(args, "--type", &missing);
  const bool confirmed = take_confirmation(args);
  if (missing || server.empty() || args.size() != 2) return usage_error(usage);
  std::string action = args[0], name = args[1];
  if (action != "create" && action != "enable" && action != "disable" && action != "delete")
    return usage_error("unknown profile action '" + action + "' (create, enable, disable or delete)");
  if (action == "create") {
    bool known = false;
    for (const char* keyword : kTypeKeywords) known |= type == keyword;
    if (!known)
      return usage_error("--type must be one of VNX_LOGIN_TRACK, VNX_FS_TRACK, VNX_FAILED_LOGIN, VNX_AD_EVENT, VNX_GPO_EVENT");
  } else if (!type.empty()) {
    return usage_error("only profile create takes --type");
  }
  return with_session(server, [&](Session& s) {
    if (action == "create") return run_create(s, name, type, confirmed);
    if (action == "delete") return run_delete(s, name, confirmed);
    return run_enable(s, name, action == "disable");
  });
}

int profile_settings_command(std::vector<std::string> args) {
  const std::string usage = "profile-settings takes --server NAME --profile NAME and the settings to change "
                            "(vornix-console profile-settings --help)";
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string profile = take_option(args, "--profile", &missing);
  std::vector<Change> changes;
  std::string error;
  if (!take_changes(args, &changes, &error)) return usage_error(error);
  if (missing || server.empty() || profile.empty() || !args.empty()) return usage_error(usage);
  return with_session(server, [&](Session& s) { return run_settings(s, profile, changes); });
}

int profile_list_command(std::vector<std::string> args) {
  const std::string usage = "profile-list takes kerberos|logon-names|excluded|alert-emails, --server NAME and "
                            "--profile NAME (logon names and alert e-mails without it: the server-wide ones)";
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string profile = take_option(args, "--profile", &missing);
  std::vector<std::string> added = take_options(args, "--add", &missing);
  std::vector<std::string> removed = take_options(args, "--remove", &missing);
  bool available = take_flag(args, "--available");
  Format format;
  if (!take_format(args, &format)) return 1;
  const ListKind* kind = nullptr;
  for (const ListKind& k : kListKinds)
    if (!args.empty() && args[0] == k.name) kind = &k;
  if (missing || server.empty() || kind == nullptr || args.size() != 1 || (profile.empty() && !kind->server_wide) ||
      (available && kind->list != 0x602400F5))
    return usage_error(usage);
  return with_session(server,
                      [&](Session& s) { return run_list(s, *kind, profile, added, removed, available, format); });
}

int gpo_baseline_command(std::vector<std::string> args) {
  const std::string usage = "gpo-baseline takes --server NAME --profile NAME and optionally --path SHARE_PATH";
  bool missing = false;
  std::string server = take_option(args, "--server", &missing);
  std::string profile = take_option(args, "--profile", &missing);
  std::string path = take_option(args, "--path", &missing);
  if (missing || server.empty() || profile.empty() || !args.empty()) return usage_error(usage);
  return with_session(server, [&](Session& s) { return run_baseline(s, profile, path); });
}

}  // namespace console
