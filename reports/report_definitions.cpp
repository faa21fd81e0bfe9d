// The report definitions file: listing as tiles, change of report type, deletion.
#include "reports/report_definitions.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "host/host.h"
#include "host/host_services.h"
#include "host/list_item.h"
#include "host/text.h"
#include "reports/log_reader.h"
#include "reports/report_views.h"
#include "resources/resource.h"

namespace {

constexpr const char* kReportTypes[] = {"BASIC", "ACCESSENUM", "VERTICAL"};
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The tiles' fonts: the title font for the name, the normal and small fonts below it.
HFONT g_title_font, g_normal_font, g_small_font;

HFONT tile_font(HFONT* font, int height, int weight, const char* face) {
  if (*font == nullptr)
    *font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 2, 0, face);
  return *font;
}

DWORD count_numbered(const char* file, const char* section, const char* format) {
  DWORD n = 0;
  for (; n < kNumberedKeysCounted; ++n) {
    char key[32], value[8];
    std::snprintf(key, sizeof key, format, static_cast<unsigned>(n));
    GetPrivateProfileStringA(section, key, "~", value, sizeof value, file);
    if (std::strcmp(value, "~") == 0) break;
  }
  return n;
}

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT area = {left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

void text_in(HDC dc, HFONT font, const char* text, int left, int top, int right, int bottom) {
  RECT area = {left, top, right, bottom};
  SelectObject(dc, font);
  DrawTextA(dc, text, -1, &area, DT_WORDBREAK | DT_NOPREFIX);
}

// The image list of the definitions list's tiles; made and given to the list when it has none.
HIMAGELIST tile_images(HWND list) {
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  if (images == nullptr) {
    images = ImageList_Create(kTileWidth, kTileHeight, ILC_COLOR32, 8, 8);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  }
  return images;
}

BYTE* selected_definition(HWND list, int* row) {
  *row = list ? static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  return *row < 0 ? nullptr : reinterpret_cast<BYTE*>(list_row_param(list, *row));
}

struct TypeChoice {
  const char* current;
  char chosen[16];
};

INT_PTR CALLBACK change_type_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* choice = reinterpret_cast<TypeChoice*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  HWND types = GetDlgItem(dialog, IDC_REPORT_TYPES);
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, GWLP_USERDATA, lparam);
    choice = reinterpret_cast<TypeChoice*>(lparam);
    for (int i = 0; i < 3; ++i) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT | LVIF_STATE;
      item.iItem = i;
      item.pszText = const_cast<char*>(kReportTypes[i]);
      item.state = item.stateMask = equal_ignoring_case(choice->current, kReportTypes[i]) ? LVIS_SELECTED : 0;
      SendMessageA(types, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    int row = static_cast<int>(SendMessageA(types, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (LOWORD(wparam) == IDOK && row >= 0 && row < 3) copy_text(choice->chosen, sizeof choice->chosen, kReportTypes[row]);
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

BOOL report_definitions_path(char* out, size_t size) {
  char program[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  if (n == 0 || n >= sizeof program) return FALSE;
  char* slash = std::strrchr(program, '\\');
  if (slash) slash[1] = '\0';
  int written = std::snprintf(out, size, "%s%s", slash ? program : "", kReportDefinitionsFile);
  return written > 0 && static_cast<size_t>(written) < size;
}

void read_report_definition(const char* file, const char* section, ReportDefinition* d) {
  d->name = section;
  GetPrivateProfileStringA(section, "AUTHOR_SAM", "*", d->author_sam, sizeof d->author_sam, file);
  GetPrivateProfileStringA(section, "AUTHOR_TIME", "*", d->author_time, sizeof d->author_time, file);
  GetPrivateProfileStringA(section, "REPORT_TYPE", "*", d->report_type, sizeof d->report_type, file);
  GetPrivateProfileStringA(section, "OUTPUT_TYPE", "*", d->output_type, sizeof d->output_type, file);
  GetPrivateProfileStringA(section, "AD_NAME_FORMAT", "*", d->ad_name_format, sizeof d->ad_name_format, file);
  GetPrivateProfileStringA(section, "EMAIL_LIST", "*", d->email_list, sizeof d->email_list, file);
  GetPrivateProfileStringA(section, "WITH_EPERM", "*", d->with_eperm, sizeof d->with_eperm, file);
  d->paths = count_numbered(file, section, "FS_PATH%08u");
  d->ad_objects = count_numbered(file, section, "AD_PATH%08u");
  d->ad_attributes = count_numbered(file, section, "AD_ATTR%08u");
}

void tile_colours(const char* report_type, COLORREF* type_colour, COLORREF* band_colour) {
  if (contains_ignoring_case(report_type, "access")) {
    *type_colour = RGB(255, 102, 0), *band_colour = RGB(102, 41, 0);
  } else if (contains_ignoring_case(report_type, "vertical")) {
    *type_colour = RGB(97, 179, 41), *band_colour = RGB(39, 72, 16);
  } else {
    *type_colour = RGB(0, 114, 198), *band_colour = RGB(0, 46, 79);
  }
}

int draw_definition_tile(HIMAGELIST images, const ReportDefinition& d, int index, BOOL replace) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP tile = CreateCompatibleBitmap(screen, kTileWidth, kTileHeight);
  ReleaseDC(nullptr, screen);
  if (dc == nullptr || tile == nullptr) {
    if (dc) DeleteDC(dc);
    return -1;
  }
  HGDIOBJ previous_bitmap = SelectObject(dc, tile);
  HGDIOBJ previous_font = SelectObject(dc, tile_font(&g_title_font, 20, 400, "Segoe UI Light"));
  COLORREF type_colour, band_colour;
  tile_colours(d.report_type, &type_colour, &band_colour);
  fill(dc, 0, 0, kTileWidth, kTileHeight, type_colour);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWhite);
  char line[400];
  text_in(dc, g_title_font, d.name, 5, 0, 295, 29);
  HFONT normal = tile_font(&g_normal_font, 14, 300, "Calibri");
  std::snprintf(line, sizeof line, "Created by:  %s", d.author_sam);
  text_in(dc, normal, line, 5, 37, 295, 95);
  std::snprintf(line, sizeof line, "Modified:    %s", d.author_time);
  text_in(dc, normal, line, 5, 57, 295, 115);
  std::snprintf(line, sizeof line, "Report Type: %s", d.report_type);
  text_in(dc, normal, line, 5, 77, 295, 125);
  fill(dc, 0, 100, kTileWidth, kTileHeight, band_colour);
  std::snprintf(line, sizeof line, "Number of: Paths/Shares:%u AD Objects:%u AD Attrs:%u", static_cast<unsigned>(d.paths),
                static_cast<unsigned>(d.ad_objects), static_cast<unsigned>(d.ad_attributes));
  text_in(dc, tile_font(&g_small_font, 12, 300, "Calibri"), line, 5, 105, 295, 125);
  SelectObject(dc, previous_font);
  SelectObject(dc, previous_bitmap);
  DeleteDC(dc);
  int image = replace ? (ImageList_Replace(images, index, tile, nullptr) ? index : -1) : ImageList_Add(images, tile, nullptr);
  DeleteObject(tile);
  return image;
}

const char* definition_row_name(const BYTE* record) {
  return static_cast<const char*>(owned_block(record, kOwnedBlock1));
}

const char* definition_row_emails(const BYTE* record) {
  return static_cast<const char*>(owned_block(record, kOwnedValueFirst));
}

BOOL make_definition_row(const ReportDefinition& d, int image, const BYTE* row_template, BYTE* record) {
  if (row_template) std::memcpy(record, row_template, kListItemHeaderBytes);
  size_t name_bytes = std::strlen(d.name) + 10;
  auto* name = static_cast<char*>(allocate_block(GPTR, name_bytes));
  auto* emails = static_cast<char*>(allocate_block(GPTR, kDefinitionEmailBytes));
  if (name == nullptr || emails == nullptr) {
    free_block(name);
    free_block(emails);
    return FALSE;
  }
  copy_text(name, name_bytes, d.name);
  if (std::strcmp(d.email_list, "*") != 0) copy_text(emails, kDefinitionEmailBytes, d.email_list);
  set_owned_block(record, kOwnedBlock1, name);
  set_owned_block(record, kOwnedValueFirst, emails);
  copy_text(reinterpret_cast<char*>(record + kDefinitionOutputTypeOffset), sizeof d.output_type, d.output_type);
  copy_text(reinterpret_cast<char*>(record + kDefinitionReportTypeOffset), sizeof d.report_type, d.report_type);
  copy_text(reinterpret_cast<char*>(record + kDefinitionNameFormatOffset), sizeof d.ad_name_format, d.ad_name_format);
  uint32_t eperm = std::strcmp(d.with_eperm, "*") == 0 ? 0 : 132;
  std::memcpy(record + kDefinitionEpermOffset, &eperm, 4);
  std::memcpy(record + kDefinitionImageOffset, &image, 4);
  return TRUE;
}

DWORD ListReportDefinitions(HWND list, const BYTE* row_template) {
  char file[MAX_PATH];
  if (!report_definitions_path(file, sizeof file)) return 0;
  auto* names = static_cast<char*>(allocate_block(GMEM_FIXED, kSectionNamesBytes));
  if (names == nullptr) return 0;
  DWORD listed = 0;
  if (GetPrivateProfileSectionNamesA(names, kSectionNamesBytes, file) > 0) {
    HIMAGELIST images = tile_images(list);
    auto insert = host_service<HostInsertReportRowFn>(kHostInsertReportRow);
    static ReportDefinition d;
    for (const char* section = names; *section; section += std::strlen(section) + 1) {
      read_report_definition(file, section, &d);
      int image = static_cast<int>(listed);  // the section's position: its tile's index
      // Listed again, a position's tile replaces the one drawn there before: the image list keeps one per section.
      draw_definition_tile(images, d, image, image < ImageList_GetImageCount(images));
      BYTE record[kListItemBytes] = {};
      if (insert == nullptr || !make_definition_row(d, image, row_template, record)) break;
      DWORD flag = 0;
      insert(list, kQuickReportParent, kReportRowPosition, "", image, 1, 0, 0, record, &flag);
      ++listed;
    }
  }
  free_block(names);
  return listed;
}

BOOL SetReportDefinitionType(HWND owner, const char* name, const char* report_type) {
  char file[MAX_PATH];
  if (report_definitions_path(file, sizeof file) && WritePrivateProfileStringA(name, "REPORT_TYPE", report_type, file))
    return TRUE;
  char text[120];
  std::snprintf(text, sizeof text, "[0CRPTT]Error %u occurred during change Report Type.",
                static_cast<unsigned>(GetLastError()));
  show_message(owner, text, "Change Failed", MB_OK | MB_ICONERROR);
  return FALSE;
}

BOOL ChangeReportDefinitionType(HWND owner, HWND list) {
  int row;
  BYTE* record = selected_definition(list, &row);
  const char* name = record ? definition_row_name(record) : nullptr;
  if (name == nullptr) return FALSE;
  TypeChoice choice = {reinterpret_cast<const char*>(record + kDefinitionReportTypeOffset), ""};
  if (DialogBoxParamA(g_library.instance, "CHANGE_REPORT_TYPE", owner, change_type_proc,
                      reinterpret_cast<LPARAM>(&choice)) != IDOK ||
      choice.chosen[0] == '\0')
    return FALSE;
  if (!SetReportDefinitionType(owner, name, choice.chosen)) return FALSE;
  // The row shows the new type: its data and its tile, drawn again in place.
  copy_text(reinterpret_cast<char*>(record + kDefinitionReportTypeOffset), sizeof ReportDefinition::report_type,
            choice.chosen);
  char file[MAX_PATH];
  static ReportDefinition d;
  if (report_definitions_path(file, sizeof file)) {
    read_report_definition(file, name, &d);
    int image;
    std::memcpy(&image, record + kDefinitionImageOffset, 4);
    draw_definition_tile(tile_images(list), d, image, TRUE);
  }
  InvalidateRect(list, nullptr, TRUE);
  return TRUE;
}

BOOL DeleteReportDefinition(HWND owner, const char* name) {
  char question[400];
  std::snprintf(question, sizeof question, "Click YES to confirm deletion of Report Definition %s", name);
  // No is the default: an unanswered question deletes nothing. Styled dialogs answer OK for yes.
  int answer = ask_confirmation(owner, question, "DELETE DEFINITION?", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer != IDYES && answer != IDOK) return FALSE;
  char file[MAX_PATH];
  if (report_definitions_path(file, sizeof file) && WritePrivateProfileStringA(name, nullptr, nullptr, file)) return TRUE;
  char text[400];
  std::snprintf(text, sizeof text, "Error %u deleting Report Definition %s", static_cast<unsigned>(GetLastError()), name);
  show_message(owner, text, "Delete Failed", MB_OK | MB_ICONERROR);
  return FALSE;
}

DWORD ReportDefinitionsListEvent(HWND list, const BYTE* row_template) {
  if (report_view_of_list(GetDlgCtrlID(list)) != nullptr) return ReportViewListEvent(list);
  ListReportDefinitions(list, row_template);
  return 1;
}

DWORD DeleteDefinitionButton(HWND screen, HWND list) {
  int row;
  BYTE* record = selected_definition(list, &row);
  const char* name = record ? definition_row_name(record) : nullptr;
  if (name == nullptr) return 1;
  // The host owns the rows: it lists the definitions again, its records going back through delete_list_item.
  if (DeleteReportDefinition(screen, name))
    if (auto refresh = host_service<HostRefreshControlFn>(kHostRefreshControl))
      refresh(list, static_cast<DWORD>(GetDlgCtrlID(list)), 0);
  return 1;
}

void release_definition_tiles() {
  for (HFONT* font : {&g_title_font, &g_normal_font, &g_small_font}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
}
