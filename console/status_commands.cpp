#include "console/status_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "chartdir/memory_dc.h"
#include "config/registry.h"
#include "console/command_line.h"
#include "console/in_process.h"
#include "console/console_output.h"
#include "console/net_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "host/exports.h"
#include "host/host.h"
#include "host/text.h"
#include "win32/modules.h"
#include "win32/ui_script.h"

namespace console {
namespace {

constexpr uint16_t kServerScreenKey = 2;
constexpr int kServerListItem = 200;
constexpr uint16_t kDrawScreenKey = 9;
constexpr int kDrawnControlItem = 300;
constexpr int kDrawWidth = 360;
constexpr int kDrawHeight = 200;
constexpr uintptr_t kDrawModeStatusLine = 0x71717171;
constexpr uintptr_t kDrawModeControl = 0;

// The console's server list with a fresh record behind each row, as the host keeps them.
struct ServerList {
  HWND list;
  std::vector<std::string> names;
};

ServerList make_server_list() {
  host::clear_screens();
  HWND screen = host::create_screen(kServerScreenKey, "Servers");
  host::ControlSpec layout;
  layout.control_id = kConsoleServerList;
  layout.kind = kDescriptorListView;
  ServerList s{host::add_control(screen, kServerListItem, WC_LISTVIEWA, "", layout), {}};
  host::send_list_event(host::in_process_library(), s.list);
  int rows = static_cast<int>(SendMessageA(s.list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < rows; ++i) {
    char text[260] = {};
    LPARAM none = 0;
    read_list_row(s.list, i, text, sizeof text, &none);
    s.names.push_back(text);
    LVITEMA item = {};
    item.iItem = i;
    item.mask = LVIF_PARAM;
    item.lParam = static_cast<LPARAM>(alloc_memory_for_list());
    SendMessageA(s.list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  return s;
}

void release_server_list(const ServerList& s) {
  for (size_t i = 0; i < s.names.size(); ++i)
    if (LPARAM record = list_row_param(s.list, static_cast<int>(i))) delete_list_item(0, 0, reinterpret_cast<void*>(record));
}

int row_of(const ServerList& s, const std::string& name) {
  for (size_t i = 0; i < s.names.size(); ++i)
    if (equal_ignoring_case(s.names[i].c_str(), name.c_str())) return static_cast<int>(i);
  return -1;
}

// The rows of the servers asked for, in the order asked; every row when none is named.
bool rows_asked(const ServerList& s, const std::vector<std::string>& servers, std::vector<int>* rows) {
  if (servers.empty())
    for (size_t i = 0; i < s.names.size(); ++i) rows->push_back(static_cast<int>(i));
  for (const std::string& server : servers) {
    int row = row_of(s, server);
    if (row < 0) return fail(server + " is not a known server of this console (vornix-console servers lists them)"), false;
    rows->push_back(row);
  }
  return true;
}

std::string whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int write_status_lines(const std::vector<std::string>& servers, const std::string& out) {
  ServerList s = make_server_list();
  std::vector<int> rows;
  if (!rows_asked(s, servers, &rows)) return release_server_list(s), 1;
  // Without --out the lines go to a temporary file first, then to standard output.
  std::string path = out.empty() ? (std::filesystem::temp_directory_path() /
                                    ("vornix-status-" + std::to_string(GetCurrentProcessId()) + ".csv")).string()
                                 : out;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    release_server_list(s);
    return fail(path + ": cannot be created (Windows error " + std::to_string(GetLastError()) + ")");
  }
  for (int row : rows) {
    uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(file), static_cast<uintptr_t>(row)};
    entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(s.list), kDrawModeStatusLine,
                             reinterpret_cast<uintptr_t>(pair), 0, kConsoleServerList);
  }
  CloseHandle(file);
  release_server_list(s);
  if (out.empty()) {
    std::fputs(whole_file(path).c_str(), stdout);
    std::filesystem::remove(path);
  } else {
    std::printf("%zu status line%s written to %s\n", rows.size(), rows.size() == 1 ? "" : "s", out.c_str());
  }
  return 0;
}

bool parse_identifier(const std::string& text, uint32_t* id) {
  if (text.size() < 3 || text.size() > 10 || (text.compare(0, 2, "0x") != 0 && text.compare(0, 2, "0X") != 0))
    return false;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str() + 2, &end, 16);
  if (end == nullptr || *end != '\0') return false;
  *id = static_cast<uint32_t>(value);
  return true;
}

// Draws the control into a bitmap as the host's owner-draw message would, then writes the bitmap.
int draw_control(uint32_t id, const std::string& server, const std::string& caption, bool checked,
                 const std::string& png) {
  ServerList s = make_server_list();
  if (!server.empty()) {
    int row = row_of(s, server);
    if (row < 0) {
      release_server_list(s);
      return fail(server + " is not a known server of this console (vornix-console servers lists them)");
    }
    ui::click_row(s.list, row);
  }
  HWND screen = host::create_screen(kDrawScreenKey, "Drawn control");
  host::ControlSpec layout;
  layout.control_id = id;
  layout.kind = kDescriptorPushButton;
  HWND control = host::add_control(screen, kDrawnControlItem, "Button", caption.c_str(), layout);
  SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  HDC dc = CreateCompatibleDC(GetDC(nullptr));
  HBITMAP bitmap = CreateCompatibleBitmap(dc, kDrawWidth, kDrawHeight);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.CtlID = kDrawnControlItem;
  item.itemAction = ODA_DRAWENTIRE;
  item.hwndItem = control;
  item.hDC = dc;
  item.rcItem = {0, 0, kDrawWidth, kDrawHeight};
  DWORD result = entry_point_wm_draw_item(reinterpret_cast<uintptr_t>(control), kDrawModeControl,
                                          reinterpret_cast<uintptr_t>(&item), 0, id);
  int status = 0;
  if (result != 1) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    status = fail(std::string("the library draws no control ") + hex + " (answer " + std::to_string(result) + ")");
  } else {
    auto picture = platform::bitmap_part(bitmap, 0, kDrawWidth, kDrawHeight);
    if (!picture || !platform::write_picture_png(*picture, png)) status = fail(png + ": the picture could not be written");
    else std::printf("%s written (%dx%d)\n", png.c_str(), kDrawWidth, kDrawHeight);
  }
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  release_server_list(s);
  return status;
}

}  // namespace

int server_status_command(std::vector<std::string> args) {
  bool missing = false;
  std::vector<std::string> servers = take_options(args, "--server", &missing);
  std::string out = take_option(args, "--out", &missing);
  if (missing) return fail("--server and --out each need a value");
  if (!args.empty()) return fail("server-status takes only --server NAME (repeated) and --out FILE");
  if (!start_in_process_library({false, true})) return fail("the library refused the host services table");
  auto pipes = start_agent_pipes();
  int status = write_status_lines(servers, out);
  pipes.clear();
  release_registry_connections();
  return status;
}

int draw_command(std::vector<std::string> args) {
  bool missing = false;
  std::string control = take_option(args, "--control", &missing);
  std::string server = take_option(args, "--server", &missing);
  std::string png = take_option(args, "--png", &missing);
  std::string caption = take_option(args, "--text", &missing);
  bool checked = take_flag(args, "--checked");
  if (missing) return fail("--control, --server, --text and --png each need a value");
  if (!args.empty())
    return fail("draw takes only --control 0xID, --server NAME, --text CAPTION, --checked and --png OUT");
  uint32_t id = 0;
  if (!parse_identifier(control, &id)) return fail("--control needs a control identifier in hexadecimal, as 0x602220C8");
  if (png.empty()) return fail("--png OUT names the picture to write");
  if (!start_in_process_library({false, true})) return fail("the library refused the host services table");
  return draw_control(id, server, caption, checked, png);
}

}  // namespace console
