// The library's code linked into a test or benchmark program, as the host would have it loaded.
#pragma once
#include "console/substitute_host.h"

namespace host {

// The linked library's exports as a loaded library's, its screens' entry points made the current ones.
Library in_process_library();

}  // namespace host
