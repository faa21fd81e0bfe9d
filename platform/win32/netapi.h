// Blocks the network functions hand to their callers, all freed by NetApiBufferFree.
#pragma once
#include <cstddef>

namespace platform {

// A zeroed block of that size; null when there is no memory.
void* net_api_buffer(size_t bytes);

}  // namespace platform
