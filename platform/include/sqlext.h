// unixODBC's sqlext.h, after the types of sql.h here (see there).
#pragma once

#include <sql.h>

#include_next <sqlext.h>
