// Tests: how many brushes and fonts exist that nobody has deleted.
#pragma once

extern "C" int qvmr_gdi_live_objects(void);
