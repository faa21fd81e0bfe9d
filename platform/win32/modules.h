// Modules: the system libraries the library loads at run time, and the
// library itself with its resources.
#pragma once
#include <windows.h>

#include <string>

extern "C" {
// Called by the library's load hook: registers it under its Windows file name
// with its resource script and identifier header; returns its instance handle.
HINSTANCE qvmr_register_module(const char* file_name, const char* resource_script,
                               const char* resource_header);
void qvmr_unregister_module(HINSTANCE instance);
// Called as the library is loaded: a file its resource script names (a bitmap), by the
// path the script gives it; the bytes are copied.
void qvmr_register_resource_file(const char* path, const unsigned char* bytes, size_t size);
// Tests: make GetProcAddress answer "not found" for one export (or all again
// with a null name).
void qvmr_hide_export(const char* module, const char* name);
// Tests: make LoadLibraryA answer "not found" for one system module (or for none again with a null name).
void qvmr_hide_module(const char* module);
}

namespace platform {
// The resource script and header of a registered module; null when unknown.
const std::string* module_resource_script(HINSTANCE instance);
const std::string* module_resource_header(HINSTANCE instance);
// The name of the module's icon as its resource script spells it, found ignoring case as Windows
// finds resource names; empty when the script names no such icon.
std::string module_icon_name(HINSTANCE instance, const char* name);
// The bytes of the file that the module's resource script names as the bitmap of that
// name; null when it names none or the file was not registered.
const std::string* module_bitmap_file(HINSTANCE instance, const char* name);
// The bytes of a registered resource file; null when none has that path.
const std::string* resource_file(const std::string& path);
// A module's Windows path: a registered library beside the console program, a
// system library in the system folder; empty for a handle that is no module.
std::string module_path(HMODULE module);
}  // namespace platform
