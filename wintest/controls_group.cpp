// The library's controls on the platform's real windows and device contexts:
// owner drawing (the fonts made from the faces the machine has, the texts
// drawn with their fonts and colours, pixels sampled), the edit-field rules,
// and the context menus (the entries of each list, and the token items that
// the template fields add to their own menus).
#include <cstring>
#include <string>
#include <vector>

#include "config/email_config.h"
#include "config/registry.h"
#include "config/server_settings.h"
#include "console/linked_library.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/list_item.h"
#include "resources/resource.h"
#include "console/list_view.h"
#include "wintest/groups.h"

namespace wintest {
namespace {

constexpr uint16_t kScreenKey = 50;

std::string g_computer;
HWND g_screen;
int g_next_item = 1001;
std::vector<std::vector<BYTE>> g_records;

HWND add(const char* class_name, const char* text, uint32_t id, uint32_t kind) {
  return host::add_control(g_screen, g_next_item++, class_name, text, host::ControlSpec{id, kind});
}

// A button that keeps a check state as the user sets it: a check box, or a radio button.
HWND checkable(const char* text, uint32_t id, uint32_t kind, DWORD type = BS_AUTOCHECKBOX) {
  HWND button = add("Button", text, id, kind);
  SetWindowLongPtrA(button, GWL_STYLE, WS_CHILD | WS_VISIBLE | type);
  return button;
}

std::string text_of(HWND control) {
  char text[300] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

// One owner-drawn control drawn as the host asks for it, on the device context given.
void draw(HDC dc, uint32_t id, HWND window, UINT state, int width, int height) {
  DRAWITEMSTRUCT item = {};
  item.itemState = state;
  item.hwndItem = window;
  item.rcItem = {0, 0, width, height};
  item.hDC = dc;
  entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(window), 0, reinterpret_cast<uintptr_t>(&item), 0, id);
}

// The texts it draws, then the colours at the points, as the Linux tests sample them.
void say_drawn(const char* what, uint32_t id, HWND window, UINT state, const std::vector<std::pair<int, int>>& points,
               int width = 120, int height = 40) {
  say(std::string(what) + ":");
  say(drawn_texts([&](HDC dc) { draw(dc, id, window, state, width, height); }));
  std::string colours;
  std::vector<uint32_t> pixels =
      drawn_pixels([&](HDC dc) { draw(dc, id, window, state, width, height); }, width, height, points);
  for (size_t i = 0; i < pixels.size(); ++i)
    colours += " (" + std::to_string(points[i].first) + "," + std::to_string(points[i].second) + ") " +
               hex_text(pixels[i]);
  say("  pixels" + colours);
}

void fonts_of_the_machine() {
  if (!begin_section("owner drawing: the fonts made from the faces this machine has")) return;
  release_drawing_resources();
  create_drawing_resources();
  for (HFONT font : g_library.drawing.fonts) say(font_text(font));
  say("title face: " + std::string(g_library.drawing.title_face));
}

void drawn_buttons() {
  if (!begin_section("owner drawing: navigation buttons, check boxes, radio buttons and picture buttons")) return;
  say_drawn("Reports", 0x602100C4, nullptr, 0, {{1, 1}});
  say_drawn("Profiles pressed", 0x602100C5, nullptr, ODS_SELECTED, {{1, 1}});
  say_drawn("Settings focused", 0x602100C6, nullptr, ODS_FOCUS, {{1, 1}});
  say_drawn("Help disabled", 0x602100C7, nullptr, ODS_DISABLED, {{1, 1}});
  HWND box = checkable("Enabled", 0x602800B0, kDescriptorPushButton);
  say_drawn("a check box", 0x602800B0, box, 0, {{8, 23}, {2, 12}, {3, 13}});
  SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
  say_drawn("checked", 0x602800B0, box, 0, {{8, 23}});
  HWND radio = checkable("Last 24 hours", 0x60410D10, kDescriptorPushButton, BS_AUTORADIOBUTTON);
  say_drawn("a radio button", 0x60410D10, radio, 0, {{10, 20}, {10, 13}});
  SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
  say_drawn("selected", 0x60410D10, radio, 0, {{10, 20}});
  HWND picture = add("Button", "", 0x603140E2, kDescriptorPushButton);
  say_drawn("a picture button", 0x603140E2, picture, 0, {{44, 4}});
  say_drawn("pressed", 0x603140E2, picture, ODS_SELECTED, {{44, 4}, {1, 1}});
  say_drawn("a white glyph on the band", 0x602100CE, add("Button", "", 0x602100CE, kDescriptorPushButton), 0,
            {{1, 1}});
  DRAWITEMSTRUCT none = {};
  std::string unclaimed;
  for (uint32_t id : {0x60210099u, 0x60240001u, 0x60280094u})
    unclaimed += " " + std::to_string(entry_point_wm_draw_item(0, 0, reinterpret_cast<uintptr_t>(&none), 0, id));
  say("identifiers of no family:" + unclaimed);
}

// One custom-draw stage of a list: the result, the answer and the row's text background after it.
std::string custom_draw(uint32_t list, DWORD stage, DWORD_PTR row) {
  NMLVCUSTOMDRAW draw = {};
  draw.nmcd.dwDrawStage = stage;
  draw.nmcd.dwItemSpec = row;
  draw.clrTextBk = 0x123456;
  uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(&draw), 0x77};
  DWORD result = entry_point_wm_draw_item(0, 0x40404040, reinterpret_cast<uintptr_t>(pair), 0, list);
  return hex_text(list) + " stage " + hex_text(stage) + " row " + std::to_string(row) + ": " + std::to_string(result) +
         " " + hex_text(pair[1]) + " " + hex_text(draw.clrTextBk);
}

void striped_rows_and_fields() {
  if (!begin_section("owner drawing: striped report rows and the scout's frequency")) return;
  say(custom_draw(0x60440D1E, CDDS_PREPAINT, 0));
  say(custom_draw(0x60440D1E, CDDS_ITEMPREPAINT, 0));
  say(custom_draw(0x60440D1E, CDDS_ITEMPREPAINT, 1));
  say(custom_draw(0x602400CB, CDDS_ITEMPREPAINT, 3));
  say(custom_draw(0x602400CB, CDDS_ITEMPOSTPAINT, 1));
  say(custom_draw(0x60240001, CDDS_ITEMPREPAINT, 1));
  HKEY scout = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent", 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &scout, nullptr);
  DWORD frequency = 60;
  RegSetValueExA(scout, "ScanFrequency", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&frequency), sizeof frequency);
  RegCloseKey(scout);
  HWND field = add("Static", "", 0x603800FB, kDescriptorKind3);
  HWND other = add("Static", "kept", 0x603800FC, kDescriptorKind3);
  for (HWND w : {field, other}) {
    DWORD filled = entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(w), 0x51515155, 0, 0, 0);
    say("filled: " + std::to_string(filled) + " \"" + text_of(w) + "\"");
  }
  HKEY services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", 0, KEY_ALL_ACCESS, &services) == 0) {
    RegDeleteKeyA(services, "VORNIXWScoutAgent");
    RegCloseKey(services);
  }
}

void presented_fields() {
  if (!begin_section("edit fields: how each is presented")) return;
  std::string dropdowns;
  for (uint32_t id : {0x10C81007u, 0x6028008Eu, 0x60280055u, 0x602800BFu, 0x60380116u})
    dropdowns += " " + std::to_string(change_edit_text_to_dropdown(0, 0, id));
  say("drop-down styles:" + dropdowns);
  for (uint32_t id : {0x101800BFu, 0x60480D14u, 0x60380116u}) {
    DWORD style = 0;
    DWORD result = change_edit_text_to_datetime(0, 0, id, 0, &style);
    say("date field " + hex_text(id) + ": " + std::to_string(result) + " style " + std::to_string(style));
  }
  HWND area = add("Edit", "old", 0x60380116, kDescriptorEditField);
  HWND include = checkable("", 0x602800BC, kDescriptorCheckBox);
  HWND retain = checkable("", 0x6038008F, kDescriptorCheckBox);
  HWND log_path = add("Edit", "old", 0x6038008B, kDescriptorEditField);
  HWND hidden_emptied = add("Edit", "old", 0x60280057, kDescriptorEditField);
  HWND hidden = add("Edit", "old", 0x60280058, kDescriptorEditField);
  HWND kept = add("Edit", "old", 0x60280053, kDescriptorEditField);
  HWND unknown = add("Edit", "old", 0x60380999, kDescriptorEditField);
  SendMessageA(retain, BM_SETCHECK, BST_CHECKED, 0);
  MoveWindow(hidden_emptied, 0, 0, 100, 20, TRUE);
  MoveWindow(hidden, 0, 0, 100, 20, TRUE);
  BYTE record[kListItemBytes] = {};
  for (HWND field : {area, include, retain, log_path, hidden_emptied, hidden, kept, unknown}) {
    uint32_t id = descriptor_identifier(host::descriptor_of(field));
    DWORD result = check_if_text_to_be_displayed(0, id, g_screen, static_cast<DWORD>(GetDlgCtrlID(field)), record);
    RECT size = {};
    GetClientRect(field, &size);
    say(hex_text(id) + ": " + std::to_string(result) + " \"" + text_of(field) + "\" " + std::to_string(size.right) +
        "x" + std::to_string(size.bottom));
  }
  say("limit " + std::to_string(SendMessageA(area, EM_GETLIMITTEXT, 0, 0)) + ", boxes " +
      std::to_string(SendMessageA(include, BM_GETCHECK, 0, 0)) + " " +
      std::to_string(SendMessageA(retain, BM_GETCHECK, 0, 0)));
  DWORD shared = check_if_text_to_be_displayed(0, 0x602200AE, g_screen, 99, record);
  say("0x602200AE: " + std::to_string(shared) + ", word 7 " + hex_text(item_word(record, 7)));
}

DWORD apply(HWND field, const char* text, const char* server) {
  SetWindowTextA(field, text);
  uintptr_t* d = host::descriptor_of(field);
  uint8_t record[kListItemBytes] = {};
  return entry_point_edit_services(text, g_screen, d, server, record, 0, 0, 0, 0, field, 0, 0,
                                   descriptor_identifier(d));
}

void applied_fields() {
  if (!begin_section("edit fields: values applied to the local machine, and changes marked")) return;
  HKEY product;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr);
  RegCloseKey(product);
  HWND archive = add("Edit", "", 0x6038011D, kDescriptorEditField);
  HWND log_path = add("Edit", "", 0x603800C9, kDescriptorEditField);
  HWND department = add("Edit", "", 0x603800C8, kDescriptorEditField);
  for (const char* text : {"D:\\Archive", "\\\\NAS01\\Archive", ""}) {
    DWORD result = apply(archive, text, g_computer.c_str());
    say(std::string("archive path \"") + text + "\": " + std::to_string(result) + ", the field \"" + text_of(archive) +
        "\", counter " + std::to_string(host::descriptor_of(archive)[kDescWordEditCounter]));
  }
  for (const char* text : {"D:\\Logs", "VnxLogs$"}) {
    DWORD result = apply(log_path, text, g_computer.c_str());
    say(std::string("log path \"") + text + "\": " + std::to_string(result));
  }
  DWORD result = apply(department, "Finance", g_computer.c_str());
  say("department: " + std::to_string(result));
  say(registry_lines(HKEY_LOCAL_MACHINE, kProductKey, "VORNIX"));
  say(shown());

  HWND cycle = add("Edit", "", 0x603800EF, kDescriptorEditField);
  HWND retain = checkable("", 0x603800CC, kDescriptorCheckBox);
  host::descriptor_of(log_path)[kDescWordEditCounter] = 100;
  host::descriptor_of(retain)[kDescWordCheckBoxCounter] = 99;
  host::descriptor_of(cycle)[kDescWordEditCounter] = 101;
  std::string counted;
  for (int round = 0; round < 3; ++round) {
    for (HWND field : {log_path, cycle}) {
      uintptr_t* d = host::descriptor_of(field);
      QVA_process_changes_for_edit_text(0, descriptor_identifier(d), g_screen, d);
    }
    uintptr_t* d = host::descriptor_of(retain);
    QVA_process_changes_for_checkbox(0, descriptor_identifier(d), 0, d);
    counted += " " + std::to_string(host::descriptor_of(log_path)[kDescWordEditCounter]) + "/" +
               std::to_string(host::descriptor_of(cycle)[kDescWordEditCounter]) + "/" +
               std::to_string(host::descriptor_of(retain)[kDescWordCheckBoxCounter]);
  }
  say("counters after each round:" + counted);
  HWND first = add("Edit", "Ann", 0x10180165, kDescriptorEditField);
  add("Edit", "Lee", 0x10180166, kDescriptorEditField);
  HWND joined = add("Edit", "", 0x101800BB, kDescriptorEditField);
  HWND copied = add("Edit", "C:\\Audit", 0x10180168, kDescriptorEditField);
  HWND copy = add("Edit", "", 0x101800BD, kDescriptorEditField);
  for (HWND field : {first, copied}) {
    uintptr_t* d = host::descriptor_of(field);
    QVA_process_changes_for_edit_text(0, descriptor_identifier(d), g_screen, d);
  }
  say("joined \"" + text_of(joined) + "\", copied \"" + text_of(copy) + "\"");
}

// A list of the library with rows of this module, every row selected.
HWND menu_list(uint32_t id, std::initializer_list<const char*> rows) {
  HWND list = add(WC_LISTVIEWA, "", id, kDescriptorListView);
  for (const char* text : rows) {
    g_records.emplace_back(kListItemBytes);
    BYTE* record = g_records.back().data();
    set_item_word(record, kItemWordModule, kModuleNumber);
    set_item_word(record, kItemWordControlId, id);
    support::insert_list_rows(list, {{text, record}});
    support::set_row_selected(list, static_cast<size_t>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) - 1));
  }
  return list;
}

std::string menu_line(HWND list, uint32_t id, const BYTE* record) {
  host::MenuEntries entries;
  DWORD result = host::request_menu(host::in_process_library(), list, id, record, kDescriptorListView, &entries);
  std::string line = hex_text(id) + (record ? " row" : " space") + ": " + std::to_string(result);
  for (size_t position = 0; position < entries.size(); ++position)
    if (entries[position][0] != '\0') line += " | " + std::to_string(position) + " " + entries[position].data();
  return line;
}

void list_menus() {
  if (!begin_section("context menus: the entries of each list")) return;
  for (uint32_t id : {0x6034010Fu, 0x6024000Au, 0x60440D21u, 0x60240080u, 0x6044001Bu, 0x602400A0u, 0x60240001u,
                      0x602400C1u, 0x60F40001u, 0x60F40049u, 0x10140147u, 0x60440D1Eu, 0x60440800u, 0x60240002u}) {
    HWND list = menu_list(id, {"SRV01", "SRV02"});
    say(menu_line(list, id, nullptr));
    say(menu_line(list, id, support::list_rows(list).at(0).record));
  }
  HWND servers = menu_list(0x602400C1, {"SRV01"});
  BYTE* row = support::list_rows(servers).at(0).record;
  row[kItemByteReachability] = kUnreachable;
  say(menu_line(servers, 0x602400C1, row));
  HWND one = menu_list(0x602400CB, {"only"});
  say(menu_line(one, 0x602400CB, support::list_rows(one).at(0).record));
}

void template_dialog() {
  if (!begin_section("the template dialog: fields filled from the local machine and stored on OK")) return;
  HKEY product;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product, nullptr);
  RegSetValueExA(product, "EMailAlert_FS_Body", 0, REG_SZ, reinterpret_cast<const BYTE*>("File %o."), 9);
  RegCloseKey(product);
  answer("Configure Default Email Alert Templates", IDOK,
         {{IDC_TEMPLATE_FIRST, "Subject: %S"}, {IDC_TEMPLATE_FS_BODY, ""}, {IDC_TEMPLATE_LF_SUBJECT, "Failed: %r"}});
  say("dialog: " + std::to_string(EditAlertTemplates(nullptr, g_computer.c_str())));
  say(shown());
  say(registry_lines(HKEY_LOCAL_MACHINE, kProductKey, "VORNIX"));
}

// A right-click in three fields, each choosing a token of its own menu, and one closing it.
void template_menus() {
  if (!begin_section("context menus: the token items of the template fields", menu_events_missing())) return;
  answer("Configure Default Email Alert Templates", IDOK, {{IDC_TEMPLATE_FIRST, "Subject: "}},
         {{IDC_TEMPLATE_FIRST, "Insert Server Name (%S)"},
          {IDC_TEMPLATE_AD_BODY, "Insert Specified Attribute Value (%v:ATTRIBUTENAME)"},
          {IDC_TEMPLATE_GP_BODY, "Insert GPO Filename that changed (%f)"},
          {IDC_TEMPLATE_FIRST + 2, ""}});
  say("dialog: " + std::to_string(EditAlertTemplates(nullptr, g_computer.c_str())));
  say(menus_shown());
  say(shown());
  say(registry_lines(HKEY_LOCAL_MACHINE, kProductKey, "VORNIX"));
}

}  // namespace

void controls_group(const Place& place) {
  g_computer = place.computer;
  shown();
  remove_key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brightmere Software, Inc.");
  g_screen = host::create_screen(kScreenKey, "Controls");
  fonts_of_the_machine();
  drawn_buttons();
  striped_rows_and_fields();
  presented_fields();
  applied_fields();
  list_menus();
  template_dialog();
  template_menus();
  DestroyWindow(g_screen);
  release_drawing_resources();
  release_registry_connections();
}

}  // namespace wintest
