// Copying, renaming, importing and restoring definitions (tracking profiles and
// saved custom reports) between servers: one recursive key copy that also
// points a copied report definition at its new server.
#pragma once
#include <cstddef>
#include <cstdint>

#include "host/win32.h"

struct DropEvent;

// RenameDefinition kinds; any other value renames a profile.
constexpr DWORD kRenameReport = 0;
constexpr DWORD kRenameGraphicalSchedule = 33;
// ImportFile kinds.
constexpr DWORD kImportProfiles = 1;
constexpr DWORD kImportReports = 2;

struct DefinitionCopyState {
  DWORD errors;  // failures of the copy or rename under way
  // Definitions copied to a server since the drop began. The host's table offers no such
  // counter, so the library keeps it where the drop and the copies both reach it.
  DWORD copies;
};

extern DefinitionCopyState g_definition_copy;

// Copies parent\source_name with its values and subkeys to dest_parent\dest_name (the same name
// when null). Without overwrite an existing destination is left alone. Failures are counted in
// g_definition_copy.errors and the copy goes on; the count is returned.
DWORD CopyKeyTree(HKEY source_parent, const char* source_name, HKEY dest_parent, const char* dest_name,
                  DWORD report_to_host, const char* dest_server, const char* source_server, DWORD overwrite);
// Writes the server's name, zero-terminated, 24 bytes after the first 0x02020202 marker of a report
// definition; nothing past the end of the data. false when there is no marker.
bool retarget_definition(BYTE* data, DWORD size, const char* server);
// Copies Profiles\profile from the source server to every selected server of the list (its rows'
// texts are server names) except the source, or to the one server at row item. With report_to_host
// the steps are rows of the open results window (else the host's status line); without it failures
// are message boxes. Each server copied to adds one to g_definition_copy.copies; returns how many.
DWORD CopyProfileToSelectedServers(HWND window, const char* profile, const char* source_server, HWND server_list,
                                   DWORD report_to_host, DWORD overwrite);
DWORD CopyProfileToServer(HWND window, const char* profile, const char* source_server, HWND server_list, int item,
                          DWORD report_to_host, DWORD overwrite);
// The same for Reports\report; a source of "LOCAL_MACHINE" is this computer.
DWORD CopyCustomReport(const char* report, const char* source_server, HWND dest_list, DWORD report_to_host,
                       DWORD overwrite);
// The server a profile row or a saved report row belongs to; false for any other row.
bool definition_row_server(const BYTE* record, char* server, size_t size);
// Exports the selected rows of a profile list (kind kImportProfiles) or saved report list
// (kImportReports), each from the server its row names (else the current server), into one file
// "VORNIX_PROFILES[tag].exportkey" or "VORNIX_REPORTS[tag].exportkey" in the host program's folder.
// The number of definitions exported.
DWORD ExportSelected(HWND list, DWORD kind, const char* current_server);
// Enables the backup and then the restore privilege of the console process, warning on failure.
void EnableBackupPrivileges();
// Renames Profiles\old, Reports\old or Reports\Graphs\old (by kind) from one server to another;
// the old key is deleted only when the copy had no failure. The number of failures.
DWORD RenameDefinition(HWND window, const char* old_name, const char* new_name, const char* source_server,
                       const char* dest_server, DWORD kind);
// Loads an export file (or one the user picks when file is null) into the server's Profiles or
// Reports. 1 when items were copied, else 0.
DWORD ImportFile(const char* server, DWORD kind, DWORD report_to_host, const char* file);
// The folder where the server's agent keeps its registry archives: "\\\\SERVER\\C$\\...\\vornix\\"
// from its SystemRoot. false when SystemRoot cannot be read.
bool registry_archive_folder(const char* server, char* out, size_t size);
// The date an archive's file name carries: the parts around a month name ("vornix_07_Dec_2026.savekey" gives
// "07 Dec 2026"); empty when no part is a month.
void archive_date(const char* file, char* out, size_t size);
// One list row per "*.savekey" file of that folder: its full path, and in the second column the
// date its name carries. The number listed.
DWORD ListRegistryArchives(const char* server, HWND list);
// Replaces the server's product key by a registry archive, after the user confirms. 1 on success.
DWORD RestoreRegistryArchive(HWND window, const char* server, const char* file);
// The same once confirmed: the product key opened and the archive restored over it, with their messages.
DWORD restore_registry_archive(HWND window, const char* server, const char* file);
// The server screen's archive list (0x60340120, chosen): the current server's registry archives, listed anew
// at each event. Its restore button (0x60310120, chosen): the selected archive over the current server's
// product key, after the confirmation.
DWORD RegistryArchiveList(HWND list);
DWORD RestoreArchiveButton(HWND screen, HWND archives);
// Profile or saved report rows dropped on a server list: copied to the servers selected there after
// the confirmation, every step a row of the results window. 0 once done or refused.
DWORD DropDefinitionRows(const DropEvent& event);
// The copy button (0x602100D9): the profile selected in the profile list to the servers selected in the
// button's companion list, after the confirmation. 1 once done, 0 when refused.
DWORD CopyProfileButton(HWND screen, HWND servers);
// The rename buttons: the selected profile (0x60210029, 0x602100CE), saved report (0x60410013) or
// scheduled graphical activity (0x6041092E, both of the button's companion list) renamed on its server
// to the name typed in the rename dialog.
DWORD RenameButton(HWND screen, uint32_t id, HWND companion);
