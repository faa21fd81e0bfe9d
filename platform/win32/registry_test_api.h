// What tests may ask the simulated registry beyond the Win32 functions.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// RegConnectRegistryA calls that named this machine ("NAME", "\\NAME" or its
// IPv4; NULL or "" for the console machine) since the world was opened or the
// counts were last reset. Failed calls count too.
int qvmr_registry_connect_count(const char* machine);
// The access mask of the latest RegOpenKeyExA or RegCreateKeyExA on a key of
// this machine's HKEY_LOCAL_MACHINE (0 when none since the world was opened).
unsigned long qvmr_registry_last_access(const char* machine);
// Sets all connect counts to zero. Injected connect failures that were already
// used up stay used up; reopening the world re-arms them.
void qvmr_registry_reset_counts(void);

#ifdef __cplusplus
}
#endif
