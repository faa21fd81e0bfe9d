// The network management functions (netapi32), as far as the library uses them.
#pragma once
#include "lmapibuf.h"
