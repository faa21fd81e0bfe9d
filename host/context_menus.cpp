// The context menus of this library's lists and trees: the host asks for the
// entries of a right-clicked list (it shows the buffers that are not empty, in
// position order) and then reports the position the user chose. The menus and
// their actions belong to the subsystems that own the lists (their menu routes).
#include <cstdarg>
#include <cstdio>

#include "host/exports.h"
#include "host/host.h"
#include "host/control_id.h"
#include "host/subsystems.h"

namespace {

// The list and descriptor kind of the menu shown last, for the choice that follows it.
struct ShownMenu {
  HWND list;
  DWORD descriptor_kind;
};
ShownMenu g_shown_menu;

DWORD refuse(uintptr_t module) {
  if (g_library.initialised != 1) return kResultNotInitialised;
  return module != kModuleNumber ? kResultNotHandled : 0;
}

}  // namespace

void set_menu_entry(const MenuRequest& request, int position, const char* format, ...) {
  if (position < 0 || position >= kMenuPositions || request.entries[position] == nullptr) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(request.entries[position], kMenuEntryBytes, format, arguments);
  va_end(arguments);
}

// Arguments: module number, list identifier, row record, nine entry buffers, a value, list window,
// descriptor kind of the list.
QVMR_EXPORT DWORD WINAPI treeview_right_click_popupmenu(uintptr_t module, uintptr_t id, uintptr_t record,
                                                        uintptr_t e0, uintptr_t e1, uintptr_t e2, uintptr_t e3,
                                                        uintptr_t e4, uintptr_t e5, uintptr_t e6, uintptr_t e7,
                                                        uintptr_t e8, uintptr_t, uintptr_t list, uintptr_t kind) {
  if (DWORD refused = refuse(module)) return refused;
  const MenuRoute* route = find_menu_route(static_cast<uint32_t>(id));
  if (route == nullptr) return kResultNotHandled;
  MenuRequest request = {static_cast<uint32_t>(id), reinterpret_cast<const BYTE*>(record),
                         reinterpret_cast<HWND>(list), static_cast<DWORD>(kind), {}};
  const uintptr_t buffers[kMenuPositions] = {e0, e1, e2, e3, e4, e5, e6, e7, e8};
  for (int position = 0; position < kMenuPositions; ++position) {
    request.entries[position] = reinterpret_cast<char*>(buffers[position]);
    if (request.entries[position] != nullptr) request.entries[position][0] = '\0';
  }
  g_shown_menu = {request.list, request.descriptor_kind};
  return route->fill(request);
}

// Arguments: module number, list identifier, row record, chosen position, two values, owner window.
QVMR_EXPORT DWORD WINAPI treeview_right_click_action(uintptr_t module, uintptr_t id, uintptr_t record,
                                                     uintptr_t position, uintptr_t, uintptr_t, uintptr_t owner) {
  if (DWORD refused = refuse(module)) return refused;
  const MenuRoute* route = find_menu_route(static_cast<uint32_t>(id));
  if (route == nullptr || route->act == nullptr || position >= kMenuPositions) return kResultNotHandled;
  MenuChoice choice = {static_cast<uint32_t>(id), reinterpret_cast<BYTE*>(record), static_cast<int>(position),
                       reinterpret_cast<HWND>(owner), g_shown_menu.list, g_shown_menu.descriptor_kind};
  return route->act(choice);
}
