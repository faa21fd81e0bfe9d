// A host that returns from main without unloading the library, as a program
// that exits in a hurry does. Run by the process-exit test as a child:
//   exit_without_unload load|start|report LIBRARY
// load: dlopen only; start: the start-up handshake too; report: a quick report
// of SRV01 (the world of $QVMR7_WORLD) still reading when main returns.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "console/substitute_host.h"
#include "host/control_descriptor.h"
#include "reports/log_reader.h"
#include "reports/report_generation.h"

namespace {

constexpr int kServerListItem = 1800;

// Presses the quick-report button on a screen whose server list has SRV01 selected;
// true once the worker reads its first file.
bool start_quick_report(const host::Library& library) {
  HWND servers_screen = host::create_screen(1, "Servers");
  HWND servers = host::add_control(servers_screen, kServerListItem, WC_LISTVIEWA, "", host::ControlSpec{});
  char name[] = "SRV01";
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.pszText = name;
  SendMessageA(servers, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SendMessageA(servers, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));

  HWND screen = host::create_screen(2, "Quick Report");
  host::ControlSpec button_spec;
  button_spec.control_id = kQuickReportButton;
  button_spec.kind = kDescriptorPushButton;
  button_spec.companion_key = 1;
  button_spec.companion_item = kServerListItem;
  HWND button = host::add_control(screen, 1900, "Button", "Run Quick Report Now", button_spec);
  for (int list : kQuickListControls) host::add_control(screen, list, WC_LISTVIEWA, "", host::ControlSpec{});
  HWND status = host::add_control(screen, kQuickStatusItem, "Static", "", host::ControlSpec{});
  if (library.entry_point_button_services(screen, 0, host::descriptor_of(button)) != 1) return false;
  for (int waited = 0; waited < 10000; waited += 10) {
    char text[200] = {};
    GetWindowTextA(status, text, sizeof text);
    if (std::strncmp(text, "Reading file", 12) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: exit_without_unload load|start|report LIBRARY\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "load") {
    if (dlopen(argv[2], RTLD_NOW | RTLD_LOCAL) == nullptr) {
      std::fprintf(stderr, "%s\n", dlerror());
      return 2;
    }
    std::printf("loaded\n");
    return 0;
  }
  host::Library library;
  std::string error;
  if (!host::load_library(argv[2], &library, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  host::ServiceTable table = host::make_service_table();
  if (library.establish_tables(6, table.data()) != 1) return 2;
  std::printf("started\n");
  if (mode == "report") {
    if (!start_quick_report(library)) return 2;
    std::printf("reading\n");
  }
  std::fflush(stdout);
  return 0;
}
