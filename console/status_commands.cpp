#include "console/windows_error.h"
#include "console/status_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "chartdir/memory_dc.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "console/host_screens.h"
#include "console/net_commands.h"
#include "console/report_commands.h"
#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "host/control_id.h"
#include "resources/resource.h"
#include "win32/ui_script.h"
#include "world/world.h"

namespace console {
namespace {

constexpr uint16_t kDrawScreenKey = 9;
constexpr int kDrawnControlItem = 300;
constexpr int kDrawWidth = 360;
constexpr int kDrawHeight = 200;
constexpr uintptr_t kDrawModeStatusLine = 0x71717171;
constexpr uintptr_t kDrawModeControl = 0;
constexpr char kLocalMachineRow[] = "LOCAL_MACHINE";
constexpr uint16_t kKnownServersScreenKey = 13;
constexpr int kAddServerEntry = 0;

using DrawItemFn = DWORD(WINAPI*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
DrawItemFn draw_export(const Library& l) {
  return reinterpret_cast<DrawItemFn>(host::export_address(l.library, "entry_point_wm_draw_item"));
}

std::string dotted(uintptr_t value) {
  uint8_t b[4];
  uint32_t v = static_cast<uint32_t>(value);
  std::memcpy(b, &v, 4);
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

// The known servers with their addresses, from the custom report's server list (0x602400A1), which the library
// fills with each server and its address, then LOCAL_MACHINE (this computer), left out here.
std::vector<host::ValueRow> known_servers(const Library& l) {
  HWND screen = host::create_screen(kKnownServersScreenKey, "Known servers");
  HWND list = host::add_control(screen, 1, WC_LISTVIEWA, "", host::ControlSpec{kCustomReportServerList, kDescriptorListView});
  host::send_list_event(l.library, list);
  std::vector<host::ValueRow> rows;
  for (const host::ValueRow& row : host::value_rows(list))
    if (row.text != kLocalMachineRow) rows.push_back(row);
  return rows;
}

// The rows of the servers asked for, in the order asked; every row when none is named.
bool rows_asked(HWND list, const std::vector<std::string>& servers, std::vector<int>* rows) {
  if (servers.empty())
    for (int i = 0; i < row_count(list); ++i) rows->push_back(i);
  for (const std::string& server : servers) {
    int row = find_row(list, server);
    if (row < 0) return fail(server + " is not a known server of this console (vornix-console servers lists them)"), false;
    rows->push_back(row);
  }
  return true;
}

// Draws the control into a bitmap as the host's owner-draw message would, then writes the bitmap.
int draw_control(const Library& l, uint32_t id, const std::string& caption, bool checked, const std::string& png) {
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
  DWORD result = draw_export(l)(reinterpret_cast<uintptr_t>(control), kDrawModeControl,
                                reinterpret_cast<uintptr_t>(&item), 0, id);
  int status = 0;
  if (result != 1) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    status = fail(std::string("the library draws no control ") + hex + " (answer " + std::to_string(result) + ")");
  } else {
    auto picture = platform::bitmap_part(bitmap, 0, kDrawWidth, kDrawHeight);
    OutputFile out = output_file(png, "control.png");
    if (!picture || !platform::write_picture_png(*picture, out.path) || !deliver_output(out))
      status = fail(out.path + ": the picture could not be written");
    else
      say_written(out, (out.to_stdout ? "standard output" : out.path) + " written (" + std::to_string(kDrawWidth) + "x" +
                           std::to_string(kDrawHeight) + ")");
  }
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return status;
}

}  // namespace

void write_status_lines(const Library& l, HWND list, const std::vector<int>& rows, HANDLE file) {
  for (int row : rows) {
    uintptr_t pair[2] = {reinterpret_cast<uintptr_t>(file), static_cast<uintptr_t>(row)};
    draw_export(l)(reinterpret_cast<uintptr_t>(list), kDrawModeStatusLine, reinterpret_cast<uintptr_t>(pair), 0,
                   kConsoleServerList);
  }
}

int servers_command(std::vector<std::string> args) {
  Format format;
  if (!take_format(args, &format)) return 1;
  if (!args.empty()) return usage_error("servers takes no arguments besides --format and --world DIR");
  Library l;
  if (!start(&l)) return 1;
  Listing listing{"Known servers of " + world::console_machine() + ":", {"name", "address"}, {},
                  "(none; add-server NAME adds one)", {24}};
  for (const host::ValueRow& row : known_servers(l))
    listing.rows.push_back({row.text, row.value ? dotted(row.value) : "no address"});
  print_listing(listing, format);
  host::unload_library(&l.library);
  return 0;
}

int add_server_command(std::vector<std::string> args) {
  if (args.size() != 1 || args[0].empty()) return usage_error("add-server takes one server name (and --world DIR)");
  const std::string& name = args[0];
  Library l;
  if (!start(&l)) return 1;
  // "Add New Server to this Console" of the server list's menu, its dialog answered with the name.
  HWND list = make_server_list(l);
  HWND screen = GetParent(list);
  host::MenuEntries entries;
  ui::script({"ADD_SERVER_NEW", IDOK, "", {{IDC_TEXT_FIELD, name}}});
  DWORD added = host::request_menu(l.library, list, kConsoleServerList, nullptr, kDescriptorListView, &entries) == 0
                    ? host::choose_menu_entry(l.library, kConsoleServerList, nullptr, kAddServerEntry, screen)
                    : 0;
  ui::clear_script();
  int status = 0;
  uintptr_t address = 0;
  bool known = false;
  for (const host::ValueRow& row : known_servers(l))
    if (strcasecmp(row.text.c_str(), name.c_str()) == 0) known = true, address = row.value;
  if (added != 1 || !known) {
    std::string said = last_message();
    status = fail(name + ": it was not added" + (said.empty() ? "" : " (" + said + ")"));
  } else {
    std::printf("%s (%s) is a known server of this console, its product key in place\n", name.c_str(),
                address ? dotted(address).c_str() : "no address");
  }
  host::unload_library(&l.library);
  return status;
}

int server_status_command(std::vector<std::string> args) {
  bool missing = false;
  std::vector<std::string> servers = take_options(args, "--server", &missing);
  std::string out = take_option(args, "--out", &missing);
  if (missing) return usage_error("--server and --out each need a value");
  if (!args.empty()) return usage_error("server-status takes only --server NAME (repeated) and --out FILE");
  if (!output_path_ready("--out", out)) return 1;
  Library l;
  if (!start(&l)) return 1;
  auto pipes = start_agent_pipes();
  HWND list = make_server_list(l);
  std::vector<int> rows;
  if (!rows_asked(list, servers, &rows)) return host::unload_library(&l.library), 1;
  // Without --out (or with "-") the lines go to a temporary file first, then to standard output.
  OutputFile target = output_file(out.empty() ? "-" : out, "server-status.csv");
  const std::string& path = target.path;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    host::unload_library(&l.library);
    return fail(path + ": cannot be created (" + windows_error(error) + ")");
  }
  write_status_lines(l, list, rows, file);
  CloseHandle(file);
  pipes.clear();
  host::unload_library(&l.library);
  if (!deliver_output(target)) return fail(path + ": cannot be read back for standard output");
  if (!target.to_stdout)
    std::printf("%zu status line%s written to %s\n", rows.size(), rows.size() == 1 ? "" : "s", path.c_str());
  return 0;
}

// The host's owner-drawn controls, as its screens have them.
struct DrawnControl {
  const char* ids;
  const char* name;
};
constexpr DrawnControl kDrawnControls[] = {
    {"0x602220C8, 0x6022210F, 0x603200E1", "server tiles (the selected server; --server)"},
    {"0x603200E9, 0x603200F9, 0x60320110", "server tiles of the server and agent screens"},
    {"0x60410D1D", "the quick report button"},
    {"0x60420D20", "the quick report's progress bars"},
    {"0x60410918", "the graph area"},
    {"0x6028005B to 0x6028006E", "check boxes (--text, --checked)"},
    {"0x602800B0 to 0x602800E4, 0x60220051", "check boxes (--text, --checked)"},
    {"0x60410D0E, 0x60410D10, 0x60410D12", "option buttons (--text, --checked)"},
    {"0x6028006F to 0x60280093", "the scout's rows"},
    {"0x603800F0", "the HTML status page options"},
    {"0x6011200B, 0x6011400D, 0x602100C2", "picture buttons"},
    {"0x602100C4 to 0x602100C7", "the navigation buttons"},
    {"0x602100CA, 0x603100D2 to 0x603100DC", "option buttons with their state (--text)"},
    {"0x603100C7, 0x603100E8, 0x6031010E", "text buttons of the server and report screens"},
};

int draw_command(std::vector<std::string> args) {
  if (take_flag(args, "--list-controls")) {
    if (!args.empty()) return usage_error("draw --list-controls takes nothing else");
    std::printf("Owner-drawn controls (--control 0xID):\n");
    for (const DrawnControl& control : kDrawnControls) std::printf("  %-36s %s\n", control.ids, control.name);
    return 0;
  }
  bool missing = false;
  std::string control = take_option(args, "--control", &missing);
  std::string server = take_option(args, "--server", &missing);
  std::string png = take_option(args, "--png", &missing);
  std::string caption = take_option(args, "--text", &missing);
  bool checked = take_flag(args, "--checked");
  if (missing) return usage_error("--control, --server, --text and --png each need a value");
  if (!args.empty())
    return usage_error("draw takes only --control 0xID, --server NAME, --text CAPTION, --checked and --png OUT");
  uint32_t id = 0;
  if (!parse_identifier(control, &id)) return usage_error("--control needs a control identifier in hexadecimal, as 0x602220C8");
  if (png.empty()) return usage_error("--png OUT names the picture to write");
  Library l;
  if (!start(&l)) return 1;
  HWND list = make_server_list(l);
  int status = server.empty() || select_server(list, server) ? draw_control(l, id, caption, checked, png) : 1;
  host::unload_library(&l.library);
  return status;
}

}  // namespace console
