#include "console/in_process.h"

#include <cstdio>

#include "console/substitute_host.h"
#include "host/exports.h"
#include "host/host.h"
#include "win32/modules.h"

extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace console {
namespace {

DWORD WINAPI print_status_line(HWND, DWORD, DWORD, const char* text, COLORREF, COLORREF) {
  std::printf("  %s\n", text ? text : "");
  return 1;
}

}  // namespace

bool start_in_process_library(InProcessOptions options) {
  host::ServiceTable table = host::make_service_table();
  if (options.print_status_lines) table[kHostShowStatusLine] = reinterpret_cast<uintptr_t>(&print_status_line);
  if (establish_tables(6, table.data()) != 1) return false;
  if (g_library.instance == nullptr)
    g_library.instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  if (options.image_list) host::insert_list_images(host::in_process_library());
  return true;
}

}  // namespace console
