// How the host presents the edit fields, drop-down lists, date fields and
// check boxes of the library's screens, and the marking of unsaved changes
// on the server configuration screens as the user types and clicks.
// (Applying a changed field is the configuration screens' work:
// config/edit_fields.cpp.)
#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"

namespace {

// Drop-down lists of the host's first style and of its second.
constexpr IdRange kFirstStyleDropDowns[] = {{0x10C81007, 0x10C81007}, {0x10C81020, 0x10C81020},
                                            {0x10C81022, 0x10C81022}, {0x10C81024, 0x10C81024},
                                            {0x101800BE, 0x101800BE}, {0x10180167, 0x10180167},
                                            {0x10180173, 0x10180173}, {0x6028008E, 0x6028008E}};
constexpr IdRange kSecondStyleDropDowns[] = {{0x60280055, 0x60280056}, {0x602800BA, 0x602800BF}};
constexpr IdRange kDateFields[] = {{0x101800BF, 0x101800C0}, {0x60480D13, 0x60480D14}};
constexpr DWORD kDateFieldStyle = DTS_SHOWNONE | DTS_RIGHTALIGN;
static_assert(kDateFieldStyle == 34, "the host's date field style");

// What is done to a field when its screen is built.
enum class Presentation : uint8_t {
  kLimit30,
  kLimit1024,
  kCheck,
  kUncheck,
  kUncheckThenRemembered,  // cleared, then checked when the last installation had it checked
  kEmptyStyled,  // the medium font in styled-dialog mode, then emptied
  kRememberedStyled,  // as kEmptyStyled, then the value remembered from the last installation
  kEmpty,
  kHideThenEmptyStyled,
  kHide,
  kShowSqlServer,
  kNone,
};

struct PresentationRule {
  IdRange ids;
  Presentation action;
  DWORD result;
};

using P = Presentation;
constexpr PresentationRule kPresentationRules[] = {
    {{0x60380116, 0x60380116}, P::kLimit30, 1},
    {{0x6038011F, 0x6038011F}, P::kLimit1024, 1},
    {{0x602800BC, 0x602800BC}, P::kCheck, 1},
    {{0x601800B3, 0x601800B4}, P::kUncheckThenRemembered, 3},
    {{0x602800B0, 0x602800B1}, P::kUncheck, 3},
    {{0x602800B3, 0x602800B5}, P::kUncheck, 3},
    {{0x602800B7, 0x602800B9}, P::kUncheck, 3},
    {{0x6038008F, 0x60380090}, P::kUncheck, 3},
    {{0x603800A0, 0x603800A0}, P::kUncheck, 3},
    {{0x603800B4, 0x603800B4}, P::kUncheck, 3},
    {{0x6038011B, 0x6038011B}, P::kUncheck, 3},
    {{0x60380120, 0x60380120}, P::kUncheck, 3},
    {{0x60F80025, 0x60F80026}, P::kUncheck, 3},
    {{0x60120009, 0x60120009}, P::kEmptyStyled, 1},
    {{0x60180001, 0x60180001}, P::kEmptyStyled, 1},
    {{0x60180002, 0x60180005}, P::kRememberedStyled, 1},
    {{0x6028005B, 0x6028005B}, P::kEmptyStyled, 1},
    {{0x602800FB, 0x602800FB}, P::kEmptyStyled, 1},
    {{0x60480921, 0x60480921}, P::kEmptyStyled, 1},
    {{0x60F8001A, 0x60F8001A}, P::kEmptyStyled, 1},
    {{0x10120160, 0x10120160}, P::kEmpty, 1},
    {{0x60280057, 0x60280057}, P::kHideThenEmptyStyled, 1},
    {{0x60280058, 0x60280058}, P::kHide, kResultNotHandled},
    {{0x603200E1, 0x603200E1}, P::kShowSqlServer, 1},
    // Emptied now, filled by the library later.
    {{0x602200AD, 0x602200AE}, P::kEmpty, 3},
    {{0x6028002F, 0x60280036}, P::kEmpty, 3},
    {{0x6028003C, 0x6028003C}, P::kEmpty, 3},
    {{0x602800C9, 0x602800C9}, P::kEmpty, 3},
    {{0x602800F3, 0x602800F3}, P::kEmpty, 3},
    {{0x60310113, 0x60310115}, P::kEmpty, 3},
    {{0x60320087, 0x60320087}, P::kEmpty, 3},
    {{0x603200E9, 0x603200E9}, P::kEmpty, 3},
    {{0x60320110, 0x60320110}, P::kEmpty, 3},
    {{0x60320117, 0x60320119}, P::kEmpty, 3},
    {{0x6038008A, 0x6038008B}, P::kEmpty, 3},
    {{0x6038008D, 0x6038008E}, P::kEmpty, 3},
    {{0x603800A7, 0x603800A7}, P::kEmpty, 3},
    {{0x603800AD, 0x603800AD}, P::kEmpty, 3},
    {{0x603800B5, 0x603800B5}, P::kEmpty, 3},
    {{0x60410007, 0x60410008}, P::kEmpty, 3},
    {{0x60410D15, 0x60410D18}, P::kEmpty, 3},
    {{0x6048001C, 0x6048001C}, P::kEmpty, 3},
    {{0x6048002C, 0x6048002C}, P::kEmpty, 3},
    {{0x60480928, 0x60480929}, P::kEmpty, 3},
    {{0x60F8001D, 0x60F8001D}, P::kEmpty, 3},
    {{0x60F80023, 0x60F80023}, P::kEmpty, 3},
    {{0x60F8002F, 0x60F80031}, P::kEmpty, 3},
    {{0x60F80033, 0x60F8003A}, P::kEmpty, 3},
    {{0x60F8003E, 0x60F8003F}, P::kEmpty, 3},
    {{0x60F8005B, 0x60F8005B}, P::kEmpty, 3},
    // Shown as the host has them.
    {{0x10120114, 0x10120114}, P::kNone, 3},
    {{0x10120169, 0x10120169}, P::kNone, 3},
    {{0x601200B5, 0x601200B9}, P::kNone, 3},
    {{0x6028008E, 0x6028008E}, P::kNone, 3},
    {{0x60480D0D, 0x60480D0D}, P::kNone, 3},
    {{0x60480D0F, 0x60480D0F}, P::kNone, 3},
    {{0x60480D11, 0x60480D11}, P::kNone, 3},
    {{0x60480D13, 0x60480D14}, P::kNone, 3},
    {{0x60480D1A, 0x60480D1A}, P::kNone, 3},
    {{0x60480D1C, 0x60480D1C}, P::kNone, 3},
    {{0x60280053, 0x60280053}, P::kNone, 1},
    {{0x60280055, 0x60280055}, P::kNone, 1},
    {{0x60280059, 0x60280059}, P::kNone, 1},
    {{0x6028005D, 0x6028005D}, P::kNone, 1},
    {{0x6028005F, 0x6028005F}, P::kNone, 1},
    {{0x60280061, 0x60280061}, P::kNone, 1},
    {{0x60280063, 0x60280063}, P::kNone, 1},
    {{0x60280065, 0x60280065}, P::kNone, 1},
    {{0x60280067, 0x60280067}, P::kNone, 1},
    {{0x60280069, 0x60280069}, P::kNone, 1},
    {{0x6028006B, 0x6028006B}, P::kNone, 1},
    {{0x6028006D, 0x6028006D}, P::kNone, 1},
    {{0x60280076, 0x60280076}, P::kNone, 1},
    {{0x60280078, 0x60280078}, P::kNone, 1},
    {{0x6028009B, 0x6028009C}, P::kNone, 1},
    {{0x602800BA, 0x602800BA}, P::kNone, 1},
    {{0x602800F5, 0x602800F5}, P::kNone, 1},
    {{0x602800FD, 0x602800FD}, P::kNone, 1},
    {{0x602800FF, 0x602800FF}, P::kNone, 1},
    {{0x60280101, 0x60280101}, P::kNone, 1},
    {{0x60280103, 0x60280103}, P::kNone, 1},
    {{0x6048001F, 0x6048001F}, P::kNone, 1},
    {{0x60480924, 0x60480924}, P::kNone, 1},
    {{0x6048092C, 0x6048092C}, P::kNone, 1},
    {{0x60480D19, 0x60480D19}, P::kNone, 1},
    {{0x60480D1B, 0x60480D1B}, P::kNone, 1},
    {{0x602220C8, 0x602220C8}, P::kNone, 1},
    {{0x6022210F, 0x6022210F}, P::kNone, 1},
    {{0x60420D1F, 0x60420D20}, P::kNone, 1},
    {{0x60422810, 0x60422810}, P::kNone, 1},
    {{0x60F80061, 0x60F80061}, P::kNone, 1},
};

const PresentationRule* presentation_rule(uint32_t id) {
  for (const PresentationRule& rule : kPresentationRules)
    if (id >= rule.ids.first && id <= rule.ids.last) return &rule;
  return nullptr;
}

// The shared field whose presence marks a shared screen; the field whose record
// gets the shared list's identifier in its word 7.
constexpr uint32_t kSharedScreenField = 0x10120180;
constexpr size_t kSharedScreenFieldBytes = 600;
constexpr uint32_t kSharedListField = 0x602200AE;
constexpr int kItemWordSharedList = 7;
constexpr uint32_t kSharedList = 0x101400A3;
// The SQL Server field of the parent screen, whose text 0x603200E1 shows.
constexpr uint32_t kSqlServerField = 0x603800DA;
constexpr size_t kSqlServerFieldBytes = 600;


// The share path field of a file tracking entry and its command buttons (add a share, add an excluded
// file), which act on its text.
constexpr uint32_t kSharePathField = 0x6028005B;
constexpr uint32_t kSharePathButtons[] = {0x60212078, 0x60212079};

// Chosen reading of "attach": the field becomes the companion (16-bit words 7 and 8) of its command
// buttons on the same screen; without a window key for the screen nothing is attached.
void attach_command_buttons(HWND screen, DWORD field_item) {
  uint16_t key = screen_key_of(screen);
  if (key == 0) return;
  struct Attach {
    uint16_t key;
    uint16_t item;
  } attach = {key, static_cast<uint16_t>(field_item)};
  walk_screen_controls(
      screen,
      [](HWND control, void* context) {
        uintptr_t* d = control_descriptor_of(control);
        if (d == nullptr || descriptor_kind(d) != kDescriptorPushButton || descriptor_module(d) != kModuleNumber ||
            std::find(std::begin(kSharePathButtons), std::end(kSharePathButtons), descriptor_identifier(d)) ==
                std::end(kSharePathButtons))
          return true;
        const auto* a = static_cast<const Attach*>(context);
        set_descriptor_half(d, kDescHalfCompanionKey, a->key);
        set_descriptor_half(d, kDescHalfCompanionItem, a->item);
        return true;
      },
      &attach);
}

void empty_field(HWND field, bool styled_font) {
  if (styled_font && g_library.styled_dialog_mode && g_library.medium_font)
    SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(g_library.medium_font), TRUE);
  SetWindowTextA(field, "");
}

void present(HWND screen, HWND field, uint32_t id, Presentation action) {
  switch (action) {
    case P::kLimit30: SendMessageA(field, EM_LIMITTEXT, 30, 0); break;
    case P::kLimit1024: SendMessageA(field, EM_LIMITTEXT, 1024, 0); break;
    case P::kCheck: SendMessageA(field, BM_SETCHECK, BST_CHECKED, 0); break;
    case P::kUncheck: SendMessageA(field, BM_SETCHECK, BST_UNCHECKED, 0); break;
    case P::kUncheckThenRemembered:
      SendMessageA(field, BM_SETCHECK, BST_UNCHECKED, 0);
      if (g_library.remembered_install_boxes[id - kFirstRememberedInstallBox])
        SendMessageA(field, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case P::kEmptyStyled: empty_field(field, true); break;
    case P::kRememberedStyled:
      empty_field(field, true);
      SetWindowTextA(field, g_library.remembered_install[id - kFirstRememberedInstallField]);
      break;
    case P::kEmpty: empty_field(field, false); break;
    // Hidden, then treated as the fields emptied in the medium font (those of 0x60120009).
    case P::kHideThenEmptyStyled:
      MoveWindow(field, 0, 0, 0, 0, TRUE);
      empty_field(field, true);
      break;
    case P::kHide: MoveWindow(field, 0, 0, 0, 0, TRUE); break;
    case P::kShowSqlServer: {
      char text[kSqlServerFieldBytes];
      read_screen_field(GetParent(screen), kSqlServerField, text, sizeof text);
      SetWindowTextA(field, text);
      break;
    }
    case P::kNone: break;
  }
}

// ---- Unsaved changes ---------------------------------------------------------

// The server configuration fields whose changes mark the current server unsaved.
constexpr uint32_t kMarkingEditFields[] = {0x603800C8, 0x603800C9, 0x603800CB, 0x603800CE,
                                           0x603800EC, 0x603800EF, 0x6038011D};
constexpr uint32_t kMarkingCheckBoxes[] = {0x603800CC, 0x603800CD, 0x6038011B, 0x6038011C, 0x60380120};
// A counter at or above its threshold marks the server unsaved: an edit field from the
// first change counted after the refresh on, a check box even without one.
constexpr uint32_t kEditMarkThreshold = kChangeCounterRefresh + 1;
constexpr uint32_t kCheckBoxMarkThreshold = kChangeCounterRefresh;
// The refresh cycle field is never counted up, yet marks once its counter is high enough.
constexpr uint32_t kUncountedEditField = 0x603800EF;

// The name field pair joined into the display field, and the field copied into another.
constexpr uint32_t kFirstNameField = 0x10180165;
constexpr uint32_t kSecondNameField = 0x10180166;
constexpr uint32_t kJoinedNameField = 0x101800BB;
constexpr uint32_t kCopiedField = 0x10180168;
constexpr uint32_t kCopyField = 0x101800BD;
constexpr DWORD kFirstNameBytes = 500, kSecondNameBytes = 150, kCopiedBytes = 500;

template <size_t N>
bool listed(const uint32_t (&ids)[N], uint32_t id) {
  return std::find(ids, ids + N, id) != ids + N;
}

// Marks the current server unsaved when its counter passed the threshold, and repaints Save.
void mark_unsaved(HWND screen, const uintptr_t* descriptor, int counter_word, uint32_t threshold) {
  if (descriptor == nullptr || descriptor_word(descriptor, counter_word) < threshold) return;
  mark_current_server_unsaved(screen);
}

// The field of another identifier on the screen; null when the screen lacks it.
HWND other_field(HWND screen, uint32_t id) {
  char unused[2];
  DWORD item = read_screen_field(screen, id, unused, sizeof unused);
  return item ? GetDlgItem(screen, static_cast<int>(item)) : nullptr;
}

}  // namespace

void mark_current_server_unsaved(HWND screen) {
  int item = find_button_item(screen, kModuleNumber, kSaveServerConfigurationButton);
  CurrentServer server = current_server();
  if (item == 0 || server.record == nullptr) return;
  set_item_word(server.record, kItemWordUnsavedMark, kUnsavedChanges);
  HWND save = GetDlgItem(screen, static_cast<int>(item));
  InvalidateRect(save, nullptr, TRUE);
  UpdateWindow(save);
}

QVMR_EXPORT DWORD WINAPI change_edit_text_to_dropdown(uintptr_t, uintptr_t, DWORD control_id) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (in_ranges(kFirstStyleDropDowns, control_id)) return 1;
  if (in_ranges(kSecondStyleDropDowns, control_id)) return 2;
  return kResultNotHandled;
}

QVMR_EXPORT DWORD WINAPI change_edit_text_to_datetime(uintptr_t, uintptr_t, DWORD control_id, uintptr_t,
                                                      DWORD* out_style) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (!in_ranges(kDateFields, control_id)) return kResultNotHandled;
  if (out_style) *out_style = kDateFieldStyle;
  return 1;
}

QVMR_EXPORT DWORD WINAPI apply_rules_for_edit_text(void) {
  return g_library.initialised == 1 ? kResultNotHandled : kResultNotInitialised;
}

QVMR_EXPORT DWORD WINAPI check_if_text_to_be_displayed(uintptr_t, DWORD control_id, HWND screen, DWORD dialog_item,
                                                       void* record) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  char shared[kSharedScreenFieldBytes];
  if (read_screen_field(screen, kSharedScreenField, shared, sizeof shared) != 0) g_library.shared_screen = 1;
  if (control_id == kSharedListField && record != nullptr)
    set_item_word(static_cast<uint8_t*>(record), kItemWordSharedList, kSharedList);
  const PresentationRule* rule = presentation_rule(control_id);
  if (rule == nullptr) return kResultNotHandled;
  present(screen, GetDlgItem(screen, static_cast<int>(dialog_item)), control_id, rule->action);
  if (control_id == kSharePathField) attach_command_buttons(screen, dialog_item);
  return rule->result;
}

QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_edit_text(uintptr_t, DWORD control_id, HWND screen,
                                                           uintptr_t* descriptor) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (descriptor != nullptr && control_id != kUncountedEditField)
    set_descriptor_word(descriptor, kDescWordEditCounter, descriptor_word(descriptor, kDescWordEditCounter) + 1);
  if (control_id == kFirstNameField || control_id == kSecondNameField) {
    HWND joined = other_field(screen, kJoinedNameField);
    if (joined == nullptr) return 1;
    char first[kFirstNameBytes], second[kSecondNameBytes], text[kFirstNameBytes + kSecondNameBytes + 1];
    read_screen_field(screen, kFirstNameField, first, sizeof first);
    read_screen_field(screen, kSecondNameField, second, sizeof second);
    std::snprintf(text, sizeof text, "%s %s", first, second);
    SetWindowTextA(joined, text);
    return 1;
  }
  if (control_id == kCopiedField) {
    HWND copy = other_field(screen, kCopyField);
    if (copy == nullptr) return 1;
    char text[kCopiedBytes];
    read_screen_field(screen, kCopiedField, text, sizeof text);
    SetWindowTextA(copy, text);
    return 1;
  }
  if (!listed(kMarkingEditFields, control_id)) return kResultNotHandled;
  mark_unsaved(screen, descriptor, kDescWordEditCounter, kEditMarkThreshold);
  return 1;
}

QVMR_EXPORT DWORD WINAPI QVA_process_changes_for_checkbox(uintptr_t, DWORD control_id, uintptr_t,
                                                          uintptr_t* descriptor) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  if (descriptor != nullptr)
    set_descriptor_word(descriptor, kDescWordCheckBoxCounter,
                        descriptor_word(descriptor, kDescWordCheckBoxCounter) + 1);
  if (!listed(kMarkingCheckBoxes, control_id)) return kResultNotHandled;
  // The host passes no screen with a check box: its Save button is looked for where the
  // guard looks for it, on the main server list's screen.
  mark_unsaved(g_library.main_server_screen, descriptor, kDescWordCheckBoxCounter, kCheckBoxMarkThreshold);
  return 1;
}
