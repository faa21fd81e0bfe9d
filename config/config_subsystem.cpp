// The configuration screens' routes: the profile screens and the lists of a
// profile form, and the server lists filled with the console's known servers.
//
//   0x6031208C  server form: choose ReportPath from the current server's disk shares
//   0x60F10024  sibling server form: choose LogSharePath from the sibling server's disk shares
#include "config/definition_menus.h"
#include "config/definition_copy.h"
#include "config/email_config.h"
#include "config/log_share.h"
#include "config/profiles.h"
#include "config/registry.h"
#include "config/schedules.h"
#include "config/server_settings.h"
#include "config/unattended_run.h"
#include "host/control_id.h"
#include "host/host.h"
#include "host/subsystems.h"

namespace {

DWORD profile_screen_button(const ButtonEvent& e) {
  return ProfileScreenButton(e.screen, e.descriptor, e.companion, e.selected_row);
}

DWORD profile_screen_list(const ListEvent& e) {
  return ProfileScreenList(e.control, e.id, e.record, e.companion);
}

// The display fields of the profile screens describe the selected profile.
DWORD profile_detail(const TextEvent& e, TextResult* result) {
  result->numeric = ProfileDetailText(e.id, result->text, sizeof result->text);
  return 0;
}

// The report-to lists that a form's apply saves, listed from the current server.
DWORD report_to_list(const ListEvent& e) {
  ListReportTo(e.control, current_server().name, e.id);
  return 1;
}

// Server lists are filled with the known servers; the host then goes on with its default.
DWORD list_known_servers(const ListEvent& e) {
  DWORD key = e.descriptor ? descriptor_half(e.descriptor, kDescHalfListCompanionKey) : 0;
  ListKnownServers(e.id, e.control, key);
  return kResultNotHandled;
}

// The first event of the sibling product's server list switches sibling mode on; its selected
// row is the sibling server of the sibling product's forms.
DWORD sibling_server_list(const ListEvent& e) {
  switch_on_sibling_mode(e.control);
  note_sibling_server_list(e.control);
  return list_known_servers(e);
}

DWORD schedule_screen_button(const ButtonEvent& e) {
  return ScheduleScreenButton(e.screen, descriptor_identifier(e.descriptor), e.companion);
}

DWORD schedule_screen_list(const ListEvent& e) { return ScheduleScreenList(e.control, e.id, e.record); }

DWORD server_settings_button(const ButtonEvent& e) {
  return ServerSettingsButton(e.screen, descriptor_identifier(e.descriptor));
}

DWORD server_form_list(const ListEvent& e) { return ServerFormList(e.control, e.id); }
DWORD server_scan_list(const ListEvent& e) { return ServerScanList(e.control, e.id); }
DWORD server_list_button(const ButtonEvent& e) {
  return ServerListButton(e.screen, descriptor_identifier(e.descriptor), e.companion);
}

// The console's server list is the main server list: its selection is the
// current server, guarded against unsaved changes.
DWORD main_server_list(const ListEvent& e) {
  watch_main_server_list(e.control);
  return list_known_servers(e);
}

DWORD copy_profile_button(const ButtonEvent& e) { return CopyProfileButton(e.screen, e.companion); }

DWORD rename_button(const ButtonEvent& e) {
  return RenameButton(e.screen, descriptor_identifier(e.descriptor), e.companion);
}
DWORD email_config_button(const ButtonEvent& e) { return EmailConfigButton(e.screen); }
DWORD registry_archive_list(const ListEvent& e) { return RegistryArchiveList(e.control); }
DWORD restore_archive_button(const ButtonEvent& e) { return RestoreArchiveButton(e.screen, e.companion); }
DWORD log_share_button(const ButtonEvent& e) { return ChooseLogShare(e.screen, descriptor_identifier(e.descriptor)); }

constexpr ButtonRoute kButtons[] = {
    // Profile screens: add, delete, IP ranges, alert e-mails and filters, paired-list moves.
    {0x60210027, 0x60210028, profile_screen_button},
    {0x6021002A, 0x6021002A, profile_screen_button},
    {0x60210037, 0x60210038, profile_screen_button},
    {0x6021003A, 0x6021003B, profile_screen_button},
    {0x6021003E, 0x6021003E, profile_screen_button},
    {0x60210105, 0x6021010E, profile_screen_button},
    {0x602100CC, 0x602100CD, profile_screen_button},
    {0x602100E9, 0x602100E9, profile_screen_button},
    {0x602100CF, 0x602100CF, profile_screen_button},
    // Add (even) and remove (odd) pairs of the logon name, alert e-mail and excluded account lists.
    {0x602100D0, 0x602100D7, profile_screen_button},
    // Copy a profile to the selected servers; rename a profile, a saved report or a scheduled graphical activity.
    {0x602100D9, 0x602100D9, copy_profile_button},
    {0x60210029, 0x60210029, rename_button},
    {0x602100CE, 0x602100CE, rename_button},
    {0x60410013, 0x60410013, rename_button},
    {0x6041092E, 0x6041092E, rename_button},
    // File tracking entries (add, change, add a share, add an excluded file) and the two option groups.
    {0x60210052, 0x60210052, profile_screen_button},
    {0x602100B1, 0x602100B1, profile_screen_button},
    {0x60212078, 0x60212079, profile_screen_button},
    {0x602100B6, 0x602100B6, profile_screen_button},
    {0x602100B8, 0x602100B8, profile_screen_button},
    // The shared apply button of the property forms: saves the form's lists, then the single settings of the
    // profile shown (chosen: they are written with the form's apply and shown with its lists' events).
    {0x60A12002, 0x60A12002, profile_screen_button},
    // The server configuration forms' Save buttons write the form to the server; the 0x60F1 pair
    // serves the sibling product.
    {0x603100D5, 0x603100D5, server_settings_button},
    {0x60312100, 0x60312101, server_settings_button},
    {0x60F12021, 0x60F12022, server_settings_button},
    // No caller is named for the department and enterprise-host operations: buttons of the server
    // configuration screen work on their companion list (0x60312110 add a department to report to in
    // "Add Department to deliver log files", 0x60312111 leave the selected ones, 0x60312112 host the
    // selected one; 0x60312113 "Add Enterprise Host to report to", saved with the form; 0x60312114 "Add
    // Enterprise Host to include" into the console's own list; 0x60312115 remove the selected rows).
    {kAddDepartmentButton, kRemoveServerListRowsButton, server_list_button},
    // Nor for the sibling product's grid and lists: buttons of its screen (0x60F10070 "Valid Hours for
    // QVAWKQ Requests"; 0x60F10071 the entry field's text, 0x60F10072 the IP range of the octet fields,
    // 0x60F10073 removal, on the companion list, saved with the form).
    {kValidHoursButton, kRemoveSiblingRowsButton, server_list_button},
    // The share that holds the log files, chosen from the server's disk shares in SELECT_LOG_SHARE: ReportPath
    // of the current server (0x6031208C) or LogSharePath of the sibling server (0x60F10024), stored as if typed.
    {kChooseReportPathButton, kChooseReportPathButton, log_share_button},
    {kChooseLogSharePathButton, kChooseLogSharePathButton, log_share_button},
    // The server's e-mail settings.
    {0x603100B3, 0x603100B3, email_config_button},
    {0x603100D2, 0x603100D2, email_config_button},
    // Saved custom reports: a new one or the selected one in the designer; a schedule's run times.
    {0x60410012, 0x60410012, schedule_screen_button},
    {0x60410015, 0x60410015, schedule_screen_button},
    {0x60410018, 0x60410018, schedule_screen_button},
    {0x60410021, 0x60410021, schedule_screen_button},
    {0x60410023, 0x60410023, schedule_screen_button},
    {0x60410027, 0x60410028, schedule_screen_button},
    // Graphical schedules saved, a chart tree saved as a graphical report definition (or the default one), and
    // a report definition run as the saved custom report of its name.
    {0x6041092D, 0x6041092D, schedule_screen_button},
    {0x60410924, 0x60410925, schedule_screen_button},
    {0x6031010B, 0x6031010B, schedule_screen_button},
    // The agent's registry archive selected on the server screen restored over the product key.
    {0x60310120, 0x60310120, restore_archive_button},
};

// The unattended run of the current server, on the quick-report lists of the event's screen.
DWORD unattended_run(const ListEvent& e) { return UnattendedRun(e.control); }

constexpr ListRoute kLists[] = {
    {kConsoleServerList, kConsoleServerList, main_server_list},
    {kCustomReportServerList, kCustomReportServerList, list_known_servers},
    {kSiblingServerList, kSiblingServerList, sibling_server_list},
    // The host lists a configuration form's lists when it builds the form: that is when the form is
    // filled, every field and list of it, from the current server or the sibling server (chosen).
    {kFormReportToHostsList, kFormDepartmentsList, server_form_list},
    {kFormContainersList, kFormContainersList, server_form_list},
    {kExcludedGroupsRequest, kExcludedGroupsRequest, server_form_list},
    {kAllowedGroupsList, kAllowedGroupsList, server_form_list},
    {kAllowedVersionsList, kAllowedVersionsList, server_form_list},
    {kSiblingIpRangesList, kSiblingIpRangesList, server_form_list},
    // The departments and enterprise hosts of every known server (no screen is named for them: the
    // server configuration screen's).
    {kKnownDepartmentsList, kIncludedEnterpriseHostsList, server_scan_list},
    // The profile lists, and the lists of a profile form.
    {0x6024000A, 0x6024000A, profile_screen_list},
    {0x602400CB, 0x602400CB, profile_screen_list},
    {0x6024002B, 0x6024002C, profile_screen_list},
    {0x60240042, 0x60240042, profile_screen_list},
    {0x60240097, 0x60240097, profile_screen_list},
    {0x602400A3, 0x602400A3, profile_screen_list},
    {0x602400A6, 0x602400A6, profile_screen_list},
    {0x602400AA, 0x602400AA, profile_screen_list},
    {0x602400DA, 0x602400DA, profile_screen_list},
    {0x602400F0, 0x602400F0, profile_screen_list},
    {0x602400F5, 0x602400F5, profile_screen_list},
    {0x603400AC, 0x603400AC, profile_screen_list},
    // The report-to lists of a server's form, which the apply saves.
    {0x60340092, 0x60340093, report_to_list},
    // The saved custom reports, and the day and time lists of a schedule's run times.
    {0x60440010, 0x60440010, schedule_screen_list},
    {0x60440020, 0x60440020, schedule_screen_list},
    {0x60440022, 0x60440022, schedule_screen_list},
    // The schedules (opened on their screen when one is selected), saved graphical report definitions, and the
    // custom report list whose menu imports and exports saved custom reports.
    {0x60440014, 0x60440014, schedule_screen_list},
    {0x6044092A, 0x6044092A, schedule_screen_list},
    {0x6044092E, 0x6044092E, schedule_screen_list},
    {0x60440D21, 0x60440D21, schedule_screen_list},
    // The server screen's list of the agent's registry archives.
    {0x60340120, 0x60340120, registry_archive_list},
    {kUnattendedRunList, kUnattendedRunList, unattended_run},
};

constexpr TextRoute kTexts[] = {
    // Chosen: the profile screens' display fields describe the selected profile, as its list row keeps it.
    {kProfileDetailFirst, kProfileDetailLast, profile_detail},
};

// Context menus. The report server lists offer an entry that the host carries out itself.
constexpr MenuRoute kMenus[] = {
    {0x6024000A, 0x6024000A, FillDefinitionMenu, ActOnDefinitionMenu},
    {0x60240018, 0x60240018, FillDefinitionMenu, ActOnDefinitionMenu},
    {0x60240080, 0x60240080, FillDefinitionMenu, ActOnDefinitionMenu},
    {0x602400A0, 0x602400A1, FillDefinitionMenu, nullptr},
    {0x602400CB, 0x602400CB, FillDefinitionMenu, ActOnDefinitionMenu},
    {0x6044001A, 0x6044001B, FillDefinitionMenu, ActOnDefinitionMenu},
    {0x60440D21, 0x60440D21, FillDefinitionMenu, ActOnDefinitionMenu},
};

// At detach the registry connection cache closes its keys and the grid dialog's font goes.
void release_config() {
  release_registry_connections();
  release_valid_hours_font();
}

}  // namespace

extern const Subsystem kConfigSubsystem = {"config",
                                          route_table(kButtons),
                                          route_table(kLists),
                                          route_table(kTexts),
                                          release_config,
                                          nullptr,
                                          {},
                                          DropDefinitionRows,
                                          route_table(kMenus)};
