// The scout agent's owner-drawn controls: its rows, which show whether the
// agent runs on this computer, and its HTML status page options with the
// buttons that set them in the scout's service key.
#include "deploy/deploy.h"

#include <shlobj.h>

#include <cstring>

#include "config/registry.h"
#include "deploy/deploy_steps.h"
#include "deploy/server_status.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/host.h"

namespace {

constexpr char kScoutServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORNIXWScoutAgent";
constexpr char kFolderTitle[] = "Select Path to host HTML Scout Web Pages";
constexpr char kNoScoutTitle[] = "SCOUT NOT INSTALLED";
constexpr char kWriteFailureTitle[] = "UNABLE TO SET SCOUT HTML OPTIONS";
constexpr COLORREF kTextColour = 0x000000;
constexpr int kGap = 6;

struct HtmlOption {
  const char* value;
  const char* label;
};
constexpr HtmlOption kHtmlOptions[] = {{"HTMLENGAGE", "HTML status page"},
                                       {"HTMLINCPROFILES", "Include profiles"},
                                       {"HTMLINCSETTINGS", "Include settings"}};

const char* scout_state_text(DWORD status) {
  if (status == kScoutMissing) return "Not Installed";
  return status == kScoutActive ? "Running" : "Not Running";
}

// A DWORD of the scout's service key on this computer; 0 when it is missing.
DWORD scout_value(const char* name) {
  HKEY key;
  DWORD value = 0, size = sizeof value;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScoutServiceKey, 0, KEY_READ | g_library.registry_view, &key) !=
      ERROR_SUCCESS)
    return 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    value = 0;
  RegCloseKey(key);
  return value;
}

// The scout's service key opened for writing; without it (no scout on this computer) the user is told and
// nothing is written.
bool open_scout_key(HWND owner, HKEY* key) {
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScoutServiceKey, 0, local_access(KEY_QUERY_VALUE | KEY_SET_VALUE), key);
  if (rc == ERROR_SUCCESS) return true;
  show_message(owner,
               text("The VORNIX Agent Scout is not installed on this computer.\n\nError %d opening %s",
                    static_cast<int>(rc), kScoutService).s,
               kNoScoutTitle, MB_ICONERROR);
  return false;
}

LONG set_dword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The folder of the pages, chosen in the shell's folder chooser; false when the user cancelled.
bool choose_pages_folder(HWND owner, char* folder) {
  char display[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = kFolderTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_USENEWUI;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return false;
  BOOL named = SHGetPathFromIDListA(chosen, folder);
  CoTaskMemFree(chosen);
  return named && folder[0] != '\0';
}

// The options control shows the values again, when the screen has it.
void repaint_html_options(HWND screen) {
  int item = screen ? find_control_item(screen, kModuleNumber, kHtmlStatusOptions) : 0;
  HWND options = item ? GetDlgItem(screen, item) : nullptr;
  if (options == nullptr) return;
  InvalidateRect(options, nullptr, TRUE);
  UpdateWindow(options);
}

void report_write_failure(HWND owner, const char* name, LONG rc) {
  show_message(owner, text("Error %d setting %s of %s", static_cast<int>(rc), name, kScoutService).s,
               kWriteFailureTitle, MB_ICONERROR);
}

// The bitmap at the left of the line, the text beside it; the line's height is the bitmap's.
void bitmap_line(HDC dc, BitmapRole bitmap, const RECT& line, const char* text) {
  int width, height;
  bitmap_extent(bitmap, &width, &height);
  draw_bitmap(dc, bitmap, line.left, line.top + (line.bottom - line.top - height) / 2);
  RECT beside = {line.left + width + kGap, line.top, line.right, line.bottom};
  DrawTextA(dc, text, -1, &beside, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void begin_face(const DRAWITEMSTRUCT* item, HGDIOBJ* previous) {
  RECT area = item->rcItem;
  FillRect(item->hDC, &area, g_library.drawing.brushes[kBrushWhite]);
  *previous = SelectObject(item->hDC, g_library.drawing.fonts[kFontNormal]);
  SetBkMode(item->hDC, TRANSPARENT);
  SetTextColor(item->hDC, kTextColour);
}

}  // namespace

DWORD DrawScoutRow(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  HGDIOBJ previous;
  begin_face(item, &previous);
  bitmap_line(item->hDC, kBitmapLogonUser, item->rcItem, scout_state_text(ScoutStatus()));
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

DWORD DrawHtmlStatusOptions(const DrawEvent& e) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(e.data);
  if (item == nullptr) return 1;
  HGDIOBJ previous;
  begin_face(item, &previous);
  const RECT& area = item->rcItem;
  int height = (area.bottom - area.top) / static_cast<int>(sizeof kHtmlOptions / sizeof kHtmlOptions[0]);
  int top = area.top;
  for (const HtmlOption& option : kHtmlOptions) {
    RECT line = {area.left + 2, top, area.right, top + height};
    bitmap_line(item->hDC, scout_value(option.value) ? kBitmapChecked : kBitmapUnchecked, line, option.label);
    top += height;
  }
  if (previous != nullptr) SelectObject(item->hDC, previous);
  return 1;
}

// The HTML status page buttons act on the scout's service key on this computer:
//   0x603100FA  asks for the pages' folder ("Select Path to host HTML Scout Web Pages"), stores it as
//               HTMLPATH (REG_SZ) and engages the pages (HTMLENGAGE = 1); a cancelled chooser writes nothing
//   0x603100FE  switches HTMLINCPROFILES between 0 and 1
//   0x603100F1  switches HTMLINCSETTINGS between 0 and 1
// Without the scout's key (no scout installed) the user is told and nothing is written. Each repaints the
// options control 0x603800F0 when the screen shows it.
DWORD ScoutHtmlButton(const ButtonEvent& e) {
  uint32_t id = descriptor_identifier(e.descriptor);
  HKEY key;
  if (!open_scout_key(e.screen, &key)) return 0;
  LONG rc = ERROR_SUCCESS;
  const char* failed = nullptr;
  if (id == kHtmlFolderButton) {
    char folder[MAX_PATH] = {};
    if (!choose_pages_folder(e.screen, folder)) {
      RegCloseKey(key);
      return 0;
    }
    failed = "HTMLPATH";
    rc = RegSetValueExA(key, failed, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                        static_cast<DWORD>(std::strlen(folder) + 1));
    if (rc == ERROR_SUCCESS) {
      failed = "HTMLENGAGE";
      rc = set_dword(key, failed, 1);
    }
  } else {
    failed = id == kHtmlProfilesButton ? "HTMLINCPROFILES" : "HTMLINCSETTINGS";
    rc = set_dword(key, failed, scout_value(failed) ? 0 : 1);
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    report_write_failure(e.screen, failed, rc);
    return 0;
  }
  repaint_html_options(e.screen);
  return 1;
}
