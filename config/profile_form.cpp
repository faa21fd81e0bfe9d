// The single settings of a profile form (its alert, Kerberos filter, local logon,
// group policy and pattern alerting check boxes and fields), shown from the
// profile and written by the form's apply.
#include <cstdio>

#include "config/profiles.h"
#include "config/registry.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"

namespace {

enum class Setting : uint8_t {
  kConsoleAlert,
  kCentralAlert,
  kKerberosFilter,
  kLocalLogons,
  kGpoItem,         // one value per box, through SetGpoProfileItem
  kBaselineOn,      // the two baseline buttons: BaselineFlags 0x80000000 or 0
  kBaselineOff,
  kBaselinePath,
  kPatternSwitch,
  kPatternCount,
  kPatternFirst,
  kPatternSecond,
  kPatternActivity,  // value: the activity bit
  kPatternMode,      // value: the mode
};

struct FormSetting {
  uint32_t id;
  Setting what;
  DWORD value;
};

constexpr DWORD kBaselineOnFlags = 0x80000000;

constexpr FormSetting kFormSettings[] = {
    {0x6028002D, Setting::kConsoleAlert, 0},     {0x6028003D, Setting::kCentralAlert, 0},
    {0x602800F4, Setting::kKerberosFilter, 0},   {0x602800F8, Setting::kLocalLogons, 0},
    {0x602800DB, Setting::kGpoItem, 0},          {0x602800DC, Setting::kGpoItem, 0},
    {0x602800DD, Setting::kGpoItem, 0},          {0x602800DE, Setting::kGpoItem, 0},
    {0x602800DF, Setting::kGpoItem, 0},          {0x602800E0, Setting::kGpoItem, 0},
    {0x602800E1, Setting::kGpoItem, 0},          {0x602800E2, Setting::kGpoItem, 0},
    {0x602800E3, Setting::kGpoItem, 0},          {0x602800E4, Setting::kGpoItem, 0},
    {0x602800EE, Setting::kGpoItem, 0},          {0x602800EF, Setting::kGpoItem, 0},
    // Chosen: the first baseline button stands for 0x80000000, the second for 0.
    {0x602100E5, Setting::kBaselineOn, 0},       {0x602100E6, Setting::kBaselineOff, 0},
    {0x602800E8, Setting::kBaselinePath, 0},     {0x603800FF, Setting::kPatternSwitch, 0},
    {0x60380100, Setting::kPatternCount, 0},     {0x60380101, Setting::kPatternFirst, 0},
    {0x60380105, Setting::kPatternSecond, 0},    {0x60380102, Setting::kPatternActivity, 1},
    {0x60380103, Setting::kPatternActivity, 2},  {0x60380104, Setting::kPatternActivity, 4},
    {0x60310106, Setting::kPatternMode, 16},     {0x60310107, Setting::kPatternMode, 32},
    {0x60310108, Setting::kPatternMode, 64},
};
constexpr size_t kFormSettingCount = sizeof kFormSettings / sizeof kFormSettings[0];

// The settings' controls that one walk of a form finds (null: not on the form).
struct FormControls {
  HWND control[kFormSettingCount];
  bool any;
};

bool note_setting_control(HWND control, void* context) {
  auto* form = static_cast<FormControls*>(context);
  const uintptr_t* d = control_descriptor_of(control);
  if (d == nullptr || descriptor_module(d) != kModuleNumber) return true;
  for (size_t i = 0; i < kFormSettingCount; ++i) {
    if (kFormSettings[i].id != descriptor_identifier(d) || form->control[i]) continue;
    form->control[i] = control;
    form->any = true;
  }
  return true;
}

FormControls find_setting_controls(HWND screen) {
  FormControls form = {};
  walk_screen_controls(screen, note_setting_control, &form);
  return form;
}

bool checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void set_checked(HWND box, bool on) { SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

// A count typed into a field: its leading digits (none: 0), at most 4294967295.
DWORD field_number(HWND field) {
  char text[32] = {};
  GetWindowTextA(field, text, sizeof text);
  unsigned long long value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9' && value <= 0xFFFFFFFFull; ++p) value = value * 10 + (*p - '0');
  return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

void show_number(HWND field, DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  SetWindowTextA(field, text);
}

// Whether the form shows a profile's settings: a profile is selected and the form is not the server's.
bool profile_shown(const CurrentProfile& shown, bool server_form) { return shown.name[0] != '\0' && !server_form; }

// A value that could not be written, said with its name and the Windows error.
void report_failed_value(const char* title, const char* value, DWORD rc, const CurrentProfile& shown) {
  char text[400];
  std::snprintf(text, sizeof text, "Error [%d] occurred while updating %s of Profile %.130s on server %.100s.",
                static_cast<int>(rc), value, shown.name, shown.server);
  show_message(nullptr, text, title, MB_ICONERROR);
}

}  // namespace

void FillProfileFormSettings(HWND screen, const CurrentProfile& shown, bool server_form) {
  if (!profile_shown(shown, server_form)) return;
  FormControls form = find_setting_controls(screen);
  if (!form.any) return;
  // One connection, so that a server that cannot be reached says so once.
  HKEY root;
  if (ConnectServerRegistry(shown.server, &root, "UNABLE TO GET PROFILE ITEM DETAILS", 0) != 0 || root == nullptr)
    return;
  PatternSettings pattern = {};
  GetPatternTracking(shown.server, shown.name, &pattern);
  static char path[4097];
  for (size_t i = 0; i < kFormSettingCount; ++i) {
    HWND control = form.control[i];
    if (control == nullptr) continue;
    const FormSetting& s = kFormSettings[i];
    DWORD value = 0;
    switch (s.what) {
      case Setting::kBaselinePath:
        GetProfileItem(shown.server, shown.name, s.id, &value, path);
        SetWindowTextA(control, path);
        break;
      case Setting::kBaselineOn:
      case Setting::kBaselineOff:
        GetProfileItem(shown.server, shown.name, s.id, &value, nullptr);
        set_checked(control, ((value & kBaselineOnFlags) != 0) == (s.what == Setting::kBaselineOn));
        break;
      case Setting::kPatternSwitch: set_checked(control, pattern.on != 0); break;
      case Setting::kPatternCount: show_number(control, pattern.on ? pattern.count : 0); break;
      case Setting::kPatternFirst: show_number(control, pattern.on ? pattern.first : 0); break;
      case Setting::kPatternSecond: show_number(control, pattern.on ? pattern.second : 0); break;
      case Setting::kPatternActivity: set_checked(control, (pattern.mask & s.value) != 0); break;
      case Setting::kPatternMode: set_checked(control, pattern.on && pattern.mode == s.value); break;
      default:
        GetProfileItem(shown.server, shown.name, s.id, &value, nullptr);
        set_checked(control, value != 0);
        break;
    }
  }
}

DWORD SaveProfileFormSettings(HWND screen, const CurrentProfile& shown, bool server_form) {
  if (!profile_shown(shown, server_form)) return 1;
  FormControls form = find_setting_controls(screen);
  if (!form.any) return 1;
  HKEY root;
  if (ConnectServerRegistry(shown.server, &root, "UNABLE TO SET PROFILE ITEM DETAILS", 0) != 0 || root == nullptr)
    return 0;
  const char* const item_title = "UNABLE TO SET PROFILE ITEM DETAILS";
  const char* const gpo_title = "UNABLE TO SET GPO PROFILE ITEM DETAILS";
  DWORD saved = 1;
  auto note = [&](DWORD rc, const char* title, const char* value) {
    if (rc == 0) return;
    report_failed_value(title, value, rc, shown);
    saved = 0;
  };
  HWND console = nullptr, central = nullptr, pattern_switch = nullptr;
  DWORD mask = 0, count = 0, first = 0, second = 0, mode = 0;
  static char path[4097];
  for (size_t i = 0; i < kFormSettingCount; ++i) {
    HWND control = form.control[i];
    if (control == nullptr) continue;
    const FormSetting& s = kFormSettings[i];
    switch (s.what) {
      case Setting::kConsoleAlert: console = control; break;
      case Setting::kCentralAlert: central = control; break;
      case Setting::kKerberosFilter:
        note(SetFilterByKerberosErrors(shown.server, shown.name, checked(control)), item_title,
             "FilterByKerberosErrors");
        break;
      case Setting::kLocalLogons:
        note(SetIncludeLocalLogons(shown.server, shown.name, checked(control)),
             "UNABLE TO SET PROFILE LOCAL LOGON TRACKING OPTION", "IncludeLocalLogons");
        break;
      case Setting::kGpoItem:
        note(SetGpoProfileItem(nullptr, shown.server, shown.name, s.id, checked(control), nullptr), gpo_title,
             profile_item_value_name(s.id));
        break;
      // A pressed baseline button sets the flags it stands for; with neither pressed they stay.
      case Setting::kBaselineOn:
      case Setting::kBaselineOff:
        if (checked(control))
          note(SetGpoProfileItem(nullptr, shown.server, shown.name, s.id,
                                 s.what == Setting::kBaselineOn ? kBaselineOnFlags : 0, nullptr),
               gpo_title, "BaselineFlags");
        break;
      case Setting::kBaselinePath:
        GetWindowTextA(control, path, sizeof path);
        note(SetGpoProfileItem(nullptr, shown.server, shown.name, s.id, 0, path), gpo_title, "BaselinePath");
        break;
      case Setting::kPatternSwitch: pattern_switch = control; break;
      case Setting::kPatternCount: count = field_number(control); break;
      case Setting::kPatternFirst: first = field_number(control); break;
      case Setting::kPatternSecond: second = field_number(control); break;
      case Setting::kPatternActivity:
        if (checked(control)) mask |= s.value;
        break;
      case Setting::kPatternMode:
        if (checked(control)) mode = s.value;
        break;
    }
  }
  if (console || central) {
    // An alert box the form does not have keeps its stored value.
    DWORD console_on = 0, central_on = 0;
    if (console) console_on = checked(console);
    else GetProfileItem(shown.server, shown.name, kFormSettings[0].id, &console_on, nullptr);
    if (central) central_on = checked(central);
    else GetProfileItem(shown.server, shown.name, kFormSettings[1].id, &central_on, nullptr);
    note(SetProfileAlerts(shown.server, shown.name, central_on, console_on), item_title,
         "CentralAlert and ConsoleAlert");
  }
  if (pattern_switch) {
    BYTE record[kPatternBytes];
    BuildPatternRecord(mask, count, first, second, mode, record);
    note(SetPatternTracking(shown.server, shown.name, checked(pattern_switch) ? record : nullptr),
         "UNABLE TO SET PROFILE PATTERN ALERT DETAILS", "PatternTracking");
  }
  return saved;
}

bool is_profile_pattern_control(uint32_t id) {
  for (const FormSetting& s : kFormSettings)
    if (s.id == id)
      return s.what == Setting::kPatternSwitch || s.what == Setting::kPatternCount ||
             s.what == Setting::kPatternFirst || s.what == Setting::kPatternSecond ||
             s.what == Setting::kPatternActivity || s.what == Setting::kPatternMode;
  return false;
}
