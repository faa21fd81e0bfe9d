// Linked into libqvmr7.so only: plays the part of the Windows loader, calling
// the library's DllMain when the shared object is loaded and unloaded, with an
// instance handle under which its resources are registered.
#include <windows.h>

#include "win32/modules.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern const char qvmr7_resource_script[];
extern const char qvmr7_resource_header[];

namespace {

HINSTANCE g_instance = nullptr;

__attribute__((constructor)) void on_load() {
  g_instance = qvmr_register_module("QVMR0007.DLL", qvmr7_resource_script, qvmr7_resource_header);
  DllMain(g_instance, DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void on_unload() {
  DllMain(g_instance, DLL_PROCESS_DETACH, nullptr);
  qvmr_unregister_module(g_instance);
}

}  // namespace
