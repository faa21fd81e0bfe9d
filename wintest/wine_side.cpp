// What the groups need from the Windows side: hive files read back through
// RegLoadKeyA, the agent's pipe served by wintest-pipe.exe beside this
// program, and owner drawing read from an enhanced metafile (its texts with
// their fonts and colours) and from a bitmap (its pixels).
#include <cstdio>

#include "config/definition_copy.h"
#include "wintest/groups.h"
#include "wintest/session.h"

namespace wintest {
namespace {

constexpr char kLoadedHive[] = "wintest hive";
PROCESS_INFORMATION g_pipe_server = {};

std::string font_of(const LOGFONTW& font) {
  std::string face;
  for (const WCHAR* c = font.lfFaceName; *c; ++c) face += static_cast<char>(*c);
  return std::to_string(font.lfHeight) + " " + std::to_string(font.lfWeight) + " " + face +
         (font.lfItalic ? " italic" : "") + (font.lfUnderline ? " underlined" : "") +
         (font.lfCharSet == SYMBOL_CHARSET ? " symbols" : "");
}

// What a metafile's records drew: the fonts it made by object index, the font and colour selected,
// and each text with them.
struct Recorded {
  std::vector<std::pair<DWORD, std::string>> fonts;
  std::string font = "no font";
  COLORREF colour = 0;
  std::vector<std::string> texts;
};

int CALLBACK read_record(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
  auto* r = reinterpret_cast<Recorded*>(data);
  if (record->iType == EMR_EXTCREATEFONTINDIRECTW) {
    auto* made = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
    r->fonts.push_back({made->ihFont, font_of(made->elfw.elfLogFont)});
  } else if (record->iType == EMR_SELECTOBJECT) {
    DWORD object = reinterpret_cast<const EMRSELECTOBJECT*>(record)->ihObject;
    for (const auto& [index, text] : r->fonts)
      if (index == object) r->font = text;
  } else if (record->iType == EMR_SETTEXTCOLOR) {
    r->colour = reinterpret_cast<const EMRSETTEXTCOLOR*>(record)->crColor;
  } else if (record->iType == EMR_EXTTEXTOUTW) {
    auto* drawn = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
    auto* chars = reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(record) + drawn->emrtext.offString);
    std::string text;
    for (DWORD i = 0; i < drawn->emrtext.nChars; ++i) text += static_cast<char>(chars[i]);
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%lX", static_cast<unsigned long>(r->colour));
    r->texts.push_back(text + " | " + r->font + " | " + colour);
  }
  return 1;
}

}  // namespace

std::vector<std::string> drawn_texts(const std::function<void(HDC)>& draw) {
  HDC screen = GetDC(nullptr);
  HDC metafile = CreateEnhMetaFileA(screen, nullptr, nullptr, nullptr);
  ReleaseDC(nullptr, screen);
  draw(metafile);
  HENHMETAFILE drawn = CloseEnhMetaFile(metafile);
  Recorded recorded;
  EnumEnhMetaFile(nullptr, drawn, read_record, &recorded, nullptr);
  DeleteEnhMetaFile(drawn);
  return recorded.texts;
}

std::vector<uint32_t> drawn_pixels(const std::function<void(HDC)>& draw, int width, int height,
                                   const std::vector<std::pair<int, int>>& points) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  draw(dc);
  std::vector<uint32_t> out;
  for (const auto& [x, y] : points) {
    COLORREF c = GetPixel(dc, x, y);
    out.push_back(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
  }
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return out;
}

namespace {

int g_menu_events;

void CALLBACK count_menu_event(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) { ++g_menu_events; }

// Closes the menu that is open, as Escape does.
void CALLBACK close_open_menu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = FindWindowA("#32768", nullptr);
  if (popup == nullptr || !IsWindowVisible(popup)) return;
  KillTimer(nullptr, timer);
  PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
}

}  // namespace

std::string menu_events_missing() {
  HWND owner = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "Probe");
  g_menu_events = 0;
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPSTART, nullptr,
                                       count_menu_event, GetCurrentProcessId(), GetCurrentThreadId(),
                                       WINEVENT_OUTOFCONTEXT);
  UINT_PTR timer = SetTimer(nullptr, 0, 30, close_open_menu);
  TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr);
  KillTimer(nullptr, timer);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  UnhookWinEvent(hook);
  DestroyMenu(menu);
  DestroyWindow(owner);
  return g_menu_events > 0 ? "" : "EVENT_SYSTEM_MENUPOPUPSTART of a popup menu";
}

std::string font_text(HGDIOBJ font) {
  LOGFONTW described = {};
  if (GetObjectW(font, sizeof described, &described) != sizeof described) return "no font";
  return font_of(described);
}


std::vector<std::string> hive_file_lines(const std::string& file) {
  EnableBackupPrivileges();
  LONG rc = RegLoadKeyA(HKEY_USERS, kLoadedHive, file.c_str());
  if (rc != ERROR_SUCCESS) return {"(RegLoadKeyA gave Windows error " + std::to_string(rc) + ")"};
  std::vector<std::string> lines = registry_lines(HKEY_USERS, kLoadedHive, "file");
  RegUnLoadKeyA(HKEY_USERS, kLoadedHive);
  return lines;
}

bool start_pipe_agent(const Place&, PipeWay way) {
  const char* ways[] = {"well", "short", "long", "wrong-marker"};
  std::string program = program_folder() + "wintest-pipe.exe";
  std::string command = "\"" + program + "\" " + ways[static_cast<int>(way)];
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                      &g_pipe_server))
    return false;
  // Serving once the pipe can be waited for.
  for (int tries = 0; tries < 200; ++tries) {
    if (WaitNamedPipeA("\\\\.\\pipe\\vornixw01", 50)) return true;
    Sleep(25);
  }
  return false;
}

void stop_pipe_agent() {
  if (g_pipe_server.hProcess == nullptr) return;
  TerminateProcess(g_pipe_server.hProcess, 0);
  WaitForSingleObject(g_pipe_server.hProcess, 5000);
  CloseHandle(g_pipe_server.hThread);
  CloseHandle(g_pipe_server.hProcess);
  g_pipe_server = {};
}

}  // namespace wintest
